// The command time-out through SQLite's progress callback.
#include "StatementDeadline.h"

#include <sqlite3.h>

namespace olm::server {

namespace {
// Virtual machine steps between two looks at the clock: often enough to stop within milliseconds, rare
// enough to cost nothing measurable.
constexpr int stepsBetweenChecks = 1000;
} // namespace

StatementDeadline::StatementDeadline(sqlite3 *db, int milliseconds)
{
    if (milliseconds <= 0 || !db)
        return;
    m_db = db;
    m_deadline = QDeadlineTimer(milliseconds);
    sqlite3_progress_handler(m_db, stepsBetweenChecks, &StatementDeadline::check, this);
}

StatementDeadline::~StatementDeadline()
{
    if (m_db)
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
}

int StatementDeadline::check(void *self)
{
    auto *deadline = static_cast<StatementDeadline *>(self);
    // Only the statement that ran late is stopped; a procedure's clean-up after it must still run.
    if (deadline->m_fired || !deadline->m_deadline.hasExpired())
        return 0;
    deadline->m_fired = true;
    return 1;
}

} // namespace olm::server
