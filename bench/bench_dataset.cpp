// Timing of the dataset layer against a bare QSqlQuery loop over the same rows, measured in one run: opening
// a 10,000-row result, scrolling it, and looking up 10,000 values in a 2,000-row list.
#include "backends/embedded/EmbeddedBackend.h"
#include "server/Database.h"
#include "server/Session.h"
#include "toolkit/data/ADODB.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

constexpr int JournalRows = 10000;
constexpr int ListRows = 2000;
constexpr int Rounds = 5;

/// Best of several rounds, in milliseconds.
double best(const std::function<void()> &work, int rounds = Rounds)
{
    double fastest = 1e100;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        fastest = std::min(fastest, timer.nsecsElapsed() / 1e6);
    }
    return fastest;
}

bool fill(olm::server::Administration &admin, QString *error)
{
    return admin.inTransaction([&](QString *why) {
        for (int i = 1; i <= ListRows; ++i) {
            const auto o = admin.execute(QStringLiteral("INSERT INTO t_fio (id_teacher, t_fio) VALUES (?, ?)"),
                                         {i, QStringLiteral("Преподаватель %1").arg(i)});
            if (!o.ok) {
                *why = o.error;
                return false;
            }
        }
        for (int i = 1; i <= JournalRows; ++i) {
            const auto o = admin.execute(
                QStringLiteral("INSERT INTO mark_mag (primech, dopusk_izm, id_group, id_student, id_examination, "
                               "id_discipline, id_estimation, id_semester, id_teacher, p35, p36, id_f_est) "
                               "VALUES (?, 0, 1, ?, 1, ?, 13, 1, ?, ?, ?, 1)"),
                {QStringLiteral("д"), i % 50 + 1, i % 13 + 1, (i * 7919) % ListRows + 1, QString::number(100 + i),
                 QDateTime(QDate(2024, 1, 10).addDays(i % 20), QTime(0, 0))});
            if (!o.ok) {
                *why = o.error;
                return false;
            }
        }
        return true;
    }, error);
}

void report(const char *what, double ms, double bare)
{
    std::printf("%-46s %9.2f ms   %5.2f x the bare loop\n", what, ms, ms / bare);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerEmbeddedBackend();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("bench.sqlite"));
    QString error;
    if (!olm::server::createDatabase(path, false, &error)) {
        std::fprintf(stderr, "createDatabase: %s\n", qPrintable(error));
        return 1;
    }
    auto admin = olm::server::Administration::open(path, &error);
    if (!admin || !admin->addUser(QStringLiteral("bench"), QStringLiteral("bench1"), olm::server::Role::Editor, &error)
        || !fill(*admin, &error)) {
        std::fprintf(stderr, "filling: %s\n", qPrintable(error));
        return 1;
    }
    const auto password = admin->execute(QStringLiteral("SELECT password FROM srv_db_logins WHERE name = 'bench'"));
    admin.reset();

    const QString sql = QStringLiteral("select * from mark_mag");
    QSqlDatabase bareDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare"));
    bareDb.setDatabaseName(path);
    bareDb.open();
    auto bareLoop = [&] {
        QSqlQuery q(bareDb);
        q.setForwardOnly(true);
        q.exec(sql);
        const int columns = q.record().count();
        std::vector<QVariantList> rows;
        while (q.next()) {
            QVariantList row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c)
                row.append(q.value(c));
            rows.push_back(std::move(row));
        }
        if (rows.size() != size_t(JournalRows))
            std::fprintf(stderr, "the bare loop read %zu rows\n", rows.size());
    };

    const QString login = password.firstResult()->rows.front().front().toString();
    auto session = olm::server::Session::open(path, QStringLiteral("bench"), login, &error);
    TADOConnection connection;
    connection.setConnectionString(
        QStringLiteral("Provider=SQLOLEDB.1;Password=%1;User ID=bench;Initial Catalog=%2;Data Source=embedded").arg(login, path));
    connection.Open();
    TADOQuery journal;
    journal.setConnection(&connection);
    journal.setSQLText(sql);

    // Interleaved, so that the machine's load falls on all three alike.
    double bare = 1e100, server = 1e100, open = 1e100;
    for (int round = 0; round < 3 * Rounds; ++round) {
        bare = std::min(bare, best(bareLoop, 1));
        server = std::min(server, best([&] { session->execute(sql); }, 1));
        open = std::min(open, best([&] {
            journal.Close();
            journal.Open();
        }, 1));
    }
    if (journal.RecordCount() != JournalRows)
        std::fprintf(stderr, "the dataset read %d rows\n", journal.RecordCount());

    qint64 checksum = 0;
    const double scroll = best([&] {
        for (journal.First(); !journal.Eof(); journal.Next())
            for (TField *field : journal.Fields())
                checksum += field->Value().isNull() ? 0 : 1;
    });

    TADOQuery teachers;
    teachers.setConnection(&connection);
    teachers.setSQLText(QStringLiteral("select * from t_fio"));
    teachers.Open();
    TADOQuery looked;
    looked.setConnection(&connection);
    looked.setSQLText(QStringLiteral("select id_mark_mag, id_teacher from mark_mag"));
    looked.AddField(QStringLiteral("id_mark_mag"), ftAutoInc);
    looked.AddField(QStringLiteral("id_teacher"), ftInteger);
    TField *teacher = looked.AddLookupField(QStringLiteral("teacher"), ftString, 60, QStringLiteral("id_teacher"),
                                            &teachers, QStringLiteral("id_teacher"), QStringLiteral("t_fio"));
    looked.Open();
    int found = 0;
    const double lookups = best([&] {
        for (looked.First(); !looked.Eof(); looked.Next())
            found += teacher->AsString().isEmpty() ? 0 : 1;
    });
    // The same lookups after every change of the list's rows: the index is rebuilt once per change.
    const double rebuilt = best([&] {
        teachers.Refresh();
        for (looked.First(); !looked.Eof(); looked.Next())
            found += teacher->AsString().isEmpty() ? 0 : 1;
    });
    // What a linear scan of the list would cost for the same keys.
    const double linear = best([&] {
        for (looked.First(); !looked.Eof(); looked.Next()) {
            const QVariant key = looked.Fields().at(1)->Value();
            for (teachers.First(); !teachers.Eof(); teachers.Next())
                if (teachers.Fields().at(0)->Value() == key) {
                    ++found;
                    break;
                }
        }
    });

    journal.Close();
    bareDb.close();
    std::printf("%d rows, %d-row list; best of %d interleaved rounds for the first three, of %d for the rest "
                "(checksum %lld, %d lookups hit)\n",
                JournalRows, ListRows, 3 * Rounds, Rounds, checksum, found);
    report("bare QSqlQuery loop over the rows", bare, bare);
    report("the server's answer alone (Session::execute)", server, bare);
    report("open (TADOQuery::Open)", open, bare);
    report("scroll, reading every field", scroll, bare);
    report("10,000 lookups in the 2,000-row list", lookups, bare);
    report("the same after re-reading the list", rebuilt, bare);
    report("(a linear scan of the list, for comparison)", linear, bare);
    return 0;
}
