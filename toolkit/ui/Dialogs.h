// Message boxes and modal windows. Every one of them passes the DialogSeam, so a test can answer a box
// or script a modal window and read back what the user would have seen.
// The MB_/ID names are the system's own: do not include <windows.h> in the same file.
#pragma once

#include <QList>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

// Buttons of MessageBoxA (low four bits of type).
inline constexpr unsigned MB_OK = 0x00;
inline constexpr unsigned MB_OKCANCEL = 0x01;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x02;
inline constexpr unsigned MB_YESNOCANCEL = 0x03;
inline constexpr unsigned MB_YESNO = 0x04;
inline constexpr unsigned MB_RETRYCANCEL = 0x05;
// Icons (bits 4 to 7 of type).
inline constexpr unsigned MB_ICONHAND = 0x10;
inline constexpr unsigned MB_ICONERROR = MB_ICONHAND;
inline constexpr unsigned MB_ICONSTOP = MB_ICONHAND;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr unsigned MB_ICONASTERISK = 0x40;
inline constexpr unsigned MB_ICONINFORMATION = MB_ICONASTERISK;
// Which button is the default (bits 8 to 11 of type).
inline constexpr unsigned MB_DEFBUTTON1 = 0x000;
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;
inline constexpr unsigned MB_DEFBUTTON3 = 0x200;

inline constexpr unsigned MB_BUTTONMASK = 0x0F;
inline constexpr unsigned MB_ICONMASK = 0xF0;
inline constexpr unsigned MB_DEFMASK = 0xF00;

// Answers of MessageBoxA.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

/// What a message box showed, as the seam records it.
struct ShownMessage {
    /// "MessageBoxA", "ShowMessage" or "Error" (ShowErrorDialog and the application's default error
    /// display; they differ by caption).
    QString kind;
    /// The text as given, line breaks still single carriage returns.
    QString text;
    QString caption;
    /// MB_ buttons | icon | default-button flags.
    unsigned type = MB_OK;
    /// Whether an owner window was given.
    bool hasOwner = false;
};

/// The one road of every message box and modal window. With nothing installed, real boxes and real
/// modal loops run.
class DialogSeam {
public:
    using Responder = std::function<int(const ShownMessage &)>;
    using ModalHandler = std::function<int(QDialog *)>;

    /// Answers boxes instead of showing them (null: show real boxes). Queued answers come first.
    static void setResponder(Responder responder);
    static Responder responder();
    /// Queues the answer of the next box (IDYES, IDNO...); used before the responder.
    static void pushAnswer(int answer);
    /// Every box shown (or answered) since the last clear(), oldest first.
    static QList<ShownMessage> shown();
    /// Forgets the recorded boxes and the queued answers.
    static void clear();

    /// Runs handler on each modal window instead of its own loop (null: real loop). The window is
    /// visible while the handler runs; the handler's return value is the modal result.
    static void setModalHandler(ModalHandler handler);
    static ModalHandler modalHandler();

    /// The answer a box gets when nobody chose: its first button (IDOK, IDYES, IDABORT, IDRETRY).
    static int firstButton(unsigned type);

    /// Records a box and returns the queued or responder's answer; false in *answered means the
    /// caller shows the real box. For the toolkit's own boxes.
    static int present(const ShownMessage &message, bool *answered);
};

/// For tests: records every box and answers it from pushAnswer's queue, else with its first button;
/// the previous responder, modal handler and records come back on destruction.
class ScopedDialogAnswers {
public:
    ScopedDialogAnswers();
    /// Also installs a modal handler for the scope.
    explicit ScopedDialogAnswers(DialogSeam::ModalHandler modalHandler);
    ~ScopedDialogAnswers();
    ScopedDialogAnswers(const ScopedDialogAnswers &) = delete;
    ScopedDialogAnswers &operator=(const ScopedDialogAnswers &) = delete;

    /// Queues answers, in order.
    ScopedDialogAnswers &answer(int id);
    QList<ShownMessage> shown() const { return DialogSeam::shown(); }

private:
    DialogSeam::Responder m_previousResponder;
    DialogSeam::ModalHandler m_previousModal;
    QList<ShownMessage> m_previousShown;
};

/// Any box of the toolkit: through the seam, else a real box over owner. Returns the answer (IDOK...).
int ShowBox(const ShownMessage &message, QWidget *owner = nullptr);
/// A box with text, caption, buttons and icon as in type; returns IDOK, IDCANCEL, IDYES, IDNO...
/// A single "\r" in text is a line break. Closing a box without choosing gives IDCANCEL when it has
/// a Cancel button, IDNO for Yes/No and IDOK for OK.
int MessageBoxA(QWidget *owner, const QString &text, const QString &caption, unsigned type);
/// A plain box with an OK button; the caption is the application's title.
void ShowMessage(const QString &text);
/// The toolkit's standard error dialog: error icon, caption "Error", one OK button.
void ShowErrorDialog(const QString &text);
/// Plays the system sound of a box type (MB_ICONEXCLAMATION for the warning sound...).
void MessageBeep(unsigned type);

/// Shows dialog modally and returns its modal result (mrOk, mrCancel...; see Application.h). A window
/// closed by the system, or shown while or when the application is asked to terminate, gives mrCancel.
/// Forms end themselves with dialog->done(mrOk).
int ShowModal(QDialog *dialog);

/// The text as a box shows it: "\r\n" and lone "\r" become "\n".
QString displayText(const QString &text);
