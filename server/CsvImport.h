// Filling the catalogues (groups, students, teachers, disciplines, curriculum) from CSV files with a header
// row: every bad row named by its line, and nothing written unless every row is good.
#pragma once

#include "text/CsvReader.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace olm::server {

enum class ImportKind { Groups, Students, Teachers, Disciplines, Curriculum };

/// "groups", "students", "teachers", "disciplines", "curriculum".
std::optional<ImportKind> importKindNamed(const QString &word);
QString importKindWord(ImportKind kind);
/// The header names the kind takes, required ones first.
QStringList importColumns(ImportKind kind);

struct ImportResult {
    int imported = 0;     ///< rows written; 0 whenever problems is not empty
    QStringList problems; ///< "line 7: ..." for every bad row, or one line when the file cannot be read at all
};

/// Imports the records (the header first) in one transaction. References (a student's group, the
/// curriculum's group, semester, discipline, form of assessment and teacher) are by name, or by id when no
/// row has that name. Cells are trimmed.
ImportResult importRecords(const QString &database, ImportKind kind, const QList<text::CsvRecord> &records);
/// Reads, decodes and imports the file.
ImportResult importCsvFile(const QString &database, ImportKind kind, const QString &file, text::CsvEncoding encoding);

} // namespace olm::server
