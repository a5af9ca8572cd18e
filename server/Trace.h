// The statement trace: when the database's switch is on, every statement text a session receives is
// stored with its time and login.
#pragma once

#include <QString>

struct sqlite3;

namespace olm::server {

/// Both need owner rights (an elevated authorizer) on a client session.
bool traceEnabled(sqlite3 *db);
void recordTrace(sqlite3 *db, const QString &login, const QString &statement);

} // namespace olm::server
