// The tool's argument reading: positional words, value options (--user U) and flags (--demo).
#pragma once

#include <QDateTime>
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

/// DATE of a --since filter: YYYY-MM-DD HH:MM, or YYYY-MM-DD for the start of that day; nothing with *error set.
std::optional<QDateTime> readSince(const QString &text, QString *error);
/// ID of a --row filter; nothing with *error set.
std::optional<qint64> readRowId(const QString &text, QString *error);

/// Why parser refused arguments, naming the option as it was given ("Unknown option --colour.").
QString parseErrorText(const QCommandLineParser &parser, const QStringList &arguments, const QStringList &valueOptions);

/// Reads arguments; options not in valueOptions or flagOptions are refused (*error set).
std::optional<CommandLine> readCommandLine(const QStringList &arguments, const QStringList &valueOptions,
                                           const QStringList &flagOptions, QString *error);

} // namespace olm::admin
