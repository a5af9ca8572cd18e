// Value rules shared by fields, parameters, filters and sorting.
#include "FieldValue.h"

#include "Exceptions.h"
#include "text/SingleQuotes.h"

#include <QCollator>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace olm::dataset {

namespace {

bool isIntegerMeta(int id)
{
    switch (id) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isNumericMeta(int id) { return isIntegerMeta(id) || id == QMetaType::Double || id == QMetaType::Float; }

QString quotedText(const QVariant &value)
{
    return QLatin1Char('\'') + value.toString() + QLatin1Char('\'');
}

bool toInteger(const QVariant &value, qlonglong *out)
{
    const int id = value.typeId();
    if (isIntegerMeta(id) || id == QMetaType::Bool) {
        *out = value.toLongLong();
        return true;
    }
    if (id == QMetaType::Double || id == QMetaType::Float) {
        const double d = value.toDouble();
        if (!std::isfinite(d) || std::fabs(d) > 9.2e18)
            return false;
        *out = std::llround(d);
        return true;
    }
    if (id == QMetaType::QString || id == QMetaType::QByteArray) {
        bool ok = false;
        *out = value.toString().trimmed().toLongLong(&ok, 10);
        return ok;
    }
    return false;
}

bool toFloat(const QVariant &value, double *out)
{
    const int id = value.typeId();
    if (isNumericMeta(id) || id == QMetaType::Bool) {
        *out = value.toDouble();
        return true;
    }
    if (id == QMetaType::QString || id == QMetaType::QByteArray) {
        QString text = value.toString().trimmed();
        bool ok = false;
        *out = QLocale::c().toDouble(text, &ok);
        if (!ok) {
            text.replace(QLatin1Char(','), QLatin1Char('.'));
            *out = QLocale::c().toDouble(text, &ok);
        }
        return ok;
    }
    return false;
}

bool toBoolean(const QVariant &value, bool *out)
{
    const int id = value.typeId();
    if (id == QMetaType::Bool || isNumericMeta(id)) {
        *out = value.toDouble() != 0;
        return true;
    }
    if (id == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
            *out = true;
            return true;
        }
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
            *out = false;
            return true;
        }
        bool ok = false;
        const double number = QLocale::c().toDouble(text, &ok);
        if (ok)
            *out = number != 0;
        return ok;
    }
    return false;
}

bool toDateTime(const QVariant &value, QDateTime *out)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        *out = value.toDateTime();
        return out->isValid();
    case QMetaType::QDate:
        *out = QDateTime(value.toDate(), QTime(0, 0));
        return out->isValid();
    case QMetaType::QString:
        return parseDateTimeText(value.toString(), out);
    default:
        return false;
    }
}

QCollator &russianCollator()
{
    static thread_local QCollator collator = [] {
        QCollator c(QLocale(QLocale::Russian, QLocale::Russia));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(false);
        return c;
    }();
    return collator;
}

} // namespace

QMetaType metaTypeOf(TFieldType type)
{
    switch (type) {
    case ftString: case ftWideString: case ftFixedWideChar: return QMetaType::fromType<QString>();
    case ftSmallint: case ftInteger: case ftAutoInc: return QMetaType::fromType<int>();
    case ftLargeint: return QMetaType::fromType<qlonglong>();
    case ftBoolean: return QMetaType::fromType<bool>();
    case ftFloat: return QMetaType::fromType<double>();
    case ftDate: return QMetaType::fromType<QDate>();
    case ftDateTime: return QMetaType::fromType<QDateTime>();
    case ftUnknown: break;
    }
    return QMetaType::fromType<QString>();
}

QVariant typedNull(TFieldType type) { return QVariant(metaTypeOf(type)); }

TFieldType fieldTypeOfColumn(int metaTypeId, bool autoIncrement)
{
    if (autoIncrement)
        return ftAutoInc;
    switch (metaTypeId) {
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::SChar: case QMetaType::UChar:
        return ftSmallint;
    case QMetaType::Int: case QMetaType::UInt: return ftInteger;
    case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Long: case QMetaType::ULong:
        return ftLargeint;
    case QMetaType::Bool: return ftBoolean;
    case QMetaType::Double: case QMetaType::Float: return ftFloat;
    case QMetaType::QDate: return ftDate;
    case QMetaType::QDateTime: return ftDateTime;
    default: return ftWideString;
    }
}

