#include "store/Field.h"

#include "store/DataSet.h"
#include "store/DatabaseError.h"
#include "store/ValueText.h"

#include <QLocale>
#include <QTextBoundaryFinder>

#include <cmath>
#include <limits>

namespace {

const QDate kSerialEpoch(1899, 12, 30);

QVariant parseDateTimeText(const QString &text, TFieldType type) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    if (type == ftTime) {
        QTime time = QTime::fromString(t, Qt::ISODateWithMs);
        if (!time.isValid())
            time = QTime::fromString(t, Qt::ISODate);
        if (time.isValid())
            return QDateTime(kSerialEpoch, time);
    }
    QDateTime dt = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime::fromString(QString(t).replace(QLatin1Char(' '), QLatin1Char('T')), Qt::ISODateWithMs);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (d.isValid())
            dt = QDateTime(d, QTime(0, 0));
    }
    if (!dt.isValid()) {
        // the locale's own forms, as a user types them
        const QLocale loc = QLocale::system();
        dt = loc.toDateTime(t, QLocale::ShortFormat);
        if (!dt.isValid()) {
            const QDate d = loc.toDate(t, QLocale::ShortFormat);
            if (d.isValid())
                dt = QDateTime(d, QTime(0, 0));
        }
    }
    if (!dt.isValid())
        return {};
    return dt;
}

bool parseBoolText(const QString &text, bool *ok) {
    const QString t = text.trimmed().toLower();
    *ok = true;
    if (t == QLatin1String("true") || t == QLatin1String("t") || t == QLatin1String("yes") || t == QLatin1String("y") ||
        t == QLatin1String("1"))
        return true;
    if (t == QLatin1String("false") || t == QLatin1String("f") || t == QLatin1String("no") || t == QLatin1String("n") ||
        t == QLatin1String("0"))
        return false;
    *ok = false;
    return false;
}

// A text cut to a field's width ends on a whole character: never half of a surrogate pair, never a letter
// without its combining accent.
QString cutToWidth(const QString &text, int width) {
    if (width <= 0 || text.size() <= width)
        return text;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.setPosition(width);
    const qsizetype end = characters.isAtBoundary() ? width : characters.toPreviousBoundary();
    return text.left(std::max<qsizetype>(end, 0));
}

} // namespace

TField::TField(TDataSet *dataSet, int index, TFieldDef def, int column)
    : m_dataSet(dataSet), m_index(index), m_def(std::move(def)), m_column(column) {}

QString TField::ClassName() const {
    switch (m_def.DataType) {
    case ftString:
        return QStringLiteral("TStringField");
    case ftSmallint:
        return QStringLiteral("TSmallintField");
    case ftInteger:
        return QStringLiteral("TIntegerField");
    case ftWord:
        return QStringLiteral("TWordField");
    case ftAutoInc:
        return QStringLiteral("TAutoIncField");
    case ftLargeint:
        return QStringLiteral("TLargeintField");
    case ftBoolean:
        return QStringLiteral("TBooleanField");
    case ftFloat:
        return QStringLiteral("TFloatField");
    case ftCurrency:
        return QStringLiteral("TCurrencyField");
    case ftBCD:
        return QStringLiteral("TBCDField");
    case ftFMTBcd:
        return QStringLiteral("TFMTBCDField");
    case ftDate:
        return QStringLiteral("TDateField");
    case ftTime:
        return QStringLiteral("TTimeField");
    case ftDateTime:
        return QStringLiteral("TDateTimeField");
    case ftTimeStamp:
        return QStringLiteral("TSQLTimeStampField");
    case ftMemo:
        return QStringLiteral("TMemoField");
    case ftBlob:
        return QStringLiteral("TBlobField");
    case ftGraphic:
        return QStringLiteral("TGraphicField");
    case ftBytes:
        return QStringLiteral("TBytesField");
    case ftUnknown:
        break;
    }
    return QStringLiteral("TField");
}

QVariant TField::Value() const {
    return m_dataSet->currentValue(m_column);
}

