// The program's icon on every window (title bars, the task bar, the window switcher).
#pragma once

#include <QIcon>

/// The icon in every size the program carries (16 to 256 pixels), from the program's resources.
QIcon ProgramIcon();

/// Makes ProgramIcon the default icon of every window of the running application.
void InstallWindowIcon();
