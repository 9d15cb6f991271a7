// What the definition reader and writer share: values as text, the XML tree, property paths and references.
#pragma once

#include "report/engine/Streaming.h"

#include <QMetaProperty>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

class QRegularExpression;

namespace streaming {

// Elements nested deeper than this are refused: components hold at most bands and controls, and the
// reader's walk stays shallow whatever the input.
inline constexpr int MaxDepth = 64;
// A definition file larger than this is refused before it is read.
inline constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

[[noreturn]] void fail(const QString &where, const QString &what, qint64 line = 0);
QString describe(const QObject *component);
QString where(const QObject *component, const QString &path);

enum class Kind { Bool, Int, Double, String, StringList, DoubleList, Color, Enum, Flags, Reference, Object, Other };

Kind kindOf(const QMetaProperty &p);
bool ownProperty(const QMetaProperty &p);
QString numberText(double v);
// A length of a Values list: shortest text that reads back exactly, whole numbers with ".0".
QString lengthText(double v);
double parseDouble(const QString &text);
QVariant enumVariant(const QMetaProperty &p, int value);
int enumValue(const QVariant &v);
QVariant parseEnum(const QMetaProperty &p, const QString &text);
QVariant parseFlags(const QMetaProperty &p, const QString &text);
QString enumText(const QMetaProperty &p, const QVariant &v);
// Text that an XML file can hold; other characters cannot be stored.
void checkStorable(const QString &text);
QString escaped(const QString &text, bool attribute);
bool blank(const QString &text);
// The character data of a value element that holds no elements.
const QString &scalarText(const TQRNode &node);
QStringList itemsOf(const TQRNode &node);

TQRNode parseXml(const QByteArray &xml);
QString nodeXml(const TQRNode &node);

struct Target {
    QObject *object = nullptr;
    QMetaProperty property;
    const TQRStoredProperty *extra = nullptr;
    QString name;
};

Target resolvePath(QObject *component, const QString &path);
QVariant parseScalar(const QMetaProperty &p, const QString &text);
void writeValue(QObject *object, const QMetaProperty &p, const QVariant &value);
// Sets a reference and checks the component took it (a setter refuses circles and kinds it does not hold).
void writeReference(QObject *object, const QMetaProperty &p, QObject *target);
QObject *findIn(const QObject *root, const QString &name);
QObject *lookup(const QObject *root, const TQRForms *forms, const QString &name);
QString referenceName(const QObject *root, const QObject *target);
const QRegularExpression &identifier();
bool alwaysStored(const QObject *object, const QString &name);

} // namespace streaming
