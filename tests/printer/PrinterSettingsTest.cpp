#include "printer/PrinterSettings.h"
#include "printer/QRPrinterSettings.h"
#include "printer/drawing/PrinterFactory.h"
#include "tests/printer/ScriptedPrinter.h"

#include <QMetaProperty>

#include <gtest/gtest.h>

namespace {

// A settings object read from the first printer of `system`.
struct Attached {
    explicit Attached(ScriptedSystem &system) : printer(system) { settings.AttachPrinter(&printer); }
    ScriptedPrinter printer;
    TPrinterSettings settings;
};

ScriptedSystem oneQueue(const ScriptedQueue &queue = {}) {
    ScriptedSystem system;
    system.queues << queue;
    return system;
}

} // namespace

TEST(PrinterSettings, ReadsTheDevice) {
    ScriptedSystem system = oneQueue();
    Attached a(system);
    const TPrinterSettings &s = a.settings;
    EXPECT_EQ(s.DeviceName(), QStringLiteral("Scripted"));
    EXPECT_EQ(s.DriverName(), QStringLiteral("SCRIPTED.DRV")); // the file-name part of a Windows path too
    EXPECT_EQ(s.PortName(), QStringLiteral("LPT1:"));
    EXPECT_EQ(s.DpiX(), 300);
    EXPECT_EQ(s.UnprintableLeft(), 42); // 50 px at 300 dpi = 42.33
    EXPECT_EQ(s.UnprintableTop(), 51);  // 60 px = 50.8
    EXPECT_EQ(s.SheetWidth(), 2100);
    EXPECT_EQ(s.SheetLength(), 2970);
    EXPECT_EQ(s.PaperSize(), TQRPaperSize::A4);
    EXPECT_EQ(s.PaperWidth(), 2100);
    EXPECT_EQ(s.Copies(), 1);
    EXPECT_EQ(s.PrintQuality(), 300);
    EXPECT_EQ(s.ReadPrinterIndex(), 0);
}

TEST(PrinterSettings, DuplexOnlyWhereTheDeviceHasIt) {
    ScriptedSystem simplex = oneQueue();
    Attached a(simplex);
    EXPECT_FALSE(a.settings.TrySetDuplex(true));
    EXPECT_FALSE(a.settings.Duplex());
    a.settings.ApplyToDevice();
    ASSERT_EQ(simplex.modesSet.size(), 1);
    EXPECT_FALSE(simplex.modesSet[0].dmFields & DeviceMode::DM_DUPLEX);
    EXPECT_EQ(simplex.modesSet[0].dmDuplex, DeviceMode::DMDUP_SIMPLEX);

    ScriptedQueue duplexQueue;
    duplexQueue.defaults.dmFields |= DeviceMode::DM_DUPLEX;
    duplexQueue.defaults.dmDuplex = DeviceMode::DMDUP_VERTICAL;
    ScriptedSystem duplex = oneQueue(duplexQueue);
    Attached b(duplex);
    EXPECT_TRUE(b.settings.Duplex());
    EXPECT_EQ(b.settings.ExtendedDuplex(), DeviceMode::DMDUP_VERTICAL);
    b.settings.ApplyToDevice(); // the extended code wins
    EXPECT_EQ(duplex.modesSet.last().dmDuplex, DeviceMode::DMDUP_VERTICAL);
    b.settings.SetExtendedDuplex(0);
    EXPECT_TRUE(b.settings.TrySetDuplex(true));
    b.settings.ApplyToDevice();
    EXPECT_EQ(duplex.modesSet.last().dmDuplex, DeviceMode::DMDUP_HORIZONTAL);
    EXPECT_TRUE(b.settings.TrySetDuplex(false));
    b.settings.ApplyToDevice();
    EXPECT_EQ(duplex.modesSet.last().dmDuplex, DeviceMode::DMDUP_SIMPLEX);
}

