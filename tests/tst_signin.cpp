// The sign-in exchange: settings file, shifted text, password digest, connection string and the GET_USER
// statement as texts, then whole sign-ins against the embedded server with a recording window.
#include "app/SignIn.h"
#include "app/SignInHost.h"
#include "server/Database.h"
#include "server/Schema.h"
#include "server/Session.h"
#include "tests/support/DemoUsers.h"
#include "tests/support/SignInSetup.h"
#include "tests/support/TestDatabase.h"
#include "text/Windows1251.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/Dialogs.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// The window side of the exchange, recorded.
class RecordingWindow : public TSignInWindow {
public:
    quint8 attempts = 1;
    QString login;
    QString password;
    QString address = QLatin1String(SignInSetup::Address);
    QStringList statusTexts;
    int toggleClicks = 0;
    bool toggleDisabled = false;
    int listLoads = 0;
    int selfUpdates = 0;
    QString updateDataSource;
    std::function<void()> onLoadLists;

    quint8 attemptCount() const override { return attempts; }
    QString loginText() const override { return login; }
    QString passwordText() const override { return password; }
    QString localAddress() override { return address; }
    void setStatusText(const QString &text) override { statusTexts << text; }
    void clickChangeToggle() override { ++toggleClicks; }
    void disableChangeToggle() override { toggleDisabled = true; }
    void LoadLists() override
    {
        ++listLoads;
        if (onLoadLists)
            onLoadLists();
    }
    void runSelfUpdate(const QString &dataSource) override
    {
        ++selfUpdates;
        updateDataSource = dataSource;
    }
    QString status() const { return statusTexts.isEmpty() ? QString() : statusTexts.last(); }
};

const QString WrongLogin = QStringLiteral("Неверно ввели логин или пароль.");

bool adminExecute(const TestDatabase &db, const QString &statement)
{
    auto admin = db.administrator();
    const olm::server::Outcome outcome = admin->execute(statement);
    if (!outcome.ok)
        qWarning("%s", qPrintable(outcome.error));
    return outcome.ok;
}

} // namespace

class TestSignIn : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Texts
    void digestHex_data();
    void digestHex();
    void textsOutsideTheCodePageAreRefused();
    void shiftChars_data();
    void shiftChars();
    void settingsBlock_data();
    void settingsBlock();
    void settingsFileFaults_data();
    void settingsFileFaults();
    void settingsFileLongerThanTheBlock();
    void connectionString();
    void getUserStatement_data();
    void getUserStatement();

    // Against the server
    void signsInWithTheUsersOwnLogin();
    void workstationFactsReachTheServer();
    void bootstrapFailureHidesTheBootstrapLogin();
    void missingSettingsFileTouchesNoConnection();
    void dueChangeIsAskedOnTheFirstAttemptOnly();
    void updateFlagWinsOverTheMessage();
    void failedListLoadingClearsTheLabel();
    void passwordOutsideTheCodePageIsRefused();

private:
    std::unique_ptr<TApplication> m_application;
    std::unique_ptr<ScopedDialogAnswers> m_answers;
};

void TestSignIn::initTestCase()
{
    m_application = std::make_unique<TApplication>();
}

void TestSignIn::init()
{
    m_answers = std::make_unique<ScopedDialogAnswers>();
    m_application->setShowMainForm(false);
}

void TestSignIn::cleanup()
{
    m_answers.reset();
}

void TestSignIn::digestHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digest");
    // The test suite of RFC 1321.
    QTest::newRow("empty") << QString() << "D41D8CD98F00B204E9800998ECF8427E";
    QTest::newRow("a") << "a" << "0CC175B9C0F1B6A831C399E269772661";
    QTest::newRow("abc") << "abc" << "900150983CD24FB0D6963F7D28E17F72";
    QTest::newRow("message digest") << "message digest" << "F96B697D7CB7938D525A2F31AAF161D0";
    QTest::newRow("alphabet") << "abcdefghijklmnopqrstuvwxyz" << "C3FCD3D76192E4007DFB496CCA67E13B";
    QTest::newRow("alphanumerics") << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
                                   << "D174AB98D277D9F5A5611C2C9F419D9F";
    QTest::newRow("eighty digits") << QString("1234567890").repeated(8) << "57EDF4A22BE3C955AC49DA2E2107B67A";
    // Cyrillic goes in as its single-byte characters, blanks are not trimmed.
    QTest::newRow("cyrillic") << "пароль" << "749789E4982B0C563F6729AAC100A614";
    QTest::newRow("trailing blank") << "Пароль " << "8C5543BA392C7281E9DE4306F23E7DB4";
}

