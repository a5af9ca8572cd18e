-- OLM journal on PostgreSQL, script 7 of 8: the administrator's functions for sign-in users (add, groups, block,
-- unblock, password, expiry, role, removal, list) and for reading the log and the audit trail.
-- Run after 06_security.sql: psql -v ON_ERROR_STOP=1 -d OLM -f 07_admin.sql. CREATE OR REPLACE keeps it re-runnable.
-- Only olm_admin (and superusers) may execute them. Examples (docs/deploy-postgresql.md has more):
--   SELECT olm_user_add('petrova', 'petrova1', 'editor');
--   SELECT olm_user_groups('petrova', '1,2,5');

DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'olm_admin') THEN
        RAISE EXCEPTION 'Run scripts 01 to 06 in this database first.';
    END IF;
END;
$$;

-- What the sign-in window lets a user type, so that every password set here can be typed there.
CREATE OR REPLACE FUNCTION olm_password_problem(p_password text) RETURNS text
    LANGUAGE sql IMMUTABLE
AS $$
    SELECT CASE WHEN p_password IS NULL OR p_password !~ '^[A-Za-z0-9_]{6,20}$'
                THEN 'A password is 6 to 20 Latin letters, digits or ''_''.' END;
$$;

-- A login names the user's database role as well: letters, digits and a few marks, never a reserved name.
CREATE OR REPLACE FUNCTION olm_login_problem(p_login text) RETURNS text
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT CASE
        WHEN p_login IS NULL OR p_login !~ '^[-._0-9A-Za-zЁА-Яа-яё]{1,20}$'
            THEN 'A login is 1 to 20 letters, digits, ''_'', ''.'' or ''-'': ''' || COALESCE(p_login, '') || ''' is not one.'
        WHEN lower(p_login) IN ('postgres', 'public') OR lower(p_login) LIKE 'olm\_%' OR lower(p_login) LIKE 'pg\_%'
             OR p_login = (SELECT value FROM srv_config WHERE name = 'bootstrap_login')
            THEN 'The login ''' || p_login || ''' is reserved.'
    END;
$$;

-- Finds a user's id; raises "There is no user" when there is none.
CREATE OR REPLACE FUNCTION olm_user_id(p_login text) RETURNS integer
    LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    found_id integer := (SELECT u.id_login FROM srv_users u WHERE lower(u.login) = lower(p_login));
BEGIN
    IF found_id IS NULL THEN
        RAISE EXCEPTION 'There is no user ''%''.', COALESCE(p_login, '');
    END IF;
    RETURN found_id;
END;
$$;

-- Takes the journal roles (editor, reader) from a database role, so that one can be given anew.
CREATE OR REPLACE FUNCTION olm_journal_role_clear(p_role text) RETURNS void
    LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp
AS $$
DECLARE
    granted text;
BEGIN
    FOR granted IN SELECT g.rolname FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid
                   JOIN pg_roles r ON r.oid = m.member
                   WHERE r.rolname = p_role AND g.rolname IN ('olm_editor', 'olm_reader') LOOP
        EXECUTE format('REVOKE %I FROM %I', granted, p_role);
    END LOOP;
END;
$$;

-- 16 letters and digits without look-alikes, every one equally likely: safe inside a connection string, and shifted
-- down by one still plain ASCII.
CREATE OR REPLACE FUNCTION olm_generated_password() RETURNS text
    LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp
AS $$
DECLARE
    alphabet constant text := 'ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789';
    result text := '';
    random bytea;
    i integer;
BEGIN
    WHILE length(result) < 16 LOOP
        random := olm_ext.gen_random_bytes(64);
        FOR i IN 0 .. 63 LOOP
            EXIT WHEN length(result) = 16;
            IF get_byte(random, i) < 224 THEN -- 4 * 56
                result := result || substr(alphabet, get_byte(random, i) % 56 + 1, 1);
            END IF;
        END LOOP;
    END LOOP;
    RETURN result;
END;
$$;

-- Adds a sign-in user with a database role of its own (named like the user unless p_db_login says otherwise) whose
-- generated password only get_user hands out. p_role is editor or reader. Roles belong to the whole cluster: a role
-- of that name left from another database is refused unless p_adopt_login, which gives it a new generated password
-- (the other database's copy of it then no longer works). Answers the new user's id.
CREATE OR REPLACE FUNCTION olm_user_add(p_login text, p_password text, p_role text DEFAULT 'editor',
                                        p_db_login text DEFAULT NULL, p_adopt_login boolean DEFAULT false)
    RETURNS integer
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    problem text := olm_login_problem(p_login);
    role_name text := COALESCE(p_db_login, p_login);
    role_exists boolean;
    role_password text := olm_generated_password();
    new_id integer;
BEGIN
    IF problem IS NULL AND EXISTS (SELECT 1 FROM srv_users u WHERE lower(u.login) = lower(p_login)) THEN
        problem := 'The user ''' || p_login || ''' already exists.';
    END IF;
    IF problem IS NULL AND p_db_login IS NOT NULL THEN
        problem := olm_login_problem(p_db_login);
    END IF;
    problem := COALESCE(problem, olm_password_problem(p_password));
    IF problem IS NULL AND COALESCE(p_role, '') NOT IN ('editor', 'reader') THEN
        problem := 'A role is editor or reader, not ''' || COALESCE(p_role, '') || '''.';
    END IF;
    role_exists := EXISTS (SELECT 1 FROM pg_roles WHERE rolname = role_name);
    IF problem IS NULL AND ((role_exists AND NOT COALESCE(p_adopt_login, false))
                            OR EXISTS (SELECT 1 FROM srv_db_logins l WHERE l.name = role_name)) THEN
        problem := 'The database login ''' || role_name
            || ''' exists already; give another one with p_db_login, or take over a left-over role with p_adopt_login.';
    END IF;
    -- A role with rights of its own is never taken over: its password would be handed to a journal user.
    IF problem IS NULL AND role_exists
       AND EXISTS (SELECT 1 FROM pg_roles WHERE rolname = role_name
                   AND (rolsuper OR rolcreaterole OR rolcreatedb OR rolreplication OR rolbypassrls
                        OR pg_has_role(role_name, 'olm_admin', 'MEMBER') OR pg_has_role(role_name, 'olm_bootstrap', 'MEMBER'))) THEN
        problem := 'The role ''' || role_name || ''' has rights of its own: it cannot serve a sign-in user.';
    END IF;
    IF problem IS NOT NULL THEN
        RAISE EXCEPTION '%', problem;
    END IF;

    -- The generated password is long and random and nobody types it; it does not expire. Everything below is one
    -- transaction: a failure leaves nothing half made.
    IF role_exists THEN
        EXECUTE format('ALTER ROLE %I LOGIN PASSWORD %L VALID UNTIL ''infinity''', role_name, role_password);
        PERFORM olm_journal_role_clear(role_name);
    ELSE
        EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L', role_name, role_password);
    END IF;
    EXECUTE format('GRANT %I TO %I', 'olm_' || p_role, role_name);
    INSERT INTO srv_db_logins (name, password) VALUES (role_name, role_password);
    INSERT INTO srv_users (login, verifier, password_changed, db_login)
    VALUES (p_login, olm_password_hash(olm_password_digest(p_password)), current_date, role_name)
    RETURNING id_login INTO new_id;
    RETURN new_id;
