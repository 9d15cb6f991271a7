#include "tests/app/AppFixture.h"

#include "app/DataSource.h"
#include "app/HtmlView.h"
#include "app/Tavik.h"
#include "help/ContentsTree.h"
#include "help/HelpViewerStore.h"
#include "manual/TavikPrint.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/EmfPlayer.h"
#include "printer/drawing/Metafile.h"
#include "report/engine/QRComposite.h"
#include "report/engine/Streaming.h"
#include "store/Table.h"
#include "tests/support/WriteProtection.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <sqlite3.h>

class Viewer : public HelpFolderFixture {
protected:
    void TearDown() override {
        delete window.data();
        HelpFolderFixture::TearDown();
    }
    TFormTavik *make() {
        window = new TFormTavik(nullptr, &dialogs);
        return window;
    }
    // Shown by "Help teszt": shown, then activated.
    void showAndActivate() {
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        activate();
    }
    void activate() {
        QEvent e(QEvent::WindowActivate);
        QApplication::sendEvent(window, &e);
    }
    QStringList treeLines() {
        QStringList out;
        std::function<void(QTreeWidgetItem *, int)> walk = [&](QTreeWidgetItem *item, int level) {
            out << QString(2 * level, QLatin1Char(' ')) + item->text(0);
            for (int i = 0; i < item->childCount(); ++i)
                walk(item->child(i), level + 1);
        };
        for (int i = 0; i < window->TreeView1->topLevelItemCount(); ++i)
            walk(window->TreeView1->topLevelItem(i), 0);
        return out;
    }
    QTreeWidgetItem *nodeAt(int top, int child = -1) {
        QTreeWidgetItem *item = window->TreeView1->topLevelItem(top);
        return child >= 0 ? item->child(child) : item;
    }
    void clickNode(QTreeWidgetItem *item) {
        window->TreeView1->scrollToItem(item);
        const QRect r = window->TreeView1->visualItemRect(item);
        QTest::mouseClick(window->TreeView1->viewport(), Qt::LeftButton, {}, r.center());
    }
    QString page(const char *name) { return folder.filePath(QStringLiteral("Help/HTML/") + QLatin1String(name)); }
    void setWords(int kod, const QString &words) {
        sqlite3 *db = nullptr;
        sqlite3_open(folder.filePath("Help/HelpData.db").toUtf8().constData(), &db);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "UPDATE HelpData SET WORDS=? WHERE KOD=?", -1, &st, nullptr);
        const QByteArray w = words.toUtf8();
        sqlite3_bind_text(st, 1, w.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 2, kod);
        sqlite3_step(st);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }

    ScriptedDialogs dialogs;
    QPointer<TFormTavik> window;
};

TEST_F(Viewer, FirstShowShowsTheBlankPageThenActivationBuildsTheTree) {
    writePage(QStringLiteral("one.htm"), QStringLiteral("one"));
    const int one = addTopic(0, QStringLiteral("One"), QStringLiteral("one.htm"));
    addTopic(one, QStringLiteral("One child"));
    addTopic(0, QStringLiteral("Two"));
    make();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Help v1.0 "));
    EXPECT_EQ(window->PageControl1->tabText(0), QStringLiteral("Tartalomjegyzék"));
    EXPECT_EQ(window->PageControl1->tabText(1), QStringLiteral("Keresés"));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    // The page was chosen on show, before the first activation built the tree: the blank page.
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("Blank.htm"));
    activate();
    EXPECT_EQ(treeLines(), QStringList({"One", "  One child", "Two"}));
    EXPECT_EQ(window->PageControl1->currentWidget(), window->TabSheetContents);
    clickNode(nodeAt(0));
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("one.htm"));
    clickNode(nodeAt(1));
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("Blank.htm")); // no page of its own
}

TEST_F(Viewer, ActivationShowsTheEditorsLatestPostsAndResetsThePage) {
    addTopic(0, QStringLiteral("Old"));
    make();
    showAndActivate();
    window->PageControl1->setCurrentWidget(window->TabSheetSearch);
    addTopic(0, QStringLiteral("New"));
    activate();
    EXPECT_EQ(treeLines(), QStringList({"Old", "New"}));
    EXPECT_EQ(window->PageControl1->currentWidget(), window->TabSheetContents);
}

