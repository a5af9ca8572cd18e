// The journal grid's own rules driven through the real window on a fresh demo database: the comma rule,
// single-cell copy and paste, the column updates, the colours as painted, deletion through the server
// (confirmed, declined, refused), the chord flags and the rows outside the curriculum.
#include "gridevents/QZ_DBGrd_Evns.h"
#include "journal/GridRules.h"
#include "journal/Unit3.h"
#include "tests/tst_journal_fixture.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/BitBtn.h"
#include "tests/support/TestMain.h"

#include <QComboBox>
#include <QHash>
#include <QImage>
#include <QLineEdit>

namespace {

const QString Student2 = QStringLiteral("Белова Дарья Андреевна");

// The colour most pixels of a cell show: the brush, whatever text is drawn on it.
QColor cellColour(const QImage &image, const QRect &cell)
{
    QHash<QRgb, int> counts;
    for (int y = cell.top() + 1; y < cell.bottom(); ++y)
        for (int x = cell.left() + 1; x < cell.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb best = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    }
    return QColor::fromRgb(best);
}

// The journal row numbers (RecNo) of the rows with a form of assessment.
QList<int> rowsOfForm(TDataSet *journal, int examination)
{
    QList<int> rows;
    for (int recNo = 1; recNo <= journal->RecordCount(); ++recNo) {
        journal->setRecNo(recNo);
        if (journal->FieldByName(QStringLiteral("id_examination"))->AsInteger() == examination)
            rows.append(recNo);
    }
    return rows;
}

int idAt(TDataSet *journal, int recNo)
{
    journal->setRecNo(recNo);
    return journal->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
}

// Picks an item of the lookup or pick-list editor of the current cell as a user does.
bool pickInEditor(TQZDBGridEh *grid, const std::function<int(QComboBox *)> &itemOf)
{
    auto *box = qobject_cast<QComboBox *>(grid->InplaceEditor());
    if (!box)
        return false;
    box->showPopup();
    const int item = itemOf(box);
    if (item < 0)
        return false;
    box->view()->setCurrentIndex(box->model()->index(item, 0));
    QTest::keyClick(box->view(), Qt::Key_Return);
    return true;
}

// Every modal window from now on: the deletion dialog is counted and answered by the button button(n)
// names for its n-th showing (from 1); any other window is cancelled.
void answerDeletions(int &asked, const std::function<TBitBtn *(TForm1 &, int)> &button)
{
    DialogSeam::setModalHandler([&asked, button](QDialog *dialog) {
        auto *form = qobject_cast<TForm1 *>(dialog);
        if (!form)
            return int(mrCancel);
        ++asked;
        QTest::mouseClick(button(*form, asked), Qt::LeftButton);
        return form->result();
    });
}

} // namespace

class TestJournalRules : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void failingMarkRule_data();
    void failingMarkRule();
    void commaTypedAsPoint();
    void cellCopyAndPaste();
    void columnUpdates();
    void coloursAsPainted();
    void deletionThroughTheServer();
    void declinedDeletionAskedAgain();
    void refusedDeletionLeavesTheJournal();
    void chordFlags();
    void rowsOutsideCurriculum();

private:
    std::unique_ptr<TApplication> m_application;
    std::unique_ptr<ScopedDialogAnswers> m_answers;
};

void TestJournalRules::init()
{
    m_application = std::make_unique<TApplication>();
    m_application->setTitle(QStringLiteral("OLM 16 Учет успеваемости"));
    m_application->setShowMainForm(false);
    m_answers = std::make_unique<ScopedDialogAnswers>();
}

void TestJournalRules::cleanup()
{
    m_answers.reset();
    m_application.reset();
}

void TestJournalRules::failingMarkRule_data()
{
    QTest::addColumn<int>("examination");
    QTest::addColumn<int>("estimation");
    QTest::addColumn<bool>("failing");
    QTest::newRow("2/33") << 2 << 33 << true;
    QTest::newRow("2/11") << 2 << 11 << true;
    QTest::newRow("2/44") << 2 << 44 << true;
    QTest::newRow("2/55") << 2 << 55 << true;
    QTest::newRow("2/10") << 2 << 10 << false;
    QTest::newRow("2/20") << 2 << 20 << false;
    QTest::newRow("3/31") << 3 << 31 << true;
    QTest::newRow("1/10") << 1 << 10 << true;
    QTest::newRow("5/10") << 5 << 10 << true;
    QTest::newRow("4/33") << 4 << 33 << false;
    QTest::newRow("6/10") << 6 << 10 << false;
}

