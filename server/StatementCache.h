// A session's prepared statements kept by their text, with what was learned about their columns, so that a
// statement sent again is neither prepared nor described again.
#pragma once

#include "Query.h"

#include <QHash>
#include <QString>

#include <memory>
#include <optional>

namespace olm::server {

/// What a statement's columns are: read once per statement text.
struct StatementShape {
    std::vector<DeclaredType> declared;
    std::optional<QList<ColumnInfo>> columns;
};

struct CachedStatement {
    sqlite3_stmt *stmt = nullptr;
    StatementShape shape;
};

class StatementCache {
public:
    explicit StatementCache(sqlite3 *db) : m_db(db) {}
    ~StatementCache();
    StatementCache(const StatementCache &) = delete;
    StatementCache &operator=(const StatementCache &) = delete;

    sqlite3 *db() const { return m_db; }
    /// The statement kept for sql, or null.
    CachedStatement *find(const QString &sql);
    /// Keeps a prepared statement (owned from here on) under sql.
    CachedStatement *keep(const QString &sql, sqlite3_stmt *stmt);
    /// Forgets every statement once the schema has changed, so nothing runs on a stale description.
    void dropIfSchemaChanged();

private:
    void clear();
    sqlite3 *m_db;
    QHash<QString, CachedStatement *> m_entries;
    std::vector<std::unique_ptr<CachedStatement>> m_owned;
    int m_schemaVersion = -1;
};

} // namespace olm::server
