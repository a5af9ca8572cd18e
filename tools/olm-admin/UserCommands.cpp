// olm-admin user ...: sign-in users, their passwords, blocking and visible groups.
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
                     cellText(u.passwordChanged), QString::number(u.daysLeft), cellText(u.blockedMessage),
                     groups.join(QLatin1Char(','))});
    }
    printTable(out, {QStringLiteral("id"), QStringLiteral("login"), QStringLiteral("db_login"), QStringLiteral("role"),
                     QStringLiteral("password_changed"), QStringLiteral("days_left"), QStringLiteral("blocked"),
                     QStringLiteral("groups")},
               rows);
    return 0;
}

} // namespace

int runUserCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto line = readCommandLine(arguments, {QStringLiteral("--password"), QStringLiteral("--message")},
                                      {QStringLiteral("--read-only")}, &error);
    if (!line)
        return fail(err, error);
    if (line->words.size() < 2)
        return fail(err, QStringLiteral("user needs an action and a database."));
    const QString action = line->words.at(0);
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
        QList<int> groups;
        for (const QString &word : line->words.mid(3)) {
            bool ok = false;
            groups.append(word.toInt(&ok));
            if (!ok)
                return fail(err, QStringLiteral("'%1' is not a group id.").arg(word));
        }
        done = admin->setUserGroups(login, groups, &error);
    } else {
        return fail(err, QStringLiteral("user %1: wrong arguments; see olm-admin --help.").arg(action));
    }
    return done ? 0 : fail(err, error);
}

} // namespace olm::admin
