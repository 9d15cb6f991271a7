#pragma once

#include "report/expr/Elements.h"

#include <memory>
#include <vector>

class TQREvElementWrapper;

namespace qrexpr {

class NumericPlan;

/// A shortcut for compiled expressions that join texts: `'Page ' + STR(PAGENUMBER)`.
///
/// Made from a queue whose root is a text: a string constant, STR of a number, or a `+` with a text on either
/// side (a number on the other side joins as its text); the numbers are constant entries or numeric plans.
/// The pieces are written in order into one buffer, each `+` cutting what it joined as joining cuts, and the
/// result is shared from a buffer reused from record to record. Whenever a number cannot be had, it gives up,
/// and the caller walks the queue; nothing it covers has side effects.
class TextPlan {
public:
    ~TextPlan();
    /// A plan for the queue, or null when the queue holds anything else.
    static std::unique_ptr<TextPlan> make(const TQRFiFo &queue);
    /// The expression's value; false when the queue must be walked instead.
    bool evaluate(TQREvValue &value);

    /// Texts waiting to be joined at most; a plan needing more is not made.
    static constexpr int kMaxPieces = 16;

private:
    enum class Piece : bool { Text, Number };
    enum class Step : quint8 { Text, Entry, Number, Join };
    struct Node {
        Step step;
        const QString *text;              // Text: the constant's text, read at each run
        const NumericPlan *number;        // Number
        const TQREvElementWrapper *entry; // Entry: a reference to a constant entry
    };

    TextPlan() = default;
    /// One operand at `at` in prefix order, its steps appended in postfix order; false when it is neither.
    bool parse(const TQRFiFo &queue, size_t &at, Piece &piece, int depth);

    std::vector<Node> m_nodes;
    std::vector<std::unique_ptr<NumericPlan>> m_numbers;
    QString m_text; // the result, reused while no value still shares it
};

} // namespace qrexpr
