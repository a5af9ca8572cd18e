// Creating database files and the administration operations.
#include "Database.h"

#include "Config.h"
#include "Connection.h"
#include "DemoData.h"
#include "Password.h"
#include "Query.h"
#include "Schema.h"
#include "SchemaUpgrade.h"
#include "SessionPrivate.h"
#include "Transaction.h"
#include "Users.h"
#include "text/Windows1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace olm::server {

namespace {

// Removes a half-created database unless the creation went through.
struct CreationGuard {
    QString path;
    bool done = false;
    ~CreationGuard()
    {
        if (done)
            return;
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
    }
};

bool validLogin(const QString &login, QString *error)
{
    static const QRegularExpression re(QStringLiteral(R"(^[\w.\-]{1,20}$)"), QRegularExpression::UseUnicodePropertiesOption);
    if (!re.match(login).hasMatch() || !olm::text::toWindows1251(login)) {
        *error = QStringLiteral("A login is 1 to 20 letters, digits, '_', '.' or '-': '%1' is not one.").arg(login);
        return false;
    }
    if (isReservedLogin(login)) {
        *error = QStringLiteral("The login '%1' is reserved.").arg(login);
        return false;
    }
    return true;
}

// What the sign-in window lets a user type, so that every password set here can be typed there.
bool validPassword(const QString &password, QString *error)
{
    static const QRegularExpression re(QStringLiteral(R"(^[A-Za-z0-9_]{6,20}$)"));
    if (re.match(password).hasMatch())
        return true;
    *error = QStringLiteral("A password is 6 to 20 Latin letters, digits or '_'.");
    return false;
}

std::optional<QString> digestOf(const QString &password, QString *error)
{
    const auto digest = passwordDigest(password);
    if (!digest)
        *error = QStringLiteral("The password has characters that Windows-1251 cannot hold.");
    return digest;
}

// A connection with the administrator's functions, for work on the file outside any session.
struct OwnerConnection {
    SessionFacts facts{QLatin1String(administratorLogin), {}, {}};
    std::unique_ptr<Connection> connection;
    sqlite3 *handle() const { return connection->handle(); }
};

std::unique_ptr<OwnerConnection> openOwnerConnection(const QString &path, Connection::Mode mode, QString *error)
{
    auto owner = std::make_unique<OwnerConnection>();
    owner->connection = Connection::open(path, mode, error);
    if (!owner->connection)
        return nullptr;
    if (!registerFunctions(owner->handle(), &owner->facts)) {
        *error = QStringLiteral("Cannot prepare the connection to '%1'.").arg(path);
        return nullptr;
    }
    return owner;
}

} // namespace

bool createDatabase(const QString &path, bool withDemoData, QString *error)
{
    if (QFileInfo::exists(path)) {
        *error = QStringLiteral("The database '%1' already exists.").arg(path);
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("Cannot create the folder of '%1'.").arg(path);
        return false;
    }
    CreationGuard guard{path};
    {
        // The file holds the database logins' passwords: it is made its owner's alone before anything is in it
        // (the write-ahead log and shared-memory files take its permissions).
        QFile file(path);
        if (!file.open(QIODevice::NewOnly | QIODevice::WriteOnly)
            || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            *error = QStringLiteral("Cannot create '%1': %2").arg(path, file.errorString());
            return false;
        }
    }
    {
        auto connection = openOwnerConnection(path, Connection::Mode::Create, error);
        if (!connection)
            return false;
        Transaction transaction(connection->handle());
        if (!transaction.ok() || !createSchema(connection->handle(), error) || !transaction.commit()) {
            if (error->isEmpty())
                *error = transaction.errorMessage();
            return false;
        }
    }
    if (withDemoData) {
        auto admin = Administration::open(path, error);
        // The demo's rows are where the trail starts, not changes to it.
        if (!admin || !fillDemoData(*admin, error))
            return false;
        const Outcome cleared = admin->execute(QStringLiteral("DELETE FROM srv_audit"));
        if (!cleared.ok) {
            *error = cleared.error;
            return false;
        }
    }
    guard.done = true;
    return true;
}

