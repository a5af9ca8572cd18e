// What a sign-in test needs around the database: a program folder with a settings file that points at the
// test database, and a machine with a fixed name and address.
#pragma once

#include "app/SignInHost.h"
#include "platform/FakePlatform.h"
#include "server/Database.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

/// The main window's side of a sign-in, recorded.
class RecordingHost : public TSignInHost {
public:
    QString loginName;
    int loginId = -1;
    void setLoginName(const QString &name) override { loginName = name; }
    void setLoginId(int id) override { loginId = id; }
};

class SignInSetup {
public:
    static constexpr const char *ComputerName = "TESTPC";
    static constexpr const char *Address = "10.0.0.5";

    /// Makes itself the program folder and writes a settings file with the bootstrap login for catalog.
    explicit SignInSetup(const QString &catalog = QStringLiteral("olm.sqlite"));
    /// The executable's folder is the program folder again.
    ~SignInSetup();
    SignInSetup(const SignInSetup &) = delete;
    SignInSetup &operator=(const SignInSetup &) = delete;

    QString folder() const { return m_folder.path(); }
    QString settingsPath() const;
    /// Replaces the settings file by these bytes.
    void writeSettings(const QByteArray &bytes) const;
    void writeSettings(const QString &user, const QString &password, const QString &server,
                       const QString &catalog) const;

    /// An 84-byte block as the administrator's tool writes it: each value shifted down and padded with
    /// junk the reader must ignore.
    static QByteArray settingsBlock(const QByteArray &user, const QByteArray &password, const QByteArray &server,
                                    const QByteArray &catalog);

    /// The sign-in user of that login in the database file as its administrator sees it (id 0 if none).
    static olm::server::SignInUser signInUser(const QString &databasePath, const QString &login);

    olm::platform::FakePlatform platform;

private:
    QTemporaryDir m_folder;
    olm::platform::ScopedPlatform m_scopedPlatform;
};
