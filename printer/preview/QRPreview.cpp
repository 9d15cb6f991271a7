#include "printer/preview/QRPreview.h"

#include "printer/QRMessages.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "printer/drawing/Units.h"
#include "printer/preview/OutlineTreeWidget.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTreeWidget>

namespace {

constexpr int MinZoom = 2;
constexpr int MaxZoom = 2000;
// The paper without a printer: Letter, its millimetres taken as pixels.
constexpr double LetterWidth = 215.9;
constexpr double LetterLength = 279.4;
// Pages up to this many pixels are kept drawn, so scrolling does not replay the recording.
constexpr qint64 CachedPixels = 12'000'000;

} // namespace

TQRPreviewImage::TQRPreviewImage(QWidget *parent) : QWidget(parent) {
    resize(100, 50);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

TQRPreviewImage::~TQRPreviewImage() = default;

void TQRPreviewImage::ShowPage(int n) {
    m_pageNumber = n;
    m_recording.reset();
    m_cache = QPixmap();
    if (m_printer) {
        try {
            m_recording = m_printer->FetchPage(n);
        } catch (...) {
            // A page that cannot be read shows as an empty place, as one still being produced does.
            m_recording.reset();
        }
    }
    update();
}

void TQRPreviewImage::PaintPage(const TMetafile *recording, QPainter &canvas, const QRect &rect, bool drawFrame) {
    if (!recording && !drawFrame)
        return;
    const int L = rect.left();
    const int T = rect.top();
    const int W = rect.width();
    const int H = rect.height();
    if (W < 5 || H < 5)
        return;
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.fillRect(QRect(L + 1, T + 1, W - 4, H - 4), Qt::white);
    if (recording) {
        canvas.save();
        canvas.setClipRect(QRect(L + 1, T + 1, W - 4, H - 4), Qt::IntersectClip);
        recording->StretchDraw(canvas, QRectF(L + 1, T + 1, W - 4, H - 4));
        canvas.restore();
    }
    canvas.setPen(QPen(Qt::black, 0));
    canvas.setBrush(Qt::NoBrush);
    const QPoint border[] = {{L, T}, {L, T + H - 3}, {L + W - 3, T + H - 3}, {L + W - 3, T}, {L, T}};
    canvas.drawPolyline(border, 5);
    canvas.fillRect(QRect(QPoint(L + W - 2, T + 2), QPoint(rect.right(), rect.bottom())), Qt::black);
    canvas.fillRect(QRect(QPoint(L + 2, T + H - 2), QPoint(rect.right(), rect.bottom())), Qt::black);
    canvas.restore();
}

void TQRPreviewImage::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    if (!m_recording)
        return;
    if (qint64(width()) * height() <= CachedPixels) {
        if (m_cache.size() != size()) {
            m_cache = QPixmap(size());
            m_cache.fill(Qt::transparent);
            QPainter cache(&m_cache);
            PaintPage(m_recording.get(), cache, rect(), false);
        }
        painter.drawPixmap(event->rect(), m_cache, event->rect());
        return;
    }
    painter.setClipRect(event->rect());
    PaintPage(m_recording.get(), painter, rect(), false);
}

TQRPreview::TQRPreview(QWidget *parent) : QScrollArea(parent), m_image(new TQRPreviewImage) {
    resize(250, 250);
    setWidgetResizable(false);
    setAlignment(Qt::AlignCenter);
    setBackgroundRole(QPalette::Dark);
    setWidget(m_image);
    m_image->move(0, 0);
}

TQRPreview::~TQRPreview() {
    AttachPrinter(nullptr);
}

void TQRPreview::AttachPrinter(TQRPrinter *printer) {
    if (TQRPrinter *old = m_printer) {
        const QPointer<TQRPrinter> guard(old);
        if (old->ProgressReceiver() == this) {
            old->SetShowingPreview(false); // its report may react; the printer may go meanwhile
            if (guard)
                old->SetProgressReceiver(nullptr);
        }
        if (guard && m_outlineNodes && old->OutlineTree() == m_outlineNodes.get())
            old->SetOutlineTree(nullptr);
    }
    m_printer = printer;
    m_image->SetAttachedPrinter(printer);
    if (printer) {
        printer->SetProgressReceiver(this);
        printer->SetShowingPreview(true);
    }
    ReloadPage(1);
    if (m_printer)
        m_printer->SetOutlineTree(m_outlineNodes.get());
}

void TQRPreview::WriteZoom(int zoom) {
    if (zoom < MinZoom || zoom > MaxZoom)
        return;
    m_zoomMode = qrZoomOther;
    m_zoom = zoom;
    LayoutPageImage();
}

