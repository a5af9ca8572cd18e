// The PostgreSQL benchmark's cluster (where it is, psql to reach it) and its large journal database, made once
// from the OLM template with the same deterministic content as the embedded benchmark's, 500,000 journal rows.
#pragma once

#include "LargeDatabaseShape.h"

#include <QByteArray>
#include <QString>

namespace olm::bench {

struct PgCluster {
    QString host, port, superuser, password;
    QString templateDatabase;   ///< the database the OLM scripts were loaded into
    QString benchDatabase = QStringLiteral("olm_bench");
    QString bootUser = QStringLiteral("olm_boot");
    QString bootPassword = QStringLiteral("Boot2016");

    /// From OLM_TEST_PG_* (as scripts/test-postgres.sh exports them); false with *error when one is missing.
    bool fromEnvironment(QString *error);
    /// The settings file's server for this cluster.
    QString dataSource() const;
    /// Runs psql on database as role with script on its standard input, stopping at the first error; its
    /// standard output and error in *output.
    bool psql(const QString &database, const QString &role, const QString &rolePassword, const QByteArray &script,
              QString *output) const;
    bool psqlAsSuperuser(const QString &database, const QByteArray &script, QString *output) const
    {
        return psql(database, superuser, password, script, output);
    }
};

struct PgLargeDatabase : shape::JournalSelections {
    qint64 journalRows = 0;
    int editorId = 0;   ///< the demo editor's user id, who may see every group
};

/// Makes cluster.benchDatabase unless it is there already; the same content every time.
bool preparePgLargeDatabase(const PgCluster &cluster, PgLargeDatabase *facts, QString *error);

} // namespace olm::bench
