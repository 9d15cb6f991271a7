#pragma once

#include "printer/drawing/Printer.h"

#include <QMap>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>

#include <memory>

class QBuffer;
class QPdfWriter;

/// The platform's printers: the queues of the print spooler (CUPS), or one printer that writes a PDF file.
/// The device mode is kept here and turns into a page layout: paper codes through QPageSize's Windows ids
/// (driver papers without one get codes above DMPAPER_USER) and orientation, with the spooler's margins;
/// resolution and offsets come from that layout. Pages are drawn in PDF form (Qt's PDF writer, no print
/// dialog or widget toolkit); for a queue the finished file goes to the spooler (`lp`) when the job ends,
/// with copies, collation, sides, paper, input slot and colour, so an aborted job never reaches the printer.
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
    QPdfWriter &writerFor(QPdfWriter &writer) const;

    bool m_pdf = false;
    QString m_pdfFile;
    QStringList m_names;
    int m_index = -1;

    // the selected printer
    DeviceMode m_mode;
    quint32 m_supported = 0;
    QList<PaperInfo> m_papers;
    QMap<int, QPageSize> m_sizeByCode;
    std::optional<QList<BinInfo>> m_bins;
    QMarginsF m_minMarginsMm;
    QPageLayout m_layout; // valid while a printer is selected

    // the job, and a writer that is never drawn on, for measuring outside a job
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<QBuffer> m_scratch;
    std::unique_ptr<QPdfWriter> m_measure;

    QString m_title;
    QPainter m_painter;
    bool m_printing = false;
    QString m_jobFile;
};
