-- OLM journal on PostgreSQL, script 6 of 8: the roles, their rights, row-level security, the bootstrap login and the
-- recorder. Run after 05_procedures.sql, as a superuser, with the bootstrap credentials the settings file will carry
-- (each 1 to 20 characters):
--   psql -v ON_ERROR_STOP=1 -d OLM -v boot_login=olm_boot -v boot_password=... -f 06_security.sql
-- Re-running grants nothing new and leaves an existing bootstrap login and its password as they are.
--
-- Roles belong to the whole cluster; these group roles are shared by every OLM database in it:
-- olm_bootstrap: may only execute get_user (the settings file on every workstation carries its password).
-- olm_reader:    reads the journal and its lists, opens and creates a selection's rows; every change is refused.
-- olm_editor:    a reader that also edits and deletes journal rows, restores deleted ones and writes olm_log.
-- olm_admin:     runs the administration functions (07_admin.sql) and is not limited to groups.
-- Nobody but the owner reads the srv_ tables; olm_log and srv_audit only take new entries.

DO $$
BEGIN
    IF to_regprocedure('public.get_user(text, text, text, text, text, text, text, text, text)') IS NULL THEN
        RAISE EXCEPTION 'Run scripts 01 to 05 in this database first.';
    END IF;
END;
$$;

SET client_min_messages = warning;
-- psql hands its variables to the script through settings of this session only (\gset keeps them off the output).
SELECT set_config('olm.boot_login', :'boot_login', false) AS olm_boot_login_set,
       set_config('olm.boot_password', :'boot_password', false) IS NOT NULL AS olm_boot_password_set \gset

DO $$
DECLARE
    name text;
BEGIN
    FOREACH name IN ARRAY ARRAY['olm_bootstrap', 'olm_reader', 'olm_editor', 'olm_admin'] LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = name) THEN
            EXECUTE format('CREATE ROLE %I NOLOGIN', name);
        END IF;
    END LOOP;
END;
$$;
GRANT olm_reader TO olm_editor;

-- Nothing is open to everyone: functions are executable by PUBLIC unless revoked, now and for later ones.
REVOKE ALL ON SCHEMA public FROM PUBLIC;
GRANT USAGE ON SCHEMA public TO olm_bootstrap, olm_reader, olm_admin;
REVOKE ALL ON ALL TABLES IN SCHEMA public FROM PUBLIC;
REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM PUBLIC;
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM PUBLIC;
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA olm_ext FROM PUBLIC;
ALTER DEFAULT PRIVILEGES IN SCHEMA public REVOKE EXECUTE ON FUNCTIONS FROM PUBLIC;
REVOKE TEMPORARY ON DATABASE :"DBNAME" FROM PUBLIC;
GRANT CONNECT ON DATABASE :"DBNAME" TO olm_bootstrap, olm_reader, olm_admin;

-- Row-level security and the views ask these as the querying role: they tell a role its own groups and nothing else.
GRANT EXECUTE ON FUNCTION olm_is_admin(), olm_my_groups() TO olm_reader, olm_admin;

-- Sign-in: the bootstrap connection calls get_user and nothing else.
GRANT EXECUTE ON FUNCTION get_user(text, text, text, text, text, text, text, text, text) TO olm_bootstrap;

-- What every signed-in user reads.
GRANT SELECT ON "group", group_form, g_sem, s_fio, s_g, t_fio, gr_sem_disc_exam, est2, f_est, estimationother, com_sfe,
    g_s, g_r_y, semester, examination, educ_sh, discipline, del_mark_mag, mark_mag TO olm_reader;
GRANT EXECUTE ON FUNCTION sort_2_mark_mag(integer, integer, integer) TO olm_reader;
-- The journal window creates a selection's rows before every load, readers included.
GRANT EXECUTE ON FUNCTION insertinto_sort_mark_mag_2(integer, integer, integer, integer) TO olm_reader;
GRANT EXECUTE ON FUNCTION row_history(integer) TO olm_reader;

-- Editors: the journal's data columns, never the server's stamps olm_user and olm_update.
GRANT UPDATE (primech, dopusk_izm, id_estimation_other, id_mark_mag, id_group, id_student, id_examination,
              id_discipline, id_estimation, id_semester, id_teacher, p35, p36, id_f_est, oper, u_date)
    ON mark_mag TO olm_editor;
GRANT DELETE ON mark_mag TO olm_editor;
-- The restore window writes back its choice and nothing else.
GRANT UPDATE (check_ch) ON del_mark_mag TO olm_editor;
-- The log only takes new entries (the olm_log_keep trigger holds it too).
GRANT INSERT ON olm_log TO olm_editor;
GRANT EXECUTE ON FUNCTION del_from_mark_mag(text) TO olm_editor;
GRANT EXECUTE ON FUNCTION ctrl_z_mark_mag(integer, integer) TO olm_editor;

