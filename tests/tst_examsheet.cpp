// The examination sheet driven through the real windows on a fresh demo database: a column of marks typed with
// real keys and stored through the journal's write-back and change history, another user's change reported and
// kept, the printed sheet read back from its PDF, and both CSV exports read back through a CSV parser.
#include "gridevents/QZ_DBGrd_Evns.h"
#include "journal/CsvExport.h"
#include "journal/ExamSheet.h"
#include "journal/RowHistory.h"
#include "tests/tst_journal_fixture.h"
#include "toolkit/data/WriteBack.h"
#include "toolkit/ui/Application.h"
#include "tests/support/TestMain.h"

#include <QAction>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>

namespace {

// RFC 4180 reading: quoted fields may hold commas, doubled quotes and line breaks; lines end with CRLF.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row.append(field);
            field.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            row.append(field);
            rows.append(row);
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty()) {
        row.append(field);
        rows.append(row);
    }
    return rows;
}

// The sheet's rows as the server holds them: id_mark_mag -> id_estimation.
QMap<int, QVariant> storedMarks(const Journal &j, const ExamSheetSelection &s)
{
    const olm::server::Outcome outcome = j.administration()->execute(
        QStringLiteral("SELECT id_mark_mag, id_estimation FROM mark_mag WHERE id_group = ? AND id_semester = ? "
                       "AND id_discipline = ? AND id_examination = ?"),
        {s.group, s.semester, s.discipline, s.examination});
    QMap<int, QVariant> marks;
    if (outcome.ok && outcome.firstResult())
        for (const QVariantList &row : outcome.firstResult()->rows)
            marks.insert(row.value(0).toInt(), row.value(1));
    return marks;
}

int logEntriesOf(const Journal &j, int rowId)
{
    return j.value(QStringLiteral("SELECT COUNT(*) FROM OLM_LOG WHERE [table] = 'mark_mag' AND row_id = ? AND "
                                  "descr LIKE '%id_estimation%'"),
                   {rowId})
        .toInt();
}

// A mark of the form other than the one a line holds.
ExamSheetMark otherMark(const ExamSheetRows &rows, const QVariant &current, int offset)
{
    const QList<ExamSheetMark> &marks = rows.marks();
    for (int i = 0; i < marks.size(); ++i) {
        const ExamSheetMark &mark = marks.at((offset + i) % marks.size());
        if (current.isNull() || mark.key != current.toInt())
            return mark;
    }
    return {};
}

// The shortest start of a mark's text that no other mark of the form shares: what a typist types before the
// line completes it.
QString uniqueStart(const ExamSheetRows &rows, const ExamSheetMark &mark)
{
    for (int n = 1; n < mark.text.size(); ++n) {
        const QString start = mark.text.left(n);
        bool shared = false;
        for (const ExamSheetMark &other : rows.marks())
            shared = shared || (other.key != mark.key && other.text.startsWith(start, Qt::CaseInsensitive));
        if (!shared)
            return start;
    }
    return mark.text;
}

// Runs script on the sheet when it opens; file dialogs get path, print previews are counted and closed.
struct SheetScript {
    std::function<void(ExamSheetWindow &)> script;
    QString path;
    int sheets = 0;
    int previews = 0;
    int previewPages = 0;
    ExamSheetSelection selection;

    int operator()(QDialog *dialog)
    {
        if (auto *files = qobject_cast<QFileDialog *>(dialog)) {
            files->selectFile(path);
            return mrOk;
        }
        if (auto *preview = qobject_cast<QPrintPreviewDialog *>(dialog)) {
            ++previews;
            QPrinter printer;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            Q_EMIT preview->paintRequested(&printer);
            return mrCancel;
        }
        if (auto *sheet = qobject_cast<ExamSheetWindow *>(dialog)) {
            ++sheets;
            selection = sheet->rows().selection();
            script(*sheet);
            return mrOk;
        }
        return mrCancel;
    }
};

void typeMark(ExamSheetWindow &sheet, const QString &text)
{
    QTest::keyClick(sheet.MarkEdit, Qt::Key_A, Qt::ControlModifier);
    // Cyrillic letters as a keyboard layout sends them: a key event carrying the character.
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, sheet.MarkEdit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, sheet.MarkEdit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QTest::keyClick(sheet.MarkEdit, Qt::Key_Return);
}

} // namespace

class TestExamSheet : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void csvQuotingRoundTrips();
    void typedColumnIsStoredAndLoggedOnce();
    void concurrentChangeIsReportedNotOverwritten();
    void pdfHasOneLinePerStudent();
    void csvExportsRoundTrip();
    void rowHistoryShowsGridEditWithNames();

