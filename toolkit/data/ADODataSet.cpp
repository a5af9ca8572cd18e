// The dataset kinds over a connection: query, table and stored procedure, and writing edited records back to
// their table with the optimistic check.
#include "ADODB.h"

#include "DataSetPrivate.h"
#include "FieldValue.h"
#include "WriteBack.h"

#include <QScopeGuard>

using namespace olm::dataset;

namespace {

/// ":name" placeholders become '?'; quoted texts, bracketed names and comments are left alone.
QString positionalText(const QString &sql, QStringList *names)
{
    QString out;
    out.reserve(sql.size());
    for (int i = 0; i < sql.size();) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            int end = sql.indexOf(close, i + 1);
            end = end < 0 ? int(sql.size()) : end + 1;
            out += sql.mid(i, end - i);
            i = end;
            continue;
        }
        if (c == QLatin1Char('-') && i + 1 < sql.size() && sql.at(i + 1) == QLatin1Char('-')) {
            int end = sql.indexOf(QLatin1Char('\n'), i);
            end = end < 0 ? int(sql.size()) : end;
            out += sql.mid(i, end - i);
            i = end;
            continue;
        }
        if (c == QLatin1Char(':') && i + 1 < sql.size()) {
            if (sql.at(i + 1) == QLatin1Char(':')) {   // "::" stands for a colon
                out += c;
                i += 2;
                continue;
            }
            int end = i + 1;
            while (end < sql.size() && (sql.at(end).isLetterOrNumber() || sql.at(end) == QLatin1Char('_')))
                ++end;
            if (end > i + 1 && !sql.at(i + 1).isDigit()) {
                if (names)
                    names->append(sql.mid(i + 1, end - i - 1));
                out += QLatin1Char('?');
                i = end;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}

QVariant parameterValue(const TParameter &parameter)
{
    if (parameter.DataType == ftUnknown)
        return parameter.Value;
    return convertOrThrow(parameter.Value, parameter.DataType);
}

} // namespace

// --- TCustomADODataSet ---------------------------------------------------------------------------------------

TCustomADODataSet::TCustomADODataSet(QObject *owner) : TDataSet(owner)
{
    TDataSetPrivate *d = privateData();
    d->keyFieldsProvider = [this] { return keyFieldNames(); };
    d->canWriteProvider = [this] { return LockType != ltReadOnly && !updateTable().isEmpty(); };
    d->closedHook = [this] { releaseConnection(); };
}

TCustomADODataSet::~TCustomADODataSet()
{
    TDataSetPrivate *d = privateData();
    d->closedHook = nullptr;
    d->keyFieldsProvider = nullptr;
    d->canWriteProvider = nullptr;
    d->closeSilently();
    if (m_connection)
        m_connection->datasetGone(this);
}

void TCustomADODataSet::setConnection(TADOConnection *connection)
{
    if (m_connection == connection)
        return;
    Close();
    if (m_connection)
        m_connection->datasetGone(this);
    m_connection = connection;
    if (m_connection)
        m_connection->datasetOpened(this);
}

TADOConnection &TCustomADODataSet::connectionOrFail()
{
    if (!m_connection)
        privateData()->fail(QStringLiteral("Missing Connection or ConnectionString"));
    return *m_connection;
}

void TCustomADODataSet::releaseConnection()
{
    if (m_connection)
        m_connection->datasetClosed(this);
}

QVariantList TCustomADODataSet::parameterValues(int firstIndex) const
{
    QVariantList values;
    for (int i = std::max(0, firstIndex); i < m_parameters.Count(); ++i) {
        const TParameter *parameter = m_parameters.Items(i);
        if (parameter->Direction == pdReturnValue || parameter->Direction == pdOutput)
            continue;
        values.append(parameterValue(*parameter));
    }
    return values;
}

TFetchedRows TCustomADODataSet::resultRows(olm::dataset::Outcome &outcome)
{
    TADOConnection::check(outcome);
    olm::dataset::ResultSet *result = nullptr;
    for (olm::dataset::ResultSet &candidate : outcome.resultSets)
        if (!candidate.columns.isEmpty()) {
            result = &candidate;
            break;
        }
    if (!result)
        privateData()->fail(QStringLiteral("CommandText does not return a result set"));
    TFetchedRows rows;
    m_columns.clear();
    m_listedTable.clear();
    QString identityTable;
    QSet<QString> tables;
    for (const olm::dataset::ColumnInfo &column : std::as_const(result->columns)) {
        rows.columnNames.append(column.name);
        rows.columnTypes.append(fieldTypeOfColumn(column.type, column.autoIncrement));
        rows.columnSizes.append(column.size);
        rows.columnReadOnly.append(column.readOnly);
        rows.columnAutoInc.append(column.autoIncrement);
        if (!m_columns.contains(column.name.toLower()))
            m_columns.insert(column.name.toLower(), column);
        if (!column.baseTable.isEmpty()) {
            tables.insert(column.baseTable.toLower());
            if (column.autoIncrement && identityTable.isEmpty())
                identityTable = column.baseTable;
        }
    }
    // Rows of one table, or of the table whose identity they carry, can be written back there.
    rows.baseTable = identityTable;
    if (rows.baseTable.isEmpty() && tables.size() == 1)
        for (const olm::dataset::ColumnInfo &column : std::as_const(result->columns))
            if (!column.baseTable.isEmpty()) {
                rows.baseTable = column.baseTable;
                break;
            }
    m_serverTable = rows.baseTable;
    rows.rows = std::move(result->rows);
    return rows;
}

QString TCustomADODataSet::updateTable() const { return UpdateTableName.isEmpty() ? m_serverTable : UpdateTableName; }

QStringList TCustomADODataSet::keyFieldNames() const
{
    if (!UpdateKeyFields.trimmed().isEmpty()) {
        QStringList names;
        for (const QString &name : UpdateKeyFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            names.append(name.trimmed());
        return names;
    }
    for (const olm::dataset::ColumnInfo &column : m_columns)
        if (column.autoIncrement)
            return {column.name};
    for (const TField *field : Fields())
        if (field->DataType() == ftAutoInc)
            return {field->FieldName()};
    return {};
}

void TCustomADODataSet::writeRow(TRowChange &change)
{
    WriteTarget target;
    target.table = updateTable();
    if (target.table.isEmpty())
        privateData()->fail(QStringLiteral("The rows name no table to write back to"));
    target.keyFields = keyFieldNames();
    bool baseTableNamed = false;
    for (const olm::dataset::ColumnInfo &column : std::as_const(m_columns)) {
        if (column.autoIncrement && target.identityField.isEmpty())
            target.identityField = column.name;
        if (column.readOnly || column.autoIncrement)
            target.readOnly.insert(column.name.toLower());
        if (column.baseTable.compare(target.table, Qt::CaseInsensitive) == 0)
            target.tableColumns.insert(column.name.toLower());
        baseTableNamed = baseTableNamed || !column.baseTable.isEmpty();
    }
    // Rows of a procedure name no table: the table itself says which fields it holds, so that lookup
    // columns of the result are not written to it.
    if (!baseTableNamed) {
        if (m_listedTable.compare(target.table, Qt::CaseInsensitive) != 0) {
            const QStringList listed = connectionOrFail().backend().tableColumns(target.table, CommandTimeout);
            m_listedColumns = QSet<QString>(listed.cbegin(), listed.cend());
            m_listedTable = target.table;
        }
        target.tableColumns = m_listedColumns;
    }
    target.quote = [&backend = connectionOrFail().backend()](const QString &name) { return backend.quoteIdentifier(name); };
    SqlStatement statement;
    switch (change.kind) {
    case rcUpdate: statement = updateStatement(change, target); break;
    case rcDelete: statement = deleteStatement(change, target); break;
    case rcInsert: statement = insertStatement(change, target); break;
    }
    if (statement.isEmpty())
        return;
    DbBackend &backend = connectionOrFail().backend();
    const olm::dataset::Outcome outcome = backend.execute(statement.text, statement.params, CommandTimeout);
    TADOConnection::check(outcome);
    if (change.kind != rcInsert && outcome.rowsAffected == 0)
        throw EDatabaseError(changedByAnotherUserText());
    if (change.kind == rcDelete)
        return;
    // Read the row back for the identity and what the server set; a failure here leaves the values as typed.
    const SqlStatement reselect = reselectStatement(change, target);
    if (reselect.isEmpty())
        return;
    const olm::dataset::Outcome reread = backend.execute(reselect.text, reselect.params, CommandTimeout);
    const olm::dataset::ResultSet *result = reread.ok ? reread.firstResult() : nullptr;
    if (!result || result->rows.empty())
        return;
    const QVariantList &row = result->rows.front();
    change.refreshed.clear();
    for (int i = 0; i < change.fields.size(); ++i) {
        QVariant value = change.newValues.at(i);
        for (int c = 0; c < result->columns.size(); ++c)
            if (result->columns.at(c).name.compare(change.fields.at(i)->FieldName(), Qt::CaseInsensitive) == 0) {
                value = row.value(c);
                break;
            }
        change.refreshed.append(value);
    }
}

// --- TADOQuery -----------------------------------------------------------------------------------------------

TADOQuery::TADOQuery(QObject *owner) : TCustomADODataSet(owner) {}

void TADOQuery::setSQL(const QStringList &lines)
{
    Close();
    m_sql = lines;
    QStringList names;
    positionalText(SQLText(), &names);
    QHash<QString, TParameter> previous;
    for (int i = 0; i < m_parameters.Count(); ++i)
        previous.insert(m_parameters.Items(i)->Name.toLower(), *m_parameters.Items(i));
    m_parameters.Clear();
    for (const QString &name : std::as_const(names)) {
        if (m_parameters.FindParam(name))
            continue;
        const TParameter old = previous.value(name.toLower());
        TParameter *parameter = m_parameters.AddParameter(name, old.DataType, pdInput, old.Size, old.Nullable);
        parameter->Value = old.Value;
    }
}

QString TADOQuery::SQLText() const { return m_sql.join(QLatin1String("\r\n")); }

void TADOQuery::setSQLText(const QString &text)
{
    QString normal = text;
    normal.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    setSQL(normal.split(QLatin1Char('\n')));
}

namespace {

/// The statement with '?' placeholders and the values of its parameters in the order they occur.
QString boundStatement(const QString &sql, TParameters &parameters, QVariantList *values)
{
    QStringList names;
    const QString text = positionalText(sql, &names);
    for (const QString &name : std::as_const(names))
        values->append(parameterValue(*parameters.ParamByName(name)));
    return text;
}

} // namespace

int TADOQuery::ExecSQL()
{
    TADOConnection &connection = connectionOrFail();
    QVariantList values;
    const QString text = boundStatement(SQLText(), m_parameters, &values);
    const auto release = qScopeGuard([this] { if (!Active()) releaseConnection(); });
    const olm::dataset::Outcome outcome = connection.backend().execute(text, values, CommandTimeout);
    TADOConnection::check(outcome);
    return int(outcome.rowsAffected);
}

TFetchedRows TADOQuery::fetchRows()
{
    TADOConnection &connection = connectionOrFail();
    QVariantList values;
    const QString text = boundStatement(SQLText(), m_parameters, &values);
    olm::dataset::Outcome outcome = connection.backend().execute(text, values, CommandTimeout);
    return resultRows(outcome);
}

// --- TADOTable -----------------------------------------------------------------------------------------------

TADOTable::TADOTable(QObject *owner) : TCustomADODataSet(owner) {}

void TADOTable::setTableName(const QString &name)
{
    Close();
    m_tableName = name;
}

TFetchedRows TADOTable::fetchRows()
{
    TADOConnection &connection = connectionOrFail();
    if (m_tableName.trimmed().isEmpty())
        privateData()->fail(QStringLiteral("Missing TableName"));
    const QString table = m_tableName.contains(QLatin1Char(' ')) ? quoteIdentifier(m_tableName) : m_tableName;
    olm::dataset::Outcome outcome = connection.backend().execute(QLatin1String("select * from ") + table, {}, CommandTimeout);
    return resultRows(outcome);
}

// --- TADOStoredProc ------------------------------------------------------------------------------------------

TADOStoredProc::TADOStoredProc(QObject *owner) : TCustomADODataSet(owner) {}

void TADOStoredProc::setProcedureName(const QString &name)
{
    Close();
    m_procedureName = name;
}

namespace {

void storeReturnValue(TParameters &parameters, const olm::dataset::Outcome &outcome)
{
    for (int i = 0; i < parameters.Count(); ++i)
        if (parameters.Items(i)->Direction == pdReturnValue) {
            parameters.Items(i)->Value = outcome.returnValue;
            return;
        }
}

} // namespace

void TADOStoredProc::ExecProc()
{
    TADOConnection &connection = connectionOrFail();
    if (m_procedureName.trimmed().isEmpty())
        privateData()->fail(QStringLiteral("Missing ProcedureName"));
    const QVariantList values = parameterValues(0);
    const auto release = qScopeGuard([this] { if (!Active()) releaseConnection(); });
    const olm::dataset::Outcome outcome = connection.backend().callProcedure(m_procedureName, values, CommandTimeout);
    TADOConnection::check(outcome);
    storeReturnValue(m_parameters, outcome);
}

TFetchedRows TADOStoredProc::fetchRows()
{
    TADOConnection &connection = connectionOrFail();
    if (m_procedureName.trimmed().isEmpty())
        privateData()->fail(QStringLiteral("Missing ProcedureName"));
    const QVariantList values = parameterValues(0);
    olm::dataset::Outcome outcome = connection.backend().callProcedure(m_procedureName, values, CommandTimeout);
    if (outcome.ok)
        storeReturnValue(m_parameters, outcome);
    return resultRows(outcome);
}

// --- TDataSource ---------------------------------------------------------------------------------------------

TDataSource::TDataSource(QObject *owner) : QObject(owner) {}

void TDataSource::setDataSet(TDataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet) {
        disconnect(m_dataSet.data(), nullptr, this, nullptr);
    }
    m_dataSet = dataSet;
    if (m_dataSet) {
        m_link = connect(m_dataSet, &TDataSet::dataEvent, this, [this](TDataEvent event, qintptr info) {
            if (m_enabled)
                emit dataEvent(event, info);
        });
        connect(m_dataSet, &QObject::destroyed, this, [this] {
            m_dataSet = nullptr;
            disconnect(m_link);
            emit dataSetChanged();
        });
    }
    emit dataSetChanged();
}

void TDataSource::setEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    emit dataEvent(deDataSetChange, 0);
}

TDataSetState TDataSource::State() const
{
    return m_enabled && m_dataSet ? m_dataSet->State() : dsInactive;
}
