// The T-SQL front: SET options, EXEC calls and the rewriting of TOP, dbo., N'' and date literals.
#include "TsqlFront.h"

#include "DateText.h"
#include "TsqlLexer.h"

#include <QSet>
#include <QStringList>

#include <climits>
#include <vector>

namespace olm::server::tsql {

namespace {

QString syntaxNear(const QString &text)
{
    return QStringLiteral("Incorrect syntax near '%1'.").arg(text);
}

// The significant tokens of a statement, addressed by position.
class Statement {
public:
    explicit Statement(QList<Token> tokens)
        : m_tokens(std::move(tokens))
    {
        for (qsizetype i = 0; i < m_tokens.size(); ++i) {
            if (m_tokens.at(i).isSignificant())
                m_significant.push_back(int(i));
        }
    }
    int count() const { return int(m_significant.size()); }
    const Token &at(int k) const
    {
        static const Token none{TokenKind::Space, QString()};
        return k >= 0 && k < count() ? m_tokens.at(m_significant[size_t(k)]) : none;
    }
    int tokenIndex(int k) const { return m_significant[size_t(k)]; }
    const QList<Token> &tokens() const { return m_tokens; }
    /// The significant token k directly follows k - 1, with nothing in between.
    bool adjacent(int k) const { return k > 0 && k < count() && tokenIndex(k) == tokenIndex(k - 1) + 1; }
    /// Position k ends the statement (nothing, or a last ';').
    bool endsAt(int k) const { return k >= count() || (at(k).isSymbol(";") && k == count() - 1); }

private:
    QList<Token> m_tokens;
    std::vector<int> m_significant;
};

// ---- SET ------------------------------------------------------------------------------------------

std::optional<Translated> readSet(const Statement &s, QString *error)
{
    const Token &option = s.at(1);
    if (option.kind != TokenKind::Word) {
        *error = syntaxNear(option.text.isEmpty() ? QStringLiteral("SET") : option.text);
        return std::nullopt;
    }
    const Token &value = s.at(2);
    if (!(value.kind == TokenKind::Word || value.kind == TokenKind::String || value.kind == TokenKind::Number)) {
        *error = syntaxNear(value.text.isEmpty() ? option.text : value.text);
        return std::nullopt;
    }
    if (!s.endsAt(3)) {
        *error = syntaxNear(s.at(3).text);
        return std::nullopt;
    }
    Translated result;
    result.kind = Translated::Kind::SetOption;
    result.option = option.text.toUpper();
    result.value = value.kind == TokenKind::String ? value.stringValue() : value.text;
    static const QStringList onOff{QStringLiteral("NOCOUNT"), QStringLiteral("ANSI_NULLS"), QStringLiteral("ANSI_WARNINGS"),
                                   QStringLiteral("ANSI_PADDING"), QStringLiteral("QUOTED_IDENTIFIER"),
                                   QStringLiteral("CONCAT_NULL_YIELDS_NULL"), QStringLiteral("ARITHABORT"),
                                   QStringLiteral("XACT_ABORT")};
    if (result.option == QLatin1String("DATEFORMAT")) {
        if (!isDateOrder(result.value)) {
            *error = QStringLiteral("'%1' is not a valid DATEFORMAT; use dmy, mdy, ymd, ydm, myd or dym.").arg(result.value);
            return std::nullopt;
        }
        result.value = result.value.toLower();
    } else if (onOff.contains(result.option)) {
        result.value = result.value.toUpper();
        if (result.value != QLatin1String("ON") && result.value != QLatin1String("OFF")) {
            *error = syntaxNear(value.text);
            return std::nullopt;
        }
    } else {
        *error = QStringLiteral("'%1' is not a recognized SET option.").arg(option.text);
        return std::nullopt;
    }
    return result;
}

// ---- EXEC -----------------------------------------------------------------------------------------

std::optional<QVariant> numberValue(const QString &text)
{
    bool ok = false;
    const qlonglong whole = text.toLongLong(&ok);
    if (ok)
        return whole >= INT_MIN && whole <= INT_MAX ? QVariant(int(whole)) : QVariant(whole);
    const double real = text.toDouble(&ok);
    if (ok)
        return QVariant(real);
    return std::nullopt;
}

class ExecReader {
public:
    ExecReader(const Statement &s, const QVariantList &params, QString *error)
        : m_s(s), m_params(params), m_error(error) {}

