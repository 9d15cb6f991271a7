#include "report/expr/Functions.h"

#include "report/expr/FormatFloat.h"
#include "report/expr/FunctionLibrary.h"

#include "store/ValueText.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

qint32 wrap32(quint64 v) {
    return qint32(quint32(v));
}

// One character cased by the locale's rules; where they would make several characters of it (ß, the ﬁ
// ligature), its own single mapping stands instead.
void appendCased(QString &out, QStringView character, bool upper, const QLocale &locale) {
    const QString one = character.toString();
    const QString cased = upper ? locale.toUpper(one) : locale.toLower(one);
    if (QStringView(cased).toUcs4().size() == 1) {
        out += cased;
        return;
    }
    const char32_t c = QStringView(one).toUcs4().value(0);
    const char32_t single = upper ? QChar::toUpper(c) : QChar::toLower(c);
    out += QString::fromUcs4(&single, 1);
}

// Cases a text one character at a time, so it keeps its length.
QString caseEach(QStringView text, bool upper) {
    const QLocale locale = QLocale::system();
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) // no ASCII letter cases to more than one character
        return upper ? locale.toUpper(text.toString()) : locale.toLower(text.toString());
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        appendCased(out, text.mid(i, length), upper, locale);
        i += length;
    }
    return out;
}

TQREvValue changeCase(const TQREvElementFunction &f, const char *name, bool upper) {
    if (f.ArgumentCount() != 1)
        return TQREvValue::error(QStringLiteral("Missing argument for %1").arg(QLatin1String(name)));
    const TQREvValue &a = f.Argument(0);
    if (a.Kind != evString)
        return TQREvValue::error(a.Text); // an error argument passes its message on
    return TQREvValue::string(caseEach(a.Text, upper));
}

// A float argument rounded half to even, within the 64-bit range the division works in.
bool divisionOperand(const TQREvValue &v, qint64 &out) {
    if (v.Kind == evInteger) {
        out = v.IntegerValue;
        return true;
    }
    if (v.Kind != evFloat)
        return false;
    const double r = std::nearbyint(v.FloatValue);
    if (!(r > -9.2e18 && r < 9.2e18))
        return false;
    out = qint64(r);
    return true;
}

// Compares a candidate with the running extreme by the extreme's kind; false when they do not compare.
bool compareWithExtreme(const TQREvValue &candidate, const TQREvValue &extreme, int &result) {
    switch (extreme.Kind) {
    case evInteger:
    case evFloat: {
        if (!candidate.isNumeric())
            return false;
        if (candidate.Kind == evInteger && extreme.Kind == evInteger) {
            result = candidate.IntegerValue < extreme.IntegerValue ? -1 : candidate.IntegerValue > extreme.IntegerValue;
            return true;
        }
        const double c = candidate.Kind == evInteger ? candidate.IntegerValue : candidate.FloatValue;
        const double e = extreme.Kind == evInteger ? extreme.IntegerValue : extreme.FloatValue;
        result = c < e ? -1 : c > e ? 1 : 0;
        return true;
    }
    case evString:
        if (candidate.Kind != evString)
            return false;
        result = qrexpr::compareText(candidate.Text, extreme.Text);
        return true;
    case evBoolean:
        if (candidate.Kind != evBoolean)
            return false;
        result = int(candidate.BooleanValue) - int(extreme.BooleanValue);
        return true;
    case evError:
        break;
    }
    return false;
}

void setError(TQREvValue &v) {
    v.Kind = evError;
    v.Text.clear();
}

} // namespace

void TQREvIfFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() != 3 || Argument(0).Kind != evBoolean)
        value = TQREvValue::error(QStringLiteral("Wrong arguments for IF"));
    else
        value = Argument(Argument(0).BooleanValue ? 1 : 2);
}

void TQREvStrFunction::Evaluate(TQRFiFo &queue, TQREvValue &value) {
    // The usual single argument is taken without the argument list; STR accumulates nothing.
    TQREvValue argument;
    if (takeSingleArgument(queue, argument)) {
        textOf(argument, value);
        return;
    }
    ComputeResult(value);
    Arguments.clear();
}

void TQREvStrFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() == 1)
        textOf(Argument(0), value);
    else
        value = TQREvValue::error(QStringLiteral("Conversion error"));
}

