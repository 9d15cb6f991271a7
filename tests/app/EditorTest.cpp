#include "tests/app/AppFixture.h"

#include "app/DBEdit.h"
#include "app/DataSource.h"
#include "app/HtmlView.h"
#include "app/Main.h"
#include "app/Tavik.h"
#include "help/HelpEditor.h"
#include "help/HelpViewerStore.h"
#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"
#include "tests/support/WriteProtection.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <QToolButton>

class Editor : public HelpFolderFixture {
protected:
    void TearDown() override {
        delete window.data();
        HelpFolderFixture::TearDown();
    }

    TFormEdit *open() {
        window = new TFormEdit(nullptr, &dialogs);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        window->activateWindow();
        window->DBGrid1->setFocus();
        QCoreApplication::processEvents();
        return window;
    }
    TTable *table() const { return window->store->TableHelp; }
    QString value(const char *field) const { return table()->FieldByName(QString::fromLatin1(field))->AsString(); }
    void clickRow(int row) {
        window->DBGrid1->scrollTo(window->DataSourceHelp->index(row, 2));
        const QRect r = window->DBGrid1->visualRect(window->DataSourceHelp->index(row, 2));
        QTest::mouseClick(window->DBGrid1->viewport(), Qt::LeftButton, {}, r.center());
    }
    void key(QWidget *w, Qt::Key k) { QTest::keyClick(w, k); }
    QString page(const char *name) const { return folder.filePath(QStringLiteral("Help/HTML/") + QLatin1String(name)); }
    // Typing as a keyboard does, accented letters included.
    void type(QWidget *w, const QString &text) {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &release);
        }
    }
    QStringList titles() {
        QStringList out;
        for (int r = 0; r < window->DataSourceHelp->rowCount(); ++r)
            out << window->DataSourceHelp->index(r, 2).data().toString();
        return out;
    }

    ScriptedDialogs dialogs;
    QPointer<TFormEdit> window;
};

TEST_F(Editor, OpensWithItsLayoutTextsAndColumns) {
    open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("TavikEditor v1.0"));
    EXPECT_EQ(window->centralWidget()->width(), 656);
    EXPECT_EQ(window->height() - window->menuBar()->height(), 567);
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("0")); // empty table
    QStringList headings;
    for (int c = 0; c < window->DataSourceHelp->columnCount(); ++c)
        headings << window->DataSourceHelp->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(headings, QStringList({"Sorszám", "Help context", "Témakör", "WORDS"}));
    QStringList buttons;
    for (QToolButton *b : {window->SpeedButtonDelete3, window->SpeedButtonCancel3, window->SpeedButtonInsert3,
                           window->SpeedButtonPost3, window->SpeedButton1, window->SpeedButton2})
        buttons << b->text();
    EXPECT_EQ(buttons, QStringList({"Törlés <Delete>", "Mégsem <Esc>", "Új <Insert>", "Rögzítés <F2>", "Help teszt",
                                    "Beállítás fő pontnak"}));
    EXPECT_TRUE(window->SpeedButton1->font().bold());
    EXPECT_EQ(window->GroupBox1->title(), QStringLiteral("Adatok szerkesztése "));
    QStringList menus;
    for (QAction *a : window->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, QStringList({"File", "Segítség"}));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(Editor, ATableThatCannotOpenLeavesAnEmptyWorkingWindow) {
    QFile::remove(folder.filePath("Help/HelpData.db"));
    open();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith("error|")) << dialogs.shown[0].toStdString();
    EXPECT_TRUE(dialogs.shown[0].contains("HelpData.db"));
    EXPECT_EQ(window->DataSourceHelp->rowCount(), 0);
    // Later commands say why the table cannot open, not that one of its fields is missing.
    key(window->DBGrid1, Qt::Key_Insert);
    window->SpeedButtonPost3->click();
    dialogs.answers = {true};
    key(window->DBGrid1, Qt::Key_Delete);
    EXPECT_EQ(dialogs.shown, QStringList(4, dialogs.shown[0]));
    // Once the table is there, the next command opens it.
    HelpData::createTable(folder.filePath("Help"));
    key(window->DBGrid1, Qt::Key_Insert);
    EXPECT_EQ(dialogs.shown.size(), 4);
    EXPECT_EQ(table()->State(), dsInsert);
}

