#include "store/SqliteValues.h"

#include <QDateTime>

#include <sqlite3.h>

QVariant readColumn(sqlite3_stmt *stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER: return QVariant(qint64(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(stmt, i));
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)),
                                 sqlite3_column_bytes(stmt, i));
    case SQLITE_BLOB: {
        const void *p = sqlite3_column_blob(stmt, i);
        return QByteArray(static_cast<const char *>(p), sqlite3_column_bytes(stmt, i));
    }
    default: return {};
    }
}

void bindValue(sqlite3_stmt *stmt, int index, const QVariant &v, TFieldType type) {
    if (v.isNull()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool: sqlite3_bind_int(stmt, index, v.toBool() ? 1 : 0); return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong: sqlite3_bind_int64(stmt, index, v.toLongLong()); return;
    case QMetaType::Double: sqlite3_bind_double(stmt, index, v.toDouble()); return;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob64(stmt, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        return;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        QString text;
        if (type == ftDate)
            text = dt.date().toString(Qt::ISODate);
        else if (type == ftTime)
            text = dt.time().toString(QStringLiteral("HH:mm:ss.zzz"));
        else
            text = dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        const QByteArray u = text.toUtf8();
        sqlite3_bind_text64(stmt, index, u.constData(), sqlite3_uint64(u.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
        return;
    }
    default: {
        const QByteArray u = v.toString().toUtf8();
        sqlite3_bind_text64(stmt, index, u.constData(), sqlite3_uint64(u.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
}

