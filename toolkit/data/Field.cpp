// Dataset fields: reading the record the dataset points the fields at, typed writes into the edit buffer,
// standard and display texts.
#include "Field.h"

#include "DataSetPrivate.h"
#include "FieldValue.h"

using namespace olm::dataset;

QString TFormatSettings::ShortDateFormat = QStringLiteral("dd.MM.yyyy");
QString TFormatSettings::LongTimeFormat = QStringLiteral("hh:mm:ss");

TField::TField(TDataSet *dataSet, const QString &fieldName, TFieldType dataType, TFieldKind kind, int size)
    : QObject(dataSet), m_dataSet(dataSet), m_fieldName(fieldName), m_dataType(dataType), m_kind(kind), m_size(size)
{
    setObjectName(fieldName);
    if (m_dataSet)
        m_dataSet->privateData()->registerField(this);
}

TField::~TField()
{
    if (m_dataSet && !m_dataSet->privateData()->destroying)
        m_dataSet->privateData()->unregisterField(this);
}

int TField::Index() const { return m_dataSet ? int(m_dataSet->privateData()->fields.indexOf(const_cast<TField *>(this))) : -1; }

TDataSet *TField::LookupDataSet() const { return static_cast<TDataSet *>(m_lookupDataSet.data()); }

void TField::setLookup(const QString &keyFields, TDataSet *lookupDataSet, const QString &lookupKeyFields,
                       const QString &lookupResultField)
{
    m_keyFields = keyFields;
    m_lookupDataSet = lookupDataSet;
    m_lookupKeyFields = lookupKeyFields;
    m_lookupResultField = lookupResultField;
}

QVariant TField::Value() const
{
    if (!m_dataSet)
        return QVariant();
    const TDataSetPrivate *d = m_dataSet->privateData();
    return d->valueOf(this, d->context());
}

QVariant TField::OldValue() const
{
    if (!m_dataSet)
        return QVariant();
    const TDataSetPrivate *d = m_dataSet->privateData();
    const RecordContext ctx = d->context();
    if (!ctx.buffer || m_kind != fkData)
        return d->valueOf(this, ctx);
    if (ctx.inserting || !ctx.stored)
        return typedNull(m_dataType);
    return d->valueOf(this, d->storedContext(ctx.stored));
}

bool TField::IsNull() const { return isNullValue(Value()); }

QString TField::AsString() const { return TextOf(Value()); }

QString TField::TextOf(const QVariant &value) const { return standardText(value, m_dataType); }

QString TField::DisplayText() const { return formattedText(Value(), m_dataType, m_displayFormat); }

namespace {

/// The value in another type's representation, the error naming the field.
QVariant valueAs(const TField &field, const QVariant &value, TFieldType type)
{
    QVariant out;
    QString error;
    if (!tryConvert(value, type, &out, &error))
        throw EConvertError(QStringLiteral("%1 for field '%2'").arg(error, field.FieldName()));
    return out;
}

} // namespace

QVariant TField::convert(const QVariant &value) const { return valueAs(*this, value, m_dataType); }
int TField::AsInteger() const { return valueAs(*this, Value(), ftInteger).toInt(); }
bool TField::AsBoolean() const { return valueAs(*this, Value(), ftBoolean).toBool(); }
double TField::AsFloat() const { return valueAs(*this, Value(), ftFloat).toDouble(); }
QDateTime TField::AsDateTime() const { return valueAs(*this, Value(), ftDateTime).toDateTime(); }

void TField::setValue(const QVariant &value)
{
    if (!m_dataSet)
        throw EDatabaseError(QStringLiteral("Field '%1' has no dataset").arg(m_fieldName));
    TDataSetPrivate *d = m_dataSet->privateData();
    if (m_kind == fkLookup) {
        setLookupValue(value);
        return;
    }
    const bool calculated = m_kind == fkCalculated || m_kind == fkInternalCalc;
    if (calculated && d->state == dsCalcFields && d->calcTarget) {
        d->calcTarget->calc[m_dataIndex] = convert(value);
        return;
    }
    if (m_readOnly)
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(DisplayLabel()));
    if (!d->editing())
        d->fail(QStringLiteral("Dataset not in edit or insert mode"));
    const QVariant converted = convert(value);
    QVariantList &target = calculated ? d->editCalc : d->editValues;
    if (m_dataIndex < 0 || m_dataIndex >= target.size())
        d->fail(QStringLiteral("Field '%1' is not bound to a column").arg(m_fieldName));
    target[m_dataIndex] = converted;
    d->modified = true;
    if (OnChange) {
        const TFieldNotifyEvent handler = OnChange;
        handler(this);
    }
    d->notify(deFieldChange, reinterpret_cast<qintptr>(this));
}

void TField::setLookupValue(const QVariant &value)
{
    if (m_readOnly)
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(DisplayLabel()));
    TDataSetPrivate *d = m_dataSet->privateData();
    if (!d->editing())
        d->fail(QStringLiteral("Dataset not in edit or insert mode"));
    const QList<TField *> keys = m_dataSet->FieldsByNames(m_keyFields);
    const QStringList listKeys = m_lookupKeyFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    TDataSet *list = LookupDataSet();
    for (int i = 0; i < keys.size(); ++i) {
        QVariant key;
        if (!isNullValue(value) && list && list->Active() && i < listKeys.size())
            key = list->Lookup(m_lookupResultField, value, listKeys.at(i).trimmed());
        keys.at(i)->setValue(key);
    }
}

void TField::setAsString(const QString &text) { setValue(text.isEmpty() ? QVariant() : QVariant(text)); }
void TField::setAsInteger(int value) { setValue(value); }
void TField::setAsBoolean(bool value) { setValue(value); }
void TField::setAsFloat(double value) { setValue(value); }
void TField::setAsDateTime(const QDateTime &value) { setValue(value.isValid() ? QVariant(value) : QVariant()); }
void TField::Clear() { setValue(QVariant()); }
