// Hostile input against the embedded server: every probe a signed-in user or the bootstrap login may send to get
// around the rights, the log or the sign-in rules; each must be refused with its text and change nothing.
#include "tests/support/TestMain.h"
#include "tst_server_support.h"

#include "server/Clock.h"
#include "server/Schema.h"

#include <QCryptographicHash>

using namespace servertest;

class TestServerHostile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void probesAreRefused_data();
    void probesAreRefused();
    void ownGroupsStillWork();
    void rowsWithoutAGroup();
    void signInRules_data();
    void signInRules();
    void guessingLocksTheLogin();
    void traceKeepsNoDigest_data();
    void traceKeepsNoDigest();
    void movedFileTakesNoWrites_data();
    void movedFileTakesNoWrites();
    void blockedUserLosesTheDatabaseLogin();
    void passwordsSetByTheAdministrator();
    void auditRecordsEveryDoor();

private:
    std::unique_ptr<Session> sessionFor(const QString &role);
    QByteArray fingerprint();
    std::unique_ptr<Session> admin();

    QTemporaryDir m_dir;
    QString m_path;
};

void TestServerHostile::init()
{
    m_path = freshDemoDatabase(m_dir);
    // One entry to overwrite, for the probes on the log.
    QVERIFY_OK(admin()->execute(QStringLiteral("INSERT INTO OLM_LOG (id_log, [table], row_id, descr, OLM_User, comp) "
                                               "VALUES (1, 'mark_mag', 1, 'first', 'petrova', 'PC-1')")));
}

void TestServerHostile::cleanup()
{
    olm::server::setServerClock({});
}

std::unique_ptr<Session> TestServerHostile::admin()
{
    QString error;
    return Session::openAsAdministrator(m_path, &error);
}

std::unique_ptr<Session> TestServerHostile::sessionFor(const QString &role)
{
    if (role == QLatin1String("bootstrap"))
        return bootstrapSession(m_path);
    if (role == QLatin1String("reader"))
        return signIn(m_path, QStringLiteral("sidorov"), QStringLiteral("sidorov1"));
    if (role == QLatin1String("groups 3, 4"))
        return signIn(m_path, QStringLiteral("smirnova"), QStringLiteral("smirnova1"));
    return signIn(m_path, QStringLiteral("petrova"), QStringLiteral("petrova1"));
}

// Everything a probe could change or read out: the journal, the deleted rows, the log and the credentials.
QByteArray TestServerHostile::fingerprint()
{
    auto owner = admin();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const char *table : {"mark_mag", "del_mark_mag", "srv_deleted_rest", "OLM_LOG", "srv_db_logins", "srv_users"}) {
        const Outcome outcome = owner->execute(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(QLatin1String(table)));
        if (!outcome.ok || !outcome.firstResult())
            return {};
        hash.addData(table);
        for (const QVariantList &row : outcome.firstResult()->rows) {
            for (const QVariant &value : row)
                hash.addData(value.toString().toUtf8() + '\x1f');
            hash.addData("\x1e");
        }
    }
    return hash.result();
}

