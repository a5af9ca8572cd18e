-- OLM journal on Microsoft SQL Server, script 8 of 8 (optional): the demo content, the same as the embedded
-- server's demo database (invented names; the users and passwords are listed in server/DEMO.md).
-- Run after 07_admin.sql, on an empty journal only, as a login that may create logins:
--   sqlcmd -b -f 65001 -S SERVER -d OLM -i 08_demo.sql
-- The content is added to an empty database only, and the demo users only where they are missing; a database
-- with content of its own gets nothing.

IF OBJECT_ID(N'dbo.olm_user_add', N'P') IS NULL
BEGIN
    RAISERROR(N'Run scripts 01 to 07 in this database first.', 16, 1);
    SET NOEXEC ON;
END;
GO

-- A database with content of its own gets no demo users either.
IF (EXISTS (SELECT 1 FROM dbo.[group]) AND NOT EXISTS (SELECT 1 FROM dbo.[group] WHERE id_group = 1 AND p20 = N'ПИ-21'))
   OR (NOT EXISTS (SELECT 1 FROM dbo.[group]) AND (EXISTS (SELECT 1 FROM dbo.mark_mag) OR EXISTS (SELECT 1 FROM dbo.del_mark_mag)))
BEGIN
    PRINT N'The database has content of its own: the demo is not added.';
    SET NOEXEC ON;
END;
GO

IF NOT EXISTS (SELECT 1 FROM dbo.[group])
BEGIN
SET XACT_ABORT ON;
BEGIN TRANSACTION;

SET IDENTITY_INSERT dbo.speciality ON;
INSERT INTO dbo.speciality (id_speciality, spec) VALUES
    (1, N'Прикладная информатика'), (2, N'Экономика предприятия'), (3, N'Юриспруденция');
SET IDENTITY_INSERT dbo.speciality OFF;

SET IDENTITY_INSERT dbo.semester ON;
INSERT INTO dbo.semester (id_semester, p43) VALUES
    (1, N'1 семестр'), (2, N'2 семестр'), (3, N'3 семестр'), (4, N'4 семестр'),
    (5, N'5 семестр'), (6, N'6 семестр'), (7, N'7 семестр'), (8, N'8 семестр');
SET IDENTITY_INSERT dbo.semester OFF;

SET IDENTITY_INSERT dbo.t_fio ON;
INSERT INTO dbo.t_fio (id_teacher, t_fio) VALUES
    (1, N'Кузьмина Е. В.'), (2, N'Гаврилов С. Н.'), (3, N'Медведев А. П.'), (4, N'Полякова И. А.'),
    (5, N'Степанов В. Г.'), (6, N'Яковлева Н. Р.'), (7, N'Белкина О. Л.'), (8, N'Фомин Д. К.');
SET IDENTITY_INSERT dbo.t_fio OFF;

SET IDENTITY_INSERT dbo.discipline ON;
INSERT INTO dbo.discipline (id_discipline, p34) VALUES
    (1, N'Математический анализ'), (2, N'Линейная алгебра'), (3, N'Программирование'), (4, N'Базы данных'),
    (5, N'История России'), (6, N'Философия'), (7, N'Иностранный язык'), (8, N'Физическая культура'),
    (9, N'Экономическая теория'), (10, N'Бухгалтерский учёт'), (11, N'Теория государства и права'),
    (12, N'Гражданское право'), (13, N'Учебная практика');
SET IDENTITY_INSERT dbo.discipline OFF;

SET IDENTITY_INSERT dbo.examination ON;
INSERT INTO dbo.examination (id_examination, p30) VALUES
    (1, N'экзамен'), (2, N'зачёт'), (3, N'курсовая работа'), (4, N'курсовой проект'), (5, N'практика');
SET IDENTITY_INSERT dbo.examination OFF;

SET IDENTITY_INSERT dbo.f_est ON;
INSERT INTO dbo.f_est (id_f_e, p109) VALUES
    (1, N'экзаменационная ведомость'), (2, N'экзаменационный лист'), (3, N'ведомость пересдачи');
