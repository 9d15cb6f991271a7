#include "app/Main.h"

#include "app/DBEdit.h"
#include "app/DataSource.h"
#include "app/HtmlView.h"
#include "app/Icons.h"
#include "app/WidgetDialogs.h"
#include "help/HelpEditor.h"
#include "store/DatabaseError.h"
#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const int kClientWidth = 656;
const int kClientHeight = 567;
const int kTopHeight = 317;

// Cells keep their depth colour; only the current row of a focused grid is drawn highlighted.
class DepthDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        QStyleOptionViewItem opt = option;
        const auto *view = qobject_cast<const QAbstractItemView *>(parent());
        if ((opt.state & QStyle::State_Selected) && !(view && view->hasFocus()))
            opt.state &= ~QStyle::State_Selected;
        QStyledItemDelegate::paint(painter, opt, index);
    }
};

QToolButton *toolButton(QWidget *parent, const QString &name, const QString &text, const QIcon &icon, bool bold) {
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    if (!icon.isNull()) {
        b->setIcon(icon);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    } else {
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    if (bold) {
        QFont f = b->font();
        f.setBold(true);
        b->setFont(f);
    }
    return b;
}

} // namespace

TFormEdit::TFormEdit(QWidget *parent, Dialogs *dialogs) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FormEdit"));
    if (!dialogs) {
        m_ownDialogs = std::make_unique<WidgetDialogs>(this);
        dialogs = m_ownDialogs.get();
    }
    m_dialogs = dialogs;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("TavikEditor v1.0"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

    StartDir = QDir::currentPath();
    store = new HelpTopicStore(this);
    editor = new HelpEditor(store, m_dialogs, StartDir, this);
    DataSourceHelp = new TDataSource(store->TableHelp, this);
    buildLayout();

    store->DetachGrid = [this] {
        DataSourceHelp->Detach();
        DBGrid1->setUpdatesEnabled(false);
    };
    store->AttachGrid = [this] {
        DBGrid1->setUpdatesEnabled(true);
        DataSourceHelp->Attach();
    };
    store->BeginBusy = [] { QApplication::setOverrideCursor(Qt::WaitCursor); };
    store->EndBusy = [] { QApplication::restoreOverrideCursor(); };
    editor->FocusTitle = [this] { DBEdit1->setFocus(); };
    editor->FocusGrid = [this] { DBGrid1->setFocus(); };
    connect(editor, &HelpEditor::depthChanged, PanelMelyseg, &QLabel::setText);
    connect(editor, &HelpEditor::navigate, this, [this](const QString &path) { WebBrowser1->navigate(path); });
    connect(DataSourceHelp, &TDataSource::currentRowChanged, this, &TFormEdit::selectGridRow);

    FormCreate();
    qApp->installEventFilter(this);
}

TFormEdit::~TFormEdit() {
    // The viewer's connection closes first, so the editor's, closing last, leaves the help set's files whole
    // and without side files.
    delete FormTavik.data();
    // Close the table while the window is still whole: nothing may call back into a half-destroyed window.
    qApp->removeEventFilter(this);
    DBGrid1->disconnect(this);
    DBGrid1->selectionModel()->disconnect(this);
    DataSourceHelp->disconnect(this);
    editor->disconnect(this);
    delete editor;
    editor = nullptr;
    delete store;
    store = nullptr;
    delete WebBrowser1;
}

void TFormEdit::FormCreate() {
    try {
        store->open(StartDir);
    } catch (const EDatabaseError &e) {
        // The window still opens, with an empty grid; later commands report the engine's errors.
        m_dialogs->error(e.message());
        return;
    }
    DataSourceHelp->Attach();
    DBGrid1->horizontalHeader()->resizeSection(0, 90);
    if (DataSourceHelp->columnCount() > 2) {
        DBGrid1->horizontalHeader()->resizeSection(1, 72);
        DBGrid1->horizontalHeader()->resizeSection(2, 230);
    }
    editor->ShowCurrentDepth();
    WebBrowser1->navigate(editor->CurrentPage());
    selectGridRow(store->TableHelp->DisplayCurrentRow());
    // Said once; every command that would change it says it again.
    if (store->ReadOnly())
        m_dialogs->plainMessage(HelpEditor::ReadOnlyText);
}

