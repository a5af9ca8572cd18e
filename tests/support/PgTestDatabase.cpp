// A throwaway copy of the PostgreSQL template database for one test (see PgTestDatabase.h).
#include "PgTestDatabase.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

namespace {

QString pgVariable(const char *name)
{
    return qEnvironmentVariable(name);
}

// A connection-string value: braced only where it has to be (the driver takes a plain value literally).
QString braced(const QString &value)
{
    static const QRegularExpression special(QStringLiteral("[;{}= ]"));
    if (!value.contains(special))
        return value;
    return QLatin1Char('{') + QString(value).replace(QLatin1String("}"), QLatin1String("}}")) + QLatin1Char('}');
}

QString quotedName(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

// Runs one statement on a short-lived connection to the cluster's maintenance database.
bool maintenance(const PgTestDatabase &db, const QString &statement, QString *error)
{
    const QString name = QStringLiteral("pg_maintenance_%1").arg(QRandomGenerator::global()->generate64(), 0, 16);
    bool ok = false;
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        connection.setDatabaseName(
            QStringLiteral("Driver=%1;Server=%2;Port=%3;Database=postgres;UID=%4;PWD=%5;")
                .arg(braced(db.driver()), db.host(), QString::number(db.port()), braced(pgVariable("OLM_TEST_PG_USER")),
                     braced(pgVariable("OLM_TEST_PG_PASSWORD"))));
        if (!connection.open()) {
            *error = connection.lastError().text();
        } else {
            QSqlQuery query(connection);
            ok = query.exec(statement);
            if (!ok)
                *error = query.lastError().text();
            query.finish();
        }
        connection.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

bool PgTestDatabase::available(QString *whyNot)
{
    if (!pgVariable("OLM_TEST_PG_PORT").isEmpty() && !pgVariable("OLM_TEST_PG_TEMPLATE").isEmpty())
        return true;
    if (whyNot)
        *whyNot = QStringLiteral("no PostgreSQL cluster with the OLM scripts (OLM_TEST_PG_PORT/OLM_TEST_PG_TEMPLATE "
                                 "unset; scripts/test.sh starts one)");
    return false;
}

PgTestDatabase::PgTestDatabase()
{
    if (!available(&m_error))
        return;
    m_name = QStringLiteral("olm_t_%1").arg(QRandomGenerator::global()->generate64() & 0xffffffffffULL, 10, 16,
                                            QLatin1Char('0'));
    const QString create = QStringLiteral("CREATE DATABASE %1 TEMPLATE %2")
                               .arg(quotedName(m_name), quotedName(pgVariable("OLM_TEST_PG_TEMPLATE")));
    // Another test copying the template at the same moment can make it briefly busy.
    for (int attempt = 0; attempt < 20; ++attempt) {
        m_error.clear();
        // A copy does not inherit the template's own rights on the database: give it those 06_security.sql gives.
        if (maintenance(*this, create, &m_error)
            && maintenance(*this, QStringLiteral("REVOKE TEMPORARY ON DATABASE %1 FROM PUBLIC").arg(quotedName(m_name)), &m_error))
            return;
        if (!m_error.contains(QLatin1String("being accessed by other users")))
            break;
        QThread::msleep(250);
    }
    m_error = QStringLiteral("could not copy the template: ") + m_error;
    m_name.clear();
}

PgTestDatabase::~PgTestDatabase()
{
    for (const QString &name : std::as_const(m_connections)) {
        {
            QSqlDatabase connection = QSqlDatabase::database(name, false);
            connection.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    QString error;
    if (!m_name.isEmpty() && !maintenance(*this, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quotedName(m_name)), &error))
        qWarning("PgTestDatabase: could not drop %s: %s", qPrintable(m_name), qPrintable(error));
    for (const QString &role : std::as_const(m_roles))
        if (!maintenance(*this, QStringLiteral("DROP ROLE IF EXISTS %1").arg(quotedName(role)), &error))
            qWarning("PgTestDatabase: could not drop the role %s: %s", qPrintable(role), qPrintable(error));
}

QString PgTestDatabase::host() const
{
    return pgVariable("OLM_TEST_PG_HOST");
}

int PgTestDatabase::port() const
{
    return pgVariable("OLM_TEST_PG_PORT").toInt();
}

QString PgTestDatabase::driver() const
{
    const QString named = pgVariable("OLM_TEST_PG_DRIVER");
    return named.isEmpty() ? QStringLiteral("PostgreSQL Unicode") : named;
}

QString PgTestDatabase::bootLogin() const
{
    const QString named = pgVariable("OLM_TEST_PG_BOOT_LOGIN");
    return named.isEmpty() ? QStringLiteral("olm_boot") : named;
}

QString PgTestDatabase::bootPassword() const
{
    const QString named = pgVariable("OLM_TEST_PG_BOOT_PASSWORD");
    return named.isEmpty() ? QStringLiteral("Boot2016") : named;
}

QString PgTestDatabase::dataSource() const
{
    return QStringLiteral("pg:%1,%2").arg(host()).arg(port());
}

QString PgTestDatabase::odbcConnectionString(const QString &login, const QString &password) const
{
    return QStringLiteral("Driver=%1;Server=%2;Port=%3;Database=%4;UID=%5;PWD=%6;")
        .arg(braced(driver()), host(), QString::number(port()), m_name, braced(login), braced(password));
}

QSqlDatabase PgTestDatabase::connect(const QString &login, const QString &password, QString *error)
{
    const QString name = QStringLiteral("%1_%2").arg(m_name).arg(m_connections.size());
    m_connections.append(name);
    QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
    connection.setDatabaseName(odbcConnectionString(login, password));
    if (!connection.open()) {
        if (error)
            *error = connection.lastError().text();
        return QSqlDatabase();
    }
    return connection;
}

QSqlDatabase PgTestDatabase::superuser()
{
    if (m_superuser.isEmpty()) {
        QSqlDatabase connection = connect(pgVariable("OLM_TEST_PG_USER"), pgVariable("OLM_TEST_PG_PASSWORD"), &m_error);
        if (!connection.isValid())
            return QSqlDatabase();
        m_superuser = connection.connectionName();
    }
    return QSqlDatabase::database(m_superuser);
}

QString PgTestDatabase::databasePassword(const QString &role)
{
    QSqlQuery query(superuser());
    query.prepare(QStringLiteral("SELECT password FROM srv_db_logins WHERE name = ?"));
    query.addBindValue(role);
    if (!query.exec() || !query.next())
        return {};
    return query.value(0).toString();
}

void PgTestDatabase::dropRoleAfterwards(const QString &role)
{
    if (!m_roles.contains(role))
        m_roles.append(role);
}
