// Tests of the platform seam: machine facts, the clipboard, HTTP downloads against a
// loopback server, the shell, folders, and the local-address watcher's thread and history file.
#include "platform/FakePlatform.h"
#include "platform/IdIPWatch.h"
#include "platform/Platform.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestMain.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHostAddress>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace olm::platform;

namespace {

const QString rowFormat = QStringLiteral("Data Base Edit Data");

void writeFile(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void currentIsTheSystemUnlessReplaced();
    void computerNameFitsTheBuffer_data();
    void computerNameFitsTheBuffer();
    void realComputerNameIsTheHostName();
    void localAddressRules_data();
    void localAddressRules();
    void realLocalAddressIsIPv4AndQuick();


    void clipboardCarriesOnlyThePrivateFormat();
    void clipboardWithoutTheFormatGivesNothing();
    void clipboardHeldByAnotherProgram();

    void downloadReadsInBlocks();
    void downloadReportsErrorStatus();
    void downloadOfEmptyBodyFails();
    void downloadFromNowhereLeavesEmptyFile();
    void downloadGivesUpOnSilentServer();
    void downloadIntoMissingFolderIsFileError();
    void downloadCutShortIsIncomplete();
    void downloadFollowsRedirectsToHttpOnly();
    void executableSwapWaitsForTheProcessThenReplaces();

    void shellStartsExecutableInCurrentFolder();
    void shellRefusesNonExecutable();
    void makeFolderCreatesOneLevel();
    void beepReachesTheSystemSound();

    void watcherHistoryRules_data();
    void watcherHistoryRules();
    void watcherKeepsTheNewest25();
    void watcherWithoutHistoryWritesNothing();
    void watcherPollsOnItsOwnThreadAndJoins();
    void watcherStopsPollingWhenInactive();

private:
    QTemporaryDir m_dir;
    QString m_previousFolder;
};

void TestPlatform::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_previousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestPlatform::cleanupTestCase()
{
    QDir::setCurrent(m_previousFolder);
}

void TestPlatform::currentIsTheSystemUnlessReplaced()
{
    QCOMPARE(&Platform::current(), &Platform::system());
    FakePlatform outer;
    {
        const ScopedPlatform scope(outer);
        QCOMPARE(&Platform::current(), &outer);
        FakePlatform inner;
        {
            const ScopedPlatform nested(inner);
            QCOMPARE(&Platform::current(), &inner);
        }
        QCOMPARE(&Platform::current(), &outer);
    }
    QCOMPARE(&Platform::current(), &Platform::system());
}

void TestPlatform::computerNameFitsTheBuffer_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("buffer");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fits") << "WORKSTATION-07" << 256 << "WORKSTATION-07";
    QTest::newRow("exactly buffer - 1") << "ABCD" << 5 << "ABCD";
    QTest::newRow("one too long") << "ABCDE" << 5 << "ABCD";
    QTest::newRow("journal buffer") << QString(150, QLatin1Char('N')) << 101 << QString(100, QLatin1Char('N'));
    QTest::newRow("up to first zero") << QStringLiteral("AB%1CD").arg(QChar(0)) << 256 << "AB";
    QTest::newRow("room for the zero only") << "ABC" << 1 << "";
    QTest::newRow("no buffer") << "ABC" << 0 << "";
}

void TestPlatform::computerNameFitsTheBuffer()
{
    QFETCH(QString, name);
    QFETCH(int, buffer);
    QFETCH(QString, expected);
    FakePlatform fake;
    fake.setComputerName(name);
    QCOMPARE(fake.computerName(buffer), expected);
}

void TestPlatform::realComputerNameIsTheHostName()
{
    const QString name = Platform::system().computerName(256);
    QVERIFY(!name.isEmpty());
    QCOMPARE(name, QSysInfo::machineHostName().left(255));
}

