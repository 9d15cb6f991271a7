#include "report/expr/NumericPlan.h"

#include "report/expr/Functions.h"

#include "store/DataSet.h"

#include <typeinfo>

namespace qrexpr {

namespace {

struct Number {
    TQREvKind kind;
    bool boolean;
    qint32 integer;
    double real;
};

template <class T> bool compared(TQREvOperation op, T a, T b) {
    switch (op) {
    case opLess:
        return a < b;
    case opLessOrEqual:
        return a <= b;
    case opGreater:
        return a > b;
    case opGreaterOrEqual:
        return a >= b;
    case opEqual:
        return a == b;
    default:
        return !(a == b);
    }
}

// A field's current value when it is a number in the field's own form.
Q_ALWAYS_INLINE bool readField(const TQREvElementDataField &element, Number &out) {
    const TDataSet *dataSet = element.Dataset.data();
    const TField *field = dataSet ? dataSet->FieldAt(element.FieldIndex) : nullptr;
    if (!field)
        return false;
    const QVariant &raw = dataSet->currentValue(field->Column());
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        if (raw.metaType() != QMetaType::fromType<qlonglong>())
            return false;
        out = {evInteger, false, qint32(quint32(quint64(*static_cast<const qlonglong *>(raw.constData())))), 0};
        return true;
    case ftBCD:
    case ftFMTBcd:
    case ftFloat:
    case ftCurrency:
        if (raw.metaType() != QMetaType::fromType<double>())
            return false;
        out = {evFloat, false, 0, *static_cast<const double *>(raw.constData())};
        return true;
    case ftBoolean:
        if (raw.metaType() != QMetaType::fromType<bool>())
            return false;
        out = {evBoolean, *static_cast<const bool *>(raw.constData()), 0, 0};
        return true;
    default:
        return false;
    }
}

// A constant's current value (the report overwrites some constants while it runs); false for a text or error.
Q_ALWAYS_INLINE bool load(const TQREvValue &v, Number &out) {
    if (v.Kind == evString || v.Kind == evError)
        return false;
    out = {v.Kind, v.BooleanValue, v.IntegerValue, v.FloatValue};
    return true;
}

Q_ALWAYS_INLINE bool floatStep(TQREvOperation op, Number &a, double x, double y) {
    switch (op) {
    case opLess:
    case opLessOrEqual:
    case opGreater:
    case opGreaterOrEqual:
    case opEqual:
    case opUnequal:
        a.kind = evBoolean;
        a.boolean = compared(op, x, y);
        return true;
    case opPlus:
        a.real = x + y;
        break;
    case opMinus:
        a.real = x - y;
        break;
    case opMul:
        a.real = x * y;
        break;
    case opDiv:
        if (y == 0)
            return false;
        a.real = x / y;
        break;
    default:
        return false; // OR and AND refuse floats
    }
    a.kind = evFloat;
    return true;
}

Q_ALWAYS_INLINE bool integerStep(TQREvOperation op, Number &a, qint32 x, qint32 y) {
    switch (op) {
    case opLess:
    case opLessOrEqual:
    case opGreater:
    case opGreaterOrEqual:
    case opEqual:
    case opUnequal:
        a.kind = evBoolean;
        a.boolean = compared(op, x, y);
        return true;
    case opPlus:
        a.integer = qint32(quint32(x) + quint32(y));
        return true;
    case opMinus:
        a.integer = qint32(quint32(x) - quint32(y));
        return true;
    case opMul:
        a.integer = qint32(quint32(x) * quint32(y));
        return true;
    case opOr:
        a.integer = x | y;
        return true;
    case opAnd:
        a.integer = x & y;
        return true;
    case opDiv:
        if (y == 0)
            return false;
        a.kind = evFloat;
        a.real = double(x) / double(y);
        return true;
    }
    return false;
}

Q_ALWAYS_INLINE bool booleanStep(TQREvOperation op, Number &a, bool x, bool y) {
    switch (op) {
    case opEqual:
        a.boolean = x == y;
        return true;
    case opUnequal:
        a.boolean = x != y;
        return true;
    case opOr:
        a.boolean = x || y;
        return true;
    case opAnd:
        a.boolean = x && y;
        return true;
    default:
        return false;
    }
}

// `a` op `b` into `a`, as the operators do for numbers and booleans (the only kinds on the stack); false where
// they would give a text or an error.
Q_ALWAYS_INLINE bool combine(TQREvOperation op, Number &a, const Number &b) {
    switch (a.kind * 4 + b.kind) {
    case evInteger * 4 + evInteger:
        return integerStep(op, a, a.integer, b.integer);
    case evFloat * 4 + evFloat:
        return floatStep(op, a, a.real, b.real);
    case evInteger * 4 + evFloat:
        return floatStep(op, a, a.integer, b.real);
    case evFloat * 4 + evInteger:
        return floatStep(op, a, a.real, b.integer);
    case evBoolean * 4 + evBoolean:
        return booleanStep(op, a, a.boolean, b.boolean);
    default:
        return false; // a boolean meets a number as texts
    }
}

} // namespace

