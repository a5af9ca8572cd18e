// Online backup and consistency checks of a database file, straight on SQLite handles: neither needs a session,
// and the backup must not take part in the server's transactions.
#include "Maintenance.h"

#include "Collations.h"
#include "SqlFunctions.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sqlite3.h>

#include <memory>

namespace olm::server {

namespace {

struct MaintenanceHandleClose {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using MaintenanceHandle = std::unique_ptr<sqlite3, MaintenanceHandleClose>;

struct MaintenanceStatementFinalize {
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using MaintenanceStatement = std::unique_ptr<sqlite3_stmt, MaintenanceStatementFinalize>;

// A writer holds its lock briefly; a reader in WAL mode is not blocked, so waiting is rare.
constexpr int maintenanceBusyMs = 10000;

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

// One consistency rule: a statement answering the number of rows that break it, and what to call them.
struct ConsistencyRule {
    const char *sql;
    const char *problem;
};

// A missing lookup breaks the journal's grid (a row without a student or a discipline has nowhere to show).
QString missingLookup(const char *table, const char *column, const char *lookup, const char *key)
{
    return QStringLiteral("SELECT count(*) FROM %1 t WHERE t.%2 IS NOT NULL AND NOT EXISTS "
                          "(SELECT 1 FROM %3 l WHERE l.%4 = t.%2)")
        .arg(QLatin1String(table), QLatin1String(column), QLatin1String(lookup), QLatin1String(key));
}

QStringList consistencyRules(QList<QString> *descriptions)
{
    struct Lookup {
        const char *column, *lookup, *key;
    };
    static const Lookup journalLookups[] = {
        {"id_group", "[group]", "id_group"},          {"id_student", "s_fio", "id_student"},
        {"id_semester", "semester", "id_semester"},   {"id_discipline", "discipline", "id_discipline"},
        {"id_examination", "examination", "id_examination"}, {"id_teacher", "t_fio", "id_teacher"},
        {"id_f_est", "f_est", "id_f_e"},              {"id_estimation", "est2", "id_estimation"},
    };
    QStringList statements;
    for (const Lookup &l : journalLookups) {
        statements << missingLookup("mark_mag", l.column, l.lookup, l.key);
        *descriptions << QStringLiteral("mark_mag: %2 row(s) whose %1 has no row in %3")
                             .arg(QLatin1String(l.column), QStringLiteral("%1"), QLatin1String(l.lookup));
    }
    statements << missingLookup("group_student", "id_student", "s_fio", "id_student")
               << missingLookup("group_student", "id_group", "[group]", "id_group")
               << missingLookup("srv_user_groups", "id_login", "srv_users", "id_login")
               << missingLookup("srv_users", "db_login", "srv_db_logins", "name");
    *descriptions << QStringLiteral("group_student: %1 row(s) whose id_student has no row in s_fio")
                  << QStringLiteral("group_student: %1 row(s) whose id_group has no row in [group]")
                  << QStringLiteral("srv_user_groups: %1 row(s) whose id_login has no sign-in user")
                  << QStringLiteral("srv_users: %1 user(s) whose db_login has no database login");
    return statements;
}

} // namespace

bool backupDatabase(const QString &source, const QString &target, QString *error)
{
    if (QFileInfo::exists(target)) {
        *error = QStringLiteral("%1 exists; the backup does not replace a file.").arg(target);
        return false;
    }
    MaintenanceHandle from = openMaintenanceHandle(source, SQLITE_OPEN_READONLY, error);
    if (!from)
        return false;
    // Written under a temporary name and renamed once complete, so a failed backup never looks like a good one.
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    bool done = false;
    {
        MaintenanceHandle to = openMaintenanceHandle(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
        if (!to)
            return false;
        sqlite3_backup *backup = sqlite3_backup_init(to.get(), "main", from.get(), "main");
        if (!backup) {
            *error = QStringLiteral("Cannot back up '%1': %2").arg(source, QString::fromUtf8(sqlite3_errmsg(to.get())));
        } else {
            // All pages in one step: one read transaction, hence one consistent state of the source.
            int rc = SQLITE_OK;
            for (int waited = 0; waited < maintenanceBusyMs; waited += 50) {
                rc = sqlite3_backup_step(backup, -1);
                if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                    break;
                QThread::msleep(50);
            }
            const int finished = sqlite3_backup_finish(backup);
            done = rc == SQLITE_DONE && finished == SQLITE_OK;
            if (!done)
                *error = QStringLiteral("Cannot back up '%1': %2").arg(source, QString::fromUtf8(sqlite3_errstr(rc == SQLITE_DONE ? finished : rc)));
        }
    }
    if (done && !QFile::rename(partial, target)) {
        *error = QStringLiteral("Cannot write %1.").arg(target);
        done = false;
    }
    if (!done) {
        for (const char *suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(partial + QLatin1String(suffix));
    }
    return done;
}

std::optional<QStringList> checkDatabase(const QString &path, QString *error)
{
    if (!QFileInfo::exists(path)) {
        *error = QStringLiteral("%1 does not exist.").arg(path);
        return std::nullopt;
    }
    MaintenanceHandle db = openMaintenanceHandle(path, SQLITE_OPEN_READONLY, error);
    if (!db)
        return std::nullopt;
    const auto prepare = [&](const QString &sql) {
        sqlite3_stmt *raw = nullptr;
        sqlite3_prepare_v2(db.get(), sql.toUtf8().constData(), -1, &raw, nullptr);
        return MaintenanceStatement(raw);
    };
    QStringList problems;
    {
        MaintenanceStatement integrity = prepare(QStringLiteral("PRAGMA integrity_check"));
        if (!integrity) {
            *error = QStringLiteral("Cannot check '%1': %2").arg(path, QString::fromUtf8(sqlite3_errmsg(db.get())));
            return std::nullopt;
        }
        int rc;
        while ((rc = sqlite3_step(integrity.get())) == SQLITE_ROW) {
            const QString line = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(integrity.get(), 0)));
            if (line != QLatin1String("ok"))
                problems << QStringLiteral("integrity: ") + line;
        }
        if (rc != SQLITE_DONE)
            problems << QStringLiteral("integrity: ") + QString::fromUtf8(sqlite3_errmsg(db.get()));
    }
    QList<QString> descriptions;
    const QStringList rules = consistencyRules(&descriptions);
    for (qsizetype i = 0; i < rules.size(); ++i) {
        MaintenanceStatement count = prepare(rules.at(i));
        if (!count || sqlite3_step(count.get()) != SQLITE_ROW) {
            problems << QStringLiteral("consistency: %1").arg(QString::fromUtf8(sqlite3_errmsg(db.get())));
            continue;
        }
        if (const qint64 broken = sqlite3_column_int64(count.get(), 0))
            problems << descriptions.at(i).arg(broken);
    }
    return problems;
}

} // namespace olm::server
