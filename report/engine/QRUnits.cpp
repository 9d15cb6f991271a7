#include "report/engine/QRUnits.h"

#include "report/engine/QRBand.h"
#include "report/engine/QRPrintable.h"
#include "report/engine/QRReport.h"

#include <QLocale>

#include <cmath>

namespace {

int screenDpi = 96;

// Character cell of the Characters unit for a font of `s` points, in millimetres.
double charWidth(double s) {
    return 80 / s / 2.54;
}
double charHeight(double s) {
    return 145.3 / s / 2.54;
}

bool usableLength(double native) {
    return std::isfinite(native) && std::fabs(native) <= MaxNativeLength;
}

// Sets a holder's SyncingParent for one push.
class Syncing {
public:
    explicit Syncing(TQRUnitBase &holder) : m_holder(holder), m_was(holder.SyncingParent()) {
        holder.SetSyncingParent(true);
    }
    ~Syncing() { m_holder.SetSyncingParent(m_was); }

private:
    TQRUnitBase &m_holder;
    bool m_was;
};

int toPixels(const TQRUnitBase &holder, int index, bool isX) {
    return holder.PixelValue(index, isX);
}

} // namespace

int ScreenPixelsPerInch() {
    return screenDpi;
}

void SetScreenPixelsPerInch(int dpi) {
    if (dpi >= 1 && dpi <= 10000)
        screenDpi = dpi;
}

bool UsesUSMeasurement() {
    return QLocale().measurementSystem() == QLocale::ImperialUSSystem;
}

// ---- TQRUnitBase ----

TQRUnitBase::TQRUnitBase(int valueCount, QObject *parent)
    : TQRPersistent(parent), m_screenDpi(ScreenPixelsPerInch()),
      m_units(UsesUSMeasurement() ? TQRUnit::Inches : TQRUnit::MM), m_stashedUnits(m_units), m_values(valueCount, 0.0) {
}

void TQRUnitBase::SetUnits(TQRUnit units) {
    m_units = units;
}

TCustomDezirUzu *TQRUnitBase::HostReport() const {
    return m_hostReport;
}

void TQRUnitBase::SetHostReport(TCustomDezirUzu *report) {
    m_hostReport = report;
}

void TQRUnitBase::SetZoom(qint32 zoom) {
    if (zoom >= 1)
        m_zoom = zoom;
}

double TQRUnitBase::CharacterPointSize() const {
    const double s = m_hostReport ? std::fabs(m_hostReport->Font()->Size()) : 10;
    return s > 0 ? s : 10;
}

double TQRUnitBase::FromNative(TQRUnit unit, bool isX, double value) const {
    switch (unit) {
    case TQRUnit::MM:
        return value / 10;
    case TQRUnit::Inches:
        return value / 254;
    case TQRUnit::Pixels:
        return value / (254.0 / m_screenDpi) * m_zoom / 100;
    case TQRUnit::Characters: {
        const double s = CharacterPointSize();
        return value / (isX ? charWidth(s) : charHeight(s)) / 10;
    }
    case TQRUnit::Native:
        break;
    }
    return value;
}

double TQRUnitBase::ToNative(TQRUnit unit, bool isX, double value) const {
    switch (unit) {
    case TQRUnit::MM:
        return value * 10;
    case TQRUnit::Inches:
        return value * 254;
    case TQRUnit::Pixels:
        return value * (254.0 / m_screenDpi) / m_zoom * 100;
    case TQRUnit::Characters: {
        const double s = CharacterPointSize();
        return value * (isX ? charWidth(s) : charHeight(s)) * 10;
    }
    case TQRUnit::Native:
        break;
    }
    return value;
}

void TQRUnitBase::UsePixels() {
    if (m_pixelDepth++ == 0)
        m_stashedUnits = m_units;
    SetUnits(TQRUnit::Pixels);
}

void TQRUnitBase::RestoreUnits() {
    if (m_pixelDepth > 0 && --m_pixelDepth > 0)
        return;
    SetUnits(m_stashedUnits);
}

bool TQRUnitBase::SetPixelValue(int index, bool isX, double pixels) {
    const double native = ToNative(TQRUnit::Pixels, isX, pixels);
    if (!usableLength(native))
        return false;
    m_values[index] = native;
    changed();
    return true;
}

QList<double> TQRUnitBase::Values() const {
    return QList<double>(m_values.cbegin(), m_values.cend());
}

void TQRUnitBase::SetValues(const QList<double> &values) {
    if (values.size() != m_values.size())
        throw EQRError(QStringLiteral("Values needs %1 numbers, not %2").arg(m_values.size()).arg(values.size()));
    for (double v : values)
        if (!usableLength(v))
            throw EQRError(QStringLiteral("Values: %1 is not a length (finite, at most %2 in absolute value)")
                               .arg(v)
                               .arg(MaxNativeLength));
    for (int i = 0; i < values.size(); ++i)
        m_values[i] = values[i];
    PushSizeToControl();
    changed();
}

double TQRUnitBase::GetValue(int index, bool isX) const {
    return FromNative(m_units, isX, m_values[index]);
}

bool TQRUnitBase::SetValue(int index, bool isX, double value) {
    const double native = ToNative(m_units, isX, value);
    if (!usableLength(native))
        return false;
    m_values[index] = native;
    changed();
    return true;
}

// ---- TQRBandSize ----

TQRBandSize::TQRBandSize(TQRCustomBand *band) : TQRUnitBase(2, band), m_band(band) {}

void TQRBandSize::SetHeight(double value) {
    if (SetValue(0, false, value))
        PushSizeToControl();
}

