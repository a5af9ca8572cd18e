// The embedded server as the client meets it: opening sessions, every statement text the client sends, the
// T-SQL forms, rights, DATEFORMAT, concurrency, bad input and the statement trace.
#include "tst_server_support.h"

#include "server/Database.h"
#include "server/DateText.h"
#include "server/Session.h"
#include "tests/support/TestMain.h"

using namespace servertest;
using olm::server::Administration;
using olm::server::ColumnInfo;
using olm::server::ResultSet;

class TestServer : public QObject {
    Q_OBJECT

private slots:
    void init();

    void openRefusesWrongLogins_data();
    void openRefusesWrongLogins();
    void openRefusesFilesThatAreNotOurs();
    void blockedUsersLoginIsDisabled();

    void clientStatements_data();
    void clientStatements();
    void journalColumnsDescribeTheTable();
    void valuesAreTyped();
    void boundValuesOfEveryType();

    void optimisticUpdateCountsExactly();
    void staleRowOfAnotherSessionMatchesNothing();

    void readerIsRefusedEveryWrite_data();
    void readerIsRefusedEveryWrite();
    void bootstrapMayOnlySignIn_data();
    void bootstrapMayOnlySignIn();
    void nothingEscapesTheRights_data();
    void nothingEscapesTheRights();
    void viewsNeedOnlyTheirOwnRight();
    void rightsChangeForNewSessions();

    void dateLiterals_data();
    void dateLiterals();
    void dateFormatBelongsToTheSession();
    void boundDatesMatchStoredOnes();
    void storedDateForms_data();
    void storedDateForms();

    void topForms_data();
    void topForms();
    void namesAndText_data();
    void namesAndText();
    void quotesStayInsideLiterals();

    void badInput_data();
    void badInput();
    void emptyTextDoesNothing();
    void noCountHidesRowCounts();
    void lockedDatabaseChangesNothing();

    void traceRecordsWhatSessionsReceive();
    void repeatedStatementsKeepRightsAndSeeChanges();

private:
    std::unique_ptr<Session> sessionFor(const QString &role);
    int markCount();

    QTemporaryDir m_dir;
    QString m_path;
};

void TestServer::init()
{
    m_path = freshDemoDatabase(m_dir);
}

std::unique_ptr<Session> TestServer::sessionFor(const QString &role)
{
    if (role == QLatin1String("bootstrap"))
        return bootstrapSession(m_path);
    if (role == QLatin1String("reader"))
        return signIn(m_path, QStringLiteral("sidorov"), QStringLiteral("sidorov1"));
    if (role == QLatin1String("admin")) {
        QString error;
        return Session::openAsAdministrator(m_path, &error);
    }
    return signIn(m_path, QStringLiteral("petrova"), QStringLiteral("petrova1"));
}

int TestServer::markCount()
{
    QString error;
    auto admin = Session::openAsAdministrator(m_path, &error);
    return admin ? scalar(*admin, QStringLiteral("SELECT count(*) FROM mark_mag")).toInt() : -1;
}

// ---- opening ----------------------------------------------------------------------------------------

void TestServer::openRefusesWrongLogins_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::newRow("unknown login") << "nobody" << "Boot2016";
    QTest::newRow("wrong password") << "olm_boot" << "boot2016";
    QTest::newRow("empty password") << "olm_boot" << "";
    QTest::newRow("quote in name") << "O'Brien" << "x";
}

void TestServer::openRefusesWrongLogins()
{
    QFETCH(QString, login);
    QFETCH(QString, password);
    QString error;
    QVERIFY(!Session::open(m_path, login, password, &error));
    QCOMPARE(error, QStringLiteral("Login failed for user '%1'.").arg(login));
}

void TestServer::openRefusesFilesThatAreNotOurs()
{
    QString error;
    const QString missing = m_dir.filePath(QStringLiteral("missing.sqlite"));
    QVERIFY(!Session::open(missing, QStringLiteral("olm_boot"), QStringLiteral("Boot2016"), &error));
    QVERIFY2(error.contains(missing) && error.contains(QLatin1String("does not exist")), qPrintable(error));
    QVERIFY(!QFile::exists(missing));

    const QString garbage = m_dir.filePath(QStringLiteral("garbage.sqlite"));
    QFile file(garbage);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();
    QVERIFY(!Session::openAsAdministrator(garbage, &error));
    QVERIFY2(error.contains(QLatin1String("not a database or is damaged")), qPrintable(error));

    const QString empty = m_dir.filePath(QStringLiteral("empty.sqlite"));
    QFile(empty).open(QIODevice::WriteOnly);
    QVERIFY(!Session::openAsAdministrator(empty, &error));
    QVERIFY2(error.contains(QLatin1String("not an OLM database")), qPrintable(error));
}

void TestServer::blockedUsersLoginIsDisabled()
{
    auto admin = sessionFor(QStringLiteral("admin"));
    QVERIFY(admin);
    const QString password = scalar(*admin, QStringLiteral("SELECT password FROM srv_db_logins WHERE name = 'popov'")).toString();
    QVERIFY(!password.isEmpty());
    QString error;
    QVERIFY(!Session::open(m_path, QStringLiteral("popov"), password, &error));
    QCOMPARE(error, QStringLiteral("Login failed for user 'popov'."));
    QVERIFY(Session::open(m_path, QStringLiteral("PETROVA"),
                          scalar(*admin, QStringLiteral("SELECT password FROM srv_db_logins WHERE name = 'petrova'")).toString(),
                          &error));
}

// ---- the client's statement texts --------------------------------------------------------------------

