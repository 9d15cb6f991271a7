#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>

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

/// Keeps every result, so that a program can print ratios against its baselines at the end.
class RunCollector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Run> runs;
    void ReportRuns(const std::vector<Run> &report) override {
        for (const Run &run : report)
            runs[run.benchmark_name()] = run;
        ConsoleReporter::ReportRuns(report);
    }
    /// Wall and CPU milliseconds per iteration; 0 for a benchmark that did not run.
    double ms(const std::string &name) {
        const Run &r = runs[name];
        return r.iterations ? r.real_accumulated_time * 1000 / double(r.iterations) : 0;
    }
    double cpuMs(const std::string &name) {
        const Run &r = runs[name];
        return r.iterations ? r.cpu_accumulated_time * 1000 / double(r.iterations) : 0;
    }
    double counter(const std::string &name, const char *c) {
        const auto it = runs[name].counters.find(c);
        return it == runs[name].counters.end() ? 0 : double(it->second);
    }
};

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
