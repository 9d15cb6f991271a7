// The page machinery of a run, checked through what a run tells its export filter: where every band lands,
// page by page.
#include "GenerationSupport.h"

#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"

#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

// The report's OnNeedData supplies `records` records.
void supply(TCustomDezirUzu *report, int records) {
    auto calls = std::make_shared<int>(0);
    report->OnNeedData = [calls, records](QObject *, bool &MoreData) { MoreData = (*calls)++ < records; };
}

QString twoColumns() {
    return prop(QStringLiteral("Page.Values"), QStringLiteral("100 2970 100 2100 100 100 50")) +
           prop(QStringLiteral("Page.Columns"), QStringLiteral("2"));
}

} // namespace

TEST(Pages, SpaceLeftKeepsTheFooterFree) {
    // A4, 10 mm margins, a 15 mm footer: 2970 - 100 - 150 - 100 = 2620 on a fresh page.
    for (const double detail : {131.0, 131.1}) {
        LoadedReport r(reportXml(bandXml("D", "rbDetail", detail) + bandXml("F", "rbPageFooter", 15)));
        supply(r.report, 2);
        QList<qint32> atStart;
        r.report->OnStartPage = [&](TCustomDezirUzu *report) { atStart << report->SpaceLeft(); };
        const QStringList pages = r.trace();
        EXPECT_EQ(atStart, QList<qint32>(pages.size(), 2620));
        if (detail == 131.0) // two bands of 1310 fill the 2620 exactly
            EXPECT_EQ(pages, QStringList{"D@100 D@1410 F@2720"});
        else
            EXPECT_EQ(pages, (QStringList{"D@100 F@2720", "D@100 F@2720"}));
    }
    TDezirUzu idle;
    EXPECT_EQ(idle.SpaceLeft(), 0);
}

TEST(Pages, ColumnsStartAfterTheColumnSpace) {
    // Without a detail band the column width comes from the page: 100 + (1900 - 50) div 2 + 50 = 1075.
    const auto data = [](const QString &folder) { makeTable(folder, "T", "K INTEGER", {{1}, {2}, {3}, {4}, {5}}); };
    const QString query = queryXml("Q", "SELECT K FROM T ORDER BY K");
    LoadedReport groups(reportXml(bandXml("G", "", 100, prop("Expression", "K"), "TQRGroup"),
                                  twoColumns() + prop("DataSet", "Q"), query),
                        data);
    EXPECT_EQ(groups.trace(), (QStringList{"G@100 G@1100 G@1075,100 G@1075,1100", "G@100"}));
    // With one, its arranged width: 349 pixels, 923 native.
    LoadedReport details(reportXml(bandXml("D", "rbDetail", 100), twoColumns() + prop("DataSet", "Q"), query), data);
    EXPECT_EQ(details.trace(), (QStringList{"D@100 D@1100 D@1073,100 D@1073,1100", "D@100"}));
}

TEST(Pages, ColumnHeaderOnEveryColumn) {
    LoadedReport r(reportXml(bandXml("CH", "rbColumnHeader", 10) + bandXml("D", "rbDetail", 100), twoColumns()));
    supply(r.report, 6);
    EXPECT_EQ(r.trace(),
              (QStringList{"CH@100 D@200 D@1200 CH@1073,100 D@1073,200 D@1073,1200", "CH@100 D@200 D@1200"}));
}

