// Servers through Qt's ODBC driver. Statements run as given with their time-out set on the statement;
// procedures run through the ODBC call escape, or on SQL Server in a batch that selects the return value
// last. On PostgreSQL every statement and call is first translated from T-SQL, and procedures are functions
// called with "select * from". Nothing a call sends outlives the call on the connection.
#include "OdbcBackend.h"

#include "OdbcConnectionString.h"
#include "PostgresStatements.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <limits>
#include <memory>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace {

// Seconds a connection attempt waits for the server.
constexpr int loginTimeoutSeconds = 15;
// What the return value's buffer holds until the driver writes it: a call that set none gives a null value.
constexpr int noReturnValue = std::numeric_limits<int>::min();

QString odbcErrorText(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return stripDriverPrefixes(text);
}

/// Sets the statement's query time-out; the driver cancels the statement when it passes.
void setStatementTimeout(const QSqlQuery &query, int seconds)
{
    const QVariant handle = query.result() ? query.result()->handle() : QVariant();
    if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHANDLE))
        return;
    SQLHANDLE statement = *static_cast<const SQLHANDLE *>(handle.constData());
    if (statement)
        SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds > 0 ? seconds : 0)), 0);
}

/// A last result set of exactly one column named RETURN_VALUE is the procedure's return value, not its rows.
void takeReturnValue(olm::dataset::Outcome &outcome)
{
    if (!outcome.ok || outcome.resultSets.empty())
        return;
    const olm::dataset::ResultSet &last = outcome.resultSets.back();
    if (last.columns.size() == 1 && last.columns.front().name == QLatin1String("RETURN_VALUE")) {
        if (!last.rows.empty())
            outcome.returnValue = last.rows.front().value(0);
        outcome.resultSets.pop_back();
    }
}

class OdbcBackend : public DbBackend {
public:
    OdbcBackend(const QString &name, bool postgres) : m_name(name)
    {
        if (postgres)
            m_postgres = std::make_unique<olm::odbc::PostgresStatements>([this] { return postgresDateColumns(); });
    }
    ~OdbcBackend() override
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

    olm::dataset::Outcome execute(const QString &statement, const QVariantList &params, int timeoutSeconds) override
    {
        if (!m_postgres)
            return run(statement, params, timeoutSeconds, false);
        QString error;
        const auto translated = m_postgres->translate(statement, params, &error);
        if (!translated)
            return olm::dataset::Outcome::failure(error);
        if (translated->kind == olm::odbc::PostgresStatement::Kind::Nothing)
            return {};
        olm::dataset::Outcome outcome = run(translated->text, translated->params, timeoutSeconds, false);
        if (translated->kind == olm::odbc::PostgresStatement::Kind::Call)
            takeReturnValue(outcome);
        return outcome;
    }

    olm::dataset::Outcome callProcedure(const QString &name, const QVariantList &args, int timeoutSeconds) override
    {
        if (m_postgres) {
            olm::dataset::Outcome outcome = run(olm::odbc::PostgresStatements::callText(name, args.size()), args,
                                                timeoutSeconds, false);
            takeReturnValue(outcome);
            return outcome;
        }
        // "NAME;1" keeps its group number outside the quotes; only SQL Server numbers procedures.
        const qsizetype semicolon = name.indexOf(QLatin1Char(';'));
        QString procedure = quoteIdentifier(semicolon < 0 ? name : name.left(semicolon));
        if (semicolon >= 0 && isSqlServer())
            procedure += name.mid(semicolon);
        QStringList marks;
        for (qsizetype i = 0; i < args.size(); ++i)
            marks.append(QStringLiteral("?"));
        if (!isSqlServer())
            return run(QLatin1String("{? = call ") + procedure + QLatin1Char('(') + marks.join(QLatin1String(", "))
                           + QLatin1String(")}"),
                       args, timeoutSeconds, true);
        // SQL Server's drivers deliver a return value only after every result set has been read, later than
        // Qt reads output parameters; the batch selects it as a last result set instead. It sets nothing on
        // the connection, so later statements still count their rows.
        const QString batch = QLatin1String("DECLARE @RETURN_VALUE int; EXEC @RETURN_VALUE = ") + procedure
            + QLatin1Char(' ') + marks.join(QLatin1String(", ")) + QLatin1String("; SELECT @RETURN_VALUE AS [RETURN_VALUE]");
        olm::dataset::Outcome outcome = run(batch, args, timeoutSeconds, false);
        takeReturnValue(outcome);
        return outcome;
    }

