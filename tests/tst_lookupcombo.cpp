// Tests of the lookup combo box over the group list of a fresh demo database: the items and their order,
// choosing by keyboard and mouse, and the key value and shown text across closing and reopening the list.
#include "server/Session.h"
#include "tests/support/TestDatabase.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/DBLookupComboBox.h"
#include "toolkit/ui/Dialogs.h"
#include "tests/support/TestMain.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QtTest>

#include <memory>

namespace {

const QString editorLogin = QStringLiteral("petrova");

const QString allGroups = QStringLiteral("select id_group, p20 from [group] order by id_group");

/// A form with a group box over the demo groups.
class BoxForm {
public:
    BoxForm()
    {
        if (!db.isValid()) {
            error = db.error();
            return;
        }
        const auto admin = db.administrator();
        const olm::server::Outcome password =
            admin ? admin->execute(QStringLiteral("SELECT password FROM srv_db_logins WHERE name = ?"), {editorLogin})
                  : olm::server::Outcome::failure(QStringLiteral("no administrator session"));
        if (!password.ok || !password.firstResult() || password.firstResult()->rows.empty()) {
            error = QStringLiteral("no database login: ") + password.error;
            return;
        }
        const QString secret = password.firstResult()->rows.front().value(0).toString();
        connection.setConnectionString(db.connectionString(editorLogin, secret));
        groups.setConnection(&connection);
        groups.setSQLText(allGroups);
        source.setDataSet(&groups);
        box = new TDBLookupComboBox(&form);
        box->setGeometry(10, 10, 155, 24);
        other = new QLineEdit(&form);
        other->setGeometry(10, 40, 100, 24);
        box->setKeyField(QStringLiteral("id_group"));
        box->setListField(QStringLiteral("p20"));
        box->setListSource(&source);
    }

    bool isValid() const { return error.isEmpty(); }
    bool show()
    {
        groups.Open();
        form.resize(300, 100);
        form.show();
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form);
    }
    QString nameOf(int id)
    {
        return groups.Lookup(QStringLiteral("id_group"), id, QStringLiteral("p20")).toString();
    }
    int currentId() const { return groups.FieldByName(QStringLiteral("id_group"))->AsInteger(); }
    QStringList items() const
    {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    }
    void reopen(const QString &sql)
    {
        groups.Close();
        groups.setSQLText(sql);
        groups.Open();
    }

    TestDatabase db;
    TADOConnection connection;
    TADOQuery groups;
    TDataSource source;
    QWidget form;
    TDBLookupComboBox *box = nullptr;
    QLineEdit *other = nullptr;
    QString error;
};

#define OPEN_BOX(f)                                                                                                    \
    QVERIFY2((f).isValid(), qPrintable((f).error));                                                                   \
    QVERIFY((f).show())

} // namespace

class TestLookupCombo : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void itemsFollowTheListsOrder();
    void choosingSetsKeyMovesListThenClicks();
    void choosingFromTheDropDown();
    void settingTheKey();
    void keyAndTextAcrossReopen_data();
    void keyAndTextAcrossReopen();
    void enterIsRaisedOnFocus();

private:
    std::unique_ptr<TApplication> m_application;
    std::unique_ptr<ScopedDialogAnswers> m_answers;
};

void TestLookupCombo::initTestCase()
{
    m_application = std::make_unique<TApplication>();
    m_answers = std::make_unique<ScopedDialogAnswers>();
}

void TestLookupCombo::cleanupTestCase()
{
    m_answers.reset();
    m_application.reset();
}

void TestLookupCombo::itemsFollowTheListsOrder()
{
    BoxForm f;
    OPEN_BOX(f);
    QCOMPARE(f.box->count(), f.groups.RecordCount());
    QVERIFY(f.box->count() >= 3);
    QCOMPARE(f.box->itemText(0), f.nameOf(1));
    QCOMPARE(f.box->Text(), QString());
    QVERIFY(f.box->KeyValue().isNull());

    // The list's own order, whatever it is sorted by on the client.
    f.groups.setSort(QStringLiteral("p20 DESC"));
    QStringList rows;
    for (f.groups.First(); !f.groups.Eof(); f.groups.Next())
        rows << f.groups.FieldByName(QStringLiteral("p20"))->AsString();
    QCOMPARE(f.items(), rows);
    QVERIFY(rows.first() != f.nameOf(1));
}

void TestLookupCombo::choosingSetsKeyMovesListThenClicks()
{
    BoxForm f;
    OPEN_BOX(f);
    f.box->setKeyValue(1);
    int clicks = 0;
    int listRowAtClick = -1;
    QVariant keyAtClick;
    f.box->OnClick = [&](QObject *sender) {
        QCOMPARE(sender, f.box);
        ++clicks;
        listRowAtClick = f.currentId();
        keyAtClick = f.box->KeyValue();
    };
    f.box->setFocus();
    QTest::keyClick(f.box, Qt::Key_Down);
    QCOMPARE(clicks, 1);
    const int chosen = f.box->itemData(1).toInt();
    QCOMPARE(keyAtClick.toInt(), chosen);
    QCOMPARE(listRowAtClick, chosen);
    QCOMPARE(f.box->Text(), f.nameOf(chosen));
}

