// Table printing for olm-admin.
#include "TextOutput.h"

#include "server/DateText.h"

#include <QIODevice>

namespace olm::admin {

QString cellText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    QString text;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        text = value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        break;
    case QMetaType::QDate:
        text = server::storedDate(value.toDate());
        break;
    case QMetaType::QDateTime:
        text = server::storedDateTime(value.toDateTime());
        break;
    default:
        text = value.toString();
        break;
    }
    return text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\t'), QStringLiteral("\\t"))
        .replace(QLatin1Char('\n'), QStringLiteral("\\n"))
        .replace(QLatin1Char('\r'), QStringLiteral("\\r"));
}

void printRow(QTextStream &out, const QStringList &cells)
{
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out << '\t';
        out << cells.at(i);
    }
    out << '\n';
}

void printTable(QTextStream &out, const QStringList &header, const QList<QStringList> &rows)
{
    printRow(out, header);
    for (const QStringList &row : rows)
        printRow(out, row);
}

void printResultSet(QTextStream &out, const server::ResultSet &set)
{
    QStringList header;
    for (const server::ColumnInfo &column : set.columns)
        header.append(column.name);
    QList<QStringList> rows;
    for (const QVariantList &row : set.rows) {
        QStringList cells;
        for (const QVariant &value : row)
            cells.append(cellText(value));
        rows.append(cells);
    }
    printTable(out, header, rows);
}

StoredRowPrinter::StoredRowPrinter(QTextStream &out, QList<Kind> kinds)
    : m_out(out)
    , m_kinds(std::move(kinds))
{
    m_out.flush(); // what was printed before comes first
}

StoredRowPrinter::~StoredRowPrinter()
{
    flush();
}

void StoredRowPrinter::flush()
{
    if (m_buffer.isEmpty())
        return;
    if (QIODevice *device = m_out.device())
        device->write(m_buffer);
    else
        m_out << QString::fromUtf8(m_buffer);
    m_buffer.clear();
}

void StoredRowPrinter::print(const QByteArrayView *row)
{
    for (qsizetype i = 0; i < m_kinds.size(); ++i) {
        if (i > 0)
            m_buffer += '\t';
        const QByteArrayView value = row[i];
        const Kind kind = m_kinds.at(i);
        if (value.isNull()) {
            if (kind == Kind::Number)
                m_buffer += "NULL";
            continue;
        }
        // Stamps the server wrote are in the printed form already; others are read and written out again.
        if (kind == Kind::DateTime && value.size() != 23) {
            m_buffer += server::storedDateTime(server::parseStoredDateTime(value.data(), int(value.size()))).toUtf8();
            continue;
        }
        for (const char c : value) {
            switch (c) {
            case '\\': m_buffer += "\\\\"; break;
            case '\t': m_buffer += "\\t"; break;
            case '\n': m_buffer += "\\n"; break;
            case '\r': m_buffer += "\\r"; break;
            default: m_buffer += c; break;
            }
        }
    }
    m_buffer += '\n';
    if (m_buffer.size() > 1 << 16)
        flush();
}

} // namespace olm::admin