void TestServer::clientStatements_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QVariantList>("params");
    QTest::addColumn<QStringList>("columns"); // empty: no result set
    QTest::addColumn<int>("rows");             // -1: at least one; with no result set: rows affected

    const auto row = [](const char *name, const char *role, const QString &statement, const QStringList &columns,
                        int rows, const QVariantList &params = {}) {
        QTest::newRow(name) << QString::fromLatin1(role) << statement << params << columns << rows;
    };
    // sign-in
    row("GET_USER", "bootstrap", getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1")),
        {"db_login", "db_password", "id_login", "days_left", "message", "update_flag"}, 1);
    row("SET DATEFORMAT", "editor", QStringLiteral("SET DATEFORMAT dmy"), {}, -1);
    // lists opened after sign-in
    row("ADOQ_group", "editor", QStringLiteral("SELECT  * FROM [group]"),
        {"id_group", "p20", "id_speciality", "o_z", "start_year"}, 5);
    row("ADOQ_group of the user", "editor",
        QStringLiteral("SELECT  id_group, p20 FROM group_form where o_z = 1 AND  id_login = 1 GROUP BY id_group, p20"),
        {"id_group", "p20"}, 5);
    row("ADOQ_g_sem", "editor", QStringLiteral("select * from g_sem "), {"id_group", "id_semester", "p43", "id_rate"}, -1);
    row("ADOQ_s_fio", "editor", QStringLiteral("select * from s_fio"), {"id_student", "s_fio"}, 20);
    row("ADOQ_t_fio", "editor", QStringLiteral("select * from t_fio"), {"id_teacher", "t_fio"}, 8);
    row("ADOQ_Discipline", "editor", QStringLiteral("select * from gr_sem_disc_exam"),
        {"id_group", "id_semester", "id_discipline", "id_examination", "p34", "p30", "id_teacher"}, -1);
    row("ADOQ_estimation", "editor", QStringLiteral("select * from est2"), {"id_estimation", "p31", "id_examination"}, -1);
    row("ADOQ_estimation full", "editor", QStringLiteral("Select * from est2"), {"id_estimation", "p31", "id_examination"}, -1);
    row("ADOQ_estimation trailing blank", "editor", QStringLiteral("Select * from est2 "),
        {"id_estimation", "p31", "id_examination"}, -1);
    row("ADOQ_estimation narrowed", "editor", QStringLiteral("Select * from est2 where id_examination=2"),
        {"id_estimation", "p31", "id_examination"}, 6);
    row("ADOQ_f_est", "editor", QStringLiteral("select * from f_est"), {"id_f_e", "p109"}, 3);
    const QString special = QStringLiteral("SELECT EstimationOther.* \r\nFROM EstimationOther, com_sfe\r\n"
                                           "WHERE EstimationOther.id_ebe_var = com_sfe.id_ebe_var AND\r\n"
                                           "             com_sfe.id_speciality=:id_speciality");
    row("ADOQ_EstimationOther", "editor", special, {"id_estimation_other", "Estimation_Other", "id_ebe_var"}, 7, {1});
    row("ADOQ_EstimationOther other speciality", "editor", special,
        {"id_estimation_other", "Estimation_Other", "id_ebe_var"}, 0, {2});
    row("ADOQ_g_s", "editor", QStringLiteral("Select * from  g_s"), {"id_group", "spec", "id_speciality"}, 5);
    row("ADOQ_Year", "editor", QStringLiteral("Select p32 from g_r_y"), {"p32"}, -1);
    row("ADOTSemestr", "editor", QStringLiteral("SELECT * FROM semester"), {"id_semester", "p43"}, 8);
    row("ADOT_Examination", "editor", QStringLiteral("SELECT * FROM examination"), {"id_examination", "p30"}, 5);
    row("ADOQEduc_sh", "editor", QStringLiteral("select top 0 * from educ_sh"),
        {"id_educ_sh", "id_group", "id_semester", "id_discipline", "id_examination", "hours"}, 0);
    row("ADOQuery1", "editor", QStringLiteral("select * from discipline"), {"id_discipline", "p34"}, 13);
    row("ADOQ_Vremennyi", "editor", QStringLiteral("select * from examination"), {"id_examination", "p30"}, 5);
    // the selection cascade
    row("g_s of group", "editor", QStringLiteral("Select * from g_s where id_group=1"), {"id_group", "spec", "id_speciality"}, 1);
    row("semesters", "editor",
        QStringLiteral("Select  id_semester, p43, id_rate  from g_sem where  id_group=1 GROUP BY  id_semester, p43, id_rate "),
        {"id_semester", "p43", "id_rate"}, 4);
    row("students", "editor",
        QStringLiteral("Select id_student, s_fio from s_g where id_group=1 GROUP BY dbo.s_g.id_student, dbo.s_g.s_fio"),
        {"id_student", "s_fio"}, 5);
    row("curriculum", "editor", QStringLiteral(" SELECT * FROM gr_sem_disc_exam WHERE  id_semester=1 and id_group=1"),
        {"id_group", "id_semester", "id_discipline", "id_examination", "p34", "p30", "id_teacher"}, 4);
    row("create rows", "editor", QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 1,4,3,1"), {}, 3);
    row("year", "editor", QStringLiteral("Select top (1) g_r_y.* from g_r_y  where id_group=1 and id_rate=2"),
        {"id_group", "id_rate", "p32"}, 1);
    // deletion and restore
    row("ADOQ_Buffer", "editor", QStringLiteral("Select * from del_mark_mag"),
        {"id_mark_mag", "id_group", "id_student", "id_examination", "id_estimation", "id_discipline", "id_semester",
         "id_teacher", "p35", "p36", "id_f_est", "oper", "u_date", "Check_ch", "del_date", "del_oper"},
        2);
    row("restore list", "editor",
        QStringLiteral("Select * from  DEL_mark_mag where  id_group=1 and id_semester=2 and id_student=1"),
        {"id_mark_mag", "id_group", "id_student", "id_examination", "id_estimation", "id_discipline", "id_semester",
         "id_teacher", "p35", "p36", "id_f_est", "oper", "u_date", "Check_ch", "del_date", "del_oper"},
        2);
    row("tick", "editor", QStringLiteral("UPDATE [del_mark_mag] SET [Check_ch] = ? WHERE [id_mark_mag] = ? AND [Check_ch] = ?"),
        {}, 1, {true, 6, false});
    // change history
    row("log entry", "editor",
        QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES('mark_mag', 12, "
                       "'Поле \"p35\" изменило значение \"1\" на \"O''Neil\".', 'petrova', 'PC-101\\10.0.0.5')"),
        {}, 1);
    row("deleted row entry", "editor",
        QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES('mark_mag', 1234, "
                       "'Запись с уникальным номером - ''1234'' была удалена - (primech[''д''], dopusk_izm[False], "
                       "id_estimation_other[NULL], p36[''12.01.2009''], OLM_Update[''12.01.2009'']).', 'petrova', "
                       "'PC-101\\10.0.0.5')"),
        {}, 1);
    // the dataset layer's write-back
    row("post", "editor",
        QStringLiteral("UPDATE [mark_mag] SET [p35] = ?, [p36] = ? WHERE [id_mark_mag] = ? AND [p35] = ? AND [p36] = ?"),
        {}, 1, {QStringLiteral("777"), QDateTime(QDate(2022, 1, 20), QTime(0, 0)), 1, QStringLiteral("101"),
                QDateTime(QDate(2022, 1, 11), QTime(0, 0))});
    row("delete", "editor", QStringLiteral("DELETE FROM [mark_mag] WHERE [id_mark_mag] = ? AND [p35] = ?"), {}, 1,
        {2, QStringLiteral("102")});
    // the three procedures of the data module, called with bound parameters ("procedure:" rows)
    row("ADO_SP_Sort", "editor", QStringLiteral("procedure:SORT_2_MARK_MAG;1"),
        {"primech", "dopusk_izm", "id_estimation_other", "id_mark_mag", "id_group", "id_student", "id_examination",
         "id_discipline", "id_estimation", "id_semester", "id_teacher", "p35", "p36", "id_f_est", "oper", "u_date",
         "OLM_User", "OLM_Update"},
        5, {1, 1, 1});
    row("ADO_Del_SP", "editor", QStringLiteral("procedure:DEL_FROM_MARK_MAG;1"), {}, 3, {QStringLiteral("12,57,101,")});
    row("ADOStoredProc1", "editor", QStringLiteral("procedure:CTRL_Z_Mark_mag;1"), {}, 0, {1, 2});
}

