#pragma once

class TQRExportFilter;
class TQRPrinter;

/// Feeds the finished pages of `printer` (a loaded report file, or a run's pages) to an export filter in
/// the order a report run does: Start with the first page's paper (unless the filter has started), then for
/// every page EndPage, NewPage and one left-aligned TextOut per text record at its top-left corner in
/// 0.1 mm, and at the end EndPage and Finish. The filter's Printer is `printer`, so a filter that can use the
/// recorded pages themselves (PDF) does. Returns the number of pages fed.
int ExportStoredPages(TQRPrinter &printer, TQRExportFilter &filter);