bool parseDateTimeText(const QString &input, QDateTime *out, bool *hasTime)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*(\d{1,4})[./-](\d{1,2})[./-](\d{1,4})(?:[ T]+(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,3}))?)?)?\s*$)"));
    const QRegularExpressionMatch m = pattern.match(input);
    if (!m.hasMatch())
        return false;
    int first = m.captured(1).toInt(), second = m.captured(2).toInt(), third = m.captured(3).toInt();
    int day, month, year;
    if (m.captured(1).size() == 4) {   // year first: 2009-01-12
        year = first;
        month = second;
        day = third;
    } else {
        day = first;
        month = second;
        year = third;
        if (m.captured(3).size() <= 2)
            year += year < 50 ? 2000 : 1900;
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return false;
    QTime time(0, 0);
    const bool timeGiven = m.capturedLength(4) > 0;
    if (timeGiven) {
        time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(),
                     m.captured(7).isEmpty() ? 0 : m.captured(7).leftJustified(3, QLatin1Char('0')).toInt());
        if (!time.isValid())
            return false;
    }
    if (hasTime)
        *hasTime = timeGiven;
    *out = QDateTime(date, time);
    return true;
}

bool tryConvert(const QVariant &value, TFieldType type, QVariant *out, QString *error)
{
    if (isNullValue(value)) {
        *out = typedNull(type);
        return true;
    }
    const bool isText = value.typeId() == QMetaType::QString;
    const bool isStringType = type == ftString || type == ftWideString || type == ftFixedWideChar;
    // A blank text, or the separators of an empty edit mask, stand for NULL.
    static const QRegularExpression maskOnly(QStringLiteral(R"(^[\s./:-]*$)"));
    if (isText && !isStringType && maskOnly.match(value.toString()).hasMatch()) {
        *out = typedNull(type);
        return true;
    }
    auto fail = [&](const char *what) {
        if (error)
            *error = quotedText(value) + QLatin1String(" is not a valid ") + QLatin1String(what);
        return false;
    };
    switch (type) {
    case ftUnknown:
        *out = value;
        return true;
    case ftString: case ftWideString: case ftFixedWideChar:
        if (value.typeId() == QMetaType::QString) {
            *out = value;
        } else {
            const int id = value.typeId();
            const TFieldType from = id == QMetaType::QDate ? ftDate
                : id == QMetaType::QDateTime             ? ftDateTime
                : id == QMetaType::Bool                  ? ftBoolean
                : id == QMetaType::Double                ? ftFloat
                                                         : ftWideString;
            *out = from == ftWideString ? QVariant(value.toString()) : QVariant(standardText(value, from));
        }
        return true;
    case ftSmallint: case ftInteger: case ftAutoInc: case ftLargeint: {
        qlonglong number = 0;
        if (!toInteger(value, &number))
            return fail("integer value");
        if (type == ftLargeint) {
            *out = number;
            return true;
        }
        const qlonglong low = type == ftSmallint ? -32768 : std::numeric_limits<int>::min();
        const qlonglong high = type == ftSmallint ? 32767 : std::numeric_limits<int>::max();
        if (number < low || number > high)
            return fail("integer value");
        *out = int(number);
        return true;
    }
    case ftBoolean: {
        bool flag = false;
        if (!toBoolean(value, &flag))
            return fail("boolean value");
        *out = flag;
        return true;
    }
    case ftFloat: {
        double number = 0;
        if (!toFloat(value, &number))
            return fail("floating point value");
        *out = number;
        return true;
    }
    case ftDate: {
        QDateTime stamp;
        if (!toDateTime(value, &stamp))
            return fail("date");
        *out = stamp.date();
        return true;
    }
    case ftDateTime: {
        QDateTime stamp;
        if (!toDateTime(value, &stamp))
            return fail("date and time");
        *out = stamp;
        return true;
    }
    }
    return fail("value");
}