void TestServerHostile::probesAreRefused_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("refusal"); // a part of the error text

    const QString logins = QStringLiteral("The SELECT permission was denied on the object 'srv_db_logins'");
    const QString users = QStringLiteral("The SELECT permission was denied on the object 'srv_users'");
    const QString appendOnly = QStringLiteral("The table 'OLM_LOG' only takes new entries; nothing was changed.");
    const QString notMine = QStringLiteral("is not one of your groups; nothing was changed.");
    const QString noRight = QStringLiteral("The user does not have permission to perform this action.");
    const QString logColumns = QStringLiteral("INSERT INTO OLM_LOG (id_log, [table], row_id, descr, OLM_User, comp) ");
    const auto row = [](const char *name, const char *role, const QString &statement, const QString &refusal) {
        QTest::newRow(name) << QString::fromLatin1(role) << statement << refusal;
    };

    // Names a statement gives: the real table is what counts.
    row("expression named like a trigger", "bootstrap",
        QStringLiteral("WITH mark_mag_stamp AS (SELECT name, password FROM srv_db_logins) SELECT * FROM mark_mag_stamp"), logins);
    row("expression named like a trigger, editor", "editor",
        QStringLiteral("WITH mark_mag_archive AS (SELECT password FROM srv_db_logins) SELECT * FROM mark_mag_archive"), logins);
    row("trigger-named expression in a write that fires it", "editor",
        QStringLiteral("WITH mark_mag_stamp AS (SELECT password FROM srv_db_logins) "
                       "UPDATE mark_mag SET p35 = (SELECT password FROM mark_mag_stamp) WHERE id_mark_mag = 1"),
        logins);
    row("expression named like a view", "editor",
        QStringLiteral("WITH group_form AS (SELECT login AS p20 FROM srv_users) SELECT * FROM group_form"), users);
    row("view's table, column the view hides", "editor",
        QStringLiteral("WITH group_form AS (SELECT verifier AS p20 FROM srv_users) SELECT * FROM group_form"), users);
    row("alias", "editor", QStringLiteral("SELECT x.password FROM srv_db_logins AS x"), logins);
    row("alias named like a trigger", "editor", QStringLiteral("SELECT mark_mag_stamp.password FROM srv_db_logins mark_mag_stamp"), logins);
    row("subquery", "editor", QStringLiteral("SELECT (SELECT password FROM srv_db_logins LIMIT 1)"), logins);
    row("schema-qualified", "editor", QStringLiteral("SELECT * FROM main.srv_db_logins"), logins);
    row("insert from a select", "editor",
        logColumns + QStringLiteral("SELECT 99, 'x', 1, password, 'u', 'c' FROM srv_db_logins"), logins);
    row("update from a select", "editor",
        QStringLiteral("UPDATE mark_mag SET p35 = (SELECT password FROM srv_db_logins LIMIT 1) WHERE id_mark_mag = 1"), logins);
    row("temporary table", "editor", QStringLiteral("CREATE TEMP TABLE t (a)"), noRight);
    row("temporary view", "editor", QStringLiteral("CREATE TEMP VIEW group_form AS SELECT * FROM srv_users"), noRight);
    row("temporary schema", "editor", QStringLiteral("SELECT * FROM temp.sqlite_master"), QStringLiteral("permission"));
    row("attach", "editor", QStringLiteral("ATTACH DATABASE ':memory:' AS other"), noRight);

    // The log takes plain inserts only.
    row("replace", "editor", QStringLiteral("REPLACE INTO OLM_LOG (id_log, [table], row_id, descr, OLM_User, comp) "
                                            "VALUES (1, 'mark_mag', 1, 'forged', 'x', 'y')"), appendOnly);
    row("insert or replace", "editor", QStringLiteral("INSERT OR REPLACE INTO OLM_LOG (id_log, [table], row_id, descr, "
                                                      "OLM_User, comp) VALUES (1, 'mark_mag', 1, 'forged', 'x', 'y')"),
        appendOnly);
    row("upsert", "editor",
        logColumns + QStringLiteral("VALUES (1, 'mark_mag', 1, 'forged', 'x', 'y') ON CONFLICT (id_log) DO UPDATE SET descr = 'forged'"),
        QStringLiteral("denied on the object 'OLM_LOG'")); // its conflict target is a read; with that right, appendOnly
    row("update of the log", "editor", QStringLiteral("UPDATE OLM_LOG SET descr = 'forged'"), appendOnly);
    row("delete from the log", "editor", QStringLiteral("DELETE FROM OLM_LOG"), appendOnly);

    row("update of the audit trail", "editor", QStringLiteral("UPDATE srv_audit SET new_value = 'x'"),
        QStringLiteral("The table 'srv_audit' only takes new entries; nothing was changed."));
    row("delete from the audit trail", "editor", QStringLiteral("DELETE FROM srv_audit"),
        QStringLiteral("The table 'srv_audit' only takes new entries; nothing was changed."));
    row("reading the audit trail", "editor",
        QStringLiteral("WITH mark_mag_audit_update AS (SELECT * FROM srv_audit) SELECT * FROM mark_mag_audit_update"),
        QStringLiteral("The SELECT permission was denied on the object 'srv_audit'"));
    row("expression named like the row history view", "editor",
        QStringLiteral("WITH row_history AS (SELECT descr, comp FROM OLM_LOG) SELECT * FROM row_history"),
        QStringLiteral("The SELECT permission was denied on the object"));
    row("the row history view itself", "editor", QStringLiteral("SELECT * FROM row_history"),
        QStringLiteral("The SELECT permission was denied on the object 'row_history'"));

    // The server's stamps.
    row("forged user stamp", "editor", QStringLiteral("UPDATE mark_mag SET OLM_User = 'ivanov' WHERE id_mark_mag = 1"),
        QStringLiteral("The column 'OLM_User' of 'mark_mag' is stamped by the server; nothing was changed."));
    row("forged date stamp", "editor",
        QStringLiteral("UPDATE mark_mag SET p35 = '7', OLM_Update = '2001-01-01' WHERE id_mark_mag = 1"),
        QStringLiteral("The column 'OLM_Update' of 'mark_mag' is stamped by the server; nothing was changed."));

    // Another user's groups.
    row("update of another group", "groups 3, 4", QStringLiteral("UPDATE mark_mag SET p35 = 'x' WHERE id_group = 1"), notMine);
    row("delete of every group", "groups 3, 4", QStringLiteral("DELETE FROM mark_mag"), notMine);
    row("moving a row into one's group", "groups 3, 4",
        QStringLiteral("UPDATE mark_mag SET id_group = 3 WHERE id_group = 1"), notMine);
    row("tick of another group", "groups 3, 4", QStringLiteral("UPDATE del_mark_mag SET Check_ch = 1"), notMine);
    row("journal of another group", "groups 3, 4", QStringLiteral("EXEC SORT_2_MARK_MAG 1, 1, 1"),
        QStringLiteral("The group 1 is not one of your groups"));
    row("rows for another group", "groups 3, 4", QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 1, 4, 3, 1"),
        QStringLiteral("The group 1 is not one of your groups"));
    row("restore in another group", "groups 3, 4", QStringLiteral("EXEC CTRL_Z_Mark_mag 1, 2"),
        QStringLiteral("The group 1 is not one of your groups"));
    row("delete procedure on another group", "groups 3, 4", QStringLiteral("EXEC DEL_FROM_MARK_MAG '1,'"), notMine);
    row("every group at once", "groups 3, 4", QStringLiteral("DELETE FROM mark_mag WHERE id_group IN (1, 3)"), notMine);

    // More ways of naming what a statement touches.
    row("returning from an update", "editor",
        QStringLiteral("UPDATE mark_mag SET p35 = p35 WHERE id_mark_mag = 1 RETURNING (SELECT password FROM srv_db_logins LIMIT 1)"),
        logins);
    row("returning from a log insert", "editor",
        logColumns + QStringLiteral("VALUES (99, 'x', 1, 'd', 'u', 'c') RETURNING (SELECT password FROM srv_db_logins LIMIT 1)"),
        logins);
    row("view joined with a hidden table", "editor",
        QStringLiteral("SELECT g.p20, u.verifier FROM group_form g JOIN srv_users u ON u.id_login = g.id_login"), users);
    row("bootstrap reading the journal", "bootstrap", QStringLiteral("SELECT * FROM mark_mag"),
        QStringLiteral("The SELECT permission was denied on the object 'mark_mag'"));
    row("bootstrap reading the users through a view", "bootstrap", QStringLiteral("SELECT * FROM group_form"),
        QStringLiteral("The SELECT permission was denied on the object 'group_form'"));
    row("reader writing through an alias", "reader", QStringLiteral("UPDATE mark_mag AS m SET p35 = 'x' WHERE m.id_mark_mag = 1"),
        QStringLiteral("The UPDATE permission was denied on the object 'mark_mag'"));
    row("pragma as a table", "editor", QStringLiteral("SELECT * FROM pragma_table_info('srv_db_logins')"),
        QStringLiteral("The SELECT permission was denied on the object 'pragma_table_info'"));
    row("temporary trigger", "editor",
        QStringLiteral("CREATE TEMP TRIGGER t AFTER UPDATE ON mark_mag BEGIN SELECT 1; END"), noRight);
    row("insert or ignore over a log entry", "editor",
        QStringLiteral("INSERT OR IGNORE INTO OLM_LOG (id_log, [table], row_id, descr, OLM_User, comp) "
                       "VALUES (1, 'mark_mag', 1, 'forged', 'x', 'y')"), appendOnly);
    row("insert or fail over a log entry", "editor",
        QStringLiteral("INSERT OR FAIL INTO OLM_LOG (id_log, [table], row_id, descr, OLM_User, comp) "
                       "VALUES (1, 'mark_mag', 1, 'forged', 'x', 'y')"), appendOnly);
    row("replace into the journal", "editor",
        QStringLiteral("REPLACE INTO mark_mag (id_mark_mag, id_group, p35) VALUES (1, 1, 'x')"),
        QStringLiteral("The INSERT permission was denied on the object 'mark_mag'"));
    row("upsert on the journal", "editor",
        QStringLiteral("INSERT INTO mark_mag (id_mark_mag, id_group) VALUES (1, 1) ON CONFLICT (id_mark_mag) DO UPDATE SET p35 = 'x'"),
        QStringLiteral("The INSERT permission was denied on the object 'mark_mag'"));

    // A deleted row comes back as it went: only the restore tick may change.
    row("rewriting a deleted row", "editor", QStringLiteral("UPDATE del_mark_mag SET id_estimation = 14 WHERE id_group = 1"),
        QStringLiteral("The column 'id_estimation' of 'del_mark_mag' keeps the row as it was deleted: only Check_ch may "
                       "be changed; nothing was changed."));
    row("rewriting a deleted row with its tick", "editor", QStringLiteral("UPDATE del_mark_mag SET Check_ch = 1, p35 = '99'"),
        QStringLiteral("The column 'p35' of 'del_mark_mag' keeps the row as it was deleted"));
    row("dropping deleted rows", "editor", QStringLiteral("DELETE FROM del_mark_mag"),
        QStringLiteral("The DELETE permission was denied on the object 'del_mark_mag'"));
}