void TestServer::clientStatements()
{
    QFETCH(QString, role);
    QFETCH(QString, statement);
    QFETCH(QVariantList, params);
    QFETCH(QStringList, columns);
    QFETCH(int, rows);
    auto session = sessionFor(role);
    QVERIFY(session);
    const QLatin1String procedure("procedure:");
    const Outcome outcome = statement.startsWith(procedure)
        ? session->callProcedure(statement.mid(procedure.size()), params)
        : session->execute(statement, params);
    QVERIFY_OK(outcome);
    if (columns.isEmpty()) {
        QVERIFY(outcome.resultSets.empty());
        QCOMPARE(outcome.rowsAffected, qint64(rows));
        return;
    }
    QCOMPARE(outcome.resultSets.size(), size_t(1));
    QCOMPARE(columnNames(*outcome.firstResult()), columns);
    if (rows < 0)
        QVERIFY(!outcome.firstResult()->rows.empty());
    else
        QCOMPARE(int(outcome.firstResult()->rows.size()), rows);
}

void TestServer::journalColumnsDescribeTheTable()
{
    auto session = sessionFor(QStringLiteral("editor"));
    QVERIFY(session);
    const Outcome outcome = session->callProcedure(QStringLiteral("SORT_2_MARK_MAG;1"), {1, 1, 1});
    QVERIFY_OK(outcome);
    const ResultSet &set = *outcome.firstResult();
    QCOMPARE(columnNames(set),
             QStringList({"primech", "dopusk_izm", "id_estimation_other", "id_mark_mag", "id_group", "id_student",
                          "id_examination", "id_discipline", "id_estimation", "id_semester", "id_teacher", "p35", "p36",
                          "id_f_est", "oper", "u_date", "OLM_User", "OLM_Update"}));
    const QList<QMetaType::Type> types{QMetaType::QString, QMetaType::Bool, QMetaType::Int, QMetaType::Int,
                                       QMetaType::Int, QMetaType::Int, QMetaType::Int, QMetaType::Int,
                                       QMetaType::Int, QMetaType::Int, QMetaType::Int, QMetaType::QString,
                                       QMetaType::QDateTime, QMetaType::Int, QMetaType::QString,
                                       QMetaType::QDateTime, QMetaType::QString, QMetaType::QDate};
    for (int i = 0; i < types.size(); ++i) {
        const ColumnInfo &column = set.columns.at(i);
        QCOMPARE(column.type, types.at(i));
        QCOMPARE(column.baseTable, QStringLiteral("mark_mag"));
        QCOMPARE(column.autoIncrement, column.name == QLatin1String("id_mark_mag"));
        QCOMPARE(column.readOnly, column.name == QLatin1String("id_mark_mag"));
    }
    QCOMPARE(set.columns.at(0).size, 50);
    QCOMPARE(set.columns.at(11).size, 50);
    QCOMPARE(set.columns.at(14).size, 5);
    QCOMPARE(set.columns.at(16).size, 20);
    QCOMPARE(int(set.rows.size()), 5); // four curriculum rows and the duplicate
    QCOMPARE(outcome.returnValue, QVariant(0));
}

void TestServer::valuesAreTyped()
{
    auto session = sessionFor(QStringLiteral("editor"));
    QVERIFY(session);
    const Outcome outcome = session->execute(
        QStringLiteral("SELECT primech, dopusk_izm, id_estimation, p36, OLM_Update, id_estimation_other, count(*) AS n "
                       "FROM mark_mag WHERE id_mark_mag = 1"));
    QVERIFY_OK(outcome);
    const QVariantList &row = outcome.firstResult()->rows.front();
    QCOMPARE(row.at(0), QVariant(QStringLiteral("д")));
    QCOMPARE(row.at(1), QVariant(false));
    QCOMPARE(row.at(2).metaType().id(), int(QMetaType::Int));
    QCOMPARE(row.at(3), QVariant(QDateTime(QDate(2022, 1, 11), QTime(0, 0))));
    QCOMPARE(row.at(4).metaType().id(), int(QMetaType::QDate));
    // SQL NULL is a null value of the column's type.
    QVERIFY(row.at(5).isNull());
    QCOMPARE(row.at(5).metaType().id(), int(QMetaType::Int));
    QCOMPARE(outcome.firstResult()->columns.at(6).readOnly, true);
    QCOMPARE(row.at(6).toInt(), 1);
}

void TestServer::boundValuesOfEveryType()
{
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    const Outcome outcome = editor->execute(
        QStringLiteral("UPDATE [mark_mag] SET [primech] = ?, [dopusk_izm] = ?, [id_estimation_other] = ?, [id_teacher] = ?, "
                       "[p35] = ?, [p36] = ?, [u_date] = ?, [oper] = ? WHERE [id_mark_mag] = ?"),
        {QStringLiteral("н/д"), true, QVariant(QMetaType(QMetaType::Int)), 2.0, QString(), QVariant(QMetaType(QMetaType::QDateTime)),
         QDate(2024, 2, 29), QVariant(QMetaType(QMetaType::QString)), qint64(1)});
    QVERIFY_OK(outcome);
    QCOMPARE(outcome.rowsAffected, qint64(1));
    const Outcome read = editor->execute(
        QStringLiteral("SELECT primech, dopusk_izm, id_estimation_other, id_teacher, p35, p36, oper FROM mark_mag WHERE id_mark_mag = 1"));
    const QVariantList &row = read.firstResult()->rows.front();
    QCOMPARE(row.at(0), QVariant(QStringLiteral("н/д")));
    QCOMPARE(row.at(1), QVariant(true));
    QVERIFY(row.at(2).isNull());
    QCOMPARE(row.at(3), QVariant(2));
    QCOMPARE(row.at(4), QVariant(QString())); // an empty text is not NULL
    QVERIFY(!row.at(4).isNull());
    QVERIFY(row.at(5).isNull());
    QVERIFY(row.at(6).isNull());
    QCOMPARE(editor->execute(QStringLiteral("UPDATE mark_mag SET id_teacher = ? WHERE id_mark_mag = 1"), {2.5}).error,
             QStringLiteral("Conversion failed when converting a value to data type int (column 'id_teacher')."));
}

// ---- write-back and concurrency -----------------------------------------------------------------------

void TestServer::optimisticUpdateCountsExactly()
{
    auto session = sessionFor(QStringLiteral("editor"));
    QVERIFY(session);
    // An empty row of the current semester: p35 and p36 are NULL.
    const int id = scalar(*session, QStringLiteral("SELECT min(id_mark_mag) FROM mark_mag WHERE id_group = 1 AND "
                                                   "id_semester = 4 AND id_student = 2")).toInt();
    QVERIFY(id > 0);
    const QString post = QStringLiteral("UPDATE [mark_mag] SET [p35] = ?, [p36] = ? WHERE [id_mark_mag] = ? AND [p35] IS NULL AND [p36] IS NULL");
    const QVariantList values{QStringLiteral("15"), QDateTime(QDate(2024, 6, 3), QTime(0, 0)), id};
    Outcome outcome = session->execute(post, values);
    QVERIFY_OK(outcome);
    QCOMPARE(outcome.rowsAffected, qint64(1));
    outcome = session->execute(post, values); // the row no longer has those old values
    QVERIFY_OK(outcome);
    QCOMPARE(outcome.rowsAffected, qint64(0));
    const QString back = QStringLiteral("UPDATE [mark_mag] SET [p35] = ? WHERE [id_mark_mag] = ? AND [p35] = ? AND [p36] = ?");
    outcome = session->execute(back, {QStringLiteral("16"), id, QStringLiteral("15"), QDate(2024, 6, 3)});
    QVERIFY_OK(outcome);
    QCOMPARE(outcome.rowsAffected, qint64(1)); // a date matches the stored date-time of that day
    QCOMPARE(scalar(*session, QStringLiteral("SELECT OLM_User FROM mark_mag WHERE id_mark_mag = ?"), {id}),
             QVariant(QStringLiteral("petrova")));
}

