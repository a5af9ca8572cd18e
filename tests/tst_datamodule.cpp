// The journal data module on a demo database: its lists, the journal dataset's fields and the handlers that
// tie the journal to a stand-in journal window (real boxes, grid and a recorded status bar).
#include "data/JournalWindowLink.h"
#include "data/Unit1.h"
#include "server/Session.h"
#include "tests/support/DemoUsers.h"
#include "tests/support/TestDatabase.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/DBGridEh.h"
#include "toolkit/ui/DBLookupComboBox.h"
#include "toolkit/ui/Dialogs.h"
#include "tests/support/TestMain.h"

#include <QtTest>

#include <memory>

namespace {

// Stops the calling test function when a helper failed.
#define CHECKED(call)                                                                                                \
    do {                                                                                                             \
        call;                                                                                                        \
        if (QTest::currentTestFailed())                                                                              \
            return;                                                                                                  \
    } while (false)

class JournalWindowStandIn : public QWidget, public TJournalWindowLink {
public:
    explicit JournalWindowStandIn(TDM_YOT *module) : m_module(module)
    {
        m_group = box(module->DS_group, "id_group", "p20");
        m_semester = box(module->DS_g_sem, "id_semester", "p43");
        m_student = box(module->DS_s_fio, "id_student", "s_fio");
        m_grid = new TDBGridEh(this);
        m_grid->setDataSource(module->DS_SP_Sort);
        m_grid->AddColumn(QStringLiteral("discipline"), QStringLiteral("Дисциплина"));
        m_grid->AddColumn(QStringLiteral("exam"), QStringLiteral("Форма контроля"));
        m_grid->AddColumn(QStringLiteral("estimation"), QStringLiteral("Оценка"));
        m_grid->AddColumn(QStringLiteral("p35"), QStringLiteral("№ ведомости"));
        module->setJournalWindow(this);
    }
    ~JournalWindowStandIn() override { m_module->setJournalWindow(nullptr); }

    TDBLookupComboBox *GroupBox() const override { return m_group; }
    TDBLookupComboBox *SemesterBox() const override { return m_semester; }
    TDBLookupComboBox *StudentBox() const override { return m_student; }
    TDBGridEh *JournalGrid() const override { return m_grid; }
    void SetStatusPanelText(int index, const QString &text) override { panels[index] = text; }

    bool allBoxesEnabled() const { return m_group->isEnabled() && m_semester->isEnabled() && m_student->isEnabled(); }
    bool allBoxesDisabled() const { return !m_group->isEnabled() && !m_semester->isEnabled() && !m_student->isEnabled(); }

    QMap<int, QString> panels;

private:
    TDBLookupComboBox *box(TDataSource *list, const char *key, const char *shown)
    {
        auto *combo = new TDBLookupComboBox(this);
        combo->setListSource(list);
        combo->setKeyField(QString::fromLatin1(key));
        combo->setListField(QString::fromLatin1(shown));
        return combo;
    }

    TDM_YOT *m_module;
    TDBLookupComboBox *m_group;
    TDBLookupComboBox *m_semester;
    TDBLookupComboBox *m_student;
    TDBGridEh *m_grid;
};

struct Selection {
    int group = 0;
    int semester = 0;
    int student = 0;
};

const QString kRefusedLines = QStringLiteral("\rНажмите кнопку \"отмена новой записи\" или клавишу [Esc]!"
                                             "\rОбратитесь к вашему администратору\"!");

} // namespace

