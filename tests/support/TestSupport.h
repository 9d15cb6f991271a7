#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

/// A fresh folder for one test, removed afterwards.
class TempFolder {
public:
    TempFolder();
    QString path() const { return m_dir->path(); }
    QString filePath(const QString &name) const { return m_dir->filePath(name); }
    /// Makes a sub-folder (and its parents) and returns its path.
    QString mkdir(const QString &relative) const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

/// The source tree (for fixtures and the demo help).
QString sourceDir();
/// True when the tests run as root, whom file permissions do not stop.
bool runningAsRoot();

/// A number written with '.' as the decimal point and ',' as the group separator, with the system locale's
/// separators in their places.
QString loc(const char *text);

/// What a program a test ran printed, and how it ended.
struct ProcessRun {
    /// The exit code; -1 when the program did not exit by itself (it crashed, was killed, hung past the
    /// wait or never started), so a crash never passes for a status.
    int status = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

/// Runs a program to its end (at most two minutes) and keeps what it printed.
ProcessRun runProcess(const QString &program, const QStringList &args, const QString &workDir = {});

/// What poppler's tools read in a PDF file: its page count (-1 when unreadable), the first page's size
/// ("595.276 x 841.89") and its text.
int pdfPages(const QString &pdf);
QString pdfPageSize(const QString &pdf);
QString pdfText(const QString &pdf);

/// Runs SQL on a SQLite file, made when absent; an error fails the test.
void execSql(const QString &file, const char *sql);
/// The orders the expression tests query: Orders(CUSTOMER TEXT, AMOUNT REAL, QTY INTEGER), three rows.
extern const char *const kOrdersSql;

/// Texts in failure messages as text, not as arrays of characters.
inline void PrintTo(const QString &s, std::ostream *os) {
    *os << '"' << s.toStdString() << '"';
}
