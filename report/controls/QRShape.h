#pragma once

#include "report/controls/QRControlTypes.h"
#include "report/engine/QRGraphics.h"
#include "report/engine/QRPrintable.h"

/// A rectangle, ellipse, rounded rectangle or lines drawn with a pen and filled with a brush. A vertical line
/// whose Tag is 1000 is drawn by its band instead, over the band's whole stretched height.
class TQRShape : public TQRPrintable {
    Q_OBJECT
    Q_PROPERTY(TQRBrush *Brush READ Brush)
    Q_PROPERTY(TQRPen *Pen READ Pen)
    Q_PROPERTY(qrcontrols::TQRShapeType Shape READ Shape WRITE SetShape)
    Q_PROPERTY(double RoundFactor READ RoundFactor WRITE SetRoundFactor)
    Q_PROPERTY(qint32 VertAdjust READ VertAdjust WRITE SetVertAdjust)
public:
    /// The Tag that makes a vertical line span its whole stretched band.
    static constexpr qint32 StretchedLineTag = 1000;

    explicit TQRShape(QObject *owner = nullptr);

    TQRBrush *Brush() const { return m_brush; }
    /// Copies the brush.
    void SetBrush(const TQRBrush &brush) { m_brush->Assign(brush); }
    TQRPen *Pen() const { return m_pen; }
    void SetPen(const TQRPen &pen) { m_pen->Assign(pen); }
    TQRShapeType Shape() const { return m_shape; }
    void SetShape(TQRShapeType shape);
    /// Corner size of a rounded rectangle as a fraction of the width (stored as a single float).
    double RoundFactor() const { return m_roundFactor; }
    void SetRoundFactor(double factor);
    /// Kept with the control; drawing does not use it.
    qint32 VertAdjust() const { return m_vertAdjust; }
    void SetVertAdjust(qint32 adjust) { m_vertAdjust = adjust; }

    /// Draws the figure into the box (x0, y0)-(x1, y1), right and bottom exclusive, with the shape's pen
    /// (width in the canvas's pixels) and brush; (xm, ym) is the box's middle for the lines through it and
    /// `cornerSize` a rounded rectangle's corner ellipse.
    void DrawShape(QPainter &canvas, int x0, int y0, int x1, int y1, int xm, int ym, int cornerSize) const;

    void Print(int offsetX, int offsetY) override;
    std::optional<QPen> StretchedLinePen() const override;
    void ExportStretchedLine(TQRExportFilter &filter, double x, double y, int height) override;
    void Paint(QPainter &painter) override;

private:
    TQRBrush *m_brush;
    TQRPen *m_pen;
    TQRShapeType m_shape = qrsRectangle;
    float m_roundFactor = 0;
    qint32 m_vertAdjust = 0;
};
