// Keeps the grid component's DuplicateList current while one edit action inserts or deletes many records,
// with the result of a filtered count per record but at the cost of one pass over the dataset.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

class TDataSet;
class TQZDBGridEvents;

/// For the length of one paste, cut or delete. Records whose duplicate-key filters are the same text are
/// exactly the records such a filter finds, when it compares exactly, so a count of filter texts taken
/// once and kept up to date answers what CheckDuplicate and ReleaseDuplicate count. Filters that may find
/// other texts still take their filtered count.
class DuplicateKeyTracker {
public:
    DuplicateKeyTracker(TQZDBGridEvents &events, TDataSet *dataSet);
    DuplicateKeyTracker(const DuplicateKeyTracker &) = delete;
    DuplicateKeyTracker &operator=(const DuplicateKeyTracker &) = delete;

    /// The current record was just posted as a new one: as CheckDuplicate.
    void inserted();
    /// The current record, of bookmark, is about to be deleted: as ReleaseDuplicate.
    void releasing(const QString &bookmark);
    /// The record of the last releasing() was deleted.
    void deleted();

private:
    /// The first use drops the dataset's filter, as the first filtered count would, and counts every record.
    void countRecords();
    bool listed(const QString &key) const;
    void list(const QString &key);
    void unlist(const QString &key);

    TQZDBGridEvents &m_events;
    TDataSet *m_dataSet;
    std::optional<QHash<QString, int>> m_recordsPerFilter;
    QSet<QString> m_listed;   // DuplicateList folded, as it compares
    QString m_releasedFilter;
};
