// The application object of the windows: title, the show-main-window flag, the request to terminate,
// the message loop and the default error display that every event handler falls back on.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <exception>
#include <type_traits>
#include <utility>

// Modal results of forms (ShowModal, QDialog::done).
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;
inline constexpr int mrRetry = 4;
inline constexpr int mrIgnore = 5;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

/// One per process, created after the QApplication (by main or by a test) and reachable as the
/// global Application while it lives. Constructing a second one while the first lives throws
/// std::logic_error and leaves the first untouched.
class TApplication : public QObject {
    Q_OBJECT
public:
    explicit TApplication(QObject *parent = nullptr);
    ~TApplication() override;

    /// The application's title: caption of ShowMessage and of the default error display.
    QString Title() const { return m_title; }
    /// Not handed on as QGuiApplication::applicationDisplayName: the window system would append that
    /// to every window's caption.
    void setTitle(const QString &title);

    /// Whether Run shows the main form when the loop starts.
    bool ShowMainForm() const { return m_showMainForm; }
    void setShowMainForm(bool show) { m_showMainForm = show; }

    /// The window Run shows; the loop ends when it is closed.
    QWidget *MainForm() const { return m_mainForm; }
    void setMainForm(QWidget *form) { m_mainForm = form; }

    /// Asks the application to end: Terminated() becomes true, modal windows shown now end with
    /// mrCancel and the message loop ends (at once, if it has not started yet).
    void Terminate();
    bool Terminated() const { return m_terminated; }

    /// The message loop: returns at once when Terminate was asked; otherwise shows the main form if
    /// ShowMainForm and runs until Terminate or the main form closes. Returns the exit code.
    int Run();

    /// Lets pending window messages run (repaints, timers, input).
    void ProcessMessages();

    /// The default error display: a box with the error's text (Exception::Message for ours), the
    /// caption Title, error icon and OK. EAbort is silent.
    void HandleException(const std::exception &error);
    /// HandleException for the exception being handled now (call inside a catch block).
    void HandleCurrentException();

    /// Runs handler; any exception goes to HandleException, so an error in an event handler never
    /// ends the program. True when the handler finished without one.
    template<class F>
    bool guarded(F &&handler)
    {
        try {
            std::forward<F>(handler)();
            return true;
        } catch (...) {
            HandleCurrentException();
            return false;
        }
    }

signals:
    /// Raised by Terminate, before the loops are ended.
    void terminateRequested();

private:
    QString m_title;
    bool m_showMainForm = true;
    bool m_terminated = false;
    bool m_running = false;
    QPointer<QWidget> m_mainForm;
};

/// The application of this process; null before main creates it.
extern TApplication *Application;

/// Connects signal to handler so that the handler runs guarded: an exception it throws is shown by
/// the default error display instead of crossing Qt's event dispatch. The handler takes the signal's
/// arguments or none.
template<class Sender, class Signal, class F>
QMetaObject::Connection connectGuarded(Sender *sender, Signal signal, const QObject *context, F handler)
{
    return QObject::connect(sender, signal, context, [handler = std::move(handler)](auto &&...args) mutable {
        auto call = [&] {
            if constexpr (std::is_invocable_v<F &, decltype(args)...>)
                handler(std::forward<decltype(args)>(args)...);
            else
                handler();
        };
        if (Application)
            Application->guarded(call);
        else
            call();
    });
}