private:
    /// The journal of ПИ-21, 1 семестр, Воронин on screen.
    static void openJournal(Journal &j);

    std::unique_ptr<TApplication> m_application;
    std::unique_ptr<ScopedDialogAnswers> m_answers;
    QTemporaryDir m_files;
};

void TestExamSheet::init()
{
    m_application = std::make_unique<TApplication>();
    m_application->setTitle(QStringLiteral("OLM 16 Учет успеваемости"));
    m_application->setShowMainForm(false);
    m_answers = std::make_unique<ScopedDialogAnswers>();
}

void TestExamSheet::cleanup()
{
    DialogSeam::setModalHandler({});
    m_answers.reset();
    m_application.reset();
}

void TestExamSheet::openJournal(Journal &j)
{
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    QVERIFY(j.journal()->RecordCount() > 0);
}

void TestExamSheet::csvQuotingRoundTrips()
{
    const QList<QStringList> rows = {{QStringLiteral("№"), QStringLiteral("Студент")},
                                     {QStringLiteral("1"), QStringLiteral("Иванов, \"староста\"")},
                                     {QStringLiteral("2"), QStringLiteral("две\r\nстроки")},
                                     {QString(), QStringLiteral("plain")}};
    const QByteArray document = csvDocument(rows);
    QVERIFY(document.startsWith("\xEF\xBB\xBF"));
    QVERIFY(document.contains("\"Иванов, \"\"староста\"\"\"\r\n"));
    QCOMPARE(parseCsv(QString::fromUtf8(document.mid(3))), rows);
}

