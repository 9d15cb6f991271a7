// Bookmarks added to a finished PDF, read back through qpdf's own outline reader.
#include "printer/PdfOutline.h"

#include "tests/support/PdfOutlineReader.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

void writePdf(const QString &path, int pages) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A5));
    QPainter painter(&writer);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            writer.newPage();
        painter.drawText(500, 500, QStringLiteral("Page %1").arg(page));
    }
}

QByteArray bytesOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The outline as text: one line per entry, two blanks per level, "title -> page (count)".
QString outlineOf(const QString &path) {
    QString text;
    for (const PdfBookmark &mark : pdfBookmarks(path))
        text += QString(2 * mark.depth, QLatin1Char(' ')) + mark.title +
                QStringLiteral(" -> %1 (%2)\n").arg(mark.page).arg(mark.count);
    return text;
}

} // namespace

TEST(PdfOutline, NestedBookmarksWithHungarianTitlesLeadToTheirPages) {
    TempFolder temp;
    const QString path = temp.filePath(QStringLiteral("k\u00e9zik\u00f6nyv.pdf"));
    writePdf(path, 5);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    const QList<pdf::OutlineItem> items{
        {QStringLiteral("1 Bevezet\u00e9s"),
         1,
         true,
         {{QStringLiteral("1.1 \u0150si t\u0171z"), 2, false, {}},
          {QStringLiteral("1.2 \u00c1rv\u00edzt\u0171r\u0151 t\u00fck\u00f6rf\u00far\u00f3g\u00e9p"),
           3,
           false,
           {{QStringLiteral("1.2.1 Keres\u00e9s"), 4, false, {}}}}}},
        {QStringLiteral("2 F\u00fcggel\u00e9k"), 5, false, {}},
    };
    QString error;
    ASSERT_TRUE(pdf::AddOutline(path, items, &error)) << error.toStdString();
    // Counts: an open entry counts its shown entries, a closed one (negative) those it would show.
    EXPECT_EQ(outlineOf(path),
              QStringLiteral("1 Bevezet\u00e9s -> 1 (2)\n"
                             "  1.1 \u0150si t\u0171z -> 2 (0)\n"
                             "  1.2 \u00c1rv\u00edzt\u0171r\u0151 t\u00fck\u00f6rf\u00far\u00f3g\u00e9p"
                             " -> 3 (-1)\n"
                             "    1.2.1 Keres\u00e9s -> 4 (0)\n"
                             "2 F\u00fcggel\u00e9k -> 5 (0)\n"));
    EXPECT_EQ(QFile::permissions(path) & 0x7077,
              (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther) & 0x7077);
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left

    // An independent reader still sees five pages and their texts.
    if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(60000));
        const QString pages = QString::fromUtf8(text.readAllStandardOutput());
        EXPECT_TRUE(pages.contains(QStringLiteral("Page 1")) && pages.contains(QStringLiteral("Page 5")));
        EXPECT_EQ(pages.count(QLatin1Char('\f')), 5);
    }

    // A second outline replaces the first; none removes it.
    ASSERT_TRUE(pdf::AddOutline(path, {{QStringLiteral("Csak ez"), 2, false, {}}}, &error));
    EXPECT_EQ(outlineOf(path), QStringLiteral("Csak ez -> 2 (0)\n"));
    ASSERT_TRUE(pdf::AddOutline(path, {}, &error));
    EXPECT_EQ(outlineOf(path), QString());
}

TEST(PdfOutline, FailuresLeaveTheFileAsItWas) {
    TempFolder temp;
    const QString path = temp.filePath(QStringLiteral("three.pdf"));
    writePdf(path, 3);
    const QByteArray before = bytesOf(path);

    QString error;
    EXPECT_FALSE(
        pdf::AddOutline(path, {{QStringLiteral("A"), 1, true, {{QStringLiteral("Sehol"), 4, false, {}}}}}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Sehol"))) << error.toStdString();
    EXPECT_FALSE(pdf::AddOutline(path, {{QStringLiteral("Nulla"), 0, false, {}}}, &error));
    EXPECT_EQ(bytesOf(path), before);

    const QString notPdf = temp.filePath(QStringLiteral("not.pdf"));
    {
        QFile file(notPdf);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("this is no PDF");
    }
    error.clear();
    EXPECT_FALSE(pdf::AddOutline(notPdf, {{QStringLiteral("A"), 1, false, {}}}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(bytesOf(notPdf), QByteArray("this is no PDF"));

    error.clear();
    EXPECT_FALSE(pdf::AddOutline(temp.filePath(QStringLiteral("missing.pdf")), {}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}
