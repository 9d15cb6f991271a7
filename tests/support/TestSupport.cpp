#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <unistd.h>

TempFolder::TempFolder()
    : m_dir(std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tavik-test-XXXXXX"))) {
    if (!m_dir->isValid())
        ADD_FAILURE() << "cannot make a temporary folder";
}

QString TempFolder::mkdir(const QString &relative) const {
    QDir(m_dir->path()).mkpath(relative);
    return m_dir->filePath(relative);
}

QString sourceDir() {
#ifdef TAVIK_SOURCE_DIR
    return QStringLiteral(TAVIK_SOURCE_DIR);
#else
    return QDir::currentPath();
#endif
}

bool runningAsRoot() {
    return geteuid() == 0;
}


QString loc(const char *text) {
    const QLocale locale = QLocale::system();
    QString s;
    for (const char *p = text; *p; ++p) {
        if (*p == '.')
            s += locale.decimalPoint();
        else if (*p == ',')
            s += locale.groupSeparator();
        else
            s += QLatin1Char(*p);
    }
    return s;
}

ProcessRun runProcess(const QString &program, const QStringList &args, const QString &workDir) {
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(program, args);
    ProcessRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    } else if (p.exitStatus() == QProcess::NormalExit) {
        r.status = p.exitCode();
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

namespace {

QString pdfInfoField(const QString &pdf, const char *pattern) {
    const QString info = runProcess(QStringLiteral("pdfinfo"), {pdf}).out;
    return QRegularExpression(QString::fromLatin1(pattern)).match(info).captured(1);
}

} // namespace

int pdfPages(const QString &pdf) {
    bool ok = false;
    const int pages = pdfInfoField(pdf, "Pages:\\s+(\\d+)").toInt(&ok);
    return ok ? pages : -1;
}

QString pdfPageSize(const QString &pdf) {
    return pdfInfoField(pdf, "Page size:\\s+([\\d.]+ x [\\d.]+)");
}

QString pdfText(const QString &pdf) {
    return runProcess(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).out;
}

void execSql(const QString &file, const char *sql) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
    char *error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

const char *const kOrdersSql = "CREATE TABLE Orders(CUSTOMER TEXT, AMOUNT REAL, QTY INTEGER);"
                               "INSERT INTO Orders VALUES('Kiss', 150.5, 2), ('Nagy', 80, 1), ('Kiss', 200, 3);";
