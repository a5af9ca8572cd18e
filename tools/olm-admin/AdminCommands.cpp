// olm-admin's commands init, upgrade, settings, config, trace, audit and query (users are in UserCommands.cpp, ping
// in PingCommand.cpp, log, restore and import in files of their own; CommandTable.cpp lists them all).
#include "AdminCommands.h"

#include "CommandLine.h"
#include "SettingsFile.h"
#include "TextOutput.h"

#include "server/Database.h"
#include "server/Schema.h"
#include "server/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace olm::admin {

int runInitCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto line = readCommandLine(arguments, {QStringLiteral("--catalog")},
                                      {QStringLiteral("--demo"), QStringLiteral("--force")}, &error);
    if (!line)
        return fail(err, error);
    if (line->words.size() != 1)
        return fail(err, QStringLiteral("init needs one folder."));
    const QString catalog = line->has("--catalog") ? line->value("--catalog") : QStringLiteral("olm.sqlite");
    if (catalog.isEmpty() || catalog.contains(QLatin1Char('/')) || catalog.contains(QLatin1Char('\\')))
        return fail(err, QStringLiteral("The catalog is a file name inside Data, not a path."));
    const QDir data(QDir(line->words.first()).filePath(QStringLiteral("Data")));
    const QString database = data.filePath(catalog);
    const ConnectionSettings settings{QLatin1String(server::bootstrapLogin), QLatin1String(server::bootstrapPassword),
                                      QStringLiteral("embedded"), catalog};
    if (!encodeSettings(settings, &error)) // check the catalog fits before anything is written
        return fail(err, error);
    if (QFileInfo::exists(database)) {
        if (!line->has("--force"))
            return fail(err, QStringLiteral("%1 exists; add --force to replace it.").arg(database));
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(database + QLatin1String(suffix));
        if (QFileInfo::exists(database))
            return fail(err, QStringLiteral("Cannot remove %1.").arg(database));
    }
    if (!server::createDatabase(database, line->has("--demo"), &error))
        return fail(err, error);
    const QString settingsPath = data.filePath(QStringLiteral("OLM"));
    if (!writeSettingsFile(settingsPath, settings, &error))
        return fail(err, error);
    out << "created " << QDir::toNativeSeparators(database) << " and " << QDir::toNativeSeparators(settingsPath) << '\n';
    return 0;
}

// Brings a database made by an older program to the current layout; running it again does nothing.
int runUpgradeCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 1)
        return fail(err, QStringLiteral("upgrade needs one database."));
    QString error;
    int from = 0;
    if (!server::upgradeDatabase(arguments.first(), &from, &error))
        return fail(err, error);
    if (from == server::schemaVersion)
        out << arguments.first() << " has layout version " << from << " already\n";
    else
        out << "upgraded " << arguments.first() << " from layout version " << from << " to " << server::schemaVersion << '\n';
    return 0;
}

int runSettingsCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto line = readCommandLine(arguments,
                                      {QStringLiteral("--user"), QStringLiteral("--password"), QStringLiteral("--server"),
                                       QStringLiteral("--catalog")},
                                      {}, &error);
    if (!line)
        return fail(err, error);
    if (line->words.size() != 2)
        return fail(err, QStringLiteral("settings needs show or write and one file."));
    const QString &action = line->words.at(0);
    const QString &path = line->words.at(1);
    if (action == QLatin1String("show")) {
        const auto values = readSettingsFile(path, &error);
        if (!values)
            return fail(err, error);
        out << "user: " << values->user << '\n'
            << "password: " << values->password << '\n'
            << "server: " << values->server << '\n'
            << "catalog: " << values->catalog << '\n';
        return 0;
    }
    if (action != QLatin1String("write"))
        return fail(err, QStringLiteral("settings knows show and write, not %1.").arg(action));
    for (const char *option : {"--user", "--password", "--server", "--catalog"}) {
        if (!line->has(option))
            return fail(err, QStringLiteral("settings write needs %1.").arg(QLatin1String(option)));
    }
    const ConnectionSettings values{line->value("--user"), line->value("--password"), line->value("--server"),
                                    line->value("--catalog")};
    return writeSettingsFile(path, values, &error) ? 0 : fail(err, error);
}

