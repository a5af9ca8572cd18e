// The OLE DB keys the client writes, in the keys FreeTDS, Microsoft's drivers, PostgreSQL's driver and others
// read.
#include "OdbcConnectionString.h"

#include "OdbcDrivers.h"

namespace olm::odbc {

namespace {

/// An ODBC attribute value, braced when it holds a separator or a brace.
QString odbcValue(const QString &value)
{
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{')) && !value.contains(QLatin1Char('}'))
        && value.trimmed() == value)
        return value;
    return QLatin1Char('{') + QString(value).replace(QLatin1String("}"), QLatin1String("}}")) + QLatin1Char('}');
}

QString attribute(const char *key, const QString &value)
{
    return QLatin1String(key) + QLatin1Char('=') + odbcValue(value) + QLatin1Char(';');
}

bool isFalse(const QString &value)
{
    const QString folded = value.trimmed().toLower();
    return folded == QLatin1String("false") || folded == QLatin1String("no") || folded == QLatin1String("0");
}

} // namespace

QString odbcConnectionString(const TConnectionString &connection)
{
    QString driver = connection.value(QStringLiteral("Driver"));
    if (driver.isEmpty())
        driver = qEnvironmentVariable(driverVariable);
    if (splitDataSource(connection.dataSource()).postgres)
        return odbcConnectionString(connection, choosePostgresDriver(driver));
    return odbcConnectionString(connection, chooseDriver(driver));
}

QString odbcConnectionString(const TConnectionString &connection, const QString &driver)
{
    const DataSourceParts source = splitDataSource(connection.dataSource());
    if (source.postgres) {
        // Booleans as the bit values they are, not as the characters '1' and '0'.
        return attribute("Driver", driver) + attribute("Server", source.host)
            + attribute("Port", source.port.isEmpty() ? QStringLiteral("5432") : source.port)
            + attribute("Database", connection.catalog()) + attribute("UID", connection.userId())
            + attribute("PWD", connection.password()) + QLatin1String("BoolsAsChar=0;");
    }
    QString server = source.host;
    if (!source.instance.isEmpty())
        server += QLatin1Char('\\') + source.instance;
    const bool microsoft = isMicrosoftDriver(driver);
    if (microsoft && !source.port.isEmpty())
        server += QLatin1Char(',') + source.port;
    QString text = attribute("Driver", driver) + attribute("Server", server);
    if (!microsoft && !source.port.isEmpty())
        text += attribute("Port", source.port);
    text += attribute("Database", connection.catalog());
    text += attribute("UID", connection.userId());
    text += attribute("PWD", connection.password());
    if (driver.compare(QLatin1String("FreeTDS"), Qt::CaseInsensitive) == 0)
        text += QLatin1String("TDS_Version=7.4;ClientCharset=UTF-8;");
    // Microsoft's newer drivers encrypt unless told otherwise; the connection string says whether to.
    if (microsoft && isFalse(connection.value(QStringLiteral("Use Encryption for Data"))))
        text += QLatin1String("Encrypt=no;");
    return text;
}

} // namespace olm::odbc
