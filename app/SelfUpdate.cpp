// The self-update: the download of the new executable, the update script and the end of the program.
#include "app/SelfUpdate.h"

#include "app/SignIn.h"
#include "platform/Platform.h"
#include "toolkit/data/Backend.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/Dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int DownloadBlockSize = 1024;

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

EInOutError notWritten(const QString &path, const QString &why)
{
    return EInOutError(QStringLiteral("Файл %1 не записывается: %2").arg(shownPath(path), why));
}

void writeUpdateScript(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw notWritten(path, file.errorString());
    const QByteArray bytes = updateScriptBytes();
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw notWritten(path, file.errorString());
}

// Leaves the file empty, as after a download that received nothing.
void emptyDownload(const QString &path)
{
    QFile file(path);
    if (!file.resize(0))
        QFile::remove(path);
}

} // namespace

QString updateTempFolder()
{
    return programFolder() + QStringLiteral("/tempOLM");
}

QString updateDownloadPath()
{
    return updateTempFolder() + QStringLiteral("/OLM 16.exe");
}

QString updateScriptPath()
{
    return programFolder() + QStringLiteral("/OLM 16.bat");
}

QString updateServerHost(const QString &dataSource)
{
    const DataSourceParts source = splitDataSource(dataSource);
    if (source.embedded || source.host.isEmpty())
        return QStringLiteral("localhost");
    return source.host;
}

QUrl updateSourceUrl(const QString &host)
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPath(QStringLiteral("/olmprogs/OLM 16.exe"));
    return url;
}

QByteArray updateScriptBytes()
{
    static const char *const lines[] = {
        R"(@ECHO OFF)",
        R"(SET OLM_PROG=OLM 16)",
        R"(SET OLM_HOME=%CD%)",
        R"(SET OLM_TEMP=%OLM_HOME%\tempOLM)",
        R"(:do_del)",
        R"(DEL /Q "%OLM_HOME%\%OLM_PROG%.exe")",
        R"(IF EXIST "%OLM_HOME%\%OLM_PROG%.exe" GOTO do_del)",
        R"(COPY "%OLM_TEMP%\%OLM_PROG%.exe" "%OLM_HOME%\%OLM_PROG%.exe")",
        R"(RD /S /Q "%OLM_TEMP%")",
        R"("%OLM_HOME%\%OLM_PROG%.exe")",
    };
    // The lines are plain ASCII: the same bytes in the single-byte code page, nothing to convert.
    QByteArray script;
    for (const char *line : lines)
        script += QByteArray(line) + "\r\n";
    return script;
}

bool DownloadFile(const QUrl &Url, const QString &Target)
{
    const olm::platform::DownloadResult result =
        olm::platform::Platform::current().httpDownload(Url, Target, DownloadBlockSize);
    if (result.fileError)
        throw notWritten(Target, result.error);
    if (result.complete())
        return true;
    if (result.bytesReceived > 0)
        emptyDownload(Target);
    return false;
}

void RunSelfUpdate(const TSelfUpdateWindow &window, const QString &dataSource)
{
    window.versionLabel->setText(QStringLiteral("Идёт обновление программы, ПОДОЖДИТЕ..."));
    window.versionLabel->adjustSize();
    if (Application)
        Application->ProcessMessages();

    olm::platform::Platform &platform = olm::platform::Platform::current();
    // An existing folder is used as it is; one that cannot be made shows up as the download's file error.
    platform.makeFolder(updateTempFolder());
    if (!DownloadFile(updateSourceUrl(updateServerHost(dataSource)), updateDownloadPath())) {
        MessageBoxA(window.owner,
                    QStringLiteral("Сервер обновлений не доступен.") + QLatin1Char('\r')
                        + QStringLiteral("Обратитесь к администратору."),
                    QStringLiteral("Уведомление"), MB_OK | MB_ICONINFORMATION);
        if (Application)
            Application->Terminate();
        return;
    }
    writeUpdateScript(updateScriptPath());
    // Whether it started is not looked at: the program ends either way.
    platform.startExecutableSwap({updateScriptPath(), updateDownloadPath(), QCoreApplication::applicationFilePath(),
                                  updateTempFolder(), QCoreApplication::applicationPid()});
    window.endTimer->start();
}