// The database's settings for clients: current-program is the program GET_USER expects; older programs
// are told to update themselves.
int runConfigCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const bool show = arguments.size() == 2 && arguments.at(0) == QLatin1String("show");
    const bool set = arguments.size() == 4 && arguments.at(0) == QLatin1String("set");
    if (!show && !set)
        return fail(err, QStringLiteral("config needs show DB, or set current-program NAME DB."));
    if (set && arguments.at(1) != QLatin1String("current-program"))
        return fail(err, QStringLiteral("config knows current-program, not %1.").arg(arguments.at(1)));
    QString error;
    auto admin = server::Administration::open(arguments.last(), &error);
    if (!admin)
        return fail(err, error);
    if (set)
        return admin->setCurrentProgram(arguments.at(2), &error) ? 0 : fail(err, error);
    out << "current-program: " << admin->currentProgram() << '\n';
    return 0;
}

int runTraceCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 2)
        return fail(err, QStringLiteral("trace needs on, off or show and one database."));
    QString error;
    auto admin = server::Administration::open(arguments.at(1), &error);
    if (!admin)
        return fail(err, error);
    const QString &action = arguments.at(0);
    if (action == QLatin1String("on") || action == QLatin1String("off"))
        return admin->setTrace(action == QLatin1String("on"), &error) ? 0 : fail(err, error);
    if (action != QLatin1String("show"))
        return fail(err, QStringLiteral("trace knows on, off and show, not %1.").arg(action));
    // Printed as read: a long trace never sits in memory whole.
    printRow(out, {QStringLiteral("time"), QStringLiteral("login"), QStringLiteral("statement")});
    const bool read = admin->forEachTraceEntry([&](const server::TraceEntry &entry) {
        printRow(out, {cellText(entry.time), entry.login, cellText(entry.statement)});
    }, &error);
    return read ? 0 : fail(err, error);
}

// The server's own trail of journal changes and procedure calls; DATE is YYYY-MM-DD or YYYY-MM-DD HH:MM.
int runAuditCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto line = readCommandLine(arguments, {QStringLiteral("--row"), QStringLiteral("--login"), QStringLiteral("--since")},
                                      {}, &error);
    if (!line)
        return fail(err, error);
    if (line->words.size() != 2 || line->words.at(0) != QLatin1String("show"))
        return fail(err, QStringLiteral("audit needs show and one database."));
    server::AuditFilter filter;
    if (line->has("--row")) {
        const auto id = readRowId(line->value("--row"), &error);
        if (!id)
            return fail(err, error);
        filter.rowId = *id;
    }
    filter.login = line->value("--login");
    if (line->has("--since")) {
        const auto since = readSince(line->value("--since"), &error);
        if (!since)
            return fail(err, error);
        filter.since = *since;
    }
    auto admin = server::Administration::open(line->words.at(1), &error);
    const auto entries = admin ? admin->audit(filter, &error) : std::nullopt;
    if (!entries)
        return fail(err, error);
    QList<QStringList> rows;
    for (const server::AuditEntry &e : *entries) {
        rows.append({QString::number(e.id), cellText(e.time), e.login, e.action, e.table, cellText(e.rowId),
                     cellText(e.column.isEmpty() ? QVariant() : QVariant(e.column)), cellText(e.oldValue),
                     cellText(e.newValue)});
    }
    printTable(out, {QStringLiteral("id"), QStringLiteral("time"), QStringLiteral("login"), QStringLiteral("action"),
                     QStringLiteral("table"), QStringLiteral("row_id"), QStringLiteral("column"), QStringLiteral("old"),
                     QStringLiteral("new")},
               rows);
    return 0;
}

int runQueryCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto line = readCommandLine(arguments, {QStringLiteral("--login"), QStringLiteral("--password")}, {}, &error);
    if (!line)
        return fail(err, error);
    if (line->words.size() != 2)
        return fail(err, QStringLiteral("query needs one database and one statement."));
    if (line->has("--login") != line->has("--password"))
        return fail(err, QStringLiteral("--login and --password go together."));
    const QString &path = line->words.at(0);
    auto session = line->has("--login")
        ? server::Session::open(path, line->value("--login"), line->value("--password"), &error)
        : server::Session::openAsAdministrator(path, &error);
    if (!session)
        return fail(err, error);
    const server::Outcome outcome = session->execute(line->words.at(1));
    if (!outcome.ok)
        return fail(err, outcome.error);
    bool first = true;
    for (const server::ResultSet &set : outcome.resultSets) {
        if (!first)
            out << '\n';
        first = false;
        printResultSet(out, set);
    }
    return 0;
}

int fail(QTextStream &err, const QString &message)
{
    err << "olm-admin: " << message << '\n';
    return 1;
}

} // namespace olm::admin
