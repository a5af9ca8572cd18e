// The backend contract: the same cases through the dataset layer on every backend that can run here, the
// embedded server on a copy of the demo database and PostgreSQL through ODBC (a throwaway cluster that
// scripts/test.sh starts and names in OLM_TEST_PG_*); and the T-SQL front's PostgreSQL dialect, down to every
// statement text of the client prepared on PostgreSQL.
#include "tests/support/ClientStatements.h"
#include "tests/support/TestMain.h"
#include "tests/tst_dataset_fixture.h"

#include "app/SignIn.h"
#include "backends/odbc/PostgresStatements.h"
#include "journal/GridRules.h"
#include "server/tsql/TsqlFront.h"
#include "server/tsql/TsqlLexer.h"

#include "toolkit/data/ADODB.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/data/WriteBack.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

const QString cyrillic = QStringLiteral("Зачёт «сдан», ё");
const QString quoted = QStringLiteral("O'Brien's \"mark\"; --");
const QDateTime examined(QDate(2026, 1, 31), QTime(13, 45, 10));
const QDate updated(2026, 2, 28);
// Rows of the suite are told apart by a semester no journal uses.
constexpr int suiteSemester = 990;
constexpr int suiteGroup = 1;

/// What the embedded server and a PostgreSQL database both hold for the suite: the contract's journal table
/// (the columns the cases touch), procedures as the PostgreSQL deployment makes them (a function with a
/// return value, one whose rows carry a column the table lacks), and a statement that runs for seconds.
const char *const postgresSchema[] = {
    "DROP TABLE IF EXISTS mark_mag CASCADE",
    "CREATE TABLE mark_mag (primech varchar(50), dopusk_izm smallint, id_estimation_other int, "
    "id_mark_mag serial PRIMARY KEY, id_group int, id_student int, id_examination int, id_discipline int, "
    "id_estimation int, id_semester int, id_teacher int, p35 varchar(50), p36 timestamp, id_f_est int, "
    "oper varchar(5), u_date timestamp, olm_user varchar(20), olm_update date)",
    "DROP FUNCTION IF EXISTS insertinto_sort_mark_mag_2(int, int, int, int)",
    "CREATE FUNCTION insertinto_sort_mark_mag_2(g int, s int, st int, mode int) RETURNS TABLE(\"RETURN_VALUE\" integer) "
    "LANGUAGE plpgsql AS $$ BEGIN IF mode IS NULL OR mode NOT IN (0, 1) THEN RAISE EXCEPTION "
    "'The fourth argument of InsertInto_SORT_MARK_MAG_2 must be 0 or 1.'; END IF; RETURN QUERY SELECT 0; END $$",
    "CREATE OR REPLACE FUNCTION sort_2_mark_mag(g int, s int, st int) RETURNS TABLE(id_mark_mag int, "
    "primech varchar, p35 varchar, olm_update date, s_fio text) LANGUAGE sql AS $$ SELECT m.id_mark_mag, "
    "m.primech, m.p35, m.olm_update, 'lookup'::text FROM mark_mag m WHERE m.id_group = g AND m.id_semester = s "
    "AND m.id_student = st ORDER BY m.id_mark_mag $$",
    "CREATE OR REPLACE FUNCTION olm_contract_sleep(seconds int) RETURNS int LANGUAGE plpgsql AS "
    "$$ BEGIN PERFORM pg_sleep(seconds); RETURN seconds; END $$",
};

/// One server the cases run on.
class ContractServer {
public:
    virtual ~ContractServer() = default;
    virtual QString error() const = 0;
    /// Connection strings of a login that may read and write the journal table, and of a wrong password.
    virtual QString connection() const = 0;
    virtual QString wrongPassword() const = 0;
    virtual QString login() const = 0;
    /// Runs a statement with every right, behind the client's back; false with *error set on failure.
    virtual bool exec(const QString &statement, const QVariantList &params, QString *error) = 0;
    /// A statement that runs for several seconds.
    virtual QString slowStatement() const = 0;
    /// A student the procedure accepts in the suite's group.
    virtual int student() = 0;
};

class EmbeddedServer : public ContractServer {
public:
    QString error() const override { return m_database.error(); }
    QString connection() const override { return DataSetFixture::Database::editorConnection(); }
    QString wrongPassword() const override
    {
        DataSetFixture::DatabaseLogin wrong = DataSetFixture::Template::instance().editor();
        wrong.password += QLatin1String("x");
        return DataSetFixture::Database::connectionString(wrong);
    }
    QString login() const override { return DataSetFixture::Template::instance().editor().user; }
    bool exec(const QString &statement, const QVariantList &params, QString *error) override
    {
        const olm::server::Outcome outcome = m_database.administrator()->execute(statement, params);
        if (!outcome.ok && error)
            *error = outcome.error;
        return outcome.ok;
    }
    // Four copies of the journal joined: a billion rows to count, minutes of work.
    QString slowStatement() const override
    {
        return QStringLiteral("SELECT COUNT(*) FROM mark_mag a, mark_mag b, mark_mag c, mark_mag d");
    }
    int student() override
    {
        return m_database.scalar(QStringLiteral("SELECT TOP 1 id_student FROM s_g WHERE id_group = ?"), {suiteGroup})
            .toInt();
    }

private:
    DataSetFixture::Database m_database;
};

