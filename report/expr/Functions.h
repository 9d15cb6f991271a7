#pragma once

#include "report/expr/Elements.h"

class TQRFunctionLibrary;

// The built-in functions. Each checks its own arguments when it computes; a wrong call gives an `evError`
// value, never an exception.

/// IF(<Exp>, <X>, <Y>): a copy of X or Y by the boolean Exp.
class TQREvIfFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// STR(<X>): a number or boolean as text.
class TQREvStrFunction final : public TQREvElementFunction {
public:
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;
    void ComputeResult(TQREvValue &value) override;

private:
    void textOf(const TQREvValue &argument, TQREvValue &value);

    QString m_digits; // an integer's text, reused from record to record
};

/// UPPER(<X>): the text in upper case by the locale's rules.
class TQREvUpperFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// LOWER(<X>): the text in lower case by the locale's rules.
class TQREvLowerFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// PRETTY(<X>): the first character upper case, the rest lower case.
class TQREvPrettyFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// TIME: the time of day in the locale's long time format.
class TQREvTimeFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// DATE: today in the locale's short date format.
class TQREvDateFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// COPY(<X>, <St>, <Len>): a substring, 1-based, cut at the end of the text.
class TQREvCopyFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// SUM(<X>): the running total of X over the accumulated records. The first value fixes the total's kind.
class TQREvSumFunction : public TQREvElementFunction {
public:
    TQREvSumFunction() { IsAggregate = true; }
    void ResetState() override;
    void AccumulateRecord() override;
    void ComputeResult(TQREvValue &value) override;

    TQREvValue Total;
    bool HasTotal = false;
};

/// AVERAGE(<X>): the running total divided by the number of accumulated records.
class TQREvAverageFunction final : public TQREvSumFunction {
public:
    void ResetState() override;
    void AccumulateRecord() override;
    void ComputeResult(TQREvValue &value) override;

    TQREvValue Average;
    qint32 Records = 0;
};

/// The running extreme of MAX and MIN; the kind of the first value decides how later ones compare.
class TQREvExtremeFunction : public TQREvElementFunction {
public:
    TQREvExtremeFunction() { IsAggregate = true; }
    void ResetState() override;
    void AccumulateRecord() override;
    void ComputeResult(TQREvValue &value) override;

    TQREvValue Extreme;
    bool HasExtreme = false;

protected:
    /// True when a comparison result (candidate against Extreme) replaces Extreme.
    virtual bool replaces(int comparison) const = 0;
};

/// MAX(<X>): the highest X accumulated.
class TQREvMaxFunction final : public TQREvExtremeFunction {
protected:
    bool replaces(int comparison) const override { return comparison > 0; }
};

/// MIN(<X>): the lowest X accumulated.
class TQREvMinFunction final : public TQREvExtremeFunction {
protected:
    bool replaces(int comparison) const override { return comparison < 0; }
};

/// COUNT: the number of accumulated records.
class TQREvCountFunction final : public TQREvElementFunction {
public:
    TQREvCountFunction() { IsAggregate = true; }
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;
    void ResetState() override { Tally = 0; }
    void ComputeResult(TQREvValue &value) override;

    qint32 Tally = 0;
};

/// TRUE: the boolean true.
class TQREvTrue final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// FALSE: the boolean false.
class TQREvFalse final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// INT(<X>): the integer part, toward zero, as a 32-bit integer (wrapping).
class TQREvIntFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// FRAC(<X>): the fractional part, keeping the sign.
class TQREvFracFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// SQRT(<X>): the square root.
class TQREvSQRTFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// DIV(<X>, <Y>): integer division toward zero; floats are first rounded half to even.
class TQREvDivFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// TYPEOF(<Exp>): the kind of a value as a word.
class TQREvTypeOfFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

/// FORMATNUMERIC(<F>, <N>): a number formatted with a picture mask.
class TQREvFormatNumericFunction final : public TQREvElementFunction {
public:
    void ComputeResult(TQREvValue &value) override;
};

namespace qrexpr {
/// Registers the 21 built-in functions in their order.
void registerBuiltInFunctions(TQRFunctionLibrary &registry);
} // namespace qrexpr
