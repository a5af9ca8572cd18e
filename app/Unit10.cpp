// The sign-in window: layout over the drawn pictures, key filters, dragging by the pictures, the
// password-change area and the step-by-step loading of the lists.
#include "app/Unit10.h"

#include "app/SelfUpdate.h"
#include "app/SignInHost.h"
#include "app/SignInPictures.h"
#include "data/Unit1.h"
#include "platform/IdIPWatch.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/Dialogs.h"
#include "toolkit/ui/Forms.h"

#include <QFile>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr int FormWidth = 497;
constexpr int ClosedHeight = 273;
constexpr int OpenHeight = 416;
constexpr int ClosedAgainHeight = 275;

const QRect Image1Rect(0, 0, 497, 278);
const QRect Image2Rect(0, 277, 497, 139);
const QPoint Label1Pos(6, 5);
const QRect StatusRect(60, 107, 329, 78);
const QRect ProgressRect(146, 120, 187, 6);
const QRect LoginRect(146, 202, 187, 21);
const QRect PasswordRect(146, 238, 187, 21);
const QRect SignInButtonRect(349, 200, 55, 20);
const QRect ExitButtonRect(418, 199, 67, 22);
const QRect ChangeButtonRect(346, 236, 139, 22);
const QRect NewPasswordRect(148, 309, 186, 21);
const QRect ConfirmationRect(148, 345, 186, 21);

constexpr int ProgressMaximum = 14;

// An edit that can keep its text unselected when focus arrives by Tab.
class SignInEdit : public QLineEdit {
public:
    SignInEdit(QWidget *parent, bool autoSelect) : QLineEdit(parent), m_autoSelect(autoSelect) {}

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QLineEdit::focusInEvent(event);
        if (!m_autoSelect && hasSelectedText())
            deselect();
    }

private:
    bool m_autoSelect;
};

// Sign-in without a main window to tell (a window under test, for one).
class NoHost : public TSignInHost {
public:
    void setLoginName(const QString &) override {}
    void setLoginId(int) override {}
};

NoHost noHost;

QLineEdit *makeEdit(QWidget *parent, const QRect &rect, bool password, bool autoSelect)
{
    auto *edit = new SignInEdit(parent, autoSelect);
    edit->setGeometry(rect);
    edit->setFrame(false);
    // White, and "*" for every hidden character whatever the style would use.
    edit->setStyleSheet(QStringLiteral("QLineEdit { border: none; background: white; color: black;"
                                       " lineedit-password-character: 42; }"));
    if (password)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QToolButton *makeSpeedButton(QWidget *parent, const QRect &rect)
{
    auto *button = new QToolButton(parent);
    button->setGeometry(rect);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    // The picture under the button is its face: the button itself only lights up or dims it.
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"
                                         " QToolButton:hover { background: rgba(255, 255, 255, 60); }"
                                         " QToolButton:pressed { background: rgba(0, 0, 0, 60); }"
                                         " QToolButton:disabled { background: rgba(235, 235, 235, 170); }"));
    return button;
}

void processMessages()
{
    if (Application)
        Application->ProcessMessages();
}

} // namespace

TForm8::TForm8(TSignInHost *host, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_host(host ? host : &noHost), m_barColor(clHighlight)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Аутентификация"));
    TFont formFont;
    formFont.setHeight(-11);
    setFont(formFont.toQFont());
    setFixedSize(FormWidth, ClosedHeight);
    createControls();
    nameControls();
    wireEvents();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(FormWidth / 2, ClosedHeight / 2));
    FormCreate();
}

TForm8::~TForm8() = default;

