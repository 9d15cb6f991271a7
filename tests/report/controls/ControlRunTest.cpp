// Controls in whole report runs: labels stretching their band and continuing on the next column or page,
// running totals, the band lines of shapes, the page background and what an export filter is told.
#include "ControlTestSupport.h"

#include "printer/drawing/EmfFormat.h"
#include "report/controls/ControlMessages.h"
#include "report/controls/QRExpression.h"
#include "report/controls/QRImage.h"
#include "report/controls/QRLabel.h"
#include "report/controls/QRShape.h"

#include <QBuffer>
#include <QFile>
#include <QFontMetricsF>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace emf;

namespace {

// The height of one printed line of the label on a page-store page, in 0.1 mm.
double printedLineHeight(TQRCustomLabel &label) {
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(rnd(96 / 0.0254));
    device.setDotsPerMeterY(rnd(96 / 0.0254));
    return rnd(QFontMetricsF(label.Font()->ToQFont(), &device).height()) / (96 / 254.0);
}

// A report with a title band `titleMm` high, a detail band holding a label of five lines that is two lines
// high, and a summary band with the label "END".
struct FiveLines : ControlFixture {
    explicit FiveLines(double titleMm, bool autoStretch, int columns = 1) {
        report->Page()->SetColumns(columns);
        title = band(rbTitle, titleMm);
        add<TQRLabel>(title, 0, 0, 50, 5)->SetCaption(QStringLiteral("TITLE"));
        detail = band(rbDetail, 10);
        five = add<TQRLabel>(detail, 0, 0, 50, 10);
        five->SetAutoSize(false);
        five->SetAutoStretch(autoStretch);
        five->SetCaption(QStringLiteral("L1\rL2\rL3\rL4\rL5"));
        lineHeight = printedLineHeight(*five);
        // Two lines high: the label and its band.
        five->Size()->SetHeight(2 * lineHeight / 10);
        detail->Size()->SetHeight(2 * lineHeight / 10);
        summary = band(rbSummary, 10);
        add<TQRLabel>(summary, 0, 0, 50, 5)->SetCaption(QStringLiteral("END"));
    }
    TQRBand *title;
    TQRBand *detail;
    TQRBand *summary;
    TQRLabel *five;
    double lineHeight;
};

QStringList flatten(const QList<QStringList> &pages) {
    QStringList all;
    for (const QStringList &page : pages)
        all += page;
    return all;
}

QList<QStringList> withoutTitle(QList<QStringList> pages) {
    for (QStringList &page : pages)
        page.removeAll(QStringLiteral("TITLE"));
    return pages;
}

QString labelXml(const QString &name, const QString &cls, double left, double top, double width, double height,
                 const QString &props) {
    return QStringLiteral("<component class=\"%1\" name=\"%2\">%3%4</component>")
        .arg(cls, name,
             prop(QStringLiteral("Size.Values"),
                  QStringLiteral("%1 %2 %3 %4").arg(height * 10).arg(left * 10).arg(top * 10).arg(width * 10)),
             props);
}

QString exprXml(const QString &name, const QString &expression, double left, const QString &props = {}) {
    return labelXml(name, QStringLiteral("TQRExpr"), left, 0, 40, 5,
                    prop(QStringLiteral("Expression"), expression.toHtmlEscaped()) + props);
}

// Inserts controls into the band element named `band` of a definition.
QString withControls(QString xml, const QString &band, const QString &controls) {
    const QString start = QStringLiteral("name=\"%1\">").arg(band);
    const qsizetype at = xml.indexOf(start);
    const qsizetype end = xml.indexOf(QStringLiteral("</component>"), at);
    return xml.insert(end, controls);
}

// A filter that writes down the controls' calls: text with its place, graphics with their class and name.
class ControlFilter : public TQRExportFilter {
public:
    void Start(int, int, const QFont &) override { Started = true; }
    void EndPage() override { calls << QStringLiteral("EndPage"); }
    void Finish() override {}
    void NewPage() override { calls << QStringLiteral("NewPage"); }
    void PutGraphic(TQRPrintable *control, double, double) override {
        auto *shape = qobject_cast<TQRShape *>(control);
        QString entry = QStringLiteral("graphic ") + QString::fromLatin1(control->metaObject()->className()) +
                        QLatin1Char(' ') +
                        (control->objectName().isEmpty() ? QStringLiteral("-") : control->objectName());
        if (shape)
            entry += QStringLiteral(" shape%1 brush%2").arg(int(shape->Shape())).arg(int(shape->Brush()->Style()));
        calls << entry;
    }
    void BandDone(TQRCustomBand *, double, double, double) override {}
    void TextOut(double x, double, const QFont &font, const QColor &, TAlignment alignment,
                 const QString &text) override {
        calls << QStringLiteral("text %1 %2 %3 %4").arg(text).arg(x).arg(int(alignment)).arg(font.pointSize());
    }
    QStringList calls;
};

QByteArray bmp(const QColor &color, int size) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// The (x0, y0, x1, y1) of every line a page drew.
QList<QList<qint32>> lines(const TMetafile &page) {
    QList<QList<qint32>> out;
    QList<qint32> from;
    page.Enumerate([&](const EmfRecord &r) {
        if (r.type == EMR_MOVETOEX)
            from = {qFromLittleEndian<qint32>(r.data + 8), qFromLittleEndian<qint32>(r.data + 12)};
        else if (r.type == EMR_LINETO && from.size() == 2)
            out << (from +
                    QList<qint32>{qFromLittleEndian<qint32>(r.data + 8), qFromLittleEndian<qint32>(r.data + 12)});
        return true;
    });
    return out;
}

} // namespace