void TestServer::staleRowOfAnotherSessionMatchesNothing()
{
    auto first = sessionFor(QStringLiteral("editor"));
    auto second = sessionFor(QStringLiteral("editor")); // another session of a user of the row's group
    QVERIFY(first && second);
    const QVariant old = scalar(*first, QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = 3"));
    QVERIFY_OK(second->execute(QStringLiteral("UPDATE mark_mag SET p35 = '999' WHERE id_mark_mag = 3")));
    const Outcome stale = first->execute(QStringLiteral("UPDATE [mark_mag] SET [p35] = ? WHERE [id_mark_mag] = ? AND [p35] = ?"),
                                         {QStringLiteral("500"), 3, old});
    QVERIFY_OK(stale);
    QCOMPARE(stale.rowsAffected, qint64(0));
    QCOMPARE(scalar(*first, QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = 3")), QVariant(QStringLiteral("999")));
    QCOMPARE(scalar(*first, QStringLiteral("SELECT OLM_User FROM mark_mag WHERE id_mark_mag = 3")),
             QVariant(QStringLiteral("petrova")));
}

// ---- rights -------------------------------------------------------------------------------------------

void TestServer::readerIsRefusedEveryWrite_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("error");
    const QString denied = QStringLiteral("The %1 permission was denied on the object '%2', database 'olm', schema 'dbo'.");
    QTest::newRow("post") << "UPDATE [mark_mag] SET [p35] = '1' WHERE [id_mark_mag] = 1"
                          << denied.arg(QLatin1String("UPDATE"), QLatin1String("mark_mag"));
    QTest::newRow("post, other case") << "update MARK_MAG set p35 = '1'" << denied.arg(QLatin1String("UPDATE"), QLatin1String("mark_mag"));
    QTest::newRow("delete") << "DELETE FROM [mark_mag] WHERE [id_mark_mag] = 1"
                            << denied.arg(QLatin1String("DELETE"), QLatin1String("mark_mag"));
    QTest::newRow("tick") << "UPDATE del_mark_mag SET Check_ch = 1"
                          << denied.arg(QLatin1String("UPDATE"), QLatin1String("del_mark_mag"));
    QTest::newRow("log") << "INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES('mark_mag', 1, 'x', 'y', 'z')"
                         << denied.arg(QLatin1String("INSERT"), QLatin1String("OLM_LOG"));
    QTest::newRow("delete procedure") << "EXEC DEL_FROM_MARK_MAG '1,'"
                                      << denied.arg(QLatin1String("EXECUTE"), QLatin1String("DEL_FROM_MARK_MAG"));
    QTest::newRow("restore procedure") << "EXEC CTRL_Z_Mark_mag 1, 2"
                                       << denied.arg(QLatin1String("EXECUTE"), QLatin1String("CTRL_Z_Mark_mag"));
}

void TestServer::readerIsRefusedEveryWrite()
{
    QFETCH(QString, statement);
    QFETCH(QString, error);
    auto reader = sessionFor(QStringLiteral("reader"));
    QVERIFY(reader);
    QCOMPARE(reader->login(), QStringLiteral("sidorov"));
    const int before = markCount();
    const Outcome outcome = reader->execute(statement);
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.error, error);
    QCOMPARE(markCount(), before);
    QVERIFY_OK(reader->execute(QStringLiteral("EXEC SORT_2_MARK_MAG 1, 1, 1")));
}

void TestServer::bootstrapMayOnlySignIn_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("error");
    const QString denied = QStringLiteral("The %1 permission was denied on the object '%2', database 'olm', schema 'dbo'.");
    QTest::newRow("students") << "select * from s_fio" << denied.arg(QLatin1String("SELECT"), QLatin1String("s_fio"));
    QTest::newRow("view") << "select * from g_sem" << denied.arg(QLatin1String("SELECT"), QLatin1String("g_sem"));
    QTest::newRow("users") << "SELECT * FROM srv_users" << denied.arg(QLatin1String("SELECT"), QLatin1String("srv_users"));
    QTest::newRow("journal") << "EXEC SORT_2_MARK_MAG 1,1,1" << denied.arg(QLatin1String("EXECUTE"), QLatin1String("SORT_2_MARK_MAG"));
    QTest::newRow("log") << "INSERT INTO OLM_LOG([table]) VALUES('x')" << denied.arg(QLatin1String("INSERT"), QLatin1String("OLM_LOG"));
}

void TestServer::bootstrapMayOnlySignIn()
{
    QFETCH(QString, statement);
    QFETCH(QString, error);
    auto boot = sessionFor(QStringLiteral("bootstrap"));
    QVERIFY(boot);
    const Outcome outcome = boot->execute(statement);
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.error, error);
    QVERIFY_OK(boot->execute(getUserStatement(QStringLiteral("sidorov"), QStringLiteral("sidorov1"))));
}

void TestServer::nothingEscapesTheRights_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("server table") << "SELECT * FROM srv_db_logins";
    QTest::newRow("count of a server table") << "SELECT count(*) FROM srv_users";
    QTest::newRow("subquery") << "SELECT * FROM g_sem WHERE id_group IN (SELECT id_login FROM srv_users)";
    QTest::newRow("common table expression") << "WITH x AS (SELECT * FROM srv_db_logins) SELECT * FROM x";
    QTest::newRow("expression named like a view") << "WITH g_sem AS (SELECT * FROM srv_db_logins) SELECT * FROM g_sem";
    QTest::newRow("schema table") << "SELECT * FROM sqlite_master";
    QTest::newRow("pragma") << "PRAGMA table_info(mark_mag)";
    QTest::newRow("pragma function") << "select * from pragma_table_info('mark_mag')";
    QTest::newRow("attach") << "ATTACH DATABASE 'other.sqlite' AS other";
    QTest::newRow("drop") << "DROP TABLE s_fio";
    QTest::newRow("create") << "CREATE TABLE x (a INT)";
    QTest::newRow("trigger") << "CREATE TRIGGER t AFTER INSERT ON OLM_LOG BEGIN DELETE FROM mark_mag; END";
    QTest::newRow("transaction") << "BEGIN";
    QTest::newRow("copy of the file") << "VACUUM INTO 'copy.sqlite'";
    QTest::newRow("reindex") << "REINDEX";
    QTest::newRow("extension") << "SELECT load_extension('libc.so.6')";
    QTest::newRow("insert into journal") << "INSERT INTO mark_mag (id_group) VALUES (1)";
    QTest::newRow("second statement") << "SELECT 1; DELETE FROM mark_mag";
    QTest::newRow("second statement after update") << "UPDATE mark_mag SET p35 = '1' WHERE id_mark_mag = 1; DROP TABLE s_fio";
    QTest::newRow("exec then more") << "EXEC SORT_2_MARK_MAG 1,1,1; DELETE FROM mark_mag";
    QTest::newRow("sign-in procedure") << "EXEC GET_USER 'a','B',NULL, 'OLM 16', '10.0.0.5', 'PC', 'a','0','4'";
    QTest::newRow("quote breaking out") << "SELECT * FROM s_fio WHERE s_fio = 'x'' ; DELETE FROM mark_mag; --'";
}

