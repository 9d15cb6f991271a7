#include "report/expr/TextPlan.h"

#include "report/expr/Environment.h"
#include "report/expr/Functions.h"
#include "report/expr/NumericPlan.h"

#include <cstring>
#include <iterator>
#include <typeinfo>

namespace qrexpr {

namespace {

// Where the pieces are written: each waiting piece is cut to the bound already, so this holds them all. Left
// uninitialised: it is written before it is read.
struct Buffer {
    // false, and nothing written, when the text does not fit (a constant's text longer than the bound)
    bool append(QStringView text) {
        if (text.size() > chars + std::size(chars) - end)
            return false;
        std::memcpy(end, text.utf16(), size_t(text.size()) * sizeof(char16_t));
        end += text.size();
        return true;
    }
    char16_t chars[TextPlan::kMaxPieces * TQREvValue::MaxTextLength];
    char16_t *end = chars;
};

// A number's text as valueText writes it (STR, and a number joined to a text); false for a text or error.
bool appendNumber(Buffer &buffer, const TQREvValue &n) {
    if (n.Kind == evInteger) {
        char16_t digits[11];
        return buffer.append(integerText(n.IntegerValue, digits));
    }
    if (n.Kind == evFloat || n.Kind == evBoolean)
        return buffer.append(valueText(n));
    return false;
}

} // namespace

TextPlan::~TextPlan() = default;

std::unique_ptr<TextPlan> TextPlan::make(const TQRFiFo &queue) {
    auto plan = std::unique_ptr<TextPlan>(new TextPlan);
    size_t at = 0;
    Piece piece = Piece::Number;
    if (!plan->parse(queue, at, piece, 1) || piece != Piece::Text || at != queue.Items.size())
        return nullptr;
    // a lone string constant is cheaper walked: its text is shared as it is
    if (plan->m_nodes.size() == 1 && plan->m_nodes.front().step == Step::Text)
        return nullptr;
    return plan;
}

// `depth` counts the pieces waiting to be joined once this operand's is written.
bool TextPlan::parse(const TQRFiFo &queue, size_t &at, Piece &piece, int depth) {
    if (at >= queue.Items.size() || depth > kMaxPieces)
        return false;
    const TQREvElement *element = queue.Items[at].get();
    if (element->isString()) {
        ++at;
        m_nodes.push_back({Step::Text, &static_cast<const TQREvElementString *>(element)->Text, nullptr, nullptr});
        piece = Piece::Text;
        return true;
    }
    const std::type_info &type = typeid(*element);
    if (type == typeid(TQREvStrFunction)) {
        // STR of one number: its text is the number's, as when it is joined to a text
        size_t next = at + 1;
        Piece argument = Piece::Text;
        if (!parse(queue, next, argument, depth) || argument != Piece::Number || next >= queue.Items.size() ||
            !queue.Items[next]->isArgumentEnd())
            return false;
        at = next + 1;
        piece = Piece::Text;
        return true;
    }
    const bool join =
        type == typeid(TQREvElementOperator) && static_cast<const TQREvElementOperator *>(element)->Operation == opPlus;
    if (join) {
        // a `+` of two numbers is a number; it is a text when either side is one
        size_t next = at;
        if (std::unique_ptr<NumericPlan> number = NumericPlan::makeOperand(queue, next)) {
            at = next;
            m_nodes.push_back({Step::Number, nullptr, number.get(), nullptr});
            m_numbers.push_back(std::move(number));
            piece = Piece::Number;
            return true;
        }
        ++at;
        Piece left = Piece::Number;
        Piece right = Piece::Number;
        if (!parse(queue, at, left, depth) || !parse(queue, at, right, depth + 1))
            return false;
        if (left != Piece::Text && right != Piece::Text)
            return false;
        m_nodes.push_back({Step::Join, nullptr, nullptr, nullptr});
        piece = Piece::Text;
        return true;
    }
    if (type == typeid(TQREvElementWrapper) && static_cast<const TQREvElementWrapper *>(element)->ConstantValue()) {
        // a constant entry (PAGENUMBER), read as it is at each run
        ++at;
        m_nodes.push_back({Step::Entry, nullptr, nullptr, static_cast<const TQREvElementWrapper *>(element)});
        piece = Piece::Number;
        return true;
    }
    std::unique_ptr<NumericPlan> number = NumericPlan::makeOperand(queue, at);
    if (!number)
        return false;
    m_nodes.push_back({Step::Number, nullptr, number.get(), nullptr});
    m_numbers.push_back(std::move(number));
    piece = Piece::Number;
    return true;
}

bool TextPlan::evaluate(TQREvValue &value) {
    Buffer buffer;
    char16_t *starts[kMaxPieces]; // where each piece waiting to be joined begins
    char16_t **waiting = starts;
    for (const Node &node : m_nodes) {
        switch (node.step) {
        case Step::Text:
            *waiting++ = buffer.end;
            if (!buffer.append(*node.text))
                return false;
            break;
        case Step::Entry: {
            const TQREvValue *n = node.entry->ConstantValue();
            *waiting++ = buffer.end;
            if (!n || !appendNumber(buffer, *n))
                return false;
            break;
        }
        case Step::Number: {
            TQREvValue n;
            if (!node.number->evaluate(n))
                return false;
            *waiting++ = buffer.end;
            if (!appendNumber(buffer, n))
                return false;
            break;
        }
        case Step::Join: {
            // the two last pieces are one now, cut as joining cuts
            char16_t *from = *(--waiting - 1);
            buffer.end = from + cutLength(QStringView(from, buffer.end));
            break;
        }
        }
    }
    value.Kind = evString;
    shareText(m_text, QStringView(buffer.chars, buffer.end), value.Text);
    return true;
}

} // namespace qrexpr
