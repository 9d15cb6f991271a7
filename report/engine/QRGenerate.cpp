// A report run: its entry points, the preparation and clean-up around it, and the page machinery (pages,
// columns, the room left, page footers, bands aligned to the bottom, backgrounds, the report's own controls).
#include "report/engine/QRReport.h"

#include "printer/QRBasePrintDialog.h"
#include "printer/QRPreviewInterface.h"
#include "printer/QRPrinter.h"
#include "printer/QRProgressWindow.h"
#include "printer/drawing/Printer.h"
#include "printer/drawing/PrinterFactory.h"
#include "report/engine/QRController.h"
#include "report/engine/QRExportFilter.h"
#include "report/expr/Environment.h"
#include "store/DataSet.h"

#include <QCoreApplication>
#include <QPainter>

namespace {

double native(const TQRPage &page, TQRPage::Index index) {
    return page.NativeValue(index);
}

// Counts the breaks being made while it lives.
class BreakScope {
public:
    explicit BreakScope(int &depth) : m_depth(depth) { ++m_depth; }
    ~BreakScope() { --m_depth; }
    BreakScope(const BreakScope &) = delete;
    BreakScope &operator=(const BreakScope &) = delete;

private:
    int &m_depth;
};

} // namespace

/// Marks an entry point at work from its start, before the run itself makes the report busy: creating a printer
/// lets messages run, and a message must find the report taken.
class TCustomDezirUzu::Entry {
public:
    explicit Entry(TCustomDezirUzu &report) : m_report(report) { ++m_report.m_entered; }
    ~Entry() {
        if (--m_report.m_entered == 0 && m_report.Idle)
            m_report.deleteDeferred();
    }
    Entry(const Entry &) = delete;
    Entry &operator=(const Entry &) = delete;

private:
    TCustomDezirUzu &m_report;
};

/// What a run has done so far, so that an error undoes exactly that.
struct TCustomDezirUzu::RunState {
    bool unitsSaved = false;
    TQRUnit units = TQRUnit::MM;
    bool docBegun = false;
    bool globalPrepared = false;
    bool functionsPrepared = false;
    bool controllerPrepared = false;
    QList<QPointer<TQRPrintable>> prepared;
};

// ---- the run ----

void TCustomDezirUzu::Generate(bool continued) {
    if (!Idle)
        return;
    DropDesignPage();
    TQRPage *page = Page();
    if (native(*page, TQRPage::WidthIndex) - native(*page, TQRPage::LeftMarginIndex) -
            native(*page, TQRPage::RightMarginIndex) <
        0) {
        page->SetLeftMargin(0);
        page->SetRightMargin(0);
    }
    if (native(*page, TQRPage::LengthIndex) - native(*page, TQRPage::TopMarginIndex) -
            native(*page, TQRPage::BottomMarginIndex) <
        0) {
        page->SetTopMargin(0);
        page->SetBottomMargin(0);
    }
    Idle = false;
    RunCancelled = false;
    FinalPage = false;
    SkipNextPageBreak = false;
    ColumnBreakArmed = false;
    m_breaking = 0;
    RunState state;
    try {
        collectDataSets();
        BackImage = nullptr;
        for (TQRControl *child : Controls())
            if (auto *printable = qobject_cast<TQRPrintable *>(child);
                printable && printable->HasPicture() && printable->objectName() == BackImageControl())
                BackImage = printable;
        bool printReport = true;
        if (BeforePrint)
            BeforePrint(this, printReport);
        if (printReport)
            runSteps(continued, state);
    } catch (...) {
        endRun(continued, state, true);
        throw;
    }
    endRun(continued, state, false);
}

void TCustomDezirUzu::collectDataSets() {
    DataSets->Clear();
    QObject *form = parent() ? parent() : this;
    for (TDataSet *dataSet : form->findChildren<TDataSet *>())
        DataSets->Add(dataSet);
}

