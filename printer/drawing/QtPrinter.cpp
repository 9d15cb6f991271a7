#include "printer/drawing/QtPrinter.h"

#include "printer/drawing/CupsQueues.h"
#include "printer/drawing/Units.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QPdfWriter>
#include <QProcess>
#include <QSet>
#include <QTemporaryFile>

#include <algorithm>

#include <cmath>

namespace {

const QString PdfPrinterName = QStringLiteral("PDF");

// A paper's device code. Qt files the architectural C, D and E sheets under the codes of the 17 x 22, 22 x 34
// and 34 x 44 in sheets, which are the ANSI ones; those get the codes instead.
int deviceCode(const QPageSize &size) {
    switch (size.id()) {
    case QPageSize::AnsiC:
        return 24;
    case QPageSize::AnsiD:
        return 25;
    case QPageSize::AnsiE:
        return 26;
    case QPageSize::ArchC:
    case QPageSize::ArchD:
    case QPageSize::ArchE:
        return 0;
    default:
        return size.windowsId();
    }
}

// The paper Qt knows for a device code (Custom for none).
QPageSize::PageSizeId idOfCode(int code) {
    switch (code) {
    case 24:
        return QPageSize::AnsiC;
    case 25:
        return QPageSize::AnsiD;
    case 26:
        return QPageSize::AnsiE;
    default:
        return QPageSize::id(code);
    }
}

qint16 tenthsOfMm(qreal mm) {
    return DeviceMode::clamp16(rnd(mm * 10));
}

bool sameSize(const QPageSize &size, const QSizeF &mm) {
    const QSizeF s = size.size(QPageSize::Millimeter);
    return std::abs(s.width() - mm.width()) <= 1 && std::abs(s.height() - mm.height()) <= 1;
}

qint16 duplexCode(const QString &sides) {
    if (sides == QLatin1String("two-sided-long-edge"))
        return DeviceMode::DMDUP_VERTICAL;
    if (sides == QLatin1String("two-sided-short-edge"))
        return DeviceMode::DMDUP_HORIZONTAL;
    return DeviceMode::DMDUP_SIMPLEX;
}

} // namespace

QtPrinter::QtPrinter() : QtPrinter(QString(), false) {}

QtPrinter::QtPrinter(const QString &pdfFile, bool pdf) : m_pdf(pdf), m_pdfFile(pdfFile) {
    listPrinters();
    select(-1);
}

std::unique_ptr<QtPrinter> QtPrinter::PdfFile(const QString &fileName) {
    return std::unique_ptr<QtPrinter>(new QtPrinter(fileName, true));
}

QtPrinter::~QtPrinter() {
    if (m_printing)
        Abort();
}

void QtPrinter::listPrinters() {
    m_names = m_pdf ? QStringList{PdfPrinterName} : cups::QueueNames();
}

QStringList QtPrinter::Printers() {
    return m_names;
}

void QtPrinter::SetPrinterIndex(int index) {
    if (m_printing)
        throw EPrinterError(QStringLiteral("Cannot change printers while printing"));
    if (index < -1 || index >= m_names.size())
        throw EPrinterError(QStringLiteral("Printer selected is not valid"));
    select(index);
}

void QtPrinter::Refresh() {
    const QString current = m_index >= 0 ? m_names.value(m_index) : QString();
    listPrinters();
    const int found = int(m_names.indexOf(current));
    if (found >= 0 && !current.isEmpty())
        m_index = found;
    else if (!m_printing)
        select(-1);
}

// Makes `index` (-1: the default printer) the selected printer with its driver's defaults.
void QtPrinter::select(int index) {
    if (index < 0 && !m_names.isEmpty()) {
        index = m_pdf ? 0 : int(m_names.indexOf(cups::DefaultQueue()));
        if (index < 0)
            index = 0;
    }
    m_index = index;
    m_papers.clear();
    m_sizeByCode.clear();
    m_bins.reset();
    m_mode = DeviceMode();
    m_supported = 0;
    m_layout = QPageLayout();
    m_measure.reset();
    if (index < 0)
        return;

    m_supported =
        DeviceMode::DM_ORIENTATION | DeviceMode::DM_PAPERSIZE | DeviceMode::DM_COPIES | DeviceMode::DM_COLLATE;
    const QPageSize defaultSize = m_pdf ? readPdfDefaults() : readInstalledDefaults();
    m_mode.dmPaperSize = DeviceMode::DMPAPER_USER;
    for (auto it = m_sizeByCode.cbegin(); it != m_sizeByCode.cend(); ++it)
        if (it.value().key() == defaultSize.key()) {
            m_mode.dmPaperSize = qint16(it.key());
            break;
        }
    const QSizeF mm = defaultSize.size(QPageSize::Millimeter);
    m_mode.dmPaperWidth = tenthsOfMm(mm.width());
    m_mode.dmPaperLength = tenthsOfMm(mm.height());
    m_mode.dmPrintQuality = Resolution;
    m_mode.dmFields = m_supported | DeviceMode::DM_PAPERLENGTH | DeviceMode::DM_PAPERWIDTH;
    configure();
}

