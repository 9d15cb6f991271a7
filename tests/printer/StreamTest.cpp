#include "printer/QRError.h"
#include "printer/QRStream.h"
#include "tests/printer/PrinterTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

TEST(Stream, SpillsPastTheLimitAndRemovesItsFile) {
    QString spillFile;
    QByteArray data(1001, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    {
        TQRStream stream(1000);
        stream.WriteBuffer(data.constData(), 1000);
        EXPECT_FALSE(stream.Spilled());
        EXPECT_TRUE(stream.SpillFileName().isEmpty());
        stream.WriteBuffer(data.constData() + 1000, 1);
        ASSERT_TRUE(stream.Spilled());
        spillFile = stream.SpillFileName();
        const QFileInfo info(spillFile);
        EXPECT_TRUE(info.exists());
        EXPECT_TRUE(info.fileName().startsWith(QLatin1String("QRP")));
        EXPECT_EQ(info.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
        EXPECT_EQ(stream.Position(), 1001);
        QByteArray back(1001, '\0');
        stream.Seek(0, TQRStream::soBeginning);
        stream.ReadBuffer(back.data(), back.size());
        EXPECT_EQ(back, data);
        QByteArray copy;
        QBuffer target(&copy);
        target.open(QIODevice::WriteOnly);
        stream.CopyTo(target);
        EXPECT_EQ(copy, data);
        EXPECT_EQ(stream.Position(), 1001);
    }
    EXPECT_FALSE(QFileInfo::exists(spillFile));
}

TEST(Stream, OpenedFileIsNeverDeleted) {
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("report.qrp"));
    writeFile(path, QByteArray(300, 'x'));
    {
        auto stream = TQRStream::CreateFromFile(path);
        EXPECT_TRUE(stream->Spilled());
        EXPECT_EQ(stream->SpillLimit(), 0);
        EXPECT_EQ(stream->Size(), 300);
    }
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_THROW(TQRStream::CreateFromFile(dir.filePath(QStringLiteral("missing.qrp"))), EQRError);
}

namespace {

// A stream whose header is `headerSize` bytes, followed by one record holding a real page recording.
QByteArray withHeader(int headerSize, const QByteArray &header) {
    QByteArray out = header.left(headerSize);
    out.resize(headerSize, '\0');
    const QByteArray page = samplePageBytes(1);
    QByteArray record(8, '\0');
    put32(record, 0, 1);
    put32(record, 4, qint32(headerSize + 8 + page.size() + 4));
    record += page;
    record += QByteArray(4, '\0');
    put32(record, record.size() - 4, headerSize);
    return out + record;
}

} // namespace

TEST(Stream, HeaderSizeFromTheLayout) {
    const TQRFileHeader ours = TQRFileHeader::Make(1, 45000.25, false);
    const QByteArray header(reinterpret_cast<const char *>(ours.Bytes.data()), 128);
    for (int size : {128, 124, 120, 96}) {
        TQRStream stream(1 << 30);
        const QByteArray bytes = withHeader(size, header);
        stream.WriteBuffer(bytes.constData(), bytes.size());
        stream.Seek(17, TQRStream::soBeginning);
        EXPECT_EQ(stream.HeaderSize(), size);
        EXPECT_EQ(stream.Position(), 17);
    }
    // Too short to probe: no match rather than an error; reading the header then fails.
    TQRStream tiny(1 << 30);
    tiny.WriteBuffer("abc", 3);
    EXPECT_EQ(tiny.HeaderSize(), 128);
    EXPECT_THROW(tiny.ReadFileHeader(), EQRError);
    TQRStream empty(1 << 30);
    EXPECT_EQ(empty.HeaderSize(), 128);
}

TEST(Stream, OlderHeaderIsSpreadIntoTheCurrentLayout) {
    QByteArray old(124, '\0');
    old[0] = 3;
    old[2] = 50;
    old[4] = 9;
    put32(old, 8, 2);
    for (int i = 12; i < 20; ++i)
        old[i] = char(0xA0 + i);
    old[20] = 7;
    old[21] = 1;
    for (int i = 22; i < 123; ++i)
        old[i] = 'H';
    old[122] = 'Z';
    TQRStream stream(1 << 30);
    const QByteArray bytes = withHeader(124, old);
    stream.WriteBuffer(bytes.constData(), bytes.size());
    const TQRFileHeader h = stream.ReadFileHeader();
    EXPECT_EQ(h.Bytes[0], 3);
    EXPECT_EQ(h.Bytes[4], 9);
    EXPECT_EQ(h.PageCount(), 2);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(h.Bytes[16 + i], 0xA0 + 12 + i);
    EXPECT_EQ(h.Bytes[24], 7);
    EXPECT_TRUE(h.Compressed());
    EXPECT_EQ(h.Bytes[26], 'H');
    EXPECT_EQ(h.Bytes[126], 'Z');

    // Compressed pages hide the signature: the filler run still tells the old layout.
    TQRStream compressed(1 << 30);
    QByteArray hidden = old + QByteArray(300, '\x55');
    compressed.WriteBuffer(hidden.constData(), hidden.size());
    EXPECT_EQ(compressed.HeaderSize(), 124);
}

TEST(Stream, WrittenTimeRoundTrips) {
    const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 30));
    const double days = TQRFileHeader::toDays(when);
    EXPECT_NEAR(days, 45351.5732638889, 1e-9);
    EXPECT_EQ(TQRFileHeader::fromDays(days).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
              QStringLiteral("2024-02-29 13:45:30"));
    EXPECT_FALSE(TQRFileHeader::fromDays(std::nan("")).isValid());
    EXPECT_FALSE(TQRFileHeader::fromDays(1e300).isValid());
}
