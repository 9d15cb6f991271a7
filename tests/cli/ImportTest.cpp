// `tavik import`: what it writes, and that a refusal or a failure adds nothing and overwrites nothing.
#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WriteProtection.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class Import : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
        writeFile(html("help.css"), "body { color: black; }\n");
        for (int i = 1; i <= 7; ++i)
            ASSERT_EQ(tavik({"insert", dir.path(), "--top", "--title", QStringLiteral("Meglévő %1").arg(i)}).status, 0);
    }
    QString html(const char *name) const { return dir.filePath(QStringLiteral("Help/HTML/") + QLatin1String(name)); }
    CliRun import(const QByteArray &outline, const QStringList &flags = {QStringLiteral("--pages")}) {
        writeFile(dir.filePath("outline.txt"), outline);
        return tavik(QStringList({QStringLiteral("import"), dir.path(), dir.filePath("outline.txt")}) + flags);
    }
    QStringList outline() { return tavik({QStringLiteral("outline"), dir.path()}).lines(); }
    QStringList pageFiles() {
        QStringList names = QDir(dir.filePath("Help/HTML")).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }

    TempFolder dir;
};

} // namespace

// Page headings carry the numbers the topics end up with after the topics already there, and only file names
// are stored: the page is written into the page folder under its name.
TEST_F(Import, HeadingsCarryTheFinalNumbersAndOnlyNamesAreStored) {
    const CliRun r = import("= Új fejezet\npage: fejezetek/uj.htm\n== Alpont\npage: C:\\lapok\\alpont.htm\n");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = outline();
    ASSERT_EQ(lines.size(), 9);
    EXPECT_TRUE(lines[7].endsWith(QStringLiteral("\t8\t8\t08.\t1\t0\tÚj fejezet"))) << lines[7].toStdString();
    EXPECT_TRUE(lines[8].endsWith(QStringLiteral("\t8.1\t1\t08.01.\t2\t1\tAlpont"))) << lines[8].toStdString();
    const QString uj = QString::fromUtf8(readFile(html("uj.htm")));
    EXPECT_TRUE(uj.contains(QStringLiteral("<h1>8 Új fejezet</h1>"))) << uj.toStdString();
    EXPECT_TRUE(uj.contains(QStringLiteral("<td>8.1</td><td>Alpont</td>"))) << uj.toStdString();
    EXPECT_TRUE(QString::fromUtf8(readFile(html("alpont.htm"))).contains(QStringLiteral("<h1>8.1 Alpont</h1>")));
    EXPECT_EQ(pageFiles(), QStringList({"Blank.htm", "alpont.htm", "help.css", "uj.htm"}));
    // The stored names are the names alone.
    const CliRun search = tavik({QStringLiteral("tree"), dir.path()});
    ASSERT_EQ(search.status, 0);
    QFile db(dir.filePath("Help/HelpData.db"));
    ASSERT_TRUE(db.open(QIODevice::ReadOnly));
    const QByteArray bytes = db.readAll();
    EXPECT_TRUE(bytes.contains("uj.htm"));
    EXPECT_FALSE(bytes.contains("fejezetek/uj.htm"));
    EXPECT_FALSE(bytes.contains("lapok"));
}

// An existing file is never overwritten without --force, and two topics never write one file: refused before
// anything is added. With --force the page is replaced.
TEST_F(Import, NeverOverwritesWithoutForce) {
    const QByteArray blank = readFile(html("Blank.htm"));
    const QStringList before = outline();
    for (const QByteArray &source :
         {QByteArray("= Üres lap\npage: Blank.htm\n"), QByteArray("= Stílus\npage: help.css\n"),
          QByteArray("= Kis betűvel\npage: blank.htm\n"), QByteArray("= Egy\npage: a.htm\n= Kettő\npage: a.htm\n")}) {
        const CliRun r = import(source);
        EXPECT_EQ(r.status, 1) << source.constData();
        EXPECT_TRUE(r.err.contains(QStringLiteral("--force")) || r.err.contains(QStringLiteral("on line 1 already")))
            << r.err.toStdString();
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);
    }
    EXPECT_EQ(outline(), before);
    EXPECT_EQ(readFile(html("Blank.htm")), blank);
    EXPECT_EQ(readFile(html("help.css")), QByteArray("body { color: black; }\n"));
    EXPECT_EQ(pageFiles(), QStringList({"Blank.htm", "help.css"}));
    // Without --pages nothing is written, so nothing is refused.
    EXPECT_EQ(import("= Üres lap\npage: Blank.htm\n", {}).status, 0);
    EXPECT_EQ(readFile(html("Blank.htm")), blank);

    const CliRun forced = import("= Új üres lap\npage: Blank.htm\n", {"--pages", "--force"});
    ASSERT_EQ(forced.status, 0) << forced.err.toStdString();
    EXPECT_TRUE(readFile(html("Blank.htm")).contains("<h1>9 Új üres lap</h1>"));
    EXPECT_EQ(pageFiles(), QStringList({"Blank.htm", "help.css"}));
}

// A page that cannot be written adds no topic and leaves no page of the import behind, so a retry adds the
// topics once.
TEST_F(Import, APageThatCannotBeWrittenAddsNothing) {
    const QStringList before = outline();
    const QByteArray source = "= Első\npage: elso.htm\n= Második\npage: masodik.htm\n";
    ASSERT_TRUE(QDir().mkdir(html("masodik.htm"))); // a folder where the second page would go
    const CliRun refused = import(source, {"--pages", "--force"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("masodik.htm: not a file"))) << refused.err.toStdString();
    EXPECT_EQ(outline(), before);
    ASSERT_TRUE(QDir().rmdir(html("masodik.htm")));
    {
        // The page folder cannot be written: the topics are written first, then rolled back.
        WriteProtection protection(dir.filePath("Help/HTML"));
        if (!protection.active())
            GTEST_SKIP() << "this machine cannot write-protect a folder against this user";
        const CliRun failed = import(source);
        EXPECT_EQ(failed.status, 1);
        EXPECT_TRUE(failed.err.contains(QStringLiteral("elso.htm: cannot write the file"))) << failed.err.toStdString();
    }
    EXPECT_EQ(outline(), before);
    EXPECT_EQ(pageFiles(), QStringList({"Blank.htm", "help.css"}));

    ASSERT_EQ(import(source).status, 0);
    EXPECT_EQ(outline().size(), before.size() + 2);
    EXPECT_EQ(pageFiles(), QStringList({"Blank.htm", "elso.htm", "help.css", "masodik.htm"}));
}

// Values the fields would cut, and control characters that would break the one-line listings, are refused with
// their line before anything is added.
TEST_F(Import, ValuesAFieldCannotHoldAreRefusedWithTheirLine) {
    const QStringList before = outline();
    const struct {
        QByteArray source;
        const char *message;
    } cases[] = {
        {"= Rövid\n= " + QByteArray(51, 'x') + "\n", ":2: TEMAKOR holds at most 50 characters"},
        {"= Rövid\nwords: a\tb\n", ":2: WORDS cannot hold a TAB"},
        {"= Rövid\npage: " + QByteArray(81, 'p') + "\n", ":2: HELPHTML holds at most 80 characters"},
    };
    for (const auto &c : cases) {
        const CliRun r = import(c.source);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
    }
    EXPECT_EQ(outline(), before);
}
