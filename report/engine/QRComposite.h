#pragma once

#include "printer/QRPreviewReport.h"
#include "printer/QRPrinterSettings.h"
#include "report/engine/QRTypes.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class TCustomDezirUzu;
class TQRCompositeReport;
class TQRExportFilter;
class TQRPrinter;

/// A composite job's printer settings: a report's, with the paper and its orientation as well.
class TQRCompositePrinterSettings : public TDezirUzuPrinterSettings {
    Q_OBJECT
    Q_PROPERTY(QRPrntr::TPrinterOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(QRPrntr::TQRPaperSize PaperSize READ PaperSize WRITE SetPaperSize)
public:
    explicit TQRCompositePrinterSettings(QObject *parent = nullptr);
};

/// The hidden receiver of the job printer's requests: a print request runs the job, a closing preview cancels
/// the report being generated (or lets the idle job's printer go).
class TQRCompositeWinControl : public QObject {
    Q_OBJECT
public:
    explicit TQRCompositeWinControl(TQRCompositeReport *composite);
    TQRCompositeReport *Composite() const { return m_composite; }

protected:
    bool event(QEvent *event) override;

private:
    QPointer<TQRCompositeReport> m_composite;
};

/// Runs a list of reports as one job: one document in which each report continues on the page where the
/// previous one stopped, its page numbers running on. The list is filled by OnAddReports at the start of every
/// run and holds no report it owns; a report destroyed meanwhile is skipped.
///
/// The job's printer belongs to whoever made it (Print, GeneratePages, ExportToFilter or the caller of
/// Generate); the loop never frees it. After a run, also a cancelled or failed one, every report has its own
/// Tag and printer back, and Generating is false.
class TQRCompositeReport : public QObject, public TQRCompositeExporter {
    Q_OBJECT
    Q_PROPERTY(qrengine::TQROptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(TQRCompositePrinterSettings *PrinterSettings READ PrinterSettings)
    Q_PROPERTY(QString ReportTitle READ ReportTitle WRITE SetReportTitle)
public:
    using TNotifyEvent = std::function<void(QObject *Sender)>;
    using TCompositeEvent = std::function<void(QObject *Sender, QObject *Report, qint32 reportNumber)>;

    explicit TQRCompositeReport(QObject *owner = nullptr);
    ~TQRCompositeReport() override;

    /// Fills the report list at the start of every run.
    TNotifyEvent OnAddReports;
    /// After each report (the report is the sender), and once at the end with the composite.
    TNotifyEvent OnFinished;
    /// Before each report, with its index from 0.
    TCompositeEvent OnStartReport;

    TQROptions Options() const { return m_options; }
    void SetOptions(TQROptions options) { m_options = options; }
    TQRCompositePrinterSettings *PrinterSettings() const { return m_printerSettings; }
    const QString &ReportTitle() const { return m_reportTitle; }
    void SetReportTitle(const QString &title) { m_reportTitle = title; }

    /// The job's reports in order (none of them owned); entries of destroyed reports read as none.
    const QList<QPointer<TCustomDezirUzu>> &Reports() const { return m_reports; }
    /// Adds a report to the job (OnAddReports calls it); the report then exports through the composite.
    void AddReport(TCustomDezirUzu *report);
    void ClearReports();

    /// The job's printer while a run is set up.
    QPointer<TQRPrinter> Printer;
    bool Generating() const { return m_generating; }
    TCustomDezirUzu *CurrentReport() const { return m_currentReport; }
    TQRCompositeWinControl *MessageWindow() const { return m_messageWindow; }

    /// Prints every report as one job on the printer; nothing while a run is going, when OnAddReports adds
    /// nothing or when no printer is installed.
    void Print();
    /// The same into the page store: Printer then holds the job's pages (the composite's until the next run).
    void GeneratePages();
    /// The report loop on Printer, which the caller has set up (EQRError without one); ignored while a run
    /// is going.
    void Generate();
    /// The report loop through an export filter; ignored while a run is going.
    void ExportToFilter(TQRExportFilter &filter) override;

private:
    friend class TQRCompositeWinControl;
    struct Running;

    /// Clears the list and asks OnAddReports for the reports.
    void collectReports();
    /// Hands the job's settings to Printer.
    void applySettings(TQRPrinter &printer) const;
    /// The report loop from the running position at the top of a page that is not there yet (page 0); with a
    /// filter each report exports through it. Returns false when a report was cancelled.
    bool runReports(TQRExportFilter *filter);
    /// Begins the document on the job printer, runs the loop and ends it: completed, or aborted after a cancel
    /// or an error.
    void runJob(TQRPrinter &printer, TQRExportFilter *filter);
    /// A printer for a job of the first report's paper, owned by `owner`.
    TQRPrinter *jobPrinter(TCustomDezirUzu &first, TQROutputTarget target, QObject *owner);
    void cancelCurrent();

    QList<QPointer<TCustomDezirUzu>> m_reports;
    TQRCompositePrinterSettings *m_printerSettings;
    QPointer<TQRCompositeWinControl> m_messageWindow;
    /// The temporary report a job printer reports to.
    QPointer<TCustomDezirUzu> m_jobReport;
    QPointer<TCustomDezirUzu> m_currentReport;
    TQROptions m_options;
    QString m_reportTitle;
    bool m_generating = false;
};