bool upgradeDatabase(const QString &path, int *from, QString *error)
{
    auto connection = openOwnerConnection(path, Connection::Mode::OpenExisting, error);
    if (!connection)
        return false;
    {
        // Ended before the upgrade: a statement still reading would keep the schema locked.
        Query marks(connection->handle(), QStringLiteral("PRAGMA application_id"));
        if (!marks.next() || marks.value(0).toInt() != applicationId) {
            *error = QStringLiteral("The file '%1' is not an OLM database.").arg(path);
            return false;
        }
    }
    if (upgradeSchema(connection->handle(), from, error))
        return true;
    *error = QStringLiteral("Cannot upgrade '%1': %2").arg(path, *error);
    return false;
}

std::unique_ptr<Administration> Administration::open(const QString &path, QString *error)
{
    auto d = SessionPrivate::open(path, QString(), QString(), true, error);
    return d ? std::unique_ptr<Administration>(new Administration(std::move(d))) : nullptr;
}

Administration::Administration(std::unique_ptr<SessionPrivate> d)
    : d(std::move(d))
{
}

Administration::~Administration() = default;

bool Administration::run(const QString &sql, const QVariantList &values, QString *error)
{
    Query query(d->db(), sql);
    if (query.bind(values) && query.exec())
        return true;
    *error = d->failure(query).error;
    return false;
}

std::optional<int> Administration::userId(const QString &login, QString *error)
{
    const auto user = findUser(d->db(), login, error);
    if (!user && error->isEmpty())
        *error = QStringLiteral("There is no user '%1'.").arg(login);
    return user ? std::optional<int>(user->id) : std::nullopt;
}

Outcome Administration::execute(const QString &statement, const QVariantList &params)
{
    return d->execute(statement, params);
}

bool Administration::inTransaction(const std::function<bool(QString *)> &work, QString *error)
{
    Transaction transaction(d->db());
    if (!transaction.ok()) {
        *error = d->failure(transaction.resultCode(), transaction.errorMessage()).error;
        return false;
    }
    if (!work(error))
        return false;
    if (transaction.commit())
        return true;
    *error = d->failure(transaction.resultCode(), transaction.errorMessage()).error;
    return false;
}

std::optional<QList<SignInUser>> Administration::users(QString *error)
{
    Query query(d->db(), QStringLiteral(
        "SELECT u.id_login, u.login, u.db_login, u.password_changed, u.blocked_message, "
        "EXISTS (SELECT 1 FROM srv_rights r WHERE r.login = u.db_login AND r.object = 'mark_mag' AND r.action = 'UPDATE') "
        "FROM srv_users u ORDER BY u.login"));
    QList<SignInUser> users;
    while (query.next()) {
        SignInUser user;
        user.id = query.value(0).toInt();
        user.login = query.value(1).toString();
        user.databaseLogin = query.value(2).toString();
        user.passwordChanged = query.value(3).toDate();
        user.daysLeft = passwordDaysLeft(d->db(), user.passwordChanged);
        user.blockedMessage = query.value(4).toString();
        user.role = query.value(5).toLongLong() ? Role::Editor : Role::Reader;
        users.append(user);
    }
    if (!query.ok()) {
        *error = d->failure(query).error;
        return std::nullopt;
    }
    Query groups(d->db(), QStringLiteral("SELECT ug.id_login, ug.id_group, g.p20 FROM srv_user_groups ug "
                                         "LEFT JOIN [group] g ON g.id_group = ug.id_group ORDER BY ug.id_login, ug.id_group"));
    QHash<int, qsizetype> byId;
    for (qsizetype i = 0; i < users.size(); ++i)
        byId.insert(users.at(i).id, i);
    while (groups.next()) {
        const auto at = byId.constFind(groups.value(0).toInt());
        if (at == byId.cend())
            continue;
        users[*at].groups.append(groups.value(1).toInt());
        users[*at].groupNames.append(groups.value(2).toString());
    }
    if (!groups.ok()) {
        *error = d->failure(groups).error;
        return std::nullopt;
    }
    return users;
}

