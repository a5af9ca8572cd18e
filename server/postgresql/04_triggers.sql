-- OLM journal on PostgreSQL, script 4 of 8: the triggers that hold whoever sends the statement, the journal functions
-- included: group scope, the server's stamps, the store of deleted rows, the append-only log and the audit trail
-- of every change to mark_mag and del_mark_mag.
-- Run after 03_views.sql: psql -v ON_ERROR_STOP=1 -d OLM -f 04_triggers.sql. CREATE OR REPLACE keeps it re-runnable.
-- Row-level security (06_security.sql) hides other groups' rows from a journal role; these triggers also hold inside
-- the functions, which run with the owner's rights, and give a refusal its clear text.

DO $$
BEGIN
    IF to_regprocedure('public.olm_may_group(integer)') IS NULL THEN
        RAISE EXCEPTION 'Run 01_schema.sql and 02_functions.sql in this database first.';
    END IF;
END;
$$;

-- Group scope: a user inserts, changes and deletes journal rows of their own groups only (moving a row into another
-- group included). An error in a trigger undoes the whole statement.
CREATE OR REPLACE FUNCTION olm_journal_scope() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    IF NOT olm_is_admin()
       AND ((TG_OP IN ('UPDATE', 'DELETE') AND NOT olm_may_group(OLD.id_group))
            OR (TG_OP IN ('INSERT', 'UPDATE') AND NOT olm_may_group(NEW.id_group))) THEN
        RAISE EXCEPTION 'The row''s group is not one of your groups; nothing was changed.';
    END IF;
    IF TG_OP = 'DELETE' THEN
        RETURN OLD;
    END IF;
    RETURN NEW;
END;
$$;

CREATE OR REPLACE TRIGGER mark_mag_scope BEFORE INSERT OR UPDATE OR DELETE ON mark_mag
    FOR EACH ROW EXECUTE FUNCTION olm_journal_scope();
CREATE OR REPLACE TRIGGER del_mark_mag_scope BEFORE INSERT OR UPDATE OR DELETE ON del_mark_mag
    FOR EACH ROW EXECUTE FUNCTION olm_journal_scope();

-- Who changed a journal row last, and when: written by the server, never by the client (whose UPDATE right stops
-- short of these two columns, see 06_security.sql). Only a change of a data column stamps, so an administrator's
-- correction of the stamps themselves stands.
CREATE OR REPLACE FUNCTION olm_mark_mag_stamp() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    IF (NEW.primech, NEW.dopusk_izm, NEW.id_estimation_other, NEW.id_mark_mag, NEW.id_group, NEW.id_student,
        NEW.id_examination, NEW.id_discipline, NEW.id_estimation, NEW.id_semester, NEW.id_teacher, NEW.p35, NEW.p36,
        NEW.id_f_est, NEW.oper, NEW.u_date)
       IS DISTINCT FROM
       (OLD.primech, OLD.dopusk_izm, OLD.id_estimation_other, OLD.id_mark_mag, OLD.id_group, OLD.id_student,
        OLD.id_examination, OLD.id_discipline, OLD.id_estimation, OLD.id_semester, OLD.id_teacher, OLD.p35, OLD.p36,
        OLD.id_f_est, OLD.oper, OLD.u_date) THEN
        NEW.olm_user := left(olm_login(), 20);
        NEW.olm_update := current_date;
    END IF;
    RETURN NEW;
END;
$$;

-- Named to fire after the scope check (triggers of one kind fire in name order).
CREATE OR REPLACE TRIGGER mark_mag_stamp BEFORE UPDATE ON mark_mag
    FOR EACH ROW EXECUTE FUNCTION olm_mark_mag_stamp();

-- Every deleted journal row waits in del_mark_mag until it is restored; what the restore list does not show waits
-- beside it in srv_deleted_rest. A row deleted again replaces its older copy.
CREATE OR REPLACE FUNCTION olm_mark_mag_archive() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    DELETE FROM del_mark_mag k WHERE k.id_mark_mag = OLD.id_mark_mag;
    INSERT INTO del_mark_mag (id_mark_mag, id_group, id_student, id_examination, id_estimation, id_discipline,
                              id_semester, id_teacher, p35, p36, id_f_est, oper, u_date, check_ch, del_date, del_oper)
    VALUES (OLD.id_mark_mag, OLD.id_group, OLD.id_student, OLD.id_examination, OLD.id_estimation, OLD.id_discipline,
            OLD.id_semester, OLD.id_teacher, OLD.p35, OLD.p36, OLD.id_f_est, OLD.oper, OLD.u_date, 0, localtimestamp,
            left(olm_login(), 10));
    DELETE FROM srv_deleted_rest r WHERE r.id_mark_mag = OLD.id_mark_mag;
    INSERT INTO srv_deleted_rest (id_mark_mag, primech, dopusk_izm, id_estimation_other, olm_user, olm_update)
    VALUES (OLD.id_mark_mag, OLD.primech, OLD.dopusk_izm, OLD.id_estimation_other, OLD.olm_user, OLD.olm_update);
    RETURN NULL;