    std::optional<Translated> read()
    {
        Translated result;
        result.kind = Translated::Kind::Execute;
        int k = 1;
        // EXEC @status = name: the status is not kept.
        if (m_s.at(k).kind == TokenKind::Variable && m_s.at(k + 1).isSymbol("="))
            k += 2;
        if (!readName(k, &result.procedure))
            return std::nullopt;
        bool first = true;
        while (!m_s.endsAt(k)) {
            if (!first) {
                if (!m_s.at(k).isSymbol(","))
                    return fail(m_s.at(k).text);
                ++k;
            }
            first = false;
            Argument argument;
            if (m_s.at(k).kind == TokenKind::Variable && m_s.at(k + 1).isSymbol("=")) {
                argument.name = m_s.at(k).text;
                k += 2;
            }
            if (!readValue(k, &argument.value))
                return std::nullopt;
            result.arguments.append(argument);
        }
        if (m_nextParam != m_params.size()) {
            *m_error = QStringLiteral("The statement has %1 parameter markers but %2 values were given.")
                           .arg(m_nextParam)
                           .arg(m_params.size());
            return std::nullopt;
        }
        return result;
    }

private:
    std::nullopt_t fail(const QString &near)
    {
        *m_error = syntaxNear(near.isEmpty() ? QStringLiteral("EXEC") : near);
        return std::nullopt;
    }

    bool readName(int &k, QString *name)
    {
        QStringList parts;
        while (true) {
            if (!m_s.at(k).isIdentifier()) {
                fail(m_s.at(k).text);
                return false;
            }
            parts.append(m_s.at(k).name());
            ++k;
            if (!m_s.at(k).isSymbol("."))
                break;
            ++k;
        }
        // A group number ("name;1") sticks to the name; a ';' with a blank after it ends the statement.
        if (m_s.at(k).isSymbol(";") && m_s.adjacent(k) && m_s.at(k + 1).kind == TokenKind::Number && m_s.adjacent(k + 1))
            k += 2;
        if (parts.size() > 3 || (parts.size() >= 2 && parts.at(parts.size() - 2).compare(QLatin1String("dbo"), Qt::CaseInsensitive) != 0)) {
            *m_error = QStringLiteral("Could not find stored procedure '%1'.").arg(parts.join(QLatin1Char('.')));
            return false;
        }
        *name = parts.last();
        return true;
    }

    bool readValue(int &k, QVariant *value)
    {
        const Token &t = m_s.at(k);
        QString sign;
        if ((t.isSymbol("-") || t.isSymbol("+")) && m_s.at(k + 1).kind == TokenKind::Number) {
            sign = t.text == QLatin1String("-") ? QStringLiteral("-") : QString();
            ++k;
        }
        const Token &v = m_s.at(k);
        switch (v.kind) {
        case TokenKind::String:
        case TokenKind::NString:
            *value = v.stringValue();
            break;
        case TokenKind::Number: {
            const auto number = numberValue(sign + v.text);
            if (!number) {
                fail(v.text);
                return false;
            }
            *value = *number;
            break;
        }
        case TokenKind::Word:
            // NULL, or a bare word, which T-SQL takes as a string argument.
            *value = v.isWord("NULL") ? QVariant() : QVariant(v.text);
            break;
        case TokenKind::Parameter:
            if (v.text != QLatin1String("?") || m_nextParam >= m_params.size()) {
                *m_error = v.text == QLatin1String("?")
                    ? QStringLiteral("The statement has more parameter markers than values were given.")
                    : syntaxNear(v.text);
                return false;
            }
            *value = m_params.at(m_nextParam++);
            break;
        case TokenKind::Variable:
            *m_error = QStringLiteral("Must declare the scalar variable \"%1\".").arg(v.text);
            return false;
        default:
            fail(v.text);
            return false;
        }
        ++k;
        return true;
    }

    const Statement &m_s;
    const QVariantList &m_params;
    QString *m_error;
    qsizetype m_nextParam = 0;
};

// ---- SQL rewriting --------------------------------------------------------------------------------

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
                set(k, quoted(t.stringValue()));
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
            set(k, quoted(*dateOnly ? storedDate(stamp->date()) : storedDateTime(*stamp)));
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

std::optional<Translated> translate(const QString &text, const QVariantList &params, const FrontContext &context,
                                    QString *error)
{
    auto tokens = tokenize(text, error);
    if (!tokens)
        return std::nullopt;
    const Statement statement(std::move(*tokens));
    if (statement.count() == 0 || (statement.count() == 1 && statement.at(0).isSymbol(";")))
        return Translated{};
    const Token &first = statement.at(0);
    if (first.isWord("SET") && statement.at(1).kind == TokenKind::Word)
        return readSet(statement, error);
    if (first.isWord("EXEC") || first.isWord("EXECUTE"))
        return ExecReader(statement, params, error).read();
    auto sql = SqlRewriter(statement, context, error).rewrite();
    if (!sql)
        return std::nullopt;
    Translated result;
    result.kind = Translated::Kind::Sql;
    result.sql = *sql;
    result.verb = first.kind == TokenKind::Word ? first.text.toUpper() : first.text;
    return result;
}

} // namespace olm::server::tsql
