-- OLM journal on PostgreSQL, script 3 of 8: the views the client reads (semesters, students and the curriculum of a
-- group, a group's speciality, the signed-in user's groups), each limited to the user's own groups.
-- Run after 02_functions.sql: psql -v ON_ERROR_STOP=1 -d OLM -f 03_views.sql. CREATE OR REPLACE keeps it re-runnable.
-- The views read with their owner's rights and filter themselves; security_barrier keeps a caller's own functions
-- from seeing rows before the filter has run. (SELECT olm_is_admin()) is asked once per statement; written bare,
-- it would be asked for every row, which a function of its kind cannot be inlined to avoid.

DO $$
BEGIN
    IF to_regprocedure('public.olm_may_group(integer)') IS NULL THEN
        RAISE EXCEPTION 'Run 01_schema.sql and 02_functions.sql in this database first.';
    END IF;
END;
$$;

CREATE OR REPLACE VIEW g_sem WITH (security_barrier) AS
SELECT gs.id_group, gs.id_semester, s.p43, gs.id_rate
FROM group_semester gs
JOIN semester s ON s.id_semester = gs.id_semester
WHERE (SELECT olm_is_admin()) OR gs.id_group IN (SELECT olm_my_groups());

CREATE OR REPLACE VIEW s_g WITH (security_barrier) AS
SELECT gs.id_group, gs.id_student, f.s_fio
FROM group_student gs
JOIN s_fio f ON f.id_student = gs.id_student
WHERE (SELECT olm_is_admin()) OR gs.id_group IN (SELECT olm_my_groups());

CREATE OR REPLACE VIEW gr_sem_disc_exam WITH (security_barrier) AS
SELECT c.id_group, c.id_semester, c.id_discipline, c.id_examination, d.p34, e.p30, c.id_teacher
FROM curriculum c
JOIN discipline d ON d.id_discipline = c.id_discipline
JOIN examination e ON e.id_examination = c.id_examination
WHERE (SELECT olm_is_admin()) OR c.id_group IN (SELECT olm_my_groups());

CREATE OR REPLACE VIEW g_s WITH (security_barrier) AS
SELECT g.id_group, sp.spec, g.id_speciality
FROM "group" g
LEFT JOIN speciality sp ON sp.id_speciality = g.id_speciality
WHERE (SELECT olm_is_admin()) OR g.id_group IN (SELECT olm_my_groups());

-- The groups of sign-in users. A user's session sees its own rows only; an administrator sees everyone's.
CREATE OR REPLACE VIEW group_form WITH (security_barrier) AS
SELECT ug.id_group, g.p20, ug.o_z, ug.id_login
FROM srv_user_groups ug
JOIN "group" g ON g.id_group = ug.id_group
JOIN srv_users u ON u.id_login = ug.id_login
WHERE u.db_login = session_user OR (SELECT olm_is_admin());
