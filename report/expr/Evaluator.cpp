#include "report/expr/Evaluator.h"

#include "report/expr/Environment.h"
#include "report/expr/FunctionLibrary.h"
#include "report/expr/NumericPlan.h"
#include "report/expr/TextPlan.h"

#include "store/DataSet.h"

#include <QLocale>

#include <limits>

namespace {

// Nesting beyond this is refused, so a pathological text cannot exhaust the stack while compiling or
// evaluating (the queue nests as deep as the compile did).
constexpr int kMaxNesting = 1000;

const QString kErrorInExpression = QStringLiteral("Error in expression : ");
const QString kTooDeep = QStringLiteral("Expression too deeply nested");

// Where a scan stands: inside quotes, inside a bracketed name, and how deep in parentheses.
struct Scan {
    bool quoted = false;
    bool bracketed = false;
    int depth = 0;

    bool topLevel() const { return !quoted && !bracketed && depth == 0; }
    void step(QChar c) {
        if (c == QLatin1Char('\'')) {
            if (!bracketed)
                quoted = !quoted;
        } else if (c == QLatin1Char('[')) {
            if (!quoted && !bracketed)
                bracketed = true;
        } else if (c == QLatin1Char(']')) {
            if (bracketed && !quoted)
                bracketed = false;
        } else if (!quoted && !bracketed) {
            if (c == QLatin1Char('('))
                ++depth;
            else if (c == QLatin1Char(')'))
                --depth;
        }
    }
};

// Before the right part of `a - b + c` or `a / b * c` is compiled its top-level signs are exchanged, so the
// right-leaning compile keeps the left-to-right meaning. Bracketed names are left as written.
QString exchanged(QString text, QChar a, QChar b) {
    Scan scan;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (scan.topLevel()) {
            if (c == a)
                text[i] = b;
            else if (c == b)
                text[i] = a;
        }
        scan.step(c);
    }
    return text;
}

// `word` (lower case ASCII) at position `at`, in any case.
bool wordAt(const QString &text, qsizetype at, QLatin1StringView word) {
    if (at + word.size() > text.size())
        return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = text[at + i].unicode();
        const char16_t lower = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
        if (lower != char16_t(word[i].unicode()))
            return false;
    }
    return true;
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
bool isLetter(QChar c) {
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

QString stripBlanks(const QString &text) {
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text[from] == QLatin1Char(' '))
        ++from;
    while (to > from && text[to - 1] == QLatin1Char(' '))
        --to;
    return text.mid(from, to - from);
}

// A NOT needs a blank or a parenthesis after it, so names such as NOTE stay names. A NOT with nothing after
// it is a negation of nothing.
bool isNegation(const QString &factor) {
    return wordAt(factor, 0, QLatin1StringView("not")) &&
           (factor.size() == 3 || factor[3] == QLatin1Char(' ') || factor[3] == QLatin1Char('('));
}

// Function arguments split at top-level commas; quotes and parentheses count, brackets do not, and the last
// character never separates.
QStringList splitArguments(const QString &text) {
    QStringList pieces;
    if (text.isEmpty())
        return pieces;
    bool quoted = false;
    int depth = 0;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted) {
            if (c == QLatin1Char('('))
                ++depth;
            else if (c == QLatin1Char(')'))
                --depth;
            else if (c == QLatin1Char(',') && depth == 0 && i != n - 1) {
                pieces << text.mid(start, i - start);
                start = i + 1;
            }
        }
    }
    pieces << text.mid(start);
    return pieces;
}

// The first position at top level, never the text's first or last character, where `isOperator` holds;
// -1 when there is none.
template <typename IsOperator> qsizetype firstOperator(const QString &text, IsOperator isOperator) {
    const qsizetype n = text.size();
    Scan scan;
    for (qsizetype i = 0; i < n; ++i) {
        if (i >= 1 && i <= n - 2 && scan.topLevel() && isOperator(i))
            return i;
        scan.step(text[i]);
    }
    return -1;
}

std::unique_ptr<TQREvElement> unknownName(const QString &name) {
    return std::make_unique<TQREvElementError>(QStringLiteral("Unknown function : ") + name);
}

} // namespace

// Counts the nesting of the compile levels for the duration of one of them.
class TQREvaluator::Depth {
public:
    explicit Depth(TQREvaluator &evaluator) : m_evaluator(evaluator) { ++m_evaluator.m_depth; }
    ~Depth() { --m_evaluator.m_depth; }
    bool tooDeep() const { return m_evaluator.m_depth > kMaxNesting; }

private:
    TQREvaluator &m_evaluator;
};

