// The client-side dataset: a static cursor over the rows a statement returned, with persistent, lookup and
// calculated fields, edit buffers with old values, client-side sort and filter, string bookmarks, replaceable
// events, and notifications to bound controls that can be suspended.
#pragma once

#include "Events.h"
#include "Exceptions.h"
#include "Field.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };

/// What bound controls are told. info: the field (as TField*) for deFieldChange, the display row for
/// deRowInserted/deRowDeleted, the scroll distance for deDataSetScroll, 0 otherwise.
enum TDataEvent {
    deFieldChange,     ///< a field of the current record got a new value
    deRecordChange,    ///< the current record's values changed as a whole (post, cancel)
    deDataSetChange,   ///< anything may have changed: rows, order, fields (open, close, sort, filter, refresh)
    deDataSetScroll,   ///< the current record moved
    deUpdateState,     ///< the state (browse/edit/insert/inactive) changed
    deRowInserted,     ///< a display row appeared at index info (insert, append)
    deRowDeleted,      ///< the display row at index info went away (delete, cancelled insert)
};

enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = int;

class TDataSetPrivate;
class TField;

/// Rows of one fresh read: column names and types (for fields made at open), then the values.
struct TFetchedRows {
    QList<QString> columnNames;
    QList<TFieldType> columnTypes;
    QList<int> columnSizes;
    QList<bool> columnReadOnly;
    QList<bool> columnAutoInc;
    QString baseTable;                ///< table the rows come from, when the server says so
    std::vector<QVariantList> rows;
};

enum TRowChangeKind { rcUpdate, rcInsert, rcDelete };

/// One record to write back: the data fields with the values as read and as edited.
struct TRowChange {
    TRowChangeKind kind = rcUpdate;
    QList<TField *> fields;           ///< every data field, in field order
    QVariantList oldValues;           ///< as read (update, delete); null for insert
    QVariantList newValues;           ///< as edited (update, insert)
    QList<bool> changed;              ///< per field: the new value differs from the old one
    QVariantList refreshed;           ///< filled by the writer with server-assigned values (identity), optional
};

class TDataSet : public QObject {
    Q_OBJECT
public:
    explicit TDataSet(QObject *owner = nullptr);
    ~TDataSet() override;

    QString Name() const { return objectName(); }
    void setName(const QString &name) { setObjectName(name); }

    // --- Fields -----------------------------------------------------------------------------------------
    /// Declares a persistent field at the end of the field list. Only while the dataset is closed.
    TField *AddField(const QString &fieldName, TFieldType dataType, int size = 0, TFieldKind kind = fkData);
    /// Declares a persistent lookup field (see TField::setLookup).
    TField *AddLookupField(const QString &fieldName, TFieldType dataType, int size, const QString &keyFields,
                           TDataSet *lookupDataSet, const QString &lookupKeyFields, const QString &lookupResultField);
    const QList<TField *> &Fields() const;
    int FieldCount() const;
    /// Case-insensitive; null when there is no such field.
    TField *FindField(const QString &fieldName) const;
    /// As FindField, but EDatabaseError "Name: Field 'x' not found" when there is none.
    TField *FieldByName(const QString &fieldName) const;
    /// The fields named by a ";"-separated list, in list order; EDatabaseError for an unknown name.
    QList<TField *> FieldsByNames(const QString &fieldNames) const;

    // --- Opening ----------------------------------------------------------------------------------------
    void Open();
    void Close();
    bool Active() const;
    void setActive(bool active);
    /// Re-reads the rows from the server, keeping the current record (by key) where it still exists.
    void Refresh();
    /// Close and open again with the same text and parameters.
    void Requery();
    TDataSetState State() const;
    /// The current record has unposted changes (also a record being inserted that got a value).
    bool Modified() const;
    /// Not read-only and not empty of a write-back target.
    bool CanModify() const;
    bool ReadOnly() const;
    void setReadOnly(bool readOnly);

    // --- Navigation -------------------------------------------------------------------------------------
    /// Rows that pass the filter, without a record being inserted.
    int RecordCount() const;
    /// 1-based position of the current record among the rows that pass the filter; -1 for a record being
    /// inserted (no stored position yet); 0 when the dataset is empty or closed.
    int RecNo() const;
    /// Moves to the given position; out-of-range values are clamped. Posts a pending edit first.
    void setRecNo(int recNo);
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    bool Eof() const;
    bool Bof() const;
    bool IsEmpty() const;

    /// A string naming the current record for as long as the dataset stays open (survives sort and filter).
    QString Bookmark() const;
    /// Moves to the bookmarked record; EDatabaseError "Record not found" when it is gone or filtered out.
    void setBookmark(const QString &bookmark);
    void GotoBookmark(const QString &bookmark) { setBookmark(bookmark); }
    bool BookmarkValid(const QString &bookmark) const;
    /// Negative, zero or positive as a's record comes before, is, or comes after b's in the current order.
    int CompareBookmarks(const QString &a, const QString &b) const;

