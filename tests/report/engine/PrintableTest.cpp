// Printable controls: alignment to the band, attachment, the print protocol's base behaviour.
#include "EngineTestSupport.h"

#include "printer/drawing/Metafile.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/QtPrinter.h"
#include "tests/support/TestSupport.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

// A box of 358 pixels on a band: 947.2083333333334 native, as the manual's title label.
TTestBox *wideBox(ReportFixture &f, TQRBand *band) {
    TTestBox *box = f.box(band, 0, 3.175, 10, 11.377083333333333);
    box->Size()->SetUnits(TQRUnit::Pixels);
    box->Size()->SetWidth(358);
    box->Size()->SetUnits(TQRUnit::MM);
    return box;
}

} // namespace

TEST(Printable, AlignsToItsBand) {
    ReportFixture f;
    TQRBand *band = f.band(rbTitle, 20.902083333333334);
    ASSERT_EQ(band->Width(), 718);
    TTestBox *box = wideBox(f, band);
    EXPECT_EQ(box->Width(), 358);
    EXPECT_EQ(box->Size()->NativeValue(3), 947.2083333333334);

    box->SetAlignment(taRightJustify); // nothing moves until it is aligned to the band
    EXPECT_EQ(box->Left(), 0);
    box->SetAlignToBand(true);
    EXPECT_EQ(box->Left(), 360);
    EXPECT_EQ(box->Size()->NativeValue(1), 952.5);
    box->SetAlignment(taCenter);
    EXPECT_EQ(box->Left(), 180);
    EXPECT_EQ(box->Size()->NativeValue(1), 476.25);

    // The band narrows to one of two columns: the box follows, off the band's left edge if need be.
    f.report->Page()->SetColumns(2);
    ASSERT_EQ(band->Width(), 718); // a title keeps the full width
    band->SetBandType(rbDetail);
    ASSERT_EQ(band->Width(), 359);
    EXPECT_EQ(box->Left(), 0);
    box->SetAlignment(taRightJustify);
    EXPECT_EQ(box->Left(), 1);
    f.report->Page()->SetColumnSpace(10); // 38 pixels: (718 - 38) / 2 = 340
    EXPECT_EQ(box->Left(), 340 - 358);
    box->SetAlignment(taCenter);
    EXPECT_EQ(box->Left(), -9); // (340 - 358) div 2

    box->SetAlignment(taLeftJustify);
    EXPECT_EQ(box->Left(), 0);

    // Dragged: the size takes the new bounds in pixels, the alignment moves it back, and the size is read
    // in millimetres again afterwards (the pixel switch of the drag and that of the alignment nest).
    box->SetAlignment(taCenter);
    box->SetBounds(5, 7, 100, 20);
    EXPECT_EQ(box->BoundsRect(), QRect(120, 7, 100, 20));
    EXPECT_EQ(box->Size()->Units(), TQRUnit::MM);
    EXPECT_DOUBLE_EQ(box->Size()->Width(), 100 * 25.4 / 96);
    EXPECT_DOUBLE_EQ(box->Size()->Left(), 120 * 25.4 / 96);

    box->SetAlignment(taLeftJustify);
    box->SetAlignToBand(false);
    box->SetAlignment(taRightJustify);
    EXPECT_EQ(box->Left(), 0);
}

TEST(Printable, OnTheReportItselfAndOnALooseBand) {
    ReportFixture f;
    TTestBox *onReport = f.box(f.report, 20, 50, 40, 10);
    EXPECT_EQ(onReport->ParentReport(), f.report);
    EXPECT_EQ(onReport->Top(), rnd(500 / (254.0 / 96)));
    EXPECT_EQ(onReport->Size()->Units(), TQRUnit::MM);
    EXPECT_EQ(f.report->AllPrintables(), QList<TQRPrintable *>{onReport});

    auto *loose = new TQRBand(&f.root);
    auto *box = new TTestBox(&f.root);
    box->SetParentControl(loose);
    EXPECT_EQ(box->ParentReport(), nullptr);
    EXPECT_EQ(box->Size()->Units(), loose->Size()->Units());
    box->Size()->SetUnits(TQRUnit::Native);
    box->Size()->SetLeft(100);
    EXPECT_EQ(box->Left(), 38);
    loose->SetParentControl(f.report);
    EXPECT_EQ(box->ParentReport(), f.report);
    f.report->SetZoom(200);
    EXPECT_EQ(box->Left(), 76);
    EXPECT_THROW(box->SetParentControl(onReport), EQRError); // a control holds no controls
    EXPECT_EQ(f.report->AllPrintables(), (QList<TQRPrintable *>{onReport, box}));

    delete loose; // its controls stay, on nothing
    EXPECT_EQ(box->ParentControl(), nullptr);
    EXPECT_EQ(box->ParentReport(), nullptr);
    EXPECT_EQ(f.report->AllPrintables(), QList<TQRPrintable *>{onReport});
}

