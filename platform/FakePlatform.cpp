// The test platform: answers from its setters, records of what was asked.
#include "platform/FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace olm::platform {

namespace {

QList<QHostAddress> toAddresses(const QStringList &texts)
{
    QList<QHostAddress> addresses;
    for (const QString &text : texts)
        addresses.append(QHostAddress(text));
    return addresses;
}

} // namespace

FakePlatform::FakePlatform() = default;

void FakePlatform::setComputerName(const QString &name)
{
    const QMutexLocker lock(&m_mutex);
    m_computerName = name;
}

void FakePlatform::setHostAddresses(const QStringList &addresses)
{
    const QMutexLocker lock(&m_mutex);
    m_hostAddresses = toAddresses(addresses);
}

void FakePlatform::setInterfaceAddresses(const QStringList &addresses)
{
    const QMutexLocker lock(&m_mutex);
    m_interfaceAddresses = toAddresses(addresses);
}

void FakePlatform::setLocalAddress(const QString &address)
{
    const QMutexLocker lock(&m_mutex);
    m_localAddress = address;
}

void FakePlatform::clearLocalAddress()
{
    const QMutexLocker lock(&m_mutex);
    m_localAddress.reset();
}

void FakePlatform::setClipboardHeld(bool held)
{
    const QMutexLocker lock(&m_mutex);
    m_clipboardHeld = held;
}

void FakePlatform::putClipboard(const QString &formatName, const QByteArray &bytes)
{
    const QMutexLocker lock(&m_mutex);
    m_clipboard.insert(formatName, bytes);
}

void FakePlatform::setDownload(int httpStatus, const QByteArray &body, std::optional<qint64> announcedBytes)
{
    const QMutexLocker lock(&m_mutex);
    m_downloadReachable = true;
    m_downloadStatus = httpStatus;
    m_downloadBody = body;
    m_downloadAnnounced = announcedBytes;
}

void FakePlatform::setDownloadUnreachable()
{
    const QMutexLocker lock(&m_mutex);
    m_downloadReachable = false;
    m_downloadStatus = 0;
    m_downloadBody.clear();
}

void FakePlatform::setShellOpenResult(bool started)
{
    const QMutexLocker lock(&m_mutex);
    m_shellOpenResult = started;
}

void FakePlatform::passDownloadsAndSwapsToSystem(quint16 port)
{
    const QMutexLocker lock(&m_mutex);
    m_systemPort = port;
}

void FakePlatform::setMakeFolderFails(bool fails)
{
    const QMutexLocker lock(&m_mutex);
    m_makeFolderFails = fails;
}

QList<unsigned> FakePlatform::beeps() const
{
    const QMutexLocker lock(&m_mutex);
    return m_beeps;
}

QStringList FakePlatform::shellOpened() const
{
    const QMutexLocker lock(&m_mutex);
    return m_shellOpened;
}

QList<ExecutableSwap> FakePlatform::swaps() const
{
    const QMutexLocker lock(&m_mutex);
    return m_swaps;
}

QStringList FakePlatform::downloads() const
{
    const QMutexLocker lock(&m_mutex);
    return m_downloads;
}

QStringList FakePlatform::foldersMade() const
{
    const QMutexLocker lock(&m_mutex);
    return m_foldersMade;
}

int FakePlatform::localAddressCalls() const
{
    const QMutexLocker lock(&m_mutex);
    return m_localAddressCalls;
}

QList<Qt::HANDLE> FakePlatform::localAddressThreads() const
{
    const QMutexLocker lock(&m_mutex);
    return m_localAddressThreads;
}

int FakePlatform::clipboardOpens() const
{
    const QMutexLocker lock(&m_mutex);
    return m_clipboardOpens;
}

int FakePlatform::clipboardCloses() const
{
    const QMutexLocker lock(&m_mutex);
    return m_clipboardCloses;
}

bool FakePlatform::clipboardIsOpen() const
{
    const QMutexLocker lock(&m_mutex);
    return m_clipboardOpen;
}

