#pragma once

#include <QString>
#include <QtGlobal>

/// The device settings of one printer as a print job uses them: which fields the device honours (`dmFields`)
/// and their values. A field is trusted only when its bit is set. Lengths are in 0.1 mm, portrait.
struct DeviceMode {
    // dmFields bits
    static constexpr quint32 DM_ORIENTATION = 0x1;
    static constexpr quint32 DM_PAPERSIZE = 0x2;
    static constexpr quint32 DM_PAPERLENGTH = 0x4;
    static constexpr quint32 DM_PAPERWIDTH = 0x8;
    static constexpr quint32 DM_COPIES = 0x100;
    static constexpr quint32 DM_DEFAULTSOURCE = 0x200;
    static constexpr quint32 DM_DUPLEX = 0x1000;
    static constexpr quint32 DM_COLLATE = 0x8000;

    static constexpr qint16 DMORIENT_PORTRAIT = 1;
    static constexpr qint16 DMORIENT_LANDSCAPE = 2;
    /// Paper and bin codes from here on are the driver's own.
    static constexpr int DMPAPER_USER = 256;
    static constexpr int DMBIN_USER = 256;
    static constexpr qint16 DMDUP_SIMPLEX = 1;
    static constexpr qint16 DMDUP_VERTICAL = 2;   // long edge
    static constexpr qint16 DMDUP_HORIZONTAL = 3; // short edge
    static constexpr qint16 DMCOLOR_MONOCHROME = 1;
    static constexpr qint16 DMCOLOR_COLOR = 2;

    quint32 dmFields = 0;
    qint16 dmOrientation = DMORIENT_PORTRAIT;
    qint16 dmPaperSize = 0;
    qint16 dmPaperLength = 0;
    qint16 dmPaperWidth = 0;
    qint16 dmCopies = 1;
    qint16 dmDefaultSource = 0;
    qint16 dmPrintQuality = 0; // dots per inch when positive
    qint16 dmColor = DMCOLOR_MONOCHROME;
    qint16 dmDuplex = DMDUP_SIMPLEX;
    qint16 dmCollate = 0;

    bool has(quint32 bits) const { return (dmFields & bits) == bits; }
    bool operator==(const DeviceMode &) const = default;

    /// A length or count as the 16-bit field holds it.
    static qint16 clamp16(qint64 v) { return qint16(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }
};

/// The names that identify the selected printer to the platform, handed out with its device mode.
struct PrinterNames {
    QString device;
    QString driver;
    QString port;
};
