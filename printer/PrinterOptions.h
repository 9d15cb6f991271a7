#pragma once

#include <QtGlobal>

/// The device options a report hands its printer as they are: whether the application-wide printer is
/// used, custom bin and paper codes, the extended duplex code, print quality, collation, colour, and how
/// many bytes of pages stay in memory before the page stream moves to a file. A report's printer settings
/// and the printer's device settings both hold them, so the values pass from one to the other unchanged.
class PrinterOptions {
public:
    bool UseStandardprinter() const { return m_useStandardprinter; }
    void SetUseStandardprinter(bool v) { m_useStandardprinter = v; }
    qint32 ExtendedDuplex() const { return m_extendedDuplex; }
    void SetExtendedDuplex(qint32 v) { m_extendedDuplex = v; }
    bool UseCustomBinCode() const { return m_useCustomBinCode; }
    void SetUseCustomBinCode(bool v) { m_useCustomBinCode = v; }
    qint32 CustomBinCode() const { return m_customBinCode; }
    void SetCustomBinCode(qint32 v) { m_customBinCode = v; }
    bool UseCustomPaperCode() const { return m_useCustomPaperCode; }
    void SetUseCustomPaperCode(bool v) { m_useCustomPaperCode = v; }
    qint32 CustomPaperCode() const { return m_customPaperCode; }
    void SetCustomPaperCode(qint32 v) { m_customPaperCode = v; }
    qint32 PrintQuality() const { return m_printQuality; }
    void SetPrintQuality(qint32 v) { m_printQuality = v; }
    qint32 Collate() const { return m_collate; }
    void SetCollate(qint32 v) { m_collate = v; }
    qint32 ColorOption() const { return m_colorOption; }
    void SetColorOption(qint32 v) { m_colorOption = v; }
    qint32 MemoryLimit() const { return m_memoryLimit; }
    void SetMemoryLimit(qint32 v) { m_memoryLimit = v; }

private:
    bool m_useStandardprinter = false;
    qint32 m_extendedDuplex = 0;
    bool m_useCustomBinCode = false;
    qint32 m_customBinCode = 0;
    bool m_useCustomPaperCode = false;
    qint32 m_customPaperCode = 0;
    qint32 m_printQuality = 0;
    qint32 m_collate = 0;
    qint32 m_colorOption = 0;
    qint32 m_memoryLimit = 250000;
};
