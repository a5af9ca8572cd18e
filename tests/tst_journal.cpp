// The journal window driven like a user would, on a fresh demo database signed in through the real sign-in
// window: its layout, the selection cascade and what it sends to the server, the status texts, the failure
// paths, the change history of an edit, the address history file and the deletion confirmation dialog.
#include "app/Unit10.h"
#include "data/Unit1.h"
#include "data/log_u.h"
#include "gridevents/QZ_DBGrd_Evns.h"
#include "journal/StatusBar.h"
#include "journal/Unit2.h"
#include "journal/Unit3.h"
#include "platform/IdIPWatch.h"
#include "server/Database.h"
#include "tests/support/DemoUsers.h"
#include "tests/support/SignInSetup.h"
#include "tests/support/TestDatabase.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/BitBtn.h"
#include "toolkit/ui/DBLookupComboBox.h"
#include "toolkit/ui/Dialogs.h"
#include "toolkit/ui/StringGrid.h"
#include "tests/support/TestMain.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace {

const QString InformaticsInfo = QStringLiteral(" [Прикладная информатика] [2021/2022]");
const QString Group1 = QStringLiteral("ПИ-21");
const QString Semester1 = QStringLiteral("1 семестр");
const QString Semester2 = QStringLiteral("2 семестр");
// Third student of ПИ-21 (id 3).
const QString Student3 = QStringLiteral("Воронин Артём Игоревич");

// Chooses an item as a user does: opens the drop-down, moves to the item, presses Enter.
bool choose(TDBLookupComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    if (!box->isEnabled() || !box->isVisible() || index < 0)
        return false;
    box->showPopup();
    QAbstractItemView *view = box->view();
    view->setCurrentIndex(view->model()->index(index, box->modelColumn()));
    QTest::keyClick(view, Qt::Key_Return);
    return box->Text() == text;
}

// Answers the sign-in window by typing the credentials and pressing Enter, or by its exit button.
int answerSignIn(QDialog *dialog, const QString &login, const QString &password)
{
    auto *form = qobject_cast<TForm8 *>(dialog);
    if (!form)
        return mrCancel;
    if (login.isEmpty()) {
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    } else {
        QTest::keyClicks(form->Login_Edit, login);
        QTest::keyClicks(form->Password_Edit, password);
        QTest::keyClick(form->Password_Edit, Qt::Key_Return);
    }
    return dialog->result();
}

// Makes itself the current folder, where the address watcher writes its history.
class CurrentFolder {
public:
    CurrentFolder() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_folder.path()); }
    ~CurrentFolder() { QDir::setCurrent(m_previous); }
    QString path() const { return m_folder.path(); }

private:
    QTemporaryDir m_folder;
    QString m_previous;
};

// The program as it starts: a fresh demo database, the data module, the journal window signed in.
struct Journal {
    CurrentFolder folder;
    TestDatabase db;
    SignInSetup setup;
    std::unique_ptr<TDM_YOT> dm;
    std::unique_ptr<TForm2> window;

    /// prepare runs on the database before the program starts.
    explicit Journal(const QString &login = QLatin1String(DemoUsers::Editor),
                     const QString &password = QLatin1String(DemoUsers::EditorPassword),
                     const std::function<void(olm::server::Administration &)> &prepare = {})
    {
        if (!db.isValid())
            return;
        if (prepare)
            prepare(*administration());
        dm = std::make_unique<TDM_YOT>();
        const ScopedDialogAnswers signIn(
            [&](QDialog *dialog) { return answerSignIn(dialog, login, password); });
        window = std::make_unique<TForm2>();
    }
    ~Journal()
    {
        window.reset();
        dm.reset();
    }

    std::unique_ptr<olm::server::Administration> administration() const
    {
        QString error;
        auto admin = olm::server::Administration::open(db.path(), &error);
        if (!admin)
            qWarning("administration: %s", qPrintable(error));
        return admin;
    }
    /// The first value of the first row a statement answers, as the administrator sees it.
    QVariant value(const QString &statement, const QVariantList &params = {}) const
    {
        const olm::server::Outcome outcome = administration()->execute(statement, params);
        if (!outcome.ok || !outcome.firstResult() || outcome.firstResult()->rows.empty())
            return {};
        return outcome.firstResult()->rows.front().value(0);
    }
    /// The statements the client's session sent while the trace was on, oldest first.
    QStringList traced() const
    {
        QString error;
        const auto entries = administration()->trace(&error);
        QStringList statements;
        const QString login = SignInSetup::signInUser(db.path(), QLatin1String(DemoUsers::Editor)).databaseLogin;
        for (const olm::server::TraceEntry &entry : entries.value_or(QList<olm::server::TraceEntry>())) {
            if (entry.login.compare(login, Qt::CaseInsensitive) == 0)
                statements.append(entry.statement);
        }
        return statements;
    }
    void setTrace(bool on) const
    {
        QString error;
        administration()->setTrace(on, &error);
    }
    /// Forgets what was traced so far and goes on tracing.
    void restartTrace() const
    {
        setTrace(false);
        administration()->execute(QStringLiteral("DELETE FROM srv_trace"));
        setTrace(true);
    }

    bool chooseGroup(const QString &text) const { return choose(window->DBLookupComboBox1, text); }
    bool chooseSemester(const QString &text) const { return choose(window->DBLookupComboBox2, text); }
    bool chooseStudent(const QString &text) const { return choose(window->DBLookupComboboxEh1, text); }
    bool chooseAll(const QString &group, const QString &semester, const QString &student) const
    {
        return chooseGroup(group) && chooseSemester(semester) && chooseStudent(student);
    }
    void show() const
    {
        window->showNormal();
        window->resize(1280, 800);
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    TDataSet *journal() const { return dm->ADO_SP_Sort; }
    QString statusText(int index) const { return window->StatusBar1->PanelText(index); }
};

} // namespace

class TestJournal : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowProperties();
    void bandsAsLaidOut();
    void selectionBar_data();
    void selectionBar();
    void gridColumns_data();
    void gridColumns();
    void statusBarAtStart();
    void gridComponentWiring();
    void creationSignsInAndSetsUpTheHistory();
    void cancelledSignInTerminates();

    void selectionStates();
    void statementsSent();
    void specialMarkColumn_data();
    void specialMarkColumn();
    void statusPanels();
    void newRecordShowsAsNew();
    void semesterChangeReloadsTheStudentsJournal();
    void groupWithoutStudents();
    void groupWithoutSemesters();
    void resizeSetsTheStudentBoxWidth();
    void databaseErrorLeavesTheWindowUsable_data();
    void databaseErrorLeavesTheWindowUsable();

    void closingPostsThePendingEdit_data();
    void closingPostsThePendingEdit();
    void closingTellsWhenThePostIsRefused();
    void addressHistoryWrittenOnDestruction();
    void editedMarkAndDateAreStoredAndLogged();
    void invalidDateLeftWithDownIsReportedOnce();
    void gridTitlesReadWhole();

    void confirmationDialogLayout();
    void confirmationDialogCentresTheButtonsOnTheOldWidth();
    void confirmationDialogKeys_data();
    void confirmationDialogKeys();
    void confirmDeleteWithoutSelection();
    void confirmDeleteListsTheSelectedRows_data();
    void confirmDeleteListsTheSelectedRows();
    void confirmDeleteHiddenSpecialMarkColumn();
    void confirmDeleteListsManyRows();