TEST_F(Editor, InsertTypePostByKeysRenumbersAndColours) {
    open();
    key(window->DBGrid1, Qt::Key_Insert);
    EXPECT_EQ(table()->State(), dsInsert);
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("1"));
    EXPECT_TRUE(window->DBEdit1->hasFocus());
    type(window->DBEdit1, QStringLiteral("Első témakör"));
    type(window->DBEdit3, QStringLiteral("12x3")); // only digits belong to a number
    EXPECT_EQ(window->DBEdit3->text(), QStringLiteral("123"));
    key(window->DBEdit1, Qt::Key_F2); // F2 inside an edit field posts
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_EQ(value("KOD"), QStringLiteral("1"));
    EXPECT_EQ(value("ERTEK"), QStringLiteral("1"));
    EXPECT_EQ(value("TEMAKOR"), QStringLiteral("Első témakör"));
    EXPECT_EQ(value("HELPCONTEXT"), QStringLiteral("123"));
    EXPECT_TRUE(window->DBGrid1->hasFocus());

    // A child of topic 1, then the title field refuses more than its 50 characters.
    key(window->DBGrid1, Qt::Key_Insert);
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("2"));
    type(window->DBEdit1, QString(60, QLatin1Char('x')));
    EXPECT_EQ(window->DBEdit1->text().size(), 50);
    window->SpeedButtonPost3->click();
    EXPECT_EQ(titles(), QStringList({"Első témakör", QString(50, QLatin1Char('x'))}));
    EXPECT_EQ(value("ERTEK"), QStringLiteral("1.1"));
}

TEST_F(Editor, EscWithNothingPendingOnlyMovesTheFocusToTheGrid) {
    addTopic(0, QStringLiteral("a"));
    open();
    window->DBEdit2->setFocus();
    key(window->DBEdit2, Qt::Key_Escape);
    EXPECT_TRUE(window->DBGrid1->hasFocus());
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    // With an edit pending, Esc drops it.
    type(window->DBEdit1, QStringLiteral(" changed"));
    EXPECT_EQ(table()->State(), dsEdit);
    key(window->DBEdit1, Qt::Key_Escape);
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_EQ(window->DBEdit1->text(), QStringLiteral("a"));
}

TEST_F(Editor, ClickOnThePendingRowDropsItAndOnAnotherRowStoresItUnnumbered) {
    addTopic(0, QStringLiteral("a"));
    addTopic(0, QStringLiteral("b"));
    open();
    key(window->DBGrid1, Qt::Key_Insert);
    type(window->DBEdit1, QStringLiteral("dropped"));
    const int pendingRow = table()->DisplayCurrentRow();
    clickRow(pendingRow);
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_EQ(table()->RecordCount(), 2);
    EXPECT_TRUE(dialogs.shown.isEmpty());

    window->DBGrid1->setFocus();
    key(window->DBGrid1, Qt::Key_Insert);
    type(window->DBEdit1, QStringLiteral("kept"));
    clickRow(table()->DisplayCurrentRow() == 0 ? 1 : 0);
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_EQ(table()->RecordCount(), 3);
    ASSERT_TRUE(table()->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("kept")));
    EXPECT_TRUE(table()->FieldByName(QStringLiteral("ERTEK"))->IsNull());
}

TEST_F(Editor, AFailedPostShowsTheEnginesTextAndKeepsTheRowPending) {
    addTopic(0, QStringLiteral("a"));
    open();
    window->DBEdit3->setFocus();
    type(window->DBEdit3, QStringLiteral("-")); // a sign alone is no number
    EXPECT_EQ(table()->State(), dsEdit);
    key(window->DBEdit3, Qt::Key_F2);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith("error|'-' is not a valid integer")) << dialogs.shown[0].toStdString();
    EXPECT_EQ(table()->State(), dsEdit);
    EXPECT_EQ(window->DBEdit3->text(), QStringLiteral("-"));
    // Corrected, the same post goes through.
    type(window->DBEdit3, QStringLiteral("7"));
    key(window->DBEdit3, Qt::Key_F2);
    EXPECT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_EQ(value("HELPCONTEXT"), QStringLiteral("-7"));
}

