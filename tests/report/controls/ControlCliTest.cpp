// The controls through the tavik tool: how a label breaks its text, and the demo report (every kind of control)
// run to the page store and to PDF, read back by the tool and by an independent PDF reader.
#include "ControlTestSupport.h"

#include "report/controls/QRLabel.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#ifdef TAVIK_CLI

namespace {

void copyFolder(const QString &from, const QString &to) {
    QDir().mkpath(to);
    const QDir source(from);
    for (const QString &name : source.entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(source.filePath(name), QDir(to).filePath(name))) << name.toStdString();
    for (const QString &name : source.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        copyFolder(source.filePath(name), QDir(to).filePath(name));
}

QStringList words(const QString &text) {
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

// `expected` appears in `all` in this order, each right after the one before or later.
bool inOrder(const QStringList &all, const QStringList &expected) {
    qsizetype at = 0;
    for (const QString &word : expected) {
        at = all.indexOf(word, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

const char kLabelDefinition[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<definition>
  <component class="TDezirUzu" name="R">
    <property name="Units">MM</property>
    <component class="TQRBand" name="B">
      <property name="BandType">rbDetail</property>
      <property name="Size.Values">100 1900</property>
      <component class="TQRLabel" name="Words">
        <property name="AutoSize">False</property>
        <property name="Caption">one two three</property>
        <property name="Size.Values">50 100 10 800</property>
      </component>
      <component class="TQRLabel" name="Right">
        <property name="Alignment">taRightJustify</property>
        <property name="Caption">One two three</property>
        <property name="Size.Values">50 1000 10 100</property>
      </component>
    </component>
  </component>
</definition>
)";

} // namespace

TEST(ControlVerbs, LinesShowsTheBreaksAndWhereASelfSizingLabelSettles) {
    TempFolder dir;
    const QString def = dir.filePath(QStringLiteral("labels.qrx"));
    {
        QFile file(def);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kLabelDefinition);
    }
    // The same label measured here: the width that holds "one two " and no more.
    const auto root = LoadDefinition(def);
    auto *words = find<TQRLabel>(*root, "Words");
    auto *right = find<TQRLabel>(*root, "Right");
    const int twoWords = words->MeasureText(QStringLiteral("one two "));
    const int rightEdge = right->Left() + right->Width();

    CliRun r = tavik({"report", "lines", def, "Words", "--width", QString::number(twoWords)});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines(), (QStringList{"[one two ]", "[three]",
                                      QStringLiteral("width %1 left %2").arg(twoWords).arg(words->Left())}));
    r = tavik({"report", "lines", def, "Words"});
    EXPECT_EQ(r.lines().value(0), QStringLiteral("[one two three]"));
    // Self-sizing and right-aligned: one line, as wide as its text, its right edge kept.
    r = tavik({"report", "lines", def, "Right"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const int width = words->MeasureText(QStringLiteral("One two three"));
    EXPECT_EQ(r.lines(),
              (QStringList{"[One two three]", QStringLiteral("width %1 left %2").arg(width).arg(rightEdge - width)}));

    r = tavik({"report", "lines", def, "B"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no label named B"))) << r.err.toStdString();
    r = tavik({"report", "lines", def, "Words", "--width", "-4"});
    EXPECT_EQ(r.status, 1);
}

TEST(EndToEnd, TheDemoReportPrintsTheSameWordsToThePageStoreAndToPdf) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    TempFolder dir;
    copyFolder(sourceDir() + QStringLiteral("/demo/orders"), dir.path());
    const QString def = dir.filePath(QStringLiteral("orders.qrx"));

    CliRun r = tavik({"report", "run", def, "--out", dir.filePath(QStringLiteral("orders.qrp"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("pages 2"));
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    r = tavik({"qrp", "text", dir.filePath(QStringLiteral("orders.qrp"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList stored;
    for (const QString &line : r.lines())
        stored += words(line.section(QLatin1Char('\t'), 3));

    r = tavik({"report", "pdf", def, dir.filePath(QStringLiteral("orders.pdf"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {QStringLiteral("-raw"), dir.filePath(QStringLiteral("orders.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(pdftotext.waitForFinished(60000));
    const QStringList printed = words(QString::fromUtf8(pdftotext.readAllStandardOutput()));

    // Both hold every word in the order it was drawn: the lines broke the same way at both resolutions.
    EXPECT_EQ(printed, stored);
    const QLocale locale = QLocale::system();
    const QStringList expected =
        words(QStringLiteral("Orders by customer Demo Trading Ltd. Order Product Qty Unit price Amount Note "
                             "Kovács és Társa Kft. 1001 Oak desk 2 289.00 578.00 "
                             "1012 Office chair 6 119.00 714.00 Deliver to the second floor; the lift is out of order "
                             "until the end of the month, so the carriers should plan for the stairs. "
                             "5 orders Customer total %1 Nordic Paper AB 6 orders Customer total 983.80 Riverside Café "
                             "Zöldkert Bt. Page 1 Orders by customer 9 orders Customer total %2 Óbuda Print Zrt. "
                             "7 orders Customer total %3 Grand total %4 34 orders from Demo Trading Ltd. Page 2")
                  .arg(loc("1,658.90"), loc("2,196.40"), loc("1,712.00"), locale.toCurrencyString(8770.29)));
    EXPECT_TRUE(inOrder(stored, expected)) << stored.join(QLatin1Char(' ')).toStdString();

    // A damaged logo: the run goes on without it and says so once.
    QFile logo(dir.filePath(QStringLiteral("logo.jpg")));
    ASSERT_TRUE(logo.open(QIODevice::ReadWrite));
    const QByteArray head = logo.read(600);
    logo.resize(0);
    logo.write(head);
    logo.close();
    r = tavik({"report", "run", def, "--out", dir.filePath(QStringLiteral("damaged.qrp"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count(QStringLiteral("warning")), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("tavik: warning: Logo: "))) << r.err.toStdString();
}

#endif

TEST(EndToEnd, AMemoOverPagesPrintsTheSameWordsToThePageStoreAndToPdf) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    TempFolder dir;
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines << QStringLiteral("memo%1 alpha%1 omega%1").arg(i);
    const QString memo = QStringLiteral("<p>") + lines.join(QStringLiteral("</p><p>")) + QStringLiteral("</p>");
    makeTable(dir.mkdir(QStringLiteral("data")), QStringLiteral("memos"), QStringLiteral("N INTEGER, BODY MEMO"),
              {{1, memo}});
    const QString def = dir.filePath(QStringLiteral("memo.qrx"));
    {
        QFile file(def);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QString rich = QStringLiteral("<component class=\"TQRDBRichText\" name=\"Memo\">%1%2%3%4</component>")
                                 .arg(prop(QStringLiteral("DataSet"), QStringLiteral("Q")),
                                      prop(QStringLiteral("DataField"), QStringLiteral("BODY")),
                                      prop(QStringLiteral("AutoStretch"), QStringLiteral("True")),
                                      prop(QStringLiteral("Size.Values"), QStringLiteral("100 0 0 1800")));
        file.write(reportXml(bandXml(QStringLiteral("Detail"), QStringLiteral("rbDetail"), 10, rich),
                             prop(QStringLiteral("DataSet"), QStringLiteral("Q")),
                             queryXml(QStringLiteral("Q"), QStringLiteral("SELECT N, BODY FROM memos")))
                       .toUtf8());
    }
    CliRun r = tavik({"report", "run", def, "--out", dir.filePath(QStringLiteral("memo.qrp"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("pages 4"));
    r = tavik({"qrp", "text", dir.filePath(QStringLiteral("memo.qrp"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList stored;
    for (const QString &line : r.lines())
        stored += words(line.section(QLatin1Char('\t'), 3));
    EXPECT_EQ(stored, words(lines.join(QLatin1Char(' '))));

    // At the printer's resolution the lines may fall differently on the pages, but none is lost or doubled.
    r = tavik({"report", "pdf", def, dir.filePath(QStringLiteral("memo.pdf"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {QStringLiteral("-raw"), dir.filePath(QStringLiteral("memo.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(pdftotext.waitForFinished(60000));
    EXPECT_EQ(words(QString::fromUtf8(pdftotext.readAllStandardOutput())), words(lines.join(QLatin1Char(' '))));

    // An export hands each page's part over as a picture named after the control.
    r = tavik({"report", "trace", def});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList pictures;
    for (const QString &line : r.lines())
        if (line.startsWith(QStringLiteral("PutGraphic TQRImage Memo_")))
            pictures << line;
    EXPECT_EQ(pictures.size(), 4) << r.out.toStdString();
}
