// Qt's own texts (standard buttons, the edit context menu) in Russian, like the rest of the program.
#pragma once

#include <QString>

/// Loads Qt's Russian catalogue "qtbase_ru" into the running application, from translations/ beside the
/// executable (where the Windows package puts it) or else from Qt's own translations folder. Does it once
/// per application; later calls only report. False when there is no application or no catalogue: Qt's
/// texts then stay English. The program's own texts are Russian in the source and need no catalogue.
bool InstallQtTranslations();

/// The file InstallQtTranslations loaded for the running application, empty when none.
QString InstalledQtTranslationsFile();
