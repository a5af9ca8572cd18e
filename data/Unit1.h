// The journal data module: the one database connection, every list and dataset the windows work with, and
// the journal dataset's event handlers that keep the selection boxes and the status bar in step with it.
#pragma once

#include "toolkit/data/ADODB.h"

#include <QObject>
#include <QString>
#include <QVariant>

class TJournalWindowLink;

class TDM_YOT : public QObject {
    Q_OBJECT
public:
    /// Builds every component and wires the journal dataset's events; makes itself DM_YOT.
    explicit TDM_YOT(QObject *owner = nullptr);
    /// Runs DataModuleDestroy, then frees the components; clears DM_YOT.
    ~TDM_YOT() override;
    TDM_YOT(const TDM_YOT &) = delete;
    TDM_YOT &operator=(const TDM_YOT &) = delete;

    /// The journal window whose boxes, grid and status bar the handlers use; null while there is none
    /// (the handlers then skip what needs it). Not owned; the window clears it before it goes away.
    void setJournalWindow(TJournalWindowLink *window) { m_journalWindow = window; }
    TJournalWindowLink *journalWindow() const { return m_journalWindow; }

    /// Gives the mark list every mark again, whatever narrowing was applied while a row was edited.
    void restoreFullMarkList();

    // --- Journal dataset events ---------------------------------------------------------------------------
    /// Journal rows are created by the server only: aborts silently.
    void ADO_SP_SortBeforeInsert(TDataSet *DataSet);
    /// Locks the selection while a row is edited.
    void ADO_SP_SortAfterEdit(TDataSet *DataSet);
    /// Writes the selection's keys into the row and unlocks the selection.
    void ADO_SP_SortBeforePost(TDataSet *DataSet);
    /// Shows the row count and makes the mark list full.
    void ADO_SP_SortAfterPost(TDataSet *DataSet);
    /// Makes the mark list full, re-reads the journal and unlocks the selection.
    void ADO_SP_SortAfterCancel(TDataSet *DataSet);
    /// Numbers the rows (No) while a student is shown.
    void ADO_SP_SortCalcFields(TDataSet *DataSet);
    void ADO_SP_SortDeleteError(TDataSet *DataSet, EDatabaseError &E, TDataAction &Action);
    void ADO_SP_SortEditError(TDataSet *DataSet, EDatabaseError &E, TDataAction &Action);
    /// Names the grid's current column in the message, then cancels the row.
    void ADO_SP_SortPostError(TDataSet *DataSet, EDatabaseError &E, TDataAction &Action);
    /// Disconnects ADO_YOT.
    void DataModuleDestroy(QObject *Sender);

    /// The messages of the error handlers, lines joined by a single "\r".
    static QString deleteErrorText();
    static QString editErrorText();
    static QString postErrorText(const QString &columnCaption);

    // --- Connection and datasets (owned through the object tree) ------------------------------------------
    TADOConnection *ADO_YOT;

    TADOQuery *ADOQ_group;
    TADOQuery *ADOQ_g_sem;
    TADOQuery *ADOQ_s_fio;
    TADOQuery *ADOQ_t_fio;
    TADOQuery *ADOQ_Discipline;
    TADOQuery *ADOQ_estimation;
    TADOQuery *ADOQ_f_est;
    TADOQuery *ADOQ_EstimationOther;
    TADOQuery *ADOQ_g_s;
    TADOQuery *ADOQ_Year;
    TADOTable *ADOTSemestr;
    TADOTable *ADOT_Examination;
    TADOQuery *ADOQEduc_sh;
    TADOQuery *ADOQuery1;
    TADOQuery *ADOQ_Vremennyi;
    TADOStoredProc *ADO_SP_Sort;
    TADOStoredProc *ADO_Del_SP;
    TADOStoredProc *ADOStoredProc1;
    TADOQuery *ADOQ_Buffer;
    TADOQuery *ADOQ_del_discipline;
    TADOQuery *ADOQ_Exec;

    TDataSource *DS_group;
    TDataSource *DS_g_sem;
    TDataSource *DS_s_fio;
    TDataSource *DS_SP_Sort;
    TDataSource *DS_Buffer;
    TDataSource *DS_T_fio;
    TDataSource *DS_estimation;
    TDataSource *DS_discipline;
    TDataSource *DS_Semestr;
    TDataSource *DS_Examination;
    TDataSource *DS_f_est;
    TDataSource *DS_Educ_sh;
    TDataSource *DataSource1;
    TDataSource *DataSource2;
    TDataSource *DS_Stored_Procedure;
    TDataSource *DS_del_discipline;
    TDataSource *DS_Year;
    TDataSource *DS_g_s;
    TDataSource *DS_EstimationOther;

    // --- The journal's persistent fields, in field order ---------------------------------------------------
    TField *ADO_SP_Sortprimech;
    TField *ADO_SP_Sortdopusk_izm;
    TField *ADO_SP_SortEstimationOther;
    TField *ADO_SP_Sortid_estimation_other;
    TField *ADO_SP_Sortid_mark_mag;
    TField *ADO_SP_Sortid_group;
    TField *ADO_SP_Sortid_student;
    TField *ADO_SP_Sortid_examination;
    TField *ADO_SP_Sortid_discipline;
    TField *ADO_SP_Sortid_estimation;
    TField *ADO_SP_Sortid_semester;
    TField *ADO_SP_Sortid_teacher;
    TField *ADO_SP_Sortp35;
    TField *ADO_SP_Sortp36;
    TField *ADO_SP_Sortid_f_est;
    TField *ADO_SP_Sortoper;
    TField *ADO_SP_Sortu_date;
    TField *ADO_SP_Sortsemestr;
    TField *ADO_SP_SortNo;
    TField *ADO_SP_Sortteacher;
    TField *ADO_SP_Sortf_est;
    TField *ADO_SP_Sortstudent;
    TField *ADO_SP_Sortdiscipline;
    TField *ADO_SP_Sortestimation;
    TField *ADO_SP_Sortexam;
    TField *ADO_SP_SortOLM_User;
    TField *ADO_SP_SortOLM_Update;

private:
    void createDataSets();
    void createDataSources();
    void createJournalFields();
    void createBufferFields();
    void wireJournalEvents();
    void setSelectionEnabled(bool enabled);

    TJournalWindowLink *m_journalWindow = nullptr;
};

/// The one module of the program: set by the constructor, cleared by the destructor.
extern TDM_YOT *DM_YOT;
