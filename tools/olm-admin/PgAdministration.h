// olm-admin against a PostgreSQL deployment: which commands run there, through the deployment's administrator
// functions, and the refusal of those that belong to embedded database files.
#pragma once

#include "CommandLine.h"
#include "CommandTable.h"
#include "PgConnection.h"

#include <QTextStream>

#include <optional>

namespace olm::admin {

/// When the command's database is a pg: target, runs or refuses it there and gives the exit code; nullopt when the
/// embedded path runs it.
std::optional<int> runOnPostgres(const AdminCommand &command, const QStringList &arguments, QTextStream &out,
                                 QTextStream &err);

// The commands on PostgreSQL; line holds the command's words after its name and its options.
int runPgUserCommand(PgConnection &connection, const CommandLine &line, QTextStream &out, QTextStream &err);
int runPgTrailCommand(PgConnection &connection, const QString &command, const CommandLine &line, QTextStream &out,
                      QTextStream &err);
int runPgQueryCommand(PgConnection &connection, const CommandLine &line, QTextStream &out, QTextStream &err);

} // namespace olm::admin
