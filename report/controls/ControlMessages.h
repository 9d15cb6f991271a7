#pragma once

#include <QString>

#include <functional>

namespace qrcontrols {

/// Where the controls report what went wrong without stopping a run (a picture that could not be read). The
/// default handler writes a Qt warning; a program installs its own (the command-line tool writes to stderr).
using ControlMessageHandler = std::function<void(const QString &message)>;
/// Installs a handler (none: the default); returns the one installed before.
ControlMessageHandler SetControlMessageHandler(ControlMessageHandler handler);
void ReportControlMessage(const QString &message);

} // namespace qrcontrols
