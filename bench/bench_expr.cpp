// Per-record evaluation of report expressions: our evaluator against QJSEngine running the same expressions
// (compiled once, called per record), and a count of heap allocations per evaluation.
//
// The QJSEngine baseline is measured two ways. "names": the script reads Q.AMOUNT and PAGENUMBER by name and
// the host stores the record's values into the engine before each call, as a script-based report would.
// "args": the values are passed as call arguments, the cheapest way to feed a script. Both compile the
// function once and call it per record, as ours compiles once and evaluates per record.
//
// Every run starts with the vector registers' upper halves cleared: a QJSEngine run leaves them in use, and
// plain SSE code run after it in the same process then pays a state transition at every AVX library call
// (memcpy), several times the cost of a text evaluation.
#include "report/expr/Environment.h"
#include "report/expr/Evaluator.h"

#include "bench/BenchSupport.h"
#include "store/DataSet.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QJSValue>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

// Every heap allocation of the process goes through malloc, calloc or realloc (operator new and Qt's
// containers included); counting them here shows whether an evaluation allocates.
static unsigned long long g_allocations = 0;
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void *malloc(size_t size) {
    ++g_allocations;
    return __libc_malloc(size);
}
void *calloc(size_t count, size_t size) {
    ++g_allocations;
    return __libc_calloc(count, size);
}
void *realloc(void *pointer, size_t size) {
    ++g_allocations;
    return __libc_realloc(pointer, size);
}
}

namespace {

constexpr int kRecords = 1000;

class Orders : public TDataSet {
public:
    Orders() { setObjectName(QStringLiteral("Q")); }
    QString sourceName() const override { return objectName(); }

protected:
    void doOpen(QVector<Column> &columns, std::vector<std::unique_ptr<Row>> &rows) override {
        columns = {{QStringLiteral("AMOUNT"), ftFloat}, {QStringLiteral("QTY"), ftInteger}};
        for (int i = 0; i < kRecords; ++i) {
            auto row = std::make_unique<Row>();
            row->id = i + 1;
            row->values = {double((i * 37) % 250) + 0.5, i % 17};
            rows.push_back(std::move(row));
        }
    }
};

Orders &orders() {
    static Orders *data = [] {
        auto *d = new Orders;
        d->Open();
        return d;
    }();
    return *data;
}

void nextRecord(Orders &data) {
    data.Next();
    if (data.Eof())
        data.First();
}

// As a fresh process starts (see above).
void settleVectorUnit() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (__builtin_cpu_supports("avx"))
        asm volatile("vzeroupper");
#endif
}

void countAllocations(benchmark::State &state, unsigned long long before) {
    state.counters["allocs/eval"] =
        benchmark::Counter(double(g_allocations - before) / double(state.iterations()), benchmark::Counter::kDefaults);
}

const QString kAmountExpression = QStringLiteral("IF([Q.AMOUNT] > 100, [Q.AMOUNT] * 2, 0) + 1");
const QString kNumericExpression = QStringLiteral("([Q.AMOUNT] * 2 + [Q.QTY]) / 3 > 100");

void runOurs(benchmark::State &state, const QString &expression) {
    Orders &data = orders();
    data.First();
    TQRDataSetList list;
    list.Add(&data);
    TQREvaluator evaluator;
    evaluator.SetDatasetList(&list);
    evaluator.Compile(expression);
    evaluator.Evaluate(); // the first call sizes the argument lists
    settleVectorUnit();
    const unsigned long long before = g_allocations;
    for (auto _ : state) {
        nextRecord(data);
        const TQREvValue v = evaluator.Evaluate();
        benchmark::DoNotOptimize(v.FloatValue);
        benchmark::DoNotOptimize(v.BooleanValue);
    }
    countAllocations(state, before);
    evaluator.Discard();
}

// The record move alone, which every per-record benchmark above pays as well.
void BM_RecordMove(benchmark::State &state) {
    Orders &data = orders();
    data.First();
    settleVectorUnit();
    for (auto _ : state)
        nextRecord(data);
}

void BM_Amount_Ours(benchmark::State &state) {
    runOurs(state, kAmountExpression);
}
void BM_Numeric_Ours(benchmark::State &state) {
    runOurs(state, kNumericExpression);
}