void TCustomDezirUzu::runSteps(bool continued, RunState &state) {
    state.units = Units();
    state.unitsSaved = true;
    SetUnits(TQRUnit::Native);
    TQRPrinter &printer = runPrinter();
    if (continued) {
        Page()->SetPaperSize(printer.PaperSize());
        Page()->SetOrientation(printer.Orientation());
    } else {
        TQRPageFormat format;
        format.PaperSize = Page()->PaperSize();
        format.Orientation = Page()->Orientation();
        format.Width = native(*Page(), TQRPage::WidthIndex);
        format.Length = native(*Page(), TQRPage::LengthIndex);
        printer.Settings().OnApplyPrinterSettings = OnApplyPrinterSettings;
        printer.Settings().OnGetPrinterSettings = OnGetPrinterSettings;
        printer.ApplyReportSettings(PrinterSettings(), format);
        printer.SetJobTitle(ReportTitle());
        printer.SetCompression(Options().testFlag(TQROption::Compression));
        printer.BeginDoc();
        state.docBegun = true;
        CursorY = -1;
        PageNumber = 0;
    }
    CurrentColumn = Page()->Columns();
    if (Exporting() && ExportFilter && !ExportFilter->Started)
        ExportFilter->Start(rnd(native(*Page(), TQRPage::WidthIndex)), rnd(native(*Page(), TQRPage::LengthIndex)),
                            Font()->ToQFont());
    ComputePageFooterSpace();
    for (TQRControl *child : Controls()) {
        if (auto *band = qobject_cast<TQRCustomBand *>(child))
            band->SetParentReport(this);
        else if (auto *printable = qobject_cast<TQRPrintable *>(child))
            printable->AttachToReport(this);
    }
    CursorX = rnd(native(*Page(), TQRPage::LeftMarginIndex));
    AssignControllerBands();
    MainController()->SetHostReport(this);
    MainController()->CollectChildren();

    if (TQREvEnvironment *global = GlobalEnvironment()) {
        global->PrepareAll();
        state.globalPrepared = true;
    }
    Functions()->SetDatasetList(DataSets.get());
    Functions()->PrepareAll();
    state.functionsPrepared = true;
    m_pageNumberConstant = Functions()->FindConstant(QStringLiteral("PAGENUMBER"));
    m_columnNumberConstant = Functions()->FindConstant(QStringLiteral("COLUMNNUMBER"));
    // A report of a composite job goes on on the page it was handed: its page number runs on from there.
    if (continued)
        TQREvEnvironment::StoreInteger(m_pageNumberConstant, PageNumber);
    TQREvEnvironment::StoreText(Functions()->FindConstant(QStringLiteral("REPORTTITLE")), ReportTitle());

    state.controllerPrepared = true;
    MainController()->PrepareRun();
    for (TQRPrintable *printable : AllPrintables()) {
        state.prepared << printable;
        printable->Prepare();
    }
    ContinuedRun = continued;
    Execute();

    if (!continued) {
        CursorX = rnd(native(*Page(), TQRPage::LeftMarginIndex));
        FinalPage = true;
        if (!RunCancelled)
            EndPage();
        if (Exporting() && ExportFilter)
            ExportFilter->Finish();
    } else if (Tag() == 999) {
        FinalPage = true;
        EndPage();
        if (Exporting() && ExportFilter)
            ExportFilter->Finish();
    }
}

