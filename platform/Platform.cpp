// The seam's rules (name buffer, address choice, clipboard sessions) and the real system behind it.
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QClipboard>
#include <QHostInfo>
#include <QMimeData>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QProcess>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#endif

namespace olm::platform {

namespace {

// How long the own name may take to resolve before the interfaces are asked instead.
constexpr int hostLookupTimeoutMs = 500;

#ifndef Q_OS_WIN
// What the update script does, for /bin/sh: $1 the process to outlive, $2 the new executable, $3 the
// executable, $4 the download folder, $5 the executable's mode. The copy goes to a name beside the
// executable first, so the rename puts either the whole new file in place or nothing.
const char posixSwapScript[] = R"(pid=$1 new=$2 exe=$3 temp=$4 mode=$5
while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
part="$exe.update-$$"
if ! { cp -f "$new" "$part" && chmod "$mode" "$part" && mv -f "$part" "$exe"; }; then rm -f "$part"; fi
rm -rf "$temp"
exec "$exe"
)";

// The file's permissions as chmod reads them, e.g. "755".
QString octalMode(QFileDevice::Permissions permissions)
{
    const uint bits = uint(permissions);
    const uint mode = (((bits >> 12) & 7) << 6) | (((bits >> 4) & 7) << 3) | (bits & 7);
    return QString::number(mode, 8);
}
#endif

bool isUsableIPv4(const QHostAddress &address)
{
    return address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback();
}

// The system's proxies, except for this machine itself.
class SystemProxies : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        const QString host = query.peerHostName();
        if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback())
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

class SystemPlatform : public Platform {
public:
    bool openClipboard(QString *error) override;
    void closeClipboard() override { m_clipboardOpen = false; }
    bool setClipboardData(const QString &formatName, const QByteArray &bytes, QString *error) override;
    std::optional<QByteArray> clipboardData(const QString &formatName) override;
    QStringList clipboardFormats() override;
    bool shellOpenHidden(const QString &document) override;
    bool startExecutableSwap(const ExecutableSwap &swap) override;
    DownloadResult httpDownload(const QUrl &url, const QString &targetFile, int blockSize, int timeoutMs) override;
    void messageBeep(unsigned type) override;
    bool makeFolder(const QString &path) override;

    void setBeep(std::function<void(unsigned)> beep)
    {
        const QMutexLocker lock(&m_beepMutex);
        m_beep = std::move(beep);
    }

protected:
    QString rawComputerName() override { return QSysInfo::machineHostName(); }
    QList<QHostAddress> hostAddresses() override;
    QList<QHostAddress> interfaceAddresses() override { return QNetworkInterface::allAddresses(); }

private:
    bool m_clipboardOpen = false;
    QMutex m_beepMutex;
    std::function<void(unsigned)> m_beep;
};

SystemPlatform &systemPlatform()
{
    static SystemPlatform platform;
    return platform;
}

std::atomic<Platform *> &currentPlatform()
{
    static std::atomic<Platform *> platform{nullptr};
    return platform;
}

bool SystemPlatform::openClipboard(QString *error)
{
    if (!qGuiApp || QThread::currentThread() != qGuiApp->thread()) {
        if (error)
            *error = QStringLiteral("Cannot open clipboard: no window system in this thread.");
        return false;
    }
    if (m_clipboardOpen) {
        if (error)
            *error = QStringLiteral("Cannot open clipboard: it is already open.");
        return false;
    }
    m_clipboardOpen = true;
    return true;
}

bool SystemPlatform::setClipboardData(const QString &formatName, const QByteArray &bytes, QString *error)
{
    if (!m_clipboardOpen) {
        if (error)
            *error = QStringLiteral("Cannot write the clipboard: it is not open.");
        return false;
    }
    auto data = std::make_unique<QMimeData>();
    data->setData(formatName, bytes);
    // Replacing the whole data empties the clipboard first; the clipboard owns it from here.
    QGuiApplication::clipboard()->setMimeData(data.release());
    return true;
}

std::optional<QByteArray> SystemPlatform::clipboardData(const QString &formatName)
{
    if (!m_clipboardOpen)
        return std::nullopt;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(formatName))
        return std::nullopt;
    return data->data(formatName);
}

QStringList SystemPlatform::clipboardFormats()
{
    if (!qGuiApp)
        return {};
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data ? data->formats() : QStringList();
}

bool SystemPlatform::shellOpenHidden(const QString &document)
{
#ifdef Q_OS_WIN
    const std::wstring path = QDir::toNativeSeparators(document).toStdWString();
    const auto instance = ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_HIDE);
    return reinterpret_cast<INT_PTR>(instance) > 32;
#else
    const QFileInfo info(document);
    if (!info.isFile() || !info.isExecutable())
        return false;
    // Through the shell, so that a script without an interpreter line runs as a shell script.
    return QProcess::startDetached(QStringLiteral("/bin/sh"),
                                   {QStringLiteral("-c"), QStringLiteral("exec \"$0\""), info.absoluteFilePath()});
#endif
}

bool SystemPlatform::startExecutableSwap(const ExecutableSwap &swap)
{
#ifdef Q_OS_WIN
    return shellOpenHidden(swap.script);
#else
    QFileDevice::Permissions permissions = QFile::permissions(swap.executable);
    if (!(permissions & QFileDevice::ExeOwner))
        permissions |= QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({QStringLiteral("-c"), QLatin1String(posixSwapScript), QStringLiteral("olm-update"),
                          QString::number(swap.waitForPid), swap.downloaded, swap.executable, swap.tempFolder,
                          octalMode(permissions)});
    // Hidden: nothing of it reaches this program's terminal.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
#endif
}

