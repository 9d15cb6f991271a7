// The expression verb: compiles and evaluates an expression, alone or over the records of a query.
#include "cli/Cli.h"

#include "report/expr/Environment.h"
#include "report/expr/Evaluator.h"
#include "store/Database.h"
#include "store/DatabaseError.h"
#include "store/Query.h"

#include <QFileInfo>
#include <QUrl>

using namespace cli;

namespace {

const char kUsage[] = "expr EXPRESSION [--db FILE.db --sql \"SELECT ...\" [--name Q]] [--each] [--var NAME=EXPR]...";

QString resultLine(const TQREvValue &value) {
    return qrexpr::kindName(value.Kind) + QLatin1Char('\t') + qrexpr::valueText(value);
}

// The query reads the given file whatever its name, and nothing can write through it: the connection is
// read-only, the file is attached first so its tables are found by their plain names, and other tables of
// its folder are still found as table files.
void attachReadOnly(TDatabase &database, const QFileInfo &file) {
    database.SetParams({QStringLiteral("Path=") + file.absolutePath()});
    database.SetReadOnly(true);
    database.Open();
    const QString uri =
        QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=ro");
    database.exec(QStringLiteral("ATTACH DATABASE '%1' AS expr_db")
                      .arg(QString(uri).replace(QLatin1Char('\''), QLatin1String("''"))));
}

// Opens the query over the file. The connection's own faults (not a database, a statement it cannot read)
// name its folder; the user named the file, so they name the file.
void openQuery(TDatabase &database, TQuery &query, const QFileInfo &file, const QString &sql) {
    try {
        attachReadOnly(database, file);
        query.SetDatabase(&database);
        query.SetSQL({sql});
        query.Open();
    } catch (const EDatabaseError &e) {
        const QString folder = file.absolutePath() + QStringLiteral(": ");
        if (!e.message().startsWith(folder))
            throw;
        throw CliError(file.filePath() + QStringLiteral(": ") + e.message().mid(folder.size()));
    }
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
    TDatabase database;
    TQuery query;
    if (withData) {
        const QFileInfo file(args.value(QStringLiteral("db")));
        if (!file.isFile())
            throw CliError(QStringLiteral("%1: file not found").arg(file.filePath()));
        const QString name = args.value(QStringLiteral("name"), QStringLiteral("Q"));
        if (name.isEmpty() || name.contains(QLatin1Char('.')))
            throw CliError(QStringLiteral("--name takes a name without dots, not '%1'").arg(name));
        query.setObjectName(name);
        openQuery(database, query, file, args.value(QStringLiteral("sql")));
        dataSets.Add(&query);
    }

    // --var entries play the part of a report's Functions.
    TQREvEnvironment variables;
    for (const QString &var : args.values(QStringLiteral("var"))) {
        const qsizetype eq = var.indexOf(QLatin1Char('='));
        const QString name = var.left(eq).trimmed();
        if (eq <= 0 || name.isEmpty())
            throw CliError(QStringLiteral("--var takes NAME=EXPR, not '%1'").arg(var));
        variables.AddEntry(name, var.mid(eq + 1));
    }
    // What every report's Functions holds before generation; a --var of the same name comes first and wins.
    variables.AddEntry(QStringLiteral("PAGENUMBER"), QStringLiteral("0"));
    variables.AddEntry(QStringLiteral("COLUMNNUMBER"), QStringLiteral("0"));
    variables.AddEntry(QStringLiteral("REPORTTITLE"), QStringLiteral("''"));
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
