#pragma once

#include <QtGlobal>

/// What a report printer needs of the report that made it (a report or a composite report).
class TQRParentReport {
public:
    virtual ~TQRParentReport() = default;
    virtual bool UseStandardprinter() const = 0;
    virtual qint32 MemoryLimit() const = 0;
    virtual bool ShowProgress() const = 0;
    /// The report page's width and length in 0.1 mm.
    virtual double PageWidth() const = 0;
    virtual double PageLength() const = 0;
    /// The run hands its pages to an export filter instead of storing them.
    virtual bool Exporting() const { return false; }
    /// Raises the report's AfterPrint with the report as sender.
    virtual void RaiseAfterPrint() {}
};