SET IDENTITY_INSERT dbo.f_est OFF;

SET IDENTITY_INSERT dbo.EstimationOther ON;
INSERT INTO dbo.EstimationOther (id_estimation_other, Estimation_Other, id_ebe_var) VALUES
    (1, N'A', 1), (2, N'B', 1), (3, N'C', 1), (4, N'D', 1), (5, N'E', 1), (6, N'FX', 1), (7, N'F', 1);
SET IDENTITY_INSERT dbo.EstimationOther OFF;

-- Special marks exist for applied informatics only.
INSERT INTO dbo.com_sfe (id_ebe_var, id_speciality) VALUES (1, 1);

-- Graded forms (exam, course work, course project, practice) share one scale; the pass/fail form has its own;
-- 25 (exempt, painted apart in the journal) serves every form.
INSERT INTO dbo.est2 (id_estimation, p31, id_examination)
SELECT m.id, m.p31, f.form
FROM (VALUES (10, N'неуд'), (12, N'удовл'), (13, N'хор'), (14, N'отл'),
             (31, N'2'), (32, N'3'), (34, N'4'), (35, N'5')) m (id, p31)
CROSS JOIN (VALUES (1), (3), (4), (5)) f (form);
INSERT INTO dbo.est2 (id_estimation, p31, id_examination) VALUES
    (20, N'зачёт', 2), (11, N'незачёт', 2), (33, N'не зачтено', 2), (44, N'недопуск', 2), (55, N'неявка', 2),
    (25, N'осв.', 1), (25, N'осв.', 2), (25, N'осв.', 3), (25, N'осв.', 4), (25, N'осв.', 5);

-- Groups: id, name, speciality, first year, semesters so far. ЮР-23 has no students yet.
DECLARE @groups TABLE (id INT PRIMARY KEY, name NVARCHAR(20), speciality INT, start_year INT, semesters INT);
INSERT INTO @groups VALUES
    (1, N'ПИ-21', 1, 2021, 4), (2, N'ПИ-22', 1, 2022, 3), (3, N'ЭК-21', 2, 2021, 4), (4, N'ЮР-22', 3, 2022, 2),
    (5, N'ЮР-23', 3, 2023, 2);

-- Curriculum per speciality, in this order: semester, discipline, form of assessment, teacher.
DECLARE @plans TABLE (ord INT PRIMARY KEY, speciality INT, semester INT, discipline INT, examination INT, teacher INT);
INSERT INTO @plans VALUES
    (1, 1, 1, 1, 1, 1), (2, 1, 1, 3, 1, 3), (3, 1, 1, 5, 2, 5), (4, 1, 1, 7, 2, 7),
    (5, 1, 2, 2, 1, 2), (6, 1, 2, 3, 3, 3), (7, 1, 2, 8, 2, 8), (8, 1, 2, 6, 1, 6),
    (9, 1, 3, 4, 1, 4), (10, 1, 3, 4, 4, 4), (11, 1, 3, 7, 2, 7), (12, 1, 3, 13, 5, 3),
    (13, 1, 4, 4, 2, 4), (14, 1, 4, 1, 1, 1), (15, 1, 4, 6, 2, 6),
    (16, 2, 1, 1, 1, 1), (17, 2, 1, 9, 1, 2), (18, 2, 1, 5, 2, 5), (19, 2, 1, 7, 2, 7),
    (20, 2, 2, 10, 1, 2), (21, 2, 2, 9, 3, 2), (22, 2, 2, 8, 2, 8),
    (23, 2, 3, 10, 2, 2), (24, 2, 3, 6, 1, 6), (25, 2, 4, 10, 4, 2), (26, 2, 4, 13, 5, 5),
    (27, 3, 1, 11, 1, 6), (28, 3, 1, 5, 2, 5), (29, 3, 1, 7, 2, 7), (30, 3, 2, 12, 1, 6), (31, 3, 2, 12, 3, 6),
    (32, 3, 2, 8, 2, 8);

