// Laying out rich text range by range: long texts split over rectangles, the untrusted content rules, and
// objects taller than any rectangle.
#include "report/controls/RichEditRange.h"

#include "printer/drawing/Metafile.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

using qrcontrols::RichEditRange;

namespace {

constexpr int kDpi = 300;
// Six inches by three, in twips.
const QRect kRect(0, 0, 6 * 1440, 3 * 1440);

QString withoutBlanks(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

// The printed characters are the source's, in order: where they part, and what each has there.
::testing::AssertionResult sameCharacters(const QString &printed, const QString &source) {
    const QString a = withoutBlanks(printed);
    const QString b = withoutBlanks(source);
    if (a == b)
        return ::testing::AssertionSuccess();
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return ::testing::AssertionFailure() << "differ at " << i << " of " << b.size() << ": printed \""
                                         << a.mid(std::max<qsizetype>(i - 20, 0), 60).toStdString() << "\", source \""
                                         << b.mid(std::max<qsizetype>(i - 20, 0), 60).toStdString() << "\"";
}

// One rectangle printed on a page recording of its own.
struct Page {
    RichEditRange::Result result;
    QString text; // every text record, in order
};

Page printPage(RichEditRange &range, int first, const QRect &rect = kRect, bool force = false) {
    TMetafile page(6 * kDpi, 4 * kDpi, kDpi, kDpi);
    Page printed;
    {
        TMetafileCanvas canvas(page);
        RichEditRange::Request request;
        request.device = canvas->device();
        request.painter = &canvas.Painter();
        request.rect = rect;
        request.first = first;
        request.forceFirstLine = force;
        printed.result = range.FormatRange(request);
    }
    for (const auto &run : page.Texts())
        printed.text += run.text;
    return printed;
}

RichEditRange::Result measure(RichEditRange &range, int first, const QRect &rect = kRect, int dpi = kDpi) {
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(qRound(dpi / 0.0254));
    device.setDotsPerMeterY(qRound(dpi / 0.0254));
    RichEditRange::Request request;
    request.device = &device;
    request.rect = rect;
    request.first = first;
    return range.FormatRange(request);
}

// Prints the whole document rectangle by rectangle as a stretching control would; the texts of the pages.
QStringList printAll(RichEditRange &range, std::vector<int> *starts = nullptr) {
    QStringList pages;
    int first = 0;
    for (int guard = 0; guard < 200; ++guard) {
        if (starts)
            starts->push_back(first);
        const Page page = printPage(range, first);
        EXPECT_EQ(page.result.next, measure(range, first).next) << "drawing and measuring differ";
        EXPECT_LE(page.result.heightTwips, kRect.height());
        EXPECT_FALSE(page.result.clipped);
        pages << page.text;
        if (page.result.next == RichEditRange::AllFits)
            return pages;
        EXPECT_GT(page.result.next, first) << "no progress";
        if (page.result.next <= first)
            return pages;
        first = page.result.next;
    }
    ADD_FAILURE() << "never finished";
    return pages;
}

QString numberedText(int paragraphs, int words) {
    QString text;
    int n = 0;
    for (int p = 0; p < paragraphs; ++p) {
        for (int w = 0; w < words; ++w)
            text += QStringLiteral("w%1 ").arg(n++, 4, 10, QLatin1Char('0'));
        text += QLatin1Char('\n');
    }
    return text;
}

RichEditRange::Result measureAll(RichEditRange &range) {
    return measure(range, 0, QRect(0, 0, 6 * 1440, 1000 * 1440));
}

void writePng(const QString &path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(path, "PNG"));
}

} // namespace

TEST(RichEditRange, ALongTextSplitsWithNoCharacterLostOrDoubled) {
    RichEditRange range;
    range.document()->setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    const QString source = numberedText(30, 40);
    range.SetContent(source);
    ASSERT_EQ(range.TextLength(), source.size()); // the last line feed starts an empty paragraph

    std::vector<int> starts;
    const QStringList pages = printAll(range, &starts);
    EXPECT_GE(pages.size(), 3);
    EXPECT_TRUE(sameCharacters(pages.join(QString()), source));
    // Every page starts where a line starts: at a word.
    for (int start : starts)
        EXPECT_TRUE(start == 0 || source[start] == QLatin1Char('w')) << start;

    // The same in a rectangle placed elsewhere on the page, and for a rich document with a list, headings
    // and a table whose rows are kept whole.
    QString html = QStringLiteral("<h1>Bevezet\u00e9s</h1><p>") + numberedText(3, 60) +
                   QStringLiteral("</p><ul><li>egy</li><li>kett\u0151</li></ul><table border=1>");
    for (int r = 0; r < 60; ++r)
        html += QStringLiteral("<tr><td>r%1a</td><td>r%1b<br>r%1c</td><td>r%1d</td></tr>").arg(r);
    html += QStringLiteral("</table><p>v\u00e9ge</p>");
    range.SetContent(html);
    const QString plain = range.document()->toPlainText();
    const QStringList richPages = printAll(range);
    EXPECT_GE(richPages.size(), 3);
    EXPECT_TRUE(sameCharacters(richPages.join(QString()), plain));
    for (const QString &page : richPages) {
        // A row is printed whole: its first cell and its last on the same page.
        static const QRegularExpression firstCell(QStringLiteral("r(\\d+)a"));
        for (auto match = firstCell.globalMatch(page); match.hasNext();) {
            const QString row = match.next().captured(1);
            EXPECT_TRUE(page.contains(QStringLiteral("r%1d").arg(row))) << row.toStdString();
        }
    }
}

