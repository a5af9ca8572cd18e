-- OLM journal on Microsoft SQL Server, script 1 of 8: the tables, the journal's id sequence and the settings.
-- Run first, in the OLM database: sqlcmd -b -f 65001 -S SERVER -d OLM -i 01_schema.sql (see README.md).
-- Every object is made only when it is missing, so running the script again changes nothing.

-- The journal's texts arrive in Windows-1251 (the workstations' code page) and the credentials are handed out
-- as shifted single bytes of it: the database must use a collation of that code page.
IF DB_NAME() IN (N'master', N'model', N'msdb', N'tempdb')
   OR COLLATIONPROPERTY(CONVERT(NVARCHAR(128), DATABASEPROPERTYEX(DB_NAME(), 'Collation')), 'CodePage') <> 1251
BEGIN
    RAISERROR(N'Run the OLM scripts in the OLM database, created with a Windows-1251 collation such as Cyrillic_General_CI_AS.', 16, 1);
    SET NOEXEC ON;
END;
GO

-- Catalogues -------------------------------------------------------------------------------------------------

IF OBJECT_ID(N'dbo.speciality', N'U') IS NULL
CREATE TABLE dbo.speciality (
    id_speciality INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_speciality PRIMARY KEY,
    spec NVARCHAR(100) NULL
);
GO

IF OBJECT_ID(N'dbo.[group]', N'U') IS NULL
CREATE TABLE dbo.[group] (
    id_group INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_group PRIMARY KEY,
    p20 NVARCHAR(20) NULL,
    id_speciality INT NULL,
    o_z BIT NULL CONSTRAINT DF_group_o_z DEFAULT (1),
    start_year INT NULL
);
GO

IF OBJECT_ID(N'dbo.semester', N'U') IS NULL
CREATE TABLE dbo.semester (
    id_semester INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_semester PRIMARY KEY,
    p43 NVARCHAR(30) NULL
);
GO

IF OBJECT_ID(N'dbo.group_semester', N'U') IS NULL
CREATE TABLE dbo.group_semester (
    id_group INT NOT NULL,
    id_semester INT NOT NULL,
    id_rate INT NULL,
    CONSTRAINT PK_group_semester PRIMARY KEY (id_group, id_semester)
);
GO

IF OBJECT_ID(N'dbo.g_r_y', N'U') IS NULL
CREATE TABLE dbo.g_r_y (
    id_group INT NOT NULL,
    id_rate INT NOT NULL,
    p32 NVARCHAR(20) NULL,
    CONSTRAINT PK_g_r_y PRIMARY KEY (id_group, id_rate)
);
GO

IF OBJECT_ID(N'dbo.s_fio', N'U') IS NULL
CREATE TABLE dbo.s_fio (
    id_student INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_s_fio PRIMARY KEY,
    s_fio NVARCHAR(70) NULL
);
GO

IF OBJECT_ID(N'dbo.group_student', N'U') IS NULL
CREATE TABLE dbo.group_student (
    id_group INT NOT NULL,
    id_student INT NOT NULL,
    CONSTRAINT PK_group_student PRIMARY KEY (id_group, id_student)
);
GO

IF OBJECT_ID(N'dbo.t_fio', N'U') IS NULL
CREATE TABLE dbo.t_fio (
    id_teacher INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_t_fio PRIMARY KEY,
    t_fio NVARCHAR(60) NULL
);
GO

IF OBJECT_ID(N'dbo.discipline', N'U') IS NULL
CREATE TABLE dbo.discipline (
    id_discipline INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_discipline PRIMARY KEY,
    p34 NVARCHAR(85) NULL
);
GO

IF OBJECT_ID(N'dbo.examination', N'U') IS NULL
CREATE TABLE dbo.examination (
    id_examination INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_examination PRIMARY KEY,
    p30 NVARCHAR(15) NULL
);
GO

-- A mark may serve several forms of assessment, so the pair is the key.
IF OBJECT_ID(N'dbo.est2', N'U') IS NULL
CREATE TABLE dbo.est2 (
    id_estimation INT NOT NULL,
    p31 NVARCHAR(15) NULL,
    id_examination INT NOT NULL,
    CONSTRAINT PK_est2 PRIMARY KEY (id_estimation, id_examination)
);
GO

IF OBJECT_ID(N'dbo.f_est', N'U') IS NULL
CREATE TABLE dbo.f_est (
    id_f_e INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_f_est PRIMARY KEY,
    p109 NVARCHAR(30) NULL
);
GO

IF OBJECT_ID(N'dbo.curriculum', N'U') IS NULL
CREATE TABLE dbo.curriculum (
    id_group INT NOT NULL,
    id_semester INT NOT NULL,
    id_discipline INT NOT NULL,
    id_examination INT NOT NULL,
    id_teacher INT NULL,
    CONSTRAINT PK_curriculum PRIMARY KEY (id_group, id_semester, id_discipline, id_examination)
);
GO