void TestLookupCombo::choosingFromTheDropDown()
{
    BoxForm f;
    OPEN_BOX(f);
    int clicks = 0;
    f.box->OnClick = [&](QObject *) { ++clicks; };
    f.box->showPopup();
    QAbstractItemView *view = f.box->view();
    view->setCurrentIndex(view->model()->index(2, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(clicks, 1);
    QCOMPARE(f.box->KeyValue().toInt(), f.box->itemData(2).toInt());
    QCOMPARE(f.groups.CurrentDisplayRow(), 2);
}

void TestLookupCombo::settingTheKey()
{
    BoxForm f;
    OPEN_BOX(f);
    int clicks = 0;
    f.box->OnClick = [&](QObject *) { ++clicks; };
    f.box->setKeyValue(3);
    QCOMPARE(f.box->Text(), f.nameOf(3));
    QCOMPARE(f.currentId(), 3);   // the list follows the key
    QVERIFY(hasChosenKey(f.box) && showsText(f.box));
    f.box->setKeyValue(QVariant());
    QCOMPARE(f.box->Text(), QString());
    QVERIFY(f.box->KeyValue().isNull());
    QVERIFY(!hasChosenKey(f.box) && !showsText(f.box));
    // A key the list does not hold is chosen, but shows nothing.
    f.box->setKeyValue(999);
    QCOMPARE(f.box->Text(), QString());
    QCOMPARE(f.box->KeyValue().toInt(), 999);
    QVERIFY(hasChosenKey(f.box) && !showsText(f.box));
    QCOMPARE(clicks, 0);   // only the user's choice clicks
    // No box has nothing chosen and shows nothing.
    QVERIFY(!hasChosenKey(nullptr) && !showsText(nullptr));
}

void TestLookupCombo::keyAndTextAcrossReopen_data()
{
    QTest::addColumn<QString>("reopenedWith");
    QTest::addColumn<bool>("keyFound");

    QTest::newRow("same rows") << allGroups << true;
    QTest::newRow("key among fewer rows") << QStringLiteral("select id_group, p20 from [group] where id_group >= 2") << true;
    QTest::newRow("key not among the rows") << QStringLiteral("select id_group, p20 from [group] where id_group <> 2") << false;
    QTest::newRow("no rows") << QStringLiteral("select id_group, p20 from [group] where id_group < 0") << false;
}

void TestLookupCombo::keyAndTextAcrossReopen()
{
    QFETCH(QString, reopenedWith);
    QFETCH(bool, keyFound);
    BoxForm f;
    OPEN_BOX(f);
    const QString name = f.nameOf(2);
    f.box->setKeyValue(2);
    QCOMPARE(f.box->Text(), name);

    f.groups.Close();
    QCOMPARE(f.box->Text(), QString());
    QCOMPARE(f.box->KeyValue().toInt(), 2);

    f.groups.setSQLText(reopenedWith);
    f.groups.Open();
    QCOMPARE(f.box->KeyValue().toInt(), 2);
    if (keyFound) {
        QCOMPARE(f.box->Text(), name);
        QCOMPARE(f.currentId(), 2);
    } else {
        QCOMPARE(f.box->Text(), QString());
        QCOMPARE(f.groups.RecNo(), f.groups.IsEmpty() ? 0 : 1);   // the list stays on its first row
    }
}

void TestLookupCombo::enterIsRaisedOnFocus()
{
    BoxForm f;
    OPEN_BOX(f);
    int entered = 0;
    f.box->OnEnter = [&](QObject *sender) {
        QCOMPARE(sender, f.box);
        ++entered;
    };
    f.other->setFocus();
    f.box->setFocus(Qt::TabFocusReason);
    QCOMPARE(entered, 1);
    f.other->setFocus();
    f.box->setFocus(Qt::MouseFocusReason);
    QCOMPARE(entered, 2);
    // Scrolling over the box chooses nothing.
    int clicks = 0;
    f.box->OnClick = [&](QObject *) { ++clicks; };
    QWheelEvent wheel(QPointF(5, 5), f.box->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.box, &wheel);
    QCOMPARE(clicks, 0);
    QVERIFY(f.box->KeyValue().isNull());
    f.box->setEnabled(false);
    QVERIFY(!f.box->Enabled());
    f.box->setWidth(257);
    QCOMPARE(f.box->Width(), 257);
}

OLM_TEST_MAIN(TestLookupCombo)
#include "tst_lookupcombo.moc"
