#include "report/engine/Streaming.h"

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

namespace {

// Elements nested deeper than this are refused: components hold at most bands and controls, and the
// reader's walk stays shallow whatever the input.
constexpr int MaxDepth = 64;
// A definition file larger than this is refused before it is read.
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

[[noreturn]] void fail(const QString &where, const QString &what, qint64 line = 0) {
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

enum class Kind { Bool, Int, Double, String, StringList, DoubleList, Color, Enum, Flags, Reference, Object, Other };

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

struct Target {
    QObject *object = nullptr;
    QMetaProperty property;
    const TQRStoredProperty *extra = nullptr;
    QString name;
};

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

// ---- reader ----

class Reader {
public:
    Reader(QObject *root, const TQRReadOptions &options) : m_root(root), m_options(options) {
        m_context.baseDir = options.baseDir;
        for (QObject *child : root->children())
            if (!child->objectName().isEmpty())
                m_names.insert(child->objectName().toUpper());
    }

    QList<QObject *> read(const TQRNode &document) {
        if (document.tag != QLatin1String("definition"))
            fail(QString(), QStringLiteral("<%1> is not a definition").arg(document.tag), document.line);
        if (!blank(document.text))
            fail(QString(), QStringLiteral("text outside the components"), document.line);
        for (const TQRNode &node : document.children) {
            if (node.tag != QLatin1String("component"))
                fail(QString(), QStringLiteral("<%1> where a component was expected").arg(node.tag), node.line);
            readComponent(node, nullptr);
        }
        resolveReferences();
        bindDataSets();
        finishLoading();
        if (m_options.openDataSets)
            openDataSets();
        return m_created;
    }

    const QList<QObject *> &created() const { return m_created; }

private:
    struct Reference {
        QObject *component;
        QObject *object;
        QMetaProperty property;
        QString path;
        QString name;
        qint64 line;
    };

    void readComponent(const TQRNode &node, TQRControl *parent) {
        const QString className = node.attribute(QStringLiteral("class"));
        const QString name = node.attribute(QStringLiteral("name"));
        const QString here = name.isEmpty() ? QStringLiteral("unnamed %1").arg(className) : name;
        for (const auto &attribute : node.attributes)
            if (attribute.first != QLatin1String("class") && attribute.first != QLatin1String("name"))
                fail(here, QStringLiteral("unknown attribute %1").arg(attribute.first), node.line);
        const TQRClassFactory::Entry *entry = TQRClassFactory::Instance().Find(className);
        if (!entry)
            fail(here, QStringLiteral("unknown class '%1'").arg(className), node.line);
        if (!name.isEmpty() && !identifier().match(name).hasMatch())
            fail(here, QStringLiteral("'%1' is not a component name").arg(name), node.line);
        if (!name.isEmpty() && m_names.contains(name.toUpper()))
            fail(here, QStringLiteral("a component named %1 exists already").arg(name), node.line);
        if (!blank(node.text))
            fail(here, QStringLiteral("text outside the properties"), node.line);

        QObject *object = entry->create(m_root);
        m_created << object;
        object->setObjectName(name);
        if (!name.isEmpty())
            m_names.insert(name.toUpper());
        auto *control = qobject_cast<TQRControl *>(object);
        if (control) {
            control->BeginLoad();
            m_loading << control;
        }
        if (parent) {
            if (!control)
                fail(here, QStringLiteral("a %1 cannot sit on %2").arg(className, describe(parent)), node.line);
            try {
                control->SetParentControl(parent);
            } catch (const EQRError &e) {
                fail(here, e.message(), node.line);
            }
        }
        for (const TQRNode &child : node.children) {
            if (child.tag == QLatin1String("property")) {
                readProperty(object, child);
            } else if (child.tag == QLatin1String("component")) {
                if (!control)
                    fail(here, QStringLiteral("a %1 holds no components").arg(className), child.line);
                readComponent(child, control);
            } else {
                fail(here, QStringLiteral("unexpected <%1> element").arg(child.tag), child.line);
            }
        }
    }

    void readProperty(QObject *component, const TQRNode &node) {
        const QString path = node.attribute(QStringLiteral("name"));
        const QString here = where(component, path);
        try {
            if (!node.hasAttribute(QStringLiteral("name")))
                throw EQRError(QStringLiteral("a property without a name"));
            const Target target = resolvePath(component, path);
            if (target.extra) {
                target.extra->read(target.object, node, m_context);
                return;
            }
            for (const auto &attribute : node.attributes)
                if (attribute.first != QLatin1String("name"))
                    throw EQRError(QStringLiteral("unknown attribute %1").arg(attribute.first));
            const QMetaProperty &p = target.property;
            const Kind kind = kindOf(p);
            if (kind == Kind::Object)
                throw EQRError(QStringLiteral("an object, not a value"));
            if (!p.isStored() || !p.isWritable())
                throw EQRError(QStringLiteral("the property is not stored"));
            if (kind == Kind::Reference) {
                m_references << Reference{component, target.object, p, path, scalarText(node).trimmed(), node.line};
                return;
            }
            if (auto *dataSet = qobject_cast<TDataSet *>(target.object);
                dataSet && target.name == QLatin1String("Active")) {
                // Opened last, once everything else is set.
                if (parseScalar(p, scalarText(node)).toBool())
                    m_active << qMakePair(dataSet, node.line);
                return;
            }
            const QVariant value =
                kind == Kind::StringList ? QVariant(itemsOf(node)) : parseScalar(p, scalarText(node));
            writeValue(target.object, p, value);
        } catch (const EQRError &e) {
            fail(here, e.message(), node.line);
        } catch (const std::exception &e) {
            fail(here, QString::fromLocal8Bit(e.what()), node.line);
        }
    }

    void resolveReferences() {
        for (const Reference &r : std::as_const(m_references)) {
            const QString here = where(r.component, r.path);
            QObject *target = nullptr;
            if (!r.name.isEmpty()) {
                target = lookup(m_root, m_options.forms, r.name);
                if (!target)
                    fail(here, QStringLiteral("no component named %1").arg(r.name), r.line);
            }
            try {
                writeReference(r.object, r.property, target);
            } catch (const EQRError &e) {
                fail(here, e.message(), r.line);
            }
        }
    }

    // Data sets of a definition read their folder, relative to the definition, through a connection of their
    // own that cannot write: a definition is outside input, and its SQL must not change any table.
    void bindDataSets() {
        for (QObject *object : std::as_const(m_created)) {
            QString name;
            if (auto *query = qobject_cast<TQuery *>(object))
                name = query->DatabaseName();
            else if (auto *table = qobject_cast<TTable *>(object))
                name = table->DatabaseName();
            else
                continue;
            const QString folder = QDir::isAbsolutePath(name) ? name : QDir(m_options.baseDir).filePath(name);
            auto *database = new TDatabase(object);
            database->SetParams({QStringLiteral("Path=") + QDir::cleanPath(folder)});
            database->SetReadOnly(true);
            if (auto *query = qobject_cast<TQuery *>(object))
                query->SetDatabase(database);
            else
                static_cast<TTable *>(object)->SetDatabase(database);
        }
    }

    void finishLoading() {
        // Everything but the reports first, so that each report orders and arranges its bands once.
        for (int pass = 0; pass < 2; ++pass)
            for (TQRControl *control : std::as_const(m_loading)) {
                const bool report = qobject_cast<TCustomDezirUzu *>(control) != nullptr;
                if (report != (pass == 1))
                    continue;
                try {
                    control->EndLoad();
                } catch (const EQRError &e) {
                    fail(describe(control), e.message());
                }
            }
    }

    void openDataSets() {
        for (const auto &[dataSet, line] : std::as_const(m_active)) {
            try {
                dataSet->Open();
            } catch (const EDatabaseError &e) {
                fail(where(dataSet, QStringLiteral("Active")), e.message(), line);
            } catch (const std::exception &e) {
                fail(where(dataSet, QStringLiteral("Active")), QString::fromLocal8Bit(e.what()), line);
            }
        }
    }

    QObject *m_root;
    const TQRReadOptions &m_options;
    TQRStreamContext m_context;
    QSet<QString> m_names;
    QList<QObject *> m_created;
    QList<TQRControl *> m_loading;
    QList<Reference> m_references;
    QList<QPair<TDataSet *, qint64>> m_active;
};

// ---- writer ----

class Writer {
public:
    Writer(const QObject *root, const QString &baseDir) : m_root(root) { m_context.baseDir = baseDir; }
    ~Writer() { qDeleteAll(m_prototypes); }

    QByteArray write() {
        QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<definition>\n");
        for (QObject *child : m_root->children()) {
            if (!isComponent(child))
                continue;
            auto *control = qobject_cast<TQRControl *>(child);
            if (control && control->ParentControl())
                continue; // written inside its parent
            writeComponent(child, 1, out);
        }
        out += QStringLiteral("</definition>\n");
        return out.toUtf8();
    }

private:
    static bool isComponent(const QObject *object) {
        return TQRClassFactory::Instance().FindFor(object->metaObject()) != nullptr ||
               qobject_cast<const TQRControl *>(object) || qobject_cast<const TDataSet *>(object);
    }

    QObject *prototype(const QObject *object) {
        const QMetaObject *meta = object->metaObject();
        if (QObject *p = m_prototypes.value(meta))
            return p;
        const TQRClassFactory::Entry *entry = TQRClassFactory::Instance().FindFor(meta);
        if (!entry)
            fail(describe(object), QStringLiteral("the class %1 is not registered for storing")
                                       .arg(QString::fromLatin1(meta->className())));
        QObject *p = entry->create(nullptr);
        m_prototypes.insert(meta, p);
        return p;
    }

    void writeComponent(const QObject *object, int depth, QString &out) {
        const QString indent(depth * 2, QLatin1Char(' '));
        const QObject *proto = prototype(object);
        QList<TQRNode> properties;
        collect(object, object, proto, QString(), properties);
        QList<const QObject *> children;
        if (auto *control = qobject_cast<const TQRControl *>(object))
            for (TQRControl *child : control->Controls())
                children << child;
        out += indent + QStringLiteral("<component class=\"") + QString::fromLatin1(object->metaObject()->className()) +
               QLatin1Char('"');
        if (!object->objectName().isEmpty())
            out += QStringLiteral(" name=\"") + escaped(object->objectName(), true) + QLatin1Char('"');
        if (properties.isEmpty() && children.isEmpty()) {
            out += QStringLiteral("/>\n");
            return;
        }
        out += QStringLiteral(">\n");
        for (const TQRNode &node : std::as_const(properties))
            out += indent + QStringLiteral("  ") + nodeXml(node) + QLatin1Char('\n');
        for (const QObject *child : std::as_const(children))
            writeComponent(child, depth + 1, out);
        out += indent + QStringLiteral("</component>\n");
    }

    void collect(const QObject *component, const QObject *object, const QObject *proto, const QString &prefix,
                 QList<TQRNode> &out) {
        const TQRClassFactory &factory = TQRClassFactory::Instance();
        QList<const TQRStoredProperty *> extras = factory.StoredProperties(object);
        const QMetaObject *meta = object->metaObject();
        for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
            const QMetaProperty p = meta->property(i);
            const QString name = QString::fromLatin1(p.name());
            const TQRStoredProperty *extra = nullptr;
            for (const TQRStoredProperty *e : std::as_const(extras))
                if (e->name == name)
                    extra = e;
            if (extra) {
                extras.removeAll(extra);
                writeExtra(component, object, *extra, prefix, out);
                continue;
            }
            if (!p.isStored() || !factory.StoredNow(object, name))
                continue;
            const Kind kind = kindOf(p);
            if (kind == Kind::Object) {
                const QObject *sub = p.read(object).value<QObject *>();
                const QObject *protoSub = proto ? p.read(proto).value<QObject *>() : nullptr;
                if (sub)
                    collect(component, sub, protoSub, prefix + name + QLatin1Char('.'), out);
                continue;
            }
            if (!p.isWritable())
                continue;
            bool differs = !proto || !sameValue(p, object, proto);
            for (const QString &other : factory.StoredTogether(object, name)) {
                const QMetaProperty q = meta->property(meta->indexOfProperty(other.toLatin1().constData()));
                differs = differs || !proto || !sameValue(q, object, proto);
            }
            if (!differs && !alwaysStored(object, name))
                continue;
            try {
                TQRNode node = valueNode(p, p.read(object));
                node.setAttribute(QStringLiteral("name"), prefix + name);
                nodeXml(node); // refuses what cannot be stored, here where the property is known
                out << node;
            } catch (const EQRError &e) {
                fail(where(component, prefix + name), e.message());
            }
        }
        for (const TQRStoredProperty *extra : std::as_const(extras))
            writeExtra(component, object, *extra, prefix, out);
    }

    void writeExtra(const QObject *component, const QObject *object, const TQRStoredProperty &extra,
                    const QString &prefix, QList<TQRNode> &out) {
        try {
            std::optional<TQRNode> node = extra.write(object, m_context);
            if (!node)
                return;
            node->tag = QStringLiteral("property");
            node->attributes.removeIf([](const auto &a) { return a.first == QLatin1String("name"); });
            node->attributes.prepend({QStringLiteral("name"), prefix + extra.name});
            nodeXml(*node); // refuses what cannot be stored, here where the property is known
            out << *node;
        } catch (const EQRError &e) {
            fail(where(component, prefix + extra.name), e.message());
        }
    }

    static bool sameValue(const QMetaProperty &p, const QObject *a, const QObject *b) {
        if (kindOf(p) == Kind::Reference)
            return p.read(a).value<QObject *>() == p.read(b).value<QObject *>();
        return p.read(a) == p.read(b);
    }

    TQRNode valueNode(const QMetaProperty &p, const QVariant &value) const {
        TQRNode node;
        node.tag = QStringLiteral("property");
        switch (kindOf(p)) {
        case Kind::Bool:
            node.text = value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
            break;
        case Kind::Int:
            node.text = QString::number(value.toInt());
            break;
        case Kind::Double:
            node.text = numberText(value.toDouble());
            break;
        case Kind::String:
            node.text = value.toString();
            break;
        case Kind::StringList:
            for (const QString &item : value.toStringList())
                node.children << TQRNode{QStringLiteral("item"), {}, item, {}, 0};
            break;
        case Kind::DoubleList: {
            QStringList parts;
            for (double v : value.value<QList<double>>())
                parts << lengthText(v);
            node.text = parts.join(QLatin1Char(' '));
            break;
        }
        case Kind::Color:
            node.text = colorName(value.value<QColor>());
            break;
        case Kind::Enum:
        case Kind::Flags:
            node.text = enumText(p, value);
            break;
        case Kind::Reference:
            node.text = referenceName(m_root, value.value<QObject *>());
            break;
        default:
            throw EQRError(QStringLiteral("a value of this kind cannot be stored"));
        }
        return node;
    }

    const QObject *m_root;
    TQRStreamContext m_context;
    QHash<const QMetaObject *, QObject *> m_prototypes;
};

// ---- stored properties of the engine's classes ----

// clang-format off
const char *const fieldTypeNames[] = {
    "ftUnknown", "ftString", "ftSmallint", "ftInteger", "ftWord", "ftAutoInc", "ftLargeint", "ftBoolean",
    "ftFloat", "ftCurrency", "ftBCD", "ftFMTBcd", "ftDate", "ftTime", "ftDateTime", "ftTimeStamp", "ftMemo",
    "ftBlob", "ftGraphic", "ftBytes"};
// clang-format on

std::optional<TFieldType> fieldTypeOfName(const QString &name) {
    for (int i = 0; i < int(std::size(fieldTypeNames)); ++i)
        if (name == QLatin1String(fieldTypeNames[i]))
            return TFieldType(i);
    return std::nullopt;
}

QVariant paramValue(TFieldType type, const QString &text) {
    if (isIntegerType(type)) {
        bool ok = false;
        const qint64 v = text.trimmed().toLongLong(&ok);
        if (!ok)
            throw EQRError(QStringLiteral("'%1' is not a whole number").arg(text));
        return v;
    }
    if (isFloatType(type))
        return parseDouble(text);
    if (type == ftBoolean) {
        if (text.trimmed() == QLatin1String("True"))
            return true;
        if (text.trimmed() == QLatin1String("False"))
            return false;
        throw EQRError(QStringLiteral("'%1' is not True or False").arg(text));
    }
    return text;
}

QString paramText(const QVariant &value) {
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return numberText(value.toDouble());
    default:
        return value.toString();
    }
}

