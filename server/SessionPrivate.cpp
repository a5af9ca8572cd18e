// Signing a session in and running what it receives: front, rights, procedures, trace.
#include "SessionPrivate.h"

#include "Audit.h"
#include "Clock.h"
#include "Password.h"
#include "Procedures.h"
#include "Query.h"
#include "Schema.h"
#include "SchemaUpgrade.h"
#include "ServerErrors.h"
#include "Trace.h"
#include "tsql/TsqlFront.h"

#include <QFileInfo>

#include <optional>
#include <QStringList>

#include <sqlite3.h>

namespace olm::server {

std::unique_ptr<SessionPrivate> SessionPrivate::open(const QString &path, const QString &login,
                                                     const QString &password, bool administrator, QString *error)
{
    std::unique_ptr<SessionPrivate> d(new SessionPrivate);
    d->m_path = path;
    d->m_databaseName = QFileInfo(path).completeBaseName();
    d->m_connection = Connection::open(path, Connection::Mode::OpenExisting, error);
    if (!d->m_connection)
        return nullptr;
    d->m_clientStatements = std::make_unique<StatementCache>(d->db());
    d->m_ownStatements = std::make_unique<StatementCache>(d->db());
    if (!registerFunctions(d->db(), &d->m_facts)) {
        *error = QStringLiteral("Cannot prepare the connection to '%1'.").arg(path);
        return nullptr;
    }
    if (!d->signIn(login, password, administrator, error))
        return nullptr;
    return d;
}

bool SessionPrivate::signIn(const QString &login, const QString &password, bool administrator, QString *error)
{
    // The authorizer is not installed yet: these reads run as the owner.
    Query marks(db(), QStringLiteral("PRAGMA application_id"));
    if (!marks.next()) {
        *error = QStringLiteral("The file '%1' is not a database or is damaged.").arg(m_path);
        return false;
    }
    if (marks.value(0).toInt() != applicationId) {
        *error = QStringLiteral("The file '%1' is not an OLM database.").arg(m_path);
        return false;
    }
    // A newer program may have changed what the procedures and the client rely on: refuse rather than guess.
    const int layout = storedSchemaVersion(db());
    if (const QString newer = newerLayoutMessage(m_path, layout); !newer.isEmpty()) {
        *error = newer;
        return false;
    }
    // An older file lacks the triggers that scope, stamp and audit the journal: a user works only on the current one.
    if (const QString older = olderLayoutMessage(m_path, layout); !administrator && !older.isEmpty()) {
        *error = older;
        return false;
    }
    const QString loginFailed = QStringLiteral("Login failed for user '%1'.").arg(login);
    if (administrator) {
        m_facts.login = QLatin1String(administratorLogin);
        m_authorizer.setAdministrator(true);
    } else {
        // A login matches exactly: the text collation would ignore trailing blanks, which then end up in stamps.
        if (login != login.trimmed()) {
            *error = loginFailed;
            return false;
        }
        Query account(db(), QStringLiteral("SELECT name, password, enabled FROM srv_db_logins WHERE name = ?"));
        account.bind({login});
        const bool found = account.next();
        if (!account.ok()) {
            *error = serverErrorText(account.resultCode(), account.errorMessage(), m_databaseName);
            return false;
        }
        if (!found || !sameText(account.value(1).toString(), password) || !account.value(2).toBool()) {
            *error = loginFailed;
            return false;
        }
        m_facts.login = account.value(0).toString();
        Rights rights;
        if (!rights.load(db(), m_facts.login, error))
            return false;
        m_authorizer.setRights(std::move(rights));
        Query groups(db(), QStringLiteral("SELECT ug.id_group FROM srv_user_groups ug JOIN srv_users u "
                                          "ON u.id_login = ug.id_login WHERE u.db_login = ? AND ug.o_z = 1"));
        groups.bind({m_facts.login});
        while (groups.next())
            m_groups.insert(groups.value(0).toLongLong());
        m_facts.groupAllowed = [this](qint64 group) { return m_groups.contains(group); };
    }
    m_facts.isOwner = [this] { return m_authorizer.isOwner(); };
    QSet<QString> views, triggers;
    Query objects(db(), QStringLiteral("SELECT type, lower(name) FROM sqlite_master WHERE type IN ('view', 'trigger')"));
    while (objects.next())
        (objects.value(0).toString() == QLatin1String("view") ? views : triggers).insert(objects.value(1).toString());
    m_authorizer.setSchemaObjects(std::move(views), std::move(triggers));
    if (!administrator) {
        m_authorizer.learnViews(db());
        m_authorizer.learnTriggers(db());
    }
    m_authorizer.install(db());
    return true;
}

Outcome SessionPrivate::failure(const Query &query) const
{
    return failure(query.resultCode(), query.errorMessage());
}

Outcome SessionPrivate::failure(int resultCode, const QString &message) const
{
    return Outcome::failure(serverErrorText(resultCode, message, m_databaseName));
}

bool SessionPrivate::traceOn()
{
    Authorizer::Elevation owner(m_authorizer);
    m_ownStatements->dropIfSchemaChanged();
    // Read for every statement, so that switching the trace reaches running sessions at once; the statement
    // itself is prepared once.
    Query traceSwitch(*m_ownStatements, QStringLiteral("SELECT value FROM srv_config WHERE name = 'trace'"));
    return traceSwitch.next() && traceSwitch.storedBytes(0) == "1";
}

bool SessionPrivate::mayGroup(qint64 group) const
{
    return m_authorizer.isAdministrator() || m_groups.contains(group);
}

std::optional<Outcome> SessionPrivate::refuseIfMoved()
{
    // A file deleted, renamed or replaced under the session would take the write into a log nobody reads.
    int moved = 0;
    if (sqlite3_file_control(db(), "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || !moved)
        return std::nullopt;
    return Outcome::failure(QStringLiteral("The database file '%1' was deleted, renamed or replaced while this session "
                                           "was open; nothing was written. Sign in again.")
                                .arg(m_path));
}

void SessionPrivate::traceStatement(const QString &text)
{
    // A moved file's log is read by nobody: the statement itself is refused, and its trace is not written either.
    if (!traceOn() || refuseIfMoved())
        return;
    Authorizer::Elevation owner(m_authorizer);
    recordTrace(db(), m_facts.login, text);
}

std::optional<tsql::Translated> SessionPrivate::translate(const QString &text, const QVariantList &params, QString *error)
{
    if (const auto found = m_translations.constFind(text); found != m_translations.cend())
        return *found;
    const tsql::FrontContext context{m_dateOrder, &dateColumns()};
    auto translated = tsql::translate(text, params, context, error);
    // Only plain statements read the same whatever the values bound to them.
    if (translated && translated->kind == tsql::Translated::Kind::Sql) {
        if (m_translations.size() >= 256)
            m_translations.clear();
        m_translations.insert(text, *translated);
    }
    return translated;
}

Outcome SessionPrivate::execute(const QString &text, const QVariantList &params)
{
    QString error;
    const auto translated = translate(text, params, &error);
    if (!translated) {
        traceStatement(receivedTraceText(text));
        return Outcome::failure(error);
    }
    switch (translated->kind) {
    case tsql::Translated::Kind::Execute: {
        const Procedure *procedure = findProcedure(translated->procedure);
        traceStatement(procedure && !procedure->secretArguments.isEmpty()
                           ? procedureCallText(*procedure, translated->arguments)
                           : receivedTraceText(text));
        if (!procedure)
            return Outcome::failure(QStringLiteral("Could not find stored procedure '%1'.").arg(translated->procedure));
        return runAudited(*procedure, translated->arguments);
    }
    case tsql::Translated::Kind::SetOption:
        traceStatement(text);
        if (translated->option == QLatin1String("DATEFORMAT")) {
            m_dateOrder = translated->value;
            m_translations.clear(); // date literals read differently from now on
        }
        else if (translated->option == QLatin1String("NOCOUNT"))
            m_noCount = translated->value == QLatin1String("ON");
        return {};
    case tsql::Translated::Kind::Sql: {
        traceStatement(receivedTraceText(text));
        // Logins other than the administrator read and write rows, nothing else; some of these statements
        // (REINDEX) never reach the authorizer.
        static const QStringList ownerVerbs{
            QStringLiteral("PRAGMA"), QStringLiteral("VACUUM"), QStringLiteral("REINDEX"), QStringLiteral("ANALYZE"),
            QStringLiteral("ATTACH"), QStringLiteral("DETACH"), QStringLiteral("CREATE"), QStringLiteral("DROP"),
            QStringLiteral("ALTER"), QStringLiteral("BEGIN"), QStringLiteral("COMMIT"), QStringLiteral("END"),
            QStringLiteral("ROLLBACK"), QStringLiteral("SAVEPOINT"), QStringLiteral("RELEASE"), QStringLiteral("EXPLAIN")};
        if (!m_authorizer.isAdministrator() && ownerVerbs.contains(translated->verb))
            return Outcome::failure(Denial{}.message(m_databaseName));
        return runSql(translated->sql, params);
    }
    case tsql::Translated::Kind::Empty:
        break;
    }
    return {};
}

Outcome SessionPrivate::callProcedure(const QString &name, const QVariantList &args)
{
    QList<tsql::Argument> arguments;
    for (const QVariant &value : args)
        arguments.append({QString(), value});
    const Procedure *procedure = findProcedure(name);
    if (!procedure) {
        traceStatement(QStringLiteral("EXEC %1").arg(name));
        return Outcome::failure(QStringLiteral("Could not find stored procedure '%1'.").arg(name));
    }
    if (traceOn()) // the call's text is only written out for the trace
        traceStatement(procedureCallText(*procedure, arguments));
    return runAudited(*procedure, arguments);
}

Outcome SessionPrivate::runAudited(const Procedure &procedure, const QList<tsql::Argument> &arguments)
{
    if (auto refused = refuseIfMoved())
        return *refused;
    const Outcome outcome = runProcedure(*this, procedure, arguments);
    // Every call reaches the audit trail, refused or not, whoever made it. A read never waits for another
    // session's write (it runs on a snapshot), so its entry does not wait either: it is written with this
    // session's next write, or when the session ends, if the file is busy now.
    m_pendingCalls.append({serverNow(), m_facts.login, procedure.name, procedureCallText(procedure, arguments),
                           outcome.ok ? QString() : outcome.error});
    writePendingCalls(!procedure.readsOnly);
    return outcome;
}

void SessionPrivate::writePendingCalls(bool wait)
{
    if (m_pendingCalls.isEmpty() || refuseIfMoved())
        return;
    Authorizer::Elevation owner(m_authorizer);
    if (!wait)
        sqlite3_busy_timeout(db(), 0);
    qsizetype written = 0;
    while (written < m_pendingCalls.size() && recordProcedureCall(db(), m_pendingCalls.at(written)))
        ++written;
    m_pendingCalls.remove(0, written);
    if (!wait)
        m_connection->setBusyTimeout(m_connection->busyTimeout());
}

SessionPrivate::~SessionPrivate()
{
    if (m_connection)
        writePendingCalls(true);
}

Outcome SessionPrivate::runSql(const QString &sql, const QVariantList &params)
{
    {
        Authorizer::Elevation owner(m_authorizer);
        m_clientStatements->dropIfSchemaChanged();
    }
    Authorizer::ClientStatement statement(m_authorizer);
    // A kept statement was allowed when it was prepared, and a session's rights do not change.
    CachedStatement *kept = m_clientStatements->find(sql);
    std::optional<Query> fresh;
    if (kept) {
        statement.verdict();
    } else {
        fresh.emplace(db(), sql);
        if (!fresh->ok()) {
            if ((fresh->resultCode() & 0xff) == SQLITE_AUTH) {
                if (const auto denial = statement.verdict())
                    return Outcome::failure(denial->message(m_databaseName));
            }
            return failure(*fresh);
        }
        if (fresh->hasTail())
            return Outcome::failure(QStringLiteral("Only one statement can be run at a time; nothing was run."));
        if (fresh->isEmpty())
            return {};
        if (const auto denial = statement.verdict())
            return Outcome::failure(denial->message(m_databaseName));
        fresh->keepIn(*m_clientStatements, sql);
    }
    std::optional<Query> reused;
    if (kept)
        reused.emplace(db(), kept);
    Query &query = kept ? *reused : *fresh;
    if (!query.bind(params))
        return failure(query);
    if (!query.isReadOnly()) {
        if (auto refused = refuseIfMoved())
            return *refused;
        writePendingCalls(true);
    }
    Outcome outcome;
    if (query.columnCount() > 0) {
        ResultSet rows = query.readAll();
        if (!query.ok())
            return failure(query);
        outcome.resultSets.push_back(std::move(rows));
    } else if (!query.exec()) {
        return failure(query);
    }
    if (!query.isReadOnly() && !m_noCount)
        outcome.rowsAffected = query.changes();
    return outcome;
}

} // namespace olm::server
