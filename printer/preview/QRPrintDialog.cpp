#include "printer/preview/QRPrintDialog.h"

#include "printer/drawing/Units.h"

#include <QApplication>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

TQRPrintDialog::Runner &runner() {
    static TQRPrintDialog::Runner r;
    return r;
}

QPageSize pageSizeOf(const DeviceMode &mode) {
    if (mode.has(DeviceMode::DM_PAPERSIZE) && mode.dmPaperSize > 0 && mode.dmPaperSize < DeviceMode::DMPAPER_USER) {
        const QPageSize::PageSizeId id = QPageSize::id(mode.dmPaperSize);
        if (id != QPageSize::Custom)
            return QPageSize(id);
    }
    if (mode.dmPaperWidth > 0 && mode.dmPaperLength > 0)
        return QPageSize(QSizeF(mode.dmPaperWidth / 10.0, mode.dmPaperLength / 10.0), QPageSize::Millimeter, QString(),
                         QPageSize::ExactMatch);
    return QPageSize(QPageSize::A4);
}

QPrinter::DuplexMode duplexOf(qint16 code) {
    switch (code) {
    case DeviceMode::DMDUP_VERTICAL:
        return QPrinter::DuplexLongSide;
    case DeviceMode::DMDUP_HORIZONTAL:
        return QPrinter::DuplexShortSide;
    default:
        return QPrinter::DuplexNone;
    }
}

qint16 duplexCode(QPrinter::DuplexMode mode) {
    switch (mode) {
    case QPrinter::DuplexLongSide:
    case QPrinter::DuplexAuto:
        return DeviceMode::DMDUP_VERTICAL;
    case QPrinter::DuplexShortSide:
        return DeviceMode::DMDUP_HORIZONTAL;
    default:
        return DeviceMode::DMDUP_SIMPLEX;
    }
}

QString refusal(qint32 minPage, qint32 maxPage) {
    const int first = std::max(1, minPage);
    if (maxPage > 0)
        return QStringLiteral("Choose pages from %1 to %2, the first page not after the last.").arg(first).arg(maxPage);
    return QStringLiteral("Choose pages from %1 on, the first page not after the last.").arg(first);
}

} // namespace

TQRPrintDialog::TQRPrintDialog(TPrinter &printer, QWidget *parent) : TQRBasePrintDialog(printer), m_parent(parent) {}

TQRPrintDialog::Runner TQRPrintDialog::SetRunner(Runner r) {
    Runner previous = std::move(runner());
    runner() = std::move(r);
    return previous;
}