bool TField::IsNull() const {
    return m_dataSet->currentValue(m_column).isNull();
}

QString TField::textOf(const QVariant &v) const {
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return floatText(v.toDouble());
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        const QLocale loc = QLocale::system();
        if (m_def.DataType == ftDate)
            return loc.toString(dt.date(), QLocale::ShortFormat);
        if (m_def.DataType == ftTime)
            return longTimeText(dt.time());
        return loc.toString(dt, QLocale::ShortFormat);
    }
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

QString TField::AsString() const {
    const QVariant &v = m_dataSet->currentValue(m_column);
    if (v.typeId() == QMetaType::QString)
        return *static_cast<const QString *>(v.constData());
    return textOf(v);
}

void TField::conversionError(const QString &text, const char *kind) const {
    throw EDatabaseError(
        QStringLiteral("'%1' is not a valid %2 value for field '%3'").arg(text, QLatin1String(kind), m_def.Name));
}

qint64 TField::AsLargeInt() const {
    const QVariant &v = m_dataSet->currentValue(m_column);
    if (v.typeId() == QMetaType::LongLong)
        return *static_cast<const qint64 *>(v.constData());
    if (v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::LongLong:
    case QMetaType::Int:
        return v.toLongLong();
    case QMetaType::Double: {
        const double d = std::nearbyint(v.toDouble());
        if (!(std::fabs(d) < 9.2e18))
            conversionError(floatText(v.toDouble()), "integer");
        return qint64(d);
    }
    case QMetaType::QDateTime:
        return qint64(std::floor(dateTimeToSerial(v.toDateTime())));
    default: {
        bool ok = false;
        const QString t = textOf(v).trimmed();
        const qint64 n = t.toLongLong(&ok);
        if (!ok)
            conversionError(t, "integer");
        return n;
    }
    }
}

qint32 TField::AsInteger() const {
    // Wider values wrap, as a 32-bit read of a wider column does.
    return qint32(quint32(quint64(AsLargeInt())));
}

double TField::AsFloat() const {
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Double:
        return v.toDouble();
    case QMetaType::QDateTime:
        return dateTimeToSerial(v.toDateTime());
    default: {
        const QString t = textOf(v).trimmed();
        bool ok = false;
        double d = QLocale::system().toDouble(t, &ok);
        if (!ok)
            d = t.toDouble(&ok);
        if (!ok)
            conversionError(t, "floating point");
        return d;
    }
    }
}

bool TField::AsBoolean() const {
    const QVariant v = Value();
    if (v.isNull())
        return false;
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::LongLong:
    case QMetaType::Int:
        return v.toLongLong() != 0;
    case QMetaType::Double:
        return v.toDouble() != 0;
    default: {
        bool ok = false;
        const bool b = parseBoolText(textOf(v), &ok);
        if (!ok)
            conversionError(textOf(v), "boolean");
        return b;
    }
    }
}

QDateTime TField::AsDateTime() const {
    const QVariant v = Value();
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
        return serialToDateTime(v.toDouble());
    const QVariant parsed = parseDateTimeText(textOf(v), m_def.DataType);
    if (parsed.isNull())
        conversionError(textOf(v), "date and time");
    return parsed.toDateTime();
}

QByteArray TField::AsBytes() const {
    const QVariant v = Value();
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return textOf(v).toUtf8();
}

QString TField::DisplayText() const {
    const QVariant v = Value();
    if (v.isNull())
        return {};
    if (m_def.DataType == ftCurrency)
        return QLocale::system().toCurrencyString(v.toDouble());
    if (m_def.DataType == ftMemo)
        return QStringLiteral("(MEMO)");
    if (m_def.DataType == ftBlob || m_def.DataType == ftGraphic)
        return m_def.DataType == ftGraphic ? QStringLiteral("(GRAPHIC)") : QStringLiteral("(BLOB)");
    return textOf(v);
}

