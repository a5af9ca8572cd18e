// The self-update the sign-in starts when the server asks for a newer program: the new executable is
// downloaded beside this one, the update script is written and started, and the program ends.
#pragma once

#include <QByteArray>
#include <QString>

class QLabel;
class QTimer;
class QUrl;
class QWidget;

/// The download folder "tempOLM" in the program folder.
QString updateTempFolder();
/// The new executable: "OLM 16.exe" in the download folder.
QString updateDownloadPath();
/// The update script: "OLM 16.bat" in the program folder.
QString updateScriptPath();

/// The update server's host for the settings file's Data Source: the server's host without an instance
/// name or port; "localhost" for the embedded server and for this machine.
QString updateServerHost(const QString &dataSource);
/// "http://", host, "/olmprogs/OLM 16.exe".
QUrl updateSourceUrl(const QString &host);
/// The update script: ten lines in Windows-1251, each ended by CR LF.
QByteArray updateScriptBytes();

/// Downloads Url into Target (created or replaced) in blocks of 1024 bytes. True when the whole file
/// arrived with a success status; otherwise false with Target left empty, so an error page is never
/// taken for the program. EInOutError when Target cannot be created or written.
bool DownloadFile(const QUrl &Url, const QString &Target);

/// The parts of the sign-in window the update path uses.
struct TSelfUpdateWindow {
    /// Owner of the failure box.
    QWidget *owner;
    /// The version label, which shows that the update runs.
    QLabel *versionLabel;
    /// Ends the program once the script has started.
    QTimer *endTimer;
};

/// The update path, for the settings file's Data Source. A failed download shows the failure box and
/// asks the application to terminate; a successful one writes and starts the update script and starts
/// the end timer. EInOutError when the download or the script cannot be written.
void RunSelfUpdate(const TSelfUpdateWindow &window, const QString &dataSource);