END;
$$;

-- Makes the listed groups (ids separated by commas or blanks) the user's groups, replacing the old set.
CREATE OR REPLACE FUNCTION olm_user_groups(p_login text, p_groups text) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    user_id integer := olm_user_id(p_login);
    item text;
    chosen integer[] := '{}';
BEGIN
    FOREACH item IN ARRAY regexp_split_to_array(btrim(COALESCE(p_groups, '')), '[\s,]+') LOOP
        CONTINUE WHEN item = '';
        IF item !~ '^[0-9]{1,9}$' OR NOT EXISTS (SELECT 1 FROM "group" g WHERE g.id_group = item::integer) THEN
            RAISE EXCEPTION 'There is no group %.', item;
        END IF;
        IF NOT item::integer = ANY (chosen) THEN
            chosen := chosen || item::integer;
        END IF;
    END LOOP;
    DELETE FROM srv_user_groups ug WHERE ug.id_login = user_id;
    INSERT INTO srv_user_groups (id_login, id_group, o_z) SELECT user_id, g, 1 FROM unnest(chosen) g;
END;
$$;

-- A blocked user is told the message at sign-in and gets no credentials; the database role loses its login too, and
-- its open sessions are ended.
CREATE OR REPLACE FUNCTION olm_user_block(p_login text, p_message text) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    user_id integer;
    role_name text;
