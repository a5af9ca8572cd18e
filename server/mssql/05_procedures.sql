-- OLM journal on Microsoft SQL Server, script 5 of 8: the five procedures the client calls. GET_USER signs a
-- user in; the other four read, create, delete and restore journal rows of the user's own groups.
-- Run after 04_triggers.sql: sqlcmd -b -f 65001 -S SERVER -d OLM -i 05_procedures.sql. CREATE OR ALTER keeps it re-runnable.
-- The procedures run with the caller's identity and reach the tables through ownership (all objects are dbo's),
-- so a user needs EXECUTE on them and nothing more. Every call, refused or not, goes to the audit trail; a
-- refused call changes nothing.

IF OBJECT_ID(N'dbo.mark_mag_scope', N'TR') IS NULL
BEGIN
    RAISERROR(N'Run scripts 01 to 04 in this database first.', 16, 1);
    SET NOEXEC ON;
END;
GO

-- Every call goes to the audit trail, with the refusal for a refused one; a refusal then reaches the caller.
CREATE OR ALTER PROCEDURE dbo.olm_record_call
    @procedure NVARCHAR(64),
    @call NVARCHAR(MAX),
    @failure NVARCHAR(2048)
AS
BEGIN
    SET NOCOUNT ON;
    INSERT INTO dbo.srv_audit (audit_date, login, action, [table], old_value, new_value)
    VALUES (GETDATE(), dbo.olm_login(), N'EXECUTE', @procedure, @failure, @call);
    IF @failure IS NOT NULL
    BEGIN
        THROW 50000, @failure, 1;
    END;
END;
GO

-- Arguments, in the client's order: login, password digest, new password digest or NULL, program, workstation
-- address, computer name, the login again, a fixed '0', and the length of argument 3 as written (4 for NULL,
-- 34 for a quoted digest). The wide types keep an overlong argument from being cut into a valid-looking one.
-- Answer: one row of db_login and db_password (shifted), id_login, days_left, message and update_flag.
CREATE OR ALTER PROCEDURE dbo.GET_USER
    @login NVARCHAR(4000),
    @password NVARCHAR(4000),
    @new_password NVARCHAR(4000),
    @program NVARCHAR(4000),
    @address NVARCHAR(4000),
    @computer NVARCHAR(4000),
    @login_again NVARCHAR(4000),
    @flag NVARCHAR(4000),
    @new_password_length NVARCHAR(4000)
