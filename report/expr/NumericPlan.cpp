#include "report/expr/NumericPlan.h"

#include "report/expr/Environment.h"
#include "report/expr/Functions.h"

#include "store/DataSet.h"

#include <typeinfo>

namespace qrexpr {

namespace {

// A number or boolean as the plan holds it: an integer (always a 32-bit value, so exact), a float, or a
// boolean (0 or 1), all as a double. Two registers, and an integer or float pair needs no conversion.
struct Number {
    int kind; // evInteger, evFloat or evBoolean
    double v;
};

// The steps of an operator are laid out by the operation's code.
static_assert(opLess == 0 && opAnd == 11);

constexpr bool isComparison(TQREvOperation op) {
    return op <= opUnequal;
}

template <TQREvOperation op> Q_ALWAYS_INLINE bool compared(double a, double b) {
    if constexpr (op == opLess)
        return a < b;
    else if constexpr (op == opLessOrEqual)
        return a <= b;
    else if constexpr (op == opGreater)
        return a > b;
    else if constexpr (op == opGreaterOrEqual)
        return a >= b;
    else if constexpr (op == opEqual)
        return a == b;
    else
        return !(a == b);
}

Q_ALWAYS_INLINE qint32 asInteger(double v) {
    return qint32(v);
}

// A field's current value when it is a number in the field's own form.
Q_ALWAYS_INLINE bool readField(const TQREvElementDataField &element, Number &out) {
    const TDataSet *dataSet = element.Dataset.data();
    const TField *field = dataSet ? dataSet->FieldAt(element.FieldIndex) : nullptr;
    if (!field)
        return false;
    const QVariant &raw = dataSet->currentValue(field->Column());
    // the stored type without a call into the library
    const QtPrivate::QMetaTypeInterface *type = raw.data_ptr().typeInterface();
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        if (type != QMetaType::fromType<qlonglong>().iface())
            return false;
        out.kind = evInteger;
        out.v = qint32(quint32(quint64(*static_cast<const qlonglong *>(raw.constData()))));
        return true;
    case ftBCD:
    case ftFMTBcd:
    case ftFloat:
    case ftCurrency:
        if (type != QMetaType::fromType<double>().iface())
            return false;
        out.kind = evFloat;
        out.v = *static_cast<const double *>(raw.constData());
        return true;
    case ftBoolean:
        if (type != QMetaType::fromType<bool>().iface())
            return false;
        out.kind = evBoolean;
        out.v = *static_cast<const bool *>(raw.constData());
        return true;
    default:
        return false;
    }
}

// A constant's current value (the report overwrites some constants while it runs); false for a text or error.
Q_ALWAYS_INLINE bool load(const TQREvValue &c, Number &out) {
    out.kind = c.Kind;
    if (c.Kind == evInteger)
        out.v = c.IntegerValue;
    else if (c.Kind == evFloat)
        out.v = c.FloatValue;
    else if (c.Kind == evBoolean)
        out.v = c.BooleanValue;
    else
        return false;
    return true;
}

// `a` op `b` into `a`, as the operators do for numbers and booleans (the only kinds on the stack); false where
// they would give a text or an error. `kinds` is evInteger for two integers and evFloat for two numbers of
// which one is a float; anything else holds a boolean.
template <TQREvOperation op> Q_ALWAYS_INLINE bool combine(Number &a, const Number &b) {
    const int kinds = a.kind | b.kind;
    if constexpr (isComparison(op)) {
        // an integer compares with a float as a float; exact for two integers too
        if (kinds <= evFloat || (op >= opEqual && a.kind == evBoolean && b.kind == evBoolean)) {
            a.kind = evBoolean;
            a.v = compared<op>(a.v, b.v);
            return true;
        }
        return false; // a boolean meets a number as texts; booleans do not order
    } else if constexpr (op == opDiv) {
        if (kinds > evFloat || b.v == 0)
            return false;
        a.kind = evFloat;
        a.v = a.v / b.v;
        return true;
    } else if constexpr (op == opOr || op == opAnd) {
        if (kinds == evInteger) {
            a.v = op == opOr ? asInteger(a.v) | asInteger(b.v) : asInteger(a.v) & asInteger(b.v);
            return true;
        }
        if (a.kind == evBoolean && b.kind == evBoolean) {
            a.v = op == opOr ? (a.v != 0 || b.v != 0) : (a.v != 0 && b.v != 0);
            return true;
        }
        return false; // OR and AND refuse floats
    } else {
        if (kinds == evInteger) {
            // integer arithmetic wraps modulo 2^32
            const quint32 x = quint32(asInteger(a.v));
            const quint32 y = quint32(asInteger(b.v));
            a.v = qint32(op == opPlus ? x + y : op == opMinus ? x - y : x * y);
            return true;
        }
        if (kinds == evFloat) {
            a.kind = evFloat;
            a.v = op == opPlus ? a.v + b.v : op == opMinus ? a.v - b.v : a.v * b.v;
            return true;
        }
        return false;
    }
}

// The constant or the field at a position of the queue, or null.
const TQREvValue *constantAt(const TQRFiFo &queue, size_t at) {
    if (at >= queue.Items.size() || !queue.Items[at]->isConstant())
        return nullptr;
    return &static_cast<const TQREvElementConstant *>(queue.Items[at].get())->StoredValue;
}

// A field taken only when it is of a number or boolean type now, so a text field does not make a plan that
// gives up at every record.
const TQREvElementDataField *fieldAt(const TQRFiFo &queue, size_t at) {
    if (at >= queue.Items.size())
        return nullptr;
    const TQREvElement &item = *queue.Items[at];
    if (typeid(item) != typeid(TQREvElementDataField))
        return nullptr;
    const auto *element = static_cast<const TQREvElementDataField *>(&item);
    const TDataSet *dataSet = element->Dataset.data();
    const TField *field = dataSet ? dataSet->FieldAt(element->FieldIndex) : nullptr;
    switch (field ? field->DataType() : ftUnknown) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftBCD:
    case ftFMTBcd:
    case ftFloat:
    case ftCurrency:
    case ftBoolean:
        return element;
    default:
        return nullptr;
    }
}

} // namespace

