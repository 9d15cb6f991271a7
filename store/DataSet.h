#pragma once

#include "store/Field.h"

#include <QList>
#include <QObject>
#include <QVector>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

/// A set of rows with one current row: the cursor every window, pass and report reads data through.
///
/// Rows are held in memory in the active order; a subclass loads them and, when it is writable, stores
/// every posted change before the in-memory row changes, so a failed write leaves the row pending.
class TDataSet : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)

public:
    using Hook = std::function<void(TDataSet *)>;

    explicit TDataSet(QObject *owner = nullptr);
    ~TDataSet() override;

    // Lifecycle
    void Open();
    void Close();
    bool Active() const { return m_state != dsInactive; }
    void SetActive(bool active);
    TDataSetState State() const { return m_state; }

    // Moves in the active order. In edit or insert state a move first posts a changed row, else cancels it.
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    bool IsEmpty() const { return m_order.empty(); }
    int RecordCount() const { return int(m_order.size()); }
    /// Position of the current row, 1-based; 0 when there is none.
    int RecNo() const { return m_cur < 0 ? 0 : m_cur + 1; }
    void SetRecNo(int recNo);
    /// First row in the active order whose field equals the value; texts compare ignoring case.
    bool Locate(const QString &fieldName, const QVariant &value);
    /// The result field's stored value in the first row whose key field equals the value (as Locate finds it),
    /// or null; the cursor does not move and a pending row stays pending.
    QVariant Lookup(const QString &keyField, const QVariant &keyValue, const QString &resultField) const;

    /// An opaque handle on the current row (0 when none), valid until the row is deleted.
    qint64 Bookmark() const;
    bool GotoBookmark(qint64 bookmark);

    // Editing
    void Edit();
    void Insert();
    void Post();
    void Cancel();
    void Delete();
    /// Posts a changed pending row, cancels an unchanged one; nothing in browse state.
    void CheckBrowseMode();
    /// Bound edit controls write their pending text into the fields (as a post does first).
    void UpdateRecord();

    /// A pending insert or edit as it stands, to make it pending again after the rows were read anew.
    struct PendingRow {
        TDataSetState state = dsBrowse;
        qint64 row = 0; // the edited row
        int insertPos = 0;
        bool modified = false;
        QVector<QVariant> buffer;
        QVector<QVariant> original; // the edited row as it was read when the edit began
    };
    PendingRow SavePending() const;
    /// In browse state, makes a saved insert or edit pending again. An edit takes the row's values as they are
    /// now in the fields it has not changed; an edit whose row is gone is dropped.
    void RestorePending(const PendingRow &pending);
    bool Modified() const { return m_modified; }
    bool CanModify() const { return !readOnly(); }

    // Fields
    const QList<TField *> &Fields() const { return m_fields; }
    int FieldCount() const { return int(m_fields.size()); }
    TField *FieldAt(int i) const { return m_fields.value(i); }
    /// The field of that name ignoring case, or null.
    TField *FindField(const QString &name) const;
    /// The field of that name ignoring case; raises when there is none.
    TField *FieldByName(const QString &name) const;
    /// Declares the fields: they must exist in the source, and only they are read.
    void SetFieldDefs(const QList<TFieldDef> &defs);
    const QList<TFieldDef> &FieldDefs() const { return m_defs; }

    // Record hooks
    Hook AfterInsert;
    Hook BeforePost;
    Hook AfterPost;
    Hook AfterOpen;
    /// Sets the calculated fields of the current row (SetValue on them); runs each time one of them is read, so
    /// their values follow the row and its pending changes.
    Hook OnCalcFields;

    // Controls (grids, bound edits) stop hearing of changes while disabled; enabling again resyncs them.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disabled > 0; }

    // Rows as a grid shows them: the stored rows in the active order plus the pending insert, with the pending
    // edit in place of its row. Reading them never moves the cursor or touches the engine.
    int DisplayRowCount() const;
    int DisplayCurrentRow() const;
    QVariant DisplayValue(int displayRow, int fieldIndex) const;
    /// The bookmark of a displayed row; 0 for the pending insert.
    qint64 DisplayBookmark(int displayRow) const;

    // Used by fields.
    /// The current (pending) row's value of a column; a null value when there is none. Valid until the row
    /// changes or the cursor moves.
    const QVariant &currentValue(int column) const {
        if (column >= m_columns.size())
            return calculatedValue(column);
        // inline: expressions read fields through it once per record
        const QVector<QVariant> *values = m_state == dsEdit || m_state == dsInsert ? &m_buffer
                                          : m_cur >= 0                             ? &m_order[size_t(m_cur)]->values
                                                                                   : nullptr;
        return values && column >= 0 && column < values->size() ? values->at(column) : nullValue();
    }
    void setCurrentValue(int column, const QVariant &value);
    /// The file or source the data set reads, for messages.
    virtual QString sourceName() const = 0;

