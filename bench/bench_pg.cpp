// A journal load on PostgreSQL through the client's own path (the data module's datasets on the ODBC backend,
// signed in as the demo editor) against the same statements written for PostgreSQL and sent through psql, on a
// generated 500,000-row journal. Run by bench/run-bench-pg.sh, which starts a throwaway cluster.
#include "PgLargeDatabase.h"

#include "app/SignIn.h"
#include "backends/odbc/OdbcBackend.h"
#include "data/Unit1.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/data/Exceptions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using olm::bench::PgCluster;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values.at(values.size() / 2);
}

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(2);
}

// The database role and password the sign-in hands the demo editor, asked of get_user as the client asks.
std::pair<QString, QString> editorCredentials(const PgCluster &cluster)
{
    TADOConnection bootstrap;
    bootstrap.setConnectionString(
        clientConnectionString(cluster.bootUser, cluster.bootPassword, cluster.benchDatabase, cluster.dataSource()));
    TADOQuery answer;
    answer.setConnection(&bootstrap);
    answer.setSQLText(getUserStatement(QStringLiteral("petrova"), DigestHex(QStringLiteral("petrova1")),
                                       QStringLiteral("NULL"), QStringLiteral("127.0.0.1"), QStringLiteral("BENCH")));
    answer.Open();
    return {ShiftChars(answer.Fields().at(0)->AsString()), ShiftChars(answer.Fields().at(1)->AsString())};
}

struct Selection {
    int group;
    int semester;
    int student;
};

// One statement of the load: what the client does for it, and the same for psql.
struct Step {
    QString name;
    std::function<void()> client;
    QString native;
};

// What the journal window sends while the group, the semester and the student are chosen, on the data
// module's own datasets.
std::vector<Step> loadSteps(TDM_YOT &dm, const Selection &s, int loginId)
{
    const QString g = QString::number(s.group), se = QString::number(s.semester), st = QString::number(s.student);
    const auto reopen = [](TADOQuery *query, const QString &sql) {
        query->Close();
        query->setSQLText(sql);
        query->Open();
    };
    return {
        {QStringLiteral("groups (group_form)"),
         [&dm, reopen, loginId] {
             reopen(dm.ADOQ_group, QStringLiteral("SELECT  id_group, p20 FROM group_form where o_z = 1 AND  id_login = ")
                                       + QString::number(loginId) + QStringLiteral(" GROUP BY id_group, p20"));
         },
         QStringLiteral("SELECT id_group, p20 FROM group_form WHERE o_z = 1 AND id_login = %1 GROUP BY id_group, p20;")
             .arg(loginId)},
        {QStringLiteral("semesters (g_sem)"),
         [&dm, reopen, g] {
             reopen(dm.ADOQ_g_sem, QStringLiteral("Select  id_semester, p43, id_rate  from g_sem where  id_group=") + g
                                       + QStringLiteral(" GROUP BY  id_semester, p43, id_rate "));
         },
         QStringLiteral("SELECT id_semester, p43, id_rate FROM g_sem WHERE id_group = %1 GROUP BY id_semester, p43, "
                        "id_rate;").arg(g)},
        {QStringLiteral("students (s_g)"),
         [&dm, reopen, g] {
             reopen(dm.ADOQ_s_fio, QStringLiteral("Select id_student, s_fio from s_g where id_group=") + g
                                       + QStringLiteral(" GROUP BY dbo.s_g.id_student, dbo.s_g.s_fio"));
         },
         QStringLiteral("SELECT id_student, s_fio FROM s_g WHERE id_group = %1 GROUP BY s_g.id_student, s_g.s_fio;").arg(g)},
        {QStringLiteral("marks (est2)"), [&dm, reopen] { reopen(dm.ADOQ_estimation, QStringLiteral("Select * from est2")); },
         QStringLiteral("SELECT * FROM est2;")},
        {QStringLiteral("curriculum (gr_sem_disc_exam)"),
         [&dm, reopen, g, se] {
             reopen(dm.ADOQ_Discipline, QStringLiteral(" SELECT * FROM gr_sem_disc_exam WHERE  id_semester=") + se
                                            + QStringLiteral(" and id_group=") + g);
         },
         QStringLiteral("SELECT * FROM gr_sem_disc_exam WHERE id_semester = %1 AND id_group = %2;").arg(se, g)},
        {QStringLiteral("row creation (InsertInto_SORT_MARK_MAG_2)"),
         [&dm, g, se, st] {
             dm.ADOQ_Exec->setSQLText(QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 ") + g + QLatin1Char(',') + se
                                      + QLatin1Char(',') + st + QLatin1Char(',') + QStringLiteral("1"));
             dm.ADOQ_Exec->ExecSQL();
         },
         QStringLiteral("SELECT * FROM insertinto_sort_mark_mag_2(%1, %2, %3, 1);").arg(g, se, st)},
        {QStringLiteral("journal (SORT_2_MARK_MAG)"),
         [&dm, s] {
             dm.ADO_SP_Sort->Close();
             TParameters *parameters = dm.ADO_SP_Sort->Parameters();
             parameters->Items(1)->Value = s.group;
             parameters->Items(2)->Value = s.semester;
             parameters->Items(3)->Value = s.student;
             dm.ADO_SP_Sort->Open();
         },
         QStringLiteral("SELECT * FROM sort_2_mark_mag(%1, %2, %3);").arg(g, se, st)},
        // The same call through the backend alone: what of the journal's time is the dataset's own.
        {QStringLiteral("  same, backend only (no dataset)"),
         [&dm, s] {
             TADOConnection::check(dm.ADO_YOT->backend().callProcedure(QStringLiteral("SORT_2_MARK_MAG;1"),
                                                                      {s.group, s.semester, s.student}, 120));
         },
         QStringLiteral("SELECT * FROM sort_2_mark_mag(%1, %2, %3);").arg(g, se, st)},
        {QStringLiteral("speciality (g_s)"),
         [&dm, reopen, g] { reopen(dm.ADOQ_g_s, QStringLiteral("Select * from g_s where id_group=") + g); },
         QStringLiteral("SELECT * FROM g_s WHERE id_group = %1;").arg(g)},
        {QStringLiteral("year (g_r_y)"),
         [&dm, reopen, g] {
             reopen(dm.ADOQ_Year, QStringLiteral("Select top (1) g_r_y.* from g_r_y  where id_group=") + g
                                      + QStringLiteral(" and id_rate=1"));
         },
         QStringLiteral("SELECT g_r_y.* FROM g_r_y WHERE id_group = %1 AND id_rate = 1 LIMIT 1;").arg(g)},
        {QStringLiteral("special marks (EstimationOther)"),
         [&dm] {
             TADOQuery *marks = dm.ADOQ_EstimationOther;
             marks->Close();
             marks->Parameters()->ParamByName(QStringLiteral("id_speciality"))->Value = 1;
             marks->Open();
         },
         QStringLiteral("SELECT estimationother.* FROM estimationother, com_sfe WHERE estimationother.id_ebe_var = "
                        "com_sfe.id_ebe_var AND com_sfe.id_speciality = 1;")},
    };
}