void BM_Amount_QJSEngine(benchmark::State &state) {
    Orders &data = orders();
    data.First();
    TField *amount = data.FieldByName(QStringLiteral("AMOUNT"));
    QJSEngine engine;
    QJSValue q = engine.newObject();
    engine.globalObject().setProperty(QStringLiteral("Q"), q);
    const QString amountName = QStringLiteral("AMOUNT");
    QJSValue function =
        engine.evaluate(QStringLiteral("(function() { return (Q.AMOUNT > 100 ? Q.AMOUNT * 2 : 0) + 1; })"));
    settleVectorUnit();
    const unsigned long long before = g_allocations;
    for (auto _ : state) {
        nextRecord(data);
        q.setProperty(amountName, amount->AsFloat());
        const QJSValue v = function.call();
        benchmark::DoNotOptimize(v.toNumber());
    }
    countAllocations(state, before);
}

void BM_Amount_QJSEngineArgs(benchmark::State &state) {
    Orders &data = orders();
    data.First();
    TField *amount = data.FieldByName(QStringLiteral("AMOUNT"));
    QJSEngine engine;
    QJSValue function =
        engine.evaluate(QStringLiteral("(function(amount) { return (amount > 100 ? amount * 2 : 0) + 1; })"));
    settleVectorUnit();
    const unsigned long long before = g_allocations;
    for (auto _ : state) {
        nextRecord(data);
        const QJSValue v = function.call({QJSValue(amount->AsFloat())});
        benchmark::DoNotOptimize(v.toNumber());
    }
    countAllocations(state, before);
}

void BM_Numeric_QJSEngine(benchmark::State &state) {
    Orders &data = orders();
    data.First();
    TField *amount = data.FieldByName(QStringLiteral("AMOUNT"));
    TField *qty = data.FieldByName(QStringLiteral("QTY"));
    QJSEngine engine;
    QJSValue q = engine.newObject();
    engine.globalObject().setProperty(QStringLiteral("Q"), q);
    const QString amountName = QStringLiteral("AMOUNT");
    const QString qtyName = QStringLiteral("QTY");
    QJSValue function = engine.evaluate(QStringLiteral("(function() { return (Q.AMOUNT * 2 + Q.QTY) / 3 > 100; })"));
    settleVectorUnit();
    const unsigned long long before = g_allocations;
    for (auto _ : state) {
        nextRecord(data);
        q.setProperty(amountName, amount->AsFloat());
        q.setProperty(qtyName, qty->AsInteger());
        const QJSValue v = function.call();
        benchmark::DoNotOptimize(v.toBool());
    }
    countAllocations(state, before);
}

void BM_Page_Ours(benchmark::State &state) {
    TQREvEnvironment functions;
    functions.AddEntry(QStringLiteral("PAGENUMBER"), QStringLiteral("0"));
    functions.PrepareAll();
    TQREvElement *page = functions.FindConstant(QStringLiteral("PAGENUMBER"));
    TQREvaluator evaluator;
    evaluator.SetOwnEnvironment(&functions);
    evaluator.Compile(QStringLiteral("'Page ' + STR(PAGENUMBER)"));
    qint32 n = 0;
    settleVectorUnit();
    const unsigned long long before = g_allocations;
    for (auto _ : state) {
        TQREvEnvironment::StoreInteger(page, ++n);
        const TQREvValue v = evaluator.Evaluate();
        benchmark::DoNotOptimize(v.Text.constData());
    }
    countAllocations(state, before);
    evaluator.Discard();
    functions.ReleaseAll();
}

void BM_Page_QJSEngine(benchmark::State &state) {
    QJSEngine engine;
    QJSValue global = engine.globalObject();
    const QString pageName = QStringLiteral("PAGENUMBER");
    QJSValue function = engine.evaluate(QStringLiteral("(function() { return 'Page ' + String(PAGENUMBER); })"));
    qint32 n = 0;
    settleVectorUnit();
    const unsigned long long before = g_allocations;
    for (auto _ : state) {
        global.setProperty(pageName, ++n);
        const QString v = function.call().toString();
        benchmark::DoNotOptimize(v.constData());
    }
    countAllocations(state, before);
}

