// The journal procedures: one student's rows, creating the rows a curriculum needs, deleting rows into
// del_mark_mag and restoring them with their old ids.
#include "Procedures.h"

#include "Query.h"
#include "SessionPrivate.h"

#include <QRegularExpression>

namespace olm::server {

namespace {

Outcome run(SessionPrivate &session, const QString &sql, const QVariantList &values, qint64 *changes = nullptr)
{
    Query query(session.ownStatements(), sql);
    if (!query.bind(values) || !query.exec())
        return session.failure(query);
    if (changes)
        *changes += query.changes();
    return {};
}

// The journal procedures work on the signed-in user's own groups only.
std::optional<Outcome> refuseForeignGroup(const SessionPrivate &session, const QVariant &group)
{
    if (group.isNull() || session.mayGroup(group.toLongLong()))
        return std::nullopt;
    return Outcome::failure(QStringLiteral("The group %1 is not one of your groups; nothing was changed.").arg(group.toLongLong()));
}

Outcome withRows(qint64 rows)
{
    Outcome outcome;
    outcome.rowsAffected = rows;
    return outcome;
}

} // namespace

Outcome sortJournal(ProcedureContext &context, const QVariantList &a)
{
    if (auto refused = refuseForeignGroup(context.session, a.at(0)))
        return *refused;
    Query query(context.session.ownStatements(),
                QStringLiteral("SELECT m.primech, m.dopusk_izm, m.id_estimation_other, m.id_mark_mag, m.id_group, "
                               "m.id_student, m.id_examination, m.id_discipline, m.id_estimation, m.id_semester, "
                               "m.id_teacher, m.p35, m.p36, m.id_f_est, m.oper, m.u_date, m.OLM_User, m.OLM_Update "
                               "FROM mark_mag m LEFT JOIN discipline d ON d.id_discipline = m.id_discipline "
                               "WHERE m.id_group = ?1 AND m.id_semester = ?2 AND m.id_student = ?3 "
                               "ORDER BY d.p34, m.id_examination, m.id_mark_mag"));
    query.bind(a);
    ResultSet rows = query.readAll();
    if (!query.ok())
        return context.session.failure(query);
    Outcome outcome;
    outcome.resultSets.push_back(std::move(rows));
    return outcome;
}

// One journal row's trail and change-history entries. The view is the server's own: a client reads it only
// through this call, which names one row, so no statement of a client's reaches the trail or the log itself.
Outcome rowHistory(ProcedureContext &context, const QVariantList &a)
{
    Query query(context.session.ownStatements(),
                QStringLiteral("SELECT source, id_entry, change_date, login, comp, field, old_value, new_value, descr "
                               "FROM row_history WHERE row_id = ?1 ORDER BY change_date, id_entry"));
    query.bind(a);
    ResultSet rows = query.readAll();
    if (!query.ok())
        return context.session.failure(query);
    Outcome outcome;
    outcome.resultSets.push_back(std::move(rows));
    return outcome;
}

Outcome insertJournalRows(ProcedureContext &context, const QVariantList &a)
{
    SessionPrivate &session = context.session;
    if (auto refused = refuseForeignGroup(session, a.at(0)))
        return *refused;
    if (a.at(0).isNull() || a.at(1).isNull() || a.at(2).isNull())
        return Outcome::failure(QStringLiteral("InsertInto_SORT_MARK_MAG_2 needs a group, a semester and a student."));
    const int mode = a.at(3).toInt();
    if (a.at(3).isNull() || (mode != 0 && mode != 1))
        return Outcome::failure(QStringLiteral("The fourth argument of InsertInto_SORT_MARK_MAG_2 must be 0 or 1."));
    Query member(session.ownStatements(), QStringLiteral("SELECT 1 FROM group_student WHERE id_group = ? AND id_student = ?"));
    member.bind({a.at(0), a.at(2)});
    if (!member.next()) {
        if (!member.ok())
            return session.failure(member);
        return Outcome::failure(QStringLiteral("The student %1 is not in the group %2.").arg(a.at(2).toInt()).arg(a.at(0).toInt()));
    }
    if (mode == 0) // 0 only checks the selection
        return withRows(0);
    qint64 created = 0;
    Outcome outcome = run(
        session,
        QStringLiteral("INSERT INTO mark_mag (dopusk_izm, id_group, id_student, id_examination, id_discipline, "
                       "id_semester, id_teacher, u_date, OLM_User, OLM_Update) "
                       "SELECT 0, c.id_group, ?3, c.id_examination, c.id_discipline, c.id_semester, c.id_teacher, "
                       "olm_now(), substr(olm_login(), 1, 20), olm_today() FROM curriculum c "
                       "WHERE c.id_group = ?1 AND c.id_semester = ?2 AND NOT EXISTS (SELECT 1 FROM mark_mag m "
                       "WHERE m.id_group = c.id_group AND m.id_semester = c.id_semester AND m.id_student = ?3 "
                       "AND m.id_discipline = c.id_discipline AND m.id_examination = c.id_examination) "
                       "ORDER BY c.id_discipline, c.id_examination"),
        {a.at(0), a.at(1), a.at(2)}, &created);
    return outcome.ok ? withRows(created) : outcome;
}

Outcome deleteJournalRows(ProcedureContext &context, const QVariantList &a)
{
    const QString list = a.at(0).toString();
    if (list.trimmed().isEmpty())
        return withRows(0);
    static const QRegularExpression wellFormed(QStringLiteral(R"(^\s*(\d{1,9}\s*,\s*)+$)"));
    if (!wellFormed.match(list).hasMatch())
        return Outcome::failure(QStringLiteral("DEL_FROM_MARK_MAG expects row ids each followed by a comma, "
                                               "as in '12,57,301,'; nothing was deleted."));
    qint64 deleted = 0;
    static const QRegularExpression number(QStringLiteral(R"(\d+)"));
    for (auto it = number.globalMatch(list); it.hasNext();) {
        // The archive trigger moves every deleted row to del_mark_mag.
        const Outcome step = run(context.session, QStringLiteral("DELETE FROM mark_mag WHERE id_mark_mag = ?"),
                                 {it.next().captured().toInt()}, &deleted);
        if (!step.ok)
            return step;
    }
    return withRows(deleted);
}

Outcome restoreJournalRows(ProcedureContext &context, const QVariantList &a)
{
    if (auto refused = refuseForeignGroup(context.session, a.at(0)))
        return *refused;
    qint64 restored = 0;
    Outcome outcome = run(
        context.session,
        QStringLiteral("INSERT INTO mark_mag (primech, dopusk_izm, id_estimation_other, id_mark_mag, id_group, "
                       "id_student, id_examination, id_discipline, id_estimation, id_semester, id_teacher, p35, p36, "
                       "id_f_est, oper, u_date, OLM_User, OLM_Update) "
                       "SELECT r.primech, coalesce(r.dopusk_izm, 0), r.id_estimation_other, d.id_mark_mag, d.id_group, "
                       "d.id_student, d.id_examination, d.id_discipline, d.id_estimation, d.id_semester, d.id_teacher, "
                       "d.p35, d.p36, d.id_f_est, d.oper, d.u_date, r.OLM_User, r.OLM_Update "
                       "FROM del_mark_mag d LEFT JOIN srv_deleted_rest r ON r.id_mark_mag = d.id_mark_mag "
                       "WHERE d.id_group = ?1 AND d.id_semester = ?2 AND d.Check_ch = 1 ORDER BY d.id_mark_mag"),
        {a.at(0), a.at(1)}, &restored);
    if (!outcome.ok)
        return outcome;
    outcome = run(context.session,
                  QStringLiteral("DELETE FROM del_mark_mag WHERE id_group = ?1 AND id_semester = ?2 AND Check_ch = 1"),
                  {a.at(0), a.at(1)});
    return outcome.ok ? withRows(restored) : outcome;
}

} // namespace olm::server