void TestServerHostile::probesAreRefused()
{
    QFETCH(QString, role);
    QFETCH(QString, statement);
    QFETCH(QString, refusal);
    auto session = sessionFor(role);
    QVERIFY(session);
    if (QTest::currentDataTag() == QLatin1String("tick of another group")) // a row of group 1 waiting to be restored
        QVERIFY(scalar(*admin(), QStringLiteral("SELECT count(*) FROM del_mark_mag WHERE id_group = 1")).toInt() > 0);
    const QByteArray before = fingerprint();
    QVERIFY(!before.isEmpty());
    const Outcome outcome = session->execute(statement);
    QVERIFY2(!outcome.ok, "the probe was let through");
    QVERIFY2(outcome.error.contains(refusal), qPrintable(outcome.error));
    QCOMPARE(fingerprint(), before);
}

void TestServerHostile::ownGroupsStillWork()
{
    auto scoped = sessionFor(QStringLiteral("groups 3, 4"));
    QVERIFY(scoped);
    const int id = scalar(*admin(), QStringLiteral("SELECT min(id_mark_mag) FROM mark_mag WHERE id_group = 3")).toInt();
    QVERIFY(id > 0);
    const Outcome post = scoped->execute(QStringLiteral("UPDATE [mark_mag] SET [p35] = ? WHERE [id_mark_mag] = ?"),
                                         {QStringLiteral("15"), id});
    QVERIFY_OK(post);
    QCOMPARE(post.rowsAffected, 1);
    // The stamp is the server's, written by its trigger for a statement that really updates the row.
    QCOMPARE(scalar(*admin(), QStringLiteral("SELECT OLM_User FROM mark_mag WHERE id_mark_mag = ?"), {id}),
             QVariant(QStringLiteral("smirnova")));
    QVERIFY_OK(scoped->execute(QStringLiteral("DELETE FROM [mark_mag] WHERE [id_mark_mag] = ?"), {id}));
    QCOMPARE(scalar(*admin(), QStringLiteral("SELECT del_oper FROM del_mark_mag WHERE id_mark_mag = ?"), {id}).toString().trimmed(),
             QStringLiteral("smirnova"));
    QVERIFY_OK(scoped->execute(QStringLiteral("UPDATE [del_mark_mag] SET [Check_ch] = 1 WHERE [id_mark_mag] = ?"), {id}));
    const Outcome restore = scoped->execute(QStringLiteral("EXEC CTRL_Z_Mark_mag 3, %1")
                                                .arg(scalar(*admin(), QStringLiteral("SELECT id_semester FROM del_mark_mag "
                                                                                     "WHERE id_mark_mag = ?"), {id}).toInt()));
    QVERIFY_OK(restore);
    QCOMPARE(scalar(*admin(), QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_mark_mag = ?"), {id}).toInt(), 1);
    // A plain insert into the log still works, with a fresh id.
    QVERIFY_OK(scoped->execute(QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) "
                                              "VALUES('mark_mag', 1, 'x', 'smirnova', 'PC')")));
    QCOMPARE(scalar(*admin(), QStringLiteral("SELECT count(*) FROM OLM_LOG")).toInt(), 2);
    // The row's history shows the user's own groups' rows only.
    QVERIFY(scalar(*scoped, QStringLiteral("EXEC ROW_HISTORY ?"), {id}).isValid());
    const int foreignRow = scalar(*admin(), QStringLiteral("SELECT min(id_mark_mag) FROM mark_mag WHERE id_group = 1")).toInt();
    QVERIFY_OK(admin()->execute(QStringLiteral("UPDATE mark_mag SET p35 = '99' WHERE id_mark_mag = ?"), {foreignRow}));
    QVERIFY(scalar(*admin(), QStringLiteral("SELECT count(*) FROM row_history WHERE row_id = ?"), {foreignRow}).toInt() > 0);
    const Outcome foreign = scoped->execute(QStringLiteral("EXEC ROW_HISTORY ?"), {foreignRow});
    QVERIFY_OK(foreign);
    QVERIFY(foreign.firstResult() && foreign.firstResult()->rows.empty());
}