QVariant TField::fromStorage(const QVariant &s) const {
    if (s.isNull())
        return {};
    const TFieldType t = m_def.DataType;
    if (isTextType(t)) {
        QString text;
        if (s.typeId() == QMetaType::QString)
            text = s.toString();
        else if (s.typeId() == QMetaType::QByteArray)
            text = QString::fromUtf8(s.toByteArray());
        else if (s.typeId() == QMetaType::Double)
            text = floatText(s.toDouble());
        else
            text = s.toString();
        // A declared width bounds what is read as well as what is written.
        if (t == ftString)
            text = cutToWidth(text, m_def.Size);
        return text;
    }
    if (isIntegerType(t)) {
        if (s.typeId() == QMetaType::LongLong)
            return s;
        bool ok = false;
        const qint64 n = s.toString().trimmed().toLongLong(&ok);
        if (ok)
            return n;
        if (s.typeId() == QMetaType::Double)
            return qint64(std::nearbyint(s.toDouble()));
        return s;
    }
    if (t == ftBoolean) {
        if (s.typeId() == QMetaType::LongLong || s.typeId() == QMetaType::Double)
            return s.toDouble() != 0;
        bool ok = false;
        const bool b = parseBoolText(s.toString(), &ok);
        return ok ? QVariant(b) : s;
    }
    if (isFloatType(t)) {
        if (s.typeId() == QMetaType::Double)
            return s;
        bool ok = false;
        const double d = s.toString().trimmed().toDouble(&ok);
        return ok ? QVariant(d) : s;
    }
    if (isDateTimeType(t)) {
        if (s.typeId() == QMetaType::Double || s.typeId() == QMetaType::LongLong)
            return serialToDateTime(s.toDouble());
        const QVariant parsed = parseDateTimeText(s.toString(), t);
        return parsed.isNull() ? s : parsed;
    }
    if (t == ftBlob || t == ftGraphic || t == ftBytes) {
        if (s.typeId() == QMetaType::QByteArray)
            return s;
        return s.toString().toUtf8();
    }
    return s;
}

QVariant TField::convertForWrite(const QVariant &v) const {
    if (v.isNull())
        return {};
    const TFieldType t = m_def.DataType;
    if (isTextType(t)) {
        const QString text = cutToWidth(v.typeId() == QMetaType::QString ? v.toString() : textOf(v), m_def.Size);
        if (text.isEmpty())
            return {}; // an empty text is stored as null
        return text;
    }
    if (isIntegerType(t)) {
        qint64 n = 0;
        switch (v.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
            n = v.toLongLong();
            break;
        case QMetaType::Bool:
            n = v.toBool() ? 1 : 0;
            break;
        case QMetaType::Double: {
            const double d = v.toDouble();
            if (!(std::fabs(d) < 9.2e18) || d != std::trunc(d))
                conversionError(floatText(d), "integer");
            n = qint64(d);
            break;
        }
        default: {
            const QString text = v.toString().trimmed();
            if (text.isEmpty())
                return {};
            bool ok = false;
            n = text.toLongLong(&ok);
            if (!ok)
                conversionError(text, "integer");
        }
        }
        if (t != ftLargeint && (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max()))
            conversionError(QString::number(n), "integer");
        return n;
    }
    if (t == ftBoolean) {
        if (v.typeId() == QMetaType::Bool)
            return v;
        if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int || v.typeId() == QMetaType::Double)
            return v.toDouble() != 0;
        const QString text = v.toString();
        if (text.trimmed().isEmpty())
            return {};
        bool ok = false;
        const bool b = parseBoolText(text, &ok);
        if (!ok)
            conversionError(text, "boolean");
        return b;
    }
    if (isFloatType(t)) {
        if (v.typeId() == QMetaType::QString) {
            const QString text = v.toString().trimmed();
            if (text.isEmpty())
                return {};
            bool ok = false;
            double d = QLocale::system().toDouble(text, &ok);
            if (!ok)
                d = text.toDouble(&ok);
            if (!ok)
                conversionError(text, "floating point");
            return d;
        }
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            conversionError(v.toString(), "floating point");
        return d;
    }
    if (isDateTimeType(t)) {
        if (v.typeId() == QMetaType::QDateTime)
            return v;
        if (v.typeId() == QMetaType::QDate)
            return QDateTime(v.toDate(), QTime(0, 0));
        if (v.typeId() == QMetaType::Double)
            return serialToDateTime(v.toDouble());
        const QString text = v.toString();
        if (text.trimmed().isEmpty())
            return {};
        const QVariant parsed = parseDateTimeText(text, t);
        if (parsed.isNull())
            conversionError(text, "date and time");
        return parsed;
    }
    if (t == ftBlob || t == ftGraphic || t == ftBytes) {
        if (v.typeId() == QMetaType::QByteArray)
            return v;
        return v.toString().toUtf8();
    }
    return v;
}