void TForm8::createControls()
{
    Image1 = new QLabel(this);
    Image1->setGeometry(Image1Rect);
    Image1->setPixmap(drawSignInPicture({Image1Rect.size(), StatusRect, LoginRect, PasswordRect, SignInButtonRect,
                                         ExitButtonRect, ChangeButtonRect}));
    Image1->setScaledContents(true);

    Image2 = new QLabel(this);
    Image2->setGeometry(Image2Rect);
    const QPoint change = Image2Rect.topLeft();
    Image2->setPixmap(drawChangePicture(
        {Image2Rect.size(), NewPasswordRect.translated(-change), ConfirmationRect.translated(-change)}));
    Image2->setScaledContents(true);

    Label1 = new QLabel(this);
    Label1->move(Label1Pos);
    TFont versionFont(QStringLiteral("MS Sans Serif"), 8, fsBold);
    versionFont.setHeight(-13);
    Label1->setFont(versionFont.toQFont());

    RzLabel1 = new QLabel(this);
    RzLabel1->setGeometry(StatusRect);
    RzLabel1->setAlignment(Qt::AlignCenter);
    RzLabel1->setWordWrap(true);
    TFont statusFont(QStringLiteral("Arial"), 8, fsBold);
    statusFont.setHeight(-13);
    statusFont.setColor(clBlack);
    statusFont.setCharset(RUSSIAN_CHARSET);
    RzLabel1->setFont(statusFont.toQFont());
    QPalette statusPalette = RzLabel1->palette();
    statusPalette.setColor(QPalette::WindowText, ColorToQColor(clBlack));
    RzLabel1->setPalette(statusPalette);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setGeometry(ProgressRect);
    ProgressBar->setRange(0, ProgressMaximum);
    ProgressBar->setTextVisible(false);
    ProgressBar->setVisible(false);

    Login_Edit = makeEdit(this, LoginRect, false, false);
    Password_Edit = makeEdit(this, PasswordRect, true, true);
    SpeedButton2 = makeSpeedButton(this, SignInButtonRect);
    SpeedButton1 = makeSpeedButton(this, ExitButtonRect);
    SpeedButton3 = makeSpeedButton(this, ChangeButtonRect);
    Edit1 = makeEdit(this, NewPasswordRect, true, false);
    Edit2 = makeEdit(this, ConfirmationRect, true, true);
    setTabOrder(Login_Edit, Password_Edit);
    setTabOrder(Password_Edit, Edit1);
    setTabOrder(Edit1, Edit2);

    IdIPWatch1 = new TIdIPWatch(this);
    IdIPWatch1->setHistoryEnabled(false);
    IdIPWatch1->setHistoryFilename(QStringLiteral("iphist.dat"));
    IdIPWatch1->setActive(true);

    Timer1 = new QTimer(this);
    Timer1->setInterval(2000);
}

void TForm8::nameControls()
{
    // Components keep their form names, so they can be found as on the form.
    const QList<std::pair<QObject *, const char *>> names{
        {Image1, "Image1"},           {Image2, "Image2"},           {Label1, "Label1"},
        {RzLabel1, "RzLabel1"},       {ProgressBar, "ProgressBar"}, {Login_Edit, "Login_Edit"},
        {Password_Edit, "Password_Edit"}, {Edit1, "Edit1"},         {Edit2, "Edit2"},
        {SpeedButton2, "SpeedButton2"}, {SpeedButton1, "SpeedButton1"}, {SpeedButton3, "SpeedButton3"},
        {IdIPWatch1, "IdIPWatch1"},   {Timer1, "Timer1"}};
    for (const auto &[component, name] : names)
        component->setObjectName(QLatin1String(name));
}

void TForm8::wireEvents()
{
    for (QObject *edit : {Login_Edit, Password_Edit, Edit1, Edit2})
        edit->installEventFilter(this);
    for (QObject *picture : {Image1, Image2, RzLabel1})
        picture->installEventFilter(this);
    connectGuarded(SpeedButton1, &QToolButton::clicked, this, [this](auto &&...) { SpeedButton1Click(); });
    connectGuarded(SpeedButton2, &QToolButton::clicked, this, [this](auto &&...) { SpeedButton2Click(); });
    connectGuarded(SpeedButton3, &QToolButton::clicked, this, [this](auto &&...) { SpeedButton3Click(); });
    connectGuarded(Timer1, &QTimer::timeout, this, [this](auto &&...) { Timer1Timer(); });
}

void TForm8::FormCreate()
{
    // The update script of an earlier run has done its work by now; a failed removal is harmless.
    QFile::remove(updateScriptPath());
    Label1->setText(QStringLiteral("V.") + QString::number(2));
    Label1->adjustSize();
    AttemptCount = 0;
    ChangeMode = false;
    followChangeMode();
    // Double buffering needs no switch: every window is painted off screen first.
}

