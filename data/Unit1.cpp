// The journal data module: components as the windows know them by name, and the journal's event handlers.
#include "data/Unit1.h"

#include "data/JournalWindowLink.h"
#include "toolkit/ui/DBGridEh.h"
#include "toolkit/ui/DBLookupComboBox.h"
#include "toolkit/ui/Dialogs.h"

#include <cstdlib>
#include <functional>

TDM_YOT *DM_YOT = nullptr;

namespace {

enum DataSetOption { Defaults = 0, Static = 1, Batch = 2 };

template <class T>
T *dataSet(QObject *owner, TADOConnection *connection, const char *name, int options)
{
    auto *component = new T(owner);
    component->setName(QString::fromLatin1(name));
    component->setConnection(connection);
    if (options & Static)
        component->CursorType = ctStatic;
    if (options & Batch)
        component->LockType = ltBatchOptimistic;
    return component;
}

TADOQuery *query(QObject *owner, TADOConnection *connection, const char *name, const QString &text, int options)
{
    auto *component = dataSet<TADOQuery>(owner, connection, name, options);
    if (!text.isEmpty())
        component->setSQLText(text);
    return component;
}

TADOTable *table(QObject *owner, TADOConnection *connection, const char *name, const char *tableName,
                 int options)
{
    auto *component = dataSet<TADOTable>(owner, connection, name, options);
    component->setTableName(QString::fromLatin1(tableName));
    return component;
}

TADOStoredProc *procedure(QObject *owner, TADOConnection *connection, const char *name,
                          const char *procedureName, int options)
{
    auto *component = dataSet<TADOStoredProc>(owner, connection, name, options);
    component->setProcedureName(QString::fromLatin1(procedureName));
    // Index 0 is the return value; the windows address the arguments from 1.
    component->Parameters()->AddParameter(QStringLiteral("@RETURN_VALUE"), ftInteger, pdReturnValue, 0, false);
    return component;
}

TDataSource *source(QObject *owner, const char *name, TDataSet *dataSet)
{
    auto *component = new TDataSource(owner);
    component->setObjectName(QString::fromLatin1(name));
    component->setDataSet(dataSet);
    return component;
}

// Fields are components too: the object name is the dataset's name followed by the field's.
TField *named(TField *field)
{
    field->setObjectName(field->DataSet()->Name() + field->FieldName());
    return field;
}

TField *data(TDataSet *dataSet, const char *fieldName, TFieldType type, int size = 0)
{
    return named(dataSet->AddField(QString::fromLatin1(fieldName), type, size));
}

TField *readOnlyData(TDataSet *dataSet, const char *fieldName, TFieldType type)
{
    TField *field = data(dataSet, fieldName, type);
    field->setReadOnly(true);
    return field;
}

TField *lookup(TDataSet *dataSet, const char *fieldName, int size, const char *keyField, TDataSet *list,
               const char *listKeyField, const char *resultField)
{
    return named(dataSet->AddLookupField(QString::fromLatin1(fieldName), ftString, size,
                                         QString::fromLatin1(keyField), list, QString::fromLatin1(listKeyField),
                                         QString::fromLatin1(resultField)));
}

// A box's key as the integer a key field takes; a key that is no integer is a conversion error, as any
// variant that does not convert.
int keyAsInteger(const QVariant &key)
{
    bool ok = false;
    const int value = key.toInt(&ok);
    if (!ok) {
        throw EConvertError(key.isNull()
                                ? QStringLiteral("Could not convert variant of type (Null) into type (Integer)")
                                : QStringLiteral("'%1' is not a valid integer value").arg(key.toString()));
    }
    return value;
}

QString refusedRowText(const QString &firstLine)
{
    return firstLine + u'\r' + QStringLiteral("Нажмите кнопку \"отмена новой записи\" или клавишу [Esc]!") + u'\r'
        + QStringLiteral("Обратитесь к вашему администратору\"!");
}

const QString kWarningCaption = QStringLiteral("Warning!");

} // namespace