std::unique_ptr<NumericPlan> NumericPlan::make(const TQRFiFo &queue) {
    size_t at = 0;
    std::unique_ptr<NumericPlan> plan = makeOperand(queue, at);
    return plan && at == queue.Items.size() ? std::move(plan) : nullptr;
}

std::unique_ptr<NumericPlan> NumericPlan::makeOperand(const TQRFiFo &queue, size_t &at) {
    auto plan = std::unique_ptr<NumericPlan>(new NumericPlan);
    size_t end = at;
    if (!plan->parse(queue, end, 1))
        return nullptr;
    plan->m_nodes.push_back({End, 0, nullptr, nullptr});
    at = end;
    return plan;
}

bool NumericPlan::slotOf(const TQREvElementDataField *element, quint8 &slot) {
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i]->Dataset == element->Dataset && m_fields[i]->FieldIndex == element->FieldIndex) {
            slot = quint8(i);
            return true;
        }
    }
    if (m_fields.size() >= kMaxFields)
        return false;
    slot = quint8(m_fields.size());
    m_fields.push_back(element);
    return true;
}

// One operand in prefix order: its operands' nodes first, then its own (postfix). `depth` is the stack
// height once the operand's value is pushed.
bool NumericPlan::parse(const TQRFiFo &queue, size_t &at, int depth) {
    if (at >= queue.Items.size() || depth > kMaxDepth)
        return false;
    const TQREvElement *element = queue.Items[at++].get();
    quint8 slot = 0;
    if (const TQREvValue *constant = constantAt(queue, at - 1)) {
        m_nodes.push_back({Constant, 0, constant, nullptr});
        return true;
    }
    if (const TQREvElementDataField *field = fieldAt(queue, at - 1)) {
        if (!slotOf(field, slot))
            return false;
        m_nodes.push_back({Field, slot, nullptr, nullptr});
        return true;
    }
    const std::type_info &type = typeid(*element);
    if (type == typeid(TQREvElementWrapper)) {
        // an entry that is a constant now; should it become an expression, the plan gives up at run time
        const auto *entry = static_cast<const TQREvElementWrapper *>(element);
        if (!entry->ConstantValue())
            return false;
        m_nodes.push_back({Entry, 0, nullptr, entry});
        return true;
    }
    if (type == typeid(TQREvElementOperator)) {
        const int operation = static_cast<const TQREvElementOperator *>(element)->Operation;
        const TQREvElementDataField *leftField = fieldAt(queue, at);
        const TQREvValue *rightConstant = constantAt(queue, at + 1);
        if (leftField && rightConstant) {
            if (!slotOf(leftField, slot))
                return false;
            at += 2;
            m_nodes.push_back({quint8(FieldOperatorConstant + operation), slot, rightConstant, nullptr});
            return true;
        }
        if (!parse(queue, at, depth))
            return false;
        if (const TQREvValue *constant = constantAt(queue, at)) {
            ++at;
            m_nodes.push_back({quint8(OperatorConstant + operation), 0, constant, nullptr});
            return true;
        }
        if (const TQREvElementDataField *field = fieldAt(queue, at)) {
            if (!slotOf(field, slot))
                return false;
            ++at;
            m_nodes.push_back({quint8(OperatorField + operation), slot, nullptr, nullptr});
            return true;
        }
        if (!parse(queue, at, depth + 1))
            return false;
        m_nodes.push_back({quint8(Operator + operation), 0, nullptr, nullptr});
        return true;
    }
    if (type == typeid(TQREvElementNot)) {
        if (!parse(queue, at, depth))
            return false;
        m_nodes.push_back({Not, 0, nullptr, nullptr});
        return true;
    }
    if (type == typeid(TQREvIfFunction)) {
        // every argument is evaluated, then one is chosen
        if (!parse(queue, at, depth) || !parse(queue, at, depth + 1) || !parse(queue, at, depth + 2))
            return false;
        if (at >= queue.Items.size() || !queue.Items[at]->isArgumentEnd())
            return false;
        ++at;
        m_nodes.push_back({If, 0, nullptr, nullptr});
        return true;
    }
    return false;
}

