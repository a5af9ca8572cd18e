// The block of whole grid rows that travels through the clipboard: single-byte text, each value ended by
// byte 01 and each row by byte 02, no header, no count and no terminating zero.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace olm::gridevents {

inline constexpr char blockValueEnd = '\x01';
inline constexpr char blockRowEnd = '\x02';

/// Appends one row, its values in column order. False, with block left as it was, when a value cannot be
/// carried: it holds a terminator byte or a character the single-byte code page lacks.
bool appendBlockRow(QByteArray &block, const QStringList &values);

/// What a block gives a grid of a given number of columns.
struct DecodedBlock {
    /// The well-formed rows, in block order, each with exactly one value per column.
    QList<QStringList> rows;
    /// Rows left out: another number of values than columns, or bytes after the last row terminator.
    int refusedRows = 0;
};

/// Splits block into rows of columnCount values each; a malformed row never eats into the next one.
DecodedBlock decodeBlock(const QByteArray &block, int columnCount);

} // namespace olm::gridevents
