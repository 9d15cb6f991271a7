#include "app/DataSource.h"

#include "app/DepthColours.h"
#include "help/TopicText.h"
#include "store/DataSet.h"
#include "store/DatabaseError.h"
#include "store/HelpData.h"

#include <QBrush>
#include <QFocusEvent>
#include <QIntValidator>
#include <QLocale>
#include <QValidator>

#include <limits>

TDataSource::TDataSource(TDataSet *dataSet, QObject *parent) : QAbstractTableModel(parent), m_dataSet(dataSet) {
    connect(dataSet, &TDataSet::rowsChanged, this, [this] {
        if (m_attached)
            reset();
    });
    connect(dataSet, &TDataSet::stateChanged, this, [this] {
        if (m_attached)
            reset();
    });
    connect(dataSet, &TDataSet::currentChanged, this, [this] {
        if (m_attached)
            emit currentRowChanged(m_dataSet->DisplayCurrentRow());
    });
    connect(dataSet, &TDataSet::fieldChanged, this, [this](int) {
        if (!m_attached)
            return;
        const int row = m_dataSet->DisplayCurrentRow();
        if (row >= 0 && !m_columns.isEmpty())
            emit dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
        emit headerDataChanged(Qt::Vertical, row, row);
    });
    rebuildColumns();
}

void TDataSource::rebuildColumns() {
    m_columns.clear();
    m_depthField = -1;
    if (!m_dataSet)
        return;
    for (TField *f : m_dataSet->Fields()) {
        if (f->Visible())
            m_columns << f->Index();
        if (f->FieldName().compare(HelpData::MELYSEG, Qt::CaseInsensitive) == 0)
            m_depthField = f->Index();
    }
}

void TDataSource::reset() {
    beginResetModel();
    rebuildColumns();
    endResetModel();
    emit currentRowChanged(m_dataSet ? m_dataSet->DisplayCurrentRow() : -1);
}

void TDataSource::Detach() {
    m_attached = false;
}

void TDataSource::Attach() {
    m_attached = true;
    reset();
}

int TDataSource::rowCount(const QModelIndex &parent) const {
    if (parent.isValid() || !m_dataSet || !m_attached)
        return 0;
    return m_dataSet->DisplayRowCount();
}

int TDataSource::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

TField *TDataSource::fieldOfColumn(int column) const {
    if (!m_dataSet || column < 0 || column >= m_columns.size())
        return nullptr;
    return m_dataSet->FieldAt(m_columns[column]);
}

int TDataSource::depthOfRow(int row) const {
    if (!m_dataSet || m_depthField < 0)
        return 0;
    return m_dataSet->DisplayValue(row, m_depthField).toInt();
}

QVariant TDataSource::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || !m_dataSet)
        return {};
    if (role == Qt::DisplayRole) {
        const TField *f = fieldOfColumn(index.column());
        return f ? f->textOf(m_dataSet->DisplayValue(index.row(), f->Index())) : QVariant();
    }
    if (role == Qt::BackgroundRole) {
        if (const auto colour = depthColour(depthOfRow(index.row())))
            return QBrush(*colour);
    }
    if (role == Qt::TextAlignmentRole) {
        const TField *f = fieldOfColumn(index.column());
        if (f && (isIntegerType(f->DataType()) || isFloatType(f->DataType())))
            return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant TDataSource::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !m_dataSet)
        return {};
    if (orientation == Qt::Horizontal) {
        const TField *f = fieldOfColumn(section);
        return f ? f->DisplayLabel() : QVariant();
    }
    // The row indicator: the current row, and whether it is being edited or inserted.
    if (section != m_dataSet->DisplayCurrentRow())
        return QString();
    switch (m_dataSet->State()) {
    case dsEdit:
        return QStringLiteral("I");
    case dsInsert:
        return QStringLiteral("*");
    default:
        return QStringLiteral("\u25B6");
    }
}

// ---- TDBEdit ----

namespace {

// A topic's text is one line of whole characters: a paste with a TAB or a line break is refused, and so is the
// half of a character that did not fit the field's width.
class TextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override {
        return topictext::hasControlCharacters(input) ? Invalid : Acceptable;
    }
};

} // namespace

TDBEdit::TDBEdit(QWidget *parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, &TDBEdit::userEdited);
}

void TDBEdit::bind(TDataSet *dataSet, const QString &fieldName) {
    m_dataSet = dataSet;
    m_fieldName = fieldName;
    connect(dataSet, &TDataSet::currentChanged, this, &TDBEdit::load);
    connect(dataSet, &TDataSet::rowsChanged, this, &TDBEdit::load);
    connect(dataSet, &TDataSet::stateChanged, this, &TDBEdit::load);
    connect(dataSet, &TDataSet::fieldChanged, this, [this](int index) {
        const TField *f = field();
        if (f && f->Index() == index)
            load();
    });
    connect(dataSet, &TDataSet::updateRecord, this, &TDBEdit::write);
    load();
}

// The field exists once the data set is open: its width bounds the text, an integer field takes digits only.
void TDBEdit::applyFieldRules() {
    const TField *f = field();
    if (m_rulesApplied || !f)
        return;
    m_rulesApplied = true;
    if (f->Size() > 0)
        setMaxLength(f->Size());
    if (isIntegerType(f->DataType())) {
        auto *v = new QIntValidator(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), this);
        v->setLocale(QLocale::c());
        setValidator(v);
    } else if (isTextType(f->DataType())) {
        setValidator(new TextValidator(this));
    }
}

TField *TDBEdit::field() const {
    return m_dataSet ? m_dataSet->FindField(m_fieldName) : nullptr;
}

void TDBEdit::load() {
    if (m_loading)
        return;
    applyFieldRules();
    const TField *f = field();
    // A text the user is typing stays until it is written or the row is left.
    if (m_modified && m_dataSet && (m_dataSet->State() == dsEdit || m_dataSet->State() == dsInsert))
        return;
    m_modified = false;
    // Nothing can be typed where nothing can be stored.
    setReadOnly(m_dataSet && m_dataSet->Active() && !m_dataSet->CanModify());
    const QString text = f && m_dataSet->Active() ? f->AsString() : QString();
    if (text != this->text())
        setText(text);
}

void TDBEdit::write() {
    if (!m_modified || !m_dataSet)
        return;
    TField *f = field();
    if (!f)
        return;
    m_loading = true;
    try {
        f->SetAsString(text());
    } catch (...) {
        m_loading = false;
        throw;
    }
    m_loading = false;
    m_modified = false;
}

void TDBEdit::userEdited() {
    if (!m_dataSet || !m_dataSet->Active())
        return;
    m_loading = true;
    try {
        if (m_dataSet->State() == dsBrowse)
            m_dataSet->Edit();
        m_loading = false;
    } catch (const EDatabaseError &e) {
        m_loading = false;
        if (OnError)
            OnError(e.message());
        load();
        return;
    }
    m_modified = true;
}

void TDBEdit::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    // Only leaving for another control writes the field: a message box or another window taking the focus
    // leaves the typed text as it is.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    // A text the field refuses stays pending: the post or the move that stores the row reports it, once.
    try {
        write();
    } catch (const EDatabaseError &) {
    }
}
