// The restore of deleted journal rows driven through the real windows on a fresh demo database: the chord
// pressed on the journal grid, the restore window's list with its stored ticks, OK and the close button, the
// notice when nothing was deleted, and what a refused restore leaves behind.
#include "gridevents/QZ_DBGrd_Evns.h"
#include "journal/GridRules.h"
#include "journal/Unit6.h"
#include "tests/tst_journal_fixture.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/BitBtn.h"
#include "tests/support/TestMain.h"

namespace {

const QString Student1 = QStringLiteral("Алексеев Никита Сергеевич");
// Where the demo keeps the two rows petrova deleted: ПИ-21, 2 семестр, Алексеев.
const QString DeletedList =
    QStringLiteral("Select * from  DEL_mark_mag where  id_group=1 and id_semester=2 and id_student=1");

// What the restore window showed: each row's id and tick, in the window's order.
struct ListedRow {
    int id = 0;
    bool ticked = false;
    bool operator==(const ListedRow &other) const { return id == other.id && ticked == other.ticked; }
};

QList<ListedRow> listedRows(TDataSet *deleted)
{
    QList<ListedRow> rows;
    const QString current = deleted->Bookmark();
    for (deleted->First(); !deleted->Eof(); deleted->Next())
        rows.append({deleted->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger(),
                     deleted->FieldByName(QStringLiteral("Check_ch"))->AsBoolean()});
    deleted->GotoBookmark(current);
    return rows;
}

QList<int> column(const Journal &j, const QString &statement)
{
    const olm::server::Outcome outcome = j.administration()->execute(statement);
    QList<int> values;
    if (outcome.ok && outcome.firstResult()) {
        for (const QVariantList &row : outcome.firstResult()->rows)
            values.append(row.value(0).toInt());
    }
    return values;
}

QList<int> deletedIds(const Journal &j)
{
    return column(j, QStringLiteral("SELECT id_mark_mag FROM del_mark_mag WHERE id_group = 1 AND id_semester = 2 "
                                    "AND id_student = 1 ORDER BY id_mark_mag"));
}

// Ticks a row of the restore window by a click on its tick box.
void clickTick(TForm5 &form, int row)
{
    TQZDBGridEh *grid = form.DBGridEh1;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(0, row).center());
}

// Every modal window from now on goes to act when it is the restore window (counted); others are cancelled.
void onRestoreWindow(int &opened, const std::function<int(TForm5 &)> &act)
{
    DialogSeam::setModalHandler([&opened, act](QDialog *dialog) {
        auto *form = qobject_cast<TForm5 *>(dialog);
        if (!form)
            return int(mrCancel);
        ++opened;
        if (!QTest::qWaitForWindowExposed(form))
            return int(mrCancel);
        return act(*form);
    });
}

int closeByItsButton(TForm5 &form)
{
    form.close();
    return mrCancel;
}

// A discipline outside the curriculum of ПИ-21, 2 семестр given to Алексеев as an extra journal row.
void addRowOutsideCurriculum(olm::server::Administration &admin)
{
    const olm::server::Outcome free = admin.execute(QStringLiteral(
        "SELECT id_discipline FROM discipline WHERE id_discipline NOT IN "
        "(SELECT id_discipline FROM curriculum WHERE id_group = 1 AND id_semester = 2) ORDER BY id_discipline"));
    if (!free.ok || !free.firstResult() || free.firstResult()->rows.empty()) {
        qWarning("no discipline outside the curriculum: %s", qPrintable(free.error));
        return;
    }
    const olm::server::Outcome added = admin.execute(
        QStringLiteral("INSERT INTO mark_mag (dopusk_izm, id_group, id_student, id_examination, id_discipline, "
                       "id_semester, id_teacher) VALUES (0, 1, 1, 2, ?, 2, 1)"),
        {free.firstResult()->rows.front().value(0)});
    if (!added.ok)
        qWarning("extra row: %s", qPrintable(added.error));
}

// The chord on ПИ-21 with the given semester and student where no restore window may open: the one box shown
// instead, or none when a window opened or another number of boxes was shown.
std::optional<ShownMessage> onlyBoxOfChord(const Journal &j, const QString &semester, const QString &student)
{
    j.show();
    if (!j.chooseAll(Group1, semester, student))
        return std::nullopt;
    int opened = 0;
    onRestoreWindow(opened, closeByItsButton);
    pressRestoreChord(j.window->DBGridEh1);
    const QList<ShownMessage> shown = DialogSeam::shown();
    if (opened != 0 || shown.size() != 1)
        return std::nullopt;
    return shown.front();
}

