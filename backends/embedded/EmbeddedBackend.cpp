// The embedded server as a backend: one signed-in session on the database file, whose answers are already in
// the dataset layer's terms.
#include "EmbeddedBackend.h"

#include "server/Session.h"
#include "toolkit/data/Backend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString &embeddedFolderOverride()
{
    static QString folder;
    return folder;
}

class EmbeddedBackend : public DbBackend {
public:
    explicit EmbeddedBackend(std::unique_ptr<olm::server::Session> session) : m_session(std::move(session)) {}

    olm::dataset::Outcome execute(const QString &statement, const QVariantList &params, int timeoutSeconds) override
    {
        m_session->setCommandTimeout(timeoutSeconds * 1000);
        return m_session->execute(statement, params);
    }

    olm::dataset::Outcome callProcedure(const QString &name, const QVariantList &args, int timeoutSeconds) override
    {
        m_session->setCommandTimeout(timeoutSeconds * 1000);
        return m_session->callProcedure(name, args);
    }

private:
    std::unique_ptr<olm::server::Session> m_session;
};

bool servesEmbedded(const TConnectionString &connection)
{
    return connection.isEmbedded();
}

/// The file named by Initial Catalog in the data folder (or an absolute path), signed in as User ID.
std::unique_ptr<DbBackend> openEmbedded(const TConnectionString &connection, QString *error)
{
    const QString catalog = connection.catalog();
    if (catalog.isEmpty()) {
        if (error)
            *error = QStringLiteral("The connection names no database (Initial Catalog is empty).");
        return nullptr;
    }
    const QString path = QFileInfo(catalog).isAbsolute() ? catalog : QDir(embeddedDataFolder()).filePath(catalog);
    QString text;
    auto session = olm::server::Session::open(path, connection.userId(), connection.password(), &text);
    if (!session) {
        if (error)
            *error = text;
        return nullptr;
    }
    return std::make_unique<EmbeddedBackend>(std::move(session));
}

} // namespace

void registerEmbeddedBackend()
{
    registerBackend({QStringLiteral("embedded"), &servesEmbedded, &openEmbedded});
}

QString embeddedDataFolder()
{
    if (!embeddedFolderOverride().isEmpty())
        return embeddedFolderOverride();
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Data"));
}

void setEmbeddedDataFolder(const QString &folder)
{
    embeddedFolderOverride() = folder;
}
