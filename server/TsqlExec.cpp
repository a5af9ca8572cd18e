// The T-SQL front's reading of EXEC calls: procedure name, positional and named arguments.
#include "TsqlStatement.h"

#include <QStringList>

#include <climits>

namespace olm::server::tsql {

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

} // namespace

std::optional<Translated> readExec(const Statement &statement, const QVariantList &params, QString *error)
{
    return ExecReader(statement, params, error).read();
}

} // namespace olm::server::tsql
