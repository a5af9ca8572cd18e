// The T-SQL front: reads one statement text as the client sends it and says what to do with it: a
// session option, a procedure call, or a statement to prepare in the target server's dialect.
#pragma once

#include <QHash>
#include <QString>
#include <QVariantList>

#include <optional>

namespace olm::tsql {

/// The server a statement is rewritten for.
enum class Dialect {
    Sqlite,     ///< the embedded server: EXEC is read into a procedure and its argument values
    PostgreSQL, ///< names folded to lower case, EXEC becomes "select * from name(arguments)"
};

struct FrontContext {
    QString dateOrder = QStringLiteral("mdy");       ///< the session's DATEFORMAT
    const QHash<QString, bool> *dateColumns = nullptr; ///< lower-case name -> date only
    Dialect dialect = Dialect::Sqlite;
};

struct Argument {
    QString name; ///< "@group" for a named argument, empty for a positional one
    QVariant value;
};

struct Translated {
    enum class Kind { Empty, SetOption, Execute, Sql };
    Kind kind = Kind::Empty;
    QString option;              ///< SetOption: upper-case option name (DATEFORMAT, NOCOUNT...)
    QString value;               ///< SetOption: its value (dmy, ON...)
    QString procedure;           ///< Execute: the name as written, without schema and group number
    QList<Argument> arguments;   ///< Execute on SQLite
    /// Sql: the SQLite text, its parameters numbered ?1, ?2... in the client's order. On PostgreSQL, Sql and
    /// Execute: the text with plain '?' markers; the EXEC of a procedure is its function call.
    QString sql;
    /// PostgreSQL: the client's index of the value each '?' of sql takes, in the order of the text; empty when
    /// the markers keep the client's order.
    QList<int> parameterOrder;
    QString verb;                ///< Sql: the first word, upper case (SELECT, UPDATE, PRAGMA...)
};

/// Reads a statement text; params feed the '?' markers of EXEC arguments. Nothing with *error set
/// (worded as SQL Server words it) when the text cannot be accepted.
std::optional<Translated> translate(const QString &text, const QVariantList &params, const FrontContext &context,
                                    QString *error);

/// A name as PostgreSQL reads it: folded to lower case, quoted when it is a reserved word or not a plain name.
QString postgresName(const QString &name);

} // namespace olm::tsql