TEST_F(Viewer, EscFromAnyControlHidesAndShowingAgainReopens) {
    addTopic(0, QStringLiteral("a"));
    make();
    showAndActivate();
    for (QWidget *w : {static_cast<QWidget *>(window->TreeView1), static_cast<QWidget *>(window->Edit1),
                       static_cast<QWidget *>(window->DBGrid1)}) {
        if (!window->isVisible())
            showAndActivate();
        window->PageControl1->setCurrentWidget(w == window->TreeView1 ? window->TabSheetContents
                                                                      : window->TabSheetSearch);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(window->store->TableTV->Active()); // hidden: table closed
    }
    addTopic(0, QStringLiteral("b"));
    showAndActivate();
    EXPECT_TRUE(window->store->TableTV->Active());
    EXPECT_EQ(treeLines(), QStringList({"a", "b"}));
}

TEST_F(Viewer, ATableThatCannotOpenShowsTheEnginesTextOnceAndTheNextShowTriesAgain) {
    addTopic(0, QStringLiteral("a"));
    const QString file = folder.filePath("Help/HelpData.db");
    ASSERT_TRUE(QFile::rename(file, file + ".away"));
    make();
    showAndActivate();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith("error|")) << dialogs.shown[0].toStdString();
    EXPECT_EQ(window->TreeView1->topLevelItemCount(), 0);
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("Blank.htm"));
    QTest::keyClick(window->TreeView1, Qt::Key_Escape);
    ASSERT_TRUE(QFile::rename(file + ".away", file));
    showAndActivate();
    EXPECT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(treeLines(), QStringList({"a"}));
}

TEST_F(Viewer, PrintButtonOnlySaysItIsNotAvailable) {
    make();
    showAndActivate();
    int adds = 0;
    const auto added = window->QRCompositeReport1->OnAddReports;
    window->QRCompositeReport1->OnAddReports = [&](QObject *sender) {
        ++adds;
        added(sender);
    };
    window->ToolButton2->click();
    EXPECT_EQ(dialogs.shown, QStringList({"plain|Jelenleg ez a funkció nem érhető el!"}));
    EXPECT_EQ(adds, 0); // no job starts
}

TEST_F(Viewer, ItsCompositeJobPrintsTheManualOfItsTable) {
    writePage(QStringLiteral("a.htm"), QStringLiteral("<h1>Alma oldala</h1>"));
    addTopic(0, QStringLiteral("Alma"), QStringLiteral("a.htm"));
    addTopic(1, QStringLiteral("Körte"));
    make();
    // The program reads the manual after the viewer, against the viewer's table.
    TQRForms forms;
    forms.Add(QStringLiteral("FormTavik"), window->store);
    TQRDefinition root;
    window->FolvexTavik = TFolvexTavik::Load(&root, forms, window->StartDir);
    TQRCompositeReport &job = *window->QRCompositeReport1;
    EXPECT_EQ(job.objectName(), "QRCompositeReport1");
    EXPECT_EQ(job.PrinterSettings()->PaperSize(), TQRPaperSize::A4);
    EXPECT_EQ(job.PrinterSettings()->Orientation(), poPortrait);
    EXPECT_EQ(job.PrinterSettings()->Copies(), 1);
    EXPECT_TRUE(job.Options() == TQROptions());
    showAndActivate();
    window->FolvexTavik->SetShowProgress(false);
    job.GeneratePages();
    ASSERT_TRUE(job.Printer);
    EXPECT_EQ(job.Printer->PagesProduced(), 1);
    ASSERT_EQ(job.Reports().size(), 1);
    EXPECT_EQ(job.Reports().first(), window->FolvexTavik);
    EXPECT_EQ(window->FolvexTavik->Composite(), &job);
    // One topic printed its page, the other the blank page; both are in the outline.
    const QList<TManualTopic> &topics = window->FolvexTavik->Topics();
    ASSERT_EQ(topics.size(), 2);
    EXPECT_EQ(topics[0].number + " " + topics[0].title, "1 Alma");
    EXPECT_EQ(topics[1].number + " " + topics[1].title, "1.1 Körte");
    EXPECT_EQ(job.Printer->PageList().Outline().Entries().size(), 2);
    QStringList texts;
    const std::unique_ptr<TMetafile> page = job.Printer->FetchPage(1);
    ASSERT_TRUE(page);
    for (const EmfPlayer::TextRun &run : page->Texts())
        texts << run.text;
    EXPECT_TRUE(texts.join(' ').contains("Alma oldala")) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.join(' ').contains("Felhasználói kézikönyv"));
}

