// Generation of the PostgreSQL benchmark's database: a copy of the OLM template emptied of the demo content and
// filled by COPY through psql with the rows of the shared deterministic shape, under another name until whole.
#include "PgLargeDatabase.h"

#include "LargeDatabaseShape.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <vector>

namespace olm::bench {

namespace {

using namespace shape;

// Enough students for 500,024 journal rows: 96 for each ordinary one, 5,000 + 1,680 for the big group.
constexpr int Students = 5159;

// The shape's INSERTs as COPY blocks of one psql script, in the order they were prepared; exec adds a statement.
class CopyScript {
public:
    bool ok() const { return true; }
    int prepare(const char *insert)
    {
        // "INSERT INTO table (columns) VALUES (...)": the table is bracket-quoted where it is a reserved word.
        QString text = QString::fromUtf8(insert);
        const qsizetype open = text.indexOf(QLatin1Char('(')), close = text.indexOf(QLatin1Char(')'));
        QString table = text.mid(12, open - 12).trimmed();
        table.replace(QLatin1Char('['), QLatin1Char('"')).replace(QLatin1Char(']'), QLatin1Char('"'));
        m_parts.push_back({QStringLiteral("COPY %1 (%2) FROM STDIN;\n").arg(table.toLower(), text.mid(open + 1, close - open - 1)).toUtf8(), {}, true});
        return int(m_parts.size()) - 1;
    }
    template <typename... Values>
    bool row(int part, Values... values)
    {
        QByteArray &rows = m_parts[size_t(part)].rows;
        bool first = true;
        ((rows += first ? "" : "\t", first = false, append(rows, values)), ...);
        rows += '\n';
        ++m_parts[size_t(part)].count;
        return true;
    }
    bool exec(const char *sql)
    {
        m_parts.push_back({QByteArray(sql) + ";\n", {}, false});
        return true;
    }
    qint64 rowsOf(const char *table) const
    {
        for (const Part &part : m_parts) {
            if (part.copy && part.head.startsWith(QByteArray("COPY ") + table + " "))
                return part.count;
        }
        return 0;
    }
    QByteArray text() const
    {
        QByteArray script;
        for (const Part &part : m_parts)
            script += part.head + part.rows + (part.copy ? "\\.\n" : "");
        return script;
    }

private:
    static void append(QByteArray &rows, int value) { rows += QByteArray::number(value); }
    static void append(QByteArray &rows, const char *value)
    {
        // COPY's text format: \N is NULL; the generated texts hold no tab, newline or backslash.
        rows += value ? QByteArray(value) : QByteArray("\\N");
    }
    struct Part {
        QByteArray head;
        QByteArray rows;
        bool copy = false;
        qint64 count = 0;
    };
    std::vector<Part> m_parts;
};

bool scalar(const PgCluster &cluster, const QString &database, const QString &query, QString *value, QString *error)
{
    QString output;
    if (!cluster.psqlAsSuperuser(database, ("\\pset tuples_only on\n\\pset format unaligned\n" + query + ";\n").toUtf8(),
                                 &output)) {
        *error = output;
        return false;
    }
    *value = output.trimmed();
    return true;
}

bool generate(const PgCluster &cluster, const QString &name, qint64 *journalRows, QString *error)
{
    QString output;
    if (!cluster.psqlAsSuperuser(QStringLiteral("postgres"),
                                 QStringLiteral("DROP DATABASE IF EXISTS %1;\nCREATE DATABASE %1 TEMPLATE %2;\n")
                                     .arg(name, cluster.templateDatabase).toUtf8(),
                                 &output)) {
        *error = output;
        return false;
    }
    CopyScript script;
    // The generated rows are where the trail starts, not changes to it: no triggers while loading.
    script.exec("SET session_replication_role = replica");
    script.exec("TRUNCATE mark_mag, del_mark_mag, srv_deleted_rest, olm_log, srv_audit, curriculum, group_student, "
                "s_fio, g_r_y, group_semester, semester, \"group\", speciality, t_fio, discipline, est2, examination, "
                "f_est, estimationother, com_sfe, educ_sh, srv_user_groups");
    Generator random;
    fillCatalogues(script, random, Students);
    fillJournal(script, random, Students);
    // The demo editor may see every generated group.
    script.exec("INSERT INTO srv_user_groups (id_login, id_group) SELECT u.id_login, g.id_group FROM srv_users u, "
                "\"group\" g WHERE u.login = 'petrova'");
    script.exec("ANALYZE");
    *journalRows = script.rowsOf("mark_mag");
    if (!cluster.psqlAsSuperuser(name, script.text(), &output)) {
        *error = output;
        return false;
    }
    return true;
}

} // namespace

bool PgCluster::fromEnvironment(QString *error)
{
    const auto take = [](const char *name, QString *into) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            *into = value;
        return !into->isEmpty();
    };
    if (!take("OLM_TEST_PG_HOST", &host) || !take("OLM_TEST_PG_PORT", &port) || !take("OLM_TEST_PG_USER", &superuser)
        || !take("OLM_TEST_PG_PASSWORD", &password) || !take("OLM_TEST_PG_TEMPLATE", &templateDatabase)) {
        *error = QStringLiteral("OLM_TEST_PG_HOST, _PORT, _USER, _PASSWORD and _TEMPLATE name the cluster "
                                "(bench/run-bench-pg.sh starts one and sets them).");
        return false;
    }
    take("OLM_TEST_PG_BOOT_LOGIN", &bootUser);
    take("OLM_TEST_PG_BOOT_PASSWORD", &bootPassword);
    return true;
}

