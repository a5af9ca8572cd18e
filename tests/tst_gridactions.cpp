// Tests of the grid component's row edit actions: the Ctrl keys and their confirmation, copy, cut, paste,
// delete and select all over a real dataset, the clipboard block, and rows between two windows.
#include "gridevents/ClipboardBlock.h"
#include "gridevents/EditKeys.h"
#include "platform/FakePlatform.h"
#include "tests/support/TestMain.h"
#include "tests/tst_gridevents_fixture.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/Dialogs.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>
#include <optional>

using olm::platform::FakePlatform;
using olm::platform::ScopedPlatform;

namespace {

constexpr TDBGridEhEditActions allActions = geaCutEh | geaCopyEh | geaPasteEh | geaDeleteEh | geaSelectAllEh;

/// The journal fixture with every action switched on, the component on and its reports recorded.
class ActionJournal : public Journal {
public:
    /// prepare runs before the component is switched on (the dataset is still closed).
    explicit ActionJournal(const QList<MarkRow> &rows, bool duplicateFields = false,
                           const std::function<void(ActionJournal &)> &prepare = {})
        : Journal(rows)
    {
        if (!isValid())
            return;
        // Journal rows are made by the server's procedures; pasted rows are written straight into the table.
        db.administrator()->execute(
            QStringLiteral("INSERT INTO srv_rights (login, object, action) VALUES (?, 'mark_mag', 'INSERT')"), {editorLogin});
        if (prepare)
            prepare(*this);
        events->setUniqueField(field("id_mark_mag"));
        events->setEditActions(allActions);
        events->OnQZDBEGridError = [this](QObject *sender, quint16 id) {
            if (sender != events)
                error = QStringLiteral("a report from another sender");
            reports.append(id);
        };
        grid->setOptions(grid->Options & ~dgConfirmDelete);
        if (duplicateFields)
            setDuplicateFields({QStringLiteral("id_discipline"), QStringLiteral("id_examination")});
        events->setActive(true);
        if (!events->Active())
            error = QStringLiteral("the component did not switch on");
    }

    /// Ctrl (and more) with a key, typed into the shown grid.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        if (!form.isVisible())
            paint();
        grid->setFocus();
        QTest::keyClick(grid, key, modifiers);
    }
    QList<quint16> takeReports() { return std::exchange(reports, {}); }

    /// The rows as the dataset holds them, in its order: discipline/examination/p35.
    QStringList rows() const
    {
        QStringList texts;
        for (int row = 0; row < query.DisplayRowCount(); ++row) {
            const TDataSet::RecordScope scope(&query, row);
            texts.append(field("id_discipline")->AsString() + QLatin1Char('/') + field("id_examination")->AsString()
                         + QLatin1Char('/') + field("p35")->AsString());
        }
        return texts;
    }
    /// Rows of mark_mag in the database.
    int storedRows() const
    {
        const auto admin = db.administrator();
        const olm::server::Outcome outcome = admin->execute(QStringLiteral("SELECT COUNT(*) FROM mark_mag"));
        return outcome.firstResult() ? outcome.firstResult()->rows.front().value(0).toInt() : -1;
    }
    QString currentP35() const { return field("p35")->AsString(); }

    QList<quint16> reports;
};

QByteArray block(const QList<QStringList> &rows)
{
    QByteArray bytes;
    for (const QStringList &row : rows) {
        if (!olm::gridevents::appendBlockRow(bytes, row))
            qFatal("test rows that cannot be carried");
    }
    return bytes;
}

std::optional<QByteArray> clipboardBlock(FakePlatform &fake)
{
    QString error;
    return fake.clipboardRead(DBEditDataFormat, &error);
}

const QList<quint16> finishedOnce{qzeFinished};
const QList<quint16> finishedTwice{qzeFinished, qzeFinished};

} // namespace

class TestGridActions : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void blockLayout();
    void valuesThatCannotTravel_data();
    void valuesThatCannotTravel();
    void malformedRowsAreRefusedOneByOne_data();
    void malformedRowsAreRefusedOneByOne();
    void keyBindings_data();
    void keyBindings();

    void everyActionChecksItsPreconditions();
    void copyCarriesTheSelectedRowsOnly();
    void numericPadAndFunctionKeysActAsLetters();
    void ownerKeyHandlerComesFirst();
    void confirmationOfCutAndDelete();
    void confirmationHandlerReplacesTheBox();
    void cutReleasesDuplicateKeys_data();
    void cutReleasesDuplicateKeys();
    void cutThatCannotCarryAValueDeletesNothing();
    void heldClipboardReachesTheCaller();
    void pasteInsertsTheRowsAndMarksThem();
    void pasteWithoutRowsOfOurs();
    void refusedRowsAreCancelledAndNotListed();
    void pasteLeavesMalformedRowsOutAndUnconvertibleValuesEmpty();
    void lookupColumnCarriesTheKey();
    void deleteRemovesRowsMarksAndSelection();
    void manyRowsKeepTheDuplicateListOfRecordByRecordChecks();
    void selectAll();
    void rowsPassBetweenTwoWindowsThroughTheClipboard();

private:
    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<ScopedPlatform> m_platform;
};

void TestGridActions::init()
{
    m_fake = std::make_unique<FakePlatform>();
    m_platform = std::make_unique<ScopedPlatform>(*m_fake);
}

