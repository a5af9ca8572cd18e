// The whole client on PostgreSQL: the sign-in window, the cascade, an edit with its log entries, deletion and
// restore and the row's change history, driven through the real windows on a database made from the cluster's
// template; then two users at once: no silent overwrite, and nobody sees another user's groups.
#include "app/SignIn.h"
#include "gridevents/QZ_DBGrd_Evns.h"
#include "journal/RowHistory.h"
#include "journal/Unit3.h"
#include "journal/Unit6.h"
#include "tests/support/PgTestDatabase.h"
#include "tests/tst_journal_fixture.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/BitBtn.h"
#include "tests/support/TestMain.h"

#include <QComboBox>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableWidget>

#include <optional>

namespace {

// Values for the superuser's checks: QODBC hands PostgreSQL's smallint flags and numerics back as they are.
QList<QVariantList> superuserRows(PgTestDatabase &db, const QString &statement, const QVariantList &params)
{
    QSqlQuery query(db.superuser());
    QList<QVariantList> rows;
    if (!query.prepare(statement)) {
        qWarning("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        return rows;
    }
    for (const QVariant &value : params)
        query.addBindValue(value);
    if (!query.exec()) {
        qWarning("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        return rows;
    }
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i)
            row.append(query.value(i));
        rows.append(row);
    }
    return rows;
}

// The sign-in window answered once: typed credentials and Enter; when that did not sign in, what the status
// label said, and the exit button.
int typeSignIn(QDialog *dialog, const QString &login, const QString &password, QString *refusal)
{
    auto *form = qobject_cast<TForm8 *>(dialog);
    if (!form)
        return mrCancel;
    QTest::keyClicks(form->Login_Edit, login);
    QTest::keyClicks(form->Password_Edit, password);
    QTest::keyClick(form->Password_Edit, Qt::Key_Return);
    if (dialog->result() == mrOk)
        return mrOk;
    if (refusal)
        *refusal = form->RzLabel1->text();
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    return dialog->result();
}

// The program as it starts against a PostgreSQL database: the settings file names the cluster, the data module
// and the journal window sign in through the real sign-in window.
struct PgJournal {
    CurrentFolder folder;
    PgTestDatabase db;
    SignInSetup setup;
    std::unique_ptr<TDM_YOT> dm;
    std::unique_ptr<TForm2> window;
    QString refusal;   ///< the sign-in window's status text when the sign-in failed

    explicit PgJournal(const QString &login = QLatin1String(DemoUsers::Editor),
                       const QString &password = QLatin1String(DemoUsers::EditorPassword))
    {
        if (!db.isValid())
            return;
        setup.writeSettings(db.bootLogin(), db.bootPassword(), db.dataSource(), db.databaseName());
        dm = std::make_unique<TDM_YOT>();
        const ScopedDialogAnswers signIn(
            [&](QDialog *dialog) { return typeSignIn(dialog, login, password, &refusal); });
        window = std::make_unique<TForm2>();
    }
    ~PgJournal()
    {
        window.reset();
        dm.reset();
    }
    QString error() const { return db.error(); }

