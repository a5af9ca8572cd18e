// Tests of the data-aware grid over mark_mag rows of a fresh demo database, driven offscreen like a user:
// binding, the model's consistency, editing and posting, keys and mouse events, multi-selection, drawing
// states, record operations and the cell editors (edit mask, pick list, lookup list, tick box).
#include "server/Session.h"
#include "tests/support/TestDatabase.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/DBGridEh.h"
#include "toolkit/ui/Dialogs.h"
#include "tests/support/TestMain.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QToolTip>
#include <QtTest>

#include <map>
#include <memory>

namespace {

const QString editorLogin = QStringLiteral("petrova");   // may edit mark_mag
const QString readerLogin = QStringLiteral("sidorov");   // may only read

/// One mark_mag row; p35 names the row in the checks.
struct MarkRow {
    QString p35;
    int teacher = 1;
    QVariant p36 = {};
    QVariant primech = {};
    QVariant dopusk = false;
};

const QList<MarkRow> fiveRows = {{QStringLiteral("r1"), 1}, {QStringLiteral("r2"), 2}, {QStringLiteral("r3"), 3},
                                 {QStringLiteral("r4"), 4}, {QStringLiteral("r5"), 5}};

/// Shift, Ctrl and Alt go down and up on their own too, as on any keyboard.
bool isModifierKey(quint16 key)
{
    return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU;
}

QWidget *focused(QWidget *fallback)
{
    QWidget *focus = QApplication::focusWidget();
    return focus ? focus : fallback;
}

/// A form with a grid over mark_mag rows: p35, the teacher lookup, p36 with an edit mask, primech with a
/// pick list and dopusk_izm as a tick box.
class GridForm {
public:
    explicit GridForm(const QList<MarkRow> &rows = fiveRows, const QString &login = editorLogin)
    {
        if (!db.isValid()) {
            error = db.error();
            return;
        }
        admin = db.administrator();
        if (!admin) {
            error = QStringLiteral("no administrator session");
            return;
        }
        run(QStringLiteral("DELETE FROM mark_mag"));
        for (const MarkRow &row : rows) {
            run(QStringLiteral("INSERT INTO mark_mag (id_group, id_semester, id_student, id_discipline, id_examination, "
                               "id_teacher, p35, p36, primech, dopusk_izm) VALUES (1, 1, 1, 1, 1, ?, ?, ?, ?, ?)"),
                {row.teacher, row.p35, row.p36, row.primech, row.dopusk});
        }
        const QVariant password =
            serverValue(QStringLiteral("SELECT password FROM srv_db_logins WHERE name = ?"), {login});
        connection.setConnectionString(db.connectionString(login, password.toString()));

        teachers.setConnection(&connection);
        teachers.setSQLText(QStringLiteral("select id_teacher, t_fio from t_fio"));
        query.setConnection(&connection);
        query.setSQLText(QStringLiteral("select id_mark_mag, p35, id_teacher, p36, primech, dopusk_izm from mark_mag "
                                        "order by id_mark_mag"));
        query.AddField(QStringLiteral("id_mark_mag"), ftAutoInc);
        query.AddField(QStringLiteral("p35"), ftString, 50);
        query.AddField(QStringLiteral("id_teacher"), ftInteger);
        query.AddField(QStringLiteral("p36"), ftDateTime)->setEditMask(QStringLiteral("##/##/####"));
        query.AddField(QStringLiteral("primech"), ftString, 50);
        query.AddField(QStringLiteral("dopusk_izm"), ftBoolean);
        query.AddLookupField(QStringLiteral("teacher"), ftString, 60, QStringLiteral("id_teacher"), &teachers,
                             QStringLiteral("id_teacher"), QStringLiteral("t_fio"));
        source.setDataSet(&query);

        form.resize(640, 300);
        grid = new TDBGridEh(&form);
        grid->setGeometry(0, 0, 640, 300);
        p35 = grid->AddColumn(QStringLiteral("p35"), QStringLiteral("Номер"), 80);
        teacher = grid->AddColumn(QStringLiteral("teacher"), QStringLiteral("Преподаватель"), 160);
        teacher->DropDownWidth = 300;
        date = grid->AddColumn(QStringLiteral("p36"), QStringLiteral("Дата"), 90);
        primech = grid->AddColumn(QStringLiteral("primech"), QStringLiteral("Допуск"), 70);
        primech->PickList = {QStringLiteral("д"), QStringLiteral("н/д")};
        dopusk = grid->AddColumn(QStringLiteral("dopusk_izm"), QStringLiteral("Изм."), 50);
        dopusk->Checkboxes = true;
        for (int i = 0; i < grid->ColumnCount(); ++i)
            grid->Columns(i)->Color = clWhite;
        grid->setDataSource(&source);
    }

    bool isValid() const { return error.isEmpty(); }

    void run(const QString &statement, const QVariantList &params = {})
    {
        const olm::server::Outcome outcome = admin->execute(statement, params);
        if (!outcome.ok && error.isEmpty())
            error = statement + QStringLiteral(": ") + outcome.error;
    }
    QVariant serverValue(const QString &statement, const QVariantList &params = {})
    {
        const olm::server::Outcome outcome = admin->execute(statement, params);
        const olm::server::ResultSet *rows = outcome.firstResult();
        return rows && !rows->rows.empty() ? rows->rows.front().value(0) : QVariant();
    }
    QString p35OnServer(int id)
    {
        return serverValue(QStringLiteral("SELECT p35 FROM mark_mag WHERE id_mark_mag = ?"), {id}).toString();
    }

    /// Opens the lists, shows the form and gives the grid the focus.
    bool show()
    {
        teachers.Open();
        query.Open();
        form.show();
        form.activateWindow();
        if (!QTest::qWaitForWindowActive(&form))
            return false;
        grid->setFocus();
        return grid->hasFocus();
    }