double clientMicroseconds(const std::function<void()> &work, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e3);
    }
    return median(times);
}

// psql's own time of each statement (\timing: sent to answered, printing left out), median over the runs.
double nativeMicroseconds(const PgCluster &cluster, const QString &role, const QString &password,
                          const QString &statement, int runs)
{
    QString script = QStringLiteral("\\o /dev/null\n\\timing on\n");
    for (int i = 0; i < runs; ++i)
        script += statement + QLatin1Char('\n');
    QString output;
    if (!cluster.psql(cluster.benchDatabase, role, password, script.toUtf8(), &output))
        fail(QStringLiteral("psql: %1\n%2").arg(statement, output));
    static const QRegularExpression time(QStringLiteral("^Time: ([0-9.]+) ms"), QRegularExpression::MultilineOption);
    std::vector<double> times;
    for (auto match = time.globalMatch(output); match.hasNext();)
        times.push_back(match.next().captured(1).toDouble() * 1e3);
    if (int(times.size()) != runs)
        fail(QStringLiteral("psql timed %1 of %2 runs of %3:\n%4").arg(times.size()).arg(runs).arg(statement, output));
    return median(times);
}

void compare(const char *label, TDM_YOT &dm, const PgCluster &cluster, const std::pair<QString, QString> &role,
             const Selection &selection, int loginId, int runs)
{
    std::printf("\n%s (group %d, semester %d, student %d), median of %d runs\n", label, selection.group,
                selection.semester, selection.student, runs);
    std::printf("| %-42s | %10s | %10s | %6s |\n", "statement", "client µs", "psql µs", "ratio");
    std::printf("|%s|%s|%s|%s|\n", "--------------------------------------------", "------------", "------------",
                "--------");
    double clientTotal = 0, nativeTotal = 0;
    for (const Step &step : loadSteps(dm, selection, loginId)) {
        const double client = clientMicroseconds(step.client, runs);
        const double native = nativeMicroseconds(cluster, role.first, role.second, step.native, runs);
        if (!step.name.startsWith(QLatin1Char(' '))) {
            clientTotal += client;
            nativeTotal += native;
        }
        std::printf("| %-42s | %10.1f | %10.1f | %6.2f |\n", qPrintable(step.name), client, native, client / native);
    }
    std::printf("| %-42s | %10.1f | %10.1f | %6.2f |\n", "whole load", clientTotal, nativeTotal, clientTotal / nativeTotal);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    registerOdbcBackend();
    PgCluster cluster;
    QString error;
    if (!cluster.fromEnvironment(&error))
        fail(error);
    QElapsedTimer generation;
    generation.start();
    olm::bench::PgLargeDatabase facts;
    if (!olm::bench::preparePgLargeDatabase(cluster, &facts, &error))
        fail(error);
    std::printf("database %s with %lld journal rows ready in %.1f s\n", qPrintable(cluster.benchDatabase),
                facts.journalRows, generation.elapsed() / 1e3);

    try {
        const std::pair<QString, QString> role = editorCredentials(cluster);
        TDM_YOT dm;
        dm.ADO_YOT->setConnectionString(clientConnectionString(role.first, role.second, cluster.benchDatabase,
                                                               cluster.dataSource()));
        dm.ADO_YOT->Open();
        dm.ADO_YOT->Execute(QStringLiteral("SET DATEFORMAT dmy"));
        compare("12-row journal", dm, cluster, role, {facts.smallGroup, facts.smallSemester, facts.smallStudent},
                facts.editorId, 101);
        compare("5,000-row journal", dm, cluster, role, {facts.bigGroup, facts.bigSemester, facts.bigStudent},
                facts.editorId, 11);
    } catch (const Exception &e) {
        fail(e.Message);
    }
    return 0;
}