-- Administrators: everything of the journal, the log and the trail to read and correct; users only through 07_admin.
GRANT SELECT, INSERT, UPDATE, DELETE ON "group", s_fio, t_fio, est2, f_est, estimationother, com_sfe, g_r_y, semester,
    examination, educ_sh, discipline, del_mark_mag, mark_mag, speciality, group_semester, group_student, curriculum,
    olm_log TO olm_admin;
GRANT SELECT ON group_form, g_sem, s_g, gr_sem_disc_exam, g_s, srv_audit, srv_attempts TO olm_admin;
GRANT DELETE ON srv_audit TO olm_admin;
GRANT USAGE ON SEQUENCE mark_mag_id TO olm_admin;
GRANT EXECUTE ON FUNCTION sort_2_mark_mag(integer, integer, integer), insertinto_sort_mark_mag_2(integer, integer, integer, integer),
    row_history(integer), del_from_mark_mag(text), ctrl_z_mark_mag(integer, integer) TO olm_admin;

-- Row-level security: a journal role sees and touches the rows of its user's own groups only; a row of another group
-- is not there for it. The owner, superusers and olm_admin see everything.
ALTER TABLE mark_mag ENABLE ROW LEVEL SECURITY;
ALTER TABLE del_mark_mag ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS mark_mag_own_groups ON mark_mag;
CREATE POLICY mark_mag_own_groups ON mark_mag TO olm_reader
    USING (id_group IN (SELECT olm_my_groups())) WITH CHECK (id_group IN (SELECT olm_my_groups()));
DROP POLICY IF EXISTS mark_mag_admin ON mark_mag;
CREATE POLICY mark_mag_admin ON mark_mag TO olm_admin USING (true) WITH CHECK (true);
DROP POLICY IF EXISTS del_mark_mag_own_groups ON del_mark_mag;
CREATE POLICY del_mark_mag_own_groups ON del_mark_mag TO olm_reader
    USING (id_group IN (SELECT olm_my_groups())) WITH CHECK (id_group IN (SELECT olm_my_groups()));
DROP POLICY IF EXISTS del_mark_mag_admin ON del_mark_mag;
CREATE POLICY del_mark_mag_admin ON del_mark_mag TO olm_admin USING (true) WITH CHECK (true);

-- The bootstrap login. Its name and password go into the settings file, whose fields hold 20 characters each. Its
-- password never expires: every workstation carries it.
DO $$
DECLARE
    boot text := current_setting('olm.boot_login');
    password text := current_setting('olm.boot_password');
BEGIN
    IF length(boot) NOT BETWEEN 1 AND 20 OR length(password) NOT BETWEEN 1 AND 20 THEN
        RAISE EXCEPTION 'The bootstrap login and its password are 1 to 20 characters each: the settings file holds no more.';
    END IF;
    IF boot LIKE 'olm\_%' AND boot <> 'olm_boot' OR boot LIKE 'pg\_%' THEN
        RAISE EXCEPTION 'The bootstrap login ''%'' would take a reserved name.', boot;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = boot) THEN
        EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L', boot, password);
    ELSIF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = boot
                  AND (rolsuper OR rolcreaterole OR rolcreatedb OR rolreplication OR rolbypassrls)) THEN
        RAISE EXCEPTION 'The role ''%'' has rights of its own: it cannot be the bootstrap login.', boot;
    END IF;
    EXECUTE format('GRANT olm_bootstrap TO %I', boot);
    -- The administration functions refuse this name for a sign-in user.
    INSERT INTO srv_config (name, value) VALUES ('bootstrap_login', boot)
    ON CONFLICT (name) DO UPDATE SET value = EXCLUDED.value;
END;
$$;
SELECT set_config('olm.boot_password', '', false) IS NOT NULL AS olm_boot_password_cleared \gset

-- The recorder: a login of its own that may add attempts and trail rows only, for the records a refusal must not take
-- back with it (olm_record_durably). Its generated password is kept in srv_config; databases copied from this one
-- share it.
DO $$
DECLARE
    recorder text := (SELECT value FROM srv_config WHERE name = 'recorder_role');
    password text := (SELECT value FROM srv_config WHERE name = 'recorder_password');
BEGIN
    IF recorder IS NULL OR password IS NULL OR NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = recorder) THEN
        recorder := 'olm_recorder_' || substr(encode(olm_ext.gen_random_bytes(6), 'hex'), 1, 12);
        password := encode(olm_ext.gen_random_bytes(18), 'base64');
        EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L', recorder, password);
        INSERT INTO srv_config (name, value) VALUES ('recorder_role', recorder), ('recorder_password', password)
        ON CONFLICT (name) DO UPDATE SET value = EXCLUDED.value;
    END IF;
    EXECUTE format('GRANT CONNECT ON DATABASE %I TO %I', current_database(), recorder);
    EXECUTE format('GRANT USAGE ON SCHEMA public TO %I', recorder);
    EXECUTE format('GRANT INSERT ON srv_attempts, srv_audit TO %I', recorder);
END;
$$;
