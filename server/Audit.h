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

/// One procedure call as the trail keeps it.
struct ProcedureCall {
    QDateTime time;
    QString login;
    QString procedure;
    QString call;    ///< the call's text, digests masked when written
    QString refusal; ///< empty for a call that went through
};

/// Needs the owner's rights on a client session. False when the entry could not be written (the file is busy
/// with another session's write), so that the caller may write it later.
bool recordProcedureCall(sqlite3 *db, const ProcedureCall &call);
/// Entries matching the filter, oldest first; nullopt with *error set when the trail cannot be read.
std::optional<QList<AuditEntry>> readAudit(sqlite3 *db, const AuditFilter &filter, QString *error);

} // namespace olm::server
