// Server-side transaction guard.
#include "Transaction.h"

#include <sqlite3.h>

namespace olm::server {

Transaction::Transaction(sqlite3 *db, Lock lock)
    : m_db(db)
    , m_nested(sqlite3_get_autocommit(db) == 0)
{
    m_open = run(m_nested ? "SAVEPOINT olm_procedure" : lock == Lock::Read ? "BEGIN" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (!m_open)
        return;
    if (m_nested) {
        sqlite3_exec(m_db, "ROLLBACK TO olm_procedure", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "RELEASE olm_procedure", nullptr, nullptr, nullptr);
    } else {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

bool Transaction::commit()
{
    if (!m_open)
        return false;
    if (!run(m_nested ? "RELEASE olm_procedure" : "COMMIT"))
        return false;
    m_open = false;
    return true;
}

bool Transaction::run(const char *sql)
{
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        return true;
    m_rc = rc;
    m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

} // namespace olm::server
