#include "printer/drawing/PrinterFactory.h"

#include "printer/drawing/QtPrinter.h"

#include <QCoreApplication>
#include <QDir>

namespace printers {

namespace {

struct Service {
    Factory factory;
    std::unique_ptr<TPrinter> printer;
};

Service &service() {
    static Service s;
    return s;
}

// The printer holds Qt objects, which must go before the application object does.
void dropPrinter() {
    service().printer.reset();
}

} // namespace

std::unique_ptr<TPrinter> WithStandIn(std::unique_ptr<TPrinter> installed) {
    if (installed && !installed->Printers().isEmpty())
        return installed;
    return QtPrinter::PdfFile(StandInFile());
}

QString StandInFile() {
    return QDir::temp().filePath(QStringLiteral("tavik-print.pdf"));
}

std::unique_ptr<TPrinter> NewPrinter() {
    const Factory &factory = service().factory;
    return factory ? factory() : WithStandIn(std::make_unique<QtPrinter>());
}

TPrinter &Printer() {
    Service &s = service();
    if (!s.printer) {
        s.printer = NewPrinter();
        static const bool registered = (qAddPostRoutine(dropPrinter), true);
        Q_UNUSED(registered);
    }
    return *s.printer;
}

Factory SetFactory(Factory factory) {
    Service &s = service();
    Factory previous = std::move(s.factory);
    s.factory = std::move(factory);
    s.printer.reset();
    return previous;
}

} // namespace printers