void TestServer::nothingEscapesTheRights()
{
    QFETCH(QString, statement);
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    const int before = markCount();
    const Outcome outcome = editor->execute(statement);
    if (QTest::currentDataTag() == QLatin1String("quote breaking out")) {
        QVERIFY_OK(outcome); // one literal that happens to hold a semicolon
        QCOMPARE(int(outcome.firstResult()->rows.size()), 0);
    } else {
        QVERIFY2(!outcome.ok, qPrintable(statement));
    }
    QCOMPARE(markCount(), before);
    QVERIFY_OK(editor->execute(QStringLiteral("SELECT count(*) FROM s_fio")));
}

void TestServer::viewsNeedOnlyTheirOwnRight()
{
    auto reader = sessionFor(QStringLiteral("reader"));
    QVERIFY(reader);
    // group_form reads the server's own table of user groups, which the reader may not read directly.
    QCOMPARE(scalar(*reader, QStringLiteral("SELECT count(*) FROM group_form WHERE id_login = 2")).toInt(), 2);
    QVERIFY(!reader->execute(QStringLiteral("SELECT count(*) FROM srv_user_groups")).ok);
    QCOMPARE(scalar(*reader, QStringLiteral("SELECT count(*) FROM s_g WHERE id_group = 1")).toInt(), 5);
}

void TestServer::rightsChangeForNewSessions()
{
    QString error;
    {
        auto admin = Administration::open(m_path, &error);
        QVERIFY(admin);
        QVERIFY2(admin->setRight(QStringLiteral("petrova"), QStringLiteral("mark_mag"), QStringLiteral("update"), false, &error),
                 qPrintable(error));
        QVERIFY2(admin->setRight(QStringLiteral("sidorov"), QStringLiteral("DEL_FROM_MARK_MAG"), QStringLiteral("EXECUTE"), true, &error),
                 qPrintable(error));
        QVERIFY(!admin->setRight(QStringLiteral("nobody"), QStringLiteral("mark_mag"), QStringLiteral("SELECT"), true, &error));
        QCOMPARE(error, QStringLiteral("There is no database login 'nobody'."));
        QVERIFY(!admin->setRight(QStringLiteral("petrova"), QStringLiteral("mark_mag"), QStringLiteral("ALTER"), true, &error));
    }
    auto editor = sessionFor(QStringLiteral("editor"));
    QCOMPARE(editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = '1' WHERE id_mark_mag = 1")).error,
             QStringLiteral("The UPDATE permission was denied on the object 'mark_mag', database 'olm', schema 'dbo'."));
    QVERIFY_OK(editor->execute(QStringLiteral("DELETE FROM mark_mag WHERE id_mark_mag = 1")));
    auto reader = sessionFor(QStringLiteral("reader"));
    const Outcome deleted = reader->execute(QStringLiteral("EXEC DEL_FROM_MARK_MAG '2,'"));
    QVERIFY_OK(deleted);
    QCOMPARE(deleted.rowsAffected, qint64(1));
}

// ---- dates --------------------------------------------------------------------------------------------

void TestServer::dateLiterals_data()
{
    QTest::addColumn<QString>("order"); // empty: the session's default
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QDateTime>("stored"); // invalid: refused
    const QDateTime jan12(QDate(2009, 1, 12), QTime(0, 0));
    QTest::newRow("default is month first") << "" << "01/12/2009" << jan12;
    QTest::newRow("dmy with points") << "dmy" << "12.01.2009" << jan12;
    QTest::newRow("dmy with slashes") << "dmy" << "12/01/2009" << jan12;
    QTest::newRow("dmy two-digit year") << "dmy" << "12.01.09" << jan12;
    QTest::newRow("mdy") << "mdy" << "01-12-2009" << jan12;
    QTest::newRow("ymd") << "ymd" << "2009/01/12" << jan12;
    QTest::newRow("ISO whatever the order") << "dmy" << "2009-01-12" << jan12;
    QTest::newRow("unseparated whatever the order") << "dmy" << "20090112" << jan12;
    QTest::newRow("with a time") << "dmy" << "12.01.2009 14:30" << QDateTime(QDate(2009, 1, 12), QTime(14, 30));
    QTest::newRow("ISO with T") << "mdy" << "2009-01-12T08:05:03" << QDateTime(QDate(2009, 1, 12), QTime(8, 5, 3));
    QTest::newRow("no such day") << "dmy" << "31.02.2009" << QDateTime();
    QTest::newRow("no such month in mdy") << "mdy" << "13/01/2009" << QDateTime();
    QTest::newRow("not a date") << "dmy" << "вчера" << QDateTime();
}

void TestServer::dateLiterals()
{
    QFETCH(QString, order);
    QFETCH(QString, literal);
    QFETCH(QDateTime, stored);
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    if (!order.isEmpty())
        QVERIFY_OK(editor->execute(QStringLiteral("SET DATEFORMAT ") + order));
    const Outcome update = editor->execute(QStringLiteral("UPDATE mark_mag SET p36 = '%1' WHERE id_mark_mag = 1").arg(literal));
    if (!stored.isValid()) {
        QCOMPARE(update.error, QStringLiteral("Conversion failed when converting date and/or time from character string."));
        QCOMPARE(scalar(*editor, QStringLiteral("SELECT p36 FROM mark_mag WHERE id_mark_mag = 1")).toDateTime(),
                 QDateTime(QDate(2022, 1, 11), QTime(0, 0)));
        return;
    }
    QVERIFY_OK(update);
    QCOMPARE(scalar(*editor, QStringLiteral("SELECT p36 FROM mark_mag WHERE id_mark_mag = 1")).toDateTime(), stored);
    // The same literal finds the row again, compared or in a range.
    QCOMPARE(scalar(*editor, QStringLiteral("SELECT count(*) FROM mark_mag WHERE p36 = '%1'").arg(literal)).toInt(), 1);
    QCOMPARE(scalar(*editor, QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_mark_mag = 1 AND p36 BETWEEN '%1' AND '%1'")
                                 .arg(literal)).toInt(), 1);
}

