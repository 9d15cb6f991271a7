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
inline bool readField(const TQREvElementDataField &element, Number &out) {
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

// `a` op `b` into `a`, as the operators do for numbers and booleans; false where they would give a text or
// an error.
inline bool combine(TQREvOperation op, Number &a, const Number &b) {
    const bool comparison = op <= opUnequal;
    if (a.kind == evBoolean || b.kind == evBoolean) {
        if (a.kind != b.kind)
            return false;
        switch (op) {
        case opEqual:
            a.boolean = a.boolean == b.boolean;
            return true;
        case opUnequal:
            a.boolean = a.boolean != b.boolean;
            return true;
        case opOr:
            a.boolean = a.boolean || b.boolean;
            return true;
        case opAnd:
            a.boolean = a.boolean && b.boolean;
            return true;
        default:
            return false;
        }
    }
    if (a.kind == evInteger && b.kind == evInteger) {
        const qint32 x = a.integer;
        const qint32 y = b.integer;
        if (comparison) {
            a = {evBoolean, compared(op, x, y), 0, 0};
            return true;
        }
        switch (op) {
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
        default:
            if (y == 0)
                return false;
            a = {evFloat, false, 0, double(x) / double(y)};
            return true;
        }
    }
    const double x = a.kind == evInteger ? a.integer : a.real;
    const double y = b.kind == evInteger ? b.integer : b.real;
    if (comparison) {
        a = {evBoolean, compared(op, x, y), 0, 0};
        return true;
    }
    double r;
    switch (op) {
    case opPlus:
        r = x + y;
        break;
    case opMinus:
        r = x - y;
        break;
    case opMul:
        r = x * y;
        break;
    case opDiv:
        if (y == 0)
            return false;
        r = x / y;
        break;
    default:
        return false; // OR and AND refuse floats
    }
    a = {evFloat, false, 0, r};
    return true;
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
        m_nodes.push_back({Step::Constant, opPlus, element});
        return true;
    }
    if (type == typeid(TQREvElementDataField)) {
        m_nodes.push_back({Step::Field, opPlus, element});
        return true;
    }
    if (type == typeid(TQREvElementOperator)) {
        if (!parse(queue, at, depth) || !parse(queue, at, depth + 1))
            return false;
        m_nodes.push_back({Step::Operator, static_cast<const TQREvElementOperator *>(element)->Operation, element});
        return true;
    }
    if (type == typeid(TQREvElementNot)) {
        if (!parse(queue, at, depth))
            return false;
        m_nodes.push_back({Step::Not, opPlus, element});
        return true;
    }
    if (type == typeid(TQREvIfFunction)) {
        // every argument is evaluated, then one is chosen
        if (!parse(queue, at, depth) || !parse(queue, at, depth + 1) || !parse(queue, at, depth + 2))
            return false;
        if (at >= queue.Items.size() || !queue.Items[at]->isArgumentEnd())
            return false;
        ++at;
        m_nodes.push_back({Step::If, opPlus, element});
        return true;
    }
    return false;
}

bool NumericPlan::evaluate(TQREvValue &value) const {
    Number stack[kMaxDepth];
    int top = -1;
    for (const Node &node : m_nodes) {
        switch (node.step) {
        case Step::Constant: {
            const TQREvValue &v = static_cast<const TQREvElementConstant *>(node.element)->StoredValue;
            if (v.Kind == evString || v.Kind == evError)
                return false;
            stack[++top] = {v.Kind, v.BooleanValue, v.IntegerValue, v.FloatValue};
            break;
        }
        case Step::Field:
            if (!readField(*static_cast<const TQREvElementDataField *>(node.element), stack[++top]))
                return false;
            break;
        case Step::Operator:
            --top;
            if (!combine(node.operation, stack[top], stack[top + 1]))
                return false;
            break;
        case Step::Not:
            if (stack[top].kind != evBoolean)
                return false;
            stack[top].boolean = !stack[top].boolean;
            break;
        case Step::If:
            top -= 2;
            if (stack[top].kind != evBoolean)
                return false;
            stack[top] = stack[top].boolean ? stack[top + 1] : stack[top + 2];
            break;
        }
    }
    const Number &n = stack[0];
    value.Kind = n.kind;
    value.BooleanValue = n.boolean;
    value.IntegerValue = n.integer;
    value.FloatValue = n.real;
    return true;
}

} // namespace qrexpr
