// The two backends behind DbBackend; openBackend chooses between them. Private to the dataset layer.
#pragma once

#include "Backend.h"

namespace olm::dataset {

/// The embedded server on a database file, signed in as the connection's User ID.
std::unique_ptr<DbBackend> openEmbeddedBackend(const QString &databasePath, const QString &userId,
                                               const QString &password, QString *error);
/// SQL Server through Qt's ODBC driver.
std::unique_ptr<DbBackend> openOdbcBackend(const QString &odbcConnection, QString *error);
/// The server's own text of a driver message: leading "[vendor][driver]" tags removed.
QString stripDriverPrefixes(const QString &text);

} // namespace olm::dataset