class TestDataModule : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TApplication> m_application;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDM_YOT> m_module;
    std::unique_ptr<JournalWindowStandIn> m_window;
    Selection m_selection;

    olm::server::Outcome admin(const QString &statement, const QVariantList &params = {})
    {
        return m_db->administrator()->execute(statement, params);
    }

    QVariant adminValue(const QString &statement, const QVariantList &params = {})
    {
        const olm::server::Outcome outcome = admin(statement, params);
        const auto *rows = outcome.firstResult();
        return rows && !rows->rows.empty() ? rows->rows.front().value(0) : QVariant();
    }

    // Connects as the sign-in user's own database login, as the sign-in exchange does.
    void signIn(const char *login)
    {
        const QString name = QString::fromLatin1(login);
        const QVariant password = adminValue(QStringLiteral("SELECT password FROM srv_db_logins WHERE name = ?"), {name});
        QVERIFY2(!password.isNull(), login);
        TADOConnection *connection = m_module->ADO_YOT;
        connection->setConnectionString(m_db->connectionString(name, password.toString()));
        try {
            connection->Open();
            connection->Execute(QStringLiteral("SET DATEFORMAT dmy"));
        } catch (const Exception &e) {
            QFAIL(qPrintable(e.Message));
        }
    }

    // The lists the sign-in opens.
    void openLists()
    {
        TDM_YOT *m = m_module.get();
        for (TDataSet *list : std::initializer_list<TDataSet *>{m->ADOQ_t_fio, m->ADOQ_s_fio, m->ADOQ_estimation,
                                                                 m->ADOTSemestr, m->ADOQ_Year, m->ADOQ_f_est,
                                                                 m->ADOT_Examination, m->ADOQ_group, m->ADOQ_g_sem,
                                                                 m->ADOQEduc_sh, m->ADOQuery1, m->ADOQ_Vremennyi}) {
            try {
                list->Open();
            } catch (const Exception &e) {
                QFAIL(qPrintable(list->Name() + QStringLiteral(": ") + e.Message));
            }
        }
    }

    // Chooses the selection in the boxes and opens its journal, as the journal window does.
    void loadJournal(const Selection &s)
    {
        m_window->GroupBox()->setKeyValue(s.group);
        m_window->SemesterBox()->setKeyValue(s.semester);
        m_window->StudentBox()->setKeyValue(s.student);
        TADOStoredProc *journal = m_module->ADO_SP_Sort;
        try {
            m_module->ADOQ_Discipline->setSQLText(QStringLiteral(" SELECT * FROM gr_sem_disc_exam WHERE  id_semester=%1"
                                                                 " and id_group=%2").arg(s.semester).arg(s.group));
            m_module->ADOQ_Discipline->Open();
            journal->Close();
            journal->Parameters()->Items(1)->Value = QString::number(s.group);
            journal->Parameters()->Items(2)->Value = QString::number(s.semester);
            journal->Parameters()->Items(3)->Value = QString::number(s.student);
            journal->Open();
        } catch (const Exception &e) {
            QFAIL(qPrintable(e.Message));
        }
        QVERIFY(journal->RecordCount() >= 3);
    }

    void signInAndLoad(const char *login)
    {
        CHECKED(signIn(login));
        CHECKED(openLists());
        CHECKED(loadJournal(m_selection));
    }

    QVariant serverValue(const char *column, const QVariant &id)
    {
        return adminValue(QStringLiteral("SELECT %1 FROM mark_mag WHERE id_mark_mag = ?").arg(QLatin1String(column)),
                          {id});
    }

    QList<int> journalColumn(const char *fieldName)
    {
        QList<int> values;
        TADOStoredProc *journal = m_module->ADO_SP_Sort;
        for (journal->First(); !journal->Eof(); journal->Next())
            values << (journal->FieldByName(QString::fromLatin1(fieldName))->IsNull()
                           ? -1
                           : journal->FieldByName(QString::fromLatin1(fieldName))->AsInteger());
        return values;
    }

