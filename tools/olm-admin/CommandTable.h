// The one list of olm-admin's commands: what runs each, its synopsis, description and options. The overall help,
// each command's help and the manual page are all printed from it.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace olm::admin {

/// Runs a command; arguments start after the command's word. Returns the exit code.
using CommandFunction = int (*)(const QStringList &arguments, QTextStream &out, QTextStream &err);

struct CommandOption {
    QString name;      ///< "--password"
    QString valueName; ///< "P"; empty for an option that takes no value
    QString help;
};

struct AdminCommand {
    QString name;              ///< the word after olm-admin
    QString summary;           ///< one line for the overview
    QStringList synopses;      ///< each form of the call, without "olm-admin "
    QStringList description;   ///< paragraphs
    QList<CommandOption> options;
    CommandFunction run = nullptr;

    QStringList valueOptions() const;
    QStringList flagOptions() const;
};

/// Every command, in the order the help lists them.
const QList<AdminCommand> &adminCommands();
/// The command of that word; nullptr when there is none.
const AdminCommand *findAdminCommand(const QString &name);

} // namespace olm::admin
