// The sign-in window driven like a user would: its layout, key filters, buttons, dragging, the change area,
// whole sign-ins against the embedded server with the demo users, and the start-up around it.
#include "app/SelfUpdate.h"
#include "app/SignIn.h"
#include "app/StandInMainWindow.h"
#include "app/Unit10.h"
#include "data/Unit1.h"
#include "platform/IdIPWatch.h"
#include "server/Session.h"
#include "tests/support/DemoUsers.h"
#include "tests/support/SignInSetup.h"
#include "tests/support/TestDatabase.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/Dialogs.h"
#include "toolkit/ui/Forms.h"
#include "tests/support/TestMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

const QString WrongLogin = QStringLiteral("Неверно ввели логин или пароль.");
const QString ChangeText = QStringLiteral("Вы должны поменять пароль\rЭто делается для безопастности и сохранения "
                                          "данных от злоумышлеников");
const QString MismatchText = QStringLiteral("Новый пароль подтвержден не верно!!!\rПодтвердите пароль заново.");
const QString UpdatingText = QStringLiteral("Идёт обновление программы, ПОДОЖДИТЕ...");
const QString NoUpdateServerText = QStringLiteral("Сервер обновлений не доступен.\rОбратитесь к администратору.");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Types text character by character as a keyboard would, Cyrillic included.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        const auto key = Qt::Key(c.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), Qt::NoModifier);
    }
}

// A shown sign-in window over a fresh demo database, with the data module it signs in on.
struct SignedInFixture {
    TestDatabase db;
    SignInSetup setup;
    TDM_YOT dm;
    RecordingHost host;
    TForm8 form{&host};

    SignedInFixture() { form.show(); }

    void typeCredentials(const QString &login, const QString &password)
    {
        form.Login_Edit->setText(login);
        form.Password_Edit->setText(password);
    }
    void clickSignIn() { QTest::mouseClick(form.SpeedButton2, Qt::LeftButton); }
    /// Sign-in attempts the server recorded: login and address, oldest first.
    QList<QStringList> attempts() const
    {
        const olm::server::Outcome outcome =
            db.administrator()->execute(QStringLiteral("SELECT login, address FROM srv_attempts ORDER BY id_attempt"));
        QList<QStringList> rows;
        if (outcome.ok && outcome.firstResult()) {
            for (const QVariantList &row : outcome.firstResult()->rows)
                rows.append({row.value(0).toString(), row.value(1).toString()});
        }
        return rows;
    }
    /// The server asks every "OLM 16" client to update itself; the editor signs in.
    void signInToAnUpdate()
    {
        QVERIFY(db.administrator()
                    ->execute(QStringLiteral("UPDATE srv_config SET value = 'OLM 17' WHERE name = 'current_program'"))
                    .ok);
        typeCredentials(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword));
        clickSignIn();
    }
    QString path(const QString &name) const { return QDir(setup.folder()).filePath(name); }
    QVariant adminValue(const QString &statement) const
    {
        const olm::server::Outcome outcome = db.administrator()->execute(statement);
        if (!outcome.ok || !outcome.firstResult() || outcome.firstResult()->rows.empty())
            return {};
        return outcome.firstResult()->rows.front().value(0);
    }
};

} // namespace

class TestSignInWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void freshWindow();
    void tabOrder();
    void leftoverUpdateScriptIsDeleted();
    void changeAreaToggle();
    void keyFilters_data();
    void keyFilters();
    void enterInEveryEditSignsIn_data();
    void enterInEveryEditSignsIn();
    void enterCharacterIsSwallowedOnlyInTheActivePasswordEdit();
    void confirmationMismatch();
    void attemptCountWraps();
    void draggingByThePicturesAndTheLabel_data();
    void draggingByThePicturesAndTheLabel();
    void exitButtonCancels();
    void settingsFileErrorReachesTheErrorDisplay();

    void wrongPasswordShowsTheServersText();
    void successLoadsTheListsAndReadsDatesDayFirst();
    void expiredPasswordIsChangedThenUsed();
    void dueChangeOnTheFirstAttempt();
    void dueChangeNotAskedOnTheSecondAttempt();
    void blockedUserIsToldWhy();
    void requiredUpdateEndsTheProgram();
    void updateTimerEndsTheApplication();
    void signInPressedAgainWhileLoadingIsIgnored();
    void addressComesFromTheWindowsWatcher();
    void updateScriptBytes();
    void updateServerHostFromTheDataSource_data();
    void updateServerHostFromTheDataSource();
    void updateDownloadsAndStartsTheScript();
    void updateRefusesWhatIsNotTheProgram_data();
    void updateRefusesWhatIsNotTheProgram();
    void updateWriteFailureIsASignInError_data();
    void updateWriteFailureIsASignInError();

    void startupCancelledShowsNoWindow();
    void startupSignedInShowsTheMainWindow();

private:
    std::unique_ptr<TApplication> m_application;
    // Every box is answered; none may wait for a user.
    std::unique_ptr<ScopedDialogAnswers> m_answers;
};