    /// The first value of the first row, as the superuser sees it (no row-level security).
    QVariant value(const QString &statement, const QVariantList &params = {})
    {
        return superuserRows(db, statement, params).value(0).value(0);
    }
    QList<QVariantList> rows(const QString &statement, const QVariantList &params = {})
    {
        return superuserRows(db, statement, params);
    }
    QString name(const char *sql, int id) { return value(QString::fromLatin1(sql), {id}).toString().trimmed(); }
    bool chooseIds(int group, int semester, int student)
    {
        return choose(window->DBLookupComboBox1, name("SELECT p20 FROM \"group\" WHERE id_group = ?", group))
            && choose(window->DBLookupComboBox2, name("SELECT p43 FROM semester WHERE id_semester = ?", semester))
            && choose(window->DBLookupComboboxEh1, name("SELECT s_fio FROM s_fio WHERE id_student = ?", student));
    }
    bool chooseAll(const QString &group, const QString &semester, const QString &student) const
    {
        return choose(window->DBLookupComboBox1, group) && choose(window->DBLookupComboBox2, semester)
            && choose(window->DBLookupComboboxEh1, student);
    }
    void show() const
    {
        window->showNormal();
        window->resize(1280, 800);
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    TDataSet *journal() const { return dm->ADO_SP_Sort; }
};

// The exchange's window side for a second client that needs no window: one attempt past the first, so a
// change that is only due is not asked for.
class QuietSignIn : public TSignInWindow {
public:
    QuietSignIn(const QString &login, const QString &password) : m_login(login), m_password(password) {}
    QString status;
    quint8 attemptCount() const override { return 2; }
    QString loginText() const override { return m_login; }
    QString passwordText() const override { return m_password; }
    QString localAddress() override { return QStringLiteral("10.0.0.6"); }
    void setStatusText(const QString &text) override { status = text; }
    void clickChangeToggle() override {}
    void disableChangeToggle() override {}
    void LoadLists() override {}
    void runSelfUpdate(const QString &) override {}

private:
    QString m_login;
    QString m_password;
};

// A second client's session on the same settings file: the sign-in exchange on a connection of its own.
class SecondClient {
public:
    SecondClient(const QString &login, const QString &password)
    {
        QuietSignIn window(login, password);
        RecordingHost host;
        try {
            m_signedIn = SignIn(&connection, QStringLiteral("NULL"), window, host);
        } catch (const Exception &e) {
            window.status = e.Message;
        }
        m_status = window.status;
    }
    bool signedIn() const { return m_signedIn; }
    QString status() const { return m_status; }

    /// The journal of a selection as the journal window opens it.
    std::unique_ptr<TADOStoredProc> journal(int group, int semester, int student)
    {
        auto rows = std::make_unique<TADOStoredProc>();
        rows->setConnection(&connection);
        rows->setProcedureName(QStringLiteral("SORT_2_MARK_MAG;1"));
        // Edits go to the journal table by its key, as the data module's journal dataset writes them.
        rows->UpdateTableName = QStringLiteral("mark_mag");
        rows->UpdateKeyFields = QStringLiteral("id_mark_mag");
        for (const auto &[name, value] : {std::pair{"@group", group}, {"@semester", semester}, {"@student", student}})
            rows->Parameters()->AddParameter(QString::fromLatin1(name), ftInteger, pdInput)->Value = value;
        rows->Open();
        return rows;
    }
    /// Every row a statement answers on this session.
    int count(const QString &statement)
    {
        TADOQuery query;
        query.setConnection(&connection);
        query.setSQLText(statement);
        query.Open();
        return query.RecordCount();
    }

    TADOConnection connection;

private:
    bool m_signedIn = false;
    QString m_status;
};

QList<int> idsOf(TDataSet *dataSet)
{
    QList<int> ids;
    for (dataSet->First(); !dataSet->Eof(); dataSet->Next())
        ids.append(dataSet->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger());
    return ids;
}

// The first row of the journal holding an exam mark, with a different graded mark to put in.
std::optional<std::pair<int, int>> examRowAndOtherMark(TDataSet *journal)
{
    if (!journal->Locate(QStringLiteral("id_examination"), 1))
        return std::nullopt;
    const int oldMark = journal->FieldByName(QStringLiteral("id_estimation"))->AsInteger();
    return std::pair{journal->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger(), oldMark == 35 ? 34 : 35};
}

// Picks the mark in the grid's mark column with real keys, then leaves the row downwards from the date column,
// which posts it.
bool pickMark(TQZDBGridEh *grid, int mark)
{
    grid->setFocus();
    grid->setCol(6);
    if (!QTest::qWaitFor([grid] { return qobject_cast<QComboBox *>(grid->InplaceEditor()) != nullptr; }))
        return false;
    auto *marks = qobject_cast<QComboBox *>(grid->InplaceEditor());
    marks->showPopup();
    const int item = marks->findData(mark);
    if (item < 0)
        return false;
    marks->view()->setCurrentIndex(marks->model()->index(item, 0));
    QTest::keyClick(marks->view(), Qt::Key_Return);
    grid->setCol(9);
    if (!QTest::qWaitFor([grid] { return qobject_cast<QLineEdit *>(grid->InplaceEditor()) != nullptr; }))
        return false;
    QTest::keyClick(grid->InplaceEditor(), Qt::Key_Down);
    return true;
}

QString shownTexts()
{
    QStringList texts;
    for (const ShownMessage &message : DialogSeam::shown())
        texts.append(message.text);
    return texts.join(QLatin1String(" | "));
}

} // namespace

class TestPgJournal : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void signIn_data();
    void signIn();
    void cascadeLoadsTheJournal_data();
    void cascadeLoadsTheJournal();
    void editIsStoredLoggedAndInItsHistory();
    void readerEditIsRefused();
    void deleteAndRestore();
    void twoClientsNeverOverwriteSilently();
    void otherUsersGroupsStayHidden_data();
    void otherUsersGroupsStayHidden();

private:
    std::unique_ptr<TApplication> m_application;
    std::unique_ptr<ScopedDialogAnswers> m_answers;
};

