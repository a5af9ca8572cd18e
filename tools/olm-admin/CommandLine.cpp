// Argument reading for olm-admin, on Qt's command-line parser: "--name value", "--name=value", and "--" before
// words that start with a dash.
#include "CommandLine.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace olm::admin {

namespace {

// The parser reports a missing value only in its own words; this names the option as the caller spelled it.
QString optionWithoutValue(const QStringList &arguments, const QStringList &valueOptions)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--"))
            break;
        if (valueOptions.contains(arguments.at(i)) && i + 1 == arguments.size())
            return arguments.at(i);
    }
    return {};
}

QString spelledAsGiven(const QStringList &arguments, const QString &name)
{
    for (const QString &argument : arguments) {
        if (argument.section(QLatin1Char('='), 0, 0).remove(QRegularExpression(QStringLiteral("^-+"))) == name)
            return argument.section(QLatin1Char('='), 0, 0);
    }
    return QStringLiteral("--") + name;
}

} // namespace

QString parseErrorText(const QCommandLineParser &parser, const QStringList &arguments, const QStringList &valueOptions)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("Unknown option %1.").arg(spelledAsGiven(arguments, unknown.first()));
    const QString missing = optionWithoutValue(arguments, valueOptions);
    return missing.isEmpty() ? parser.errorText() : QStringLiteral("%1 needs a value.").arg(missing);
}

std::optional<CommandLine> readCommandLine(const QStringList &arguments, const QStringList &valueOptions,
                                           const QStringList &flagOptions, QString *error)
{
    QCommandLineParser parser;
    // -name is --name: the tool has no one-letter options to bundle.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QString &option : valueOptions)
        parser.addOption(QCommandLineOption(option.mid(2), QString(), QStringLiteral("value")));
    for (const QString &option : flagOptions)
        parser.addOption(QCommandLineOption(option.mid(2)));
    if (!parser.parse(QStringList{QStringLiteral("olm-admin")} + arguments)) {
        *error = parseErrorText(parser, arguments, valueOptions);
        return std::nullopt;
    }
    CommandLine line;
    line.words = parser.positionalArguments();
    for (const QString &option : valueOptions) {
        if (parser.isSet(option.mid(2)))
            line.values.insert(option, parser.value(option.mid(2)));
    }
    for (const QString &option : flagOptions) {
        if (parser.isSet(option.mid(2)))
            line.flags.insert(option);
    }
    return line;
}

std::optional<QDateTime> readSince(const QString &text, QString *error)
{
    QDateTime time = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!time.isValid())
        time = QDate::fromString(text, Qt::ISODate).startOfDay();
    if (time.isValid())
        return time;
    *error = QStringLiteral("'%1' is not a date such as 2026-09-01 or 2026-09-01 08:30.").arg(text);
    return std::nullopt;
}

std::optional<qint64> readRowId(const QString &text, QString *error)
{
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (ok)
        return id;
    *error = QStringLiteral("'%1' is not a row id.").arg(text);
    return std::nullopt;
}

} // namespace olm::admin