void TestPlatform::localAddressRules_data()
{
    QTest::addColumn<QStringList>("host");
    QTest::addColumn<QStringList>("interfaces");
    QTest::addColumn<QString>("expected");
    QTest::newRow("own name first") << QStringList{"127.0.1.1", "192.168.1.5"} << QStringList{"10.0.0.2"}
                                    << "192.168.1.5";
    QTest::newRow("first of several") << QStringList{"10.1.1.1", "10.2.2.2"} << QStringList{} << "10.1.1.1";
    QTest::newRow("name gives loopback only") << QStringList{"127.0.1.1"} << QStringList{"127.0.0.1", "10.0.0.2"}
                                              << "10.0.0.2";
    QTest::newRow("IPv6 is skipped") << QStringList{"::1", "fe80::1", "172.16.0.9"} << QStringList{}
                                     << "172.16.0.9";
    QTest::newRow("interfaces IPv6 skipped") << QStringList{} << QStringList{"::1", "2001:db8::5", "10.9.8.7"}
                                             << "10.9.8.7";
    QTest::newRow("nothing usable") << QStringList{"127.0.0.1"} << QStringList{"::1"} << "127.0.0.1";
    QTest::newRow("nothing at all") << QStringList{} << QStringList{} << "127.0.0.1";
}

void TestPlatform::localAddressRules()
{
    QFETCH(QStringList, host);
    QFETCH(QStringList, interfaces);
    QFETCH(QString, expected);
    FakePlatform fake;
    fake.setHostAddresses(host);
    fake.setInterfaceAddresses(interfaces);
    QCOMPARE(fake.localAddress(), expected);
}

void TestPlatform::realLocalAddressIsIPv4AndQuick()
{
    QElapsedTimer timer;
    timer.start();
    const QString address = Platform::system().localAddress();
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    const QHostAddress parsed(address);
    QCOMPARE(parsed.protocol(), QAbstractSocket::IPv4Protocol);
    QVERIFY2(address == QLatin1String("127.0.0.1") || !parsed.isLoopback(), qPrintable(address));
}

void TestPlatform::clipboardCarriesOnlyThePrivateFormat()
{
    Platform &system = Platform::system();
    QString error;
    QVERIFY(system.clipboardWrite(QStringLiteral("Some Other Format"), "other", &error));
    // Values with the separators and a zero byte: the block is binary.
    const QByteArray block("12\x01\x01" "5\x01\x02\xCF\x00\x01\x02", 11);
    QVERIFY2(system.clipboardWrite(rowFormat, block, &error), qPrintable(error));
    QCOMPARE(system.clipboardFormats(), QStringList{rowFormat});
    QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasText());
    const std::optional<QByteArray> read = system.clipboardRead(rowFormat, &error);
    QVERIFY(read.has_value());
    QCOMPARE(*read, block);
    QVERIFY(!system.clipboardRead(QStringLiteral("Some Other Format"), &error).has_value());
}

void TestPlatform::clipboardWithoutTheFormatGivesNothing()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("plain"));
    QString error;
    QVERIFY(!Platform::system().clipboardRead(rowFormat, &error).has_value());
    QVERIFY(error.isEmpty());
}

void TestPlatform::clipboardHeldByAnotherProgram()
{
    FakePlatform fake;
    QString error;
    QVERIFY(fake.clipboardWrite(rowFormat, "row", &error));
    fake.setClipboardHeld(true);
    QVERIFY(!fake.clipboardWrite(rowFormat, "other", &error));
    QVERIFY(error.contains(QLatin1String("Cannot open clipboard")));
    error.clear();
    QVERIFY(!fake.clipboardRead(rowFormat, &error).has_value());
    QVERIFY(!error.isEmpty());
    fake.setClipboardHeld(false);
    QCOMPARE(fake.clipboardRead(rowFormat, &error).value_or(QByteArray()), QByteArray("row"));
    // Every session that opened was closed, whichever way it ended.
    QCOMPARE(fake.clipboardOpens(), 2);
    QCOMPARE(fake.clipboardCloses(), 2);
    {
        const ClipboardSession first(fake);
        QVERIFY(first.isOpen());
        const ClipboardSession second(fake);
        QVERIFY(!second.isOpen());
    }
    QVERIFY(!fake.clipboardIsOpen());
}