void TestJournalRules::failingMarkRule()
{
    QFETCH(int, examination);
    QFETCH(int, estimation);
    QFETCH(bool, failing);
    QCOMPARE(JournalRules::isFailingMark(examination, estimation), failing);
}

void TestJournalRules::commaTypedAsPoint()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = w.DBGridEh1;
    grid->setFocus();
    // The sheet number "№".
    grid->setCol(8);
    QTRY_VERIFY(qobject_cast<QLineEdit *>(grid->InplaceEditor()));
    auto *editor = qobject_cast<QLineEdit *>(grid->InplaceEditor());
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("3,5"));
    QCOMPARE(editor->text(), QStringLiteral("3.5"));
    // Any column: the rule does not look at it.
    for (const int col : {1, 2, 6, 9}) {
        grid->setCol(col);
        QChar typed = QLatin1Char(',');
        w.DBGridEh1KeyPress(grid, typed);
        QCOMPARE(typed, QLatin1Char('.'));
    }
    QChar other = QLatin1Char(';');
    w.DBGridEh1KeyPress(grid, other);
    QCOMPARE(other, QLatin1Char(';'));
}

void TestJournalRules::cellCopyAndPaste()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = w.DBGridEh1;
    TDataSet *journal = j.journal();
    const QList<int> exams = rowsOfForm(journal, 1);
    QVERIFY(exams.size() >= 2);
    // Two exam rows with different marks.
    const int target = idAt(journal, exams[1]);
    j.administration()->execute(QStringLiteral("UPDATE mark_mag SET id_estimation = 35 WHERE id_mark_mag = ?"),
                                {idAt(journal, exams[0])});
    j.administration()->execute(QStringLiteral("UPDATE mark_mag SET id_estimation = 12 WHERE id_mark_mag = ?"),
                                {target});
    w.F1_QZ_DM_YOT->setActive(false);
    w.F1_QZ_DM_YOT->setActive(true);
    grid->setFocus();

    // The mark cell gives its key, not the shown text; the list is narrowed to the row's form.
    journal->setRecNo(exams[0]);
    grid->setCol(6);
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(w.CellBuffer, QStringLiteral("35"));
    QCOMPARE(j.dm->ADOQ_estimation->SQLText(), QStringLiteral("Select * from est2 where id_examination=1"));

    // Rows selected: neither copy nor paste.
    grid->SelectedRows().setCurrentRowSelected(true);
    journal->setRecNo(exams[1]);
    grid->setCol(6);
    w.CellBuffer = QStringLiteral("34");
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(w.CellBuffer, QStringLiteral("34"));
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(journal->State(), dsBrowse);
    QCOMPARE(journal->FieldByName(QStringLiteral("id_estimation"))->AsInteger(), 12);
    grid->SelectedRows().Clear();
    w.CellBuffer = QStringLiteral("35");

    // Discipline and form of assessment: their keys are read-only.
    for (const int col : {3, 5}) {
        grid->setCol(col);
        QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(journal->State(), dsBrowse);
    }

    // The other exam row takes the mark; the editor option is back.
    grid->setCol(6);
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(journal->State(), dsEdit);
    QCOMPARE(journal->FieldByName(QStringLiteral("id_estimation"))->AsInteger(), 35);
    QCOMPARE(journal->FieldByName(QStringLiteral("estimation"))->AsString(), QStringLiteral("5"));
    QVERIFY(grid->Options & dgAlwaysShowEditor);
    journal->Post();
    QCOMPARE(j.value(QStringLiteral("SELECT id_estimation FROM mark_mag WHERE id_mark_mag = ?"), {target}).toInt(), 35);

    // A value the field refuses: reported, the row left as it was.
    w.CellBuffer = QStringLiteral("abc");
    const qsizetype before = m_answers->shown().size();
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_answers->shown().size(), before + 1);
    QCOMPARE(journal->State(), dsBrowse);
    QCOMPARE(journal->FieldByName(QStringLiteral("id_estimation"))->AsInteger(), 35);
    QVERIFY(grid->Options & dgAlwaysShowEditor);
}

