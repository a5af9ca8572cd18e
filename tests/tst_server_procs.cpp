// The server's procedures: sign-in answers and password changes, the journal rows of a selection, their
// creation, deletion into del_mark_mag and restoring, and the stamps the server writes.
#include "tst_server_support.h"

#include "server/Clock.h"
#include "tests/support/TestMain.h"

#include <QElapsedTimer>

using namespace servertest;

class TestServerProcedures : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void signInAnswers_data();
    void signInAnswers();
    void signInHidesWhichPartWasWrong();
    void signInAsksOtherProgramsToUpdate();
    void signInChangesThePassword();
    void signInChecksItsArguments_data();
    void signInChecksItsArguments();
    void signedInSessionKnowsItsLogin();

    void journalOfOneStudentInStableOrder();
    void journalLoadDoesNotWaitForAnotherWriter();
    void editsStampUserAndDate();
    void creatingRowsTwiceCreatesNothingMore();
    void creatingRowsChecksTheSelection_data();
    void creatingRowsChecksTheSelection();

    void deletingMovesRowsToTheArchive();
    void malformedListMovesNothing_data();
    void malformedListMovesNothing();
    void longListIsTakenWhole();
    void datasetDeleteIsArchivedToo();
    void restoreBringsBackTickedRowsWithTheirIds();
    void deleteAndRestoreKeepEveryField();
    void failedRestoreChangesNothing();
    void ambiguousArgumentsRunNothing_data();
    void ambiguousArgumentsRunNothing();

    void procedureNamesAndBoundArguments_data();
    void procedureNamesAndBoundArguments();

private:
    std::unique_ptr<Session> editor() { return signIn(m_path, QStringLiteral("petrova"), QStringLiteral("petrova1")); }
    std::unique_ptr<Session> admin();
    QVariantList row(const QString &table, int id);
    int count(const QString &table, const QString &where = QStringLiteral("1 = 1"));

    QTemporaryDir m_dir;
    QString m_path;
    const QDateTime m_now{QDate(2030, 5, 6), QTime(10, 20, 30)};
};

void TestServerProcedures::init()
{
    m_path = freshDemoDatabase(m_dir);
}

void TestServerProcedures::cleanup()
{
    olm::server::setServerClock({});
}

std::unique_ptr<Session> TestServerProcedures::admin()
{
    QString error;
    return Session::openAsAdministrator(m_path, &error);
}

QVariantList TestServerProcedures::row(const QString &table, int id)
{
    const Outcome outcome = admin()->execute(QStringLiteral("SELECT * FROM %1 WHERE id_mark_mag = ?").arg(table), {id});
    return outcome.ok && !outcome.firstResult()->rows.empty() ? outcome.firstResult()->rows.front() : QVariantList();
}

int TestServerProcedures::count(const QString &table, const QString &where)
{
    return scalar(*admin(), QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(table, where)).toInt();
}

// ---- GET_USER -----------------------------------------------------------------------------------------

void TestServerProcedures::signInAnswers_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("databaseLogin"); // restored from the shifted answer; empty: none handed out
    QTest::addColumn<int>("daysLeft");
    QTest::addColumn<QString>("message");
    QTest::newRow("editor") << "petrova" << "petrova1" << "petrova" << 90 << "";
    QTest::newRow("login in other case") << "PETROVA" << "petrova1" << "petrova" << 90 << "";
    QTest::newRow("reader") << "sidorov" << "sidorov1" << "sidorov" << 90 << "";
    QTest::newRow("expired password") << "kuznetsov" << "kuznetsov1" << "" << -10 << "";
    QTest::newRow("due for a change") << "smirnova" << "smirnova1" << "smirnova" << 19 << "";
    QTest::newRow("blocked") << "popov" << "popov1" << ""
                             << 90 << "Учётная запись заблокирована. Обратитесь к администратору.";
}

