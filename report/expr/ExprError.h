#pragma once

#include <QString>

#include <stdexcept>

/// Raised by an evaluator asked for a value before it was compiled ("Evaluator not prepared"). It is the one
/// failure the expression layer throws; every other fault is an `evError` value.
class EQRExprError : public std::runtime_error {
public:
    explicit EQRExprError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};
