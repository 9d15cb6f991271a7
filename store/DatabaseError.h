#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <stdexcept>

/// The one error type of the data layer: the engine's text, naming the file it concerns.
class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    /// Builds "<file>: <text>" so every message says which file failed.
    static EDatabaseError inFile(const QString &file, const QString &text) {
        return EDatabaseError(file.isEmpty() ? text : file + QStringLiteral(": ") + text);
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

/// A post refused because another writer changed, since the row was read, a field this post changes too.
/// Nothing was written; `current` is the row as the file holds it now, `refused` the row this post would have
/// written.
class EDatabaseConflict : public EDatabaseError {
public:
    EDatabaseConflict(const QString &message, const QList<int> &columns, const QStringList &fieldNames,
                      const QVector<QVariant> &current, const QVector<QVariant> &refused)
        : EDatabaseError(message), m_columns(columns), m_fieldNames(fieldNames), m_current(current),
          m_refused(refused) {}
    /// The storage columns both writers changed, and their names.
    const QList<int> &columns() const { return m_columns; }
    const QStringList &fieldNames() const { return m_fieldNames; }
    const QVector<QVariant> &current() const { return m_current; }
    const QVector<QVariant> &refused() const { return m_refused; }

private:
    QList<int> m_columns;
    QStringList m_fieldNames;
    QVector<QVariant> m_current;
    QVector<QVariant> m_refused;
};
