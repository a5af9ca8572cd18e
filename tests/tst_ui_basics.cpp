// Tests of the toolkit basics: message boxes and modal windows through the seam (and for real),
// termination, the default error display, colours, fonts, key codes, the canvas, window moving and the
// standard-kind buttons.
#include "platform/FakePlatform.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/BitBtn.h"
#include "toolkit/ui/Dialogs.h"
#include "toolkit/ui/Forms.h"
#include "toolkit/ui/Graphics.h"
#include "toolkit/ui/Keys.h"
#include "tests/support/TestMain.h"

#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <memory>
#include <stdexcept>

namespace {

// A one-use window with a "Да" button that ends it with mrYes.
class YesDialog : public QDialog {
public:
    YesDialog()
    {
        yes = new QPushButton(QStringLiteral("Да"), this);
        connect(yes, &QPushButton::clicked, this, [this] { done(mrYes); });
    }
    QPushButton *yes;
};

// Runs check on the first message box that opens, from inside its own loop.
void onNextMessageBox(std::function<void(QMessageBox *)> check)
{
    QTimer::singleShot(0, qApp, [check = std::move(check)] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY2(box, "no message box is open");
        check(box);
    });
}

// Records virtual keys, shift states and characters as a form's key handlers would see them.
class KeyRecorder : public QObject {
public:
    quint16 key = 0;
    TShiftState shift;
    QChar character;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *keyEvent = static_cast<QKeyEvent *>(event);
            key = virtualKeyFromQt(keyEvent);
            shift = shiftFromQt(keyEvent->modifiers());
            character = keyCharFromQt(keyEvent);
        }
        return false;
    }
};

QColor pixel(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

} // namespace

class TestUiBasics : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void messageBoxAnswersAndRecords_data();
    void messageBoxAnswersAndRecords();
    void showMessageAndErrorDialog();
    void scopedAnswersRestoreTheOuterScope();
    void windowTitlesAreTheCaptionsAlone();
    void realMessageBox_data();
    void realMessageBox();

    void handleExceptionShowsMessage_data();
    void handleExceptionShowsMessage();
    void guardedHandlersKeepTheProgramRunning();

    void showModalRunsTheHandler();
    void showModalClosedBySystemIsCancel();
    void terminateEndsAModalLoop();
    void terminateInsideTheHandlerIsCancel();
    void terminatedBeforeShowingIsCancel();
    void runEndsAtOnceWhenTerminated();
    void runShowsTheMainFormOnlyWhenAsked();
    void secondApplicationIsRefused();

    void colorsMap_data();
    void colorsMap();
    void fontHeightAndSize_data();
    void fontHeightAndSize();
    void fontFacesResolve_data();
    void fontFacesResolve();
    void fontAssignKeepsItsListener();

    void keysMap_data();
    void keysMap();
    void keysFromARealEdit();

    void canvasTextRectFillsAndClips();
    void canvasMeasuresWithItsFont();

    void systemMoveFollowsTheMouse();
    void messageBeepReachesThePlatform();

    void standardButtonKinds_data();
    void standardButtonKinds();

private:
    std::unique_ptr<TApplication> m_application;
};

void TestUiBasics::init()
{
    m_application = std::make_unique<TApplication>();
    m_application->setTitle(QStringLiteral("OLM 16 Учет успеваемости"));
}

void TestUiBasics::cleanup()
{
    m_application.reset();
    QCOMPARE(Application, nullptr);
}

void TestUiBasics::messageBoxAnswersAndRecords_data()
{
    QTest::addColumn<unsigned>("type");
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("expected");
    QTest::newRow("OK, nobody chose") << (MB_OK | MB_ICONWARNING) << 0 << IDOK;
    QTest::newRow("yes/no, nobody chose") << (MB_ICONQUESTION | MB_YESNO) << 0 << IDYES;
    QTest::newRow("yes/no answered no") << (MB_ICONQUESTION | MB_YESNO) << IDNO << IDNO;
    QTest::newRow("ok/cancel answered cancel") << MB_OKCANCEL << IDCANCEL << IDCANCEL;
    QTest::newRow("yes/no/cancel, nobody chose") << MB_YESNOCANCEL << 0 << IDYES;
    QTest::newRow("retry/cancel, nobody chose") << MB_RETRYCANCEL << 0 << IDRETRY;
}

