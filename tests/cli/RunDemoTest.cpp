// `make run` starts the editor on a copy of the demo help under the build folder: whatever the editor does,
// the tracked demo stays byte for byte as it is, and the copy keeps the work of the runs before.
#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

QByteArray digestOf(const QString &folder) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    for (const QString &name : std::as_const(files)) {
        QFile f(name);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        hash.addData(name.toUtf8());
        hash.addData(f.readAll());
    }
    return hash.result();
}

} // namespace

TEST(RunDemo, TheEditorWorksOnACopyUnderTheBuildFolder) {
    TempFolder build;
    // Stands in for the editor: adds a topic to the folder it is started on.
    const QString editor = build.filePath(QStringLiteral("editor"));
    QFile script(editor);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nexec '%1' insert \"$1\" --top --title \"A futtatás témája\"\n")
                     .arg(QStringLiteral(TAVIK_CLI))
                     .toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString demo = sourceDir() + QStringLiteral("/demo");
    const QByteArray tracked = digestOf(demo);
    const int topics = tavik({QStringLiteral("outline"), demo}).lines().size();
    ASSERT_GT(topics, 0);

    for (int run = 1; run <= 2; ++run) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TAVIK_EDITOR"), editor);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("bash"), {sourceDir() + QStringLiteral("/scripts/run-demo"), build.path()});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        EXPECT_EQ(tavik({QStringLiteral("outline"), build.filePath(QStringLiteral("demo"))}).lines().size(),
                  topics + run);
    }
    EXPECT_EQ(digestOf(demo), tracked);
    EXPECT_EQ(tavik({QStringLiteral("outline"), demo}).lines().size(), topics);
}
