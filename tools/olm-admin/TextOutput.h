// How the tool prints tables: a header line of column names, then tab-separated rows.
#pragma once

#include "server/Result.h"

#include <QStringList>
#include <QTextStream>
#include <QVariant>

namespace olm::admin {

/// One value as printed: NULL for SQL NULL, 1/0 for bits, ISO dates; tabs and line breaks escaped.
QString cellText(const QVariant &value);
void printTable(QTextStream &out, const QStringList &header, const QList<QStringList> &rows);
void printResultSet(QTextStream &out, const server::ResultSet &set);

} // namespace olm::admin