TQREvaluator::TQREvaluator() = default;

TQREvaluator::~TQREvaluator() {
    Discard();
    if (m_ownsDatasetList)
        delete m_datasetList;
}

TQRDataSetList *TQREvaluator::DatasetList() {
    if (!m_datasetList) {
        m_datasetList = new TQRDataSetList;
        m_ownsDatasetList = true;
    }
    return m_datasetList;
}

void TQREvaluator::SetDatasetList(TQRDataSetList *list) {
    if (list == m_datasetList)
        return;
    if (m_ownsDatasetList)
        delete m_datasetList;
    m_datasetList = list;
    m_ownsDatasetList = false;
}

TQREvEnvironment *TQREvaluator::OwnEnvironment() const {
    return m_ownEnvironment.data();
}

void TQREvaluator::SetOwnEnvironment(TQREvEnvironment *environment) {
    m_ownEnvironment = environment;
}

void TQREvaluator::Compile(const QString &text) {
    if (m_compiled)
        Discard();
    if (TQREvEnvironment *global = GlobalEnvironment())
        global->PrepareAll();
    m_queue = std::make_unique<TQRFiFo>();
    // An empty expression is a string of one blank.
    compileComparison(text.isEmpty() ? QStringLiteral("' '") : text);
    m_plan = qrexpr::NumericPlan::make(*m_queue);
    if (!m_plan)
        m_textPlan = qrexpr::TextPlan::make(*m_queue);
    if (m_queue->Items.size() == 1 && m_queue->Items.front()->isConstant())
        m_constant = &static_cast<TQREvElementConstant &>(*m_queue->Items.front()).StoredValue;
    m_compiled = true;
}

void TQREvaluator::Discard() {
    // Only a compiled evaluator holds a preparation; releasing twice would unprepare the entries of others.
    if (!m_compiled)
        return;
    m_constant = nullptr;
    m_plan.reset();
    m_textPlan.reset();
    m_queue.reset();
    m_compiled = false;
    if (TQREvEnvironment *global = GlobalEnvironment())
        global->ReleaseAll();
}

TQREvValue TQREvaluator::Evaluate() {
    if (!m_compiled)
        throw EQRExprError(QStringLiteral("Evaluator not prepared"));
    // one value, returned in place
    TQREvValue value;
    if (m_constant) {
        value.assign(*m_constant); // what walking the queue gives, without the walk
    } else if (!(m_plan ? m_plan->evaluate(value) : m_textPlan && m_textPlan->evaluate(value))) {
        m_queue->Rewind();
        if (TQREvElement *first = m_queue->Next())
            qrEvaluateElement(*first, *m_queue, value);
        else
            value = TQREvValue::error();
    }
    return value;
}

TQREvValue TQREvaluator::EvaluateOnce(const QString &text) {
    Compile(text);
    struct DiscardAtEnd {
        TQREvaluator &e;
        ~DiscardAtEnd() { e.Discard(); }
    } discard{*this};
    return Evaluate();
}

bool TQREvaluator::HasAggregates() const {
    if (!m_queue)
        return false;
    for (const auto &element : m_queue->Items)
        if (element->IsAggregate)
            return true;
    return false;
}

void TQREvaluator::Accumulate() {
    if (!m_compiled)
        throw EQRExprError(QStringLiteral("Evaluator not prepared"));
    struct Pass {
        TQRFiFo &queue;
        explicit Pass(TQRFiFo &q) : queue(q) { queue.Accumulating = true; }
        ~Pass() { queue.Accumulating = false; }
    } pass(*m_queue);
    Evaluate();
}

void TQREvaluator::ResetAggregates() {
    if (!m_queue)
        return;
    for (const auto &element : m_queue->Items)
        element->ResetState();
}

void TQREvaluator::appendElement(std::unique_ptr<TQREvElement> element) {
    if (element && m_queue)
        m_queue->Append(std::move(element));
}

void TQREvaluator::appendError(const QString &message) {
    appendElement(std::make_unique<TQREvElementError>(message));
}

