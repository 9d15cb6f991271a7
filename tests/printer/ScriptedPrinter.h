#pragma once

#include "printer/drawing/Metafile.h"
#include "printer/drawing/Printer.h"
#include "printer/drawing/PrinterFactory.h"

#include <QPainter>

#include <memory>
#include <optional>

/// One printer of a scripted printer system: what it answers and how its device mode starts.
struct ScriptedQueue {
    QString name = QStringLiteral("Scripted");
    std::optional<QString> driverPath = QStringLiteral("C:\\drivers\\SCRIPTED.DRV");
    DeviceMode defaults = standardMode();
    std::optional<QList<int>> paperCodes = QList<int>{1, 5, 8, 9, 11, 256};
    int dpiX = 300;
    int dpiY = 300;
    int offsetX = 50; // pixels from the paper's edge
    int offsetY = 60;
    int physicalWidth = 2480;
    int physicalHeight = 3508;
    bool failCaps = false;

    /// A4, one copy, upper bin, portrait, every field but duplex.
    static DeviceMode standardMode();
};

/// One job a scripted printer ran.
struct ScriptedJob {
    QString title;
    QString printer;
    DeviceMode mode;
    QList<std::shared_ptr<TMetafile>> pages;
    bool ended = false;
    bool aborted = false;
};

/// Printers as a test scripts them. Every printer object made by `factory()` shares the list, the log of
/// calls ("begin", "newpage", "end", "abort", "select N", "reset", "refresh") and the jobs.
struct ScriptedSystem {
    QList<ScriptedQueue> queues;
    int defaultIndex = 0;
    QStringList log;
    QList<DeviceMode> modesSet;
    QList<ScriptedJob> jobs;

    printers::Factory factory();
    /// The texts drawn on a job's pages, one entry per page.
    QStringList pageTexts(int job = 0) const;
};

/// A printer object of a scripted system; pages are recorded at the queue's resolution.
class ScriptedPrinter : public TPrinter {
public:
    explicit ScriptedPrinter(ScriptedSystem &system);
    ~ScriptedPrinter() override;

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
    QPainter &Canvas() override;
    void NewPage() override;
    void EndDoc() override;
    void Abort() override;
    bool Printing() const override { return m_job >= 0; }
    QPaintDevice *Handle() override;

private:
    const ScriptedQueue &queue() const { return m_system.queues[m_index]; }
    void startPage();
    void endPage();

    ScriptedSystem &m_system;
    int m_index = -1;
    DeviceMode m_mode;
    QString m_title;
    int m_job = -1;
    std::shared_ptr<TMetafile> m_page;
    std::unique_ptr<TMetafileCanvas> m_canvas;
    QPainter m_idle;
};
