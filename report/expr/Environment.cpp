#include "report/expr/Environment.h"

#include "report/expr/ExprUnit.h"

namespace {

QString unknownFunction(const QString &name) {
    return QStringLiteral("Unknown function : ") + name;
}

} // namespace

TQREvEmbeddedFunction::TQREvEmbeddedFunction(const QString &expression) : m_expressionText(expression) {}

void TQREvEmbeddedFunction::Evaluate(TQRFiFo &, TQREvValue &value) {
    if (m_inEvaluation) {
        value = TQREvValue::error(QStringLiteral("Recursive calls not allowed"));
        return;
    }
    // a constant entry (PAGENUMBER) cannot reach anything, so it is read without the evaluator
    if (const TQREvValue *constant = m_evaluator.SingleConstant()) {
        value.assign(*constant);
        return;
    }
    m_inEvaluation = true;
    struct Leave {
        bool &flag;
        ~Leave() { flag = false; }
    } leave{m_inEvaluation};
    value = m_evaluator.Evaluate();
}

void TQREvEmbeddedFunction::ResetState() {
    m_evaluator.ResetAggregates();
}

TQREvElementWrapper::TQREvElementWrapper(const std::shared_ptr<TQREvEmbeddedFunction> &target, const QString &name)
    : m_target(target), m_entry(target.get()), m_name(name) {}

void TQREvElementWrapper::Evaluate(TQRFiFo &queue, TQREvValue &value) {
    // Everything runs on one thread, so a target that has not expired stays for this evaluation.
    if (!m_target.expired())
        m_entry->Evaluate(queue, value);
    else
        value = TQREvValue::error(unknownFunction(m_name));
}

TQREvEnvironment::TQREvEnvironment(QObject *parent) : QObject(parent) {}

TQREvEnvironment::~TQREvEnvironment() {
    m_entries.clear();
    if (m_ownsDatasetList)
        delete m_datasetList;
}