void TestJournalRules::columnUpdates()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = w.DBGridEh1;
    TDataSet *journal = j.journal();
    QVERIFY(journal->RecordCount() >= 2);
    grid->setFocus();

    // Sheet form 2 numbers the sheet with the row's id.
    journal->setRecNo(1);
    const QString id = journal->FieldByName(QStringLiteral("id_mark_mag"))->AsString();
    grid->setCol(7);
    QVERIFY(pickInEditor(grid, [](QComboBox *box) { return box->findData(2); }));
    QCOMPARE(journal->FieldByName(QStringLiteral("id_f_est"))->AsInteger(), 2);
    QCOMPARE(journal->FieldByName(QStringLiteral("p35"))->AsString(), id);
    journal->Post();

    // Any other sheet form leaves the number alone.
    journal->setRecNo(2);
    const QString number = journal->FieldByName(QStringLiteral("p35"))->AsString();
    grid->setCol(7);
    QVERIFY(pickInEditor(grid, [](QComboBox *box) { return box->findData(3); }));
    QCOMPARE(journal->FieldByName(QStringLiteral("p35"))->AsString(), number);
    journal->Post();

    // Admission chosen by hand, whichever value.
    for (const QString &admission : {QStringLiteral("н/д"), QStringLiteral("д")}) {
        journal->setRecNo(2);
        journal->Edit();
        journal->FieldByName(QStringLiteral("dopusk_izm"))->setAsBoolean(false);
        journal->Post();
        grid->setCol(2);
        QVERIFY(pickInEditor(grid, [&admission](QComboBox *box) { return box->findText(admission); }));
        QVERIFY(journal->FieldByName(QStringLiteral("dopusk_izm"))->AsBoolean());
        journal->Post();
    }

    // The mark column gives back the full list before the mark is stored.
    const QList<int> exams = rowsOfForm(journal, 1);
    QVERIFY(!exams.isEmpty());
    journal->setRecNo(exams[0]);
    grid->setCol(6);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(5, exams[0] - 1).center());
    QCOMPARE(j.dm->ADOQ_estimation->SQLText(), QStringLiteral("Select * from est2 where id_examination=1"));
    QVERIFY(pickInEditor(grid, [](QComboBox *box) { return box->findData(14); }));
    QCOMPARE(j.dm->ADOQ_estimation->SQLText(), JournalRules::FullMarkListText);
    QCOMPARE(journal->FieldByName(QStringLiteral("id_estimation"))->AsInteger(), 14);
}

void TestJournalRules::coloursAsPainted()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = w.DBGridEh1;
    TDataSet *journal = j.journal();
    const QList<int> credits = rowsOfForm(journal, 2);
    const QList<int> exams = rowsOfForm(journal, 1);
    QVERIFY(credits.size() >= 2);
    QVERIFY(exams.size() >= 2);
    const int failedCredit = credits[0];
    const int plainCredit = credits[1];
    const int failedExam = exams[0];
    const int special = exams[1];
    const auto setMark = [&](int recNo, int mark) {
        j.administration()->execute(QStringLiteral("UPDATE mark_mag SET id_estimation = ?, primech = ? WHERE "
                                                   "id_mark_mag = ?"),
                                    {mark, QStringLiteral("д"), idAt(journal, recNo)});
    };
    setMark(failedCredit, 33);
    setMark(plainCredit, 10);
    setMark(failedExam, 31);
    setMark(special, 25);
    j.administration()->execute(QStringLiteral("UPDATE mark_mag SET primech = ? WHERE id_mark_mag = ?"),
                                {QStringLiteral("н/д"), idAt(journal, plainCredit)});
    w.F1_QZ_DM_YOT->setActive(false);
    w.F1_QZ_DM_YOT->setActive(true);
    grid->setCol(1);
    const auto paint = [grid] {
        grid->viewport()->repaint();
        return grid->viewport()->grab().toImage();
    };
    const auto colourAt = [grid](const QImage &image, int dataCol, int recNo) {
        return cellColour(image, grid->CellRect(dataCol, recNo - 1));
    };
    const QColor white = ColorToQColor(clWhite);
    const QColor red = ColorToQColor(JournalRules::FailedKeyColor);
    const QColor lightRed = ColorToQColor(JournalRules::FailedMarkColor);
    const QColor selection = ColorToQColor(w.F1_QZ_DM_YOT->QZDBAttributes().SelAttr().Color());
    QCOMPARE(red, QColor(255, 0, 0));
    QCOMPARE(lightRed, QColor(255, 128, 128));

    // The current row (highlighted) is one that is not looked at.
    journal->setRecNo(plainCredit);
    QImage image = paint();
    for (int dataCol = 0; dataCol < 9; ++dataCol) {
        const QColor failed = dataCol == 3 || dataCol == 4 ? red : lightRed;
        QCOMPARE(colourAt(image, dataCol, failedCredit), failed);
        QCOMPARE(colourAt(image, dataCol, failedExam), failed);
        QCOMPARE(colourAt(image, dataCol, special), QColor(206, 239, 255));
    }

    // Form 2 with mark 10 is no failure; "н/д" colours its admission cell only. The row of mark 25,
    // selected and not focused, keeps the selection colour.
    journal->setRecNo(special);
    grid->SelectedRows().setCurrentRowSelected(true);
    journal->setRecNo(failedCredit);
    image = paint();
    for (int dataCol = 0; dataCol < 9; ++dataCol) {
        QCOMPARE(colourAt(image, dataCol, plainCredit), dataCol == 1 ? QColor(255, 221, 221) : white);
        QCOMPARE(colourAt(image, dataCol, special), selection);
    }
}

