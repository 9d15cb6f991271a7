// Lays out arbitrary rich text rectangle by rectangle as a stretching rich-text field prints it, forcing a
// line in whenever nothing fits. Seeds: fuzz/seeds/richtext.
//
// Input: two bytes giving the rectangle's width and height (in 1/10 inch; 0 included), then the content as
// UTF-8 (HTML or plain text). Nothing may crash or trip a sanitizer, every answer must move forward, and the
// run must end within as many rectangles as the text has characters.
#include "report/controls/RichEditRange.h"

#include "fuzz/GuiFuzzing.h"

#include <QImage>
#include <QPainter>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const int width = data[0] % 80 * 144;
    const int height = data[1] % 80 * 144;
    qrcontrols::RichEditRange range;
    range.document()->setImageFolder(QStringLiteral("/nonexistent-folder"));
    range.SetContent(QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2)));

    static QImage page(200, 200, QImage::Format_RGB32);
    page.setDotsPerMeterX(3780);
    page.setDotsPerMeterY(3780);
    QPainter painter(&page);
    qrcontrols::RichEditRange::Request request;
    request.device = &page;
    request.painter = &painter;
    request.rect = QRect(0, 0, width, height);
    const int length = range.TextLength();
    int rectangles = 0;
    while (request.first != qrcontrols::RichEditRange::AllFits) {
        if (++rectangles > length + 2)
            __builtin_trap(); // never ends
        request.forceFirstLine = false;
        qrcontrols::RichEditRange::Result result = range.FormatRange(request);
        if (result.next == request.first) {
            request.forceFirstLine = true;
            result = range.FormatRange(request);
        }
        if (result.next != qrcontrols::RichEditRange::AllFits && result.next <= request.first)
            __builtin_trap(); // no progress
        request.first = result.next;
    }
    range.Release();
    return 0;
}