void TestSignInWindow::init()
{
    // A terminated application stays terminated, so each case gets its own.
    m_application = std::make_unique<TApplication>();
    m_application->setShowMainForm(false);
    m_answers = std::make_unique<ScopedDialogAnswers>();
}

void TestSignInWindow::cleanup()
{
    m_answers.reset();
    m_application.reset();
}

void TestSignInWindow::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("Image1") << "Image1" << QRect(0, 0, 497, 278);
    QTest::newRow("Image2") << "Image2" << QRect(0, 277, 497, 139);
    QTest::newRow("RzLabel1") << "RzLabel1" << QRect(60, 107, 329, 78);
    QTest::newRow("ProgressBar") << "ProgressBar" << QRect(146, 120, 187, 6);
    QTest::newRow("Login_Edit") << "Login_Edit" << QRect(146, 202, 187, 21);
    QTest::newRow("Password_Edit") << "Password_Edit" << QRect(146, 238, 187, 21);
    QTest::newRow("SpeedButton2") << "SpeedButton2" << QRect(349, 200, 55, 20);
    QTest::newRow("SpeedButton1") << "SpeedButton1" << QRect(418, 199, 67, 22);
    QTest::newRow("SpeedButton3") << "SpeedButton3" << QRect(346, 236, 139, 22);
    QTest::newRow("Edit1") << "Edit1" << QRect(148, 309, 186, 21);
    QTest::newRow("Edit2") << "Edit2" << QRect(148, 345, 186, 21);
}

void TestSignInWindow::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    TForm8 form(nullptr);
    auto *control = form.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
}

void TestSignInWindow::freshWindow()
{
    TForm8 form(nullptr);
    QCOMPARE(form.windowTitle(), QStringLiteral("Аутентификация"));
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(form.size(), QSize(497, 273));
    QCOMPARE(form.Label1->text(), QStringLiteral("V.2"));
    QCOMPARE(form.Label1->pos(), QPoint(6, 5));
    QCOMPARE(form.AttemptCount, quint8(0));
    QVERIFY(!form.ChangeMode);
    QVERIFY(form.ProgressBar->isHidden());
    QCOMPARE(form.ProgressBar->maximum(), 14);
    QVERIFY(!form.Timer1->isActive());
    QCOMPARE(form.Timer1->interval(), 2000);
    QVERIFY(form.IdIPWatch1->Active());
    QVERIFY(!form.IdIPWatch1->HistoryEnabled());
    QCOMPARE(form.Password_Edit->echoMode(), QLineEdit::Password);
    QCOMPARE(form.Edit1->echoMode(), QLineEdit::Password);
    QCOMPARE(form.Edit2->echoMode(), QLineEdit::Password);
    QCOMPARE(form.Login_Edit->echoMode(), QLineEdit::Normal);
    for (QToolButton *button : {form.SpeedButton1, form.SpeedButton2, form.SpeedButton3})
        QVERIFY(button->text().isEmpty());
}

void TestSignInWindow::tabOrder()
{
    TForm8 form(nullptr);
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.Login_Edit->setFocus();
    // The change area is closed: Tab stays with the two edits the user can see.
    for (QLineEdit *next : {form.Password_Edit, form.Login_Edit, form.Password_Edit}) {
        QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
        QCOMPARE(form.focusWidget(), next);
    }
    QTest::keyClick(form.focusWidget(), Qt::Key_Backtab);
    QCOMPARE(form.focusWidget(), form.Login_Edit);

    // Open, all four in their order.
    QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
    QVERIFY(form.ChangeMode);
    for (QLineEdit *next : {form.Password_Edit, form.Edit1, form.Edit2, form.Login_Edit}) {
        QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
        QCOMPARE(form.focusWidget(), next);
    }

    // Closed again while typing in the confirmation: the focus comes back to what can be seen.
    form.Edit2->setFocus();
    QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
    QVERIFY(!form.ChangeMode);
    QVERIFY(form.focusWidget() == form.Login_Edit || form.focusWidget() == form.Password_Edit);
    QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
    QVERIFY(form.focusWidget() != form.Edit1 && form.focusWidget() != form.Edit2);
}

