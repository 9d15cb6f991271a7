#pragma once

#include "printer/PrinterOptions.h"
#include "printer/QRPaper.h"

#include <QObject>
#include <QString>

/// The printer settings a report author edits: copies, bin, duplex, page range, paper and the device
/// options a report hands to its printer before a run. Report kinds publish the ones they store.
class TQRPrinterSettings : public QObject, public PrinterOptions {
    Q_OBJECT
public:
    explicit TQRPrinterSettings(QObject *parent = nullptr) : QObject(parent) {}

    qint32 Copies() const { return m_copies; }
    void SetCopies(qint32 v) { m_copies = v; }
    bool Duplex() const { return m_duplex; }
    void SetDuplex(bool v) { m_duplex = v; }
    TPrinterOrientation Orientation() const { return m_orientation; }
    void SetOrientation(TPrinterOrientation v) { m_orientation = v; }
    TQRBin OutputBin() const { return m_outputBin; }
    void SetOutputBin(TQRBin v) { m_outputBin = v; }
    TQRPaperSize PaperSize() const { return m_paperSize; }
    void SetPaperSize(TQRPaperSize v) { m_paperSize = v; }
    qint32 PrinterIndex() const { return m_printerIndex; }
    void SetPrinterIndex(qint32 v) { m_printerIndex = v; }
    const QString &Title() const { return m_title; }
    void SetTitle(const QString &v) { m_title = v; }
    qint32 FirstPage() const { return m_firstPage; }
    void SetFirstPage(qint32 v) { m_firstPage = v; }
    qint32 LastPage() const { return m_lastPage; }
    void SetLastPage(qint32 v) { m_lastPage = v; }
    /// Only a report's own settings can ask for stored pages to be printed as they are.
    virtual bool PrintMetaFile() const { return false; }

private:
    qint32 m_copies = 1;
    bool m_duplex = false;
    TPrinterOrientation m_orientation = poPortrait;
    TQRBin m_outputBin = TQRBin::Auto;
    TQRPaperSize m_paperSize = TQRPaperSize::Letter;
    qint32 m_printerIndex = -1;
    QString m_title;
    qint32 m_firstPage = 0;
    qint32 m_lastPage = 0;
};

/// A report's printer settings as its definition stores them. A published value equal to the value of a
/// new object is not written; every value differing from it is, so a print quality of 600 comes back as
/// 600 (the new object's quality is 0).
class TDezirUzuPrinterSettings : public TQRPrinterSettings {
    Q_OBJECT
    Q_PROPERTY(qint32 Copies READ Copies WRITE SetCopies)
    Q_PROPERTY(QRPrntr::TQRBin OutputBin READ OutputBin WRITE SetOutputBin)
    Q_PROPERTY(bool Duplex READ Duplex WRITE SetDuplex)
    Q_PROPERTY(qint32 FirstPage READ FirstPage WRITE SetFirstPage)
    Q_PROPERTY(qint32 LastPage READ LastPage WRITE SetLastPage)
    Q_PROPERTY(bool UseStandardprinter READ UseStandardprinter WRITE SetUseStandardprinter)
    Q_PROPERTY(bool UseCustomBinCode READ UseCustomBinCode WRITE SetUseCustomBinCode)
    Q_PROPERTY(qint32 CustomBinCode READ CustomBinCode WRITE SetCustomBinCode)
    Q_PROPERTY(qint32 ExtendedDuplex READ ExtendedDuplex WRITE SetExtendedDuplex)
    Q_PROPERTY(bool UseCustomPaperCode READ UseCustomPaperCode WRITE SetUseCustomPaperCode)
    Q_PROPERTY(qint32 CustomPaperCode READ CustomPaperCode WRITE SetCustomPaperCode)
    Q_PROPERTY(bool PrintMetaFile READ PrintMetaFile WRITE SetPrintMetaFile)
    Q_PROPERTY(qint32 MemoryLimit READ MemoryLimit WRITE SetMemoryLimit)
    Q_PROPERTY(qint32 PrintQuality READ PrintQuality WRITE SetPrintQuality)
    Q_PROPERTY(qint32 Collate READ Collate WRITE SetCollate)
    Q_PROPERTY(qint32 ColorOption READ ColorOption WRITE SetColorOption)
public:
    explicit TDezirUzuPrinterSettings(QObject *parent = nullptr) : TQRPrinterSettings(parent) {}

    bool PrintMetaFile() const override { return m_printMetaFile; }
    void SetPrintMetaFile(bool v) { m_printMetaFile = v; }

private:
    bool m_printMetaFile = false;
};