TEST(Pages, ForcedBreaks) {
    // The first forced column break while the first column fills is swallowed; later ones start columns and
    // pages.
    LoadedReport columns(reportXml(bandXml("D", "rbDetail", 10, prop("ForceNewColumn", "True")), twoColumns()));
    supply(columns.report, 5);
    EXPECT_EQ(columns.trace(), (QStringList{"D@100 D@200 D@1073,100", "D@100 D@1073,100"}));

    // A page break asked for right after the title is swallowed; the next one breaks.
    LoadedReport title(reportXml(bandXml("T", "rbTitle", 20, prop("ForceNewPage", "True")) +
                                 bandXml("D", "rbDetail", 10, prop("ForceNewPage", "True"))));
    supply(title.report, 3);
    EXPECT_EQ(title.trace(), (QStringList{"T@100 D@300", "D@100", "D@100"}));

    // Before any page a forced page goes through the room test, which begins page 1.
    LoadedReport first(reportXml(bandXml("D", "rbDetail", 10, prop("ForceNewPage", "True"))));
    supply(first.report, 2);
    EXPECT_EQ(first.trace(), (QStringList{"D@100", "D@100"}));
}

TEST(Pages, FirstPageHeaderAndLastPageFooterOff) {
    const QString bands =
        bandXml("PH", "rbPageHeader", 10) + bandXml("D", "rbDetail", 120) + bandXml("PF", "rbPageFooter", 10);
    LoadedReport off(reportXml(bands, prop("Options", "")));
    supply(off.report, 3);
    EXPECT_EQ(off.trace(), (QStringList{"D@100 D@1300 PF@2770", "PH@100 D@200"}));
    LoadedReport on(reportXml(bands));
    supply(on.report, 3);
    EXPECT_EQ(on.trace(), (QStringList{"PH@100 D@200 D@1400 PF@2770", "PH@100 D@200 PF@2770"}));
}

TEST(Pages, SummaryAlignedToBottom) {
    const QString bands = bandXml("D", "rbDetail", 10) + bandXml("S", "rbSummary", 20, prop("AlignToBottom", "True")) +
                          bandXml("PF", "rbPageFooter", 15);
    // Without the last page's footer the summary takes its place, right above the bottom margin.
    LoadedReport off(reportXml(bands, prop("Options", "FirstPageHeader")));
    supply(off.report, 1);
    EXPECT_EQ(off.trace(), QStringList{"D@100 S@2670"});
    LoadedReport on(reportXml(bands));
    supply(on.report, 1);
    EXPECT_EQ(on.trace(), QStringList{"D@100 S@2520 PF@2720"});
}

TEST(Pages, AlignToBottomOnATurnedCustomPage) {
    // A custom page measures its length along the paper's length whatever its orientation, as SpaceLeft does;
    // the bottom is not taken from the paper's width.
    LoadedReport r(
        reportXml(bandXml("D", "rbDetail", 10) + bandXml("S", "rbSummary", 20, prop("AlignToBottom", "True")),
                  prop("Page.PaperSize", "Custom") + prop("Page.Orientation", "poLandscape") +
                      prop("Page.Values", "100 1000 100 2000 100 100 0")));
    supply(r.report, 1);
    EXPECT_EQ(r.trace(), QStringList{"D@100 S@700"});
}

TEST(Pages, PagesInPreviewStopsAfterTheRecordThatBeganTheNextPage) {
    LoadedReport r(
        reportXml(bandXml("D", "rbDetail", 100) + bandXml("S", "rbSummary", 10), prop("PagesInPreview", "2")));
    supply(r.report, 100);
    int details = 0;
    r.find<TQRCustomBand>("D")->AfterPrint = [&](TQRCustomBand *, bool) { ++details; };
    r.report->GeneratePages();
    ASSERT_TRUE(r.report->ReportPrinter);
    EXPECT_EQ(r.report->ReportPrinter->PagesProduced(), 3);
    EXPECT_EQ(details, 5); // two per page; the fifth began page 3
}

TEST(Bands, ChildBands) {
    // Before and after its parent; after it even when the parent was vetoed.
    LoadedReport r(reportXml(
        bandXml("D", "rbDetail", 10) +
        bandXml("C", "", 5, prop("ParentBand", "D") + prop("PrintOrder", "cboBeforeAndAfter"), "TQRChildBand") +
        bandXml("T", "rbTitle", 10) + bandXml("TC", "", 5, prop("ParentBand", "T"), "TQRChildBand")));
    supply(r.report, 2);
    r.find<TQRCustomBand>("T")->BeforePrint = [](TQRCustomBand *, bool &PrintBand) { PrintBand = false; };
    EXPECT_EQ(r.trace(), QStringList{"TC@100 C@150 D@200 C@300 C@350 D@400 C@500"});
}

