#include "printer/QRError.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/QtPrinter.h"
#include "printer/export/QRExportFilterLibrary.h"
#include "printer/export/QRPDFExportFilter.h"
#include "printer/export/QRStoredPagesExport.h"
#include "printer/export/QRTextExportFilters.h"
#include "tests/printer/PrinterTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

const QFont font10(QStringLiteral("Arial"), 10);

// A run of the text filter `Filter` over pages of (x, y, text) in 0.1 mm, left-aligned.
template <typename Filter>
QString run(const QString &file, const QList<QList<std::tuple<double, double, QString>>> &pages) {
    Filter filter(file);
    filter.Start(2100, 2970, font10);
    for (const auto &page : pages) {
        filter.EndPage();
        filter.NewPage();
        for (const auto &[x, y, text] : page)
            filter.TextOut(x, y, font10, Qt::white, taLeftJustify, text);
    }
    filter.EndPage();
    filter.Finish();
    return QString::fromUtf8(readFile(file));
}

// Records the calls a filter gets.
class CallLog : public TQRTextExportFilter {
public:
    CallLog() : TQRTextExportFilter(QString()) {}
    QStringList calls;
    void Start(int w, int l, const QFont &f) override {
        calls << QStringLiteral("Start %1 %2").arg(w).arg(l);
        TQRTextExportFilter::Start(w, l, f);
    }
    void NewPage() override {
        calls << QStringLiteral("NewPage");
        TQRTextExportFilter::NewPage();
    }
    void EndPage() override { calls << QStringLiteral("EndPage"); }
    void Finish() override { calls << QStringLiteral("Finish"); }
    void TextOut(double x, double y, const QFont &f, const QColor &c, TAlignment a, const QString &text) override {
        calls << QStringLiteral("TextOut ") + text;
        TQRTextExportFilter::TextOut(x, y, f, c, a, text);
    }

protected:
    QByteArray Render() const override { return {}; }
};

// A report printer holding `pages` pages of A4 with text at known places.
void produce(TQRPrinter &printer, int pages) {
    printer.BeginDoc();
    for (int n = 1; n <= pages; ++n) {
        printer.NewPage();
        QPainter &canvas = *printer.PageCanvas();
        canvas.setFont(QFont(QStringLiteral("Arial"), 12));
        canvas.drawText(printer.ToDeviceX(200), printer.ToDeviceY(300), QStringLiteral("Oldal %1").arg(n));
        canvas.drawText(printer.ToDeviceX(1200), printer.ToDeviceY(300), QStringLiteral("összesen"));
    }
    printer.EndDoc();
}

// Report printers on a PDF printer of A4 paper, whatever printers the machine has.
class StoredPagesExport : public ::testing::Test {
protected:
    TempFolder folder;
    printers::ScopedFactory pdf{[this] { return QtPrinter::PdfFile(folder.filePath(QStringLiteral("device.pdf"))); }};
};

} // namespace

TEST(TextExport, LinesAreFoundByPosition) {
    TQRTextPage page;
    const auto item = [](double x, double y, double h, const char *text) {
        TQRTextItem i;
        i.x = x;
        i.y = y;
        i.height = h;
        i.text = QString::fromUtf8(text);
        return i;
    };
    page.items = {item(900, 100, 40, "right"), item(100, 110, 40, "left"), item(100, 300, 40, "below"),
                  item(500, 135, 40, "lower half")};
    const QList<QList<TQRTextItem>> lines = page.Lines();
    ASSERT_EQ(lines.size(), 3);
    // "lower half" has its middle (155) below the first line's box (100 to 140): a line of its own.
    QStringList texts;
    for (const auto &line : lines) {
        QStringList words;
        for (const TQRTextItem &i : line)
            words << i.text;
        texts << words.join(QLatin1Char('+'));
    }
    EXPECT_EQ(texts, (QStringList{"left+right", "lower half", "below"}));
}

