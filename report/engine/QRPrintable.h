#pragma once

#include "report/engine/QRControl.h"
#include "report/engine/QRUnits.h"

#include <QPen>
#include <QPointer>

#include <optional>

class TQRExportFilter;
class TQRPrinter;

/// The base of every control that prints on a report: labels, expressions, shapes, images, rich text. It
/// sits on a band or directly on the report, keeps its place and size in `Size` (report units), draws a
/// frame, aligns itself to its band, and takes part in the printing protocol:
///
///  1. `Prepare` once before a run;
///  2. `Print(offsetX, offsetY)` whenever its band prints (offsets: the report's cursor, native), adding
///     the offset to Size.Left and Size.Top to find its place on the page; a control that needs more height
///     asks its band (CanExpand, ExpandBand); one that has not printed all of its content sets ContentDone
///     to false and is asked again on the next column or page;
///  3. `Unprepare` after the run.
///
/// Descendants publish Alignment, AlignToBand and Transparent, which the base implements.
class TQRPrintable : public TQRControl {
    Q_OBJECT
    Q_PROPERTY(TQRFrame *Frame READ Frame)
    Q_PROPERTY(TQRPrintableSize *Size READ Size)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
public:
    explicit TQRPrintable(QObject *owner = nullptr);
    ~TQRPrintable() override;

    TQRFrame *Frame() const { return m_frame; }
    TQRPrintableSize *Size() const { return m_size; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);

    TAlignment Alignment() const { return m_alignment; }
    /// Stores it and re-aligns when aligned to the band.
    virtual void SetAlignment(TAlignment alignment);
    bool AlignToBand() const { return m_alignToBand; }
    void SetAlignToBand(bool on);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool on);

    TCustomDezirUzu *ParentReport() const override;
    TCustomDezirUzu *HostReport() const { return ParentReport(); }
    /// The report's printer, cached by Prepare.
    TQRPrinter *ReportPrinter() const;
    bool RunActive() const { return m_runActive; }
    /// False while part of the content waits for the next column or page.
    virtual bool ContentDone() const { return m_contentDone; }
    void SetContentDone(bool done) { m_contentDone = done; }
    /// True while ApplyAlignment moves the control.
    bool Aligning() const { return m_aligning; }

    /// Whether Print draws anything: enabled, or not visible.
    virtual bool ShouldPrint() const;
    /// Moves the control to the band's left edge, right edge or centre (pixels) when aligned to the band.
    virtual void ApplyAlignment();
    virtual void Prepare();
    /// Draws the frame around the control's place on the page (native offsets).
    virtual void Print(int offsetX, int offsetY);
    /// Code 2: the band was resized, so the control re-aligns.
    virtual void Notify(QObject *sender, int code);
    virtual void Unprepare();
    /// The height the control will need (pixels); the base leaves it unchanged.
    virtual void GetExpandedHeight(double &height) { Q_UNUSED(height); }
    /// The control's text for text output; the base leaves it unchanged.
    virtual void GetFieldString(QString &text) { Q_UNUSED(text); }

    // What a band asks of the controls on it beyond printing them. Controls of higher libraries answer.
    /// True for a control whose GetExpandedHeight the band measures before printing (rich text).
    virtual bool HasExpandedHeight() const { return false; }
    /// How far content that continues over columns or pages has got (a line or character index). A band
    /// finishes a control whose position does not move on a fresh column or page, so a control that sets
    /// ContentDone to false must let it grow while it makes progress.
    virtual qint64 ContentPosition() const { return 0; }
    /// Gives up the content still to print: the next print starts afresh.
    virtual void DropRemainingContent() { SetContentDone(true); }
    /// For a vertical line drawn over the whole stretched band (a vertical-line shape with Tag 1000): its pen
    /// (width in device pixels); none for every other control.
    virtual std::optional<QPen> StretchedLinePen() const { return std::nullopt; }
    /// Hands such a line to an export filter at (x, y), `height` device pixels long.
    virtual void ExportStretchedLine(TQRExportFilter &filter, double x, double y, int height) {
        Q_UNUSED(filter);
        Q_UNUSED(x);
        Q_UNUSED(y);
        Q_UNUSED(height);
    }
    /// True for a control with a picture that can be the page background (an image control).
    virtual bool HasPicture() const { return false; }
    /// Draws the picture stretched into `rect` (device pixels).
    virtual void StretchDrawPicture(QPainter &canvas, const QRect &rect) {
        Q_UNUSED(canvas);
        Q_UNUSED(rect);
    }

    void SetBounds(int left, int top, int width, int height) override;
    /// Attaches the control to a report (none: detaches it).
    void AttachToReport(TCustomDezirUzu *report);
    /// Draws the control on the design surface.
    virtual void Paint(QPainter &painter);

    // Bounds seen while loading, applied afterwards where the size gives none.
    qint32 StreamedLeft = 0;
    qint32 StreamedTop = 0;
    qint32 StreamedWidth = 0;
    qint32 StreamedHeight = 0;

protected:
    /// Sets the size in screen pixels whatever the units: a new control's default size.
    void SetPixelSize(int width, int height);
    /// The printer a Print draws on, the control prepared when no run prepared it; none when it cannot print.
    TQRPrinter *PrintTarget();
    /// The printer the control's page is drawn on: its own from Prepare, else its report's.
    TQRPrinter *PagePrinter() const;

    TQRControl *ValidParent(TQRControl *parent) override;
    void ParentChanged(TQRControl *old) override;
    void Loaded() override;

private:
    TQRFrame *m_frame;
    TQRPrintableSize *m_size;
    QPointer<TCustomDezirUzu> m_report;
    QPointer<TQRPrinter> m_reportPrinter;
    TAlignment m_alignment = taLeftJustify;
    bool m_alignToBand = false;
    bool m_aligning = false;
    bool m_transparent = false;
    bool m_visible = true;
    bool m_runActive = false;
    bool m_contentDone = true;
};
