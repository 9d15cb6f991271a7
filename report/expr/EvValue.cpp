#include "report/expr/EvValue.h"

#include <QStringDecoder>

#include <algorithm>
#include <utility>
#include <vector>

TQREvValue TQREvValue::integer(qint32 value) {
    TQREvValue v;
    v.Kind = evInteger;
    v.IntegerValue = value;
    return v;
}

TQREvValue TQREvValue::floating(double value) {
    TQREvValue v;
    v.Kind = evFloat;
    v.FloatValue = value;
    return v;
}

TQREvValue TQREvValue::string(const QString &text) {
    TQREvValue v;
    v.Kind = evString;
    v.Text = qrexpr::cutText(text);
    return v;
}

TQREvValue TQREvValue::boolean(bool value) {
    TQREvValue v;
    v.Kind = evBoolean;
    v.BooleanValue = value;
    return v;
}

TQREvValue TQREvValue::error(const QString &message) {
    TQREvValue v;
    v.Kind = evError;
    v.Text = qrexpr::cutText(message);
    return v;
}

namespace qrexpr {

QString cutText(const QString &text) {
    if (text.size() <= TQREvValue::MaxTextLength)
        return text;
    qsizetype n = TQREvValue::MaxTextLength;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

namespace {

// `buffer` holding n characters and shared with nothing else; a shared or small one is replaced.
QChar *ownBuffer(QString &buffer, qsizetype n) {
    if (!buffer.isDetached() || buffer.capacity() < n) {
        QString fresh;
        fresh.reserve(std::max<qsizetype>(n, 32));
        buffer = std::move(fresh);
    }
    if (buffer.size() != n) // mostly the length of the previous record's text
        buffer.resize(n);
    return buffer.data();
}

} // namespace

void shareText(QString &buffer, QStringView text, QString &out) {
    std::copy_n(text.data(), text.size(), ownBuffer(buffer, text.size()));
    out = QString(buffer); // inline, where assigning calls into the library
}

qsizetype cutLength(QStringView text) {
    if (text.size() <= TQREvValue::MaxTextLength)
        return text.size();
    return text[TQREvValue::MaxTextLength - 1].isHighSurrogate() ? TQREvValue::MaxTextLength - 1
                                                                 : TQREvValue::MaxTextLength;
}

void shareJoined(QString &buffer, QStringView a, QStringView b, QString &out) {
    qsizetype n = a.size() + b.size();
    if (n > TQREvValue::MaxTextLength) {
        // as cutText: never in the middle of a surrogate pair
        n = TQREvValue::MaxTextLength;
        const QChar last = n - 1 < a.size() ? a[n - 1] : b[n - 1 - a.size()];
        if (last.isHighSurrogate())
            --n;
    }
    // A text that shares the buffer keeps it from being reused, so neither `a` nor `b` is overwritten here.
    QChar *to = ownBuffer(buffer, n);
    const qsizetype fromA = std::min(a.size(), n);
    std::copy_n(a.data(), fromA, to);
    std::copy_n(b.data(), n - fromA, to + fromA);
    out = QString(buffer); // inline, where assigning calls into the library
}

QStringView integerText(qint32 value, char16_t (&digits)[11]) {
    static constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                     "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                     "8081828384858687888990919293949596979899";
    char16_t *const end = digits + 11; // room for "-2147483648"
    char16_t *p = end;
    quint32 magnitude = value < 0 ? 0u - quint32(value) : quint32(value);
    while (magnitude >= 10) {
        const quint32 pair = magnitude % 100 * 2;
        magnitude /= 100;
        *--p = char16_t(kPairs[pair + 1]);
        *--p = char16_t(kPairs[pair]);
    }
    if (magnitude > 0 || p == end) // a pair never starts with a zero unless more digits follow
        *--p = char16_t(u'0' + magnitude);
    if (value < 0)
        *--p = u'-';
    return QStringView(p, end);
}

void shareInteger(QString &buffer, qint32 value, QString &out) {
    char16_t digits[11];
    shareText(buffer, integerText(value, digits), out);
}

namespace {

// A character's place in Windows-1250 order: its byte, or past every byte for one outside the code page
// (ordered there by code point: surrogates, which only pairs use, go after the rest of the first plane).
class CodePageOrder {
public:
    CodePageOrder() {
        QStringDecoder decoder("windows-1250");
        for (int byte = 0x80; byte <= 0xFF; ++byte) {
            const char c = char(byte);
            const QString decoded = decoder.decode(QByteArrayView(&c, 1));
            if (decoded.size() == 1 && decoded[0] != QChar::ReplacementCharacter)
                m_upper.push_back({decoded[0].unicode(), char16_t(byte)});
        }
        std::sort(m_upper.begin(), m_upper.end());
    }

    quint32 rank(char16_t c) const {
        if (c < 0x80)
            return c;
        const auto it = std::lower_bound(m_upper.begin(), m_upper.end(), std::pair<char16_t, char16_t>(c, 0));
        if (it != m_upper.end() && it->first == c)
            return it->second;
        const quint32 codePointOrder = c >= 0xE000 ? c - 0x800u : c >= 0xD800 ? c + 0x2000u : c;
        return 0x100u + codePointOrder;
    }

private:
    std::vector<std::pair<char16_t, char16_t>> m_upper; // character, byte: the code page above ASCII
};

} // namespace

int compareText(QStringView a, QStringView b) {
    static const CodePageOrder order;
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x == y)
            continue;
        return order.rank(x) < order.rank(y) ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

QString booleanText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString valueText(const TQREvValue &value) {
    switch (value.Kind) {
    case evInteger:
        return QString::number(value.IntegerValue);
    case evFloat:
        return floatText(value.FloatValue);
    case evBoolean:
        return booleanText(value.BooleanValue);
    case evString:
    case evError:
        return value.Text;
    }
    return {};
}

QString kindName(TQREvKind kind) {
    switch (kind) {
    case evInteger:
        return QStringLiteral("integer");
    case evFloat:
        return QStringLiteral("float");
    case evString:
        return QStringLiteral("string");
    case evBoolean:
        return QStringLiteral("boolean");
    case evError:
        return QStringLiteral("error");
    }
    return {};
}

} // namespace qrexpr