// The command buttons above the grid.
QHBoxLayout *TFormEdit::buildToolStrip(QWidget *top) {
    auto *strip = new QHBoxLayout();
    strip->setSpacing(2);
    SpeedButtonDelete3 = toolButton(top, QStringLiteral("SpeedButtonDelete3"), QStringLiteral("Törlés <Delete>"),
                                    icons::deleteIcon(), false);
    SpeedButtonCancel3 = toolButton(top, QStringLiteral("SpeedButtonCancel3"), QStringLiteral("Mégsem <Esc>"),
                                    icons::cancelIcon(), false);
    SpeedButtonInsert3 = toolButton(top, QStringLiteral("SpeedButtonInsert3"), QStringLiteral("Új <Insert>"),
                                    icons::insertIcon(), false);
    SpeedButtonPost3 =
        toolButton(top, QStringLiteral("SpeedButtonPost3"), QStringLiteral("Rögzítés <F2>"), icons::postIcon(), false);
    SpeedButton1 = toolButton(top, QStringLiteral("SpeedButton1"), QStringLiteral("Help teszt"), QIcon(), true);
    for (QToolButton *b : {SpeedButtonDelete3, SpeedButtonCancel3, SpeedButtonInsert3, SpeedButtonPost3, SpeedButton1})
        strip->addWidget(b);
    strip->addStretch();
    return strip;
}

// The grid of topics, coloured by depth; a row chosen in it becomes the current topic.
void TFormEdit::buildGrid(QWidget *top) {
    DBGrid1 = new QTableView(top);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(DataSourceHelp);
    DBGrid1->setItemDelegate(new DepthDelegate(DBGrid1));
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setTabKeyNavigation(false);
    DBGrid1->setWordWrap(false);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->verticalHeader()->setFixedWidth(14);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setDefaultSectionSize(17);
    DBGrid1->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_syncing && current.isValid())
                    gridRowChosen(current.row());
            });
}

