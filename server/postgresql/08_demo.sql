-- OLM journal on PostgreSQL, script 8 of 8 (optional): the demo content, the same as the embedded server's demo
-- database (invented names; the users and passwords are listed in server/DEMO.md).
-- Run after 07_admin.sql, as a superuser: psql -v ON_ERROR_STOP=1 -d OLM -f 08_demo.sql
-- The content is added to an empty database only, and the demo users only where they are missing; a database with
-- content of its own gets nothing. The demo users' roles belong to the whole cluster: one left by another demo
-- database is taken over (that database's copy of its password then no longer works).

DO $$
BEGIN
    IF to_regprocedure('public.olm_user_add(text, text, text, text, boolean)') IS NULL THEN
        RAISE EXCEPTION 'Run scripts 01 to 07 in this database first.';
    END IF;
END;
$$;

DO $demo$
DECLARE
    today date := current_date;
    next_id integer;
    day date := make_date(2022, 1, 13);
BEGIN
    -- A database with content of its own gets no demo users either.
    IF (EXISTS (SELECT 1 FROM "group") AND NOT EXISTS (SELECT 1 FROM "group" WHERE id_group = 1 AND p20 = 'ПИ-21'))
       OR (NOT EXISTS (SELECT 1 FROM "group") AND (EXISTS (SELECT 1 FROM mark_mag) OR EXISTS (SELECT 1 FROM del_mark_mag))) THEN
        RAISE NOTICE 'The database has content of its own: the demo is not added.';
        RETURN;
    END IF;

    IF NOT EXISTS (SELECT 1 FROM "group") THEN
        INSERT INTO speciality (id_speciality, spec) VALUES
            (1, 'Прикладная информатика'), (2, 'Экономика предприятия'), (3, 'Юриспруденция');
        INSERT INTO semester (id_semester, p43) VALUES
            (1, '1 семестр'), (2, '2 семестр'), (3, '3 семестр'), (4, '4 семестр'),
            (5, '5 семестр'), (6, '6 семестр'), (7, '7 семестр'), (8, '8 семестр');
        INSERT INTO t_fio (id_teacher, t_fio) VALUES
            (1, 'Кузьмина Е. В.'), (2, 'Гаврилов С. Н.'), (3, 'Медведев А. П.'), (4, 'Полякова И. А.'),
            (5, 'Степанов В. Г.'), (6, 'Яковлева Н. Р.'), (7, 'Белкина О. Л.'), (8, 'Фомин Д. К.');
        INSERT INTO discipline (id_discipline, p34) VALUES
            (1, 'Математический анализ'), (2, 'Линейная алгебра'), (3, 'Программирование'), (4, 'Базы данных'),
            (5, 'История России'), (6, 'Философия'), (7, 'Иностранный язык'), (8, 'Физическая культура'),
            (9, 'Экономическая теория'), (10, 'Бухгалтерский учёт'), (11, 'Теория государства и права'),
            (12, 'Гражданское право'), (13, 'Учебная практика');
        INSERT INTO examination (id_examination, p30) VALUES
            (1, 'экзамен'), (2, 'зачёт'), (3, 'курсовая работа'), (4, 'курсовой проект'), (5, 'практика');
        INSERT INTO f_est (id_f_e, p109) VALUES
            (1, 'экзаменационная ведомость'), (2, 'экзаменационный лист'), (3, 'ведомость пересдачи');
        INSERT INTO estimationother (id_estimation_other, estimation_other, id_ebe_var) VALUES
            (1, 'A', 1), (2, 'B', 1), (3, 'C', 1), (4, 'D', 1), (5, 'E', 1), (6, 'FX', 1), (7, 'F', 1);
        -- Special marks exist for applied informatics only.
        INSERT INTO com_sfe (id_ebe_var, id_speciality) VALUES (1, 1);

        -- Graded forms (exam, course work, course project, practice) share one scale; the pass/fail form has its
        -- own; 25 (exempt, painted apart in the journal) serves every form.
        INSERT INTO est2 (id_estimation, p31, id_examination)
        SELECT m.id, m.p31, f.form
        FROM (VALUES (10, 'неуд'), (12, 'удовл'), (13, 'хор'), (14, 'отл'),
                     (31, '2'), (32, '3'), (34, '4'), (35, '5')) m (id, p31)
        CROSS JOIN (VALUES (1), (3), (4), (5)) f (form);
        INSERT INTO est2 (id_estimation, p31, id_examination) VALUES
            (20, 'зачёт', 2), (11, 'незачёт', 2), (33, 'не зачтено', 2), (44, 'недопуск', 2), (55, 'неявка', 2),
            (25, 'осв.', 1), (25, 'осв.', 2), (25, 'осв.', 3), (25, 'осв.', 4), (25, 'осв.', 5);

        -- Groups: id, name, speciality, first year, semesters so far. ЮР-23 has no students yet.
        CREATE TEMPORARY TABLE demo_groups (id integer PRIMARY KEY, name text, speciality integer, start_year integer,
                                            semesters integer) ON COMMIT DROP;
        INSERT INTO demo_groups VALUES
            (1, 'ПИ-21', 1, 2021, 4), (2, 'ПИ-22', 1, 2022, 3), (3, 'ЭК-21', 2, 2021, 4), (4, 'ЮР-22', 3, 2022, 2),
            (5, 'ЮР-23', 3, 2023, 2);

        -- Curriculum per speciality, in this order: semester, discipline, form of assessment, teacher.
        CREATE TEMPORARY TABLE demo_plans (ord integer PRIMARY KEY, speciality integer, semester integer,
                                           discipline integer, examination integer, teacher integer) ON COMMIT DROP;
        INSERT INTO demo_plans VALUES
            (1, 1, 1, 1, 1, 1), (2, 1, 1, 3, 1, 3), (3, 1, 1, 5, 2, 5), (4, 1, 1, 7, 2, 7),
            (5, 1, 2, 2, 1, 2), (6, 1, 2, 3, 3, 3), (7, 1, 2, 8, 2, 8), (8, 1, 2, 6, 1, 6),
            (9, 1, 3, 4, 1, 4), (10, 1, 3, 4, 4, 4), (11, 1, 3, 7, 2, 7), (12, 1, 3, 13, 5, 3),
            (13, 1, 4, 4, 2, 4), (14, 1, 4, 1, 1, 1), (15, 1, 4, 6, 2, 6),
            (16, 2, 1, 1, 1, 1), (17, 2, 1, 9, 1, 2), (18, 2, 1, 5, 2, 5), (19, 2, 1, 7, 2, 7),
            (20, 2, 2, 10, 1, 2), (21, 2, 2, 9, 3, 2), (22, 2, 2, 8, 2, 8),
            (23, 2, 3, 10, 2, 2), (24, 2, 3, 6, 1, 6), (25, 2, 4, 10, 4, 2), (26, 2, 4, 13, 5, 5),
            (27, 3, 1, 11, 1, 6), (28, 3, 1, 5, 2, 5), (29, 3, 1, 7, 2, 7), (30, 3, 2, 12, 1, 6), (31, 3, 2, 12, 3, 6),
            (32, 3, 2, 8, 2, 8);

        INSERT INTO "group" (id_group, p20, id_speciality, o_z, start_year)
        SELECT id, name, speciality, 1, start_year FROM demo_groups;

        INSERT INTO group_semester (id_group, id_semester, id_rate)
        SELECT g.id, s.s, (s.s + 1) / 2 FROM demo_groups g CROSS JOIN generate_series(1, 8) s (s) WHERE s.s <= g.semesters;

        -- Year labels per course, such as "2021/2022".
        INSERT INTO g_r_y (id_group, id_rate, p32)
        SELECT g.id, (s.s + 1) / 2, (g.start_year + (s.s + 1) / 2 - 1) || '/' || (g.start_year + (s.s + 1) / 2)
        FROM demo_groups g CROSS JOIN generate_series(1, 8) s (s) WHERE s.s <= g.semesters AND s.s % 2 = 1;

        INSERT INTO curriculum (id_group, id_semester, id_discipline, id_examination, id_teacher)
        SELECT g.id, p.semester, p.discipline, p.examination, p.teacher
        FROM demo_groups g JOIN demo_plans p ON p.speciality = g.speciality AND p.semester <= g.semesters;

        -- Five students in each of the first four groups, numbered in group order.
        CREATE TEMPORARY TABLE demo_students (id integer PRIMARY KEY, id_group integer, place integer, name text)
            ON COMMIT DROP;
        INSERT INTO demo_students VALUES
            (1, 1, 0, 'Алексеев Никита Сергеевич'), (2, 1, 1, 'Белова Дарья Андреевна'),
            (3, 1, 2, 'Воронин Артём Игоревич'), (4, 1, 3, 'Громова Полина Олеговна'),
            (5, 1, 4, 'Дмитриев Егор Павлович'),
            (6, 2, 0, 'Ершова Алина Викторовна'), (7, 2, 1, 'Жуков Максим Денисович'),
            (8, 2, 2, 'Захарова Ксения Романовна'), (9, 2, 3, 'Ильин Тимур Алексеевич'),
            (10, 2, 4, 'Калинина Варвара Ильинична'),
            (11, 3, 0, 'Лебедев Иван Михайлович'), (12, 3, 1, 'Морозова Анна Константиновна'),
            (13, 3, 2, 'Николаев Даниил Евгеньевич'), (14, 3, 3, 'Орлова Софья Дмитриевна'),
            (15, 3, 4, 'Павлов Кирилл Андреевич'),
            (16, 4, 0, 'Романова Елизавета Сергеевна'), (17, 4, 1, 'Соколов Глеб Витальевич'),
            (18, 4, 2, 'Тихонова Мария Юрьевна'), (19, 4, 3, 'Уткин Роман Олегович'),
            (20, 4, 4, 'Фролова Вероника Антоновна');

        INSERT INTO s_fio (id_student, s_fio) SELECT id, name FROM demo_students;
        INSERT INTO group_student (id_group, id_student) SELECT id_group, id FROM demo_students;

        INSERT INTO educ_sh (id_group, id_semester, id_discipline, id_examination, hours) VALUES
            (1, 1, 1, 1, 144), (1, 1, 3, 1, 180);

        -- The journal. Every past semester is filled with marks; the last semester of each group has rows only for
        -- its first two students (the second without marks), the others get theirs when the journal is opened. The
        -- marks are picked by a fixed rule from the row's running number (its id), so every demo database is the
        -- same. Autumn semesters end with the January session, spring ones with the June session.
        WITH rows_wanted AS (
            SELECT g.id AS id_group, g.start_year, s.id AS id_student, s.place, p.ord, p.semester, p.discipline,
                   p.examination, p.teacher, p.semester = g.semesters AS is_current
            FROM demo_groups g
            JOIN demo_students s ON s.id_group = g.id
            JOIN demo_plans p ON p.speciality = g.speciality AND p.semester <= g.semesters
            WHERE NOT (p.semester = g.semesters AND s.place >= 2)
        ), numbered AS (
            SELECT r.*, (row_number() OVER (ORDER BY r.id_group, r.place, r.ord))::integer AS variant
            FROM rows_wanted r
        ), marked AS (
            SELECT n.*,
                   CASE WHEN n.is_current AND n.place = 1 THEN NULL
                        WHEN n.examination = 2 THEN (ARRAY[20, 20, 20, 20, 11, 20, 33, 20, 44, 55, 20])[(n.variant * 7919 + 13) % 11 + 1]
                        ELSE (ARRAY[14, 13, 12, 35, 34, 32, 14, 10, 13, 31, 12])[(n.variant * 7919 + 13) % 11 + 1] END AS mark,
                   CASE WHEN n.semester % 2 = 1 THEN make_date(n.start_year + (n.semester + 1) / 2, 1, 10 + n.variant % 15)
                        ELSE make_date(n.start_year + n.semester / 2, 6, 5 + n.variant % 20) END AS session_day
            FROM numbered n
        )
        INSERT INTO mark_mag (id_mark_mag, primech, dopusk_izm, id_group, id_student, id_examination, id_discipline,
                              id_estimation, id_semester, id_teacher, p35, p36, id_f_est, u_date, olm_user, olm_update)
        SELECT variant, 'д', 0, id_group, id_student, examination, discipline, mark, semester, teacher,
               CASE WHEN mark IS NULL THEN NULL ELSE (100 + variant)::text END,
               CASE WHEN mark IS NULL THEN NULL ELSE session_day::timestamp END,
               CASE WHEN mark IS NULL THEN NULL ELSE 1 END,
               session_day + interval '12 hours', 'petrova', session_day
        FROM marked;

        -- Special cases the journal window shows, all in ПИ-21, 1 семестр: a duplicate pair, a row outside the
        -- curriculum, an unpaid admission, an exempt mark, an individual sheet (its number is the row id).
        next_id := (SELECT max(id_mark_mag) FROM mark_mag) + 1;
        INSERT INTO mark_mag (id_mark_mag, primech, dopusk_izm, id_group, id_student, id_examination, id_discipline,
                              id_estimation, id_semester, id_teacher, p35, p36, id_f_est, u_date, olm_user, olm_update)
        VALUES
            (next_id, 'д', 0, 1, 1, 1, 1, 13, 1, 1, '205', (day + 20)::timestamp, 3,
             day + interval '12 hours', 'petrova', day),
            (next_id + 1, 'д', 0, 1, 2, 2, 8, 20, 1, 8, '117', day::timestamp, 1,
             day + interval '12 hours', 'petrova', day);

        UPDATE mark_mag SET primech = 'н/д', dopusk_izm = 1
        WHERE id_group = 1 AND id_student = 3 AND id_semester = 1 AND id_discipline = 3;
        UPDATE mark_mag SET id_estimation = 25
        WHERE id_group = 1 AND id_student = 4 AND id_semester = 1 AND id_discipline = 1;
        UPDATE mark_mag SET id_f_est = 2, p35 = id_mark_mag::text
        WHERE id_group = 1 AND id_student = 5 AND id_semester = 1 AND id_discipline = 1;
        -- Two rows deleted by an operator, waiting in del_mark_mag to be restored.
        DELETE FROM mark_mag WHERE id_group = 1 AND id_student = 1 AND id_semester = 2 AND id_discipline IN (3, 8);
        UPDATE del_mark_mag SET del_oper = 'petrova', del_date = make_timestamp(2022, 6, 12, 10, 30, 0);
        -- The server's own stamps were the administrator's while filling; make them the demo operator's.
        UPDATE mark_mag SET olm_user = 'petrova';

        -- New journal rows continue after the demo's ids.
        PERFORM setval('mark_mag_id', (SELECT max(id_mark_mag) FROM (SELECT id_mark_mag FROM mark_mag
                                                                     UNION ALL SELECT id_mark_mag FROM del_mark_mag) ids));
        -- Catalogues were filled with their ids: later rows continue after them.
        PERFORM setval(pg_get_serial_sequence('speciality', 'id_speciality'), (SELECT max(id_speciality) FROM speciality));
        PERFORM setval(pg_get_serial_sequence('semester', 'id_semester'), (SELECT max(id_semester) FROM semester));
        PERFORM setval(pg_get_serial_sequence('t_fio', 'id_teacher'), (SELECT max(id_teacher) FROM t_fio));
        PERFORM setval(pg_get_serial_sequence('discipline', 'id_discipline'), (SELECT max(id_discipline) FROM discipline));
        PERFORM setval(pg_get_serial_sequence('examination', 'id_examination'), (SELECT max(id_examination) FROM examination));
        PERFORM setval(pg_get_serial_sequence('f_est', 'id_f_e'), (SELECT max(id_f_e) FROM f_est));
        PERFORM setval(pg_get_serial_sequence('estimationother', 'id_estimation_other'),
                       (SELECT max(id_estimation_other) FROM estimationother));
        PERFORM setval(pg_get_serial_sequence('"group"', 'id_group'), (SELECT max(id_group) FROM "group"));
        PERFORM setval(pg_get_serial_sequence('s_fio', 'id_student'), (SELECT max(id_student) FROM s_fio));
    END IF;

    -- The demo users (see server/DEMO.md): each is added only when missing; a role left from an earlier demo
    -- database is taken over.
    IF NOT EXISTS (SELECT 1 FROM srv_users WHERE login = 'petrova') THEN
        PERFORM olm_user_add('petrova', 'petrova1', 'editor', NULL, true);
        PERFORM olm_user_groups('petrova', '1,2,3,4,5');
    END IF;
    IF NOT EXISTS (SELECT 1 FROM srv_users WHERE login = 'sidorov') THEN
        PERFORM olm_user_add('sidorov', 'sidorov1', 'reader', NULL, true);
        PERFORM olm_user_groups('sidorov', '1,2');
    END IF;
    IF NOT EXISTS (SELECT 1 FROM srv_users WHERE login = 'kuznetsov') THEN
        -- Password expired: the change area opens, locked open.
        PERFORM olm_user_add('kuznetsov', 'kuznetsov1', 'editor', NULL, true);
        PERFORM olm_user_groups('kuznetsov', '3');
        PERFORM olm_user_password_changed('kuznetsov', today - 100);
    END IF;
    IF NOT EXISTS (SELECT 1 FROM srv_users WHERE login = 'smirnova') THEN
        -- 19 days left: asked to change on the first attempt only.
        PERFORM olm_user_add('smirnova', 'smirnova1', 'editor', NULL, true);
        PERFORM olm_user_groups('smirnova', '3,4');
        PERFORM olm_user_password_changed('smirnova', today - 71);
    END IF;
    IF NOT EXISTS (SELECT 1 FROM srv_users WHERE login = 'popov') THEN
        PERFORM olm_user_add('popov', 'popov1', 'editor', NULL, true);
        PERFORM olm_user_groups('popov', '1');
        PERFORM olm_user_block('popov', 'Учётная запись заблокирована. Обратитесь к администратору.');
    END IF;

    -- The demo's rows are where the trail starts, not changes to it.
    IF NOT EXISTS (SELECT 1 FROM srv_attempts) THEN
        DELETE FROM srv_audit;
    END IF;
END;
$demo$;