TEST(TextExport, PlainTextPlacesColumnsAndPages) {
    TempFolder folder;
    const QString text = run<TQRAsciiExportFilter>(
        folder.filePath(QStringLiteral("a.txt")),
        {{{100, 100, QStringLiteral("Név")}, {1000, 100, QStringLiteral("Összeg")}, {100, 160, QStringLiteral("Ő\tű")}},
         {{0, 100, QStringLiteral("second page")}, {60, 100, QStringLiteral("touching")}}});
    // 2 mm columns: x = 10 mm is column 5, x = 100 mm column 50; a tab becomes a blank; a text that would
    // overlap the one before keeps one blank from it.
    const QStringList lines = text.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("     Név") + QString(42, QLatin1Char(' ')) + QStringLiteral("Összeg"));
    EXPECT_EQ(lines[1], QStringLiteral("     Ő ű"));
    EXPECT_TRUE(lines[2].startsWith(QLatin1Char('\f')));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("\fsecond page touching")));
}

TEST(TextExport, CsvColumnsAndQuoting) {
    TempFolder folder;
    const QString csv = run<TQRCSVExportFilter>(folder.filePath(QStringLiteral("a.csv")),
                                                {{{100, 100, QStringLiteral("Név")},
                                                  {1000, 100, QStringLiteral("1,5")},
                                                  {110, 200, QStringLiteral("Kovács \"Kis\" Ödön")},
                                                  {1520, 200, QStringLiteral(" 7 ")}}});
    // Left edges within 3 mm share a column: 100 and 110 are one, 1000 and 1520 two more.
    EXPECT_EQ(csv, QStringLiteral("Név,\"1,5\",\r\n\"Kovács \"\"Kis\"\" Ödön\",,\" 7 \"\r\n"));
}

TEST(TextExport, HtmlPlacesEscapedTextInItsFont) {
    TempFolder folder;
    const QString file = folder.filePath(QStringLiteral("a.html"));
    TQRHTMLExportFilter filter(file);
    filter.Start(2970, 2100, font10);
    filter.NewPage();
    QFont bold(QStringLiteral("Times New Roman"), 14);
    bold.setBold(true);
    bold.setItalic(true);
    filter.TextOut(250, 120, bold, Qt::white, taLeftJustify, QStringLiteral("<b>A & B</b>"));
    QFont odd(QStringLiteral("Font's \"%1\" name"), 8);
    filter.TextOut(1000, 500, odd, Qt::white, taRightJustify, QStringLiteral("jobb"));
    filter.Finish();
    const QString html = QString::fromUtf8(readFile(file));
    EXPECT_TRUE(html.startsWith(QStringLiteral("<!DOCTYPE html>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<title>a</title>")));
    EXPECT_TRUE(html.contains(QStringLiteral("style=\"width: 297.00mm; height: 210.00mm\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("<span style=\"left: 25.00mm; top: 12.00mm; font-family: 'Times New "
                                             "Roman'; font-size: 14pt; font-weight: bold; font-style: italic\">"
                                             "&lt;b&gt;A &amp; B&lt;/b&gt;</span>")));
    // The font name cannot end the attribute, and its "%1" stays as it is.
    EXPECT_TRUE(html.contains(QStringLiteral("font-family: 'Font\\'s &quot;%1&quot; name'"))) << html.toStdString();
    // Right-aligned text ends at x.
    const double width = QFontMetricsF(odd).horizontalAdvance(QStringLiteral("jobb")) * 254 / 96;
    EXPECT_TRUE(html.contains(QStringLiteral("left: %1mm").arg((1000 - width) / 10, 0, 'f', 2)));
}

TEST(TextExport, AFileThatCannotBeWrittenIsAnError) {
    TempFolder folder;
    const QString file = folder.filePath(QStringLiteral("no/such/folder/a.txt"));
    try {
        run<TQRAsciiExportFilter>(file, {{{0, 0, QStringLiteral("x")}}});
        FAIL() << "no error";
    } catch (const EQRError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot write ") + file);
    }
    EXPECT_FALSE(QFile::exists(file));
}

