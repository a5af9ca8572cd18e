// The database's relations, views and triggers, and the marks that identify a file as ours.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

struct sqlite3;

namespace olm::server {

/// Marks the file as ours (PRAGMA application_id) and its layout version (PRAGMA user_version).
inline constexpr int applicationId = 0x4F4C4D10;
inline constexpr int schemaVersion = 4;

/// The statements that create an empty database of the first layout, in order.
QStringList schemaStatements();
/// Layout 3: the audit trail (srv_audit) and the triggers that scope journal changes to the user's groups,
/// stamp new journal rows, keep OLM_LOG and srv_audit append-only and record every journal change.
QStringList guardStatements();
/// Date and date-time column names of every table (lower case), true for date-only columns: the front
/// reads quoted literals compared with or stored into them in the session's DATEFORMAT.
const QHash<QString, bool> &dateColumns();

/// Creates the schema, the configuration defaults and the bootstrap login; false with *error on failure.
bool createSchema(sqlite3 *db, QString *error);

/// The bootstrap login: it may only run GET_USER, and the settings file carries it.
inline constexpr const char *bootstrapLogin = "olm_boot";
inline constexpr const char *bootstrapPassword = "Boot2016";
/// The administrator's login inside the server (stamps, del_oper, trace).
inline constexpr const char *administratorLogin = "dbo";

} // namespace olm::server