void TestSignInWindow::leftoverUpdateScriptIsDeleted()
{
    SignInSetup setup;
    QFile script(setup.folder() + QStringLiteral("/OLM 16.bat"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("@ECHO OFF\r\n");
    script.close();
    TForm8 form(nullptr);
    QVERIFY(!script.exists());
    // No script is no error either.
    TForm8 again(nullptr);
    QCOMPARE(again.Label1->text(), QStringLiteral("V.2"));
}

void TestSignInWindow::changeAreaToggle()
{
    TForm8 form(nullptr);
    form.show();
    QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
    QVERIFY(form.ChangeMode);
    QCOMPARE(form.height(), 416);
    QVERIFY(form.Edit1->isVisible());
    QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
    QVERIFY(!form.ChangeMode);
    QCOMPARE(form.height(), 275);
    QCOMPARE(form.width(), 497);
}

void TestSignInWindow::keyFilters_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("login takes anything") << "Login_Edit" << "Ив a-1" << "Ив a-1";
    QTest::newRow("password takes anything") << "Password_Edit" << "п a.1" << "п a.1";
    QTest::newRow("new password: letters, digits, underscore") << "Edit1" << "aZ09_z" << "aZ09_z";
    QTest::newRow("new password: no blank, cyrillic or punctuation") << "Edit1" << "a b-ж.c!" << "abc";
    QTest::newRow("confirmation: the same rule") << "Edit2" << "Q_ 7,я" << "Q_7";
}

void TestSignInWindow::keyFilters()
{
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    TForm8 form(nullptr);
    form.show();
    auto *target = form.findChild<QLineEdit *>(edit);
    QVERIFY(target);
    typeText(target, typed);
    QCOMPARE(target->text(), text);
    // Backspace always works.
    QTest::keyClick(target, Qt::Key_Backspace);
    QCOMPARE(target->text(), text.chopped(1));
    QTest::keyClick(target, Qt::Key_Escape);
    QVERIFY(form.isVisible());
}

void TestSignInWindow::enterInEveryEditSignsIn_data()
{
    QTest::addColumn<QString>("edit");
    for (const char *name : {"Login_Edit", "Password_Edit", "Edit1", "Edit2"})
        QTest::newRow(name) << name;
}

void TestSignInWindow::enterInEveryEditSignsIn()
{
    QFETCH(QString, edit);
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    f.typeCredentials(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword));
    auto *target = f.form.findChild<QLineEdit *>(edit);
    QTest::keyClick(target, Qt::Key_Return);
    QCOMPARE(f.form.AttemptCount, quint8(1));
    QCOMPARE(f.form.result(), mrOk);
    QVERIFY(!f.form.isVisible());
    QCOMPARE(f.form.Login_Edit->text(), QLatin1String(DemoUsers::Editor));
}

void TestSignInWindow::enterCharacterIsSwallowedOnlyInTheActivePasswordEdit()
{
    TForm8 form(nullptr);
    form.show();
    QApplication::setActiveWindow(&form);
    form.Password_Edit->setFocus();
    QChar key = QLatin1Char('\r');
    form.EditAllNoBeep(form.Password_Edit, key);
    QVERIFY(key.isNull());
    form.Login_Edit->setFocus();
    key = QLatin1Char('\r');
    form.EditAllNoBeep(form.Password_Edit, key);
    QCOMPARE(key, QLatin1Char('\r'));
}

void TestSignInWindow::confirmationMismatch()
{
    TDM_YOT dm;
    TForm8 form(nullptr);
    form.show();
    QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
    QTest::keyClicks(form.Edit1, QStringLiteral("abc"));
    QTest::keyClicks(form.Edit2, QStringLiteral("abC"));
    QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
    QCOMPARE(form.statusCaption(), MismatchText);
    QCOMPARE(form.RzLabel1->text(), QStringLiteral("Новый пароль подтвержден не верно!!!\nПодтвердите пароль заново."));
    QVERIFY(form.Edit1->text().isEmpty());
    QVERIFY(form.Edit2->text().isEmpty());
    QCOMPARE(form.AttemptCount, quint8(1));
    // Nothing was sent: not even the settings file was looked for.
    QVERIFY(DialogSeam::shown().isEmpty());
    QVERIFY(!dm.ADO_YOT->Connected());
    QVERIFY(form.isVisible());
}

void TestSignInWindow::attemptCountWraps()
{
    TDM_YOT dm;
    TForm8 form(nullptr);
    form.SpeedButton3Click();
    for (int use = 1; use <= 256; ++use) {
        form.Edit1->setText(QStringLiteral("a"));
        form.Edit2->setText(QStringLiteral("b"));
        form.SpeedButton2Click();
        QCOMPARE(int(form.AttemptCount), use % 256);
    }
    QCOMPARE(form.AttemptCount, quint8(0));
}

void TestSignInWindow::draggingByThePicturesAndTheLabel_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("Image1") << "Image1";
    QTest::newRow("Image2") << "Image2";
    QTest::newRow("RzLabel1") << "RzLabel1";
}

void TestSignInWindow::draggingByThePicturesAndTheLabel()
{
    QFETCH(QString, name);
    TForm8 form(nullptr);
    form.SpeedButton3Click();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *handle = form.findChild<QWidget *>(name);
    const QPoint start = form.pos();

    QTest::mousePress(handle, Qt::RightButton, {}, QPoint(20, 20));
    QVERIFY(!SystemMoveInProgress());
    QTest::mouseRelease(handle, Qt::RightButton, {}, QPoint(20, 20));

    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(20, 20));
    QVERIFY(SystemMoveInProgress());
    QTest::mouseMove(handle, QPoint(50, 60));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(50, 60));
    QVERIFY(!SystemMoveInProgress());
    QCOMPARE(form.pos(), start + QPoint(30, 40));
}

