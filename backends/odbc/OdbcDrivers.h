// Which ODBC driver reaches SQL Server: the administrator's choice, else the newest Microsoft driver
// installed (Windows) or FreeTDS (elsewhere).
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
/// Microsoft's own drivers (which take the port after a comma and encrypt by default).
bool isMicrosoftDriver(const QString &driver);

} // namespace olm::odbc