QVariant convertOrThrow(const QVariant &value, TFieldType type)
{
    QVariant out;
    QString error;
    if (!tryConvert(value, type, &out, &error))
        throw EConvertError(error);
    return out;
}

QString floatText(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    QString text = QString::number(value, 'g', 15);
    if (!text.contains(QLatin1Char('e')))
        return text;
    const int exponent = value == 0 ? 0 : int(std::floor(std::log10(std::fabs(value))));
    text = QString::number(value, 'f', std::max(0, 14 - exponent));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

QString standardText(const QVariant &value, TFieldType type)
{
    if (isNullValue(value))
        return QString();
    switch (type) {
    case ftDate: {
        const QDate date = value.typeId() == QMetaType::QDateTime ? value.toDateTime().date() : value.toDate();
        return date.toString(TFormatSettings::ShortDateFormat);
    }
    case ftDateTime: {
        const QDateTime stamp = value.typeId() == QMetaType::QDate ? QDateTime(value.toDate(), QTime(0, 0))
                                                                   : value.toDateTime();
        QString text = stamp.date().toString(TFormatSettings::ShortDateFormat);
        if (stamp.time() != QTime(0, 0))
            text += QLatin1Char(' ') + stamp.time().toString(TFormatSettings::LongTimeFormat);
        return text;
    }
    case ftBoolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case ftFloat:
        return floatText(value.toDouble());
    default:
        if (value.typeId() == QMetaType::Bool)
            return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        if (value.typeId() == QMetaType::Double)
            return floatText(value.toDouble());
        if (value.typeId() == QMetaType::QDate)
            return standardText(value, ftDate);
        if (value.typeId() == QMetaType::QDateTime)
            return standardText(value, ftDateTime);
        return value.toString();
    }
}

QString qtDatePattern(const QString &format)
{
    // Letters of the display-format notation mapped to Qt's; 'm' after an hour means minutes.
    QString out;
    QString literal;
    auto flushLiteral = [&] {
        if (literal.isEmpty())
            return;
        out += olm::text::singleQuotedLiteral(literal);
        literal.clear();
    };
    bool afterHour = false;
    for (int i = 0; i < format.size();) {
        const QChar c = format.at(i);
        const QChar lower = c.toLower();
        int run = 1;
        while (i + run < format.size() && format.at(i + run).toLower() == lower)
            ++run;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const int end = format.indexOf(c, i + 1);
            literal += format.mid(i + 1, (end < 0 ? format.size() : end) - i - 1);
            i = end < 0 ? format.size() : end + 1;
            continue;
        }
        if (format.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            flushLiteral();
            out += QLatin1String("AP");
            i += 5;
            continue;
        }
        QString token;
        if (lower == QLatin1Char('y'))
            token = run >= 3 ? QStringLiteral("yyyy") : QStringLiteral("yy");
        else if (lower == QLatin1Char('m'))
            token = afterHour && run <= 2 ? QString(run, QLatin1Char('m')) : QString(std::min(run, 4), QLatin1Char('M'));
        else if (lower == QLatin1Char('d'))
            token = QString(std::min(run, 4), QLatin1Char('d'));
        else if (lower == QLatin1Char('h'))
            token = QString(std::min(run, 2), QLatin1Char('h'));
        else if (lower == QLatin1Char('n'))
            token = QString(std::min(run, 2), QLatin1Char('m'));
        else if (lower == QLatin1Char('s'))
            token = QString(std::min(run, 2), QLatin1Char('s'));
        else if (lower == QLatin1Char('z'))
            token = QStringLiteral("zzz");
        if (token.isEmpty()) {
            literal += format.mid(i, run);
        } else {
            flushLiteral();
            out += token;
            if (lower == QLatin1Char('h'))
                afterHour = true;
            else if (lower == QLatin1Char('m') || lower == QLatin1Char('y') || lower == QLatin1Char('d'))
                afterHour = false;
        }
        i += run;
    }
    flushLiteral();
    return out;
}

