#include "report/engine/QRReport.h"

#include "printer/QRMessages.h"
#include "printer/drawing/Metafile.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace {

bool fullWidth(TQRBandType type) {
    return type == rbTitle || type == rbPageHeader || type == rbPageFooter || type == rbSummary || type == rbOverlay;
}

int clampToInt(qint64 v) {
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

// ---- TCustomDezirUzu ----

TCustomDezirUzu::TCustomDezirUzu(QObject *owner) : TQRBasePanel(owner), DataSets(std::make_unique<TQRDataSetList>()) {
    m_controller = new TQRCustomController(this, this);
    m_controller->SetHostReport(this);
    m_functions = new TQREvEnvironment(this);
    m_functions->AddEntry(QStringLiteral("PAGENUMBER"), QStringLiteral("0"));
    m_functions->AddEntry(QStringLiteral("COLUMNNUMBER"), QStringLiteral("0"));
    m_functions->AddEntry(QStringLiteral("REPORTTITLE"), QStringLiteral("''"));
    m_bands = new TDezirUzuBands(this);
    m_page = new TQRPage(this);
    m_printerSettings = new TDezirUzuPrinterSettings(this);
    m_secondSettings = new TDezirUzuPrinterSettings(this);
    SetColor(Qt::white);
    m_page->SetPaperSize(CurrentPaperSize());
    if (QLocale().language() == QLocale::Japanese && qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        const QFont standard = QGuiApplication::font();
        Font()->SetName(standard.family());
        if (standard.pointSizeF() > 0)
            Font()->SetSize(standard.pointSizeF());
    }
    m_measure = QImage(1, 1, QImage::Format_ARGB32);
    const int dotsPerMeter = rnd(ScreenPixelsPerInch() / 0.0254);
    m_measure.setDotsPerMeterX(dotsPerMeter);
    m_measure.setDotsPerMeterY(dotsPerMeter);
    m_page->PushSizeToControl();
}

TCustomDezirUzu::~TCustomDezirUzu() {
    markDestroying();
    m_orderedBands.clear();
}

TQRControl *TCustomDezirUzu::ValidParent(TQRControl *parent) {
    if (parent)
        throw EQRError(QStringLiteral("A report cannot be placed on another control"));
    return parent;
}

void TCustomDezirUzu::replaceController(TQRCustomController *controller) {
    delete m_controller;
    m_controller = controller;
    m_controller->SetHostReport(this);
}

TDataSet *TCustomDezirUzu::DataSet() const {
    auto *controller = qobject_cast<TQRController *>(m_controller);
    return controller ? controller->DataSet() : nullptr;
}

void TCustomDezirUzu::SetDataSet(TDataSet *dataSet) {
    if (auto *controller = qobject_cast<TQRController *>(m_controller))
        controller->SetDataSet(dataSet);
    else
        LastRefusal() = QStringLiteral("This report walks no data set");
}

bool TCustomDezirUzu::PrintIfEmpty() const {
    return m_controller->PrintIfEmpty();
}

void TCustomDezirUzu::SetPrintIfEmpty(bool on) {
    m_controller->SetPrintIfEmpty(on);
}

TQRUnit TCustomDezirUzu::Units() const {
    return m_page->Units();
}

void TCustomDezirUzu::applyUnitsToPrintables(TQRControl *holder, TQRUnit units) {
    for (TQRControl *child : holder->Controls())
        if (auto *printable = qobject_cast<TQRPrintable *>(child))
            printable->Size()->SetUnits(units);
}

void TCustomDezirUzu::SetUnits(TQRUnit units) {
    m_page->SetUnits(units);
    for (TQRControl *child : Controls()) {
        if (auto *band = qobject_cast<TQRCustomBand *>(child)) {
            band->Size()->SetUnits(units);
            band->Invalidate();
            applyUnitsToPrintables(band, units);
        }
    }
    applyUnitsToPrintables(this, units);
}

void TCustomDezirUzu::SetZoom(qint32 zoom) {
    if (zoom < 1 || zoom > 300)
        return;
    ApplyZoom(zoom);
}

void TCustomDezirUzu::ApplyZoom(qint32 zoom) {
    TQRBasePanel::ApplyZoom(zoom);
    m_page->SetZoom(zoom);
    m_page->PushSizeToControl();
    ArrangeBands();
}

void TCustomDezirUzu::SetBounds(int left, int top, int width, int height) {
    if (Loading() || m_page->Pushing()) {
        setBoundsRaw(left, top, width, height);
    } else {
        const bool resized = width != Width() || height != Height();
        setBoundsRaw(left, top, width, height);
        if (resized && m_page->PaperSize() == TQRPaperSize::Custom) {
            m_page->UsePixels();
            m_page->SetSyncingParent(true);
            m_page->SetWidth(Width());
            m_page->SetLength(Height());
            m_page->SetSyncingParent(false);
            m_page->RestoreUnits();
        }
    }
    ArrangeBands();
}

void TCustomDezirUzu::BandArrived(TQRCustomBand *band) {
    if (m_orderedBands.contains(band))
        return;
    m_orderedBands << band;
    OrderBands();
    ArrangeBands();
}

void TCustomDezirUzu::BandLeft(TQRCustomBand *band) {
    m_orderedBands.removeAll(band);
    ScratchBands.removeAll(band);
    OrderBands();
    ArrangeBands();
}

void TCustomDezirUzu::OrderBands() {
    if (Loading() || Destroying() || m_ordering)
        return;
    // Not under a running controller's loops: the bands are ordered once the run has ended.
    if (!Idle) {
        m_orderPending = true;
        return;
    }
    m_ordering = true;
    try {
        AssignControllerBands();
        m_controller->SetHostReport(this);
        m_controller->CollectChildren();
        ScratchBands = m_orderedBands;
        TQRBandOrder order(ScratchBands);
        const auto addType = [&](TQRBandType type) {
            for (TQRCustomBand *band : std::as_const(ScratchBands))
                if (band->BandType() == type)
                    order.Add(band);
        };
        addType(rbPageHeader);
        if (m_bands->HasTitle())
            addType(rbTitle);
        addType(rbColumnHeader);
        m_controller->AddBands(order);
        addType(rbPageFooter);
        for (TQRCustomBand *band : std::as_const(ScratchBands))
            order.Add(band);
        QList<TQRCustomBand *> bands;
        for (TQRCustomBand *band : order.Bands())
            if (band->ParentReport() == this)
                bands << band;
        m_orderedBands = bands;
        ScratchBands.clear();
    } catch (...) {
        m_ordering = false;
        throw;
    }
    m_ordering = false;
}

void TCustomDezirUzu::ArrangeBands() {
    if (Loading() || Destroying() || m_arranging)
        return;
    if (!Idle) {
        m_orderPending = true;
        return;
    }
    m_arranging = true;
    // In pixels, as on the design surface; every holder keeps its own unit.
    const auto pixels = [this](int index, bool isX) {
        return m_page->FromNative(TQRUnit::Pixels, isX, m_page->NativeValue(index));
    };
    const qint64 usable =
        qint64(Width()) - rnd(pixels(TQRPage::LeftMarginIndex, true) + pixels(TQRPage::RightMarginIndex, true));
    const qint64 columns = std::max(m_page->Columns(), 1);
    const qint64 space = rnd(pixels(TQRPage::ColumnSpaceIndex, true));
    const qint64 columnWidth = (usable - space * (columns - 1)) / columns;
    const int left = rnd(pixels(TQRPage::LeftMarginIndex, true));
    qint64 y = rnd(pixels(TQRPage::TopMarginIndex, false));
    for (TQRCustomBand *band : std::as_const(m_orderedBands)) {
        band->SyncingParent = true;
        band->PlaceAt(left, clampToInt(y));
        band->Size()->SetPixelWidth(clampToInt(fullWidth(band->EffectiveType()) ? usable : columnWidth));
        band->SyncingParent = false;
        y += band->Height();
    }
    m_arranging = false;
}

TQRCustomBand *TCustomDezirUzu::BandOfType(TQRBandType type) const {
    for (TQRCustomBand *band : m_orderedBands)
        if (band->BandType() == type)
            return band;
    return nullptr;
}

TQRBand *TCustomDezirUzu::CreateBand(TQRBandType type) {
    QObject *owner = parent() ? parent() : this;
    auto *band = new TQRBand(owner);
    band->SetParentControl(this);
    band->SetBandType(type);
    band->setObjectName(uniqueComponentName(owner, band->BaseName()));
    return band;
}

qint32 TCustomDezirUzu::TextWidth(const TQRFont &font, const QString &text) const {
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 0;
    const QFontMetrics metrics(font.ToQFont(), &m_measure);
    return metrics.horizontalAdvance(text) + 1;
}

qint32 TCustomDezirUzu::TextHeight(const TQRFont &font, const QString &text) const {
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 0;
    Q_UNUSED(text);
    const QFontMetrics metrics(font.ToQFont(), &m_measure);
    return metrics.height();
}

void TCustomDezirUzu::RegisterNotifyExpression(QObject *expression) {
    m_controller->NotifyTargets << expression;
}

bool TCustomDezirUzu::ContinuedRun = false;

void TCustomDezirUzu::Execute() {
    m_controller->Execute();
}

void TCustomDezirUzu::RaiseAfterPrint() {
    if (AfterPrint)
        AfterPrint(this);
}

void TCustomDezirUzu::DropDesignPage() {
    if (DesignPage) {
        DesignPage.reset();
        Invalidate();
    }
}

bool TCustomDezirUzu::event(QEvent *event) {
    const QEvent::Type type = event->type();
    if (type == qrmessages::PageReady) {
        if (static_cast<TQRMessageEvent *>(event)->Param() == 1 && ReportPrinter) {
            DesignPage = ReportPrinter->FetchPage(1);
            Invalidate();
        }
        return true;
    }
    if (type == qrmessages::PrintRequest) {
        Print();
        return true;
    }
    if (type == qrmessages::PreviewClose) {
        if (Idle && ReportPrinter) {
            TQRPrinter *printer = ReportPrinter;
            if (printer->PreviewShowing())
                printer->SetShowingPreview(false);
            ReportPrinter = nullptr;
            delete printer;
        } else if (!Idle) {
            Cancel();
        }
        return true;
    }
    return TQRBasePanel::event(event);
}

void TCustomDezirUzu::FontChanged() {
    for (TQRControl *child : Controls())
        child->ParentFontChanged();
    Invalidate();
}

void TCustomDezirUzu::Loaded() {
    m_page->AfterLoad();
    SetUnits(Units());
    OrderBands();
    ArrangeBands();
}

QList<TQRPrintable *> TCustomDezirUzu::AllPrintables() const {
    QList<TQRPrintable *> result;
    for (TQRControl *child : Controls())
        if (auto *printable = qobject_cast<TQRPrintable *>(child))
            result << printable;
    for (TQRControl *child : Controls())
        if (qobject_cast<TQRBasePanel *>(child))
            for (TQRControl *grandchild : child->Controls())
                if (auto *printable = qobject_cast<TQRPrintable *>(grandchild))
                    result << printable;
    return result;
}

void TCustomDezirUzu::PaintRuler(QPainter &painter, TQRUnit units) {
    SetCharFontSize(rnd(std::abs(Font()->Size())));
    TQRBasePanel::PaintRuler(painter, units);
}

void TCustomDezirUzu::Paint(QPainter &painter) {
    TQRBasePanel::Paint(painter);
    const int left = m_page->PixelValue(TQRPage::LeftMarginIndex, true);
    const int top = m_page->PixelValue(TQRPage::TopMarginIndex, false);
    const int right = Width() - m_page->PixelValue(TQRPage::RightMarginIndex, true);
    const int bottom = Height() - m_page->PixelValue(TQRPage::BottomMarginIndex, false);
    const int columnSpace = m_page->PixelValue(TQRPage::ColumnSpaceIndex, true);
    if (m_page->Ruler())
        PaintRuler(painter, Units());
    painter.setPen(QPen(QColor(0xC0, 0xC0, 0xC0), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
    const double factor = Zoom() * (ScreenPixelsPerInch() / 254.0) / 100;
    Frame()->PaintFrame(painter, QRect(left, top, right - left, bottom - top), factor, factor);
    const int columns = m_page->Columns();
    if (columns > 1 && columns < right - left) {
        const int width = (right - left - columnSpace * (columns - 1)) / columns;
        painter.setPen(QPen(QColor(0xC0, 0xC0, 0xC0), 1, Qt::DotLine));
        for (int c = 1; c < columns; ++c) {
            const int x = left + c * width + (c - 1) * columnSpace;
            painter.drawLine(x, top, x, bottom);
            painter.drawLine(x + columnSpace, top, x + columnSpace, bottom);
        }
    }
}

// ---- TDezirUzu ----

TDezirUzu::TDezirUzu(QObject *owner) : TCustomDezirUzu(owner) {
    replaceController(new TQRController(this, this));
}

TQRController *TDezirUzu::Controller() const {
    return static_cast<TQRController *>(MainController());
}

void TDezirUzu::AssignControllerBands() {
    TQRController *controller = Controller();
    controller->SetHeaderBand(BandOfType(rbTitle));
    controller->SetDetailBand(BandOfType(rbDetail));
    controller->SetFooterBand(BandOfType(rbSummary));
}

void TDezirUzu::Execute() {
    AssignControllerBands();
    Controller()->OnNeedData = OnNeedData;
    Controller()->Execute();
}

// ---- TDezirUzuBands ----

TDezirUzuBands::TDezirUzuBands(TCustomDezirUzu *report) : TQRPersistent(report), m_report(report) {}

bool TDezirUzuBands::Has(TQRBandType type) const {
    for (TQRControl *child : m_report->Controls())
        if (auto *band = qobject_cast<TQRCustomBand *>(child); band && band->BandType() == type)
            return true;
    return false;
}

void TDezirUzuBands::Set(TQRBandType type, bool on) {
    if (on == Has(type))
        return;
    if (on) {
        m_report->CreateBand(type);
        return;
    }
    for (TQRControl *child : m_report->Controls())
        if (auto *band = qobject_cast<TQRCustomBand *>(child); band && band->BandType() == type) {
            delete band;
            return;
        }
}

TQRCustomBand *TDezirUzuBands::BandOfType(TQRBandType type) const {
    return m_report->BandOfType(type);
}
