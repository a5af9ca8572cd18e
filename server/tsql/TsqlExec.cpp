// The T-SQL front's reading of EXEC calls: procedure name, positional and named arguments; on PostgreSQL
// the same call as a function call.
#include "TsqlStatement.h"

#include "text/SingleQuotes.h"

#include <QStringList>

#include <climits>
#include <functional>

namespace olm::tsql {

namespace {

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

// The procedure's name at k, as written without its schema and group number; k moves past it.
bool readProcedureName(const Statement &s, int &k, QString *name, QString *error)
{
    QStringList parts;
    while (true) {
        if (!s.at(k).isIdentifier()) {
            *error = syntaxNear(s.at(k).text.isEmpty() ? QStringLiteral("EXEC") : s.at(k).text);
            return false;
        }
        parts.append(s.at(k).name());
        ++k;
        if (!s.at(k).isSymbol("."))
            break;
        ++k;
    }
    // A group number ("name;1") sticks to the name; a ';' with a blank after it ends the statement.
    if (s.at(k).isSymbol(";") && s.adjacent(k) && s.at(k + 1).kind == TokenKind::Number && s.adjacent(k + 1))
        k += 2;
    if (parts.size() > 3 || (parts.size() >= 2 && parts.at(parts.size() - 2).compare(QLatin1String("dbo"), Qt::CaseInsensitive) != 0)) {
        *error = QStringLiteral("Could not find stored procedure '%1'.").arg(parts.join(QLatin1Char('.')));
        return false;
    }
    *name = parts.last();
    return true;
}

/// Reads EXEC [@status =] name[;n] [[@name =] value, ...] (the status is not kept): the procedure's name, and
/// each argument through readArgument, which reads the value at k and moves k past it.
bool readCall(const Statement &s, QString *procedure, QString *error,
              const std::function<bool(const QString &name, int &k)> &readArgument)
{
    int k = 1;
    if (s.at(k).kind == TokenKind::Variable && s.at(k + 1).isSymbol("="))
        k += 2;
    if (!readProcedureName(s, k, procedure, error))
        return false;
    bool first = true;
    while (!s.endsAt(k)) {
        if (!first) {
            if (!s.at(k).isSymbol(",")) {
                *error = syntaxNear(s.at(k).text.isEmpty() ? QStringLiteral("EXEC") : s.at(k).text);
                return false;
            }
            ++k;
        }
        first = false;
        QString name;
        if (s.at(k).kind == TokenKind::Variable && s.at(k + 1).isSymbol("=")) {
            name = s.at(k).text;
            k += 2;
        }
        if (!readArgument(name, k))
            return false;
    }
    return true;
}

class ExecReader {
public:
    ExecReader(const Statement &s, const QVariantList &params, QString *error)
        : m_s(s), m_params(params), m_error(error) {}

    std::optional<Translated> read()
    {
        Translated result;
        result.kind = Translated::Kind::Execute;
        const bool read = readCall(m_s, &result.procedure, m_error, [&](const QString &name, int &k) {
            Argument argument{name, QVariant()};
            if (!readValue(k, &argument.value))
                return false;
            result.arguments.append(argument);
            return true;
        });
        if (!read)
            return std::nullopt;
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

// EXEC name arguments as the call of a PostgreSQL function: each argument keeps its text (an untyped literal
// takes the parameter's type there), N'' loses its N, a bare word becomes the string T-SQL takes it for, and
// a named argument uses PostgreSQL's "name => value".
class PostgresCallWriter {
public:
    PostgresCallWriter(const Statement &s, QString *error) : m_s(s), m_error(error) {}

    std::optional<Translated> write()
    {
        Translated result;
        result.kind = Translated::Kind::Execute;
        QStringList arguments;
        const bool read = readCall(m_s, &result.procedure, m_error, [&](const QString &name, int &k) {
            const auto value = valueText(k);
            if (value)
                arguments.append((name.isEmpty() ? QString() : postgresName(name.mid(1)) + QLatin1String(" => ")) + *value);
            return value.has_value();
        });
        if (!read)
            return std::nullopt;
        result.sql = QLatin1String("select * from ") + postgresName(result.procedure) + QLatin1Char('(')
            + arguments.join(QLatin1String(", ")) + QLatin1Char(')');
        result.verb = QStringLiteral("EXEC");
        return result;
    }

private:
    std::nullopt_t fail(const QString &near)
    {
        *m_error = syntaxNear(near.isEmpty() ? QStringLiteral("EXEC") : near);
        return std::nullopt;
    }

    std::optional<QString> valueText(int &k)
    {
        QString sign;
        if ((m_s.at(k).isSymbol("-") || m_s.at(k).isSymbol("+")) && m_s.at(k + 1).kind == TokenKind::Number) {
            sign = m_s.at(k).text == QLatin1String("-") ? QStringLiteral("-") : QString();
            ++k;
        }
        const Token &v = m_s.at(k++);
        switch (v.kind) {
        case TokenKind::String:
            return v.text;
        case TokenKind::NString:
            return olm::text::singleQuotedLiteral(v.stringValue());
        case TokenKind::Number:
            return sign + v.text;
        case TokenKind::Word:
            return v.isWord("NULL") ? QStringLiteral("NULL") : olm::text::singleQuotedLiteral(v.text);
        case TokenKind::Parameter:
            if (v.text == QLatin1String("?"))
                return v.text;
            return fail(v.text);
        case TokenKind::Variable:
            *m_error = QStringLiteral("Must declare the scalar variable \"%1\".").arg(v.text);
            return std::nullopt;
        default:
            return fail(v.text);
        }
    }

    const Statement &m_s;
    QString *m_error;
};

} // namespace

std::optional<Translated> readExec(const Statement &statement, const QVariantList &params, QString *error)
{
    return ExecReader(statement, params, error).read();
}

std::optional<Translated> postgresCall(const Statement &statement, QString *error)
{
    return PostgresCallWriter(statement, error).write();
}

} // namespace olm::tsql
