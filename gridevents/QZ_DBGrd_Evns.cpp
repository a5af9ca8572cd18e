// The grid behaviour component: attaching to a grid, switching it on and off, and duplicate keys.
#include "gridevents/QZ_DBGrd_Evns.h"

#include "text/SingleQuotes.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/data/DataSet.h"
#include "toolkit/data/Field.h"

#include <QHash>
#include <QSet>

#include <utility>
#include <vector>

namespace {

bool isFilterNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.') || c == QLatin1Char('@');
}

/// A text the filter language reads back whole when it is written without quotes: a bare value ends at a
/// blank or ')', and one that begins with the word "and" or "or" reads as an empty value.
bool isBareFilterValue(const QString &text)
{
    if (text.isEmpty() || text.startsWith(QLatin1Char('\'')))
        return false;
    for (const QChar c : text) {
        if (c.isSpace() || c == QLatin1Char(')'))
            return false;
    }
    for (const QLatin1String word : {QLatin1String("and"), QLatin1String("or")}) {
        // Only a text that begins with the word is long enough to have a character after it.
        if (!text.startsWith(word, Qt::CaseInsensitive))
            continue;
        if (text.size() == word.size() || !isFilterNameChar(text.at(word.size())))
            return false;
    }
    return true;
}

bool isIntegerField(const TField *field)
{
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
    case ftAutoInc:
        return true;
    default:
        return false;
    }
}

/// How one value is written in a key filter. Strings are quoted (an empty one matches null too); other
/// values are bare unless that would cut them (a date with its time of day). exact is cleared when the
/// filter may find other texts than this one.
QString filterValue(const TField *field, const QString &text, bool *exact)
{
    if (field->IsStringType()) {
        // A text ending in '*' goes bare where it can and is otherwise counted by its filter, so the scan
        // never relies on how a quoted star is read.
        if (text.endsWith(QLatin1Char('*'))) {
            if (isBareFilterValue(text))
                return text;
            *exact = false;
        }
        return olm::text::singleQuotedLiteral(text);
    }
    // Only integers come back from their text as the very same value.
    if (!isIntegerField(field))
        *exact = false;
    return text.isEmpty() || isBareFilterValue(text) ? text : olm::text::singleQuotedLiteral(text);
}

/// Whatever happens between setting a key filter and taking it off again, the dataset is left unfiltered.
class KeyFilterScope {
public:
    KeyFilterScope(TDataSet *dataSet, const QString &filter) : m_dataSet(dataSet)
    {
        try {
            m_dataSet->setFilter(filter);
            m_dataSet->setFiltered(true);
        } catch (...) {
            unfilterQuietly();
            throw;
        }
    }
    ~KeyFilterScope()
    {
        if (m_dataSet)
            unfilterQuietly();
    }
    KeyFilterScope(const KeyFilterScope &) = delete;
    KeyFilterScope &operator=(const KeyFilterScope &) = delete;

    /// Takes the filter off now, the normal way out.
    void release() { unfilter(std::exchange(m_dataSet, nullptr)); }

private:
    static void unfilter(TDataSet *dataSet)
    {
        dataSet->setFiltered(false);
        dataSet->setFilter(QString());
    }
    void unfilterQuietly() noexcept
    {
        try {
            unfilter(m_dataSet);
        } catch (...) {
            // The error on its way out is the one that matters.
        }
    }
    TDataSet *m_dataSet;
};

} // namespace

// --- The component --------------------------------------------------------------------------------------

TQZDBGridEvents::TQZDBGridEvents(QObject *owner)
    : QObject(owner), m_attributes(std::make_unique<TQZDBAttributes>())
{
}

TQZDBGridEvents::~TQZDBGridEvents()
{
    HookGrid(nullptr, false);
}

void TQZDBGridEvents::setDBGridEh(TQZDBGridEh *grid)
{
    if (!grid)
        HookGrid(nullptr, false);
    else if (grid != m_grid)
        HookGrid(grid, true);
    m_grid = grid;
    UpdateAttrGrid();
}

void TQZDBGridEvents::HookGrid(TQZDBGridEh *grid, bool attach)
{
    if (attach) {
        // The grid's destructor announces itself before anything is torn down; destroyed is the fallback.
        QObject::connect(grid, &TDBGridEh::gridDestroying, this, [this](TDBGridEh *g) { Notification(g); });
        QObject::connect(grid, &QObject::destroyed, this, [this](QObject *g) { Notification(g); });
        grid->DefaultDrawing = false;
        grid->AllowedOperations &= ~alopDeleteEh;
        grid->EditActions = 0;
        grid->OnDrawColumnCell = [this](QObject *sender, const QRect &rect, int dataCol, TColumnEh *column,
                                        TGridDrawState state) {
            GridDrawColumnCell(sender, rect, dataCol, column, state);
        };
        grid->OnKeyDown = [this](QObject *sender, quint16 &key, TShiftState shift) {
            GridKeyDown(sender, key, shift);
        };
        grid->Invalidate();
    } else if (grid) {
        return;
    }

    TQZDBGridEh *previous = m_grid;
    if (!previous || previous == grid)
        return;
    QObject::disconnect(previous, nullptr, this, nullptr);
    previous->DefaultDrawing = true;
    previous->AllowedOperations |= alopDeleteEh;
    previous->EditActions = 0;
    previous->OnDrawColumnCell = nullptr;
    previous->OnKeyDown = nullptr;
    previous->Invalidate();
}

void TQZDBGridEvents::UpdateAttrGrid()
{
    m_attributes->setGrid(m_grid);
}

