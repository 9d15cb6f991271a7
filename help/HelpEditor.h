#pragma once

#include <QObject>
#include <QString>

#include <functional>

class Dialogs;
class HelpTopicStore;

/// The editor's commands, free of any window: insert, post, cancel, delete, make top-level, page choice and
/// preview, and the depth panel's text. The editor window and the command-line tool both drive this class.
///
/// Commands report their own refusals through Dialogs; errors of the data layer leave the command as
/// EDatabaseError for the caller to show.
class HelpEditor : public QObject {
    Q_OBJECT

public:
    HelpEditor(HelpTopicStore *store, Dialogs *dialogs, const QString &startDir, QObject *parent = nullptr);

    static const QString EditingCaption;
    static const QString EditingText;
    static const QString ChildrenText;
    static const QString DeleteCaption;
    static const QString DeleteText;
    static const QString TooDeepText;
    static const QString PageExtension;

    /// A new topic under the current one (or at the top on an empty table), left pending in insert state.
    /// Returns false when refused.
    bool Insert();
    /// Stores the pending row, renumbers the outline, gives the focus to the grid.
    void Post();
    /// Drops the pending insert or edit.
    void Cancel();
    /// Leaving the editor: a changed pending row is stored as moving to another row stores it, and numbered.
    void StorePending();
    /// Deletes the current topic after asking, when it has no children, and closes the gap in the numbering.
    /// Returns true when a topic was deleted.
    bool Delete();
    /// During an insert: the new topic goes to the top level.
    void MakeTopLevel();
    void RefreshParentCandidates();
    /// Asks for a page file and gives its name to the current topic.
    void ChoosePage();
    /// Gives the file's name (without folder) to the current topic and shows that page.
    void SetPage(const QString &chosenPath);

    /// What a click on a grid row does once the table is on that row: drop what is pending, show the row's
    /// depth and page.
    void CellClicked();
    /// The depth panel follows the current row.
    void ShowCurrentDepth();
    /// The file to show for the current row ("" = a built-in empty page).
    QString CurrentPage() const;

    const QString &PanelMelyseg() const { return m_depth; }
    void SetPanelMelyseg(const QString &text);
    const QString &StartDir() const { return m_startDir; }
    HelpTopicStore *store() const { return m_store; }

    std::function<void()> FocusTitle;
    std::function<void()> FocusGrid;

signals:
    void depthChanged(const QString &text);
    /// Show this page ("" = a built-in empty page).
    void navigate(const QString &path);

private:
    bool pending() const;
    int childCount(const QString &parentNumber);

    HelpTopicStore *m_store;
    Dialogs *m_dialogs;
    QString m_startDir;
    QString m_depth = QStringLiteral("0");
};
