// The change-history executor and the routines that render a field's value inside a description.
#include "log_u.h"

#include "text/SingleQuotes.h"
#include "toolkit/data/Field.h"

#include <QDate>
#include <QDateTime>

#include <utility>

namespace {

bool isNullValue(const QVariant &value)
{
    return !value.isValid() || value.isNull();
}

// A null and a non-null value differ; two nulls are equal.
bool valueChanged(const TField *field)
{
    const QVariant now = field->Value();
    const QVariant before = field->OldValue();
    if (isNullValue(now) != isNullValue(before))
        return true;
    return !isNullValue(now) && now != before;
}

QDate dateOf(const QVariant &value)
{
    return value.typeId() == QMetaType::QDate ? value.toDate() : value.toDateTime().date();
}

QString nullWord()
{
    return QStringLiteral("NULL");
}

} // namespace

QString QuoteText(const QString &text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString QuoteTextTwice(const QString &text)
{
    return QLatin1String("''") + text + QLatin1String("''");
}

QString FieldLiteral(const TField *field)
{
    const QString text = field->AsString();
    if (text.isEmpty())
        return nullWord();
    if (field->DataType() == ftFloat || field->IsDateType())
        return QuoteTextTwice(text);
    if (field->IsStringType())
        return QuoteTextTwice(olm::text::doubleSingleQuotes(text));
    return text;
}

QString FieldValueText(const TField *field, bool old)
{
    const QVariant value = old ? field->OldValue() : field->Value();
    const QString text = old ? field->TextOf(value) : field->AsString();
    if (text.isEmpty())
        return nullWord();
    // Only the day counts in a change's description; the time of day would be noise.
    if (field->IsDateType())
        return dateOf(value).toString(TFormatSettings::ShortDateFormat);
    if (field->IsStringType())
        return olm::text::doubleSingleQuotes(text);
    return text;
}

TADOUpdateHistoryExec::TADOUpdateHistoryExec()
    : m_statements(std::make_unique<QStringList>())
{
}

TADOUpdateHistoryExec::~TADOUpdateHistoryExec()
{
    Detach();
}

void TADOUpdateHistoryExec::Attach(TDataSet *ADataSet, const QString &ATableName, const QString &AKeyFieldName,
                                   bool ALogChanges, bool ALogDeletes)
{
    // Saving our own hooks as the handlers to pass on would make them call themselves.
    Detach();
    m_tableName = ATableName;
    m_keyFieldName = AKeyFieldName;
    m_logChanges = ALogChanges;
    m_logDeletes = ALogDeletes;
    if (!ADataSet)
        return;
    m_saved = {ADataSet->BeforePost, ADataSet->AfterPost,   ADataSet->BeforeDelete,
               ADataSet->AfterDelete, ADataSet->OnEditError, ADataSet->OnPostError};
    m_dataSet = ADataSet;
    if (ALogChanges)
        ADataSet->BeforePost = [this](TDataSet *d) { HistoryBeforePost(d); };
    ADataSet->AfterPost = [this](TDataSet *d) { HistoryAfterPost(d); };
    if (ALogDeletes)
        ADataSet->BeforeDelete = [this](TDataSet *d) { HistoryBeforeDelete(d); };
    ADataSet->AfterDelete = [this](TDataSet *d) { HistoryAfterDelete(d); };
    const TDataSetErrorEvent error = [this](TDataSet *d, EDatabaseError &e, TDataAction &a) { HistoryError(d, e, a); };
    ADataSet->OnEditError = error;
    ADataSet->OnPostError = error;
}

void TADOUpdateHistoryExec::Detach()
{
    TDataSet *dataSet = m_dataSet;
    m_dataSet = nullptr;
    TUpdateHistorySavedEvents saved = std::exchange(m_saved, {});
    if (!dataSet)
        return;
    dataSet->BeforePost = std::move(saved.BeforePost);
    dataSet->AfterPost = std::move(saved.AfterPost);
    dataSet->BeforeDelete = std::move(saved.BeforeDelete);
    dataSet->AfterDelete = std::move(saved.AfterDelete);
    dataSet->OnEditError = std::move(saved.OnEditError);
    dataSet->OnPostError = std::move(saved.OnPostError);
}

QString TADOUpdateHistoryExec::describeChange(const TField *field) const
{
    const QString oldText = FieldValueText(field, true);
    const QString newText = FieldValueText(field, false);
    if (m_template.isEmpty()) {
        return QLatin1String("The field \"") + field->FieldName() + QLatin1String("\" has been changed from \"")
               + oldText + QLatin1String("\" on \"") + newText + QLatin1String("\".");
    }
    QString description = m_template;
    description.replace(QLatin1String("<?>"), field->FieldName());
    description.replace(QLatin1String("<old>"), oldText);
    description.replace(QLatin1String("<new>"), newText);
    return description;
}

void TADOUpdateHistoryExec::HistoryBeforePost(TDataSet *ADataSet)
{
    // A row being inserted has no old values to compare with.
    if (OnFieldChanged && ADataSet && ADataSet->State() == dsEdit && ADataSet->FieldCount() > 0) {
        m_statements->clear();
        for (const TField *field : ADataSet->Fields()) {
            if (field->IsDataField() && valueChanged(field))
                OnFieldChanged(describeChange(field), m_dataSet, m_tableName, m_keyFieldName, *m_statements);
        }
    }
    // Runs after the comparison, so the keys it writes into the row are not logged as changes.
    const TDataSetNotifyEvent passOn = m_saved.BeforePost;
    if (passOn && m_logChanges)
        passOn(ADataSet);
}

void TADOUpdateHistoryExec::runStatements(TDataSetNotifyEvent passOn, TDataSet *ADataSet)
{
    // A rejected statement leaves here at once: the handler passed on does not run and the list stays.
    if (!m_statements->isEmpty() && OnExecuteStatements)
        OnExecuteStatements(*m_statements);
    if (passOn)
        passOn(ADataSet);
}

void TADOUpdateHistoryExec::HistoryAfterPost(TDataSet *ADataSet)
{
    runStatements(m_saved.AfterPost, ADataSet);
    m_statements->clear();
}

void TADOUpdateHistoryExec::HistoryBeforeDelete(TDataSet *ADataSet)
{
    if (ADataSet && ADataSet->FieldCount() > 0) {
        m_statements->clear();
        const QList<TField *> &fields = ADataSet->Fields();
        QString rowList;
        for (qsizetype i = 0; i + 1 < fields.size(); ++i) {
            if (fields[i]->IsDataField())
                rowList += fields[i]->FieldName() + QLatin1Char('[') + FieldLiteral(fields[i]) + QLatin1String("], ");
        }
        const TField *last = fields.last();
        if (last->IsDataField())
            rowList += last->FieldName() + QLatin1Char('[') + FieldLiteral(last) + QLatin1Char(']');
        else
            rowList.chop(2);
        if (OnRecordDeleted) {
            OnRecordDeleted(QLatin1Char('(') + rowList + QLatin1Char(')'), ADataSet, m_tableName, m_keyFieldName,
                            *m_statements);
        }
    }
    const TDataSetNotifyEvent passOn = m_saved.BeforeDelete;
    if (passOn && m_logDeletes)
        passOn(ADataSet);
}

void TADOUpdateHistoryExec::HistoryAfterDelete(TDataSet *ADataSet)
{
    // The list is left as it is; the next before-post or before-delete clears it.
    runStatements(m_saved.AfterDelete, ADataSet);
}

void TADOUpdateHistoryExec::HistoryError(TDataSet *ADataSet, EDatabaseError &E, TDataAction &Action)
{
    Q_UNUSED(ADataSet);
    Q_UNUSED(E);
    Q_UNUSED(Action);
    // For good: after a refused edit or post nothing more of this run is logged, and the dataset's own
    // error handlers see the errors from the next one on.
    Detach();
}
