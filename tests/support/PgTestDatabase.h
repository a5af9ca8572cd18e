// A throwaway PostgreSQL database for one test: a copy of olm_template (the server/postgresql scripts with the
// demo, loaded by scripts/test-postgres.sh), reached through QODBC and psqlODBC, dropped again afterwards.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class PgTestDatabase {
public:
    /// Whether scripts/test.sh started a cluster and loaded the template; *whyNot says why not (for QSKIP).
    static bool available(QString *whyNot = nullptr);

    /// Copies the template into a database of a random name.
    PgTestDatabase();
    /// Closes the connections it opened, drops the database (ending sessions still on it) and the roles it adopted.
    ~PgTestDatabase();
    PgTestDatabase(const PgTestDatabase &) = delete;
    PgTestDatabase &operator=(const PgTestDatabase &) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    /// Why the database could not be made (empty when it was).
    QString error() const { return m_error; }

    QString host() const;
    int port() const;
    QString databaseName() const { return m_name; }
    QString driver() const;
    /// The bootstrap login and password the template was made with (they go into the client's settings file).
    QString bootLogin() const;
    QString bootPassword() const;
    /// The settings file's Data Source for this server: pg:HOST,PORT.
    QString dataSource() const;

    /// The ODBC connection string of a login on this database.
    QString odbcConnectionString(const QString &login, const QString &password) const;
    /// A new open connection as login; invalid when it failed, *error says why. Closed by the helper.
    QSqlDatabase connect(const QString &login, const QString &password, QString *error = nullptr);
    /// A connection as the cluster's superuser, to prepare and check rows behind the client's back.
    QSqlDatabase superuser();
    /// The database password get_user hands out for that role (as stored in srv_db_logins).
    QString databasePassword(const QString &role);
    /// Roles belong to the whole cluster: a role a test creates is named here and dropped with the database.
    void dropRoleAfterwards(const QString &role);

private:
    QString m_name;
    QString m_error;
    QStringList m_connections;
    QStringList m_roles;
    QString m_superuser;
};
