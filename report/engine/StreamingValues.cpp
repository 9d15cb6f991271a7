#include "report/engine/StreamingValues.h"

#include "report/engine/QRBand.h"
#include "report/engine/QRController.h"
#include "report/engine/QRGraphics.h"
#include "report/engine/QRPrintable.h"
#include "report/engine/QRReport.h"
#include "report/engine/QRUnits.h"
#include "store/Database.h"
#include "store/DatabaseError.h"
#include "store/Query.h"
#include "store/Table.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QXmlStreamReader>

#include <cmath>

namespace streaming {

// Elements nested deeper than this are refused: components hold at most bands and controls, and the
// reader's walk stays shallow whatever the input.

// A definition file larger than this is refused before it is read.

void fail(const QString &where, const QString &what, qint64 line) {
    QString text = where.isEmpty() ? what : where + QStringLiteral(": ") + what;
    if (line > 0)
        text += QStringLiteral(" (line %1)").arg(line);
    throw EQRError(text);
}

QString describe(const QObject *component) {
    if (!component)
        return QString();
    if (!component->objectName().isEmpty())
        return component->objectName();
    return QStringLiteral("unnamed %1").arg(QString::fromLatin1(component->metaObject()->className()));
}

QString where(const QObject *component, const QString &path) {
    const QString name = describe(component);
    return path.isEmpty() ? name : name + QLatin1Char('.') + path;
}

// ---- values ----

Kind kindOf(const QMetaProperty &p) {
    const QMetaType type = p.metaType();
    if (type.flags() & QMetaType::PointerToQObject)
        return p.isWritable() ? Kind::Reference : Kind::Object;
    if (p.isEnumType())
        return p.enumerator().isFlag() ? Kind::Flags : Kind::Enum;
    switch (type.id()) {
    case QMetaType::Bool:
        return Kind::Bool;
    case QMetaType::Int:
        return Kind::Int;
    case QMetaType::Double:
        return Kind::Double;
    case QMetaType::QString:
        return Kind::String;
    case QMetaType::QStringList:
        return Kind::StringList;
    case QMetaType::QColor:
        return Kind::Color;
    default:
        break;
    }
    if (type == QMetaType::fromType<QList<double>>())
        return Kind::DoubleList;
    return Kind::Other;
}

bool ownProperty(const QMetaProperty &p) {
    // QObject's own objectName is the component's name attribute, not a property.
    return p.propertyIndex() >= QObject::staticMetaObject.propertyCount();
}

QString numberText(double v) {
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// A length of a Values list: shortest text that reads back exactly, whole numbers with ".0".
QString lengthText(double v) {
    QString text = numberText(v);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')) && !text.contains(QLatin1Char('n')))
        text += QStringLiteral(".0");
    return text;
}

double parseDouble(const QString &text) {
    static const QRegularExpression numeral(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok && numeral.match(text.trimmed()).hasMatch())
        throw EQRError(QStringLiteral("'%1' is not a finite number").arg(text));
    if (!ok)
        throw EQRError(QStringLiteral("'%1' is not a number").arg(text));
    if (!std::isfinite(v))
        throw EQRError(QStringLiteral("'%1' is not a finite number").arg(text));
    return v;
}

QVariant enumVariant(const QMetaProperty &p, int value) {
    const QMetaType type = p.metaType();
    if (type.sizeOf() != int(sizeof(int)))
        throw EQRError(QStringLiteral("unsupported enumeration"));
    return QVariant(type, &value);
}

int enumValue(const QVariant &v) {
    if (v.metaType().sizeOf() == int(sizeof(int)))
        return *static_cast<const int *>(v.constData());
    return v.toInt();
}

QVariant parseEnum(const QMetaProperty &p, const QString &text) {
    const QMetaEnum e = p.enumerator();
    bool ok = false;
    const int value = e.keyToValue(text.trimmed().toLatin1().constData(), &ok);
    if (!ok || text.trimmed().contains(QLatin1Char('|')))
        throw EQRError(QStringLiteral("'%1' is not a value of %2").arg(text, QString::fromLatin1(e.name())));
    return enumVariant(p, value);
}

QVariant parseFlags(const QMetaProperty &p, const QString &text) {
    const QMetaEnum e = p.enumerator();
    int value = 0;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString key = part.trimmed();
        bool ok = false;
        const int bit = e.keyToValue(key.toLatin1().constData(), &ok);
        if (!ok || key.isEmpty() || key.contains(QLatin1Char('|')))
            throw EQRError(QStringLiteral("'%1' is not a member of %2").arg(key, QString::fromLatin1(e.name())));
        value |= bit;
    }
    return enumVariant(p, value);
}

QString enumText(const QMetaProperty &p, const QVariant &v) {
    const QMetaEnum e = p.enumerator();
    const int value = enumValue(v);
    if (p.enumerator().isFlag()) {
        QStringList keys;
        int rest = value;
        for (int i = 0; i < e.keyCount(); ++i) {
            const int bit = e.value(i);
            if (bit != 0 && (value & bit) == bit) {
                keys << QString::fromLatin1(e.key(i));
                rest &= ~bit;
            }
        }
        if (rest)
            throw EQRError(QStringLiteral("%1 has members without names").arg(QString::fromLatin1(e.name())));
        return keys.join(QLatin1Char(','));
    }
    const char *key = e.valueToKey(value);
    if (!key)
        throw EQRError(QStringLiteral("%1 has no name for %2").arg(QString::fromLatin1(e.name())).arg(value));
    return QString::fromLatin1(key);
}

// Text that an XML file can hold; other characters cannot be stored.
void checkStorable(const QString &text) {
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF || c.isSurrogate())
            throw EQRError(QStringLiteral("the character U+%1 cannot be stored").arg(u, 4, 16, QLatin1Char('0')));
    }
}

