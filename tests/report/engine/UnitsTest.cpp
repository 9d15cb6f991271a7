// Lengths held in 0.1 mm and read in the report's units; the page and its paper rules.
#include "EngineTestSupport.h"

#include <QFontMetricsF>
#include <QImage>

#include <gtest/gtest.h>

TEST(Units, PixelsAtNinetySixDotsPerInch) {
    ReportFixture f;
    TQRBand *band = f.band(rbTitle);
    TQRBandSize *size = band->Size();
    ASSERT_EQ(size->ScreenDpi(), 96);
    size->SetUnits(TQRUnit::Pixels);
    size->SetHeight(79);
    EXPECT_EQ(size->NativeValue(0), 209.02083333333334); // exactly what definitions store
    EXPECT_DOUBLE_EQ(size->Height(), 79);
    EXPECT_EQ(band->Height(), 79);
    size->SetUnits(TQRUnit::MM);
    EXPECT_DOUBLE_EQ(size->Height(), 20.902083333333334);
    size->SetUnits(TQRUnit::Inches);
    EXPECT_DOUBLE_EQ(size->Height(), 79.0 / 96);

    // The arranged width of a band on A4 with 10 mm margins: 794 - 76 pixels.
    EXPECT_EQ(band->Width(), 718);
    EXPECT_EQ(size->NativeValue(1), 1899.7083333333335);
}

TEST(Units, CharactersFollowTheReportFont) {
    ReportFixture f;
    TQRBandSize *size = f.band(rbDetail)->Size();
    size->SetUnits(TQRUnit::Native);
    size->SetHeight(100);
    size->SetUnits(TQRUnit::Characters);
    // Width is arranged by the report; the conversion itself is what matters here.
    EXPECT_NEAR(size->FromNative(TQRUnit::Characters, true, 100), 3.175, 1e-12);
    EXPECT_NEAR(size->Height(), 100 / (145.3 / 10 / 2.54) / 10, 1e-12);
    f.report->Font()->SetSize(-20); // a size is a size, whatever its sign
    EXPECT_NEAR(size->FromNative(TQRUnit::Characters, true, 100), 6.35, 1e-12);
    size->SetHeight(2);
    EXPECT_NEAR(size->NativeValue(0), 2 * (145.3 / 20 / 2.54) * 10, 1e-9);
}

TEST(Units, ZeroPointFontIsRefusedNotDividedBy) {
    ReportFixture f;
    EXPECT_THROW(f.report->Font()->SetSize(0), EQRError);
    EXPECT_THROW(f.report->Font()->SetSize(std::nan("")), EQRError);
    EXPECT_THROW(f.report->Font()->SetHeight(0), EQRError);
    EXPECT_EQ(f.report->Font()->Size(), 10);
    TQRBandSize *size = f.band(rbDetail)->Size();
    EXPECT_TRUE(std::isfinite(size->FromNative(TQRUnit::Characters, true, 100)));
}

TEST(Units, WritesThatAreNotLengthsAreIgnored) {
    ReportFixture f;
    TQRBand *band = f.band(rbDetail, 12);
    TQRBandSize *size = band->Size();
    const double before = size->NativeValue(0);
    size->SetHeight(std::numeric_limits<double>::infinity());
    size->SetHeight(1e300);
    size->SetHeight(std::nan(""));
    EXPECT_EQ(size->NativeValue(0), before);
    EXPECT_THROW(size->SetValues({1, 2, 3}), EQRError);
    EXPECT_THROW(size->SetValues({1, std::numeric_limits<double>::infinity()}), EQRError);
    EXPECT_THROW(size->SetValues({1, -2e6}), EQRError);
    EXPECT_EQ(size->NativeValue(0), before);
}

