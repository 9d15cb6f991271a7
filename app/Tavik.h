#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class Dialogs;
class HelpViewerStore;
class HtmlView;
class QLabel;
class QLineEdit;
class QSplitter;
class QTabWidget;
class QTableView;
class QToolButton;
class QTreeWidget;
class TDataSource;
class TFolvexTavik;
class TQRCompositeReport;

/// The help viewer: the help as its reader sees it — the contents tree, the keyword search and the topic's
/// page. Created hidden; the editor's "Help teszt" shows it and Esc hides it. It reads the table through its
/// own read-only connection and rebuilds the tree whenever it is activated, so it shows the latest posts.
class TFormTavik : public QWidget {
    Q_OBJECT

public:
    /// `dialogs` answers the modal boxes (real message boxes when null).
    explicit TFormTavik(QWidget *parent = nullptr, Dialogs *dialogs = nullptr);
    ~TFormTavik() override;

    QString StartDir;
    HelpViewerStore *store = nullptr;
    TDataSource *DataSourceSearch = nullptr;

    QToolButton *ToolButton2 = nullptr; // print
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheetContents = nullptr;
    QWidget *TabSheetSearch = nullptr;
    QTreeWidget *TreeView1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QToolButton *SpeedButton1 = nullptr; // "Témakör keresés"
    QTableView *DBGrid1 = nullptr;
    QLabel *Panel4 = nullptr;
    QSplitter *Splitter1 = nullptr;
    HtmlView *WebBrowser1 = nullptr;
    /// The job that prints the user manual; no command of the window starts it.
    TQRCompositeReport *QRCompositeReport1 = nullptr;
    /// The manual report, created after the window (none until then).
    TFolvexTavik *FolvexTavik = nullptr;

    // Handlers
    void FormShow();
    void FormActivate();
    void FormHide();
    void TreeView1Click();
    void TreeView1KeyUp();
    void SpeedButton1Click();
    void DBGrid1CellClick();
    void ToolButton2Click();
    void QRCompositeReport1AddReports(QObject *Sender);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void buildLayout();
    void rebuildTree();
    void showTopicOf(const QString &title);
    template <typename F> void run(F &&action);
    /// Shows one of the viewer's own boxes.
    template <typename F> void ownBox(F &&show);

    std::unique_ptr<Dialogs> m_ownDialogs;
    Dialogs *m_dialogs;
    int m_boxesOpen = 0;        // the viewer's own boxes being shown
    bool m_backFromBox = false; // one closed, and the activation it hands back has not come yet
};
