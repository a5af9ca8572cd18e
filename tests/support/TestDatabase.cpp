// A fresh demo database for one test, and the client's connection string for it.
#include "tests/support/TestDatabase.h"

#include "backends/embedded/EmbeddedBackend.h"
#include "server/Database.h"
#include "server/Session.h"
#include "toolkit/data/Backend.h"

TestDatabase::TestDatabase(bool withDemoData) : m_previousFolder(embeddedDataFolder())
{
    registerEmbeddedBackend();
    if (!m_folder.isValid()) {
        m_error = m_folder.errorString();
        return;
    }
    QString error;
    if (!olm::server::createDatabase(path(), withDemoData, &error)) {
        m_error = error.isEmpty() ? QStringLiteral("createDatabase failed") : error;
        return;
    }
    setEmbeddedDataFolder(m_folder.path());
}

TestDatabase::~TestDatabase()
{
    setEmbeddedDataFolder(m_previousFolder);
}

QString TestDatabase::path() const
{
    return m_folder.filePath(catalog());
}

QString TestDatabase::connectionString(const QString &login, const QString &password) const
{
    return clientConnectionString(login, password, catalog(), QStringLiteral("embedded"));
}

std::unique_ptr<olm::server::Session> TestDatabase::administrator() const
{
    QString error;
    return olm::server::Session::openAsAdministrator(path(), &error);
}
