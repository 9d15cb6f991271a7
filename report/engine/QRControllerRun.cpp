// The record loop of controllers: groups and their headers and footers, sub-details before and after the
// detail band, the notification of running totals and the query parameters taken from the report's values.
#include "report/engine/QRController.h"

#include "printer/QRPrinter.h"
#include "report/engine/QRReport.h"
#include "report/expr/Evaluator.h"
#include "store/DatabaseError.h"
#include "store/Query.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

// The same value for a group key: same kind and, by kind, the same number, text or truth value. Errors of
// either message never count as a change.
bool sameKey(const TQREvValue &a, const TQREvValue &b) {
    if (a.Kind != b.Kind)
        return false;
    switch (a.Kind) {
    case evInteger:
        return a.IntegerValue == b.IntegerValue;
    case evFloat:
        return a.FloatValue == b.FloatValue;
    case evString:
        return a.Text == b.Text;
    case evBoolean:
        return a.BooleanValue == b.BooleanValue;
    case evError:
        return true;
    }
    return true;
}

// Lets pending GUI messages run. False when the controller went meanwhile (its callers then must not touch it).
bool letMessagesRun(const QPointer<TQRCustomController> &self) {
    QCoreApplication::processEvents();
    return !self.isNull();
}

[[noreturn]] void controllerGone() {
    throw EQRError(QStringLiteral("A part of the report was freed while it ran"));
}

} // namespace

// ---- query parameters ----

namespace {

// A year read from a format with a two-digit year, moved into the hundred years around today.
QDate inCenturyWindow(QDate date, const QString &format) {
    if (!date.isValid() || format.contains(QLatin1String("yyyy")) || !format.contains(QLatin1String("yy")))
        return date;
    const int first = QDate::currentDate().year() - 50;
    int year = first - first % 100 + date.year() % 100;
    if (year < first)
        year += 100;
    return QDate(year, date.month(), date.day());
}

} // namespace

