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
    if (!text.isEmpty())
        return text;
    if (action.isEmpty())
        return QStringLiteral("The user does not have permission to perform this action.");
    return QStringLiteral("The %1 permission was denied on the object '%2', database '%3', schema 'dbo'.")
        .arg(action, object, database);
}

// How a client statement's accesses are judged (the administrator and the server's own statements are not):
//  1. Only row reads and writes of the main database are a client's: schema changes, pragmas, transactions,
//     attached or temporary schemas are refused whatever the grants.
//  2. Every read (table, column) and write (table) needs the login's right on that table, whatever name the
//     statement gives it: an alias, a subquery, a common table expression, INSERT ... SELECT, REPLACE,
//     INSERT OR ..., an upsert's DO UPDATE (an UPDATE right) and RETURNING all reach the real table here.
//  3. A read counts as made through a view, and needs only the view's right, when it is one the view's own
//     definition makes (learned at sign-in by preparing the view); a common table expression named like a view
//     gains nothing beyond what the view shows.
//  4. A trigger's body runs with the owner's rights, but only for what it was seen to touch when it was learned,
//     and only in a statement that itself writes the trigger's table in the way that fires it. The name SQLite
//     reports for the enclosing object is not trusted on its own: a common table expression can carry any name.
//  5. Append-only tables take plain inserts only: no update or delete, whatever the grants (their triggers refuse
//     a replace or upsert that would overwrite an entry).
//  6. The server stamps who changed a journal row and when; a client statement cannot write those columns.
//  7. A deleted row waits in del_mark_mag as it was deleted: a client may tick it for restoring (Check_ch) and
//     change nothing else of it, so what comes back is what went.
//  8. Which groups' rows a user may change is not judged here but by the journal tables' triggers, which hold
//     for the server's own procedures too (olm_my_group).
namespace {
const QStringList &appendOnlyTables()
{
    static const QStringList tables{QStringLiteral("olm_log"), QStringLiteral("srv_audit")};
    return tables;
}

bool isServerStamp(const QString &table, const QString &column)
{
    return table.compare(QLatin1String("mark_mag"), Qt::CaseInsensitive) == 0
        && (column == QLatin1String("olm_user") || column == QLatin1String("olm_update"));
}

QString eventKey(const QString &action, const QString &table)
{
    return action + QLatin1Char('\n') + table.toLower();
}
} // namespace

QString Authorizer::accessKey(const Access &access)
{
    return access.action + QLatin1Char('\n') + access.object.toLower() + QLatin1Char('\n') + access.column
        + QLatin1Char('\n') + access.inner.toLower();
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
            if (access.action == QLatin1String("SELECT") && access.inner.compare(view, Qt::CaseInsensitive) == 0) {
                m_viewTables[view].insert(access.object.toLower());
                m_viewColumns[view].insert(access.object.toLower() + QLatin1Char('.') + access.column);
            }
        }
    }
    m_phase = Phase::Idle;
    m_accesses.clear();
    sqlite3_set_authorizer(db, nullptr, nullptr);
}

