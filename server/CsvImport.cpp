// The CSV import of the catalogues: header checks, per-row checks and references, inserts in one transaction.
#include "CsvImport.h"

#include "MaintenanceHandle.h"
#include "Query.h"
#include "Transaction.h"

#include <QFile>
#include <QHash>

namespace olm::server {

namespace {

// A catalogue a cell may name: its table, key and name columns, and what a person calls one of its rows.
struct Catalogue {
    const char *table;
    const char *key;
    const char *name;
    const char *what;
    int size; // the name column's length
};

const Catalogue groupCatalogue{"[group]", "id_group", "p20", "group", 20};
const Catalogue studentCatalogue{"s_fio", "id_student", "s_fio", "student", 70};
const Catalogue teacherCatalogue{"t_fio", "id_teacher", "t_fio", "teacher", 60};
const Catalogue disciplineCatalogue{"discipline", "id_discipline", "p34", "discipline", 85};
const Catalogue specialityCatalogue{"speciality", "id_speciality", "spec", "speciality", 100};
const Catalogue semesterCatalogue{"semester", "id_semester", "p43", "semester", 30};
const Catalogue examinationCatalogue{"examination", "id_examination", "p30", "form of assessment", 15};

QString quotedName(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// One import: the handle inside its transaction, the problems so far, and where this file's rows went.
class CsvImporter {
public:
    CsvImporter(sqlite3 *db, ImportKind kind) : m_db(db), m_kind(kind) {}

    bool readHeader(const text::CsvRecord &header)
    {
        const QStringList known = importColumns(m_kind);
        for (qsizetype i = 0; i < header.fields.size(); ++i) {
            const QString name = header.fields.at(i).trimmed().toLower();
            if (!known.contains(name)) {
                problem(header.line, QStringLiteral("unknown column %1; %2 takes %3.")
                                         .arg(quotedName(header.fields.at(i).trimmed()), importKindWord(m_kind),
                                              known.join(QStringLiteral(", "))));
            } else if (m_columns.contains(name)) {
                problem(header.line, QStringLiteral("the column %1 is named twice.").arg(quotedName(name)));
            } else {
                m_columns.insert(name, int(i));
            }
        }
        for (const QString &required : requiredColumns()) {
            if (!m_columns.contains(required))
                problem(header.line, QStringLiteral("the column %1 is missing.").arg(quotedName(required)));
        }
        m_width = int(header.fields.size());
        return m_problems.isEmpty();
    }

    void importRow(const text::CsvRecord &record)
    {
        m_line = record.line;
        m_record = &record;
        if (record.fields.size() != m_width) {
            problem(m_line, QStringLiteral("%1 fields where the header has %2.").arg(record.fields.size()).arg(m_width));
            return;
        }
        for (auto it = m_columns.cbegin(); it != m_columns.cend(); ++it) {
            const QString value = record.fields.at(it.value());
            for (const QChar c : value) {
                if (c.category() == QChar::Other_Control && c != QLatin1Char('\t')) {
                    problem(m_line, QStringLiteral("%1 holds a control character (U+%2); is the file's encoding right?")
                                        .arg(it.key(), QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'))));
                    return;
                }
            }
        }
        switch (m_kind) {
        case ImportKind::Groups:
            importGroup();
            break;
        case ImportKind::Students:
            importStudent();
            break;
        case ImportKind::Teachers:
            importNamed(teacherCatalogue);
            break;
        case ImportKind::Disciplines:
            importNamed(disciplineCatalogue);
            break;
        case ImportKind::Curriculum:
            importCurriculumRow();
            break;
        }
    }

    void problem(int line, const QString &text) { m_problems.append(QStringLiteral("line %1: %2").arg(line).arg(text)); }
    const QStringList &problems() const { return m_problems; }
    int imported() const { return m_imported; }

private:
    QStringList requiredColumns() const
    {
        if (m_kind == ImportKind::Curriculum)
            return {QStringLiteral("group"), QStringLiteral("semester"), QStringLiteral("discipline"),
                    QStringLiteral("examination")};
        return {QStringLiteral("name")};
    }

    QString cell(const char *column) const
    {
        const auto it = m_columns.constFind(QLatin1String(column));
        return it == m_columns.cend() ? QString() : m_record->fields.at(it.value()).trimmed();
    }

    // The cell's text, or nothing after a problem: required and empty, or too long.
    std::optional<QString> nameCell(const char *column, int size, bool required = true)
    {
        const QString value = cell(column);
        if (value.isEmpty() && required) {
            problem(m_line, QStringLiteral("%1 is empty.").arg(QLatin1String(column)));
            return std::nullopt;
        }
        if (value.size() > size) {
            problem(m_line, QStringLiteral("%1 is longer than %2 characters.").arg(QLatin1String(column)).arg(size));
            return std::nullopt;
        }
        return value;
    }

    std::optional<QVariant> wholeNumber(const char *column)
    {
        const QString value = cell(column);
        if (value.isEmpty())
            return QVariant();
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (!ok || number <= 0) {
            problem(m_line, QStringLiteral("%1 %2 is not a positive whole number.").arg(QLatin1String(column), quotedName(value)));
            return std::nullopt;
        }
        return QVariant(number);
    }

    QList<qint64> ids(const QString &sql, const QVariantList &values)
    {
        Query query(m_db, sql);
        QList<qint64> found;
        if (query.bind(values)) {
            while (query.next())
                found.append(query.value(0).toLongLong());
        }
        if (!query.ok())
            problem(m_line, query.errorMessage());
        return found;
    }

    QList<qint64> idsNamed(const Catalogue &c, const QString &name)
    {
        return ids(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %1")
                       .arg(QLatin1String(c.key), QLatin1String(c.table), QLatin1String(c.name)),
                   {name});
    }

    // The row a cell names: by name, else by id; nothing (and a problem) when none or several match.
    std::optional<QVariant> reference(const char *column, const Catalogue &c, bool required = true)
    {
        const QString value = cell(column);
        if (value.isEmpty()) {
            if (!required)
                return QVariant();
            problem(m_line, QStringLiteral("%1 is empty.").arg(QLatin1String(column)));
            return std::nullopt;
        }
        QList<qint64> found = idsNamed(c, value);
        bool isNumber = false;
        const qint64 id = value.toLongLong(&isNumber);
        if (found.isEmpty() && isNumber) {
            found = ids(QStringLiteral("SELECT %1 FROM %2 WHERE %1 = ?").arg(QLatin1String(c.key), QLatin1String(c.table)),
                        {id});
        }
        if (found.size() == 1)
            return QVariant(found.first());
        if (found.isEmpty()) {
            problem(m_line, QStringLiteral("no %1 %2.").arg(QLatin1String(c.what), quotedName(value)));
        } else {
            QStringList numbers;
            for (const qint64 n : std::as_const(found))
                numbers.append(QString::number(n));
            problem(m_line, QStringLiteral("%1 %2 names %3 rows (ids %4); give the id.")
                                .arg(QLatin1String(c.what), quotedName(value))
                                .arg(found.size())
                                .arg(numbers.join(QStringLiteral(", "))));
        }
        return std::nullopt;
    }

    // Says where a row that is there already came from: this file, or the database.
    void alreadyThere(qint64 id, const QString &what)
    {
        const auto it = m_lineOf.constFind(id);
        if (it != m_lineOf.cend())
            problem(m_line, QStringLiteral("%1 is on line %2 already.").arg(what).arg(it.value()));
        else
            problem(m_line, QStringLiteral("%1 exists already.").arg(what));
    }

    bool idIsFree(const Catalogue &c, const QVariant &id)
    {
        if (id.isNull())
            return true;
        const QList<qint64> taken = ids(QStringLiteral("SELECT %1 FROM %2 WHERE %1 = ?").arg(QLatin1String(c.key), QLatin1String(c.table)),
                                        {id});
        if (taken.isEmpty())
            return true;
        alreadyThere(id.toLongLong(), QStringLiteral("a %1 with id %2").arg(QLatin1String(c.what), id.toString()));
        return false;
    }

    std::optional<qint64> insert(const QString &sql, const QVariantList &values)
    {
        Query query(m_db, sql);
        if (query.bind(values) && query.exec())
            return sqlite3_last_insert_rowid(m_db);
        problem(m_line, query.errorMessage());
        return std::nullopt;
    }

    // A catalogue row with an optional id and a name no other row has; more columns may follow.
    std::optional<qint64> insertNamed(const Catalogue &c, const QStringList &moreColumns = {},
                                      const QVariantList &moreValues = {}, bool uniqueName = true)
    {
        const auto id = wholeNumber("id");
        const auto name = nameCell("name", c.size);
        if (!id || !name || !idIsFree(c, *id))
            return std::nullopt;
        if (uniqueName) {
            if (const QList<qint64> same = idsNamed(c, *name); !same.isEmpty()) {
                alreadyThere(same.first(), QStringLiteral("%1 %2").arg(QLatin1String(c.what), quotedName(*name)));
                return std::nullopt;
            }
        }
        QStringList columns{QLatin1String(c.key), QLatin1String(c.name)};
        columns += moreColumns;
        QVariantList values{*id, *name};
        values += moreValues;
        const QStringList marks(columns.size(), QStringLiteral("?"));
        const auto rowId = insert(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                      .arg(QLatin1String(c.table), columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                                  values);
        if (rowId) {
            m_lineOf.insert(*rowId, m_line);
            ++m_imported;
        }
        return rowId;
    }

    void importNamed(const Catalogue &c) { insertNamed(c); }

    void importGroup()
    {
        const auto speciality = reference("speciality", specialityCatalogue, false);
        const auto startYear = wholeNumber("start_year");
        if (startYear && startYear->isValid() && (startYear->toLongLong() < 1900 || startYear->toLongLong() > 2200)) {
            problem(m_line, QStringLiteral("start_year %1 is not a year.").arg(startYear->toString()));
            return;
        }
        if (speciality && startYear)
            insertNamed(groupCatalogue, {QStringLiteral("id_speciality"), QStringLiteral("start_year")}, {*speciality, *startYear});
    }

    void importStudent()
    {
        const auto group = reference("group", groupCatalogue, false);
        const auto name = nameCell("name", studentCatalogue.size);
        if (!group || !name)
            return;
        // Namesakes are common: a student is the same one only within a group (or, without one, anywhere).
        const QList<qint64> same = group->isNull()
            ? idsNamed(studentCatalogue, *name)
            : ids(QStringLiteral("SELECT s.id_student FROM s_fio s JOIN group_student gs ON gs.id_student = s.id_student "
                                 "WHERE s.s_fio = ? AND gs.id_group = ?"),
                  {*name, *group});
        if (!same.isEmpty()) {
            alreadyThere(same.first(), group->isNull()
                                           ? QStringLiteral("student %1").arg(quotedName(*name))
                                           : QStringLiteral("student %1 of group %2").arg(quotedName(*name), quotedName(cell("group"))));
            return;
        }
        const auto student = insertNamed(studentCatalogue, {}, {}, false);
        if (student && !group->isNull())
            insert(QStringLiteral("INSERT INTO group_student (id_group, id_student) VALUES (?, ?)"), {*group, *student});
    }

    void importCurriculumRow()
    {
        const auto group = reference("group", groupCatalogue);
        const auto semester = reference("semester", semesterCatalogue);
        const auto discipline = reference("discipline", disciplineCatalogue);
        const auto examination = reference("examination", examinationCatalogue);
        const auto teacher = reference("teacher", teacherCatalogue, false);
        if (!group || !semester || !discipline || !examination || !teacher)
            return;
        const QVariantList key{*group, *semester, *discipline, *examination};
        const QList<qint64> same = ids(QStringLiteral("SELECT rowid FROM curriculum WHERE id_group = ? AND id_semester = ? "
                                                      "AND id_discipline = ? AND id_examination = ?"),
                                       key);
        if (!same.isEmpty()) {
            alreadyThere(same.first(), QStringLiteral("the curriculum row of group %1, semester %2, discipline %3, %4")
                                           .arg(quotedName(cell("group")), quotedName(cell("semester")),
                                                quotedName(cell("discipline")), quotedName(cell("examination"))));
            return;
        }
        const auto rowId = insert(QStringLiteral("INSERT INTO curriculum (id_group, id_semester, id_discipline, "
                                                 "id_examination, id_teacher) VALUES (?, ?, ?, ?, ?)"),
                                  key + QVariantList{*teacher});
        // The journal offers a group's semesters from group_semester: a planned semester must be one of them.
        if (rowId && insert(QStringLiteral("INSERT OR IGNORE INTO group_semester (id_group, id_semester) VALUES (?, ?)"),
                            {*group, *semester})) {
            m_lineOf.insert(*rowId, m_line);
            ++m_imported;
        }
    }

    sqlite3 *m_db;
    ImportKind m_kind;
    QHash<QString, int> m_columns; // header name -> field index
    int m_width = 0;
    int m_line = 0;
    const text::CsvRecord *m_record = nullptr;
    QHash<qint64, int> m_lineOf; // rows this file added -> their line
    QStringList m_problems;
    int m_imported = 0;
};

} // namespace

std::optional<ImportKind> importKindNamed(const QString &word)
{
    for (const ImportKind kind : {ImportKind::Groups, ImportKind::Students, ImportKind::Teachers, ImportKind::Disciplines,
                                  ImportKind::Curriculum}) {
        if (importKindWord(kind) == word)
            return kind;
    }
    return std::nullopt;
}

QString importKindWord(ImportKind kind)
{
    switch (kind) {
    case ImportKind::Groups: return QStringLiteral("groups");
    case ImportKind::Students: return QStringLiteral("students");
    case ImportKind::Teachers: return QStringLiteral("teachers");
    case ImportKind::Disciplines: return QStringLiteral("disciplines");
    case ImportKind::Curriculum: return QStringLiteral("curriculum");
    }
    return {};
}

QStringList importColumns(ImportKind kind)
{
    switch (kind) {
    case ImportKind::Groups:
        return {QStringLiteral("name"), QStringLiteral("id"), QStringLiteral("speciality"), QStringLiteral("start_year")};
    case ImportKind::Students:
        return {QStringLiteral("name"), QStringLiteral("id"), QStringLiteral("group")};
    case ImportKind::Teachers:
    case ImportKind::Disciplines:
        return {QStringLiteral("name"), QStringLiteral("id")};
    case ImportKind::Curriculum:
        return {QStringLiteral("group"), QStringLiteral("semester"), QStringLiteral("discipline"),
                QStringLiteral("examination"), QStringLiteral("teacher")};
    }
    return {};
}

ImportResult importRecords(const QString &database, ImportKind kind, const QList<text::CsvRecord> &records)
{
    ImportResult result;
    QString error;
    MaintenanceHandle db = openOlmDatabase(database, SQLITE_OPEN_READWRITE, false, &error);
    if (!db) {
        result.problems.append(error);
        return result;
    }
    if (records.isEmpty()) {
        result.problems.append(QStringLiteral("line 1: the file is empty; it needs a header row naming its columns."));
        return result;
    }
    if (records.size() == 1) {
        result.problems.append(QStringLiteral("line %1: no rows under the header.").arg(records.first().line + 1));
        return result;
    }
    Transaction transaction(db.get());
    if (!transaction.ok()) {
        result.problems.append(transaction.errorMessage());
        return result;
    }
    CsvImporter importer(db.get(), kind);
    if (importer.readHeader(records.first())) {
        for (qsizetype i = 1; i < records.size(); ++i)
            importer.importRow(records.at(i));
    }
    result.problems = importer.problems();
    if (result.problems.isEmpty() && !transaction.commit())
        result.problems.append(transaction.errorMessage());
    if (result.problems.isEmpty())
        result.imported = importer.imported();
    return result; // the transaction rolls back unless committed
}

ImportResult importCsvFile(const QString &database, ImportKind kind, const QString &file, text::CsvEncoding encoding)
{
    ImportResult result;
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        result.problems.append(QStringLiteral("Cannot read %1: %2").arg(file, input.errorString()));
        return result;
    }
    QString error;
    const auto content = text::decodeCsvText(input.readAll(), encoding, &error);
    const auto records = content ? text::readCsvRecords(*content, &error) : std::nullopt;
    if (!records) {
        result.problems.append(error);
        return result;
    }
    return importRecords(database, kind, *records);
}

} // namespace olm::server
