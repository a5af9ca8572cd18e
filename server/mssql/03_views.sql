-- OLM journal on Microsoft SQL Server, script 3 of 8: the views the client reads (semesters, students and the
-- curriculum of a group, a group's speciality, the signed-in user's groups).
-- Run after 02_functions.sql: sqlcmd -b -f 65001 -S SERVER -d OLM -i 03_views.sql. CREATE OR ALTER keeps it re-runnable.

IF OBJECT_ID(N'dbo.olm_login', N'FN') IS NULL
BEGIN
    RAISERROR(N'Run 01_schema.sql and 02_functions.sql in this database first.', 16, 1);
    SET NOEXEC ON;
END;
GO

CREATE OR ALTER VIEW dbo.g_sem
AS
SELECT gs.id_group, gs.id_semester, s.p43, gs.id_rate
FROM dbo.group_semester gs
JOIN dbo.semester s ON s.id_semester = gs.id_semester;
GO

CREATE OR ALTER VIEW dbo.s_g
AS
SELECT gs.id_group, gs.id_student, f.s_fio
FROM dbo.group_student gs
JOIN dbo.s_fio f ON f.id_student = gs.id_student;
GO

CREATE OR ALTER VIEW dbo.gr_sem_disc_exam
AS
SELECT c.id_group, c.id_semester, c.id_discipline, c.id_examination, d.p34, e.p30, c.id_teacher
FROM dbo.curriculum c
JOIN dbo.discipline d ON d.id_discipline = c.id_discipline
JOIN dbo.examination e ON e.id_examination = c.id_examination;
GO

CREATE OR ALTER VIEW dbo.g_s
AS
SELECT g.id_group, sp.spec, g.id_speciality
FROM dbo.[group] g
LEFT JOIN dbo.speciality sp ON sp.id_speciality = g.id_speciality;
GO

-- The groups of sign-in users. A user's session sees its own rows only; an administrator sees everyone's.
CREATE OR ALTER VIEW dbo.group_form
AS
SELECT ug.id_group, g.p20, ug.o_z, ug.id_login
FROM dbo.srv_user_groups ug
JOIN dbo.[group] g ON g.id_group = ug.id_group
JOIN dbo.srv_users u ON u.id_login = ug.id_login
WHERE u.db_login = SUSER_SNAME() OR dbo.olm_is_admin() = 1;
GO

SET NOEXEC OFF;
GO
