#pragma once

#include "report/engine/QRControl.h"
#include "report/engine/QRUnits.h"

#include <QPointer>

#include <functional>

class TQRController;

/// The caption of a band type on the design surface ("Page Header").
QString bandTypeCaption(TQRBandType type);
/// The base of generated band names ("PageHeaderBand").
QString bandTypeBaseName(TQRBandType type);

/// A horizontal strip of a report page: the base of every band. A band sits on a report (placing it on
/// another band puts it on that band's report), carries printable controls in print order, and keeps its
/// height and width in `Size`; the report orders and arranges its bands.
class TQRCustomBand : public TQRBasePanel {
    Q_OBJECT
    Q_PROPERTY(bool AlignToBottom READ AlignToBottom WRITE SetAlignToBottom)
    Q_PROPERTY(bool TransparentBand READ TransparentBand WRITE SetTransparentBand)
    Q_PROPERTY(TQRFont *Font READ Font)
    Q_PROPERTY(bool ForceNewColumn READ ForceNewColumn WRITE SetForceNewColumn)
    Q_PROPERTY(bool ForceNewPage READ ForceNewPage WRITE SetForceNewPage)
    Q_PROPERTY(bool HasChild READ HasChild WRITE SetHasChild STORED false)
    Q_PROPERTY(TQRCustomBand *LinkBand READ LinkBand WRITE SetLinkBand)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(TQRBandSize *Size READ Size)
    Q_PROPERTY(bool PreCaluculateBandHeight READ PreCaluculateBandHeight WRITE SetPreCaluculateBandHeight)
    Q_PROPERTY(bool KeepOnOnePage READ KeepOnOnePage WRITE SetKeepOnOnePage)
public:
    using TQRBandBeforePrintEvent = std::function<void(TQRCustomBand *Sender, bool &PrintBand)>;
    using TQRBandAfterPrintEvent = std::function<void(TQRCustomBand *Sender, bool BandPrinted)>;

    explicit TQRCustomBand(QObject *owner = nullptr);
    ~TQRCustomBand() override;

    bool AlignToBottom() const { return m_alignToBottom; }
    void SetAlignToBottom(bool on) { m_alignToBottom = on; }
    bool TransparentBand() const { return m_transparentBand; }
    void SetTransparentBand(bool on);
    bool ForceNewColumn() const { return m_forceNewColumn; }
    void SetForceNewColumn(bool on) { m_forceNewColumn = on; }
    bool ForceNewPage() const { return m_forceNewPage; }
    void SetForceNewPage(bool on) { m_forceNewPage = on; }
    bool ParentFont() const { return m_parentFont; }
    void SetParentFont(bool on);
    bool IsFontStored() const { return !m_parentFont; }
    TQRBandSize *Size() const { return m_size; }
    bool PreCaluculateBandHeight() const { return m_preCalculate; }
    void SetPreCaluculateBandHeight(bool on) { m_preCalculate = on; }
    bool KeepOnOnePage() const { return m_keepOnOnePage; }
    void SetKeepOnOnePage(bool on) { m_keepOnOnePage = on; }

    TQRBandType BandType() const { return m_bandType; }
    /// Setting a type on a band of a report re-orders and re-arranges the report's bands.
    virtual void SetBandType(TQRBandType type);

    /// The band that must fit on the same page with this one. A link that would lead back to this band is
    /// refused.
    TQRCustomBand *LinkBand() const { return m_linkBand; }
    void SetLinkBand(TQRCustomBand *band);
    /// Size.Height plus the linked bands' heights, each band of the chain once (native).
    double HeightWithLinks() const;

    /// The first child band in the report's band order whose parent band is this one.
    TQRCustomBand *ChildBand() const;
    bool HasChild() const { return ChildBand() != nullptr; }
    /// True: a child band is made (owned like this band, on its report). False: the child goes, and a child of
    /// its own takes this band as its parent.
    void SetHasChild(bool on);

    /// The caption of its type and the base of generated names.
    virtual QString DisplayName() const { return bandTypeCaption(m_bandType); }
    virtual QString BaseName() const { return bandTypeBaseName(m_bandType); }
    /// The report the band belongs to.
    virtual void SetParentReport(TCustomDezirUzu *report);
    TCustomDezirUzu *ParentReport() const override;
    /// The type used for its width: its own, or for a child band that of the first non-child band up its
    /// parent chain.
    TQRBandType EffectiveType() const;

    void ApplyZoom(qint32 zoom) override;
    void PaintRuler(QPainter &painter, TQRUnit units) override;
    void Paint(QPainter &painter) override;
    void SetBounds(int left, int top, int width, int height) override;
    void ParentFontChanged() override;
    /// Moves the band to a place on the design surface as the report arranges it (size kept).
    void PlaceAt(int left, int top) { setBoundsRaw(left, top, Width(), Height()); }

