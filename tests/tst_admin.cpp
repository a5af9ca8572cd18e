// olm-admin as an administrator runs it: the settings file, creating databases, users, trace, log and queries.
#include "tst_admin_support.h"
#include "tst_server_support.h"
#include "tests/support/TestMain.h"

#include "OlmVersion.h"

#include <QProcess>
#include <QStandardPaths>

using namespace admintest;
using namespace servertest;

namespace {

// A stock sqlite3 shell on a database file, with our collations loaded or without; empty path when there is
// no shell.
QString stockShellPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
}

Run stockShell(const QString &database, const QString &sql, bool withCollations = true)
{
    QProcess process;
    QStringList arguments;
    if (withCollations)
        arguments << QStringLiteral("-cmd") << QStringLiteral(".load %1").arg(QStringLiteral(OLM_COLLATIONS_MODULE));
    arguments << database << sql;
    process.start(stockShellPath(), arguments);
    Run run;
    if (!process.waitForFinished(30000))
        return run;
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray shifted(const QByteArray &text)
{
    QByteArray result;
    for (const char c : text)
        result += char(quint8(c) - 1);
    return result;
}

} // namespace

class TestAdmin : public QObject {
    Q_OBJECT

private slots:
    void init();

    void settingsFileHasTheClientsLayout();
    void settingsRefusesValuesThatDoNotFit_data();
    void settingsRefusesValuesThatDoNotFit();
    void settingsShowReadsLikeTheClient();

    void initCreatesDatabaseAndSettings();
    void userCommands();
    void userCommandsRefuseMistakes_data();
    void userCommandsRefuseMistakes();
    void currentProgramDecidesTheUpdateFlag();
    void configRefusesMistakes_data();
    void configRefusesMistakes();
    void traceAndLog();
    void upgradeBringsAnOlderLayoutUp_data();
    void upgradeBringsAnOlderLayoutUp();
    void newerDatabaseIsRefused();
    void stockShellReadsAndChecksTheFile();
    void backupWhileAnotherSessionWrites();
    void checkFindsBrokenReferences();
    void auditShow();
    void queryPrintsRowsAndErrors();
    void pingSignsInWithTheSettingsFile();
    void usageMistakes_data();
    void usageMistakes();
    void helpAndVersion();
    void manPageNamesEveryCommand();
    void userGroupsByNameOrId();
    void userRoleExpireAndRemove();

private:
    QTemporaryDir m_dir;
    QString m_db; // a fresh demo database
};

void TestAdmin::init()
{
    m_db = freshDemoDatabase(m_dir);
}

void TestAdmin::settingsFileHasTheClientsLayout()
{
    const QString file = m_dir.filePath(QStringLiteral("OLM"));
    QVERIFY_RUN(admin({"settings", "write", file, "--user", "olm_boot", "--password", "Boot2016", "--server", "embedded",
                       "--catalog", "olm.sqlite"}));
    QFile raw(file);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    QCOMPARE(bytes.size(), 84);
    QCOMPARE(bytes.mid(0, 8), shifted("olm_boot"));
    QCOMPARE(bytes.mid(20, 8), shifted("Boot2016"));
    QCOMPARE(int(bytes.at(40)), 8);
    QCOMPARE(int(bytes.at(41)), 8);
    QCOMPARE(bytes.mid(42, 8), shifted("embedded"));
    QCOMPARE(bytes.mid(62, 10), shifted("olm.sqlite"));
    QCOMPARE(int(bytes.at(82)), 8);
    QCOMPARE(int(bytes.at(83)), 10);
    const Run show = admin({"settings", "show", file});
    QVERIFY_RUN(show);
    QCOMPARE(show.out, QStringLiteral("user: olm_boot\npassword: Boot2016\nserver: embedded\ncatalog: olm.sqlite\n"));

    // Windows-1251: one byte a letter, so twenty Cyrillic letters fit.
    QVERIFY_RUN(admin({"settings", "write", file, "--user", "Пользователь", "--password", "", "--server", "embedded",
                       "--catalog", "абвгдеёжзийклмнопрст"}));
    raw.close(); // the file was replaced, not rewritten in place
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray cyrillic = raw.readAll();
    QCOMPARE(int(cyrillic.at(40)), 12);
    QCOMPARE(int(cyrillic.at(41)), 0);
    QCOMPARE(int(cyrillic.at(83)), 20);
    QCOMPARE(quint8(cyrillic.at(0)), quint8(0xCF - 1)); // 'П' is 0xCF in Windows-1251
    QCOMPARE(admin({"settings", "show", file}).out,
             QStringLiteral("user: Пользователь\npassword: \nserver: embedded\ncatalog: абвгдеёжзийклмнопрст\n"));
}

void TestAdmin::settingsRefusesValuesThatDoNotFit_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("long user") << "--user" << "abcdefghijklmnopqrstu" << "The user is 21 bytes long; the settings file holds at most 20.";
    QTest::newRow("long catalog") << "--catalog" << "a_very_long_catalog.sqlite" << "The catalog is 26 bytes long; the settings file holds at most 20.";
    QTest::newRow("no Windows-1251 form") << "--password" << "密码" << "The password has characters that Windows-1251 cannot hold.";
}

void TestAdmin::settingsRefusesValuesThatDoNotFit()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(QString, message);
    const QString file = m_dir.filePath(QStringLiteral("OLM-refused"));
    QStringList arguments{"settings", "write", file, "--user", "u", "--password", "p", "--server", "embedded", "--catalog", "c"};
    arguments[arguments.indexOf(option) + 1] = value;
    const Run run = admin(arguments);
    QCOMPARE(run.code, 1);
    QCOMPARE(run.err, QStringLiteral("olm-admin: ") + message + QLatin1Char('\n'));
    QVERIFY(!QFile::exists(file));
}

void TestAdmin::settingsShowReadsLikeTheClient()
{
    // A length of 0 gives an empty value, one above 20 the whole field; bytes past the length are ignored.
    QByteArray bytes(84, '\0');
    bytes.replace(0, 5, shifted("admin") + "XYZ");
    bytes[40] = 5;
    bytes.replace(20, 20, shifted("abcdefghijklmnopqrst"));
    bytes[41] = char(200);
    bytes.replace(42, 8, shifted("embedded"));
    bytes[82] = 0;
    bytes.replace(62, 3, shifted("olm"));
    bytes[83] = 3;
    const QString file = m_dir.filePath(QStringLiteral("OLM-crafted"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes + "trailing bytes are not read");
    out.close();
    const Run show = admin({"settings", "show", file});
    QVERIFY_RUN(show);
    QCOMPARE(show.out, QStringLiteral("user: admin\npassword: abcdefghijklmnopqrst\nserver: \ncatalog: olm\n"));

    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes.left(83));
    out.close();
    const Run shortFile = admin({"settings", "show", file});
    QCOMPARE(shortFile.code, 1);
    QCOMPARE(shortFile.err, QStringLiteral("olm-admin: The settings file has 83 bytes; it needs 84.\n"));
}

