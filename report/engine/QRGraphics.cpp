#include "report/engine/QRGraphics.h"

#include "report/engine/QRUnits.h"

#include <QRegularExpression>

#include <cmath>

namespace {

struct NamedColor {
    const char *name;
    QRgb rgb;
};

// clang-format off
// System colours resolve to the values of a standard desktop scheme, so a definition looks the same anywhere.
const NamedColor namedColors[] = {
    {"clBlack", 0x000000}, {"clMaroon", 0x800000}, {"clGreen", 0x008000}, {"clOlive", 0x808000},
    {"clNavy", 0x000080}, {"clPurple", 0x800080}, {"clTeal", 0x008080}, {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0}, {"clRed", 0xFF0000}, {"clLime", 0x00FF00}, {"clYellow", 0xFFFF00},
    {"clBlue", 0x0000FF}, {"clFuchsia", 0xFF00FF}, {"clAqua", 0x00FFFF}, {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xA6CAF0}, {"clCream", 0xFFFBF0}, {"clMedGray", 0xA4A0A0},
    {"clWindow", 0xFFFFFF}, {"clWindowText", 0x000000}, {"clBtnFace", 0xF0F0F0}, {"clBtnText", 0x000000},
    {"clBtnShadow", 0xA0A0A0}, {"clBtnHighlight", 0xFFFFFF}, {"clHighlight", 0x0078D7},
    {"clHighlightText", 0xFFFFFF}, {"clGrayText", 0x6D6D6D}, {"clInfoBk", 0xFFFFE1}, {"clInfoText", 0x000000},
    {"clMenu", 0xF0F0F0}, {"clMenuText", 0x000000}, {"clWindowFrame", 0x646464}, {"clScrollBar", 0xC8C8C8},
    {"clBackground", 0x000000}, {"clAppWorkSpace", 0xABABAB}, {"clCaptionText", 0x000000},
};
// clang-format on

} // namespace

std::optional<QColor> colorFromName(const QString &name) {
    static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (hex.match(name).hasMatch())
        return QColor::fromRgb(QRgb(name.mid(1).toUInt(nullptr, 16)));
    for (const NamedColor &c : namedColors)
        if (name == QLatin1String(c.name))
            return QColor::fromRgb(c.rgb);
    return std::nullopt;
}

QString colorName(const QColor &color) {
    return color.name(QColor::HexRgb).toUpper();
}

TQRFont::TQRFont(QObject *parent) : TQRPersistent(parent) {}

void TQRFont::SetName(const QString &name) {
    m_name = name;
    changed();
}

void TQRFont::SetSize(double points) {
    // A negative size is the same size (some definitions give character heights so); 0 is no font.
    if (!(std::fabs(points) > 0 && std::fabs(points) <= MaxSize))
        throw EQRError(QStringLiteral("Font size %1 is not a size from 0 to %2 points").arg(points).arg(MaxSize));
    m_size = points;
    changed();
}

qint32 TQRFont::Height() const {
    return -rnd(std::fabs(m_size) * ScreenPixelsPerInch() / 72);
}

void TQRFont::SetHeight(qint32 pixels) {
    // Either sign gives the character height; a cell height is not known here.
    SetSize(std::abs(double(pixels)) * 72 / ScreenPixelsPerInch());
}

void TQRFont::SetStyle(TFontStyles style) {
    m_style = style;
    changed();
}

void TQRFont::SetColor(const QColor &color) {
    m_color = color;
    changed();
}

void TQRFont::SetCharset(TFontCharset charset) {
    m_charset = charset;
    changed();
}

void TQRFont::Assign(const TQRFont &other) {
    m_name = other.m_name;
    m_size = other.m_size;
    m_style = other.m_style;
    m_color = other.m_color;
    m_charset = other.m_charset;
    changed();
}

QFont TQRFont::ToQFont() const {
    QFont font(m_name);
    font.setPointSizeF(std::fabs(m_size));
    font.setBold(m_style.testFlag(TFontStyle::fsBold));
    font.setItalic(m_style.testFlag(TFontStyle::fsItalic));
    font.setUnderline(m_style.testFlag(TFontStyle::fsUnderline));
    font.setStrikeOut(m_style.testFlag(TFontStyle::fsStrikeOut));
    // Each character at its own advance, as a page recording places it: a text measures what it draws, and
    // measuring costs no shaping. Scripts that need shaping are shaped still.
    font.setKerning(false);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

void TQRPen::SetColor(const QColor &color) {
    m_color = color;
    changed();
}

void TQRPen::SetWidth(qint32 width) {
    if (width < 0 || width > 10000)
        return;
    m_width = width;
    changed();
}

void TQRPen::SetStyle(TPenStyle style) {
    m_style = style;
    changed();
}

void TQRPen::Assign(const TQRPen &other) {
    m_color = other.m_color;
    m_width = other.m_width;
    m_style = other.m_style;
    changed();
}

QPen TQRPen::ToQPen() const {
    QPen pen(m_color, m_width, qtPenStyle(m_style));
    return pen;
}

void TQRBrush::SetColor(const QColor &color) {
    m_color = color;
    changed();
}

void TQRBrush::SetStyle(TBrushStyle style) {
    m_style = style;
    changed();
}

void TQRBrush::Assign(const TQRBrush &other) {
    m_color = other.m_color;
    m_style = other.m_style;
    changed();
}

QBrush TQRBrush::ToQBrush() const {
    static const Qt::BrushStyle styles[] = {Qt::SolidPattern, Qt::NoBrush,      Qt::HorPattern,   Qt::VerPattern,
                                            Qt::FDiagPattern, Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    return QBrush(m_color, styles[int(m_style)]);
}

Qt::PenStyle qtPenStyle(TPenStyle style) {
    switch (style) {
    case psDash:
        return Qt::DashLine;
    case psDot:
    case psAlternate:
        return Qt::DotLine;
    case psDashDot:
        return Qt::DashDotLine;
    case psDashDotDot:
        return Qt::DashDotDotLine;
    case psClear:
        return Qt::NoPen;
    default:
        return Qt::SolidLine;
    }
}
