// Sign-in user records.
#include "Users.h"

#include "Clock.h"
#include "Config.h"
#include "Database.h"
#include "DateText.h"
#include "Password.h"
#include "Query.h"
#include "Schema.h"

namespace olm::server {

std::optional<UserRecord> findUser(sqlite3 *db, const QString &login, QString *error)
{
    Query query(db, QStringLiteral("SELECT id_login, login, verifier, password_changed, blocked_message, db_login "
                                   "FROM srv_users WHERE login = ?"));
    query.bind({login});
    if (!query.next()) {
        if (!query.ok())
            *error = query.errorMessage();
        return std::nullopt;
    }
    return UserRecord{query.value(0).toInt(), query.value(1).toString(), query.value(2).toString(),
                      query.value(3).toDate(), query.value(4).toString(), query.value(5).toString()};
}

int passwordDaysLeft(sqlite3 *db, const QDate &changed)
{
    if (!changed.isValid())
        return -1;
    const int maxAge = configValue(db, passwordAgeKey, QStringLiteral("90")).toInt();
    return int(maxAge - changed.daysTo(serverNow().date()));
}

bool isReservedLogin(const QString &login)
{
    return login.compare(QLatin1String(administratorLogin), Qt::CaseInsensitive) == 0
        || login.compare(QLatin1String(bootstrapLogin), Qt::CaseInsensitive) == 0;
}

namespace {

const QStringList &clientRelations()
{
    static const QStringList relations{
        QStringLiteral("group"), QStringLiteral("g_sem"), QStringLiteral("s_fio"), QStringLiteral("s_g"),
        QStringLiteral("t_fio"), QStringLiteral("gr_sem_disc_exam"), QStringLiteral("est2"), QStringLiteral("f_est"),
        QStringLiteral("EstimationOther"), QStringLiteral("com_sfe"), QStringLiteral("g_s"), QStringLiteral("g_r_y"),
        QStringLiteral("semester"), QStringLiteral("examination"), QStringLiteral("educ_sh"),
        QStringLiteral("discipline"), QStringLiteral("del_mark_mag"), QStringLiteral("mark_mag"),
        QStringLiteral("group_form")};
    return relations;
}

} // namespace

QList<std::pair<QString, QString>> roleGrants(Role role)
{
    QList<std::pair<QString, QString>> grants;
    for (const QString &relation : clientRelations())
        grants.append({relation, QStringLiteral("SELECT")});
    grants.append({QStringLiteral("SORT_2_MARK_MAG"), QStringLiteral("EXECUTE")});
    grants.append({QStringLiteral("ROW_HISTORY"), QStringLiteral("EXECUTE")});
    // The journal window creates a selection's rows before every load, readers included.
    grants.append({QStringLiteral("InsertInto_SORT_MARK_MAG_2"), QStringLiteral("EXECUTE")});
    if (role == Role::Editor) {
        grants.append({QStringLiteral("mark_mag"), QStringLiteral("UPDATE")});
        grants.append({QStringLiteral("mark_mag"), QStringLiteral("DELETE")});
        grants.append({QStringLiteral("del_mark_mag"), QStringLiteral("UPDATE")});
        grants.append({QStringLiteral("OLM_LOG"), QStringLiteral("INSERT")});
        grants.append({QStringLiteral("DEL_FROM_MARK_MAG"), QStringLiteral("EXECUTE")});
        grants.append({QStringLiteral("CTRL_Z_Mark_mag"), QStringLiteral("EXECUTE")});
    }
    return grants;
}

bool storePasswordDigest(sqlite3 *db, int userId, const QString &digest, QString *error)
{
    Query query(db, QStringLiteral("UPDATE srv_users SET verifier = ?, password_changed = ? WHERE id_login = ?"));
    if (query.bind({makeVerifier(digest), storedDate(serverNow().date()), userId}) && query.exec())
        return true;
    *error = query.errorMessage();
    return false;
}

} // namespace olm::server
