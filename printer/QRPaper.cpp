#include "printer/QRPaper.h"

#include "printer/drawing/DeviceMode.h"

#include <QMetaEnum>

namespace {

struct PaperMm {
    double width;
    double length;
};

// Portrait sizes in millimetres, by ordinal; Default and Custom have none.
constexpr PaperMm paperTable[PaperSizeCount] = {
    {0, 0},         {215.9, 279.4}, {215.9, 279.4}, {279.4, 431.8}, {431.8, 279.4}, {215.9, 355.6},  {139.7, 215.9},
    {190.5, 254},   {297, 420},     {210, 297},     {210, 297},     {148, 210},     {250, 354},      {182, 257},
    {215.9, 330.2}, {215, 275},     {254, 355.6},   {279.4, 431.8}, {215.9, 279.4}, {98.43, 225.4},  {104.8, 241.3},
    {114.3, 263.5}, {120.7, 279.4}, {127, 292.1},   {431.8, 558.8}, {558.8, 863.6}, {863.6, 1117.6}, {110, 220},
    {162, 229},     {324, 458},     {229, 324},     {114, 162},     {114, 229},     {250, 353},      {176, 250},
    {176, 125},     {110, 230},     {98.43, 190.5}, {92.01, 165.1}, {377.8, 279.4}, {215.9, 304.8},  {215.9, 330.2},
    {250, 353},     {100, 148},     {228.6, 279.4}, {254, 279.4},   {381, 279.4},   {220, 220},      {100, 100},
    {100, 100},     {241.3, 304.8}, {241.3, 381},   {296.9, 457.2}, {236, 322},     {279.4, 215.9},  {297, 210},
    {304.8, 241.3}, {227, 356},     {305, 487},     {215.9, 322.3}, {210, 330},     {210, 148},      {257, 182},
    {322, 445},     {174, 235},     {201, 276},     {420, 594},     {420, 297},     {445, 322},      {0, 0},
};
static_assert(sizeof paperTable / sizeof paperTable[0] == 70);

constexpr int binCodes[BinCount] = {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 14};

} // namespace

int PaperCode(TQRPaperSize size) {
    if (size == TQRPaperSize::Default)
        return 0;
    if (size == TQRPaperSize::Custom)
        return DeviceMode::DMPAPER_USER;
    return int(size);
}

double PaperWidthMm(TQRPaperSize size) {
    const int i = int(size);
    return i >= 0 && i < PaperSizeCount ? paperTable[i].width : 0;
}

double PaperLengthMm(TQRPaperSize size) {
    const int i = int(size);
    return i >= 0 && i < PaperSizeCount ? paperTable[i].length : 0;
}

std::optional<TQRPaperSize> PaperSizeOfCode(int code) {
    for (int i = 1; i < PaperSizeCount; ++i)
        if (PaperCode(TQRPaperSize(i)) == code)
            return TQRPaperSize(i);
    return std::nullopt;
}

QString PaperSizeName(TQRPaperSize size) {
    return QString::fromLatin1(QMetaEnum::fromType<TQRPaperSize>().valueToKey(int(size)));
}

int BinCode(TQRBin bin) {
    const int i = int(bin);
    return i >= 0 && i < BinCount ? binCodes[i] : 0;
}

std::optional<TQRBin> BinOfCode(int code) {
    for (int i = 0; i < BinCount; ++i)
        if (binCodes[i] == code)
            return TQRBin(i);
    return std::nullopt;
}