void TestGridActions::cleanup()
{
    m_platform.reset();
    m_fake.reset();
}

void TestGridActions::blockLayout()
{
    QByteArray bytes;
    QVERIFY(olm::gridevents::appendBlockRow(bytes, {QStringLiteral("12"), QString(), QStringLiteral("5")}));
    QCOMPARE(bytes, QByteArray("\x31\x32\x01\x01\x35\x01\x02"));
    // Cyrillic goes single-byte; the euro sign is in the code page too.
    QVERIFY(olm::gridevents::appendBlockRow(bytes, {QStringLiteral("Ёж"), QStringLiteral("€")}));
    QCOMPARE(bytes.mid(7), QByteArray("\xA8\xE6\x01\x88\x01\x02"));

    const olm::gridevents::DecodedBlock rows = olm::gridevents::decodeBlock(bytes.left(7), 3);
    QCOMPARE(rows.rows, (QList<QStringList>{{QStringLiteral("12"), QString(), QStringLiteral("5")}}));
    QCOMPARE(rows.refusedRows, 0);
    QCOMPARE(olm::gridevents::decodeBlock(bytes.mid(7), 2).rows.value(0),
             (QStringList{QStringLiteral("Ёж"), QStringLiteral("€")}));
    // A grid without columns carries empty rows.
    QByteArray empty;
    QVERIFY(olm::gridevents::appendBlockRow(empty, {}));
    QCOMPARE(empty, QByteArray("\x02"));
    QCOMPARE(olm::gridevents::decodeBlock(empty, 0).rows.size(), 1);
}

void TestGridActions::valuesThatCannotTravel_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("value terminator") << QStringLiteral("a\x01" "b");
    QTest::newRow("row terminator") << QStringLiteral("\x02");
    QTest::newRow("latin letter with diaeresis") << QStringLiteral("Müller");
    QTest::newRow("outside the BMP") << QStringLiteral("x\U0001F600");
    QTest::newRow("question mark is fine, its stand-in is not") << QStringLiteral("?\u4E2D");
}

void TestGridActions::valuesThatCannotTravel()
{
    QFETCH(QString, value);
    QByteArray bytes("kept");
    QVERIFY(!olm::gridevents::appendBlockRow(bytes, {QStringLiteral("1"), value}));
    QCOMPARE(bytes, QByteArray("kept"));
}

void TestGridActions::malformedRowsAreRefusedOneByOne_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<int>("refused");

    const QList<QStringList> good{{"1", "2", "a"}, {"3", "4", "b"}};
    QTest::newRow("well formed") << QByteArray("1\x01" "2\x01" "a\x01\x02" "3\x01" "4\x01" "b\x01\x02") << good << 0;
    QTest::newRow("short row does not eat the next")
        << QByteArray("1\x01" "2\x01" "a\x01\x02" "9\x01\x02" "3\x01" "4\x01" "b\x01\x02") << good << 1;
    QTest::newRow("long row is not read as two")
        << QByteArray("1\x01" "2\x01" "a\x01\x02" "5\x01" "6\x01" "7\x01" "8\x01" "9\x01" "0\x01\x02"
                      "3\x01" "4\x01" "b\x01\x02")
        << good << 1;
    QTest::newRow("row text after the last value") << QByteArray("1\x01" "2\x01" "a\x01" "x\x02") << QList<QStringList>()
                                                   << 1;
    QTest::newRow("no row terminator at the end")
        << QByteArray("1\x01" "2\x01" "a\x01\x02" "3\x01" "4\x01" "b\x01\x02" "5\x01" "6\x01" "c\x01") << good << 1;
    QTest::newRow("a zero byte is a character") << QByteArray("1\x01" "2\x01" "a\x00" "b\x01\x02", 9)
                                                << QList<QStringList>{{"1", "2", QString::fromLatin1("a\0b", 3)}} << 0;
    QTest::newRow("nothing") << QByteArray() << QList<QStringList>() << 0;
}

void TestGridActions::malformedRowsAreRefusedOneByOne()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QStringList>, rows);
    QFETCH(int, refused);
    const olm::gridevents::DecodedBlock decoded = olm::gridevents::decodeBlock(bytes, 3);
    QCOMPARE(decoded.rows, rows);
    QCOMPARE(decoded.refusedRows, refused);
}

void TestGridActions::keyBindings_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("enabled");
    QTest::addColumn<int>("action");

    const int ctrl = int(ssCtrl);
    const auto row = [](const char *name, int key, int shift, int enabled, TGridEditAction action) {
        QTest::newRow(name) << key << shift << enabled << int(action);
    };
    row("Ctrl+C", 'C', ctrl, allActions, TGridEditAction::Copy);
    row("Ctrl+X", 'X', ctrl, allActions, TGridEditAction::Cut);
    row("Ctrl+V", 'V', ctrl, allActions, TGridEditAction::Paste);
    row("Ctrl+Delete", VK_DELETE, ctrl, allActions, TGridEditAction::Delete);
    row("Ctrl+A", 'A', ctrl, allActions, TGridEditAction::SelectAll);
    row("C without Ctrl", 'C', 0, allActions, TGridEditAction::None);
    row("Shift+Delete", VK_DELETE, int(ssShift), allActions, TGridEditAction::None);
    row("Ctrl+C, copy off", 'C', ctrl, allActions & ~geaCopyEh, TGridEditAction::None);
    row("Ctrl+Delete, only delete on", VK_DELETE, ctrl, geaDeleteEh, TGridEditAction::Delete);
    row("Ctrl+numeric-pad 3 copies", VK_NUMPAD3, ctrl, allActions, TGridEditAction::Copy);
    row("Ctrl+F9 cuts", VK_F9, ctrl, allActions, TGridEditAction::Cut);
    row("Ctrl+F7 pastes", VK_F7, ctrl, allActions, TGridEditAction::Paste);
    row("Ctrl+numeric-pad 1 selects all", VK_NUMPAD1, ctrl, allActions, TGridEditAction::SelectAll);
    row("Ctrl+Insert is not Delete", VK_INSERT, ctrl, allActions, TGridEditAction::None);
    row("the Ctrl key itself", VK_CONTROL, ctrl, allActions, TGridEditAction::None);
}