void TestSignInWindow::exitButtonCancels()
{
    TForm8 form(nullptr);
    ScopedDialogAnswers answers([](QDialog *dialog) {
        QTest::mouseClick(static_cast<TForm8 *>(dialog)->SpeedButton1, Qt::LeftButton);
        return dialog->result();
    });
    QCOMPARE(ShowModal(&form), mrCancel);
    QVERIFY(Application->Terminated());
}

void TestSignInWindow::settingsFileErrorReachesTheErrorDisplay()
{
    TDM_YOT dm;
    SignInSetup setup;
    QFile settings(setup.settingsPath());
    QVERIFY(settings.resize(40));
    TForm8 form(nullptr);
    form.show();
    form.Login_Edit->setText(QLatin1String(DemoUsers::Editor));
    const QString connectionBefore = dm.ADO_YOT->ConnectionString();
    QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
    const QList<ShownMessage> shown = DialogSeam::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().kind, QStringLiteral("Error"));
    QVERIFY2(shown.first().text.contains(QStringLiteral("40 байт вместо 84")), qPrintable(shown.first().text));
    QVERIFY(shown.first().text.contains(QStringLiteral("OLM")));
    QVERIFY(form.isVisible());
    QVERIFY(!dm.ADO_YOT->Connected());
    QCOMPARE(dm.ADO_YOT->ConnectionString(), connectionBefore);
}

void TestSignInWindow::wrongPasswordShowsTheServersText()
{
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    QString statusWhileBoxShown;
    DialogSeam::setResponder([&](const ShownMessage &) {
        statusWhileBoxShown = f.form.statusCaption();
        return IDOK;
    });
    f.typeCredentials(QLatin1String(DemoUsers::Editor), QStringLiteral("wrong"));
    f.clickSignIn();
    const QList<ShownMessage> shown = DialogSeam::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().kind, QStringLiteral("ShowMessage"));
    QVERIFY(!shown.first().text.isEmpty());
    QVERIFY(statusWhileBoxShown != WrongLogin);
    QCOMPARE(f.form.statusCaption(), WrongLogin);
    QVERIFY(f.form.isVisible());
    QVERIFY(!f.dm.ADO_YOT->Connected());
}

void TestSignInWindow::successLoadsTheListsAndReadsDatesDayFirst()
{
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    {
        // Fewer groups than the database has, so a list of every group would show.
        QString error;
        const auto administration = olm::server::Administration::open(f.db.path(), &error);
        QVERIFY2(administration && administration->setUserGroups(QLatin1String(DemoUsers::Editor), {2, 4}, &error),
                 qPrintable(error));
    }
    f.typeCredentials(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword));
    f.clickSignIn();
    QVERIFY2(DialogSeam::shown().isEmpty(), qPrintable(DialogSeam::shown().value(0).text));
    QCOMPARE(f.form.result(), mrOk);
    QVERIFY(Application->ShowMainForm());
    QCOMPARE(f.host.loginName, QLatin1String(DemoUsers::Editor));
    const int loginId = SignInSetup::signInUser(f.db.path(), QLatin1String(DemoUsers::Editor)).id;
    QVERIFY(loginId > 0);
    QCOMPARE(f.host.loginId, loginId);

    // The bar is full and red.
    QVERIFY(!f.form.ProgressBar->isHidden());
    QCOMPARE(f.form.ProgressBar->value(), 14);
    QCOMPARE(f.form.progressBarColor(), clRed);
    QCOMPARE(f.form.ProgressBar->palette().color(QPalette::Highlight), QColor(Qt::red));

    // Every list is open; the groups are the user's own.
    TDM_YOT &dm = f.dm;
    for (TDataSet *list : QList<TDataSet *>{dm.ADOQ_t_fio, dm.ADOQ_s_fio, dm.ADOQ_estimation, dm.ADOTSemestr,
                                            dm.ADOQ_Year, dm.ADOQ_f_est, dm.ADOT_Examination, dm.ADOQ_group,
                                            dm.ADOQ_g_sem, dm.ADOQEduc_sh, dm.ADOQuery1, dm.ADOQ_Vremennyi})
        QVERIFY2(list->Active(), qPrintable(list->Name()));
    QCOMPARE(dm.ADOQ_group->SQLText(),
             QStringLiteral("SELECT  id_group, p20 FROM group_form where o_z = 1 AND  id_login = %1"
                            " GROUP BY id_group, p20")
                 .arg(loginId));
    QSet<int> shownGroups;
    for (dm.ADOQ_group->First(); !dm.ADOQ_group->Eof(); dm.ADOQ_group->Next())
        shownGroups.insert(dm.ADOQ_group->FieldByName(QStringLiteral("id_group"))->AsInteger());
    QSet<int> ownGroups;
    const olm::server::Outcome own = f.db.administrator()->execute(
        QStringLiteral("SELECT id_group FROM group_form WHERE o_z = 1 AND id_login = %1").arg(loginId));
    QVERIFY2(own.ok, qPrintable(own.error));
    for (const QVariantList &row : own.firstResult()->rows)
        ownGroups.insert(row.value(0).toInt());
    QCOMPARE(ownGroups, (QSet<int>{2, 4}));
    QCOMPARE(shownGroups, ownGroups);

    // A date literal on this connection reads day first (on a row of her own groups: no other may be changed).
    const int row = f.adminValue(QStringLiteral("SELECT MIN(id_mark_mag) FROM mark_mag WHERE id_group IN (2, 4)")).toInt();
    QVERIFY(row > 0);
    dm.ADO_YOT->Execute(QStringLiteral("UPDATE mark_mag SET p36 = '13.01.2009' WHERE id_mark_mag = %1").arg(row));
    TADOQuery readBack;
    readBack.setConnection(dm.ADO_YOT);
    readBack.setSQLText(QStringLiteral("SELECT p36 FROM mark_mag WHERE id_mark_mag = %1").arg(row));
    readBack.Open();
    QCOMPARE(readBack.Fields().first()->AsDateTime().date(), QDate(2009, 1, 13));
    // A row of a group no longer hers is refused and keeps its date.
    const int foreign = f.adminValue(QStringLiteral("SELECT MIN(id_mark_mag) FROM mark_mag WHERE id_group = 1")).toInt();
    const QVariant kept = f.adminValue(QStringLiteral("SELECT p36 FROM mark_mag WHERE id_mark_mag = %1").arg(foreign));
    bool refused = false;
    try {
        dm.ADO_YOT->Execute(QStringLiteral("UPDATE mark_mag SET p36 = '14.01.2009' WHERE id_mark_mag = %1").arg(foreign));
    } catch (const std::exception &) {
        refused = true;
    }
    QVERIFY(refused);
    QCOMPARE(f.adminValue(QStringLiteral("SELECT p36 FROM mark_mag WHERE id_mark_mag = %1").arg(foreign)), kept);
}

