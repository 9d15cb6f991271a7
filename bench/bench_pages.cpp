// Page store figures: the splay coder against zlib level 6 on real page recordings, fetching pages of a
// 10,000-page compressed report file, and recording and replaying a typical page against painting it
// directly.
#include "bench/BenchSupport.h"
#include "printer/QRCompress.h"
#include "printer/QRPageList.h"
#include "printer/QRStream.h"
#include "printer/drawing/Metafile.h"
#include "printer/sample/SampleReport.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

namespace {

constexpr int ReportPages = 10000;

QByteArray pageBytes(int page) {
    TMetafile recording(samplereport::PageWidth, samplereport::PageHeight, 96, 96);
    {
        TMetafileCanvas canvas(recording);
        samplereport::paintPage(canvas.Painter(), page, ReportPages);
    }
    return recording.Bytes();
}

const QByteArray &realPages() {
    static const QByteArray pages = [] {
        QByteArray all;
        for (int page = 1; page <= 8; ++page)
            all += pageBytes(page * 997);
        return all;
    }();
    return pages;
}

QByteArray splayCompress(const QByteArray &input) {
    TQRStream stream(0x7FFFFFFF);
    {
        TQRCompress coder(stream, true);
        coder.Compress(input.constData(), input.size());
    }
    QByteArray out(stream.Size(), '\0');
    stream.Seek(0, TQRStream::soBeginning);
    stream.ReadBuffer(out.data(), out.size());
    return out;
}

void BM_SplayCompress(benchmark::State &state) {
    const QByteArray &input = realPages();
    qint64 size = 0;
    for (auto _ : state)
        size = splayCompress(input).size();
    state.SetBytesProcessed(state.iterations() * input.size());
    state.counters["size_ratio"] = double(size) / input.size();
}

void BM_SplayExpand(benchmark::State &state) {
    const QByteArray &input = realPages();
    const QByteArray code = splayCompress(input);
    TQRStream stream(0x7FFFFFFF);
    stream.WriteBuffer(code.constData(), code.size());
    QByteArray out(input.size(), '\0');
    for (auto _ : state) {
        stream.Seek(0, TQRStream::soBeginning);
        TQRCompress coder(stream, false);
        coder.Expand(out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    if (out != input)
        state.SkipWithError("expanded bytes differ");
    state.SetBytesProcessed(state.iterations() * input.size());
}

void BM_ZlibCompress(benchmark::State &state) {
    const QByteArray &input = realPages();
    qint64 size = 0;
    for (auto _ : state)
        size = qCompress(input, 6).size() - 4; // qCompress prefixes the length
    state.SetBytesProcessed(state.iterations() * input.size());
    state.counters["size_ratio"] = double(size) / input.size();
}

void BM_ZlibExpand(benchmark::State &state) {
    const QByteArray &input = realPages();
    const QByteArray code = qCompress(input, 6);
    for (auto _ : state)
        benchmark::DoNotOptimize(qUncompress(code).size());
    state.SetBytesProcessed(state.iterations() * input.size());
}

// The 10,000-page compressed report, written once.
struct Report {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/tavik-bench-XXXXXX")};
    QString path;
    TQRPageList list;
    Report() {
        path = dir.filePath(QStringLiteral("big.qrp"));
        std::fprintf(stderr, "writing a %d-page compressed report ...\n", ReportPages);
        samplereport::write(path, ReportPages, true);
        list.LoadPages(path);
    }
};

Report &report() {
    static Report r;
    return r;
}

void BM_LoadReport(benchmark::State &state) {
    const QString path = report().path;
    for (auto _ : state) {
        TQRPageList list;
        list.LoadPages(path);
        benchmark::DoNotOptimize(list.StoredPages());
    }
}

void BM_FetchPage(benchmark::State &state) {
    TQRPageList &list = report().list;
    std::mt19937 random(5);
    const int which = int(state.range(0));
    for (auto _ : state) {
        if (which < 0) { // 100 random pages
            for (int i = 0; i < 100; ++i)
                benchmark::DoNotOptimize(list.FetchPage(int(random() % ReportPages) + 1).get());
        } else {
            benchmark::DoNotOptimize(list.FetchPage(which > 0 ? which : ReportPages).get());
        }
    }
}

void BM_FetchAndReplay(benchmark::State &state) {
    TQRPageList &list = report().list;
    QImage image(samplereport::PageWidth, samplereport::PageHeight, QImage::Format_RGB32);
    std::mt19937 random(9);
    for (auto _ : state) {
        auto recording = list.FetchPage(int(random() % ReportPages) + 1);
        image.fill(Qt::white);
        QPainter painter(&image);
        recording->StretchDraw(painter, QRectF(image.rect()));
    }
}

void BM_PaintDirect(benchmark::State &state) {
    QImage image(samplereport::PageWidth, samplereport::PageHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        samplereport::paintPage(painter, 4321, ReportPages);
    }
}

void BM_RecordPage(benchmark::State &state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(pageBytes(4321).size());
}

void BM_ReplayPage(benchmark::State &state) {
    TMetafile recording;
    recording.LoadFromBytes(pageBytes(4321));
    QImage image(samplereport::PageWidth, samplereport::PageHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        recording.StretchDraw(painter, QRectF(image.rect()));
    }
}

BENCHMARK(BM_SplayCompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplayExpand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibExpand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadReport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchPage)->Arg(1)->Arg(0)->Arg(-1)->Unit(benchmark::kMillisecond)->ArgName("page(0=last,-1=100random)");
BENCHMARK(BM_FetchAndReplay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplayPage)->Unit(benchmark::kMillisecond);

class Collector : public RunCollector {
public:
    double mbps(const std::string &name) { return counter(name, "bytes_per_second") / 1e6; }
};

} // namespace

int main(int argc, char **argv) {
    Collector collector;
    return benchmarkMain<QGuiApplication>(argc, argv, &collector, [&] {
        std::printf("\nsplay coder on %lld bytes of page recordings (goal: at least 30 MB/s both ways)\n",
                    static_cast<long long>(realPages().size()));
        std::printf("  compress %.1f MB/s, zlib-6 %.1f MB/s (%.2fx); expand %.1f MB/s, zlib %.1f MB/s (%.2fx)\n",
                    collector.mbps("BM_SplayCompress"), collector.mbps("BM_ZlibCompress"),
                    collector.mbps("BM_SplayCompress") / std::max(1e-9, collector.mbps("BM_ZlibCompress")),
                    collector.mbps("BM_SplayExpand"), collector.mbps("BM_ZlibExpand"),
                    collector.mbps("BM_SplayExpand") / std::max(1e-9, collector.mbps("BM_ZlibExpand")));
        std::printf("  size: splay %.3f of the input, zlib-6 %.3f (splay/zlib %.2f)\n",
                    collector.counter("BM_SplayCompress", "size_ratio"),
                    collector.counter("BM_ZlibCompress", "size_ratio"),
                    collector.counter("BM_SplayCompress", "size_ratio") /
                        std::max(1e-9, collector.counter("BM_ZlibCompress", "size_ratio")));
        const double first = collector.ms("BM_FetchPage/page(0=last,-1=100random):1");
        std::printf("%d-page compressed report (goal: any page fetched and replayed under 10 ms)\n", ReportPages);
        const double random = collector.ms("BM_FetchPage/page(0=last,-1=100random):-1") / 100;
        std::printf("  load %.2f ms; fetch page 1 %.3f ms, last %.3f ms (%.2fx page 1), 100 random %.3f ms each "
                    "(%.2fx page 1)\n",
                    collector.ms("BM_LoadReport"), first, collector.ms("BM_FetchPage/page(0=last,-1=100random):0"),
                    collector.ms("BM_FetchPage/page(0=last,-1=100random):0") / std::max(1e-9, first), random,
                    random / std::max(1e-9, first));
        std::printf("  fetch and replay a random page %.2f ms (processor time %.2f ms)\n",
                    collector.ms("BM_FetchAndReplay"), collector.cpuMs("BM_FetchAndReplay"));
        const double direct = collector.ms("BM_PaintDirect");
        std::printf("typical text page: painted directly %.2f ms; recorded %.2f ms (%.2fx); replayed %.2f ms (%.2fx)\n",
                    direct, collector.ms("BM_RecordPage"), collector.ms("BM_RecordPage") / std::max(1e-9, direct),
                    collector.ms("BM_ReplayPage"), collector.ms("BM_ReplayPage") / std::max(1e-9, direct));
        return 0;
    });
}