TEST_F(Editor, AClickThatStoresAPendingEditStillShowsTheClickedRow) {
    writePage(QStringLiteral("pa.htm"), QStringLiteral("<p>a</p>"));
    writePage(QStringLiteral("pb.htm"), QStringLiteral("<p>b</p>"));
    const int a = addTopic(0, QStringLiteral("a"), QStringLiteral("pa.htm"));
    addTopic(a, QStringLiteral("a1"), QStringLiteral("pb.htm"));
    open();
    clickRow(0);
    type(window->DBEdit2, QStringLiteral("szó"));
    clickRow(1); // stores the edit, then shows the clicked row's depth and page
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_EQ(value("TEMAKOR"), QStringLiteral("a1"));
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("2"));
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("pb.htm"));
    // A move whose store fails ends the click: the typed text stays pending on its row.
    window->DBEdit3->setFocus();
    type(window->DBEdit3, QStringLiteral("-"));
    clickRow(0);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith("error|")) << dialogs.shown[0].toStdString();
    EXPECT_EQ(table()->State(), dsEdit);
    EXPECT_EQ(value("TEMAKOR"), QStringLiteral("a1"));
    EXPECT_EQ(window->DBEdit3->text(), QStringLiteral("-"));
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("pb.htm"));
}

TEST_F(Editor, InsertOrDeleteWhileEditingWarnsAndChangesNothing) {
    addTopic(0, QStringLiteral("a"));
    open();
    type(window->DBEdit2, QStringLiteral("szavak"));
    window->SpeedButtonInsert3->click();
    window->SpeedButtonDelete3->click();
    const QString warning =
        "message|Figyelmeztetés a felhasználónak!|Az adatok még szerkesztés alatt vanak. Először rögzítsük!";
    EXPECT_EQ(dialogs.shown, QStringList({warning, warning}));
    EXPECT_EQ(table()->State(), dsEdit);
    EXPECT_EQ(table()->RecordCount(), 1);
}

TEST_F(Editor, InsertAndDeleteKeysActOnlyInTheGrid) {
    addTopic(0, QStringLiteral("abc"));
    open();
    window->DBEdit1->setFocus();
    window->DBEdit1->setCursorPosition(0);
    key(window->DBEdit1, Qt::Key_Delete); // deletes a character, not the topic
    EXPECT_EQ(window->DBEdit1->text(), QStringLiteral("bc"));
    key(window->DBEdit1, Qt::Key_Insert);
    EXPECT_EQ(table()->State(), dsEdit);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(Editor, MakeTopLevelOnlyDuringAnInsert) {
    const int a = addTopic(0, QStringLiteral("a"));
    addTopic(a, QStringLiteral("a1"));
    addTopic(0, QStringLiteral("b"));
    open();
    window->SpeedButton2->click(); // browse state: nothing
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("1"));
    clickRow(1); // a1
    key(window->DBGrid1, Qt::Key_Insert);
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("3"));
    window->SpeedButton2->click();
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("1"));
    type(window->DBEdit1, QStringLiteral("top"));
    key(window->DBEdit1, Qt::Key_F2);
    EXPECT_EQ(titles(), QStringList({"a", "a1", "b", "top"}));
    EXPECT_EQ(value("ERTEK"), QStringLiteral("3"));
}

TEST_F(Editor, DeleteRefusedAnsweredNoAndAnsweredYes) {
    const int a = addTopic(0, QStringLiteral("a"));
    addTopic(a, QStringLiteral("a1"));
    addTopic(a, QStringLiteral("a2"));
    const int a3 = addTopic(a, QStringLiteral("a3"));
    addTopic(a3, QStringLiteral("a31"));
    open();
    key(window->DBGrid1, Qt::Key_Delete); // "a" has children
    EXPECT_EQ(dialogs.shown, QStringList({"plain|A szülőponthoz tartoznak gyermek pontok, így az nem törölhető!"}));
    dialogs.shown.clear();
    clickRow(2); // a2
    dialogs.answers = {false};
    key(window->DBGrid1, Qt::Key_Delete);
    EXPECT_EQ(dialogs.shown, QStringList({"confirm|Figyelmeztetés a felhasználónak|Végrehajtható a törlés?"}));
    EXPECT_EQ(table()->RecordCount(), 5);
    dialogs.answers = {true};
    key(window->DBGrid1, Qt::Key_Delete);
    EXPECT_EQ(titles(), QStringList({"a", "a1", "a3", "a31"}));
    QStringList numbers;
    for (table()->First(); !table()->Eof(); table()->Next())
        numbers << value("ERTEK");
    EXPECT_EQ(numbers, QStringList({"1", "1.1", "1.2", "1.2.1"}));
}

