#include "store/DataSet.h"

#include "store/DatabaseError.h"

#include <QMetaMethod>

#include <algorithm>

namespace {

int typeRank(const QVariant &v) {
    if (v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return 1;
    case QMetaType::QDateTime:
        return 2;
    case QMetaType::QByteArray:
        return 4;
    default:
        return 3;
    }
}

// Order of index keys: null first, then numbers, date-times, texts (binary) and bytes.
int compareValues(const QVariant &a, const QVariant &b) {
    // The common cases of an index key, without copying either value.
    const int ta = a.typeId(), tb = b.typeId();
    if (ta == tb) {
        if (ta == QMetaType::QString)
            return QString::compare(*static_cast<const QString *>(a.constData()),
                                    *static_cast<const QString *>(b.constData()), Qt::CaseSensitive);
        if (ta == QMetaType::LongLong) {
            const qint64 x = *static_cast<const qint64 *>(a.constData()),
                         y = *static_cast<const qint64 *>(b.constData());
            return x < y ? -1 : (x > y ? 1 : 0);
        }
    }
    const int ra = typeRank(a), rb = typeRank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    switch (ra) {
    case 0:
        return 0;
    case 1: {
        if (a.typeId() != QMetaType::Double && b.typeId() != QMetaType::Double) {
            const qint64 x = a.toLongLong(), y = b.toLongLong();
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case 2: {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case 4: {
        const QByteArray x = a.toByteArray(), y = b.toByteArray();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    default:
        return QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
    }
}

bool locateMatch(const TField *field, const QVariant &stored, const QVariant &wanted) {
    if (wanted.isNull())
        return stored.isNull();
    const bool wantedNumeric = typeRank(wanted) == 1;
    if (wantedNumeric && typeRank(stored) == 1)
        return compareValues(stored, wanted) == 0;
    const QString have = field->textOf(stored);
    const QString want = wanted.typeId() == QMetaType::QString ? wanted.toString() : field->textOf(wanted);
    return QString::compare(have, want, Qt::CaseInsensitive) == 0;
}

} // namespace

TDataSet::TDataSet(QObject *owner) : QObject(owner) {}

TDataSet::~TDataSet() {
    qDeleteAll(m_fields);
}

void TDataSet::fail(const QString &text) const {
    throw EDatabaseError::inFile(sourceName(), text);
}

void TDataSet::checkActive() const {
    if (m_state == dsInactive)
        fail(QStringLiteral("Cannot perform this operation on a closed data set"));
}

void TDataSet::SetActive(bool active) {
    if (active)
        Open();
    else
        Close();
}

void TDataSet::Open() {
    if (Active())
        return;
    QVector<Column> cols;
    std::vector<std::unique_ptr<Row>> rows;
    doOpen(cols, rows);
    m_columns = cols;
    try {
        buildFields();
    } catch (...) {
        doClose();
        throw;
    }
    adoptRows(rows);
    m_orderColumns = orderColumns();
    sortRows();
    m_cur = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
    m_modified = false;
    setState(dsBrowse);
    emitRows();
    emitCurrent();
    if (AfterOpen)
        AfterOpen(this);
}

const QVector<QVariant> *TDataSet::heldValues(qint64 id) const {
    const auto it = m_rows.find(id);
    return it == m_rows.end() ? nullptr : &it->second->values;
}

void TDataSet::canonicalize(QVector<QVariant> &values) const {
    for (const TField *f : m_fields)
        if (f->Column() < values.size())
            values[f->Column()] = f->fromStorage(values[f->Column()]);
}

// Takes the rows read from the source; values are kept in each field's own form, so every later read is plain.
void TDataSet::adoptRows(std::vector<std::unique_ptr<Row>> &rows) {
    m_rows.clear();
    m_order.clear();
    m_order.reserve(rows.size());
    for (auto &row : rows) {
        canonicalize(row->values);
        m_order.push_back(row.get());
        m_rows.emplace(row->id, std::move(row));
    }
}

void TDataSet::Close() {
    if (!Active())
        return;
    m_buffer.clear();
    m_original.clear();
    m_modified = false;
    m_order.clear();
    m_rows.clear();
    m_cur = -1;
    m_bof = m_eof = true;
    doClose();
    setState(dsInactive);
    emitRows();
    emitCurrent();
}

void TDataSet::SetFieldDefs(const QList<TFieldDef> &defs) {
    if (Active())
        fail(QStringLiteral("Cannot change the fields of an open data set"));
    m_defs = defs;
}

void TDataSet::buildFields() {
    qDeleteAll(m_fields);
    m_fields.clear();
    auto columnOf = [this](const QString &name) {
        for (int c = 0; c < m_columns.size(); ++c)
            if (QString::compare(m_columns[c].name, name, Qt::CaseInsensitive) == 0)
                return c;
        return -1;
    };
    m_calculated.clear();
    if (!m_defs.isEmpty()) {
        for (const TFieldDef &def : std::as_const(m_defs)) {
            if (def.Calculated) {
                // Calculated fields read columns beyond the stored ones.
                m_fields.append(
                    new TField(this, int(m_fields.size()), def, int(m_columns.size() + m_calculated.size())));
                m_calculated.append(QVariant());
                continue;
            }
            const int c = columnOf(def.Name);
            if (c < 0)
                fail(QStringLiteral("Field '%1' not found").arg(def.Name));
            TFieldDef d = def;
            if (d.DataType == ftUnknown)
                d.DataType = m_columns[c].type == ftUnknown ? ftString : m_columns[c].type;
            m_fields.append(new TField(this, int(m_fields.size()), d, c));
        }
        return;
    }
    for (int c = 0; c < m_columns.size(); ++c) {
        TFieldDef d;
        d.Name = m_columns[c].name;
        d.DataType = m_columns[c].type == ftUnknown ? ftString : m_columns[c].type;
        m_fields.append(new TField(this, int(m_fields.size()), d, c));
    }
}

TField *TDataSet::FindField(const QString &name) const {
    for (TField *f : m_fields)
        if (QString::compare(f->FieldName(), name, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

TField *TDataSet::FieldByName(const QString &name) const {
    TField *f = FindField(name);
    if (!f)
        fail(QStringLiteral("Field '%1' not found").arg(name));
    return f;
}

// ---- order ----

bool TDataSet::rowLess(const Row *a, const Row *b) const {
    for (int c : m_orderColumns) {
        const int r = compareValues(a->values[c], b->values[c]);
        if (r != 0)
            return r < 0;
    }
    return a->id < b->id;
}

void TDataSet::sortRows() {
    std::stable_sort(m_order.begin(), m_order.end(), [this](const Row *a, const Row *b) { return rowLess(a, b); });
}

int TDataSet::positionOf(const Row *row) const {
    const auto it = std::lower_bound(m_order.begin(), m_order.end(), row,
                                     [this](const Row *a, const Row *b) { return rowLess(a, b); });
    if (it != m_order.end() && *it == row)
        return int(it - m_order.begin());
    // Not where the order says (should not happen): fall back to a scan.
    const auto found = std::find(m_order.begin(), m_order.end(), row);
    return found == m_order.end() ? -1 : int(found - m_order.begin());
}

// Moves a row whose key may have changed from position `from` to its place in the order.
void TDataSet::placeRow(Row *row, int from) {
    auto less = [this](const Row *a, const Row *b) { return rowLess(a, b); };
    const auto begin = m_order.begin();
    const bool beforePrev = from > 0 && less(row, m_order[size_t(from - 1)]);
    const bool afterNext = from + 1 < int(m_order.size()) && less(m_order[size_t(from + 1)], row);
    if (beforePrev) {
        const auto to = std::upper_bound(begin, begin + from, row, less);
        std::rotate(to, begin + from, begin + from + 1);
    } else if (afterNext) {
        const auto to = std::lower_bound(begin + from + 1, m_order.end(), row, less);
        std::rotate(begin + from, begin + from + 1, to);
    }
}

void TDataSet::reorder() {
    if (!Active()) {
        m_orderColumns = orderColumns();
        return;
    }
    Row *current = currentRow();
    m_orderColumns = orderColumns();
    sortRows();
    if (current)
        m_cur = positionOf(current);
    emitRows();
    emitCurrent();
}

void TDataSet::reload() {
    if (!Active())
        return;
    const PendingRow pending = SavePending();
    const qint64 keep = pending.state == dsEdit ? pending.row : Bookmark();
    const int keepPos = m_cur;
    m_buffer.clear();
    m_original.clear();
    m_modified = false;
    m_state = dsBrowse;
    QVector<Column> cols;
    std::vector<std::unique_ptr<Row>> rows;
    m_order.clear();
    m_rows.clear();
    m_cur = -1;
    doOpen(cols, rows);
    adoptRows(rows);
    sortRows();
    const auto it = m_rows.find(keep);
    if (it != m_rows.end())
        m_cur = positionOf(it->second.get());
    else
        m_cur = m_order.empty() ? -1 : std::clamp(keepPos, 0, int(m_order.size()) - 1);
    m_bof = m_eof = m_order.empty();
    // The pending row is made pending again before anyone hears of the new rows, so bound edits keep what is
    // being typed into them.
    m_state = restorePending(pending) ? pending.state : dsBrowse;
    m_pendingState = true;
    emitRows();
    emitCurrent();
    setState(m_state);
}

TDataSet::PendingRow TDataSet::SavePending() const {
    PendingRow p;
    if (m_state != dsEdit && m_state != dsInsert)
        return p;
    p.state = m_state;
    p.row = m_state == dsEdit ? Bookmark() : 0;
    p.insertPos = m_insertPos;
    p.modified = m_modified;
    p.buffer = m_buffer;
    p.original = m_original;
    return p;
}

void TDataSet::RestorePending(const PendingRow &p) {
    if (m_state != dsBrowse || !restorePending(p))
        return;
    setState(p.state);
    emitRows();
    emitCurrent();
}

bool TDataSet::restorePending(const PendingRow &p) {
    if ((p.state != dsEdit && p.state != dsInsert) || p.buffer.size() != m_columns.size())
        return false;
    if (p.state == dsEdit) {
        const auto it = m_rows.find(p.row);
        if (it == m_rows.end() || p.original.size() != p.buffer.size())
            return false;
        const Row *row = it->second.get();
        m_cur = positionOf(row);
        m_buffer = p.buffer;
        m_original = p.original;
        // What the edit has not changed shows the row as it is now; what it changed keeps the value it was
        // changed from, so the post can tell whether another writer changed it too.
        for (int c = 0; c < m_buffer.size(); ++c)
            if (m_buffer[c] == m_original[c])
                m_buffer[c] = m_original[c] = row->values[c];
    } else {
        m_buffer = p.buffer;
        m_original.clear();
        m_insertPos = std::clamp(p.insertPos, 0, int(m_order.size()));
    }
    m_modified = p.modified;
    m_bof = m_eof = false;
    return true;
}

// ---- moves ----

void TDataSet::First() {
    checkActive();
    CheckBrowseMode();
    m_cur = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
    emitCurrent();
}

void TDataSet::Last() {
    checkActive();
    CheckBrowseMode();
    m_cur = int(m_order.size()) - 1;
    m_eof = true;
    m_bof = m_order.empty();
    emitCurrent();
}

void TDataSet::Next() {
    checkActive();
    CheckBrowseMode();
    m_bof = m_order.empty();
    if (m_cur + 1 < int(m_order.size())) {
        ++m_cur;
        m_eof = false;
        emitCurrent();
    } else {
        m_eof = true;
    }
}

void TDataSet::Prior() {
    checkActive();
    CheckBrowseMode();
    m_eof = m_order.empty();
    if (m_cur > 0) {
        --m_cur;
        m_bof = false;
        emitCurrent();
    } else {
        m_bof = true;
    }
}

void TDataSet::SetRecNo(int recNo) {
    checkActive();
    CheckBrowseMode();
    if (m_order.empty())
        return;
    m_cur = std::clamp(recNo - 1, 0, int(m_order.size()) - 1);
    m_bof = m_eof = false;
    emitCurrent();
}

bool TDataSet::Locate(const QString &fieldName, const QVariant &value) {
    checkActive();
    CheckBrowseMode();
    const TField *field = FieldByName(fieldName);
    const int c = field->Column();
    if (c >= m_columns.size())
        fail(QStringLiteral("Field '%1' is calculated").arg(field->FieldName()));
    for (size_t i = 0; i < m_order.size(); ++i) {
        if (locateMatch(field, m_order[i]->values[c], value)) {
            m_cur = int(i);
            m_bof = m_eof = false;
            emitCurrent();
            return true;
        }
    }
    return false;
}

QVariant TDataSet::Lookup(const QString &keyField, const QVariant &keyValue, const QString &resultField) const {
    checkActive();
    const TField *key = FieldByName(keyField);
    const int result = FieldByName(resultField)->Column();
    for (const Row *row : m_order)
        if (locateMatch(key, row->values[key->Column()], keyValue))
            return row->values[result];
    return {};
}

qint64 TDataSet::Bookmark() const {
    const Row *row = currentRow();
    return row ? row->id : 0;
}

bool TDataSet::GotoBookmark(qint64 bookmark) {
    checkActive();
    CheckBrowseMode();
    const auto it = m_rows.find(bookmark);
    if (it == m_rows.end())
        return false;
    const int pos = positionOf(it->second.get());
    if (pos < 0)
        return false;
    m_cur = pos;
    m_bof = m_eof = false;
    emitCurrent();
    return true;
}

// ---- editing ----

void TDataSet::Edit() {
    checkActive();
    if (m_state == dsEdit || m_state == dsInsert)
        return;
    if (readOnly())
        fail(QStringLiteral("Cannot modify a read-only data set"));
    if (m_order.empty()) {
        Insert();
        return;
    }
    m_buffer = m_original = currentRow()->values;
    m_modified = false;
    setState(dsEdit);
}

void TDataSet::Insert() {
    checkActive();
    CheckBrowseMode();
    if (readOnly())
        fail(QStringLiteral("Cannot modify a read-only data set"));
    m_buffer = QVector<QVariant>(m_columns.size());
    m_original.clear();
    m_insertPos = std::max(m_cur, 0);
    m_modified = false;
    setState(dsInsert);
    emitRows();
    if (AfterInsert) {
        try {
            AfterInsert(this);
        } catch (...) {
            // A new row the hook could not complete (no key) is not left pending.
            Cancel();
            throw;
        }
    }
}

void TDataSet::Post() {
    checkActive();
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    emit updateRecord();
    if (BeforePost)
        BeforePost(this);
    if (m_state == dsInsert) {
        const qint64 id = doInsert(m_buffer);
        auto row = std::make_unique<Row>();
        row->id = id;
        row->values = m_buffer;
        Row *raw = row.get();
        m_rows[id] = std::move(row);
        const auto it = std::upper_bound(m_order.begin(), m_order.end(), raw,
                                         [this](const Row *a, const Row *b) { return rowLess(a, b); });
        const auto placed = m_order.insert(it, raw); // may reallocate: take begin() afterwards
        m_cur = int(placed - m_order.begin());
    } else {
        Row *row = currentRow();
        if (m_buffer != m_original) {
            try {
                doUpdate(row->id, m_original, m_buffer);
            } catch (const EDatabaseConflict &conflict) {
                // Nothing was written. The edit stays pending on the row as the file holds it now: the fields
                // both changed show the other writer's value, the rest of this edit is kept.
                const QVector<QVariant> &current = conflict.current();
                if (current.size() == m_buffer.size()) {
                    for (int c = 0; c < m_buffer.size(); ++c)
                        if (m_buffer[c] == m_original[c] || conflict.columns().contains(c))
                            m_buffer[c] = current[c];
                    m_original = current;
                    takeStoredRow(row, current);
                    emitRows();
                    emitCurrent();
                }
                throw;
            }
        }
        if (row->values != m_buffer)
            takeStoredRow(row, m_buffer);
    }
    m_buffer.clear();
    m_original.clear();
    m_modified = false;
    m_bof = m_eof = false;
    setState(dsBrowse);
    emitRows();
    emitCurrent();
    if (AfterPost)
        AfterPost(this);
}

// The stored values of a row replace what it held; it moves to its place when its key changed.
void TDataSet::takeStoredRow(Row *row, const QVector<QVariant> &values) {
    bool keyChanged = false;
    for (int c : std::as_const(m_orderColumns))
        keyChanged = keyChanged || compareValues(row->values[c], values[c]) != 0;
    // Found before the key changes: the order is whole until then.
    const int from = currentRow() == row ? m_cur : positionOf(row);
    row->values = values;
    if (keyChanged && from >= 0) {
        placeRow(row, from);
        m_cur = positionOf(row);
    }
}

void TDataSet::Cancel() {
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    const bool wasInsert = m_state == dsInsert;
    m_buffer.clear();
    m_original.clear();
    m_modified = false;
    setState(dsBrowse);
    if (wasInsert)
        emitRows();
    else
        emitCurrent();
}

void TDataSet::Delete() {
    checkActive();
    if (m_state == dsInsert) {
        Cancel();
        return;
    }
    Cancel();
    if (m_order.empty())
        fail(QStringLiteral("Cannot perform this operation on an empty data set"));
    if (readOnly())
        fail(QStringLiteral("Cannot modify a read-only data set"));
    Row *row = currentRow();
    doDelete(row->id);
    m_order.erase(m_order.begin() + m_cur);
    m_rows.erase(row->id);
    if (m_cur >= int(m_order.size()))
        m_cur = int(m_order.size()) - 1;
    m_bof = m_eof = m_order.empty();
    emitRows();
    emitCurrent();
}

void TDataSet::UpdateRecord() {
    if (m_state == dsEdit || m_state == dsInsert)
        emit updateRecord();
}

void TDataSet::CheckBrowseMode() {
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    emit updateRecord();
    if (m_modified)
        Post();
    else
        Cancel();
}

const QVariant &TDataSet::nullValue() {
    static const QVariant null;
    return null;
}

const QVariant &TDataSet::calculatedValue(int column) const {
    const qsizetype slot = column - m_columns.size();
    if (slot < 0 || slot >= m_calculated.size())
        return nullValue();
    if (m_calculating) // the calculation reads what it has set so far
        return m_calculated[slot];
    m_calculated.fill(QVariant());
    if (!OnCalcFields || (!currentRow() && m_state != dsEdit && m_state != dsInsert))
        return m_calculated[slot];
    m_calculating = true;
    try {
        OnCalcFields(const_cast<TDataSet *>(this));
    } catch (...) {
        m_calculating = false;
        throw;
    }
    m_calculating = false;
    return m_calculated[slot];
}

void TDataSet::setCurrentValue(int column, const QVariant &value) {
    if (column >= m_columns.size()) {
        const qsizetype slot = column - m_columns.size();
        if (!m_calculating)
            fail(QStringLiteral("A calculated field is set only while the data set calculates"));
        if (slot < m_calculated.size())
            m_calculated[slot] = value;
        return;
    }
    if (m_state != dsEdit && m_state != dsInsert)
        fail(QStringLiteral("Not in edit or insert mode"));
    if (column < 0 || column >= m_buffer.size())
        return;
    m_buffer[column] = value;
    m_modified = true;
    if (!m_disabled) {
        for (const TField *f : std::as_const(m_fields))
            if (f->Column() == column)
                emit fieldChanged(f->Index());
    }
}

qint64 TDataSet::doInsert(QVector<QVariant> &) {
    fail(QStringLiteral("Cannot modify a read-only data set"));
}

void TDataSet::doUpdate(qint64, const QVector<QVariant> &, QVector<QVariant> &) {
    fail(QStringLiteral("Cannot modify a read-only data set"));
}

void TDataSet::doDelete(qint64) {
    fail(QStringLiteral("Cannot modify a read-only data set"));
}

// ---- display ----

int TDataSet::DisplayRowCount() const {
    return int(m_order.size()) + (m_state == dsInsert ? 1 : 0);
}

int TDataSet::DisplayCurrentRow() const {
    return m_state == dsInsert ? m_insertPos : m_cur;
}

QVariant TDataSet::DisplayValue(int displayRow, int fieldIndex) const {
    const TField *f = FieldAt(fieldIndex);
    if (!f || displayRow < 0)
        return {};
    const int c = f->Column();
    if (m_state == dsInsert) {
        if (displayRow == m_insertPos)
            return m_buffer.value(c);
        if (displayRow > m_insertPos)
            --displayRow;
    } else if (m_state == dsEdit && displayRow == m_cur) {
        return m_buffer.value(c);
    }
    if (displayRow >= int(m_order.size()))
        return {};
    return m_order[size_t(displayRow)]->values.value(c);
}

qint64 TDataSet::DisplayBookmark(int displayRow) const {
    if (m_state == dsInsert) {
        if (displayRow == m_insertPos)
            return 0;
        if (displayRow > m_insertPos)
            --displayRow;
    }
    if (displayRow < 0 || displayRow >= int(m_order.size()))
        return 0;
    return m_order[size_t(displayRow)]->id;
}

// ---- notifications ----

void TDataSet::DisableControls() {
    ++m_disabled;
}

void TDataSet::EnableControls() {
    if (m_disabled == 0)
        return;
    if (--m_disabled == 0) {
        const bool rows = m_pendingRows, current = m_pendingCurrent, state = m_pendingState;
        m_pendingRows = m_pendingCurrent = m_pendingState = false;
        if (rows)
            emit rowsChanged();
        if (current)
            emit currentChanged();
        if (state)
            emit stateChanged();
    }
}

void TDataSet::setState(TDataSetState state) {
    if (m_state == state && !m_pendingState)
        return;
    m_state = state;
    if (m_disabled) {
        m_pendingState = true;
        return;
    }
    m_pendingState = false;
    emit stateChanged();
}

void TDataSet::emitCurrent() {
    if (m_disabled) {
        m_pendingCurrent = true;
        return;
    }
    if (m_currentReceivers > 0)
        emit currentChanged();
}

void TDataSet::connectNotify(const QMetaMethod &signal) {
    if (signal == QMetaMethod::fromSignal(&TDataSet::currentChanged))
        ++m_currentReceivers;
}

void TDataSet::disconnectNotify(const QMetaMethod &signal) {
    // An invalid method is a disconnect of everything: count again from what is left.
    if (!signal.isValid())
        m_currentReceivers = receivers(SIGNAL(currentChanged()));
    else if (signal == QMetaMethod::fromSignal(&TDataSet::currentChanged) && m_currentReceivers > 0)
        --m_currentReceivers;
}

void TDataSet::emitRows() {
    if (m_disabled) {
        m_pendingRows = true;
        return;
    }
    emit rowsChanged();
}
