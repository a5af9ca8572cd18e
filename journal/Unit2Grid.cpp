// The journal window's grid rules: the mark-list narrowing, single-cell copy and paste, deletion of the
// selected rows through the server, the chord flags, the comma rule, the column updates and the cell colours.
#include "journal/Unit2.h"

#include "data/Unit1.h"
#include "gridevents/QZ_DBGrd_Evns.h"
#include "journal/GridRules.h"
#include "journal/OnFailure.h"
#include "toolkit/data/DataSet.h"
#include "toolkit/data/Field.h"
#include "toolkit/ui/DBLookupComboBox.h"

#include <algorithm>

namespace {

constexpr quint16 kKeyC = 0x43;
constexpr quint16 kKeyV = 0x56;
constexpr quint16 kKeyX = 0x58;

// Takes the editor-always-shown option off the grid for its life, so that a pasted value is not
// overwritten by an editor opened on the old one.
class EditorOptionOff {
public:
    explicit EditorOptionOff(TDBGridEh *grid) : m_grid(grid), m_had(grid->Options & dgAlwaysShowEditor)
    {
        m_grid->setOptions(m_grid->Options & ~dgAlwaysShowEditor);
    }
    ~EditorOptionOff()
    {
        if (m_had)
            m_grid->setOptions(m_grid->Options | dgAlwaysShowEditor);
    }
    EditorOptionOff(const EditorOptionOff &) = delete;
    EditorOptionOff &operator=(const EditorOptionOff &) = delete;

private:
    TDBGridEh *m_grid;
    bool m_had;
};

} // namespace

void TForm2::narrowMarkList()
{
    const TDataSet *shown = DBGridEh1->dataSet();
    if (!JournalRules::onMarkColumn(DBGridEh1) || !shown || !shown->Active())
        return;
    TADOQuery *marks = DM_YOT->ADOQ_estimation;
    marks->Close();
    marks->setSQLText(JournalRules::markListText(DM_YOT->ADO_SP_Sortid_examination->AsInteger()));
    marks->Open();
}

TField *TForm2::currentCellField() const
{
    const int index = DBGridEh1->SelectedIndex();
    if (index < 0 || index >= DBGridEh1->ColumnCount())
        return nullptr;
    TField *field = DBGridEh1->Columns(index)->Field();
    return field && field->DataSet() && field->DataSet()->Active() ? field : nullptr;
}

void TForm2::copyCell()
{
    if (DBGridEh1->SelectedRows().Count() > 0)
        return;
    if (TField *field = currentCellField())
        CellBuffer = JournalRules::cellValueField(field)->AsString().left(JournalRules::CellBufferLength);
}

void TForm2::pasteCell()
{
    if (DBGridEh1->SelectedRows().Count() > 0)
        return;
    TField *field = currentCellField();
    if (!field)
        return;
    TField *target = JournalRules::cellValueField(field);
    if (target->ReadOnly())
        return;
    TDataSet *journal = target->DataSet();
    const bool wasEditing = journal->State() == dsEdit || journal->State() == dsInsert;
    const EditorOptionOff noEditor(DBGridEh1);
    // A refused value leaves the row as it was.
    const OnFailure leaveRow([journal, wasEditing] {
        if (!wasEditing && !journal->Modified())
            journal->Cancel();
    });
    journal->Edit();
    target->setAsString(CellBuffer);
}

void TForm2::deleteSelectedRows(bool cut)
{
    TDataSet *journal = DM_YOT->ADO_SP_Sort;
    // Where a failed deletion leaves the journal: the row current when the key went down.
    const QString current = journal->Active() ? journal->Bookmark() : QString();
    if (cut)
        F1_QZ_DM_YOT->CopyRecords(false);
    bool canDelete = false;
    if (F1_QZ_DM_YOT->OnQZDBEOnConfirmDelete)
        F1_QZ_DM_YOT->OnQZDBEOnConfirmDelete(F1_QZ_DM_YOT, canDelete);
    if (!canDelete)
        return;
    TADOStoredProc *deletion = DM_YOT->ADO_Del_SP;
    TParameter *ids = deletion->Parameters()->Items(1);
    const QVariant previousIds = ids->Value;
    const int declaredSize = ids->Size;
    const TControlsDisabler quiet(journal);
    // A refused or lost call leaves the journal, its selection and the procedure as they were.
    const OnFailure restore([=] {
        ids->Value = previousIds;
        ids->Size = declaredSize;
        deletion->Close();
        if (journal->Active() && !current.isEmpty())
            journal->GotoBookmark(current);
    });
    const TBMListEh &selected = DBGridEh1->SelectedRows();
    QStringList bookmarks;
    for (int i = 0; i < selected.Count(); ++i)
        bookmarks.append(selected.Items(i));
    const QString list = JournalRules::idList(journal, bookmarks, QStringLiteral("id_mark_mag"));
    deletion->Close();
    // Sent whole: a list cut to the declared length could name another row.
    ids->Size = std::max(declaredSize, int(list.size()));
    ids->Value = list;
    deletion->ExecProc();
    deletion->Close();
    F1_QZ_DM_YOT->setActive(false);
    F1_QZ_DM_YOT->setActive(true);
    DBGridEh1->SelectedRows().Clear();
}

