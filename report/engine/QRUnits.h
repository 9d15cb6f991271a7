#pragma once

#include "report/engine/QRGraphics.h"
#include "report/engine/QRTypes.h"

#include <QList>
#include <QPointer>
#include <QVector>

class TCustomDezirUzu;
class TQRCustomBand;
class TQRPrintable;

/// Screen pixels per inch of every pixel length of the model (design surface, control bounds, font
/// heights). Qt measures widgets in device-independent pixels of 1/96 inch on every platform (the screen's
/// real density goes into its device pixel ratio), and stored definitions count on 96, so this is 96
/// unless a caller sets another value; nothing reads the screen, so offscreen, Xvfb and desktop runs agree.
int ScreenPixelsPerInch();
/// Sets it for size holders made from now on (1 to 10000; others are ignored).
void SetScreenPixelsPerInch(int dpi);

/// Holds lengths in 0.1 mm (native) and reads and writes them in a unit of choice; the base of the size
/// of bands and controls and of the report's page. `Values` is the stored form: the native lengths in the
/// holder's fixed order.
class TQRUnitBase : public TQRPersistent {
    Q_OBJECT
public:
    TQRUnitBase(int valueCount, QObject *parent);

    qint32 ScreenDpi() const { return m_screenDpi; }
    TQRUnit Units() const { return m_units; }
    virtual void SetUnits(TQRUnit units);
    TQRUnit StashedUnits() const { return m_stashedUnits; }
    TCustomDezirUzu *HostReport() const;
    virtual void SetHostReport(TCustomDezirUzu *report);
    /// Set while the holder pushes its sizes into its control.
    bool SyncingParent() const { return m_syncingParent; }
    void SetSyncingParent(bool syncing) { m_syncingParent = syncing; }
    qint32 Zoom() const { return m_zoom; }
    void SetZoom(qint32 zoom);

    virtual double FromNative(TQRUnit unit, bool isX, double value) const;
    virtual double ToNative(TQRUnit unit, bool isX, double value) const;
    /// After loading: the stored lengths go into the control.
    virtual void AfterLoad() { PushSizeToControl(); }
    virtual void PushSizeToControl() {}

    /// Pixels until the matching RestoreUnits, which brings back the unit in use before (pairs nest).
    void UsePixels();
    void RestoreUnits();
    /// A length in pixels (rounded as every push rounds), whatever the current unit.
    int PixelValue(int index, bool isX) const { return rnd(FromNative(TQRUnit::Pixels, isX, m_values[index])); }
    /// Stores a length given in pixels, whatever the current unit; false when it is not a usable length.
    bool SetPixelValue(int index, bool isX, double pixels);

    int ValueCount() const { return int(m_values.size()); }
    double NativeValue(int index) const { return m_values.value(index); }
    /// The stored form: every length in native units.
    QList<double> Values() const;
    /// Takes a stored list and pushes it. EQRError for a list of the wrong length or a length that is not
    /// finite or beyond MaxNativeLength; nothing is taken then.
    virtual void SetValues(const QList<double> &values);

    /// The point size the Characters unit measures with (the report font's, else 10).
    double CharacterPointSize() const;

protected:
    /// A length in the current unit.
    double GetValue(int index, bool isX) const;
    /// Stores a length given in the current unit; false (nothing stored) when it is not a usable length.
    bool SetValue(int index, bool isX, double value);
    void setNative(int index, double value) { m_values[index] = value; }

private:
    qint32 m_screenDpi;
    TQRUnit m_units;
    TQRUnit m_stashedUnits;
    QPointer<TCustomDezirUzu> m_hostReport;
    bool m_syncingParent = false;
    int m_pixelDepth = 0;
    qint32 m_zoom = 100;
    QVector<double> m_values;
};

/// The size of a band: Height and Width.
class TQRBandSize : public TQRUnitBase {
    Q_OBJECT
    Q_CLASSINFO("AlwaysStored", "Values")
    Q_PROPERTY(double Height READ Height WRITE SetHeight STORED false)
    Q_PROPERTY(double Width READ Width WRITE SetWidth STORED false)
    Q_PROPERTY(QList<double> Values READ Values WRITE SetValues)
public:
    explicit TQRBandSize(TQRCustomBand *band);
    double Height() const { return GetValue(0, false); }
    void SetHeight(double value);
    double Width() const { return GetValue(1, true); }
    void SetWidth(double value);
    /// Sets the width in pixels, whatever the current unit, and pushes.
    void SetPixelWidth(int pixels);
    /// The band's bounds take the width and height in pixels at its current place.
    void PushSizeToControl() override;
    TQRCustomBand *Band() const { return m_band; }

private:
    TQRCustomBand *m_band;
};

