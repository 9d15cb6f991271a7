#include "printer/QRMessages.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "printer/preview/QRPreview.h"
#include "tests/printer/PrinterTestSupport.h"
#include "tests/printer/preview/PreviewTestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QTreeWidget>

namespace {

class PreviewControl : public PreviewTest {};

// Notifications as a printer posts them, for a control to handle now.
void deliver(QObject &receiver, QEvent::Type type, int param, TQRPrinter *printer) {
    TQRMessageEvent event(type, param, printer);
    QCoreApplication::sendEvent(&receiver, &event);
}

} // namespace

TEST_F(PreviewControl, ZoomTakesTwoToTwoThousandAndLeavesTheZoomModes) {
    TQRPreview preview;
    preview.resize(600, 500);
    preview.ZoomToFit();
    ASSERT_EQ(preview.ZoomMode(), qrZoomToFit);
    const int fitted = preview.Zoom();
    for (const int ignored : {1, 2001, 0, -5}) {
        preview.WriteZoom(ignored);
        EXPECT_EQ(preview.Zoom(), fitted) << ignored;
        EXPECT_EQ(preview.ZoomMode(), qrZoomToFit) << ignored;
    }
    preview.WriteZoom(2);
    EXPECT_EQ(preview.Zoom(), 2);
    EXPECT_EQ(preview.ZoomMode(), qrZoomOther);
    preview.WriteZoom(2000);
    EXPECT_EQ(preview.Zoom(), 2000);
    EXPECT_EQ(preview.PageImage()->Zoom(), 2000);
}

TEST_F(PreviewControl, PageSizesFollowThePrinterPaper) {
    ScriptedReport report;
    TQRPrinter &printer = *report.Printer();
    ASSERT_EQ(printer.PaperSize(), TQRPaperSize::A4);
    TQRPreview preview;
    preview.AttachPrinter(&printer);
    preview.WriteZoom(100);
    // A4 portrait at 96 pixels per inch: 794 x 1123 and 4 pixels for the border and shadow.
    EXPECT_EQ(preview.PageImage()->size(), QSize(798, 1127));
    preview.WriteZoom(50);
    EXPECT_EQ(preview.PageImage()->size(), QSize(397 + 4, 561 + 4));

    // Zoom to width of a control 600 pixels wide: round(600 / 794 x 90).
    preview.resize(600, 400);
    preview.ZoomToWidth();
    EXPECT_EQ(preview.Zoom(), 68);
    EXPECT_EQ(preview.ZoomMode(), qrZoomToWidth);

    // Turned, the page's sides change places.
    ASSERT_TRUE(printer.Settings().TrySetOrientation(poLandscape));
    preview.WriteZoom(100);
    EXPECT_EQ(preview.PageImage()->size(), QSize(1127, 798));

    // Without a printer: Letter, its millimetres as pixels, and zoom to width at 95 %.
    TQRPreview bare;
    bare.WriteZoom(100);
    EXPECT_EQ(bare.PageImage()->size(), QSize(216 + 4, 279 + 4));
    bare.resize(432, 300);
    bare.ZoomToWidth();
    EXPECT_EQ(bare.Zoom(), 190);
}

TEST_F(PreviewControl, FitIsKeptAcrossResizesAndAFixedZoomIsNot) {
    ScriptedReport report;
    TQRPreview preview;
    preview.AttachPrinter(report.Printer());
    preview.resize(400, 600);
    preview.show();
    preview.ZoomToFit();
    // min(round(400 / 794 x 95), round(600 / 1123 x 95))
    EXPECT_EQ(preview.Zoom(), 48);
    preview.resize(800, 1200);
    QApplication::sendPostedEvents();
    EXPECT_EQ(preview.Zoom(), 96);
    EXPECT_EQ(preview.ZoomMode(), qrZoomToFit);

    preview.WriteZoom(75);
    preview.resize(300, 300);
    QApplication::sendPostedEvents();
    EXPECT_EQ(preview.Zoom(), 75);
    EXPECT_EQ(preview.ZoomMode(), qrZoomOther);

    preview.ZoomToWidth();
    preview.resize(794, 300);
    QApplication::sendPostedEvents();
    EXPECT_EQ(preview.Zoom(), 90);
}

