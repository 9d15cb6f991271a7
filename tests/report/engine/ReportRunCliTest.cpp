// The verbs that run a stored report, as a user runs them: into a report file, a PDF, and through the trace,
// with the options that script a run's handlers.
#include "GenerationSupport.h"

#include "tests/cli/CliRunner.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#ifdef TAVIK_CLI

namespace {

QString demo() {
    return sourceDir() + QStringLiteral("/demo/topics.qrx");
}

// Definition text written into a folder of its own, with its data folder made by `data`.
struct DefinitionFile {
    DefinitionFile(const QString &xml, const std::function<void(const QString &)> &data = {}) {
        const QString folder = dir.mkdir(QStringLiteral("data"));
        if (data)
            data(folder);
        QFile f(path());
        f.open(QIODevice::WriteOnly);
        f.write(xml.toUtf8());
    }
    QString path() const { return dir.filePath(QStringLiteral("report.qrx")); }
    TempFolder dir;
};

// The band names of the trace's BandDone lines.
QStringList bandsDone(const CliRun &r) {
    QStringList names;
    for (const QString &line : r.lines())
        if (line.startsWith(QLatin1String("BandDone ")))
            names << line.section(QLatin1Char(' '), 1, 1);
    return names;
}

const QString kPlain = reportXml(bandXml("T", "rbTitle", 20) + bandXml("D", "rbDetail", 100) +
                                 bandXml("S", "rbSummary", 10) + bandXml("F", "rbPageFooter", 10));

} // namespace

