// The statements that write one edited, inserted or deleted record back to its table, with bound values
// and the optimistic check (the fields concerned must still hold the values this client read).
#pragma once

#include "DataSet.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

namespace olm::dataset {

struct SqlStatement {
    QString text;
    QVariantList params;
    bool isEmpty() const { return text.isEmpty(); }
};

/// Where a record goes.
struct WriteTarget {
    QString table;
    QStringList keyFields;        ///< field names that identify the row
    QString identityField;        ///< the auto-increment column, empty when none
    QSet<QString> tableColumns;   ///< lower-case names of the columns of the table; empty: every data field
    QSet<QString> readOnly;       ///< lower-case names the server computes (identity, computed columns)
    /// How the server quotes names; brackets when not set.
    std::function<QString(const QString &)> quote;
};

/// "[name]", "[dbo].[name]"; a closing bracket inside is doubled.
QString quoteIdentifier(const QString &name);

/// UPDATE of the changed fields; empty when nothing changed. EDatabaseError when the key is unusable.
SqlStatement updateStatement(const TRowChange &change, const WriteTarget &target);
/// DELETE by the key, requiring the other fields of the table to hold the values read.
SqlStatement deleteStatement(const TRowChange &change, const WriteTarget &target);
/// INSERT of the non-null fields the server does not compute.
SqlStatement insertStatement(const TRowChange &change, const WriteTarget &target);
/// Reads the written row back (identity and server-set values): by the identity for an insert, by the key
/// otherwise. Empty when the row cannot be identified.
SqlStatement reselectStatement(const TRowChange &change, const WriteTarget &target);

/// The message of a write that matched no row.
QString changedByAnotherUserText();

} // namespace olm::dataset
