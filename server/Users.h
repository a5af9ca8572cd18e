// Sign-in users as GET_USER and the administration see them: lookup, password age, stored verifier.
#pragma once

#include <QDate>
#include <QString>

#include <optional>

struct sqlite3;

namespace olm::server {

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
/// Stores a fresh verifier of the digest and makes today the change date.
bool storePasswordDigest(sqlite3 *db, int userId, const QString &digest, QString *error);

} // namespace olm::server
