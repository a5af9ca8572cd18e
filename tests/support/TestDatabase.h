// A fresh demo database for one test: made by the server in a temporary folder, which the dataset layer
// looks embedded catalogs up in for as long as the helper lives.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace olm::server {
class Session;
}

class TestDatabase {
public:
    explicit TestDatabase(bool withDemoData = true);
    /// Points the dataset layer back at the folder it used before.
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    /// Why the database could not be made (empty when it was).
    QString error() const { return m_error; }
    QString catalog() const { return QStringLiteral("olm.sqlite"); }
    QString path() const;

    /// The connection string the client builds for a database login, on this database.
    QString connectionString(const QString &login, const QString &password) const;
    /// A session with every right, to prepare and check rows behind the client's back.
    std::unique_ptr<olm::server::Session> administrator() const;

private:
    QTemporaryDir m_folder;
    QString m_previousFolder;
    QString m_error;
};
