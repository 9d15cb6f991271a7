#include "report/controls/LabelLines.h"

#include "printer/drawing/Units.h"

#include <algorithm>

namespace qrcontrols {

namespace {

bool endsWord(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('-');
}

// The longest prefix of `word` that, after `line`, measures within the width. `strict` asks for narrower
// than the width (filling an empty line), otherwise no wider. Scans from the front, so a very long word
// costs only as many measures as characters fit.
qsizetype fittingPrefix(const QString &line, const QString &word, int width, bool strict,
                        const TextWidthFunction &measure) {
    qsizetype n = 0;
    while (n < word.size()) {
        const int w = measure(line + word.left(n + 1));
        if (strict ? w >= width : w > width)
            break;
        ++n;
    }
    return n;
}

void splitParagraph(const QString &paragraph, const LineBreaking &breaking, const TextWidthFunction &measure,
                    QStringList &out) {
    if (breaking.autoSize) {
        out << paragraph;
        return;
    }
    const int width = std::max(breaking.width, 0);
    // Most paragraphs fit whole: every line the words would build is then a prefix of it, no wider, so the
    // paragraph is the one line, found with one measure.
    const int whole = measure(paragraph);
    if (whole <= width) {
        out << paragraph;
        return;
    }
    const qsizetype linesBefore = out.size();
    QString line;
    qsizetype pos = 0;
    while (pos < paragraph.size()) {
        qsizetype end = pos;
        while (end < paragraph.size() && !endsWord(paragraph[end]))
            ++end;
        if (end < paragraph.size())
            ++end; // the blank or hyphen belongs to the word
        // Nothing output yet and the last word: the line plus the word is the paragraph, measured above.
        const bool wholeParagraph = out.size() == linesBefore && end == paragraph.size();
        const QString word = paragraph.mid(pos, end - pos);
        pos = end;

        if (!wholeParagraph && measure(line + word) <= width) {
            line += word;
            continue;
        }
        if (line.isEmpty()) {
            // Alone too wide: its leading characters fill the line, the rest is dropped.
            out << word.left(fittingPrefix(line, word, width, true, measure));
        } else {
            out << line;
            line.clear();
            if (breaking.wordWrap) {
                if (measure(word) > width)
                    out << word.left(fittingPrefix(QString(), word, width, false, measure));
                else
                    line = word;
            }
        }
        if (!breaking.wordWrap)
            return; // the rest of the paragraph is not printed
    }
    // An empty paragraph still is a line; a word cut to fit leaves no empty line behind it.
    if (!line.isEmpty() || out.size() == linesBefore)
        out << line;
}

} // namespace

QStringList BuildLines(const QString &text, const LineBreaking &breaking, const TextWidthFunction &measure) {
    QString source = text;
    source.remove(QLatin1Char('\n'));
    QStringList lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype cr = source.indexOf(QLatin1Char('\r'), start);
        splitParagraph(source.mid(start, cr < 0 ? -1 : cr - start), breaking, measure, lines);
        if (cr < 0)
            break;
        start = cr + 1;
    }
    return lines;
}

int AutoSizeWidth(const QStringList &lines, const TextWidthFunction &measure, int frameLineWidth, bool leftFrame,
                  bool rightFrame) {
    int widest = 0;
    for (const QString &line : lines)
        widest = std::max(widest, measure(line));
    return widest + (leftFrame ? frameLineWidth : 0) + (rightFrame ? frameLineWidth : 0);
}

int AutoSizeLeft(int left, int oldWidth, int newWidth, Qt::Alignment alignment) {
    if (alignment & Qt::AlignRight)
        return left + oldWidth - newWidth;
    if (alignment & Qt::AlignHCenter)
        return left + (oldWidth - newWidth) / 2; // truncates toward zero
    return left;
}

int ZoomedWidth(int width, int zoom) {
    return rnd(double(width) * zoom / 100.0);
}

int LineHeight(int textHeightOfW, int zoom) {
    return textHeightOfW * zoom / 100 + 1;
}

} // namespace qrcontrols
