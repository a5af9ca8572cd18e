// The client's statement texts as written in its sources, for the tests that check them against a server's
// scripts or translate them for one.
#pragma once

#include <QList>
#include <QString>

struct ClientText {
    QString file; ///< relative to the source tree
    QString text;
};

/// Every string literal in app/, data/ and journal/ that starts like a statement (SELECT, INSERT, UPDATE,
/// DELETE, EXEC, SET); a literal may be the first piece of a text the client completes with values.
QList<ClientText> clientStatementTexts(const QString &sourceDir);
