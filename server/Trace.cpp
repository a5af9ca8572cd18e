// The statement trace.
#include "Trace.h"

#include "Clock.h"
#include "Config.h"
#include "DateText.h"
#include "Query.h"

namespace olm::server {

bool traceEnabled(sqlite3 *db)
{
    return configValue(db, traceKey) == QLatin1String("1");
}

void recordTrace(sqlite3 *db, const QString &login, const QString &statement)
{
    // A trace that cannot be written (a locked file) must not stop the statement itself.
    Query query(db, QStringLiteral("INSERT INTO srv_trace (trace_date, login, statement) VALUES (?, ?, ?)"));
    if (query.bind({storedDateTime(serverNow()), login, statement}))
        query.exec();
}

} // namespace olm::server