void TQRBandSize::SetWidth(double value) {
    if (SetValue(1, true, value))
        PushSizeToControl();
}

void TQRBandSize::SetPixelWidth(int pixels) {
    if (SetPixelValue(1, true, pixels))
        PushSizeToControl();
}

void TQRBandSize::PushSizeToControl() {
    Syncing syncing(*this);
    m_band->SetBounds(m_band->Left(), m_band->Top(), toPixels(*this, 1, true), toPixels(*this, 0, false));
}

// ---- TQRPrintableSize ----

TQRPrintableSize::TQRPrintableSize(TQRPrintable *control) : TQRUnitBase(4, control), m_control(control) {}

void TQRPrintableSize::set(int index, bool isX, double value) {
    if (SetValue(index, isX, value))
        PushSizeToControl();
}

void TQRPrintableSize::SetHeight(double value) {
    set(0, false, value);
}

void TQRPrintableSize::SetLeft(double value) {
    set(1, true, value);
}

void TQRPrintableSize::SetTop(double value) {
    set(2, false, value);
}

void TQRPrintableSize::SetWidth(double value) {
    set(3, true, value);
}

void TQRPrintableSize::PushSizeToControl() {
    Syncing syncing(*this);
    m_control->SetBounds(toPixels(*this, 1, true), toPixels(*this, 2, false), toPixels(*this, 3, true),
                         toPixels(*this, 0, false));
}

// ---- TQRPage ----

// The report is told of nothing until the page is set up.
TQRPage::TQRPage(TCustomDezirUzu *report) : TQRUnitBase(7, report), m_report(nullptr) {
    SetBottomMargin(0);
    if (UsesUSMeasurement()) {
        SetUnits(TQRUnit::Inches);
        SetPaperSize(TQRPaperSize::Letter);
        for (int index : {TopMarginIndex, BottomMarginIndex, LeftMarginIndex, RightMarginIndex})
            SetValue(index, index >= LeftMarginIndex, 0.5);
    } else {
        SetUnits(TQRUnit::MM);
        SetPaperSize(TQRPaperSize::A4);
        for (int index : {TopMarginIndex, BottomMarginIndex, LeftMarginIndex, RightMarginIndex})
            SetValue(index, index >= LeftMarginIndex, 10);
    }
    m_ruler = true;
    m_columns = 1;
    setNative(ColumnSpaceIndex, 0);
    m_report = report;
}

void TQRPage::lengthChanged(bool push) {
    if (push)
        PushSizeToControl();
    if (m_report) {
        m_report->ArrangeBands();
        m_report->Invalidate();
    }
}

void TQRPage::SetBottomMargin(double value) {
    if (SetValue(BottomMarginIndex, false, value))
        lengthChanged(true);
}

void TQRPage::SetLength(double value) {
    if (m_paperSize == TQRPaperSize::Custom && SetValue(LengthIndex, false, value))
        lengthChanged(true);
}

void TQRPage::SetTopMargin(double value) {
    if (SetValue(TopMarginIndex, false, value))
        lengthChanged(false);
}

void TQRPage::SetWidth(double value) {
    if (m_paperSize == TQRPaperSize::Custom && SetValue(WidthIndex, true, value))
        lengthChanged(true);
}

void TQRPage::SetLeftMargin(double value) {
    if (SetValue(LeftMarginIndex, true, value))
        lengthChanged(false);
}

void TQRPage::SetRightMargin(double value) {
    if (SetValue(RightMarginIndex, true, value))
        lengthChanged(false);
}

void TQRPage::SetColumnSpace(double value) {
    if (SetValue(ColumnSpaceIndex, true, value))
        lengthChanged(false);
}

void TQRPage::SetColumns(qint32 columns) {
    if (columns == m_columns || columns <= 0)
        return;
    m_columns = columns;
    changed();
    lengthChanged(false);
}

void TQRPage::SetOrientation(TPrinterOrientation orientation) {
    m_orientation = orientation;
    SetPaperSize(m_paperSize);
}

void TQRPage::SetPaperSize(TQRPaperSize size) {
    if (size != TQRPaperSize::Default && size != TQRPaperSize::Custom) {
        UsePixels();
        SetUnits(TQRUnit::MM);
        m_paperSize = TQRPaperSize::Custom;
        const double width = PaperWidthMm(size);
        const double length = PaperLengthMm(size);
        const bool portrait = m_orientation == poPortrait;
        SetWidth(portrait ? width : length);
        SetLength(portrait ? length : width);
        RestoreUnits();
        if (m_report)
            m_report->ArrangeBands();
    }
    m_paperSize = size;
    changed();
}

void TQRPage::SetRuler(bool ruler) {
    if (ruler == m_ruler)
        return;
    m_ruler = ruler;
    changed();
    if (m_report) {
        m_report->Invalidate();
        m_report->SetUnits(m_report->Units());
    }
}

void TQRPage::SetUnits(TQRUnit units) {
    TQRUnitBase::SetUnits(units);
    if (m_report)
        m_report->Invalidate();
}

void TQRPage::SetValues(const QList<double> &values) {
    TQRUnitBase::SetValues(values);
    if (m_report)
        m_report->ArrangeBands();
}

void TQRPage::PushSizeToControl() {
    if (SyncingParent() || !m_report)
        return;
    const bool was = m_pushing;
    m_pushing = true;
    m_report->SetBounds(m_report->Left(), m_report->Top(), toPixels(*this, WidthIndex, true),
                        toPixels(*this, LengthIndex, false));
    m_pushing = was;
}
