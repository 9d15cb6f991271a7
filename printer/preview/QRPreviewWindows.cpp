#include "printer/preview/QRPreviewWindows.h"

#include "printer/QRPreviewInterface.h"
#include "printer/preview/QRPrev.h"
#include "printer/preview/QRPrintDialog.h"
#include "printer/preview/QRProgressForm.h"

void RegisterPreviewWindows() {
    TQRProgressWindow::SetFactory([](TQRPrinter &printer) -> std::unique_ptr<TQRProgressWindow> {
        return std::make_unique<TQRProgressForm>(printer);
    });
    TQRBasePrintDialog::SetFactory([](TPrinter &printer) -> std::unique_ptr<TQRBasePrintDialog> {
        return std::make_unique<TQRPrintDialog>(printer);
    });
    PreviewInterfaceClass() = []() -> std::unique_ptr<TQRPreviewInterface> {
        return std::make_unique<TQRStandardPreviewInterface>();
    };
}