void TestJournalRules::deletionThroughTheServer()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = w.DBGridEh1;
    TDataSet *journal = j.journal();
    const int rowsBefore = journal->RecordCount();
    QVERIFY(rowsBefore >= 4);
    QStringList bookmarks;
    QString expected;
    QList<int> ids;
    for (const int recNo : {1, 2, 4}) {
        ids.append(idAt(journal, recNo));
        expected += QString::number(ids.last()) + QLatin1Char(',');
        grid->SelectedRows().setCurrentRowSelected(true);
        bookmarks.append(journal->Bookmark());
    }
    // The list the procedure gets: every id followed by a comma, the last one included.
    QCOMPARE(JournalRules::idList(journal, bookmarks, QStringLiteral("id_mark_mag")), expected);

    int asked = 0;
    answerDeletions(asked, [](TForm1 &form, int) { return form.BitBtn1; });
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(asked, 1);
    QCOMPARE(j.dm->ADO_Del_SP->Parameters()->Items(1)->Value.toString(), expected);
    QCOMPARE(grid->SelectedRows().Count(), 0);
    QVERIFY(!journal->ControlsDisabled());
    QVERIFY(journal->Active());
    QCOMPARE(journal->RecordCount(), rowsBefore - 3);
    for (const int id : ids) {
        QCOMPARE(j.value(QStringLiteral("SELECT COUNT(*) FROM mark_mag WHERE id_mark_mag = ?"), {id}).toInt(), 0);
        QCOMPARE(j.value(QStringLiteral("SELECT COUNT(*) FROM del_mark_mag WHERE id_mark_mag = ?"), {id}).toInt(), 1);
    }
    // Ctrl+X copies the selected rows first and deletes them the same way.
    journal->setRecNo(1);
    const int cutId = idAt(journal, 1);
    grid->SelectedRows().setCurrentRowSelected(true);
    QTest::keyClick(grid, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(asked, 2);
    QCOMPARE(j.dm->ADO_Del_SP->Parameters()->Items(1)->Value.toString(), QString::number(cutId) + QLatin1Char(','));
    QCOMPARE(j.value(QStringLiteral("SELECT COUNT(*) FROM del_mark_mag WHERE id_mark_mag = ?"), {cutId}).toInt(), 1);
    DialogSeam::setModalHandler({});
}

void TestJournalRules::declinedDeletionAskedAgain()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = w.DBGridEh1;
    TDataSet *journal = j.journal();
    const int rowsBefore = journal->RecordCount();
    const int id = idAt(journal, 2);
    grid->SelectedRows().setCurrentRowSelected(true);
    // "Нет" to the window's question, "Да" when the component asks again.
    int asked = 0;
    answerDeletions(asked, [](TForm1 &form, int n) { return n == 1 ? form.BitBtn2 : form.BitBtn1; });
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(asked, 2);
    QVERIFY(j.dm->ADO_Del_SP->Parameters()->Items(1)->Value.isNull());
    QCOMPARE(journal->RecordCount(), rowsBefore - 1);
    QCOMPARE(j.value(QStringLiteral("SELECT COUNT(*) FROM mark_mag WHERE id_mark_mag = ?"), {id}).toInt(), 0);
    QVERIFY(j.value(QStringLiteral("SELECT COUNT(*) FROM OLM_LOG")).toInt() > 0);
    DialogSeam::setModalHandler({});
}