// Data sets have no Tag of their own; a definition stores one on every component.
TQRStoredProperty dataSetTag() {
    TQRStoredProperty tag;
    tag.name = QStringLiteral("Tag");
    tag.read = [](QObject *object, const TQRNode &node, TQRStreamContext &) {
        bool ok = false;
        const int value = scalarText(node).trimmed().toInt(&ok);
        if (!ok)
            throw EQRError(QStringLiteral("'%1' is not a whole number in range").arg(node.text));
        object->setProperty("Tag", value);
    };
    tag.write = [](const QObject *object, TQRStreamContext &) -> std::optional<TQRNode> {
        const int value = object->property("Tag").toInt();
        if (!value)
            return std::nullopt;
        return TQRNode{QStringLiteral("property"), {}, QString::number(value), {}, 0};
    };
    return tag;
}

TQRStoredProperty queryParams() {
    TQRStoredProperty params;
    params.name = QStringLiteral("Params");
    params.read = [](QObject *object, const TQRNode &node, TQRStreamContext &) {
        auto *query = static_cast<TQuery *>(object);
        if (!blank(node.text))
            throw EQRError(QStringLiteral("Params takes <param> elements"));
        for (const TQRNode &child : node.children) {
            if (child.tag != QLatin1String("param") || !child.children.isEmpty())
                throw EQRError(QStringLiteral("Params takes <param> elements, not <%1>").arg(child.tag));
            const QString name = child.attribute(QStringLiteral("name"));
            TParam *param = query->FindParam(name);
            if (!param)
                throw EQRError(QStringLiteral("the SQL has no parameter '%1'").arg(name));
            TFieldType type = param->DataType();
            for (const auto &[key, value] : child.attributes) {
                if (key == QLatin1String("type")) {
                    const std::optional<TFieldType> t = fieldTypeOfName(value);
                    if (!t)
                        throw EQRError(QStringLiteral("'%1' is not a field type").arg(value));
                    type = *t;
                } else if (key != QLatin1String("name")) {
                    throw EQRError(QStringLiteral("unknown attribute %1").arg(key));
                }
            }
            param->SetDataType(type);
            if (!child.text.isEmpty())
                param->SetValue(paramValue(type, child.text));
            param->SetDataType(type);
        }
    };
    params.write = [](const QObject *object, TQRStreamContext &) -> std::optional<TQRNode> {
        auto *query = static_cast<const TQuery *>(object);
        TQRNode node;
        for (const TParam &param : query->ParamList()) {
            if (param.DataType() == ftUnknown && param.IsNull())
                continue;
            TQRNode child{QStringLiteral("param"), {}, QString(), {}, 0};
            child.setAttribute(QStringLiteral("name"), param.Name());
            if (param.DataType() != ftUnknown && int(param.DataType()) < int(std::size(fieldTypeNames)))
                child.setAttribute(QStringLiteral("type"), QString::fromLatin1(fieldTypeNames[param.DataType()]));
            if (!param.IsNull())
                child.text = paramText(param.Value());
            node.children << child;
        }
        if (node.children.isEmpty())
            return std::nullopt;
        return node;
    };
    return params;
}

} // namespace

