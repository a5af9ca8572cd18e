// Timing of switching the grid component on (open and duplicate scan) over journal-like rows, checked
// against the filtered count of every record. Run by hand: bench_gridevents [rows...]
#include "gridevents/QZ_DBGrd_Evns.h"
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

struct Figures {
    double openMs = 0;
    double activateMs = 0;
    double recordByRecordMs = 0;
    int duplicates = 0;
    bool same = false;
};

bool measure(int rows, Figures *figures, QString *error)
{
    TestDatabase db;
    if (!db.isValid()) {
        *error = db.error();
        return false;
    }
    if (!fillJournal(db, rows, error))
        return false;

    // The demo editor's database login; its password is the one the server made up.
    const auto admin = db.administrator();
    if (!admin) {
        *error = QStringLiteral("no administrator session");
        return false;
    }
    const olm::server::Outcome login =
        admin->execute(QStringLiteral("SELECT password FROM srv_db_logins WHERE name = 'petrova'"));
    if (!login.firstResult() || login.firstResult()->rows.empty()) {
        *error = login.error;
        return false;
    }
    TADOConnection connection;
    connection.setConnectionString(
        db.connectionString(QStringLiteral("petrova"), login.firstResult()->rows.front().value(0).toString()));
    TADOQuery journal;
    journal.setConnection(&connection);
    journal.setSQLText(QStringLiteral("select * from mark_mag order by id_mark_mag"));
    TDataSource source;
    source.setDataSet(&journal);
    TQZDBGridEh grid;
    grid.setDataSource(&source);
    TQZDBGridEvents events;
    events.setDBGridEh(&grid);

    // Fields made at open live until the close, so the journal is opened first and the component's own
    // open finds it open: the two figures add up to what switching on a closed journal costs.
    QElapsedTimer timer;
    timer.start();
    journal.Open();
    figures->openMs = double(timer.nsecsElapsed()) / 1e6;
    events.DuplicateFields().Add(journal.FieldByName(QStringLiteral("id_discipline")));
    events.DuplicateFields().Add(journal.FieldByName(QStringLiteral("id_examination")));
    timer.restart();
    events.setActive(true);
    figures->activateMs = double(timer.nsecsElapsed()) / 1e6;
    if (!events.Active()) {
        *error = QStringLiteral("the component did not switch on");
        return false;
    }
    const QStringList scanned = events.DuplicateList().toStringList();
    figures->duplicates = int(scanned.size());
    const bool leftAsTheAlgorithmSays = journal.Filter().isEmpty() && !journal.Filtered() && journal.RecNo() == 1;

    timer.restart();
    events.DuplicateList().Clear();
    journal.First();
    while (!journal.Eof()) {
        events.CheckDuplicate();
        journal.Next();
    }
    figures->recordByRecordMs = double(timer.nsecsElapsed()) / 1e6;
    figures->same = leftAsTheAlgorithmSays && events.DuplicateList().toStringList() == scanned;
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
    return 0;
}
