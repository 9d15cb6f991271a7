#include "printer/export/QRTextExportFilters.h"

#include "printer/QRError.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/EmfRecorder.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace {

// Screen pixels (which font metrics measure in) to 0.1 mm.
double pixelsToNative(double pixels) {
    return pixels * 254 / EmfRecorder::screenDpiY();
}

QString printable(QString text) {
    for (QChar &c : text)
        if (c.unicode() < 32)
            c = QLatin1Char(' ');
    return text;
}

QString htmlEscaped(const QString &text) {
    return printable(text).toHtmlEscaped();
}

QString cssString(QString text) {
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + printable(text).toHtmlEscaped() + QLatin1Char('\'');
}

QString millimetres(double native) {
    return QString::number(native / 10, 'f', 2) + QLatin1String("mm");
}

QString csvField(const QString &field) {
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) && !field.contains(QLatin1Char('\n')) &&
        !field.contains(QLatin1Char('\r')) && field.trimmed() == field)
        return field;
    QString quoted = field;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QList<QList<TQRTextItem>> TQRTextPage::Lines() const {
    QList<TQRTextItem> sorted = items;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TQRTextItem &a, const TQRTextItem &b) { return a.y < b.y || (a.y == b.y && a.x < b.x); });
    QList<QList<TQRTextItem>> lines;
    double top = 0;
    double bottom = 0;
    for (const TQRTextItem &item : std::as_const(sorted)) {
        const double middle = item.y + item.height / 2;
        if (lines.isEmpty() || middle < top || middle > bottom) {
            lines.append(QList<TQRTextItem>());
            top = item.y;
            bottom = item.y + item.height;
        }
        lines.last().append(item);
    }
    for (QList<TQRTextItem> &line : lines)
        std::stable_sort(line.begin(), line.end(),
                         [](const TQRTextItem &a, const TQRTextItem &b) { return a.x < b.x; });
    return lines;
}

void TQRTextExportFilter::Start(int paperWidth, int paperLength, const QFont &) {
    m_paperWidth = paperWidth;
    m_paperLength = paperLength;
    m_pages.clear();
    Started = true;
}

void TQRTextExportFilter::NewPage() {
    m_pages.append(TQRTextPage());
}

void TQRTextExportFilter::TextOut(double x, double y, const QFont &font, const QColor &, TAlignment alignment,
                                  const QString &text) {
    if (text.isEmpty())
        return;
    if (m_pages.isEmpty()) // text before the first page break belongs to the first page
        m_pages.append(TQRTextPage());
    const QFontMetricsF metrics(font);
    TQRTextItem item;
    item.width = pixelsToNative(metrics.horizontalAdvance(text));
    item.height = pixelsToNative(metrics.height());
    item.x = alignment == taRightJustify ? x - item.width : alignment == taCenter ? x - item.width / 2 : x;
    item.y = y;
    item.font = font;
    item.text = text;
    m_pages.last().items.append(item);
}

void TQRTextExportFilter::Finish() {
    WriteExportFile(m_fileName, Render());
}

QString TQRTextExportFilter::Title() const {
    const QString title = Printer ? Printer->JobTitle() : QString();
    return title.isEmpty() ? QFileInfo(m_fileName).completeBaseName() : title;
}

QByteArray TQRAsciiExportFilter::Render() const {
    QString out;
    for (qsizetype p = 0; p < Pages().size(); ++p) {
        if (p > 0)
            out += QLatin1Char('\f');
        bool first = true;
        double previousBottom = 0;
        for (const QList<TQRTextItem> &line : Pages()[p].Lines()) {
            const double height = std::max(1.0, line.first().height);
            // Room for a line or two left empty on the page stays empty in the text.
            if (!first) {
                const int blank = std::clamp(int(std::lround((line.first().y - previousBottom) / height)), 0, 2);
                for (int i = 0; i < blank; ++i)
                    out += QLatin1Char('\n');
            }
            first = false;
            previousBottom = line.first().y + height;
            QString text;
            for (const TQRTextItem &item : line) {
                qsizetype column = std::max<qsizetype>(0, std::lround(item.x / ColumnWidth));
                if (!text.isEmpty() && column <= text.size())
                    column = text.size() + 1;
                text += QString(column - text.size(), QLatin1Char(' '));
                text += printable(item.text);
            }
            while (text.endsWith(QLatin1Char(' ')))
                text.chop(1);
            out += text + QLatin1Char('\n');
        }
    }
    return out.toUtf8();
}

