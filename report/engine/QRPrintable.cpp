#include "report/engine/QRPrintable.h"

#include "printer/QRPrinter.h"
#include "report/engine/QRBand.h"
#include "report/engine/QRReport.h"

#include <QPainter>

TQRPrintable::TQRPrintable(QObject *owner)
    : TQRControl(owner), m_frame(new TQRFrame(this)), m_size(new TQRPrintableSize(this)) {
    SetColor(Qt::white);
    // Ten by ten pixels, in the size as well, so the control keeps them once it is placed.
    const TQRUnit units = m_size->Units();
    m_size->SetUnits(TQRUnit::Pixels);
    m_size->SetHeight(10);
    m_size->SetWidth(10);
    m_size->SetUnits(units);
}

TQRPrintable::~TQRPrintable() {
    markDestroying();
}

TCustomDezirUzu *TQRPrintable::ParentReport() const {
    return m_report;
}

TQRPrinter *TQRPrintable::ReportPrinter() const {
    return m_reportPrinter;
}

void TQRPrintable::SetPixelSize(int width, int height) {
    const TQRUnit units = m_size->Units();
    m_size->SetUnits(TQRUnit::Pixels);
    m_size->SetHeight(height);
    m_size->SetWidth(width);
    m_size->SetUnits(units);
}

TQRPrinter *TQRPrintable::PrintTarget() {
    if (!ShouldPrint())
        return nullptr;
    TCustomDezirUzu *report = ParentReport();
    if (!report)
        return nullptr;
    if (!RunActive())
        Prepare();
    return PagePrinter();
}

TQRPrinter *TQRPrintable::PagePrinter() const {
    if (ReportPrinter())
        return ReportPrinter();
    const TCustomDezirUzu *report = ParentReport();
    return report ? report->ReportPrinter.data() : nullptr;
}

void TQRPrintable::SetVisible(bool visible) {
    m_visible = visible;
    Invalidate();
}

void TQRPrintable::SetAlignment(TAlignment alignment) {
    m_alignment = alignment;
    if (m_alignToBand)
        ApplyAlignment();
    Invalidate();
}

void TQRPrintable::SetAlignToBand(bool on) {
    m_alignToBand = on;
    ApplyAlignment();
}

void TQRPrintable::SetTransparent(bool on) {
    if (on == m_transparent)
        return;
    m_transparent = on;
    Invalidate();
}

bool TQRPrintable::ShouldPrint() const {
    return Enabled() || !m_visible;
}

void TQRPrintable::ApplyAlignment() {
    if (!m_alignToBand || Loading())
        return;
    m_aligning = true;
    auto *band = qobject_cast<TQRCustomBand *>(ParentControl());
    switch (m_alignment) {
    case taLeftJustify:
        SetBounds(0, Top(), Width(), Height());
        break;
    case taRightJustify:
        if (band)
            SetBounds(band->Width() - Width(), Top(), Width(), Height());
        break;
    case taCenter:
        if (band)
            SetBounds((band->Width() - Width()) / 2, Top(), Width(), Height());
        break;
    }
    m_aligning = false;
}

void TQRPrintable::Prepare() {
    m_runActive = true;
    m_reportPrinter = m_report ? m_report->ReportPrinter.data() : nullptr;
}

void TQRPrintable::Print(int offsetX, int offsetY) {
    if (!m_report || !m_report->RenderPages || !m_frame->AnySide())
        return;
    TQRPrinter *printer = m_reportPrinter ? m_reportPrinter.data() : m_report->ReportPrinter.data();
    if (!printer || !printer->PageCanvas())
        return;
    const double left = m_size->NativeValue(1);
    const double top = m_size->NativeValue(2);
    const int x0 = printer->ToDeviceX(offsetX + left);
    const int y0 = printer->ToDeviceY(offsetY + top);
    const int x1 = printer->ToDeviceX(left + offsetX + m_size->NativeValue(3));
    const int y1 = printer->ToDeviceY(top + offsetY + m_size->NativeValue(0));
    m_frame->PaintFrame(*printer->PageCanvas(), QRect(x0, y0, x1 - x0, y1 - y0), printer->PixelsPerUnitX(),
                        printer->PixelsPerUnitY());
}

