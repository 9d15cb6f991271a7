#include "printer/QRError.h"
#include "printer/QRPageList.h"
#include "printer/sample/SampleReport.h"
#include "tests/printer/PrinterTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

namespace {

// Saves `pages` numbered pages to a file and returns its bytes.
QByteArray savedReport(const QString &path, int pages, bool compress) {
    TQRPageList list;
    list.SetPageStream(std::make_unique<TQRStream>());
    list.SetCompression(compress);
    for (int n = 1; n <= pages; ++n)
        list.AddPage(numberedPage(n));
    list.WriteFileHeader();
    list.SavePages(path);
    return readFile(path);
}

} // namespace

TEST(PageList, PagesComeBackInAnyOrder) {
    for (bool compress : {false, true}) {
        TQRPageList list;
        list.SetCompression(compress);
        QList<QByteArray> originals;
        for (int n = 1; n <= 3; ++n) {
            const TMetafile page = numberedPage(n);
            originals << page.Bytes();
            list.AddPage(page);
        }
        EXPECT_EQ(list.StoredPages(), 3);
        for (int n : {3, 1, 2, 2, 3}) {
            auto page = list.FetchPage(n);
            ASSERT_TRUE(page) << n;
            EXPECT_EQ(page->Bytes(), originals[n - 1]);
            EXPECT_EQ(textOf(*page), QStringLiteral("Page %1").arg(n));
        }
        for (int n : {0, -1, 4}) {
            EXPECT_FALSE(list.FetchPage(n)) << n;
            EXPECT_EQ(list.SeekPage(n), -1) << n;
        }
        EXPECT_EQ(list.SeekPage(1), 128);
        EXPECT_EQ(list.PageStream()->Position(), 128);
    }
}

TEST(PageList, FileLayoutAndCompressedFileIntoPlainList) {
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("c.qrp"));
    const QByteArray file = savedReport(path, 4, true);
    EXPECT_EQ(get32(file, 0) & 0xFFFF, 3);
    EXPECT_EQ(get32(file, 0) >> 16, 50);
    EXPECT_EQ(get32(file, 8), 4);
    EXPECT_EQ(file[25], 1);
    EXPECT_EQ(file.mid(26, 100), QByteArray(100, 'H'));
    // The header's count equals the records chained after it, each linked both ways.
    qint64 at = 128;
    int records = 0;
    while (at < file.size()) {
        EXPECT_EQ(get32(file, at), records + 1);
        const qint64 next = get32(file, at + 4);
        EXPECT_EQ(get32(file, next - 4), at);
        at = next;
        ++records;
    }
    EXPECT_EQ(at, file.size());
    EXPECT_EQ(records, 4);

    TQRPageList plain;
    ASSERT_FALSE(plain.Compression());
    plain.LoadPages(path);
    EXPECT_TRUE(plain.Compression());
    EXPECT_EQ(plain.StoredPages(), 4);
    for (int n : {4, 2, 1, 3})
        EXPECT_EQ(textOf(*plain.FetchPage(n)), QStringLiteral("Page %1").arg(n));
    EXPECT_TRUE(QFileInfo::exists(path));
}

TEST(PageList, ReportWithoutPagesSavesAndLoads) {
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("empty.qrp"));
    TQRPageList list;
    list.SavePages(path);
    EXPECT_EQ(readFile(path).size(), 128);
    TQRPageList loaded;
    loaded.AddPage(numberedPage(1));
    loaded.LoadPages(path);
    EXPECT_EQ(loaded.StoredPages(), 0);
    EXPECT_FALSE(loaded.FetchPage(1));
    EXPECT_FALSE(loaded.FetchPage(0));
}

