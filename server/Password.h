// Password digests and verifiers, the shifted credential form, and generated database passwords.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace olm::server {

/// What the client sends for a typed password: MD5 of its Windows-1251 bytes, 32 upper-case hex digits.
std::optional<QString> passwordDigest(const QString &password);
/// True for 32 hex digits (either case).
bool isDigestText(const QString &text);

/// A salted PBKDF2 verifier of a digest; only the verifier is ever stored.
QString makeVerifier(const QString &digest);
bool verifierMatches(const QString &verifier, const QString &digest);

/// Every byte lowered by one (mod 256): the form credentials travel in.
QByteArray shiftBytesDown(const QByteArray &bytes);
QByteArray shiftBytesUp(const QByteArray &bytes);
/// The same on the text's Windows-1251 bytes; nothing when a character has no such byte.
std::optional<QString> shiftDown(const QString &text);

/// Letters and digits only, so the value is safe inside a connection string.
QString randomPassword(int length = 16);

/// Compares without an early exit, so the time taken tells nothing about the stored value.
bool sameText(const QString &a, const QString &b);

} // namespace olm::server
