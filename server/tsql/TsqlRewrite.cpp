// The T-SQL front's rewriting of statements into the target dialect (SQLite or PostgreSQL): TOP, dbo., N''
// literals, names, functions, parameter markers, and date literals read in the session's DATEFORMAT.
#include "TsqlStatement.h"

#include "server/DateText.h"
#include "text/SingleQuotes.h"

#include <QSet>
#include <QStringList>

namespace olm::tsql {

namespace {

bool isComparison(const Token &t)
{
    static const QStringList ops{QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("!="), QStringLiteral("<"),
                                 QStringLiteral(">"), QStringLiteral("<="), QStringLiteral(">=")};
    return t.kind == TokenKind::Symbol && ops.contains(t.text);
}

// Words PostgreSQL reserves (also those allowed only as function or type names): as names they are quoted.
bool isPostgresReserved(const QString &lower)
{
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char *word :
             {"all", "analyse", "analyze", "and", "any", "array", "as", "asc", "asymmetric", "authorization", "binary",
              "both", "case", "cast", "check", "collate", "collation", "column", "concurrently", "constraint", "create",
              "cross", "current_catalog", "current_date", "current_role", "current_schema", "current_time",
              "current_timestamp", "current_user", "default", "deferrable", "desc", "distinct", "do", "else", "end",
              "except", "false", "fetch", "for", "foreign", "freeze", "from", "full", "grant", "group", "having",
              "ilike", "in", "initially", "inner", "intersect", "into", "is", "isnull", "join", "lateral", "leading",
              "left", "like", "limit", "localtime", "localtimestamp", "natural", "not", "notnull", "null", "offset",
              "on", "only", "or", "order", "outer", "overlaps", "placing", "primary", "references", "returning",
              "right", "select", "session_user", "similar", "some", "symmetric", "table", "tablesample", "then", "to",
              "trailing", "true", "union", "unique", "user", "using", "variadic", "verbose", "when", "where",
              "window", "with"})
            set.insert(QLatin1String(word));
        return set;
    }();
    return words.contains(lower);
}

bool isPlainPostgresName(const QString &name)
{
    if (name.isEmpty() || !(name.at(0).isLower() || name.at(0) == QLatin1Char('_')))
        return false;
    for (const QChar c : name)
        if (!(c.isLower() || c.isDigit() || c == QLatin1Char('_')))
            return false;
    return true;
}

