// The one seam to the operating system: machine facts, the clipboard, HTTP, the shell, sounds and
// folders. The windows ask Platform::current(); tests put a FakePlatform in its place.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class QFile;

namespace olm::platform {

/// What one blocking HTTP download did.
struct DownloadResult {
    /// The server answered (any status); false when the URL could not be opened at all.
    bool opened = false;
    /// The HTTP status of the answer; 0 when there was none.
    int httpStatus = 0;
    /// Bytes written to the target file.
    qint64 bytesReceived = 0;
    /// Reads that gave bytes; each gave at most one block.
    int blocks = 0;
    /// The first read gave nothing: the target file was left empty.
    bool firstReadEmpty = true;
    /// The target file could not be created or written; error says why.
    bool fileError = false;
    /// The body's length as the server announced it; -1 when it announced none.
    qint64 announcedBytes = -1;
    /// Network or file error text; empty when there was none.
    QString error;

    /// At least one block arrived and the file is complete.
    bool received() const { return !firstReadEmpty && !fileError; }
    /// The file holds what was asked for: a success status, no transfer error and the whole announced
    /// body. An error page, a cut-off body or a refused redirect is not the file asked for.
    bool complete() const
    {
        return received() && httpStatus >= 200 && httpStatus < 300 && error.isEmpty()
            && (announcedBytes < 0 || announcedBytes == bytesReceived);
    }
};

/// A downloaded executable to be put in place of a running one, and the script that says how.
struct ExecutableSwap {
    /// The command script that does the swap where the system's command interpreter runs it.
    QString script;
    /// The new executable.
    QString downloaded;
    /// The executable file to replace, by its real name.
    QString executable;
    /// The folder of the download, removed once the copy is done.
    QString tempFolder;
    /// The process that holds the executable; the swap waits until it has ended.
    qint64 waitForPid = 0;
};

/// What the operating system gives. The non-virtual members hold the rules; the virtual ones are
/// the raw facts a subclass supplies. May be used from any thread except the clipboard, which is
/// the user-interface thread's.
class Platform {
public:
    virtual ~Platform();

    /// The instance in use: the real system unless a test has set another.
    static Platform &current();
    /// Puts platform in place of the real system (null: back to the real system).
    static void setCurrent(Platform *platform);
    /// The real system, whatever is current.
    static Platform &system();
    /// How the real system beeps where the toolkit knows better than the platform layer (the
    /// widgets' beep); called with the MessageBeep type.
    static void setSystemBeep(std::function<void(unsigned)> beep);

    /// The computer's name as read into a buffer of bufferLength characters: the text up to the
    /// first zero character, at most bufferLength - 1 characters; empty for bufferLength < 2.
    QString computerName(int bufferLength);
    /// The local IPv4 address as dotted text: the first address the host's own name resolves to that
    /// is not a loopback address; else the first non-loopback IPv4 address of the interfaces; else
    /// "127.0.0.1". Never blocks for long.
    virtual QString localAddress();

    /// Puts bytes on the clipboard as the only format, formatName (registered by that name), after
    /// emptying it; no plain text goes along. False with *error when the clipboard cannot be opened.
    bool clipboardWrite(const QString &formatName, const QByteArray &bytes, QString *error);
    /// The clipboard's block of formatName; nullopt when there is none (or, with *error set, when the
    /// clipboard cannot be opened).
    std::optional<QByteArray> clipboardRead(const QString &formatName, QString *error);

    /// Opens the clipboard for this program; fails while another program holds it. Pair with
    /// closeClipboard, or better use ClipboardSession.
    virtual bool openClipboard(QString *error) = 0;
    virtual void closeClipboard() = 0;
    /// With the clipboard open: empties it and offers bytes under formatName only.
    virtual bool setClipboardData(const QString &formatName, const QByteArray &bytes, QString *error) = 0;
    /// With the clipboard open: the block of formatName, if offered.
    virtual std::optional<QByteArray> clipboardData(const QString &formatName) = 0;
    /// The formats the clipboard offers now.
    virtual QStringList clipboardFormats() = 0;

    /// Starts document with the shell's "open" verb in a hidden window, in the current folder.
    /// Outside Windows only an executable file is started (through /bin/sh). The result says
    /// whether it was started.
    virtual bool shellOpenHidden(const QString &document) = 0;

    /// Starts the swap, hidden, in the current folder; whether it started. Windows: the script with the
    /// shell's "open" verb. Elsewhere, where no interpreter reads the script, its equivalent runs: wait
    /// until waitForPid has ended, copy the new executable to a temporary name beside the old one with
    /// the old one's permissions and rename it over the old one (never a half-written executable), remove
    /// the temporary folder, start the executable. A failed copy leaves the old executable in place.
    virtual bool startExecutableSwap(const ExecutableSwap &swap) = 0;

    /// Downloads url into targetFile (created or replaced), reading blockSize bytes at a time, and
    /// returns when done; meanwhile windows take no user input. Gives up after timeoutMs without data.
    /// Follows redirects to HTTP(S) only.
    virtual DownloadResult httpDownload(const QUrl &url, const QString &targetFile, int blockSize = 1024,
                                        int timeoutMs = 30000) = 0;

    /// Plays the system sound of a message-box type (0xFFFFFFFF: the simple beep).
    virtual void messageBeep(unsigned type) = 0;

    /// Creates one folder; true when it exists afterwards.
    virtual bool makeFolder(const QString &path) = 0;

protected:
    /// Creates or replaces the download's target; false, with the file error in result, when it cannot.
    static bool openDownloadTarget(QFile &file, DownloadResult &result);
    /// Writes one block read from the server and counts it; false, with the file error, when the disk refuses.
    static bool writeDownloadBlock(QFile &file, const QByteArray &block, DownloadResult &result);

    /// The computer's full name, untruncated.
    virtual QString rawComputerName() = 0;
    /// The addresses the host's own name resolves to, in the resolver's order.
    virtual QList<QHostAddress> hostAddresses() = 0;
    /// The addresses of the network interfaces, in the system's order.
    virtual QList<QHostAddress> interfaceAddresses() = 0;
};

/// Registers a private clipboard format by name with the system and gives the format name to pass to the
/// clipboard calls: every program that registers the same name gets the same format, so data passes between
/// them. On Windows the registered clipboard format of that name, elsewhere a MIME type of that name.
QString registerClipboardFormat(const QString &name);

/// Replaces the current platform for a scope (tests), and restores the previous one.
class ScopedPlatform {
public:
    explicit ScopedPlatform(Platform &platform);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform &) = delete;
    ScopedPlatform &operator=(const ScopedPlatform &) = delete;

private:
    Platform *m_previous;
};

/// The clipboard held open for one read or one write; closed on every path out of the scope.
class ClipboardSession {
public:
    explicit ClipboardSession(Platform &platform = Platform::current());
    ~ClipboardSession();
    ClipboardSession(const ClipboardSession &) = delete;
    ClipboardSession &operator=(const ClipboardSession &) = delete;

    /// Whether the clipboard was opened; when not, error() says why.
    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }

private:
    Platform &m_platform;
    bool m_open = false;
    QString m_error;
};

} // namespace olm::platform
