#pragma once

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
};

/// One value held in an object of its own; a function's argument list is a list of these.
struct TQREvResultClass {
    TQREvValue EvResult;
};

namespace qrexpr {

/// Cuts a text to the bound of a value's text (never in the middle of a surrogate pair).
QString cutText(const QString &text);
/// A float in the general format: up to 15 significant digits, the locale's decimal separator.
QString floatText(double value);
/// "True" or "False".
QString booleanText(bool value);
/// The value as text: an integer's digits, a float in the general format, a string, "True"/"False", or an
/// error's message.
QString valueText(const TQREvValue &value);
/// "integer", "float", "string", "boolean" or "error".
QString kindName(TQREvKind kind);

} // namespace qrexpr
