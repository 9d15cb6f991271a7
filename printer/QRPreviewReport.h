#pragma once

#include "printer/QRPaper.h"
#include "printer/QRPrinter.h"

#include <QObject>
#include <QString>

class TDezirUzuPrinterSettings;
class TQRExportFilter;

/// How a report's pages are shown and saved by the standard preview window.
namespace QRPrev {
Q_NAMESPACE

/// The preview's zoom modes; a report names the one its preview starts in.
enum TQRZoomState { qrZoomToFit, qrZoomToWidth, qrZoomOther, qrZoom100 };
Q_ENUM_NS(TQRZoomState)

/// The file types a preview offers to save into (see PrevSaveTypeExtension).
enum TPrevSaveType { stQRP, stPDF, stXL, stHTML, stRTF, stCSV, stASCII, stXML };
Q_ENUM_NS(TPrevSaveType)

/// What the standard preview window tells its report about before it acts.
enum TStandPrevEventType { spOpen, spClose, spCopy, spPrint, spPrintSetup, spLoad, spSave, spCancel };
Q_ENUM_NS(TStandPrevEventType)

/// Style and first state of a preview window.
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
Q_ENUM_NS(TFormStyle)
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
Q_ENUM_NS(TWindowState)

} // namespace QRPrev

using QRPrev::TFormStyle;
using QRPrev::TPrevSaveType;
using QRPrev::TQRZoomState;
using QRPrev::TStandPrevEventType;
using QRPrev::TWindowState;
using enum QRPrev::TQRZoomState;
using enum QRPrev::TPrevSaveType;
using enum QRPrev::TStandPrevEventType;
using enum QRPrev::TFormStyle;
using enum QRPrev::TWindowState;

/// The file extension of a save type, with its dot (".QRP", ".HTML").
QString PrevSaveTypeExtension(TPrevSaveType type);

/// A composite report that exports the whole job when one of its reports is saved through a filter.
class TQRCompositeExporter {
public:
    virtual ~TQRCompositeExporter() = default;
    virtual void ExportToFilter(TQRExportFilter &filter) = 0;
};

/// What the standard preview window needs of the report whose printer it shows. A report that implements
/// it is the printer's ParentReport; the window finds it there. Everything runs on the GUI thread.
class TQRPreviewReport : public TQRParentReport {
public:
    // The window the report asks for.
    virtual TFormStyle PrevFormStyle() const = 0;
    virtual TWindowState PreviewInitialState() const = 0;
    /// 500 when the stored value is 0 or less.
    virtual qint32 PreviewWidth() const = 0;
    virtual qint32 PreviewHeight() const = 0;
    virtual bool PrevShowThumbs() const = 0;
    virtual bool PrevShowSearch() const = 0;
    virtual TQRZoomState PrevInitialZoom() const = 0;
    /// The zoom in percent the preview starts at when its initial zoom is neither fit nor width.
    virtual qint32 Zoom() const = 0;
    /// The window's and the print job's title.
    virtual QString ReportTitle() const = 0;
    virtual TPrevSaveType PreviewDefaultSaveType() const = 0;

    /// The report page's orientation; a loaded report file hands its paper and orientation to the page.
    virtual TPrinterOrientation PageOrientation() const = 0;
    virtual void SetPagePaper(TQRPaperSize paperSize, TPrinterOrientation orientation) = 0;

    /// Pages after which the preview stops a run (0: no limit).
    virtual qint32 PagesInPreview() const = 0;
    /// Asks a run to stop after the current record; the run polls it.
    virtual bool StopRequested() const = 0;
    virtual void SetStopRequested(bool stop) = 0;

    /// The report's OnStandPrevEvent, raised by the window (the sender) before it acts; a handler that sets
    /// Handled keeps the window from acting.
    virtual void RaiseStandPrevEvent(QObject *Sender, TStandPrevEventType eventType, const QString &contName,
                                     bool &Handled) = 0;

    /// Runs the report again, straight to the printer.
    virtual void Print() = 0;
    /// The print dialog on the report's settings; true when the user confirmed it. The choices are then in
    /// SecondSettings, the printer index in PrinterSettings.
    virtual bool SetupPrinter() = 0;
    virtual TDezirUzuPrinterSettings &PrinterSettings() = 0;
    virtual TDezirUzuPrinterSettings &SecondSettings() = 0;
    /// Runs the report into an export filter (the save command with a filter's file type).
    virtual void Export(TQRExportFilter &filter) = 0;
    /// The composite report this report belongs to, which then exports in its place; none by default.
    virtual TQRCompositeExporter *Composite() const { return nullptr; }
};

/// The report behind a printer, when it is one a preview can ask (none for a bare printer or a composite).
inline TQRPreviewReport *PreviewReportOf(const TQRPrinter *printer) {
    return printer ? dynamic_cast<TQRPreviewReport *>(printer->ParentReport()) : nullptr;
}