void TQREvaluator::compileComparison(const QString &text) {
    const Depth depth(*this);
    if (depth.tooDeep())
        return appendError(kTooDeep);
    const qsizetype i = firstOperator(text, [&text](qsizetype at) {
        const QChar c = text[at];
        return c == QLatin1Char('<') || c == QLatin1Char('=') || c == QLatin1Char('>');
    });
    if (i < 0)
        return compileAdditive(text);
    const QChar c = text[i];
    const QChar next = text[i + 1];
    TQREvOperation op = c == QLatin1Char('<') ? opLess : c == QLatin1Char('>') ? opGreater : opEqual;
    qsizetype length = 1;
    if (c == QLatin1Char('<') && next == QLatin1Char('>'))
        op = opUnequal, length = 2;
    else if (c == QLatin1Char('<') && next == QLatin1Char('='))
        op = opLessOrEqual, length = 2;
    else if (c == QLatin1Char('>') && next == QLatin1Char('='))
        op = opGreaterOrEqual, length = 2;
    appendElement(std::make_unique<TQREvElementOperator>(op));
    compileAdditive(text.left(i));
    compileAdditive(text.mid(i + length));
}

// A level of operators that bind alike: two signs and a word operator. The text splits at the first one at
// top level; the left part goes to the tighter level, the right part to this level again, with its signs
// exchanged after the second sign (`-`, `/`) so the right-leaning compile keeps the left-to-right meaning.
struct TQREvaluator::Chain {
    QChar sign;
    QChar inverse;
    TQREvOperation signOperation;
    TQREvOperation inverseOperation;
    QLatin1StringView word; // with its trailing blank; the blank before it is part of the left side
    TQREvOperation wordOperation;
    void (TQREvaluator::*tighter)(const QString &);
    void (TQREvaluator::*same)(const QString &);
};

void TQREvaluator::compileChain(const QString &text, const Chain &level) {
    const Depth depth(*this);
    if (depth.tooDeep())
        return appendError(kTooDeep);
    const qsizetype i = firstOperator(text, [&](qsizetype at) {
        const QChar c = text[at];
        return c == level.sign || c == level.inverse || (c == QLatin1Char(' ') && wordAt(text, at + 1, level.word));
    });
    if (i < 0)
        return (this->*level.tighter)(text);
    const QChar c = text[i];
    if (c == QLatin1Char(' ')) {
        appendElement(std::make_unique<TQREvElementOperator>(level.wordOperation));
        (this->*level.tighter)(text.left(i + 1));
        (this->*level.same)(text.mid(i + level.word.size()));
        return;
    }
    const bool inverse = c == level.inverse;
    appendElement(std::make_unique<TQREvElementOperator>(inverse ? level.inverseOperation : level.signOperation));
    (this->*level.tighter)(text.left(i));
    const QString right = text.mid(i + 1);
    (this->*level.same)(inverse ? exchanged(right, level.sign, level.inverse) : right);
}

void TQREvaluator::compileAdditive(const QString &text) {
    static const Chain additive{QLatin1Char('+'),
                                QLatin1Char('-'),
                                opPlus,
                                opMinus,
                                QLatin1StringView("or "),
                                opOr,
                                &TQREvaluator::compileMultiplicative,
                                &TQREvaluator::compileAdditive};
    compileChain(text, additive);
}

void TQREvaluator::compileMultiplicative(const QString &text) {
    static const Chain multiplicative{QLatin1Char('*'),
                                      QLatin1Char('/'),
                                      opMul,
                                      opDiv,
                                      QLatin1StringView("and "),
                                      opAnd,
                                      &TQREvaluator::compileFactor,
                                      &TQREvaluator::compileMultiplicative};
    compileChain(text, multiplicative);
}

void TQREvaluator::compileFactor(const QString &raw) {
    const Depth depth(*this);
    const QString text = stripBlanks(raw);
    if (depth.tooDeep())
        return appendError(kTooDeep);
    // An empty factor (from "()", a lone sign or NOT, an empty argument) is an error like any other text.
    if (text.isEmpty())
        return appendError(kErrorInExpression);
    if (isNegation(text)) {
        const QString operand = text.mid(3);
        if (stripBlanks(operand).isEmpty())
            return appendError(kErrorInExpression);
        appendElement(std::make_unique<TQREvElementNot>());
        return compileAdditive(operand);
    }
    const qsizetype n = text.size();
    const QChar first = text.front();
    const QChar last = text.back();
    if (first == QLatin1Char('\'')) {
        if (n >= 2 && last == QLatin1Char('\''))
            appendElement(std::make_unique<TQREvElementString>(text.mid(1, n - 2)));
        else
            appendError(QStringLiteral("Missing '"));
    } else if (first == QLatin1Char('(')) {
        if (last == QLatin1Char(')'))
            compileComparison(text.mid(1, n - 2));
        else
            appendError(QStringLiteral("Missing )"));
    } else if (first == QLatin1Char('+')) {
        compileFactor(text.mid(1));
    } else if (first == QLatin1Char('-')) {
        // Unary minus is a subtraction from zero.
        compileAdditive(QStringLiteral("0-") + text.mid(1));
    } else if (isDigit(first)) {
        compileNumber(text);
    } else if (isLetter(first)) {
        compileNameOrCall(text);
    } else if (first == QLatin1Char('[')) {
        if (n >= 2 && last == QLatin1Char(']'))
            HandleName(text.mid(1, n - 2));
        else
            appendError(QStringLiteral("Missing ]"));
    } else {
        appendError(kErrorInExpression + qrexpr::cutText(text));
    }
}

