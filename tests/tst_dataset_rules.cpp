// The dataset layer's exact-text rules on their own: connection strings and their ODBC form, the standard
// and display texts of values, conversions and their error texts, driver message prefixes, and the
// statements that write a record back.
#include "backends/odbc/OdbcConnectionString.h"
#include "backends/odbc/OdbcDrivers.h"
#include "toolkit/data/Backend.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/data/FieldValue.h"
#include "toolkit/data/WriteBack.h"
#include "tests/support/TestMain.h"

#include <QScopeGuard>
#include <QTest>

using namespace olm::dataset;

Q_DECLARE_METATYPE(TFieldType)

/// Expects an EDatabaseError whose message contains the text.
#define DS_CHECK_ERROR(statement, text)                                                                                \
    do {                                                                                                               \
        try {                                                                                                          \
            statement;                                                                                                 \
            QFAIL(#statement " raised nothing");                                                                       \
        } catch (const EDatabaseError &e) {                                                                            \
            QVERIFY2(e.Message.contains(QLatin1String(text)), qPrintable(e.Message));                                  \
        }                                                                                                              \
    } while (false)

namespace {

const QString ole = QStringLiteral("Provider=SQLOLEDB.1;Password=%1;Persist Security Info=True;User ID=%2;"
                                   "Initial Catalog=%3;Data Source=%4;Use Procedure for Prepare=1;Auto Translate=True;"
                                   "Packet Size=4096;Use Encryption for Data=False;"
                                   "Tag with column collation when possible=False");

/// Fields of a journal-like record without a dataset, for the write-back statements.
struct Record {
    Record()
    {
        fields = {add(QStringLiteral("primech"), ftString), add(QStringLiteral("id_mark_mag"), ftAutoInc),
                  add(QStringLiteral("p35"), ftString), add(QStringLiteral("p36"), ftDateTime),
                  add(QStringLiteral("id_teacher"), ftInteger), add(QStringLiteral("s_fio"), ftString)};
        target.table = QStringLiteral("mark_mag");
        target.keyFields = {QStringLiteral("id_mark_mag")};
        target.identityField = QStringLiteral("id_mark_mag");
        target.readOnly = {QStringLiteral("id_mark_mag")};
        target.tableColumns = {QStringLiteral("primech"), QStringLiteral("id_mark_mag"), QStringLiteral("p35"),
                               QStringLiteral("p36"), QStringLiteral("id_teacher")};   // s_fio comes from a join
    }
    TField *add(const QString &name, TFieldType type)
    {
        owned.push_back(std::make_unique<TField>(nullptr, name, type, fkData, 0));
        return owned.back().get();
    }
    /// old and new values by field, in field order.
    TRowChange change(TRowChangeKind kind, const QVariantList &oldValues, const QVariantList &newValues) const
    {
        TRowChange c;
        c.kind = kind;
        for (int i = 0; i < fields.size(); ++i) {
            c.fields.append(fields.at(i));
            c.oldValues.append(oldValues.value(i));
            c.newValues.append(newValues.value(i));
            c.changed.append(!valuesEqual(oldValues.value(i), newValues.value(i)));
        }
        return c;
    }

    std::vector<std::unique_ptr<TField>> owned;
    QList<TField *> fields;
    WriteTarget target;
};

const QDateTime when(QDate(2009, 1, 12), QTime(0, 0));

} // namespace

class TestDataSetRules : public QObject {
    Q_OBJECT

private slots:
    // --- Connection strings --------------------------------------------------------------------------------

    void odbcConnectionString_data()
    {
        QTest::addColumn<QString>("connection");
        QTest::addColumn<QString>("odbc");
        const QString tail = QStringLiteral("TDS_Version=7.4;ClientCharset=UTF-8;");
        QTest::newRow("as the sign-in builds it")
            << ole.arg("pw", "olm_user", "olm", "srv01")
            << QStringLiteral("Driver=FreeTDS;Server=srv01;Database=olm;UID=olm_user;PWD=pw;") + tail;
        QTest::newRow("host and port") << ole.arg("pw", "u", "olm", "10.0.0.7,1433")
                                       << QStringLiteral("Driver=FreeTDS;Server=10.0.0.7;Port=1433;Database=olm;UID=u;PWD=pw;") + tail;
        QTest::newRow("named instance") << ole.arg("pw", "u", "olm", "srv01\\SQLEXPRESS")
                                        << QStringLiteral("Driver=FreeTDS;Server=srv01\\SQLEXPRESS;Database=olm;UID=u;PWD=pw;") + tail;
        QTest::newRow("local server") << ole.arg("pw", "u", "olm", "(local)")
                                      << QStringLiteral("Driver=FreeTDS;Server=localhost;Database=olm;UID=u;PWD=pw;") + tail;
        QTest::newRow("instance of the local server") << ole.arg("pw", "u", "olm", "tcp:.\\SQLEXPRESS,1500")
            << QStringLiteral("Driver=FreeTDS;Server=localhost\\SQLEXPRESS;Port=1500;Database=olm;UID=u;PWD=pw;") + tail;
        QTest::newRow("empty password") << ole.arg("", "u", "olm", "srv")
                                        << QStringLiteral("Driver=FreeTDS;Server=srv;Database=olm;UID=u;PWD=;") + tail;
        QTest::newRow("quoted password with a separator")
            << QStringLiteral("Password=\"a;b\";User ID=u;Initial Catalog=olm;Data Source=srv")
            << QStringLiteral("Driver=FreeTDS;Server=srv;Database=olm;UID=u;PWD={a;b};") + tail;
        QTest::newRow("password with a brace") << ole.arg("a}b", "u", "olm", "srv")
                                               << QStringLiteral("Driver=FreeTDS;Server=srv;Database=olm;UID=u;PWD={a}}b};") + tail;
        QTest::newRow("other spellings of the keys") << QStringLiteral("Server=srv;Database=db;UID=u;PWD=p")
                                                     << QStringLiteral("Driver=FreeTDS;Server=srv;Database=db;UID=u;PWD=p;") + tail;
        QTest::newRow("keys in any case") << QStringLiteral("user id=u; PASSWORD = p ;initial catalog=db;DATA SOURCE=srv")
                                          << QStringLiteral("Driver=FreeTDS;Server=srv;Database=db;UID=u;PWD=p;") + tail;
        QTest::newRow("Cyrillic catalog") << ole.arg("pw", "u", "журнал", "srv")
                                          << QStringLiteral("Driver=FreeTDS;Server=srv;Database=журнал;UID=u;PWD=pw;") + tail;
    }

    void odbcConnectionString()
    {
        QFETCH(QString, connection);
        QFETCH(QString, odbc);
        QCOMPARE(olm::odbc::odbcConnectionString(TConnectionString::parse(connection), QStringLiteral("FreeTDS")), odbc);
    }

    void odbcDriverChoice()
    {
        using namespace olm::odbc;
        QCOMPARE(newestSqlServerDriver({QStringLiteral("SQL Server"), QStringLiteral("ODBC Driver 17 for SQL Server"),
                                        QStringLiteral("ODBC Driver 18 for SQL Server"),
                                        QStringLiteral("SQL Server Native Client 11.0"), QStringLiteral("FreeTDS")}),
                 QStringLiteral("ODBC Driver 18 for SQL Server"));
        QCOMPARE(newestSqlServerDriver({QStringLiteral("SQL Server"), QStringLiteral("SQL Server Native Client 10.0"),
                                        QStringLiteral("SQL Server Native Client 11.0")}),
                 QStringLiteral("SQL Server Native Client 11.0"));
        QCOMPARE(newestSqlServerDriver({QStringLiteral("SQL Server"), QStringLiteral("PostgreSQL Unicode")}),
                 QStringLiteral("SQL Server"));
        QCOMPARE(newestSqlServerDriver({QStringLiteral("FreeTDS"), QStringLiteral("ODBC Driver 9 for Oracle")}), QString());
        QCOMPARE(chooseDriver(QStringLiteral(" ODBC Driver 17 for SQL Server ")), QStringLiteral("ODBC Driver 17 for SQL Server"));
#ifndef Q_OS_WIN
        QCOMPARE(chooseDriver(QString()), QStringLiteral("FreeTDS"));
#endif

        // Microsoft's drivers take the port after a comma and encrypt unless the connection says not to.
        const TConnectionString remote = TConnectionString::parse(ole.arg("pw", "u", "olm", "srv01\\SQLEXPRESS,1500"));
        QCOMPARE(olm::odbc::odbcConnectionString(remote, QStringLiteral("ODBC Driver 18 for SQL Server")),
                 QStringLiteral("Driver=ODBC Driver 18 for SQL Server;Server=srv01\\SQLEXPRESS,1500;Database=olm;UID=u;"
                                "PWD=pw;Encrypt=no;"));
        // A Driver key names the driver whatever the environment says.
        qputenv(driverVariable, "ODBC Driver 17 for SQL Server");
        const auto restore = qScopeGuard([] { qunsetenv(driverVariable); });
        QVERIFY(olm::odbc::odbcConnectionString(remote).startsWith(QLatin1String("Driver=ODBC Driver 17 for SQL Server;")));
        QCOMPARE(olm::odbc::odbcConnectionString(TConnectionString::parse(QStringLiteral("Server=h,5432;Database=d;UID=u;PWD=p;"
                                                                              "Driver=PostgreSQL Unicode"))),
                 QStringLiteral("Driver=PostgreSQL Unicode;Server=h;Port=5432;Database=d;UID=u;PWD=p;"));
    }

    // "pg:" names a PostgreSQL server: its host for the self-update, PostgreSQL's driver unless one is named.
    void postgresDataSource()
    {
        using namespace olm::odbc;
        const DataSourceParts parts = splitDataSource(QStringLiteral(" PG: db.example.org , 5433 "));
        QVERIFY(parts.postgres);
        QVERIFY(!parts.embedded);
        QCOMPARE(parts.host, QStringLiteral("db.example.org"));
        QCOMPARE(parts.port, QStringLiteral("5433"));
        QVERIFY(!splitDataSource(QStringLiteral("tcp:srv,1433")).postgres);
        QCOMPARE(choosePostgresDriver(QString()), QStringLiteral("PostgreSQL Unicode"));
        QCOMPARE(olm::odbc::odbcConnectionString(TConnectionString::parse(ole.arg("pw", "u", "olm", "pg:srv"))),
                 QStringLiteral("Driver=PostgreSQL Unicode;Server=srv;Port=5432;Database=olm;UID=u;PWD=pw;BoolsAsChar=0;"));
        qputenv(driverVariable, "PostgreSQL ANSI");
        const auto restore = qScopeGuard([] { qunsetenv(driverVariable); });
        QCOMPARE(olm::odbc::odbcConnectionString(TConnectionString::parse(ole.arg("pw", "u", "olm", "pg:srv,6000"))),
                 QStringLiteral("Driver=PostgreSQL ANSI;Server=srv;Port=6000;Database=olm;UID=u;PWD=pw;BoolsAsChar=0;"));
    }

    void connectionStringKeys()
    {
        const TConnectionString c = TConnectionString::parse(ole.arg("Boot2016", "olm_boot", "olm.sqlite", " EMBEDDED "));
        QVERIFY(c.isEmbedded());
        QCOMPARE(c.userId(), QStringLiteral("olm_boot"));
        QCOMPARE(c.password(), QStringLiteral("Boot2016"));
        QCOMPARE(c.catalog(), QStringLiteral("olm.sqlite"));
        QCOMPARE(c.value(QStringLiteral("packet size")), QStringLiteral("4096"));
        QVERIFY(c.contains(QStringLiteral("Persist Security Info")));
        QVERIFY(!c.contains(QStringLiteral("Timeout")));
        QCOMPARE(c.value(QStringLiteral("Timeout")), QString());
        QVERIFY(!TConnectionString::parse(ole.arg("p", "u", "olm", "srv")).isEmbedded());

        QString error;
        QVERIFY(!openBackend(TConnectionString::parse(QStringLiteral("Data Source=embedded;User ID=u")), &error));
        QVERIFY2(error.contains(QLatin1String("Initial Catalog")), qPrintable(error));
    }

    void driverPrefixes_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("text");
        QTest::newRow("driver and server") << "[FreeTDS][SQL Server]Login failed for user 'u'."
                                           << "Login failed for user 'u'.";
        QTest::newRow("three tags") << "[unixODBC][FreeTDS][SQL Server]The UPDATE permission was denied on the object 'mark_mag'."
                                    << "The UPDATE permission was denied on the object 'mark_mag'.";
        QTest::newRow("none") << "Invalid object name 'x'." << "Invalid object name 'x'.";
        QTest::newRow("brackets inside the text") << "[FreeTDS][SQL Server]Invalid column name '[p35]'."
                                                  << "Invalid column name '[p35]'.";
        QTest::newRow("records joined by a space")
            << "[FreeTDS][SQL Server]Login failed for user 'u'. [FreeTDS][SQL Server]Unable to connect to data source"
            << "Login failed for user 'u'. Unable to connect to data source";
        QTest::newRow("Microsoft's driver")
            << "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Query timeout expired"
            << "Query timeout expired";
        QTest::newRow("records on lines") << "[unixODBC][FreeTDS][SQL Server]First.\n[FreeTDS][SQL Server]Second."
                                          << "First.\nSecond.";
    }

    void driverPrefixes()
    {
        QFETCH(QString, message);
        QFETCH(QString, text);
        QCOMPARE(stripDriverPrefixes(message), text);
    }

    // --- Texts of values -----------------------------------------------------------------------------------

    void standardTexts_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<TFieldType>("type");
        QTest::addColumn<QString>("text");
        QTest::newRow("null") << QVariant(QMetaType(QMetaType::Int)) << ftInteger << "";
        QTest::newRow("empty text") << QVariant(QString()) << ftString << "";
        QTest::newRow("date") << QVariant(QDate(2009, 1, 12)) << ftDate << "12.01.2009";
        QTest::newRow("date-time at midnight") << QVariant(when) << ftDateTime << "12.01.2009";
        QTest::newRow("date-time with a time") << QVariant(QDateTime(QDate(2009, 1, 12), QTime(10, 5, 3))) << ftDateTime
                                               << "12.01.2009 10:05:03";
        QTest::newRow("date field from a date-time") << QVariant(QDateTime(QDate(2009, 1, 12), QTime(10, 5))) << ftDate
                                                     << "12.01.2009";
        QTest::newRow("true") << QVariant(true) << ftBoolean << "True";
        QTest::newRow("false") << QVariant(false) << ftBoolean << "False";
        QTest::newRow("integer") << QVariant(42) << ftInteger << "42";
        QTest::newRow("negative integer") << QVariant(-7) << ftSmallint << "-7";
        QTest::newRow("float") << QVariant(2.5) << ftFloat << "2.5";
        QTest::newRow("tenth") << QVariant(0.1) << ftFloat << "0.1";
        QTest::newRow("large float without exponent") << QVariant(1e20) << ftFloat << "100000000000000000000";
        QTest::newRow("small float without exponent") << QVariant(0.00001) << ftFloat << "0.00001";
        QTest::newRow("float digits") << QVariant(123456.789) << ftFloat << "123456.789";
        QTest::newRow("text") << QVariant(QStringLiteral("н/д")) << ftString << "н/д";
    }

    void standardTexts()
    {
        QFETCH(QVariant, value);
        QFETCH(TFieldType, type);
        QFETCH(QString, text);
        QCOMPARE(standardText(value, type), text);
    }

    void dateFormatsAreSetInOnePlace()
    {
        const QString shortDate = TFormatSettings::ShortDateFormat;
        const QString longTime = TFormatSettings::LongTimeFormat;
        TFormatSettings::ShortDateFormat = QStringLiteral("yyyy-MM-dd");
        TFormatSettings::LongTimeFormat = QStringLiteral("hh:mm");
        const QString text = standardText(QDateTime(QDate(2009, 1, 12), QTime(10, 5, 3)), ftDateTime);
        TFormatSettings::ShortDateFormat = shortDate;
        TFormatSettings::LongTimeFormat = longTime;
        QCOMPARE(text, QStringLiteral("2009-01-12 10:05"));
    }

    void displayTexts_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<TFieldType>("type");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        const QVariant stamp = QDateTime(QDate(2009, 1, 12), QTime(10, 5, 3));
        QTest::newRow("day month year") << stamp << ftDateTime << "dd.mm.yyyy" << "12.01.2009";
        QTest::newRow("short year") << stamp << ftDateTime << "dd.mm.yy" << "12.01.09";
        QTest::newRow("year first") << stamp << ftDateTime << "yyyy-mm-dd" << "2009-01-12";
        QTest::newRow("minutes as n") << stamp << ftDateTime << "hh:nn" << "10:05";
        QTest::newRow("minutes after the hour") << stamp << ftDateTime << "hh:mm" << "10:05";
        QTest::newRow("date and time") << stamp << ftDateTime << "dd.mm.yyyy hh:nn:ss" << "12.01.2009 10:05:03";
        QTest::newRow("single digits") << QVariant(QDate(2009, 3, 5)) << ftDate << "d.m.yyyy" << "5.3.2009";
        QTest::newRow("quoted literal") << stamp << ftDateTime << "'Дата:' dd.mm.yyyy" << "Дата: 12.01.2009";
        QTest::newRow("no format") << stamp << ftDateTime << "" << "12.01.2009 10:05:03";
        QTest::newRow("null") << QVariant(QMetaType(QMetaType::QDateTime)) << ftDateTime << "dd.mm.yyyy" << "";
        QTest::newRow("boolean words") << QVariant(false) << ftBoolean << "Да;Нет" << "Нет";
        QTest::newRow("two decimals") << QVariant(3.14159) << ftFloat << "0.00" << "3.14";
        QTest::newRow("thousands") << QVariant(1234567.891) << ftFloat << "#,##0.00" << "1 234 567.89";
        QTest::newRow("integer with decimals") << QVariant(5) << ftInteger << "0.0" << "5.0";
    }

    void displayTexts()
    {
        QFETCH(QVariant, value);
        QFETCH(TFieldType, type);
        QFETCH(QString, format);
        QFETCH(QString, text);
        QCOMPARE(formattedText(value, type, format), text);
    }

    void conversions_data()
    {
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<TFieldType>("type");
        QTest::addColumn<QVariant>("expected");
        QTest::addColumn<QString>("error");
        const QVariant none;
        QTest::newRow("integer text") << QVariant(QStringLiteral(" 12 ")) << ftInteger << QVariant(12) << "";
        QTest::newRow("letters for an integer") << QVariant(QStringLiteral("abc")) << ftInteger << none
                                                << "'abc' is not a valid integer value";
        QTest::newRow("fraction for an integer") << QVariant(QStringLiteral("1.5")) << ftInteger << none
                                                 << "'1.5' is not a valid integer value";
        QTest::newRow("float rounds to an integer") << QVariant(2.6) << ftInteger << QVariant(3) << "";
        QTest::newRow("small integer out of range") << QVariant(70000) << ftSmallint << none
                                                    << "'70000' is not a valid integer value";
        QTest::newRow("large integer") << QVariant(QStringLiteral("9000000000")) << ftLargeint
                                       << QVariant(qlonglong(9000000000)) << "";
        QTest::newRow("empty text is null") << QVariant(QString()) << ftInteger << QVariant(QMetaType(QMetaType::Int)) << "";
        QTest::newRow("boolean word") << QVariant(QStringLiteral("true")) << ftBoolean << QVariant(true) << "";
        QTest::newRow("boolean digit") << QVariant(QStringLiteral("0")) << ftBoolean << QVariant(false) << "";
        QTest::newRow("not a boolean") << QVariant(QStringLiteral("да")) << ftBoolean << none << "'да' is not a valid boolean value";
        QTest::newRow("decimal point") << QVariant(QStringLiteral("1.5")) << ftFloat << QVariant(1.5) << "";
        QTest::newRow("decimal comma") << QVariant(QStringLiteral("1,5")) << ftFloat << QVariant(1.5) << "";
        QTest::newRow("not a float") << QVariant(QStringLiteral("x")) << ftFloat << none << "'x' is not a valid floating point value";
        QTest::newRow("short date") << QVariant(QStringLiteral("12.01.2009")) << ftDate << QVariant(QDate(2009, 1, 12)) << "";
        QTest::newRow("year first") << QVariant(QStringLiteral("2009-01-12")) << ftDate << QVariant(QDate(2009, 1, 12)) << "";
        QTest::newRow("two-digit year") << QVariant(QStringLiteral("12.01.09")) << ftDate << QVariant(QDate(2009, 1, 12)) << "";
        QTest::newRow("edit mask text") << QVariant(QStringLiteral("12/01/2009 10:30")) << ftDateTime
                                        << QVariant(QDateTime(QDate(2009, 1, 12), QTime(10, 30))) << "";
        QTest::newRow("date into a date-time") << QVariant(QDate(2009, 1, 12)) << ftDateTime << QVariant(when) << "";
        QTest::newRow("no such day") << QVariant(QStringLiteral("31.02.2009")) << ftDate << none
                                     << "'31.02.2009' is not a valid date";
        QTest::newRow("not a date-time") << QVariant(QStringLiteral("завтра")) << ftDateTime << none
                                         << "'завтра' is not a valid date and time";
        QTest::newRow("empty mask") << QVariant(QStringLiteral("  .  .    ")) << ftDateTime
                                    << QVariant(QMetaType(QMetaType::QDateTime)) << "";
        QTest::newRow("date into text") << QVariant(QDate(2009, 1, 12)) << ftString << QVariant(QStringLiteral("12.01.2009")) << "";
        QTest::newRow("integer into text") << QVariant(5) << ftWideString << QVariant(QStringLiteral("5")) << "";
        QTest::newRow("blank text stays text") << QVariant(QStringLiteral("  ")) << ftString << QVariant(QStringLiteral("  ")) << "";
    }

    void conversions()
    {
        QFETCH(QVariant, input);
        QFETCH(TFieldType, type);
        QFETCH(QVariant, expected);
        QFETCH(QString, error);
        QVariant out;
        QString message;
        const bool ok = tryConvert(input, type, &out, &message);
        QCOMPARE(ok, error.isEmpty());
        QCOMPARE(message, error);
        if (!ok) {
            QVERIFY_THROWS_EXCEPTION(EConvertError, convertOrThrow(input, type));
            return;
        }
        QCOMPARE(out.typeId(), expected.typeId());
        QCOMPARE(out.isNull(), expected.isNull());
        if (!expected.isNull())
            QCOMPARE(out, expected);
    }

    void ordering()
    {
        QVERIFY(compareValues(QVariant(), 1) < 0);   // nulls first
        QVERIFY(compareValues(QVariant(QMetaType(QMetaType::QString)), QStringLiteral("а")) < 0);
        QVERIFY(compareValues(9, 10) < 0);   // numbers by value
        QVERIFY(compareValues(2.5, 2) > 0);
        QVERIFY(compareValues(QStringLiteral("ёж"), QStringLiteral("Жук")) < 0);
        QVERIFY(compareValues(QStringLiteral("Жук"), QStringLiteral("жук")) == 0);
        QVERIFY(compareValues(QStringLiteral("яма"), QStringLiteral("ёж")) > 0);
        QVERIFY(compareValues(QDate(2009, 1, 12), QDateTime(QDate(2009, 1, 12), QTime(1, 0))) < 0);
        QVERIFY(valuesEqual(QVariant(), QVariant(QMetaType(QMetaType::Int))));
        QVERIFY(!valuesEqual(QVariant(), 0));
        QVERIFY(!valuesEqual(QStringLiteral("1"), QStringLiteral("01")));
        QVERIFY(valuesEqual(1, 1.0));
    }

    // --- Write-back statements -----------------------------------------------------------------------------

    void updateWritesChangedFieldsWithTheCheck()
    {
        Record r;
        const TRowChange c = r.change(rcUpdate, {QStringLiteral("д"), 7, QVariant(), when, 3, QStringLiteral("Иванов")},
                                      {QStringLiteral("н/д"), 7, QStringLiteral("O'Neil"), when, 3, QStringLiteral("Петров")});
        const SqlStatement s = updateStatement(c, r.target);
        QCOMPARE(s.text, QStringLiteral("UPDATE [mark_mag] SET [primech] = ?, [p35] = ? WHERE [id_mark_mag] = ? "
                                        "AND [primech] = ? AND [p35] IS NULL"));
        QCOMPARE(s.params, (QVariantList{QStringLiteral("н/д"), QStringLiteral("O'Neil"), 7, QStringLiteral("д")}));
    }

    void updateBindsTypedNulls()
    {
        Record r;
        const TRowChange c = r.change(rcUpdate, {QVariant(), 7, QVariant(), when, 3}, {QVariant(), 7, QVariant(), QVariant(), 3});
        const SqlStatement s = updateStatement(c, r.target);
        QCOMPARE(s.text, QStringLiteral("UPDATE [mark_mag] SET [p36] = ? WHERE [id_mark_mag] = ? AND [p36] = ?"));
        QCOMPARE(s.params.at(0).typeId(), int(QMetaType::QDateTime));
        QVERIFY(s.params.at(0).isNull());
    }

    void updateWithNothingToWrite()
    {
        Record r;
        QVERIFY(updateStatement(r.change(rcUpdate, {1, 7, 2}, {1, 7, 2}), r.target).isEmpty());
        // The identity and a column of another table are never written.
        QVERIFY(updateStatement(r.change(rcUpdate, {1, 7, 2, when, 3, QStringLiteral("a")},
                                         {1, 8, 2, when, 3, QStringLiteral("b")}),
                                r.target)
                    .isEmpty());
    }

    void deleteRequiresTheValuesRead()
    {
        Record r;
        const TRowChange c = r.change(rcDelete, {QStringLiteral("д"), 7, QVariant(), when, 3, QStringLiteral("x")}, {});
        const SqlStatement s = deleteStatement(c, r.target);
        QCOMPARE(s.text, QStringLiteral("DELETE FROM [mark_mag] WHERE [id_mark_mag] = ? AND [primech] = ? AND [p35] IS NULL "
                                        "AND [p36] = ? AND [id_teacher] = ?"));
        QCOMPARE(s.params, (QVariantList{7, QStringLiteral("д"), when, 3}));
    }

    void insertLeavesOutNullsAndTheIdentity()
    {
        Record r;
        const TRowChange c = r.change(rcInsert, {}, {QStringLiteral("д"), QVariant(), QVariant(), when, 3, QStringLiteral("x")});
        const SqlStatement s = insertStatement(c, r.target);
        QCOMPARE(s.text, QStringLiteral("INSERT INTO [mark_mag] ([primech], [p36], [id_teacher]) VALUES (?, ?, ?)"));
        QCOMPARE(s.params, (QVariantList{QStringLiteral("д"), when, 3}));
        QCOMPARE(insertStatement(r.change(rcInsert, {}, {}), r.target).text, QStringLiteral("INSERT INTO [mark_mag] DEFAULT VALUES"));

        const SqlStatement back = reselectStatement(c, r.target);
        QCOMPARE(back.text, QStringLiteral("SELECT TOP 1 [primech], [id_mark_mag], [p35], [p36], [id_teacher] FROM [mark_mag] "
                                           "WHERE [primech] = ? AND [p36] = ? AND [id_teacher] = ? ORDER BY [id_mark_mag] DESC"));
        const SqlStatement byKey = reselectStatement(r.change(rcUpdate, {1, 7}, {1, 7}), r.target);
        QCOMPARE(byKey.text, QStringLiteral("SELECT [primech], [id_mark_mag], [p35], [p36], [id_teacher] FROM [mark_mag] "
                                            "WHERE [id_mark_mag] = ?"));
        QCOMPARE(byKey.params, (QVariantList{7}));
    }

    void unusableKeys()
    {
        Record r;
        r.target.keyFields.clear();
        DS_CHECK_ERROR(updateStatement(r.change(rcUpdate, {1, 7}, {2, 7}), r.target), "No key fields");
        r.target.keyFields = {QStringLiteral("nosuch")};
        DS_CHECK_ERROR(deleteStatement(r.change(rcDelete, {1, 7}, {}), r.target), "Key field 'nosuch' not found");
        r.target.keyFields = {QStringLiteral("id_mark_mag")};
        DS_CHECK_ERROR(deleteStatement(r.change(rcDelete, {1, QVariant()}, {}), r.target),
                       "no value in its key field 'id_mark_mag'");
    }

    void quoting_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << "mark_mag" << "[mark_mag]";
        QTest::newRow("schema") << "dbo.mark_mag" << "[dbo].[mark_mag]";
        QTest::newRow("reserved word") << "group" << "[group]";
        QTest::newRow("already bracketed") << "[group]" << "[group]";
        QTest::newRow("closing bracket") << "a]b" << "[a]]b]";
    }

    void quoting()
    {
        QFETCH(QString, name);
        QFETCH(QString, quoted);
        QCOMPARE(quoteIdentifier(name), quoted);
    }
};

OLM_TEST_GUILESS_MAIN(TestDataSetRules)
#include "tst_dataset_rules.moc"