QString escaped(const QString &text, bool attribute) {
    checkStorable(text);
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QStringLiteral("&amp;");
            break;
        case '<':
            out += QStringLiteral("&lt;");
            break;
        case '>':
            out += QStringLiteral("&gt;");
            break;
        case '"':
            out += attribute ? QStringLiteral("&quot;") : QStringLiteral("\"");
            break;
        case '\r':
            out += QStringLiteral("&#13;");
            break;
        case '\n':
            out += attribute ? QStringLiteral("&#10;") : QStringLiteral("\n");
            break;
        case '\t':
            out += attribute ? QStringLiteral("&#9;") : QStringLiteral("\t");
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool blank(const QString &text) {
    return text.trimmed().isEmpty();
}

// The character data of a value element that holds no elements.
const QString &scalarText(const TQRNode &node) {
    if (!node.children.isEmpty())
        throw EQRError(QStringLiteral("unexpected <%1> element").arg(node.children.first().tag));
    return node.text;
}

QStringList itemsOf(const TQRNode &node) {
    if (!blank(node.text))
        throw EQRError(QStringLiteral("a list takes <item> elements"));
    QStringList items;
    for (const TQRNode &child : node.children) {
        if (child.tag != QLatin1String("item") || !child.attributes.isEmpty() || !child.children.isEmpty())
            throw EQRError(QStringLiteral("a list takes <item> elements, not <%1>").arg(child.tag));
        items << child.text;
    }
    return items;
}

// ---- XML ----

TQRNode parseXml(const QByteArray &xml) {
    QXmlStreamReader reader(xml);
    TQRNode root;
    bool haveRoot = false;
    QList<TQRNode *> stack;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        switch (token) {
        case QXmlStreamReader::DTD:
            fail(QString(), QStringLiteral("a definition has no document type declaration"), reader.lineNumber());
        case QXmlStreamReader::EntityReference:
            fail(QString(), QStringLiteral("unknown entity &%1;").arg(reader.name()), reader.lineNumber());
        case QXmlStreamReader::StartElement: {
            if (stack.size() >= MaxDepth)
                fail(QString(), QStringLiteral("elements nested too deeply"), reader.lineNumber());
            TQRNode node;
            node.tag = reader.name().toString();
            node.line = reader.lineNumber();
            for (const QXmlStreamAttribute &a : reader.attributes())
                node.attributes.append({a.qualifiedName().toString(), a.value().toString()});
            if (stack.isEmpty()) {
                root = node;
                haveRoot = true;
                stack << &root;
            } else {
                stack.last()->children.append(node);
                stack << &stack.last()->children.last();
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            stack.removeLast();
            break;
        case QXmlStreamReader::Characters:
            if (!stack.isEmpty())
                stack.last()->text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        fail(QString(), QStringLiteral("not a well-formed definition: %1").arg(reader.errorString()),
             reader.lineNumber());
    if (!haveRoot)
        fail(QString(), QStringLiteral("empty definition"));
    return root;
}

QString nodeXml(const TQRNode &node) {
    QString out = QLatin1Char('<') + node.tag;
    for (const auto &[name, value] : node.attributes)
        out += QLatin1Char(' ') + name + QStringLiteral("=\"") + escaped(value, true) + QLatin1Char('"');
    if (node.text.isEmpty() && node.children.isEmpty())
        return out + QStringLiteral("/>");
    out += QLatin1Char('>') + escaped(node.text, false);
    for (const TQRNode &child : node.children)
        out += nodeXml(child);
    return out + QStringLiteral("</") + node.tag + QLatin1Char('>');
}

// ---- property paths ----

Target resolvePath(QObject *component, const QString &path) {
    const QStringList parts = path.split(QLatin1Char('.'));
    QObject *object = component;
    for (int i = 0; i < parts.size(); ++i) {
        const QString &part = parts[i];
        if (part.isEmpty())
            throw EQRError(QStringLiteral("'%1' is not a property name").arg(path));
        const bool last = i == parts.size() - 1;
        if (last)
            if (const TQRStoredProperty *extra = TQRClassFactory::Instance().StoredProperty(object, part))
                return {object, QMetaProperty(), extra, part};
        const int index = object->metaObject()->indexOfProperty(part.toLatin1().constData());
        if (index < 0 || !ownProperty(object->metaObject()->property(index)))
            throw EQRError(QStringLiteral("unknown property"));
        const QMetaProperty p = object->metaObject()->property(index);
        if (last)
            return {object, p, nullptr, part};
        if (kindOf(p) != Kind::Object)
            throw EQRError(QStringLiteral("%1 has no properties").arg(part));
        object = p.read(object).value<QObject *>();
        if (!object)
            throw EQRError(QStringLiteral("unknown property"));
    }
    throw EQRError(QStringLiteral("unknown property"));
}

QVariant parseScalar(const QMetaProperty &p, const QString &text) {
    switch (kindOf(p)) {
    case Kind::Bool: {
        const QString t = text.trimmed();
        if (t == QLatin1String("True"))
            return true;
        if (t == QLatin1String("False"))
            return false;
        throw EQRError(QStringLiteral("'%1' is not True or False").arg(text));
    }
    case Kind::Int: {
        bool ok = false;
        const int v = text.trimmed().toInt(&ok);
        if (!ok)
            throw EQRError(QStringLiteral("'%1' is not a whole number in range").arg(text));
        return v;
    }
    case Kind::Double:
        return parseDouble(text);
    case Kind::String:
        return text;
    case Kind::DoubleList: {
        static const QRegularExpression spaces(QStringLiteral("\\s+"));
        QList<double> values;
        for (const QString &part : text.split(spaces, Qt::SkipEmptyParts))
            values << parseDouble(part);
        return QVariant::fromValue(values);
    }
    case Kind::Color: {
        const std::optional<QColor> color = colorFromName(text.trimmed());
        if (!color)
            throw EQRError(QStringLiteral("'%1' is not a colour (#RRGGBB or a colour name)").arg(text));
        return *color;
    }
    case Kind::Enum:
        return parseEnum(p, text);
    case Kind::Flags:
        return parseFlags(p, text);
    default:
        throw EQRError(QStringLiteral("a value of this kind cannot be read"));
    }
}

void writeValue(QObject *object, const QMetaProperty &p, const QVariant &value) {
    if (!p.isWritable())
        throw EQRError(QStringLiteral("the property cannot be set"));
    if (!p.write(object, value))
        throw EQRError(QStringLiteral("the value was not taken"));
}

// Sets a reference and checks the component took it (a setter refuses circles and kinds it does not hold).
void writeReference(QObject *object, const QMetaProperty &p, QObject *target) {
    const QMetaObject *wanted = p.metaType().metaObject();
    if (target && wanted && !target->metaObject()->inherits(wanted))
        throw EQRError(
            QStringLiteral("%1 is not a %2").arg(describe(target), QString::fromLatin1(wanted->className())));
    TQRControl::LastRefusal().clear();
    QObject *raw = target;
    writeValue(object, p, QVariant(p.metaType(), &raw));
    if (p.read(object).value<QObject *>() != target) {
        const QString reason = TQRControl::LastRefusal();
        throw EQRError(reason.isEmpty() ? QStringLiteral("%1 was refused").arg(describe(target)) : reason);
    }
}

QObject *findIn(const QObject *root, const QString &name) {
    if (!root || name.isEmpty())
        return nullptr;
    for (QObject *child : root->children())
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return child;
    return nullptr;
}

QObject *lookup(const QObject *root, const TQRForms *forms, const QString &name) {
    const int dot = int(name.indexOf(QLatin1Char('.')));
    if (dot < 0)
        return findIn(root, name);
    if (!forms)
        return nullptr;
    return findIn(forms->Find(name.left(dot)), name.mid(dot + 1));
}

QString referenceName(const QObject *root, const QObject *target) {
    if (!target)
        return QString();
    if (target->objectName().isEmpty())
        throw EQRError(QStringLiteral("it refers to an unnamed component"));
    const QObject *form = target->parent();
    if (form == root || !form)
        return target->objectName();
    if (form->objectName().isEmpty())
        throw EQRError(QStringLiteral("it refers to a component of an unnamed form"));
    return form->objectName() + QLatin1Char('.') + target->objectName();
}

const QRegularExpression &identifier() {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re;
}

bool alwaysStored(const QObject *object, const QString &name) {
    const QMetaObject *meta = object->metaObject();
    for (int i = 0; i < meta->classInfoCount(); ++i) {
        const QMetaClassInfo info = meta->classInfo(i);
        if (qstrcmp(info.name(), "AlwaysStored") == 0 &&
            QString::fromLatin1(info.value()).split(QLatin1Char(',')).contains(name))
            return true;
    }
    return false;
}

} // namespace streaming
