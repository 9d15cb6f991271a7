#pragma once

#include <QString>

#include <stdexcept>

/// The report engine's error: page store, printer and report faults, with the engine's own texts
/// ("QRPrinter not ready", "Stream read error", ...).
class EQRError : public std::runtime_error {
public:
    explicit EQRError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

    static EQRError readError() { return EQRError(QStringLiteral("Stream read error")); }
    static EQRError writeError() { return EQRError(QStringLiteral("Stream write error")); }
    /// A report file whose structure does not hold together; `what` names the fault.
    static EQRError damaged(const QString &what) { return EQRError(QStringLiteral("Damaged report file: ") + what); }

private:
    QString m_message;
};
