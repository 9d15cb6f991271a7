#pragma once

#include "report/expr/Elements.h"

#include <memory>
#include <vector>

namespace qrexpr {

/// A shortcut for compiled expressions over numbers and booleans only.
///
/// Made from a queue whose elements are all constants, data fields, operators, negations and IF calls with
/// three arguments: the same operations in postfix order, run by a loop over plain numbers, with no virtual
/// calls and no text. Whenever a value would leave that ground (a text or error operand, a mixed pair that
/// the operators turn into texts, a division by zero, a field that is not a plain number) it gives up, and
/// the caller walks the queue as usual; the elements it covers have no side effects, so nothing is done twice.
class NumericPlan {
public:
    /// A plan for the queue, or null when the queue holds anything else.
    static std::unique_ptr<NumericPlan> make(const TQRFiFo &queue);
    /// The expression's value; false when the queue must be walked instead.
    bool evaluate(TQREvValue &value) const;

private:
    static constexpr int kMaxDepth = 32;

    // An operator whose right operand is a constant takes it in the same step (`A * 2`, `> 100`, `+ 1`).
    enum class Step : quint8 { Constant, Field, Operator, OperatorConstant, Not, If };
    struct Node {
        Step step;
        TQREvOperation operation;
        const TQREvValue *constant; // Constant, OperatorConstant: the element's stored value, read at each run
        const TQREvElementDataField *field;
    };

    bool parse(const TQRFiFo &queue, size_t &at, int depth);

    std::vector<Node> m_nodes;
    int m_maxDepth = 0;
};

} // namespace qrexpr