QString formattedText(const QVariant &value, TFieldType type, const QString &format)
{
    if (format.isEmpty() || isNullValue(value))
        return standardText(value, type);
    switch (type) {
    case ftDate: case ftDateTime: {
        const QDateTime stamp = value.typeId() == QMetaType::QDate ? QDateTime(value.toDate(), QTime(0, 0))
                                                                   : value.toDateTime();
        return stamp.toString(qtDatePattern(format));
    }
    case ftBoolean: {
        const QStringList parts = format.split(QLatin1Char(';'));
        return value.toBool() ? parts.value(0) : parts.value(1);
    }
    case ftFloat: case ftInteger: case ftSmallint: case ftLargeint: case ftAutoInc: {
        const int point = format.indexOf(QLatin1Char('.'));
        int decimals = 0;
        if (point >= 0)
            for (int i = point + 1; i < format.size() && (format.at(i) == QLatin1Char('0') || format.at(i) == QLatin1Char('#')); ++i)
                ++decimals;
        QString text = QString::number(value.toDouble(), 'f', decimals);
        if (format.left(point < 0 ? format.size() : point).contains(QLatin1Char(','))) {
            const int digitsEnd = text.indexOf(QLatin1Char('.')) < 0 ? text.size() : text.indexOf(QLatin1Char('.'));
            const int digitsStart = text.startsWith(QLatin1Char('-')) ? 1 : 0;
            for (int i = digitsEnd - 3; i > digitsStart; i -= 3)
                text.insert(i, QLatin1Char(' '));
        }
        return text;
    }
    default:
        return standardText(value, type);
    }
}

bool valuesEqual(const QVariant &a, const QVariant &b)
{
    const bool nullA = isNullValue(a), nullB = isNullValue(b);
    if (nullA || nullB)
        return nullA && nullB;
    const int ia = a.typeId(), ib = b.typeId();
    if (ia == ib)
        return a == b;
    if (isNumericMeta(ia) && isNumericMeta(ib))
        return a.toDouble() == b.toDouble();
    if ((ia == QMetaType::QDate || ia == QMetaType::QDateTime) && (ib == QMetaType::QDate || ib == QMetaType::QDateTime))
        return a.toDateTime() == b.toDateTime();
    return a.toString() == b.toString();
}

int compareTexts(const QString &a, const QString &b) { return russianCollator().compare(a, b); }

int compareValues(const QVariant &a, const QVariant &b)
{
    const bool nullA = isNullValue(a), nullB = isNullValue(b);
    if (nullA || nullB)
        return nullA == nullB ? 0 : (nullA ? -1 : 1);
    const int ia = a.typeId(), ib = b.typeId();
    if ((isNumericMeta(ia) || ia == QMetaType::Bool) && (isNumericMeta(ib) || ib == QMetaType::Bool)) {
        if (isIntegerMeta(ia) && isIntegerMeta(ib)) {
            const qlonglong x = a.toLongLong(), y = b.toLongLong();
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if ((ia == QMetaType::QDate || ia == QMetaType::QDateTime) && (ib == QMetaType::QDate || ib == QMetaType::QDateTime)) {
        const QDateTime x = ia == QMetaType::QDate ? QDateTime(a.toDate(), QTime(0, 0)) : a.toDateTime();
        const QDateTime y = ib == QMetaType::QDate ? QDateTime(b.toDate(), QTime(0, 0)) : b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return compareTexts(a.toString(), b.toString());
}

QString indexKeyPart(const QVariant &value)
{
    if (isNullValue(value))
        return QStringLiteral("\x01");
    const int id = value.typeId();
    if (isIntegerMeta(id))
        return QLatin1Char('i') + QString::number(value.toLongLong());
    switch (id) {
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("b1") : QStringLiteral("b0");
    case QMetaType::Double: case QMetaType::Float: return QLatin1Char('d') + QString::number(value.toDouble(), 'g', 17);
    case QMetaType::QDate: return QLatin1Char('D') + QString::number(value.toDate().toJulianDay());
    case QMetaType::QDateTime: return QLatin1Char('T') + QString::number(value.toDateTime().toMSecsSinceEpoch());
    default: return QLatin1Char('s') + value.toString();
    }
}

} // namespace olm::dataset