void TestGridActions::keyBindings()
{
    QFETCH(int, key);
    QFETCH(int, shift);
    QFETCH(int, enabled);
    QFETCH(int, action);
    QCOMPARE(int(gridEditAction(quint16(key), TShiftState(shift), enabled)), action);
}

void TestGridActions::everyActionChecksItsPreconditions()
{
    ActionJournal journal(markRows({{5, 2, "a"}}));
    VERIFY_JOURNAL(journal);
    TQZDBGridEvents &events = *journal.events;
    const std::function<void()> actions[] = {[&] { events.CopyRecords(false); }, [&] { events.CopyRecords(true); },
                                             [&] { events.PasteRecords(); }, [&] { events.DeleteRecords(); },
                                             [&] { events.SelectAllRecords(); }};
    TDataSource empty;
    for (const auto &action : actions) {
        events.setDBGridEh(nullptr);
        action();
        events.setDBGridEh(journal.grid);
        journal.grid->setDataSource(nullptr);
        action();
        journal.grid->setDataSource(&empty);
        action();
        journal.grid->setDataSource(&journal.source);
        events.setUniqueField(nullptr);
        action();
        journal.query.Close();
        events.setUniqueField(journal.field("id_mark_mag"));
        action();
        journal.query.Open();
        QCOMPARE(journal.takeReports(),
                 (QList<quint16>{qzeNoGrid, qzeNoDataSource, qzeNoDataSet, qzeNoUniqueField, qzeDataSetClosed}));
    }
    QCOMPARE(journal.rows(), QStringList{"5/2/a"});
}


void TestGridActions::copyCarriesTheSelectedRowsOnly()
{
    ActionJournal journal(markRows({{5, 2, "a"}, {7, 1, "b"}, {9, 3, "c"}}));
    VERIFY_JOURNAL(journal);
    journal.grid->Columns(0)->Visible = false;   // hidden columns travel too
    journal.grid->LayoutChanged();
    journal.moveTo(QStringLiteral("b"));

    // No row selected: nothing happens at all.
    journal.press(Qt::Key_C);
    QVERIFY(journal.takeReports().isEmpty());
    QCOMPARE(m_fake->clipboardOpens(), 0);

    m_fake->putClipboard(QStringLiteral("text/plain"), "some text");
    journal.select(QStringLiteral("c"));
    journal.select(QStringLiteral("a"));
    journal.press(Qt::Key_C);
    QCOMPARE(journal.takeReports(), finishedOnce);
    // The rows in the order of the grid's list of selected rows, and nothing else on the clipboard.
    QStringList order;
    for (int i = 0; i < journal.grid->SelectedRows().Count(); ++i) {
        journal.query.setBookmark(journal.grid->SelectedRows().Items(i));
        order.append(journal.currentP35());
    }
    QCOMPARE(order, (QStringList{"a", "c"}));
    QCOMPARE(m_fake->clipboardFormats(), QStringList{DBEditDataFormat});
    QCOMPARE(clipboardBlock(*m_fake).value_or("none"), block({{"5", "2", "a"}, {"9", "3", "c"}}));
    QCOMPARE(m_fake->clipboardOpens(), m_fake->clipboardCloses());
    // Copy changes neither the rows, nor the selection, nor the current row.
    journal.moveTo(QStringLiteral("b"));
    journal.press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(journal.takeReports(), finishedOnce);
    QCOMPARE(journal.currentP35(), QStringLiteral("b"));
    QCOMPARE(journal.grid->SelectedRows().Count(), 2);
    QCOMPARE(journal.rows(), (QStringList{"5/2/a", "7/1/b", "9/3/c"}));
    QVERIFY(!journal.query.ControlsDisabled());
}