void TestPlatform::downloadReadsInBlocks()
{
    LoopbackHttpServer server;
    const QByteArray body = pattern(3000);
    server.respond(200, "OK", body);
    const QString target = m_dir.filePath(QStringLiteral("blocks.bin"));
    writeFile(target, pattern(5000));

    const DownloadResult result = Platform::system().httpDownload(server.url(QStringLiteral("/olmprogs/OLM 16.exe")), target, 1024);
    QVERIFY2(result.received(), qPrintable(result.error));
    QVERIFY(result.opened);
    QCOMPARE(result.httpStatus, 200);
    QCOMPARE(result.bytesReceived, qint64(body.size()));
    QVERIFY2(result.blocks >= 3, qPrintable(QString::number(result.blocks)));
    QCOMPARE(readAll(target), body);
    QVERIFY(server.lastRequest().startsWith("GET /olmprogs/OLM%2016.exe HTTP/1.1\r\n"));
    const QByteArray agent = "User-Agent: " + QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8();
    QVERIFY2(server.lastRequest().contains(agent), server.lastRequest().constData());
}

void TestPlatform::downloadReportsErrorStatus()
{
    LoopbackHttpServer server;
    server.respond(404, "Not Found", "no such file");
    const QString target = m_dir.filePath(QStringLiteral("missing.bin"));
    const DownloadResult result = Platform::system().httpDownload(server.url(QStringLiteral("/x")), target, 1024);
    QCOMPARE(result.httpStatus, 404);
    QVERIFY(result.opened);
    // Something arrived; whether an error page counts is the caller's decision.
    QVERIFY(result.received());
    QCOMPARE(readAll(target), QByteArray("no such file"));
}

void TestPlatform::downloadOfEmptyBodyFails()
{
    LoopbackHttpServer server;
    server.respond(200, "OK", QByteArray());
    const QString target = m_dir.filePath(QStringLiteral("empty.bin"));
    const DownloadResult result = Platform::system().httpDownload(server.url(QStringLiteral("/e")), target, 1024);
    QCOMPARE(result.httpStatus, 200);
    QVERIFY(result.firstReadEmpty);
    QVERIFY(!result.received());
    QVERIFY(QFileInfo::exists(target));
    QCOMPARE(QFileInfo(target).size(), 0);
}

void TestPlatform::downloadFromNowhereLeavesEmptyFile()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    const QString target = m_dir.filePath(QStringLiteral("nowhere.bin"));
    const DownloadResult result = Platform::system().httpDownload(
        QUrl(QStringLiteral("http://127.0.0.1:%1/olmprogs/OLM 16.exe").arg(port)), target, 1024);
    QVERIFY(!result.opened);
    QCOMPARE(result.httpStatus, 0);
    QVERIFY(result.firstReadEmpty);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(!result.fileError);
    QCOMPARE(QFileInfo(target).size(), 0);
}

void TestPlatform::downloadGivesUpOnSilentServer()
{
    LoopbackHttpServer server;
    server.staySilent();
    QElapsedTimer timer;
    timer.start();
    const DownloadResult result =
        Platform::system().httpDownload(server.url(QStringLiteral("/slow")), m_dir.filePath(QStringLiteral("slow.bin")), 1024, 300);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!result.received());
    QVERIFY(!result.error.isEmpty());
}

void TestPlatform::downloadIntoMissingFolderIsFileError()
{
    LoopbackHttpServer server;
    server.respond(200, "OK", "data");
    const DownloadResult result = Platform::system().httpDownload(
        server.url(QStringLiteral("/d")), m_dir.filePath(QStringLiteral("no/such/folder/file.bin")), 1024);
    QVERIFY(result.fileError);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(!result.received());
}