void TQRPreview::WritePageNumber(int n) {
    if ((n == m_pageNumber && m_image->HasRecording()) || n <= 0 || !m_printer || n > m_printer->PagesProduced())
        return;
    ReloadPage(n);
}

void TQRPreview::ReloadPage(int n) {
    m_image->ShowPage(n);
    m_pageNumber = n;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void TQRPreview::SetOutline(QTreeWidget *tree) {
    dropOutline();
    m_outline = tree;
    if (tree) {
        m_outlineNodes = std::make_unique<OutlineTreeWidget>(tree);
        // A tree freed before this control takes its outline with it (it is only a QObject by then).
        m_outlineGone = connect(tree, &QObject::destroyed, this, [this] {
            m_outline = nullptr;
            dropOutline();
        });
    }
    if (m_printer)
        m_printer->SetOutlineTree(m_outlineNodes.get());
}

void TQRPreview::dropOutline() {
    if (m_printer && m_outlineNodes && m_printer->OutlineTree() == m_outlineNodes.get())
        m_printer->SetOutlineTree(nullptr);
    m_outlineNodes.reset();
    disconnect(m_outlineGone);
}

double TQRPreview::PageWidthPixels() const {
    return m_printer ? m_printer->ToDeviceWidth(m_printer->OrientedWidth()) : LetterWidth;
}

double TQRPreview::PageLengthPixels() const {
    return m_printer ? m_printer->ToDeviceHeight(m_printer->OrientedLength()) : LetterLength;
}

void TQRPreview::ZoomToFit() {
    const double pw = std::max(1.0, PageWidthPixels());
    const double pl = std::max(1.0, PageLengthPixels());
    WriteZoom(std::min(rnd(width() / pw * 95), rnd(height() / pl * 95)));
    LayoutPageImage();
    m_zoomMode = qrZoomToFit;
}

void TQRPreview::ZoomToWidth() {
    const double pw = std::max(1.0, PageWidthPixels());
    WriteZoom(rnd(width() / pw * (m_printer ? 90 : 95)));
    LayoutPageImage();
    m_zoomMode = qrZoomToWidth;
}

void TQRPreview::LayoutPageImage() {
    int w;
    int h;
    if (m_printer) {
        w = m_printer->ToDeviceWidth(m_printer->OrientedWidth() * m_zoom / 100.0) + 4;
        h = m_printer->ToDeviceHeight(m_printer->OrientedLength() * m_zoom / 100.0) + 4;
    } else {
        w = rnd(LetterWidth * m_zoom / 100) + 4;
        h = rnd(LetterLength * m_zoom / 100) + 4;
    }
    // A page narrower or shorter than the control stands in its middle (the scroll area's alignment).
    m_image->resize(std::max(5, w), std::max(5, h));
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    m_image->SetZoom(m_zoom);
}

void TQRPreview::keepZoomMode() {
    if (m_zoomMode == qrZoomToFit)
        ZoomToFit();
    else if (m_zoomMode == qrZoomToWidth)
        ZoomToWidth();
    LayoutPageImage();
}

void TQRPreview::resizeEvent(QResizeEvent *event) {
    QScrollArea::resizeEvent(event);
    keepZoomMode();
}

void TQRPreview::focusInEvent(QFocusEvent *event) {
    QScrollArea::focusInEvent(event);
    keepZoomMode();
}

bool TQRPreview::event(QEvent *event) {
    if (event->type() != qrmessages::PageReady && event->type() != qrmessages::Progress)
        return QScrollArea::event(event);
    // A notification of a printer this control no longer shows (or one that is gone) is dropped.
    const auto *message = static_cast<TQRMessageEvent *>(event);
    if (!m_printer || message->Printer() != m_printer)
        return true;
    const int param = message->Param() & 0xFFFF;
    if (event->type() == qrmessages::PageReady) {
        pageReady(param);
    } else if (OnProgressUpdate) {
        OnProgressUpdate(this, param);
    }
    return true;
}

void TQRPreview::pageReady(int n) {
    if (n == m_pageNumber && !m_image->HasRecording() && m_printer->PagesReady() >= m_image->PageNumber()) {
        const TQRPreviewReport *report = PreviewReportOf(m_printer);
        if (report && report->PrevInitialZoom() == qrZoomToWidth)
            ZoomToWidth();
        m_image->ShowPage(m_image->PageNumber());
    }
    if (OnPageAvailable)
        OnPageAvailable(this, n);
}
