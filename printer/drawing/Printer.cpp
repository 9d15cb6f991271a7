#include "printer/drawing/Printer.h"

TPrinter::~TPrinter() = default;

int TPrinter::Copies() {
    PrinterNames names;
    DeviceMode mode;
    if (!GetPrinter(names, mode) || !mode.has(DeviceMode::DM_COPIES))
        return 1;
    return mode.dmCopies;
}

void TPrinter::SetCopies(int copies) {
    PrinterNames names;
    DeviceMode mode;
    if (!GetPrinter(names, mode))
        return;
    mode.dmFields |= DeviceMode::DM_COPIES;
    mode.dmCopies = DeviceMode::clamp16(copies);
    SetPrinter(names, mode);
}

bool TPrinter::Landscape() {
    PrinterNames names;
    DeviceMode mode;
    return GetPrinter(names, mode) && mode.has(DeviceMode::DM_ORIENTATION) &&
           mode.dmOrientation == DeviceMode::DMORIENT_LANDSCAPE;
}

void TPrinter::SetLandscape(bool landscape) {
    PrinterNames names;
    DeviceMode mode;
    if (!GetPrinter(names, mode))
        return;
    mode.dmFields |= DeviceMode::DM_ORIENTATION;
    mode.dmOrientation = landscape ? DeviceMode::DMORIENT_LANDSCAPE : DeviceMode::DMORIENT_PORTRAIT;
    SetPrinter(names, mode);
}