void TestUiBasics::messageBoxAnswersAndRecords()
{
    QFETCH(unsigned, type);
    QFETCH(int, preset);
    QFETCH(int, expected);
    ScopedDialogAnswers answers;
    if (preset)
        answers.answer(preset);
    QWidget owner;
    const QString text = QStringLiteral("Delete record(s) - ?\rSecond line");
    QCOMPARE(MessageBoxA(&owner, text, QStringLiteral("Confirm"), type), expected);
    QCOMPARE(MessageBoxA(nullptr, QStringLiteral("again"), QStringLiteral("Confirm"), type),
             DialogSeam::firstButton(type));

    const QList<ShownMessage> shown = answers.shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].kind, QStringLiteral("MessageBoxA"));
    QCOMPARE(shown[0].text, text);
    QCOMPARE(shown[0].caption, QStringLiteral("Confirm"));
    QCOMPARE(shown[0].type, type);
    QVERIFY(shown[0].hasOwner);
    QVERIFY(!shown[1].hasOwner);
}

void TestUiBasics::showMessageAndErrorDialog()
{
    ScopedDialogAnswers answers;
    ShowMessage(QStringLiteral("Сервер обновлений не доступен.\rОбратитесь к администратору."));
    ShowErrorDialog(QStringLiteral("Field 'p36' must have a value"));
    const QList<ShownMessage> shown = answers.shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].kind, QStringLiteral("ShowMessage"));
    QCOMPARE(shown[0].caption, QStringLiteral("OLM 16 Учет успеваемости"));
    QCOMPARE(shown[0].text, QStringLiteral("Сервер обновлений не доступен.\rОбратитесь к администратору."));
    QCOMPARE(shown[0].type, MB_OK);
    QCOMPARE(shown[1].kind, QStringLiteral("Error"));
    QCOMPARE(shown[1].caption, QStringLiteral("Error"));
    QCOMPARE(shown[1].type, MB_OK | MB_ICONERROR);
}

void TestUiBasics::scopedAnswersRestoreTheOuterScope()
{
    ScopedDialogAnswers outer;
    outer.answer(IDNO);
    MessageBoxA(nullptr, QStringLiteral("outer"), QString(), MB_YESNO);
    {
        ScopedDialogAnswers inner([](QDialog *) { return mrOk; });
        inner.answer(IDCANCEL);
        QCOMPARE(MessageBoxA(nullptr, QStringLiteral("inner"), QString(), MB_YESNOCANCEL), IDCANCEL);
        QCOMPARE(inner.shown().size(), 1);
    }
    QVERIFY(!DialogSeam::modalHandler());
    QCOMPARE(outer.shown().size(), 1);
    QCOMPARE(outer.shown().constFirst().text, QStringLiteral("outer"));
    QCOMPARE(MessageBoxA(nullptr, QStringLiteral("outer again"), QString(), MB_YESNO), IDYES);
}

void TestUiBasics::windowTitlesAreTheCaptionsAlone()
{
    // The window system names a window by its title followed by " — " and the application's display name,
    // as soon as a display name has been set. The title of the application is ours alone: the display
    // name is never set, so it still follows the application's name.
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("olm-title-check"));
    const QString displayName = QGuiApplication::applicationDisplayName();
    QCoreApplication::setApplicationName(name);
    QCOMPARE(displayName, QStringLiteral("olm-title-check"));
    QCOMPARE(Application->Title(), QStringLiteral("OLM 16 Учет успеваемости"));

    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("Аутентификация"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowHandle()->title(), QStringLiteral("Аутентификация"));

    DialogSeam::clear();
    QString boxTitle;
    onNextMessageBox([&boxTitle](QMessageBox *box) {
        boxTitle = box->windowHandle() ? box->windowHandle()->title() : QString();
        box->done(QMessageBox::Ok);
    });
    MessageBoxA(&window, QStringLiteral("Поле не заполнено"), QStringLiteral("Warning!"), MB_OK | MB_ICONWARNING);
    QCOMPARE(boxTitle, QStringLiteral("Warning!"));
}

