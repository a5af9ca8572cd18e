-- OLM journal on Microsoft SQL Server, script 4 of 8: the triggers that hold whoever sends the statement, the
-- procedures included: group scope, the server's stamps, the store of deleted rows, the append-only log and
-- the audit trail of every change to mark_mag and del_mark_mag.
-- Run after 03_views.sql: sqlcmd -b -f 65001 -S SERVER -d OLM -i 04_triggers.sql. CREATE OR ALTER keeps it re-runnable.
-- Every trigger starts with SET NOCOUNT ON: the client judges an update by the row count of its own statement,
-- and the counts of a trigger's statements must not arrive in its place.

IF OBJECT_ID(N'dbo.olm_may_group', N'FN') IS NULL
BEGIN
    RAISERROR(N'Run 01_schema.sql and 02_functions.sql in this database first.', 16, 1);
    SET NOEXEC ON;
END;
GO

-- Group scope: a user inserts, changes and deletes journal rows of their own groups only (moving a row into
-- another group included). An error in a trigger rolls the whole statement back.
CREATE OR ALTER TRIGGER dbo.mark_mag_scope ON dbo.mark_mag AFTER INSERT, UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    IF dbo.olm_is_admin() = 1
        RETURN;
    IF EXISTS (SELECT 1 FROM inserted WHERE dbo.olm_may_group(id_group) = 0)
       OR EXISTS (SELECT 1 FROM deleted WHERE dbo.olm_may_group(id_group) = 0)
    BEGIN
        THROW 50001, N'The row''s group is not one of your groups; nothing was changed.', 1;
    END;
END;
GO

CREATE OR ALTER TRIGGER dbo.del_mark_mag_scope ON dbo.del_mark_mag AFTER INSERT, UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    IF dbo.olm_is_admin() = 1
        RETURN;
    IF EXISTS (SELECT 1 FROM inserted WHERE dbo.olm_may_group(id_group) = 0)
       OR EXISTS (SELECT 1 FROM deleted WHERE dbo.olm_may_group(id_group) = 0)
    BEGIN
        THROW 50001, N'The row''s group is not one of your groups; nothing was changed.', 1;
    END;
END;
GO

-- Who changed a journal row last, and when: written by the server, never by the client (whose UPDATE right
-- stops short of these two columns, see 06_security.sql). Only a change of a data column stamps, so the stamp
-- itself, or an administrator's correction of it, fires nothing further.
CREATE OR ALTER TRIGGER dbo.mark_mag_stamp ON dbo.mark_mag AFTER UPDATE
AS
BEGIN
    SET NOCOUNT ON;
    IF NOT (UPDATE(primech) OR UPDATE(dopusk_izm) OR UPDATE(id_estimation_other) OR UPDATE(id_mark_mag)
            OR UPDATE(id_group) OR UPDATE(id_student) OR UPDATE(id_examination) OR UPDATE(id_discipline)
            OR UPDATE(id_estimation) OR UPDATE(id_semester) OR UPDATE(id_teacher) OR UPDATE(p35) OR UPDATE(p36)
            OR UPDATE(id_f_est) OR UPDATE(oper) OR UPDATE(u_date))
        RETURN;
    UPDATE m
    SET OLM_User = LEFT(dbo.olm_login(), 20), OLM_Update = CONVERT(DATE, GETDATE())
    FROM dbo.mark_mag m
    JOIN inserted i ON i.id_mark_mag = m.id_mark_mag;
END;
GO

