// The tool's argument reading: positional words, value options (--user U) and flags (--demo).
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;

namespace olm::admin {

struct CommandLine {
    QStringList words;               ///< positional arguments, in order
    QHash<QString, QString> values;  ///< "--user" -> "U"
    QSet<QString> flags;             ///< "--demo"

    QString value(const char *option) const { return values.value(QLatin1String(option)); }
    bool has(const char *option) const { return values.contains(QLatin1String(option)) || flags.contains(QLatin1String(option)); }
};

/// Why parser refused arguments, naming the option as it was given ("Unknown option --colour.").
QString parseErrorText(const QCommandLineParser &parser, const QStringList &arguments, const QStringList &valueOptions);

/// Reads arguments; options not in valueOptions or flagOptions are refused (*error set).
std::optional<CommandLine> readCommandLine(const QStringList &arguments, const QStringList &valueOptions,
                                           const QStringList &flagOptions, QString *error);

} // namespace olm::admin
