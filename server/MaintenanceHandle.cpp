// Opening SQLite handles for the whole-file tools.
#include "MaintenanceHandle.h"

#include "Collations.h"
#include "Schema.h"
#include "SchemaUpgrade.h"
#include "SqlFunctions.h"

#include <QFile>
#include <QFileInfo>

namespace olm::server {

MaintenanceHandle openMaintenanceHandle(const QString &path, int flags, QString *error)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    MaintenanceHandle db(raw);
    if (rc != SQLITE_OK) {
        *error = QStringLiteral("Cannot open '%1': %2").arg(path, QString::fromUtf8(raw ? sqlite3_errmsg(raw) : "out of memory"));
        return {};
    }
    sqlite3_busy_timeout(db.get(), maintenanceBusyMs);
    // Indexes on text and date columns are ordered by our collations: the check needs them to read the indexes.
    sqlite3_create_collation_v2(db.get(), textCollation, SQLITE_UTF8, nullptr, textCompare, nullptr);
    sqlite3_create_collation_v2(db.get(), dateCollation, SQLITE_UTF8, nullptr, dateCompare, nullptr);
    return db;
}

MaintenanceHandle openOlmDatabase(const QString &path, int flags, bool olderToo, QString *error)
{
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("Cannot open database '%1': the file does not exist.").arg(path);
        return {};
    }
    MaintenanceHandle db = openMaintenanceHandle(path, flags, error);
    if (!db)
        return {};
    sqlite3_stmt *raw = nullptr;
    int id = 0;
    const bool read = sqlite3_prepare_v2(db.get(), "PRAGMA application_id", -1, &raw, nullptr) == SQLITE_OK
        && sqlite3_step(raw) == SQLITE_ROW;
    if (read)
        id = sqlite3_column_int(raw, 0);
    sqlite3_finalize(raw);
    if (!read) {
        *error = QStringLiteral("The file '%1' is not a database or is damaged.").arg(path);
        return {};
    }
    if (id != applicationId) {
        *error = QStringLiteral("The file '%1' is not an OLM database.").arg(path);
        return {};
    }
    const int layout = storedSchemaVersion(db.get());
    QString refusal = newerLayoutMessage(path, layout);
    if (refusal.isEmpty() && !olderToo)
        refusal = olderLayoutMessage(path, layout);
    if (refusal.isEmpty() && layout < 1)
        refusal = QStringLiteral("The file '%1' is not an OLM database.").arg(path);
    if (!refusal.isEmpty()) {
        *error = refusal;
        return {};
    }
    return db;
}

} // namespace olm::server
