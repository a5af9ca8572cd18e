// SQL Server through Qt's ODBC driver with FreeTDS. Kept thin: statements run as given, every result set of
// a batch is read, procedures run in a batch that selects their return value last.
#include "BackendKinds.h"

#include "WriteBack.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace olm::dataset {

QString stripDriverPrefixes(const QString &text)
{
    static const QRegularExpression tags(QStringLiteral(R"((^|(?<=[\n;]))\s*(\[[^\]\n]*\]\s*)+)"));
    QString result = text;
    result.replace(tags, QString());
    return result.trimmed();
}

namespace {

QString errorText(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return stripDriverPrefixes(text);
}

class OdbcBackend : public DbBackend {
public:
    explicit OdbcBackend(const QString &name) : m_name(name) {}
    ~OdbcBackend() override
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

    olm::server::Outcome execute(const QString &statement, const QVariantList &params) override
    {
        return run(statement, params);
    }

    olm::server::Outcome callProcedure(const QString &name, const QVariantList &args, int) override
    {
        // "NAME;1" keeps its group number outside the brackets.
        const int semicolon = name.indexOf(QLatin1Char(';'));
        QString procedure = quoteIdentifier(semicolon < 0 ? name : name.left(semicolon));
        if (semicolon >= 0)
            procedure += name.mid(semicolon);
        QStringList marks;
        for (int i = 0; i < args.size(); ++i)
            marks.append(QStringLiteral("?"));
        // NOCOUNT keeps row counts of the procedure's own statements from arriving as empty results.
        const QString batch = QLatin1String("SET NOCOUNT ON; DECLARE @RETURN_VALUE int; EXEC @RETURN_VALUE = ")
            + procedure + QLatin1Char(' ') + marks.join(QLatin1String(", "))
            + QLatin1String("; SELECT @RETURN_VALUE AS [RETURN_VALUE]");
        olm::server::Outcome outcome = run(batch, args);
        if (outcome.ok && !outcome.resultSets.empty()) {
            const olm::server::ResultSet &last = outcome.resultSets.back();
            if (last.columns.size() == 1 && last.columns.front().name == QLatin1String("RETURN_VALUE")) {
                if (!last.rows.empty())
                    outcome.returnValue = last.rows.front().value(0);
                outcome.resultSets.pop_back();
            }
        }
        return outcome;
    }

private:
    olm::server::Outcome run(const QString &statement, const QVariantList &params)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.setForwardOnly(true);   // a procedure's result set needs it
        if (!query.prepare(statement))
            return olm::server::Outcome::failure(errorText(query.lastError()));
        for (const QVariant &value : params)
            // An untyped null would be bound as binary.
            query.addBindValue(value.isValid() ? value : QVariant(QMetaType::fromType<QString>()));
        if (!query.exec())
            return olm::server::Outcome::failure(errorText(query.lastError()));
        olm::server::Outcome outcome;
        do {
            if (query.isSelect()) {
                olm::server::ResultSet result;
                const QSqlRecord record = query.record();
                for (int i = 0; i < record.count(); ++i) {
                    const QSqlField field = record.field(i);
                    olm::server::ColumnInfo column;
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
                outcome.resultSets.push_back(std::move(result));
            } else if (query.numRowsAffected() >= 0) {
                outcome.rowsAffected = query.numRowsAffected();
            }
        } while (query.nextResult());
        return outcome;
    }

    QString m_name;
};

} // namespace

std::unique_ptr<DbBackend> openOdbcBackend(const QString &odbcConnection, QString *error)
{
    static int counter = 0;
    const QString name = QStringLiteral("olm-odbc-%1").arg(++counter);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(odbcConnection);
        if (db.open())
            return std::make_unique<OdbcBackend>(name);
        if (error)
            *error = errorText(db.lastError());
    }
    QSqlDatabase::removeDatabase(name);
    return nullptr;
}

} // namespace olm::dataset
