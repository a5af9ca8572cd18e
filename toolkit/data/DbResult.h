// What a backend answers to one statement or procedure call: columns, rows, rows affected, the return value
// and the server's error text. Every backend produces these; the dataset layer consumes nothing else.
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <vector>

namespace olm::dataset {

/// One column of a result set.
struct ColumnInfo {
    QString name;                                  ///< as the statement names it (alias or column name)
    QMetaType::Type type = QMetaType::QString;     ///< Int, LongLong, Double, Bool, QString, QDate, QDateTime, QByteArray
    int size = 0;                                  ///< declared length of text columns, 0 when unknown or unlimited
    bool autoIncrement = false;                    ///< the table's identity column
    bool readOnly = false;                         ///< computed or identity: the client cannot write it
    QString baseTable;                             ///< table the column comes from, empty for expressions
};

/// Rows of one SELECT (or of a procedure's SELECT). SQL NULL is a null QVariant of the column's type.
struct ResultSet {
    QList<ColumnInfo> columns;
    std::vector<QVariantList> rows;
};

/// The outcome of one statement text or procedure call. Errors are values here: ok false and the server's
/// own message text (driver tags removed) in error.
struct Outcome {
    bool ok = true;
    QString error;
    std::vector<ResultSet> resultSets;   ///< in the order the server produced them; empty for plain commands
    qint64 rowsAffected = -1;            ///< of the last INSERT/UPDATE/DELETE, -1 when none ran
    QVariant returnValue;                ///< a procedure's return value (int), null for statements

    static Outcome failure(const QString &text)
    {
        Outcome o;
        o.ok = false;
        o.error = text;
        return o;
    }
    const ResultSet *firstResult() const { return resultSets.empty() ? nullptr : &resultSets.front(); }
};

} // namespace olm::dataset
