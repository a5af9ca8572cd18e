// The CSV reader: decoding of the file's bytes and the RFC 4180 record reader.
#include "CsvReader.h"

#include "Windows1251.h"

#include <QStringDecoder>

namespace olm::text {

namespace {

QChar csvSeparatorOf(const QString &text)
{
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            break;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolons;
    }
    return semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
}

// The first physical line whose bytes are not UTF-8, or 0 when every line is.
int firstLineNotUtf8(const QByteArray &bytes)
{
    int line = 1;
    qsizetype start = 0;
    while (start <= bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString decoded = decoder.decode(QByteArrayView(bytes).sliced(start, end - start));
        if (decoder.hasError())
            return line;
        ++line;
        start = end + 1;
    }
    return 0;
}

} // namespace

std::optional<CsvEncoding> csvEncodingNamed(const QString &name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("utf-8") || n == QLatin1String("utf8"))
        return CsvEncoding::Utf8;
    if (n == QLatin1String("windows-1251") || n == QLatin1String("cp1251"))
        return CsvEncoding::Windows1251;
    return std::nullopt;
}

std::optional<QString> decodeCsvText(const QByteArray &bytes, CsvEncoding encoding, QString *error)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        *error = QStringLiteral("line 1: the file is in UTF-16; save it as UTF-8 or Windows-1251.");
        return std::nullopt;
    }
    const bool marked = bytes.startsWith("\xEF\xBB\xBF");
    if (encoding == CsvEncoding::Windows1251)
        return fromWindows1251(bytes);
    const QByteArray body = marked ? bytes.mid(3) : bytes;
    const int badLine = firstLineNotUtf8(body);
    if (badLine == 0)
        return QString::fromUtf8(body);
    if (encoding == CsvEncoding::Detect && !marked)
        return fromWindows1251(bytes);
    *error = QStringLiteral("line %1: the text is not UTF-8; give the file's encoding with --encoding.").arg(badLine);
    return std::nullopt;
}

std::optional<QList<CsvRecord>> readCsvRecords(const QString &text, QString *error)
{
    const QChar separator = csvSeparatorOf(text);
    QList<CsvRecord> records;
    CsvRecord record{1, {}};
    QString field;
    int line = 1;
    int quoteLine = 0;       // the line an open quoted field started on; 0 outside quotes
    bool closed = false;     // the current field's closing quote has been read
    bool fieldStarted = false;
    const auto endRecord = [&] {
        record.fields.append(field);
        // A line with nothing on it is no record.
        if (record.fields.size() > 1 || !record.fields.first().isEmpty() || closed)
            records.append(record);
        record = CsvRecord{line, {}};
        field.clear();
        closed = fieldStarted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoteLine != 0) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoteLine = 0;
                    closed = true;
                }
            } else {
                if (c == QLatin1Char('\n') || (c == QLatin1Char('\r') && (i + 1 >= text.size() || text.at(i + 1) != QLatin1Char('\n'))))
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == separator) {
            record.fields.append(field);
            field.clear();
            closed = fieldStarted = false;
            continue;
        }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            ++line;
            endRecord();
            continue;
        }
        if (closed) {
            *error = QStringLiteral("line %1: text after the closing double quote of a field.").arg(line);
            return std::nullopt;
        }
        if (c == QLatin1Char('"')) {
            if (fieldStarted) {
                *error = QStringLiteral("line %1: a double quote inside a field that does not start with one; enclose "
                                        "the field in double quotes and double the quote.").arg(line);
                return std::nullopt;
            }
            quoteLine = line;
            fieldStarted = true;
            continue;
        }
        fieldStarted = true;
        field += c;
    }
    if (quoteLine != 0) {
        *error = QStringLiteral("line %1: a quoted field that starts here is not closed.").arg(quoteLine);
        return std::nullopt;
    }
    endRecord();
    return records;
}

} // namespace olm::text
