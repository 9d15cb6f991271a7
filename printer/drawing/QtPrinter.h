#pragma once

#include "printer/drawing/Printer.h"

#include <QMap>
#include <QMarginsF>
#include <QPageSize>
#include <QPainter>
#include <QPrinterInfo>

#include <memory>

class QPrinter;

/// The platform's printers through Qt: the installed (CUPS) printers, or one printer that writes a PDF file.
/// The device mode is kept here and written to a QPrinter: paper codes through QPageSize's Windows ids
/// (driver papers without one get codes above DMPAPER_USER), bins through the paper source, duplex, copies,
/// collation, orientation; resolution and offsets come back from the QPrinter. Pages are drawn in PDF form;
/// for an installed printer the finished file goes to the print spooler (`lp`) when the job ends, so an
/// aborted job never reaches the printer.
class QtPrinter : public TPrinter {
public:
    /// The installed printers.
    QtPrinter();
    /// One printer, "PDF", that writes `fileName`.
    static std::unique_ptr<QtPrinter> PdfFile(const QString &fileName);
    ~QtPrinter() override;

    QStringList Printers() override;
    int PrinterIndex() override { return m_index; }
    void SetPrinterIndex(int index) override;
    void Refresh() override;

    bool GetPrinter(PrinterNames &names, DeviceMode &mode) override;
    void SetPrinter(const PrinterNames &names, const DeviceMode &mode) override;
    void ResetDeviceMode() override;
    std::optional<QString> DriverPath(const QString &device) override;
    int DeviceCaps(DeviceCap cap) override;
    std::optional<QList<PaperInfo>> Papers() override;
    std::optional<QList<BinInfo>> Bins() override;

    void SetTitle(const QString &title) override { m_title = title; }
    void BeginDoc() override;
    QPainter &Canvas() override { return m_painter; }
    void NewPage() override;
    void EndDoc() override;
    void Abort() override;
    bool Printing() const override { return m_printing; }
    QPaintDevice *Handle() override;

    /// The paper sources in the output of `lpoptions -p NAME -l` (the InputSlot line), with their bin codes;
    /// `defaultCode` gets the marked one. Empty when the printer lists none.
    static QList<BinInfo> parseInputSlots(const QString &lpoptionsOutput, int *defaultCode = nullptr);

    /// Resolution of every page drawn here.
    static constexpr int Resolution = 600;

private:
    explicit QtPrinter(const QString &pdfFile, bool pdf);
    bool pdf() const { return m_pdf; }
    void listPrinters();
    void select(int index);
    QPageSize readPdfDefaults();
    QPageSize readInstalledDefaults();
    void configure();
    QPageSize pageSizeFor(const DeviceMode &mode) const;
    void submit(const QString &file);

    bool m_pdf = false;
    QString m_pdfFile;
    QStringList m_names;
    int m_index = -1;

    // the selected printer
    QPrinterInfo m_info;
    DeviceMode m_mode;
    quint32 m_supported = 0;
    QList<PaperInfo> m_papers;
    QMap<int, QPageSize> m_sizeByCode;
    std::optional<QList<BinInfo>> m_bins;
    QMarginsF m_minMarginsMm;
    std::unique_ptr<QPrinter> m_printer;

    QString m_title;
    QPainter m_painter;
    bool m_printing = false;
    QString m_jobFile;
};