void TestAdmin::initCreatesDatabaseAndSettings()
{
    const QString folder = m_dir.filePath(QStringLiteral("client"));
    QVERIFY_RUN(admin({"init", folder, "--demo"}));
    const QString database = folder + QStringLiteral("/Data/olm.sqlite");
    QVERIFY(QFile::exists(database));
    // Both hold passwords: nobody but their owner may read them.
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
    QCOMPARE(QFile::permissions(database) & others, QFileDevice::Permissions());
    QCOMPARE(QFile::permissions(folder + QStringLiteral("/Data/OLM")) & others, QFileDevice::Permissions());
    QCOMPARE(admin({"settings", "show", folder + QStringLiteral("/Data/OLM")}).out,
             QStringLiteral("user: olm_boot\npassword: Boot2016\nserver: embedded\ncatalog: olm.sqlite\n"));
    // What the settings file says is what opens the bootstrap session.
    QVERIFY(signIn(database, QStringLiteral("petrova"), QStringLiteral("petrova1")));

    const Run again = admin({"init", folder});
    QCOMPARE(again.code, 1);
    QVERIFY2(again.err.contains(QLatin1String("exists; add --force")), qPrintable(again.err));
    QVERIFY(signIn(database, QStringLiteral("petrova"), QStringLiteral("petrova1")));

    QVERIFY_RUN(admin({"init", folder, "--force"})); // replaced by an empty database
    QCOMPARE(admin({"user", "list", database}).out,
             QStringLiteral("id\tlogin\tdb_login\trole\tpassword_changed\tdays_left\tblocked\tgroups\tgroup_names\n"));

    QVERIFY_RUN(admin({"init", folder, "--catalog", "journal.db"}));
    QVERIFY(QFile::exists(folder + QStringLiteral("/Data/journal.db")));
    QVERIFY(admin({"settings", "show", folder + QStringLiteral("/Data/OLM")}).out.endsWith(QLatin1String("catalog: journal.db\n")));
    QCOMPARE(admin({"init", folder, "--catalog", "a_catalog_over_twenty.db"}).code, 1);
}

void TestAdmin::userCommands()
{
    QVERIFY_RUN(admin({"user", "add", m_db, "ivanova", "--password", "Start_123"}));
    QVERIFY_RUN(admin({"user", "add", m_db, "guest", "--password", "guest_1", "--read-only"}));
    QVERIFY_RUN(admin({"user", "groups", m_db, "ivanova", "3", "1"}));
    const Run list = admin({"user", "list", m_db});
    QVERIFY_RUN(list);
    const QStringList lines = list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 8);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QVERIFY(lines.contains(QStringLiteral("7\tguest\tguest\treader\t%1\t90\t\t\t").arg(today)));
    QVERIFY(lines.contains(QStringLiteral("6\tivanova\tivanova\teditor\t%1\t90\t\t1,3\tПИ-21, ЭК-21").arg(today)));

    // The new user signs in as the client would, and sees the groups given.
    auto session = signIn(m_db, QStringLiteral("ivanova"), QStringLiteral("Start_123"));
    QVERIFY(session);
    QCOMPARE(scalar(*session, QStringLiteral("SELECT count(*) FROM group_form WHERE id_login = 6")).toInt(), 2);
    QVERIFY_OK(session->execute(QStringLiteral("UPDATE mark_mag SET p35 = '1' WHERE id_mark_mag = 1")));
    auto reader = signIn(m_db, QStringLiteral("guest"), QStringLiteral("guest_1"));
    QVERIFY(reader);
    QVERIFY(!reader->execute(QStringLiteral("UPDATE mark_mag SET p35 = '1' WHERE id_mark_mag = 1")).ok);

    QVERIFY_RUN(admin({"user", "passwd", m_db, "ivanova", "--password", "Other_456"}));
    QVERIFY(!signIn(m_db, QStringLiteral("ivanova"), QStringLiteral("Start_123")));
    QVERIFY(signIn(m_db, QStringLiteral("ivanova"), QStringLiteral("Other_456")));

    QVERIFY_RUN(admin({"user", "block", m_db, "ivanova", "--message", "Отпуск до понедельника"}));
    auto boot = bootstrapSession(m_db);
    const Outcome blocked = boot->execute(getUserStatement(QStringLiteral("ivanova"), QStringLiteral("Other_456")));
    QVERIFY_OK(blocked);
    QCOMPARE(blocked.firstResult()->rows.front().at(4), QVariant(QStringLiteral("Отпуск до понедельника")));
    QVERIFY(admin({"user", "list", m_db}).out.contains(QStringLiteral("\tОтпуск до понедельника\t1,3")));
    QVERIFY_RUN(admin({"user", "unblock", m_db, "ivanova"}));
    QVERIFY(signIn(m_db, QStringLiteral("ivanova"), QStringLiteral("Other_456")));
}

