-- OLM journal on Microsoft SQL Server, script 7 of 8: the administrator's procedures for sign-in users: add one
-- (with its own database login), assign groups, block and unblock, reset a password, list users, settings.
-- Run after 06_security.sql: sqlcmd -b -f 65001 -S SERVER -d OLM -i 07_admin.sql. CREATE OR ALTER keeps it re-runnable.
-- Nobody is granted these: they run for members of db_owner, and adding a user also needs the server right to
-- create logins (securityadmin or sysadmin). Examples (docs/deploy-sqlserver.md has more):
--   EXEC dbo.olm_user_add @login = N'petrova', @password = N'petrova1', @role = N'editor';
--   EXEC dbo.olm_user_groups @login = N'petrova', @groups = N'1,2,5';

IF DATABASE_PRINCIPAL_ID(N'olm_editor') IS NULL
BEGIN
    RAISERROR(N'Run scripts 01 to 06 in this database first.', 16, 1);
    SET NOEXEC ON;
END;
GO

-- What the sign-in window lets a user type, so that every password set here can be typed there.
CREATE OR ALTER FUNCTION dbo.olm_password_problem(@password NVARCHAR(4000)) RETURNS NVARCHAR(200)
AS
BEGIN
    IF @password IS NULL OR DATALENGTH(@password) / 2 NOT BETWEEN 6 AND 20
       OR @password COLLATE Latin1_General_BIN2 LIKE N'%[^A-Za-z0-9_]%'
        RETURN N'A password is 6 to 20 Latin letters, digits or ''_''.';
    RETURN NULL;
END;
GO

