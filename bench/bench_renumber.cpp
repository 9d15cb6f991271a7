// The outline passes over large help tables, against the floor of one transaction that writes the same final
// values with plain SQL. Each row prints the pass time, the floor (floor_ms) and pass / floor (ratio).
#include "bench/BenchSupport.h"
#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <functional>
#include <map>

namespace {

struct Shape {
    int top, children, grandchildren;
    int count() const { return top + top * children + top * children * grandchildren; }
};

// Exactly 1,000 and 10,000 topics in three levels.
Shape shapeFor(int n) {
    return n <= 1000 ? Shape{10, 9, 10} : Shape{10, 27, 36};
}

void exec(sqlite3 *db, const char *sql) {
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        fprintf(stderr, "bench: %s\n", error ? error : "?");
        std::abort();
    }
}

// A help table of three levels whose rows carry only their parent numbers (as after a raw import).
QString makeUnnumbered(const QString &root, const Shape &s, bool extraFirstTopic) {
    const QString help = root + QStringLiteral("/Help");
    QDir().mkpath(help);
    HelpData::createTable(help);
    sqlite3 *db = nullptr;
    sqlite3_open((help + "/HelpData.db").toUtf8().constData(), &db);
    exec(db, "BEGIN");
    sqlite3_stmt *ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO HelpData(KOD, SZULO, MELYSEG, VEGPONT, TEMAKOR, WORDS) VALUES(?,?,?,0,?,?)", -1,
                       &ins, nullptr);
    int kod = 0;
    auto add = [&](const QString &parent, int depth) {
        ++kod;
        sqlite3_bind_int(ins, 1, kod);
        const QByteArray p = parent.toUtf8();
        if (parent.isEmpty())
            sqlite3_bind_null(ins, 2);
        else
            sqlite3_bind_text(ins, 2, p.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(ins, 3, depth);
        const QByteArray title = QStringLiteral("Témakör %1").arg(kod).toUtf8();
        sqlite3_bind_text(ins, 4, title.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 5, "szó kereséshez", -1, SQLITE_STATIC);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    };
    if (extraFirstTopic) {
        kod = -1; // key 0: the first top-level topic, without children
        add(QString(), 1);
    }
    for (int t = 1; t <= s.top; ++t) {
        const QString tn = QString::number(t + (extraFirstTopic ? 1 : 0));
        add(QString(), 1);
        for (int c = 1; c <= s.children; ++c) {
            const QString cn = tn + QLatin1Char('.') + QString::number(c);
            add(tn, 2);
            for (int g = 1; g <= s.grandchildren; ++g)
                add(cn, 3);
        }
    }
    sqlite3_finalize(ins);
    exec(db, "COMMIT");
    sqlite3_close(db);
    return help + QStringLiteral("/HelpData.db");
}

struct FinalRow {
    qint64 rowid;
    QByteArray ertek, szov;
    int sorszam, melyseg, leaf;
};

std::vector<FinalRow> readFinal(const QString &file) {
    std::vector<FinalRow> rows;
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_stmt *q = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid, ERTEK, SORSZAMSZOV, SORSZAM, MELYSEG, VEGPONT FROM HelpData", -1, &q,
                       nullptr);
    while (sqlite3_step(q) == SQLITE_ROW)
        rows.push_back(FinalRow{sqlite3_column_int64(q, 0), reinterpret_cast<const char *>(sqlite3_column_text(q, 1)),
                                reinterpret_cast<const char *>(sqlite3_column_text(q, 2)), sqlite3_column_int(q, 3),
                                sqlite3_column_int(q, 4), sqlite3_column_int(q, 5)});
    sqlite3_finalize(q);
    sqlite3_close(db);
    return rows;
}

