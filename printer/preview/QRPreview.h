#pragma once

#include "printer/QRPreviewReport.h"

#include <QPixmap>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>

#include <functional>
#include <memory>

class OutlineTreeWidget;
class QTreeWidget;
class TMetafile;
class TQRPrinter;

enum TQRHyperlinkEventType { hetClick, hetMouseOver, hetMouseOut };
/// Raised for a page's hot spots; kept for reports that set it, though no page here carries one.
using TQRPreviewHyperlinkEvent =
    std::function<void(QObject *Sender, TQRHyperlinkEventType EventType, const QString &Link, bool &Handled)>;

/// The page a preview shows, sized to the zoomed page plus room for its border and shadow. It holds the
/// shown page's recording (nothing while the page is still being produced) and draws it stretched.
class TQRPreviewImage : public QWidget {
    Q_OBJECT
public:
    explicit TQRPreviewImage(QWidget *parent = nullptr);
    ~TQRPreviewImage() override;

    TQRPrinter *AttachedPrinter() const { return m_printer; }
    void SetAttachedPrinter(TQRPrinter *printer) { m_printer = printer; }
    const TMetafile *Recording() const { return m_recording.get(); }
    bool HasRecording() const { return bool(m_recording); }
    int Zoom() const { return m_zoom; }
    void SetZoom(int zoom) { m_zoom = zoom; }
    int PageNumber() const { return m_pageNumber; }

    /// Shows page `n` of the printer: none while it is not stored yet, or when it cannot be read.
    void ShowPage(int n);

    /// Draws a page into `rect`: white paper, the recording, a black border and a shadow in the last
    /// pixels. With neither a recording nor `drawFrame` nothing is drawn.
    static void PaintPage(const TMetafile *recording, QPainter &canvas, const QRect &rect, bool drawFrame);

    TQRPreviewHyperlinkEvent OnHyperlink;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<TQRPrinter> m_printer;
    std::unique_ptr<TMetafile> m_recording;
    int m_zoom = 100;
    int m_pageNumber = 1;
    QPixmap m_cache; // the drawn page at its current size, where that is small enough to keep
};

/// A scrolling control that shows one stored page of a report printer at a zoom of 2-2000 %, follows the
/// printer while pages are produced (its page-ready and progress notifications) and keeps the fit and
/// width modes across resizes. It holds its printer through a guarded pointer: a printer freed meanwhile
/// is simply gone.
class TQRPreview : public QScrollArea {
    Q_OBJECT
    Q_PROPERTY(int Zoom READ Zoom WRITE WriteZoom)
    Q_PROPERTY(int PageNumber READ PageNumber WRITE WritePageNumber)
public:
    using TQRPageAvailableEvent = std::function<void(TQRPreview *Sender, int PageNum)>;
    using TQRProgressUpdateEvent = std::function<void(TQRPreview *Sender, int Progress)>;

    explicit TQRPreview(QWidget *parent = nullptr);
    ~TQRPreview() override;

    TQRPreviewImage *PageImage() const { return m_image; }
    TQRPrinter *AttachedPrinter() const { return m_printer; }
    /// Shows `printer`'s pages (none detaches): this control becomes its progress receiver and page 1 shows.
    void AttachPrinter(TQRPrinter *printer);

    int Zoom() const { return m_zoom; }
    /// Takes 2-2000 (anything else is ignored) and leaves the fit and width modes.
    void WriteZoom(int zoom);
    TQRZoomState ZoomMode() const { return m_zoomMode; }
    int PageNumber() const { return m_pageNumber; }
    /// Goes to page `n`; ignored outside 1 ... PagesProduced, and for the page shown unless it is still empty.
    void WritePageNumber(int n);
    /// Shows page `n` again, whatever is shown now (a file was loaded into the printer).
    void ReloadPage(int n);

    QTreeWidget *Outline() const { return m_outline; }
    /// The tree the printer's outline is shown in (none: no tree).
    void SetOutline(QTreeWidget *tree);

    void ZoomToFit();
    void ZoomToWidth();
    void LayoutPageImage();
    /// The page's size in pixels at 100 %: the printer's paper, or Letter in millimetres without a printer.
    double PageWidthPixels() const;
    double PageLengthPixels() const;

    TQRPageAvailableEvent OnPageAvailable;
    TQRProgressUpdateEvent OnProgressUpdate;

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void pageReady(int n);
    void keepZoomMode();
    void dropOutline();

    TQRPreviewImage *m_image;
    QPointer<TQRPrinter> m_printer;
    int m_zoom = 100;
    TQRZoomState m_zoomMode = qrZoomOther;
    int m_pageNumber = 1;
    QTreeWidget *m_outline = nullptr;
    std::unique_ptr<OutlineTreeWidget> m_outlineNodes;
    QMetaObject::Connection m_outlineGone;
};
