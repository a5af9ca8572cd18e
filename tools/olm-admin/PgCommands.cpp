// olm-admin's user, log, audit and query commands on a PostgreSQL deployment: each calls the deployment's
// administrator functions with bound parameters and prints the columns the embedded commands print.
#include "PgAdministration.h"

#include "AdminCommands.h"

#include "CommandLine.h"
#include "TextOutput.h"

#include <QDateTime>
#include <QHash>

namespace olm::admin {

namespace {

// A statement that answers nothing the tool prints: true when the server accepted it.
bool pgCall(PgConnection &connection, const QString &statement, const QVariantList &parameters, QString *error)
{
    return connection.run(statement, parameters, error).has_value();
}

int pgUserList(PgConnection &connection, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto names = connection.run(QStringLiteral("SELECT id_group, p20 FROM \"group\""), {}, &error);
    const auto users = names ? connection.run(QStringLiteral("SELECT * FROM olm_user_list()"), {}, &error) : std::nullopt;
    if (!users)
        return fail(err, error);
    QHash<QString, QString> groupName;
    for (const QVariantList &row : names->rows)
        groupName.insert(row.at(0).toString(), row.at(1).toString().trimmed());
    QList<QStringList> rows;
    for (const QVariantList &u : users->rows) {
        const QString groups = u.at(7).toString();
        QStringList groupNames;
        for (const QString &id : groups.split(QLatin1Char(','), Qt::SkipEmptyParts))
            groupNames.append(groupName.value(id));
        // id_login, login, db_login, role, password_changed, days_left, blocked_message, groups
        rows.append({u.at(0).toString(), u.at(1).toString(), u.at(2).toString(), u.at(3).toString(), cellText(u.at(4)),
                     cellText(u.at(5)), u.at(6).isNull() ? QString() : cellText(u.at(6)), groups,
                     cellText(groupNames.join(QStringLiteral(", ")))});
    }
    printTable(out, {QStringLiteral("id"), QStringLiteral("login"), QStringLiteral("db_login"), QStringLiteral("role"),
                     QStringLiteral("password_changed"), QStringLiteral("days_left"), QStringLiteral("blocked"),
                     QStringLiteral("groups"), QStringLiteral("group_names")},
               rows);
    return 0;
}

// A GROUP word as the group's id: an id, or a name compared as the client compares it (case and trailing blanks do
// not matter); a name that fits more than one group is refused.
std::optional<int> pgFindGroup(PgConnection &connection, const QString &word, QString *error)
{
    bool isNumber = false;
    const int id = word.trimmed().toInt(&isNumber);
    const auto found = connection.run(
        QStringLiteral("SELECT id_group FROM \"group\" WHERE id_group = ? OR lower(rtrim(p20)) = lower(rtrim(?)) "
                       "ORDER BY id_group"),
        {isNumber ? QVariant(id) : pgNull(QMetaType::Int), word}, error);
    if (!found)
        return std::nullopt;
    if (found->rows.size() == 1)
        return found->rows.first().first().toInt();
    if (found->rows.isEmpty()) {
        *error = QStringLiteral("There is no group '%1'.").arg(word);
        return std::nullopt;
    }
    QStringList ids;
    for (const QVariantList &row : found->rows)
        ids.append(row.first().toString());
    *error = QStringLiteral("'%1' names more than one group (ids %2): give the id.").arg(word, ids.join(QStringLiteral(", ")));
    return std::nullopt;
}

bool pgSetGroups(PgConnection &connection, const CommandLine &line, QString *error)
{
    const QStringList words = line.words.mid(3);
    // An empty list would silently take every group away: that has to be asked for.
    if (words.isEmpty() == !line.has("--none")) {
        *error = words.isEmpty() ? QStringLiteral("user groups needs at least one GROUP, or --none to leave the user no groups.")
                                 : QStringLiteral("user groups takes GROUP... or --none, not both.");
        return false;
    }
    QStringList ids;
    for (const QString &word : words) {
        const auto id = pgFindGroup(connection, word, error);
        if (!id)
            return false;
        ids.append(QString::number(*id));
    }
    return pgCall(connection, QStringLiteral("SELECT 1 FROM olm_user_groups(?, ?)"),
                  {line.words.at(2), ids.join(QLatin1Char(','))}, error);
}

// Every value as the tool prints it.
QList<QStringList> pgCells(const QList<QVariantList> &rows)
{
    QList<QStringList> cells;
    for (const QVariantList &row : rows) {
        QStringList line;
        for (const QVariant &value : row)
            line.append(cellText(value));
        cells.append(line);
    }
    return cells;
}

// DATE of --since: YYYY-MM-DD HH:MM or YYYY-MM-DD.
std::optional<QString> pgSince(const QString &since, QString *error)
{
    const auto time = readSince(since, error);
    if (!time)
        return std::nullopt;
    return time->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

int runPgUserCommand(PgConnection &connection, const CommandLine &line, QTextStream &out, QTextStream &err)
{
    static const QStringList actions{QStringLiteral("list"),   QStringLiteral("add"),    QStringLiteral("passwd"),
                                     QStringLiteral("block"),  QStringLiteral("unblock"), QStringLiteral("groups"),
                                     QStringLiteral("role"),   QStringLiteral("expire"), QStringLiteral("remove")};
    const QString action = line.words.at(0);
    if (!actions.contains(action))
        return fail(err, QStringLiteral("user knows %1, not %2.").arg(actions.join(QStringLiteral(", ")), action));
    if (action == QLatin1String("list"))
        return line.words.size() == 2 ? pgUserList(connection, out, err) : fail(err, QStringLiteral("user list takes no login."));
    if (line.words.size() < 3)
        return fail(err, QStringLiteral("user %1 needs a login.").arg(action));
    const QString login = line.words.at(2);
    const bool single = line.words.size() == 3;
    QString error;
    bool done = false;
    if (action == QLatin1String("add") && single && line.has("--password")) {
        done = pgCall(connection, QStringLiteral("SELECT olm_user_add(?, ?, ?)"),
                      {login, line.value("--password"),
                       line.has("--read-only") ? QStringLiteral("reader") : QStringLiteral("editor")},
                      &error);
    } else if (action == QLatin1String("passwd") && single && line.has("--password")) {
        done = pgCall(connection, QStringLiteral("SELECT 1 FROM olm_user_password(?, ?)"), {login, line.value("--password")},
                      &error);
    } else if (action == QLatin1String("block") && single && line.has("--message")) {
        done = pgCall(connection, QStringLiteral("SELECT 1 FROM olm_user_block(?, ?)"), {login, line.value("--message")},
                      &error);
    } else if (action == QLatin1String("unblock") && single) {
        done = pgCall(connection, QStringLiteral("SELECT 1 FROM olm_user_unblock(?)"), {login}, &error);
    } else if (action == QLatin1String("groups")) {
        done = pgSetGroups(connection, line, &error);
    } else if (action == QLatin1String("role") && line.words.size() == 4) {
        const QString role = line.words.at(3);
        if (role != QLatin1String("editor") && role != QLatin1String("reader"))
            return fail(err, QStringLiteral("user role takes editor or reader, not '%1'.").arg(role));
        done = pgCall(connection, QStringLiteral("SELECT 1 FROM olm_user_role(?, ?)"), {login, role}, &error);
    } else if (action == QLatin1String("expire") && single) {
        done = pgCall(connection, QStringLiteral("SELECT 1 FROM olm_user_expire(?)"), {login}, &error);
    } else if (action == QLatin1String("remove") && single) {
        done = pgCall(connection, QStringLiteral("SELECT 1 FROM olm_user_remove(?)"), {login}, &error);
    } else {
        return fail(err, QStringLiteral("user %1: wrong arguments; see olm-admin help user.").arg(action));
    }
    return done ? 0 : fail(err, error);
}

// log show and audit show: the change log as stored (the columns of log show --raw) or the server's trail.
int runPgTrailCommand(PgConnection &connection, const QString &command, const CommandLine &line, QTextStream &out,
                      QTextStream &err)
{
    if (line.words.size() != 2 || line.words.at(0) != QLatin1String("show"))
        return fail(err, QStringLiteral("%1 needs show and one database.").arg(command));
    QString error;
    QVariant row = pgNull(QMetaType::Int);
    if (line.has("--row")) {
        bool ok = false;
        row = line.value("--row").toInt(&ok);
        if (!ok)
            return fail(err, QStringLiteral("'%1' is not a row id.").arg(line.value("--row")));
    }
    QVariant since = pgNull(QMetaType::QString);
    if (line.has("--since")) {
        const auto text = pgSince(line.value("--since"), &error);
        if (!text)
            return fail(err, error);
        since = *text;
    }
    const QVariant login = line.has("--login") ? QVariant(line.value("--login")) : pgNull(QMetaType::QString);
    const bool log = command == QLatin1String("log");
    // The log's columns come in the order log show --raw prints them.
    const QString statement = log
        ? QStringLiteral("SELECT id_log, log_date, \"table\", row_id, descr, olm_user, comp "
                         "FROM olm_log_read(?::integer, ?::text, ?::timestamp)")
        : QStringLiteral("SELECT * FROM olm_audit_read(?::integer, ?::text, ?::timestamp)");
    const auto entries = connection.run(statement, {row, login, since}, &error);
    if (!entries)
        return fail(err, error);
    const QStringList header = log
        ? QStringList{QStringLiteral("id"), QStringLiteral("time"), QStringLiteral("table"), QStringLiteral("row_id"),
                      QStringLiteral("descr"), QStringLiteral("user"), QStringLiteral("comp")}
        : QStringList{QStringLiteral("id"), QStringLiteral("time"), QStringLiteral("login"), QStringLiteral("action"),
                      QStringLiteral("table"), QStringLiteral("row_id"), QStringLiteral("column"), QStringLiteral("old"),
                      QStringLiteral("new")};
    printTable(out, header, pgCells(entries->rows));
    return 0;
}

int runPgQueryCommand(PgConnection &connection, const CommandLine &line, QTextStream &out, QTextStream &err)
{
    if (line.words.size() != 2)
        return fail(err, QStringLiteral("query needs one database and one statement."));
    QString error;
    const auto result = connection.run(line.words.at(1), {}, &error);
    if (!result)
        return fail(err, error);
    if (result->columns.isEmpty())
        return 0;
    printTable(out, result->columns, pgCells(result->rows));
    return 0;
}

} // namespace olm::admin