void TestPgJournal::init()
{
    QString whyNot;
    if (!PgTestDatabase::available(&whyNot))
        QSKIP(qPrintable(whyNot));
    m_application = std::make_unique<TApplication>();
    m_application->setTitle(QStringLiteral("OLM 16 Учет успеваемости"));
    m_application->setShowMainForm(false);
    m_answers = std::make_unique<ScopedDialogAnswers>();
}

void TestPgJournal::cleanup()
{
    DialogSeam::setModalHandler({});
    m_answers.reset();
    m_application.reset();
}

void TestPgJournal::signIn_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("refusal");   // empty: signed in
    QTest::newRow("editor") << DemoUsers::Editor << DemoUsers::EditorPassword << QString();
    QTest::newRow("reader") << DemoUsers::Reader << DemoUsers::ReaderPassword << QString();
    QTest::newRow("wrong password") << DemoUsers::Editor << "petrova2"
                                    << QStringLiteral("Неверно ввели логин или пароль.");
    QTest::newRow("unknown login") << "nobody" << DemoUsers::EditorPassword
                                   << QStringLiteral("Неверно ввели логин или пароль.");
    QTest::newRow("blocked") << DemoUsers::Blocked << DemoUsers::BlockedPassword << DemoUsers::BlockedMessage;
}

void TestPgJournal::signIn()
{
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, refusal);
    PgJournal j(login, password);
    QVERIFY2(j.window, qPrintable(j.error()));
    if (!refusal.isEmpty()) {
        QCOMPARE(j.refusal, refusal);
        QVERIFY(Application->Terminated());
        return;
    }
    QVERIFY2(j.refusal.isEmpty(), qPrintable(j.refusal));
    QVERIFY2(m_answers->shown().isEmpty(), qPrintable(shownTexts()));
    QVERIFY(!Application->Terminated());
    QCOMPARE(j.window->LoginName, login);
    QCOMPARE(j.window->LoginId, j.value(QStringLiteral("SELECT id_login FROM srv_users WHERE login = ?"), {login}).toInt());
    // The session runs under the user's own role, not the bootstrap one.
    const TConnectionString used = TConnectionString::parse(j.dm->ADO_YOT->ConnectionString());
    QCOMPARE(used.userId(), j.value(QStringLiteral("SELECT db_login FROM srv_users WHERE login = ?"), {login}).toString());
    QCOMPARE(used.catalog(), j.db.databaseName());
    // The group box offers exactly the user's groups.
    QCOMPARE(j.dm->ADOQ_group->RecordCount(),
             j.value(QStringLiteral("SELECT COUNT(*) FROM srv_user_groups g JOIN srv_users u ON u.id_login = g.id_login "
                                    "WHERE u.login = ?"), {login}).toInt());
}

void TestPgJournal::cascadeLoadsTheJournal_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("semester");
    QTest::addColumn<int>("student");
    QTest::addColumn<bool>("created");   // the journal had no rows before: the server makes them
    QTest::newRow("ПИ-21, 1 семестр, Воронин") << 1 << 1 << 3 << false;
    QTest::newRow("ПИ-21, 2 семестр, Алексеев") << 1 << 2 << 1 << false;
    QTest::newRow("ПИ-21, last semester, fifth student") << 1 << 4 << 5 << true;
}