void TestSignIn::digestHex()
{
    QFETCH(QString, text);
    QFETCH(QString, digest);
    QCOMPARE(DigestHex(text), digest);
}

// Neither a digest nor a restored credential stands in for a character the code page lacks.
void TestSignIn::textsOutsideTheCodePageAreRefused()
{
    try {
        DigestHex(QStringLiteral("p\u00E4ss"));
        QFAIL("a password outside the code page was digested");
    } catch (const EConvertError &error) {
        QCOMPARE(error.Message, QStringLiteral("Пароль содержит символ, которого нет в кодировке Windows-1251."));
    }
    try {
        ShiftChars(QStringLiteral("olm\u4E2D"));
        QFAIL("a credential outside the code page was restored");
    } catch (const EConvertError &error) {
        QCOMPARE(error.Message,
                 QStringLiteral("Ответ сервера содержит символ «\u4E2D», которого нет в кодировке Windows-1251."));
    }
}

void TestSignIn::shiftChars_data()
{
    QTest::addColumn<QByteArray>("shifted");
    QTest::addColumn<QByteArray>("restored");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("ascii") << QByteArray("nkl^anns") << QByteArray("olm_boot");
    QTest::newRow("wraps") << QByteArray("\xFF\x00", 2) << QByteArray("\x00\x01", 2);
    QTest::newRow("cyrillic") << QByteArray("\xDF\xEE") << QByteArray("\xE0\xEF");
}

void TestSignIn::shiftChars()
{
    QFETCH(QByteArray, shifted);
    QFETCH(QByteArray, restored);
    QCOMPARE(ShiftChars(shifted), restored);
    QCOMPARE(ShiftChars(olm::text::fromWindows1251(shifted)), olm::text::fromWindows1251(restored));
}

void TestSignIn::settingsBlock_data()
{
    QTest::addColumn<int>("userLength");
    QTest::addColumn<QString>("userId");
    QTest::newRow("length 0 gives an empty value") << 0 << QString();
    QTest::newRow("length 3 gives three bytes") << 3 << "olm";
    QTest::newRow("length 20 gives the whole field") << 20 << "olm_boot_1234567890A";
    QTest::newRow("length 21 gives the whole field") << 21 << "olm_boot_1234567890A";
    QTest::newRow("length 255 gives the whole field") << 255 << "olm_boot_1234567890A";
}

void TestSignIn::settingsBlock()
{
    QFETCH(int, userLength);
    QFETCH(QString, userId);
    QByteArray block = SignInSetup::settingsBlock("olm_boot_1234567890A", "Boot2016", "embedded", "olm.sqlite");
    block[40] = char(userLength);
    const TFirstConnectInfo info = firstConnectInfoFromBytes(block);
    QCOMPARE(info.UserId, userId);
    QCOMPARE(info.Password, QStringLiteral("Boot2016"));
    QCOMPARE(info.Server, QStringLiteral("embedded"));
    QCOMPARE(info.Catalog, QStringLiteral("olm.sqlite"));
}

void TestSignIn::settingsFileFaults_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("says");
    QTest::newRow("missing") << QByteArray() << "missing" << "не найден";
    QTest::newRow("a folder") << QByteArray() << "folder" << "не читается";
    QTest::newRow("empty") << QByteArray() << "file" << " 0 байт вместо 84";
    QTest::newRow("83 bytes") << QByteArray(83, 'x') << "file" << " 83 байт вместо 84";
}

void TestSignIn::settingsFileFaults()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, kind);
    QFETCH(QString, says);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("OLM"));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("OLM")));
    if (kind == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    try {
        readFirstConnectInfo(path);
        QFAIL("no error");
    } catch (const EInOutError &error) {
        QVERIFY2(error.Message.contains(QDir::toNativeSeparators(path)), qPrintable(error.Message));
        QVERIFY2(error.Message.contains(says), qPrintable(error.Message));
    }
}

void TestSignIn::settingsFileLongerThanTheBlock()
{
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("OLM")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(SignInSetup::settingsBlock("user", "pass", "server", "base") + QByteArray(100, '\x01'));
    file.close();
    const TFirstConnectInfo info = readFirstConnectInfo(file.fileName());
    QCOMPARE(info.UserId, QStringLiteral("user"));
    QCOMPARE(info.Catalog, QStringLiteral("base"));
}

