#include "report/controls/QRRichText.h"

#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "report/controls/QRImage.h"
#include "report/engine/QRBand.h"
#include "report/engine/QRExportFilter.h"
#include "report/engine/QRReport.h"
#include "store/DataSet.h"
#include "store/DatabaseError.h"
#include "store/Field.h"

#include <QImage>
#include <QPainter>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <limits>

using qrcontrols::DeviceToTwips;
using qrcontrols::RichEditRange;

namespace {

// Taller than any document is laid out: a rectangle that measures the whole of one.
constexpr int kUnboundedTwips = std::numeric_limits<int>::max() / 4;

// A device of the screen's resolution, to measure on when there is no page.
QPaintDevice *screenDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.setDotsPerMeterX(rnd(96 / 0.0254));
        image.setDotsPerMeterY(rnd(96 / 0.0254));
        return image;
    }();
    return &device;
}

int dpiOf(int dpi) {
    return dpi > 0 ? dpi : 96;
}

bool isMemoOrBlob(const TField *field) {
    return field && (field->DataType() == ftMemo || field->DataType() == ftBlob);
}

} // namespace

// ---- TQRRichEdit ----

TQRRichEdit::TQRRichEdit(QObject *owner) : QObject(owner), m_font(new TQRFont(this)) {
    m_font->OnChange = [this] { formatChanged(); };
}

TQRRichEdit::~TQRRichEdit() = default;

QStringList TQRRichEdit::Lines() const {
    if (m_text.isEmpty())
        return {};
    return m_text.split(QLatin1Char('\n'));
}

void TQRRichEdit::SetLines(const QStringList &lines) {
    SetText(lines.join(QLatin1Char('\n')));
}

void TQRRichEdit::SetText(const QString &text) {
    QString clean = text;
    clean.remove(QLatin1Char('\r'));
    // The same content again (the same record printed on) keeps its layout.
    if (clean == m_text)
        return;
    m_text = clean;
    m_contentDirty = true;
}

void TQRRichEdit::SetAlignment(TAlignment alignment) {
    if (alignment < taLeftJustify || alignment > taCenter)
        return;
    m_alignment = alignment;
    formatChanged();
}

void TQRRichEdit::SetImageFolder(const QString &folder) {
    if (folder == m_imageFolder)
        return;
    m_imageFolder = folder;
    m_range.document()->setImageFolder(folder);
    // Pictures already asked for were answered for the old folder.
    m_contentDirty = true;
}

RichEditRange &TQRRichEdit::Range() {
    if (m_formatDirty) {
        m_range.document()->setDefaultFont(m_font->ToQFont());
        QTextOption option = m_range.document()->defaultTextOption();
        option.setAlignment(qtAlignment(m_alignment));
        m_range.document()->setDefaultTextOption(option);
        m_formatDirty = false;
        m_contentDirty = true; // HTML takes the default font when it is parsed
    }
    if (m_contentDirty) {
        m_range.SetContent(m_text);
        m_contentDirty = false;
    }
    return m_range;
}

// ---- TQRCustomRichText ----

struct TQRCustomRichText::Place {
    QPaintDevice *device = nullptr;
    int dpiX = 96;
    int dpiY = 96;
    /// The rectangle in twips.
    QRect rect;
};

TQRCustomRichText::TQRCustomRichText(QObject *owner) : TQRPrintable(owner), m_editor(new TQRRichEdit(this)) {
    SetBounds(Left(), Top(), 100, 100);
}

TQRCustomRichText::~TQRCustomRichText() = default;

void TQRCustomRichText::SetSourceRichEdit(TQRRichEdit *source) {
    m_source = source == m_editor ? nullptr : source;
}

void TQRCustomRichText::SetAlignment(TAlignment alignment) {
    TQRPrintable::SetAlignment(alignment);
    m_editor->SetAlignment(alignment);
}

void TQRCustomRichText::SetColor(const QColor &color) {
    TQRPrintable::SetColor(color);
    m_editor->SetColor(color);
}

TQRCustomRichText::Place TQRCustomRichText::place(const TQRPrinter *printer, QPaintDevice *device, double x, double y,
                                                  double height) const {
    Place p;
    p.device = device ? device : screenDevice();
    p.dpiX = dpiOf(p.device->logicalDpiX());
    p.dpiY = dpiOf(p.device->logicalDpiY());
    const double width = Size()->NativeValue(3);
    auto toX = [&](double v) { return printer ? printer->ToDeviceX(v) : rnd(v * 96 / 254.0); };
    auto toY = [&](double v) { return printer ? printer->ToDeviceY(v) : rnd(v * 96 / 254.0); };
    const int left = DeviceToTwips(toX(x), p.dpiX);
    const int top = DeviceToTwips(toY(y), p.dpiY);
    const int right = DeviceToTwips(toX(x + width), p.dpiX);
    const int bottom = DeviceToTwips(toY(y + height), p.dpiY);
    p.rect = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
    return p;
}