void TestServer::dateFormatBelongsToTheSession()
{
    auto dayFirst = sessionFor(QStringLiteral("editor"));
    auto monthFirst = sessionFor(QStringLiteral("editor"));
    QVERIFY(dayFirst && monthFirst);
    QVERIFY_OK(dayFirst->execute(QStringLiteral("SET DATEFORMAT dmy")));
    QVERIFY_OK(dayFirst->execute(QStringLiteral("UPDATE mark_mag SET p36 = '05.06.2009' WHERE id_mark_mag = 1")));
    QVERIFY_OK(monthFirst->execute(QStringLiteral("UPDATE mark_mag SET p36 = '05.06.2009' WHERE id_mark_mag = 2")));
    QCOMPARE(scalar(*dayFirst, QStringLiteral("SELECT p36 FROM mark_mag WHERE id_mark_mag = 1")).toDateTime().date(), QDate(2009, 6, 5));
    QCOMPARE(scalar(*dayFirst, QStringLiteral("SELECT p36 FROM mark_mag WHERE id_mark_mag = 2")).toDateTime().date(), QDate(2009, 5, 6));
    // An INSERT's literals are read by the columns they land in: [descr] keeps its text, dates are converted.
    QVERIFY_OK(dayFirst->execute(QStringLiteral("INSERT INTO OLM_LOG ([table], [row_id], [descr], log_date) VALUES "
                                                "('mark_mag', 1, '05.06.2009', '07.06.2009 10:00')")));
    auto admin = sessionFor(QStringLiteral("admin"));
    const Outcome log = admin->execute(QStringLiteral("SELECT descr, log_date FROM OLM_LOG"));
    QVERIFY_OK(log);
    QCOMPARE(log.firstResult()->rows.back().at(0), QVariant(QStringLiteral("05.06.2009")));
    QCOMPARE(log.firstResult()->rows.back().at(1).toDateTime(), QDateTime(QDate(2009, 6, 7), QTime(10, 0)));
}

void TestServer::boundDatesMatchStoredOnes()
{
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    QVERIFY_OK(editor->execute(QStringLiteral("UPDATE mark_mag SET p36 = ? WHERE id_mark_mag = 1"),
                               {QDateTime(QDate(2023, 3, 4), QTime(9, 15, 30, 250))}));
    QCOMPARE(scalar(*editor, QStringLiteral("SELECT p36 FROM mark_mag WHERE id_mark_mag = 1")).toDateTime(),
             QDateTime(QDate(2023, 3, 4), QTime(9, 15, 30, 250)));
    const QString count = QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_mark_mag = 1 AND p36 %1 ?");
    QCOMPARE(scalar(*editor, count.arg(QLatin1String(">")), {QDate(2023, 3, 4)}).toInt(), 1);
    QCOMPARE(scalar(*editor, count.arg(QLatin1String("=")), {QDate(2023, 3, 4)}).toInt(), 0);
    QCOMPARE(scalar(*editor, count.arg(QLatin1String("<")), {QDateTime(QDate(2023, 3, 4), QTime(9, 15, 31))}).toInt(), 1);
    // A text that is no date is refused by the column, not stored.
    const Outcome wrong = editor->execute(QStringLiteral("UPDATE mark_mag SET p36 = ? WHERE id_mark_mag = 1"),
                                          {QStringLiteral("12.01.2009")});
    QCOMPARE(wrong.error, QStringLiteral("Conversion failed when converting date and/or time from character string."));
}

void TestServer::storedDateForms_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QDateTime>("read"); // invalid: not a date
    const QDate day(2024, 3, 5);
    QTest::newRow("date only") << QByteArray("2024-03-05") << QDateTime(day, QTime(0, 0));
    QTest::newRow("minutes") << QByteArray("2024-03-05 10:11") << QDateTime(day, QTime(10, 11));
    QTest::newRow("seconds") << QByteArray("2024-03-05 10:11:12") << QDateTime(day, QTime(10, 11, 12));
    QTest::newRow("tenths") << QByteArray("2024-03-05 10:11:12.5") << QDateTime(day, QTime(10, 11, 12, 500));
    QTest::newRow("milliseconds with T") << QByteArray("2024-03-05T23:59:59.123") << QDateTime(day, QTime(23, 59, 59, 123));
    QTest::newRow("twelve-hour time") << QByteArray("2024-03-05 01:02:03 PM") << QDateTime(day, QTime(13, 2, 3));
    QTest::newRow("no such day") << QByteArray("2024-02-30") << QDateTime();
    QTest::newRow("no such hour") << QByteArray("2024-03-05 24:00:00") << QDateTime();
    QTest::newRow("letters") << QByteArray("2024-0x-05") << QDateTime();
    QTest::newRow("too many digits") << QByteArray("2024-03-05 10:11:12.1234") << QDateTime();
}

void TestServer::storedDateForms()
{
    QFETCH(QByteArray, stored);
    QFETCH(QDateTime, read);
    const QDateTime value = olm::server::parseStoredDateTime(stored.constData(), int(stored.size()));
    QCOMPARE(value.isValid(), read.isValid());
    if (!read.isValid()) {
        QVERIFY(!olm::server::parseStoredDate(stored.constData(), int(stored.size())).isValid()
                || stored.size() > 10);
        return;
    }
    // The same local wall clock and the same instant as a date-time made in local time.
    QCOMPARE(value, read);
    QCOMPARE(value.date(), read.date());
    QCOMPARE(value.time(), read.time());
    QCOMPARE(olm::server::storedDateTime(value), olm::server::storedDateTime(read));
    QCOMPARE(olm::server::parseStoredDate(stored.constData(), int(stored.size())), read.date());
}

// ---- T-SQL forms --------------------------------------------------------------------------------------

void TestServer::topForms_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QVariantList>("params");
    QTest::addColumn<QVariantList>("firstColumn");
    QTest::newRow("TOP n") << "SELECT TOP 2 id_student FROM s_fio ORDER BY id_student" << QVariantList{}
                           << QVariantList{1, 2};
    QTest::newRow("TOP (n)") << "select top (3) id_student from s_fio order by id_student desc" << QVariantList{}
                             << QVariantList{20, 19, 18};
    QTest::newRow("TOP 0") << "select top 0 * from s_fio" << QVariantList{} << QVariantList{};
    QTest::newRow("DISTINCT TOP") << "SELECT DISTINCT TOP 2 id_group FROM s_g ORDER BY id_group" << QVariantList{}
                                  << QVariantList{1, 2};
    QTest::newRow("in a subquery") << "SELECT id_student FROM s_fio WHERE id_student IN (SELECT TOP 1 id_student FROM s_g WHERE id_group = 2 ORDER BY id_student)"
                                   << QVariantList{} << QVariantList{6};
    QTest::newRow("bound count keeps the parameter order")
        << "SELECT TOP (?) id_student FROM s_fio WHERE id_student > ? ORDER BY id_student" << QVariantList{2, 10}
        << QVariantList{11, 12};
    QTest::newRow("named and positional markers")
        << "SELECT TOP (?) id_student FROM s_g WHERE id_group = :group AND id_student > ? AND id_group = :group ORDER BY id_student"
        << QVariantList{2, 2, 6} << QVariantList{7, 8};
    QTest::newRow("before a semicolon") << "SELECT TOP 1 id_student FROM s_fio ORDER BY id_student;" << QVariantList{}
                                        << QVariantList{1};
}

