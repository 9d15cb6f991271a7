// Labels, expressions, shapes and images printed on a real printer page; what the page recorded is read back.
#include "ControlTestSupport.h"

#include "printer/drawing/EmfFormat.h"
#include "report/controls/ControlMessages.h"
#include "report/controls/QRExpression.h"
#include "report/controls/QRImage.h"
#include "report/controls/QRLabel.h"
#include "report/controls/QRShape.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace emf;

namespace {

// The label's pixel width set so that exactly `text` fits on a line (and one pixel more does not).
void fitWidthTo(TQRCustomLabel &label, const QString &text) {
    label.SetBounds(label.Left(), label.Top(), label.MeasureText(text), label.Height());
}

TQRLabel *label(ControlFixture &f, TQRControl *parent, const QString &caption, bool autoSize = false) {
    auto *l = f.add<TQRLabel>(parent, 10, 5, 80, 20);
    l->SetAutoSize(autoSize);
    l->SetCaption(caption);
    return l;
}

// The integers of a record after its type and size.
QList<qint32> recordInts(const EmfRecord &record) {
    QList<qint32> out;
    for (quint32 at = 8; at + 4 <= record.size; at += 4)
        out << qFromLittleEndian<qint32>(record.data + at);
    return out;
}

// Every record of the given types, with its parameters.
QList<QPair<quint32, QList<qint32>>> records(const TMetafile &page, const QList<quint32> &types) {
    QList<QPair<quint32, QList<qint32>>> out;
    page.Enumerate([&](const EmfRecord &record) {
        if (types.contains(record.type))
            out << qMakePair(record.type, recordInts(record));
        return true;
    });
    return out;
}

QByteArray bitmapBytes(const QImage &image, int dotsPerMeter = 0) {
    QImage copy = image;
    if (dotsPerMeter) {
        copy.setDotsPerMeterX(dotsPerMeter);
        copy.setDotsPerMeterY(dotsPerMeter);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    copy.save(&buffer, "BMP");
    return bytes;
}

} // namespace

TEST(LabelPrint, LinesFillTheWidthAndPrintOneUnderTheOther) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 60);
    TQRLabel *words = label(f, band, QStringLiteral("one two three"));
    fitWidthTo(*words, QStringLiteral("one two "));
    EXPECT_EQ(words->OutputLines, (QStringList{"one two ", "three"}));
    TQRLabel *hyphen = label(f, band, QStringLiteral("well-known"));
    fitWidthTo(*hyphen, QStringLiteral("known"));
    EXPECT_EQ(hyphen->OutputLines, (QStringList{"well-", "known"}));
    // A word wider than the label keeps its leading characters; the rest is not printed anywhere.
    TQRLabel *wide = label(f, band, QStringLiteral("abcdefghijkl"));
    fitWidthTo(*wide, QStringLiteral("abcd"));
    EXPECT_EQ(wide->OutputLines, (QStringList{"abc"})); // what stays narrower than the width
    TQRLabel *breaks = label(f, band, QStringLiteral("a\r\nb\nc\r\rd"));
    EXPECT_EQ(breaks->OutputLines, (QStringList{"a", "bc", "", "d"}));

    OnePage page(*f.report);
    words->Print(0, 0);
    hyphen->Print(0, 300);
    breaks->Print(0, 400);
    const QList<PlacedText> texts = placedTexts(*page.finish());
    ASSERT_EQ(texts.size(), 7);
    QStringList all;
    for (const PlacedText &t : texts)
        all << t.text;
    // The empty line draws nothing; "d" still comes a line lower than "bc".
    EXPECT_EQ(all, (QStringList{"one two ", "three", "well-", "known", "a", "bc", "d"}));
    const double step = texts[1].at.y() - texts[0].at.y();
    EXPECT_GT(step, 5);
    EXPECT_DOUBLE_EQ(texts[0].at.x(), texts[1].at.x());
    EXPECT_DOUBLE_EQ(texts[3].at.y() - texts[2].at.y(), step);
    EXPECT_DOUBLE_EQ(texts[6].at.y() - texts[5].at.y(), 2 * step);
    // The label's left edge on the page: 10 mm from the band's left, at 96 pixels per inch.
    EXPECT_NEAR(texts[0].at.x(), 100 * 96 / 254.0, 1);
}