TEST(LabelRun, FiveLinesInATwoLineLabelWithAndWithoutAutoStretch) {
    FiveLines cut(50, false);
    EXPECT_EQ(withoutTitle(runPages(*cut.report)), (QList<QStringList>{{"L1", "L2", "END"}}));

    // Stretching, the band grows line by line and what follows it moves down.
    FiveLines grown(50, true);
    EXPECT_EQ(withoutTitle(runPages(*grown.report)), (QList<QStringList>{{"L1", "L2", "L3", "L4", "L5", "END"}}));
    const QList<PlacedText> placed = placedTexts(*fetchPage(*grown.report, 1));
    ASSERT_EQ(placed.size(), 7);
    const double step = placed[2].at.y() - placed[1].at.y();
    EXPECT_NEAR(step, grown.lineHeight * 96 / 254, 0.51);
    for (int i = 2; i < 6; ++i)
        EXPECT_DOUBLE_EQ(placed[i + 1].at.y() - placed[i].at.y(), step) << i;
}

TEST(LabelRun, StretchedLinesContinueAtTheTopOfTheNextPageEachExactlyOnce) {
    // The detail band starts where two and a half lines are left above the bottom margin.
    for (const double linesLeft : {2.5, 3.5, 4.5}) {
        FiveLines f(10, true);
        const double titleMm = (2970 - 200 - linesLeft * f.lineHeight) / 10;
        f.title->Size()->SetHeight(titleMm);
        const QList<QStringList> pages = withoutTitle(runPages(*f.report));
        ASSERT_EQ(pages.size(), 2) << linesLeft;
        EXPECT_EQ(flatten(pages), (QStringList{"L1", "L2", "L3", "L4", "L5", "END"}));
        EXPECT_EQ(pages[0].size(), int(linesLeft)) << linesLeft;
        // Page 2 starts with the rest at the top margin.
        const QList<PlacedText> second = placedTexts(*fetchPage(*f.report, 2));
        ASSERT_FALSE(second.isEmpty());
        EXPECT_LT(second[0].at.y(), (100 + f.lineHeight) * 96 / 254);
    }
}

TEST(LabelRun, StretchedLinesContinueInTheNextColumn) {
    FiveLines f(10, true, 2);
    f.detail->Size()->SetWidth(90);
    const double titleMm = (2970 - 200 - 3.5 * f.lineHeight) / 10;
    f.title->Size()->SetHeight(titleMm);
    // The second column starts below the title as well, so the summary after the label finds no room there.
    EXPECT_EQ(withoutTitle(runPages(*f.report)), (QList<QStringList>{{"L1", "L2", "L3", "L4", "L5"}, {"END"}}));
    const QList<PlacedText> placed = placedTexts(*fetchPage(*f.report, 1));
    ASSERT_EQ(placed.size(), 6);
    // L4 heads the second column, level with L1.
    EXPECT_GT(placed[4].at.x(), placed[1].at.x() + 90 * 96 / 25.4);
    EXPECT_EQ(placed[4].at.y(), placed[1].at.y());
    EXPECT_EQ(placed[5].at.x(), placed[4].at.x());
}

