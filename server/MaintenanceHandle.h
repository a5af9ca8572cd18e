// SQLite handles for the whole-file tools (backup, restore, check, log listing, import): owned, with our
// collations registered, outside any session.
#pragma once

#include <QString>

#include <memory>

#include <sqlite3.h>

namespace olm::server {

struct MaintenanceHandleClose {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using MaintenanceHandle = std::unique_ptr<sqlite3, MaintenanceHandleClose>;

struct MaintenanceStatementFinalize {
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using MaintenanceStatement = std::unique_ptr<sqlite3_stmt, MaintenanceStatementFinalize>;

// A writer holds its lock briefly; a reader in WAL mode is not blocked, so waiting is rare.
inline constexpr int maintenanceBusyMs = 10000;

/// Opens path with sqlite3_open_v2's flags; an empty handle with *error set when it cannot.
MaintenanceHandle openMaintenanceHandle(const QString &path, int flags, QString *error);

/// Opens an existing file that must be an OLM database of the current layout, or of an older one when
/// olderToo; other files and newer layouts are refused with the sessions' own messages.
MaintenanceHandle openOlmDatabase(const QString &path, int flags, bool olderToo, QString *error);

} // namespace olm::server
