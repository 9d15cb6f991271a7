#include "report/engine/QRBand.h"

#include "report/engine/QRController.h"
#include "report/engine/QRPrintable.h"
#include "report/engine/QRReport.h"

#include <QPainter>
#include <QSet>

bool TQRCustomBand::OverflowBreak = false;

namespace {

// clang-format off
const char *const captions[] = {"Title", "Page Header", "Detail", "Page Footer", "Summary", "Group Header",
                                "Group Footer", "Sub Detail", "Column Header", "Overlay", "Wild", "Child"};
const char *const baseNames[] = {"TitleBand", "PageHeaderBand", "DetailBand", "PageFooterBand", "SummaryBand",
                                 "GroupHeaderBand", "GroupFooterBand", "SubDetailBand", "ColumnHeaderBand",
                                 "OverlayBand", "WildBand", "ChildBand"};
// clang-format on

bool validType(TQRBandType type) {
    return int(type) >= 0 && int(type) <= int(rbChild);
}

} // namespace

QString bandTypeCaption(TQRBandType type) {
    return validType(type) ? QString::fromLatin1(captions[int(type)]) : QString();
}

QString bandTypeBaseName(TQRBandType type) {
    return validType(type) ? QString::fromLatin1(baseNames[int(type)]) : QString();
}

// ---- TQRCustomBand ----

TQRCustomBand::TQRCustomBand(QObject *owner) : TQRBasePanel(owner), m_size(new TQRBandSize(this)) {
    SetColor(Qt::white);
    setBoundsRaw(0, 0, 0, 40);
    // The size starts as tall as the band, so a new band keeps its 40 pixels once it is arranged.
    m_size->SetUnits(TQRUnit::Pixels);
    m_size->SetHeight(40);
    m_size->SetUnits(UsesUSMeasurement() ? TQRUnit::Inches : TQRUnit::MM);
}

TQRCustomBand::~TQRCustomBand() {
    markDestroying();
    for (TQRControl *child : Controls())
        if (auto *printable = qobject_cast<TQRPrintable *>(child))
            printable->AttachToReport(nullptr);
    if (m_report && !m_report->Destroying())
        m_report->BandLeft(this);
    m_report = nullptr;
}

void TQRCustomBand::SetTransparentBand(bool on) {
    m_transparentBand = on;
    Invalidate();
}

void TQRCustomBand::SetParentFont(bool on) {
    m_parentFont = on;
    if (on)
        followReportFont();
}

void TQRCustomBand::followReportFont() {
    if (!m_parentFont || !m_report)
        return;
    m_followingFont = true;
    Font()->Assign(*m_report->Font());
    m_followingFont = false;
    for (TQRControl *child : Controls())
        child->ParentFontChanged();
}

void TQRCustomBand::FontChanged() {
    if (m_followingFont)
        return;
    m_parentFont = false;
    for (TQRControl *child : Controls())
        child->ParentFontChanged();
    Invalidate();
}

void TQRCustomBand::ParentFontChanged() {
    followReportFont();
}

void TQRCustomBand::reorderReport() {
    if (m_report && !m_report->Destroying()) {
        m_report->OrderBands();
        m_report->ArrangeBands();
    }
}

void TQRCustomBand::SetBandType(TQRBandType type) {
    if (!validType(type))
        return;
    m_bandType = type;
    reorderReport();
    Invalidate();
}

void TQRCustomBand::SetLinkBand(TQRCustomBand *band) {
    QSet<const TQRCustomBand *> seen;
    for (const TQRCustomBand *b = band; b && !seen.contains(b); b = b->m_linkBand) {
        if (b == this) {
            LastRefusal() = QStringLiteral("Circular linking not allowed");
            return;
        }
        seen.insert(b);
    }
    m_linkBand = band;
}

double TQRCustomBand::HeightWithLinks() const {
    double height = 0;
    QSet<const TQRCustomBand *> seen;
    for (const TQRCustomBand *b = this; b && !seen.contains(b); b = b->m_linkBand) {
        seen.insert(b);
        height += b->m_size->NativeValue(0);
    }
    return height;
}

TQRCustomBand *TQRCustomBand::ChildBand() const {
    if (!m_report)
        return nullptr;
    for (TQRCustomBand *band : m_report->OrderedBands()) {
        auto *child = qobject_cast<TQRChildBand *>(band);
        if (child && child->BandType() == rbChild && child->ParentBand() == this)
            return child;
    }
    return nullptr;
}

void TQRCustomBand::SetHasChild(bool on) {
    TQRCustomBand *child = ChildBand();
    if (on && !child) {
        if (!m_report)
            return;
        QObject *owner = parent() ? parent() : m_report.data();
        auto *band = new TQRChildBand(owner);
        // Named like a band the report makes, so a saved definition can refer to it.
        band->setObjectName(uniqueComponentName(owner, band->BaseName()));
        band->SetParentControl(ParentControl());
        band->SetParentBand(this);
    } else if (!on && child) {
        if (TQRCustomBand *grandchild = child->ChildBand())
            static_cast<TQRChildBand *>(grandchild)->SetParentBand(this);
        delete child;
    }
}

