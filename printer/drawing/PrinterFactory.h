#pragma once

#include "printer/drawing/Printer.h"

#include <QString>

#include <functional>
#include <memory>

/// Where printer objects come from: the application-wide printer and private ones, both made by one
/// factory (installed printers by default; the command-line tool puts a PDF file there, tests a scripted
/// printer system).
namespace printers {

using Factory = std::function<std::unique_ptr<TPrinter>()>;

/// The application-wide printer, made on first use.
TPrinter &Printer();
/// `installed` when it lists a printer; otherwise the PDF printer, which writes `StandInFile()`, so that
/// a machine without printers still honours paper sizes and orientation (the default factory's choice).
std::unique_ptr<TPrinter> WithStandIn(std::unique_ptr<TPrinter> installed);
/// The file the PDF printer standing in for missing printers writes: tavik-print.pdf in the temporary folder.
QString StandInFile();
/// A new private printer object.
std::unique_ptr<TPrinter> NewPrinter();
/// Installs a factory (none: the installed printers) and drops the application-wide printer, so the next
/// use makes it from the new factory. Returns the factory that was installed before.
Factory SetFactory(Factory factory);

/// Installs a factory for the lifetime of the guard.
class ScopedFactory {
public:
    explicit ScopedFactory(Factory factory) : m_previous(SetFactory(std::move(factory))) {}
    ~ScopedFactory() { SetFactory(std::move(m_previous)); }
    ScopedFactory(const ScopedFactory &) = delete;
    ScopedFactory &operator=(const ScopedFactory &) = delete;

private:
    Factory m_previous;
};

} // namespace printers
