// The sign-in exchange: the local settings file, the bootstrap connection, the GET_USER call, the
// reconnection with the user's own credentials and the password change that travels with it.
#pragma once

#include <QByteArray>
#include <QString>

class TADOConnection;
class TSignInHost;

/// The connection values in effect during one sign-in.
struct TFirstConnectInfo {
    QString UserId;
    QString Password;
    QString Catalog;
    QString Server;
};

/// The folder of the executable, unless a test has put another in its place (empty: back to it).
QString programFolder();
void setProgramFolder(const QString &folder);
/// The settings file: "Data/OLM" in the program folder.
QString settingsFilePath();

/// Size of the settings file's block; bytes after it are ignored.
inline constexpr int SettingsFileSize = 84;

/// The four values of a settings block of at least SettingsFileSize bytes, restored.
TFirstConnectInfo firstConnectInfoFromBytes(const QByteArray &block);
/// Reads the settings file; EInOutError naming the file when it is missing, unreadable or short.
TFirstConnectInfo readFirstConnectInfo(const QString &path);

/// Restores shifted text: every character code raised by one, modulo 256.
QByteArray ShiftChars(const QByteArray &text);
/// The same over the single-byte code page; EConvertError for a character the code page lacks.
QString ShiftChars(const QString &text);
/// MD5 of the text's single-byte characters as 32 upper-case hexadecimal digits; EConvertError for a
/// character the code page lacks, which is never digested as some other character.
QString DigestHex(const QString &text);

/// The connection string of the values, piece by piece in the provider's order.
QString connectionStringOf(const TFirstConnectInfo &info);
/// GET_USER's third argument: the bare NULL for "NULL", else the new password's digest in quotes.
QString newPasswordArgument(const QString &newPassword);
/// The whole GET_USER statement; login and computer name go in with their quotes doubled.
QString getUserStatement(const QString &login, const QString &passwordDigest, const QString &newPasswordArgument,
                         const QString &address, const QString &computerName);

/// What the exchange reads from and does to the window that runs it.
class TSignInWindow {
public:
    virtual ~TSignInWindow() = default;
    /// Uses of the sign-in button, this one included.
    virtual quint8 attemptCount() const = 0;
    virtual QString loginText() const = 0;
    virtual QString passwordText() const = 0;
    /// The workstation's local address as the window's address watcher last looked it up; asking
    /// must not wait for a lookup in the middle of the exchange.
    virtual QString localAddress() = 0;
    /// The status label.
    virtual void setStatusText(const QString &text) = 0;
    /// Flips the password-change area as a click on its toggle would.
    virtual void clickChangeToggle() = 0;
    virtual void disableChangeToggle() = 0;
    /// Opens the data module's lists; any failure propagates.
    virtual void LoadLists() = 0;
    /// The server asked for a newer program; dataSource (the settings file's) tells where to find it.
    virtual void runSelfUpdate(const QString &dataSource) = 0;
};

/// One sign-in on Connection; NewPassword is "NULL" or the new password. True only when the user is
/// signed in with the returned credentials and the lists are loaded. A settings file that cannot be
/// read raises EInOutError before any connection is tried.
bool SignIn(TADOConnection *Connection, const QString &NewPassword, TSignInWindow &window, TSignInHost &host);