TEST(ExportLibrary, FiltersByExtension) {
    const TQRExportFilterLibrary &library = TQRExportFilterLibrary::Instance();
    QStringList extensions;
    for (const auto &entry : library.Filters())
        extensions << entry.Extension;
    EXPECT_EQ(extensions, (QStringList{"PDF", "TXT", "CSV", "HTM"}));
    EXPECT_EQ(library.FindByExtension(QStringLiteral(".csv")), &library.Filters()[2]);
    EXPECT_EQ(library.FindByExtension(QStringLiteral("HTML")), nullptr);
    EXPECT_EQ(library.FindByExtension(QStringLiteral("QRP")), nullptr);
    EXPECT_EQ(library.SaveDialogFilter(),
              QStringLiteral("Folvex file(*.QRP)|*.QRP|PDF document (*.PDF)|*.PDF|Plain text (*.TXT)|*.TXT|Comma "
                             "separated values (*.CSV)|*.CSV|Web page (*.HTM)|*.HTM"));
    EXPECT_EQ(TQRExportFilterLibrary::SaveExtension(QStringLiteral("/a.b/report.html")), QStringLiteral("HTM"));
    EXPECT_EQ(TQRExportFilterLibrary::SaveExtension(QStringLiteral("/a.b/report")), QString());
    EXPECT_EQ(TQRExportFilterLibrary::SaveExtension(QStringLiteral("x.Pdf")), QStringLiteral("PDF"));
    TQRExportFilterLibrary own;
    EXPECT_EQ(own.SaveDialogFilter(), QStringLiteral("Folvex file(*.QRP)|*.QRP"));
    own.AddFilter(nullptr, QStringLiteral("Sheet"), QStringLiteral(".xls"));
    EXPECT_EQ(own.Filters()[0].Extension, QStringLiteral("XLS"));
}

TEST_F(StoredPagesExport, PagesAreFedAsARunFeedsThem) {
    TQRPrinter printer;
    ASSERT_EQ(printer.PaperSize(), TQRPaperSize::A4);
    produce(printer, 2);
    CallLog log;
    EXPECT_EQ(ExportStoredPages(printer, log), 2);
    EXPECT_EQ(log.calls,
              (QStringList{"Start 2100 2970", "EndPage", "NewPage", "TextOut Oldal 1", "TextOut összesen", "EndPage",
                           "NewPage", "TextOut Oldal 2", "TextOut összesen", "EndPage", "Finish"}));
    EXPECT_EQ(log.Printer, &printer);
    // Positions come back in 0.1 mm at the text's top-left corner, and the font at its size.
    const TQRTextItem &oldal = log.Pages()[0].items[0];
    EXPECT_NEAR(oldal.x, 200, 3);
    EXPECT_NEAR(oldal.y + QFontMetricsF(oldal.font).ascent() * 254 / 96, 300, 5); // drawn on its baseline
    EXPECT_NEAR(oldal.font.pointSizeF(), 12, 0.5);

    // A filter that has started (a composite's second report) is not started again; no pages, no text.
    TQRPrinter empty;
    CallLog again;
    again.Started = true;
    EXPECT_EQ(ExportStoredPages(empty, again), 0);
    EXPECT_EQ(again.calls, (QStringList{"EndPage", "Finish"}));
}

TEST_F(StoredPagesExport, PdfDrawsTheRecordedPages) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    TQRPrinter printer;
    produce(printer, 3);
    const QString file = folder.filePath(QStringLiteral("pages.pdf"));
    TQRPDFExportFilter filter(file);
    ExportStoredPages(printer, filter);
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {file});
    ASSERT_TRUE(info.waitForFinished(20000));
    const QString infoText = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(infoText.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n")))) << infoText.toStdString();
    EXPECT_TRUE(infoText.contains(QStringLiteral("595.")) || infoText.contains(QStringLiteral("596")))
        << infoText.toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QStringLiteral("2"), QStringLiteral("-l"),
                                             QStringLiteral("2"), file, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString page2 = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(page2.contains(QStringLiteral("Oldal 2"))) << page2.toStdString();
    EXPECT_TRUE(page2.contains(QStringLiteral("összesen")));

    // Without pages at hand (a report run with no preview before it) the run's text is placed on its paper.
    const QString fallback = folder.filePath(QStringLiteral("text.pdf"));
    TQRPDFExportFilter fromText(fallback);
    fromText.Start(2970, 2100, font10);
    fromText.NewPage();
    fromText.TextOut(100, 100, font10, Qt::white, taLeftJustify, QStringLiteral("fekvő lap"));
    fromText.EndPage();
    fromText.Finish();
    QProcess second;
    second.start(QStringLiteral("pdftotext"), {fallback, QStringLiteral("-")});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardOutput()).contains(QStringLiteral("fekvő lap")));
    QProcess secondInfo;
    secondInfo.start(QStringLiteral("pdfinfo"), {fallback});
    ASSERT_TRUE(secondInfo.waitForFinished(20000));
    EXPECT_TRUE(QString::fromUtf8(secondInfo.readAllStandardOutput()).contains(QStringLiteral("842")));
}
