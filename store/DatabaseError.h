#pragma once

#include <QString>
#include <stdexcept>

/// The one error type of the data layer: the engine's text, naming the file it concerns.
class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    /// Builds "<file>: <text>" so every message says which file failed.
    static EDatabaseError inFile(const QString &file, const QString &text) {
        return EDatabaseError(file.isEmpty() ? text : file + QStringLiteral(": ") + text);
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};
