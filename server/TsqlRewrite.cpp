// The T-SQL front's rewriting of statements into SQLite's dialect: TOP, dbo., N'' literals, parameter
// numbers, and date literals read in the session's DATEFORMAT.
#include "TsqlStatement.h"

#include "DateText.h"
#include "text/SingleQuotes.h"

#include <QSet>
#include <QStringList>

namespace olm::server::tsql {

namespace {

bool isComparison(const Token &t)
{
    static const QStringList ops{QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("!="), QStringLiteral("<"),
                                 QStringLiteral(">"), QStringLiteral("<="), QStringLiteral(">=")};
    return t.kind == TokenKind::Symbol && ops.contains(t.text);
}

class SqlRewriter {
public:
    SqlRewriter(const Statement &s, const FrontContext &context, QString *error)
        : m_s(s), m_context(context), m_error(error)
    {
        for (const Token &t : s.tokens())
            m_out.append(t.text);
        m_before.resize(s.tokens().size());
    }

    std::optional<QString> rewrite()
    {
        numberParameters();
        for (int k = 0; k < m_s.count(); ++k) {
            const Token &t = m_s.at(k);
            if (t.isIdentifier() && t.name().compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0
                && m_s.at(k + 1).isSymbol(".") && m_s.at(k + 2).isIdentifier())
                dropSchema(k);
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
        return sql + m_after;
    }

private:
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
            const auto stamp = parseDateLiteral(t.stringValue(), m_context.dateOrder);
            if (!stamp) {
                *m_error = QStringLiteral("Conversion failed when converting date and/or time from character string.");
                return false;
            }
            set(k, olm::text::singleQuotedLiteral(*dateOnly ? storedDate(stamp->date()) : storedDateTime(*stamp)));
        }
        return true;
    }

    const Statement &m_s;
    const FrontContext &m_context;
    QString *m_error;
    QStringList m_out;          // text of every token after rewriting
    QStringList m_before;       // inserted before a token
    QString m_after;            // appended at the end
};

} // namespace

std::optional<QString> rewriteSql(const Statement &statement, const FrontContext &context, QString *error)
{
    return SqlRewriter(statement, context, error).rewrite();
}

} // namespace olm::server::tsql
