-- OLM journal on Microsoft SQL Server, script 2 of 8: the helper functions the triggers and procedures share
-- (who the session is, its groups, the shifted credential form, the password verifier, program versions).
-- Run after 01_schema.sql: sqlcmd -b -f 65001 -S SERVER -d OLM -i 02_functions.sql. CREATE OR ALTER keeps it re-runnable.

IF OBJECT_ID(N'dbo.srv_users', N'U') IS NULL
BEGIN
    RAISERROR(N'Run 01_schema.sql in this database first.', 16, 1);
    SET NOEXEC ON;
END;
GO

-- Administrators (members of db_owner) are the owner: the guards and the group scope do not apply to them.
CREATE OR ALTER FUNCTION dbo.olm_is_admin() RETURNS BIT
AS
BEGIN
    RETURN CASE WHEN IS_MEMBER(N'db_owner') = 1 THEN 1 ELSE 0 END;
END;
GO

-- The sign-in login of the session (its database login mapped back to the user); an administrator's own
-- login otherwise. Stamps, the audit trail and del_oper carry it.
CREATE OR ALTER FUNCTION dbo.olm_login() RETURNS NVARCHAR(128)
AS
BEGIN
    DECLARE @login NVARCHAR(128) = (SELECT TOP (1) u.login FROM dbo.srv_users u
                                    WHERE u.db_login = SUSER_SNAME() ORDER BY u.id_login);
    RETURN COALESCE(@login, SUSER_SNAME());
END;
GO

-- True when the session may work on the group: one of the signed-in user's own groups, or an administrator.
-- Not an exemption for the procedures: they run with the caller's identity and are scoped the same way.
CREATE OR ALTER FUNCTION dbo.olm_may_group(@id_group INT) RETURNS BIT
AS
BEGIN
    IF dbo.olm_is_admin() = 1
        RETURN 1;
    IF @id_group IS NULL
        RETURN 0;
    IF EXISTS (SELECT 1 FROM dbo.srv_user_groups ug JOIN dbo.srv_users u ON u.id_login = ug.id_login
               WHERE u.db_login = SUSER_SNAME() AND ug.id_group = @id_group AND ug.o_z = 1)
        RETURN 1;
    RETURN 0;
END;
GO

-- Every byte of the text's Windows-1251 form lowered by one (modulo 256): the form credentials travel in.
-- NULL when a character has no Windows-1251 byte, so that no credential is handed out as some other text.
CREATE OR ALTER FUNCTION dbo.olm_shift_down(@text NVARCHAR(128)) RETURNS NVARCHAR(128)
AS
BEGIN
    IF @text IS NULL
        RETURN NULL;
    DECLARE @bytes VARCHAR(128) = CONVERT(VARCHAR(128), @text);
    IF CONVERT(VARBINARY(256), CONVERT(NVARCHAR(128), @bytes)) <> CONVERT(VARBINARY(256), @text)
        RETURN NULL;
    DECLARE @shifted VARCHAR(128) = '', @i INT = 1;
    WHILE @i <= DATALENGTH(@bytes)
    BEGIN
        SET @shifted = @shifted + CHAR((ASCII(SUBSTRING(@bytes, @i, 1)) + 255) % 256);
        SET @i = @i + 1;
    END;
    RETURN CONVERT(NVARCHAR(128), @shifted);
END;
GO

-- True for 32 hexadecimal digits (either case): the form of a password digest.
CREATE OR ALTER FUNCTION dbo.olm_is_digest(@text NVARCHAR(4000)) RETURNS BIT
AS
BEGIN
    IF DATALENGTH(@text) = 64 AND @text COLLATE Latin1_General_BIN2 NOT LIKE N'%[^0-9A-Fa-f]%'
        RETURN 1;
    RETURN 0;
END;
GO

-- The password verifier: SHA-256 of salt and digest, iterated. The digest counts in upper case, as the client
-- writes it. Only salt, rounds and the result are stored; the digest itself never is.
CREATE OR ALTER FUNCTION dbo.olm_password_hash(@digest NVARCHAR(32), @salt VARBINARY(16), @rounds INT)
    RETURNS VARBINARY(32)
AS
BEGIN
    DECLARE @key VARBINARY(32) = CONVERT(VARBINARY(32), CONVERT(VARCHAR(32), UPPER(@digest)));
    DECLARE @hash VARBINARY(32) = HASHBYTES('SHA2_256', @salt + @key), @round INT = 1;
    WHILE @round < @rounds
    BEGIN
        SET @hash = HASHBYTES('SHA2_256', @hash + @salt + @key);
        SET @round = @round + 1;
    END;
    RETURN @hash;
END;
GO

-- The MD5 digest the client sends for a typed password: 32 upper-case hexadecimal digits of its
-- Windows-1251 bytes. The administration procedures use it to set a password.
CREATE OR ALTER FUNCTION dbo.olm_password_digest(@password NVARCHAR(20)) RETURNS NVARCHAR(32)
AS
BEGIN
    RETURN UPPER(CONVERT(NVARCHAR(32), HASHBYTES('MD5', CONVERT(VARCHAR(20), @password)), 2));
END;
GO

