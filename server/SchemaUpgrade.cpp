// Layout version steps. A new database is made with the first layout and then every step, so a fresh file and
// an upgraded one end up the same.
#include "SchemaUpgrade.h"

#include "Schema.h"
#include "Transaction.h"

#include <sqlite3.h>

namespace olm::server {

QStringList upgradeStatements(int from)
{
    switch (from) {
    case 1:
        // Creating a selection's rows checks every curriculum row for an existing journal row: with the whole
        // key indexed that check is one lookup instead of a pass over the student's journal. The old
        // (group, semester, student) index is this one's prefix.
        return {QStringLiteral("CREATE INDEX IF NOT EXISTS mark_mag_curriculum_row ON mark_mag "
                               "(id_group, id_semester, id_student, id_discipline, id_examination)"),
                QStringLiteral("DROP INDEX IF EXISTS mark_mag_selection")};
    case 2:
        // Rules that hold whoever sends the statement: an audit trail written by triggers, group scoping of
        // journal changes, server stamps on new rows, append-only log and trail. The audit triggers list the
        // journal columns of this layout: a later step that adds a column makes them again.
        return guardStatements();
    case 3:
        // A journal user reads the trail of one journal row through ROW_HISTORY only (never the view itself), and only for rows of their
        // own groups: the trail and the log themselves stay closed to clients. A row gone from both journal
        // tables counts as no one's group (-1), which only the owner sees.
        return {QStringLiteral(
                    "CREATE VIEW IF NOT EXISTS row_history AS "
                    "SELECT 'audit' AS source, a.id_audit AS id_entry, a.audit_date AS change_date, a.login AS login, "
                    "NULL AS comp, a.[column] AS field, a.old_value AS old_value, a.new_value AS new_value, "
                    "a.row_id AS row_id, NULL AS descr FROM srv_audit a "
                    "WHERE a.[table] IN ('mark_mag', 'del_mark_mag') AND a.action <> 'EXECUTE' AND olm_my_group("
                    "COALESCE((SELECT m.id_group FROM mark_mag m WHERE m.id_mark_mag = a.row_id), "
                    "(SELECT d.id_group FROM del_mark_mag d WHERE d.id_mark_mag = a.row_id), -1)) "
                    "UNION ALL "
                    "SELECT 'log', l.id_log, l.log_date, l.OLM_User, l.comp, NULL, NULL, NULL, l.row_id, l.descr "
                    "FROM OLM_LOG l WHERE l.[table] LIKE '%mark_mag%' AND olm_my_group("
                    "COALESCE((SELECT m.id_group FROM mark_mag m WHERE m.id_mark_mag = l.row_id), "
                    "(SELECT d.id_group FROM del_mark_mag d WHERE d.id_mark_mag = l.row_id), -1))"),
                QStringLiteral("INSERT OR IGNORE INTO srv_rights (login, object, action) SELECT DISTINCT login, "
                               "'ROW_HISTORY', 'EXECUTE' FROM srv_rights WHERE object = 'mark_mag' AND action = 'SELECT'")};
    default:
        return {};
    }
}

int storedSchemaVersion(sqlite3 *db)
{
    sqlite3_stmt *stmt = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return version;
}

QString newerLayoutMessage(const QString &path, int version)
{
    if (version <= schemaVersion)
        return {};
    return QStringLiteral("The database '%1' has layout version %2, newer than this program knows (%3): "
                          "use a newer program.")
        .arg(path)
        .arg(version)
        .arg(schemaVersion);
}

QString olderLayoutMessage(const QString &path, int version)
{
    if (version >= schemaVersion)
        return {};
    return QStringLiteral("The database '%1' has layout version %2, older than this program needs (%3): "
                          "the administrator runs olm-admin upgrade on it first.")
        .arg(path)
        .arg(version)
        .arg(schemaVersion);
}

bool upgradeSchema(sqlite3 *db, int *from, QString *error)
{
    Transaction transaction(db);
    if (!transaction.ok()) {
        *error = transaction.errorMessage();
        return false;
    }
    const int version = storedSchemaVersion(db);
    *from = version;
    if (version < 1) {
        *error = QStringLiteral("The database's layout version cannot be read.");
        return false;
    }
    if (version > schemaVersion) {
        *error = QStringLiteral("The database has layout version %1, newer than this program knows (%2).")
                     .arg(version)
                     .arg(schemaVersion);
        return false;
    }
    QStringList statements;
    for (int step = version; step < schemaVersion; ++step)
        statements += upgradeStatements(step);
    statements << QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion);
    for (const QString &statement : std::as_const(statements)) {
        if (sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            *error = QString::fromUtf8(sqlite3_errmsg(db));
            return false;
        }
    }
    if (transaction.commit())
        return true;
    *error = transaction.errorMessage();
    return false;
}

} // namespace olm::server
