// The database's own settings (srv_config): current program name, trace switch, password age.
#pragma once

#include <QString>

struct sqlite3;

namespace olm::server {

inline constexpr const char *currentProgramKey = "current_program";
inline constexpr const char *traceKey = "trace";
inline constexpr const char *passwordAgeKey = "password_max_age_days";
/// The current program of a database that names none.
inline constexpr const char *defaultCurrentProgram = "OLM 16";

/// The value, or fallback when it is not set or cannot be read.
QString configValue(sqlite3 *db, const char *name, const QString &fallback = {});
bool setConfigValue(sqlite3 *db, const char *name, const QString &value, QString *error);

} // namespace olm::server