void TQRPrintable::Notify(QObject *sender, int code) {
    Q_UNUSED(sender);
    if (code == 2)
        ApplyAlignment();
}

void TQRPrintable::Unprepare() {
    m_runActive = false;
}

TQRControl *TQRPrintable::ValidParent(TQRControl *parent) {
    if (!qobject_cast<TQRCustomBand *>(parent) && !qobject_cast<TCustomDezirUzu *>(parent))
        throw EQRError(QStringLiteral("A printable control can only be placed on a band or a report"));
    return parent;
}

void TQRPrintable::ParentChanged(TQRControl *old) {
    Q_UNUSED(old);
    TQRControl *parent = ParentControl();
    if (auto *report = qobject_cast<TCustomDezirUzu *>(parent)) {
        m_size->SetUnits(report->Units());
        AttachToReport(report);
    } else if (auto *band = qobject_cast<TQRCustomBand *>(parent)) {
        m_size->SetUnits(band->Size()->Units());
        AttachToReport(band->ParentReport());
    } else {
        AttachToReport(nullptr);
    }
}

void TQRPrintable::AttachToReport(TCustomDezirUzu *report) {
    m_report = report;
    m_size->SetHostReport(report);
    if (report) {
        m_size->SetZoom(report->Zoom());
        m_size->PushSizeToControl();
    }
}

void TQRPrintable::SetBounds(int left, int top, int width, int height) {
    if (m_size->SyncingParent()) {
        setBoundsRaw(left, top, width, height);
        if (m_report)
            m_report->DropDesignPage();
    } else if (Loading()) {
        if (left)
            StreamedLeft = left;
        if (top)
            StreamedTop = top;
        if (width)
            StreamedWidth = width;
        if (height)
            StreamedHeight = height;
    } else {
        m_size->UsePixels();
        if (height != m_size->Height())
            m_size->SetHeight(height);
        if (width != m_size->Width())
            m_size->SetWidth(width);
        if (top != m_size->Top())
            m_size->SetTop(top);
        if (left != m_size->Left())
            m_size->SetLeft(left);
        m_size->RestoreUnits();
    }
    if (m_alignToBand && !m_aligning)
        ApplyAlignment();
}

void TQRPrintable::Loaded() {
    m_size->AfterLoad();
    setBoundsRaw(Left() ? Left() : StreamedLeft, Top() ? Top() : StreamedTop, Width() ? Width() : StreamedWidth,
                 Height() ? Height() : StreamedHeight);
    if (m_alignToBand)
        ApplyAlignment();
}

void TQRPrintable::Paint(QPainter &painter) {
    if (m_runActive)
        return;
    if (!m_transparent)
        painter.fillRect(QRect(0, 0, Width(), Height()), Qt::white);
    painter.setPen(Qt::black);
    const int r = Width() - 1;
    const int b = Height() - 1;
    painter.drawPolyline(QPolygon({QPoint(0, 2), QPoint(0, 0), QPoint(2, 0)}));
    painter.drawPolyline(QPolygon({QPoint(r - 2, 0), QPoint(r, 0), QPoint(r, 2)}));
    painter.drawPolyline(QPolygon({QPoint(0, b - 2), QPoint(0, b), QPoint(2, b)}));
    painter.drawPolyline(QPolygon({QPoint(r - 2, b), QPoint(r, b), QPoint(r, b - 2)}));
    const double factor = m_size->Zoom() * (ScreenPixelsPerInch() / 254.0) / 100;
    m_frame->PaintFrame(painter, QRect(0, 0, Width(), Height()), factor, factor);
}