QVariant ParamDateValue(const QString &text, TFieldType type, const QLocale &locale) {
    if (type == ftTime) {
        const QTime t = locale.toTime(text, QLocale::ShortFormat);
        return t.isValid() ? QVariant(t) : QVariant();
    }
    if (type == ftDate) {
        const QString format = locale.dateFormat(QLocale::ShortFormat);
        const QDate d = inCenturyWindow(locale.toDate(text, format), format);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    const QString format = locale.dateTimeFormat(QLocale::ShortFormat);
    const QDateTime dt = locale.toDateTime(text, format);
    if (!dt.isValid())
        return {};
    return QDateTime(inCenturyWindow(dt.date(), format), dt.time());
}

// ---- TQRGroup ----

void TQRGroup::CheckBreak() {
    Changed = false;
    if (!Initialized) {
        LastValue = m_keyEvaluator->Evaluate();
        Changed = true;
        Initialized = true;
        return;
    }
    TQREvValue value = m_keyEvaluator->Evaluate();
    Changed = !sameKey(value, LastValue);
    if (Changed)
        LastValue = std::move(value);
}

// ---- TQRCustomController ----

void TQRCustomController::Notify(int code) {
    for (qsizetype i = 0; i < NotifyTargets.size(); ++i)
        if (auto *printable = qobject_cast<TQRPrintable *>(NotifyTargets[i].data()))
            printable->Notify(m_host, code);
}

void TQRCustomController::PrepareRun() {
    NotifyTargets.clear();
    for (TQRCustomController *c : PrecedingControllers() + FollowingControllers())
        c->PrepareRun();
    TCustomDezirUzu *report = m_hostReport;
    for (TQRGroup *group : GroupBands()) {
        TQREvaluator &evaluator = group->KeyEvaluator();
        if (report) {
            evaluator.SetDatasetList(report->DataSets.get());
            evaluator.SetOwnEnvironment(report->Functions());
        }
        evaluator.Compile(group->Expression());
        group->Initialized = false;
        group->HeaderPage = 1;
    }
}

void TQRCustomController::UnprepareRun() {
    for (TQRCustomController *c : PrecedingControllers() + FollowingControllers())
        c->UnprepareRun();
    for (TQRGroup *group : GroupBands()) {
        group->KeyEvaluator().Discard();
        // The report's list is the run's; the evaluator keeps no pointer to it between runs.
        group->KeyEvaluator().SetDatasetList(nullptr);
    }
}

void TQRCustomController::markChangedFrom(qsizetype index) {
    for (qsizetype i = index; i < m_groups.size(); ++i) {
        if (TQRGroup *group = m_groups[i]) {
            group->LastValue = group->KeyEvaluator().Evaluate();
            group->Changed = true;
            group->Initialized = true;
        }
    }
}

bool TQRCustomController::CheckGroups() {
    for (qsizetype i = 0; i < m_groups.size(); ++i) {
        TQRGroup *group = m_groups[i];
        if (!group)
            continue;
        group->CheckBreak();
        if (group->Changed) {
            markChangedFrom(i + 1);
            return true;
        }
    }
    return false;
}

void TQRCustomController::PrintGroupHeaders() {
    for (qsizetype i = 0; i < m_groups.size(); ++i) {
        TQRGroup *group = m_groups[i];
        if (!group || !group->Changed)
            continue;
        if (m_hostReport)
            m_hostReport->OutputBand(group);
        group->HeaderOpen = true;
        group->HeaderPage = m_hostReport ? m_hostReport->PageNumber : 0;
    }
}

void TQRCustomController::PrintGroupFooters() {
    for (qsizetype i = m_groups.size() - 1; i >= 0; --i) {
        TQRGroup *group = m_groups[i];
        if (!group || !group->Changed)
            continue;
        if (m_hostReport && group->FooterBand())
            m_hostReport->OutputBand(group->FooterBand());
        group->HeaderOpen = false;
    }
}

void TQRCustomController::ReprintGroupHeaders() {
    for (qsizetype i = 0; i < m_groups.size(); ++i)
        if (m_groups[i] && m_groups[i]->Changed)
            return; // headers print anyway
    for (qsizetype i = 0; i < m_preceding.size(); ++i)
        if (TQRCustomController *c = m_preceding[i])
            c->ReprintGroupHeaders();
    const qint32 page = m_hostReport ? m_hostReport->PageNumber : 0;
    for (qsizetype i = 0; i < m_groups.size(); ++i) {
        TQRGroup *group = m_groups[i];
        if (!group)
            continue;
        group->Changed = group->ReprintOnNewPage() && group->HeaderOpen && page != group->HeaderPage;
        if (group->Changed) {
            group->HeaderPage = page;
            markChangedFrom(i + 1);
            PrintGroupHeaders();
            break;
        }
    }
    for (qsizetype i = 0; i < m_following.size(); ++i)
        if (TQRCustomController *c = m_following[i])
            c->ReprintGroupHeaders();
}

void TQRCustomController::RunBeforeList() {
    for (qsizetype i = 0; i < m_preceding.size(); ++i)
        if (TQRCustomController *c = m_preceding[i])
            c->Execute();
}

void TQRCustomController::RunAfterList() {
    for (qsizetype i = 0; i < m_following.size(); ++i)
        if (TQRCustomController *c = m_following[i])
            c->Execute();
}

// ---- TQRController ----

void TQRController::PrepareRun() {
    TQRCustomController::PrepareRun();
    ApplyParams = false;
    auto *query = qobject_cast<TQuery *>(m_dataSet.data());
    if (!query || !m_hostReport)
        return;
    for (const TParam &param : query->ParamList())
        if (m_hostReport->Functions()->IndexOf(param.Name().toUpper()) >= 0)
            ApplyParams = true;
}

void TQRController::applyParams() {
    auto *query = qobject_cast<TQuery *>(m_dataSet.data());
    if (!query || !m_hostReport)
        return;
    TQREvEnvironment *functions = m_hostReport->Functions();
    // Every value is taken before the query closes, so one that cannot be taken leaves the query as it was.
    QList<QPair<int, QVariant>> values;
    const QLocale locale = QLocale::system();
    for (int i = 0; i < query->ParamCount(); ++i) {
        const TParam &param = query->Params(i);
        if (functions->IndexOf(param.Name()) < 0)
            continue;
        const TQREvValue v = functions->EntryValue(param.Name());
        switch (param.DataType()) {
        case ftString:
            if (v.Kind == evString)
                values.append({i, v.Text});
            break;
        case ftSmallint:
        case ftInteger:
        case ftWord:
            if (v.Kind == evInteger)
                values.append({i, v.IntegerValue});
            break;
        case ftBoolean:
            if (v.Kind == evBoolean)
                values.append({i, v.BooleanValue});
            break;
        case ftFloat:
        case ftCurrency:
        case ftBCD:
            if (v.Kind == evFloat)
                values.append({i, v.FloatValue});
            break;
        case ftDate:
        case ftTime:
        case ftDateTime: {
            if (v.Kind != evString)
                break;
            const QVariant parsed = ParamDateValue(v.Text, param.DataType(), locale);
            if (!parsed.isValid())
                throw EQRError(QStringLiteral("'%1' is not a valid date or time for the parameter %2 of %3")
                                   .arg(v.Text, param.Name(), query->objectName()));
            values.append({i, parsed});
            break;
        }
        default:
            break;
        }
    }
    query->Close();
    for (const auto &[index, value] : std::as_const(values)) {
        TParam &param = query->Params(index);
        const TFieldType type = param.DataType();
        param.SetValue(value);
        param.SetDataType(type);
    }
    query->Open();
}

void TQRController::PrintOnceEmpty() {
    TCustomDezirUzu *report = m_hostReport;
    if (!report)
        return;
    report->OutputBand(m_headerBand);
    RunBeforeList();
    report->OutputBand(m_detailBand);
    RunAfterList();
    report->OutputBand(m_footerBand);
}

void TQRController::reportProgress(int recordCount, bool ownDataSet) {
    TQRPrinter *printer = m_hostReport ? m_hostReport->ReportPrinter.data() : nullptr;
    if (!printer)
        return;
    if (ownDataSet && recordCount != 0) {
        printer->SetProgress(int(qint64(RecordsPrinted) * 100 / recordCount));
    } else {
        printer->SetProgress(printer->Progress() + 2);
        if (printer->Progress() > 100)
            printer->SetProgress(5);
    }
}

void TQRController::Execute() {
    const QPointer<TQRCustomController> self(this);
    const QPointer<TCustomDezirUzu> report = m_hostReport;
    int recordCount = 1;
    for (qsizetype i = 0; i < m_groups.size(); ++i)
        if (m_groups[i])
            m_groups[i]->Initialized = false;
    const bool usable = m_dataSet && m_dataSet->Active();
    if ((!usable && !OnNeedData) || !report) {
        if (m_printIfEmpty)
            PrintOnceEmpty();
        return;
    }
    bool MoreData = true;
    const QPointer<TDataSet> dataSet = usable ? m_dataSet.data() : nullptr;
    const bool ownDataSet = dataSet && qobject_cast<TDezirUzu *>(report.data()) && report->DataSet() == dataSet;
    if (dataSet) {
        if (ApplyParams)
            applyParams();
        dataSet->First();
        MoreData = !dataSet->Eof();
        if (qobject_cast<TDezirUzu *>(report.data())) {
            TDataSet *own = report->DataSet();
            try {
                recordCount = own && own->Active() ? own->RecordCount() : 1;
            } catch (const std::exception &) {
                recordCount = 1;
            }
        }
        if (!MoreData && m_printIfEmpty)
            PrintOnceEmpty();
    } else {
        OnNeedData(m_host, MoreData);
    }
    RecordsPrinted = 0;
    if (m_detailBand)
        m_detailBand->RecordController = this;
    if (!MoreData)
        return;
    if (!letMessagesRun(self) || !report)
        controllerGone();
    if (report->RunCancelled)
        return;
    const bool hostIsReport = m_host == report.data();
    if (m_headerBand) {
        report->OutputBand(m_headerBand);
        if (hostIsReport)
            report->SkipNextPageBreak = true;
    }
    if ((report->PageNumber <= 1 || TCustomDezirUzu::ContinuedRun) && hostIsReport) {
        TQRCustomBand *columnHeader = report->BandOfType(rbColumnHeader);
        if (columnHeader && columnHeader->Enabled()) {
            report->OutputBand(columnHeader);
            report->SkipNextPageBreak = true;
        }
    }
    CheckGroups();
    report->SetStopRequested(false);
    while (MoreData) {
        if (!letMessagesRun(self) || !report)
            controllerGone();
        TQRPrinter *printer = report->ReportPrinter;
        if (printer && printer->CancelRequested())
            return;
        ++RecordsPrinted;
        PrintGroupHeaders();
        RunBeforeList();
        report->OutputBand(m_detailBand);
        RunAfterList();
        if (dataSet) {
            dataSet->Next();
            MoreData = !dataSet->Eof();
        } else if (usable) {
            MoreData = false; // the data set went meanwhile
        } else {
            MoreData = false;
            OnNeedData(m_host, MoreData);
        }
        if (CheckGroups()) {
            if (dataSet) {
                dataSet->Prior();
                PrintGroupFooters();
                dataSet->Next();
            } else {
                PrintGroupFooters();
            }
        }
        reportProgress(recordCount, ownDataSet);
        MoreData = MoreData && !report->StopRequested();
        if (report->PagesInPreview() > 0 && report->ReportPrinter)
            MoreData = MoreData && report->ReportPrinter->CurrentPage() <= report->PagesInPreview();
    }
    if (report->ReportPrinter)
        report->ReportPrinter->SetProgress(100);
    for (qsizetype i = 0; i < m_groups.size(); ++i)
        if (m_groups[i])
            m_groups[i]->Changed = !m_groups[i]->Changed;
    PrintGroupFooters();
    if (m_footerBand) {
        if (report->PageNumber == 0)
            report->StartNewPage();
        if (m_footerBand->Size()->NativeValue(0) > report->SpaceLeft())
            report->StartNewColumn();
        report->OutputBand(m_footerBand);
    }
}
