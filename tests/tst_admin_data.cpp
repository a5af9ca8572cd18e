// olm-admin's data commands as an administrator runs them: restore of a backup, the readable change log and the
// CSV import of the catalogues.
#include "tst_admin_support.h"
#include "tst_server_support.h"
#include "tests/support/TestMain.h"

#include "text/Windows1251.h"

#include <QDir>

using namespace admintest;
using namespace servertest;

namespace {

// Every row of the given tables, in key order: what a refused import must leave as it was.
QString tableRows(const QString &database, const QStringList &tables)
{
    QString error;
    auto reader = olm::server::Administration::open(database, &error);
    if (!reader)
        return error;
    QString rows;
    for (const QString &table : tables) {
        const Outcome outcome = reader->execute(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2").arg(table));
        if (!outcome.ok || !outcome.firstResult())
            return outcome.error;
        rows += table + QLatin1Char('\n');
        for (const QVariantList &row : outcome.firstResult()->rows) {
            QStringList cells;
            for (const QVariant &value : row)
                cells.append(value.isNull() ? QStringLiteral("NULL") : value.toString());
            rows += cells.join(QLatin1Char('|')) + QLatin1Char('\n');
        }
    }
    return rows;
}

const QStringList catalogueTables{QStringLiteral("[group]"),       QStringLiteral("s_fio"),
                                  QStringLiteral("group_student"), QStringLiteral("t_fio"),
                                  QStringLiteral("discipline"),    QStringLiteral("curriculum"),
                                  QStringLiteral("group_semester")};

QString journalRows(const QString &database)
{
    return tableRows(database, {QStringLiteral("mark_mag"), QStringLiteral("del_mark_mag")});
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray cp1251(const QString &text)
{
    return olm::text::toWindows1251(text).value_or(QByteArray());
}

// The character offset at which a line's field starts, by the header's column title.
qsizetype columnStart(const QString &header, const QString &title)
{
    return header.indexOf(QRegularExpression(QStringLiteral("\\b%1\\b").arg(title)));
}

} // namespace

class TestAdminData : public QObject {
    Q_OBJECT

private slots:
    void init();

    void restoreBringsBackTheJournalOfABackupTakenDuringWrites();
    void restoreRefuses_data();
    void restoreRefuses();
    void restoreOverNothingAndWithoutKeeping();

    void logShowResolvesNamesAndAligns();
    void logShowFilters_data();
    void logShowFilters();

    void importAddsRowsAndReferences();
    void importRefusesAndChangesNothing_data();
    void importRefusesAndChangesNothing();

private:
    Run importFile(const QString &kind, const QByteArray &content, const QStringList &options = {});
    QTemporaryDir m_dir;
    QString m_db; // a fresh demo database
};

Run TestAdminData::importFile(const QString &kind, const QByteArray &content, const QStringList &options)
{
    const QString file = m_dir.filePath(kind + QStringLiteral(".csv"));
    if (!writeFile(file, content))
        return {-1, {}, QStringLiteral("cannot write ") + file};
    return admin(QStringList{QStringLiteral("import"), kind, m_db, file} + options);
}

void TestAdminData::init()
{
    m_db = freshDemoDatabase(m_dir);
    for (const QString &name : QDir(m_dir.path()).entryList({QStringLiteral("*restore*"), QStringLiteral("*.part"),
                                                              QStringLiteral("backup*"), QStringLiteral("*.csv")}))
        QFile::remove(m_dir.filePath(name));
}

void TestAdminData::restoreBringsBackTheJournalOfABackupTakenDuringWrites()
{
    const QString before = journalRows(m_db);
    const QString backup = m_dir.filePath(QStringLiteral("backup.sqlite"));
    QString error;
    {
        auto writer = olm::server::Administration::open(m_db, &error);
        QVERIFY2(writer, qPrintable(error));
        // A client is in the middle of changing the journal while the backup is taken.
        QVERIFY2(writer->inTransaction(
                     [&](QString *workError) {
                         for (const char *statement : {"UPDATE mark_mag SET primech = 'changed' WHERE id_mark_mag % 2 = 0",
                                                       "DELETE FROM mark_mag WHERE id_mark_mag % 5 = 0"}) {
                             const Outcome outcome = writer->execute(QLatin1String(statement));
                             if (!outcome.ok) {
                                 *workError = outcome.error;
                                 return false;
                             }
                         }
                         const Run run = admin({"backup", m_db, backup});
                         *workError = run.err;
                         return run.code == 0;
                     },
                     &error),
                 qPrintable(error));
        QVERIFY_OK(writer->execute(QStringLiteral("UPDATE mark_mag SET p35 = 'later' WHERE id_mark_mag % 3 = 0")));
    }
    const QString after = journalRows(m_db);
    QVERIFY(after != before);

    const Run restore = admin({"restore", backup, m_db});
    QVERIFY_RUN(restore);
    QCOMPARE(restore.out, QStringLiteral("restored %1 from %2; the old file is %1.before-restore\n").arg(m_db, backup));
    QCOMPARE(journalRows(m_db), before);
    QCOMPARE(journalRows(m_db + QStringLiteral(".before-restore")), after);
    QVERIFY(!QFileInfo::exists(m_db + QStringLiteral(".part")));
    QCOMPARE(admin({"check", m_db}).code, 0);
    QVERIFY(signIn(m_db, QStringLiteral("smirnova"), QStringLiteral("smirnova1")));
}

void TestAdminData::restoreRefuses_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("message"); // %1 the backup, %2 the database
    QTest::newRow("database in use") << "in use"
                                     << "%2 is in use; close every client and tool that has it open, then restore again.";
    QTest::newRow("backup not a database") << "text" << "The file '%1' is not a database or is damaged.";
    QTest::newRow("backup not ours") << "foreign" << "The file '%1' is not an OLM database.";
    QTest::newRow("backup of a newer layout")
        << "newer" << "The database '%1' has layout version 7, newer than this program knows (4): use a newer program.";
    QTest::newRow("backup missing") << "missing" << "%1 does not exist.";
    QTest::newRow("earlier restore kept") << "kept"
                                          << "%2.before-restore exists from an earlier restore; move it away, or add --no-keep.";
    QTest::newRow("same file") << "same" << "%1 and %2 are the same file.";
}

void TestAdminData::restoreRefuses()
{
    QFETCH(QString, situation);
    QFETCH(QString, message);
    QString backup = m_dir.filePath(QStringLiteral("backup.sqlite"));
    QVERIFY_RUN(admin({"backup", m_db, backup}));
    std::unique_ptr<Session> client;
    if (situation == QLatin1String("in use")) {
        client = signIn(m_db, QStringLiteral("smirnova"), QStringLiteral("smirnova1"));
        QVERIFY(client);
    } else if (situation == QLatin1String("text")) {
        QFile::remove(backup);
        QVERIFY(writeFile(backup, QByteArray("group,name\n").repeated(100)));
    } else if (situation == QLatin1String("foreign")) {
        QVERIFY_RUN(admin({"query", backup, "PRAGMA application_id = 12345"}));
    } else if (situation == QLatin1String("newer")) {
        QVERIFY_RUN(admin({"query", backup, "PRAGMA user_version = 7"}));
    } else if (situation == QLatin1String("missing")) {
        QFile::remove(backup);
    } else if (situation == QLatin1String("kept")) {
        QVERIFY(writeFile(m_db + QStringLiteral(".before-restore"), "earlier"));
    } else if (situation == QLatin1String("same")) {
        backup = m_db;
    }
    QString error;
    auto writer = olm::server::Administration::open(m_db, &error);
    QVERIFY2(writer, qPrintable(error));
    QVERIFY_OK(writer->execute(QStringLiteral("UPDATE mark_mag SET primech = 'now' WHERE id_mark_mag = 1")));
    writer.reset();
    const QString journal = journalRows(m_db);

    const Run restore = admin({"restore", backup, m_db});
    QCOMPARE(restore.code, 1);
    QCOMPARE(restore.err, QStringLiteral("olm-admin: %1\n").arg(message.replace(QStringLiteral("%1"), backup)
                                                                  .replace(QStringLiteral("%2"), m_db)));
    client.reset();
    QCOMPARE(journalRows(m_db), journal);
    QVERIFY(!QFileInfo::exists(m_db + QStringLiteral(".part")));
    if (situation != QLatin1String("kept"))
        QVERIFY(!QFileInfo::exists(m_db + QStringLiteral(".before-restore")));
}

void TestAdminData::restoreOverNothingAndWithoutKeeping()
{
    const QString backup = m_dir.filePath(QStringLiteral("backup.sqlite"));
    QVERIFY_RUN(admin({"backup", m_db, backup}));
    const QString journal = journalRows(m_db);

    const QString fresh = m_dir.filePath(QStringLiteral("new/olm.sqlite"));
    QVERIFY(QDir().mkpath(QFileInfo(fresh).path()));
    const Run restore = admin({"restore", backup, fresh});
    QVERIFY_RUN(restore);
    QCOMPARE(restore.out, QStringLiteral("restored %1 from %2\n").arg(fresh, backup));
    QCOMPARE(journalRows(fresh), journal);

    QString error;
    auto writer = olm::server::Administration::open(m_db, &error);
    QVERIFY2(writer, qPrintable(error));
    QVERIFY_OK(writer->execute(QStringLiteral("DELETE FROM mark_mag")));
    writer.reset();
    QVERIFY_RUN(admin({"restore", backup, m_db, "--no-keep"}));
    QCOMPARE(journalRows(m_db), journal);
    QVERIFY(!QFileInfo::exists(m_db + QStringLiteral(".before-restore")));

    // A backup of an older layout is restored as it is, with a word about the upgrade it needs.
    QVERIFY_RUN(admin({"query", backup, "PRAGMA user_version = 3"}));
    const Run older = admin({"restore", backup, m_db, "--no-keep"});
    QVERIFY_RUN(older);
    QCOMPARE(older.out, QStringLiteral("restored %1 from %2\nits layout version 3 is older than this program's (4): run "
                                       "olm-admin upgrade %1 before clients sign in\n").arg(m_db, backup));
    QCOMPARE(journalRows(m_db), journal);

    // A file that is no database at all can be restored over: that is what backups are for.
    QVERIFY(writeFile(m_db, QByteArray(8192, 'x')));
    QVERIFY_RUN(admin({"restore", backup, m_db}));
    QCOMPARE(journalRows(m_db), journal);
    QFile kept(m_db + QStringLiteral(".before-restore"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray(8192, 'x'));
}

void TestAdminData::logShowResolvesNamesAndAligns()
{
    QString error;
    auto admin_ = olm::server::Administration::open(m_db, &error);
    QVERIFY2(admin_, qPrintable(error));
    // Row 1 is group ПИ-21's first student's; it is deleted afterwards and keeps its names.
    const Outcome row = admin_->execute(QStringLiteral(
        "SELECT m.id_mark_mag, g.p20, s.s_fio, d.p34 FROM mark_mag m JOIN [group] g ON g.id_group = m.id_group "
        "JOIN s_fio s ON s.id_student = m.id_student JOIN discipline d ON d.id_discipline = m.id_discipline "
        "ORDER BY m.id_mark_mag"));
    QVERIFY_OK(row);
    const QVariantList first = row.firstResult()->rows.front();
    const QString id = first.at(0).toString();
    QVERIFY_OK(admin_->execute(QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) "
                                              "VALUES('mark_mag', %1, 'Поле \"p35\" изменило значение \"1\" на \"2\".', "
                                              "'petrova', 'PC-101\\10.0.0.5')").arg(id)));
    QVERIFY_OK(admin_->execute(QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp], [log_date]) "
                                              "VALUES('srv_users', NULL, 'other\ttable', NULL, 'PC', '2024-01-02')")));
    QVERIFY_OK(admin_->execute(QStringLiteral("DELETE FROM mark_mag WHERE id_mark_mag = %1").arg(id)));
    admin_.reset();

    const Run log = admin({"log", "show", m_db});
    QVERIFY_RUN(log);
    const QStringList lines = log.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const QString &header = lines.at(0);
    QVERIFY2(header.startsWith(QLatin1String("id  time  ")), qPrintable(header));
    for (const char *title : {"time", "login", "computer", "row", "group", "student", "discipline", "change"}) {
        const qsizetype start = columnStart(header, QLatin1String(title));
        QVERIFY(start > 0);
        QVERIFY2(lines.at(1).at(start - 1) == QLatin1Char(' ') && lines.at(1).at(start) != QLatin1Char(' '), title);
    }
    const qsizetype change = columnStart(header, QStringLiteral("change"));
    QCOMPARE(lines.at(1).mid(columnStart(header, QStringLiteral("group")), first.at(1).toString().size()), first.at(1).toString());
    QVERIFY(lines.at(1).contains(first.at(2).toString()));
    QVERIFY(lines.at(1).contains(first.at(3).toString()));
    QCOMPARE(lines.at(1).mid(change), QStringLiteral("Поле \"p35\" изменило значение \"1\" на \"2\"."));
    QVERIFY(lines.at(1).contains(QLatin1String("petrova  PC-101\\10.0.0.5")));
    // Another table's entry names its table; a date without a time reads as midnight; no tab breaks the columns.
    QCOMPARE(lines.at(2).mid(columnStart(header, QStringLiteral("time")), 19), QStringLiteral("2024-01-02 00:00:00"));
    QCOMPARE(lines.at(2).mid(columnStart(header, QStringLiteral("row")), 10), QStringLiteral("srv_users "));
    QCOMPARE(lines.at(2).mid(change), QStringLiteral("other table"));
}

