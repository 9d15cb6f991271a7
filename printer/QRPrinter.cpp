#include "printer/QRPrinter.h"

#include "printer/QRError.h"
#include "printer/QRMessages.h"
#include "printer/QRPrinterSettings.h"
#include "printer/QRProgressWindow.h"
#include "printer/drawing/EmfRecorder.h"
#include "printer/drawing/Metafile.h"
#include "printer/drawing/Printer.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/Units.h"

#include <QCoreApplication>
#include <QPainter>

#include <cmath>

namespace {

constexpr double DefaultPixelsPerUnit = 0.37795;

int listedPrinters(TPrinter &printer) {
    try {
        return int(printer.Printers().size());
    } catch (...) {
        return 0;
    }
}

} // namespace

TQRMessageEvent::TQRMessageEvent(QEvent::Type type, int param, TQRPrinter *printer)
    : QEvent(type), m_param(param), m_printer(printer) {}

TQRPrinter *TQRMessageEvent::Printer() const {
    return static_cast<TQRPrinter *>(m_printer.data());
}

TQRPrinter::TQRPrinter(TQRParentReport *report, QObject *parent) : QObject(parent), m_parentReport(report) {
    TPrinter &standard = printers::Printer();
    m_printersInstalled = listedPrinters(standard) > 0;
    if (report) {
        m_settings.SetUseStandardprinter(report->UseStandardprinter());
        m_settings.SetMemoryLimit(report->MemoryLimit());
    }
    if (m_settings.UseStandardprinter()) {
        m_device = &standard;
    } else {
        m_ownDevice = printers::NewPrinter();
        m_device = m_ownDevice.get();
    }
    if (m_printersInstalled) {
        // The private printer takes the application's choice of printer before its values are read, so the
        // settings describe the printer the pages will go to.
        if (m_ownDevice) {
            const int index = standard.PrinterIndex();
            if (index >= 0 && index < listedPrinters(*m_ownDevice) && index != m_ownDevice->PrinterIndex())
                m_ownDevice->SetPrinterIndex(index);
        }
        m_settings.AttachPrinter(m_device);
    }
    m_unprintableTop = m_settings.UnprintableTop();
    m_unprintableLeft = m_settings.UnprintableLeft();
}

TQRPrinter::~TQRPrinter() {
    freeRecording();
    if (m_state == psBusy && m_outputTarget == otPrinter && m_device->Printing()) {
        try {
            m_device->Abort();
        } catch (...) {
        }
    }
    if (m_state != psIdle)
        discardNow();
}

void TQRPrinter::ApplyReportSettings(const TQRPrinterSettings &settings, const TQRPageFormat &page) {
    SelectPrinter(settings.PrinterIndex());
    m_settings.TrySetPaperSize(page.PaperSize);
    if (page.PaperSize == TQRPaperSize::Custom) {
        m_settings.SetSheetWidth(rnd(page.Width));
        m_settings.SetSheetLength(rnd(page.Length));
    }
    m_settings.TrySetOrientation(page.Orientation);
    m_settings.TrySetCopies(settings.Copies());
    m_settings.TrySetOutputBin(settings.OutputBin());
    m_firstPage = settings.FirstPage();
    m_lastPage = settings.LastPage();
    m_settings.TrySetDuplex(settings.Duplex());
    m_settings.SetUseStandardprinter(settings.UseStandardprinter());
    m_settings.SetPrintMetaFile(settings.PrintMetaFile());
    m_settings.SetUseCustomBinCode(settings.UseCustomBinCode());
    m_settings.SetCustomBinCode(settings.CustomBinCode());
    m_settings.SetUseCustomPaperCode(settings.UseCustomPaperCode());
    m_settings.SetCustomPaperCode(settings.CustomPaperCode());
    m_settings.SetPrintQuality(settings.PrintQuality());
    m_settings.SetCollate(settings.Collate());
    m_settings.SetColorOption(settings.ColorOption());
    m_settings.SetExtendedDuplex(settings.ExtendedDuplex());
}

void TQRPrinter::SelectPrinter(int index) {
    m_device->Refresh();
    if (!m_printersInstalled || m_settings.UseStandardprinter() || index == -1 || index == m_device->PrinterIndex())
        return;
    if (index < 0 || index >= listedPrinters(*m_device))
        return;
    m_device->SetPrinterIndex(index);
    m_device->ResetDeviceMode();
    m_settings.ReadFromDevice();
}

void TQRPrinter::SetCurrentPage(qint32 page) {
    if (page >= 1 && page <= m_pagesProduced)
        m_currentPage = page;
}

QPaintDevice *TQRPrinter::Handle() const {
    return m_pageCanvas ? m_pageCanvas->device() : m_device->Handle();
}