void TForm2::F1_QZ_DM_YOTKeyDown(QObject *, quint16 &Key, TShiftState Shift)
{
    if (!DBLookupComboboxEh1->KeyValue().isNull())
        ShowCurrentRecord(DBGridEh1);
    CtrlHeld = JournalRules::onlyCtrl(Shift);
    if (!ZPressed)
        ZPressed = JournalRules::isLetterKey(Key, 'Z');
    if (!DPressed)
        DPressed = JournalRules::isLetterKey(Key, 'D');
    narrowMarkList();
    const bool ctrl = Shift.testFlag(ssCtrl);
    if (ctrl && Key == kKeyC)
        copyCell();
    else if (ctrl && Key == kKeyV)
        pasteCell();
    if (ctrl && (Key == VK_DELETE || Key == kKeyX))
        deleteSelectedRows(Key == kKeyX);
}

void TForm2::DBGridEh1KeyPress(QObject *, QChar &Key)
{
    if (Key == QLatin1Char(','))
        Key = QLatin1Char('.');
}

void TForm2::DBGridEh1MouseDown(QObject *, TMouseButton, TShiftState, int, int)
{
    narrowMarkList();
    if (!DBLookupComboboxEh1->KeyValue().isNull())
        ShowCurrentRecord(DBGridEh1);
}

void TForm2::DBGridEh1Columns1UpdateData(QObject *, QString &, QVariant &, bool &, bool &)
{
    TDataSet *journal = DM_YOT->ADO_SP_Sort;
    journal->Edit();
    DM_YOT->ADO_SP_Sortdopusk_izm->setAsBoolean(true);
}

void TForm2::DBGridEh1Columns4UpdateData(QObject *, QString &, QVariant &, bool &, bool &)
{
    TADOQuery *marks = DM_YOT->ADOQ_estimation;
    marks->Close();
    marks->setSQLText(JournalRules::FullMarkListText);
    marks->Open();
}

void TForm2::DBGridEh1Columns5UpdateData(QObject *, QString &, QVariant &Value, bool &, bool &)
{
    bool isNumber = false;
    if (Value.toInt(&isNumber) == JournalRules::SheetFormWithNumber && isNumber)
        DM_YOT->ADO_SP_Sortp35->setAsString(DM_YOT->ADO_SP_Sortid_mark_mag->AsString());
}

void TForm2::F1_QZ_DM_YOTDrawColumnCell(QObject *, const QRect &Rect, int DataCol, TColumnEh *Column,
                                        TGridDrawState State)
{
    TCanvas *canvas = DBGridEh1->Canvas();
    if (!canvas || !Column)
        return;
    const TDM_YOT &dm = *DM_YOT;
    const int examination = dm.ADO_SP_Sortid_examination->AsInteger();
    const int estimation = dm.ADO_SP_Sortid_estimation->AsInteger();
    canvas->Brush.Color = JournalRules::firstPassColor(canvas->Brush.Color, dm.ADO_SP_Sortprimech->AsString(),
                                                       Column->Index(), estimation, State,
                                                       F1_QZ_DM_YOT->QZDBAttributes().SelAttr().Color());
    DBGridEh1->DefaultDrawColumnCell(Rect, DataCol, Column, State);
    if (const auto failed = JournalRules::failingMarkColor(examination, estimation, DataCol))
        canvas->Brush.Color = *failed;
    DBGridEh1->DefaultDrawColumnCell(Rect, DataCol, Column, State);
}

void TForm2::MarkRowsOutsideCurriculum(TDataSet *curriculum, TDataSet *journal, TQZDBGridEvents *component)
{
    JournalRules::markRowsOutsideCurriculum(curriculum, journal, component);
}
