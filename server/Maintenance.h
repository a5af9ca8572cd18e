// Whole-file maintenance of a database: a consistent copy taken while clients run, its restore, and a check of
// the file and of the journal's references.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace olm::server {

/// Copies the database at source to target through SQLite's online backup, inside one read transaction, so the
/// copy is one consistent state even while clients write. Refuses an existing target; leaves no file behind
/// on failure.
bool backupDatabase(const QString &source, const QString &target, QString *error);

/// Replaces target by a copy of source, which must be a sound OLM database of a layout this program knows.
/// Refuses while any client has target open. The copy is written beside target and renamed over it once
/// complete; the old file (its write-ahead log folded in) is kept as target.before-restore when keepOld.
/// Leaves everything as it was on failure. *layout, when given, receives the restored file's layout version.
bool restoreDatabase(const QString &source, const QString &target, bool keepOld, QString *error, int *layout = nullptr);

/// PRAGMA integrity_check and our own consistency checks (journal rows whose lookups are missing, users without
/// a database login, ...). Each problem is one line; an empty list means the file is sound. nullopt when the
/// file cannot be read at all (error says why).
std::optional<QStringList> checkDatabase(const QString &path, QString *error);

} // namespace olm::server