void TestGridActions::numericPadAndFunctionKeysActAsLetters()
{
    // The keys report the same virtual-key codes on every platform, so they act as they do on Windows.
    ActionJournal journal(markRows({{5, 2, "a"}, {7, 1, "b"}, {9, 3, "c"}}));
    VERIFY_JOURNAL(journal);
    journal.select(QStringLiteral("a"));
    journal.press(Qt::Key_3, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(journal.takeReports(), finishedOnce);
    QCOMPARE(clipboardBlock(*m_fake).value_or("none"), block({{"5", "2", "a"}}));

    journal.press(Qt::Key_F9);
    QCOMPARE(journal.takeReports(), finishedOnce);
    QCOMPARE(journal.rows(), (QStringList{"7/1/b", "9/3/c"}));

    journal.moveTo(QStringLiteral("c"));
    journal.press(Qt::Key_F7);
    QCOMPARE(journal.takeReports(), finishedTwice);
    QCOMPARE(journal.rows(), (QStringList{"7/1/b", "5/2/a", "9/3/c"}));

    journal.grid->SelectedRows().Clear();
    journal.press(Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(journal.takeReports(), finishedOnce);
    QCOMPARE(journal.grid->SelectedRows().Count(), 3);
}

void TestGridActions::ownerKeyHandlerComesFirst()
{
    ActionJournal journal(markRows({{5, 2, "a"}, {7, 1, "b"}, {9, 3, "c"}}));
    VERIFY_JOURNAL(journal);
    int handled = 0;
    journal.events->OnKeyDown = [&](QObject *sender, quint16 &key, TShiftState) {
        QCOMPARE(sender, journal.grid);
        ++handled;
        if (key == VK_DELETE)
            key = 0;
        else if (key == 'Q')
            key = 'A';
    };
    journal.select(QStringLiteral("a"));
    journal.press(Qt::Key_Delete);
    QVERIFY(handled > 0);
    QVERIFY(journal.takeReports().isEmpty());
    QCOMPARE(journal.rows().size(), 3);

    // A handler that changes the key makes the component act on the new one, and the key stays as it left it.
    quint16 key = 'Q';
    journal.events->GridKeyDown(journal.grid, key, ssCtrl);
    QCOMPARE(key, quint16('A'));
    QCOMPARE(journal.takeReports(), finishedOnce);
    QCOMPARE(journal.grid->SelectedRows().Count(), 3);

    // An action that is off does nothing, but the owner's handler still runs.
    journal.events->setEditActions(allActions & ~geaCopyEh);
    handled = 0;
    journal.press(Qt::Key_C);
    QVERIFY(handled > 0);
    QVERIFY(journal.takeReports().isEmpty());
    QCOMPARE(m_fake->clipboardOpens(), 0);
}

void TestGridActions::confirmationOfCutAndDelete()
{
    ActionJournal journal(markRows({{5, 2, "a"}, {7, 1, "b"}, {9, 3, "c"}}));
    VERIFY_JOURNAL(journal);
    journal.grid->setOptions(journal.grid->Options | dgConfirmDelete);
    ScopedDialogAnswers answers;
    journal.select(QStringLiteral("a"));

    answers.answer(IDNO);
    journal.press(Qt::Key_X);
    answers.answer(IDNO);
    journal.press(Qt::Key_Delete);
    const QList<ShownMessage> shown = answers.shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(0).kind, QStringLiteral("MessageBoxA"));
    QCOMPARE(shown.at(0).text, QStringLiteral("Cut record(s) - ?"));
    QCOMPARE(shown.at(1).text, QStringLiteral("Delete record(s) - ?"));
    for (const ShownMessage &box : shown) {
        QCOMPARE(box.caption, QStringLiteral("Confirm"));
        QCOMPARE(box.type, 0x24u);
        QVERIFY(box.hasOwner);
    }
    // No changes nothing: rows, clipboard, reports.
    QCOMPARE(journal.rows().size(), 3);
    QCOMPARE(m_fake->clipboardOpens(), 0);
    QVERIFY(journal.takeReports().isEmpty());

    answers.answer(IDYES);
    journal.press(Qt::Key_X);
    QCOMPARE(journal.takeReports(), finishedOnce);
    QCOMPARE(journal.rows(), (QStringList{"7/1/b", "9/3/c"}));
    QCOMPARE(clipboardBlock(*m_fake).value_or("none"), block({{"5", "2", "a"}}));

    // Nothing selected: no question, and with the option nothing happens.
    journal.grid->SelectedRows().Clear();
    DialogSeam::clear();
    journal.press(Qt::Key_Delete);
    journal.press(Qt::Key_X);
    QVERIFY(DialogSeam::shown().isEmpty());
    QVERIFY(journal.takeReports().isEmpty());
    // Without the option Delete runs at once, on nothing.
    journal.grid->setOptions(journal.grid->Options & ~dgConfirmDelete);
    journal.press(Qt::Key_Delete);
    QCOMPARE(journal.takeReports(), finishedTwice);
    QCOMPARE(journal.rows().size(), 2);
    QVERIFY(DialogSeam::shown().isEmpty());
}

void TestGridActions::confirmationHandlerReplacesTheBox()
{
    ActionJournal journal(markRows({{5, 2, "a"}, {7, 1, "b"}, {9, 3, "c"}}));
    VERIFY_JOURNAL(journal);
    journal.grid->setOptions(journal.grid->Options | dgConfirmDelete);
    ScopedDialogAnswers answers;
    bool allow = true;
    int asked = 0;
    journal.events->OnQZDBEOnConfirmDelete = [&](QObject *sender, bool &canDelete) {
        QCOMPARE(sender, journal.grid);
        QVERIFY(canDelete);
        ++asked;
        canDelete = allow;
    };
    journal.select(QStringLiteral("a"));
    journal.press(Qt::Key_X);
    QCOMPARE(asked, 1);
    QCOMPARE(journal.takeReports(), finishedOnce);
    QCOMPARE(journal.rows(), (QStringList{"7/1/b", "9/3/c"}));

    journal.grid->SelectedRows().Clear();
    journal.select(QStringLiteral("b"));
    allow = false;
    journal.press(Qt::Key_Delete);
    QCOMPARE(asked, 2);
    QVERIFY(journal.takeReports().isEmpty());
    QCOMPARE(journal.rows().size(), 2);
    allow = true;
    journal.press(Qt::Key_Delete);
    QCOMPARE(journal.takeReports(), finishedTwice);
    QCOMPARE(journal.rows(), QStringList{"9/3/c"});
    QVERIFY(answers.shown().isEmpty());
}

void TestGridActions::cutReleasesDuplicateKeys_data()
{
    QTest::addColumn<QList<MarkRow>>("rows");
    QTest::addColumn<QStringList>("cut");
    QTest::addColumn<QStringList>("duplicates");

    QTest::newRow("one of two") << markRows({{5, 2, "a"}, {5, 2, "b"}, {7, 1, "c"}}) << QStringList{"a"} << QStringList();
    QTest::newRow("one of three") << markRows({{5, 2, "a"}, {5, 2, "b"}, {5, 2, "c"}}) << QStringList{"a"}
                                  << QStringList{"52"};
    QTest::newRow("two of three") << markRows({{5, 2, "a"}, {5, 2, "b"}, {5, 2, "c"}}) << QStringList{"a", "b"}
                                  << QStringList();
    QTest::newRow("another key stays") << markRows({{5, 2, "a"}, {5, 2, "b"}, {7, 1, "c"}, {7, 1, "d"}})
                                       << QStringList{"a"} << QStringList{"71"};
    // The filter tells 12/3 from 1/23; the key text they share goes with the last pair.
    QTest::newRow("12/3 twice and 1/23") << markRows({{12, 3, "a"}, {12, 3, "b"}, {1, 23, "c"}}) << QStringList{"a"}
                                         << QStringList();
}

void TestGridActions::cutReleasesDuplicateKeys()
{
    QFETCH(QList<MarkRow>, rows);
    QFETCH(QStringList, cut);
    QFETCH(QStringList, duplicates);

    ActionJournal journal(rows, true);
    VERIFY_JOURNAL(journal);
    journal.events->AfterPasteList().Add(journal.idOf(cut.first()));
    journal.events->AfterPasteList().Add(QStringLiteral("other"));
    for (const QString &row : cut)
        journal.select(row);
    journal.press(Qt::Key_X);
    QCOMPARE(journal.takeReports(), finishedOnce);
    QCOMPARE(journal.events->DuplicateList().toStringList(), duplicates);
    QCOMPARE(journal.events->AfterPasteList().toStringList(), QStringList{"other"});
    QCOMPARE(journal.rows().size(), rows.size() - cut.size());
    QCOMPARE(journal.storedRows(), rows.size() - cut.size());
    QVERIFY(journal.query.Filter().isEmpty());
    QVERIFY(!journal.query.Filtered());
    // The rows left are drawn as duplicates only while their key is listed.
    journal.grid->setSelectedIndex(2);
    journal.query.Last();
    journal.paint();
    const QString first = journal.rows().first();
    const QString firstKey = first.section(QLatin1Char('/'), 0, 0) + first.section(QLatin1Char('/'), 1, 1);
    QCOMPARE(journal.look(first.section(QLatin1Char('/'), 2), "id_discipline").brush,
             duplicates.contains(firstKey) ? clGreen : clWhite);
}

void TestGridActions::cutThatCannotCarryAValueDeletesNothing()
{
    ActionJournal journal(markRows({{5, 2, "a"}, {7, 1, "Müller"}, {9, 3, "c"}}));
    VERIFY_JOURNAL(journal);
    m_fake->putClipboard(DBEditDataFormat, "earlier rows");
    journal.select(QStringLiteral("a"));
    journal.select(QStringLiteral("Müller"));
    journal.moveTo(QStringLiteral("c"));
    journal.press(Qt::Key_X);
    QCOMPARE(journal.takeReports(), QList<quint16>{qzeValueNotCarried});
    journal.press(Qt::Key_C);
    QCOMPARE(journal.takeReports(), QList<quint16>{qzeValueNotCarried});
    QCOMPARE(clipboardBlock(*m_fake).value_or("none"), QByteArray("earlier rows"));
    QCOMPARE(journal.storedRows(), 3);
    QCOMPARE(journal.rows().size(), 3);
    QCOMPARE(journal.currentP35(), QStringLiteral("c"));
    QVERIFY(!journal.query.ControlsDisabled());
}

void TestGridActions::heldClipboardReachesTheCaller()
{
    ActionJournal journal(markRows({{5, 2, "a"}, {7, 1, "b"}}));
    VERIFY_JOURNAL(journal);
    journal.select(QStringLiteral("a"));
    journal.moveTo(QStringLiteral("b"));
    journal.events->AfterPasteList().Add(QStringLiteral("7"));
    m_fake->setClipboardHeld(true);

    QVERIFY_THROWS_EXCEPTION(EClipboardError, journal.events->CopyRecords(true));
    QVERIFY_THROWS_EXCEPTION(EClipboardError, journal.events->PasteRecords());
    QVERIFY(journal.takeReports().isEmpty());
    QCOMPARE(journal.storedRows(), 2);   // the cut cost no row
    QCOMPARE(journal.currentP35(), QStringLiteral("b"));
    QCOMPARE(journal.events->AfterPasteList().toStringList(), QStringList{"7"});
    QVERIFY(!journal.query.ControlsDisabled());

    // From the keys, the error reaches the default error display with its text.
    TApplication application;
    ScopedDialogAnswers answers;
    journal.press(Qt::Key_V);
    QCOMPARE(answers.shown().size(), 1);
    QCOMPARE(answers.shown().at(0).kind, QStringLiteral("Error"));
    QVERIFY2(answers.shown().at(0).text.startsWith(QLatin1String("Cannot open clipboard")),
             qPrintable(answers.shown().at(0).text));
    QCOMPARE(m_fake->clipboardOpens(), m_fake->clipboardCloses());
}

void TestGridActions::pasteInsertsTheRowsAndMarksThem()
{
    ActionJournal journal(markRows({{5, 2, "a"}, {7, 1, "b"}, {9, 3, "c"}}), true);
    VERIFY_JOURNAL(journal);
    QVERIFY(journal.events->DuplicateList().toStringList().isEmpty());
    journal.events->AfterPasteList().Add(QStringLiteral("stale"));
    journal.select(QStringLiteral("a"));
    journal.select(QStringLiteral("b"));
    journal.press(Qt::Key_C);
    journal.takeReports();
    const QString highestId = journal.idOf(QStringLiteral("c"));

    journal.moveTo(QStringLiteral("c"));
    journal.press(Qt::Key_V);
    QCOMPARE(journal.takeReports(), finishedTwice);
    // Each row goes in before the current one and becomes current: the last one pasted stays so.
    QCOMPARE(journal.rows(), (QStringList{"5/2/a", "7/1/b", "7/1/b", "5/2/a", "9/3/c"}));
    QCOMPARE(journal.currentP35(), QStringLiteral("b"));
    QCOMPARE(journal.storedRows(), 5);
    const QStringList pasted = journal.events->AfterPasteList().toStringList();
    QCOMPARE(pasted.size(), 2);
    for (const QString &id : pasted)
        QVERIFY(id.toInt() > highestId.toInt());
    QVERIFY(pasted.at(0) != pasted.at(1));
    // Copies of rows that were there are duplicates now.
    QCOMPARE(journal.events->DuplicateList().toStringList(), (QStringList{"52", "71"}));
    QCOMPARE(journal.grid->SelectedRows().Count(), 2);

    // Rows from elsewhere are drawn as freshly pasted.
    m_fake->putClipboard(DBEditDataFormat, block({{"1", "1", "new1"}, {"2", "2", "new2"}}));
    journal.press(Qt::Key_V);
    QCOMPARE(journal.takeReports(), finishedTwice);
    QCOMPARE(journal.events->AfterPasteList().Count(), 2);
    journal.grid->SelectedRows().Clear();
    journal.paint();
    QCOMPARE(journal.look(QStringLiteral("new1"), "id_examination").brush, clInfoBk);
    QCOMPARE(journal.look(QStringLiteral("new2"), "id_examination").brush, clInfoBk);
    QCOMPARE(journal.look(QStringLiteral("c"), "id_examination").brush, clWhite);
}

void TestGridActions::pasteWithoutRowsOfOurs()
{
    ActionJournal journal(markRows({{5, 2, "a"}}));
    VERIFY_JOURNAL(journal);
    journal.events->AfterPasteList().Add(QStringLiteral("7"));
    journal.press(Qt::Key_V);
    m_fake->putClipboard(QStringLiteral("text/plain"), "1\x01" "2\x01" "x\x01\x02");
    journal.press(Qt::Key_V);
    m_fake->putClipboard(DBEditDataFormat, QByteArray());
    journal.press(Qt::Key_V);
    QCOMPARE(journal.takeReports(), (QList<quint16>{qzeNoClipboardData, qzeNoClipboardData, qzeNoClipboardData}));
    QCOMPARE(journal.events->AfterPasteList().toStringList(), QStringList{"7"});
    QCOMPARE(journal.rows(), QStringList{"5/2/a"});
}

void TestGridActions::pasteLeavesMalformedRowsOutAndUnconvertibleValuesEmpty()
{
    ActionJournal journal(markRows({{5, 2, "a"}}));
    VERIFY_JOURNAL(journal);
    // Letters for an integer leave that field empty; the row is posted all the same.
    const QByteArray bytes = block({{"abc", "1", "g1"}}) + QByteArray("9\x01\x02") + block({{"2", "2", "g2"}})
                             + block({{"3", "3", "long", "x"}}) + QByteArray("4\x01" "4\x01" "tail\x01");
    m_fake->putClipboard(DBEditDataFormat, bytes);
    journal.press(Qt::Key_V);
    QCOMPARE(journal.takeReports(), (QList<quint16>{qzeRowsRefused, qzeFinished, qzeFinished}));
    QCOMPARE(journal.rows(), (QStringList{"2/2/g2", "/1/g1", "5/2/a"}));
    QCOMPARE(journal.storedRows(), 3);
    QCOMPARE(journal.events->AfterPasteList().toStringList(),
             (QStringList{journal.idOf(QStringLiteral("g1")), journal.idOf(QStringLiteral("g2"))}));
}

void TestGridActions::refusedRowsAreCancelledAndNotListed()
{
    ActionJournal journal(markRows({{5, 2, "a"}, {7, 1, "b"}}), true, [](ActionJournal &j) {
        j.db.administrator()->execute(QStringLiteral("DELETE FROM srv_rights WHERE object = 'mark_mag' AND action = 'INSERT'"));
    });
    VERIFY_JOURNAL(journal);
    journal.moveTo(QStringLiteral("b"));
    journal.events->AfterPasteList().Add(QStringLiteral("stale"));
    m_fake->putClipboard(DBEditDataFormat, block({{"5", "2", "x"}, {"7", "1", "y"}}));
    journal.press(Qt::Key_V);
    // Neither the refused rows nor the row they were to go before count as pasted; no error is reported.
    QCOMPARE(journal.takeReports(), finishedTwice);
    QCOMPARE(journal.rows(), (QStringList{"5/2/a", "7/1/b"}));
    QCOMPARE(journal.events->AfterPasteList().Count(), 0);
    QVERIFY(journal.events->DuplicateList().toStringList().isEmpty());
    QCOMPARE(journal.query.State(), dsBrowse);
}

void TestGridActions::lookupColumnCarriesTheKey()
{
    TADOQuery disciplines;
    ActionJournal journal(markRows({{9001, 2, "a"}}), false, [&](ActionJournal &j) {
        const auto admin = j.db.administrator();
        for (const auto &[id, name] : {std::pair{9001, "Физика"}, std::pair{9002, "Химия"}})
            admin->execute(QStringLiteral("INSERT INTO discipline (id_discipline, p34) VALUES (?, ?)"),
                           {id, QString::fromUtf8(name)});
        disciplines.setConnection(&j.connection);
        disciplines.setSQLText(QStringLiteral("select id_discipline, p34 from discipline"));
        disciplines.Open();
        j.query.AddLookupField(QStringLiteral("discipline"), ftString, 85, QStringLiteral("id_discipline"), &disciplines,
                               QStringLiteral("id_discipline"), QStringLiteral("p34"));
        j.grid->Columns(0)->FieldName = QStringLiteral("discipline");
    });
    VERIFY_JOURNAL(journal);
    QCOMPARE(journal.field("discipline")->AsString(), QStringLiteral("Физика"));
    journal.select(QStringLiteral("a"));
    journal.press(Qt::Key_C);
    QCOMPARE(clipboardBlock(*m_fake).value_or("none"), block({{"9001", "2", "a"}}));
    journal.takeReports();

    m_fake->putClipboard(DBEditDataFormat, block({{"9002", "4", "b"}, {"not a key", "5", "c"}}));
    journal.press(Qt::Key_V);
    QCOMPARE(journal.takeReports(), finishedTwice);
    journal.moveTo(QStringLiteral("b"));
    QCOMPARE(journal.field("id_discipline")->AsInteger(), 9002);
    QCOMPARE(journal.field("discipline")->AsString(), QStringLiteral("Химия"));
    journal.moveTo(QStringLiteral("c"));
    QVERIFY(journal.field("id_discipline")->IsNull());
    QCOMPARE(journal.storedRows(), 3);
}

void TestGridActions::deleteRemovesRowsMarksAndSelection()
{
    ActionJournal journal(markRows({{5, 2, "a"}, {5, 2, "b"}, {7, 1, "c"}, {9, 9, "d"}}), true);
    VERIFY_JOURNAL(journal);
    TQZDBGridEvents &events = *journal.events;
    QCOMPARE(events.DuplicateList().toStringList(), QStringList{"52"});
    events.AfterPasteList().Add(journal.idOf(QStringLiteral("c")));
    events.AfterPasteList().Add(QStringLiteral("x"));
    events.AfterPasteList().Add(journal.idOf(QStringLiteral("a")));
    journal.select(QStringLiteral("a"));
    journal.select(QStringLiteral("c"));
    journal.press(Qt::Key_Delete);
    QCOMPARE(journal.takeReports(), finishedTwice);
    QCOMPARE(journal.rows(), (QStringList{"5/2/b", "9/9/d"}));
    QCOMPARE(journal.storedRows(), 2);
    QCOMPARE(journal.grid->SelectedRows().Count(), 0);
    QCOMPARE(events.AfterPasteList().toStringList(), QStringList{"x"});
    QVERIFY(events.DuplicateList().toStringList().isEmpty());

    // A selected row that is gone ends the deletion with the dataset's error; the selection stays.
    journal.select(QStringLiteral("b"));
    journal.select(QStringLiteral("d"));
    journal.press(Qt::Key_X);
    journal.takeReports();
    QCOMPARE(journal.rows(), QStringList());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, events.DeleteRecords());
    QVERIFY(journal.takeReports().isEmpty());
    QCOMPARE(journal.grid->SelectedRows().Count(), 2);
    QVERIFY(!journal.query.ControlsDisabled());
}

