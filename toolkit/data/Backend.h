// The one seam between the dataset layer and a database server: the connection a backend opens, and the
// registry the program fills with the backends it ships. Nothing above the dataset layer knows which one runs.
#pragma once

#include "DbResult.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

/// A Data Source taken apart: "[tcp:]host[\instance][,port]", "pg:host[,port]" for PostgreSQL, or the word
/// "embedded" (any case).
struct DataSourceParts {
    /// The server's host; "localhost" for "." and "(local)", which name this machine.
    QString host;
    /// Empty for the default instance.
    QString instance;
    /// Empty when none is given.
    QString port;
    /// No server at all: the embedded one.
    bool embedded = false;
    /// A PostgreSQL server ("pg:").
    bool postgres = false;
};
DataSourceParts splitDataSource(const QString &dataSource);

/// The connection string the client opens its connections with (bootstrap and the user's own).
QString clientConnectionString(const QString &userId, const QString &password, const QString &catalog,
                               const QString &dataSource);

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

/// One open connection to a server. Statements and calls block until the server answers or the time-out
/// (seconds, 0 for none) passes; then the outcome fails with the server's or driver's time-out text.
class DbBackend {
public:
    virtual ~DbBackend() = default;
    /// One statement text; params bind to '?' placeholders in order.
    virtual olm::dataset::Outcome execute(const QString &statement, const QVariantList &params,
                                          int timeoutSeconds) = 0;
    /// A stored procedure by name ("SORT_2_MARK_MAG;1"), arguments without the return value.
    virtual olm::dataset::Outcome callProcedure(const QString &name, const QVariantList &args,
                                                int timeoutSeconds) = 0;
    /// A table or column name quoted as this server reads it: "[name]" unless the server wants otherwise.
    virtual QString quoteIdentifier(const QString &name) const;
    /// The lower-case names of a table's columns, for writing back rows whose result set names no base table;
    /// empty when the table cannot be read.
    virtual QStringList tableColumns(const QString &table, int timeoutSeconds);
};

/// A kind of backend the program ships: which connection strings it serves and how it opens one.
struct BackendKind {
    QString name;   ///< "embedded", "odbc"; registering a name again replaces the earlier kind
    bool (*serves)(const TConnectionString &connection) = nullptr;
    /// Null with *error set (the server's own text) on failure.
    std::unique_ptr<DbBackend> (*open)(const TConnectionString &connection, QString *error) = nullptr;
};

/// Makes a backend kind available to every connection opened afterwards. The program's entry point (and
/// each test program) registers the kinds it links; kinds are asked in the order they were registered.
void registerBackend(const BackendKind &kind);
/// Forgets a kind (tests).
void unregisterBackend(const QString &name);
bool isBackendRegistered(const QString &name);

/// Opens the backend the connection string names through the first registered kind that serves it.
/// Null with *error set (the server's own text) on failure.
std::unique_ptr<DbBackend> openBackend(const TConnectionString &connection, QString *error);

/// The server's own text of a driver message: the "[vendor][driver]" tags that ODBC drivers put before each
/// diagnostic record removed, wherever a record starts.
QString stripDriverPrefixes(const QString &text);
