#pragma once

#include "printer/QRError.h"
#include "printer/QRPaper.h"
#include "printer/QRPreviewReport.h"
#include "printer/drawing/Units.h"

#include <QFlags>
#include <QObject>

/// The enumerations and sets of the report model (the preview's own come from the printer layer), registered with Qt's
/// meta-object system so that stored definitions read and write them by name.
namespace qrengine {
Q_NAMESPACE

/// The unit in which a size holder's published lengths are read and written.
enum class TQRUnit { MM, Inches, Pixels, Characters, Native };
Q_ENUM_NS(TQRUnit)

enum TQRBandType {
    rbTitle,
    rbPageHeader,
    rbDetail,
    rbPageFooter,
    rbSummary,
    rbGroupHeader,
    rbGroupFooter,
    rbSubDetail,
    rbColumnHeader,
    rbOverlay,
    rbWild,
    rbChild
};
Q_ENUM_NS(TQRBandType)

/// When a child band prints relative to its parent band.
enum TCBPrintOrder { cboAfterParent, cboBeforeParent, cboBeforeAndAfter };
Q_ENUM_NS(TCBPrintOrder)

/// Horizontal alignment of a control's content (and of text handed to an export filter).
enum TAlignment { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };
Q_ENUM_NS(TAlignment)

/// The Qt flag that lays text out with an alignment.
inline Qt::Alignment qtAlignment(TAlignment alignment) {
    return alignment == taRightJustify ? Qt::AlignRight : alignment == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
}

enum class TQROption { FirstPageHeader = 0x1, LastPageFooter = 0x2, Compression = 0x4 };
Q_DECLARE_FLAGS(TQROptions, TQROption)
Q_FLAG_NS(TQROptions)

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame, psUserStyle, psAlternate };
Q_ENUM_NS(TPenStyle)

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
Q_ENUM_NS(TBrushStyle)

enum class TFontStyle { fsBold = 0x1, fsItalic = 0x2, fsUnderline = 0x4, fsStrikeOut = 0x8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_FLAG_NS(TFontStyles)

// clang-format off
/// Character sets of a font, by their device codes.
enum TFontCharset {
    ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, MAC_CHARSET = 77, SHIFTJIS_CHARSET = 128,
    HANGEUL_CHARSET = 129, JOHAB_CHARSET = 130, GB2312_CHARSET = 134, CHINESEBIG5_CHARSET = 136,
    GREEK_CHARSET = 161, TURKISH_CHARSET = 162, VIETNAMESE_CHARSET = 163, HEBREW_CHARSET = 177,
    ARABIC_CHARSET = 178, BALTIC_CHARSET = 186, RUSSIAN_CHARSET = 204, THAI_CHARSET = 222,
    EASTEUROPE_CHARSET = 238, OEM_CHARSET = 255
};
// clang-format on
Q_ENUM_NS(TFontCharset)

} // namespace qrengine

Q_DECLARE_OPERATORS_FOR_FLAGS(qrengine::TQROptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(qrengine::TFontStyles)

using qrengine::qtAlignment;
using qrengine::taCenter;
using qrengine::taLeftJustify;
using qrengine::TAlignment;
using qrengine::taRightJustify;
using qrengine::TBrushStyle;
using qrengine::TCBPrintOrder;
using qrengine::TFontCharset;
using qrengine::TFontStyle;
using qrengine::TFontStyles;
using qrengine::TPenStyle;
using qrengine::TQRBandType;
using qrengine::TQROption;
using qrengine::TQROptions;
using qrengine::TQRUnit;
// The prefixed enumerators are the model's vocabulary.
using qrengine::bsBDiagonal;
using qrengine::bsClear;
using qrengine::bsCross;
using qrengine::bsDiagCross;
using qrengine::bsFDiagonal;
using qrengine::bsHorizontal;
using qrengine::bsSolid;
using qrengine::bsVertical;
using qrengine::cboAfterParent;
using qrengine::cboBeforeAndAfter;
using qrengine::cboBeforeParent;
using qrengine::psAlternate;
using qrengine::psClear;
using qrengine::psDash;
using qrengine::psDashDot;
using qrengine::psDashDotDot;
using qrengine::psDot;
using qrengine::psInsideFrame;
using qrengine::psSolid;
using qrengine::psUserStyle;
using qrengine::rbChild;
using qrengine::rbColumnHeader;
using qrengine::rbDetail;
using qrengine::rbGroupFooter;
using qrengine::rbGroupHeader;
using qrengine::rbOverlay;
using qrengine::rbPageFooter;
using qrengine::rbPageHeader;
using qrengine::rbSubDetail;
using qrengine::rbSummary;
using qrengine::rbTitle;
using qrengine::rbWild;

/// The largest length, in 0.1 mm, a size holder takes (100 m): far beyond any paper, and small enough that
/// pixel positions summed over many bands stay within 32 bits.
constexpr double MaxNativeLength = 1e6;