void TestAdmin::userCommandsRefuseMistakes_data()
{
    QTest::addColumn<QStringList>("arguments"); // DB is put after the action
    QTest::addColumn<QString>("message");
    QTest::newRow("existing user") << QStringList{"add", "petrova", "--password", "x"} << "The user 'petrova' already exists.";
    QTest::newRow("reserved login") << QStringList{"add", "olm_boot", "--password", "x"} << "The login 'olm_boot' is reserved.";
    QTest::newRow("login with a blank") << QStringList{"add", "a b", "--password", "x"}
                                        << "A login is 1 to 20 letters, digits, '_', '.' or '-': 'a b' is not one.";
    QTest::newRow("unknown user") << QStringList{"passwd", "nobody", "--password", "x"} << "There is no user 'nobody'.";
    // Only what the sign-in window lets a user type.
    const QString passwordRule = QStringLiteral("A password is 6 to 20 Latin letters, digits or '_'.");
    QTest::newRow("password of one character") << QStringList{"add", "ivanova", "--password", "x"} << passwordRule;
    QTest::newRow("password of five") << QStringList{"passwd", "petrova", "--password", "abc12"} << passwordRule;
    QTest::newRow("password of 21") << QStringList{"add", "ivanova", "--password", "abcdefghij01234567890"} << passwordRule;
    QTest::newRow("password with a blank") << QStringList{"add", "ivanova", "--password", "abc 12345"} << passwordRule;
    QTest::newRow("Cyrillic password") << QStringList{"passwd", "petrova", "--password", "пароль123"} << passwordRule;
    QTest::newRow("unknown group") << QStringList{"groups", "petrova", "1", "99"} << "There is no group '99'.";
    QTest::newRow("unknown group name") << QStringList{"groups", "petrova", "ПИ-21", "ПИ-99"} << "There is no group 'ПИ-99'.";
    // Given no groups the user would silently see none.
    QTest::newRow("groups without groups") << QStringList{"groups", "petrova"}
                                           << "user groups needs at least one GROUP, or --none to leave the user no groups.";
    QTest::newRow("groups and --none") << QStringList{"groups", "petrova", "1", "--none"}
                                       << "user groups takes GROUP... or --none, not both.";
    QTest::newRow("block without message") << QStringList{"block", "petrova"} << "user block: wrong arguments; see olm-admin help user.";
    QTest::newRow("unknown role") << QStringList{"role", "petrova", "admin"} << "user role takes editor or reader, not 'admin'.";
    QTest::newRow("role of nobody") << QStringList{"role", "nobody", "reader"} << "There is no user 'nobody'.";
    QTest::newRow("expire nobody") << QStringList{"expire", "nobody"} << "There is no user 'nobody'.";
    QTest::newRow("remove nobody") << QStringList{"remove", "nobody"} << "There is no user 'nobody'.";
    QTest::newRow("remove the bootstrap login") << QStringList{"remove", "olm_boot"}
                                                << "The login 'olm_boot' is reserved; it is not a user that can be removed.";
    QTest::newRow("remove the administrator") << QStringList{"remove", "DBO"}
                                              << "The login 'DBO' is reserved; it is not a user that can be removed.";
    QTest::newRow("remove two") << QStringList{"remove", "petrova", "sidorov"} << "user remove: wrong arguments; see olm-admin help user.";
    QTest::newRow("unknown action") << QStringList{"delete", "petrova"}
                                    << "user knows list, add, passwd, block, unblock, groups, role, expire, remove, not delete.";
}

void TestAdmin::userCommandsRefuseMistakes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    arguments.insert(1, m_db);
    arguments.prepend(QStringLiteral("user"));
    const QString before = admin({"user", "list", m_db}).out;
    const Run run = admin(arguments);
    QCOMPARE(run.code, 1);
    QCOMPARE(run.err, QStringLiteral("olm-admin: ") + message + QLatin1Char('\n'));
    QCOMPARE(admin({"user", "list", m_db}).out, before);
}

void TestAdmin::currentProgramDecidesTheUpdateFlag()
{
    // The update flag is the last column of GET_USER's answer for an "OLM 16" client.
    const auto updateFlag = [this] {
        const Run run = admin({"query", m_db, getUserStatement(QStringLiteral("sidorov"), QStringLiteral("sidorov1")),
                               "--login", "olm_boot", "--password", "Boot2016"});
        return run.code == 0 ? run.out.section(QLatin1Char('\n'), 1, 1).section(QLatin1Char('\t'), 5, 5) : run.err;
    };
    const Run fresh = admin({"config", "show", m_db});
    QVERIFY_RUN(fresh);
    QCOMPARE(fresh.out, QStringLiteral("current-program: OLM 16\n"));
    QCOMPARE(updateFlag(), QStringLiteral("0"));

    const Run set = admin({"config", "set", "current-program", "OLM 17", m_db});
    QVERIFY_RUN(set);
    QCOMPARE(set.out, QString());
    QCOMPARE(admin({"config", "show", m_db}).out, QStringLiteral("current-program: OLM 17\n"));
    QCOMPARE(updateFlag(), QStringLiteral("3"));

    // A pilot of a newer program is not sent back.
    QVERIFY_RUN(admin({"config", "set", "current-program", "OLM 15", m_db}));
    QCOMPARE(updateFlag(), QStringLiteral("0"));
}

void TestAdmin::configRefusesMistakes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no database") << QStringList{"config", "set", "current-program", "OLM 17"}
                                 << "config needs show DB, or set current-program NAME DB.";
    QTest::newRow("unknown setting") << QStringList{"config", "set", "trace", "1", "DB"}
                                     << "config knows current-program, not trace.";
    QTest::newRow("empty name") << QStringList{"config", "set", "current-program", " ", "DB"}
                                << "The current program needs a name, such as \"OLM 17\".";
    QTest::newRow("unknown action") << QStringList{"config", "list", "DB"}
                                    << "config needs show DB, or set current-program NAME DB.";
}

void TestAdmin::configRefusesMistakes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^DB$")), m_db);
    const Run run = admin(arguments);
    QCOMPARE(run.code, 1);
    QCOMPARE(run.err, QStringLiteral("olm-admin: ") + message + QLatin1Char('\n'));
    QCOMPARE(admin({"config", "show", m_db}).out, QStringLiteral("current-program: OLM 16\n"));
}

void TestAdmin::traceAndLog()
{
    QVERIFY_RUN(admin({"trace", "on", m_db}));
    QVERIFY_RUN(admin({"query", m_db,
                       "INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES('mark_mag', 12, "
                       "'Поле \"p35\" изменило значение \"1\" на \"2\".', 'petrova', 'PC-101\\10.0.0.5')"}));
    QVERIFY_RUN(admin({"query", m_db,
                       "INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES('mark_mag', 13, "
                       "'second', 'petrova', 'PC-101\\10.0.0.5')"}));
    QVERIFY_RUN(admin({"trace", "off", m_db}));
    QVERIFY_RUN(admin({"query", m_db, "SELECT 1"}));

    const Run trace = admin({"trace", "show", m_db});
    QVERIFY_RUN(trace);
    const QStringList lines = trace.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 3, qPrintable(trace.out));
    QCOMPARE(lines.at(0), QStringLiteral("time\tlogin\tstatement"));
    QVERIFY(lines.at(1).contains(QLatin1String("\tdbo\tINSERT INTO OLM_LOG([table]")));
    QVERIFY(lines.at(2).endsWith(QLatin1String("'second', 'petrova', 'PC-101\\\\10.0.0.5')")));

    // Missing values and a stamp given without a time print as every listing prints them.
    QVERIFY_RUN(admin({"query", m_db,
                       "INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp], [log_date]) "
                       "VALUES('mark_mag', NULL, 'third', NULL, 'PC', '2024-01-02')"}));
    const Run log = admin({"log", "show", m_db, "--raw"});
    QVERIFY_RUN(log);
    const QStringList entries = log.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries.at(3), QStringLiteral("3\t2024-01-02 00:00:00.000\tmark_mag\tNULL\tthird\t\tPC"));
    QCOMPARE(entries.at(0), QStringLiteral("id\ttime\ttable\trow_id\tdescr\tuser\tcomp"));
    QVERIFY(entries.at(1).startsWith(QLatin1String("1\t")));
    QVERIFY(entries.at(1).endsWith(QStringLiteral("\tmark_mag\t12\tПоле \"p35\" изменило значение \"1\" на \"2\".\tpetrova\tPC-101\\\\10.0.0.5")));
    QVERIFY(entries.at(2).contains(QLatin1String("\t13\tsecond\t")));
}

