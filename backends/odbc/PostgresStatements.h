// The client's T-SQL statement texts as PostgreSQL reads them, with what T-SQL keeps in the server's session
// (the DATEFORMAT) kept here, on the client's side of the connection.
#pragma once

#include <QHash>
#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

namespace olm::odbc {

struct PostgresStatement {
    enum class Kind {
        Nothing,   ///< a session option PostgreSQL needs nothing for
        Statement, ///< text to run as it is
        Call,      ///< a procedure's function call: a last "RETURN_VALUE" set is its return value
    };
    Kind kind = Kind::Nothing;
    QString text;        ///< with '?' markers
    QVariantList params; ///< in the order of the markers of text
};

class PostgresStatements {
public:
    /// The date and date-time columns of the database (lower-case name -> date only), asked for once, when a
    /// statement first holds a literal.
    using DateColumnsReader = std::function<QHash<QString, bool>()>;
    explicit PostgresStatements(DateColumnsReader readDateColumns);

    /// The statement to run for a client's text; nothing with *error set when the text cannot be read.
    std::optional<PostgresStatement> translate(const QString &text, const QVariantList &params, QString *error);
    /// "select * from name(?, ?)": a procedure ("NAME;1") called with its arguments.
    static QString callText(const QString &procedure, qsizetype argumentCount);

private:
    DateColumnsReader m_readDateColumns;
    std::optional<QHash<QString, bool>> m_dateColumns;
    QString m_dateOrder = QStringLiteral("mdy");
    struct Translation {
        PostgresStatement::Kind kind;
        QString text;
        QList<int> order; ///< the client's value each marker takes; empty: the client's order
    };
    QHash<QString, Translation> m_cache; // by client text, in the current date order
};

} // namespace olm::odbc