void TestUiBasics::realMessageBox_data()
{
    QTest::addColumn<unsigned>("type");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttonCount");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("click"); // a QMessageBox::StandardButton, or 0 to close the box
    QTest::addColumn<int>("expected");
    QTest::newRow("question, no") << (MB_ICONQUESTION | MB_YESNO) << int(QMessageBox::Question) << 2
                                  << int(QMessageBox::Yes) << int(QMessageBox::No) << IDNO;
    QTest::newRow("question, yes") << (MB_ICONQUESTION | MB_YESNO) << int(QMessageBox::Question) << 2
                                   << int(QMessageBox::Yes) << int(QMessageBox::Yes) << IDYES;
    QTest::newRow("information, closed") << (MB_ICONINFORMATION | MB_OK) << int(QMessageBox::Information) << 1
                                         << int(QMessageBox::Ok) << 0 << IDOK;
    QTest::newRow("warning ok/cancel, closed") << (MB_ICONWARNING | MB_OKCANCEL) << int(QMessageBox::Warning) << 2
                                               << int(QMessageBox::Ok) << 0 << IDCANCEL;
    QTest::newRow("error, second default") << (MB_ICONERROR | MB_YESNOCANCEL | MB_DEFBUTTON2)
                                           << int(QMessageBox::Critical) << 3 << int(QMessageBox::No)
                                           << int(QMessageBox::Cancel) << IDCANCEL;
}

void TestUiBasics::realMessageBox()
{
    QFETCH(unsigned, type);
    QFETCH(int, icon);
    QFETCH(int, buttonCount);
    QFETCH(int, defaultButton);
    QFETCH(int, click);
    QFETCH(int, expected);
    DialogSeam::clear();
    bool checked = false;
    onNextMessageBox([&](QMessageBox *box) {
        QCOMPARE(box->text(), QStringLiteral("first\nsecond\nthird"));
        QCOMPARE(box->windowTitle(), QStringLiteral("Уведомление"));
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(box->buttons().size(), buttonCount);
        QCOMPARE(int(box->standardButton(box->defaultButton())), defaultButton);
        checked = true;
        if (click)
            QTest::mouseClick(box->button(QMessageBox::StandardButton(click)), Qt::LeftButton);
        else
            box->close();
    });
    const int answer = MessageBoxA(nullptr, QStringLiteral("first\rsecond\r\nthird"), QStringLiteral("Уведомление"), type);
    QVERIFY(checked);
    QCOMPARE(answer, expected);
    // Real boxes are recorded too, with the text as given.
    QCOMPARE(DialogSeam::shown().size(), 1);
    QCOMPARE(DialogSeam::shown().constFirst().text, QStringLiteral("first\rsecond\r\nthird"));
    DialogSeam::clear();
}

void TestUiBasics::handleExceptionShowsMessage_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("expected"); // empty: nothing shown
    QTest::newRow("our error") << 0 << QStringLiteral("Неверно ввели логин или пароль.");
    QTest::newRow("database error") << 1 << QStringLiteral("Login failed for user 'x'.");
    QTest::newRow("standard error") << 2 << QStringLiteral("plain failure");
    QTest::newRow("silent abort") << 3 << QString();
}

