#include "report/controls/QRShape.h"

#include "printer/QRPrinter.h"
#include "printer/drawing/Canvas.h"
#include "report/engine/QRExportFilter.h"
#include "report/engine/QRReport.h"

#include <QPainter>

#include <cmath>

TQRShape::TQRShape(QObject *owner) : TQRPrintable(owner), m_brush(new TQRBrush(this)), m_pen(new TQRPen(this)) {
    m_brush->OnChange = [this] { Invalidate(); };
    m_pen->OnChange = [this] { Invalidate(); };
    SetPixelSize(65, 65);
}

void TQRShape::SetShape(TQRShapeType shape) {
    m_shape = shape;
    Invalidate();
}

void TQRShape::SetRoundFactor(double factor) {
    if (!std::isfinite(factor))
        return;
    m_roundFactor = float(factor);
    Invalidate();
}

void TQRShape::DrawShape(QPainter &canvas, int x0, int y0, int x1, int y1, int xm, int ym, int cornerSize) const {
    canvas.save();
    canvas.setPen(m_pen->ToQPen());
    canvas.setBrush(m_brush->ToQBrush());
    // A box as the canvas takes it: its right and bottom edges lie one pixel inside (x1, y1).
    const QRectF box(x0, y0, x1 - x0 - 1, y1 - y0 - 1);
    const bool hasArea = x1 > x0 && y1 > y0;
    switch (m_shape) {
    case qrsRectangle:
        if (hasArea)
            canvas.drawRect(box);
        break;
    case qrsCircle:
        if (hasArea)
            canvas.drawEllipse(box);
        break;
    case qrsVertLine:
        canvas.drawLine(QLine(xm, y0, xm, y1));
        break;
    case qrsHorLine:
        canvas.drawLine(QLine(x0, ym, x1, ym));
        break;
    case qrsTopAndBottom:
        canvas.drawLine(QLine(x0, y0, x1, y0));
        canvas.drawLine(QLine(x0, y1, x1, y1));
        break;
    case qrsRightAndLeft:
        canvas.drawLine(QLine(x0, y0, x0, y1));
        canvas.drawLine(QLine(x1, y0, x1, y1));
        break;
    case qrsRoundRect:
        if (hasArea)
            canvas::RoundRect(canvas, box, cornerSize, cornerSize);
        break;
    case qrsLeftDiagonal:
        canvas.drawLine(QLine(x1, y0, x0, y1));
        break;
    case qrsRightDiagonal:
        canvas.drawLine(QLine(x0, y0, x1, y1));
        break;
    }
    canvas.restore();
}

void TQRShape::Print(int offsetX, int offsetY) {
    TCustomDezirUzu *report = ParentReport();
    if (!report || !ShouldPrint())
        return;
    TQRPrinter *printer = PagePrinter();
    if (!printer)
        return;
    const double left = Size()->NativeValue(1) + offsetX;
    const double top = Size()->NativeValue(2) + offsetY;
    const double width = Size()->NativeValue(3);
    const double height = Size()->NativeValue(0);
    // Device positions of the box and its middle, each converted on its own as the page has them.
    const int x0 = printer->ToDeviceX(left);
    const int y0 = printer->ToDeviceY(top);
    const int x1 = printer->ToDeviceX(left + width);
    const int y1 = printer->ToDeviceY(top + height);
    const int xm = printer->ToDeviceX(left + width / 2);
    const int ym = printer->ToDeviceY(top + height / 2);
    if (report->Exporting() && report->ExportFilter)
        report->ExportFilter->PutGraphic(this, x0, y0);
    QPainter *canvas = printer->PageCanvas();
    if (!report->RenderPages || !canvas)
        return;
    DrawShape(*canvas, x0, y0, x1, y1, xm, ym, int(Width() * double(m_roundFactor)));
}

std::optional<QPen> TQRShape::StretchedLinePen() const {
    if (Tag() != StretchedLineTag || m_shape != qrsVertLine)
        return std::nullopt;
    return m_pen->ToQPen();
}

void TQRShape::ExportStretchedLine(TQRExportFilter &filter, double x, double y, int height) {
    TCustomDezirUzu *report = ParentReport();
    TQRPrinter *printer = report ? report->ReportPrinter.data() : nullptr;
    const double unitsY = printer && printer->PixelsPerUnitY() > 0 ? printer->PixelsPerUnitY() : 0.37795;
    TQRShape line;
    line.setObjectName(objectName());
    line.SetTag(Tag());
    line.SetShape(qrsVertLine);
    line.Pen()->Assign(*m_pen);
    line.Pen()->SetStyle(psSolid);
    line.Brush()->SetStyle(bsClear);
    line.Size()->SetValues({height / unitsY, Size()->NativeValue(1), y / unitsY, Size()->NativeValue(3)});
    filter.PutGraphic(&line, x, y);
}

void TQRShape::Paint(QPainter &painter) {
    if (RunActive())
        return;
    const int w = Width();
    const int h = Height();
    painter.save();
    painter.setPen(m_pen->ToQPen());
    painter.setBrush(m_brush->ToQBrush());
    switch (m_shape) {
    case qrsRectangle:
        painter.drawRect(QRect(0, 0, w, h));
        break;
    case qrsCircle:
        painter.drawEllipse(QRect(0, 0, w, h));
        break;
    case qrsVertLine:
        painter.drawLine(w / 2, 0, w / 2, h);
        break;
    case qrsHorLine:
        painter.drawLine(0, h / 2, w, h / 2);
        break;
    case qrsTopAndBottom:
        painter.drawLine(0, 0, w, 0);
        painter.drawLine(0, h - 1, w, h - 1);
        break;
    case qrsRightAndLeft:
        painter.drawLine(0, 0, 0, h);
        painter.drawLine(w - 1, 0, w - 1, h);
        break;
    case qrsRoundRect: {
        const int corner = int(w * double(m_roundFactor));
        canvas::RoundRect(painter, QRectF(0, 0, w, h), corner, corner);
        break;
    }
    case qrsLeftDiagonal:
        painter.drawLine(w, 0, 0, h);
        break;
    case qrsRightDiagonal:
        painter.drawLine(0, 0, w, h);
        break;
    }
    painter.restore();
}
