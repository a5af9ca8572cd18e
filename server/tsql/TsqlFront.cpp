// The T-SQL front: tells SET options, EXEC calls and statements apart, and reads the SET options itself.
#include "TsqlFront.h"

#include "server/DateText.h"
#include "TsqlStatement.h"

#include <QStringList>

namespace olm::tsql {

QString syntaxNear(const QString &text)
{
    return QStringLiteral("Incorrect syntax near '%1'.").arg(text);
}

namespace {

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
        if (!olm::server::isDateOrder(result.value)) {
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
        return context.dialect == Dialect::PostgreSQL ? postgresCall(statement, error) : readExec(statement, params, error);
    Translated result;
    auto sql = rewriteSql(statement, context, &result.parameterOrder, error);
    if (!sql)
        return std::nullopt;
    result.kind = Translated::Kind::Sql;
    result.sql = *sql;
    result.verb = first.kind == TokenKind::Word ? first.text.toUpper() : first.text;
    return result;
}

} // namespace olm::tsql
