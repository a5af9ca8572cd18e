// The commands of olm-admin: each returns the process exit code (0 done, 1 refused with a message on err).
#pragma once

#include <QStringList>
#include <QTextStream>

namespace olm::admin {

/// arguments without the program name, e.g. {"user", "list", "Data/olm.sqlite"}; also --help, --version,
/// --man [FILE] and help [COMMAND].
int runAdminCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The commands (listed with their help in CommandTable.cpp); arguments start after the command's word.
int runInitCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
int runUpgradeCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
int runSettingsCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
int runUserCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
int runConfigCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
int runTraceCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
int runAuditCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
int runQueryCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
/// ping SETTINGS-FILE: connects with the file's bootstrap credentials; 0 when the server let it in.
int runPingCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
/// backup DB FILE: an online copy, consistent while clients write; check DB: 0 when the file is sound.
int runBackupCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
int runCheckCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
/// restore FILE DB [--no-keep]: puts a backup in place of a database no client has open.
int runRestoreCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
/// log show DB [--row ID] [--login L] [--since DATE] [--raw]: the change log in aligned columns.
int runLogCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
/// import KIND DB FILE [--encoding E]: catalogue rows from a CSV file, all or nothing.
int runImportCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

/// Prints "olm-admin: " and the message, and gives the exit code of a failure.
int fail(QTextStream &err, const QString &message);

} // namespace olm::admin
