#pragma once

#include <QByteArray>
#include <QPaintDevice>
#include <QRectF>

#include <memory>

class EmfPaintEngine;

/// A paint device that records what a QPainter draws as enhanced metafile records: a page recording of a
/// given pixel size, laid out for a reference resolution (the screen's by default). Text stays text.
class EmfRecorder : public QPaintDevice {
public:
    /// `dpiX`/`dpiY` 0 take the screen's logical resolution (96 without a screen).
    EmfRecorder(int width, int height, double dpiX = 0, double dpiY = 0);
    ~EmfRecorder() override;

    QPaintEngine *paintEngine() const override;
    int width() const { return m_width; }
    int height() const { return m_height; }
    double dpiX() const { return m_dpiX; }
    double dpiY() const { return m_dpiY; }

    /// The finished metafile: header, every record so far, end record. Valid also while painting.
    QByteArray bytes() const;

    /// The recording engine behind a painter, or none when the painter draws elsewhere.
    static EmfPaintEngine *engineOf(const QPainter &painter);

    /// The screen's logical resolution, or 96 without one.
    static double screenDpiX();
    static double screenDpiY();

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    int m_width;
    int m_height;
    double m_dpiX;
    double m_dpiY;
    std::unique_ptr<EmfPaintEngine> m_engine;
};
