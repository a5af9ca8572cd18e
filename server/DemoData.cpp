// Demo content. Names are invented; the users and their passwords are listed in DEMO.md.
#include "DemoData.h"

#include "Clock.h"
#include "Database.h"

#include <QStringList>

namespace olm::server {

namespace {

class Filler {
public:
    explicit Filler(Administration &admin) : m_admin(admin) {}

    bool insert(const QString &table, const QStringList &columns, const QList<QVariantList> &rows)
    {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks.append(QStringLiteral("?"));
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        for (const QVariantList &row : rows) {
            if (!statement(sql, row))
                return false;
        }
        return true;
    }

    bool statement(const QString &sql, const QVariantList &values = {})
    {
        const Outcome outcome = m_admin.execute(sql, values);
        if (!outcome.ok)
            m_error = outcome.error + QStringLiteral(" (") + sql.left(80) + QStringLiteral(")");
        return outcome.ok;
    }

    QString error() const { return m_error; }

private:
    Administration &m_admin;
    QString m_error;
};

struct Group {
    int id;
    const char *name;
    int speciality;
    int startYear;
    int semesters;
};

const Group groups[] = {
    {1, "ПИ-21", 1, 2021, 4}, {2, "ПИ-22", 1, 2022, 3}, {3, "ЭК-21", 2, 2021, 4}, {4, "ЮР-22", 3, 2022, 2},
    {5, "ЮР-23", 3, 2023, 2}, // no students yet
};

const char *const students[][5] = {
    {"Алексеев Никита Сергеевич", "Белова Дарья Андреевна", "Воронин Артём Игоревич", "Громова Полина Олеговна",
     "Дмитриев Егор Павлович"},
    {"Ершова Алина Викторовна", "Жуков Максим Денисович", "Захарова Ксения Романовна", "Ильин Тимур Алексеевич",
     "Калинина Варвара Ильинична"},
    {"Лебедев Иван Михайлович", "Морозова Анна Константиновна", "Николаев Даниил Евгеньевич",
     "Орлова Софья Дмитриевна", "Павлов Кирилл Андреевич"},
    {"Романова Елизавета Сергеевна", "Соколов Глеб Витальевич", "Тихонова Мария Юрьевна", "Уткин Роман Олегович",
     "Фролова Вероника Антоновна"},
};

// Curriculum per speciality: semester, discipline, form of assessment, teacher.
struct Plan {
    int speciality, semester, discipline, examination, teacher;
};

const Plan plans[] = {
    {1, 1, 1, 1, 1}, {1, 1, 3, 1, 3}, {1, 1, 5, 2, 5}, {1, 1, 7, 2, 7},
    {1, 2, 2, 1, 2}, {1, 2, 3, 3, 3}, {1, 2, 8, 2, 8}, {1, 2, 6, 1, 6},
    {1, 3, 4, 1, 4}, {1, 3, 4, 4, 4}, {1, 3, 7, 2, 7}, {1, 3, 13, 5, 3},
    {1, 4, 4, 2, 4}, {1, 4, 1, 1, 1}, {1, 4, 6, 2, 6},
    {2, 1, 1, 1, 1}, {2, 1, 9, 1, 2}, {2, 1, 5, 2, 5}, {2, 1, 7, 2, 7},
    {2, 2, 10, 1, 2}, {2, 2, 9, 3, 2}, {2, 2, 8, 2, 8},
    {2, 3, 10, 2, 2}, {2, 3, 6, 1, 6}, {2, 4, 10, 4, 2}, {2, 4, 13, 5, 5},
    {3, 1, 11, 1, 6}, {3, 1, 5, 2, 5}, {3, 1, 7, 2, 7}, {3, 2, 12, 1, 6}, {3, 2, 12, 3, 6}, {3, 2, 8, 2, 8},
};

bool catalogues(Filler &f)
{
    return f.insert(QStringLiteral("speciality"), {QStringLiteral("id_speciality"), QStringLiteral("spec")},
                    {{1, QStringLiteral("Прикладная информатика")}, {2, QStringLiteral("Экономика предприятия")},
                     {3, QStringLiteral("Юриспруденция")}})
        && f.insert(QStringLiteral("semester"), {QStringLiteral("id_semester"), QStringLiteral("p43")},
                    [] {
                        QList<QVariantList> rows;
                        for (int i = 1; i <= 8; ++i)
                            rows.append({i, QStringLiteral("%1 семестр").arg(i)});
                        return rows;
                    }())
        && f.insert(QStringLiteral("t_fio"), {QStringLiteral("id_teacher"), QStringLiteral("t_fio")},
                    {{1, QStringLiteral("Кузьмина Е. В.")}, {2, QStringLiteral("Гаврилов С. Н.")},
                     {3, QStringLiteral("Медведев А. П.")}, {4, QStringLiteral("Полякова И. А.")},
                     {5, QStringLiteral("Степанов В. Г.")}, {6, QStringLiteral("Яковлева Н. Р.")},
                     {7, QStringLiteral("Белкина О. Л.")}, {8, QStringLiteral("Фомин Д. К.")}})
        && f.insert(QStringLiteral("discipline"), {QStringLiteral("id_discipline"), QStringLiteral("p34")},
                    {{1, QStringLiteral("Математический анализ")}, {2, QStringLiteral("Линейная алгебра")},
                     {3, QStringLiteral("Программирование")}, {4, QStringLiteral("Базы данных")},
                     {5, QStringLiteral("История России")}, {6, QStringLiteral("Философия")},
                     {7, QStringLiteral("Иностранный язык")}, {8, QStringLiteral("Физическая культура")},
                     {9, QStringLiteral("Экономическая теория")}, {10, QStringLiteral("Бухгалтерский учёт")},
                     {11, QStringLiteral("Теория государства и права")}, {12, QStringLiteral("Гражданское право")},
                     {13, QStringLiteral("Учебная практика")}})
        && f.insert(QStringLiteral("examination"), {QStringLiteral("id_examination"), QStringLiteral("p30")},
                    {{1, QStringLiteral("экзамен")}, {2, QStringLiteral("зачёт")}, {3, QStringLiteral("курсовая работа")},
                     {4, QStringLiteral("курсовой проект")}, {5, QStringLiteral("практика")}})
        && f.insert(QStringLiteral("f_est"), {QStringLiteral("id_f_e"), QStringLiteral("p109")},
                    {{1, QStringLiteral("экзаменационная ведомость")}, {2, QStringLiteral("экзаменационный лист")},
                     {3, QStringLiteral("ведомость пересдачи")}})
        && f.insert(QStringLiteral("EstimationOther"),
                    {QStringLiteral("id_estimation_other"), QStringLiteral("Estimation_Other"), QStringLiteral("id_ebe_var")},
                    {{1, QStringLiteral("A"), 1}, {2, QStringLiteral("B"), 1}, {3, QStringLiteral("C"), 1},
                     {4, QStringLiteral("D"), 1}, {5, QStringLiteral("E"), 1}, {6, QStringLiteral("FX"), 1},
                     {7, QStringLiteral("F"), 1}})
        // Special marks exist for applied informatics only.
        && f.insert(QStringLiteral("com_sfe"), {QStringLiteral("id_ebe_var"), QStringLiteral("id_speciality")}, {{1, 1}});
}

bool marks(Filler &f)
{
    // Graded forms (exam, course work, course project, practice) share one scale; the pass/fail form has its own.
    QList<QVariantList> rows;
    const std::pair<int, const char *> graded[] = {{10, "неуд"}, {12, "удовл"}, {13, "хор"}, {14, "отл"},
                                                   {31, "2"},    {32, "3"},     {34, "4"},   {35, "5"}};
    for (const int form : {1, 3, 4, 5}) {
        for (const auto &[id, text] : graded)
            rows.append({id, QString::fromUtf8(text), form});
    }
    const std::pair<int, const char *> passFail[] = {
        {20, "зачёт"}, {11, "незачёт"}, {33, "не зачтено"}, {44, "недопуск"}, {55, "неявка"}};
    for (const auto &[id, text] : passFail)
        rows.append({id, QString::fromUtf8(text), 2});
    for (int form = 1; form <= 5; ++form)
        rows.append({25, QStringLiteral("осв."), form}); // exempt: painted apart in the journal
    return f.insert(QStringLiteral("est2"), {QStringLiteral("id_estimation"), QStringLiteral("p31"),
                                             QStringLiteral("id_examination")}, rows);
}

bool groupsAndStudents(Filler &f)
{
    for (const Group &g : groups) {
        if (!f.insert(QStringLiteral("[group]"),
                      {QStringLiteral("id_group"), QStringLiteral("p20"), QStringLiteral("id_speciality"),
                       QStringLiteral("o_z"), QStringLiteral("start_year")},
                      {{g.id, QString::fromUtf8(g.name), g.speciality, 1, g.startYear}}))
            return false;
        for (int s = 1; s <= g.semesters; ++s) {
            const int rate = (s + 1) / 2;
            if (!f.insert(QStringLiteral("group_semester"),
                          {QStringLiteral("id_group"), QStringLiteral("id_semester"), QStringLiteral("id_rate")},
                          {{g.id, s, rate}}))
                return false;
            if (s % 2 == 1
                && !f.insert(QStringLiteral("g_r_y"), {QStringLiteral("id_group"), QStringLiteral("id_rate"), QStringLiteral("p32")},
                             {{g.id, rate, QStringLiteral("%1/%2").arg(g.startYear + rate - 1).arg(g.startYear + rate)}}))
                return false;
        }
        for (const Plan &p : plans) {
            if (p.speciality == g.speciality && p.semester <= g.semesters
                && !f.insert(QStringLiteral("curriculum"),
                             {QStringLiteral("id_group"), QStringLiteral("id_semester"), QStringLiteral("id_discipline"),
                              QStringLiteral("id_examination"), QStringLiteral("id_teacher")},
                             {{g.id, p.semester, p.discipline, p.examination, p.teacher}}))
                return false;
        }
    }
    int id = 0;
    for (int g = 0; g < 4; ++g) {
        for (const char *name : students[g]) {
            ++id;
            if (!f.insert(QStringLiteral("s_fio"), {QStringLiteral("id_student"), QStringLiteral("s_fio")},
                          {{id, QString::fromUtf8(name)}})
                || !f.insert(QStringLiteral("group_student"), {QStringLiteral("id_group"), QStringLiteral("id_student")},
                             {{groups[g].id, id}}))
                return false;
        }
    }
    return f.insert(QStringLiteral("educ_sh"),
                    {QStringLiteral("id_group"), QStringLiteral("id_semester"), QStringLiteral("id_discipline"),
                     QStringLiteral("id_examination"), QStringLiteral("hours")},
                    {{1, 1, 1, 1, 144}, {1, 1, 3, 1, 180}});
}

// Deterministic "random" marks, so every demo database is the same.
int pick(int variant, std::initializer_list<int> choices)
{
    const auto index = size_t((variant * 7919 + 13) % int(choices.size()));
    return *(choices.begin() + index);
}

QDate sessionDate(const Group &g, int semester, int day)
{
    // Autumn semesters end with the January session, spring ones with the June session.
    return semester % 2 == 1 ? QDate(g.startYear + (semester + 1) / 2, 1, 10 + day % 15)
                             : QDate(g.startYear + semester / 2, 6, 5 + day % 20);
}

bool journal(Filler &f)
{
    const QStringList columns{QStringLiteral("primech"), QStringLiteral("dopusk_izm"), QStringLiteral("id_group"),
                              QStringLiteral("id_student"), QStringLiteral("id_examination"),
                              QStringLiteral("id_discipline"), QStringLiteral("id_estimation"),
                              QStringLiteral("id_semester"), QStringLiteral("id_teacher"), QStringLiteral("p35"),
                              QStringLiteral("p36"), QStringLiteral("id_f_est"), QStringLiteral("u_date"),
                              QStringLiteral("OLM_User"), QStringLiteral("OLM_Update")};
    int variant = 0;
    int student = 0;
    for (int gi = 0; gi < 4; ++gi) {
        const Group &g = groups[gi];
        for (int si = 0; si < 5; ++si) {
            ++student;
            for (const Plan &p : plans) {
                if (p.speciality != g.speciality || p.semester > g.semesters)
                    continue;
                const bool current = p.semester == g.semesters;
                if (current && si >= 2)
                    continue; // the current semester: rows are created when the journal is opened
                ++variant;
                const int mark = current && si == 1
                    ? 0
                    : (p.examination == 2 ? pick(variant, {20, 20, 20, 20, 11, 20, 33, 20, 44, 55, 20})
                                          : pick(variant, {14, 13, 12, 35, 34, 32, 14, 10, 13, 31, 12}));
                const QDate date = sessionDate(g, p.semester, variant);
                const QVariant when = mark ? QVariant(QDateTime(date, QTime(0, 0))) : QVariant(QMetaType(QMetaType::QDateTime));
                if (!f.insert(QStringLiteral("mark_mag"), columns,
                              {{QStringLiteral("д"), false, g.id, student, p.examination, p.discipline,
                                mark ? QVariant(mark) : QVariant(QMetaType(QMetaType::Int)), p.semester, p.teacher,
                                mark ? QVariant(QString::number(100 + variant)) : QVariant(QMetaType(QMetaType::QString)),
                                when, mark ? QVariant(1) : QVariant(QMetaType(QMetaType::Int)),
                                QDateTime(date, QTime(12, 0)), QStringLiteral("petrova"), date}}))
                    return false;
            }
        }
    }
    const QDate date = sessionDate(groups[0], 1, 3);
    // Special cases the journal window shows: a duplicate pair, a row outside the curriculum, an unpaid
    // admission, an exempt mark, an individual sheet (its number is the row id).
    return f.insert(QStringLiteral("mark_mag"), columns,
                    {{QStringLiteral("д"), false, 1, 1, 1, 1, 13, 1, 1, QStringLiteral("205"),
                      QDateTime(date.addDays(20), QTime(0, 0)), 3, QDateTime(date, QTime(12, 0)),
                      QStringLiteral("petrova"), date},
                     {QStringLiteral("д"), false, 1, 2, 2, 8, 20, 1, 8, QStringLiteral("117"), QDateTime(date, QTime(0, 0)), 1,
                      QDateTime(date, QTime(12, 0)), QStringLiteral("petrova"), date}})
        && f.statement(QStringLiteral("UPDATE mark_mag SET primech = 'н/д', dopusk_izm = 1 WHERE id_group = 1 AND "
                                      "id_student = 3 AND id_semester = 1 AND id_discipline = 3"))
        && f.statement(QStringLiteral("UPDATE mark_mag SET id_estimation = 25 WHERE id_group = 1 AND id_student = 4 "
                                      "AND id_semester = 1 AND id_discipline = 1"))
        && f.statement(QStringLiteral("UPDATE mark_mag SET id_f_est = 2, p35 = CAST(id_mark_mag AS TEXT) WHERE "
                                      "id_group = 1 AND id_student = 5 AND id_semester = 1 AND id_discipline = 1"))
        // Two rows deleted by an operator, waiting in del_mark_mag to be restored.
        && f.statement(QStringLiteral("DELETE FROM mark_mag WHERE id_group = 1 AND id_student = 1 AND id_semester = 2 "
                                      "AND id_discipline IN (3, 8)"))
        && f.statement(QStringLiteral("UPDATE del_mark_mag SET del_oper = 'petrova', del_date = ?"),
                       {QDateTime(sessionDate(groups[0], 2, 4).addDays(3), QTime(10, 30))})
        // The server's own stamps were the administrator's while filling; make them the demo operator's.
        && f.statement(QStringLiteral("UPDATE mark_mag SET OLM_User = 'petrova'"));
}

bool users(Administration &admin, QString *error)
{
    const QDate today = serverNow().date();
    return admin.addUser(QStringLiteral("petrova"), QStringLiteral("petrova1"), Role::Editor, error)
        && admin.setUserGroups(QStringLiteral("petrova"), {1, 2, 3, 4, 5}, error)
        && admin.addUser(QStringLiteral("sidorov"), QStringLiteral("sidorov1"), Role::Reader, error)
        && admin.setUserGroups(QStringLiteral("sidorov"), {1, 2}, error)
        && admin.addUser(QStringLiteral("kuznetsov"), QStringLiteral("kuznetsov1"), Role::Editor, error)
        && admin.setUserGroups(QStringLiteral("kuznetsov"), {3}, error)
        && admin.setPasswordChanged(QStringLiteral("kuznetsov"), today.addDays(-100), error)
        && admin.addUser(QStringLiteral("smirnova"), QStringLiteral("smirnova1"), Role::Editor, error)
        && admin.setUserGroups(QStringLiteral("smirnova"), {3, 4}, error)
        && admin.setPasswordChanged(QStringLiteral("smirnova"), today.addDays(-71), error)
        && admin.addUser(QStringLiteral("popov"), QStringLiteral("popov1"), Role::Editor, error)
        && admin.setUserGroups(QStringLiteral("popov"), {1}, error)
        && admin.blockUser(QStringLiteral("popov"),
                           QStringLiteral("Учётная запись заблокирована. Обратитесь к администратору."), error);
}

} // namespace

bool fillDemoData(Administration &admin, QString *error)
{
    Filler filler(admin);
    const bool filled = admin.inTransaction(
        [&](QString *why) {
            const bool ok = catalogues(filler) && marks(filler) && groupsAndStudents(filler) && journal(filler);
            if (!ok)
                *why = filler.error();
            return ok;
        },
        error);
    return filled && users(admin, error);
}

} // namespace olm::server