TDM_YOT::TDM_YOT(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("DM_YOT"));
    ADO_YOT = new TADOConnection(this);
    ADO_YOT->setObjectName(QStringLiteral("ADO_YOT"));
    ADO_YOT->setConnectionString(QStringLiteral("Provider=SQLOLEDB.1"));
    ADO_YOT->LoginPrompt = false;
    ADO_YOT->KeepConnection = false;

    createDataSets();
    createDataSources();
    createJournalFields();
    createBufferFields();
    wireJournalEvents();
    DM_YOT = this;
}

TDM_YOT::~TDM_YOT()
{
    DataModuleDestroy(this);
    if (DM_YOT == this)
        DM_YOT = nullptr;
}

void TDM_YOT::createDataSets()
{
    TADOConnection *c = ADO_YOT;
    ADOQ_group = query(this, c, "ADOQ_group", QStringLiteral("SELECT  * FROM [group]"), Static);
    ADOQ_g_sem = query(this, c, "ADOQ_g_sem", QStringLiteral("select * from g_sem "), Static);
    ADOQ_s_fio = query(this, c, "ADOQ_s_fio", QStringLiteral("select * from s_fio"), Static);
    ADOQ_t_fio = query(this, c, "ADOQ_t_fio", QStringLiteral("select * from t_fio"), Static);
    ADOQ_Discipline = query(this, c, "ADOQ_Discipline", QStringLiteral("select * from gr_sem_disc_exam"), Static);
    ADOQ_estimation = query(this, c, "ADOQ_estimation", QStringLiteral("select * from est2"), Static);
    ADOQ_f_est = query(this, c, "ADOQ_f_est", QStringLiteral("select * from f_est"), Static);
    ADOQ_EstimationOther = query(this, c, "ADOQ_EstimationOther", {}, Static | Batch);
    ADOQ_EstimationOther->setSQL({
        QStringLiteral("SELECT EstimationOther.* "),
        QStringLiteral("FROM EstimationOther, com_sfe"),
        QStringLiteral("WHERE EstimationOther.id_ebe_var = com_sfe.id_ebe_var AND"),
        QStringLiteral("             com_sfe.id_speciality=:id_speciality"),
    });
    ADOQ_EstimationOther->Parameters()->ParamByName(QStringLiteral("id_speciality"))->DataType = ftInteger;
    ADOQ_g_s = query(this, c, "ADOQ_g_s", QStringLiteral("Select * from  g_s"), Defaults);
    ADOQ_Year = query(this, c, "ADOQ_Year", QStringLiteral("Select p32 from g_r_y"), Defaults);
    ADOTSemestr = table(this, c, "ADOTSemestr", "semester", Static);
    ADOT_Examination = table(this, c, "ADOT_Examination", "examination", Static);
    ADOQEduc_sh = query(this, c, "ADOQEduc_sh", QStringLiteral("select top 0 * from educ_sh"), Defaults);
    ADOQuery1 = query(this, c, "ADOQuery1", QStringLiteral("select * from discipline"), Defaults);
    ADOQ_Vremennyi = query(this, c, "ADOQ_Vremennyi", QStringLiteral("select * from examination"), Static);

    ADO_SP_Sort = procedure(this, c, "ADO_SP_Sort", "SORT_2_MARK_MAG;1", Static);
    ADO_SP_Sort->CommandTimeout = 120;
    for (const char *argument : {"@group", "@semester", "@student"})
        ADO_SP_Sort->Parameters()->AddParameter(QString::fromLatin1(argument), ftInteger, pdInput);
    ADO_Del_SP = procedure(this, c, "ADO_Del_SP", "DEL_FROM_MARK_MAG;1", Static | Batch);
    ADO_Del_SP->Parameters()->AddParameter(QStringLiteral("@id_mark_mag"), ftString, pdInput, 100);
    ADOStoredProc1 = procedure(this, c, "ADOStoredProc1", "CTRL_Z_Mark_mag;1", Defaults);
    for (const char *argument : {"@group", "@semester"})
        ADOStoredProc1->Parameters()->AddParameter(QString::fromLatin1(argument), ftInteger, pdInput);

    ADOQ_Buffer = query(this, c, "ADOQ_Buffer", QStringLiteral("Select * from del_mark_mag"), Defaults);
    ADOQ_del_discipline = query(this, c, "ADOQ_del_discipline", QStringLiteral("select * from discipline"), Defaults);
    ADOQ_Exec = query(this, c, "ADOQ_Exec", {}, Defaults);
}

