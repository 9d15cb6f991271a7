#pragma once

#include "printer/drawing/DeviceMode.h"

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

class QPainter;
class QPaintDevice;

/// A failure of the platform printer (a job that cannot start, a page that cannot be added, ...).
class EPrinterError : public std::runtime_error {
public:
    explicit EPrinterError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

/// The names that identify the selected printer to the platform.
struct PrinterNames {
    QString device;
    QString driver;
    QString port;
};

/// One paper a printer offers: its code (a device paper code, or a driver code above DMPAPER_USER), its
/// name and its portrait size.
struct PaperInfo {
    int code = 0;
    QString name;
    QSizeF sizeMm;
};

/// One paper source of a printer with its bin code.
struct BinInfo {
    int code = 0;
    QString name;
};

/// Device capabilities a job asks for, in device pixels.
enum class DeviceCap { LOGPIXELSX, LOGPIXELSY, PHYSICALWIDTH, PHYSICALHEIGHT, PHYSICALOFFSETX, PHYSICALOFFSETY };

/// The platform printer: the list of installed printers with one of them selected, the selected printer's
/// device mode and capabilities, and print jobs on it. Each object keeps its own selection and mode; the
/// list is the platform's. Device coordinates start at the printable area's corner, PHYSICALOFFSET* from
/// the paper's edge.
class TPrinter {
public:
    virtual ~TPrinter();

    /// Names of the installed printers, in index order.
    virtual QStringList Printers() = 0;
    /// The selected printer, -1 when none is installed.
    virtual int PrinterIndex() = 0;
    /// Selects a printer (-1: the default one) with its driver's default mode. EPrinterError for an index
    /// outside the list or while a job runs.
    virtual void SetPrinterIndex(int index) = 0;
    /// Reads the list of installed printers again; the selection follows its printer by name.
    virtual void Refresh() = 0;

    /// The selected printer's names and device mode; false when there is no printer.
    virtual bool GetPrinter(PrinterNames &names, DeviceMode &mode) = 0;
    /// Hands a device mode back to the selected printer, which takes the fields it honours.
    virtual void SetPrinter(const PrinterNames &names, const DeviceMode &mode) = 0;
    /// Back to the driver's defaults for the selected printer.
    virtual void ResetDeviceMode() = 0;
    /// The driver's file path for a printer by device name; none when the driver cannot be asked.
    virtual std::optional<QString> DriverPath(const QString &device) = 0;
    virtual int DeviceCaps(DeviceCap cap) = 0;
    /// The papers of the selected printer; none when it does not say.
    virtual std::optional<QList<PaperInfo>> Papers() = 0;
    /// The paper sources of the selected printer; none when it does not say.
    virtual std::optional<QList<BinInfo>> Bins() = 0;

    /// Title of the next job.
    virtual void SetTitle(const QString &title) = 0;
    virtual void BeginDoc() = 0;
    /// The canvas of the current page while a job runs (origin at the printable area).
    virtual QPainter &Canvas() = 0;
    /// Ends the page and starts the next.
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
    /// Ends the job without printing it.
    virtual void Abort() = 0;
    virtual bool Printing() const = 0;
    /// The device a job draws on (for text layout on the printer's resolution); none outside a job.
    virtual QPaintDevice *Handle() = 0;

    /// Copies and orientation, through the device mode.
    int Copies();
    void SetCopies(int copies);
    bool Landscape();
    void SetLandscape(bool landscape);
};

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
