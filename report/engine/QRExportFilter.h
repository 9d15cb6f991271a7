#pragma once

#include "report/engine/QRTypes.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <functional>

class TCustomDezirUzu;
class TQRCustomBand;
class TQRPrintable;
class TQRPrinter;

/// Receives everything a report run draws on its pages when the run exports instead of storing pages.
/// The report, its bands and controls talk to a filter only through this interface; a report run calls
/// Start once (unless the filter has Started, so that the reports of one composite job share one output),
/// NewPage and EndPage around every page, and Finish when the run or the composite's last report ends.
/// Lengths are in 0.1 mm unless a call says otherwise.
class TQRExportFilter {
public:
    virtual ~TQRExportFilter() = default;

    /// The output has no page breaks: a page then has the whole paper length left.
    virtual bool Continuous() { return false; }
    virtual void Start(int paperWidth, int paperLength, const QFont &font) = 0;
    virtual void EndPage() = 0;
    virtual void Finish() = 0;
    virtual void NewPage() = 0;
    /// A shape, image or other control to be reproduced at (x, y) in device units of the page.
    virtual void PutGraphic(TQRPrintable *control, double x, double y) = 0;
    /// A band has printed with its top-left corner at (x, y) and stretched by expandedHeight.
    virtual void BandDone(TQRCustomBand *band, double x, double y, double expandedHeight) = 0;
    /// Text written by a label at (x, y): the left edge, the right edge or the centre, as aligned.
    virtual void TextOut(double x, double y, const QFont &font, const QColor &background, TAlignment alignment,
                         const QString &text) = 0;

    /// Set by the filter once it has started.
    bool Started = false;
    /// Filled by a report before an export run: the report, and the printer it held before the run.
    TCustomDezirUzu *Report = nullptr;
    TQRPrinter *Printer = nullptr;
};

/// How a filled rectangle the report draws (a band's background, the page's background colour) reaches an
/// export filter: as a shape control (solid brush in the colour, no pen) at the rectangle's left and top, in
/// device pixels of the page. The shape control belongs to the controls library, which installs this; until
/// then such rectangles are not exported.
using TQRRectangleExport = std::function<void(TQRExportFilter &filter, const QRect &rect, const QColor &color)>;
/// Installs the hook; returns the one installed before.
TQRRectangleExport SetRectangleExport(TQRRectangleExport hook);
/// Hands a filled rectangle to a filter through the installed hook (nothing without one).
void ExportRectangle(TQRExportFilter &filter, const QRect &rect, const QColor &color);
