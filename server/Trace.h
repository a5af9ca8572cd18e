// The statement trace: when the database's switch is on, every statement text a session receives is
// stored with its time and login.
#pragma once

#include <QString>

struct sqlite3;

namespace olm::server {

/// Both need owner rights (an elevated authorizer) on a client session.
bool traceEnabled(sqlite3 *db);
/// The text with every run of 32 hexadecimal digits masked: a password digest signs in by itself.
QString withoutDigests(const QString &statement);
/// Stores the statement with every password digest masked.
void recordTrace(sqlite3 *db, const QString &login, const QString &statement);
/// A statement text as received, made fit for the trace: in any text naming GET_USER that the server could not
/// take apart (malformed, unknown), every quoted literal is masked, since a digest is itself a credential.
QString receivedTraceText(const QString &statement);

} // namespace olm::server
