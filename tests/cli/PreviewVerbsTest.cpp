#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// A sample report file of `pages` pages in `dir`.
QString sample(const TempFolder &dir, int pages) {
    const QString qrp = dir.filePath(QStringLiteral("sample.qrp"));
    EXPECT_EQ(
        tavik({QStringLiteral("qrp"), QStringLiteral("make"), qrp, QStringLiteral("--pages"), QString::number(pages)})
            .status,
        0);
    return qrp;
}

QString readText(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

} // namespace

TEST(PreviewVerbs, CommandsRunInTheWindow) {
    TempFolder dir;
    const QString qrp = sample(dir, 12);
    const QString saved = dir.filePath(QStringLiteral("copy"));
    const CliRun r = tavik({QStringLiteral("preview"), qrp, QStringLiteral("--do"),
                            QStringLiteral("status; zoom 100; zoom 1; next;last ;goto 0;goto 7;goto abc;prev;"
                                           "find Page 3 of; find page 3 OF case; save ") +
                                saved + QStringLiteral("; save x.xyz; status")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 24) << r.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("zoom\t"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\tfit")));
    EXPECT_EQ(lines[2], QStringLiteral("page\t1"));
    EXPECT_EQ(lines[3], QStringLiteral("status\t\tPage 1 of 12\tsample.qrp"));
    EXPECT_EQ(lines[4], QStringLiteral("thumbnails\t12"));
    EXPECT_EQ(lines[5], QStringLiteral("results"));
    EXPECT_EQ(lines[6], QStringLiteral("zoom\t100\tother"));
    EXPECT_EQ(lines[7], QStringLiteral("zoom\t100\tother")); // 1 is below the smallest zoom
    EXPECT_EQ(lines.mid(8, 7),
              (QStringList{"page\t2", "page\t12", "page\t1", "page\t7", "page\t1", "page\t1", "results\tPage 3"}));
    EXPECT_EQ(lines[15], QStringLiteral("results\tNo matching text"));
    EXPECT_EQ(lines[16], QStringLiteral("saved\t") + saved + QStringLiteral(".QRP"));
    EXPECT_EQ(lines[17], QStringLiteral("message\tx.xyz was not saved: no export filter writes .XYZ files."));
    EXPECT_EQ(lines[18], QStringLiteral("zoom\t100\tother"));
    EXPECT_EQ(lines[19], QStringLiteral("image\t798\t1127")); // A4 at 100 %
    EXPECT_EQ(lines[21], QStringLiteral("status\t\tPage 1 of 12\tsample.qrp"));
    // The saved report file holds the same pages.
    const CliRun info = tavik({QStringLiteral("qrp"), QStringLiteral("info"), saved + QStringLiteral(".QRP")});
    EXPECT_EQ(info.lines().value(0), QStringLiteral("pages 12"));
}

TEST(PreviewVerbs, WhatThePreviewRefuses) {
    TempFolder dir;
    const QString qrp = sample(dir, 2);
    const CliRun unknown =
        tavik({QStringLiteral("preview"), qrp, QStringLiteral("--do"), QStringLiteral("next; jump")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, QStringLiteral("page\t2\n")); // what ran before it is shown
    EXPECT_EQ(unknown.err, QStringLiteral("tavik: unknown command: jump\n"));
    const CliRun missing = tavik({QStringLiteral("preview"), dir.filePath(QStringLiteral("none.qrp")),
                                  QStringLiteral("--do"), QStringLiteral("status")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("file not found")));
    const CliRun definition = tavik(
        {QStringLiteral("preview"), qrp.left(qrp.size() - 1) + QLatin1Char('x'), QStringLiteral("--do"), QString()});
    EXPECT_EQ(definition.status, 1);
    const CliRun noFile = tavik({QStringLiteral("preview")});
    EXPECT_EQ(noFile.status, 1);
    EXPECT_TRUE(noFile.err.startsWith(QStringLiteral("tavik: usage: tavik preview")));
    const CliRun zoom = tavik({QStringLiteral("preview"), qrp, QStringLiteral("--do"), QStringLiteral("zoom big")});
    EXPECT_EQ(zoom.status, 1);

    // Without a screen and without --do there is nothing to show the window on.
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TAVIK_CLI), {QStringLiteral("preview"), qrp});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("no display")));
}

TEST(PreviewVerbs, ExportThroughEachFilter) {
    TempFolder dir;
    const QString qrp = sample(dir, 3);
    for (const QString &name : {QStringLiteral("out.txt"), QStringLiteral("out.csv"), QStringLiteral("out.html"),
                                QStringLiteral("out.pdf"), QStringLiteral("out.qrp")}) {
        const CliRun r = tavik({QStringLiteral("qrp"), QStringLiteral("export"), qrp, dir.filePath(name)});
        ASSERT_EQ(r.status, 0) << name.toStdString() << r.err.toStdString();
        EXPECT_EQ(r.lines(), QStringList{"pages 3"});
        EXPECT_GT(QFileInfo(dir.filePath(name)).size(), 100) << name.toStdString();
    }
    EXPECT_TRUE(readText(dir.filePath(QStringLiteral("out.txt"))).contains(QStringLiteral("Page 2 of 3")));
    EXPECT_TRUE(readText(dir.filePath(QStringLiteral("out.csv"))).contains(QStringLiteral("Felhasználói kézikönyv")));
    EXPECT_TRUE(readText(dir.filePath(QStringLiteral("out.html"))).contains(QStringLiteral("<title>sample</title>")));
    const CliRun unknown =
        tavik({QStringLiteral("qrp"), QStringLiteral("export"), qrp, dir.filePath(QStringLiteral("out.doc"))});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, QStringLiteral("tavik: %1: no export filter writes .doc files (pdf, txt, csv, htm)\n")
                               .arg(dir.filePath(QStringLiteral("out.doc"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.doc"))));
}

TEST(PreviewVerbs, TheToolLinksNoWidgets) {
    if (QStandardPaths::findExecutable(QStringLiteral("ldd")).isEmpty())
        GTEST_SKIP() << "ldd is not installed";
    const auto libraries = [](const QString &program) {
        QProcess p;
        p.start(QStringLiteral("ldd"), {program});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString tool = libraries(QStringLiteral(TAVIK_CLI));
    ASSERT_TRUE(tool.contains(QStringLiteral("libQt6Gui"))) << tool.toStdString();
    EXPECT_FALSE(tool.contains(QStringLiteral("libQt6Widgets"))) << tool.toStdString();
    const QString window =
        libraries(QFileInfo(QStringLiteral(TAVIK_CLI)).dir().filePath(QStringLiteral("tavik-preview")));
    EXPECT_TRUE(window.contains(QStringLiteral("libQt6Widgets")));
}

TEST(PreviewVerbs, ADefinitionIsGeneratedIntoTheWindow) {
    const QString def = sourceDir() + QStringLiteral("/demo/topics.qrx");
    const CliRun r = tavik({QStringLiteral("preview"), def, QStringLiteral("--do"), QStringLiteral("last; status")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(QStringLiteral("page\t2")));
    // The window's title is the report's.
    EXPECT_TRUE(lines.contains(QStringLiteral("status\t\tPage 2 of 2\tTémakörök"))) << r.out.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("thumbnails\t2")));
    const CliRun bad = tavik(
        {QStringLiteral("preview"), QStringLiteral("no-such.qrx"), QStringLiteral("--do"), QStringLiteral("status")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, QStringLiteral("tavik: no-such.qrx: file not found\n"));
}
