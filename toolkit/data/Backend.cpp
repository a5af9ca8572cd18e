// Connection-string keys and the Data Source's parts.
#include "Backend.h"

namespace {

/// Other spellings of the keys the client relies on.
QString canonicalKey(const QString &key)
{
    const QString folded = key.simplified().toLower();
    if (folded == QLatin1String("server") || folded == QLatin1String("address") || folded == QLatin1String("addr")
        || folded == QLatin1String("network address"))
        return QStringLiteral("data source");
    if (folded == QLatin1String("database"))
        return QStringLiteral("initial catalog");
    if (folded == QLatin1String("uid") || folded == QLatin1String("user") || folded == QLatin1String("user id"))
        return QStringLiteral("user id");
    if (folded == QLatin1String("pwd"))
        return QStringLiteral("password");
    return folded;
}

} // namespace

TConnectionString TConnectionString::parse(const QString &text)
{
    TConnectionString result;
    int pos = 0;
    while (pos < text.size()) {
        const int equals = text.indexOf(QLatin1Char('='), pos);
        if (equals < 0)
            break;
        const QString key = text.mid(pos, equals - pos).trimmed();
        pos = equals + 1;
        while (pos < text.size() && text.at(pos) == QLatin1Char(' '))
            ++pos;
        QString value;
        if (pos < text.size() && (text.at(pos) == QLatin1Char('"') || text.at(pos) == QLatin1Char('\''))) {
            // A quoted value may hold ';'; a doubled quote stands for one.
            const QChar quote = text.at(pos++);
            while (pos < text.size()) {
                if (text.at(pos) == quote) {
                    if (pos + 1 < text.size() && text.at(pos + 1) == quote) {
                        value += quote;
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                value += text.at(pos++);
            }
            const int end = text.indexOf(QLatin1Char(';'), pos);
            pos = end < 0 ? int(text.size()) : end + 1;
        } else {
            const int end = text.indexOf(QLatin1Char(';'), pos);
            value = text.mid(pos, (end < 0 ? text.size() : end) - pos).trimmed();
            pos = end < 0 ? int(text.size()) : end + 1;
        }
        if (!key.isEmpty())
            result.m_values.insert(canonicalKey(key), value);
    }
    return result;
}

QString TConnectionString::value(const QString &key) const { return m_values.value(canonicalKey(key)); }
bool TConnectionString::contains(const QString &key) const { return m_values.contains(canonicalKey(key)); }
bool TConnectionString::isEmbedded() const
{
    return splitDataSource(dataSource()).embedded;
}

DataSourceParts splitDataSource(const QString &dataSource)
{
    DataSourceParts source;
    QString server = dataSource.trimmed();
    if (server.compare(QLatin1String("embedded"), Qt::CaseInsensitive) == 0) {
        source.embedded = true;
        return source;
    }
    if (const qsizetype comma = server.lastIndexOf(QLatin1Char(',')); comma >= 0) {
        source.port = server.mid(comma + 1).trimmed();
        server = server.left(comma).trimmed();
    }
    if (server.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive)) {
        server = server.mid(4);
    } else if (server.startsWith(QLatin1String("pg:"), Qt::CaseInsensitive)) {
        server = server.mid(3).trimmed();
        source.postgres = true;
    }
    if (const qsizetype backslash = server.indexOf(QLatin1Char('\\')); backslash >= 0) {
        source.instance = server.mid(backslash + 1).trimmed();
        server = server.left(backslash).trimmed();
    }
    if (server == QLatin1String(".") || server.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        server = QStringLiteral("localhost");
    source.host = server;
    return source;
}


QString clientConnectionString(const QString &userId, const QString &password, const QString &catalog,
                               const QString &dataSource)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Password=") + password
        + QStringLiteral(";Persist Security Info=True;User ID=") + userId + QStringLiteral(";Initial Catalog=")
        + catalog + QStringLiteral(";Data Source=") + dataSource
        + QStringLiteral(";Use Procedure for Prepare=1;Auto Translate=True;")
        + QStringLiteral("Packet Size=4096;Use Encryption for Data=False;")
        + QStringLiteral("Tag with column collation when possible=False");
}