TEST(LabelPrint, AutoSizeWidensToOneLineAndKeepsTheEdgeItIsAlignedTo) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 30);
    TQRLabel *right = label(f, band, QString(), true);
    right->SetAlignment(taRightJustify);
    right->SetBounds(300, 5, 40, right->Height());
    right->SetCaption(QStringLiteral("One two three"));
    EXPECT_EQ(right->OutputLines, (QStringList{"One two three"}));
    EXPECT_EQ(right->Width(), right->MeasureText(QStringLiteral("One two three")));
    EXPECT_EQ(right->Left() + right->Width(), 340);

    TQRLabel *centre = label(f, band, QString(), true);
    centre->SetAlignment(taCenter);
    centre->SetBounds(300, 5, 41, centre->Height());
    centre->SetCaption(QStringLiteral("One two three"));
    const int grown = centre->Width() - 41;
    EXPECT_EQ(centre->Left(), 300 - grown / 2);

    // Whatever the width it was given, a self-sizing label never wraps.
    TQRLabel *left = label(f, band, QString(), true);
    left->SetBounds(10, 5, 3, left->Height());
    left->SetCaption(QStringLiteral("One two three"));
    EXPECT_EQ(left->Left(), 10);
    EXPECT_EQ(left->OutputLines.size(), 1);

    // Printed, a right-aligned line ends at the label's right edge.
    OnePage page(*f.report);
    right->Print(0, 0);
    TQRPrinter &printer = page.printer();
    const double rightEdge = printer.ToDeviceX(right->Size()->NativeValue(1) + right->Size()->NativeValue(3));
    QFont font = right->Font()->ToQFont();
    const QList<PlacedText> texts = placedTexts(*page.finish());
    ASSERT_EQ(texts.size(), 1);
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(rnd(96 / 0.0254));
    device.setDotsPerMeterY(rnd(96 / 0.0254));
    EXPECT_NEAR(texts[0].at.x() + QFontMetricsF(font, &device).horizontalAdvance(texts[0].text), rightEdge, 1);
}

TEST(LabelPrint, ALabelTwoLinesHighWithoutAutoStretchPrintsTwoOfItsFiveLines) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 60);
    TQRLabel *five = label(f, band, QStringLiteral("L1\rL2\rL3\rL4\rL5"));
    five->SetBounds(five->Left(), five->Top(), 200, 2 * five->LineHeightPixels());
    OnePage page(*f.report);
    five->Print(0, 0);
    EXPECT_TRUE(five->ContentDone()); // the rest is dropped, not continued
    five->Print(0, 500);              // a new print starts from the first line again
    EXPECT_EQ(pageTexts(*page.finish()), (QStringList{"L1", "L2", "L1", "L2"}));
}

TEST(LabelPrint, OnPrintChangesTheTextOfOnePrintOnly) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 60);
    TQRLabel *l = label(f, band, QStringLiteral("caption"), true);
    int calls = 0;
    l->OnPrint = [&calls](TQRCustomLabel *, QString &text) {
        if (++calls == 1)
            text = QStringLiteral("changed ") + text;
    };
    OnePage page(*f.report);
    l->Print(0, 0);
    EXPECT_EQ(l->PrintText, QStringLiteral("caption"));
    l->Print(0, 100);
    EXPECT_EQ(pageTexts(*page.finish()), (QStringList{"changed caption", "caption"}));
    EXPECT_EQ(calls, 2);
}

TEST(LabelPrint, BackgroundAndFrameAreDrawnUnlessTransparent) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 60);
    TQRLabel *filled = label(f, band, QString());
    filled->SetColor(QColor(255, 0, 0));
    filled->Frame()->SetDrawTop(true);
    filled->Frame()->SetDrawLeft(true);
    filled->Frame()->SetDrawRight(true);
    filled->Frame()->SetDrawBottom(true);
    filled->Frame()->SetWidth(2);
    filled->Frame()->SetColor(QColor(0, 0, 255));
    TQRLabel *clear = label(f, band, QString());
    clear->SetColor(QColor(255, 0, 0));
    clear->SetTransparent(true);
    clear->Size()->SetLeft(100);

    OnePage page(*f.report);
    filled->Print(0, 0);
    clear->Print(0, 0);
    const QImage image = pageImage(*page.finish());
    // 10 mm from the left, 5 mm down, 80 x 20 mm: the middle is red, the edges blue; the transparent one left
    // the page white.
    const auto px = [](double mm) { return int(mm * 96 / 25.4); };
    EXPECT_EQ(image.pixel(px(50), px(15)), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(px(50), px(5) + 1), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(px(10) + 1, px(15)), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(px(140), px(15)), qRgb(255, 255, 255));
}