void TQRCustomRichText::Print(int offsetX, int offsetY) {
    TQRPrinter *printer = PrintTarget();
    if (!printer)
        return;
    TCustomDezirUzu *report = ParentReport();
    QPainter *canvas = printer->PageCanvas();
    const bool render = report->RenderPages && canvas;
    const bool continuing = !ContentDone();

    LoadContent();
    TQRRichEdit &source = Source();
    RichEditRange &range = source.Range();
    const int length = range.TextLength();
    if (!continuing)
        ContinueAt = 0;
    const int first = std::clamp(ContinueAt, 0, length);

    const double x = Size()->NativeValue(1) + offsetX;
    const double y = Size()->NativeValue(2) + offsetY;
    const double height = Size()->NativeValue(0);
    Place p = place(printer, canvas ? canvas->device() : printer->Handle(), x, y, height);
    const QColor textColor = source.Font()->Color();

    auto format = [&](QPainter *painter, bool force) {
        RichEditRange::Request request;
        request.device = p.device;
        request.painter = painter;
        request.rect = p.rect;
        request.first = first;
        request.forceFirstLine = force;
        request.textColor = textColor;
        return range.FormatRange(request);
    };
    // Everything fitted: the answer is the end of the text (taken as it comes, -1 is below any length and
    // would stretch the band to the page's bottom).
    auto reached = [&](const RichEditRange::Result &result) {
        return result.next == RichEditRange::AllFits ? length : std::min(result.next, length);
    };

    int next = reached(format(nullptr, false));
    auto *band = qobject_cast<TQRCustomBand *>(ParentControl());
    if (next < length && m_autoStretch && band && length > 0) {
        SetContentDone(false);
        double stretch = 0;
        bool stretched = false;
        while (next < length && band->CanExpand(StretchStep)) {
            const double before = stretch;
            band->ExpandBand(StretchStep, stretch, stretched);
            if (stretch <= before)
                break;
            const int bottom = DeviceToTwips(printer->ToDeviceY(y + height + stretch), p.dpiY);
            p.rect.setBottom(bottom - 1);
            next = reached(format(nullptr, false));
        }
        // Nothing placed on a fresh column or page (where the band began, or where it continues): the piece is
        // taller than any page, so it is placed cut rather than carried on for ever.
        const bool fresh = continuing || report->CursorY <= report->ColumnTop;
        const bool force = next == first && fresh;
        // Drawn once, into the final rectangle: a page holds each character once.
        next = reached(format(render ? canvas : nullptr, force));
        if (report->Exporting() && report->ExportFilter)
            exportImage(*report, *printer, p.device, p.rect, first, force);
        if (next >= length) {
            ContinueAt = length;
            SetContentDone(true);
        } else {
            ContinueAt = next;
        }
    } else {
        next = reached(format(render ? canvas : nullptr, false));
        if (report->Exporting() && report->ExportFilter)
            exportImage(*report, *printer, p.device, p.rect, first, false);
        ContinueAt = next;
        SetContentDone(true);
        TQRPrintable::Print(offsetX, offsetY);
    }
    if (ContentDone())
        range.Release();
}

void TQRCustomRichText::exportImage(TCustomDezirUzu &report, TQRPrinter &printer, QPaintDevice *device,
                                    const QRect &rect, int first, bool force) {
    static int counter = 0; // one name per exported picture in the process
    const int dpiX = dpiOf(device->logicalDpiX());
    const int dpiY = dpiOf(device->logicalDpiY());
    const int width = std::max(1, qrcontrols::TwipsToDevice(rect.width(), dpiX));
    const int height = std::max(1, qrcontrols::TwipsToDevice(rect.height(), dpiY));
    TMetafile metafile(width, height, dpiX, dpiY);
    {
        TMetafileCanvas recording(metafile);
        RichEditRange::Request request;
        request.device = device;
        request.painter = &recording.Painter();
        request.rect = QRect(0, 0, rect.width(), rect.height());
        request.first = first;
        request.forceFirstLine = force;
        request.textColor = Source().Font()->Color();
        Source().Range().FormatRange(request);
    }
    TQRImage image;
    image.setObjectName(QStringLiteral("%1_%2").arg(objectName()).arg(++counter));
    image.SetAutoSize(true);
    image.LoadPicture(metafile.Bytes());
    const double fx = printer.PixelsPerUnitX() > 0 ? printer.PixelsPerUnitX() : 96 / 254.0;
    const double fy = printer.PixelsPerUnitY() > 0 ? printer.PixelsPerUnitY() : 96 / 254.0;
    image.Size()->SetValues({height / fy, Size()->NativeValue(1), Size()->NativeValue(2), width / fx});
    const int deviceX = qrcontrols::TwipsToDevice(rect.left(), dpiX);
    const int deviceY = qrcontrols::TwipsToDevice(rect.top(), dpiY);
    report.ExportFilter->PutGraphic(&image, deviceX, deviceY);
}

