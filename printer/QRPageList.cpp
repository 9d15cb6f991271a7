#include "printer/QRPageList.h"

#include "printer/QRCompress.h"
#include "printer/QRError.h"
#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/EmfReader.h"
#include "printer/drawing/Metafile.h"

#include <QDateTime>
#include <QSaveFile>

namespace {

constexpr qint64 RecordOverhead = 12;            // page number, next offset, start offset
constexpr qint64 MaxPageBytes = qint64(1) << 30; // one page recording, expanded
constexpr qint64 MaxStreamBytes = 0x7FFFFFFF;    // the largest offset a record can hold

} // namespace

TQRPageList::TQRPageList() = default;
TQRPageList::~TQRPageList() = default;

void TQRPageList::Clear() {
    QMutexLocker locker(&m_lock);
    m_storedPages = 0;
    m_starts.clear();
}

void TQRPageList::SetPageStream(std::unique_ptr<TQRStream> stream) {
    QMutexLocker locker(&m_lock);
    m_stream = std::move(stream);
    m_starts.clear();
    m_headerSize = 0;
}

void TQRPageList::WriteFileHeader() {
    QMutexLocker locker(&m_lock);
    if (!m_stream)
        m_stream = std::make_unique<TQRStream>();
    QMutexLocker streamLocker(&m_stream->Lock());
    const TQRFileHeader header =
        TQRFileHeader::Make(m_storedPages, TQRFileHeader::toDays(QDateTime::currentDateTime()), m_compression);
    m_stream->Seek(0, TQRStream::soBeginning);
    m_stream->WriteBuffer(header.Bytes.data(), TQRFileHeader::Size);
    m_headerSize = TQRFileHeader::Size;
}

void TQRPageList::AddPage(const TMetafile &recording) {
    QMutexLocker locker(&m_lock);
    if (!m_stream)
        m_stream = std::make_unique<TQRStream>();
    TQRStream &s = *m_stream;
    QMutexLocker streamLocker(&s.Lock());
    const qint64 sizeBefore = s.Size();
    try {
        ++m_storedPages;
        if (m_storedPages == 1) {
            m_starts.clear();
            WriteFileHeader();
        }
        const qint64 start = s.Seek(0, TQRStream::soEnd);
        s.WriteInt32(m_storedPages);
        const qint64 placeholder = s.Position();
        s.WriteInt32(0);
        const QByteArray &bytes = recording.Bytes();
        if (!m_compression) {
            s.WriteBuffer(bytes.constData(), bytes.size());
        } else {
            s.WriteInt32(qint32(bytes.size()));
            TQRCompress coder(s, true);
            coder.Compress(bytes.constData(), bytes.size());
            coder.Finish();
        }
        // Record offsets are stored in 31 bits; past that the chain could not be followed back.
        if (s.Position() + 4 > MaxStreamBytes)
            throw EQRError(QStringLiteral("The report is too large for a report file"));
        s.WriteInt32(qint32(start));
        const qint64 end = s.Position();
        s.Seek(placeholder, TQRStream::soBeginning);
        s.WriteInt32(qint32(end));
        s.Seek(0, TQRStream::soEnd);
        if (qsizetype(m_starts.size()) == m_storedPages - 1)
            m_starts.push_back(start);
    } catch (...) {
        --m_storedPages;
        s.SetSize(sizeBefore);
        s.Seek(0, TQRStream::soEnd);
        throw;
    }
}

