#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

/// Milliseconds since `start`.
inline double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

/// Our time and the baseline's per iteration, and their ratio (ours over the baseline), as counters.
inline void reportRatio(benchmark::State &state, double oursTotal, double baselineTotal,
                        const char *baselineName = "baseline_ms") {
    const double runs = double(state.iterations());
    state.counters["ours_ms"] = oursTotal / runs;
    state.counters[baselineName] = baselineTotal / runs;
    state.counters["ratio"] = baselineTotal > 0 ? oursTotal / baselineTotal : 0;
}

/// A benchmark program's main: headless unless a platform is asked for, the application object `App`
/// (windows need QApplication), every benchmark run (through `reporter` when given), then `summary`,
/// whose result is the exit status.
template <class App>
int benchmarkMain(int argc, char **argv, benchmark::BenchmarkReporter *reporter = nullptr,
                  const std::function<int()> &summary = {}) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(reporter);
    const int status = summary ? summary() : 0;
    benchmark::Shutdown();
    return status;
}
