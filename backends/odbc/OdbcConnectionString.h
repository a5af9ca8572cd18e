// The ODBC connection string an OLE DB connection string maps to, for the chosen driver.
#pragma once

#include "toolkit/data/Backend.h"

namespace olm::odbc {

/// Server, port, database and credentials in the driver's own keys; a "Driver" key in the connection string
/// names the driver, else the administrator's or the platform's choice (OdbcDrivers.h).
QString odbcConnectionString(const TConnectionString &connection);
/// The same for a driver named explicitly.
QString odbcConnectionString(const TConnectionString &connection, const QString &driver);

} // namespace olm::odbc
