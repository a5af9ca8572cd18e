// olm-admin against a PostgreSQL deployment: the built tool run on a throwaway copy of the template database, as
// an administrator runs it (password in PGPASSWORD), checked by signing in through get_user; and the commands that
// belong to database files refusing a pg: target. The cluster's cases are skipped without scripts/test.sh's cluster.
#include "tests/support/PgTestDatabase.h"
#include "tests/support/TestMain.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

struct ToolRun {
    int code = -1;
    QString out;
    QString err;
};

// The tool with the superuser's password where libpq looks for it, never on the command line.
ToolRun runTool(const QStringList &arguments, const QString &password = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("PGUSER"));
    if (password.isEmpty())
        environment.remove(QStringLiteral("PGPASSWORD"));
    else
        environment.insert(QStringLiteral("PGPASSWORD"), password);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(OLM_ADMIN_EXECUTABLE), arguments);
    ToolRun run;
    if (!process.waitForFinished(60000)) {
        run.err = QStringLiteral("olm-admin did not finish");
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    // The leak checker's count of the ODBC driver's suppressed leaks is not the tool's output.
    const qsizetype report = run.err.indexOf(QLatin1String("-----------------------------------------------------\nSuppressions used:"));
    if (report >= 0)
        run.err.truncate(report);
    return run;
}

QList<QVariantList> rowsOf(const QSqlDatabase &db, const QString &statement, const QVariantList &params = {})
{
    QSqlQuery query(db);
    QList<QVariantList> rows;
    if (!query.prepare(statement))
        return rows;
    for (const QVariant &param : params)
        query.addBindValue(param);
    if (!query.exec()) {
        qWarning("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        return rows;
    }
    while (query.isSelect() && query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i)
            row.append(query.value(i));
        rows.append(row);
    }
    return rows;
}

// A statement that answers no rows (a journal login may add log entries but not read them back).
bool execOk(const QSqlDatabase &db, const QString &statement)
{
    QSqlQuery query(db);
    return query.exec(statement);
}

QString digestOf(const QString &password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toLatin1(), QCryptographicHash::Md5).toHex().toUpper());
}

// get_user's answer as the client asks it: db_login, db_password, id_login, days_left, message, update_flag.
QVariantList signIn(const QSqlDatabase &boot, const QString &login, const QString &password)
{
    return rowsOf(boot, QStringLiteral("SELECT * FROM get_user(?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                  {login, digestOf(password), QVariant(QMetaType(QMetaType::QString)), QStringLiteral("OLM 16"),
                   QStringLiteral("10.0.0.5"), QStringLiteral("TESTPC"), login, QStringLiteral("0"), QStringLiteral("4")})
        .value(0);
}

// The line of user list for login, split into its columns.
QStringList listed(const ToolRun &list, const QString &login)
{
    for (const QString &line : list.out.split(QLatin1Char('\n'))) {
        const QStringList cells = line.split(QLatin1Char('\t'));
        if (cells.value(1) == login)
            return cells;
    }
    return {};
}

} // namespace

class TestAdminPg : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PgTestDatabase> m_db;
    QString m_target;

    ToolRun tool(QStringList arguments)
    {
        arguments << QStringLiteral("--pg-user") << qEnvironmentVariable("OLM_TEST_PG_USER");
        return runTool(arguments, qEnvironmentVariable("OLM_TEST_PG_PASSWORD"));
    }
    bool startCluster()
    {
        QString why;
        if (!PgTestDatabase::available(&why)) {
            QTest::qSkip(qPrintable(why), __FILE__, __LINE__);
            return false;
        }
        m_db = std::make_unique<PgTestDatabase>();
        m_target = QStringLiteral("pg:%1,%2/%3").arg(m_db->host()).arg(m_db->port()).arg(m_db->databaseName());
        return m_db->isValid() && m_db->superuser().isValid();
    }