-- Every deleted journal row waits in del_mark_mag until it is restored; what the restore list does not show
-- waits beside it in srv_deleted_rest. A row deleted again replaces its older copy.
CREATE OR ALTER TRIGGER dbo.mark_mag_archive ON dbo.mark_mag AFTER DELETE
AS
BEGIN
    SET NOCOUNT ON;
    IF NOT EXISTS (SELECT 1 FROM deleted)
        RETURN;
    DECLARE @who NCHAR(10) = LEFT(dbo.olm_login(), 10);
    DELETE k FROM dbo.del_mark_mag k JOIN deleted d ON d.id_mark_mag = k.id_mark_mag;
    INSERT INTO dbo.del_mark_mag (id_mark_mag, id_group, id_student, id_examination, id_estimation, id_discipline,
                                  id_semester, id_teacher, p35, p36, id_f_est, oper, u_date, Check_ch, del_date, del_oper)
    SELECT d.id_mark_mag, d.id_group, d.id_student, d.id_examination, d.id_estimation, d.id_discipline,
           d.id_semester, d.id_teacher, d.p35, d.p36, d.id_f_est, d.oper, d.u_date, 0, GETDATE(), @who
    FROM deleted d;
    DELETE r FROM dbo.srv_deleted_rest r JOIN deleted d ON d.id_mark_mag = r.id_mark_mag;
    INSERT INTO dbo.srv_deleted_rest (id_mark_mag, primech, dopusk_izm, id_estimation_other, OLM_User, OLM_Update)
    SELECT d.id_mark_mag, d.primech, d.dopusk_izm, d.id_estimation_other, d.OLM_User, d.OLM_Update
    FROM deleted d;
END;
GO

CREATE OR ALTER TRIGGER dbo.del_mark_mag_forget ON dbo.del_mark_mag AFTER DELETE
AS
BEGIN
    SET NOCOUNT ON;
    DELETE r FROM dbo.srv_deleted_rest r JOIN deleted d ON d.id_mark_mag = r.id_mark_mag;
END;
GO

-- OLM_LOG keeps every entry: no user changes or removes one (the rights deny it too; this holds should a
-- right be granted by mistake). An administrator's correction goes through.
CREATE OR ALTER TRIGGER dbo.OLM_LOG_keep ON dbo.OLM_LOG INSTEAD OF UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    IF dbo.olm_is_admin() = 0
    BEGIN
        THROW 50002, N'The table ''OLM_LOG'' only takes new entries; nothing was changed.', 1;
    END;
    IF EXISTS (SELECT 1 FROM inserted)
        UPDATE l
        SET [table] = i.[table], row_id = i.row_id, descr = i.descr, OLM_User = i.OLM_User, comp = i.comp,
            log_date = i.log_date
        FROM dbo.OLM_LOG l
        JOIN inserted i ON i.id_log = l.id_log;
    ELSE
        DELETE l FROM dbo.OLM_LOG l JOIN deleted d ON d.id_log = l.id_log;
END;
GO

-- The entry's time is the server's: a client cannot date an entry.
CREATE OR ALTER TRIGGER dbo.OLM_LOG_stamp ON dbo.OLM_LOG INSTEAD OF INSERT
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @admin BIT = dbo.olm_is_admin();
    INSERT INTO dbo.OLM_LOG ([table], row_id, descr, OLM_User, comp, log_date)
    SELECT [table], row_id, descr, OLM_User, comp,
           CASE WHEN @admin = 1 AND log_date IS NOT NULL THEN log_date ELSE GETDATE() END
    FROM inserted;
END;
GO