// ---- TQRNode ----

QString TQRNode::attribute(const QString &name) const {
    for (const auto &[key, value] : attributes)
        if (key == name)
            return value;
    return QString();
}

bool TQRNode::hasAttribute(const QString &name) const {
    for (const auto &attribute : attributes)
        if (attribute.first == name)
            return true;
    return false;
}

void TQRNode::setAttribute(const QString &name, const QString &value) {
    for (auto &attribute : attributes)
        if (attribute.first == name) {
            attribute.second = value;
            return;
        }
    attributes.append({name, value});
}

// ---- TQRClassFactory ----

TQRClassFactory &TQRClassFactory::Instance() {
    static TQRClassFactory factory;
    return factory;
}

void TQRClassFactory::Register(const QMetaObject *meta, Create create) {
    const QString name = QString::fromLatin1(meta->className());
    m_entries.insert(name, Entry{name, meta, std::move(create)});
}

void TQRClassFactory::AddStoredProperty(const QMetaObject *meta, TQRStoredProperty property) {
    for (auto &extra : m_extras)
        if (extra.first == meta && extra.second.name == property.name) {
            extra.second = std::move(property);
            return;
        }
    m_extras.append({meta, std::move(property)});
}

void TQRClassFactory::SetStoredIf(const QMetaObject *meta, const QString &property,
                                  std::function<bool(const QObject *)> stored) {
    m_storedIf.append({meta, property, std::move(stored)});
}

