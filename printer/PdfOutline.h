#pragma once

#include <QList>
#include <QString>

namespace pdf {

/// One entry of a PDF's outline (the bookmarks a reader lists beside the pages): its title, the page it
/// leads to, and the entries below it.
struct OutlineItem {
    QString title;
    /// The page number, from 1.
    int page = 1;
    /// Shows its entries when the reader opens the file.
    bool open = false;
    QList<OutlineItem> children;
};

/// Gives a finished PDF file an outline, replacing any it had (none removes it), and asks readers to show it
/// on opening. Titles may hold any letters. The file is written anew beside itself and then put in place, so
/// on failure it stays as it was: false, with the reason in `error` (a file that cannot be read or written,
/// an entry leading to a page the file does not have).
bool AddOutline(const QString &pdfPath, const QList<OutlineItem> &items, QString *error = nullptr);

} // namespace pdf
