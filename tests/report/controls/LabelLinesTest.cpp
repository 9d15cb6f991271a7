// Breaking a label's text into lines, and the width and place a self-sizing label takes.
#include "report/controls/LabelLines.h"

#include <gtest/gtest.h>

using qrcontrols::BuildLines;
using qrcontrols::LineBreaking;

namespace {

// Every character 10 pixels wide, 'W' 20, so lines can be reasoned about by hand.
struct Ruler {
    int calls = 0;
    int measuredCharacters = 0;
    qrcontrols::TextWidthFunction function() {
        return [this](const QString &text) {
            ++calls;
            measuredCharacters += int(text.size());
            int width = 0;
            for (QChar c : text)
                width += c == QLatin1Char('W') ? 20 : 10;
            return width;
        };
    }
};

QStringList lines(const QString &text, int width, bool wordWrap = true, bool autoSize = false) {
    Ruler ruler;
    return BuildLines(text, LineBreaking{width, autoSize, wordWrap}, ruler.function());
}

} // namespace

TEST(LabelLines, WordsFillLinesAndKeepTheirBlanksAndHyphens) {
    EXPECT_EQ(lines(QStringLiteral("one two three"), 90), (QStringList{"one two ", "three"}));
    EXPECT_EQ(lines(QStringLiteral("one two three"), 80), (QStringList{"one two ", "three"})); // exactly fits
    EXPECT_EQ(lines(QStringLiteral("one two three"), 79), (QStringList{"one ", "two ", "three"}));
    EXPECT_EQ(lines(QStringLiteral("one two three"), 1000), (QStringList{"one two three"}));
    EXPECT_EQ(lines(QStringLiteral("well-known"), 60), (QStringList{"well-", "known"}));
    EXPECT_EQ(lines(QStringLiteral("a well-known fact"), 90), (QStringList{"a well-", "known ", "fact"}));
    // Two blanks: the second is a word of its own and stays on the line it fits.
    EXPECT_EQ(lines(QStringLiteral("ab  cd"), 40), (QStringList{"ab  ", "cd"}));
    EXPECT_EQ(lines(QStringLiteral("ab  cd"), 30), (QStringList{"ab ", " cd"}));
    // Widths are measured, not counted: "WW " is 50 pixels.
    EXPECT_EQ(lines(QStringLiteral("WW ab"), 60), (QStringList{"WW ", "ab"}));
}

TEST(LabelLines, CarriageReturnsEndParagraphsAndLineFeedsVanish) {
    EXPECT_EQ(lines(QStringLiteral("a\r\nb"), 100), (QStringList{"a", "b"}));
    EXPECT_EQ(lines(QStringLiteral("a\nb"), 100), (QStringList{"ab"}));
    EXPECT_EQ(lines(QStringLiteral("a\r\rb"), 100), (QStringList{"a", "", "b"}));
    EXPECT_EQ(lines(QStringLiteral("a\r"), 100), (QStringList{"a", ""}));
    EXPECT_EQ(lines(QStringLiteral("\r"), 100), (QStringList{"", ""}));
    EXPECT_EQ(lines(QString(), 100), (QStringList{""}));
    // Each paragraph wraps on its own.
    EXPECT_EQ(lines(QStringLiteral("one two three\r\nfour"), 90), (QStringList{"one two ", "three", "four"}));
    // A self-sizing label keeps each paragraph whole, whatever the width.
    EXPECT_EQ(lines(QStringLiteral("One two three\r\nfour\nfive"), 10, true, true),
              (QStringList{"One two three", "fourfive"}));
}

TEST(LabelLines, AWordTooWideKeepsOnlyItsLeadingCharacters) {
    // Alone on its line it fills it while narrower than the width; the rest is not printed anywhere, and
    // leaves no empty line behind.
    EXPECT_EQ(lines(QStringLiteral("abcdefghij"), 45), (QStringList{"abcd"}));
    EXPECT_EQ(lines(QStringLiteral("abcdefghij"), 40), (QStringList{"abc"}));
    // After a line it is cut to fit (no wider than the width) on a line of its own.
    EXPECT_EQ(lines(QStringLiteral("xy abcdefghij z"), 40), (QStringList{"xy ", "abcd", "z"}));
    EXPECT_EQ(lines(QStringLiteral("xy abcdefghij"), 40), (QStringList{"xy ", "abcd"}));
    EXPECT_EQ(lines(QStringLiteral("abcdefghij xy"), 45), (QStringList{"abcd", "xy"}));
}

