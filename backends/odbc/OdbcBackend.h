// Servers reached through Qt's ODBC driver behind the dataset layer: serves every connection string whose
// Data Source names a server.
#pragma once

/// Makes ODBC servers available to connections opened from now on.
void registerOdbcBackend();
