// The one seam between the dataset layer and a database server: the embedded server or SQL Server over ODBC.
// Nothing above the dataset layer knows which one runs.
#pragma once

#include "server/Result.h"

#include <QMap>
#include <QString>
#include <QVariantList>

#include <memory>

/// A Data Source taken apart: "[tcp:]host[\instance][,port]", or the word "embedded" (any case).
struct DataSourceParts {
    /// The server's host; "localhost" for "." and "(local)", which name this machine.
    QString host;
    /// Empty for the default instance.
    QString instance;
    /// Empty when none is given.
    QString port;
    /// No server at all: the embedded one.
    bool embedded = false;
};
DataSourceParts splitDataSource(const QString &dataSource);

/// The keys of an OLE DB connection string ("Provider=...;Password=...;User ID=..."); names are matched
/// without regard to case, values keep their text (a value may be empty).
class TConnectionString {
public:
    static TConnectionString parse(const QString &text);
    QString value(const QString &key) const;   ///< "" when absent
    bool contains(const QString &key) const;
    QString userId() const { return value(QStringLiteral("User ID")); }
    QString password() const { return value(QStringLiteral("Password")); }
    QString catalog() const { return value(QStringLiteral("Initial Catalog")); }
    QString dataSource() const { return value(QStringLiteral("Data Source")); }
    /// Data Source is the word "embedded" (any case).
    bool isEmbedded() const;

private:
    QMap<QString, QString> m_values;   // keys folded to lower case
};

class DbBackend {
public:
    virtual ~DbBackend() = default;
    /// One statement text; params bind to '?' placeholders in order.
    virtual olm::server::Outcome execute(const QString &statement, const QVariantList &params) = 0;
    /// A stored procedure by name ("SORT_2_MARK_MAG;1"), arguments without the return value.
    virtual olm::server::Outcome callProcedure(const QString &name, const QVariantList &args, int timeoutSeconds) = 0;
};

/// Opens the backend the connection string names. Embedded: the file named by Initial Catalog in the
/// "Data" folder beside the executable (or an absolute path). Otherwise SQL Server over ODBC.
/// Null with *error set (the server's own text) on failure.
std::unique_ptr<DbBackend> openBackend(const TConnectionString &connection, QString *error);

/// Folder in which an embedded catalog without a folder of its own is looked up; defaults to
/// <folder of the executable>/Data. Tests point it at a temporary folder.
QString embeddedDataFolder();
void setEmbeddedDataFolder(const QString &folder);

/// The ODBC connection string for SQL Server (FreeTDS) that an OLE DB connection string maps to.
QString odbcConnectionString(const TConnectionString &connection);
