#include "report/engine/QRController.h"

#include "report/engine/QRReport.h"
#include "report/expr/Evaluator.h"

#include <QSet>

namespace {

// Deeper nesting of masters than this is not followed (a definition cannot make circles, see
// MasterChainReaches, but the walk stays bounded whatever happens).
constexpr int MaxControllerDepth = 256;

QObject *masterOf(QObject *component) {
    if (auto *band = qobject_cast<TQRControllerBand *>(component))
        return band->Master();
    if (auto *controller = qobject_cast<TQRCustomController *>(component))
        return controller->Master();
    return nullptr;
}

bool going(QObject *component) {
    auto *control = qobject_cast<TQRControl *>(component);
    return control && control->Destroying();
}

} // namespace

// ---- TQRCustomController ----

TQRCustomController::TQRCustomController(QObject *owner, QObject *host) : QObject(owner), m_host(host) {}

TQRCustomController::~TQRCustomController() {
    m_destroying = true;
}

TQRCustomController *TQRCustomController::ControllerOf(QObject *component) {
    if (auto *controller = qobject_cast<TQRCustomController *>(component))
        return controller;
    if (auto *band = qobject_cast<TQRControllerBand *>(component))
        return band->Controller();
    if (auto *report = qobject_cast<TCustomDezirUzu *>(component))
        return report->MainController();
    return nullptr;
}

bool TQRCustomController::MasterChainReaches(QObject *start, QObject *target) {
    QSet<QObject *> seen;
    for (QObject *c = start; c && !seen.contains(c); c = masterOf(c)) {
        if (c == target)
            return true;
        seen.insert(c);
    }
    return false;
}

void TQRCustomController::SetMaster(QObject *master) {
    if (master && !qobject_cast<TCustomDezirUzu *>(master) && !qobject_cast<TQRCustomController *>(master) &&
        !qobject_cast<TQRControllerBand *>(master)) {
        TQRControl::LastRefusal() = QStringLiteral("A master is a report, a controller or a controller band");
        return;
    }
    if (master && (MasterChainReaches(master, this) || (m_host && MasterChainReaches(master, m_host)))) {
        TQRControl::LastRefusal() = QStringLiteral("Circular linking not allowed");
        return;
    }
    m_master = master;
}

TCustomDezirUzu *TQRCustomController::HostReport() const {
    return m_hostReport;
}

void TQRCustomController::SetHostReport(TCustomDezirUzu *report) {
    m_hostReport = report;
}

void TQRCustomController::SetPrintBefore(bool on) {
    m_printBefore = on;
}

template <typename T> static QList<T *> present(const QList<QPointer<T>> &list) {
    QList<T *> result;
    for (const QPointer<T> &p : list)
        if (p)
            result << p.data();
    return result;
}

QList<TQRCustomController *> TQRCustomController::PrecedingControllers() const {
    return present(m_preceding);
}

QList<TQRCustomController *> TQRCustomController::FollowingControllers() const {
    return present(m_following);
}

QList<TQRGroup *> TQRCustomController::GroupBands() const {
    return present(m_groups);
}

void TQRCustomController::CollectChildren() {
    collect(0);
}

void TQRCustomController::collect(int depth) {
    if (m_destroying)
        return;
    m_preceding.clear();
    m_following.clear();
    m_groups.clear();
    if (!m_host || depth > MaxControllerDepth)
        return;
    QList<QObject *> components;
    if (QObject *form = m_host->parent())
        components += form->children();
    components += m_host->children();
    for (QObject *component : std::as_const(components)) {
        if (component == this || going(component))
            continue;
        if (auto *group = qobject_cast<TQRGroup *>(component)) {
            if (group->Master() == m_host) {
                m_groups << group;
                if (m_hostReport && group->ParentReport() != m_hostReport)
                    group->SetParentReport(m_hostReport);
            }
            continue;
        }
        TQRCustomController *child = qobject_cast<TQRCustomController *>(component);
        if (auto *band = qobject_cast<TQRControllerBand *>(component))
            child = band->Controller();
        if (!child || child == this || child->m_destroying || child->Master() != m_host)
            continue;
        child->m_hostReport = m_hostReport;
        (child->m_printBefore ? m_preceding : m_following) << child;
        child->collect(depth + 1);
    }
    PublishDataSet();
}