void TestServerProcedures::signInAnswers()
{
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, databaseLogin);
    QFETCH(int, daysLeft);
    QFETCH(QString, message);
    auto boot = bootstrapSession(m_path);
    QVERIFY(boot);
    const Outcome outcome = boot->execute(getUserStatement(login, password));
    QVERIFY_OK(outcome);
    const auto &set = *outcome.firstResult();
    QCOMPARE(int(set.rows.size()), 1);
    const QVariantList &answer = set.rows.front();
    QCOMPARE(set.columns.at(2).type, QMetaType::Int);
    QCOMPARE(set.columns.at(3).type, QMetaType::Int);
    QCOMPARE(set.columns.at(5).type, QMetaType::Int);
    QCOMPARE(unshift(answer.at(0).toString()), databaseLogin);
    QCOMPARE(answer.at(3).toInt(), daysLeft);
    QCOMPARE(answer.at(4).toString(), message);
    QCOMPARE(answer.at(5).toInt(), 0);
    QCOMPARE(answer.at(2).toInt(), scalar(*admin(), QStringLiteral("SELECT id_login FROM srv_users WHERE login = ?"), {login}).toInt());
    if (databaseLogin.isEmpty()) {
        QVERIFY(answer.at(1).toString().isEmpty());
        return;
    }
    // The answer's credentials open a session of that login, and the stored database password is what came.
    QString error;
    auto session = Session::open(m_path, unshift(answer.at(0).toString()), unshift(answer.at(1).toString()), &error);
    QVERIFY2(session, qPrintable(error));
    QCOMPARE(session->login(), databaseLogin);
}

void TestServerProcedures::signInHidesWhichPartWasWrong()
{
    auto boot = bootstrapSession(m_path);
    QVERIFY(boot);
    const Outcome wrongPassword = boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova2")));
    const Outcome unknownLogin = boot->execute(getUserStatement(QStringLiteral("ivanov"), QStringLiteral("petrova1")));
    const Outcome emptyPassword = boot->execute(getUserStatement(QStringLiteral("petrova"), QString()));
    QVERIFY(!wrongPassword.ok && !unknownLogin.ok && !emptyPassword.ok);
    QCOMPARE(wrongPassword.error, QStringLiteral("Неверное имя пользователя или пароль."));
    QCOMPARE(unknownLogin.error, wrongPassword.error);
    QCOMPARE(emptyPassword.error, wrongPassword.error);
    QVERIFY_OK(boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1"))));

    const Outcome attempts = admin()->execute(
        QStringLiteral("SELECT login, address, computer, program, success FROM srv_attempts ORDER BY id_attempt"));
    QVERIFY_OK(attempts);
    QCOMPARE(int(attempts.firstResult()->rows.size()), 4);
    QCOMPARE(attempts.firstResult()->rows.at(1),
             (QVariantList{QStringLiteral("ivanov"), QStringLiteral("10.0.0.5"), QStringLiteral("PC-101"),
                           QStringLiteral("OLM 16"), false}));
    QCOMPARE(attempts.firstResult()->rows.at(3).at(4), QVariant(true));
    // Only a verifier is stored, never the digest the client sent.
    const QString verifier = scalar(*admin(), QStringLiteral("SELECT verifier FROM srv_users WHERE login = 'petrova'")).toString();
    QVERIFY(!verifier.contains(digest(QStringLiteral("petrova1")), Qt::CaseInsensitive));
    QVERIFY(verifier.startsWith(QLatin1String("pbkdf2-sha256$")));
}

void TestServerProcedures::signInAsksOtherProgramsToUpdate()
{
    auto boot = bootstrapSession(m_path);
    QVERIFY(boot);
    const auto flag = [&](const QString &program) {
        const Outcome outcome = boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1"),
                                                               QStringLiteral("NULL"), program));
        return outcome.ok ? outcome.firstResult()->rows.front().at(5).toInt() : -1;
    };
    QCOMPARE(flag(QStringLiteral("OLM 16")), 0);
    QCOMPARE(flag(QStringLiteral("OLM 15")), 3);
    // Versions compare as numbers, and a newer program is never sent back.
    QCOMPARE(flag(QStringLiteral("OLM 9")), 3);
    QCOMPARE(flag(QStringLiteral("OLM 17")), 0);
    QCOMPARE(flag(QStringLiteral("OLM 16.1")), 0);
    QCOMPARE(flag(QStringLiteral("Other 17")), 3);
    QVERIFY_OK(admin()->execute(QStringLiteral("UPDATE srv_config SET value = 'OLM 17' WHERE name = 'current_program'")));
    QCOMPARE(flag(QStringLiteral("OLM 16")), 3);
    QCOMPARE(flag(QStringLiteral("OLM 17")), 0);
}