-- Days until the password must be changed; below 0 once it has expired or when it was never set.
CREATE OR ALTER FUNCTION dbo.olm_days_left(@changed DATE) RETURNS INT
AS
BEGIN
    IF @changed IS NULL
        RETURN -1;
    DECLARE @max_age INT = COALESCE((SELECT TRY_CONVERT(INT, value) FROM dbo.srv_config
                                     WHERE name = N'password_max_age_days'), 90);
    RETURN @max_age - DATEDIFF(DAY, @changed, CONVERT(DATE, GETDATE()));
END;
GO

-- The version at the end of a program name ("16" of "OLM 16", "2.10" of "OLM 2.10"): digits with single dots
-- between them. NULL when the name does not end in one.
CREATE OR ALTER FUNCTION dbo.olm_program_version(@program NVARCHAR(4000)) RETURNS NVARCHAR(4000)
AS
BEGIN
    DECLARE @stop INT = PATINDEX(N'%[^0-9.]%', REVERSE(@program) COLLATE Latin1_General_BIN2);
    DECLARE @tail NVARCHAR(4000) = CASE WHEN @stop = 0 THEN @program ELSE RIGHT(@program, @stop - 1) END;
    IF @tail IS NULL OR DATALENGTH(@tail) = 0 OR RIGHT(@tail, 1) = N'.'
        RETURN NULL;
    WHILE LEFT(@tail, 1) = N'.' OR CHARINDEX(N'..', @tail) > 0
        SET @tail = SUBSTRING(@tail, 2, 4000);
    RETURN @tail;
END;
GO

-- A client is asked to update only when it is older than the current program: a newer one (a pilot of the next
-- version) must not be sent back. Versions compare as numbers ("OLM 9" is older than "OLM 16"); a program of
-- another name, or without a version, is told to update whenever it is not the current one.
CREATE OR ALTER FUNCTION dbo.olm_is_older_program(@client NVARCHAR(4000), @current NVARCHAR(4000)) RETURNS BIT
AS
BEGIN
    DECLARE @a NVARCHAR(4000) = LTRIM(RTRIM(ISNULL(@client, N''))), @b NVARCHAR(4000) = LTRIM(RTRIM(ISNULL(@current, N'')));
    DECLARE @va NVARCHAR(4000) = dbo.olm_program_version(@a), @vb NVARCHAR(4000) = dbo.olm_program_version(@b);
    DECLARE @na NVARCHAR(4000) = CASE WHEN @va IS NULL THEN NULL ELSE RTRIM(LEFT(@a, DATALENGTH(@a) / 2 - DATALENGTH(@va) / 2)) END;
    DECLARE @nb NVARCHAR(4000) = CASE WHEN @vb IS NULL THEN NULL ELSE RTRIM(LEFT(@b, DATALENGTH(@b) / 2 - DATALENGTH(@vb) / 2)) END;
    IF @va IS NULL OR @vb IS NULL OR @na COLLATE Cyrillic_General_CI_AS <> @nb COLLATE Cyrillic_General_CI_AS
        RETURN CASE WHEN CONVERT(VARBINARY(8000), ISNULL(@client, N'')) = CONVERT(VARBINARY(8000), ISNULL(@current, N''))
                    THEN 0 ELSE 1 END;
    DECLARE @x NVARCHAR(4000) = @va + N'.', @y NVARCHAR(4000) = @vb + N'.';
    DECLARE @left DECIMAL(38, 0), @right DECIMAL(38, 0);
    WHILE DATALENGTH(@x) > 0 OR DATALENGTH(@y) > 0
    BEGIN
        SET @left = 0;
        SET @right = 0;
        IF DATALENGTH(@x) > 0
        BEGIN
            SET @left = ISNULL(TRY_CONVERT(DECIMAL(38, 0), LEFT(@x, CHARINDEX(N'.', @x) - 1)), 0);
            SET @x = SUBSTRING(@x, CHARINDEX(N'.', @x) + 1, 4000);
        END;
        IF DATALENGTH(@y) > 0
        BEGIN
            SET @right = ISNULL(TRY_CONVERT(DECIMAL(38, 0), LEFT(@y, CHARINDEX(N'.', @y) - 1)), 0);
            SET @y = SUBSTRING(@y, CHARINDEX(N'.', @y) + 1, 4000);
        END;
        IF @left <> @right
            RETURN CASE WHEN @left < @right THEN 1 ELSE 0 END;
    END;
    RETURN 0;
END;
GO

-- A value as a T-SQL literal, for the calls the audit trail records: NULL bare, text quoted with quotes doubled.
CREATE OR ALTER FUNCTION dbo.olm_literal(@value NVARCHAR(MAX)) RETURNS NVARCHAR(MAX)
AS
BEGIN
    IF @value IS NULL
        RETURN N'NULL';
    RETURN N'''' + REPLACE(@value, N'''', N'''''') + N'''';
END;
GO

-- True when two stored values differ as written: a change of case or of trailing blanks counts.
CREATE OR ALTER FUNCTION dbo.olm_differs(@old NVARCHAR(MAX), @new NVARCHAR(MAX)) RETURNS BIT
AS
BEGIN
    IF @old IS NULL AND @new IS NULL
        RETURN 0;
    IF @old IS NULL OR @new IS NULL OR DATALENGTH(@old) <> DATALENGTH(@new)
       OR @old COLLATE Latin1_General_BIN2 <> @new COLLATE Latin1_General_BIN2
        RETURN 1;
    RETURN 0;
END;
GO

SET NOEXEC OFF;
GO
