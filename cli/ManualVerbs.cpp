// The user manual of a help set, printed through the composite job as the help viewer holds it.
#include "cli/Cli.h"

#include "manual/TavikPrint.h"
#include "printer/PdfOutline.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/QtPrinter.h"
#include "report/engine/QRComposite.h"
#include "report/engine/Streaming.h"
#include "store/HelpViewer.h"
#include "store/Table.h"

#include <QFile>

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

    // The viewer's table with its HELP field, the manual read against it, the viewer's composite.
    HelpViewerStore viewer;
    viewer.setStartDir(dir);
    AddHelpField(*viewer.TableTV, dir);
    viewer.open();
    TQRForms forms;
    forms.Add(QStringLiteral("FormTavik"), &viewer);
    TQRDefinition root;
    TFolvexTavik *manual = TFolvexTavik::Load(&root, forms, dir);
    manual->SetShowProgress(false);
    TQRCompositeReport composite;
    composite.setObjectName(QStringLiteral("QRCompositeReport1"));
    composite.OnAddReports = [&composite, manual](QObject *) { composite.AddReport(manual); };

    if (args.has(QStringLiteral("out"))) {
        composite.GeneratePages();
        TQRPrinter *printer = composite.Printer;
        if (!printer || printer->State() != psDone)
            throw CliError(QStringLiteral("the manual made no pages"));
        printer->SavePages(args.value(QStringLiteral("out")));
    } else {
        const QString target = args.value(QStringLiteral("pdf"));
        try {
            {
                printers::ScopedFactory pdf([target] { return QtPrinter::PdfFile(target); });
                composite.Print();
            }
            QString error;
            if (!pdf::AddOutline(target, TopicOutline(manual->Topics()), &error))
                throw CliError(error);
        } catch (...) {
            QFile::remove(target);
            throw;
        }
    }
    out(QStringLiteral("pages %1").arg(manual->PageNumber));
    return 0;
}

} // namespace

TAVIK_VERB("manual", kManualUsage, manualVerb);