-- The audit trail: every insert, update and delete of the journal tables leaves one row per column it sets,
-- changes or removes, whoever sends it and however. Values are kept as text (dates as yyyy-mm-dd hh:mi:ss.mmm);
-- a change of case or of trailing blanks counts as a change.
CREATE OR ALTER TRIGGER dbo.mark_mag_audit ON dbo.mark_mag AFTER INSERT, UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @action NVARCHAR(16) =
        CASE WHEN EXISTS (SELECT 1 FROM inserted) AND EXISTS (SELECT 1 FROM deleted) THEN N'UPDATE'
             WHEN EXISTS (SELECT 1 FROM inserted) THEN N'INSERT'
             WHEN EXISTS (SELECT 1 FROM deleted) THEN N'DELETE' END;
    IF @action IS NULL
        RETURN;
    DECLARE @who NVARCHAR(128) = dbo.olm_login(), @now DATETIME = GETDATE();
    INSERT INTO dbo.srv_audit (audit_date, login, action, [table], row_id, [column], old_value, new_value)
    SELECT @now, @who, @action, N'mark_mag', COALESCE(i.id_mark_mag, d.id_mark_mag), v.c, v.o, v.n
    FROM inserted i
    FULL OUTER JOIN deleted d ON d.id_mark_mag = i.id_mark_mag
    CROSS APPLY (VALUES
        (N'primech', CONVERT(NVARCHAR(MAX), d.primech), CONVERT(NVARCHAR(MAX), i.primech)),
        (N'dopusk_izm', CONVERT(NVARCHAR(MAX), d.dopusk_izm), CONVERT(NVARCHAR(MAX), i.dopusk_izm)),
        (N'id_estimation_other', CONVERT(NVARCHAR(MAX), d.id_estimation_other), CONVERT(NVARCHAR(MAX), i.id_estimation_other)),
        (N'id_mark_mag', CONVERT(NVARCHAR(MAX), d.id_mark_mag), CONVERT(NVARCHAR(MAX), i.id_mark_mag)),
        (N'id_group', CONVERT(NVARCHAR(MAX), d.id_group), CONVERT(NVARCHAR(MAX), i.id_group)),
        (N'id_student', CONVERT(NVARCHAR(MAX), d.id_student), CONVERT(NVARCHAR(MAX), i.id_student)),
        (N'id_examination', CONVERT(NVARCHAR(MAX), d.id_examination), CONVERT(NVARCHAR(MAX), i.id_examination)),
        (N'id_discipline', CONVERT(NVARCHAR(MAX), d.id_discipline), CONVERT(NVARCHAR(MAX), i.id_discipline)),
        (N'id_estimation', CONVERT(NVARCHAR(MAX), d.id_estimation), CONVERT(NVARCHAR(MAX), i.id_estimation)),
        (N'id_semester', CONVERT(NVARCHAR(MAX), d.id_semester), CONVERT(NVARCHAR(MAX), i.id_semester)),
        (N'id_teacher', CONVERT(NVARCHAR(MAX), d.id_teacher), CONVERT(NVARCHAR(MAX), i.id_teacher)),
        (N'p35', CONVERT(NVARCHAR(MAX), d.p35), CONVERT(NVARCHAR(MAX), i.p35)),
        (N'p36', CONVERT(NVARCHAR(MAX), d.p36, 121), CONVERT(NVARCHAR(MAX), i.p36, 121)),
        (N'id_f_est', CONVERT(NVARCHAR(MAX), d.id_f_est), CONVERT(NVARCHAR(MAX), i.id_f_est)),
        (N'oper', CONVERT(NVARCHAR(MAX), d.oper), CONVERT(NVARCHAR(MAX), i.oper)),
        (N'u_date', CONVERT(NVARCHAR(MAX), d.u_date, 121), CONVERT(NVARCHAR(MAX), i.u_date, 121)),
        (N'OLM_User', CONVERT(NVARCHAR(MAX), d.OLM_User), CONVERT(NVARCHAR(MAX), i.OLM_User)),
        (N'OLM_Update', CONVERT(NVARCHAR(MAX), d.OLM_Update, 121), CONVERT(NVARCHAR(MAX), i.OLM_Update, 121))
    ) v (c, o, n)
    WHERE dbo.olm_differs(v.o, v.n) = 1;
END;
GO

