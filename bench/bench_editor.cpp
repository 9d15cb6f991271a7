// The editor window on 10,000 topics: opening it, Post with its renumber pass, scrolling the grid.
// Baselines, measured in the same run: for opening and scrolling a plain QTableView over a QStandardItemModel
// holding the same rows; for Post the floor of one transaction that inserts the row and rewrites every row with
// plain SQL. Each row prints ours_ms, the baseline and ratio = ours / baseline.
#include "app/DataSource.h"
#include "app/Main.h"
#include "bench/BenchSupport.h"
#include "help/HelpEditor.h"
#include "store/Database.h"
#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <tuple>
#include <vector>

namespace {

// 10 top-level topics, 30 children each, 32 or 33 grandchildren each: exactly 10,000 topics, numbered.
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
                topics << NewTopic{
                    2, QStringLiteral("Alfejezet %1.%2").arg(t).arg(c), QStringLiteral("alfejezet"), 0, false, {}};
                const int section = (t - 1) * 30 + (c - 1);
                for (int g = 1; g <= 32 + (section < 90 ? 1 : 0); ++g)
                    topics << NewTopic{
                        3, QStringLiteral("Témakör %1.%2.%3").arg(t).arg(c).arg(g), QStringLiteral("témakör"), 0, false,
                        {}};
            }
        }
        HelpTopicStore store;
        store.open(dir.path());
        store.AppendOutline(topics);
    }
    static const QString path = dir.path();
    return path;
}

void exec(sqlite3 *db, const char *sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        fprintf(stderr, "bench: %s\n", sqlite3_errmsg(db));
        std::abort();
    }
}

// The least a post with its pass must write: one transaction that inserts the row and rewrites every row's
// derived columns with plain SQL (WAL, full sync, as the store runs). The row is taken out again untimed.
double postFloorMs(const QString &file) {
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
    const auto start = std::chrono::steady_clock::now();
    exec(db, "BEGIN");
    exec(db, "INSERT INTO HelpData(KOD, SZULO, MELYSEG, VEGPONT, TEMAKOR) "
             "SELECT max(KOD) + 1, '1.1', 3, 0, 'Új témakör' FROM HelpData");
    sqlite3_stmt *read = nullptr, *write = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid, ERTEK, SORSZAMSZOV, SORSZAM, MELYSEG, VEGPONT FROM HelpData", -1, &read,
                       nullptr);
    sqlite3_prepare_v2(db,
                       "UPDATE HelpData SET ERTEK=?, SORSZAMSZOV=?, SORSZAM=?, MELYSEG=?, VEGPONT=?, TEMPPONT=NULL "
                       "WHERE rowid=?",
                       -1, &write, nullptr);
    std::vector<std::tuple<qint64, QByteArray, QByteArray, int, int, int>> rows;
    while (sqlite3_step(read) == SQLITE_ROW)
        rows.emplace_back(sqlite3_column_int64(read, 0), reinterpret_cast<const char *>(sqlite3_column_text(read, 1)),
                          reinterpret_cast<const char *>(sqlite3_column_text(read, 2)), sqlite3_column_int(read, 3),
                          sqlite3_column_int(read, 4), sqlite3_column_int(read, 5));
    for (const auto &[rowid, ertek, szov, sorszam, melyseg, leaf] : rows) {
        sqlite3_bind_text(write, 1, ertek.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_text(write, 2, szov.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_int(write, 3, sorszam);
        sqlite3_bind_int(write, 4, melyseg);
        sqlite3_bind_int(write, 5, leaf);
        sqlite3_bind_int64(write, 6, rowid);
        sqlite3_step(write);
        sqlite3_reset(write);
    }
    sqlite3_finalize(read);
    sqlite3_finalize(write);
    exec(db, "COMMIT");
    const double ms = msSince(start);
    exec(db, "DELETE FROM HelpData WHERE TEMAKOR = 'Új témakör'");
    sqlite3_close(db);
    return ms;
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
    double baselineTotal = 0, oursTotal = 0;
    for (auto _ : state) {
        const auto ours = std::chrono::steady_clock::now();
        auto *w = new TFormEdit();
        w->show();
        benchmark::DoNotOptimize(QTest::qWaitForWindowExposed(w));
        QApplication::processEvents();
        oursTotal += msSince(ours);
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
    reportRatio(state, oursTotal, baselineTotal);
}

void BM_PostWithRenumber(benchmark::State &state) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(bigHelp());
    QTemporaryDir floorDir;
    const QString floorFile = floorDir.filePath(QStringLiteral("HelpData.db"));
    QFile::copy(bigHelp() + QStringLiteral("/Help/HelpData.db"), floorFile);
    auto *w = new TFormEdit();
    w->show();
    (void)QTest::qWaitForWindowExposed(w);
    double oursTotal = 0, floorTotal = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w->store->TableHelp->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("Alfejezet 1.1"));
        w->editor->Insert();
        w->store->TableHelp->FieldByName(QStringLiteral("TEMAKOR"))->SetAsString(QStringLiteral("Új témakör"));
        state.ResumeTiming();
        const auto ours = std::chrono::steady_clock::now();
        w->SpeedButtonPost3Click();
        QApplication::processEvents();
        oursTotal += msSince(ours);
        state.PauseTiming();
        w->store->TableHelp->Locate(QStringLiteral("TEMAKOR"), QStringLiteral("Új témakör"));
        w->store->TableHelp->Delete();
        w->store->RenumberOutline(true);
        floorTotal += postFloorMs(floorFile);
        state.ResumeTiming();
    }
    delete w;
    QDir::setCurrent(previous);
    reportRatio(state, oursTotal, floorTotal);
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
    double baselineTotal = 0, oursTotal = 0;
    for (auto _ : state) {
        oursTotal += scrollThrough(w->DBGrid1);
        state.PauseTiming();
        baselineTotal += scrollThrough(baseline.get());
        state.ResumeTiming();
    }
    state.counters["rows"] = w->DataSourceHelp->rowCount();
    state.counters["sql_statements"] = statements; // while scrolling: 0 = the table is never read again
    reportRatio(state, oursTotal, baselineTotal);
    delete w;
    QDir::setCurrent(previous);
}

} // namespace

BENCHMARK(BM_OpenEditorWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PostWithRenumber)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ScrollGrid)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv) {
    return benchmarkMain<QApplication>(argc, argv);
}
