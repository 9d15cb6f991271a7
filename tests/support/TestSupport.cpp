#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLocale>

#include <gtest/gtest.h>
#include <unistd.h>

TempFolder::TempFolder() : m_dir(std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tavik-test-XXXXXX"))) {
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

bool runningAsRoot() { return geteuid() == 0; }

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