TEST(PrinterSettings, PaperSizesFollowThePaperList) {
    ScriptedQueue noA3;
    noA3.paperCodes = QList<int>{1, 9, 11};
    ScriptedSystem system = oneQueue(noA3);
    Attached a(system);
    TPrinterSettings &s = a.settings;
    EXPECT_FALSE(s.TrySetPaperSize(TQRPaperSize::A3));
    EXPECT_EQ(s.PaperSize(), TQRPaperSize::A4);
    EXPECT_TRUE(s.TrySetPaperSize(TQRPaperSize::Letter));
    EXPECT_EQ(s.PaperWidth(), 2159);
    EXPECT_EQ(s.PaperLength(), 2794);
    EXPECT_TRUE(s.TrySetPaperSize(TQRPaperSize::Custom)); // not in the list, always there
    EXPECT_TRUE(s.TrySetPaperSize(TQRPaperSize::Default));
    EXPECT_EQ(s.PaperWidth(), 2100); // the sheet the device reported
    EXPECT_FALSE(s.TrySetPaperSize(TQRPaperSize(70)));

    ScriptedQueue silent;
    silent.paperCodes.reset();
    ScriptedSystem quiet = oneQueue(silent);
    Attached b(quiet);
    EXPECT_FALSE(b.settings.TrySetPaperSize(TQRPaperSize::A4));
    EXPECT_TRUE(b.settings.TrySetPaperSize(TQRPaperSize::Custom));

    TPrinterSettings detached;
    EXPECT_EQ(detached.PaperSize(), TQRPaperSize::A4);
    EXPECT_FALSE(detached.TrySetPaperSize(TQRPaperSize::Letter));
    EXPECT_TRUE(detached.TrySetPaperSize(TQRPaperSize::Default));
    EXPECT_FALSE(detached.TrySetCopies(2));
    EXPECT_FALSE(detached.Supports(0));
}

TEST(PrinterSettings, BinsByTheirFirstCode) {
    const struct {
        bool field;
        int code;
        TQRBin bin;
    } cases[] = {{true, 14, TQRBin::Cassette}, {true, 1, TQRBin::First}, {true, 15, TQRBin::First},
                 {true, 7, TQRBin::Auto},      {true, 2, TQRBin::Lower}, {false, 7, TQRBin::First}};
    for (const auto &c : cases) {
        ScriptedQueue q;
        q.defaults.dmDefaultSource = qint16(c.code);
        if (!c.field)
            q.defaults.dmFields &= ~DeviceMode::DM_DEFAULTSOURCE;
        ScriptedSystem system = oneQueue(q);
        Attached a(system);
        EXPECT_EQ(a.settings.OutputBin(), c.bin) << c.code;
        EXPECT_EQ(a.settings.TrySetOutputBin(TQRBin::Manual), c.field);
    }
    EXPECT_EQ(BinCode(TQRBin::Last), 14);
    EXPECT_EQ(BinOfCode(3), TQRBin::Middle);
}

TEST(PrinterSettings, SamePrinterReadOnce) {
    ScriptedSystem system = oneQueue();
    Attached a(system);
    TPrinterSettings &s = a.settings;
    ASSERT_TRUE(s.TrySetCopies(4));
    ASSERT_TRUE(s.TrySetOrientation(poLandscape));
    system.queues[0].driverPath = QStringLiteral("/usr/lib/drivers/NEWER.DRV");
    system.queues[0].dpiX = 600;
    s.ReadFromDevice();
    EXPECT_EQ(s.DriverName(), QStringLiteral("NEWER.DRV"));
    EXPECT_EQ(s.Copies(), 4);
    EXPECT_EQ(s.Orientation(), poLandscape);
    EXPECT_EQ(s.DpiX(), 300);

    system.queues[0].driverPath.reset(); // a driver that cannot be asked leaves the name
    s.ReadFromDevice();
    EXPECT_EQ(s.DriverName(), QStringLiteral("NEWER.DRV"));
    system.queues[0].driverPath = QStringLiteral("/d/") + QString(100, QLatin1Char('x'));
    s.ReadFromDevice();
    EXPECT_EQ(s.DriverName(), QString(63, QLatin1Char('x')));

    system.queues << ScriptedQueue{};
    a.printer.SetPrinterIndex(1);
    s.ReadFromDevice(); // another printer is read again
    EXPECT_EQ(s.Copies(), 1);
    EXPECT_EQ(s.ReadPrinterIndex(), 1);
}

