#include "help/TopicText.h"

#include "store/HelpData.h"

namespace topictext {

bool hasControlCharacters(const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.category() == QChar::Other_Control)
            return true;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return true;
    }
    return false;
}

QString problemWith(const QString &fieldName, const QString &text) {
    if (hasControlCharacters(text))
        return QStringLiteral("%1 cannot hold a TAB, a line break or another control character").arg(fieldName);
    for (const TFieldDef &def : HelpData::editorFields())
        if (def.Name == fieldName && def.Size > 0 && text.size() > def.Size)
            return QStringLiteral("%1 holds at most %2 characters, this text has %3")
                .arg(fieldName)
                .arg(def.Size)
                .arg(text.size());
    return {};
}

} // namespace topictext