void TField::SetValue(const QVariant &value) {
    m_dataSet->setCurrentValue(m_column, convertForWrite(value));
}
void TField::SetAsString(const QString &value) {
    SetValue(value);
}
void TField::SetAsInteger(qint64 value) {
    SetValue(QVariant(value));
}
void TField::SetAsFloat(double value) {
    SetValue(QVariant(value));
}
void TField::SetAsBoolean(bool value) {
    SetValue(QVariant(value));
}
void TField::SetAsDateTime(const QDateTime &value) {
    SetValue(value.isValid() ? QVariant(value) : QVariant());
}
void TField::Clear() {
    m_dataSet->setCurrentValue(m_column, QVariant());
}

TFieldType fieldTypeFromDeclared(const QString &declared) {
    const QString d = declared.trimmed().toUpper();
    if (d.isEmpty())
        return ftUnknown;
    auto has = [&](const char *s) { return d.contains(QLatin1String(s)); };
    if (has("BOOL") || d == QLatin1String("BIT") || d == QLatin1String("LOGICAL"))
        return ftBoolean;
    if (has("BIGINT") || has("INT64") || has("LARGEINT"))
        return ftLargeint;
    if (has("SMALLINT") || has("TINYINT") || has("SHORT"))
        return ftSmallint;
    if (has("AUTOINC"))
        return ftAutoInc;
    if (has("WORD"))
        return ftWord;
    if (has("INT"))
        return ftInteger;
    if (has("MONEY") || has("CURRENCY"))
        return ftCurrency;
    if (has("DECIMAL") || has("NUMERIC") || has("BCD"))
        return ftBCD;
    if (has("REAL") || has("FLOA") || has("DOUB"))
        return ftFloat;
    if (has("TIMESTAMP"))
        return ftTimeStamp;
    if (has("DATETIME"))
        return ftDateTime;
    if (has("DATE"))
        return ftDate;
    if (has("TIME"))
        return ftTime;
    if (has("MEMO") || has("CLOB"))
        return ftMemo;
    if (has("GRAPHIC") || has("IMAGE"))
        return ftGraphic;
    if (has("BLOB") || has("BINARY"))
        return ftBlob;
    if (has("CHAR") || has("TEXT") || has("STRING"))
        return ftString;
    return ftUnknown;
}

bool isIntegerType(TFieldType t) {
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc || t == ftLargeint;
}
bool isFloatType(TFieldType t) {
    return t == ftFloat || t == ftCurrency || t == ftBCD || t == ftFMTBcd;
}
bool isDateTimeType(TFieldType t) {
    return t == ftDate || t == ftTime || t == ftDateTime || t == ftTimeStamp;
}
bool isTextType(TFieldType t) {
    return t == ftString || t == ftMemo;
}

double dateTimeToSerial(const QDateTime &value) {
    if (!value.isValid())
        return 0;
    const double days = double(kSerialEpoch.daysTo(value.date()));
    const double frac = value.time().msecsSinceStartOfDay() / 86400000.0;
    return days >= 0 ? days + frac : days - frac;
}

QDateTime serialToDateTime(double serial) {
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6)
        return {};
    const double whole = std::trunc(serial);
    const double frac = std::fabs(serial - whole);
    const QDate date = kSerialEpoch.addDays(qint64(whole));
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(std::lround(frac * 86400000.0)) % 86400000);
    return QDateTime(date, time);
}