void TQRClassFactory::SetStoredTogether(const QMetaObject *meta, const QStringList &properties) {
    m_together.append({meta, properties});
}

const TQRClassFactory::Entry *TQRClassFactory::Find(const QString &className) const {
    auto it = m_entries.constFind(className);
    return it == m_entries.cend() ? nullptr : &it.value();
}

const TQRClassFactory::Entry *TQRClassFactory::FindFor(const QMetaObject *meta) const {
    const Entry *entry = Find(QString::fromLatin1(meta->className()));
    return entry && entry->meta == meta ? entry : nullptr;
}

QList<const TQRStoredProperty *> TQRClassFactory::StoredProperties(const QObject *object) const {
    QList<const TQRStoredProperty *> result;
    for (const auto &extra : m_extras)
        if (object->metaObject()->inherits(extra.first))
            result << &extra.second;
    return result;
}

const TQRStoredProperty *TQRClassFactory::StoredProperty(const QObject *object, const QString &name) const {
    for (const TQRStoredProperty *extra : StoredProperties(object))
        if (extra->name == name)
            return extra;
    return nullptr;
}

bool TQRClassFactory::StoredNow(const QObject *object, const QString &property) const {
    for (const auto &[meta, name, stored] : m_storedIf)
        if (name == property && object->metaObject()->inherits(meta) && !stored(object))
            return false;
    return true;
}