TEST(LabelLines, WithoutWordWrapEachParagraphPrintsItsFirstLine) {
    EXPECT_EQ(lines(QStringLiteral("one two three\rfour five six"), 100, false),
              (QStringList{"one two ", "four five "}));
    EXPECT_EQ(lines(QStringLiteral("abcdefghij more\rxy"), 45, false), (QStringList{"abcd", "xy"}));
    EXPECT_EQ(lines(QStringLiteral("short\r"), 90, false), (QStringList{"short", ""}));
}

TEST(LabelLines, NoWidthStillEndsWithEmptyLines) {
    for (int width : {0, -5}) {
        SCOPED_TRACE(width);
        EXPECT_EQ(lines(QStringLiteral("one two"), width), (QStringList{"", ""}));
        EXPECT_EQ(lines(QStringLiteral("one two"), width, false), (QStringList{""}));
    }
    // Many words: one empty line each, and measuring stays proportional to the text.
    QString text;
    for (int i = 0; i < 2000; ++i)
        text += QStringLiteral("word ");
    Ruler ruler;
    const QStringList result = BuildLines(text, LineBreaking{0, false, true}, ruler.function());
    EXPECT_EQ(result.size(), 2000);
    EXPECT_LE(ruler.calls, 3 * 2000);
}

TEST(LabelLines, AParagraphThatFitsIsMeasuredOnce) {
    // The common case of a report field: one measure per paragraph, whatever its words.
    Ruler ruler;
    EXPECT_EQ(BuildLines(QStringLiteral("Row 961 col 1 text\r\nsecond - line"), LineBreaking{200, false, true},
                         ruler.function()),
              (QStringList{"Row 961 col 1 text", "second - line"}));
    EXPECT_EQ(ruler.calls, 2);
    // One pixel short of the whole, the words break as before.
    Ruler tight;
    EXPECT_EQ(BuildLines(QStringLiteral("one two three"), LineBreaking{129, false, true}, tight.function()),
              (QStringList{"one two ", "three"}));
}

TEST(LabelLines, AHugeWordCostsOnlyWhatFits) {
    const QString word(100000, QLatin1Char('x'));
    for (const QString &text : {word, QStringLiteral("ab ") + word}) {
        Ruler ruler;
        const QStringList result = BuildLines(text, LineBreaking{45, false, true}, ruler.function());
        EXPECT_EQ(result.last(), QStringLiteral("xxxx"));
        // The whole word is measured once or twice; its prefixes only as far as they fit.
        EXPECT_LE(ruler.calls, 12);
        EXPECT_LE(ruler.measuredCharacters, 2 * 100000 + 100);
    }
}

TEST(LabelLines, SelfSizingWidthAndEdges) {
    Ruler ruler;
    const QStringList text{"One two three", "four"};
    EXPECT_EQ(qrcontrols::AutoSizeWidth(text, ruler.function()), 130);
    EXPECT_EQ(qrcontrols::AutoSizeWidth(text, ruler.function(), 2, true, false), 132);
    EXPECT_EQ(qrcontrols::AutoSizeWidth(text, ruler.function(), 2, true, true), 134);
    EXPECT_EQ(qrcontrols::AutoSizeWidth({}, ruler.function(), 2, true, true), 4);

    // Right-aligned: the right edge (100 + 50) stays where it was.
    EXPECT_EQ(qrcontrols::AutoSizeLeft(100, 50, 130, Qt::AlignRight), 20);
    EXPECT_EQ(qrcontrols::AutoSizeLeft(100, 130, 50, Qt::AlignRight | Qt::AlignVCenter), 180);
    EXPECT_EQ(qrcontrols::AutoSizeLeft(100, 50, 130, Qt::AlignLeft), 100);
    // Centred: moves by half the difference, truncated toward zero (-81 / 2 is -40).
    EXPECT_EQ(qrcontrols::AutoSizeLeft(100, 50, 131, Qt::AlignHCenter), 60);
    EXPECT_EQ(qrcontrols::AutoSizeLeft(100, 131, 50, Qt::AlignHCenter), 140);
}

TEST(LabelLines, ZoomAndLineHeight) {
    EXPECT_EQ(qrcontrols::ZoomedWidth(101, 50), 50); // 50.5 to the even neighbour
    EXPECT_EQ(qrcontrols::ZoomedWidth(103, 50), 52); // 51.5
    EXPECT_EQ(qrcontrols::ZoomedWidth(80, 125), 100);
    EXPECT_EQ(qrcontrols::LineHeight(15, 100), 16);
    EXPECT_EQ(qrcontrols::LineHeight(15, 150), 23); // 22.5 truncated, plus one
}