void TestSignInWindow::expiredPasswordIsChangedThenUsed()
{
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    f.typeCredentials(QLatin1String(DemoUsers::Expired), QLatin1String(DemoUsers::ExpiredPassword));
    f.clickSignIn();
    QCOMPARE(f.form.statusCaption(), ChangeText);
    QVERIFY(f.form.ChangeMode);
    QCOMPARE(f.form.height(), 416);
    QVERIFY(!f.form.SpeedButton3->isEnabled());
    QVERIFY(f.form.isVisible());
    QVERIFY(!f.dm.ADO_YOT->Connected());

    QTest::keyClicks(f.form.Edit1, QStringLiteral("Fresh_42"));
    QTest::keyClicks(f.form.Edit2, QStringLiteral("Fresh_42"));
    QTest::keyClick(f.form.Edit2, Qt::Key_Return);
    QVERIFY2(DialogSeam::shown().isEmpty(), qPrintable(DialogSeam::shown().value(0).text));
    QCOMPARE(f.form.result(), mrOk);

    // A new window: the new password signs in straight away, the old one no longer does.
    RecordingHost host;
    TForm8 next(&host);
    next.show();
    next.Login_Edit->setText(QLatin1String(DemoUsers::Expired));
    next.Password_Edit->setText(QLatin1String(DemoUsers::ExpiredPassword));
    QTest::mouseClick(next.SpeedButton2, Qt::LeftButton);
    QCOMPARE(next.statusCaption(), WrongLogin);
    DialogSeam::clear();
    next.Password_Edit->setText(QStringLiteral("Fresh_42"));
    QTest::mouseClick(next.SpeedButton2, Qt::LeftButton);
    QVERIFY2(DialogSeam::shown().isEmpty(), qPrintable(DialogSeam::shown().value(0).text));
    QCOMPARE(next.result(), mrOk);
    QCOMPARE(host.loginName, QLatin1String(DemoUsers::Expired));
}

void TestSignInWindow::dueChangeOnTheFirstAttempt()
{
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    f.typeCredentials(QLatin1String(DemoUsers::Due), QLatin1String(DemoUsers::DuePassword));
    f.clickSignIn();
    QCOMPARE(f.form.statusCaption(), ChangeText);
    QVERIFY(f.form.ChangeMode);
    QVERIFY(f.form.SpeedButton3->isEnabled());
    QVERIFY(f.form.isVisible());

    // Closing the area and signing in again keeps the old password.
    QTest::mouseClick(f.form.SpeedButton3, Qt::LeftButton);
    QCOMPARE(f.form.height(), 275);
    f.clickSignIn();
    QCOMPARE(f.form.AttemptCount, quint8(2));
    QVERIFY2(DialogSeam::shown().isEmpty(), qPrintable(DialogSeam::shown().value(0).text));
    QCOMPARE(f.form.result(), mrOk);
}

void TestSignInWindow::dueChangeNotAskedOnTheSecondAttempt()
{
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    f.typeCredentials(QLatin1String(DemoUsers::Due), QStringLiteral("mistyped"));
    f.clickSignIn();
    QCOMPARE(f.form.statusCaption(), WrongLogin);
    f.form.Password_Edit->setText(QLatin1String(DemoUsers::DuePassword));
    f.clickSignIn();
    QVERIFY(!f.form.ChangeMode);
    QCOMPARE(f.form.result(), mrOk);
}

