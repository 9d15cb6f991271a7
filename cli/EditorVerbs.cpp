// Verbs that run the editor's commands on a help folder: insert, edit, delete.
#include "cli/Cli.h"

#include "help/Dialogs.h"
#include "help/HelpEditor.h"
#include "help/HelpPages.h"
#include "help/TopicText.h"
#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QFileInfo>

using namespace cli;

namespace {

// The editor's boxes on the command line: messages are refusals (the command fails with their text), every
// question is answered yes.
class CliDialogs : public Dialogs {
public:
    void message(const QString &, const QString &text) override { refusal = text; }
    void plainMessage(const QString &text) override { refusal = text; }
    bool confirm(const QString &, const QString &) override { return true; }
    void error(const QString &text) override { refusal = text; }
    QString chooseFile(const QString &, const QString &) override { return {}; }
    QString refusal;
};

struct Session {
    explicit Session(const QString &dir)
        : startDir(QFileInfo(dir).absoluteFilePath()), editor(&store, &dialogs, startDir) {
        helpFolder(dir);
        store.open(startDir);
    }
    void locate(const QString &kodText) {
        bool ok = false;
        const int kod = kodText.toInt(&ok);
        if (!ok)
            throw CliError(QStringLiteral("'%1' is not a topic key").arg(kodText));
        if (!store.TableHelp->Locate(HelpData::KOD, kod))
            throw CliError(QStringLiteral("no topic with key %1").arg(kod));
    }
    void refuseIfRefused() const {
        if (!dialogs.refusal.isEmpty())
            throw CliError(dialogs.refusal);
    }
    // The fields a user types, then the page as the page choice stores it.
    void fill(const Args &args) {
        TTable *t = store.TableHelp;
        if (args.has(QStringLiteral("title")))
            t->FieldByName(HelpData::TEMAKOR)->SetAsString(args.value(QStringLiteral("title")));
        if (args.has(QStringLiteral("words")))
            t->FieldByName(HelpData::WORDS)->SetAsString(args.value(QStringLiteral("words")));
        if (args.has(QStringLiteral("context")))
            t->FieldByName(HelpData::HELPCONTEXT)->SetAsString(args.value(QStringLiteral("context")));
        if (args.has(QStringLiteral("page")))
            editor.SetPage(args.value(QStringLiteral("page")));
    }

    QString startDir;
    HelpTopicStore store;
    CliDialogs dialogs;
    HelpEditor editor;
};

const QStringList kFieldOptions = {QStringLiteral("title"), QStringLiteral("words"), QStringLiteral("context"),
                                   QStringLiteral("page")};

// A value the field cannot hold as given is refused before the table is touched: cut to the width, a title
// would lose its end without a word; a TAB or a line break would break the one-line outline and tree.
void checkValues(const Args &args) {
    const struct {
        const char *option;
        const QString &field;
    } texts[] = {{"title", HelpData::TEMAKOR}, {"words", HelpData::WORDS}, {"page", HelpData::HELPHTML}};
    for (const auto &t : texts) {
        const QString option = QString::fromLatin1(t.option);
        if (!args.has(option))
            continue;
        QString value = args.value(option);
        if (option == QLatin1String("page"))
            value = helppages::pageName(value); // only the name is stored
        const QString problem = topictext::problemWith(t.field, value);
        if (!problem.isEmpty())
            throw CliError(QStringLiteral("--%1: %2").arg(option, problem));
    }
}

int insertVerb(const QStringList &argv) {
    const Args args(argv, {QStringLiteral("top")}, QStringList(kFieldOptions) << QStringLiteral("under"));
    const char *usage = "insert DIR (--under KOD | --top) --title T [--words W] [--context N] [--page FILE]";
    args.expectPositional(1, 1, usage);
    if (args.flag(QStringLiteral("top")) == args.has(QStringLiteral("under")) || !args.has(QStringLiteral("title")))
        throw CliError(QStringLiteral("usage: tavik %1").arg(QString::fromUtf8(usage)));
    checkValues(args);
    Session s(args.positional(0, "DIR"));
    if (args.has(QStringLiteral("under")))
        s.locate(args.value(QStringLiteral("under")));
    if (!s.editor.Insert())
        s.refuseIfRefused();
    if (args.flag(QStringLiteral("top")))
        s.editor.MakeTopLevel();
    try {
        s.fill(args);
    } catch (...) {
        s.editor.Cancel();
        throw;
    }
    if (!s.editor.Post())
        s.refuseIfRefused();
    out(QString::number(s.store.TableHelp->FieldByName(HelpData::KOD)->AsInteger()));
    return 0;
}

int editVerb(const QStringList &argv) {
    const Args args(argv, {}, kFieldOptions);
    args.expectPositional(2, 2, "edit DIR KOD [--title T] [--words W] [--context N] [--page FILE]");
    checkValues(args);
    Session s(args.positional(0, "DIR"));
    s.locate(args.positional(1, "KOD"));
    if (!s.editor.BeginEdit())
        s.refuseIfRefused();
    try {
        s.fill(args);
    } catch (...) {
        s.editor.Cancel();
        throw;
    }
    if (!s.editor.Post())
        s.refuseIfRefused();
    return 0;
}

int deleteVerb(const QStringList &argv) {
    const Args args(argv, {}, {});
    args.expectPositional(2, 2, "delete DIR KOD");
    Session s(args.positional(0, "DIR"));
    s.locate(args.positional(1, "KOD"));
    if (!s.editor.Delete())
        s.refuseIfRefused();
    return 0;
}

} // namespace

TAVIK_VERB("insert", "insert DIR (--under KOD | --top) --title T [--words W] [--context N] [--page FILE]", insertVerb);
TAVIK_VERB("edit", "edit DIR KOD [--title T] [--words W] [--context N] [--page FILE]", editVerb);
TAVIK_VERB("delete", "delete DIR KOD", deleteVerb);