namespace {
// Everything the layout consists of, as olm-admin prints it.
const char layoutQuery[] = "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name";
// Triggers of the first layout; every other one came with layout 3.
const char firstLayoutTriggers[] = "'mark_mag_stamp', 'mark_mag_archive', 'del_mark_mag_forget'";
} // namespace

void TestAdmin::upgradeBringsAnOlderLayoutUp_data()
{
    QTest::addColumn<int>("from");
    QTest::newRow("layout 1") << 1;
    QTest::newRow("layout 2") << 2;
}

void TestAdmin::upgradeBringsAnOlderLayoutUp()
{
    QFETCH(int, from);
    // Layout 2 had no audit trail and none of the triggers that guard the journal and the log.
    const Run triggers = admin({"query", m_db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' "
                                                              "AND name NOT IN (%1) ORDER BY name")
                                                   .arg(QLatin1String(firstLayoutTriggers))});
    QVERIFY_RUN(triggers);
    const QStringList guards = triggers.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
    QVERIFY(guards.contains(QLatin1String("mark_mag_audit_update")) && guards.contains(QLatin1String("OLM_LOG_keep_delete")));
    for (const QString &trigger : guards)
        QVERIFY_RUN(admin({"query", m_db, QStringLiteral("DROP TRIGGER %1").arg(trigger)}));
    QVERIFY_RUN(admin({"query", m_db, "DROP TABLE srv_audit"}));
    QVERIFY_RUN(admin({"query", m_db, "PRAGMA user_version = 2"}));
    const QString indexes = QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'mark_mag' "
                                           "AND sql IS NOT NULL ORDER BY name");
    if (from == 1) {
        // The first layout: only the (group, semester, student) index on the journal.
        for (const char *statement : {"DROP INDEX mark_mag_curriculum_row",
                                      "CREATE INDEX mark_mag_selection ON mark_mag (id_group, id_semester, id_student)",
                                      "PRAGMA user_version = 1"})
            QVERIFY_RUN(admin({"query", m_db, statement}));
        QCOMPARE(admin({"query", m_db, indexes}).out, QStringLiteral("name\nmark_mag_selection\n"));
    }
    const int journalRows = admin({"query", m_db, "SELECT count(*) FROM mark_mag"}).out.section(QLatin1Char('\n'), 1, 1).toInt();
    QVERIFY(journalRows > 0);
    // A user's session would run without the rules: it waits for the upgrade.
    QString error;
    QVERIFY(!olm::server::Session::open(m_db, QStringLiteral("olm_boot"), QStringLiteral("Boot2016"), &error));
    QCOMPARE(error, QStringLiteral("The database '%1' has layout version %2, older than this program needs (4): "
                                   "the administrator runs olm-admin upgrade on it first.").arg(m_db).arg(from));

    const Run upgraded = admin({"upgrade", m_db});
    QVERIFY_RUN(upgraded);
    QCOMPARE(upgraded.out, QStringLiteral("upgraded %1 from layout version %2 to 4\n").arg(m_db).arg(from));
    QCOMPARE(admin({"query", m_db, indexes}).out, QStringLiteral("name\nmark_mag_curriculum_row\n"));
    QCOMPARE(admin({"query", m_db, "PRAGMA user_version"}).out, QStringLiteral("user_version\n4\n"));
    // A second run has nothing to do.
    QCOMPARE(admin({"upgrade", m_db}).out, QStringLiteral("%1 has layout version 4 already\n").arg(m_db));

    // A fresh database is the same as an upgraded one, and the rows stay.
    QTemporaryDir other;
    const QString fresh = freshDemoDatabase(other);
    QCOMPARE(admin({"query", m_db, layoutQuery}).out, admin({"query", fresh, layoutQuery}).out);
    QCOMPARE(admin({"query", m_db, "SELECT count(*) FROM mark_mag"}).out.section(QLatin1Char('\n'), 1, 1).toInt(), journalRows);
    if (stockShellPath().isEmpty())
        qWarning("no sqlite3 shell: the upgraded file's integrity check is not run (scripts/install-deps.sh installs it)");
    else
        QCOMPARE(stockShell(m_db, QStringLiteral("PRAGMA integrity_check")).out, QStringLiteral("ok\n"));

    // The rules hold on the upgraded file: changes are audited, other groups refused, the log kept.
    auto editor = signIn(m_db, QStringLiteral("smirnova"), QStringLiteral("smirnova1"));
    QVERIFY(editor);
    const int own = scalar(*editor, QStringLiteral("SELECT min(id_mark_mag) FROM mark_mag WHERE id_group = 3")).toInt();
    QVERIFY_OK(editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'up-3' WHERE id_mark_mag = %1").arg(own)));
    QVERIFY(admin({"audit", "show", m_db, "--row", QString::number(own)}).out.contains(QLatin1String("\tsmirnova\tUPDATE\tmark_mag\t")));
    const olm::server::Outcome foreign = editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'x' WHERE id_group = 1"));
    QVERIFY(!foreign.ok);
    QVERIFY2(foreign.error.contains(QLatin1String("is not one of your groups")), qPrintable(foreign.error));
    QVERIFY(!editor->execute(QStringLiteral("DELETE FROM OLM_LOG")).ok);
}

void TestAdmin::newerDatabaseIsRefused()
{
    QVERIFY_RUN(admin({"query", m_db, "PRAGMA user_version = 7"}));
    const QString message = QStringLiteral("The database '%1' has layout version 7, newer than this program knows (4): "
                                           "use a newer program.").arg(m_db);
    QString error;
    QVERIFY(!olm::server::Session::open(m_db, QStringLiteral("olm_boot"), QStringLiteral("Boot2016"), &error));
    QCOMPARE(error, message);
    const Run query = admin({"query", m_db, "SELECT 1"});
    QCOMPARE(query.code, 1);
    QCOMPARE(query.err, QStringLiteral("olm-admin: ") + message + QLatin1Char('\n'));
    const Run upgrade = admin({"upgrade", m_db});
    QCOMPARE(upgrade.code, 1);
    QCOMPARE(upgrade.err, QStringLiteral("olm-admin: Cannot upgrade '%1': The database has layout version 7, newer "
                                         "than this program knows (4).\n").arg(m_db));
}

