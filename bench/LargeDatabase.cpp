// Generation of the benchmark's large database: catalogues, curriculum and journal written straight through
// SQLite in one transaction, from a fixed pseudo-random sequence so that every run makes the same file.
#include "LargeDatabase.h"
#include "LargeDatabaseShape.h"

#include "server/Database.h"
#include "server/SqlFunctions.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>
#include <memory>

namespace olm::bench {

namespace {

using namespace shape;

constexpr int Students = 5020;
constexpr int LogRows = 1000000;

struct CloseDatabase {
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

class Writer {
public:
    explicit Writer(sqlite3 *db) : m_db(db) {}
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }

    bool exec(const char *sql)
    {
        if (m_ok && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail();
        return m_ok;
    }
    Statement prepare(const char *sql)
    {
        sqlite3_stmt *stmt = nullptr;
        if (m_ok && sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            fail();
        return Statement(stmt);
    }
    // Binds ints and texts in order (nullptr text binds NULL), runs and resets.
    template <typename... Values>
    bool row(const Statement &stmt, Values... values)
    {
        if (!m_ok)
            return false;
        int index = 0;
        (bindOne(stmt.get(), ++index, values), ...);
        if (sqlite3_step(stmt.get()) != SQLITE_DONE)
            fail();
        sqlite3_reset(stmt.get());
        return m_ok;
    }

private:
    static void bindOne(sqlite3_stmt *stmt, int index, int value) { sqlite3_bind_int(stmt, index, value); }
    static void bindOne(sqlite3_stmt *stmt, int index, const char *value)
    {
        if (value)
            sqlite3_bind_text(stmt, index, value, -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(stmt, index);
    }
    void fail()
    {
        m_ok = false;
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    }
    sqlite3 *m_db;
    bool m_ok = true;
    QString m_error;
};

bool fillLog(Writer &w, Generator &random)
{
    auto log = w.prepare("INSERT INTO OLM_LOG ([table], row_id, descr, OLM_User, comp, log_date) VALUES (?, ?, ?, ?, ?, ?)");
    char description[96], user[24], computer[48], stamp[32];
    for (int i = 0; i < LogRows; ++i) {
        std::snprintf(description, sizeof description, "Оценка: было '%d', стало '%d'", random.next(6) + 1,
                      random.next(6) + 1);
        std::snprintf(user, sizeof user, "user%02d", random.next(40));
        std::snprintf(computer, sizeof computer, "DEKANAT-%02d\\10.0.%d.%d", random.next(30), random.next(4),
                      random.next(250) + 1);
        dateTimeText(stamp, sizeof stamp, i / 600, i % 600 * 60);
        w.row(log, "mark_mag", random.next(480000) + 1, description, user, computer, stamp);
        if (!w.ok())
            return false;
    }
    return true;
}

bool generate(const QString &path, QString *error)
{
    if (!server::createDatabase(path, false, error))
        return false;
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, CloseDatabase> db(raw);
    const server::SessionFacts facts{QStringLiteral("dbo"), {}, {}};
    if (!raw || !server::registerFunctions(raw, &facts)) {
        *error = QStringLiteral("Cannot open %1.").arg(path);
        return false;
    }
    Writer w(raw);
    Generator random;
    w.exec("PRAGMA journal_mode=DELETE");
    w.exec("PRAGMA synchronous=OFF");
    w.exec("BEGIN");
    fillCatalogues(w, random, Students) && fillJournal(w, random, Students) && fillLog(w, random);
    // The generated rows are where the trail starts, not changes to it.
    w.exec("DELETE FROM srv_audit");
    w.exec("COMMIT");
    w.exec("PRAGMA journal_mode=WAL");
    if (!w.ok()) {
        *error = w.error();
        return false;
    }
    db.reset();
    auto admin = server::Administration::open(path, error);
    if (!admin || !admin->addUser(QStringLiteral("bench"), QStringLiteral("Bench2016"), server::Role::Editor, error))
        return false;
    QList<int> all;
    for (int g = 1; g <= Groups; ++g)
        all.append(g);
    return admin->setUserGroups(QStringLiteral("bench"), all, error);
}

} // namespace

bool prepareLargeDatabase(const QString &path, LargeDatabase *facts, QString *error)
{
    if (!QFileInfo::exists(path)) {
        // Made under another name and renamed when whole, so an interrupted run never leaves a half file.
        const QString partial = path + QStringLiteral(".partial");
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(partial + QLatin1String(suffix));
        if (!generate(partial, error) || !QFile::rename(partial, path))
            return false;
    }
    facts->path = path;
    facts->login = QStringLiteral("bench");
    static_cast<shape::JournalSelections &>(*facts) = shape::journalSelections(Students);
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, CloseDatabase> db(raw);
    sqlite3_stmt *stmt = nullptr;
    // The login column compares in its own collation: ask by the exact bytes instead.
    sqlite3_prepare_v2(raw, "SELECT password FROM srv_db_logins WHERE name COLLATE BINARY = 'bench'", -1, &stmt, nullptr);
    Statement query(stmt);
    if (!stmt || sqlite3_step(stmt) != SQLITE_ROW) {
        *error = QStringLiteral("%1 has no benchmark login; remove it to make it again.").arg(path);
        return false;
    }
    facts->password = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    return true;
}

} // namespace olm::bench