TEST(Units, PageFollowsPaperSizeAndOrientation) {
    ReportFixture f;
    TQRPage *page = f.report->Page();
    ASSERT_EQ(page->Units(), TQRUnit::MM);
    EXPECT_EQ(page->PaperSize(), TQRPaperSize::A4);
    page->SetOrientation(poLandscape);
    EXPECT_DOUBLE_EQ(page->Width(), 297);
    EXPECT_DOUBLE_EQ(page->Length(), 210);
    EXPECT_EQ(page->PaperSize(), TQRPaperSize::A4);
    EXPECT_EQ(f.report->Width(), 1123); // the report surface turns with the paper
    page->SetOrientation(poPortrait);
    EXPECT_DOUBLE_EQ(page->Width(), 210);
    EXPECT_DOUBLE_EQ(page->Length(), 297);
    EXPECT_EQ(f.report->Width(), 794);
    EXPECT_EQ(f.report->Height(), 1123);

    // Width and length are the paper's until the paper is Custom.
    page->SetLength(100);
    page->SetWidth(100);
    EXPECT_DOUBLE_EQ(page->Length(), 297);
    EXPECT_DOUBLE_EQ(page->Width(), 210);
    page->SetPaperSize(TQRPaperSize::Custom);
    page->SetLength(100);
    EXPECT_DOUBLE_EQ(page->Length(), 100);
    EXPECT_DOUBLE_EQ(page->Width(), 210);
    EXPECT_EQ(f.report->Height(), 378);

    // Default keeps what is there; a table size in inches is still set from millimetres.
    page->SetPaperSize(TQRPaperSize::Default);
    EXPECT_DOUBLE_EQ(page->Length(), 100);
    page->SetUnits(TQRUnit::Inches);
    page->SetPaperSize(TQRPaperSize::Letter);
    EXPECT_DOUBLE_EQ(page->Width(), 8.5);
    EXPECT_DOUBLE_EQ(page->Length(), 11);
    EXPECT_EQ(page->Units(), TQRUnit::Inches);
}

TEST(Units, ColumnsBelowOneAndMarginsAreRules) {
    ReportFixture f;
    TQRPage *page = f.report->Page();
    page->SetColumns(0);
    page->SetColumns(-3);
    EXPECT_EQ(page->Columns(), 1);
    page->SetColumns(2);
    EXPECT_EQ(page->Columns(), 2);
    EXPECT_DOUBLE_EQ(page->TopMargin(), 10);
    EXPECT_DOUBLE_EQ(page->BottomMargin(), 10);
    EXPECT_EQ(page->Values(), (QList<double>{100, 2970, 100, 2100, 100, 100, 0}));
}

TEST(Units, NewReportsFollowTheMeasurementSystem) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    {
        TDezirUzu report;
        EXPECT_EQ(report.Units(), TQRUnit::Inches);
        EXPECT_DOUBLE_EQ(report.Page()->TopMargin(), 0.5);
        EXPECT_EQ(report.Page()->NativeValue(TQRPage::LeftMarginIndex), 127);
        TQRBand *band = report.CreateBand(rbDetail);
        EXPECT_EQ(band->Size()->Units(), TQRUnit::Inches);
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    {
        TDezirUzu report;
        EXPECT_EQ(report.Units(), TQRUnit::MM);
        EXPECT_EQ(report.Page()->NativeValue(TQRPage::TopMarginIndex), 100);
        EXPECT_EQ(report.Page()->NativeValue(TQRPage::BottomMarginIndex), 100);
    }
    QLocale::setDefault(saved);
}

TEST(Units, ReportUnitsReachEverySizeHolder) {
    ReportFixture f;
    TQRBand *band = f.band(rbDetail, 20);
    TTestBox *onBand = f.box(band, 5, 2, 30, 8);
    TTestBox *onReport = f.box(f.report, 20, 50, 40, 10);
    f.report->SetUnits(TQRUnit::Inches);
    EXPECT_EQ(f.report->Units(), TQRUnit::Inches);
    EXPECT_EQ(band->Size()->Units(), TQRUnit::Inches);
    EXPECT_EQ(onBand->Size()->Units(), TQRUnit::Inches);
    EXPECT_EQ(onReport->Size()->Units(), TQRUnit::Inches);
    EXPECT_DOUBLE_EQ(onReport->Size()->Top(), 500.0 / 254);
    EXPECT_DOUBLE_EQ(band->Size()->Height(), 200.0 / 254);
}

