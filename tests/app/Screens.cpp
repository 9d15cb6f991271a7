// Pictures of the windows on a help folder, for the README and for looking at changes:
//   tavik_screens HELPDIR OUTDIR
#include "app/Application.h"
#include "app/DBEdit.h"
#include "app/DataSource.h"
#include "app/Main.h"
#include "app/Tavik.h"
#include "help/HelpEditor.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdio>

static bool save(QWidget *w, const QString &file) {
    QApplication::processEvents();
    const bool ok = w->grab().save(file);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "cannot write", qPrintable(file));
    return ok;
}

// Saves the modal box a command opens, then closes it with its No or Cancel.
template <typename F> static bool saveBox(const QString &file, F &&command) {
    bool ok = false;
    QTimer::singleShot(300, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box) {
            std::fprintf(stderr, "no box to save as %s\n", qPrintable(file));
            return;
        }
        ok = save(box, file);
        if (auto *question = qobject_cast<QMessageBox *>(box))
            question->button(QMessageBox::No) ? question->button(QMessageBox::No)->click() : question->reject();
        else if (auto *dialog = qobject_cast<QDialog *>(box))
            dialog->reject();
    });
    command();
    return ok;
}

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    prepareApplication();
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
    // Boxes of the program with Qt's own (Hungarian) texts: the delete question, answered No, and the page dialog.
    ok = saveBox(out + QStringLiteral("/editor-delete-question.png"), [&] { edit->SpeedButtonDelete3Click(); }) && ok;
    ok = saveBox(out + QStringLiteral("/editor-page-dialog.png"), [&] { edit->SpeedButton3Click(); }) && ok;
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
