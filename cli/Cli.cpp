#include "cli/Cli.h"

#include "store/Database.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <map>
#include <string>

namespace cli {

std::map<QString, Verb> &verbs() {
    static std::map<QString, Verb> map;
    return map;
}

VerbRegistrar::VerbRegistrar(const char *name, const char *usage, VerbFunction function) {
    verbs()[QString::fromUtf8(name)] = Verb{QString::fromUtf8(usage), function};
}

void out(const QString &line) {
    const QByteArray b = line.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
    std::fputc('\n', stdout);
}

void outRaw(const QByteArray &bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void err(const QString &line) {
    QString one = line;
    one.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray b = one.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
    std::fputc('\n', stderr);
}

Args::Args(const QStringList &args, const QStringList &flags, const QStringList &valueOptions) {
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            QString name = a.mid(2);
            QString value;
            const int eq = int(name.indexOf(QLatin1Char('=')));
            if (eq >= 0) {
                value = name.mid(eq + 1);
                name = name.left(eq);
                if (!valueOptions.contains(name))
                    throw CliError(QStringLiteral("unknown option --%1").arg(name));
                m_values.append({name, value});
                continue;
            }
            if (flags.contains(name)) {
                m_flags << name;
            } else if (valueOptions.contains(name)) {
                if (i + 1 >= args.size())
                    throw CliError(QStringLiteral("option --%1 needs a value").arg(name));
                m_values.append({name, args[++i]});
            } else {
                throw CliError(QStringLiteral("unknown option --%1").arg(name));
            }
        } else {
            m_positional << a;
        }
    }
}

QString Args::positional(int i, const char *what) const {
    if (i >= m_positional.size())
        throw CliError(QStringLiteral("missing %1").arg(QString::fromUtf8(what)));
    return m_positional[i];
}

bool Args::has(const QString &name) const {
    for (const auto &v : m_values)
        if (v.first == name)
            return true;
    return false;
}

QString Args::value(const QString &name, const QString &fallback) const {
    QString result = fallback;
    for (const auto &v : m_values)
        if (v.first == name)
            result = v.second;
    return result;
}

QStringList Args::values(const QString &name) const {
    QStringList result;
    for (const auto &v : m_values)
        if (v.first == name)
            result << v.second;
    return result;
}

int Args::intValue(const QString &name, int fallback) const {
    if (!has(name))
        return fallback;
    bool ok = false;
    const int n = value(name).toInt(&ok);
    if (!ok)
        throw CliError(QStringLiteral("--%1 takes a whole number, not '%2'").arg(name, value(name)));
    return n;
}

void Args::expectPositional(int min, int max, const char *usage) const {
    if (m_positional.size() < min || (max >= 0 && m_positional.size() > max))
        throw CliError(QStringLiteral("usage: tavik %1").arg(QString::fromUtf8(usage)));
}

QString helpFolder(const QString &dir) {
    if (!QFileInfo(dir).isDir())
        throw CliError(QStringLiteral("%1: folder not found").arg(dir));
    return resolvePathIgnoringCase(QFileInfo(dir).absoluteFilePath(), QStringLiteral("Help"));
}

} // namespace cli
