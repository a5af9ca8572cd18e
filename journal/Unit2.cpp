// The journal window: its layout as designed, its creation (sign-in first) and closing, and the cascade of
// the three selection boxes that reloads the lists and the journal.
#include "journal/Unit2.h"

#include "app/Unit10.h"
#include "data/Unit1.h"
#include "data/log_u.h"
#include "gridevents/QZ_DBGrd_Evns.h"
#include "journal/LogWriters.h"
#include "journal/OnFailure.h"
#include "journal/StatusBar.h"
#include "journal/Unit3.h"
#include "platform/IdIPWatch.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/DBLookupComboBox.h"
#include "toolkit/ui/Dialogs.h"
#include "toolkit/ui/StringGrid.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QScreen>
#include <QVBoxLayout>

#include <exception>
#include <functional>
#include <utility>

namespace {

const QString kRecordCount = QStringLiteral("Количество записей: ");
const QString kCurrentRecord = QStringLiteral(" Текущая запись: ");
// The spare pixels of the selection bar that the student box leaves when the window is resized.
constexpr int kSelectionBarSlack = 75;
// The height the scroll-bar rule counts per grid row.
constexpr int kRowPixels = 22;
constexpr int kSpecialMarkColumn = 9;


// A box's key as the decimal text the statements carry.
QString keyText(const TDBLookupComboBox *box)
{
    bool ok = false;
    const qlonglong key = box->KeyValue().toLongLong(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(box->KeyValue().toString()));
    return QString::number(key);
}

// A list field of the current row as a statement's integer; a missing row or value is the bare word NULL,
// which matches nothing.
QString integerText(TDataSet *list, const char *fieldName)
{
    TField *field = list->FieldByName(QString::fromLatin1(fieldName));
    if (list->IsEmpty() || field->IsNull())
        return QStringLiteral("NULL");
    return QString::number(field->AsInteger());
}

void reopen(TADOQuery *query, const QString &text)
{
    query->Close();
    query->setSQLText(text);
    query->Open();
}

QFont formFont(int points, TFontStyles style = {})
{
    return TFont(QStringLiteral("MS Sans Serif"), points, style).toQFont();
}

void paintBackground(QWidget *widget, TColor color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ColorToQColor(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Bands and rows of the window touch each other, as the panels of the form do.
template<class Layout>
Layout *zeroMarginsAndSpacing(Layout *layout)
{
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

QWidget *panel(QWidget *parent, const char *name, int height)
{
    auto *band = new QWidget(parent);
    band->setObjectName(QString::fromLatin1(name));
    band->setFixedHeight(height);
    return band;
}

QFrame *bevel(QWidget *parent, const char *name)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    return frame;
}

void setAttributeFont(TFont &font, TColor color, TFontStyles style = {})
{
    TFont wanted(QStringLiteral("MS Sans Serif"), 8, style);
    wanted.setHeight(-11);
    wanted.setCharset(DEFAULT_CHARSET);
    wanted.setColor(color);
    font.Assign(wanted);
}

} // namespace

TForm2::TForm2(QWidget *parent) : QWidget(parent)
{
    Q_ASSERT_X(DM_YOT, "TForm2", "the data module is created first");
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("OLM 16 Учет успеваемости"));
    setFont(formFont(8));
    paintBackground(this, clSilver);
    setMinimumSize(803, 326);
    resize(DesignedWidth, DesignedHeight);
    // Where it goes when it is restored from maximised.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    createControls();
    configureGridEvents();
    wireEvents();
    setWindowState(windowState() | Qt::WindowMaximized);
    FormCreate();
}

TForm2::~TForm2()
{
    // The executor gives the journal its own handlers back before the writers it calls go away.
    m_updateHistory.reset();
    m_historyWriters.reset();
    if (DM_YOT && DM_YOT->journalWindow() == this)
        DM_YOT->setJournalWindow(nullptr);
}

// --- Layout ---------------------------------------------------------------------------------------------------

void TForm2::createControls()
{
    auto *bands = zeroMarginsAndSpacing(new QVBoxLayout(this));

    InfoPanel = new QLabel(this);
    InfoPanel->setObjectName(QStringLiteral("InfoPanel"));
    InfoPanel->setFixedHeight(31);
    InfoPanel->setAlignment(Qt::AlignCenter);
    InfoPanel->setFont(formFont(10, fsBold));
    paintBackground(InfoPanel, clSilver);
    bands->addWidget(InfoPanel);

    Bevel2 = bevel(this, "Bevel2");
    Bevel2->setFrameShape(QFrame::HLine);
    Bevel2->setFrameShadow(QFrame::Sunken);
    Bevel2->setFixedHeight(2);
    bands->addWidget(Bevel2);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *client = zeroMarginsAndSpacing(new QVBoxLayout(Panel1));
    bands->addWidget(Panel1, 1);

    createSelectionBar();
    client->addWidget(Panel3);

    Bevel4 = bevel(Panel1, "Bevel4");
    Bevel4->setFixedHeight(5);
    client->addWidget(Bevel4);

    createGrid();
    auto *gridRow = zeroMarginsAndSpacing(new QHBoxLayout);
    client->addLayout(gridRow, 1);
    Bevel1 = bevel(Panel1, "Bevel1");
    Bevel1->setFixedWidth(6);
    Bevel3 = bevel(Panel1, "Bevel3");
    Bevel3->setFixedWidth(6);
    gridRow->addWidget(Bevel1);
    gridRow->addWidget(DBGridEh1, 1);
    gridRow->addWidget(Bevel3);

    createStatusBar();
    bands->addWidget(Panel2);

    IdIPWatch1 = new TIdIPWatch(this);
    IdIPWatch1->setObjectName(QStringLiteral("IdIPWatch1"));
    IdIPWatch1->setHistoryFilename(QStringLiteral("iphist.dat"));
    IdIPWatch1->setHistoryEnabled(true);
    IdIPWatch1->setActive(true);
}

void TForm2::createSelectionBar()
{
    Panel3 = panel(Panel1, "Panel3", 38);
    auto *holder = zeroMarginsAndSpacing(new QVBoxLayout(Panel3));
    Panel4 = panel(Panel3, "Panel4", 31);
    holder->addWidget(Panel4);
    holder->addStretch(1);

    const auto label = [this](const char *name, const QString &text, int left) {
        auto *control = new QLabel(text, Panel4);
        control->setObjectName(QString::fromLatin1(name));
        control->setFont(formFont(10, fsBold));
        QPalette palette = control->palette();
        palette.setColor(QPalette::WindowText, ColorToQColor(clNavy));
        control->setPalette(palette);
        control->adjustSize();
        control->move(left, 10);
        return control;
    };
    const auto box = [this](const char *name, int left, int width, TDataSource *list, const char *keyField,
                            const char *listField) {
        auto *control = new TDBLookupComboBox(Panel4);
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(left, 8, width, 21);
        control->setKeyField(QString::fromLatin1(keyField));
        control->setListField(QString::fromLatin1(listField));
        control->setListSource(list);
        return control;
    };
    Label2 = label("Label2", QStringLiteral("Выберите группу:"), 8);
    DBLookupComboBox1 = box("DBLookupComboBox1", 151, 155, DM_YOT->DS_group, "id_group", "p20");
    Label3 = label("Label3", QStringLiteral("Выберите семестр:"), 317);
    DBLookupComboBox2 = box("DBLookupComboBox2", 470, 153, DM_YOT->DS_g_sem, "id_semester", "p43");
    DBLookupComboBox2->setEnabled(false);
    Label1 = label("Label1", QStringLiteral("Студент:"), 634);
    DBLookupComboboxEh1 = box("DBLookupComboboxEh1", 706, 257, DM_YOT->DS_s_fio, "id_student", "s_fio");
    DBLookupComboboxEh1->setEnabled(false);
}

void TForm2::createGrid()
{
    DBGridEh1 = new TQZDBGridEh(Panel1);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->Color = clSilver;
    DBGridEh1->Font.Assign(TFont(QStringLiteral("MS Sans Serif"), 10));
    DBGridEh1->TitleFont.Assign(TFont(QStringLiteral("MS Sans Serif"), 8, fsBold));
    DBGridEh1->AutoFitColWidths = true;
    DBGridEh1->UseMultiTitle = true;
    // The behaviour component and the window's handler paint the cells.
    DBGridEh1->DefaultDrawing = false;
    DBGridEh1->OptionsEh = dghFixed3D | dghHighlightFocus | dghClearSelection | dghEnterAsTab | dghRowHighlight
                           | dghDialogFind | dghColumnMove;
    DBGridEh1->AllowedOperations = alopUpdateEh | alopAppendEh;
    DBGridEh1->setOptions(dgEditing | dgAlwaysShowEditor | dgTitles | dgIndicator | dgColumnResize | dgColLines
                          | dgRowLines | dgTabs | dgAlwaysShowSelection | dgConfirmDelete | dgCancelOnExit
                          | dgMultiSelect);
    createGridColumns();
    DBGridEh1->setVertScrollBarVisibleMode(sbNeverShowEh);
}

void TForm2::createGridColumns()
{
    struct ColumnSpec {
        const char *field;
        const char *title;
        int width;
    };
    // A width of 64 is the grid's default column width.
    static const ColumnSpec columns[] = {
        {"No", "П/П", 37},
        {"primech", "Допуск по оплате", 53},
        {"discipline", "Дисциплина", 227},
        {"teacher", "Преподаватель", 86},
        {"exam", "Форм/контр.", 74},
        {"estimation", "Оценка", 64},
        {"f_est", "Форма ведомости", 98},
        {"p35", "№", 64},
        {"p36", "Дата сдачи", 72},
        {"EstimationOther", "Особая оценка", 64},
    };
    for (const ColumnSpec &spec : columns) {
        TColumnEh *column = DBGridEh1->AddColumn(QString::fromLatin1(spec.field), QString::fromUtf8(spec.title),
                                                 spec.width);
        column->Color = clWhite;
    }
    DBGridEh1->Columns(1)->PickList = {QStringLiteral("д"), QStringLiteral("н/д")};
    DBGridEh1->Columns(2)->ReadOnly = true;
    DBGridEh1->Columns(2)->DropDownWidth = 450;
    DBGridEh1->Columns(3)->DropDownWidth = 300;
    DBGridEh1->Columns(4)->ReadOnly = true;
    DBGridEh1->Columns(kSpecialMarkColumn)->Visible = false;
    DBGridEh1->LayoutChanged();
}

void TForm2::createStatusBar()
{
    Panel2 = panel(this, "Panel2", 19);
    auto *holder = zeroMarginsAndSpacing(new QVBoxLayout(Panel2));
    StatusBar1 = new TStatusBar(Panel2);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    holder->addWidget(StatusBar1);
    StatusBar1->AddPanel(150, QStringLiteral("Количество записей: 0"), taCenter);
    StatusBar1->AddPanel(150, QStringLiteral("Текущая запись: 0"), taCenter);
    StatusBar1->AddPanel(150, QStringLiteral("Выполнение: Удачно"), taCenter);
    StatusBar1->AddPanel(50, QString(), taCenter);
}

void TForm2::configureGridEvents()
{
    F1_QZ_DM_YOT = new TQZDBGridEvents(this);
    F1_QZ_DM_YOT->setObjectName(QStringLiteral("F1_QZ_DM_YOT"));
    TQZDBAttributes &attributes = F1_QZ_DM_YOT->QZDBAttributes();
    attributes.SelAttr().setColor(clSilver);
    setAttributeFont(attributes.SelAttr().Font(), clBlack);
    attributes.AfterPasteAttr().setColor(clInfoBk);
    setAttributeFont(attributes.AfterPasteAttr().Font(), clWindowText);
    attributes.DuplicateAttr().setColor(clGreen);
    setAttributeFont(attributes.DuplicateAttr().Font(), clWindowText);
    attributes.ErrorAttr().setColor(clRed);
    setAttributeFont(attributes.ErrorAttr().Font(), clWindowText);
    attributes.FocusedAttr().setColor(5197647);
    setAttributeFont(attributes.FocusedAttr().Font(), clWhite, fsBold);
    attributes.FixedAttr().setSelColor(clMoneyGreen);
    setAttributeFont(attributes.FixedAttr().SelFont(), clWindowText, fsBold);
    attributes.FixedAttr().setList({});

    F1_QZ_DM_YOT->setDBGridEh(DBGridEh1);
    F1_QZ_DM_YOT->setUniqueField(DM_YOT->ADO_SP_Sortid_mark_mag);
    F1_QZ_DM_YOT->setEditActions(geaDeleteEh | geaSelectAllEh);
    F1_QZ_DM_YOT->setActive(false);
}

void TForm2::wireEvents()
{
    DBLookupComboBox1->OnClick = std::bind_front(&TForm2::DBLookupComboBox1Click, this);
    DBLookupComboBox2->OnClick = std::bind_front(&TForm2::DBLookupComboBox2Click, this);
    DBLookupComboboxEh1->OnClick = std::bind_front(&TForm2::DBLookupComboboxEh1Click, this);
    DBLookupComboBox1->OnEnter = std::bind_front(&TForm2::DBLookupComboBox1Enter, this);
    DBLookupComboBox2->OnEnter = std::bind_front(&TForm2::DBLookupComboBox2Enter, this);
    DBLookupComboboxEh1->OnEnter = std::bind_front(&TForm2::DBLookupComboboxEh1Enter, this);

    F1_QZ_DM_YOT->OnKeyDown = std::bind_front(&TForm2::F1_QZ_DM_YOTKeyDown, this);
    F1_QZ_DM_YOT->OnDrawColumnCell = std::bind_front(&TForm2::F1_QZ_DM_YOTDrawColumnCell, this);
    F1_QZ_DM_YOT->OnQZDBEOnConfirmDelete = std::bind_front(&TForm2::F1_QZ_DM_YOTQZDBEOnConfirmDelete, this);

    DBGridEh1->OnKeyPress = std::bind_front(&TForm2::DBGridEh1KeyPress, this);
    DBGridEh1->OnMouseDown = std::bind_front(&TForm2::DBGridEh1MouseDown, this);
    DBGridEh1->OnKeyUp = std::bind_front(&TForm2::DBGridEh1KeyUp, this);
    DBGridEh1->Columns(1)->OnUpdateData = std::bind_front(&TForm2::DBGridEh1Columns1UpdateData, this);
    DBGridEh1->Columns(5)->OnUpdateData = std::bind_front(&TForm2::DBGridEh1Columns4UpdateData, this);
    DBGridEh1->Columns(6)->OnUpdateData = std::bind_front(&TForm2::DBGridEh1Columns5UpdateData, this);
    addSheetActions();
}

void TForm2::SetStatusPanelText(int index, const QString &text)
{
    StatusBar1->setPanelText(index, text);
}

// --- Creation, closing, resizing -----------------------------------------------------------------------------

void TForm2::FormCreate()
{
    {
        auto signIn = std::make_unique<TForm8>(this);
        if (ShowModal(signIn.get()) == mrCancel && Application)
            Application->Terminate();
    }
    try {
        DM_YOT->ADOQ_group->setSort(QStringLiteral("p20"));
        DM_YOT->ADOQ_s_fio->setSort(QStringLiteral("s_fio"));
    } catch (const std::exception &) {
        // The lists are closed after a cancelled sign-in; the order does not matter then.
    }
    F1_QZ_DM_YOT->DuplicateFields().Add(DM_YOT->ADO_SP_Sortid_discipline);
    F1_QZ_DM_YOT->DuplicateFields().Add(DM_YOT->ADO_SP_Sortid_examination);
    // Painting goes through the backing store, never straight to the screen.
    DBGridEh1->setAttribute(Qt::WA_PaintOnScreen, false);
    m_historyWriters = std::make_unique<TJournalHistoryWriters>(LoginName, ComputerName, *IdIPWatch1,
                                                                *DM_YOT->ADOQ_Exec);
    m_updateHistory = CreateUpdateHistory(*m_historyWriters, ComputerName, DM_YOT->ADO_SP_Sort);
    DM_YOT->setJournalWindow(this);
}

void TForm2::FormClose()
{
    // What the cell editor holds is part of the pending edit.
    DBGridEh1->setEditorMode(false);
    TDataSet *journal = DM_YOT->ADO_SP_Sort;
    PostPendingEdits(journal);
    // The first refusal of a run only detaches the change history, silently; the second goes to the
    // journal's own handler, which tells the user and drops the row before the window goes.
    if (journal->Active() && (journal->State() == dsEdit || journal->State() == dsInsert || journal->Modified()))
        PostPendingEdits(journal);
}

void TForm2::FormCanResize(int &newWidth, int &newHeight, bool &resize)
{
    Q_UNUSED(newWidth);
    Q_UNUSED(newHeight);
    Q_UNUSED(resize);
    DBLookupComboboxEh1->setWidth(m_clientWidth - Label2->width() - DBLookupComboBox1->width() - Label3->width()
                                  - DBLookupComboBox2->width() - Label1->width() - kSelectionBarSlack);
}

void TForm2::closeEvent(QCloseEvent *event)
{
    if (Application)
        Application->guarded([this] { FormClose(); });
    else
        FormClose();
    QWidget::closeEvent(event);
}

void TForm2::resizeEvent(QResizeEvent *event)
{
    int newWidth = event->size().width();
    int newHeight = event->size().height();
    bool accept = true;
    FormCanResize(newWidth, newHeight, accept);
    m_clientWidth = event->size().width();
    QWidget::resizeEvent(event);
}

// --- The cascade -------------------------------------------------------------------------------------------

void TForm2::recoverSelection()
{
    TDataSet *shown = DBGridEh1->dataSet();
    if (DBGridEh1->DataSource() && !(shown && shown->Active()))
        DBGridEh1->setDataSource(nullptr);
    DBLookupComboBox1->setEnabled(true);
    DBLookupComboBox2->setEnabled(hasChosenKey(DBLookupComboBox1));
    TDataSet *students = DM_YOT->ADOQ_s_fio;
    DBLookupComboboxEh1->setEnabled(hasChosenKey(DBLookupComboBox1) && hasChosenKey(DBLookupComboBox2)
                                    && students->Active() && students->RecordCount() > 0);
}

void TForm2::DBLookupComboBox1Click(QObject *)
{
    const OnFailure recover([this] { recoverSelection(); });
    DBLookupComboboxEh1->setKeyValue(QVariant());
    DBLookupComboBox2->setKeyValue(QVariant());
    DM_YOT->ADOQ_s_fio->Close();
    if (!hasChosenKey(DBLookupComboBox1))
        return;
    DBGridEh1->setDataSource(nullptr);
    reopen(DM_YOT->ADOQ_g_s, QStringLiteral("Select * from g_s where id_group=") + keyText(DBLookupComboBox1));
    DoNavigation();
    DBLookupComboBox2->setEnabled(true);
    DBLookupComboboxEh1->setEnabled(DM_YOT->ADOQ_s_fio->RecordCount() > 0 && hasChosenKey(DBLookupComboBox2));
}

void TForm2::DBLookupComboBox2Click(QObject *)
{
    const OnFailure recover([this] { recoverSelection(); });
    DM_YOT->ADOQ_s_fio->Close();
    if (!hasChosenKey(DBLookupComboBox2))
        return;
    DBGridEh1->setDataSource(nullptr);
    DoNavigation();
    DBLookupComboboxEh1->setEnabled(DM_YOT->ADOQ_s_fio->RecordCount() > 0);
    if (!(showsText(DBLookupComboBox1) && showsText(DBLookupComboBox2) && showsText(DBLookupComboboxEh1)))
        return;
    TDataSet *journal = DM_YOT->ADO_SP_Sort;
    DBGridEh1->setDataSource(DM_YOT->DS_SP_Sort);
    journal->Open();
    {
        // One full repaint of the grid.
        const TControlsDisabler refresh(journal);
    }
    ShowCurrentRecord(DBGridEh1);
    SetStatusPanelText(0, kRecordCount + QString::number(journal->RecordCount()));
    ResetEstimationList();
}

void TForm2::DBLookupComboboxEh1Click(QObject *)
{
    if (!(showsText(DBLookupComboBox1) && showsText(DBLookupComboBox2)))
        return;
    const OnFailure recover([this] { recoverSelection(); });
    DoNavigation();
    reopen(DM_YOT->ADOQ_estimation, QStringLiteral("Select * from est2"));
    F1_QZ_DM_YOT->setActive(false);
    TDataSet *journal = DM_YOT->ADO_SP_Sort;
    TDataSource *source = DM_YOT->DS_SP_Sort;
    source->setDataSet(nullptr);
    DBGridEh1->setDataSource(source);
    source->setDataSet(journal);
    {
        // Rebound and reopened with one repaint.
        const TControlsDisabler quiet(journal);
        // Opened here so that a refusal reaches the user: the component would take it silently.
        journal->Open();
        F1_QZ_DM_YOT->setActive(true);
    }
    // The grid counts its rows once it has seen the journal, that is with its controls enabled again.
    DBGridEh1->setVertScrollBarVisibleMode(DBGridEh1->RowCount() * kRowPixels > DBGridEh1->height() ? sbAutoShowEh
                                                                                                    : sbNeverShowEh);
    ShowCurrentRecord(DBGridEh1);
    SetStatusPanelText(0, kRecordCount + QString::number(journal->RecordCount()));
}

void TForm2::postOnEnter()
{
    // The group box is disabled only while an edit locks the selection; the focus then passes through the
    // boxes as they are disabled one after the other, which is no user entering them.
    if (DBLookupComboBox1->isEnabled())
        PostPendingEdits(DM_YOT->ADO_SP_Sort);
}

void TForm2::DBLookupComboBox1Enter(QObject *)
{
    postOnEnter();
}

void TForm2::DBLookupComboBox2Enter(QObject *)
{
    postOnEnter();
}

void TForm2::DBLookupComboboxEh1Enter(QObject *)
{
    postOnEnter();
}

void TForm2::DoNavigation()
{
    TDM_YOT &dm = *DM_YOT;
    PostPendingEdits(dm.ADO_SP_Sort);

    const QString group = integerText(dm.ADOQ_group, "id_group");
    reopen(dm.ADOQ_g_sem, QStringLiteral("Select  id_semester, p43, id_rate  from g_sem where  id_group=") + group
                              + QStringLiteral(" GROUP BY  id_semester, p43, id_rate "));

    reopen(dm.ADOQ_s_fio, QStringLiteral("Select id_student, s_fio from s_g where id_group=") + group
                              + QStringLiteral(" GROUP BY dbo.s_g.id_student, dbo.s_g.s_fio"));
    dm.ADOQ_s_fio->setSort(QStringLiteral("s_fio"));
    dm.ADOQ_t_fio->setSort(QStringLiteral("t_fio"));

    reopen(dm.ADOQ_estimation, QStringLiteral("Select * from est2"));

    // A group without semesters gives NULL here: an empty curriculum.
    reopen(dm.ADOQ_Discipline, QStringLiteral(" SELECT * FROM gr_sem_disc_exam WHERE  id_semester=")
                                   + integerText(dm.ADOQ_g_sem, "id_semester") + QStringLiteral(" and id_group=")
                                   + group);

    if (hasChosenKey(DBLookupComboBox1) && hasChosenKey(DBLookupComboBox2) && hasChosenKey(DBLookupComboboxEh1)) {
        const QString groupKey = keyText(DBLookupComboBox1);
        const QString semesterKey = keyText(DBLookupComboBox2);
        const QString studentKey = keyText(DBLookupComboboxEh1);
        dm.ADOQ_Exec->setSQLText(QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 ") + groupKey + QLatin1Char(',')
                                 + semesterKey + QLatin1Char(',') + studentKey + QLatin1Char(',')
                                 + QStringLiteral("1"));
        dm.ADOQ_Exec->ExecSQL();
        dm.ADO_SP_Sort->Close();
        TParameters *parameters = dm.ADO_SP_Sort->Parameters();
        parameters->Items(1)->Value = groupKey;
        parameters->Items(2)->Value = semesterKey;
        parameters->Items(3)->Value = studentKey;
    }

    if (hasChosenKey(DBLookupComboBox1) && hasChosenKey(DBLookupComboBox2)) {
        reopen(dm.ADOQ_Year, QStringLiteral("Select top (1) g_r_y.* from g_r_y  where id_group=")
                                 + keyText(DBLookupComboBox1) + QStringLiteral(" and id_rate=")
                                 + integerText(dm.ADOQ_g_sem, "id_rate"));
        InfoPanel->setText(QStringLiteral(" [") + dm.ADOQ_g_s->FieldByName(QStringLiteral("spec"))->AsString()
                           + QStringLiteral("]") + QStringLiteral(" [")
                           + dm.ADOQ_Year->FieldByName(QStringLiteral("p32"))->AsString() + QStringLiteral("]"));
        updateSpecialMarkColumn();
    } else if (hasChosenKey(DBLookupComboBox1)) {
        InfoPanel->setText(QStringLiteral(" [") + dm.ADOQ_g_s->FieldByName(QStringLiteral("spec"))->AsString()
                           + QStringLiteral("]"));
    }
}

void TForm2::updateSpecialMarkColumn()
{
    TADOQuery *specialMarks = DM_YOT->ADOQ_EstimationOther;
    specialMarks->Close();
    specialMarks->Parameters()->ParamByName(QStringLiteral("id_speciality"))->Value =
        DM_YOT->ADOQ_g_s->FieldByName(QStringLiteral("id_speciality"))->Value();
    specialMarks->Open();
    DBGridEh1->Columns(kSpecialMarkColumn)->Visible = specialMarks->RecordCount() > 0;
    DBGridEh1->LayoutChanged();
}

void TForm2::PostPendingEdits(TDataSet *DataSet)
{
    if (!DataSet || !DataSet->Active())
        return;
    if (DataSet->State() != dsEdit && !DataSet->Modified())
        return;
    try {
        if (DataSet->State() != dsEdit && DataSet->State() != dsInsert)
            DataSet->Edit();
        DataSet->Post();
    } catch (const ELogEntryRefused &error) {
        // The row is written but its log entry is not: lost history must not pass unseen.
        if (Application)
            Application->HandleException(error);
    } catch (...) {
        // The journal's error events have told the user already.
    }
}

void TForm2::ShowCurrentRecord(TDBGridEh *Grid)
{
    TDataSet *shown = Grid ? Grid->dataSet() : nullptr;
    if (!shown || !shown->Active())
        return;
    const int recNo = shown->RecNo();
    SetStatusPanelText(1, recNo == -1 ? kCurrentRecord + QStringLiteral("[новая]") : kCurrentRecord + QString::number(recNo));
}

void TForm2::ResetEstimationList()
{
    DM_YOT->restoreFullMarkList();
}

// --- Deletion confirmation ---------------------------------------------------------------------------------

void TForm2::F1_QZ_DM_YOTQZDBEOnConfirmDelete(QObject *, bool &CanDelete)
{
    const TBMListEh &selected = DBGridEh1->SelectedRows();
    if (selected.Count() == 0)
        return;
    const auto dialog = std::make_unique<TForm1>();
    TStringGrid *list = dialog->StringGrid;
    const int columns = DBGridEh1->ColumnCount();
    list->setColCount(columns + 1);
    dialog->resize(width() + 5, dialog->height());
    // The widths the user sees in the journal; hidden columns keep the list's default width, untitled.
    for (int k = 0; k < columns; ++k) {
        const TColumnEh *column = DBGridEh1->Columns(k);
        if (!column->Visible)
            continue;
        list->setCells(k + 1, 0, column->Title.Caption);
        list->setColWidths(k + 1, DBGridEh1->columnWidth(k));
    }
    list->setRowCount(selected.Count() + 1);
    // The journal is left on the last listed row.
    TDataSet *journal = DBGridEh1->dataSet();
    for (int r = 0; r < selected.Count(); ++r) {
        journal->GotoBookmark(selected.Items(r));
        for (int k = 0; k < columns; ++k) {
            const TColumnEh *column = DBGridEh1->Columns(k);
            const TField *field = column->Visible ? column->Field() : nullptr;
            if (field)
                list->setCells(k + 1, r + 1, field->AsString());
        }
    }
    list->setFixedCols(1);
    list->setFixedRows(1);
    dialog->Count_Lbl->setText(QStringLiteral("Количество удаляемых записей:[") + QString::number(selected.Count())
                               + QStringLiteral("]."));
    dialog->Qst_Lbl->setText(QStringLiteral("Вы действительно хотите удалить эти записи?"));
    CanDelete = ShowModal(dialog.get()) == mrYes;
}

