// The editor window on 10,000 topics: opening it, Post with its renumber pass, scrolling the grid.
// Baseline: a plain QTableView over a QStandardItemModel holding the same rows, built and scrolled the same way.
#include "app/DataSource.h"
#include "app/Main.h"
#include "store/Database.h"
#include "store/HelpData.h"
#include "store/HelpEditor.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>

namespace {

// 10 top-level topics, 30 children each, 32 grandchildren each: 9,910 topics, numbered.
const QString &bigHelp() {
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        made = true;
        QDir().mkpath(dir.path() + QStringLiteral("/Help/HTML"));
        HelpData::createTable(dir.path() + QStringLiteral("/Help"));
        QList<NewTopic> topics;
        for (int t = 1; t <= 10; ++t) {
            topics << NewTopic{1, QStringLiteral("Fejezet %1").arg(t), QStringLiteral("fejezet szó"), t, true, {}};
            for (int c = 1; c <= 30; ++c) {
                topics << NewTopic{2, QStringLiteral("Alfejezet %1.%2").arg(t).arg(c), QStringLiteral("alfejezet"), 0, false, {}};
                for (int g = 1; g <= 32; ++g)
                    topics << NewTopic{3, QStringLiteral("Témakör %1.%2.%3").arg(t).arg(c).arg(g), QStringLiteral("témakör"), 0, false, {}};
            }
        }
        HelpTopicStore store;
        store.open(dir.path());
        store.AppendOutline(topics);
    }
    static const QString path = dir.path();
    return path;
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Baseline window: the same rows in a standard model.
std::unique_ptr<QTableView> baselineView(QStandardItemModel &model) {
    HelpTopicStore store;
    store.open(bigHelp());
    TTable *t = store.TableHelp;
    model.setColumnCount(4);
    for (t->First(); !t->Eof(); t->Next()) {
        QList<QStandardItem *> row;
        for (const char *f : {"SORSZAMSZOV", "HELPCONTEXT", "TEMAKOR", "WORDS"})
            row << new QStandardItem(t->FieldByName(QString::fromLatin1(f))->AsString());
        model.appendRow(row);
    }
    auto view = std::make_unique<QTableView>();
    view->setModel(&model);
    view->resize(656, 200);
    return view;
}

void BM_OpenEditorWindow(benchmark::State &state) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(bigHelp());
    double baselineTotal = 0;
    for (auto _ : state) {
        auto *w = new TFormEdit();
        w->show();
        benchmark::DoNotOptimize(QTest::qWaitForWindowExposed(w));
        QApplication::processEvents();
        state.PauseTiming();
        delete w;
        const auto start = std::chrono::steady_clock::now();
        QStandardItemModel model;
        auto view = baselineView(model);
        view->show();
        (void)QTest::qWaitForWindowExposed(view.get());
        QApplication::processEvents();
        baselineTotal += msSince(start);
        state.ResumeTiming();
    }
    QDir::setCurrent(previous);
    state.counters["baseline_ms"] = baselineTotal / double(state.iterations());
}

void BM_PostWithRenumber(benchmark::State &state) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(bigHelp());
    auto *w = new TFormEdit();
    w->show();
    (void)QTest::qWaitForWindowExposed(w);
    for (auto _ : state) {
        state.PauseTiming();
        w->store->TableHelp->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("Alfejezet 1.1"));
        w->editor->Insert();
        w->store->TableHelp->FieldByName(QStringLiteral("TEMAKOR"))->SetAsString(QStringLiteral("Új témakör"));
        state.ResumeTiming();
        w->SpeedButtonPost3Click();
        QApplication::processEvents();
        state.PauseTiming();
        w->store->TableHelp->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("Új témakör"));
        w->store->TableHelp->Delete();
        w->store->RenumberOutline(true);
        state.ResumeTiming();
    }
    delete w;
    QDir::setCurrent(previous);
}

int countStatements(unsigned, void *counter, void *, void *) {
    ++*static_cast<int *>(counter);
    return 0;
}

// Page by page through all rows, painting each page.
double scrollThrough(QTableView *view) {
    const auto start = std::chrono::steady_clock::now();
    QScrollBar *bar = view->verticalScrollBar();
    for (int v = 0; v <= bar->maximum(); v += bar->pageStep()) {
        bar->setValue(v);
        view->viewport()->repaint();
    }
    return msSince(start);
}

void BM_ScrollGrid(benchmark::State &state) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(bigHelp());
    auto *w = new TFormEdit();
    w->show();
    (void)QTest::qWaitForWindowExposed(w);
    int statements = 0;
    sqlite3_trace_v2(w->store->DatabaseHelp->handle(), SQLITE_TRACE_STMT, countStatements, &statements);
    QStandardItemModel model;
    auto baseline = baselineView(model);
    baseline->show();
    (void)QTest::qWaitForWindowExposed(baseline.get());
    double baselineTotal = 0;
    for (auto _ : state) {
        scrollThrough(w->DBGrid1);
        state.PauseTiming();
        baselineTotal += scrollThrough(baseline.get());
        state.ResumeTiming();
    }
    state.counters["rows"] = w->DataSourceHelp->rowCount();
    state.counters["sql_statements"] = statements;
    state.counters["baseline_ms"] = baselineTotal / double(state.iterations());
    delete w;
    QDir::setCurrent(previous);
}

} // namespace

BENCHMARK(BM_OpenEditorWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PostWithRenumber)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ScrollGrid)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
