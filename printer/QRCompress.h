#pragma once

#include <QtGlobal>

class TQRStream;

/// The splay-tree prefix coder of compressed page records. Each code is the path from the root to the
/// symbol's leaf (root side first, least significant bit of a byte first); after every symbol its leaf is
/// splayed toward the root, so frequent bytes get short codes. One instance codes one page.
class TQRCompress {
public:
    /// Bound to `stream` at its position. Expanding reads at most `inputLimit` bytes (-1: no limit) and
    /// raises "Stream read error" past it or past the end of the stream.
    TQRCompress(TQRStream &stream, bool compressing, qint64 inputLimit = -1);
    /// Finishes as `Finish` does, swallowing errors; call `Finish` to see them.
    ~TQRCompress();
    TQRCompress(const TQRCompress &) = delete;
    TQRCompress &operator=(const TQRCompress &) = delete;

    void CompressByte(uchar symbol);
    void Compress(const char *data, qint64 count);
    uchar ExpandByte();
    void Expand(char *out, qint64 count);

    /// Compressing: writes the last partial byte and everything buffered. Expanding: leaves the stream
    /// just after the last byte a code used.
    void Finish();

private:
    void splay(const int *path, const int *side, int depth);
    void emitBits(quint64 code, int count);
    void flushOutput();
    void topUp(quint64 &bits, int &count);

    TQRStream &m_stream;
    bool m_compressing;
    bool m_finished = false;
    quint16 m_child[256][2]; // [0] left, [1] right
    quint8 m_up[513];
    // Bits not yet written (compressing) or not yet used of the current input byte (expanding), lowest first.
    quint64 m_bits = 0;
    int m_bitCount = 0;
    qint64 m_inputLimit;
    qint64 m_inputRead = 0; // bytes taken from the stream into the buffer
    int m_bufferUsed = 0;   // output bytes waiting, or input bytes consumed
    int m_bufferFill = 0;   // input bytes in the buffer
    uchar m_buffer[4096];
};