void TestPgJournal::cascadeLoadsTheJournal()
{
    QFETCH(int, group);
    QFETCH(int, semester);
    QFETCH(int, student);
    QFETCH(bool, created);
    PgJournal j;
    QVERIFY2(j.window, qPrintable(j.error()));
    j.show();
    const QString count = QStringLiteral("SELECT COUNT(*) FROM mark_mag WHERE id_group = ? AND id_semester = ? "
                                         "AND id_student = ?");
    const int before = j.value(count, {group, semester, student}).toInt();
    QCOMPARE(before == 0, created);
    QVERIFY(j.chooseIds(group, semester, student));
    QVERIFY2(m_answers->shown().isEmpty(), qPrintable(shownTexts()));
    const int curriculum = j.value(QStringLiteral("SELECT COUNT(*) FROM curriculum WHERE id_group = ? AND "
                                                  "id_semester = ?"), {group, semester}).toInt();
    const int after = j.value(count, {group, semester, student}).toInt();
    QVERIFY(after >= curriculum);
    TDataSet *journal = j.journal();
    QVERIFY(journal->Active());
    QCOMPARE(journal->RecordCount(), after);
    QCOMPARE(j.window->StatusBar1->PanelText(0), QStringLiteral("Количество записей: %1").arg(after));
    // Each row is the selection's, numbered in the procedure's order, its lookups filled.
    int number = 0;
    for (journal->First(); !journal->Eof(); journal->Next()) {
        QCOMPARE(journal->FieldByName(QStringLiteral("id_student"))->AsInteger(), student);
        QCOMPARE(journal->FieldByName(QStringLiteral("id_semester"))->AsInteger(), semester);
        QCOMPARE(journal->FieldByName(QStringLiteral("No"))->AsInteger(), ++number);
        QVERIFY(!journal->FieldByName(QStringLiteral("discipline"))->AsString().isEmpty());
    }
    QVERIFY(j.window->InfoPanel->text().startsWith(QLatin1String(" [")));
}

