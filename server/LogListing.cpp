// Reading OLM_LOG with the names of the journal rows it is about, straight on a read-only handle.
#include "LogListing.h"

#include "DateText.h"
#include "MaintenanceHandle.h"
#include "Query.h"

namespace olm::server {

namespace {

// The entries with their columns in LogColumn order. A deleted row's names come from del_mark_mag.
QString logListingSql(const LogFilter &filter, QVariantList *values)
{
    // The table's name is compared through built-in functions rather than the text collation, which would run
    // for every entry in each join condition. The server's stamps are cut to seconds; other forms are read.
    QString sql = QStringLiteral(
        "SELECT l.id_log, CASE WHEN l.log_date GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]*' "
        "THEN substr(l.log_date, 1, 19) ELSE strftime('%Y-%m-%d %H:%M:%S', l.log_date) END, l.OLM_User, l.comp, "
        "CASE WHEN %1 THEN l.row_id ELSE ifnull(l.[table], '') || ' ' || ifnull(l.row_id, '') END, "
        "g.p20, s.s_fio, d.p34, l.descr "
        "FROM OLM_LOG l "
        "LEFT JOIN mark_mag m ON %1 AND m.id_mark_mag = l.row_id "
        "LEFT JOIN del_mark_mag dm ON %1 AND m.id_mark_mag IS NULL AND dm.id_mark_mag = l.row_id "
        "LEFT JOIN [group] g ON g.id_group = coalesce(m.id_group, dm.id_group) "
        "LEFT JOIN s_fio s ON s.id_student = coalesce(m.id_student, dm.id_student) "
        "LEFT JOIN discipline d ON d.id_discipline = coalesce(m.id_discipline, dm.id_discipline) "
        "WHERE 1 = 1").arg(QLatin1String("lower(rtrim(l.[table])) = 'mark_mag'"));
    if (filter.rowId) {
        sql += QStringLiteral(" AND l.row_id = ?");
        values->append(*filter.rowId);
    }
    if (!filter.login.isEmpty()) {
        sql += QStringLiteral(" AND l.OLM_User = ?");
        values->append(filter.login);
    }
    if (filter.since.isValid()) {
        sql += QStringLiteral(" AND l.log_date >= ?");
        values->append(storedDateTime(filter.since));
    }
    return sql;
}

// Nothing is written; a read-only handle would leave the companion files of a WAL file behind.
MaintenanceHandle openLogDatabase(const QString &database, QString *error)
{
    return openOlmDatabase(database, SQLITE_OPEN_READWRITE, true, error);
}

} // namespace

std::optional<std::array<int, logColumnCount>> logColumnWidths(const QString &database, const LogFilter &filter,
                                                               QString *error)
{
    MaintenanceHandle db = openLogDatabase(database, error);
    if (!db)
        return std::nullopt;
    QVariantList values;
    // The change comes last and is never padded: leaving it out halves the work.
    QStringList widest;
    for (int i = 1; i < logColumnCount; ++i)
        widest.append(QStringLiteral("ifnull(max(length(c%1)), 0)").arg(i));
    Query query(db.get(), QStringLiteral("WITH listed(c1, c2, c3, c4, c5, c6, c7, c8, c9) AS (%1) SELECT %2 FROM listed")
                              .arg(logListingSql(filter, &values), widest.join(QStringLiteral(", "))));
    std::array<int, logColumnCount> widths{};
    if (query.bind(values) && query.next()) {
        for (int i = 0; i + 1 < logColumnCount; ++i)
            widths[i] = query.value(i).toInt();
    }
    if (!query.ok()) {
        *error = query.errorMessage();
        return std::nullopt;
    }
    return widths;
}

bool forEachLogLine(const QString &database, const LogFilter &filter, const std::function<void(const LogLine &)> &visit,
                    QString *error)
{
    MaintenanceHandle db = openLogDatabase(database, error);
    if (!db)
        return false;
    QVariantList values;
    Query query(db.get(), logListingSql(filter, &values) + QStringLiteral(" ORDER BY l.id_log"));
    LogLine line;
    if (query.bind(values)) {
        while (query.next()) {
            for (int i = 0; i < logColumnCount; ++i)
                line[i] = query.storedBytes(i);
            visit(line);
        }
    }
    if (query.ok())
        return true;
    *error = query.errorMessage();
    return false;
}

} // namespace olm::server
