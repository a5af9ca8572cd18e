// olm-admin's commands with their help texts.
#include "CommandTable.h"

#include "AdminCommands.h"

namespace olm::admin {

namespace {

QList<AdminCommand> buildCommandTable()
{
    using S = QStringList;
    const CommandOption pgUser{QStringLiteral("--pg-user"), QStringLiteral("U"),
                               QStringLiteral("on a pg: database, sign in as U")};
    QList<AdminCommand> commands;
    commands.append({QStringLiteral("init"), QStringLiteral("create a database and the client's settings file"),
                     S{QStringLiteral("init DIR [--demo] [--catalog NAME] [--force]")},
                     S{QStringLiteral("Creates the folder DIR/Data with a new embedded database and the client's settings "
                                      "file OLM, which signs in to that database with the bootstrap login. Both files are "
                                      "readable by their owner only. DIR is the folder of the client's executable.")},
                     {{QStringLiteral("--demo"), {}, QStringLiteral("fill the database with the demo groups, students, "
                                                                    "marks and users")},
                      {QStringLiteral("--catalog"), QStringLiteral("NAME"),
                       QStringLiteral("the database file's name inside Data (olm.sqlite unless given)")},
                      {QStringLiteral("--force"), {}, QStringLiteral("replace a database of that name")}},
                     runInitCommand});
    commands.append({QStringLiteral("upgrade"), QStringLiteral("bring a database to this program's layout"),
                     S{QStringLiteral("upgrade DB")},
                     S{QStringLiteral("Brings a database made by an older program to the layout this program knows; "
                                      "running it again does nothing. Users cannot sign in to an older database until it "
                                      "is upgraded, and a newer one is refused.")},
                     {},
                     runUpgradeCommand});
    commands.append({QStringLiteral("backup"), QStringLiteral("copy a database while clients use it"),
                     S{QStringLiteral("backup DB FILE")},
                     S{QStringLiteral("Copies DB to the new file FILE with an online backup: the copy holds the last "
                                      "committed state even while clients write. An existing FILE is never replaced.")},
                     {},
                     runBackupCommand});
    commands.append({QStringLiteral("check"), QStringLiteral("check a database's integrity and consistency"),
                     S{QStringLiteral("check DB")},
                     S{QStringLiteral("Runs the database's integrity check and the journal's own consistency checks "
                                      "(rows that name a student, group, user or other entry that does not exist). Each "
                                      "problem is printed; the exit status is 1 when there is any.")},
                     {},
                     runCheckCommand});
    commands.append({QStringLiteral("restore"), QStringLiteral("put a backup in place of a database"),
                     S{QStringLiteral("restore FILE DB [--no-keep]")},
                     S{QStringLiteral("Replaces DB by the backup FILE, which must be a sound OLM database of a layout this "
                                      "program knows (an older one is then brought up with olm-admin upgrade). Refused "
                                      "while any client or tool has DB open."),
                       QStringLiteral("The old DB is kept as DB.before-restore unless --no-keep is given.")},
                     {{QStringLiteral("--no-keep"), {}, QStringLiteral("do not keep the old file")}},
                     runRestoreCommand});
    commands.append({QStringLiteral("import"), QStringLiteral("fill the catalogues from a CSV file"),
                     S{QStringLiteral("import groups|students|teachers|disciplines|curriculum DB FILE "
                                      "[--encoding utf-8|windows-1251]")},
                     S{QStringLiteral("Adds the rows of a CSV file (a header row naming the columns; UTF-8 or "
                                      "Windows-1251, found out unless --encoding says) in one transaction: one bad row "
                                      "and nothing is added; every bad row is named by its line."),
                       QStringLiteral("Columns: groups name, id, speciality, start_year; students name, id, group; "
                                      "teachers and disciplines name, id; curriculum group, semester, discipline, "
                                      "examination, teacher. References by name or id.")},
                     {{QStringLiteral("--encoding"), QStringLiteral("E"), QStringLiteral("utf-8 or windows-1251")}},
                     runImportCommand});
    commands.append({QStringLiteral("settings"), QStringLiteral("show or write the client's settings file"),
                     S{QStringLiteral("settings show FILE"),
                       QStringLiteral("settings write FILE --user U --password P --server S --catalog C")},
                     S{QStringLiteral("Shows or writes the client's 84-byte settings file (Data/OLM): the bootstrap login "
                                      "and password, the server and the catalog. Each value holds at most 20 bytes in "
                                      "Windows-1251. The server is \"embedded\" for a database file in Data, or the "
                                      "address of the SQL Server the client reaches.")},
                     {{QStringLiteral("--user"), QStringLiteral("U"), QStringLiteral("the bootstrap login")},
                      {QStringLiteral("--password"), QStringLiteral("P"), QStringLiteral("its password")},
                      {QStringLiteral("--server"), QStringLiteral("S"), QStringLiteral("embedded, or HOST[,PORT]")},
                      {QStringLiteral("--catalog"), QStringLiteral("C"), QStringLiteral("the database")}},
                     runSettingsCommand});
    commands.append({QStringLiteral("ping"), QStringLiteral("sign in with a settings file as the client does"),
                     S{QStringLiteral("ping SETTINGS-FILE")},
                     S{QStringLiteral("Signs in with the settings file's bootstrap login exactly as the client's first "
                                      "step does, and calls nothing else. The exit status is 0 when the server let it in.")},
                     {},
                     runPingCommand});
    commands.append({QStringLiteral("user"), QStringLiteral("list, add, change and remove sign-in users"),
                     S{QStringLiteral("user list DB"), QStringLiteral("user add DB LOGIN --password P [--read-only]"),
                       QStringLiteral("user passwd DB LOGIN --password P"),
                       QStringLiteral("user block DB LOGIN --message TEXT"), QStringLiteral("user unblock DB LOGIN"),
                       QStringLiteral("user groups DB LOGIN GROUP..."), QStringLiteral("user groups DB LOGIN --none"),
                       QStringLiteral("user role DB LOGIN editor|reader"), QStringLiteral("user expire DB LOGIN"),
                       QStringLiteral("user remove DB LOGIN")},
                     S{QStringLiteral("list prints every sign-in user with the role, the password's change date and days "
                                      "left, the block message and the groups the user sees (ids and names)."),
                       QStringLiteral("add creates an editor, or a reader with --read-only. A password is 6 to 20 Latin "
                                      "letters, digits or '_'; passwd sets a new one and makes today its change date."),
                       QStringLiteral("block makes the sign-in answer TEXT instead of letting the user in, and stops the "
                                      "user's database login; unblock lifts both."),
                       QStringLiteral("groups replaces the groups the user sees. Each GROUP is a group's id or its name; "
                                      "a name that fits more than one group is refused, so give the id then. With "
                                      "--none the user sees no groups; without groups and without --none nothing is "
                                      "changed."),
                       QStringLiteral("role makes the user an editor (edits, deletes and restores journal rows) or a "
                                      "reader (reads only). expire makes the user change the password at the next "
                                      "sign-in."),
                       QStringLiteral("remove deletes the user, the groups it sees and its database login. The journal, "
                                      "the change log and the audit trail keep the login as text, so they still show who "
                                      "made each change.")},
                     {{QStringLiteral("--password"), QStringLiteral("P"), QStringLiteral("the password the user types")},
                      {QStringLiteral("--read-only"), {}, QStringLiteral("add a reader instead of an editor")},
                      {QStringLiteral("--message"), QStringLiteral("TEXT"), QStringLiteral("what a blocked user is told")},
                      {QStringLiteral("--none"), {}, QStringLiteral("with groups: leave the user no groups")},
                      pgUser},
                     runUserCommand});
    commands.append({QStringLiteral("config"), QStringLiteral("show or set the database's settings for clients"),
                     S{QStringLiteral("config show DB"), QStringLiteral("config set current-program NAME DB")},
                     S{QStringLiteral("current-program is the program the sign-in expects (\"OLM 16\"); an older client is "
                                      "told to update itself, a newer one is let in.")},
                     {},
                     runConfigCommand});
    commands.append({QStringLiteral("trace"), QStringLiteral("switch the statement trace on or off, or print it"),
                     S{QStringLiteral("trace on|off|show DB")},
                     S{QStringLiteral("While the trace is on, the server records every statement with its time and "
                                      "login; show prints the record.")},
                     {},
                     runTraceCommand});
    commands.append({QStringLiteral("log"), QStringLiteral("print the journal's change log"),
                     S{QStringLiteral("log show DB [--row ID] [--login L] [--since DATE] [--raw]")},
                     S{QStringLiteral("Lists the change log the client writes (OLM_LOG), oldest entry first, in aligned "
                                      "columns: entry, time, login, computer, journal row with its group, student and "
                                      "discipline (also for rows deleted since), and the change."),
                       QStringLiteral("--raw prints every entry as stored, tab-separated, for scripts.")},
                     {{QStringLiteral("--row"), QStringLiteral("ID"), QStringLiteral("only the entries of this journal row")},
                      {QStringLiteral("--login"), QStringLiteral("L"), QStringLiteral("only what this login changed")},
                      {QStringLiteral("--since"), QStringLiteral("DATE"),
                       QStringLiteral("only from this time on: YYYY-MM-DD or YYYY-MM-DD HH:MM")},
                      {QStringLiteral("--raw"), {}, QStringLiteral("every entry as stored, tab-separated")},
                      pgUser},
                     runLogCommand});
    commands.append({QStringLiteral("audit"), QStringLiteral("print the server's audit trail"),
                     S{QStringLiteral("audit show DB [--row ID] [--login L] [--since DATE]")},
                     S{QStringLiteral("Prints the server's own trail of journal changes and procedure calls, oldest "
                                      "first.")},
                     {{QStringLiteral("--row"), QStringLiteral("ID"), QStringLiteral("only the changes of this journal row")},
                      {QStringLiteral("--login"), QStringLiteral("L"), QStringLiteral("only what this login did")},
                      {QStringLiteral("--since"), QStringLiteral("DATE"),
                       QStringLiteral("only from this time on: YYYY-MM-DD or YYYY-MM-DD HH:MM")},
                      pgUser},
                     runAuditCommand});
    commands.append({QStringLiteral("query"), QStringLiteral("run one statement and print its results"),
                     S{QStringLiteral("query DB STATEMENT [--login L --password P]")},
                     S{QStringLiteral("Runs one T-SQL statement as the administrator, or as a sign-in's database login "
                                      "with its rights, and prints each result as tab-separated rows under a header.")},
                     {{QStringLiteral("--login"), QStringLiteral("L"), QStringLiteral("run with this database login's rights")},
                      {QStringLiteral("--password"), QStringLiteral("P"), QStringLiteral("its password")},
                      pgUser},
                     runQueryCommand});
    return commands;
}

QStringList optionNames(const QList<CommandOption> &options, bool withValue)
{
    QStringList names;
    for (const CommandOption &option : options) {
        if (option.valueName.isEmpty() != withValue)
            names.append(option.name);
    }
    return names;
}

} // namespace

QStringList AdminCommand::valueOptions() const
{
    return optionNames(options, true);
}

QStringList AdminCommand::flagOptions() const
{
    return optionNames(options, false);
}

const QList<AdminCommand> &adminCommands()
{
    static const QList<AdminCommand> commands = buildCommandTable();
    return commands;
}

const AdminCommand *findAdminCommand(const QString &name)
{
    for (const AdminCommand &command : adminCommands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

} // namespace olm::admin