TEST_F(Editor, DeleteOnAnEmptyTableAsksThenReportsTheEngine) {
    open();
    dialogs.answers = {true};
    key(window->DBGrid1, Qt::Key_Delete);
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_TRUE(dialogs.shown[0].startsWith("confirm|"));
    EXPECT_TRUE(dialogs.shown[1].startsWith("error|"));
    EXPECT_TRUE(dialogs.shown[1].contains("empty"));
}

TEST_F(Editor, InsertUnderDepthTenKeepsDepthTenAndTooLongNumbersAreRefused) {
    int parent = 0;
    for (int depth = 1; depth <= 10; ++depth)
        parent = addTopic(parent, QStringLiteral("level %1").arg(depth));
    open();
    clickRow(9);
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("10"));
    key(window->DBGrid1, Qt::Key_Insert);
    // 1.1.1.1.1.1.1.1.1.1.1 would need 21 characters: refused, nothing changes.
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith("plain|Ide nem szúrható be új témakör")) << dialogs.shown[0].toStdString();
    EXPECT_EQ(table()->State(), dsBrowse);
    EXPECT_EQ(table()->RecordCount(), 10);
    // Under the ninth level the number fits; the panel shows the parent's depth plus one.
    clickRow(8);
    key(window->DBGrid1, Qt::Key_Insert);
    EXPECT_EQ(table()->State(), dsInsert);
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("10"));
    window->SpeedButtonCancel3->click();
}

TEST_F(Editor, PageChoiceDuringAnInsertStoresOnlyTheNameAndShowsThePageFolderCopy) {
    writePage(QStringLiteral("a.htm"), QStringLiteral("<p>page a</p>"));
    addTopic(0, QStringLiteral("x"));
    open();
    key(window->DBGrid1, Qt::Key_Insert);
    dialogs.fileAnswer = QStringLiteral("/somewhere/else/a.htm");
    window->SpeedButton3->click();
    EXPECT_TRUE(dialogs.shown.last().startsWith("file|" + folder.filePath("Help") + "|*.htm; *.html"))
        << dialogs.shown.last().toStdString();
    EXPECT_EQ(table()->State(), dsInsert);
    EXPECT_EQ(window->DBEdit4->text(), QStringLiteral("a.htm"));
    EXPECT_EQ(window->WebBrowser1->currentPath(), folder.filePath("Help/HTML/a.htm"));
    type(window->DBEdit1, QStringLiteral("with page"));
    key(window->DBEdit1, Qt::Key_F2);
    EXPECT_EQ(value("HELPHTML"), QStringLiteral("a.htm"));
    // Cancelled dialog: nothing changes.
    dialogs.fileAnswer.clear();
    window->SpeedButton3->click();
    EXPECT_EQ(table()->State(), dsBrowse);
}