TEST(LabelRun, ALineThatCanNeverFitEndsInsteadOfAskingForPagesForever) {
    // A line taller than the page, and a label without width: both end, and what follows them prints.
    FiveLines tall(10, true);
    tall.five->Font()->SetSize(1600);
    // Its first line is as tall as the label it raised; the rest is dropped rather than printed a line a page.
    EXPECT_EQ(withoutTitle(runPages(*tall.report)), QList<QStringList>{{"END"}});

    FiveLines narrow(10, true);
    narrow.five->SetCaption(QStringLiteral("some words that never fit in no width at all"));
    narrow.five->SetBounds(narrow.five->Left(), narrow.five->Top(), 0, narrow.five->Height());
    const QList<QStringList> narrowPages = withoutTitle(runPages(*narrow.report));
    EXPECT_EQ(narrowPages, QList<QStringList>{{"END"}});
}

TEST(ExprRun, GroupTotalsResetAfterPrintAndAGrandTotalDoesNot) {
    const auto data = [](const QString &folder) {
        makeTable(folder, "Orders", "CUSTOMER TEXT, AMOUNT REAL",
                  {{"A", 10.0}, {"A", 20.0}, {"B", 5.0}, {"C", 1.5}, {"C", 2.5}, {"C", 3.0}});
    };
    QString xml =
        reportXml(bandXml("G", "", 6, prop("Expression", "CUSTOMER") + prop("FooterBand", "GF"), "TQRGroup") +
                      bandXml("D", "rbDetail", 6) + bandXml("GF", "rbGroupFooter", 6) + bandXml("S", "rbSummary", 6),
                  prop("DataSet", "Q"), queryXml("Q", "SELECT CUSTOMER, AMOUNT FROM Orders ORDER BY rowid"));
    xml = withControls(xml, "G", exprXml("Customer", "CUSTOMER", 0));
    xml = withControls(xml, "D", exprXml("Amount", "AMOUNT", 50, prop("Mask", "0.00")));
    xml =
        withControls(xml, "GF",
                     exprXml("GroupTotal", "SUM(AMOUNT)", 50, prop("Mask", "0.00") + prop("ResetAfterPrint", "True")) +
                         exprXml("GroupCount", "COUNT", 100, prop("ResetAfterPrint", "True")));
    xml = withControls(xml, "S",
                       exprXml("Total", "SUM(AMOUNT)", 50, prop("Mask", "#,##0.00")) +
                           exprXml("Count", "COUNT", 100, prop("Master", "R")) +
                           exprXml("Average", "AVERAGE(AMOUNT)", 150));
    RegisterControlClasses();
    LoadedReport r(xml, data);
    const QList<QStringList> pages = runPages(*r.report);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0], (QStringList{"A", loc("10.00"), loc("20.00"), loc("30.00"), "2",           //
                                     "B", loc("5.00"), loc("5.00"), "1",                           //
                                     "C", loc("1.50"), loc("2.50"), loc("3.00"), loc("7.00"), "3", //
                                     loc("42.00"), "6", loc("7")}));
    // A second run starts its totals afresh.
    EXPECT_EQ(runPages(*r.report), pages);
}

