// The self-update end to end: a copy of the client's start-up (olm16-update-client) signs in against an
// embedded database that expects a newer program, downloads the new version from a loopback HTTP server,
// writes the update script and ends; the swap then puts the new version in place of its executable and
// starts it. A failed download ends the program with the failure box and leaves the executable alone.
#include "app/SelfUpdate.h"
#include "server/Database.h"
#include "server/Schema.h"
#include "tests/support/DemoUsers.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/SignInSetup.h"
#include "tests/support/TestMain.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

namespace {

// Generous for a sanitizer build on a busy machine; a healthy run takes a few seconds.
constexpr int ClientRunLimitMs = 90000;

const QString ProgramName = QStringLiteral("olm16");
const QByteArray NoUpdateServerBox =
    "box\tMessageBoxA\tУведомление\t64\tСервер обновлений не доступен.\\rОбратитесь к администратору.\n";

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A program folder as an installation has it: the client under its own name, and Data/ with the settings
// file and a demo database whose current program is newer than the client.
class ProgramFolder {
public:
    bool make(QString *error)
    {
        if (!m_dir.isValid() || !QFile::copy(QStringLiteral(OLM16_UPDATE_CLIENT), executable())) {
            *error = QStringLiteral("cannot copy the client into %1").arg(m_dir.path());
            return false;
        }
        QDir(m_dir.path()).mkpath(QStringLiteral("Data"));
        if (!olm::server::createDatabase(path(QStringLiteral("Data/olm.sqlite")), true, error))
            return false;
        const auto administration = olm::server::Administration::open(path(QStringLiteral("Data/olm.sqlite")), error);
        if (!administration || !administration->setCurrentProgram(QStringLiteral("OLM 17"), error))
            return false;
        QFile settings(path(QStringLiteral("Data/OLM")));
        if (!settings.open(QIODevice::WriteOnly)
            || settings.write(SignInSetup::settingsBlock(olm::server::bootstrapLogin, olm::server::bootstrapPassword,
                                                         "embedded", "olm.sqlite"))
                != 84) {
            *error = settings.errorString();
            return false;
        }
        return true;
    }

    QString path(const QString &name) const { return QDir(m_dir.path()).filePath(name); }
    QString executable() const { return path(ProgramName); }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// The client started in its folder, signing in as the editor; downloads go to port.
void startClient(QProcess &client, const ProgramFolder &program, quint16 port)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    client.setProcessEnvironment(environment);
    client.setWorkingDirectory(program.folder());
    client.start(program.executable(), {QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword),
                                        QString::number(port)});
}

QString clientReport(QProcess &client)
{
    return QStringLiteral("exit %1, output:\n%2\nerrors:\n%3")
        .arg(client.exitCode())
        .arg(QString::fromUtf8(client.readAllStandardOutput()), QString::fromUtf8(client.readAllStandardError()));
}

} // namespace

class TestSelfUpdate : public QObject {
    Q_OBJECT

private slots:
    void updateReplacesTheRunningProgram();
    void failedDownloadKeepsTheProgram_data();
    void failedDownloadKeepsTheProgram();
};

