// The grid component's row edit actions: the Ctrl keys of the grid, copy and cut to the clipboard, paste
// from it, delete and select all, each reported through OnQZDBEGridError.
#include "gridevents/QZ_DBGrd_Evns.h"

#include "gridevents/ClipboardBlock.h"
#include "gridevents/DuplicateKeyTracker.h"
#include "gridevents/EditKeys.h"
#include "toolkit/data/DataSet.h"
#include "toolkit/data/Field.h"
#include "toolkit/ui/Dialogs.h"

#include <QWidget>

namespace {

/// The field whose text a column carries in the clipboard block: the column's field, or for a lookup
/// column the key field it looks up by. EDatabaseError when the names find no single field.
TField *carriedField(const TDataSet *dataSet, const TColumnEh *column)
{
    TField *field = dataSet->FieldByName(column->FieldName);
    if (field->FieldKind() == fkLookup)
        return dataSet->FieldByName(field->KeyFields());
    return field;
}

/// The current record's values, one per grid column (hidden ones too), in column order.
QStringList carriedValues(const TDataSet *dataSet, const TDBGridEh *grid)
{
    QStringList values;
    values.reserve(grid->ColumnCount());
    for (int i = 0; i < grid->ColumnCount(); ++i)
        values.append(carriedField(dataSet, grid->Columns(i))->AsString());
    return values;
}

/// Stores a pasted value; a value the field refuses leaves it unset.
void storeCarriedValue(const TDataSet *dataSet, const TColumnEh *column, const QString &value)
{
    const bool lookup = dataSet->FieldByName(column->FieldName)->FieldKind() == fkLookup;
    TField *field = carriedField(dataSet, column);
    try {
        if (lookup)
            field->setValue(QVariant(value));   // the key field converts the text
        else
            field->setAsString(value);
    } catch (const std::exception &) {
        // The rest of the row is still pasted.
    }
}

/// Drops a pending change after a failure that the action goes past; the failure itself is what mattered.
void cancelQuietly(TDataSet *dataSet) noexcept
{
    try {
        dataSet->Cancel();
    } catch (...) {
    }
}

/// Goes to a bookmarked record; false when it cannot be reached.
bool reachRecord(TDataSet *dataSet, const QString &bookmark)
{
    try {
        dataSet->setBookmark(bookmark);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

/// Brings the record that was current back when the scope ends, if it still exists.
class CurrentRecordKeeper {
public:
    explicit CurrentRecordKeeper(TDataSet *dataSet) : m_dataSet(dataSet), m_bookmark(dataSet->Bookmark()) {}
    ~CurrentRecordKeeper()
    {
        try {
            if (!m_bookmark.isEmpty() && m_dataSet->BookmarkValid(m_bookmark))
                m_dataSet->setBookmark(m_bookmark);
        } catch (...) {
            // Staying on another record is no failure of the action.
        }
    }
    CurrentRecordKeeper(const CurrentRecordKeeper &) = delete;
    CurrentRecordKeeper &operator=(const CurrentRecordKeeper &) = delete;

private:
    TDataSet *m_dataSet;
    QString m_bookmark;
};

/// The selected rows as they are now; the actions take the count once.
QStringList selectedBookmarks(const TDBGridEh *grid)
{
    const TBMListEh &selected = grid->SelectedRows();
    QStringList bookmarks;
    const int count = selected.Count();
    bookmarks.reserve(count);
    for (int i = 0; i < count; ++i)
        bookmarks.append(selected.Items(i));
    return bookmarks;
}

} // namespace

void TQZDBGridEvents::GridKeyDown(QObject *Sender, quint16 &Key, TShiftState Shift)
{
    if (OnKeyDown)
        OnKeyDown(Sender, Key, Shift);
    const TGridEditAction action = gridEditAction(Key, Shift, m_editActions);
    if (action == TGridEditAction::None)
        return;
    const bool anySelected = m_grid && m_grid->SelectedRows().Count() > 0;
    const bool confirm = m_grid && (m_grid->Options & dgConfirmDelete);
    switch (action) {
    case TGridEditAction::Copy:
        if (anySelected)
            CopyRecords(false);
        break;
    case TGridEditAction::Cut:
        if (anySelected && (!confirm || deleteConfirmed(Sender, QStringLiteral("Cut record(s) - ?"))))
            CopyRecords(true);
        break;
    case TGridEditAction::Paste:
        PasteRecords();
        break;
    case TGridEditAction::Delete:
        if (!confirm)
            DeleteRecords();
        else if (anySelected && deleteConfirmed(Sender, QStringLiteral("Delete record(s) - ?")))
            DeleteRecords();
        break;
    case TGridEditAction::SelectAll:
        SelectAllRecords();
        break;
    case TGridEditAction::None:
        break;
    }
}

bool TQZDBGridEvents::deleteConfirmed(QObject *sender, const QString &question)
{
    bool canDelete = true;
    if (OnQZDBEOnConfirmDelete) {
        OnQZDBEOnConfirmDelete(sender, canDelete);
        return canDelete;
    }
    auto *ownerWidget = qobject_cast<QWidget *>(parent());
    return MessageBoxA(ownerWidget ? ownerWidget->window() : nullptr, question, QStringLiteral("Confirm"),
                       MB_ICONQUESTION | MB_YESNO) == IDYES;
}

bool TQZDBGridEvents::actionRefused()
{
    if (!m_grid) {
        raiseError(qzeNoGrid);
        return true;
    }
    if (!m_grid->DataSource()) {
        raiseError(qzeNoDataSource);
        return true;
    }
    TDataSet *ds = m_grid->DataSource()->DataSet();
    if (!ds) {
        raiseError(qzeNoDataSet);
        return true;
    }
    if (!m_uniqueField) {
        raiseError(qzeNoUniqueField);
        return true;
    }
    if (!ds->Active()) {
        raiseError(qzeDataSetClosed);
        return true;
    }
    return false;
}

void TQZDBGridEvents::CopyRecords(bool Cut)
{
    if (actionRefused())
        return;
    TDataSet *ds = dataSet();
    const QStringList selected = selectedBookmarks(m_grid);
    if (!selected.isEmpty()) {
        const TControlsDisabler quiet(ds);
        const CurrentRecordKeeper keeper(ds);
        // The whole block is on the clipboard before anything is cut, so rows that cannot travel or a
        // clipboard that cannot be written cost no data.
        QByteArray block;
        QStringList copied;
        for (const QString &bookmark : selected) {
            if (!reachRecord(ds, bookmark))
                continue;
            if (!olm::gridevents::appendBlockRow(block, carriedValues(ds, m_grid))) {
                raiseError(qzeValueNotCarried);
                return;
            }
            copied.append(bookmark);
        }
        WriteClipboardData(DBEditDataFormat, block);
        if (Cut)
            cutCopiedRecords(ds, copied);
    }
    raiseError(qzeFinished);
}

void TQZDBGridEvents::cutCopiedRecords(TDataSet *ds, const QStringList &bookmarks)
{
    DuplicateKeyTracker duplicates(*this, ds);
    for (const QString &bookmark : bookmarks) {
        try {
            ds->setBookmark(bookmark);
            const QString unique = m_uniqueField->AsString();
            duplicates.releasing(bookmark);
            ds->Delete();
            duplicates.deleted();
            m_afterPasteList.Delete(m_afterPasteList.IndexOf(unique));
        } catch (const std::exception &) {
            cancelQuietly(ds);
        }
    }
}

void TQZDBGridEvents::PasteRecords()
{
    if (actionRefused())
        return;
    QByteArray block;
    ReadClipboardData(DBEditDataFormat, block);
    if (block.isEmpty()) {
        raiseError(qzeNoClipboardData);
        return;
    }
    TDataSet *ds = dataSet();
    const olm::gridevents::DecodedBlock pasted = olm::gridevents::decodeBlock(block, m_grid->ColumnCount());
    m_afterPasteList.Clear();
    {
        const TControlsDisabler quiet(ds);
        DuplicateKeyTracker duplicates(*this, ds);
        for (const QStringList &values : pasted.rows) {
            ds->Insert();
            for (int i = 0; i < values.size(); ++i)
                storeCarriedValue(ds, m_grid->Columns(i), values.at(i));
            try {
                ds->Post();
            } catch (const std::exception &) {
                cancelQuietly(ds);
                continue;   // a row that is not there is not listed as pasted
            }
            try {
                duplicates.inserted();
            } catch (const std::exception &) {
                cancelQuietly(ds);
            }
            m_afterPasteList.Add(m_uniqueField->AsString());
        }
    }
    if (pasted.refusedRows > 0)
        raiseError(qzeRowsRefused);
    raiseError(qzeFinished);
    raiseError(qzeFinished);
}

void TQZDBGridEvents::DeleteRecords()
{
    if (actionRefused())
        return;
    TDataSet *ds = dataSet();
    {
        const TControlsDisabler quiet(ds);
        DuplicateKeyTracker duplicates(*this, ds);
        for (const QString &bookmark : selectedBookmarks(m_grid)) {
            ds->setBookmark(bookmark);   // a row that cannot be reached ends the deletion with its error
            m_afterPasteList.Delete(m_afterPasteList.IndexOf(m_uniqueField->AsString()));
            try {
                duplicates.releasing(bookmark);
                ds->Delete();
                duplicates.deleted();
            } catch (const std::exception &) {
                cancelQuietly(ds);
            }
        }
        m_grid->SelectedRows().Clear();
    }
    raiseError(qzeFinished);
    raiseError(qzeFinished);
}

void TQZDBGridEvents::SelectAllRecords()
{
    if (actionRefused())
        return;
    m_grid->SelectedRows().SelectAll();
    raiseError(qzeFinished);
}
