// Sign-in user records.
#include "Users.h"

#include "Clock.h"
#include "Config.h"
#include "DateText.h"
#include "Password.h"
#include "Query.h"

namespace olm::server {

std::optional<UserRecord> findUser(sqlite3 *db, const QString &login, QString *error)
{
    Query query(db, QStringLiteral("SELECT id_login, login, verifier, password_changed, blocked_message, db_login "
                                   "FROM srv_users WHERE login = ?"));
    query.bind({login});
    if (!query.next()) {
        if (!query.ok())
            *error = query.errorMessage();
        return std::nullopt;
    }
    return UserRecord{query.value(0).toInt(), query.value(1).toString(), query.value(2).toString(),
                      query.value(3).toDate(), query.value(4).toString(), query.value(5).toString()};
}

int passwordDaysLeft(sqlite3 *db, const QDate &changed)
{
    if (!changed.isValid())
        return -1;
    const int maxAge = configValue(db, passwordAgeKey, QStringLiteral("90")).toInt();
    return int(maxAge - changed.daysTo(serverNow().date()));
}

bool storePasswordDigest(sqlite3 *db, int userId, const QString &digest, QString *error)
{
    Query query(db, QStringLiteral("UPDATE srv_users SET verifier = ?, password_changed = ? WHERE id_login = ?"));
    if (query.bind({makeVerifier(digest), storedDate(serverNow().date()), userId}) && query.exec())
        return true;
    *error = query.errorMessage();
    return false;
}

} // namespace olm::server
