// The client-side dataset: opening and closing, navigation, editing with its events, bookmarks, locate and
// lookup, and notifications to bound controls.
#include "DataSet.h"

#include "DataSetPrivate.h"
#include "FieldValue.h"

#include <QScopeGuard>

#include <algorithm>

using namespace olm::dataset;

// --- TDataSetPrivate -----------------------------------------------------------------------------------------

void TDataSetPrivate::fail(const QString &text) const
{
    const QString name = q->Name();
    throw EDatabaseError(name.isEmpty() ? text : name + QLatin1String(": ") + text);
}

void TDataSetPrivate::fire(const TDataSetNotifyEvent &event)
{
    if (!event)
        return;
    const TDataSetNotifyEvent handler = event;   // a handler may replace the slot it runs from
    handler(q);
}

void TDataSetPrivate::notify(TDataEvent event, qintptr info)
{
    if (disableCount == 0)
        emit q->dataEvent(event, info);
}

void TDataSetPrivate::checkActive() const
{
    if (state == dsInactive)
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TDataSetPrivate::registerField(TField *field)
{
    fields.append(field);
    rebuildNameIndex();
}

void TDataSetPrivate::unregisterField(TField *field)
{
    fields.removeAll(field);
    madeFields.removeAll(field);
    rebuildNameIndex();
}

void TDataSetPrivate::rebuildNameIndex()
{
    fieldsByName.clear();
    calcSlots = 0;
    for (TField *field : std::as_const(fields)) {
        fieldsByName.insert(field->FieldName().toLower(), field);
        if (field->FieldKind() == fkCalculated || field->FieldKind() == fkInternalCalc)
            field->m_dataIndex = calcSlots++;
    }
}

RecordContext TDataSetPrivate::storedContext(const TRecord *record) const
{
    RecordContext ctx;
    if (record) {
        ctx.values = &record->values;
        ctx.calc = &record->calc;
        ctx.stored = record;
    }
    return ctx;
}

RecordContext TDataSetPrivate::displayContext(int row) const
{
    const bool inserting = state == dsInsert;
    if (inserting && row == insertRow) {
        RecordContext ctx;
        ctx.values = &editValues;
        ctx.calc = &editCalc;
        ctx.buffer = true;
        ctx.inserting = true;
        return ctx;
    }
    const int index = inserting && row > insertRow ? row - 1 : row;
    if (index < 0 || index >= int(view.size()))
        return RecordContext();
    if (state == dsEdit && index == cursor) {
        RecordContext ctx;
        ctx.values = &editValues;
        ctx.calc = &editCalc;
        ctx.stored = editRecord;
        ctx.buffer = true;
        return ctx;
    }
    return storedContext(view[size_t(index)]);
}

RecordContext TDataSetPrivate::context() const
{
    if (contextRecord)
        return storedContext(contextRecord);
    if (scopeRow >= 0)
        return displayContext(scopeRow);
    if (editing()) {
        RecordContext ctx;
        ctx.values = &editValues;
        ctx.calc = &editCalc;
        ctx.stored = editRecord;
        ctx.buffer = true;
        ctx.inserting = state == dsInsert;
        return ctx;
    }
    return storedContext(currentRecord());
}

QVariant TDataSetPrivate::valueOf(const TField *field, const RecordContext &ctx) const
{
    switch (field->FieldKind()) {
    case fkData:
        if (!ctx.values || field->m_dataIndex < 0 || field->m_dataIndex >= ctx.values->size())
            return QVariant();
        return ctx.values->at(field->m_dataIndex);
    case fkCalculated: case fkInternalCalc:
        if (!ctx.calc || field->m_dataIndex < 0 || field->m_dataIndex >= ctx.calc->size())
            return QVariant();
        return ctx.calc->at(field->m_dataIndex);
    case fkLookup: {
        const TDataSet *list = field->LookupDataSet();
        if (!list || !list->Active() || !ctx.values)
            return QVariant();
        const QString &keyNames = field->KeyFields();
        QVariant keys;
        if (!keyNames.contains(QLatin1Char(';'))) {
            const TField *key = fieldsByName.value(keyNames.trimmed().toLower());
            if (!key)
                return QVariant();
            keys = valueOf(key, ctx);
        } else {
            QVariantList values;
            for (const QString &name : keyNames.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                const TField *key = fieldsByName.value(name.trimmed().toLower());
                if (!key)
                    return QVariant();
                values.append(valueOf(key, ctx));
            }
            keys = values;
        }
        return list->Lookup(field->LookupKeyFields(), keys, field->LookupResultField());
    }
    }
    return QVariant();
}

QVariant TDataSetPrivate::valueIn(const TField *field, const TRecord *record) const { return valueOf(field, storedContext(record)); }

void TDataSetPrivate::bindFields(const TFetchedRows &fetched)
{
    QHash<QString, int> columns;
    for (int i = 0; i < fetched.columnNames.size(); ++i)
        if (!columns.contains(fetched.columnNames.at(i).toLower()))
            columns.insert(fetched.columnNames.at(i).toLower(), i);
    if (fields.isEmpty()) {
        for (int i = 0; i < fetched.columnNames.size(); ++i) {
            QString name = fetched.columnNames.at(i);
            for (int n = 1; fieldsByName.contains(name.toLower()); ++n)
                name = fetched.columnNames.at(i) + QLatin1Char('_') + QString::number(n);
            const TFieldType type = fetched.columnTypes.value(i, ftWideString);
            auto *field = new TField(q, name, type, fkData, fetched.columnSizes.value(i));   // owned by the dataset
            field->m_dataIndex = i;
            field->setReadOnly(fetched.columnReadOnly.value(i));
            madeFields.append(field);
        }
        return;
    }
    for (TField *field : std::as_const(fields)) {
        if (field->FieldKind() != fkData)
            continue;
        const int index = columns.value(field->FieldName().toLower(), -1);
        if (index < 0)
            fail(QStringLiteral("Field '%1' not found").arg(field->FieldName()));
        field->m_dataIndex = index;
    }
}

void TDataSetPrivate::adoptRows(TFetchedRows &&fetched)
{
    columnNames = fetched.columnNames;
    columnAutoInc = fetched.columnAutoInc;
    baseTable = fetched.baseTable;
    // Persistent fields may be declared with another type than the server sends (a bit read as an integer).
    for (TField *field : std::as_const(fields)) {
        if (field->FieldKind() != fkData || field->m_dataIndex < 0)
            continue;
        const TFieldType sent = fetched.columnTypes.value(field->m_dataIndex, field->DataType());
        if (metaTypeOf(sent) == metaTypeOf(field->DataType()))
            continue;
        for (QVariantList &row : fetched.rows) {
            if (field->m_dataIndex >= row.size())
                continue;
            QVariant converted;
            if (tryConvert(row.at(field->m_dataIndex), field->DataType(), &converted))
                row[field->m_dataIndex] = converted;
        }
    }
    records.clear();
    byId.clear();
    records.reserve(fetched.rows.size());
    byId.reserve(qsizetype(fetched.rows.size()));
    for (QVariantList &row : fetched.rows) {
        auto record = std::make_unique<TRecord>();
        record->id = nextId++;
        record->values = std::move(row);
        if (calcSlots > 0)
            record->calc = QVariantList(calcSlots);
        byId.insert(record->id, record.get());
        records.push_back(std::move(record));
    }
}

void TDataSetPrivate::dropFields()
{
    const QList<TField *> made = madeFields;
    madeFields.clear();
    qDeleteAll(made);
}

void TDataSetPrivate::dropEditBuffer()
{
    state = dsBrowse;
    editValues.clear();
    editCalc.clear();
    editRecord = nullptr;
    insertRow = -1;
    modified = false;
}

void TDataSetPrivate::closeSilently()
{
    dropEditBuffer();
    state = dsInactive;
    view.clear();
    byId.clear();
    records.clear();
    cursor = -1;
    bof = eof = true;
    lookupIndexes.clear();
    ++version;
    columnNames.clear();
    columnAutoInc.clear();
    baseTable.clear();
    dropFields();
}

void TDataSetPrivate::reindexView()
{
    for (const auto &record : records)
        record->viewPos = -1;
    for (size_t i = 0; i < view.size(); ++i)
        view[i]->viewPos = int(i);
}

void TDataSetPrivate::applySortKeys()
{
    if (sortKeys.isEmpty() || view.size() < 2)
        return;
    std::vector<QVariantList> keys(view.size());
    for (size_t i = 0; i < view.size(); ++i) {
        keys[i].reserve(sortKeys.size());
        for (const SortKey &key : std::as_const(sortKeys))
            keys[i].append(valueIn(key.field, view[i]));
    }
    std::vector<size_t> order(view.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        for (int k = 0; k < sortKeys.size(); ++k) {
            const int c = compareValues(keys[a].at(k), keys[b].at(k));
            if (c != 0)
                return sortKeys.at(k).descending ? c > 0 : c < 0;
        }
        return false;
    });
    std::vector<TRecord *> sorted;
    sorted.reserve(view.size());
    for (size_t i : order)
        sorted.push_back(view[i]);
    view.swap(sorted);
}