QString PgCluster::dataSource() const
{
    return QStringLiteral("pg:%1,%2").arg(host, port);
}

bool PgCluster::psql(const QString &database, const QString &role, const QString &rolePassword,
                     const QByteArray &script, QString *output) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), rolePassword);
    environment.insert(QStringLiteral("PGCLIENTENCODING"), QStringLiteral("UTF8"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                           QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), host,
                                           QStringLiteral("-p"), port, QStringLiteral("-U"), role,
                                           QStringLiteral("-d"), database, QStringLiteral("-f"), QStringLiteral("-")});
    if (!process.waitForStarted()) {
        *output = QStringLiteral("psql did not start: %1").arg(process.errorString());
        return false;
    }
    process.write(script);
    process.closeWriteChannel();
    process.waitForFinished(-1);
    *output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool preparePgLargeDatabase(const PgCluster &cluster, PgLargeDatabase *facts, QString *error)
{
    QString exists;
    if (!scalar(cluster, QStringLiteral("postgres"),
                QStringLiteral("SELECT COUNT(*) FROM pg_database WHERE datname = '%1'").arg(cluster.benchDatabase),
                &exists, error))
        return false;
    if (exists != QLatin1String("1")) {
        // Made under another name and renamed when whole, so an interrupted run never leaves half a database.
        const QString partial = cluster.benchDatabase + QStringLiteral("_partial");
        qint64 rows = 0;
        QString output;
        if (!generate(cluster, partial, &rows, error)
            || !cluster.psqlAsSuperuser(QStringLiteral("postgres"),
                                        QStringLiteral("ALTER DATABASE %1 RENAME TO %2;\n")
                                            .arg(partial, cluster.benchDatabase).toUtf8(),
                                        &output)) {
            if (error->isEmpty())
                *error = output;
            return false;
        }
    }
    QString rows, editor;
    if (!scalar(cluster, cluster.benchDatabase, QStringLiteral("SELECT COUNT(*) FROM mark_mag"), &rows, error)
        || !scalar(cluster, cluster.benchDatabase, QStringLiteral("SELECT id_login FROM srv_users WHERE login = 'petrova'"),
                   &editor, error))
        return false;
    facts->journalRows = rows.toLongLong();
    facts->editorId = editor.toInt();
    static_cast<shape::JournalSelections &>(*facts) = shape::journalSelections(Students);
    return true;
}

} // namespace olm::bench
