// The verbs that run a stored report definition: into a report file, onto the PDF printer or an installed
// printer, or through a filter that writes down every call it gets. Event handlers cannot be stored, so options
// script the usual ones (a band's veto, records supplied on demand, a cancel, a page limit).
#include "cli/Cli.h"

#include "printer/QRPrinter.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/QtPrinter.h"
#include "report/engine/QRComposite.h"
#include "report/engine/QRExportFilter.h"
#include "report/engine/QRReport.h"
#include "report/engine/Streaming.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>

#include <map>

using namespace cli;

namespace {

#define TAVIK_RUN_SCRIPT                                                                                               \
    "[--param NAME=VALUE]... [--veto BAND[@K]]... [--need-data N] [--cancel-at-record N] [--pages-in-preview N]"
const char kRunUsage[] = "report run DEF --out OUT.qrp [--compress] [--title T] " TAVIK_RUN_SCRIPT;
const char kPdfUsage[] = "report pdf DEF OUT.pdf [--first N] [--last M] [--copies C] " TAVIK_RUN_SCRIPT;
const char kPrintUsage[] = "report print DEF [--printer NAME] [--first N] [--last M] [--copies C] " TAVIK_RUN_SCRIPT;
const char kTraceUsage[] = "report trace DEF " TAVIK_RUN_SCRIPT;

// Options every run verb takes: values and handlers of the report.
const QStringList kRunOptions{QStringLiteral("param"),
                              QStringLiteral("title"),
                              QStringLiteral("veto"),
                              QStringLiteral("need-data"),
                              QStringLiteral("cancel-at-record"),
                              QStringLiteral("pages-in-preview")};

QStringList withRunOptions(QStringList options) {
    return options + kRunOptions;
}

/// A loaded definition with its first report and the handlers the options script.
struct ScriptedRun {
    std::unique_ptr<TQRDefinition> root;
    TDezirUzu *report = nullptr;
    /// Calls of BeforePrint per band name, for vetoes at a call and the cancel.
    std::map<QString, int> calls;
    int needDataCalls = 0;
};

int countOption(const Args &args, const char *name, int min) {
    const QString option = QString::fromLatin1(name);
    const int n = args.intValue(option, min);
    if (n < min)
        throw CliError(QStringLiteral("--%1 takes a number from %2").arg(option).arg(min));
    return n;
}

// BAND or BAND@K.
QPair<QString, int> vetoSpec(const QString &text) {
    const int at = int(text.indexOf(QLatin1Char('@')));
    if (at < 0)
        return {text, 0};
    bool ok = false;
    const int k = text.mid(at + 1).toInt(&ok);
    if (!ok || k < 1 || at == 0)
        throw CliError(QStringLiteral("--veto takes BAND or BAND@K (K from 1), not '%1'").arg(text));
    return {text.left(at), k};
}

std::unique_ptr<ScriptedRun> prepareRun(const Args &args, const QString &file) {
    if (!QFileInfo(file).isFile())
        throw CliError(QStringLiteral("%1: file not found").arg(file));
    auto run = std::make_unique<ScriptedRun>();
    run->root = LoadDefinition(file);
    for (QObject *component : run->root->children())
        if ((run->report = qobject_cast<TDezirUzu *>(component)))
            break;
    if (!run->report)
        throw CliError(QStringLiteral("%1 holds no report").arg(file));
    TDezirUzu *report = run->report;
    report->SetShowProgress(false);
    if (args.has(QStringLiteral("title")))
        report->SetReportTitle(args.value(QStringLiteral("title")));
    for (const QString &param : args.values(QStringLiteral("param"))) {
        const int eq = int(param.indexOf(QLatin1Char('=')));
        if (eq <= 0)
            throw CliError(QStringLiteral("--param takes NAME=VALUE, not '%1'").arg(param));
        // A value the report names: its expression (a number, 'text', a field ...).
        report->Functions()->RemoveEntry(param.left(eq));
        report->Functions()->AddEntry(param.left(eq), param.mid(eq + 1));
    }
    if (args.has(QStringLiteral("pages-in-preview")))
        report->SetPagesInPreview(countOption(args, "pages-in-preview", 1));
    if (args.has(QStringLiteral("need-data"))) {
        const int records = countOption(args, "need-data", 0);
        ScriptedRun *state = run.get();
        report->OnNeedData = [state, records](QObject *, bool &MoreData) {
            MoreData = state->needDataCalls++ < records;
        };
    }

    // Vetoes and the cancel are BeforePrint handlers of the bands they name.
    std::map<TQRCustomBand *, QList<int>> vetoes; // 0: every call
    for (const QString &text : args.values(QStringLiteral("veto"))) {
        const auto [name, k] = vetoSpec(text);
        auto *band = qobject_cast<TQRCustomBand *>(FindComponent(run->root.get(), name));
        if (!band)
            throw CliError(QStringLiteral("--veto: no band named %1").arg(name));
        vetoes[band] << k;
    }
    TQRCustomBand *detail = nullptr;
    int cancelAt = 0;
    if (args.has(QStringLiteral("cancel-at-record"))) {
        cancelAt = countOption(args, "cancel-at-record", 1);
        report->AssignControllerBands();
        detail = report->Controller()->DetailBand();
        if (!detail)
            throw CliError(QStringLiteral("--cancel-at-record: the report has no detail band"));
        vetoes.try_emplace(detail);
    }
    ScriptedRun *state = run.get();
    for (const auto &[band, ks] : vetoes) {
        const QString name = band->objectName();
        const bool isDetail = band == detail;
        band->BeforePrint = [state, name, ks, isDetail, cancelAt](TQRCustomBand *, bool &PrintBand) {
            const int call = ++state->calls[name];
            if (ks.contains(0) || ks.contains(call))
                PrintBand = false;
            if (isDetail && call == cancelAt)
                state->report->Cancel();
        };
    }
    return run;
}

/// Writes every call it gets as one line, lengths in 0.1 mm.
class TraceFilter : public TQRExportFilter {
public:
    void Start(int paperWidth, int paperLength, const QFont &font) override {
        Started = true;
        out(QStringLiteral("Start %1 %2 %3 %4")
                .arg(paperWidth)
                .arg(paperLength)
                .arg(font.family())
                .arg(font.pointSizeF()));
    }
    void EndPage() override { out(QStringLiteral("EndPage")); }
    void Finish() override { out(QStringLiteral("Finish")); }
    void NewPage() override { out(QStringLiteral("NewPage")); }
    void PutGraphic(TQRPrintable *control, double x, double y) override {
        // Device pixels of the run's page back to 0.1 mm.
        const TQRPrinter *printer = Report ? Report->ReportPrinter.data() : nullptr;
        const double fx = printer ? printer->PixelsPerUnitX() : 1;
        const double fy = printer ? printer->PixelsPerUnitY() : 1;
        out(QStringLiteral("PutGraphic %1 %2 %3 %4")
                .arg(control ? QString::fromLatin1(control->metaObject()->className()) : QStringLiteral("-"),
                     control && !control->objectName().isEmpty() ? control->objectName() : QStringLiteral("-"))
                .arg(rnd(x / fx))
                .arg(rnd(y / fy)));
    }
    void BandDone(TQRCustomBand *band, double x, double y, double expandedHeight) override {
        out(QStringLiteral("BandDone %1 %2 %3 %4")
                .arg(band ? band->objectName() : QStringLiteral("-"))
                .arg(x)
                .arg(y)
                .arg(expandedHeight));
    }
    void TextOut(double x, double y, const QFont &, const QColor &, TAlignment alignment,
                 const QString &text) override {
        out(QStringLiteral("TextOut %1 %2 %3 %4")
                .arg(x)
                .arg(y)
                .arg(QString::fromLatin1(QMetaEnum::fromType<TAlignment>().valueToKey(alignment)), text));
    }
};

// --first, --last and --copies into the report's printer settings.
void takeRange(const Args &args, TDezirUzu &report) {
    const int first = args.intValue(QStringLiteral("first"), 0);
    const int last = args.intValue(QStringLiteral("last"), 0);
    if ((args.has(QStringLiteral("first")) && first < 1) || (args.has(QStringLiteral("last")) && last < 1))
        throw CliError(QStringLiteral("--first and --last take page numbers from 1"));
    if (first && last && last < first)
        throw CliError(QStringLiteral("--last comes before --first"));
    report.PrinterSettings().SetFirstPage(first);
    report.PrinterSettings().SetLastPage(last);
    if (args.has(QStringLiteral("copies"))) {
        const int copies = args.intValue(QStringLiteral("copies"), 1);
        if (copies < 1 || copies > 9999)
            throw CliError(QStringLiteral("--copies takes 1-9999"));
        report.PrinterSettings().SetCopies(copies);
    }
}

// Pages of a run that lie within the printer settings' range.
int pagesInRange(const TDezirUzu &report) {
    const int produced = report.PageNumber;
    const int first = std::max(1, report.PrinterSettings().FirstPage());
    const int last =
        report.PrinterSettings().LastPage() > 0 ? std::min(produced, report.PrinterSettings().LastPage()) : produced;
    return std::max(0, last - first + 1);
}

int runVerb(const QStringList &argv) {
    const Args args(argv, {QStringLiteral("compress")}, withRunOptions({QStringLiteral("out")}));
    args.expectPositional(1, 1, kRunUsage);
    const QString target = args.value(QStringLiteral("out"));
    if (target.isEmpty())
        throw CliError(QStringLiteral("usage: tavik %1").arg(QString::fromLatin1(kRunUsage)));
    const std::unique_ptr<ScriptedRun> run = prepareRun(args, args.positional(0, "DEF"));
    TDezirUzu &report = *run->report;
    if (args.flag(QStringLiteral("compress")))
        report.SetOptions(report.Options() | TQROption::Compression);
    report.GeneratePages();
    TQRPrinter *printer = report.ReportPrinter;
    if (!printer || printer->State() != psDone)
        throw CliError(QStringLiteral("the report made no pages"));
    printer->SavePages(target);
    out(QStringLiteral("pages %1").arg(printer->PagesProduced()));
    return 0;
}

int pdfVerb(const QStringList &argv) {
    const Args args(argv, {},
                    withRunOptions({QStringLiteral("first"), QStringLiteral("last"), QStringLiteral("copies")}));
    args.expectPositional(2, 2, kPdfUsage);
    const QString target = args.positional(1, "OUT.pdf");
    printers::ScopedFactory pdf([target] { return QtPrinter::PdfFile(target); });
    const std::unique_ptr<ScriptedRun> run = prepareRun(args, args.positional(0, "DEF"));
    takeRange(args, *run->report);
    try {
        run->report->Print();
    } catch (...) {
        QFile::remove(target);
        throw;
    }
    out(QStringLiteral("pages %1").arg(pagesInRange(*run->report)));
    return 0;
}

int printVerb(const QStringList &argv) {
    const Args args(argv, {},
                    withRunOptions({QStringLiteral("printer"), QStringLiteral("first"), QStringLiteral("last"),
                                    QStringLiteral("copies")}));
    args.expectPositional(1, 1, kPrintUsage);
    const std::unique_ptr<ScriptedRun> run = prepareRun(args, args.positional(0, "DEF"));
    TPrinter &device = printers::Printer();
    const QStringList names = device.Printers();
    if (names.isEmpty())
        throw CliError(QStringLiteral("no printer is installed"));
    int index = device.PrinterIndex();
    if (args.has(QStringLiteral("printer"))) {
        index = int(names.indexOf(args.value(QStringLiteral("printer"))));
        if (index < 0)
            throw CliError(QStringLiteral("no printer named %1 (tavik printers lists them)")
                               .arg(args.value(QStringLiteral("printer"))));
        run->report->PrinterSettings().SetPrinterIndex(index);
    }
    takeRange(args, *run->report);
    run->report->Print();
    out(QStringLiteral("pages %1 on %2").arg(pagesInRange(*run->report)).arg(names.value(index)));
    return 0;
}

int traceVerb(const QStringList &argv) {
    const Args args(argv, {}, withRunOptions({}));
    args.expectPositional(1, 1, kTraceUsage);
    const std::unique_ptr<ScriptedRun> run = prepareRun(args, args.positional(0, "DEF"));
    TraceFilter filter;
    run->report->Export(&filter);
    return 0;
}

} // namespace