void TestPlatform::downloadCutShortIsIncomplete()
{
    LoopbackHttpServer server;
    server.respond(200, "OK", pattern(1000), {}, 3000);
    const QString target = m_dir.filePath(QStringLiteral("short.bin"));
    const DownloadResult result = Platform::system().httpDownload(server.url(QStringLiteral("/s")), target, 1024);
    QCOMPARE(result.httpStatus, 200);
    QCOMPARE(result.announcedBytes, qint64(3000));
    QVERIFY(result.bytesReceived < 3000);
    QVERIFY(!result.complete());

    // The same body announced rightly is complete; an error status never is.
    server.respond(200, "OK", pattern(1000));
    QVERIFY(Platform::system().httpDownload(server.url(QStringLiteral("/s")), target, 1024).complete());
    server.respond(500, "Internal Server Error", pattern(1000));
    QVERIFY(!Platform::system().httpDownload(server.url(QStringLiteral("/s")), target, 1024).complete());
}

void TestPlatform::downloadFollowsRedirectsToHttpOnly()
{
    LoopbackHttpServer target;
    target.respond(200, "OK", "the file");
    LoopbackHttpServer mirror;
    mirror.respond(302, "Found", "moved", "Location: " + target.url(QStringLiteral("/new")).toEncoded() + "\r\n");
    const QString file = m_dir.filePath(QStringLiteral("redirected.bin"));
    const DownloadResult followed = Platform::system().httpDownload(mirror.url(QStringLiteral("/old")), file, 1024);
    QVERIFY2(followed.complete(), qPrintable(followed.error));
    QCOMPARE(readAll(file), QByteArray("the file"));
    QCOMPARE(target.requestLines(), QList<QByteArray>{"GET /new HTTP/1.1"});

    for (const QByteArray &elsewhere : {QByteArray("ftp://127.0.0.1/new"), QByteArray("file:///etc/hostname")}) {
        mirror.respond(302, "Found", "moved", "Location: " + elsewhere + "\r\n");
        const DownloadResult refused = Platform::system().httpDownload(mirror.url(QStringLiteral("/old")), file, 1024);
        QVERIFY2(!refused.complete(), elsewhere.constData());
        QVERIFY(!refused.error.isEmpty());
    }
}

void TestPlatform::executableSwapWaitsForTheProcessThenReplaces()
{
#ifdef Q_OS_WIN
    QSKIP("Windows runs the update script itself");
#else
    // A program file that a running process "holds", and its new version in a download folder.
    const QString folder = m_dir.filePath(QStringLiteral("swap"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/tempOLM")));
    const QString executable = folder + QStringLiteral("/the program");
    writeFile(executable, "old\n");
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadGroup | QFileDevice::ExeGroup;
    QVERIFY(QFile::setPermissions(executable, mode));
    const QString downloaded = folder + QStringLiteral("/tempOLM/OLM 16.exe");
    const QByteArray newVersion = "#!/bin/sh\necho \"new $#\" > swap-marker.txt\n";
    writeFile(downloaded, newVersion);

    QProcess holder;
    holder.start(QStringLiteral("/bin/sleep"), {QStringLiteral("1")});
    QVERIFY(holder.waitForStarted());
    QVERIFY(Platform::system().startExecutableSwap(
        {folder + QStringLiteral("/OLM 16.bat"), downloaded, executable, folder + QStringLiteral("/tempOLM"),
         holder.processId()}));
    QTest::qWait(300);
    QCOMPARE(readAll(executable), QByteArray("old\n"));
    QVERIFY(holder.waitForFinished(5000));

    QTRY_COMPARE_WITH_TIMEOUT(readAll(QStringLiteral("swap-marker.txt")), QByteArray("new 0\n"), 10000);
    QCOMPARE(readAll(executable), newVersion);
    QCOMPARE(QFile::permissions(executable) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
             mode);
    QTRY_VERIFY(!QFileInfo::exists(folder + QStringLiteral("/tempOLM")));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("the program")});
#endif
}