void TestSignInWindow::blockedUserIsToldWhy()
{
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    f.typeCredentials(QLatin1String(DemoUsers::Blocked), QLatin1String(DemoUsers::BlockedPassword));
    f.clickSignIn();
    QVERIFY(DialogSeam::shown().isEmpty());
    QCOMPARE(f.form.statusCaption(), QString::fromUtf8(DemoUsers::BlockedMessage));
    QVERIFY(f.form.isVisible());
    QVERIFY(!Application->ShowMainForm());
    QCOMPARE(f.host.loginId, -1);
    // The bootstrap connection stays open after a refusal; the next attempt closes it.
    QVERIFY(f.dm.ADO_YOT->Connected());
}

void TestSignInWindow::requiredUpdateEndsTheProgram()
{
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    QVERIFY(f.db.administrator()
                ->execute(QStringLiteral("UPDATE srv_config SET value = 'OLM 17' WHERE name = 'current_program'"))
                .ok);
    f.typeCredentials(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword));
    f.clickSignIn();
    const QList<ShownMessage> shown = DialogSeam::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, NoUpdateServerText);
    QCOMPARE(shown.first().caption, QStringLiteral("Уведомление"));
    QCOMPARE(shown.first().type, MB_OK | MB_ICONINFORMATION);
    QVERIFY(shown.first().hasOwner);
    QVERIFY(Application->Terminated());
    QVERIFY(!Application->ShowMainForm());
    QCOMPARE(f.host.loginId, -1);
    // The version label, not the status label, tells what went on.
    QCOMPARE(f.form.Label1->text(), UpdatingText);
    QVERIFY(f.form.statusCaption().isEmpty());
    QCOMPARE(f.setup.platform.downloads(),
             QStringList{QStringLiteral("http://localhost/olmprogs/OLM 16.exe -> ") + f.path(QStringLiteral("tempOLM/OLM 16.exe"))});
    QCOMPARE(fileBytes(f.path(QStringLiteral("tempOLM/OLM 16.exe"))), QByteArray());
    QVERIFY(!QFileInfo::exists(f.path(QStringLiteral("OLM 16.bat"))));
    QVERIFY(f.setup.platform.swaps().isEmpty());
}

void TestSignInWindow::updateTimerEndsTheApplication()
{
    TForm8 form(nullptr);
    form.Timer1->start();
    QTRY_VERIFY(Application->Terminated());
    QCOMPARE(form.Timer1->interval(), 100);
}

void TestSignInWindow::signInPressedAgainWhileLoadingIsIgnored()
{
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    f.typeCredentials(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword));
    // The loading lets pending events run, and the controls stay live meanwhile: the user presses the
    // button and Enter again while the lists load.
    bool pressedWhileLoading = false;
    QTimer::singleShot(0, &f.form, [&] {
        pressedWhileLoading = f.form.ProgressBar->isVisible() && f.form.result() == mrNone;
        QVERIFY(f.form.SpeedButton2->isEnabled());
        QVERIFY(f.form.Password_Edit->isEnabled());
        QTest::mouseClick(f.form.SpeedButton2, Qt::LeftButton);
        QTest::keyClick(f.form.Password_Edit, Qt::Key_Return);
    });
    f.clickSignIn();
    QVERIFY(pressedWhileLoading);
    QVERIFY2(DialogSeam::shown().isEmpty(), qPrintable(DialogSeam::shown().value(0).text));
    QCOMPARE(f.form.AttemptCount, quint8(1));
    QCOMPARE(f.attempts().size(), 1);
    QCOMPARE(f.form.result(), mrOk);
    QVERIFY(f.dm.ADO_YOT->Connected());
    for (TDataSet *list : QList<TDataSet *>{f.dm.ADOQ_t_fio, f.dm.ADOQ_group, f.dm.ADOQ_g_sem, f.dm.ADOQ_Vremennyi})
        QVERIFY2(list->Active(), qPrintable(list->Name()));
    QCOMPARE(f.form.ProgressBar->value(), 14);

    // Once the exchange is over, the button works again.
    DialogSeam::clear();
    f.form.Password_Edit->setText(QStringLiteral("wrong"));
    f.clickSignIn();
    QCOMPARE(f.form.AttemptCount, quint8(2));
    QCOMPARE(f.attempts().size(), 2);
}

void TestSignInWindow::addressComesFromTheWindowsWatcher()
{
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    QCOMPARE(f.form.IdIPWatch1->LocalIP(), QLatin1String(SignInSetup::Address));
    // The machine's address changes after the watcher's last look: the exchange takes the watcher's answer
    // and does not look the address up itself.
    f.setup.platform.setLocalAddress(QStringLiteral("10.0.0.77"));
    const Qt::HANDLE uiThread = QThread::currentThreadId();
    const qsizetype uiLookups = f.setup.platform.localAddressThreads().count(uiThread);
    f.typeCredentials(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword));
    f.clickSignIn();
    QVERIFY2(DialogSeam::shown().isEmpty(), qPrintable(DialogSeam::shown().value(0).text));
    QCOMPARE(f.form.result(), mrOk);
    QCOMPARE(f.setup.platform.localAddressThreads().count(uiThread), uiLookups);
    const QList<QStringList> attempts = f.attempts();
    QCOMPARE(attempts.size(), 1);
    QCOMPARE(attempts.first().value(1), QLatin1String(SignInSetup::Address));
}

