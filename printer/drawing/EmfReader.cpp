#include "printer/drawing/EmfReader.h"

#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/EmfRecords.h"
#include "printer/drawing/Units.h"

#include <QStringDecoder>

#include <cmath>

namespace emf {

using H = layout::Header;

std::optional<Header> parseHeader(const uchar *p, qsizetype size) {
    if (size < H::MinLength || u32(p) != EMR_HEADER || u32(p + H::Signature) != Signature)
        return std::nullopt;
    Header h;
    h.headerSize = u32(p + layout::Common::Size);
    if (h.headerSize < H::MinLength || h.headerSize > quint32(size) || h.headerSize % 4)
        return std::nullopt;
    h.bounds = QRect(QPoint(i32(p + H::Bounds), i32(p + H::Bounds + 4)),
                     QPoint(i32(p + H::Bounds + 8), i32(p + H::Bounds + 12)));
    h.frame =
        QRect(QPoint(i32(p + H::Frame), i32(p + H::Frame + 4)), QPoint(i32(p + H::Frame + 8), i32(p + H::Frame + 12)));
    h.bytes = u32(p + H::Bytes);
    h.records = u32(p + H::Records);
    h.handles = u16(p + H::Handles);
    if (h.bytes < h.headerSize)
        return std::nullopt;
    h.device = QSize(i32(p + H::Device), i32(p + H::Device + 4));
    h.millimeters = QSize(i32(p + H::Millimeters), i32(p + H::Millimeters + 4));

    // The description and pixel format may sit where the header extensions would be.
    quint32 effective = h.headerSize;
    const quint32 nDescription = u32(p + H::DescriptionChars), offDescription = u32(p + H::DescriptionOffset);
    if (nDescription && offDescription >= H::MinLength && offDescription < effective)
        effective = offDescription;
    if (effective >= H::Micrometers) {
        const quint32 cbPixelFormat = u32(p + H::PixelFormatSize), offPixelFormat = u32(p + H::PixelFormatOffset);
        if (cbPixelFormat && offPixelFormat >= H::MinLength && offPixelFormat < effective)
            effective = offPixelFormat;
    }
    if (h.device.width() > 0 && h.millimeters.width() > 0)
        h.pixelsPerMmX = double(h.device.width()) / h.millimeters.width();
    if (h.device.height() > 0 && h.millimeters.height() > 0)
        h.pixelsPerMmY = double(h.device.height()) / h.millimeters.height();
    if (effective >= H::Length) {
        const qint32 umX = i32(p + H::Micrometers), umY = i32(p + H::Micrometers + 4);
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
    if (size < H::Records)
        return -1;
    const auto *p = reinterpret_cast<const uchar *>(data);
    if (u32(p) != EMR_HEADER || u32(p + H::Signature) != Signature)
        return -1;
    const quint32 headerSize = u32(p + layout::Common::Size);
    const quint32 bytes = u32(p + H::Bytes);
    if (headerSize < H::MinLength || bytes < headerSize)
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
        const quint32 size = end - at >= 8 ? u32(p + at + layout::Common::Size) : 0;
        if (size < layout::Common::Parameters || size % 4 || qsizetype(size) > end - at)
            return at;
        if (u32(p + at) == EMR_EOF)
            return std::nullopt;
        at += size;
    }
    return std::nullopt;
}

} // namespace emf

QString EmfRecord::text() const {
    if (!isText() || size < emf::layout::ExtTextOut::Options)
        return {};
    const quint64 width = type == emf::EMR_EXTTEXTOUTW ? 2 : 1;
    if (quint64(stringOffset) < 8 || quint64(stringOffset) + quint64(chars) * width > size)
        return {};
    const uchar *s = data + stringOffset;
    if (type == emf::EMR_EXTTEXTOUTW) {
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
    const qsizetype end = std::min<qsizetype>(total, qsizetype(emf::u32(p + emf::layout::Header::Bytes)));
    qsizetype at = 0;
    while (at + 8 <= end) {
        EmfRecord r;
        r.type = emf::u32(p + at);
        r.size = emf::u32(p + at + emf::layout::Common::Size);
        if (r.size < 8 || qsizetype(r.size) > end - at)
            break;
        r.offset = at;
        r.data = p + at;
        if (r.isText() && r.size >= emf::layout::ExtTextOut::Options) {
            r.chars = emf::u32(r.data + emf::layout::ExtTextOut::Chars);
            r.stringOffset = emf::u32(r.data + emf::layout::ExtTextOut::StringOffset);
        }
        if (!visit(r))
            return true;
        if (r.type == emf::EMR_EOF)
            break;
        at += r.size;
    }
    return true;
}
