-- OLM journal on PostgreSQL, script 5 of 8: the five procedures the client calls, as functions (SELECT * FROM name(...)
-- with the arguments in the client's order). get_user signs a user in; the other four read, create, delete and restore
-- journal rows of the user's own groups; row_history shows one row's trail.
-- Run after 04_triggers.sql: psql -v ON_ERROR_STOP=1 -d OLM -f 05_procedures.sql. CREATE OR REPLACE keeps it re-runnable.
-- They run with the owner's rights (SECURITY DEFINER) and scope themselves by session_user, so a user needs EXECUTE on
-- them and nothing more. A function whose caller reads no rows answers one row with its "RETURN_VALUE". Every call,
-- refused or not, goes to the audit trail; a refused call changes nothing.

DO $$
BEGIN
    IF to_regprocedure('public.olm_journal_scope()') IS NULL THEN
        RAISE EXCEPTION 'Run scripts 01 to 04 in this database first.';
    END IF;
END;
$$;

-- Arguments, in the client's order: login, password digest, new password digest or NULL, program, workstation
-- address, computer name, the login again, a fixed '0', and the length of argument 3 as written (4 for NULL, 34 for a
-- quoted digest). Answer: one row of db_login and db_password (shifted), id_login, days_left, message and update_flag.
-- A failed attempt is recorded by the recorder (olm_record_durably): the refusal undoes this transaction.
CREATE OR REPLACE FUNCTION get_user(p_login text, p_password text, p_new_password text, p_program text,
                                    p_address text, p_computer text, p_login_again text, p_flag text,
                                    p_new_password_length text)
    RETURNS TABLE (db_login text, db_password text, id_login integer, days_left integer, message text,
                   update_flag integer)
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
#variable_conflict use_column
DECLARE
    -- One text for a wrong login and a wrong password, so the answer tells nothing about which logins exist.
    wrong constant text := 'Неверное имя пользователя или пароль.';
    -- Guessing is slowed down: this many failures for one login within the window shut it for the window.
    allowed_failures constant integer := 5;
    lockout constant interval := interval '15 minutes';
    failure text;
    record_attempt boolean := true;
    answer_message text := '';
    u srv_users%ROWTYPE;
    current_program text;
    update_value integer := 0;
    left_days integer;
    login_answer text := '';
    password_answer text := '';
    stored_password text;
    shifted_login text;
    shifted_password text;
    expected text := CASE WHEN p_new_password IS NULL THEN '4' ELSE (length(p_new_password) + 2)::text END;
    call_text text := 'get_user(' || olm_literal(p_login) || ', '
        || CASE WHEN p_password IS NULL THEN 'NULL' ELSE '''********''' END || ', '
        || CASE WHEN p_new_password IS NULL THEN 'NULL' ELSE '''********''' END || ', '
        || olm_literal(p_program) || ', ' || olm_literal(p_address) || ', ' || olm_literal(p_computer) || ', '
        || olm_literal(p_login_again) || ', ' || olm_literal(p_flag) || ', ' || olm_literal(p_new_password_length)
        || ')';
BEGIN
    -- A malformed request is the client's fault, not a sign-in attempt.
    IF p_new_password IS NOT NULL AND NOT olm_is_digest(p_new_password) THEN
        record_attempt := false;
        failure := 'The new password of GET_USER must be a digest of 32 hexadecimal digits.';
    ELSIF btrim(COALESCE(p_new_password_length, ''), E' \t\r\n') IS DISTINCT FROM expected THEN
        record_attempt := false;
        failure := 'Argument 9 of GET_USER must be the length of argument 3 as written (' || expected || ').';
    -- The login matches exactly: blanks around it would pass a lenient comparison and then overflow the stamps.
    ELSIF NOT olm_is_digest(p_password) OR p_login IS NULL OR p_login <> btrim(p_login, E' \t\n\r\f' || chr(11)) THEN
        failure := wrong;
    -- Failures since the login's last success within the lock-out window; a lock-out answers like a wrong
    -- password, so it tells nothing either.
    ELSIF (SELECT count(*) FROM srv_attempts a
           WHERE lower(a.login) = lower(p_login) AND NOT a.success AND a.attempt_date >= localtimestamp - lockout
             AND a.id_attempt > COALESCE((SELECT max(s.id_attempt) FROM srv_attempts s
                                          WHERE lower(s.login) = lower(p_login) AND s.success), 0)) >= allowed_failures THEN
        failure := wrong;
    ELSE
        SELECT * INTO u FROM srv_users s WHERE lower(s.login) = lower(p_login);
        IF NOT FOUND THEN
            -- Spend the time a real check takes, so that timing does not tell either.
            PERFORM olm_password_hash('00000000000000000000000000000000');
            failure := wrong;
        ELSIF NOT olm_password_matches(p_password, u.verifier) THEN
            failure := wrong;
        END IF;
    END IF;

    IF failure IS NULL THEN
        current_program := COALESCE((SELECT c.value FROM srv_config c WHERE c.name = 'current_program'), 'OLM 16');
        update_value := CASE WHEN olm_is_older_program(p_program, current_program) THEN 3 ELSE 0 END;
        left_days := olm_days_left(u.password_changed);
        IF length(u.blocked_message) > 0 THEN
            answer_message := u.blocked_message;
        -- The server sees a new password only as its digest: these two are all it can judge.
        ELSIF p_new_password IS NOT NULL AND upper(p_new_password) = 'D41D8CD98F00B204E9800998ECF8427E' THEN
            answer_message := 'Новый пароль не может быть пустым.';
        ELSIF p_new_password IS NOT NULL AND upper(p_new_password) = upper(p_password) THEN
            answer_message := 'Новый пароль должен отличаться от прежнего.';
        ELSE
            IF p_new_password IS NOT NULL THEN
                UPDATE srv_users s SET verifier = olm_password_hash(p_new_password), password_changed = current_date
                WHERE s.id_login = u.id_login;
                left_days := olm_days_left(current_date);
            END IF;
            SELECT l.password INTO stored_password FROM srv_db_logins l WHERE l.name = u.db_login AND l.enabled;
            IF stored_password IS NULL THEN
                failure := 'The database login of user ''' || u.login || ''' is missing or disabled.';
            -- An expired password gets no credentials: the client must change it first.
            ELSIF left_days >= 0 THEN
                login_answer := u.db_login;
                password_answer := stored_password;
            END IF;
        END IF;
    END IF;

    -- The credentials travel as shifted single bytes: one that the code page cannot carry is refused, not sent as
    -- some other text.
    IF failure IS NULL THEN
        shifted_login := olm_shift_down(login_answer);
        shifted_password := olm_shift_down(password_answer);
        IF shifted_login IS NULL OR shifted_password IS NULL THEN
            failure := 'The credentials of database login ''' || login_answer
                || ''' have characters that Windows-1251 cannot hold.';
        END IF;
    END IF;

    IF failure IS NULL THEN
        INSERT INTO srv_attempts (attempt_date, login, address, computer, program, success)
        VALUES (localtimestamp, left(p_login, 128), left(p_address, 64), left(p_computer, 128), left(p_program, 64),
                length(answer_message) = 0);
    ELSIF record_attempt THEN
        PERFORM olm_record_durably(format(
            'INSERT INTO srv_attempts (attempt_date, login, address, computer, program, success) '
            'VALUES (%L, %L, %L, %L, %L, false)',
            localtimestamp, left(p_login, 128), left(p_address, 64), left(p_computer, 128), left(p_program, 64)));
    END IF;
    PERFORM olm_record_call('GET_USER', call_text, failure);
    RETURN QUERY SELECT shifted_login, shifted_password, u.id_login, left_days, answer_message, update_value;
END;
$$;

-- One student's journal rows for a semester, in the journal's column order; the client writes edits back to mark_mag
-- by id_mark_mag.
CREATE OR REPLACE FUNCTION sort_2_mark_mag(p_group integer, p_semester integer, p_student integer)
    RETURNS TABLE (primech varchar, dopusk_izm smallint, id_estimation_other integer, id_mark_mag integer,
                   id_group integer, id_student integer, id_examination integer, id_discipline integer,
                   id_estimation integer, id_semester integer, id_teacher integer, p35 varchar, p36 timestamp,
                   id_f_est integer, oper varchar, u_date timestamp, olm_user varchar, olm_update date)
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
#variable_conflict use_column
DECLARE
    failure text;
BEGIN
    IF p_group IS NOT NULL AND NOT olm_may_group(p_group) THEN
        failure := 'The group ' || p_group || ' is not one of your groups; nothing was changed.';
    END IF;
    PERFORM olm_record_call('SORT_2_MARK_MAG', 'sort_2_mark_mag(' || COALESCE(p_group::text, 'NULL') || ', '
        || COALESCE(p_semester::text, 'NULL') || ', ' || COALESCE(p_student::text, 'NULL') || ')', failure);
    RETURN QUERY
    SELECT m.primech, m.dopusk_izm, m.id_estimation_other, m.id_mark_mag, m.id_group, m.id_student, m.id_examination,
           m.id_discipline, m.id_estimation, m.id_semester, m.id_teacher, m.p35, m.p36::timestamp, m.id_f_est, m.oper,
           m.u_date::timestamp, m.olm_user, m.olm_update
    FROM mark_mag m
    LEFT JOIN discipline d ON d.id_discipline = m.id_discipline
    WHERE m.id_group = p_group AND m.id_semester = p_semester AND m.id_student = p_student
    ORDER BY d.p34, m.id_examination, m.id_mark_mag;
END;
$$;

-- One journal row's trail and change-history entries, for a row of the caller's own groups only; the trail and the
-- log themselves stay closed to the journal's users.
CREATE OR REPLACE FUNCTION row_history(p_id_mark_mag integer)
    RETURNS TABLE (source text, id_entry bigint, change_date timestamp, login text, comp text, field text,
                   old_value text, new_value text, descr text)
    LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
#variable_conflict use_column
DECLARE
    row_group integer := COALESCE((SELECT m.id_group FROM mark_mag m WHERE m.id_mark_mag = p_id_mark_mag),
                                  (SELECT k.id_group FROM del_mark_mag k WHERE k.id_mark_mag = p_id_mark_mag), -1);
    wanted integer := CASE WHEN olm_may_group(row_group) THEN p_id_mark_mag END;
BEGIN
    RETURN QUERY
    SELECT h.source, h.id_entry, h.change_date, h.login, h.comp, h.field, h.old_value, h.new_value, h.descr
    FROM (SELECT 'audit'::text AS source, a.id_audit AS id_entry, a.audit_date::timestamp AS change_date,
                 a.login::text AS login, NULL::text AS comp, a."column"::text AS field, a.old_value, a.new_value,
                 NULL::text AS descr
          FROM srv_audit a
          WHERE a.row_id = wanted AND a."table" IN ('mark_mag', 'del_mark_mag') AND a.action <> 'EXECUTE'
          UNION ALL
          SELECT 'log', l.id_log::bigint, l.log_date::timestamp, l.olm_user::text, l.comp::text, NULL, NULL, NULL,
                 l.descr
          FROM olm_log l
          WHERE l.row_id = wanted AND l."table" LIKE '%mark_mag%') h
    ORDER BY h.change_date, h.id_entry;
END;
$$;

-- Creates the journal rows the curriculum of the group and semester needs for the student and that are missing.
-- p_mode 1 creates them; 0 only checks the selection.
CREATE OR REPLACE FUNCTION insertinto_sort_mark_mag_2(p_group integer, p_semester integer, p_student integer,
                                                      p_mode integer)
    RETURNS TABLE ("RETURN_VALUE" integer)
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    failure text;
    who text := left(olm_login(), 20);
BEGIN
    IF p_group IS NOT NULL AND NOT olm_may_group(p_group) THEN
        failure := 'The group ' || p_group || ' is not one of your groups; nothing was changed.';
    ELSIF p_group IS NULL OR p_semester IS NULL OR p_student IS NULL THEN
        failure := 'InsertInto_SORT_MARK_MAG_2 needs a group, a semester and a student.';
    ELSIF p_mode IS NULL OR p_mode NOT IN (0, 1) THEN
        failure := 'The fourth argument of InsertInto_SORT_MARK_MAG_2 must be 0 or 1.';
    ELSIF NOT EXISTS (SELECT 1 FROM group_student gs WHERE gs.id_group = p_group AND gs.id_student = p_student) THEN
        failure := 'The student ' || p_student || ' is not in the group ' || p_group || '.';
    END IF;
    IF failure IS NULL AND p_mode = 1 THEN
        INSERT INTO mark_mag (id_mark_mag, dopusk_izm, id_group, id_student, id_examination, id_discipline,
                              id_semester, id_teacher, u_date, olm_user, olm_update)
        SELECT nextval('mark_mag_id'), 0, w.id_group, p_student, w.id_examination, w.id_discipline, w.id_semester,
               w.id_teacher, localtimestamp, who, current_date
        FROM (SELECT c.id_group, c.id_semester, c.id_discipline, c.id_examination, c.id_teacher
              FROM curriculum c
              WHERE c.id_group = p_group AND c.id_semester = p_semester
                AND NOT EXISTS (SELECT 1 FROM mark_mag m
                                WHERE m.id_group = c.id_group AND m.id_semester = c.id_semester
                                  AND m.id_student = p_student AND m.id_discipline = c.id_discipline
                                  AND m.id_examination = c.id_examination)
              ORDER BY c.id_discipline, c.id_examination) w;
    END IF;
    PERFORM olm_record_call('InsertInto_SORT_MARK_MAG_2', 'insertinto_sort_mark_mag_2('
        || COALESCE(p_group::text, 'NULL') || ', ' || COALESCE(p_semester::text, 'NULL') || ', '
        || COALESCE(p_student::text, 'NULL') || ', ' || COALESCE(p_mode::text, 'NULL') || ')', failure);
    RETURN QUERY SELECT 0;
END;
$$;

-- Deletes the listed journal rows: ids, each followed by a comma ('12,57,301,'). The archive trigger moves them to
-- del_mark_mag. A list that is not of that form deletes nothing; so does a list with a row of another group. The
-- list is not limited in length: a cut list could end on a comma and delete fewer rows than were chosen.
CREATE OR REPLACE FUNCTION del_from_mark_mag(p_id_mark_mag text)
    RETURNS TABLE ("RETURN_VALUE" integer)
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    failure text;
    ids integer[];
BEGIN
    -- Blanks may stand around a number and its comma, never inside a number; at most 9 digits; every number ends
    -- with its comma. A list of blanks only deletes nothing and is no error.
    IF p_id_mark_mag IS NOT NULL
       AND p_id_mark_mag !~ '^[ \t\n\v\f\r]*([0-9]{1,9}[ \t\n\v\f\r]*,[ \t\n\v\f\r]*)*$' THEN
        failure := 'DEL_FROM_MARK_MAG expects row ids each followed by a comma, as in ''12,57,301,''; nothing was deleted.';
    ELSE
        SELECT array_agg(DISTINCT x[1]::integer) INTO ids
        FROM regexp_matches(COALESCE(p_id_mark_mag, ''), '([0-9]+)', 'g') AS x;
        BEGIN
            DELETE FROM mark_mag m WHERE m.id_mark_mag = ANY (ids);
        EXCEPTION WHEN raise_exception THEN
            failure := SQLERRM;
        END;
    END IF;
    PERFORM olm_record_call('DEL_FROM_MARK_MAG', 'del_from_mark_mag(' || olm_literal(p_id_mark_mag) || ')', failure);
    RETURN QUERY SELECT 0;
END;
$$;

-- Puts the rows of del_mark_mag of the group and semester that are marked Check_ch back into the journal, under their
-- old ids and with everything they carried.
CREATE OR REPLACE FUNCTION ctrl_z_mark_mag(p_group integer, p_semester integer)
    RETURNS TABLE ("RETURN_VALUE" integer)
    LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    failure text;
BEGIN
    IF p_group IS NOT NULL AND NOT olm_may_group(p_group) THEN
        failure := 'The group ' || p_group || ' is not one of your groups; nothing was changed.';
    ELSE
        BEGIN
            INSERT INTO mark_mag (primech, dopusk_izm, id_estimation_other, id_mark_mag, id_group, id_student,
                                  id_examination, id_discipline, id_estimation, id_semester, id_teacher, p35, p36,
                                  id_f_est, oper, u_date, olm_user, olm_update)
            SELECT r.primech, COALESCE(r.dopusk_izm, 0), r.id_estimation_other, d.id_mark_mag, d.id_group,
                   d.id_student, d.id_examination, d.id_discipline, d.id_estimation, d.id_semester, d.id_teacher,
                   d.p35, d.p36, d.id_f_est, d.oper, d.u_date, r.olm_user, r.olm_update
            FROM del_mark_mag d
            LEFT JOIN srv_deleted_rest r ON r.id_mark_mag = d.id_mark_mag
            WHERE d.id_group = p_group AND d.id_semester = p_semester AND d.check_ch = 1;
            DELETE FROM del_mark_mag d WHERE d.id_group = p_group AND d.id_semester = p_semester AND d.check_ch = 1;
        EXCEPTION WHEN raise_exception OR unique_violation THEN
            failure := SQLERRM;
        END;
    END IF;
    PERFORM olm_record_call('CTRL_Z_Mark_mag', 'ctrl_z_mark_mag(' || COALESCE(p_group::text, 'NULL') || ', '
        || COALESCE(p_semester::text, 'NULL') || ')', failure);
    RETURN QUERY SELECT 0;
END;
$$;
