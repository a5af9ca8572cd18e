// Message boxes and modal windows through the seam: recorded, answered by a test, or shown for real.
#include "toolkit/ui/Dialogs.h"

#include "platform/Platform.h"
#include "toolkit/ui/Application.h"

#include <QDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>

namespace {

// The seam's state; used from the user-interface thread only.
struct SeamState {
    DialogSeam::Responder responder;
    DialogSeam::ModalHandler modalHandler;
    QList<ShownMessage> shown;
    QList<int> answers;
};

SeamState &seam()
{
    static SeamState state;
    return state;
}

struct BoxButton {
    QMessageBox::StandardButton button;
    int id;
};

QList<BoxButton> buttonsOf(unsigned type)
{
    switch (type & MB_BUTTONMASK) {
    case MB_OKCANCEL: return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL: return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default: return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon iconOf(unsigned type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// What closing the box without a choice answers.
int escapeAnswer(unsigned type)
{
    switch (type & MB_BUTTONMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL: return IDCANCEL;
    case MB_YESNO: return IDNO;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    default: return IDOK;
    }
}

int showRealBox(QWidget *owner, const ShownMessage &message)
{
    QMessageBox box(iconOf(message.type), message.caption, displayText(message.text), QMessageBox::NoButton, owner);
    const QList<BoxButton> buttons = buttonsOf(message.type);
    for (const BoxButton &button : buttons)
        box.addButton(button.button);
    const qsizetype defaultIndex = qMin<qsizetype>((message.type & MB_DEFMASK) >> 8, buttons.size() - 1);
    box.setDefaultButton(buttons[defaultIndex].button);
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const BoxButton &button : buttons) {
        if (button.button == clicked)
            return button.id;
    }
    return escapeAnswer(message.type);
}

QString applicationTitle()
{
    return Application ? Application->Title() : QGuiApplication::applicationDisplayName();
}

} // namespace

void DialogSeam::setResponder(Responder responder)
{
    seam().responder = std::move(responder);
}

DialogSeam::Responder DialogSeam::responder()
{
    return seam().responder;
}

void DialogSeam::pushAnswer(int answer)
{
    seam().answers.append(answer);
}

QList<ShownMessage> DialogSeam::shown()
{
    return seam().shown;
}

void DialogSeam::clear()
{
    seam().shown.clear();
    seam().answers.clear();
}

void DialogSeam::setModalHandler(ModalHandler handler)
{
    seam().modalHandler = std::move(handler);
}

DialogSeam::ModalHandler DialogSeam::modalHandler()
{
    return seam().modalHandler;
}

int DialogSeam::firstButton(unsigned type)
{
    return buttonsOf(type).front().id;
}

int DialogSeam::present(const ShownMessage &message, bool *answered)
{
    SeamState &state = seam();
    state.shown.append(message);
    *answered = true;
    if (!state.answers.isEmpty())
        return state.answers.takeFirst();
    if (state.responder)
        return state.responder(message);
    *answered = false;
    return 0;
}

ScopedDialogAnswers::ScopedDialogAnswers()
    : m_previousResponder(DialogSeam::responder()), m_previousModal(DialogSeam::modalHandler()),
      m_previousShown(DialogSeam::shown())
{
    DialogSeam::clear();
    DialogSeam::setResponder([](const ShownMessage &message) { return DialogSeam::firstButton(message.type); });
}

ScopedDialogAnswers::ScopedDialogAnswers(DialogSeam::ModalHandler modalHandler) : ScopedDialogAnswers()
{
    DialogSeam::setModalHandler(std::move(modalHandler));
}

ScopedDialogAnswers::~ScopedDialogAnswers()
{
    DialogSeam::clear();
    seam().shown = m_previousShown;
    DialogSeam::setResponder(std::move(m_previousResponder));
    DialogSeam::setModalHandler(std::move(m_previousModal));
}

ScopedDialogAnswers &ScopedDialogAnswers::answer(int id)
{
    DialogSeam::pushAnswer(id);
    return *this;
}

int ShowBox(const ShownMessage &message, QWidget *owner)
{
    bool answered = false;
    const int answer = DialogSeam::present(message, &answered);
    return answered ? answer : showRealBox(owner, message);
}

int MessageBoxA(QWidget *owner, const QString &text, const QString &caption, unsigned type)
{
    return ShowBox({QStringLiteral("MessageBoxA"), text, caption, type, owner != nullptr}, owner);
}

void ShowMessage(const QString &text)
{
    ShowBox({QStringLiteral("ShowMessage"), text, applicationTitle(), MB_OK, false});
}

void ShowErrorDialog(const QString &text)
{
    ShowBox({QStringLiteral("Error"), text, QStringLiteral("Error"), MB_OK | MB_ICONERROR, false});
}

void MessageBeep(unsigned type)
{
    olm::platform::Platform::current().messageBeep(type);
}

int ShowModal(QDialog *dialog)
{
    if (Application && Application->Terminated())
        return mrCancel;

    bool terminated = false;
    QMetaObject::Connection onTerminate;
    if (Application) {
        onTerminate = QObject::connect(Application, &TApplication::terminateRequested, dialog, [&terminated, dialog] {
            terminated = true;
            dialog->done(mrCancel);
        });
    }
    const auto disconnect = qScopeGuard([&onTerminate] { QObject::disconnect(onTerminate); });

    int result = mrNone;
    if (const DialogSeam::ModalHandler handler = DialogSeam::modalHandler()) {
        QPointer<QDialog> alive(dialog);
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
        result = handler(dialog);
        if (alive && alive->isVisible())
            alive->hide();
    } else {
        result = dialog->exec();
    }
    // A window closed by the system ends with QDialog::Rejected, which is no modal result.
    if (terminated || result == mrNone)
        return mrCancel;
    return result;
}

QString displayText(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}
