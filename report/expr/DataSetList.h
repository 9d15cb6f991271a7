#pragma once

#include "store/DataSet.h"

#include <QList>
#include <QPointer>

/// The data sets whose fields an expression may name, in lookup order.
///
/// The report engine keeps one list for a run (the data sets of the report, its controllers and groups) and
/// hands the same object to every evaluator and to its `Functions` environment before compiling, so
/// `[Q.AMOUNT]` finds the data set whose component name is Q and `[AMOUNT]` the first one with such a
/// field. Data sets are held weakly: a destroyed one drops out.
class TQRDataSetList {
public:
    void Add(TDataSet *dataSet);
    void Remove(TDataSet *dataSet);
    void Clear() { m_items.clear(); }
    int Count() const { return int(m_items.size()); }
    /// The data set at a position; null when it was destroyed.
    TDataSet *At(int i) const { return m_items.value(i).data(); }
    bool Contains(TDataSet *dataSet) const;

private:
    QList<QPointer<TDataSet>> m_items;
};
