#pragma once

#include "report/expr/EvValue.h"
#include "report/expr/Evaluator.h"

#include "store/DataSet.h"
#include "tests/support/TestSupport.h"

#include <QLocale>
#include <QVariant>

#include <gtest/gtest.h>

#include <vector>

/// A data set over rows given in code, for evaluating fields without a database.
class MemoryDataSet : public TDataSet {
public:
    struct ColumnDef {
        QString name;
        TFieldType type;
    };

    MemoryDataSet(const QString &name, QList<ColumnDef> columns, QList<QVariantList> rows = {})
        : m_columnDefs(std::move(columns)), m_rowValues(std::move(rows)) {
        setObjectName(name);
    }
    void setRows(QList<QVariantList> rows) { m_rowValues = std::move(rows); }
    QString sourceName() const override { return objectName(); }

protected:
    void doOpen(QVector<Column> &columns, std::vector<std::unique_ptr<Row>> &rows) override {
        for (const ColumnDef &c : m_columnDefs)
            columns.append(Column{c.name, c.type});
        qint64 id = 0;
        for (const QVariantList &values : m_rowValues) {
            auto row = std::make_unique<Row>();
            row->id = ++id;
            row->values = QVector<QVariant>(values.begin(), values.end());
            row->values.resize(columns.size());
            rows.push_back(std::move(row));
        }
    }

private:
    QList<ColumnDef> m_columnDefs;
    QList<QVariantList> m_rowValues;
};

/// A float's text as the evaluator writes it: the locale's decimal separator in place of '.'.
inline QString localized(const QString &text) {
    QString s = text;
    return s.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
}

/// What a value should be: its kind and its text.
struct Expected {
    TQREvKind kind;
    QString text;
};

inline ::testing::AssertionResult valueIs(const TQREvValue &value, const Expected &expected) {
    if (value.Kind == expected.kind && qrexpr::valueText(value) == expected.text)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << qrexpr::kindName(value.Kind).toStdString() << " \""
                                         << qrexpr::valueText(value).toStdString() << "\", want "
                                         << qrexpr::kindName(expected.kind).toStdString() << " \""
                                         << expected.text.toStdString() << "\"";
}

/// A float's text written with '.': the locale's form of it.
inline QString f(const char *text) {
    return localized(QString::fromLatin1(text));
}

/// Compiles, evaluates once and discards.
inline TQREvValue evaluateOnce(const QString &text) {
    TQREvaluator evaluator;
    return evaluator.EvaluateOnce(text);
}

/// An expression and the value it must give.
struct Case {
    const char *expression;
    Expected expected;
};

/// Evaluates every case once, each failure traced to its expression.
inline void expectAll(const std::vector<Case> &cases) {
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expression);
        EXPECT_TRUE(valueIs(evaluateOnce(QString::fromUtf8(c.expression)), c.expected));
    }
}
