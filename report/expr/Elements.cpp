#include "report/expr/Elements.h"

#include "store/DataSet.h"
#include "store/DatabaseError.h"
#include "store/Field.h"

namespace {

void evaluateNext(TQRFiFo &queue, TQREvValue &value) {
    if (TQREvElement *element = queue.Next())
        element->Evaluate(queue, value);
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
        return compare(op, QString::compare(a.Text, b.Text, Qt::CaseSensitive), 0);
    case opPlus:
        a.Text = qrexpr::cutText(a.Text + b.Text);
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

void TQREvElementOperator::Evaluate(TQRFiFo &queue, TQREvValue &value) {
    TQREvValue left;
    TQREvValue right;
    evaluateNext(queue, left);
    evaluateNext(queue, right);
    value = apply(Operation, std::move(left), std::move(right));
}

void TQREvElementConstant::Evaluate(TQRFiFo &, TQREvValue &value) {
    value = StoredValue;
}

void TQREvElementString::Evaluate(TQRFiFo &, TQREvValue &value) {
    value.Kind = evString;
    value.Text = Text;
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

TQREvElementDataField::TQREvElementDataField(TDataSet *dataSet, int fieldIndex, TField *field)
    : Dataset(dataSet), FieldIndex(fieldIndex), Field(field) {}

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

void TQREvElementDataField::Evaluate(TQRFiFo &, TQREvValue &value) {
    // Field objects are made anew at every open, so the position is what stays valid.
    TDataSet *dataSet = Dataset.data();
    TField *field = dataSet ? dataSet->FieldAt(FieldIndex) : nullptr;
    if (!field) {
        value = TQREvValue::error();
        return;
    }
    Field = field;
    try {
        value = fieldValue(*field);
    } catch (const EDatabaseError &e) {
        value = TQREvValue::error(e.message());
    } catch (const std::exception &e) {
        value = TQREvValue::error(QString::fromUtf8(e.what()));
    }
}

void TQREvElementFunction::collectArguments(TQRFiFo &queue) {
    Arguments.clear();
    while (TQREvElement *element = queue.Next()) {
        if (element->isArgumentEnd())
            break;
        TQREvValue v;
        element->Evaluate(queue, v);
        Arguments.push_back(TQREvResultClass{std::move(v)});
    }
}

void TQREvElementFunction::Evaluate(TQRFiFo &queue, TQREvValue &value) {
    collectArguments(queue);
    if (queue.Accumulating)
        AccumulateRecord();
    ComputeResult(value);
    Arguments.clear();
}