TEST_F(PreviewControl, PagesShowOnceTheyAreReady) {
    ScriptedReport report;
    TQRPreview preview;
    QList<int> available;
    preview.OnPageAvailable = [&](TQRPreview *sender, int page) {
        EXPECT_EQ(sender, &preview);
        available << page;
    };
    QList<int> progress;
    preview.OnProgressUpdate = [&](TQRPreview *, int p) { progress << p; };
    TQRPrinter &printer = *report.Printer();
    preview.AttachPrinter(&printer);
    EXPECT_EQ(printer.ProgressReceiver(), &preview);
    EXPECT_TRUE(printer.PreviewShowing());

    QStringList shown; // what the control shows while each page is drawn
    report.whileDrawing = [&](int n) {
        if (n == 3) {
            preview.WritePageNumber(3); // begun, not finished: nothing to show yet
            printer.SetProgress(42);
        }
        shown << QStringLiteral("%1:%2").arg(preview.PageNumber()).arg(preview.PageImage()->HasRecording());
    };
    report.Run(4);
    QCoreApplication::processEvents();
    // Page 1 shows when it is announced (while page 2 is drawn); page 3 once it is announced.
    EXPECT_EQ(shown, (QStringList{"1:0", "1:1", "3:0", "3:1"}));
    EXPECT_EQ(available, (QList<int>{1, 2, 3, 4}));
    EXPECT_EQ(progress, (QList<int>{42}));
    ASSERT_TRUE(preview.PageImage()->HasRecording());
    EXPECT_EQ(textOf(*preview.PageImage()->Recording()), QStringLiteral("Page 3"));

    // Past the pages there are, and below 1: ignored.
    preview.WritePageNumber(5);
    preview.WritePageNumber(0);
    EXPECT_EQ(preview.PageNumber(), 3);
    preview.WritePageNumber(4);
    EXPECT_EQ(textOf(*preview.PageImage()->Recording()), QStringLiteral("Page 4"));
    // The page shown is fetched again only while it is empty.
    const TMetafile *before = preview.PageImage()->Recording();
    preview.WritePageNumber(4);
    EXPECT_EQ(preview.PageImage()->Recording(), before);
}

TEST_F(PreviewControl, NotificationsOfAnotherOrFreedPrinterAreDropped) {
    ScriptedReport report;
    ScriptedReport other;
    TQRPreview preview;
    int available = 0;
    preview.OnPageAvailable = [&](TQRPreview *, int) { ++available; };
    preview.AttachPrinter(report.Printer());
    report.Run(2);
    available = 0;
    deliver(preview, qrmessages::PageReady, 1, other.Printer());
    deliver(preview, qrmessages::PageReady, 1, nullptr);
    EXPECT_EQ(available, 0);
    deliver(preview, qrmessages::PageReady, 1 | 0x30000, report.Printer()); // only the low 16 bits count
    EXPECT_EQ(available, 1);

    // The printer goes while the control shows it: the control forgets it and keeps working.
    report.FreePrinter();
    EXPECT_EQ(preview.AttachedPrinter(), nullptr);
    preview.WritePageNumber(2);
    preview.LayoutPageImage();
    EXPECT_EQ(preview.PageImage()->size(), QSize(220, 283)); // Letter, without a printer
    preview.AttachPrinter(nullptr);
}

