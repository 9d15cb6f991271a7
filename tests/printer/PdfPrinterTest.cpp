#include "printer/QRPrinter.h"
#include "printer/QRPrinterSettings.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/QtPrinter.h"
#include "printer/sample/SampleReport.h"
#include "tests/printer/PrinterTestSupport.h"
#include "tests/printer/ScriptedPrinter.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

// A report file whose pages are `width` x `height` screen pixels and say "Page N".
QString reportFile(const TempFolder &dir, int pages, int width, int height) {
    TQRPageList list;
    list.SetPageStream(std::make_unique<TQRStream>());
    for (int n = 1; n <= pages; ++n) {
        TMetafile page(width, height, 96, 96);
        {
            TMetafileCanvas canvas(page);
            canvas->setFont(QFont(QStringLiteral("Arial"), 24));
            canvas->drawText(100, 100, QStringLiteral("Page %1").arg(n));
        }
        list.AddPage(page);
    }
    list.WriteFileHeader();
    const QString path = dir.filePath(QStringLiteral("r%1x%2.qrp").arg(width).arg(height));
    list.SavePages(path);
    return path;
}

} // namespace

TEST(PdfPrinter, StoredPagesBecomePdfPages) {
    TempFolder dir;
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    printers::ScopedFactory guard([pdf] { return QtPrinter::PdfFile(pdf); });
    const QString file = dir.filePath(QStringLiteral("sample.qrp"));
    samplereport::write(file, 4, true);

    TQRPrinter printer;
    ASSERT_TRUE(printer.PrintersInstalled());
    printer.LoadPages(file);
    EXPECT_EQ(printer.PaperSize(), TQRPaperSize::A4Small);
    printer.SetFirstPage(2);
    printer.SetLastPage(3);
    EXPECT_EQ(printer.PrintStoredPages(), 2);
    EXPECT_EQ(pdfPages(pdf), 2);
    EXPECT_EQ(pdfPageSize(pdf), QStringLiteral("595 x 842"));
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Page 2 of 4")));
    EXPECT_TRUE(text.contains(QStringLiteral("Page 3 of 4")));
    EXPECT_FALSE(text.contains(QStringLiteral("Page 1 of 4")));
    EXPECT_TRUE(text.contains(QStringLiteral("Felhasználói kézikönyv")));
}

TEST(PdfPrinter, PaperAndOrientationOfTheFile) {
    TempFolder dir;
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    printers::ScopedFactory guard([pdf] { return QtPrinter::PdfFile(pdf); });
    const struct {
        int width, height;
        QString size;
    } cases[] = {{1123, 794, QStringLiteral("842 x 595")}, {816, 1056, QStringLiteral("612 x 792")}};
    for (const auto &c : cases) {
        TQRPrinter printer;
        printer.LoadPages(reportFile(dir, 2, c.width, c.height));
        EXPECT_EQ(printer.PrintStoredPages(), 2);
        EXPECT_EQ(pdfPages(pdf), 2);
        EXPECT_EQ(pdfPageSize(pdf), c.size);
    }
}

TEST(PdfPrinter, DeviceModeOnTheQPrinter) {
    TempFolder dir;
    auto printer = QtPrinter::PdfFile(dir.filePath(QStringLiteral("x.pdf")));
    EXPECT_EQ(printer->Printers(), QStringList{QStringLiteral("PDF")});
    PrinterNames names;
    DeviceMode mode;
    ASSERT_TRUE(printer->GetPrinter(names, mode));
    EXPECT_FALSE(mode.dmFields & (DeviceMode::DM_DUPLEX | DeviceMode::DM_DEFAULTSOURCE));
    EXPECT_EQ(printer->DeviceCaps(DeviceCap::LOGPIXELSX), 600);
    EXPECT_EQ(printer->DeviceCaps(DeviceCap::PHYSICALOFFSETX), 0);

    // Qt keeps page sizes in whole points: 100 mm is 283 pt, 2358 pixels.
    const struct {
        quint32 fields;
        int code, width, length;
        int pixelsWide, pixelsHigh;
        int codeBack;
    } cases[] = {
        {DeviceMode::DM_PAPERSIZE | DeviceMode::DM_PAPERWIDTH | DeviceMode::DM_PAPERLENGTH, 256, 1000, 2000, 2358, 4725,
         256},
        {DeviceMode::DM_PAPERSIZE | DeviceMode::DM_PAPERWIDTH | DeviceMode::DM_PAPERLENGTH, 8, 2970, 4200, 7017, 9925,
         8},
        {DeviceMode::DM_PAPERSIZE, 11, 0, 0, 3500, 4958, 11},
        {DeviceMode::DM_PAPERSIZE, 24, 0, 0, 10200, 13200, 24}, // the C sheet is 17 x 22 in
        // The table's Executive is not the size Qt knows for the code: the width and length win.
        {DeviceMode::DM_PAPERSIZE | DeviceMode::DM_PAPERWIDTH | DeviceMode::DM_PAPERLENGTH, 7, 1905, 2540, 4500, 6000,
         256},
    };
    for (const auto &c : cases) {
        DeviceMode m = mode;
        m.dmFields = c.fields | DeviceMode::DM_ORIENTATION;
        m.dmPaperSize = qint16(c.code);
        m.dmPaperWidth = qint16(c.width);
        m.dmPaperLength = qint16(c.length);
        m.dmOrientation = DeviceMode::DMORIENT_PORTRAIT;
        printer->SetPrinter(names, m);
        EXPECT_EQ(printer->DeviceCaps(DeviceCap::PHYSICALWIDTH), c.pixelsWide) << c.code;
        EXPECT_EQ(printer->DeviceCaps(DeviceCap::PHYSICALHEIGHT), c.pixelsHigh) << c.code;
        DeviceMode back;
        printer->GetPrinter(names, back);
        EXPECT_EQ(back.dmPaperSize, c.codeBack) << c.code;
    }
    printer->SetLandscape(true);
    EXPECT_EQ(printer->DeviceCaps(DeviceCap::PHYSICALWIDTH), 6000);
    // Outside a job text is measured on a device of the printer's resolution and page.
    QPaintDevice *device = printer->Handle();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->logicalDpiX(), 600);
    EXPECT_EQ(device->width(), 6000);
    printer->BeginDoc();
    EXPECT_NE(printer->Handle(), device); // the job's own
    EXPECT_EQ(printer->Handle()->logicalDpiY(), 600);
    printer->Abort();
    printer->SetCopies(3);
    EXPECT_EQ(printer->Copies(), 3);
}

