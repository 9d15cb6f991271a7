#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

class TDataSet;

/// Data types a field can have, as the report engine and the expression language tell them apart.
enum TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftAutoInc,
    ftLargeint,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftFMTBcd,
    ftDate,
    ftTime,
    ftDateTime,
    ftTimeStamp,
    ftMemo,
    ftBlob,
    ftGraphic,
    ftBytes
};

/// A declared field: what a window or report says a data set holds, with width and label.
struct TFieldDef {
    QString Name;
    TFieldType DataType = ftString;
    int Size = 0;         // width in characters for texts; 0 = unbounded
    QString DisplayLabel; // empty: the field name is shown
    bool Visible = true;
    /// Not stored: the data set's OnCalcFields gives its value for the current row whenever it is read.
    bool Calculated = false;
};

/// One column of a data set, reading and writing the data set's current row.
class TField {
public:
    TField(TDataSet *dataSet, int index, TFieldDef def, int column);

    const QString &FieldName() const { return m_def.Name; }
    TFieldType DataType() const { return m_def.DataType; }
    int Size() const { return m_def.Size; }
    int Index() const { return m_index; }
    QString DisplayLabel() const { return m_def.DisplayLabel.isEmpty() ? m_def.Name : m_def.DisplayLabel; }
    bool Visible() const { return m_def.Visible; }
    void SetVisible(bool visible) { m_def.Visible = visible; }
    TDataSet *DataSet() const { return m_dataSet; }
    /// Column of the row storage this field reads.
    int Column() const { return m_column; }
    /// The class a field of this type belongs to ("TStringField", "TIntegerField", ...).
    QString ClassName() const;
    const TFieldDef &Def() const { return m_def; }

    bool IsNull() const;
    QVariant Value() const;
    QString AsString() const;
    qint32 AsInteger() const;
    qint64 AsLargeInt() const;
    double AsFloat() const;
    bool AsBoolean() const;
    QDateTime AsDateTime() const;
    /// Whole content of a memo or blob (texts as UTF-8).
    QByteArray AsBytes() const;
    /// The text a grid or a report shows for the value.
    QString DisplayText() const;

    void SetAsString(const QString &value);
    void SetAsInteger(qint64 value);
    void SetAsFloat(double value);
    void SetAsBoolean(bool value);
    void SetAsDateTime(const QDateTime &value);
    void SetValue(const QVariant &value);
    void Clear();

    /// Converts a stored value to this field's canonical form (used when rows are read).
    QVariant fromStorage(const QVariant &stored) const;
    /// Text form of a value of this field's type, as AsString gives it.
    QString textOf(const QVariant &value) const;

private:
    QVariant convertForWrite(const QVariant &value) const;
    [[noreturn]] void conversionError(const QString &text, const char *kind) const;

    TDataSet *m_dataSet;
    int m_index;
    TFieldDef m_def;
    int m_column;
};

/// Maps a declared SQL column type to a field type ("INTEGER", "TEXT", "REAL", "DATE", ...).
TFieldType fieldTypeFromDeclared(const QString &declaredType);
bool isIntegerType(TFieldType type);
bool isFloatType(TFieldType type);
bool isDateTimeType(TFieldType type);
bool isTextType(TFieldType type);

/// Serial date: days since 1899-12-30 with the time of day as the fraction.
double dateTimeToSerial(const QDateTime &value);
QDateTime serialToDateTime(double serial);
