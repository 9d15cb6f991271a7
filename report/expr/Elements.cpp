#include "report/expr/Elements.h"

#include "store/DataSet.h"
#include "store/DatabaseError.h"
#include "store/Field.h"

#include <algorithm>

namespace {

inline void evaluateNext(TQRFiFo &queue, TQREvValue &value) {
    if (TQREvElement *element = queue.Next())
        qrEvaluateElement(*element, queue, value);
    else
        value = TQREvValue::error();
}

void makeString(TQREvValue &v) {
    if (v.Kind == evString)
        return;
    v.Text = qrexpr::cutText(qrexpr::valueText(v));
    v.Kind = evString;
}

// An integer meets a float as a float; any other mixed pair meets as texts.
void coerce(TQREvValue &a, TQREvValue &b) {
    if (a.Kind == evError || b.Kind == evError || a.Kind == b.Kind)
        return;
    if (a.Kind == evInteger && b.Kind == evFloat) {
        a.Kind = evFloat;
        a.FloatValue = a.IntegerValue;
        return;
    }
    if (a.Kind == evFloat && b.Kind == evInteger) {
        b.Kind = evFloat;
        b.FloatValue = b.IntegerValue;
        return;
    }
    makeString(a);
    makeString(b);
}

const char *comparisonText(TQREvOperation op) {
    switch (op) {
    case opLess:
        return "<";
    case opLessOrEqual:
        return "<=";
    case opGreater:
        return ">";
    default:
        return ">=";
    }
}

TQREvValue notCompatible(const char *op, const char *kind) {
    return TQREvValue::error(QStringLiteral("Operator %1 is not compatible with %2 expressions")
                                 .arg(QLatin1String(op), QLatin1String(kind)));
}

TQREvValue cannot(const char *verb, const char *kind) {
    return TQREvValue::error(QStringLiteral("Cannot %1 %2 expressions").arg(QLatin1String(verb), QLatin1String(kind)));
}

// Two texts joined and cut to the bound of a value's text, in one allocation.
QString joined(const QString &a, const QString &b) {
    const qsizetype whole = a.size() + b.size();
    if (whole > TQREvValue::MaxTextLength)
        return qrexpr::cutText(a + b);
    QString result(whole, Qt::Uninitialized);
    QChar *out = result.data();
    std::copy(a.cbegin(), a.cend(), out);
    std::copy(b.cbegin(), b.cend(), out + a.size());
    return result;
}

TQREvValue divideByZero() {
    return TQREvValue::error(QStringLiteral("Cannot divide by 0"));
}

template <class T> TQREvValue compare(TQREvOperation op, const T &a, const T &b) {
    switch (op) {
    case opLess:
        return TQREvValue::boolean(a < b);
    case opLessOrEqual:
        return TQREvValue::boolean(a <= b);
    case opGreater:
        return TQREvValue::boolean(a > b);
    case opGreaterOrEqual:
        return TQREvValue::boolean(a >= b);
    case opEqual:
        return TQREvValue::boolean(a == b);
    default:
        return TQREvValue::boolean(!(a == b));
    }
}

bool isComparison(TQREvOperation op) {
    return op <= opUnequal;
}

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

void setBoolean(TQREvValue &v, bool b) {
    v.Kind = evBoolean;
    v.BooleanValue = b;
}

void setFloat(TQREvValue &v, double d) {
    v.Kind = evFloat;
    v.FloatValue = d;
}

// Integer arithmetic wraps modulo 2^32, as the 32-bit payload does.
qint32 wrap(quint32 v) {
    return qint32(v);
}

TQREvValue integerOperation(TQREvOperation op, qint32 a, qint32 b) {
    if (isComparison(op))
        return compare(op, a, b);
    switch (op) {
    case opPlus:
        return TQREvValue::integer(wrap(quint32(a) + quint32(b)));
    case opMinus:
        return TQREvValue::integer(wrap(quint32(a) - quint32(b)));
    case opMul:
        return TQREvValue::integer(wrap(quint32(a) * quint32(b)));
    case opDiv:
        return b == 0 ? divideByZero() : TQREvValue::floating(double(a) / double(b));
    case opOr:
        return TQREvValue::integer(a | b);
    default:
        return TQREvValue::integer(a & b);
    }
}

TQREvValue floatOperation(TQREvOperation op, double a, double b) {
    if (isComparison(op))
        return compare(op, a, b);
    switch (op) {
    case opPlus:
        return TQREvValue::floating(a + b);
    case opMinus:
        return TQREvValue::floating(a - b);
    case opMul:
        return TQREvValue::floating(a * b);
    case opDiv:
        return b == 0 ? divideByZero() : TQREvValue::floating(a / b);
    case opOr:
        return notCompatible("OR", "numeric");
    default:
        return notCompatible("AND", "numeric");
    }
}

TQREvValue stringOperation(TQREvOperation op, TQREvValue &a, const TQREvValue &b) {
    switch (op) {
    case opEqual:
        return TQREvValue::boolean(a.Text == b.Text);
    case opUnequal:
        return TQREvValue::boolean(a.Text != b.Text);
    case opLess:
    case opLessOrEqual:
    case opGreater:
    case opGreaterOrEqual:
        return compare(op, qrexpr::compareText(a.Text, b.Text), 0);
    case opPlus:
        a.Text = joined(a.Text, b.Text);
        return std::move(a);
    case opMinus:
        return cannot("subtract", "string");
    case opMul:
        return cannot("multiply", "string");
    case opDiv:
        return cannot("divide", "string");
    case opOr:
        return notCompatible("OR", "string");
    default:
        return notCompatible("AND", "string");
    }
}

TQREvValue booleanOperation(TQREvOperation op, bool a, bool b) {
    switch (op) {
    case opEqual:
        return TQREvValue::boolean(a == b);
    case opUnequal:
        return TQREvValue::boolean(a != b);
    case opLess:
    case opLessOrEqual:
    case opGreater:
    case opGreaterOrEqual:
        return notCompatible(comparisonText(op), "boolean");
    case opPlus:
        return cannot("add", "boolean");
    case opMinus:
        return cannot("subtract", "boolean");
    case opMul:
        return cannot("multiply", "boolean");
    case opDiv:
        return cannot("divide", "boolean");
    case opOr:
        return TQREvValue::boolean(a || b);
    default:
        return TQREvValue::boolean(a && b);
    }
}

// Two numbers (neither has text): the table of integerOperation and floatOperation, written into `a`.
inline void numericInPlace(TQREvOperation op, TQREvValue &a, const TQREvValue &b) {
    if (a.Kind == evInteger && b.Kind == evInteger) {
        const qint32 x = a.IntegerValue;
        const qint32 y = b.IntegerValue;
        if (isComparison(op))
            return setBoolean(a, compared(op, x, y));
        switch (op) {
        case opPlus:
            a.IntegerValue = wrap(quint32(x) + quint32(y));
            return;
        case opMinus:
            a.IntegerValue = wrap(quint32(x) - quint32(y));
            return;
        case opMul:
            a.IntegerValue = wrap(quint32(x) * quint32(y));
            return;
        case opOr:
            a.IntegerValue = x | y;
            return;
        case opAnd:
            a.IntegerValue = x & y;
            return;
        default:
            if (y == 0)
                a = divideByZero();
            else
                setFloat(a, double(x) / double(y));
            return;
        }
    }
    const double x = a.Kind == evInteger ? a.IntegerValue : a.FloatValue;
    const double y = b.Kind == evInteger ? b.IntegerValue : b.FloatValue;
    if (isComparison(op))
        return setBoolean(a, compared(op, x, y));
    switch (op) {
    case opPlus:
        return setFloat(a, x + y);
    case opMinus:
        return setFloat(a, x - y);
    case opMul:
        return setFloat(a, x * y);
    case opDiv:
        if (y == 0)
            a = divideByZero();
        else
            setFloat(a, x / y);
        return;
    case opOr:
        a = notCompatible("OR", "numeric");
        return;
    default:
        a = notCompatible("AND", "numeric");
        return;
    }
}

} // namespace

