#pragma once

#include "report/engine/QRTypes.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

/// The root of a report definition (the form): it owns every component of the definition, in document
/// order. Its object name is the form's name, by which other definitions refer to its components.
class TQRDefinition : public QObject {
    Q_OBJECT
public:
    explicit TQRDefinition(QObject *parent = nullptr) : QObject(parent) {}
};

/// One element of a stored definition, as read or about to be written.
struct TQRNode {
    QString tag;
    QList<QPair<QString, QString>> attributes;
    /// Character data directly inside the element.
    QString text;
    QList<TQRNode> children;
    qint64 line = 0;

    QString attribute(const QString &name) const;
    bool hasAttribute(const QString &name) const;
    void setAttribute(const QString &name, const QString &value);
};

/// What a read or write of one definition knows: the definition's folder, for files beside it.
struct TQRStreamContext {
    QString baseDir;
};

/// A stored property a class adds to its Q_PROPERTYs ("FontSize" of labels, a query's typed "Params"). One
/// with the name of a Q_PROPERTY takes its place.
struct TQRStoredProperty {
    QString name;
    /// Reads the property from its element; EQRError for a value it cannot take.
    std::function<void(QObject *object, const TQRNode &element, TQRStreamContext &context)> read;
    /// The element to write (the writer names it), or none when the property keeps its default.
    std::function<std::optional<TQRNode>(const QObject *object, TQRStreamContext &context)> write;
};

/// The classes a definition can name, with how to make them and what they store besides their
/// Q_PROPERTYs. Higher layers register their classes (controls) before reading definitions that use them.
class TQRClassFactory {
public:
    using Create = std::function<QObject *(QObject *owner)>;
    struct Entry {
        QString name;
        const QMetaObject *meta = nullptr;
        Create create;
    };

    static TQRClassFactory &Instance();

    /// Registers a class under its class name; a second registration replaces the first.
    void Register(const QMetaObject *meta, Create create);
    template <class T> void Register() {
        Register(&T::staticMetaObject, [](QObject *owner) -> QObject * { return new T(owner); });
    }
    /// Adds a stored property to a class and its descendants.
    void AddStoredProperty(const QMetaObject *meta, TQRStoredProperty property);
    /// Stores a property of a class and its descendants only while `stored` says so.
    void SetStoredIf(const QMetaObject *meta, const QString &property, std::function<bool(const QObject *)> stored);
    /// Properties of a class that are written together when any of them differs from its default
    /// (an environment's "Strings" and "DATA").
    void SetStoredTogether(const QMetaObject *meta, const QStringList &properties);

    const Entry *Find(const QString &className) const;
    /// The entry of exactly this class, or none.
    const Entry *FindFor(const QMetaObject *meta) const;
    /// The stored properties added to the class of `object` and its ancestors.
    QList<const TQRStoredProperty *> StoredProperties(const QObject *object) const;
    const TQRStoredProperty *StoredProperty(const QObject *object, const QString &name) const;
    /// Whether a Q_PROPERTY of the object is stored at all (a condition registered for it holds).
    bool StoredNow(const QObject *object, const QString &property) const;
    QStringList StoredTogether(const QObject *object, const QString &property) const;

private:
    QMap<QString, Entry> m_entries;
    QList<QPair<const QMetaObject *, TQRStoredProperty>> m_extras;
    QList<std::tuple<const QMetaObject *, QString, std::function<bool(const QObject *)>>> m_storedIf;
    QList<QPair<const QMetaObject *, QStringList>> m_together;
};

/// Registers the engine's own stored classes (reports, bands, groups, sub-details, queries, tables); safe to
/// call more than once.
void RegisterEngineClasses();

/// The forms whose components a definition may refer to as Form.Name.
class TQRForms {
public:
    void Add(QObject *form) { Add(form->objectName(), form); }
    /// Registers an object whose children stand for a form's components under the form's name.
    void Add(const QString &name, QObject *form) { m_forms.insert(name.toUpper(), form); }
    QObject *Find(const QString &name) const { return m_forms.value(name.toUpper()); }

private:
    QHash<QString, QPointer<QObject>> m_forms;
};

struct TQRReadOptions {
    /// The folder relative names in the definition start from (data folders, pictures).
    QString baseDir;
    const TQRForms *forms = nullptr;
    /// Opens the data sets stored as active (after everything else is set).
    bool openDataSets = true;
};

/// Reads a definition into `root`, which owns every component made, in document order. References are
/// resolved once everything is read, then components finish loading (sizes pushed, bands ordered and
/// arranged) and data sets stored as active are opened. A definition is outside input: any fault raises
/// EQRError naming the component and property, and the components made so far are freed again. Returns
/// the components made.
QList<QObject *> ReadDefinition(QObject *root, const QByteArray &xml, const TQRReadOptions &options = {});
/// The definition of the components of `root` (components nest inside their visual parents, in print
/// order; properties equal to their defaults are left out). EQRError for what cannot be stored.
QByteArray WriteDefinition(const QObject *root, const QString &baseDir = {});

/// Reads a definition file into a new root named after the file.
std::unique_ptr<TQRDefinition> LoadDefinition(const QString &fileName, const TQRForms *forms = nullptr,
                                              bool openDataSets = true);
/// Writes the definition of `root` to a file (replaced only once the whole text is written).
void SaveDefinition(const QObject *root, const QString &fileName);

/// The components of a root by name (ignoring case), or none.
QObject *FindComponent(const QObject *root, const QString &name);

/// Reads a property by its dotted path ("Page.Width", "Size.Values", "Font.Name") as text, the way a
/// definition stores it; lengths of size holders in `units` when given, else in the holder's unit.
/// EQRError for a path that names no value.
QString PropertyText(QObject *component, const QString &path, std::optional<TQRUnit> units = std::nullopt);
/// Sets a property by its dotted path from text, through the same setters as the reader; references name
/// components of `root` or of `forms`. EQRError for a path or value that cannot be taken.
void SetPropertyText(QObject *root, QObject *component, const QString &path, const QString &text,
                     const TQRForms *forms = nullptr);
