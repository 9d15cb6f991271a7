#include "printer/QRBasePrintDialog.h"

#include "printer/QRPrinter.h"
#include "printer/QRPrinterSettings.h"

namespace {

TQRBasePrintDialog::Factory &factory() {
    static TQRBasePrintDialog::Factory f;
    return f;
}

// Bin codes from here on are the driver's own; below it they are the bins' ordinals.
constexpr qint32 FirstCustomBinCode = 13;

} // namespace

void TQRBasePrintDialog::SetCopies(qint32 v) {
    m_copies = v;
    m_printer.SetCopies(v);
}

bool TQRBasePrintDialog::RangeAcceptable(TQRPrintRange range, qint32 from, qint32 to) const {
    if (range != prPageNums)
        return true;
    return from >= std::max(1, m_minPage) && from <= to && (m_maxPage <= 0 || to <= m_maxPage);
}

void TQRBasePrintDialog::Confirm(const Answer &answer) {
    m_printer.SetPrinter(answer.names, answer.mode);
    m_printToFile = answer.printToFile;
    m_printRange = answer.range;
    m_fromPage = answer.fromPage;
    m_toPage = answer.toPage;
    m_copies = answer.copies == 1 ? m_printer.Copies() : answer.copies;
    const DeviceMode &dm = answer.mode;
    m_dmFields = dm.dmFields;
    m_outputBin = dm.dmDefaultSource;
    m_paperSize = dm.dmPaperSize;
    m_paperwidth = dm.dmPaperWidth;
    m_paperlength = dm.dmPaperLength;
    m_orientation = dm.dmOrientation;
    m_printQuality = dm.dmPrintQuality;
    m_colorOption = dm.dmColor;
    m_duplexCode = dm.dmDuplex;
    m_duplex = dm.dmDuplex != DeviceMode::DMDUP_SIMPLEX;
    m_collate = dm.dmCollate;
}

void TQRBasePrintDialog::RecordChoices(TQRPrinterSettings &second, TQRBin reportBin, qint32 printerIndex) const {
    second.SetCustomBinCode(m_outputBin);
    second.SetExtendedDuplex(m_duplexCode);
    second.SetPrintQuality(m_printQuality);
    second.SetCollate(m_collate);
    second.SetColorOption(m_colorOption);
    second.SetCopies(m_copies);
    second.SetOrientation(m_orientation == DeviceMode::DMORIENT_LANDSCAPE ? poLandscape : poPortrait);
    second.SetFirstPage(m_fromPage);
    second.SetLastPage(m_toPage);
    second.SetOutputBin(reportBin);
    if (const std::optional<TQRBin> bin = BinOfCode(m_outputBin > 255 ? m_outputBin - 256 : m_outputBin))
        second.SetOutputBin(*bin);
    second.SetCustomPaperCode(m_paperSize);
    second.SetPrinterIndex(printerIndex);
    second.SetDuplex(m_duplex);
}

std::unique_ptr<TQRBasePrintDialog> TQRBasePrintDialog::Create(TPrinter &printer) {
    return factory() ? factory()(printer) : nullptr;
}

TQRBasePrintDialog::Factory TQRBasePrintDialog::SetFactory(Factory f) {
    Factory previous = std::move(factory());
    factory() = std::move(f);
    return previous;
}

void ApplyPrintChoices(TQRPrinter &printer, const TQRPrinterSettings &second, qint32 printerIndex) {
    printer.SelectPrinter(printerIndex);
    TPrinterSettings &settings = printer.Settings();
    const qint32 bin = second.CustomBinCode();
    if (bin >= FirstCustomBinCode) {
        settings.SetUseCustomBinCode(true);
        settings.SetCustomBinCode(bin);
    } else {
        settings.SetUseCustomBinCode(false);
        if (bin >= 0)
            settings.TrySetOutputBin(TQRBin(bin));
    }
    settings.SetCollate(second.Collate());
    settings.SetColorOption(second.ColorOption());
    settings.SetPrintQuality(second.PrintQuality());
    settings.TrySetCopies(second.Copies());
    printer.SetFirstPage(second.FirstPage());
    printer.SetLastPage(second.LastPage());
    settings.TrySetDuplex(second.Duplex());
    settings.SetExtendedDuplex(second.ExtendedDuplex());
}

void StorePrintChoices(const TQRPrinterSettings &second, qint32 printerIndex, TQRPrinterSettings &settings) {
    settings.SetPrinterIndex(printerIndex);
    settings.SetCopies(second.Copies());
    settings.SetDuplex(second.Duplex());
    settings.SetExtendedDuplex(second.ExtendedDuplex());
    settings.SetFirstPage(second.FirstPage());
    settings.SetLastPage(second.LastPage());
    const qint32 bin = second.CustomBinCode();
    settings.SetUseCustomBinCode(bin >= FirstCustomBinCode);
    if (bin >= FirstCustomBinCode)
        settings.SetCustomBinCode(bin);
    else
        settings.SetOutputBin(second.OutputBin());
    settings.SetPrintQuality(second.PrintQuality());
    settings.SetCollate(second.Collate());
    settings.SetColorOption(second.ColorOption());
    settings.SetCustomPaperCode(second.CustomPaperCode());
    if (const std::optional<TQRPaperSize> paper = PaperSizeOfCode(second.CustomPaperCode()))
        settings.SetPaperSize(*paper);
    settings.SetOrientation(second.Orientation());
}