void TQREvElement::Evaluate(TQRFiFo &, TQREvValue &value) {
    value = TQREvValue::error();
}

TQREvValue TQREvElementOperator::apply(TQREvOperation op, TQREvValue a, TQREvValue b) {
    coerce(a, b);
    if (a.Kind == evError)
        return a;
    if (b.Kind == evError)
        return b;
    switch (a.Kind) {
    case evInteger:
        return integerOperation(op, a.IntegerValue, b.IntegerValue);
    case evFloat:
        return floatOperation(op, a.FloatValue, b.FloatValue);
    case evString:
        return stringOperation(op, a, b);
    case evBoolean:
        return booleanOperation(op, a.BooleanValue, b.BooleanValue);
    case evError:
        break;
    }
    return a;
}

TQREvElementDataField::TQREvElementDataField(TDataSet *dataSet, int fieldIndex, TField *field)
    : Dataset(dataSet), FieldIndex(fieldIndex), Field(field) {
    m_dispatch = Dispatch::DataField;
}

TQREvValue TQREvElementDataField::fieldValue(const TField &field) {
    switch (field.DataType()) {
    case ftString:
        return TQREvValue::string(field.AsString());
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return TQREvValue::integer(field.AsInteger());
    case ftBCD:
    case ftFMTBcd:
    case ftFloat:
    case ftCurrency:
        return TQREvValue::floating(field.AsFloat());
    case ftBoolean:
        return TQREvValue::boolean(field.AsBoolean());
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
        return TQREvValue::string(field.DisplayText());
    default:
        break;
    }
    return TQREvValue::error(QStringLiteral("Field %1 is of unknown type").arg(field.FieldName()));
}