TEST(LabelPrint, TextTakesTheFontsColourWhateverDrewBefore) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 60);
    auto *shape = f.add<TQRShape>(band, 10, 5, 80, 20);
    shape->Pen()->SetColor(QColor(0, 0, 255));
    // A rounded rectangle goes to the page recording beside the painter: its pen must not stay behind either.
    auto *rounded = f.add<TQRShape>(band, 10, 5, 80, 20);
    rounded->SetShape(qrsRoundRect);
    rounded->Pen()->SetColor(QColor(255, 0, 0));
    TQRLabel *plain = label(f, band, QStringLiteral("black"), true);
    TQRLabel *green = label(f, band, QStringLiteral("green"), true);
    green->Font()->SetColor(QColor(0, 128, 0));
    // Transparent: no background fill between the shapes and the text.
    plain->SetTransparent(true);
    green->SetTransparent(true);
    OnePage page(*f.report);
    shape->Print(0, 0);
    plain->Print(0, 0);
    green->Print(0, 100);
    plain->Print(0, 150);
    rounded->Print(0, 200);
    plain->Print(0, 200);
    // The colour in force at each text record (COLORREF: red in the low byte).
    QList<quint32> colours;
    quint32 current = 0;
    page.finish()->Enumerate([&](const EmfRecord &record) {
        if (record.type == EMR_SETTEXTCOLOR)
            current = qFromLittleEndian<quint32>(record.data + 8);
        else if (record.isText())
            colours << current;
        return true;
    });
    EXPECT_EQ(colours, (QList<quint32>{0x000000, 0x008000, 0x000000, 0x000000}));
}

TEST(ExprPrint, EachKindOfValuePrintsItsText) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 100);
    const QList<QPair<QString, QString>> cases{
        {QStringLiteral("1234.5"), QStringLiteral("#,##0.00")},
        {QStringLiteral("1234"), QStringLiteral("#,##0.00")},
        {QStringLiteral("7 > 2"), QString()},
        {QStringLiteral("'text'"), QStringLiteral("0.00")},
        {QStringLiteral("NOSUCHTHING"), QString()},
        {QString(), QString()},
    };
    QList<TQRExpr *> exprs;
    for (const auto &[expression, mask] : cases) {
        auto *e = f.add<TQRExpr>(band, 10, 5 + 8 * exprs.size(), 150, 7);
        e->SetAutoSize(false);
        e->SetExpression(expression);
        e->SetMask(mask);
        exprs << e;
    }
    EXPECT_EQ(exprs.last()->CaptionText(), QStringLiteral("(none)"));
    EXPECT_EQ(exprs.first()->CaptionText(), QStringLiteral("1234.5"));
    OnePage page(*f.report);
    for (TQRExpr *e : exprs)
        e->Print(0, 0);
    const QStringList texts = pageTexts(*page.finish());
    ASSERT_EQ(texts.size(), 6);
    EXPECT_EQ(texts[0], loc("1,234.50"));
    EXPECT_EQ(texts[1], loc("1,234.00"));
    EXPECT_EQ(texts[2], QStringLiteral("True"));
    EXPECT_EQ(texts[3], QStringLiteral("text"));
    EXPECT_TRUE(texts[4].contains(QStringLiteral("NOSUCHTHING"))) << texts[4].toStdString();
    EXPECT_EQ(texts[5], QStringLiteral(" ")); // an empty expression is a single blank
    // After the run the caption shows the expression again.
    EXPECT_EQ(exprs.first()->PrintText, QStringLiteral("1234.5"));
}

