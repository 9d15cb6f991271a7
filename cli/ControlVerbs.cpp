// The printable controls in the tool: every definition it reads may hold labels, expressions, shapes and
// images; `report lines` shows how a label breaks its text.
#include "cli/Cli.h"

#include "report/controls/ControlClasses.h"
#include "report/controls/ControlMessages.h"
#include "report/controls/QRLabel.h"
#include "report/engine/QRReport.h"
#include "report/engine/Streaming.h"

#include <QFileInfo>

using namespace cli;

namespace {

const char kLinesUsage[] = "report lines DEF LABEL [--width PX]";

// Before any verb reads a definition: the control classes are known, and what they report while a report
// runs (a picture that could not be read) goes to stderr as a warning.
const bool kControlsRegistered = [] {
    RegisterControlClasses();
    qrcontrols::SetControlMessageHandler(
        [](const QString &message) { err(QStringLiteral("tavik: warning: ") + message); });
    return true;
}();

int linesVerb(const QStringList &argv) {
    const Args args(argv, {}, {QStringLiteral("width")});
    args.expectPositional(2, 2, kLinesUsage);
    const QString file = args.positional(0, "DEF");
    if (!QFileInfo(file).isFile())
        throw CliError(QStringLiteral("%1: file not found").arg(file));
    const std::unique_ptr<TQRDefinition> root = LoadDefinition(file, nullptr, false);
    const QString name = args.positional(1, "LABEL");
    auto *label = qobject_cast<TQRCustomLabel *>(FindComponent(root.get(), name));
    if (!label)
        throw CliError(QStringLiteral("%1 holds no label named %2").arg(file, name));
    if (args.has(QStringLiteral("width"))) {
        const int width = args.intValue(QStringLiteral("width"), -1);
        if (width < 0 || width > 100000)
            throw CliError(QStringLiteral("--width takes 0-100000 pixels"));
        label->SetBounds(label->Left(), label->Top(), width, label->Height());
    }
    label->BuildLines();
    for (const QString &line : std::as_const(label->OutputLines))
        out(QLatin1Char('[') + line + QLatin1Char(']'));
    out(QStringLiteral("width %1 left %2").arg(label->Width()).arg(label->Left()));
    return 0;
}

} // namespace

TAVIK_VERB("report lines", kLinesUsage, linesVerb);
