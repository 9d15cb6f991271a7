#pragma once

#include "store/ValueText.h"

#include <QString>
#include <QtGlobal>

/// The kind of an expression value; the numbers are part of the stored and compiled form.
enum TQREvKind : quint8 { evInteger = 0, evFloat = 1, evString = 2, evBoolean = 3, evError = 4 };

/// The value of any expression: a kind with its payload, copied by value.
///
/// Only the payload of the current kind is meaningful. Texts (a string's characters, an error's message)
/// are at most `MaxTextLength` characters; everything that builds a value cuts them. A numeric value never
/// touches the heap, so numeric expressions evaluate without allocating.
struct TQREvValue {
    static constexpr int MaxTextLength = 255;

    TQREvKind Kind = evInteger;
    QString Text;
    bool BooleanValue = false;
    qint32 IntegerValue = 0;
    double FloatValue = 0;

    static TQREvValue integer(qint32 value);
    static TQREvValue floating(double value);
    static TQREvValue string(const QString &text);
    static TQREvValue boolean(bool value);
    /// An error; an empty message is an error without message.
    static TQREvValue error(const QString &message = {});

    bool isNumeric() const { return Kind == evInteger || Kind == evFloat; }
    /// Takes `other` whole; without a call into the library when neither holds a text.
    void assign(const TQREvValue &other) {
        if (other.Text.isNull() && Text.isNull()) {
            Kind = other.Kind;
            BooleanValue = other.BooleanValue;
            IntegerValue = other.IntegerValue;
            FloatValue = other.FloatValue;
        } else {
            *this = other;
        }
    }
};

/// One value held in an object of its own; a function's argument list is a list of these.
struct TQREvResultClass {
    TQREvValue EvResult;
};

namespace qrexpr {

/// Cuts a text to the bound of a value's text (never in the middle of a surrogate pair).
QString cutText(const QString &text);
/// `text` made in `buffer` and shared into `out`. The buffer is reused while nothing else shares it, so an
/// element that makes a text per record does not allocate each time.
void shareText(QString &buffer, QStringView text, QString &out);
/// `a` followed by `b`, cut to the bound, made in `buffer` and shared into `out` as `shareText` does.
void shareJoined(QString &buffer, QStringView a, QStringView b, QString &out);
/// The length of `text` cut to the bound of a value's text, as `cutText` cuts.
qsizetype cutLength(QStringView text);
/// An integer's digits as `QString::number` gives them, written at the end of `digits`.
QStringView integerText(qint32 value, char16_t (&digits)[11]);
/// An integer's digits, made in `buffer` and shared into `out` as `shareText` does.
void shareInteger(QString &buffer, qint32 value, QString &out);
/// A float as a field's text has it (store/ValueText.h).
using ::floatText;
/// Orders two texts as their Windows-1250 bytes order: negative, zero or positive. A character outside
/// that code page comes after every character in it, ordered by its code point, so distinct texts never
/// compare equal. A proper prefix sorts first.
int compareText(QStringView a, QStringView b);
/// "True" or "False".
QString booleanText(bool value);
/// The value as text: an integer's digits, a float in the general format, a string, "True"/"False", or an
/// error's message.
QString valueText(const TQREvValue &value);
/// "integer", "float", "string", "boolean" or "error".
QString kindName(TQREvKind kind);

} // namespace qrexpr