TEST_F(Editor, ClickShowsThePageOrTheBlankPageNeverAFileOutsideThePageFolder) {
    writePage(QStringLiteral("real.htm"), QStringLiteral("<p>real</p>"));
    QFile secret(folder.filePath("secret.htm"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("<p>secret</p>");
    secret.close();
    addTopic(0, QStringLiteral("no page"));
    addTopic(0, QStringLiteral("real"), QStringLiteral("real.htm"));
    addTopic(0, QStringLiteral("escape"), QStringLiteral("../../secret.htm"));
    addTopic(0, QStringLiteral("dots"), QStringLiteral(".."));
    addTopic(0, QStringLiteral("missing"), QStringLiteral("missing.htm"));
    open();
    const QString blank = folder.filePath("Help/HTML/Blank.htm");
    const QStringList expected = {blank, folder.filePath("Help/HTML/real.htm"), blank, blank, blank};
    for (int row = 0; row < 5; ++row) {
        clickRow(row);
        EXPECT_EQ(window->WebBrowser1->currentPath(), expected[row]) << "row " << row;
    }
    // Without Blank.htm a built-in empty page shows.
    QFile::remove(blank);
    clickRow(0);
    EXPECT_EQ(window->WebBrowser1->currentPath(), QString());
}

TEST_F(Editor, ArrowKeysMoveTheRowAndTheDepthPanelButNotThePage) {
    writePage(QStringLiteral("p.htm"), QStringLiteral("<p>p</p>"));
    const int a = addTopic(0, QStringLiteral("a"), QStringLiteral("p.htm"));
    addTopic(a, QStringLiteral("a1"));
    open();
    clickRow(0);
    const QString shown = window->WebBrowser1->currentPath();
    key(window->DBGrid1, Qt::Key_Down);
    EXPECT_EQ(value("TEMAKOR"), QStringLiteral("a1"));
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("2"));
    EXPECT_EQ(window->WebBrowser1->currentPath(), shown);
}

TEST_F(Editor, RowsArePaintedInDepthColoursAndHighlightedOnlyWithFocus) {
    int parent = 0;
    for (int depth = 1; depth <= 7; ++depth)
        parent = addTopic(parent, QStringLiteral("level %1").arg(depth));
    open();
    window->resize(window->size());
    const QColor expected[] = {QColor(0xF1, 0x97, 0x3D), QColor(0xF3, 0xC8, 0x76), QColor(0xF7, 0xD9, 0xA8),
                               QColor(0xF9, 0xE8, 0xC5), QColor(0xFB, 0xD9, 0xDF), QColor(0xFD, 0xE8, 0xFF)};
    auto pixelOf = [&](int row) {
        const QImage shot = window->DBGrid1->viewport()->grab().toImage();
        const QRect r = window->DBGrid1->visualRect(window->DataSourceHelp->index(row, 2));
        return QColor(shot.pixel(r.right() - 3, r.center().y()));
    };
    clickRow(0);
    window->DBEdit2->setFocus(); // focus elsewhere: the current row shows its own colour
    QCoreApplication::processEvents();
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(pixelOf(row), expected[row]) << "row " << row;
    const QColor base = window->DBGrid1->palette().color(QPalette::Base);
    EXPECT_EQ(pixelOf(6), base); // depth 7: default colours
    window->DBGrid1->setFocus();
    QCoreApplication::processEvents();
    const QColor highlight = window->DBGrid1->palette().color(QPalette::Active, QPalette::Highlight);
    const QColor selected = pixelOf(0); // the style may shade its highlight a little
    EXPECT_LE(std::abs(selected.red() - highlight.red()) + std::abs(selected.green() - highlight.green()) +
                  std::abs(selected.blue() - highlight.blue()),
              12);
    EXPECT_EQ(pixelOf(1), expected[1]);
}

TEST_F(Editor, KilepesClosesTheWindowAndStoresWhatWasTyped) {
    addTopic(0, QStringLiteral("a"));
    open();
    QAction *file = window->menuBar()->actions().first();
    QAction *quit = file->menu()->actions().first();
    EXPECT_EQ(quit->text(), QStringLiteral("Kilépés"));
    key(window->DBGrid1, Qt::Key_Insert);
    type(window->DBEdit1, QStringLiteral("typed, never posted"));
    quit->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    HelpTopicStore after;
    after.open(folder.path());
    ASSERT_TRUE(after.TableHelp->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("typed, never posted")));
    EXPECT_EQ(after.TableHelp->FieldByName(QStringLiteral("ERTEK"))->AsString(), QStringLiteral("1.1"));
}