qint32 TQRPrinter::OrientedWidth() const {
    return Orientation() == poPortrait ? m_settings.PaperWidth() : m_settings.PaperLength();
}

qint32 TQRPrinter::OrientedLength() const {
    return Orientation() == poPortrait ? m_settings.PaperLength() : m_settings.PaperWidth();
}

int TQRPrinter::ToDeviceX(double x) const {
    return rnd((x - m_unprintableLeft) * m_pixelsPerUnitX);
}

int TQRPrinter::ToDeviceY(double y) const {
    return rnd((y - m_unprintableTop) * m_pixelsPerUnitY);
}

int TQRPrinter::ToDeviceWidth(double w) const {
    return rnd(w * m_pixelsPerUnitX);
}

int TQRPrinter::ToDeviceHeight(double h) const {
    return rnd(h * m_pixelsPerUnitY);
}

bool TQRPrinter::InRange() const {
    return !((m_firstPage > 0 && m_firstPage > m_pagesProduced) || (m_lastPage > 0 && m_lastPage < m_pagesProduced));
}

void TQRPrinter::setScreenFactors() {
    m_pixelsPerUnitX = EmfRecorder::screenDpiX() / 254;
    m_pixelsPerUnitY = EmfRecorder::screenDpiY() / 254;
}

void TQRPrinter::BeginDoc() {
    // A second run must not touch the first one's open page or device job.
    if (m_state != psIdle)
        throw EQRError(QStringLiteral("QRPrinter not ready"));
    freeRecording();
    m_pagesReady = 0;
    m_cancelRequested = false;
    m_discardPending = false;
    if (m_outputTarget == otPrinter)
        m_settings.ApplyToDevice();
    m_unprintableTop = m_outputTarget == otPrinter ? m_settings.UnprintableTop() : 0;
    m_unprintableLeft = m_outputTarget == otPrinter ? m_settings.UnprintableLeft() : 0;
    m_currentPage = 0;
    m_pagesProduced = 0;
    m_state = psBusy;
    if (m_outputTarget == otPageStore) {
        m_pageList.SetPageStream(std::make_unique<TQRStream>(m_settings.MemoryLimit()));
        m_pageList.Clear();
        setScreenFactors();
    } else {
        m_pixelsPerUnitX = m_device->DeviceCaps(DeviceCap::LOGPIXELSX) / 254.0;
        m_pixelsPerUnitY = m_device->DeviceCaps(DeviceCap::LOGPIXELSY) / 254.0;
        if (m_pixelsPerUnitX < 0.1)
            m_pixelsPerUnitX = DefaultPixelsPerUnit;
        if (m_pixelsPerUnitY < 0.1)
            m_pixelsPerUnitY = DefaultPixelsPerUnit;
    }
}

void TQRPrinter::NewPage() {
    if (m_state != psBusy)
        throw EQRError(QStringLiteral("Illegal call to NewPage"));
    if (m_currentPage > 0) {
        closePage();
        announcePageReady();
    }
    ++m_pagesProduced;
    ++m_currentPage;
    if (m_outputTarget == otPageStore || !InRange())
        startRecording();
    else
        startDevicePage();
}

// Ends the page being drawn: stored, passed on to the device, or dropped when outside the range.
void TQRPrinter::closePage() {
    m_pageCanvas = nullptr;
    if (m_outputTarget == otPageStore) {
        m_recordingCanvas.reset();
        if (m_pageRecording)
            m_pageList.AddPage(*m_pageRecording);
        freeRecording();
    } else if (InRange()) {
        if (m_pagesProduced != m_lastPage)
            m_device->NewPage();
    } else {
        freeRecording();
    }
}

void TQRPrinter::startRecording() {
    freeRecording();
    m_pageRecording = std::make_unique<TMetafile>(ToDeviceWidth(OrientedWidth()), ToDeviceHeight(OrientedLength()));
    m_recordingCanvas = std::make_unique<TMetafileCanvas>(*m_pageRecording);
    m_pageCanvas = &m_recordingCanvas->Painter();
    setScreenFactors();
}

void TQRPrinter::startDevicePage() {
    if (!m_device->Printing()) {
        m_device->SetTitle(m_jobTitle);
        m_device->BeginDoc();
    }
    // Each page starts with a fresh canvas, as a recorded page does.
    QPainter &canvas = m_device->Canvas();
    canvas.setClipping(false);
    canvas.resetTransform();
    canvas.setPen(QPen());
    canvas.setBrush(Qt::NoBrush);
    canvas.setFont(QFont());
    m_pageCanvas = &canvas;
    m_pixelsPerUnitX = m_device->DeviceCaps(DeviceCap::LOGPIXELSX) / 254.0;
    m_pixelsPerUnitY = m_device->DeviceCaps(DeviceCap::LOGPIXELSY) / 254.0;
    if (m_pixelsPerUnitY < 0.1)
        m_pixelsPerUnitY = 1.0;
}

