// tavik-preview: the standard preview window on a report file, as `tavik preview` opens it. It is a program
// of its own so that the `tavik` tool links no widgets.
//   tavik-preview FILE.qrp|DEF.qrx [--do "CMD;CMD;..."]
// With --do the commands run in the window (offscreen unless a platform is chosen), what they show is
// written to stdout, and the window closes. Exit status 0, or 1 with one line on stderr.
#include "printer/QRError.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/QtPrinter.h"
#include "printer/preview/QRPrev.h"
#include "printer/preview/QRPreviewScript.h"
#include "printer/preview/QRPreviewWindows.h"
#include "report/engine/QRReport.h"
#include "report/engine/Streaming.h"

#include "printer/drawing/Printer.h"
#include "printer/drawing/PrinterFactory.h"
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

void err(const QString &line) {
    std::fprintf(stderr, "tavik: %s\n", line.toUtf8().constData());
}

void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtFatalMsg || !qEnvironmentVariableIsEmpty("TAVIK_VERBOSE"))
        std::fprintf(stderr, "%s\n", message.toUtf8().constData());
}

struct Options {
    QString file;
    std::optional<QString> commands;
};

std::optional<Options> parse(const QStringList &args, QString &error) {
    Options options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--do")) {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("option --do needs a value");
                return std::nullopt;
            }
            options.commands = args[++i];
        } else if (args[i].startsWith(QLatin1String("--do="))) {
            options.commands = args[i].mid(5);
        } else if (args[i].startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option %1").arg(args[i]);
            return std::nullopt;
        } else if (options.file.isEmpty()) {
            options.file = args[i];
        } else {
            error = QStringLiteral("usage: tavik preview FILE.qrp|DEF.qrx [--do \"CMD;CMD;...\"]");
            return std::nullopt;
        }
    }
    if (options.file.isEmpty()) {
        error = QStringLiteral("usage: tavik preview FILE.qrp|DEF.qrx [--do \"CMD;CMD;...\"]");
        return std::nullopt;
    }
    return options;
}

// What the window shows: a report file's pages, or a report definition generated while the window shows it.
struct Shown {
    std::unique_ptr<TQRPrinter> printer;
    std::unique_ptr<TQRDefinition> definition;
    TDezirUzu *report = nullptr;
};

Shown openReport(const QString &file) {
    const QFileInfo info(file);
    if (!info.exists())
        throw EQRError(QStringLiteral("%1: file not found").arg(file));
    Shown shown;
    if (info.suffix().compare(QLatin1String("qrx"), Qt::CaseInsensitive) == 0) {
        shown.definition = LoadDefinition(file);
        for (QObject *component : shown.definition->children())
            if ((shown.report = qobject_cast<TDezirUzu *>(component)))
                break;
        if (!shown.report)
            throw EQRError(QStringLiteral("%1 holds no report").arg(file));
        return shown;
    }
    shown.printer = std::make_unique<TQRPrinter>();
    shown.printer->LoadPages(file);
    shown.printer->SetJobTitle(info.fileName());
    return shown;
}

} // namespace

int main(int argc, char **argv) {
    qInstallMessageHandler(quietMessages);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString error;
    const std::optional<Options> options = parse(args, error);
    if (!options) {
        err(error);
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        if (options->commands)
            qputenv("QT_QPA_PLATFORM", "offscreen");
        else if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            err(QStringLiteral("no display to show the preview on (set DISPLAY, or check it with --do)"));
            return 1;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TavikEditor"));
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
    RegisterPreviewWindows();
    // Without an installed printer the pages still have their paper, and printing writes a PDF beside the file.
    std::optional<printers::ScopedFactory> pdf;
    if (printers::NewPrinter()->Printers().isEmpty()) {
        const QFileInfo info(options->file);
        const QString target = info.dir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
        pdf.emplace([target] { return QtPrinter::PdfFile(target); });
    }

    int status = 0;
    {
        Shown shown;
        QPointer<TQRStandardPreview> window;
        try {
            shown = openReport(options->file);
            if (shown.report) {
                // The window opens on the report's printer and shows the pages as the run makes them.
                window = qobject_cast<TQRStandardPreview *>(shown.report->Preview());
            } else {
                window = new TQRStandardPreview(shown.printer.get());
                window->show();
                window->UpdateStatus();
            }
        } catch (const std::exception &e) {
            const auto *qr = dynamic_cast<const EQRError *>(&e);
            err(qr ? qr->message() : QString::fromUtf8(e.what()));
            return 1;
        }
        if (!window) {
            err(QStringLiteral("the preview window closed while the report ran"));
            return 1;
        }
        if (options->commands) {
            QApplication::processEvents();
            QStringList output;
            QString failure;
            const bool ok = TQRPreviewScript(*window).Run(*options->commands, output, failure);
            for (const QString &line : std::as_const(output))
                std::printf("%s\n", line.toUtf8().constData());
            std::fflush(stdout);
            if (!ok) {
                err(failure);
                status = 1;
            }
            if (window)
                window->close();
            QApplication::processEvents();
        } else {
            QObject::connect(window, &QObject::destroyed, &app, &QApplication::quit);
            app.exec();
        }
        delete window.data();
    }
    return status;
}
