// The program's icon from its resources, set as the application's window icon.
#include "app/WindowIcon.h"

#include <QApplication>

#include <array>

QIcon ProgramIcon()
{
    static constexpr std::array kSizes{16, 32, 48, 64, 128, 256};
    QIcon icon;
    for (const int size : kSizes)
        icon.addFile(QStringLiteral(":/icons/olm16-%1.png").arg(size), QSize(size, size));
    return icon;
}

void InstallWindowIcon()
{
    QApplication::setWindowIcon(ProgramIcon());
}
