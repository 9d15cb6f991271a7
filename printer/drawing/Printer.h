#pragma once

#include "printer/drawing/DeviceMode.h"
#include "printer/drawing/PrinterError.h"
#include "printer/drawing/PrinterPapers.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QPainter;
class QPaintDevice;

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
