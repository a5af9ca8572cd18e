// olm-admin's help, printed from the command table: the overview, one command's help, and the manual page.
#pragma once

#include "CommandTable.h"

namespace olm::admin {

/// The options before any command: --help, --version, --man.
const QList<CommandOption> &generalOptions();
/// What the tool is for, in paragraphs.
QStringList toolDescription();

/// The forms of every call, one a line, after "usage:".
QString usageText();
/// usageText, the options and a line a command (olm-admin --help).
QString overallHelp();
/// The command's forms, description and options (olm-admin help COMMAND).
QString commandHelp(const AdminCommand &command);
/// The manual page olm-admin(1) in roff, for version.
QString manPage(const QString &version);

} // namespace olm::admin