    /// Moves to the first row whose fields (";"-separated names) equal the values (one value, or a
    /// QVariantList for several fields). Returns false and stays put when none matches.
    bool Locate(const QString &keyFields, const QVariant &keyValues, TLocateOptions options = 0);
    /// The result field's value of the first row matching, without moving; null when none matches.
    /// Uses a hash index rebuilt only when the rows change, so repeated lookups are not linear scans.
    QVariant Lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultField) const;

    // --- Client-side order and filter --------------------------------------------------------------------
    /// "p20", "s_fio DESC", "a, b DESC". Applied at once and after every reopen. EDatabaseError when the
    /// dataset is closed or a field is unknown.
    QString Sort() const;
    void setSort(const QString &sort);
    /// Terms "name=value" (also <>, <, >, <=, >=, "is null") joined by "and"/"or"; values bare or in single
    /// quotes (a doubled quote inside stands for one). A text that does not parse raises EDatabaseError when
    /// it is applied (Filtered true).
    QString Filter() const;
    void setFilter(const QString &filter);
    bool Filtered() const;
    void setFiltered(bool filtered);

    // --- Editing ------------------------------------------------------------------------------------------
    /// BeforeEdit; then a read-only or empty dataset fails through OnEditError; dsEdit; AfterEdit.
    void Edit();
    /// Posts a pending edit; BeforeInsert (EAbort leaves all as it was), a new record before the current one
    /// (deRowInserted), OnNewRecord, AfterInsert.
    void Insert();
    /// As Insert, with the new record after the last one.
    void Append();
    /// Writes the current record: BeforePost, the server write, AfterPost. A refused write goes through
    /// OnPostError (action daFail by default) and then raises; the record stays in edit state with the
    /// user's values.
    void Post();
    /// BeforeCancel, the edits dropped (a new record goes away: deRowDeleted), AfterCancel.
    void Cancel();
    /// BeforeDelete, the server delete (a refusal goes through OnDeleteError and raises, the record stays),
    /// the record removed (deRowDeleted), AfterDelete. A record being inserted is cancelled instead.
    void Delete();
    /// Posts a modified record, cancels an unmodified one; nothing in browse state.
    void CheckBrowseMode();

    // --- Bound controls -----------------------------------------------------------------------------------
    /// Suspends notifications to bound controls; nested. The last EnableControls sends one deDataSetChange.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;

    /// Number of rows a grid shows (RecordCount plus a record being inserted).
    int DisplayRowCount() const;
    /// Display row of the current record, -1 when there is none.
    int CurrentDisplayRow() const;
    /// Moves the current record to a display row (posting a pending edit first, as any scroll does).
    void setCurrentDisplayRow(int row);
    /// While alive, fields read the record of the given display row instead of the current one, without
    /// scrolling or events (what grids need to paint a row). Nested scopes restore in reverse order.
    class RecordScope {
    public:
        RecordScope(const TDataSet *dataSet, int displayRow);
        ~RecordScope();
        RecordScope(const RecordScope &) = delete;
        RecordScope &operator=(const RecordScope &) = delete;

    private:
        const TDataSet *m_dataSet;
        int m_previous;
    };

    // --- Events -------------------------------------------------------------------------------------------
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent OnCalcFields, OnNewRecord;
    TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

Q_SIGNALS:
    /// Notification to bound controls (data sources relay it); not sent while controls are disabled.
    void dataEvent(TDataEvent event, qintptr info);

protected:
    /// The rows of a fresh read, supplied by the concrete dataset kinds. Raises EDatabaseError.
    virtual TFetchedRows fetchRows() = 0;
    /// Writes one changed record back; returns normally on success, raises EDatabaseError on refusal
    /// (including "no row matched": changed or deleted by another user since it was read).
    virtual void writeRow(TRowChange &change) = 0;

public:
    /// Internal state shared with TField and the concrete kinds; not for the windows.
    TDataSetPrivate *privateData() const { return d.get(); }

private:
    friend class TField;
    std::unique_ptr<TDataSetPrivate> d;
};

/// RAII for DisableControls/EnableControls.
class TControlsDisabler {
public:
    explicit TControlsDisabler(TDataSet *dataSet) : m_dataSet(dataSet) { if (m_dataSet) m_dataSet->DisableControls(); }
    ~TControlsDisabler() { if (m_dataSet) m_dataSet->EnableControls(); }
    TControlsDisabler(const TControlsDisabler &) = delete;
    TControlsDisabler &operator=(const TControlsDisabler &) = delete;

private:
    TDataSet *m_dataSet;
};
