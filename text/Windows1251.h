// The one Windows-1251 codec of the client and the embedded server: everything kept or sent as single bytes
// (the settings file, password digests, shifted credentials, the row clipboard block) goes through it.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace olm::text {

/// The text's Windows-1251 bytes, one a character; nothing when a character has no byte in the code page.
/// Nothing is ever replaced by a stand-in character.
std::optional<QByteArray> toWindows1251(const QString &text);
/// Windows-1251 bytes as text; every byte gives one character (0x98, unassigned, gives U+0098).
QString fromWindows1251(const QByteArray &bytes);

/// The first character of text (a surrogate pair counts as one) that has no Windows-1251 byte; empty when
/// every character has one.
QString firstCharacterOutsideWindows1251(const QString &text);

/// What the user is told when a text that must be single-byte holds a character outside the code page.
/// what names the text ("Пароль"); character is named in the message unless it is empty (a secret).
QString outsideWindows1251Message(const QString &what, const QString &character = {});

} // namespace olm::text