TEST(ExprPrint, MoneyMasksAreFormattedSafelyAndOnlyForFloats) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 100);
    const QList<QPair<QString, QString>> cases{
        {QStringLiteral("2.5"), QStringLiteral("%m")},
        {QStringLiteral("7"), QStringLiteral("0.00 %m")},
        // Masks that would make a printf-style routine read arguments that are not there, or write through
        // them: they print the general format.
        {QStringLiteral("2.5"), QStringLiteral("%m %s %s %s %n")},
        {QStringLiteral("2.5"), QStringLiteral("%m%m")},
        {QStringLiteral("2.5"), QStringLiteral("%m %99999999m")},
        {QStringLiteral("2.5"), QStringLiteral("%m %.99m")},
        {QStringLiteral("2.5"), QStringLiteral("%m%")},
    };
    QList<TQRExpr *> exprs;
    for (const auto &[expression, mask] : cases) {
        auto *e = f.add<TQRExpr>(band, 10, 5 + 8 * exprs.size(), 150, 7);
        e->SetExpression(expression);
        e->SetMask(mask);
        exprs << e;
    }
    OnePage page(*f.report);
    for (TQRExpr *e : exprs)
        e->Print(0, 0);
    const QStringList texts = pageTexts(*page.finish());
    ASSERT_EQ(texts.size(), cases.size());
    EXPECT_EQ(texts[0], QLocale::system().toCurrencyString(2.5));
    EXPECT_EQ(texts[1], loc("7.00 %m"));
    for (int i = 2; i < cases.size(); ++i)
        EXPECT_EQ(texts[i], loc("2.5")) << cases[i].second.toStdString();
}

TEST(ShapePrint, EachFigureIsDrawnInTheControlsBox) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 100);
    QList<TQRShape *> shapes;
    for (int type = qrsRectangle; type <= qrsRightDiagonal; ++type) {
        auto *s = f.add<TQRShape>(band, 10 + 20 * (type % 9), 10, 15, 10);
        s->SetShape(TQRShapeType(type));
        s->SetRoundFactor(0.25);
        s->Pen()->SetWidth(3);
        shapes << s;
    }
    OnePage page(*f.report);
    TQRPrinter &printer = page.printer();
    for (TQRShape *s : shapes)
        s->Print(0, 0);
    const auto drawn = records(*page.finish(), {EMR_RECTANGLE, EMR_ELLIPSE, EMR_ROUNDRECT, EMR_MOVETOEX, EMR_LINETO});
    const auto box = [&](int i) {
        const double left = 100 + 200 * i;
        return QList<qint32>{printer.ToDeviceX(left), printer.ToDeviceY(100), printer.ToDeviceX(left + 150),
                             printer.ToDeviceY(200)};
    };
    const auto line = [](qint32 x0, qint32 y0, qint32 x1, qint32 y1) {
        return QList<QPair<quint32, QList<qint32>>>{{EMR_MOVETOEX, {x0, y0}}, {EMR_LINETO, {x1, y1}}};
    };
    QList<QPair<quint32, QList<qint32>>> expected;
    expected << qMakePair(quint32(EMR_RECTANGLE), box(0));
    expected << qMakePair(quint32(EMR_ELLIPSE), box(1));
    const int xm = printer.ToDeviceX(100 + 200 * 2 + 75);
    expected << line(xm, box(2)[1], xm, box(2)[3]);
    const int ym = printer.ToDeviceY(150);
    expected << line(box(3)[0], ym, box(3)[2], ym);
    expected << line(box(4)[0], box(4)[1], box(4)[2], box(4)[1]) << line(box(4)[0], box(4)[3], box(4)[2], box(4)[3]);
    expected << line(box(5)[0], box(5)[1], box(5)[0], box(5)[3]) << line(box(5)[2], box(5)[1], box(5)[2], box(5)[3]);
    // The corner: a quarter of the control's width in screen pixels.
    const int corner = int(shapes[6]->Width() * 0.25);
    expected << qMakePair(quint32(EMR_ROUNDRECT), box(6) + QList<qint32>{corner, corner});
    expected << line(box(7)[2], box(7)[1], box(7)[0], box(7)[3]);
    expected << line(box(8)[0], box(8)[1], box(8)[2], box(8)[3]);
    EXPECT_EQ(drawn, expected);
}