void TestPlatform::shellStartsExecutableInCurrentFolder()
{
#ifdef Q_OS_WIN
    QSKIP("starts through the shell's open verb on Windows");
#else
    // No interpreter line: the start must go through the shell; the marker lands in the current folder.
    const QString script = m_dir.filePath(QStringLiteral("update script.bat"));
    writeFile(script, "echo started > shell-marker.txt\n");
    QVERIFY(QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner));
    QVERIFY(Platform::system().shellOpenHidden(script));
    QTRY_VERIFY(QFileInfo::exists(QDir::current().filePath(QStringLiteral("shell-marker.txt"))));
    QTRY_COMPARE(readAll(QStringLiteral("shell-marker.txt")), QByteArray("started\n"));
#endif
}

void TestPlatform::shellRefusesNonExecutable()
{
#ifdef Q_OS_WIN
    QSKIP("Windows opens any document");
#else
    const QString document = m_dir.filePath(QStringLiteral("notes.txt"));
    writeFile(document, "touch should-not-exist\n");
    QVERIFY(!Platform::system().shellOpenHidden(document));
    QVERIFY(!Platform::system().shellOpenHidden(m_dir.filePath(QStringLiteral("absent.bat"))));
#endif
}

void TestPlatform::makeFolderCreatesOneLevel()
{
    Platform &system = Platform::system();
    const QString folder = m_dir.filePath(QStringLiteral("tempOLM"));
    QVERIFY(system.makeFolder(folder));
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(system.makeFolder(folder)); // already there
    QVERIFY(!system.makeFolder(m_dir.filePath(QStringLiteral("a/b/c"))));
}

void TestPlatform::beepReachesTheSystemSound()
{
#ifdef Q_OS_WIN
    QSKIP("the system plays it itself");
#else
    QList<unsigned> played;
    Platform::setSystemBeep([&played](unsigned type) { played.append(type); });
    Platform::system().messageBeep(0x30);
    Platform::setSystemBeep(nullptr);
    Platform::system().messageBeep(0x10); // no sound left to play; must not crash
    QCOMPARE(played, QList<unsigned>{0x30});
#endif
}

void TestPlatform::watcherHistoryRules_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("lost addresses, no repeats, no loopback, no empty")
        << QStringList{"10.0.0.1", "10.0.0.2", "10.0.0.2", "127.0.0.1", "10.0.0.3", "", "10.0.0.3"}
        << QByteArray("10.0.0.1\r\n10.0.0.2\r\n10.0.0.3\r\n");
    QTest::newRow("back and forth") << QStringList{"10.0.0.1", "10.0.0.2", "10.0.0.1", "10.0.0.2"}
                                    << QByteArray("10.0.0.1\r\n10.0.0.2\r\n10.0.0.1\r\n10.0.0.2\r\n");
    QTest::newRow("one address all along") << QStringList{"192.168.0.7", "192.168.0.7"} << QByteArray("192.168.0.7\r\n");
    QTest::newRow("loopback only") << QStringList{"127.0.0.1"} << QByteArray();
}

void TestPlatform::watcherHistoryRules()
{
    QFETCH(QStringList, addresses);
    QFETCH(QByteArray, file);
    writeFile(QStringLiteral("iphist.dat"), "stale\r\nlines\r\nfrom an earlier run\r\n");

    FakePlatform fake;
    const ScopedPlatform scope(fake);
    {
        TIdIPWatch watch;
        for (const QString &address : addresses) {
            fake.setLocalAddress(address);
            watch.ForceCheck();
            QCOMPARE(watch.LocalIP(), address);
        }
    }
    QCOMPARE(readAll(QStringLiteral("iphist.dat")), file);
}

