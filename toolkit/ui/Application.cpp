// The application object: title, termination, the message loop and the default error display.
#include "toolkit/ui/Application.h"

#include "platform/Platform.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/Dialogs.h"

#include <QApplication>

#include <stdexcept>

TApplication *Application = nullptr;

TApplication::TApplication(QObject *parent) : QObject(parent), m_title(QGuiApplication::applicationDisplayName())
{
    // A second one would take over the global and the beep of the first, and the first one's
    // destructor would then clear them under the second: refuse it before touching either.
    if (Application)
        throw std::logic_error("TApplication: one application object per process; the first one still lives");
    Application = this;
    // The platform layer has no widgets; the widgets' beep is the system sound here.
    olm::platform::Platform::setSystemBeep([](unsigned) { QApplication::beep(); });
}

TApplication::~TApplication()
{
    olm::platform::Platform::setSystemBeep(nullptr);
    if (Application == this)
        Application = nullptr;
}

void TApplication::setTitle(const QString &title)
{
    // Each window's caption is exactly its own; a display name would be appended to all of them.
    m_title = title;
}

void TApplication::Terminate()
{
    m_terminated = true;
    emit terminateRequested();
    if (m_running)
        QCoreApplication::exit(0);
}

int TApplication::Run()
{
    if (m_terminated)
        return 0;
    if (m_showMainForm && m_mainForm)
        m_mainForm->show();
    m_running = true;
    const int code = QCoreApplication::exec();
    m_running = false;
    return code;
}

void TApplication::ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::HandleException(const std::exception &error)
{
    if (dynamic_cast<const EAbort *>(&error))
        return;
    const auto *ours = dynamic_cast<const Exception *>(&error);
    const QString text = ours ? ours->Message : QString::fromLocal8Bit(error.what());
    ShowBox({QStringLiteral("Error"), text, m_title, MB_OK | MB_ICONERROR, false});
}

void TApplication::HandleCurrentException()
{
    try {
        throw;
    } catch (const std::exception &error) {
        HandleException(error);
    } catch (...) {
        HandleException(std::runtime_error("An unknown error occurred."));
    }
}
