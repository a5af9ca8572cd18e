// The manual page olm-admin(1), written in roff from the same table and texts as the help.
#include "HelpText.h"

namespace olm::admin {

namespace {

// Text as roff prints it literally: backslashes escaped, no line read as a request.
QString roffText(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    if (escaped.startsWith(QLatin1Char('.')) || escaped.startsWith(QLatin1Char('\'')))
        escaped.prepend(QStringLiteral("\\&"));
    return escaped;
}

// Command lines and option names: their hyphens are the ASCII ones a reader copies, not typographic ones.
QString roffCode(const QString &text)
{
    return roffText(text).replace(QLatin1Char('-'), QStringLiteral("\\-"));
}

QString roffOptions(const QList<CommandOption> &options)
{
    QString page;
    for (const CommandOption &option : options) {
        page += QStringLiteral(".TP\n.B ") + roffCode(option.name);
        if (!option.valueName.isEmpty())
            page += QStringLiteral(" \\fI") + roffCode(option.valueName) + QStringLiteral("\\fR");
        page += QLatin1Char('\n') + roffText(option.help) + QLatin1Char('\n');
    }
    return page;
}

} // namespace

QString manPage(const QString &version)
{
    QString page = QStringLiteral(".TH OLM-ADMIN 1 \"\" \"OLM 16 %1\" \"OLM 16\"\n").arg(roffText(version));
    page += QStringLiteral(".SH NAME\nolm-admin \\- set up and administer OLM 16 embedded databases\n");
    page += QStringLiteral(".SH SYNOPSIS\n.nf\n");
    for (const AdminCommand &command : adminCommands()) {
        for (const QString &synopsis : command.synopses)
            page += QStringLiteral("\\fBolm\\-admin\\fR ") + roffCode(synopsis) + QLatin1Char('\n');
    }
    page += QStringLiteral("\\fBolm\\-admin\\fR help [COMMAND] | \\-\\-help | \\-\\-version | \\-\\-man [FILE]\n.fi\n");
    page += QStringLiteral(".SH DESCRIPTION\n");
    for (const QString &paragraph : toolDescription())
        page += QStringLiteral(".PP\n") + roffText(paragraph) + QLatin1Char('\n');
    page += QStringLiteral(".SH OPTIONS\n") + roffOptions(generalOptions());
    page += QStringLiteral(".SH COMMANDS\n");
    for (const AdminCommand &command : adminCommands()) {
        page += QStringLiteral(".SS ") + roffCode(command.name) + QStringLiteral("\n.nf\n");
        for (const QString &synopsis : command.synopses)
            page += QStringLiteral("olm\\-admin ") + roffCode(synopsis) + QLatin1Char('\n');
        page += QStringLiteral(".fi\n");
        for (const QString &paragraph : command.description)
            page += QStringLiteral(".PP\n") + roffText(paragraph) + QLatin1Char('\n');
        if (!command.options.isEmpty())
            page += QStringLiteral(".PP\nOptions:\n") + roffOptions(command.options);
    }
    page += QStringLiteral(".SH EXIT STATUS\n0 when the command did its work; 1 when it was refused or failed, with a "
                           "message on standard error.\n");
    page += QStringLiteral(".SH FILES\n.TP\n.I Data/OLM\nthe client's settings file, beside the client's executable\n"
                           ".TP\n.I Data/olm.sqlite\nthe embedded database that olm\\-admin init makes\n");
    return page;
}

} // namespace olm::admin
