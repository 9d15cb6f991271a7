#pragma once

#include <QByteArray>
#include <QFile>
#include <QRecursiveMutex>
#include <QString>

#include <array>
#include <memory>

class QIODevice;

/// The 128-byte header of a report file (a page stream): page count, time of writing, compression flag.
struct TQRFileHeader {
    static constexpr int Size = 128;
    std::array<uchar, Size> Bytes{};

    qint32 PageCount() const;
    bool Compressed() const { return Bytes[25] != 0; }
    /// Local date and time of writing, in days since 1899-12-30.
    double Written() const;
    /// A header as this system writes it.
    static TQRFileHeader Make(qint32 pages, double written, bool compressed);
    /// Days since 1899-12-30 of a local date and time, and back (invalid for values out of range).
    static double toDays(const QDateTime &local);
    static QDateTime fromDays(double days);
};

/// The byte stream that holds a generated report's pages: in memory until it grows past `SpillLimit`,
/// then in a temporary file ("QRP" prefix) that is removed with the stream. A stream opened on an existing
/// report file reads that file and never deletes it. Every operation holds the stream's lock.
class TQRStream {
public:
    enum Origin { soBeginning, soCurrent, soEnd };

    explicit TQRStream(qint32 spillLimit = 250000);
    /// Opens an existing file for reading; raises EQRError when it cannot be opened.
    static std::unique_ptr<TQRStream> CreateFromFile(const QString &fileName);
    ~TQRStream();
    TQRStream(const TQRStream &) = delete;
    TQRStream &operator=(const TQRStream &) = delete;

    /// The usual stream contract: bytes moved, new position.
    qint64 Read(void *buffer, qint64 count);
    qint64 Write(const void *buffer, qint64 count);
    qint64 Seek(qint64 offset, Origin origin);
    qint64 Position() const;
    qint64 Size() const;
    /// Cuts the stream to `size` bytes (a failed append is taken back this way).
    void SetSize(qint64 size);

    /// Exactly `count` bytes or "Stream read error" / "Stream write error".
    void ReadBuffer(void *buffer, qint64 count);
    void WriteBuffer(const void *buffer, qint64 count);
    qint32 ReadInt32();
    void WriteInt32(qint32 value);

    /// Rewinds and copies everything to `target` in blocks of 10240 bytes; the position ends at the end.
    void CopyTo(QIODevice &target);

    /// The size of the file header: 128 for streams this system writes; 124, 120 or 96 for older files,
    /// recognised by where page 1's metafile signature sits (or, for compressed pages, by the header's
    /// filler bytes). A stream too short to probe answers 128. The position is kept.
    int HeaderSize();
    /// The header in the 128-byte layout, converted from the older 124-byte one.
    TQRFileHeader ReadFileHeader();

    bool Spilled() const { return m_spilled; }
    qint32 SpillLimit() const { return m_spillLimit; }
    QString SpillFileName() const { return m_spillFileName; }

    QRecursiveMutex &Lock() { return m_lock; }

private:
    void spill();

    mutable QRecursiveMutex m_lock;
    qint32 m_spillLimit;
    bool m_spilled = false;
    QString m_spillFileName;
    QByteArray m_memory;
    qint64 m_position = 0;
    std::unique_ptr<QFile> m_file;
};
