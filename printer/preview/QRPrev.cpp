#include "printer/preview/QRPrev.h"

#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "printer/preview/QRPreview.h"
#include "printer/preview/QRPreviewIcons.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QButtonGroup>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int ButtonSize = 34;
constexpr int TabsWidth = 193;
constexpr int HorizontalIncrement = 52;
constexpr int VerticalIncrement = 43;

} // namespace

/// The thumbnail column: one row per page, drawn by the delegate below.
class ThumbModel : public QAbstractTableModel {
public:
    explicit ThumbModel(QObject *parent) : QAbstractTableModel(parent) {}
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex &, int) const override { return {}; }
    void setRows(int rows) {
        if (rows == m_rows)
            return;
        beginResetModel();
        m_rows = rows;
        endResetModel();
    }

private:
    int m_rows = 0;
};

namespace {

// Draws a thumbnail row: the page with its frame, and its number in the corner.
class ThumbDelegate : public QStyledItemDelegate {
public:
    explicit ThumbDelegate(TQRStandardPreview *window) : QStyledItemDelegate(window), m_window(window) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        const QRect cell = option.rect;
        painter->fillRect(cell,
                          option.state & QStyle::State_Selected ? option.palette.highlight() : option.palette.base());
        if (TQRPrinter *printer = m_window->AttachedPrinter()) {
            std::unique_ptr<TMetafile> page;
            try {
                page = printer->FetchPage(index.row() + 1);
            } catch (...) {
            }
            if (page) {
                const QRect target(QPoint(cell.left() + m_window->ThumbOffsetX, cell.top() + 10),
                                   QPoint(cell.right() - 30, cell.bottom() - 10));
                TQRPreviewImage::PaintPage(page.get(), *painter, target, true);
            }
        }
        painter->setPen(Qt::black);
        painter->drawText(cell.adjusted(2, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, QString::number(index.row() + 1));
    }

private:
    TQRStandardPreview *m_window;
};

QToolButton *toolButton(QWidget *parent, const char *name, int image, const char *hint) {
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(PreviewIcon(image));
    button->setIconSize(QSize(24, 24));
    button->setFixedSize(ButtonSize, ButtonSize);
    button->setAutoRaise(true);
    button->setToolTip(QLatin1String(hint));
    button->setStatusTip(QLatin1String(hint));
    return button;
}

QFrame *separator(QWidget *parent) {
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

TQRStandardPreview::TQRStandardPreview(TQRPrinter *printer, QWidget *parent)
    : QMainWindow(parent), m_printer(printer), m_dialogs(std::make_unique<TQRWidgetPreviewDialogs>(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    buildWindow();

    int zoom = 100;
    if (TQRPreviewReport *report = PreviewReport()) {
        if (report->PrevFormStyle() == fsStayOnTop)
            setWindowFlag(Qt::WindowStaysOnTopHint);
        resize(report->PreviewWidth() > 0 ? report->PreviewWidth() : 500,
               report->PreviewHeight() > 0 ? report->PreviewHeight() : 500);
        if (report->PreviewInitialState() == wsMaximized)
            setWindowState(Qt::WindowMaximized);
        else if (report->PreviewInitialState() == wsMinimized)
            setWindowState(Qt::WindowMinimized);
        m_showThumbs = report->PrevShowThumbs();
        m_showSearch = report->PrevShowSearch();
        m_initialZoom = report->PrevInitialZoom();
        zoom = report->Zoom();
        m_previewTitle = report->ReportTitle();
        printer->SetJobTitle(m_previewTitle);
        m_pageOrientation = report->PageOrientation();
        raise(spOpen, QString());
    } else {
        setWindowState(Qt::WindowMaximized);
        // A bare printer keeps the orientation its pages have.
        if (printer)
            m_pageOrientation = printer->Orientation();
        if (printer)
            m_previewTitle = printer->JobTitle();
    }
    if (!m_printer) // the open event's handler may have freed it
        printer = nullptr;

    QRPreview->AttachPrinter(printer);
    if (printer) {
        printer->Settings().TrySetOrientation(m_pageOrientation);
        if (!printer->JobTitle().isEmpty())
            setWindowTitle(QStringLiteral("Report Preview : ") + printer->JobTitle());
    }

    Tabs->setVisible(m_showThumbs || m_showSearch);
    Tabs->setTabVisible(Tabs->indexOf(TabThumbs), m_showThumbs);
    Tabs->setTabVisible(Tabs->indexOf(TabSearchResult), m_showSearch);
    FindButton->setVisible(m_showSearch);
    const bool busy = printer && printer->State() == psBusy;
    setRows(printer && (m_showThumbs || m_showSearch) && printer->PagesProduced() > 0
                ? printer->PagesProduced() - (busy ? 1 : 0)
                : 1);

    if (m_initialZoom == qrZoomToFit) {
        QRPreview->ZoomToFit();
        ZoomFit->setChecked(true);
    } else if (m_initialZoom == qrZoomToWidth) {
        QRPreview->ZoomToWidth();
        ZoomToWidth->setChecked(true);
    } else {
        QRPreview->WriteZoom(zoom);
        QRPreview->LayoutPageImage();
        Zoom100->setChecked(true);
    }
    setCommandsEnabled(!busy);
    QRPreview->OnPageAvailable = [this](TQRPreview *, int n) { pageAvailable(n); };
    QRPreview->OnProgressUpdate = [this](TQRPreview *, int p) { progressUpdate(p); };
    qApp->installEventFilter(this);
    UpdateStatus();
}

TQRStandardPreview::~TQRStandardPreview() {
    qApp->removeEventFilter(this);
    QRPreview->OnPageAvailable = nullptr;
    QRPreview->OnProgressUpdate = nullptr;
    QRPreview->AttachPrinter(nullptr);
}

void TQRStandardPreview::buildWindow() {
    setWindowTitle(QStringLiteral("Report Preview : "));
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    outer->addWidget(buildToolBar(central));
    auto *body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(2);
    buildTabs(central);
    body->addWidget(Tabs);
    QRPreview = new TQRPreview(central);
    QRPreview->setObjectName(QStringLiteral("QRPreview"));
    QRPreview->horizontalScrollBar()->setSingleStep(HorizontalIncrement);
    QRPreview->verticalScrollBar()->setSingleStep(VerticalIncrement);
    QRPreview->viewport()->installEventFilter(this);
    QRPreview->PageImage()->installEventFilter(this);
    body->addWidget(QRPreview, 1);
    outer->addLayout(body, 1);
    setCentralWidget(central);

    buildStatusBar();
    connectCommands();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QWidget *TQRStandardPreview::buildToolBar(QWidget *parent) {
    auto *ToolBar1 = new QWidget(parent);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    auto *rows = new QVBoxLayout(ToolBar1);
    rows->setContentsMargins(2, 2, 2, 2);
    rows->setSpacing(0);
    auto *row1 = new QHBoxLayout;
    auto *row2 = new QHBoxLayout;
    row1->setSpacing(1);
    row2->setSpacing(1);
    rows->addLayout(row1);
    rows->addLayout(row2);

    ZoomFit = toolButton(ToolBar1, "ZoomFit", 0, "Zoom to fit");
    ZoomToWidth = toolButton(ToolBar1, "ZoomToWidth", 2, "Zoom to width");
    Zoom100 = toolButton(ToolBar1, "Zoom100", 1, "100% Size");
    FirstPage = toolButton(ToolBar1, "FirstPage", 3, "First page");
    PreviousPage = toolButton(ToolBar1, "PreviousPage", 4, "Previous page");
    nextPage = toolButton(ToolBar1, "nextPage", 5, "Next page");
    LastPage = toolButton(ToolBar1, "LastPage", 6, "Last page");
    GotoPageButton = toolButton(ToolBar1, "GotoPageButton", 12, "Select a Page");
    FindButton = toolButton(ToolBar1, "FindButton", 11, "Search for Text");
    copybutton = toolButton(ToolBar1, "copybutton", 14, "Copy page to clipboard");
    PrintSetup = toolButton(ToolBar1, "PrintSetup", 7, "Printer setup");
    Print = toolButton(ToolBar1, "Print", 8, "Print");
    LoadReport = toolButton(ToolBar1, "LoadReport", 9, "Load report");
    SaveReport = toolButton(ToolBar1, "SaveReport", 10, "Save report");
    CancelButton = toolButton(ToolBar1, "CancelButton", 13, "Cancel the report");
    CancelButton->setEnabled(false);
    ExitButton = new QToolButton(ToolBar1);
    ExitButton->setObjectName(QStringLiteral("ExitButton"));
    ExitButton->setText(QStringLiteral("&Close"));
    ExitButton->setToolTip(QStringLiteral("Close Preview"));
    ExitButton->setAutoRaise(true);
    ExitButton->setFixedHeight(ButtonSize);
    ExitButton->setMinimumWidth(2 * ButtonSize);

    auto *zoomGroup = new QButtonGroup(this);
    for (QToolButton *b : {ZoomFit, ZoomToWidth, Zoom100}) {
        b->setCheckable(true);
        zoomGroup->addButton(b);
    }
    for (QWidget *w :
         std::initializer_list<QWidget *>{ZoomFit, ZoomToWidth, Zoom100, separator(ToolBar1), FirstPage, PreviousPage,
                                          nextPage, LastPage, separator(ToolBar1), GotoPageButton, FindButton})
        row1->addWidget(w);
    row1->addStretch();
    for (QWidget *w : std::initializer_list<QWidget *>{copybutton, PrintSetup, Print, LoadReport, SaveReport,
                                                       separator(ToolBar1), CancelButton, ExitButton})
        row2->addWidget(w);
    row2->addStretch();
    return ToolBar1;
}

void TQRStandardPreview::buildTabs(QWidget *parent) {
    Tabs = new QTabWidget(parent);
    Tabs->setObjectName(QStringLiteral("Tabs"));
    Tabs->setFixedWidth(TabsWidth);
    Tabs->setUsesScrollButtons(false);
    Tabs->setElideMode(Qt::ElideRight);
    TabThumbs = new QWidget;
    ThumbGrid = new QTableView(TabThumbs);
    ThumbGrid->setObjectName(QStringLiteral("ThumbGrid"));
    m_thumbs = new ThumbModel(this);
    ThumbGrid->setModel(m_thumbs);
    ThumbGrid->setItemDelegate(new ThumbDelegate(this));
    ThumbGrid->horizontalHeader()->hide();
    ThumbGrid->verticalHeader()->hide();
    ThumbGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ThumbGrid->horizontalHeader()->setStretchLastSection(true);
    ThumbGrid->setShowGrid(false);
    ThumbGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    ThumbGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    ThumbGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ThumbGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ThumbGrid->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    ThumbGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ThumbGrid->installEventFilter(this);
    auto *thumbsLayout = new QVBoxLayout(TabThumbs);
    thumbsLayout->setContentsMargins(0, 0, 0, 0);
    thumbsLayout->addWidget(ThumbGrid);
    Tabs->addTab(TabThumbs, QStringLiteral("ThumbNails"));

    TabSearchResult = new QWidget;
    GroupBox1 = new QGroupBox(QStringLiteral("Search Text"), TabSearchResult);
    SearchTextLabel = new QLabel(GroupBox1);
    SearchTextLabel->setObjectName(QStringLiteral("SearchTextLabel"));
    auto *groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->addWidget(SearchTextLabel);
    SearchResultBox = new QListWidget(TabSearchResult);
    SearchResultBox->setObjectName(QStringLiteral("SearchResultBox"));
    SearchResultBox->setEnabled(false);
    auto *searchLayout = new QVBoxLayout(TabSearchResult);
    searchLayout->setContentsMargins(2, 2, 2, 2);
    searchLayout->addWidget(GroupBox1);
    searchLayout->addWidget(SearchResultBox, 1);
    Tabs->addTab(TabSearchResult, QStringLiteral("Search Results"));
}

void TQRStandardPreview::buildStatusBar() {
    QStatusBar *bar = statusBar();
    bar->setSizeGripEnabled(true);
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(bar);
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
    }
    m_panels[0]->setFixedWidth(40);
    m_panels[0]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_panels[1]->setFixedWidth(120);
    m_panels[2]->setMinimumWidth(50);
    bar->addWidget(m_panels[0]);
    bar->addWidget(m_panels[1]);
    bar->addWidget(m_panels[2], 1);
}

void TQRStandardPreview::connectCommands() {
    connect(ZoomFit, &QToolButton::clicked, this, &TQRStandardPreview::ZoomToFitClick);
    connect(ZoomToWidth, &QToolButton::clicked, this, &TQRStandardPreview::ZoomToWidthClick);
    connect(Zoom100, &QToolButton::clicked, this, &TQRStandardPreview::ZoomTo100Click);
    connect(FirstPage, &QToolButton::clicked, this, &TQRStandardPreview::FirstPageClick);
    connect(PreviousPage, &QToolButton::clicked, this, &TQRStandardPreview::PrevPageClick);
    connect(nextPage, &QToolButton::clicked, this, &TQRStandardPreview::NextPageClick);
    connect(LastPage, &QToolButton::clicked, this, &TQRStandardPreview::LastPageClick);
    connect(GotoPageButton, &QToolButton::clicked, this, &TQRStandardPreview::GotoPageButtonClick);
    connect(FindButton, &QToolButton::clicked, this, &TQRStandardPreview::FindButtonClick);
    connect(copybutton, &QToolButton::clicked, this, &TQRStandardPreview::copybuttonClick);
    connect(PrintSetup, &QToolButton::clicked, this, &TQRStandardPreview::PrintSetupClick);
    connect(Print, &QToolButton::clicked, this, &TQRStandardPreview::PrintClick);
    connect(LoadReport, &QToolButton::clicked, this, &TQRStandardPreview::LoadClick);
    connect(SaveReport, &QToolButton::clicked, this, &TQRStandardPreview::SaveClick);
    connect(CancelButton, &QToolButton::clicked, this, &TQRStandardPreview::CancelButtonClick);
    connect(ExitButton, &QToolButton::clicked, this, &TQRStandardPreview::ExitClick);
    connect(ThumbGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { thumbnailChosen(current.row()); });
    connect(SearchResultBox, &QListWidget::itemClicked, this, [this] { searchResultChosen(); });
}

TQRPreviewReport *TQRStandardPreview::PreviewReport() const {
    return PreviewReportOf(m_printer);
}

void TQRStandardPreview::SetDialogs(std::unique_ptr<TQRPreviewDialogs> dialogs) {
    m_dialogs = dialogs ? std::move(dialogs) : std::make_unique<TQRWidgetPreviewDialogs>(this);
}

QString TQRStandardPreview::StatusText(int panel) const {
    return panel >= 0 && panel < 3 ? m_panels[panel]->text() : QString();
}

int TQRStandardPreview::ThumbnailRows() const {
    return m_thumbs->rowCount();
}

void TQRStandardPreview::UpdateStatus() {
    const int pages = m_printer ? m_printer->PagesProduced() : 0;
    m_panels[1]->setText(QStringLiteral("Page %1 of %2").arg(QRPreview->PageNumber()).arg(pages));
    m_panels[2]->setText(m_previewTitle);
}

void TQRStandardPreview::GoToPage(int n) {
    QRPreview->WritePageNumber(n);
    UpdateStatus();
    if (m_printer && n >= 1 && n <= m_printer->PagesProduced() && n <= m_thumbs->rowCount()) {
        m_syncingThumbs = true;
        ThumbGrid->selectRow(n - 1);
        m_syncingThumbs = false;
    }
}

void TQRStandardPreview::setRows(int rows) {
    static_cast<ThumbModel *>(m_thumbs)->setRows(std::max(0, rows));
    ThumbGrid->viewport()->update();
}

void TQRStandardPreview::SizeThumbnails() {
    ThumbTextHeight = ThumbGrid->fontMetrics().height();
    const int columnWidth = ThumbGrid->viewport()->width() - 4;
    ThumbPageWidth = columnWidth - 20;
    double paperWidth = 2100;
    double paperLength = 2970;
    if (m_printer && m_printer->Settings().PaperWidth() > 0 && m_printer->Settings().PaperLength() > 0) {
        paperWidth = m_printer->Settings().PaperWidth();
        paperLength = m_printer->Settings().PaperLength();
    }
    const bool portrait = !m_printer || m_printer->Orientation() == poPortrait;
    const double h = portrait ? ThumbPageWidth / paperWidth * paperLength : ThumbPageWidth / paperLength * paperWidth;
    ThumbPageHeight = std::max(24, int(std::lround(h - ThumbTextHeight)));
    ThumbOffsetX = int(std::lround((columnWidth - ThumbPageWidth) / 2.0));
    ThumbGrid->verticalHeader()->setDefaultSectionSize(ThumbPageHeight);
    ThumbGrid->viewport()->update();
}

void TQRStandardPreview::setCommandsEnabled(bool enabled) {
    for (QToolButton *b :
         {PrintSetup, Print, LoadReport, FindButton, GotoPageButton, FirstPage, PreviousPage, nextPage, LastPage})
        b->setEnabled(enabled);
    SaveReport->setEnabled(enabled && !m_reportFileLoaded);
}

void TQRStandardPreview::pageAvailable(int) {
    if (!m_printer)
        return;
    CancelButton->setEnabled(true);
    UpdateStatus();
    const int pages = m_printer->PagesProduced();
    if (m_printer->State() == psDone) {
        setRows(pages);
        setCommandsEnabled(true);
        CancelButton->setEnabled(false);
    } else {
        setRows(pages - 1);
        setCommandsEnabled(false);
    }
    if (TQRPreviewReport *report = PreviewReport())
        if (report->PagesInPreview() != 0 && report->PagesInPreview() == pages)
            report->SetStopRequested(true);
}

void TQRStandardPreview::progressUpdate(int percent) {
    if (percent >= LastProgressShown + 5) {
        m_panels[0]->setText(QString::number(percent) + QLatin1Char('%'));
        LastProgressShown = percent;
    }
    if (percent == 0 || percent == 100)
        m_panels[0]->clear();
    if (percent == 0) // a new run counts from the start again
        LastProgressShown = 0;
}

void TQRStandardPreview::thumbnailChosen(int row) {
    if (m_syncingThumbs || m_pagingByKey || row < 0)
        return;
    if (row + 1 != QRPreview->PageNumber())
        QRPreview->WritePageNumber(row + 1);
    UpdateStatus();
}

void TQRStandardPreview::searchResultChosen() {
    const QListWidgetItem *item = SearchResultBox->currentItem();
    const int pages = m_printer ? m_printer->PagesProduced() : 0;
    int page = item ? item->data(Qt::UserRole).toInt() : 1;
    if (page < 1 || page > pages)
        page = 1;
    GoToPage(page);
}

void TQRStandardPreview::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    QRPreview->LayoutPageImage();
}

bool TQRStandardPreview::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || widget->window() != this || QApplication::activeModalWidget())
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        return keyDown(key->key(), key->modifiers());
    }
    case QEvent::Wheel:
        if (watched == QRPreview->viewport() || watched == QRPreview->PageImage()) {
            const int delta = static_cast<QWheelEvent *>(event)->angleDelta().y();
            if (delta != 0)
                keyDown(delta > 0 ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier);
            return true;
        }
        return false;
    case QEvent::Resize:
        if (watched == ThumbGrid)
            SizeThumbnails();
        return false;
    default:
        return false;
    }
}

