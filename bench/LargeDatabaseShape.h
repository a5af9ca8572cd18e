// The shape of the benchmarks' large journal, shared by the SQLite and the PostgreSQL generators: sizes, the
// fixed pseudo-random sequence, which group a student is in and which curriculum rows a semester has.
#pragma once

#include <QtGlobal>

#include <cstdio>
#include <utility>

namespace olm::bench::shape {

inline constexpr int Groups = 205;            // the last one is the group of the 5,000-row journal
inline constexpr int Semesters = 8;
inline constexpr int BigGroupStudents = 20;
inline constexpr int Disciplines = 1250;
inline constexpr int Examinations = 4;
inline constexpr int Teachers = 400;
inline constexpr int CurriculumRows = 12;     // of an ordinary group and semester

struct Generator {
    quint64 state = 0x2016;
    int next(int bound)
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return int((state >> 33) % quint64(bound));
    }
};

/// The two selections the benchmarks load: an ordinary 12-row journal and the big group's 5,000-row one.
struct JournalSelections {
    int smallGroup = 1;
    int smallSemester = 1;
    int smallStudent = 1;
    int bigGroup = Groups;
    int bigSemester = 1;
    int bigStudent = 0;   ///< the big group's first student
};

inline JournalSelections journalSelections(int students)
{
    JournalSelections selections;
    selections.bigStudent = students - BigGroupStudents + 1;
    return selections;
}

/// students: how many there are in all; the last BigGroupStudents form the big group.
inline int groupOfStudent(int student, int students)
{
    return student <= students - BigGroupStudents ? (student - 1) % (Groups - 1) + 1 : Groups;
}

inline void dateTimeText(char *buffer, size_t size, int dayOffset, int seconds)
{
    // 2020-09-01 plus days (28-day months keep the arithmetic trivial and every date valid).
    const int year = 2020 + dayOffset / 336, month = dayOffset % 336 / 28 + 1, day = dayOffset % 28 + 1;
    std::snprintf(buffer, size, "%04d-%02d-%02d %02d:%02d:%02d.000", year, month, day, seconds / 3600 % 24,
                  seconds / 60 % 60, seconds % 60);
}

// The curriculum rows of a group and semester: (discipline, examination) pairs.
inline int curriculumSize(int group, int semester)
{
    return group == Groups && semester == 1 ? Disciplines * Examinations : CurriculumRows;
}
inline std::pair<int, int> curriculumRow(int group, int semester, int k)
{
    if (curriculumSize(group, semester) != CurriculumRows)
        return {k / Examinations + 1, k % Examinations + 1};
    return {(group * 97 + semester * 131 + k) % Disciplines + 1, k % Examinations + 1};
}

// The catalogues and the journal, written through w: prepare(an INSERT with one "?" a column) gives a handle,
// row(handle, values...) adds a row (ints, texts, nullptr for NULL), exec(sql) runs a statement, ok() tells.
template <typename Writer>
bool fillCatalogues(Writer &w, Generator &random, int students)
{
    char text[128];
    auto speciality = w.prepare("INSERT INTO speciality (id_speciality, spec) VALUES (?, ?)");
    for (int i = 1; i <= 10; ++i) {
        std::snprintf(text, sizeof text, "Специальность %02d", i);
        w.row(speciality, i, text);
    }
    auto group = w.prepare("INSERT INTO [group] (id_group, p20, id_speciality, o_z, start_year) VALUES (?, ?, ?, ?, ?)");
    auto groupSemester = w.prepare("INSERT INTO group_semester (id_group, id_semester, id_rate) VALUES (?, ?, ?)");
    auto year = w.prepare("INSERT INTO g_r_y (id_group, id_rate, p32) VALUES (?, ?, ?)");
    for (int g = 1; g <= Groups; ++g) {
        std::snprintf(text, sizeof text, "ГР-%03d", g);
        w.row(group, g, text, g % 10 + 1, 1, 2020 + g % 4);
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
    for (int s = 1; s <= students; ++s) {
        std::snprintf(text, sizeof text, "%s %c. %c. (%d)", surnames[random.next(8)], 'A' + random.next(26),
                      'A' + random.next(26), s);
        w.row(student, s, text);
        w.row(member, groupOfStudent(s, students), s);
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

template <typename Writer>
bool fillJournal(Writer &w, Generator &random, int students)
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
        for (int student = 1; student <= students; ++student) {
            const int g = groupOfStudent(student, students);
            // Of the big group only its first student has the big semester; the rest have the ordinary ones.
            if (g == Groups && s == 1 && student != students - BigGroupStudents + 1)
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

} // namespace olm::bench::shape