void TestSignIn::connectionString()
{
    TFirstConnectInfo info;
    info.UserId = QStringLiteral("U");
    info.Password = QStringLiteral("P");
    info.Catalog = QStringLiteral("C");
    info.Server = QStringLiteral("S");
    QCOMPARE(connectionStringOf(info),
             QStringLiteral("Provider=SQLOLEDB.1;Password=P;Persist Security Info=True;User ID=U;Initial Catalog=C;"
                            "Data Source=S;Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;"
                            "Use Encryption for Data=False;Tag with column collation when possible=False"));
}

void TestSignIn::getUserStatement_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("computer");
    QTest::addColumn<QString>("statement");
    QTest::newRow("no new password")
        << "ivanov" << "abc" << "NULL" << "PC-12"
        << "EXEC GET_USER 'ivanov','900150983CD24FB0D6963F7D28E17F72',NULL, 'OLM 16', '10.0.0.5', 'PC-12', "
           "'ivanov','0','4'";
    QTest::newRow("new password")
        << "ivanov" << "abc" << "a" << "PC-12"
        << "EXEC GET_USER 'ivanov','900150983CD24FB0D6963F7D28E17F72','0CC175B9C0F1B6A831C399E269772661', "
           "'OLM 16', '10.0.0.5', 'PC-12', 'ivanov','0','34'";
    QTest::newRow("empty new password")
        << "ivanov" << "abc" << "" << "PC-12"
        << "EXEC GET_USER 'ivanov','900150983CD24FB0D6963F7D28E17F72','D41D8CD98F00B204E9800998ECF8427E', "
           "'OLM 16', '10.0.0.5', 'PC-12', 'ivanov','0','34'";
    QTest::newRow("a new password typed as NULL")
        << "ivanov" << "abc" << "NULL" << "PC-12"
        << "EXEC GET_USER 'ivanov','900150983CD24FB0D6963F7D28E17F72',NULL, 'OLM 16', '10.0.0.5', 'PC-12', "
           "'ivanov','0','4'";
    QTest::newRow("lower-case null is a password")
        << "ivanov" << "abc" << "null" << "PC-12"
        << "EXEC GET_USER 'ivanov','900150983CD24FB0D6963F7D28E17F72','37A6259CC0C1DAE299A7866489DFF0BD', "
           "'OLM 16', '10.0.0.5', 'PC-12', 'ivanov','0','34'";
    QTest::newRow("quotes stay inside their literals")
        << "o'neil'--" << "" << "NULL" << "PC'1"
        << "EXEC GET_USER 'o''neil''--','D41D8CD98F00B204E9800998ECF8427E',NULL, 'OLM 16', '10.0.0.5', "
           "'PC''1', 'o''neil''--','0','4'";
    QTest::newRow("cyrillic login")
        << "Иванов" << "пароль" << "NULL" << "КАФЕДРА"
        << "EXEC GET_USER 'Иванов','749789E4982B0C563F6729AAC100A614',NULL, 'OLM 16', '10.0.0.5', 'КАФЕДРА', "
           "'Иванов','0','4'";
}

void TestSignIn::getUserStatement()
{
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, newPassword);
    QFETCH(QString, computer);
    QFETCH(QString, statement);
    QCOMPARE(::getUserStatement(login, DigestHex(password), newPasswordArgument(newPassword),
                                QStringLiteral("10.0.0.5"), computer),
             statement);
}

void TestSignIn::signsInWithTheUsersOwnLogin()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    SignInSetup setup;
    TADOConnection connection;
    RecordingWindow window;
    RecordingHost host;
    window.login = QLatin1String(DemoUsers::Editor);
    window.password = QLatin1String(DemoUsers::EditorPassword);
    QString userDuringLists;
    window.onLoadLists = [&] {
        // The lists are read with the user's own rights, and the session values are in place by then.
        QVERIFY(connection.Connected());
        userDuringLists = TConnectionString::parse(connection.ConnectionString()).userId();
        QCOMPARE(host.loginName, window.login);
        QVERIFY(m_application->ShowMainForm());
    };

    QVERIFY(SignIn(&connection, QStringLiteral("NULL"), window, host));
    QVERIFY(DialogSeam::shown().isEmpty());
    QCOMPARE(window.listLoads, 1);
    QVERIFY(connection.Connected());
    QVERIFY(!userDuringLists.isEmpty());
    QVERIFY(userDuringLists != QLatin1String(olm::server::bootstrapLogin));
    const olm::server::SignInUser user = SignInSetup::signInUser(db.path(), window.login);
    QVERIFY(user.id > 0);
    QCOMPARE(userDuringLists, user.databaseLogin);
    QCOMPARE(host.loginId, user.id);
    QCOMPARE(host.loginName, window.login);
    QCOMPARE(window.toggleClicks, 0);
    // The settings file's catalog and server stay, only the credentials change.
    const TConnectionString used = TConnectionString::parse(connection.ConnectionString());
    QCOMPARE(used.catalog(), db.catalog());
    QVERIFY(used.isEmbedded());
}