// The current topic's fields, its depth and its page.
void TFormEdit::buildEditGroup(QWidget *top) {
    GroupBox1 = new QGroupBox(QStringLiteral("Adatok szerkesztése "), top);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFixedHeight(122);
    auto *grid = new QGridLayout(GroupBox1);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    auto label = [this](const QString &text) {
        auto *l = new QLabel(text, GroupBox1);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    auto edit = [this](const char *name, const QString &field) {
        auto *e = new TDBEdit(GroupBox1);
        e->setObjectName(QString::fromLatin1(name));
        e->bind(store->TableHelp, field);
        e->OnError = [this](const QString &text) { m_dialogs->error(text); };
        return e;
    };
    DBEdit1 = edit("DBEdit1", HelpData::TEMAKOR);
    DBEdit2 = edit("DBEdit2", HelpData::WORDS);
    DBEdit3 = edit("DBEdit3", HelpData::HELPCONTEXT);
    DBEdit4 = edit("DBEdit4", HelpData::HELPHTML);
    DBEdit3->setFixedWidth(110);
    DBEdit4->setFixedWidth(200);

    SpeedButton3 = toolButton(GroupBox1, QStringLiteral("SpeedButton3"), QString(), icons::openIcon(), false);
    SpeedButton3->setToolButtonStyle(Qt::ToolButtonIconOnly);
    SpeedButton3->setFixedSize(22, 20);
    SpeedButton2 =
        toolButton(GroupBox1, QStringLiteral("SpeedButton2"), QStringLiteral("Beállítás fő pontnak"), QIcon(), true);
    PanelMelyseg = new QLabel(QStringLiteral("0"), GroupBox1);
    PanelMelyseg->setObjectName(QStringLiteral("PanelMelyseg"));
    PanelMelyseg->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelMelyseg->setAlignment(Qt::AlignCenter);
    PanelMelyseg->setFixedSize(41, 20);

    grid->addWidget(label(QStringLiteral("Témakör:")), 0, 0);
    grid->addWidget(DBEdit1, 0, 1, 1, 5);
    grid->addWidget(label(QStringLiteral("Szavak kereséshez:")), 1, 0);
    grid->addWidget(DBEdit2, 1, 1, 1, 5);
    grid->addWidget(label(QStringLiteral("Help Context:")), 2, 0);
    grid->addWidget(DBEdit3, 2, 1);
    grid->addWidget(label(QStringLiteral("Mélység:")), 2, 3);
    grid->addWidget(PanelMelyseg, 2, 4);
    grid->addWidget(label(QStringLiteral("HTML File név:")), 3, 0);
    auto *page = new QHBoxLayout();
    page->setSpacing(1);
    page->addWidget(DBEdit4);
    page->addWidget(SpeedButton3);
    page->addStretch();
    grid->addLayout(page, 3, 1, 1, 2);
    grid->addWidget(SpeedButton2, 3, 3, 1, 3, Qt::AlignRight);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(5, 0);
}

void TFormEdit::buildLayout() {
    auto *menu = menuBar();
    QMenu *file = menu->addMenu(QStringLiteral("File"));
    QAction *quit = file->addAction(QStringLiteral("Kilépés"));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    menu->addMenu(QStringLiteral("Segítség"));

    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *top = new QWidget(central);
    top->setObjectName(QStringLiteral("PanelTop"));
    top->setFixedHeight(kTopHeight);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(2, 2, 2, 2);
    topLayout->setSpacing(2);

    topLayout->addLayout(buildToolStrip(top));
    buildGrid(top);
    topLayout->addWidget(DBGrid1, 1);
    buildEditGroup(top);
    topLayout->addWidget(GroupBox1);
    outer->addWidget(top);

    WebBrowser1 = new TextBrowserHtmlView(central);
    outer->addWidget(WebBrowser1->widget(), 1);
    setCentralWidget(central);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(false);
    for (int width : {150, 50}) {
        auto *panel = new QLabel(status);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setFixedWidth(width);
        status->addWidget(panel);
    }
    setStatusBar(status);

    connect(SpeedButtonDelete3, &QToolButton::clicked, this, &TFormEdit::SpeedButtonDelete3Click);
    connect(SpeedButtonCancel3, &QToolButton::clicked, this, &TFormEdit::SpeedButtonCancel3Click);
    connect(SpeedButtonInsert3, &QToolButton::clicked, this, &TFormEdit::SpeedButtonInsert3Click);
    connect(SpeedButtonPost3, &QToolButton::clicked, this, &TFormEdit::SpeedButtonPost3Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFormEdit::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TFormEdit::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TFormEdit::SpeedButton3Click);

    // Fixed single border; the client area below the menu is 656 x 567, centred on the screen.
    const int menuHeight = menu->sizeHint().height();
    setFixedSize(kClientWidth, kClientHeight + menuHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

template <typename F> void TFormEdit::run(F &&command) {
    try {
        command();
    } catch (const EDatabaseError &e) {
        m_dialogs->error(e.message());
        selectGridRow(store->TableHelp->DisplayCurrentRow());
    }
}

void TFormEdit::SpeedButtonDelete3Click() {
    run([this] { editor->Delete(); });
}
void TFormEdit::SpeedButtonCancel3Click() {
    run([this] { editor->Cancel(); });
}
void TFormEdit::SpeedButtonInsert3Click() {
    run([this] { editor->Insert(); });
}
void TFormEdit::SpeedButtonPost3Click() {
    run([this] { editor->Post(); });
}
void TFormEdit::SpeedButton2Click() {
    run([this] { editor->MakeTopLevel(); });
}
void TFormEdit::SpeedButton3Click() {
    run([this] { editor->ChoosePage(); });
}

// What was typed is not lost by closing: the pending row is stored first. When it cannot be stored the user
// decides: drop it and close, or stay with the row still pending.
void TFormEdit::closeEvent(QCloseEvent *event) {
    const QString why = editor->StorePending();
    if (!why.isEmpty()) {
        selectGridRow(store->TableHelp->DisplayCurrentRow());
        if (!m_dialogs->confirm(HelpEditor::EditingCaption, HelpEditor::DropPendingText.arg(why))) {
            event->ignore();
            return;
        }
        store->TableHelp->Cancel();
    }
    QMainWindow::closeEvent(event);
}

// Coming back to the window shows what other writers stored meanwhile.
bool TFormEdit::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate && editor)
        run([this] { editor->Refresh(); });
    return QMainWindow::event(event);
}

void TFormEdit::SpeedButton1Click() {
    if (!FormTavik)
        return;
    FormTavik->show();
    FormTavik->raise();
    FormTavik->activateWindow();
}

void TFormEdit::DBGrid1CellClick(const QModelIndex &) {
    run([this] { editor->CellClicked(); });
}

// A click on a cell is a press and a release over cells. The press moves the table (storing a changed pending
// row), which redoes the grid's rows, so the view's own click signal would be lost; a move that failed ends
// the click, so the pending row is not then thrown away.
void TFormEdit::gridMouse(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = DBGrid1->indexAt(event->position().toPoint());
    if (event->type() == QEvent::MouseButtonPress) {
        m_cellPressed = index.isValid();
        m_moveFailed = false;
        return;
    }
    const bool click = m_cellPressed && !m_moveFailed && index.isValid();
    m_cellPressed = false;
    if (click)
        DBGrid1CellClick(index);
}

// The grid asks for another row (mouse or keyboard): the table moves there, storing a changed pending row.
void TFormEdit::gridRowChosen(int row) {
    TTable *t = store->TableHelp;
    if (!t->Active() || row == t->DisplayCurrentRow())
        return;
    const qint64 bookmark = t->DisplayBookmark(row);
    m_syncing = true;
    try {
        if (bookmark != 0)
            t->GotoBookmark(bookmark);
    } catch (const EDatabaseConflict &conflict) {
        m_moveFailed = true;
        m_dialogs->message(HelpEditor::EditingCaption, editor->conflictText(conflict));
    } catch (const EDatabaseError &e) {
        m_moveFailed = true;
        m_dialogs->error(e.message());
    }
    m_syncing = false;
    selectGridRow(t->DisplayCurrentRow());
}

void TFormEdit::selectGridRow(int row) {
    if (!DBGrid1 || !DataSourceHelp->Attached())
        return;
    const bool was = m_syncing;
    m_syncing = true;
    if (row >= 0 && row < DataSourceHelp->rowCount()) {
        const QModelIndex index = DataSourceHelp->index(row, 0);
        DBGrid1->selectionModel()->setCurrentIndex(index,
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        DBGrid1->scrollTo(index);
    } else {
        DBGrid1->selectionModel()->clear();
    }
    DBGrid1->verticalHeader()->viewport()->update();
    m_syncing = was;
}

bool TFormEdit::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (watched == DBGrid1->viewport() && (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease))
        gridMouse(static_cast<QMouseEvent *>(event));
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QMainWindow::eventFilter(watched, event);
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return QMainWindow::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (type == QEvent::KeyPress) {
        // The window sees every key first: F2 posts, Esc cancels and gives the grid the focus.
        if (key->key() == Qt::Key_F2) {
            SpeedButtonPost3Click();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            SpeedButtonCancel3Click();
            DBGrid1->setFocus();
            return true;
        }
        // Insert and Delete act in the grid only; in an edit they keep their editing meaning.
        if (watched == DBGrid1) {
            if (key->key() == Qt::Key_Insert) {
                SpeedButtonInsert3Click();
                return true;
            }
            if (key->key() == Qt::Key_Delete) {
                SpeedButtonDelete3Click();
                return true;
            }
        }
    } else if (watched == DBGrid1 && !key->isAutoRepeat()) {
        run([this] { editor->ShowCurrentDepth(); });
    }
    return QMainWindow::eventFilter(watched, event);
}