TEST(PrinterSettings, WritesTheDeviceMode) {
    ScriptedSystem system = oneQueue();
    Attached a(system);
    TPrinterSettings &s = a.settings;
    ASSERT_TRUE(s.TrySetPaperSize(TQRPaperSize::Custom));
    s.SetSheetWidth(1000);
    s.SetSheetLength(2000);
    ASSERT_TRUE(s.TrySetCopies(3));
    ASSERT_TRUE(s.TrySetOutputBin(TQRBin::Cassette));
    ASSERT_TRUE(s.TrySetOrientation(poLandscape));
    s.SetCollate(1);
    s.SetPrintQuality(1200);
    s.ApplyToDevice();
    ASSERT_EQ(system.modesSet.size(), 1);
    const DeviceMode &m = system.modesSet[0];
    EXPECT_EQ(m.dmPaperWidth, 1000);
    EXPECT_EQ(m.dmPaperLength, 2000);
    EXPECT_EQ(m.dmPaperSize, DeviceMode::DMPAPER_USER);
    EXPECT_EQ(m.dmCopies, 3);
    EXPECT_EQ(m.dmDefaultSource, 14);
    EXPECT_EQ(m.dmOrientation, DeviceMode::DMORIENT_LANDSCAPE);
    EXPECT_EQ(m.dmCollate, 1);
    EXPECT_EQ(m.dmPrintQuality, 300); // read, never written
    EXPECT_TRUE(m.has(DeviceMode::DM_PAPERSIZE | DeviceMode::DM_PAPERWIDTH | DeviceMode::DM_PAPERLENGTH |
                      DeviceMode::DM_COPIES | DeviceMode::DM_DEFAULTSOURCE | DeviceMode::DM_ORIENTATION));

    s.SetUseCustomPaperCode(true);
    s.SetCustomPaperCode(300);
    s.SetUseCustomBinCode(true);
    s.SetCustomBinCode(261);
    ASSERT_TRUE(s.TrySetPaperSize(TQRPaperSize::A3));
    s.ApplyToDevice();
    EXPECT_EQ(system.modesSet.last().dmPaperSize, 300);
    EXPECT_EQ(system.modesSet.last().dmPaperWidth, 2970);
    EXPECT_EQ(system.modesSet.last().dmDefaultSource, 261);

    // Default leaves the device's paper code as it was.
    ASSERT_TRUE(s.TrySetPaperSize(TQRPaperSize::Default));
    system.modesSet.clear();
    s.ApplyToDevice();
    EXPECT_EQ(system.modesSet.last().dmPaperSize, 300);
}

TEST(PrinterSettings, EventsCanStopOrChangeTheMode) {
    ScriptedSystem system = oneQueue();
    ScriptedPrinter printer(system);
    TPrinterSettings s;
    s.OnGetPrinterSettings = [](TPrinterSettings &, bool &cancel, DeviceMode &) { cancel = true; };
    s.AttachPrinter(&printer);
    EXPECT_EQ(s.DpiX(), 0);
    EXPECT_EQ(s.ReadPrinterIndex(), -1);
    s.OnGetPrinterSettings = [](TPrinterSettings &, bool &, DeviceMode &mode) { mode.dmCopies = 7; };
    s.ReadFromDevice();
    EXPECT_EQ(s.Copies(), 7);

    s.OnApplyPrinterSettings = [](TPrinterSettings &, bool &cancel, DeviceMode &) { cancel = true; };
    s.ApplyToDevice();
    EXPECT_TRUE(system.modesSet.isEmpty());
    s.OnApplyPrinterSettings = [](TPrinterSettings &, bool &, DeviceMode &mode) { mode.dmCopies = 9; };
    s.ApplyToDevice();
    ASSERT_EQ(system.modesSet.size(), 1);
    EXPECT_EQ(system.modesSet[0].dmCopies, 9);
}

