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
