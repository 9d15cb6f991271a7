// The composite report: several reports as one job, each continuing where the previous one stopped.
#include "report/engine/QRComposite.h"

#include "printer/QRError.h"
#include "printer/QRMessages.h"
#include "printer/QRPrinter.h"
#include "report/engine/QRExportFilter.h"
#include "report/engine/QRReport.h"

TQRCompositePrinterSettings::TQRCompositePrinterSettings(QObject *parent) : TDezirUzuPrinterSettings(parent) {
    SetPaperSize(TQRPaperSize::A4);
}

TQRCompositeWinControl::TQRCompositeWinControl(TQRCompositeReport *composite)
    : QObject(composite), m_composite(composite) {
    setObjectName(QStringLiteral("MessageWindow"));
}

bool TQRCompositeWinControl::event(QEvent *event) {
    TQRCompositeReport *composite = m_composite;
    if (composite && event->type() == qrmessages::PrintRequest) {
        composite->Print();
        return true;
    }
    if (composite && event->type() == qrmessages::PreviewClose) {
        composite->cancelCurrent();
        return true;
    }
    return QObject::event(event);
}

TQRCompositeReport::TQRCompositeReport(QObject *owner)
    : QObject(owner), m_printerSettings(new TQRCompositePrinterSettings(this)),
      m_messageWindow(new TQRCompositeWinControl(this)) {
    m_printerSettings->setObjectName(QStringLiteral("PrinterSettings"));
}

TQRCompositeReport::~TQRCompositeReport() {
    ClearReports();
    delete m_jobReport.data();
}

void TQRCompositeReport::AddReport(TCustomDezirUzu *report) {
    if (!report)
        return;
    m_reports << report;
    report->SetComposite(this);
}

void TQRCompositeReport::ClearReports() {
    for (const QPointer<TCustomDezirUzu> &report : std::as_const(m_reports))
        if (report && report->Composite() == this)
            report->SetComposite(nullptr);
    m_reports.clear();
}

void TQRCompositeReport::collectReports() {
    ClearReports();
    if (OnAddReports)
        OnAddReports(this);
}

void TQRCompositeReport::cancelCurrent() {
    if (m_generating) {
        if (TCustomDezirUzu *report = m_currentReport)
            report->Cancel();
        return;
    }
    // An idle job's printer is forgotten when its preview closes, and goes if it is the composite's own.
    TQRPrinter *printer = Printer;
    Printer = nullptr;
    if (printer && printer->parent() == this)
        delete printer;
}

void TQRCompositeReport::applySettings(TQRPrinter &printer) const {
    const TQRCompositePrinterSettings &settings = *m_printerSettings;
    TQRPageFormat format;
    format.PaperSize = settings.PaperSize();
    format.Orientation = settings.Orientation();
    printer.ApplyReportSettings(settings, format);
    printer.SetJobTitle(settings.Title());
}

TQRPrinter *TQRCompositeReport::jobPrinter(TCustomDezirUzu &first, TQROutputTarget target, QObject *owner) {
    // The job printer reports to a report of the first report's paper (its page size, progress and memory).
    delete m_jobReport.data();
    auto *jobReport = new TDezirUzu(this);
    jobReport->setObjectName(QStringLiteral("CompositeJob"));
    jobReport->SetShowProgress(false);
    jobReport->Page()->SetPaperSize(first.Page()->PaperSize());
    jobReport->Page()->SetOrientation(first.Page()->Orientation());
    jobReport->SetPreviewWidth(first.PreviewWidth());
    jobReport->SetPreviewHeight(first.PreviewHeight());
    jobReport->PrinterSettings().SetOrientation(first.Page()->Orientation());
    jobReport->PrinterSettings().SetFirstPage(m_printerSettings->FirstPage());
    jobReport->PrinterSettings().SetLastPage(m_printerSettings->LastPage());
    m_jobReport = jobReport;

    m_printerSettings->SetOrientation(first.Page()->Orientation());
    m_printerSettings->SetPaperSize(first.Page()->PaperSize());
    m_printerSettings->SetTitle(m_reportTitle);
    auto *printer = new TQRPrinter(jobReport, owner);
    printer->SetJobTitle(m_reportTitle);
    printer->SetFirstPage(m_printerSettings->FirstPage());
    printer->SetLastPage(m_printerSettings->LastPage());
    printer->SetOutputTarget(target);
    printer->SetReportReceiver(m_messageWindow);
    return printer;
}