void TestServerProcedures::signInChangesThePassword()
{
    auto boot = bootstrapSession(m_path);
    QVERIFY(boot);
    const QString login = QStringLiteral("kuznetsov");
    // A wrong old password changes nothing.
    QVERIFY(!boot->execute(getUserStatement(login, QStringLiteral("nope"), QStringLiteral("fresh_2030"))).ok);
    const Outcome changed = boot->execute(getUserStatement(login, QStringLiteral("kuznetsov1"), QStringLiteral("fresh_2030")));
    QVERIFY_OK(changed);
    const QVariantList &answer = changed.firstResult()->rows.front();
    QCOMPARE(answer.at(3).toInt(), 90);
    QCOMPARE(unshift(answer.at(0).toString()), login);
    QVERIFY(!boot->execute(getUserStatement(login, QStringLiteral("kuznetsov1"))).ok);
    const Outcome again = boot->execute(getUserStatement(login, QStringLiteral("fresh_2030")));
    QVERIFY_OK(again);
    QCOMPARE(again.firstResult()->rows.front().at(3).toInt(), 90);
    // The digest of an empty text is refused in the message column; the password stays.
    const Outcome empty = boot->execute(getUserStatement(login, QStringLiteral("fresh_2030"), QString()));
    QVERIFY_OK(empty);
    QCOMPARE(empty.firstResult()->rows.front().at(4).toString(), QStringLiteral("Новый пароль не может быть пустым."));
    QVERIFY(!boot->execute(getUserStatement(login, QString())).ok);
    QVERIFY_OK(boot->execute(getUserStatement(login, QStringLiteral("fresh_2030"))));
}

void TestServerProcedures::signInChecksItsArguments_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("error");
    const QString digestText = digest(QStringLiteral("petrova1"));
    QTest::newRow("eight arguments") << "EXEC GET_USER 'petrova','" + digestText + "',NULL, 'OLM 16', '10.0.0.5', 'PC', 'petrova','0'"
                                     << "Procedure or function 'GET_USER' expects parameter '@new_password_length', which was not supplied.";
    QTest::newRow("ten arguments") << "EXEC GET_USER 'petrova','" + digestText + "',NULL, 'OLM 16', '10.0.0.5', 'PC', 'petrova','0','4','x'"
                                   << "Procedure or function GET_USER has too many arguments specified.";
    QTest::newRow("length does not match") << "EXEC GET_USER 'petrova','" + digestText + "',NULL, 'OLM 16', '10.0.0.5', 'PC', 'petrova','0','34'"
                                           << "Argument 9 of GET_USER must be the length of argument 3 as written (4).";
    QTest::newRow("new password not a digest") << "EXEC GET_USER 'petrova','" + digestText + "','abc', 'OLM 16', '10.0.0.5', 'PC', 'petrova','0','5'"
                                               << "The new password of GET_USER must be a digest of 32 hexadecimal digits.";
    QTest::newRow("password not a digest") << "EXEC GET_USER 'petrova','petrova1',NULL, 'OLM 16', '10.0.0.5', 'PC', 'petrova','0','4'"
                                           << "Неверное имя пользователя или пароль.";
    QTest::newRow("the example call") << "EXEC GET_USER 'a','B',NULL, 'OLM 16', '10.0.0.5', 'PC', 'a','0','4'"
                                      << "Неверное имя пользователя или пароль.";
}

