// Opening and closing one database connection through Qt SQL's SQLite driver.
#include "Connection.h"

#include "Query.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>

#include <sqlite3.h>

namespace olm::server {

namespace {

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("olm-server-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

// Removes the Qt connection when the open fails half-way.
struct ConnectionNameGuard {
    QString name;
    bool dismissed = false;
    ~ConnectionNameGuard()
    {
        if (dismissed)
            return;
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
};

} // namespace

std::unique_ptr<Connection> Connection::open(const QString &path, Mode mode, QString *error)
{
    const QFileInfo file(path);
    if (mode == Mode::OpenExisting && !file.isFile()) {
        *error = QStringLiteral("Cannot open database '%1': the file does not exist.").arg(path);
        return nullptr;
    }
    ConnectionNameGuard guard{nextConnectionName()};
    sqlite3 *raw = nullptr;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), guard.name);
        if (!db.isValid()) {
            *error = QStringLiteral("The SQLite driver of Qt SQL is not available.");
            return nullptr;
        }
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(defaultBusyTimeout));
        if (!db.open()) {
            *error = QStringLiteral("Cannot open database '%1': %2").arg(path, db.lastError().text());
            return nullptr;
        }
        const QVariant handle = db.driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
            *error = QStringLiteral("Cannot open database '%1': no SQLite handle.").arg(path);
            return nullptr;
        }
        raw = *static_cast<sqlite3 *const *>(handle.constData());
    } // the connection stays registered under its name; the Connection object owns it from here
    guard.dismissed = true;
    std::unique_ptr<Connection> connection(new Connection(guard.name, path, raw));
    // "name" is always a name, never a string that stands in for an unknown column.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    QString why;
    // WAL lets readers and one writer work at once; NORMAL sync is safe with WAL.
    if (!connection->run(QStringLiteral("PRAGMA journal_mode=WAL"), &why)
        || !connection->run(QStringLiteral("PRAGMA synchronous=NORMAL"), &why)
        || !connection->run(QStringLiteral("PRAGMA recursive_triggers=OFF"), &why)) {
        *error = (connection->lastResultCode() & 0xff) == SQLITE_NOTADB
            ? QStringLiteral("The file '%1' is not a database or is damaged.").arg(path)
            : QStringLiteral("Cannot open database '%1': %2").arg(path, why);
        return nullptr;
    }
    return connection;
}

Connection::Connection(QString name, QString path, sqlite3 *handle)
    : m_name(std::move(name))
    , m_path(std::move(path))
    , m_handle(handle)
{
}

Connection::~Connection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

void Connection::setBusyTimeout(int milliseconds)
{
    m_busyTimeout = milliseconds;
    sqlite3_busy_timeout(m_handle, milliseconds);
}

bool Connection::run(const QString &sql, QString *error)
{
    Query query(m_handle, sql);
    if (query.exec())
        return true;
    m_lastResult = query.resultCode();
    if (error)
        *error = query.errorMessage();
    return false;
}

} // namespace olm::server