private slots:
    void cleanup() { m_db.reset(); }

    // One user's whole life, each step seen where it matters: in the list and at sign-in.
    void userLifecycle()
    {
        if (!startCluster())
            return;
        const QString login = QStringLiteral("tadm_%1").arg(QRandomGenerator::global()->generate() & 0xffffff, 6, 16,
                                                             QLatin1Char('0'));
        m_db->dropRoleAfterwards(login);
        const QSqlDatabase boot = m_db->connect(m_db->bootLogin(), m_db->bootPassword());

        ToolRun run = tool({QStringLiteral("user"), QStringLiteral("add"), m_target, login, QStringLiteral("--password"),
                            QStringLiteral("secret1")});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        run = tool({QStringLiteral("user"), QStringLiteral("add"), m_target, login, QStringLiteral("--password"),
                    QStringLiteral("secret1")});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(QLatin1String("already exists")), qPrintable(run.err));
        QVERIFY(tool({QStringLiteral("user"), QStringLiteral("passwd"), m_target, login, QStringLiteral("--password"),
                      QStringLiteral("abc")}).err.contains(QLatin1String("A password is 6 to 20 Latin letters")));

        // Groups by name (any case, as the client compares) and by id; a name of no group changes nothing.
        run = tool({QStringLiteral("user"), QStringLiteral("groups"), m_target, login, QStringLiteral("пи-21"),
                    QStringLiteral("3")});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        run = tool({QStringLiteral("user"), QStringLiteral("groups"), m_target, login, QStringLiteral("Нет-такой")});
        QCOMPARE(run.err, QStringLiteral("olm-admin: There is no group 'Нет-такой'.\n"));
        QVERIFY(tool({QStringLiteral("user"), QStringLiteral("groups"), m_target, login}).err.contains(QLatin1String("--none")));
        QStringList cells = listed(tool({QStringLiteral("user"), QStringLiteral("list"), m_target}), login);
        QCOMPARE(cells.mid(2), (QStringList{login, QStringLiteral("editor"), QDate::currentDate().toString(Qt::ISODate),
                                            QStringLiteral("90"), QString(), QStringLiteral("1,3"),
                                            QStringLiteral("ПИ-21, ЭК-21")}));

        QVariantList answer = signIn(boot, login, QStringLiteral("secret1"));
        QVERIFY(!answer.value(0).toString().isEmpty()); // the database login, handed out
        QCOMPARE(answer.value(4).toString(), QString());

        QVERIFY(tool({QStringLiteral("user"), QStringLiteral("role"), m_target, login, QStringLiteral("reader")}).code == 0);
        QCOMPARE(tool({QStringLiteral("user"), QStringLiteral("role"), m_target, login, QStringLiteral("admin")}).err,
                 QStringLiteral("olm-admin: user role takes editor or reader, not 'admin'.\n"));
        QCOMPARE(listed(tool({QStringLiteral("user"), QStringLiteral("list"), m_target}), login).value(3),
                 QStringLiteral("reader"));

        QVERIFY(tool({QStringLiteral("user"), QStringLiteral("block"), m_target, login, QStringLiteral("--message"),
                      QStringLiteral("Отпуск; до 'понедельника'")}).code == 0);
        answer = signIn(boot, login, QStringLiteral("secret1"));
        QCOMPARE(answer.value(4).toString(), QStringLiteral("Отпуск; до 'понедельника'"));
        QVERIFY(answer.value(0).toString().isEmpty());
        QCOMPARE(listed(tool({QStringLiteral("user"), QStringLiteral("list"), m_target}), login).value(6),
                 QStringLiteral("Отпуск; до 'понедельника'"));
        QVERIFY(tool({QStringLiteral("user"), QStringLiteral("unblock"), m_target, login}).code == 0);
        QVERIFY(!signIn(boot, login, QStringLiteral("secret1")).value(0).toString().isEmpty());

        QVERIFY(tool({QStringLiteral("user"), QStringLiteral("passwd"), m_target, login, QStringLiteral("--password"),
                      QStringLiteral("secret2")}).code == 0);
        QVERIFY(signIn(boot, login, QStringLiteral("secret1")).isEmpty());
        QVERIFY(tool({QStringLiteral("user"), QStringLiteral("expire"), m_target, login}).code == 0);
        answer = signIn(boot, login, QStringLiteral("secret2"));
        QCOMPARE(answer.value(3).toInt(), -1);
        cells = listed(tool({QStringLiteral("user"), QStringLiteral("list"), m_target}), login);
        QCOMPARE(cells.value(4), QStringLiteral("NULL"));

        QVERIFY(tool({QStringLiteral("user"), QStringLiteral("groups"), m_target, login, QStringLiteral("--none")}).code == 0);
        QCOMPARE(listed(tool({QStringLiteral("user"), QStringLiteral("list"), m_target}), login).value(7), QString());

        QVERIFY(tool({QStringLiteral("user"), QStringLiteral("remove"), m_target, login}).code == 0);
        QVERIFY(listed(tool({QStringLiteral("user"), QStringLiteral("list"), m_target}), login).isEmpty());
        QCOMPARE(rowsOf(m_db->superuser(), QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = ?"), {login})
                     .value(0).value(0).toInt(), 0);
        QCOMPARE(tool({QStringLiteral("user"), QStringLiteral("remove"), m_target, login}).err,
                 QStringLiteral("olm-admin: There is no user '%1'.\n").arg(login));
    }

    // log show and audit show keep one row's, one login's or the latest entries, in the embedded tool's columns.
    void trailFilters()
    {
        if (!startCluster())
            return;
        const QSqlDatabase admin = m_db->superuser();
        const QSqlDatabase petrova = m_db->connect(QStringLiteral("petrova"), m_db->databasePassword(QStringLiteral("petrova")));
        QVERIFY(petrova.isValid());
        QVERIFY(execOk(petrova, QStringLiteral("INSERT INTO olm_log (\"table\", row_id, descr, comp) VALUES ('mark_mag', 7, "
                                               "'p35: 4 -> 5', 'PC1')")));
        QVERIFY(execOk(admin, QStringLiteral("INSERT INTO olm_log (\"table\", row_id, descr, comp) VALUES ('mark_mag', 8, "
                                             "'p36: x', 'PC2')")));

        ToolRun run = tool({QStringLiteral("log"), QStringLiteral("show"), m_target});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("id\ttime\ttable\trow_id\tdescr\tuser\tcomp"));
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.value(1).endsWith(QLatin1String("\tmark_mag\t7\tp35: 4 -> 5\tpetrova\tPC1")), qPrintable(lines.value(1)));

        lines = tool({QStringLiteral("log"), QStringLiteral("show"), m_target, QStringLiteral("--row"), QStringLiteral("8")})
                    .out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.value(1).contains(QLatin1String("\tp36: x\t")));
        lines = tool({QStringLiteral("log"), QStringLiteral("show"), m_target, QStringLiteral("--login"), QStringLiteral("PETROVA")})
                    .out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(tool({QStringLiteral("log"), QStringLiteral("show"), m_target, QStringLiteral("--since"),
                       QDate::currentDate().addDays(1).toString(Qt::ISODate)}).out.count(QLatin1Char('\n')), 1);
        QCOMPARE(tool({QStringLiteral("log"), QStringLiteral("show"), m_target, QStringLiteral("--since"),
                       QStringLiteral("yesterday")}).err,
                 QStringLiteral("olm-admin: 'yesterday' is not a date such as 2026-09-01 or 2026-09-01 08:30.\n"));

        // A change by petrova's own login is in the trail with the old and the new value.
        const int row = rowsOf(admin, QStringLiteral("SELECT min(id_mark_mag) FROM mark_mag WHERE id_group = 1")).value(0).value(0).toInt();
        QVERIFY(row > 0);
        QVERIFY(rowsOf(petrova, QStringLiteral("UPDATE mark_mag SET p35 = 'audit' WHERE id_mark_mag = ? RETURNING 1"), {row}).size() == 1);
        run = tool({QStringLiteral("audit"), QStringLiteral("show"), m_target, QStringLiteral("--row"), QString::number(row),
                    QStringLiteral("--login"), QStringLiteral("petrova")});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("id\ttime\tlogin\taction\ttable\trow_id\tcolumn\told\tnew"));
        QVERIFY2(lines.size() >= 2, qPrintable(run.out));
        for (const QString &line : lines.mid(1))
            QCOMPARE(line.split(QLatin1Char('\t')).value(5), QString::number(row));
        QVERIFY2(run.out.contains(QLatin1String("\tp35\t")) && run.out.contains(QLatin1String("\taudit\n")), qPrintable(run.out));
        QCOMPARE(tool({QStringLiteral("audit"), QStringLiteral("show"), m_target, QStringLiteral("--login"),
                       QStringLiteral("nobody")}).out.count(QLatin1Char('\n')), 1);

        // query runs the administrator's own SQL and prints it as the embedded tool does; the server's refusal is
        // its own sentence.
        run = tool({QStringLiteral("query"), m_target, QStringLiteral("SELECT id_group, p20 FROM \"group\" WHERE id_group = 1")});
        QCOMPARE(run.out, QStringLiteral("id_group\tp20\n1\tПИ-21\n"));
        run = tool({QStringLiteral("query"), m_target, QStringLiteral("SELECT nothing_here")});
        QCOMPARE(run.code, 1);
        QCOMPARE(run.err, QStringLiteral("olm-admin: column \"nothing_here\" does not exist\n"));
    }

    // Without the password the tool says who it could not sign in as; a journal login is not an administrator.
    void signInFailures()
    {
        if (!startCluster())
            return;
        ToolRun run = runTool({QStringLiteral("user"), QStringLiteral("list"), m_target, QStringLiteral("--pg-user"),
                               QStringLiteral("nobody_here")},
                              QStringLiteral("wrong"));
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.startsWith(QStringLiteral("olm-admin: Cannot connect to %1 as nobody_here: ").arg(m_db->databaseName())),
                 qPrintable(run.err));
        run = runTool({QStringLiteral("user"), QStringLiteral("list"), m_target, QStringLiteral("--pg-user"),
                       QStringLiteral("petrova")},
                      m_db->databasePassword(QStringLiteral("petrova")));
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(QLatin1String("permission denied")), qPrintable(run.err));
    }

    void fileCommandsRefusePostgres_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("instead");
        const QString db = QStringLiteral("pg:db.example,5433/olm");
        QTest::newRow("init") << QStringList{"init", db} << "scripts of server/postgresql";
        QTest::newRow("upgrade") << QStringList{"upgrade", db} << "scripts of server/postgresql";
        QTest::newRow("backup") << QStringList{"backup", db, "copy.sql"} << "pg_dump";
        QTest::newRow("restore") << QStringList{"restore", "copy.sqlite", db} << "pg_restore";
        QTest::newRow("check") << QStringList{"check", db} << "olm-admin query";
        QTest::newRow("trace") << QStringList{"trace", "on", db} << "log_statement";
        QTest::newRow("import") << QStringList{"import", "groups", db, "groups.csv"} << "\\copy";
        QTest::newRow("config") << QStringList{"config", "show", db} << "olm_config_set";
        QTest::newRow("malformed target") << QStringList{"user", "list", "pg:db.example"} << "pg:HOST,PORT/DATABASE";
        QTest::newRow("bad port") << QStringList{"log", "show", "pg:db.example,99999/olm"} << "pg:HOST,PORT/DATABASE";
        QTest::newRow("pg user for a file") << QStringList{"user", "list", "olm.sqlite", "--pg-user", "a"}
                                            << "--pg-user goes with a PostgreSQL database";
        QTest::newRow("query as a login") << QStringList{"query", db, "SELECT 1", "--login", "a", "--password", "b"}
                                          << "SET ROLE";
    }
    // Refused before any connection is tried: nothing needs a server.
    void fileCommandsRefusePostgres()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, instead);
        const ToolRun run = runTool(arguments);
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.startsWith(QLatin1String("olm-admin: ")) && run.err.contains(instead), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }
};

OLM_TEST_GUILESS_MAIN(TestAdminPg)
#include "tst_admin_pg.moc"