void TestSignIn::workstationFactsReachTheServer()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    SignInSetup setup;
    setup.platform.setComputerName(QStringLiteral("KAF'12"));
    TADOConnection connection;
    RecordingWindow window;
    RecordingHost host;
    window.address = QStringLiteral("192.168.7.31");
    window.login = QLatin1String(DemoUsers::Editor);
    window.password = QLatin1String(DemoUsers::EditorPassword);
    QVERIFY(SignIn(&connection, QStringLiteral("NULL"), window, host));
    // The server took the statement apart as meant: the quote in the name stayed inside its literal.
    const olm::server::Outcome attempts = db.administrator()->execute(
        QStringLiteral("SELECT login, address, computer, program FROM srv_attempts ORDER BY id_attempt"));
    QVERIFY2(attempts.ok, qPrintable(attempts.error));
    QCOMPARE(attempts.firstResult()->rows.size(), size_t(1));
    const QVariantList attempt = attempts.firstResult()->rows.front();
    QCOMPARE(attempt.value(0).toString(), window.login);
    QCOMPARE(attempt.value(1).toString(), QStringLiteral("192.168.7.31"));
    QCOMPARE(attempt.value(2).toString(), QStringLiteral("KAF'12"));
    QCOMPARE(attempt.value(3).toString(), QStringLiteral("OLM 16"));
}

void TestSignIn::bootstrapFailureHidesTheBootstrapLogin()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    SignInSetup setup;
    setup.writeSettings(QLatin1String(olm::server::bootstrapLogin), QStringLiteral("wrong"), QStringLiteral("embedded"),
                        db.catalog());
    TADOConnection connection;
    RecordingWindow window;
    RecordingHost host;
    window.login = QLatin1String(DemoUsers::Editor);
    window.password = QLatin1String(DemoUsers::EditorPassword);

    QVERIFY(!SignIn(&connection, QStringLiteral("NULL"), window, host));
    QCOMPARE(window.statusTexts.size(), 2);
    QCOMPARE(window.statusTexts.first(), QStringLiteral("Login failed for user ''."));
    QCOMPARE(window.statusTexts.last(), WrongLogin);
    const QList<ShownMessage> shown = DialogSeam::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, QStringLiteral("Login failed for user 'olm_boot'."));
}

void TestSignIn::missingSettingsFileTouchesNoConnection()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    SignInSetup setup;
    QVERIFY(QFile::remove(setup.settingsPath()));
    TADOConnection connection;
    connection.setConnectionString(db.connectionString(QStringLiteral("someone"), QStringLiteral("x")));
    RecordingWindow window;
    RecordingHost host;
    QVERIFY_THROWS_EXCEPTION(EInOutError, SignIn(&connection, QStringLiteral("NULL"), window, host));
    QCOMPARE(connection.ConnectionString(), db.connectionString(QStringLiteral("someone"), QStringLiteral("x")));
    QVERIFY(window.statusTexts.isEmpty());
    QVERIFY(DialogSeam::shown().isEmpty());
}

void TestSignIn::dueChangeIsAskedOnTheFirstAttemptOnly()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    SignInSetup setup;
    TADOConnection connection;
    RecordingWindow window;
    RecordingHost host;
    window.login = QLatin1String(DemoUsers::Due);
    window.password = QLatin1String(DemoUsers::DuePassword);
    window.attempts = 2;
    QVERIFY(SignIn(&connection, QStringLiteral("NULL"), window, host));
    QCOMPARE(window.toggleClicks, 0);
    // A count that wrapped to 1 again asks again.
    window.attempts = quint8(256 + 1);
    QVERIFY(!SignIn(&connection, QStringLiteral("NULL"), window, host));
    QCOMPARE(window.toggleClicks, 1);
}