void TQREvStrFunction::textOf(const TQREvValue &a, TQREvValue &value) {
    if (a.Kind == evInteger) {
        value.Kind = evString;
        qrexpr::shareInteger(m_digits, a.IntegerValue, value.Text);
    } else if (a.Kind == evFloat || a.Kind == evBoolean) {
        value = TQREvValue::string(qrexpr::valueText(a));
    } else {
        value = TQREvValue::error(QStringLiteral("Conversion error"));
    }
}

void TQREvUpperFunction::ComputeResult(TQREvValue &value) {
    value = changeCase(*this, "UPPER", true);
}

void TQREvLowerFunction::ComputeResult(TQREvValue &value) {
    value = changeCase(*this, "LOWER", false);
}

void TQREvPrettyFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() != 1) {
        value = TQREvValue::error(QStringLiteral("Missing argument for PRETTY"));
        return;
    }
    const TQREvValue &a = Argument(0);
    if (a.Kind != evString) {
        value = TQREvValue::error(a.Text);
        return;
    }
    const QString &text = a.Text;
    // A surrogate pair is one character.
    const qsizetype first = std::min<qsizetype>(
        text.size(), text.size() >= 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate() ? 2 : 1);
    const QStringView view(text);
    value = TQREvValue::string(caseEach(view.first(first), true) + caseEach(view.sliced(first), false));
}

void TQREvTimeFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() != 0)
        value = TQREvValue::error();
    else
        value = TQREvValue::string(longTimeText(QTime::currentTime()));
}

void TQREvDateFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() != 0)
        value = TQREvValue::error();
    else
        value = TQREvValue::string(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
}

void TQREvCopyFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() != 3 || Argument(0).Kind != evString || Argument(1).Kind != evInteger ||
        Argument(2).Kind != evInteger) {
        value = TQREvValue::error();
        return;
    }
    const QString &text = Argument(0).Text;
    const qint64 size = text.size();
    qint64 start = std::max<qint64>(Argument(1).IntegerValue, 1);
    qint64 length = Argument(2).IntegerValue;
    // Never start or end inside a surrogate pair.
    if (length > 0 && start <= size && text[start - 1].isLowSurrogate())
        ++start, --length;
    if (length > 0 && start + length - 1 <= size && text[start + length - 2].isHighSurrogate())
        --length;
    if (size == 0 || start > size || length <= 0)
        value = TQREvValue::string(QString());
    else
        value = TQREvValue::string(text.mid(start - 1, length));
}

void TQREvSumFunction::ResetState() {
    HasTotal = false;
}

void TQREvSumFunction::AccumulateRecord() {
    if (ArgumentCount() != 1) {
        setError(Total);
        return;
    }
    const TQREvValue &a = Argument(0);
    if (!HasTotal) {
        if (a.isNumeric())
            Total = a;
        else
            Total = TQREvValue::error();
        HasTotal = true;
        return;
    }
    // Each kind adds to its own payload, so a later value of the other numeric kind leaves the total as seen.
    switch (a.Kind) {
    case evInteger:
        Total.IntegerValue = wrap32(quint64(quint32(Total.IntegerValue)) + quint32(a.IntegerValue));
        break;
    case evFloat:
        Total.FloatValue += a.FloatValue;
        break;
    case evString:
        setError(Total);
        break;
    case evBoolean:
    case evError:
        break;
    }
}

void TQREvSumFunction::ComputeResult(TQREvValue &value) {
    value = HasTotal ? Total : TQREvValue::integer(0);
}

void TQREvAverageFunction::ResetState() {
    TQREvSumFunction::ResetState();
    Average = TQREvValue::floating(0.0);
    Records = 0;
}

void TQREvAverageFunction::AccumulateRecord() {
    TQREvSumFunction::AccumulateRecord();
    Records = wrap32(quint64(quint32(Records)) + 1);
    TQREvValue sum;
    TQREvSumFunction::ComputeResult(sum);
    if (sum.Kind == evInteger)
        Average = TQREvValue::floating(double(sum.IntegerValue) / double(Records));
    else if (sum.Kind == evFloat)
        Average = TQREvValue::floating(sum.FloatValue / double(Records));
    else
        Average = TQREvValue::error();
}

void TQREvAverageFunction::ComputeResult(TQREvValue &value) {
    value = Average;
}