class PostgresServer : public ContractServer {
public:
    PostgresServer()
    {
        m_admin.setConnectionString(rawConnection(variable("OLM_TEST_PG_DATABASE")));
        try {
            m_admin.Open();
            for (const char *statement : postgresSchema)
                m_admin.Execute(QString::fromUtf8(statement));
        } catch (const EDatabaseError &e) {
            m_error = e.Message;
        }
    }
    QString error() const override { return m_error; }
    static QString variable(const char *name) { return qEnvironmentVariable(name); }
    /// The client's connection: a "pg:" Data Source, so that statements are translated from T-SQL.
    static QString connectionFor(const QString &password)
    {
        return clientConnectionString(variable("OLM_TEST_PG_USER"), password, variable("OLM_TEST_PG_DATABASE"),
                                      QLatin1String("pg:") + variable("OLM_TEST_PG_HOST") + QLatin1Char(',')
                                          + variable("OLM_TEST_PG_PORT"))
            + QLatin1String(";Driver=") + variable("OLM_TEST_PG_DRIVER");
    }
    /// The administrator's: the driver named without "pg:", so that statements reach the server as written.
    static QString rawConnection(const QString &database)
    {
        return clientConnectionString(variable("OLM_TEST_PG_USER"), variable("OLM_TEST_PG_PASSWORD"), database,
                                      variable("OLM_TEST_PG_HOST") + QLatin1Char(',') + variable("OLM_TEST_PG_PORT"))
            + QLatin1String(";Driver=") + variable("OLM_TEST_PG_DRIVER");
    }
    QString connection() const override { return connectionFor(variable("OLM_TEST_PG_PASSWORD")); }
    QString wrongPassword() const override { return connectionFor(variable("OLM_TEST_PG_PASSWORD") + QLatin1String("x")); }
    QString login() const override { return variable("OLM_TEST_PG_USER"); }
    bool exec(const QString &statement, const QVariantList &params, QString *error) override
    {
        const olm::dataset::Outcome outcome = m_admin.backend().execute(statement, params, 30);
        if (!outcome.ok && error)
            *error = outcome.error;
        return outcome.ok;
    }
    QString slowStatement() const override { return QStringLiteral("SELECT olm_contract_sleep(6)"); }
    int student() override { return 1; }

private:
    TADOConnection m_admin;
    QString m_error;
};

bool postgresConfigured()
{
    return !qEnvironmentVariableIsEmpty("OLM_TEST_PG_PORT");
}

std::unique_ptr<ContractServer> openServer(const QString &kind)
{
    if (kind == QLatin1String("postgresql"))
        return std::make_unique<PostgresServer>();
    return std::make_unique<EmbeddedServer>();
}

