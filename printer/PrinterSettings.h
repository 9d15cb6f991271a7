#pragma once

#include "printer/PrinterOptions.h"
#include "printer/QRPaper.h"
#include "printer/drawing/DeviceMode.h"

#include <QString>

#include <array>
#include <functional>
#include <optional>

class TPrinter;
class TPrinterSettings;

/// Raised before the settings read a device mode or hand one back; Cancel stops the read or the hand-back,
/// and the handler may change the mode it is given.
using TQRPrinterEvent = std::function<void(TPrinterSettings &Sender, bool &Cancel, DeviceMode &DevMode)>;

/// The report printer's view of a platform printer's device mode: reads resolution, margins, paper, bin,
/// copies and duplex from the device, takes new values only where the device says it supports them, and
/// writes them back into the device mode before a job. Lengths in 0.1 mm.
class TPrinterSettings : public PrinterOptions {
public:
    TPrinterSettings();

    /// Stores the printer and, when it lists a printer, reads it.
    void AttachPrinter(TPrinter *printer);
    TPrinter *DevicePrinter() const { return m_printer; }
    /// Reads the attached printer's values; never raises. A failure after the device mode was taken
    /// forgets the printer.
    void ReadFromDevice();
    /// Writes the settings into the attached printer's device mode.
    void ApplyToDevice();
    /// A printer is attached, a device mode is held and it has every one of `bits`.
    bool Supports(quint32 bits) const;

    // Checked setters: each takes the value only when the device supports it and says whether it did.
    bool TrySetCopies(qint32 copies);
    bool TrySetOrientation(TPrinterOrientation orientation);
    bool TrySetDuplex(bool duplex);
    bool TrySetOutputBin(TQRBin bin);
    /// Takes a supported size, and Default always; otherwise keeps the old size.
    bool TrySetPaperSize(TQRPaperSize size);

    /// Width and length of the current paper (the table size, or the sheet size for Default and Custom).
    qint32 PaperWidth() const;
    qint32 PaperLength() const;

    qint32 ReadPrinterIndex() const { return m_readPrinterIndex; }
    const QString &DeviceName() const { return m_deviceName; }
    const QString &DriverName() const { return m_driverName; }
    const QString &PortName() const { return m_portName; }
    /// The device mode last read or handed back, if any.
    const std::optional<DeviceMode> &DevMode() const { return m_devMode; }

    qint32 Copies() const { return m_copies; }
    bool Duplex() const { return m_duplex; }
    TPrinterOrientation Orientation() const { return m_orientation; }
    TQRBin OutputBin() const { return m_outputBin; }
    TQRPaperSize PaperSize() const { return m_paperSize; }
    bool PaperSupported(TQRPaperSize size) const;

    bool PrintMetaFile() const { return m_printMetaFile; }
    void SetPrintMetaFile(bool v) { m_printMetaFile = v; }
    qint32 SheetWidth() const { return m_sheetWidth; }
    void SetSheetWidth(qint32 v) { m_sheetWidth = v; }
    qint32 SheetLength() const { return m_sheetLength; }
    void SetSheetLength(qint32 v) { m_sheetLength = v; }
    qint32 DpiX() const { return m_dpiX; }
    qint32 DpiY() const { return m_dpiY; }
    qint32 UnprintableTop() const { return m_unprintableTop; }
    qint32 UnprintableLeft() const { return m_unprintableLeft; }

    TQRPrinterEvent OnGetPrinterSettings;
    TQRPrinterEvent OnApplyPrinterSettings;

private:
    void readValues(TPrinter &printer);

    qint32 m_readPrinterIndex = -1;
    QString m_deviceName;
    QString m_driverName;
    QString m_portName;
    std::optional<DeviceMode> m_devMode;
    qint32 m_copies = 0;
    bool m_duplex = false;
    bool m_printMetaFile = false;
    TPrinterOrientation m_orientation = poPortrait;
    TQRBin m_outputBin = TQRBin::First;
    TQRPaperSize m_paperSize = TQRPaperSize::A4;
    std::array<bool, PaperSizeCount> m_paperSupported{};
    qint32 m_sheetWidth = 0;
    qint32 m_sheetLength = 0;
    qint32 m_dpiX = 0;
    qint32 m_dpiY = 0;
    qint32 m_unprintableTop = 0;
    qint32 m_unprintableLeft = 0;
    TPrinter *m_printer = nullptr;
};

/// The paper size of the application-wide printer's current device mode (a new report's page starts with
/// it): A4 when no printer answers, Default for a paper that has no size here.
TQRPaperSize CurrentPaperSize();