void TestAdmin::auditShow()
{
    auto editor = signIn(m_db, QStringLiteral("petrova"), QStringLiteral("petrova1"));
    QVERIFY(editor);
    QVERIFY_OK(editor->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'A-17' WHERE id_mark_mag = 2")));
    QVERIFY_OK(editor->execute(QStringLiteral("EXEC SORT_2_MARK_MAG 1, 1, 1")));
    const Run all = admin({"audit", "show", m_db});
    QVERIFY_RUN(all);
    QVERIFY(all.out.startsWith(QLatin1String("id\ttime\tlogin\taction\ttable\trow_id\tcolumn\told\tnew\n")));
    QVERIFY2(all.out.contains(QLatin1String("\tpetrova\tEXECUTE\tSORT_2_MARK_MAG\tNULL\tNULL\tNULL\tEXEC SORT_2_MARK_MAG 1, 1, 1\n")),
             qPrintable(all.out));
    const Run row = admin({"audit", "show", m_db, "--row", "2", "--login", "petrova", "--since", "2000-01-01"});
    QVERIFY_RUN(row);
    QVERIFY2(row.out.contains(QLatin1String("\tpetrova\tUPDATE\tmark_mag\t2\tp35\t")) && row.out.contains(QLatin1String("\tA-17\n")),
             qPrintable(row.out));
    QVERIFY(!row.out.contains(QLatin1String("SORT_2_MARK_MAG")));
    QCOMPARE(admin({"audit", "show", m_db, "--login", "sidorov"}).out.count(QLatin1Char('\n')), 1); // the header only
    const Run badDate = admin({"audit", "show", m_db, "--since", "yesterday"});
    QCOMPARE(badDate.code, 1);
    QCOMPARE(badDate.err, QStringLiteral("olm-admin: 'yesterday' is not a date such as 2026-09-01 or 2026-09-01 08:30.\n"));
}

void TestAdmin::stockShellReadsAndChecksTheFile()
{
    if (stockShellPath().isEmpty())
        QSKIP("no sqlite3 shell on PATH: scripts/install-deps.sh installs it");
    // Indexes are ordered by our collations: without them the shell cannot read the file.
    const Run bare = stockShell(m_db, QStringLiteral("PRAGMA integrity_check"), false);
    QVERIFY(bare.code != 0 || bare.out != QLatin1String("ok\n"));
    QVERIFY2(bare.err.contains(QLatin1String("no such collation sequence: OLM_CI")), qPrintable(bare.err));

    const Run check = stockShell(m_db, QStringLiteral("PRAGMA integrity_check"));
    QCOMPARE(check.err, QString());
    QCOMPARE(check.out, QStringLiteral("ok\n"));
    // The shell compares as the server does: Unicode case-insensitive, trailing blanks and date forms ignored.
    const Run rules = stockShell(m_db, QStringLiteral("SELECT login FROM srv_users WHERE login = 'SMIRNOVA'; "
                                                      "SELECT 'Смирнова' = 'сМИРНОВА  ' COLLATE OLM_CI, "
                                                      "'2009-01-12' = '2009-01-12 00:00:00.000' COLLATE OLM_DT"));
    QCOMPARE(rules.err, QString());
    QCOMPARE(rules.out, QStringLiteral("smirnova\n1|1\n"));
}

void TestAdmin::backupWhileAnotherSessionWrites()
{
    const QString journal = QStringLiteral("SELECT * FROM mark_mag ORDER BY id_mark_mag");
    const QString before = admin({"query", m_db, journal}).out;
    QVERIFY(before.count(QLatin1Char('\n')) > 10);
    const QString during = m_dir.filePath(QStringLiteral("during.sqlite"));
    QString error;
    auto writer = olm::server::Administration::open(m_db, &error);
    QVERIFY2(writer, qPrintable(error));
    // Another session is in the middle of changing the journal: the copy holds the last committed state.
    QVERIFY2(writer->inTransaction(
                 [&](QString *workError) {
                     for (const char *statement : {"UPDATE mark_mag SET primech = 'changed' WHERE id_mark_mag % 2 = 0",
                                                   "DELETE FROM mark_mag WHERE id_mark_mag % 5 = 0"}) {
                         const olm::server::Outcome outcome = writer->execute(QLatin1String(statement));
                         if (!outcome.ok) {
                             *workError = outcome.error;
                             return false;
                         }
                     }
                     const Run backup = admin({"backup", m_db, during});
                     if (backup.code != 0)
                         *workError = backup.err;
                     return backup.code == 0;
                 },
                 &error),
             qPrintable(error));
    const QString after = admin({"query", m_db, journal}).out;
    QVERIFY(after != before);
    QCOMPARE(admin({"query", during, journal}).out, before);
    QCOMPARE(admin({"check", during}).code, 0);

    // Taken after the commit, with the writer's connection still open, the copy holds the change.
    const QString later = m_dir.filePath(QStringLiteral("later.sqlite"));
    const Run backup = admin({"backup", m_db, later});
    QVERIFY_RUN(backup);
    QCOMPARE(backup.out, QStringLiteral("backed up %1 to %2\n").arg(m_db, later));
    QCOMPARE(admin({"query", later, journal}).out, after);
    auto editor = signIn(later, QStringLiteral("smirnova"), QStringLiteral("smirnova1"));
    QVERIFY(editor);

    // An existing file is never replaced.
    const Run again = admin({"backup", m_db, later});
    QCOMPARE(again.code, 1);
    QCOMPARE(again.err, QStringLiteral("olm-admin: %1 exists; the backup does not replace a file.\n").arg(later));
    QCOMPARE(admin({"query", later, journal}).out, after);
}

void TestAdmin::checkFindsBrokenReferences()
{
    const Run clean = admin({"check", m_db});
    QVERIFY_RUN(clean);
    QCOMPARE(clean.out, QStringLiteral("%1 is sound\n").arg(m_db));

    QVERIFY_RUN(admin({"query", m_db, "INSERT INTO mark_mag (id_group, id_student, id_semester, id_discipline) "
                                      "SELECT id_group, 987654, id_semester, id_discipline FROM mark_mag LIMIT 1"}));
    QVERIFY_RUN(admin({"query", m_db, "INSERT INTO srv_user_groups (id_login, id_group) VALUES (4242, 1)"}));
    const Run broken = admin({"check", m_db});
    QCOMPARE(broken.code, 1);
    QCOMPARE(broken.out, QStringLiteral("mark_mag: 1 row(s) whose id_student has no row in s_fio\n"
                                        "srv_user_groups: 1 row(s) whose id_login has no sign-in user\n"));
    QCOMPARE(broken.err, QStringLiteral("olm-admin: %1 has 2 problem(s).\n").arg(m_db));

    // A damaged file: the check reports the damage instead of a sound file.
    QTemporaryDir other;
    const QString damaged = other.filePath(QStringLiteral("damaged.sqlite"));
    QVERIFY_RUN(admin({"backup", m_db, damaged}));
    QFile file(damaged);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 pageSize = 4096;
    QVERIFY(file.size() > 8 * pageSize);
    for (qint64 page = 2; page < file.size() / pageSize; page += 3) {
        file.seek(page * pageSize + 8);
        file.write(QByteArray(64, '\xff'));
    }
    file.close();
    const Run damage = admin({"check", damaged});
    QCOMPARE(damage.code, 1);
    QVERIFY2(!damage.out.contains(QLatin1String("is sound")), qPrintable(damage.out));

    QCOMPARE(admin({"check", other.filePath(QStringLiteral("none.sqlite"))}).code, 1);
}

void TestAdmin::queryPrintsRowsAndErrors()
{
    const Run rows = admin({"query", m_db, "select top 2 id_student, s_fio from s_fio order by id_student"});
    QVERIFY_RUN(rows);
    QCOMPARE(rows.out, QStringLiteral("id_student\ts_fio\n1\tАлексеев Никита Сергеевич\n2\tБелова Дарья Андреевна\n"));
    const Run typed = admin({"query", m_db, "SELECT dopusk_izm, id_estimation_other, p36, OLM_Update FROM mark_mag WHERE id_mark_mag = 1"});
    QVERIFY(typed.out.startsWith(QLatin1String("dopusk_izm\tid_estimation_other\tp36\tOLM_Update\n0\tNULL\t2022-01-11 00:00:00.000\t")));

    const Run command = admin({"query", m_db, "UPDATE mark_mag SET p35 = '9' WHERE id_mark_mag = 1"});
    QVERIFY_RUN(command);
    QCOMPARE(command.out, QString());

    const Run procedure = admin({"query", m_db, "EXEC GET_USER 'sidorov','" + digest(QStringLiteral("sidorov1")) +
                                                "',NULL, 'OLM 16', '10.0.0.5', 'PC', 'sidorov','0','4'",
                                 "--login", "olm_boot", "--password", "Boot2016"});
    QVERIFY_RUN(procedure);
    QVERIFY(procedure.out.startsWith(QLatin1String("db_login\tdb_password\tid_login\tdays_left\tmessage\tupdate_flag\nrhcnqnu\t")));

    const Run refused = admin({"query", m_db, "select * from s_fio", "--login", "olm_boot", "--password", "Boot2016"});
    QCOMPARE(refused.code, 1);
    QCOMPARE(refused.err, QStringLiteral("olm-admin: The SELECT permission was denied on the object 's_fio', database 'olm', schema 'dbo'.\n"));
    QCOMPARE(refused.out, QString());

    const Run wrongLogin = admin({"query", m_db, "select 1", "--login", "olm_boot", "--password", "x"});
    QCOMPARE(wrongLogin.err, QStringLiteral("olm-admin: Login failed for user 'olm_boot'.\n"));
    const Run syntax = admin({"query", m_db, "SELEC 1"});
    QCOMPARE(syntax.code, 1);
    QCOMPARE(syntax.err, QStringLiteral("olm-admin: Incorrect syntax near 'SELEC'.\n"));
}

void TestAdmin::pingSignsInWithTheSettingsFile()
{
    const QString folder = m_dir.filePath(QStringLiteral("pinged"));
    QVERIFY_RUN(admin({"init", folder}));
    const QString settings = folder + QStringLiteral("/Data/OLM");
    const Run ok = admin({"ping", settings});
    QVERIFY_RUN(ok);
    QCOMPARE(ok.out, QStringLiteral("connected to embedded, catalog olm.sqlite, as olm_boot\n"));

    // The bootstrap login may run nothing but GET_USER, so a ping that gets in has called nothing.
    const QString wrong = folder + QStringLiteral("/Data/OLM-wrong");
    QVERIFY_RUN(admin({"settings", "write", wrong, "--user", "olm_boot", "--password", "nope", "--server", "embedded",
                       "--catalog", "olm.sqlite"}));
    const Run refused = admin({"ping", wrong});
    QCOMPARE(refused.code, 1);
    QCOMPARE(refused.err, QStringLiteral("olm-admin: Login failed for user 'olm_boot'.\n"));
    QCOMPARE(refused.out, QString());

    // A server reached through ODBC answers with its own text, without the driver's tags.
    const QString unreachable = m_dir.filePath(QStringLiteral("unreachable"));
    QVERIFY_RUN(admin({"settings", "write", unreachable, "--user", "u", "--password", "p", "--server", "127.0.0.1,1",
                       "--catalog", "olm"}));
    const Run down = admin({"ping", unreachable});
    QCOMPARE(down.code, 1);
    QVERIFY2(down.err.startsWith(QLatin1String("olm-admin: ")) && !down.err.contains(QLatin1String("olm-admin: [")),
             qPrintable(down.err));

    QCOMPARE(admin({"ping", m_dir.filePath(QStringLiteral("missing"))}).code, 1);
    QCOMPARE(admin({"ping"}).err, QStringLiteral("olm-admin: ping needs one settings file.\n"));
}

void TestAdmin::usageMistakes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message"); // first line of stderr
    QTest::newRow("nothing") << QStringList{} << "usage:";
    QTest::newRow("unknown command") << QStringList{"frobnicate"}
                                     << "olm-admin: Unknown command frobnicate. olm-admin --help lists the commands.";
    QTest::newRow("unknown general option") << QStringList{"--colour", "init", "x"}
                                            << "olm-admin: Unknown option --colour. olm-admin --help lists the options.";
    QTest::newRow("unknown option") << QStringList{"init", "x", "--colour"}
                                    << "olm-admin: init: Unknown option --colour. olm-admin help init lists its options.";
    QTest::newRow("another command's option") << QStringList{"backup", "x.sqlite", "y.sqlite", "--force"}
                                              << "olm-admin: backup: Unknown option --force. olm-admin help backup lists its options.";
    QTest::newRow("option without value") << QStringList{"query", "x.sqlite", "SELECT 1", "--login"}
                                          << "olm-admin: query: --login needs a value. olm-admin help query lists its options.";
    QTest::newRow("flag with a value") << QStringList{"init", "x", "--demo=yes"}
                                       << "olm-admin: init: Unexpected value after '--demo'. olm-admin help init lists its options.";
    QTest::newRow("help of no command") << QStringList{"help", "frobnicate"}
                                        << "olm-admin: help takes one command's name; olm-admin --help lists them.";
    QTest::newRow("login without password") << QStringList{"query", "x.sqlite", "SELECT 1", "--login", "a"}
                                            << "olm-admin: --login and --password go together.";
    QTest::newRow("missing database") << QStringList{"trace", "on", "/nonexistent/olm.sqlite"}
                                      << "olm-admin: Cannot open database '/nonexistent/olm.sqlite': the file does not exist.";
    QTest::newRow("log without show") << QStringList{"log", "x.sqlite"} << "olm-admin: log needs show and one database.";
}