void BM_Page_QJSEngineArgs(benchmark::State &state) {
    QJSEngine engine;
    QJSValue function = engine.evaluate(QStringLiteral("(function(page) { return 'Page ' + String(page); })"));
    qint32 n = 0;
    settleVectorUnit();
    const unsigned long long before = g_allocations;
    for (auto _ : state) {
        const QString v = function.call({QJSValue(++n)}).toString();
        benchmark::DoNotOptimize(v.constData());
    }
    countAllocations(state, before);
}

BENCHMARK(BM_RecordMove);
BENCHMARK(BM_Amount_Ours);
BENCHMARK(BM_Amount_QJSEngine);
BENCHMARK(BM_Amount_QJSEngineArgs);
BENCHMARK(BM_Numeric_Ours);
BENCHMARK(BM_Numeric_QJSEngine);
BENCHMARK(BM_Page_Ours);
BENCHMARK(BM_Page_QJSEngine);
BENCHMARK(BM_Page_QJSEngineArgs);

// Keeps the time per iteration and the allocation count of every run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            const std::string name = run.benchmark_name();
            nanoseconds[name] = run.GetAdjustedRealTime();
            const auto it = run.counters.find("allocs/eval");
            if (it != run.counters.end())
                allocations[name] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nanoseconds;
    std::map<std::string, double> allocations;
};

} // namespace

int main(int argc, char **argv) {
    SummaryReporter reporter;
    return benchmarkMain<QCoreApplication>(argc, argv, &reporter, [&] {
        int status = 0;
        const double move = reporter.nanoseconds.count("BM_RecordMove") ? reporter.nanoseconds["BM_RecordMove"] : 0;
        std::printf("\nns per evaluation; \"net\" leaves out the record move (%.1f ns) that both sides pay\n", move);
        std::printf(
            "expression (QJSEngine fed by)                          ours ns   QJSEngine ns   ratio   net ratio\n");
        const struct {
            const char *label;
            const char *ours;
            const char *js;
        } pairs[] = {
            {"IF([Q.AMOUNT] > 100, [Q.AMOUNT] * 2, 0) + 1 (names)", "BM_Amount_Ours", "BM_Amount_QJSEngine"},
            {"IF([Q.AMOUNT] > 100, [Q.AMOUNT] * 2, 0) + 1 (args)", "BM_Amount_Ours", "BM_Amount_QJSEngineArgs"},
            {"([Q.AMOUNT] * 2 + [Q.QTY]) / 3 > 100 (names)", "BM_Numeric_Ours", "BM_Numeric_QJSEngine"},
            {"'Page ' + STR(PAGENUMBER) (names)", "BM_Page_Ours", "BM_Page_QJSEngine"},
            {"'Page ' + STR(PAGENUMBER) (args)", "BM_Page_Ours", "BM_Page_QJSEngineArgs"},
        };
        for (const auto &p : pairs) {
            if (!reporter.nanoseconds.count(p.ours) || !reporter.nanoseconds.count(p.js))
                continue;
            const double ours = reporter.nanoseconds[p.ours];
            const double js = reporter.nanoseconds[p.js];
            const bool perRecord = std::string(p.ours) != "BM_Page_Ours";
            const double net = perRecord ? (js - move) / (ours - move) : js / ours;
            std::printf("%-52s %9.1f %14.1f %6.1fx %10.1fx\n", p.label, ours, js, js / ours, net);
        }
        for (const char *ours : {"BM_Amount_Ours", "BM_Page_Ours"})
            if (reporter.allocations.count(ours))
                std::printf("heap allocations per evaluation, %s: %.3f\n", ours, reporter.allocations[ours]);
        // Numeric expressions without functions must not touch the heap.
        if (reporter.allocations.count("BM_Numeric_Ours")) {
            const double a = reporter.allocations["BM_Numeric_Ours"];
            std::printf("heap allocations per evaluation of the numeric expression: %.3f\n", a);
            if (a > 0) {
                std::printf("FAIL: a numeric expression without functions allocates\n");
                status = 1;
            }
        }
        return status;
    });
}