TEST(PageList, DamagedFilesFailAndLeaveTheListAsItWas) {
    TempFolder dir;
    const QString good = dir.filePath(QStringLiteral("good.qrp"));
    const QByteArray plain = savedReport(good, 3, false);
    const QByteArray packed = savedReport(dir.filePath(QStringLiteral("packed.qrp")), 3, true);
    const qint64 second = get32(plain, 128 + 4);
    const qint64 third = get32(plain, second + 4);
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    QList<Case> cases;
    cases.append({"short header", plain.left(60)});
    cases.append({"truncated in page 2", plain.left(second + 100)});
    cases.append({"truncated last record", plain.left(plain.size() - 2)});
    QByteArray b = plain;
    put32(b, second, 7);
    cases.append({"wrong page number", b});
    b = plain;
    put32(b, 128 + 4, qint32(plain.size() + 1000));
    cases.append({"next offset beyond the end", b});
    b = plain;
    put32(b, second + 4, 128);
    cases.append({"next offset pointing back", b});
    b = plain;
    put32(b, plain.size() - 4, 5);
    cases.append({"bad back link", b});
    b = plain;
    put32(b, 8, 4);
    cases.append({"more pages announced than stored", b});
    b = plain;
    put32(b, 8, -1);
    cases.append({"negative page count", b});
    b = plain;
    put32(b, 8, 0x7FFFFFFF);
    cases.append({"huge page count", b});
    b = plain;
    put32(b, third + 8 + 48, 0x7FFFFFF0);
    cases.append({"recording longer than its record", b});
    const qint64 packedLast = get32(packed, packed.size() - 4);
    b = packed;
    put32(b, packedLast + 8, 0x7FFFFFF0);
    cases.append({"expanded length beyond the record", b});
    b = packed;
    for (qsizetype i = packedLast + 12; i < packed.size() - 4; ++i)
        b[i] = char(0xFF);
    cases.append({"garbage code", b});
    cases.append({"not a report", QByteArray(4000, 'x')});

    TQRPageList list;
    list.LoadPages(good);
    TQRStream *before = list.PageStream();
    for (const Case &c : cases) {
        const QString path = dir.filePath(QStringLiteral("bad.qrp"));
        writeFile(path, c.bytes);
        EXPECT_THROW(list.LoadPages(path), EQRError) << c.name;
        EXPECT_EQ(list.PageStream(), before) << c.name;
        EXPECT_EQ(list.StoredPages(), 3) << c.name;
        EXPECT_FALSE(list.Compression()) << c.name;
        auto page = list.FetchPage(2);
        ASSERT_TRUE(page) << c.name;
        EXPECT_EQ(textOf(*page), QStringLiteral("Page 2")) << c.name;
    }

    // Loading checks the chain and the last page; damage inside an earlier page shows when it is fetched,
    // and the other pages stay readable.
    QByteArray early = plain;
    put32(early, second - 4, 5);
    for (qsizetype i = 128 + 8 + 200; i < 128 + 8 + 300; ++i)
        early[i] = 'x';
    const QString path = dir.filePath(QStringLiteral("early.qrp"));
    writeFile(path, early);
    list.LoadPages(path);
    EXPECT_THROW(list.FetchPage(1), EQRError);
    EXPECT_EQ(textOf(*list.FetchPage(3)), QStringLiteral("Page 3"));
    EXPECT_EQ(textOf(*list.FetchPage(2)), QStringLiteral("Page 2"));

    // A stream taken without loading is walked on demand; the hop must land on the page it was meant for.
    QByteArray misnumbered = plain;
    put32(misnumbered, third, 9);
    auto stream = std::make_unique<TQRStream>(1 << 30);
    stream->WriteBuffer(misnumbered.constData(), misnumbered.size());
    TQRPageList walked;
    walked.SetPageStream(std::move(stream));
    walked.ReadFileHeader();
    EXPECT_EQ(walked.SeekPage(2), second);
    EXPECT_THROW(walked.SeekPage(3), EQRError);
}

// A fault is told by the page it hits: a missing page by its own number, a page whose drawing records break
// off (a record of no length, of a length that is not a whole number of words, or running past the end) as
// damaged, never drawn as a blank or partial page.
TEST(PageList, DamageIsToldByThePageItHits) {
    TempFolder dir;
    const QByteArray plain = savedReport(dir.filePath(QStringLiteral("plain.qrp")), 3, false);
    const QString path = dir.filePath(QStringLiteral("bad.qrp"));
    QByteArray announced = plain;
    put32(announced, 8, 4);
    writeFile(path, announced);
    TQRPageList list;
    try {
        list.LoadPages(path);
        ADD_FAILURE() << "a fourth page was announced but never stored";
    } catch (const EQRError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Damaged report file: page 4 is missing"));
    }

    const qint64 second = get32(plain, 128 + 4);
    const struct {
        const char *name;
        qint32 size;
    } breaks[] = {{"no length", 0}, {"not whole words", 10}, {"past the end", 0x10000}};
    for (bool compress : {false, true})
        for (const auto &b : breaks) {
            SCOPED_TRACE(b.name);
            QByteArray page = plain.mid(second + 8, get32(plain, second + 4) - second - 12);
            put32(page, 108 + 4, b.size);
            TMetafile broken;
            ASSERT_TRUE(broken.LoadFromBytes(page)); // the header alone is sound
            TQRPageList pages;
            pages.SetCompression(compress);
            pages.AddPage(numberedPage(1));
            pages.AddPage(broken);
            pages.AddPage(numberedPage(3));
            try {
                pages.FetchPage(2);
                ADD_FAILURE() << "a broken page was handed out";
            } catch (const EQRError &e) {
                EXPECT_EQ(e.message(),
                          QStringLiteral("Damaged report file: page 2 has a bad drawing record at byte 108"));
            }
            EXPECT_EQ(textOf(*pages.FetchPage(3)), QStringLiteral("Page 3"));
            EXPECT_EQ(textOf(*pages.FetchPage(1)), QStringLiteral("Page 1"));
        }

    // Only regular files are report files: a pipe would wait for a writer forever, a device never ends.
    const QString fifo = dir.filePath(QStringLiteral("pipe.qrp"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &notAFile : {fifo, QStringLiteral("/dev/zero"), dir.path()}) {
        try {
            list.LoadPages(notAFile);
            ADD_FAILURE() << notAFile.toStdString();
        } catch (const EQRError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Cannot open file \"%1\". It is not a regular file").arg(notAFile));
        }
    }
}

