// Loads arbitrary bytes as a report file and fetches every page. Seeds: fuzz/seeds/qrp (report files of
// plain and compressed pages).
#include "printer/QRError.h"
#include "printer/QRPageList.h"
#include "printer/drawing/Metafile.h"

#include <QGuiApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    auto stream = std::make_unique<TQRStream>(0x7FFFFFFF);
    stream->Write(data, qint64(size));
    TQRPageList list;
    try {
        list.LoadPages(std::move(stream));
        for (qint32 page = 1; page <= list.StoredPages(); ++page)
            if (auto recording = list.FetchPage(page))
                recording->Enumerate([](const EmfRecord &r) { return !r.text().isNull() || true; });
    } catch (const EQRError &) {
    }
    return 0;
}