void TDM_YOT::createDataSources()
{
    DS_group = source(this, "DS_group", ADOQ_group);
    DS_g_sem = source(this, "DS_g_sem", ADOQ_g_sem);
    DS_s_fio = source(this, "DS_s_fio", ADOQ_s_fio);
    DS_SP_Sort = source(this, "DS_SP_Sort", ADO_SP_Sort);
    DS_Buffer = source(this, "DS_Buffer", ADOQ_Buffer);
    DS_T_fio = source(this, "DS_T_fio", ADOQ_t_fio);
    DS_estimation = source(this, "DS_estimation", ADOQ_estimation);
    DS_discipline = source(this, "DS_discipline", ADOQ_Discipline);
    DS_Semestr = source(this, "DS_Semestr", ADOTSemestr);
    DS_Examination = source(this, "DS_Examination", ADOT_Examination);
    DS_f_est = source(this, "DS_f_est", ADOQ_f_est);
    DS_Educ_sh = source(this, "DS_Educ_sh", ADOQEduc_sh);
    DataSource1 = source(this, "DataSource1", ADOQuery1);
    DataSource2 = source(this, "DataSource2", ADOQ_Vremennyi);
    DS_Stored_Procedure = source(this, "DS_Stored_Procedure", ADOStoredProc1);
    DS_del_discipline = source(this, "DS_del_discipline", ADOQ_del_discipline);
    DS_Year = source(this, "DS_Year", ADOQ_Year);
    DS_g_s = source(this, "DS_g_s", ADOQ_g_s);
    DS_EstimationOther = source(this, "DS_EstimationOther", ADOQ_EstimationOther);
}

void TDM_YOT::createJournalFields()
{
    // The change history walks these by position: the order is part of the log's contract.
    TDataSet *j = ADO_SP_Sort;
    ADO_SP_Sortprimech = data(j, "primech", ftString, 50);
    ADO_SP_Sortdopusk_izm = data(j, "dopusk_izm", ftBoolean);
    ADO_SP_SortEstimationOther = lookup(j, "EstimationOther", 10, "id_estimation_other", ADOQ_EstimationOther,
                                        "id_estimation_other", "Estimation_Other");
    ADO_SP_Sortid_estimation_other = data(j, "id_estimation_other", ftInteger);
    ADO_SP_Sortid_mark_mag = readOnlyData(j, "id_mark_mag", ftAutoInc);
    ADO_SP_Sortid_group = data(j, "id_group", ftInteger);
    ADO_SP_Sortid_student = data(j, "id_student", ftInteger);
    ADO_SP_Sortid_examination = readOnlyData(j, "id_examination", ftInteger);
    ADO_SP_Sortid_discipline = readOnlyData(j, "id_discipline", ftInteger);
    ADO_SP_Sortid_estimation = data(j, "id_estimation", ftInteger);
    ADO_SP_Sortid_semester = data(j, "id_semester", ftInteger);
    ADO_SP_Sortid_teacher = data(j, "id_teacher", ftInteger);
    ADO_SP_Sortp35 = data(j, "p35", ftString, 50);
    ADO_SP_Sortp36 = data(j, "p36", ftDateTime);
    ADO_SP_Sortp36->setDisplayFormat(QStringLiteral("dd.mm.yyyy"));
    ADO_SP_Sortp36->setEditMask(QStringLiteral("##/##/####"));
    ADO_SP_Sortid_f_est = data(j, "id_f_est", ftInteger);
    ADO_SP_Sortoper = data(j, "oper", ftString, 5);
    ADO_SP_Sortu_date = data(j, "u_date", ftDateTime);
    ADO_SP_Sortsemestr = lookup(j, "semestr", 30, "id_semester", ADOTSemestr, "id_semester", "p43");
    ADO_SP_SortNo = named(j->AddField(QStringLiteral("No"), ftInteger, 0, fkCalculated));
    ADO_SP_Sortteacher = lookup(j, "teacher", 60, "id_teacher", ADOQ_t_fio, "id_teacher", "t_fio");
    ADO_SP_Sortf_est = lookup(j, "f_est", 30, "id_f_est", ADOQ_f_est, "id_f_e", "p109");
    ADO_SP_Sortstudent = lookup(j, "student", 70, "id_student", ADOQ_s_fio, "id_student", "s_fio");
    ADO_SP_Sortdiscipline = lookup(j, "discipline", 85, "id_discipline", ADOQ_Discipline, "id_discipline", "p34");
    ADO_SP_Sortestimation = lookup(j, "estimation", 15, "id_estimation", ADOQ_estimation, "id_estimation", "p31");
    ADO_SP_Sortexam = lookup(j, "exam", 15, "id_examination", ADOQ_Discipline, "id_examination", "p30");
    ADO_SP_Sortexam->setReadOnly(true);
    ADO_SP_SortOLM_User = data(j, "OLM_User", ftString, 20);
    ADO_SP_SortOLM_Update = data(j, "OLM_Update", ftDate);

    ADO_SP_Sort->UpdateTableName = QStringLiteral("mark_mag");
    ADO_SP_Sort->UpdateKeyFields = QStringLiteral("id_mark_mag");
}

