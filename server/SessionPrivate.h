// The inside of a session, shared by the session's front door, the procedures and the trace.
#pragma once

#include "Connection.h"
#include "Audit.h"
#include "Result.h"
#include "Rights.h"
#include "SqlFunctions.h"
#include "StatementCache.h"
#include "tsql/TsqlFront.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QVariantList>

#include <memory>
#include <optional>

namespace olm::server {

class Query;
struct Procedure;

class SessionPrivate {
public:
    /// Writes what the audit trail still waits for.
    ~SessionPrivate();
    /// Opens the file and signs the login in; administrator skips the password check and gets every right.
    static std::unique_ptr<SessionPrivate> open(const QString &path, const QString &login, const QString &password,
                                                bool administrator, QString *error);

    Outcome execute(const QString &text, const QVariantList &params);
    Outcome callProcedure(const QString &name, const QVariantList &args);

    sqlite3 *db() const { return m_connection->handle(); }
    Connection &connection() { return *m_connection; }
    Authorizer &authorizer() { return m_authorizer; }
    const QString &login() const { return m_facts.login; }
    const QString &path() const { return m_path; }
    /// The name messages give the database: the file's base name.
    const QString &databaseName() const { return m_databaseName; }
    const QString &dateOrder() const { return m_dateOrder; }
    /// The server's own statements (procedure bodies, trace), prepared once per session.
    StatementCache &ownStatements() { return *m_ownStatements; }
    /// Whether the signed-in user may read and change the journal rows of the group (group_form, o_z = 1).
    bool mayGroup(qint64 group) const;
    /// A refusal when the database file has moved under the session (deleted, renamed, replaced).
    std::optional<Outcome> refuseIfMoved();

    /// The failure of a statement, worded for the client.
    Outcome failure(const Query &query) const;
    Outcome failure(int resultCode, const QString &message) const;

private:
    SessionPrivate() = default;
    bool signIn(const QString &login, const QString &password, bool administrator, QString *error);
    Outcome runSql(const QString &sql, const QVariantList &params);
    bool traceOn();
    Outcome runAudited(const Procedure &procedure, const QList<tsql::Argument> &arguments);
    /// Writes the calls not yet in the audit trail, oldest first; without waiting, it stops at a busy file.
    void writePendingCalls(bool wait);
    void traceStatement(const QString &text);
    std::optional<tsql::Translated> translate(const QString &text, const QVariantList &params, QString *error);

    // The connection's functions and authorizer point here: declared first, so destroyed after it.
    SessionFacts m_facts;
    Authorizer m_authorizer;
    QSet<qint64> m_groups; // the journal groups of the signed-in user(s) of this database login
    QList<ProcedureCall> m_pendingCalls; // audit entries of reads made while another session was writing
    std::unique_ptr<Connection> m_connection;
    // Declared after the connection: their statements are finalized before it closes. Client statements and
    // the server's own are kept apart, so a client text never reaches a statement prepared with owner rights.
    std::unique_ptr<StatementCache> m_clientStatements;
    std::unique_ptr<StatementCache> m_ownStatements;
    QHash<QString, tsql::Translated> m_translations; // client statement texts in the current DATEFORMAT
    QString m_path;
    QString m_databaseName;
    QString m_dateOrder = QStringLiteral("mdy"); // SQL Server's default for us_english, its default language
    bool m_noCount = false;
};

} // namespace olm::server
