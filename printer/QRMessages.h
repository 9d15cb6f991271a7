#pragma once

#include <QEvent>
#include <QPointer>

class TQRPrinter;

/// The report printer's notifications to its receiver windows, as events of their own types (the message
/// number above QEvent::User):
///
/// | type         | number | to                | how    | Param()     |
/// |--------------|--------|-------------------|--------|-------------|
/// | Progress     | 0x400  | progress receiver | posted | percent     |
/// | PageReady    | 0x401  | progress receiver | posted | page number |
/// | PrintRequest | 0x402  | report receiver   | posted | 0           |
/// | PreviewClose | 0x404  | report receiver   | sent   | 0           |
///
/// Every event carries the printer that raised it, or none once that printer is gone (a posted event may
/// outlive it).
namespace qrmessages {

constexpr QEvent::Type Progress = QEvent::Type(QEvent::User + 0x400);
constexpr QEvent::Type PageReady = QEvent::Type(QEvent::User + 0x401);
constexpr QEvent::Type PrintRequest = QEvent::Type(QEvent::User + 0x402);
constexpr QEvent::Type PreviewClose = QEvent::Type(QEvent::User + 0x404);

} // namespace qrmessages

/// One notification of the report printer.
class TQRMessageEvent : public QEvent {
public:
    TQRMessageEvent(QEvent::Type type, int param, TQRPrinter *printer);
    int Param() const { return m_param; }
    TQRPrinter *Printer() const;

private:
    int m_param;
    QPointer<QObject> m_printer;
};
