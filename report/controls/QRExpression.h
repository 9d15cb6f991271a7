#pragma once

#include "report/controls/QRLabel.h"

#include <QPointer>

#include <memory>

class TQREvaluator;

/// A label that prints the value of an expression, formatted by a mask, and keeps running totals: its
/// evaluator is compiled for each run, accumulates once for every record of its master (the report, or a
/// sub-detail), and is reset after each print when ResetAfterPrint is on (a group total) or never during the
/// run (a grand total).
class TQRExpr : public TQRCustomLabel {
    Q_OBJECT
    Q_PROPERTY(QString Expression READ Expression WRITE SetExpression)
    Q_PROPERTY(QString Mask READ Mask WRITE SetMask)
    Q_PROPERTY(QObject *Master READ Master WRITE SetMaster)
    Q_PROPERTY(bool ResetAfterPrint READ ResetAfterPrint WRITE SetResetAfterPrint)
public:
    explicit TQRExpr(QObject *owner = nullptr);
    ~TQRExpr() override;

    const QString &Expression() const { return m_expression; }
    /// Stores the expression; the caption shows it, or "(none)" when it is empty.
    void SetExpression(const QString &expression);
    const QString &Mask() const { return m_mask; }
    void SetMask(const QString &mask);
    /// A report or a sub-detail; any other component is refused.
    QObject *Master() const { return m_master; }
    void SetMaster(QObject *master);
    bool ResetAfterPrint() const { return m_resetAfterPrint; }
    void SetResetAfterPrint(bool on) { m_resetAfterPrint = on; }

    TQREvaluator &Evaluator() const { return *m_evaluator; }
    /// The text the control prints for the expression's current value.
    QString ValueText();

    void Prepare() override;
    void Print(int offsetX, int offsetY) override;
    void Unprepare() override;
    /// Code 0 (a record of the master has been processed): the totals take it in.
    void Notify(QObject *sender, int code) override;

private:
    QString m_expression;
    QString m_mask;
    QPointer<QObject> m_master;
    bool m_resetAfterPrint = false;
    std::unique_ptr<TQREvaluator> m_evaluator;
};