BEGIN
    IF p_message IS NULL OR btrim(p_message) = '' THEN
        RAISE EXCEPTION 'A blocked user is shown a message: give one.';
    END IF;
    user_id := olm_user_id(p_login);
    SELECT u.db_login INTO role_name FROM srv_users u WHERE u.id_login = user_id;
    UPDATE srv_users u SET blocked_message = p_message WHERE u.id_login = user_id;
    UPDATE srv_db_logins l SET enabled = false WHERE l.name = role_name;
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = role_name) THEN
        EXECUTE format('ALTER ROLE %I NOLOGIN', role_name);
        PERFORM pg_terminate_backend(a.pid) FROM pg_stat_activity a
        WHERE a.usename = role_name AND a.pid <> pg_backend_pid();
    END IF;
END;
$$;

CREATE OR REPLACE FUNCTION olm_user_unblock(p_login text) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    user_id integer := olm_user_id(p_login);
    role_name text := (SELECT u.db_login FROM srv_users u WHERE u.id_login = olm_user_id(p_login));
BEGIN
    UPDATE srv_users u SET blocked_message = NULL WHERE u.id_login = user_id;
    UPDATE srv_db_logins l SET enabled = true WHERE l.name = role_name;
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = role_name) THEN
        EXECUTE format('ALTER ROLE %I LOGIN', role_name);
    END IF;
END;
$$;

-- Sets a new password (a fresh verifier); its age counts from today.
CREATE OR REPLACE FUNCTION olm_user_password(p_login text, p_password text) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    user_id integer := olm_user_id(p_login);
    problem text := olm_password_problem(p_password);
BEGIN
    IF problem IS NOT NULL THEN
        RAISE EXCEPTION '%', problem;
    END IF;
    UPDATE srv_users u SET verifier = olm_password_hash(olm_password_digest(p_password)), password_changed = current_date
    WHERE u.id_login = user_id;
END;
$$;

-- Moves the day the password was last changed (a password whose age passes the limit must be changed at sign-in).
CREATE OR REPLACE FUNCTION olm_user_password_changed(p_login text, p_changed date) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    UPDATE srv_users u SET password_changed = p_changed WHERE u.id_login = olm_user_id(p_login);
END;
$$;

-- The user must change the password at the next sign-in.
CREATE OR REPLACE FUNCTION olm_user_expire(p_login text) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    UPDATE srv_users u SET password_changed = NULL WHERE u.id_login = olm_user_id(p_login);
END;
$$;

-- Makes the user an editor or a reader.
CREATE OR REPLACE FUNCTION olm_user_role(p_login text, p_role text) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    role_name text := (SELECT u.db_login FROM srv_users u WHERE u.id_login = olm_user_id(p_login));
BEGIN
    IF COALESCE(p_role, '') NOT IN ('editor', 'reader') THEN
        RAISE EXCEPTION 'A role is editor or reader, not ''%''.', COALESCE(p_role, '');
    END IF;
    PERFORM olm_journal_role_clear(role_name);
    EXECUTE format('GRANT %I TO %I', 'olm_' || p_role, role_name);
END;
$$;

-- Removes a sign-in user and its groups; the database role is dropped too unless p_drop_role is false (roles belong
-- to the whole cluster: keep it when another OLM database still hands it out). The log and the trail keep its name.
CREATE OR REPLACE FUNCTION olm_user_remove(p_login text, p_drop_role boolean DEFAULT true) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    user_id integer := olm_user_id(p_login);
    role_name text := (SELECT u.db_login FROM srv_users u WHERE u.id_login = olm_user_id(p_login));
BEGIN
    DELETE FROM srv_user_groups ug WHERE ug.id_login = user_id;
    DELETE FROM srv_users u WHERE u.id_login = user_id;
    DELETE FROM srv_db_logins l WHERE l.name = role_name
        AND NOT EXISTS (SELECT 1 FROM srv_users o WHERE o.db_login = role_name);
    IF p_drop_role AND NOT EXISTS (SELECT 1 FROM srv_users o WHERE o.db_login = role_name)
       AND EXISTS (SELECT 1 FROM pg_roles WHERE rolname = role_name) THEN
        PERFORM pg_terminate_backend(a.pid) FROM pg_stat_activity a
        WHERE a.usename = role_name AND a.pid <> pg_backend_pid();
        EXECUTE format('DROP ROLE %I', role_name);
    END IF;
END;
$$;

