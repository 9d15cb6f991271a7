#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <stdexcept>

/// The `tavik` command-line tool: each verb is a function registered under its name ("init", "qrp info").
/// A verb returns the exit status; a CliError (or any data-layer error) ends it with status 1 and its text
/// as the one line on stderr.
namespace cli {

class CliError : public std::runtime_error {
public:
    explicit CliError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

using VerbFunction = int (*)(const QStringList &args);

struct Verb {
    QString usage;
    VerbFunction function;
};
/// Every registered verb by name.
std::map<QString, Verb> &verbs();

/// Registers a verb; `usage` is its one-line synopsis for `tavik --help`.
struct VerbRegistrar {
    VerbRegistrar(const char *name, const char *usage, VerbFunction function);
};

/// Writes a line to stdout (UTF-8).
void out(const QString &line);
/// Writes raw bytes to stdout.
void outRaw(const QByteArray &bytes);
/// Writes a line to stderr (UTF-8).
void err(const QString &line);

/// Simple argument reading: positional arguments and --options, in any order.
class Args {
public:
    Args(const QStringList &args, const QStringList &flags, const QStringList &valueOptions);
    /// The positional arguments.
    const QStringList &positional() const { return m_positional; }
    QString positional(int i, const char *what) const;
    bool flag(const QString &name) const { return m_flags.contains(name); }
    bool has(const QString &name) const;
    QString value(const QString &name, const QString &fallback = {}) const;
    /// Every value of a repeatable option, in order.
    QStringList values(const QString &name) const;
    int intValue(const QString &name, int fallback) const;
    void expectPositional(int min, int max, const char *usage) const;

private:
    QStringList m_positional;
    QStringList m_flags;
    QList<QPair<QString, QString>> m_values;
};

/// The folder `<dir>/Help` (found regardless of case); raises when DIR is not a folder.
QString helpFolder(const QString &dir);

} // namespace cli

#define TAVIK_CLI_CONCAT2(a, b) a##b
#define TAVIK_CLI_CONCAT(a, b) TAVIK_CLI_CONCAT2(a, b)
/// TAVIK_VERB("name", "usage", function)
#define TAVIK_VERB(name, usage, function)                                                                              \
    static const ::cli::VerbRegistrar TAVIK_CLI_CONCAT(tavikVerb_, __LINE__)(name, usage, function)
