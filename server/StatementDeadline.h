// The command time-out of a session: while a deadline lives, a statement still running when it passes is
// interrupted (once), so the call fails with the time-out text and the session stays usable.
#pragma once

#include <QDeadlineTimer>
#include <QString>

struct sqlite3;

namespace olm::server {

class StatementDeadline {
public:
    /// milliseconds 0 or less: no deadline.
    StatementDeadline(sqlite3 *db, int milliseconds);
    ~StatementDeadline();
    StatementDeadline(const StatementDeadline &) = delete;
    StatementDeadline &operator=(const StatementDeadline &) = delete;

    /// A statement was interrupted because the deadline passed.
    bool fired() const { return m_fired; }
    /// What a call that ran past its time-out answers, as SQL Server's drivers word it.
    static QString timeoutText() { return QStringLiteral("Query timeout expired"); }

private:
    static int check(void *self);
    sqlite3 *m_db = nullptr;
    QDeadlineTimer m_deadline;
    bool m_fired = false;
};

} // namespace olm::server
