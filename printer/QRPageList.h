#pragma once

#include "printer/QROutline.h"
#include "printer/QRStream.h"

#include <QRecursiveMutex>
#include <QString>

#include <memory>
#include <vector>

class TMetafile;

/// The pages of one generated report, kept in a page stream as a report file: appends finished pages,
/// hands any page back as a new recording the caller owns, saves and loads the whole stream. An index of
/// record offsets, built as pages are added or found, reaches any page without walking the chain.
class TQRPageList {
public:
    TQRPageList();
    ~TQRPageList();
    TQRPageList(const TQRPageList &) = delete;
    TQRPageList &operator=(const TQRPageList &) = delete;

    /// Forgets the pages (the stream is left to its owner).
    void Clear();

    qint32 StoredPages() const { return m_storedPages; }
    bool Compression() const { return m_compression; }
    void SetCompression(bool compression) { m_compression = compression; }

    TQRStream *PageStream() const { return m_stream.get(); }
    /// Takes `stream` as the page stream, dropping the one held before.
    void SetPageStream(std::unique_ptr<TQRStream> stream);
    /// Frees the page stream.
    void FreePageStream() { SetPageStream(nullptr); }

    TQROutline &Outline() { return m_outline; }

    /// Appends one page record; the first also writes the file header. Without a stream one is made.
    void AddPage(const TMetafile &recording);
    /// Page `pageNumber` as a new recording, or none for a number outside 1 ... StoredPages. A damaged
    /// stream raises EQRError ("Stream read error", or a text naming the fault).
    std::unique_ptr<TMetafile> FetchPage(qint32 pageNumber);

    /// Positions the stream at the start of page `pageNumber`'s record and returns that offset (-1 for a
    /// number outside 1 ... StoredPages). Every hop is checked; a broken chain raises EQRError.
    qint64 SeekPage(qint32 pageNumber);

    /// Rewrites the header at offset 0 with StoredPages, the local time and Compression; the position is
    /// left just after it.
    void WriteFileHeader();
    /// Takes StoredPages and Compression from the stream's header.
    void ReadFileHeader();

    /// Opens a report file. A file that does not hold together raises EQRError and leaves the list as it
    /// was.
    void LoadPages(const QString &fileName);
    /// The same for a stream already open (positioned anywhere).
    void LoadPages(std::unique_ptr<TQRStream> stream);
    /// Writes the stream, byte for byte, to a file (replaced only once it is complete).
    void SavePages(const QString &fileName);

private:
    struct Layout {
        int headerSize = TQRFileHeader::Size;
        qint32 pages = 0;
        bool compression = false;
        std::vector<qint64> starts; // record start of page i + 1, as far as known
    };
    static void readLayout(TQRStream &stream, Layout &layout, bool countRecords);
    static qint64 seekPage(TQRStream &stream, Layout &layout, qint32 pageNumber);
    static std::unique_ptr<TMetafile> readPage(TQRStream &stream, Layout &layout, qint32 pageNumber);
    template <typename Step> auto withLayout(Step step);

    mutable QRecursiveMutex m_lock;
    std::unique_ptr<TQRStream> m_stream;
    qint32 m_storedPages = 0;
    bool m_compression = false;
    int m_headerSize = 0; // of the current stream, 0 until known
    std::vector<qint64> m_starts;
    TQROutline m_outline;
};