private:
    std::unique_ptr<TApplication> m_application;
    std::unique_ptr<ScopedDialogAnswers> m_answers;
};

void TestJournal::init()
{
    // A terminated application stays terminated, so each case gets its own.
    m_application = std::make_unique<TApplication>();
    m_application->setTitle(QStringLiteral("OLM 16 Учет успеваемости"));
    m_application->setShowMainForm(false);
    m_answers = std::make_unique<ScopedDialogAnswers>();
}

void TestJournal::cleanup()
{
    m_answers.reset();
    m_application.reset();
}

void TestJournal::windowProperties()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    TForm2 &w = *j.window;
    QCOMPARE(w.windowTitle(), QStringLiteral("OLM 16 Учет успеваемости"));
    QCOMPARE(w.minimumSize(), QSize(803, 326));
    QVERIFY(w.windowState() & Qt::WindowMaximized);
    QCOMPARE(w.palette().color(QPalette::Window), ColorToQColor(clSilver));
    QCOMPARE(w.font(), TFont(QStringLiteral("MS Sans Serif"), 8).toQFont());
    QCOMPARE(w.InfoPanel->font(), TFont(QStringLiteral("MS Sans Serif"), 10, fsBold).toQFont());
    QVERIFY(w.InfoPanel->text().isEmpty());
    // Maximised by the message loop's show, as the program starts.
    Application->setMainForm(&w);
    QTimer::singleShot(0, &w, [] { Application->Terminate(); });
    Application->Run();
    QVERIFY(w.isMaximized());
}

void TestJournal::bandsAsLaidOut()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    const auto inWindow = [&w](const QWidget *widget) {
        return QRect(widget->mapTo(&w, QPoint(0, 0)), widget->size());
    };
    QCOMPARE(inWindow(w.InfoPanel), QRect(0, 0, 1280, 31));
    QCOMPARE(inWindow(w.Bevel2), QRect(0, 31, 1280, 2));
    QCOMPARE(inWindow(w.Panel3), QRect(0, 33, 1280, 38));
    QCOMPARE(inWindow(w.Panel4), QRect(0, 33, 1280, 31));
    QCOMPARE(inWindow(w.Bevel4), QRect(0, 71, 1280, 5));
    QCOMPARE(inWindow(w.Bevel1), QRect(0, 76, 6, 800 - 76 - 19));
    QCOMPARE(inWindow(w.DBGridEh1), QRect(6, 76, 1280 - 12, 800 - 76 - 19));
    QCOMPARE(inWindow(w.Bevel3), QRect(1274, 76, 6, 800 - 76 - 19));
    QCOMPARE(inWindow(w.Panel2), QRect(0, 800 - 19, 1280, 19));
    QCOMPARE(w.StatusBar1->parentWidget(), w.Panel2);
}

void TestJournal::selectionBar_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::newRow("Label2") << "Label2" << QPoint(8, 10) << 0 << "Выберите группу:";
    QTest::newRow("DBLookupComboBox1") << "DBLookupComboBox1" << QPoint(151, 8) << 155 << "";
    QTest::newRow("Label3") << "Label3" << QPoint(317, 10) << 0 << "Выберите семестр:";
    QTest::newRow("DBLookupComboBox2") << "DBLookupComboBox2" << QPoint(470, 8) << 153 << "";
    QTest::newRow("Label1") << "Label1" << QPoint(634, 10) << 0 << "Студент:";
    QTest::newRow("DBLookupComboboxEh1") << "DBLookupComboboxEh1" << QPoint(706, 8) << 257 << "";
}

void TestJournal::selectionBar()
{
    QFETCH(QString, name);
    QFETCH(QPoint, position);
    QFETCH(int, width);
    QFETCH(QString, text);
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    auto *control = j.window->Panel4->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->pos(), position);
    if (width > 0)
        QCOMPARE(control->width(), width);
    if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->font(), TFont(QStringLiteral("MS Sans Serif"), 10, fsBold).toQFont());
        QCOMPARE(label->palette().color(QPalette::WindowText), ColorToQColor(clNavy));
    }
}

void TestJournal::gridColumns_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("dropDownWidth");
    QTest::newRow("0") << 0 << "No" << "П/П" << 37 << false << true << 0;
    QTest::newRow("1") << 1 << "primech" << "Допуск по оплате" << 53 << false << true << 0;
    QTest::newRow("2") << 2 << "discipline" << "Дисциплина" << 227 << true << true << 450;
    QTest::newRow("3") << 3 << "teacher" << "Преподаватель" << 86 << false << true << 300;
    QTest::newRow("4") << 4 << "exam" << "Форм/контр." << 74 << true << true << 0;
    QTest::newRow("5") << 5 << "estimation" << "Оценка" << 64 << false << true << 0;
    QTest::newRow("6") << 6 << "f_est" << "Форма ведомости" << 98 << false << true << 0;
    QTest::newRow("7") << 7 << "p35" << "№" << 64 << false << true << 0;
    QTest::newRow("8") << 8 << "p36" << "Дата сдачи" << 72 << false << true << 0;
    QTest::newRow("9") << 9 << "EstimationOther" << "Особая оценка" << 64 << false << false << 0;
}

void TestJournal::gridColumns()
{
    QFETCH(int, index);
    QFETCH(QString, field);
    QFETCH(QString, title);
    QFETCH(int, width);
    QFETCH(bool, readOnly);
    QFETCH(bool, visible);
    QFETCH(int, dropDownWidth);
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    TQZDBGridEh *grid = j.window->DBGridEh1;
    QCOMPARE(grid->ColumnCount(), 10);
    const TColumnEh *column = grid->Columns(index);
    QCOMPARE(column->FieldName, field);
    QCOMPARE(column->Title.Caption, title);
    QCOMPARE(column->Width, width);
    QCOMPARE(column->ReadOnly, readOnly);
    QCOMPARE(column->Visible, visible);
    QCOMPARE(column->DropDownWidth, dropDownWidth);
    QCOMPARE(column->Color, clWhite);
    const QStringList pickList = index == 1 ? QStringList{QStringLiteral("д"), QStringLiteral("н/д")} : QStringList();
    QCOMPARE(column->PickList, pickList);
}

void TestJournal::statusBarAtStart()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    const TStatusBar *bar = j.window->StatusBar1;
    QCOMPARE(bar->PanelCount(), 4);
    const QStringList texts{QStringLiteral("Количество записей: 0"), QStringLiteral("Текущая запись: 0"),
                            QStringLiteral("Выполнение: Удачно"), QString()};
    const QList<int> widths{150, 150, 150, 50};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(bar->PanelText(i), texts[i]);
        QCOMPARE(bar->PanelWidth(i), widths[i]);
        QCOMPARE(bar->PanelAlignment(i), taCenter);
    }
}

void TestJournal::gridComponentWiring()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    const TQZDBGridEh *grid = j.window->DBGridEh1;
    QVERIFY(!grid->DataSource());
    QCOMPARE(grid->VertScrollBarVisibleMode, sbNeverShowEh);
    TQZDBGridEvents *component = j.window->F1_QZ_DM_YOT;
    QCOMPARE(component->DBGridEh(), grid);
    QCOMPARE(component->UniqueField(), j.dm->ADO_SP_Sortid_mark_mag);
    QVERIFY(!component->Active());
    // Rows with the same discipline and form of assessment are the duplicates.
    QCOMPARE(component->DuplicateFields().items(),
             (QList<TField *>{j.dm->ADO_SP_Sortid_discipline, j.dm->ADO_SP_Sortid_examination}));
    QVERIFY(component->OnKeyDown && component->OnDrawColumnCell && component->OnQZDBEOnConfirmDelete);
    QVERIFY(grid->OnKeyPress && grid->OnMouseDown && grid->OnKeyUp);
    for (int column : {1, 5, 6})
        QVERIFY(grid->Columns(column)->OnUpdateData);
    QVERIFY(j.window->IdIPWatch1->Active());
    QVERIFY(j.window->IdIPWatch1->HistoryEnabled());
}

