// One signed-in connection to the embedded server: a database login with its rights, its own SQLite
// connection to the database file, and the per-session settings (DATEFORMAT, NOCOUNT).
#pragma once

#include "Result.h"

#include <QString>
#include <QVariantList>

#include <memory>

namespace olm::server {

class SessionPrivate;

class Session {
public:
    /// Opens a session on the database file as a database login. A wrong login or password gives null and
    /// sets *error to "Login failed for user 'NAME'." (NAME as given); a missing or corrupt file, or one that
    /// is not an OLM database, gives null with a clear text naming the file.
    static std::unique_ptr<Session> open(const QString &databasePath, const QString &login,
                                         const QString &password, QString *error);
    /// A session with every right (the administrator's tool, tests, schema creation).
    static std::unique_ptr<Session> openAsAdministrator(const QString &databasePath, QString *error);

    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    /// Runs one T-SQL statement text as the client sends it (SELECT/INSERT/UPDATE/DELETE, TOP, [names], dbo.,
    /// EXEC/EXECUTE with literal arguments, SET DATEFORMAT/NOCOUNT). params bind to '?' placeholders in order
    /// (also to ':name' ones, by position, and to '?' arguments of EXEC). A text of more than one statement is
    /// refused whole. Quoted date literals compared with or stored into date columns are read in the session's
    /// DATEFORMAT (mdy until changed). rowsAffected is exact for INSERT/UPDATE/DELETE, -1 after SET NOCOUNT ON.
    Outcome execute(const QString &statement, const QVariantList &params = {});
    /// Calls a stored procedure with positional arguments (index 0 = first argument, not the return value).
    /// The name may carry a group number ("SORT_2_MARK_MAG;1") and a "dbo." prefix; case does not matter.
    Outcome callProcedure(const QString &name, const QVariantList &args);

    QString login() const;
    QString databasePath() const;
    /// How long a statement waits for another session's write lock before it fails (5000 ms at open).
    void setBusyTimeout(int milliseconds);
    /// How long one execute() or callProcedure() may run before it is stopped and fails with
    /// "Query timeout expired" (0, the default: no limit). The session stays usable afterwards.
    void setCommandTimeout(int milliseconds);

private:
    explicit Session(std::unique_ptr<SessionPrivate> d);
    std::unique_ptr<SessionPrivate> d;
    int m_commandTimeout = 0;
};

} // namespace olm::server
