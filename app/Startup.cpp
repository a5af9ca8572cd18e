// The start-up sequence: the application, the data module, the main window whose creation signs in, and
// the message loop.
#include "app/Startup.h"

#include "data/Unit1.h"
#include "journal/Unit2.h"
#include "toolkit/ui/Application.h"

int RunStartup()
{
    TApplication application;
    Application->setTitle(QStringLiteral("OLM 16 Учет успеваемости"));
    Application->setShowMainForm(false);

    TDM_YOT dataModule;
    TForm2 mainWindow;
    Application->setMainForm(&mainWindow);
    // Shows the main window only after a successful sign-in; ends at once after a cancelled one.
    return Application->Run();
}