void TestJournal::creationSignsInAndSetsUpTheHistory()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    QVERIFY2(m_answers->shown().isEmpty(), qPrintable(m_answers->shown().value(0).text));
    QVERIFY(!Application->Terminated());
    QVERIFY(Application->ShowMainForm());
    QCOMPARE(j.window->LoginName, QLatin1String(DemoUsers::Editor));
    QCOMPARE(j.window->LoginId, SignInSetup::signInUser(j.db.path(), QLatin1String(DemoUsers::Editor)).id);
    QCOMPARE(j.window->ComputerName, QLatin1String(SignInSetup::ComputerName));
    QVERIFY(j.window->findChildren<TForm8 *>().isEmpty());
    QCOMPARE(j.dm->journalWindow(), j.window.get());
    // Sorted on the client after the sign-in opened them.
    QCOMPARE(j.dm->ADOQ_group->Sort(), QStringLiteral("p20"));
    QCOMPARE(j.dm->ADOQ_s_fio->Sort(), QStringLiteral("s_fio"));

    const TADOUpdateHistoryExec *history = j.window->UpdateHistory();
    QVERIFY(history);
    QCOMPARE(history->DataSet(), j.journal());
    QCOMPARE(history->TableName(), QStringLiteral("mark_mag"));
    QCOMPARE(history->KeyFieldName(), QStringLiteral("id_mark_mag"));
    QCOMPARE(history->Template(), QStringLiteral("Поле \"<?>\" изменило значение \"<old>\" на \"<new>\"."));
    QVERIFY(history->LogChanges() && history->LogDeletes());

    // Gone with the window: the journal has its own handlers back and no window to read.
    j.window.reset();
    QVERIFY(!j.dm->journalWindow());
}

void TestJournal::cancelledSignInTerminates()
{
    Journal j{QString(), QString()};
    QVERIFY2(j.window, qPrintable(j.db.error()));
    QVERIFY(Application->Terminated());
    QVERIFY(!Application->ShowMainForm());
    // The rest of the creation still ran, on closed lists.
    QVERIFY(j.window->UpdateHistory());
    QVERIFY(m_answers->shown().isEmpty());
    Application->setMainForm(j.window.get());
    QCOMPARE(Application->Run(), 0);
    QVERIFY(!j.window->isVisible());
}

void TestJournal::selectionStates()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    const auto state = [&](bool semesterEnabled, bool studentEnabled, bool bound, const QString &info) {
        QCOMPARE(w.DBLookupComboBox1->isEnabled(), true);
        QCOMPARE(w.DBLookupComboBox2->isEnabled(), semesterEnabled);
        QCOMPARE(w.DBLookupComboboxEh1->isEnabled(), studentEnabled);
        QCOMPARE(w.DBGridEh1->DataSource(), bound ? j.dm->DS_SP_Sort : nullptr);
        QCOMPARE(w.InfoPanel->text(), info);
    };

    state(false, false, false, QString());
    QVERIFY(j.chooseGroup(Group1));
    state(true, false, false, QStringLiteral(" [Прикладная информатика]"));
    QVERIFY(w.DBLookupComboBox2->Text().isEmpty());
    QVERIFY(w.DBLookupComboboxEh1->Text().isEmpty());

    QVERIFY(j.chooseSemester(Semester1));
    state(true, true, false, InformaticsInfo);
    QVERIFY(w.DBLookupComboboxEh1->Text().isEmpty());

    QVERIFY(j.chooseStudent(Student3));
    state(true, true, true, InformaticsInfo);
    QVERIFY(j.journal()->Active());
    QVERIFY(w.F1_QZ_DM_YOT->Active());
    QVERIFY(j.journal()->RecordCount() > 0);

    // Another group empties the rest, even with a journal shown.
    QVERIFY(j.chooseGroup(QStringLiteral("ЭК-21")));
    state(true, false, false, QStringLiteral(" [Экономика предприятия]"));
    QVERIFY(w.DBLookupComboBox2->KeyValue().isNull());
    QVERIFY(w.DBLookupComboboxEh1->KeyValue().isNull());
    QVERIFY(m_answers->shown().isEmpty());
}

void TestJournal::statementsSent()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    j.setTrace(true);
    const QString semesters = QStringLiteral(
        "Select  id_semester, p43, id_rate  from g_sem where  id_group=1 GROUP BY  id_semester, p43, id_rate ");
    const QString students =
        QStringLiteral("Select id_student, s_fio from s_g where id_group=1 GROUP BY dbo.s_g.id_student, dbo.s_g.s_fio");
    const QString marks = QStringLiteral("Select * from est2");
    const QString curriculum = QStringLiteral(" SELECT * FROM gr_sem_disc_exam WHERE  id_semester=1 and id_group=1");
    const QString year = QStringLiteral("Select top (1) g_r_y.* from g_r_y  where id_group=1 and id_rate=1");
    const QString insert = QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 1,1,3,1");
    // The data module's own text, its parameter bound.
    const QString specialMarks = QStringLiteral("SELECT EstimationOther.* \r\nFROM EstimationOther, com_sfe\r\n"
                                                "WHERE EstimationOther.id_ebe_var = com_sfe.id_ebe_var AND\r\n"
                                                "             com_sfe.id_speciality=?");

    QVERIFY(j.chooseGroup(Group1));
    QCOMPARE(j.traced(), (QStringList{QStringLiteral("Select * from g_s where id_group=1"), semesters, students,
                                      marks, curriculum}));
    j.restartTrace();

    // No student yet: nothing is created on the server.
    // No student yet: nothing is created on the server.
    QVERIFY(j.chooseSemester(Semester1));
    QCOMPARE(j.traced(), (QStringList{semesters, students, marks, curriculum, year, specialMarks}));
    j.restartTrace();

    // The rows are created before the journal is read with the three keys.
    QVERIFY(j.chooseStudent(Student3));
    QCOMPARE(j.traced(), (QStringList{semesters, students, marks, curriculum, insert, year, specialMarks, marks,
                                      QStringLiteral("EXEC SORT_2_MARK_MAG 1, 1, 3")}));
}

void TestJournal::specialMarkColumn_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("info");
    QTest::addColumn<bool>("shown");
    QTest::newRow("informatics has special marks") << "ПИ-22" << " [Прикладная информатика] [2022/2023]" << true;
    QTest::newRow("economics has none") << "ЭК-21" << " [Экономика предприятия] [2021/2022]" << false;
    QTest::newRow("law has none") << "ЮР-22" << " [Юриспруденция] [2022/2023]" << false;
}