void TestSelfUpdate::updateReplacesTheRunningProgram()
{
    ProgramFolder program;
    QString error;
    QVERIFY2(program.make(&error), qPrintable(error));
    LoopbackHttpServer server;
    const QByteArray newVersion = "#!/bin/sh\necho \"new version, $# arguments\" > updated.txt\n";
    server.respond(200, "OK", newVersion);

    QProcess client;
    startClient(client, program, server.port());
    QVERIFY2(client.waitForStarted(), qPrintable(client.errorString()));

    // The script and the download stand side by side from the download until the swap after the end.
    const QString script = program.path(QStringLiteral("OLM 16.bat"));
    const QString downloaded = program.path(QStringLiteral("tempOLM/OLM 16.exe"));
    QElapsedTimer clock;
    clock.start();
    bool filesSeen = false;
    QByteArray scriptSeen;
    QByteArray downloadSeen;
    while (client.state() != QProcess::NotRunning && clock.elapsed() < ClientRunLimitMs) {
        if (!filesSeen && QFileInfo::exists(script) && QFileInfo::exists(downloaded)) {
            filesSeen = true;
            scriptSeen = fileBytes(script);
            downloadSeen = fileBytes(downloaded);
        }
        QTest::qWait(20);
    }
    const QDateTime endSeen = QDateTime::currentDateTime();
    QVERIFY2(client.state() == QProcess::NotRunning, "the client did not end");
    const QString report = clientReport(client);
    QVERIFY2(client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0, qPrintable(report));
    QVERIFY2(!report.contains(QLatin1String("box\t")), qPrintable(report));
    QVERIFY2(filesSeen, qPrintable(report));
    QCOMPARE(scriptSeen, updateScriptBytes());
    QCOMPARE(downloadSeen, newVersion);
    // The script is written just before the end timer starts: two seconds of it, and the exit of a
    // sanitizer build on a busy machine. The file's time does not depend on how often this test looked.
    const qint64 endedAfter = QFileInfo(script).lastModified().msecsTo(endSeen);
    QVERIFY2(endedAfter >= 1950 && endedAfter < 15000,
             qPrintable(QStringLiteral("ended %1 ms after the script was written").arg(endedAfter)));

    QCOMPARE(server.requestLines(), QList<QByteArray>{"GET /olmprogs/OLM%2016.exe HTTP/1.1"});
    QVERIFY2(server.lastRequest().contains("\r\nUser-Agent: " + ProgramName.toUtf8() + "\r\n"),
             server.lastRequest().constData());
    QVERIFY2(server.lastRequest().contains("\r\nHost: localhost:"), server.lastRequest().constData());

    // The new version replaced the executable under its own name, kept the run bit and was started.
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(program.path(QStringLiteral("updated.txt"))),
                              QByteArray("new version, 0 arguments\n"), 20000);
    QCOMPARE(fileBytes(program.executable()), newVersion);
    QVERIFY(QFileInfo(program.executable()).isExecutable());
    QTRY_VERIFY(!QFileInfo::exists(program.path(QStringLiteral("tempOLM"))));
    // Nothing else is left: no temporary copy beside the executable. (The journal window's address
    // history, written where the program ran, is its own business.)
    QStringList files = QDir(program.folder()).entryList(QDir::Files);
    files.removeOne(QStringLiteral("iphist.dat"));
    QCOMPARE(files, (QStringList{QStringLiteral("OLM 16.bat"), ProgramName, QStringLiteral("updated.txt")}));
}

void TestSelfUpdate::failedDownloadKeepsTheProgram_data()
{
    QTest::addColumn<bool>("serverRuns");
    QTest::newRow("not found") << true;
    QTest::newRow("connection refused") << false;
}

void TestSelfUpdate::failedDownloadKeepsTheProgram()
{
    QFETCH(bool, serverRuns);
    ProgramFolder program;
    QString error;
    QVERIFY2(program.make(&error), qPrintable(error));
    const QByteArray oldVersion = fileBytes(program.executable());

    LoopbackHttpServer server;
    server.respond(404, "Not Found", "<html><body>No such file</body></html>");
    quint16 port = server.port();
    if (!serverRuns) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }

    QProcess client;
    startClient(client, program, port);
    QVERIFY2(client.waitForStarted(), qPrintable(client.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(client.state() == QProcess::NotRunning, ClientRunLimitMs);
    const QByteArray output = client.readAllStandardOutput();
    const QString report = clientReport(client) + QString::fromUtf8(output);
    QVERIFY2(client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0, qPrintable(report));
    QCOMPARE(output, NoUpdateServerBox);
    QCOMPARE(server.requestLines().size(), serverRuns ? 1 : 0);

    QVERIFY(fileBytes(program.executable()) == oldVersion);
    QVERIFY(!QFileInfo::exists(program.path(QStringLiteral("OLM 16.bat"))));
    QCOMPARE(fileBytes(program.path(QStringLiteral("tempOLM/OLM 16.exe"))), QByteArray());
    QTest::qWait(300); // a swap, had one started, would be at work by now
    QVERIFY(fileBytes(program.executable()) == oldVersion);
}

OLM_TEST_GUILESS_MAIN(TestSelfUpdate)
#include "tst_selfupdate.moc"
