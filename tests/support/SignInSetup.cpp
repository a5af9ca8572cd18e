// The program folder, settings file and machine facts of a sign-in test.
#include "tests/support/SignInSetup.h"

#include "app/SignIn.h"
#include "server/Schema.h"
#include "text/Windows1251.h"

#include <QDir>
#include <QFile>

namespace {

void putField(QByteArray &block, int offset, int lengthAt, const QByteArray &value)
{
    for (int i = 0; i < 20; ++i)
        block[offset + i] = i < value.size() ? char(quint8(value.at(i)) - 1) : char('#' + i);
    block[lengthAt] = char(value.size());
}

} // namespace

SignInSetup::SignInSetup(const QString &catalog) : m_scopedPlatform(platform)
{
    QDir(m_folder.path()).mkpath(QStringLiteral("Data"));
    setProgramFolder(m_folder.path());
    platform.setComputerName(QLatin1String(ComputerName));
    platform.setLocalAddress(QLatin1String(Address));
    writeSettings(QLatin1String(olm::server::bootstrapLogin), QLatin1String(olm::server::bootstrapPassword),
                  QStringLiteral("embedded"), catalog);
}

SignInSetup::~SignInSetup()
{
    setProgramFolder(QString());
}

QString SignInSetup::settingsPath() const
{
    return m_folder.filePath(QStringLiteral("Data/OLM"));
}

void SignInSetup::writeSettings(const QByteArray &bytes) const
{
    QFile file(settingsPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

void SignInSetup::writeSettings(const QString &user, const QString &password, const QString &server,
                                const QString &catalog) const
{
    // Test values are single-byte; one that is not would leave its field empty, and the sign-in fail.
    const auto bytes = [](const QString &value) { return olm::text::toWindows1251(value).value_or(QByteArray()); };
    writeSettings(settingsBlock(bytes(user), bytes(password), bytes(server), bytes(catalog)));
}

QByteArray SignInSetup::settingsBlock(const QByteArray &user, const QByteArray &password, const QByteArray &server,
                                      const QByteArray &catalog)
{
    QByteArray block(84, '\0');
    putField(block, 0, 40, user);
    putField(block, 20, 41, password);
    putField(block, 42, 82, server);
    putField(block, 62, 83, catalog);
    return block;
}

olm::server::SignInUser SignInSetup::signInUser(const QString &databasePath, const QString &login)
{
    QString error;
    const auto administration = olm::server::Administration::open(databasePath, &error);
    if (!administration)
        return {};
    const auto users = administration->users(&error);
    if (users) {
        for (const olm::server::SignInUser &user : *users) {
            if (user.login == login)
                return user;
        }
    }
    return {};
}
