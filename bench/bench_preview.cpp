// The time to show the first page of a 10,000-page report file in the standard preview window: the file
// loaded into a report printer, the window made and shown, and page 1 drawn. Baseline, measured in the same
// run: the least that showing page 1 needs (the file opened as a page list, page 1 fetched and drawn at the
// same size), and the same window on a 10-page file.
#include "bench/BenchSupport.h"
#include "printer/QRPageList.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "printer/preview/QRPrev.h"
#include "printer/preview/QRPreview.h"
#include "printer/sample/SampleReport.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int ReportPages = 10000;

struct Files {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/tavik-bench-XXXXXX")};
    QString big = dir.filePath(QStringLiteral("big.qrp"));
    QString bigCompressed = dir.filePath(QStringLiteral("big-compressed.qrp"));
    QString small = dir.filePath(QStringLiteral("small.qrp"));
    Files() {
        std::fprintf(stderr, "writing %d-page report files ...\n", ReportPages);
        samplereport::write(big, ReportPages, false);
        samplereport::write(bigCompressed, ReportPages, true);
        samplereport::write(small, 10, false);
    }
};

Files &files() {
    static Files f;
    return f;
}

const QString &fileOf(int which) {
    return which == 0 ? files().big : which == 1 ? files().bigCompressed : files().small;
}

// Opens the window on the file and returns once page 1 has been drawn in it.
void BM_PreviewFirstPage(benchmark::State &state) {
    const QString &file = fileOf(int(state.range(0)));
    for (auto _ : state) {
        TQRPrinter printer;
        printer.LoadPages(file);
        auto *window = new TQRStandardPreview(&printer);
        window->setWindowState(Qt::WindowNoState);
        window->resize(1000, 800);
        window->show();
        QApplication::processEvents();
        const QImage page = window->QRPreview->PageImage()->grab().toImage(); // draws page 1 now
        benchmark::DoNotOptimize(page.constBits());
        if (!window->QRPreview->PageImage()->HasRecording())
            state.SkipWithError("page 1 was not shown");
        state.PauseTiming();
        delete window;
        state.ResumeTiming();
    }
}

// The least that showing page 1 needs: open the pages, fetch page 1, draw it at the window's size.
void BM_FirstPageAlone(benchmark::State &state) {
    const QString &file = fileOf(int(state.range(0)));
    for (auto _ : state) {
        TQRPageList list;
        list.LoadPages(file);
        const std::unique_ptr<TMetafile> page = list.FetchPage(1);
        QImage image(page->Width() * 80 / 100, page->Height() * 80 / 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        page->StretchDraw(painter, QRectF(image.rect()));
        benchmark::DoNotOptimize(image.constBits());
    }
}

using Collector = RunCollector;

} // namespace

BENCHMARK(BM_PreviewFirstPage)->ArgName("file")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPageAlone)->ArgName("file")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The offscreen platform's notes about window hints would bury the figures.
static void quiet(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type != QtDebugMsg && type != QtWarningMsg)
        std::fprintf(stderr, "%s\n", message.toUtf8().constData());
}

int main(int argc, char **argv) {
    qInstallMessageHandler(quiet);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    files();
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    std::printf("\nfirst page of a report file in the preview window (goal: under a second for %d pages)\n",
                ReportPages);
    const char *names[] = {"10,000 pages", "10,000 pages, compressed", "10 pages"};
    for (int i = 0; i < 3; ++i) {
        const std::string arg = ":" + std::to_string(i);
        const double window = collector.ms("BM_PreviewFirstPage/file" + arg);
        const double alone = collector.ms("BM_FirstPageAlone/file" + arg);
        const double windowCpu = collector.cpuMs("BM_PreviewFirstPage/file" + arg);
        const double aloneCpu = collector.cpuMs("BM_FirstPageAlone/file" + arg);
        std::printf("  %-26s window %7.1f ms (processor %6.1f ms); page 1 alone %7.1f ms (processor %6.1f ms); "
                    "%.2fx\n",
                    names[i], window, windowCpu, alone, aloneCpu, window / std::max(1e-9, alone));
    }
    benchmark::Shutdown();
    return 0;
}
