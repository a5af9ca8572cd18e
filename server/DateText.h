// Dates as the server stores them (ISO text) and as T-SQL literals spell them (in the session's DATEFORMAT).
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

namespace olm::server {

/// "yyyy-MM-dd": how date columns hold their values.
QString storedDate(const QDate &date);
/// "yyyy-MM-dd HH:mm:ss.zzz": how date-time columns hold their values.
QString storedDateTime(const QDateTime &dateTime);
/// Reads a stored value ("yyyy-MM-dd" with an optional time); invalid when the text is not one.
QDateTime parseStoredDateTime(const QString &text);
/// The same from the stored UTF-8 bytes: the usual forms are read by position, and the local offset is
/// looked up once per hour of the calendar rather than asked of the C library for every value.
QDateTime parseStoredDateTime(const char *text, int size);
/// The date part of a stored value; invalid when the text is not one.
QDate parseStoredDate(const char *text, int size);

/// True for the orders SET DATEFORMAT accepts (dmy, mdy, ymd, ydm, myd, dym).
bool isDateOrder(const QString &order);
/// Reads a quoted literal: ISO forms (yyyy-mm-dd, yyyymmdd, with a 'T' time) whatever the order,
/// otherwise day, month and year in the session's order; an optional time follows after a blank.
std::optional<QDateTime> parseDateLiteral(const QString &text, const QString &order);

} // namespace olm::server