void TestUiBasics::handleExceptionShowsMessage()
{
    QFETCH(int, kind);
    QFETCH(QString, expected);
    ScopedDialogAnswers answers;
    auto raise = [kind] {
        switch (kind) {
        case 0: throw Exception(QStringLiteral("Неверно ввели логин или пароль."));
        case 1: throw EDatabaseError(QStringLiteral("Login failed for user 'x'."));
        case 2: throw std::runtime_error("plain failure");
        default: Abort();
        }
    };
    try {
        raise();
    } catch (const std::exception &error) {
        Application->HandleException(error);
    }
    if (expected.isEmpty()) {
        QVERIFY(answers.shown().isEmpty());
        return;
    }
    QCOMPARE(answers.shown().size(), 1);
    const ShownMessage shown = answers.shown().constFirst();
    QCOMPARE(shown.text, expected);
    QCOMPARE(shown.caption, QStringLiteral("OLM 16 Учет успеваемости"));
    QCOMPARE(shown.type, MB_OK | MB_ICONERROR);
}

void TestUiBasics::guardedHandlersKeepTheProgramRunning()
{
    ScopedDialogAnswers answers;
    QVERIFY(Application->guarded([] {}));
    QVERIFY(!Application->guarded([] { throw EConvertError(QStringLiteral("'abc' is not a valid integer value")); }));
    QVERIFY(!Application->guarded([] { throw 42; }));
    QCOMPARE(answers.shown().size(), 2);
    QCOMPARE(answers.shown().constFirst().text, QStringLiteral("'abc' is not a valid integer value"));

    // An error thrown by a button's handler is shown, and the button keeps working.
    QPushButton button;
    int clicks = 0;
    connectGuarded(&button, &QPushButton::clicked, &button, [&clicks](bool) {
        ++clicks;
        throw EDatabaseError(QStringLiteral("click %1").arg(clicks));
    });
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicks, 2);
    QCOMPARE(answers.shown().size(), 4);
    QCOMPARE(answers.shown().constLast().text, QStringLiteral("click 2"));
    // A handler without the signal's arguments; an abort stays silent.
    QPushButton silent;
    bool aborted = false;
    connectGuarded(&silent, &QPushButton::clicked, &silent, [&aborted] {
        aborted = true;
        Abort();
    });
    QTest::mouseClick(&silent, Qt::LeftButton);
    QVERIFY(aborted);
    QCOMPARE(answers.shown().size(), 4);
}

void TestUiBasics::showModalRunsTheHandler()
{
    bool wasVisible = false;
    ScopedDialogAnswers answers([&wasVisible](QDialog *dialog) {
        wasVisible = dialog->isVisible() && dialog->isModal();
        auto *yes = dialog->findChild<QPushButton *>();
        QTest::mouseClick(yes, Qt::LeftButton);
        return dialog->result();
    });
    YesDialog dialog;
    QCOMPARE(ShowModal(&dialog), mrYes);
    QVERIFY(wasVisible);
    QVERIFY(!dialog.isVisible());
}

void TestUiBasics::showModalClosedBySystemIsCancel()
{
    // The real loop: closed by the system, and ended by a button.
    YesDialog closed;
    QTimer::singleShot(0, &closed, [&closed] { closed.close(); });
    QCOMPARE(ShowModal(&closed), mrCancel);
    YesDialog answered;
    QTimer::singleShot(0, &answered, [&answered] { QTest::mouseClick(answered.yes, Qt::LeftButton); });
    QCOMPARE(ShowModal(&answered), mrYes);
    // A handler that rejects gets mrCancel too.
    ScopedDialogAnswers answers([](QDialog *dialog) {
        dialog->reject();
        return dialog->result();
    });
    YesDialog rejected;
    QCOMPARE(ShowModal(&rejected), mrCancel);
}

void TestUiBasics::terminateEndsAModalLoop()
{
    YesDialog dialog;
    QTimer::singleShot(0, &dialog, [] { Application->Terminate(); });
    QCOMPARE(ShowModal(&dialog), mrCancel);
    QVERIFY(Application->Terminated());
    QVERIFY(!dialog.isVisible());
}

void TestUiBasics::terminateInsideTheHandlerIsCancel()
{
    ScopedDialogAnswers answers([](QDialog *) {
        Application->Terminate();
        return mrOk;
    });
    YesDialog dialog;
    QCOMPARE(ShowModal(&dialog), mrCancel);
}

