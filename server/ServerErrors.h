// SQLite's failure texts reworded as SQL Server words them, so the client shows the messages its users know.
#pragma once

#include <QString>

namespace olm::server {

/// The client-facing text for a failed statement; database is the name used in messages ("olm").
QString serverErrorText(int resultCode, const QString &sqliteMessage, const QString &database);

} // namespace olm::server