void revoke(olm::server::Administration &admin, const char *object, const char *action)
{
    admin.execute(QStringLiteral("DELETE FROM srv_rights WHERE object = ? AND action = ?"),
                  {QString::fromLatin1(object), QString::fromLatin1(action)});
}

} // namespace

class TestJournalRestore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listStatementOnlyWithEveryKey();
    void chordListsTheDeletedRows();
    void tickAndOkRestores();
    void tickAndCloseStoresTheTick();
    void nothingDeletedGivesTheNotice();
    void everyKeyUpSwitchesTheComponentOn();
    void refusedRestoreLeavesNothingOpen();
    void refusedListLeavesNothingOpen();

private:
    /// Checks what every ending of the chord leaves: lists closed, flags clear, component on.
    static void verifyChordOver(const Journal &j);

    std::unique_ptr<TApplication> m_application;
    std::unique_ptr<ScopedDialogAnswers> m_answers;
};

void TestJournalRestore::init()
{
    m_application = std::make_unique<TApplication>();
    m_application->setTitle(QStringLiteral("OLM 16 Учет успеваемости"));
    m_application->setShowMainForm(false);
    m_answers = std::make_unique<ScopedDialogAnswers>();
}

void TestJournalRestore::cleanup()
{
    DialogSeam::setModalHandler({});
    m_answers.reset();
    m_application.reset();
}

void TestJournalRestore::verifyChordOver(const Journal &j)
{
    QVERIFY(!j.dm->ADOQ_Buffer->Active());
    QVERIFY(!j.dm->ADOQ_del_discipline->Active());
    QVERIFY(!j.window->CtrlHeld && !j.window->ZPressed && !j.window->DPressed);
    QVERIFY(j.window->F1_QZ_DM_YOT->Active());
    QVERIFY(j.journal()->Active());
}

void TestJournalRestore::listStatementOnlyWithEveryKey()
{
    QCOMPARE(JournalRules::deletedRowsText(1, 2, 1), std::optional<QString>(DeletedList));
    QCOMPARE(JournalRules::deletedRowsText(12, 345, 6789).value(),
             QStringLiteral("Select * from  DEL_mark_mag where  id_group=12 and id_semester=345 and id_student=6789"));
    QVERIFY(!JournalRules::deletedRowsText(1, 2, QVariant()));
    QVERIFY(!JournalRules::deletedRowsText(QVariant(), 2, 1));
    QVERIFY(!JournalRules::deletedRowsText(1, QStringLiteral("x"), 1));
}