void TQRCustomController::Execute() {
    if (m_printIfEmpty)
        PrintOnceEmpty();
}

void TQRCustomController::PrintOnceEmpty() {
    RunBeforeList();
    RunAfterList();
}

void TQRCustomController::AddBands(TQRBandOrder &bands) {
    Q_UNUSED(bands);
}

// ---- TQRBandOrder ----

TQRBandOrder::TQRBandOrder(const QList<TQRCustomBand *> &bands) {
    for (TQRCustomBand *band : bands) {
        auto *child = qobject_cast<TQRChildBand *>(band);
        if (child && child->BandType() == rbChild && child->ParentBand() && !m_firstChild.contains(child->ParentBand()))
            m_firstChild.insert(child->ParentBand(), child);
    }
}

void TQRBandOrder::Add(TQRCustomBand *band) {
    // Every band is placed once, so the chain ends even if it were to close on itself.
    while (band && !band->Destroying() && !m_placed.contains(band)) {
        m_list << band;
        m_placed.insert(band);
        band = m_firstChild.value(band);
    }
}

// ---- TQRController ----

TQRController::TQRController(QObject *owner, QObject *host) : TQRCustomController(owner, host) {}

void TQRController::AddBands(TQRBandOrder &bands) {
    bands.Add(m_headerBand);
    const QList<TQRGroup *> groups = GroupBands();
    for (TQRGroup *group : groups)
        bands.Add(group);
    for (TQRCustomController *c : PrecedingControllers())
        c->AddBands(bands);
    bands.Add(m_detailBand);
    for (TQRCustomController *c : FollowingControllers())
        c->AddBands(bands);
    for (auto it = groups.crbegin(); it != groups.crend(); ++it)
        bands.Add((*it)->FooterBand());
    bands.Add(m_footerBand);
}

void TQRController::PublishDataSet() {
    // Only a run lists its data sets.
    if (m_dataSet && m_dataSet->Active() && m_hostReport && !m_hostReport->Idle &&
        !m_hostReport->DataSets->Contains(m_dataSet))
        m_hostReport->DataSets->Add(m_dataSet);
}

// ---- TQRControllerBand ----

TQRControllerBand::TQRControllerBand(QObject *owner) : TQRCustomBand(owner), m_controller(CreateController()) {
    connect(this, &QObject::objectNameChanged, this, [this] {
        UnregisterEntry();
        RegisterEntry();
    });
}

TQRControllerBand::~TQRControllerBand() {
    markDestroying();
}

TQRController *TQRControllerBand::CreateController() {
    auto *controller = new TQRController(this, this);
    controller->SetDetailBand(this);
    controller->SetPrintBefore(false);
    return controller;
}

void TQRControllerBand::SetMaster(QObject *master) {
    if (master && !qobject_cast<TCustomDezirUzu *>(master) && !qobject_cast<TQRControllerBand *>(master)) {
        LastRefusal() = QStringLiteral("The master of %1 is a report or a controller band").arg(objectName());
        return;
    }
    if (master && TQRCustomController::MasterChainReaches(master, this)) {
        LastRefusal() = QStringLiteral("Circular linking not allowed");
        return;
    }
    m_controller->SetMaster(master);
    reorderReport();
}

void TQRControllerBand::SetParentReport(TCustomDezirUzu *report) {
    TQRCustomBand::SetParentReport(report);
    m_controller->SetHostReport(report);
    if (report && !Master())
        m_controller->SetMaster(report);
    RegisterEntry();
}

void TQRControllerBand::RegisterEntry() {
    const QString text = EntryText();
    TCustomDezirUzu *report = ParentReport();
    if (!report || text.isEmpty() || objectName().isEmpty())
        return;
    report->Functions()->AddEntry(objectName(), text);
    m_entryName = objectName();
}