void TestUiBasics::terminatedBeforeShowingIsCancel()
{
    int handlerRuns = 0;
    ScopedDialogAnswers answers([&handlerRuns](QDialog *) {
        ++handlerRuns;
        return mrOk;
    });
    Application->Terminate();
    YesDialog dialog;
    QCOMPARE(ShowModal(&dialog), mrCancel);
    QCOMPARE(handlerRuns, 0);
}

void TestUiBasics::runEndsAtOnceWhenTerminated()
{
    QWidget mainForm;
    Application->setMainForm(&mainForm);
    Application->Terminate();
    QCOMPARE(Application->Run(), 0);
    QVERIFY(!mainForm.isVisible());
}

void TestUiBasics::runShowsTheMainFormOnlyWhenAsked()
{
    QWidget mainForm;
    Application->setMainForm(&mainForm);
    Application->setShowMainForm(false);
    bool visibleInLoop = true;
    QTimer::singleShot(0, &mainForm, [&] {
        visibleInLoop = mainForm.isVisible();
        Application->Terminate();
    });
    Application->Run();
    QVERIFY(!visibleInLoop);

    // A fresh one, after the first is gone: termination is for good.
    m_application.reset();
    m_application = std::make_unique<TApplication>();
    QWidget shownForm;
    Application->setMainForm(&shownForm);
    QTimer::singleShot(0, &shownForm, [&] {
        visibleInLoop = shownForm.isVisible();
        Application->Terminate();
    });
    Application->Run();
    QVERIFY(visibleInLoop);
}

void TestUiBasics::secondApplicationIsRefused()
{
    TApplication *first = Application;
    QVERIFY(first);
    QVERIFY_THROWS_EXCEPTION(std::logic_error, TApplication{});
    // The first one keeps the global, its title and its error display.
    QCOMPARE(Application, first);
    QCOMPARE(Application->Title(), QStringLiteral("OLM 16 Учет успеваемости"));
    ScopedDialogAnswers answers;
    QVERIFY(!Application->guarded([] { throw EConvertError(QStringLiteral("still shown")); }));
    QCOMPARE(answers.shown().size(), 1);
    QCOMPARE(answers.shown().constFirst().caption, QStringLiteral("OLM 16 Учет успеваемости"));
}

void TestUiBasics::colorsMap_data()
{
    QTest::addColumn<TColor>("color");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("clRed") << clRed << QColor(0xFF, 0, 0);
    QTest::newRow("clNavy") << clNavy << QColor(0, 0, 0x80);
    QTest::newRow("clGreen") << clGreen << QColor(0, 0x80, 0);
    QTest::newRow("clSilver") << clSilver << QColor(0xC0, 0xC0, 0xC0);
    QTest::newRow("clMoneyGreen") << clMoneyGreen << QColor(0xC0, 0xDC, 0xC0);
    QTest::newRow("focused cell $4F4F4F") << TColor(0x4F4F4F) << QColor(0x4F, 0x4F, 0x4F);
    QTest::newRow("BGR order") << TColor(0x123456) << QColor(0x56, 0x34, 0x12);
    QTest::newRow("clInfoBk") << clInfoBk << QColor(0xFF, 0xFF, 0xE1);
    QTest::newRow("clWindow") << clWindow << QColor(Qt::white);
    QTest::newRow("clWindowText") << clWindowText << QColor(Qt::black);
    QTest::newRow("clBtnFace") << clBtnFace << QColor(0xD4, 0xD0, 0xC8);
    QTest::newRow("clNone") << clNone << QColor(Qt::transparent);
}

void TestUiBasics::colorsMap()
{
    QFETCH(TColor, color);
    QFETCH(QColor, expected);
    QCOMPARE(ColorToQColor(color), expected);
    if ((color & clSystemColor) == 0)
        QCOMPARE(QColorToColor(ColorToQColor(color)), color);
}

void TestUiBasics::fontHeightAndSize_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("height");
    QTest::newRow("8 pt") << 8 << -11;
    QTest::newRow("9 pt") << 9 << -12;
    QTest::newRow("10 pt") << 10 << -13;
    QTest::newRow("12 pt") << 12 << -16;
}

