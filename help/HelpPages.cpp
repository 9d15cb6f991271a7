#include "help/HelpPages.h"

#include "store/Database.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace helppages {

QString pageFolder(const QString &startDir) {
    const QString help = resolvePathIgnoringCase(startDir, QStringLiteral("Help"));
    return resolvePathIgnoringCase(help, QStringLiteral("HTML"));
}

QString ReverseText(const QString &s) {
    QString r = s;
    std::reverse(r.begin(), r.end());
    return r;
}

QString pageName(const QString &path) {
    // Reversed, the name is what comes before the first separator.
    const QString reversed = ReverseText(path);
    qsizetype cut = reversed.size();
    for (const QChar sep : {QLatin1Char('/'), QLatin1Char('\\')}) {
        const qsizetype at = reversed.indexOf(sep);
        if (at >= 0)
            cut = std::min(cut, at);
    }
    const QString name = ReverseText(reversed.left(cut));
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    return name;
}

QString blankPage(const QString &startDir) {
    const QString blank = resolvePathIgnoringCase(pageFolder(startDir), QStringLiteral("Blank.htm"));
    return QFileInfo(blank).isFile() ? blank : QString();
}

QString pageToShow(const QString &startDir, const QString &stored, bool isNull) {
    if (!isNull) {
        const QString name = pageName(stored);
        if (!name.isEmpty()) {
            const QString page = resolvePathIgnoringCase(pageFolder(startDir), name);
            if (QFileInfo(page).isFile())
                return page;
        }
    }
    return blankPage(startDir);
}

} // namespace helppages