    TQRBandBeforePrintEvent BeforePrint;
    TQRBandAfterPrintEvent AfterPrint;

    // Printing: the report's run calls these through its OutputBand; controls call CanExpand and ExpandBand.
    /// Prints the band at the report's cursor: its BeforePrint, the child printed before it, the break it asks
    /// for or the room it needs, the background, the controls (on further columns or pages while some have
    /// content left), the frame, the cursor moved down, AfterPrint and the child printed after it.
    void Print();
    /// Starts a new column (or page) when the band and its linked bands do not fit in what is left.
    void MakeRoom();
    /// Moves the report's cursor below the band as it printed.
    void AdvancePosition();
    /// The band can grow by `amount` (native) and still fit above the page footer space.
    bool CanExpand(double amount) const;
    /// A stretching control grows the band by `amount`; see the rules of its callers.
    bool ExpandBand(double amount, double &newExpanded, bool &hasExpanded);
    /// The height the band will need (native): its design height, or more when a rich-text control on it
    /// needs more.
    double MeasureNeededHeight();
    /// Screen pixels per native unit with which MeasureNeededHeight turns control positions and answered
    /// heights into native lengths (96 pixels per inch: 96 / 254).
    static constexpr double NeededHeightPixelsPerUnit = 0.37795;

    // Run state (printing).
    /// How far the band has stretched below its design height in the current print (native).
    double ExtraHeight = 0;
    /// Scratch of the height measurement (native).
    double NeededHeight = 0;
    /// The band on the current printer page, in device pixels.
    QRect DeviceRect;
    /// The controller to notify when the band prints as a detail band.
    QPointer<TQRController> RecordController;
    /// Height seen while loading, applied afterwards when the size gives none.
    qint32 StreamedHeight = 40;
    /// Set while the report arranges its bands.
    bool SyncingParent = false;
    /// True while a break is made because a band or a control did not fit (one per process).
    static bool OverflowBreak;

protected:
    TQRControl *ValidParent(TQRControl *parent) override;
    void ParentChanged(TQRControl *old) override;
    void Loaded() override;
    void FontChanged() override;
    /// The report's bands are re-ordered and re-arranged (when there is a report and it is settled).
    void reorderReport();
    TQRBandType m_bandType = rbTitle;

private:
    void followReportFont();
    /// Prints the child band when its print order says so (before or after this band).
    void printChild(bool before);
    /// The background shape handed to an export filter and DeviceRect at the band's cursor.
    void placeBackground(TCustomDezirUzu &report);
    /// The controls, on as many columns or pages as their content needs; frame and band lines on each. The
    /// cursor where the last part printed is left in partX and partY.
    void printContent(TCustomDezirUzu &report, int &partX, int &partY);
    /// The frame and the vertical lines drawn over the whole stretched band.
    void drawFrameAndLines(TCustomDezirUzu &report);

    QPointer<TCustomDezirUzu> m_report;
    TQRBandSize *m_size;
    QPointer<TQRCustomBand> m_linkBand;
    bool m_alignToBottom = false;
    bool m_transparentBand = false;
    bool m_forceNewColumn = false;
    bool m_forceNewPage = false;
    bool m_parentFont = true;
    bool m_followingFont = false;
    bool m_preCalculate = false;
    bool m_keepOnOnePage = false;
};

/// A band of a chosen type: title, page header, detail, summary ...
class TQRBand : public TQRCustomBand {
    Q_OBJECT
    Q_PROPERTY(qrengine::TQRBandType BandType READ BandType WRITE SetBandType)
public:
    explicit TQRBand(QObject *owner = nullptr);
};

/// A band printed right before or after its parent band; its type is always rbChild.
class TQRChildBand : public TQRCustomBand {
    Q_OBJECT
    Q_PROPERTY(TQRCustomBand *ParentBand READ ParentBand WRITE SetParentBand)
    Q_PROPERTY(qrengine::TCBPrintOrder PrintOrder READ PrintOrder WRITE SetPrintOrder)
public:
    explicit TQRChildBand(QObject *owner = nullptr);

    TQRCustomBand *ParentBand() const { return m_parentBand; }
    /// Taken only while the band belongs to a report, and not when the parent chain would lead back here.
    void SetParentBand(TQRCustomBand *band);
    TCBPrintOrder PrintOrder() const { return m_printOrder; }
    void SetPrintOrder(TCBPrintOrder order) { m_printOrder = order; }

private:
    QPointer<TQRCustomBand> m_parentBand;
    TCBPrintOrder m_printOrder = cboAfterParent;
};
