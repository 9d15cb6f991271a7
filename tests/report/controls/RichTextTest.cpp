// Rich-text controls in report runs: long documents over pages, the band stretched in steps, what the band
// measures beforehand, data-bound documents, pictures, and what a definition stores.
#include "ControlTestSupport.h"

#include "report/controls/QRImage.h"
#include "report/controls/QRLabel.h"
#include "report/controls/QRRichText.h"
#include "store/Query.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

// Words of a text in order (markup and spacing do not count).
QStringList words(const QString &text) {
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

QStringList words(const QStringList &texts) {
    return words(texts.join(QLatin1Char(' ')));
}

// `count` numbered lines of a few words each: every word of the whole text is different.
QString numberedText(int count, const QString &separator = QStringLiteral("\n")) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("w%1a w%1b w%1c w%1d").arg(i);
    return lines.join(separator);
}

QByteArray png(const QColor &color, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A table file `folder`/memos.db with a memo column BODY, a string column TITLE, one row per body.
void makeMemos(const QString &folder, const QStringList &bodies) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QDir(folder).filePath(QStringLiteral("memos.db")).toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE memos (N INTEGER, TITLE TEXT, BODY MEMO)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt *insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO memos VALUES (?, ?, ?)", -1, &insert, nullptr), SQLITE_OK);
    for (qsizetype i = 0; i < bodies.size(); ++i) {
        const QByteArray body = bodies[i].toUtf8();
        const QByteArray title = QStringLiteral("Title %1").arg(i + 1).toUtf8();
        sqlite3_bind_int(insert, 1, int(i + 1));
        sqlite3_bind_text(insert, 2, title.constData(), int(title.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, body.constData(), int(body.size()), SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
}

// A definition over memos.db: a detail band `bandMm` high holding a TQRDBRichText "Memo" bound to BODY, and a
// summary band with the label "END".
QString memoReport(double bandMm, const QString &richProps, const QString &reportProps = {}) {
    const QString rich = QStringLiteral("<component class=\"TQRDBRichText\" name=\"Memo\">%1%2%3%4</component>")
                             .arg(prop(QStringLiteral("Size.Values"), QStringLiteral("%1 0 0 1800").arg(bandMm * 10)),
                                  prop(QStringLiteral("DataSet"), QStringLiteral("Q")),
                                  prop(QStringLiteral("DataField"), QStringLiteral("BODY")), richProps);
    const QString end = QStringLiteral("<component class=\"TQRLabel\" name=\"End\">%1%2</component>")
                            .arg(prop(QStringLiteral("Caption"), QStringLiteral("END")),
                                 prop(QStringLiteral("Size.Values"), QStringLiteral("50 0 0 300")));
    const QString detail =
        QStringLiteral("<component class=\"TQRBand\" name=\"Detail\">%1%2%3</component>")
            .arg(prop(QStringLiteral("BandType"), QStringLiteral("rbDetail")),
                 prop(QStringLiteral("Size.Values"), QStringLiteral("%1 1900").arg(bandMm * 10)), rich);
    const QString summary = QStringLiteral("<component class=\"TQRBand\" name=\"Summary\">%1%2%3</component>")
                                .arg(prop(QStringLiteral("BandType"), QStringLiteral("rbSummary")),
                                     prop(QStringLiteral("Size.Values"), QStringLiteral("100 1900")), end);
    return reportXml(detail + summary, prop(QStringLiteral("DataSet"), QStringLiteral("Q")) + reportProps,
                     queryXml(QStringLiteral("Q"), QStringLiteral("SELECT N, TITLE, BODY FROM memos ORDER BY N")));
}

// A report built in code with one detail record: a band `bandMm` high below a title band `titleMm` high, and
// a rich-text control as high as the band.
struct RichFixture : ControlFixture {
    RichFixture(double titleMm, double bandMm, const QString &content, bool autoStretch = true) {
        if (titleMm > 0)
            title = band(rbTitle, titleMm);
        detail = band(rbDetail, bandMm);
        rich = add<TQRRichText>(detail, 0, 0, 150, bandMm);
        rich->SetAutoStretch(autoStretch);
        rich->Editor()->SetText(content);
        detail->AfterPrint = [this](TQRCustomBand *band, bool) { extras << band->ExtraHeight; };
    }
    TQRBand *title = nullptr;
    TQRBand *detail;
    TQRRichText *rich;
    QList<double> extras;
};

QStringList flatten(const QList<QStringList> &pages) {
    QStringList all;
    for (const QStringList &page : pages)
        all += page;
    return all;
}

// Where two word lists first differ, or empty when they agree.
QString firstDifference(const QStringList &got, const QStringList &want) {
    for (qsizetype i = 0; i < std::max(got.size(), want.size()); ++i)
        if (got.value(i) != want.value(i))
            return QStringLiteral("word %1: got '%2' after '%3', want '%4'")
                .arg(i)
                .arg(got.value(i), got.value(i - 1), want.value(i));
    return {};
}

int countOf(const QStringList &texts, const QString &word) {
    return int(words(texts).count(word));
}

} // namespace

TEST(RichTextRun, AMemoThreePagesLongPrintsEveryCharacterOnceAcrossPages) {
    const QString plain = numberedText(240);
    QStringList htmlParagraphs;
    for (int i = 1; i <= 60; ++i)
        htmlParagraphs << QStringLiteral("<p>h%1a <b>h%1b</b> h%1c</p>").arg(i);
    const QString html = QStringLiteral("<html><body>") + htmlParagraphs.join(QString()) + "</body></html>";
    LoadedReport run(memoReport(10, prop(QStringLiteral("AutoStretch"), QStringLiteral("True"))),
                     [&](const QString &data) {
                         makeMemos(data, {plain, QStringLiteral("short memo"), html});
                     });
    const QList<QStringList> pages = runPages(*run.report);
    ASSERT_GE(pages.size(), 4);

    // Page by page, the words are the source's in order: nothing lost or doubled at any split.
    QStringList printed = words(flatten(pages));
    printed.removeAll(QStringLiteral("END"));
    QStringList source = words(plain) + words(QStringLiteral("short memo"));
    for (int i = 1; i <= 60; ++i)
        source << QStringLiteral("h%1a").arg(i) << QStringLiteral("h%1b").arg(i) << QStringLiteral("h%1c").arg(i);
    EXPECT_EQ(firstDifference(printed, source), QString());

    // The first memo fills three pages and more: each of its first pages is full of it.
    int splits = 0;
    for (int p = 0; p + 1 < pages.size(); ++p) {
        const QStringList here = words(pages[p]);
        const QStringList there = words(pages[p + 1]);
        if (!here.isEmpty() && !there.isEmpty() && here.last().startsWith('w') && there.first().startsWith('w'))
            ++splits;
    }
    EXPECT_GE(splits, 2);
    EXPECT_EQ(words(pages.last()).last(), QStringLiteral("END"));
}

TEST(RichTextRun, TheBandGrowsInFiftyUnitStepsOnlyUntilTheTextFits) {
    RichFixture f(0, 10, numberedText(12));
    const QList<QStringList> pages = runPages(*f.report);
    ASSERT_EQ(pages.size(), 1);
    ASSERT_EQ(f.extras.size(), 1);
    const double extra = f.extras[0];
    EXPECT_GT(extra, 0);
    EXPECT_EQ(std::fmod(extra, TQRCustomRichText::StretchStep), 0.0);
    // One step less would not hold the text: the grown band is as short as it can be, far from the page's
    // bottom.
    EXPECT_LT(extra, 1000);
    f.rich->Size()->SetHeight(10 + (extra - TQRCustomRichText::StretchStep) / 10);
    f.rich->SetAutoStretch(false);
    const QList<QStringList> cut = runPages(*f.report);
    EXPECT_LT(words(flatten(cut)).size(), words(numberedText(12)).size());
    EXPECT_EQ(words(flatten(pages)), words(numberedText(12)));
    EXPECT_TRUE(f.rich->ContentDone());
}

TEST(RichTextRun, ShortEmptyAndUnstretchedTexts) {
    {
        SCOPED_TRACE("a short text keeps the band's height and finishes");
        RichFixture f(0, 30, QStringLiteral("just a line"));
        const QList<QStringList> pages = runPages(*f.report);
        ASSERT_EQ(pages.size(), 1);
        EXPECT_EQ(words(pages[0]), words(QStringLiteral("just a line")));
        EXPECT_EQ(f.extras, QList<double>{0});
        EXPECT_TRUE(f.rich->ContentDone());
    }
    {
        SCOPED_TRACE("an empty document prints nothing and finishes");
        RichFixture f(0, 30, QString());
        const QList<QStringList> pages = runPages(*f.report);
        ASSERT_EQ(pages.size(), 1);
        EXPECT_TRUE(pages[0].isEmpty());
        EXPECT_EQ(f.extras, QList<double>{0});
        EXPECT_TRUE(f.rich->ContentDone());
        EXPECT_EQ(f.rich->ContinueAt, 0);
    }
    {
        SCOPED_TRACE("without AutoStretch what does not fit is dropped");
        RichFixture f(0, 20, numberedText(100), false);
        const QList<QStringList> pages = runPages(*f.report);
        ASSERT_EQ(pages.size(), 1);
        const QStringList printed = words(pages[0]);
        ASSERT_FALSE(printed.isEmpty());
        EXPECT_EQ(printed, words(numberedText(100)).mid(0, printed.size()));
        EXPECT_LT(printed.size(), 40);
        EXPECT_EQ(f.extras, QList<double>{0});
    }
}

TEST(RichTextRun, APictureTallerThanThePageIsPrintedCutAndTheRunEnds) {
    const QString picture = QString::fromLatin1(png(Qt::red, 200, 2000).toBase64());
    const QString html =
        QStringLiteral("<p>before</p><p><img src=\"data:image/png;base64,%1\"></p><p>after</p>").arg(picture);
    RichFixture f(20, 10, html);
    const QList<QStringList> pages = runPages(*f.report);
    // The picture (2000 pixels: over 500 mm) cannot fit on any page; it takes one page, cut.
    ASSERT_GE(pages.size(), 2);
    ASSERT_LE(pages.size(), 3);
    EXPECT_EQ(countOf(flatten(pages), QStringLiteral("before")), 1);
    EXPECT_EQ(countOf(flatten(pages), QStringLiteral("after")), 1);
    EXPECT_TRUE(f.rich->ContentDone());
    // The cut picture fills its page in red down to the bottom margin and not beyond.
    int red = 0;
    for (int n = 1; n <= pages.size(); ++n) {
        const QImage image = pageImage(*fetchPage(*f.report, n));
        const QColor middle = image.pixelColor(image.width() / 8, image.height() / 2);
        if (middle.red() > 200 && middle.green() < 60)
            ++red;
        EXPECT_NE(image.pixelColor(image.width() / 8, image.height() - 5), QColor(Qt::red));
    }
    EXPECT_EQ(red, 1);
}

TEST(RichTextRun, ContentFromDataLoadsNoFileAndPicturesOnlyFromTheAllowedFolder) {
    TempFolder outside;
    const QString secret = QDir(outside.path()).filePath(QStringLiteral("secret.png"));
    {
        QFile file(secret);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(png(Qt::green, 40, 40));
    }
    LoadedReport run(memoReport(40, {}), [&](const QString &data) {
        const QString body =
            QStringLiteral("<p>text</p><img src=\"file:///etc/passwd\"><img src=\"/etc/passwd\">"
                           "<img src=\"%1\"><img src=\"../data/memos.db\"><img src=\"http://127.0.0.1:9/x.png\">"
                           "<img src=\"link.png\"><img src=\"pics/blue.png\">")
                .arg(secret);
        makeMemos(data, {body});
        QDir(data).mkpath(QStringLiteral("html/pics"));
        QFile blue(QDir(data).filePath(QStringLiteral("html/pics/blue.png")));
        ASSERT_TRUE(blue.open(QIODevice::WriteOnly));
        blue.write(png(Qt::blue, 60, 60));
        QFile::link(secret, QDir(data).filePath(QStringLiteral("html/link.png")));
    });
    auto *memo = run.find<TQRDBRichText>(QStringLiteral("Memo"));
    ASSERT_TRUE(memo);
    const QString html = QDir(run.folder.path()).filePath(QStringLiteral("data/html"));

    // Without a folder, no picture at all.
    ASSERT_EQ(runPages(*run.report).size(), 1);
    EXPECT_TRUE(memo->Editor()->Range().document()->loadedImages().isEmpty());
    EXPECT_TRUE(memo->Editor()->Range().document()->refusedResources().contains("file:///etc/passwd"));

    // With the folder allowed: only the picture inside it, not through a link out of it.
    memo->SetImageFolder(html);
    const QList<QStringList> pages = runPages(*run.report);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(words(pages[0]), (QStringList{QStringLiteral("text"), QStringLiteral("END")}));
    auto *document = memo->Editor()->Range().document();
    EXPECT_EQ(document->loadedImages(), QStringList{QStringLiteral("pics/blue.png")});
    QStringList refused = document->refusedResources();
    refused.sort();
    QStringList expected{QStringLiteral("../data/memos.db"),
                         QStringLiteral("/etc/passwd"),
                         secret,
                         QStringLiteral("file:///etc/passwd"),
                         QStringLiteral("http://127.0.0.1:9/x.png"),
                         QStringLiteral("link.png")};
    expected.sort();
    EXPECT_EQ(refused, expected);
    // The page shows blue and no green.
    const QImage image = pageImage(*fetchPage(*run.report, 1));
    int blue = 0;
    int green = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            blue += c == QColor(Qt::blue);
            green += c == QColor(Qt::green);
        }
    EXPECT_GT(blue, 100);
    EXPECT_EQ(green, 0);
}

TEST(RichTextMeasure, TheBandForeseesTheHeightAPrintStretchesTo) {
    RichFixture f(0, 10, numberedText(30));
    f.rich->Size()->SetTop(4);
    f.detail->Size()->SetHeight(20);
    // Printed: how far the band grew.
    ASSERT_EQ(runPages(*f.report).size(), 1);
    ASSERT_EQ(f.extras.size(), 1);
    const double printedBottom = 40 + 100 + f.extras[0]; // the control's top, height and stretch, native
    // Foreseen: the band's measure agrees within a pixel of the screen (a height in screen pixels read back).
    const double needed = f.detail->MeasureNeededHeight();
    const double gap = (f.detail->Height() - f.rich->Top() - f.rich->Height() + 1) / 0.37795;
    EXPECT_NEAR(needed - gap, printedBottom, 3.0);
    EXPECT_GT(needed, 500); // a screen-pixel answer scaled once more would read as a third of that

    // A text shorter than its control needs no more than the band.
    f.rich->Editor()->SetText(QStringLiteral("short"));
    EXPECT_DOUBLE_EQ(f.detail->MeasureNeededHeight(), 200);
    // Nothing at all: the same.
    f.rich->Editor()->SetText(QString());
    EXPECT_DOUBLE_EQ(f.detail->MeasureNeededHeight(), 200);
}

TEST(RichTextMeasure, ABandKeptOnOnePageMovesWholeToTheNextPage) {
    // About 100 mm of text below a 200-mm title: 77 mm are left on the first page.
    RichFixture f(200, 10, numberedText(24));
    double height = 0;
    f.rich->GetExpandedHeight(height);
    ASSERT_GT(height / 0.37795, 850);
    ASSERT_LT(height / 0.37795, 2000);
    f.detail->SetKeepOnOnePage(true);
    const QList<QStringList> pages = runPages(*f.report);
    ASSERT_EQ(pages.size(), 2);
    EXPECT_TRUE(pages[0].isEmpty());
    EXPECT_EQ(words(pages[1]), words(numberedText(24)));

    // Not kept together, the same text splits over the two pages.
    f.detail->SetKeepOnOnePage(false);
    const QList<QStringList> split = runPages(*f.report);
    ASSERT_EQ(split.size(), 2);
    EXPECT_FALSE(split[0].isEmpty());
    EXPECT_EQ(words(flatten(split)), words(numberedText(24)));
}

TEST(DBRichText, FieldsByKindAndAReopenedDataSet) {
    LoadedReport run(memoReport(40, {}), [&](const QString &data) {
        makeMemos(data, {QStringLiteral("<p>first <i>memo</i></p>"), QStringLiteral("second memo")});
    });
    auto *memo = run.find<TQRDBRichText>(QStringLiteral("Memo"));
    auto *query = run.find<TQuery>(QStringLiteral("Q"));
    ASSERT_TRUE(memo && query);
    memo->Editor()->SetText(QStringLiteral("design text"));
    OnePage page(*run.report);

    // A memo field loads the document and leaves the text alone.
    QString text = QStringLiteral("unchanged");
    memo->GetFieldString(text);
    EXPECT_EQ(text, QStringLiteral("unchanged"));
    EXPECT_EQ(memo->Editor()->Text(), QStringLiteral("<p>first <i>memo</i></p>"));

    // The data set reopened frees its fields: the control finds the new one and follows the record.
    query->Close();
    query->Open();
    query->Next();
    memo->Print(0, 0);
    EXPECT_EQ(memo->Editor()->Text(), QStringLiteral("second memo"));

    // A string field is not loaded; its display text is the answer.
    memo->SetDataField(QStringLiteral("TITLE"));
    memo->GetFieldString(text);
    EXPECT_EQ(text, QStringLiteral("Title 2"));
    EXPECT_EQ(memo->Editor()->Text(), QStringLiteral("second memo"));

    // No such field: an empty text, and the document is what it was.
    memo->SetDataField(QStringLiteral("NOPE"));
    memo->GetFieldString(text);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(memo->Editor()->Text(), QStringLiteral("second memo"));

    // The data set gone, nothing dangles.
    memo->SetDataField(QStringLiteral("BODY"));
    delete query;
    EXPECT_EQ(memo->DataSet(), nullptr);
    EXPECT_EQ(memo->Field(), nullptr);
    memo->Print(0, 0);
    const QStringList texts = pageTexts(*page.finish());
    EXPECT_EQ(countOf(texts, QStringLiteral("second")), 2);
}

TEST(RichTextRun, ASourceEditorIsPrintedAndMeasuredInsteadOfTheOwn) {
    RichFixture f(0, 10, QStringLiteral("own text"));
    TQRRichEdit other(&f.root);
    other.setObjectName(QStringLiteral("Other"));
    other.SetText(numberedText(20));
    f.rich->SetSourceRichEdit(&other);
    double height = 0;
    f.rich->GetExpandedHeight(height);
    EXPECT_GT(height, 200);
    const QList<QStringList> pages = runPages(*f.report);
    EXPECT_EQ(words(flatten(pages)), words(numberedText(20)));
    f.rich->SetSourceRichEdit(nullptr);
    EXPECT_EQ(words(flatten(runPages(*f.report))), words(QStringLiteral("own text")));
}

TEST(RichTextStreaming, ADefinitionKeepsTheControlsAndTheirDocument) {
    const QString xml = reportXml(
        QStringLiteral("<component class=\"TQRBand\" name=\"D\">%1%2"
                       "<component class=\"TQRRichText\" name=\"Fixed\">%3%4%5%6%7</component>"
                       "<component class=\"TQRDBRichText\" name=\"Bound\">%8%9</component></component>")
            .arg(prop(QStringLiteral("BandType"), QStringLiteral("rbDetail")),
                 prop(QStringLiteral("Size.Values"), QStringLiteral("100 1900")),
                 prop(QStringLiteral("Lines"), QStringLiteral("<item>&lt;p&gt;one&lt;/p&gt;</item><item>two</item>")),
                 prop(QStringLiteral("AutoStretch"), QStringLiteral("True")),
                 prop(QStringLiteral("Alignment"), QStringLiteral("taCenter")),
                 prop(QStringLiteral("Font.Size"), QStringLiteral("14")),
                 prop(QStringLiteral("SourceRichEdit"), QStringLiteral("Shared")),
                 prop(QStringLiteral("DataSet"), QStringLiteral("Q")),
                 prop(QStringLiteral("DataField"), QStringLiteral("BODY"))),
        {},
        QStringLiteral("<component class=\"TQRRichEdit\" name=\"Shared\">%1</component>")
                .arg(prop(QStringLiteral("Lines"), QStringLiteral("<item>shared</item>"))) +
            queryXml(QStringLiteral("Q"), QStringLiteral("SELECT N, BODY FROM memos")));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        LoadedReport run(
            round == 0
                ? xml
                : writeText(LoadedReport(xml, [](const QString &data) { makeMemos(data, {QStringLiteral("m")}); })
                                .root.get()),
            [](const QString &data) { makeMemos(data, {QStringLiteral("m")}); });
        auto *fixed = run.find<TQRRichText>(QStringLiteral("Fixed"));
        auto *bound = run.find<TQRDBRichText>(QStringLiteral("Bound"));
        ASSERT_TRUE(fixed && bound);
        EXPECT_EQ(fixed->Lines(), (QStringList{QStringLiteral("<p>one</p>"), QStringLiteral("two")}));
        EXPECT_TRUE(fixed->AutoStretch());
        EXPECT_EQ(fixed->Alignment(), taCenter);
        EXPECT_EQ(fixed->Font()->Size(), 14);
        ASSERT_TRUE(fixed->SourceRichEdit());
        EXPECT_EQ(fixed->SourceRichEdit()->Text(), QStringLiteral("shared"));
        EXPECT_EQ(bound->DataSet(), run.find<TQuery>(QStringLiteral("Q")));
        EXPECT_EQ(bound->DataField(), QStringLiteral("BODY"));
        EXPECT_FALSE(bound->AutoStretch());
        EXPECT_TRUE(bound->Lines().isEmpty());
    }
}

TEST(RichTextRun, AnExportHandsEachPrintedPartOverAsAPicture) {
    LoadedReport run(memoReport(10, prop(QStringLiteral("AutoStretch"), QStringLiteral("True"))),
                     [&](const QString &data) {
                         makeMemos(data, {numberedText(190), QStringLiteral("short")});
                     });
    run.trace();
    const QStringList &calls = run.filter.calls;
    QStringList pictures;
    for (const QString &call : calls)
        if (call.startsWith(QStringLiteral("PutGraphic Memo_")))
            pictures << call.section(QLatin1Char(' '), 1, 1);
    // The long memo's three page parts and the short one: a picture for every part, each its own.
    EXPECT_EQ(pictures.size(), 4) << calls.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(QSet<QString>(pictures.begin(), pictures.end()).size(), pictures.size());
}
