#include "printer/QRPageList.h"
#include "printer/drawing/Metafile.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(PrintVerbs, ReportFileToPdf) {
    TempFolder dir;
    const QString qrp = dir.filePath(QStringLiteral("manual.qrp"));
    ASSERT_EQ(tavik({QStringLiteral("qrp"), QStringLiteral("make"), qrp, QStringLiteral("--pages"), QStringLiteral("5"),
                     QStringLiteral("--compress")})
                  .status,
              0);
    const struct {
        QStringList range;
        int pages;
        QStringList present, absent;
    } cases[] = {
        {{}, 5, {"Page 1 of 5", "Page 5 of 5"}, {}},
        {{"--first", "2", "--last", "4"}, 3, {"Page 2 of 5", "Page 4 of 5"}, {"Page 1 of 5", "Page 5 of 5"}},
        {{"--first", "4"}, 2, {"Page 4 of 5", "Page 5 of 5"}, {"Page 3 of 5"}},
        {{"--last", "9"}, 5, {"Page 5 of 5"}, {}},
    };
    for (const auto &c : cases) {
        const QString pdf = dir.filePath(QStringLiteral("out%1.pdf").arg(c.range.join(QString())));
        const CliRun r = tavik(QStringList{QStringLiteral("qrp"), QStringLiteral("pdf"), qrp, pdf} + c.range);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(r.lines(), QStringList{QStringLiteral("pages %1").arg(c.pages)});
        EXPECT_EQ(pdfPages(pdf), c.pages);
        EXPECT_EQ(pdfPageSize(pdf), QStringLiteral("595 x 842"));
        const QString text = pdfText(pdf);
        for (const QString &t : c.present)
            EXPECT_TRUE(text.contains(t)) << t.toStdString();
        for (const QString &t : c.absent)
            EXPECT_FALSE(text.contains(t)) << t.toStdString();
    }
}

// A page that fits no paper (100 x 200 mm) is printed on a sheet of its size, not stretched over A4.
TEST(PrintVerbs, PagesOfTheirOwnSize) {
    TempFolder dir;
    const QString qrp = dir.filePath(QStringLiteral("labels.qrp"));
    {
        TQRPageList list;
        list.SetPageStream(std::make_unique<TQRStream>());
        for (int n = 1; n <= 2; ++n) {
            TMetafile page(378, 756, 96, 96);
            {
                TMetafileCanvas canvas(page);
                canvas->drawText(20, 40, QStringLiteral("Label %1").arg(n));
            }
            list.AddPage(page);
        }
        list.WriteFileHeader();
        list.SavePages(qrp);
    }
    const QString pdf = dir.filePath(QStringLiteral("labels.pdf"));
    const CliRun r = tavik({QStringLiteral("qrp"), QStringLiteral("pdf"), qrp, pdf});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(pdfPages(pdf), 2);
    EXPECT_EQ(pdfPageSize(pdf), QStringLiteral("283 x 567"));
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Label 2")));
}

TEST(PrintVerbs, Refusals) {
    TempFolder dir;
    const QString qrp = dir.filePath(QStringLiteral("r.qrp"));
    const QString empty = dir.filePath(QStringLiteral("empty.qrp"));
    ASSERT_EQ(tavik({QStringLiteral("qrp"), QStringLiteral("make"), qrp}).status, 0);
    ASSERT_EQ(
        tavik({QStringLiteral("qrp"), QStringLiteral("make"), empty, QStringLiteral("--pages"), QStringLiteral("0")})
            .status,
        0);
    const QString pdf = dir.filePath(QStringLiteral("x.pdf"));
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{"qrp", "pdf", qrp, pdf, "--first", "4"}, "tavik: no pages in the range (the report has pages 1-3)"},
        {{"qrp", "pdf", qrp, pdf, "--first", "3", "--last", "2"},
         "tavik: no pages in the range (the report has pages 1-3)"},
        {{"qrp", "pdf", qrp, pdf, "--last", "0"}, "tavik: --last takes a page number from 1"},
        {{"qrp", "pdf", qrp, pdf, "--first", "x"}, "tavik: --first takes a whole number, not 'x'"},
        {{"qrp", "pdf", empty, pdf}, "tavik: the report has no pages"},
        {{"qrp", "pdf", dir.filePath("none.qrp"), pdf}, "tavik: " + dir.filePath("none.qrp") + ": file not found"},
        {{"qrp", "pdf", qrp}, "tavik: usage: tavik qrp pdf FILE OUT.pdf [--first N] [--last M]"},
        {{"qrp", "print", qrp, "--printer", "No such printer"}, {}},
    };
    for (const auto &c : cases) {
        const CliRun r = tavik(c.args);
        EXPECT_EQ(r.status, 1) << c.args.join(' ').toStdString();
        if (!c.message.isEmpty()) {
            EXPECT_EQ(r.err.trimmed(), c.message);
        }
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);
    }
    EXPECT_FALSE(QFile::exists(pdf));

    const CliRun listed = tavik({QStringLiteral("printers")});
    EXPECT_EQ(listed.status, 0);
    EXPECT_FALSE(listed.out.isEmpty());
}