QByteArray TQRCSVExportFilter::Render() const {
    QList<double> lefts;
    for (const TQRTextPage &page : Pages())
        for (const TQRTextItem &item : page.items)
            lefts.append(item.x);
    std::sort(lefts.begin(), lefts.end());
    QList<double> columns; // where each column starts
    for (double x : std::as_const(lefts))
        if (columns.isEmpty() || x - columns.last() > ColumnTolerance)
            columns.append(x);
    QString out;
    for (const TQRTextPage &page : Pages()) {
        for (const QList<TQRTextItem> &line : page.Lines()) {
            QStringList fields(columns.size());
            for (const TQRTextItem &item : line) {
                const qsizetype column = std::max<qsizetype>(
                    0, std::upper_bound(columns.begin(), columns.end(), item.x) - columns.begin() - 1);
                QString &field = fields[column];
                field += (field.isEmpty() ? QString() : QStringLiteral(" ")) + item.text;
            }
            for (QString &field : fields)
                field = csvField(field);
            out += fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
        }
    }
    return out.toUtf8();
}

QByteArray TQRHTMLExportFilter::Render() const {
    QString out = QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n"
                                 "<style>\n"
                                 "body { background: #808080; margin: 0; padding: 8mm 0; }\n"
                                 ".page { position: relative; overflow: hidden; background: #fff; margin: 0 auto 8mm; "
                                 "box-shadow: 2px 2px 6px #404040; }\n"
                                 ".page span { position: absolute; white-space: pre; line-height: 1.15; }\n"
                                 "</style>\n</head>\n<body>\n")
                      .arg(htmlEscaped(Title()));
    const double width = PaperWidth() > 0 ? PaperWidth() : 2100;
    const double length = PaperLength() > 0 ? PaperLength() : 2970;
    for (const TQRTextPage &page : Pages()) {
        out += QStringLiteral("<div class=\"page\" style=\"width: %1; height: %2\">\n")
                   .arg(millimetres(width), millimetres(length));
        for (const TQRTextItem &item : page.items) {
            const QFont &f = item.font;
            const double points = f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize() * 0.75;
            // Joined, not formatted: a font name may hold a "%1" of its own.
            QString style = QLatin1String("left: ") + millimetres(item.x) + QLatin1String("; top: ") +
                            millimetres(item.y) + QLatin1String("; font-family: ") + cssString(f.family()) +
                            QLatin1String("; font-size: ") + QString::number(points, 'g', 4) + QLatin1String("pt");
            if (f.bold())
                style += QLatin1String("; font-weight: bold");
            if (f.italic())
                style += QLatin1String("; font-style: italic");
            if (f.underline() || f.strikeOut())
                style += QStringLiteral("; text-decoration: %1%2")
                             .arg(f.underline() ? QStringLiteral("underline ") : QString(),
                                  f.strikeOut() ? QStringLiteral("line-through") : QString());
            out += QStringLiteral("<span style=\"%1\">%2</span>\n").arg(style, htmlEscaped(item.text));
        }
        out += QLatin1String("</div>\n");
    }
    out += QLatin1String("</body>\n</html>\n");
    return out.toUtf8();
}

void WriteExportFile(const QString &fileName, const QByteArray &bytes) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EQRError(QStringLiteral("Cannot write %1").arg(fileName));
}
