#pragma once

#include "report/engine/QRTypes.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QObject>
#include <QPen>

#include <functional>
#include <optional>

/// A colour as a definition names it: "#RRGGBB" or one of the fixed system colour names ("clWhite",
/// "clWindow", "clBtnFace" ...). None for anything else.
std::optional<QColor> colorFromName(const QString &name);
/// "#RRGGBB".
QString colorName(const QColor &color);

/// Common base of the persistent sub-objects of components (fonts, pens, brushes, frames, size holders):
/// they tell their holder when they change.
class TQRPersistent : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    std::function<void()> OnChange;

protected:
    void changed() {
        if (OnChange)
            OnChange();
    }
};

/// The font of a report, band or control: a face, a size in points, styles, a colour and a character set.
/// `Height` is the size in screen pixels as a negative number (the character height), the way some
/// definitions give it; it is read, never written.
class TQRFont : public TQRPersistent {
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(double Size READ Size WRITE SetSize)
    Q_PROPERTY(qint32 Height READ Height WRITE SetHeight)
    Q_PROPERTY(qrengine::TFontStyles Style READ Style WRITE SetStyle)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(qrengine::TFontCharset Charset READ Charset WRITE SetCharset)
public:
    explicit TQRFont(QObject *parent = nullptr);

    const QString &Name() const { return m_name; }
    void SetName(const QString &name);
    /// Points, either sign, not 0 and at most MaxSize; EQRError otherwise.
    double Size() const { return m_size; }
    void SetSize(double points);
    qint32 Height() const;
    void SetHeight(qint32 pixels);
    TFontStyles Style() const { return m_style; }
    void SetStyle(TFontStyles style);
    const QColor &Color() const { return m_color; }
    void SetColor(const QColor &color);
    TFontCharset Charset() const { return m_charset; }
    void SetCharset(TFontCharset charset);

    void Assign(const TQRFont &other);
    /// The font for drawing; its point size is Size.
    QFont ToQFont() const;

    static constexpr double MaxSize = 1638;

private:
    QString m_name = QStringLiteral("Arial");
    double m_size = 10;
    TFontStyles m_style;
    QColor m_color = Qt::black;
    TFontCharset m_charset = qrengine::DEFAULT_CHARSET;
};

/// The pen of a shape: colour, width in pixels and style.
class TQRPen : public TQRPersistent {
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(qint32 Width READ Width WRITE SetWidth)
    Q_PROPERTY(qrengine::TPenStyle Style READ Style WRITE SetStyle)
public:
    using TQRPersistent::TQRPersistent;
    const QColor &Color() const { return m_color; }
    void SetColor(const QColor &color);
    qint32 Width() const { return m_width; }
    /// 0 to 10000 pixels; other values are ignored.
    void SetWidth(qint32 width);
    TPenStyle Style() const { return m_style; }
    void SetStyle(TPenStyle style);
    void Assign(const TQRPen &other);
    QPen ToQPen() const;

private:
    QColor m_color = Qt::black;
    qint32 m_width = 1;
    TPenStyle m_style = psSolid;
};

/// The brush of a shape: colour and fill style.
class TQRBrush : public TQRPersistent {
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(qrengine::TBrushStyle Style READ Style WRITE SetStyle)
public:
    using TQRPersistent::TQRPersistent;
    const QColor &Color() const { return m_color; }
    void SetColor(const QColor &color);
    TBrushStyle Style() const { return m_style; }
    void SetStyle(TBrushStyle style);
    void Assign(const TQRBrush &other);
    QBrush ToQBrush() const;

private:
    QColor m_color = Qt::white;
    TBrushStyle m_style = bsSolid;
};

/// Qt's pen style for a pen style of the model (psClear: no pen).
Qt::PenStyle qtPenStyle(TPenStyle style);
