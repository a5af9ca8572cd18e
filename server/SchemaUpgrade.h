// The database layout's version history: what each step adds to an older file, and running those steps.
#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

namespace olm::server {

/// The statements that bring a database of layout version `from` to `from + 1`.
QStringList upgradeStatements(int from);
/// The layout version a file carries (PRAGMA user_version); -1 when it cannot be read.
int storedSchemaVersion(sqlite3 *db);
/// Brings the database to schemaVersion in one transaction; *from receives the version it had. A newer file
/// is refused and left alone.
bool upgradeSchema(sqlite3 *db, int *from, QString *error);
/// Why a file of this layout version cannot be opened by this program; empty when it can.
QString newerLayoutMessage(const QString &path, int version);
/// Why a user's session cannot run on a file of this older layout version (its rules would be missing); empty
/// when it can. The administrator's sessions open older files, so that they can be looked at and upgraded.
QString olderLayoutMessage(const QString &path, int version);

} // namespace olm::server
