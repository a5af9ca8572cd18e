// The sign-in exchange: two connections, the first with the settings file's bootstrap credentials to ask
// GET_USER for the user's own, the second with those.
#include "app/SignIn.h"

#include "app/SignInHost.h"
#include "platform/Platform.h"
#include "text/SingleQuotes.h"
#include "text/Windows1251.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/Dialogs.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace {

QString &programFolderOverride()
{
    static QString folder;
    return folder;
}

// Offsets of the settings block: each value has a 20-byte field and a length byte elsewhere.
constexpr int FieldSize = 20;
constexpr int UserIdAt = 0;
constexpr int PasswordAt = 20;
constexpr int UserIdLengthAt = 40;
constexpr int PasswordLengthAt = 41;
constexpr int ServerAt = 42;
constexpr int CatalogAt = 62;
constexpr int ServerLengthAt = 82;
constexpr int CatalogLengthAt = 83;

QString blockValue(const QByteArray &block, int offset, int lengthAt)
{
    const int length = qMin(int(quint8(block.at(lengthAt))), FieldSize);
    return olm::text::fromWindows1251(ShiftChars(block.mid(offset, length)));
}

QString errorMessage(const std::exception &error)
{
    if (const auto *ours = dynamic_cast<const Exception *>(&error))
        return ours->Message;
    return QString::fromUtf8(error.what());
}

// GET_USER's answer by position; a short answer is an error of the call like any other.
enum AnswerColumn { UserNameColumn, PasswordColumn, UserIdColumn, ValidityColumn, MessageColumn, UpdateColumn };

TField &answer(const TADOQuery &query, AnswerColumn column)
{
    const QList<TField *> &fields = query.Fields();
    if (column >= fields.size())
        throw EDatabaseError(QStringLiteral("GET_USER returned %1 columns; column %2 is missing.")
                                 .arg(fields.size())
                                 .arg(int(column)));
    return *fields.at(column);
}

QString passwordChangeText()
{
    return QStringLiteral("Вы должны поменять пароль") + QLatin1Char('\r')
        + QStringLiteral("Это делается для безопастности и сохранения данных от злоумышлеников");
}

} // namespace

QString programFolder()
{
    const QString &folder = programFolderOverride();
    return folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
}

void setProgramFolder(const QString &folder)
{
    programFolderOverride() = folder;
}

QString settingsFilePath()
{
    return programFolder() + QStringLiteral("/Data/OLM");
}

TFirstConnectInfo firstConnectInfoFromBytes(const QByteArray &block)
{
    if (block.size() < SettingsFileSize)
        throw EInOutError(QStringLiteral("Блок настроек короче %2 байт: %1.")
                              .arg(block.size())
                              .arg(SettingsFileSize));
    TFirstConnectInfo info;
    info.UserId = blockValue(block, UserIdAt, UserIdLengthAt);
    info.Password = blockValue(block, PasswordAt, PasswordLengthAt);
    info.Catalog = blockValue(block, CatalogAt, CatalogLengthAt);
    info.Server = blockValue(block, ServerAt, ServerLengthAt);
    return info;
}