QString quotedPostgresName(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

class SqlRewriter {
public:
    SqlRewriter(const Statement &s, const FrontContext &context, QString *error)
        : m_s(s), m_context(context), m_error(error), m_postgres(context.dialect == Dialect::PostgreSQL)
    {
        for (const Token &t : s.tokens())
            m_out.append(t.text);
        m_before.resize(s.tokens().size());
    }

    std::optional<QString> rewrite()
    {
        numberParameters();
        if (m_postgres)
            collectAliases();
        for (int k = 0; k < m_s.count(); ++k) {
            const Token &t = m_s.at(k);
            if (t.isIdentifier() && t.name().compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0
                && m_s.at(k + 1).isSymbol(".") && m_s.at(k + 2).isIdentifier())
                dropSchema(k);
            else if (m_postgres && t.kind == TokenKind::Word && m_s.at(k + 1).isSymbol("(") && !m_s.at(k - 1).isSymbol("."))
                renamePostgresFunction(k);
            else if (m_postgres && t.isIdentifier())
                set(k, postgresIdentifier(k));
            else if (m_postgres && t.isSymbol("+") && (isText(m_s.at(k - 1)) || isText(m_s.at(k + 1))))
                set(k, QStringLiteral("||")); // T-SQL joins texts with +
            else if (t.kind == TokenKind::Bracketed && t.name().contains(QLatin1Char(']')))
                set(k, QLatin1Char('"') + t.name().replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"'));
            else if (t.kind == TokenKind::NString)
                set(k, olm::text::singleQuotedLiteral(t.stringValue()));
            else if (t.kind == TokenKind::Word && m_s.at(k + 1).isSymbol("(") && !m_s.at(k - 1).isSymbol("."))
                renameFunction(k);
        }
        for (int k = 0; k < m_s.count(); ++k) {
            if (m_s.at(k).isWord("TOP") && !rewriteTop(k))
                return std::nullopt;
        }
        if (!normaliseDates())
            return std::nullopt;
        QString sql;
        for (qsizetype i = 0; i < m_out.size(); ++i)
            sql += m_before.at(i) + m_out.at(i);
        sql += m_after;
        return m_postgres ? plainMarkers(sql) : sql;
    }

    QList<int> parameterOrder() const { return m_parameterOrder; }

private:
    // PostgreSQL's driver takes '?' in the order of the text: the numbers go, and the order they had is kept
    // when TOP moved a marker.
    QString plainMarkers(const QString &sql)
    {
        QString error;
        const auto tokens = tokenize(sql, &error);
        if (!tokens)
            return sql;
        QString result;
        QList<int> order;
        bool moved = false;
        for (const Token &t : *tokens) {
            if (t.kind == TokenKind::Parameter && t.text.size() > 1 && t.text.at(0) == QLatin1Char('?')) {
                order.append(t.text.mid(1).toInt() - 1);
                moved = moved || order.last() != order.size() - 1;
                result += QLatin1Char('?');
            } else {
                result += t.text;
            }
        }
        if (moved)
            m_parameterOrder = order;
        return result;
    }

    static bool isText(const Token &t) { return t.kind == TokenKind::String || t.kind == TokenKind::NString; }
    void set(int k, const QString &text) { m_out[m_s.tokenIndex(k)] = text; }
    QString current(int k) const { return m_out.at(m_s.tokenIndex(k)); }

    // Gives every '?' the index SQLite would give it, written out, so that a marker moved by TOP keeps it.
    // Named markers take the next index at their first appearance, as SQLite numbers them.
    void numberParameters()
    {
        int number = 0;
        QSet<QString> named;
        for (int k = 0; k < m_s.count(); ++k) {
            const Token &t = m_s.at(k);
            if (t.kind != TokenKind::Parameter)
                continue;
            if (t.text == QLatin1String("?"))
                set(k, QStringLiteral("?%1").arg(++number));
            else if (m_postgres)
                continue; // only '?' marks a value there; ":text" after ':' is a cast
            else if (t.text.startsWith(QLatin1Char('?')))
                number = qMax(number, t.text.mid(1).toInt());
            else if (!named.contains(t.text)) {
                named.insert(t.text);
                ++number;
            }
        }
    }

    void dropSchema(int k)
    {
        // "olm.dbo.name" and "dbo.name" both mean the name in the one database.
        if (m_s.at(k - 1).isSymbol(".") && m_s.at(k - 2).isIdentifier()) {
            set(k - 2, QString());
            set(k - 1, QString());
        }
        set(k, QString());
        set(k + 1, QString());
    }

    void renameFunction(int k)
    {
        static const QHash<QString, QString> names{{QStringLiteral("isnull"), QStringLiteral("ifnull")},
                                                   {QStringLiteral("len"), QStringLiteral("length")}};
        const auto it = names.find(m_s.at(k).text.toLower());
        if (it != names.end())
            set(k, it.value());
    }

    // -- PostgreSQL names --

    // The opening parenthesis of the group position k stands in, or -1.
    int enclosingParenthesis(int k) const
    {
        int depth = 0;
        for (int j = k - 1; j >= 0; --j) {
            if (m_s.at(j).isSymbol(")"))
                ++depth;
            else if (m_s.at(j).isSymbol("(") && depth-- == 0)
                return j;
        }
        return -1;
    }

    // "x AS name" outside CAST/CONVERT names a column or table: the name keeps its spelling.
    bool isAlias(int k) const
    {
        if (!m_s.at(k - 1).isWord("AS") || !m_s.at(k).isIdentifier())
            return false;
        const int open = enclosingParenthesis(k - 1);
        const Token &function = m_s.at(open - 1);
        return open < 0 || !(function.isWord("CAST") || function.isWord("CONVERT") || function.isWord("TRY_CAST"));
    }

    void collectAliases()
    {
        for (int k = 1; k < m_s.count(); ++k) {
            if (!isAlias(k))
                continue;
            const QString name = m_s.at(k).name();
            if (name != name.toLower())
                m_aliases.insert(name.toLower(), name);
        }
    }

    QString postgresIdentifier(int k) const
    {
        const Token &t = m_s.at(k);
        const QString name = t.name();
        if (!m_s.at(k - 1).isSymbol(".")) {
            const auto alias = m_aliases.constFind(name.toLower());
            if (alias != m_aliases.cend())
                return quotedPostgresName(alias.value());
        }
        // A bare word may be a keyword: folded, never quoted.
        return t.kind == TokenKind::Word ? name.toLower() : postgresName(name);
    }

    void renamePostgresFunction(int k)
    {
        static const QHash<QString, QString> names{{QStringLiteral("isnull"), QStringLiteral("coalesce")},
                                                   {QStringLiteral("len"), QStringLiteral("length")},
                                                   {QStringLiteral("getdate"), QStringLiteral("localtimestamp")}};
        const QString lower = m_s.at(k).text.toLower();
        const auto it = names.find(lower);
        set(k, it == names.end() ? lower : it.value());
        // GETDATE() is a call; LOCALTIMESTAMP is a value.
        if (lower == QLatin1String("getdate") && m_s.at(k + 2).isSymbol(")")) {
            set(k + 1, QString());
            set(k + 2, QString());
        }
    }

    bool rewriteTop(int k)
    {
        const bool afterSelect = m_s.at(k - 1).isWord("SELECT")
            || ((m_s.at(k - 1).isWord("DISTINCT") || m_s.at(k - 1).isWord("ALL")) && m_s.at(k - 2).isWord("SELECT"));
        if (!afterSelect)
            return true; // a column called top
        QString limit;
        int end = k + 1;
        if (m_s.at(k + 1).kind == TokenKind::Number) {
            limit = m_s.at(k + 1).text;
            end = k + 2;
        } else if (m_s.at(k + 1).isSymbol("(")
                   && (m_s.at(k + 2).kind == TokenKind::Number || m_s.at(k + 2).kind == TokenKind::Parameter)
                   && m_s.at(k + 3).isSymbol(")")) {
            limit = current(k + 2);
            end = k + 4;
        } else {
            *m_error = syntaxNear(QStringLiteral("TOP"));
            return false;
        }
        if (m_s.at(end).isWord("PERCENT") || (m_s.at(end).isWord("WITH") && m_s.at(end + 1).isWord("TIES"))) {
            *m_error = QStringLiteral("TOP with PERCENT or WITH TIES is not supported.");
            return false;
        }
        for (int j = k; j < end; ++j)
            set(j, QString());
        int depth = 0;
        for (int j = end; j < m_s.count(); ++j) {
            const Token &t = m_s.at(j);
            if (t.isSymbol("(")) {
                ++depth;
            } else if (t.isSymbol(")") && depth-- == 0) {
                m_before[m_s.tokenIndex(j)] += QStringLiteral(" LIMIT %1").arg(limit);
                return true;
            } else if (depth == 0 && t.isSymbol(";")) {
                m_before[m_s.tokenIndex(j)] += QStringLiteral(" LIMIT %1").arg(limit);
                return true;
            } else if (depth == 0 && (t.isWord("UNION") || t.isWord("EXCEPT") || t.isWord("INTERSECT"))) {
                *m_error = QStringLiteral("TOP in a compound SELECT is not supported.");
                return false;
            }
        }
        m_after += QStringLiteral(" LIMIT %1").arg(limit);
        return true;
    }

    // -- date literals --

    std::optional<bool> dateColumn(const Token &t) const
    {
        if (!t.isIdentifier() || !m_context.dateColumns)
            return std::nullopt;
        const auto it = m_context.dateColumns->find(t.name().toLower());
        if (it == m_context.dateColumns->end())
            return std::nullopt;
        return it.value();
    }

    // The date column a literal at position k is compared with, if any.
    std::optional<bool> comparedColumn(int k) const
    {
        if (auto column = dateColumn(m_s.at(k - 2)); column && isComparison(m_s.at(k - 1)))
            return column;
        if (auto column = dateColumn(m_s.at(k + 2)); column && isComparison(m_s.at(k + 1)))
            return column;
        int j = k - 1;
        if (m_s.at(j).isWord("AND") && m_s.at(j - 1).kind == TokenKind::String)
            j -= 2;
        if (m_s.at(j).isWord("BETWEEN")) {
            const int c = m_s.at(j - 1).isWord("NOT") ? j - 2 : j - 1;
            return dateColumn(m_s.at(c));
        }
        j = k - 1;
        while (m_s.at(j).isSymbol(",") && m_s.at(j - 1).kind == TokenKind::String)
            j -= 2;
        if (m_s.at(j).isSymbol("(") && m_s.at(j - 1).isWord("IN")) {
            const int c = m_s.at(j - 2).isWord("NOT") ? j - 3 : j - 2;
            return dateColumn(m_s.at(c));
        }
        return std::nullopt;
    }

    // Literals of INSERT ... (columns) VALUES (...), (...) that land in date columns.
    QHash<int, bool> insertedDates() const
    {
        QHash<int, bool> result;
        if (!m_s.at(0).isWord("INSERT"))
            return result;
        int k = m_s.at(1).isWord("INTO") ? 2 : 1;
        while (m_s.at(k).isIdentifier() && m_s.at(k + 1).isSymbol("."))
            k += 2;
        if (!m_s.at(k + 1).isSymbol("("))
            return result;
        QList<std::optional<bool>> columns;
        for (k += 2; m_s.at(k).isIdentifier(); k += 2) {
            columns.append(dateColumn(m_s.at(k)));
            if (!m_s.at(k + 1).isSymbol(","))
                break;
        }
        if (!m_s.at(k + 1).isSymbol(")") || !m_s.at(k + 2).isWord("VALUES"))
            return result;
        k += 3;
        while (m_s.at(k).isSymbol("(")) {
            int slot = 0, depth = 0, slotStart = k + 1;
            for (++k; k < m_s.count(); ++k) {
                const Token &t = m_s.at(k);
                if (t.isSymbol("(")) {
                    ++depth;
                } else if ((t.isSymbol(",") && depth == 0) || (t.isSymbol(")") && depth-- == 0)) {
                    if (k == slotStart + 1 && m_s.at(slotStart).kind == TokenKind::String && slot < columns.size()
                        && columns.at(slot))
                        result.insert(slotStart, *columns.at(slot));
                    ++slot;
                    slotStart = k + 1;
                    if (t.isSymbol(")"))
                        break;
                }
            }
            ++k;
            if (!m_s.at(k).isSymbol(","))
                break;
            ++k;
        }
        return result;
    }

    bool normaliseDates()
    {
        const QHash<int, bool> inserted = insertedDates();
        for (int k = 0; k < m_s.count(); ++k) {
            const Token &t = m_s.at(k);
            if (t.kind != TokenKind::String && t.kind != TokenKind::NString)
                continue;
            std::optional<bool> dateOnly = inserted.contains(k) ? std::optional<bool>(inserted.value(k)) : comparedColumn(k);
            if (!dateOnly)
                continue;
            const auto stamp = olm::server::parseDateLiteral(t.stringValue(), m_context.dateOrder);
            if (!stamp) {
                *m_error = QStringLiteral("Conversion failed when converting date and/or time from character string.");
                return false;
            }
            set(k, olm::text::singleQuotedLiteral(*dateOnly ? olm::server::storedDate(stamp->date()) : olm::server::storedDateTime(*stamp)));
        }
        return true;
    }

    const Statement &m_s;
    const FrontContext &m_context;
    QString *m_error;
    QStringList m_out;          // text of every token after rewriting
    QStringList m_before;       // inserted before a token
    QString m_after;            // appended at the end
    const bool m_postgres;
    QHash<QString, QString> m_aliases; // lower case -> the spelling of an alias that is not all lower case
    QList<int> m_parameterOrder;
};

} // namespace

std::optional<QString> rewriteSql(const Statement &statement, const FrontContext &context, QList<int> *parameterOrder,
                                  QString *error)
{
    SqlRewriter rewriter(statement, context, error);
    auto sql = rewriter.rewrite();
    if (sql && parameterOrder)
        *parameterOrder = rewriter.parameterOrder();
    return sql;
}

QString postgresName(const QString &name)
{
    const QString lower = name.toLower();
    return isPlainPostgresName(lower) && !isPostgresReserved(lower) ? lower : quotedPostgresName(lower);
}

} // namespace olm::tsql