    TField *field(const char *name) const { return query.FieldByName(QString::fromUtf8(name)); }
    int currentId() const { return field("id_mark_mag")->AsInteger(); }
    QPoint cellCenter(int col, int row) const { return grid->CellRect(col, row).center(); }
    void click(int col, int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, cellCenter(col, row));
    }
    /// Keys go where the user's keys go: to the focused widget (the grid or its editor).
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(focused(grid), key, modifiers); }
    void type(const QString &text)
    {
        for (const QChar c : text)
            QTest::keyClick(focused(grid), c.toLatin1());
    }
    QString bookmarkOfRow(int row)
    {
        const TDataSet::RecordScope scope(&query, row);
        return query.Bookmark();
    }

    TestDatabase db;
    std::unique_ptr<olm::server::Session> admin;
    TADOConnection connection;
    TADOQuery teachers;
    TADOQuery query;
    TDataSource source;
    QWidget form;
    TDBGridEh *grid = nullptr;
    TColumnEh *p35 = nullptr;
    TColumnEh *teacher = nullptr;
    TColumnEh *date = nullptr;
    TColumnEh *primech = nullptr;
    TColumnEh *dopusk = nullptr;
    QString error;
};

/// Chooses an item of a drop-down as the user does: opens it, moves to the item, presses Enter.
void choose(QComboBox *box, int item)
{
    box->showPopup();
    QAbstractItemView *view = box->view();
    view->setCurrentIndex(view->model()->index(item, 0));
    QTest::keyClick(view, Qt::Key_Return);
}

#define OPEN_FORM(form)                                                                                                \
    QVERIFY2((form).isValid(), qPrintable((form).error));                                                             \
    QVERIFY((form).show())

} // namespace

class TestGrid : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void modelStaysConsistent();
    void bindingAndUnbinding();
    void currentCellFollowsDataSet();
    void colCountsIndicator();
    void layoutFollowsColumns();
    void editingPostsWhenLeavingRow();
    void escapeCancelsEdit();
    void refusedPostIsShownAndRowStays();
    void keyDownCodes_data();
    void keyDownCodes();
    void keyDownHandlerSwallowsOrChangesKey();
    void keyPressReplacedInsideEditor();
    void keyUpAndMouseDown();
    void multiSelectionKeepsDataSetOrder();
    void shiftExtendsAndPlainMoveClears();
    void drawStates();
    void defaultDrawingPaintsColumnColour();
    void insertRefusedWhenAborted();
    void downOnLastRowAppends();
    void ctrlDeleteConfirms();
    void refusedDeleteKeepsTheRowsLeftSelected();
    void editActionsOnlyWhenEnabled();
    void lookupColumnStoresChosenKey();
    void lookupUpdateDataHandled();
    void dateEditorMask_data();
    void dateEditorMask();
    void pickListAndTickBox();
    void alwaysShownEditorLeavesForDirectWrites();
    void pasteThroughKeyDownHandler_data();
    void pasteThroughKeyDownHandler();
    void destroyingIsAnnounced();
    void multiLineTitlesWrapToFit();
    void clippedCellShowsItsTextAsTooltip();

private:
    std::unique_ptr<TApplication> m_application;
    std::unique_ptr<ScopedDialogAnswers> m_answers;
};

void TestGrid::initTestCase()
{
    m_application = std::make_unique<TApplication>();
    m_application->setTitle(QStringLiteral("OLM 16"));
}

void TestGrid::cleanupTestCase()
{
    m_application.reset();
}

void TestGrid::init()
{
    // No test may ever wait for a real box.
    m_answers = std::make_unique<ScopedDialogAnswers>();
}

void TestGrid::cleanup()
{
    m_answers.reset();
}