// The PDF printer: every paper Qt knows by a code, any size besides, no margins.
QPageSize QtPrinter::readPdfDefaults() {
    for (int code = 1; code < DeviceMode::DMPAPER_USER; ++code) {
        const QPageSize::PageSizeId id = idOfCode(code);
        if (id == QPageSize::Custom)
            continue;
        const QPageSize size(id);
        m_papers.append({code, size.name(), size.size(QPageSize::Millimeter)});
        m_sizeByCode.insert(code, size);
    }
    m_supported |= DeviceMode::DM_PAPERLENGTH | DeviceMode::DM_PAPERWIDTH;
    const QPageSize defaultSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                                   : QPageSize::A4);
    m_minMarginsMm = QMarginsF();
    m_mode.dmColor = DeviceMode::DMCOLOR_COLOR;
    return defaultSize;
}

// An installed printer as the spooler describes it.
QPageSize QtPrinter::readInstalledDefaults() {
    const cups::Queue queue = cups::Describe(m_names[m_index]).value_or(cups::Queue());
    // Papers with a device code keep it; where several share a code, the one Qt names after the code
    // (by key, then by size) has it. The others get driver codes.
    const QList<QPageSize> &sizes = queue.sizes;
    QList<int> codes(sizes.size(), 0);
    QSet<int> used;
    for (int pass = 0; pass < 3; ++pass) {
        for (qsizetype i = 0; i < sizes.size(); ++i) {
            const int wid = deviceCode(sizes[i]);
            if (codes[i] || wid <= 0 || wid >= DeviceMode::DMPAPER_USER || used.contains(wid))
                continue;
            const QPageSize::PageSizeId id = idOfCode(wid);
            if ((pass == 0 && sizes[i].key() != QPageSize::key(id)) || (pass == 1 && sizes[i].id() != id))
                continue;
            codes[i] = wid;
            used.insert(wid);
        }
    }
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const int code = codes[i] ? codes[i] : DeviceMode::DMPAPER_USER + 1 + int(i);
        m_papers.append({code, sizes[i].name(), sizes[i].size(QPageSize::Millimeter)});
        m_sizeByCode.insert(code, sizes[i]);
    }
    if (queue.customSizes)
        m_supported |= DeviceMode::DM_PAPERLENGTH | DeviceMode::DM_PAPERWIDTH;
    if (queue.duplex) {
        m_supported |= DeviceMode::DM_DUPLEX;
        m_mode.dmDuplex = duplexCode(queue.defaultSides);
    }
    m_minMarginsMm = queue.marginsMm;
    m_mode.dmCollate = queue.collate ? 1 : 0;
    m_mode.dmColor = queue.color ? DeviceMode::DMCOLOR_COLOR : DeviceMode::DMCOLOR_MONOCHROME;
    m_mode.dmOrientation = queue.landscape ? DeviceMode::DMORIENT_LANDSCAPE : DeviceMode::DMORIENT_PORTRAIT;

    QProcess lpoptions;
    lpoptions.start(QStringLiteral("lpoptions"), {QStringLiteral("-p"), m_names[m_index], QStringLiteral("-l")});
    if (lpoptions.waitForStarted(5000) && lpoptions.waitForFinished(5000) && lpoptions.exitCode() == 0) {
        int defaultBin = 0;
        m_bins = parseInputSlots(QString::fromLocal8Bit(lpoptions.readAllStandardOutput()), &defaultBin);
        if (!m_bins->isEmpty()) {
            m_supported |= DeviceMode::DM_DEFAULTSOURCE;
            m_mode.dmDefaultSource = qint16(defaultBin);
        }
    } else {
        lpoptions.kill();
        lpoptions.waitForFinished(1000);
    }
    return queue.defaultSize.isValid() ? queue.defaultSize : QPageSize(QPageSize::A4);
}

