// Pictures of the windows on a help folder, for the README and for looking at changes:
//   tavik_screens HELPDIR OUTDIR
#include "app/DataSource.h"
#include "app/Main.h"
#include "app/QtTexts.h"
#include "app/Tavik.h"
#include "help/HelpEditor.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdio>

static bool save(QWidget *w, const QString &file) {
    QApplication::processEvents();
    const bool ok = w->grab().save(file);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "cannot write", qPrintable(file));
    return ok;
}

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TavikEditor"));
    installHungarianQtTexts();
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
    if (argc < 3) {
        std::fprintf(stderr, "usage: tavik_screens HELPDIR OUTDIR\n");
        return 1;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(out);
    if (!QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "tavik_screens: %s: folder not found\n", argv[1]);
        return 1;
    }
    bool ok = true;
    auto *edit = new TFormEdit();
    edit->show();
    (void)QTest::qWaitForWindowExposed(edit);
    // Focus is drawn only in the active window.
    edit->activateWindow();
    (void)QTest::qWaitForWindowActive(edit);
    // A third-level topic chosen with the mouse: its page shows below, the grid keeps its colours.
    TTable *t = edit->store->TableHelp;
    if (t->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("Billentyűparancsok"))) {
        edit->editor->CellClicked();
        edit->DBEdit1->setFocus();
    }
    ok = save(edit, out + QStringLiteral("/editor.png")) && ok;
    // The grid focused: the current row highlighted.
    edit->DBGrid1->setFocus();
    (void)QTest::qWaitFor([&] { return edit->DBGrid1->hasFocus(); });
    ok = save(edit, out + QStringLiteral("/editor-grid-focus.png")) && ok;
    // The viewer as "Help teszt" opens it: contents with a branch open and a topic chosen, then a search.
    auto *view = new TFormTavik();
    edit->FormTavik = view;
    edit->SpeedButton1Click();
    (void)QTest::qWaitForWindowExposed(view);
    // Activation builds the tree; without a window manager it may have to be done by hand.
    if (!QTest::qWaitForWindowActive(view))
        view->FormActivate();
    if (QTreeWidgetItem *top = view->TreeView1->topLevelItem(2)) {
        top->setExpanded(true);
        if (top->child(0)) {
            top->child(0)->setExpanded(true);
            view->TreeView1->setCurrentItem(top->child(0));
            view->TreeView1Click();
        }
    }
    ok = save(view, out + QStringLiteral("/viewer-contents.png")) && ok;
    view->PageControl1->setCurrentWidget(view->TabSheetSearch);
    view->Edit1->setText(QStringLiteral("leltár"));
    view->SpeedButton1Click();
    view->DBGrid1CellClick();
    ok = save(view, out + QStringLiteral("/viewer-search.png")) && ok;
    delete view;
    delete edit;
    return ok ? 0 : 1;
}