void TQRCompositeReport::Print() {
    if (m_generating)
        return;
    collectReports();
    if (m_reports.isEmpty() || !m_reports.first())
        return;
    const QPointer<TQRPrinter> remembered = Printer;
    const QPointer<TQRPrinter> printer = jobPrinter(*m_reports.first(), otPrinter, nullptr);
    const auto restore = [&] {
        delete printer.data(); // the job printer's one owner
        Printer = remembered;
        delete m_jobReport.data();
    };
    if (!printer->PrintersInstalled()) {
        restore();
        return;
    }
    Printer = printer;
    try {
        Generate();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TQRCompositeReport::GeneratePages() {
    if (m_generating)
        return;
    collectReports();
    if (m_reports.isEmpty() || !m_reports.first())
        return;
    // The pages of an earlier job go, unless a preview still shows them.
    if (TQRPrinter *old = Printer; old && old->parent() == this && !old->PreviewShowing())
        delete old;
    const QPointer<TQRPrinter> printer = jobPrinter(*m_reports.first(), otPageStore, this);
    Printer = printer;
    try {
        Generate();
    } catch (...) {
        if (printer && !printer->PreviewShowing())
            delete printer.data();
        throw;
    }
}

/// Marks the loop at work and, however it ends, gives every report its Tag and printer back.
struct TQRCompositeReport::Running {
    struct Saved {
        QPointer<TCustomDezirUzu> report;
        qint32 tag = 0;
        QPointer<TQRPrinter> printer;
        bool taken = false;
    };
    TQRCompositeReport &composite;
    QList<Saved> saved;

    explicit Running(TQRCompositeReport &c) : composite(c) { composite.m_generating = true; }
    ~Running() {
        for (qsizetype i = saved.size() - 1; i >= 0; --i)
            restore(saved[i]);
        composite.m_currentReport = nullptr;
        composite.m_generating = false;
    }
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;

    qsizetype take(TCustomDezirUzu *report) {
        saved.append({report, report->Tag(), report->ReportPrinter, true});
        return saved.size() - 1;
    }
    void restore(qsizetype i) { restore(saved[i]); }
    static void restore(Saved &s) {
        if (!s.taken)
            return;
        s.taken = false;
        if (TCustomDezirUzu *report = s.report) {
            report->SetTag(s.tag);
            report->ReportPrinter = s.printer;
        }
    }
};

bool TQRCompositeReport::runReports(TQRExportFilter *filter) {
    TQRPrinter *printer = Printer;
    // The first band of the job begins page 1: the cursor stands below a page that is not there yet.
    qint32 cursorY = 0;
    qint32 cursorX = 0;
    for (const QPointer<TCustomDezirUzu> &report : std::as_const(m_reports))
        if (report) {
            cursorY = rnd(report->Page()->NativeValue(TQRPage::LengthIndex));
            cursorX = rnd(report->Page()->NativeValue(TQRPage::LeftMarginIndex));
            break;
        }
    qint32 pageNumber = 0;
    Running running(*this);
    const qsizetype count = m_reports.size();
    for (qsizetype i = 0; i < count; ++i) {
        TCustomDezirUzu *report = m_reports.at(i);
        if (!report)
            continue; // destroyed meanwhile
        const auto isLast = [&] {
            for (qsizetype k = i + 1; k < count; ++k)
                if (m_reports.at(k))
                    return false;
            return true;
        };
        const QPointer<TCustomDezirUzu> alive = report;
        m_currentReport = report;
        report->ExportFilter = nullptr;
        const qsizetype saved = running.take(report);
        report->ReportPrinter = printer;
        report->CursorY = cursorY;
        report->PageNumber = pageNumber;
        report->CurrentColumn = report->Page()->Columns();
        if (isLast())
            report->SetTag(999);
        if (OnStartReport)
            OnStartReport(this, report, qint32(i));
        if (!alive)
            continue;
        // The job's last page is ended by its last report, also when the reports after it went meanwhile.
        if (isLast())
            report->SetTag(999);
        if (filter) {
            report->CursorX = cursorX;
            report->ExportContinued(filter, printer);
        } else {
            report->Generate(true);
        }
        if (!alive || !Printer)
            return false; // the job went with it
        if (report->AfterPrint)
            report->AfterPrint(report);
        if (!alive)
            return false;
        const bool cancelled = report->RunCancelled || printer->CancelRequested();
        cursorY = report->CursorY;
        cursorX = report->CursorX;
        pageNumber = report->PageNumber;
        running.restore(saved);
        if (cancelled)
            return false;
        if (OnFinished)
            OnFinished(report);
    }
    return true;
}

void TQRCompositeReport::runJob(TQRPrinter &printer, TQRExportFilter *filter) {
    applySettings(printer);
    if (filter)
        printer.SetOutputTarget(otPageStore); // an export draws on the printer's first page
    printer.BeginDoc();
    const QPointer<TQRPrinter> job = &printer; // a preview closing meanwhile may take it
    bool completed = false;
    try {
        if (filter)
            printer.NewPage();
        completed = runReports(filter);
    } catch (...) {
        if (job && job->State() == psBusy)
            job->AbortDoc();
        throw;
    }
    if (job && job->State() == psBusy) {
        if (completed)
            job->EndDoc();
        else
            job->AbortDoc();
    }
}

void TQRCompositeReport::Generate() {
    if (m_generating)
        return;
    collectReports();
    if (!m_reports.isEmpty()) {
        TQRPrinter *printer = Printer;
        if (!printer)
            throw EQRError(QStringLiteral("QRPrinter not ready"));
        runJob(*printer, nullptr);
    }
    if (OnFinished)
        OnFinished(this);
}

void TQRCompositeReport::ExportToFilter(TQRExportFilter &filter) {
    if (m_generating)
        return;
    const QPointer<TQRPrinter> remembered = Printer;
    const std::unique_ptr<TQRPrinter> printer(new TQRPrinter(nullptr, nullptr));
    printer->SetOutputTarget(otPrinter);
    printer->SetReportReceiver(m_messageWindow);
    Printer = printer.get();
    struct Restore {
        TQRCompositeReport &composite;
        const QPointer<TQRPrinter> &remembered;
        ~Restore() { composite.Printer = remembered; }
    } restore{*this, remembered};
    collectReports();
    printer->SelectPrinter(m_printerSettings->PrinterIndex());
    if (!m_reports.isEmpty())
        runJob(*printer, &filter);
    if (OnFinished)
        OnFinished(this);
}

// ---- the report's side ----

TQRCompositeExporter *TCustomDezirUzu::Composite() const {
    return m_composite.data();
}

void TCustomDezirUzu::SetComposite(TQRCompositeReport *composite) {
    m_composite = composite;
}