namespace {

// Reading a field through its object, where the data layer's complaints become the value.
Q_NEVER_INLINE void readThroughField(const TField &field, TQREvValue &value) {
    try {
        value = TQREvElementDataField::fieldValue(field);
    } catch (const EDatabaseError &e) {
        value = TQREvValue::error(e.message());
    } catch (const std::exception &e) {
        value = TQREvValue::error(QString::fromUtf8(e.what()));
    }
}

} // namespace

void TQREvElementDataField::Evaluate(TQRFiFo &, TQREvValue &value) {
    // Field objects are made anew at every open, so the position is what stays valid.
    TDataSet *dataSet = Dataset.data();
    TField *field = dataSet ? dataSet->FieldAt(FieldIndex) : nullptr;
    if (!field) {
        value = TQREvValue::error();
        return;
    }
    Field = field;
    // Numbers held in their field's own form are read directly; anything else goes through the field.
    const QVariant &raw = dataSet->currentValue(field->Column());
    const QMetaType type = raw.data_ptr().type(); // without a call into the library
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        if (type == QMetaType::fromType<qlonglong>()) {
            value.Kind = evInteger;
            value.IntegerValue = qint32(quint32(quint64(*static_cast<const qlonglong *>(raw.constData()))));
            return;
        }
        break;
    case ftBCD:
    case ftFMTBcd:
    case ftFloat:
    case ftCurrency:
        if (type == QMetaType::fromType<double>()) {
            setFloat(value, *static_cast<const double *>(raw.constData()));
            return;
        }
        break;
    default:
        break;
    }
    readThroughField(*field, value);
}