void TQRPrinter::freeRecording() {
    if (m_pageCanvas && m_recordingCanvas && m_pageCanvas == &m_recordingCanvas->Painter())
        m_pageCanvas = nullptr;
    m_recordingCanvas.reset();
    m_pageRecording.reset();
}

void TQRPrinter::announcePageReady() {
    ++m_pagesReady;
    post(m_progressReceiver, qrmessages::PageReady, m_pagesReady);
}

void TQRPrinter::post(QObject *receiver, QEvent::Type type, int param) {
    if (receiver)
        QCoreApplication::postEvent(receiver, new TQRMessageEvent(type, param, this));
}

void TQRPrinter::EndDoc() {
    if (m_state != psBusy)
        return;
    if (m_outputTarget == otPrinter) {
        if (m_device->Printing())
            m_device->EndDoc();
        freeRecording(); // a last page outside the range
    } else if (m_pagesProduced > 0) {
        m_pageCanvas = nullptr;
        m_recordingCanvas.reset();
        if (m_pageRecording)
            m_pageList.AddPage(*m_pageRecording);
        freeRecording();
    }
    m_pageCanvas = nullptr;
    m_state = psDone;
    announcePageReady();
    const QPointer<TQRPrinter> alive(this);
    QCoreApplication::processEvents();
    if (!alive) // a preview that closed meanwhile took its report's printer with it
        return;
    finishRun();
    if (m_outputTarget == otPrinter && AfterPrint)
        AfterPrint(this);
}

void TQRPrinter::AbortDoc() {
    if (m_outputTarget == otPrinter) {
        if (m_device->Printing())
            m_device->Abort();
    } else if (m_pageRecording) {
        m_pageCanvas = nullptr;
        m_recordingCanvas.reset();
        if (!(m_parentReport && m_parentReport->Exporting()))
            m_pageList.AddPage(*m_pageRecording);
    }
    freeRecording();
    m_pageCanvas = nullptr;
    m_state = psDone;
    finishRun();
}

// After a run: the stored pages' header carries their final count (a cancelled run's pages are saved as
// well), unless the pages were discarded meanwhile.
void TQRPrinter::finishRun() {
    if (m_discardPending) {
        discardNow();
        return;
    }
    if (m_state == psDone && m_outputTarget == otPageStore && m_pageList.PageStream())
        m_pageList.WriteFileHeader();
}

void TQRPrinter::SetProgress(int percent) {
    m_progress = percent;
    post(m_progressReceiver, qrmessages::Progress, percent);
}

void TQRPrinter::SetShowingPreview(bool showing) {
    if (m_previewShowing && !showing) {
        if (m_state == psBusy)
            RequestCancel();
        if (AfterPreview)
            AfterPreview(this);
    }
    m_previewShowing = showing;
}

void TQRPrinter::PreviewClosed() {
    SetShowingPreview(false);
    if (QObject *receiver = m_reportReceiver) {
        TQRMessageEvent closed(qrmessages::PreviewClose, 0, this);
        QCoreApplication::sendEvent(receiver, &closed); // the report may free this printer here
    }
}

std::unique_ptr<TMetafile> TQRPrinter::FetchPage(int n) {
    if ((m_state != psBusy && m_state != psDone) || n < 1 || n > m_pagesProduced)
        return nullptr;
    return m_pageList.FetchPage(n);
}

void TQRPrinter::LoadPages(const QString &fileName) {
    if (m_state == psBusy)
        throw EQRError(QStringLiteral("QRPrinter not ready"));
    // The page list walks the whole file before the current pages go: a file that fails leaves them as they
    // were. (Reading it twice made the first page of a large file wait for two walks.)
    m_pageList.LoadPages(fileName);
    m_pagesProduced = m_pageList.StoredPages();
    setScreenFactors();
    std::unique_ptr<TMetafile> first;
    try {
        if (m_pagesProduced > 0)
            first = m_pageList.FetchPage(1);
    } catch (const EQRError &) {
        // a first page that cannot be read leaves the paper as it is
    }
    if (first && m_pagesProduced > 0) {
        // Page size in 4-mm steps, from the recording's own resolution.
        const int w = int(std::trunc(first->Width() / (first->DpiX() / 254) / 40));
        const int h = int(std::trunc(first->Height() / (first->DpiY() / 254) / 40));
        for (int i = int(TQRPaperSize::Letter); i <= int(TQRPaperSize::ESheet); ++i) {
            const TQRPaperSize size = TQRPaperSize(i);
            const int tw = int(std::trunc(PaperWidthMm(size) / 4));
            const int tl = int(std::trunc(PaperLengthMm(size) / 4));
            // The orientation goes with a paper the device takes, not with one it refuses.
            if (w == tw && h == tl && m_settings.TrySetPaperSize(size))
                m_settings.TrySetOrientation(poPortrait);
            if (h == tw && w == tl && m_settings.TrySetPaperSize(size))
                m_settings.TrySetOrientation(poLandscape);
        }
    }
    m_discardPending = false;
    m_state = psDone;
    m_loadedFromFile = true;
}

