// A platform for tests: settable machine facts, an in-memory clipboard that can be held by "another
// program", canned downloads, and a record of every beep, shell start, executable swap and folder.
#pragma once

#include "platform/Platform.h"

#include <QMap>
#include <QMutex>
#include <QThread>

namespace olm::platform {

/// Put it in place with ScopedPlatform. Thread-safe like the real one.
class FakePlatform : public Platform {
public:
    FakePlatform();

    // Answers.
    void setComputerName(const QString &name);
    /// What the host's own name resolves to (dotted texts).
    void setHostAddresses(const QStringList &addresses);
    /// The interfaces' addresses (dotted texts).
    void setInterfaceAddresses(const QStringList &addresses);
    /// Makes localAddress() answer address as is, rules bypassed (even an empty text).
    void setLocalAddress(const QString &address);
    /// Back to the rules over the host and interface addresses.
    void clearLocalAddress();
    /// Another program holds the clipboard: opening it fails.
    void setClipboardHeld(bool held);
    /// Puts a block on the clipboard as another program would (added to what is there).
    void putClipboard(const QString &formatName, const QByteArray &bytes);
    /// The next downloads answer status with body, announcing announcedBytes (default: the body's size).
    void setDownload(int httpStatus, const QByteArray &body, std::optional<qint64> announcedBytes = std::nullopt);
    /// The next downloads find no server.
    void setDownloadUnreachable();
    /// Shell starts and executable swaps report started (default) or not.
    void setShellOpenResult(bool started);
    /// Downloads go to the real system, to port on the URL's host (a test's loopback server), and
    /// executable swaps run for real: for a program that an end-to-end test runs.
    void passDownloadsAndSwapsToSystem(quint16 port);
    void setMakeFolderFails(bool fails);

    // Records.
    /// The types of every messageBeep, in order.
    QList<unsigned> beeps() const;
    QStringList shellOpened() const;
    QList<ExecutableSwap> swaps() const;
    /// Every download as "url -> target".
    QStringList downloads() const;
    QStringList foldersMade() const;
    /// How often localAddress() was asked, and the threads that asked.
    int localAddressCalls() const;
    QList<Qt::HANDLE> localAddressThreads() const;
    /// Opens and closes of the clipboard that succeeded; equal when every session was closed.
    int clipboardOpens() const;
    int clipboardCloses() const;
    bool clipboardIsOpen() const;

    QString localAddress() override;
    bool openClipboard(QString *error) override;
    void closeClipboard() override;
    bool setClipboardData(const QString &formatName, const QByteArray &bytes, QString *error) override;
    std::optional<QByteArray> clipboardData(const QString &formatName) override;
    QStringList clipboardFormats() override;
    bool shellOpenHidden(const QString &document) override;
    bool startExecutableSwap(const ExecutableSwap &swap) override;
    DownloadResult httpDownload(const QUrl &url, const QString &targetFile, int blockSize = 1024,
                                int timeoutMs = 30000) override;
    void messageBeep(unsigned type) override;
    bool makeFolder(const QString &path) override;

protected:
    QString rawComputerName() override;
    QList<QHostAddress> hostAddresses() override;
    QList<QHostAddress> interfaceAddresses() override;

private:
    mutable QMutex m_mutex;
    QString m_computerName = QStringLiteral("TESTPC");
    QList<QHostAddress> m_hostAddresses;
    QList<QHostAddress> m_interfaceAddresses;
    std::optional<QString> m_localAddress;
    bool m_clipboardHeld = false;
    bool m_clipboardOpen = false;
    QMap<QString, QByteArray> m_clipboard;
    bool m_downloadReachable = false;
    int m_downloadStatus = 0;
    QByteArray m_downloadBody;
    std::optional<qint64> m_downloadAnnounced;
    quint16 m_systemPort = 0;
    bool m_shellOpenResult = true;
    bool m_makeFolderFails = false;

    QList<unsigned> m_beeps;
    QStringList m_shellOpened;
    QList<ExecutableSwap> m_swaps;
    QStringList m_downloads;
    QStringList m_foldersMade;
    int m_localAddressCalls = 0;
    QList<Qt::HANDLE> m_localAddressThreads;
    int m_clipboardOpens = 0;
    int m_clipboardCloses = 0;
};

} // namespace olm::platform
