// Generation of the benchmark's large database: catalogues, curriculum and journal written straight through
// SQLite in one transaction, from a fixed pseudo-random sequence so that every run makes the same file.
#include "LargeDatabase.h"

#include "server/Database.h"
#include "server/SqlFunctions.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>
#include <memory>

namespace olm::bench {

namespace {

constexpr int Groups = 205;            // the last one is the group of the 5,000-row journal
constexpr int Semesters = 8;
constexpr int Students = 5020;
constexpr int BigGroupStudents = 20;
constexpr int Disciplines = 1250;
constexpr int Examinations = 4;
constexpr int Teachers = 400;
constexpr int CurriculumRows = 12;     // of an ordinary group and semester
constexpr int LogRows = 1000000;

struct Generator {
    quint64 state = 0x2016;
    int next(int bound)
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return int((state >> 33) % quint64(bound));
    }
};

struct CloseDatabase {
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

class Writer {
public:
    explicit Writer(sqlite3 *db) : m_db(db) {}
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }

    bool exec(const char *sql)
    {
        if (m_ok && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail();
        return m_ok;
    }
    Statement prepare(const char *sql)
    {
        sqlite3_stmt *stmt = nullptr;
        if (m_ok && sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            fail();
        return Statement(stmt);
    }
    // Binds ints and texts in order (nullptr text binds NULL), runs and resets.
    template <typename... Values>
    bool row(const Statement &stmt, Values... values)
    {
        if (!m_ok)
            return false;
        int index = 0;
        (bindOne(stmt.get(), ++index, values), ...);
        if (sqlite3_step(stmt.get()) != SQLITE_DONE)
            fail();
        sqlite3_reset(stmt.get());
        return m_ok;
    }

private:
    static void bindOne(sqlite3_stmt *stmt, int index, int value) { sqlite3_bind_int(stmt, index, value); }
    static void bindOne(sqlite3_stmt *stmt, int index, const char *value)
    {
        if (value)
            sqlite3_bind_text(stmt, index, value, -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(stmt, index);
    }
    void fail()
    {
        m_ok = false;
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    }
    sqlite3 *m_db;
    bool m_ok = true;
    QString m_error;
};

int groupOfStudent(int student)
{
    return student <= Students - BigGroupStudents ? (student - 1) % (Groups - 1) + 1 : Groups;
}

void dateTimeText(char *buffer, size_t size, int dayOffset, int seconds)
{
    // 2020-09-01 plus days (28-day months keep the arithmetic trivial and every date valid).
    const int year = 2020 + dayOffset / 336, month = dayOffset % 336 / 28 + 1, day = dayOffset % 28 + 1;
    std::snprintf(buffer, size, "%04d-%02d-%02d %02d:%02d:%02d.000", year, month, day, seconds / 3600 % 24,
                  seconds / 60 % 60, seconds % 60);
}

bool fillCatalogues(Writer &w, Generator &random)
{
    char text[128];
    auto speciality = w.prepare("INSERT INTO speciality (id_speciality, spec) VALUES (?, ?)");
    for (int i = 1; i <= 10; ++i) {
        std::snprintf(text, sizeof text, "Специальность %02d", i);
        w.row(speciality, i, text);
    }
    auto group = w.prepare("INSERT INTO [group] (id_group, p20, id_speciality, o_z, start_year) VALUES (?, ?, ?, 1, ?)");
    auto groupSemester = w.prepare("INSERT INTO group_semester (id_group, id_semester, id_rate) VALUES (?, ?, ?)");
    auto year = w.prepare("INSERT INTO g_r_y (id_group, id_rate, p32) VALUES (?, ?, ?)");
    for (int g = 1; g <= Groups; ++g) {
        std::snprintf(text, sizeof text, "ГР-%03d", g);
        w.row(group, g, text, g % 10 + 1, 2020 + g % 4);
        for (int s = 1; s <= Semesters; ++s) {
            w.row(groupSemester, g, s, (s + 1) / 2);
            if (s % 2 == 1) {
                std::snprintf(text, sizeof text, "%d-й курс", (s + 1) / 2);
                w.row(year, g, (s + 1) / 2, text);
            }
        }
    }
    auto semester = w.prepare("INSERT INTO semester (id_semester, p43) VALUES (?, ?)");
    for (int s = 1; s <= Semesters; ++s) {
        std::snprintf(text, sizeof text, "%d семестр", s);
        w.row(semester, s, text);
    }
    auto student = w.prepare("INSERT INTO s_fio (id_student, s_fio) VALUES (?, ?)");
    auto member = w.prepare("INSERT INTO group_student (id_group, id_student) VALUES (?, ?)");
    static const char *const surnames[] = {"Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов", "Попов", "Волков", "Козлов"};
    for (int s = 1; s <= Students; ++s) {
        std::snprintf(text, sizeof text, "%s %c. %c. (%d)", surnames[random.next(8)], 'A' + random.next(26),
                      'A' + random.next(26), s);
        w.row(student, s, text);
        w.row(member, groupOfStudent(s), s);
    }
    auto teacher = w.prepare("INSERT INTO t_fio (id_teacher, t_fio) VALUES (?, ?)");
    for (int t = 1; t <= Teachers; ++t) {
        std::snprintf(text, sizeof text, "Преподаватель %d", t);
        w.row(teacher, t, text);
    }
    auto discipline = w.prepare("INSERT INTO discipline (id_discipline, p34) VALUES (?, ?)");
    for (int d = 1; d <= Disciplines; ++d) {
        std::snprintf(text, sizeof text, "Дисциплина %04d", (d * 7919) % 10007);
        w.row(discipline, d, text);
    }
    static const char *const forms[] = {"Экзамен", "Зачет", "Курсовая", "Практика"};
    auto examination = w.prepare("INSERT INTO examination (id_examination, p30) VALUES (?, ?)");
    auto mark = w.prepare("INSERT INTO est2 (id_estimation, p31, id_examination) VALUES (?, ?, ?)");
    static const char *const marks[] = {"отл", "хор", "удовл", "неуд", "зачет", "незачет"};
    for (int e = 1; e <= Examinations; ++e) {
        w.row(examination, e, forms[e - 1]);
        for (int m = 1; m <= 6; ++m)
            w.row(mark, m, marks[m - 1], e);
    }
    auto form = w.prepare("INSERT INTO f_est (id_f_e, p109) VALUES (?, ?)");
    w.row(form, 1, "Ведомость");
    w.row(form, 2, "Направление");
    auto other = w.prepare("INSERT INTO EstimationOther (id_estimation_other, Estimation_Other, id_ebe_var) VALUES (?, ?, ?)");
    auto otherSpeciality = w.prepare("INSERT INTO com_sfe (id_ebe_var, id_speciality) VALUES (?, ?)");
    for (int i = 1; i <= 3; ++i) {
        w.row(other, i, i == 1 ? "н/я" : i == 2 ? "н/д" : "осв", i);
        for (int s = 1; s <= 10; ++s)
            w.row(otherSpeciality, i, s);
    }
    return w.ok();
}

// The curriculum rows of a group and semester: (discipline, examination) pairs.
int curriculumSize(int group, int semester)
{
    return group == Groups && semester == 1 ? Disciplines * Examinations : CurriculumRows;
}
std::pair<int, int> curriculumRow(int group, int semester, int k)
{
    if (curriculumSize(group, semester) != CurriculumRows)
        return {k / Examinations + 1, k % Examinations + 1};
    return {(group * 97 + semester * 131 + k) % Disciplines + 1, k % Examinations + 1};
}

bool fillJournal(Writer &w, Generator &random)
{
    auto curriculum = w.prepare("INSERT INTO curriculum (id_group, id_semester, id_discipline, id_examination, "
                                "id_teacher) VALUES (?, ?, ?, ?, ?)");
    for (int g = 1; g <= Groups; ++g) {
        for (int s = 1; s <= Semesters; ++s) {
            for (int k = 0; k < curriculumSize(g, s); ++k) {
                const auto [discipline, examination] = curriculumRow(g, s, k);
                w.row(curriculum, g, s, discipline, examination, (g + k) % Teachers + 1);
            }
        }
    }
    auto journal = w.prepare(
        "INSERT INTO mark_mag (primech, dopusk_izm, id_group, id_student, id_examination, id_discipline, "
        "id_estimation, id_semester, id_teacher, p35, p36, id_f_est, oper, u_date, OLM_User, OLM_Update) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    char number[16], marked[32], updated[32], day[16];
    // Semester by semester, as a journal fills over the years: one student's rows lie far apart.
    for (int s = 1; s <= Semesters; ++s) {
        for (int student = 1; student <= Students; ++student) {
            const int g = groupOfStudent(student);
            // Of the big group only its first student has the big semester; the rest have the ordinary ones.
            if (g == Groups && s == 1 && student != Students - BigGroupStudents + 1)
                continue;
            for (int k = 0; k < curriculumSize(g, s); ++k) {
                const auto [discipline, examination] = curriculumRow(g, s, k);
                const bool done = random.next(10) < 7;
                std::snprintf(number, sizeof number, "%d", 100 + random.next(900));
                dateTimeText(marked, sizeof marked, s * 168 + random.next(150), 0);
                dateTimeText(updated, sizeof updated, s * 168 + random.next(160), random.next(86400));
                std::snprintf(day, sizeof day, "%.10s", updated);
                w.row(journal, random.next(50) == 0 ? "пересдача" : nullptr, random.next(20) == 0 ? 1 : 0, g, student,
                      examination, discipline, done ? random.next(6) + 1 : 0, s, (g + k) % Teachers + 1,
                      done ? number : nullptr, done ? marked : nullptr, done ? random.next(2) + 1 : 0, "upd",
                      updated, "teacher", day);
                if (!w.ok())
                    return false;
            }
        }
    }
    // Unmarked rows hold NULL, not 0.
    return w.exec("UPDATE mark_mag SET id_estimation = NULLIF(id_estimation, 0), id_f_est = NULLIF(id_f_est, 0)");
}

bool fillLog(Writer &w, Generator &random)
{
    auto log = w.prepare("INSERT INTO OLM_LOG ([table], row_id, descr, OLM_User, comp, log_date) VALUES (?, ?, ?, ?, ?, ?)");
    char description[96], user[24], computer[48], stamp[32];
    for (int i = 0; i < LogRows; ++i) {
        std::snprintf(description, sizeof description, "Оценка: было '%d', стало '%d'", random.next(6) + 1,
                      random.next(6) + 1);
        std::snprintf(user, sizeof user, "user%02d", random.next(40));
        std::snprintf(computer, sizeof computer, "DEKANAT-%02d\\10.0.%d.%d", random.next(30), random.next(4),
                      random.next(250) + 1);
        dateTimeText(stamp, sizeof stamp, i / 600, i % 600 * 60);
        w.row(log, "mark_mag", random.next(480000) + 1, description, user, computer, stamp);
        if (!w.ok())
            return false;
    }
    return true;
}

bool generate(const QString &path, QString *error)
{
    if (!server::createDatabase(path, false, error))
        return false;
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, CloseDatabase> db(raw);
    const server::SessionFacts facts{QStringLiteral("dbo"), {}, {}};
    if (!raw || !server::registerFunctions(raw, &facts)) {
        *error = QStringLiteral("Cannot open %1.").arg(path);
        return false;
    }
    Writer w(raw);
    Generator random;
    w.exec("PRAGMA journal_mode=DELETE");
    w.exec("PRAGMA synchronous=OFF");
    w.exec("BEGIN");
    fillCatalogues(w, random) && fillJournal(w, random) && fillLog(w, random);
    // The generated rows are where the trail starts, not changes to it.
    w.exec("DELETE FROM srv_audit");
    w.exec("COMMIT");
    w.exec("PRAGMA journal_mode=WAL");
    if (!w.ok()) {
        *error = w.error();
        return false;
    }
    db.reset();
    auto admin = server::Administration::open(path, error);
    if (!admin || !admin->addUser(QStringLiteral("bench"), QStringLiteral("Bench2016"), server::Role::Editor, error))
        return false;
    QList<int> all;
    for (int g = 1; g <= Groups; ++g)
        all.append(g);
    return admin->setUserGroups(QStringLiteral("bench"), all, error);
}

} // namespace

bool prepareLargeDatabase(const QString &path, LargeDatabase *facts, QString *error)
{
    if (!QFileInfo::exists(path)) {
        // Made under another name and renamed when whole, so an interrupted run never leaves a half file.
        const QString partial = path + QStringLiteral(".partial");
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(partial + QLatin1String(suffix));
        if (!generate(partial, error) || !QFile::rename(partial, path))
            return false;
    }
    facts->path = path;
    facts->login = QStringLiteral("bench");
    facts->smallGroup = 1;
    facts->smallSemester = 1;
    facts->smallStudent = 1;
    facts->bigGroup = Groups;
    facts->bigSemester = 1;
    facts->bigStudent = Students - BigGroupStudents + 1;
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, CloseDatabase> db(raw);
    sqlite3_stmt *stmt = nullptr;
    // The login column compares in its own collation: ask by the exact bytes instead.
    sqlite3_prepare_v2(raw, "SELECT password FROM srv_db_logins WHERE name COLLATE BINARY = 'bench'", -1, &stmt, nullptr);
    Statement query(stmt);
    if (!stmt || sqlite3_step(stmt) != SQLITE_ROW) {
        *error = QStringLiteral("%1 has no benchmark login; remove it to make it again.").arg(path);
        return false;
    }
    facts->password = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    return true;
}

} // namespace olm::bench
