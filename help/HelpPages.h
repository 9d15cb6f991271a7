#pragma once

#include <QString>

/// Where the pages of a help folder are, and which file shows for a topic.
///
/// A page name read from the table is only ever a name in the page folder: it is reduced to its last path
/// component, and a name that is empty, "." or "..", or a page that does not exist, shows the blank page.
namespace helppages {

/// `<startDir>/Help/HTML`, found whatever the case of its folder names.
QString pageFolder(const QString &startDir);
/// The last component of a path (after the last "/" or "\"); "" for "." and "..".
QString pageName(const QString &path);
/// The bytes of the text in reverse order.
QString ReverseText(const QString &s);
/// The file to show for a topic's page name: the page, else Blank.htm, else "" (show a built-in empty page).
QString pageToShow(const QString &startDir, const QString &name, bool isNull);
/// The blank page's path, or "" when there is none.
QString blankPage(const QString &startDir);

} // namespace helppages
