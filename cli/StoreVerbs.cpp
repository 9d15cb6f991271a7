// Verbs over a help folder's topic table: init, outline, renumber.
#include "cli/Cli.h"

#include "store/Database.h"
#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace cli;

namespace {

const char kBlankPage[] =
    "<!DOCTYPE html>\n<html>\n<head><meta charset=\"utf-8\"><title></title></head>\n<body></body>\n</html>\n";

int initVerb(const QStringList &argv) {
    const Args args(argv, {}, {});
    args.expectPositional(1, 1, "init DIR");
    const QString dir = args.positional(0, "DIR");
    if (!QFileInfo(dir).isDir() && !QDir().mkpath(dir))
        throw CliError(QStringLiteral("%1: cannot make the folder").arg(dir));
    QString help = resolvePathIgnoringCase(QFileInfo(dir).absoluteFilePath(), QStringLiteral("Help"));
    QString html = resolvePathIgnoringCase(help, QStringLiteral("HTML"));
    if (!QDir().mkpath(html))
        throw CliError(QStringLiteral("%1: cannot make the folder").arg(html));
    HelpData::createTable(help);
    const QString blank = resolvePathIgnoringCase(html, QStringLiteral("Blank.htm"));
    if (!QFileInfo::exists(blank)) {
        QFile f(blank);
        if (!f.open(QIODevice::WriteOnly) || f.write(kBlankPage) != qint64(sizeof kBlankPage - 1))
            throw CliError(QStringLiteral("%1: cannot write the file").arg(blank));
    }
    return 0;
}

int outlineVerb(const QStringList &argv) {
    const Args args(argv, {}, {});
    args.expectPositional(1, 1, "outline DIR");
    TDatabase db;
    db.SetReadOnly(true);
    db.SetParams({QStringLiteral("Path=") + helpFolder(args.positional(0, "DIR"))});
    TTable table;
    table.SetDatabase(&db);
    table.SetTableName(HelpData::TableName);
    table.SetIndexFieldNames(HelpData::OrderDisplay);
    table.SetFieldDefs(HelpData::editorFields());
    table.Open();
    QList<TField *> fields;
    for (const QString &n :
         {HelpData::KOD, HelpData::SZULO, HelpData::ERTEK, HelpData::SORSZAM, HelpData::SORSZAMSZOV, HelpData::MELYSEG})
        fields << table.FieldByName(n);
    TField *leaf = table.FieldByName(HelpData::VEGPONT);
    TField *title = table.FieldByName(HelpData::TEMAKOR);
    for (table.First(); !table.Eof(); table.Next()) {
        QStringList line;
        for (TField *f : std::as_const(fields))
            line << f->AsString();
        line << (leaf->AsBoolean() ? QStringLiteral("1") : QStringLiteral("0"));
        line << title->AsString();
        out(line.join(QLatin1Char('\t')));
    }
    return 0;
}

int renumberVerb(const QStringList &argv) {
    const Args args(argv, {QStringLiteral("reparent")}, {});
    args.expectPositional(1, 1, "renumber DIR [--reparent]");
    const QString dir = args.positional(0, "DIR");
    helpFolder(dir);
    HelpTopicStore store;
    store.open(QFileInfo(dir).absoluteFilePath());
    store.RenumberOutline(args.flag(QStringLiteral("reparent")));
    return 0;
}

} // namespace

TAVIK_VERB("init", "init DIR", initVerb);
TAVIK_VERB("outline", "outline DIR", outlineVerb);
TAVIK_VERB("renumber", "renumber DIR [--reparent]", renumberVerb);