END;
$$;

CREATE OR REPLACE TRIGGER mark_mag_archive AFTER DELETE ON mark_mag
    FOR EACH ROW EXECUTE FUNCTION olm_mark_mag_archive();

CREATE OR REPLACE FUNCTION olm_del_mark_mag_forget() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    DELETE FROM srv_deleted_rest r WHERE r.id_mark_mag = OLD.id_mark_mag;
    RETURN NULL;
END;
$$;

CREATE OR REPLACE TRIGGER del_mark_mag_forget AFTER DELETE ON del_mark_mag
    FOR EACH ROW EXECUTE FUNCTION olm_del_mark_mag_forget();

-- olm_log keeps every entry: no user changes or removes one (the rights deny it too; this holds should a right be
-- granted by mistake). An administrator's correction goes through.
CREATE OR REPLACE FUNCTION olm_log_keep() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    IF NOT olm_is_admin() THEN
        RAISE EXCEPTION 'The table ''OLM_LOG'' only takes new entries; nothing was changed.';
    END IF;
    IF TG_OP = 'DELETE' THEN
        RETURN OLD;
    END IF;
    RETURN NEW;
END;
$$;

CREATE OR REPLACE TRIGGER olm_log_keep BEFORE UPDATE OR DELETE ON olm_log
    FOR EACH ROW EXECUTE FUNCTION olm_log_keep();
CREATE OR REPLACE TRIGGER olm_log_keep_all BEFORE TRUNCATE ON olm_log
    FOR EACH STATEMENT EXECUTE FUNCTION olm_log_keep();

-- The entry's time and author are the server's: a client can neither date an entry nor write it in another user's
-- name. An administrator's entry keeps what it says.
CREATE OR REPLACE FUNCTION olm_log_stamp() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    IF NOT olm_is_admin() THEN
        NEW.log_date := localtimestamp;
        NEW.olm_user := left(olm_login(), 20);
    ELSIF NEW.log_date IS NULL THEN
        NEW.log_date := localtimestamp;
    END IF;
    RETURN NEW;
END;
$$;

CREATE OR REPLACE TRIGGER olm_log_stamp BEFORE INSERT ON olm_log
    FOR EACH ROW EXECUTE FUNCTION olm_log_stamp();

-- The audit trail: every insert, update and delete of the journal tables leaves one row per column it sets, changes
-- or removes, whoever sends it and however. Values are kept as text; a change of case or of trailing blanks counts.
CREATE OR REPLACE FUNCTION olm_mark_mag_audit() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    o mark_mag := CASE WHEN TG_OP = 'INSERT' THEN NULL ELSE OLD END;
    n mark_mag := CASE WHEN TG_OP = 'DELETE' THEN NULL ELSE NEW END;
BEGIN
    INSERT INTO srv_audit (audit_date, login, action, "table", row_id, "column", old_value, new_value)
    SELECT localtimestamp, olm_login(), TG_OP, 'mark_mag', COALESCE(n.id_mark_mag, o.id_mark_mag), v.c, v.o, v.n
    FROM (VALUES
        (1, 'primech', o.primech::text, n.primech::text),
        (2, 'dopusk_izm', o.dopusk_izm::text, n.dopusk_izm::text),
        (3, 'id_estimation_other', o.id_estimation_other::text, n.id_estimation_other::text),
        (4, 'id_mark_mag', o.id_mark_mag::text, n.id_mark_mag::text),
        (5, 'id_group', o.id_group::text, n.id_group::text),
        (6, 'id_student', o.id_student::text, n.id_student::text),
        (7, 'id_examination', o.id_examination::text, n.id_examination::text),
        (8, 'id_discipline', o.id_discipline::text, n.id_discipline::text),
        (9, 'id_estimation', o.id_estimation::text, n.id_estimation::text),
        (10, 'id_semester', o.id_semester::text, n.id_semester::text),
        (11, 'id_teacher', o.id_teacher::text, n.id_teacher::text),
        (12, 'p35', o.p35::text, n.p35::text),
        (13, 'p36', olm_audit_text(o.p36), olm_audit_text(n.p36)),
        (14, 'id_f_est', o.id_f_est::text, n.id_f_est::text),
        (15, 'oper', o.oper::text, n.oper::text),
        (16, 'u_date', olm_audit_text(o.u_date), olm_audit_text(n.u_date)),
        (17, 'OLM_User', o.olm_user::text, n.olm_user::text),
        (18, 'OLM_Update', to_char(o.olm_update, 'YYYY-MM-DD'), to_char(n.olm_update, 'YYYY-MM-DD'))
    ) v (k, c, o, n)
    WHERE v.o IS DISTINCT FROM v.n
    ORDER BY v.k;
    RETURN NULL;