// The floor: one transaction of plain UPDATEs writing the final values, WAL and full sync as the store runs.
double floorMs(const QString &file, const std::vector<FinalRow> &rows) {
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
    const auto start = std::chrono::steady_clock::now();
    exec(db, "BEGIN");
    sqlite3_stmt *up = nullptr;
    sqlite3_prepare_v2(db,
                       "UPDATE HelpData SET ERTEK=?, SORSZAMSZOV=?, SORSZAM=?, MELYSEG=?, VEGPONT=?, TEMPPONT=NULL "
                       "WHERE rowid=?",
                       -1, &up, nullptr);
    for (const FinalRow &r : rows) {
        sqlite3_bind_text(up, 1, r.ertek.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_text(up, 2, r.szov.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_int(up, 3, r.sorszam);
        sqlite3_bind_int(up, 4, r.melyseg);
        sqlite3_bind_int(up, 5, r.leaf);
        sqlite3_bind_int64(up, 6, r.rowid);
        sqlite3_step(up);
        sqlite3_reset(up);
    }
    sqlite3_finalize(up);
    exec(db, "COMMIT");
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    sqlite3_close(db);
    return ms;
}

// Pristine copies per size, made once.
struct Fixture {
    QTemporaryDir dir;
    QString unnumbered, numbered, withExtra;
    std::vector<FinalRow> final;
};

Fixture &fixture(int n, bool extra) {
    static std::map<std::pair<int, bool>, std::unique_ptr<Fixture>> cache;
    auto &slot = cache[{n, extra}];
    if (!slot) {
        slot = std::make_unique<Fixture>();
        const QString root = slot->dir.path() + QStringLiteral("/pristine");
        slot->unnumbered = makeUnnumbered(root, shapeFor(n), extra);
        HelpTopicStore store;
        store.open(root);
        store.RenumberOutline(false);
        store.close();
        slot->numbered = slot->dir.path() + QStringLiteral("/numbered.db");
        QFile::copy(slot->unnumbered, slot->numbered);
        slot->final = readFinal(slot->numbered);
        // the unnumbered source again, for the from-scratch runs
        QFile::remove(slot->unnumbered);
        makeUnnumbered(slot->dir.path() + QStringLiteral("/again"), shapeFor(n), extra);
        QFile::copy(slot->dir.path() + QStringLiteral("/again/Help/HelpData.db"), slot->unnumbered);
    }
    return *slot;
}

// Copies a pristine table into a fresh working folder and returns the folder.
QString workCopy(const QTemporaryDir &dir, const QString &from, int run) {
    const QString root = dir.path() + QStringLiteral("/run%1").arg(run);
    QDir(root).removeRecursively();
    QDir().mkpath(root + QStringLiteral("/Help"));
    QFile::copy(from, root + QStringLiteral("/Help/HelpData.db"));
    return root;
}

void report(benchmark::State &state, const Fixture &f, double floorTotal, double passTotal) {
    const double runs = double(state.iterations());
    state.counters["topics"] = double(f.final.size());
    state.counters["floor_ms"] = floorTotal / runs;
    state.counters["pass_ms"] = passTotal / runs;
    state.counters["ratio"] = floorTotal > 0 ? passTotal / floorTotal : 0;
}

// Per iteration: the floor on one fresh copy, then the pass on another, prepared as the case needs.
void measure(benchmark::State &state, bool extraFirstTopic, bool numbered, bool reparent,
             const std::function<void(HelpTopicStore &)> &prepare) {
    Fixture &f = fixture(int(state.range(0)), extraFirstTopic);
    const QString &source = numbered ? f.numbered : f.unnumbered;
    QTemporaryDir work;
    double floorTotal = 0, passTotal = 0;
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString floorRoot = workCopy(work, source, ++run);
        floorTotal += floorMs(floorRoot + QStringLiteral("/Help/HelpData.db"), f.final);
        HelpTopicStore store;
        store.open(workCopy(work, source, ++run));
        prepare(store);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        store.RenumberOutline(reparent);
        passTotal += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    report(state, f, floorTotal, passTotal);
}

// Every row gets its number: the pass writes all of them, as does the floor.
void BM_RenumberEveryRow(benchmark::State &state) {
    measure(state, false, false, false, [](HelpTopicStore &) {});
}

// The editor's Post of one new topic: the pass over a numbered table.
void BM_PostNewTopic(benchmark::State &state) {
    measure(state, false, true, false, [](HelpTopicStore &store) {
        TTable *t = store.TableHelp;
        t->Locate(QStringLiteral("KOD"), 1);
        const QString parent = t->FieldByName(QStringLiteral("ERTEK"))->AsString();
        t->Insert();
        t->FieldByName(QStringLiteral("SZULO"))->SetAsString(parent);
        t->FieldByName(QStringLiteral("MELYSEG"))->SetAsInteger(2);
        t->FieldByName(QStringLiteral("TEMAKOR"))->SetAsString(QStringLiteral("Új"));
        t->Post();
    });
}

// Delete of the first top-level topic: every later subtree is carried to its new number.
void BM_DeleteWithReparenting(benchmark::State &state) {
    measure(state, true, true, true, [](HelpTopicStore &store) {
        store.TableHelp->First();
        store.TableHelp->Delete();
    });
}

} // namespace

BENCHMARK(BM_RenumberEveryRow)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PostNewTopic)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DeleteWithReparenting)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv) {
    return benchmarkMain<QCoreApplication>(argc, argv);
}