TEST(RichEditRange, ShortEmptyAndFinishedRanges) {
    RichEditRange range;
    EXPECT_EQ(range.TextLength(), 0);
    const Page empty = printPage(range, 0);
    EXPECT_EQ(empty.result.next, RichEditRange::AllFits);
    EXPECT_EQ(empty.result.heightTwips, 0);
    EXPECT_TRUE(empty.text.isEmpty());

    range.SetContent(QStringLiteral("Egy r\u00f6vid sor."));
    const Page small = printPage(range, 0);
    EXPECT_EQ(small.result.next, RichEditRange::AllFits);
    EXPECT_EQ(small.result.firstLineEnd, RichEditRange::AllFits);
    EXPECT_GT(small.result.heightTwips, 0);
    EXPECT_LT(small.result.heightTwips, 1440);
    EXPECT_EQ(small.text, QStringLiteral("Egy r\u00f6vid sor."));
    // Asked from the end, or beyond it, nothing is left.
    EXPECT_EQ(printPage(range, range.TextLength()).result.next, RichEditRange::AllFits);
    EXPECT_TRUE(printPage(range, 10000).text.isEmpty());

    // HTML is recognised; other text is taken as it stands.
    range.SetContent(QStringLiteral("<b>bold</b> text"));
    EXPECT_EQ(range.TextLength(), 9);
    range.SetContent(QStringLiteral("a < b"));
    EXPECT_EQ(range.TextLength(), 5);
}

TEST(RichEditRange, LayoutFollowsContentFontAndRelease) {
    RichEditRange range;
    range.document()->setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    range.SetContent(numberedText(30, 40));
    const int first = measure(range, 0).next;
    ASSERT_GT(first, 0);
    // A larger font puts fewer characters in the same rectangle.
    range.document()->setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 20));
    const int larger = measure(range, 0).next;
    EXPECT_GT(larger, 0);
    EXPECT_LT(larger, first);
    range.Release();
    EXPECT_EQ(measure(range, 0).next, larger);
    // A narrower rectangle, fewer again; a lower resolution changes nothing measured in twips.
    EXPECT_LT(measure(range, 0, QRect(0, 0, 3 * 1440, 3 * 1440)).next, larger);
    EXPECT_NEAR(measure(range, 0, kRect, 96).next, larger, 80);
    range.SetContent(QStringLiteral("short"));
    EXPECT_EQ(measure(range, 0).next, RichEditRange::AllFits);
}

TEST(RichEditRange, TwipsConversions) {
    EXPECT_EQ(qrcontrols::DeviceToTwips(300, 300), 1440);
    EXPECT_EQ(qrcontrols::DeviceToTwips(1, 96), 15);
    EXPECT_EQ(qrcontrols::DeviceToTwips(7, 600), 16); // 16.8 truncated
    EXPECT_EQ(qrcontrols::DeviceToTwips(-7, 600), -16);
    EXPECT_EQ(qrcontrols::DeviceToTwips(5, 0), 0);
    EXPECT_EQ(qrcontrols::DeviceToTwips(2000000000, 1), std::numeric_limits<int>::max());
    EXPECT_EQ(qrcontrols::TwipsToDevice(1440, 600), 600);
    EXPECT_EQ(qrcontrols::TwipsToDevice(16, 600), 7); // 6.67
}