void TestSignInWindow::updateScriptBytes()
{
    QCOMPARE(::updateScriptBytes(),
             QByteArray("@ECHO OFF\r\n"
                        "SET OLM_PROG=OLM 16\r\n"
                        "SET OLM_HOME=%CD%\r\n"
                        "SET OLM_TEMP=%OLM_HOME%\\tempOLM\r\n"
                        ":do_del\r\n"
                        "DEL /Q \"%OLM_HOME%\\%OLM_PROG%.exe\"\r\n"
                        "IF EXIST \"%OLM_HOME%\\%OLM_PROG%.exe\" GOTO do_del\r\n"
                        "COPY \"%OLM_TEMP%\\%OLM_PROG%.exe\" \"%OLM_HOME%\\%OLM_PROG%.exe\"\r\n"
                        "RD /S /Q \"%OLM_TEMP%\"\r\n"
                        "\"%OLM_HOME%\\%OLM_PROG%.exe\"\r\n"));
}

void TestSignInWindow::updateServerHostFromTheDataSource_data()
{
    QTest::addColumn<QString>("dataSource");
    QTest::addColumn<QString>("host");
    QTest::newRow("embedded server") << " Embedded " << "localhost";
    QTest::newRow("host") << "dbserver" << "dbserver";
    QTest::newRow("named instance") << "dbserver\\SQLEXPRESS" << "dbserver";
    QTest::newRow("port") << "10.1.2.3,1433" << "10.1.2.3";
    QTest::newRow("instance and port") << "tcp:db.example.org\\OLM,1500" << "db.example.org";
    QTest::newRow("this machine") << "(local)\\SQLEXPRESS" << "localhost";
    QTest::newRow("this machine, short") << "." << "localhost";
}

void TestSignInWindow::updateServerHostFromTheDataSource()
{
    QFETCH(QString, dataSource);
    QFETCH(QString, host);
    QCOMPARE(updateServerHost(dataSource), host);
    QCOMPARE(updateSourceUrl(host).toString(), QStringLiteral("http://") + host + QStringLiteral("/olmprogs/OLM 16.exe"));
}

void TestSignInWindow::updateDownloadsAndStartsTheScript()
{
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    // What an earlier attempt left behind does not stop this one.
    QVERIFY(QDir(f.setup.folder()).mkdir(QStringLiteral("tempOLM")));
    QFile earlier(f.path(QStringLiteral("tempOLM/OLM 16.exe")));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write(QByteArray(5000, 'x'));
    earlier.close();
    const QByteArray program = QByteArray("MZ new program ").repeated(200);
    f.setup.platform.setDownload(200, program);

    f.signInToAnUpdate();
    QVERIFY2(DialogSeam::shown().isEmpty(), qPrintable(DialogSeam::shown().value(0).text));
    QCOMPARE(f.form.Label1->text(), UpdatingText);
    QCOMPARE(fileBytes(f.path(QStringLiteral("tempOLM/OLM 16.exe"))), program);
    QCOMPARE(fileBytes(f.path(QStringLiteral("OLM 16.bat"))), ::updateScriptBytes());
    const QList<olm::platform::ExecutableSwap> swaps = f.setup.platform.swaps();
    QCOMPARE(swaps.size(), 1);
    QCOMPARE(swaps.first().script, f.path(QStringLiteral("OLM 16.bat")));
    QCOMPARE(swaps.first().downloaded, f.path(QStringLiteral("tempOLM/OLM 16.exe")));
    QCOMPARE(swaps.first().tempFolder, f.path(QStringLiteral("tempOLM")));
    QCOMPARE(swaps.first().executable, QCoreApplication::applicationFilePath());
    QCOMPARE(swaps.first().waitForPid, QCoreApplication::applicationPid());

    // The window stays, with its controls, until the timer ends the program two seconds later.
    QVERIFY(f.form.Timer1->isActive());
    QCOMPARE(f.form.Timer1->interval(), 2000);
    QVERIFY(f.form.isVisible());
    QVERIFY(f.form.SpeedButton2->isEnabled());
    QVERIFY(!Application->Terminated());
    QVERIFY(!Application->ShowMainForm());
    QCOMPARE(f.host.loginId, -1);
    QTRY_VERIFY_WITH_TIMEOUT(Application->Terminated(), 5000);
    QCOMPARE(f.form.Timer1->interval(), 100);
}

