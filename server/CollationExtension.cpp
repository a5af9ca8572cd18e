// Loadable extension for a stock sqlite3 shell: registers the database's own text and date collations, so that
// an administrator can read a file and run PRAGMA integrity_check on it (".load olm_collations").
#include "Collations.h"
#include "SqlFunctions.h"

#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

extern "C" Q_DECL_EXPORT int sqlite3_extension_init(sqlite3 *db, char **, const sqlite3_api_routines *api)
{
    SQLITE_EXTENSION_INIT2(api)
    using namespace olm::server;
    const int text = sqlite3_create_collation_v2(db, textCollation, SQLITE_UTF8, nullptr, textCompare, nullptr);
    return text != SQLITE_OK ? text : sqlite3_create_collation_v2(db, dateCollation, SQLITE_UTF8, nullptr, dateCompare, nullptr);
}
