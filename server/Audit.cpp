// Procedure calls into the audit trail, and reading the trail.
#include "Audit.h"

#include "Clock.h"
#include "DateText.h"
#include "Query.h"
#include "Trace.h"

namespace olm::server {

bool recordProcedureCall(sqlite3 *db, const ProcedureCall &call)
{
    Query query(db, QStringLiteral("INSERT INTO srv_audit (audit_date, login, action, [table], old_value, new_value) "
                                   "VALUES (?, ?, 'EXECUTE', ?, ?, ?)"));
    return query.bind({storedDateTime(call.time), call.login, call.procedure,
                       call.refusal.isEmpty() ? QVariant() : QVariant(call.refusal), withoutDigests(call.call)})
        && query.exec();
}

std::optional<QList<AuditEntry>> readAudit(sqlite3 *db, const AuditFilter &filter, QString *error)
{
    QString sql = QStringLiteral("SELECT id_audit, audit_date, login, action, [table], row_id, [column], old_value, "
                                 "new_value FROM srv_audit WHERE 1 = 1");
    QVariantList values;
    if (filter.rowId) {
        sql += QStringLiteral(" AND row_id = ?");
        values.append(*filter.rowId);
    }
    if (!filter.login.isEmpty()) {
        sql += QStringLiteral(" AND login = ? COLLATE OLM_CI");
        values.append(filter.login);
    }
    if (filter.since.isValid()) {
        sql += QStringLiteral(" AND audit_date >= ?");
        values.append(storedDateTime(filter.since));
    }
    Query query(db, sql + QStringLiteral(" ORDER BY id_audit"));
    QList<AuditEntry> entries;
    if (query.bind(values)) {
        while (query.next()) {
            entries.append({query.value(0).toInt(), query.value(1).toDateTime(), query.value(2).toString(),
                            query.value(3).toString(), query.value(4).toString(), query.value(5), query.value(6).toString(),
                            query.value(7), query.value(8)});
        }
    }
    if (!query.ok()) {
        *error = query.errorMessage();
        return std::nullopt;
    }
    return entries;
}

} // namespace olm::server