TEST(Printable, ShouldPrintUnlessDisabledAndVisible) {
    TTestBox box;
    EXPECT_TRUE(box.ShouldPrint());
    box.SetEnabled(false);
    EXPECT_FALSE(box.ShouldPrint());
    box.SetVisible(false);
    EXPECT_TRUE(box.ShouldPrint());
    EXPECT_TRUE(box.ContentDone());
    double height = 12.5;
    box.GetExpandedHeight(height);
    EXPECT_EQ(height, 12.5);
    QString text = QStringLiteral("kept");
    box.GetFieldString(text);
    EXPECT_EQ(text, QStringLiteral("kept"));
}

TEST(Printable, BasePrintDrawsTheFrameAtItsPlaceOnThePage) {
    TempFolder dir;
    printers::ScopedFactory pdf([&dir] { return QtPrinter::PdfFile(dir.filePath(QStringLiteral("x.pdf"))); });
    ReportFixture f;
    TQRBand *band = f.band(rbDetail, 20);
    TTestBox *framed = f.box(band, 10, 5, 40, 8);
    TTestBox *bare = f.box(band, 60, 5, 40, 8);
    framed->Frame()->SetDrawTop(true);
    framed->Frame()->SetDrawBottom(true);
    framed->Frame()->SetDrawLeft(true);
    framed->Frame()->SetDrawRight(true);
    framed->Frame()->SetWidth(2);

    framed->Print(0, 0); // outside a run: nothing, and no printer needed
    TQRPrinter printer(f.report);
    printer.BeginDoc();
    printer.NewPage();
    f.report->ReportPrinter = &printer;
    for (TQRPrintable *p : f.report->AllPrintables()) {
        p->Prepare();
        EXPECT_TRUE(p->RunActive());
        EXPECT_EQ(p->ReportPrinter(), &printer);
    }
    framed->Print(100, 300);
    bare->Print(100, 300);
    for (TQRPrintable *p : f.report->AllPrintables())
        p->Unprepare();
    EXPECT_FALSE(framed->RunActive());
    const QRect rect(printer.ToDeviceX(200), printer.ToDeviceY(350), printer.ToDeviceX(600) - printer.ToDeviceX(200),
                     printer.ToDeviceY(430) - printer.ToDeviceY(350));
    const int thickness = framed->Frame()->Thickness(printer.PixelsPerUnitX());
    printer.EndDoc();
    f.report->ReportPrinter = nullptr;
    EXPECT_EQ(framed->calls, (QStringList{QStringLiteral("Print 0 0"), QStringLiteral("Prepare"),
                                          QStringLiteral("Print 100 300"), QStringLiteral("Unprepare")}));

    std::unique_ptr<TMetafile> page = printer.FetchPage(1);
    ASSERT_TRUE(page);
    QImage image(page->Width(), page->Height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        page->StretchDraw(painter, QRectF(0, 0, image.width(), image.height()));
    }
    const auto dark = [&](int x, int y) { return qGray(image.pixel(x, y)) < 128; };
    ASSERT_GT(thickness, 2);
    EXPECT_TRUE(dark(rect.center().x(), rect.top() + 1));
    EXPECT_TRUE(dark(rect.center().x(), rect.bottom() - 1));
    EXPECT_TRUE(dark(rect.left() + 1, rect.center().y()));
    EXPECT_TRUE(dark(rect.right() - 1, rect.center().y()));
    EXPECT_FALSE(dark(rect.center().x(), rect.center().y()));
    EXPECT_FALSE(dark(rect.center().x(), rect.top() - 2));
    // The frameless box drew nothing: nothing dark right of the framed one.
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = rect.right() + 3; x < image.width(); ++x)
            ink += dark(x, y);
    EXPECT_EQ(ink, 0);
}