void TestServerProcedures::signInChecksItsArguments()
{
    QFETCH(QString, statement);
    QFETCH(QString, error);
    auto boot = bootstrapSession(m_path);
    QVERIFY(boot);
    const Outcome outcome = boot->execute(statement);
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.error, error);
    QCOMPARE(count(QStringLiteral("srv_users"), QStringLiteral("password_changed = olm_today()")), 3);
}

void TestServerProcedures::signedInSessionKnowsItsLogin()
{
    auto session = editor();
    QVERIFY(session);
    QCOMPARE(session->login(), QStringLiteral("petrova"));
    QCOMPARE(session->databasePath(), m_path);
    // The typed-null form of the same call, as the dataset layer passes it.
    auto boot = bootstrapSession(m_path);
    const Outcome outcome = boot->callProcedure(
        QStringLiteral("GET_USER"),
        {QStringLiteral("sidorov"), digest(QStringLiteral("sidorov1")), QVariant(QMetaType(QMetaType::QString)),
         QStringLiteral("OLM 16"), QStringLiteral("10.0.0.7"), QStringLiteral("PC-7"), QStringLiteral("sidorov"), 0, 4});
    QVERIFY_OK(outcome);
    QCOMPARE(unshift(outcome.firstResult()->rows.front().at(0).toString()), QStringLiteral("sidorov"));
}

// ---- the journal --------------------------------------------------------------------------------------

void TestServerProcedures::journalOfOneStudentInStableOrder()
{
    auto session = editor();
    QVERIFY(session);
    const Outcome outcome = session->callProcedure(QStringLiteral("SORT_2_MARK_MAG;1"), {1, 2, 2});
    QVERIFY_OK(outcome);
    QStringList disciplines;
    for (const QVariantList &r : outcome.firstResult()->rows) {
        QCOMPARE(r.at(4).toInt(), 1);
        QCOMPARE(r.at(9).toInt(), 2);
        QCOMPARE(r.at(5).toInt(), 2);
        disciplines.append(scalar(*session, QStringLiteral("SELECT p34 FROM discipline WHERE id_discipline = ?"), {r.at(7)}).toString());
    }
    QCOMPARE(disciplines, QStringList({"Линейная алгебра", "Программирование", "Физическая культура", "Философия"}));
    const Outcome none = session->callProcedure(QStringLiteral("SORT_2_MARK_MAG"),
                                                {QVariant(QMetaType(QMetaType::Int)), 2, 2});
    QVERIFY_OK(none);
    QCOMPARE(int(none.firstResult()->rows.size()), 0);
    QCOMPARE(int(none.firstResult()->columns.size()), 18);
}