void TestExamSheet::typedColumnIsStoredAndLoggedOnce()
{
    Journal j;
    openJournal(j);
    QMap<int, int> typed;   // id_mark_mag -> the mark key typed for it
    int lines = 0;
    SheetScript run;
    run.script = [&](ExamSheetWindow &sheet) {
        lines = sheet.Lines->rowCount();
        QCOMPARE(sheet.rows().count(), lines);
        // A mark of another form of assessment is refused and nothing moves.
        typeMark(sheet, QStringLiteral("не такой оценки"));
        QCOMPARE(m_answers->shown().size(), 1);
        QCOMPARE(m_answers->shown().at(0).caption, QStringLiteral("Warning!"));
        QCOMPARE(sheet.currentLine(), 0);
        for (int i = 0; i < lines; ++i) {
            QCOMPARE(sheet.currentLine(), i);
            const ExamSheetLine line = sheet.rows().lines().at(i);
            const ExamSheetMark mark = otherMark(sheet.rows(), line.markKey, i);
            // Even lines by the start of the mark's text, completed by the line; odd ones by its key.
            typeMark(sheet, i % 2 ? QString::number(mark.key) : uniqueStart(sheet.rows(), mark));
            typed.insert(line.rowId.toInt(), mark.key);
            QCOMPARE(sheet.Lines->item(i, ExamSheetWindow::ColMark)->text(), mark.text);
        }
    };
    DialogSeam::setModalHandler(std::ref(run));
    // Ctrl+E on the journal grid opens the sheet of the current row.
    j.window->DBGridEh1->setFocus();
    QTest::keyClick(j.window->DBGridEh1, Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(run.sheets, 1);
    QVERIFY(lines >= 5);   // every student of ПИ-21, rows created for those who had none
    QCOMPARE(typed.size(), lines);
    QCOMPARE(m_answers->shown().size(), 1);
    const QMap<int, QVariant> stored = storedMarks(j, run.selection);
    for (auto it = typed.cbegin(); it != typed.cend(); ++it) {
        QCOMPARE(stored.value(it.key()).toInt(), it.value());
        QCOMPARE(logEntriesOf(j, it.key()), 1);
    }
    // The journal shows what the sheet stored.
    QCOMPARE(j.dm->ADO_SP_Sortid_estimation->AsInteger(),
             typed.value(j.dm->ADO_SP_Sortid_mark_mag->AsInteger()));
    // The grid's context menu offers the sheet and the export.
    QVERIFY(j.window->DBGridEh1->actions().contains(j.window->ExamSheetAction));
    QVERIFY(j.window->DBGridEh1->actions().contains(j.window->ExportCsvAction));
    QCOMPARE(j.window->DBGridEh1->contextMenuPolicy(), Qt::ActionsContextMenu);
}

void TestExamSheet::concurrentChangeIsReportedNotOverwritten()
{
    Journal j;
    openJournal(j);
    int rowId = 0;
    ExamSheetMark theirs, mine;
    QString shownMark;
    int lineAfterRefusal = -1;
    SheetScript run;
    run.script = [&](ExamSheetWindow &sheet) {
        const ExamSheetLine line = sheet.rows().lines().at(0);
        rowId = line.rowId.toInt();
        theirs = otherMark(sheet.rows(), line.markKey, 0);
        mine = otherMark(sheet.rows(), theirs.key, 1);
        // Another user stores a mark after the sheet was read.
        j.administration()->execute(QStringLiteral("UPDATE mark_mag SET id_estimation = ? WHERE id_mark_mag = ?"),
                                    {theirs.key, rowId});
        typeMark(sheet, mine.text);
        lineAfterRefusal = sheet.currentLine();
        shownMark = sheet.Lines->item(0, ExamSheetWindow::ColMark)->text();
        // Typed again over what the other user stored, the mark goes in and is logged.
        typeMark(sheet, mine.text);
    };
    DialogSeam::setModalHandler(std::ref(run));
    j.window->ExamSheetAction->trigger();
    QCOMPARE(run.sheets, 1);
    QCOMPARE(m_answers->shown().size(), 1);
    QCOMPARE(m_answers->shown().at(0).text, olm::dataset::changedByAnotherUserText());
    QCOMPARE(m_answers->shown().at(0).type, MB_OK | MB_ICONWARNING);
    QCOMPARE(lineAfterRefusal, 0);
    QCOMPARE(shownMark, theirs.text);
    QCOMPARE(j.value(QStringLiteral("SELECT id_estimation FROM mark_mag WHERE id_mark_mag = ?"), {rowId}).toInt(),
             mine.key);
    QCOMPARE(logEntriesOf(j, rowId), 1);
    QVERIFY(j.value(QStringLiteral("SELECT descr FROM OLM_LOG WHERE row_id = ?"), {rowId})
                .toString()
                .contains(QStringLiteral("\"%1\" на \"%2\"").arg(theirs.key).arg(mine.key)));
}

void TestExamSheet::pdfHasOneLinePerStudent()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed: the printed sheet is NOT checked. "
              "Run scripts/install-deps.sh.");
    Journal j;
    openJournal(j);
    QStringList students;
    SheetScript run;
    run.path = m_files.filePath(QStringLiteral("sheet.pdf"));
    run.script = [&](ExamSheetWindow &sheet) {
        for (const ExamSheetLine &line : sheet.rows().lines())
            students.append(line.student);
        QTest::mouseClick(sheet.PdfButton, Qt::LeftButton);
    };
    DialogSeam::setModalHandler(std::ref(run));
    j.window->ExamSheetAction->trigger();
    QCOMPARE(run.sheets, 1);
    QVERIFY(m_answers->shown().isEmpty());

    QProcess reader;
    reader.start(pdftotext, {QStringLiteral("-layout"), run.path, QStringLiteral("-")});
    QVERIFY(reader.waitForFinished(60000));
    const QString text = QString::fromUtf8(reader.readAllStandardOutput());
    QVERIFY2(text.contains(QStringLiteral("ЭКЗАМЕНАЦИОННАЯ ВЕДОМОСТЬ")), qPrintable(text));
    QVERIFY(text.contains(Group1));
    QVERIFY(text.contains(run.selection.disciplineName));
    QVERIFY(text.contains(run.selection.examinationName));
    QVERIFY(text.contains(Semester1));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < students.size(); ++i) {
        const QRegularExpression numbered(QStringLiteral("^\\s*%1\\s+%2").arg(i + 1).arg(
            QRegularExpression::escape(students.at(i))));
        QCOMPARE(lines.filter(numbered).size(), 1);
    }
    QVERIFY(text.contains(QStringLiteral("Преподаватель ______")));

    // The print preview passes the seam and lays the same sheet out.
    run.path = m_files.filePath(QStringLiteral("preview.pdf"));
    run.script = [](ExamSheetWindow &sheet) { QTest::mouseClick(sheet.PrintButton, Qt::LeftButton); };
    j.window->ExamSheetAction->trigger();
    QCOMPARE(run.previews, 1);
    QVERIFY(QFileInfo(run.path).size() > 0);
}

