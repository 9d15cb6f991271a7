#include "report/controls/QRLabel.h"

#include "printer/QRPrinter.h"
#include "report/controls/LabelLines.h"
#include "report/engine/QRBand.h"
#include "report/engine/QRExportFilter.h"
#include "report/engine/QRReport.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The report's reference device: a one-pixel image at the screen's resolution, as the report measures on.
const QImage &referenceDevice() {
    static QImage image;
    static int dpi = 0;
    if (dpi != ScreenPixelsPerInch()) {
        dpi = ScreenPixelsPerInch();
        image = QImage(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = rnd(dpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
    }
    return image;
}

// A frame's line width in native units.
double frameWidthNative(const TQRFrame &frame) {
    return rnd(frame.Width() / 72.0 * 254);
}

// The height an empty page offers its bands, in native units.
double pageRoom(const TCustomDezirUzu &report) {
    if (report.Exporting() && report.ExportFilter && report.ExportFilter->Continuous())
        return std::numeric_limits<double>::infinity();
    const TQRPage &page = *report.Page();
    return report.PaperBottom() - page.NativeValue(TQRPage::TopMarginIndex) -
           page.NativeValue(TQRPage::BottomMarginIndex) - report.PageFooterSpace;
}

QRect deviceRect(const TQRPrinter &printer, double left, double top, double right, double bottom) {
    const int x0 = printer.ToDeviceX(left);
    const int y0 = printer.ToDeviceY(top);
    return QRect(x0, y0, printer.ToDeviceX(right) - x0, printer.ToDeviceY(bottom) - y0);
}

} // namespace

TQRCustomLabel::TQRCustomLabel(QObject *owner) : TQRPrintable(owner), m_font(new TQRFont(this)) {
    m_font->OnChange = [this] { fontChanged(); };
}

TQRCustomLabel::~TQRCustomLabel() {
    m_font->OnChange = nullptr;
}

void TQRCustomLabel::SetAutoSize(bool on) {
    m_autoSize = on;
    rebuildOnChange();
}

void TQRCustomLabel::SetWordWrap(bool on) {
    m_wordWrap = on;
    rebuildOnChange();
}

void TQRCustomLabel::SetBiDiMode(TBiDiMode mode) {
    m_biDiMode = mode;
    m_parentBiDiMode = false;
    rebuildOnChange();
}

void TQRCustomLabel::SetParentFont(bool on) {
    m_parentFont = on;
    if (on)
        followParentFont();
}

qint32 TQRCustomLabel::FontSize() const {
    return rnd(m_font->Size());
}

void TQRCustomLabel::SetFontSize(qint32 points) {
    if (Loading())
        m_storedFontSize = points;
    else if (points > 0 && points != m_font->Size())
        m_font->SetSize(points);
}

TAlignment TQRCustomLabel::EffectiveAlignment() const {
    if (m_biDiMode != bdRightToLeft)
        return Alignment();
    switch (Alignment()) {
    case taLeftJustify:
        return taRightJustify;
    case taRightJustify:
        return taLeftJustify;
    case taCenter:
        break;
    }
    return taCenter;
}

void TQRCustomLabel::SetCaptionText(const QString &caption) {
    m_caption = caption;
    PrintText = caption;
    Formatted = false;
    rebuildOnChange();
}

void TQRCustomLabel::rebuildOnChange() {
    Formatted = false;
    if (!Loading() && !RunActive())
        BuildLines();
    Invalidate();
}

void TQRCustomLabel::fontChanged() {
    m_qfont.reset();
    m_referenceAdvances.reset();
    m_canvasMetrics = {};
    if (m_followingFont)
        return;
    m_parentFont = false;
    rebuildOnChange();
}

void TQRCustomLabel::followParentFont() {
    auto *panel = qobject_cast<TQRBasePanel *>(ParentControl());
    if (!m_parentFont || !panel)
        return;
    m_followingFont = true;
    m_font->Assign(*panel->Font());
    m_followingFont = false;
    Formatted = false;
}

void TQRCustomLabel::ParentFontChanged() {
    followParentFont();
    if (m_parentFont)
        rebuildOnChange();
}

void TQRCustomLabel::ParentChanged(TQRControl *old) {
    TQRPrintable::ParentChanged(old);
    followParentFont();
    rebuildOnChange();
}

void TQRCustomLabel::SetBounds(int left, int top, int width, int height) {
    const int before = Width();
    const bool pushed = Size()->SyncingParent();
    TQRPrintable::SetBounds(left, top, width, height);
    if (Width() == before)
        return;
    Formatted = false;
    // Lengths pushed from the size holder are the model's own; the lines follow them at the next print.
    if (!pushed && !Resizing && !Loading() && !RunActive())
        BuildLines();
}

void TQRCustomLabel::Loaded() {
    TQRPrintable::Loaded();
    if (m_storedFontSize > 0 && m_storedFontSize != m_font->Size()) {
        // The size survives a change of screen resolution; a font set this way is the label's own.
        m_font->SetSize(m_storedFontSize);
    }
    m_storedFontSize = 0;
}

const QFont &TQRCustomLabel::qfont() {
    if (!m_qfont)
        m_qfont = m_font->ToQFont();
    return *m_qfont;
}

int TQRCustomLabel::MeasureText(const QString &text) {
    TCustomDezirUzu *report = ParentReport();
    // As the report measures: the advance (rounded, halves up) plus one pixel.
    const int width = int(std::floor(referenceAdvances().width(text) + 0.5)) + (report ? 1 : 0);
    return qrcontrols::ZoomedWidth(width, Size()->Zoom());
}

int TQRCustomLabel::LineHeightPixels() {
    return qrcontrols::LineHeight(int(std::floor(referenceAdvances().metrics().height() + 0.5)), Size()->Zoom());
}

canvas::TextAdvances &TQRCustomLabel::referenceAdvances() {
    if (!m_referenceAdvances)
        m_referenceAdvances.emplace(qfont(), &referenceDevice());
    return *m_referenceAdvances;
}

void TQRCustomLabel::BuildLines() {
    if (!ParentControl())
        return;
    const auto measure = [this](const QString &text) { return MeasureText(text); };
    const qrcontrols::LineBreaking breaking{Width(), m_autoSize, m_wordWrap};
    OutputLines.clear();
    if (UsesCaption) {
        OutputLines = qrcontrols::BuildLines(PrintText, breaking, measure);
    } else if (SourceLines.isEmpty() && !RunActive()) {
        OutputLines << objectName();
    } else {
        for (const QString &source : std::as_const(SourceLines))
            OutputLines << (m_autoSize ? QStringList{source} : qrcontrols::BuildLines(source, breaking, measure));
    }
    TCustomDezirUzu *report = ParentReport();
    if (report && !Resizing) {
        const int lineHeight = LineHeightPixels();
        int height = Height();
        if ((UsesCaption || OutputLines.isEmpty()) && height < lineHeight)
            height = lineHeight;
        int left = Left();
        int width = Width();
        if (m_autoSize) {
            const double factor = ScreenPixelsPerInch() / 254.0 * Size()->Zoom() / 100;
            width = qrcontrols::AutoSizeWidth(OutputLines, measure, Frame()->Thickness(factor), Frame()->DrawLeft(),
                                              Frame()->DrawRight());
            left = qrcontrols::AutoSizeLeft(Left(), Width(), width, qtAlignment(EffectiveAlignment()));
        }
        if (left != Left() || width != Width() || height != Height()) {
            Resizing = true;
            try {
                SetBounds(left, Top(), width, height);
            } catch (...) {
                Resizing = false;
                throw;
            }
            Resizing = false;
        }
    }
    Formatted = true;
}

void TQRCustomLabel::Prepare() {
    TQRPrintable::Prepare();
    PrintText = m_caption;
    NextLineIndex = 0;
    SetContentDone(true);
    m_canvasMetrics = {};
    BuildLines();
}

void TQRCustomLabel::Unprepare() {
    TQRPrintable::Unprepare();
    NextLineIndex = 0;
    SetContentDone(true);
    m_canvasMetrics = {};
}

void TQRCustomLabel::DropRemainingContent() {
    NextLineIndex = qint32(OutputLines.size());
    SetContentDone(true);
}

const TQRCustomLabel::CanvasMetrics &TQRCustomLabel::canvasMetrics(const TQRPrinter &printer, const QPainter *canvas) {
    QPaintDevice *device = canvas ? canvas->device() : nullptr;
    const double dpiX = device ? device->logicalDpiX() : 0;
    const double dpiY = device ? device->logicalDpiY() : 0;
    CanvasMetrics &m = m_canvasMetrics;
    if (!m.advances || m.dpiX != dpiX || m.dpiY != dpiY || m.pixelsPerUnitY != printer.PixelsPerUnitY()) {
        m.dpiX = dpiX;
        m.dpiY = dpiY;
        m.pixelsPerUnitY = printer.PixelsPerUnitY();
        m.advances.emplace(qfont(), device);
        m.lineHeight = rnd(m.advances->metrics().height()) / printer.PixelsPerUnitY();
    }
    return m;
}

void TQRCustomLabel::drawLine(QPainter &canvas, const TQRPrinter &printer, const QString &line, double origin,
                              double width, double top) {
    if (line.isEmpty())
        return;
    canvas::TextAdvances &advances = *m_canvasMetrics.advances;
    double x = printer.ToDeviceX(origin);
    switch (EffectiveAlignment()) {
    case taLeftJustify:
        break;
    case taRightJustify:
        x = printer.ToDeviceX(origin + width) - advances.width(line);
        break;
    case taCenter:
        x = printer.ToDeviceX(origin + width / 2) - advances.width(line) / 2;
        break;
    }
    canvas::DrawText(canvas, QPointF(x, printer.ToDeviceY(top) + advances.metrics().ascent()), line, advances);
}

void TQRCustomLabel::Print(int offsetX, int offsetY) {
    TQRPrinter *printer = PrintTarget();
    if (!printer)
        return;
    TCustomDezirUzu *report = ParentReport();
    QPainter *canvas = printer->PageCanvas();
    TQRExportFilter *filter = report->Exporting() ? report->ExportFilter : nullptr;
    const bool render = report->RenderPages && canvas;
    // A label still printing the rest of its lines on a new column or page keeps the lines it broke: its
    // text is not made again (an expression's total may have been reset meanwhile).
    const bool continuing = !ContentDone();

    if (canvas)
        canvas->setFont(qfont());
    const double widthBefore = Size()->NativeValue(3);
    const QString textBefore = PrintText;
    bool textChanged = false;
    if (!continuing) {
        NextLineIndex = 0;
        if (OnPrint) {
            QString text = PrintText;
            OnPrint(this, text);
            if (canvas)
                canvas->setFont(qfont()); // the handler may have changed the font
            if (text != PrintText) {
                PrintText = text;
                textChanged = true;
            }
        }
        BuildLines();
    }
    const double lineHeight = canvasMetrics(*printer, canvas).lineHeight;
    if (canvas)
        canvas->setPen(m_font->Color()); // text takes the font's colour, whatever drew last

    double x = Size()->NativeValue(1) + offsetX;
    double y = Size()->NativeValue(2) + offsetY;
    const double width = Size()->NativeValue(3);
    const double height = Size()->NativeValue(0);
    const bool opaque = !Transparent();
    if (filter && opaque && Color() != QColor(Qt::white))
        ExportRectangle(*filter, deviceRect(*printer, x, y, x + width, y + height), Color());
    if (render && opaque)
        canvas->fillRect(deviceRect(*printer, x, y, x + width, y + height), Color());

    const TQRFrame &frame = *Frame();
    const double frameWidth = frame.AnySide() ? frameWidthNative(frame) : 0;
    if (frame.DrawTop())
        y += frameWidth;
    if (frame.DrawLeft())
        x += frameWidth;

    double bottom = y + height + 1;
    double origin = x;
    if (m_autoSize && EffectiveAlignment() == taRightJustify)
        origin = x - (width - widthBefore);
    else if (m_autoSize && EffectiveAlignment() == taCenter)
        origin = x - (width - widthBefore) / 2;

    auto *band = qobject_cast<TQRCustomBand *>(ParentControl());
    double stretch = 0;
    bool stretched = false;
    double lineTop = y;
    qint32 placed = 0;
    if (render && m_biDiMode != bdLeftToRight)
        canvas->setLayoutDirection(Qt::RightToLeft);
    while (NextLineIndex < OutputLines.size()) {
        if (lineTop + lineHeight > bottom) {
            if (!m_autoStretch || !band || !band->CanExpand(lineHeight))
                break;
            const double before = stretch;
            band->ExpandBand(lineHeight, stretch, stretched);
            if (stretch <= before)
                break; // the band did not grow: nothing more fits
            bottom = y + height + 1 + stretch;
            if (render && opaque)
                canvas->fillRect(deviceRect(*printer, x, y + height + before, x + width, y + height + stretch),
                                 Color());
            if (lineTop + lineHeight > bottom)
                continue;
        }
        const QString &line = OutputLines[NextLineIndex];
        if (render)
            drawLine(*canvas, *printer, line, origin, width, lineTop);
        if (filter) {
            const TAlignment alignment = EffectiveAlignment();
            const double at = alignment == taRightJustify ? origin + width
                              : alignment == taCenter     ? origin + width / 2
                                                          : origin;
            filter->TextOut(at, lineTop, qfont(), Color(), alignment, line);
        }
        ++NextLineIndex;
        ++placed;
        lineTop += lineHeight;
    }
    if (render && m_biDiMode != bdLeftToRight)
        canvas->setLayoutDirection(Qt::LeftToRight);

    const bool remaining = NextLineIndex < OutputLines.size();
    // The rest goes to the next column or page; but a line taller than an empty page, or one that a fresh
    // column could not take, will never fit anywhere: the rest is dropped rather than asking for pages
    // without end.
    if (remaining && m_autoStretch && !(continuing && placed == 0) && lineHeight <= pageRoom(*report)) {
        SetContentDone(false);
    } else {
        SetContentDone(true);
        NextLineIndex = qint32(OutputLines.size());
    }

    if (canvas)
        canvas->setClipping(false);
    if (textChanged)
        PrintText = textBefore;

    if (frame.AnySide() && (report->RenderPages || filter) && canvas)
        frame.PaintFrame(*canvas, deviceRect(*printer, x - frameWidth, y - frameWidth, x + width, y + height + stretch),
                         printer->PixelsPerUnitX(), printer->PixelsPerUnitY());
}

void TQRCustomLabel::Paint(QPainter &painter) {
    if (RunActive())
        return;
    // Background, corner marks and frame first; the lines go over them.
    TQRPrintable::Paint(painter);
    const qint32 zoom = Size()->Zoom();
    QFont font = qfont();
    font.setPointSizeF(std::max(1.0, std::round(std::abs(m_font->Size()) * zoom / 100)));
    painter.save();
    painter.setFont(font);
    painter.setPen(m_font->Color());
    const QFontMetrics metrics(font, painter.device());
    const TQRFrame &frame = *Frame();
    const int offset = frame.AnySide() ? rnd(zoom * (frame.Width() / 72.0 * ScreenPixelsPerInch()) / 100) : 0;
    const int x = frame.DrawLeft() ? offset : 0;
    int y = frame.DrawTop() ? offset : 0;
    for (const QString &line : std::as_const(OutputLines)) {
        int left = x;
        if (EffectiveAlignment() == taRightJustify)
            left = Width() - metrics.horizontalAdvance(line);
        else if (EffectiveAlignment() == taCenter)
            left = (Width() - metrics.horizontalAdvance(line)) / 2;
        painter.drawText(QPoint(left, y + metrics.ascent()), line);
        y += metrics.height();
    }
    painter.restore();
}

TQRLabel::TQRLabel(QObject *owner) : TQRCustomLabel(owner) {}
