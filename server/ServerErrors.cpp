// Rewording of SQLite failures.
#include "ServerErrors.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace olm::server {

namespace {
QString withoutSchema(QString name)
{
    if (name.startsWith(QLatin1String("main.")))
        name.remove(0, 5);
    return name;
}
} // namespace

QString serverErrorText(int resultCode, const QString &message, const QString &database)
{
    switch (resultCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("The database '%1' is locked by another session; nothing was changed. Try again.")
            .arg(database);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return QStringLiteral("The database '%1' is damaged or is not a database.").arg(database);
    case SQLITE_READONLY:
        return QStringLiteral("The database '%1' is read-only; nothing was changed.").arg(database);
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_FULL:
        return QStringLiteral("The database '%1' cannot be read or written: %2").arg(database, message);
    default:
        break;
    }
    struct Rule {
        const char *pattern;
        const char *text;
    };
    static const Rule rules[] = {
        {R"re(^no such table: (.+)$)re", "Invalid object name '%1'."},
        {R"re(^no such view: (.+)$)re", "Invalid object name '%1'."},
        {R"re(^no such column: (?:.*\.)?(.+)$)re", "Invalid column name '%1'."},
        {R"re(^ambiguous column name: (?:.*\.)?(.+)$)re", "Ambiguous column name '%1'."},
        {R"re(^table (.+) has no column named (.+)$)re", "Invalid column name '%2'."},
        {R"re(^near "(.*)": syntax error$)re", "Incorrect syntax near '%1'."},
        {R"re(^incomplete input$)re", "Incorrect syntax near the end of the statement."},
        {R"re(^no such function: (.+)$)re", "'%1' is not a recognized built-in function name."},
        {R"re(^CHECK constraint failed: int_(.+)$)re", "Conversion failed when converting a value to data type int (column '%1')."},
        {R"re(^CHECK constraint failed: bit_(.+)$)re", "Conversion failed when converting a value to data type bit (column '%1')."},
        {R"re(^CHECK constraint failed: date_(.+)$)re", "Conversion failed when converting date and/or time from character string."},
        {R"re(^CHECK constraint failed: len_(.+)$)re", "String or binary data would be truncated in column '%1'."},
        {R"(^UNIQUE constraint failed: ([^.,]+)\.)",
         "Violation of PRIMARY KEY constraint. Cannot insert duplicate key in object 'dbo.%1'."},
        {R"(^NOT NULL constraint failed: ([^.]+)\.(.+)$)",
         "Cannot insert the value NULL into column '%2', table 'dbo.%1'; column does not allow nulls."},
    };
    for (const Rule &rule : rules) {
        const QRegularExpression re(QString::fromLatin1(rule.pattern));
        const auto m = re.match(message);
        if (!m.hasMatch())
            continue;
        QString text = QString::fromLatin1(rule.text);
        for (int i = 1; i <= m.lastCapturedIndex(); ++i)
            text.replace(QStringLiteral("%%1").arg(i), withoutSchema(m.captured(i)));
        return text;
    }
    return message;
}

} // namespace olm::server
