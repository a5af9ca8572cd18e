// olm-admin backup and check: a consistent copy of a database in use, and a check of a file's soundness.
#include "AdminCommands.h"

#include "server/Maintenance.h"

namespace olm::admin {

int runBackupCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 2)
        return fail(err, QStringLiteral("backup needs a database and a new file."));
    QString error;
    if (!server::backupDatabase(arguments.at(0), arguments.at(1), &error))
        return fail(err, error);
    out << "backed up " << arguments.at(0) << " to " << arguments.at(1) << '\n';
    return 0;
}

int runCheckCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 1)
        return fail(err, QStringLiteral("check needs one database."));
    QString error;
    const auto problems = server::checkDatabase(arguments.first(), &error);
    if (!problems)
        return fail(err, error);
    for (const QString &problem : *problems)
        out << problem << '\n';
    if (!problems->isEmpty()) {
        err << "olm-admin: " << arguments.first() << " has " << problems->size() << " problem(s).\n";
        return 1;
    }
    out << arguments.first() << " is sound\n";
    return 0;
}

} // namespace olm::admin