void TestSignInWindow::updateRefusesWhatIsNotTheProgram_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<qint64>("announced");
    QTest::newRow("not found") << 404 << QByteArray("<html>Not Found</html>") << qint64(-1);
    QTest::newRow("a proxy's error page") << 502 << QByteArray("<html>Bad Gateway</html>") << qint64(-1);
    QTest::newRow("empty body") << 200 << QByteArray() << qint64(-1);
    QTest::newRow("body cut short") << 200 << QByteArray(3000, 'M') << qint64(8000);
}

void TestSignInWindow::updateRefusesWhatIsNotTheProgram()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(qint64, announced);
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    f.setup.platform.setDownload(status, body, announced < 0 ? std::nullopt : std::optional<qint64>(announced));

    f.signInToAnUpdate();
    const QList<ShownMessage> shown = DialogSeam::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, NoUpdateServerText);
    QCOMPARE(shown.first().caption, QStringLiteral("Уведомление"));
    QVERIFY(Application->Terminated());
    // Nothing of the answer stays where the program would be taken from.
    QCOMPARE(fileBytes(f.path(QStringLiteral("tempOLM/OLM 16.exe"))), QByteArray());
    QVERIFY(!QFileInfo::exists(f.path(QStringLiteral("OLM 16.bat"))));
    QVERIFY(f.setup.platform.swaps().isEmpty());
    QVERIFY(!f.form.Timer1->isActive());
}

void TestSignInWindow::updateWriteFailureIsASignInError_data()
{
    QTest::addColumn<QString>("blocked");
    QTest::addColumn<QString>("named");
    // A folder where a file has to go, or a file where the folder has to go.
    QTest::newRow("download folder") << "tempOLM" << "tempOLM/OLM 16.exe";
    QTest::newRow("update script") << "OLM 16.bat/" << "OLM 16.bat";
}

void TestSignInWindow::updateWriteFailureIsASignInError()
{
    QFETCH(QString, blocked);
    QFETCH(QString, named);
    SignedInFixture f;
    QVERIFY2(f.db.isValid(), qPrintable(f.db.error()));
    if (blocked.endsWith(QLatin1Char('/'))) {
        QVERIFY(QDir(f.setup.folder()).mkpath(blocked));
    } else {
        QFile file(f.path(blocked));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    f.setup.platform.setDownload(200, "MZ new program");

    f.signInToAnUpdate();
    const QList<ShownMessage> shown = DialogSeam::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().kind, QStringLiteral("ShowMessage"));
    QVERIFY2(shown.first().text.contains(QDir::toNativeSeparators(f.path(named))), qPrintable(shown.first().text));
    QCOMPARE(f.form.statusCaption(), WrongLogin);
    QVERIFY(!Application->Terminated());
    QVERIFY(f.form.isVisible());
    QVERIFY(!f.form.Timer1->isActive());
    QVERIFY(f.setup.platform.swaps().isEmpty());
    QVERIFY(!f.dm.ADO_YOT->Connected());
}

void TestSignInWindow::startupCancelledShowsNoWindow()
{
    TDM_YOT dm;
    bool mainWindowHidden = false;
    ScopedDialogAnswers answers([&](QDialog *dialog) {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (qobject_cast<TStandInMainWindow *>(window))
                mainWindowHidden = !window->isVisible();
        }
        QTest::mouseClick(static_cast<TForm8 *>(dialog)->SpeedButton1, Qt::LeftButton);
        return dialog->result();
    });
    TStandInMainWindow mainWindow;
    QVERIFY(mainWindowHidden);
    QVERIFY(Application->Terminated());
    QVERIFY(mainWindow.findChildren<TForm8 *>().isEmpty());
    Application->setMainForm(&mainWindow);
    QCOMPARE(Application->Run(), 0);
    QVERIFY(!mainWindow.isVisible());
}

void TestSignInWindow::startupSignedInShowsTheMainWindow()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    SignInSetup setup;
    TDM_YOT dm;
    ScopedDialogAnswers answers([](QDialog *dialog) {
        auto *form = static_cast<TForm8 *>(dialog);
        QTest::keyClicks(form->Login_Edit, QLatin1String(DemoUsers::Editor));
        QTest::keyClicks(form->Password_Edit, QLatin1String(DemoUsers::EditorPassword));
        QTest::keyClick(form->Password_Edit, Qt::Key_Return);
        return dialog->result();
    });
    TStandInMainWindow mainWindow;
    QVERIFY2(answers.shown().isEmpty(), qPrintable(answers.shown().value(0).text));
    QVERIFY(!Application->Terminated());
    QVERIFY(Application->ShowMainForm());
    QCOMPARE(mainWindow.LoginName, QLatin1String(DemoUsers::Editor));
    QVERIFY(mainWindow.LoginId > 0);
    QVERIFY(!mainWindow.isVisible());

    Application->setMainForm(&mainWindow);
    bool shownByTheLoop = false;
    QTimer::singleShot(0, &mainWindow, [&] {
        shownByTheLoop = mainWindow.isVisible();
        Application->Terminate();
    });
    Application->Run();
    QVERIFY(shownByTheLoop);
}

OLM_TEST_MAIN(TestSignInWindow)
#include "tst_signinwindow.moc"