TEST(Bands, PageFooterChildPrintsAsAFooterWithoutReordering) {
    // The child of a page footer prints as a page footer for that print; the report's bands are not re-ordered
    // under the running controller, and the child is a child again afterwards.
    const auto data = [](const QString &folder) { makeTable(folder, "T", "K INTEGER", {{1}, {2}, {3}}); };
    LoadedReport r(
        reportXml(
            bandXml("D", "rbDetail", 10) + bandXml("PF", "rbPageFooter", 10) +
                bandXml("PFC", "", 10,
                        prop("ParentBand", "PF") + prop("PrintOrder", "cboBeforeParent") + prop("ForceNewPage", "True"),
                        "TQRChildBand") +
                bandXml("S", "", 130, prop("DataSet", "Q2") + prop("Master", "R"), "TQRSubDetail"),
            prop("DataSet", "Q"), queryXml("Q", "SELECT K FROM T") + queryXml("Q2", "SELECT K FROM T WHERE K = 1")),
        data);
    const QString order = bandOrder(*r.report);
    QStringList seen;
    auto *child = r.find<TQRCustomBand>("PFC");
    child->BeforePrint = [&](TQRCustomBand *band, bool &) {
        seen << QStringLiteral("%1 %2").arg(band->BandType()).arg(bandOrder(*r.report) == order);
    };
    EXPECT_EQ(r.trace(), (QStringList{"D@100 S@200 D@1500 PFC@2670 PF@2770", "S@100 D@1400 PFC@2670 PF@2770",
                                      "S@100 PFC@2670 PF@2770"}));
    EXPECT_EQ(seen, (QStringList{"3 1", "3 1", "3 1"}));
    EXPECT_EQ(child->BandType(), rbChild);
    EXPECT_EQ(bandOrder(*r.report), order);
}

TEST(Bands, ContinuationOnTheNextPage) {
    // A control whose content does not fit continues on the next page; the others are not printed again.
    LoadedReport r(
        reportXml(bandXml("D", "rbDetail", 10,
                          "<component class=\"TTestContent\" name=\"Long\">" + prop("Size.Values", "100 0 0 500") +
                              prop("Lines", "40") + prop("LineHeight", "100") + prop("AutoStretch", "True") +
                              "</component>" + "<component class=\"TTestContent\" name=\"Short\">" +
                              prop("Size.Values", "100 600 0 500") + prop("Lines", "1") + "</component>")));
    supply(r.report, 1);
    const QStringList pages = r.trace();
    // The band is done once, on page 2, with the stretch of its last part.
    EXPECT_EQ(pages, (QStringList{"", "D@100+1200"}));
    auto *longer = r.find<TTestContent>("Long");
    auto *shorter = r.find<TTestContent>("Short");
    EXPECT_EQ(longer->printed.size(), 40);
    EXPECT_EQ(longer->printed.first(), "1:0");
    EXPECT_EQ(longer->printed[26], "1:26"); // 27 lines of 10 mm on page 1
    EXPECT_EQ(longer->printed[27], "2:27");
    EXPECT_EQ(shorter->printed, QStringList{"1:0"});
}

