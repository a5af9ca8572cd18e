// The program's entry point: the window system with Qt's texts in Russian and the program's icon, the database
// backends it ships, then the start-up sequence.
#include "app/QtTranslations.h"
#include "app/Startup.h"
#include "app/WindowIcon.h"
#include "backends/embedded/EmbeddedBackend.h"
#include "backends/odbc/OdbcBackend.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication qtApplication(argc, argv);
    // Without the catalogue Qt's own texts stay English; the program still runs.
    InstallQtTranslations();
    InstallWindowIcon();
    // The servers this program can reach: its own embedded one and, through ODBC, SQL Server and others.
    registerEmbeddedBackend();
    registerOdbcBackend();
    return RunStartup();
}
