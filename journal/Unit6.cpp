// The restore window: its layout as designed and the OK handler that puts the ticked rows back into the
// journal and reloads the list of deleted rows and the journal.
#include "journal/Unit6.h"

#include "data/Unit1.h"
#include "gridevents/QZ_DBGrd_Evns.h"
#include "journal/OnFailure.h"
#include "journal/Unit2.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/BitBtn.h"
#include "toolkit/ui/DBGridEh.h"
#include "toolkit/ui/DBLookupComboBox.h"

#include <QLabel>

#include <utility>

namespace {

constexpr int kDisciplineDropDownWidth = 450;

QFont restoreFormFont(int points, TFontStyles style = {})
{
    return TFont(QStringLiteral("MS Sans Serif"), points, style).toQFont();
}

} // namespace

TForm5::TForm5(TForm2 *journalWindow, QWidget *parent) : QDialog(parent), m_journalWindow(journalWindow)
{
    Q_ASSERT_X(DM_YOT && journalWindow, "TForm5", "opened from the journal window");
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Восстановление"));
    // Only the close button in the caption.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(restoreFormFont(8));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ColorToQColor(clBtnFace));
    setPalette(palette);
    setAutoFillBackground(true);
    resize(DesignedWidth, DesignedHeight);
    move(DesignedLeft, DesignedTop);
    createGrid();
    createBottomRow();
}

void TForm5::createGrid()
{
    DBGridEh1 = new TQZDBGridEh(this);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setGeometry(-2, 14, 997, 311);
    DBGridEh1->Color = clWhite;
    DBGridEh1->Font.Assign(TFont(QStringLiteral("MS Sans Serif"), 10));
    DBGridEh1->TitleFont.Assign(TFont(QStringLiteral("MS Sans Serif"), 8));
    DBGridEh1->AutoFitColWidths = true;
    DBGridEh1->OptionsEh = dghFixed3D | dghHighlightFocus | dghClearSelection | dghEnterAsTab | dghDialogFind;
    DBGridEh1->setOptions(dgEditing | dgAlwaysShowEditor | dgTitles | dgIndicator | dgColumnResize | dgColLines
                          | dgRowLines | dgTabs | dgAlwaysShowSelection | dgConfirmDelete | dgCancelOnExit
                          | dgMultiSelect);
    createGridColumns();
    DBGridEh1->setVertScrollBarVisibleMode(sbNeverShowEh);
    DBGridEh1->setDataSource(DM_YOT->DS_Buffer);
}

void TForm5::createGridColumns()
{
    struct RestoreColumnSpec {
        const char *field;
        const char *title;
        int width;
    };
    // A width of 64 is the grid's default column width.
    static const RestoreColumnSpec columns[] = {
        {"Check_ch", "Выбрать", 51},
        {"discipline", "Дисциплина", 236},
        {"teacher", "Преподаватель", 99},
        {"exam", "Форм/кон", 93},
        {"estimation", "Оценка", 92},
        {"f_est", "Форма ведомости", 102},
        {"p35", "№", 44},
        {"p36", "Дата сдачи", 65},
        {"del_oper", "Оператор", 63},
        {"del_date", "Дата удаления", 64},
    };
    constexpr int kFirstDeletionColumn = 8;
    for (const RestoreColumnSpec &spec : columns) {
        TColumnEh *column = DBGridEh1->AddColumn(QString::fromLatin1(spec.field), QString::fromUtf8(spec.title),
                                                 spec.width);
        column->Title.Alignment = taCenter;
        column->Color = clWhite;
        if (column->Index() == 0) {
            column->Checkboxes = true;
            continue;
        }
        // Only the tick is the user's to change: the row itself and the record of who deleted it and when
        // stay as the server keeps them.
        column->ReadOnly = true;
        if (column->Index() >= kFirstDeletionColumn)
            column->Color = DeletionColor;
        else
            column->EndEllipsis = true;
    }
    DBGridEh1->Columns(1)->DropDownWidth = kDisciplineDropDownWidth;
    DBGridEh1->LayoutChanged();
}

void TForm5::createBottomRow()
{
    Label1 = new QLabel(QStringLiteral("Выберите записи для восстановления"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(restoreFormFont(12, fsBold));
    Label1->move(7, 338);
    Label1->adjustSize();

    BitBtn1 = new TBitBtn(this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setText(QStringLiteral("OK"));
    BitBtn1->setKind(bkOK);
    BitBtn1->setGeometry(431, 338, 179, 25);
    // The window closes once the restore has run, failed or not; a failure is handed to the opener.
    BitBtn1->setModalResult(mrNone);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        try {
            BitBtn1Click(BitBtn1);
        } catch (...) {
            m_failure = std::current_exception();
        }
        done(mrOk);
    });
}

void TForm5::rethrowFailure()
{
    if (std::exception_ptr failure = std::exchange(m_failure, nullptr))
        std::rethrow_exception(failure);
}

void TForm5::BitBtn1Click(QObject *)
{
    TDM_YOT &dm = *DM_YOT;
    TADOQuery *deleted = dm.ADOQ_Buffer;
    deleted->Edit();
    deleted->Post();

    TADOStoredProc *restore = dm.ADOStoredProc1;
    restore->Parameters()->Items(1)->Value = m_journalWindow->DBLookupComboBox1->KeyValue();
    restore->Parameters()->Items(2)->Value = m_journalWindow->DBLookupComboBox2->KeyValue();
    restore->ExecProc();

    deleted->Close();
    deleted->Open();

    TQZDBGridEvents *component = m_journalWindow->F1_QZ_DM_YOT;
    // A journal left closed by a failed reload is opened again when the component is next switched on.
    const OnFailure reopenLater([component, journal = dm.ADO_SP_Sort] {
        if (!journal->Active())
            component->setActive(false);
    });
    if (TDataSet *shown = m_journalWindow->DBGridEh1->dataSet()) {
        // A journal edit still pending would be dropped by the reload.
        m_journalWindow->PostPendingEdits(shown);
        shown->Close();
        shown->Open();
    }
    component->setActive(false);
    component->setActive(true);
    m_journalWindow->MarkRowsOutsideCurriculum(dm.ADOQ_Discipline, dm.ADO_SP_Sort, component);
}
