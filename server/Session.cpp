// The session's front door: everything is done by SessionPrivate.
#include "Session.h"

#include "SessionPrivate.h"
#include "StatementDeadline.h"

namespace olm::server {

std::unique_ptr<Session> Session::open(const QString &databasePath, const QString &login, const QString &password,
                                       QString *error)
{
    QString ignored;
    auto d = SessionPrivate::open(databasePath, login, password, false, error ? error : &ignored);
    return d ? std::unique_ptr<Session>(new Session(std::move(d))) : nullptr;
}

std::unique_ptr<Session> Session::openAsAdministrator(const QString &databasePath, QString *error)
{
    QString ignored;
    auto d = SessionPrivate::open(databasePath, QString(), QString(), true, error ? error : &ignored);
    return d ? std::unique_ptr<Session>(new Session(std::move(d))) : nullptr;
}

Session::Session(std::unique_ptr<SessionPrivate> d)
    : d(std::move(d))
{
}

Session::~Session() = default;

namespace {

Outcome withinDeadline(const StatementDeadline &deadline, Outcome outcome)
{
    if (deadline.fired() && !outcome.ok)
        return Outcome::failure(StatementDeadline::timeoutText());
    return outcome;
}

} // namespace

Outcome Session::execute(const QString &statement, const QVariantList &params)
{
    const StatementDeadline deadline(d->db(), m_commandTimeout);
    return withinDeadline(deadline, d->execute(statement, params));
}

Outcome Session::callProcedure(const QString &name, const QVariantList &args)
{
    const StatementDeadline deadline(d->db(), m_commandTimeout);
    return withinDeadline(deadline, d->callProcedure(name, args));
}

void Session::setCommandTimeout(int milliseconds)
{
    m_commandTimeout = milliseconds;
}

QString Session::login() const
{
    return d->login();
}

QString Session::databasePath() const
{
    return d->path();
}

void Session::setBusyTimeout(int milliseconds)
{
    d->connection().setBusyTimeout(milliseconds);
}

} // namespace olm::server