CREATE OR ALTER FUNCTION dbo.olm_login_problem(@login NVARCHAR(4000)) RETURNS NVARCHAR(300)
AS
BEGIN
    IF @login IS NULL OR DATALENGTH(@login) / 2 NOT BETWEEN 1 AND 20
       OR REPLACE(@login, N'-', N'') COLLATE Latin1_General_BIN2 LIKE N'%[^._0-9A-Za-zЁА-яё]%'
        RETURN N'A login is 1 to 20 letters, digits, ''_'', ''.'' or ''-'': ''' + ISNULL(@login, N'') + N''' is not one.';
    IF @login = N'dbo' OR @login = (SELECT value FROM dbo.srv_config WHERE name = N'bootstrap_login')
        RETURN N'The login ''' + @login + N''' is reserved.';
    RETURN NULL;
END;
GO

-- Adds a sign-in user with a database login of its own (named like the user unless @db_login says otherwise)
-- whose generated password only GET_USER hands out. @role is editor or reader. A server login of that name
-- left from an earlier database (logins outlive a dropped database) is refused unless @adopt_login = 1,
-- which gives it a new generated password.
CREATE OR ALTER PROCEDURE dbo.olm_user_add
    @login NVARCHAR(4000),
    @password NVARCHAR(4000),
    @role NVARCHAR(16) = N'editor',
    @db_login NVARCHAR(128) = NULL,
    @adopt_login BIT = 0
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @problem NVARCHAR(400) = dbo.olm_login_problem(@login), @sql NVARCHAR(MAX);
    SET @db_login = ISNULL(@db_login, @login);
    IF @problem IS NULL AND EXISTS (SELECT 1 FROM dbo.srv_users WHERE login = @login)
        SET @problem = N'The user ''' + @login + N''' already exists.';
    IF @problem IS NULL
        SET @problem = dbo.olm_password_problem(@password);
    IF @problem IS NULL AND ISNULL(@role, N'') NOT IN (N'editor', N'reader')
        SET @problem = N'A role is editor or reader, not ''' + ISNULL(@role, N'') + N'''.';
    DECLARE @adopt BIT = CASE WHEN SUSER_ID(@db_login) IS NOT NULL THEN 1 ELSE 0 END;
    IF @problem IS NULL AND ((@adopt = 1 AND ISNULL(@adopt_login, 0) = 0) OR DATABASE_PRINCIPAL_ID(@db_login) IS NOT NULL
                             OR EXISTS (SELECT 1 FROM dbo.srv_db_logins WHERE name = @db_login))
        SET @problem = N'The database login ''' + @db_login
            + N''' exists already; give another one with @db_login, or take over a left-over server login with @adopt_login = 1.';
    IF @problem IS NOT NULL
    BEGIN
        THROW 50020, @problem, 1;
    END;

    -- Letters and digits only, so that the value is safe inside a connection string.
    DECLARE @alphabet NCHAR(56) = N'ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789';
    DECLARE @db_password NVARCHAR(16) = N'', @random VARBINARY(64), @i INT, @byte INT;
    WHILE LEN(@db_password) < 16
    BEGIN
        SET @random = CRYPT_GEN_RANDOM(64);
        SET @i = 1;
        WHILE @i <= 64 AND LEN(@db_password) < 16
        BEGIN
            SET @byte = CONVERT(INT, SUBSTRING(@random, @i, 1));
            IF @byte < 224 -- 4 * 56: every letter equally likely
                SET @db_password = @db_password + SUBSTRING(@alphabet, @byte % 56 + 1, 1);
            SET @i = @i + 1;
        END;
    END;

    DECLARE @salt VARBINARY(16) = CRYPT_GEN_RANDOM(16), @rounds INT = 10000, @login_made BIT = 0, @user_made BIT = 0;
    BEGIN TRY
        -- The generated password is long and random and nobody types it; it must not expire.
        IF @adopt = 1
            SET @sql = N'ALTER LOGIN ' + QUOTENAME(@db_login) + N' WITH CHECK_EXPIRATION = OFF; ALTER LOGIN '
                + QUOTENAME(@db_login) + N' WITH CHECK_POLICY = OFF; ALTER LOGIN ' + QUOTENAME(@db_login)
                + N' WITH PASSWORD = ' + QUOTENAME(@db_password, N'''') + N', DEFAULT_DATABASE = ' + QUOTENAME(DB_NAME())
                + N'; ALTER LOGIN ' + QUOTENAME(@db_login) + N' ENABLE;';
        ELSE
            SET @sql = N'CREATE LOGIN ' + QUOTENAME(@db_login) + N' WITH PASSWORD = ' + QUOTENAME(@db_password, N'''')
                + N', DEFAULT_DATABASE = ' + QUOTENAME(DB_NAME()) + N', CHECK_EXPIRATION = OFF, CHECK_POLICY = OFF;';
        EXEC sys.sp_executesql @sql;
        SET @login_made = CASE WHEN @adopt = 1 THEN 0 ELSE 1 END;
        SET @sql = N'CREATE USER ' + QUOTENAME(@db_login) + N' FOR LOGIN ' + QUOTENAME(@db_login) + N' WITH DEFAULT_SCHEMA = dbo;';
        EXEC sys.sp_executesql @sql;
        SET @user_made = 1;
        SET @sql = N'ALTER ROLE ' + QUOTENAME(N'olm_' + @role) + N' ADD MEMBER ' + QUOTENAME(@db_login) + N';';
        EXEC sys.sp_executesql @sql;
        BEGIN TRANSACTION;
        INSERT INTO dbo.srv_db_logins (name, password) VALUES (@db_login, @db_password);
        INSERT INTO dbo.srv_users (login, verifier_salt, verifier_rounds, verifier_hash, password_changed, db_login)
        VALUES (@login, @salt, @rounds, dbo.olm_password_hash(dbo.olm_password_digest(@password), @salt, @rounds),
                CONVERT(DATE, GETDATE()), @db_login);
        COMMIT TRANSACTION;
    END TRY
    BEGIN CATCH
        IF @@TRANCOUNT > 0
            ROLLBACK TRANSACTION;
        SET @problem = ERROR_MESSAGE();
        -- Leave nothing half made behind.
        IF @user_made = 1
        BEGIN
            SET @sql = N'DROP USER ' + QUOTENAME(@db_login) + N';';
            EXEC sys.sp_executesql @sql;
        END;
        IF @login_made = 1
        BEGIN
            SET @sql = N'DROP LOGIN ' + QUOTENAME(@db_login) + N';';
            EXEC sys.sp_executesql @sql;
        END;
        THROW 50020, @problem, 1;
    END CATCH;
END;
GO

-- Finds a user's id; raises "There is no user" when there is none.
CREATE OR ALTER PROCEDURE dbo.olm_user_id
    @login NVARCHAR(4000),
    @id_login INT OUTPUT
AS
BEGIN
    SET NOCOUNT ON;
    SET @id_login = (SELECT id_login FROM dbo.srv_users WHERE login = @login);
    IF @id_login IS NULL
    BEGIN
        DECLARE @problem NVARCHAR(400) = N'There is no user ''' + ISNULL(@login, N'') + N'''.';
        THROW 50021, @problem, 1;
    END;
END;
GO

-- Makes the listed groups (ids separated by commas or blanks) the user's groups, replacing the old set.
CREATE OR ALTER PROCEDURE dbo.olm_user_groups
    @login NVARCHAR(4000),
    @groups NVARCHAR(MAX)
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @id INT, @rest NVARCHAR(MAX) = REPLACE(ISNULL(@groups, N''), N' ', N',') + N',', @item NVARCHAR(MAX),
            @group INT, @problem NVARCHAR(400);
    DECLARE @chosen TABLE (id_group INT NOT NULL PRIMARY KEY);
    EXEC dbo.olm_user_id @login = @login, @id_login = @id OUTPUT;
    WHILE DATALENGTH(@rest) > 0
    BEGIN
        SET @item = LTRIM(RTRIM(LEFT(@rest, CHARINDEX(N',', @rest) - 1)));
        SET @rest = SUBSTRING(@rest, CHARINDEX(N',', @rest) + 1, 2147483647);
        IF DATALENGTH(@item) = 0
            CONTINUE;
        SET @group = TRY_CONVERT(INT, @item);
        IF @group IS NULL OR NOT EXISTS (SELECT 1 FROM dbo.[group] WHERE id_group = @group)
        BEGIN
            SET @problem = N'There is no group ' + @item + N'.';
            THROW 50022, @problem, 1;
        END;
        IF NOT EXISTS (SELECT 1 FROM @chosen WHERE id_group = @group)
            INSERT INTO @chosen (id_group) VALUES (@group);
    END;
    BEGIN TRANSACTION;
    DELETE FROM dbo.srv_user_groups WHERE id_login = @id;
    INSERT INTO dbo.srv_user_groups (id_login, id_group, o_z) SELECT @id, id_group, 1 FROM @chosen;
    COMMIT TRANSACTION;
END;
GO

-- A blocked user is told the message at sign-in and gets no credentials; the database login is disabled too.
CREATE OR ALTER PROCEDURE dbo.olm_user_block
    @login NVARCHAR(4000),
    @message NVARCHAR(255)
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @id INT, @db_login NVARCHAR(128), @sql NVARCHAR(MAX);
    IF @message IS NULL OR LEN(LTRIM(@message)) = 0
    BEGIN
        THROW 50023, N'A blocked user is shown a message: give one.', 1;
    END;
    EXEC dbo.olm_user_id @login = @login, @id_login = @id OUTPUT;
    SET @db_login = (SELECT db_login FROM dbo.srv_users WHERE id_login = @id);
    BEGIN TRANSACTION;
    UPDATE dbo.srv_users SET blocked_message = @message WHERE id_login = @id;
    UPDATE dbo.srv_db_logins SET enabled = 0 WHERE name = @db_login;
    COMMIT TRANSACTION;
    IF SUSER_ID(@db_login) IS NOT NULL
    BEGIN
        SET @sql = N'ALTER LOGIN ' + QUOTENAME(@db_login) + N' DISABLE;';
        EXEC sys.sp_executesql @sql;
    END;
END;
GO

CREATE OR ALTER PROCEDURE dbo.olm_user_unblock
    @login NVARCHAR(4000)
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @id INT, @db_login NVARCHAR(128), @sql NVARCHAR(MAX);
    EXEC dbo.olm_user_id @login = @login, @id_login = @id OUTPUT;
    SET @db_login = (SELECT db_login FROM dbo.srv_users WHERE id_login = @id);
    BEGIN TRANSACTION;
    UPDATE dbo.srv_users SET blocked_message = NULL WHERE id_login = @id;
    UPDATE dbo.srv_db_logins SET enabled = 1 WHERE name = @db_login;
    COMMIT TRANSACTION;
    IF SUSER_ID(@db_login) IS NOT NULL
    BEGIN
        SET @sql = N'ALTER LOGIN ' + QUOTENAME(@db_login) + N' ENABLE;';
        EXEC sys.sp_executesql @sql;
    END;
END;
GO

-- Sets a new password (a fresh salt and verifier); its age counts from today.
CREATE OR ALTER PROCEDURE dbo.olm_user_password
    @login NVARCHAR(4000),
    @password NVARCHAR(4000)
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @id INT, @problem NVARCHAR(200) = dbo.olm_password_problem(@password);
    DECLARE @salt VARBINARY(16) = CRYPT_GEN_RANDOM(16), @rounds INT = 10000;
    EXEC dbo.olm_user_id @login = @login, @id_login = @id OUTPUT;
    IF @problem IS NOT NULL
    BEGIN
        THROW 50024, @problem, 1;
    END;
    UPDATE dbo.srv_users
    SET verifier_salt = @salt, verifier_rounds = @rounds,
        verifier_hash = dbo.olm_password_hash(dbo.olm_password_digest(@password), @salt, @rounds),
        password_changed = CONVERT(DATE, GETDATE())
    WHERE id_login = @id;
END;
GO

-- Moves the day the password was last changed (a password whose age passes the limit must be changed at sign-in).
CREATE OR ALTER PROCEDURE dbo.olm_user_password_changed
    @login NVARCHAR(4000),
    @changed DATE
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @id INT;
    EXEC dbo.olm_user_id @login = @login, @id_login = @id OUTPUT;
    UPDATE dbo.srv_users SET password_changed = @changed WHERE id_login = @id;
END;
GO

-- Sign-in users with their database login, role, password age, block message and groups.
CREATE OR ALTER PROCEDURE dbo.olm_user_list
AS
BEGIN
    SET NOCOUNT ON;
    SELECT u.id_login, u.login, u.db_login,
           CASE WHEN IS_ROLEMEMBER(N'olm_editor', u.db_login) = 1 THEN N'editor'
                WHEN IS_ROLEMEMBER(N'olm_reader', u.db_login) = 1 THEN N'reader' ELSE N'' END AS role,
           u.password_changed, dbo.olm_days_left(u.password_changed) AS days_left, u.blocked_message,
           STUFF((SELECT N',' + CONVERT(NVARCHAR(12), g.id_group) FROM dbo.srv_user_groups g
                  WHERE g.id_login = u.id_login ORDER BY g.id_group FOR XML PATH('')), 1, 1, N'') AS groups
    FROM dbo.srv_users u
    ORDER BY u.login;
END;
GO

-- current_program: the program GET_USER expects (older ones are told to update themselves);
-- password_max_age_days: a password's lifetime.
CREATE OR ALTER PROCEDURE dbo.olm_config_set
    @name NVARCHAR(64),
    @value NVARCHAR(4000)
AS
BEGIN
    SET NOCOUNT ON;
    IF @name NOT IN (N'current_program', N'password_max_age_days')
    BEGIN
        THROW 50025, N'The settings are current_program and password_max_age_days.', 1;
    END;
    IF @name = N'password_max_age_days' AND TRY_CONVERT(INT, @value) IS NULL
    BEGIN
        THROW 50025, N'password_max_age_days is a number of days.', 1;
    END;
    UPDATE dbo.srv_config SET value = @value WHERE name = @name;
    IF @@ROWCOUNT = 0
        INSERT INTO dbo.srv_config (name, value) VALUES (@name, @value);
END;
GO

SET NOEXEC OFF;
GO