// Reads the header of a stream into `layout`: page count, compression and where page 1 starts. Files with
// the older header sizes carry what they can; a 96-byte one is counted by walking its records.
void TQRPageList::readLayout(TQRStream &stream, Layout &layout, bool countRecords) {
    layout.headerSize = stream.HeaderSize();
    const TQRFileHeader header = stream.ReadFileHeader();
    switch (layout.headerSize) {
    case 128:
    case 124:
        layout.pages = header.PageCount();
        layout.compression = header.Compressed();
        break;
    case 120: // the signature was found, so the pages are plain
        layout.pages = 1;
        layout.compression = false;
        break;
    default:
        layout.compression = false;
        if (countRecords) {
            layout.pages = 0;
            const qint64 size = stream.Size();
            qint64 at = layout.headerSize;
            while (at < size) {
                stream.Seek(at, TQRStream::soBeginning);
                if (stream.ReadInt32() != layout.pages + 1)
                    throw EQRError::damaged(QStringLiteral("page %1 is missing").arg(layout.pages + 1));
                const qint64 next = stream.ReadInt32();
                if (next < at + RecordOverhead || next > size)
                    throw EQRError::damaged(QStringLiteral("page %1 has a bad length").arg(layout.pages + 1));
                layout.starts.push_back(at);
                ++layout.pages;
                at = next;
            }
        }
        break;
    }
    if (layout.pages < 0)
        throw EQRError::damaged(QStringLiteral("negative page count"));
    if (layout.pages > (stream.Size() - layout.headerSize) / RecordOverhead)
        throw EQRError::damaged(QStringLiteral("%1 pages announced, fewer stored").arg(layout.pages));
}

// Finds page n's record start, walking forward from the last known record when the index does not know it
// yet. Every hop is checked: it moves forward, stays inside the stream and lands on the next page number.
qint64 TQRPageList::seekPage(TQRStream &stream, Layout &layout, qint32 n) {
    if (layout.starts.empty())
        layout.starts.push_back(layout.headerSize);
    const qint64 size = stream.Size();
    while (qsizetype(layout.starts.size()) < n) {
        const qint32 page = qint32(layout.starts.size());
        const qint64 at = layout.starts.back();
        stream.Seek(at, TQRStream::soBeginning);
        if (stream.ReadInt32() != page)
            throw EQRError::damaged(QStringLiteral("page %1 is missing").arg(page));
        const qint64 next = stream.ReadInt32();
        if (next < at + RecordOverhead || next > size)
            throw EQRError::damaged(QStringLiteral("page %1 has a bad length").arg(page));
        if (next + RecordOverhead > size) // the record is whole; the stream ends after it
            throw EQRError::damaged(QStringLiteral("page %1 is missing").arg(page + 1));
        layout.starts.push_back(next);
    }
    const qint64 start = layout.starts[size_t(n - 1)];
    stream.Seek(start, TQRStream::soBeginning);
    if (stream.ReadInt32() != n)
        throw EQRError::damaged(QStringLiteral("page %1 is missing").arg(n));
    stream.Seek(start, TQRStream::soBeginning);
    return start;
}

std::unique_ptr<TMetafile> TQRPageList::readPage(TQRStream &stream, Layout &layout, qint32 n) {
    const qint64 start = seekPage(stream, layout, n);
    const qint64 size = stream.Size();
    if (stream.ReadInt32() != n)
        throw EQRError::damaged(QStringLiteral("page %1 is missing").arg(n));
    const qint64 next = stream.ReadInt32();
    if (next < start + RecordOverhead || next > size)
        throw EQRError::damaged(QStringLiteral("page %1 has a bad length").arg(n));
    const qint64 dataEnd = next - 4;
    QByteArray bytes;
    if (!layout.compression) {
        const qint64 available = dataEnd - stream.Position();
        char prefix[emf::MinHeaderBytes];
        const qint64 got = stream.Read(prefix, std::min<qint64>(available, sizeof prefix));
        const qint64 length = emf::declaredLength(prefix, got);
        if (length < 0 || length > available)
            throw EQRError::damaged(QStringLiteral("page %1 is not a page recording").arg(n));
        bytes.resize(length);
        std::memcpy(bytes.data(), prefix, size_t(got));
        stream.ReadBuffer(bytes.data() + got, length - got);
    } else {
        const qint64 length = stream.ReadInt32();
        const qint64 available = dataEnd - stream.Position();
        // Every code takes at least one bit, which bounds what a record can expand to.
        if (length < 0 || available < 0 || length > available * 8 || length > MaxPageBytes)
            throw EQRError::damaged(QStringLiteral("page %1 has a bad length").arg(n));
        bytes.resize(length);
        TQRCompress coder(stream, false, available);
        coder.Expand(bytes.data(), length);
        coder.Finish();
    }
    auto recording = std::make_unique<TMetafile>();
    if (!recording->LoadFromBytes(bytes))
        throw EQRError::damaged(QStringLiteral("page %1 is not a page recording").arg(n));
    // A broken chain would play as a blank or partial page.
    if (const std::optional<qsizetype> at = emf::brokenRecord(recording->Bytes()))
        throw EQRError::damaged(QStringLiteral("page %1 has a bad drawing record at byte %2").arg(n).arg(*at));
    stream.Seek(dataEnd, TQRStream::soBeginning);
    if (stream.ReadInt32() != start)
        throw EQRError::damaged(QStringLiteral("page %1 has a bad back link").arg(n));
    if (qsizetype(layout.starts.size()) == n && n < layout.pages)
        layout.starts.push_back(next);
    return recording;
}