TEST(PdfPrinter, AbortLeavesNoFile) {
    TempFolder dir;
    const QString pdf = dir.filePath(QStringLiteral("aborted.pdf"));
    auto printer = QtPrinter::PdfFile(pdf);
    printer->BeginDoc();
    EXPECT_THROW(printer->BeginDoc(), EPrinterError);
    printer->Canvas().drawText(100, 100, QStringLiteral("x"));
    printer->NewPage();
    printer->Abort();
    EXPECT_FALSE(printer->Printing());
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_THROW(printer->NewPage(), EPrinterError);

    auto unwritable = QtPrinter::PdfFile(dir.filePath(QStringLiteral("no/such/folder/x.pdf")));
    EXPECT_THROW(unwritable->BeginDoc(), EPrinterError);
    EXPECT_FALSE(unwritable->Printing());
}

TEST(PdfPrinter, InputSlotsOfAPrinter) {
    int defaultCode = -1;
    const QList<BinInfo> bins = QtPrinter::parseInputSlots(
        QStringLiteral("PageSize/Page Size: *A4 Letter\nInputSlot/Media Source: Auto *Tray1 Manual Cassette Lower\n"
                       "Duplex/2-Sided: *None DuplexNoTumble\n"),
        &defaultCode);
    ASSERT_EQ(bins.size(), 5);
    EXPECT_EQ(bins[0].code, 7);
    EXPECT_EQ(bins[1].code, 258); // a slot of the driver's own
    EXPECT_EQ(bins[1].name, QStringLiteral("Tray1"));
    EXPECT_EQ(bins[2].code, 4);
    EXPECT_EQ(bins[3].code, 14);
    EXPECT_EQ(bins[4].code, 2);
    EXPECT_EQ(defaultCode, 258);
    EXPECT_TRUE(QtPrinter::parseInputSlots(QStringLiteral("PageSize/Page Size: *A4\n")).isEmpty());
}

// Without an installed printer the PDF printer is the application's printer, so a report run still gets the
// paper and orientation it asks for (with no printer at all every run would be recorded as A4 portrait).
TEST(PdfPrinter, StandsInWhenNoPrinterIsInstalled) {
    ScriptedSystem none;
    printers::ScopedFactory guard([&none] { return printers::WithStandIn(none.factory()()); });
    EXPECT_EQ(printers::Printer().Printers(), QStringList{QStringLiteral("PDF")});
    TQRPrinter printer;
    EXPECT_TRUE(printer.PrintersInstalled());
    TDezirUzuPrinterSettings settings;
    printer.ApplyReportSettings(settings, {TQRPaperSize::A5, poLandscape, 0, 0});
    EXPECT_EQ(printer.PaperSize(), TQRPaperSize::A5);
    EXPECT_EQ(printer.Orientation(), poLandscape);
    EXPECT_EQ(printer.OrientedWidth(), 2100);
    EXPECT_EQ(printer.OrientedLength(), 1480);
    EXPECT_EQ(printers::StandInFile(), QDir::temp().filePath(QStringLiteral("tavik-print.pdf")));

    // A machine with a printer keeps it.
    ScriptedSystem one;
    one.queues << ScriptedQueue();
    EXPECT_EQ(printers::WithStandIn(one.factory()())->Printers(), QStringList{QStringLiteral("Scripted")});

    // The platform's printers, or the stand-in: the application's printer always lists one.
    printers::ScopedFactory platform(nullptr);
    EXPECT_FALSE(printers::NewPrinter()->Printers().isEmpty());
}