// A row that cannot be stored does not keep the window open for good: closing asks in Hungarian, with the
// reason, whether to drop it. No keeps the window and the row as typed; Yes closes and stores nothing.
TEST_F(Editor, ClosingWithARowThatCannotBeStoredAsksWhetherToDropIt) {
    addTopic(0, QStringLiteral("a"));
    open();
    key(window->DBGrid1, Qt::Key_Insert);
    type(window->DBEdit1, QStringLiteral("cannot be stored"));
    type(window->DBEdit3, QStringLiteral("-"));
    dialogs.answers = {false};
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(window.isNull());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith(
        "confirm|Figyelmeztetés a felhasználónak!|A szerkesztés alatt álló adatok nem rögzíthetők:\n"))
        << dialogs.shown[0].toStdString();
    EXPECT_TRUE(dialogs.shown[0].contains("HELPCONTEXT"));
    EXPECT_TRUE(dialogs.shown[0].endsWith("Kilép a program a változtatások elvetésével?"));
    EXPECT_EQ(table()->State(), dsInsert);
    EXPECT_EQ(window->DBEdit1->text(), QStringLiteral("cannot be stored"));
    EXPECT_EQ(window->DBEdit3->text(), QStringLiteral("-"));

    dialogs.answers = {true};
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    HelpTopicStore after;
    after.open(folder.path());
    EXPECT_EQ(after.TableHelp->RecordCount(), 1);
}

// After Delete, Post and Cancel the depth panel and the page show the row that is current then.
TEST_F(Editor, DepthPanelAndPageFollowTheRowAfterDeletePostAndCancel) {
    writePage(QStringLiteral("pa.htm"), QStringLiteral("a"));
    writePage(QStringLiteral("pb.htm"), QStringLiteral("b"));
    const int a = addTopic(0, QStringLiteral("a"), QStringLiteral("pa.htm"));
    const int a1 = addTopic(a, QStringLiteral("a1"));
    addTopic(a1, QStringLiteral("a11"));
    addTopic(0, QStringLiteral("b"), QStringLiteral("pb.htm"));
    open();
    clickRow(2); // a11, depth 3
    key(window->DBGrid1, Qt::Key_Insert);
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("4"));
    key(window->DBEdit1, Qt::Key_Escape);
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("3"));
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("Blank.htm"));

    // A new topic made top-level keeps the depth Insert gave it until Post numbers it.
    clickRow(0);
    key(window->DBGrid1, Qt::Key_Insert);
    window->SpeedButton2->click();
    type(window->DBEdit1, QStringLiteral("top"));
    clickRow(int(titles().indexOf(QStringLiteral("b")))); // stores the new topic unnumbered, with depth 2
    clickRow(int(titles().indexOf(QStringLiteral("top"))));
    ASSERT_EQ(value("TEMAKOR"), QStringLiteral("top"));
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("2"));
    key(window->DBGrid1, Qt::Key_F2);
    EXPECT_EQ(value("TEMAKOR"), QStringLiteral("top"));
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("1"));

    // Deleting a11 makes b the current row: its depth and page.
    clickRow(int(titles().indexOf(QStringLiteral("a11"))));
    ASSERT_EQ(value("TEMAKOR"), QStringLiteral("a11"));
    dialogs.answers = {true};
    key(window->DBGrid1, Qt::Key_Delete);
    ASSERT_EQ(value("TEMAKOR"), QStringLiteral("b"));
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("1"));
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("pb.htm"));
    // The last topic gone: depth 0 and the blank page.
    for (int left = 4; left > 0; --left) {
        table()->Last();
        dialogs.answers = {true};
        window->SpeedButtonDelete3->click();
    }
    EXPECT_EQ(table()->RecordCount(), 0);
    EXPECT_EQ(window->PanelMelyseg->text(), QStringLiteral("0"));
    EXPECT_EQ(window->WebBrowser1->currentPath(), page("Blank.htm"));
}