DownloadResult SystemPlatform::httpDownload(const QUrl &url, const QString &targetFile, int blockSize, int timeoutMs)
{
    DownloadResult result;
    QFile file(targetFile);
    if (!openDownloadTarget(file, result))
        return result;

    QNetworkAccessManager manager;
    manager.setProxyFactory(new SystemProxies); // the manager owns it
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    request.setTransferTimeout(timeoutMs);
    // Another HTTP address may stand in for the file; another scheme may not (the access manager refuses it).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));

    QEventLoop loop;
    auto readBlocks = [&] {
        while (!result.fileError && reply->isOpen()) {
            const QByteArray block = reply->read(blockSize);
            if (block.isEmpty())
                return;
            if (!writeDownloadBlock(file, block, result))
                reply->abort();
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, readBlocks);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, [&] {
        readBlocks();
        loop.quit();
    });
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    readBlocks();

    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.opened = result.httpStatus != 0;
    if (const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader); length.isValid())
        result.announcedBytes = length.toLongLong();
    if (!result.fileError && reply->error() != QNetworkReply::NoError)
        result.error = reply->errorString();
    if (!result.fileError && !file.flush()) {
        result.fileError = true;
        result.error = file.errorString();
    }
    file.close();
    return result;
}

void SystemPlatform::messageBeep(unsigned type)
{
#ifdef Q_OS_WIN
    ::MessageBeep(type);
#else
    const QMutexLocker lock(&m_beepMutex);
    if (m_beep)
        m_beep(type);
#endif
}

bool SystemPlatform::makeFolder(const QString &path)
{
    return QDir().mkdir(path) || QFileInfo(path).isDir();
}

QList<QHostAddress> SystemPlatform::hostAddresses()
{
    // A resolver that hangs must not hold a window: wait a little, then give up on the name.
    QEventLoop loop;
    QObject context;
    QList<QHostAddress> addresses;
    bool done = false;
    const int id = QHostInfo::lookupHost(QSysInfo::machineHostName(), &context, [&](const QHostInfo &info) {
        addresses = info.addresses();
        done = true;
        loop.quit();
    });
    if (!done) {
        QTimer::singleShot(hostLookupTimeoutMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!done)
        QHostInfo::abortHostLookup(id);
    return addresses;
}

} // namespace

Platform::~Platform() = default;

Platform &Platform::current()
{
    Platform *platform = currentPlatform().load();
    return platform ? *platform : systemPlatform();
}

void Platform::setCurrent(Platform *platform)
{
    currentPlatform().store(platform);
}

Platform &Platform::system()
{
    return systemPlatform();
}

void Platform::setSystemBeep(std::function<void(unsigned)> beep)
{
    systemPlatform().setBeep(std::move(beep));
}

QString Platform::computerName(int bufferLength)
{
    if (bufferLength < 2)
        return {};
    QString name = rawComputerName();
    if (const qsizetype zero = name.indexOf(QChar(0)); zero >= 0)
        name.truncate(zero);
    return name.left(bufferLength - 1);
}

QString Platform::localAddress()
{
    for (const QHostAddress &address : hostAddresses()) {
        if (isUsableIPv4(address))
            return address.toString();
    }
    for (const QHostAddress &address : interfaceAddresses()) {
        if (isUsableIPv4(address))
            return address.toString();
    }
    return QStringLiteral("127.0.0.1");
}

bool Platform::openDownloadTarget(QFile &file, DownloadResult &result)
{
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    result.fileError = true;
    result.error = file.errorString();
    return false;
}

bool Platform::writeDownloadBlock(QFile &file, const QByteArray &block, DownloadResult &result)
{
    if (file.write(block) != block.size()) {
        result.fileError = true;
        result.error = file.errorString();
        return false;
    }
    result.bytesReceived += block.size();
    ++result.blocks;
    result.firstReadEmpty = false;
    return true;
}

bool Platform::clipboardWrite(const QString &formatName, const QByteArray &bytes, QString *error)
{
    const ClipboardSession session(*this);
    if (!session.isOpen()) {
        if (error)
            *error = session.error();
        return false;
    }
    return setClipboardData(formatName, bytes, error);
}

std::optional<QByteArray> Platform::clipboardRead(const QString &formatName, QString *error)
{
    const ClipboardSession session(*this);
    if (!session.isOpen()) {
        if (error)
            *error = session.error();
        return std::nullopt;
    }
    return clipboardData(formatName);
}

QString registerClipboardFormat(const QString &name)
{
#ifdef Q_OS_WIN
    // Registered now, before any window exists; Qt hands data under this MIME type to the very format.
    ::RegisterClipboardFormatW(reinterpret_cast<const wchar_t *>(name.utf16()));
    return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(name);
#else
    return name;
#endif
}

ScopedPlatform::ScopedPlatform(Platform &platform) : m_previous(currentPlatform().load())
{
    Platform::setCurrent(&platform);
}

ScopedPlatform::~ScopedPlatform()
{
    Platform::setCurrent(m_previous);
}

ClipboardSession::ClipboardSession(Platform &platform) : m_platform(platform)
{
    m_open = m_platform.openClipboard(&m_error);
}

ClipboardSession::~ClipboardSession()
{
    if (m_open)
        m_platform.closeClipboard();
}

} // namespace olm::platform
