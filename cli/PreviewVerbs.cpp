// Verbs of the preview: the preview window (run by tavik-preview beside this tool) and exporting a report
// file through an export filter.
#include "cli/Cli.h"

#include "printer/QRPrinter.h"
#include "printer/export/QRExportFilterLibrary.h"
#include "printer/export/QRStoredPagesExport.h"
#include "report/engine/QRExportFilter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace cli;

namespace {

int previewVerb(const QStringList &argv) {
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tavik-preview"));
    if (!QFileInfo(program).isExecutable())
        throw CliError(QStringLiteral("%1 is missing: the preview window is a program of its own").arg(program));
    // The window goes to the platform the user chose, not to the one this tool picked for itself.
    if (qEnvironmentVariableIsSet("TAVIK_DEFAULT_PLATFORM")) {
        qunsetenv("QT_QPA_PLATFORM");
        qunsetenv("TAVIK_DEFAULT_PLATFORM");
    }
    std::vector<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString &arg : argv)
        bytes.push_back(arg.toLocal8Bit());
    std::vector<char *> args;
    for (QByteArray &b : bytes)
        args.push_back(b.data());
    args.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    execv(args[0], args.data());
    throw CliError(QStringLiteral("%1 cannot be started").arg(program));
}

int exportVerb(const QStringList &argv) {
    const Args args(argv, {}, {});
    args.expectPositional(2, 2, "qrp export FILE OUT.(pdf|txt|csv|html)");
    const QString file = args.positional(0, "FILE");
    const QString target = args.positional(1, "OUT");
    if (!QFileInfo(file).isFile())
        throw CliError(QStringLiteral("%1: file not found").arg(file));
    const QString extension = TQRExportFilterLibrary::SaveExtension(target);
    TQRPrinter printer;
    printer.LoadPages(file);
    printer.SetJobTitle(QFileInfo(file).completeBaseName());
    if (extension == QLatin1String("QRP")) {
        printer.SavePages(target);
        out(QStringLiteral("pages %1").arg(printer.PagesProduced()));
        return 0;
    }
    const TQRExportFilterLibrary &library = TQRExportFilterLibrary::Instance();
    const auto *entry = library.FindByExtension(extension);
    if (!entry) {
        QStringList known;
        for (const auto &e : library.Filters())
            known << e.Extension.toLower();
        throw CliError(QStringLiteral("%1: no export filter writes .%2 files (%3)")
                           .arg(target, extension.isEmpty() ? QStringLiteral("?") : extension.toLower(),
                                known.join(QStringLiteral(", "))));
    }
    const std::unique_ptr<TQRExportFilter> filter = entry->FilterClass(target);
    out(QStringLiteral("pages %1").arg(ExportStoredPages(printer, *filter)));
    return 0;
}

} // namespace

TAVIK_VERB("preview", "preview FILE.qrp|DEF.qrx [--do \"CMD;CMD;...\"]", previewVerb);
TAVIK_VERB("qrp export", "qrp export FILE OUT.(pdf|txt|csv|html)", exportVerb);