// Folder and files write-protected: the editor opens on it, says once that it is read-only, takes no typing,
// and each command that would change it says so again.
TEST_F(Editor, AReadOnlyHelpSetOpensWithOneMessage) {
    addTopic(0, QStringLiteral("a"));
    WriteProtection protection(folder.path());
    if (!protection.active())
        GTEST_SKIP() << "this machine cannot write-protect a folder against this user";
    open();
    const QString readOnly = "plain|" + HelpEditor::ReadOnlyText;
    EXPECT_EQ(dialogs.shown, QStringList({readOnly}));
    EXPECT_EQ(titles(), QStringList({"a"}));
    EXPECT_TRUE(window->DBEdit1->isReadOnly());
    type(window->DBEdit1, QStringLiteral("x"));
    EXPECT_EQ(window->DBEdit1->text(), QStringLiteral("a"));
    EXPECT_EQ(table()->State(), dsBrowse);
    key(window->DBGrid1, Qt::Key_Insert);
    EXPECT_EQ(dialogs.shown, QStringList({readOnly, readOnly}));
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

// A title takes whole characters only: an emoji that would not fit is not typed in halves, and neither a TAB
// nor a line break gets into a field.
TEST_F(Editor, EditsTakeWholeCharactersOnOneLine) {
    addTopic(0, QStringLiteral("a"));
    open();
    window->DBEdit1->setFocus();
    window->DBEdit1->selectAll();
    type(window->DBEdit1, QString(49, QLatin1Char('x')));
    window->DBEdit1->insert(QStringLiteral("🙂"));
    EXPECT_EQ(window->DBEdit1->text(), QString(49, QLatin1Char('x')));
    window->DBEdit2->setFocus();
    window->DBEdit2->insert(QStringLiteral("két\tmező"));
    window->DBEdit2->insert(QStringLiteral("két\nsor"));
    EXPECT_EQ(window->DBEdit2->text(), QString());
    key(window->DBEdit1, Qt::Key_F2);
    EXPECT_EQ(value("TEMAKOR"), QString(49, QLatin1Char('x')));
}

// The viewer goes with the editor, closing its connection first: the editor, closing last, leaves the help set
// in one file, with no side files, readable where it cannot be written.
TEST_F(Editor, ClosingLeavesTheHelpSetInOneFile) {
    addTopic(0, QStringLiteral("a"));
    open();
    QPointer<TFormTavik> viewer = new TFormTavik(nullptr, &dialogs);
    window->FormTavik = viewer.data();
    window->SpeedButton1->click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
    EXPECT_TRUE(viewer->store->TableTV->Active());
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(viewer.isNull());
    EXPECT_EQ(namesBelow(folder.filePath("Help")), QStringList({"HTML", "HTML/Blank.htm", "HelpData.db"}));
}

// Moving to another row stores the pending edit as a post does: merged into what another writer stored, or,
// where both changed one field, refused in Hungarian with the stored value shown and the row still pending.
TEST_F(Editor, MovingAwayStoresAnEditMergedWithAnotherWritersChange) {
    const int a = addTopic(0, QStringLiteral("a"));
    addTopic(0, QStringLiteral("b"));
    open();
    HelpTopicStore other;
    other.open(folder.path());
    auto otherSets = [&](const QString &fieldName, const QString &value) {
        other.TableHelp->RefreshIfChanged();
        ASSERT_TRUE(other.TableHelp->Locate(HelpData::KOD, a));
        other.TableHelp->Edit();
        other.TableHelp->FieldByName(fieldName)->SetAsString(value);
        other.TableHelp->Post();
    };
    clickRow(0);
    type(window->DBEdit2, QStringLiteral("szavak"));
    otherSets(HelpData::TEMAKOR, QStringLiteral("a (máshol átírva)"));
    clickRow(1);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    ASSERT_TRUE(table()->Locate(HelpData::KOD, a));
    EXPECT_EQ(value("TEMAKOR"), QStringLiteral("a (máshol átírva)"));
    EXPECT_EQ(value("WORDS"), QStringLiteral("szavak"));

    clickRow(0);
    window->DBEdit1->setFocus();
    window->DBEdit1->selectAll();
    type(window->DBEdit1, QStringLiteral("az enyém"));
    otherSets(HelpData::TEMAKOR, QStringLiteral("a másiké"));
    clickRow(1);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith("message|Figyelmeztetés a felhasználónak!|A témakört közben egy másik"))
        << dialogs.shown[0].toStdString();
    EXPECT_TRUE(dialogs.shown[0].contains("„az enyém”") && dialogs.shown[0].contains("„a másiké”"));
    EXPECT_EQ(table()->State(), dsEdit);
    EXPECT_EQ(window->DBEdit1->text(), QStringLiteral("a másiké"));
}