IF OBJECT_ID(N'dbo.EstimationOther', N'U') IS NULL
CREATE TABLE dbo.EstimationOther (
    id_estimation_other INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_EstimationOther PRIMARY KEY,
    Estimation_Other NVARCHAR(10) NULL,
    id_ebe_var INT NULL
);
GO

IF OBJECT_ID(N'dbo.com_sfe', N'U') IS NULL
CREATE TABLE dbo.com_sfe (
    id_ebe_var INT NOT NULL,
    id_speciality INT NOT NULL,
    CONSTRAINT PK_com_sfe PRIMARY KEY (id_ebe_var, id_speciality)
);
GO

IF OBJECT_ID(N'dbo.educ_sh', N'U') IS NULL
CREATE TABLE dbo.educ_sh (
    id_educ_sh INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_educ_sh PRIMARY KEY,
    id_group INT NULL,
    id_semester INT NULL,
    id_discipline INT NULL,
    id_examination INT NULL,
    hours INT NULL
);
GO

-- The journal --------------------------------------------------------------------------------------------------

-- Journal ids come from a sequence rather than IDENTITY: restoring a deleted row brings its old id back, and the
-- restore runs with the user's own rights, which IDENTITY_INSERT would exceed. A sequence never hands an id out
-- twice, so a restored id cannot meet a new one.
IF OBJECT_ID(N'dbo.mark_mag_id', N'SO') IS NULL
CREATE SEQUENCE dbo.mark_mag_id AS INT START WITH 1 INCREMENT BY 1;
GO

-- Column order is the journal's data field order, so "select *" and the journal procedure agree.
IF OBJECT_ID(N'dbo.mark_mag', N'U') IS NULL
CREATE TABLE dbo.mark_mag (
    primech NVARCHAR(50) NULL,
    dopusk_izm BIT NULL CONSTRAINT DF_mark_mag_dopusk_izm DEFAULT (0),
    id_estimation_other INT NULL,
    id_mark_mag INT NOT NULL CONSTRAINT DF_mark_mag_id DEFAULT (NEXT VALUE FOR dbo.mark_mag_id)
        CONSTRAINT PK_mark_mag PRIMARY KEY,
    id_group INT NULL,
    id_student INT NULL,
    id_examination INT NULL,
    id_discipline INT NULL,
    id_estimation INT NULL,
    id_semester INT NULL,
    id_teacher INT NULL,
    p35 NVARCHAR(50) NULL,
    p36 DATETIME NULL,
    id_f_est INT NULL,
    oper NVARCHAR(5) NULL,
    u_date DATETIME NULL,
    OLM_User NVARCHAR(20) NULL,
    OLM_Update DATE NULL
);
GO

-- Creating a selection's rows checks every curriculum row for an existing journal row: one lookup on the whole key.
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'mark_mag_curriculum_row' AND object_id = OBJECT_ID(N'dbo.mark_mag'))
CREATE INDEX mark_mag_curriculum_row ON dbo.mark_mag (id_group, id_semester, id_student, id_discipline, id_examination);
GO

-- Deleted journal rows wait here, under their old ids, until they are restored.
IF OBJECT_ID(N'dbo.del_mark_mag', N'U') IS NULL
CREATE TABLE dbo.del_mark_mag (
    id_mark_mag INT NOT NULL CONSTRAINT PK_del_mark_mag PRIMARY KEY,
    id_group INT NULL,
    id_student INT NULL,
    id_examination INT NULL,
    id_estimation INT NULL,
    id_discipline INT NULL,
    id_semester INT NULL,
    id_teacher INT NULL,
    p35 NVARCHAR(50) NULL,
    p36 DATETIME NULL,
    id_f_est INT NULL,
    oper NVARCHAR(5) NULL,
    u_date DATETIME NULL,
    Check_ch BIT NULL CONSTRAINT DF_del_mark_mag_Check_ch DEFAULT (0),
    del_date DATETIME NULL,
    del_oper NCHAR(10) NULL
);
GO

IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'del_mark_mag_selection' AND object_id = OBJECT_ID(N'dbo.del_mark_mag'))
CREATE INDEX del_mark_mag_selection ON dbo.del_mark_mag (id_group, id_semester, id_student);
GO

-- What a deleted row carries beyond the restore list's columns, so that a restore brings it back whole.
IF OBJECT_ID(N'dbo.srv_deleted_rest', N'U') IS NULL
CREATE TABLE dbo.srv_deleted_rest (
    id_mark_mag INT NOT NULL CONSTRAINT PK_srv_deleted_rest PRIMARY KEY,
    primech NVARCHAR(50) NULL,
    dopusk_izm BIT NULL,
    id_estimation_other INT NULL,
    OLM_User NVARCHAR(20) NULL,
    OLM_Update DATE NULL
);
GO