void TQRPrinter::SavePages(const QString &fileName) {
    if (m_state == psDone)
        m_pageList.SavePages(fileName);
}

int TQRPrinter::PrintStoredPages() {
    if (m_reportReceiver && !m_loadedFromFile && !m_settings.PrintMetaFile() && m_state == psDone) {
        post(m_reportReceiver, qrmessages::PrintRequest, 0);
        return 0;
    }
    if (m_state != psDone || !m_printersInstalled)
        return 0;
    // The range is cut to the pages there are; an empty range starts no job.
    const int first = std::max(1, m_firstPage > 0 ? m_firstPage : 1);
    const int last = std::min(m_pagesProduced, m_lastPage > 0 ? m_lastPage : m_pagesProduced);
    if (first > last)
        return 0;
    m_cancelRequested = false; // a cancel of an earlier run does not stop this one
    const bool withProgress = m_parentReport && m_parentReport->ShowProgress();
    m_device->SetTitle(m_jobTitle);
    if (m_device->Printing())
        m_device->Abort();
    m_settings.ApplyToDevice();
    m_device->BeginDoc();

    const QPointer<TQRPrinter> alive(this);
    TPrinter *const sharedDevice = m_ownDevice ? nullptr : m_device; // outlives this printer
    QPointer<QObject> previousReceiver = m_progressReceiver;
    std::unique_ptr<TQRProgressWindow> window;
    const auto finish = [&] {
        if (window) {
            window->Hide();
            window.reset();
            m_progressReceiver = previousReceiver;
        }
    };
    int printed = 0;
    try {
        if (withProgress) {
            window = TQRProgressWindow::Create(*this);
            if (window) {
                window->Show();
                m_progressReceiver = window->Receiver();
            }
        }
        const double xf = m_settings.DpiX() / 254.0;
        const double yf = m_settings.DpiY() / 254.0;
        const double uL = m_settings.UnprintableLeft();
        const double uT = m_settings.UnprintableTop();
        const double W = m_parentReport ? m_parentReport->PageWidth() : OrientedWidth();
        const double L = m_parentReport ? m_parentReport->PageLength() : OrientedLength();
        const int left = -rnd(uL * xf);
        const int top = -rnd(uT * yf);
        const QRectF target(left, top, rnd((W - uL) * xf) - left, rnd((L - uT) * yf) - top);
        for (int p = first; p <= last; ++p) {
            QCoreApplication::processEvents();
            if (!alive)
                break;
            if (m_state != psDone) // the pages were discarded meanwhile
                break;
            if (withProgress)
                SetProgress(rnd(double(p - first + 1) / double(last - first + 1) * 100));
            SetCurrentPage(p);
            if (const std::unique_ptr<TMetafile> page = FetchPage(p)) {
                page->StretchDraw(m_device->Canvas(), target);
                ++printed;
            }
            if (p < last)
                m_device->NewPage();
            if (m_cancelRequested) {
                m_device->Abort();
                printed = 0;
                break;
            }
        }
    } catch (...) {
        if (!alive)
            throw;
        finish();
        try {
            if (m_device->Printing())
                m_device->EndDoc();
        } catch (...) {
        }
        throw;
    }
    if (!alive) {
        // Freed meanwhile (its preview closed): a private device went with it; the shared one prints the pages
        // it has.
        window.reset();
        if (sharedDevice && sharedDevice->Printing())
            sharedDevice->EndDoc();
        return printed;
    }
    finish();
    if (m_parentReport)
        m_parentReport->RaiseAfterPrint();
    if (m_device->Printing())
        m_device->EndDoc();
    return printed;
}

void TQRPrinter::DiscardPages() {
    if (m_state == psBusy) {
        RequestCancel();
        m_discardPending = true;
        return;
    }
    discardNow();
}

void TQRPrinter::discardNow() {
    m_discardPending = false;
    m_pageList.FreePageStream();
    m_pageList.Clear();
    m_state = psIdle;
}

void TQRPrinter::SetOutlineTree(TQROutlineNodes *tree) {
    m_outlineTree = tree;
    m_pageList.Outline().AttachTree(tree);
}