TEST(PageList, OlderHeaderSizesLoad) {
    TempFolder dir;
    const QByteArray current = savedReport(dir.filePath(QStringLiteral("now.qrp")), 3, false);
    // Rebuild the same records behind a header of another size, shifting every stored offset.
    auto rebased = [&](int headerSize, const QByteArray &header) {
        const int shift = headerSize - 128;
        QByteArray out = header;
        QByteArray records = current.mid(128);
        qint64 at = 0;
        while (at < records.size()) {
            const qint64 next = get32(records, at + 4) - 128;
            put32(records, at + 4, qint32(next + 128 + shift));
            put32(records, next - 4, qint32(at + 128 + shift));
            at = next;
        }
        return out + records;
    };
    QByteArray old124(124, '\0');
    put32(old124, 8, 3);
    for (int i = 22; i < 123; ++i)
        old124[i] = 'H';
    const struct {
        int size;
        QByteArray header;
        int pages;
    } cases[] = {{124, old124, 3}, {120, QByteArray(120, '\0'), 1}, {96, QByteArray(96, '\0'), 3}};
    for (const auto &c : cases) {
        const QString path = dir.filePath(QStringLiteral("old%1.qrp").arg(c.size));
        writeFile(path, rebased(c.size, c.header));
        TQRPageList list;
        list.SetCompression(true);
        list.LoadPages(path);
        EXPECT_EQ(list.PageStream()->HeaderSize(), c.size);
        EXPECT_EQ(list.StoredPages(), c.pages) << c.size;
        EXPECT_FALSE(list.Compression()) << c.size;
        for (int n = c.pages; n >= 1; --n)
            EXPECT_EQ(textOf(*list.FetchPage(n)), QStringLiteral("Page %1").arg(n)) << c.size;
    }
}

TEST(PageList, ManyPagesSpilledAndFetchedAtRandom) {
    QString spill;
    {
        TQRPageList list;
        list.SetPageStream(std::make_unique<TQRStream>(10000));
        list.SetCompression(true);
        const int pages = 2500;
        for (int n = 1; n <= pages; ++n)
            list.AddPage(numberedPage(n));
        list.WriteFileHeader();
        ASSERT_TRUE(list.PageStream()->Spilled());
        spill = list.PageStream()->SpillFileName();
        std::mt19937 random(3);
        for (int i = 0; i < 200; ++i) {
            const int n = int(random() % pages) + 1;
            EXPECT_EQ(textOf(*list.FetchPage(n)), QStringLiteral("Page %1").arg(n));
        }
        TempFolder dir;
        const QString path = dir.filePath(QStringLiteral("many.qrp"));
        list.SavePages(path);
        TQRPageList loaded;
        loaded.LoadPages(path);
        EXPECT_EQ(loaded.StoredPages(), pages);
        for (int n : {pages, 1, 1234, 2, pages - 1})
            EXPECT_EQ(textOf(*loaded.FetchPage(n)), QStringLiteral("Page %1").arg(n));
    }
    EXPECT_FALSE(QFileInfo::exists(spill));
}

TEST(PageList, AppendFailureIsTakenBack) {
    TempFolder dir;
    const QString path = dir.filePath(QStringLiteral("r.qrp"));
    savedReport(path, 2, false);
    TQRPageList list;
    list.LoadPages(path); // a read-only stream
    EXPECT_THROW(list.AddPage(numberedPage(3)), EQRError);
    EXPECT_EQ(list.StoredPages(), 2);
    EXPECT_EQ(textOf(*list.FetchPage(2)), QStringLiteral("Page 2"));
}
