#include "printer/export/QRStoredPagesExport.h"

#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "printer/drawing/Units.h"
#include "report/engine/QRExportFilter.h"

#include <QColor>
#include <QFont>

#include <cstdlib>

int ExportStoredPages(TQRPrinter &printer, TQRExportFilter &filter) {
    filter.Printer = &printer;
    const int pages = printer.State() == psIdle ? 0 : printer.PagesProduced();
    if (!filter.Started) {
        int width = printer.OrientedWidth();
        int length = printer.OrientedLength();
        // The paper is the pages' own size, or the printer's paper when that is the size to a pixel or two.
        if (const std::unique_ptr<TMetafile> first = printer.FetchPage(1)) {
            const int w = rnd(first->Width() / first->DpiX() * 254);
            const int l = rnd(first->Height() / first->DpiY() * 254);
            if (std::abs(w - width) > 10 || std::abs(l - length) > 10) {
                width = w;
                length = l;
            }
        }
        filter.Start(width, length, QFont(QStringLiteral("Arial"), 10));
    }
    for (int p = 1; p <= pages; ++p) {
        const std::unique_ptr<TMetafile> page = printer.FetchPage(p);
        filter.EndPage();
        filter.NewPage();
        if (!page)
            continue;
        const double toNativeX = 254 / page->DpiX();
        const double toNativeY = 254 / page->DpiY();
        for (const EmfPlayer::TextRun &run : page->Texts()) {
            // The player sizes fonts for a 96-dpi screen; on the page they are as high as the recording says.
            QFont font = run.font;
            if (font.pointSizeF() > 0)
                font.setPointSizeF(font.pointSizeF() * 96 / page->DpiY());
            filter.TextOut(run.box.left() * toNativeX, run.box.top() * toNativeY, font, Qt::white, taLeftJustify,
                           run.text);
        }
    }
    filter.EndPage();
    filter.Finish();
    return pages;
}
