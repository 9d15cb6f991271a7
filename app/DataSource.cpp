#include "app/DataSource.h"

#include "app/DepthColours.h"
#include "store/DataSet.h"
#include "store/HelpData.h"

#include <QBrush>

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
