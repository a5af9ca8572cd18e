// A large, deterministic journal database for the server benchmark: about 200 groups, 5,000 students,
// 480,000 journal rows and a million change-log entries, plus one student whose semester holds 5,000 rows.
#pragma once

#include "LargeDatabaseShape.h"

#include <QString>

namespace olm::bench {

struct LargeDatabase : shape::JournalSelections {
    QString path;
    QString login;         ///< an editor's database login
    QString password;      ///< its database password
};

/// Makes the database at path unless it is there already; the same file every time.
bool prepareLargeDatabase(const QString &path, LargeDatabase *facts, QString *error);

} // namespace olm::bench