TEST(Units, ZoomScalesPixelsOnlyWithinItsRange) {
    ReportFixture f;
    TQRBand *band = f.band(rbDetail, 20.902083333333334); // 79 pixels
    TTestBox *box = f.box(band, 10, 5, 30, 8);
    const QRect before = box->BoundsRect();
    EXPECT_EQ(band->Height(), 79);
    for (int ignored : {0, -5, 301, 1000}) {
        f.report->SetZoom(ignored);
        EXPECT_EQ(f.report->Zoom(), 100) << ignored;
    }
    f.report->SetZoom(200);
    EXPECT_EQ(f.report->Zoom(), 200);
    EXPECT_EQ(band->Height(), 158);
    EXPECT_EQ(band->Width(), 1436);
    EXPECT_EQ(f.report->Width(), 1587);
    EXPECT_EQ(box->Left(), rnd(100 / (254.0 / 96) * 2));
    // A control's size read in pixels is its bounds, zoom included once.
    box->Size()->SetUnits(TQRUnit::Pixels);
    EXPECT_NEAR(box->Size()->Left(), box->Left(), 0.5);
    EXPECT_NEAR(box->Size()->Width(), box->Width(), 0.5);
    f.report->SetZoom(100);
    EXPECT_EQ(box->BoundsRect(), before);
    EXPECT_EQ(band->Size()->NativeValue(1), 1899.7083333333335); // the zoom left no trace in the lengths
}

TEST(Units, ScreenDensityIsAChoiceNotAMeasurement) {
    EXPECT_EQ(ScreenPixelsPerInch(), 96);
    SetScreenPixelsPerInch(0);
    SetScreenPixelsPerInch(-1);
    EXPECT_EQ(ScreenPixelsPerInch(), 96);
    SetScreenPixelsPerInch(120);
    {
        ReportFixture f;
        TQRBand *band = f.band(rbDetail, 25.4);
        EXPECT_EQ(band->Height(), 120);
        EXPECT_EQ(f.report->Width(), rnd(210 / 25.4 * 120));
        EXPECT_EQ(f.report->Font()->Height(), -rnd(10 * 120 / 72.0));
    }
    SetScreenPixelsPerInch(96);
}

TEST(Units, ReportTextMeasuresCharacterByCharacter) {
    // A page recording places every character at its own advance; a report font measures the same, so a
    // label's measured width is the one it draws (pairs that a font would kern included).
    TQRFont font;
    font.SetName(QStringLiteral("Arial"));
    font.SetSize(8);
    QImage device(1, 1, QImage::Format_ARGB32);
    device.setDotsPerMeterX(3780);
    device.setDotsPerMeterY(3780);
    const QFontMetricsF metrics(font.ToQFont(), &device);
    for (const QString &text :
         {QStringLiteral("AVATAR WAVE"), QStringLiteral("Yes, To. LT"), QStringLiteral("office")}) {
        double sum = 0;
        for (const QChar c : text)
            sum += metrics.horizontalAdvance(c);
        EXPECT_DOUBLE_EQ(metrics.horizontalAdvance(text), sum) << text.toStdString();
    }
}

TEST(Units, NestedPixelUseRestoresTheUnitsOfTheOutermost) {
    ReportFixture f;
    TQRBand *band = f.band(rbDetail, 20);
    TQRBandSize *size = band->Size();
    size->SetUnits(TQRUnit::Inches);
    size->UsePixels();
    size->UsePixels(); // a setter working in pixels called from another one
    EXPECT_EQ(size->Units(), TQRUnit::Pixels);
    size->RestoreUnits();
    EXPECT_EQ(size->Units(), TQRUnit::Pixels) << "the outer use still works in pixels";
    size->RestoreUnits();
    EXPECT_EQ(size->Units(), TQRUnit::Inches);
    size->RestoreUnits(); // one restore too many changes nothing
    EXPECT_EQ(size->Units(), TQRUnit::Inches);
    EXPECT_DOUBLE_EQ(size->Height(), 200.0 / 254);
}
