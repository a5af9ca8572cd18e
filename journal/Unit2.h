// The journal window TForm2, the application's main window: the group, semester and student boxes with the
// cascade that reloads what depends on them, the journal grid with its behaviour component, and the status bar.
#pragma once

#include "app/SignInHost.h"
#include "data/JournalWindowLink.h"
#include "toolkit/ui/DBGridEh.h"
#include "toolkit/ui/Keys.h"

#include <QRect>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>

class QAction;
class QFrame;
class QLabel;
class TADOUpdateHistoryExec;
class TDBLookupComboBox;
class TIdIPWatch;
class TJournalHistoryWriters;
class TQZDBGridEvents;
class TStatusBar;

class TForm2 : public QWidget, public TSignInHost, public TJournalWindowLink {
    Q_OBJECT
public:
    /// Client size the window was designed at; it opens maximised.
    static constexpr int DesignedWidth = 979;
    static constexpr int DesignedHeight = 737;

    /// Builds the controls, then runs FormCreate (the sign-in first). DM_YOT must exist.
    explicit TForm2(QWidget *parent = nullptr);
    /// Hands the journal dataset back to its own handlers and leaves DM_YOT without a window.
    ~TForm2() override;

    // Controls, named as on the form.
    QLabel *InfoPanel;
    QFrame *Bevel2;
    QWidget *Panel1;
    QWidget *Panel3;
    QWidget *Panel4;
    QLabel *Label2;
    TDBLookupComboBox *DBLookupComboBox1;
    QLabel *Label3;
    TDBLookupComboBox *DBLookupComboBox2;
    QLabel *Label1;
    TDBLookupComboBox *DBLookupComboboxEh1;
    QFrame *Bevel4;
    QFrame *Bevel1;
    TQZDBGridEh *DBGridEh1;
    QFrame *Bevel3;
    QWidget *Panel2;
    TStatusBar *StatusBar1;
    TQZDBGridEvents *F1_QZ_DM_YOT;
    TIdIPWatch *IdIPWatch1;
    QAction *ExamSheetAction = nullptr;
    QAction *ExportCsvAction = nullptr;
    QAction *RowHistoryAction = nullptr;

    // Session values and window fields.
    QString LoginName;
    int LoginId = 0;
    QString ComputerName;
    QString CellBuffer;
    bool CtrlHeld = false;
    bool ZPressed = false;
    bool DPressed = false;

    /// The change history of the journal dataset, created by FormCreate.
    TADOUpdateHistoryExec *UpdateHistory() const { return m_updateHistory.get(); }

    // Form events.
    void FormCreate();
    void FormClose();
    /// newWidth and newHeight are the proposed size; the width used is the one before the resize.
    void FormCanResize(int &newWidth, int &newHeight, bool &resize);

    // The selection cascade.
    void DBLookupComboBox1Click(QObject *Sender);
    void DBLookupComboBox2Click(QObject *Sender);
    void DBLookupComboboxEh1Click(QObject *Sender);
    void DBLookupComboBox1Enter(QObject *Sender);
    void DBLookupComboBox2Enter(QObject *Sender);
    void DBLookupComboboxEh1Enter(QObject *Sender);

    /// Reloads everything that depends on the current choices.
    void DoNavigation();
    /// Posts a pending edit of DataSet (also of a row being inserted); swallows every error.
    void PostPendingEdits(TDataSet *DataSet);
    /// Status panel 1: the grid dataset's current record number, or "[новая]" for a row without one.
    void ShowCurrentRecord(TDBGridEh *Grid);
    /// Every mark in the mark list again.
    void ResetEstimationList();

    // Grid and component events.
    void F1_QZ_DM_YOTKeyDown(QObject *Sender, quint16 &Key, TShiftState Shift);
    void F1_QZ_DM_YOTDrawColumnCell(QObject *Sender, const QRect &Rect, int DataCol, TColumnEh *Column,
                                    TGridDrawState State);
    void F1_QZ_DM_YOTQZDBEOnConfirmDelete(QObject *Sender, bool &CanDelete);
    void DBGridEh1KeyPress(QObject *Sender, QChar &Key);
    void DBGridEh1MouseDown(QObject *Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void DBGridEh1KeyUp(QObject *Sender, quint16 &Key, TShiftState Shift);
    void DBGridEh1Columns1UpdateData(QObject *Sender, QString &Text, QVariant &Value, bool &UseText, bool &Handled);
    void DBGridEh1Columns4UpdateData(QObject *Sender, QString &Text, QVariant &Value, bool &UseText, bool &Handled);
    void DBGridEh1Columns5UpdateData(QObject *Sender, QString &Text, QVariant &Value, bool &UseText, bool &Handled);

    /// Lists in the component's ErrorList the journal rows whose discipline and form of assessment are not in
    /// the curriculum; nothing when the curriculum has at least as many rows as the journal.
    void MarkRowsOutsideCurriculum(TDataSet *curriculum, TDataSet *journal, TQZDBGridEvents *component);

    // TSignInHost
    void setLoginName(const QString &name) override { LoginName = name; }
    void setLoginId(int id) override { LoginId = id; }

    // TJournalWindowLink
    TDBLookupComboBox *GroupBox() const override { return DBLookupComboBox1; }
    TDBLookupComboBox *SemesterBox() const override { return DBLookupComboBox2; }
    TDBLookupComboBox *StudentBox() const override { return DBLookupComboboxEh1; }
    TDBGridEh *JournalGrid() const override { return DBGridEh1; }
    void SetStatusPanelText(int index, const QString &text) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createControls();
    void createSelectionBar();
    void createGrid();
    void createGridColumns();
    void createStatusBar();
    void configureGridEvents();
    void wireEvents();
    /// After a failed cascade step: boxes usable for what is chosen, no grid over a closed journal.
    void recoverSelection();
    /// What the three Enter handlers share: post a pending journal edit.
    void postOnEnter();
    void updateSpecialMarkColumn();
    // The grid rules the key and mouse handlers apply.
    void narrowMarkList();
    TField *currentCellField() const;
    void copyCell();
    void pasteCell();
    void deleteSelectedRows(bool cut);
    /// The chord's work: the deleted rows of the selection in the restore window, or the notice that there
    /// are none.
    void openRestoreWindow();
    /// The examination sheet of the current journal row's discipline and form of assessment (Ctrl+E and the
    /// grid's context menu); the journal is read again when the sheet stored marks.
    void openExamSheet();
    /// The journal as the grid shows it, to a CSV file the user chooses.
    void exportJournalCsv();
    void openRowHistory();
    /// The grid's context menu and the Ctrl+E key, after the journal's own key and mouse handling.
    void addSheetActions();

    std::unique_ptr<TJournalHistoryWriters> m_historyWriters;
    std::unique_ptr<TADOUpdateHistoryExec> m_updateHistory;
    int m_clientWidth = DesignedWidth;
};