DECLARE @semesters TABLE (s INT PRIMARY KEY);
INSERT INTO @semesters VALUES (1), (2), (3), (4), (5), (6), (7), (8);

SET IDENTITY_INSERT dbo.[group] ON;
INSERT INTO dbo.[group] (id_group, p20, id_speciality, o_z, start_year)
SELECT id, name, speciality, 1, start_year FROM @groups;
SET IDENTITY_INSERT dbo.[group] OFF;

INSERT INTO dbo.group_semester (id_group, id_semester, id_rate)
SELECT g.id, s.s, (s.s + 1) / 2 FROM @groups g JOIN @semesters s ON s.s <= g.semesters;

-- Year labels per course, such as "2021/2022".
INSERT INTO dbo.g_r_y (id_group, id_rate, p32)
SELECT g.id, (s.s + 1) / 2,
       CONVERT(NVARCHAR(4), g.start_year + (s.s + 1) / 2 - 1) + N'/' + CONVERT(NVARCHAR(4), g.start_year + (s.s + 1) / 2)
FROM @groups g JOIN @semesters s ON s.s <= g.semesters AND s.s % 2 = 1;

INSERT INTO dbo.curriculum (id_group, id_semester, id_discipline, id_examination, id_teacher)
SELECT g.id, p.semester, p.discipline, p.examination, p.teacher
FROM @groups g JOIN @plans p ON p.speciality = g.speciality AND p.semester <= g.semesters;

-- Five students in each of the first four groups, numbered in group order.
DECLARE @students TABLE (id INT PRIMARY KEY, id_group INT, place INT, name NVARCHAR(70));
INSERT INTO @students VALUES
    (1, 1, 0, N'Алексеев Никита Сергеевич'), (2, 1, 1, N'Белова Дарья Андреевна'),
    (3, 1, 2, N'Воронин Артём Игоревич'), (4, 1, 3, N'Громова Полина Олеговна'),
    (5, 1, 4, N'Дмитриев Егор Павлович'),
    (6, 2, 0, N'Ершова Алина Викторовна'), (7, 2, 1, N'Жуков Максим Денисович'),
    (8, 2, 2, N'Захарова Ксения Романовна'), (9, 2, 3, N'Ильин Тимур Алексеевич'),
    (10, 2, 4, N'Калинина Варвара Ильинична'),
    (11, 3, 0, N'Лебедев Иван Михайлович'), (12, 3, 1, N'Морозова Анна Константиновна'),
    (13, 3, 2, N'Николаев Даниил Евгеньевич'), (14, 3, 3, N'Орлова Софья Дмитриевна'),
    (15, 3, 4, N'Павлов Кирилл Андреевич'),
    (16, 4, 0, N'Романова Елизавета Сергеевна'), (17, 4, 1, N'Соколов Глеб Витальевич'),
    (18, 4, 2, N'Тихонова Мария Юрьевна'), (19, 4, 3, N'Уткин Роман Олегович'),
    (20, 4, 4, N'Фролова Вероника Антоновна');

SET IDENTITY_INSERT dbo.s_fio ON;
INSERT INTO dbo.s_fio (id_student, s_fio) SELECT id, name FROM @students;
SET IDENTITY_INSERT dbo.s_fio OFF;
INSERT INTO dbo.group_student (id_group, id_student) SELECT id_group, id FROM @students;

INSERT INTO dbo.educ_sh (id_group, id_semester, id_discipline, id_examination, hours) VALUES
    (1, 1, 1, 1, 144), (1, 1, 3, 1, 180);