void TDataSetPrivate::rebuildView(const TRecord *keep, bool keepPosition)
{
    view.clear();
    view.reserve(records.size());
    if (filtered && filter) {
        filter->bind(*q);
        const auto restore = qScopeGuard([this] { contextRecord = nullptr; });
        for (const auto &record : records) {
            contextRecord = record.get();
            if (filter->matches())
                view.push_back(record.get());
        }
    } else {
        for (const auto &record : records)
            view.push_back(record.get());
    }
    applySortKeys();
    reindexView();
    cursor = view.empty() ? -1 : 0;
    if (keepPosition && keep && keep->viewPos >= 0)
        cursor = keep->viewPos;
    bof = cursor <= 0;
    eof = view.empty();
    ++version;
    recalc();
}

void TDataSetPrivate::recalc()
{
    if (!q->OnCalcFields || view.empty())
        return;
    const TDataSetNotifyEvent handler = q->OnCalcFields;
    const TDataSetState saved = state;
    const auto restore = qScopeGuard([this, saved] {
        state = saved;
        contextRecord = nullptr;
        calcTarget = nullptr;
    });
    state = dsCalcFields;
    for (TRecord *record : view) {
        record->calc = QVariantList(calcSlots);
        contextRecord = record;
        calcTarget = record;
        handler(q);
    }
}

