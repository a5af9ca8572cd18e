// How the tool prints tables: a header line of column names, then tab-separated rows.
#pragma once

#include "server/Result.h"

#include <QStringList>
#include <QTextStream>
#include <QVariant>

namespace olm::admin {

/// One value as printed: NULL for SQL NULL, 1/0 for bits, ISO dates; tabs and line breaks escaped.
QString cellText(const QVariant &value);
void printRow(QTextStream &out, const QStringList &cells);
void printTable(QTextStream &out, const QStringList &header, const QList<QStringList> &rows);
void printResultSet(QTextStream &out, const server::ResultSet &set);

/// Prints rows from their stored UTF-8 bytes with cellText's escapes, written out in large blocks: a listing of
/// any length in constant memory and without turning every value into an object and back.
class StoredRowPrinter {
public:
    enum class Kind { Text, Number, DateTime }; ///< NULL prints as "", "NULL" and "" respectively
    StoredRowPrinter(QTextStream &out, QList<Kind> kinds);
    ~StoredRowPrinter();
    StoredRowPrinter(const StoredRowPrinter &) = delete;
    StoredRowPrinter &operator=(const StoredRowPrinter &) = delete;
    void print(const QByteArrayView *row);

private:
    void flush();
    QTextStream &m_out;
    QList<Kind> m_kinds;
    QByteArray m_buffer;
};

} // namespace olm::admin
