#pragma once

#include <QObject>
#include <QString>

#include <functional>

class Dialogs;
class EDatabaseConflict;
class HelpTopicStore;

/// The editor's commands, free of any window: insert, post, cancel, delete, make top-level, page choice and
/// preview, and the depth panel's text. The editor window and the command-line tool both drive this class.
///
/// Commands report their own refusals through Dialogs; errors of the data layer leave the command as
/// EDatabaseError for the caller to show. Every command works on what the file holds now, and one that fails
/// has changed nothing: a post or delete and its renumber pass are one transaction.
///
/// Other writers (a second window, `tavik`) may change the help set meanwhile. A post writes only the fields
/// this user changed, merged into the row as the file holds it; where the other writer changed one of those
/// same fields, the post is refused in Hungarian, naming the field and what this user had typed, and the row
/// shows the stored value there while this user's other changes stay pending.
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
    static const QString ReadOnlyText;
    static const QString ConflictText;
    static const QString ParentGoneText;
    static const QString GoneText;
    static const QString DropPendingText;
    static const QString PageExtension;

    /// A new topic under the current one (or at the top on an empty table), left pending in insert state.
    /// Returns false when refused.
    bool Insert();
    /// Starts editing the current topic. Returns false when refused (a read-only help set).
    bool BeginEdit();
    /// Stores the pending row and renumbers the outline, then gives the focus to the grid. Returns false when
    /// refused (the row stays pending).
    bool Post();
    /// Drops the pending insert or edit.
    void Cancel();
    /// Leaving the editor: a changed pending row is stored as moving to another row stores it, and numbered.
    /// Returns why it could not be stored ("" when it was, or nothing was pending); the row then stays pending.
    QString StorePending();
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
    /// Reads the rows again when another writer changed the file (a pending row stays pending).
    void Refresh();

    /// What a click on a grid row does once the table is on that row: drop what is pending, show the row's
    /// depth and page.
    void CellClicked();
    /// The depth panel follows the current row.
    void ShowCurrentDepth();
    /// The file to show for the current row ("" = a built-in empty page).
    QString CurrentPage() const;
    /// The Hungarian text of a refused post.
    QString conflictText(const EDatabaseConflict &conflict) const;

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
    /// A table that failed to open is opened again, so a command reports why it cannot open.
    void ensureOpen();
    bool refuseReadOnly();
    /// Insert and Delete may start: the table is open, nothing is pending, the help set can be written; the
    /// rows are read again when another writer changed them. Refusals are shown.
    bool readyToChange();
    void placeUnderParent();
    /// The depth panel and the page show the current row.
    void followCurrent();

    HelpTopicStore *m_store;
    Dialogs *m_dialogs;
    QString m_startDir;
    QString m_depth = QStringLiteral("0");
    qint32 m_parentKey = 0; // during an insert, the key of the new topic's parent (0: top level)
};
