// olm-admin's connection to a PostgreSQL deployment through QODBC and the PostgreSQL ODBC driver.
#include "PgConnection.h"

#include "backends/odbc/OdbcDrivers.h"
#include "toolkit/data/Backend.h"

#include <QAtomicInt>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cstdio>

#include <unistd.h>
#include <pwd.h>

namespace olm::admin {

namespace {

// A connection-string value, in braces (a closing brace doubled) only where ';', '=', a brace or a blank would
// end it: the driver keeps the braces of a value that did not need them.
QString pgBraced(const QString &value)
{
    static const QRegularExpression special(QStringLiteral("[;{}= ]"));
    if (!value.contains(special))
        return value;
    return QLatin1Char('{') + QString(value).replace(QLatin1Char('}'), QStringLiteral("}}")) + QLatin1Char('}');
}

// The server's own sentence: the driver's tags, PostgreSQL's "ERROR:" and the driver's trailer taken away.
QString pgMessage(const QSqlError &sqlError)
{
    QString text = sqlError.databaseText().isEmpty() ? sqlError.text() : sqlError.databaseText();
    text = stripDriverPrefixes(text);
    static const QRegularExpression severity(QStringLiteral(R"(^(ERROR|FATAL):\s*)"));
    text.remove(severity);
    const qsizetype trailer = text.indexOf(QLatin1String(";\n"));
    if (trailer >= 0)
        text.truncate(trailer);
    return text.trimmed();
}

// While a statement runs, QODBC's own warning about a refused statement is dropped: the tool prints the server's
// sentence itself. Other messages go on to the handler that was installed before.
class PgQuietDriver {
public:
    PgQuietDriver() { s_previous = qInstallMessageHandler(&handle); }
    ~PgQuietDriver() { qInstallMessageHandler(s_previous); }
    PgQuietDriver(const PgQuietDriver &) = delete;
    PgQuietDriver &operator=(const PgQuietDriver &) = delete;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtWarningMsg && text.startsWith(QLatin1String("QODBCResult::")))
            return;
        if (s_previous)
            s_previous(type, context, text);
        else
            fprintf(stderr, "%s\n", qPrintable(text));
    }
    static inline QtMessageHandler s_previous = nullptr;
};

} // namespace

bool isPgTarget(const QString &word)
{
    return word.startsWith(QLatin1String("pg:"));
}

std::optional<PgTarget> parsePgTarget(const QString &word, QString *error)
{
    static const QRegularExpression form(QStringLiteral(R"(^pg:([^,/;{}\s]+)(?:,([0-9]{1,5}))?/([^/;{}\s]+)$)"));
    const QRegularExpressionMatch match = form.match(word);
    const int port = match.hasMatch() && match.hasCaptured(2) ? match.captured(2).toInt() : 5432;
    if (!match.hasMatch() || port < 1 || port > 65535) {
        *error = QStringLiteral("'%1' is not a PostgreSQL database such as pg:HOST/DATABASE or pg:HOST,PORT/DATABASE.")
                     .arg(word);
        return std::nullopt;
    }
    return PgTarget{match.captured(1), port, match.captured(3)};
}

QString defaultPgUser()
{
    const QString named = qEnvironmentVariable("PGUSER");
    if (!named.isEmpty())
        return named;
    if (const passwd *entry = getpwuid(getuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

std::unique_ptr<PgConnection> PgConnection::open(const PgTarget &target, const QString &login, QString *error)
{
    static QAtomicInt counter;
    const QString name = QStringLiteral("olm-admin-pg-%1").arg(counter.fetchAndAddRelaxed(1));
    std::unique_ptr<PgConnection> connection(new PgConnection(name));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
    QString driver = qEnvironmentVariable(odbc::driverVariable);
    if (driver.isEmpty())
        driver = QStringLiteral("PostgreSQL Unicode");
    // No PWD: libpq takes the password from PGPASSWORD or ~/.pgpass, so it never shows in a process list. The
    // driver takes Server and Database as written (parsePgTarget lets no ';', brace or blank into them).
    db.setDatabaseName(QStringLiteral("Driver=%1;Server=%2;Port=%3;Database=%4;UID=%5;")
                           .arg(pgBraced(driver), target.host, QString::number(target.port), target.database,
                                pgBraced(login)));
    if (!db.open()) {
        *error = QStringLiteral("Cannot connect to %1 as %2: %3").arg(target.database, login, pgMessage(db.lastError()));
        return nullptr;
    }
    return connection;
}

PgConnection::PgConnection(QString name)
    : m_name(std::move(name))
{
}

PgConnection::~PgConnection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

std::optional<PgRows> PgConnection::run(const QString &statement, const QVariantList &parameters, QString *error)
{
    const PgQuietDriver quiet;
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    query.setForwardOnly(true);
    bool ok = query.prepare(statement);
    if (ok) {
        for (const QVariant &parameter : parameters)
            query.addBindValue(parameter);
        ok = query.exec();
    }
    if (!ok) {
        *error = pgMessage(query.lastError());
        return std::nullopt;
    }
    PgRows result;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        result.columns.append(record.fieldName(i));
    while (query.isSelect() && query.next()) {
        QVariantList row;
        for (int i = 0; i < record.count(); ++i)
            row.append(query.value(i));
        result.rows.append(row);
    }
    return result;
}

} // namespace olm::admin