void TestJournal::specialMarkColumn()
{
    QFETCH(QString, group);
    QFETCH(QString, info);
    QFETCH(bool, shown);
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TColumnEh *special = j.window->DBGridEh1->Columns(9);
    // From the other kind of speciality first, so the column has to change.
    QVERIFY(j.chooseGroup(shown ? QStringLiteral("ЭК-21") : Group1));
    QVERIFY(j.chooseSemester(Semester1));
    QCOMPARE(special->Visible, !shown);
    QVERIFY(j.chooseGroup(group));
    QVERIFY(j.chooseSemester(Semester1));
    QCOMPARE(j.window->InfoPanel->text(), info);
    QCOMPARE(special->Visible, shown);
    QCOMPARE(j.dm->ADOQ_EstimationOther->RecordCount() > 0, shown);
    QCOMPARE(j.window->DBGridEh1->isColumnHidden(9), !shown);
}

void TestJournal::statusPanels()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    const int rows =
        j.value(QStringLiteral("SELECT COUNT(*) FROM mark_mag WHERE id_group = 1 AND id_semester = 1 AND id_student = 3"))
            .toInt();
    QVERIFY(rows > 2);
    QCOMPARE(j.journal()->RecordCount(), rows);
    QCOMPARE(j.statusText(0), QStringLiteral("Количество записей: %1").arg(rows));
    QCOMPARE(j.statusText(1), QStringLiteral(" Текущая запись: 1"));
    QCOMPARE(j.statusText(2), QStringLiteral("Выполнение: Удачно"));
    QCOMPARE(j.statusText(3), QString());

    // A click in the grid shows the row; the second one finds the grid on it whatever the order of events.
    TQZDBGridEh *grid = j.window->DBGridEh1;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(3, 2).center());
    QCOMPARE(j.journal()->RecNo(), 3);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(3, 2).center());
    QCOMPARE(j.statusText(1), QStringLiteral(" Текущая запись: 3"));
    QCOMPARE(j.statusText(2), QStringLiteral("Выполнение: Удачно"));
    QCOMPARE(j.statusText(3), QString());
}

void TestJournal::newRecordShowsAsNew()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    // Any grid over a record that has no stored position yet.
    TDataSource source;
    source.setDataSet(j.dm->ADOQ_t_fio);
    TDBGridEh grid;
    grid.setDataSource(&source);
    j.window->ShowCurrentRecord(&grid);
    QCOMPARE(j.statusText(1), QStringLiteral(" Текущая запись: 1"));
    j.dm->ADOQ_t_fio->Insert();
    QCOMPARE(j.dm->ADOQ_t_fio->RecNo(), -1);
    j.window->ShowCurrentRecord(&grid);
    QCOMPARE(j.statusText(1), QStringLiteral(" Текущая запись: [новая]"));
    j.dm->ADOQ_t_fio->Cancel();
    // A closed journal leaves the text alone.
    j.dm->ADOQ_t_fio->Close();
    j.window->ShowCurrentRecord(&grid);
    QCOMPARE(j.statusText(1), QStringLiteral(" Текущая запись: [новая]"));
}

void TestJournal::semesterChangeReloadsTheStudentsJournal()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    j.setTrace(true);
    QVERIFY(j.chooseSemester(Semester2));
    TForm2 &w = *j.window;
    QCOMPARE(w.DBLookupComboboxEh1->Text(), Student3);
    QVERIFY(w.DBLookupComboboxEh1->isEnabled());
    QCOMPARE(w.DBGridEh1->DataSource(), j.dm->DS_SP_Sort);
    QVERIFY(j.journal()->Active());
    QVERIFY(j.traced().contains(QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 1,2,3,1")));
    const int rows =
        j.value(QStringLiteral("SELECT COUNT(*) FROM mark_mag WHERE id_group = 1 AND id_semester = 2 AND id_student = 3"))
            .toInt();
    QVERIFY(rows > 0);
    QCOMPARE(j.journal()->RecordCount(), rows);
    for (j.journal()->First(); !j.journal()->Eof(); j.journal()->Next()) {
        QCOMPARE(j.journal()->FieldByName(QStringLiteral("id_semester"))->AsInteger(), 2);
        QCOMPARE(j.journal()->FieldByName(QStringLiteral("id_student"))->AsInteger(), 3);
    }
    QCOMPARE(j.statusText(0), QStringLiteral("Количество записей: %1").arg(rows));
    QCOMPARE(j.statusText(1), QStringLiteral(" Текущая запись: 1"));
    QCOMPARE(w.InfoPanel->text(), InformaticsInfo);
    // The mark list is full again.
    QCOMPARE(j.dm->ADOQ_estimation->SQLText(), QStringLiteral("select * from est2"));
    QVERIFY(j.dm->ADOQ_estimation->Active());
}

void TestJournal::groupWithoutStudents()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseGroup(QStringLiteral("ЮР-23")));
    QVERIFY(j.chooseSemester(Semester1));
    QVERIFY(!j.window->DBLookupComboboxEh1->isEnabled());
    QCOMPARE(j.window->DBLookupComboboxEh1->count(), 0);
    QVERIFY(!j.window->DBGridEh1->DataSource());
    QCOMPARE(j.window->InfoPanel->text(), QStringLiteral(" [Юриспруденция] [2023/2024]"));
    QVERIFY(m_answers->shown().isEmpty());
}

void TestJournal::groupWithoutSemesters()
{
    Journal j(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword),
              [](olm::server::Administration &admin) {
                  admin.execute(QStringLiteral("INSERT INTO [group] (id_group, p20, id_speciality, o_z, start_year) "
                                               "VALUES (6, 'ЭК-24', 2, 1, 2024)"));
                  QString error;
                  admin.setUserGroups(QLatin1String(DemoUsers::Editor), {1, 2, 3, 4, 5, 6}, &error);
              });
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseGroup(QStringLiteral("ЭК-24")));
    QVERIFY2(m_answers->shown().isEmpty(), qPrintable(m_answers->shown().value(0).text));
    QVERIFY(j.dm->ADOQ_g_sem->Active());
    QCOMPARE(j.dm->ADOQ_g_sem->RecordCount(), 0);
    QVERIFY(j.dm->ADOQ_Discipline->Active());
    QCOMPARE(j.dm->ADOQ_Discipline->RecordCount(), 0);
    QCOMPARE(j.dm->ADOQ_Discipline->SQLText(),
             QStringLiteral(" SELECT * FROM gr_sem_disc_exam WHERE  id_semester=NULL and id_group=6"));
    QVERIFY(j.window->DBLookupComboBox2->isEnabled());
    QCOMPARE(j.window->DBLookupComboBox2->count(), 0);
    QVERIFY(!j.window->DBLookupComboboxEh1->isEnabled());
    QCOMPARE(j.window->InfoPanel->text(), QStringLiteral(" [Экономика предприятия]"));
}

void TestJournal::resizeSetsTheStudentBoxWidth()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    const int others = w.Label2->width() + w.DBLookupComboBox1->width() + w.Label3->width()
                       + w.DBLookupComboBox2->width() + w.Label1->width();
    QVERIFY(w.Label2->width() > 0 && w.Label3->width() > 0 && w.Label1->width() > 0);
    // The width before the resize counts, not the new one.
    w.resize(1100, 700);
    QCOMPARE(w.DBLookupComboboxEh1->width(), 1280 - others - 75);
    w.resize(1000, 700);
    QCOMPARE(w.DBLookupComboboxEh1->width(), 1100 - others - 75);
}