void TQRCustomRichText::GetExpandedHeight(double &height) {
    QString ignored;
    GetFieldString(ignored); // a data-bound control loads its record's document
    LoadContent();
    const TQRPrinter *printer = PagePrinter();
    QPainter *canvas = printer ? printer->PageCanvas() : nullptr;
    const double designHeight = Size()->NativeValue(0);
    const Place p = place(printer, canvas ? canvas->device() : nullptr, Size()->NativeValue(1), Size()->NativeValue(2),
                          designHeight);
    TQRRichEdit &source = Source();
    RichEditRange &range = source.Range();
    qint64 bottom = p.rect.top() + p.rect.height();
    if (range.TextLength() > 0) {
        RichEditRange::Request request;
        request.device = p.device;
        request.rect = QRect(p.rect.left(), p.rect.top(), p.rect.width(), kUnboundedTwips);
        const RichEditRange::Result whole = range.FormatRange(request);
        // The design height grown in whole stretch steps until everything fits, as a print grows the band;
        // worked out at once rather than by measuring step after step.
        const double pixelsPerUnit = printer && printer->PixelsPerUnitY() > 0 ? printer->PixelsPerUnitY() : 96 / 254.0;
        const qint64 step = std::max<qint64>(1, std::llround(StretchStep * pixelsPerUnit * 1440 / p.dpiY));
        const qint64 missing = qint64(whole.heightTwips) - p.rect.height();
        if (missing > 0)
            bottom += (missing + step - 1) / step * step;
    }
    // Screen pixels, which the band turns back into native units.
    height = double(bottom - p.rect.top()) / 1440.0 * 96.0;
    range.Release();
}

void TQRCustomRichText::DropRemainingContent() {
    ContinueAt = Source().TextLength();
    SetContentDone(true);
    Source().Release();
}

void TQRCustomRichText::Paint(QPainter &painter) {
    TQRPrintable::Paint(painter);
    if (RunActive())
        return;
    RichEditRange &range = Source().Range();
    QPaintDevice *device = painter.device() ? painter.device() : screenDevice();
    const int dpiX = dpiOf(device->logicalDpiX());
    const int dpiY = dpiOf(device->logicalDpiY());
    RichEditRange::Request request;
    request.device = device;
    request.painter = &painter;
    request.rect = QRect(0, 0, DeviceToTwips(Width(), dpiX), DeviceToTwips(Height(), dpiY));
    request.textColor = Source().Font()->Color();
    range.FormatRange(request);
}

// ---- TQRRichText ----

TQRRichText::TQRRichText(QObject *owner) : TQRCustomRichText(owner) {}

// ---- TQRDBRichText ----

TQRDBRichText::TQRDBRichText(QObject *owner) : TQRCustomRichText(owner) {}

TDataSet *TQRDBRichText::DataSet() const {
    return m_dataSet.data();
}

void TQRDBRichText::SetDataSet(TDataSet *dataSet) {
    m_dataSet = dataSet;
}

TField *TQRDBRichText::Field() const {
    if (!RunActive() || !m_dataSet || m_dataField.isEmpty())
        return nullptr;
    return m_dataSet->FindField(m_dataField);
}

void TQRDBRichText::Prepare() {
    TQRCustomRichText::Prepare();
    if (isMemoOrBlob(Field()))
        Editor()->SetText(QString());
}

void TQRDBRichText::LoadContent() {
    TField *field = Field();
    if (!isMemoOrBlob(field))
        return;
    QString content;
    try {
        if (!field->IsNull())
            content = field->DataType() == ftMemo ? field->AsString() : QString::fromUtf8(field->AsBytes());
    } catch (const EDatabaseError &) {
        content.clear(); // an unreadable field prints as empty
    }
    Editor()->SetText(content);
}

void TQRDBRichText::GetFieldString(QString &text) {
    if (!ShouldPrint())
        return;
    Prepare();
    TField *field = Field();
    if (!field) {
        text.clear();
        return;
    }
    if (isMemoOrBlob(field)) {
        LoadContent();
        return;
    }
    try {
        text = field->DisplayText();
    } catch (const EDatabaseError &) {
        text.clear();
    }
}
