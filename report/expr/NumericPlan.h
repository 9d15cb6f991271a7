#pragma once

#include "report/expr/Elements.h"

#include <memory>
#include <vector>

class TQREvElementWrapper;

namespace qrexpr {

/// A shortcut for compiled expressions over numbers and booleans only.
///
/// Made from a queue whose elements are all constants, data fields, references to constant entries
/// (PAGENUMBER), operators, negations and IF calls with three arguments: the same operations in postfix
/// order, run by a loop over plain numbers, with no virtual calls and no text. Whenever a value would leave
/// that ground (a text or error operand, a mixed pair that the operators turn into texts, a division by zero,
/// a field that is not a plain number, an entry that is no longer a constant) it gives up, and the caller
/// walks the queue as usual; the elements it covers have no side effects, so nothing is done twice.
class NumericPlan {
public:
    /// A plan for the queue, or null when the queue holds anything else.
    static std::unique_ptr<NumericPlan> make(const TQRFiFo &queue);
    /// A plan for the operand at `at` (its elements up to the next operand), which `at` then passes; null when
    /// it holds anything else.
    static std::unique_ptr<NumericPlan> makeOperand(const TQRFiFo &queue, size_t &at);
    /// The expression's value; false when the queue must be walked instead.
    bool evaluate(TQREvValue &value) const;

private:
    static constexpr int kMaxDepth = 32;
    static constexpr int kMaxFields = 16;

    // What a step pushes or combines with the value on top. An operator whose right operand is a constant
    // or a field takes it in the same step (`A * 2`, `+ [Q.QTY]`), and one whose operands are a field and a
    // constant is a single step (`[Q.AMOUNT] > 100`); each operator has codes of its own, so a step is one
    // dispatch.
    enum Code : int {
        Constant,
        Entry,
        Field,
        Not,
        If,
        Operator,                         // + operation: both operands on the stack
        OperatorConstant = Operator + 12, // + operation
        OperatorField = OperatorConstant + 12,
        FieldOperatorConstant = OperatorField + 12,
        End = FieldOperatorConstant + 12,
        CodeCount = End
    };
    struct Node {
        quint8 code;
        quint8 field;               // the field's slot
        const TQREvValue *constant; // the constant's stored value, read at each run
        const TQREvElementWrapper *entry;
    };

    bool parse(const TQRFiFo &queue, size_t &at, int depth);
    /// The slot of a field element: the same field of the same data set is read once per evaluation.
    bool slotOf(const TQREvElementDataField *element, quint8 &slot);

    std::vector<Node> m_nodes;
    std::vector<const TQREvElementDataField *> m_fields; // one element per slot
};

} // namespace qrexpr