void TestServerProcedures::journalLoadDoesNotWaitForAnotherWriter()
{
    auto writer = admin();
    auto reader = editor();
    QVERIFY(writer && reader);
    reader->setBusyTimeout(4000);
    // The other session is in the middle of a long write: it holds the write lock with a change not yet committed.
    QVERIFY_OK(writer->execute(QStringLiteral("BEGIN IMMEDIATE")));
    QVERIFY_OK(writer->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'pending' WHERE id_group = 1 AND id_semester = 2 "
                                              "AND id_student = 2")));
    QElapsedTimer timer;
    timer.start();
    const Outcome journal = reader->callProcedure(QStringLiteral("SORT_2_MARK_MAG;1"), {1, 2, 2});
    const qint64 waited = timer.elapsed();
    QVERIFY_OK(journal);
    QVERIFY2(waited < 1000, qPrintable(QStringLiteral("the load waited %1 ms").arg(waited)));
    QVERIFY(!journal.firstResult()->rows.empty());
    for (const QVariantList &r : journal.firstResult()->rows)
        QVERIFY(r.at(11) != QVariant(QStringLiteral("pending"))); // the committed state, not the half-done write
    // A write of the reader does wait for the lock, and goes through once the other write has ended.
    reader->setBusyTimeout(100);
    QVERIFY(!reader->execute(QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 1,4,3,1")).ok);
    QVERIFY_OK(writer->execute(QStringLiteral("ROLLBACK")));
    QVERIFY_OK(reader->execute(QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 1,4,3,1")));
    // The read's audit entry waited for the lock instead of the read, and keeps its place before the writes.
    const Outcome calls = writer->execute(QStringLiteral("SELECT [table], old_value IS NULL FROM srv_audit "
                                                         "WHERE action = 'EXECUTE' AND login = 'petrova' ORDER BY id_audit"));
    QVERIFY_OK(calls);
    QStringList recorded;
    for (const QVariantList &r : calls.firstResult()->rows)
        recorded.append(r.at(0).toString() + (r.at(1).toBool() ? QStringLiteral(" ran") : QStringLiteral(" refused")));
    QCOMPARE(recorded, (QStringList{QStringLiteral("SORT_2_MARK_MAG ran"), QStringLiteral("InsertInto_SORT_MARK_MAG_2 refused"),
                                    QStringLiteral("InsertInto_SORT_MARK_MAG_2 ran")}));
}

void TestServerProcedures::editsStampUserAndDate()
{
    auto session = editor(); // signed in today; the rest happens "later"
    QVERIFY(session);
    olm::server::setServerClock([this] { return m_now; });
    const QVariantList before = row(QStringLiteral("mark_mag"), 1);
    QVERIFY_OK(session->execute(QStringLiteral("UPDATE [mark_mag] SET [id_estimation] = ? WHERE [id_mark_mag] = ?"), {14, 1}));
    const QVariantList after = row(QStringLiteral("mark_mag"), 1);
    QCOMPARE(after.at(16), QVariant(QStringLiteral("petrova")));
    QCOMPARE(after.at(17), QVariant(m_now.date()));
    QCOMPARE(after.at(15), before.at(15)); // u_date is the client's field
    // Correcting the stamp itself does not stamp again.
    QVERIFY_OK(admin()->execute(QStringLiteral("UPDATE mark_mag SET OLM_User = 'ivanova' WHERE id_mark_mag = 1")));
    QCOMPARE(row(QStringLiteral("mark_mag"), 1).at(16), QVariant(QStringLiteral("ivanova")));
}

void TestServerProcedures::creatingRowsTwiceCreatesNothingMore()
{
    auto session = editor();
    QVERIFY(session);
    const QString create = QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 1,4,3,1");
    Outcome outcome = session->execute(create);
    QVERIFY_OK(outcome);
    QCOMPARE(outcome.rowsAffected, qint64(3));
    outcome = session->execute(create);
    QVERIFY_OK(outcome);
    QCOMPARE(outcome.rowsAffected, qint64(0));
    QVERIFY_OK(session->execute(QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 1,4,4,0")));
    QCOMPARE(count(QStringLiteral("mark_mag"), QStringLiteral("id_group = 1 AND id_semester = 4 AND id_student = 4")), 0);

    const Outcome journal = session->callProcedure(QStringLiteral("SORT_2_MARK_MAG;1"), {1, 4, 3});
    QVERIFY_OK(journal);
    QCOMPARE(int(journal.firstResult()->rows.size()), 3);
    for (const QVariantList &r : journal.firstResult()->rows) {
        QVERIFY(r.at(8).isNull()); // no mark yet
        const int teacher = scalar(*session, QStringLiteral("SELECT id_teacher FROM gr_sem_disc_exam WHERE id_group = 1 AND "
                                                            "id_semester = 4 AND id_discipline = ? AND id_examination = ?"),
                                   {r.at(7), r.at(6)}).toInt();
        QCOMPARE(r.at(10).toInt(), teacher);
        QCOMPARE(r.at(16), QVariant(QStringLiteral("petrova")));
    }
}

void TestServerProcedures::creatingRowsChecksTheSelection_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("error");
    QTest::newRow("student of another group") << "EXEC InsertInto_SORT_MARK_MAG_2 1,4,6,1" << "The student 6 is not in the group 1.";
    QTest::newRow("unknown mode") << "EXEC InsertInto_SORT_MARK_MAG_2 1,4,3,2"
                                  << "The fourth argument of InsertInto_SORT_MARK_MAG_2 must be 0 or 1.";
    QTest::newRow("no student") << "EXEC InsertInto_SORT_MARK_MAG_2 1,4,NULL,1"
                                << "InsertInto_SORT_MARK_MAG_2 needs a group, a semester and a student.";
}

void TestServerProcedures::creatingRowsChecksTheSelection()
{
    QFETCH(QString, statement);
    QFETCH(QString, error);
    auto session = editor();
    const int before = count(QStringLiteral("mark_mag"));
    const Outcome outcome = session->execute(statement);
    QCOMPARE(outcome.error, error);
    QCOMPARE(count(QStringLiteral("mark_mag")), before);
}

// ---- deletion and restore -----------------------------------------------------------------------------

void TestServerProcedures::deletingMovesRowsToTheArchive()
{
    auto session = editor(); // signed in today; the rest happens "later"
    QVERIFY(session);
    olm::server::setServerClock([this] { return m_now; });
    const QVariantList first = row(QStringLiteral("mark_mag"), 1);
    const Outcome outcome = session->callProcedure(QStringLiteral("DEL_FROM_MARK_MAG;1"), {QStringLiteral("1,3,")});
    QVERIFY_OK(outcome);
    QCOMPARE(outcome.rowsAffected, qint64(2));
    QCOMPARE(count(QStringLiteral("mark_mag"), QStringLiteral("id_mark_mag IN (1, 3)")), 0);
    const QVariantList archived = row(QStringLiteral("del_mark_mag"), 1);
    QCOMPARE(archived.size(), 16);
    // The restore list's columns: the journal's keys, mark and sheet, then tick, time and operator.
    const int journalColumn[] = {3, 4, 5, 6, 8, 7, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 13; ++i)
        QCOMPARE(archived.at(i), first.at(journalColumn[i]));
    QCOMPARE(archived.at(13), QVariant(false));
    QCOMPARE(archived.at(14), QVariant(m_now));
    QCOMPARE(archived.at(15), QVariant(QStringLiteral("petrova")));
}

void TestServerProcedures::malformedListMovesNothing_data()
{
    QTest::addColumn<QString>("list");
    QTest::newRow("last comma missing") << "1,3";
    QTest::newRow("empty item") << "1,,3,";
    QTest::newRow("letter") << "a,";
    QTest::newRow("semicolons") << "1;3;";
    QTest::newRow("comma alone") << ",";
    QTest::newRow("fraction") << "1.5,";
    QTest::newRow("negative") << "-1,";
    QTest::newRow("statement") << "1) OR 1=1 --,";
}

void TestServerProcedures::malformedListMovesNothing()
{
    QFETCH(QString, list);
    auto session = editor();
    QVERIFY(session);
    const Outcome outcome = session->execute(QStringLiteral("EXEC DEL_FROM_MARK_MAG '%1'").arg(QString(list).replace(QLatin1Char('\''), QStringLiteral("''"))));
    QCOMPARE(outcome.error, QStringLiteral("DEL_FROM_MARK_MAG expects row ids each followed by a comma, as in '12,57,301,'; "
                                           "nothing was deleted."));
    QCOMPARE(count(QStringLiteral("mark_mag")), 184);
    QCOMPARE(count(QStringLiteral("del_mark_mag")), 2);
}

void TestServerProcedures::longListIsTakenWhole()
{
    auto session = editor();
    QVERIFY(session);
    const Outcome ids = session->execute(QStringLiteral("SELECT id_mark_mag FROM mark_mag WHERE id_group = 1"));
    QVERIFY_OK(ids);
    QString list;
    for (const QVariantList &r : ids.firstResult()->rows)
        list += r.at(0).toString() + QLatin1Char(',');
    QVERIFY(list.size() > 100);
    const Outcome outcome = session->callProcedure(QStringLiteral("DEL_FROM_MARK_MAG;1"), {list});
    QVERIFY_OK(outcome);
    QCOMPARE(outcome.rowsAffected, qint64(ids.firstResult()->rows.size()));
    QCOMPARE(count(QStringLiteral("mark_mag"), QStringLiteral("id_group = 1")), 0);
    QCOMPARE(count(QStringLiteral("del_mark_mag")), 2 + int(ids.firstResult()->rows.size()));
}

void TestServerProcedures::datasetDeleteIsArchivedToo()
{
    auto session = editor();
    QVERIFY(session);
    const Outcome outcome = session->execute(QStringLiteral("DELETE FROM [mark_mag] WHERE [id_mark_mag] = ?"), {5});
    QVERIFY_OK(outcome);
    QCOMPARE(outcome.rowsAffected, qint64(1));
    QCOMPARE(row(QStringLiteral("del_mark_mag"), 5).value(15), QVariant(QStringLiteral("petrova")));
}

void TestServerProcedures::restoreBringsBackTickedRowsWithTheirIds()
{
    auto session = editor();
    QVERIFY(session);
    const QVariantList deleted = row(QStringLiteral("del_mark_mag"), 6);
    QVERIFY(!deleted.isEmpty());
    QVERIFY_OK(session->execute(QStringLiteral("UPDATE [del_mark_mag] SET [Check_ch] = ? WHERE [id_mark_mag] = ?"), {true, 6}));
    const Outcome outcome = session->callProcedure(QStringLiteral("CTRL_Z_Mark_mag;1"), {1, 2});
    QVERIFY_OK(outcome);
    QCOMPARE(outcome.rowsAffected, qint64(1));
    const QVariantList restored = row(QStringLiteral("mark_mag"), 6);
    QCOMPARE(restored.value(3), QVariant(6));
    QCOMPARE(restored.value(8), deleted.at(4)); // the mark came back
    QVERIFY(row(QStringLiteral("del_mark_mag"), 6).isEmpty());
    QVERIFY(!row(QStringLiteral("del_mark_mag"), 7).isEmpty()); // not ticked: still waiting
    // Another group's or semester's ticks are not touched.
    QVERIFY_OK(session->execute(QStringLiteral("UPDATE del_mark_mag SET Check_ch = 1 WHERE id_mark_mag = 7")));
    QCOMPARE(session->callProcedure(QStringLiteral("CTRL_Z_Mark_mag;1"), {1, 3}).rowsAffected, qint64(0));
    QVERIFY(!row(QStringLiteral("del_mark_mag"), 7).isEmpty());
}

void TestServerProcedures::deleteAndRestoreKeepEveryField()
{
    auto session = editor();
    QVERIFY(session);
    const int id = scalar(*session, QStringLiteral("SELECT id_mark_mag FROM mark_mag WHERE primech = 'н/д'")).toInt();
    const QVariantList before = row(QStringLiteral("mark_mag"), id);
    QCOMPARE(before.at(1), QVariant(true));
    QVERIFY_OK(session->execute(QStringLiteral("EXEC DEL_FROM_MARK_MAG '%1,'").arg(id)));
    QVERIFY_OK(session->execute(QStringLiteral("UPDATE del_mark_mag SET Check_ch = 1 WHERE id_mark_mag = ?"), {id}));
    QVERIFY_OK(session->execute(QStringLiteral("EXEC CTRL_Z_Mark_mag 1, 1")));
    QCOMPARE(row(QStringLiteral("mark_mag"), id), before);
    QCOMPARE(count(QStringLiteral("srv_deleted_rest")), 2); // only the demo's two waiting rows
}

void TestServerProcedures::failedRestoreChangesNothing()
{
    auto session = editor();
    QVERIFY(session);
    QVERIFY_OK(session->execute(QStringLiteral("UPDATE del_mark_mag SET Check_ch = 1")));
    // Someone put a row under id 7 meanwhile: the restore cannot give 7 back and must undo 6 as well.
    QVERIFY_OK(admin()->execute(QStringLiteral("INSERT INTO mark_mag (id_mark_mag, id_group, id_semester, id_student) VALUES (7, 1, 2, 1)")));
    const Outcome outcome = session->execute(QStringLiteral("EXEC CTRL_Z_Mark_mag 1, 2"));
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.error, QStringLiteral("Violation of PRIMARY KEY constraint. Cannot insert duplicate key in object 'dbo.mark_mag'."));
    QVERIFY(row(QStringLiteral("mark_mag"), 6).isEmpty());
    QCOMPARE(count(QStringLiteral("del_mark_mag")), 2);
}

void TestServerProcedures::ambiguousArgumentsRunNothing_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("error");
    QTest::newRow("positional after named")
        << "EXEC CTRL_Z_Mark_mag @semester = 2, 1"
        << "Must pass parameter number 2 and subsequent parameters as '@name = value'. After the form '@name = value' "
           "has been used, all subsequent parameters must be passed in the form '@name = value'.";
    QTest::newRow("named twice") << "EXEC CTRL_Z_Mark_mag @group = 1, @semester = 3, @semester = 2"
                                 << "Parameter '@semester' was supplied multiple times.";
    QTest::newRow("named after positional") << "EXEC CTRL_Z_Mark_mag 3, 2, @group = 1"
                                            << "Parameter '@group' was supplied multiple times.";
}

void TestServerProcedures::ambiguousArgumentsRunNothing()
{
    QFETCH(QString, statement);
    QFETCH(QString, error);
    auto session = editor();
    QVERIFY(session);
    QVERIFY_OK(session->execute(QStringLiteral("UPDATE del_mark_mag SET Check_ch = 1")));
    const Outcome outcome = session->execute(statement);
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.error, error);
    QCOMPARE(count(QStringLiteral("del_mark_mag")), 2);
}

void TestServerProcedures::procedureNamesAndBoundArguments_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("found");
    QTest::newRow("group number") << "SORT_2_MARK_MAG;1" << true;
    QTest::newRow("other case") << "sort_2_mark_mag" << true;
    QTest::newRow("dbo. and brackets") << "dbo.[SORT_2_MARK_MAG];1" << true;
    QTest::newRow("other schema") << "guest.SORT_2_MARK_MAG" << false;
    QTest::newRow("unknown") << "SORT_3_MARK_MAG" << false;
}

void TestServerProcedures::procedureNamesAndBoundArguments()
{
    QFETCH(QString, name);
    QFETCH(bool, found);
    auto session = editor();
    QVERIFY(session);
    const Outcome outcome = session->callProcedure(name, {QStringLiteral("1"), 1.0, 1});
    QCOMPARE(outcome.ok, found);
    if (!found) {
        QCOMPARE(outcome.error, QStringLiteral("Could not find stored procedure '%1'.").arg(name));
        return;
    }
    QCOMPARE(int(outcome.firstResult()->rows.size()), 5);
    const Outcome bound = session->execute(QStringLiteral("EXEC ") + name + QStringLiteral(" ?, ?, ?"), {1, 1, 1});
    QVERIFY_OK(bound);
    QCOMPARE(int(bound.firstResult()->rows.size()), 5);
}

OLM_TEST_GUILESS_MAIN(TestServerProcedures)
#include "tst_server_procs.moc"