// A row that names no group (a pasted one before its keys are written) is no group's: it may be edited, and
// it may join only one of the user's own groups.
void TestServerHostile::rowsWithoutAGroup()
{
    QVERIFY_OK(admin()->execute(QStringLiteral("INSERT INTO mark_mag (id_mark_mag, id_group, p35) VALUES (9001, NULL, 'free')")));
    auto scoped = sessionFor(QStringLiteral("groups 3, 4"));
    QVERIFY(scoped);
    QVERIFY_OK(scoped->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'mine' WHERE id_mark_mag = 9001")));
    const QByteArray before = fingerprint();
    const Outcome foreign = scoped->execute(QStringLiteral("UPDATE mark_mag SET id_group = 1 WHERE id_mark_mag = 9001"));
    QVERIFY(!foreign.ok);
    QVERIFY2(foreign.error.contains(QLatin1String("is not one of your groups; nothing was changed.")), qPrintable(foreign.error));
    QCOMPARE(fingerprint(), before);
    // Nor may a row leave another group by losing its group.
    const Outcome leaving = scoped->execute(QStringLiteral("UPDATE mark_mag SET id_group = NULL WHERE id_group = 1"));
    QVERIFY(!leaving.ok);
    QCOMPARE(fingerprint(), before);
    QVERIFY_OK(scoped->execute(QStringLiteral("UPDATE mark_mag SET id_group = 3 WHERE id_mark_mag = 9001")));
    QCOMPARE(scalar(*admin(), QStringLiteral("SELECT id_group FROM mark_mag WHERE id_mark_mag = 9001")).toInt(), 3);
}

void TestServerHostile::signInRules_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("newPassword"); // "NULL": none
    QTest::addColumn<QString>("error");       // empty: answered, with this message instead
    QTest::addColumn<QString>("message");
    const QString wrong = QStringLiteral("Неверное имя пользователя или пароль.");
    QTest::newRow("trailing blank") << "petrova " << "NULL" << wrong << QString();
    QTest::newRow("leading blank") << " petrova" << "NULL" << wrong << QString();
    QTest::newRow("empty new password") << "petrova" << "" << QString() << QStringLiteral("Новый пароль не может быть пустым.");
    QTest::newRow("same new password") << "petrova" << "petrova1" << QString()
                                       << QStringLiteral("Новый пароль должен отличаться от прежнего.");
}

