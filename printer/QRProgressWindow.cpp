#include "printer/QRProgressWindow.h"

namespace {

TQRProgressWindow::Factory &factory() {
    static TQRProgressWindow::Factory f;
    return f;
}

} // namespace

std::unique_ptr<TQRProgressWindow> TQRProgressWindow::Create(TQRPrinter &printer) {
    return factory() ? factory()(printer) : nullptr;
}

TQRProgressWindow::Factory TQRProgressWindow::SetFactory(Factory f) {
    Factory previous = std::move(factory());
    factory() = std::move(f);
    return previous;
}
