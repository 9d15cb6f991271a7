#pragma once

#include <QObject>

/// The enumerations of the printable controls, registered with Qt's meta-object system so that stored
/// definitions read and write them by name.
namespace qrcontrols {
Q_NAMESPACE

/// Reading order of a control's text: right-to-left mirrors the alignment, unless it is NoAlign or
/// ReadingOnly.
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
Q_ENUM_NS(TBiDiMode)

/// How an export filter should take a label's text.
enum TQRExportAs { exptText, exptNumeric, exptDate, exptTime, exptImage };
Q_ENUM_NS(TQRExportAs)

/// The figure a shape control draws.
enum TQRShapeType {
    qrsRectangle,
    qrsCircle,
    qrsVertLine,
    qrsHorLine,
    qrsTopAndBottom,
    qrsRightAndLeft,
    qrsRoundRect,
    qrsLeftDiagonal,
    qrsRightDiagonal
};
Q_ENUM_NS(TQRShapeType)

} // namespace qrcontrols

using qrcontrols::TBiDiMode;
using qrcontrols::TQRExportAs;
using qrcontrols::TQRShapeType;
// The prefixed enumerators are the model's vocabulary.
using qrcontrols::bdLeftToRight;
using qrcontrols::bdRightToLeft;
using qrcontrols::bdRightToLeftNoAlign;
using qrcontrols::bdRightToLeftReadingOnly;
using qrcontrols::exptDate;
using qrcontrols::exptImage;
using qrcontrols::exptNumeric;
using qrcontrols::exptText;
using qrcontrols::exptTime;
using qrcontrols::qrsCircle;
using qrcontrols::qrsHorLine;
using qrcontrols::qrsLeftDiagonal;
using qrcontrols::qrsRectangle;
using qrcontrols::qrsRightAndLeft;
using qrcontrols::qrsRightDiagonal;
using qrcontrols::qrsRoundRect;
using qrcontrols::qrsTopAndBottom;
using qrcontrols::qrsVertLine;
