// The change log (OLM_LOG) as an administrator reads it: each entry with the names of the journal row it is
// about, filtered, read one entry at a time so that a log of any length lists in constant memory.
#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace olm::server {

struct LogFilter {
    std::optional<qint64> rowId;
    QString login;     ///< empty: every login; compared as logins are (case and trailing blanks ignored)
    QDateTime since;   ///< invalid: from the start
};

/// The columns of a listed entry, in order. Row is the journal row's id (for another table, the table's name
/// and the id); group, student and discipline are the names of the row's, also for a row deleted since.
enum class LogColumn { Id, Time, Login, Computer, Row, Group, Student, Discipline, Change };
inline constexpr int logColumnCount = 9;
using LogLine = std::array<QByteArrayView, logColumnCount>; ///< UTF-8 texts, a null view for a missing value

/// The widest text of every column but the last (the change, 0) over the entries the filter keeps, in
/// characters; nullopt with *error set when the log cannot be read.
std::optional<std::array<int, logColumnCount>> logColumnWidths(const QString &database, const LogFilter &filter,
                                                               QString *error);
/// Visits the entries the filter keeps, oldest first; the views are valid during the call.
bool forEachLogLine(const QString &database, const LogFilter &filter, const std::function<void(const LogLine &)> &visit,
                    QString *error);

} // namespace olm::server