bool TForm8::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress
        && (watched == Login_Edit || watched == Password_Edit || watched == Edit1 || watched == Edit2))
        return filterKey(watched, static_cast<QKeyEvent *>(event));
    if (event->type() == QEvent::MouseButtonPress && (watched == Image1 || watched == Image2 || watched == RzLabel1)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        Image1MouseDown(watched, mouseButtonFromQt(mouse->button()), shiftFromQt(mouse->modifiers(), mouse->buttons()),
                        at.x(), at.y());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// A key goes first to the key-down filter, then, as a typed character, to the edit's key-press filter;
// either can swallow it.
bool TForm8::filterKey(QObject *edit, QKeyEvent *event)
{
    bool swallowed = false;
    if (quint16 key = virtualKeyFromQt(event); key != 0) {
        EditAllKeyDown(edit, key, shiftFromQt(event->modifiers()));
        swallowed = key == 0;
    }
    QChar typed = keyCharFromQt(event);
    // Tab moves between the edits before any edit sees it as a character.
    if (typed.isNull() || typed == QLatin1Char('\t'))
        return swallowed;
    if (edit == Login_Edit)
        Edit_serverKeyPress(edit, typed);
    else if (edit == Password_Edit)
        EditAllNoBeep(edit, typed);
    else
        Edit1KeyPress(edit, typed);
    return swallowed || typed.isNull();
}

void TForm8::keyPressEvent(QKeyEvent *event)
{
    // No button of the window answers Escape, so it does not close the window either.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm8::EditAllKeyDown(QObject *Sender, quint16 &Key, TShiftState Shift)
{
    Q_UNUSED(Sender);
    Q_UNUSED(Shift);
    if (Key == VK_RETURN) {
        if (Application)
            Application->guarded([this] { SpeedButton2Click(); });
        else
            SpeedButton2Click();
        Key = 0;
    }
}

void TForm8::Edit_serverKeyPress(QObject *Sender, QChar &Key)
{
    Q_UNUSED(Sender);
    if (Key == QLatin1Char('\r'))
        Key = QChar();
}

void TForm8::EditAllNoBeep(QObject *Sender, QChar &Key)
{
    Q_UNUSED(Sender);
    if (Key == QLatin1Char('\r') && focusWidget() == Password_Edit)
        Key = QChar();
}

void TForm8::Edit1KeyPress(QObject *Sender, QChar &Key)
{
    Q_UNUSED(Sender);
    const char16_t c = Key.unicode();
    const bool allowed = c == u'\b' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z')
        || (c >= u'a' && c <= u'z') || c == u'_';
    if (!allowed)
        Key = QChar();
}

void TForm8::SpeedButton1Click()
{
    if (Application)
        Application->Terminate();
}

void TForm8::SpeedButton2Click()
{
    // The list loading and the update let pending events run while the button and Enter stay live; a
    // second request then would close the connection under the exchange that is still running.
    if (m_signingIn)
        return;
    const QScopedValueRollback inProgress(m_signingIn, true);
    ++AttemptCount;
    bool signedIn = false;
    if (!ChangeMode) {
        signedIn = SignIn(DM_YOT->ADO_YOT, QStringLiteral("NULL"));
    } else if (Edit1->text() != Edit2->text()) {
        Edit1->clear();
        Edit2->clear();
        setStatusText(QStringLiteral("Новый пароль подтвержден не верно!!!") + QLatin1Char('\r')
                      + QStringLiteral("Подтвердите пароль заново."));
        return;
    } else {
        signedIn = SignIn(DM_YOT->ADO_YOT, Edit1->text());
    }
    if (!signedIn)
        return;
    {
        TADOQuery dateFormat;
        dateFormat.setConnection(DM_YOT->ADO_YOT);
        dateFormat.setSQLText(QStringLiteral("SET DATEFORMAT dmy"));
        dateFormat.ExecSQL();
    }
    done(mrOk);
}

void TForm8::SpeedButton3Click()
{
    // The form sizes itself no more: the height alone says whether the change area shows.
    ChangeMode = !ChangeMode;
    setFixedHeight(ChangeMode ? OpenHeight : ClosedAgainHeight);
    followChangeMode();
}

void TForm8::followChangeMode()
{
    // The new-password edits lie below the window's edge while the area is closed: Tab must not carry
    // the typing into fields nobody can see.
    for (QLineEdit *edit : {Edit1, Edit2})
        edit->setFocusPolicy(ChangeMode ? Qt::StrongFocus : Qt::NoFocus);
    if (!ChangeMode && (focusWidget() == Edit1 || focusWidget() == Edit2))
        Password_Edit->setFocus(Qt::OtherFocusReason);
}

void TForm8::Image1MouseDown(QObject *Sender, TMouseButton Button, TShiftState Shift, int X, int Y)
{
    Q_UNUSED(Shift);
    if (Button != mbLeft)
        return;
    const auto *control = qobject_cast<QWidget *>(Sender);
    StartSystemMove(this, control ? control->mapToGlobal(QPoint(X, Y)) : mapToGlobal(QPoint(X, Y)));
}

void TForm8::Timer1Timer()
{
    if (Timer1->interval() == 2000)
        Timer1->setInterval(100);
    if (Application)
        Application->Terminate();
}

bool TForm8::SignIn(TADOConnection *Connection, const QString &NewPassword)
{
    return ::SignIn(Connection, NewPassword, *this, *this);
}

void TForm8::advance()
{
    ProgressBar->setValue(qMin(ProgressBar->value() + 1, ProgressBar->maximum()));
    processMessages();
}

void TForm8::setBarColor(TColor color)
{
    m_barColor = color;
    QPalette bar = ProgressBar->palette();
    bar.setColor(QPalette::Highlight, ColorToQColor(color));
    ProgressBar->setPalette(bar);
}

void TForm8::LoadLists()
{
    TDM_YOT &dm = *DM_YOT;
    ProgressBar->setVisible(true);
    ProgressBar->setValue(0);
    processMessages();
    if (!dm.ADO_YOT->Connected())
        dm.ADO_YOT->Open();
    advance();
    advance();
    dm.ADOQ_t_fio->Open();
    advance();
    dm.ADOQ_s_fio->Open();
    advance();
    dm.ADOQ_estimation->Open();
    advance();
    dm.ADOTSemestr->Open();
    advance();
    dm.ADOQ_Year->Open();
    advance();
    advance();
    dm.ADOQ_f_est->Open();
    advance();
    dm.ADOT_Examination->Open();
    advance();
    dm.ADOQ_group->setSQLText(QStringLiteral("SELECT  id_group, p20 FROM group_form where o_z = 1 AND  id_login = ")
                              + QString::number(m_loginId) + QStringLiteral(" GROUP BY id_group, p20"));
    dm.ADOQ_group->Open();
    advance();
    dm.ADOQ_g_sem->Open();
    ProgressBar->setValue(qMin(ProgressBar->value() + 1, ProgressBar->maximum()));
    setBarColor(clRed);
    processMessages();
    dm.ADOQEduc_sh->Open();
    advance();
    dm.ADOQuery1->Open();
    advance();
    advance();
    dm.ADOQ_Vremennyi->Open();
    advance();
}

QString TForm8::loginText() const
{
    return Login_Edit->text();
}

QString TForm8::passwordText() const
{
    return Password_Edit->text();
}

QString TForm8::localAddress()
{
    return IdIPWatch1->LocalIP();
}

void TForm8::setStatusText(const QString &text)
{
    // A label breaks lines at "\n" only; the caption keeps the carriage returns it was given.
    m_statusCaption = text;
    RzLabel1->setText(displayText(text));
}

void TForm8::disableChangeToggle()
{
    SpeedButton3->setEnabled(false);
}

void TForm8::setLoginName(const QString &name)
{
    m_host->setLoginName(name);
}

void TForm8::setLoginId(int id)
{
    m_loginId = id;
    m_host->setLoginId(id);
}

void TForm8::runSelfUpdate(const QString &dataSource)
{
    RunSelfUpdate({this, Label1, Timer1}, dataSource);
}
