#pragma once

#include "report/engine/QRBand.h"
#include "report/expr/EvValue.h"
#include "store/DataSet.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVariant>

#include <functional>
#include <memory>

class QLocale;
class TDataSet;
class TQREvaluator;
class TQRGroup;
class TQRControllerBand;

/// Bands in print order as a report collects them: each band enters once, followed at once by its chain of
/// child bands.
class TQRBandOrder {
public:
    /// `bands`: the report's band order so far, where child bands are looked up.
    explicit TQRBandOrder(const QList<TQRCustomBand *> &bands);
    /// Appends a band and its child chain, skipping bands already placed or going.
    void Add(TQRCustomBand *band);
    bool Contains(TQRCustomBand *band) const { return m_placed.contains(band); }
    const QList<TQRCustomBand *> &Bands() const { return m_list; }

private:
    QHash<TQRCustomBand *, TQRCustomBand *> m_firstChild;
    QList<TQRCustomBand *> m_list;
    QSet<TQRCustomBand *> m_placed;
};

/// Asked for records when there is no usable data set; MoreData says whether another record is ready.
using TQROnNeedDataEvent = std::function<void(QObject *Sender, bool &MoreData)>;

/// Walks one source of records and prints the bands that belong to it. The report owns the main one; a
/// controller band owns one for its own records. Controllers hang under a master (a report, a controller or
/// a controller band) and collect the controllers and groups below them from the components of the form.
class TQRCustomController : public QObject {
    Q_OBJECT
public:
    explicit TQRCustomController(QObject *owner, QObject *host);
    ~TQRCustomController() override;

    /// The component the controller acts for: the report, or its controller band.
    QObject *Host() const { return m_host; }
    /// The report, controller or controller band it hangs under; other kinds are not taken.
    QObject *Master() const { return m_master; }
    void SetMaster(QObject *master);
    TCustomDezirUzu *HostReport() const;
    void SetHostReport(TCustomDezirUzu *report);
    bool PrintIfEmpty() const { return m_printIfEmpty; }
    void SetPrintIfEmpty(bool on) { m_printIfEmpty = on; }
    bool PrintBefore() const { return m_printBefore; }
    virtual void SetPrintBefore(bool on);

    /// Controllers printed before, respectively after, the detail band of each record.
    QList<TQRCustomController *> PrecedingControllers() const;
    QList<TQRCustomController *> FollowingControllers() const;
    /// The groups of this controller, outermost first.
    QList<TQRGroup *> GroupBands() const;
    /// Expression controls told after each record.
    QList<QPointer<QObject>> NotifyTargets;

    /// Rebuilds the lists of controllers and groups below this one from the components of the form.
    virtual void CollectChildren();
    /// The record loop.
    virtual void Execute();
    virtual void PrepareRun();
    virtual void UnprepareRun();
    virtual void RunAfterList();
    virtual void RunBeforeList();
    /// What prints once for a source without records.
    virtual void PrintOnceEmpty();
    /// Adds the bands of this controller, in print order, to the report's band order.
    virtual void AddBands(TQRBandOrder &bands);
    /// Makes its data set visible to the expressions of the run.
    virtual void PublishDataSet() {}
    /// Passes a notification to every expression of NotifyTargets (0: a record has been printed).
    void Notify(int code);
    /// At a new column or page: prints again the headers of open groups that ask for it, here and in the
    /// controllers below.
    virtual void ReprintGroupHeaders();

    /// True when `target` is reached from `start` by following masters through controllers and controller
    /// bands (a link from `start` would close a circle).
    static bool MasterChainReaches(QObject *start, QObject *target);
    /// The controller a master stands for: a controller, or the controller of a controller band or report.
    static TQRCustomController *ControllerOf(QObject *component);

protected:
    void collect(int depth);
    /// Every group evaluates its key; true when one changed (then every later group counts as changed too).
    bool CheckGroups();
    /// Headers of the changed groups, outer to inner.
    void PrintGroupHeaders();
    /// Footers of the changed groups, inner to outer.
    void PrintGroupFooters();
    /// From the group at `index` on, every group takes its current key and counts as changed.
    void markChangedFrom(qsizetype index);

