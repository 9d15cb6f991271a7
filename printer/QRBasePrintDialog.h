#pragma once

#include "printer/QRPaper.h"
#include "printer/drawing/DeviceMode.h"
#include "printer/drawing/Printer.h"

#include <QtGlobal>

#include <functional>
#include <memory>

class TQRPrinter;
class TQRPrinterSettings;

/// Options of the print dialog, as a set of bits.
enum TQRPrintDialogOption : quint32 {
    poPrintToFile = 0x1,
    poPageNums = 0x2,
    poSelection = 0x4,
    poWarning = 0x8,
    poHelp = 0x10,
    poDisablePrintToFile = 0x20,
};
using TQRPrintDialogOptions = quint32;

enum TQRPrintRange { prAllPages = 0, prSelection = 1, prPageNums = 2 };

/// The print dialog as the report engine sees it: the page range, copies and the device-mode choices a user
/// confirms (bin, paper, orientation, quality, colour, duplex, collation) on a platform printer. Execute is
/// the window's; this class holds the choices and takes a confirmed answer, so the engine can run the
/// dialog without knowing the widgets. The preview library registers the real dialog.
class TQRBasePrintDialog {
public:
    using Factory = std::function<std::unique_ptr<TQRBasePrintDialog>(TPrinter &printer)>;

    explicit TQRBasePrintDialog(TPrinter &printer) : m_printer(printer) {}
    virtual ~TQRBasePrintDialog() = default;
    TQRBasePrintDialog(const TQRBasePrintDialog &) = delete;
    TQRBasePrintDialog &operator=(const TQRBasePrintDialog &) = delete;

    /// Shows the dialog; true when the user confirmed (the choices are then taken through Confirm).
    virtual bool Execute() = 0;

    TPrinter &Printer() const { return m_printer; }

    qint32 FromPage() const { return m_fromPage; }
    void SetFromPage(qint32 v) { m_fromPage = v; }
    qint32 ToPage() const { return m_toPage; }
    void SetToPage(qint32 v) { m_toPage = v; }
    qint32 MinPage() const { return m_minPage; }
    void SetMinPage(qint32 v) { m_minPage = v; }
    qint32 MaxPage() const { return m_maxPage; }
    void SetMaxPage(qint32 v) { m_maxPage = v; }
    qint32 Collate() const { return m_collate; }
    void SetCollate(qint32 v) { m_collate = v; }
    TQRPrintDialogOptions Options() const { return m_options; }
    void SetOptions(TQRPrintDialogOptions v) { m_options = v; }
    bool PrintToFile() const { return m_printToFile; }
    void SetPrintToFile(bool v) { m_printToFile = v; }
    TQRPrintRange PrintRange() const { return m_printRange; }
    void SetPrintRange(TQRPrintRange v) { m_printRange = v; }
    qint32 Copies() const { return m_copies; }
    /// Also sets the printer's copy count.
    void SetCopies(qint32 v);
    qint32 PrintQuality() const { return m_printQuality; }
    qint32 ColorOption() const { return m_colorOption; }
    qint32 OutputBin() const { return m_outputBin; }
    qint32 PaperSize() const { return m_paperSize; }
    bool Duplex() const { return m_duplex; }
    double Paperwidth() const { return m_paperwidth; }
    double Paperlength() const { return m_paperlength; }
    qint16 Orientation() const { return m_orientation; }
    qint32 DuplexCode() const { return m_duplexCode; }
    quint32 DmFields() const { return m_dmFields; }
    qint32 HelpContext() const { return m_helpContext; }
    void SetHelpContext(qint32 v) { m_helpContext = v; }

    /// What a confirmed dialog answers.
    struct Answer {
        PrinterNames names;
        DeviceMode mode;
        TQRPrintRange range = prAllPages;
        qint32 fromPage = 0;
        qint32 toPage = 0;
        qint32 copies = 1;
        bool printToFile = false;
    };
    /// A page range the dialog may confirm: for page numbers, MinPage (at least 1) <= from <= to <= MaxPage
    /// (unbounded above while MaxPage is 0). Any range passes for all pages or the selection.
    bool RangeAcceptable(TQRPrintRange range, qint32 from, qint32 to) const;
    /// Hands the answer's device mode and names to the printer and takes its choices; a count of 1 keeps the
    /// printer's own copy count.
    void Confirm(const Answer &answer);

    /// Records the confirmed choices as a report keeps them in its second settings: bin, duplex code,
    /// quality, collation, colour, copies, orientation, range, the bin of that code, paper code, printer
    /// index and duplex. `reportBin` is the bin of the report's own settings, kept when no bin has the code.
    void RecordChoices(TQRPrinterSettings &second, TQRBin reportBin, qint32 printerIndex) const;

    /// A new dialog on `printer`; none when no dialog has been registered.
    static std::unique_ptr<TQRBasePrintDialog> Create(TPrinter &printer);
    /// Installs how dialogs are made (none: no dialog) and returns the factory installed before.
    static Factory SetFactory(Factory factory);

private:
    TPrinter &m_printer;
    qint32 m_fromPage = 0;
    qint32 m_toPage = 0;
    qint32 m_collate = 0;
    TQRPrintDialogOptions m_options = 0;
    bool m_printToFile = false;
    TQRPrintRange m_printRange = prAllPages;
    qint32 m_minPage = 0;
    qint32 m_maxPage = 0;
    qint32 m_copies = 0;
    qint32 m_printQuality = 0;
    qint32 m_colorOption = 0;
    qint32 m_outputBin = 0;
    qint32 m_paperSize = 0;
    bool m_duplex = false;
    double m_paperwidth = 0;
    double m_paperlength = 0;
    qint16 m_orientation = 1;
    qint32 m_duplexCode = 0;
    quint32 m_dmFields = 0;
    qint32 m_helpContext = 0;
};

/// After a confirmed printer setup: the choices recorded in `second` go to the report printer (printer
/// first, then bin, collation, colour, quality, copies, page range, duplex and its code). A bin code of 13
/// or more is a custom bin code.
void ApplyPrintChoices(TQRPrinter &printer, const TQRPrinterSettings &second, qint32 printerIndex);
/// The same choices written into a report's own printer settings (printer index, copies, duplex, range, bin,
/// quality, collation, colour, paper code and orientation), so the next run uses them.
void StorePrintChoices(const TQRPrinterSettings &second, qint32 printerIndex, TQRPrinterSettings &settings);