TEST_F(Viewer, KeyboardInTheTreeShowsTheTopicToo) {
    writePage(QStringLiteral("b.htm"), QStringLiteral("b"));
    addTopic(0, QStringLiteral("a"));
    addTopic(0, QStringLiteral("b"), QStringLiteral("b.htm"));
    make();
    showAndActivate();
    clickNode(nodeAt(0));
    QTest::keyClick(window->TreeView1, Qt::Key_Down);
    EXPECT_EQ(window->store->TableTV->FieldByName(QStringLiteral("TEMAKOR"))->AsString(), QStringLiteral("b"));
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("b.htm"));
}

TEST_F(Viewer, SameTitleTwiceShowsTheFirstTopicsPage) {
    writePage(QStringLiteral("first.htm"), QStringLiteral("first"));
    writePage(QStringLiteral("second.htm"), QStringLiteral("second"));
    addTopic(0, QStringLiteral("Kutya"), QStringLiteral("first.htm"));
    addTopic(0, QStringLiteral("KUTYA"), QStringLiteral("second.htm"));
    make();
    showAndActivate();
    clickNode(nodeAt(1));
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("first.htm"));
}

TEST_F(Viewer, SearchByButtonAndByEnterCountsDistinctTitles) {
    writePage(QStringLiteral("animals.htm"), QStringLiteral("animals"));
    const int a = addTopic(0, QStringLiteral("Állatok"), QStringLiteral("animals.htm"));
    const int b = addTopic(a, QStringLiteral("Állatok"));
    const int c = addTopic(0, QStringLiteral("Növények"));
    const int d = addTopic(0, QStringLiteral("Üres"));
    setWords(a, QStringLiteral("kutya macska"));
    setWords(b, QStringLiteral("macska Állat"));
    setWords(c, QStringLiteral("fa virág 100%"));
    Q_UNUSED(d);
    make();
    showAndActivate();
    window->PageControl1->setCurrentWidget(window->TabSheetSearch);
    QTest::keyClicks(window->Edit1, QStringLiteral("MACSKA"));
    window->SpeedButton1->click();
    EXPECT_EQ(window->Panel4->text(), QStringLiteral("1 témakör összesen")); // two topics, one title
    EXPECT_EQ(window->store->SearchResults(), QStringList({"Állatok"}));

    window->Edit1->clear();
    QTest::keyClick(window->Edit1, Qt::Key_Return); // empty text: every title with words
    EXPECT_EQ(window->Panel4->text(), QStringLiteral("2 témakör összesen"));

    window->Edit1->setText(QStringLiteral("v%g")); // "%" is a wildcard of the pattern
    QTest::keyClick(window->Edit1, Qt::Key_Enter);
    EXPECT_EQ(window->store->SearchResults(), QStringList({"Növények"}));

    // Choosing a result shows its topic's page.
    window->Edit1->setText(QStringLiteral("kutya"));
    window->SpeedButton1->click();
    const QRect r = window->DBGrid1->visualRect(window->DataSourceSearch->index(0, 0));
    QTest::mouseClick(window->DBGrid1->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("animals.htm"));
}

TEST(SearchPattern, OnlyLettersAToZAreLowered) {
    EXPECT_EQ(HelpViewerStore::SearchPattern(QStringLiteral("ÁLLAT")), QStringLiteral("%Állat%"));
    EXPECT_EQ(HelpViewerStore::SearchPattern(QString()), QStringLiteral("%%"));
    EXPECT_EQ(HelpViewerStore::SearchPattern(QStringLiteral("A%Z")), QStringLiteral("%a%z%"));
    EXPECT_EQ(HelpViewerStore::CountText(0), QStringLiteral("0 témakör összesen"));
}

