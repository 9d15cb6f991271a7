#pragma once

#include "store/DataSet.h"

#include <QAbstractTableModel>
#include <QPointer>

/// A data set as a grid model: the visible fields as columns, the rows in the data set's order with the
/// pending insert or edit shown in place. Reading a cell never moves the cursor or touches the engine.
/// Detached, the model stops following the data set (a long pass does not redraw the grid row by row).
class TDataSource : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TDataSource(TDataSet *dataSet, QObject *parent = nullptr);

    TDataSet *DataSet() const { return m_dataSet; }
    void Detach();
    void Attach();
    bool Attached() const { return m_attached; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// The field shown in a column.
    TField *fieldOfColumn(int column) const;
    /// The depth of the topic in a row (MELYSEG), 0 when the data set has no such field.
    int depthOfRow(int row) const;

signals:
    /// The data set's current row changed (or the rows were redone): the grid selects it.
    void currentRowChanged(int row);

private:
    void rebuildColumns();
    void reset();

    QPointer<TDataSet> m_dataSet;
    QList<int> m_columns; // field indexes of the visible fields
    int m_depthField = -1;
    bool m_attached = true;
};