int TDataSetPrivate::recordPosition(const QString &bookmark) const
{
    bool ok = false;
    const qint64 id = bookmark.toLongLong(&ok);
    if (!ok)
        return -1;
    const TRecord *record = byId.value(id);
    return record ? record->viewPos : -1;
}

void TDataSetPrivate::removeRecord(TRecord *record)
{
    byId.remove(record->id);
    view.erase(std::remove(view.begin(), view.end(), record), view.end());
    records.erase(std::remove_if(records.begin(), records.end(), [record](const auto &r) { return r.get() == record; }),
                  records.end());
    reindexView();
    ++version;
}

void TDataSetPrivate::insertRecord(std::unique_ptr<TRecord> record, int position)
{
    position = std::clamp(position, 0, int(view.size()));
    TRecord *raw = record.get();
    byId.insert(raw->id, raw);
    // Keep the server order close to the display, so clearing a sort does not move the row far.
    auto storeAt = records.end();
    if (position < int(view.size())) {
        const TRecord *next = view[size_t(position)];
        storeAt = std::find_if(records.begin(), records.end(), [next](const auto &r) { return r.get() == next; });
    }
    records.insert(storeAt, std::move(record));
    view.insert(view.begin() + position, raw);
    reindexView();
    ++version;
}

const LookupIndex &TDataSetPrivate::lookupIndex(const QString &keyFields) const
{
    LookupIndex &index = lookupIndexes[keyFields];
    if (index.version == version && !index.keys.isEmpty())
        return index;
    index.keys = q->FieldsByNames(keyFields);
    index.records.clear();
    index.records.reserve(qsizetype(view.size()));
    // Backwards, so the first row of a repeated key is the one kept.
    for (auto it = view.rbegin(); it != view.rend(); ++it) {
        QString key;
        for (const TField *field : std::as_const(index.keys)) {
            key += indexKeyPart(valueIn(field, *it));
            key += QChar(0x1f);
        }
        index.records.insert(key, *it);
    }
    index.version = version;
    return index;
}

// --- TDataSet ------------------------------------------------------------------------------------------------