void TQZDBGridEvents::Notification(QObject *component)
{
    if (!component)
        return;
    if (component == m_grid) {
        m_grid = nullptr;
        UpdateAttrGrid();
    } else if (component == m_uniqueField) {
        QObject::disconnect(m_uniqueFieldWatch);
        m_uniqueField = nullptr;
    }
}

void TQZDBGridEvents::setUniqueField(TField *field)
{
    if (field == m_uniqueField)
        return;
    QObject::disconnect(m_uniqueFieldWatch);
    m_uniqueField = field;
    if (field)
        m_uniqueFieldWatch = QObject::connect(field, &QObject::destroyed, this, [this](QObject *f) { Notification(f); });
}

TDataSet *TQZDBGridEvents::dataSet() const
{
    if (!m_grid || !m_grid->DataSource())
        return nullptr;
    return m_grid->DataSource()->DataSet();
}

void TQZDBGridEvents::raiseError(quint16 errorId)
{
    if (OnQZDBEGridError)
        OnQZDBEGridError(this, errorId);
}

void TQZDBGridEvents::setActive(bool active)
{
    if (active == m_active)
        return;
    if (active) {
        m_active = true;
        try {
            m_active = ActivateGrid();
        } catch (...) {
            m_active = false;
            throw;
        }
        return;
    }

    m_active = false;
    if (!m_grid)
        return;
    if (!m_grid->DataSource()) {
        raiseError(qzeNoDataSource);
        return;
    }
    TDataSet *ds = m_grid->DataSource()->DataSet();
    if (!ds) {
        raiseError(qzeNoDataSet);
        return;
    }
    if (ds->Active())
        ds->Close();
    m_duplicateList.Clear();
    m_errorList.Clear();
}

bool TQZDBGridEvents::ActivateGrid()
{
    if (!m_grid) {
        raiseError(qzeNoGrid);
        return false;
    }
    if (!m_grid->DataSource()) {
        raiseError(qzeNoDataSource);
        return false;
    }
    TDataSet *ds = m_grid->DataSource()->DataSet();
    if (!ds) {
        raiseError(qzeNoDataSet);
        return false;
    }

    m_duplicateList.Clear();
    TControlsDisabler quiet(ds);
    try {
        ds->Open();
    } catch (const std::exception &) {
        return false;   // a dataset that does not open leaves the component off, without a message
    }
    if (!m_duplicateFields.IsEmpty()) {
        scanDuplicates(ds);
        if (ds->RecordCount() > 0)
            ds->setRecNo(1);
    }
    return true;
}

TDuplicateKey TQZDBGridEvents::BuildDuplicateKey() const
{
    TDuplicateKey result;
    for (TField *field : m_duplicateFields.items()) {
        const QString value = field->AsString();
        result.Key += value;
        result.Filter += field->FieldName() + QLatin1Char('=') + filterValue(field, value, &result.Exact)
            + QLatin1String(" and ");
    }
    if (!result.Filter.isEmpty())
        result.Filter.chop(5);
    return result;
}

int TQZDBGridEvents::keyRecordCount(TDataSet *ds, const QString &filter)
{
    const int recNo = ds->RecNo();
    KeyFilterScope scope(ds, filter);
    const int count = ds->RecordCount();
    ds->setFiltered(false);
    ds->setRecNo(recNo);
    scope.release();
    return count;
}

void TQZDBGridEvents::CheckDuplicate()
{
    // Without key fields every record has the same empty key; that marks no duplicate.
    TDataSet *ds = dataSet();
    if (!ds || m_duplicateFields.IsEmpty())
        return;
    const TDuplicateKey key = BuildDuplicateKey();
    if (keyRecordCount(ds, key.Filter) > 1 && m_duplicateList.IndexOf(key.Key) < 0)
        m_duplicateList.Add(key.Key);
}

void TQZDBGridEvents::ReleaseDuplicate(const QString &bookmark)
{
    TDataSet *ds = dataSet();
    if (!ds || m_duplicateFields.IsEmpty())
        return;
    const TDuplicateKey key = BuildDuplicateKey();
    KeyFilterScope filter(ds, key.Filter);
    if (ds->RecordCount() <= 2)
        m_duplicateList.Delete(m_duplicateList.IndexOf(key.Key));
    filter.release();
    ds->setBookmark(bookmark);
}

void TQZDBGridEvents::scanDuplicates(TDataSet *ds)
{
    // A filtered count per record grows with the square of the rows. Records whose key filters are the
    // same text are exactly the records such a filter finds, when it compares exactly (integers, texts),
    // so counting the filter texts in one pass gives the same DuplicateList in the same order. Only the
    // records whose filter may find more than its own text take their filtered count.
    // The per-record check takes any earlier filter off at its first record; here it goes before the walk.
    ds->setFiltered(false);
    ds->setFilter(QString());
    struct Scanned {
        TDuplicateKey key;
        int filteredCount;   // -1: the count of records with the same filter text
    };
    std::vector<Scanned> records;
    records.reserve(size_t(ds->RecordCount()));
    QHash<QString, int> recordsPerFilter;
    ds->First();
    while (!ds->Eof()) {
        TDuplicateKey key = BuildDuplicateKey();
        ++recordsPerFilter[key.Filter];
        const int count = key.Exact ? -1 : keyRecordCount(ds, key.Filter);
        records.push_back({std::move(key), count});
        ds->Next();
    }
    QSet<QString> listed;   // folded, as DuplicateList compares
    for (const Scanned &record : records) {
        const int count = record.filteredCount >= 0 ? record.filteredCount : recordsPerFilter.value(record.key.Filter);
        if (count < 2)
            continue;
        const QString folded = record.key.Key.toCaseFolded();
        if (listed.contains(folded))
            continue;
        listed.insert(folded);
        m_duplicateList.Add(record.key.Key);
    }
}