    QString quoteIdentifier(const QString &name) const override
    {
        if (isSqlServer())
            return DbBackend::quoteIdentifier(name);
        QSqlDriver *driver = database().driver();
        QStringList parts;
        for (const QString &part : name.split(QLatin1Char('.')))
            parts.append(driver->escapeIdentifier(part, QSqlDriver::TableName));
        return parts.join(QLatin1Char('.'));
    }

private:
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

    // The database's date and date-time columns, for the date literals of T-SQL texts.
    QHash<QString, bool> postgresDateColumns()
    {
        QHash<QString, bool> columns;
        const olm::dataset::Outcome outcome = run(QStringLiteral(
            "SELECT lower(column_name), data_type = 'date' FROM information_schema.columns "
            "WHERE table_schema = current_schema() AND (data_type = 'date' OR data_type LIKE 'timestamp%')"),
            {}, 30, false);
        if (const olm::dataset::ResultSet *result = outcome.ok ? outcome.firstResult() : nullptr)
            for (const QVariantList &row : result->rows)
                columns.insert(row.value(0).toString(), row.value(1).toBool());
        return columns;
    }
    bool isSqlServer() const { return database().driver()->dbmsType() == QSqlDriver::MSSqlServer; }

    /// withReturnValue: the first '?' is the call escape's return value, bound for output.
    olm::dataset::Outcome run(const QString &statement, const QVariantList &params, int timeoutSeconds,
                              bool withReturnValue)
    {
        QSqlQuery query(database());
        query.setForwardOnly(true);   // a procedure's result set needs it
        if (!query.prepare(statement))
            return olm::dataset::Outcome::failure(odbcErrorText(query.lastError()));
        setStatementTimeout(query, timeoutSeconds);
        int position = 0;
        if (withReturnValue)
            query.bindValue(position++, QVariant(noReturnValue), QSql::Out);
        for (const QVariant &value : params)
            // An untyped null would be bound as binary.
            query.bindValue(position++, value.isValid() ? value : QVariant(QMetaType::fromType<QString>()));
        if (!query.exec())
            return olm::dataset::Outcome::failure(odbcErrorText(query.lastError()));
        olm::dataset::Outcome outcome;
        if (withReturnValue && query.boundValue(0).toInt() != noReturnValue)
            outcome.returnValue = query.boundValue(0);
        do {
            if (query.isSelect()) {
                olm::dataset::ResultSet result;
                const QSqlRecord record = query.record();
                for (int i = 0; i < record.count(); ++i) {
                    const QSqlField field = record.field(i);
                    olm::dataset::ColumnInfo column;
                    column.name = field.name();
                    column.type = QMetaType::Type(field.metaType().id());
                    column.size = field.length() > 0 ? field.length() : 0;
                    column.autoIncrement = field.isAutoValue();
                    column.readOnly = field.isReadOnly() || field.isAutoValue();
                    column.baseTable = field.tableName();
                    result.columns.append(column);
                }
                while (query.next()) {
                    QVariantList row;
                    row.reserve(record.count());
                    for (int i = 0; i < record.count(); ++i)
                        row.append(query.value(i));
                    result.rows.push_back(std::move(row));
                }
                if (query.lastError().isValid())
                    return olm::dataset::Outcome::failure(odbcErrorText(query.lastError()));
                outcome.resultSets.push_back(std::move(result));
            } else if (query.numRowsAffected() >= 0) {
                outcome.rowsAffected = query.numRowsAffected();
            }
        } while (query.nextResult());
        if (query.lastError().isValid())
            return olm::dataset::Outcome::failure(odbcErrorText(query.lastError()));
        return outcome;
    }

    QString m_name;
    std::unique_ptr<olm::odbc::PostgresStatements> m_postgres; ///< set on PostgreSQL
};

bool servesOdbc(const TConnectionString &connection)
{
    return !connection.isEmbedded() && !connection.dataSource().trimmed().isEmpty();
}

std::unique_ptr<DbBackend> openOdbc(const TConnectionString &connection, QString *error)
{
    static int counter = 0;
    const QString name = QStringLiteral("olm-odbc-%1").arg(++counter);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        if (!db.isValid()) {
            if (error)
                *error = QStringLiteral("The ODBC driver of Qt is not installed.");
        } else {
            db.setDatabaseName(olm::odbc::odbcConnectionString(connection));
            db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(loginTimeoutSeconds));
            if (db.open())
                return std::make_unique<OdbcBackend>(name, splitDataSource(connection.dataSource()).postgres);
            if (error)
                *error = odbcErrorText(db.lastError());
        }
    }
    QSqlDatabase::removeDatabase(name);
    return nullptr;
}

} // namespace

void registerOdbcBackend()
{
    registerBackend({QStringLiteral("odbc"), &servesOdbc, &openOdbc});
}
