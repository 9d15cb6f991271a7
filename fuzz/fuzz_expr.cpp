// Compiles and evaluates arbitrary expression texts against a small data set and report variables.
//
// Input: UTF-8 text. The first line is the expression; each further line NAME=EXPR adds a report variable.
// Nothing may crash, trip a sanitizer or throw.
#include "report/expr/Environment.h"
#include "report/expr/Evaluator.h"
#include "report/expr/FormatFloat.h"

#include "store/DataSet.h"

#include <QDateTime>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

class FuzzDataSet : public TDataSet {
public:
    FuzzDataSet() { setObjectName(QStringLiteral("Q")); }
    QString sourceName() const override { return objectName(); }

protected:
    void doOpen(QVector<Column> &columns, std::vector<std::unique_ptr<Row>> &rows) override {
        columns = {{QStringLiteral("AMOUNT"), ftFloat},       {QStringLiteral("QTY"), ftInteger},
                   {QStringLiteral("NAME"), ftString},        {QStringLiteral("PAID"), ftBoolean},
                   {QStringLiteral("DAY"), ftDate},           {QStringLiteral("NOTE"), ftMemo},
                   {QStringLiteral("Order Date"), ftDateTime}};
        const QDateTime when(QDate(2024, 3, 9), QTime(13, 4, 5));
        const QVector<QVector<QVariant>> values = {
            {150.5, 2, QStringLiteral("Kiss"), true, when, QStringLiteral("x"), when},
            {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
            {-1e300, -2147483647, QString(300, QLatin1Char('z')), false, when, QString(), when},
        };
        qint64 id = 0;
        for (const auto &v : values) {
            auto row = std::make_unique<Row>();
            row->id = ++id;
            row->values = v;
            rows.push_back(std::move(row));
        }
    }
};

FuzzDataSet *dataSet() {
    static FuzzDataSet *data = [] {
        auto *d = new FuzzDataSet;
        d->Open();
        return d;
    }();
    return data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const QStringList lines = input.split(QLatin1Char('\n'));

    TQRDataSetList list;
    list.Add(dataSet());
    TQREvEnvironment functions;
    functions.SetDatasetList(&list);
    functions.AddEntry(QStringLiteral("PAGENUMBER"), QStringLiteral("0"));
    functions.AddEntry(QStringLiteral("REPORTTITLE"), QStringLiteral("''"));
    for (int i = 1; i < lines.size() && i < 9; ++i) {
        const qsizetype eq = lines[i].indexOf(QLatin1Char('='));
        if (eq > 0)
            functions.AddEntry(lines[i].left(eq), lines[i].mid(eq + 1));
    }
    functions.PrepareAll();

    TQREvaluator evaluator;
    evaluator.SetDatasetList(&list);
    evaluator.SetOwnEnvironment(&functions);
    evaluator.Compile(lines.value(0));
    const bool aggregates = evaluator.HasAggregates();
    // TIME and DATE may move on between two evaluations
    const bool clock = input.contains(QLatin1String("time"), Qt::CaseInsensitive) ||
                       input.contains(QLatin1String("date"), Qt::CaseInsensitive);
    FuzzDataSet *data = dataSet();
    qint32 page = 0;
    for (data->First(); !data->Eof(); data->Next()) {
        TQREvEnvironment::StoreInteger(functions.FindConstant(QStringLiteral("PAGENUMBER")), ++page);
        if (aggregates)
            evaluator.Accumulate();
        const TQREvValue v = evaluator.Evaluate();
        if (v.Text.size() > TQREvValue::MaxTextLength)
            __builtin_trap();
        // the numeric shortcut must agree with walking the queue
        if (!aggregates && !clock) {
            TQRFiFo &queue = *evaluator.Queue();
            queue.Rewind();
            TQREvValue walked;
            qrEvaluateElement(*queue.Next(), queue, walked);
            if (walked.Kind != v.Kind || qrexpr::valueText(walked) != qrexpr::valueText(v))
                __builtin_trap();
        }
        TQREvEnvironment::StoreText(functions.FindConstant(QStringLiteral("REPORTTITLE")), v.Text);
    }
    evaluator.ResetAggregates();
    evaluator.Evaluate();
    // without a data set list names go straight to the environments
    TQREvaluator bare;
    bare.SetOwnEnvironment(&functions);
    bare.EvaluateOnce(lines.value(0));
    for (int i = 0; i < functions.Count(); ++i)
        functions.EntryValue(functions.Name(i));
    evaluator.Discard();
    functions.ReleaseAll();

    // the text as a picture mask too
    QString formatted;
    qrexpr::formatFloatMask(lines.value(0).left(300), -1234.5678, formatted);
    qrexpr::formatFloatMask(lines.value(0).left(300), 0, formatted);
    qrexpr::formatFloatMask(lines.value(0).left(300), 9.87e-300, formatted);
    return 0;
}
