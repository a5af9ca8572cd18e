// Scope guard for a server-side transaction: rolled back unless committed, nested as a savepoint.
#pragma once

#include <QString>

struct sqlite3;

namespace olm::server {

class Transaction {
public:
    enum class Lock {
        Write, ///< BEGIN IMMEDIATE: the write lock is taken up front, so the work never fails half-way on it
        Read,  ///< BEGIN: a snapshot to read from, which never waits for another session's write
    };
    /// Begins, or opens a savepoint inside a transaction already running.
    explicit Transaction(sqlite3 *db, Lock lock = Lock::Write);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool ok() const { return m_rc == 0; }
    int resultCode() const { return m_rc; }
    QString errorMessage() const { return m_error; }
    bool commit();

private:
    bool run(const char *sql);
    sqlite3 *m_db;
    bool m_nested = false;
    bool m_open = false;
    int m_rc = 0;
    QString m_error;
};

} // namespace olm::server
