// Reading and writing the bootstrap settings file.
#include "SettingsFile.h"

#include "server/Password.h"
#include "text/Windows1251.h"

#include <QFile>
#include <QSaveFile>

namespace olm::admin {

namespace {
constexpr int userOffset = 0, passwordOffset = 20, userLength = 40, passwordLength = 41;
constexpr int serverOffset = 42, catalogOffset = 62, serverLength = 82, catalogLength = 83;

bool put(QByteArray &file, int offset, int lengthAt, const char *what, const QString &value, QString *error)
{
    const auto bytes = olm::text::toWindows1251(value);
    if (!bytes) {
        *error = QStringLiteral("The %1 has characters that Windows-1251 cannot hold.").arg(QLatin1String(what));
        return false;
    }
    if (bytes->size() > settingsFieldSize) {
        *error = QStringLiteral("The %1 is %2 bytes long; the settings file holds at most 20.")
                     .arg(QLatin1String(what))
                     .arg(bytes->size());
        return false;
    }
    file.replace(offset, bytes->size(), server::shiftBytesDown(*bytes));
    file[lengthAt] = char(bytes->size());
    return true;
}

QString take(const QByteArray &file, int offset, int lengthAt)
{
    const int length = qMin(int(quint8(file.at(lengthAt))), settingsFieldSize);
    return olm::text::fromWindows1251(server::shiftBytesUp(file.mid(offset, length)));
}
} // namespace

std::optional<QByteArray> encodeSettings(const ConnectionSettings &settings, QString *error)
{
    QByteArray file(settingsFileSize, '\0');
    if (put(file, userOffset, userLength, "user", settings.user, error)
        && put(file, passwordOffset, passwordLength, "password", settings.password, error)
        && put(file, serverOffset, serverLength, "server", settings.server, error)
        && put(file, catalogOffset, catalogLength, "catalog", settings.catalog, error))
        return file;
    return std::nullopt;
}

std::optional<ConnectionSettings> decodeSettings(const QByteArray &bytes, QString *error)
{
    if (bytes.size() < settingsFileSize) {
        *error = QStringLiteral("The settings file has %1 bytes; it needs %2.").arg(bytes.size()).arg(settingsFileSize);
        return std::nullopt;
    }
    return ConnectionSettings{take(bytes, userOffset, userLength), take(bytes, passwordOffset, passwordLength),
                              take(bytes, serverOffset, serverLength), take(bytes, catalogOffset, catalogLength)};
}

bool writeSettingsFile(const QString &path, const ConnectionSettings &settings, QString *error)
{
    const auto bytes = encodeSettings(settings, error);
    if (!bytes)
        return false;
    QSaveFile file(path);
    // The file holds the bootstrap login's password: its owner alone may read it.
    if (file.open(QIODevice::WriteOnly) && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        && file.write(*bytes) == bytes->size() && file.commit())
        return true;
    *error = QStringLiteral("Cannot write '%1': %2").arg(path, file.errorString());
    return false;
}

std::optional<ConnectionSettings> readSettingsFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read '%1': %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return decodeSettings(file.read(settingsFileSize), error);
}

} // namespace olm::admin
