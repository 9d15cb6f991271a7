#pragma once

#include "store/DataSet.h"

#include <QLineEdit>
#include <QPointer>

#include <functional>

/// An edit bound to one field of a data set's current row: typing puts the row in edit state, the text is
/// written to the field before a post (or when the edit loses the focus), and the edit follows the row.
class TDBEdit : public QLineEdit {
    Q_OBJECT

public:
    TDBEdit(QWidget *parent = nullptr);
    void bind(TDataSet *dataSet, const QString &fieldName);
    TField *field() const;
    /// Where a failure to start editing goes.
    std::function<void(const QString &)> OnError;

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void load();
    void applyFieldRules();
    void write();
    void userEdited();

    QPointer<TDataSet> m_dataSet;
    QString m_fieldName;
    bool m_modified = false;
    bool m_loading = false;
    bool m_rulesApplied = false;
};
