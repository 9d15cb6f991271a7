// The import verb: a whole outline written as text added after the last topic, optionally with the pages of
// its topics.
//
//   = Title                 a topic; the number of "=" is its level
//   words: a b c            search words
//   context: 1200           help context number
//   page: name.htm          page file name (only the name is kept)
//   Any other line is page text: "- " starts a list item, a blank line ends a paragraph.
#include "cli/Cli.h"

#include "help/HelpPages.h"
#include "help/TopicText.h"
#include "store/Database.h"
#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <memory>

using namespace cli;

namespace {

struct SourceTopic {
    NewTopic topic;
    QStringList body;
    int line = 0;
};

// Refused, with the line it is on, before anything is touched: a value a field would cut or that would break
// the one-line listings.
void checkValue(const QString &file, int line, const QString &fieldName, const QString &value) {
    const QString problem = topictext::problemWith(fieldName, value);
    if (!problem.isEmpty())
        throw CliError(QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(problem));
}

QList<SourceTopic> readOutlineSource(const QString &file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw CliError(QStringLiteral("%1: cannot read the file").arg(file));
    QList<SourceTopic> topics;
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
            if (level > (topics.isEmpty() ? 0 : topics.last().topic.level) + 1)
                throw CliError(
                    QStringLiteral("%1:%2: a topic more than one level below the one before it").arg(file).arg(lineNo));
            SourceTopic t;
            t.line = lineNo;
            t.topic.level = level;
            t.topic.title = line.mid(level).trimmed();
            checkValue(file, lineNo, HelpData::TEMAKOR, t.topic.title);
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
        if (trimmed.startsWith(QLatin1String("words:"))) {
            t.topic.words = trimmed.mid(6).trimmed();
            checkValue(file, lineNo, HelpData::WORDS, t.topic.words);
        } else if (trimmed.startsWith(QLatin1String("page:"))) {
            t.topic.page = helppages::pageName(trimmed.mid(5).trimmed());
            checkValue(file, lineNo, HelpData::HELPHTML, t.topic.page);
        } else if (trimmed.startsWith(QLatin1String("context:"))) {
            bool ok = false;
            t.topic.helpContext = trimmed.mid(8).trimmed().toInt(&ok);
            if (!ok)
                throw CliError(QStringLiteral("%1:%2: the help context is not a whole number").arg(file).arg(lineNo));
            t.topic.hasHelpContext = true;
        } else {
            t.body << trimmed;
        }
    }
    return topics;
}

