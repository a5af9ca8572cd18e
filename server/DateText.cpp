// Date literal reading and the stored date texts.
#include "DateText.h"

#include <QHash>
#include <QRegularExpression>

namespace olm::server {

namespace {

constexpr int earliestYear = 1753; // the first year SQL Server's datetime type holds

std::optional<QTime> parseTime(QString text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return QTime(0, 0);
    static const QRegularExpression re(
        QStringLiteral(R"(^(\d{1,2}):(\d{2})(?::(\d{2})(?:[.,](\d{1,3}))?)?\s*([AaPp][Mm])?$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int hour = m.captured(1).toInt();
    const QString half = m.captured(5).toUpper();
    if (!half.isEmpty()) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (half == QLatin1String("PM") ? 12 : 0);
    }
    const int ms = m.captured(4).isEmpty() ? 0 : m.captured(4).leftJustified(3, QLatin1Char('0')).toInt();
    QTime time(hour, m.captured(2).toInt(), m.captured(3).toInt(), ms);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

int fullYear(const QString &digits)
{
    const int year = digits.toInt();
    if (digits.size() > 2)
        return year;
    return year < 50 ? 2000 + year : 1900 + year; // SQL Server's two-digit year cutoff
}

std::optional<QDateTime> combine(int year, int month, int day, const QString &timeText)
{
    const QDate date(year, month, day);
    if (!date.isValid() || year < earliestYear)
        return std::nullopt;
    const auto time = parseTime(timeText);
    if (!time)
        return std::nullopt;
    return QDateTime(date, *time);
}

int digitsAt(const char *text, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "yyyy-MM-dd" at the start of text.
QDate dateAt(const char *text, int size)
{
    if (size < 10 || text[4] != '-' || text[7] != '-')
        return {};
    const int year = digitsAt(text, 4), month = digitsAt(text + 5, 2), day = digitsAt(text + 8, 2);
    return year < 0 || month < 0 || day < 0 ? QDate() : QDate(year, month, day);
}

// "HH:mm", "HH:mm:ss" or "HH:mm:ss.z" to ".zzz"; nothing for any other form.
std::optional<QTime> timeAt(const char *text, int size)
{
    if (size != 5 && (size < 8 || text[5] != ':') )
        return std::nullopt;
    if (text[2] != ':' || (size > 8 && (text[8] != '.' || size > 12 || size == 9)))
        return std::nullopt;
    const int hour = digitsAt(text, 2), minute = digitsAt(text + 3, 2), second = size >= 8 ? digitsAt(text + 6, 2) : 0;
    int ms = 0;
    for (int i = 9; i < 12; ++i) {
        const int digit = i < size ? digitsAt(text + i, 1) : 0;
        if (digit < 0)
            return std::nullopt;
        ms = ms * 10 + digit;
    }
    if (hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    const QTime time(hour, minute, second, ms);
    return time.isValid() ? std::optional<QTime>(time) : std::nullopt;
}

// A local date-time. Building one in local time asks the C library for the zone each time (and it re-reads
// the zone file on every call); the offset of one hour of the calendar is the same for every value in it.
QDateTime localDateTime(const QDate &date, const QTime &time)
{
    thread_local QHash<qint64, int> offsets;
    const qint64 hour = date.toJulianDay() * 24 + time.hour();
    auto found = offsets.constFind(hour);
    if (found == offsets.cend()) {
        if (offsets.size() > 100000)
            offsets.clear();
        found = offsets.insert(hour, QDateTime(date, QTime(time.hour(), 0)).offsetFromUtc());
    }
    return QDateTime(date, time, Qt::OffsetFromUTC, *found);
}

} // namespace

QDate parseStoredDate(const char *text, int size)
{
    if (size == 10 || (size > 10 && (text[10] == ' ' || text[10] == 'T')))
        return dateAt(text, size);
    return parseStoredDateTime(QString::fromUtf8(text, size)).date();
}

QDateTime parseStoredDateTime(const char *text, int size)
{
    const QDate date = dateAt(text, size);
    if (date.isValid() && size == 10)
        return localDateTime(date, QTime(0, 0));
    if (date.isValid() && (text[10] == ' ' || text[10] == 'T')) {
        if (const auto time = timeAt(text + 11, size - 11))
            return localDateTime(date, *time);
    }
    // Anything else (a 12-hour time, blanks) the general reader takes.
    return parseStoredDateTime(QString::fromUtf8(text, size));
}

QString storedDate(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString storedDateTime(const QDateTime &dateTime)
{
    return dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QDateTime parseStoredDateTime(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2})(?:[ T](.*))?$)"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const auto time = parseTime(m.captured(4));
    if (!date.isValid() || !time)
        return {};
    return QDateTime(date, *time);
}

bool isDateOrder(const QString &order)
{
    static const QStringList orders{QStringLiteral("dmy"), QStringLiteral("mdy"), QStringLiteral("ymd"),
                                    QStringLiteral("ydm"), QStringLiteral("myd"), QStringLiteral("dym")};
    return orders.contains(order.toLower());
}

std::optional<QDateTime> parseDateLiteral(const QString &text, const QString &order)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QDateTime(QDate(1900, 1, 1), QTime(0, 0)); // SQL Server reads '' as its base date

    static const QRegularExpression iso(QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})T(.+)$)"));
    if (const auto m = iso.match(trimmed); m.hasMatch())
        return combine(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4));

    static const QRegularExpression compact(QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})(?:\s+(.*))?$)"));
    if (const auto m = compact.match(trimmed); m.hasMatch())
        return combine(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4));

    static const QRegularExpression parts(
        QStringLiteral(R"(^(\d{1,4})([./-])(\d{1,4})\2(\d{1,4})(?:\s+(.*))?$)"));
    const auto m = parts.match(trimmed);
    if (!m.hasMatch() || !isDateOrder(order))
        return std::nullopt;
    const QString first = m.captured(1), second = m.captured(3), third = m.captured(4);
    if (first.size() == 4) // a leading four-digit year always reads year, month, day
        return combine(first.toInt(), second.toInt(), third.toInt(), m.captured(5));

    const QString lower = order.toLower();
    const QString values[3] = {first, second, third};
    QString day, month, year;
    for (int i = 0; i < 3; ++i) {
        switch (lower.at(i).toLatin1()) {
        case 'd': day = values[i]; break;
        case 'm': month = values[i]; break;
        default: year = values[i]; break;
        }
    }
    if (day.size() > 2 || month.size() > 2 || year.size() == 3)
        return std::nullopt;
    return combine(fullYear(year), month.toInt(), day.toInt(), m.captured(5));
}

} // namespace olm::server