void TestJournal::databaseErrorLeavesTheWindowUsable_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("failsOnStudent");
    QTest::addColumn<QString>("text");
    QTest::newRow("student list refused")
        << "s_g" << "SELECT" << false
        << "The SELECT permission was denied on the object 's_g', database 'olm', schema 'dbo'.";
    QTest::newRow("journal refused")
        << "SORT_2_MARK_MAG" << "EXECUTE" << true
        << "The EXECUTE permission was denied on the object 'SORT_2_MARK_MAG', database 'olm', schema 'dbo'.";
}

void TestJournal::databaseErrorLeavesTheWindowUsable()
{
    QFETCH(QString, object);
    QFETCH(QString, action);
    QFETCH(bool, failsOnStudent);
    QFETCH(QString, text);
    QString login;
    Journal j(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword),
              [&](olm::server::Administration &admin) {
                  QString error;
                  const auto users = admin.users(&error);
                  for (const olm::server::SignInUser &user : users.value_or(QList<olm::server::SignInUser>())) {
                      if (user.login == QLatin1String(DemoUsers::Editor))
                          login = user.databaseLogin;
                  }
                  admin.execute(QStringLiteral("DELETE FROM srv_rights WHERE login = ? AND object = ? AND action = ?"),
                                {login, object, action});
              });
    QVERIFY2(j.window, qPrintable(j.db.error()));
    QVERIFY(!login.isEmpty());
    j.show();
    TForm2 &w = *j.window;
    if (failsOnStudent) {
        QVERIFY(j.chooseGroup(Group1));
        QVERIFY(j.chooseSemester(Semester1));
        QVERIFY(m_answers->shown().isEmpty());
        QVERIFY(j.chooseStudent(Student3));
    } else {
        QVERIFY(j.chooseGroup(Group1));
    }
    // The server's refusal, shown by the default error display.
    const QList<ShownMessage> shown = m_answers->shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, QStringLiteral("Error"));
    QCOMPARE(shown[0].caption, Application->Title());
    QCOMPARE(shown[0].text, text);
    QVERIFY(!w.DBGridEh1->DataSource());
    QVERIFY(!w.F1_QZ_DM_YOT->Active());
    QVERIFY(!j.journal()->ControlsDisabled());
    QVERIFY(w.DBLookupComboBox1->isEnabled());
    QVERIFY(w.DBLookupComboBox2->isEnabled());
    QCOMPARE(w.DBLookupComboboxEh1->isEnabled(), failsOnStudent);
    // Usable: the group box takes the next choice, which meets the same refusal or none.
    DialogSeam::clear();
    QVERIFY(j.chooseGroup(QStringLiteral("ЭК-21")));
    QCOMPARE(m_answers->shown().size(), failsOnStudent ? 0 : 1);
    QVERIFY(w.DBLookupComboBox2->isEnabled());
}

void TestJournal::closingPostsThePendingEdit_data()
{
    QTest::addColumn<bool>("logRefused");
    QTest::newRow("logged") << false;
    // The row is written, its log entry is refused: the user must see the server's text, not lose it.
    QTest::newRow("log entry refused") << true;
}

void TestJournal::closingPostsThePendingEdit()
{
    QFETCH(bool, logRefused);
    Journal j(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword),
              [logRefused](olm::server::Administration &admin) {
                  if (logRefused)
                      admin.execute(
                          QStringLiteral("DELETE FROM srv_rights WHERE object = 'OLM_LOG' AND action = 'INSERT'"));
              });
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TDataSet *journal = j.journal();
    const int id = journal->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
    journal->Edit();
    journal->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("777"));
    QVERIFY(!j.window->DBLookupComboBox1->isEnabled());
    QVERIFY(j.window->close());
    QCOMPARE(journal->State(), dsBrowse);
    QCOMPARE(j.value(QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = ?"), {id}).toString(),
             QStringLiteral("777"));
    QCOMPARE(j.value(QStringLiteral("SELECT COUNT(*) FROM OLM_LOG")).toInt(), logRefused ? 0 : 1);
    const QList<ShownMessage> shown = m_answers->shown();
    QCOMPARE(shown.size(), logRefused ? 1 : 0);
    if (logRefused)
        QVERIFY2(shown[0].text.contains(QLatin1String("OLM_LOG")), qPrintable(shown[0].text));
}

void TestJournal::closingTellsWhenThePostIsRefused()
{
    Journal j(QLatin1String(DemoUsers::Reader), QLatin1String(DemoUsers::ReaderPassword));
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TDataSet *journal = j.journal();
    const int id = journal->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
    const QVariant before = j.value(QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = ?"), {id});
    j.window->DBGridEh1->setCol(8);
    journal->Edit();
    journal->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("777"));
    QVERIFY(j.window->close());
    const QList<ShownMessage> shown = m_answers->shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Вы пытаетесь изменить запись в поле \"№\", но у вас нет на это прав."));
    QCOMPARE(shown[0].caption, QStringLiteral("Warning!"));
    QCOMPARE(shown[0].type, MB_ICONWARNING | MB_OK);
    QCOMPARE(journal->State(), dsBrowse);
    QCOMPARE(j.value(QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = ?"), {id}), before);
}

void TestJournal::addressHistoryWrittenOnDestruction()
{
    std::optional<Journal> j;
    j.emplace();
    QVERIFY2(j->window, qPrintable(j->db.error()));
    const QString history = QDir(j->folder.path()).filePath(QStringLiteral("iphist.dat"));
    QVERIFY(!QFile::exists(history));
    j->window.reset();
    QFile file(history);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts),
             QStringList{QLatin1String(SignInSetup::Address)});
}

void TestJournal::editedMarkAndDateAreStoredAndLogged()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    QCOMPARE(w.InfoPanel->text(), InformaticsInfo);
    TDataSet *journal = j.journal();
    TQZDBGridEh *grid = w.DBGridEh1;
    // An exam row, so the mark list offers the graded marks.
    QVERIFY(journal->Locate(QStringLiteral("id_examination"), 1));
    const int id = journal->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
    const int oldMark = journal->FieldByName(QStringLiteral("id_estimation"))->AsInteger();
    const QString oldDate = journal->FieldByName(QStringLiteral("p36"))->IsNull()
                                ? QStringLiteral("NULL")
                                : journal->FieldByName(QStringLiteral("p36"))->AsDateTime().toString(QStringLiteral("dd.MM.yyyy"));
    const int newMark = oldMark == 35 ? 34 : 35;

    grid->setFocus();
    grid->setCol(6);
    QTRY_VERIFY(qobject_cast<QComboBox *>(grid->InplaceEditor()));
    auto *marks = qobject_cast<QComboBox *>(grid->InplaceEditor());
    marks->showPopup();
    const int item = marks->findData(newMark);
    QVERIFY(item >= 0);
    marks->view()->setCurrentIndex(marks->model()->index(item, 0));
    QTest::keyClick(marks->view(), Qt::Key_Return);
    QCOMPARE(journal->State(), dsEdit);

    grid->setCol(9);
    QTRY_VERIFY(qobject_cast<QLineEdit *>(grid->InplaceEditor()));
    auto *date = qobject_cast<QLineEdit *>(grid->InplaceEditor());
    date->selectAll();
    QTest::keyClicks(date, QStringLiteral("15012022"));
    QTest::keyClick(grid->InplaceEditor(), Qt::Key_Down);
    QVERIFY2(m_answers->shown().isEmpty(), qPrintable(m_answers->shown().value(0).text));
    QCOMPARE(journal->State(), dsBrowse);

    QCOMPARE(j.value(QStringLiteral("SELECT id_estimation FROM mark_mag WHERE id_mark_mag = ?"), {id}).toInt(), newMark);
    QCOMPARE(j.value(QStringLiteral("SELECT p36 FROM mark_mag WHERE id_mark_mag = ?"), {id}).toDate(),
             QDate(2022, 1, 15));
    QString error;
    const auto log = j.administration()->log(&error);
    QVERIFY2(log, qPrintable(error));
    QCOMPARE(log->size(), 2);
    const QString computer = QLatin1String(SignInSetup::ComputerName) + QLatin1Char('\\')
                             + QLatin1String(SignInSetup::Address);
    QCOMPARE(log->at(0).description,
             QStringLiteral("Поле \"id_estimation\" изменило значение \"%1\" на \"%2\".").arg(oldMark).arg(newMark));
    QCOMPARE(log->at(1).description,
             QStringLiteral("Поле \"p36\" изменило значение \"%1\" на \"15.01.2022\".").arg(oldDate));
    for (const olm::server::LogEntry &entry : *log) {
        QCOMPARE(entry.table, QStringLiteral("mark_mag"));
        QCOMPARE(entry.rowId.toInt(), id);
        QCOMPARE(entry.user, QLatin1String(DemoUsers::Editor));
        QCOMPARE(entry.computer, computer);
    }
    QCOMPARE(j.statusText(0), QStringLiteral("Количество записей: %1").arg(journal->RecordCount()));
    QVERIFY(w.DBLookupComboBox1->isEnabled());

    // The window as laid out, for a person to look at.
    const QByteArray shot = qgetenv("OLM_JOURNAL_SCREENSHOT");
    if (!shot.isEmpty())
        QVERIFY(w.grab().save(QString::fromLocal8Bit(shot)));
}


