#pragma once

#include <QString>

#include <stdexcept>

/// A failure of the platform printer (a job that cannot start, a page that cannot be added, ...).
class EPrinterError : public std::runtime_error {
public:
    explicit EPrinterError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};