void TestServer::topForms()
{
    QFETCH(QString, statement);
    QFETCH(QVariantList, params);
    QFETCH(QVariantList, firstColumn);
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    const Outcome outcome = editor->execute(statement, params);
    QVERIFY_OK(outcome);
    QVariantList values;
    for (const QVariantList &row : outcome.firstResult()->rows)
        values.append(row.at(0));
    QCOMPARE(values, firstColumn);
}

void TestServer::namesAndText_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("dbo. prefix") << "SELECT count(*) FROM dbo.s_fio" << QVariant(20);
    QTest::newRow("bracketed dbo") << "SELECT count(*) FROM [dbo].[s_fio]" << QVariant(20);
    QTest::newRow("dbo. on a column") << "SELECT dbo.s_fio.s_fio FROM dbo.s_fio WHERE dbo.s_fio.id_student = 2"
                                      << QVariant(QStringLiteral("Белова Дарья Андреевна"));
    QTest::newRow("database and schema") << "SELECT count(*) FROM olm.dbo.t_fio" << QVariant(8);
    QTest::newRow("other case of a name") << "SELECT COUNT(*) FROM S_FIO" << QVariant(20);
    QTest::newRow("bracket keyword") << "SELECT [p20] FROM [group] WHERE [id_group] = 3" << QVariant(QStringLiteral("ЭК-21"));
    QTest::newRow("national literal") << "SELECT id_student FROM s_fio WHERE s_fio = N'Белова Дарья Андреевна'" << QVariant(2);
    QTest::newRow("case-insensitive Cyrillic") << "SELECT id_student FROM s_fio WHERE s_fio = 'БЕЛОВА дарья андреевна'"
                                               << QVariant(2);
    QTest::newRow("trailing blanks ignored") << "SELECT id_student FROM s_fio WHERE s_fio = 'Белова Дарья Андреевна   '"
                                             << QVariant(2);
    QTest::newRow("LIKE Cyrillic") << "SELECT id_student FROM s_fio WHERE s_fio LIKE 'бел%'" << QVariant(2);
    QTest::newRow("LIKE set") << "SELECT count(*) FROM [group] WHERE p20 LIKE '[ПЭ]%'" << QVariant(3);
    QTest::newRow("LIKE negated set") << "SELECT count(*) FROM [group] WHERE p20 LIKE '[^П]%-2_'" << QVariant(3);
    QTest::newRow("upper") << "SELECT upper(p20) FROM [group] WHERE id_group = 1" << QVariant(QStringLiteral("ПИ-21"));
    QTest::newRow("lower") << "SELECT lower(spec) FROM g_s WHERE id_group = 4" << QVariant(QStringLiteral("юриспруденция"));
    QTest::newRow("ISNULL") << "SELECT ISNULL(id_estimation_other, -1) FROM mark_mag WHERE id_mark_mag = 1" << QVariant(qint64(-1));
    QTest::newRow("EXECUTE, named and group number") << "EXECUTE dbo.SORT_2_MARK_MAG;1 @student = 1, @group = 1, @semester = 1"
                                                     << QVariant(QStringLiteral("д"));
}

void TestServer::namesAndText()
{
    QFETCH(QString, statement);
    QFETCH(QVariant, value);
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    QCOMPARE(scalar(*editor, statement), value);
}

