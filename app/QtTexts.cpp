#include "app/QtTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QTranslator *installHungarianQtTexts() {
    auto *texts = new QTranslator(QCoreApplication::instance());
    if (!texts->load(QLocale(QLocale::Hungarian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete texts;
        return nullptr;
    }
    QCoreApplication::installTranslator(texts);
    return texts;
}
