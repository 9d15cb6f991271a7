#pragma once

#include "report/expr/DataSetList.h"
#include "report/expr/Elements.h"
#include "report/expr/ExprError.h"

#include <QPointer>
#include <QString>

#include <memory>

class TQREvEnvironment;
namespace qrexpr {
class NumericPlan;
class TextPlan;
} // namespace qrexpr

/// One expression: compiled once into a queue of elements in prefix order, then evaluated many times.
///
/// Use: set `DatasetList` and `OwnEnvironment`, `Compile`, then per record `Accumulate` (when
/// `HasAggregates`), `Evaluate` when the value is needed, `ResetAggregates` where a total starts over, and
/// `Discard` at the end of the run. Nothing here throws for a bad expression or bad data: faults become
/// `evError` values carrying their message. Only `Evaluate` (and `Accumulate`) of an evaluator that is not
/// compiled throws `EQRExprError`.
///
/// A subclass may override `HandleFunctionCall` and `HandleName` to resolve names of its own; it appends
/// what it makes with `appendElement` and compiles sub-expressions with `compileComparison`.
class TQREvaluator {
public:
    TQREvaluator();
    virtual ~TQREvaluator();
    TQREvaluator(const TQREvaluator &) = delete;
    TQREvaluator &operator=(const TQREvaluator &) = delete;

    /// Builds the queue from an expression text; an evaluator already compiled is discarded first.
    void Compile(const QString &text);
    /// Frees the queue and releases the global environment's preparation.
    void Discard();
    /// The expression's value for the current records.
    TQREvValue Evaluate();
    /// Compile, Evaluate and Discard.
    TQREvValue EvaluateOnce(const QString &text);
    /// True when the expression holds an aggregate function (SUM, COUNT, MAX, MIN, AVERAGE).
    bool HasAggregates() const;
    /// One accumulation pass: every function element takes in the current record; the value is dropped.
    void Accumulate();
    /// Asks every element to clear its running state (totals start over).
    void ResetAggregates();

    bool IsCompiled() const { return m_compiled; }
    /// The stored value when the compiled queue is one constant (an entry the report stores into); null
    /// otherwise. Evaluating gives exactly this value.
    const TQREvValue *SingleConstant() const { return m_constant; }
    /// The compiled queue; null when not compiled.
    TQRFiFo *Queue() const { return m_queue.get(); }

    /// The data sets field names are looked up in; an empty list of its own is made when there is none.
    TQRDataSetList *DatasetList();
    bool HasDatasetList() const { return m_datasetList != nullptr; }
    /// Uses a list the caller keeps (not owned); a list of its own is freed.
    void SetDatasetList(TQRDataSetList *list);

    /// The environment searched before the global one (a report's `Functions`); not owned.
    TQREvEnvironment *OwnEnvironment() const;
    void SetOwnEnvironment(TQREvEnvironment *environment);

    /// A name followed by an argument list: a registered function, else an error or (without arguments)
    /// a name.
    virtual void HandleFunctionCall(const QString &name, const QString &argumentText);
    /// A field of a listed data set, else an entry of the own or the global environment.
    virtual void HandleName(const QString &name);

protected:
    void appendElement(std::unique_ptr<TQREvElement> element);
    void appendError(const QString &message);
    /// Compiles a text at the loosest level (a whole expression, the inside of parentheses, an argument).
    void compileComparison(const QString &text);

private:
    class Depth;
    struct Chain;

    void compileChain(const QString &text, const Chain &level);
    void compileAdditive(const QString &text);
    void compileMultiplicative(const QString &text);
    void compileFactor(const QString &text);
    void compileNumber(const QString &text);
    void compileNameOrCall(const QString &text);
    bool appendField(const QString &name);
    std::unique_ptr<TQREvElement> environmentReference(const QString &name) const;

    bool m_compiled = false;
    std::unique_ptr<TQRFiFo> m_queue;
    std::unique_ptr<qrexpr::NumericPlan> m_plan;
    std::unique_ptr<qrexpr::TextPlan> m_textPlan;
    const TQREvValue *m_constant = nullptr; // the stored value when the queue is one constant (an entry's)
    QPointer<TQREvEnvironment> m_ownEnvironment;
    TQRDataSetList *m_datasetList = nullptr;
    bool m_ownsDatasetList = false;
    int m_depth = 0;
};
