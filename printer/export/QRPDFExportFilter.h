#pragma once

#include "printer/export/QRTextExportFilters.h"

class TQRPrinter;

/// A PDF document through the printer's PDF device. When the filter's Printer holds finished pages (the
/// pages a preview shows, or a loaded report file), those pages are drawn as they were recorded, one PDF
/// page each; otherwise the text the run wrote is placed on pages of the run's paper.
class TQRPDFExportFilter : public TQRTextExportFilter {
public:
    using TQRTextExportFilter::TQRTextExportFilter;
    void Finish() override;

protected:
    QByteArray Render() const override { return {}; } // drawn, not rendered as bytes

private:
    void writeText() const;
};

/// Draws the finished pages of `printer` into a PDF file, on paper of the first page's size; EQRError when
/// there are no pages or the file cannot be written (nothing is left behind then).
void SavePagesAsPdf(TQRPrinter &printer, const QString &fileName, const QString &title);
