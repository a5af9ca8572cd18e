// The single-byte code page (Windows-1251) of the settings file, the password digest, the clipboard
// block and the update script.
#pragma once

#include <QByteArray>
#include <QString>

namespace olm::platform {

/// The text in Windows-1251; a character the code page lacks becomes '?'.
QByteArray toAnsi(const QString &text);
/// Windows-1251 bytes as text; every byte gives one character (0x98, unassigned, gives U+0098).
QString fromAnsi(const QByteArray &bytes);

} // namespace olm::platform