    QPointer<QObject> m_host;
    QPointer<QObject> m_master;
    QPointer<TCustomDezirUzu> m_hostReport;
    bool m_printIfEmpty = true;
    bool m_printBefore = false;
    bool m_destroying = false;
    QList<QPointer<TQRCustomController>> m_preceding;
    QList<QPointer<TQRCustomController>> m_following;
    QList<QPointer<TQRGroup>> m_groups;
};

/// A controller that walks a data set (or asks OnNeedData) and prints a header, a detail band per record
/// and a footer.
/// A date, time or date-time parameter's value (`ftDate`, `ftTime`, `ftDateTime`) read from a text in the
/// locale's short form; invalid when the text is none. A two-digit year falls within fifty years of today,
/// as the user who typed it means.
QVariant ParamDateValue(const QString &text, TFieldType type, const QLocale &locale);

class TQRController : public TQRCustomController {
    Q_OBJECT
public:
    explicit TQRController(QObject *owner, QObject *host);

    TDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet *dataSet) { m_dataSet = dataSet; }
    TQRCustomBand *DetailBand() const { return m_detailBand; }
    void SetDetailBand(TQRCustomBand *band) { m_detailBand = band; }
    TQRCustomBand *HeaderBand() const { return m_headerBand; }
    void SetHeaderBand(TQRCustomBand *band) { m_headerBand = band; }
    TQRCustomBand *FooterBand() const { return m_footerBand; }
    void SetFooterBand(TQRCustomBand *band) { m_footerBand = band; }
    TQROnNeedDataEvent OnNeedData;
    /// Records printed in the current loop.
    qint32 RecordsPrinted = 0;
    /// The query's parameters are filled from the report's values at the start of each loop.
    bool ApplyParams = false;

    void AddBands(TQRBandOrder &bands) override;
    void PublishDataSet() override;
    void Execute() override;
    void PrepareRun() override;
    void PrintOnceEmpty() override;

private:
    /// The query's parameters named like report values take those values; the query opens again.
    void applyParams();
    void reportProgress(int recordCount, bool ownDataSet);

    QPointer<TDataSet> m_dataSet;
    QPointer<TQRCustomBand> m_detailBand;
    QPointer<TQRCustomBand> m_headerBand;
    QPointer<TQRCustomBand> m_footerBand;
};

/// A band that owns a controller of its own (master-detail reports): the band is that controller's detail.
class TQRControllerBand : public TQRCustomBand {
    Q_OBJECT
    Q_PROPERTY(QObject *Master READ Master WRITE SetMaster)
public:
    explicit TQRControllerBand(QObject *owner = nullptr);
    ~TQRControllerBand() override;

    /// A report or another controller band; a master whose chain leads back here is refused.
    QObject *Master() const { return m_controller->Master(); }
    virtual void SetMaster(QObject *master);
    TQRController *Controller() const { return m_controller; }

    void SetParentReport(TCustomDezirUzu *report) override;
    /// The environment entry the band registers under its name (none here).
    virtual QString EntryText() const { return QString(); }
    virtual void RegisterEntry();
    virtual void UnregisterEntry();

protected:
    virtual TQRController *CreateController();

private:
    TQRController *m_controller;
    QString m_entryName;
};

class TQRSubDetail;

/// The header and footer switches of a sub-detail (not stored).
class TQRSubDetailGroupBands : public TQRPersistent {
    Q_OBJECT
    Q_PROPERTY(bool HasHeader READ HasHeader WRITE SetHasHeader STORED false)
    Q_PROPERTY(bool HasFooter READ HasFooter WRITE SetHasFooter STORED false)
public:
    explicit TQRSubDetailGroupBands(TQRSubDetail *owner);
    bool HasHeader() const;
    void SetHasHeader(bool on);
    bool HasFooter() const;
    void SetHasFooter(bool on);

private:
    TQRSubDetail *m_subDetail;
};