END;
$$;

CREATE OR REPLACE TRIGGER mark_mag_audit AFTER INSERT OR UPDATE OR DELETE ON mark_mag
    FOR EACH ROW EXECUTE FUNCTION olm_mark_mag_audit();

CREATE OR REPLACE FUNCTION olm_del_mark_mag_audit() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    o del_mark_mag := CASE WHEN TG_OP = 'INSERT' THEN NULL ELSE OLD END;
    n del_mark_mag := CASE WHEN TG_OP = 'DELETE' THEN NULL ELSE NEW END;
BEGIN
    INSERT INTO srv_audit (audit_date, login, action, "table", row_id, "column", old_value, new_value)
    SELECT localtimestamp, olm_login(), TG_OP, 'del_mark_mag', COALESCE(n.id_mark_mag, o.id_mark_mag), v.c, v.o, v.n
    FROM (VALUES
        (1, 'id_mark_mag', o.id_mark_mag::text, n.id_mark_mag::text),
        (2, 'id_group', o.id_group::text, n.id_group::text),
        (3, 'id_student', o.id_student::text, n.id_student::text),
        (4, 'id_examination', o.id_examination::text, n.id_examination::text),
        (5, 'id_estimation', o.id_estimation::text, n.id_estimation::text),
        (6, 'id_discipline', o.id_discipline::text, n.id_discipline::text),
        (7, 'id_semester', o.id_semester::text, n.id_semester::text),
        (8, 'id_teacher', o.id_teacher::text, n.id_teacher::text),
        (9, 'p35', o.p35::text, n.p35::text),
        (10, 'p36', olm_audit_text(o.p36), olm_audit_text(n.p36)),
        (11, 'id_f_est', o.id_f_est::text, n.id_f_est::text),
        (12, 'oper', o.oper::text, n.oper::text),
        (13, 'u_date', olm_audit_text(o.u_date), olm_audit_text(n.u_date)),
        (14, 'Check_ch', o.check_ch::text, n.check_ch::text),
        (15, 'del_date', olm_audit_text(o.del_date), olm_audit_text(n.del_date)),
        (16, 'del_oper', o.del_oper::text, n.del_oper::text)
    ) v (k, c, o, n)
    WHERE v.o IS DISTINCT FROM v.n
    ORDER BY v.k;
    RETURN NULL;
END;
$$;

CREATE OR REPLACE TRIGGER del_mark_mag_audit AFTER INSERT OR UPDATE OR DELETE ON del_mark_mag
    FOR EACH ROW EXECUTE FUNCTION olm_del_mark_mag_audit();

-- The trail itself only grows; an administrator may prune it, but nobody rewrites an entry.
CREATE OR REPLACE FUNCTION olm_srv_audit_keep() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    IF NOT olm_is_admin() OR TG_OP = 'UPDATE' THEN
        RAISE EXCEPTION 'The table ''srv_audit'' only takes new entries; nothing was changed.';
    END IF;
    IF TG_OP = 'DELETE' THEN
        RETURN OLD;
    END IF;
    RETURN NULL;
END;
$$;

CREATE OR REPLACE TRIGGER srv_audit_keep BEFORE UPDATE OR DELETE ON srv_audit
    FOR EACH ROW EXECUTE FUNCTION olm_srv_audit_keep();
CREATE OR REPLACE TRIGGER srv_audit_keep_all BEFORE TRUNCATE ON srv_audit
    FOR EACH STATEMENT EXECUTE FUNCTION olm_srv_audit_keep();
