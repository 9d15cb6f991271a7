#pragma once

#include "report/expr/Elements.h"
#include "report/expr/Evaluator.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

/// One named expression of an environment, compiled in an evaluator of its own. A reference to the entry
/// evaluates it; an entry reached again while it is being evaluated gives "Recursive calls not allowed".
class TQREvEmbeddedFunction final : public TQREvElement {
public:
    explicit TQREvEmbeddedFunction(const QString &expression);

    /// The entry's value; the queue of the referring expression is not used.
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;
    /// Clears the running state of the entry's own expression.
    void ResetState() override;

    const QString &ExpressionText() const { return m_expressionText; }
    TQREvaluator &Evaluator() { return m_evaluator; }
    bool InEvaluation() const { return m_inEvaluation; }

private:
    QString m_expressionText;
    TQREvaluator m_evaluator;
    bool m_inEvaluation = false;
};

/// What a compiled expression holds for a reference to an environment entry. The entry belongs to its
/// environment; a reference to an entry removed since evaluates to "Unknown function : NAME".
class TQREvElementWrapper final : public TQREvElement {
public:
    TQREvElementWrapper(const std::shared_ptr<TQREvEmbeddedFunction> &target, const QString &name);
    void Evaluate(TQRFiFo &queue, TQREvValue &value) override;
    /// The entry, or null once it was removed.
    TQREvEmbeddedFunction *Target() const { return m_target.lock().get(); }
    /// The entry's stored value while the entry is a constant (PAGENUMBER); null when it was removed or is
    /// an expression. Evaluating the reference gives exactly this value.
    const TQREvValue *ConstantValue() const {
        return m_target.expired() ? nullptr : m_entry->Evaluator().SingleConstant();
    }

private:
    std::weak_ptr<TQREvEmbeddedFunction> m_target;
    TQREvEmbeddedFunction *m_entry;
    QString m_name;
};

/// A named list of expressions: report variables. Names that are neither functions nor fields are looked up
/// in the expression's own environment (a report's `Functions`), then in the `GlobalEnvironment`.
///
/// The report engine keeps one per report: it adds entries with `AddEntry` (PAGENUMBER = "0", ...), prepares
/// the environment at the start of a run with `PrepareAll` and releases it at the end with `ReleaseAll`, and in
/// between overwrites the constants it finds with `FindConstant` through `StoreInteger`/`StoreText`/
/// `StoreValue`, so every expression that names them sees the new value. Its stored form is two string lists:
/// the names ("Strings") and, in the same order, the expressions ("DATA"), read and written with
/// `Strings`/`SetStrings` and `Data`/`SetData` (names first).
class TQREvEnvironment : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList Strings READ Strings WRITE SetStrings)
    Q_PROPERTY(QStringList DATA READ Data WRITE SetData)

public:
    explicit TQREvEnvironment(QObject *parent = nullptr);
    ~TQREvEnvironment() override;

    /// Adds an entry under the upper-cased name unless the name is taken; compiles it at once when the
    /// environment is prepared.
    void AddEntry(const QString &name, const QString &expression);
    /// Removes the entry of that name (ignoring case); nothing when absent.
    void RemoveEntry(const QString &name);
    /// Removes every entry.
    void Clear();

    /// A new reference to the named entry, or the error element "Unknown function : NAME" (as passed in).
    std::unique_ptr<TQREvElement> MakeReference(const QString &name);
    /// The value of the named entry; an error without message when there is none.
    TQREvValue EntryValue(const QString &name);
    /// The first element of the named entry's compiled expression: for a constant entry, the constant the
    /// store operations overwrite. Null when unknown or not compiled.
    TQREvElement *FindConstant(const QString &name);

    /// A constant element takes the integer n.
    static void StoreInteger(TQREvElement *element, qint32 n);
    /// A string element takes the text.
    static void StoreText(TQREvElement *element, const QString &text);
    /// A constant takes the whole value; a string element takes a string value's text.
    static void StoreValue(TQREvElement *element, const TQREvValue &value);

    /// Counts a preparation; the first compiles every entry.
    void PrepareAll();
    /// Releases a preparation; the last discards every entry's compiled expression.
    void ReleaseAll();
    bool IsPrepared() const { return m_prepareCount > 0; }
    int PrepareCount() const { return m_prepareCount; }

    /// The data sets every entry's fields are looked up in; an empty list of its own when none was given.
    TQRDataSetList *DatasetList();
    /// Uses a list the caller keeps (not owned); applies to entries compiled from now on.
    void SetDatasetList(TQRDataSetList *list);

    int Count() const { return int(m_entries.size()); }
    QString Name(int index) const { return index >= 0 && index < Count() ? m_entries[size_t(index)].name : QString(); }
    /// The position of the entry of that name ignoring case; -1 when none.
    int IndexOf(const QString &name) const;
    /// The entry at a position (made with an empty expression when the stored form gave none).
    TQREvEmbeddedFunction *Entry(int index);

    /// The names, in order (the "Strings" of the stored form).
    QStringList Strings() const;
    /// Replaces every entry by the names; expressions come with `SetData`.
    void SetStrings(const QStringList &names);
    /// The expression of every entry, in order (the "DATA" of the stored form).
    QStringList Data() const;
    /// Gives every entry still without an expression the one at its position; entries past the end of the
    /// list get an empty expression.
    void SetData(const QStringList &expressions);

private:
    struct Item {
        QString name;
        std::shared_ptr<TQREvEmbeddedFunction> function; // null between SetStrings and SetData
    };

    TQREvEmbeddedFunction *attach(Item &item, const QString &expression);
    TQREvEmbeddedFunction *functionOf(Item &item);
    void prepare(TQREvEmbeddedFunction &function);

    std::vector<Item> m_entries;
    int m_prepareCount = 0;
    TQRDataSetList *m_datasetList = nullptr;
    bool m_ownsDatasetList = false;
};

/// The process-wide environment (AppStartTime, AppStartDate, AppName); null once the process is shutting
/// down.
TQREvEnvironment *GlobalEnvironment();

namespace qrexpr {
/// The application's title, as the global AppName gives it.
QString applicationTitle();
} // namespace qrexpr