void TestAdmin::usageMistakes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run run = admin(arguments);
    QCOMPARE(run.code, 1);
    QCOMPARE(run.err.section(QLatin1Char('\n'), 0, 0), message);
    QVERIFY_RUN(admin({"--help"}));
}

namespace {
// The command words the overall help lists, in its order.
QStringList listedCommands(const QString &help)
{
    QStringList commands;
    const QString section = help.section(QStringLiteral("\nCommands"), 1);
    for (const QString &line : section.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        commands.append(line.section(QLatin1Char(' '), 2, 2));
    return commands;
}
} // namespace

void TestAdmin::helpAndVersion()
{
    const Run help = admin({"--help"});
    QVERIFY_RUN(help);
    QVERIFY(help.out.startsWith(QLatin1String("usage:\n  olm-admin init DIR [--demo] [--catalog NAME] [--force]\n")));
    QCOMPARE(admin({"-h"}).out, help.out);
    QCOMPARE(admin({"help"}).out, help.out);
    const QStringList commands = listedCommands(help.out);
    QCOMPARE(commands, (QStringList{"init", "upgrade", "backup", "check", "restore", "import", "settings", "ping", "user",
                                    "config", "trace", "log", "audit", "query"}));
    // Without a command the forms go to the error output, as a mistake.
    const Run bare = admin({});
    QCOMPARE(bare.code, 1);
    QCOMPARE(bare.out, QString());
    QVERIFY(help.out.startsWith(bare.err));

    const Run version = admin({"--version"});
    QVERIFY_RUN(version);
    QCOMPARE(version.out, QStringLiteral("olm-admin " OLM_VERSION "\n"));

    // One command's help, however asked for; it never runs the command.
    const Run user = admin({"help", "user"});
    QVERIFY_RUN(user);
    QVERIFY2(user.out.startsWith(QLatin1String("usage:\n  olm-admin user list DB\n")), qPrintable(user.out));
    for (const char *text : {"  olm-admin user remove DB LOGIN\n", "  olm-admin user groups DB LOGIN --none\n",
                             "\nOptions:\n  --password P", "  --none  "})
        QVERIFY2(user.out.contains(QLatin1String(text)), text);
    QVERIFY(!user.out.contains(QLatin1String("olm-admin init")));
    QCOMPARE(admin({"user", "--help"}).out, user.out);
    QCOMPARE(admin({"--help", "user"}).out, user.out);
    const QString untouched = m_dir.filePath(QStringLiteral("not-created"));
    QCOMPARE(admin({"init", untouched, "-h"}).out, admin({"help", "init"}).out);
    QVERIFY(!QFileInfo::exists(untouched));
    // Every command has help of its own.
    for (const QString &command : commands) {
        const Run own = admin({"help", command});
        QVERIFY2(own.code == 0 && own.out.contains(QLatin1String("  olm-admin ") + command + QLatin1Char(' ')),
                 qPrintable(command));
    }
    // "--" ends the options: what follows is a word, even --help.
    const Run ended = admin({"settings", "show", "--", "--help"});
    QCOMPARE(ended.code, 1);
    QVERIFY2(ended.err.startsWith(QLatin1String("olm-admin: Cannot read '--help': ")), qPrintable(ended.err));
}

void TestAdmin::manPageNamesEveryCommand()
{
    const Run page = admin({"--man"});
    QVERIFY_RUN(page);
    QVERIFY(page.out.startsWith(QStringLiteral(".TH OLM-ADMIN 1 \"\" \"OLM 16 " OLM_VERSION "\" \"OLM 16\"\n")));
    for (const QString &command : listedCommands(admin({"--help"}).out))
        QVERIFY2(page.out.contains(QStringLiteral("\n.SS %1\n.nf\nolm\\-admin %1").arg(command)), qPrintable(command));
    for (const char *text : {"\n.SH SYNOPSIS\n", "\n.SH OPTIONS\n", "\n.SH EXIT STATUS\n",
                             "olm\\-admin user remove DB LOGIN\n", ".B \\-\\-none\n"})
        QVERIFY2(page.out.contains(QLatin1String(text)), text);

    // Written to a file, as the build does; the build's page is the tool's own.
    const QString file = m_dir.filePath(QStringLiteral("olm-admin.1"));
    QVERIFY_RUN(admin({"--man", file}));
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(written.readAll()), page.out);
#ifdef OLM_ADMIN_MAN_PAGE
    QFile built(QStringLiteral(OLM_ADMIN_MAN_PAGE));
    QVERIFY2(built.open(QIODevice::ReadOnly), OLM_ADMIN_MAN_PAGE);
    QCOMPARE(QString::fromUtf8(built.readAll()), page.out);
#endif

