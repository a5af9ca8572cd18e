// Online backup, restore and consistency checks of a database file, straight on SQLite handles: none needs a
// session, and the copies must not take part in the server's transactions.
#include "Maintenance.h"

#include "MaintenanceHandle.h"
#include "SchemaUpgrade.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <filesystem>
#include <optional>
#include <system_error>

namespace olm::server {

namespace {

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

void removeWithCompanions(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

// Copies every page of from into a new file at partial, inside one read transaction of from. Leaves no file
// behind on failure.
bool copyIntoNewFile(sqlite3 *from, const QString &source, const QString &partial, QString *error)
{
    removeWithCompanions(partial);
    bool done = false;
    {
        MaintenanceHandle to = openMaintenanceHandle(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
        if (!to)
            return false;
        sqlite3_backup *backup = sqlite3_backup_init(to.get(), "main", from, "main");
        if (!backup) {
            *error = QStringLiteral("Cannot copy '%1': %2").arg(source, QString::fromUtf8(sqlite3_errmsg(to.get())));
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
                *error = QStringLiteral("Cannot copy '%1': %2").arg(source, QString::fromUtf8(sqlite3_errstr(rc == SQLITE_DONE ? finished : rc)));
        }
    }
    if (!done)
        removeWithCompanions(partial);
    return done;
}

// The first line of PRAGMA integrity_check that is not "ok"; empty for a sound file.
QString firstIntegrityProblem(sqlite3 *db)
{
    sqlite3_stmt *raw = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check(1)", -1, &raw, nullptr);
    MaintenanceStatement check(raw);
    if (!check)
        return QString::fromUtf8(sqlite3_errmsg(db));
    if (sqlite3_step(check.get()) != SQLITE_ROW)
        return QString::fromUtf8(sqlite3_errmsg(db));
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(check.get(), 0)));
    return line == QLatin1String("ok") ? QString() : line;
}

bool runOn(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Sole use of a database file for as long as it lives: a client's connection holds a shared lock on the
// file while it is open (WAL mode keeps it between statements), so an exclusive lock taken without waiting
// proves that no client has the file open, and keeps new ones out until released.
class SoleUse {
public:
    enum class State { Held, InUse, Unreadable, Failed };
    SoleUse(const QString &path, QString *error)
    {
        m_db = openMaintenanceHandle(path, SQLITE_OPEN_READWRITE, error);
        if (!m_db) {
            m_state = State::Failed;
            return;
        }
        sqlite3_busy_timeout(m_db.get(), 0);
        runOn(m_db.get(), "PRAGMA locking_mode=EXCLUSIVE");
        if (runOn(m_db.get(), "BEGIN EXCLUSIVE") && runOn(m_db.get(), "COMMIT")) {
            m_state = State::Held;
            return;
        }
        const int rc = sqlite3_errcode(m_db.get()) & 0xff;
        m_state = rc == SQLITE_BUSY || rc == SQLITE_LOCKED ? State::InUse
            : rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT  ? State::Unreadable
                                                            : State::Failed;
        *error = QString::fromUtf8(sqlite3_errmsg(m_db.get()));
        m_db.reset();
    }
    State state() const { return m_state; }
    /// Writes what the write-ahead log holds into the file itself and leaves WAL mode, so that the file is
    /// whole on its own and closing this handle touches no companion file.
    bool makeSelfContained(QString *error)
    {
        // The pragma answers the mode in force, which stays the old one when it cannot be left.
        sqlite3_stmt *raw = nullptr;
        sqlite3_prepare_v2(m_db.get(), "PRAGMA journal_mode=DELETE", -1, &raw, nullptr);
        MaintenanceStatement mode(raw);
        if (!mode || sqlite3_step(mode.get()) != SQLITE_ROW) {
            *error = QString::fromUtf8(sqlite3_errmsg(m_db.get()));
            return false;
        }
        if (qstricmp(reinterpret_cast<const char *>(sqlite3_column_text(mode.get(), 0)), "delete") == 0)
            return true;
        *error = QStringLiteral("its write-ahead log cannot be written into it.");
        return false;
    }
    /// Ends the sole use early: where an open file cannot be renamed, the renames must come after.
    void release() { m_db.reset(); }

private:
    MaintenanceHandle m_db;
    State m_state = State::Failed;
};

bool renameReplacing(const QString &from, const QString &to)
{
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(from).toStdString()),
                            std::filesystem::path(QFile::encodeName(to).toStdString()), ec);
    return !ec;
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
    if (!copyIntoNewFile(from.get(), source, partial, error))
        return false;
    if (!QFile::rename(partial, target)) {
        *error = QStringLiteral("Cannot write %1.").arg(target);
        removeWithCompanions(partial);
        return false;
    }
    return true;
}

bool restoreDatabase(const QString &source, const QString &target, bool keepOld, QString *error, int *layout)
{
    if (!QFileInfo(source).isFile()) {
        *error = QStringLiteral("%1 does not exist.").arg(source);
        return false;
    }
    if (QFileInfo::exists(target) && QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath()) {
        *error = QStringLiteral("%1 and %2 are the same file.").arg(source, target);
        return false;
    }
    const QString kept = target + QStringLiteral(".before-restore");
    const bool replacing = QFileInfo::exists(target);
    if (replacing && keepOld && QFileInfo::exists(kept)) {
        *error = QStringLiteral("%1 exists from an earlier restore; move it away, or add --no-keep.").arg(kept);
        return false;
    }
    // An older layout is restored as it is; olm-admin upgrade brings it up afterwards.
    // Opened for writing where it may be (nothing is written), so that closing it removes the companion files a
    // reader of a WAL file makes; read-only where the backup lies on a medium that cannot be written.
    MaintenanceHandle from = openOlmDatabase(source, SQLITE_OPEN_READWRITE, true, error);
    if (!from && QFileInfo(source).isFile() && !QFileInfo(source).isWritable())
        from = openOlmDatabase(source, SQLITE_OPEN_READONLY, true, error);
    if (!from)
        return false;
    if (layout)
        *layout = storedSchemaVersion(from.get());
    if (const QString problem = firstIntegrityProblem(from.get()); !problem.isEmpty()) {
        *error = QStringLiteral("%1 fails the integrity check (%2); nothing was restored.").arg(source, problem);
        return false;
    }
    const QString partial = target + QStringLiteral(".part");
    if (!copyIntoNewFile(from.get(), source, partial, error))
        return false;
    from.reset();

    QString why;
    std::optional<SoleUse> use;
    if (replacing) {
        use.emplace(target, &why);
        switch (use->state()) {
        case SoleUse::State::Held:
            if (use->makeSelfContained(&why))
                break;
            [[fallthrough]];
        case SoleUse::State::Failed:
            *error = QStringLiteral("Cannot restore over %1: %2").arg(target, why);
            removeWithCompanions(partial);
            return false;
        case SoleUse::State::InUse:
            *error = QStringLiteral("%1 is in use; close every client and tool that has it open, then restore again.")
                         .arg(target);
            removeWithCompanions(partial);
            return false;
        case SoleUse::State::Unreadable:
            break; // a damaged file is what a restore is for, and nobody can be using it
        }
#ifdef Q_OS_WIN
        // Windows renames no open file: the lock ends first, and a client opening the file in between makes the
        // rename below fail, which leaves the old file in place.
        use->release();
#endif
        // Companions left by a client that ended without closing belong to the old file; no one has them open.
        // A readable file has taken its log in; an unreadable one keeps it, should anyone try to mend it.
        const bool keepLog = keepOld && use->state() == SoleUse::State::Unreadable;
        for (const char *suffix : {"-wal", "-shm"}) {
            const QString companion = target + QLatin1String(suffix);
            if (keepLog && QFile::exists(companion)) {
                QFile::remove(kept + QLatin1String(suffix));
                QFile::rename(companion, kept + QLatin1String(suffix));
            }
            QFile::remove(companion);
        }
        if (keepOld && !QFile::rename(target, kept)) {
            *error = QStringLiteral("Cannot rename %1 to %2.").arg(target, kept);
            removeWithCompanions(partial);
            return false;
        }
    }
    if (!renameReplacing(partial, target)) {
        *error = QStringLiteral("Cannot write %1.").arg(target);
        if (replacing && keepOld)
            QFile::rename(kept, target);
        removeWithCompanions(partial);
        return false;
    }
    return true;
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