TEST(ReportRunVerbs, TraceShowsEveryFilterCall) {
    const CliRun r = tavik({"report", "trace", demo()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    // Frames go to the filter as shapes; the bands' order is what this checks.
    QStringList lines = r.lines();
    EXPECT_GT(lines.removeIf([](const QString &line) { return line.startsWith(QLatin1String("PutGraphic ")); }), 0);
    ASSERT_GT(lines.size(), 10);
    EXPECT_EQ(lines.mid(0, 7), (QStringList{"Start 2100 2970 Arial 10", "EndPage", "NewPage",
                                            "BandDone PageHeader 100 100 0", "BandDone Title 100 220 0",
                                            "BandDone ColumnHeader 100 520 0", "BandDone Chapter 100 600 0"}));
    // The second column starts after the detail band's width (347 pixels, 918 native) and the 6 mm space; the
    // summary sits right above the last page's footer.
    EXPECT_TRUE(lines.contains("BandDone ColumnHeader 1078 520 0"));
    EXPECT_EQ(lines.mid(lines.size() - 4),
              (QStringList{"BandDone Summary 100 2640 0", "BandDone PageFooter 100 2790 0", "EndPage", "Finish"}));
    EXPECT_EQ(lines.count("NewPage"), 2);
    EXPECT_EQ(bandsDone(r).count("Topic"), 33);
}

TEST(ReportRunVerbs, RunAndPdfGiveTheSamePages) {
    TempFolder dir;
    const QString qrp = dir.filePath("topics.qrp");
    const CliRun run = tavik({"report", "run", demo(), "--out", qrp, "--compress"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.lines(), QStringList{"pages 2"});
    const CliRun info = tavik({"qrp", "info", qrp});
    EXPECT_TRUE(info.lines().contains("pages 2"));
    EXPECT_TRUE(info.lines().contains("compressed 1"));

    const QString pdf = dir.filePath("topics.pdf");
    const CliRun printed = tavik({"report", "pdf", demo(), pdf});
    ASSERT_EQ(printed.status, 0) << printed.err.toStdString();
    EXPECT_EQ(printed.lines(), QStringList{"pages 2"});
    const CliRun second = tavik({"report", "pdf", demo(), dir.filePath("second.pdf"), "--first", "2"});
    EXPECT_EQ(second.lines(), QStringList{"pages 1"});

    // Page 1 as stored and as printed: the same picture.
    const CliRun png = tavik({"qrp", "png", qrp, "--page", "1", "--out", dir.filePath("stored.png")});
    ASSERT_EQ(png.status, 0) << png.err.toStdString();
    QProcess pdftoppm;
    pdftoppm.start("pdftoppm", {"-png", "-r", "96", "-f", "1", "-l", "1", "-singlefile", pdf, dir.filePath("printed")});
    if (!pdftoppm.waitForFinished() || pdftoppm.exitCode() != 0)
        GTEST_SKIP() << "pdftoppm is not there";
    const QImage stored = QImage(dir.filePath("stored.png")).scaled(105, 148);
    const QImage printedPage = QImage(dir.filePath("printed.png")).scaled(105, 148);
    int differing = 0;
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x)
            if (qAbs(qGray(stored.pixel(x, y)) - qGray(printedPage.pixel(x, y))) > 40)
                ++differing;
    EXPECT_LT(differing, stored.width() * stored.height() / 50);
}

TEST(ReportRunVerbs, ScriptedHandlers) {
    const DefinitionFile def(kPlain);
    const auto trace = [&](const QStringList &options) {
        const CliRun r = tavik(QStringList{"report", "trace", def.path()} + options);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return bandsDone(r).join(' ');
    };
    // Records on demand.
    EXPECT_EQ(trace({"--need-data", "3"}), "T D D F D S F");
    EXPECT_EQ(trace({"--need-data", "0"}), "");
    // Vetoes: every time, or at one call.
    EXPECT_EQ(trace({"--need-data", "3", "--veto", "D"}), "T S F");
    EXPECT_EQ(trace({"--need-data", "3", "--veto", "D@2", "--veto", "T"}), "D D S F");
    // The cancel: the record it names prints, then nothing more; the last page gets no footer.
    EXPECT_EQ(trace({"--need-data", "5", "--cancel-at-record", "3"}), "T D D F D");

    TempFolder out;
    const CliRun limited = tavik(
        {"report", "run", def.path(), "--out", out.filePath("x.qrp"), "--need-data", "20", "--pages-in-preview", "2"});
    EXPECT_EQ(limited.lines(), QStringList{"pages 3"});
}

TEST(ReportRunVerbs, ParametersComeFromTheOptions) {
    const DefinitionFile def(reportXml(bandXml("D", "rbDetail", 10), prop("DataSet", "Q"),
                                       queryXml("Q", "SELECT N FROM T WHERE N > :LEAST",
                                                prop("Params", "<param name=\"LEAST\" type=\"ftInteger\"/>"))),
                             [](const QString &folder) {
                                 makeTable(folder, "T", "N INTEGER", {{1}, {2}, {3}, {4}, {5}, {6}});
                             });
    const auto details = [&](const QStringList &options) {
        const CliRun r = tavik(QStringList{"report", "trace", def.path()} + options);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return int(bandsDone(r).count("D"));
    };
    // No value of that name: the parameter as loaded (none), no records, the detail printed once.
    EXPECT_EQ(details({}), 1);
    EXPECT_EQ(details({"--param", "LEAST=2"}), 4);
    EXPECT_EQ(details({"--param", "least=1+2"}), 3);
    EXPECT_EQ(details({"--param", "LEAST='2'"}), 1); // a text does not go into a number
}

TEST(ReportRunVerbs, FaultsEndWithOneLineAndNoFile) {
    const DefinitionFile plain(kPlain);
    const DefinitionFile dated(reportXml(bandXml("D", "rbDetail", 10), prop("DataSet", "Q"),
                                         queryXml("Q", "SELECT N FROM T WHERE D >= :DAY",
                                                  prop("Params", "<param name=\"DAY\" type=\"ftDate\"/>"))),
                               [](const QString &folder) {
                                   makeTable(folder, "T", "N INTEGER, D TEXT", {{1, "x"}});
                               });
    TempFolder dir;
    const QString out = dir.filePath("out.qrp");
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{"report", "run", dated.path(), "--out", out, "--param", "DAY='no day'"},
         "tavik: 'no day' is not a valid date or time for the parameter DAY of Q"},
        {{"report", "run", plain.path()}, ""},
        {{"report", "run", dir.filePath("none.qrx"), "--out", out},
         "tavik: " + dir.filePath("none.qrx") + ": file not found"},
        {{"report", "trace", plain.path(), "--veto", "Nothing"}, "tavik: --veto: no band named Nothing"},
        {{"report", "trace", plain.path(), "--veto", "D@0"},
         "tavik: --veto takes BAND or BAND@K (K from 1), not 'D@0'"},
        {{"report", "trace", plain.path(), "--need-data", "-1"}, "tavik: --need-data takes a number from 0"},
        {{"report", "trace", plain.path(), "--param", "=1"}, "tavik: --param takes NAME=VALUE, not '=1'"},
        {{"report", "pdf", plain.path(), dir.filePath("x.pdf"), "--first", "3", "--last", "2"},
         "tavik: --last comes before --first"},
        {{"report", "print", plain.path(), "--printer", "No Such Printer"}, ""},
    };
    for (const auto &c : cases)
        ExpectOneLineFailure(tavik(c.args), c.args, c.message);
    EXPECT_FALSE(QFile::exists(out));
}

#endif
