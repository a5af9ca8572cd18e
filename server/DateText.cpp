// Date literal reading and the stored date texts.
#include "DateText.h"

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

} // namespace

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
