// Sign-in users as GET_USER and the administration see them: lookup, password age, stored verifier, the rights
// of a role.
#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

struct sqlite3;

namespace olm::server {

enum class Role;

struct UserRecord {
    int id = 0;
    QString login;
    QString verifier;
    QDate passwordChanged;
    QString blockedMessage;
    QString databaseLogin;
};

/// The user of that login (case-insensitive); nothing when there is none or the read failed (*error set then).
std::optional<UserRecord> findUser(sqlite3 *db, const QString &login, QString *error);
/// Days until the password must be changed; below 0 once it has expired (or was never set).
int passwordDaysLeft(sqlite3 *db, const QDate &changed);
/// The administrator's and the bootstrap login: never a sign-in user's.
bool isReservedLogin(const QString &login);
/// The rights (object, action) a database login of the role holds.
QList<std::pair<QString, QString>> roleGrants(Role role);
/// Stores a fresh verifier of the digest and makes today the change date.
bool storePasswordDigest(sqlite3 *db, int userId, const QString &digest, QString *error);

} // namespace olm::server
