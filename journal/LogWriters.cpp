// The journal's change-history writers: one OLM_LOG insert per description, run through ADOQ_Exec.
#include "LogWriters.h"

#include "platform/IdIPWatch.h"
#include "platform/Platform.h"
#include "text/SingleQuotes.h"
#include "toolkit/data/ADODB.h"

#include <QRegularExpression>

namespace {

// The Windows computer-name buffer of the journal window: at most 100 characters of name.
constexpr int computerNameBuffer = 101;

QString keyTextOf(const TDataSet *dataSet, const QString &keyFieldName)
{
    return dataSet->FieldByName(keyFieldName)->AsString();
}

// The key as the statement carries it: a number as it is, no key as the bare word NULL, and any other text
// as a quoted literal, so that no key can change what the statement does.
QString rowIdLiteral(const TDataSet *dataSet, const QString &keyFieldName)
{
    const TField *key = dataSet->FieldByName(keyFieldName);
    const QString text = key->AsString();
    if (key->IsNull() || text.isEmpty())
        return QStringLiteral("NULL");
    static const QRegularExpression number(QStringLiteral(R"(^-?[0-9]+(\.[0-9]+)?$)"));
    return number.match(text).hasMatch() ? text : olm::text::singleQuotedLiteral(text);
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
    const QString user = olm::text::singleQuotedLiteral(m_loginName);
    const QString computerText = m_computerName + QLatin1Char('\\') + m_ipWatch.LocalIP();
    const QString computer = olm::text::singleQuotedLiteral(computerText);
    return QLatin1String("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES(")
           + QuoteText(TableName) + QLatin1String(", ") + RowId + QLatin1String(", ") + QuoteText(Description)
           + QLatin1String(", ") + user + QLatin1String(", ") + computer + QLatin1Char(')');
}

void TJournalHistoryWriters::LogFieldChanged(const QString &Description, TDataSet *DataSet, const QString &TableName,
                                             const QString &KeyFieldName, QStringList &List) const
{
    List.append(LogEntry(TableName, rowIdLiteral(DataSet, KeyFieldName), Description));
}

void TJournalHistoryWriters::LogRecordDeleted(const QString &Description, TDataSet *DataSet, const QString &TableName,
                                              const QString &KeyFieldName, QStringList &List) const
{
    // Inside the description the key is quoted twice, its own quotes doubled as a string value's are.
    const QString keyText = olm::text::doubleSingleQuotes(keyTextOf(DataSet, KeyFieldName));
    const QString text = QStringLiteral("Запись с уникальным номером - ") + QuoteTextTwice(keyText)
                         + QStringLiteral(" была удалена - ") + Description + QLatin1Char('.');
    List.append(LogEntry(TableName, rowIdLiteral(DataSet, KeyFieldName), text));
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

void AssignHistoryWriters(TADOUpdateHistoryExec &history, TJournalHistoryWriters &writers)
{
    history.OnFieldChanged = [&writers](const QString &description, TDataSet *dataSet, const QString &table,
                                        const QString &keyField, QStringList &list) {
        writers.LogFieldChanged(description, dataSet, table, keyField, list);
    };
    history.OnRecordDeleted = [&writers](const QString &description, TDataSet *dataSet, const QString &table,
                                         const QString &keyField, QStringList &list) {
        writers.LogRecordDeleted(description, dataSet, table, keyField, list);
    };
    history.OnExecuteStatements = [&writers](QStringList &list) { writers.ExecuteLogStatements(list); };
}

std::unique_ptr<TADOUpdateHistoryExec> CreateUpdateHistory(TJournalHistoryWriters &writers, QString &ComputerName,
                                                           TDataSet *ADO_SP_Sort)
{
    auto UpdateHistory = std::make_unique<TADOUpdateHistoryExec>();
    AssignHistoryWriters(*UpdateHistory, writers);
    ComputerName = olm::platform::Platform::current().computerName(computerNameBuffer);
    UpdateHistory->setTemplate(JournalChangeTemplate());
    UpdateHistory->Attach(ADO_SP_Sort, QStringLiteral("mark_mag"), QStringLiteral("id_mark_mag"), true, true);
    return UpdateHistory;
}
