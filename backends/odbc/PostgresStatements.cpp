// Client statement texts translated for PostgreSQL through the shared T-SQL front, and the DATEFORMAT kept
// client-side.
#include "PostgresStatements.h"

#include "server/tsql/TsqlFront.h"

namespace olm::odbc {

namespace {

constexpr qsizetype maxCachedTexts = 512;

// The orders PostgreSQL's DateStyle can also take: literals the front does not see reach the server in the
// same order.
QString dateStyleFor(const QString &order)
{
    if (order == QLatin1String("dmy"))
        return QStringLiteral("SET DateStyle TO 'ISO, DMY'");
    if (order == QLatin1String("mdy"))
        return QStringLiteral("SET DateStyle TO 'ISO, MDY'");
    if (order == QLatin1String("ymd"))
        return QStringLiteral("SET DateStyle TO 'ISO, YMD'");
    return {};
}

} // namespace

PostgresStatements::PostgresStatements(DateColumnsReader readDateColumns)
    : m_readDateColumns(std::move(readDateColumns))
{
}

QString PostgresStatements::callText(const QString &procedure, qsizetype argumentCount)
{
    const qsizetype semicolon = procedure.indexOf(QLatin1Char(';'));
    QStringList marks;
    for (qsizetype i = 0; i < argumentCount; ++i)
        marks.append(QStringLiteral("?"));
    return QLatin1String("select * from ") + olm::tsql::postgresName(semicolon < 0 ? procedure : procedure.left(semicolon))
        + QLatin1Char('(') + marks.join(QLatin1String(", ")) + QLatin1Char(')');
}

std::optional<PostgresStatement> PostgresStatements::translate(const QString &text, const QVariantList &params,
                                                               QString *error)
{
    using olm::tsql::Translated;
    auto cached = m_cache.constFind(text);
    if (cached == m_cache.cend()) {
        if (m_cache.size() >= maxCachedTexts)
            m_cache.clear(); // texts with values written in are many, and each is seldom sent again
        // Only literals of statements are read as dates (a call's arguments reach the server as written), so
        // the sign-in's call on the bootstrap connection asks nothing.
        if (!m_dateColumns && text.contains(QLatin1Char('\''))
            && !text.trimmed().startsWith(QLatin1String("EXEC"), Qt::CaseInsensitive) && m_readDateColumns)
            m_dateColumns = m_readDateColumns();
        olm::tsql::FrontContext context;
        context.dialect = olm::tsql::Dialect::PostgreSQL;
        context.dateOrder = m_dateOrder;
        context.dateColumns = m_dateColumns ? &*m_dateColumns : nullptr;
        const auto translated = olm::tsql::translate(text, {}, context, error);
        if (!translated)
            return std::nullopt;
        PostgresStatement statement;
        switch (translated->kind) {
        case Translated::Kind::Empty:
            return statement;
        case Translated::Kind::SetOption:
            if (translated->option != QLatin1String("DATEFORMAT"))
                return statement; // NOCOUNT and the ANSI options: PostgreSQL behaves so already
            m_dateOrder = translated->value;
            m_cache.clear(); // literals read in the old order
            statement.text = dateStyleFor(m_dateOrder);
            statement.kind = statement.text.isEmpty() ? PostgresStatement::Kind::Nothing : PostgresStatement::Kind::Statement;
            return statement;
        case Translated::Kind::Execute:
            cached = m_cache.insert(text, {PostgresStatement::Kind::Call, translated->sql, {}});
            break;
        case Translated::Kind::Sql:
            cached = m_cache.insert(text, {PostgresStatement::Kind::Statement, translated->sql, translated->parameterOrder});
            break;
        }
    }
    PostgresStatement statement;
    statement.kind = cached->kind;
    statement.text = cached->text;
    if (cached->order.isEmpty()) {
        statement.params = params;
    } else {
        for (int index : cached->order)
            statement.params.append(params.value(index));
    }
    return statement;
}

} // namespace olm::odbc