void TestGridActions::manyRowsKeepTheDuplicateListOfRecordByRecordChecks()
{
    // The same rows twice: one journal through the actions, the other with a filtered count per record.
    const QList<MarkRow> rows = markRows({{1, 1, "a"}, {1, 1, "a"}, {1, 1, "a"}, {2, 1, "b*"}, {2, 1, "b*"},
                                          {2, 1, "x y*"}, {2, 1, "x y*"}, {2, 1, "x y"}, {3, 1, "c"}, {3, 1, "c"},
                                          {4, 1, "d"}, {1, 1, "A"}});
    const QStringList keyFields{QStringLiteral("id_discipline"), QStringLiteral("p35")};
    ActionJournal fast(rows, false, [&](ActionJournal &j) { j.setDuplicateFields(keyFields); });
    ActionJournal slow(rows, false, [&](ActionJournal &j) { j.setDuplicateFields(keyFields); });
    VERIFY_JOURNAL(fast);
    VERIFY_JOURNAL(slow);
    QCOMPARE(fast.events->DuplicateList().toStringList(), slow.events->DuplicateList().toStringList());
    const auto deleteRecordByRecord = [](ActionJournal &j) {
        QStringList bookmarks;
        for (int i = 0; i < j.grid->SelectedRows().Count(); ++i)
            bookmarks.append(j.grid->SelectedRows().Items(i));
        for (const QString &bookmark : bookmarks) {
            j.query.setBookmark(bookmark);
            j.events->ReleaseDuplicate(bookmark);
            j.query.Delete();
        }
    };
    const auto selectRows = [](ActionJournal &j, const QList<int> &rowNumbers) {
        for (const int recNo : rowNumbers) {
            j.query.setRecNo(recNo);
            j.grid->SelectedRows().setCurrentRowSelected(true);
        }
    };

    // Delete.
    selectRows(fast, {1, 4, 6, 9, 11});
    selectRows(slow, {1, 4, 6, 9, 11});
    fast.events->DeleteRecords();
    deleteRecordByRecord(slow);
    slow.grid->SelectedRows().Clear();
    QCOMPARE(fast.rows(), slow.rows());
    QCOMPARE(fast.events->DuplicateList().toStringList(), slow.events->DuplicateList().toStringList());

    // Paste.
    const QList<QStringList> pasted{{"1", "1", "a"}, {"2", "1", "b*"}, {"4", "1", "d"}, {"4", "1", "d"},
                                    {"2", "1", "x y*"}, {"5", "1", "e"}, {"1", "1", "a"}};
    m_fake->putClipboard(DBEditDataFormat, block(pasted));
    fast.query.First();
    fast.events->PasteRecords();
    slow.query.First();
    for (const QStringList &values : pasted) {
        slow.query.Insert();
        slow.field("id_discipline")->setAsString(values.at(0));
        slow.field("id_examination")->setAsString(values.at(1));
        slow.field("p35")->setAsString(values.at(2));
        slow.query.Post();
        slow.events->CheckDuplicate();
    }
    QCOMPARE(fast.rows(), slow.rows());
    QCOMPARE(fast.events->DuplicateList().toStringList(), slow.events->DuplicateList().toStringList());

    // Cut.
    selectRows(fast, {2, 3, 5, 8});
    selectRows(slow, {2, 3, 5, 8});
    fast.events->CopyRecords(true);
    deleteRecordByRecord(slow);
    QCOMPARE(fast.rows(), slow.rows());
    QCOMPARE(fast.events->DuplicateList().toStringList(), slow.events->DuplicateList().toStringList());
    QVERIFY(!fast.events->DuplicateList().toStringList().isEmpty());
}

