#include "cli/Cli.h"

#include "store/DatabaseError.h"

#include <QGuiApplication>

#include <malloc.h>

static void listVerbs() {
    cli::out(QStringLiteral("usage: tavik VERB ARGS..."));
    for (const auto &[name, verb] : cli::verbs())
        cli::out(QStringLiteral("  tavik ") + verb.usage);
}

// Qt's own warnings (runtime folders, fonts) would break the one-line error contract; they show only on request.
static void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtFatalMsg || !qEnvironmentVariableIsEmpty("TAVIK_VERBOSE"))
        cli::err(message);
}

int main(int argc, char **argv) {
    // Printing to PDF takes and frees buffers of megabytes for every page; kept in the heap, the next page
    // reuses them instead of mapping and faulting in fresh memory each time.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    qInstallMessageHandler(quietMessages);
    // Drawing and fonts need a GUI application; the tool itself never opens a window (tavik-preview does, on
    // the platform the user chose: it learns that this one was only the tool's own).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("TAVIK_DEFAULT_PLATFORM", "1");
    }
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("TavikEditor"));
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        cli::err(QStringLiteral("usage: tavik VERB ARGS... (tavik --help lists the verbs)"));
        return 1;
    }
    if (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        listVerbs();
        return 0;
    }
    auto &table = cli::verbs();
    auto it = table.end();
    int used = 0;
    if (args.size() >= 2)
        it = table.find(args[0] + QLatin1Char(' ') + args[1]), used = 2;
    if (it == table.end())
        it = table.find(args[0]), used = 1;
    if (it == table.end()) {
        cli::err(QStringLiteral("tavik: unknown verb '%1' (tavik --help lists them)").arg(args[0]));
        return 1;
    }
    try {
        return it->second.function(args.mid(used));
    } catch (const cli::CliError &e) {
        cli::err(QStringLiteral("tavik: ") + e.message());
    } catch (const EDatabaseError &e) {
        cli::err(QStringLiteral("tavik: ") + e.message());
    } catch (const std::exception &e) {
        cli::err(QStringLiteral("tavik: ") + QString::fromUtf8(e.what()));
    }
    return 1;
}
