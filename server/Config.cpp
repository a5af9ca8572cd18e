// Reading and writing srv_config.
#include "Config.h"

#include "Query.h"

namespace olm::server {

QString configValue(sqlite3 *db, const char *name, const QString &fallback)
{
    Query query(db, QStringLiteral("SELECT value FROM srv_config WHERE name = ?"));
    query.bind({QString::fromLatin1(name)});
    return query.next() ? query.value(0).toString() : fallback;
}

bool setConfigValue(sqlite3 *db, const char *name, const QString &value, QString *error)
{
    Query query(db, QStringLiteral("INSERT OR REPLACE INTO srv_config (name, value) VALUES (?, ?)"));
    if (query.bind({QString::fromLatin1(name), value}) && query.exec())
        return true;
    *error = query.errorMessage();
    return false;
}

} // namespace olm::server