void TestGridActions::selectAll()
{
    ActionJournal journal(markRows({{5, 2, "a"}, {7, 1, "b"}, {9, 3, "c"}}));
    VERIFY_JOURNAL(journal);
    journal.moveTo(QStringLiteral("b"));
    journal.press(Qt::Key_A);
    QCOMPARE(journal.takeReports(), finishedOnce);
    QCOMPARE(journal.grid->SelectedRows().Count(), 3);
    QCOMPARE(journal.currentP35(), QStringLiteral("b"));
}

void TestGridActions::rowsPassBetweenTwoWindowsThroughTheClipboard()
{
    m_platform.reset();   // the real clipboard
#ifndef Q_OS_WIN
    QCOMPARE(DBEditDataFormat, QStringLiteral("Data Base Edit Data"));   // on Windows, the registered format's
#endif
    ActionJournal from(markRows({{5, 2, "Иванов"}, {7, 1, "b"}}));
    ActionJournal to(markRows({{9, 9, "z"}}));
    VERIFY_JOURNAL(from);
    VERIFY_JOURNAL(to);
    QGuiApplication::clipboard()->setText(QStringLiteral("plain text"));
    from.select(QStringLiteral("Иванов"));
    from.select(QStringLiteral("b"));
    from.press(Qt::Key_C);
    QCOMPARE(from.takeReports(), finishedOnce);
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->formats(), QStringList{DBEditDataFormat});
    QVERIFY(!data->hasText());   // an editor finds nothing to paste
    QCOMPARE(data->data(DBEditDataFormat), block({{"5", "2", "Иванов"}, {"7", "1", "b"}}));

    to.press(Qt::Key_V);
    QCOMPARE(to.takeReports(), finishedTwice);
    QCOMPARE(to.rows(), (QStringList{"7/1/b", "5/2/Иванов", "9/9/z"}));
    QCOMPARE(to.storedRows(), 3);
    QGuiApplication::clipboard()->clear();
}

OLM_TEST_MAIN(TestGridActions)
#include "tst_gridactions.moc"
