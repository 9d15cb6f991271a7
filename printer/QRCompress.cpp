#include "printer/QRCompress.h"

#include "printer/QRError.h"
#include "printer/QRStream.h"

#include <algorithm>

TQRCompress::TQRCompress(TQRStream &stream, bool compressing, qint64 inputLimit)
    : m_stream(stream), m_compressing(compressing), m_bitIndex(compressing ? 0 : 7), m_inputLimit(inputLimit) {
    for (int i = 0; i < 256; ++i) {
        m_left[i] = quint16(2 * i + 1);
        m_right[i] = quint16(2 * i + 2);
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

void TQRCompress::splay(int symbol) {
    int a = symbol + 256;
    do {
        const int c = m_up[a];
        if (c != 0) {
            const int d = m_up[c];
            int b = m_left[d];
            if (b == c) {
                b = m_right[d];
                m_right[d] = quint16(a);
            } else {
                m_left[d] = quint16(a);
            }
            if (m_left[c] == a)
                m_left[c] = quint16(b);
            else
                m_right[c] = quint16(b);
            m_up[a] = quint8(d);
            m_up[b] = quint8(c);
            a = d;
        } else {
            a = c;
        }
    } while (a != 0);
}

void TQRCompress::emitBit(bool bit) {
    if (bit)
        m_pendingByte |= uchar(1u << m_bitIndex);
    if (m_bitIndex == 7) {
        m_buffer[m_bufferUsed++] = m_pendingByte;
        if (m_bufferUsed == int(sizeof m_buffer))
            flushOutput();
        m_bitIndex = 0;
        m_pendingByte = 0;
    } else {
        ++m_bitIndex;
    }
}

void TQRCompress::flushOutput() {
    if (m_bufferUsed > 0)
        m_stream.WriteBuffer(m_buffer, m_bufferUsed);
    m_bufferUsed = 0;
}

void TQRCompress::CompressByte(uchar symbol) {
    bool path[257];
    int n = 0;
    int a = symbol + 256;
    int p;
    do {
        p = m_up[a];
        path[n++] = m_right[p] == a;
        a = p;
    } while (p != 0);
    while (n > 0)
        emitBit(path[--n]);
    splay(symbol);
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
    int a = 0;
    do {
        if (m_bitIndex == 7) {
            m_inputByte = nextInput();
            m_bitIndex = 0;
        } else {
            ++m_bitIndex;
        }
        a = (m_inputByte >> m_bitIndex & 1) ? m_right[a] : m_left[a];
    } while (a <= 255);
    if (a == 512) // the leaf of 256 is never coded
        throw EQRError::damaged(QStringLiteral("bad compressed page data"));
    splay(a - 256);
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
        if (m_bitIndex != 0)
            m_buffer[m_bufferUsed++] = m_pendingByte;
        flushOutput();
    } else if (m_bufferFill > m_bufferUsed) {
        m_stream.Seek(-(m_bufferFill - m_bufferUsed), TQRStream::soCurrent);
    }
}
