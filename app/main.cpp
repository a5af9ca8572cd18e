// The program's entry point: the window system, then the start-up sequence.
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication qtApplication(argc, argv);
    return RunStartup();
}