TEST(RichEditRange, ContentLoadsNothingOutsideItsPictureFolder) {
    TempFolder temp;
    const QString html = temp.mkdir(QStringLiteral("Help/HTML"));
    temp.mkdir(QStringLiteral("Help/HTML/kepek"));
    writePng(html + QStringLiteral("/inside.png"), 20, 400);
    writePng(html + QStringLiteral("/kepek/inner.png"), 20, 400);
    const QString secret = temp.filePath(QStringLiteral("secret.png"));
    writePng(secret, 20, 400);
    ASSERT_TRUE(QFile::link(secret, html + QStringLiteral("/link.png")));
    ASSERT_TRUE(QFile::link(temp.path(), html + QStringLiteral("/up")));

    RichEditRange range;
    range.document()->setImageFolder(html);
    // One line of text is far below 400 pixels (6,000 twips at 96 per inch); a loaded picture is not.
    auto heightWith = [&](const QString &src) {
        range.SetContent(QStringLiteral("<p>a<img src=\"%1\">b</p>").arg(src.toHtmlEscaped()));
        return measureAll(range).heightTwips;
    };
    const QString refused[] = {
        QStringLiteral("file:///etc/passwd"),
        QStringLiteral("file://") + secret,
        secret,
        QStringLiteral("../../secret.png"),
        QStringLiteral("kepek/../../../secret.png"),
        QStringLiteral("..\\..\\secret.png"),
        QStringLiteral("link.png"),
        QStringLiteral("up/secret.png"),
        QStringLiteral("http://127.0.0.1:9/x.png"),
        QStringLiteral("//127.0.0.1/x.png"),
        QStringLiteral("qrc:/x.png"),
        QStringLiteral(":/x.png"),
        QStringLiteral("missing.png"),
    };
    for (const QString &src : refused) {
        SCOPED_TRACE(src.toStdString());
        EXPECT_LT(heightWith(src), 1440);
        EXPECT_TRUE(range.document()->loadedImages().isEmpty());
        EXPECT_FALSE(range.document()->refusedResources().isEmpty());
    }
    EXPECT_EQ(range.document()->refusedResources(), QStringList{QStringLiteral("missing.png")});

    for (const QString &src : {QStringLiteral("inside.png"), QStringLiteral("kepek/inner.png")}) {
        SCOPED_TRACE(src.toStdString());
        EXPECT_GE(heightWith(src), 6000);
        EXPECT_EQ(range.document()->loadedImages(), QStringList{src});
    }
    // A picture written into the content itself is no outside resource.
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage image(10, 400, QImage::Format_RGB32);
        image.fill(Qt::red);
        image.save(&buffer, "PNG");
    }
    EXPECT_GE(heightWith(QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64())), 6000);

    // Without a folder nothing loads, not even from where the folder would be.
    range.document()->setImageFolder(QString());
    EXPECT_LT(heightWith(QStringLiteral("inside.png")), 1440);

    // Style sheets are never fetched.
    range.SetContent(
        QStringLiteral("<html><head><link rel=\"stylesheet\" type=\"text/css\" href=\"file:///etc/passwd\"></head>"
                       "<body><p>x</p></body></html>"));
    measureAll(range);
    EXPECT_TRUE(range.document()->refusedResources().contains(QStringLiteral("file:///etc/passwd")));
}

TEST(RichEditRange, APictureTallerThanTheRectangleEnds) {
    TempFolder temp;
    writePng(temp.filePath(QStringLiteral("tall.png")), 40, 2000); // about 21 inches at 96 per inch
    RichEditRange range;
    range.document()->setImageFolder(temp.path());
    range.SetContent(QStringLiteral("<p>before</p><p><img src=\"tall.png\"></p><p>after</p>"));

    // Measured alone, the picture's line never fits: the answer is where it started.
    const int pictureLine = measure(range, 0).next;
    ASSERT_GT(pictureLine, 0);
    const RichEditRange::Result stuck = measure(range, pictureLine);
    EXPECT_EQ(stuck.next, pictureLine);
    EXPECT_GT(stuck.firstLineEnd, pictureLine);
    EXPECT_EQ(stuck.heightTwips, 0);

    // A caller whose rectangle is a whole page forces it and goes on; the run ends with every text printed.
    QString printed;
    int first = 0;
    int pages = 0;
    int clipped = 0;
    while (first != RichEditRange::AllFits && pages < 10) {
        Page page = printPage(range, first);
        if (page.result.next == first)
            page = printPage(range, first, kRect, true);
        clipped += page.result.clipped;
        printed += page.text;
        first = page.result.next;
        ++pages;
    }
    EXPECT_EQ(first, RichEditRange::AllFits);
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(clipped, 1);
    EXPECT_EQ(printed, QStringLiteral("beforeafter"));

    // The forced picture is cut at the rectangle: nothing lands below or beside it.
    QImage sheet(1000, 1000, QImage::Format_RGB32);
    sheet.setDotsPerMeterX(qRound(96 / 0.0254));
    sheet.setDotsPerMeterY(qRound(96 / 0.0254));
    sheet.fill(Qt::white);
    {
        QPainter painter(&sheet);
        RichEditRange::Request request;
        request.device = &sheet;
        request.painter = &painter;
        request.rect = QRect(1440, 1440, 2 * 1440, 3 * 1440); // (96, 96) to (288, 384) in pixels
        request.first = pictureLine;
        request.forceFirstLine = true;
        const RichEditRange::Result forced = range.FormatRange(request);
        EXPECT_TRUE(forced.clipped);
        EXPECT_EQ(forced.next, stuck.firstLineEnd);
        EXPECT_FALSE(painter.hasClipping());
    }
    int inside = 0;
    int outside = 0;
    const QRect box(96, 96, 192, 288);
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            if (sheet.pixel(x, y) != qRgb(255, 255, 255))
                ++(box.contains(x, y) ? inside : outside);
    EXPECT_GT(inside, 40 * 200);
    EXPECT_EQ(outside, 0);
}