void TestJournalRestore::chordListsTheDeletedRows()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    const QList<int> ids = deletedIds(j);
    QCOMPARE(ids.size(), 2);
    // A tick stored earlier is shown again.
    j.administration()->execute(QStringLiteral("UPDATE del_mark_mag SET Check_ch = 1 WHERE id_mark_mag = ?"),
                                {ids[1]});
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester2, Student1));
    j.restartTrace();

    int opened = 0;
    QList<ListedRow> listed;
    QString discipline;
    onRestoreWindow(opened, [&](TForm5 &form) {
        listed = listedRows(j.dm->ADOQ_Buffer);
        // The discipline lookup reads the names the chord opened for the deleted rows.
        discipline = form.DBGridEh1->Columns(1)->Field()->AsString();
        return closeByItsButton(form);
    });
    pressRestoreChord(w.DBGridEh1);
    QCOMPARE(opened, 1);
    QCOMPARE(listed, (QList<ListedRow>{{ids[0], false}, {ids[1], true}}));
    QVERIFY(!discipline.isEmpty());
    QVERIFY(j.traced().contains(DeletedList));
    QVERIFY(m_answers->shown().isEmpty());
    verifyChordOver(j);
    // Nothing was restored by closing.
    QCOMPARE(deletedIds(j), ids);

    // Z released before D was pressed: no chord.
    w.DBGridEh1->setFocus();
    QTest::keyPress(w.DBGridEh1, Qt::Key_Control);
    QTest::keyPress(w.DBGridEh1, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyRelease(w.DBGridEh1, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyPress(w.DBGridEh1, Qt::Key_D, Qt::ControlModifier);
    QTest::keyRelease(w.DBGridEh1, Qt::Key_D, Qt::ControlModifier);
    QTest::keyRelease(w.DBGridEh1, Qt::Key_Control);
    QCOMPARE(opened, 1);
}

void TestJournalRestore::tickAndOkRestores()
{
    Journal j(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword), addRowOutsideCurriculum);
    QVERIFY2(j.window, qPrintable(j.db.error()));
    const QList<int> ids = deletedIds(j);
    QCOMPARE(ids.size(), 2);
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester2, Student1));
    TDataSet *journal = j.journal();
    const int rowsBefore = journal->RecordCount();
    QVERIFY(!journal->Locate(QStringLiteral("id_mark_mag"), ids[0]));
    // An edit of the journal still pending when the chord comes is kept through the reload.
    journal->setRecNo(1);
    const int edited = journal->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
    journal->Edit();
    journal->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("777"));
    j.restartTrace();

    int opened = 0;
    int listedAfterOk = -1;
    bool closedByOk = false;
    onRestoreWindow(opened, [&](TForm5 &form) {
        clickTick(form, 0);
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
        // The list is read again without the restored row; the window closes with OK.
        listedAfterOk = j.dm->ADOQ_Buffer->RecordCount();
        closedByOk = !form.isVisible() && form.result() == mrOk;
        return form.result();
    });
    pressRestoreChord(w.DBGridEh1);
    QCOMPARE(opened, 1);
    QCOMPARE(listedAfterOk, 1);
    QVERIFY(closedByOk);
    QVERIFY2(m_answers->shown().isEmpty(), qPrintable(m_answers->shown().value(0).text));
    const QStringList traced = j.traced();
    QVERIFY(traced.contains(DeletedList));
    QVERIFY2(traced.filter(QStringLiteral("CTRL_Z_Mark_mag")).size() == 1, qPrintable(traced.join(u'\n')));
    QVERIFY(traced.indexOf(DeletedList) < traced.indexOf(traced.filter(QStringLiteral("CTRL_Z_Mark_mag")).first()));

    // Back in the journal and on the server; the other row still waits.
    QCOMPARE(journal->RecordCount(), rowsBefore + 1);
    QVERIFY(journal->Locate(QStringLiteral("id_mark_mag"), ids[0]));
    QCOMPARE(j.value(QStringLiteral("SELECT COUNT(*) FROM mark_mag WHERE id_mark_mag = ?"), {ids[0]}).toInt(), 1);
    QCOMPARE(deletedIds(j), QList<int>{ids[1]});
    QCOMPARE(j.value(QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = ?"), {edited}).toString(),
             QStringLiteral("777"));
    // The row outside the curriculum is marked again.
    const QList<int> outside = column(j, QStringLiteral("SELECT id_mark_mag FROM mark_mag WHERE id_group = 1 AND "
                                                        "id_semester = 2 AND id_student = 1 AND id_examination = 2 "
                                                        "AND id_discipline NOT IN (SELECT id_discipline FROM curriculum "
                                                        "WHERE id_group = 1 AND id_semester = 2)"));
    QCOMPARE(outside.size(), 1);
    QCOMPARE(w.F1_QZ_DM_YOT->ErrorList().toStringList(), QStringList{QString::number(outside[0])});
    verifyChordOver(j);
}

void TestJournalRestore::tickAndCloseStoresTheTick()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    const QList<int> ids = deletedIds(j);
    QCOMPARE(ids.size(), 2);
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester2, Student1));

    int opened = 0;
    QList<ListedRow> listed;
    onRestoreWindow(opened, [&](TForm5 &form) {
        listed = listedRows(j.dm->ADOQ_Buffer);
        if (opened == 1)
            clickTick(form, 1);
        return closeByItsButton(form);
    });
    pressRestoreChord(w.DBGridEh1);
    QCOMPARE(opened, 1);
    QCOMPARE(listed, (QList<ListedRow>{{ids[0], false}, {ids[1], false}}));
    // Nothing restored, the tick left on the row stored all the same.
    QCOMPARE(deletedIds(j), ids);
    QCOMPARE(j.value(QStringLiteral("SELECT Check_ch FROM del_mark_mag WHERE id_mark_mag = ?"), {ids[1]}).toInt(), 1);
    QVERIFY(!w.DBGridEh1->dataSet()->Locate(QStringLiteral("id_mark_mag"), ids[1]));
    verifyChordOver(j);

    // And shown the next time.
    pressRestoreChord(w.DBGridEh1);
    QCOMPARE(opened, 2);
    QCOMPARE(listed, (QList<ListedRow>{{ids[0], false}, {ids[1], true}}));
    QVERIFY(m_answers->shown().isEmpty());
}