void TestAdminData::logShowFilters_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("changes"); // the listed entries' change texts
    QTest::addColumn<QString>("error");
    QTest::newRow("no filter") << QStringList{} << QStringList{"a", "b", "c"} << QString();
    QTest::newRow("row") << QStringList{"--row", "7"} << QStringList{"a", "c"} << QString();
    QTest::newRow("login, any case") << QStringList{"--login", "PETROVA"} << QStringList{"a", "b"} << QString();
    QTest::newRow("since a day") << QStringList{"--since", "2026-03-01"} << QStringList{"b", "c"} << QString();
    QTest::newRow("since a time") << QStringList{"--since", "2026-03-01 12:00"} << QStringList{"c"} << QString();
    QTest::newRow("all three") << QStringList{"--row", "7", "--login", "ivanov", "--since", "2026-01-01"} << QStringList{"c"}
                               << QString();
    QTest::newRow("nothing kept") << QStringList{"--login", "nobody"} << QStringList{} << QString();
    QTest::newRow("bad row") << QStringList{"--row", "x"} << QStringList{} << "olm-admin: 'x' is not a row id.\n";
    QTest::newRow("bad date") << QStringList{"--since", "01.03.2026"} << QStringList{}
                              << "olm-admin: '01.03.2026' is not a date such as 2026-09-01 or 2026-09-01 08:30.\n";
    QTest::newRow("raw with a filter") << QStringList{"--raw", "--row", "7"} << QStringList{}
                                       << "olm-admin: --raw lists every entry; it takes no filter.\n";
    QTest::newRow("unknown option") << QStringList{"--colour"} << QStringList{} << "olm-admin: log: Unknown option --colour. olm-admin help log lists its options.\n";
}