void TestPlatform::watcherKeepsTheNewest25()
{
    FakePlatform fake;
    const ScopedPlatform scope(fake);
    {
        TIdIPWatch watch;
        for (int i = 1; i <= 30; ++i) {
            fake.setLocalAddress(QStringLiteral("10.0.0.%1").arg(i));
            watch.ForceCheck();
        }
        QCOMPARE(watch.IPHistoryList().size(), 25);
        QCOMPARE(watch.IPHistoryList().constFirst(), QStringLiteral("10.0.0.5"));
        QCOMPARE(watch.IPHistoryList().constLast(), QStringLiteral("10.0.0.29"));
    }
    const QList<QByteArray> lines = readAll(QStringLiteral("iphist.dat")).split('\n');
    QCOMPARE(lines.size(), 26); // 25 lines and what follows the last line break
    QCOMPARE(lines.constFirst(), QByteArray("10.0.0.6\r"));
    QCOMPARE(lines.at(24), QByteArray("10.0.0.30\r"));
}

void TestPlatform::watcherWithoutHistoryWritesNothing()
{
    QFile::remove(QStringLiteral("sign-in.dat"));
    FakePlatform fake;
    const ScopedPlatform scope(fake);
    {
        TIdIPWatch watch;
        watch.setHistoryFilename(QStringLiteral("sign-in.dat"));
        watch.setHistoryEnabled(false);
        fake.setLocalAddress(QStringLiteral("10.0.0.1"));
        watch.ForceCheck();
        fake.setLocalAddress(QStringLiteral("10.0.0.2"));
        watch.ForceCheck();
    }
    QVERIFY(!QFileInfo::exists(QStringLiteral("sign-in.dat")));
}

void TestPlatform::watcherPollsOnItsOwnThreadAndJoins()
{
    FakePlatform fake;
    const ScopedPlatform scope(fake);
    fake.setLocalAddress(QStringLiteral("10.1.1.1"));
    auto watch = std::make_unique<TIdIPWatch>();
    watch->setHistoryEnabled(false);
    watch->setWatchInterval(20);
    QSignalSpy changed(watch.get(), &TIdIPWatch::StatusChanged);
    watch->setActive(true);
    // The first answer is there at once, without waiting for the thread.
    QCOMPARE(watch->LocalIP(), QStringLiteral("10.1.1.1"));

    fake.setLocalAddress(QStringLiteral("10.1.1.2"));
    QTRY_COMPARE_WITH_TIMEOUT(watch->LocalIP(), QStringLiteral("10.1.1.2"), 2000);
    QCOMPARE(watch->PreviousIP(), QStringLiteral("10.1.1.1"));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(watch->IPHistoryList(), QStringList{QStringLiteral("10.1.1.1")});
    const QList<Qt::HANDLE> threads = fake.localAddressThreads();
    QVERIFY(std::any_of(threads.begin(), threads.end(),
                        [](Qt::HANDLE thread) { return thread != QThread::currentThreadId(); }));

    watch.reset();
    const int calls = fake.localAddressCalls();
    QTest::qWait(150);
    QCOMPARE(fake.localAddressCalls(), calls);
}

void TestPlatform::watcherStopsPollingWhenInactive()
{
    FakePlatform fake;
    const ScopedPlatform scope(fake);
    fake.setLocalAddress(QStringLiteral("10.2.2.2"));
    TIdIPWatch watch;
    watch.setHistoryEnabled(false);
    watch.setWatchInterval(10);
    watch.setActive(true);
    QTRY_VERIFY(fake.localAddressCalls() >= 3);
    watch.setActive(false);
    QVERIFY(!watch.Active());
    const int calls = fake.localAddressCalls();
    QTest::qWait(100);
    QCOMPARE(fake.localAddressCalls(), calls);
}

OLM_TEST_MAIN(TestPlatform)
#include "tst_platform.moc"
