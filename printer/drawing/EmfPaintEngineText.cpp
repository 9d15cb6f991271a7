// Text stays text: one wide-text record per run, in the run's font, with an advance per character spread
// so the advances add up to the width the painter laid the run out with.
#include "printer/drawing/EmfPaintEngine.h"

#include "printer/drawing/EmfRecorder.h"
#include "printer/drawing/Units.h"

#include <QTextItem>

using namespace emf;

// Each character's advance in `font` (a surrogate pair's on its first half), and their sum.
std::vector<qreal> EmfPaintEngine::advances(const QString &text, const QFont &font, qreal &natural) {
    if (!m_metrics || m_metricsFont != font) {
        m_metrics.emplace(font, m_device);
        m_metricsFont = font;
    }
    const QFontMetricsF &metrics = *m_metrics;
    const qsizetype n = text.size();
    std::vector<qreal> advance(size_t(n), 0);
    natural = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isLowSurrogate())
            continue;
        advance[size_t(i)] = (c.isHighSurrogate() && i + 1 < n) ? metrics.horizontalAdvance(text.mid(i, 2))
                                                                : metrics.horizontalAdvance(c);
        natural += advance[size_t(i)];
    }
    return advance;
}

void EmfPaintEngine::drawTextItem(const QPointF &p, const QTextItem &textItem) {
    const QString text = textItem.text();
    if (text.isEmpty())
        return;
    ensureMapping(true);
    const QFont font = textItem.font();
    const qreal pixelSize =
        font.pixelSize() > 0 ? qreal(font.pixelSize()) : font.pointSizeF() * m_device->dpiY() / 72.0;
    const qreal scale = m_dc.scaled ? SubUnits : 1;
    selectFont(font, pixelSize * scale);
    setTextColor(colorOf(m_pen.color()));
    setBkMode(m_bgMode == Qt::OpaqueMode ? OPAQUE : TRANSPARENT);
    if (m_bgMode == Qt::OpaqueMode)
        setBkColor(colorOf(m_bgBrush.color()));
    setTextAlign(TA_BASELINE);

    qreal natural = 0;
    const std::vector<qreal> advance = advances(text, font, natural);
    const qreal width = textItem.width() > 0 ? textItem.width() : natural;
    const qreal k = natural > 0 ? width / natural : 1;
    const quint32 n = quint32(text.size());
    using T = layout::ExtTextOut;
    const quint32 dxOffset = T::Length + (2 * n + 3) / 4 * 4;
    RecordWriter w = start(EMR_EXTTEXTOUTW, T::Length);
    // Bounds are device pixels, also under a world transform.
    const QRectF box =
        m_transform.mapRect(QRectF(p.x(), p.y() - textItem.ascent(), width, textItem.ascent() + textItem.descent()));
    w.rect(T::Bounds, QRect(QPoint(rnd(box.left()), rnd(box.top())), QPoint(rnd(box.right()), rnd(box.bottom()))));
    w.u32(T::GraphicsMode, m_dc.scaled ? GM_ADVANCED : GM_COMPATIBLE);
    w.point(T::Reference, mapI(p));
    w.u32(T::Chars, n);
    w.u32(T::StringOffset, T::Length);
    w.rect(T::Rectangle, QRect(0, 0, 0, 0)); // unused without clipping or opaque options: an empty one
    w.u32(T::DxOffset, dxOffset);
    ByteWriter tail = w.tail();
    for (quint32 i = 0; i < n; ++i)
        tail.u16(text.at(i).unicode());
    tail.pad4();
    qreal x = 0;
    int placed = 0;
    for (quint32 i = 0; i < n; ++i) {
        x += advance[i] * k * scale;
        const int next = rnd(x);
        tail.i32(next - placed);
        placed = next;
    }
    w.finish();
}
