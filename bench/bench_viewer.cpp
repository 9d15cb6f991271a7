// The help viewer on large help: building the contents tree (10,000 topics), the keyword search
// (100,000 topics) and opening the window (10,000 topics), each beside a baseline measured in the same run.
// Each row prints ours_ms, the baseline and ratio = ours / baseline.
#include "app/Tavik.h"
#include "bench/BenchSupport.h"
#include "help/ContentsTree.h"
#include "help/HelpViewerStore.h"
#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Query.h"
#include "store/Table.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>

namespace {

// A numbered help of three levels, exactly `total` topics: 10 chapters of 30 sections, the rest spread
// as evenly as they go over the sections.
QString makeHelp(QTemporaryDir &dir, int total) {
    const int perSection = (total - 310) / 300, extra = (total - 310) % 300;
    QDir().mkpath(dir.path() + QStringLiteral("/Help/HTML"));
    HelpData::createTable(dir.path() + QStringLiteral("/Help"));
    QList<NewTopic> topics;
    const char *words[] = {"kutya macska", "leltár készlet", "számla vevő", "nyomtatás lista", "fa virág"};
    int n = 0;
    for (int t = 1; t <= 10; ++t) {
        topics << NewTopic{1, QStringLiteral("Fejezet %1").arg(t), QString::fromUtf8(words[n++ % 5]), 0, false, {}};
        for (int c = 1; c <= 30; ++c) {
            topics << NewTopic{
                2, QStringLiteral("Alfejezet %1.%2").arg(t).arg(c), QString::fromUtf8(words[n++ % 5]), 0, false, {}};
            const int section = (t - 1) * 30 + (c - 1);
            for (int g = 1; g <= perSection + (section < extra ? 1 : 0); ++g)
                topics << NewTopic{3,
                                   QStringLiteral("Témakör %1.%2.%3").arg(t).arg(c).arg(g),
                                   QString::fromUtf8(words[n++ % 5]) + QStringLiteral(" szó%1").arg(n),
                                   0,
                                   false,
                                   {}};
        }
    }
    HelpTopicStore store;
    store.open(dir.path());
    store.AppendOutline(topics);
    return dir.path();
}

const QString &help10k() {
    static QTemporaryDir dir;
    static const QString path = makeHelp(dir, 10000);
    return path;
}

const QString &help100k() {
    static QTemporaryDir dir;
    static const QString path = makeHelp(dir, 100000);
    return path;
}

void BM_TreeBuild10k(benchmark::State &state) {
    HelpViewerStore viewer;
    viewer.setStartDir(help10k());
    viewer.open();
    QTreeWidget widget;
    double baseline = 0, ours = 0;
    for (auto _ : state) {
        // What the viewer does on activation: the tree of nodes, then the widget's items.
        const auto begin = std::chrono::steady_clock::now();
        widget.clear();
        ContentsTree tree;
        tree.build(viewer.TableTV);
        QVector<QTreeWidgetItem *> items(tree.nodes().size());
        QList<QTreeWidgetItem *> top;
        for (int i = 0; i < tree.nodes().size(); ++i) {
            const ContentsNode &n = tree.nodes()[i];
            items[i] = n.parent >= 0 ? new QTreeWidgetItem(items[n.parent]) : new QTreeWidgetItem();
            items[i]->setText(0, n.title);
            if (n.parent < 0)
                top << items[i];
        }
        widget.addTopLevelItems(top);
        ours += msSince(begin);
        state.PauseTiming();
        // Baseline: the same titles as a flat list of items.
        const auto start = std::chrono::steady_clock::now();
        QTreeWidget flat;
        QList<QTreeWidgetItem *> all;
        for (const ContentsNode &n : tree.nodes()) {
            all << new QTreeWidgetItem();
            all.last()->setText(0, n.title);
        }
        flat.addTopLevelItems(all);
        baseline += msSince(start);
        state.ResumeTiming();
    }
    state.counters["nodes"] = viewer.TableTV->RecordCount();
    reportRatio(state, ours, baseline, "flat_list_ms");
}

void BM_Search100k(benchmark::State &state) {
    HelpViewerStore viewer;
    viewer.setStartDir(help100k());
    viewer.open();
    sqlite3 *raw = nullptr;
    sqlite3_open((help100k() + QStringLiteral("/Help/HelpData.db")).toUtf8().constData(), &raw);
    double baseline = 0, ours = 0;
    int found = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        found = viewer.Search(QStringLiteral("Leltár"));
        ours += msSince(begin);
        state.PauseTiming();
        // Baseline: the same SQL straight on the file.
        const auto start = std::chrono::steady_clock::now();
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(raw, "SELECT TEMAKOR FROM HelpData WHERE (WORDS LIKE ?) GROUP BY TEMAKOR", -1, &st, nullptr);
        sqlite3_bind_text(st, 1, "%leltár%", -1, SQLITE_STATIC);
        while (sqlite3_step(st) == SQLITE_ROW) {
        }
        sqlite3_finalize(st);
        baseline += msSince(start);
        state.ResumeTiming();
    }
    sqlite3_close(raw);
    state.counters["topics"] = viewer.TableTV->RecordCount();
    state.counters["titles_found"] = found;
    reportRatio(state, ours, baseline, "raw_sql_ms");
}

void BM_OpenViewer10k(benchmark::State &state) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(help10k());
    double baseline = 0, ours = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        auto *w = new TFormTavik();
        w->show();
        benchmark::DoNotOptimize(QTest::qWaitForWindowExposed(w));
        w->FormActivate();
        QApplication::processEvents();
        ours += msSince(begin);
        state.PauseTiming();
        delete w;
        // Baseline: opening the table alone.
        const auto start = std::chrono::steady_clock::now();
        HelpViewerStore viewer;
        viewer.setStartDir(help10k());
        viewer.open();
        baseline += msSince(start);
        state.ResumeTiming();
    }
    QDir::setCurrent(previous);
    reportRatio(state, ours, baseline, "table_only_ms");
}

} // namespace

BENCHMARK(BM_TreeBuild10k)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Search100k)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenViewer10k)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv) {
    return benchmarkMain<QApplication>(argc, argv);
}
