// olm-admin ping: signs in with a settings file's bootstrap credentials, as the client's first step does,
// and calls nothing else.
#include "AdminCommands.h"

#include "SettingsFile.h"

#include "backends/embedded/EmbeddedBackend.h"
#include "toolkit/data/Backend.h"

#include <QDir>
#include <QFileInfo>

namespace olm::admin {

int runPingCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 1)
        return fail(err, QStringLiteral("ping needs one settings file."));
    QString error;
    const auto settings = readSettingsFile(arguments.first(), &error);
    if (!settings)
        return fail(err, error);
    // An embedded catalog sits beside the settings file, in the client's Data folder.
    const QString previousFolder = embeddedDataFolder();
    setEmbeddedDataFolder(QFileInfo(arguments.first()).absolutePath());
    const auto connection = openBackend(
        TConnectionString::parse(
            clientConnectionString(settings->user, settings->password, settings->catalog, settings->server)),
        &error);
    setEmbeddedDataFolder(previousFolder);
    if (!connection)
        return fail(err, error.isEmpty() ? QStringLiteral("The server refused the connection.") : stripDriverPrefixes(error));
    out << "connected to " << settings->server << ", catalog " << settings->catalog << ", as " << settings->user
        << '\n';
    return 0;
}

} // namespace olm::admin