void TestJournalRestore::nothingDeletedGivesTheNotice()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    const std::optional<ShownMessage> shown = onlyBoxOfChord(j, Semester1, Student3);
    QVERIFY(shown);
    QCOMPARE(shown->kind, QStringLiteral("MessageBoxA"));
    QCOMPARE(shown->text, QStringLiteral("Нет записей для восстановления"));
    QCOMPARE(shown->caption, QStringLiteral("Уведомление"));
    QCOMPARE(shown->type, MB_OK | MB_ICONINFORMATION);
    QVERIFY(!shown->hasOwner);
    verifyChordOver(j);
}

void TestJournalRestore::everyKeyUpSwitchesTheComponentOn()
{
    Journal j;
    QVERIFY2(j.window, qPrintable(j.db.error()));
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester2, Student1));
    TQZDBGridEh *grid = w.DBGridEh1;
    int opened = 0;
    onRestoreWindow(opened, closeByItsButton);

    // Any key: the component that was off is on, the journal open again.
    w.F1_QZ_DM_YOT->setActive(false);
    QVERIFY(!j.journal()->Active());
    grid->setFocus();
    QTest::keyPress(grid, Qt::Key_Shift);
    QTest::keyRelease(grid, Qt::Key_Shift);
    QVERIFY(w.F1_QZ_DM_YOT->Active());
    QVERIFY(j.journal()->Active());

    // The chord while the student box has lost its key: nothing is sent or opened, the chord is cleared.
    j.restartTrace();
    w.DBLookupComboboxEh1->setKeyValue(QVariant());
    QVERIFY(w.DBLookupComboboxEh1->KeyValue().isNull());
    grid->setFocus();
    QTest::keyPress(grid, Qt::Key_Control);
    QTest::keyPress(grid, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyPress(grid, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(w.CtrlHeld && w.ZPressed && w.DPressed);
    QTest::keyRelease(grid, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(opened, 0);
    QVERIFY(m_answers->shown().isEmpty());
    QVERIFY(j.traced().filter(QStringLiteral("DEL_mark_mag"), Qt::CaseInsensitive).isEmpty());
    verifyChordOver(j);
}

void TestJournalRestore::refusedRestoreLeavesNothingOpen()
{
    Journal j(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword),
              [](olm::server::Administration &admin) { revoke(admin, "CTRL_Z_Mark_mag", "EXECUTE"); });
    QVERIFY2(j.window, qPrintable(j.db.error()));
    const QList<int> ids = deletedIds(j);
    QCOMPARE(ids.size(), 2);
    j.show();
    TForm2 &w = *j.window;
    QVERIFY(j.chooseAll(Group1, Semester2, Student1));
    const int rowsBefore = j.journal()->RecordCount();

    int opened = 0;
    qsizetype shownWhileOpen = -1;
    QPointer<TForm5> window;
    onRestoreWindow(opened, [&](TForm5 &form) {
        window = &form;
        clickTick(form, 0);
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
        // The error waits until the window and its lists are closed.
        shownWhileOpen = m_answers->shown().size();
        return form.result();
    });
    pressRestoreChord(w.DBGridEh1);
    QCOMPARE(opened, 1);
    QCOMPARE(shownWhileOpen, 0);
    QVERIFY(!window);
    const QList<ShownMessage> shown = m_answers->shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, QStringLiteral("Error"));
    QVERIFY2(shown[0].text.contains(QStringLiteral("CTRL_Z_Mark_mag")), qPrintable(shown[0].text));
    verifyChordOver(j);
    // The tick was stored before the refusal; nothing came back.
    QCOMPARE(j.value(QStringLiteral("SELECT Check_ch FROM del_mark_mag WHERE id_mark_mag = ?"), {ids[0]}).toInt(), 1);
    QCOMPARE(deletedIds(j), ids);
    QCOMPARE(j.journal()->RecordCount(), rowsBefore);
}

void TestJournalRestore::refusedListLeavesNothingOpen()
{
    Journal j(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword),
              [](olm::server::Administration &admin) { revoke(admin, "del_mark_mag", "SELECT"); });
    QVERIFY2(j.window, qPrintable(j.db.error()));
    const std::optional<ShownMessage> shown = onlyBoxOfChord(j, Semester2, Student1);
    QVERIFY(shown);
    QCOMPARE(shown->kind, QStringLiteral("Error"));
    QVERIFY2(shown->text.contains(QStringLiteral("del_mark_mag"), Qt::CaseInsensitive), qPrintable(shown->text));
    verifyChordOver(j);
}

OLM_TEST_MAIN(TestJournalRestore)
#include "tst_journalrestore.moc"