void TestServer::quotesStayInsideLiterals()
{
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    QVERIFY_OK(editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'O''Brien' WHERE id_mark_mag = 1")));
    QCOMPARE(scalar(*editor, QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = 1")), QVariant(QStringLiteral("O'Brien")));
    const QString hostile = QStringLiteral("1'); DELETE FROM mark_mag; --");
    QVERIFY_OK(editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = ? WHERE id_mark_mag = 1"), {hostile}));
    QCOMPARE(scalar(*editor, QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = 1")), QVariant(hostile));
    QVERIFY_OK(editor->execute(QStringLiteral("EXEC SORT_2_MARK_MAG '1', '1', '1'")));
    QCOMPARE(markCount(), 184);
}

// ---- bad input ----------------------------------------------------------------------------------------

void TestServer::badInput_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QVariantList>("params");
    QTest::addColumn<QString>("error");
    QTest::newRow("misspelt keyword") << "SELEC * FROM s_fio" << QVariantList{} << "Incorrect syntax near 'SELEC'.";
    QTest::newRow("unknown table") << "SELECT * FROM nothing_here" << QVariantList{} << "Invalid object name 'nothing_here'.";
    QTest::newRow("unknown column") << "SELECT nope FROM s_fio" << QVariantList{} << "Invalid column name 'nope'.";
    QTest::newRow("unknown bracketed column") << "SELECT [nope] FROM s_fio" << QVariantList{} << "Invalid column name 'nope'.";
    QTest::newRow("unknown quoted column") << "SELECT \"nope\" FROM s_fio" << QVariantList{} << "Invalid column name 'nope'.";
    QTest::newRow("unclosed quote") << "SELECT * FROM s_fio WHERE s_fio = 'abc" << QVariantList{}
                                    << "Unclosed quotation mark after the character string 'abc'.";
    QTest::newRow("unknown procedure") << "EXEC NO_SUCH_PROC 1" << QVariantList{} << "Could not find stored procedure 'NO_SUCH_PROC'.";
    QTest::newRow("too few arguments") << "EXEC SORT_2_MARK_MAG 1,2" << QVariantList{}
                                       << "Procedure or function 'SORT_2_MARK_MAG' expects parameter '@student', which was not supplied.";
    QTest::newRow("too many arguments") << "EXEC SORT_2_MARK_MAG 1,2,3,4" << QVariantList{}
                                        << "Procedure or function SORT_2_MARK_MAG has too many arguments specified.";
    QTest::newRow("text for a number") << "EXEC SORT_2_MARK_MAG 'abc',2,3" << QVariantList{} << "Error converting data type varchar to int.";
    QTest::newRow("unknown parameter name") << "EXEC SORT_2_MARK_MAG @grp = 1" << QVariantList{}
                                            << "@grp is not a parameter for procedure SORT_2_MARK_MAG.";
    QTest::newRow("variable") << "EXEC SORT_2_MARK_MAG @x, 1, 1" << QVariantList{} << "Must declare the scalar variable \"@x\".";
    QTest::newRow("bad DATEFORMAT") << "SET DATEFORMAT xyz" << QVariantList{}
                                    << "'xyz' is not a valid DATEFORMAT; use dmy, mdy, ymd, ydm, myd or dym.";
    QTest::newRow("unknown SET") << "SET FOO ON" << QVariantList{} << "'FOO' is not a recognized SET option.";
    QTest::newRow("text into a number column") << "UPDATE mark_mag SET id_teacher = 'abc' WHERE id_mark_mag = 1" << QVariantList{}
                                               << "Conversion failed when converting a value to data type int (column 'id_teacher').";
    QTest::newRow("too long") << "UPDATE mark_mag SET oper = 'abcdefgh' WHERE id_mark_mag = 1" << QVariantList{}
                              << "String or binary data would be truncated in column 'oper'.";
    QTest::newRow("missing value") << "SELECT * FROM s_fio WHERE id_student = ?" << QVariantList{}
                                   << "The statement has 1 parameter markers but 0 values were given.";
    QTest::newRow("value too many") << "SELECT * FROM s_fio" << QVariantList{1}
                                    << "The statement has 0 parameter markers but 1 values were given.";
    QTest::newRow("TOP PERCENT") << "SELECT TOP 10 PERCENT * FROM s_fio" << QVariantList{}
                                 << "TOP with PERCENT or WITH TIES is not supported.";
    QTest::newRow("two statements") << "SELECT 1; SELECT 2" << QVariantList{} << "Only one statement can be run at a time; nothing was run.";
}

void TestServer::badInput()
{
    QFETCH(QString, statement);
    QFETCH(QVariantList, params);
    QFETCH(QString, error);
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    const Outcome outcome = editor->execute(statement, params);
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.error, error);
    QCOMPARE(scalar(*editor, QStringLiteral("SELECT p35 || '/' || ifnull(oper, '') || id_teacher FROM mark_mag WHERE id_mark_mag = 1")),
             QVariant(QStringLiteral("101/1")));
}

void TestServer::emptyTextDoesNothing()
{
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    for (const QString &text : {QString(), QStringLiteral("   \r\n"), QStringLiteral("-- nothing"), QStringLiteral("/* a */ ;")}) {
        const Outcome outcome = editor->execute(text);
        QVERIFY_OK(outcome);
        QVERIFY(outcome.resultSets.empty());
        QCOMPARE(outcome.rowsAffected, qint64(-1));
    }
}

void TestServer::noCountHidesRowCounts()
{
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    QVERIFY_OK(editor->execute(QStringLiteral("SET NOCOUNT ON")));
    QCOMPARE(editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = '1' WHERE id_mark_mag = 1")).rowsAffected, qint64(-1));
    QVERIFY_OK(editor->execute(QStringLiteral("SET NOCOUNT OFF")));
    QCOMPARE(editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = '1' WHERE id_mark_mag = 1")).rowsAffected, qint64(1));
}

void TestServer::lockedDatabaseChangesNothing()
{
    auto holder = sessionFor(QStringLiteral("admin"));
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(holder && editor);
    editor->setBusyTimeout(50);
    QVERIFY_OK(holder->execute(QStringLiteral("BEGIN IMMEDIATE")));
    Outcome outcome = editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'x' WHERE id_mark_mag = 1"));
    QCOMPARE(outcome.error, QStringLiteral("The database 'olm' is locked by another session; nothing was changed. Try again."));
    outcome = editor->execute(QStringLiteral("EXEC DEL_FROM_MARK_MAG '1,2,'"));
    QVERIFY(outcome.error.contains(QLatin1String("is locked")));
    // Reading goes on while another session writes.
    QCOMPARE(scalar(*editor, QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = 1")), QVariant(QStringLiteral("101")));
    QVERIFY_OK(holder->execute(QStringLiteral("ROLLBACK")));
    QVERIFY_OK(editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'x' WHERE id_mark_mag = 1")));
    QCOMPARE(markCount(), 184);
}

// ---- trace --------------------------------------------------------------------------------------------

void TestServer::traceRecordsWhatSessionsReceive()
{
    QString error;
    {
        auto admin = Administration::open(m_path, &error);
        QVERIFY2(admin && admin->setTrace(true, &error), qPrintable(error));
    }
    auto boot = sessionFor(QStringLiteral("bootstrap"));
    const QString signInText = getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1"));
    QVERIFY_OK(boot->execute(signInText));
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY_OK(editor->execute(QStringLiteral("SET DATEFORMAT dmy")));
    QVERIFY_OK(editor->callProcedure(QStringLiteral("SORT_2_MARK_MAG;1"), {1, 1, 1}));
    QVERIFY(!editor->execute(QStringLiteral("SELEC 1")).ok);
    {
        auto admin = Administration::open(m_path, &error);
        QVERIFY(admin->setTrace(false, &error));
    }
    QVERIFY_OK(editor->execute(QStringLiteral("SELECT 1")));

    auto admin = Administration::open(m_path, &error);
    const auto trace = admin->trace(&error);
    QVERIFY2(trace, qPrintable(error));
    QStringList texts;
    for (const auto &entry : *trace) {
        QVERIFY(entry.time.isValid());
        texts.append(entry.login + QLatin1Char(' ') + entry.statement);
    }
    const QString masked = QStringLiteral("olm_boot EXEC GET_USER 'petrova', '********', NULL, 'OLM 16', '10.0.0.5', "
                                          "'PC-101', 'petrova', '0', '4'");
    QCOMPARE(texts.first(), masked); // the password digest never reaches the trace
    QVERIFY(!texts.join(QLatin1Char('\n')).contains(digest(QStringLiteral("petrova1"))));
    QVERIFY(texts.contains(QStringLiteral("petrova SET DATEFORMAT dmy")));
    QVERIFY(texts.contains(QStringLiteral("petrova EXEC SORT_2_MARK_MAG 1, 1, 1")));
    QVERIFY(texts.contains(QStringLiteral("petrova SELEC 1")));
    QVERIFY(!texts.contains(QStringLiteral("petrova SELECT 1")));

    // Switched on again, the running session's next statement (one it sent before) is traced at once.
    QVERIFY(admin->setTrace(true, &error));
    QVERIFY_OK(editor->execute(QStringLiteral("SELECT 1")));
    QCOMPARE(admin->trace(&error)->last().statement, QStringLiteral("SELECT 1"));
}

void TestServer::repeatedStatementsKeepRightsAndSeeChanges()
{
    auto reader = sessionFor(QStringLiteral("reader"));
    auto admin = sessionFor(QStringLiteral("admin"));
    QVERIFY(reader && admin);
    const QString update = QStringLiteral("UPDATE mark_mag SET p35 = 'x' WHERE id_mark_mag = 1");
    const QString read = QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = ?");
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(reader->execute(update).error, QStringLiteral("The UPDATE permission was denied on the object "
                                                               "'mark_mag', database 'olm', schema 'dbo'."));
        QVERIFY_OK(reader->execute(read, {1}));
    }
    QVERIFY_OK(admin->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'first' WHERE id_mark_mag = 1")));
    QCOMPARE(scalar(*reader, read, {1}), QVariant(QStringLiteral("first")));
    // A schema change in between: the kept statement is prepared again and still reads what is there now.
    QVERIFY_OK(admin->execute(QStringLiteral("CREATE INDEX test_p35 ON mark_mag (p35)")));
    QVERIFY_OK(admin->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'second' WHERE id_mark_mag = 1")));
    QCOMPARE(scalar(*reader, read, {1}), QVariant(QStringLiteral("second")));
    QCOMPARE(scalar(*reader, read, {2}).isNull(), scalar(*admin, read, {2}).isNull());
    // A statement that failed half-way leaves nothing behind for the next one of the same text.
    const QString insert = QStringLiteral("INSERT INTO OLM_LOG ([table], row_id, descr) VALUES (?, ?, ?)");
    QVERIFY(!admin->execute(insert, {QString(51, QLatin1Char('t')), 1, QStringLiteral("too long a table name")}).ok);
    QVERIFY_OK(admin->execute(insert, {QStringLiteral("mark_mag"), 1, QStringLiteral("fine")}));
}

OLM_TEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