QStringList TQRClassFactory::StoredTogether(const QObject *object, const QString &property) const {
    for (const auto &[meta, names] : m_together)
        if (names.contains(property) && object->metaObject()->inherits(meta)) {
            QStringList others = names;
            others.removeAll(property);
            return others;
        }
    return {};
}

void RegisterEngineClasses() {
    static const bool registered = [] {
        TQRClassFactory &factory = TQRClassFactory::Instance();
        factory.Register<TDezirUzu>();
        factory.Register<TQRBand>();
        factory.Register<TQRChildBand>();
        factory.Register<TQRGroup>();
        factory.Register<TQRSubDetail>();
        factory.Register<TQuery>();
        factory.Register<TTable>();
        factory.AddStoredProperty(&TDataSet::staticMetaObject, dataSetTag());
        factory.AddStoredProperty(&TQuery::staticMetaObject, queryParams());
        // A band that takes its report's font stores none of its own.
        factory.SetStoredIf(&TQRCustomBand::staticMetaObject, QStringLiteral("Font"),
                            [](const QObject *o) { return !static_cast<const TQRCustomBand *>(o)->ParentFont(); });
        // A font's height is another way to give its size.
        factory.SetStoredIf(&TQRFont::staticMetaObject, QStringLiteral("Height"),
                            [](const QObject *) { return false; });
        // The expressions belong to the names: a change of either stores both.
        factory.SetStoredTogether(&TQREvEnvironment::staticMetaObject,
                                  {QStringLiteral("Strings"), QStringLiteral("DATA")});
        return true;
    }();
    Q_UNUSED(registered);
}

