#pragma once

#include "printer/PrinterSettings.h"
#include "printer/QRPrinter.h"
#include "printer/QRPrinterSettings.h"
#include "report/engine/QRBand.h"
#include "report/engine/QRController.h"
#include "report/engine/QRExportFilter.h"
#include "report/engine/QRPrintable.h"
#include "report/engine/QRUnits.h"
#include "report/expr/Environment.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class TMetafile;
class TDezirUzuBands;
class TQRPreviewInterface;
class TQRCompositeReport;

/// What the preview and the standard preview window report to a report.
enum TPrevEventType {
    etPrintButton,
    etSaveButton,
    etControlClick,
    etLoadButton,
    etPrintSetup,
    etMouseOver,
    etMouseOut,
    etBandClick
};

/// A report: one page of paper on which bands are stacked and printable controls sit, with its page, units,
/// font, expression values, printer settings and the state of a run. The report owns a controller that prints
/// its title, detail and summary bands; generation (Print, Export, the page machinery) works on this model.
///
/// Every length is held in 0.1 mm and published in the report's `Units`, which its page, bands and controls
/// share. The bands are kept in print order (`OrderedBands`) and arranged on the design surface one under
/// the other (`ArrangeBands`).
class TCustomDezirUzu : public TQRBasePanel, public TQRPreviewReport {
    Q_OBJECT
    Q_CLASSINFO("AlwaysStored", "Units")
    Q_PROPERTY(TDezirUzuBands *Bands READ Bands)
    Q_PROPERTY(QString BackImageControl READ BackImageControl WRITE SetBackImageControl)
    Q_PROPERTY(TDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QStringList Description READ Description WRITE SetDescription)
    Q_PROPERTY(TQRFont *Font READ Font)
    Q_PROPERTY(TQREvEnvironment *Functions READ Functions)
    Q_PROPERTY(qrengine::TQROptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(qrengine::TQRUnit Units READ Units WRITE SetUnits)
    Q_PROPERTY(TQRPage *Page READ Page)
    Q_PROPERTY(TDezirUzuPrinterSettings *PrinterSettings READ printerSettingsObject)
    Q_PROPERTY(bool PrintIfEmpty READ PrintIfEmpty WRITE SetPrintIfEmpty)
    Q_PROPERTY(QString ReportTitle READ ReportTitle WRITE SetReportTitle)
    Q_PROPERTY(bool ShowProgress READ ShowProgress WRITE SetShowProgress)
    Q_PROPERTY(bool SnapToGrid READ SnapToGrid WRITE SetSnapToGrid)
    Q_PROPERTY(qint32 Zoom READ Zoom WRITE SetZoom)
    Q_PROPERTY(QRPrev::TFormStyle PrevFormStyle READ PrevFormStyle WRITE SetPrevFormStyle)
    Q_PROPERTY(QRPrev::TWindowState PreviewInitialState READ PreviewInitialState WRITE SetPreviewInitialState)
    Q_PROPERTY(qint32 PreviewWidth READ PreviewWidth WRITE SetPreviewWidth)
    Q_PROPERTY(qint32 PreviewHeight READ PreviewHeight WRITE SetPreviewHeight)
    Q_PROPERTY(bool PrevShowThumbs READ PrevShowThumbs WRITE SetPrevShowThumbs)
    Q_PROPERTY(bool PrevShowSearch READ PrevShowSearch WRITE SetPrevShowSearch)
    Q_PROPERTY(QRPrev::TQRZoomState PrevInitialZoom READ PrevInitialZoom WRITE SetPrevInitialZoom)
    Q_PROPERTY(QRPrev::TPrevSaveType PreviewDefaultSaveType READ PreviewDefaultSaveType WRITE SetPreviewDefaultSaveType)
    Q_PROPERTY(QColor BackgroundColor READ BackgroundColor WRITE SetBackgroundColor)
    Q_PROPERTY(qint32 PagesInPreview READ PagesInPreview WRITE SetPagesInPreview)
public:
    using TQRReportBeforePrintEvent = std::function<void(TCustomDezirUzu *Sender, bool &PrintReport)>;
    using TQRAfterPrintEvent = std::function<void(QObject *Sender)>;
    using TQRAfterPreviewEvent = std::function<void(QObject *Sender)>;
    using TQRNotifyEvent = std::function<void(TCustomDezirUzu *Sender)>;
    using TNotifyEvent = std::function<void(QObject *Sender)>;
    using TQRPreviewXEvent = std::function<void(QObject *Sender, TPrevEventType eventNum, const QString &cName,
                                                const QString &CText, qint32 rec)>;
    using TQRStandPrevEvent =
        std::function<void(QObject *Sender, TStandPrevEventType eventType, const QString &contName, bool &Handled)>;

    explicit TCustomDezirUzu(QObject *owner = nullptr);
    ~TCustomDezirUzu() override;

    // Published properties.
    TDezirUzuBands *Bands() const { return m_bands; }
    const QString &BackImageControl() const { return m_backImageControl; }
    void SetBackImageControl(const QString &name) { m_backImageControl = name; }
    /// The data set the controller walks (none for a controller without one).
    TDataSet *DataSet() const;
    void SetDataSet(TDataSet *dataSet);
    const QStringList &Description() const { return m_description; }
    void SetDescription(const QStringList &lines) { m_description = lines; }
    TQREvEnvironment *Functions() const { return m_functions; }
    TQROptions Options() const { return m_options; }
    void SetOptions(TQROptions options) { m_options = options; }
    /// The page's unit.
    TQRUnit Units() const;
    /// The unit of the page, of every band's size and of every printable control on the bands or the report.
    virtual void SetUnits(TQRUnit units);
    TQRPage *Page() const { return m_page; }
    TDezirUzuPrinterSettings &PrinterSettings() override { return *m_printerSettings; }
    const TDezirUzuPrinterSettings &PrinterSettings() const { return *m_printerSettings; }
    bool PrintIfEmpty() const;
    virtual void SetPrintIfEmpty(bool on);
    QString ReportTitle() const override { return m_reportTitle; }
    void SetReportTitle(const QString &title) { m_reportTitle = title; }
    bool ShowProgress() const override { return m_showProgress; }
    void SetShowProgress(bool on) { m_showProgress = on; }
    bool SnapToGrid() const { return m_snapToGrid; }
    void SetSnapToGrid(bool on) { m_snapToGrid = on; }
    /// 1 to 300 percent; other values are ignored.
    void SetZoom(qint32 zoom);
    TFormStyle PrevFormStyle() const override { return m_prevFormStyle; }
    void SetPrevFormStyle(TFormStyle style) { m_prevFormStyle = style; }
    TWindowState PreviewInitialState() const override { return m_previewInitialState; }
    void SetPreviewInitialState(TWindowState state) { m_previewInitialState = state; }
    /// 500 when the stored value is 0 or less.
    qint32 PreviewWidth() const override { return m_previewWidth > 0 ? m_previewWidth : 500; }
    void SetPreviewWidth(qint32 width) { m_previewWidth = width; }
    qint32 PreviewHeight() const override { return m_previewHeight > 0 ? m_previewHeight : 500; }
    void SetPreviewHeight(qint32 height) { m_previewHeight = height; }
    bool PrevShowThumbs() const override { return m_prevShowThumbs; }
    void SetPrevShowThumbs(bool on) { m_prevShowThumbs = on; }
    bool PrevShowSearch() const override { return m_prevShowSearch; }
    void SetPrevShowSearch(bool on) { m_prevShowSearch = on; }
    TQRZoomState PrevInitialZoom() const override { return m_prevInitialZoom; }
    void SetPrevInitialZoom(TQRZoomState state) { m_prevInitialZoom = state; }
    TPrevSaveType PreviewDefaultSaveType() const override { return m_previewDefaultSaveType; }
    void SetPreviewDefaultSaveType(TPrevSaveType type) { m_previewDefaultSaveType = type; }
    const QColor &BackgroundColor() const { return m_backgroundColor; }
    void SetBackgroundColor(const QColor &color) { m_backgroundColor = color; }
    qint32 PagesInPreview() const override { return m_pagesInPreview; }
    void SetPagesInPreview(qint32 pages) { m_pagesInPreview = pages; }

    // What a preview asks of the report it shows.
    qint32 Zoom() const override { return TQRBasePanel::Zoom(); }
    TPrinterOrientation PageOrientation() const override;
    void SetPagePaper(TQRPaperSize paperSize, TPrinterOrientation orientation) override;
    /// Asks the record loop to end after the current record (a preview's stop).
    bool StopRequested() const override { return m_stopRequested; }
    void SetStopRequested(bool stop) override { m_stopRequested = stop; }
    void RaiseStandPrevEvent(QObject *Sender, TStandPrevEventType eventType, const QString &contName,
                             bool &Handled) override;
    void Export(TQRExportFilter &filter) override { Export(&filter); }
    /// The composite job the report was last added to, which exports the whole job in its place.
    TQRCompositeExporter *Composite() const override;
    void SetComposite(TQRCompositeReport *composite);

    // Events.
    TQRAfterPrintEvent AfterPrint;
    TQRAfterPreviewEvent AfterPreview;
    TQRReportBeforePrintEvent BeforePrint;
    TQRNotifyEvent OnEndPage;
    TQROnNeedDataEvent OnNeedData;
    TNotifyEvent OnPreview;
    TQRNotifyEvent OnStartPage;
    TQRPrinterEvent OnGetPrinterSettings;
    TQRPrinterEvent OnApplyPrinterSettings;
    TQRPreviewXEvent OnPrevXEvent;
    TQRStandPrevEvent OnStandPrevEvent;

    // Bands.
    /// The report's bands in print order.
    const QList<TQRCustomBand *> &OrderedBands() const { return m_orderedBands; }
    /// Rebuilds OrderedBands (not while loading).
    void OrderBands();
    /// Places the bands one under the other on the design surface, each as wide as its type asks
    /// (not while loading or going).
    void ArrangeBands();
    /// True while ArrangeBands runs.
    bool ArrangingBands() const { return m_arranging; }
    /// The first band of a type in print order, or none.
    TQRCustomBand *BandOfType(TQRBandType type) const;
    /// A new TQRBand of the type on this report, owned like the report's other components and named after the
    /// type with the smallest free number ("DetailBand1").
    TQRBand *CreateBand(TQRBandType type);
    /// Gives the controller the bands it prints (the base gives none).
    virtual void AssignControllerBands() {}
    TQRCustomController *MainController() const { return m_controller; }

    /// Width in pixels of a text in a font on the screen, plus 1; 0 when it cannot be measured.
    qint32 TextWidth(const TQRFont &font, const QString &text) const;
    /// Height in pixels of a one-letter text in a font on the screen; 0 when it cannot be measured.
    qint32 TextHeight(const TQRFont &font, const QString &text) const;
    /// Adds an expression control to the main controller's notify list.
    virtual void RegisterNotifyExpression(QObject *expression);

    /// Runs the controller once (the record loop of a run).
    virtual void Execute();

    // Generation. A run prepares the report, lets the controller print, finishes the last page and closes the
    // printer's job. A run that fails leaves the report idle with its units, environments and controls as they
    // were and the printer's job aborted, and the error reaches the caller.
    /// One run on ReportPrinter; nothing while a run is going. `continued`: a report of a composite job, which
    /// has set the printer, the cursor, the page and the column, and finishes the job itself.
    virtual void Generate(bool continued);
    /// Generates straight to a printer (the job's page range and copies from PrinterSettings); nothing while a
    /// run is going or when no printer is installed.
    void Print() override;
    /// Generates into the page store: ReportPrinter becomes a new printer that holds the pages (and the
    /// report's until a preview of it closes). A printer of an earlier such run that no preview shows goes.
    void GeneratePages();
    /// The same with a preview window (when one is registered) showing the pages as they are made; returns the
    /// window while it is open (none without a registered preview, or while a run is going).
    QObject *Preview();
    /// Generates into an export filter; nothing while a run is going.
    void Export(TQRExportFilter *filter);
    /// One report of a composite export on the composite's printer; the filter stays set afterwards.
    void ExportContinued(TQRExportFilter *filter, TQRPrinter *printer);
    /// The print dialog on the report's printer settings; false when the user cancelled it (Tag is then 1).
    /// Without a registered dialog the printer's settings stay as they are.
    bool SetupPrinter() override;
    /// Stops a run in progress: the controller stops at its next record and the printer's job is aborted.
    virtual void Cancel();

    // The page machinery, for bands, controllers and controls during a run. Lengths are native.
    /// Prints a band; one aligned to the bottom first moves to the bottom of the page when it fits there.
    void OutputBand(TQRCustomBand *band);
    /// Room left on the page above the bottom margin and the page footers; 0 outside a run or before page 1.
    qint32 SpaceLeft() const;
    /// A break asked for by ForceNewPage: the rest of the page's columns are skipped (the first one after the
    /// title and column header is swallowed).
    void RequestNewPage();
    /// A break asked for by ForceNewColumn (the first one while the first column fills is swallowed).
    void RequestNewColumn();
    void StartNewColumn();
    void StartNewPage();
    void EndPage();
    /// The height kept free for the enabled page footers and their children.
    void ComputePageFooterSpace();
    /// The controls placed on the report itself and the report's frame, at the end of every page.
    void PrintReportControls();
    /// True while a page or column break prints its own bands (page header and footer, column header,
    /// reprinted group headers): a band printed then makes no further break.
    bool Breaking() const { return m_breaking > 0; }
    /// The paper length the page's bands stand on: the printer's paper length for a portrait or custom page,
    /// its paper width for a turned one.
    double PaperBottom() const;

    // The printer's view of the report.
    bool UseStandardprinter() const override { return m_printerSettings->UseStandardprinter(); }
    qint32 MemoryLimit() const override { return m_printerSettings->MemoryLimit(); }
    double PageWidth() const override { return m_page->NativeValue(TQRPage::WidthIndex); }
    double PageLength() const override { return m_page->NativeValue(TQRPage::LengthIndex); }
    bool Exporting() const override { return m_exporting; }
    void RaiseAfterPrint() override;

    void ApplyZoom(qint32 zoom) override;
    void PaintRuler(QPainter &painter, TQRUnit units) override;
    void Paint(QPainter &painter) override;
    void SetBounds(int left, int top, int width, int height) override;
    TCustomDezirUzu *ParentReport() const override { return const_cast<TCustomDezirUzu *>(this); }

    /// The bands and printable controls of the report, descending into bands (printable controls in print
    /// order: those on the report itself first).
    QList<TQRPrintable *> AllPrintables() const;

    // Run state.
    /// Set at the start of every run to whether the run continues a composite job (one per process).
    static bool ContinuedRun;
    QList<TQRCustomBand *> ScratchBands;
    /// The data sets expressions see during a run (empty while idle). It lives as long as the report, so an
    /// evaluator that kept it never points at a freed list.
    const std::unique_ptr<TQRDataSetList> DataSets;
    QPointer<TQRPrinter> ReportPrinter;
    TQRExportFilter *ExportFilter = nullptr;
    bool RenderPages = true;
    bool Idle = true;
    bool RunCancelled = false;
    bool FinalPage = false;
    bool SkipNextPageBreak = false;
    bool ColumnBreakArmed = false;
    qint32 CursorX = 0;
    qint32 CursorY = -1;
    qint32 ColumnTop = 0;
    qint32 CurrentColumn = 0;
    qint32 PageNumber = 0;
    double PageFooterSpace = 0;
    QPointer<TQRPrintable> BackImage;
    /// The choices of the last print dialog.
    TDezirUzuPrinterSettings &SecondSettings() override { return *m_secondSettings; }
    /// Page 1 of the last run, shown on the design surface.
    std::unique_ptr<TMetafile> DesignPage;
    void SetExporting(bool exporting) { m_exporting = exporting; }
    /// Drops DesignPage and repaints.
    void DropDesignPage();

    /// Band bookkeeping, for bands only.
    void BandArrived(TQRCustomBand *band);
    void BandLeft(TQRCustomBand *band);
    /// True from the moment an entry point (Print, GeneratePages, Export ...) or Generate starts until it has
    /// ended: another entry is refused meanwhile, and deletions are deferred.
    bool Running() const { return !Idle || m_entered > 0; }
    /// A component of the report asked to be deleted later while it runs: it goes once the run has ended.
    void DeferDelete(QObject *component);

protected:
    bool event(QEvent *event) override;
    void ChildFontChanged();
    void FontChanged() override;
    void Loaded() override;
    TQRControl *ValidParent(TQRControl *parent) override;
    /// Replaces the main controller (TDezirUzu walks a data set).
    void replaceController(TQRCustomController *controller);

private:
    struct RunState;
    void applyUnitsToPrintables(TQRControl *holder, TQRUnit units);
    /// Steps of a run after BeforePrint agreed, up to the end of the data.
    void runSteps(bool continued, RunState &state);
    /// Undoes what the run did (all of it after an error) and closes the printer's job.
    void endRun(bool continued, RunState &state, bool failed);
    void collectDataSets();
    TQRPrinter &runPrinter() const;
    /// A printer for a run of this report, taking over the progress receiver of the one it replaces.
    TQRPrinter *newRunPrinter(QObject *parent);
    void printBackground();
    /// A run into the page store, shown by `preview` when given.
    /// Returns the window `preview` opened.
    QObject *run(TQRPreviewInterface *preview);
    /// Deletes what asked to go while the report ran.
    void deleteDeferred();
    class Entry;

    TDezirUzuPrinterSettings *printerSettingsObject() const { return m_printerSettings; }

    int m_breaking = 0;
    int m_entered = 0;
    bool m_stopRequested = false;
    bool m_orderPending = false;
    QList<QPointer<QObject>> m_deletePending;
    TQREvElement *m_pageNumberConstant = nullptr;
    TQREvElement *m_columnNumberConstant = nullptr;

    TQRCustomController *m_controller = nullptr;
    QList<TQRCustomBand *> m_orderedBands;
    TQREvEnvironment *m_functions;
    QStringList m_description;
    TDezirUzuBands *m_bands;
    TQRPage *m_page;
    TDezirUzuPrinterSettings *m_printerSettings;
    TDezirUzuPrinterSettings *m_secondSettings;
    QString m_backImageControl;
    TQROptions m_options = TQROption::FirstPageHeader | TQROption::LastPageFooter;
    QString m_reportTitle;
    bool m_showProgress = true;
    bool m_snapToGrid = true;
    TFormStyle m_prevFormStyle = fsNormal;
    TWindowState m_previewInitialState = wsNormal;
    qint32 m_previewWidth = 500;
    qint32 m_previewHeight = 500;
    bool m_prevShowThumbs = true;
    bool m_prevShowSearch = true;
    TQRZoomState m_prevInitialZoom = qrZoomToFit;
    TPrevSaveType m_previewDefaultSaveType = stQRP;
    QColor m_backgroundColor = Qt::white;
    qint32 m_pagesInPreview = 0;
    bool m_exporting = false;
    bool m_arranging = false;
    bool m_ordering = false;
    QImage m_measure;
    QPointer<TQRCompositeReport> m_composite;
};

/// The report as definitions store it: its controller walks the report's DataSet and prints the title band
/// as header, the detail band per record and the summary band as footer.
class TDezirUzu : public TCustomDezirUzu {
    Q_OBJECT
public:
    explicit TDezirUzu(QObject *owner = nullptr);
    TQRController *Controller() const;
    void AssignControllerBands() override;
    /// The controller also takes the report's OnNeedData before it runs.
    void Execute() override;
};

/// The band switches of a report (not stored): each reads true while the report has a band of its type;
/// setting one makes such a band, clearing it frees the first.
class TDezirUzuBands : public TQRPersistent {
    Q_OBJECT
    Q_PROPERTY(bool HasTitle READ HasTitle WRITE SetHasTitle STORED false)
    Q_PROPERTY(bool HasPageHeader READ HasPageHeader WRITE SetHasPageHeader STORED false)
    Q_PROPERTY(bool HasColumnHeader READ HasColumnHeader WRITE SetHasColumnHeader STORED false)
    Q_PROPERTY(bool HasDetail READ HasDetail WRITE SetHasDetail STORED false)
    Q_PROPERTY(bool HasPageFooter READ HasPageFooter WRITE SetHasPageFooter STORED false)
    Q_PROPERTY(bool HasSummary READ HasSummary WRITE SetHasSummary STORED false)
public:
    explicit TDezirUzuBands(TCustomDezirUzu *report);

    bool HasTitle() const { return Has(rbTitle); }
    void SetHasTitle(bool on) { Set(rbTitle, on); }
    bool HasPageHeader() const { return Has(rbPageHeader); }
    void SetHasPageHeader(bool on) { Set(rbPageHeader, on); }
    bool HasColumnHeader() const { return Has(rbColumnHeader); }
    void SetHasColumnHeader(bool on) { Set(rbColumnHeader, on); }
    bool HasDetail() const { return Has(rbDetail); }
    void SetHasDetail(bool on) { Set(rbDetail, on); }
    bool HasPageFooter() const { return Has(rbPageFooter); }
    void SetHasPageFooter(bool on) { Set(rbPageFooter, on); }
    bool HasSummary() const { return Has(rbSummary); }
    void SetHasSummary(bool on) { Set(rbSummary, on); }

    /// The report holds a band of the type.
    bool Has(TQRBandType type) const;
    void Set(TQRBandType type, bool on);
    /// The band of a type for the generator: the first in print order.
    TQRCustomBand *BandOfType(TQRBandType type) const;

private:
    TCustomDezirUzu *m_report;
};