signals:
    /// Before a post: bound edit controls write their pending text into the fields.
    void updateRecord();
    void stateChanged();
    /// Another row became current.
    void currentChanged();
    /// A field of the current (pending) row changed.
    void fieldChanged(int fieldIndex);
    /// Rows were added, removed, reordered or reloaded.
    void rowsChanged();

protected:
    struct Row {
        qint64 id = 0;
        QVector<QVariant> values;
    };
    struct Column {
        QString name;
        TFieldType type = ftUnknown;
    };

    /// Loads columns and rows; rows come in the source's natural order.
    virtual void doOpen(QVector<Column> &columns, std::vector<std::unique_ptr<Row>> &rows) = 0;
    virtual void doClose() {}
    virtual bool readOnly() const { return true; }
    /// Stores a new row and returns its id; `values` becomes the row as stored.
    virtual qint64 doInsert(QVector<QVariant> &values);
    /// Stores what changed from `original` (the row when the edit began) to `values`; `values` becomes the row
    /// as stored. Raises EDatabaseConflict, writing nothing, when a field it changes was changed meanwhile.
    virtual void doUpdate(qint64 id, const QVector<QVariant> &original, QVector<QVariant> &values);
    virtual void doDelete(qint64 id);
    /// Columns that order the rows (after them, the id). Empty: the natural order.
    virtual QVector<int> orderColumns() const { return {}; }

    /// Re-sorts the rows after the order changed, keeping the current row.
    void reorder();
    /// Reads the rows again from the source, keeping the current row when it still exists and the pending row.
    void reload();
    /// Converts values read from the source to the fields' own forms, as rows are held.
    void canonicalize(QVector<QVariant> &values) const;
    /// The values held for a stored row, or null.
    const QVector<QVariant> *heldValues(qint64 id) const;
    const QVector<Column> &columns() const { return m_columns; }
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;
    [[noreturn]] void fail(const QString &text) const;
    void checkActive() const;

private:
    bool rowLess(const Row *a, const Row *b) const;
    int positionOf(const Row *row) const;
    void placeRow(Row *row, int from);
    void buildFields();
    void adoptRows(std::vector<std::unique_ptr<Row>> &rows);
    void takeStoredRow(Row *row, const QVector<QVariant> &values);
    /// Makes a saved pending row the buffer again without a word to listeners; false when it cannot be.
    bool restorePending(const PendingRow &pending);
    void setState(TDataSetState state);
    void emitCurrent();
    void emitRows();
    void sortRows();
    Row *currentRow() const { return m_cur >= 0 ? m_order[size_t(m_cur)] : nullptr; }
    static const QVariant &nullValue();
    const QVariant &calculatedValue(int column) const;

    QList<TFieldDef> m_defs;
    QList<TField *> m_fields;
    QVector<Column> m_columns;
    QVector<int> m_orderColumns;
    std::unordered_map<qint64, std::unique_ptr<Row>> m_rows;
    std::vector<Row *> m_order;
    QVector<QVariant> m_buffer;             // the pending row in edit or insert state
    QVector<QVariant> m_original;           // in edit state, the row as it was when the edit began
    mutable QVector<QVariant> m_calculated; // the calculated fields of the current row, while they are read
    mutable bool m_calculating = false;
    int m_cur = -1;
    int m_insertPos = 0;
    bool m_bof = true;
    bool m_eof = true;
    bool m_modified = false;
    TDataSetState m_state = dsInactive;
    int m_disabled = 0;
    bool m_pendingCurrent = false;
    int m_currentReceivers = 0; // a report walks its records with nobody listening: no signal to send
    bool m_pendingRows = false;
    bool m_pendingState = false;
};