    // The page is sound roff: groff formats it without a warning.
    const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
    if (groff.isEmpty())
        QSKIP("no groff: the page's roff is not checked");
    QProcess format;
    format.start(groff, {QStringLiteral("-man"), QStringLiteral("-Tutf8"), QStringLiteral("-ww"), file});
    QVERIFY(format.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(format.readAllStandardError()), QString());
    QVERIFY(QString::fromUtf8(format.readAllStandardOutput()).contains(QLatin1String("olm-admin user expire DB LOGIN")));
}

void TestAdmin::userGroupsByNameOrId()
{
    const auto groupsOf = [this](const QString &login) {
        for (const QString &line : admin({"user", "list", m_db}).out.split(QLatin1Char('\n'))) {
            if (line.section(QLatin1Char('\t'), 1, 1) == login)
                return line.section(QLatin1Char('\t'), 7);
        }
        return QStringLiteral("no such user");
    };
    QCOMPARE(groupsOf(QStringLiteral("sidorov")), QStringLiteral("1,2\tПИ-21, ПИ-22"));
    // Names compare as the server compares texts: case and trailing blanks do not matter.
    QVERIFY_RUN(admin({"user", "groups", m_db, "sidorov", "эк-21 ", "4", "ЮР-23"}));
    QCOMPARE(groupsOf(QStringLiteral("sidorov")), QStringLiteral("3,4,5\tЭК-21, ЮР-22, ЮР-23"));
    auto reader = signIn(m_db, QStringLiteral("sidorov"), QStringLiteral("sidorov1"));
    QVERIFY(reader);
    QCOMPARE(scalar(*reader, QStringLiteral("SELECT count(*) FROM group_form WHERE id_login = 2")).toInt(), 3);

    // A name two groups share, or a number that is one group's id and another's name, is refused by name.
    QVERIFY_RUN(admin({"query", m_db, "INSERT INTO [group] (id_group, p20, id_speciality, o_z, start_year) "
                                      "VALUES (6, 'ЭК-21', 2, 1, 2021), (7, '4', 3, 1, 2022)"}));
    const Run twice = admin({"user", "groups", m_db, "sidorov", "1", "ЭК-21"});
    QCOMPARE(twice.code, 1);
    QCOMPARE(twice.err, QStringLiteral("olm-admin: 'ЭК-21' names more than one group (ids 3, 6): give the id.\n"));
    const Run number = admin({"user", "groups", m_db, "sidorov", "4"});
    QCOMPARE(number.err, QStringLiteral("olm-admin: '4' names more than one group (ids 4, 7): give the id.\n"));
    QCOMPARE(groupsOf(QStringLiteral("sidorov")), QStringLiteral("3,4,5\tЭК-21, ЮР-22, ЮР-23"));
    QVERIFY_RUN(admin({"user", "groups", m_db, "sidorov", "6", "7"}));
    QCOMPARE(groupsOf(QStringLiteral("sidorov")), QStringLiteral("6,7\tЭК-21, 4"));

    // Only --none takes every group away.
    QVERIFY_RUN(admin({"user", "groups", m_db, "sidorov", "--none"}));
    QCOMPARE(groupsOf(QStringLiteral("sidorov")), QStringLiteral("\t"));
    reader = signIn(m_db, QStringLiteral("sidorov"), QStringLiteral("sidorov1"));
    QVERIFY(reader);
    QCOMPARE(scalar(*reader, QStringLiteral("SELECT count(*) FROM group_form WHERE id_login = 2")).toInt(), 0);
}

