// olm-admin's help as the terminal shows it.
#include "HelpText.h"

namespace olm::admin {

namespace {

constexpr qsizetype helpWidth = 79;

// The paragraph broken into lines of at most helpWidth characters, each starting with indent.
QString wrapped(const QString &paragraph, const QString &indent)
{
    QString text;
    QString line = indent;
    for (const QString &word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (line.size() > indent.size() && line.size() + 1 + word.size() > helpWidth) {
            text += line + QLatin1Char('\n');
            line = indent;
        }
        if (line.size() > indent.size())
            line += QLatin1Char(' ');
        line += word;
    }
    return text + line + QLatin1Char('\n');
}

QString optionsText(const QList<CommandOption> &options)
{
    QString text;
    for (const CommandOption &option : options) {
        const QString name = option.valueName.isEmpty() ? option.name : option.name + QLatin1Char(' ') + option.valueName;
        text += QStringLiteral("  %1  %2\n").arg(name, -20).arg(option.help);
    }
    return text;
}

} // namespace

const QList<CommandOption> &generalOptions()
{
    static const QList<CommandOption> options{
        {QStringLiteral("-h, --help"), {}, QStringLiteral("show this help; help COMMAND shows one command's")},
        {QStringLiteral("--version"), {}, QStringLiteral("show the program's version")},
        {QStringLiteral("--man"), QStringLiteral("[FILE]"), QStringLiteral("write the manual page olm-admin(1)")}};
    return options;
}

QStringList toolDescription()
{
    return {QStringLiteral("olm-admin sets up and administers the embedded database of the marks journal client "
                           "OLM 16 and writes the client's settings file. DB is the path of a database file, such as "
                           "Data/olm.sqlite beside the client's executable."),
            QStringLiteral("user, log, audit and query also work on a PostgreSQL deployment: DB is then written "
                           "pg:HOST[,PORT]/DATABASE (port 5432 unless given), the tool signs in as --pg-user (PGUSER "
                           "unless given, else your own login), a member of olm_admin, and libpq takes the password "
                           "from PGPASSWORD or ~/.pgpass. There log show prints the entries as stored, as --raw does, "
                           "and query runs PostgreSQL's own SQL. The other commands work on database files only."),
            QStringLiteral("Options go anywhere after the command; \"--\" ends them, for words that start with a dash. "
                           "Every failure prints a message on standard error and ends with exit status 1.")};
}

QString usageText()
{
    QString text = QStringLiteral("usage:\n");
    for (const AdminCommand &command : adminCommands()) {
        for (const QString &synopsis : command.synopses)
            text += QStringLiteral("  olm-admin ") + synopsis + QLatin1Char('\n');
    }
    text += QStringLiteral("  olm-admin help [COMMAND] | --help | --version | --man [FILE]\n");
    return text;
}

QString overallHelp()
{
    QString text = usageText() + QLatin1Char('\n');
    for (const QString &paragraph : toolDescription())
        text += wrapped(paragraph, {}) + QLatin1Char('\n');
    text += QStringLiteral("Options:\n") + optionsText(generalOptions());
    text += QStringLiteral("\nCommands (olm-admin help COMMAND tells more):\n");
    for (const AdminCommand &command : adminCommands())
        text += QStringLiteral("  %1  %2\n").arg(command.name, -10).arg(command.summary);
    return text;
}

QString commandHelp(const AdminCommand &command)
{
    QString text = QStringLiteral("usage:\n");
    for (const QString &synopsis : command.synopses)
        text += QStringLiteral("  olm-admin ") + synopsis + QLatin1Char('\n');
    for (const QString &paragraph : command.description)
        text += QLatin1Char('\n') + wrapped(paragraph, {});
    if (!command.options.isEmpty())
        text += QStringLiteral("\nOptions:\n") + optionsText(command.options);
    return text;
}

} // namespace olm::admin