bool Administration::addUser(const QString &login, const QString &password, Role role, QString *error)
{
    if (!validLogin(login, error))
        return false;
    const auto digest = digestOf(password, error);
    if (!digest)
        return false;
    QString ignored;
    if (findUser(d->db(), login, &ignored)) {
        *error = QStringLiteral("The user '%1' already exists.").arg(login);
        return false;
    }
    if (!validPassword(password, error))
        return false;
    return inTransaction([&](QString *why) {
        if (!run(QStringLiteral("INSERT INTO srv_db_logins (name, password) VALUES (?, ?)"), {login, randomPassword()}, why))
            return false;
        for (const auto &[object, action] : roleGrants(role)) {
            if (!run(QStringLiteral("INSERT INTO srv_rights (login, object, action) VALUES (?, ?, ?)"),
                     {login, object, action}, why))
                return false;
        }
        return run(QStringLiteral("INSERT INTO srv_users (login, verifier, password_changed, db_login) "
                                  "VALUES (?, ?, olm_today(), ?)"),
                   {login, makeVerifier(*digest), login}, why);
    }, error);
}

bool Administration::setPassword(const QString &login, const QString &password, QString *error)
{
    const auto digest = digestOf(password, error);
    const auto id = digest ? userId(login, error) : std::nullopt;
    return id && validPassword(password, error) && storePasswordDigest(d->db(), *id, *digest, error);
}

bool Administration::setPasswordChanged(const QString &login, const QDate &date, QString *error)
{
    const auto id = userId(login, error);
    return id && run(QStringLiteral("UPDATE srv_users SET password_changed = ? WHERE id_login = ?"), {date, *id}, error);
}

bool Administration::blockUser(const QString &login, const QString &message, QString *error)
{
    if (message.trimmed().isEmpty()) {
        *error = QStringLiteral("A blocked user is shown a message: give one.");
        return false;
    }
    const auto id = userId(login, error);
    return id && inTransaction([&](QString *why) {
        return run(QStringLiteral("UPDATE srv_users SET blocked_message = ? WHERE id_login = ?"), {message, *id}, why)
            && run(QStringLiteral("UPDATE srv_db_logins SET enabled = 0 WHERE name = "
                                  "(SELECT db_login FROM srv_users WHERE id_login = ?)"), {*id}, why);
    }, error);
}

bool Administration::unblockUser(const QString &login, QString *error)
{
    const auto id = userId(login, error);
    return id && inTransaction([&](QString *why) {
        return run(QStringLiteral("UPDATE srv_users SET blocked_message = NULL WHERE id_login = ?"), {*id}, why)
            && run(QStringLiteral("UPDATE srv_db_logins SET enabled = 1 WHERE name = "
                                  "(SELECT db_login FROM srv_users WHERE id_login = ?)"), {*id}, why);
    }, error);
}

bool Administration::setRight(const QString &databaseLogin, const QString &object, const QString &action, bool granted,
                              QString *error)
{
    static const QStringList actions{QStringLiteral("SELECT"), QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
                                     QStringLiteral("DELETE"), QStringLiteral("EXECUTE")};
    if (!actions.contains(action.toUpper())) {
        *error = QStringLiteral("'%1' is not a right; use SELECT, INSERT, UPDATE, DELETE or EXECUTE.").arg(action);
        return false;
    }
    Query login(d->db(), QStringLiteral("SELECT 1 FROM srv_db_logins WHERE name = ?"));
    login.bind({databaseLogin});
    if (!login.next()) {
        *error = QStringLiteral("There is no database login '%1'.").arg(databaseLogin);
        return false;
    }
    return granted ? run(QStringLiteral("INSERT OR IGNORE INTO srv_rights (login, object, action) VALUES (?, ?, ?)"),
                         {databaseLogin, object, action.toUpper()}, error)
                   : run(QStringLiteral("DELETE FROM srv_rights WHERE login = ? AND object = ? AND action = ?"),
                         {databaseLogin, object, action.toUpper()}, error);
}

