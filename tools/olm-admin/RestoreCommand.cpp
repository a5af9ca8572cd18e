// olm-admin restore: puts a backup back in place of a database that no client has open.
//
// restore FILE DB [--no-keep]
//   Replaces DB by the backup FILE, which must be a sound OLM database of a layout this program knows (an
//   older one is then brought up with olm-admin upgrade). Refused while any client or tool has DB open.
//   The old DB is kept as DB.before-restore unless --no-keep is given.
#include "AdminCommands.h"

#include "server/Maintenance.h"
#include "server/Schema.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace olm::admin {

int runRestoreCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption noKeep(QStringLiteral("no-keep"));
    parser.addOption(noKeep);
    if (!parser.parse(QStringList{QStringLiteral("restore")} + arguments))
        return fail(err, parser.errorText());
    const QStringList words = parser.positionalArguments();
    if (words.size() != 2)
        return fail(err, QStringLiteral("restore needs a backup file and a database."));
    const QString &backup = words.at(0);
    const QString &database = words.at(1);
    const bool keep = !parser.isSet(noKeep) && QFileInfo::exists(database);
    QString error;
    int layout = 0;
    if (!server::restoreDatabase(backup, database, keep, &error, &layout))
        return fail(err, error);
    out << "restored " << database << " from " << backup;
    if (keep)
        out << "; the old file is " << database << ".before-restore";
    out << '\n';
    if (layout < server::schemaVersion) {
        out << "its layout version " << layout << " is older than this program's (" << server::schemaVersion
            << "): run olm-admin upgrade " << database << " before clients sign in\n";
    }
    return 0;
}

} // namespace olm::admin
