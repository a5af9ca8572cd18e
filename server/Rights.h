// Per-statement rights: the grants of a database login and the authorizer that checks every statement
// a session prepares against them.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

struct sqlite3;

namespace olm::server {

/// The grants of one database login: (object, action) pairs, action SELECT, INSERT, UPDATE, DELETE or EXECUTE.
class Rights {
public:
    bool load(sqlite3 *db, const QString &login, QString *error);
    void grant(const QString &object, const QString &action);
    bool allows(const QString &object, const QString &action) const;

private:
    QSet<QString> m_grants;
};

/// Why a statement was refused.
struct Denial {
    QString action; ///< SELECT, INSERT, UPDATE, DELETE, EXECUTE; empty for statements no login may run
    QString object;
    QString text;   ///< a refusal no grant can lift, worded on its own; empty for a missing right
    QString message(const QString &database) const;
};

/// Installed on a session's connection. Statements of the server itself run elevated (owner rights);
/// client statements are checked while they are prepared and refused before they run.
class Authorizer {
public:
    void install(sqlite3 *db);
    void setAdministrator(bool administrator) { m_administrator = administrator; }
    bool isAdministrator() const { return m_administrator; }
    /// True for the administrator and while the server runs its own statements.
    bool isOwner() const { return m_administrator || m_elevation > 0; }
    void setRights(Rights rights) { m_rights = std::move(rights); }
    const Rights &rights() const { return m_rights; }
    /// Views and triggers of the schema: reads through a view are checked on the view, trigger bodies run
    /// with the owner's rights.
    void setSchemaObjects(QSet<QString> views, QSet<QString> triggers);
    /// Finds out which tables each view reads (by preparing it), so that a common table expression named like
    /// a view gains nothing from the view's right. Call before install().
    void learnViews(sqlite3 *db);
    /// Finds out what each trigger's body touches, for every way a row of its table can be written, so that
    /// only those accesses, in a statement that really writes that table, run with the owner's rights.
    /// Call before install().
    void learnTriggers(sqlite3 *db);

    /// Owner rights for the server's own statements while it lives.
    class Elevation {
    public:
        explicit Elevation(Authorizer &authorizer) : m_authorizer(authorizer) { ++m_authorizer.m_elevation; }
        ~Elevation() { --m_authorizer.m_elevation; }
        Elevation(const Elevation &) = delete;
        Elevation &operator=(const Elevation &) = delete;

    private:
        Authorizer &m_authorizer;
    };

    /// Brackets the preparing and running of one client statement.
    class ClientStatement {
    public:
        explicit ClientStatement(Authorizer &authorizer);
        ~ClientStatement();
        ClientStatement(const ClientStatement &) = delete;
        ClientStatement &operator=(const ClientStatement &) = delete;
        /// After preparing: the first refused access, if any; from then on the statement may run.
        std::optional<Denial> verdict();

    private:
        Authorizer &m_authorizer;
    };

private:
    enum class Phase { Idle, Preparing, Running, Learning };
    struct Access {
        QString action;
        QString object;
        QString column;
        QString inner; // the view, trigger or common table expression responsible, empty at top level
        QString database;
    };
    static QString accessKey(const Access &access);
    static int callback(void *self, int action, const char *a, const char *b, const char *database, const char *inner);
    int decide(int action, const char *a, const char *b, const char *database, const char *inner);
    std::optional<Denial> evaluate() const;

    Rights m_rights;
    QSet<QString> m_views;
    QHash<QString, QSet<QString>> m_viewTables; // lower-case view -> lower-case tables it reads
    QHash<QString, QSet<QString>> m_viewColumns; // lower-case view -> "table.column" it reads
    QHash<QString, QSet<QString>> m_triggerAccesses; // "ACTION\ntable" written by a statement -> access keys
    QSet<QString> m_triggers;
    bool m_administrator = false;
    int m_elevation = 0;
    Phase m_phase = Phase::Idle;
    std::vector<Access> m_accesses;
    std::optional<Denial> m_refused;
};

} // namespace olm::server
