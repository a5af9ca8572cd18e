// Grants of database logins and the statement authorizer.
#include "Rights.h"

#include "Query.h"

#include <QStringList>

#include <sqlite3.h>

namespace olm::server {

namespace {
QString grantKey(const QString &object, const QString &action)
{
    return object.toLower() + QLatin1Char('\n') + action.toUpper();
}

QString lowered(const char *text)
{
    return text ? QString::fromUtf8(text).toLower() : QString();
}

QString rightName(int action)
{
    switch (action) {
    case SQLITE_INSERT:
        return QStringLiteral("INSERT");
    case SQLITE_UPDATE:
        return QStringLiteral("UPDATE");
    case SQLITE_DELETE:
        return QStringLiteral("DELETE");
    default:
        return QStringLiteral("SELECT");
    }
}
} // namespace

bool Rights::load(sqlite3 *db, const QString &login, QString *error)
{
    Query query(db, QStringLiteral("SELECT object, action FROM srv_rights WHERE login = ?"));
    query.bind({login});
    while (query.next())
        grant(query.value(0).toString(), query.value(1).toString());
    if (!query.ok())
        *error = query.errorMessage();
    return query.ok();
}

void Rights::grant(const QString &object, const QString &action)
{
    m_grants.insert(grantKey(object, action));
}

bool Rights::allows(const QString &object, const QString &action) const
{
    return m_grants.contains(grantKey(object, action));
}

QString Denial::message(const QString &database) const
{
    if (action.isEmpty())
        return QStringLiteral("The user does not have permission to perform this action.");
    return QStringLiteral("The %1 permission was denied on the object '%2', database '%3', schema 'dbo'.")
        .arg(action, object, database);
}

void Authorizer::install(sqlite3 *db)
{
    sqlite3_set_authorizer(db, &Authorizer::callback, this);
}

void Authorizer::setSchemaObjects(QSet<QString> views, QSet<QString> triggers)
{
    m_views = std::move(views);
    m_triggers = std::move(triggers);
}

void Authorizer::learnViews(sqlite3 *db)
{
    sqlite3_set_authorizer(db, &Authorizer::callback, this);
    for (const QString &view : std::as_const(m_views)) {
        m_phase = Phase::Learning;
        m_accesses.clear();
        {
            Query query(db, QStringLiteral("SELECT * FROM \"%1\"").arg(view));
        }
        for (const Access &access : m_accesses) {
            if (access.inner.compare(view, Qt::CaseInsensitive) == 0)
                m_viewTables[view].insert(access.object.toLower());
        }
    }
    m_phase = Phase::Idle;
    m_accesses.clear();
    sqlite3_set_authorizer(db, nullptr, nullptr);
}

Authorizer::ClientStatement::ClientStatement(Authorizer &authorizer)
    : m_authorizer(authorizer)
{
    m_authorizer.m_phase = Phase::Preparing;
    m_authorizer.m_accesses.clear();
    m_authorizer.m_refused.reset();
}

Authorizer::ClientStatement::~ClientStatement()
{
    m_authorizer.m_phase = Phase::Idle;
    m_authorizer.m_accesses.clear();
}

std::optional<Denial> Authorizer::ClientStatement::verdict()
{
    std::optional<Denial> denial = m_authorizer.m_refused ? m_authorizer.m_refused : m_authorizer.evaluate();
    m_authorizer.m_phase = Phase::Running;
    return denial;
}

int Authorizer::callback(void *self, int action, const char *a, const char *b, const char *, const char *inner)
{
    return static_cast<Authorizer *>(self)->decide(action, a, b, inner);
}

int Authorizer::decide(int action, const char *a, const char *b, const char *inner)
{
    if (m_phase == Phase::Learning) {
        if (action == SQLITE_READ)
            m_accesses.push_back({rightName(action), QString::fromUtf8(a), lowered(b), inner ? QString::fromUtf8(inner) : QString()});
        return SQLITE_OK;
    }
    if (m_administrator || m_elevation > 0)
        return SQLITE_OK;
    const QString innerName = inner ? QString::fromUtf8(inner) : QString();
    // Trigger bodies run with the owner's rights, like procedures.
    if (!innerName.isEmpty() && m_triggers.contains(innerName.toLower()))
        return SQLITE_OK;
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    case SQLITE_READ:
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
        if (m_phase == Phase::Preparing) {
            const bool hasColumn = action == SQLITE_READ || action == SQLITE_UPDATE;
            m_accesses.push_back({rightName(action), QString::fromUtf8(a), hasColumn ? lowered(b) : QString(), innerName});
            return SQLITE_OK;
        }
        return m_phase == Phase::Running ? SQLITE_OK : SQLITE_DENY;
    default:
        // Schema changes, pragmas, attaching files and transactions belong to the administrator.
        if (!m_refused)
            m_refused = Denial{};
        return SQLITE_DENY;
    }
}

std::optional<Denial> Authorizer::evaluate() const
{
    // An access counts as made through a view only when it is one the view's own definition makes.
    const auto throughView = [this](const Access &access) {
        return !access.inner.isEmpty()
            && m_viewTables.value(access.inner.toLower()).contains(access.object.toLower());
    };
    QStringList viewsUsed;
    QSet<QString> readThroughViews;
    for (const Access &access : m_accesses) {
        if (throughView(access)) {
            if (!viewsUsed.contains(access.inner, Qt::CaseInsensitive))
                viewsUsed.append(access.inner);
            readThroughViews.insert(access.object.toLower());
        }
    }
    for (const QString &view : std::as_const(viewsUsed)) {
        if (!m_rights.allows(view, QStringLiteral("SELECT")))
            return Denial{QStringLiteral("SELECT"), view};
    }
    for (const Access &access : m_accesses) {
        if (throughView(access))
            continue; // checked on the view above
        // "count(*) from a view" touches the view's tables without naming a column.
        if (access.action == QLatin1String("SELECT") && access.column.isEmpty() && access.inner.isEmpty()
            && readThroughViews.contains(access.object.toLower()))
            continue;
        if (!m_rights.allows(access.object, access.action))
            return Denial{access.action, access.object};
    }
    return std::nullopt;
}

} // namespace olm::server
