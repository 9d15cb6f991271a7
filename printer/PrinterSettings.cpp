#include "printer/PrinterSettings.h"

#include "printer/drawing/Printer.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/Units.h"

#include <QCoreApplication>

namespace {

constexpr int MaxDriverNameLength = 63;

// A file-name part of a driver path, whichever separator the platform uses.
QString fileNamePart(const QString &path) {
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

} // namespace

TPrinterSettings::TPrinterSettings() = default;

void TPrinterSettings::AttachPrinter(TPrinter *printer) {
    m_printer = printer;
    if (!printer)
        return;
    bool listed = false;
    try {
        listed = !printer->Printers().isEmpty();
    } catch (...) {
    }
    if (listed)
        ReadFromDevice();
}

void TPrinterSettings::ReadFromDevice() {
    if (!m_printer)
        return;
    PrinterNames names;
    DeviceMode mode;
    try {
        QCoreApplication::processEvents();
        if (!m_printer->GetPrinter(names, mode)) {
            m_devMode.reset();
            return;
        }
        m_deviceName = names.device;
        m_portName = names.port;
        m_devMode = mode;
        if (const std::optional<QString> path = m_printer->DriverPath(names.device))
            m_driverName = fileNamePart(*path).left(MaxDriverNameLength);
    } catch (...) {
        m_devMode.reset();
        return;
    }
    try {
        readValues(*m_printer);
    } catch (...) {
        m_printer = nullptr;
    }
}

void TPrinterSettings::readValues(TPrinter &printer) {
    const int index = printer.PrinterIndex();
    if (index == m_readPrinterIndex)
        return;
    DeviceMode &mode = *m_devMode;
    bool cancel = false;
    if (OnGetPrinterSettings) {
        OnGetPrinterSettings(*this, cancel, mode);
        if (cancel)
            return;
    }
    const int dpiX = printer.DeviceCaps(DeviceCap::LOGPIXELSX);
    const int dpiY = printer.DeviceCaps(DeviceCap::LOGPIXELSY);
    if (dpiX <= 0 || dpiY <= 0)
        throw EPrinterError(QStringLiteral("The printer reports no resolution"));
    m_dpiX = dpiX;
    m_dpiY = dpiY;
    m_copies = mode.has(DeviceMode::DM_COPIES) ? mode.dmCopies : 1;
    m_outputBin = TQRBin::First;
    if (mode.has(DeviceMode::DM_DEFAULTSOURCE))
        m_outputBin = BinOfCode(mode.dmDefaultSource).value_or(TQRBin::First);
    if (mode.has(DeviceMode::DM_DUPLEX)) {
        m_duplex = mode.dmDuplex != DeviceMode::DMDUP_SIMPLEX;
        SetExtendedDuplex(mode.dmDuplex);
    }
    m_unprintableLeft = rnd(printer.DeviceCaps(DeviceCap::PHYSICALOFFSETX) / double(m_dpiX) * 254);
    m_unprintableTop = rnd(printer.DeviceCaps(DeviceCap::PHYSICALOFFSETY) / double(m_dpiY) * 254);
    m_paperSize = TQRPaperSize::Default;
    if (mode.has(DeviceMode::DM_PAPERSIZE))
        m_paperSize = PaperSizeOfCode(mode.dmPaperSize).value_or(TQRPaperSize::Default);
    m_sheetWidth = rnd(printer.DeviceCaps(DeviceCap::PHYSICALWIDTH) / double(m_dpiX) * 254);
    m_sheetLength = rnd(printer.DeviceCaps(DeviceCap::PHYSICALHEIGHT) / double(m_dpiY) * 254);

    if (const std::optional<QList<PaperInfo>> papers = printer.Papers()) {
        m_paperSupported.fill(false);
        for (const PaperInfo &paper : *papers)
            if (const std::optional<TQRPaperSize> size = PaperSizeOfCode(paper.code))
                m_paperSupported[size_t(*size)] = true;
    }
    m_paperSupported[size_t(TQRPaperSize::Custom)] = true;

    SetPrintQuality(mode.dmPrintQuality);
    SetCollate(mode.dmCollate);
    SetColorOption(mode.dmColor);
    m_readPrinterIndex = index;
}

void TPrinterSettings::ApplyToDevice() {
    if (!m_printer)
        return;
    PrinterNames names;
    DeviceMode mode;
    if (!m_printer->GetPrinter(names, mode))
        return;
    m_devMode = mode;
    DeviceMode &dm = *m_devMode;
    dm.dmFields |= DeviceMode::DM_PAPERLENGTH;
    dm.dmPaperLength = DeviceMode::clamp16(PaperLength());
    dm.dmFields |= DeviceMode::DM_PAPERWIDTH;
    dm.dmPaperWidth = DeviceMode::clamp16(PaperWidth());
    if (Supports(DeviceMode::DM_PAPERSIZE) && m_paperSize != TQRPaperSize::Default) {
        dm.dmFields |= DeviceMode::DM_PAPERSIZE;
        dm.dmPaperSize = DeviceMode::clamp16(UseCustomPaperCode() ? CustomPaperCode() : PaperCode(m_paperSize));
    }
    dm.dmFields |= DeviceMode::DM_COPIES;
    dm.dmCopies = DeviceMode::clamp16(m_copies);
    if (Supports(DeviceMode::DM_DUPLEX)) {
        dm.dmDuplex = DeviceMode::clamp16(ExtendedDuplex() ? ExtendedDuplex()
                                          : m_duplex       ? DeviceMode::DMDUP_HORIZONTAL
                                                           : DeviceMode::DMDUP_SIMPLEX);
    }
    dm.dmFields |= DeviceMode::DM_DEFAULTSOURCE;
    dm.dmDefaultSource = DeviceMode::clamp16(UseCustomBinCode() ? CustomBinCode() : BinCode(m_outputBin));
    dm.dmFields |= DeviceMode::DM_ORIENTATION;
    dm.dmOrientation = m_orientation == poLandscape ? DeviceMode::DMORIENT_LANDSCAPE : DeviceMode::DMORIENT_PORTRAIT;
    if (Supports(DeviceMode::DM_COLLATE))
        dm.dmCollate = DeviceMode::clamp16(Collate());
    bool cancel = false;
    if (OnApplyPrinterSettings)
        OnApplyPrinterSettings(*this, cancel, dm);
    if (!cancel)
        m_printer->SetPrinter(names, dm);
}

bool TPrinterSettings::Supports(quint32 bits) const {
    return m_printer && m_devMode && m_devMode->has(bits);
}

bool TPrinterSettings::TrySetCopies(qint32 copies) {
    if (!Supports(DeviceMode::DM_COPIES))
        return false;
    m_copies = copies;
    return true;
}

bool TPrinterSettings::TrySetOrientation(TPrinterOrientation orientation) {
    if (!Supports(DeviceMode::DM_ORIENTATION))
        return false;
    m_orientation = orientation;
    return true;
}

bool TPrinterSettings::TrySetDuplex(bool duplex) {
    if (!Supports(DeviceMode::DM_DUPLEX))
        return false;
    m_duplex = duplex;
    return true;
}

bool TPrinterSettings::TrySetOutputBin(TQRBin bin) {
    if (!Supports(DeviceMode::DM_DEFAULTSOURCE))
        return false;
    m_outputBin = bin;
    return true;
}

bool TPrinterSettings::TrySetPaperSize(TQRPaperSize size) {
    const int i = int(size);
    if (i < 0 || i >= PaperSizeCount)
        return false;
    if (size != TQRPaperSize::Default && !m_paperSupported[size_t(i)])
        return false;
    m_paperSize = size;
    return true;
}

bool TPrinterSettings::PaperSupported(TQRPaperSize size) const {
    const int i = int(size);
    return i >= 1 && i < PaperSizeCount && m_paperSupported[size_t(i)];
}

qint32 TPrinterSettings::PaperWidth() const {
    if (m_paperSize == TQRPaperSize::Default || m_paperSize == TQRPaperSize::Custom)
        return m_sheetWidth;
    return rnd(PaperWidthMm(m_paperSize) * 10);
}

qint32 TPrinterSettings::PaperLength() const {
    if (m_paperSize == TQRPaperSize::Default || m_paperSize == TQRPaperSize::Custom)
        return m_sheetLength;
    return rnd(PaperLengthMm(m_paperSize) * 10);
}

TQRPaperSize CurrentPaperSize() {
    PrinterNames names;
    DeviceMode mode;
    try {
        if (!printers::Printer().GetPrinter(names, mode))
            return TQRPaperSize::A4;
    } catch (...) {
        return TQRPaperSize::A4;
    }
    if (!mode.has(DeviceMode::DM_PAPERSIZE))
        return TQRPaperSize::Default;
    return PaperSizeOfCode(mode.dmPaperSize).value_or(TQRPaperSize::Default);
}
