#include "tests/support/WriteProtection.h"

#include "tests/support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>

WriteProtection::WriteProtection(const QString &folder) : m_folder(folder) {
    m_folders << folder;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        (it.fileInfo().isDir() ? m_folders : m_files) << path;
    }
    for (const QString &f : std::as_const(m_files))
        chmod(QFile::encodeName(f).constData(), 0444);
    for (const QString &d : std::as_const(m_folders))
        chmod(QFile::encodeName(d).constData(), 0555);
    m_immutable = runningAsRoot();
    if (m_immutable &&
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-R"), QStringLiteral("+i"), folder}) != 0) {
        undo();
        return;
    }
    // Protected only when neither a new file nor a write to an existing one gets through.
    QFile probe(QDir(folder).filePath(QStringLiteral("probe")));
    const bool madeFile = probe.open(QIODevice::WriteOnly);
    if (madeFile) {
        probe.close();
        probe.remove();
    }
    bool wroteFile = false;
    for (const QString &f : std::as_const(m_files)) {
        QFile existing(f);
        wroteFile = wroteFile || existing.open(QIODevice::ReadWrite);
    }
    m_active = !madeFile && !wroteFile;
    if (!m_active)
        undo();
}

WriteProtection::~WriteProtection() {
    undo();
}

void WriteProtection::undo() {
    if (m_immutable)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-R"), QStringLiteral("-i"), m_folder});
    m_immutable = false;
    for (const QString &d : std::as_const(m_folders))
        chmod(QFile::encodeName(d).constData(), 0755);
    for (const QString &f : std::as_const(m_files))
        chmod(QFile::encodeName(f).constData(), 0644);
    m_active = false;
}

QStringList namesBelow(const QString &folder) {
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names;
}