// A topic's page: its final number and title as the heading, its text, its children, its words.
QString pageHtml(const QList<SourceTopic> &all, const QStringList &numbers, int index) {
    const SourceTopic &t = all[index];
    auto esc = [](const QString &s) { return s.toHtmlEscaped(); };
    QString html;
    html += QStringLiteral("<!DOCTYPE html>\n<html lang=\"hu\">\n<head>\n<meta charset=\"utf-8\">\n");
    html += QStringLiteral(
                "<title>%1</title>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"help.css\">\n</head>\n<body>\n")
                .arg(esc(t.topic.title));
    html += QStringLiteral("<table class=\"banner\" width=\"100%\"><tr><td width=\"40\"><img src=\"images/logo.png\" "
                           "width=\"32\" height=\"32\" alt=\"\"></td><td><h1>%1 %2</h1></td></tr></table>\n")
                .arg(esc(numbers[index]), esc(t.topic.title));
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
            children << QStringLiteral("<tr><td>%1</td><td>%2</td></tr>").arg(esc(numbers[i]), esc(all[i].topic.title));
    if (!children.isEmpty()) {
        html +=
            QStringLiteral("<h2>Ebben a fejezetben</h2>\n<table class=\"topics\" cellspacing=\"0\" cellpadding=\"4\">\n"
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

// The pages of an import, so that either all of them are in place with the topics or none is: each is written
// to a file of its own first, moved into place just before the topics are committed, and put back as it was
// (an overwritten page restored) unless kept.
class PageBatch {
public:
    explicit PageBatch(const QString &folder) : m_folder(folder) {}
    ~PageBatch() { undo(); }

    void add(const QString &target, const QByteArray &bytes) {
        QTemporaryFile staged(QDir(m_folder).filePath(QStringLiteral(".tavik-import-XXXXXX")));
        staged.setAutoRemove(false);
        if (!staged.open())
            throw CliError(QStringLiteral("%1: cannot write the file").arg(target));
        Page page{target, staged.fileName(), {}};
        m_pages.push_back(page);
        const bool written = staged.write(bytes) == bytes.size() && staged.flush();
        staged.close();
        const QFileDevice::Permissions readable =
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        if (!written ||
            !QFile::setPermissions(page.staged, QFileInfo::exists(target) ? QFile::permissions(target) : readable))
            throw CliError(QStringLiteral("%1: cannot write the file").arg(target));
    }

    void place() {
        for (Page &page : m_pages) {
            if (QFileInfo::exists(page.target)) {
                page.backup = page.staged + QStringLiteral(".old");
                if (std::rename(QFile::encodeName(page.target).constData(),
                                QFile::encodeName(page.backup).constData()) != 0) {
                    page.backup.clear();
                    throw CliError(QStringLiteral("%1: cannot replace the file").arg(page.target));
                }
            }
            if (std::rename(QFile::encodeName(page.staged).constData(), QFile::encodeName(page.target).constData()) !=
                0)
                throw CliError(QStringLiteral("%1: cannot write the file").arg(page.target));
            page.placed = true;
        }
    }

    void keep() {
        for (const Page &page : m_pages)
            if (!page.backup.isEmpty())
                QFile::remove(page.backup);
        m_pages.clear();
    }

private:
    struct Page {
        QString target, staged, backup;
        bool placed = false;
    };

    void undo() {
        for (auto it = m_pages.rbegin(); it != m_pages.rend(); ++it) {
            if (it->placed)
                QFile::remove(it->target);
            else
                QFile::remove(it->staged);
            if (!it->backup.isEmpty())
                std::rename(QFile::encodeName(it->backup).constData(), QFile::encodeName(it->target).constData());
        }
        m_pages.clear();
    }

    QString m_folder;
    std::vector<Page> m_pages;
};

int importVerb(const QStringList &argv) {
    const Args args(argv, {QStringLiteral("pages"), QStringLiteral("force")}, {});
    args.expectPositional(2, 2, "import DIR OUTLINE.txt [--pages [--force]]");
    const QString dir = args.positional(0, "DIR");
    const QString help = helpFolder(dir);
    const QString outline = args.positional(1, "OUTLINE.txt");
    const QList<SourceTopic> source = readOutlineSource(outline);
    const bool pages = args.flag(QStringLiteral("pages"));
    const bool force = args.flag(QStringLiteral("force"));
    QList<NewTopic> topics;
    for (const SourceTopic &t : source)
        topics << t.topic;

    // Where each page goes, checked before the table is touched: an existing file is only ever replaced with
    // --force, and two topics never write one file.
    const QString html = resolvePathIgnoringCase(help, QStringLiteral("HTML"));
    QStringList targets;
    if (pages) {
        if (!QFileInfo(html).isDir())
            throw CliError(QStringLiteral("%1: folder not found").arg(html));
        for (const SourceTopic &t : source) {
            QString target;
            if (!t.topic.page.isEmpty()) {
                target = resolvePathIgnoringCase(html, t.topic.page);
                const int earlier = int(targets.indexOf(target));
                if (earlier >= 0)
                    throw CliError(QStringLiteral("%1:%2: the page %3 is written for the topic on line %4 already")
                                       .arg(outline)
                                       .arg(t.line)
                                       .arg(t.topic.page)
                                       .arg(source[earlier].line));
                const QFileInfo existing(target);
                if (existing.exists() && !existing.isFile())
                    throw CliError(QStringLiteral("%1: not a file").arg(target));
                if (existing.exists() && !force)
                    throw CliError(
                        QStringLiteral("%1: the file exists already (import --force replaces it)").arg(target));
            }
            targets << target;
        }
    }

    HelpTopicStore store;
    store.open(QFileInfo(dir).absoluteFilePath());
    PageBatch batch(html);
    const QList<qint32> keys = store.AppendOutline(topics, [&](const QList<qint32> &newKeys) {
        if (!pages)
            return;
        // The headings carry the numbers the topics have now, after the renumber pass.
        QStringList numbers;
        for (qint32 key : newKeys)
            numbers << store.TableHelp->Lookup(HelpData::KOD, key, HelpData::ERTEK).toString();
        for (int i = 0; i < source.size(); ++i)
            if (!targets[i].isEmpty())
                batch.add(targets[i], pageHtml(source, numbers, i).toUtf8());
        batch.place();
    });
    batch.keep();
    out(QStringLiteral("%1 topics added").arg(keys.size()));
    return 0;
}

} // namespace

TAVIK_VERB("import", "import DIR OUTLINE.txt [--pages [--force]]", importVerb);