/// A band printed for every record of its own data set, for every record of its master.
class TQRSubDetail : public TQRControllerBand {
    Q_OBJECT
    Q_PROPERTY(TQRSubDetailGroupBands *Bands READ Bands)
    Q_PROPERTY(TDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(TQRCustomBand *FooterBand READ FooterBand WRITE SetFooterBand)
    Q_PROPERTY(TQRCustomBand *HeaderBand READ HeaderBand WRITE SetHeaderBand)
    Q_PROPERTY(bool PrintBefore READ PrintBefore WRITE SetPrintBefore)
    Q_PROPERTY(bool PrintIfEmpty READ PrintIfEmpty WRITE SetPrintIfEmpty)
public:
    explicit TQRSubDetail(QObject *owner = nullptr);

    TQRSubDetailGroupBands *Bands() const { return m_bands; }
    TDataSet *DataSet() const { return Controller()->DataSet(); }
    void SetDataSet(TDataSet *dataSet) { Controller()->SetDataSet(dataSet); }
    TQRCustomBand *FooterBand() const { return Controller()->FooterBand(); }
    /// The band becomes a group footer.
    void SetFooterBand(TQRCustomBand *band);
    TQRCustomBand *HeaderBand() const { return Controller()->HeaderBand(); }
    /// The band becomes a group header.
    void SetHeaderBand(TQRCustomBand *band);
    bool PrintBefore() const { return Controller()->PrintBefore(); }
    /// A change re-orders the report's bands.
    void SetPrintBefore(bool on);
    bool PrintIfEmpty() const { return Controller()->PrintIfEmpty(); }
    void SetPrintIfEmpty(bool on) { Controller()->SetPrintIfEmpty(on); }
    TQROnNeedDataEvent &OnNeedData() { return Controller()->OnNeedData; }
    /// Adds an expression control to its controller's notify list.
    void RegisterNotifyExpression(QObject *expression);

private:
    TQRSubDetailGroupBands *m_bands;
};

/// A band printed as a header whenever its expression changes from one record to the next, with a footer
/// band when the group ends.
class TQRGroup : public TQRCustomBand {
    Q_OBJECT
    Q_PROPERTY(QString Expression READ Expression WRITE SetExpression)
    Q_PROPERTY(TQRBand *FooterBand READ FooterBand WRITE SetFooterBand)
    Q_PROPERTY(QObject *Master READ Master WRITE SetMaster)
    Q_PROPERTY(bool ReprintOnNewPage READ ReprintOnNewPage WRITE SetReprintOnNewPage)
public:
    explicit TQRGroup(QObject *owner = nullptr);
    ~TQRGroup() override;

    const QString &Expression() const { return m_expression; }
    void SetExpression(const QString &expression) { m_expression = expression; }
    TQRBand *FooterBand() const { return m_footerBand; }
    /// The band becomes a group footer.
    void SetFooterBand(TQRBand *band);
    /// The report or controller band whose records the group breaks; other kinds (and none) are ignored.
    QObject *Master() const { return m_master; }
    void SetMaster(QObject *master);
    bool ReprintOnNewPage() const { return m_reprintOnNewPage; }
    void SetReprintOnNewPage(bool on) { m_reprintOnNewPage = on; }

    void SetParentReport(TCustomDezirUzu *report) override;

    /// Evaluates the key and sets Changed: at the first record, when the kind of value changes, or when a value
    /// of the same kind differs (texts compared exactly; two errors never differ).
    void CheckBreak();

    // Run state.
    TQREvaluator &KeyEvaluator() { return *m_keyEvaluator; }
    bool Changed = false;
    TQREvValue LastValue;
    bool Initialized = false;
    /// The header printed and the footer not yet.
    bool HeaderOpen = false;
    /// The page on which the header was last printed.
    qint32 HeaderPage = 0;

private:
    QString m_expression;
    QPointer<TQRBand> m_footerBand;
    QPointer<QObject> m_master;
    bool m_reprintOnNewPage = false;
    std::unique_ptr<TQREvaluator> m_keyEvaluator;
};
