// Which ODBC driver reaches the server: the administrator's choice, else for SQL Server the newest Microsoft
// driver installed (Windows) or FreeTDS (elsewhere), for PostgreSQL its own Unicode driver.
#pragma once

#include <QString>
#include <QStringList>

namespace olm::odbc {

/// The environment variable in which an administrator names the driver ("ODBC Driver 18 for SQL Server").
inline constexpr char driverVariable[] = "OLM_ODBC_DRIVER";

/// Names of the drivers the driver manager knows.
QStringList installedDrivers();
/// The newest of Microsoft's SQL Server drivers among the names ("ODBC Driver 18 for SQL Server" before 17,
/// before "SQL Server Native Client 11.0", before "SQL Server"); empty when none is there.
QString newestSqlServerDriver(const QStringList &installed);
/// The driver to use: override when not empty, else the platform's choice.
QString chooseDriver(const QString &override);
/// The driver for a PostgreSQL server: override when not empty, else "PostgreSQL Unicode".
QString choosePostgresDriver(const QString &override);
/// Microsoft's own drivers (which take the port after a comma and encrypt by default).
bool isMicrosoftDriver(const QString &driver);

} // namespace olm::odbc
