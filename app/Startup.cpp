#include "app/Startup.h"

#include <QApplication>
#include <QFont>
#include <QStringList>

void setUpApplication() {
    QApplication::setApplicationName(QStringLiteral("TavikEditor"));
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
}
