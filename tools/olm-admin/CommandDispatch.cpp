// olm-admin's entry: the general options (--help, --version, --man), help for one command, and the command
// table's dispatch with each command's options checked before it runs.
#include "AdminCommands.h"

#include "CommandLine.h"
#include "CommandTable.h"
#include "HelpText.h"
#include "PgAdministration.h"

#include "OlmVersion.h"

#include <QCommandLineParser>
#include <QSaveFile>

namespace olm::admin {

namespace {

bool asksForHelp(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            return true;
    }
    return false;
}

int writeManPage(const QStringList &words, QTextStream &out, QTextStream &err)
{
    const QString page = manPage(QStringLiteral(OLM_VERSION));
    if (words.isEmpty()) {
        out << page;
        return 0;
    }
    if (words.size() > 1)
        return fail(err, QStringLiteral("--man takes one file at most."));
    QSaveFile file(words.first());
    const QByteArray bytes = page.toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return 0;
    return fail(err, QStringLiteral("Cannot write '%1': %2").arg(words.first(), file.errorString()));
}

int showHelp(const QStringList &words, QTextStream &out, QTextStream &err)
{
    if (words.isEmpty()) {
        out << overallHelp();
        return 0;
    }
    const AdminCommand *command = findAdminCommand(words.first());
    if (!command || words.size() > 1)
        return fail(err, QStringLiteral("help takes one command's name; olm-admin --help lists them."));
    out << commandHelp(*command);
    return 0;
}

} // namespace

int runAdminCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    // What follows the command word belongs to the command.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption man(QStringLiteral("man"));
    parser.addOptions({help, version, man});
    if (!parser.parse(QStringList{QStringLiteral("olm-admin")} + arguments))
        return fail(err, parseErrorText(parser, arguments, {}) + QStringLiteral(" olm-admin --help lists the options."));
    const QStringList words = parser.positionalArguments();
    if (parser.isSet(version)) {
        out << "olm-admin " << OLM_VERSION << '\n';
        return 0;
    }
    if (parser.isSet(man))
        return writeManPage(words, out, err);
    if (parser.isSet(help))
        return showHelp(words, out, err);
    if (words.isEmpty()) {
        err << usageText();
        return 1;
    }
    if (words.first() == QLatin1String("help"))
        return showHelp(words.mid(1), out, err);
    const AdminCommand *command = findAdminCommand(words.first());
    if (!command)
        return fail(err, QStringLiteral("Unknown command %1. olm-admin --help lists the commands.").arg(words.first()));
    const QStringList rest = words.mid(1);
    if (asksForHelp(rest)) {
        out << commandHelp(*command);
        return 0;
    }
    QString error;
    if (!readCommandLine(rest, command->valueOptions(), command->flagOptions(), &error))
        return fail(err, QStringLiteral("%1: %2 olm-admin help %1 lists its options.").arg(command->name, error));
    if (const auto code = runOnPostgres(*command, rest, out, err))
        return *code;
    return command->run(rest, out, err);
}

} // namespace olm::admin