void TDM_YOT::createBufferFields()
{
    TDataSet *b = ADOQ_Buffer;
    readOnlyData(b, "id_mark_mag", ftAutoInc);
    for (const char *key : {"id_group", "id_student", "id_examination", "id_estimation", "id_discipline",
                            "id_semester", "id_teacher"})
        data(b, key, ftInteger);
    data(b, "p35", ftString, 50);
    data(b, "p36", ftDateTime);
    data(b, "id_f_est", ftInteger);
    data(b, "oper", ftString, 5);
    data(b, "u_date", ftDateTime);
    lookup(b, "semestr", 30, "id_semester", ADOTSemestr, "id_semester", "p43");
    lookup(b, "teacher", 60, "id_teacher", ADOQ_t_fio, "id_teacher", "t_fio");
    lookup(b, "f_est", 30, "id_f_est", ADOQ_f_est, "id_f_e", "p109");
    lookup(b, "student", 70, "id_student", ADOQ_s_fio, "id_student", "s_fio");
    lookup(b, "discipline", 85, "id_discipline", ADOQ_del_discipline, "id_discipline", "p34");
    lookup(b, "estimation", 15, "id_estimation", ADOQ_estimation, "id_estimation", "p31");
    lookup(b, "exam", 15, "id_examination", ADOQ_Discipline, "id_examination", "p30");
    data(b, "Check_ch", ftBoolean);
    data(b, "del_date", ftDateTime);
    data(b, "del_oper", ftFixedWideChar, 10);

    ADOQ_Buffer->UpdateTableName = QStringLiteral("del_mark_mag");
    ADOQ_Buffer->UpdateKeyFields = QStringLiteral("id_mark_mag");
}

void TDM_YOT::wireJournalEvents()
{
    ADO_SP_Sort->BeforeInsert = std::bind_front(&TDM_YOT::ADO_SP_SortBeforeInsert, this);
    ADO_SP_Sort->AfterEdit = std::bind_front(&TDM_YOT::ADO_SP_SortAfterEdit, this);
    ADO_SP_Sort->BeforePost = std::bind_front(&TDM_YOT::ADO_SP_SortBeforePost, this);
    ADO_SP_Sort->AfterPost = std::bind_front(&TDM_YOT::ADO_SP_SortAfterPost, this);
    ADO_SP_Sort->AfterCancel = std::bind_front(&TDM_YOT::ADO_SP_SortAfterCancel, this);
    ADO_SP_Sort->OnCalcFields = std::bind_front(&TDM_YOT::ADO_SP_SortCalcFields, this);
    ADO_SP_Sort->OnDeleteError = std::bind_front(&TDM_YOT::ADO_SP_SortDeleteError, this);
    ADO_SP_Sort->OnEditError = std::bind_front(&TDM_YOT::ADO_SP_SortEditError, this);
    ADO_SP_Sort->OnPostError = std::bind_front(&TDM_YOT::ADO_SP_SortPostError, this);
}

void TDM_YOT::setSelectionEnabled(bool enabled)
{
    if (!m_journalWindow)
        return;
    for (TDBLookupComboBox *box :
         {m_journalWindow->GroupBox(), m_journalWindow->SemesterBox(), m_journalWindow->StudentBox()}) {
        if (box)
            box->setEnabled(enabled);
    }
}

