#pragma once

#include <QString>

/// What a topic's texts may hold: one line each of whole characters, since the outline and the contents tree
/// list them one per line, within the width of their field.
namespace topictext {

/// True when the text holds a control character (a TAB, a line break …) or half of a surrogate pair.
bool hasControlCharacters(const QString &text);
/// Why the text cannot be stored in the topic field as it is ("" when it can): it holds a control character, or
/// it is longer than the field (named with its width).
QString problemWith(const QString &fieldName, const QString &text);

} // namespace topictext
