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