void TestServerHostile::signInRules()
{
    QFETCH(QString, login);
    QFETCH(QString, newPassword);
    QFETCH(QString, error);
    QFETCH(QString, message);
    auto boot = sessionFor(QStringLiteral("bootstrap"));
    QVERIFY(boot);
    const QByteArray before = fingerprint();
    const Outcome outcome = boot->execute(getUserStatement(login, QStringLiteral("petrova1"), newPassword));
    if (!error.isEmpty()) {
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.error, error);
    } else {
        QVERIFY_OK(outcome);
        const QVariantList &row = outcome.firstResult()->rows.front();
        QCOMPARE(row.at(4).toString(), message);
        QVERIFY(row.at(0).toString().isEmpty() && row.at(1).toString().isEmpty()); // no credentials
    }
    QCOMPARE(fingerprint(), before); // the password is unchanged
    QString why;
    QVERIFY(!Session::open(m_path, QStringLiteral("petrova "), scalar(*admin(), QStringLiteral(
        "SELECT password FROM srv_db_logins WHERE name = 'petrova'")).toString(), &why));
    QVERIFY(signIn(m_path, QStringLiteral("petrova"), QStringLiteral("petrova1")));
}

void TestServerHostile::guessingLocksTheLogin()
{
    QDateTime now = QDateTime::currentDateTime();
    olm::server::setServerClock([&now] { return now; });
    auto boot = sessionFor(QStringLiteral("bootstrap"));
    QVERIFY(boot);
    const QString wrong = QStringLiteral("Неверное имя пользователя или пароль.");
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("guess_%1").arg(i))).error, wrong);
        now = now.addSecs(60);
    }
    // Locked: the right password gets the same answer as a wrong one, in any case of the login.
    QCOMPARE(boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1"))).error, wrong);
    QCOMPARE(boot->execute(getUserStatement(QStringLiteral("PETROVA"), QStringLiteral("petrova1"))).error, wrong);
    QCOMPARE(scalar(*admin(), QStringLiteral("SELECT count(*) FROM srv_attempts WHERE login = 'petrova' AND success = 0")).toInt(), 6);
    // Another login is not affected.
    QVERIFY_OK(boot->execute(getUserStatement(QStringLiteral("sidorov"), QStringLiteral("sidorov1"))));
    now = now.addSecs(16 * 60);
    QVERIFY_OK(boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1"))));
    // A success starts the count again.
    QCOMPARE(boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("guess"))).error, wrong);
    QVERIFY_OK(boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1"))));
}

