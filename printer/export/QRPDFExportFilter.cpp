#include "printer/export/QRPDFExportFilter.h"

#include "printer/QRError.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "printer/drawing/QtPrinter.h"
#include "printer/drawing/Units.h"

#include <QFile>

namespace {

// A PDF printer on `fileName` whose paper is `width` x `length` (0.1 mm, as the page stands).
std::unique_ptr<QtPrinter> pdfDevice(const QString &fileName, double width, double length, const QString &title) {
    std::unique_ptr<QtPrinter> device = QtPrinter::PdfFile(fileName);
    PrinterNames names;
    DeviceMode mode;
    device->GetPrinter(names, mode);
    const bool landscape = width > length;
    mode.dmFields |=
        DeviceMode::DM_PAPERSIZE | DeviceMode::DM_PAPERWIDTH | DeviceMode::DM_PAPERLENGTH | DeviceMode::DM_ORIENTATION;
    mode.dmPaperSize = DeviceMode::DMPAPER_USER;
    mode.dmPaperWidth = DeviceMode::clamp16(rnd(landscape ? length : width));
    mode.dmPaperLength = DeviceMode::clamp16(rnd(landscape ? width : length));
    mode.dmOrientation = landscape ? DeviceMode::DMORIENT_LANDSCAPE : DeviceMode::DMORIENT_PORTRAIT;
    device->SetPrinter(names, mode);
    device->SetTitle(title);
    return device;
}

QRectF wholePaper(TPrinter &device) {
    // The PDF printer has no margins: its printable area is the paper.
    return QRectF(0, 0, device.DeviceCaps(DeviceCap::PHYSICALWIDTH), device.DeviceCaps(DeviceCap::PHYSICALHEIGHT));
}

// Runs `draw` as one job on `device`; a failed job leaves no file.
template <typename Draw> void printJob(QtPrinter &device, const QString &fileName, Draw draw) {
    try {
        device.BeginDoc();
        draw();
        device.EndDoc();
    } catch (const EPrinterError &e) {
        device.Abort();
        QFile::remove(fileName);
        throw EQRError(e.message());
    } catch (...) {
        device.Abort();
        QFile::remove(fileName);
        throw;
    }
}

} // namespace

void SavePagesAsPdf(TQRPrinter &printer, const QString &fileName, const QString &title) {
    const int pages = printer.PagesProduced();
    const std::unique_ptr<TMetafile> first = printer.FetchPage(1);
    if (!first)
        throw EQRError(QStringLiteral("The report has no pages"));
    const double width = first->Width() / first->DpiX() * 254;
    const double length = first->Height() / first->DpiY() * 254;
    const std::unique_ptr<QtPrinter> device = pdfDevice(fileName, width, length, title);
    const QRectF target = wholePaper(*device);
    printJob(*device, fileName, [&] {
        for (int p = 1; p <= pages; ++p) {
            if (p > 1)
                device->NewPage();
            const std::unique_ptr<TMetafile> fetched = p == 1 ? nullptr : printer.FetchPage(p);
            if (const TMetafile *page = p == 1 ? first.get() : fetched.get())
                page->StretchDraw(device->Canvas(), target);
        }
    });
}

void TQRPDFExportFilter::Finish() {
    if (Printer && Printer->State() == psDone && Printer->PagesProduced() > 0)
        SavePagesAsPdf(*Printer, FileName(), Title());
    else
        writeText();
}

void TQRPDFExportFilter::writeText() const {
    const double width = PaperWidth() > 0 ? PaperWidth() : 2100;
    const double length = PaperLength() > 0 ? PaperLength() : 2970;
    const std::unique_ptr<QtPrinter> device = pdfDevice(FileName(), width, length, Title());
    const double scale = device->DeviceCaps(DeviceCap::LOGPIXELSX) / 254.0;
    printJob(*device, FileName(), [&] {
        for (qsizetype p = 0; p < std::max<qsizetype>(1, Pages().size()); ++p) {
            if (p > 0)
                device->NewPage();
            if (p >= Pages().size())
                break;
            QPainter &canvas = device->Canvas();
            for (const TQRTextItem &item : Pages()[p].items) {
                canvas.setFont(item.font);
                canvas.drawText(QRectF(item.x * scale, item.y * scale, item.width * scale * 2, item.height * scale * 2),
                                Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, item.text);
            }
        }
    });
}
