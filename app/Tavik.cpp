#include "app/Tavik.h"

#include "app/DataSource.h"
#include "app/HtmlView.h"
#include "app/Icons.h"
#include "app/WidgetDialogs.h"
#include "help/ContentsTree.h"
#include "help/HelpViewerStore.h"
#include "manual/TavikPrint.h"
#include "report/engine/QRComposite.h"
#include "store/DatabaseError.h"
#include "store/HelpData.h"
#include "store/Query.h"
#include "store/Table.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

TFormTavik::TFormTavik(QWidget *parent, Dialogs *dialogs) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FormTavik"));
    if (!dialogs) {
        m_ownDialogs = std::make_unique<WidgetDialogs>(this);
        dialogs = m_ownDialogs.get();
    }
    m_dialogs = dialogs;
    setWindowTitle(QStringLiteral("Help v1.0 "));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    store = new HelpViewerStore(this);
    QRCompositeReport1 = new TQRCompositeReport(this);
    QRCompositeReport1->setObjectName(QStringLiteral("QRCompositeReport1"));
    QRCompositeReport1->OnAddReports = [this](QObject *Sender) { QRCompositeReport1AddReports(Sender); };
    DataSourceSearch = new TDataSource(store->QuerySearch, this);
    buildLayout();
    FormCreate();
    qApp->installEventFilter(this);
    // Another window of the program taking the activation settles a box's return: the viewer's next activation
    // is a real one again.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *focus) {
        if (focus && focus != windowHandle() && m_boxesOpen == 0)
            m_backFromBox = false;
    });
}

TFormTavik::~TFormTavik() {
    qApp->removeEventFilter(this);
    DBGrid1->disconnect(this);
    DBGrid1->selectionModel()->disconnect(this);
    TreeView1->disconnect(this);
    delete store;
    store = nullptr;
    delete WebBrowser1;
}

void TFormTavik::FormCreate() {
    StartDir = QDir::currentPath();
    store->setStartDir(StartDir);
    AddHelpField(*store->TableTV, StartDir);
    PageControl1->setCurrentWidget(TabSheetContents);
}

void TFormTavik::buildLayout() {
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setIconSize(QSize(16, 16));
    ToolButton2 = new QToolButton(bar);
    ToolButton2->setObjectName(QStringLiteral("ToolButton2"));
    ToolButton2->setIcon(icons::printIcon());
    ToolButton2->setAutoRaise(true);
    ToolButton2->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(ToolButton2);
    outer->addWidget(bar);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(4);
    Splitter1->setChildrenCollapsible(false);

    PageControl1 = new QTabWidget(Splitter1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    // The two pages are chosen with flat buttons, the chosen one drawn pressed.
    PageControl1->setDocumentMode(true);
    PageControl1->tabBar()->setStyleSheet(QStringLiteral(
        "QTabBar::tab { border: 1px solid transparent; border-radius: 2px; padding: 3px 8px; margin: 2px 1px 2px 2px; }"
        "QTabBar::tab:hover:!selected { border-color: palette(mid); }"
        "QTabBar::tab:selected { border-color: palette(dark); background: palette(midlight); }"));

    TabSheetContents = new QWidget(PageControl1);
    auto *contents = new QVBoxLayout(TabSheetContents);
    contents->setContentsMargins(0, 2, 0, 0);
    TreeView1 = new QTreeWidget(TabSheetContents);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(19);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setAllColumnsShowFocus(true);
    contents->addWidget(TreeView1);
    PageControl1->addTab(TabSheetContents, QStringLiteral("Tartalomjegyzék"));

    TabSheetSearch = new QWidget(PageControl1);
    auto *search = new QVBoxLayout(TabSheetSearch);
    search->setContentsMargins(4, 6, 4, 0);
    search->setSpacing(4);
    search->addWidget(new QLabel(QStringLiteral("Adja meg a keresendő kulcsszót!"), TabSheetSearch));
    Edit1 = new QLineEdit(TabSheetSearch);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    search->addWidget(Edit1);
    SpeedButton1 = new QToolButton(TabSheetSearch);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("Témakör keresés"));
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    QFont bold = SpeedButton1->font();
    bold.setBold(true);
    SpeedButton1->setFont(bold);
    SpeedButton1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    search->addWidget(SpeedButton1);
    search->addWidget(new QLabel(QStringLiteral("A megjeleníteni kívánt témakör"), TabSheetSearch));
    DBGrid1 = new QTableView(TabSheetSearch);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(DataSourceSearch);
    DBGrid1->horizontalHeader()->hide();
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->verticalHeader()->setDefaultSectionSize(17);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setShowGrid(false);
    search->addWidget(DBGrid1, 1);
    Panel4 = new QLabel(TabSheetSearch);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel4->setAlignment(Qt::AlignCenter);
    Panel4->setFixedHeight(22);
    search->addWidget(Panel4);
    PageControl1->addTab(TabSheetSearch, QStringLiteral("Keresés"));

    WebBrowser1 = new TextBrowserHtmlView(Splitter1);
    Splitter1->addWidget(PageControl1);
    Splitter1->addWidget(WebBrowser1->widget());
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({209, 581 - 209 - 4});
    PageControl1->setMinimumWidth(120);
    outer->addWidget(Splitter1, 1);

    connect(ToolButton2, &QToolButton::clicked, this, &TFormTavik::ToolButton2Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFormTavik::SpeedButton1Click);
    connect(TreeView1, &QTreeWidget::itemClicked, this, [this] { TreeView1Click(); });
    connect(DBGrid1, &QTableView::clicked, this, [this] { DBGrid1CellClick(); });
    connect(DataSourceSearch, &TDataSource::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < DataSourceSearch->rowCount())
            DBGrid1->selectRow(row);
    });
    // The result list follows the query's cursor; choosing a row moves it.
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &i) {
        if (i.isValid() && store->QuerySearch->Active() && i.row() != store->QuerySearch->DisplayCurrentRow())
            store->QuerySearch->SetRecNo(i.row() + 1);
    });

    resize(581, 450);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