void TestJournal::invalidDateLeftWithDownIsReportedOnce()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = w.DBGridEh1;
    QVERIFY(j.journal()->RecordCount() > 1);
    const QVariant dateBefore = j.journal()->FieldByName(QStringLiteral("p36"))->Value();
    grid->setFocus();
    grid->setCol(9);
    QTRY_VERIFY(qobject_cast<QLineEdit *>(grid->InplaceEditor()));
    auto *date = qobject_cast<QLineEdit *>(grid->InplaceEditor());
    date->selectAll();
    QTest::keyClicks(date, QStringLiteral("45132022"));

    // Real boxes, as the user meets them: a box takes the focus from the grid while it is open.
    DialogSeam::setResponder(nullptr);
    int boxes = 0;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&boxes] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            ++boxes;
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start();
    QTest::keyClick(grid->InplaceEditor(), Qt::Key_Down);
    QTest::qWait(200);
    closer.stop();

    QCOMPARE(boxes, 1);
    QCOMPARE(m_answers->shown().size(), 1);
    QVERIFY2(m_answers->shown().first().text.contains(QStringLiteral("is not a valid date")),
             qPrintable(m_answers->shown().first().text));
    // The row did not move and nothing was written.
    QCOMPARE(j.journal()->FieldByName(QStringLiteral("p36"))->Value(), dateBefore);
    QVERIFY(grid->InplaceEditor());
}

void TestJournal::gridTitlesReadWhole()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TQZDBGridEh *grid = j.window->DBGridEh1;
    const QHeaderView *titles = grid->horizontalHeader();
    const QFontMetrics metrics(grid->TitleFont.toQFont());
    // The widths stay as laid out; the titles wrap instead, each word whole on its line.
    const QList<int> widths{37, 53, 227, 86, 74, 64, 98, 64, 72, 64};
    bool wrapped = false;
    for (int i = 0; i < grid->ColumnCount(); ++i) {
        const TColumnEh *column = grid->Columns(i);
        QCOMPARE(column->Width, widths.at(i));
        if (!column->Visible)
            continue;
        const int textWidth = titles->sectionSize(i) - 6;
        const QString caption = column->Title.Caption;
        for (const QString &word : caption.split(QLatin1Char(' ')))
            QVERIFY2(metrics.horizontalAdvance(word) <= textWidth, qPrintable(word));
        const QRect needed = metrics.boundingRect(QRect(0, 0, textWidth, 1000), Qt::TextWordWrap, caption);
        QVERIFY2(needed.height() <= titles->height() - 2,
                 qPrintable(QStringLiteral("%1: %2 of %3").arg(caption).arg(needed.height()).arg(titles->height())));
        wrapped = wrapped || needed.height() > metrics.height();
    }
    QVERIFY(wrapped);
}

namespace {

// What the confirmation dialog showed when it was answered.
struct ShownConfirmation {
    QString caption;
    QString count;
    QString question;
    int width = 0;
    int fixedCols = 0;
    int fixedRows = 0;
    QList<QStringList> rows;   // row by row, each from the first column to the last
    QList<int> widths;
    int scrollMaximum = 0;
};

ShownConfirmation readConfirmation(const TForm1 &dialog)
{
    ShownConfirmation shown;
    shown.caption = dialog.windowTitle();
    shown.count = dialog.Count_Lbl->text();
    shown.question = dialog.Qst_Lbl->text();
    shown.width = dialog.width();
    const TStringGrid *list = dialog.StringGrid;
    shown.fixedCols = list->FixedCols();
    shown.fixedRows = list->FixedRows();
    for (int col = 0; col < list->ColCount(); ++col)
        shown.widths.append(list->ColWidths(col));
    for (int row = 0; row < list->RowCount(); ++row) {
        QStringList cells;
        for (int col = 0; col < list->ColCount(); ++col)
            cells.append(list->Cells(col, row));
        shown.rows.append(cells);
    }
    shown.scrollMaximum = list->verticalScrollBar()->maximum();
    return shown;
}

// Every modal window from now on: a confirmation is read into shown, then answered; any other is cancelled.
void answerConfirmations(QList<ShownConfirmation> &shown, const std::function<void(TForm1 &)> &answer)
{
    DialogSeam::setModalHandler([&shown, answer](QDialog *dialog) {
        auto *form = qobject_cast<TForm1 *>(dialog);
        if (!form)
            return int(mrCancel);
        shown.append(readConfirmation(*form));
        answer(*form);
        return form->result();
    });
}

// Adds a journal row to the grid's selection as the user does, with Ctrl held.
void ctrlClickRow(TQZDBGridEh *grid, int displayRow)
{
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, grid->CellRect(2, displayRow).center());
}

constexpr int kHiddenMarkColumn = 10;

} // namespace