TEST(Bands, ExpandAndMeasure) {
    LoadedReport r(reportXml(bandXml("D", "rbDetail", 20,
                                     "<component class=\"TTestContent\" name=\"X\">" +
                                         prop("Size.Values", "50 0 100 500") + "</component>")));
    auto *band = r.find<TQRCustomBand>("D");
    // Outside a run nothing fits.
    EXPECT_FALSE(band->CanExpand(1));
    supply(r.report, 1);
    QList<qint32> space;
    band->AfterPrint = [&](TQRCustomBand *b, bool) {
        // Cursor at 300 after the band: SpaceLeft 2570; the band itself is 200 high.
        space << r.report->SpaceLeft();
        b->ExtraHeight = 30;
        double expanded = 0;
        bool has = false;
        EXPECT_TRUE(b->CanExpand(2570 - 230));
        EXPECT_FALSE(b->CanExpand(2570 - 229));
        // A first request smaller than the stretch so far reports that stretch and changes nothing.
        EXPECT_TRUE(b->ExpandBand(10, expanded, has));
        EXPECT_EQ(expanded, 30);
        EXPECT_TRUE(has);
        EXPECT_FALSE(b->ExpandBand(10, expanded, has));
        EXPECT_EQ(expanded, 40);
        EXPECT_FALSE(b->ExpandBand(5000, expanded, has)); // no room
        EXPECT_EQ(b->ExtraHeight, 40);
        b->ExtraHeight = 0;
    };
    r.trace();
    EXPECT_EQ(space, QList<qint32>{2570});

    // A rich-text control's answer, in pixels, is turned into native units with 0.37795 pixels per unit;
    // the gap below the control is kept.
    auto *control = r.find<TTestContent>("X");
    EXPECT_DOUBLE_EQ(band->MeasureNeededHeight(), 200);
    control->SetExpanded(100); // top 38 pixels (100 native) + 100 = 138 pixels
    const double gap = (band->Height() - control->Top() - control->Height() + 1) / 0.37795;
    EXPECT_DOUBLE_EQ(band->MeasureNeededHeight(), 138 / 0.37795 + gap);
    control->SetEnabled(false);
    EXPECT_DOUBLE_EQ(band->MeasureNeededHeight(), 200);
}

TEST(Bands, KeepOnOnePageMovesTheBandWhole) {
    LoadedReport r(
        reportXml(bandXml("D", "rbDetail", 100) +
                  bandXml("K", "rbSummary", 20,
                          prop("KeepOnOnePage", "True") + "<component class=\"TTestContent\" name=\"X\">" +
                              prop("Size.Values", "50 0 0 500") + prop("Expanded", "300") + "</component>")));
    supply(r.report, 2);
    // Measured 300 pixels and the gap below the control (947 native) do not fit below 2100: the band goes to the
    // next page.
    EXPECT_EQ(r.trace(), (QStringList{"D@100 D@1100", "K@100"}));
}

TEST(Bands, ZeroHeightAndOversizedBands) {
    // A band without height prints nothing and leaves the cursor. One taller than the page prints where it
    // stands when its column is still empty, else on the next: never below the page.
    LoadedReport r(reportXml(bandXml("Z", "rbTitle", 0) + bandXml("D", "rbDetail", 300)));
    supply(r.report, 2);
    EXPECT_EQ(r.trace(), (QStringList{"Z@100 D@100", "D@100"}));
}

TEST(Bands, StretchedLinesAndZeroWidthBands) {
    const QString line = "<component class=\"TTestContent\" name=\"L\">" + prop("Tag", "1000") +
                         prop("BandLine", "True") + prop("Size.Values", "100 500 0 10") + "</component>";
    LoadedReport wide(reportXml(bandXml("D", "rbDetail", 10, line)));
    supply(wide.report, 2);
    wide.trace();
    EXPECT_EQ(wide.find<TTestContent>("L")->linesExported, 2);

    // A page whose margins leave no width arranges its bands 0 pixels wide: they draw no line.
    LoadedReport narrow(
        reportXml(bandXml("D", "rbDetail", 10, line),
                  prop("Page.PaperSize", "Custom") + prop("Page.Values", "100 2970 100 200 100 100 0")));
    supply(narrow.report, 2);
    ASSERT_EQ(narrow.find<TQRCustomBand>("D")->Width(), 0);
    EXPECT_EQ(narrow.trace(), (QStringList{"D@100 D@200"}));
    EXPECT_EQ(narrow.find<TTestContent>("L")->linesExported, 0);
}