// The window sees keys before its controls.
bool TQRStandardPreview::keyDown(int key, Qt::KeyboardModifiers modifiers) {
    const bool ctrlAlone =
        (modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier)) == Qt::ControlModifier;
    m_pagingByKey = true;
    bool handled = true;
    try {
        switch (key) {
        case Qt::Key_Escape:
            m_pagingByKey = false;
            ExitClick();
            return true;
        case Qt::Key_PageUp:
            ctrlAlone ? FirstPageClick() : PrevPageClick();
            break;
        case Qt::Key_PageDown:
            ctrlAlone ? LastPageClick() : NextPageClick();
            break;
        case Qt::Key_End:
            LastPageClick();
            break;
        case Qt::Key_Home:
            FirstPageClick();
            break;
        case Qt::Key_Up:
            scrollUp();
            break;
        case Qt::Key_Down:
            scrollDown();
            break;
        default:
            handled = false;
        }
    } catch (...) {
        // Paging never stops the window.
    }
    m_pagingByKey = false;
    return handled;
}

void TQRStandardPreview::scrollUp() {
    QScrollBar *bar = QRPreview->verticalScrollBar();
    const int v = bar->value() - VerticalIncrement;
    if (v > 0) {
        bar->setValue(v);
        return;
    }
    const int page = QRPreview->PageNumber();
    if (page <= 1) {
        bar->setValue(0);
        return;
    }
    GoToPage(page - 1);
    bar->setValue(bar->maximum() - VerticalIncrement);
}

void TQRStandardPreview::scrollDown() {
    QScrollBar *bar = QRPreview->verticalScrollBar();
    const int v = bar->value() + VerticalIncrement;
    if (v < bar->maximum())
        bar->setValue(v);
    else
        GoToPage(QRPreview->PageNumber() + 1);
}

QObject *TQRStandardPreviewInterface::Show(TQRPrinter &printer) {
    auto *window = new TQRStandardPreview(&printer);
    window->show();
    window->UpdateStatus();
    return window;
}

QObject *TQRStandardPreviewInterface::ShowModal(TQRPrinter &printer) {
    QPointer<TQRStandardPreview> window = new TQRStandardPreview(&printer);
    window->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    window->show();
    window->UpdateStatus();
    loop.exec();
    return window;
}
