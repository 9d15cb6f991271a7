#pragma once

#include "report/controls/QRControlTypes.h"

#include <QColor>
#include <QRect>

class TQRExportFilter;
class TQRPrinter;

/// Registers the printable controls (labels, expressions, shapes, images, rich text) with the report class factory,
/// with what they store besides their properties ("FontSize", "Picture"), and installs the ways frames and
/// filled rectangles reach an export filter as shape controls. Safe to call more than once; registers the
/// engine's classes too.
void RegisterControlClasses();

namespace qrcontrols {

/// Hands a shape to an export filter at `rect`'s top-left corner (device pixels of the page): a temporary
/// shape control of that size with the given brush and pen. `printer` converts the size to 0.1 mm (the
/// screen's factors when there is none).
void ExportShape(TQRExportFilter &filter, const TQRPrinter *printer, TQRShapeType shape, const QRect &rect,
                 const QColor &brushColor, bool filled, const QColor &penColor, int penWidth);

} // namespace qrcontrols