void TestAdminData::logShowFilters()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, changes);
    QFETCH(QString, error);
    QString why;
    {
        auto writer = olm::server::Administration::open(m_db, &why);
        QVERIFY2(writer, qPrintable(why));
        const QString insert = QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp], "
                                              "[log_date]) VALUES('mark_mag', %1, '%2', '%3', 'PC', '%4')");
        QVERIFY_OK(writer->execute(insert.arg(QStringLiteral("7"), QStringLiteral("a"), QStringLiteral("petrova"),
                                              QStringLiteral("2026-02-01 10:00:00.000"))));
        QVERIFY_OK(writer->execute(insert.arg(QStringLiteral("8"), QStringLiteral("b"), QStringLiteral("Petrova"),
                                              QStringLiteral("2026-03-01 09:00:00.000"))));
        QVERIFY_OK(writer->execute(insert.arg(QStringLiteral("7"), QStringLiteral("c"), QStringLiteral("ivanov"),
                                              QStringLiteral("2026-03-01 12:00:00.000"))));
    }
    const Run log = admin(QStringList{"log", "show", m_db} + options);
    if (!error.isEmpty()) {
        QCOMPARE(log.code, 1);
        QCOMPARE(log.err, error);
        return;
    }
    QVERIFY_RUN(log);
    QStringList lines = log.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    const qsizetype change = columnStart(lines.takeFirst(), QStringLiteral("change"));
    QStringList listed;
    for (const QString &line : std::as_const(lines))
        listed.append(line.mid(change));
    QCOMPARE(listed, changes);
}