void TestPgJournal::editIsStoredLoggedAndInItsHistory()
{
    PgJournal j;
    QVERIFY2(j.window, qPrintable(j.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    const auto row = examRowAndOtherMark(j.journal());
    QVERIFY(row);
    const auto [id, mark] = *row;
    const int oldMark = j.journal()->FieldByName(QStringLiteral("id_estimation"))->AsInteger();
    const int logBefore = j.value(QStringLiteral("SELECT COUNT(*) FROM olm_log")).toInt();
    QVERIFY(pickMark(j.window->DBGridEh1, mark));
    QVERIFY2(m_answers->shown().isEmpty(), qPrintable(shownTexts()));
    QCOMPARE(j.journal()->State(), dsBrowse);

    QCOMPARE(j.value(QStringLiteral("SELECT id_estimation FROM mark_mag WHERE id_mark_mag = ?"), {id}).toInt(), mark);
    const QList<QVariantList> log = j.rows(QStringLiteral("SELECT \"table\", row_id, descr, olm_user, comp FROM olm_log "
                                                          "ORDER BY id_log"));
    QCOMPARE(log.size(), logBefore + 1);
    const QVariantList entry = log.last();
    QCOMPARE(entry.value(0).toString(), QStringLiteral("mark_mag"));
    QCOMPARE(entry.value(1).toInt(), id);
    QCOMPARE(entry.value(2).toString(),
             QStringLiteral("Поле \"id_estimation\" изменило значение \"%1\" на \"%2\".").arg(oldMark).arg(mark));
    QCOMPARE(entry.value(3).toString().trimmed(), QLatin1String(DemoUsers::Editor));
    QCOMPARE(entry.value(4).toString(),
             QLatin1String(SignInSetup::ComputerName) + QLatin1Char('\\') + QLatin1String(SignInSetup::Address));
    // The log is append-only for the user: the client's own connection may not take an entry back.
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             j.dm->ADO_YOT->Execute(QStringLiteral("DELETE FROM OLM_LOG WHERE row_id = %1").arg(id)));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             j.dm->ADO_YOT->Execute(QStringLiteral("UPDATE OLM_LOG SET descr = 'x' WHERE row_id = %1").arg(id)));
    QCOMPARE(j.value(QStringLiteral("SELECT COUNT(*) FROM olm_log")).toInt(), logBefore + 1);

    // The row's change history ("История изменений") shows both.
    const QString markText = j.value(QStringLiteral("SELECT p31 FROM est2 WHERE id_estimation = ? LIMIT 1"), {mark})
                                 .toString().trimmed();
    QVERIFY(j.journal()->Locate(QStringLiteral("id_mark_mag"), id));
    TColumnEh *column = j.window->DBGridEh1->ColumnByFieldName(QStringLiteral("estimation"));
    QVERIFY(column);
    j.window->DBGridEh1->setSelectedIndex(column->Index());
    QList<QStringList> lines;
    QString title;
    DialogSeam::setModalHandler([&](QDialog *dialog) {
        auto *history = qobject_cast<RowHistoryWindow *>(dialog);
        if (!history)
            return int(mrCancel);
        title = history->windowTitle();
        for (int r = 0; r < history->Lines->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < history->Lines->columnCount(); ++c)
                cells.append(history->Lines->item(r, c) ? history->Lines->item(r, c)->text() : QString());
            lines.append(cells);
        }
        return int(mrOk);
    });
    j.window->RowHistoryAction->trigger();
    QVERIFY2(m_answers->shown().isEmpty(), qPrintable(shownTexts()));
    QCOMPARE(title, QStringLiteral("История изменений"));
    QVERIFY(!lines.isEmpty());
    // The server's trail of the mark first, shown by the mark's text; the client's log entry with its computer.
    QCOMPARE(lines.first().at(3), QStringLiteral("id_estimation"));
    QCOMPARE(lines.first().at(5), markText);
    QCOMPARE(lines.first().at(1), QLatin1String(DemoUsers::Editor));
    bool logged = false;
    for (const QStringList &line : std::as_const(lines))
        logged = logged || (line.at(3).isEmpty() && line.at(2).startsWith(QLatin1String(SignInSetup::ComputerName))
                            && line.at(5).contains(QLatin1String("id_estimation")));
    QVERIFY(logged);
}