void TestUiBasics::fontHeightAndSize()
{
    QFETCH(int, size);
    QFETCH(int, height);
    TFont font;
    font.setSize(size);
    QCOMPARE(font.Height(), height);
    TFont byHeight;
    byHeight.setHeight(height);
    QCOMPARE(byHeight.Size(), size);
    QCOMPARE(byHeight.toQFont().pixelSize(), -height);
}

void TestUiBasics::fontFacesResolve_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("family");
    QTest::newRow("MS Sans Serif") << "MS Sans Serif" << "DejaVu Sans";
    QTest::newRow("Arial") << "Arial" << "DejaVu Sans";
    QTest::newRow("Courier New") << "Courier New" << "DejaVu Sans Mono";
}

void TestUiBasics::fontFacesResolve()
{
    QFETCH(QString, name);
    QFETCH(QString, family);
    TFont font(name, 10, fsBold);
    const QFont qfont = font.toQFont();
    QCOMPARE(QFontInfo(qfont).family(), family);
    QVERIFY(qfont.bold());
    QCOMPARE(qfont.pixelSize(), 13);
}

void TestUiBasics::fontAssignKeepsItsListener()
{
    TFont target;
    int changes = 0;
    target.OnChange = [&changes] { ++changes; };
    TFont source(QStringLiteral("Arial"), 10, fsBold);
    source.setColor(clNavy);
    source.setCharset(RUSSIAN_CHARSET);
    target = source;
    QCOMPARE(changes, 1);
    QVERIFY(target == source);
    QVERIFY(target.OnChange);
    const TFont copy(target);
    QVERIFY(!copy.OnChange);
    target.setStyle(target.Style() | fsItalic);
    QCOMPARE(changes, 2);
    target.setStyle(target.Style()); // no change, no notice
    QCOMPARE(changes, 2);
}

void TestUiBasics::keysMap_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("scanCode");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("character");
    const int ctrl = int(Qt::ControlModifier);
    const int keypad = int(Qt::KeypadModifier);
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << ctrl << "c" << 0u << 0x43 << int(ssCtrl) << 3;
    QTest::newRow("Ctrl+Shift+C") << int(Qt::Key_C) << (ctrl | int(Qt::ShiftModifier)) << "C" << 0u << 0x43
                                  << int(ssCtrl | ssShift) << 3;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << "" << 0u << 0x2E << 0 << 0;
    QTest::newRow("Ctrl+Delete") << int(Qt::Key_Delete) << ctrl << "" << 0u << 0x2E << int(ssCtrl) << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << "\r" << 0u << 13 << 0 << 13;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << keypad << "" << 0u << 13 << 0 << 13;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << "" << 0u << 8 << 0 << 8;
    QTest::newRow("lower-case a") << int(Qt::Key_A) << 0 << "a" << 0u << 0x41 << 0 << int('a');
    QTest::newRow("Shift+A") << int(Qt::Key_A) << int(Qt::ShiftModifier) << "A" << 0u << 0x41 << int(ssShift)
                             << int('A');
    QTest::newRow("Alt+X") << int(Qt::Key_X) << int(Qt::AltModifier) << "x" << 0u << 0x58 << int(ssAlt) << int('x');
    QTest::newRow("digit 3") << int(Qt::Key_3) << 0 << "3" << 0u << 0x33 << 0 << int('3');
    QTest::newRow("keypad 3") << int(Qt::Key_3) << keypad << "3" << 0u << 0x63 << 0 << int('3');
    QTest::newRow("keypad decimal comma") << int(Qt::Key_Comma) << keypad << "," << 0u << 0x6E << 0 << int(',');
    QTest::newRow("comma") << int(Qt::Key_Comma) << 0 << "," << 0u << 0xBC << 0 << int(',');
    QTest::newRow("F9") << int(Qt::Key_F9) << 0 << "" << 0u << 0x78 << 0 << 0;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << 0 << "" << 0u << 27 << 0 << 27;
    QTest::newRow("Cyrillic ES by layout") << 0x0421 << ctrl << QStringLiteral("с") << 0u << 0x43 << int(ssCtrl) << 3;
    QTest::newRow("Cyrillic lower ef by layout") << 0x0444 << 0 << QStringLiteral("ф") << 0u << 0x41 << 0
                                                 << 0x0444;
    QTest::newRow("Cyrillic ZHE on the semicolon key") << 0x0416 << 0 << QStringLiteral("ж") << 0u << 0xBA << 0
                                                       << 0x0436;
    QTest::newRow("Cyrillic by scan code") << 0x0424 << ctrl << QStringLiteral("ф") << 24u << 0x51 << int(ssCtrl)
                                           << 17;
    QTest::newRow("Greek without layout") << 0x03A9 << 0 << QStringLiteral("ω") << 0u << 0 << 0 << 0x03C9;
}

