#include "printer/QRCompress.h"
#include "printer/QRError.h"
#include "printer/QRStream.h"
#include "tests/printer/PrinterTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

QByteArray compress(const QByteArray &input) {
    TQRStream stream(1 << 30);
    {
        TQRCompress coder(stream, true);
        coder.Compress(input.constData(), input.size());
    }
    QByteArray out(stream.Size(), '\0');
    stream.Seek(0, TQRStream::soBeginning);
    stream.ReadBuffer(out.data(), out.size());
    return out;
}

// The coder written out literally, bit by bit, as the file format defines it.
class ReferenceCoder {
public:
    ReferenceCoder() {
        for (int i = 0; i < 256; ++i) {
            left[i] = 2 * i + 1;
            right[i] = 2 * i + 2;
        }
        for (int j = 1; j <= 512; ++j)
            up[j] = (j - 1) / 2;
    }
    QByteArray compress(const QByteArray &input) {
        QByteArray out;
        int bitIndex = 0, pending = 0;
        for (char ch : input) {
            const int s = uchar(ch);
            std::vector<int> bits;
            int a = s + 256, p;
            do {
                p = up[a];
                bits.push_back(right[p] == a ? 1 : 0);
                a = p;
            } while (p != 0);
            for (auto it = bits.rbegin(); it != bits.rend(); ++it) {
                if (*it)
                    pending |= 1 << bitIndex;
                if (bitIndex == 7) {
                    out.append(char(pending));
                    bitIndex = 0;
                    pending = 0;
                } else {
                    ++bitIndex;
                }
            }
            splay(s);
        }
        if (bitIndex != 0)
            out.append(char(pending));
        return out;
    }

private:
    void splay(int s) {
        int a = s + 256;
        do {
            const int c = up[a];
            if (c != 0) {
                const int d = up[c];
                int b = left[d];
                if (b == c) {
                    b = right[d];
                    right[d] = a;
                } else {
                    left[d] = a;
                }
                if (left[c] == a)
                    left[c] = b;
                else
                    right[c] = b;
                up[a] = d;
                up[b] = c;
                a = d;
            } else {
                a = c;
            }
        } while (a != 0);
    }
    int left[256], right[256], up[513] = {};
};

} // namespace

TEST(Compress, SameBitsAsTheCoderWrittenBitByBit) {
    std::mt19937 random(1);
    QList<QByteArray> inputs = {samplePageBytes(3)};
    QByteArray sweep, saw, skewed;
    for (int round = 0; round < 40; ++round)
        for (int s = 0; s < 256; ++s) {
            sweep.append(char(s));
            saw.append(char(round % 2 ? 255 - s : s));
        }
    for (int i = 0; i < 50000; ++i)
        skewed.append(char(random() % 3 == 0 ? random() % 256 : random() % 4));
    inputs << sweep << saw << skewed;
    for (const QByteArray &input : inputs)
        EXPECT_EQ(compress(input), ReferenceCoder().compress(input));
}

TEST(Compress, KnownCodes) {
    EXPECT_EQ(compress("abc").toHex(' '), QByteArray("46 3d 01"));
    // A fresh tree codes 0-254 in 8 bits (one whole byte, no padding byte) and 255 in 9.
    for (int s = 0; s < 256; ++s)
        EXPECT_EQ(compress(QByteArray(1, char(s))).size(), s == 255 ? 2 : 1) << s;
    EXPECT_TRUE(compress({}).isEmpty());
}

TEST(Compress, RoundTripsAndConsumesExactlyItsBytes) {
    std::mt19937 random(7);
    QList<QByteArray> inputs = {samplePageBytes(1), samplePageBytes(7), QByteArray(5000, '\0'),
                                QByteArray(1, char(255)), QByteArray(3000, char(255))};
    for (int length : {1, 2, 17, 1000, 65536}) {
        for (int alphabet : {2, 16, 256}) {
            QByteArray b(length, '\0');
            for (char &c : b)
                c = char(random() % alphabet);
            inputs << b;
        }
    }
    for (const QByteArray &input : inputs) {
        // Two codings back to back: each expander must stop exactly where its code ended.
        TQRStream stream(1 << 30);
        {
            TQRCompress first(stream, true);
            first.Compress(input.constData(), input.size());
        }
        const qint64 middle = stream.Position();
        {
            TQRCompress second(stream, true);
            second.Compress("tail", 4);
        }
        stream.WriteInt32(0x12345678);
        stream.Seek(0, TQRStream::soBeginning);
        QByteArray back(input.size(), '\0');
        {
            TQRCompress expander(stream, false);
            expander.Expand(back.data(), back.size());
            expander.Finish();
        }
        EXPECT_EQ(back, input);
        EXPECT_EQ(stream.Position(), middle);
        char tail[4];
        TQRCompress(stream, false).Expand(tail, 4);
        EXPECT_EQ(QByteArray(tail, 4), QByteArray("tail"));
    }
}

TEST(Compress, ExpandingPastTheInputFails) {
    const QByteArray code = compress(samplePageBytes(2));
    TQRStream stream(1 << 30);
    stream.WriteBuffer(code.constData(), code.size() / 2);
    stream.Seek(0, TQRStream::soBeginning);
    QByteArray out(samplePageBytes(2).size(), '\0');
    TQRCompress expander(stream, false);
    EXPECT_THROW(expander.Expand(out.data(), out.size()), EQRError);

    TQRStream limited(1 << 30);
    limited.WriteBuffer(code.constData(), code.size());
    limited.Seek(0, TQRStream::soBeginning);
    TQRCompress bounded(limited, false, 10);
    EXPECT_THROW(bounded.Expand(out.data(), out.size()), EQRError);
}
