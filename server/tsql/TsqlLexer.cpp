// The T-SQL tokenizer.
#include "TsqlLexer.h"

#include <QStringList>

namespace olm::tsql {

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('#');
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('#') || c == QLatin1Char('$')
        || c == QLatin1Char('@');
}

// Position after a quoted run that starts at i (the opening character) and doubles its closing one, or -1.
qsizetype closeQuoted(const QString &text, qsizetype i, QChar close)
{
    for (qsizetype j = i + 1; j < text.size(); ++j) {
        if (text.at(j) != close)
            continue;
        if (j + 1 < text.size() && text.at(j + 1) == close) {
            ++j;
            continue;
        }
        return j + 1;
    }
    return -1;
}

qsizetype closeComment(const QString &text, qsizetype i)
{
    int depth = 0;
    for (qsizetype j = i; j + 1 < text.size(); ++j) {
        if (text.at(j) == QLatin1Char('/') && text.at(j + 1) == QLatin1Char('*')) {
            ++depth;
            ++j;
        } else if (text.at(j) == QLatin1Char('*') && text.at(j + 1) == QLatin1Char('/')) {
            ++j;
            if (--depth == 0)
                return j + 1;
        }
    }
    return -1;
}

qsizetype numberEnd(const QString &text, qsizetype i)
{
    qsizetype j = i;
    while (j < text.size() && text.at(j).isDigit())
        ++j;
    if (j < text.size() && text.at(j) == QLatin1Char('.')) {
        ++j;
        while (j < text.size() && text.at(j).isDigit())
            ++j;
    }
    if (j < text.size() && (text.at(j) == QLatin1Char('e') || text.at(j) == QLatin1Char('E'))) {
        qsizetype k = j + 1;
        if (k < text.size() && (text.at(k) == QLatin1Char('+') || text.at(k) == QLatin1Char('-')))
            ++k;
        if (k < text.size() && text.at(k).isDigit()) {
            while (k < text.size() && text.at(k).isDigit())
                ++k;
            j = k;
        }
    }
    return j;
}

} // namespace

QString Token::name() const
{
    switch (kind) {
    case TokenKind::Bracketed:
        return text.mid(1, text.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
    case TokenKind::Quoted:
        return text.mid(1, text.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    default:
        return text;
    }
}

QString Token::stringValue() const
{
    const qsizetype start = kind == TokenKind::NString ? 2 : 1;
    return text.mid(start, text.size() - start - 1).replace(QStringLiteral("''"), QStringLiteral("'"));
}

std::optional<QList<Token>> tokenize(const QString &text, QString *error)
{
    QList<Token> tokens;
    qsizetype i = 0;
    const auto add = [&](TokenKind kind, qsizetype end) {
        tokens.append({kind, text.mid(i, end - i)});
        i = end;
    };
    while (i < text.size()) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (c.isSpace()) {
            qsizetype j = i;
            while (j < text.size() && text.at(j).isSpace())
                ++j;
            add(TokenKind::Space, j);
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            const qsizetype end = text.indexOf(QLatin1Char('\n'), i);
            add(TokenKind::Comment, end < 0 ? text.size() : end);
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            const qsizetype end = closeComment(text, i);
            if (end < 0) {
                *error = QStringLiteral("Missing end comment mark '*/'.");
                return std::nullopt;
            }
            add(TokenKind::Comment, end);
        } else if (c == QLatin1Char('\'') || ((c == QLatin1Char('N') || c == QLatin1Char('n')) && next == QLatin1Char('\''))) {
            const bool national = c != QLatin1Char('\'');
            const qsizetype end = closeQuoted(text, national ? i + 1 : i, QLatin1Char('\''));
            if (end < 0) {
                *error = QStringLiteral("Unclosed quotation mark after the character string '%1'.")
                             .arg(text.mid(i + (national ? 2 : 1)));
                return std::nullopt;
            }
            add(national ? TokenKind::NString : TokenKind::String, end);
        } else if (c == QLatin1Char('[') || c == QLatin1Char('"')) {
            const qsizetype end = closeQuoted(text, i, c == QLatin1Char('[') ? QLatin1Char(']') : QLatin1Char('"'));
            if (end < 0) {
                *error = QStringLiteral("Unclosed quotation mark after the character string '%1'.").arg(text.mid(i + 1));
                return std::nullopt;
            }
            add(c == QLatin1Char('[') ? TokenKind::Bracketed : TokenKind::Quoted, end);
        } else if (c == QLatin1Char('@') && i + 1 < text.size() && isWordPart(next)) {
            qsizetype j = i + 1;
            while (j < text.size() && isWordPart(text.at(j)))
                ++j;
            add(TokenKind::Variable, j);
        } else if (isWordStart(c)) {
            qsizetype j = i + 1;
            while (j < text.size() && isWordPart(text.at(j)))
                ++j;
            add(TokenKind::Word, j);
        } else if (c.isDigit() || (c == QLatin1Char('.') && next.isDigit())) {
            add(TokenKind::Number, numberEnd(text, i));
        } else if (c == QLatin1Char('?')) {
            qsizetype j = i + 1;
            while (j < text.size() && text.at(j).isDigit())
                ++j;
            add(TokenKind::Parameter, j);
        } else if (c == QLatin1Char(':') && isWordStart(next)) {
            qsizetype j = i + 1;
            while (j < text.size() && isWordPart(text.at(j)))
                ++j;
            add(TokenKind::Parameter, j);
        } else {
            static const QStringList pairs{QStringLiteral("<>"), QStringLiteral("!="), QStringLiteral("<="),
                                           QStringLiteral(">="), QStringLiteral("||"), QStringLiteral("!<"),
                                           QStringLiteral("!>"), QStringLiteral("<<"), QStringLiteral(">>")};
            add(TokenKind::Symbol, pairs.contains(text.mid(i, 2)) ? i + 2 : i + 1);
        }
    }
    return tokens;
}

} // namespace olm::tsql
