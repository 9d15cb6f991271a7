#include "printer/QRPreviewInterface.h"

QObject *TQRPreviewInterface::Show(TQRPrinter &) {
    return nullptr;
}

QObject *TQRPreviewInterface::ShowModal(TQRPrinter &) {
    return nullptr;
}

TQRPreviewInterfaceClass &PreviewInterfaceClass() {
    static TQRPreviewInterfaceClass interfaceClass;
    return interfaceClass;
}

std::unique_ptr<TQRPreviewInterface> NewPreviewInterface() {
    if (const TQRPreviewInterfaceClass &make = PreviewInterfaceClass())
        if (std::unique_ptr<TQRPreviewInterface> made = make())
            return made;
    return std::make_unique<TQRPreviewInterface>();
}
