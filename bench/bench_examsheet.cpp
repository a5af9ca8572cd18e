// Timing of opening an examination sheet of 40 students on a database of 500,000 journal rows, against the same
// rows read with one bare query through the server session and with raw SQLite, measured in one run.
#include "LargeDatabase.h"
#include "backends/embedded/EmbeddedBackend.h"

#include "data/log_u.h"
#include "journal/ExamSheetRows.h"
#include "journal/LogWriters.h"
#include "platform/IdIPWatch.h"
#include "server/Collations.h"
#include "server/Session.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/data/Backend.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <functional>

namespace {

constexpr int SheetStudents = 40;
constexpr int JournalRows = 500000;
constexpr int Rounds = 5;

double best(const std::function<void()> &work)
{
    double fastest = 1e100;
    for (int i = 0; i < Rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        fastest = std::min(fastest, timer.nsecsElapsed() / 1e6);
    }
    return fastest;
}

const char *const SheetQuery =
    "SELECT m.*, s.s_fio FROM mark_mag m JOIN s_g s ON s.id_group = m.id_group AND s.id_student = m.id_student "
    "WHERE m.id_group = ?1 AND m.id_semester = ?2 AND m.id_discipline = ?3 AND m.id_examination = ?4 "
    "ORDER BY s.s_fio, m.id_mark_mag";

struct RawDatabase {
    sqlite3 *db = nullptr;
    explicit RawDatabase(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        // The server's own collations: rows written here must sit in its indexes' order.
        sqlite3_create_collation(db, "OLM_CI", SQLITE_UTF8, nullptr, olm::server::textCompare);
        sqlite3_create_collation(db, "OLM_DT", SQLITE_UTF8, nullptr, olm::server::dateCompare);
    }
    ~RawDatabase() { sqlite3_close(db); }
    bool exec(const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    int integer(const char *sql)
    {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        const int value = stmt && sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        return value;
    }
};

// Group 1 grown to 40 students (the new ones without rows: the first opening makes them), and the journal
// topped up to 500,000 rows with copies of other groups' rows.
bool shapeSheetDatabase(const QString &path, QString *error)
{
    RawDatabase raw(path);
    const int members = raw.integer("SELECT COUNT(*) FROM group_student WHERE id_group = 1");
    bool ok = raw.exec("BEGIN");
    int next = raw.integer("SELECT MAX(id_student) FROM s_fio") + 1;
    for (int i = members; ok && i < SheetStudents; ++i, ++next) {
        const QByteArray insert = QStringLiteral("INSERT INTO s_fio (id_student, s_fio) VALUES (%1, 'Я-студент %1'); "
                                                 "INSERT INTO group_student (id_group, id_student) VALUES (1, %1);")
                                      .arg(next).toUtf8();
        ok = raw.exec(insert.constData());
    }
    const int rows = raw.integer("SELECT COUNT(*) FROM mark_mag");
    if (ok && rows < JournalRows) {
        const QByteArray fill =
            QStringLiteral("INSERT INTO mark_mag (dopusk_izm, id_group, id_student, id_examination, id_discipline, "
                           "id_estimation, id_semester, id_teacher, p35, p36, id_f_est, oper, u_date) "
                           "SELECT dopusk_izm, id_group, id_student, id_examination, id_discipline, id_estimation, "
                           "id_semester, id_teacher, p35, p36, id_f_est, oper, u_date FROM mark_mag WHERE id_group > 1 "
                           "LIMIT %1")
                .arg(JournalRows - rows)
                .toUtf8();
        ok = raw.exec(fill.constData());
    }
    ok = ok && raw.exec("COMMIT");
    if (!ok)
        *error = QString::fromUtf8(sqlite3_errmsg(raw.db));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerEmbeddedBackend();
    const QString source =
        QFileInfo(app.arguments().value(1, QDir::temp().filePath(QStringLiteral("olm-bench-large.sqlite"))))
            .absoluteFilePath();
    olm::bench::LargeDatabase facts;
    QString error;
    if (!olm::bench::prepareLargeDatabase(source, &facts, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    // The sheet's shape is made on a copy, so the shared database stays as the other benchmarks expect it.
    QTemporaryDir folder;
    const QString copy = QStringLiteral("olm-bench-sheet.sqlite");
    QDir::setCurrent(folder.path());
    setEmbeddedDataFolder(folder.path());
    if (!QFile::copy(source, copy) || !shapeSheetDatabase(copy, &error)) {
        std::fprintf(stderr, "cannot shape the sheet database: %s\n", qPrintable(error));
        return 1;
    }
    RawDatabase raw(copy);
    const int group = 1, semester = 1;
    const int discipline = raw.integer("SELECT id_discipline FROM curriculum WHERE id_group = 1 AND id_semester = 1 "
                                       "ORDER BY id_discipline LIMIT 1");
    const int examination = raw.integer(QStringLiteral("SELECT id_examination FROM curriculum WHERE id_group = 1 AND "
                                                       "id_semester = 1 AND id_discipline = %1 LIMIT 1")
                                            .arg(discipline).toUtf8().constData());
    std::printf("mark_mag rows: %d, students of the group: %d\n", raw.integer("SELECT COUNT(*) FROM mark_mag"),
                raw.integer("SELECT COUNT(*) FROM group_student WHERE id_group = 1"));

    TADOConnection connection;
    connection.setConnectionString(
        QStringLiteral("Provider=SQLOLEDB.1;Password=") + facts.password + QStringLiteral(";User ID=") + facts.login
        + QStringLiteral(";Initial Catalog=") + copy + QStringLiteral(";Data Source=embedded;"));
    TADOQuery exec;
    exec.setConnection(&connection);
    TIdIPWatch watch;
    const QString login = facts.login;
    const QString computer = QStringLiteral("BENCH");
    TJournalHistoryWriters writers(login, computer, watch, exec);
    ExamSheetRows sheet(&connection, writers);
    ExamSheetSelection selection;
    selection.group = group;
    selection.semester = semester;
    selection.discipline = discipline;
    selection.examination = examination;

    QElapsedTimer first;
    first.start();
    try {
        sheet.open(selection);
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "opening the sheet failed: %s\n", failure.what());
        return 1;
    }
    std::printf("first opening (rows made for the students without any): %.1f ms, %d lines\n",
                first.nsecsElapsed() / 1e6, sheet.count());
    const double opening = best([&] { sheet.open(selection); });

    auto session = olm::server::Session::open(copy, facts.login, facts.password, &error);
    if (!session) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QVariantList keys = {group, semester, discipline, examination};
    int bareRows = 0;
    const double bare = best([&] {
        const olm::server::Outcome outcome = session->execute(QString::fromLatin1(SheetQuery), keys);
        bareRows = outcome.firstResult() ? int(outcome.firstResult()->rows.size()) : -1;
    });
    int rawRows = 0;
    const double rawTime = best([&] {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(raw.db, SheetQuery, -1, &stmt, nullptr) != SQLITE_OK)
            std::fprintf(stderr, "raw query: %s\n", sqlite3_errmsg(raw.db));
        for (int i = 0; i < 4; ++i)
            sqlite3_bind_int(stmt, i + 1, keys.at(i).toInt());
        rawRows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            ++rawRows;
        sqlite3_finalize(stmt);
    });
    std::printf("sheet opening (best of %d): %.2f ms for %d lines\n", Rounds, opening, sheet.count());
    std::printf("bare query through the server session: %.2f ms for %d rows (ratio %.2f)\n", bare, bareRows,
                opening / bare);
    std::printf("bare query on raw SQLite: %.2f ms for %d rows (ratio %.2f)\n", rawTime, rawRows, opening / rawTime);
    return 0;
}
