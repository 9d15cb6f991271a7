#pragma once

#include "report/expr/EvValue.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class TDataSet;
class TField;
class TQRFiFo;

/// One element of a compiled expression. Elements sit in a queue in prefix order; an element that needs
/// operands takes them from the queue while it evaluates.
class TQREvElement {
public:
    TQREvElement() = default;
    virtual ~TQREvElement() = default;
    TQREvElement(const TQREvElement &) = delete;
    TQREvElement &operator=(const TQREvElement &) = delete;

    /// Produces the element's value, taking operands from `queue` as needed.
    virtual void Evaluate(TQRFiFo &queue, TQREvValue &value);
    /// Clears running state (aggregates); nothing by default.
    virtual void ResetState() {}

    /// True for the aggregate functions, whose elements keep totals across records.
    bool IsAggregate = false;

    /// True for the marker that ends a function's arguments.
    bool isArgumentEnd() const { return m_dispatch == Dispatch::ArgumentEnd; }
    /// True for a TQREvElementConstant.
    bool isConstant() const { return m_dispatch == Dispatch::Constant; }
    /// True for a TQREvElementString.
    bool isString() const { return m_dispatch == Dispatch::String; }

protected:
    // The classes evaluated without a virtual call, which keeps the common per-record work cheap.
    enum class Dispatch : quint8 { Virtual, ArgumentEnd, Constant, String, Operator, DataField };
    Dispatch m_dispatch = Dispatch::Virtual;

    friend void qrEvaluateElement(TQREvElement &element, TQRFiFo &queue, TQREvValue &value);
};

/// Evaluates one element of a queue (what the queue's owner and every element with operands call).
void qrEvaluateElement(TQREvElement &element, TQRFiFo &queue, TQREvValue &value);

/// The twelve binary operations, with their codes.
enum TQREvOperation : quint8 {
    opLess = 0,
    opLessOrEqual = 1,
    opGreater = 2,
    opGreaterOrEqual = 3,
    opEqual = 4,
    opUnequal = 5,
    opPlus = 6,
    opMinus = 7,
    opOr = 8,
    opMul = 9,
    opDiv = 10,
    opAnd = 11
};

/// A binary operation over the next two elements of the queue (left operand first).
class TQREvElementOperator final : public TQREvElement {
public:
    explicit TQREvElementOperator(TQREvOperation operation) : Operation(operation) { m_dispatch = Dispatch::Operator; }
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;

    TQREvOperation Operation;

    /// Applies the operation to two values, coercing them first as every operator does.
    static TQREvValue apply(TQREvOperation operation, TQREvValue left, TQREvValue right);

private:
    // What `+` joins texts into, reused from record to record while no value still shares it.
    QString m_joined;
};

/// A constant; the report engine overwrites some constants while it generates pages.
class TQREvElementConstant final : public TQREvElement {
public:
    explicit TQREvElementConstant(const TQREvValue &value) : StoredValue(value) { m_dispatch = Dispatch::Constant; }
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;

    TQREvValue StoredValue;
};

/// A string constant, as written between the quotes.
class TQREvElementString final : public TQREvElement {
public:
    explicit TQREvElementString(const QString &text) : Text(qrexpr::cutText(text)) { m_dispatch = Dispatch::String; }
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;

    QString Text;
};

/// Ends the arguments of the function element before it.
class TQREvElementArgumentEnd final : public TQREvElement {
public:
    TQREvElementArgumentEnd() { m_dispatch = Dispatch::ArgumentEnd; }
};

/// A compile or lookup fault kept in place of what could not be compiled; evaluates to its message.
class TQREvElementError final : public TQREvElement {
public:
    explicit TQREvElementError(const QString &message) : Message(qrexpr::cutText(message)) {}
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;

    QString Message;
};

/// Negation of the next element: a boolean is negated, anything else is "Invalid use of NOT".
class TQREvElementNot final : public TQREvElement {
public:
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;
};

/// A field of a data set, read from the data set's current record.
///
/// The field is found again by its position at every evaluation, since a data set makes its field objects
/// anew whenever it opens.
class TQREvElementDataField final : public TQREvElement {
public:
    TQREvElementDataField(TDataSet *dataSet, int fieldIndex, TField *field);
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;

    /// The value a field of this kind gives an expression.
    static TQREvValue fieldValue(const TField &field);

    QPointer<TDataSet> Dataset;
    int FieldIndex;
    TField *Field;
};

/// A function call: collects the values of its arguments, then computes its result from them.
///
/// Subclasses are registered in the function registry (RegisterReportFunction) and made afresh for every
/// call in a compiled expression, so an aggregate keeps its running state in its own element.
class TQREvElementFunction : public TQREvElement {
public:
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;
    /// Called once per record in an accumulation pass, after the arguments are collected.
    virtual void AccumulateRecord() {}
    /// The function's value from `Arguments`.
    virtual void ComputeResult(TQREvValue &value) = 0;

    /// The argument values of the evaluation under way (empty between evaluations).
    std::vector<TQREvResultClass> Arguments;

    int ArgumentCount() const { return int(Arguments.size()); }
    const TQREvValue &Argument(int i) const { return Arguments[size_t(i)].EvResult; }

protected:
    /// Takes and evaluates elements up to the argument end into `Arguments`.
    void collectArguments(TQRFiFo &queue);
    /// For a function of one argument: true when the call has exactly one, evaluated into `argument` without
    /// the list; otherwise `Arguments` holds them all, as `collectArguments` collects them.
    bool takeSingleArgument(TQRFiFo &queue, TQREvValue &argument);
};

/// Makes a fresh function element: the registry's handle on a function class.
using TQREvFunctionClass = TQREvElementFunction *(*)();

/// The function class of T.
template <class T> TQREvElementFunction *qrFunctionClass() {
    return new T;
}

/// A compiled expression: its elements in prefix order, and the cursor of the evaluation under way.
class TQRFiFo {
public:
    void Append(std::unique_ptr<TQREvElement> element) { Items.push_back(std::move(element)); }
    void Rewind() { Cursor = 0; }
    /// The element at the cursor, advancing it; null past the last element.
    TQREvElement *Next() { return Cursor < Items.size() ? Items[Cursor++].get() : nullptr; }

    std::vector<std::unique_ptr<TQREvElement>> Items;
    size_t Cursor = 0;
    /// True only during an accumulation pass.
    bool Accumulating = false;
};
