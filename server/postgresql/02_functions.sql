-- OLM journal on PostgreSQL, script 2 of 8: the helper functions the triggers and functions share (who the
-- session is, its groups, the shifted credential form, the password verifier, program versions, durable records).
-- Run after 01_schema.sql: psql -v ON_ERROR_STOP=1 -d OLM -f 02_functions.sql. CREATE OR REPLACE keeps it re-runnable.
-- Identity is always session_user, the role that signed in: inside a SECURITY DEFINER function current_user is the
-- owner, and session_user cannot be changed by a journal user.

DO $$
BEGIN
    IF to_regclass('public.srv_users') IS NULL THEN
        RAISE EXCEPTION 'Run 01_schema.sql in this database first.';
    END IF;
END;
$$;

-- Administrators (superusers and members of olm_admin) are not scoped, and may correct the log and prune the trail.
CREATE OR REPLACE FUNCTION olm_is_admin() RETURNS boolean
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT EXISTS (SELECT 1 FROM pg_roles r
                   WHERE r.rolname = session_user
                     AND (r.rolsuper OR (EXISTS (SELECT 1 FROM pg_roles a WHERE a.rolname = 'olm_admin')
                                         AND pg_has_role(session_user, 'olm_admin', 'MEMBER'))));
$$;

-- The sign-in login of the session (its database role mapped back to the user); the role's own name otherwise.
-- Stamps, the audit trail and del_oper carry it.
CREATE OR REPLACE FUNCTION olm_login() RETURNS text
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT COALESCE((SELECT u.login FROM srv_users u WHERE u.db_login = session_user ORDER BY u.id_login LIMIT 1),
                    session_user::text);
$$;

-- The groups the signed-in user works on (their own, with o_z = 1). Row-level security and the views ask this
-- once per statement.
CREATE OR REPLACE FUNCTION olm_my_groups() RETURNS SETOF integer
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT ug.id_group FROM srv_user_groups ug JOIN srv_users u ON u.id_login = ug.id_login
    WHERE u.db_login = session_user AND ug.o_z = 1;
$$;

-- True when the session may work on the group: one of the signed-in user's own groups, or an administrator.
-- The journal functions run with the owner's rights and are scoped by this the same way.
CREATE OR REPLACE FUNCTION olm_may_group(p_id_group integer) RETURNS boolean
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
    SELECT olm_is_admin() OR (p_id_group IS NOT NULL AND p_id_group IN (SELECT olm_my_groups()));
$$;

-- Every byte of the text's Windows-1251 form lowered by one (modulo 256): the form credentials travel in.
-- NULL when a character has no Windows-1251 byte, or a shifted byte is no character, so that no credential is
-- handed out as some other text.
CREATE OR REPLACE FUNCTION olm_shift_down(p_text text) RETURNS text
    LANGUAGE plpgsql IMMUTABLE SET search_path = public, pg_temp
AS $$
DECLARE
    bytes bytea;
    i integer;
BEGIN
    IF p_text IS NULL THEN
        RETURN NULL;
    END IF;
    BEGIN
        bytes := convert_to(p_text, 'WIN1251');
        FOR i IN 0 .. length(bytes) - 1 LOOP
            bytes := set_byte(bytes, i, (get_byte(bytes, i) + 255) % 256);
        END LOOP;
        RETURN convert_from(bytes, 'WIN1251');
    EXCEPTION WHEN character_not_in_repertoire OR untranslatable_character
                    OR program_limit_exceeded THEN
        RETURN NULL;
    END;
END;
$$;

-- True for 32 hexadecimal digits (either case): the form of a password digest.
CREATE OR REPLACE FUNCTION olm_is_digest(p_text text) RETURNS boolean
    LANGUAGE sql IMMUTABLE
AS $$
    SELECT COALESCE(p_text ~ '^[0-9A-Fa-f]{32}$', false);
$$;

-- The password verifier: the digest (in upper case, as the client writes it) through the blowfish-based crypt with a
-- random salt and 2^8 rounds. The salt and rounds are kept inside the verifier; the digest itself never is.
CREATE OR REPLACE FUNCTION olm_password_hash(p_digest text) RETURNS text
    LANGUAGE sql VOLATILE SET search_path = public, pg_temp
AS $$
    SELECT olm_ext.crypt(upper(p_digest), olm_ext.gen_salt('bf', 8));
$$;

CREATE OR REPLACE FUNCTION olm_password_matches(p_digest text, p_verifier text) RETURNS boolean
    LANGUAGE sql STABLE SET search_path = public, pg_temp
AS $$
    SELECT p_digest IS NOT NULL AND p_verifier IS NOT NULL AND olm_ext.crypt(upper(p_digest), p_verifier) = p_verifier;
$$;

-- The MD5 digest the client sends for a typed password: 32 upper-case hexadecimal digits of its Windows-1251 bytes.
-- The administration functions use it to set a password.
CREATE OR REPLACE FUNCTION olm_password_digest(p_password text) RETURNS text
    LANGUAGE sql IMMUTABLE
AS $$
    SELECT upper(md5(convert_to(p_password, 'WIN1251')));
$$;

-- Days until the password must be changed; below 0 once it has expired or when it was never set.
CREATE OR REPLACE FUNCTION olm_days_left(p_changed date) RETURNS integer
    LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    max_age integer;
