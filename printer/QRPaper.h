#pragma once

#include <QObject>
#include <QString>

#include <optional>

/// Paper sizes, paper bins and orientation of the report printer, with their device codes.
namespace QRPrntr {
Q_NAMESPACE

/// Paper sizes; the device code of 1-68 is the ordinal, Custom's is DMPAPER_USER, Default has none.
enum class TQRPaperSize {
    Default,
    Letter,
    LetterSmall,
    Tabloid,
    Ledger,
    Legal,
    Statement,
    Executive,
    A3,
    A4,
    A4Small,
    A5,
    B4,
    B5,
    Folio,
    Quarto,
    qr10X14,
    qr11X17,
    Note,
    Env9,
    Env10,
    Env11,
    Env12,
    Env14,
    CSheet,
    DSheet,
    ESheet,
    EnvDL,
    EnvC5,
    EnvC3,
    EnvC4,
    EnvC6,
    EnvC65,
    EnvB4,
    EnvB5,
    EnvB6,
    EnvItaly,
    EnvMonarch,
    EnvPersonal,
    FanfoldUSStd,
    FanfoldGerStd,
    FanfoldGerLegal,
    B4ISO,
    PostcardJap,
    qr9X11,
    qr10X11,
    qr15X11,
    EnvInvite,
    Reserved1,
    Reserved2,
    LetterExtra,
    LegalExtra,
    TabloidExtra,
    A4Extra,
    LetterTrans,
    A4Trans,
    LetterExtraTrans,
    SuperASuperAA4,
    SuperBSuperBA3,
    LetterPlus,
    A4Plus,
    A5Trans,
    B5Trans,
    A3Extra,
    A5Extra,
    B5Extra,
    A2,
    A3Trans,
    A3ExtraTrans,
    Custom
};
Q_ENUM_NS(TQRPaperSize)

/// Paper bins; the device code comes from BinCode.
enum class TQRBin {
    First,
    Upper,
    Lower,
    Middle,
    Manual,
    Envelope,
    EnvManual,
    Auto,
    Tractor,
    SmallFormat,
    LargeFormat,
    LargeCapacity,
    Cassette,
    Last
};
Q_ENUM_NS(TQRBin)

enum TPrinterOrientation { poPortrait, poLandscape };
Q_ENUM_NS(TPrinterOrientation)

} // namespace QRPrntr

using QRPrntr::poLandscape;
using QRPrntr::poPortrait;
using QRPrntr::TPrinterOrientation;
using QRPrntr::TQRBin;
using QRPrntr::TQRPaperSize;

constexpr int PaperSizeCount = int(TQRPaperSize::Custom) + 1;
constexpr int BinCount = int(TQRBin::Last) + 1;

/// Device paper code of a size; 0 (none) for Default.
int PaperCode(TQRPaperSize size);
/// Portrait width and length of a size in millimetres; 0 for Default and Custom.
double PaperWidthMm(TQRPaperSize size);
double PaperLengthMm(TQRPaperSize size);
/// The first size whose device code is `code`, or none.
std::optional<TQRPaperSize> PaperSizeOfCode(int code);
/// The size's name ("A4", "qr10X14").
QString PaperSizeName(TQRPaperSize size);

/// Device code of a bin.
int BinCode(TQRBin bin);
/// The first bin whose device code is `code`, or none.
std::optional<TQRBin> BinOfCode(int code);

/// The paper of a report page as the report hands it to its printer before a run.
struct TQRPageFormat {
    TQRPaperSize PaperSize = TQRPaperSize::A4;
    TPrinterOrientation Orientation = poPortrait;
    /// Width and length in 0.1 mm (used for Custom).
    double Width = 0;
    double Length = 0;
};
