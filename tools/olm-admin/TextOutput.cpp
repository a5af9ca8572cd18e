// Table printing for olm-admin.
#include "TextOutput.h"

#include "server/DateText.h"

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

void printTable(QTextStream &out, const QStringList &header, const QList<QStringList> &rows)
{
    out << header.join(QLatin1Char('\t')) << '\n';
    for (const QStringList &row : rows)
        out << row.join(QLatin1Char('\t')) << '\n';
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

} // namespace olm::admin
