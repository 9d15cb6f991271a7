// The user manual of a help set, printed through the composite job as the help viewer holds it.
#include "cli/Cli.h"

#include "manual/ManualJob.h"

using namespace cli;

namespace {

const char kManualUsage[] = "manual DIR (--out OUT.qrp | --pdf OUT.pdf)";

int manualVerb(const QStringList &argv) {
    const Args args(argv, {}, {QStringLiteral("out"), QStringLiteral("pdf")});
    args.expectPositional(1, 1, kManualUsage);
    if (args.has(QStringLiteral("out")) == args.has(QStringLiteral("pdf")))
        throw CliError(QStringLiteral("usage: tavik %1").arg(QString::fromLatin1(kManualUsage)));
    const QString dir = args.positional(0, "DIR");
    helpFolder(dir);
    TManualJob job(dir);
    const int pages = args.has(QStringLiteral("out")) ? job.SavePages(args.value(QStringLiteral("out")))
                                                      : job.PrintPdf(args.value(QStringLiteral("pdf")));
    out(QStringLiteral("pages %1").arg(pages));
    return 0;
}

} // namespace

TAVIK_VERB("manual", kManualUsage, manualVerb);
