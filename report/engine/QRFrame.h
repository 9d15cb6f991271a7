#pragma once

#include "report/engine/QRGraphics.h"

#include <QRect>

#include <functional>

class QPainter;
class TQRControl;
class TQRExportFilter;

/// The lines a report, band or printable control draws around itself: which edges, their colour, pen style
/// and thickness in points (1/72 inch).
class TQRFrame : public TQRPersistent {
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(bool DrawTop READ DrawTop WRITE SetDrawTop)
    Q_PROPERTY(bool DrawBottom READ DrawBottom WRITE SetDrawBottom)
    Q_PROPERTY(bool DrawLeft READ DrawLeft WRITE SetDrawLeft)
    Q_PROPERTY(bool DrawRight READ DrawRight WRITE SetDrawRight)
    Q_PROPERTY(qrengine::TPenStyle Style READ Style WRITE SetStyle)
    Q_PROPERTY(qint32 Width READ Width WRITE SetWidth)
public:
    /// Hands a frame to an export filter as shapes: the edges' rectangle in device units and their
    /// thicknesses. Installed by the library that has the shape control.
    using ExportHook = std::function<void(const TQRFrame &frame, TQRExportFilter &filter, const QRect &rect,
                                          int horizontal, int vertical)>;

    explicit TQRFrame(TQRControl *control);

    const QColor &Color() const { return m_color; }
    void SetColor(const QColor &color);
    bool DrawTop() const { return m_drawTop; }
    void SetDrawTop(bool on);
    bool DrawBottom() const { return m_drawBottom; }
    void SetDrawBottom(bool on);
    bool DrawLeft() const { return m_drawLeft; }
    void SetDrawLeft(bool on);
    bool DrawRight() const { return m_drawRight; }
    void SetDrawRight(bool on);
    TPenStyle Style() const { return m_style; }
    void SetStyle(TPenStyle style);
    qint32 Width() const { return m_width; }
    void SetWidth(qint32 width);

    bool AnySide() const { return m_drawTop || m_drawBottom || m_drawLeft || m_drawRight; }
    TQRControl *Control() const { return m_control; }
    void Assign(const TQRFrame &other);

    /// Edge thickness in device pixels for `factor` device pixels per 0.1 mm: Width points, at least one
    /// pixel when Width is above 0, and one pixel for Width -1.
    int Thickness(double factor) const;
    /// Draws the selected edges as filled strips inside `rect` (right and bottom exclusive); factors are
    /// device pixels per 0.1 mm. When the frame's report is exporting, the frame also goes to the filter.
    void PaintFrame(QPainter &canvas, const QRect &rect, double xFactor, double yFactor) const;

    static ExportHook SetExportHook(ExportHook hook);

private:
    void set(bool &field, bool value);

    TQRControl *m_control;
    QColor m_color = Qt::black;
    bool m_drawTop = false;
    bool m_drawBottom = false;
    bool m_drawLeft = false;
    bool m_drawRight = false;
    TPenStyle m_style = psSolid;
    qint32 m_width = 1;
};
