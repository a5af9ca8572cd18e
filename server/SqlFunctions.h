// SQL functions and collations every connection registers: Unicode case rules, date comparison, and the
// per-session facts (login, clock) that triggers and defaults read.
#pragma once

#include <QString>

#include <functional>

struct sqlite3;

namespace olm::server {

/// What a session's functions read; owned by the session and outliving its connection.
struct SessionFacts {
    QString login;
    /// Whether the statement running now has the owner's rights; unset means always (schema creation).
    std::function<bool()> isOwner;
    /// Whether the session may read and change the journal rows of a group; unset means every group.
    std::function<bool(qint64)> groupAllowed;
};

/// Collation of text columns: Unicode case-insensitive, trailing blanks ignored.
inline constexpr const char *textCollation = "OLM_CI";
/// Collation of date columns: "2009-01-12" equals "2009-01-12 00:00:00.000".
inline constexpr const char *dateCollation = "OLM_DT";

/// Registers upper, lower, like, the two collations and olm_login(), olm_now(), olm_today(), getdate(),
/// olm_owner() and olm_my_group(id_group).
bool registerFunctions(sqlite3 *db, const SessionFacts *facts);

/// The pattern matching of LIKE: % and _, [set], [^set], [a-z] ranges, an optional escape character;
/// case-insensitive.
bool likeMatches(const QString &pattern, const QString &text, QChar escape = QChar());

} // namespace olm::server
