#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

class TMetafile;

/// The few drawing services the report engine needs beyond QPainter itself, the same on a page recording
/// and on a printer.
namespace canvas {

/// Width of `text` in the painter's font on its device, in device pixels.
int TextWidth(const QPainter &painter, const QString &text);
/// Height of one line of `text` in the painter's font on its device.
int TextHeight(const QPainter &painter, const QString &text);

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
