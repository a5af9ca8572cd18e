// The embedded server behind the dataset layer: serves connection strings whose Data Source is "embedded".
#pragma once

#include <QString>

/// Makes the embedded server available to connections opened from now on.
void registerEmbeddedBackend();

/// Folder in which an embedded catalog without a folder of its own is looked up; defaults to
/// <folder of the executable>/Data. Tests point it at a temporary folder.
QString embeddedDataFolder();
void setEmbeddedDataFolder(const QString &folder);
