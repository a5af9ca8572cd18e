// Sends olm-admin's commands to a PostgreSQL deployment when their database is written pg:HOST[,PORT]/DATABASE,
// and refuses there the commands that work on an embedded database file.
#include "PgAdministration.h"

#include "AdminCommands.h"

namespace olm::admin {

namespace {

// Where each command that runs on PostgreSQL takes its database among its words.
int pgDatabaseWord(const QString &command)
{
    if (command == QLatin1String("user") || command == QLatin1String("log") || command == QLatin1String("audit"))
        return 1;
    if (command == QLatin1String("query"))
        return 0;
    return -1;
}

// What a PostgreSQL administrator does instead of a command that works on database files.
QString pgInstead(const QString &command)
{
    if (command == QLatin1String("init") || command == QLatin1String("upgrade"))
        return QStringLiteral("create or update the database with psql and the scripts of server/postgresql, in their order "
                              "(docs/deploy-postgresql.md)");
    if (command == QLatin1String("backup"))
        return QStringLiteral("copy it with pg_dump");
    if (command == QLatin1String("restore"))
        return QStringLiteral("load a pg_dump copy with pg_restore or psql");
    if (command == QLatin1String("check"))
        return QStringLiteral("the server keeps its own integrity; compare the demo or run queries with olm-admin query");
    if (command == QLatin1String("trace"))
        return QStringLiteral("set log_statement in postgresql.conf, or read the audit trail with olm-admin audit show");
    if (command == QLatin1String("import"))
        return QStringLiteral("load the CSV file with psql's \\copy");
    if (command == QLatin1String("config"))
        return QStringLiteral("call olm_config_set(name, value) with olm-admin query or psql");
    return QStringLiteral("see olm-admin --help for the commands that take a pg: database");
}

} // namespace

std::optional<int> runOnPostgres(const AdminCommand &command, const QStringList &arguments, QTextStream &out,
                                 QTextStream &err)
{
    // ping and settings read settings files, whose Data Source says pg: on its own.
    if (command.name == QLatin1String("ping") || command.name == QLatin1String("settings"))
        return std::nullopt;
    QString error;
    const auto line = readCommandLine(arguments, command.valueOptions(), command.flagOptions(), &error);
    if (!line)
        return std::nullopt; // the command itself words the refusal
    const int position = pgDatabaseWord(command.name);
    if (position < 0) {
        for (const QString &word : line->words) {
            if (isPgTarget(word))
                return fail(err, QStringLiteral("%1 works on embedded database files, not on a PostgreSQL database: %2.")
                                     .arg(command.name, pgInstead(command.name)));
        }
        return std::nullopt;
    }
    const QString database = line->words.value(position);
    if (!isPgTarget(database)) {
        if (line->has("--pg-user"))
            return fail(err, QStringLiteral("--pg-user goes with a PostgreSQL database written pg:HOST[,PORT]/DATABASE."));
        return std::nullopt;
    }
    if (command.name == QLatin1String("query") && (line->has("--login") || line->has("--password")))
        return fail(err, QStringLiteral("On PostgreSQL, query runs as --pg-user; to try a user's rights, SET ROLE to its "
                                        "database login in psql."));
    const auto target = parsePgTarget(database, &error);
    if (!target)
        return fail(err, error);
    const QString login = line->has("--pg-user") ? line->value("--pg-user") : defaultPgUser();
    if (login.isEmpty())
        return fail(err, QStringLiteral("Name the administrator's PostgreSQL login with --pg-user or PGUSER."));
    auto connection = PgConnection::open(*target, login, &error);
    if (!connection)
        return fail(err, error);
    if (command.name == QLatin1String("user"))
        return runPgUserCommand(*connection, *line, out, err);
    if (command.name == QLatin1String("query"))
        return runPgQueryCommand(*connection, *line, out, err);
    return runPgTrailCommand(*connection, command.name, *line, out, err);
}

} // namespace olm::admin
