// The journal window's key-up handler: the Ctrl+Z+D chord opens the restore window over the deleted rows of
// the selection; every key-up switches the grid component on and clears the chord.
#include "journal/Unit2.h"

#include "data/Unit1.h"
#include "gridevents/QZ_DBGrd_Evns.h"
#include "journal/GridRules.h"
#include "journal/OnFailure.h"
#include "journal/Unit6.h"
#include "toolkit/data/DataSet.h"
#include "toolkit/ui/DBLookupComboBox.h"
#include "toolkit/ui/Dialogs.h"

#include <QScopeGuard>

#include <exception>
#include <memory>
#include <optional>

namespace {

// For scope exits that may run while an error is on its way to the user: a second failure must not hide it.
void closeListQuietly(TDataSet *list)
{
    try {
        list->Close();
    } catch (const std::exception &) {
        // The list is left to the next opening, which closes it first.
    }
}

} // namespace

void TForm2::DBGridEh1KeyUp(QObject *, quint16 &, TShiftState)
{
    // Whatever the chord did or failed to do, it is over and the component is on again.
    const auto clearChord = qScopeGuard([this] {
        CtrlHeld = false;
        ZPressed = false;
        DPressed = false;
    });
    const OnFailure componentOn([this] { F1_QZ_DM_YOT->setActive(true); });
    if (CtrlHeld && ZPressed && DPressed)
        openRestoreWindow();
    F1_QZ_DM_YOT->setActive(true);
}

void TForm2::openRestoreWindow()
{
    const std::optional<QString> listText = JournalRules::deletedRowsText(
        DBLookupComboBox1->KeyValue(), DBLookupComboBox2->KeyValue(), DBLookupComboboxEh1->KeyValue());
    if (!listText)
        return;
    TADOQuery *deleted = DM_YOT->ADOQ_Buffer;
    TADOQuery *disciplines = DM_YOT->ADOQ_del_discipline;
    // Both lists are open only while the chord is handled, however it ends.
    const auto closeLists = qScopeGuard([deleted, disciplines] {
        closeListQuietly(deleted);
        closeListQuietly(disciplines);
    });
    const auto restoreWindow = std::make_unique<TForm5>(this);
    disciplines->Open();
    deleted->Close();
    deleted->setSQLText(*listText);
    deleted->Open();
    deleted->setSort(QStringLiteral("id_group"));
    if (deleted->IsEmpty()) {
        MessageBoxA(nullptr, QStringLiteral("Нет записей для восстановления"), QStringLiteral("Уведомление"),
                    MB_OK | MB_ICONINFORMATION);
        return;
    }
    ShowModal(restoreWindow.get());
    restoreWindow->rethrowFailure();
    // A tick set just before the window was closed is stored as well.
    if (deleted->Active() && deleted->Modified()) {
        deleted->Edit();
        deleted->Post();
    }
}