TEST_F(PreviewControl, AnotherPrinterOrNoneDetachesTheFirst) {
    ScriptedReport first;
    ScriptedReport second;
    first.Run(1);
    TQRPreview preview;
    preview.AttachPrinter(first.Printer());
    int afterPreview = 0;
    first.Printer()->AfterPreview = [&](TQRPrinter *) { ++afterPreview; };
    preview.AttachPrinter(second.Printer());
    EXPECT_EQ(first.Printer()->ProgressReceiver(), nullptr);
    EXPECT_FALSE(first.Printer()->PreviewShowing());
    EXPECT_EQ(afterPreview, 1);
    EXPECT_EQ(second.Printer()->ProgressReceiver(), &preview);
    EXPECT_FALSE(preview.PageImage()->HasRecording()); // the second has no pages yet
    {
        TQRPreview gone;
        gone.AttachPrinter(first.Printer());
    }
    EXPECT_EQ(first.Printer()->ProgressReceiver(), nullptr);
}

TEST_F(PreviewControl, PaintPageDrawsPaperBorderAndShadow) {
    TMetafile page = numberedPage(1);
    QImage image(100, 80, QImage::Format_RGB32);
    image.fill(Qt::gray);
    {
        QPainter painter(&image);
        TQRPreviewImage::PaintPage(&page, painter, QRect(0, 0, 100, 80), false);
    }
    const QRgb black = qRgb(0, 0, 0);
    const QRgb gray = QColor(Qt::gray).rgb();
    EXPECT_EQ(image.pixel(0, 40), black);  // left border
    EXPECT_EQ(image.pixel(97, 40), black); // right border at W - 3
    EXPECT_EQ(image.pixel(50, 77), black); // bottom border at H - 3
    EXPECT_EQ(image.pixel(99, 2), black);  // shadow from T + 2
    EXPECT_EQ(image.pixel(99, 1), gray);   // ... not above it
    EXPECT_EQ(image.pixel(1, 79), gray);   // shadow from L + 2
    EXPECT_EQ(image.pixel(2, 79), black);
    EXPECT_EQ(image.pixel(90, 70), qRgb(255, 255, 255)); // paper
    int ink = 0;                                         // the page's text and box are drawn
    for (int y = 1; y < 76; ++y)
        for (int x = 1; x < 96; ++x)
            ink += image.pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_GT(ink, 20);

    // A page not produced yet is empty space; the design frame alone draws paper and border.
    QImage empty(60, 60, QImage::Format_RGB32);
    empty.fill(Qt::gray);
    {
        QPainter painter(&empty);
        TQRPreviewImage::PaintPage(nullptr, painter, empty.rect(), false);
    }
    EXPECT_EQ(empty.pixel(0, 30), gray);
    {
        QPainter painter(&empty);
        TQRPreviewImage::PaintPage(nullptr, painter, empty.rect(), true);
    }
    EXPECT_EQ(empty.pixel(0, 30), black);
    EXPECT_EQ(empty.pixel(30, 30), qRgb(255, 255, 255));
}

TEST_F(PreviewControl, OutlineTreeFollowsThePrinterAndLetsGoOfIt) {
    ScriptedReport report;
    TQRPrinter &printer = *report.Printer();
    TQROutlineEntry chapter;
    chapter.Title = QStringLiteral("Első fejezet");
    chapter.Level = 1;
    chapter.Key = 4;
    printer.PageList().Outline().AddEntry(chapter);
    TQRPreview preview;
    auto *tree = new QTreeWidget;
    preview.SetOutline(tree);
    preview.AttachPrinter(&printer);
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("Első fejezet"));
    EXPECT_NE(printer.OutlineTree(), nullptr);
    // A tree freed first takes itself out of the printer, which keeps running.
    delete tree;
    EXPECT_EQ(preview.Outline(), nullptr);
    EXPECT_EQ(printer.OutlineTree(), nullptr);
    printer.PageList().Outline().AddEntry(chapter);
    printer.PageList().Outline().RebuildTree();
    // So does a control that goes first.
    auto *second = new QTreeWidget;
    {
        TQRPreview other;
        other.SetOutline(second);
        other.AttachPrinter(&printer);
        EXPECT_EQ(second->topLevelItemCount(), 2);
    }
    EXPECT_EQ(printer.OutlineTree(), nullptr);
    delete second;
}