-- The journal. Every past semester is filled with marks; the last semester of each group has rows only for its
-- first two students (the second without marks), the others get theirs when the journal is opened. The marks
-- are picked by a fixed rule from the row's running number (its id), so every demo database is the same.
-- Autumn semesters end with the January session, spring ones with the June session.
WITH rows_wanted AS (
    SELECT g.id AS id_group, g.start_year, s.id AS id_student, s.place, p.ord, p.semester, p.discipline,
           p.examination, p.teacher, CASE WHEN p.semester = g.semesters THEN 1 ELSE 0 END AS is_current
    FROM @groups g
    JOIN @students s ON s.id_group = g.id
    JOIN @plans p ON p.speciality = g.speciality AND p.semester <= g.semesters
    WHERE NOT (p.semester = g.semesters AND s.place >= 2)
), numbered AS (
    SELECT r.*, CONVERT(INT, ROW_NUMBER() OVER (ORDER BY r.id_group, r.place, r.ord)) AS variant
    FROM rows_wanted r
), marked AS (
    SELECT n.*,
           CASE WHEN n.is_current = 1 AND n.place = 1 THEN NULL
                WHEN n.examination = 2 THEN CHOOSE((n.variant * 7919 + 13) % 11 + 1, 20, 20, 20, 20, 11, 20, 33, 20, 44, 55, 20)
                ELSE CHOOSE((n.variant * 7919 + 13) % 11 + 1, 14, 13, 12, 35, 34, 32, 14, 10, 13, 31, 12) END AS mark,
           CASE WHEN n.semester % 2 = 1 THEN DATEFROMPARTS(n.start_year + (n.semester + 1) / 2, 1, 10 + n.variant % 15)
                ELSE DATEFROMPARTS(n.start_year + n.semester / 2, 6, 5 + n.variant % 20) END AS session_day
    FROM numbered n
)
INSERT INTO dbo.mark_mag (id_mark_mag, primech, dopusk_izm, id_group, id_student, id_examination, id_discipline,
                          id_estimation, id_semester, id_teacher, p35, p36, id_f_est, u_date, OLM_User, OLM_Update)
SELECT variant, N'д', 0, id_group, id_student, examination, discipline, mark, semester, teacher,
       CASE WHEN mark IS NULL THEN NULL ELSE CONVERT(NVARCHAR(50), 100 + variant) END,
       CASE WHEN mark IS NULL THEN NULL ELSE CONVERT(DATETIME, session_day) END,
       CASE WHEN mark IS NULL THEN NULL ELSE 1 END,
       DATEADD(HOUR, 12, CONVERT(DATETIME, session_day)), N'petrova', session_day
FROM marked;

-- Special cases the journal window shows, all in ПИ-21, 1 семестр: a duplicate pair, a row outside the
-- curriculum, an unpaid admission, an exempt mark, an individual sheet (its number is the row id).
DECLARE @next INT = (SELECT MAX(id_mark_mag) FROM dbo.mark_mag) + 1;
DECLARE @day DATE = DATEFROMPARTS(2022, 1, 13);
INSERT INTO dbo.mark_mag (id_mark_mag, primech, dopusk_izm, id_group, id_student, id_examination, id_discipline,
                          id_estimation, id_semester, id_teacher, p35, p36, id_f_est, u_date, OLM_User, OLM_Update)
VALUES
    (@next, N'д', 0, 1, 1, 1, 1, 13, 1, 1, N'205', CONVERT(DATETIME, DATEADD(DAY, 20, @day)), 3,
     DATEADD(HOUR, 12, CONVERT(DATETIME, @day)), N'petrova', @day),
    (@next + 1, N'д', 0, 1, 2, 2, 8, 20, 1, 8, N'117', CONVERT(DATETIME, @day), 1,
     DATEADD(HOUR, 12, CONVERT(DATETIME, @day)), N'petrova', @day);