void TestJournalRules::refusedDeletionLeavesTheJournal()
{
    Journal j(QLatin1String(DemoUsers::Reader), QLatin1String(DemoUsers::ReaderPassword));
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = w.DBGridEh1;
    TDataSet *journal = j.journal();
    const int rowsBefore = journal->RecordCount();
    for (const int recNo : {1, 3}) {
        journal->setRecNo(recNo);
        grid->SelectedRows().setCurrentRowSelected(true);
    }
    journal->setRecNo(2);
    int asked = 0;
    answerDeletions(asked, [](TForm1 &form, int) { return form.BitBtn1; });
    const qsizetype before = m_answers->shown().size();
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    DialogSeam::setModalHandler({});
    // The server's own text, once; nothing left disabled, set or moved.
    const QList<ShownMessage> shown = m_answers->shown().mid(before);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].text.contains(QStringLiteral("DEL_FROM_MARK_MAG")), qPrintable(shown[0].text));
    QVERIFY(!journal->ControlsDisabled());
    QVERIFY(j.dm->ADO_Del_SP->Parameters()->Items(1)->Value.isNull());
    QCOMPARE(grid->SelectedRows().Count(), 2);
    QCOMPARE(journal->RecNo(), 2);
    QCOMPARE(journal->RecordCount(), rowsBefore);
}

void TestJournalRules::chordFlags()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student3));
    TQZDBGridEh *grid = w.DBGridEh1;
    grid->setFocus();
    QTest::keyPress(grid, Qt::Key_Control);
    QVERIFY(w.CtrlHeld && !w.ZPressed && !w.DPressed);
    QTest::keyPress(grid, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(w.CtrlHeld && w.ZPressed && !w.DPressed);
    QTest::keyPress(grid, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(w.CtrlHeld && w.ZPressed && w.DPressed);
    // Only go from false to true on key-down; Ctrl with Shift is not Ctrl alone.
    QTest::keyPress(grid, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!w.CtrlHeld && w.ZPressed && w.DPressed);
    QTest::keyRelease(grid, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(JournalRules::isLetterKey('z', 'Z'));
    QVERIFY(!JournalRules::isLetterKey('X', 'Z'));
}

void TestJournalRules::rowsOutsideCurriculum()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester1, Student2));
    TDataSet *journal = j.journal();
    TDataSet *curriculum = j.dm->ADOQ_Discipline;
    QVERIFY(curriculum->RecordCount() < journal->RecordCount());
    w.F1_QZ_DM_YOT->ErrorList().Add(QStringLiteral("stale"));
    w.MarkRowsOutsideCurriculum(curriculum, journal, w.F1_QZ_DM_YOT);
    // Физическая культура as a credit is not in the plan.
    QCOMPARE(w.F1_QZ_DM_YOT->ErrorList().Count(), 1);
    const int outside = w.F1_QZ_DM_YOT->ErrorList().Strings(0).toInt();
    QVERIFY(journal->Locate(QStringLiteral("id_mark_mag"), outside));
    QVERIFY(curriculum
                ->Lookup(QStringLiteral("id_discipline;id_examination"),
                         QVariantList{journal->FieldByName(QStringLiteral("id_discipline"))->Value(),
                                      journal->FieldByName(QStringLiteral("id_examination"))->Value()},
                         QStringLiteral("id_discipline"))
                .isNull());
    QVERIFY(!journal->ControlsDisabled());

    // A curriculum as long as the journal: nothing is marked, even the row outside it.
    TADOQuery *wide = j.dm->ADOQ_Discipline;
    wide->Close();
    wide->setSQLText(QStringLiteral("SELECT * FROM gr_sem_disc_exam"));
    wide->Open();
    QVERIFY(wide->RecordCount() >= journal->RecordCount());
    w.MarkRowsOutsideCurriculum(wide, journal, w.F1_QZ_DM_YOT);
    QCOMPARE(w.F1_QZ_DM_YOT->ErrorList().Count(), 0);
}

OLM_TEST_MAIN(TestJournalRules)
#include "tst_journalrules.moc"
