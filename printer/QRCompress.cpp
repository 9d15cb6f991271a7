#include "printer/QRCompress.h"

#include "printer/QRError.h"
#include "printer/QRStream.h"

#include <algorithm>

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
// levels. `path` holds the leaf and its ancestors up to the root (path[length - 1] = 0), as the coder has
// just walked them; the steps visit exactly those nodes, so no parent link needs to be followed here.
void TQRCompress::splay(const int *path, int length) {
    for (int i = 0; i + 2 < length; i += 2) {
        const int a = path[i], c = path[i + 1], d = path[i + 2];
        const int side = m_child[d][0] == c; // c's sibling under d gives way to a
        const int b = m_child[d][side];
        m_child[d][side] = quint16(a);
        m_child[c][m_child[c][0] != a] = quint16(b);
        m_up[a] = quint8(d);
        m_up[b] = quint8(c);
    }
}

// Appends `count` (at most 56) bits, the first in the lowest bit; whole bytes go out, the first bit of each
// byte in its least significant bit.
void TQRCompress::emitBits(quint64 code, int count) {
    m_bits |= code << m_bitCount;
    m_bitCount += count;
    while (m_bitCount >= 8) {
        m_buffer[m_bufferUsed++] = uchar(m_bits);
        if (m_bufferUsed == int(sizeof m_buffer))
            flushOutput();
        m_bits >>= 8;
        m_bitCount -= 8;
    }
}

void TQRCompress::flushOutput() {
    if (m_bufferUsed > 0)
        m_stream.WriteBuffer(m_buffer, m_bufferUsed);
    m_bufferUsed = 0;
}

void TQRCompress::CompressByte(uchar symbol) {
    // The path is found leaf first and sent root first: shifting each bit in reverses it.
    int path[258];
    quint64 code = 0;
    int length = 0;
    int a = symbol + 256;
    path[0] = a;
    do {
        const int p = m_up[a];
        const quint64 right = m_child[p][1] == a;
        code = length < 56 ? code << 1 | right : code;
        path[++length] = p;
        a = p;
    } while (a != 0);
    if (length > 56) { // a rare deep leaf: bit by bit, root side first
        for (int i = length - 1; i >= 0; --i)
            emitBits(quint64(m_child[path[i + 1]][1] == path[i]), 1);
    } else {
        emitBits(code, length);
    }
    splay(path, length + 1);
}

void TQRCompress::Compress(const char *data, qint64 count) {
    for (qint64 i = 0; i < count; ++i)
        CompressByte(uchar(data[i]));
}

uchar TQRCompress::nextInput() {
    if (m_bufferUsed == m_bufferFill) {
        qint64 want = sizeof m_buffer;
        if (m_inputLimit >= 0)
            want = std::min(want, m_inputLimit - m_inputRead);
        const qint64 got = want > 0 ? m_stream.Read(m_buffer, want) : 0;
        if (got <= 0)
            throw EQRError::readError();
        m_inputRead += got;
        m_bufferFill = int(got);
        m_bufferUsed = 0;
    }
    return m_buffer[m_bufferUsed++];
}

uchar TQRCompress::ExpandByte() {
    int down[258]; // root first
    int length = 0;
    int a = 0;
    down[0] = 0;
    do {
        if (m_bitCount == 0) {
            m_bits = nextInput();
            m_bitCount = 8;
        }
        a = m_child[a][m_bits & 1];
        m_bits >>= 1;
        --m_bitCount;
        down[++length] = a;
    } while (a <= 255);
    if (a == 512) // the leaf of 256 is never coded
        throw EQRError::damaged(QStringLiteral("bad compressed page data"));
    int path[258];
    for (int i = 0; i <= length; ++i)
        path[i] = down[length - i];
    splay(path, length + 1);
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
    } else if (m_bufferFill > m_bufferUsed) {
        m_stream.Seek(-(m_bufferFill - m_bufferUsed), TQRStream::soCurrent);
    }
}
