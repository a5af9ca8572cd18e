// The T-SQL front: reads one statement text as the client sends it and says what to do with it: a
// session option, a procedure call with its arguments, or an SQLite statement to prepare.
#pragma once

#include <QHash>
#include <QString>
#include <QVariantList>

#include <optional>

namespace olm::server::tsql {

struct FrontContext {
    QString dateOrder = QStringLiteral("mdy");       ///< the session's DATEFORMAT
    const QHash<QString, bool> *dateColumns = nullptr; ///< lower-case name -> date only
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
    QList<Argument> arguments;   ///< Execute
    QString sql;                 ///< Sql: the SQLite text; its parameters are numbered ?1, ?2... in the client's order
    QString verb;                ///< Sql: the first word, upper case (SELECT, UPDATE, PRAGMA...)
};

/// Reads a statement text; params feed the '?' markers of EXEC arguments. Nothing with *error set
/// (worded as SQL Server words it) when the text cannot be accepted.
std::optional<Translated> translate(const QString &text, const QVariantList &params, const FrontContext &context,
                                    QString *error);

} // namespace olm::server::tsql