// The page size a mode asks for: the paper of its code, or its own width and length. A PDF has no paper
// trays, so there the width and length win when they differ from the code's paper.
QPageSize QtPrinter::pageSizeFor(const DeviceMode &mode) const {
    const bool hasDims = mode.has(DeviceMode::DM_PAPERLENGTH | DeviceMode::DM_PAPERWIDTH) && mode.dmPaperWidth > 0 &&
                         mode.dmPaperLength > 0;
    const QSizeF mm(mode.dmPaperWidth / 10.0, mode.dmPaperLength / 10.0);
    if (mode.has(DeviceMode::DM_PAPERSIZE) && mode.dmPaperSize != DeviceMode::DMPAPER_USER) {
        QPageSize named = m_sizeByCode.value(mode.dmPaperSize);
        if (!named.isValid() && idOfCode(mode.dmPaperSize) != QPageSize::Custom)
            named = QPageSize(idOfCode(mode.dmPaperSize));
        if (named.isValid() && (!m_pdf || !hasDims || sameSize(named, mm)))
            return named;
    }
    if (hasDims)
        return QPageSize(mm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    return m_layout.isValid() ? m_layout.pageSize() : QPageSize(QPageSize::A4);
}

void QtPrinter::configure() {
    m_layout = QPageLayout(pageSizeFor(m_mode),
                           m_mode.dmOrientation == DeviceMode::DMORIENT_LANDSCAPE ? QPageLayout::Landscape
                                                                                  : QPageLayout::Portrait,
                           m_minMarginsMm, QPageLayout::Millimeter, m_minMarginsMm);
    if (m_measure)
        writerFor(*m_measure);
}

// A PDF writer drawing pages of the current layout at the printer's resolution.
QPdfWriter &QtPrinter::writerFor(QPdfWriter &writer) const {
    writer.setResolution(Resolution);
    writer.setPageLayout(m_layout);
    writer.setCreator(QStringLiteral("TavikEditor"));
    writer.setTitle(m_title);
    return writer;
}

bool QtPrinter::GetPrinter(PrinterNames &names, DeviceMode &mode) {
    if (m_index < 0)
        return false;
    names.device = m_names[m_index];
    names.driver = DriverPath(names.device).value_or(QString());
    names.port = m_pdf ? m_pdfFile : QString();
    mode = m_mode;
    return true;
}

void QtPrinter::SetPrinter(const PrinterNames &names, const DeviceMode &mode) {
    if (m_printing)
        throw EPrinterError(QStringLiteral("Cannot change the device mode while printing"));
    if (!names.device.isEmpty() && m_index >= 0 && names.device != m_names[m_index]) {
        const int found = int(m_names.indexOf(names.device));
        if (found < 0)
            throw EPrinterError(QStringLiteral("Printer selected is not valid"));
        select(found);
    }
    if (m_index < 0)
        return;
    DeviceMode next = m_mode;
    const quint32 given = mode.dmFields & m_supported;
    if (given & DeviceMode::DM_ORIENTATION)
        next.dmOrientation = mode.dmOrientation == DeviceMode::DMORIENT_LANDSCAPE ? DeviceMode::DMORIENT_LANDSCAPE
                                                                                  : DeviceMode::DMORIENT_PORTRAIT;
    if (given & DeviceMode::DM_COPIES)
        next.dmCopies = std::max<qint16>(1, mode.dmCopies);
    if (given & DeviceMode::DM_COLLATE)
        next.dmCollate = mode.dmCollate ? 1 : 0;
    if (given & DeviceMode::DM_DUPLEX)
        next.dmDuplex = mode.dmDuplex;
    if (given & DeviceMode::DM_DEFAULTSOURCE)
        next.dmDefaultSource = mode.dmDefaultSource;
    next.dmColor = mode.dmColor;
    // The paper: what the mode asks for, then width and length as the chosen paper really is.
    DeviceMode paper = mode;
    paper.dmFields = given;
    if (given & (DeviceMode::DM_PAPERSIZE | DeviceMode::DM_PAPERLENGTH | DeviceMode::DM_PAPERWIDTH)) {
        const QPageSize size = pageSizeFor(paper);
        const QSizeF mm = size.size(QPageSize::Millimeter);
        next.dmPaperWidth = tenthsOfMm(mm.width());
        next.dmPaperLength = tenthsOfMm(mm.height());
        next.dmPaperSize = DeviceMode::DMPAPER_USER;
        for (auto it = m_sizeByCode.cbegin(); it != m_sizeByCode.cend(); ++it)
            if (it.value().key() == size.key()) {
                next.dmPaperSize = qint16(it.key());
                break;
            }
        if ((given & DeviceMode::DM_PAPERSIZE) && m_sizeByCode.contains(mode.dmPaperSize) &&
            sameSize(m_sizeByCode.value(mode.dmPaperSize), mm))
            next.dmPaperSize = mode.dmPaperSize;
    }
    m_mode = next;
    configure();
}

void QtPrinter::ResetDeviceMode() {
    if (m_printing)
        throw EPrinterError(QStringLiteral("Cannot change the device mode while printing"));
    select(m_index);
}

// An installed printer's driver is the description file the spooler keeps for its queue.
std::optional<QString> QtPrinter::DriverPath(const QString &device) {
    if (!m_names.contains(device))
        return std::nullopt;
    if (m_pdf)
        return QStringLiteral("Qt PDF");
    const QString ppd = QStringLiteral("/etc/cups/ppd/%1.ppd").arg(device);
    if (!QFileInfo::exists(ppd))
        return std::nullopt;
    return ppd;
}

int QtPrinter::DeviceCaps(DeviceCap cap) {
    if (!m_layout.isValid())
        return 0;
    const QRectF paper = m_layout.fullRectPixels(Resolution);
    const QRectF page = m_layout.paintRectPixels(Resolution);
    switch (cap) {
    case DeviceCap::LOGPIXELSX:
    case DeviceCap::LOGPIXELSY:
        return Resolution;
    case DeviceCap::PHYSICALWIDTH:
        return rnd(paper.width());
    case DeviceCap::PHYSICALHEIGHT:
        return rnd(paper.height());
    case DeviceCap::PHYSICALOFFSETX:
        return rnd(page.left() - paper.left());
    case DeviceCap::PHYSICALOFFSETY:
        return rnd(page.top() - paper.top());
    }
    return 0;
}

std::optional<QList<PaperInfo>> QtPrinter::Papers() {
    if (m_index < 0)
        return std::nullopt;
    return m_papers;
}

std::optional<QList<BinInfo>> QtPrinter::Bins() {
    if (m_index < 0)
        return std::nullopt;
    return m_bins;
}

QPaintDevice *QtPrinter::Handle() {
    if (m_writer)
        return m_writer.get();
    if (!m_layout.isValid())
        return nullptr;
    if (!m_measure) {
        m_scratch = std::make_unique<QBuffer>();
        m_measure = std::make_unique<QPdfWriter>(m_scratch.get());
        writerFor(*m_measure);
    }
    return m_measure.get();
}

void QtPrinter::BeginDoc() {
    if (m_printing)
        throw EPrinterError(QStringLiteral("Printing in progress"));
    if (m_index < 0)
        throw EPrinterError(QStringLiteral("There is no default printer currently selected"));
    QString target = m_pdfFile;
    if (!m_pdf) {
        QTemporaryFile file(QDir::tempPath() + QStringLiteral("/QRPXXXXXX.pdf"));
        file.setAutoRemove(false);
        if (!file.open())
            throw EPrinterError(QStringLiteral("Cannot create a temporary file in %1").arg(QDir::tempPath()));
        target = file.fileName();
    }
    m_writer = std::make_unique<QPdfWriter>(target);
    writerFor(*m_writer);
    if (!m_painter.begin(m_writer.get())) {
        m_writer.reset();
        if (!m_pdf)
            QFile::remove(target);
        throw EPrinterError(QStringLiteral("Cannot print to %1").arg(m_pdf ? target : m_names[m_index]));
    }
    m_jobFile = target;
    m_printing = true;
}

void QtPrinter::NewPage() {
    if (!m_printing)
        throw EPrinterError(QStringLiteral("Printer is not currently printing"));
    if (!m_writer->newPage())
        throw EPrinterError(QStringLiteral("Cannot start a new page on %1").arg(m_names.value(m_index)));
}

void QtPrinter::EndDoc() {
    if (!m_printing)
        throw EPrinterError(QStringLiteral("Printer is not currently printing"));
    m_printing = false;
    const QString file = m_jobFile;
    m_jobFile.clear();
    const bool ended = m_painter.end();
    m_writer.reset(); // closes the file
    if (!ended)
        throw EPrinterError(QStringLiteral("Cannot finish the job on %1").arg(m_names.value(m_index)));
    if (m_pdf)
        return;
    try {
        submit(file);
    } catch (...) {
        QFile::remove(file);
        throw;
    }
    QFile::remove(file);
}

void QtPrinter::Abort() {
    if (!m_printing)
        return;
    m_printing = false;
    m_painter.end();
    m_writer.reset();
    QFile::remove(m_jobFile);
    m_jobFile.clear();
}

// Hands a finished job to the spooler with the choices that are not in the file itself.
void QtPrinter::submit(const QString &file) {
    const QString name = m_names[m_index];
    QStringList args{QStringLiteral("-d"), name};
    if (!m_title.isEmpty())
        args << QStringLiteral("-t") << m_title;
    if (m_mode.dmCopies > 1) {
        args << QStringLiteral("-n") << QString::number(m_mode.dmCopies);
        args << QStringLiteral("-o")
             << (m_mode.dmCollate ? QStringLiteral("collate=true") : QStringLiteral("collate=false"));
    }
    if (m_supported & DeviceMode::DM_DUPLEX) {
        const QString sides = m_mode.dmDuplex == DeviceMode::DMDUP_VERTICAL     ? QStringLiteral("two-sided-long-edge")
                              : m_mode.dmDuplex == DeviceMode::DMDUP_HORIZONTAL ? QStringLiteral("two-sided-short-edge")
                                                                                : QStringLiteral("one-sided");
        args << QStringLiteral("-o") << QStringLiteral("sides=") + sides;
    }
    // A PDF has no colour mode of its own: the spooler prints grey when asked.
    if (m_mode.dmColor == DeviceMode::DMCOLOR_MONOCHROME)
        args << QStringLiteral("-o") << QStringLiteral("print-color-mode=monochrome");
    const QPageSize size = m_layout.pageSize();
    for (const QPageSize &offered : std::as_const(m_sizeByCode))
        if (offered.key() == size.key()) {
            args << QStringLiteral("-o") << QStringLiteral("media=") + size.key();
            break;
        }
    if (m_bins)
        for (const BinInfo &bin : *m_bins)
            if (bin.code == m_mode.dmDefaultSource) {
                args << QStringLiteral("-o") << QStringLiteral("InputSlot=") + bin.name;
                break;
            }
    args << file;
    QProcess lp;
    lp.start(QStringLiteral("lp"), args);
    if (!lp.waitForStarted(10000))
        throw EPrinterError(QStringLiteral("The print spooler (lp) cannot be started"));
    if (!lp.waitForFinished(120000) || lp.exitStatus() != QProcess::NormalExit || lp.exitCode() != 0) {
        const QString message = QString::fromLocal8Bit(lp.readAllStandardError()).trimmed();
        throw EPrinterError(message.isEmpty() ? QStringLiteral("%1 did not take the job").arg(name) : message);
    }
}

QList<BinInfo> QtPrinter::parseInputSlots(const QString &output, int *defaultCode) {
    static const struct {
        const char *key;
        int code;
    } known[] = {{"upper", 1},      {"onlyone", 1},    {"lower", 2},       {"middle", 3},         {"manual", 4},
                 {"manualfeed", 4}, {"envelope", 5},   {"envmanual", 6},   {"envelopemanual", 6}, {"auto", 7},
                 {"autoselect", 7}, {"tractor", 8},    {"smallformat", 9}, {"largeformat", 10},   {"largecapacity", 11},
                 {"cassette", 14},  {"formsource", 15}};
    QList<BinInfo> bins;
    if (defaultCode)
        *defaultCode = 0;
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.startsWith(QLatin1String("InputSlot/")) && !line.startsWith(QLatin1String("InputSlot:")))
            continue;
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        const QStringList choices = line.mid(colon + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QSet<int> used;
        for (QString choice : choices) {
            const bool marked = choice.startsWith(QLatin1Char('*'));
            if (marked)
                choice.remove(0, 1);
            int code = 0;
            for (const auto &k : known)
                if (choice.compare(QLatin1String(k.key), Qt::CaseInsensitive) == 0 && !used.contains(k.code))
                    code = k.code;
            if (!code)
                code = DeviceMode::DMBIN_USER + 1 + int(bins.size());
            used.insert(code);
            bins.append({code, choice});
            if (marked && defaultCode)
                *defaultCode = code;
        }
        break;
    }
    return bins;
}
