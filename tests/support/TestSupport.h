#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

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