TEST(ExprRun, CountWithASubDetailAsMaster) {
    const auto data = [](const QString &folder) {
        makeTable(folder, "M", "N INTEGER", {{1}, {2}, {3}});
        makeTable(folder, "S", "K TEXT", {{"a"}, {"b"}});
    };
    QString xml =
        reportXml(bandXml("D", "rbDetail", 6) +
                      bandXml("S", "", 6, prop("DataSet", "SQ") + prop("Master", "R") + prop("FooterBand", "SF"),
                              "TQRSubDetail") +
                      bandXml("SF", "", 6) + bandXml("Sum", "rbSummary", 6),
                  prop("DataSet", "MQ"),
                  queryXml("MQ", "SELECT N FROM M ORDER BY N") + queryXml("SQ", "SELECT K FROM S ORDER BY K"));
    xml = withControls(xml, "D", exprXml("N", "N", 0));
    xml = withControls(xml, "S", exprXml("K", "K", 10));
    xml = withControls(xml, "SF",
                       exprXml("PerMaster", "COUNT", 20, prop("Master", "S") + prop("ResetAfterPrint", "True")));
    xml = withControls(xml, "Sum",
                       exprXml("Masters", "COUNT", 0, prop("Master", "R")) +
                           exprXml("Details", "COUNT", 50, prop("Master", "S")));
    RegisterControlClasses();
    LoadedReport r(xml, data);
    EXPECT_EQ(runPages(*r.report),
              (QList<QStringList>{{"1", "a", "b", "2", "2", "a", "b", "2", "3", "a", "b", "2", "3", "6"}}));
}

TEST(ShapeRun, AVerticalLineTaggedForItsBandSpansTheStretchedBand) {
    FiveLines f(50, true);
    auto *line = f.add<TQRShape>(f.detail, 120, 0, 4, 5);
    line->SetShape(qrsVertLine);
    line->SetTag(TQRShape::StretchedLineTag);
    line->Pen()->SetWidth(2);
    auto *plain = f.add<TQRShape>(f.detail, 150, 0, 4, 5);
    plain->SetShape(qrsVertLine);
    f.report->GeneratePages();
    TQRPrinter *printer = f.report->ReportPrinter;
    ASSERT_TRUE(printer);
    const QList<QList<qint32>> drawn = lines(*printer->FetchPage(1));
    // Each shape draws its own line, 5 mm long, below the 50 mm title; the tagged one is drawn again from the
    // band's top to its stretched bottom: the band's two lines, the three it grew by, and one.
    const int top = printer->ToDeviceY(600);
    const int x = printer->ToDeviceX(100 + 1220);
    const int x2 = printer->ToDeviceX(100 + 1520);
    const int bottom = printer->ToDeviceY(600 + 5 * f.lineHeight + 1);
    EXPECT_EQ(drawn,
              (QList<QList<qint32>>{
                  {x, top, x, printer->ToDeviceY(650)}, {x2, top, x2, printer->ToDeviceY(650)}, {x, top, x, bottom}}));
}

TEST(ImageRun, TheReportsBackgroundPictureIsDrawnOnEveryPageBeforeTheBands) {
    FiveLines f(10, true);
    f.title->Size()->SetHeight((2970 - 200 - 2.5 * f.lineHeight) / 10);
    auto *back = f.add<TQRImage>(f.report, 20, 20, 100, 100);
    back->setObjectName(QStringLiteral("Back"));
    back->LoadPicture(bmp(QColor(200, 230, 255), 8));
    f.report->SetBackImageControl(QStringLiteral("Back"));
    auto *stamp = f.add<TQRImage>(f.report, 150, 250, 10, 10);
    stamp->LoadPicture(bmp(QColor(255, 0, 0), 8));
    ASSERT_EQ(runPages(*f.report).size(), 2);
    for (int page = 1; page <= 2; ++page) {
        const QList<quint32> types = recordTypes(*fetchPage(*f.report, page));
        // The background, then (after the bands' texts) the stamp placed on the report itself.
        ASSERT_EQ(types.count(EMR_STRETCHDIBITS), 2) << page;
        const qsizetype background = types.indexOf(EMR_STRETCHDIBITS);
        EXPECT_LT(background, types.indexOf(EMR_EXTTEXTOUTW));
        EXPECT_GT(types.lastIndexOf(EMR_STRETCHDIBITS), types.lastIndexOf(EMR_EXTTEXTOUTW));
    }
    const QImage image = pageImage(*fetchPage(*f.report, 2));
    EXPECT_EQ(image.pixel(int(70 * 96 / 25.4), int(70 * 96 / 25.4)), qRgb(200, 230, 255));
}

