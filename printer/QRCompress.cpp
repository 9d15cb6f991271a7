#include "printer/QRCompress.h"

#include "printer/QRError.h"
#include "printer/QRStream.h"

#include <algorithm>
#include <cstring>

TQRCompress::TQRCompress(TQRStream &stream, bool compressing, qint64 inputLimit)
    : m_stream(stream), m_compressing(compressing), m_inputLimit(inputLimit) {
    for (int i = 0; i < 256; ++i) {
        m_child[i][0] = quint16(2 * i + 1);
        m_child[i][1] = quint16(2 * i + 2);
    }
    m_up[0] = 0;
    for (int j = 1; j <= 512; ++j)
        m_up[j] = quint8((j - 1) / 2);
}

TQRCompress::~TQRCompress() {
    try {
        Finish();
    } catch (...) {
    }
}

// Semi-splaying: each step swaps the leaf's branch with its grandparent's other branch, moving it up two
// levels. `path` runs from the root (path[0] = 0) to the leaf (path[depth]) as the coder has just walked it,
// `side[k]` telling which branch led to path[k]; the steps visit exactly those nodes, so neither parent
// links nor branch tests need to be read back here. Parent links are kept only while compressing, the only
// time they are followed.
void TQRCompress::splay(const int *path, const int *side, int depth) {
    for (int j = depth; j >= 2; j -= 2) {
        const int a = path[j], c = path[j - 1], d = path[j - 2];
        const int other = 1 - side[j - 1]; // c's sibling under d gives way to a
        const int b = m_child[d][other];
        m_child[d][other] = quint16(a);
        m_child[c][side[j]] = quint16(b);
        if (m_compressing) {
            m_up[a] = quint8(d);
            m_up[b] = quint8(c);
        }
    }
}

// Appends `count` (at most 56) bits, the first in the lowest bit; whole bytes go out, the first bit of each
// byte in its least significant bit. The register is stored whole and the buffer advanced by the whole
// bytes it held, which avoids a branch per byte.
void TQRCompress::emitBits(quint64 code, int count) {
    m_bits |= code << m_bitCount;
    m_bitCount += count;
    std::memcpy(m_buffer + m_bufferUsed, &m_bits, 8); // little-endian: lowest bits in the first byte
    const int bytes = m_bitCount >> 3;
    m_bufferUsed += bytes;
    m_bits >>= 8 * bytes;
    m_bitCount &= 7;
    if (m_bufferUsed > int(sizeof m_buffer) - 16)
        flushOutput();
}

void TQRCompress::flushOutput() {
    if (m_bufferUsed > 0)
        m_stream.WriteBuffer(m_buffer, m_bufferUsed);
    m_bufferUsed = 0;
}

void TQRCompress::CompressByte(uchar symbol) {
    // The path is found leaf first and sent root first: shifting each bit in reverses it.
    int path[258], side[258];
    int *top = path + 257; // filled downward, so both end up root first
    int *topSide = side + 257;
    quint64 code = 0;
    int depth = 0;
    int a = symbol + 256;
    *top = a;
    do {
        const int p = m_up[a];
        const int right = m_child[p][1] == a;
        code = depth < 56 ? code << 1 | quint64(right) : code;
        *topSide-- = right;
        *--top = p;
        ++depth;
        a = p;
    } while (a != 0);
    if (depth > 56) { // a rare deep leaf: bit by bit, root side first
        for (int i = 1; i <= depth; ++i)
            emitBits(quint64(topSide[i]), 1);
    } else {
        emitBits(code, depth);
    }
    splay(top, topSide, depth);
}

void TQRCompress::Compress(const char *data, qint64 count) {
    for (qint64 i = 0; i < count; ++i)
        CompressByte(uchar(data[i]));
}

// Appends whole input bytes to the bit register while it has room for one more; stops quietly at the end of
// the input (the caller fails only when it needs a bit that is not there).
void TQRCompress::topUp(quint64 &bits, int &count) {
    if (m_bufferFill - m_bufferUsed >= 8) {
        quint64 next;
        std::memcpy(&next, m_buffer + m_bufferUsed, 8); // little-endian: first byte lowest
        const int take = (63 - count) >> 3;
        if (take > 0) {
            bits |= (next & ((quint64(1) << (8 * take)) - 1)) << count;
            m_bufferUsed += take;
            count += 8 * take;
        }
        return;
    }
    while (count <= 56) {
        if (m_bufferUsed == m_bufferFill) {
            qint64 want = sizeof m_buffer;
            if (m_inputLimit >= 0)
                want = std::min(want, m_inputLimit - m_inputRead);
            const qint64 got = want > 0 ? m_stream.Read(m_buffer, want) : 0;
            if (got <= 0)
                return;
            m_inputRead += got;
            m_bufferFill = int(got);
            m_bufferUsed = 0;
        }
        bits |= quint64(m_buffer[m_bufferUsed++]) << count;
        count += 8;
    }
}

uchar TQRCompress::ExpandByte() {
    quint16 path[258]; // root first
    quint8 side[258];
    int depth = 0;
    int a = 0;
    path[0] = 0;
    quint64 bits = m_bits;
    int count = m_bitCount;
    if (count < 32)
        topUp(bits, count);
    do {
        if (count == 0) {
            topUp(bits, count);
            if (count == 0)
                throw EQRError::readError();
        }
        const int bit = int(bits & 1);
        a = m_child[a][bit];
        bits >>= 1;
        --count;
        path[++depth] = quint16(a);
        side[depth] = quint8(bit);
    } while (a <= 255);
    m_bits = bits;
    m_bitCount = count;
    if (a == 512) // the leaf of 256 is never coded
        throw EQRError::damaged(QStringLiteral("bad compressed page data"));
    // The splay steps of `splay`, without the parent links that only compressing follows.
    for (int j = depth; j >= 2; j -= 2) {
        const int d = path[j - 2];
        const int other = side[j - 1] ^ 1;
        const quint16 b = m_child[d][other];
        m_child[d][other] = path[j];
        m_child[path[j - 1]][side[j]] = b;
    }
    return uchar(a - 256);
}

void TQRCompress::Expand(char *out, qint64 count) {
    for (qint64 i = 0; i < count; ++i)
        out[i] = char(ExpandByte());
}

void TQRCompress::Finish() {
    if (m_finished)
        return;
    m_finished = true;
    if (m_compressing) {
        if (m_bitCount > 0) {
            m_buffer[m_bufferUsed++] = uchar(m_bits);
            m_bitCount = 0;
        }
        flushOutput();
    } else {
        // Input bytes not begun: the rest of the buffer and the untouched bytes of the bit register.
        const qint64 unused = (m_bufferFill - m_bufferUsed) + m_bitCount / 8;
        if (unused > 0)
            m_stream.Seek(-unused, TQRStream::soCurrent);
        m_bitCount = 0;
    }
}