TEST(Pages, BackgroundColourAndImage) {
    QList<QRect> rectangles;
    QList<QColor> colours;
    const TQRRectangleExport previous =
        SetRectangleExport([&](TQRExportFilter &, const QRect &rect, const QColor &colour) {
            rectangles << rect;
            colours << colour;
        });
    const QString image = "<component class=\"TTestContent\" name=\"Back\">" + prop("Picture", "#00FF00") +
                          prop("Size.Values", "500 200 300 1000") + "</component>";
    LoadedReport white(reportXml(bandXml("D", "rbDetail", 10, prop("TransparentBand", "True")) + image,
                                 prop("BackImageControl", "Back")));
    supply(white.report, 1);
    white.trace();
    EXPECT_TRUE(rectangles.isEmpty()); // white is no background
    EXPECT_TRUE(white.filter.calls.contains("PutGraphic Back 76 113")) << white.filter.calls.join("|").toStdString();

    LoadedReport blue(reportXml(bandXml("D", "rbDetail", 10), prop("BackgroundColor", "#0000FF")));
    supply(blue.report, 1);
    blue.trace();
    SetRectangleExport(previous);
    ASSERT_EQ(rectangles.size(), 2); // the page, then the band
    EXPECT_EQ(rectangles[0], QRect(0, 0, 794, 1123));
    EXPECT_EQ(colours[0], QColor(Qt::blue));
    EXPECT_EQ(colours[1], QColor(Qt::white));

    // On the stored page: the background, the picture over it, the white band over both.
    supply(blue.report, 1);
    blue.report->GeneratePages();
    const std::unique_ptr<TMetafile> page = blue.report->ReportPrinter->FetchPage(1);
    ASSERT_TRUE(page);
    QImage picture(page->Width(), page->Height(), QImage::Format_RGB32);
    picture.fill(Qt::gray);
    QPainter painter(&picture);
    page->StretchDraw(painter, QRectF(0, 0, page->Width(), page->Height()));
    painter.end();
    EXPECT_EQ(picture.pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(picture.pixelColor(100, 40), QColor(Qt::white)); // the detail band at 10 mm
}

TEST(Pages, AContinuedRunGoesOnWhereTheLastOneStopped) {
    // Two reports on one printer and one filter, as a job of several reports runs them: the second begins at
    // the first one's cursor and page, and only the one marked last finishes the page and the filter.
    LoadedReport first(reportXml(bandXml("T", "rbTitle", 20) + bandXml("D", "rbDetail", 100)));
    LoadedReport second(reportXml(bandXml("D", "rbDetail", 100) + bandXml("S", "rbSummary", 10)));
    supply(first.report, 3);
    supply(second.report, 2);
    RecordingFilter filter;
    TQRPrinter printer(first.report, nullptr);
    printer.BeginDoc();
    first.report->ExportContinued(&filter, &printer);
    EXPECT_EQ(filter.calls.count("Finish"), 0);
    EXPECT_EQ(first.report->PageNumber, 2);
    EXPECT_EQ(first.report->CursorY, 1100);

    second.report->CursorX = first.report->CursorX;
    second.report->CursorY = first.report->CursorY;
    second.report->PageNumber = first.report->PageNumber;
    second.report->CurrentColumn = first.report->CurrentColumn;
    second.report->SetTag(999);
    second.report->ExportContinued(&filter, &printer);
    EXPECT_EQ(filter.pages(), (QStringList{"T@100 D@300 D@1300", "D@100 D@1100", "D@100 S@1100"}));
    EXPECT_EQ(filter.calls.count("Finish"), 1);
    EXPECT_EQ(filter.calls.filter(QRegularExpression("^Start ")).size(), 1);
    EXPECT_EQ(printer.State(), psBusy);         // the job is the caller's to end
    EXPECT_FALSE(second.report->ReportPrinter); // its own printer (none) again
    printer.EndDoc();
}
