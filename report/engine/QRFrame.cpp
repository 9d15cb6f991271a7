#include "report/engine/QRFrame.h"

#include "report/engine/QRControl.h"
#include "report/engine/QRReport.h"

#include <QPainter>

namespace {

TQRFrame::ExportHook &exportHook() {
    static TQRFrame::ExportHook hook;
    return hook;
}

} // namespace

TQRFrame::TQRFrame(TQRControl *control) : TQRPersistent(control), m_control(control) {}

void TQRFrame::set(bool &field, bool value) {
    field = value;
    changed();
    if (m_control)
        m_control->Invalidate();
}

void TQRFrame::SetColor(const QColor &color) {
    m_color = color;
    changed();
    if (m_control)
        m_control->Invalidate();
}

void TQRFrame::SetDrawTop(bool on) {
    set(m_drawTop, on);
}

void TQRFrame::SetDrawBottom(bool on) {
    set(m_drawBottom, on);
}

void TQRFrame::SetDrawLeft(bool on) {
    set(m_drawLeft, on);
}

void TQRFrame::SetDrawRight(bool on) {
    set(m_drawRight, on);
}

void TQRFrame::SetStyle(TPenStyle style) {
    m_style = style;
    changed();
    if (m_control)
        m_control->Invalidate();
}

void TQRFrame::SetWidth(qint32 width) {
    m_width = width;
    changed();
    if (m_control)
        m_control->Invalidate();
}

void TQRFrame::Assign(const TQRFrame &other) {
    m_color = other.m_color;
    m_drawTop = other.m_drawTop;
    m_drawBottom = other.m_drawBottom;
    m_drawLeft = other.m_drawLeft;
    m_drawRight = other.m_drawRight;
    m_style = other.m_style;
    m_width = other.m_width;
    changed();
    if (m_control)
        m_control->Invalidate();
}

int TQRFrame::Thickness(double factor) const {
    if (m_width == -1)
        return 1;
    const int thickness = rnd(factor / 72 * 254 * m_width);
    if (thickness < 1 && m_width > 0)
        return 1;
    // A negative width other than -1 would draw outside the rectangle: nothing is drawn.
    return thickness < 0 ? 0 : thickness;
}

void TQRFrame::PaintFrame(QPainter &canvas, const QRect &rect, double xFactor, double yFactor) const {
    const int h = Thickness(xFactor);
    const int v = Thickness(yFactor);
    const QBrush brush(m_color);
    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    if (v > 0) {
        if (m_drawTop)
            canvas.fillRect(QRect(left, top, right - left, v), brush);
        if (m_drawBottom)
            canvas.fillRect(QRect(left, bottom - v, right - left, v), brush);
    }
    if (h > 0) {
        if (m_drawLeft)
            canvas.fillRect(QRect(left, top, h, bottom - top), brush);
        if (m_drawRight)
            canvas.fillRect(QRect(right - h, top, h, bottom - top), brush);
    }
    canvas.setPen(QPen(m_color, 1, qtPenStyle(m_style)));
    canvas.setBrush(Qt::NoBrush);

    TCustomDezirUzu *report = m_control ? m_control->ParentReport() : nullptr;
    if (report && report->Exporting() && report->ExportFilter && exportHook()) {
        try {
            exportHook()(*this, *report->ExportFilter, rect, h, v);
        } catch (...) {
            // A filter that cannot take the frame loses it; the page is still drawn.
        }
    }
}

TQRFrame::ExportHook TQRFrame::SetExportHook(ExportHook hook) {
    ExportHook previous = std::move(exportHook());
    exportHook() = std::move(hook);
    return previous;
}
