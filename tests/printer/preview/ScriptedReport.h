#pragma once

#include "printer/QRPreviewReport.h"
#include "printer/QRPrinter.h"
#include "printer/QRPrinterSettings.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

/// A report standing in for the report engine: it owns a report printer and produces pages on it one at a
/// time, letting events run after each page as a report run does, so a preview can be watched while pages
/// are produced. It answers everything a preview asks of a report and records what the preview asked.
class ScriptedReport : public QObject, public TQRPreviewReport {
    Q_OBJECT
public:
    explicit ScriptedReport(QObject *parent = nullptr);
    ~ScriptedReport() override;

    /// The printer of the last run (made on first use); freed when its preview closes on an idle report.
    TQRPrinter *Printer();
    /// Forgets the printer (it is freed).
    void FreePrinter();

    /// Produces `pages` pages of A4: each says "Page N" and the lines `pageText` gives it. Stops early when
    /// StopRequested or the printer's cancel is set (PagesInPreview only through its preview);
    /// `whileDrawing(n)` runs while page n is open, after the events of that page have run.
    void Run(int pages);
    std::function<QStringList(int page)> pageText;
    std::function<void(int page)> whileDrawing;
    bool running() const { return m_running; }
    int pagesRun = 0;

    // TQRParentReport
    bool UseStandardprinter() const override { return false; }
    qint32 MemoryLimit() const override { return 250000; }
    bool ShowProgress() const override { return showProgress; }
    double PageWidth() const override { return 2100; }
    double PageLength() const override { return 2970; }

    // TQRPreviewReport
    TFormStyle PrevFormStyle() const override { return fsNormal; }
    TWindowState PreviewInitialState() const override { return wsNormal; }
    qint32 PreviewWidth() const override { return previewWidth; }
    qint32 PreviewHeight() const override { return previewHeight; }
    bool PrevShowThumbs() const override { return showThumbs; }
    bool PrevShowSearch() const override { return showSearch; }
    TQRZoomState PrevInitialZoom() const override { return initialZoom; }
    qint32 Zoom() const override { return zoom; }
    QString ReportTitle() const override { return title; }
    TPrevSaveType PreviewDefaultSaveType() const override { return saveType; }
    TPrinterOrientation PageOrientation() const override { return orientation; }
    void SetPagePaper(TQRPaperSize paperSize, TPrinterOrientation o) override {
        paper = paperSize;
        orientation = o;
    }
    qint32 PagesInPreview() const override { return pagesInPreview; }
    bool StopRequested() const override { return stopRequested; }
    void SetStopRequested(bool stop) override { stopRequested = stop; }
    void RaiseStandPrevEvent(QObject *Sender, TStandPrevEventType eventType, const QString &contName,
                             bool &Handled) override;
    void Print() override { ++printCalls; }
    bool SetupPrinter() override;
    TDezirUzuPrinterSettings &PrinterSettings() override { return printerSettings; }
    TDezirUzuPrinterSettings &SecondSettings() override { return secondSettings; }
    void Export(TQRExportFilter &filter) override;

    bool showProgress = true;
    qint32 previewWidth = 640;
    qint32 previewHeight = 480;
    bool showThumbs = true;
    bool showSearch = true;
    TQRZoomState initialZoom = qrZoomToFit;
    qint32 zoom = 100;
    QString title = QStringLiteral("Scripted report");
    TPrevSaveType saveType = stQRP;
    TPrinterOrientation orientation = poPortrait;
    TQRPaperSize paper = TQRPaperSize::A4;
    qint32 pagesInPreview = 0;
    bool stopRequested = false;
    int printCalls = 0;
    int exportCalls = 0;
    /// Events raised by the preview, as "spCopy Copy"; the types in `handle` are reported handled.
    QStringList events;
    QList<TStandPrevEventType> handle;
    /// What SetupPrinter answers, after filling the second settings with `setupChoices`.
    bool setupConfirmed = true;
    std::function<void(TDezirUzuPrinterSettings &second)> setupChoices;
    TDezirUzuPrinterSettings printerSettings;
    TDezirUzuPrinterSettings secondSettings;

protected:
    bool event(QEvent *event) override;

private:
    std::unique_ptr<TQRPrinter> m_printer;
    bool m_running = false;
};
