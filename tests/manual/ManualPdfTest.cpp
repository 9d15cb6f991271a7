// The manual of a help set as a PDF, read back as a reader sees it: its pages, its text in outline order, its
// bookmarks and its pictures.
#include "manual/ManualJob.h"

#include "store/Table.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/PdfOutlineReader.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QString run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The outline as lines: two blanks per level, "title -> page".
QStringList outlineOf(const QString &path) {
    QStringList lines;
    for (const PdfBookmark &mark : pdfBookmarks(path))
        lines << QString(2 * mark.depth, QLatin1Char(' ')) + mark.title + QStringLiteral(" -> %1").arg(mark.page);
    return lines;
}

// A copy of the demo help, which the test may write beside.
QString copyDemo(const TempFolder &folder) {
    const QString from = sourceDir() + QStringLiteral("/demo/Help");
    const QString to = folder.mkdir(QStringLiteral("Help/HTML"));
    QFile::copy(from + QStringLiteral("/HelpData.db"), folder.filePath(QStringLiteral("Help/HelpData.db")));
    QDir html(from + QStringLiteral("/HTML"));
    for (const QString &name : html.entryList(QDir::Files))
        QFile::copy(html.filePath(name), to + QLatin1Char('/') + name);
    QDir(to).mkdir(QStringLiteral("images"));
    QDir images(html.filePath(QStringLiteral("images")));
    for (const QString &name : images.entryList(QDir::Files))
        QFile::copy(images.filePath(name), to + QStringLiteral("/images/") + name);
    return folder.path();
}

int pixelsOf(const QImage &image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += std::abs(qRed(p) - qRed(colour)) < 40 && std::abs(qGreen(p) - qGreen(colour)) < 40 &&
                 std::abs(qBlue(p) - qBlue(colour)) < 40;
        }
    return n;
}

} // namespace

TEST(ManualPdf, TheDemoManualHoldsEveryTopicInOutlineOrderWithItsBookmark) {
    TempFolder folder;
    const QString dir = copyDemo(folder);
    const QString pdf = folder.filePath(QStringLiteral("manual.pdf"));
    TManualJob job(dir);
    const int pages = job.PrintPdf(pdf);
    EXPECT_EQ(pages, 10);
    EXPECT_TRUE(run("pdfinfo", {pdf}).contains(QRegularExpression("Pages:\\s+10\\n")));

    // The topics in display order, as "number title".
    QStringList topics;
    TTable &table = *job.Viewer.TableTV;
    for (table.First(); !table.Eof(); table.Next())
        topics << table.FieldByName("ERTEK")->AsString() + ' ' + table.FieldByName("TEMAKOR")->AsString();
    ASSERT_EQ(topics.size(), 33);

    // The title first, then every topic's heading in outline order; each on the page its bookmark leads to.
    const QString text = run("pdftotext", {pdf, "-"});
    qsizetype at = text.indexOf("Felhasználói kézikönyv");
    EXPECT_EQ(at, 0);
    QStringList pageText;
    for (int page = 1; page <= pages; ++page)
        pageText << run("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
    const QStringList outline = outlineOf(pdf);
    ASSERT_EQ(outline.size(), topics.size());
    for (qsizetype i = 0; i < topics.size(); ++i) {
        const qsizetype found = text.indexOf(topics[i], at + 1);
        EXPECT_GT(found, at) << topics[i].toStdString();
        at = found;
        const QString entry = outline[i].trimmed();
        EXPECT_TRUE(entry.startsWith(topics[i] + " -> ")) << entry.toStdString();
        const int page = entry.section(" -> ", 1).toInt();
        ASSERT_TRUE(page >= 1 && page <= pages);
        EXPECT_TRUE(pageText[page - 1].contains(topics[i])) << topics[i].toStdString() << " on " << page;
        // Nested by depth: "2.2.1" two levels down.
        EXPECT_EQ(outline[i].indexOf(outline[i].trimmed()), 2 * topics[i].section(' ', 0, 0).count('.'));
    }
}

TEST(ManualPdf, PicturesComeFromThePageFolderAlone) {
    TempFolder folder;
    ASSERT_EQ(tavik({"init", folder.path()}).status, 0);
    ASSERT_EQ(tavik({"insert", folder.path(), "--top", "--title", "Képes", "--page", "kep.htm"}).status, 0);
    const QString pages = folder.filePath("Help/HTML");
    QDir(pages).mkdir("images");
    QImage red(60, 60, QImage::Format_RGB32);
    red.fill(qRgb(220, 20, 20));
    red.save(pages + "/images/red.png");
    QImage green(60, 60, QImage::Format_RGB32);
    green.fill(qRgb(20, 200, 20));
    green.save(folder.filePath("Help/green.png")); // beside the page folder, not in it
    QFile page(pages + "/kep.htm");
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write(QStringLiteral("<html><body><p>Piros:</p><img src=\"images/red.png\"><p>Zöld:</p>"
                              "<img src=\"../green.png\"><img src=\"%1\"><img src=\"file://%1\"></body></html>")
                   .arg(folder.filePath("Help/green.png"))
                   .toUtf8());
    page.close();

    const QString pdf = folder.filePath("kep.pdf");
    TManualJob job(folder.path());
    EXPECT_EQ(job.PrintPdf(pdf), 1);
    run("pdftoppm", {"-png", "-r", "72", "-f", "1", "-l", "1", pdf, folder.filePath("page")});
    const QImage shot(folder.filePath("page-1.png"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_GT(pixelsOf(shot, qRgb(220, 20, 20)), 40 * 40);
    EXPECT_EQ(pixelsOf(shot, qRgb(20, 200, 20)), 0);
    EXPECT_TRUE(run("pdftotext", {pdf, "-"}).contains("Zöld:"));
}

TEST(ManualPdf, TheToolPrintsTheManualAndRefusesWhatItCannot) {
    TempFolder folder;
    const QString dir = copyDemo(folder);
    const CliRun qrp = tavik({"manual", dir, "--out", folder.filePath("m.qrp")});
    EXPECT_EQ(qrp.status, 0) << qrp.err.toStdString();
    EXPECT_EQ(qrp.lines(), QStringList{"pages 10"});
    EXPECT_EQ(tavik({"qrp", "info", folder.filePath("m.qrp")}).lines().value(0), "pages 10");
    const CliRun pdf = tavik({"manual", dir, "--pdf", folder.filePath("m.pdf")});
    EXPECT_EQ(pdf.lines(), QStringList{"pages 10"});
    EXPECT_EQ(outlineOf(folder.filePath("m.pdf")).value(0), "1 Bevezetés -> 1");

    EXPECT_EQ(tavik({"manual", dir}).status, 1);
    EXPECT_EQ(tavik({"manual", dir, "--out", "a.qrp", "--pdf", "a.pdf"}).status, 1);
    const CliRun missing = tavik({"manual", folder.filePath("nincs"), "--pdf", folder.filePath("x.pdf")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(QFile::exists(folder.filePath("x.pdf")));
}
