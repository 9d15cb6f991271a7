#include "report/engine/Streaming.h"
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

using namespace streaming;

namespace {

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

} // namespace

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