/// The size and place of a printable control on its band or report: Height, Left, Top, Width.
class TQRPrintableSize : public TQRUnitBase {
    Q_OBJECT
    Q_CLASSINFO("AlwaysStored", "Values")
    Q_PROPERTY(double Height READ Height WRITE SetHeight STORED false)
    Q_PROPERTY(double Left READ Left WRITE SetLeft STORED false)
    Q_PROPERTY(double Top READ Top WRITE SetTop STORED false)
    Q_PROPERTY(double Width READ Width WRITE SetWidth STORED false)
    Q_PROPERTY(QList<double> Values READ Values WRITE SetValues)
public:
    explicit TQRPrintableSize(TQRPrintable *control);
    double Height() const { return GetValue(0, false); }
    void SetHeight(double value);
    double Left() const { return GetValue(1, true); }
    void SetLeft(double value);
    double Top() const { return GetValue(2, false); }
    void SetTop(double value);
    double Width() const { return GetValue(3, true); }
    void SetWidth(double value);
    void PushSizeToControl() override;
    TQRPrintable *Control() const { return m_control; }

private:
    void set(int index, bool isX, double value);
    TQRPrintable *m_control;
};

/// The paper of a report: size, orientation, margins and columns. Width and Length follow the paper size
/// and are only written directly for a Custom paper.
class TQRPage : public TQRUnitBase {
    Q_OBJECT
    Q_CLASSINFO("AlwaysStored", "PaperSize,Values")
    Q_PROPERTY(qint32 Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(QRPrntr::TPrinterOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(QRPrntr::TQRPaperSize PaperSize READ PaperSize WRITE SetPaperSize)
    Q_PROPERTY(bool Ruler READ Ruler WRITE SetRuler)
    Q_PROPERTY(double BottomMargin READ BottomMargin WRITE SetBottomMargin STORED false)
    Q_PROPERTY(double Length READ Length WRITE SetLength STORED false)
    Q_PROPERTY(double TopMargin READ TopMargin WRITE SetTopMargin STORED false)
    Q_PROPERTY(double Width READ Width WRITE SetWidth STORED false)
    Q_PROPERTY(double LeftMargin READ LeftMargin WRITE SetLeftMargin STORED false)
    Q_PROPERTY(double RightMargin READ RightMargin WRITE SetRightMargin STORED false)
    Q_PROPERTY(double ColumnSpace READ ColumnSpace WRITE SetColumnSpace STORED false)
    Q_PROPERTY(QList<double> Values READ Values WRITE SetValues)
public:
    enum Index {
        BottomMarginIndex,
        LengthIndex,
        TopMarginIndex,
        WidthIndex,
        LeftMarginIndex,
        RightMarginIndex,
        ColumnSpaceIndex
    };

    explicit TQRPage(TCustomDezirUzu *report);

    double BottomMargin() const { return GetValue(BottomMarginIndex, false); }
    void SetBottomMargin(double value);
    double Length() const { return GetValue(LengthIndex, false); }
    /// Ignored unless the paper size is Custom.
    void SetLength(double value);
    double TopMargin() const { return GetValue(TopMarginIndex, false); }
    void SetTopMargin(double value);
    double Width() const { return GetValue(WidthIndex, true); }
    /// Ignored unless the paper size is Custom.
    void SetWidth(double value);
    double LeftMargin() const { return GetValue(LeftMarginIndex, true); }
    void SetLeftMargin(double value);
    double RightMargin() const { return GetValue(RightMarginIndex, true); }
    void SetRightMargin(double value);
    double ColumnSpace() const { return GetValue(ColumnSpaceIndex, true); }
    void SetColumnSpace(double value);

    qint32 Columns() const { return m_columns; }
    /// Its current value and values below 1 are ignored.
    void SetColumns(qint32 columns);
    TPrinterOrientation Orientation() const { return m_orientation; }
    /// Applies the paper size again, so a table size swaps width and length.
    void SetOrientation(TPrinterOrientation orientation);
    TQRPaperSize PaperSize() const { return m_paperSize; }
    /// A table size sets Width and Length (turned for landscape); Default and Custom keep them.
    void SetPaperSize(TQRPaperSize size);
    bool Ruler() const { return m_ruler; }
    void SetRuler(bool ruler);

    void SetUnits(TQRUnit units) override;
    void SetValues(const QList<double> &values) override;
    /// The report's bounds take the page's width and length in pixels.
    void PushSizeToControl() override;
    TCustomDezirUzu *Report() const { return m_report; }
    /// True while the page's own push resizes the report.
    bool Pushing() const { return m_pushing; }

private:
    void lengthChanged(bool push);

    TCustomDezirUzu *m_report;
    qint32 m_columns = 1;
    TPrinterOrientation m_orientation = poPortrait;
    TQRPaperSize m_paperSize = TQRPaperSize::Default;
    bool m_ruler = true;
    bool m_pushing = false;
};

/// True when new reports follow the U.S. measurement system (inches, Letter, half-inch margins).
bool UsesUSMeasurement();
