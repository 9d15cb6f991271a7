#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

quint32 get32(const QByteArray &b, qsizetype at) {
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16 |
           quint32(uchar(b[at + 3])) << 24;
}

void put32(QByteArray &b, qsizetype at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i));
}

} // namespace

// A page whose drawing records break off is a damaged page: every verb that reads it says so and fails,
// where it used to draw a blank or partial page and succeed.
TEST(QrpVerbs, ADamagedPageFailsTheVerbsThatReadIt) {
    TempFolder dir;
    const QString good = dir.filePath(QStringLiteral("good.qrp"));
    ASSERT_EQ(tavik({QStringLiteral("qrp"), QStringLiteral("make"), good}).status, 0);
    QByteArray bytes = readAll(good);
    const qsizetype page2 = get32(bytes, 128 + 4);
    put32(bytes, page2 + 8 + 108 + 4, 0); // page 2's first record after its header: no length
    const QString bad = dir.filePath(QStringLiteral("bad.qrp"));
    writeAll(bad, bytes);
    const QString message = QStringLiteral("tavik: Damaged report file: page 2 has a bad drawing record at byte 108\n");
    const QList<QStringList> verbs = {
        {QStringLiteral("qrp"), QStringLiteral("png"), bad, QStringLiteral("--page"), QStringLiteral("2"),
         QStringLiteral("--out"), dir.filePath(QStringLiteral("p.png"))},
        {QStringLiteral("qrp"), QStringLiteral("text"), bad, QStringLiteral("--page"), QStringLiteral("2")},
        {QStringLiteral("qrp"), QStringLiteral("text"), bad},
        {QStringLiteral("qrp"), QStringLiteral("emf"), bad, QStringLiteral("--page"), QStringLiteral("2"),
         QStringLiteral("--out"), dir.filePath(QStringLiteral("p.emf"))},
        {QStringLiteral("qrp"), QStringLiteral("pdf"), bad, dir.filePath(QStringLiteral("p.pdf"))},
    };
    for (const QStringList &args : verbs) {
        const CliRun r = tavik(args);
        EXPECT_EQ(r.status, 1) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(r.err, message) << args.join(QLatin1Char(' ')).toStdString();
    }
    // the sound pages still read
    const CliRun page3 =
        tavik({QStringLiteral("qrp"), QStringLiteral("text"), bad, QStringLiteral("--page"), QStringLiteral("3")});
    EXPECT_EQ(page3.status, 0);
    EXPECT_TRUE(page3.out.contains(QStringLiteral("Page 3"))) << page3.out.toStdString();
}

// Only a regular file is read: a pipe used to hang the tool and a device to give odd counts.
TEST(QrpVerbs, OnlyRegularFilesAreRead) {
    TempFolder dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.qrp"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &path : {fifo, QStringLiteral("/dev/zero"), dir.path()}) {
        const CliRun r = tavik({QStringLiteral("qrp"), QStringLiteral("info"), path});
        EXPECT_EQ(r.status, 1) << path.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << path.toStdString();
        EXPECT_EQ(r.err, QStringLiteral("tavik: Cannot open file \"%1\". It is not a regular file\n").arg(path));
    }
    // A header that announces more pages than follow names the first missing one.
    const QString file = dir.filePath(QStringLiteral("r.qrp"));
    ASSERT_EQ(tavik({QStringLiteral("qrp"), QStringLiteral("make"), file}).status, 0);
    QByteArray bytes = readAll(file);
    put32(bytes, 8, 4);
    writeAll(file, bytes);
    const CliRun r = tavik({QStringLiteral("qrp"), QStringLiteral("info"), file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, QStringLiteral("tavik: Damaged report file: page 4 is missing\n"));
}
