#pragma once

#include "printer/QRBasePrintDialog.h"

#include <functional>

class QPrintDialog;
class QWidget;

/// The print dialog on Qt's print dialog: the printer's device mode is shown as the dialog's choices
/// (paper, orientation, copies, collation, duplex, colour, page range) and what the user confirms is handed
/// back to the printer as a device mode. A page range whose first page comes after its last, or that lies
/// outside MinPage ... MaxPage, is refused with a message and the dialog stays open.
class TQRPrintDialog : public TQRBasePrintDialog {
public:
    /// How the Qt dialog is run (by default: modally); tests and screenshots answer it themselves.
    using Runner = std::function<int(QPrintDialog &dialog)>;

    explicit TQRPrintDialog(TPrinter &printer, QWidget *parent = nullptr);
    bool Execute() override;

    bool Ctl3D = true;
    std::function<void()> OnShow;
    std::function<void()> OnClose;
    /// Shows why a choice is refused (by default a message box over the dialog).
    std::function<void(const QString &text)> OnRefused;

    /// Installs the runner for every dialog and returns the one installed before.
    static Runner SetRunner(Runner runner);

private:
    QWidget *m_parent;
};
