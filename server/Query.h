// One prepared SQLite statement with typed binding and typed reading: the only place that steps statements.
#pragma once

#include "Result.h"

#include <QString>
#include <QVariant>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace olm::server {

struct CachedStatement;
class StatementCache;
struct StatementShape;

/// The value type and text length a declared column type stands for ("NVARCHAR(50)", "BIT", "DATETIME"...).
struct DeclaredType {
    QMetaType::Type type = QMetaType::UnknownType; ///< UnknownType when nothing was declared
    int size = 0;
};
DeclaredType declaredType(const QString &declaration);

class Query {
public:
    /// Prepares the first statement of sql; see ok() and hasTail().
    Query(sqlite3 *db, const QString &sql);
    /// Runs a statement the cache keeps; it is reset, not finalized, at the end.
    Query(sqlite3 *db, CachedStatement *kept);
    /// The cache's statement for sql, prepared and kept there the first time (the server's own statements).
    Query(StatementCache &cache, const QString &sql);
    /// Hands a freshly prepared statement of one whole text to the cache, to be run again by later queries.
    void keepIn(StatementCache &cache, const QString &sql);
    ~Query();
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    bool ok() const { return m_rc == 0; }
    int resultCode() const { return m_rc; }
    QString errorMessage() const { return m_error; }
    /// Text other than blanks, comments and ';' followed the first statement.
    bool hasTail() const { return m_hasTail; }
    /// Nothing to run: the text held only blanks and comments.
    bool isEmpty() const { return m_stmt == nullptr && ok(); }
    bool isReadOnly() const;
    int columnCount() const;

    /// Binds values to the statement's parameters in order; their number must match.
    bool bind(const QVariantList &values);
    /// Steps once; true while a row is there (check ok() after false).
    bool next();
    /// Steps to the end, for statements without rows.
    bool exec();
    /// The current row's value, typed as the column is declared (or by its stored class for expressions).
    QVariant value(int column) const;
    /// The current row's value as stored, in UTF-8; a null view for NULL. Valid until the next step.
    QByteArrayView storedBytes(int column) const;
    /// The columns of the statement, with base table, size and identity from the schema.
    QList<ColumnInfo> columns() const;
    /// Steps through every row; columns without a declared type take the type of their first value.
    ResultSet readAll();
    /// Rows changed by the last exec() or next() sequence of a writing statement.
    qint64 changes() const { return m_changes; }

private:
    void prepare(const QString &sql);
    void fail(int rc);
    const DeclaredType &declared(int column) const;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = 0;
    QString m_error;
    bool m_hasTail = false;
    qint64 m_changes = 0;
    mutable std::vector<DeclaredType> m_declared; // per column, read once
    StatementShape *m_shape = nullptr;            // kept statements: the cache's description of the columns
    bool m_borrowed = false;
};

/// Binds one value at a 1-based index: typed nulls as NULL, dates in their stored form, bools as 0/1.
int bindValue(sqlite3_stmt *stmt, int index, const QVariant &value);

} // namespace olm::server
