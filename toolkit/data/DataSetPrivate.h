// Internal state of a dataset: stored records, the ordered and filtered view over them, the edit buffer, the
// record the fields read, and the lookup indexes. Shared by TDataSet, TField and the concrete kinds only.
#pragma once

#include "DataSet.h"
#include "FilterExpression.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace olm::dataset {

/// One stored row; id is its bookmark for as long as the dataset stays open.
struct TRecord {
    qint64 id = 0;
    QVariantList values;   ///< by result column
    QVariantList calc;     ///< by calculated-field slot
    int viewPos = -1;      ///< position in the view, -1 when filtered out
};

/// The values fields read: a stored record, or the edit buffer.
struct RecordContext {
    const QVariantList *values = nullptr;
    const QVariantList *calc = nullptr;
    const TRecord *stored = nullptr;   ///< the stored record (the one being edited for the edit buffer)
    bool buffer = false;               ///< the edit buffer of dsEdit or dsInsert
    bool inserting = false;
};

struct SortKey {
    TField *field = nullptr;
    bool descending = false;
};

struct LookupIndex {
    quint64 version = 0;
    QList<TField *> keys;
    QHash<QString, const TRecord *> records;
};

} // namespace olm::dataset

class TDataSetPrivate {
public:
    using TRecord = olm::dataset::TRecord;
    explicit TDataSetPrivate(TDataSet *owner) : q(owner) {}

    TDataSet *q;
    QList<TField *> fields;
    QList<TField *> madeFields;            ///< created from the columns at open, removed at close
    QHash<QString, TField *> fieldsByName; ///< lower-case names
    int calcSlots = 0;
    bool destroying = false;
    bool readOnly = false;

    // The last read.
    QStringList columnNames;
    QList<bool> columnAutoInc;
    QString baseTable;

    std::vector<std::unique_ptr<TRecord>> records;   ///< in the order the server sent them
    QHash<qint64, TRecord *> byId;
    std::vector<TRecord *> view;                     ///< filtered, in display order
    qint64 nextId = 1;
    quint64 version = 1;                             ///< bumped whenever the view or stored values change

    TDataSetState state = dsInactive;
    int cursor = -1;   ///< position in the view, -1 when the view is empty
    bool bof = true;
    bool eof = true;

    // Edit buffer of dsEdit/dsInsert.
    QVariantList editValues;
    QVariantList editCalc;
    TRecord *editRecord = nullptr;
    int insertRow = -1;   ///< display row of the record being inserted
    bool modified = false;

    // What the fields read besides the current record.
    mutable int scopeRow = -1;                      ///< RecordScope's display row
    mutable const TRecord *contextRecord = nullptr;   ///< filter, sort, calculation
    TRecord *calcTarget = nullptr;                  ///< record whose calculated values are being written
    int calcRecNo = 0;

    int disableCount = 0;

    QString sortText;
    QList<olm::dataset::SortKey> sortKeys;
    QString filterText;
    bool filtered = false;
    std::unique_ptr<olm::dataset::FilterExpression> filter;

    mutable QHash<QString, olm::dataset::LookupIndex> lookupIndexes;

    // Seams the concrete kinds fill in.
    std::function<QStringList()> keyFieldsProvider;   ///< fields that identify a row across a refresh
    std::function<bool()> canWriteProvider;           ///< whether edits have somewhere to go
    std::function<void()> closedHook;                 ///< after the dataset closed

    // --- helpers ---
    static int columnOf(const TField *field) { return field->m_dataIndex; }
    [[noreturn]] void fail(const QString &text) const;
    void fire(const TDataSetNotifyEvent &event);
    void notify(TDataEvent event, qintptr info = 0);
    void checkActive() const;
    bool editing() const { return state == dsEdit || state == dsInsert; }

    void registerField(TField *field);
    void unregisterField(TField *field);
    void rebuildNameIndex();

    olm::dataset::RecordContext context() const;
    olm::dataset::RecordContext storedContext(const TRecord *record) const;
    olm::dataset::RecordContext displayContext(int displayRow) const;
    QVariant valueOf(const TField *field, const olm::dataset::RecordContext &ctx) const;
    QVariant valueIn(const TField *field, const TRecord *record) const;

    void bindFields(const TFetchedRows &fetched);
    void adoptRows(TFetchedRows &&fetched);
    void closeSilently();
    void dropFields();
    /// Back to browsing without the edit buffer.
    void dropEditBuffer();

    void rebuildView(const TRecord *keep, bool keepPosition);
    void reindexView();
    void applySortKeys();
    void recalc();
    int recordPosition(const QString &bookmark) const;
    TRecord *currentRecord() const { return cursor >= 0 && cursor < int(view.size()) ? view[size_t(cursor)] : nullptr; }
    void removeRecord(TRecord *record);
    void insertRecord(std::unique_ptr<TRecord> record, int viewPosition);

    /// Runs an operation; an EDatabaseError goes to the handler, which may retry, abort or let it continue.
    template <class Operation>
    void checkOperation(Operation &&operation, const TDataSetErrorEvent &handler);

    const olm::dataset::LookupIndex &lookupIndex(const QString &keyFields) const;
};

template <class Operation>
void TDataSetPrivate::checkOperation(Operation &&operation, const TDataSetErrorEvent &handler)
{
    for (;;) {
        try {
            operation();
            return;
        } catch (EDatabaseError &error) {
            TDataAction action = daFail;
            if (handler) {
                const TDataSetErrorEvent copy = handler;   // a handler may replace itself
                copy(q, error, action);
            }
            if (action == daFail)
                throw;
            if (action == daAbort)
                Abort();
        }
    }
}
