#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <memory>

class Dialogs;
class HelpEditor;
class HelpTopicStore;
class HtmlView;
class QCloseEvent;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QModelIndex;
class QMouseEvent;
class QTableView;
class QToolButton;
class TDBEdit;
class TDataSource;

/// The editor window, the program's main window: the topics in outline order in a grid coloured by depth,
/// the current topic's fields in bound edits, the command buttons and keys, and the topic's page below.
/// The commands themselves live in HelpEditor; this window binds them to buttons and keys.
class TFormEdit : public QMainWindow {
    Q_OBJECT

public:
    /// Reads the current folder and opens its help table (FormCreate). `dialogs` answers the modal boxes
    /// (real message boxes when null).
    explicit TFormEdit(QWidget *parent = nullptr, Dialogs *dialogs = nullptr);
    ~TFormEdit() override;

    QString StartDir;
    HelpTopicStore *store = nullptr;
    HelpEditor *editor = nullptr;
    TDataSource *DataSourceHelp = nullptr;

    QToolButton *SpeedButtonDelete3 = nullptr;
    QToolButton *SpeedButtonCancel3 = nullptr;
    QToolButton *SpeedButtonInsert3 = nullptr;
    QToolButton *SpeedButtonPost3 = nullptr;
    QToolButton *SpeedButton1 = nullptr; // "Help teszt"
    QToolButton *SpeedButton2 = nullptr; // "Beállítás fő pontnak"
    QToolButton *SpeedButton3 = nullptr; // page choice
    QTableView *DBGrid1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    TDBEdit *DBEdit1 = nullptr; // TEMAKOR
    TDBEdit *DBEdit2 = nullptr; // WORDS
    TDBEdit *DBEdit3 = nullptr; // HELPCONTEXT
    TDBEdit *DBEdit4 = nullptr; // HELPHTML
    QLabel *PanelMelyseg = nullptr;
    HtmlView *WebBrowser1 = nullptr;

    /// The help viewer "Help teszt" shows; it goes with this window.
    QPointer<QWidget> FormTavik;

    // Handlers
    void SpeedButtonDelete3Click();
    void SpeedButtonCancel3Click();
    void SpeedButtonInsert3Click();
    void SpeedButtonPost3Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void DBGrid1CellClick(const QModelIndex &index);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void buildLayout();
    QHBoxLayout *buildToolStrip(QWidget *top);
    void buildGrid(QWidget *top);
    void buildEditGroup(QWidget *top);
    /// Runs a command; an error of the data layer ends it with the engine's text in a message box.
    template <typename F> void run(F &&command);
    void gridRowChosen(int row);
    void gridMouse(QMouseEvent *event);
    void selectGridRow(int row);

    std::unique_ptr<Dialogs> m_ownDialogs;
    Dialogs *m_dialogs;
    bool m_syncing = false;
    bool m_cellPressed = false;
    bool m_moveFailed = false;
};