void TCustomDezirUzu::endRun(bool continued, RunState &state, bool failed) {
    // Every step is taken whatever fails on the way; the first failure reaches the caller (after an error of
    // the run itself, that error does).
    std::exception_ptr first;
    const auto step = [&first](auto &&action) {
        try {
            action();
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    };
    if (state.unitsSaved)
        step([&] { SetUnits(state.units); });
    for (const QPointer<TQRPrintable> &printable : std::as_const(state.prepared))
        if (printable)
            step([&] { printable->Unprepare(); });
    if (state.controllerPrepared)
        step([&] { MainController()->UnprepareRun(); });
    if (state.functionsPrepared)
        step([&] { Functions()->ReleaseAll(); });
    Functions()->SetDatasetList(nullptr);
    if (state.globalPrepared)
        if (TQREvEnvironment *global = GlobalEnvironment())
            step([&] { global->ReleaseAll(); });
    m_pageNumberConstant = nullptr;
    m_columnNumberConstant = nullptr;
    if (TQRPrinter *printer = ReportPrinter; printer && (state.docBegun || continued)) {
        step([&] {
            if (failed) {
                if (printer->State() == psBusy)
                    printer->AbortDoc();
            } else if (RunCancelled) {
                printer->AbortDoc();
            } else if (!continued) {
                if (RenderPages)
                    printer->EndDoc();
                else
                    printer->AbortDoc();
            }
        });
    }
    DataSets->Clear();
    BackImage = nullptr;
    m_breaking = 0;
    Idle = true;
    if (m_orderPending) {
        m_orderPending = false;
        step([&] {
            OrderBands();
            ArrangeBands();
        });
    }
    if (m_entered == 0)
        deleteDeferred();
    if (first && !failed)
        std::rethrow_exception(first);
}

TQRPrinter &TCustomDezirUzu::runPrinter() const {
    if (!ReportPrinter)
        throw EQRError(QStringLiteral("The report has no printer to print on"));
    return *ReportPrinter;
}

void TCustomDezirUzu::deleteDeferred() {
    for (const QPointer<QObject> &component : std::exchange(m_deletePending, {}))
        if (component)
            component->deleteLater();
}

void TCustomDezirUzu::DeferDelete(QObject *component) {
    if (!m_deletePending.contains(component))
        m_deletePending << component;
    if (component == this)
        Cancel();
}

// ---- the page machinery ----

double TCustomDezirUzu::PaperBottom() const {
    const TQRPrinter *printer = ReportPrinter;
    const bool lengthwise = Page()->Orientation() == poPortrait || Page()->PaperSize() == TQRPaperSize::Custom;
    if (!printer)
        return native(*Page(), lengthwise ? TQRPage::LengthIndex : TQRPage::WidthIndex);
    return lengthwise ? printer->Settings().PaperLength() : printer->Settings().PaperWidth();
}

qint32 TCustomDezirUzu::SpaceLeft() const {
    if (Idle || CursorY == -1)
        return 0;
    if (Exporting() && ExportFilter && ExportFilter->Continuous())
        return ReportPrinter ? ReportPrinter->Settings().PaperLength() : rnd(native(*Page(), TQRPage::LengthIndex));
    return rnd(PaperBottom() - native(*Page(), TQRPage::BottomMarginIndex) - PageFooterSpace - CursorY);
}

void TCustomDezirUzu::ComputePageFooterSpace() {
    PageFooterSpace = 0;
    for (TQRControl *child : Controls()) {
        auto *band = qobject_cast<TQRCustomBand *>(child);
        if (!band || !band->Enabled() || band->BandType() != rbPageFooter)
            continue;
        PageFooterSpace += band->Size()->NativeValue(0);
        QList<TQRCustomBand *> seen{band};
        for (TQRCustomBand *c = band->ChildBand(); c && !seen.contains(c); c = c->ChildBand()) {
            seen << c;
            if (c->Enabled())
                PageFooterSpace += c->Size()->NativeValue(0);
        }
    }
}

void TCustomDezirUzu::OutputBand(TQRCustomBand *band) {
    if (!band)
        return;
    if (band->AlignToBottom()) {
        if (band->BandType() == rbSummary && !Options().testFlag(TQROption::LastPageFooter))
            PageFooterSpace = 0;
        const double height = band->Size()->NativeValue(0);
        const double bottomMargin = native(*Page(), TQRPage::BottomMarginIndex);
        const qint32 need = rnd(height + bottomMargin + PageFooterSpace);
        // The same side of the paper as SpaceLeft measures against.
        const qint32 bottom = rnd(PaperBottom());
        if (need <= bottom - CursorY)
            CursorY = bottom - rnd(height) - rnd(bottomMargin + PageFooterSpace);
    }
    band->Print();
}

void TCustomDezirUzu::RequestNewPage() {
    if (Idle)
        return;
    if (SkipNextPageBreak) {
        SkipNextPageBreak = false;
        return;
    }
    do
        StartNewColumn();
    while (CurrentColumn != 1);
}

void TCustomDezirUzu::RequestNewColumn() {
    if (Idle)
        return;
    if (ColumnBreakArmed || CurrentColumn > 1)
        StartNewColumn();
    else
        ColumnBreakArmed = true;
}

void TCustomDezirUzu::StartNewColumn() {
    const BreakScope breaking(m_breaking);
    const TQRPage &page = *Page();
    if (CurrentColumn >= page.Columns()) {
        CurrentColumn = 1;
        CursorX = rnd(native(page, TQRPage::LeftMarginIndex));
        StartNewPage();
    } else {
        qint32 columnWidth;
        if (TQRCustomBand *detail = BandOfType(rbDetail)) {
            columnWidth = rnd(detail->Size()->NativeValue(1));
        } else {
            const qint32 columns = page.Columns();
            columnWidth = (rnd(native(page, TQRPage::WidthIndex) -
                               (native(page, TQRPage::LeftMarginIndex) + native(page, TQRPage::RightMarginIndex))) -
                           rnd(native(page, TQRPage::ColumnSpaceIndex)) * (columns - 1)) /
                          columns;
        }
        CursorX += columnWidth + rnd(native(page, TQRPage::ColumnSpaceIndex));
        CursorY = ColumnTop;
        ++CurrentColumn;
    }
    TQREvEnvironment::StoreInteger(m_columnNumberConstant, CurrentColumn);
    if (!(CurrentColumn == 1 && PageNumber == 1)) {
        OutputBand(BandOfType(rbColumnHeader));
        MainController()->ReprintGroupHeaders();
    }
}

void TCustomDezirUzu::StartNewPage() {
    const BreakScope breaking(m_breaking);
    EndPage();
    if (Exporting() && ExportFilter)
        ExportFilter->NewPage();
    ++PageNumber;
    TQREvEnvironment::StoreInteger(m_pageNumberConstant, PageNumber);
    if (RenderPages || PageNumber == 1)
        runPrinter().NewPage();
    CursorY = rnd(native(*Page(), TQRPage::TopMarginIndex));
    if (OnStartPage)
        OnStartPage(this);
    printBackground();
    if (PageNumber > 1 || Options().testFlag(TQROption::FirstPageHeader))
        OutputBand(BandOfType(rbPageHeader));
    ColumnTop = CursorY;
    CurrentColumn = 1;
    if (PageNumber == 1)
        if (TQRCustomBand *title = BandOfType(rbTitle))
            ColumnTop += rnd(title->Size()->NativeValue(0));
}

void TCustomDezirUzu::printBackground() {
    TQRPrinter &printer = runPrinter();
    QPainter *canvas = printer.PageCanvas();
    if (BackgroundColor() != QColor(Qt::white)) {
        const QRect rect(0, 0, rnd(native(*Page(), TQRPage::WidthIndex) * printer.PixelsPerUnitX()),
                         rnd(native(*Page(), TQRPage::LengthIndex) * printer.PixelsPerUnitY()));
        if (canvas) {
            canvas->save();
            canvas->setBrush(BackgroundColor());
            canvas->drawRect(rect.adjusted(0, 0, -1, -1));
            canvas->restore();
        }
        if (Exporting() && ExportFilter)
            ExportRectangle(*ExportFilter, rect, BackgroundColor());
    }
    if (TQRPrintable *image = BackImage) {
        const TQRPrintableSize &size = *image->Size();
        const int left = printer.ToDeviceX(size.NativeValue(1));
        const int top = printer.ToDeviceY(size.NativeValue(2));
        const int width = rnd(size.NativeValue(3) * printer.PixelsPerUnitX());
        const int height = rnd(size.NativeValue(0) * printer.PixelsPerUnitY());
        if (canvas)
            image->StretchDrawPicture(*canvas, QRect(left, top, width, height));
        if (Exporting() && ExportFilter)
            ExportFilter->PutGraphic(image, left, top);
    }
}

void TCustomDezirUzu::EndPage() {
    const BreakScope breaking(m_breaking);
    if (PageNumber > 0) {
        const TQRPage &page = *Page();
        CursorY = rnd(native(page, TQRPage::LengthIndex) - native(page, TQRPage::BottomMarginIndex) - PageFooterSpace);
        CursorX = rnd(native(page, TQRPage::LeftMarginIndex));
        if (!FinalPage || Options().testFlag(TQROption::LastPageFooter))
            OutputBand(BandOfType(rbPageFooter));
        PrintReportControls();
        if (OnEndPage)
            OnEndPage(this);
    }
    if (Exporting() && ExportFilter)
        ExportFilter->EndPage();
}

void TCustomDezirUzu::PrintReportControls() {
    for (TQRControl *child : Controls())
        if (auto *printable = qobject_cast<TQRPrintable *>(child); printable && printable != BackImage)
            printable->Print(0, 0);
    if (!RenderPages && !Exporting())
        return;
    TQRPrinter *printer = ReportPrinter;
    QPainter *canvas = printer ? printer->PageCanvas() : nullptr;
    if (!canvas)
        return;
    const TQRPage &page = *Page();
    const int left = printer->ToDeviceX(native(page, TQRPage::LeftMarginIndex));
    const int top = printer->ToDeviceY(native(page, TQRPage::TopMarginIndex));
    const int right = printer->ToDeviceX(native(page, TQRPage::WidthIndex) - native(page, TQRPage::RightMarginIndex));
    const int bottom =
        printer->ToDeviceY(native(page, TQRPage::LengthIndex) - native(page, TQRPage::BottomMarginIndex));
    Frame()->PaintFrame(*canvas, QRect(left, top, right - left, bottom - top), printer->PixelsPerUnitX(),
                        printer->PixelsPerUnitY());
}

// ---- entry points ----

TQRPrinter *TCustomDezirUzu::newRunPrinter(QObject *parent) {
    auto *printer = new TQRPrinter(this, parent);
    if (ReportPrinter)
        printer->SetProgressReceiver(ReportPrinter->ProgressReceiver());
    printer->AfterPrint = [this](TQRPrinter *) { RaiseAfterPrint(); };
    printer->AfterPreview = [this](TQRPrinter *) {
        if (AfterPreview)
            AfterPreview(this);
    };
    return printer;
}

namespace {

// The progress window of a run, when one is registered: bound to the printer and its progress receiver.
std::unique_ptr<TQRProgressWindow> progressWindow(TQRPrinter &printer, const QString &caption, bool show) {
    std::unique_ptr<TQRProgressWindow> window = TQRProgressWindow::Create(printer);
    if (!window)
        return window;
    if (!caption.isEmpty())
        window->SetCaption(caption);
    if (show)
        window->Show();
    printer.SetProgressReceiver(window->Receiver());
    return window;
}

// Runs its action when it goes, however the scope is left.
template <class Action> class Finally {
public:
    explicit Finally(Action action) : m_action(std::move(action)) {}
    ~Finally() { m_action(); }
    Finally(const Finally &) = delete;
    Finally &operator=(const Finally &) = delete;

private:
    Action m_action;
};

const QString exportingCaption() {
    return QStringLiteral("Exporting Progress");
}

} // namespace

void TCustomDezirUzu::Print() {
    if (Running())
        return;
    const Entry entry(*this);
    const QPointer<TQRPrinter> remembered = ReportPrinter;
    std::unique_ptr<TQRPrinter> printer(newRunPrinter(nullptr));
    if (!printer->PrintersInstalled())
        return;
    printer->SetOutputTarget(otPrinter);
    std::unique_ptr<TQRProgressWindow> window;
    if (ShowProgress()) {
        window = progressWindow(*printer, QString(), true);
        if (!window)
            printer->SetProgressReceiver(nullptr);
    }
    ReportPrinter = printer.get();
    const Finally restore([&] {
        printer.reset();
        ReportPrinter = remembered;
        window.reset();
    });
    Generate(false);
}

void TCustomDezirUzu::GeneratePages() {
    if (Running())
        return;
    const Entry entry(*this);
    run(nullptr);
}

QObject *TCustomDezirUzu::Preview() {
    if (Running())
        return nullptr;
    const Entry entry(*this);
    const std::unique_ptr<TQRPreviewInterface> preview = NewPreviewInterface();
    return run(preview.get());
}

QObject *TCustomDezirUzu::run(TQRPreviewInterface *preview) {
    const QPointer<TQRPrinter> remembered = ReportPrinter;
    const QPointer<TQRPrinter> printer = newRunPrinter(this);
    ReportPrinter = printer;
    // The window shows pages as they are made.
    const QPointer<QObject> window = preview ? preview->Show(*printer) : nullptr;
    try {
        Generate(false);
    } catch (...) {
        // A preview showing the pages keeps its printer; it is the report's until the preview closes.
        if (printer && !printer->PreviewShowing()) {
            delete printer.data();
            ReportPrinter = remembered;
        }
        throw;
    }
    // The pages of an earlier run go, unless a preview still shows them.
    if (remembered && remembered != printer && remembered->parent() == this && !remembered->PreviewShowing())
        delete remembered.data();
    return window;
}

void TCustomDezirUzu::Export(TQRExportFilter *filter) {
    if (Running() || !filter)
        return;
    const Entry entry(*this);
    filter->Report = this;
    filter->Printer = ReportPrinter;
    ExportFilter = filter;
    SetExporting(true);
    RenderPages = false;
    const QPointer<TQRPrinter> remembered = ReportPrinter;
    std::unique_ptr<TQRPrinter> printer(newRunPrinter(nullptr));
    std::unique_ptr<TQRProgressWindow> window;
    if (ShowProgress())
        window = progressWindow(*printer, exportingCaption(), true);
    ReportPrinter = printer.get();
    const Finally restore([&] {
        printer.reset();
        window.reset();
        ExportFilter = nullptr;
        SetExporting(false);
        RenderPages = true;
        ReportPrinter = remembered;
    });
    Generate(false);
}

void TCustomDezirUzu::ExportContinued(TQRExportFilter *filter, TQRPrinter *printer) {
    if (Running() || !filter || !printer)
        return;
    const Entry entry(*this);
    ExportFilter = filter;
    SetExporting(true);
    filter->Report = this;
    RenderPages = false;
    filter->Printer = ReportPrinter;
    const QPointer<TQRPrinter> remembered = ReportPrinter;
    ReportPrinter = printer;
    const QPointer<TQRPrinter> target = printer;
    std::unique_ptr<TQRProgressWindow> window = progressWindow(*printer, exportingCaption(), ShowProgress());
    const Finally restore([&] {
        window.reset();
        if (target)
            target->SetProgressReceiver(nullptr);
        RenderPages = true;
        ReportPrinter = remembered;
    });
    Generate(true);
}

bool TCustomDezirUzu::SetupPrinter() {
    TPrinter &device = printers::Printer();
    const std::unique_ptr<TQRBasePrintDialog> dialog = TQRBasePrintDialog::Create(device);
    if (!dialog)
        return false; // no dialog: the settings stay as they are
    TDezirUzuPrinterSettings &settings = PrinterSettings();
    const int index = settings.PrinterIndex();
    if (index >= 0 && index < device.Printers().size() && index != device.PrinterIndex())
        device.SetPrinterIndex(index);
    dialog->SetMinPage(0);
    dialog->SetMaxPage(9999);
    if (ReportPrinter && ReportPrinter->State() == psDone) {
        dialog->SetMinPage(1);
        dialog->SetMaxPage(ReportPrinter->PagesProduced());
        dialog->SetFromPage(1);
        dialog->SetToPage(ReportPrinter->PagesProduced());
    }
    dialog->SetOptions(poPageNums | poWarning);
    device.SetLandscape(Page()->Orientation() == poLandscape);
    dialog->SetCopies(settings.Copies());
    if (!dialog->Execute()) {
        SetTag(1);
        return false;
    }
    const int chosen = device.PrinterIndex();
    settings.SetCopies(dialog->Copies());
    settings.SetPrinterIndex(chosen);
    Page()->SetOrientation(dialog->Orientation() == DeviceMode::DMORIENT_LANDSCAPE ? poLandscape : poPortrait);
    dialog->RecordChoices(SecondSettings(), settings.OutputBin(), chosen);
    if (dialog->PrintRange() == prPageNums) {
        settings.SetFirstPage(dialog->FromPage());
        settings.SetLastPage(dialog->ToPage());
    } else {
        settings.SetFirstPage(0);
        settings.SetLastPage(0);
    }
    SetTag(0);
    return true;
}

TPrinterOrientation TCustomDezirUzu::PageOrientation() const {
    return Page()->Orientation();
}

void TCustomDezirUzu::SetPagePaper(TQRPaperSize paperSize, TPrinterOrientation orientation) {
    Page()->SetPaperSize(paperSize);
    Page()->SetOrientation(orientation);
}

void TCustomDezirUzu::RaiseStandPrevEvent(QObject *Sender, TStandPrevEventType eventType, const QString &contName,
                                          bool &Handled) {
    if (OnStandPrevEvent)
        OnStandPrevEvent(Sender, eventType, contName, Handled);
}

void TCustomDezirUzu::Cancel() {
    if (Idle)
        return;
    RunCancelled = true;
    if (ReportPrinter)
        ReportPrinter->RequestCancel();
}