CREATE OR ALTER TRIGGER dbo.del_mark_mag_audit ON dbo.del_mark_mag AFTER INSERT, UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @action NVARCHAR(16) =
        CASE WHEN EXISTS (SELECT 1 FROM inserted) AND EXISTS (SELECT 1 FROM deleted) THEN N'UPDATE'
             WHEN EXISTS (SELECT 1 FROM inserted) THEN N'INSERT'
             WHEN EXISTS (SELECT 1 FROM deleted) THEN N'DELETE' END;
    IF @action IS NULL
        RETURN;
    DECLARE @who NVARCHAR(128) = dbo.olm_login(), @now DATETIME = GETDATE();
    INSERT INTO dbo.srv_audit (audit_date, login, action, [table], row_id, [column], old_value, new_value)
    SELECT @now, @who, @action, N'del_mark_mag', COALESCE(i.id_mark_mag, d.id_mark_mag), v.c, v.o, v.n
    FROM inserted i
    FULL OUTER JOIN deleted d ON d.id_mark_mag = i.id_mark_mag
    CROSS APPLY (VALUES
        (N'id_mark_mag', CONVERT(NVARCHAR(MAX), d.id_mark_mag), CONVERT(NVARCHAR(MAX), i.id_mark_mag)),
        (N'id_group', CONVERT(NVARCHAR(MAX), d.id_group), CONVERT(NVARCHAR(MAX), i.id_group)),
        (N'id_student', CONVERT(NVARCHAR(MAX), d.id_student), CONVERT(NVARCHAR(MAX), i.id_student)),
        (N'id_examination', CONVERT(NVARCHAR(MAX), d.id_examination), CONVERT(NVARCHAR(MAX), i.id_examination)),
        (N'id_estimation', CONVERT(NVARCHAR(MAX), d.id_estimation), CONVERT(NVARCHAR(MAX), i.id_estimation)),
        (N'id_discipline', CONVERT(NVARCHAR(MAX), d.id_discipline), CONVERT(NVARCHAR(MAX), i.id_discipline)),
        (N'id_semester', CONVERT(NVARCHAR(MAX), d.id_semester), CONVERT(NVARCHAR(MAX), i.id_semester)),
        (N'id_teacher', CONVERT(NVARCHAR(MAX), d.id_teacher), CONVERT(NVARCHAR(MAX), i.id_teacher)),
        (N'p35', CONVERT(NVARCHAR(MAX), d.p35), CONVERT(NVARCHAR(MAX), i.p35)),
        (N'p36', CONVERT(NVARCHAR(MAX), d.p36, 121), CONVERT(NVARCHAR(MAX), i.p36, 121)),
        (N'id_f_est', CONVERT(NVARCHAR(MAX), d.id_f_est), CONVERT(NVARCHAR(MAX), i.id_f_est)),
        (N'oper', CONVERT(NVARCHAR(MAX), d.oper), CONVERT(NVARCHAR(MAX), i.oper)),
        (N'u_date', CONVERT(NVARCHAR(MAX), d.u_date, 121), CONVERT(NVARCHAR(MAX), i.u_date, 121)),
        (N'Check_ch', CONVERT(NVARCHAR(MAX), d.Check_ch), CONVERT(NVARCHAR(MAX), i.Check_ch)),
        (N'del_date', CONVERT(NVARCHAR(MAX), d.del_date, 121), CONVERT(NVARCHAR(MAX), i.del_date, 121)),
        (N'del_oper', CONVERT(NVARCHAR(MAX), d.del_oper), CONVERT(NVARCHAR(MAX), i.del_oper))
    ) v (c, o, n)
    WHERE dbo.olm_differs(v.o, v.n) = 1;
END;
GO

-- The trail itself only grows; an administrator may prune it.
CREATE OR ALTER TRIGGER dbo.srv_audit_keep ON dbo.srv_audit INSTEAD OF UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    IF dbo.olm_is_admin() = 0 OR EXISTS (SELECT 1 FROM inserted)
    BEGIN
        THROW 50002, N'The table ''srv_audit'' only takes new entries; nothing was changed.', 1;
    END;
    DELETE a FROM dbo.srv_audit a JOIN deleted d ON d.id_audit = a.id_audit;
END;
GO

SET NOEXEC OFF;
GO