QString FakePlatform::localAddress()
{
    {
        const QMutexLocker lock(&m_mutex);
        ++m_localAddressCalls;
        m_localAddressThreads.append(QThread::currentThreadId());
        if (m_localAddress)
            return *m_localAddress;
    }
    return Platform::localAddress();
}

bool FakePlatform::openClipboard(QString *error)
{
    const QMutexLocker lock(&m_mutex);
    if (m_clipboardHeld || m_clipboardOpen) {
        if (error)
            *error = QStringLiteral("Cannot open clipboard: it is held by another program.");
        return false;
    }
    m_clipboardOpen = true;
    ++m_clipboardOpens;
    return true;
}

void FakePlatform::closeClipboard()
{
    const QMutexLocker lock(&m_mutex);
    m_clipboardOpen = false;
    ++m_clipboardCloses;
}

bool FakePlatform::setClipboardData(const QString &formatName, const QByteArray &bytes, QString *error)
{
    const QMutexLocker lock(&m_mutex);
    if (!m_clipboardOpen) {
        if (error)
            *error = QStringLiteral("Cannot write the clipboard: it is not open.");
        return false;
    }
    m_clipboard.clear();
    m_clipboard.insert(formatName, bytes);
    return true;
}

std::optional<QByteArray> FakePlatform::clipboardData(const QString &formatName)
{
    const QMutexLocker lock(&m_mutex);
    if (!m_clipboardOpen || !m_clipboard.contains(formatName))
        return std::nullopt;
    return m_clipboard.value(formatName);
}

QStringList FakePlatform::clipboardFormats()
{
    const QMutexLocker lock(&m_mutex);
    return m_clipboard.keys();
}

bool FakePlatform::shellOpenHidden(const QString &document)
{
    const QMutexLocker lock(&m_mutex);
    m_shellOpened.append(document);
    return m_shellOpenResult;
}

bool FakePlatform::startExecutableSwap(const ExecutableSwap &swap)
{
    QMutexLocker lock(&m_mutex);
    m_swaps.append(swap);
    if (m_systemPort == 0)
        return m_shellOpenResult;
    lock.unlock();
    return Platform::system().startExecutableSwap(swap);
}

DownloadResult FakePlatform::httpDownload(const QUrl &url, const QString &targetFile, int blockSize, int timeoutMs)
{
    QMutexLocker lock(&m_mutex);
    m_downloads.append(url.toString() + QLatin1String(" -> ") + targetFile);
    if (m_systemPort != 0) {
        QUrl local = url;
        local.setPort(m_systemPort);
        lock.unlock();
        return Platform::system().httpDownload(local, targetFile, blockSize, timeoutMs);
    }

    DownloadResult result;
    QFile file(targetFile);
    if (!openDownloadTarget(file, result))
        return result;
    if (!m_downloadReachable) {
        result.error = QStringLiteral("Connection refused");
        return result;
    }
    result.opened = true;
    result.httpStatus = m_downloadStatus;
    result.announcedBytes = m_downloadAnnounced.value_or(m_downloadBody.size());
    for (qsizetype offset = 0; offset < m_downloadBody.size() && !result.fileError; offset += blockSize)
        writeDownloadBlock(file, m_downloadBody.mid(offset, blockSize), result);
    return result;
}

void FakePlatform::messageBeep(unsigned type)
{
    const QMutexLocker lock(&m_mutex);
    m_beeps.append(type);
}

bool FakePlatform::makeFolder(const QString &path)
{
    const QMutexLocker lock(&m_mutex);
    m_foldersMade.append(path);
    if (m_makeFolderFails)
        return false;
    return QDir().mkdir(path) || QFileInfo(path).isDir();
}

QString FakePlatform::rawComputerName()
{
    const QMutexLocker lock(&m_mutex);
    return m_computerName;
}

QList<QHostAddress> FakePlatform::hostAddresses()
{
    const QMutexLocker lock(&m_mutex);
    return m_hostAddresses;
}

QList<QHostAddress> FakePlatform::interfaceAddresses()
{
    const QMutexLocker lock(&m_mutex);
    return m_interfaceAddresses;
}

} // namespace olm::platform
