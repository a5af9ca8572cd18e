// Timing of the grid component over journal-like rows: switching it on (open and duplicate scan), and pasting
// and deleting 1,000 rows of 5,000, each checked against a filtered count per record. Run by hand:
// bench_gridevents [rows...]
#include "gridevents/ClipboardBlock.h"
#include "gridevents/QZ_DBGrd_Evns.h"
#include "platform/FakePlatform.h"
#include "server/Session.h"
#include "tests/support/TestDatabase.h"
#include "toolkit/data/ADODB.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

namespace {

QTextStream out(stdout);

/// Fills mark_mag with journal-like rows: each its own discipline with one of five forms of assessment,
/// except every 50th row, which repeats its predecessor's pair.
bool fillJournal(const TestDatabase &db, int rows, QString *error)
{
    const auto admin = db.administrator();
    if (!admin) {
        *error = QStringLiteral("no administrator session");
        return false;
    }
    auto run = [&](const QString &statement, const QVariantList &params = {}) {
        const olm::server::Outcome outcome = admin->execute(statement, params);
        if (!outcome.ok)
            *error = outcome.error;
        return outcome.ok;
    };
    if (!run(QStringLiteral("DELETE FROM mark_mag")))
        return false;
    int discipline = 1, examination = 1;
    for (int i = 0; i < rows; ++i) {
        if (i % 50 != 49) {
            discipline = 1 + i;
            examination = 1 + i % 5;
        }
        const QVariantList values{1, 1 + i % 4, 1 + i % 25, discipline, examination, 31 + i % 5, 1 + i % 12,
                                  QString::number(1000 + i), QDateTime(QDate(2016, 1, 1).addDays(i % 300), QTime(0, 0)),
                                  i % 7 == 0 ? QStringLiteral("н/д") : QStringLiteral("д")};
        if (!run(QStringLiteral("INSERT INTO mark_mag (id_group, id_semester, id_student, id_discipline, id_examination, "
                                "id_estimation, id_teacher, p35, p36, primech) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 values))
            return false;
    }
    return true;
}

/// The demo editor's connection to a filled journal, a grid over it with the journal's columns and the
/// component attached; the journal is open once it is valid.
struct BenchJournal {
    explicit BenchJournal(int rows)
    {
        if (!db.isValid()) {
            error = db.error();
            return;
        }
        if (!fillJournal(db, rows, &error))
            return;
        // The demo editor's database login; its password is the one the server made up.
        const auto admin = db.administrator();
        // Pasted rows go straight into the table, which journal users otherwise fill through procedures.
        admin->execute(QStringLiteral("INSERT INTO srv_rights (login, object, action) VALUES ('petrova', 'mark_mag', 'INSERT')"));
        const olm::server::Outcome login =
            admin->execute(QStringLiteral("SELECT password FROM srv_db_logins WHERE name = 'petrova'"));
        if (!login.firstResult() || login.firstResult()->rows.empty()) {
            error = login.error;
            return;
        }
        connection.setConnectionString(
            db.connectionString(QStringLiteral("petrova"), login.firstResult()->rows.front().value(0).toString()));
        journal.setConnection(&connection);
        journal.setSQLText(QStringLiteral("select * from mark_mag order by id_mark_mag"));
        source.setDataSet(&journal);
        for (const char *name : {"id_group", "id_semester", "id_student", "id_discipline", "id_examination",
                                 "id_estimation", "id_teacher", "p35", "p36", "primech"})
            grid.AddColumn(QString::fromLatin1(name));
        grid.setDataSource(&source);
        events.setDBGridEh(&grid);
        // Fields made at open live until the close, so the journal is open before the component is on.
        timer.start();
        journal.Open();
        openMs = elapsedMs();
        events.setUniqueField(journal.FieldByName(QStringLiteral("id_mark_mag")));
    }
    bool isValid() const { return error.isEmpty(); }
    void useDuplicateFields()
    {
        events.DuplicateFields().Add(journal.FieldByName(QStringLiteral("id_discipline")));
        events.DuplicateFields().Add(journal.FieldByName(QStringLiteral("id_examination")));
    }
    /// Switches the component on, with the two duplicate fields or none; false with *failure when it cannot.
    bool switchOn(bool duplicateFields, QString *failure)
    {
        if (isValid() && duplicateFields)
            useDuplicateFields();
        if (isValid())
            events.setActive(true);
        if (isValid() && !events.Active())
            error = QStringLiteral("the component did not switch on");
        *failure = error;
        return isValid();
    }
    /// Selects every step-th record, count of them, from the first.
    void selectRows(int count, int step)
    {
        for (int i = 0; i < count; ++i) {
            journal.setRecNo(1 + i * step);
            grid.SelectedRows().setCurrentRowSelected(true);
        }
        journal.First();
    }
    double elapsedMs() { return double(timer.nsecsElapsed()) / 1e6; }

    QString error;
    TestDatabase db;
    TADOConnection connection;
    TADOQuery journal;
    TDataSource source;
    TQZDBGridEh grid;
    TQZDBGridEvents events;
    QElapsedTimer timer;
    double openMs = 0;
};

struct Figures {
    double openMs = 0;
    double activateMs = 0;
    double recordByRecordMs = 0;
    int duplicates = 0;
    bool same = false;
};

bool measure(int rows, Figures *figures, QString *error)
{
    BenchJournal bench(rows);
    if (!bench.isValid()) {
        *error = bench.error;
        return false;
    }
    TADOQuery &journal = bench.journal;
    TQZDBGridEvents &events = bench.events;
    figures->openMs = bench.openMs;
    bench.useDuplicateFields();
    bench.timer.restart();
    events.setActive(true);
    figures->activateMs = bench.elapsedMs();
    if (!events.Active()) {
        *error = QStringLiteral("the component did not switch on");
        return false;
    }
    const QStringList scanned = events.DuplicateList().toStringList();
    figures->duplicates = int(scanned.size());
    const bool leftAsTheAlgorithmSays = journal.Filter().isEmpty() && !journal.Filtered() && journal.RecNo() == 1;

    bench.timer.restart();
    events.DuplicateList().Clear();
    journal.First();
    while (!journal.Eof()) {
        events.CheckDuplicate();
        journal.Next();
    }
    figures->recordByRecordMs = bench.elapsedMs();
    figures->same = leftAsTheAlgorithmSays && events.DuplicateList().toStringList() == scanned;
    return true;
}

/// How one paste and one delete over a journal went.
struct ActionFigures {
    double pasteMs = 0;
    double deleteMs = 0;
    QStringList pasteDuplicates;
    QStringList deleteDuplicates;
};

enum class KeyCheck { None, Actions, RecordByRecord };

/// Pastes `changed` rows copied from the journal into it, then, on a fresh journal, deletes as many
/// selected rows. RecordByRecord does what the actions do with one filtered count per record.
bool measureActions(int rows, int changed, KeyCheck check, ActionFigures *figures, QString *error)
{
    olm::platform::FakePlatform clipboard;
    const olm::platform::ScopedPlatform usingIt(clipboard);
    {
        BenchJournal bench(rows);
        if (!bench.switchOn(check != KeyCheck::None, error))
            return false;
        bench.selectRows(changed, 1);
        bench.events.CopyRecords(false);
        QByteArray block;
        bench.events.ReadClipboardData(DBEditDataFormat, block);
        const olm::gridevents::DecodedBlock pasted = olm::gridevents::decodeBlock(block, bench.grid.ColumnCount());
        bench.journal.setRecNo(rows / 2);
        bench.timer.restart();
        if (check == KeyCheck::RecordByRecord) {
            const TControlsDisabler quiet(&bench.journal);
            for (const QStringList &values : pasted.rows) {
                bench.journal.Insert();
                for (int i = 0; i < values.size(); ++i)
                    bench.journal.FieldByName(bench.grid.Columns(i)->FieldName)->setAsString(values.at(i));
                bench.journal.Post();
                bench.events.CheckDuplicate();
            }
        } else {
            bench.events.PasteRecords();
        }
        figures->pasteMs = bench.elapsedMs();
        figures->pasteDuplicates = bench.events.DuplicateList().toStringList();
        if (bench.journal.RecordCount() != rows + changed) {
            *error = QStringLiteral("the paste did not insert every row");
            return false;
        }
    }
    BenchJournal bench(rows);
    if (!bench.switchOn(check != KeyCheck::None, error))
        return false;
    bench.selectRows(changed, rows / changed);
    bench.timer.restart();
    if (check == KeyCheck::RecordByRecord) {
        const TControlsDisabler quiet(&bench.journal);
        QStringList bookmarks;
        for (int i = 0; i < bench.grid.SelectedRows().Count(); ++i)
            bookmarks.append(bench.grid.SelectedRows().Items(i));
        for (const QString &bookmark : bookmarks) {
            bench.journal.setBookmark(bookmark);
            bench.events.ReleaseDuplicate(bookmark);
            bench.journal.Delete();
        }
    } else {
        bench.events.DeleteRecords();
    }
    figures->deleteMs = bench.elapsedMs();
    figures->deleteDuplicates = bench.events.DuplicateList().toStringList();
    if (bench.journal.RecordCount() != rows - changed) {
        *error = QStringLiteral("the deletion did not remove every row");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QList<int> sizes;
    for (const QString &arg : app.arguments().mid(1))
        sizes.append(arg.toInt());
    if (sizes.isEmpty())
        sizes = {100, 1000, 5000};

    out << "rows\topen ms\tscan ms (Active)\trecord-by-record ms\tduplicate keys\tsame result\n";
    for (const int rows : sizes) {
        Figures figures;
        QString error;
        if (!measure(rows, &figures, &error)) {
            out << rows << "\tfailed: " << error << "\n";
            out.flush();
            return 1;
        }
        out << qSetRealNumberPrecision(1) << Qt::fixed << rows << '\t' << figures.openMs << '\t' << figures.activateMs
            << '\t' << figures.recordByRecordMs << '\t' << figures.duplicates << '\t' << (figures.same ? "yes" : "NO") << "\n";
        out.flush();
        if (!figures.same)
            return 1;
    }

    // Paste and delete with and without duplicate fields, and with one filtered count per record.
    const int rows = 5000;
    const int changed = 1000;
    ActionFigures none, actions, recordByRecord;
    QString error;
    if (!measureActions(rows, changed, KeyCheck::None, &none, &error)
        || !measureActions(rows, changed, KeyCheck::Actions, &actions, &error)
        || !measureActions(rows, changed, KeyCheck::RecordByRecord, &recordByRecord, &error)) {
        out << "actions failed: " << error << "\n";
        return 1;
    }
    const bool same = actions.pasteDuplicates == recordByRecord.pasteDuplicates
                      && actions.deleteDuplicates == recordByRecord.deleteDuplicates;
    out << "\n" << changed << " of " << rows << " rows\tno duplicate fields ms\ttwo duplicate fields ms\tratio"
        << "\tone filtered count per record ms\tsame DuplicateList\n";
    const auto line = [&](const char *what, double a, double b, double c) {
        out << what << '\t' << a << '\t' << b << '\t' << b / a << '\t' << c << '\t' << (same ? "yes" : "NO") << "\n";
    };
    line("paste", none.pasteMs, actions.pasteMs, recordByRecord.pasteMs);
    line("delete", none.deleteMs, actions.deleteMs, recordByRecord.deleteMs);
    out.flush();
    return same ? 0 : 1;
}