std::unique_ptr<NumericPlan> NumericPlan::make(const TQRFiFo &queue) {
    auto plan = std::unique_ptr<NumericPlan>(new NumericPlan);
    size_t at = 0;
    if (queue.Items.empty() || !plan->parse(queue, at, 1) || at != queue.Items.size())
        return nullptr;
    return plan;
}

// One operand in prefix order: its operands' nodes first, then its own (postfix). `depth` is the stack
// height once the operand's value is pushed.
bool NumericPlan::parse(const TQRFiFo &queue, size_t &at, int depth) {
    if (at >= queue.Items.size() || depth > kMaxDepth)
        return false;
    m_maxDepth = std::max(m_maxDepth, depth);
    const TQREvElement *element = queue.Items[at++].get();
    const std::type_info &type = typeid(*element);
    if (type == typeid(TQREvElementConstant)) {
        m_nodes.push_back(
            {Step::Constant, opPlus, &static_cast<const TQREvElementConstant *>(element)->StoredValue, nullptr});
        return true;
    }
    if (type == typeid(TQREvElementDataField)) {
        m_nodes.push_back({Step::Field, opPlus, nullptr, static_cast<const TQREvElementDataField *>(element)});
        return true;
    }
    if (type == typeid(TQREvElementOperator)) {
        const TQREvOperation operation = static_cast<const TQREvElementOperator *>(element)->Operation;
        if (!parse(queue, at, depth))
            return false;
        if (at < queue.Items.size() && typeid(*queue.Items[at]) == typeid(TQREvElementConstant)) {
            const auto *right = static_cast<const TQREvElementConstant *>(queue.Items[at++].get());
            m_nodes.push_back({Step::OperatorConstant, operation, &right->StoredValue, nullptr});
            return true;
        }
        if (!parse(queue, at, depth + 1))
            return false;
        m_nodes.push_back({Step::Operator, operation, nullptr, nullptr});
        return true;
    }
    if (type == typeid(TQREvElementNot)) {
        if (!parse(queue, at, depth))
            return false;
        m_nodes.push_back({Step::Not, opPlus, nullptr, nullptr});
        return true;
    }
    if (type == typeid(TQREvIfFunction)) {
        // every argument is evaluated, then one is chosen
        if (!parse(queue, at, depth) || !parse(queue, at, depth + 1) || !parse(queue, at, depth + 2))
            return false;
        if (at >= queue.Items.size() || !queue.Items[at]->isArgumentEnd())
            return false;
        ++at;
        m_nodes.push_back({Step::If, opPlus, nullptr, nullptr});
        return true;
    }
    return false;
}

bool NumericPlan::evaluate(TQREvValue &value) const {
    Number stack[kMaxDepth];
    Number *top = stack - 1;
    for (const Node &node : m_nodes) {
        switch (node.step) {
        case Step::Constant:
            if (!load(*node.constant, *++top))
                return false;
            break;
        case Step::Field:
            if (!readField(*node.field, *++top))
                return false;
            break;
        case Step::Operator:
            --top;
            if (!combine(node.operation, top[0], top[1]))
                return false;
            break;
        case Step::OperatorConstant: {
            Number right;
            if (!load(*node.constant, right) || !combine(node.operation, *top, right))
                return false;
            break;
        }
        case Step::Not:
            if (top->kind != evBoolean)
                return false;
            top->boolean = !top->boolean;
            break;
        case Step::If:
            top -= 2;
            if (top->kind != evBoolean)
                return false;
            *top = top->boolean ? top[1] : top[2];
            break;
        }
    }
    value.Kind = stack[0].kind;
    value.BooleanValue = stack[0].boolean;
    value.IntegerValue = stack[0].integer;
    value.FloatValue = stack[0].real;
    return true;
}

} // namespace qrexpr
