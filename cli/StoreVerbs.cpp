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
    for (const QString &n : {HelpData::KOD, HelpData::SZULO, HelpData::ERTEK, HelpData::SORSZAM, HelpData::SORSZAMSZOV,
                             HelpData::MELYSEG})
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

// ---- import: an outline written as text, optionally with the pages of its topics ----
//
//   = Title                 a topic; the number of "=" is its level
//   words: a b c            search words
//   context: 1200           help context number
//   page: name.htm          page file name
//   Any other line is page text: "- " starts a list item, a blank line ends a paragraph.

namespace {

struct SourceTopic {
    NewTopic topic;
    QStringList body;
    QString number;
};

QList<SourceTopic> readOutlineSource(const QString &file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw CliError(QStringLiteral("%1: cannot read the file").arg(file));
    QList<SourceTopic> topics;
    QList<int> counters;
    int lineNo = 0;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        ++lineNo;
        line.remove(QLatin1Char('\r'));
        if (line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('='))) {
            int level = 0;
            while (level < line.size() && line[level] == QLatin1Char('='))
                ++level;
            SourceTopic t;
            t.topic.level = level;
            t.topic.title = line.mid(level).trimmed();
            if (level > counters.size() + 1)
                throw CliError(QStringLiteral("%1:%2: a topic more than one level below the one before it")
                                   .arg(file)
                                   .arg(lineNo));
            counters = counters.mid(0, level);
            if (counters.size() < level)
                counters << 0;
            ++counters[level - 1];
            QStringList parts;
            for (int c : std::as_const(counters))
                parts << QString::number(c);
            t.number = parts.join(QLatin1Char('.'));
            topics << t;
            continue;
        }
        if (topics.isEmpty()) {
            if (!line.trimmed().isEmpty())
                throw CliError(QStringLiteral("%1:%2: text before the first topic").arg(file).arg(lineNo));
            continue;
        }
        SourceTopic &t = topics.last();
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("words:")))
            t.topic.words = trimmed.mid(6).trimmed();
        else if (trimmed.startsWith(QLatin1String("page:")))
            t.topic.page = trimmed.mid(5).trimmed();
        else if (trimmed.startsWith(QLatin1String("context:"))) {
            bool ok = false;
            t.topic.helpContext = trimmed.mid(8).trimmed().toInt(&ok);
            if (!ok)
                throw CliError(QStringLiteral("%1:%2: the help context is not a whole number").arg(file).arg(lineNo));
            t.topic.hasHelpContext = true;
        } else
            t.body << trimmed;
    }
    return topics;
}

QString pageHtml(const QList<SourceTopic> &all, int index) {
    const SourceTopic &t = all[index];
    auto esc = [](const QString &s) { return s.toHtmlEscaped(); };
    QString html;
    html += QStringLiteral("<!DOCTYPE html>\n<html lang=\"hu\">\n<head>\n<meta charset=\"utf-8\">\n");
    html += QStringLiteral("<title>%1</title>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"help.css\">\n</head>\n<body>\n")
                .arg(esc(t.topic.title));
    html += QStringLiteral("<table class=\"banner\" width=\"100%\"><tr><td width=\"40\"><img src=\"images/logo.png\" "
                           "width=\"32\" height=\"32\" alt=\"\"></td><td><h1>%1 %2</h1></td></tr></table>\n")
                .arg(esc(t.number), esc(t.topic.title));
    bool inList = false;
    QString paragraph;
    auto flush = [&] {
        if (!paragraph.isEmpty())
            html += QStringLiteral("<p>%1</p>\n").arg(paragraph);
        paragraph.clear();
    };
    for (const QString &line : t.body) {
        if (line.startsWith(QLatin1String("- "))) {
            flush();
            if (!inList)
                html += QStringLiteral("<ul>\n");
            inList = true;
            html += QStringLiteral("<li>%1</li>\n").arg(esc(line.mid(2)));
            continue;
        }
        if (inList) {
            html += QStringLiteral("</ul>\n");
            inList = false;
        }
        if (line.isEmpty())
            flush();
        else
            paragraph += (paragraph.isEmpty() ? QString() : QStringLiteral(" ")) + esc(line);
    }
    flush();
    if (inList)
        html += QStringLiteral("</ul>\n");
    QStringList children;
    for (int i = index + 1; i < all.size() && all[i].topic.level > t.topic.level; ++i)
        if (all[i].topic.level == t.topic.level + 1)
            children << QStringLiteral("<tr><td>%1</td><td>%2</td></tr>").arg(esc(all[i].number), esc(all[i].topic.title));
    if (!children.isEmpty()) {
        html += QStringLiteral("<h2>Ebben a fejezetben</h2>\n<table class=\"topics\" cellspacing=\"0\" cellpadding=\"4\">\n"
                               "<tr><th>Sorszám</th><th>Témakör</th></tr>\n");
        html += children.join(QLatin1Char('\n')) + QStringLiteral("\n</table>\n");
    }
    const QStringList words = t.topic.words.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty()) {
        html += QStringLiteral("<h2>Kulcsszavak</h2>\n<ul class=\"words\">\n");
        for (const QString &w : words)
            html += QStringLiteral("<li>%1</li>\n").arg(esc(w));
        html += QStringLiteral("</ul>\n");
    }
    if (t.topic.hasHelpContext)
        html += QStringLiteral("<p class=\"context\">Help context: %1</p>\n").arg(t.topic.helpContext);
    html += QStringLiteral("</body>\n</html>\n");
    return html;
}

int importVerb(const QStringList &argv) {
    const Args args(argv, {QStringLiteral("pages")}, {});
    args.expectPositional(2, 2, "import DIR OUTLINE.txt [--pages]");
    const QString dir = args.positional(0, "DIR");
    const QString help = helpFolder(dir);
    const QList<SourceTopic> source = readOutlineSource(args.positional(1, "OUTLINE.txt"));
    QList<NewTopic> topics;
    for (const SourceTopic &t : source)
        topics << t.topic;
    HelpTopicStore store;
    store.open(QFileInfo(dir).absoluteFilePath());
    const QList<qint32> keys = store.AppendOutline(topics);
    if (args.flag(QStringLiteral("pages"))) {
        const QString html = resolvePathIgnoringCase(help, QStringLiteral("HTML"));
        for (int i = 0; i < source.size(); ++i) {
            const QString name = QFileInfo(source[i].topic.page).fileName();
            if (name.isEmpty())
                continue;
            QFile f(QDir(html).filePath(name));
            const QByteArray bytes = pageHtml(source, i).toUtf8();
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
                throw CliError(QStringLiteral("%1: cannot write the file").arg(f.fileName()));
        }
    }
    out(QStringLiteral("%1 topics added").arg(keys.size()));
    return 0;
}

} // namespace

TAVIK_VERB("import", "import DIR OUTLINE.txt [--pages]", importVerb);
