#include "report/controls/ControlMessages.h"

#include <QDebug>

namespace qrcontrols {

namespace {

ControlMessageHandler &handler() {
    static ControlMessageHandler installed;
    return installed;
}

} // namespace

ControlMessageHandler SetControlMessageHandler(ControlMessageHandler next) {
    ControlMessageHandler previous = std::move(handler());
    handler() = std::move(next);
    return previous;
}

void ReportControlMessage(const QString &message) {
    if (handler())
        handler()(message);
    else
        qWarning().noquote() << message;
}

} // namespace qrcontrols