void TestUiBasics::keysMap()
{
    QFETCH(int, qtKey);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(quint32, scanCode);
    QFETCH(int, key);
    QFETCH(int, shift);
    QFETCH(int, character);
    const QKeyEvent event(QEvent::KeyPress, qtKey, Qt::KeyboardModifiers(modifiers), scanCode, 0, 0, text);
#ifdef Q_OS_WIN
    if (scanCode)
        QSKIP("scan codes are the window system's own here");
#endif
    QCOMPARE(int(virtualKeyFromQt(&event)), key);
    QCOMPARE(int(shiftFromQt(event.modifiers()).toInt()), shift);
    QCOMPARE(int(keyCharFromQt(&event).unicode()), character);
}

void TestUiBasics::keysFromARealEdit()
{
    QLineEdit edit;
    KeyRecorder recorder;
    edit.installEventFilter(&recorder);
    edit.show();
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(int(recorder.key), 0x43);
    QVERIFY(recorder.shift.testFlag(ssCtrl));
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(int(recorder.key), int(VK_RETURN));
    QCOMPARE(recorder.character, QChar(u'\r'));
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(int(recorder.key), int(VK_DELETE));
    QCOMPARE(shiftFromQt(Qt::NoModifier, Qt::LeftButton | Qt::RightButton), TShiftState(ssLeft | ssRight));
}