void TestServerHostile::traceKeepsNoDigest_data()
{
    QTest::addColumn<QString>("statement");
    const QString d = digest(QStringLiteral("petrova1"));
    QTest::newRow("well formed") << getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1"));
    QTest::newRow("too few arguments") << QStringLiteral("EXEC GET_USER 'petrova', '%1'").arg(d);
    QTest::newRow("unclosed quote") << QStringLiteral("EXEC GET_USER 'petrova', '%1").arg(d);
    QTest::newRow("parentheses") << QStringLiteral("EXEC GET_USER('petrova', '%1', NULL)").arg(d);
    QTest::newRow("short digest") << QStringLiteral("exec get_user 'petrova', '%1', NULL").arg(d.left(31));
    QTest::newRow("lower case digest") << QStringLiteral("EXEC GET_USER 'petrova', '%1', NULL").arg(d.toLower());
    QTest::newRow("digest in a select") << QStringLiteral("SELECT '%1'").arg(d);
}

void TestServerHostile::traceKeepsNoDigest()
{
    QFETCH(QString, statement);
    {
        QString error;
        auto owner = olm::server::Administration::open(m_path, &error);
        QVERIFY2(owner && owner->setTrace(true, &error), qPrintable(error));
    }
    auto boot = sessionFor(QStringLiteral("bootstrap"));
    QVERIFY(boot);
    boot->execute(statement);
    QString error;
    auto owner = olm::server::Administration::open(m_path, &error);
    const auto trace = owner->trace(&error);
    QVERIFY2(trace && !trace->isEmpty(), qPrintable(error));
    const QString secret = digest(QStringLiteral("petrova1")).left(31);
    for (const auto &entry : *trace)
        QVERIFY2(!entry.statement.contains(secret, Qt::CaseInsensitive), qPrintable(entry.statement));
    // Nor does the audit trail, which records the call too.
    const auto audit = owner->audit({}, &error);
    QVERIFY2(audit, qPrintable(error));
    for (const auto &entry : *audit) {
        const QString written = entry.oldValue.toString() + entry.newValue.toString();
        QVERIFY2(!written.contains(secret, Qt::CaseInsensitive), qPrintable(written));
    }
}

void TestServerHostile::movedFileTakesNoWrites_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("renamed") << "renamed";
    QTest::newRow("deleted") << "deleted";
    QTest::newRow("replaced") << "replaced";
}