void TQRControllerBand::UnregisterEntry() {
    if (m_entryName.isEmpty())
        return;
    if (TCustomDezirUzu *report = ParentReport())
        report->Functions()->RemoveEntry(m_entryName);
    m_entryName.clear();
}

// ---- TQRSubDetailGroupBands ----

TQRSubDetailGroupBands::TQRSubDetailGroupBands(TQRSubDetail *owner) : TQRPersistent(owner), m_subDetail(owner) {}

bool TQRSubDetailGroupBands::HasHeader() const {
    return m_subDetail->HeaderBand() != nullptr;
}

bool TQRSubDetailGroupBands::HasFooter() const {
    return m_subDetail->FooterBand() != nullptr;
}

void TQRSubDetailGroupBands::SetHasHeader(bool on) {
    if (on == HasHeader())
        return;
    if (on) {
        if (TCustomDezirUzu *report = m_subDetail->ParentReport())
            m_subDetail->SetHeaderBand(report->CreateBand(rbGroupHeader));
    } else {
        TQRCustomBand *band = m_subDetail->HeaderBand();
        m_subDetail->SetHeaderBand(nullptr);
        delete band;
    }
}

void TQRSubDetailGroupBands::SetHasFooter(bool on) {
    if (on == HasFooter())
        return;
    if (on) {
        if (TCustomDezirUzu *report = m_subDetail->ParentReport())
            m_subDetail->SetFooterBand(report->CreateBand(rbGroupFooter));
    } else {
        TQRCustomBand *band = m_subDetail->FooterBand();
        m_subDetail->SetFooterBand(nullptr);
        delete band;
    }
}

// ---- TQRSubDetail ----

TQRSubDetail::TQRSubDetail(QObject *owner) : TQRControllerBand(owner), m_bands(new TQRSubDetailGroupBands(this)) {
    m_bandType = rbSubDetail;
}

void TQRSubDetail::SetFooterBand(TQRCustomBand *band) {
    if (band == this) {
        LastRefusal() = QStringLiteral("A sub-detail is not its own footer");
        return;
    }
    Controller()->SetFooterBand(band);
    if (band)
        band->SetBandType(rbGroupFooter);
    reorderReport();
}

void TQRSubDetail::SetHeaderBand(TQRCustomBand *band) {
    if (band == this) {
        LastRefusal() = QStringLiteral("A sub-detail is not its own header");
        return;
    }
    Controller()->SetHeaderBand(band);
    if (band)
        band->SetBandType(rbGroupHeader);
    reorderReport();
}

void TQRSubDetail::SetPrintBefore(bool on) {
    if (on == Controller()->PrintBefore())
        return;
    Controller()->SetPrintBefore(on);
    reorderReport();
}

void TQRSubDetail::RegisterNotifyExpression(QObject *expression) {
    Controller()->NotifyTargets << expression;
}

// ---- TQRGroup ----

TQRGroup::TQRGroup(QObject *owner) : TQRCustomBand(owner), m_keyEvaluator(std::make_unique<TQREvaluator>()) {
    m_bandType = rbGroupHeader;
}

TQRGroup::~TQRGroup() {
    markDestroying();
}

void TQRGroup::SetFooterBand(TQRBand *band) {
    m_footerBand = band;
    if (band)
        band->SetBandType(rbGroupFooter);
    reorderReport();
}

void TQRGroup::SetMaster(QObject *master) {
    if (!master || (!qobject_cast<TCustomDezirUzu *>(master) && !qobject_cast<TQRControllerBand *>(master))) {
        LastRefusal() = QStringLiteral("The master of a group is a report or a controller band");
        return;
    }
    if (master == m_master)
        return;
    m_master = master;
    reorderReport();
}

void TQRGroup::SetParentReport(TCustomDezirUzu *report) {
    TQRCustomBand::SetParentReport(report);
    if (report && !m_master)
        m_master = report;
}
