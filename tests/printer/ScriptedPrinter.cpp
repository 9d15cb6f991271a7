#include "tests/printer/ScriptedPrinter.h"

#include "printer/drawing/PrinterFactory.h"
#include "tests/printer/PrinterTestSupport.h"

DeviceMode ScriptedQueue::standardMode() {
    DeviceMode m;
    m.dmFields = DeviceMode::DM_ORIENTATION | DeviceMode::DM_PAPERSIZE | DeviceMode::DM_PAPERLENGTH |
                 DeviceMode::DM_PAPERWIDTH | DeviceMode::DM_COPIES | DeviceMode::DM_DEFAULTSOURCE |
                 DeviceMode::DM_COLLATE;
    m.dmPaperSize = 9;
    m.dmPaperWidth = 2100;
    m.dmPaperLength = 2970;
    m.dmDefaultSource = 1;
    m.dmPrintQuality = 300;
    m.dmColor = DeviceMode::DMCOLOR_COLOR;
    return m;
}

printers::Factory ScriptedSystem::factory() {
    return [this] { return std::make_unique<ScriptedPrinter>(*this); };
}

QStringList ScriptedSystem::pageTexts(int job) const {
    QStringList texts;
    for (const auto &page : jobs.at(job).pages)
        texts << textOf(*page);
    return texts;
}

ScriptedPrinter::ScriptedPrinter(ScriptedSystem &system) : m_system(system) {
    if (!system.queues.isEmpty()) {
        m_index = system.defaultIndex;
        m_mode = queue().defaults;
    }
}

ScriptedPrinter::~ScriptedPrinter() {
    if (m_job >= 0)
        Abort();
}

QStringList ScriptedPrinter::Printers() {
    QStringList names;
    for (const auto &q : m_system.queues)
        names << q.name;
    return names;
}

void ScriptedPrinter::SetPrinterIndex(int index) {
    if (index == -1)
        index = m_system.queues.isEmpty() ? -1 : m_system.defaultIndex;
    if (index < -1 || index >= m_system.queues.size())
        throw EPrinterError(QStringLiteral("Printer selected is not valid"));
    m_system.log << QStringLiteral("select %1").arg(index);
    m_index = index;
    if (index >= 0)
        m_mode = queue().defaults;
}

void ScriptedPrinter::Refresh() {
    m_system.log << QStringLiteral("refresh");
}

bool ScriptedPrinter::GetPrinter(PrinterNames &names, DeviceMode &mode) {
    if (m_index < 0)
        return false;
    names = {queue().name, QStringLiteral("SCRIPTED"), QStringLiteral("LPT1:")};
    mode = m_mode;
    return true;
}

void ScriptedPrinter::SetPrinter(const PrinterNames &, const DeviceMode &mode) {
    m_system.modesSet << mode;
    m_mode = mode;
}

void ScriptedPrinter::ResetDeviceMode() {
    m_system.log << QStringLiteral("reset");
    if (m_index >= 0)
        m_mode = queue().defaults;
}

std::optional<QString> ScriptedPrinter::DriverPath(const QString &device) {
    for (const auto &q : m_system.queues)
        if (q.name == device)
            return q.driverPath;
    return std::nullopt;
}

int ScriptedPrinter::DeviceCaps(DeviceCap cap) {
    if (m_index < 0)
        return 0;
    const ScriptedQueue &q = queue();
    if (q.failCaps)
        throw EPrinterError(QStringLiteral("device gone"));
    const bool landscape = m_mode.dmOrientation == DeviceMode::DMORIENT_LANDSCAPE;
    switch (cap) {
    case DeviceCap::LOGPIXELSX:
        return q.dpiX;
    case DeviceCap::LOGPIXELSY:
        return q.dpiY;
    case DeviceCap::PHYSICALWIDTH:
        return landscape ? q.physicalHeight : q.physicalWidth;
    case DeviceCap::PHYSICALHEIGHT:
        return landscape ? q.physicalWidth : q.physicalHeight;
    case DeviceCap::PHYSICALOFFSETX:
        return q.offsetX;
    case DeviceCap::PHYSICALOFFSETY:
        return q.offsetY;
    }
    return 0;
}

std::optional<QList<PaperInfo>> ScriptedPrinter::Papers() {
    if (m_index < 0 || !queue().paperCodes)
        return std::nullopt;
    QList<PaperInfo> papers;
    for (int code : *queue().paperCodes)
        papers.append({code, QStringLiteral("paper %1").arg(code), {}});
    return papers;
}

std::optional<QList<BinInfo>> ScriptedPrinter::Bins() {
    return std::nullopt;
}

void ScriptedPrinter::BeginDoc() {
    if (m_job >= 0)
        throw EPrinterError(QStringLiteral("Printing in progress"));
    m_system.log << QStringLiteral("begin");
    m_system.jobs.append({m_title, queue().name, m_mode, {}, false, false});
    m_job = int(m_system.jobs.size()) - 1;
    startPage();
}

void ScriptedPrinter::startPage() {
    const bool landscape = m_mode.dmOrientation == DeviceMode::DMORIENT_LANDSCAPE;
    const ScriptedQueue &q = queue();
    m_page = std::make_shared<TMetafile>(landscape ? q.physicalHeight : q.physicalWidth,
                                         landscape ? q.physicalWidth : q.physicalHeight, q.dpiX, q.dpiY);
    m_canvas = std::make_unique<TMetafileCanvas>(*m_page);
}

void ScriptedPrinter::endPage() {
    m_canvas.reset();
    m_system.jobs[m_job].pages << m_page;
    m_page.reset();
}

QPainter &ScriptedPrinter::Canvas() {
    return m_canvas ? m_canvas->Painter() : m_idle;
}

void ScriptedPrinter::NewPage() {
    if (m_job < 0)
        throw EPrinterError(QStringLiteral("Printer is not currently printing"));
    m_system.log << QStringLiteral("newpage");
    endPage();
    startPage();
}

void ScriptedPrinter::EndDoc() {
    if (m_job < 0)
        throw EPrinterError(QStringLiteral("Printer is not currently printing"));
    m_system.log << QStringLiteral("end");
    endPage();
    m_system.jobs[m_job].ended = true;
    m_job = -1;
}

void ScriptedPrinter::Abort() {
    if (m_job < 0)
        return;
    m_system.log << QStringLiteral("abort");
    m_canvas.reset();
    m_page.reset();
    m_system.jobs[m_job].aborted = true;
    m_job = -1;
}

QPaintDevice *ScriptedPrinter::Handle() {
    return m_canvas ? m_canvas->Painter().device() : nullptr;
}
