// The backend kinds the program registered, the choice among them, and the driver tags removed from texts.
#include "Backend.h"

#include "WriteBack.h"

#include <QRegularExpression>

#include <vector>

namespace {

std::vector<BackendKind> &registeredKinds()
{
    static std::vector<BackendKind> kinds;
    return kinds;
}

} // namespace

QString DbBackend::quoteIdentifier(const QString &name) const
{
    return olm::dataset::quoteIdentifier(name);
}

QStringList DbBackend::tableColumns(const QString &table, int timeoutSeconds)
{
    // Every server answers a query that selects no row with the table's columns.
    const olm::dataset::Outcome outcome
        = execute(QLatin1String("SELECT * FROM ") + quoteIdentifier(table) + QLatin1String(" WHERE 1 = 0"), {}, timeoutSeconds);
    QStringList names;
    if (const olm::dataset::ResultSet *result = outcome.ok ? outcome.firstResult() : nullptr)
        for (const olm::dataset::ColumnInfo &column : result->columns)
            names.append(column.name.toLower());
    return names;
}

void registerBackend(const BackendKind &kind)
{
    for (BackendKind &known : registeredKinds())
        if (known.name == kind.name) {
            known = kind;
            return;
        }
    registeredKinds().push_back(kind);
}

void unregisterBackend(const QString &name)
{
    std::erase_if(registeredKinds(), [&name](const BackendKind &kind) { return kind.name == name; });
}

bool isBackendRegistered(const QString &name)
{
    for (const BackendKind &kind : registeredKinds())
        if (kind.name == name)
            return true;
    return false;
}

std::unique_ptr<DbBackend> openBackend(const TConnectionString &connection, QString *error)
{
    for (const BackendKind &kind : registeredKinds())
        if (kind.serves && kind.open && kind.serves(connection))
            return kind.open(connection, error);
    if (error) {
        if (connection.dataSource().trimmed().isEmpty())
            *error = QStringLiteral("The connection names no server (Data Source is empty).");
        else
            *error = QStringLiteral("This program cannot reach the server '%1': no database driver for it is "
                                    "built in.").arg(connection.dataSource().trimmed());
    }
    return nullptr;
}

QString stripDriverPrefixes(const QString &text)
{
    // Tags stand at the start of each diagnostic record; records arrive one per line or joined by a space.
    // Inside a record a lone bracketed word can be the server's own ("'[p35]'"), so after a space only a
    // driver's run of two or more tags, or the driver manager's own tag, counts.
    static const QRegularExpression leading(QStringLiteral(R"((^|(?<=[\n;]))[ \t]*(\[[A-Za-z][^\]\n]*\][ \t]*)+)"));
    static const QRegularExpression joined(
        QStringLiteral(R"((?<= )(\[[A-Za-z][^\]\n]*\]){2,}|(?<= )\[unixODBC\])"));
    QString result = text;
    result.replace(leading, QString());
    result.replace(joined, QString());
    return result.trimmed();
}
