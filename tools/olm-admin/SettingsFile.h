// The client's 84-byte bootstrap settings file (Data/OLM): four shifted Windows-1251 values with their lengths.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace olm::admin {

struct ConnectionSettings {
    QString user;
    QString password;
    QString server;
    QString catalog;
};

inline constexpr int settingsFileSize = 84;
inline constexpr int settingsFieldSize = 20;

/// The file's bytes; nothing with *error set when a value has more than 20 bytes or no Windows-1251 form.
std::optional<QByteArray> encodeSettings(const ConnectionSettings &settings, QString *error);
/// Reads the first 84 bytes as the client does (a length above 20 gives the whole field).
std::optional<ConnectionSettings> decodeSettings(const QByteArray &bytes, QString *error);

bool writeSettingsFile(const QString &path, const ConnectionSettings &settings, QString *error);
std::optional<ConnectionSettings> readSettingsFile(const QString &path, QString *error);

} // namespace olm::admin