bool NumericPlan::evaluate(TQREvValue &value) const {
    // Every operand is evaluated (there is no short cut), so each field is read once, up front.
    Number fields[kMaxFields];
    const TQREvElementDataField *const *read = m_fields.data();
    for (size_t i = 0, n = m_fields.size(); i < n; ++i)
        if (!readField(*read[i], fields[i]))
            return false;
    // The value on top is kept apart from the rest of the stack, so most steps work in registers. Every push
    // first saves it, so the stack holds one value below the first.
    Number top = {evInteger, 0};
    Number stack[kMaxDepth];
    Number *below = stack;
    Number right = top;
    const Node *node = m_nodes.data();
    // Each step jumps straight to the next one's code (the plan ends with an End step): one indirect jump per
    // step, predicted per step, where a switch in a loop shares one.
#define QR_TWELVE(name)                                                                                                \
    &&name##0, &&name##1, &&name##2, &&name##3, &&name##4, &&name##5, &&name##6, &&name##7, &&name##8, &&name##9,      \
        &&name##10, &&name##11
    static const void *const steps[CodeCount + 1] = {&&constant,
                                                     &&entry,
                                                     &&field,
                                                     &&negation,
                                                     &&choice,
                                                     QR_TWELVE(operator),
                                                     QR_TWELVE(operatorConstant),
                                                     QR_TWELVE(operatorField),
                                                     QR_TWELVE(fieldOperatorConstant),
                                                     &&end};
#undef QR_TWELVE
#define QR_NEXT goto *steps[(++node)->code]
    goto *steps[node->code];
constant:
    *below++ = top;
    if (!load(*node->constant, top))
        return false;
    QR_NEXT;
entry:
    *below++ = top;
    if (const TQREvValue *constant = node->entry->ConstantValue(); !constant || !load(*constant, top))
        return false;
    QR_NEXT;
field:
    *below++ = top;
    top = fields[node->field];
    QR_NEXT;
negation:
    if (top.kind != evBoolean)
        return false;
    top.v = top.v == 0;
    QR_NEXT;
choice:
    below -= 2;
    if (below[0].kind != evBoolean)
        return false;
    if (below[0].v != 0)
        top = below[1];
    QR_NEXT;
    // clang-format off
#define QR_OPERATION(n)                                                                                                \
operator##n:                                                                                                           \
    right = top;                                                                                                       \
    top = *--below;                                                                                                    \
    if (!combine<TQREvOperation(n)>(top, right))                                                                       \
        return false;                                                                                                  \
    QR_NEXT;                                                                                                           \
operatorConstant##n:                                                                                                   \
    if (!load(*node->constant, right) || !combine<TQREvOperation(n)>(top, right))                                      \
        return false;                                                                                                  \
    QR_NEXT;                                                                                                           \
operatorField##n:                                                                                                      \
    if (!combine<TQREvOperation(n)>(top, fields[node->field]))                                                         \
        return false;                                                                                                  \
    QR_NEXT;                                                                                                           \
fieldOperatorConstant##n:                                                                                              \
    *below++ = top;                                                                                                    \
    top = fields[node->field];                                                                                         \
    if (!load(*node->constant, right) || !combine<TQREvOperation(n)>(top, right))                                      \
        return false;                                                                                                  \
    QR_NEXT;
    // clang-format on
    QR_OPERATION(0)
    QR_OPERATION(1)
    QR_OPERATION(2)
    QR_OPERATION(3)
    QR_OPERATION(4)
    QR_OPERATION(5)
    QR_OPERATION(6)
    QR_OPERATION(7)
    QR_OPERATION(8)
    QR_OPERATION(9)
    QR_OPERATION(10)
    QR_OPERATION(11)
#undef QR_OPERATION
#undef QR_NEXT
end:
    value.Kind = TQREvKind(top.kind);
    if (top.kind == evFloat)
        value.FloatValue = top.v;
    else if (top.kind == evInteger)
        value.IntegerValue = asInteger(top.v);
    else
        value.BooleanValue = top.v != 0;
    return true;
}

} // namespace qrexpr