TFirstConnectInfo readFirstConnectInfo(const QString &path)
{
    // The user has to find the file from the message alone, so it names the file and the fault.
    const QFileInfo about(path);
    const QString shown = QDir::toNativeSeparators(about.absoluteFilePath());
    const auto unreadable = [&shown](const QString &why) {
        return EInOutError(QStringLiteral("Файл настроек %1 не читается: %2").arg(shown, why));
    };
    if (!about.exists())
        throw EInOutError(QStringLiteral("Файл настроек %1 не найден.").arg(shown));
    if (about.isDir())
        throw unreadable(QStringLiteral("это папка."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw unreadable(file.errorString());
    const QByteArray block = file.read(SettingsFileSize);
    if (file.error() != QFileDevice::NoError)
        throw unreadable(file.errorString());
    if (block.size() < SettingsFileSize)
        throw EInOutError(QStringLiteral("Файл настроек %1 испорчен: в нём %2 байт вместо %3.")
                              .arg(shown)
                              .arg(block.size())
                              .arg(SettingsFileSize));
    return firstConnectInfoFromBytes(block);
}

QByteArray ShiftChars(const QByteArray &text)
{
    QByteArray restored = text;
    for (char &c : restored)
        c = char(quint8(c) + 1);
    return restored;
}

QString ShiftChars(const QString &text)
{
    const auto bytes = olm::text::toWindows1251(text);
    if (!bytes)
        throw EConvertError(olm::text::outsideWindows1251Message(QStringLiteral("Ответ сервера"),
                                                                 olm::text::firstCharacterOutsideWindows1251(text)));
    return olm::text::fromWindows1251(ShiftChars(*bytes));
}

QString DigestHex(const QString &text)
{
    // The character itself is not named: it is part of a password.
    const auto bytes = olm::text::toWindows1251(text);
    if (!bytes)
        throw EConvertError(olm::text::outsideWindows1251Message(QStringLiteral("Пароль")));
    return QString::fromLatin1(QCryptographicHash::hash(*bytes, QCryptographicHash::Md5).toHex().toUpper());
}

QString connectionStringOf(const TFirstConnectInfo &info)
{
    return clientConnectionString(info.UserId, info.Password, info.Catalog, info.Server);
}

QString newPasswordArgument(const QString &newPassword)
{
    if (newPassword == QLatin1String("NULL"))
        return QStringLiteral("NULL");
    return QLatin1Char('\'') + DigestHex(newPassword) + QLatin1Char('\'');
}

QString getUserStatement(const QString &login, const QString &passwordDigest, const QString &newPasswordArgument,
                         const QString &address, const QString &computerName)
{
    using olm::text::doubleSingleQuotes;
    const QString quotedLogin = doubleSingleQuotes(login);
    return QStringLiteral("EXEC GET_USER '") + quotedLogin + QStringLiteral("',") + QStringLiteral("'")
        + passwordDigest + QStringLiteral("',") + newPasswordArgument + QStringLiteral(", ")
        + QStringLiteral("'OLM 16") + QStringLiteral("'") + QStringLiteral(", '") + doubleSingleQuotes(address)
        + QStringLiteral("', ") + QStringLiteral("'") + doubleSingleQuotes(computerName) + QStringLiteral("'")
        + QStringLiteral(", '") + quotedLogin + QStringLiteral("',") + QStringLiteral("'0',") + QStringLiteral("'")
        + QString::number(newPasswordArgument.size()) + QStringLiteral("'");
}

bool SignIn(TADOConnection *Connection, const QString &NewPassword, TSignInWindow &window, TSignInHost &host)
{
    TFirstConnectInfo info = readFirstConnectInfo(settingsFilePath());
    // Both digests before any connection is tried: a password the code page cannot carry is refused here.
    QString passwordDigest;
    QString argument3;
    try {
        passwordDigest = DigestHex(window.passwordText());
        argument3 = newPasswordArgument(NewPassword);
    } catch (const EConvertError &error) {
        window.setStatusText(error.Message);
        return false;
    }

    Connection->Close();
    Connection->setConnectionString(connectionStringOf(info));
    try {
        Connection->Open();
    } catch (const std::exception &error) {
        // GET_USER below fails in turn and reports it; the label must not give the bootstrap login away.
        QString text = errorMessage(error);
        if (!info.UserId.isEmpty())
            text.remove(info.UserId, Qt::CaseSensitive);
        window.setStatusText(text);
    }

    olm::platform::Platform &platform = olm::platform::Platform::current();
    const QString computerName = platform.computerName(256);
    const QString address = window.localAddress();
    const QString statement =
        getUserStatement(window.loginText(), passwordDigest, argument3, address, computerName);

    std::unique_ptr<TADOQuery> query;
    QString message;
    try {
        query = std::make_unique<TADOQuery>();
        query->setConnection(Connection);
        query->setSQLText(statement);
        query->Open();

        message = answer(*query, MessageColumn).AsString();
        if (answer(*query, UpdateColumn).AsInteger() >= 3) {
            window.runSelfUpdate(info.Server);
            return false;
        }
        if (!message.isEmpty()) {
            // The bootstrap connection stays open; the next attempt closes it.
            window.setStatusText(message);
            return false;
        }
        const int validity = answer(*query, ValidityColumn).AsInteger();
        if (validity < 0) {
            Connection->Close();
            window.setStatusText(passwordChangeText());
            window.clickChangeToggle();
            window.disableChangeToggle();
            query.reset();
            return false;
        }
        if (window.attemptCount() == 1 && !answer(*query, UserNameColumn).AsString().isEmpty() && validity < 20) {
            Connection->Close();
            window.setStatusText(passwordChangeText());
            window.clickChangeToggle();
            query.reset();
            return false;
        }
        info.UserId = ShiftChars(answer(*query, UserNameColumn).AsString());
        info.Password = ShiftChars(answer(*query, PasswordColumn).AsString());
        host.setLoginId(answer(*query, UserIdColumn).AsInteger());
        query.reset();
        Connection->Close();
    } catch (const std::exception &error) {
        ShowMessage(errorMessage(error));
        window.setStatusText(QStringLiteral("Неверно ввели логин или пароль."));
        query.reset();
        Connection->Close();
        return false;
    }

    try {
        Connection->setConnectionString(connectionStringOf(info));
        Connection->Open();
        if (Application)
            Application->setShowMainForm(true);
        host.setLoginName(window.loginText());
        window.LoadLists();
    } catch (const std::exception &error) {
        window.setStatusText(message);
        Connection->Close();
        // The label is cleared on this path, so the server's own words are the only explanation left.
        if (Application)
            Application->HandleException(error);
        return false;
    }
    return true;
}