// Runs `step` on the current stream with the list's layout, keeping what it learns of record offsets even
// when it fails.
template <typename Step> auto TQRPageList::withLayout(Step step) {
    QMutexLocker streamLocker(&m_stream->Lock());
    Layout layout;
    layout.headerSize = m_headerSize ? m_headerSize : m_stream->HeaderSize();
    m_headerSize = layout.headerSize;
    layout.pages = m_storedPages;
    layout.compression = m_compression;
    layout.starts.swap(m_starts);
    try {
        auto result = step(layout);
        m_starts.swap(layout.starts);
        return result;
    } catch (...) {
        m_starts.swap(layout.starts);
        m_stream->Seek(0, TQRStream::soEnd);
        throw;
    }
}

std::unique_ptr<TMetafile> TQRPageList::FetchPage(qint32 pageNumber) {
    QMutexLocker locker(&m_lock);
    if (pageNumber < 1 || pageNumber > m_storedPages || !m_stream)
        return nullptr;
    return withLayout([&](Layout &layout) { return readPage(*m_stream, layout, pageNumber); });
}

qint64 TQRPageList::SeekPage(qint32 pageNumber) {
    QMutexLocker locker(&m_lock);
    if (pageNumber < 1 || pageNumber > m_storedPages || !m_stream)
        return -1;
    return withLayout([&](Layout &layout) { return seekPage(*m_stream, layout, pageNumber); });
}

void TQRPageList::ReadFileHeader() {
    QMutexLocker locker(&m_lock);
    if (!m_stream)
        return;
    Layout layout;
    readLayout(*m_stream, layout, true);
    m_storedPages = layout.pages;
    m_compression = layout.compression;
    m_headerSize = layout.headerSize;
    m_starts = std::move(layout.starts);
}

void TQRPageList::LoadPages(const QString &fileName) {
    LoadPages(TQRStream::CreateFromFile(fileName));
}

void TQRPageList::LoadPages(std::unique_ptr<TQRStream> stream) {
    if (!stream)
        throw EQRError::readError();
    QMutexLocker locker(&m_lock);
    Layout layout;
    {
        QMutexLocker streamLocker(&stream->Lock());
        readLayout(*stream, layout, true);
        // Walk the whole chain now, so a truncated or broken file fails here and every page is one seek away.
        if (layout.pages > 0)
            readPage(*stream, layout, layout.pages);
        stream->Seek(0, TQRStream::soEnd);
    }
    m_stream = std::move(stream);
    m_storedPages = layout.pages;
    m_compression = layout.compression;
    m_headerSize = layout.headerSize;
    m_starts = std::move(layout.starts);
}

void TQRPageList::SavePages(const QString &fileName) {
    QMutexLocker locker(&m_lock);
    if (!m_stream || m_stream->Size() == 0)
        WriteFileHeader(); // a report without pages still saves as a file that loads back
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EQRError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
    m_stream->CopyTo(file);
    if (!file.commit())
        throw EQRError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
}
