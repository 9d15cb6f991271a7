#include "printer/QRPrinter.h"
#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/Metafile.h"
#include "printer/preview/QRPrev.h"
#include "printer/preview/QRPreview.h"
#include "printer/preview/QRSearchDlg.h"
#include "tests/printer/drawing/DrawingTestSupport.h"
#include "tests/printer/preview/PreviewTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

namespace {

// A page whose text records hold `lines`, one record each.
TMetafile pageWith(const QStringList &lines) {
    TMetafile page(300, 200, 96, 96);
    {
        TMetafileCanvas canvas(page);
        for (int i = 0; i < lines.size(); ++i)
            canvas->drawText(10, 20 + 20 * i, lines[i]);
    }
    return page;
}

// A text record as a program of the older kind writes it: `bytes` of a single-byte code page; the count and
// the offset of the string may lie.
QByteArray textRecord(quint32 type, const QByteArray &bytes, qint32 chars, qint32 offset) {
    QByteArray r;
    emf::ByteWriter w(r);
    w.u32(type);
    w.u32(0);
    for (qint32 v : {0, 0, 0, 0, 1, 0, 0, 10, 50, chars, offset, 0, 0, 0, 0, 0, 0})
        w.i32(v);
    r.append(bytes);
    w.pad4();
    emf::ByteWriter::putU32(r, 4, quint32(r.size()));
    return r;
}

TMetafile loaded(const QByteArray &bytes) {
    TMetafile page;
    EXPECT_TRUE(page.LoadFromBytes(bytes));
    return page;
}

class Search : public PreviewTest {
protected:
    static QStringList results(const TQRStandardPreview &window) {
        QStringList items;
        for (int i = 0; i < window.SearchResultBox->count(); ++i)
            items << window.SearchResultBox->item(i)->text();
        return items;
    }
};

} // namespace

TEST(PageSearch, CaseIsMatchedOnlyWhenAsked) {
    const TMetafile upper = pageWith({QStringLiteral("GRAND TOTAL 12")});
    const TMetafile title = pageWith({QStringLiteral("Total: 12")});
    const TMetafile lower = pageWith({QStringLiteral("subtotal 12")});
    for (const TMetafile *page : {&upper, &title, &lower})
        EXPECT_TRUE(PageContainsText(QStringLiteral("total"), *page, false));
    EXPECT_FALSE(PageContainsText(QStringLiteral("total"), upper, true));
    EXPECT_FALSE(PageContainsText(QStringLiteral("total"), title, true));
    EXPECT_TRUE(PageContainsText(QStringLiteral("total"), lower, true));
    EXPECT_FALSE(PageContainsText(QString(), lower, false)); // an empty text is never found
    // Each record is searched on its own: a phrase over two records is not found.
    const TMetafile split = pageWith({QStringLiteral("grand"), QStringLiteral("total")});
    EXPECT_FALSE(PageContainsText(QStringLiteral("grand total"), split, false));
    EXPECT_TRUE(PageContainsText(QStringLiteral("GRAND"), split, false));
}

TEST(PageSearch, WideCharactersAreWholeCharacters) {
    // ő is U+0151 and ű U+0171: their low bytes are "Q" and "q".
    const TMetafile hungarian = pageWith({QStringLiteral("Árvíztűrő tükörfúrógép")});
    for (const QString &other : {QStringLiteral("Q"), QStringLiteral("q"), QStringLiteral("rQ"), QStringLiteral("tqr")})
        for (const bool matchCase : {false, true})
            EXPECT_FALSE(PageContainsText(other, hungarian, matchCase)) << other.toStdString() << matchCase;
    EXPECT_TRUE(PageContainsText(QStringLiteral("tűrő"), hungarian, true));
    EXPECT_TRUE(PageContainsText(QStringLiteral("TŰRŐ"), hungarian, false));
    EXPECT_FALSE(PageContainsText(QStringLiteral("TŰRŐ"), hungarian, true));
    EXPECT_TRUE(PageContainsText(QStringLiteral("árvíz"), hungarian, false));
    const TMetafile quote = pageWith({QStringLiteral("Quelle")});
    EXPECT_FALSE(PageContainsText(QStringLiteral("ő"), quote, false));
    EXPECT_FALSE(PageContainsText(QStringLiteral("ű"), quote, false));
}

TEST(PageSearch, OlderRecordsAreWindows1250) {
    EmfBuilder file;
    file.raw(textRecord(emf::EMR_EXTTEXTOUTA, QByteArray("T\xFBr\xF5", 4), 4, 76)); // "Tűrő"
    const TMetafile page = loaded(file.bytes());
    EXPECT_TRUE(PageContainsText(QStringLiteral("tűrő"), page, false));
    EXPECT_TRUE(PageContainsText(QStringLiteral("Tűrő"), page, true));
    EXPECT_FALSE(PageContainsText(QStringLiteral("TŰRŐ"), page, true));
    EXPECT_FALSE(PageContainsText(QString::fromLatin1("T\xFBr\xF5"), page, false)); // not Latin-1
}