int TQREvEnvironment::IndexOf(const QString &name) const {
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (QString::compare(m_entries[i].name, name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void TQREvEnvironment::prepare(TQREvEmbeddedFunction &function) {
    TQREvaluator &evaluator = function.Evaluator();
    evaluator.SetDatasetList(DatasetList());
    evaluator.SetOwnEnvironment(this);
    evaluator.Compile(function.ExpressionText());
}

TQREvEmbeddedFunction *TQREvEnvironment::attach(Item &item, const QString &expression) {
    auto function = std::make_shared<TQREvEmbeddedFunction>(expression);
    item.function = function;
    if (IsPrepared())
        prepare(*function);
    return function.get();
}

TQREvEmbeddedFunction *TQREvEnvironment::functionOf(Item &item) {
    return item.function ? item.function.get() : attach(item, QString());
}

void TQREvEnvironment::AddEntry(const QString &name, const QString &expression) {
    const QString upper = name.toUpper();
    if (IndexOf(upper) >= 0)
        return;
    m_entries.push_back(Item{upper, nullptr});
    // Only the new entry is compiled: recompiling another would drop constants the report holds.
    attach(m_entries.back(), expression);
}

void TQREvEnvironment::RemoveEntry(const QString &name) {
    const int i = IndexOf(name);
    if (i >= 0)
        m_entries.erase(m_entries.begin() + i);
}

void TQREvEnvironment::Clear() {
    m_entries.clear();
}

TQREvEmbeddedFunction *TQREvEnvironment::Entry(int index) {
    if (index < 0 || index >= Count())
        return nullptr;
    return functionOf(m_entries[size_t(index)]);
}

std::unique_ptr<TQREvElement> TQREvEnvironment::MakeReference(const QString &name) {
    const int i = IndexOf(name.toUpper());
    if (i < 0)
        return std::make_unique<TQREvElementError>(unknownFunction(name));
    Item &item = m_entries[size_t(i)];
    functionOf(item);
    return std::make_unique<TQREvElementWrapper>(item.function, item.name);
}

TQREvValue TQREvEnvironment::EntryValue(const QString &name) {
    const int i = IndexOf(name.toUpper());
    if (i < 0)
        return TQREvValue::error();
    TQRFiFo unused;
    TQREvValue value;
    functionOf(m_entries[size_t(i)])->Evaluate(unused, value);
    return value;
}

TQREvElement *TQREvEnvironment::FindConstant(const QString &name) {
    const int i = IndexOf(name.toUpper());
    if (i < 0)
        return nullptr;
    const TQRFiFo *queue = functionOf(m_entries[size_t(i)])->Evaluator().Queue();
    if (!queue || queue->Items.empty())
        return nullptr;
    return queue->Items.front().get();
}

// The report stores into its constants once per page or record, so the element's kind is told by its tag.
void TQREvEnvironment::StoreInteger(TQREvElement *element, qint32 n) {
    if (element && element->isConstant())
        static_cast<TQREvElementConstant *>(element)->StoredValue = TQREvValue::integer(n);
}

void TQREvEnvironment::StoreText(TQREvElement *element, const QString &text) {
    if (element && element->isString())
        static_cast<TQREvElementString *>(element)->Text = qrexpr::cutText(text);
}

void TQREvEnvironment::StoreValue(TQREvElement *element, const TQREvValue &value) {
    if (element && element->isConstant())
        static_cast<TQREvElementConstant *>(element)->StoredValue = value;
    else if (element && element->isString() && value.Kind == evString)
        static_cast<TQREvElementString *>(element)->Text = qrexpr::cutText(value.Text);
}

void TQREvEnvironment::PrepareAll() {
    if (m_prepareCount++ > 0)
        return;
    // By position: compiling an entry may reach back into this environment.
    for (size_t i = 0; i < m_entries.size(); ++i)
        prepare(*functionOf(m_entries[i]));
}

void TQREvEnvironment::ReleaseAll() {
    qrexpr::Unit *u = qrexpr::unit();
    const bool global = u && u->global == this;
    if (global) {
        if (u->releasingGlobal)
            return;
        u->releasingGlobal = true;
    }
    struct Done {
        qrexpr::Unit *u;
        ~Done() {
            if (u)
                u->releasingGlobal = false;
        }
    } done{global ? u : nullptr};
    // An unbalanced release must not unprepare entries others still use.
    if (m_prepareCount == 0)
        return;
    if (--m_prepareCount > 0)
        return;
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].function)
            m_entries[i].function->Evaluator().Discard();
}

TQRDataSetList *TQREvEnvironment::DatasetList() {
    if (!m_datasetList) {
        m_datasetList = new TQRDataSetList;
        m_ownsDatasetList = true;
    }
    return m_datasetList;
}

void TQREvEnvironment::SetDatasetList(TQRDataSetList *list) {
    if (list == m_datasetList)
        return;
    if (m_ownsDatasetList) {
        // Entries compiled with the old list must not keep a pointer to it.
        for (Item &item : m_entries)
            if (item.function)
                item.function->Evaluator().SetDatasetList(list);
        delete m_datasetList;
    }
    m_datasetList = list;
    m_ownsDatasetList = false;
}

QStringList TQREvEnvironment::Strings() const {
    QStringList names;
    for (const Item &item : m_entries)
        names << item.name;
    return names;
}

void TQREvEnvironment::SetStrings(const QStringList &names) {
    Clear();
    for (const QString &name : names)
        m_entries.push_back(Item{name, nullptr});
}

QStringList TQREvEnvironment::Data() const {
    QStringList expressions;
    for (const Item &item : m_entries)
        expressions << (item.function ? item.function->ExpressionText() : QString());
    return expressions;
}

void TQREvEnvironment::SetData(const QStringList &expressions) {
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (!m_entries[i].function)
            attach(m_entries[i], expressions.value(qsizetype(i)));
}

TQREvEnvironment *GlobalEnvironment() {
    qrexpr::Unit *u = qrexpr::unit();
    return u ? u->global : nullptr;
}