void TestAdmin::userRoleExpireAndRemove()
{
    const QString update = QStringLiteral("UPDATE mark_mag SET p35 = 'r' WHERE id_mark_mag = 1");
    // A reader made an editor edits; an editor made a reader does not. A right given on its own stays.
    QString error;
    {
        auto administration = olm::server::Administration::open(m_db, &error);
        QVERIFY2(administration, qPrintable(error));
        QVERIFY2(administration->setRight(QStringLiteral("petrova"), QStringLiteral("OLM_LOG"), QStringLiteral("SELECT"),
                                          true, &error),
                 qPrintable(error));
    }
    QVERIFY_RUN(admin({"user", "role", m_db, "sidorov", "editor"}));
    QVERIFY_RUN(admin({"user", "role", m_db, "petrova", "reader"}));
    QVERIFY_RUN(admin({"user", "role", m_db, "petrova", "reader"})); // again: nothing to change
    auto sidorov = signIn(m_db, QStringLiteral("sidorov"), QStringLiteral("sidorov1"));
    auto petrova = signIn(m_db, QStringLiteral("petrova"), QStringLiteral("petrova1"));
    QVERIFY(sidorov && petrova);
    QVERIFY_OK(sidorov->execute(update));
    QVERIFY(!petrova->execute(update).ok);
    QVERIFY_OK(petrova->execute(QStringLiteral("SELECT count(*) FROM OLM_LOG")));
    QVERIFY_OK(petrova->execute(QStringLiteral("SELECT count(*) FROM mark_mag")));
    const QString list = admin({"user", "list", m_db}).out;
    QVERIFY(list.contains(QLatin1String("\tpetrova\tpetrova\treader\t")));
    QVERIFY(list.contains(QLatin1String("\tsidorov\tsidorov\teditor\t")));

    // Expired: the sign-in answers a validity below 0 and no credentials, until the user sets a new password.
    QVERIFY_RUN(admin({"user", "expire", m_db, "sidorov"}));
    auto boot = bootstrapSession(m_db);
    QVERIFY(boot);
    const Outcome expired = boot->execute(getUserStatement(QStringLiteral("sidorov"), QStringLiteral("sidorov1")));
    QVERIFY_OK(expired);
    const QVariantList answer = expired.firstResult()->rows.front();
    QVERIFY2(answer.at(3).toInt() < 0, qPrintable(answer.at(3).toString()));
    QCOMPARE(answer.at(0).toString(), QString());
    QVERIFY(admin({"user", "list", m_db}).out.contains(QLatin1String("\tsidorov\tsidorov\teditor\tNULL\t-1\t")));
    const Outcome changed = boot->execute(getUserStatement(QStringLiteral("sidorov"), QStringLiteral("sidorov1"),
                                                           QStringLiteral("sidorov2")));
    QVERIFY_OK(changed);
    QCOMPARE(changed.firstResult()->rows.front().at(3).toInt(), 90);
    QVERIFY(signIn(m_db, QStringLiteral("sidorov"), QStringLiteral("sidorov2")));

    // Removed: the user, its groups and database login go; what it wrote keeps its name.
    const auto count = [this](const char *sql) {
        return admin({"query", m_db, QLatin1String(sql)}).out.section(QLatin1Char('\n'), 1, 1);
    };
    QVERIFY_RUN(admin({"query", m_db, "INSERT INTO OLM_LOG([table], row_id, descr, OLM_User, comp) "
                                      "VALUES ('mark_mag', 1, 'before removal', 'petrova', 'PC')"}));
    const QString databasePassword = count("SELECT password FROM srv_db_logins WHERE name = 'petrova'");
    QVERIFY(!databasePassword.isEmpty());
    QVERIFY_RUN(admin({"user", "remove", m_db, "petrova"}));
    QVERIFY(!admin({"user", "list", m_db}).out.contains(QLatin1String("\tpetrova\t")));
    QCOMPARE(count("SELECT count(*) FROM srv_db_logins WHERE name = 'petrova'"), QStringLiteral("0"));
    QCOMPARE(count("SELECT count(*) FROM srv_rights WHERE login = 'petrova'"), QStringLiteral("0"));
    QCOMPARE(count("SELECT count(*) FROM OLM_LOG WHERE OLM_User = 'petrova'"), QStringLiteral("1"));
    QVERIFY(count("SELECT count(*) FROM mark_mag WHERE OLM_User = 'petrova'").toInt() > 0);
    QCOMPARE(admin({"check", m_db}).code, 0);
    QString signInError;
    QVERIFY(!olm::server::Session::open(m_db, QStringLiteral("petrova"), databasePassword, &signInError));
    const Outcome gone = boot->execute(getUserStatement(QStringLiteral("petrova"), QStringLiteral("petrova1")));
    QVERIFY(!gone.ok);
    // The login is free again, for a new user with nothing of the old one's.
    QVERIFY_RUN(admin({"user", "add", m_db, "petrova", "--password", "another1", "--read-only"}));
    QVERIFY(admin({"user", "list", m_db}).out.contains(QRegularExpression(QStringLiteral("\tpetrova\tpetrova\treader\t[^\n]*\t\t\n"))));
}

OLM_TEST_GUILESS_MAIN(TestAdmin)
#include "tst_admin.moc"
