// The program's entry point: the window system, the database backends it ships, then the start-up sequence.
#include "app/Startup.h"
#include "backends/embedded/EmbeddedBackend.h"
#include "backends/odbc/OdbcBackend.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication qtApplication(argc, argv);
    // The servers this program can reach: its own embedded one and, through ODBC, SQL Server.
    registerEmbeddedBackend();
    registerOdbcBackend();
    return RunStartup();
}
