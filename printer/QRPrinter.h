#pragma once

#include "printer/PrinterSettings.h"
#include "printer/QRPageList.h"
#include "printer/QRParentReport.h"

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QPainter;
class QPaintDevice;
class TMetafile;
class TMetafileCanvas;
class TPrinter;
class TQROutlineNodes;
class TQRPrinterSettings;

enum TQROutputTarget { otPageStore = 0, otPrinter = 1 };
enum TQRPrinterState { psIdle = 0, psBusy = 1, psDone = 2 };

/// The drawing target of a report run. It either records every page into its page list (the page store,
/// from which a preview shows them and which can be saved, loaded and printed later) or sends the pages
/// straight to the platform printer within a page range. It converts native lengths (0.1 mm) to device
/// pixels, owns the device settings, and tells its receiver windows about pages and progress with the
/// events of QRMessages.h. Receivers learn of its end through destroyed().
class TQRPrinter : public QObject {
    Q_OBJECT
public:
    using TQRAfterPrintEvent = std::function<void(TQRPrinter *Sender)>;
    using TQRAfterPreviewEvent = std::function<void(TQRPrinter *Sender)>;

    explicit TQRPrinter(TQRParentReport *report = nullptr, QObject *parent = nullptr);
    ~TQRPrinter() override;

    TQRParentReport *ParentReport() const { return m_parentReport; }
    TPrinter &Device() const { return *m_device; }
    TPrinterSettings &Settings() { return m_settings; }
    const TPrinterSettings &Settings() const { return m_settings; }
    TQRPageList &PageList() { return m_pageList; }

    /// The report's settings and page handed to the printer before a run, in the order the device expects.
    /// (The report's printer events go to Settings() directly.)
    void ApplyReportSettings(const TQRPrinterSettings &settings, const TQRPageFormat &page);
    /// Selects a printer by index and reads its settings; nothing without printers, for the application-wide
    /// printer, for -1, for the printer already selected or for an index outside the list.
    void SelectPrinter(int index);

    TQROutputTarget OutputTarget() const { return m_outputTarget; }
    void SetOutputTarget(TQROutputTarget target) { m_outputTarget = target; }
    qint32 FirstPage() const { return m_firstPage; }
    void SetFirstPage(qint32 page) { m_firstPage = page; }
    qint32 LastPage() const { return m_lastPage; }
    void SetLastPage(qint32 page) { m_lastPage = page; }
    const QString &JobTitle() const { return m_jobTitle; }
    void SetJobTitle(const QString &title) { m_jobTitle = title; }
    void SetCompression(bool compression) { m_pageList.SetCompression(compression); }

    QObject *ProgressReceiver() const { return m_progressReceiver; }
    void SetProgressReceiver(QObject *receiver) { m_progressReceiver = receiver; }
    QObject *ReportReceiver() const { return m_reportReceiver; }
    void SetReportReceiver(QObject *receiver) { m_reportReceiver = receiver; }
    TQRAfterPrintEvent AfterPrint;
    TQRAfterPreviewEvent AfterPreview;

    bool PrintersInstalled() const { return m_printersInstalled; }
    TQRPrinterState State() const { return m_state; }
    qint32 PagesProduced() const { return m_pagesProduced; }
    qint32 PagesReady() const { return m_pagesReady; }
    qint32 CurrentPage() const { return m_currentPage; }
    /// Takes a page number from 1 to PagesProduced.
    void SetCurrentPage(qint32 page);
    bool CancelRequested() const { return m_cancelRequested; }
    qint32 Progress() const { return m_progress; }
    bool PreviewShowing() const { return m_previewShowing; }
    bool LoadedFromFile() const { return m_loadedFromFile; }
    qint32 UnprintableLeft() const { return m_unprintableLeft; }
    qint32 UnprintableTop() const { return m_unprintableTop; }
    double PixelsPerUnitX() const { return m_pixelsPerUnitX; }
    double PixelsPerUnitY() const { return m_pixelsPerUnitY; }