// The element classes evaluated most are handled here without a virtual call; the rest use their own
// Evaluate. Every `value` arrives fresh (no text), so numbers are written field by field.
void qrEvaluateElement(TQREvElement &element, TQRFiFo &queue, TQREvValue &value) {
    switch (element.m_dispatch) {
    case TQREvElement::Dispatch::Constant:
        value.assign(static_cast<TQREvElementConstant &>(element).StoredValue);
        return;
    case TQREvElement::Dispatch::String:
        value.Kind = evString;
        value.Text = static_cast<TQREvElementString &>(element).Text;
        return;
    case TQREvElement::Dispatch::Operator:
        static_cast<TQREvElementOperator &>(element).TQREvElementOperator::Evaluate(queue, value);
        return;
    case TQREvElement::Dispatch::DataField:
        static_cast<TQREvElementDataField &>(element).TQREvElementDataField::Evaluate(queue, value);
        return;
    default:
        element.Evaluate(queue, value);
        return;
    }
}

void TQREvElementOperator::Evaluate(TQRFiFo &queue, TQREvValue &value) {
    // The left operand is evaluated into the result itself; two numbers are then combined in place, which
    // keeps numeric expressions off the heap, and two texts are joined in the element's buffer.
    TQREvValue right;
    if (Operation == opPlus && queue.Cursor < queue.Items.size() && queue.Items[queue.Cursor]->isString()) {
        // a constant text on the left (`'Page ' + ...`) is read where it is
        const QString &left = static_cast<TQREvElementString &>(*queue.Items[queue.Cursor++]).Text;
        evaluateNext(queue, right);
        if (right.Kind == evString) {
            value.Kind = evString;
            qrexpr::shareJoined(m_joined, left, right.Text, value.Text);
            return;
        }
        value.Kind = evString;
        value.Text = left;
    } else {
        evaluateNext(queue, value);
        evaluateNext(queue, right);
    }
    if (value.isNumeric() && right.isNumeric())
        numericInPlace(Operation, value, right);
    else if (Operation == opPlus && value.Kind == evString && right.Kind == evString)
        qrexpr::shareJoined(m_joined, value.Text, right.Text, value.Text);
    else
        value = apply(Operation, std::move(value), std::move(right));
}

void TQREvElementConstant::Evaluate(TQRFiFo &queue, TQREvValue &value) {
    qrEvaluateElement(*this, queue, value);
}

void TQREvElementString::Evaluate(TQRFiFo &queue, TQREvValue &value) {
    qrEvaluateElement(*this, queue, value);
}

void TQREvElementError::Evaluate(TQRFiFo &, TQREvValue &value) {
    value.Kind = evError;
    value.Text = Message;
}

void TQREvElementNot::Evaluate(TQRFiFo &queue, TQREvValue &value) {
    TQREvValue operand;
    evaluateNext(queue, operand);
    if (operand.Kind == evBoolean)
        value = TQREvValue::boolean(!operand.BooleanValue);
    else
        value = TQREvValue::error(QStringLiteral("Invalid use of NOT"));
}

void TQREvElementFunction::collectArguments(TQRFiFo &queue) {
    Arguments.clear();
    while (TQREvElement *element = queue.Next()) {
        if (element->isArgumentEnd())
            break;
        TQREvValue v;
        qrEvaluateElement(*element, queue, v);
        Arguments.push_back(TQREvResultClass{std::move(v)});
    }
}

bool TQREvElementFunction::takeSingleArgument(TQRFiFo &queue, TQREvValue &argument) {
    Arguments.clear();
    TQREvElement *element = queue.Next();
    if (!element || element->isArgumentEnd())
        return false;
    qrEvaluateElement(*element, queue, argument);
    element = queue.Next();
    if (!element || element->isArgumentEnd())
        return true;
    Arguments.push_back(TQREvResultClass{std::move(argument)});
    do {
        TQREvValue v;
        qrEvaluateElement(*element, queue, v);
        Arguments.push_back(TQREvResultClass{std::move(v)});
        element = queue.Next();
    } while (element && !element->isArgumentEnd());
    return false;
}

void TQREvElementFunction::Evaluate(TQRFiFo &queue, TQREvValue &value) {
    collectArguments(queue);
    if (queue.Accumulating)
        AccumulateRecord();
    ComputeResult(value);
    Arguments.clear();
}
