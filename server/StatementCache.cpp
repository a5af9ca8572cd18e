// The per-session statement cache.
#include "StatementCache.h"

#include <sqlite3.h>

namespace olm::server {

namespace {
// Enough for every statement shape the client sends in a session; beyond it the cache starts over.
constexpr qsizetype cacheCapacity = 128;
} // namespace

StatementCache::~StatementCache()
{
    clear();
}

void StatementCache::clear()
{
    for (const auto &entry : m_owned)
        sqlite3_finalize(entry->stmt);
    m_owned.clear();
    m_entries.clear();
}

CachedStatement *StatementCache::find(const QString &sql)
{
    return m_entries.value(sql, nullptr);
}

CachedStatement *StatementCache::keep(const QString &sql, sqlite3_stmt *stmt)
{
    if (m_entries.size() >= cacheCapacity)
        clear();
    m_owned.push_back(std::make_unique<CachedStatement>());
    CachedStatement *entry = m_owned.back().get();
    entry->stmt = stmt;
    m_entries.insert(sql, entry);
    return entry;
}

void StatementCache::dropIfSchemaChanged()
{
    // The schema cookie, read without preparing a statement (and so without the authorizer).
    sqlite3_stmt *stmt = nullptr;
    int version = -1;
    if (CachedStatement *kept = find(QStringLiteral("PRAGMA schema_version")))
        stmt = kept->stmt;
    if (stmt && sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int(stmt, 0);
    if (stmt)
        sqlite3_reset(stmt);
    if (stmt && version == m_schemaVersion)
        return;
    clear();
    if (sqlite3_prepare_v2(m_db, "PRAGMA schema_version", -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return;
    }
    keep(QStringLiteral("PRAGMA schema_version"), stmt);
    m_schemaVersion = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_reset(stmt);
}

} // namespace olm::server
