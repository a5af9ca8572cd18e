// A fresh demo database for one test, and the client's connection string for it.
#include "tests/support/TestDatabase.h"

#include "server/Database.h"
#include "server/Session.h"
#include "toolkit/data/Backend.h"

TestDatabase::TestDatabase(bool withDemoData) : m_previousFolder(embeddedDataFolder())
{
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
    return QStringLiteral("Provider=SQLOLEDB.1;Password=") + password
        + QStringLiteral(";Persist Security Info=True;User ID=") + login + QStringLiteral(";Initial Catalog=")
        + catalog() + QStringLiteral(";Data Source=embedded;Use Procedure for Prepare=1;Auto Translate=True;")
        + QStringLiteral("Packet Size=4096;Use Encryption for Data=False;")
        + QStringLiteral("Tag with column collation when possible=False");
}

std::unique_ptr<olm::server::Session> TestDatabase::administrator() const
{
    QString error;
    return olm::server::Session::openAsAdministrator(path(), &error);
}
