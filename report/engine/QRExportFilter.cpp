#include "report/engine/QRExportFilter.h"

namespace {

TQRRectangleExport &rectangleExport() {
    static TQRRectangleExport hook;
    return hook;
}

} // namespace

TQRRectangleExport SetRectangleExport(TQRRectangleExport hook) {
    TQRRectangleExport previous = std::move(rectangleExport());
    rectangleExport() = std::move(hook);
    return previous;
}

void ExportRectangle(TQRExportFilter &filter, const QRect &rect, const QColor &color) {
    if (rectangleExport())
        rectangleExport()(filter, rect, color);
}