void TestPgJournal::readerEditIsRefused()
{
    PgJournal j(QLatin1String(DemoUsers::Reader), QLatin1String(DemoUsers::ReaderPassword));
    QVERIFY2(j.window, qPrintable(j.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    const auto row = examRowAndOtherMark(j.journal());
    QVERIFY(row);
    const int oldMark = j.value(QStringLiteral("SELECT id_estimation FROM mark_mag WHERE id_mark_mag = ?"),
                                {row->first}).toInt();
    const int logBefore = j.value(QStringLiteral("SELECT COUNT(*) FROM olm_log")).toInt();
    QVERIFY(pickMark(j.window->DBGridEh1, row->second));
    // The server refused with its own text, and nothing was written or logged.
    QVERIFY(!m_answers->shown().isEmpty());
    QCOMPARE(j.value(QStringLiteral("SELECT id_estimation FROM mark_mag WHERE id_mark_mag = ?"), {row->first}).toInt(),
             oldMark);
    QCOMPARE(j.value(QStringLiteral("SELECT COUNT(*) FROM olm_log")).toInt(), logBefore);
}

void TestPgJournal::deleteAndRestore()
{
    PgJournal j;
    QVERIFY2(j.window, qPrintable(j.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = j.window->DBGridEh1;
    TDataSet *journal = j.journal();
    const QList<int> before = idsOf(journal);
    QVERIFY(before.size() >= 3);
    QList<int> chosen;
    for (const int recNo : {1, 3}) {
        journal->setRecNo(recNo);
        chosen.append(journal->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger());
        grid->SelectedRows().setCurrentRowSelected(true);
    }
    int asked = 0;
    DialogSeam::setModalHandler([&asked](QDialog *dialog) {
        auto *form = qobject_cast<TForm1 *>(dialog);
        if (!form)
            return int(mrCancel);
        ++asked;
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        return form->result();
    });
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(asked, 1);
    QVERIFY2(m_answers->shown().isEmpty(), qPrintable(shownTexts()));
    QCOMPARE(journal->RecordCount(), before.size() - 2);
    for (const int id : chosen) {
        QCOMPARE(j.value(QStringLiteral("SELECT COUNT(*) FROM mark_mag WHERE id_mark_mag = ?"), {id}).toInt(), 0);
        const QList<QVariantList> deleted =
            j.rows(QStringLiteral("SELECT del_oper, del_date FROM del_mark_mag WHERE id_mark_mag = ?"), {id});
        QCOMPARE(deleted.size(), 1);
        QCOMPARE(deleted.first().value(0).toString().trimmed(), QLatin1String(DemoUsers::Editor));
        QVERIFY(deleted.first().value(1).toDateTime().isValid());
    }

    // The restore chord lists both; the first ticked and OK brings it back, the other keeps waiting.
    int listed = -1;
    DialogSeam::setModalHandler([&listed, &j](QDialog *dialog) {
        auto *form = qobject_cast<TForm5 *>(dialog);
        if (!form || !QTest::qWaitForWindowExposed(form))
            return int(mrCancel);
        listed = j.dm->ADOQ_Buffer->RecordCount();
        QTest::mouseClick(form->DBGridEh1->viewport(), Qt::LeftButton, {}, form->DBGridEh1->CellRect(0, 0).center());
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        return form->result();
    });
    pressRestoreChord(grid);
    QCOMPARE(listed, 2);
    QVERIFY2(m_answers->shown().isEmpty(), qPrintable(shownTexts()));
    const int restored = j.value(QStringLiteral("SELECT COUNT(*) FROM mark_mag WHERE id_mark_mag IN (?, ?)"),
                                 {chosen[0], chosen[1]}).toInt();
    QCOMPARE(restored, 1);
    QCOMPARE(j.value(QStringLiteral("SELECT COUNT(*) FROM del_mark_mag WHERE id_mark_mag IN (?, ?)"),
                     {chosen[0], chosen[1]}).toInt(), 1);
    QCOMPARE(journal->RecordCount(), before.size() - 1);
}

void TestPgJournal::twoClientsNeverOverwriteSilently()
{
    // petrova works in the window; smirnova, who shares ЭК-21 with her, on a second session.
    PgJournal j;
    QVERIFY2(j.window, qPrintable(j.error()));
    j.show();
    const int group = 3, semester = 1;
    const int student = j.value(QStringLiteral("SELECT MIN(id_student) FROM group_student WHERE id_group = ?"),
                                {group}).toInt();
    QVERIFY(j.chooseIds(group, semester, student));
    const auto row = examRowAndOtherMark(j.journal());
    QVERIFY(row);
    const auto [id, mine] = *row;
    const int original = j.journal()->FieldByName(QStringLiteral("id_estimation"))->AsInteger();
    const int theirs = original == 32 ? 31 : 32;
    const QString markNow = QStringLiteral("SELECT id_estimation FROM mark_mag WHERE id_mark_mag = ?");

    SecondClient other(QLatin1String(DemoUsers::Due), QLatin1String(DemoUsers::DuePassword));
    QVERIFY2(other.signedIn(), qPrintable(other.status()));
    std::unique_ptr<TADOStoredProc> theirRows;
    try {
        theirRows = other.journal(group, semester, student);
        QVERIFY(theirRows->Locate(QStringLiteral("id_mark_mag"), id));
        theirRows->Edit();
        theirRows->FieldByName(QStringLiteral("id_estimation"))->setValue(theirs);
        theirRows->Post();
    } catch (const EDatabaseError &e) {
        QFAIL(qPrintable(e.Message));
    }
    QCOMPARE(j.value(markNow, {id}).toInt(), theirs);

    // petrova's copy of the mark is stale now: her post is refused with the reason, not written over theirs.
    QVERIFY(j.journal()->Locate(QStringLiteral("id_mark_mag"), id));
    QVERIFY(pickMark(j.window->DBGridEh1, mine));
    QVERIFY2(shownTexts().contains(QLatin1String("changed or deleted by another user")), qPrintable(shownTexts()));
    QCOMPARE(j.value(markNow, {id}).toInt(), theirs);

    // Cancelling reads the journal again; now her change goes in, and the second client's copy is the stale one.
    if (j.journal()->State() != dsBrowse)
        j.journal()->Cancel();
    QVERIFY(j.journal()->Locate(QStringLiteral("id_mark_mag"), id));
    QCOMPARE(j.journal()->FieldByName(QStringLiteral("id_estimation"))->AsInteger(), theirs);
    const int shownBefore = int(DialogSeam::shown().size());
    QVERIFY(pickMark(j.window->DBGridEh1, mine));
    QCOMPARE(int(DialogSeam::shown().size()), shownBefore);
    QCOMPARE(j.value(markNow, {id}).toInt(), mine);
    QVERIFY(theirRows->Locate(QStringLiteral("id_mark_mag"), id));
    theirRows->Edit();
    theirRows->FieldByName(QStringLiteral("id_estimation"))->setValue(original);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, theirRows->Post());
    theirRows->Cancel();
    QCOMPARE(j.value(markNow, {id}).toInt(), mine);
}

void TestPgJournal::otherUsersGroupsStayHidden_data()
{
    // What smirnova's session asks about ПИ-21 (group 1), which is petrova's and not hers.
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("ownerSeesRows");   // petrova sees something there in the demo
    QTest::newRow("journal rows") << "SELECT * FROM mark_mag WHERE id_group = 1" << true;
    QTest::newRow("deleted rows") << "Select * from  DEL_mark_mag where  id_group=1" << true;
    QTest::newRow("group list") << "SELECT  id_group, p20 FROM group_form where o_z = 1 AND  id_group = 1" << true;
    QTest::newRow("students") << "Select id_student, s_fio from s_g where id_group=1" << true;
    QTest::newRow("semesters") << "Select  id_semester, p43, id_rate  from g_sem where  id_group=1" << true;
    QTest::newRow("journal procedure") << "EXEC SORT_2_MARK_MAG 1, 1, 3" << true;
    QTest::newRow("row history") << "EXEC ROW_HISTORY 1" << false;
}

void TestPgJournal::otherUsersGroupsStayHidden()
{
    QFETCH(QString, statement);
    QFETCH(bool, ownerSeesRows);
    PgTestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    SignInSetup setup;
    setup.writeSettings(db.bootLogin(), db.bootPassword(), db.dataSource(), db.databaseName());
    SecondClient petrova(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword));
    SecondClient smirnova(QLatin1String(DemoUsers::Due), QLatin1String(DemoUsers::DuePassword));
    QVERIFY2(petrova.signedIn(), qPrintable(petrova.status()));
    QVERIFY2(smirnova.signedIn(), qPrintable(smirnova.status()));
    // A refusal hides as well as an empty answer does; what counts is that no row comes back.
    const auto rowsFor = [&statement](SecondClient &client) {
        try {
            return client.count(statement);
        } catch (const EDatabaseError &) {
            return 0;
        }
    };
    if (ownerSeesRows)
        QVERIFY(rowsFor(petrova) > 0);
    QCOMPARE(rowsFor(smirnova), 0);
    // Nor can she change or delete what she cannot see.
    const auto changed = [&](const QString &sql) {
        try {
            return smirnova.connection.Execute(sql);
        } catch (const EDatabaseError &) {
            return 0;
        }
    };
    QCOMPARE(changed(QStringLiteral("UPDATE mark_mag SET p35 = 'x' WHERE id_group = 1")), 0);
    QCOMPARE(changed(QStringLiteral("DELETE FROM mark_mag WHERE id_group = 1")), 0);
    QVERIFY(superuserRows(db, QStringLiteral("SELECT COUNT(*) FROM mark_mag WHERE id_group = 1 AND "
                                             "p35 IS DISTINCT FROM 'x'"), {}).value(0).value(0).toInt() > 0);
}

OLM_TEST_MAIN(TestPgJournal)
#include "tst_pg_journal.moc"