TEST(ImageRun, ADamagedPictureBesideTheDefinitionLetsTheRunGoOnAndIsReportedOnce) {
    QStringList messages;
    const auto previous =
        qrcontrols::SetControlMessageHandler([&messages](const QString &message) { messages << message; });
    QString xml = reportXml(bandXml("D", "rbDetail", 6), prop("DataSet", "Q"), queryXml("Q", "SELECT N FROM T"));
    xml = withControls(xml, "D",
                       labelXml("Logo", "TQRImage", 0, 0, 20, 5, "<property name=\"Picture\" file=\"logo.jpg\"/>") +
                           exprXml("N", "N", 30));
    RegisterControlClasses();
    LoadedReport r(xml, [](const QString &folder) {
        makeTable(folder, "T", "N INTEGER", {{1}, {2}, {3}});
        QFile file(QDir(folder).filePath(QStringLiteral("../logo.jpg")));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray("\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01", 13) + QByteArray(500, '\x55'));
    });
    EXPECT_FALSE(r.find<TQRImage>("Logo")->PictureError().isEmpty());
    EXPECT_EQ(runPages(*r.report), (QList<QStringList>{{"1", "2", "3"}}));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Logo: "))) << messages[0].toStdString();
    qrcontrols::SetControlMessageHandler(previous);
}

TEST(ExportRun, EveryControlReachesTheFilter) {
    ControlFixture f;
    TQRBand *detail = f.band(rbDetail, 30);
    auto *caption = f.add<TQRLabel>(detail, 10, 0, 40, 5);
    caption->SetCaption(QStringLiteral("Caption"));
    caption->SetColor(QColor(255, 255, 0));
    caption->Frame()->SetDrawTop(true);
    caption->Frame()->SetDrawBottom(true);
    caption->Font()->SetSize(12);
    auto *value = f.add<TQRExpr>(detail, 60, 0, 40, 5);
    value->SetAlignment(taRightJustify);
    value->SetAutoSize(false);
    value->SetExpression(QStringLiteral("6 * 7"));
    auto *box = f.add<TQRShape>(detail, 110, 0, 20, 10);
    box->setObjectName(QStringLiteral("Box"));
    auto *picture = f.add<TQRImage>(detail, 140, 0, 10, 10);
    picture->setObjectName(QStringLiteral("Picture"));
    auto *line = f.add<TQRShape>(detail, 160, 0, 2, 10);
    line->setObjectName(QStringLiteral("Line"));
    line->SetShape(qrsVertLine);
    line->SetTag(TQRShape::StretchedLineTag);
    ControlFilter filter;
    f.report->Export(&filter);
    const QStringList &calls = filter.calls;
    const auto at = [&calls](const QString &prefix) {
        for (qsizetype i = 0; i < calls.size(); ++i)
            if (calls[i].startsWith(prefix))
                return i;
        return qsizetype(-1);
    };
    // The band's background, the label's yellow background, its text, its frame (its own background first,
    // then a line per edge), the value right-aligned at its right edge, the shape, the picture, the line
    // control and the band's line over the whole band.
    const qsizetype band = at(QStringLiteral("graphic TQRShape - shape0 brush0"));
    const qsizetype text = at(QStringLiteral("text Caption "));
    ASSERT_GE(band, 0);
    ASSERT_GT(text, band);
    // Left-aligned at its left edge (10 mm into the band, rounded through its pixels), in its own size.
    const QStringList parts = calls[text].split(QLatin1Char(' '));
    EXPECT_NEAR(parts[2].toDouble(), 200, 1);
    EXPECT_EQ(parts.mid(3), (QStringList{"0", "12"}));
    EXPECT_EQ(calls[text - 1], QStringLiteral("graphic TQRShape - shape0 brush0"));
    EXPECT_EQ(calls.mid(text + 1, 3),
              (QStringList{"graphic TQRShape - shape0 brush0", "graphic TQRShape - shape3 brush1",
                           "graphic TQRShape - shape3 brush1"}));
    EXPECT_EQ(calls[text + 4], QStringLiteral("text 42 1100 1 10"));
    EXPECT_EQ(calls.mid(text + 5),
              (QStringList{"graphic TQRShape Box shape0 brush0", "graphic TQRImage Picture",
                           "graphic TQRShape Line shape2 brush0", "graphic TQRShape Line shape2 brush1", "EndPage"}));
}
