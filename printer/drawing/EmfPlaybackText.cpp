// Text records: the string in the selected font and text colour, aligned on its reference point, each
// character at its recorded advance where the advances differ from the font's own.
#include "printer/drawing/EmfPlayback.h"

#include <QPainter>
#include <QStringDecoder>

#include <cmath>

namespace emf {

using namespace layout;

namespace {

// The string of a text record (single-byte text in Windows-1250); none when it does not fit the record.
std::optional<QString> textOf(const Rec &r, bool wide) {
    const quint32 chars = r.u32(ExtTextOut::Chars);
    const quint32 offString = r.u32(ExtTextOut::StringOffset);
    if (chars > (1u << 24) || !r.fits(offString, quint64(chars) * (wide ? 2 : 1)))
        return std::nullopt;
    if (!wide) {
        QStringDecoder decoder("windows-1250");
        return decoder.decode(QByteArrayView(reinterpret_cast<const char *>(r.at(offString)), qsizetype(chars)));
    }
    QString s(qsizetype(chars), Qt::Uninitialized);
    for (quint32 i = 0; i < chars; ++i)
        s[i] = QChar(emf::u16(r.at(offString + 2 * i)));
    return s;
}

// The advances of a text record, one per character; none when the record has none that fit.
std::vector<double> advancesOf(const Rec &r, quint32 chars) {
    std::vector<double> dx;
    const quint32 offDx = r.u32(ExtTextOut::DxOffset);
    const quint64 step = (r.u32(ExtTextOut::Options) & ETO_PDY) ? 8 : 4;
    if (offDx && r.fits(offDx, quint64(chars) * step)) {
        dx.reserve(chars);
        for (quint32 i = 0; i < chars; ++i)
            dx.push_back(r.i32(offDx + quint64(i) * step));
    }
    return dx;
}

} // namespace

const QFontMetricsF &Playback::metrics() {
    if (!m_metrics || m_metricsFont != m_dc.font.font) {
        m_metrics.emplace(m_dc.font.font, m_painter ? m_painter->device() : nullptr);
        m_metricsFont = m_dc.font.font;
    }
    return *m_metrics;
}

void Playback::onText(quint32 type, const Rec &r) {
    if (m_inPath || r.size() < ExtTextOut::Length)
        return;
    const quint32 options = r.u32(ExtTextOut::Options);
    if (options & ETO_GLYPH_INDEX) // glyph numbers of a font we do not have, not characters
        return;
    const std::optional<QString> string = textOf(r, type == EMR_EXTTEXTOUTW);
    if (!string)
        return;
    const QString &s = *string;
    const std::vector<double> dx = advancesOf(r, r.u32(ExtTextOut::Chars));
    const GdiObject &f = m_dc.font;
    const QFontMetricsF &fm = metrics();
    const double natural = fm.horizontalAdvance(s);
    double total = natural;
    if (!dx.empty() && qsizetype(dx.size()) == s.size()) {
        total = 0;
        for (double d : dx)
            total += d;
    }
    const QPointF origin = (m_dc.textAlign & TA_UPDATECP) ? m_dc.current : r.point(ExtTextOut::Reference);
    const quint32 horizontal = m_dc.textAlign & TA_HORZMASK;
    const double x = horizontal == TA_RIGHT ? -total : horizontal == TA_CENTER ? -total / 2 : 0;
    const quint32 vertical = m_dc.textAlign & TA_VERTMASK;
    const double baseline = vertical == TA_BASELINE ? 0 : vertical == TA_BOTTOM ? -fm.descent() : fm.ascent();
    if (m_dc.textAlign & TA_UPDATECP)
        m_dc.current.rx() += horizontal == TA_RIGHT ? -total : total;

    // Rotated fonts turn about the reference point.
    QTransform local = QTransform::fromTranslate(origin.x(), origin.y());
    if (f.escapement != 0)
        local.rotate(-f.escapement / 10.0);
    const QRectF box(x, baseline - fm.ascent(), std::abs(total), fm.ascent() + fm.descent());
    if (!m_painter) {
        if (m_valid) {
            const QTransform toPage = local * m_dc.world * pageTransform();
            texts.append({toPage.map(QPointF(0, 0)), s, toPage.mapRect(box), f.font});
        }
        return;
    }
    if (!drawable(local.mapRect(box)) || s.isEmpty())
        return;
    const QRectF rect = r.rect(ExtTextOut::Rectangle);
    m_painter->save();
    if (options & ETO_CLIPPED)
        m_painter->setClipRect(rect, Qt::IntersectClip);
    if ((options & ETO_OPAQUE) && drawable(rect))
        m_painter->fillRect(rect, colorFrom(m_dc.bkColor));
    m_painter->setWorldTransform(local * m_painter->worldTransform());
    if (m_dc.bkMode == OPAQUE)
        m_painter->fillRect(box, colorFrom(m_dc.bkColor));
    // Very large or strongly distorted glyphs are filled as outlines: the glyph cache would render them as
    // bitmaps of any size.
    const QTransform full = m_painter->worldTransform();
    const double sx = std::hypot(full.m11(), full.m12()), sy = std::hypot(full.m21(), full.m22());
    const bool outlines = f.fontPixels * std::max(sx, sy) > 256 || std::max(sx, sy) > 8 * std::min(sx, sy);
    QFont outlineFont = f.font;
    outlineFont.setPixelSize(std::max(1, int(std::lround(f.fontPixels))));
    const QColor color = colorFrom(m_dc.textColor);
    m_painter->setFont(f.font);
    m_painter->setPen(color);
    auto draw = [&](const QPointF &at, const QString &part) {
        if (!outlines) {
            m_painter->drawText(at, part);
            return;
        }
        QPainterPath path;
        path.addText(at, outlineFont, part);
        m_painter->fillPath(path, color);
    };
    // Characters go one by one only where the recorded advances differ from the font's own.
    if (dx.empty() || qsizetype(dx.size()) != s.size() ||
        std::abs(natural - total) <= std::max(1.0, 0.02 * std::abs(total))) {
        draw(QPointF(x, baseline), s);
    } else {
        double at = x;
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (s.at(i).isLowSurrogate())
                continue;
            const qsizetype len = s.at(i).isHighSurrogate() && i + 1 < s.size() ? 2 : 1;
            draw(QPointF(at, baseline), s.mid(i, len));
            for (qsizetype j = 0; j < len; ++j)
                at += dx[size_t(i + j)];
        }
    }
    m_painter->restore();
}

} // namespace emf
