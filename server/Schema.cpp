// The schema of an OLM database: the journal's relations, the server's own tables, views and triggers.
#include "Schema.h"

#include "Query.h"
#include "SchemaUpgrade.h"
#include "SqlFunctions.h"

#include <sqlite3.h>

namespace olm::server {

namespace {

struct Definition {
    QStringList statements;      // the first layout
    QStringList guardStatements; // what layout 3 adds (built here, where the journal's columns are known)
    QHash<QString, bool> dateColumns;
};

// Column texts. Checks are named so that their failures can be reworded into SQL Server's messages.
QString key(const QString &name)
{
    return name + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
}

QString integer(const QString &name, const QString &extra = {})
{
    return QStringLiteral("%1 INTEGER%2 CONSTRAINT int_%1 CHECK (typeof(%1) IN ('integer', 'null'))")
        .arg(name, extra.isEmpty() ? QString() : QLatin1Char(' ') + extra);
}

QString text(const QString &name, int size, const QString &type = QStringLiteral("NVARCHAR"))
{
    const QString bare = QString(name).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    return QStringLiteral("%1 %2(%3) COLLATE %4 CONSTRAINT len_%5 CHECK (length(%1) <= %3)")
        .arg(name, type)
        .arg(size)
        .arg(QLatin1String(textCollation), bare);
}

QString longText(const QString &name)
{
    return QStringLiteral("%1 NVARCHAR COLLATE %2").arg(name, QLatin1String(textCollation));
}

QString bit(const QString &name, const QString &defaultValue = QStringLiteral("0"))
{
    return QStringLiteral("%1 BIT DEFAULT %2 CONSTRAINT bit_%1 CHECK (%1 IN (0, 1))").arg(name, defaultValue);
}

class Builder {
public:
    QString dateTime(const QString &name, const QString &extra = {}) { return dated(name, false, extra); }
    QString date(const QString &name) { return dated(name, true, {}); }
    void add(const QString &statement) { m_target->append(statement); }
    /// From now on statements go to layout 3's list.
    void startGuards() { m_target = &m_definition.guardStatements; }
    void table(const QString &name, const QStringList &columns)
    {
        for (const QString &column : columns) {
            const QString first = column.section(QLatin1Char(' '), 0, 0);
            if (first != QLatin1String("PRIMARY") && first != QLatin1String("CONSTRAINT"))
                m_columns[name].append(first);
        }
        add(QStringLiteral("CREATE TABLE %1 (\n  %2\n)").arg(name, columns.join(QStringLiteral(",\n  "))));
    }
    Definition take() { return std::move(m_definition); }
    QStringList columns(const QString &table) const { return m_columns.value(table); }

private:
    QString dated(const QString &name, bool dateOnly, const QString &extra)
    {
        m_definition.dateColumns.insert(name.toLower(), dateOnly);
        return QStringLiteral("%1 %2 COLLATE %3%4 CONSTRAINT date_%1 CHECK (%1 IS NULL OR (typeof(%1) = 'text' "
                              "AND %1 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]*' AND datetime(%1) IS NOT NULL))")
            .arg(name, dateOnly ? QStringLiteral("DATE") : QStringLiteral("DATETIME"),
                 QLatin1String(dateCollation), extra.isEmpty() ? QString() : QLatin1Char(' ') + extra);
    }
    Definition m_definition;
    QStringList *m_target = &m_definition.statements;
    QHash<QString, QStringList> m_columns;
};

void addCatalogues(Builder &b)
{
    b.table(QStringLiteral("speciality"), {key(QStringLiteral("id_speciality")), text(QStringLiteral("spec"), 100)});
    b.table(QStringLiteral("[group]"),
            {key(QStringLiteral("id_group")), text(QStringLiteral("p20"), 20), integer(QStringLiteral("id_speciality")),
             bit(QStringLiteral("o_z"), QStringLiteral("1")), integer(QStringLiteral("start_year"))});
    b.table(QStringLiteral("semester"), {key(QStringLiteral("id_semester")), text(QStringLiteral("p43"), 30)});
    b.table(QStringLiteral("group_semester"),
            {integer(QStringLiteral("id_group"), QStringLiteral("NOT NULL")),
             integer(QStringLiteral("id_semester"), QStringLiteral("NOT NULL")), integer(QStringLiteral("id_rate")),
             QStringLiteral("PRIMARY KEY (id_group, id_semester)")});
    b.table(QStringLiteral("g_r_y"),
            {integer(QStringLiteral("id_group"), QStringLiteral("NOT NULL")),
             integer(QStringLiteral("id_rate"), QStringLiteral("NOT NULL")), text(QStringLiteral("p32"), 20),
             QStringLiteral("PRIMARY KEY (id_group, id_rate)")});
    b.table(QStringLiteral("s_fio"), {key(QStringLiteral("id_student")), text(QStringLiteral("s_fio"), 70)});
    b.table(QStringLiteral("group_student"),
            {integer(QStringLiteral("id_group"), QStringLiteral("NOT NULL")),
             integer(QStringLiteral("id_student"), QStringLiteral("NOT NULL")),
             QStringLiteral("PRIMARY KEY (id_group, id_student)")});
    b.table(QStringLiteral("t_fio"), {key(QStringLiteral("id_teacher")), text(QStringLiteral("t_fio"), 60)});
    b.table(QStringLiteral("discipline"), {key(QStringLiteral("id_discipline")), text(QStringLiteral("p34"), 85)});
    b.table(QStringLiteral("examination"), {key(QStringLiteral("id_examination")), text(QStringLiteral("p30"), 15)});
    // A mark may serve several forms of assessment, so the pair is the key.
    b.table(QStringLiteral("est2"),
            {integer(QStringLiteral("id_estimation"), QStringLiteral("NOT NULL")), text(QStringLiteral("p31"), 15),
             integer(QStringLiteral("id_examination"), QStringLiteral("NOT NULL")),
             QStringLiteral("PRIMARY KEY (id_estimation, id_examination)")});
    b.table(QStringLiteral("f_est"), {key(QStringLiteral("id_f_e")), text(QStringLiteral("p109"), 30)});
    b.table(QStringLiteral("curriculum"),
            {integer(QStringLiteral("id_group"), QStringLiteral("NOT NULL")),
             integer(QStringLiteral("id_semester"), QStringLiteral("NOT NULL")),
             integer(QStringLiteral("id_discipline"), QStringLiteral("NOT NULL")),
             integer(QStringLiteral("id_examination"), QStringLiteral("NOT NULL")), integer(QStringLiteral("id_teacher")),
             QStringLiteral("PRIMARY KEY (id_group, id_semester, id_discipline, id_examination)")});
    b.table(QStringLiteral("EstimationOther"),
            {key(QStringLiteral("id_estimation_other")), text(QStringLiteral("Estimation_Other"), 10),
             integer(QStringLiteral("id_ebe_var"))});
    b.table(QStringLiteral("com_sfe"),
            {integer(QStringLiteral("id_ebe_var"), QStringLiteral("NOT NULL")),
             integer(QStringLiteral("id_speciality"), QStringLiteral("NOT NULL")),
             QStringLiteral("PRIMARY KEY (id_ebe_var, id_speciality)")});
    b.table(QStringLiteral("educ_sh"),
            {key(QStringLiteral("id_educ_sh")), integer(QStringLiteral("id_group")), integer(QStringLiteral("id_semester")),
             integer(QStringLiteral("id_discipline")), integer(QStringLiteral("id_examination")),
             integer(QStringLiteral("hours"))});
}

void addJournal(Builder &b)
{
    // Column order is the journal's data field order, so "select *" and the journal procedure agree.
    b.table(QStringLiteral("mark_mag"),
            {text(QStringLiteral("primech"), 50), bit(QStringLiteral("dopusk_izm")),
             integer(QStringLiteral("id_estimation_other")), key(QStringLiteral("id_mark_mag")),
             integer(QStringLiteral("id_group")), integer(QStringLiteral("id_student")),
             integer(QStringLiteral("id_examination")), integer(QStringLiteral("id_discipline")),
             integer(QStringLiteral("id_estimation")), integer(QStringLiteral("id_semester")),
             integer(QStringLiteral("id_teacher")), text(QStringLiteral("p35"), 50), b.dateTime(QStringLiteral("p36")),
             integer(QStringLiteral("id_f_est")), text(QStringLiteral("oper"), 5), b.dateTime(QStringLiteral("u_date")),
             text(QStringLiteral("OLM_User"), 20), b.date(QStringLiteral("OLM_Update"))});
    b.add(QStringLiteral("CREATE INDEX mark_mag_selection ON mark_mag (id_group, id_semester, id_student)"));
    b.table(QStringLiteral("del_mark_mag"),
            {key(QStringLiteral("id_mark_mag")), integer(QStringLiteral("id_group")), integer(QStringLiteral("id_student")),
             integer(QStringLiteral("id_examination")), integer(QStringLiteral("id_estimation")),
             integer(QStringLiteral("id_discipline")), integer(QStringLiteral("id_semester")),
             integer(QStringLiteral("id_teacher")), text(QStringLiteral("p35"), 50), b.dateTime(QStringLiteral("p36")),
             integer(QStringLiteral("id_f_est")), text(QStringLiteral("oper"), 5), b.dateTime(QStringLiteral("u_date")),
             bit(QStringLiteral("Check_ch")), b.dateTime(QStringLiteral("del_date")),
             text(QStringLiteral("del_oper"), 10, QStringLiteral("NCHAR"))});
    b.add(QStringLiteral("CREATE INDEX del_mark_mag_selection ON del_mark_mag (id_group, id_semester, id_student)"));
    // What a deleted row carries beyond the restore list's columns, so that a restore brings it back whole.
    b.table(QStringLiteral("srv_deleted_rest"),
            {QStringLiteral("id_mark_mag INTEGER PRIMARY KEY"), text(QStringLiteral("primech"), 50),
             bit(QStringLiteral("dopusk_izm")), integer(QStringLiteral("id_estimation_other")),
             text(QStringLiteral("OLM_User"), 20), b.date(QStringLiteral("OLM_Update"))});
    b.table(QStringLiteral("OLM_LOG"),
            {key(QStringLiteral("id_log")), text(QStringLiteral("[table]"), 50), integer(QStringLiteral("row_id")),
             longText(QStringLiteral("descr")), text(QStringLiteral("OLM_User"), 20), text(QStringLiteral("comp"), 128),
             b.dateTime(QStringLiteral("log_date"),
                        QStringLiteral("DEFAULT (strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime'))"))});
}

void addServerTables(Builder &b)
{
    b.table(QStringLiteral("srv_config"), {QStringLiteral("name NVARCHAR(64) PRIMARY KEY COLLATE OLM_CI"),
                                           QStringLiteral("value NVARCHAR")});
    b.table(QStringLiteral("srv_db_logins"),
            {QStringLiteral("name NVARCHAR(128) PRIMARY KEY COLLATE OLM_CI"), QStringLiteral("password NVARCHAR(128) NOT NULL"),
             bit(QStringLiteral("enabled"), QStringLiteral("1"))});
    b.table(QStringLiteral("srv_rights"),
            {QStringLiteral("login NVARCHAR(128) NOT NULL COLLATE OLM_CI"),
             QStringLiteral("object NVARCHAR(128) NOT NULL COLLATE OLM_CI"),
             QStringLiteral("action NVARCHAR(16) NOT NULL COLLATE OLM_CI"), QStringLiteral("PRIMARY KEY (login, object, action)")});
    b.table(QStringLiteral("srv_users"),
            {key(QStringLiteral("id_login")), QStringLiteral("login NVARCHAR(20) NOT NULL UNIQUE COLLATE OLM_CI"),
             QStringLiteral("verifier NVARCHAR(255) NOT NULL"), b.date(QStringLiteral("password_changed")),
             QStringLiteral("blocked_message NVARCHAR(255)"), QStringLiteral("db_login NVARCHAR(128) NOT NULL COLLATE OLM_CI")});
    b.table(QStringLiteral("srv_user_groups"),
            {integer(QStringLiteral("id_login"), QStringLiteral("NOT NULL")),
             integer(QStringLiteral("id_group"), QStringLiteral("NOT NULL")), bit(QStringLiteral("o_z"), QStringLiteral("1")),
             QStringLiteral("PRIMARY KEY (id_login, id_group)")});
    b.table(QStringLiteral("srv_attempts"),
            {key(QStringLiteral("id_attempt")), b.dateTime(QStringLiteral("attempt_date")),
             QStringLiteral("login NVARCHAR(128)"), QStringLiteral("address NVARCHAR(64)"),
             QStringLiteral("computer NVARCHAR(128)"), QStringLiteral("program NVARCHAR(64)"), bit(QStringLiteral("success"))});
    b.table(QStringLiteral("srv_trace"),
            {key(QStringLiteral("id_trace")), b.dateTime(QStringLiteral("trace_date")), QStringLiteral("login NVARCHAR(128)"),
             QStringLiteral("statement NVARCHAR")});
}

void addViews(Builder &b)
{
    b.add(QStringLiteral("CREATE VIEW g_sem AS SELECT gs.id_group, gs.id_semester, s.p43, gs.id_rate "
                         "FROM group_semester gs JOIN semester s ON s.id_semester = gs.id_semester"));
    b.add(QStringLiteral("CREATE VIEW s_g AS SELECT gs.id_group, gs.id_student, f.s_fio "
                         "FROM group_student gs JOIN s_fio f ON f.id_student = gs.id_student"));
    b.add(QStringLiteral("CREATE VIEW gr_sem_disc_exam AS SELECT c.id_group, c.id_semester, c.id_discipline, "
                         "c.id_examination, d.p34, e.p30, c.id_teacher FROM curriculum c "
                         "JOIN discipline d ON d.id_discipline = c.id_discipline "
                         "JOIN examination e ON e.id_examination = c.id_examination"));
    b.add(QStringLiteral("CREATE VIEW g_s AS SELECT g.id_group, sp.spec, g.id_speciality FROM [group] g "
                         "LEFT JOIN speciality sp ON sp.id_speciality = g.id_speciality"));
    b.add(QStringLiteral("CREATE VIEW group_form AS SELECT ug.id_group, g.p20, ug.o_z, ug.id_login "
                         "FROM srv_user_groups ug JOIN [group] g ON g.id_group = ug.id_group"));
}

// The server's own record of every change to the journal and of every procedure call.
void addAuditTable(Builder &b)
{
    b.table(QStringLiteral("srv_audit"),
            {key(QStringLiteral("id_audit")), b.dateTime(QStringLiteral("audit_date")), QStringLiteral("login NVARCHAR(128)"),
             QStringLiteral("action NVARCHAR(16)"), QStringLiteral("[table] NVARCHAR(64)"), QStringLiteral("row_id INTEGER"),
             QStringLiteral("[column] NVARCHAR(64)"), QStringLiteral("old_value NVARCHAR"), QStringLiteral("new_value NVARCHAR")});
    b.add(QStringLiteral("CREATE INDEX srv_audit_row ON srv_audit (row_id)"));
}

// Guards that hold whoever sends the statement, the server's own procedures included: a user changes journal
// rows of their own groups only, a client's insert gets the server's stamp, and the log keeps every entry.
void addGuards(Builder &b)
{
    const QString refuse = QStringLiteral("BEGIN SELECT RAISE(ABORT, '%1'); END");
    const QString foreign = refuse.arg(QStringLiteral("The row''s group is not one of your groups; nothing was changed."));
    for (const QString &table : {QStringLiteral("mark_mag"), QStringLiteral("del_mark_mag")}) {
        b.add(QStringLiteral("CREATE TRIGGER %1_scope_insert BEFORE INSERT ON %1 WHEN NOT olm_my_group(NEW.id_group) %2")
                  .arg(table, foreign));
        b.add(QStringLiteral("CREATE TRIGGER %1_scope_update BEFORE UPDATE ON %1 "
                             "WHEN NOT olm_my_group(OLD.id_group) OR NOT olm_my_group(NEW.id_group) %2")
                  .arg(table, foreign));
        b.add(QStringLiteral("CREATE TRIGGER %1_scope_delete BEFORE DELETE ON %1 WHEN NOT olm_my_group(OLD.id_group) %2")
                  .arg(table, foreign));
    }
    b.add(QStringLiteral("CREATE TRIGGER mark_mag_stamp_new AFTER INSERT ON mark_mag WHEN NOT olm_owner() BEGIN "
                         "UPDATE mark_mag SET OLM_User = substr(olm_login(), 1, 20), OLM_Update = olm_today() "
                         "WHERE id_mark_mag = NEW.id_mark_mag; END"));
    const QString kept = refuse.arg(QStringLiteral("The table ''OLM_LOG'' only takes new entries; nothing was changed."));
    b.add(QStringLiteral("CREATE TRIGGER OLM_LOG_keep_update BEFORE UPDATE ON OLM_LOG WHEN NOT olm_owner() %1").arg(kept));
    b.add(QStringLiteral("CREATE TRIGGER OLM_LOG_keep_delete BEFORE DELETE ON OLM_LOG WHEN NOT olm_owner() %1").arg(kept));
    // A REPLACE or upsert naming an existing entry's id would overwrite it.
    b.add(QStringLiteral("CREATE TRIGGER OLM_LOG_keep_entries BEFORE INSERT ON OLM_LOG WHEN NOT olm_owner() "
                         "AND EXISTS (SELECT 1 FROM OLM_LOG WHERE id_log = NEW.id_log) %1").arg(kept));
}

// Every insert, update and delete of the journal tables leaves one audit row per column it sets, changes or
// removes, whoever sends it and however: the triggers run inside the statement itself.
void addAudit(Builder &b)
{
    const QString insert = QStringLiteral("INSERT INTO srv_audit (audit_date, login, action, [table], row_id, [column], "
                                          "old_value, new_value) SELECT olm_now(), olm_login(), '%1', '%2', %3, c, o, n "
                                          "FROM (%4) WHERE %5; ");
    for (const QString &table : {QStringLiteral("mark_mag"), QStringLiteral("del_mark_mag")}) {
        QStringList inserted, updated, deleted;
        for (const QString &column : b.columns(table)) {
            const QString name = QString(column).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
            inserted.append(QStringLiteral("SELECT '%1' AS c, NULL AS o, NEW.%2 AS n").arg(name, column));
            updated.append(QStringLiteral("SELECT '%1' AS c, OLD.%2 AS o, NEW.%2 AS n").arg(name, column));
            deleted.append(QStringLiteral("SELECT '%1' AS c, OLD.%2 AS o, NULL AS n").arg(name, column));
        }
        const QString unionAll = QStringLiteral(" UNION ALL ");
        // quote() compares as written: the text collation would hide a change of case or of trailing blanks.
        b.add(QStringLiteral("CREATE TRIGGER %1_audit_insert AFTER INSERT ON %1 BEGIN %2END")
                  .arg(table, insert.arg(QStringLiteral("INSERT"), table, QStringLiteral("NEW.id_mark_mag"),
                                         inserted.join(unionAll), QStringLiteral("n IS NOT NULL"))));
        b.add(QStringLiteral("CREATE TRIGGER %1_audit_update AFTER UPDATE ON %1 BEGIN %2END")
                  .arg(table, insert.arg(QStringLiteral("UPDATE"), table, QStringLiteral("NEW.id_mark_mag"),
                                         updated.join(unionAll), QStringLiteral("quote(o) IS NOT quote(n)"))));
        b.add(QStringLiteral("CREATE TRIGGER %1_audit_delete AFTER DELETE ON %1 BEGIN %2END")
                  .arg(table, insert.arg(QStringLiteral("DELETE"), table, QStringLiteral("OLD.id_mark_mag"),
                                         deleted.join(unionAll), QStringLiteral("o IS NOT NULL"))));
    }
    const QString kept = QStringLiteral("BEGIN SELECT RAISE(ABORT, 'The table ''srv_audit'' only takes new entries; "
                                        "nothing was changed.'); END");
    b.add(QStringLiteral("CREATE TRIGGER srv_audit_keep_update BEFORE UPDATE ON srv_audit WHEN NOT olm_owner() %1").arg(kept));
    b.add(QStringLiteral("CREATE TRIGGER srv_audit_keep_delete BEFORE DELETE ON srv_audit WHEN NOT olm_owner() %1").arg(kept));
    b.add(QStringLiteral("CREATE TRIGGER srv_audit_keep_entries BEFORE INSERT ON srv_audit WHEN NOT olm_owner() "
                         "AND EXISTS (SELECT 1 FROM srv_audit WHERE id_audit = NEW.id_audit) %1").arg(kept));
}

void addTriggers(Builder &b)
{
    // Who changed a journal row last, and when: written by the server, never by the client. The stamp
    // columns are left out of the list, so the stamp itself (or an administrator's correction) fires nothing.
    b.add(QStringLiteral(
        "CREATE TRIGGER mark_mag_stamp AFTER UPDATE OF primech, dopusk_izm, id_estimation_other, id_mark_mag, "
        "id_group, id_student, id_examination, id_discipline, id_estimation, id_semester, id_teacher, p35, p36, "
        "id_f_est, oper, u_date ON mark_mag BEGIN "
        "UPDATE mark_mag SET OLM_User = substr(olm_login(), 1, 20), OLM_Update = olm_today() "
        "WHERE id_mark_mag = NEW.id_mark_mag; END"));
    // Every deleted journal row waits in del_mark_mag until it is restored.
    b.add(QStringLiteral(
        "CREATE TRIGGER mark_mag_archive AFTER DELETE ON mark_mag BEGIN "
        "INSERT OR REPLACE INTO del_mark_mag (id_mark_mag, id_group, id_student, id_examination, id_estimation, "
        "id_discipline, id_semester, id_teacher, p35, p36, id_f_est, oper, u_date, Check_ch, del_date, del_oper) "
        "VALUES (OLD.id_mark_mag, OLD.id_group, OLD.id_student, OLD.id_examination, OLD.id_estimation, "
        "OLD.id_discipline, OLD.id_semester, OLD.id_teacher, OLD.p35, OLD.p36, OLD.id_f_est, OLD.oper, OLD.u_date, "
        "0, olm_now(), substr(olm_login(), 1, 10)); "
        "INSERT OR REPLACE INTO srv_deleted_rest (id_mark_mag, primech, dopusk_izm, id_estimation_other, OLM_User, "
        "OLM_Update) VALUES (OLD.id_mark_mag, OLD.primech, OLD.dopusk_izm, OLD.id_estimation_other, OLD.OLM_User, "
        "OLD.OLM_Update); END"));
    b.add(QStringLiteral("CREATE TRIGGER del_mark_mag_forget AFTER DELETE ON del_mark_mag BEGIN "
                         "DELETE FROM srv_deleted_rest WHERE id_mark_mag = OLD.id_mark_mag; END"));
}

const Definition &definition()
{
    static const Definition built = [] {
        Builder b;
        addCatalogues(b);
        addJournal(b);
        addServerTables(b);
        addViews(b);
        addTriggers(b);
        b.startGuards();
        addAuditTable(b);
        addGuards(b);
        addAudit(b);
        return b.take();
    }();
    return built;
}

bool run(sqlite3 *db, const QString &sql, const QVariantList &values, QString *error)
{
    Query query(db, sql);
    if (query.bind(values) && query.exec())
        return true;
    *error = query.errorMessage() + QStringLiteral(" (") + sql.left(60) + QStringLiteral(")");
    return false;
}

} // namespace

QStringList schemaStatements()
{
    return definition().statements;
}

QStringList guardStatements()
{
    return definition().guardStatements;
}

const QHash<QString, bool> &dateColumns()
{
    return definition().dateColumns;
}

bool createSchema(sqlite3 *db, QString *error)
{
    QStringList statements = schemaStatements();
    for (int step = 1; step < schemaVersion; ++step)
        statements << upgradeStatements(step);
    statements << QStringLiteral("PRAGMA application_id = %1").arg(applicationId)
               << QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion);
    for (const QString &statement : std::as_const(statements)) {
        if (!run(db, statement, {}, error))
            return false;
    }
    const QList<QVariantList> rows{
        {QStringLiteral("INSERT INTO srv_config (name, value) VALUES (?, ?)"), QStringLiteral("current_program"),
         QStringLiteral("OLM 16")},
        {QStringLiteral("INSERT INTO srv_config (name, value) VALUES (?, ?)"), QStringLiteral("trace"), QStringLiteral("0")},
        {QStringLiteral("INSERT INTO srv_config (name, value) VALUES (?, ?)"), QStringLiteral("password_max_age_days"),
         QStringLiteral("90")},
        {QStringLiteral("INSERT INTO srv_db_logins (name, password) VALUES (?, ?)"), QLatin1String(bootstrapLogin),
         QLatin1String(bootstrapPassword)},
        {QStringLiteral("INSERT INTO srv_rights (login, object, action) VALUES (?, ?, ?)"), QLatin1String(bootstrapLogin),
         QStringLiteral("GET_USER"), QStringLiteral("EXECUTE")},
    };
    for (const QVariantList &row : rows) {
        if (!run(db, row.first().toString(), row.mid(1), error))
            return false;
    }
    return true;
}

} // namespace olm::server
