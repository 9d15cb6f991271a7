#include "app/Application.h"

#include "app/QtTexts.h"

#include <QApplication>
#include <QFont>

void prepareApplication() {
    QApplication::setApplicationName(QStringLiteral("TavikEditor"));
    installHungarianQtTexts();
    // The windows are drawn in "MS Sans Serif"; where it is not installed, the closest sans face stands in.
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
}