TQRBandType TQRCustomBand::EffectiveType() const {
    QSet<const TQRCustomBand *> seen;
    const TQRCustomBand *band = this;
    while (band && band->m_bandType == rbChild && !seen.contains(band)) {
        seen.insert(band);
        auto *child = qobject_cast<const TQRChildBand *>(band);
        band = child ? child->ParentBand() : nullptr;
    }
    return band && band->m_bandType != rbChild ? band->m_bandType : rbChild;
}

TCustomDezirUzu *TQRCustomBand::ParentReport() const {
    return m_report;
}

void TQRCustomBand::SetParentReport(TCustomDezirUzu *report) {
    m_report = report;
    m_size->SetHostReport(report);
    for (TQRControl *child : Controls())
        if (auto *printable = qobject_cast<TQRPrintable *>(child))
            printable->AttachToReport(report);
}

TQRControl *TQRCustomBand::ValidParent(TQRControl *parent) {
    if (qobject_cast<TQRCustomBand *>(parent))
        parent = parent->ParentControl();
    if (parent && !qobject_cast<TCustomDezirUzu *>(parent))
        throw EQRError(QStringLiteral("A band can only be placed on a report"));
    return parent;
}

void TQRCustomBand::ParentChanged(TQRControl *old) {
    if (auto *was = qobject_cast<TCustomDezirUzu *>(old); was && was == m_report) {
        SetParentReport(nullptr);
        was->BandLeft(this);
    }
    if (auto *report = qobject_cast<TCustomDezirUzu *>(ParentControl())) {
        SetParentReport(report);
        m_size->SetUnits(report->Units());
        m_size->SetZoom(report->Zoom());
        m_zoom = report->Zoom();
        followReportFont();
        report->BandArrived(this);
    }
}

void TQRCustomBand::ApplyZoom(qint32 zoom) {
    TQRBasePanel::ApplyZoom(zoom);
    m_size->SetZoom(zoom);
    m_size->PushSizeToControl();
}

void TQRCustomBand::PaintRuler(QPainter &painter, TQRUnit units) {
    if (m_report)
        SetCharFontSize(rnd(std::abs(m_report->Font()->Size())));
    TQRBasePanel::PaintRuler(painter, units);
}

void TQRCustomBand::Paint(QPainter &painter) {
    TQRBasePanel::Paint(painter);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(0, 0, Width() - 1, Height() - 1));
    const double factor = ScreenPixelsPerInch() / 254.0;
    Frame()->PaintFrame(painter, QRect(0, 0, Width(), Height()), factor, factor);
    QFont caption(QStringLiteral("Arial"));
    caption.setPixelSize(10);
    painter.setFont(caption);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawText(QRect(3, 0, Width() - 6, Height() - 2), Qt::AlignLeft | Qt::AlignBottom, DisplayName());
}

void TQRCustomBand::SetBounds(int left, int top, int width, int height) {
    if (Loading()) {
        if (height != 40)
            StreamedHeight = height;
        setBoundsRaw(left, top, width, Height());
        return;
    }
    if (!m_report) {
        setBoundsRaw(left, top, width, height);
        return;
    }
    if (m_size->SyncingParent() || SyncingParent) {
        setBoundsRaw(left, top, width, height);
        if (!m_report->ArrangingBands())
            m_report->ArrangeBands();
        for (TQRControl *child : Controls())
            if (auto *printable = qobject_cast<TQRPrintable *>(child); printable && printable->AlignToBand())
                printable->Notify(this, 2);
        return;
    }
    // Dragged on the design surface: the height goes into the size; the width follows the arrangement.
    if (height != Height()) {
        m_size->UsePixels();
        m_size->SetHeight(height);
        m_size->RestoreUnits();
    }
    if (left != Left() || top != Top()) {
        setBoundsRaw(left, top, Width(), Height());
        m_report->ArrangeBands();
    }
    m_report->DropDesignPage();
}

void TQRCustomBand::Loaded() {
    m_size->AfterLoad();
    if (StreamedHeight != 40 && Height() == 40)
        setBoundsRaw(Left(), Top(), Width(), StreamedHeight);
}

// ---- TQRBand ----

TQRBand::TQRBand(QObject *owner) : TQRCustomBand(owner) {}

// ---- TQRChildBand ----

TQRChildBand::TQRChildBand(QObject *owner) : TQRCustomBand(owner) {
    m_bandType = rbChild;
}

void TQRChildBand::SetParentBand(TQRCustomBand *band) {
    if (band) {
        if (!ParentReport()) {
            LastRefusal() = QStringLiteral("A child band takes a parent band only on a report");
            return;
        }
        QSet<const TQRCustomBand *> seen;
        for (const TQRCustomBand *b = band; b && !seen.contains(b);) {
            if (b == this) {
                LastRefusal() = QStringLiteral("Circular linking not allowed");
                return;
            }
            seen.insert(b);
            auto *child = qobject_cast<const TQRChildBand *>(b);
            b = child ? child->ParentBand() : nullptr;
        }
    }
    m_parentBand = band;
    reorderReport();
}