void TestSignIn::updateFlagWinsOverTheMessage()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QVERIFY(adminExecute(db, QStringLiteral("UPDATE srv_config SET value = 'OLM 17' WHERE name = 'current_program'")));
    SignInSetup setup;
    TADOConnection connection;
    for (const auto &[login, password] : {std::pair{DemoUsers::Editor, DemoUsers::EditorPassword},
                                          std::pair{DemoUsers::Blocked, DemoUsers::BlockedPassword}}) {
        RecordingWindow window;
        RecordingHost host;
        window.login = QLatin1String(login);
        window.password = QLatin1String(password);
        QVERIFY(!SignIn(&connection, QStringLiteral("NULL"), window, host));
        QCOMPARE(window.selfUpdates, 1);
        QCOMPARE(window.updateDataSource, QStringLiteral("embedded"));
        QVERIFY(window.statusTexts.isEmpty());
        QCOMPARE(window.listLoads, 0);
        QCOMPARE(host.loginId, -1);
    }
}

void TestSignIn::failedListLoadingClearsTheLabel()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    SignInSetup setup;
    TADOConnection connection;
    RecordingWindow window;
    RecordingHost host;
    window.login = QLatin1String(DemoUsers::Editor);
    window.password = QLatin1String(DemoUsers::EditorPassword);
    window.statusTexts << QStringLiteral("from before");
    window.onLoadLists = [] { throw EDatabaseError(QStringLiteral("Invalid object name 'est2'.")); };

    QVERIFY(!SignIn(&connection, QStringLiteral("NULL"), window, host));
    QCOMPARE(window.status(), QString());
    QVERIFY(!connection.Connected());
    // What was stored before the failure stays.
    QVERIFY(host.loginId > 0);
    QCOMPARE(host.loginName, window.login);
    QVERIFY(m_application->ShowMainForm());
    // The label says nothing on this path, so the error itself is shown.
    const QList<ShownMessage> shown = DialogSeam::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, QStringLiteral("Invalid object name 'est2'."));
}

// A password is digested as the characters typed; one that the code page cannot carry is refused before
// any connection is tried, so a look-alike password (here "p?ss" for "päss") can never sign in.
void TestSignIn::passwordOutsideTheCodePageIsRefused()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QString error;
    {
        const auto admin = olm::server::Administration::open(db.path(), &error);
        QVERIFY2(admin, qPrintable(error));
        // olm-admin sets only what the sign-in window lets through; a user's own change reaches the server as a
        // digest, which it cannot judge by its characters.
        const olm::server::Outcome changed = admin->execute(
            QStringLiteral("EXEC GET_USER '%1','%2','%3', 'OLM 16', '10.0.0.5', 'PC-101', '%1','0','34'")
                .arg(QLatin1String(DemoUsers::Editor), DigestHex(QLatin1String(DemoUsers::EditorPassword)),
                     DigestHex(QStringLiteral("p?ss"))));
        QVERIFY2(changed.ok && changed.firstResult() && changed.firstResult()->rows.front().at(4).toString().isEmpty(),
                 qPrintable(changed.error));
    }
    SignInSetup setup;
    TADOConnection connection;
    RecordingWindow window;
    RecordingHost host;
    window.login = QLatin1String(DemoUsers::Editor);
    const QString refusal = QStringLiteral("Пароль содержит символ, которого нет в кодировке Windows-1251.");

    window.password = QStringLiteral("päss");
    QVERIFY(!SignIn(&connection, QStringLiteral("NULL"), window, host));
    QCOMPARE(window.statusTexts, QStringList{refusal});
    QVERIFY(!connection.Connected());
    QCOMPARE(host.loginId, -1);

    window.statusTexts.clear();
    window.password = QStringLiteral("p?ss");
    QVERIFY(!SignIn(&connection, QStringLiteral("n\u00EBw"), window, host));
    QCOMPARE(window.statusTexts, QStringList{refusal});
    QVERIFY(!connection.Connected());
    QVERIFY(DialogSeam::shown().isEmpty());

    QVERIFY(SignIn(&connection, QStringLiteral("NULL"), window, host));
    QVERIFY(host.loginId > 0);
}

OLM_TEST_MAIN(TestSignIn)
#include "tst_signin.moc"
