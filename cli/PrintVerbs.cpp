// Verbs that print report files: qrp pdf, qrp print, and the list of printers.
#include "cli/Cli.h"

#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/QtPrinter.h"
#include "printer/drawing/Units.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

using namespace cli;

namespace {

int pageNumber(const Args &args, const char *name) {
    const QString option = QString::fromLatin1(name);
    const int page = args.intValue(option, 0);
    if (args.has(option) && page < 1)
        throw CliError(QStringLiteral("--%1 takes a page number from 1").arg(option));
    return page;
}

// Pages that fit none of the papers go on sheets of their own size where the device takes one, rather than
// being stretched over a paper of another shape.
void fitPaper(TQRPrinter &printer) {
    const std::unique_ptr<TMetafile> page = printer.FetchPage(1);
    if (!page)
        return;
    const double width = page->Width() / (page->DpiX() / 254);
    const double length = page->Height() / (page->DpiY() / 254);
    if (std::abs(width - printer.OrientedWidth()) < 40 && std::abs(length - printer.OrientedLength()) < 40)
        return; // the paper found for the pages
    TPrinterSettings &settings = printer.Settings();
    if (!settings.TrySetPaperSize(TQRPaperSize::Custom))
        return;
    settings.TrySetOrientation(poPortrait);
    const bool turned = settings.Orientation() == poLandscape;
    settings.SetSheetWidth(rnd(turned ? length : width));
    settings.SetSheetLength(rnd(turned ? width : length));
}

// Opens the report file and sets the page range; the range is cut to the pages there are, but must keep one.
void loadWithRange(TQRPrinter &printer, const QString &file, const Args &args) {
    if (!QFile::exists(file))
        throw CliError(QStringLiteral("%1: file not found").arg(file));
    const int first = pageNumber(args, "first");
    const int last = pageNumber(args, "last");
    printer.LoadPages(file);
    const int pages = printer.PagesProduced();
    if (pages == 0)
        throw CliError(QStringLiteral("the report has no pages"));
    if (first > pages || (last && last < std::max(first, 1)))
        throw CliError(QStringLiteral("no pages in the range (the report has pages 1-%1)").arg(pages));
    printer.SetFirstPage(first);
    printer.SetLastPage(last);
    printer.SetJobTitle(QFileInfo(file).completeBaseName());
    fitPaper(printer);
}

int pdfVerb(const QStringList &argv) {
    const Args args(argv, {}, {QStringLiteral("first"), QStringLiteral("last")});
    args.expectPositional(2, 2, "qrp pdf FILE OUT.pdf [--first N] [--last M]");
    const QString file = args.positional(0, "FILE");
    const QString target = args.positional(1, "OUT.pdf");
    printers::ScopedFactory pdf([target] { return QtPrinter::PdfFile(target); });
    TQRPrinter printer;
    loadWithRange(printer, file, args);
    int printed = 0;
    try {
        printed = printer.PrintStoredPages();
    } catch (...) {
        QFile::remove(target);
        throw;
    }
    out(QStringLiteral("pages %1").arg(printed));
    return 0;
}

int printVerb(const QStringList &argv) {
    const Args args(
        argv, {QStringLiteral("duplex")},
        {QStringLiteral("printer"), QStringLiteral("first"), QStringLiteral("last"), QStringLiteral("copies")});
    args.expectPositional(1, 1, "qrp print FILE [--printer NAME] [--first N] [--last M] [--copies C] [--duplex]");
    const QString file = args.positional(0, "FILE");
    TQRPrinter printer;
    if (!printer.PrintersInstalled())
        throw CliError(QStringLiteral("no printer is installed"));
    if (args.has(QStringLiteral("printer"))) {
        const QString name = args.value(QStringLiteral("printer"));
        const int index = int(printer.Device().Printers().indexOf(name));
        if (index < 0)
            throw CliError(QStringLiteral("no printer named %1 (tavik printers lists them)").arg(name));
        printer.SelectPrinter(index);
    }
    loadWithRange(printer, file, args);
    TPrinterSettings &settings = printer.Settings();
    const QString device = settings.DeviceName();
    if (args.has(QStringLiteral("copies"))) {
        const int copies = args.intValue(QStringLiteral("copies"), 1);
        if (copies < 1 || copies > 9999)
            throw CliError(QStringLiteral("--copies takes 1-9999"));
        if (!settings.TrySetCopies(copies))
            throw CliError(QStringLiteral("%1 cannot print copies").arg(device));
    }
    if (args.flag(QStringLiteral("duplex"))) {
        // Pages turn over their long edge when upright, over the short one when turned.
        settings.SetExtendedDuplex(settings.Orientation() == poPortrait ? DeviceMode::DMDUP_VERTICAL
                                                                        : DeviceMode::DMDUP_HORIZONTAL);
        if (!settings.TrySetDuplex(true))
            throw CliError(QStringLiteral("%1 does not print on both sides").arg(device));
    }
    const int printed = printer.PrintStoredPages();
    out(QStringLiteral("pages %1 on %2").arg(printed).arg(device));
    return 0;
}

int printersVerb(const QStringList &argv) {
    const Args args(argv, {}, {});
    args.expectPositional(0, 0, "printers");
    TPrinter &printer = printers::Printer();
    const QStringList names = printer.Printers();
    if (names.isEmpty()) {
        out(QStringLiteral("no printers installed"));
        return 0;
    }
    const int chosen = printer.PrinterIndex();
    for (int i = 0; i < names.size(); ++i) {
        printer.SetPrinterIndex(i);
        PrinterNames current;
        DeviceMode mode;
        printer.GetPrinter(current, mode);
        out(names[i] + (i == chosen ? QStringLiteral("\tdefault") : QString()));
        QStringList papers;
        for (const PaperInfo &paper : printer.Papers().value_or(QList<PaperInfo>()))
            papers << QStringLiteral("%1 (%2)").arg(paper.name).arg(paper.code);
        out(QStringLiteral("  papers: ") + (papers.isEmpty() ? QStringLiteral("not listed") : papers.join(", ")));
        QStringList bins;
        for (const BinInfo &bin : printer.Bins().value_or(QList<BinInfo>()))
            bins << QStringLiteral("%1 (%2)").arg(bin.name).arg(bin.code);
        out(QStringLiteral("  bins: ") + (bins.isEmpty() ? QStringLiteral("not listed") : bins.join(", ")));
        out(QStringLiteral("  duplex: ") +
            (mode.has(DeviceMode::DM_DUPLEX) ? QStringLiteral("yes") : QStringLiteral("no")));
    }
    return 0;
}

} // namespace

TAVIK_VERB("qrp pdf", "qrp pdf FILE OUT.pdf [--first N] [--last M]", pdfVerb);
TAVIK_VERB("qrp print", "qrp print FILE [--printer NAME] [--first N] [--last M] [--copies C] [--duplex]", printVerb);
TAVIK_VERB("printers", "printers", printersVerb);