TEST(ContentsTreeBuild, TopicsOutOfStepGoUnderTheDeepestShallowerNodeOfThisBuild) {
    ContentsTree tree;
    const struct {
        int depth;
        const char *title;
    } rows[] = {{1, "A"},
                {2, "B"},
                {3, "C"},
                {1, "D"},
                {3, "E (skips a level)"},
                {0, "F (depth 0)"},
                {25, "G (too deep)"},
                {-4, "H (negative)"},
                {2, "I"}};
    for (const auto &r : rows)
        tree.AddTopicNode(r.depth - 1, QString::fromUtf8(r.title));
    QStringList lines;
    for (const ContentsNode &n : tree.nodes())
        lines << QString(2 * n.level, QLatin1Char(' ')) + n.title;
    EXPECT_EQ(lines, QStringList({"A", "  B", "    C", "D", "  E (skips a level)", "F (depth 0)", "  G (too deep)",
                                  "H (negative)", "  I"}));
    // A child of 10.10 is stored with depth 4 (its parent has depth 2): its siblings go beside it, not below it.
    ContentsTree skip;
    for (const auto &r :
         {std::pair{1, "10"}, {2, "10.10"}, {4, "10.10.1"}, {4, "10.10.2"}, {5, "10.10.2.1"}, {2, "10.11"}})
        skip.AddTopicNode(r.first - 1, QString::fromUtf8(r.second));
    QStringList skipLines;
    for (const ContentsNode &n : skip.nodes())
        skipLines << QString(2 * n.level, QLatin1Char(' ')) + n.title;
    EXPECT_EQ(skipLines, QStringList({"10", "  10.10", "    10.10.1", "    10.10.2", "      10.10.2.1", "  10.11"}));
    // Twenty-two levels in a row: nodes below the twentieth still get a parent, never outside the table.
    ContentsTree deep;
    for (int i = 0; i < 22; ++i)
        deep.AddTopicNode(i, QString::number(i));
    EXPECT_EQ(deep.nodes().last().parent, 19);
    EXPECT_EQ(deep.nodes()[20].level, 20);
    // A new build starts from nothing.
    deep.clear();
    deep.AddTopicNode(3, QStringLiteral("alone"));
    EXPECT_EQ(deep.nodes().first().parent, -1);
}

// The viewer's own message box (the print button's) takes the activation while it is open; closing it gives
// the activation back, which is no return of the reader: the page, the search results and the open tree stay.
// Coming back from another window still rebuilds.
TEST_F(Viewer, ItsOwnMessageBoxLeavesTheReadersPlace) {
    setWords(addTopic(0, QStringLiteral("a")), QStringLiteral("alma"));
    const int b = addTopic(0, QStringLiteral("b"));
    addTopic(b, QStringLiteral("b1"));
    window = new TFormTavik(); // real message boxes
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    window->TreeView1->topLevelItem(1)->setExpanded(true);
    window->PageControl1->setCurrentWidget(window->TabSheetSearch);
    window->Edit1->setText(QStringLiteral("alma"));
    window->SpeedButton1->click();
    QString boxText;
    QTimer::singleShot(0, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxText = box->text();
            box->accept();
        }
    });
    window->ToolButton2->click();
    window->activateWindow(); // what a window manager does when the box closes
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QCoreApplication::processEvents();
    EXPECT_EQ(boxText, QStringLiteral("Jelenleg ez a funkció nem érhető el!"));
    EXPECT_EQ(window->PageControl1->currentWidget(), window->TabSheetSearch);
    EXPECT_EQ(window->Panel4->text(), QStringLiteral("1 témakör összesen"));
    EXPECT_TRUE(window->TreeView1->topLevelItem(1)->isExpanded());

    // The reader goes to another window and comes back: the tree is built anew, with what was posted.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    addTopic(0, QStringLiteral("c"));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QCoreApplication::processEvents();
    EXPECT_EQ(treeLines(), QStringList({"a", "b", "  b1", "c"}));
    EXPECT_EQ(window->PageControl1->currentWidget(), window->TabSheetContents);
    EXPECT_FALSE(window->TreeView1->topLevelItem(1)->isExpanded());
}

// A help set installed read-only: the viewer shows, builds its tree, searches and shows pages with no word of
// error, and leaves the folder as it was.
TEST_F(Viewer, AReadOnlyHelpSetIsShownAsAnyOther) {
    writePage(QStringLiteral("one.htm"), QStringLiteral("one"));
    setWords(addTopic(0, QStringLiteral("One"), QStringLiteral("one.htm")), QStringLiteral("egy"));
    const QStringList files = namesBelow(folder.path());
    WriteProtection protection(folder.path());
    if (!protection.active())
        GTEST_SKIP() << "this machine cannot write-protect a folder against this user";
    make();
    showAndActivate();
    EXPECT_EQ(treeLines(), QStringList({"One"}));
    clickNode(nodeAt(0));
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("one.htm"));
    window->PageControl1->setCurrentWidget(window->TabSheetSearch);
    window->Edit1->setText(QStringLiteral("egy"));
    window->SpeedButton1->click();
    EXPECT_EQ(window->Panel4->text(), QStringLiteral("1 témakör összesen"));
    QTest::keyClick(window->Edit1, Qt::Key_Escape);
    delete window.data();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(namesBelow(folder.path()), files);
}
