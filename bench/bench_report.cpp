// The report engine against other report engines: the "customer list" (N customers, five fields a row, 48
// rows a page on Letter paper) printed by the whole `tavik` process, from loading the definition to the file
// written, to PDF (`tavik report pdf`) and to the page store (`tavik report run`). Each run's wall time and
// peak resident memory are measured on the child process; the baseline beside them is the same process doing
// only the load (definition read, query opened, one label broken into lines: `tavik report lines`).
#include "bench/BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

// clang-format off
const char kDefinition[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<definition>
  <component class="TQuery" name="Customers">
    <property name="DatabaseName">data</property>
    <property name="SQL"><item>SELECT Company, Addr1, Contact, Phone, FAX FROM customer</item></property>
    <property name="Active">True</property>
  </component>
  <component class="TDezirUzu" name="CustomerList">
    <property name="DataSet">Customers</property>
    <property name="Units">MM</property>
    <property name="Page.PaperSize">Letter</property>
    <property name="Page.Values">100 2794 100 2159 100 100 0</property>
    <component class="TQRBand" name="PageHeader">
      <property name="BandType">rbPageHeader</property>
      <property name="Size.Values">100 1959</property>
      <component class="TQRLabel" name="Title">
        <property name="Caption">Customer list</property>
        <property name="Font.Name">Arial</property>
        <property name="Font.Size">12</property>
        <property name="Font.Style">fsBold</property>
        <property name="Size.Values">50 0 20 400</property>
      </component>
    </component>
    <component class="TQRBand" name="Detail">
      <property name="BandType">rbDetail</property>
      <property name="Size.Values">50 1959</property>
%FIELDS%    </component>
    <component class="TQRBand" name="PageFooter">
      <property name="BandType">rbPageFooter</property>
      <property name="Size.Values">80 1959</property>
      <component class="TQRExpr" name="PageNumber">
        <property name="Expression">'Page ' + STR(PAGENUMBER)</property>
        <property name="Font.Name">Arial</property>
        <property name="Font.Size">8</property>
        <property name="Size.Values">40 0 20 400</property>
      </component>
    </component>
  </component>
</definition>
)";

const char kField[] = R"(      <component class="TQRExpr" name="%1">
        <property name="Expression">%1</property>
        <property name="AutoSize">False</property>
        <property name="Font.Name">Arial</property>
        <property name="Font.Size">8</property>
        <property name="Size.Values">40 %2 5 392</property>
      </component>
)";
// clang-format on

const char *const kColumns[] = {"Company", "Addr1",   "Addr2",   "City",  "State",
                                "Zip",     "Country", "Contact", "Phone", "FAX"};
const char *const kPrinted[] = {"Company", "Addr1", "Contact", "Phone", "FAX"};

// The figures other engines reached with this report on this kind of machine (whole process, medians of
// three): seconds and megabytes for 10,000 rows to PDF.
struct Anchor {
    const char *name;
    double seconds;
    double megabytes;
};
const Anchor kAnchors[] = {{"open-source Qt report engine A", 14.7, 198},
                           {"open-source Qt report engine B", 5.3, 81},
                           {"engine B, plain table mode", 0.80, 46}};

