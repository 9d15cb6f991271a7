// The expression verb: compiles and evaluates an expression, alone or over the records of a query.
#include "cli/Cli.h"

#include "report/expr/Environment.h"
#include "report/expr/Evaluator.h"
#include "store/Query.h"

#include <QFileInfo>

using namespace cli;

namespace {

const char kUsage[] = "expr EXPRESSION [--db FILE.db --sql \"SELECT ...\" [--name Q]] [--each] [--var NAME=EXPR]...";

QString resultLine(const TQREvValue &value) {
    return qrexpr::kindName(value.Kind) + QLatin1Char('\t') + qrexpr::valueText(value);
}

int exprVerb(const QStringList &argv) {
    const Args args(argv, {QStringLiteral("each")},
                    {QStringLiteral("db"), QStringLiteral("sql"), QStringLiteral("name"), QStringLiteral("var")});
    args.expectPositional(1, 1, kUsage);
    const bool withData = args.has(QStringLiteral("db"));
    if (withData != args.has(QStringLiteral("sql")))
        throw CliError(QStringLiteral("--db and --sql go together"));
    if (!withData && (args.flag(QStringLiteral("each")) || args.has(QStringLiteral("name"))))
        throw CliError(QStringLiteral("--each and --name need --db and --sql"));

    TQRDataSetList dataSets;
    TQuery query;
    if (withData) {
        const QFileInfo file(args.value(QStringLiteral("db")));
        if (!file.isFile())
            throw CliError(QStringLiteral("%1: file not found").arg(file.filePath()));
        query.setObjectName(args.value(QStringLiteral("name"), QStringLiteral("Q")));
        // The folder is the connection; the SQL names the tables in it.
        query.SetDatabaseName(file.absolutePath());
        query.SetSQL({args.value(QStringLiteral("sql"))});
        query.Open();
        dataSets.Add(&query);
    }

    // --var entries play the part of a report's Functions.
    TQREvEnvironment variables;
    for (const QString &var : args.values(QStringLiteral("var"))) {
        const qsizetype eq = var.indexOf(QLatin1Char('='));
        if (eq <= 0)
            throw CliError(QStringLiteral("--var takes NAME=EXPR, not '%1'").arg(var));
        variables.AddEntry(var.left(eq).trimmed(), var.mid(eq + 1));
    }
    TQREvaluator evaluator;
    if (withData) {
        variables.SetDatasetList(&dataSets);
        evaluator.SetDatasetList(&dataSets);
    }
    evaluator.SetOwnEnvironment(&variables);
    variables.PrepareAll();
    evaluator.Compile(args.positional(0, "EXPRESSION"));
    struct Release {
        TQREvaluator &evaluator;
        TQREvEnvironment &variables;
        ~Release() {
            evaluator.Discard();
            variables.ReleaseAll();
        }
    } release{evaluator, variables};

    if (!withData) {
        out(resultLine(evaluator.Evaluate()));
        return 0;
    }
    const bool each = args.flag(QStringLiteral("each"));
    const bool accumulate = evaluator.HasAggregates();
    for (query.First(); !query.Eof(); query.Next()) {
        if (accumulate)
            evaluator.Accumulate();
        if (each)
            out(resultLine(evaluator.Evaluate()));
    }
    if (!each)
        out(resultLine(evaluator.Evaluate()));
    return 0;
}

} // namespace

TAVIK_VERB("expr", kUsage, exprVerb);
