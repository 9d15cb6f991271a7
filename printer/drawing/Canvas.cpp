#include "printer/drawing/Canvas.h"

#include "printer/drawing/EmfPaintEngine.h"
#include "printer/drawing/EmfRecorder.h"
#include "printer/drawing/Metafile.h"
#include "printer/drawing/Units.h"

#include <QFontMetricsF>

namespace canvas {

int TextWidth(const QPainter &painter, const QString &text) {
    return rnd(QFontMetricsF(painter.font(), painter.device()).horizontalAdvance(text));
}

int TextHeight(const QPainter &painter, const QString &text) {
    Q_UNUSED(text);
    return rnd(QFontMetricsF(painter.font(), painter.device()).height());
}

TextAdvances::TextAdvances(const QFont &font, const QPaintDevice *device) : m_metrics(font, device) {
    m_latin.fill(-1);
}

bool TextAdvances::isLatin(const QString &text) {
    // Controls and the soft hyphen (shown only where a line breaks) are laid out, not summed.
    for (const QChar c : text)
        if (c.unicode() >= 256 || c.unicode() < 32 || (c.unicode() >= 127 && c.unicode() < 160) || c.unicode() == 0xAD)
            return false;
    return true;
}

qreal TextAdvances::width(const QString &text) {
    if (!isLatin(text))
        return m_metrics.horizontalAdvance(text);
    qreal sum = 0;
    for (const QChar c : text)
        sum += advance(c);
    return sum;
}

void DrawText(QPainter &painter, const QPointF &origin, const QString &text, TextAdvances &advances) {
    EmfPaintEngine *engine = EmfRecorder::engineOf(painter);
    const QFont &font = painter.font();
    // Decorations, an opaque background and right-to-left text are the painter's to lay out.
    if (!engine || font.underline() || font.strikeOut() || font.overline() ||
        painter.backgroundMode() == Qt::OpaqueMode || painter.layoutDirection() == Qt::RightToLeft ||
        !TextAdvances::isLatin(text)) {
        painter.drawText(origin, text);
        return;
    }
    engine->drawText(origin, text, font, advances.width(text));
}

ClipRect::ClipRect(QPainter &painter, const QRectF &rect) : m_painter(painter) {
    m_painter.save();
    m_painter.setClipRect(rect, Qt::IntersectClip);
}

ClipRect::~ClipRect() {
    m_painter.restore();
}

void StretchDraw(QPainter &painter, const QRectF &target, const TMetafile &picture) {
    picture.StretchDraw(painter, target);
}

void StretchDraw(QPainter &painter, const QRectF &target, const QImage &picture) {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, picture);
    painter.restore();
}

void RoundRect(QPainter &painter, const QRectF &rect, qreal ellipseWidth, qreal ellipseHeight) {
    if (EmfPaintEngine *engine = EmfRecorder::engineOf(painter)) {
        engine->drawRoundRect(rect, ellipseWidth, ellipseHeight);
        return;
    }
    painter.drawRoundedRect(rect, ellipseWidth / 2, ellipseHeight / 2);
}

} // namespace canvas