void TestJournal::confirmationDialogLayout()
{
    olm::platform::FakePlatform platform;
    const olm::platform::ScopedPlatform scoped(platform);
    TForm1 dialog;
    QCOMPARE(platform.beeps(), QList<unsigned>{MB_ICONEXCLAMATION});
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Предупреждение..."));
    const Qt::WindowFlags flags = dialog.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(!(flags & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint)));
    QCOMPARE(dialog.palette().color(QPalette::Window), ColorToQColor(clBtnFace));
    QCOMPARE(dialog.font(), TFont(QStringLiteral("MS Sans Serif"), 8).toQFont());
    QCOMPARE(dialog.size(), QSize(696, 250));
    QCOMPARE(dialog.minimumSize(), QSize(550, 250));

    const QFont captions = TFont(QStringLiteral("Courier New"), 10).toQFont();
    QCOMPARE(dialog.Count_Lbl->text(), QStringLiteral("Количество удаляемых записей:"));
    QCOMPARE(dialog.Qst_Lbl->text(), QStringLiteral("Вы действительно хотите удалить эти записи?"));
    QCOMPARE(dialog.Count_Lbl->pos(), QPoint(48, 7));
    QCOMPARE(dialog.Qst_Lbl->pos(), QPoint(48, 29));
    QCOMPARE(dialog.Count_Lbl->font(), captions);
    QCOMPARE(dialog.Qst_Lbl->font(), captions);
    QCOMPARE(dialog.Warning_Image->geometry(), QRect(8, 10, 32, 32));
    QVERIFY(!dialog.Warning_Image->pixmap().isNull());
    QVERIFY(dialog.Warning_Image->pixmap().hasAlpha());
    for (const QFrame *panel : {dialog.Panel1, dialog.Panel2})
        QCOMPARE(panel->frameStyle(), int(QFrame::Panel | QFrame::Sunken));

    const TStringGrid *list = dialog.StringGrid;
    QCOMPARE(list->Color(), clBtnFace);
    QCOMPARE(list->FixedColor(), clSilver);
    QCOMPARE(list->DefaultRowHeight(), 18);
    QCOMPARE(list->Options(), goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goColSizing | goRowSelect
                                  | goDrawFocusSelected);
    QCOMPARE(list->ColCount(), 2);
    QCOMPARE(list->RowCount(), 2);
    QCOMPARE(list->ColWidths(0), 11);
    QCOMPARE(list->ColWidths(1), 64);
    QCOMPARE(list->DefaultColWidth(), 64);

    const struct {
        TBitBtn *button;
        QString caption;
        TBitBtnKind kind;
        int left;
    } buttons[] = {{dialog.BitBtn1, QStringLiteral("Да"), bkYes, 0}, {dialog.BitBtn2, QStringLiteral("Нет"), bkCancel, 80}};
    for (const auto &b : buttons) {
        QCOMPARE(b.button->parentWidget(), dialog.Btns_Pnl);
        QCOMPARE(b.button->text(), b.caption);
        QCOMPARE(b.button->Kind(), b.kind);
        QCOMPARE(b.button->geometry(), QRect(b.left, 0, 75, 25));
        QCOMPARE(b.button->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!b.button->icon().isNull());
    }
    QVERIFY(dialog.BitBtn1->Default() && !dialog.BitBtn1->Cancel());
    QVERIFY(dialog.BitBtn2->Cancel() && !dialog.BitBtn2->Default());

    // The bands as the window appears, centred on the desktop.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.Panel1->geometry(), QRect(0, 0, 696, 54));
    QCOMPARE(list->geometry(), QRect(0, 54, 696, 250 - 54 - 39));
    QCOMPARE(dialog.Panel2->geometry(), QRect(0, 250 - 39, 696, 39));
    QCOMPARE(dialog.Btns_Pnl->geometry(), QRect(696 / 2 - 155 / 2, 7, 155, 25));
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    QCOMPARE(dialog.frameGeometry().center(), desktop.center());
}

void TestJournal::confirmationDialogCentresTheButtonsOnTheOldWidth()
{
    TForm1 dialog;
    // Widened before it appears, as the journal window does: the designed width still counts.
    dialog.resize(1285, 250);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.Panel2->width(), 1285);
    QCOMPARE(dialog.Btns_Pnl->x(), 696 / 2 - 77);
    // Each resize centres on the width before it, halves rounded down.
    const struct {
        int width;
        int left;
    } steps[] = {{801, 1285 / 2 - 77}, {600, 400 - 77}, {700, 300 - 77}, {300, 350 - 77}, {900, 275 - 77}};
    for (const auto &step : steps) {
        dialog.resize(step.width, 300);
        QCOMPARE(dialog.Btns_Pnl->x(), step.left);
        QCOMPARE(dialog.Btns_Pnl->y(), 7);
        // Never narrower than the minimum, which the next resize starts from.
        QCOMPARE(dialog.Panel2->geometry(), QRect(0, 300 - 39, std::max(step.width, 550), 39));
    }
}

void TestJournal::confirmationDialogKeys_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("Enter in the list") << "enter" << mrYes;
    QTest::newRow("Escape in the list") << "escape" << mrCancel;
    QTest::newRow("Escape on Да") << "escape on yes" << mrCancel;
    QTest::newRow("click Да") << "yes" << mrYes;
    QTest::newRow("click Нет") << "no" << mrCancel;
    QTest::newRow("closed by the system") << "close" << mrCancel;
}

void TestJournal::confirmationDialogKeys()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    TForm1 dialog;
    DialogSeam::setModalHandler([&how](QDialog *shown) {
        auto *form = qobject_cast<TForm1 *>(shown);
        if (how == QLatin1String("enter"))
            QTest::keyClick(form->StringGrid, Qt::Key_Return);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(form->StringGrid, Qt::Key_Escape);
        else if (how == QLatin1String("escape on yes"))
            QTest::keyClick(form->BitBtn1, Qt::Key_Escape);
        else if (how == QLatin1String("yes"))
            QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        else if (how == QLatin1String("no"))
            QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
        else
            form->close();
        return form->result();
    });
    QCOMPARE(ShowModal(&dialog), result);
}

void TestJournal::confirmDeleteWithoutSelection()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    QCOMPARE(j.window->DBGridEh1->SelectedRows().Count(), 0);
    int dialogs = 0;
    DialogSeam::setModalHandler([&dialogs](QDialog *) {
        ++dialogs;
        return int(mrYes);
    });
    const qsizetype beeps = j.setup.platform.beeps().size();
    for (const bool preset : {true, false}) {
        bool canDelete = preset;
        j.window->F1_QZ_DM_YOTQZDBEOnConfirmDelete(j.window->F1_QZ_DM_YOT, canDelete);
        QCOMPARE(canDelete, preset);
    }
    QCOMPARE(dialogs, 0);
    QCOMPARE(j.setup.platform.beeps().size(), beeps);
}

void TestJournal::confirmDeleteListsTheSelectedRows_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Enter answers yes") << true;
    QTest::newRow("Нет answers no") << false;
}

