#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <array>

class TMetafile;

/// The few drawing services the report engine needs beyond QPainter itself, the same on a page recording
/// and on a printer.
namespace canvas {

/// Width of `text` in the painter's font on its device, in device pixels.
int TextWidth(const QPainter &painter, const QString &text);
/// Height of one line of `text` in the painter's font on its device.
int TextHeight(const QPainter &painter, const QString &text);

/// A font's advances on one device, those of the characters below 256 remembered: measuring a Latin text is
/// then a sum. The sum is the font's own measure for fonts that do not shape such text (report fonts).
class TextAdvances {
public:
    TextAdvances(const QFont &font, const QPaintDevice *device);

    const QFontMetricsF &metrics() const { return m_metrics; }
    /// Advance of one character (of half a surrogate pair: the font's answer for it alone).
    qreal advance(QChar c) {
        if (c.unicode() >= 256)
            return m_metrics.horizontalAdvance(c);
        qreal &known = m_latin[c.unicode()];
        if (known < 0)
            known = m_metrics.horizontalAdvance(c);
        return known;
    }
    /// Width of `text` in device pixels.
    qreal width(const QString &text);
    /// True when every character of `text` has a remembered advance's place (below 256, not a control, not
    /// the soft hyphen).
    static bool isLatin(const QString &text);

private:
    QFontMetricsF m_metrics;
    std::array<qreal, 256> m_latin;
};

/// Draws `text` with the left end of its baseline at `origin`, in the painter's font and pen, as
/// QPainter::drawText does. On a page recording, Latin text in a plain font becomes its text record at once,
/// without laying the text out first; `advances` must measure the painter's font on its device.
void DrawText(QPainter &painter, const QPointF &origin, const QString &text, TextAdvances &advances);

/// Clips the painter to a rectangle until destroyed, saving and restoring its state around it.
class ClipRect {
public:
    ClipRect(QPainter &painter, const QRectF &rect);
    ~ClipRect();
    ClipRect(const ClipRect &) = delete;
    ClipRect &operator=(const ClipRect &) = delete;

private:
    QPainter &m_painter;
};

/// Draws a recording stretched into `target`.
void StretchDraw(QPainter &painter, const QRectF &target, const TMetafile &picture);
/// Draws a bitmap stretched into `target`, pixel colours repeated or dropped rather than blended.
void StretchDraw(QPainter &painter, const QRectF &target, const QImage &picture);
/// A rectangle with rounded corners; the corner ellipse is `ellipseWidth` x `ellipseHeight`. On a page
/// recording it stays a single record.
void RoundRect(QPainter &painter, const QRectF &rect, qreal ellipseWidth, qreal ellipseHeight);

} // namespace canvas
