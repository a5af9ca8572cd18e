// Splits a T-SQL statement text into tokens, keeping every character, so that the front can rewrite the
// few T-SQL forms SQLite lacks and join the rest unchanged.
#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace olm::tsql {

enum class TokenKind {
    Space,       ///< blanks and line breaks
    Comment,     ///< -- to the end of the line, or /* */ (nested)
    Word,        ///< keyword or plain identifier
    Variable,    ///< @name
    Bracketed,   ///< [name], "]]" inside stands for ']'
    Quoted,      ///< "name"
    String,      ///< 'text', "''" inside stands for one quote
    NString,     ///< N'text'
    Number,
    Parameter,   ///< ?, ?NNN or :name
    Symbol,      ///< operators and punctuation
};

struct Token {
    TokenKind kind;
    QString text; ///< exactly as written
    bool isSignificant() const { return kind != TokenKind::Space && kind != TokenKind::Comment; }
    bool isWord(const char *word) const { return kind == TokenKind::Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0; }
    bool isSymbol(const char *symbol) const { return kind == TokenKind::Symbol && text == QLatin1String(symbol); }
    bool isIdentifier() const { return kind == TokenKind::Word || kind == TokenKind::Bracketed || kind == TokenKind::Quoted; }
    /// The name an identifier token stands for, without brackets or quotes.
    QString name() const;
    /// The value of a String or NString token.
    QString stringValue() const;
};

/// Tokens of the text; nothing with *error set for an unclosed quote, bracket or comment.
std::optional<QList<Token>> tokenize(const QString &text, QString *error);


} // namespace olm::tsql
