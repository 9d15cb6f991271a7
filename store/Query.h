#pragma once

#include "store/DataSet.h"
#include "store/Database.h"

#include <QPointer>
#include <QStringList>

class TDatabase;

/// A parameter of a query, addressed by position; `:NAME` in the SQL text.
class TParam {
public:
    explicit TParam(const QString &name = {}) : m_name(name) {}
    const QString &Name() const { return m_name; }
    TFieldType DataType() const { return m_type; }
    void SetDataType(TFieldType type) { m_type = type; }
    const QVariant &Value() const { return m_value; }
    bool IsNull() const { return m_value.isNull(); }
    void SetValue(const QVariant &value);
    void SetAsString(const QString &value) { m_value = value; m_type = ftString; }
    void SetAsInteger(qint64 value) { m_value = value; m_type = ftInteger; }
    void SetAsFloat(double value) { m_value = value; m_type = ftFloat; }
    void SetAsBoolean(bool value) { m_value = value; m_type = ftBoolean; }
    void Clear() { m_value = QVariant(); }

private:
    QString m_name;
    TFieldType m_type = ftUnknown;
    QVariant m_value;
};

/// A read-only result of SQL over a folder connection. Results are read whole when the query opens.
/// An aggregate column without a name is called by its function and argument: "MAX OF KOD".
class TQuery : public TDataSet {
    Q_OBJECT
    Q_PROPERTY(QString DatabaseName READ DatabaseName WRITE SetDatabaseName)
    Q_PROPERTY(QStringList SQL READ SQL WRITE SetSQL)

public:
    explicit TQuery(QObject *owner = nullptr);
    ~TQuery() override;

    const QString &DatabaseName() const { return m_binding.name(); }
    void SetDatabaseName(const QString &name);
    void SetDatabase(TDatabase *database);
    TDatabase *database() const;

    const QStringList &SQL() const { return m_sql; }
    /// Sets the SQL lines and makes one parameter per distinct `:NAME`, in order of appearance.
    void SetSQL(const QStringList &lines);

    int ParamCount() const { return int(m_params.size()); }
    TParam &Params(int index);
    TParam *FindParam(const QString &name);
    TParam &ParamByName(const QString &name);
    const QList<TParam> &ParamList() const { return m_params; }

    QString sourceName() const override;

    /// The result column name the engine gives an expression ("max(KOD)" -> "MAX OF KOD").
    static QString resultColumnName(const QString &sqliteName);

protected:
    void doOpen(QVector<Column> &columns, std::vector<std::unique_ptr<Row>> &rows) override;

private:

    DatabaseBinding m_binding;
    QStringList m_sql;
    QList<TParam> m_params;
};
