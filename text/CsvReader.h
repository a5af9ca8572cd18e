// Reading comma-separated files as spreadsheet programs write them: UTF-8 (with or without a byte-order mark)
// or Windows-1251, fields quoted as RFC 4180 asks; every problem is named by its line in the file.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace olm::text {

enum class CsvEncoding {
    Detect,      ///< a UTF-8 byte-order mark or valid UTF-8 gives UTF-8; anything else is read as Windows-1251
    Utf8,
    Windows1251,
};

/// "utf-8" / "utf8" / "windows-1251" / "cp1251" (any case); nothing for another name.
std::optional<CsvEncoding> csvEncodingNamed(const QString &name);

/// The file's text. Refuses UTF-16 and, for UTF-8, a byte sequence that is not UTF-8 ("line 7: ...").
std::optional<QString> decodeCsvText(const QByteArray &bytes, CsvEncoding encoding, QString *error);

struct CsvRecord {
    int line = 0;        ///< the line of the file the record starts on, from 1
    QStringList fields;  ///< as written, quotes removed and doubled quotes made single
};

/// The records of the text. The separator is a comma, or a semicolon when the first line holds more
/// semicolons than commas outside quotes (what spreadsheet programs write in Russian settings). Lines with
/// nothing on them are passed over. A stray or unclosed double quote stops the reading with its line.
std::optional<QList<CsvRecord>> readCsvRecords(const QString &text, QString *error);

} // namespace olm::text
