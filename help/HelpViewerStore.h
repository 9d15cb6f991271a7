#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class TDatabase;
class TDataSet;
class TQuery;
class TTable;

/// The reader's side of the help table: the viewer's own read-only connection, its table in display order,
/// locating a topic by title and the keyword search.
class HelpViewerStore : public QObject {
    Q_OBJECT

public:
    explicit HelpViewerStore(QObject *parent = nullptr);

    TDatabase *DatabaseTV;
    TTable *TableTV;
    TQuery *QuerySearch;

    /// Points the (closed) connection at `<startDir>/help`.
    void setStartDir(const QString &startDir);
    const QString &StartDir() const { return m_startDir; }
    /// Opens the connection and the table (if they are not open) and goes to the first topic.
    void open();
    /// Reads the rows again when the editor has posted since they were read.
    void refresh();
    /// Closes the table; the connection stays open.
    void closeTable();

    /// Makes the first topic in display order with this title (ignoring case) current.
    bool LocateTopic(const QString &title);
    /// The file to show for the current topic ("" = a built-in empty page).
    QString CurrentPage() const;
    /// The blank page ("" = a built-in empty page).
    QString BlankPage() const;

    /// Runs the search for the text; the result titles are the rows of QuerySearch. Returns their count.
    int Search(const QString &text);
    QStringList SearchResults() const;
    /// "%" + the text with only A-Z lowered + "%".
    static QString SearchPattern(const QString &text);
    /// "N témakör összesen".
    static QString CountText(int count);

private:
    QString m_startDir;
};