    /// The canvas of the page being drawn, none between pages.
    QPainter *PageCanvas() const { return m_pageCanvas; }
    /// The device the page is drawn on (text layout measures on it).
    QPaintDevice *Handle() const;

    TPrinterOrientation Orientation() const { return m_settings.Orientation(); }
    TQRPaperSize PaperSize() const { return m_settings.PaperSize(); }
    /// Paper width and length as the page is turned, in 0.1 mm.
    qint32 OrientedWidth() const;
    qint32 OrientedLength() const;

    // Native lengths to device pixels, rounded half to even.
    int ToDeviceX(double x) const;
    int ToDeviceY(double y) const;
    int ToDeviceWidth(double w) const;
    int ToDeviceHeight(double h) const;

    /// The page being produced lies in the page range.
    bool InRange() const;

    /// Starts a run; "QRPrinter not ready" (EQRError) unless idle.
    void BeginDoc();
    /// Ends the open page and opens the next; "Illegal call to NewPage" (EQRError) outside a run.
    void NewPage();
    void EndDoc();
    void AbortDoc();
    void RequestCancel() { m_cancelRequested = true; }
    void SetProgress(int percent);
    void SetShowingPreview(bool showing);
    /// The preview closes: it stops showing, and the report's window hears of it.
    void PreviewClosed();

    /// Stored page `n` as a new recording, or none outside 1 ... PagesProduced or before a run.
    std::unique_ptr<TMetafile> FetchPage(int n);
    /// Opens a report file as the stored pages and takes its paper from the first page. A file that cannot
    /// be read raises EQRError and leaves the current pages as they were; during a run it is refused
    /// ("QRPrinter not ready").
    void LoadPages(const QString &fileName);
    /// Saves the stored pages as a report file once a run is done.
    void SavePages(const QString &fileName);
    /// Prints the stored pages within the page range (clamped to the pages there are) and returns how many
    /// went to the device.
    int PrintStoredPages();
    /// Forgets the stored pages. During a run the pages go once the run has ended (a cancel is requested
    /// now), so the stream being written stays until then.
    void DiscardPages();
    void SetOutlineTree(TQROutlineNodes *tree);
    TQROutlineNodes *OutlineTree() const { return m_outlineTree; }

private:
    void closePage();
    void openPage();
    void startRecording();
    void startDevicePage();
    void freeRecording();
    void announcePageReady();
    void post(QObject *receiver, QEvent::Type type, int param);
    void discardNow();
    void finishRun();
    void setScreenFactors();

    TQRParentReport *m_parentReport = nullptr;
    TPrinter *m_device = nullptr;
    std::unique_ptr<TPrinter> m_ownDevice;
    TPrinterSettings m_settings;
    TQRPageList m_pageList;
    TQROutlineNodes *m_outlineTree = nullptr;

    qint32 m_pagesReady = 0;
    bool m_cancelRequested = false;
    QPainter *m_pageCanvas = nullptr;
    TQROutputTarget m_outputTarget = otPageStore;
    qint32 m_firstPage = 0;
    qint32 m_lastPage = 0;
    qint32 m_unprintableLeft = 0;
    qint32 m_unprintableTop = 0;
    QPointer<QObject> m_progressReceiver;
    QPointer<QObject> m_reportReceiver;
    std::unique_ptr<TMetafile> m_pageRecording;
    std::unique_ptr<TMetafileCanvas> m_recordingCanvas;
    qint32 m_pagesProduced = 0;
    qint32 m_currentPage = 0;
    bool m_printersInstalled = false;
    qint32 m_progress = 0;
    QString m_jobTitle;
    bool m_previewShowing = false;
    TQRPrinterState m_state = psIdle;
    double m_pixelsPerUnitX = 0.37795;
    double m_pixelsPerUnitY = 0.37795;
    bool m_loadedFromFile = false;
    bool m_discardPending = false;
};
