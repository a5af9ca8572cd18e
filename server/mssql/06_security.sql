-- OLM journal on Microsoft SQL Server, script 6 of 8: the roles, their rights and the bootstrap login.
-- Run after 05_procedures.sql, as a login that may create logins (securityadmin or sysadmin), with the
-- bootstrap credentials the settings file will carry (each at most 20 characters):
--   sqlcmd -b -f 65001 -S SERVER -d OLM -i 06_security.sql -v OLM_BOOT_LOGIN="olm_boot" OLM_BOOT_PASSWORD="..."
-- Re-running grants nothing new and leaves an existing bootstrap login and its password as they are.
--
-- olm_bootstrap: may only execute GET_USER (the settings file on every workstation carries its password).
-- olm_reader:    reads the journal and its lists, opens and creates a selection's rows; every change is refused.
-- olm_editor:    a reader that also edits and deletes journal rows, restores deleted ones and writes OLM_LOG.
-- Nobody but the owner reads the srv_ tables; OLM_LOG only takes new entries.

IF OBJECT_ID(N'dbo.GET_USER', N'P') IS NULL
BEGIN
    RAISERROR(N'Run scripts 01 to 05 in this database first.', 16, 1);
    SET NOEXEC ON;
END;
GO

IF DATABASE_PRINCIPAL_ID(N'olm_bootstrap') IS NULL
    CREATE ROLE olm_bootstrap AUTHORIZATION dbo;
IF DATABASE_PRINCIPAL_ID(N'olm_reader') IS NULL
    CREATE ROLE olm_reader AUTHORIZATION dbo;
IF DATABASE_PRINCIPAL_ID(N'olm_editor') IS NULL
    CREATE ROLE olm_editor AUTHORIZATION dbo;
GO

-- Sign-in: the bootstrap connection calls GET_USER and nothing else.
GRANT EXECUTE ON OBJECT::dbo.GET_USER TO olm_bootstrap;
GO

-- What every signed-in user reads.
GRANT SELECT ON OBJECT::dbo.[group] TO olm_reader;
GRANT SELECT ON OBJECT::dbo.group_form TO olm_reader;
GRANT SELECT ON OBJECT::dbo.g_sem TO olm_reader;
GRANT SELECT ON OBJECT::dbo.s_fio TO olm_reader;
GRANT SELECT ON OBJECT::dbo.s_g TO olm_reader;
GRANT SELECT ON OBJECT::dbo.t_fio TO olm_reader;
GRANT SELECT ON OBJECT::dbo.gr_sem_disc_exam TO olm_reader;
GRANT SELECT ON OBJECT::dbo.est2 TO olm_reader;
GRANT SELECT ON OBJECT::dbo.f_est TO olm_reader;
GRANT SELECT ON OBJECT::dbo.EstimationOther TO olm_reader;
GRANT SELECT ON OBJECT::dbo.com_sfe TO olm_reader;
GRANT SELECT ON OBJECT::dbo.g_s TO olm_reader;
GRANT SELECT ON OBJECT::dbo.g_r_y TO olm_reader;
GRANT SELECT ON OBJECT::dbo.semester TO olm_reader;
GRANT SELECT ON OBJECT::dbo.examination TO olm_reader;
GRANT SELECT ON OBJECT::dbo.educ_sh TO olm_reader;
GRANT SELECT ON OBJECT::dbo.discipline TO olm_reader;
GRANT SELECT ON OBJECT::dbo.del_mark_mag TO olm_reader;
GRANT SELECT ON OBJECT::dbo.mark_mag TO olm_reader;
GRANT EXECUTE ON OBJECT::dbo.SORT_2_MARK_MAG TO olm_reader;
-- The journal window creates a selection's rows before every load, readers included.
GRANT EXECUTE ON OBJECT::dbo.InsertInto_SORT_MARK_MAG_2 TO olm_reader;
GRANT EXECUTE ON OBJECT::dbo.ROW_HISTORY TO olm_reader;
GO

