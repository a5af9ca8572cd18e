// The clipboard block of whole grid rows: writing rows into it and reading them back.
#include "gridevents/ClipboardBlock.h"

#include "text/Windows1251.h"

#include <optional>

namespace olm::gridevents {

namespace {

// The one place where the block's code page is applied; a value it cannot carry is refused, never replaced.
std::optional<QByteArray> singleByteText(const QString &text)
{
    return olm::text::toWindows1251(text);
}

QString textOfBytes(const QByteArray &bytes)
{
    return olm::text::fromWindows1251(bytes);
}

} // namespace

bool appendBlockRow(QByteArray &block, const QStringList &values)
{
    QByteArray row;
    for (const QString &value : values) {
        const std::optional<QByteArray> bytes = singleByteText(value);
        if (!bytes || bytes->contains(blockValueEnd) || bytes->contains(blockRowEnd))
            return false;
        row += *bytes;
        row += blockValueEnd;
    }
    row += blockRowEnd;
    block += row;
    return true;
}

DecodedBlock decodeBlock(const QByteArray &block, int columnCount)
{
    DecodedBlock decoded;
    qsizetype start = 0;
    while (start < block.size()) {
        const qsizetype end = block.indexOf(blockRowEnd, start);
        if (end < 0) {
            ++decoded.refusedRows;   // a row without its terminator
            break;
        }
        const QByteArray row = block.mid(start, end - start);
        start = end + 1;
        // n values leave n terminators, the last one closing the row text (empty for no columns).
        const bool closed = columnCount > 0 ? row.endsWith(blockValueEnd) : row.isEmpty();
        if (!closed || row.count(blockValueEnd) != columnCount) {
            ++decoded.refusedRows;
            continue;
        }
        QStringList values;
        values.reserve(columnCount);
        qsizetype valueStart = 0;
        for (int i = 0; i < columnCount; ++i) {
            const qsizetype valueEnd = row.indexOf(blockValueEnd, valueStart);
            values.append(textOfBytes(row.mid(valueStart, valueEnd - valueStart)));
            valueStart = valueEnd + 1;
        }
        decoded.rows.append(values);
    }
    return decoded;
}

} // namespace olm::gridevents