void TQREvaluator::compileNumber(const QString &text) {
    const qsizetype n = text.size();
    qsizetype digits = 0;
    while (digits < n && isDigit(text[digits]))
        ++digits;
    const auto illegal = [&] { appendError(QStringLiteral("Illegal character in numeric contant \"%1\"").arg(text)); };
    if (digits == n) {
        bool ok = false;
        const qlonglong v = text.toLongLong(&ok);
        if (ok && v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max())
            return appendElement(std::make_unique<TQREvElementConstant>(TQREvValue::integer(qint32(v))));
    } else {
        for (qsizetype i = digits; i < n; ++i) {
            const QChar c = text[i];
            if (!isDigit(c) && c != QLatin1Char('+') && c != QLatin1Char('-') && c != QLatin1Char('.') &&
                c != QLatin1Char('E') && c != QLatin1Char('e'))
                return illegal();
        }
    }
    // The decimal point is '.' whatever the locale.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(text, &ok);
    if (!ok)
        return illegal();
    appendElement(std::make_unique<TQREvElementConstant>(TQREvValue::floating(v)));
}

void TQREvaluator::compileNameOrCall(const QString &text) {
    // A bare name is a call without arguments: a function such as TRUE, else a field or variable.
    const qsizetype open = text.indexOf(QLatin1Char('('));
    if (open < 0)
        return HandleFunctionCall(text, QString());
    if (text.back() == QLatin1Char(')'))
        HandleFunctionCall(text.left(open), text.mid(open + 1, text.size() - open - 2));
    else
        HandleFunctionCall(QString(), QString());
}

void TQREvaluator::HandleFunctionCall(const QString &name, const QString &argumentText) {
    TQRFunctionLibrary *registry = FunctionRegistry();
    std::unique_ptr<TQREvElement> element =
        registry ? registry->CreateFunctionElement(name.toUpper()) : unknownName(name.toUpper());
    if (dynamic_cast<TQREvElementFunction *>(element.get())) {
        appendElement(std::move(element));
        for (const QString &argument : splitArguments(argumentText))
            compileComparison(argument);
        appendElement(std::make_unique<TQREvElementArgumentEnd>());
    } else if (!argumentText.isEmpty()) {
        appendElement(std::move(element));
    } else {
        HandleName(name);
    }
}

bool TQREvaluator::appendField(const QString &name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const QString fieldName = (dot < 0 ? name : name.mid(dot + 1)).toUpper();
    const QString prefix = dot < 0 ? QString() : name.left(dot).toUpper();
    for (int i = 0; i < m_datasetList->Count(); ++i) {
        TDataSet *dataSet = m_datasetList->At(i);
        if (!dataSet)
            continue;
        if (dot >= 0 && dataSet->objectName().toUpper() != prefix)
            continue;
        if (TField *field = dataSet->FindField(fieldName)) {
            appendElement(std::make_unique<TQREvElementDataField>(dataSet, field->Index(), field));
            return true;
        }
        if (dot >= 0)
            return false; // the first data set of that name decides
    }
    return false;
}

std::unique_ptr<TQREvElement> TQREvaluator::environmentReference(const QString &name) const {
    if (TQREvEnvironment *own = m_ownEnvironment.data()) {
        std::unique_ptr<TQREvElement> element = own->MakeReference(name);
        if (!dynamic_cast<TQREvElementError *>(element.get()))
            return element;
    }
    if (TQREvEnvironment *global = GlobalEnvironment())
        return global->MakeReference(name);
    return unknownName(name);
}

void TQREvaluator::HandleName(const QString &name) {
    if (m_datasetList && appendField(name))
        return;
    appendElement(environmentReference(name));
}