template <typename F> void TFormTavik::run(F &&action) {
    try {
        action();
    } catch (const EDatabaseError &e) {
        ownBox([&] { m_dialogs->error(e.message()); });
    }
}

// A box of the viewer's own hands the activation back when it closes, at once or a little later: until then the
// viewer's activation is expected.
template <typename F> void TFormTavik::ownBox(F &&show) {
    ++m_boxesOpen;
    try {
        show();
    } catch (...) {
        --m_boxesOpen;
        m_backFromBox = !isActiveWindow();
        throw;
    }
    --m_boxesOpen;
    m_backFromBox = !isActiveWindow();
}

void TFormTavik::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormTavik::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

// The activation a closing box of the viewer's own hands back is no return of the reader: the page, the search
// and the open tree stay. Every other activation rebuilds.
bool TFormTavik::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate) {
        if (m_boxesOpen > 0 || m_backFromBox)
            m_backFromBox = false;
        else
            FormActivate();
    }
    return QWidget::event(event);
}

void TFormTavik::FormShow() {
    // On a table that cannot be opened the engine's message shows and the tree stays empty.
    run([this] { store->open(); });
    PageControl1->setCurrentWidget(TabSheetContents);
    TreeView1->setFocus();
    TreeView1Click();
}

void TFormTavik::FormActivate() {
    PageControl1->setCurrentWidget(TabSheetContents);
    run([this] { rebuildTree(); });
}

void TFormTavik::FormHide() {
    store->closeTable();
}

void TFormTavik::rebuildTree() {
    TreeView1->clear();
    store->refresh();
    ContentsTree tree;
    tree.build(store->TableTV);
    const QVector<ContentsNode> &nodes = tree.nodes();
    QVector<QTreeWidgetItem *> items(nodes.size(), nullptr);
    QList<QTreeWidgetItem *> top;
    for (int i = 0; i < nodes.size(); ++i) {
        const ContentsNode &n = nodes[i];
        auto *item = n.parent >= 0 ? new QTreeWidgetItem(items[n.parent]) : new QTreeWidgetItem();
        item->setText(0, n.title);
        items[i] = item;
        if (n.parent < 0)
            top << item;
    }
    TreeView1->addTopLevelItems(top);
}

void TFormTavik::showTopicOf(const QString &title) {
    if (!store->LocateTopic(title)) {
        WebBrowser1->navigate(store->BlankPage());
        return;
    }
    WebBrowser1->navigate(store->CurrentPage());
}

void TFormTavik::TreeView1Click() {
    run([this] {
        const QTreeWidgetItem *item = TreeView1->currentItem();
        if (!item || !item->isSelected()) {
            WebBrowser1->navigate(store->BlankPage());
            return;
        }
        showTopicOf(item->text(0));
    });
}

// Moving with the keyboard shows the topic's page as a click does.
void TFormTavik::TreeView1KeyUp() {
    TreeView1Click();
}

void TFormTavik::SpeedButton1Click() {
    run([this] {
        const int count = store->Search(Edit1->text());
        Panel4->setText(HelpViewerStore::CountText(count));
    });
}

// A chosen result shows its topic's page.
void TFormTavik::DBGrid1CellClick() {
    run([this] {
        if (!store->QuerySearch->Active() || store->QuerySearch->IsEmpty())
            return;
        showTopicOf(store->QuerySearch->FieldByName(HelpData::TEMAKOR)->AsString());
    });
}

void TFormTavik::ToolButton2Click() {
    ownBox([this] { m_dialogs->plainMessage(QStringLiteral("Jelenleg ez a funkció nem érhető el!")); });
}

void TFormTavik::QRCompositeReport1AddReports(QObject *) {
    if (FolvexTavik)
        QRCompositeReport1->AddReport(FolvexTavik);
}

bool TFormTavik::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QWidget::eventFilter(watched, event);
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (type == QEvent::KeyPress) {
        if (key->key() == Qt::Key_Escape) { // from any control
            hide();
            return true;
        }
        if (watched == Edit1 && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            SpeedButton1Click();
            return true;
        }
    } else if (!key->isAutoRepeat()) {
        if (watched == TreeView1)
            TreeView1KeyUp();
        else if (watched == DBGrid1)
            DBGrid1CellClick();
    }
    return QWidget::eventFilter(watched, event);
}
