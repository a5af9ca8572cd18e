// What the parts of the T-SQL front share: a statement's significant tokens by position, and the readers
// of EXEC calls and of SQL statements to rewrite.
#pragma once

#include "TsqlFront.h"
#include "TsqlLexer.h"

#include <vector>

namespace olm::tsql {

QString syntaxNear(const QString &text);

/// The significant tokens of a statement, addressed by position; positions past either end read as nothing.
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

/// EXEC [@status =] name[;n] arguments: the call; '?' arguments take params in order.
std::optional<Translated> readExec(const Statement &statement, const QVariantList &params, QString *error);
/// The same EXEC as PostgreSQL's "select * from name(arguments)", '?' markers kept in place.
std::optional<Translated> postgresCall(const Statement &statement, QString *error);
/// The text of a SELECT/INSERT/UPDATE/DELETE in the context's dialect: TOP, dbo., N'', names, functions and
/// date literals; on PostgreSQL *parameterOrder says which client value each '?' takes (Translated).
std::optional<QString> rewriteSql(const Statement &statement, const FrontContext &context, QList<int> *parameterOrder,
                                  QString *error);

} // namespace olm::tsql
