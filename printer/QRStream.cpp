#include "printer/QRStream.h"

#include "printer/QRError.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

qint32 le32(const uchar *p) {
    return qint32(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
}

void put32(uchar *p, quint32 v) {
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
    p[2] = uchar(v >> 16);
    p[3] = uchar(v >> 24);
}

const QDate Epoch(1899, 12, 30);

} // namespace

qint32 TQRFileHeader::PageCount() const {
    return le32(Bytes.data() + 8);
}

double TQRFileHeader::Written() const {
    double d;
    std::memcpy(&d, Bytes.data() + 16, 8); // little-endian machines only, as the file is
    return d;
}

TQRFileHeader TQRFileHeader::Make(qint32 pages, double written, bool compressed) {
    TQRFileHeader h;
    h.Bytes[0] = 3;
    h.Bytes[2] = 50;
    put32(h.Bytes.data() + 8, quint32(pages));
    std::memcpy(h.Bytes.data() + 16, &written, 8);
    h.Bytes[25] = compressed ? 1 : 0;
    std::fill(h.Bytes.begin() + 26, h.Bytes.begin() + 126, uchar('H'));
    return h;
}

double TQRFileHeader::toDays(const QDateTime &local) {
    const QDate date = local.date();
    const QTime time = local.time();
    return double(Epoch.daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
}

QDateTime TQRFileHeader::fromDays(double days) {
    if (!std::isfinite(days) || days < -693593 || days > 2958466) // years 1 to 9999
        return {};
    const double whole = std::floor(days);
    const qint64 ms = qint64(std::llround((days - whole) * 86400000.0));
    return QDateTime(Epoch.addDays(qint64(whole)), QTime(0, 0), Qt::UTC).addMSecs(ms);
}

TQRStream::TQRStream(qint32 spillLimit) : m_spillLimit(spillLimit) {}

std::unique_ptr<TQRStream> TQRStream::CreateFromFile(const QString &fileName) {
    // A pipe would wait for a writer and a device never ends: only a regular file holds a report.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        throw EQRError(QStringLiteral("Cannot open file \"%1\". It is not a regular file").arg(fileName));
    auto stream = std::make_unique<TQRStream>(0);
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw EQRError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file->errorString()));
    stream->m_file = std::move(file);
    stream->m_spilled = true;
    return stream;
}

TQRStream::~TQRStream() {
    if (m_file)
        m_file->close();
    if (!m_spillFileName.isEmpty() && QFile::exists(m_spillFileName))
        QFile::remove(m_spillFileName);
}

qint64 TQRStream::Read(void *buffer, qint64 count) {
    QMutexLocker locker(&m_lock);
    if (count <= 0)
        return 0;
    if (m_file)
        return std::max<qint64>(0, m_file->read(static_cast<char *>(buffer), count));
    const qint64 n = std::clamp<qint64>(m_memory.size() - m_position, 0, count);
    if (n > 0)
        std::memcpy(buffer, m_memory.constData() + m_position, size_t(n));
    m_position += n;
    return n;
}

qint64 TQRStream::Write(const void *buffer, qint64 count) {
    QMutexLocker locker(&m_lock);
    if (count <= 0)
        return 0;
    if (m_file)
        return std::max<qint64>(0, m_file->write(static_cast<const char *>(buffer), count));
    const qint64 end = m_position + count;
    if (end > m_memory.size())
        m_memory.resize(end, '\0');
    std::memcpy(m_memory.data() + m_position, buffer, size_t(count));
    m_position = end;
    if (m_memory.size() > m_spillLimit)
        spill();
    return count;
}

// The buffer moves to a temporary file once it holds more than the limit; the position stays where it was.
void TQRStream::spill() {
    QTemporaryFile temporary(QDir::tempPath() + QStringLiteral("/QRPXXXXXX.tmp"));
    temporary.setAutoRemove(false);
    if (!temporary.open())
        throw EQRError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(temporary.fileTemplate(), temporary.errorString()));
    const QString name = temporary.fileName();
    temporary.close();
    auto file = std::make_unique<QFile>(name);
    if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        QFile::remove(name);
        throw EQRError(QStringLiteral("Cannot create file \"%1\". %2").arg(name, file->errorString()));
    }
    m_spillFileName = name;
    if (file->write(m_memory) != m_memory.size() || !file->seek(m_position)) {
        file->close();
        QFile::remove(name);
        m_spillFileName.clear();
        throw EQRError::writeError();
    }
    m_file = std::move(file);
    m_memory = QByteArray();
    m_spilled = true;
}