TEST(ShapePrint, TopAndBottomOfHeightZeroDrawsOneLineTwice) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 100);
    auto *s = f.add<TQRShape>(band, 10, 10, 50, 0);
    s->SetShape(qrsTopAndBottom);
    auto *flat = f.add<TQRShape>(band, 10, 30, 50, 0);
    flat->SetShape(qrsRectangle);
    OnePage page(*f.report);
    s->Print(0, 0);
    flat->Print(0, 0); // a box without height has nothing to outline
    const auto drawn = records(*page.finish(), {EMR_RECTANGLE, EMR_MOVETOEX, EMR_LINETO});
    ASSERT_EQ(drawn.size(), 4);
    EXPECT_EQ(drawn[0], drawn[2]);
    EXPECT_EQ(drawn[1], drawn[3]);
    EXPECT_EQ(drawn[0].second[1], drawn[1].second[1]);
}

TEST(ImagePrint, APictureLargerThanAnUnstretchedControlIsCutToIt) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 100);
    QImage green(400, 400, QImage::Format_RGB32);
    green.fill(QColor(0, 160, 0));
    auto *cut = f.add<TQRImage>(band, 20, 20, 30, 30);
    cut->LoadPicture(bitmapBytes(green));
    ASSERT_TRUE(cut->PictureError().isEmpty());
    // The same picture stretched into a small control, and centred in a large one.
    auto *stretched = f.add<TQRImage>(band, 100, 20, 10, 10);
    stretched->SetStretch(true);
    stretched->LoadPicture(bitmapBytes(green));
    QImage blue(96, 96, QImage::Format_RGB32); // one inch at 96 pixels per inch, half an inch at 192
    blue.fill(QColor(0, 0, 200));
    auto *centred = f.add<TQRImage>(band, 100, 40, 50, 50);
    centred->SetCenter(true);
    centred->LoadPicture(bitmapBytes(blue, rnd(192 / 0.0254)));

    OnePage page(*f.report);
    cut->Print(0, 0);
    stretched->Print(0, 0);
    centred->Print(0, 0);
    const QImage image = pageImage(*page.finish());
    const auto px = [](double mm) { return int(std::lround(mm * 96 / 25.4)); };
    const QRgb g = qRgb(0, 160, 0), b = qRgb(0, 0, 200), w = qRgb(255, 255, 255);
    EXPECT_EQ(image.pixel(px(20) + 1, px(20) + 1), g);
    EXPECT_EQ(image.pixel(px(50) - 2, px(50) - 2), g);
    // Nothing beyond the control's right or bottom edge, though the picture is 400 pixels wide.
    EXPECT_EQ(image.pixel(px(50) + 2, px(30)), w);
    EXPECT_EQ(image.pixel(px(30), px(50) + 2), w);
    EXPECT_EQ(image.pixel(px(105), px(25)), g);
    EXPECT_EQ(image.pixel(px(110) + 2, px(25)), w);
    // Half an inch (12.7 mm) in the middle of 50 mm: 18.65 mm to 31.35 mm from the control's corner.
    EXPECT_EQ(image.pixel(px(125), px(65)), b);
    EXPECT_EQ(image.pixel(px(100 + 17), px(65)), w);
    EXPECT_EQ(image.pixel(px(100 + 33), px(65)), w);
    EXPECT_EQ(image.pixel(px(125), px(40 + 17)), w);
}

TEST(ImagePrint, ADamagedPictureDrawsNothingAndIsReportedOncePerRun) {
    ControlFixture f;
    TQRBand *band = f.band(rbDetail, 100);
    QStringList messages;
    const auto previous =
        qrcontrols::SetControlMessageHandler([&messages](const QString &message) { messages << message; });
    QByteArray jpeg("\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xdb", 22);
    jpeg += QByteArray(300, '\x7f');
    auto *broken = f.add<TQRImage>(band, 20, 20, 30, 30);
    broken->Frame()->SetDrawTop(true);
    broken->LoadPicture(jpeg);
    EXPECT_TRUE(broken->Picture().IsNull());
    EXPECT_FALSE(broken->PictureError().isEmpty());
    {
        OnePage page(*f.report);
        for (int i = 0; i < 5; ++i)
            broken->Print(0, 100 * i);
        const QList<quint32> types = recordTypes(*page.finish());
        EXPECT_FALSE(types.contains(EMR_STRETCHDIBITS));
    }
    EXPECT_EQ(messages.size(), 1);
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages[0].startsWith(broken->objectName() + QStringLiteral(": "))) << messages[0].toStdString();
    qrcontrols::SetControlMessageHandler(previous);
}
