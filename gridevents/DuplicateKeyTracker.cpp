// DuplicateList kept current by one count of the duplicate-key filters, for actions over many records.
#include "gridevents/DuplicateKeyTracker.h"

#include "gridevents/QZ_DBGrd_Evns.h"
#include "toolkit/data/DataSet.h"

DuplicateKeyTracker::DuplicateKeyTracker(TQZDBGridEvents &events, TDataSet *dataSet)
    : m_events(events), m_dataSet(dataSet)
{
}

void DuplicateKeyTracker::countRecords()
{
    m_dataSet->setFiltered(false);
    m_dataSet->setFilter(QString());
    QHash<QString, int> counts;
    const int rows = m_dataSet->DisplayRowCount();
    counts.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        const TDataSet::RecordScope scope(m_dataSet, row);
        ++counts[m_events.BuildDuplicateKey().Filter];
    }
    m_recordsPerFilter = std::move(counts);
    m_listed.clear();
    for (const QString &key : m_events.m_duplicateList.toStringList())
        m_listed.insert(key.toCaseFolded());
}

bool DuplicateKeyTracker::listed(const QString &key) const
{
    return m_listed.contains(key.toCaseFolded());
}

void DuplicateKeyTracker::list(const QString &key)
{
    m_events.m_duplicateList.Add(key);
    m_listed.insert(key.toCaseFolded());
}

void DuplicateKeyTracker::unlist(const QString &key)
{
    TStringList &list = m_events.m_duplicateList;
    list.Delete(list.IndexOf(key));
    if (list.IndexOf(key) < 0)
        m_listed.remove(key.toCaseFolded());
}

void DuplicateKeyTracker::inserted()
{
    if (m_events.m_duplicateFields.IsEmpty())
        return;
    const TDuplicateKey key = m_events.BuildDuplicateKey();
    if (m_recordsPerFilter)
        ++(*m_recordsPerFilter)[key.Filter];
    else
        countRecords();   // the new record is among those counted
    const int count = key.Exact ? m_recordsPerFilter->value(key.Filter)
                                : TQZDBGridEvents::keyRecordCount(m_dataSet, key.Filter);
    if (count > 1 && !listed(key.Key))
        list(key.Key);
}

void DuplicateKeyTracker::releasing(const QString &bookmark)
{
    m_releasedFilter.clear();
    if (m_events.m_duplicateFields.IsEmpty())
        return;
    if (!m_recordsPerFilter)
        countRecords();
    const TDuplicateKey key = m_events.BuildDuplicateKey();
    const int count = key.Exact ? m_recordsPerFilter->value(key.Filter)
                                : TQZDBGridEvents::keyRecordCount(m_dataSet, key.Filter);
    // The record to delete and at most one other: the other is no duplicate any more.
    if (count <= 2 && listed(key.Key))
        unlist(key.Key);
    m_releasedFilter = key.Filter;
    m_dataSet->setBookmark(bookmark);
}

void DuplicateKeyTracker::deleted()
{
    if (!m_recordsPerFilter || m_events.m_duplicateFields.IsEmpty())
        return;
    auto it = m_recordsPerFilter->find(m_releasedFilter);
    if (it != m_recordsPerFilter->end() && --it.value() <= 0)
        m_recordsPerFilter->erase(it);
}