void TestJournal::confirmDeleteListsTheSelectedRows()
{
    QFETCH(bool, yes);
    // One mark taken in the afternoon: the list gives the time too, where the grid shows the date only.
    Journal j(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword),
              [](olm::server::Administration &admin) {
                  admin.execute(QStringLiteral("UPDATE mark_mag SET p36 = ? WHERE id_group = 1 AND id_student = 3 AND "
                                               "id_semester = 1 AND id_discipline = 3"),
                                {QDateTime(QDate(2022, 1, 15), QTime(14, 30))});
              });
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TForm2 &w = *j.window;
    TQZDBGridEh *grid = w.DBGridEh1;
    TDataSet *journal = j.journal();
    QVERIFY(journal->RecordCount() >= 4);

    // Picked out of order; listed in the journal's order.
    for (const int row : {3, 0, 2})
        ctrlClickRow(grid, row);
    QCOMPARE(grid->SelectedRows().Count(), 3);
    QList<int> ids;
    for (const int recNo : {1, 3, 4}) {
        journal->setRecNo(recNo);
        ids.append(journal->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger());
    }
    journal->setRecNo(2);

    QList<ShownConfirmation> shown;
    answerConfirmations(shown, [yes](TForm1 &dialog) {
        // The screen as the user sees it with the dialog up, for a person to look at.
        const QByteArray shot = qgetenv("OLM_CONFIRM_SCREENSHOT");
        if (!shot.isEmpty() && yes) {
            QTest::qWait(300);
            QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(shot));
        }
        if (yes)
            QTest::keyClick(dialog.StringGrid, Qt::Key_Return);
        else
            QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton);
    });
    const qsizetype beeps = j.setup.platform.beeps().size();
    bool canDelete = !yes;
    w.F1_QZ_DM_YOTQZDBEOnConfirmDelete(w.F1_QZ_DM_YOT, canDelete);
    QCOMPARE(canDelete, yes);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(j.setup.platform.beeps().mid(beeps), QList<unsigned>{MB_ICONEXCLAMATION});

    const ShownConfirmation &list = shown[0];
    QCOMPARE(list.caption, QStringLiteral("Предупреждение..."));
    QCOMPARE(list.count, QStringLiteral("Количество удаляемых записей:[3]."));
    QCOMPARE(list.question, QStringLiteral("Вы действительно хотите удалить эти записи?"));
    QCOMPARE(list.width, w.width() + 5);
    QCOMPARE(list.fixedCols, 1);
    QCOMPARE(list.fixedRows, 1);
    QCOMPARE(list.rows.size(), 4);
    QCOMPARE(list.widths.size(), grid->ColumnCount() + 1);
    QCOMPARE(list.widths[0], 11);
    QStringList titles{QString()};
    for (int k = 0; k < grid->ColumnCount(); ++k) {
        titles.append(grid->Columns(k)->Title.Caption);
        QCOMPARE(list.widths[k + 1], grid->columnWidth(k));
    }
    QCOMPARE(list.rows[0], titles);
    // Informatics has special marks: the last column is there with its title.
    QCOMPARE(list.rows[0][kHiddenMarkColumn], QStringLiteral("Особая оценка"));

    const auto column = [&titles](const char *title) { return int(titles.indexOf(QString::fromUtf8(title))); };
    for (int r = 0; r < 3; ++r) {
        const QStringList &cells = list.rows[r + 1];
        const int id = ids[r];
        QCOMPARE(cells[0], QString());
        QCOMPARE(cells[column("П/П")], QString::number(QList<int>{1, 3, 4}[r]));
        // Lookups give the looked-up text.
        QCOMPARE(cells[column("Дисциплина")],
                 j.value(QStringLiteral("SELECT d.p34 FROM mark_mag m JOIN discipline d ON d.id_discipline = "
                                        "m.id_discipline WHERE m.id_mark_mag = ?"),
                         {id})
                     .toString());
        QCOMPARE(cells[column("Допуск по оплате")],
                 j.value(QStringLiteral("SELECT primech FROM mark_mag WHERE id_mark_mag = ?"), {id}).toString());
        const QDateTime taken = j.value(QStringLiteral("SELECT p36 FROM mark_mag WHERE id_mark_mag = ?"), {id}).toDateTime();
        const QString date = !taken.isValid()          ? QString()
                             : taken.time() == QTime(0, 0) ? taken.toString(QStringLiteral("dd.MM.yyyy"))
                                                         : taken.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
        QCOMPARE(cells[column("Дата сдачи")], date);
    }
    QVERIFY(std::any_of(list.rows.begin() + 1, list.rows.end(), [&](const QStringList &cells) {
        return cells[column("Дата сдачи")] == QStringLiteral("15.01.2022 14:30:00");
    }));
    // The journal stays on the last listed row; the selection is the caller's.
    QCOMPARE(journal->RecNo(), 4);
    QCOMPARE(grid->SelectedRows().Count(), 3);
}

void TestJournal::confirmDeleteHiddenSpecialMarkColumn()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseAll(QStringLiteral("ЭК-21"), Semester1, QStringLiteral("Лебедев Иван Михайлович")));
    TQZDBGridEh *grid = j.window->DBGridEh1;
    QVERIFY(!grid->Columns(9)->Visible);
    ctrlClickRow(grid, 0);
    ctrlClickRow(grid, 1);
    QList<ShownConfirmation> shown;
    answerConfirmations(shown, [](TForm1 &dialog) { QTest::keyClick(dialog.StringGrid, Qt::Key_Escape); });
    bool canDelete = true;
    j.window->F1_QZ_DM_YOTQZDBEOnConfirmDelete(nullptr, canDelete);
    QVERIFY(!canDelete);
    QCOMPARE(shown.size(), 1);
    const ShownConfirmation &list = shown[0];
    QCOMPARE(list.count, QStringLiteral("Количество удаляемых записей:[2]."));
    QCOMPARE(list.widths.size(), 11);
    QCOMPARE(list.widths[kHiddenMarkColumn], 64);
    QCOMPARE(list.rows.size(), 3);
    for (const QStringList &cells : list.rows)
        QCOMPARE(cells[kHiddenMarkColumn], QString());
    // The columns before it are filled as usual.
    QCOMPARE(list.rows[0][9], QStringLiteral("Дата сдачи"));
    QCOMPARE(list.rows[2][1], QStringLiteral("2"));
}

void TestJournal::confirmDeleteListsManyRows()
{
    // The student's first semester doubled until it has more than 500 rows.
    Journal j(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword),
              [](olm::server::Administration &admin) {
                  for (int i = 0; i < 7; ++i) {
                      const olm::server::Outcome outcome = admin.execute(QStringLiteral(
                          "INSERT INTO mark_mag (primech, dopusk_izm, id_group, id_student, id_examination, "
                          "id_discipline, id_estimation, id_semester, id_teacher, p35, p36, id_f_est) "
                          "SELECT primech, dopusk_izm, id_group, id_student, id_examination, id_discipline, "
                          "id_estimation, id_semester, id_teacher, p35, p36, id_f_est FROM mark_mag "
                          "WHERE id_group = 1 AND id_student = 3 AND id_semester = 1"));
                      if (!outcome.ok)
                          qWarning("doubling: %s", qPrintable(outcome.error));
                  }
              });
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = j.window->DBGridEh1;
    const int rows = j.journal()->RecordCount();
    QVERIFY2(rows > 500, qPrintable(QString::number(rows)));
    grid->SelectedRows().SelectAll();
    QCOMPARE(grid->SelectedRows().Count(), rows);

    QList<ShownConfirmation> shown;
    answerConfirmations(shown, [](TForm1 &dialog) { QTest::mouseClick(dialog.BitBtn1, Qt::LeftButton); });
    bool canDelete = false;
    QElapsedTimer timer;
    timer.start();
    j.window->F1_QZ_DM_YOTQZDBEOnConfirmDelete(nullptr, canDelete);
    qInfo("%d rows listed and answered in %lld ms", rows, timer.elapsed());
    QVERIFY(canDelete);
    QCOMPARE(shown.size(), 1);
    const ShownConfirmation &list = shown[0];
    QCOMPARE(list.count, QStringLiteral("Количество удаляемых записей:[%1].").arg(rows));
    QCOMPARE(list.rows.size(), rows + 1);
    // Every row is there, numbered in order, and the list scrolls to them.
    for (int r = 1; r <= rows; ++r)
        QCOMPARE(list.rows[r][1], QString::number(r));
    QVERIFY(list.scrollMaximum > 0);
    QCOMPARE(j.journal()->RecNo(), rows);
}

OLM_TEST_MAIN(TestJournal)
#include "tst_journal.moc"
