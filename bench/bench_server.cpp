// The server's answer against bare SQLite on the large database: each contract statement through a client
// session and the same SQL through the SQLite C API in this process, interleaved, median of many calls; then
// the whole student step for a 12-row and a 5,000-row journal. Run by hand: bench_server [DATABASE].
#include "LargeDatabase.h"

#include "server/Session.h"
#include "server/SqlFunctions.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using olm::server::Outcome;
using olm::server::Session;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values.at(values.size() / 2);
}

double timed(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e3; // microseconds
}

// Prepares, binds integers, steps through every row reading each value, finalizes: what any caller pays.
class Bare {
public:
    explicit Bare(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        olm::server::registerFunctions(m_db, &m_facts);
        sqlite3_busy_timeout(m_db, 5000);
        // The server's own connection settings, so that a commit costs the same on both sides.
        sqlite3_exec(m_db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "PRAGMA recursive_triggers=OFF", nullptr, nullptr, nullptr);
    }
    ~Bare() { sqlite3_close(m_db); }
    Bare(const Bare &) = delete;
    Bare &operator=(const Bare &) = delete;

    int run(const char *sql, std::initializer_list<qint64> values = {})
    {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "bare: %s\n", sqlite3_errmsg(m_db));
            std::exit(2);
        }
        int index = 0;
        for (const qint64 value : values)
            sqlite3_bind_int64(stmt, ++index, value);
        int rows = 0;
        qint64 sink = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            ++rows;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                if (sqlite3_column_type(stmt, i) == SQLITE_TEXT)
                    sink += sqlite3_column_bytes(stmt, i);
                else
                    sink += sqlite3_column_int64(stmt, i);
            }
        }
        sqlite3_finalize(stmt);
        m_sink += sink;
        return rows;
    }

private:
    olm::server::SessionFacts m_facts{QStringLiteral("bench"), {}, {}};
    sqlite3 *m_db = nullptr;
    qint64 m_sink = 0;
};

void check(const Outcome &outcome, const char *what)
{
    if (!outcome.ok) {
        std::fprintf(stderr, "%s: %s\n", what, qPrintable(outcome.error));
        std::exit(2);
    }
}

struct Case {
    const char *name;
    std::function<void()> server;
    std::function<void()> bare;
};

void compare(const Case &c, int calls)
{
    std::vector<double> server, bare;
    for (int i = 0; i < calls; ++i) {
        server.push_back(timed(c.server));
        bare.push_back(timed(c.bare));
    }
    const double s = median(server), b = median(bare);
    std::printf("| %-34s | %10.1f | %10.1f | %6.2f |\n", c.name, s, b, s / b);
}

const char *const journalColumns =
    "m.primech, m.dopusk_izm, m.id_estimation_other, m.id_mark_mag, m.id_group, m.id_student, m.id_examination, "
    "m.id_discipline, m.id_estimation, m.id_semester, m.id_teacher, m.p35, m.p36, m.id_f_est, m.oper, m.u_date, "
    "m.OLM_User, m.OLM_Update";