void TestServerHostile::movedFileTakesNoWrites()
{
    QFETCH(QString, how);
    {
        // The trace would be written before the statement is judged: it must not reach the orphaned log either.
        QString error;
        auto owner = olm::server::Administration::open(m_path, &error);
        QVERIFY2(owner && owner->setTrace(true, &error), qPrintable(error));
    }
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    QVERIFY_OK(editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = '1' WHERE id_mark_mag = 1")));
    const QString moved = m_dir.filePath(QStringLiteral("moved-%1.sqlite").arg(how));
    if (how == QLatin1String("renamed")) {
        QVERIFY(QFile::rename(m_path, moved));
    } else if (how == QLatin1String("deleted")) {
        QVERIFY(QFile::remove(m_path));
    } else {
        // Another database put where the session's was.
        QVERIFY(QFile::rename(m_path, moved));
        QVERIFY(QFile::copy(templateDatabase(), m_path));
    }
    // The write-ahead log the session writes into: a refused write leaves it as it is.
    const auto walBytes = [this] {
        QFile wal(m_path + QStringLiteral("-wal"));
        return wal.open(QIODevice::ReadOnly) ? wal.readAll() : QByteArray();
    };
    const QByteArray walBefore = walBytes();
    const QString refusal = QStringLiteral("was deleted, renamed or replaced while this session was open; nothing was written.");
    for (const QString &write : {QStringLiteral("UPDATE mark_mag SET p35 = '2' WHERE id_mark_mag = 1"),
                                 QStringLiteral("EXEC DEL_FROM_MARK_MAG '1,'"),
                                 QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) "
                                                "VALUES('mark_mag', 1, 'lost', 'petrova', 'PC')")}) {
        const Outcome outcome = editor->execute(write);
        QVERIFY2(!outcome.ok, qPrintable(write));
        QVERIFY2(outcome.error.contains(refusal), qPrintable(outcome.error));
    }
    QCOMPARE(walBytes(), walBefore);
    editor.reset();
    // No file took the refused values (the first update stays in the log beside the old name).
    QString error;
    for (const QString &path : {moved, m_path}) {
        if (!QFile::exists(path))
            continue;
        auto owner = Session::openAsAdministrator(path, &error);
        QVERIFY2(owner, qPrintable(error));
        QCOMPARE(scalar(*owner, QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_mark_mag = 1 AND p35 = '2'")).toInt(), 0);
        QCOMPARE(scalar(*owner, QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_mark_mag = 1")).toInt(), 1);
        QCOMPARE(scalar(*owner, QStringLiteral("SELECT count(*) FROM OLM_LOG WHERE descr = 'lost'")).toInt(), 0);
    }
}

void TestServerHostile::blockedUserLosesTheDatabaseLogin()
{
    auto boot = sessionFor(QStringLiteral("bootstrap"));
    QVERIFY(boot);
    const Outcome answer = boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1")));
    QVERIFY_OK(answer);
    const QVariantList credentials = answer.firstResult()->rows.front();
    const QString login = unshift(credentials.at(0).toString());
    const QString password = unshift(credentials.at(1).toString());
    QString error;
    QVERIFY2(Session::open(m_path, login, password, &error), qPrintable(error));
    {
        auto owner = olm::server::Administration::open(m_path, &error);
        QVERIFY(owner && owner->blockUser(QStringLiteral("petrova"), QStringLiteral("Обратитесь в деканат."), &error));
    }
    // Credentials handed out before the block no longer open a session.
    QVERIFY(!Session::open(m_path, login, password, &error));
    QCOMPARE(error, QStringLiteral("Login failed for user '%1'.").arg(login));
    const Outcome blocked = boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1")));
    QVERIFY_OK(blocked);
    QCOMPARE(blocked.firstResult()->rows.front().at(4).toString(), QStringLiteral("Обратитесь в деканат."));
    QVERIFY(blocked.firstResult()->rows.front().at(1).toString().isEmpty());
    {
        auto owner = olm::server::Administration::open(m_path, &error);
        QVERIFY(owner && owner->unblockUser(QStringLiteral("petrova"), &error));
    }
    QVERIFY2(Session::open(m_path, login, password, &error), qPrintable(error));
}

void TestServerHostile::passwordsSetByTheAdministrator()
{
    QString error;
    auto owner = olm::server::Administration::open(m_path, &error);
    QVERIFY(owner);
    const QString rule = QStringLiteral("A password is 6 to 20 Latin letters, digits or '_'.");
    for (const QString &password : {QStringLiteral("a"), QStringLiteral("abc12"), QStringLiteral("abc 123"),
                                    QStringLiteral("пароль12"), QStringLiteral("a1234567890123456789x"), QString()}) {
        error.clear();
        QVERIFY2(!owner->setPassword(QStringLiteral("petrova"), password, &error), qPrintable(password));
        QCOMPARE(error, rule);
    }
    QVERIFY2(owner->setPassword(QStringLiteral("petrova"), QStringLiteral("New_pass_20"), &error), qPrintable(error));
    QVERIFY(signIn(m_path, QStringLiteral("petrova"), QStringLiteral("New_pass_20")));
}

void TestServerHostile::auditRecordsEveryDoor()
{
    auto editor = sessionFor(QStringLiteral("editor"));
    QVERIFY(editor);
    QVERIFY_OK(editor->execute(QStringLiteral("UPDATE [mark_mag] SET [p35] = ? WHERE [id_mark_mag] = ?"), {QStringLiteral("77"), 1}));
    QVERIFY_OK(editor->execute(QStringLiteral("EXEC DEL_FROM_MARK_MAG '1,'")));
    QVERIFY(!editor->execute(QStringLiteral("EXEC CTRL_Z_Mark_mag 'x', 1")).ok);
    QVERIFY_OK(editor->execute(QStringLiteral("DELETE FROM [mark_mag] WHERE [id_mark_mag] = ?"), {2}));
    QVERIFY_OK(admin()->execute(QStringLiteral("UPDATE del_mark_mag SET p35 = '78' WHERE id_mark_mag = 1")));

    QString error;
    auto owner = olm::server::Administration::open(m_path, &error);
    QVERIFY(owner);
    olm::server::AuditFilter rowOne;
    rowOne.rowId = 1;
    const auto entries = owner->audit(rowOne, &error);
    QVERIFY2(entries, qPrintable(error));
    QStringList seen;
    for (const auto &e : *entries) {
        seen.append(QStringList{e.login, e.action, e.table, e.column, e.oldValue.toString(), e.newValue.toString()}
                        .join(QLatin1Char('|')));
    }
    const auto has = [&seen](const QString &line) { return seen.contains(line); };
    QVERIFY2(has(QStringLiteral("petrova|UPDATE|mark_mag|p35|%1|77").arg(scalar(*admin(), QStringLiteral(
                 "SELECT old_value FROM srv_audit WHERE row_id = 1 AND [column] = 'p35' AND new_value = '77'")).toString())),
             qPrintable(seen.join(QLatin1Char('\n'))));
    QVERIFY(has(QStringLiteral("petrova|DELETE|mark_mag|p35|77|")));
    QVERIFY(has(QStringLiteral("petrova|INSERT|del_mark_mag|p35||77")));
    QVERIFY(has(QStringLiteral("dbo|UPDATE|del_mark_mag|p35|77|78"))); // the administrator's own statement too
    // A plain statement of the client's own is recorded like the procedure's work.
    olm::server::AuditFilter rowTwo;
    rowTwo.rowId = 2;
    const auto second = owner->audit(rowTwo, &error);
    QVERIFY(second);
    int deleted = 0;
    for (const auto &e : *second)
        deleted += e.login == QLatin1String("petrova") && e.action == QLatin1String("DELETE") && e.table == QLatin1String("mark_mag");
    QVERIFY(deleted > 0);
    // Calls, refused or not.
    olm::server::AuditFilter byPetrova;
    byPetrova.login = QStringLiteral("PETROVA");
    const auto calls = owner->audit(byPetrova, &error);
    QVERIFY(calls);
    QStringList called;
    for (const auto &e : *calls) {
        if (e.action == QLatin1String("EXECUTE"))
            called.append(e.table + QLatin1Char('|') + e.newValue.toString() + QLatin1Char('|') + e.oldValue.toString());
    }
    QVERIFY2(called.contains(QStringLiteral("DEL_FROM_MARK_MAG|EXEC DEL_FROM_MARK_MAG '1,'|")), qPrintable(called.join(QLatin1Char('\n'))));
    QVERIFY2(called.filter(QStringLiteral("CTRL_Z_Mark_mag|")).size() == 1
                 && !called.filter(QStringLiteral("CTRL_Z_Mark_mag|")).first().endsWith(QLatin1Char('|')),
             qPrintable(called.join(QLatin1Char('\n'))));
    olm::server::AuditFilter future;
    future.since = QDateTime::currentDateTime().addDays(1);
    QCOMPARE(owner->audit(future, &error)->size(), 0);
}

OLM_TEST_GUILESS_MAIN(TestServerHostile)
#include "tst_server_hostile.moc"