bool Administration::setUserGroups(const QString &login, const QList<int> &groups, QString *error)
{
    const auto id = userId(login, error);
    return id && inTransaction([&](QString *why) {
        if (!run(QStringLiteral("DELETE FROM srv_user_groups WHERE id_login = ?"), {*id}, why))
            return false;
        for (const int group : groups) {
            Query exists(d->db(), QStringLiteral("SELECT 1 FROM [group] WHERE id_group = ?"));
            exists.bind({group});
            if (!exists.next()) {
                *why = QStringLiteral("There is no group %1.").arg(group);
                return false;
            }
            if (!run(QStringLiteral("INSERT OR IGNORE INTO srv_user_groups (id_login, id_group) VALUES (?, ?)"),
                     {*id, group}, why))
                return false;
        }
        return true;
    }, error);
}

QString Administration::currentProgram()
{
    return configValue(d->db(), currentProgramKey, QLatin1String(defaultCurrentProgram));
}

bool Administration::setCurrentProgram(const QString &program, QString *error)
{
    if (program.trimmed().isEmpty()) {
        *error = QStringLiteral("The current program needs a name, such as \"OLM 17\".");
        return false;
    }
    return setConfigValue(d->db(), currentProgramKey, program, error);
}

bool Administration::setTrace(bool on, QString *error)
{
    return setConfigValue(d->db(), traceKey, on ? QStringLiteral("1") : QStringLiteral("0"), error);
}

bool Administration::traceEnabled()
{
    return configValue(d->db(), traceKey) == QLatin1String("1");
}

bool Administration::forEachTraceEntry(const std::function<void(const TraceEntry &)> &visit, QString *error)
{
    Query query(d->db(), QStringLiteral("SELECT trace_date, login, statement FROM srv_trace ORDER BY id_trace"));
    TraceEntry entry;
    while (query.next()) {
        entry = {query.value(0).toDateTime(), query.value(1).toString(), query.value(2).toString()};
        visit(entry);
    }
    if (query.ok())
        return true;
    *error = d->failure(query).error;
    return false;
}

std::optional<QList<AuditEntry>> Administration::audit(const AuditFilter &filter, QString *error)
{
    return readAudit(d->db(), filter, error);
}

bool Administration::forEachLogEntry(const std::function<void(const LogEntry &)> &visit, QString *error)
{
    Query query(d->db(), QStringLiteral(
        "SELECT id_log, log_date, [table], row_id, descr, OLM_User, comp FROM OLM_LOG ORDER BY id_log"));
    LogEntry entry;
    while (query.next()) {
        entry = {query.value(0).toInt(), query.value(1).toDateTime(), query.value(2).toString(), query.value(3),
                 query.value(4).toString(), query.value(5).toString(), query.value(6).toString()};
        visit(entry);
    }
    if (query.ok())
        return true;
    *error = d->failure(query).error;
    return false;
}

bool Administration::forEachStoredLogRow(const std::function<void(const QByteArrayView (&row)[7])> &visit,
                                         QString *error)
{
    Query query(d->db(), QStringLiteral(
        "SELECT id_log, log_date, [table], row_id, descr, OLM_User, comp FROM OLM_LOG ORDER BY id_log"));
    QByteArrayView row[7];
    while (query.next()) {
        for (int i = 0; i < 7; ++i)
            row[i] = query.storedBytes(i);
        visit(row);
    }
    if (query.ok())
        return true;
    *error = d->failure(query).error;
    return false;
}

std::optional<QList<TraceEntry>> Administration::trace(QString *error)
{
    QList<TraceEntry> entries;
    if (!forEachTraceEntry([&](const TraceEntry &entry) { entries.append(entry); }, error))
        return std::nullopt;
    return entries;
}

std::optional<QList<LogEntry>> Administration::log(QString *error)
{
    QList<LogEntry> entries;
    if (!forEachLogEntry([&](const LogEntry &entry) { entries.append(entry); }, error))
        return std::nullopt;
    return entries;
}

} // namespace olm::server