void TestExamSheet::csvExportsRoundTrip()
{
    Journal j;
    openJournal(j);
    QList<QStringList> sheetTable;
    SheetScript run;
    run.path = m_files.filePath(QStringLiteral("sheet.csv"));
    run.script = [&](ExamSheetWindow &sheet) {
        sheetTable = sheet.csvTable();
        QTest::mouseClick(sheet.CsvButton, Qt::LeftButton);
    };
    DialogSeam::setModalHandler(std::ref(run));
    j.window->ExamSheetAction->trigger();
    QFile sheetFile(run.path);
    QVERIFY(sheetFile.open(QIODevice::ReadOnly));
    const QByteArray sheetBytes = sheetFile.readAll();
    QVERIFY(sheetBytes.startsWith("\xEF\xBB\xBF"));
    const QList<QStringList> sheetRead = parseCsv(QString::fromUtf8(sheetBytes.mid(3)));
    QCOMPARE(sheetRead, sheetTable);
    QVERIFY(sheetRead.size() >= 6);
    QCOMPARE(sheetRead.at(0).at(1), QStringLiteral("Студент"));

    // The journal grid as shown: titles of its visible columns, then each row's texts.
    run.path = m_files.filePath(QStringLiteral("journal.csv"));
    j.window->ExportCsvAction->trigger();
    QFile journalFile(run.path);
    QVERIFY(journalFile.open(QIODevice::ReadOnly));
    const QList<QStringList> journalRead = parseCsv(QString::fromUtf8(journalFile.readAll().mid(3)));
    QCOMPARE(journalRead, csvGridTable(j.window->DBGridEh1));
    QCOMPARE(journalRead.size(), j.journal()->RecordCount() + 1);
    const int markColumn = journalRead.at(0).indexOf(QStringLiteral("Оценка"));
    QVERIFY(markColumn >= 0);
    j.journal()->First();
    QCOMPARE(journalRead.at(1).at(markColumn), j.dm->ADO_SP_Sortestimation->DisplayText());
}

void TestExamSheet::rowHistoryShowsGridEditWithNames()
{
    Journal j;
    openJournal(j);
    TDataSet *journal = j.journal();
    journal->First();
    while (!journal->Eof() && journal->FieldByName(QStringLiteral("id_examination"))->IsNull())
        journal->Next();
    QVERIFY(!journal->Eof());
    const int rowId = journal->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
    const QVariant examination = journal->FieldByName(QStringLiteral("id_examination"))->Value();
    const QVariant before = journal->FieldByName(QStringLiteral("id_estimation"))->Value();
    const int mark = j.value(QStringLiteral("SELECT id_estimation FROM est2 WHERE id_examination = ? AND "
                                            "id_estimation <> ? ORDER BY id_estimation LIMIT 1"),
                             {examination, before.isNull() ? QVariant(-1) : before})
                         .toInt();
    const QString markText = j.value(QStringLiteral("SELECT p31 FROM est2 WHERE id_estimation = ?"), {mark})
                                 .toString().trimmed();
    QVERIFY(!markText.isEmpty());
    // The edit goes through the journal's own write-back and change history.
    journal->Edit();
    journal->FieldByName(QStringLiteral("id_estimation"))->setValue(mark);
    journal->Post();
    QCOMPARE(j.value(QStringLiteral("SELECT id_estimation FROM mark_mag WHERE id_mark_mag = ?"), {rowId}).toInt(), mark);

    TColumnEh *column = j.window->DBGridEh1->ColumnByFieldName(QStringLiteral("estimation"));
    QVERIFY(column);
    j.window->DBGridEh1->setSelectedIndex(column->Index());
    QVERIFY(j.window->DBGridEh1->actions().contains(j.window->RowHistoryAction));
    QList<QStringList> lines;
    DialogSeam::setModalHandler([&](QDialog *dialog) {
        auto *history = qobject_cast<RowHistoryWindow *>(dialog);
        if (!history)
            return int(mrCancel);
        for (int row = 0; row < history->Lines->rowCount(); ++row) {
            QStringList cells;
            for (int col = 0; col < history->Lines->columnCount(); ++col)
                cells.append(history->Lines->item(row, col)->text());
            lines.append(cells);
        }
        return int(mrOk);
    });
    j.window->RowHistoryAction->trigger();
    QVERIFY(!lines.isEmpty());
    // The current field's change comes first, its new value shown as the mark's text, not its key.
    QCOMPARE(lines.first().at(3), QStringLiteral("id_estimation"));
    QCOMPARE(lines.first().at(5), markText);
    QVERIFY(!lines.first().at(0).isEmpty());
    QVERIFY(!lines.first().at(1).isEmpty());
    // The change-history entry of the same edit carries the computer it came from.
    bool logged = false;
    for (const QStringList &line : std::as_const(lines))
        logged = logged || (line.at(3).isEmpty() && !line.at(2).isEmpty() && line.at(5).contains(QLatin1String("id_estimation")));
    QVERIFY(logged);
    QVERIFY(m_answers->shown().isEmpty());
}

OLM_TEST_MAIN(TestExamSheet)
#include "tst_examsheet.moc"