// ---- reading and writing ----

QList<QObject *> ReadDefinition(QObject *root, const QByteArray &xml, const TQRReadOptions &options) {
    RegisterEngineClasses();
    const TQRNode document = parseXml(xml);
    Reader reader(root, options);
    try {
        return reader.read(document);
    } catch (...) {
        // Nothing of a definition that cannot be read stays behind.
        const QList<QObject *> made = reader.created();
        QList<QPointer<QObject>> guarded(made.cbegin(), made.cend());
        for (const QPointer<QObject> &object : std::as_const(guarded))
            delete object.data();
        throw;
    }
}

QByteArray WriteDefinition(const QObject *root, const QString &baseDir) {
    RegisterEngineClasses();
    return Writer(root, baseDir).write();
}

std::unique_ptr<TQRDefinition> LoadDefinition(const QString &fileName, const TQRForms *forms, bool openDataSets) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EQRError(QStringLiteral("%1: %2").arg(fileName, file.errorString()));
    if (file.size() > MaxFileSize)
        throw EQRError(QStringLiteral("%1: larger than a definition can be").arg(fileName));
    const QByteArray xml = file.readAll();
    auto root = std::make_unique<TQRDefinition>();
    root->setObjectName(QFileInfo(fileName).completeBaseName());
    TQRReadOptions options;
    options.baseDir = QFileInfo(fileName).absolutePath();
    options.forms = forms;
    options.openDataSets = openDataSets;
    ReadDefinition(root.get(), xml, options);
    return root;
}

