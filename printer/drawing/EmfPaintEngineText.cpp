// Text stays text: one wide-text record per run, in the run's font, with an advance per character spread
// so the advances add up to the width the painter laid the run out with.
#include "printer/drawing/EmfPaintEngine.h"

#include "printer/drawing/EmfRecorder.h"
#include "printer/drawing/Units.h"

#include <QTextItem>

using namespace emf;

canvas::TextAdvances &EmfPaintEngine::textAdvances(const QFont &font) {
    if (!m_textAdvances || m_textAdvancesFont != font) {
        m_textAdvances.emplace(font, m_device);
        m_textAdvancesFont = font;
    }
    return *m_textAdvances;
}

// Each character's advance in `font` (a surrogate pair's on its first half) into m_advances, and their sum.
void EmfPaintEngine::advances(const QString &text, const QFont &font, qreal &natural) {
    canvas::TextAdvances &known = textAdvances(font);
    const qsizetype n = text.size();
    m_advances.assign(size_t(n), 0);
    natural = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isLowSurrogate())
            continue;
        m_advances[size_t(i)] =
            (c.isHighSurrogate() && i + 1 < n) ? known.metrics().horizontalAdvance(text.mid(i, 2)) : known.advance(c);
        natural += m_advances[size_t(i)];
    }
}

void EmfPaintEngine::drawTextItem(const QPointF &p, const QTextItem &textItem) {
    recordText(p, textItem.text(), textItem.font(), textItem.width(), textItem.ascent(), textItem.descent());
}

void EmfPaintEngine::drawText(const QPointF &origin, const QString &text, const QFont &font, qreal width) {
    const PainterState state = takePainterState();
    const QFontMetricsF &metrics = textAdvances(font).metrics();
    recordText(origin, text, font, width, metrics.ascent(), metrics.descent());
    restorePainterState(state);
}

void EmfPaintEngine::recordText(const QPointF &p, const QString &text, const QFont &font, qreal textWidth, qreal ascent,
                                qreal descent) {
    if (text.isEmpty())
        return;
    ensureMapping(true);
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
    advances(text, font, natural);
    const qreal width = textWidth > 0 ? textWidth : natural;
    const qreal k = natural > 0 ? width / natural : 1;
    const quint32 n = quint32(text.size());
    using T = layout::ExtTextOut;
    const quint32 stringBytes = (2 * n + 3) / 4 * 4;
    const quint32 dxOffset = T::Length + stringBytes;
    RecordWriter w = start(EMR_EXTTEXTOUTW, T::Length);
    // Bounds are device pixels, also under a world transform.
    const QRectF box = m_transform.mapRect(QRectF(p.x(), p.y() - ascent, width, ascent + descent));
    w.rect(T::Bounds, QRect(QPoint(rnd(box.left()), rnd(box.top())), QPoint(rnd(box.right()), rnd(box.bottom()))));
    w.u32(T::GraphicsMode, m_dc.scaled ? GM_ADVANCED : GM_COMPATIBLE);
    w.point(T::Reference, mapI(p));
    w.u32(T::Chars, n);
    w.u32(T::StringOffset, T::Length);
    w.rect(T::Rectangle, QRect(0, 0, 0, 0)); // unused without clipping or opaque options: an empty one
    w.u32(T::DxOffset, dxOffset);
    // The string and its advances written in place: a page holds thousands of them.
    char *out = w.tail().grow(qsizetype(stringBytes) + 4 * qsizetype(n));
    for (quint32 i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        *out++ = char(u);
        *out++ = char(u >> 8);
    }
    for (quint32 pad = stringBytes - 2 * n; pad > 0; --pad)
        *out++ = 0;
    qreal x = 0;
    int placed = 0;
    for (quint32 i = 0; i < n; ++i) {
        x += m_advances[i] * k * scale;
        const int next = rnd(x);
        const quint32 d = quint32(next - placed);
        *out++ = char(d);
        *out++ = char(d >> 8);
        *out++ = char(d >> 16);
        *out++ = char(d >> 24);
        placed = next;
    }
    w.finish();
}