TEST(PrinterSettings, AFailingDeviceIsForgotten) {
    ScriptedQueue broken;
    broken.failCaps = true;
    ScriptedSystem system = oneQueue(broken);
    Attached a(system);
    EXPECT_EQ(a.settings.DevicePrinter(), nullptr);
    EXPECT_FALSE(a.settings.TrySetCopies(2));
    a.settings.ApplyToDevice();
    EXPECT_TRUE(system.modesSet.isEmpty());

    ScriptedSystem none;
    ScriptedPrinter nothing(none);
    TPrinterSettings s;
    s.AttachPrinter(&nothing); // lists no printer: nothing read
    EXPECT_EQ(s.DevicePrinter(), &nothing);
    EXPECT_FALSE(s.DevMode());
}

TEST(PrinterSettings, CurrentPaperSizeOfTheApplicationPrinter) {
    {
        ScriptedSystem none;
        printers::ScopedFactory guard(none.factory());
        EXPECT_EQ(CurrentPaperSize(), TQRPaperSize::A4);
    }
    const struct {
        quint32 fields;
        int code;
        TQRPaperSize expected;
    } cases[] = {{DeviceMode::DM_PAPERSIZE, 8, TQRPaperSize::A3},
                 {DeviceMode::DM_PAPERSIZE, 300, TQRPaperSize::Default}, // a driver's own paper
                 {DeviceMode::DM_PAPERSIZE, 256, TQRPaperSize::Custom},
                 {0, 8, TQRPaperSize::Default}};
    for (const auto &c : cases) {
        ScriptedQueue q;
        q.defaults.dmFields = c.fields;
        q.defaults.dmPaperSize = qint16(c.code);
        ScriptedSystem system = oneQueue(q);
        printers::ScopedFactory guard(system.factory());
        EXPECT_EQ(CurrentPaperSize(), c.expected) << c.code;
    }
}

TEST(PrinterSettings, PaperTable) {
    EXPECT_EQ(PaperCode(TQRPaperSize::Default), 0);
    EXPECT_EQ(PaperCode(TQRPaperSize::A3ExtraTrans), 68);
    EXPECT_EQ(PaperCode(TQRPaperSize::Custom), 256);
    EXPECT_EQ(PaperSizeOfCode(256), TQRPaperSize::Custom);
    EXPECT_FALSE(PaperSizeOfCode(0));
    EXPECT_FALSE(PaperSizeOfCode(69));
    EXPECT_EQ(PaperWidthMm(TQRPaperSize::EnvPersonal), 92.01);
    EXPECT_EQ(PaperLengthMm(TQRPaperSize::ESheet), 1117.6);
    EXPECT_EQ(PaperSizeName(TQRPaperSize::qr10X14), QStringLiteral("qr10X14"));
}

// A report definition keeps the published values that differ from a new object's; reading them into a new
// object gives the values back.
TEST(QRPrinterSettings, StoredValuesComeBack) {
    TDezirUzuPrinterSettings written;
    written.SetPrintQuality(600);
    written.SetMemoryLimit(250000);
    written.SetCopies(2);
    written.SetOutputBin(TQRBin::Cassette);
    written.SetPrintMetaFile(true);
    const TDezirUzuPrinterSettings fresh;
    QVariantMap stored;
    const QMetaObject *meta = written.metaObject();
    QStringList published;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        published << QString::fromLatin1(p.name());
        if (p.read(&written) != p.read(&fresh))
            stored.insert(QString::fromLatin1(p.name()), p.read(&written));
    }
    EXPECT_EQ(published, (QStringList{"Copies", "OutputBin", "Duplex", "FirstPage", "LastPage", "UseStandardprinter",
                                      "UseCustomBinCode", "CustomBinCode", "ExtendedDuplex", "UseCustomPaperCode",
                                      "CustomPaperCode", "PrintMetaFile", "MemoryLimit", "PrintQuality", "Collate",
                                      "ColorOption"}));
    EXPECT_EQ(stored.keys(), (QStringList{"Copies", "OutputBin", "PrintMetaFile", "PrintQuality"}));
    TDezirUzuPrinterSettings read;
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        ASSERT_TRUE(read.setProperty(it.key().toLatin1(), it.value()));
    EXPECT_EQ(read.PrintQuality(), 600);
    EXPECT_EQ(read.OutputBin(), TQRBin::Cassette);
    EXPECT_TRUE(read.PrintMetaFile());
    EXPECT_EQ(read.PaperSize(), TQRPaperSize::Letter);
}
