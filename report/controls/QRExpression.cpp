#include "report/controls/QRExpression.h"

#include "report/controls/ExprText.h"
#include "report/engine/QRController.h"
#include "report/engine/QRReport.h"
#include "report/expr/Evaluator.h"

TQRExpr::TQRExpr(QObject *owner) : TQRCustomLabel(owner), m_evaluator(std::make_unique<TQREvaluator>()) {
    SetCaptionText(qrcontrols::ExpressionCaption(m_expression));
}

TQRExpr::~TQRExpr() {
    if (m_evaluator->IsCompiled())
        m_evaluator->Discard();
}

void TQRExpr::SetExpression(const QString &expression) {
    m_expression = expression;
    SetCaptionText(qrcontrols::ExpressionCaption(expression));
}

void TQRExpr::SetMask(const QString &mask) {
    m_mask = mask;
    SetExpression(m_expression);
}

void TQRExpr::SetMaster(QObject *master) {
    if (master && !qobject_cast<TCustomDezirUzu *>(master) && !qobject_cast<TQRSubDetail *>(master)) {
        LastRefusal() = QStringLiteral("the master of an expression is a report or a sub-detail");
        return;
    }
    m_master = master;
}

QString TQRExpr::ValueText() {
    return qrcontrols::ExprValueText(m_evaluator->Evaluate(), m_mask);
}

void TQRExpr::Prepare() {
    TQRCustomLabel::Prepare();
    TCustomDezirUzu *report = ParentReport();
    m_evaluator->SetDatasetList(report ? report->DataSets.get() : nullptr);
    m_evaluator->SetOwnEnvironment(report ? report->Functions() : nullptr);
    m_evaluator->Compile(m_expression);
    if (auto *masterReport = qobject_cast<TCustomDezirUzu *>(m_master))
        masterReport->RegisterNotifyExpression(this);
    else if (auto *subDetail = qobject_cast<TQRSubDetail *>(m_master))
        subDetail->RegisterNotifyExpression(this);
    else if (report && m_evaluator->HasAggregates())
        report->RegisterNotifyExpression(this);
    m_evaluator->ResetAggregates();
}

void TQRExpr::Print(int offsetX, int offsetY) {
    if (!ShouldPrint() || !ParentReport())
        return;
    if (!RunActive())
        Prepare();
    // The rest of a stretched value prints the lines already broken; only a new print takes a new value.
    const bool continuing = !ContentDone();
    if (!continuing)
        PrintText = ValueText();
    TQRCustomLabel::Print(offsetX, offsetY);
    if (!continuing && m_resetAfterPrint)
        m_evaluator->ResetAggregates();
}

void TQRExpr::Unprepare() {
    m_evaluator->SetDatasetList(nullptr);
    if (m_evaluator->IsCompiled())
        m_evaluator->Discard();
    TQRCustomLabel::Unprepare();
    SetExpression(m_expression);
}

void TQRExpr::Notify(QObject *sender, int code) {
    TQRCustomLabel::Notify(sender, code);
    if (code == 0 && m_evaluator->IsCompiled())
        m_evaluator->Accumulate();
}