qint64 TQRStream::Seek(qint64 offset, Origin origin) {
    QMutexLocker locker(&m_lock);
    const qint64 base = origin == soBeginning ? 0 : origin == soCurrent ? Position() : Size();
    const qint64 target = std::max<qint64>(0, base + offset);
    if (m_file) {
        m_file->seek(target);
        return m_file->pos();
    }
    m_position = target;
    return m_position;
}

qint64 TQRStream::Position() const {
    QMutexLocker locker(&m_lock);
    return m_file ? m_file->pos() : m_position;
}

qint64 TQRStream::Size() const {
    QMutexLocker locker(&m_lock);
    return m_file ? m_file->size() : m_memory.size();
}

void TQRStream::SetSize(qint64 size) {
    QMutexLocker locker(&m_lock);
    size = std::max<qint64>(0, size);
    if (m_file) {
        m_file->resize(size);
        return;
    }
    m_memory.resize(size);
    m_position = std::min(m_position, size);
}

void TQRStream::ReadBuffer(void *buffer, qint64 count) {
    if (Read(buffer, count) != std::max<qint64>(0, count))
        throw EQRError::readError();
}

void TQRStream::WriteBuffer(const void *buffer, qint64 count) {
    if (Write(buffer, count) != std::max<qint64>(0, count))
        throw EQRError::writeError();
}

qint32 TQRStream::ReadInt32() {
    uchar b[4];
    ReadBuffer(b, 4);
    return le32(b);
}

void TQRStream::WriteInt32(qint32 value) {
    uchar b[4];
    put32(b, quint32(value));
    WriteBuffer(b, 4);
}

void TQRStream::CopyTo(QIODevice &target) {
    QMutexLocker locker(&m_lock);
    Seek(0, soBeginning);
    char block[10240];
    for (;;) {
        const qint64 n = Read(block, sizeof block);
        if (n <= 0)
            break;
        if (target.write(block, n) != n)
            throw EQRError::writeError();
    }
}

int TQRStream::HeaderSize() {
    QMutexLocker locker(&m_lock);
    const qint64 saved = Position();
    auto signatureAt = [this](qint64 offset) {
        uchar b[4];
        Seek(offset, soBeginning);
        return Read(b, 4) == 4 && b[0] == 'E' && b[1] == 'M' && b[2] == 'F' && b[3] == 0;
    };
    int size = 0;
    if (signatureAt(173))
        size = 124;
    else if (signatureAt(169))
        size = 120;
    else if (signatureAt(145))
        size = 96;
    else if (signatureAt(177))
        size = 128;
    else {
        // Compressed pages hide the signature; the filler run tells the two known layouts apart.
        uchar h[128];
        Seek(0, soBeginning);
        const bool whole = Read(h, 128) == 128;
        auto fillerAt = [&h](int from) {
            return std::all_of(h + from, h + from + 100, [](uchar c) { return c == 'H'; });
        };
        size = whole && !fillerAt(26) && fillerAt(22) ? 124 : 128;
    }
    Seek(saved, soBeginning);
    return size;
}

TQRFileHeader TQRStream::ReadFileHeader() {
    QMutexLocker locker(&m_lock);
    const int size = HeaderSize();
    uchar raw[128] = {};
    Seek(0, soBeginning);
    ReadBuffer(raw, size);
    TQRFileHeader h;
    if (size == 124) {
        std::copy(raw, raw + 5, h.Bytes.begin());
        std::copy(raw + 8, raw + 12, h.Bytes.begin() + 8);
        std::copy(raw + 12, raw + 20, h.Bytes.begin() + 16);
        h.Bytes[24] = raw[20];
        h.Bytes[25] = raw[21];
        std::copy(raw + 22, raw + 123, h.Bytes.begin() + 26);
    } else {
        std::copy(raw, raw + 128, h.Bytes.begin());
    }
    return h;
}