void TQREvExtremeFunction::ResetState() {
    HasExtreme = false;
}

void TQREvExtremeFunction::AccumulateRecord() {
    if (ArgumentCount() != 1) {
        setError(Extreme);
        return;
    }
    const TQREvValue &a = Argument(0);
    if (!HasExtreme) {
        Extreme = a;
        HasExtreme = true;
        return;
    }
    int comparison = 0;
    if (compareWithExtreme(a, Extreme, comparison) && replaces(comparison))
        Extreme = a;
}

void TQREvExtremeFunction::ComputeResult(TQREvValue &value) {
    value = HasExtreme ? Extreme : TQREvValue::integer(0);
}

void TQREvCountFunction::Evaluate(TQRFiFo &queue, TQREvValue &value) {
    collectArguments(queue);
    if (Arguments.empty()) {
        if (queue.Accumulating)
            Tally = wrap32(quint64(quint32(Tally)) + 1);
        ComputeResult(value);
    } else {
        value = TQREvValue::error(QStringLiteral("COUNT - ") + QStringLiteral("Too many arguments"));
    }
    Arguments.clear();
}

void TQREvCountFunction::ComputeResult(TQREvValue &value) {
    value = TQREvValue::integer(Tally);
}

void TQREvTrue::ComputeResult(TQREvValue &value) {
    value = ArgumentCount() == 0 ? TQREvValue::boolean(true) : TQREvValue::error(QStringLiteral("Too many arguments"));
}

void TQREvFalse::ComputeResult(TQREvValue &value) {
    value = ArgumentCount() == 0 ? TQREvValue::boolean(false) : TQREvValue::error(QStringLiteral("Too many arguments"));
}

void TQREvIntFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() == 1) {
        const TQREvValue &a = Argument(0);
        if (a.Kind == evInteger) {
            value = TQREvValue::integer(a.IntegerValue);
            return;
        }
        if (a.Kind == evFloat && std::isfinite(a.FloatValue)) {
            // Toward zero, then modulo 2^32 as a signed value.
            const double wrapped = std::fmod(std::trunc(a.FloatValue), 4294967296.0);
            value = TQREvValue::integer(wrap32(quint64(qint64(wrapped))));
            return;
        }
    }
    value = TQREvValue::error(QStringLiteral("Wrong arguments for INT"));
}

void TQREvFracFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() == 1 && Argument(0).Kind == evInteger)
        value = TQREvValue::floating(0.0);
    else if (ArgumentCount() == 1 && Argument(0).Kind == evFloat)
        value = TQREvValue::floating(Argument(0).FloatValue - std::trunc(Argument(0).FloatValue));
    else
        value = TQREvValue::error();
}

void TQREvSQRTFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() == 1 && Argument(0).isNumeric()) {
        const double x = Argument(0).Kind == evInteger ? Argument(0).IntegerValue : Argument(0).FloatValue;
        if (!(x < 0)) {
            value = TQREvValue::floating(std::sqrt(x));
            return;
        }
    }
    value = TQREvValue::error(QStringLiteral("Invalid argument to SQRT function"));
}

void TQREvDivFunction::ComputeResult(TQREvValue &value) {
    qint64 x = 0;
    qint64 y = 0;
    if (ArgumentCount() != 2 || !divisionOperand(Argument(0), x) || !divisionOperand(Argument(1), y)) {
        value = TQREvValue::error(QStringLiteral("Wrong arguments for DIV"));
        return;
    }
    if (y == 0) {
        value = TQREvValue::error(QStringLiteral("Division by Zero"));
        return;
    }
    // Both operands are well inside the 64-bit range, so the quotient cannot overflow; it wraps to 32 bits.
    value = TQREvValue::integer(wrap32(quint64(x / y)));
}

void TQREvTypeOfFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() != 1) {
        value = TQREvValue::error(QStringLiteral("Wrong arguments for TypeOf"));
        return;
    }
    value = TQREvValue::string(qrexpr::kindName(Argument(0).Kind).toUpper());
}