void TestGrid::modelStaysConsistent()
{
    GridForm f;
    QVERIFY2(f.isValid(), qPrintable(f.error));
    QAbstractItemModelTester tester(f.grid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(f.show());
    QCOMPARE(f.grid->model()->rowCount(), 5);

    f.query.Insert();
    QCOMPARE(f.grid->model()->rowCount(), 6);
    f.query.Cancel();
    QCOMPARE(f.grid->model()->rowCount(), 5);

    f.query.setRecNo(2);
    f.query.Edit();
    f.field("p35")->setAsString(QStringLiteral("changed"));
    f.query.Post();
    QCOMPARE(f.grid->model()->index(1, 0).data().toString(), QStringLiteral("changed"));

    f.query.Last();
    f.query.Delete();
    QCOMPARE(f.grid->model()->rowCount(), 4);

    f.query.setSort(QStringLiteral("p35 DESC"));
    QCOMPARE(f.grid->model()->index(0, 0).data().toString(), QStringLiteral("r4"));
    {
        const TControlsDisabler quiet(&f.query);
        f.query.First();
        f.query.Next();
    }
    QCOMPARE(f.grid->currentIndex().row(), 1);
    f.query.Close();
    QCOMPARE(f.grid->model()->rowCount(), 0);
    f.query.Open();
    QCOMPARE(f.grid->model()->rowCount(), 4);
}

void TestGrid::bindingAndUnbinding()
{
    GridForm f;
    OPEN_FORM(f);
    QCOMPARE(f.grid->RowCount(), 6);   // titles and five rows
    QCOMPARE(f.grid->model()->index(2, 1).data().toString(), QStringLiteral("Медведев А. П."));

    f.grid->setDataSource(nullptr);
    QCOMPARE(f.grid->model()->rowCount(), 0);
    QCOMPARE(f.grid->RowCount(), 1);
    QVERIFY(!f.grid->dataSet());
    f.grid->grab();   // painting an unbound grid is harmless

    TDataSource empty;
    f.grid->setDataSource(&empty);
    QCOMPARE(f.grid->model()->rowCount(), 0);
    empty.setDataSet(&f.query);
    QCOMPARE(f.grid->model()->rowCount(), 5);
    empty.setDataSet(nullptr);
    QCOMPARE(f.grid->model()->rowCount(), 0);

    f.grid->setDataSource(&f.source);
    QCOMPARE(f.grid->model()->rowCount(), 5);
    f.query.Close();
    QCOMPARE(f.grid->model()->rowCount(), 0);
    QCOMPARE(f.grid->RowCount(), 1);

    f.grid->Options &= ~dgTitles;
    f.query.Open();
    QCOMPARE(f.grid->RowCount(), 5);
}

void TestGrid::currentCellFollowsDataSet()
{
    GridForm f;
    OPEN_FORM(f);
    f.query.setRecNo(4);
    QCOMPARE(f.grid->currentIndex().row(), 3);

    // Clicking moves the dataset, whatever the column.
    f.click(1, 1);
    QCOMPARE(f.query.RecNo(), 2);
    QCOMPARE(f.grid->SelectedIndex(), 1);
    f.key(Qt::Key_Down);
    QCOMPARE(f.query.RecNo(), 3);
    f.key(Qt::Key_Up);
    f.key(Qt::Key_Up);
    QCOMPARE(f.query.RecNo(), 1);
    f.key(Qt::Key_Up);
    QCOMPARE(f.query.RecNo(), 1);
    f.key(Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(f.query.RecNo(), 5);
    QCOMPARE(f.query.State(), dsBrowse);
}

void TestGrid::colCountsIndicator()
{
    GridForm f;
    OPEN_FORM(f);
    f.click(2, 0);
    QCOMPARE(f.grid->SelectedIndex(), 2);
    QCOMPARE(f.grid->Col(), 3);
    f.grid->setCol(1);
    QCOMPARE(f.grid->SelectedIndex(), 0);
    f.grid->setOptions(f.grid->Options & ~dgIndicator);
    QVERIFY(f.grid->verticalHeader()->isHidden());
    QCOMPARE(f.grid->Col(), 0);

    // Tab skips hidden columns and goes on in the next row after the last one.
    f.grid->setOptions(f.grid->Options | dgIndicator);
    f.teacher->Visible = false;
    f.grid->LayoutChanged();
    QVERIFY(f.grid->isColumnHidden(1));
    f.grid->setSelectedIndex(0);
    f.key(Qt::Key_Tab);
    QCOMPARE(f.grid->SelectedIndex(), 2);
    f.grid->setSelectedIndex(4);
    f.key(Qt::Key_Tab);
    QCOMPARE(f.grid->SelectedIndex(), 0);
    QCOMPARE(f.query.RecNo(), 2);
    f.key(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(f.grid->SelectedIndex(), 4);
    QCOMPARE(f.query.RecNo(), 1);
}

void TestGrid::layoutFollowsColumns()
{
    GridForm f;
    OPEN_FORM(f);
    QCOMPARE(f.grid->horizontalHeader()->sectionSize(1), 160);
    f.teacher->Width = 120;
    f.grid->LayoutChanged();
    QCOMPARE(f.grid->horizontalHeader()->sectionSize(1), 120);

    f.grid->setVertScrollBarVisibleMode(sbNeverShowEh);
    QCOMPARE(f.grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    f.grid->setVertScrollBarVisibleMode(sbAutoShowEh);
    QCOMPARE(f.grid->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    // Fitted widths share the grid's width in proportion to the columns' widths.
    f.grid->AutoFitColWidths = true;
    for (int i = 0; i < f.grid->ColumnCount(); ++i)
        f.grid->Columns(i)->Width = i == 0 ? 200 : 100;
    f.grid->LayoutChanged();
    const int available = f.grid->viewport()->width();
    int total = 0;
    for (int i = 0; i < f.grid->ColumnCount(); ++i)
        total += f.grid->horizontalHeader()->sectionSize(i);
    QCOMPARE(total, available);
    QVERIFY(qAbs(f.grid->horizontalHeader()->sectionSize(0) - available / 3) <= 2);
    QCOMPARE(f.grid->Columns(0)->Width, 200);
}

void TestGrid::editingPostsWhenLeavingRow()
{
    GridForm f;
    OPEN_FORM(f);
    f.click(0, 0);
    const int id = f.currentId();
    f.type(QStringLiteral("X1"));
    QVERIFY(f.grid->InplaceEditor());
    QCOMPARE(qobject_cast<QLineEdit *>(f.grid->InplaceEditor())->text(), QStringLiteral("X1"));
    QCOMPARE(f.query.State(), dsEdit);
    QCOMPARE(f.p35OnServer(id), QStringLiteral("r1"));

    f.key(Qt::Key_Down);
    QCOMPARE(f.query.State(), dsBrowse);
    QCOMPARE(f.query.RecNo(), 2);
    QCOMPARE(f.p35OnServer(id), QStringLiteral("X1"));
    QCOMPARE(f.grid->model()->index(0, 0).data().toString(), QStringLiteral("X1"));
    QVERIFY(DialogSeam::shown().isEmpty());
}

void TestGrid::escapeCancelsEdit()
{
    GridForm f;
    OPEN_FORM(f);
    f.click(0, 1);
    const int id = f.currentId();
    f.type(QStringLiteral("gone"));
    QCOMPARE(f.query.State(), dsEdit);
    f.key(Qt::Key_Escape);
    QCOMPARE(f.query.State(), dsBrowse);
    QCOMPARE(f.field("p35")->AsString(), QStringLiteral("r2"));
    f.key(Qt::Key_Down);
    QCOMPARE(f.p35OnServer(id), QStringLiteral("r2"));
}

void TestGrid::refusedPostIsShownAndRowStays()
{
    GridForm f(fiveRows, readerLogin);
    OPEN_FORM(f);
    const ScopedDialogAnswers answers;
    f.click(0, 0);
    f.type(QStringLiteral("no"));
    f.key(Qt::Key_Down);
    QCOMPARE(answers.shown().size(), 1);
    QCOMPARE(answers.shown().front().kind, QStringLiteral("Error"));
    QVERIFY2(answers.shown().front().text.contains(QStringLiteral("UPDATE")), qPrintable(answers.shown().front().text));
    QCOMPARE(f.query.RecNo(), 1);
    QCOMPARE(f.query.State(), dsEdit);
    QVERIFY(f.grid->InplaceEditor());
    // The editor is still usable: Escape gives the row back.
    f.key(Qt::Key_Escape);
    QCOMPARE(f.query.State(), dsBrowse);
    QCOMPARE(f.field("p35")->AsString(), QStringLiteral("r1"));
}

void TestGrid::keyDownCodes_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("inEditor");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("shift");

    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier) << false << 0x43 << int(ssCtrl);
    QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << false << 0x2E << 0;
    QTest::newRow("Ctrl+Delete") << int(Qt::Key_Delete) << int(Qt::ControlModifier) << false << 0x2E << int(ssCtrl);
    QTest::newRow("Ctrl+Shift+V") << int(Qt::Key_V) << int(Qt::ControlModifier | Qt::ShiftModifier) << false << 0x56
                                  << int(ssCtrl | ssShift);
    QTest::newRow("Alt+D") << int(Qt::Key_D) << int(Qt::AltModifier) << false << 0x44 << int(ssAlt);
    QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << false << 0x0D << 0;
    QTest::newRow("Ctrl+C in the editor") << int(Qt::Key_C) << int(Qt::ControlModifier) << true << 0x43 << int(ssCtrl);
    QTest::newRow("Delete in the editor") << int(Qt::Key_Delete) << 0 << true << 0x2E << 0;
    QTest::newRow("Ctrl+Z in the editor") << int(Qt::Key_Z) << int(Qt::ControlModifier) << true << 0x5A << int(ssCtrl);
}

void TestGrid::keyDownCodes()
{
    QFETCH(int, qtKey);
    QFETCH(int, modifiers);
    QFETCH(bool, inEditor);
    QFETCH(int, key);
    QFETCH(int, shift);
    GridForm f;
    OPEN_FORM(f);
    QList<std::pair<int, int>> seen;
    f.grid->OnKeyDown = [&](QObject *sender, quint16 &k, TShiftState s) {
        QCOMPARE(sender, f.grid);
        if (!isModifierKey(k))
            seen.append({k, int(s)});
    };
    f.click(0, 2);
    if (inEditor) {
        f.grid->setEditorMode(true);
        QVERIFY(f.grid->InplaceEditor());
        QVERIFY(f.grid->InplaceEditor()->hasFocus());
    }
    f.key(Qt::Key(qtKey), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.front().first, key);
    QCOMPARE(seen.front().second, shift);
}

void TestGrid::keyDownHandlerSwallowsOrChangesKey()
{
    GridForm f;
    OPEN_FORM(f);
    f.click(0, 2);
    f.grid->OnKeyDown = [](QObject *, quint16 &key, TShiftState) {
        if (key == VK_DOWN)
            key = 0;
        else if (key == VK_F9)
            key = VK_UP;
    };
    f.key(Qt::Key_Down);
    QCOMPARE(f.query.RecNo(), 3);
    f.key(Qt::Key_F9);
    QCOMPARE(f.query.RecNo(), 2);
}

void TestGrid::keyPressReplacedInsideEditor()
{
    GridForm f;
    OPEN_FORM(f);
    QList<QChar> pressed;
    f.grid->OnKeyPress = [&](QObject *, QChar &key) {
        pressed.append(key);
        if (key == QLatin1Char(','))
            key = QLatin1Char('.');
        else if (key == QLatin1Char('x'))
            key = QChar();
    };
    f.click(0, 0);
    f.type(QStringLiteral("3,x5"));
    QCOMPARE(pressed, (QList<QChar>{QLatin1Char('3'), QLatin1Char(','), QLatin1Char('x'), QLatin1Char('5')}));
    QCOMPARE(qobject_cast<QLineEdit *>(f.grid->InplaceEditor())->text(), QStringLiteral("3.5"));
    f.key(Qt::Key_Return);
    QCOMPARE(f.field("p35")->AsString(), QStringLiteral("3.5"));

    // Swallowing the very first character starts no edit at all.
    f.key(Qt::Key_Escape);
    f.grid->setEditorMode(false);
    f.click(0, 1);
    f.type(QStringLiteral("x"));
    QCOMPARE(f.query.State(), dsBrowse);
}

void TestGrid::keyUpAndMouseDown()
{
    GridForm f;
    OPEN_FORM(f);
    QList<int> released;
    f.grid->OnKeyUp = [&](QObject *, quint16 &key, TShiftState) {
        if (!isModifierKey(key))
            released.append(key);
    };
    f.key(Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(released, QList<int>{0x44});

    int recNoAtMouseDown = 0;
    QPoint at;
    TMouseButton button = mbMiddle;
    f.grid->OnMouseDown = [&](QObject *, TMouseButton b, TShiftState shift, int x, int y) {
        recNoAtMouseDown = f.query.RecNo();
        button = b;
        at = QPoint(x, y);
        QVERIFY(shift.testFlag(ssShift));
    };
    const QPoint inViewport = f.cellCenter(1, 3);
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, inViewport);
    QCOMPARE(recNoAtMouseDown, 1);   // raised before the grid moved
    QCOMPARE(f.query.RecNo(), 4);
    QCOMPARE(button, mbLeft);
    QCOMPARE(at, f.grid->viewport()->mapTo(f.grid, inViewport));
}

void TestGrid::multiSelectionKeepsDataSetOrder()
{
    GridForm f;
    OPEN_FORM(f);
    f.grid->setOptions(f.grid->Options | dgMultiSelect);
    f.click(0, 2, Qt::ControlModifier);
    f.click(0, 0, Qt::ControlModifier);
    TBMListEh &selected = f.grid->SelectedRows();
    QCOMPARE(selected.Count(), 2);
    QCOMPARE(selected.Items(0), f.bookmarkOfRow(0));
    QCOMPARE(selected.Items(1), f.bookmarkOfRow(2));

    // The order is the dataset's as it is now.
    const QString first = f.bookmarkOfRow(0);
    f.query.setSort(QStringLiteral("p35 DESC"));
    QCOMPARE(selected.Count(), 2);
    QCOMPARE(selected.Items(1), first);

    f.click(0, 4, Qt::ControlModifier);   // "r1" after the sort: unselects it
    QCOMPARE(selected.Count(), 1);
    QVERIFY(selected.CurrentRowSelected() == false);

    selected.SelectAll();
    QCOMPARE(selected.Count(), 5);
    QCOMPARE(f.query.RecNo(), 5);
    selected.Clear();
    QCOMPARE(selected.Count(), 0);

    // Closing the dataset forgets bookmarks that would mean nothing after it opens again.
    f.click(0, 1, Qt::ControlModifier);
    f.query.Close();
    QCOMPARE(selected.Count(), 0);
}

void TestGrid::shiftExtendsAndPlainMoveClears()
{
    GridForm f;
    OPEN_FORM(f);
    f.grid->setOptions(f.grid->Options | dgMultiSelect);
    f.grid->OptionsEh |= dghClearSelection;
    TBMListEh &selected = f.grid->SelectedRows();
    f.click(0, 0);
    f.key(Qt::Key_Down, Qt::ShiftModifier);
    f.key(Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(selected.Count(), 3);
    f.key(Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(selected.Count(), 2);
    QCOMPARE(selected.Items(1), f.bookmarkOfRow(1));

    f.click(0, 4, Qt::ShiftModifier);
    QCOMPARE(selected.Count(), 5);
    f.key(Qt::Key_Up);
    QCOMPARE(selected.Count(), 0);

    // Without the option a plain move keeps the selection.
    f.grid->OptionsEh &= ~dghClearSelection;
    f.click(0, 1, Qt::ControlModifier);
    f.key(Qt::Key_Down);
    f.click(0, 0);
    QCOMPARE(selected.Count(), 1);
}

void TestGrid::drawStates()
{
    GridForm f;
    OPEN_FORM(f);
    f.grid->setOptions(f.grid->Options | dgMultiSelect);
    f.grid->DefaultDrawing = false;
    struct Seen {
        TGridDrawState state = -1;
        TColor brush = 0;
        QRect rect;
        TColumnEh *column = nullptr;
    };
    std::map<std::pair<QString, int>, Seen> seen;
    f.grid->OnDrawColumnCell = [&](QObject *, const QRect &rect, int dataCol, TColumnEh *column, TGridDrawState state) {
        // The row being drawn is the one the fields read.
        seen[{f.field("p35")->AsString(), dataCol}] = Seen{state, f.grid->Canvas()->Brush.Color, rect, column};
    };
    auto at = [&](const char *p35, int col) { return seen[{QString::fromLatin1(p35), col}]; };
    f.p35->Color = clYellow;
    f.click(0, 3, Qt::ControlModifier);   // r4 selected
    f.click(1, 1);                        // current cell: r2, teacher
    f.grid->grab();

    QCOMPARE(at("r2", 1).state, gdSelected | gdFocused);
    QCOMPARE(at("r2", 0).state, 0);
    QCOMPARE(at("r4", 0).state, gdSelected);
    QCOMPARE(at("r4", 2).state, gdSelected);
    QCOMPARE(at("r5", 3).state, 0);
    QCOMPARE(at("r5", 0).brush, clYellow);
    QCOMPARE(at("r5", 0).column, f.p35);
    QVERIFY(f.grid->CellRect(0, 4).contains(at("r5", 0).rect));
    QCOMPARE(seen.count({QStringLiteral("r5"), 4}), size_t(1));

    // The current row stands out as a whole with row highlighting.
    f.grid->OptionsEh |= dghRowHighlight;
    seen.clear();
    f.grid->grab();
    QCOMPARE(at("r2", 0).state, gdSelected);
    QCOMPARE(at("r2", 1).state, gdSelected | gdFocused);

    // Without the focus the current cell is only highlighted when the selection is always shown.
    f.grid->OptionsEh &= ~dghRowHighlight;
    QLineEdit elsewhere(&f.form);
    elsewhere.setGeometry(0, 280, 50, 20);
    elsewhere.show();
    elsewhere.setFocus();
    seen.clear();
    f.grid->grab();
    QCOMPARE(at("r2", 1).state, 0);
    QCOMPARE(at("r4", 1).state, gdSelected);
    f.grid->setOptions(f.grid->Options | dgAlwaysShowSelection);
    seen.clear();
    f.grid->grab();
    QCOMPARE(at("r2", 1).state, gdSelected | gdFocused);
}

void TestGrid::defaultDrawingPaintsColumnColour()
{
    GridForm f;
    OPEN_FORM(f);
    f.p35->Color = clYellow;
    f.click(2, 0);
    const QImage image = f.grid->grab().toImage();
    auto colourAt = [&](int col, int row) {
        const QRect cell = f.grid->CellRect(col, row).translated(f.grid->viewport()->pos());
        return image.pixelColor(cell.right() - 3, cell.top() + 2);
    };
    QCOMPARE(colourAt(0, 2), ColorToQColor(clYellow));
    QCOMPARE(colourAt(2, 0), ColorToQColor(clHighlight));   // the current cell
    QCOMPARE(colourAt(1, 2), ColorToQColor(clWhite));

    // A handler painting after the default drawing has the last word.
    f.grid->OnDrawColumnCell = [&](QObject *, const QRect &rect, int dataCol, TColumnEh *, TGridDrawState) {
        if (dataCol == 1) {
            f.grid->Canvas()->Brush.Color = clRed;
            f.grid->Canvas()->FillRect(rect);
        }
    };
    const QImage painted = f.grid->grab().toImage();
    const QRect cell = f.grid->CellRect(1, 2).translated(f.grid->viewport()->pos());
    QCOMPARE(painted.pixelColor(cell.center()), ColorToQColor(clRed));
}

void TestGrid::insertRefusedWhenAborted()
{
    GridForm f;
    OPEN_FORM(f);
    const ScopedDialogAnswers answers;
    f.query.BeforeInsert = [](TDataSet *) { Abort(); };
    f.click(0, 2);
    f.key(Qt::Key_Insert);
    QCOMPARE(f.query.State(), dsBrowse);
    QCOMPARE(f.grid->model()->rowCount(), 5);
    f.click(0, 4);
    f.key(Qt::Key_Down);
    QCOMPARE(f.grid->model()->rowCount(), 5);
    QVERIFY(answers.shown().isEmpty());
}

void TestGrid::downOnLastRowAppends()
{
    GridForm f;
    OPEN_FORM(f);
    f.grid->AllowedOperations &= ~alopAppendEh;
    f.click(0, 4);
    f.key(Qt::Key_Down);
    QCOMPARE(f.query.State(), dsBrowse);

    f.grid->AllowedOperations |= alopAppendEh;
    f.key(Qt::Key_Down);
    QCOMPARE(f.query.State(), dsInsert);
    QCOMPARE(f.grid->model()->rowCount(), 6);
    QCOMPARE(f.grid->currentIndex().row(), 5);
    f.key(Qt::Key_Down);   // an untouched new row does not append another
    QCOMPARE(f.grid->model()->rowCount(), 6);
    f.key(Qt::Key_Escape);
    QCOMPARE(f.query.State(), dsBrowse);
    QCOMPARE(f.grid->model()->rowCount(), 5);

    f.grid->setOptions(f.grid->Options & ~dgEditing);
    f.key(Qt::Key_Insert);
    QCOMPARE(f.query.State(), dsBrowse);
}

void TestGrid::ctrlDeleteConfirms()
{
    GridForm f;
    OPEN_FORM(f);
    const int rows = 5;
    f.click(0, 1);
    {
        const ScopedDialogAnswers answers;
        DialogSeam::pushAnswer(IDCANCEL);
        f.key(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(answers.shown().size(), 1);
        QCOMPARE(answers.shown().front().text, QStringLiteral("Delete record?"));
        QCOMPARE(answers.shown().front().caption, QStringLiteral("Confirm"));
        QCOMPARE(answers.shown().front().type & MB_BUTTONMASK, MB_OKCANCEL);
        QCOMPARE(f.query.RecordCount(), rows);
    }
    {
        const ScopedDialogAnswers answers;
        DialogSeam::pushAnswer(IDOK);
        f.key(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.query.RecordCount(), rows - 1);
        QCOMPARE(f.serverValue(QStringLiteral("SELECT count(*) FROM mark_mag")).toInt(), rows - 1);
    }
    {
        const ScopedDialogAnswers answers;
        f.grid->AllowedOperations &= ~alopDeleteEh;
        f.key(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(answers.shown().isEmpty());
        f.grid->AllowedOperations |= alopDeleteEh;
        f.grid->setOptions(f.grid->Options & ~dgConfirmDelete);
        f.key(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(answers.shown().isEmpty());
        QCOMPARE(f.query.RecordCount(), rows - 2);
    }
}

// Deleting the selection stops at the first row that is refused; that row and the ones after it stay
// selected, so the user sees what is left and can try again.
void TestGrid::refusedDeleteKeepsTheRowsLeftSelected()
{
    GridForm f;
    OPEN_FORM(f);
    f.grid->setOptions((f.grid->Options | dgMultiSelect) & ~dgConfirmDelete);
    f.grid->EditActions = geaDeleteEh;
    TBMListEh &selected = f.grid->SelectedRows();
    for (const int row : {0, 2, 3, 4})
        f.click(0, row, Qt::ControlModifier);
    QCOMPARE(selected.Count(), 4);
    const QStringList left{f.bookmarkOfRow(3), f.bookmarkOfRow(4)};
    f.query.BeforeDelete = [&f](TDataSet *) {
        if (f.field("p35")->AsString() == QLatin1String("r4"))
            Abort();
    };

    f.key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(f.serverValue(QStringLiteral("SELECT count(*) FROM mark_mag")).toInt(), 3);
    QCOMPARE(f.query.RecordCount(), 3);
    QCOMPARE(selected.Count(), 2);
    QCOMPARE(QStringList({selected.Items(0), selected.Items(1)}), left);

    // With nothing refused the selection empties.
    f.query.BeforeDelete = nullptr;
    f.key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(selected.Count(), 0);
    QCOMPARE(f.query.RecordCount(), 1);
}

void TestGrid::editActionsOnlyWhenEnabled()
{
    GridForm f;
    OPEN_FORM(f);
    f.grid->setOptions(f.grid->Options | dgMultiSelect);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("untouched"));
    f.key(Qt::Key_A, Qt::ControlModifier);
    f.key(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(f.grid->SelectedRows().Count(), 0);
    QCOMPARE(clipboard->text(), QStringLiteral("untouched"));

    f.grid->EditActions = geaCopyEh | geaSelectAllEh | geaPasteEh;
    f.key(Qt::Key_C, Qt::ControlModifier);   // no row selected: the current cell
    QCOMPARE(clipboard->text(), QStringLiteral("r1"));
    f.key(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(f.grid->SelectedRows().Count(), 5);
    f.key(Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = clipboard->text().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 5);
    QVERIFY2(lines[2].startsWith(QStringLiteral("r3\tМедведев А. П.")), qPrintable(lines[2]));

    clipboard->setText(QStringLiteral("pasted\tignored"));
    f.grid->SelectedRows().Clear();
    f.click(0, 3);
    f.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(f.field("p35")->AsString(), QStringLiteral("pasted"));
    QCOMPARE(f.query.State(), dsEdit);
}

void TestGrid::lookupColumnStoresChosenKey()
{
    GridForm f;
    OPEN_FORM(f);
    f.teachers.setSort(QStringLiteral("t_fio"));
    struct Update {
        QString text;
        QVariant value;
        bool useText = true;
        QVariant keyBefore;
    };
    QList<Update> updates;
    f.teacher->OnUpdateData = [&](QObject *, QString &text, QVariant &value, bool &useText, bool &) {
        updates.append({text, value, useText, f.field("id_teacher")->Value()});
    };
    f.click(1, 0);
    f.key(Qt::Key_F2);
    auto *box = qobject_cast<QComboBox *>(f.grid->InplaceEditor());
    QVERIFY(box);
    QCOMPARE(box->count(), 8);
    QCOMPARE(box->itemText(0), QStringLiteral("Белкина О. Л."));   // the list's own order
    QCOMPARE(box->currentText(), QStringLiteral("Кузьмина Е. В."));
    QCOMPARE(box->view()->minimumWidth(), 300);
    choose(box, 0);
    QCOMPARE(updates.size(), 1);
    QCOMPARE(updates.front().text, QStringLiteral("Белкина О. Л."));
    QCOMPARE(updates.front().value.toInt(), 7);
    QCOMPARE(updates.front().useText, false);
    QCOMPARE(updates.front().keyBefore.toInt(), 1);   // raised before the value is stored
    QCOMPARE(f.field("id_teacher")->AsInteger(), 7);
    QCOMPARE(f.field("teacher")->AsString(), QStringLiteral("Белкина О. Л."));
    f.key(Qt::Key_Down);
    QCOMPARE(f.serverValue(QStringLiteral("SELECT id_teacher FROM mark_mag WHERE p35 = 'r1'")).toInt(), 7);
}

void TestGrid::lookupUpdateDataHandled()
{
    GridForm f;
    OPEN_FORM(f);
    f.teacher->OnUpdateData = [&](QObject *, QString &, QVariant &, bool &, bool &handled) {
        f.field("p35")->setAsString(QStringLiteral("by handler"));
        handled = true;
    };
    f.click(1, 1);
    f.key(Qt::Key_F2);
    auto *box = qobject_cast<QComboBox *>(f.grid->InplaceEditor());
    QVERIFY(box);
    choose(box, 5);
    QCOMPARE(f.field("id_teacher")->AsInteger(), 2);
    QCOMPARE(f.field("p35")->AsString(), QStringLiteral("by handler"));
}

void TestGrid::dateEditorMask_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("stored");
    QTest::addColumn<bool>("refused");

    QTest::newRow("day month year") << "01022024" << QDate(2024, 2, 1) << false;
    QTest::newRow("end of year") << "31122023" << QDate(2023, 12, 31) << false;
    QTest::newRow("no such day") << "31022024" << QDate() << true;
    QTest::newRow("half typed") << "0102" << QDate() << true;
}

void TestGrid::dateEditorMask()
{
    QFETCH(QString, typed);
    QFETCH(QDate, stored);
    QFETCH(bool, refused);
    GridForm f;
    OPEN_FORM(f);
    const ScopedDialogAnswers answers;
    f.click(2, 0);
    f.key(Qt::Key_F2);
    auto *edit = qobject_cast<QLineEdit *>(f.grid->InplaceEditor());
    QVERIFY(edit);
    QCOMPARE(edit->inputMask(), QStringLiteral("99/99/9999;_"));
    f.type(typed);
    f.key(Qt::Key_Return);
    if (refused) {
        QCOMPARE(answers.shown().size(), 1);
        QVERIFY2(answers.shown().front().text.contains(QStringLiteral("is not a valid date")),
                 qPrintable(answers.shown().front().text));
        QVERIFY(f.field("p36")->IsNull());
        QCOMPARE(f.grid->InplaceEditor(), edit);   // still there, with what was typed
        f.key(Qt::Key_Escape);
        return;
    }
    QVERIFY(answers.shown().isEmpty());
    QCOMPARE(f.field("p36")->AsDateTime(), QDateTime(stored, QTime(0, 0)));
    QCOMPARE(edit->text(), stored.toString(QStringLiteral("dd/MM/yyyy")));
}

void TestGrid::pickListAndTickBox()
{
    GridForm f;
    OPEN_FORM(f);
    QStringList texts;
    f.primech->OnUpdateData = [&](QObject *, QString &text, QVariant &, bool &useText, bool &) {
        texts.append(text);
        QVERIFY(useText);
    };
    f.click(3, 2);
    f.key(Qt::Key_F2);
    auto *box = qobject_cast<QComboBox *>(f.grid->InplaceEditor());
    QVERIFY(box);
    QVERIFY(box->isEditable());
    choose(box, 1);
    QCOMPARE(texts, QStringList{QStringLiteral("н/д")});
    QCOMPARE(f.field("primech")->AsString(), QStringLiteral("н/д"));

    // Tick boxes toggle by click and by Space, with no editor.
    f.click(4, 3);
    QVERIFY(!f.grid->InplaceEditor());
    QCOMPARE(f.field("dopusk_izm")->AsBoolean(), true);
    f.key(Qt::Key_Space);
    QCOMPARE(f.field("dopusk_izm")->AsBoolean(), false);
    f.key(Qt::Key_Space);
    f.key(Qt::Key_Up);
    QCOMPARE(f.serverValue(QStringLiteral("SELECT dopusk_izm FROM mark_mag WHERE p35 = 'r4'")).toBool(), true);
    QCOMPARE(f.serverValue(QStringLiteral("SELECT primech FROM mark_mag WHERE p35 = 'r3'")).toString(),
             QStringLiteral("н/д"));
}

void TestGrid::alwaysShownEditorLeavesForDirectWrites()
{
    GridForm f;
    OPEN_FORM(f);
    f.grid->setOptions(f.grid->Options | dgAlwaysShowEditor);
    QTRY_VERIFY(f.grid->InplaceEditor());
    QCOMPARE(f.query.State(), dsBrowse);   // showing the editor edits nothing
    f.key(Qt::Key_Down);
    QVERIFY(f.grid->InplaceEditor());
    QCOMPARE(qobject_cast<QLineEdit *>(f.grid->InplaceEditor())->text(), QStringLiteral("r2"));

    // The way a window pastes into a cell: the editor goes, the row is written, the editor comes back.
    f.grid->setOptions(f.grid->Options & ~dgAlwaysShowEditor);
    QVERIFY(!f.grid->InplaceEditor());
    f.query.Edit();
    f.field("p35")->setAsString(QStringLiteral("pasted"));
    f.grid->setOptions(f.grid->Options | dgAlwaysShowEditor);
    QVERIFY(f.grid->InplaceEditor());
    QCOMPARE(qobject_cast<QLineEdit *>(f.grid->InplaceEditor())->text(), QStringLiteral("pasted"));
    f.key(Qt::Key_Down);
    QCOMPARE(f.serverValue(QStringLiteral("SELECT count(*) FROM mark_mag WHERE p35 = 'pasted'")).toInt(), 1);
}

void TestGrid::pasteThroughKeyDownHandler_data()
{
    QTest::addColumn<bool>("bySetter");
    QTest::newRow("setOptions") << true;
    QTest::newRow("assigning Options") << false;
}

void TestGrid::pasteThroughKeyDownHandler()
{
    QFETCH(bool, bySetter);
    GridForm f;
    OPEN_FORM(f);
    QGuiApplication::clipboard()->setText(QStringLiteral("from the clipboard"));
    f.grid->setOptions(f.grid->Options | dgAlwaysShowEditor);
    QTRY_VERIFY(f.grid->InplaceEditor());
    // A window's own single-cell paste, written as windows write it.
    f.grid->OnKeyDown = [&](QObject *, quint16 &key, TShiftState shift) {
        if (key != 'V' || !shift.testFlag(ssCtrl))
            return;
        const TDBGridOptions without = f.grid->Options & ~dgAlwaysShowEditor;
        bySetter ? f.grid->setOptions(without) : void(f.grid->Options = without);
        f.query.Edit();
        f.field("p35")->setAsString(QStringLiteral("buffer"));
        bySetter ? f.grid->setOptions(without | dgAlwaysShowEditor) : void(f.grid->Options = without | dgAlwaysShowEditor);
    };
    f.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(f.field("p35")->AsString(), QStringLiteral("buffer"));
    QVERIFY(f.grid->InplaceEditor());
    QCOMPARE(qobject_cast<QLineEdit *>(f.grid->InplaceEditor())->text(), QStringLiteral("buffer"));
    f.key(Qt::Key_Down);
    QCOMPARE(f.serverValue(QStringLiteral("SELECT count(*) FROM mark_mag WHERE p35 = 'buffer'")).toInt(), 1);
}

void TestGrid::destroyingIsAnnounced()
{
    auto grid = std::make_unique<TDBGridEh>();
    TDBGridEh *announced = nullptr;
    QObject::connect(grid.get(), &TDBGridEh::gridDestroying, [&](TDBGridEh *g) { announced = g; });
    TDBGridEh *raw = grid.get();
    grid.reset();
    QCOMPARE(announced, raw);
}

void TestGrid::multiLineTitlesWrapToFit()
{
    GridForm f;
    f.primech->Title.Caption = QStringLiteral("Допуск по оплате");
    OPEN_FORM(f);
    const QHeaderView *titles = f.grid->horizontalHeader();
    const QFontMetrics metrics(f.grid->TitleFont.toQFont());
    const int oneLine = titles->height();
    QVERIFY(oneLine < 2 * metrics.height());

    // Allowed, the title row grows until the longest title reads whole; the widths stay.
    f.grid->UseMultiTitle = true;
    f.grid->LayoutChanged();
    QCOMPARE(f.primech->Width, 70);
    const int wrapped = titles->height();
    QVERIFY2(wrapped >= oneLine + metrics.height(), qPrintable(QString::number(wrapped)));
    for (int i = 0; i < f.grid->ColumnCount(); ++i) {
        const QString caption = f.grid->Columns(i)->Title.Caption;
        const QRect needed =
            metrics.boundingRect(QRect(0, 0, titles->sectionSize(i) - 6, 1000), Qt::TextWordWrap, caption);
        QVERIFY2(needed.height() <= wrapped - 2, qPrintable(caption));
    }

    // A column made wide enough takes its title back onto one line.
    f.primech->Width = 300;
    f.grid->LayoutChanged();
    QCOMPARE(titles->height(), oneLine);
}

void TestGrid::clippedCellShowsItsTextAsTooltip()
{
    const QString longNumber = QStringLiteral("Ведомость 2024/117 пересдача комиссии");
    GridForm f({{longNumber, 1}, {QStringLiteral("r2"), 2}});
    OPEN_FORM(f);
    const auto askTip = [&f](int col, int row) {
        const QPoint at = f.cellCenter(col, row);
        QHelpEvent help(QEvent::ToolTip, at, f.grid->viewport()->mapToGlobal(at));
        QApplication::sendEvent(f.grid->viewport(), &help);
    };
    askTip(0, 0);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), longNumber);
    // A text that fits its cell needs no tip.
    askTip(0, 1);
    QTRY_VERIFY(!QToolTip::isVisible());
    // A lookup cell clipped: the text shown, not the key.
    f.teacher->Width = 12;
    f.grid->LayoutChanged();
    askTip(1, 1);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), f.grid->model()->index(1, 1).data().toString());
    QVERIFY(!QToolTip::text().isEmpty());
}

OLM_TEST_MAIN(TestGrid)
#include "tst_grid.moc"
