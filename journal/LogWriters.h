// The journal window's change-history writers: they turn the executor's descriptions into log-table entries
// and run them, and the window's creation step that sets the executor up on the journal dataset.
#pragma once

#include "data/log_u.h"
#include "toolkit/data/Exceptions.h"

#include <QString>
#include <QStringList>

#include <memory>

class TADOQuery;
class TDataSet;
class TIdIPWatch;

/// A log entry the server refused after the row it describes was written; Message is the server's text.
class ELogEntryRefused : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

/// The three callbacks of the journal's change history. Holds references to the window's LoginName,
/// ComputerName and address watcher and to the data module's ADOQ_Exec; all of them must outlive it.
class TJournalHistoryWriters {
public:
    TJournalHistoryWriters(const QString &LoginName, const QString &ComputerName, TIdIPWatch &IdIPWatch1,
                           TADOQuery &ADOQ_Exec);

    /// Adds the log entry of one changed field to List.
    void LogFieldChanged(const QString &Description, TDataSet *DataSet, const QString &TableName,
                         const QString &KeyFieldName, QStringList &List) const;
    /// Adds the log entry of one deleted row to List; Description is the row's field list.
    void LogRecordDeleted(const QString &Description, TDataSet *DataSet, const QString &TableName,
                          const QString &KeyFieldName, QStringList &List) const;
    /// Runs the statements one by one, in list order; a rejected one raises ELogEntryRefused and stops the rest.
    void ExecuteLogStatements(QStringList &List) const;

    /// The insert of one log entry. RowId goes in as written (a number, NULL or a quoted literal); the table
    /// name and the description go in quoted as they are (descriptions carry their inner quotes doubled
    /// already); the login and the computer text are quoted with their quotes doubled here.
    QString LogEntry(const QString &TableName, const QString &RowId, const QString &Description) const;

private:
    const QString &m_loginName;
    const QString &m_computerName;
    TIdIPWatch &m_ipWatch;
    TADOQuery &m_exec;
};

/// The description template of a changed journal field.
QString JournalChangeTemplate();

/// Makes writers the executor's three callbacks. writers must outlive the executor.
void AssignHistoryWriters(TADOUpdateHistoryExec &history, TJournalHistoryWriters &writers);

/// The journal window's creation step for its change history, in this order: create UpdateHistory, assign
/// the three writers, read this computer's name into ComputerName (a buffer of 101 characters), set the
/// template, attach to the journal dataset for mark_mag by id_mark_mag, logging changes and deletions.
/// writers must outlive the executor.
std::unique_ptr<TADOUpdateHistoryExec> CreateUpdateHistory(TJournalHistoryWriters &writers, QString &ComputerName,
                                                           TDataSet *ADO_SP_Sort);