TEST(PageSearch, CountsAndOffsetsOutsideTheRecordHoldNothing) {
    EmfBuilder file;
    file.raw(textRecord(emf::EMR_EXTTEXTOUTW, QByteArray("x\0y\0", 4), 1000000, 76)); // count past the end
    file.raw(textRecord(emf::EMR_EXTTEXTOUTW, QByteArray("x\0y\0", 4), 2, 4000));     // offset past the end
    file.raw(textRecord(emf::EMR_EXTTEXTOUTW, QByteArray("x\0y\0", 4), 2, 4));        // inside the header
    file.raw(textRecord(emf::EMR_EXTTEXTOUTA, QByteArray("xy", 2), -1, 76));          // a negative count
    file.raw(textRecord(emf::EMR_EXTTEXTOUTW, QByteArray("o\0k\0", 4), 2, 76));       // a sound one after them
    const TMetafile page = loaded(file.bytes());
    int records = 0;
    page.Enumerate([&](const EmfRecord &r) {
        records += r.isText();
        return true;
    });
    ASSERT_EQ(records, 5);
    EXPECT_FALSE(PageContainsText(QStringLiteral("x"), page, false));
    EXPECT_FALSE(PageContainsText(QStringLiteral("y"), page, false));
    EXPECT_TRUE(PageContainsText(QStringLiteral("ok"), page, true));
}

TEST_F(Search, ListsThePagesThatHoldTheText) {
    ScriptedReport report;
    report.pageText = [](int n) {
        return QStringList{n == 1   ? QStringLiteral("TOTAL")
                           : n == 3 ? QStringLiteral("Total")
                                    : QStringLiteral("sum"),
                           n == 4 ? QStringLiteral("total") : QString()};
    };
    report.Run(5);
    auto window = open(report.Printer());
    dialogs->searches.push_back(TQRPreviewDialogs::SearchText{QStringLiteral("total"), false});
    window->FindButtonClick();
    EXPECT_EQ(results(*window), (QStringList{"Page 1", "Page 3", "Page 4"}));
    EXPECT_TRUE(window->SearchResultBox->isEnabled());
    EXPECT_EQ(window->SearchTextLabel->text(), QStringLiteral("total"));
    EXPECT_EQ(window->Tabs->currentWidget(), window->TabSearchResult);

    dialogs->searches.push_back(TQRPreviewDialogs::SearchText{QStringLiteral("total"), true});
    window->FindButtonClick();
    EXPECT_EQ(results(*window), QStringList{"Page 4"});
    window->SearchResultBox->setCurrentRow(0);
    emit window->SearchResultBox->itemClicked(window->SearchResultBox->item(0));
    EXPECT_EQ(window->QRPreview->PageNumber(), 4);

    dialogs->searches.push_back(TQRPreviewDialogs::SearchText{QStringLiteral("nowhere"), false});
    window->FindButtonClick();
    EXPECT_EQ(results(*window), QStringList{"No matching text"});
    EXPECT_FALSE(window->SearchResultBox->isEnabled());

    dialogs->searches.push_back(std::nullopt); // dismissed: the last results stay
    window->FindButtonClick();
    EXPECT_EQ(results(*window), QStringList{"No matching text"});
    EXPECT_EQ(dialogs->asked.count(QStringLiteral("search")), 4);
    window->close();
}

TEST_F(Search, ASearchWhileOneRunsIsRefused) {
    ScriptedReport first;
    first.pageText = [](int n) { return QStringList{n % 10 == 0 ? QStringLiteral("needle") : QStringLiteral("hay")}; };
    first.Run(60);
    ScriptedReport second;
    second.Run(2);
    auto window = open(first.Printer());
    TestDialogs *firstDialogs = dialogs;
    auto other = open(second.Printer());

    // While the first window searches, the user asks both windows for another search.
    bool otherSearched = true;
    int asked = 0;
    QTimer::singleShot(0, [&] {
        otherSearched = other->Search(QStringLiteral("Page"), false);
        window->FindButtonClick();
        asked = firstDialogs->asked.count(QStringLiteral("search"));
    });
    firstDialogs->searches.push_back(TQRPreviewDialogs::SearchText{QStringLiteral("needle"), false});
    window->FindButtonClick();
    EXPECT_FALSE(otherSearched);
    EXPECT_EQ(asked, 1); // refused before asking for the text
    EXPECT_EQ(firstDialogs->messages, QStringList{"A search is already running."});
    EXPECT_EQ(results(*window), (QStringList{"Page 10", "Page 20", "Page 30", "Page 40", "Page 50", "Page 60"}));
    // Once it ended, searching works everywhere again.
    EXPECT_TRUE(other->Search(QStringLiteral("Page 2"), true));
    EXPECT_EQ(results(*other), QStringList{"Page 2"});

    // Closing a window while it searches ends the search first, then the window.
    QTimer::singleShot(0, [&] { window->ExitClick(); });
    EXPECT_TRUE(window->Search(QStringLiteral("needle"), false));
    EXPECT_TRUE(window); // not closed under the running search
    EXPECT_LT(results(*window).size(), 6);
    window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    other->close();
}

TEST_F(Search, NoSearchWhilePagesAreProduced) {
    ScriptedReport report;
    auto window = open(report.Printer());
    bool searched = true;
    report.whileDrawing = [&](int n) {
        if (n == 3)
            searched = window->Search(QStringLiteral("Page"), false);
    };
    report.Run(4);
    EXPECT_FALSE(searched);
    EXPECT_FALSE(window->SearchResultBox->isEnabled());
    EXPECT_TRUE(window->Search(QStringLiteral("Page"), false));
    EXPECT_EQ(results(*window).size(), 4);
    window->close();
}