/// Prints the server's text when a dataset call fails.
#define CONTRACT_VERIFY(statement)                                                                                     \
    do {                                                                                                               \
        try {                                                                                                          \
            statement;                                                                                                 \
        } catch (const EDatabaseError &e) {                                                                            \
            QFAIL(qPrintable(QStringLiteral(#statement ": ") + e.Message));                                            \
        }                                                                                                              \
    } while (false)

/// The message of the EDatabaseError the statement raises; a failure when it raises none.
#define CONTRACT_ERROR(statement, message)                                                                             \
    do {                                                                                                               \
        try {                                                                                                          \
            statement;                                                                                                 \
            QFAIL(#statement " raised nothing");                                                                       \
        } catch (const EDatabaseError &e) {                                                                            \
            message = e.Message;                                                                                       \
        }                                                                                                              \
    } while (false)

/// A driver's tags ("[unixODBC]", "[FreeTDS][SQL Server]") never reach the user.
void verifyServerText(const QString &message)
{
    QVERIFY2(!message.trimmed().isEmpty(), "empty error text");
    QVERIFY2(!message.startsWith(QLatin1Char('[')), qPrintable(message));
    for (const char *tag : {"[unixODBC]", "[FreeTDS]", "[SQL Server]", "[Microsoft]", "QODBC"})
        QVERIFY2(!message.contains(QLatin1String(tag)), qPrintable(message));
}


/// The client's relations and procedures as the PostgreSQL deployment names them, with the columns and
/// parameters its statement texts use: enough to prepare them where no deployment's template is loaded.
const char *const clientSchema[] = {
    "CREATE TABLE \"group\" (id_group int, p20 varchar(100))",
    "CREATE TABLE group_form (id_group int, p20 varchar(100), o_z int, id_login int)",
    "CREATE TABLE g_sem (id_group int, id_semester int, p43 varchar(50), id_rate int)",
    "CREATE TABLE s_g (id_group int, id_student int, s_fio varchar(100))",
    "CREATE TABLE s_fio (id_student int, s_fio varchar(100))",
    "CREATE TABLE t_fio (id_teacher int, t_fio varchar(100))",
    "CREATE TABLE est2 (id_estimation int, p31 varchar(50), id_examination int)",
    "CREATE TABLE semester (id_semester int, p43 varchar(50))",
    "CREATE TABLE f_est (id_f_e int, p109 varchar(50))",
    "CREATE TABLE discipline (id_discipline int, p34 varchar(100))",
    "CREATE TABLE examination (id_examination int, p30 varchar(50))",
    "CREATE TABLE gr_sem_disc_exam (id_group int, id_semester int, id_discipline int, id_examination int, "
    "p34 varchar(100), p30 varchar(50))",
    "CREATE TABLE g_s (id_group int, spec varchar(100), id_speciality int)",
    "CREATE TABLE g_r_y (id_group int, id_rate int, p32 int)",
    "CREATE TABLE estimationother (id_estimation_other int, estimation_other varchar(50), id_ebe_var int)",
    "CREATE TABLE com_sfe (id_ebe_var int, id_speciality int)",
    "CREATE TABLE educ_sh (id_educ_sh int)",
    "CREATE TABLE mark_mag (primech varchar(50), dopusk_izm boolean, id_estimation_other int, "
    "id_mark_mag serial PRIMARY KEY, id_group int, id_student int, id_examination int, id_discipline int, "
    "id_estimation int, id_semester int, id_teacher int, p35 varchar(50), p36 timestamp, id_f_est int, "
    "oper varchar(5), u_date timestamp, olm_user varchar(20), olm_update date)",
    "CREATE TABLE del_mark_mag (id_mark_mag int, id_group int, id_student int, id_examination int, "
    "id_estimation int, id_discipline int, id_semester int, id_teacher int, p35 varchar(50), p36 timestamp, "
    "id_f_est int, oper varchar(5), u_date timestamp, check_ch boolean, del_date timestamp, del_oper char(10))",
    "CREATE TABLE olm_log (\"table\" varchar(50), row_id int, descr varchar(4000), olm_user varchar(20), "
    "comp varchar(100))",
    "CREATE FUNCTION get_user(login text, password text, new_password text, program text, address text, "
    "computer text, login_again text, flag text, new_password_length text) RETURNS TABLE(db_login text, "
    "db_password text, id_login int, days_left int, message text, update_flag int) LANGUAGE sql AS "
    "$$ SELECT NULL::text, NULL::text, 0, 0, NULL::text, 0 WHERE false $$",
    "CREATE FUNCTION sort_2_mark_mag(g int, s int, st int) RETURNS SETOF mark_mag LANGUAGE sql AS "
    "$$ SELECT * FROM mark_mag WHERE id_group = g AND id_semester = s AND id_student = st $$",
    "CREATE FUNCTION insertinto_sort_mark_mag_2(g int, s int, st int, mode int) RETURNS TABLE(\"RETURN_VALUE\" "
    "integer) LANGUAGE sql AS $$ SELECT 0 $$",
    "CREATE FUNCTION del_from_mark_mag(id_mark_mag text) RETURNS TABLE(\"RETURN_VALUE\" integer) LANGUAGE sql "
    "AS $$ SELECT 0 $$",
    "CREATE FUNCTION ctrl_z_mark_mag(g int, s int) RETURNS TABLE(\"RETURN_VALUE\" integer) LANGUAGE sql AS "
    "$$ SELECT 0 $$",
    "CREATE FUNCTION row_history(id_mark_mag int) RETURNS TABLE(source text, id_entry int, change_date timestamp, "
    "login text, comp text, field text, old_value text, new_value text, descr text) LANGUAGE sql AS "
    "$$ SELECT NULL::text, 0, NULL::timestamp, NULL::text, NULL::text, NULL::text, NULL::text, NULL::text, "
    "NULL::text WHERE false $$",
};

/// Whole statements as the client composes them from the pieces its sources hold, and the write-back's and
/// the backend's own statements (names quoted as the ODBC backend quotes them for PostgreSQL).
QStringList composedClientTexts()
{
    return {
        getUserStatement(QStringLiteral("O'Brien"), QStringLiteral("ab12"), newPasswordArgument(QStringLiteral("y")),
                         QStringLiteral("10.0.0.7"), QStringLiteral("ПК'1")),
        getUserStatement(QStringLiteral("ivanov"), QStringLiteral("ab12"), newPasswordArgument(QString()),
                         QStringLiteral("10.0.0.7"), QStringLiteral("PC")),
        JournalRules::markListText(2),
        *JournalRules::deletedRowsText(1, 2, 3),
        QStringLiteral("SELECT EstimationOther.* \nFROM EstimationOther, com_sfe\nWHERE EstimationOther.id_ebe_var = "
                       "com_sfe.id_ebe_var AND\n             com_sfe.id_speciality=?"),
        QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 1,2,3,1"),
        QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES('mark_mag', 5, "
                       "'Запись с уникальным номером - ''5'' была удалена - x.', 'ivanov', 'PC\\10.0.0.7')"),
        QStringLiteral("select * from semester"),
        QStringLiteral("select * from examination"),
        QStringLiteral("UPDATE \"mark_mag\" SET \"primech\" = ?, \"p36\" = ? WHERE \"id_mark_mag\" = ? AND \"primech\" = ? "
                       "AND \"p36\" IS NULL"),
        QStringLiteral("DELETE FROM \"del_mark_mag\" WHERE \"id_mark_mag\" = ? AND \"Check_ch\" = ?"),
        QStringLiteral("INSERT INTO \"mark_mag\" (\"id_group\", \"OLM_Update\") VALUES (?, ?)"),
        QStringLiteral("SELECT TOP 1 \"id_mark_mag\", \"primech\" FROM \"mark_mag\" WHERE \"id_group\" = ? ORDER BY "
                       "\"id_mark_mag\" DESC"),
        QStringLiteral("SELECT * FROM \"mark_mag\" WHERE 1 = 0"),
    };
}

/// PostgreSQL's own markers ($1, $2...) for the '?' of a translated text, as PREPARE wants them.
QString numberedMarkers(const QString &sql)
{
    QString error;
    const auto tokens = olm::tsql::tokenize(sql, &error);
    if (!tokens)
        return sql;
    QString result;
    int number = 0;
    for (const olm::tsql::Token &token : *tokens)
        result += token.kind == olm::tsql::TokenKind::Parameter && token.text == QLatin1String("?")
            ? QStringLiteral("$%1").arg(++number)
            : token.text;
    return result;
}

} // namespace

class TestBackendContract : public QObject {
    Q_OBJECT

    std::unique_ptr<ContractServer> m_server;
    std::unique_ptr<TADOConnection> m_connection;

    void addServers()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("embedded") << QStringLiteral("embedded");
        if (postgresConfigured())
            QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }

    /// The server of the current row with the suite's rows in place, and a client connection to it.
    bool prepare()
    {
        QFETCH(QString, kind);
        m_connection.reset();
        m_server = openServer(kind);
        if (!m_server->error().isEmpty()) {
            qWarning("%s: %s", qPrintable(kind), qPrintable(m_server->error()));
            return false;
        }
        QString error;
        const QString insert = QStringLiteral(
            "INSERT INTO mark_mag (primech, id_group, id_student, id_semester, p35, p36, OLM_Update) "
            "VALUES (?, ?, ?, ?, ?, ?, ?)");
        if (!m_server->exec(QStringLiteral("DELETE FROM mark_mag WHERE id_semester = ?"), {suiteSemester}, &error)
            || !m_server->exec(insert, {cyrillic, suiteGroup, 1, suiteSemester, quoted, examined, updated}, &error)
            || !m_server->exec(insert,
                               {QVariant(QMetaType::fromType<QString>()), suiteGroup, 2, suiteSemester,
                                QVariant(QMetaType::fromType<QString>()), QVariant(QMetaType::fromType<QDateTime>()),
                                QVariant(QMetaType::fromType<QDate>())},
                               &error)) {
            qWarning("%s: %s", qPrintable(kind), qPrintable(error));
            return false;
        }
        m_connection = std::make_unique<TADOConnection>();
        m_connection->setConnectionString(m_server->connection());
        return true;
    }

    std::unique_ptr<TADOQuery> query(const QString &text)
    {
        auto q = std::make_unique<TADOQuery>();
        q->setConnection(m_connection.get());
        q->setSQLText(text);
        return q;
    }

private slots:
    void initTestCase()
    {
        if (!postgresConfigured())
            std::fprintf(stderr, "\n*** SKIP: no PostgreSQL cluster (OLM_TEST_PG_* unset): the backend contract runs on "
                                 "the embedded server only; scripts/test.sh starts one. ***\n\n");
    }

    void cleanup()
    {
        m_connection.reset();
        m_server.reset();
    }

    void connects_data() { addServers(); }
    void connects()
    {
        QVERIFY(prepare());
        CONTRACT_VERIFY(m_connection->Open());
        QVERIFY(m_connection->Connected());

        TADOConnection wrong;
        wrong.setConnectionString(m_server->wrongPassword());
        QString message;
        CONTRACT_ERROR(wrong.Open(), message);
        QVERIFY(!wrong.Connected());
        verifyServerText(message);
        QVERIFY2(message.contains(m_server->login()), qPrintable(message));
    }

    // Bound parameters select the rows; NULLs, dates, date-times, Cyrillic and quotes come back as stored.
    void readsValues_data() { addServers(); }
    void readsValues()
    {
        QVERIFY(prepare());
        auto q = query(QStringLiteral("SELECT id_mark_mag, primech, p35, p36, OLM_Update FROM mark_mag "
                                      "WHERE id_semester = :semester AND p35 = :p35"));
        q->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        q->Parameters()->ParamByName(QStringLiteral("p35"))->Value = quoted;
        CONTRACT_VERIFY(q->Open());
        QCOMPARE(q->RecordCount(), 1);
        QCOMPARE(q->FieldByName(QStringLiteral("primech"))->AsString(), cyrillic);
        QCOMPARE(q->FieldByName(QStringLiteral("p35"))->AsString(), quoted);
        QCOMPARE(q->FieldByName(QStringLiteral("p36"))->AsDateTime(), examined);
        QCOMPARE(q->FieldByName(QStringLiteral("p36"))->DataType(), ftDateTime);
        QCOMPARE(q->FieldByName(QStringLiteral("OLM_Update"))->DataType(), ftDate);
        QCOMPARE(q->FieldByName(QStringLiteral("OLM_Update"))->Value().toDate(), updated);

        auto byText = query(QStringLiteral("SELECT COUNT(*) AS n FROM mark_mag WHERE primech = :text AND p36 = :at "
                                           "AND OLM_Update = :day"));
        byText->Parameters()->ParamByName(QStringLiteral("text"))->Value = cyrillic;
        byText->Parameters()->ParamByName(QStringLiteral("at"))->Value = examined;
        byText->Parameters()->ParamByName(QStringLiteral("day"))->Value = updated;
        CONTRACT_VERIFY(byText->Open());
        QCOMPARE(byText->FieldByName(QStringLiteral("n"))->AsInteger(), 1);

        auto nulls = query(QStringLiteral("SELECT primech, p35, p36, OLM_Update FROM mark_mag "
                                          "WHERE id_semester = :semester AND p35 IS NULL"));
        nulls->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        CONTRACT_VERIFY(nulls->Open());
        QCOMPARE(nulls->RecordCount(), 1);
        for (const char *field : {"primech", "p35", "p36", "OLM_Update"})
            QVERIFY2(nulls->FieldByName(QLatin1String(field))->IsNull(), field);
    }

    // A procedure takes positional arguments and gives its return value; it leaves nothing behind on the
    // connection, so the row counts of later statements stay exact.
    void callsProcedures_data() { addServers(); }
    void callsProcedures()
    {
        QVERIFY(prepare());
        TADOStoredProc proc;
        proc.setConnection(m_connection.get());
        proc.setProcedureName(QStringLiteral("InsertInto_SORT_MARK_MAG_2;1"));
        TParameters &p = *proc.Parameters();
        p.AddParameter(QStringLiteral("@RETURN_VALUE"), ftInteger, pdReturnValue);
        for (const char *name : {"@group", "@semester", "@student", "@mode"})
            p.AddParameter(QLatin1String(name), ftInteger, pdInput);
        p.Items(1)->Value = suiteGroup;
        p.Items(2)->Value = suiteSemester;
        p.Items(3)->Value = m_server->student();
        p.Items(4)->Value = 0;
        CONTRACT_VERIFY(proc.ExecProc());
        QVERIFY(!p.Items(0)->Value.isNull());
        QCOMPARE(p.Items(0)->Value.toInt(), 0);

        p.Items(4)->Value = 7;
        QString message;
        CONTRACT_ERROR(proc.ExecProc(), message);
        verifyServerText(message);
        QVERIFY2(message.contains(QLatin1String("The fourth argument of InsertInto_SORT_MARK_MAG_2 must be 0 or 1.")),
                 qPrintable(message));

        auto update = query(QStringLiteral("UPDATE mark_mag SET oper = :oper WHERE id_semester = :semester"));
        update->Parameters()->ParamByName(QStringLiteral("oper"))->Value = QStringLiteral("тест");
        update->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        int rows = -1;
        CONTRACT_VERIFY(rows = update->ExecSQL());
        QCOMPARE(rows, 2);
        auto none = query(QStringLiteral("UPDATE mark_mag SET oper = NULL WHERE id_semester = :semester AND 1 = 0"));
        none->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        CONTRACT_VERIFY(rows = none->ExecSQL());
        QCOMPARE(rows, 0);
        auto remove = query(QStringLiteral("DELETE FROM mark_mag WHERE id_semester = :semester AND p35 IS NULL"));
        remove->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        CONTRACT_VERIFY(rows = remove->ExecSQL());
        QCOMPARE(rows, 1);
    }

    // An edit is written back by the key with the values read as its condition: it lands when the row is
    // as read, and is refused as changed by another user when the row changed meanwhile.
    void writesBackOptimistically_data() { addServers(); }
    void writesBackOptimistically()
    {
        QVERIFY(prepare());
        auto q = query(QStringLiteral("SELECT id_mark_mag, primech, p35, p36 FROM mark_mag "
                                      "WHERE id_semester = :semester AND p35 IS NOT NULL"));
        q->UpdateTableName = QStringLiteral("mark_mag");
        q->UpdateKeyFields = QStringLiteral("id_mark_mag");
        q->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        CONTRACT_VERIFY(q->Open());
        QCOMPARE(q->RecordCount(), 1);
        const int id = q->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
        CONTRACT_VERIFY(q->Edit());
        q->FieldByName(QStringLiteral("primech"))->setAsString(QStringLiteral("исправлено 'раз'"));
        CONTRACT_VERIFY(q->Post());

        auto check = query(QStringLiteral("SELECT primech FROM mark_mag WHERE id_mark_mag = :id"));
        check->Parameters()->ParamByName(QStringLiteral("id"))->Value = id;
        CONTRACT_VERIFY(check->Open());
        QCOMPARE(check->FieldByName(QStringLiteral("primech"))->AsString(), QStringLiteral("исправлено 'раз'"));

        QString error;
        QVERIFY2(m_server->exec(QStringLiteral("UPDATE mark_mag SET primech = ? WHERE id_mark_mag = ?"),
                                {QStringLiteral("другой пользователь"), id}, &error),
                 qPrintable(error));
        CONTRACT_VERIFY(q->Edit());
        q->FieldByName(QStringLiteral("primech"))->setAsString(QStringLiteral("устарело"));
        QString message;
        CONTRACT_ERROR(q->Post(), message);
        QCOMPARE(message, olm::dataset::changedByAnotherUserText());
        q->Cancel();
        CONTRACT_VERIFY(check->Close());
        CONTRACT_VERIFY(check->Open());
        QCOMPARE(check->FieldByName(QStringLiteral("primech"))->AsString(), QStringLiteral("другой пользователь"));
    }

    // A new row is inserted with the values typed and read back with what the server gave it (its identity).
    // The embedded demo's editors add journal rows only through InsertInto_SORT_MARK_MAG_2.
    void insertsAndReadsBack_data() { addServers(); }
    void insertsAndReadsBack()
    {
        QFETCH(QString, kind);
        if (kind == QLatin1String("embedded"))
            QSKIP("the embedded demo's editors may not insert into mark_mag");
        QVERIFY(prepare());
        auto q = query(QStringLiteral("SELECT id_mark_mag, id_group, id_semester, id_student, primech FROM mark_mag "
                                      "WHERE id_semester = :semester"));
        q->UpdateTableName = QStringLiteral("mark_mag");
        q->UpdateKeyFields = QStringLiteral("id_mark_mag");
        q->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        CONTRACT_VERIFY(q->Open());
        CONTRACT_VERIFY(q->Append());
        q->FieldByName(QStringLiteral("id_group"))->setAsInteger(suiteGroup);
        q->FieldByName(QStringLiteral("id_semester"))->setAsInteger(suiteSemester);
        q->FieldByName(QStringLiteral("id_student"))->setAsInteger(3);
        q->FieldByName(QStringLiteral("primech"))->setAsString(QStringLiteral("новая 'строка'"));
        CONTRACT_VERIFY(q->Post());
        QVERIFY(!q->FieldByName(QStringLiteral("id_mark_mag"))->IsNull());
        const int id = q->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
        auto check = query(QStringLiteral("SELECT primech FROM mark_mag WHERE id_mark_mag = :id AND id_student = 3"));
        check->Parameters()->ParamByName(QStringLiteral("id"))->Value = id;
        CONTRACT_VERIFY(check->Open());
        QCOMPARE(check->FieldByName(QStringLiteral("primech"))->AsString(), QStringLiteral("новая 'строка'"));
    }

    // A day-month-year literal reads in the session's DATEFORMAT, which the client sets after signing in.
    void readsDayMonthYearLiterals_data() { addServers(); }
    void readsDayMonthYearLiterals()
    {
        QVERIFY(prepare());
        CONTRACT_VERIFY(m_connection->Open()); // the option lasts as long as the session
        auto dateFormat = query(QStringLiteral("SET DATEFORMAT dmy"));
        CONTRACT_VERIFY(dateFormat->ExecSQL());
        auto dated = query(QStringLiteral("SELECT COUNT(*) AS N FROM mark_mag WHERE OLM_Update = '28.02.2026' "
                                          "AND p36 = '31.01.2026 13:45:10' AND id_semester = :semester"));
        dated->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        CONTRACT_VERIFY(dated->Open());
        QCOMPARE(dated->FieldByName(QStringLiteral("N"))->AsInteger(), 1);
    }

    // EXEC in a statement text calls the procedure with the arguments as written.
    void executesExecTexts_data() { addServers(); }
    void executesExecTexts()
    {
        QVERIFY(prepare());
        const QString call = QStringLiteral("EXEC InsertInto_SORT_MARK_MAG_2 %1,%2,%3,%4")
                                 .arg(suiteGroup)
                                 .arg(suiteSemester)
                                 .arg(m_server->student());
        auto accepted = query(call.arg(0));
        CONTRACT_VERIFY(accepted->ExecSQL());
        auto refused = query(call.arg(7));
        QString message;
        CONTRACT_ERROR(refused->ExecSQL(), message);
        verifyServerText(message);
        QVERIFY2(message.contains(QLatin1String("The fourth argument of InsertInto_SORT_MARK_MAG_2 must be 0 or 1.")),
                 qPrintable(message));
    }

    // Rows a procedure reads are written back to the table the dataset names, with only the fields the table
    // holds, whether or not the server says where the rows come from.
    void writesBackProcedureRows_data() { addServers(); }
    void writesBackProcedureRows()
    {
        QVERIFY(prepare());
        TADOStoredProc rows;
        rows.setConnection(m_connection.get());
        rows.setProcedureName(QStringLiteral("SORT_2_MARK_MAG;1"));
        rows.UpdateTableName = QStringLiteral("mark_mag");
        rows.UpdateKeyFields = QStringLiteral("id_mark_mag");
        TParameters &p = *rows.Parameters();
        for (const char *name : {"@group", "@semester", "@student"})
            p.AddParameter(QLatin1String(name), ftInteger, pdInput);
        p.Items(0)->Value = suiteGroup;
        p.Items(1)->Value = suiteSemester;
        p.Items(2)->Value = 1;
        CONTRACT_VERIFY(rows.Open());
        QCOMPARE(rows.RecordCount(), 1);
        CONTRACT_VERIFY(rows.Edit());
        rows.FieldByName(QStringLiteral("primech"))->setAsString(QStringLiteral("из процедуры"));
        CONTRACT_VERIFY(rows.Post());
        auto check = query(QStringLiteral("SELECT primech FROM mark_mag WHERE id_semester = :semester AND id_student = 1"));
        check->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        CONTRACT_VERIFY(check->Open());
        QCOMPARE(check->FieldByName(QStringLiteral("primech"))->AsString(), QStringLiteral("из процедуры"));
    }

    // The T-SQL forms the client writes, as PostgreSQL reads them (no server needed).
    void translatesForPostgres_data()
    {
        QTest::addColumn<QString>("tsql");
        QTest::addColumn<QString>("postgres");
        QTest::addColumn<QList<int>>("order");
        const QList<int> same;
        QTest::newRow("bracketed reserved word") << QStringLiteral("SELECT  * FROM [group]")
                                                 << QStringLiteral("select  * from \"group\"") << same;
        QTest::newRow("quoted and bracketed names fold")
            << QStringLiteral("SELECT [OLM_User], \"Check_ch\", EstimationOther.* FROM [dbo].[EstimationOther]")
            << QStringLiteral("select olm_user, check_ch, estimationother.* from estimationother") << same;
        QTest::newRow("schema dropped")
            << QStringLiteral("Select id_student from s_g GROUP BY dbo.s_g.id_student, olm.dbo.s_g.s_fio")
            << QStringLiteral("select id_student from s_g group by s_g.id_student, s_g.s_fio") << same;
        QTest::newRow("top") << QStringLiteral("select top 0 * from educ_sh")
                             << QStringLiteral("select   * from educ_sh LIMIT 0") << same;
        QTest::newRow("top in parentheses") << QStringLiteral("Select top (1) g_r_y.* from g_r_y  where id_group=5")
                                            << QStringLiteral("select   g_r_y.* from g_r_y  where id_group=5 LIMIT 1") << same;
        QTest::newRow("top with a marker keeps the values' order")
            << QStringLiteral("SELECT TOP (?) p35 FROM mark_mag WHERE id_group = ? ORDER BY p35")
            << QStringLiteral("select   p35 from mark_mag where id_group = ? order by p35 LIMIT ?") << QList<int>{1, 0};
        QTest::newRow("top in a subquery")
            << QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = (SELECT TOP 1 id_mark_mag FROM mark_mag)")
            << QStringLiteral("select p35 from mark_mag where id_mark_mag = (select   id_mark_mag from mark_mag LIMIT 1)") << same;
        QTest::newRow("national literals")
            << QStringLiteral("INSERT INTO OLM_LOG([table], [descr]) VALUES(N'mark_mag', N'Поле ''x''')")
            << QStringLiteral("insert into olm_log(\"table\", descr) values('mark_mag', 'Поле ''x''')") << same;
        QTest::newRow("aliases keep their spelling")
            << QStringLiteral("SELECT COUNT(*) AS N, CAST(p36 AS DATE) AS [Day] FROM mark_mag AS M ORDER BY N, M.p36")
            << QStringLiteral("select count(*) as \"N\", cast(p36 as date) as \"Day\" from mark_mag as \"M\" order by \"N\", \"M\".p36")
            << same;
        QTest::newRow("functions") << QStringLiteral("SELECT ISNULL(primech, N'') + N'!', LEN(p35), GETDATE() FROM mark_mag")
                                   << QStringLiteral("select coalesce(primech, '') || '!', length(p35), localtimestamp from mark_mag")
                                   << same;
        QTest::newRow("numbers still add") << QStringLiteral("SELECT id_group + 1 FROM mark_mag")
                                           << QStringLiteral("select id_group + 1 from mark_mag") << same;
        QTest::newRow("day-month-year literals")
            << QStringLiteral("SELECT * FROM mark_mag WHERE p36 >= '31.01.2026 13:45' AND OLM_Update = '28.02.2026' "
                              "AND p35 = '01.02.2026'")
            << QStringLiteral("select * from mark_mag where p36 >= '2026-01-31 13:45:00.000' and olm_update = '2026-02-28' "
                              "and p35 = '01.02.2026'")
            << same;
        QTest::newRow("exec with literals")
            << QStringLiteral("EXEC GET_USER 'ivanov','ab',NULL, 'OLM 16', N'10.0.0.7', 'PC''1', ivanov,'0','32'")
            << QStringLiteral("select * from get_user('ivanov', 'ab', NULL, 'OLM 16', '10.0.0.7', 'PC''1', 'ivanov', '0', '32')")
            << same;
        QTest::newRow("exec with numbers and a group number")
            << QStringLiteral("EXEC dbo.InsertInto_SORT_MARK_MAG_2;1 1,2,-3,1")
            << QStringLiteral("select * from insertinto_sort_mark_mag_2(1, 2, -3, 1)") << same;
        QTest::newRow("execute with a marker") << QStringLiteral("EXECUTE ROW_HISTORY ?")
                                               << QStringLiteral("select * from row_history(?)") << same;
        QTest::newRow("exec with a named argument")
            << QStringLiteral("EXEC @status = DEL_FROM_MARK_MAG @id_mark_mag = N'1,2,'")
            << QStringLiteral("select * from del_from_mark_mag(id_mark_mag => '1,2,')") << same;
        QTest::newRow("top percent is refused") << QStringLiteral("SELECT TOP 5 PERCENT * FROM mark_mag")
                                                << QStringLiteral("error: TOP with PERCENT or WITH TIES is not supported.") << same;
        QTest::newRow("foreign schema is refused") << QStringLiteral("EXEC other.GET_USER 'x'")
                                                   << QStringLiteral("error: Could not find stored procedure 'other.GET_USER'.")
                                                   << same;
        QTest::newRow("variable is refused") << QStringLiteral("EXEC ROW_HISTORY @row")
                                             << QStringLiteral("error: Must declare the scalar variable \"@row\".") << same;
    }
    void translatesForPostgres()
    {
        QFETCH(QString, tsql);
        QFETCH(QString, postgres);
        QFETCH(QList<int>, order);
        const QHash<QString, bool> dateColumns{{QStringLiteral("p36"), false}, {QStringLiteral("olm_update"), true}};
        olm::tsql::FrontContext context;
        context.dialect = olm::tsql::Dialect::PostgreSQL;
        context.dateOrder = QStringLiteral("dmy");
        context.dateColumns = &dateColumns;
        QString error;
        const auto translated = olm::tsql::translate(tsql, {}, context, &error);
        if (postgres.startsWith(QLatin1String("error: "))) {
            QVERIFY(!translated);
            QCOMPARE(error, postgres.mid(7));
            return;
        }
        QVERIFY2(translated, qPrintable(error));
        QCOMPARE(translated->sql, postgres);
        QCOMPARE(translated->parameterOrder, order);
    }

    // The session options: DATEFORMAT is kept on the client's side (the server is told the same order where it
    // has one), the others need nothing; the values of markers TOP moved follow them.
    void keepsSessionOptionsForPostgres()
    {
        using Kind = olm::odbc::PostgresStatement::Kind;
        olm::odbc::PostgresStatements statements([] { return QHash<QString, bool>{{QStringLiteral("olm_update"), true}}; });
        const QString dated = QStringLiteral("SELECT * FROM mark_mag WHERE OLM_Update = '01.02.2026'");
        QString error;
        auto before = statements.translate(dated, {}, &error);
        QVERIFY2(before, qPrintable(error));
        QCOMPARE(before->text, QStringLiteral("select * from mark_mag where olm_update = '2026-01-02'"));
        auto set = statements.translate(QStringLiteral("SET DATEFORMAT dmy"), {}, &error);
        QVERIFY2(set, qPrintable(error));
        QCOMPARE(set->kind, Kind::Statement);
        QCOMPARE(set->text, QStringLiteral("SET DateStyle TO 'ISO, DMY'"));
        auto after = statements.translate(dated, {}, &error);
        QVERIFY2(after, qPrintable(error));
        QCOMPARE(after->text, QStringLiteral("select * from mark_mag where olm_update = '2026-02-01'"));
        QCOMPARE(statements.translate(QStringLiteral("SET DATEFORMAT ydm"), {}, &error)->kind, Kind::Nothing);
        QCOMPARE(statements.translate(QStringLiteral("SET NOCOUNT ON"), {}, &error)->kind, Kind::Nothing);
        QVERIFY(!statements.translate(QStringLiteral("SET DATEFORMAT xyz"), {}, &error));
        auto moved = statements.translate(QStringLiteral("SELECT TOP (?) p35 FROM mark_mag WHERE id_group = ?"), {5, 7}, &error);
        QVERIFY2(moved, qPrintable(error));
        QCOMPARE(moved->params, (QVariantList{7, 5}));
        auto call = statements.translate(QStringLiteral("EXEC ROW_HISTORY ?"), {3}, &error);
        QVERIFY2(call, qPrintable(error));
        QCOMPARE(call->kind, Kind::Call);
        QCOMPARE(call->params, QVariantList{3});
        QCOMPARE(olm::odbc::PostgresStatements::callText(QStringLiteral("SORT_2_MARK_MAG;1"), 3),
                 QStringLiteral("select * from sort_2_mark_mag(?, ?, ?)"));
    }

    // Every statement text the client sends, and the calls of its procedures, translate and prepare on
    // PostgreSQL against the deployment's schema (its template when scripts/test.sh loaded one, else the
    // relations and functions the texts name).
    void clientStatementsPrepareOnPostgres()
    {
        if (!postgresConfigured())
            QSKIP("no PostgreSQL cluster (OLM_TEST_PG_* unset); scripts/test.sh starts one");
        const QString database = QStringLiteral("olm_t_%1").arg(QRandomGenerator::global()->generate());
        const QString templateName = qEnvironmentVariable("OLM_TEST_PG_TEMPLATE");
        TADOConnection admin;
        admin.setConnectionString(PostgresServer::rawConnection(PostgresServer::variable("OLM_TEST_PG_DATABASE")));
        CONTRACT_VERIFY(admin.Open());
        CONTRACT_VERIFY(admin.Execute(QLatin1String("CREATE DATABASE ") + database
                                      + (templateName.isEmpty() ? QString() : QLatin1String(" TEMPLATE ") + templateName)));
        const auto dropDatabase = qScopeGuard([&] {
            try {
                admin.Execute(QLatin1String("DROP DATABASE IF EXISTS ") + database + QLatin1String(" WITH (FORCE)"));
            } catch (const EDatabaseError &) {
            }
        });
        TADOConnection target;
        target.setConnectionString(PostgresServer::rawConnection(database));
        CONTRACT_VERIFY(target.Open());
        if (templateName.isEmpty())
            for (const char *statement : clientSchema)
                CONTRACT_VERIFY(target.Execute(QString::fromUtf8(statement)));

        const QStringList composed = composedClientTexts();
        QStringList texts = composed;
        static const QRegularExpression named(QStringLiteral(":[A-Za-z_][A-Za-z_0-9]*"));
        for (const ClientText &client : clientStatementTexts(QStringLiteral(OLM_SOURCE_DIR))) {
            QString text = client.text;
            text.replace(named, QStringLiteral("?")); // as the dataset layer binds named parameters
            // A piece the client completes with values: the whole text is composed above, or a value follows.
            if (std::any_of(composed.cbegin(), composed.cend(),
                            [&](const QString &whole) { return whole.startsWith(text.trimmed(), Qt::CaseInsensitive); }))
                continue;
            if (text.trimmed().endsWith(QLatin1Char('=')))
                text += QLatin1Char('1');
            texts.append(text);
        }
        texts << QStringLiteral("EXEC SORT_2_MARK_MAG ?, ?, ?") << QStringLiteral("EXEC DEL_FROM_MARK_MAG ?")
              << QStringLiteral("EXEC CTRL_Z_Mark_mag ?, ?");

        olm::odbc::PostgresStatements statements([] { return QHash<QString, bool>(); });
        int prepared = 0;
        for (const QString &text : std::as_const(texts)) {
            QString error;
            const auto translated = statements.translate(text, {}, &error);
            QVERIFY2(translated, qPrintable(text + QStringLiteral(": ") + error));
            if (translated->kind == olm::odbc::PostgresStatement::Kind::Nothing)
                continue;
            // SET runs as it is; everything else is only prepared.
            const bool preparable = !translated->text.startsWith(QLatin1String("SET "), Qt::CaseInsensitive);
            try {
                if (preparable) {
                    target.Execute(QLatin1String("PREPARE olm_client_text AS ") + numberedMarkers(translated->text));
                    target.Execute(QStringLiteral("DEALLOCATE olm_client_text"));
                } else {
                    target.Execute(translated->text);
                }
            } catch (const EDatabaseError &e) {
                QFAIL(qPrintable(text + QStringLiteral("\n  -> ") + translated->text + QStringLiteral("\n  ") + e.Message));
            }
            ++prepared;
        }
        QVERIFY2(prepared >= 25, qPrintable(QStringLiteral("only %1 statement texts").arg(prepared)));
        target.Close();
    }

    void reportsServerErrors_data() { addServers(); }
    void reportsServerErrors()
    {
        QVERIFY(prepare());
        auto bad = query(QStringLiteral("SELECT no_such_column FROM mark_mag"));
        QString message;
        CONTRACT_ERROR(bad->Open(), message);
        verifyServerText(message);
        QVERIFY2(message.contains(QLatin1String("no_such_column")), qPrintable(message));
        // The connection serves on after a refusal.
        auto good = query(QStringLiteral("SELECT COUNT(*) AS n FROM mark_mag WHERE id_semester = :semester"));
        good->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        CONTRACT_VERIFY(good->Open());
        QCOMPARE(good->FieldByName(QStringLiteral("n"))->AsInteger(), 2);
    }

    // A statement past its CommandTimeout is stopped with an error, and the connection serves on.
    void timesOut_data() { addServers(); }
    void timesOut()
    {
        QVERIFY(prepare());
        auto slow = query(m_server->slowStatement());
        slow->CommandTimeout = 1;
        QElapsedTimer clock;
        clock.start();
        QString message;
        CONTRACT_ERROR(slow->Open(), message);
        const qint64 took = clock.elapsed();
        verifyServerText(message);
        QVERIFY2(took < 5000, qPrintable(QStringLiteral("stopped after %1 ms: %2").arg(took).arg(message)));
        auto good = query(QStringLiteral("SELECT COUNT(*) AS n FROM mark_mag WHERE id_semester = :semester"));
        good->Parameters()->ParamByName(QStringLiteral("semester"))->Value = suiteSemester;
        CONTRACT_VERIFY(good->Open());
        QCOMPARE(good->FieldByName(QStringLiteral("n"))->AsInteger(), 2);
    }
};

OLM_TEST_GUILESS_MAIN(TestBackendContract)
#include "tst_backend_contract.moc"