AS
BEGIN
    SET NOCOUNT ON;
    -- One text for a wrong login and a wrong password, so the answer tells nothing about which logins exist.
    DECLARE @wrong NVARCHAR(100) = N'Неверное имя пользователя или пароль.';
    -- Guessing is slowed down: this many failures for one login within the window shut it for the window.
    DECLARE @allowed_failures INT = 5, @lockout_minutes INT = 15, @rounds INT = 10000;
    DECLARE @failure NVARCHAR(2048), @message NVARCHAR(255) = N'', @record_attempt BIT = 1;
    DECLARE @id INT, @user_login NVARCHAR(20), @salt VARBINARY(16), @stored_rounds INT, @hash VARBINARY(32),
            @changed DATE, @blocked NVARCHAR(255), @db_login NVARCHAR(128), @db_password NVARCHAR(128),
            @update INT = 0, @days_left INT, @answer_login NVARCHAR(128) = N'', @answer_password NVARCHAR(128) = N'',
            @shifted_login NVARCHAR(128), @shifted_password NVARCHAR(128), @current NVARCHAR(4000);
    DECLARE @call NVARCHAR(MAX) = N'EXEC GET_USER ' + dbo.olm_literal(@login) + N', '
        + CASE WHEN @password IS NULL THEN N'NULL' ELSE N'''********''' END + N', '
        + CASE WHEN @new_password IS NULL THEN N'NULL' ELSE N'''********''' END + N', '
        + dbo.olm_literal(@program) + N', ' + dbo.olm_literal(@address) + N', ' + dbo.olm_literal(@computer) + N', '
        + dbo.olm_literal(@login_again) + N', ' + dbo.olm_literal(@flag) + N', ' + dbo.olm_literal(@new_password_length);
    DECLARE @expected NVARCHAR(12) = CASE WHEN @new_password IS NULL THEN N'4'
                                          ELSE CONVERT(NVARCHAR(12), DATALENGTH(@new_password) / 2 + 2) END;

    BEGIN TRY
        -- A malformed request is the client's fault, not a sign-in attempt.
        IF @new_password IS NOT NULL AND dbo.olm_is_digest(@new_password) = 0
        BEGIN
            SET @record_attempt = 0;
            THROW 50010, N'The new password of GET_USER must be a digest of 32 hexadecimal digits.', 1;
        END;
        IF ISNULL(LTRIM(RTRIM(@new_password_length)), N'') COLLATE Latin1_General_BIN2 <> @expected
        BEGIN
            SET @record_attempt = 0;
            SET @failure = N'Argument 9 of GET_USER must be the length of argument 3 as written (' + @expected + N').';
            THROW 50010, @failure, 1;
        END;

        -- The login matches exactly: blanks around it would pass the text comparison and then overflow the stamps.
        IF dbo.olm_is_digest(@password) = 0 OR @login IS NULL
           OR UNICODE(LEFT(@login, 1)) IN (9, 10, 11, 12, 13, 32) OR UNICODE(RIGHT(@login, 1)) IN (9, 10, 11, 12, 13, 32)
        BEGIN
            THROW 50011, @wrong, 1;
        END;
        -- Failures since the login's last success within the lock-out window; a lock-out answers like a wrong
        -- password, so it tells nothing either.
        IF (SELECT COUNT(*) FROM dbo.srv_attempts a
            WHERE a.login = @login AND a.success = 0 AND a.attempt_date >= DATEADD(MINUTE, -@lockout_minutes, GETDATE())
              AND a.id_attempt > ISNULL((SELECT MAX(s.id_attempt) FROM dbo.srv_attempts s
                                         WHERE s.login = @login AND s.success = 1), 0)) >= @allowed_failures
        BEGIN
            THROW 50011, @wrong, 1;
        END;

        SELECT @id = u.id_login, @user_login = u.login, @salt = u.verifier_salt, @stored_rounds = u.verifier_rounds,
               @hash = u.verifier_hash, @changed = u.password_changed, @blocked = u.blocked_message, @db_login = u.db_login
        FROM dbo.srv_users u
        WHERE u.login = @login;
        IF @id IS NULL
        BEGIN
            -- Spend the time a real check takes, so that timing does not tell either.
            SET @hash = dbo.olm_password_hash(N'00000000000000000000000000000000', 0x00000000000000000000000000000000, @rounds);
            THROW 50011, @wrong, 1;
        END;
        IF dbo.olm_password_hash(@password, @salt, @stored_rounds) <> @hash
        BEGIN
            THROW 50011, @wrong, 1;
        END;

        SET @current = ISNULL((SELECT value FROM dbo.srv_config WHERE name = N'current_program'), N'OLM 16');
        SET @update = CASE WHEN dbo.olm_is_older_program(@program, @current) = 1 THEN 3 ELSE 0 END;
        SET @days_left = dbo.olm_days_left(@changed);

        IF DATALENGTH(@blocked) > 0
            SET @message = @blocked;
        -- The server sees a new password only as its digest: these two are all it can judge.
        ELSE IF @new_password IS NOT NULL AND UPPER(@new_password) = N'D41D8CD98F00B204E9800998ECF8427E'
            SET @message = N'Новый пароль не может быть пустым.';
        ELSE IF @new_password IS NOT NULL AND UPPER(@new_password) = UPPER(@password)
            SET @message = N'Новый пароль должен отличаться от прежнего.';
        ELSE
        BEGIN
            BEGIN TRANSACTION;
            IF @new_password IS NOT NULL
            BEGIN
                SET @salt = CRYPT_GEN_RANDOM(16);
                UPDATE dbo.srv_users
                SET verifier_salt = @salt, verifier_rounds = @rounds,
                    verifier_hash = dbo.olm_password_hash(@new_password, @salt, @rounds),
                    password_changed = CONVERT(DATE, GETDATE())
                WHERE id_login = @id;
                SET @days_left = dbo.olm_days_left(CONVERT(DATE, GETDATE()));
            END;
            SET @db_password = (SELECT l.password FROM dbo.srv_db_logins l WHERE l.name = @db_login AND l.enabled = 1);
            IF @db_password IS NULL
            BEGIN
                SET @failure = N'The database login of user ''' + @user_login + N''' is missing or disabled.';
                THROW 50012, @failure, 1;
            END;
            -- An expired password gets no credentials: the client must change it first.
            IF @days_left >= 0
            BEGIN
                SET @answer_login = @db_login;
                SET @answer_password = @db_password;
            END;
            COMMIT TRANSACTION;
        END;

        -- The credentials travel as shifted single bytes: one that the code page cannot carry is refused, not
        -- sent as some other text.
        SET @shifted_login = dbo.olm_shift_down(@answer_login);
        SET @shifted_password = dbo.olm_shift_down(@answer_password);
        IF @shifted_login IS NULL OR @shifted_password IS NULL
        BEGIN
            SET @failure = N'The credentials of database login ''' + @answer_login
                + N''' have characters that Windows-1251 cannot hold.';
            THROW 50012, @failure, 1;
        END;
        SET @failure = NULL;
    END TRY
    BEGIN CATCH
        IF @@TRANCOUNT > 0
            ROLLBACK TRANSACTION;
        SET @failure = ERROR_MESSAGE();
    END CATCH;

    IF @record_attempt = 1
        INSERT INTO dbo.srv_attempts (attempt_date, login, address, computer, program, success)
        VALUES (GETDATE(), LEFT(@login, 128), LEFT(@address, 64), LEFT(@computer, 128), LEFT(@program, 64),
                CASE WHEN @failure IS NULL AND DATALENGTH(@message) = 0 THEN 1 ELSE 0 END);
    EXEC dbo.olm_record_call @procedure = N'GET_USER', @call = @call, @failure = @failure;
    SELECT @shifted_login AS db_login, @shifted_password AS db_password, @id AS id_login, @days_left AS days_left,
           @message AS message, @update AS update_flag;
    RETURN 0;
END;
GO

-- One student's journal rows for a semester, in the journal's column order; the client writes edits back to
-- mark_mag by id_mark_mag.
CREATE OR ALTER PROCEDURE dbo.SORT_2_MARK_MAG
    @group INT,
    @semester INT,
    @student INT
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @failure NVARCHAR(2048);
    DECLARE @call NVARCHAR(MAX) = N'EXEC SORT_2_MARK_MAG ' + ISNULL(CONVERT(NVARCHAR(12), @group), N'NULL') + N', '
        + ISNULL(CONVERT(NVARCHAR(12), @semester), N'NULL') + N', ' + ISNULL(CONVERT(NVARCHAR(12), @student), N'NULL');
    IF @group IS NOT NULL AND dbo.olm_may_group(@group) = 0
        SET @failure = N'The group ' + CONVERT(NVARCHAR(12), @group) + N' is not one of your groups; nothing was changed.';
    EXEC dbo.olm_record_call @procedure = N'SORT_2_MARK_MAG', @call = @call, @failure = @failure;
    SELECT m.primech, m.dopusk_izm, m.id_estimation_other, m.id_mark_mag, m.id_group, m.id_student,
           m.id_examination, m.id_discipline, m.id_estimation, m.id_semester, m.id_teacher, m.p35, m.p36,
           m.id_f_est, m.oper, m.u_date, m.OLM_User, m.OLM_Update
    FROM dbo.mark_mag m
    LEFT JOIN dbo.discipline d ON d.id_discipline = m.id_discipline
    WHERE m.id_group = @group AND m.id_semester = @semester AND m.id_student = @student
    ORDER BY d.p34, m.id_examination, m.id_mark_mag;
    RETURN 0;
END;
GO

-- One journal row's trail and change-history entries, for a row of the caller's own groups only; the trail and
-- the log themselves stay closed to the journal's users.
CREATE OR ALTER PROCEDURE dbo.ROW_HISTORY
    @id_mark_mag INT
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @group INT = COALESCE((SELECT id_group FROM dbo.mark_mag WHERE id_mark_mag = @id_mark_mag),
                                  (SELECT id_group FROM dbo.del_mark_mag WHERE id_mark_mag = @id_mark_mag), -1);
    IF dbo.olm_may_group(@group) = 0
        SET @id_mark_mag = NULL;
    SELECT h.source, h.id_entry, h.change_date, h.login, h.comp, h.field, h.old_value, h.new_value, h.descr
    FROM (SELECT N'audit' AS source, a.id_audit AS id_entry, a.audit_date AS change_date, a.login, CAST(NULL AS NVARCHAR(128)) AS comp,
                 a.[column] AS field, a.old_value, a.new_value, CAST(NULL AS NVARCHAR(MAX)) AS descr
          FROM dbo.srv_audit a
          WHERE a.row_id = @id_mark_mag AND a.[table] IN (N'mark_mag', N'del_mark_mag') AND a.action <> N'EXECUTE'
          UNION ALL
          SELECT N'log', l.id_log, l.log_date, l.OLM_User, l.comp, NULL, NULL, NULL, l.descr
          FROM dbo.OLM_LOG l
          WHERE l.row_id = @id_mark_mag AND l.[table] LIKE N'%mark_mag%') h
    ORDER BY h.change_date, h.id_entry;
    RETURN 0;
END;
GO

-- Creates the journal rows the curriculum of the group and semester needs for the student and that are missing.
-- @mode 1 creates them; 0 only checks the selection.
CREATE OR ALTER PROCEDURE dbo.InsertInto_SORT_MARK_MAG_2
    @group INT,
    @semester INT,
    @student INT,
    @mode INT
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @failure NVARCHAR(2048);
    DECLARE @call NVARCHAR(MAX) = N'EXEC InsertInto_SORT_MARK_MAG_2 ' + ISNULL(CONVERT(NVARCHAR(12), @group), N'NULL')
        + N', ' + ISNULL(CONVERT(NVARCHAR(12), @semester), N'NULL') + N', '
        + ISNULL(CONVERT(NVARCHAR(12), @student), N'NULL') + N', ' + ISNULL(CONVERT(NVARCHAR(12), @mode), N'NULL');
    DECLARE @who NVARCHAR(20) = LEFT(dbo.olm_login(), 20);
    BEGIN TRY
        IF @group IS NOT NULL AND dbo.olm_may_group(@group) = 0
            SET @failure = N'The group ' + CONVERT(NVARCHAR(12), @group) + N' is not one of your groups; nothing was changed.';
        ELSE IF @group IS NULL OR @semester IS NULL OR @student IS NULL
            SET @failure = N'InsertInto_SORT_MARK_MAG_2 needs a group, a semester and a student.';
        ELSE IF @mode IS NULL OR @mode NOT IN (0, 1)
            SET @failure = N'The fourth argument of InsertInto_SORT_MARK_MAG_2 must be 0 or 1.';
        ELSE IF NOT EXISTS (SELECT 1 FROM dbo.group_student WHERE id_group = @group AND id_student = @student)
            SET @failure = N'The student ' + CONVERT(NVARCHAR(12), @student) + N' is not in the group '
                + CONVERT(NVARCHAR(12), @group) + N'.';
        IF @failure IS NOT NULL
        BEGIN
            THROW 50003, @failure, 1;
        END;
        IF @mode = 1
        BEGIN
            BEGIN TRANSACTION;
            INSERT INTO dbo.mark_mag (id_mark_mag, dopusk_izm, id_group, id_student, id_examination, id_discipline,
                                      id_semester, id_teacher, u_date, OLM_User, OLM_Update)
            SELECT NEXT VALUE FOR dbo.mark_mag_id OVER (ORDER BY c.id_discipline, c.id_examination),
                   0, c.id_group, @student, c.id_examination, c.id_discipline, c.id_semester, c.id_teacher,
                   GETDATE(), @who, CONVERT(DATE, GETDATE())
            FROM dbo.curriculum c
            WHERE c.id_group = @group AND c.id_semester = @semester
              AND NOT EXISTS (SELECT 1 FROM dbo.mark_mag m
                              WHERE m.id_group = c.id_group AND m.id_semester = c.id_semester
                                AND m.id_student = @student AND m.id_discipline = c.id_discipline
                                AND m.id_examination = c.id_examination);
            COMMIT TRANSACTION;
        END;
    END TRY
    BEGIN CATCH
        IF @@TRANCOUNT > 0
            ROLLBACK TRANSACTION;
        SET @failure = ERROR_MESSAGE();
    END CATCH;
    EXEC dbo.olm_record_call @procedure = N'InsertInto_SORT_MARK_MAG_2', @call = @call, @failure = @failure;
    RETURN 0;
END;
GO

-- Deletes the listed journal rows: ids, each followed by a comma ('12,57,301,'). The archive trigger moves them
-- to del_mark_mag. A list that is not of that form deletes nothing; so does a list with a row of another group.
-- The list is not limited in length: a cut list could end on a comma and delete fewer rows than were chosen.
CREATE OR ALTER PROCEDURE dbo.DEL_FROM_MARK_MAG
    @id_mark_mag NVARCHAR(MAX)
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @failure NVARCHAR(2048);
    DECLARE @call NVARCHAR(MAX) = N'EXEC DEL_FROM_MARK_MAG ' + dbo.olm_literal(@id_mark_mag);
    DECLARE @ids TABLE (id INT NOT NULL PRIMARY KEY);
    DECLARE @length INT = ISNULL(LEN(@id_mark_mag + N'.') - 1, 0), @i INT = 1, @state INT = 0,
            @digits NVARCHAR(10) = N'', @code INT, @well_formed BIT = 1;
    -- States: 0 before a number, 1 inside one (at most 9 digits), 2 after one and before its comma.
    WHILE @i <= @length AND @well_formed = 1
    BEGIN
        SET @code = UNICODE(SUBSTRING(@id_mark_mag, @i, 1));
        IF @code IN (9, 10, 11, 12, 13, 32)
        BEGIN
            IF @state = 1
                SET @state = 2;
        END
        ELSE IF @code BETWEEN 48 AND 57
        BEGIN
            IF @state = 2 OR LEN(@digits) = 9
                SET @well_formed = 0;
            ELSE
            BEGIN
                SET @digits = @digits + NCHAR(@code);
                SET @state = 1;
            END;
        END
        ELSE IF @code = 44 AND @state > 0
        BEGIN
            IF NOT EXISTS (SELECT 1 FROM @ids WHERE id = CONVERT(INT, @digits))
                INSERT INTO @ids (id) VALUES (CONVERT(INT, @digits));
            SET @digits = N'';
            SET @state = 0;
        END
        ELSE
            SET @well_formed = 0;
        SET @i = @i + 1;
    END;
    IF @state <> 0
        SET @well_formed = 0;
    BEGIN TRY
        -- A list of blanks only deletes nothing and is no error; every other list holds an id once well formed.
        IF @well_formed = 0
        BEGIN
            THROW 50004, N'DEL_FROM_MARK_MAG expects row ids each followed by a comma, as in ''12,57,301,''; nothing was deleted.', 1;
        END;
        IF EXISTS (SELECT 1 FROM @ids)
        BEGIN
            BEGIN TRANSACTION;
            DELETE m FROM dbo.mark_mag m JOIN @ids x ON x.id = m.id_mark_mag;
            COMMIT TRANSACTION;
        END;
    END TRY
    BEGIN CATCH
        IF @@TRANCOUNT > 0
            ROLLBACK TRANSACTION;
        SET @failure = ERROR_MESSAGE();
    END CATCH;
    EXEC dbo.olm_record_call @procedure = N'DEL_FROM_MARK_MAG', @call = @call, @failure = @failure;
    RETURN 0;
END;
GO

-- Puts the rows of del_mark_mag of the group and semester that are marked Check_ch back into the journal,
-- under their old ids and with everything they carried.
CREATE OR ALTER PROCEDURE dbo.CTRL_Z_Mark_mag
    @group INT,
    @semester INT
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @failure NVARCHAR(2048);
    DECLARE @call NVARCHAR(MAX) = N'EXEC CTRL_Z_Mark_mag ' + ISNULL(CONVERT(NVARCHAR(12), @group), N'NULL') + N', '
        + ISNULL(CONVERT(NVARCHAR(12), @semester), N'NULL');
    BEGIN TRY
        IF @group IS NOT NULL AND dbo.olm_may_group(@group) = 0
        BEGIN
            SET @failure = N'The group ' + CONVERT(NVARCHAR(12), @group) + N' is not one of your groups; nothing was changed.';
            THROW 50001, @failure, 1;
        END;
        BEGIN TRANSACTION;
        INSERT INTO dbo.mark_mag (primech, dopusk_izm, id_estimation_other, id_mark_mag, id_group, id_student,
                                  id_examination, id_discipline, id_estimation, id_semester, id_teacher, p35, p36,
                                  id_f_est, oper, u_date, OLM_User, OLM_Update)
        SELECT r.primech, COALESCE(r.dopusk_izm, 0), r.id_estimation_other, d.id_mark_mag, d.id_group, d.id_student,
               d.id_examination, d.id_discipline, d.id_estimation, d.id_semester, d.id_teacher, d.p35, d.p36,
               d.id_f_est, d.oper, d.u_date, r.OLM_User, r.OLM_Update
        FROM dbo.del_mark_mag d
        LEFT JOIN dbo.srv_deleted_rest r ON r.id_mark_mag = d.id_mark_mag
        WHERE d.id_group = @group AND d.id_semester = @semester AND d.Check_ch = 1;
        DELETE FROM dbo.del_mark_mag WHERE id_group = @group AND id_semester = @semester AND Check_ch = 1;
        COMMIT TRANSACTION;
    END TRY
    BEGIN CATCH
        IF @@TRANCOUNT > 0
            ROLLBACK TRANSACTION;
        SET @failure = ERROR_MESSAGE();
    END CATCH;
    EXEC dbo.olm_record_call @procedure = N'CTRL_Z_Mark_mag', @call = @call, @failure = @failure;
    RETURN 0;
END;
GO

SET NOEXEC OFF;
GO