bool TQRPrintDialog::Execute() {
    PrinterNames names;
    DeviceMode mode;
    if (!Printer().GetPrinter(names, mode)) {
        const QString text = QStringLiteral("There is no default printer currently selected");
        if (OnRefused)
            OnRefused(text);
        else
            QMessageBox::warning(m_parent, QApplication::applicationName(), text);
        return false;
    }

    // The device mode as the Qt dialog's choices.
    QPrinter qprinter(QPrinter::HighResolution);
    if (QPrinterInfo::availablePrinterNames().contains(names.device))
        qprinter.setPrinterName(names.device);
    qprinter.setPageSize(pageSizeOf(mode));
    qprinter.setPageOrientation(mode.dmOrientation == DeviceMode::DMORIENT_LANDSCAPE ? QPageLayout::Landscape
                                                                                     : QPageLayout::Portrait);
    qprinter.setCopyCount(std::max<int>(1, Copies() > 0 ? Copies() : mode.dmCopies));
    qprinter.setCollateCopies(Collate() != 0 || mode.dmCollate != 0);
    qprinter.setDuplex(duplexOf(mode.dmDuplex));
    qprinter.setColorMode(mode.dmColor == DeviceMode::DMCOLOR_COLOR ? QPrinter::Color : QPrinter::GrayScale);
    if (PrintToFile())
        qprinter.setOutputFileName(names.port);

    QPrintDialog dialog(&qprinter, m_parent ? m_parent : QApplication::activeWindow());
    QAbstractPrintDialog::PrintDialogOptions options =
        QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize;
    if ((Options() & poPrintToFile) && !(Options() & poDisablePrintToFile))
        options |= QAbstractPrintDialog::PrintToFile;
    if (Options() & poPageNums)
        options |= QAbstractPrintDialog::PrintPageRange;
    if (Options() & poSelection)
        options |= QAbstractPrintDialog::PrintSelection;
    dialog.setOptions(options);
    if (MaxPage() > 0)
        dialog.setMinMax(std::max(1, MinPage()), MaxPage());
    if (FromPage() > 0 && ToPage() >= FromPage())
        qprinter.setFromTo(FromPage(), ToPage());
    dialog.setPrintRange(PrintRange() == prPageNums    ? QAbstractPrintDialog::PageRange
                         : PrintRange() == prSelection ? QAbstractPrintDialog::Selection
                                                       : QAbstractPrintDialog::AllPages);

    Answer answer;
    if (OnShow)
        OnShow();
    for (;;) {
        const int result = runner() ? runner()(dialog) : dialog.exec();
        if (result != QDialog::Accepted) {
            if (OnClose)
                OnClose();
            return false;
        }
        switch (dialog.printRange()) {
        case QAbstractPrintDialog::PageRange:
            answer.range = prPageNums;
            break;
        case QAbstractPrintDialog::Selection:
            answer.range = prSelection;
            break;
        default:
            answer.range = prAllPages;
        }
        answer.fromPage = answer.range == prPageNums ? qprinter.fromPage() : 0;
        answer.toPage = answer.range == prPageNums ? qprinter.toPage() : 0;
        if (RangeAcceptable(answer.range, answer.fromPage, answer.toPage))
            break;
        const QString text = refusal(MinPage(), MaxPage());
        if (OnRefused)
            OnRefused(text);
        else
            QMessageBox::warning(&dialog, QStringLiteral("Print"), text);
    }
    if (OnClose)
        OnClose();

    // The confirmed choices back as a device mode.
    answer.names = names;
    const QString chosen = qprinter.printerName();
    if (!chosen.isEmpty() && Printer().Printers().contains(chosen))
        answer.names.device = chosen;
    answer.printToFile =
        qprinter.outputFormat() == QPrinter::PdfFormat && !qprinter.outputFileName().isEmpty() && chosen.isEmpty();
    DeviceMode &dm = answer.mode;
    dm = mode;
    const QPageLayout layout = qprinter.pageLayout();
    const QPageSize size = layout.pageSize();
    const int code = size.windowsId();
    dm.dmFields |= DeviceMode::DM_ORIENTATION | DeviceMode::DM_PAPERSIZE | DeviceMode::DM_PAPERWIDTH |
                   DeviceMode::DM_PAPERLENGTH | DeviceMode::DM_COPIES | DeviceMode::DM_COLLATE;
    dm.dmPaperSize = qint16(code > 0 && code < DeviceMode::DMPAPER_USER ? code : DeviceMode::DMPAPER_USER);
    const QSizeF mm = size.size(QPageSize::Millimeter);
    dm.dmPaperWidth = DeviceMode::clamp16(rnd(mm.width() * 10));
    dm.dmPaperLength = DeviceMode::clamp16(rnd(mm.height() * 10));
    dm.dmOrientation =
        layout.orientation() == QPageLayout::Landscape ? DeviceMode::DMORIENT_LANDSCAPE : DeviceMode::DMORIENT_PORTRAIT;
    dm.dmCopies = DeviceMode::clamp16(qprinter.copyCount());
    dm.dmCollate = qprinter.collateCopies() ? 1 : 0;
    if (mode.has(DeviceMode::DM_DUPLEX))
        dm.dmDuplex = duplexCode(qprinter.duplex());
    dm.dmColor = qprinter.colorMode() == QPrinter::Color ? DeviceMode::DMCOLOR_COLOR : DeviceMode::DMCOLOR_MONOCHROME;
    answer.copies = qprinter.copyCount();
    Confirm(answer);
    return true;
}