-- Editors: the journal's data columns, never the server's stamps OLM_User and OLM_Update.
GRANT UPDATE ON OBJECT::dbo.mark_mag (primech, dopusk_izm, id_estimation_other, id_mark_mag, id_group, id_student,
                                      id_examination, id_discipline, id_estimation, id_semester, id_teacher, p35,
                                      p36, id_f_est, oper, u_date) TO olm_editor;
DENY UPDATE ON OBJECT::dbo.mark_mag (OLM_User, OLM_Update) TO olm_reader, olm_editor, olm_bootstrap;
GRANT DELETE ON OBJECT::dbo.mark_mag TO olm_editor;
-- The restore window writes back its choice and nothing else.
GRANT UPDATE ON OBJECT::dbo.del_mark_mag (Check_ch) TO olm_editor;
GRANT INSERT ON OBJECT::dbo.OLM_LOG TO olm_editor;
GRANT EXECUTE ON OBJECT::dbo.DEL_FROM_MARK_MAG TO olm_editor;
GRANT EXECUTE ON OBJECT::dbo.CTRL_Z_Mark_mag TO olm_editor;
-- The log is append-only (the OLM_LOG_keep trigger holds it too).
DENY UPDATE, DELETE ON OBJECT::dbo.OLM_LOG TO olm_reader, olm_editor, olm_bootstrap;
GO

IF NOT EXISTS (SELECT 1 FROM sys.database_role_members rm
               WHERE rm.role_principal_id = DATABASE_PRINCIPAL_ID(N'olm_reader')
                 AND rm.member_principal_id = DATABASE_PRINCIPAL_ID(N'olm_editor'))
    ALTER ROLE olm_reader ADD MEMBER olm_editor;
GO

-- The bootstrap login. Its name and password go into the settings file (olm-admin settings write), whose fields
-- hold 20 characters each. The password never expires: every workstation carries it.
DECLARE @boot NVARCHAR(128) = N'$(OLM_BOOT_LOGIN)', @password NVARCHAR(128) = N'$(OLM_BOOT_PASSWORD)', @sql NVARCHAR(MAX);
IF LEN(@boot) NOT BETWEEN 1 AND 20 OR LEN(@password) NOT BETWEEN 1 AND 20
BEGIN
    RAISERROR(N'The bootstrap login and its password are 1 to 20 characters each: the settings file holds no more.', 16, 1);
END
ELSE
BEGIN
    IF SUSER_ID(@boot) IS NULL
    BEGIN
        SET @sql = N'CREATE LOGIN ' + QUOTENAME(@boot) + N' WITH PASSWORD = ' + QUOTENAME(@password, N'''')
            + N', DEFAULT_DATABASE = ' + QUOTENAME(DB_NAME()) + N', CHECK_EXPIRATION = OFF, CHECK_POLICY = ON;';
        EXEC sys.sp_executesql @sql;
    END;
    IF DATABASE_PRINCIPAL_ID(@boot) IS NULL
    BEGIN
        SET @sql = N'CREATE USER ' + QUOTENAME(@boot) + N' FOR LOGIN ' + QUOTENAME(@boot) + N' WITH DEFAULT_SCHEMA = dbo;';
        EXEC sys.sp_executesql @sql;
    END;
    IF IS_ROLEMEMBER(N'olm_bootstrap', @boot) = 0
    BEGIN
        SET @sql = N'ALTER ROLE olm_bootstrap ADD MEMBER ' + QUOTENAME(@boot) + N';';
        EXEC sys.sp_executesql @sql;
    END;
    -- The administration procedures refuse this name for a sign-in user.
    UPDATE dbo.srv_config SET value = @boot WHERE name = N'bootstrap_login' AND value <> @boot;
    IF NOT EXISTS (SELECT 1 FROM dbo.srv_config WHERE name = N'bootstrap_login')
        INSERT INTO dbo.srv_config (name, value) VALUES (N'bootstrap_login', @boot);
END;
GO

SET NOEXEC OFF;
GO