void TestUiBasics::canvasTextRectFillsAndClips()
{
    QImage image(80, 24, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TCanvas canvas(&painter);
        canvas.Brush.Color = clRed;
        canvas.Font.setColor(clBlack);
        canvas.Font.setHeight(-11);
        // The text runs far past the rectangle's right edge at x 39.
        canvas.TextRect(QRect(10, 2, 30, 18), 14, 6, QStringLiteral("WWWWWWWWWWWW"));
    }
    QCOMPARE(pixel(image, 9, 10), QColor(Qt::white));
    QCOMPARE(pixel(image, 10, 2), QColor(Qt::red));
    QCOMPARE(pixel(image, 12, 10), QColor(Qt::red)); // left of the text
    QCOMPARE(pixel(image, 39, 19), QColor(Qt::red));
    for (int x = 40; x < 80; ++x) {
        for (int y = 0; y < 24; ++y)
            QVERIFY2(pixel(image, x, y) == QColor(Qt::white), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    }
    int inkTop = 24;
    int inkPixels = 0;
    for (int x = 10; x < 40; ++x) {
        for (int y = 2; y < 20; ++y) {
            if (pixel(image, x, y).red() < 128) {
                ++inkPixels;
                inkTop = qMin(inkTop, y);
            }
        }
    }
    QVERIFY(inkPixels > 20);
    // y is the top of the text, not its baseline.
    QVERIFY2(inkTop >= 6 && inkTop <= 9, qPrintable(QString::number(inkTop)));
}

void TestUiBasics::canvasMeasuresWithItsFont()
{
    TCanvas canvas;
    canvas.Font.setHeight(-11);
    QCOMPARE(canvas.TextWidth(QString()), 0);
    const QFontMetrics metrics(canvas.Font.toQFont());
    QCOMPARE(canvas.TextWidth(QStringLiteral("Оценка")), metrics.horizontalAdvance(QStringLiteral("Оценка")));
    QCOMPARE(canvas.TextHeight(QStringLiteral("Оценка")), metrics.height());
    const int small = canvas.TextWidth(QStringLiteral("Дисциплина"));
    canvas.Font.setHeight(-16);
    QVERIFY(canvas.TextWidth(QStringLiteral("Дисциплина")) > small);
    QVERIFY(canvas.TextHeight(QStringLiteral("x")) > metrics.height());
}

void TestUiBasics::systemMoveFollowsTheMouse()
{
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.resize(200, 100);
    window.move(100, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(10, 10));
    StartSystemMove(&window, window.mapToGlobal(QPoint(10, 10)));
    QVERIFY(SystemMoveInProgress());
    QTest::mouseMove(&window, QPoint(30, 25));
    QCOMPARE(window.pos(), start + QPoint(20, 15));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!SystemMoveInProgress());
    const QPoint after = window.pos();
    QTest::mousePress(&window, Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseMove(&window, QPoint(50, 50));
    QTest::mouseRelease(&window, Qt::RightButton, {}, QPoint(50, 50));
    QCOMPARE(window.pos(), after);
}

void TestUiBasics::messageBeepReachesThePlatform()
{
    olm::platform::FakePlatform fake;
    const olm::platform::ScopedPlatform scope(fake);
    MessageBeep(MB_ICONEXCLAMATION);
    QCOMPARE(fake.beeps(), QList<unsigned>{0x30});
}

void TestUiBasics::standardButtonKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("clicks");
    QTest::newRow("OK takes Enter") << int(bkOK) << int(Qt::Key_Return) << mrOk << 1;
    QTest::newRow("Yes takes Enter") << int(bkYes) << int(Qt::Key_Return) << mrYes << 1;
    QTest::newRow("Cancel takes Escape") << int(bkCancel) << int(Qt::Key_Escape) << mrCancel << 1;
    // Neither default nor cancel: the window's own Escape ends it, the button is not pressed.
    QTest::newRow("No takes neither") << int(bkNo) << int(Qt::Key_Escape) << mrCancel << 0;
}

void TestUiBasics::standardButtonKinds()
{
    QFETCH(int, kind);
    QFETCH(int, key);
    QFETCH(int, result);
    QFETCH(int, clicks);
    QDialog dialog;
    auto *edit = new QLineEdit(&dialog);
    auto *button = new TBitBtn(&dialog);
    button->setKind(TBitBtnKind(kind));
    QCOMPARE(button->Kind(), TBitBtnKind(kind));
    QCOMPARE(button->Default(), kind == bkOK || kind == bkYes);
    QCOMPARE(button->Cancel(), kind == bkCancel);
    QCOMPARE(button->ModalResult(), kind == bkOK ? mrOk : kind == bkYes ? mrYes : kind == bkNo ? mrNo : mrCancel);
    QVERIFY(!button->icon().isNull());
    int clicked = 0;
    QObject::connect(button, &QPushButton::clicked, &dialog, [&clicked] { ++clicked; });
    ScopedDialogAnswers answers([edit, key](QDialog *shown) {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key(key));
        return shown->result();
    });
    QCOMPARE(ShowModal(&dialog), result);
    QCOMPARE(clicked, clicks);

    // A click ends the window with the kind's result; a custom button leaves it open.
    ScopedDialogAnswers click([button](QDialog *shown) {
        shown->setResult(mrNone);
        QTest::mouseClick(button, Qt::LeftButton);
        const int ended = shown->result();
        if (shown->isVisible())
            shown->done(mrAbort);
        return ended == mrNone ? mrAbort : ended;
    });
    QCOMPARE(ShowModal(&dialog), button->ModalResult());
    button->setKind(bkCustom);
    QVERIFY(button->icon().isNull());
    QCOMPARE(ShowModal(&dialog), mrAbort);
}

OLM_TEST_MAIN(TestUiBasics)
#include "tst_ui_basics.moc"
