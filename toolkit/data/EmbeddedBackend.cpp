// The embedded server as a backend: one signed-in session on the database file.
#include "BackendKinds.h"

#include "server/Session.h"

namespace olm::dataset {

namespace {

class EmbeddedBackend : public DbBackend {
public:
    explicit EmbeddedBackend(std::unique_ptr<olm::server::Session> session) : m_session(std::move(session)) {}

    olm::server::Outcome execute(const QString &statement, const QVariantList &params) override
    {
        return m_session->execute(statement, params);
    }

    // The embedded server answers at once; there is nothing for a time-out to stop.
    olm::server::Outcome callProcedure(const QString &name, const QVariantList &args, int) override
    {
        return m_session->callProcedure(name, args);
    }

private:
    std::unique_ptr<olm::server::Session> m_session;
};

} // namespace

std::unique_ptr<DbBackend> openEmbeddedBackend(const QString &databasePath, const QString &userId,
                                               const QString &password, QString *error)
{
    QString text;
    auto session = olm::server::Session::open(databasePath, userId, password, &text);
    if (!session) {
        if (error)
            *error = text;
        return nullptr;
    }
    return std::make_unique<EmbeddedBackend>(std::move(session));
}

} // namespace olm::dataset
