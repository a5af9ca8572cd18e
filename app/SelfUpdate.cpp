// The unfinished self-update: reports the update server as unavailable, as a failed download would.
#include "app/SelfUpdate.h"

#include "toolkit/ui/Application.h"
#include "toolkit/ui/Dialogs.h"

void RunSelfUpdateUnfinished(QWidget *owner)
{
    MessageBoxA(owner,
                QStringLiteral("Сервер обновлений не доступен.") + QLatin1Char('\r')
                    + QStringLiteral("Обратитесь к администратору."),
                QStringLiteral("Уведомление"), MB_OK | MB_ICONINFORMATION);
    if (Application)
        Application->Terminate();
}