void SaveDefinition(const QObject *root, const QString &fileName) {
    const QByteArray bytes = WriteDefinition(root, QFileInfo(fileName).absolutePath());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EQRError(QStringLiteral("%1: %2").arg(fileName, file.errorString()));
}

QObject *FindComponent(const QObject *root, const QString &name) {
    return findIn(root, name);
}

QString PropertyText(QObject *component, const QString &path, std::optional<TQRUnit> units) {
    RegisterEngineClasses();
    try {
        const Target target = resolvePath(component, path);
        if (target.extra) {
            TQRStreamContext context;
            const std::optional<TQRNode> node = target.extra->write(target.object, context);
            if (!node)
                return QString();
            QString text = node->text;
            for (const TQRNode &child : node->children)
                text += nodeXml(child);
            return text;
        }
        const QMetaProperty &p = target.property;
        const Kind kind = kindOf(p);
        if (kind == Kind::Object)
            throw EQRError(QStringLiteral("an object, not a value"));
        QVariant value;
        auto *holder = qobject_cast<TQRUnitBase *>(target.object);
        if (units && holder && kind == Kind::Double) {
            const TQRUnit saved = holder->Units();
            holder->TQRUnitBase::SetUnits(*units);
            value = p.read(target.object);
            holder->TQRUnitBase::SetUnits(saved);
        } else {
            value = p.read(target.object);
        }
        switch (kind) {
        case Kind::Bool:
            return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case Kind::Double:
            return numberText(value.toDouble());
        case Kind::StringList:
            return value.toStringList().join(QLatin1Char('\n'));
        case Kind::DoubleList: {
            QStringList parts;
            for (double v : value.value<QList<double>>())
                parts << lengthText(v);
            return parts.join(QLatin1Char(' '));
        }
        case Kind::Color:
            return colorName(value.value<QColor>());
        case Kind::Enum:
        case Kind::Flags:
            return enumText(p, value);
        case Kind::Reference: {
            const QObject *target = value.value<QObject *>();
            return target ? target->objectName() : QString();
        }
        default:
            return value.toString();
        }
    } catch (const EQRError &e) {
        fail(where(component, path), e.message());
    }
}

void SetPropertyText(QObject *root, QObject *component, const QString &path, const QString &text,
                     const TQRForms *forms) {
    RegisterEngineClasses();
    try {
        const Target target = resolvePath(component, path);
        if (target.extra) {
            TQRNode node{QStringLiteral("property"), {{QStringLiteral("name"), path}}, text, {}, 0};
            TQRStreamContext context;
            target.extra->read(target.object, node, context);
            return;
        }
        const QMetaProperty &p = target.property;
        switch (kindOf(p)) {
        case Kind::Object:
            throw EQRError(QStringLiteral("an object, not a value"));
        case Kind::Reference: {
            QObject *referenced = nullptr;
            if (!text.trimmed().isEmpty()) {
                referenced = lookup(root, forms, text.trimmed());
                if (!referenced)
                    throw EQRError(QStringLiteral("no component named %1").arg(text.trimmed()));
            }
            writeReference(target.object, p, referenced);
            return;
        }
        case Kind::StringList:
            writeValue(target.object, p, text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n')));
            return;
        default:
            writeValue(target.object, p, parseScalar(p, text));
        }
    } catch (const EQRError &e) {
        fail(where(component, path), e.message());
    } catch (const std::exception &e) {
        fail(where(component, path), QString::fromLocal8Bit(e.what()));
    }
}