bool exec(sqlite3 *db, const char *sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A folder with the definition and its `customer` table of `rows` rows.
bool makeCustomerList(const QString &folder, int rows) {
    QDir().mkpath(folder + QStringLiteral("/data"));
    QString fields;
    for (int i = 0; i < 5; ++i)
        fields += QString::fromLatin1(kField).arg(QLatin1String(kPrinted[i])).arg(i * 392);
    QFile definition(folder + QStringLiteral("/customers.qrx"));
    if (!definition.open(QIODevice::WriteOnly))
        return false;
    definition.write(QString::fromLatin1(kDefinition).replace(QStringLiteral("%FIELDS%"), fields).toUtf8());
    definition.close();

    sqlite3 *db = nullptr;
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/data/customer.db"));
    bool ok = sqlite3_open(path.constData(), &db) == SQLITE_OK;
    std::string create = "CREATE TABLE customer (";
    std::string insert = "INSERT INTO customer VALUES (";
    for (int c = 0; c < 10; ++c) {
        create += std::string(c ? ", " : "") + kColumns[c] + " TEXT";
        insert += c ? ", ?" : "?";
    }
    create += ")";
    insert += ")";
    ok = ok && exec(db, create.c_str()) && exec(db, "BEGIN");
    sqlite3_stmt *statement = nullptr;
    ok = ok && sqlite3_prepare_v2(db, insert.c_str(), -1, &statement, nullptr) == SQLITE_OK;
    for (int r = 1; ok && r <= rows; ++r) {
        for (int c = 1; c <= 10; ++c) {
            const std::string text = "Row " + std::to_string(r) + " col " + std::to_string(c) + " text";
            sqlite3_bind_text(statement, c, text.c_str(), -1, SQLITE_TRANSIENT);
        }
        ok = sqlite3_step(statement) == SQLITE_DONE && sqlite3_reset(statement) == SQLITE_OK;
    }
    sqlite3_finalize(statement);
    ok = ok && exec(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

struct Run {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0; // user and system: what a busy machine's other work does not add to
    double megabytes = 0;  // peak resident
    std::string output;
};

// One whole `tavik` process: wall time from spawn to exit, its peak resident memory, what it printed.
Run runTavik(const std::vector<std::string> &arguments, const QString &outputFile) {
    std::vector<std::string> args{TAVIK_EXE};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = QFile::encodeName(outputFile);
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    Run run;
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid) {
            run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            run.megabytes = usage.ru_maxrss / 1024.0;
            run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                             double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
            run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    QFile printed(outputFile);
    if (printed.open(QIODevice::ReadOnly))
        run.output = printed.readAll().trimmed().toStdString();
    return run;
}

struct Fixture {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/tavik-bench-XXXXXX")};
    std::map<int, QString> definitions; // rows -> definition file
    Fixture() {
        for (int rows : {1000, 10000}) {
            const QString folder = dir.filePath(QStringLiteral("customers%1").arg(rows));
            if (makeCustomerList(folder, rows))
                definitions[rows] = folder + QStringLiteral("/customers.qrx");
        }
    }
};

Fixture &fixture() {
    static Fixture f;
    return f;
}

// Seconds and megabytes of every repetition, by mode and rows.
std::map<std::pair<std::string, int>, std::vector<Run>> &results() {
    static std::map<std::pair<std::string, int>, std::vector<Run>> r;
    return r;
}

enum Mode { Pdf, PageStore, LoadOnly };
const char *const kModeNames[] = {"pdf", "run", "load only"};

void customerList(benchmark::State &state, Mode mode, int rows) {
    Fixture &f = fixture();
    if (!f.definitions.count(rows)) {
        state.SkipWithError("cannot write the customer list");
        return;
    }
    const std::string definition = f.definitions[rows].toStdString();
    const QString printed = f.dir.filePath(QStringLiteral("stdout.txt"));
    const std::string pdf = f.dir.filePath(QStringLiteral("out.pdf")).toStdString();
    const std::string qrp = f.dir.filePath(QStringLiteral("out.qrp")).toStdString();
    const int pages = (rows + 47) / 48;
    Run run;
    for (auto _ : state) {
        switch (mode) {
        case Pdf:
            run = runTavik({"report", "pdf", definition, pdf}, printed);
            break;
        case PageStore:
            run = runTavik({"report", "run", definition, "--out", qrp}, printed);
            break;
        case LoadOnly:
            run = runTavik({"report", "lines", definition, "Title"}, printed);
            break;
        }
        if (!run.ok) {
            state.SkipWithError("tavik failed");
            return;
        }
        state.SetIterationTime(run.seconds);
    }
    if (mode != LoadOnly && run.output != "pages " + std::to_string(pages)) {
        state.SkipWithError(("expected " + std::to_string(pages) + " pages, got: " + run.output).c_str());
        return;
    }
    state.counters["peak_MB"] = run.megabytes;
    state.counters["cpu_ms"] = run.cpuSeconds * 1000;
    results()[{kModeNames[mode], rows}].push_back(run);
}

void registerBenchmarks() {
    for (Mode mode : {LoadOnly, PageStore, Pdf})
        for (int rows : {1000, 10000}) {
            const std::string name = std::string("CustomerList/") +
                                     (mode == LoadOnly ? "load_only" : kModeNames[mode]) + "/" + std::to_string(rows);
            benchmark::RegisterBenchmark(name.c_str(), customerList, mode, rows)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1)
                ->Repetitions(3)
                ->ReportAggregatesOnly(true);
        }
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Medians of the repetitions, the growth from 1,000 to 10,000 rows, the load's share, and the anchors.
int summary() {
    struct Figures {
        double seconds, cpu, megabytes;
    };
    std::map<std::pair<std::string, int>, Figures> m;
    for (const auto &[key, runs] : results()) {
        std::vector<double> s, cpu, mb;
        for (const Run &r : runs) {
            s.push_back(r.seconds);
            cpu.push_back(r.cpuSeconds);
            mb.push_back(r.megabytes);
        }
        m[key] = {median(s), median(cpu), median(mb)};
    }
    std::printf("\ncustomer list, whole process, medians of 3 (wall and CPU seconds, peak resident MB):\n");
    std::printf("%-10s %8s %8s %7s %8s %8s %7s %8s %8s %9s\n", "mode", "1k s", "1k cpu", "1k MB", "10k s", "10k cpu",
                "10k MB", "10k/1k", "cpu/1k", "10k/load");
    const double load10k = m[{"load only", 10000}].seconds;
    for (const char *mode : {"load only", "run", "pdf"}) {
        const Figures small = m[{mode, 1000}];
        const Figures large = m[{mode, 10000}];
        std::printf("%-10s %8.3f %8.3f %7.1f %8.3f %8.3f %7.1f %8.2f %8.2f %9.2f\n", mode, small.seconds, small.cpu,
                    small.megabytes, large.seconds, large.cpu, large.megabytes,
                    small.seconds > 0 ? large.seconds / small.seconds : 0, small.cpu > 0 ? large.cpu / small.cpu : 0,
                    load10k > 0 ? large.seconds / load10k : 0);
    }
    const Figures pdf = m[{"pdf", 10000}];
    std::printf("\n10,000 rows to PDF against other engines (their time / ours, their memory / ours):\n");
    for (const Anchor &a : kAnchors)
        std::printf("  %-32s %6.2f s %5.0f MB   x%.1f  x%.1f\n", a.name, a.seconds, a.megabytes,
                    pdf.seconds > 0 ? a.seconds / pdf.seconds : 0, pdf.megabytes > 0 ? a.megabytes / pdf.megabytes : 0);
    std::printf(
        "goals: pdf 10k < 0.8 s and < 46 MB, run 10k < 0.3 s, 10k/1k <= 11 (wall times need an idle machine)\n");
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    registerBenchmarks();
    return benchmarkMain<QCoreApplication>(argc, argv, nullptr, summary);
}
