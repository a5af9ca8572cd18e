// The stored procedures of the server: their parameters, argument checking, and the bodies (C++ over
// SQLite), each run in one transaction with the owner's rights.
#pragma once

#include "Result.h"
#include "tsql/TsqlFront.h"

#include <QList>
#include <QString>
#include <QVariantList>

#include <functional>
#include <vector>

namespace olm::server {

class SessionPrivate;

struct ProcedureContext {
    SessionPrivate &session;
    /// Run after the procedure's transaction has ended, committed or not (records that must survive a failure).
    std::vector<std::function<void()>> afterTransaction;
};

struct ProcedureParameter {
    QString name;          ///< "@group"
    QMetaType::Type type;  ///< Int or QString
};

struct Procedure {
    QString name;
    QList<ProcedureParameter> parameters;
    Outcome (*body)(ProcedureContext &context, const QVariantList &arguments);
    QList<int> secretArguments; ///< 0-based; never written to the trace
    bool readsOnly = false;     ///< runs on a read snapshot and never takes the write lock
};

/// The procedure a written name stands for ("dbo.SORT_2_MARK_MAG;1", "[del_from_mark_mag]"), or null.
const Procedure *findProcedure(const QString &writtenName);
/// Checks the EXECUTE right and the arguments, then runs the body in one transaction.
Outcome runProcedure(SessionPrivate &session, const Procedure &procedure, const QList<tsql::Argument> &arguments);
/// The call as the trace stores it, secret arguments masked.
QString procedureCallText(const Procedure &procedure, const QList<tsql::Argument> &arguments);

// Bodies; arguments arrive converted to the parameters' types (typed nulls included).
Outcome getUser(ProcedureContext &context, const QVariantList &arguments);
Outcome sortJournal(ProcedureContext &context, const QVariantList &arguments);
Outcome insertJournalRows(ProcedureContext &context, const QVariantList &arguments);
Outcome deleteJournalRows(ProcedureContext &context, const QVariantList &arguments);
Outcome restoreJournalRows(ProcedureContext &context, const QVariantList &arguments);
Outcome rowHistory(ProcedureContext &context, const QVariantList &arguments);

} // namespace olm::server