// What choosing a student costs: create the missing rows, load the journal, scan it for duplicate keys.
double studentStep(Session &session, int group, int semester, int student, int *rows)
{
    return timed([&] {
        check(session.execute(QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 %1,%2,%3,1").arg(group).arg(semester).arg(student)),
              "InsertInto_SORT_MARK_MAG_2");
        const Outcome journal = session.callProcedure(QStringLiteral("SORT_2_MARK_MAG;1"), {group, semester, student});
        check(journal, "SORT_2_MARK_MAG");
        QSet<QPair<int, int>> seen;
        int duplicates = 0;
        for (const QVariantList &row : journal.firstResult()->rows) {
            const QPair<int, int> key(row.at(7).toInt(), row.at(6).toInt());
            duplicates += seen.contains(key) ? 1 : 0;
            seen.insert(key);
        }
        *rows = int(journal.firstResult()->rows.size());
        if (duplicates > 0)
            std::printf("(%d duplicate keys)\n", duplicates);
    });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString path = app.arguments().value(1, QDir::temp().filePath(QStringLiteral("olm-bench-large.sqlite")));
    olm::bench::LargeDatabase facts;
    QString error;
    QElapsedTimer generation;
    generation.start();
    if (!olm::bench::prepareLargeDatabase(path, &facts, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    std::printf("database %s ready in %.1f s\n", qPrintable(path), generation.elapsed() / 1e3);

    auto session = Session::open(path, facts.login, facts.password, &error);
    if (!session) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    check(session->execute(QStringLiteral("SET DATEFORMAT dmy")), "SET DATEFORMAT");
    Bare bare(path);
    const Outcome who = session->execute(QStringLiteral("SELECT id_login FROM group_form WHERE id_group = 1"));
    check(who, "group_form");
    const qint64 userId = who.firstResult()->rows.at(0).at(0).toLongLong();
    const int g = facts.smallGroup, s = facts.smallSemester, st = facts.smallStudent;
    const Outcome rows = session->callProcedure(QStringLiteral("SORT_2_MARK_MAG"), {g, s, st});
    check(rows, "SORT_2_MARK_MAG");
    const qint64 rowA = rows.firstResult()->rows.at(0).at(3).toLongLong();
    const qint64 rowB = rows.firstResult()->rows.at(1).at(3).toLongLong();
    int serverMark = 1, bareMark = 1;
    const QString n = QString::number(g);

    const QByteArray sortSql = QByteArray("SELECT ") + journalColumns
        + " FROM mark_mag m LEFT JOIN discipline d ON d.id_discipline = m.id_discipline WHERE m.id_group = ?1 "
          "AND m.id_semester = ?2 AND m.id_student = ?3 ORDER BY d.p34, m.id_examination, m.id_mark_mag";
    const QByteArray rereadSql = QByteArray("SELECT primech, dopusk_izm, id_estimation_other, id_mark_mag, id_group, "
                                            "id_student, id_examination, id_discipline, id_estimation, id_semester, "
                                            "id_teacher, p35, p36, id_f_est, oper, u_date, OLM_User, OLM_Update "
                                            "FROM mark_mag WHERE id_mark_mag = ?");
    const QString rereadText = QStringLiteral("SELECT [primech], [dopusk_izm], [id_estimation_other], [id_mark_mag], "
                                              "[id_group], [id_student], [id_examination], [id_discipline], "
                                              "[id_estimation], [id_semester], [id_teacher], [p35], [p36], [id_f_est], "
                                              "[oper], [u_date], [OLM_User], [OLM_Update] FROM [mark_mag] WHERE "
                                              "[id_mark_mag] = ?");
    const std::vector<Case> cases{
        {"groups (group_form)",
         [&] { check(session->execute(QStringLiteral("SELECT  id_group, p20 FROM group_form where o_z = 1 AND  id_login = %1").arg(userId)), "groups"); },
         [&] { bare.run("SELECT id_group, p20 FROM group_form WHERE o_z = 1 AND id_login = ?", {userId}); }},
        {"semesters (g_sem)",
         [&] { check(session->execute(QStringLiteral("Select  id_semester, p43, id_rate  from g_sem where  id_group=") + n + QStringLiteral(" GROUP BY  id_semester, p43, id_rate ")), "semesters"); },
         [&] { bare.run("SELECT id_semester, p43, id_rate FROM g_sem WHERE id_group = ? GROUP BY id_semester, p43, id_rate", {g}); }},
        {"students (s_g)",
         [&] { check(session->execute(QStringLiteral("Select id_student, s_fio from s_g where id_group=") + n + QStringLiteral(" GROUP BY dbo.s_g.id_student, dbo.s_g.s_fio")), "students"); },
         [&] { bare.run("SELECT id_student, s_fio FROM s_g WHERE id_group = ? GROUP BY s_g.id_student, s_g.s_fio", {g}); }},
        {"curriculum (gr_sem_disc_exam)",
         [&] { check(session->execute(QStringLiteral(" SELECT * FROM gr_sem_disc_exam WHERE  id_semester=1 and id_group=") + n), "curriculum"); },
         [&] { bare.run("SELECT * FROM gr_sem_disc_exam WHERE id_semester = 1 AND id_group = ?", {g}); }},
        {"speciality (g_s)",
         [&] { check(session->execute(QStringLiteral("Select * from g_s where id_group=") + n), "g_s"); },
         [&] { bare.run("SELECT * FROM g_s WHERE id_group = ?", {g}); }},
        {"year (g_r_y)",
         [&] { check(session->execute(QStringLiteral("Select top (1) g_r_y.* from g_r_y  where id_group=") + n + QStringLiteral(" and id_rate=1")), "g_r_y"); },
         [&] { bare.run("SELECT g_r_y.* FROM g_r_y WHERE id_group = ? AND id_rate = 1 LIMIT 1", {g}); }},
        {"SORT_2_MARK_MAG, 12 rows",
         [&] { check(session->callProcedure(QStringLiteral("SORT_2_MARK_MAG;1"), {g, s, st}), "SORT_2_MARK_MAG"); },
         [&] { bare.run(sortSql.constData(), {g, s, st}); }},
        {"write-back UPDATE",
         [&] {
             const int old = serverMark;
             serverMark = old % 5 + 1;
             check(session->execute(QStringLiteral("UPDATE [mark_mag] SET [id_estimation] = ? WHERE [id_mark_mag] = ? AND [id_estimation] = ?"),
                                    {serverMark, rowA, old}), "UPDATE");
         },
         [&] {
             const int old = bareMark;
             bareMark = old % 5 + 1;
             bare.run("UPDATE mark_mag SET id_estimation = ? WHERE id_mark_mag = ? AND id_estimation = ?", {bareMark, rowB, old});
         }},
        {"re-read of the row",
         [&] { check(session->execute(rereadText, {rowA}), "re-read"); },
         [&] { bare.run(rereadSql.constData(), {rowB}); }},
        {"OLM_LOG insert",
         [&] { check(session->execute(QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES('mark_mag', %1, 'Оценка: было ''4'', стало ''5''', 'bench', 'PC-01\\10.0.0.7')").arg(rowA)), "OLM_LOG"); },
         [&] { bare.run("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES('mark_mag', ?, 'Оценка: было ''4'', стало ''5''', 'bench', 'PC-01\\10.0.0.7')", {rowB}); }},
    };
    // Bring both writers' rows to a known mark before the UPDATE case alternates them.
    check(session->execute(QStringLiteral("UPDATE mark_mag SET id_estimation = 1 WHERE id_mark_mag IN (?, ?)"), {rowA, rowB}), "reset");

    std::printf("| %-34s | %10s | %10s | %6s |\n", "statement", "server µs", "bare µs", "ratio");
    std::printf("|%s|%s|%s|%s|\n", "------------------------------------", "------------", "------------", "--------");
    for (const Case &c : cases)
        compare(c, 301);

    for (const auto &[label, group, semester, student, runs] :
         {std::tuple{"student step, 12-row journal", facts.smallGroup, facts.smallSemester, facts.smallStudent, 101},
          std::tuple{"student step, 5,000-row journal", facts.bigGroup, facts.bigSemester, facts.bigStudent, 5}}) {
        std::vector<double> times;
        int journalRows = 0;
        for (int i = 0; i < runs; ++i)
            times.push_back(studentStep(*session, group, semester, student, &journalRows));
        std::printf("%s (%d rows): median %.2f ms\n", label, journalRows, median(times) / 1e3);
    }
    return 0;
}
