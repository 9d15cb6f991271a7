#include "report/expr/DataSetList.h"

void TQRDataSetList::Add(TDataSet *dataSet) {
    if (dataSet)
        m_items.append(dataSet);
}

void TQRDataSetList::Remove(TDataSet *dataSet) {
    m_items.removeIf([dataSet](const QPointer<TDataSet> &p) { return p.isNull() || p.data() == dataSet; });
}

bool TQRDataSetList::Contains(TDataSet *dataSet) const {
    for (const QPointer<TDataSet> &p : m_items)
        if (p.data() == dataSet && dataSet)
            return true;
    return false;
}