namespace {

/// "a, b DESC" → the fields and directions; EDatabaseError for an unknown field.
QList<SortKey> sortKeys(const TDataSet &dataSet, const QString &sort)
{
    QList<SortKey> keys;
    for (const QString &part : sort.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QStringList words = part.simplified().split(QLatin1Char(' '));
        SortKey key;
        const QString last = words.last().toLower();
        if (words.size() > 1 && (last == QLatin1String("desc") || last == QLatin1String("asc"))) {
            key.descending = last == QLatin1String("desc");
            words.removeLast();
        }
        QString name = words.join(QLatin1Char(' '));
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
            name = name.mid(1, name.size() - 2);
        key.field = dataSet.FieldByName(name);
        keys.append(key);
    }
    return keys;
}

} // namespace

TDataSet::TDataSet(QObject *owner) : QObject(owner), d(std::make_unique<TDataSetPrivate>(this)) {}

TDataSet::~TDataSet()
{
    d->destroying = true;
    d->closeSilently();
    const QList<TField *> fields = d->fields;
    d->fields.clear();
    qDeleteAll(fields);
}

TField *TDataSet::AddField(const QString &fieldName, TFieldType dataType, int size, TFieldKind kind)
{
    if (Active())
        d->fail(QStringLiteral("Cannot perform this operation on an open dataset"));
    if (FindField(fieldName))
        d->fail(QStringLiteral("Duplicate field name '%1'").arg(fieldName));
    return new TField(this, fieldName, dataType, kind, size);   // owned by this dataset
}

TField *TDataSet::AddLookupField(const QString &fieldName, TFieldType dataType, int size, const QString &keyFields,
                                 TDataSet *lookupDataSet, const QString &lookupKeyFields, const QString &lookupResultField)
{
    TField *field = AddField(fieldName, dataType, size, fkLookup);
    field->setLookup(keyFields, lookupDataSet, lookupKeyFields, lookupResultField);
    return field;
}

const QList<TField *> &TDataSet::Fields() const { return d->fields; }
int TDataSet::FieldCount() const { return int(d->fields.size()); }
TField *TDataSet::FindField(const QString &fieldName) const { return d->fieldsByName.value(fieldName.trimmed().toLower()); }

TField *TDataSet::FieldByName(const QString &fieldName) const
{
    TField *field = FindField(fieldName);
    if (!field)
        d->fail(QStringLiteral("Field '%1' not found").arg(fieldName));
    return field;
}

