// Statements that write a record back to its table.
#include "WriteBack.h"

#include "Exceptions.h"
#include "FieldValue.h"

namespace olm::dataset {

namespace {

QString quoted(const WriteTarget &target, const QString &name)
{
    return target.quote ? target.quote(name) : quoteIdentifier(name);
}

int fieldIndex(const TRowChange &change, const QString &name)
{
    for (int i = 0; i < change.fields.size(); ++i)
        if (change.fields.at(i)->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool inTable(const WriteTarget &target, const TField *field)
{
    return target.tableColumns.isEmpty() || target.tableColumns.contains(field->FieldName().toLower());
}

bool serverComputed(const WriteTarget &target, const TField *field)
{
    return field->DataType() == ftAutoInc || target.readOnly.contains(field->FieldName().toLower())
        || field->FieldName().compare(target.identityField, Qt::CaseInsensitive) == 0;
}

bool isKey(const WriteTarget &target, const TField *field)
{
    for (const QString &key : target.keyFields)
        if (key.compare(field->FieldName(), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QVariant bindable(const QVariant &value, const TField *field)
{
    return isNullValue(value) ? typedNull(field->DataType()) : value;
}

void appendCheck(SqlStatement &statement, const WriteTarget &target, const TField *field, const QVariant &old)
{
    statement.text += QLatin1String(" AND ") + quoted(target, field->FieldName());
    if (isNullValue(old)) {
        statement.text += QLatin1String(" IS NULL");
    } else {
        statement.text += QLatin1String(" = ?");
        statement.params.append(old);
    }
}

/// "[k] = ?" for each key field; the values as read, or as written for a row read back.
QString keyCondition(const TRowChange &change, const WriteTarget &target, bool written, QVariantList *params)
{
    if (target.keyFields.isEmpty())
        throw EDatabaseError(QStringLiteral("No key fields are known for updating the table '%1'").arg(target.table));
    QStringList terms;
    for (const QString &key : target.keyFields) {
        const int index = fieldIndex(change, key);
        if (index < 0)
            throw EDatabaseError(QStringLiteral("Key field '%1' not found").arg(key));
        const QVariant value = written ? change.newValues.at(index) : change.oldValues.at(index);
        if (isNullValue(value))
            throw EDatabaseError(QStringLiteral("The record has no value in its key field '%1'").arg(key));
        terms.append(quoted(target, change.fields.at(index)->FieldName()) + QLatin1String(" = ?"));
        params->append(value);
    }
    return terms.join(QLatin1String(" AND "));
}

} // namespace

QString quoteIdentifier(const QString &name)
{
    QStringList parts;
    for (QString part : name.split(QLatin1Char('.'))) {
        if (part.startsWith(QLatin1Char('[')) && part.endsWith(QLatin1Char(']'))) {
            parts.append(part);
            continue;
        }
        parts.append(QLatin1Char('[') + part.replace(QLatin1String("]"), QLatin1String("]]")) + QLatin1Char(']'));
    }
    return parts.join(QLatin1Char('.'));
}

QString changedByAnotherUserText()
{
    return QStringLiteral("The record was changed or deleted by another user since it was read.");
}

SqlStatement updateStatement(const TRowChange &change, const WriteTarget &target)
{
    SqlStatement statement;
    QStringList sets;
    QList<int> written;
    for (int i = 0; i < change.fields.size(); ++i) {
        const TField *field = change.fields.at(i);
        // Columns of other tables and those the server computes cannot be written here.
        if (!change.changed.value(i) || serverComputed(target, field) || !inTable(target, field))
            continue;
        sets.append(quoted(target, field->FieldName()) + QLatin1String(" = ?"));
        statement.params.append(bindable(change.newValues.at(i), field));
        written.append(i);
    }
    if (sets.isEmpty())
        return SqlStatement();
    statement.text = QLatin1String("UPDATE ") + quoted(target, target.table) + QLatin1String(" SET ")
        + sets.join(QLatin1String(", ")) + QLatin1String(" WHERE ")
        + keyCondition(change, target, false, &statement.params);
    for (int i : std::as_const(written))
        if (!isKey(target, change.fields.at(i)))
            appendCheck(statement, target, change.fields.at(i), change.oldValues.at(i));
    return statement;
}

SqlStatement deleteStatement(const TRowChange &change, const WriteTarget &target)
{
    SqlStatement statement;
    statement.text = QLatin1String("DELETE FROM ") + quoted(target, target.table) + QLatin1String(" WHERE ")
        + keyCondition(change, target, false, &statement.params);
    for (int i = 0; i < change.fields.size(); ++i) {
        const TField *field = change.fields.at(i);
        if (inTable(target, field) && !isKey(target, field) && !serverComputed(target, field))
            appendCheck(statement, target, field, change.oldValues.at(i));
    }
    return statement;
}

SqlStatement insertStatement(const TRowChange &change, const WriteTarget &target)
{
    SqlStatement statement;
    QStringList columns, marks;
    for (int i = 0; i < change.fields.size(); ++i) {
        const TField *field = change.fields.at(i);
        if (serverComputed(target, field) || !inTable(target, field) || isNullValue(change.newValues.at(i)))
            continue;
        columns.append(quoted(target, field->FieldName()));
        marks.append(QStringLiteral("?"));
        statement.params.append(change.newValues.at(i));
    }
    statement.text = QLatin1String("INSERT INTO ") + quoted(target, target.table);
    if (columns.isEmpty())
        statement.text += QLatin1String(" DEFAULT VALUES");
    else
        statement.text += QLatin1String(" (") + columns.join(QLatin1String(", ")) + QLatin1String(") VALUES (")
            + marks.join(QLatin1String(", ")) + QLatin1Char(')');
    return statement;
}

SqlStatement reselectStatement(const TRowChange &change, const WriteTarget &target)
{
    SqlStatement statement;
    QStringList columns;
    for (const TField *field : change.fields)
        if (inTable(target, field))
            columns.append(quoted(target, field->FieldName()));
    if (columns.isEmpty())
        return SqlStatement();
    const QString from = QLatin1String(" FROM ") + quoted(target, target.table) + QLatin1String(" WHERE ");
    if (change.kind == rcInsert && !target.identityField.isEmpty()) {
        // The newest row holding what was inserted is the one just written.
        QStringList terms;
        for (int i = 0; i < change.fields.size(); ++i) {
            const TField *field = change.fields.at(i);
            if (serverComputed(target, field) || !inTable(target, field) || isNullValue(change.newValues.at(i)))
                continue;
            terms.append(quoted(target, field->FieldName()) + QLatin1String(" = ?"));
            statement.params.append(change.newValues.at(i));
        }
        statement.text = QLatin1String("SELECT TOP 1 ") + columns.join(QLatin1String(", ")) + QLatin1String(" FROM ")
            + quoted(target, target.table);
        if (!terms.isEmpty())
            statement.text += QLatin1String(" WHERE ") + terms.join(QLatin1String(" AND "));
        statement.text += QLatin1String(" ORDER BY ") + quoted(target, target.identityField) + QLatin1String(" DESC");
        return statement;
    }
    try {
        const QString where = keyCondition(change, target, true, &statement.params);
        statement.text = QLatin1String("SELECT ") + columns.join(QLatin1String(", ")) + from + where;
    } catch (const EDatabaseError &) {
        return SqlStatement();
    }
    return statement;
}

} // namespace olm::dataset
