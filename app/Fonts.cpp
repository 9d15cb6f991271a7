#include "app/Fonts.h"

#include <QFont>
#include <QStringList>

void substituteWindowFonts() {
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
}
