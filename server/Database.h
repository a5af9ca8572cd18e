// Creating an OLM database file and administering it (sign-in users, rights, trace, log): the small API the
// administrator's tool and the tests share.
#pragma once

#include "Audit.h"
#include "Result.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace olm::server {

class SessionPrivate;

/// What a sign-in user may do in the journal.
enum class Role {
    Editor, ///< reads everything, edits and deletes journal rows, restores deleted rows, writes the change log
    Reader, ///< reads everything; posts and deletions are refused
};

struct SignInUser {
    int id = 0;                 ///< the id GET_USER answers, group_form.id_login
    QString login;
    QString databaseLogin;      ///< the login the client reconnects with
    Role role = Role::Reader;
    QDate passwordChanged;
    int daysLeft = 0;           ///< below 0 once the password has expired
    QString blockedMessage;     ///< empty when the user is not blocked
    QList<int> groups;          ///< the groups the user may see
    QStringList groupNames;     ///< their names (p20), in the same order
};

struct TraceEntry {
    QDateTime time;
    QString login;
    QString statement;
};

struct LogEntry {
    int id = 0;
    QDateTime time;
    QString table;
    QVariant rowId;
    QString description;
    QString user;
    QString computer;
};

/// Creates a new database file (its folder too) with the schema, and with the demo data if asked.
/// Refuses a path that exists; leaves no file behind on failure.
bool createDatabase(const QString &path, bool withDemoData, QString *error);

/// Brings an existing database file to the layout this program knows; *from receives the version it had
/// (equal to schemaVersion when there was nothing to do). A newer file is refused.
bool upgradeDatabase(const QString &path, int *from, QString *error);

/// Administration of one database file through an administrator's session.
class Administration {
public:
    static std::unique_ptr<Administration> open(const QString &path, QString *error);
    ~Administration();
    Administration(const Administration &) = delete;
    Administration &operator=(const Administration &) = delete;

    std::optional<QList<SignInUser>> users(QString *error);
    /// Creates the sign-in user with a database login of the same name, a generated database password and
    /// the rights of the role. The password is what the user types.
    bool addUser(const QString &login, const QString &password, Role role, QString *error);
    /// Sets what the user types and makes today the change date.
    bool setPassword(const QString &login, const QString &password, QString *error);
    /// Backdates (or forwards) the password change date, which sets the days left.
    bool setPasswordChanged(const QString &login, const QDate &date, QString *error);
    /// GET_USER then answers the message instead of credentials, and the database login stops working.
    bool blockUser(const QString &login, const QString &message, QString *error);
    bool unblockUser(const QString &login, QString *error);
    /// Grants (or revokes) one right of a database login: action SELECT, INSERT, UPDATE, DELETE or EXECUTE on a
    /// table, view or procedure. Sessions opened afterwards see the change.
    bool setRight(const QString &databaseLogin, const QString &object, const QString &action, bool granted,
                  QString *error);
    /// Replaces the groups the user may see (group_form).
    bool setUserGroups(const QString &login, const QList<int> &groups, QString *error);
    /// The group a word names: a group id or a group's name (p20, compared as the server compares texts). A word
    /// that fits more than one group is refused as ambiguous, one that fits none as unknown.
    std::optional<int> findGroup(const QString &nameOrId, QString *error);
    /// Removes the sign-in user and the groups it sees, and its database login with that login's rights unless
    /// another user signs in through it. Journal, log, audit and sign-in records keep the login as text.
    bool removeUser(const QString &login, QString *error);
    /// Gives the user's database login the rights of the role; rights granted one by one besides stay.
    bool setUserRole(const QString &login, Role role, QString *error);
    /// Makes the password expired: GET_USER answers a validity below 0 and no credentials until the user changes it.
    bool expirePassword(const QString &login, QString *error);

    /// The program name GET_USER expects ("OLM 16"); older clients are told to update.
    QString currentProgram();
    /// Refuses an empty name.
    bool setCurrentProgram(const QString &program, QString *error);

    bool setTrace(bool on, QString *error);
    bool traceEnabled();
    std::optional<QList<TraceEntry>> trace(QString *error);
    /// OLM_LOG entries, oldest first.
    std::optional<QList<LogEntry>> log(QString *error);
    /// The same one entry at a time, in order, so that a listing of any length takes constant memory.
    bool forEachTraceEntry(const std::function<void(const TraceEntry &)> &visit, QString *error);
    bool forEachLogEntry(const std::function<void(const LogEntry &)> &visit, QString *error);
    /// The same as stored, for listings of any length: the UTF-8 texts of id_log, log_date, [table], row_id,
    /// descr, OLM_User and comp (a null view for NULL), valid during the call.
    bool forEachStoredLogRow(const std::function<void(const QByteArrayView (&row)[7])> &visit, QString *error);
    /// The server's audit trail, oldest first.
    std::optional<QList<AuditEntry>> audit(const AuditFilter &filter, QString *error);

    /// Runs one statement with every right (T-SQL front included).
    Outcome execute(const QString &statement, const QVariantList &params = {});
    /// Runs work in one transaction: committed when it returns true, rolled back otherwise.
    bool inTransaction(const std::function<bool(QString *)> &work, QString *error);

private:
    explicit Administration(std::unique_ptr<SessionPrivate> d);
    std::optional<int> userId(const QString &login, QString *error);
    bool run(const QString &sql, const QVariantList &values, QString *error);
    std::unique_ptr<SessionPrivate> d;
};

} // namespace olm::server
