// The ODBC driver choice and the driver manager's list of installed drivers.
#include "OdbcDrivers.h"

#include <QRegularExpression>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace olm::odbc {

QStringList installedDrivers()
{
    QStringList names;
    SQLHENV environment = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        return names;
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR description[512];
    SQLCHAR attributes[2048];
    SQLSMALLINT descriptionLength = 0;
    SQLSMALLINT attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDriversA(environment, direction, description, sizeof description, &descriptionLength,
                                     attributes, sizeof attributes, &attributesLength))) {
        names.append(QString::fromLocal8Bit(reinterpret_cast<const char *>(description)));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return names;
}

QString newestSqlServerDriver(const QStringList &installed)
{
    static const QRegularExpression current(QStringLiteral(R"(^ODBC Driver (\d+) for SQL Server$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression nativeClient(QStringLiteral(R"(^SQL Server Native Client (\d+)(?:\.(\d+))?$)"),
                                                 QRegularExpression::CaseInsensitiveOption);
    QString best;
    int bestRank = -1;
    for (const QString &name : installed) {
        int rank = -1;
        if (const auto m = current.match(name); m.hasMatch())
            rank = 10000 + m.captured(1).toInt();
        else if (const auto n = nativeClient.match(name); n.hasMatch())
            rank = 1000 + n.captured(1).toInt() * 10 + n.captured(2).toInt();
        else if (name.compare(QLatin1String("SQL Server"), Qt::CaseInsensitive) == 0)
            rank = 0;
        if (rank > bestRank) {
            bestRank = rank;
            best = name;
        }
    }
    return best;
}

QString chooseDriver(const QString &override)
{
    if (!override.trimmed().isEmpty())
        return override.trimmed();
#ifdef Q_OS_WIN
    const QString newest = newestSqlServerDriver(installedDrivers());
    return newest.isEmpty() ? QStringLiteral("SQL Server") : newest;
#else
    return QStringLiteral("FreeTDS");
#endif
}

QString choosePostgresDriver(const QString &override)
{
    return override.trimmed().isEmpty() ? QStringLiteral("PostgreSQL Unicode") : override.trimmed();
}

bool isMicrosoftDriver(const QString &driver)
{
    return !newestSqlServerDriver({driver}).isEmpty();
}

} // namespace olm::odbc