BEGIN
    IF p_changed IS NULL THEN
        RETURN -1;
    END IF;
    SELECT CASE WHEN c.value ~ '^\s*-?[0-9]{1,9}\s*$' THEN trim(c.value)::integer END INTO max_age
    FROM srv_config c WHERE c.name = 'password_max_age_days';
    RETURN COALESCE(max_age, 90) - (current_date - p_changed);
END;
$$;

-- A client is asked to update only when it is older than the current program: a newer one (a pilot of the next
-- version) must not be sent back. Versions compare as numbers ("OLM 9" is older than "OLM 16"); a program of
-- another name, or without a version, is told to update whenever it is not the current one.
CREATE OR REPLACE FUNCTION olm_is_older_program(p_client text, p_current text) RETURNS boolean
    LANGUAGE plpgsql IMMUTABLE
AS $$
DECLARE
    pattern constant text := '^(.*?)\s*([0-9]+(\.[0-9]+)*)$';
    a text[] := regexp_match(btrim(COALESCE(p_client, '')), pattern);
    b text[] := regexp_match(btrim(COALESCE(p_current, '')), pattern);
    x text[];
    y text[];
    i integer;
    left_part numeric;
    right_part numeric;
BEGIN
    IF a IS NULL OR b IS NULL OR lower(a[1]) <> lower(b[1]) THEN
        RETURN COALESCE(p_client, '') <> COALESCE(p_current, '');
    END IF;
    x := string_to_array(a[2], '.');
    y := string_to_array(b[2], '.');
    FOR i IN 1 .. greatest(cardinality(x), cardinality(y)) LOOP
        left_part := COALESCE(x[i]::numeric, 0);
        right_part := COALESCE(y[i]::numeric, 0);
        IF left_part <> right_part THEN
            RETURN left_part < right_part;
        END IF;
    END LOOP;
    RETURN false;
END;
$$;

-- A value as a literal, for the calls the audit trail records: NULL bare, text quoted with quotes doubled.
CREATE OR REPLACE FUNCTION olm_literal(p_value text) RETURNS text
    LANGUAGE sql IMMUTABLE
AS $$
    SELECT CASE WHEN p_value IS NULL THEN 'NULL' ELSE '''' || replace(p_value, '''', '''''') || '''' END;
$$;

-- A refusal undoes everything its statement wrote, the record of the refused attempt included; the recorder writes
-- such records over a connection of its own (to this database, as a role that may only add attempts and audit
-- rows), so they stay. Where the recorder cannot connect, the record is lost and the server log says so.
-- A value as a connection string carries it: single quotes around, backslash before a quote or backslash.
CREATE OR REPLACE FUNCTION olm_conninfo_value(p_value text) RETURNS text
    LANGUAGE sql IMMUTABLE
AS $$
    SELECT '''' || replace(replace(p_value, '\', '\\'), '''', '\''') || '''';
$$;

CREATE OR REPLACE FUNCTION olm_record_durably(p_statement text) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    conninfo text;
BEGIN
    SELECT format('host=%s port=%s dbname=%s user=%s password=%s connect_timeout=5 application_name=olm_recorder',
                  olm_conninfo_value(COALESCE(h.value, '127.0.0.1')), current_setting('port'),
                  olm_conninfo_value(current_database()), olm_conninfo_value(r.value), olm_conninfo_value(p.value))
    INTO conninfo
    FROM srv_config r
    JOIN srv_config p ON p.name = 'recorder_password'
    LEFT JOIN srv_config h ON h.name = 'recorder_host'
    WHERE r.name = 'recorder_role';
    IF conninfo IS NULL THEN
        RAISE WARNING 'OLM: no recorder is set up (06_security.sql); a refusal was not recorded.';
        RETURN;
    END IF;
    PERFORM olm_ext.dblink_exec(conninfo, p_statement);
EXCEPTION WHEN OTHERS THEN
    RAISE WARNING 'OLM: a refusal could not be recorded: %', SQLERRM;
END;
$$;

-- Every call goes to the audit trail, with the refusal for a refused one; a refusal then reaches the caller.
CREATE OR REPLACE FUNCTION olm_record_call(p_procedure text, p_call text, p_failure text) RETURNS void
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    IF p_failure IS NULL THEN
        INSERT INTO srv_audit (audit_date, login, action, "table", old_value, new_value)
        VALUES (localtimestamp, olm_login(), 'EXECUTE', p_procedure, NULL, p_call);
        RETURN;
    END IF;
    PERFORM olm_record_durably(format(
        'INSERT INTO srv_audit (audit_date, login, action, "table", old_value, new_value) VALUES (%L, %L, %L, %L, %L, %L)',
        localtimestamp, olm_login(), 'EXECUTE', p_procedure, p_failure, p_call));
    RAISE EXCEPTION USING MESSAGE = p_failure;
END;
$$;

-- Stored values as the trail keeps them: dates and times as yyyy-mm-dd hh:mi:ss.mmm, flags as 0/1.
CREATE OR REPLACE FUNCTION olm_audit_text(p_value timestamp) RETURNS text
    LANGUAGE sql IMMUTABLE
AS $$
    SELECT to_char(p_value, 'YYYY-MM-DD HH24:MI:SS.MS');
$$;