void TDM_YOT::restoreFullMarkList()
{
    ADOQ_estimation->setSQLText(QStringLiteral("select * from est2"));
    ADOQ_estimation->Open();
}

QString TDM_YOT::deleteErrorText()
{
    return refusedRowText(QStringLiteral("Вы пытаетесь удалить строку, но у вас нет на это прав."));
}

QString TDM_YOT::editErrorText()
{
    return refusedRowText(QStringLiteral("Вы пытаетесь изменить строку, но у вас нет на это прав."));
}

QString TDM_YOT::postErrorText(const QString &columnCaption)
{
    return QStringLiteral("Вы пытаетесь изменить запись в поле \"") + columnCaption
        + QStringLiteral("\", но у вас нет на это прав.");
}

void TDM_YOT::ADO_SP_SortBeforeInsert(TDataSet *)
{
    Abort();
}

void TDM_YOT::ADO_SP_SortAfterEdit(TDataSet *)
{
    setSelectionEnabled(false);
}

void TDM_YOT::ADO_SP_SortBeforePost(TDataSet *DataSet)
{
    if (m_journalWindow) {
        const TDBLookupComboBox *group = m_journalWindow->GroupBox();
        const TDBLookupComboBox *semester = m_journalWindow->SemesterBox();
        const TDBLookupComboBox *student = m_journalWindow->StudentBox();
        if (hasChosenKey(group) && hasChosenKey(semester)) {
            DataSet->FieldByName(QStringLiteral("id_group"))->setAsInteger(keyAsInteger(group->KeyValue()));
            DataSet->FieldByName(QStringLiteral("id_semester"))->setAsInteger(keyAsInteger(semester->KeyValue()));
        }
        if (showsText(student))
            DataSet->FieldByName(QStringLiteral("id_student"))->setAsInteger(keyAsInteger(student->KeyValue()));
    }
    setSelectionEnabled(true);
}

void TDM_YOT::ADO_SP_SortAfterPost(TDataSet *)
{
    if (m_journalWindow)
        m_journalWindow->SetStatusPanelText(0, QStringLiteral("Количество записей: ")
                                                   + QString::number(ADO_SP_Sort->RecordCount()));
    restoreFullMarkList();
}

void TDM_YOT::ADO_SP_SortAfterCancel(TDataSet *)
{
    restoreFullMarkList();
    const TDBGridEh *grid = m_journalWindow ? m_journalWindow->JournalGrid() : nullptr;
    if (grid && grid->dataSet())
        grid->dataSet()->Refresh();
    setSelectionEnabled(true);
}

void TDM_YOT::ADO_SP_SortCalcFields(TDataSet *DataSet)
{
    TField *number = DataSet->FieldByName(QStringLiteral("No"));
    const TDBGridEh *grid = m_journalWindow ? m_journalWindow->JournalGrid() : nullptr;
    if (grid && grid->dataSet() && showsText(m_journalWindow->StudentBox()))
        number->setAsInteger(std::abs(grid->dataSet()->RecNo()));
    else
        number->Clear();
}

void TDM_YOT::ADO_SP_SortDeleteError(TDataSet *, EDatabaseError &, TDataAction &)
{
    ShowErrorDialog(deleteErrorText());
}

void TDM_YOT::ADO_SP_SortEditError(TDataSet *, EDatabaseError &, TDataAction &)
{
    MessageBoxA(nullptr, editErrorText(), kWarningCaption, MB_ICONWARNING | MB_OK);
}

void TDM_YOT::ADO_SP_SortPostError(TDataSet *DataSet, EDatabaseError &, TDataAction &)
{
    QString caption;
    if (const TDBGridEh *grid = m_journalWindow ? m_journalWindow->JournalGrid() : nullptr) {
        // Col counts the indicator column as 0.
        const int index = grid->Col() - 1;
        if (index >= 0 && index < grid->ColumnCount())
            caption = grid->Columns(index)->Title.Caption;
    }
    MessageBoxA(nullptr, postErrorText(caption), kWarningCaption, MB_ICONWARNING | MB_OK);
    DataSet->Cancel();
}

void TDM_YOT::DataModuleDestroy(QObject *)
{
    ADO_YOT->Close();
}