void TestAdminData::importAddsRowsAndReferences()
{
    // UTF-8 with a byte-order mark, semicolons as a spreadsheet writes them, a quoted name with a semicolon.
    const Run groupRun = importFile(QStringLiteral("groups"),
                                    QStringLiteral("\xFEFFName;speciality;start_year;id\r\n"
                                                   "ИС-24;Прикладная информатика;2024;\r\n"
                                                   "\"ЭК-24; вечер\";2;2024;40\r\n"
                                                   "МН-24;;;\r\n").toUtf8());
    QVERIFY_RUN(groupRun);
    QCOMPARE(groupRun.out, QStringLiteral("imported 3 rows of groups into %1\n").arg(m_db));
    // Windows-1251 without a mark, found out; groups by name (any case) and by id; quotes inside a name.
    QVERIFY_RUN(importFile(QStringLiteral("students"), cp1251(QStringLiteral("name,group\n"
                                                                           "Яшин Олег Петрович,ис-24\n"
                                                                           "\"Щукина \"\"Ася\"\" Юрьевна\",40\n"
                                                                           "Алексеев Никита Сергеевич,ИС-24\n"
                                                                           "Без Группы Иван,\n"))));
    QVERIFY_RUN(importFile(QStringLiteral("teachers"), QStringLiteral("name\nОрлов П. П.\n").toUtf8(),
                           {"--encoding", "utf-8"}));
    QVERIFY_RUN(importFile(QStringLiteral("disciplines"), cp1251(QStringLiteral("id,name\n90,Сети ЭВМ\n")),
                           {"--encoding", "windows-1251"}));
    const Run curriculumRun = importFile(QStringLiteral("curriculum"),
                                         QStringLiteral("group,semester,discipline,examination,teacher\n"
                                                        "ИС-24,1 семестр,Сети ЭВМ,экзамен,Орлов П. П.\n"
                                                        "ИС-24,1,Философия,зачёт,\n"
                                                        "40,2 семестр,90,2,6\n").toUtf8());
    QVERIFY_RUN(curriculumRun);
    QCOMPARE(curriculumRun.out, QStringLiteral("imported 3 rows of curriculum into %1\n").arg(m_db));

    QString error;
    auto reader = olm::server::Administration::open(m_db, &error);
    QVERIFY2(reader, qPrintable(error));
    const auto rows = [&](const QString &sql) {
        const Outcome outcome = reader->execute(sql);
        QStringList result;
        for (const QVariantList &row : outcome.ok ? outcome.firstResult()->rows : std::vector<QVariantList>{}) {
            QStringList cells;
            for (const QVariant &value : row)
                cells.append(value.isNull() ? QStringLiteral("NULL") : value.toString());
            result.append(cells.join(QLatin1Char('|')));
        }
        return result;
    };
    QCOMPARE(rows(QStringLiteral("SELECT id_group, p20, id_speciality, o_z, start_year FROM [group] WHERE id_group > 5 "
                                 "ORDER BY p20")),
             (QStringList{"6|ИС-24|1|true|2024", "41|МН-24|NULL|true|NULL", "40|ЭК-24; вечер|2|true|2024"}));
    QCOMPARE(rows(QStringLiteral("SELECT s.s_fio, gs.id_group FROM s_fio s LEFT JOIN group_student gs ON "
                                 "gs.id_student = s.id_student WHERE s.id_student > 20 ORDER BY s.id_student")),
             (QStringList{"Яшин Олег Петрович|6", "Щукина \"Ася\" Юрьевна|40", "Алексеев Никита Сергеевич|6",
                          "Без Группы Иван|NULL"}));
    QCOMPARE(rows(QStringLiteral("SELECT id_discipline, p34 FROM discipline WHERE id_discipline = 90")),
             QStringList{"90|Сети ЭВМ"});
    QCOMPARE(rows(QStringLiteral("SELECT c.id_group, c.id_semester, d.p34, c.id_examination, t.t_fio FROM curriculum c "
                                 "JOIN discipline d ON d.id_discipline = c.id_discipline LEFT JOIN t_fio t ON "
                                 "t.id_teacher = c.id_teacher WHERE c.id_group IN (6, 40) ORDER BY c.id_group, d.p34")),
             (QStringList{"6|1|Сети ЭВМ|1|Орлов П. П.", "6|1|Философия|2|NULL", "40|2|Сети ЭВМ|2|Яковлева Н. Р."}));
    // The journal offers a group's semesters from group_semester.
    QCOMPARE(rows(QStringLiteral("SELECT id_group, id_semester FROM group_semester WHERE id_group IN (6, 40) "
                                 "ORDER BY id_group")),
             (QStringList{"6|1", "40|2"}));
    reader.reset();
    QCOMPARE(admin({"check", m_db}).code, 0);
}