-- The client's change log; entries are only ever added (see 04_triggers.sql and 06_security.sql).
IF OBJECT_ID(N'dbo.OLM_LOG', N'U') IS NULL
CREATE TABLE dbo.OLM_LOG (
    id_log INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_OLM_LOG PRIMARY KEY,
    [table] NVARCHAR(50) NULL,
    row_id INT NULL,
    descr NVARCHAR(MAX) NULL,
    OLM_User NVARCHAR(20) NULL,
    comp NVARCHAR(128) NULL,
    log_date DATETIME NULL CONSTRAINT DF_OLM_LOG_log_date DEFAULT (GETDATE())
);
GO

-- The server's own tables: nobody but the owner reads or writes them ------------------------------------------

IF OBJECT_ID(N'dbo.srv_config', N'U') IS NULL
CREATE TABLE dbo.srv_config (
    name NVARCHAR(64) COLLATE Cyrillic_General_CI_AS NOT NULL CONSTRAINT PK_srv_config PRIMARY KEY,
    value NVARCHAR(4000) NULL
);
GO

-- The database logins GET_USER hands out, with their passwords: a login's password cannot be read back from
-- SQL Server, so it is kept here, where only the owner (and GET_USER through it) can read it.
IF OBJECT_ID(N'dbo.srv_db_logins', N'U') IS NULL
CREATE TABLE dbo.srv_db_logins (
    name NVARCHAR(128) COLLATE Cyrillic_General_CI_AS NOT NULL CONSTRAINT PK_srv_db_logins PRIMARY KEY,
    password NVARCHAR(128) NOT NULL,
    enabled BIT NOT NULL CONSTRAINT DF_srv_db_logins_enabled DEFAULT (1)
);
GO

-- Sign-in users. Only a salted, iterated verifier of the password digest is kept (see olm_password_hash).
IF OBJECT_ID(N'dbo.srv_users', N'U') IS NULL
CREATE TABLE dbo.srv_users (
    id_login INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_srv_users PRIMARY KEY,
    login NVARCHAR(20) COLLATE Cyrillic_General_CI_AS NOT NULL CONSTRAINT UQ_srv_users_login UNIQUE,
    verifier_salt VARBINARY(16) NOT NULL,
    verifier_rounds INT NOT NULL,
    verifier_hash VARBINARY(32) NOT NULL,
    password_changed DATE NULL,
    blocked_message NVARCHAR(255) NULL,
    db_login NVARCHAR(128) COLLATE Cyrillic_General_CI_AS NOT NULL
);
GO

IF OBJECT_ID(N'dbo.srv_user_groups', N'U') IS NULL
CREATE TABLE dbo.srv_user_groups (
    id_login INT NOT NULL,
    id_group INT NOT NULL,
    o_z BIT NOT NULL CONSTRAINT DF_srv_user_groups_o_z DEFAULT (1),
    CONSTRAINT PK_srv_user_groups PRIMARY KEY (id_login, id_group)
);
GO

IF OBJECT_ID(N'dbo.srv_attempts', N'U') IS NULL
CREATE TABLE dbo.srv_attempts (
    id_attempt INT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_srv_attempts PRIMARY KEY,
    attempt_date DATETIME NULL,
    login NVARCHAR(128) COLLATE Cyrillic_General_CI_AS NULL,
    address NVARCHAR(64) NULL,
    computer NVARCHAR(128) NULL,
    program NVARCHAR(64) NULL,
    success BIT NULL
);
GO

IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'srv_attempts_login' AND object_id = OBJECT_ID(N'dbo.srv_attempts'))
CREATE INDEX srv_attempts_login ON dbo.srv_attempts (login, id_attempt);
GO

-- The server's own record of every change to the journal tables and of every procedure call.
IF OBJECT_ID(N'dbo.srv_audit', N'U') IS NULL
CREATE TABLE dbo.srv_audit (
    id_audit BIGINT IDENTITY(1, 1) NOT NULL CONSTRAINT PK_srv_audit PRIMARY KEY,
    audit_date DATETIME NULL,
    login NVARCHAR(128) NULL,
    action NVARCHAR(16) NULL,
    [table] NVARCHAR(64) NULL,
    row_id INT NULL,
    [column] NVARCHAR(64) NULL,
    old_value NVARCHAR(MAX) NULL,
    new_value NVARCHAR(MAX) NULL
);
GO

IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'srv_audit_row' AND object_id = OBJECT_ID(N'dbo.srv_audit'))
CREATE INDEX srv_audit_row ON dbo.srv_audit (row_id);
GO

-- Settings: the program GET_USER expects (older ones are told to update) and the password's lifetime.
IF NOT EXISTS (SELECT 1 FROM dbo.srv_config WHERE name = N'current_program')
    INSERT INTO dbo.srv_config (name, value) VALUES (N'current_program', N'OLM 16');
IF NOT EXISTS (SELECT 1 FROM dbo.srv_config WHERE name = N'password_max_age_days')
    INSERT INTO dbo.srv_config (name, value) VALUES (N'password_max_age_days', N'90');
GO

SET NOEXEC OFF;
GO
