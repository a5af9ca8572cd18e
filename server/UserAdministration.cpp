// Administration of sign-in users beyond creating them: groups named by name or id, removal, role, expiry.
#include "Database.h"

#include "Query.h"
#include "SessionPrivate.h"
#include "Users.h"

#include <QSet>

namespace olm::server {

namespace {

std::optional<UserRecord> existingUser(sqlite3 *db, const QString &login, QString *error)
{
    auto user = findUser(db, login, error);
    if (!user && error->isEmpty())
        *error = QStringLiteral("There is no user '%1'.").arg(login);
    return user;
}

} // namespace

std::optional<int> Administration::findGroup(const QString &nameOrId, QString *error)
{
    bool isNumber = false;
    const qlonglong id = nameOrId.trimmed().toLongLong(&isNumber);
    // The name compares with the column's own collation: case and trailing blanks do not matter, as in the client.
    Query query(d->db(), QStringLiteral("SELECT id_group FROM [group] WHERE id_group = ?1 OR p20 = ?2 ORDER BY id_group"));
    QList<int> found;
    if (query.bind({isNumber ? QVariant(id) : QVariant(), nameOrId})) {
        while (query.next())
            found.append(query.value(0).toInt());
    }
    if (!query.ok()) {
        *error = d->failure(query).error;
        return std::nullopt;
    }
    if (found.size() == 1)
        return found.first();
    if (found.isEmpty()) {
        *error = QStringLiteral("There is no group '%1'.").arg(nameOrId);
        return std::nullopt;
    }
    QStringList ids;
    for (const int group : found)
        ids.append(QString::number(group));
    *error = QStringLiteral("'%1' names more than one group (ids %2): give the id.").arg(nameOrId, ids.join(QStringLiteral(", ")));
    return std::nullopt;
}

bool Administration::removeUser(const QString &login, QString *error)
{
    if (isReservedLogin(login)) {
        *error = QStringLiteral("The login '%1' is reserved; it is not a user that can be removed.").arg(login);
        return false;
    }
    const auto user = existingUser(d->db(), login, error);
    if (!user)
        return false;
    return inTransaction([&](QString *why) {
        if (!run(QStringLiteral("DELETE FROM srv_user_groups WHERE id_login = ?"), {user->id}, why)
            || !run(QStringLiteral("DELETE FROM srv_users WHERE id_login = ?"), {user->id}, why))
            return false;
        // A database login made by hand may serve several users, and the reserved ones serve the server itself.
        if (isReservedLogin(user->databaseLogin))
            return true;
        Query shared(d->db(), QStringLiteral("SELECT 1 FROM srv_users WHERE db_login = ?"));
        shared.bind({user->databaseLogin});
        if (shared.next())
            return true;
        if (!shared.ok()) {
            *why = d->failure(shared).error;
            return false;
        }
        return run(QStringLiteral("DELETE FROM srv_rights WHERE login = ?"), {user->databaseLogin}, why)
            && run(QStringLiteral("DELETE FROM srv_db_logins WHERE name = ?"), {user->databaseLogin}, why);
    }, error);
}

bool Administration::setUserRole(const QString &login, Role role, QString *error)
{
    const auto user = existingUser(d->db(), login, error);
    if (!user)
        return false;
    const auto wanted = roleGrants(role);
    const QSet<std::pair<QString, QString>> kept(wanted.cbegin(), wanted.cend());
    return inTransaction([&](QString *why) {
        // Only the rights that tell the roles apart are taken away; a right granted on its own stays.
        for (const auto &[object, action] : roleGrants(Role::Editor)) {
            if (!kept.contains({object, action})
                && !run(QStringLiteral("DELETE FROM srv_rights WHERE login = ? AND object = ? AND action = ?"),
                        {user->databaseLogin, object, action}, why))
                return false;
        }
        for (const auto &[object, action] : wanted) {
            if (!run(QStringLiteral("INSERT OR IGNORE INTO srv_rights (login, object, action) VALUES (?, ?, ?)"),
                     {user->databaseLogin, object, action}, why))
                return false;
        }
        return true;
    }, error);
}

bool Administration::expirePassword(const QString &login, QString *error)
{
    const auto id = userId(login, error);
    // Without a change date the password counts as expired (passwordDaysLeft); the next change sets one.
    return id && run(QStringLiteral("UPDATE srv_users SET password_changed = NULL WHERE id_login = ?"), {*id}, error);
}

} // namespace olm::server