UPDATE dbo.mark_mag SET primech = N'н/д', dopusk_izm = 1
WHERE id_group = 1 AND id_student = 3 AND id_semester = 1 AND id_discipline = 3;
UPDATE dbo.mark_mag SET id_estimation = 25
WHERE id_group = 1 AND id_student = 4 AND id_semester = 1 AND id_discipline = 1;
UPDATE dbo.mark_mag SET id_f_est = 2, p35 = CONVERT(NVARCHAR(50), id_mark_mag)
WHERE id_group = 1 AND id_student = 5 AND id_semester = 1 AND id_discipline = 1;
-- Two rows deleted by an operator, waiting in del_mark_mag to be restored.
DELETE FROM dbo.mark_mag WHERE id_group = 1 AND id_student = 1 AND id_semester = 2 AND id_discipline IN (3, 8);
UPDATE dbo.del_mark_mag SET del_oper = N'petrova', del_date = DATETIMEFROMPARTS(2022, 6, 12, 10, 30, 0, 0);
-- The server's own stamps were the administrator's while filling; make them the demo operator's.
UPDATE dbo.mark_mag SET OLM_User = N'petrova';

COMMIT TRANSACTION;
SET XACT_ABORT OFF;

-- New journal rows continue after the demo's ids.
DECLARE @restart NVARCHAR(200) = N'ALTER SEQUENCE dbo.mark_mag_id RESTART WITH '
    + CONVERT(NVARCHAR(12), (SELECT MAX(id_mark_mag) FROM (SELECT id_mark_mag FROM dbo.mark_mag
                                                            UNION ALL SELECT id_mark_mag FROM dbo.del_mark_mag) ids) + 1);
EXEC sys.sp_executesql @restart;
END;
GO

-- The demo users (see server/DEMO.md): each is added only when missing; a server login left from an
-- earlier demo database is taken over.
DECLARE @today DATE = CONVERT(DATE, GETDATE());
IF NOT EXISTS (SELECT 1 FROM dbo.srv_users WHERE login = N'petrova')
BEGIN
    EXEC dbo.olm_user_add @login = N'petrova', @password = N'petrova1', @role = N'editor', @adopt_login = 1;
    EXEC dbo.olm_user_groups @login = N'petrova', @groups = N'1,2,3,4,5';
END;
IF NOT EXISTS (SELECT 1 FROM dbo.srv_users WHERE login = N'sidorov')
BEGIN
    EXEC dbo.olm_user_add @login = N'sidorov', @password = N'sidorov1', @role = N'reader', @adopt_login = 1;
    EXEC dbo.olm_user_groups @login = N'sidorov', @groups = N'1,2';
END;
IF NOT EXISTS (SELECT 1 FROM dbo.srv_users WHERE login = N'kuznetsov')
BEGIN
    -- Password expired: the change area opens, locked open.
    EXEC dbo.olm_user_add @login = N'kuznetsov', @password = N'kuznetsov1', @role = N'editor', @adopt_login = 1;
    EXEC dbo.olm_user_groups @login = N'kuznetsov', @groups = N'3';
    DECLARE @expired DATE = DATEADD(DAY, -100, @today);
    EXEC dbo.olm_user_password_changed @login = N'kuznetsov', @changed = @expired;
END;
IF NOT EXISTS (SELECT 1 FROM dbo.srv_users WHERE login = N'smirnova')
BEGIN
    -- 19 days left: asked to change on the first attempt only.
    EXEC dbo.olm_user_add @login = N'smirnova', @password = N'smirnova1', @role = N'editor', @adopt_login = 1;
    EXEC dbo.olm_user_groups @login = N'smirnova', @groups = N'3,4';
    DECLARE @ageing DATE = DATEADD(DAY, -71, @today);
    EXEC dbo.olm_user_password_changed @login = N'smirnova', @changed = @ageing;
END;
IF NOT EXISTS (SELECT 1 FROM dbo.srv_users WHERE login = N'popov')
BEGIN
    EXEC dbo.olm_user_add @login = N'popov', @password = N'popov1', @role = N'editor', @adopt_login = 1;
    EXEC dbo.olm_user_groups @login = N'popov', @groups = N'1';
    EXEC dbo.olm_user_block @login = N'popov', @message = N'Учётная запись заблокирована. Обратитесь к администратору.';
END;
GO

-- The demo's rows are where the trail starts, not changes to it.
IF NOT EXISTS (SELECT 1 FROM dbo.srv_attempts)
    DELETE FROM dbo.srv_audit;
GO

SET NOEXEC OFF;
GO
