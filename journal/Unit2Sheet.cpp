// The journal window's way to the examination sheet and to the CSV export: the grid's context menu and Ctrl+E,
// both added after the window's own key and mouse handlers.
#include "journal/Unit2.h"

#include "data/Unit1.h"
#include "gridevents/QZ_DBGrd_Evns.h"
#include "journal/CsvExport.h"
#include "journal/ExamSheet.h"
#include "journal/RowHistory.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/DBGridEh.h"
#include "toolkit/ui/DBLookupComboBox.h"
#include "toolkit/ui/Dialogs.h"

#include <QAction>

void TForm2::addSheetActions()
{
    ExamSheetAction = new QAction(QStringLiteral("Экзаменационная ведомость\tCtrl+E"), DBGridEh1);
    ExportCsvAction = new QAction(QStringLiteral("Экспорт журнала в CSV…"), DBGridEh1);
    connect(ExamSheetAction, &QAction::triggered, this, &TForm2::openExamSheet);
    connect(ExportCsvAction, &QAction::triggered, this, &TForm2::exportJournalCsv);
    RowHistoryAction = new QAction(QStringLiteral("История изменений"), DBGridEh1);
    connect(RowHistoryAction, &QAction::triggered, this, &TForm2::openRowHistory);
    // The menu opens on the context-menu event, which follows the mouse press the window handles first.
    DBGridEh1->addAction(ExamSheetAction);
    DBGridEh1->addAction(ExportCsvAction);
    DBGridEh1->addAction(RowHistoryAction);
    DBGridEh1->setContextMenuPolicy(Qt::ActionsContextMenu);

    F1_QZ_DM_YOT->OnKeyDown = [this](QObject *sender, quint16 &key, TShiftState shift) {
        F1_QZ_DM_YOTKeyDown(sender, key, shift);
        if (key == 0x45 && shift == TShiftState(ssCtrl))
            openExamSheet();
    };
}

void TForm2::openExamSheet()
{
    TDataSet *journal = DM_YOT->ADO_SP_Sort;
    if (!journal->Active() || journal->IsEmpty() || !m_historyWriters)
        return;
    PostPendingEdits(journal);
    if (journal->State() != dsBrowse)
        return;
    TDM_YOT &dm = *DM_YOT;
    ExamSheetSelection selection;
    selection.group = dm.ADO_SP_Sortid_group->Value();
    selection.semester = dm.ADO_SP_Sortid_semester->Value();
    selection.discipline = dm.ADO_SP_Sortid_discipline->Value();
    selection.examination = dm.ADO_SP_Sortid_examination->Value();
    selection.groupName = DBLookupComboBox1->Text();
    selection.semesterName = DBLookupComboBox2->Text();
    selection.disciplineName = dm.ADO_SP_Sortdiscipline->AsString();
    selection.examinationName = dm.ADO_SP_Sortexam->AsString();
    selection.teacherName = dm.ADO_SP_Sortteacher->AsString();
    bool stored = false;
    try {
        ExamSheetWindow sheet(dm.ADO_YOT, *m_historyWriters, selection, this);
        ShowModal(&sheet);
        stored = sheet.storedAny();
    } catch (const Exception &error) {
        ShowErrorDialog(error.Message);
        return;
    }
    if (!stored)
        return;
    try {
        // The journal shows the marks the sheet stored; the current row stays where it was.
        journal->Refresh();
    } catch (const Exception &error) {
        ShowErrorDialog(error.Message);
    }
}

void TForm2::exportJournalCsv()
{
    const QString suggested = DBLookupComboboxEh1->Text().isEmpty()
                                  ? QStringLiteral("journal.csv")
                                  : DBLookupComboboxEh1->Text() + QStringLiteral(".csv");
    exportCsv(this, csvGridTable(DBGridEh1), suggested);
}

void TForm2::openRowHistory()
{
    TDataSet *journal = DM_YOT->ADO_SP_Sort;
    if (!journal->Active() || journal->IsEmpty())
        return;
    // The grid's column names the journal field; a lookup column names its key field.
    QString field;
    const int index = DBGridEh1->SelectedIndex();
    if (TColumnEh *column = index >= 0 && index < DBGridEh1->ColumnCount() ? DBGridEh1->Columns(index) : nullptr) {
        field = column->FieldName;
        if (TField *shown = column->Field(); shown && !shown->KeyFields().isEmpty())
            field = shown->KeyFields();
    }
    try {
        RowHistoryWindow history(DM_YOT->ADO_YOT, DM_YOT->ADO_SP_Sortid_mark_mag->Value().toLongLong(), field, this);
        ShowModal(&history);
    } catch (const Exception &error) {
        ShowErrorDialog(error.Message);
    }
}
