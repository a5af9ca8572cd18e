// olm-admin import: fills the catalogues from CSV files.
//
// import groups|students|teachers|disciplines|curriculum DB FILE [--encoding utf-8|windows-1251]
//   Adds the rows of a CSV file (a header row naming the columns, UTF-8 or Windows-1251, found out unless
//   --encoding says) in one transaction: one bad row and nothing is added; every bad row is named by its line.
//   Columns: groups name, id, speciality, start_year; students name, id, group; teachers and disciplines
//   name, id; curriculum group, semester, discipline, examination, teacher. References by name or id.
#include "AdminCommands.h"

#include "server/CsvImport.h"

#include <QCommandLineParser>

namespace olm::admin {

int runImportCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption encodingOption(QStringLiteral("encoding"), QString(), QStringLiteral("name"));
    parser.addOption(encodingOption);
    if (!parser.parse(QStringList{QStringLiteral("import")} + arguments))
        return fail(err, parser.errorText());
    const QStringList words = parser.positionalArguments();
    if (words.size() != 3)
        return fail(err, QStringLiteral("import needs a kind (groups, students, teachers, disciplines or curriculum), "
                                        "a database and a file."));
    const auto kind = server::importKindNamed(words.at(0));
    if (!kind)
        return fail(err, QStringLiteral("import knows groups, students, teachers, disciplines and curriculum, not %1.")
                             .arg(words.at(0)));
    text::CsvEncoding encoding = text::CsvEncoding::Detect;
    if (parser.isSet(encodingOption)) {
        const auto named = text::csvEncodingNamed(parser.value(encodingOption));
        if (!named)
            return fail(err, QStringLiteral("--encoding is utf-8 or windows-1251, not %1.").arg(parser.value(encodingOption)));
        encoding = *named;
    }
    const QString &database = words.at(1);
    const QString &file = words.at(2);
    const server::ImportResult result = server::importCsvFile(database, *kind, file, encoding);
    if (!result.problems.isEmpty()) {
        for (const QString &problem : result.problems)
            err << file << ": " << problem << '\n';
        return fail(err, QStringLiteral("nothing was imported."));
    }
    out << "imported " << result.imported << " rows of " << server::importKindWord(*kind) << " into " << database << '\n';
    return 0;
}

} // namespace olm::admin