private slots:
    void initTestCase() { m_application = std::make_unique<TApplication>(); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY2(m_db->isValid(), qPrintable(m_db->error()));
        m_module = std::make_unique<TDM_YOT>();
        m_window = std::make_unique<JournalWindowStandIn>(m_module.get());
        // A student with at least three journal rows, in a group the editing user sees.
        const olm::server::Outcome found = admin(QStringLiteral(
            "SELECT m.id_group, m.id_semester, m.id_student FROM mark_mag m JOIN group_form g ON g.id_group = "
            "m.id_group JOIN srv_users u ON u.id_login = g.id_login WHERE u.login = ? GROUP BY m.id_group, "
            "m.id_semester, m.id_student HAVING COUNT(*) >= 3 ORDER BY m.id_group, m.id_semester, m.id_student"),
            {QString::fromLatin1(DemoUsers::Editor)});
        QVERIFY2(found.ok && found.firstResult() && !found.firstResult()->rows.empty(), qPrintable(found.error));
        const QVariantList &row = found.firstResult()->rows.front();
        m_selection = {row.at(0).toInt(), row.at(1).toInt(), row.at(2).toInt()};
    }

    void cleanup()
    {
        DialogSeam::clear();
        m_window.reset();
        m_module.reset();
        m_db.reset();
    }

    void datasets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isStatic");
        QTest::addColumn<bool>("isBatch");
        QTest::addColumn<QString>("source");
        auto row = [](const char *name, const QString &text, bool isStatic, bool isBatch, const char *source) {
            QTest::newRow(name) << QString::fromLatin1(name) << text << isStatic << isBatch << QString::fromLatin1(source);
        };
        row("ADOQ_group", QStringLiteral("SELECT  * FROM [group]"), true, false, "DS_group");
        row("ADOQ_g_sem", QStringLiteral("select * from g_sem "), true, false, "DS_g_sem");
        row("ADOQ_s_fio", QStringLiteral("select * from s_fio"), true, false, "DS_s_fio");
        row("ADOQ_t_fio", QStringLiteral("select * from t_fio"), true, false, "DS_T_fio");
        row("ADOQ_Discipline", QStringLiteral("select * from gr_sem_disc_exam"), true, false, "DS_discipline");
        row("ADOQ_estimation", QStringLiteral("select * from est2"), true, false, "DS_estimation");
        row("ADOQ_f_est", QStringLiteral("select * from f_est"), true, false, "DS_f_est");
        row("ADOQ_EstimationOther",
            QStringLiteral("SELECT EstimationOther.* \r\nFROM EstimationOther, com_sfe\r\nWHERE EstimationOther.id_ebe_var"
                           " = com_sfe.id_ebe_var AND\r\n             com_sfe.id_speciality=:id_speciality"),
            true, true, "DS_EstimationOther");
        row("ADOQ_g_s", QStringLiteral("Select * from  g_s"), false, false, "DS_g_s");
        row("ADOQ_Year", QStringLiteral("Select p32 from g_r_y"), false, false, "DS_Year");
        row("ADOTSemestr", QStringLiteral("semester"), true, false, "DS_Semestr");
        row("ADOT_Examination", QStringLiteral("examination"), true, false, "DS_Examination");
        row("ADOQEduc_sh", QStringLiteral("select top 0 * from educ_sh"), false, false, "DS_Educ_sh");
        row("ADOQuery1", QStringLiteral("select * from discipline"), false, false, "DataSource1");
        row("ADOQ_Vremennyi", QStringLiteral("select * from examination"), true, false, "DataSource2");
        row("ADO_SP_Sort", QStringLiteral("SORT_2_MARK_MAG;1"), true, false, "DS_SP_Sort");
        row("ADO_Del_SP", QStringLiteral("DEL_FROM_MARK_MAG;1"), true, true, "");
        row("ADOStoredProc1", QStringLiteral("CTRL_Z_Mark_mag;1"), false, false, "DS_Stored_Procedure");
        row("ADOQ_Buffer", QStringLiteral("Select * from del_mark_mag"), false, false, "DS_Buffer");
        row("ADOQ_del_discipline", QStringLiteral("select * from discipline"), false, false, "DS_del_discipline");
        row("ADOQ_Exec", QString(), false, false, "");
    }

    // Each dataset is found by its name with its text and options, and every list opens with that text.
    void datasets()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, isStatic);
        QFETCH(bool, isBatch);
        QFETCH(QString, source);
        auto *dataSet = m_module->findChild<TCustomADODataSet *>(name, Qt::FindDirectChildrenOnly);
        QVERIFY(dataSet);
        QCOMPARE(dataSet->Connection(), m_module->ADO_YOT);
        if (isStatic)
            QCOMPARE(dataSet->CursorType, ctStatic);
        QCOMPARE(dataSet->LockType == ltBatchOptimistic, isBatch);
        QString actual;
        if (auto *query = qobject_cast<TADOQuery *>(dataSet))
            actual = query->SQL().join(QStringLiteral("\r\n"));
        else if (auto *table = qobject_cast<TADOTable *>(dataSet))
            actual = table->TableName();
        else if (auto *procedure = qobject_cast<TADOStoredProc *>(dataSet))
            actual = procedure->ProcedureName();
        QCOMPARE(actual, text);
        if (!source.isEmpty()) {
            auto *link = m_module->findChild<TDataSource *>(source, Qt::FindDirectChildrenOnly);
            QVERIFY(link);
            QCOMPARE(link->DataSet(), dataSet);
        }

        if (!qobject_cast<TADOQuery *>(dataSet) && !qobject_cast<TADOTable *>(dataSet))
            return;
        if (text.isEmpty())
            return;
        CHECKED(signIn(DemoUsers::Editor));
        if (name == QLatin1String("ADOQ_EstimationOther"))
            m_module->ADOQ_EstimationOther->Parameters()->ParamByName(QStringLiteral("id_speciality"))->Value = 1;
        try {
            dataSet->Open();
        } catch (const Exception &e) {
            QFAIL(qPrintable(e.Message));
        }
        QVERIFY(dataSet->Active());
    }

    void procedureParameters()
    {
        auto describe = [](TADOStoredProc *procedure) {
            QStringList out;
            for (int i = 0; i < procedure->Parameters()->Count(); ++i) {
                const TParameter *p = procedure->Parameters()->Items(i);
                out << QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(p->Name)
                           .arg(p->DataType)
                           .arg(p->Direction)
                           .arg(p->Size)
                           .arg(p->Nullable ? "null" : "not null");
            }
            return out;
        };
        const QString ret = QStringLiteral("@RETURN_VALUE %1 %2 0 not null").arg(ftInteger).arg(pdReturnValue);
        auto integer = [](const char *name) { return QStringLiteral("%1 %2 %3 0 null").arg(QLatin1String(name)).arg(ftInteger).arg(pdInput); };
        QCOMPARE(describe(m_module->ADO_SP_Sort), QStringList({ret, integer("@group"), integer("@semester"), integer("@student")}));
        QCOMPARE(describe(m_module->ADO_Del_SP),
                 QStringList({ret, QStringLiteral("@id_mark_mag %1 %2 100 null").arg(ftString).arg(pdInput)}));
        QCOMPARE(describe(m_module->ADOStoredProc1), QStringList({ret, integer("@group"), integer("@semester")}));
        QCOMPARE(m_module->ADO_SP_Sort->CommandTimeout, 120);
    }

    // The persistent fields bind to what the journal procedure returns, in the fixed order.
    void journalFieldsCarryTheProcedureRows()
    {
        CHECKED(signInAndLoad(DemoUsers::Editor));
        TADOStoredProc *journal = m_module->ADO_SP_Sort;
        QStringList names;
        for (const TField *field : journal->Fields())
            names << field->FieldName();
        QCOMPARE(names.join(u' '),
                 QStringLiteral("primech dopusk_izm EstimationOther id_estimation_other id_mark_mag id_group id_student "
                                "id_examination id_discipline id_estimation id_semester id_teacher p35 p36 id_f_est oper "
                                "u_date semestr No teacher f_est student discipline estimation exam OLM_User OLM_Update"));
        journal->First();
        const QVariant id = m_module->ADO_SP_Sortid_mark_mag->Value();
        for (const char *column : {"id_group", "id_student", "id_semester", "id_discipline", "id_examination",
                                   "id_estimation", "id_teacher", "p35", "primech"})
            QCOMPARE(journal->FieldByName(QString::fromLatin1(column))->AsString(),
                     serverValue(column, id).toString());
        QCOMPARE(m_module->ADO_SP_Sortstudent->AsString(),
                 adminValue(QStringLiteral("SELECT s_fio FROM s_fio WHERE id_student = ?"), {m_selection.student}).toString());
        QCOMPARE(m_module->ADO_SP_Sortsemestr->AsString(),
                 adminValue(QStringLiteral("SELECT p43 FROM semester WHERE id_semester = ?"), {m_selection.semester}).toString());
        QVERIFY(!m_module->ADO_SP_Sortdiscipline->AsString().isEmpty());
        QVERIFY(m_module->ADO_SP_Sortid_mark_mag->ReadOnly() && m_module->ADO_SP_Sortexam->ReadOnly());
        QCOMPARE(m_module->ADO_SP_Sortp36->DisplayFormat(), QStringLiteral("dd.mm.yyyy"));
        QCOMPARE(m_module->ADO_SP_Sortp36->EditMask(), QStringLiteral("##/##/####"));
    }

    void insertAndAppendDoNothing()
    {
        CHECKED(signInAndLoad(DemoUsers::Editor));
        ScopedDialogAnswers answers;
        TADOStoredProc *journal = m_module->ADO_SP_Sort;
        const int rows = journal->RecordCount();
        QVERIFY_THROWS_EXCEPTION(EAbort, journal->Insert());
        QVERIFY_THROWS_EXCEPTION(EAbort, journal->Append());
        m_window->show();
        TDBGridEh *grid = m_window->JournalGrid();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Insert);
        journal->Last();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(journal->State(), dsBrowse);
        QCOMPARE(journal->RecordCount(), rows);
        QCOMPARE(grid->model()->rowCount(), rows);
        QVERIFY(answers.shown().isEmpty());
        QVERIFY(m_window->allBoxesEnabled());
    }

    // Signed in as the editing user: an edit posted through the journal is on the server, the selection is
    // locked while editing, and the status bar and the full mark list follow the post.
    void postedEditIsStored()
    {
        CHECKED(signInAndLoad(DemoUsers::Editor));
        TADOStoredProc *journal = m_module->ADO_SP_Sort;
        journal->First();
        journal->Next();
        const QVariant id = m_module->ADO_SP_Sortid_mark_mag->Value();
        journal->Edit();
        QVERIFY(m_window->allBoxesDisabled());
        m_module->ADO_SP_Sortp35->setAsString(QStringLiteral("В-17"));
        m_module->ADOQ_estimation->setSQLText(QStringLiteral("select * from est2 where id_examination = 1"));
        m_module->ADOQ_estimation->Open();
        try {
            journal->Post();
        } catch (const Exception &e) {
            QFAIL(qPrintable(e.Message));
        }
        QCOMPARE(serverValue("p35", id).toString(), QStringLiteral("В-17"));
        QVERIFY(m_window->allBoxesEnabled());
        QCOMPARE(m_window->panels.value(0), QStringLiteral("Количество записей: %1").arg(journal->RecordCount()));
        QCOMPARE(m_module->ADOQ_estimation->SQLText(), QStringLiteral("select * from est2"));
        QVERIFY(m_module->ADOQ_estimation->Active());
        QCOMPARE(m_module->ADOQ_estimation->RecordCount(), adminValue(QStringLiteral("SELECT COUNT(*) FROM est2")).toInt());
    }

    void beforePostWritesChosenKeys_data()
    {
        QTest::addColumn<bool>("group");
        QTest::addColumn<bool>("semester");
        QTest::addColumn<bool>("studentKey");
        QTest::addColumn<bool>("studentListOpen");
        QTest::addColumn<bool>("groupWritten");
        QTest::addColumn<bool>("studentWritten");
        QTest::newRow("all chosen") << true << true << true << true << true << true;
        QTest::newRow("no semester") << true << false << true << true << false << true;
        QTest::newRow("no group") << false << true << true << true << false << true;
        QTest::newRow("student key without text") << true << true << true << false << true << false;
        QTest::newRow("nothing chosen") << false << false << false << true << false << false;
    }

    // Keys other than the row's show what the handler wrote.
    void beforePostWritesChosenKeys()
    {
        QFETCH(bool, group);
        QFETCH(bool, semester);
        QFETCH(bool, studentKey);
        QFETCH(bool, studentListOpen);
        QFETCH(bool, groupWritten);
        QFETCH(bool, studentWritten);
        CHECKED(signInAndLoad(DemoUsers::Editor));
        const int otherStudent =
            adminValue(QStringLiteral("SELECT MIN(id_student) FROM s_fio WHERE id_student <> ?"), {m_selection.student}).toInt();
        const Selection other{m_selection.group + 1000, m_selection.semester + 1000, otherStudent};
        m_window->GroupBox()->setKeyValue(group ? QVariant(other.group) : QVariant());
        m_window->SemesterBox()->setKeyValue(semester ? QVariant(other.semester) : QVariant());
        m_window->StudentBox()->setKeyValue(studentKey ? QVariant(other.student) : QVariant());
        if (!studentListOpen)
            m_module->ADOQ_s_fio->Close();
        QCOMPARE(m_window->StudentBox()->Text().isEmpty(), !(studentKey && studentListOpen));

        TADOStoredProc *journal = m_module->ADO_SP_Sort;
        journal->Edit();
        m_module->ADO_SP_SortBeforePost(journal);
        QCOMPARE(m_module->ADO_SP_Sortid_group->AsInteger(), groupWritten ? other.group : m_selection.group);
        QCOMPARE(m_module->ADO_SP_Sortid_semester->AsInteger(), groupWritten ? other.semester : m_selection.semester);
        QCOMPARE(m_module->ADO_SP_Sortid_student->AsInteger(), studentWritten ? other.student : m_selection.student);
        QVERIFY(m_window->allBoxesEnabled());
        journal->Cancel();
    }

    void cancelRereadsJournalAndUnlocks()
    {
        CHECKED(signInAndLoad(DemoUsers::Editor));
        TADOStoredProc *journal = m_module->ADO_SP_Sort;
        journal->First();
        const QVariant id = m_module->ADO_SP_Sortid_mark_mag->Value();
        journal->Edit();
        m_module->ADO_SP_Sortp35->setAsString(QStringLiteral("local"));
        m_module->ADOQ_estimation->setSQLText(QStringLiteral("select * from est2 where id_examination = 2"));
        QVERIFY(admin(QStringLiteral("UPDATE mark_mag SET p35 = 'server' WHERE id_mark_mag = ?"), {id}).ok);
        journal->Cancel();
        QCOMPARE(journal->State(), dsBrowse);
        QCOMPARE(m_module->ADO_SP_Sortid_mark_mag->Value(), id);
        QCOMPARE(m_module->ADO_SP_Sortp35->AsString(), QStringLiteral("server"));
        QVERIFY(m_window->allBoxesEnabled());
        QCOMPARE(m_module->ADOQ_estimation->SQLText(), QStringLiteral("select * from est2"));
        QVERIFY(m_module->ADOQ_estimation->Active());
    }

    void rowsAreNumberedWhileAStudentIsShown()
    {
        CHECKED(signInAndLoad(DemoUsers::Editor));
        const olm::server::Outcome rows = m_db->administrator()->callProcedure(
            QStringLiteral("SORT_2_MARK_MAG;1"), {m_selection.group, m_selection.semester, m_selection.student});
        QVERIFY2(rows.ok && rows.firstResult(), qPrintable(rows.error));
        const int idColumn = 3;
        QList<int> procedureOrder;
        for (const QVariantList &row : rows.firstResult()->rows)
            procedureOrder << row.at(idColumn).toInt();
        QList<int> numbers;
        for (int i = 1; i <= procedureOrder.size(); ++i)
            numbers << i;
        QCOMPARE(journalColumn("id_mark_mag"), procedureOrder);
        QCOMPARE(journalColumn("No"), numbers);

        m_window->StudentBox()->setKeyValue(QVariant());
        m_module->ADO_SP_Sort->Refresh();
        QCOMPARE(journalColumn("No"), QList<int>(procedureOrder.size(), -1));
    }

    // The read-only user's post reaches the server and is refused there.
    void refusedPostNamesTheColumnAndCancels()
    {
        CHECKED(signInAndLoad(DemoUsers::Reader));
        ScopedDialogAnswers answers;
        TADOStoredProc *journal = m_module->ADO_SP_Sort;
        journal->First();
        const QVariant id = m_module->ADO_SP_Sortid_mark_mag->Value();
        const QString before = m_module->ADO_SP_Sortp35->AsString();
        TDBGridEh *grid = m_window->JournalGrid();
        grid->setCol(grid->ColumnByFieldName(QStringLiteral("estimation"))->Index() + 1);
        journal->Edit();
        m_module->ADO_SP_Sortp35->setAsString(before + QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, journal->Post());
        QCOMPARE(answers.shown().size(), 1);
        const ShownMessage shown = answers.shown().front();
        QCOMPARE(shown.kind, QStringLiteral("MessageBoxA"));
        QCOMPARE(shown.text, QStringLiteral("Вы пытаетесь изменить запись в поле \"Оценка\", но у вас нет на это прав."));
        QCOMPARE(shown.caption, QStringLiteral("Warning!"));
        QCOMPARE(shown.type, MB_ICONWARNING | MB_OK);
        QVERIFY(!shown.hasOwner);
        QCOMPARE(journal->State(), dsBrowse);
        QCOMPARE(m_module->ADO_SP_Sortp35->AsString(), before);
        QCOMPARE(serverValue("p35", id).toString(), before);
        QVERIFY(m_window->allBoxesEnabled());
    }

    void refusedDeleteShowsTheErrorDialog()
    {
        CHECKED(signInAndLoad(DemoUsers::Reader));
        ScopedDialogAnswers answers;
        TADOStoredProc *journal = m_module->ADO_SP_Sort;
        const int rows = journal->RecordCount();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, journal->Delete());
        QCOMPARE(journal->RecordCount(), rows);
        QCOMPARE(answers.shown().size(), 1);
        QCOMPARE(answers.shown().front().kind, QStringLiteral("Error"));
        QCOMPARE(answers.shown().front().text,
                 QStringLiteral("Вы пытаетесь удалить строку, но у вас нет на это прав.") + kRefusedLines);
    }

    void errorHandlers_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<unsigned>("type");
        QTest::newRow("edit") << true << QStringLiteral("MessageBoxA")
                              << QStringLiteral("Вы пытаетесь изменить строку, но у вас нет на это прав.") + kRefusedLines
                              << (MB_ICONWARNING | MB_OK);
        QTest::newRow("delete") << false << QStringLiteral("Error")
                                << QStringLiteral("Вы пытаетесь удалить строку, но у вас нет на это прав.") + kRefusedLines
                                << (MB_ICONERROR | MB_OK);
    }

    // Edit errors do not come from the server; the handler is called as the dataset would.
    void errorHandlers()
    {
        QFETCH(bool, edit);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(unsigned, type);
        ScopedDialogAnswers answers;
        EDatabaseError error(QStringLiteral("refused"));
        TDataAction action = daFail;
        if (edit)
            m_module->ADO_SP_SortEditError(m_module->ADO_SP_Sort, error, action);
        else
            m_module->ADO_SP_SortDeleteError(m_module->ADO_SP_Sort, error, action);
        QCOMPARE(action, daFail);
        QCOMPARE(answers.shown().size(), 1);
        const ShownMessage shown = answers.shown().front();
        QCOMPARE(shown.kind, kind);
        QCOMPARE(shown.text, text);
        QCOMPARE(shown.type, type);
        QVERIFY(!shown.hasOwner);
        if (edit)
            QCOMPARE(shown.caption, QStringLiteral("Warning!"));
    }

    // Without a journal window the handlers skip the boxes, grid and status bar; a post still works.
    void handlersWithoutWindow()
    {
        CHECKED(signInAndLoad(DemoUsers::Editor));
        m_window.reset();
        TADOStoredProc *journal = m_module->ADO_SP_Sort;
        journal->Refresh();
        QCOMPARE(journalColumn("No"), QList<int>(journal->RecordCount(), -1));
        journal->First();
        const QVariant id = m_module->ADO_SP_Sortid_mark_mag->Value();
        journal->Edit();
        m_module->ADO_SP_Sortp35->setAsString(QStringLiteral("без окна"));
        journal->Post();
        QCOMPARE(serverValue("p35", id).toString(), QStringLiteral("без окна"));
        journal->Edit();
        journal->Cancel();
        QCOMPARE(journal->State(), dsBrowse);
    }

    // The module is the global one while it lives; going away it closes the connection.
    void destroyingDisconnects()
    {
        CHECKED(signInAndLoad(DemoUsers::Editor));
        m_module->DataModuleDestroy(m_module.get());
        QVERIFY(!m_module->ADO_YOT->Connected());
        QVERIFY(!m_module->ADO_SP_Sort->Active());
        QVERIFY(!m_module->ADOQ_group->Active());
        QCOMPARE(DM_YOT, m_module.get());
        m_window.reset();
        m_module.reset();
        QCOMPARE(DM_YOT, nullptr);
    }
};

OLM_TEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