TAVIK_VERB("report run", kRunUsage, runVerb);
TAVIK_VERB("report pdf", kPdfUsage, pdfVerb);
TAVIK_VERB("report print", kPrintUsage, printVerb);
TAVIK_VERB("report trace", kTraceUsage, traceVerb);

// ---- composite jobs ----

namespace {

const char kCompositeUsage[] = "report composite DEF... (--out OUT.qrp | --pdf OUT.pdf | --trace) [--cancel-in K] "
                               "[--title T] [--param NAME=VALUE]...";

/// The composite's events as lines, as they come.
void traceComposite(TQRCompositeReport &composite) {
    composite.OnStartReport = [](QObject *, QObject *report, qint32 i) {
        out(QStringLiteral("start %1 %2").arg(i).arg(report->objectName()));
    };
    composite.OnFinished = [&composite](QObject *sender) {
        out(QStringLiteral("finished %1")
                .arg(sender == &composite ? QStringLiteral("composite") : sender->objectName()));
    };
}

int compositeVerb(const QStringList &argv) {
    const Args args(argv, {QStringLiteral("trace")},
                    {QStringLiteral("out"), QStringLiteral("pdf"), QStringLiteral("cancel-in"), QStringLiteral("title"),
                     QStringLiteral("param")});
    if (args.positional().isEmpty())
        throw CliError(QStringLiteral("usage: tavik %1").arg(QString::fromLatin1(kCompositeUsage)));
    const int targets = int(args.has(QStringLiteral("out"))) + int(args.has(QStringLiteral("pdf"))) +
                        int(args.flag(QStringLiteral("trace")));
    if (targets != 1)
        throw CliError(QStringLiteral("give one of --out, --pdf and --trace"));
    const QStringList &files = args.positional();
    int cancelIn = 0;
    if (args.has(QStringLiteral("cancel-in"))) {
        cancelIn = countOption(args, "cancel-in", 1);
        if (cancelIn > files.size())
            throw CliError(QStringLiteral("--cancel-in takes a report number from 1 to %1").arg(files.size()));
    }
    // Each report takes the values; the one named by --cancel-in is cancelled as its first record prints.
    QStringList shared;
    for (const QString &param : args.values(QStringLiteral("param")))
        shared << QStringLiteral("--param") << param;
    std::vector<std::unique_ptr<ScriptedRun>> runs;
    for (int i = 0; i < files.size(); ++i) {
        QStringList options = shared;
        if (i + 1 == cancelIn)
            options << QStringLiteral("--cancel-at-record") << QStringLiteral("1");
        runs.push_back(prepareRun(Args(options, {}, kRunOptions), files[i]));
    }

    TQRCompositeReport composite;
    composite.SetReportTitle(args.value(QStringLiteral("title")));
    composite.OnAddReports = [&composite, &runs](QObject *) {
        for (const auto &run : runs)
            composite.AddReport(run->report);
    };
    traceComposite(composite);
    if (args.flag(QStringLiteral("trace"))) {
        TraceFilter filter;
        composite.ExportToFilter(filter);
    } else if (args.has(QStringLiteral("out"))) {
        composite.GeneratePages();
        TQRPrinter *printer = composite.Printer;
        if (!printer || printer->State() != psDone)
            throw CliError(QStringLiteral("the job made no pages"));
        printer->SavePages(args.value(QStringLiteral("out")));
    } else {
        const QString target = args.value(QStringLiteral("pdf"));
        printers::ScopedFactory pdf([target] { return QtPrinter::PdfFile(target); });
        try {
            composite.Print();
        } catch (...) {
            QFile::remove(target);
            throw;
        }
    }
    // The pages the job began: the last page number any of its reports reached.
    int pages = 0;
    for (const auto &run : runs)
        pages = std::max(pages, run->report->PageNumber);
    out(QStringLiteral("pages %1").arg(pages));
    return 0;
}

} // namespace

TAVIK_VERB("report composite", kCompositeUsage, compositeVerb);