QList<TField *> TDataSet::FieldsByNames(const QString &fieldNames) const
{
    QList<TField *> result;
    for (const QString &name : fieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        result.append(FieldByName(name.trimmed()));
    return result;
}

void TDataSet::Open()
{
    if (Active())
        return;
    d->fire(BeforeOpen);
    try {
        TFetchedRows fetched = fetchRows();
        d->bindFields(fetched);
        d->adoptRows(std::move(fetched));
        d->state = dsBrowse;
        d->sortKeys = sortKeys(*this, d->sortText);
        d->rebuildView(nullptr, false);
    } catch (...) {
        d->closeSilently();
        if (d->closedHook)
            d->closedHook();
        throw;
    }
    d->notify(deUpdateState);
    d->notify(deDataSetChange);
    d->fire(AfterOpen);
}

void TDataSet::Close()
{
    if (!Active())
        return;
    d->fire(BeforeClose);
    d->closeSilently();
    d->notify(deUpdateState);
    d->notify(deDataSetChange);
    d->fire(AfterClose);
    if (d->closedHook)
        d->closedHook();
}

bool TDataSet::Active() const { return d->state != dsInactive; }
void TDataSet::setActive(bool active) { active ? Open() : Close(); }

void TDataSet::Refresh()
{
    d->checkActive();
    CheckBrowseMode();
    const QStringList keyNames = d->keyFieldsProvider ? d->keyFieldsProvider() : QStringList();
    QList<TField *> keys;
    for (const QString &name : keyNames)
        if (TField *field = FindField(name))
            keys.append(field);
    QVariantList keyValues;
    if (const TRecord *current = d->currentRecord())
        for (TField *key : std::as_const(keys))
            keyValues.append(d->valueIn(key, current));
    const int recNo = RecNo();

    TFetchedRows fetched = fetchRows();
    try {
        const bool sameColumns = fetched.columnNames == d->columnNames;
        if (!d->madeFields.isEmpty() && !sameColumns)
            d->dropFields();
        if (d->madeFields.isEmpty() || !sameColumns)
            d->bindFields(fetched);
        d->adoptRows(std::move(fetched));
        d->sortKeys = sortKeys(*this, d->sortText);   // fields made anew leave the old keys dangling
        d->rebuildView(nullptr, false);
    } catch (...) {
        d->closeSilently();
        d->notify(deUpdateState);
        d->notify(deDataSetChange);
        if (d->closedHook)
            d->closedHook();
        throw;
    }
    int position = -1;
    if (!keyValues.isEmpty() && keyValues.size() == keys.size()) {
        for (size_t i = 0; i < d->view.size() && position < 0; ++i) {
            bool same = true;
            for (int k = 0; k < keys.size() && same; ++k)
                same = valuesEqual(d->valueIn(keys.at(k), d->view[i]), keyValues.at(k));
            if (same)
                position = int(i);
        }
    }
    if (position < 0 && !d->view.empty())
        position = std::clamp(recNo - 1, 0, int(d->view.size()) - 1);
    d->cursor = position;
    d->bof = position <= 0;
    d->eof = d->view.empty();
    d->notify(deDataSetChange);
}

void TDataSet::Requery()
{
    Close();
    Open();
}

TDataSetState TDataSet::State() const { return d->state; }
bool TDataSet::Modified() const { return d->modified; }
bool TDataSet::CanModify() const { return Active() && !d->readOnly && (!d->canWriteProvider || d->canWriteProvider()); }
bool TDataSet::ReadOnly() const { return d->readOnly; }
void TDataSet::setReadOnly(bool readOnly) { d->readOnly = readOnly; }

// --- Navigation ----------------------------------------------------------------------------------------------

namespace {

/// Moves the cursor with the scroll events around it; the caller has already posted a pending edit.
void scrollTo(TDataSet *q, TDataSetPrivate *d, int position, bool bof, bool eof)
{
    d->fire(q->BeforeScroll);
    const int old = d->cursor;
    d->cursor = d->view.empty() ? -1 : std::clamp(position, 0, int(d->view.size()) - 1);
    d->bof = bof || d->view.empty();
    d->eof = eof || d->view.empty();
    if (d->cursor != old)
        d->notify(deDataSetScroll, d->cursor - old);
    d->fire(q->AfterScroll);
}

} // namespace

int TDataSet::RecordCount() const { return Active() ? int(d->view.size()) : 0; }

int TDataSet::RecNo() const
{
    if (!Active())
        return 0;
    if (d->contextRecord)
        return d->contextRecord->viewPos + 1;
    if (d->scopeRow >= 0) {
        const RecordContext ctx = d->displayContext(d->scopeRow);
        if (ctx.inserting)
            return -1;
        return ctx.stored ? ctx.stored->viewPos + 1 : 0;
    }
    if (d->state == dsInsert)
        return -1;
    return d->cursor + 1;
}

void TDataSet::setRecNo(int recNo)
{
    d->checkActive();
    CheckBrowseMode();
    scrollTo(this, d.get(), recNo - 1, false, false);
}

void TDataSet::First()
{
    d->checkActive();
    CheckBrowseMode();
    scrollTo(this, d.get(), 0, true, false);
}

void TDataSet::Last()
{
    d->checkActive();
    CheckBrowseMode();
    scrollTo(this, d.get(), int(d->view.size()) - 1, false, true);
}

void TDataSet::Next() { MoveBy(1); }
void TDataSet::Prior() { MoveBy(-1); }

int TDataSet::MoveBy(int distance)
{
    d->checkActive();
    CheckBrowseMode();
    const int count = int(d->view.size());
    const int from = d->cursor;
    const int target = count == 0 ? -1 : std::clamp(from + distance, 0, count - 1);
    const int moved = count == 0 ? 0 : target - from;
    const bool eof = distance > 0 && moved < distance;
    const bool bof = distance < 0 && moved > distance;
    scrollTo(this, d.get(), target, bof, eof);
    return moved;
}

bool TDataSet::Eof() const { return !Active() || d->eof; }
bool TDataSet::Bof() const { return !Active() || d->bof; }
bool TDataSet::IsEmpty() const { return !Active() || (d->view.empty() && d->state != dsInsert); }

QString TDataSet::Bookmark() const
{
    if (!Active())
        return QString();
    const RecordContext ctx = d->context();
    if (ctx.inserting || !ctx.stored)
        return QString();
    return QString::number(ctx.stored->id);
}

void TDataSet::setBookmark(const QString &bookmark)
{
    d->checkActive();
    CheckBrowseMode();
    const int position = d->recordPosition(bookmark);
    if (position < 0)
        d->fail(QStringLiteral("Record not found"));
    scrollTo(this, d.get(), position, false, false);
}

bool TDataSet::BookmarkValid(const QString &bookmark) const { return Active() && d->recordPosition(bookmark) >= 0; }

int TDataSet::CompareBookmarks(const QString &a, const QString &b) const
{
    const int x = d->recordPosition(a), y = d->recordPosition(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

namespace {

bool textMatches(const QString &value, const QString &wanted, TLocateOptions options)
{
    const Qt::CaseSensitivity cs = options & loCaseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (options & loPartialKey)
        return value.startsWith(wanted, cs);
    return value.compare(wanted, cs) == 0;
}

QVariantList keyList(const QVariant &keyValues)
{
    if (keyValues.typeId() == QMetaType::QVariantList)
        return keyValues.toList();
    return QVariantList{keyValues};
}

} // namespace

bool TDataSet::Locate(const QString &keyFields, const QVariant &keyValues, TLocateOptions options)
{
    d->checkActive();
    CheckBrowseMode();
    const QList<TField *> keys = FieldsByNames(keyFields);
    const QVariantList wanted = keyList(keyValues);
    if (wanted.size() != keys.size())
        d->fail(QStringLiteral("Locate: %1 values for %2 fields").arg(wanted.size()).arg(keys.size()));
    QVariantList converted;
    for (int k = 0; k < keys.size(); ++k) {
        QVariant value;
        if (keys.at(k)->IsStringType() && options)
            value = wanted.at(k).toString();
        else if (!tryConvert(wanted.at(k), keys.at(k)->DataType(), &value))
            return false;
        converted.append(value);
    }
    for (size_t i = 0; i < d->view.size(); ++i) {
        bool same = true;
        for (int k = 0; k < keys.size() && same; ++k) {
            const QVariant value = d->valueIn(keys.at(k), d->view[i]);
            if (keys.at(k)->IsStringType() && options)
                same = !isNullValue(value) && textMatches(value.toString(), converted.at(k).toString(), options);
            else
                same = valuesEqual(value, converted.at(k));
        }
        if (same) {
            scrollTo(this, d.get(), int(i), false, false);
            return true;
        }
    }
    return false;
}

QVariant TDataSet::Lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultField) const
{
    if (!Active())
        return QVariant();
    const LookupIndex &index = d->lookupIndex(keyFields);
    const QVariantList wanted = keyList(keyValues);
    if (wanted.size() != index.keys.size())
        return QVariant();
    QString key;
    for (int k = 0; k < index.keys.size(); ++k) {
        QVariant value;
        if (!tryConvert(wanted.at(k), index.keys.at(k)->DataType(), &value))
            return QVariant();
        key += indexKeyPart(value);
        key += QChar(0x1f);
    }
    const TRecord *record = index.records.value(key);
    if (!record)
        return QVariant();
    return d->valueIn(FieldByName(resultField), record);
}

// --- Order and filter ----------------------------------------------------------------------------------------

QString TDataSet::Sort() const { return d->sortText; }

void TDataSet::setSort(const QString &sort)
{
    d->checkActive();
    CheckBrowseMode();
    const QList<SortKey> keys = sortKeys(*this, sort);
    d->sortText = sort;
    d->sortKeys = keys;
    d->rebuildView(d->currentRecord(), true);
    d->notify(deDataSetChange);
}

QString TDataSet::Filter() const { return d->filterText; }

namespace {

/// Parses and applies a filter; on failure the previous text, switch and rows stay.
void applyFilter(TDataSet *q, TDataSetPrivate *d, const QString &text, bool filtered)
{
    std::unique_ptr<FilterExpression> expression;
    if (filtered && !text.trimmed().isEmpty())
        expression = FilterExpression::parse(text);
    if (d->state == dsInactive) {
        d->filterText = text;
        d->filtered = filtered;
        d->filter = std::move(expression);
        return;
    }
    q->CheckBrowseMode();
    if (expression)
        expression->bind(*q);
    const bool changesRows = d->filtered != filtered || (filtered && d->filterText != text);
    d->filterText = text;
    d->filtered = filtered;
    d->filter = std::move(expression);
    if (!changesRows)
        return;
    d->rebuildView(nullptr, false);
    d->notify(deDataSetChange);
}

} // namespace

void TDataSet::setFilter(const QString &filter) { applyFilter(this, d.get(), filter, d->filtered); }
bool TDataSet::Filtered() const { return d->filtered; }
void TDataSet::setFiltered(bool filtered) { applyFilter(this, d.get(), d->filterText, filtered); }

// --- Editing -------------------------------------------------------------------------------------------------

void TDataSet::Edit()
{
    d->checkActive();
    if (d->editing())
        return;
    d->fire(BeforeEdit);
    d->checkOperation([this] {
        if (!CanModify())
            d->fail(QStringLiteral("Cannot modify a read-only dataset"));
        if (d->view.empty())
            d->fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    }, OnEditError);
    TRecord *record = d->currentRecord();
    d->editRecord = record;
    d->editValues = record->values;
    d->editCalc = record->calc;
    d->modified = false;
    d->state = dsEdit;
    d->notify(deUpdateState);
    d->fire(AfterEdit);
}

namespace {

void beginInsert(TDataSet *q, TDataSetPrivate *d, bool append)
{
    d->checkActive();
    q->CheckBrowseMode();
    if (!q->CanModify())
        d->fail(QStringLiteral("Cannot modify a read-only dataset"));
    d->fire(q->BeforeInsert);
    d->fire(q->BeforeScroll);
    d->insertRow = append || d->view.empty() ? int(d->view.size()) : d->cursor;
    d->editRecord = nullptr;
    d->editValues = QVariantList(d->columnNames.size());
    for (TField *field : std::as_const(d->fields))
        if (const int column = TDataSetPrivate::columnOf(field);
            field->FieldKind() == fkData && column >= 0 && column < d->editValues.size())
            d->editValues[column] = typedNull(field->DataType());
    d->editCalc = QVariantList(d->calcSlots);
    d->state = dsInsert;
    try {
        d->fire(q->OnNewRecord);
    } catch (...) {
        d->dropEditBuffer();
        throw;
    }
    d->modified = false;
    d->notify(deRowInserted, d->insertRow);
    d->notify(deUpdateState);
    d->fire(q->AfterInsert);
    d->fire(q->AfterScroll);
}

/// The data fields with their values as read and as edited.
TRowChange describeChange(TDataSetPrivate *d, TRowChangeKind kind, const TDataSetPrivate::TRecord *stored,
                          const QVariantList &edited)
{
    TRowChange change;
    change.kind = kind;
    for (TField *field : std::as_const(d->fields)) {
        if (field->FieldKind() != fkData)
            continue;
        const QVariant old = stored && kind != rcInsert ? d->valueIn(field, stored) : typedNull(field->DataType());
        const int index = TDataSetPrivate::columnOf(field);
        const QVariant now = kind == rcDelete ? old
                                              : (index >= 0 && index < edited.size() ? edited.at(index) : QVariant());
        change.fields.append(field);
        change.oldValues.append(old);
        change.newValues.append(now);
        change.changed.append(!valuesEqual(old, now));
    }
    return change;
}

} // namespace

void TDataSet::Insert() { beginInsert(this, d.get(), false); }
void TDataSet::Append() { beginInsert(this, d.get(), true); }

void TDataSet::Post()
{
    d->checkActive();
    if (!d->editing())
        return;
    d->fire(BeforePost);
    if (!d->editing())   // a handler cancelled
        return;
    TRowChange change;
    d->checkOperation([&] {
        if (!d->editing())
            return;
        change = describeChange(d.get(), d->state == dsInsert ? rcInsert : rcUpdate, d->editRecord, d->editValues);
        writeRow(change);
    }, OnPostError);
    if (!d->editing())
        return;
    QVariantList stored = d->editValues;
    const bool refreshed = change.refreshed.size() == change.fields.size();
    for (int i = 0; i < change.fields.size(); ++i) {
        TField *field = change.fields.at(i);
        const int index = field->m_dataIndex;
        if (index < 0 || index >= stored.size())
            continue;
        QVariant value = refreshed ? change.refreshed.at(i) : change.newValues.at(i);
        QVariant converted;
        if (tryConvert(value, field->DataType(), &converted))
            value = converted;
        stored[index] = value;
    }
    const bool inserted = d->state == dsInsert;
    if (inserted) {
        auto record = std::make_unique<TRecord>();
        record->id = d->nextId++;
        record->values = stored;
        record->calc = QVariantList(d->calcSlots);
        const int position = d->insertRow;
        d->insertRecord(std::move(record), position);
        d->cursor = std::clamp(position, 0, int(d->view.size()) - 1);
    } else {
        d->editRecord->values = stored;
        ++d->version;
    }
    d->dropEditBuffer();
    d->recalc();
    d->notify(deRecordChange);
    d->notify(deUpdateState);
    d->fire(AfterPost);
}

void TDataSet::Cancel()
{
    if (!d->editing())
        return;
    d->fire(BeforeCancel);
    if (!d->editing())
        return;
    const bool inserting = d->state == dsInsert;
    const int row = d->insertRow;
    d->dropEditBuffer();
    d->recalc();
    if (inserting)
        d->notify(deRowDeleted, row);
    else
        d->notify(deRecordChange);
    d->notify(deUpdateState);
    d->fire(AfterCancel);
}

void TDataSet::Delete()
{
    d->checkActive();
    if (d->state == dsInsert) {
        Cancel();
        return;
    }
    if (d->view.empty())
        d->fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    d->fire(BeforeDelete);
    d->fire(BeforeScroll);
    // The handlers may have closed the dataset or left no record in view (a filter, a re-read).
    d->checkActive();
    const TRecord *target = d->currentRecord();
    if (!target)
        d->fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    const qint64 id = target->id;
    d->checkOperation([&] {
        if (!CanModify())
            d->fail(QStringLiteral("Cannot modify a read-only dataset"));
        TRowChange change = describeChange(d.get(), rcDelete, d->byId.value(id), {});
        writeRow(change);
    }, OnDeleteError);
    TRecord *record = d->byId.value(id);
    if (!record)   // a handler re-read the rows
        return;
    const int row = record->viewPos;
    d->removeRecord(record);
    d->dropEditBuffer();
    d->cursor = d->view.empty() ? -1 : std::min(row, int(d->view.size()) - 1);
    d->bof = d->cursor <= 0;
    d->eof = d->view.empty();
    d->recalc();
    d->notify(deRowDeleted, row);
    d->notify(deUpdateState);
    d->fire(AfterDelete);
    d->fire(AfterScroll);
}

void TDataSet::CheckBrowseMode()
{
    if (!d->editing())
        return;
    if (d->modified)
        Post();
    else
        Cancel();
}

// --- Bound controls ------------------------------------------------------------------------------------------

void TDataSet::DisableControls() { ++d->disableCount; }

void TDataSet::EnableControls()
{
    if (d->disableCount == 0)
        return;
    if (--d->disableCount == 0)
        d->notify(deDataSetChange);
}

bool TDataSet::ControlsDisabled() const { return d->disableCount > 0; }

int TDataSet::DisplayRowCount() const { return Active() ? int(d->view.size()) + (d->state == dsInsert ? 1 : 0) : 0; }

int TDataSet::CurrentDisplayRow() const
{
    if (!Active())
        return -1;
    if (d->state == dsInsert)
        return d->insertRow;
    return d->cursor;
}

void TDataSet::setCurrentDisplayRow(int row)
{
    d->checkActive();
    const bool wasInserting = d->state == dsInsert;
    const int insertRow = d->insertRow;
    if (wasInserting && row == insertRow)
        return;
    const size_t before = d->view.size();
    CheckBrowseMode();
    int target = row;
    if (wasInserting && d->view.size() == before && row > insertRow)   // the empty insert was dropped
        target = row - 1;
    if (target == d->cursor)
        return;
    scrollTo(this, d.get(), target, false, false);
}

TDataSet::RecordScope::RecordScope(const TDataSet *dataSet, int displayRow) : m_dataSet(dataSet), m_previous(-1)
{
    if (!m_dataSet)
        return;
    m_previous = m_dataSet->d->scopeRow;
    m_dataSet->d->scopeRow = displayRow;
}

TDataSet::RecordScope::~RecordScope()
{
    if (m_dataSet)
        m_dataSet->d->scopeRow = m_previous;
}