void Authorizer::learnTriggers(sqlite3 *db)
{
    QStringList tables;
    {
        Query query(db, QStringLiteral("SELECT DISTINCT tbl_name FROM sqlite_master WHERE type = 'trigger'"));
        while (query.next())
            tables.append(query.value(0).toString());
    }
    m_phase = Phase::Learning; // the column list below is a pragma
    sqlite3_set_authorizer(db, &Authorizer::callback, this);
    for (const QString &table : std::as_const(tables)) {
        QStringList columns;
        {
            Query info(db, QStringLiteral("SELECT name FROM pragma_table_info(?)"));
            info.bind({table});
            while (info.next())
                columns.append(QLatin1Char('"') + info.value(0).toString() + QLatin1Char('"'));
        }
        QStringList assignments;
        for (const QString &column : std::as_const(columns))
            assignments.append(column + QStringLiteral(" = ") + column);
        // Prepared, never run: preparing compiles every trigger the write would fire.
        const QList<std::pair<QString, QString>> writes{
            {QStringLiteral("INSERT"), QStringLiteral("INSERT INTO \"%1\" SELECT * FROM \"%1\" WHERE 0").arg(table)},
            {QStringLiteral("UPDATE"),
             QStringLiteral("UPDATE \"%1\" SET %2 WHERE 0").arg(table, assignments.join(QStringLiteral(", ")))},
            {QStringLiteral("DELETE"), QStringLiteral("DELETE FROM \"%1\" WHERE 0").arg(table)},
        };
        for (const auto &[action, sql] : writes) {
            m_phase = Phase::Learning;
            m_accesses.clear();
            {
                Query query(db, sql);
            }
            QSet<QString> &trusted = m_triggerAccesses[eventKey(action, table)];

            for (const Access &access : std::as_const(m_accesses)) {
                if (m_triggers.contains(access.inner.toLower()))
                    trusted.insert(accessKey(access));
            }
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

int Authorizer::callback(void *self, int action, const char *a, const char *b, const char *database, const char *inner)
{
    return static_cast<Authorizer *>(self)->decide(action, a, b, database, inner);
}

int Authorizer::decide(int action, const char *a, const char *b, const char *database, const char *inner)
{
    const bool rowAccess = action == SQLITE_READ || action == SQLITE_INSERT || action == SQLITE_UPDATE
        || action == SQLITE_DELETE;
    const auto access = [&] {
        const bool hasColumn = action == SQLITE_READ || action == SQLITE_UPDATE;
        return Access{rightName(action), QString::fromUtf8(a), hasColumn ? lowered(b) : QString(),
                      inner ? QString::fromUtf8(inner) : QString(), database ? QString::fromUtf8(database) : QString()};
    };
    if (m_phase == Phase::Learning) {
        if (rowAccess)
            m_accesses.push_back(access());
        return SQLITE_OK;
    }
    if (isOwner())
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
            m_accesses.push_back(access());
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
    // What the statement itself writes decides which trigger bodies may run.
    QSet<QString> trusted;
    for (const Access &access : m_accesses) {
        if (access.inner.isEmpty() && access.action != QLatin1String("SELECT"))
            trusted.unite(m_triggerAccesses.value(eventKey(access.action, access.object)));
    }
    const auto byTrigger = [&](const Access &access) {
        return !access.inner.isEmpty() && trusted.contains(accessKey(access));
    };
    // An access counts as made through a view only when it is one the view's own definition makes.
    const auto throughView = [this](const Access &access) {
        if (access.inner.isEmpty() || access.action != QLatin1String("SELECT"))
            return false;
        const QString view = access.inner.toLower();
        return access.column.isEmpty()
            ? m_viewTables.value(view).contains(access.object.toLower())
            : m_viewColumns.value(view).contains(access.object.toLower() + QLatin1Char('.') + access.column);
    };
    QStringList viewsUsed;
    QSet<QString> readThroughViews;
    for (const Access &access : m_accesses) {
        if (!access.database.isEmpty() && access.database != QLatin1String("main"))
            return Denial{};
        if (byTrigger(access))
            continue;
        if (throughView(access)) {
            if (!viewsUsed.contains(access.inner, Qt::CaseInsensitive))
                viewsUsed.append(access.inner);
            readThroughViews.insert(access.object.toLower());
        }
    }
    for (const QString &view : std::as_const(viewsUsed)) {
        if (!m_rights.allows(view, QStringLiteral("SELECT")))
            return Denial{QStringLiteral("SELECT"), view, {}};
    }
    for (const Access &access : m_accesses) {
        if (byTrigger(access) || throughView(access))
            continue;
        const bool changes = access.action == QLatin1String("UPDATE") || access.action == QLatin1String("DELETE");
        if (changes && appendOnlyTables().contains(access.object.toLower())) {
            return Denial{access.action, access.object,
                          QStringLiteral("The table '%1' only takes new entries; nothing was changed.").arg(access.object)};
        }
        if (access.action == QLatin1String("UPDATE") && isServerStamp(access.object, access.column)) {
            return Denial{access.action, access.object,
                          QStringLiteral("The column '%1' of '%2' is stamped by the server; nothing was changed.")
                              .arg(access.column == QLatin1String("olm_user") ? QStringLiteral("OLM_User")
                                                                               : QStringLiteral("OLM_Update"),
                                   access.object)};
        }
        if (access.action == QLatin1String("UPDATE") && access.object.compare(QLatin1String("del_mark_mag"), Qt::CaseInsensitive) == 0
            && access.column != QLatin1String("check_ch")) {
            return Denial{access.action, access.object,
                          QStringLiteral("The column '%1' of 'del_mark_mag' keeps the row as it was deleted: only "
                                         "Check_ch may be changed; nothing was changed.").arg(access.column)};
        }
        // "count(*) from a view" touches the view's tables without naming a column.
        if (access.action == QLatin1String("SELECT") && access.column.isEmpty() && access.inner.isEmpty()
            && readThroughViews.contains(access.object.toLower()))
            continue;
        if (!m_rights.allows(access.object, access.action))
            return Denial{access.action, access.object, {}};
    }
    return std::nullopt;
}

} // namespace olm::server
