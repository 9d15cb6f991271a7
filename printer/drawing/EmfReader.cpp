#include "printer/drawing/EmfReader.h"

#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/Units.h"

#include <QStringDecoder>

#include <cmath>

namespace emf {

std::optional<Header> parseHeader(const uchar *p, qsizetype size) {
    if (size < MinHeaderBytes || u32(p) != EMR_HEADER || u32(p + 40) != Signature)
        return std::nullopt;
    Header h;
    h.headerSize = u32(p + 4);
    if (h.headerSize < quint32(MinHeaderBytes) || h.headerSize > quint32(size) || h.headerSize % 4)
        return std::nullopt;
    h.bounds = QRect(QPoint(i32(p + 8), i32(p + 12)), QPoint(i32(p + 16), i32(p + 20)));
    h.frame = QRect(QPoint(i32(p + 24), i32(p + 28)), QPoint(i32(p + 32), i32(p + 36)));
    h.bytes = u32(p + 48);
    h.records = u32(p + 52);
    h.handles = u16(p + 56);
    if (h.bytes < h.headerSize)
        return std::nullopt;
    h.device = QSize(i32(p + 72), i32(p + 76));
    h.millimeters = QSize(i32(p + 80), i32(p + 84));

    // The description and pixel format may sit where the header extensions would be.
    quint32 effective = h.headerSize;
    const quint32 nDescription = u32(p + 60), offDescription = u32(p + 64);
    if (nDescription && offDescription >= quint32(MinHeaderBytes) && offDescription < effective)
        effective = offDescription;
    if (effective >= 100) {
        const quint32 cbPixelFormat = u32(p + 88), offPixelFormat = u32(p + 92);
        if (cbPixelFormat && offPixelFormat >= quint32(MinHeaderBytes) && offPixelFormat < effective)
            effective = offPixelFormat;
    }
    if (h.device.width() > 0 && h.millimeters.width() > 0)
        h.pixelsPerMmX = double(h.device.width()) / h.millimeters.width();
    if (h.device.height() > 0 && h.millimeters.height() > 0)
        h.pixelsPerMmY = double(h.device.height()) / h.millimeters.height();
    if (effective >= 108) {
        const qint32 umX = i32(p + 100), umY = i32(p + 104);
        if (umX > 0 && h.device.width() > 0)
            h.pixelsPerMmX = h.device.width() * 1000.0 / umX;
        if (umY > 0 && h.device.height() > 0)
            h.pixelsPerMmY = h.device.height() * 1000.0 / umY;
    }
    if (!std::isfinite(h.pixelsPerMmX) || h.pixelsPerMmX < 1e-3 || h.pixelsPerMmX > 1e5)
        h.pixelsPerMmX = 96 / 25.4;
    if (!std::isfinite(h.pixelsPerMmY) || h.pixelsPerMmY < 1e-3 || h.pixelsPerMmY > 1e5)
        h.pixelsPerMmY = 96 / 25.4;

    const double fw = (double(h.frame.right()) - h.frame.left()) * h.pixelsPerMmX / 100;
    const double fh = (double(h.frame.bottom()) - h.frame.top()) * h.pixelsPerMmY / 100;
    const double bw = double(h.bounds.right()) - h.bounds.left() + 1;
    const double bh = double(h.bounds.bottom()) - h.bounds.top() + 1;
    constexpr double limit = 1 << 20;
    if (fw >= 0.5 && fh >= 0.5 && fw < limit && fh < limit) {
        h.width = rnd(fw);
        h.height = rnd(fh);
        h.framePixels =
            QRectF(h.frame.left() * h.pixelsPerMmX / 100, h.frame.top() * h.pixelsPerMmY / 100, h.width, h.height);
    } else if (bw >= 1 && bh >= 1 && bw < limit && bh < limit) {
        h.width = int(bw);
        h.height = int(bh);
        h.framePixels = QRectF(h.bounds.left(), h.bounds.top(), bw, bh);
    } else {
        h.width = h.height = 1;
        h.framePixels = QRectF(0, 0, 1, 1);
    }
    return h;
}

qint64 declaredLength(const char *data, qsizetype size) {
    if (size < 52)
        return -1;
    const auto *p = reinterpret_cast<const uchar *>(data);
    if (u32(p) != EMR_HEADER || u32(p + 40) != Signature)
        return -1;
    const quint32 headerSize = u32(p + 4);
    const quint32 bytes = u32(p + 48);
    if (headerSize < quint32(MinHeaderBytes) || bytes < headerSize)
        return -1;
    return bytes;
}

std::optional<qsizetype> brokenRecord(const QByteArray &emf) {
    const auto *p = reinterpret_cast<const uchar *>(emf.constData());
    const auto header = parseHeader(p, emf.size());
    if (!header)
        return qsizetype(0);
    const qsizetype end = std::min<qsizetype>(emf.size(), qsizetype(header->bytes));
    qsizetype at = 0;
    while (at < end) {
        const quint32 size = end - at >= 8 ? u32(p + at + 4) : 0;
        if (size < 8 || size % 4 || qsizetype(size) > end - at)
            return at;
        if (u32(p + at) == EMR_EOF)
            return std::nullopt;
        at += size;
    }
    return std::nullopt;
}

} // namespace emf

QString EmfRecord::text() const {
    if (!isText() || size < 52)
        return {};
    const quint64 width = type == 84 ? 2 : 1;
    if (quint64(stringOffset) < 8 || quint64(stringOffset) + quint64(chars) * width > size)
        return {};
    const uchar *s = data + stringOffset;
    if (type == 84) {
        QString out(qsizetype(chars), Qt::Uninitialized);
        for (quint32 i = 0; i < chars; ++i)
            out[i] = QChar(emf::u16(s + 2 * i));
        return out;
    }
    QStringDecoder decoder("windows-1250");
    if (!decoder.isValid())
        return QString::fromLatin1(reinterpret_cast<const char *>(s), qsizetype(chars));
    return decoder.decode(QByteArrayView(reinterpret_cast<const char *>(s), qsizetype(chars)));
}

bool forEachEmfRecord(const QByteArray &emf, const std::function<bool(const EmfRecord &)> &visit) {
    const auto *p = reinterpret_cast<const uchar *>(emf.constData());
    const qsizetype total = emf.size();
    if (!emf::parseHeader(p, total))
        return false;
    const qsizetype end = std::min<qsizetype>(total, qsizetype(emf::u32(p + 48)));
    qsizetype at = 0;
    while (at + 8 <= end) {
        EmfRecord r;
        r.type = emf::u32(p + at);
        r.size = emf::u32(p + at + 4);
        if (r.size < 8 || qsizetype(r.size) > end - at)
            break;
        r.offset = at;
        r.data = p + at;
        if (r.isText() && r.size >= 52) {
            r.chars = emf::u32(r.data + 44);
            r.stringOffset = emf::u32(r.data + 48);
        }
        if (!visit(r))
            return true;
        if (r.type == emf::EMR_EOF)
            break;
        at += r.size;
    }
    return true;
}
