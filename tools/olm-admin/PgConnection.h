// olm-admin's connection to a PostgreSQL deployment: the pg:HOST[,PORT]/DATABASE target and one connection as the
// administrator's own login, whose password libpq finds in PGPASSWORD or ~/.pgpass.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

namespace olm::admin {

struct PgTarget {
    QString host;
    int port = 5432;
    QString database;
};

/// Whether a database argument names a PostgreSQL deployment (it starts with "pg:").
bool isPgTarget(const QString &word);
/// Reads pg:HOST[,PORT]/DATABASE; nullopt with *error set when it is malformed.
std::optional<PgTarget> parsePgTarget(const QString &word, QString *error);
/// The administrator's login when --pg-user is not given: PGUSER, else the user running the tool.
QString defaultPgUser();

/// One statement's rows, with the column names the server gave.
struct PgRows {
    QStringList columns;
    QList<QVariantList> rows;
};

class PgConnection {
public:
    /// Connects through the ODBC driver for PostgreSQL (OLM_ODBC_DRIVER, else "PostgreSQL Unicode").
    static std::unique_ptr<PgConnection> open(const PgTarget &target, const QString &login, QString *error);
    ~PgConnection();
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    /// Runs one statement with its parameters bound in order; nullopt with the server's message on failure.
    std::optional<PgRows> run(const QString &statement, const QVariantList &parameters, QString *error);

private:
    explicit PgConnection(QString name);
    QString m_name;
};

/// A NULL parameter of the given type, so that the server can tell the function's arguments apart.
inline QVariant pgNull(QMetaType::Type type)
{
    return QVariant(QMetaType(type));
}

} // namespace olm::admin