void TQREvFormatNumericFunction::ComputeResult(TQREvValue &value) {
    if (ArgumentCount() != 2 || Argument(0).Kind != evString || !Argument(1).isNumeric()) {
        value = TQREvValue::error();
        return;
    }
    const TQREvValue &n = Argument(1);
    QString text;
    if (qrexpr::formatFloatMask(Argument(0).Text, n.Kind == evInteger ? n.IntegerValue : n.FloatValue, text))
        value = TQREvValue::string(text);
    else
        value = TQREvValue::error(QStringLiteral("Invalid format or value specified"));
}

namespace qrexpr {

void registerBuiltInFunctions(TQRFunctionLibrary &registry) {
    struct BuiltIn {
        const char *name;
        const char *syntax;
        const char *text;
        const char *types;
        TQREvFunctionClass functionClass;
    };
    static const BuiltIn builtIns[] = {
        {"IF", "IF(<Exp>, <X>, <Y>)|", "Returns <X> or <Y> depending on the boolean expression <Exp>", "5BVV",
         qrFunctionClass<TQREvIfFunction>},
        {"STR", "STR(<X>)|", "Convert a numeric <X> to a string", "7N", qrFunctionClass<TQREvStrFunction>},
        {"UPPER", "UPPER(<X>)|", "Converts a string to upper case letters", "7S", qrFunctionClass<TQREvUpperFunction>},
        {"LOWER", "LOWER(<X>)|", "Converts a string to lower case letters", "7S", qrFunctionClass<TQREvLowerFunction>},
        {"PRETTY", "PRETTY(<X>)|", "Makes the first character upper case and the rest lower case", "7S",
         qrFunctionClass<TQREvPrettyFunction>},
        {"TIME", "TIME|", "Return current time as a string", "1", qrFunctionClass<TQREvTimeFunction>},
        {"DATE", "DATE|", "Return current date as a string", "1", qrFunctionClass<TQREvDateFunction>},
        {"COPY", "COPY(<X>, <St>,<Len>)|", "Returns a substring of string X", "7SNN",
         qrFunctionClass<TQREvCopyFunction>},
        {"SUM", "SUM(<X>)|", "Sums the numeric <X>", "3N", qrFunctionClass<TQREvSumFunction>},
        {"COUNT", "COUNT|", "Increments for each iteration", "3", qrFunctionClass<TQREvCountFunction>},
        {"MAX", "MAX(<X>)|", "Returns the highest <X>", "3V", qrFunctionClass<TQREvMaxFunction>},
        {"MIN", "MIN(<X>)|", "Returns the lowest <X>", "3V", qrFunctionClass<TQREvMinFunction>},
        {"AVERAGE", "AVERAGE(<X>)|", "Returns the average of numeric <X>", "3N", qrFunctionClass<TQREvAverageFunction>},
        {"TRUE", "TRUE|", "boolean value", "5", qrFunctionClass<TQREvTrue>},
        {"FALSE", "FALSE|", "boolean value", "5", qrFunctionClass<TQREvFalse>},
        {"INT", "INT(<X>)|", "Returns the integer part of <X>", "2N", qrFunctionClass<TQREvIntFunction>},
        {"FRAC", "FRAC(<X>)|", "Returns the fractional part of <X>", "2N", qrFunctionClass<TQREvFracFunction>},
        {"SQRT", "SQRT(<X>)|", "Returns square root of <X>", "2N", qrFunctionClass<TQREvSQRTFunction>},
        {"DIV", "DIV(<X>, <Y>) | ", "Integer division of <X> by <Y>", "2NN", qrFunctionClass<TQREvDivFunction>},
        {"TYPEOF", "TYPEOF(<Exp>)|", "Returns the data type of <Exp>", "6N", qrFunctionClass<TQREvTypeOfFunction>},
        {"FORMATNUMERIC", "FORMATNUMERIC(<F>,<N>)|", "Formats numeric <N> using the mask in <F>", "7SN",
         qrFunctionClass<TQREvFormatNumericFunction>},
    };
    for (const BuiltIn &b : builtIns) {
        auto entry = std::make_unique<TQRLibraryEntry>();
        entry->Name = QLatin1String(b.name);
        entry->Description = QLatin1String(b.syntax) + QLatin1String(b.text);
        entry->ArgumentTypes = QLatin1String(b.types);
        entry->FunctionClass = b.functionClass;
        entry->Vendor = builtInVendor();
        registry.Add(std::move(entry));
    }
}

} // namespace qrexpr