-- Sign-in users with their database role, role, password age, block message and groups.
CREATE OR REPLACE FUNCTION olm_user_list()
    RETURNS TABLE (id_login integer, login text, db_login text, role text, password_changed date, days_left integer,
                   blocked_message text, groups text)
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT u.id_login, u.login::text, u.db_login::text,
           CASE WHEN NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = u.db_login) THEN ''
                WHEN pg_has_role(u.db_login, 'olm_editor', 'MEMBER') THEN 'editor'
                WHEN pg_has_role(u.db_login, 'olm_reader', 'MEMBER') THEN 'reader' ELSE '' END,
           u.password_changed, olm_days_left(u.password_changed), u.blocked_message::text,
           (SELECT string_agg(g.id_group::text, ',' ORDER BY g.id_group) FROM srv_user_groups g
            WHERE g.id_login = u.id_login)
    FROM srv_users u
    ORDER BY u.login;
$$;

-- The client's change log, newest last; each filter applies when given.
CREATE OR REPLACE FUNCTION olm_log_read(p_row_id integer DEFAULT NULL, p_login text DEFAULT NULL,
                                        p_since timestamp DEFAULT NULL)
    RETURNS TABLE (id_log integer, log_date timestamp, "table" text, row_id integer, olm_user text, comp text, descr text)
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT l.id_log, l.log_date::timestamp, l."table"::text, l.row_id, l.olm_user::text, l.comp::text, l.descr
    FROM olm_log l
    WHERE (p_row_id IS NULL OR l.row_id = p_row_id) AND (p_login IS NULL OR lower(l.olm_user) = lower(p_login))
      AND (p_since IS NULL OR l.log_date >= p_since)
    ORDER BY l.id_log;
$$;

-- The server's audit trail, oldest first; each filter applies when given.
CREATE OR REPLACE FUNCTION olm_audit_read(p_row_id integer DEFAULT NULL, p_login text DEFAULT NULL,
                                          p_since timestamp DEFAULT NULL)
    RETURNS TABLE (id_audit bigint, audit_date timestamp, login text, action text, "table" text, row_id integer,
                   "column" text, old_value text, new_value text)
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT a.id_audit, a.audit_date::timestamp, a.login::text, a.action::text, a."table"::text, a.row_id,
           a."column"::text, a.old_value, a.new_value
    FROM srv_audit a
    WHERE (p_row_id IS NULL OR a.row_id = p_row_id) AND (p_login IS NULL OR lower(a.login) = lower(p_login))
      AND (p_since IS NULL OR a.audit_date >= p_since)
    ORDER BY a.id_audit;
$$;

-- current_program: the program get_user expects (older ones are told to update themselves);
-- password_max_age_days: a password's lifetime; recorder_host: where the recorder reaches this server.
CREATE OR REPLACE FUNCTION olm_config_set(p_name text, p_value text) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    IF p_name IS NULL OR p_name NOT IN ('current_program', 'password_max_age_days', 'recorder_host') THEN
        RAISE EXCEPTION 'The settings are current_program, password_max_age_days and recorder_host.';
    END IF;
    IF p_name = 'password_max_age_days' AND COALESCE(p_value, '') !~ '^\s*-?[0-9]{1,9}\s*$' THEN
        RAISE EXCEPTION 'password_max_age_days is a number of days.';
    END IF;
    INSERT INTO srv_config (name, value) VALUES (p_name, p_value)
    ON CONFLICT (name) DO UPDATE SET value = EXCLUDED.value;
END;
$$;

-- Functions are open to everyone unless revoked; these are the administrator's alone.
REVOKE ALL ON FUNCTION olm_password_problem(text), olm_login_problem(text), olm_user_id(text), olm_generated_password(),
    olm_journal_role_clear(text),
    olm_user_add(text, text, text, text, boolean), olm_user_groups(text, text), olm_user_block(text, text),
    olm_user_unblock(text), olm_user_password(text, text), olm_user_password_changed(text, date), olm_user_expire(text),
    olm_user_role(text, text), olm_user_remove(text, boolean), olm_user_list(), olm_log_read(integer, text, timestamp),
    olm_audit_read(integer, text, timestamp), olm_config_set(text, text) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION olm_user_add(text, text, text, text, boolean), olm_user_groups(text, text),
    olm_user_block(text, text), olm_user_unblock(text), olm_user_password(text, text),
    olm_user_password_changed(text, date), olm_user_expire(text), olm_user_role(text, text),
    olm_user_remove(text, boolean), olm_user_list(), olm_log_read(integer, text, timestamp),
    olm_audit_read(integer, text, timestamp), olm_config_set(text, text) TO olm_admin;
