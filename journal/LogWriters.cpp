// The journal's change-history writers: one OLM_LOG insert per description, run through ADOQ_Exec.
#include "LogWriters.h"

#include "platform/IdIPWatch.h"
#include "platform/Platform.h"
#include "toolkit/data/ADODB.h"

namespace {

// The Windows computer-name buffer of the journal window: at most 100 characters of name.
constexpr int computerNameBuffer = 101;

QString rowIdOf(const TDataSet *dataSet, const QString &keyFieldName)
{
    return dataSet->FieldByName(keyFieldName)->AsString();
}

} // namespace

TJournalHistoryWriters::TJournalHistoryWriters(const QString &LoginName, const QString &ComputerName,
                                               TIdIPWatch &IdIPWatch1, TADOQuery &ADOQ_Exec)
    : m_loginName(LoginName)
    , m_computerName(ComputerName)
    , m_ipWatch(IdIPWatch1)
    , m_exec(ADOQ_Exec)
{
}

QString TJournalHistoryWriters::LogEntry(const QString &TableName, const QString &RowId,
                                         const QString &Description) const
{
    // Doubling keeps the stored login and computer text as they are and leaves no way to change the statement.
    const QString user = QuoteText(DoubleSingleQuotes(m_loginName));
    const QString computerText = m_computerName + QLatin1Char('\\') + m_ipWatch.LocalIP();
    const QString computer = QuoteText(DoubleSingleQuotes(computerText));
    return QLatin1String("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES(")
           + QuoteText(TableName) + QLatin1String(", ") + RowId + QLatin1String(", ") + QuoteText(Description)
           + QLatin1String(", ") + user + QLatin1String(", ") + computer + QLatin1Char(')');
}

void TJournalHistoryWriters::LogFieldChanged(const QString &Description, TDataSet *DataSet, const QString &TableName,
                                             const QString &KeyFieldName, QStringList &List) const
{
    List.append(LogEntry(TableName, rowIdOf(DataSet, KeyFieldName), Description));
}

void TJournalHistoryWriters::LogRecordDeleted(const QString &Description, TDataSet *DataSet, const QString &TableName,
                                              const QString &KeyFieldName, QStringList &List) const
{
    const QString rowId = rowIdOf(DataSet, KeyFieldName);
    const QString text = QStringLiteral("Запись с уникальным номером - ") + QuoteTextTwice(rowId)
                         + QStringLiteral(" была удалена - ") + Description + QLatin1Char('.');
    List.append(LogEntry(TableName, rowId, text));
}

void TJournalHistoryWriters::ExecuteLogStatements(QStringList &List) const
{
    for (const QString &statement : List) {
        m_exec.setSQLText(statement);
        try {
            m_exec.ExecSQL();
        } catch (const EDatabaseError &error) {
            // Told apart from a refused row, so that code which quietly drops post errors still shows this.
            throw ELogEntryRefused(error.Message);
        }
    }
}

QString JournalChangeTemplate()
{
    return QStringLiteral("Поле \"<?>\" изменило значение \"<old>\" на \"<new>\".");
}

std::unique_ptr<TADOUpdateHistoryExec> CreateUpdateHistory(TJournalHistoryWriters &writers, QString &ComputerName,
                                                           TDataSet *ADO_SP_Sort)
{
    auto UpdateHistory = std::make_unique<TADOUpdateHistoryExec>();
    UpdateHistory->OnFieldChanged = [&writers](const QString &description, TDataSet *dataSet, const QString &table,
                                               const QString &keyField, QStringList &list) {
        writers.LogFieldChanged(description, dataSet, table, keyField, list);
    };
    UpdateHistory->OnRecordDeleted = [&writers](const QString &description, TDataSet *dataSet, const QString &table,
                                                const QString &keyField, QStringList &list) {
        writers.LogRecordDeleted(description, dataSet, table, keyField, list);
    };
    UpdateHistory->OnExecuteStatements = [&writers](QStringList &list) { writers.ExecuteLogStatements(list); };
    ComputerName = olm::platform::Platform::current().computerName(computerNameBuffer);
    UpdateHistory->setTemplate(JournalChangeTemplate());
    UpdateHistory->Attach(ADO_SP_Sort, QStringLiteral("mark_mag"), QStringLiteral("id_mark_mag"), true, true);
    return UpdateHistory;
}
