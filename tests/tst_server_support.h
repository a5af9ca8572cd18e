// Shared by the server tests: a demo database built once per test program and copied for every case, the
// client's sign-in exchange, and checks that print the server's own text when they fail.
#pragma once

#include "server/Database.h"
#include "server/Session.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#define QVERIFY_OK(expression)                                                                                       \
    do {                                                                                                             \
        const olm::server::Outcome &outcome_ = (expression);                                                         \
        QVERIFY2(outcome_.ok, qPrintable(outcome_.error));                                                           \
    } while (false)

namespace servertest {

using olm::server::Outcome;
using olm::server::Session;

inline QString templateDatabase()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("template.sqlite"));
        QString error;
        if (!olm::server::createDatabase(file, true, &error))
            qFatal("cannot create the demo database: %s", qPrintable(error));
        return file;
    }();
    return path;
}

/// A copy of the demo database, dir/olm.sqlite.
inline QString freshDemoDatabase(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("olm.sqlite"));
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    if (!QFile::copy(templateDatabase(), path))
        qFatal("cannot copy the demo database");
    return path;
}

inline QString digest(const QString &password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toLatin1(), QCryptographicHash::Md5).toHex().toUpper());
}

/// The sign-in statement built from the client's pieces; newPassword "NULL" means none.
inline QString getUserStatement(const QString &login, const QString &password,
                                const QString &newPassword = QStringLiteral("NULL"),
                                const QString &program = QStringLiteral("OLM 16"))
{
    const QString third = newPassword == QLatin1String("NULL") ? newPassword
                                                               : QLatin1Char('\'') + digest(newPassword) + QLatin1Char('\'');
    return QStringLiteral("EXEC GET_USER '") + login + QStringLiteral("',") + QStringLiteral("'") + digest(password)
        + QStringLiteral("',") + third + QStringLiteral(", ") + QStringLiteral("'") + program + QStringLiteral("'")
        + QStringLiteral(", '") + QStringLiteral("10.0.0.5") + QStringLiteral("', ") + QStringLiteral("'")
        + QStringLiteral("PC-101") + QStringLiteral("'") + QStringLiteral(", '") + login + QStringLiteral("',")
        + QStringLiteral("'0',") + QStringLiteral("'") + QString::number(third.size()) + QStringLiteral("'");
}

/// What the client's ShiftChars does to GET_USER's credentials (ASCII is enough here).
inline QString unshift(const QString &text)
{
    QString result;
    for (const QChar c : text)
        result += QChar(char16_t(c.unicode() + 1));
    return result;
}

inline std::unique_ptr<Session> bootstrapSession(const QString &path)
{
    QString error;
    auto session = Session::open(path, QStringLiteral("olm_boot"), QStringLiteral("Boot2016"), &error);
    if (!session)
        qWarning("bootstrap sign-in failed: %s", qPrintable(error));
    return session;
}

/// Signs in as the client does: bootstrap login, GET_USER, then the returned credentials.
inline std::unique_ptr<Session> signIn(const QString &path, const QString &login, const QString &password)
{
    auto boot = bootstrapSession(path);
    if (!boot)
        return nullptr;
    const Outcome answer = boot->execute(getUserStatement(login, password));
    if (!answer.ok || !answer.firstResult() || answer.firstResult()->rows.empty()) {
        qWarning("GET_USER failed: %s", qPrintable(answer.error));
        return nullptr;
    }
    const QVariantList &row = answer.firstResult()->rows.front();
    QString error;
    auto session = Session::open(path, unshift(row.at(0).toString()), unshift(row.at(1).toString()), &error);
    if (!session)
        qWarning("second sign-in failed: %s", qPrintable(error));
    return session;
}

inline QVariant scalar(Session &session, const QString &statement, const QVariantList &params = {})
{
    const Outcome outcome = session.execute(statement, params);
    if (!outcome.ok || !outcome.firstResult() || outcome.firstResult()->rows.empty()) {
        qWarning("%s: %s", qPrintable(statement), qPrintable(outcome.error));
        return {};
    }
    return outcome.firstResult()->rows.front().value(0);
}

inline QStringList columnNames(const olm::server::ResultSet &set)
{
    QStringList names;
    for (const auto &column : set.columns)
        names.append(column.name);
    return names;
}

} // namespace servertest
