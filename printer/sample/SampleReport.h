#pragma once

#include <QString>

class QPainter;
class TQRPageList;

/// A small report drawn without the report engine: a titled A4 page of text, lines, shapes and a picture,
/// with its page number in the text. Shows and checks the page store end to end.
namespace samplereport {

/// A4 in screen pixels at 96 per inch.
constexpr int PageWidth = 794;
constexpr int PageHeight = 1123;

void paintPage(QPainter &painter, int page, int pages);
/// Records `pages` pages into `list` (compressed when asked) and writes the final header.
void generate(TQRPageList &list, int pages, bool compress);
/// Writes a report file of `pages` pages.
void write(const QString &fileName, int pages, bool compress);

} // namespace samplereport
