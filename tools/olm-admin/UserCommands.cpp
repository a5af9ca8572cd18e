// olm-admin user ...: sign-in users, their passwords, roles, blocking, visible groups and removal.
#include "AdminCommands.h"

#include "CommandLine.h"
#include "TextOutput.h"

#include "server/Database.h"

namespace olm::admin {

namespace {

int list(server::Administration &admin, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto users = admin.users(&error);
    if (!users)
        return fail(err, error);
    QList<QStringList> rows;
    for (const server::SignInUser &u : *users) {
        QStringList groups;
        for (const int group : u.groups)
            groups.append(QString::number(group));
        rows.append({QString::number(u.id), u.login, u.databaseLogin,
                     u.role == server::Role::Editor ? QStringLiteral("editor") : QStringLiteral("reader"),
                     u.passwordChanged.isValid() ? cellText(u.passwordChanged) : QStringLiteral("NULL"),
                     QString::number(u.daysLeft), cellText(u.blockedMessage), groups.join(QLatin1Char(',')),
                     cellText(u.groupNames.join(QStringLiteral(", ")))});
    }
    printTable(out, {QStringLiteral("id"), QStringLiteral("login"), QStringLiteral("db_login"), QStringLiteral("role"),
                     QStringLiteral("password_changed"), QStringLiteral("days_left"), QStringLiteral("blocked"),
                     QStringLiteral("groups"), QStringLiteral("group_names")},
               rows);
    return 0;
}

// GROUP words as ids: each is an id or a name; the first that fits no group, or more than one, is refused.
std::optional<QList<int>> groupIds(server::Administration &admin, const QStringList &words, QString *error)
{
    QList<int> ids;
    for (const QString &word : words) {
        const auto id = admin.findGroup(word, error);
        if (!id)
            return std::nullopt;
        ids.append(*id);
    }
    return ids;
}

bool setGroups(server::Administration &admin, const CommandLine &line, QString *error)
{
    const QStringList words = line.words.mid(3);
    // An empty list would silently take every group away: that has to be asked for.
    if (words.isEmpty() == !line.has("--none")) {
        *error = words.isEmpty() ? QStringLiteral("user groups needs at least one GROUP, or --none to leave the user no groups.")
                                 : QStringLiteral("user groups takes GROUP... or --none, not both.");
        return false;
    }
    const auto ids = groupIds(admin, words, error);
    return ids && admin.setUserGroups(line.words.at(2), *ids, error);
}

bool setRole(server::Administration &admin, const CommandLine &line, QString *error)
{
    const QString role = line.words.value(3);
    if (role != QLatin1String("editor") && role != QLatin1String("reader")) {
        *error = QStringLiteral("user role takes editor or reader, not '%1'.").arg(role);
        return false;
    }
    return admin.setUserRole(line.words.at(2),
                             role == QLatin1String("editor") ? server::Role::Editor : server::Role::Reader, error);
}

} // namespace

int runUserCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto line = readCommandLine(arguments, {QStringLiteral("--password"), QStringLiteral("--message")},
                                      {QStringLiteral("--read-only"), QStringLiteral("--none")}, &error);
    if (!line)
        return fail(err, error);
    if (line->words.size() < 2)
        return fail(err, QStringLiteral("user needs an action and a database; see olm-admin help user."));
    const QString action = line->words.at(0);
    static const QStringList actions{QStringLiteral("list"),   QStringLiteral("add"),    QStringLiteral("passwd"),
                                     QStringLiteral("block"),  QStringLiteral("unblock"), QStringLiteral("groups"),
                                     QStringLiteral("role"),   QStringLiteral("expire"), QStringLiteral("remove")};
    if (!actions.contains(action))
        return fail(err, QStringLiteral("user knows %1, not %2.").arg(actions.join(QStringLiteral(", ")), action));
    auto admin = server::Administration::open(line->words.at(1), &error);
    if (!admin)
        return fail(err, error);
    if (action == QLatin1String("list"))
        return line->words.size() == 2 ? list(*admin, out, err) : fail(err, QStringLiteral("user list takes no login."));
    if (line->words.size() < 3)
        return fail(err, QStringLiteral("user %1 needs a login.").arg(action));
    const QString login = line->words.at(2);
    const bool single = line->words.size() == 3;
    bool done = false;
    if (action == QLatin1String("add") && single && line->has("--password")) {
        done = admin->addUser(login, line->value("--password"),
                              line->has("--read-only") ? server::Role::Reader : server::Role::Editor, &error);
    } else if (action == QLatin1String("passwd") && single && line->has("--password")) {
        done = admin->setPassword(login, line->value("--password"), &error);
    } else if (action == QLatin1String("block") && single && line->has("--message")) {
        done = admin->blockUser(login, line->value("--message"), &error);
    } else if (action == QLatin1String("unblock") && single) {
        done = admin->unblockUser(login, &error);
    } else if (action == QLatin1String("groups")) {
        done = setGroups(*admin, *line, &error);
    } else if (action == QLatin1String("role") && line->words.size() == 4) {
        done = setRole(*admin, *line, &error);
    } else if (action == QLatin1String("expire") && single) {
        done = admin->expirePassword(login, &error);
    } else if (action == QLatin1String("remove") && single) {
        done = admin->removeUser(login, &error);
    } else {
        return fail(err, QStringLiteral("user %1: wrong arguments; see olm-admin help user.").arg(action));
    }
    return done ? 0 : fail(err, error);
}

} // namespace olm::admin
