// The backend contract: the same cases through the dataset layer on every backend that can run here, the
// embedded server on a copy of the demo database and PostgreSQL through ODBC (a throwaway cluster that
// scripts/test.sh starts and names in OLM_TEST_PG_*).
#include "tests/support/TestMain.h"
#include "tests/tst_dataset_fixture.h"

#include "toolkit/data/ADODB.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/data/WriteBack.h"

#include <QElapsedTimer>
#include <QTest>

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
/// (the columns the cases touch), a procedure with a return value, and a statement that runs for seconds.
const char *const postgresSchema[] = {
    "DROP TABLE IF EXISTS mark_mag",
    "CREATE TABLE mark_mag (primech varchar(50), dopusk_izm smallint, id_estimation_other int, "
    "id_mark_mag serial PRIMARY KEY, id_group int, id_student int, id_examination int, id_discipline int, "
    "id_estimation int, id_semester int, id_teacher int, p35 varchar(50), p36 timestamp, id_f_est int, "
    "oper varchar(5), u_date timestamp, olm_user varchar(20), olm_update date)",
    "CREATE OR REPLACE FUNCTION \"InsertInto_SORT_MARK_MAG_2\"(g int, s int, st int, mode int) RETURNS int "
    "LANGUAGE plpgsql AS $$ BEGIN IF mode IS NULL OR mode NOT IN (0, 1) THEN RAISE EXCEPTION "
    "'The fourth argument of InsertInto_SORT_MARK_MAG_2 must be 0 or 1.'; END IF; RETURN 0; END $$",
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
        m_admin.setConnectionString(connection());
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
    static QString connectionFor(const QString &password)
    {
        return clientConnectionString(variable("OLM_TEST_PG_USER"), password, variable("OLM_TEST_PG_DATABASE"),
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
