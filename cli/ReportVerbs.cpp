// The report verbs: a stored definition loaded as the engine loads it, its components, bands and controls,
// its properties read and set through the reader's property layer, and the definition written back.
#include "cli/Cli.h"

#include "report/engine/QRReport.h"
#include "report/engine/Streaming.h"

#include <QFileInfo>
#include <QMetaEnum>

using namespace cli;

namespace {

const char kShowUsage[] = "report show DEF";
const char kPropsUsage[] = "report props DEF [--set NAME.PROP=VALUE]... [--units U] --get NAME.PROP...";
const char kSaveUsage[] = "report save DEF OUT.qrx";

std::unique_ptr<TQRDefinition> load(const QString &file, bool openDataSets) {
    if (!QFileInfo(file).isFile())
        throw CliError(QStringLiteral("%1: file not found").arg(file));
    return LoadDefinition(file, nullptr, openDataSets);
}

QString nameOf(const QObject *object) {
    return object && !object->objectName().isEmpty() ? object->objectName() : QStringLiteral("-");
}

QString bounds(const TQRControl &control) {
    return QStringLiteral("%1\t%2\t%3\t%4")
        .arg(control.Left())
        .arg(control.Top())
        .arg(control.Width())
        .arg(control.Height());
}

// Values travel on one line: backslash, newline, carriage return and tab are written as \\, \n, \r, \t.
QString escapeValue(const QString &text) {
    QString out;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescapeValue(const QString &text) {
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\\') || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else
            out += next;
    }
    return out;
}

// NAME.PROP: the component of the definition and the property path below it.
QPair<QObject *, QString> componentProperty(const TQRDefinition &root, const QString &path) {
    const int dot = int(path.indexOf(QLatin1Char('.')));
    if (dot <= 0 || dot == path.size() - 1)
        throw CliError(QStringLiteral("'%1' is not NAME.PROP").arg(path));
    QObject *component = FindComponent(&root, path.left(dot));
    if (!component)
        throw CliError(QStringLiteral("no component named %1").arg(path.left(dot)));
    return {component, path.mid(dot + 1)};
}

int showVerb(const QStringList &argv) {
    const Args args(argv, {}, {});
    args.expectPositional(1, 1, kShowUsage);
    const std::unique_ptr<TQRDefinition> root = load(args.positional(0, "DEF"), true);
    QList<TCustomDezirUzu *> reports;
    QList<TQRPrintable *> printables;
    for (QObject *component : root->children()) {
        const auto *control = qobject_cast<TQRControl *>(component);
        out(QStringLiteral("component\t%1\t%2\t%3")
                .arg(QString::fromLatin1(component->metaObject()->className()), nameOf(component),
                     nameOf(control ? control->ParentControl() : nullptr)));
        if (auto *report = qobject_cast<TCustomDezirUzu *>(component))
            reports << report;
        if (auto *printable = qobject_cast<TQRPrintable *>(component))
            printables << printable;
    }
    const QMetaEnum types = QMetaEnum::fromType<TQRBandType>();
    for (TCustomDezirUzu *report : std::as_const(reports)) {
        report->OrderBands();
        report->ArrangeBands();
        for (const TQRCustomBand *band : report->OrderedBands())
            out(QStringLiteral("band\t%1\t%2\t%3")
                    .arg(nameOf(band), QString::fromLatin1(types.valueToKey(band->BandType())), bounds(*band)));
    }
    for (const TQRPrintable *printable : std::as_const(printables))
        out(QStringLiteral("control\t%1\t%2").arg(nameOf(printable), bounds(*printable)));
    return 0;
}

int propsVerb(const QStringList &argv) {
    const Args args(argv, {}, {QStringLiteral("set"), QStringLiteral("get"), QStringLiteral("units")});
    args.expectPositional(1, 1, kPropsUsage);
    const QStringList gets = args.values(QStringLiteral("get"));
    if (gets.isEmpty())
        throw CliError(QStringLiteral("usage: tavik %1").arg(QString::fromLatin1(kPropsUsage)));
    std::optional<TQRUnit> units;
    if (args.has(QStringLiteral("units"))) {
        const QString name = args.value(QStringLiteral("units"));
        bool ok = false;
        const int value = QMetaEnum::fromType<TQRUnit>().keyToValue(name.toLatin1().constData(), &ok);
        if (!ok)
            throw CliError(
                QStringLiteral("--units takes MM, Inches, Pixels, Characters or Native, not '%1'").arg(name));
        units = TQRUnit(value);
    }
    const std::unique_ptr<TQRDefinition> root = load(args.positional(0, "DEF"), true);
    for (const QString &set : args.values(QStringLiteral("set"))) {
        const int eq = int(set.indexOf(QLatin1Char('=')));
        if (eq < 0)
            throw CliError(QStringLiteral("--set takes NAME.PROP=VALUE, not '%1'").arg(set));
        const auto [component, property] = componentProperty(*root, set.left(eq));
        SetPropertyText(root.get(), component, property, unescapeValue(set.mid(eq + 1)));
    }
    for (const QString &get : gets) {
        const auto [component, property] = componentProperty(*root, get);
        out(get + QLatin1Char('\t') + escapeValue(PropertyText(component, property, units)));
    }
    return 0;
}

int saveVerb(const QStringList &argv) {
    const Args args(argv, {}, {});
    args.expectPositional(2, 2, kSaveUsage);
    // Writing a definition back needs none of its data.
    const std::unique_ptr<TQRDefinition> root = load(args.positional(0, "DEF"), false);
    SaveDefinition(root.get(), args.positional(1, "OUT.qrx"));
    return 0;
}

} // namespace

TAVIK_VERB("report show", kShowUsage, showVerb);
TAVIK_VERB("report props", kPropsUsage, propsVerb);
TAVIK_VERB("report save", kSaveUsage, saveVerb);