void TestAdminData::importRefusesAndChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("problems"); // the lines before "olm-admin: nothing was imported."
    const auto utf8 = [](const char *text) { return QByteArray(text); };
    QTest::newRow("Windows-1251 given as UTF-8")
        << "groups" << (QByteArray("name\n") + cp1251(QStringLiteral("ЮР-99\n"))) << QStringList{"--encoding", "utf-8"}
        << QStringList{"line 2: the text is not UTF-8; give the file's encoding with --encoding."};
    QTest::newRow("UTF-16") << "groups" << QByteArray("\xFF\xFEn\0a\0m\0e\0", 10) << QStringList{}
                            << QStringList{"line 1: the file is in UTF-16; save it as UTF-8 or Windows-1251."};
    QTest::newRow("a byte no letter has") << "teachers" << QByteArray("name\nab\x98" "c\n") << QStringList{}
                                          << QStringList{"line 2: name holds a control character (U+0098); is the "
                                                         "file's encoding right?"};
    QTest::newRow("missing column") << "students" << utf8("id,group\n1,2\n") << QStringList{}
                                    << QStringList{"line 1: the column \"name\" is missing."};
    QTest::newRow("unknown and repeated columns")
        << "teachers" << utf8("name,room,Name\nx,1,y\n") << QStringList{}
        << QStringList{"line 1: unknown column \"room\"; teachers takes name, id.", "line 1: the column \"name\" is named twice."};
    QTest::newRow("curriculum without its key")
        << "curriculum" << utf8("group,discipline\nx,y\n") << QStringList{}
        << QStringList{"line 1: the column \"semester\" is missing.", "line 1: the column \"examination\" is missing."};
    QTest::newRow("no rows") << "groups" << utf8("name\n") << QStringList{} << QStringList{"line 2: no rows under the header."};
    QTest::newRow("empty file") << "groups" << QByteArray() << QStringList{}
                                << QStringList{"line 1: the file is empty; it needs a header row naming its columns."};
    QTest::newRow("duplicate of a stored row, in another case")
        << "groups" << QStringLiteral("name\nНОВАЯ\nпи-21\n").toUtf8() << QStringList{}
        << QStringList{"line 3: group \"пи-21\" exists already."};
    QTest::newRow("duplicate within the file")
        << "disciplines" << QStringLiteral("name\nСети\nХимия\n сети \n").toUtf8() << QStringList{}
        << QStringList{"line 4: discipline \"сети\" is on line 2 already."};
    QTest::newRow("taken id") << "teachers" << utf8("id,name\n3,New\n0,Other\n") << QStringList{}
                              << QStringList{"line 2: a teacher with id 3 exists already.",
                                             "line 3: id \"0\" is not a positive whole number."};
    QTest::newRow("student already in the group")
        << "students" << QStringLiteral("name,group\nАлексеев Никита Сергеевич,ПИ-21\n").toUtf8() << QStringList{}
        << QStringList{"line 2: student \"Алексеев Никита Сергеевич\" of group \"ПИ-21\" exists already."};
    QTest::newRow("unknown references")
        << "curriculum" << QStringLiteral("group,semester,discipline,examination,teacher\n"
                                          "ПИ-21,1 семестр,Математический анализ,экзамен,\n"
                                          "НЕТ-1,9 семестр,Математический анализ,экзамен,Кто-то\n"
                                          "ПИ-21,1 семестр,Химия,экзамен,99\n").toUtf8()
        << QStringList{}
        << QStringList{"line 2: the curriculum row of group \"ПИ-21\", semester \"1 семестр\", discipline "
                       "\"Математический анализ\", \"экзамен\" exists already.",
                       "line 3: no group \"НЕТ-1\".", "line 3: no semester \"9 семестр\".", "line 3: no teacher \"Кто-то\".",
                       "line 4: no discipline \"Химия\".", "line 4: no teacher \"99\"."};
    QTest::newRow("unclosed quote") << "groups" << utf8("name\nA\n\"B\nC\n") << QStringList{}
                                    << QStringList{"line 3: a quoted field that starts here is not closed."};
    QTest::newRow("quote inside a field")
        << "groups" << utf8("name\nA\"B\n") << QStringList{}
        << QStringList{"line 2: a double quote inside a field that does not start with one; enclose the field in "
                       "double quotes and double the quote."};
    QTest::newRow("text after a closing quote") << "groups" << utf8("name,id\n\"A\"B,1\n") << QStringList{}
                                                << QStringList{"line 2: text after the closing double quote of a field."};
    QTest::newRow("field counts, empty and long names, a line break")
        << "groups" << QStringLiteral("name,start_year\nA\nB,2024,x\n,2024\n%1,2024\n\"C\nD\",2024\nE,1066\nF,2024\n")
                           .arg(QString(21, QChar(u'Ж'))).toUtf8()
        << QStringList{}
        << QStringList{"line 2: 1 fields where the header has 2.", "line 3: 3 fields where the header has 2.",
                       "line 4: name is empty.", "line 5: name is longer than 20 characters.",
                       "line 6: name holds a control character (U+000A); is the file's encoding right?",
                       "line 8: start_year 1066 is not a year."};
    QTest::newRow("unknown encoding name") << "groups" << utf8("name\nA\n") << QStringList{"--encoding", "koi8-r"}
                                           << QStringList{};
}

void TestAdminData::importRefusesAndChangesNothing()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, options);
    QFETCH(QStringList, problems);
    const QString file = m_dir.filePath(kind + QStringLiteral(".csv"));
    const QString stored = tableRows(m_db, catalogueTables);
    const Run run = importFile(kind, content, options);
    QCOMPARE(run.code, 1);
    QCOMPARE(run.out, QString());
    QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QString last = lines.isEmpty() ? QString() : lines.takeLast();
    if (problems.isEmpty()) {
        QCOMPARE(last, QStringLiteral("olm-admin: --encoding is utf-8 or windows-1251, not koi8-r."));
    } else {
        QCOMPARE(last, QStringLiteral("olm-admin: nothing was imported."));
        for (QString &problem : problems)
            problem.prepend(file + QStringLiteral(": "));
        QCOMPARE(lines, problems);
    }
    QCOMPARE(tableRows(m_db, catalogueTables), stored);
}

OLM_TEST_GUILESS_MAIN(TestAdminData)
#include "tst_admin_data.moc"
