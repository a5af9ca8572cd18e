// The statement trace.
#include "Trace.h"

#include "Clock.h"
#include "Config.h"
#include "DateText.h"
#include "Query.h"

#include <QRegularExpression>

namespace olm::server {

bool traceEnabled(sqlite3 *db)
{
    return configValue(db, traceKey) == QLatin1String("1");
}

QString withoutDigests(const QString &statement)
{
    static const QRegularExpression digestRun(QStringLiteral(R"((?<![0-9A-Fa-f])[0-9A-Fa-f]{32}(?![0-9A-Fa-f]))"));
    return QString(statement).replace(digestRun, QStringLiteral("********"));
}

QString receivedTraceText(const QString &statement)
{
    // A literal runs to its closing quote, doubled quotes inside; an unclosed one to the end of the text.
    static const QRegularExpression literal(QStringLiteral(R"('(?:[^']|'')*(?:'|$))"));
    static const QRegularExpression signIn(QStringLiteral("get_user"), QRegularExpression::CaseInsensitiveOption);
    return statement.contains(signIn) ? QString(statement).replace(literal, QStringLiteral("'********'")) : statement;
}

void recordTrace(sqlite3 *db, const QString &login, const QString &statement)
{
    // Runs of 32 hexadecimal digits are masked wherever they come: a password digest signs in by itself.
    // A trace that cannot be written (a locked file) must not stop the statement itself.
    Query query(db, QStringLiteral("INSERT INTO srv_trace (trace_date, login, statement) VALUES (?, ?, ?)"));
    if (query.bind({storedDateTime(serverNow()), login, withoutDigests(statement)}))
        query.exec();
}

} // namespace olm::server
