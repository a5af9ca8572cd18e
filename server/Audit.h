// The server's audit trail (srv_audit): the journal tables' triggers record every change; this records every
// procedure call and reads the trail back for the administrator.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

struct sqlite3;

namespace olm::server {

struct AuditEntry {
    int id = 0;
    QDateTime time;
    QString login;
    QString action;   ///< INSERT, UPDATE, DELETE, EXECUTE
    QString table;    ///< the table, or the procedure called
    QVariant rowId;
    QString column;
    QVariant oldValue;
    QVariant newValue; ///< for a call: the call as the trace would keep it
};

struct AuditFilter {
    std::optional<qint64> rowId;
    QString login;     ///< empty: every login
    QDateTime since;   ///< invalid: from the start
};

/// Needs the owner's rights on a client session. refusal is empty for a call that went through.
void recordProcedureCall(sqlite3 *db, const QString &login, const QString &procedure, const QString &call,
                         const QString &refusal);
/// Entries matching the filter, oldest first; nullopt with *error set when the trail cannot be read.
std::optional<QList<AuditEntry>> readAudit(sqlite3 *db, const AuditFilter &filter, QString *error);

} // namespace olm::server
