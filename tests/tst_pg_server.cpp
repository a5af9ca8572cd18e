// The PostgreSQL server scripts (server/postgresql) on a real cluster, through QODBC and psqlODBC with native
// PostgreSQL statements: the sign-in exchange, the roles' rights, row-level security, the append-only tables, the
// store of deleted rows and the administration functions. Skipped without the cluster scripts/test.sh starts.
#include "tests/support/PgTestDatabase.h"
#include "tests/support/TestMain.h"
#include "tst_server_support.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const char wrongSignIn[] = "Неверное имя пользователя или пароль.";
const char notYourGroup[] = "is not one of your groups; nothing was changed.";

struct PgRun {
    bool ok = false;
    QString error;
    QList<QVariantList> rows;
    int affected = -1;
    QVariant value(int row = 0, int column = 0) const { return rows.value(row).value(column); }
};

PgRun pgRun(const QSqlDatabase &db, const QString &statement, const QVariantList &params = {})
{
    PgRun run;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(statement)) {
        run.error = query.lastError().text();
        return run;
    }
    for (const QVariant &param : params)
        query.addBindValue(param);
    run.ok = query.exec();
    if (!run.ok) {
        run.error = query.lastError().text();
        return run;
    }
    run.affected = query.numRowsAffected();
    while (query.isSelect() && query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i)
            row.append(query.value(i));
        run.rows.append(row);
    }
    return run;
}

int pgCount(const QSqlDatabase &db, const QString &statement, const QVariantList &params = {})
{
    return pgRun(db, statement, params).value().toInt();
}

QString digestOf(const QString &password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toLatin1(), QCryptographicHash::Md5).toHex().toUpper());
}

// The client's side of the credentials' form: every character one code up (the generated ones are plain ASCII).
QString shiftUp(const QString &text)
{
    QString result;
    for (const QChar c : text)
        result.append(QChar(c.unicode() + 1));
    return result;
}

// get_user as the client calls it: the new password as a digest or NULL, the ninth argument its written length.
PgRun getUser(const QSqlDatabase &db, const QString &login, const QString &password, const QString &newPassword = {},
              const QString &program = QStringLiteral("OLM 16"))
{
    const QVariant newDigest = newPassword.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(digestOf(newPassword));
    const QString length = newPassword.isNull() ? QStringLiteral("4") : QStringLiteral("34");
    return pgRun(db, QStringLiteral("SELECT * FROM get_user(?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 {login, digestOf(password), newDigest, program, QStringLiteral("10.0.0.5"), QStringLiteral("TESTPC"),
                  login, QStringLiteral("0"), length});
}

// A value as both servers' drivers can agree on it: dates and times as text without a zero fraction, text trimmed
// (del_oper is a fixed-width column on PostgreSQL).
QString comparable(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    QString text = value.typeId() == QMetaType::QDateTime ? value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                   : value.typeId() == QMetaType::QDate   ? value.toDate().toString(QStringLiteral("yyyy-MM-dd"))
                                                          : value.toString().trimmed();
    text.replace(QLatin1Char('T'), QLatin1Char(' '));
    if (text.endsWith(QLatin1String(".000")))
        text.chop(4);
    return text;
}

template <typename Rows>
QStringList comparableLines(const Rows &rows)
{
    QStringList lines;
    for (const QVariantList &row : rows) {
        QStringList cells;
        for (const QVariant &cell : row)
            cells.append(comparable(cell));
        lines.append(cells.join(QLatin1Char('|')));
    }
    return lines;
}

// What the demo holds, one line a row, for both servers; names in the embedded server's spelling.
const char *const demoTables[] = {
    "SELECT id_speciality, spec FROM speciality ORDER BY 1",
    "SELECT id_semester, p43 FROM semester ORDER BY 1",
    "SELECT id_teacher, t_fio FROM t_fio ORDER BY 1",
    "SELECT id_discipline, p34 FROM discipline ORDER BY 1",
    "SELECT id_examination, p30 FROM examination ORDER BY 1",
    "SELECT id_f_e, p109 FROM f_est ORDER BY 1",
    "SELECT id_estimation_other, Estimation_Other, id_ebe_var FROM EstimationOther ORDER BY 1",
    "SELECT id_ebe_var, id_speciality FROM com_sfe ORDER BY 1, 2",
    "SELECT id_estimation, p31, id_examination FROM est2 ORDER BY 1, 3",
    "SELECT id_group, p20, id_speciality, o_z, start_year FROM [group] ORDER BY 1",
    "SELECT id_group, id_semester, id_rate FROM group_semester ORDER BY 1, 2",
    "SELECT id_group, id_rate, p32 FROM g_r_y ORDER BY 1, 2",
    "SELECT id_group, id_semester, id_discipline, id_examination, id_teacher FROM curriculum ORDER BY 1, 2, 3, 4",
    "SELECT id_student, s_fio FROM s_fio ORDER BY 1",
    "SELECT id_group, id_student FROM group_student ORDER BY 1, 2",
    "SELECT id_group, id_semester, id_discipline, id_examination, hours FROM educ_sh ORDER BY 1, 2, 3, 4",
    "SELECT primech, dopusk_izm, id_estimation_other, id_mark_mag, id_group, id_student, id_examination, id_discipline, "
    "id_estimation, id_semester, id_teacher, p35, p36, id_f_est, oper, u_date, OLM_User FROM mark_mag ORDER BY id_mark_mag",
    "SELECT id_mark_mag, id_group, id_student, id_examination, id_estimation, id_discipline, id_semester, id_teacher, p35, "
    "p36, id_f_est, oper, u_date, Check_ch, del_date, del_oper FROM del_mark_mag ORDER BY id_mark_mag",
    "SELECT u.login, g.id_group FROM srv_user_groups g JOIN srv_users u ON u.id_login = g.id_login ORDER BY 1, 2",
};

QString uniqueLogin()
{
    return QStringLiteral("tpg_%1").arg(QRandomGenerator::global()->generate() & 0xffffff, 6, 16, QLatin1Char('0'));
}

} // namespace

class TestPgServer : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PgTestDatabase> m_db;

    QSqlDatabase as(const QString &role)
    {
        QString error;
        QSqlDatabase db = m_db->connect(role, m_db->databasePassword(role), &error);
        if (!db.isValid())
            qWarning("cannot connect as %s: %s", qPrintable(role), qPrintable(error));
        return db;
    }
    QSqlDatabase boot()
    {
        return m_db->connect(m_db->bootLogin(), m_db->bootPassword());
    }

private slots:
    void init()
    {
        QString why;
        if (!PgTestDatabase::available(&why))
            QSKIP(qPrintable(why));
        m_db = std::make_unique<PgTestDatabase>();
        QVERIFY2(m_db->isValid(), qPrintable(m_db->error()));
        QVERIFY2(m_db->superuser().isValid(), qPrintable(m_db->error()));
    }
    void cleanup() { m_db.reset(); }

    void signIn_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("credentials");
        QTest::addColumn<int>("update");
        const QString none;
        const QString current = QStringLiteral("OLM 16");
        QTest::newRow("right") << "petrova" << "petrova1" << none << current << "" << "" << true << 0;
        QTest::newRow("login in other case") << "PETROVA" << "petrova1" << none << current << "" << "" << true << 0;
        QTest::newRow("older program") << "petrova" << "petrova1" << none << "OLM 9" << "" << "" << true << 3;
        QTest::newRow("newer program") << "petrova" << "petrova1" << none << "OLM 17" << "" << "" << true << 0;
        QTest::newRow("wrong password") << "petrova" << "petrova2" << none << current << wrongSignIn << "" << false << 0;
        QTest::newRow("unknown login") << "nobody" << "petrova1" << none << current << wrongSignIn << "" << false << 0;
        QTest::newRow("trailing blank") << "petrova " << "petrova1" << none << current << wrongSignIn << "" << false << 0;
        QTest::newRow("reader") << "sidorov" << "sidorov1" << none << current << "" << "" << true << 0;
        QTest::newRow("blocked (a v in the login)") << "popov" << "popov1" << none << current << ""
                                                   << "Учётная запись заблокирована. Обратитесь к администратору." << false << 0;
        QTest::newRow("expired") << "kuznetsov" << "kuznetsov1" << none << current << "" << "" << false << 0;
        QTest::newRow("expired, changed") << "kuznetsov" << "kuznetsov1" << "kuznetsov2" << current << "" << "" << true << 0;
        QTest::newRow("empty new password") << "petrova" << "petrova1" << "" << current << ""
                                            << "Новый пароль не может быть пустым." << false << 0;
        QTest::newRow("same new password") << "petrova" << "petrova1" << "petrova1" << current << ""
                                           << "Новый пароль должен отличаться от прежнего." << false << 0;
    }
    void signIn()
    {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(QString, newPassword);
        QFETCH(QString, program);
        QFETCH(QString, error);
        QFETCH(QString, message);
        QFETCH(bool, credentials);
        QFETCH(int, update);
        const PgRun answer = getUser(boot(), login, password, newPassword, program);
        if (!error.isEmpty()) {
            QVERIFY(!answer.ok);
            QVERIFY2(answer.error.contains(error), qPrintable(answer.error));
            return;
        }
        QVERIFY2(answer.ok, qPrintable(answer.error));
        QCOMPARE(answer.rows.size(), 1);
        QCOMPARE(answer.value(0, 4).toString(), message);
        QCOMPARE(answer.value(0, 5).toInt(), update);
        QCOMPARE(answer.value(0, 0).toString().isEmpty(), !credentials);
        QCOMPARE(answer.value(0, 1).toString().isEmpty(), !credentials);
        if (credentials) {
            QCOMPARE(shiftUp(answer.value(0, 0).toString()), login.toLower());
            QCOMPARE(shiftUp(answer.value(0, 1).toString()), m_db->databasePassword(login.toLower()));
        }
    }

    void malformedRequestsAreNoAttempts_data()
    {
        QTest::addColumn<QVariant>("newDigest");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("error");
        QTest::newRow("new password not a digest") << QVariant(QStringLiteral("secret")) << "8"
                                                   << "The new password of GET_USER must be a digest of 32 hexadecimal digits.";
        QTest::newRow("length of NULL") << QVariant(QMetaType(QMetaType::QString)) << "34"
                                        << "Argument 9 of GET_USER must be the length of argument 3 as written (4).";
    }
    void malformedRequestsAreNoAttempts()
    {
        QFETCH(QVariant, newDigest);
        QFETCH(QString, length);
        QFETCH(QString, error);
        const PgRun answer = pgRun(boot(), QStringLiteral("SELECT * FROM get_user(?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                                   {QStringLiteral("petrova"), digestOf(QStringLiteral("petrova1")), newDigest,
                                    QStringLiteral("OLM 16"), QString(), QString(), QStringLiteral("petrova"),
                                    QStringLiteral("0"), length});
        QVERIFY(!answer.ok);
        QVERIFY2(answer.error.contains(error), qPrintable(answer.error));
        QCOMPARE(pgCount(m_db->superuser(), QStringLiteral("SELECT count(*) FROM srv_attempts")), 0);
        // The refusal is in the trail, the digest is not.
        const PgRun trail = pgRun(m_db->superuser(), QStringLiteral("SELECT old_value, new_value FROM srv_audit "
                                                                    "WHERE action = 'EXECUTE' AND \"table\" = 'GET_USER'"));
        QCOMPARE(trail.rows.size(), 1);
        QCOMPARE(trail.value(0, 0).toString(), error);
        QVERIFY(!trail.value(0, 1).toString().contains(digestOf(QStringLiteral("petrova1"))));
    }

    // The shifted credentials open the user's own connection, which sees that user's groups.
    void secondConnection()
    {
        const PgRun answer = getUser(boot(), QStringLiteral("smirnova"), QStringLiteral("smirnova1"));
        QVERIFY2(answer.ok, qPrintable(answer.error));
        QString error;
        QSqlDatabase user = m_db->connect(shiftUp(answer.value(0, 0).toString()), shiftUp(answer.value(0, 1).toString()), &error);
        QVERIFY2(user.isValid(), qPrintable(error));
        const PgRun groups = pgRun(user, QStringLiteral("SELECT id_group, p20 FROM group_form WHERE o_z = 1 AND id_login = ? "
                                                        "ORDER BY id_group"), {answer.value(0, 2)});
        QVERIFY2(groups.ok, qPrintable(groups.error));
        QCOMPARE(groups.rows.size(), 2);
        QCOMPARE(groups.value(0, 1).toString(), QStringLiteral("ЭК-21"));
        QCOMPARE(groups.value(1, 1).toString(), QStringLiteral("ЮР-22"));
    }

    // A changed password works from then on, the old one no longer; the change is in the sign-in's own transaction.
    void passwordChange()
    {
        QVERIFY(getUser(boot(), QStringLiteral("petrova"), QStringLiteral("petrova1"), QStringLiteral("petrova2")).ok);
        QVERIFY(!getUser(boot(), QStringLiteral("petrova"), QStringLiteral("petrova1")).ok);
        const PgRun answer = getUser(boot(), QStringLiteral("petrova"), QStringLiteral("petrova2"));
        QVERIFY2(answer.ok, qPrintable(answer.error));
        QCOMPARE(answer.value(0, 3).toInt(), 90);
    }

    // Five failures within the window shut the login, the right password included, with the same answer; each
    // refused attempt stays recorded although the refusal undoes its statement.
    void lockOut()
    {
        QSqlDatabase db = boot();
        for (int i = 0; i < 5; ++i)
            QVERIFY(!getUser(db, QStringLiteral("sidorov"), QStringLiteral("guess%1").arg(i)).ok);
        const PgRun locked = getUser(db, QStringLiteral("Sidorov"), QStringLiteral("sidorov1"));
        QVERIFY(!locked.ok);
        QVERIFY2(locked.error.contains(QString::fromUtf8(wrongSignIn)), qPrintable(locked.error));
        QCOMPARE(pgCount(m_db->superuser(), QStringLiteral("SELECT count(*) FROM srv_attempts WHERE login ILIKE 'sidorov' "
                                                           "AND NOT success")), 6);
        // Another login is not affected.
        QVERIFY(getUser(db, QStringLiteral("petrova"), QStringLiteral("petrova1")).ok);
    }

    // Without the recorder a refusal still answers as before, only its record is lost (the server log says so).
    void refusalWithoutRecorder()
    {
        QVERIFY(pgRun(m_db->superuser(), QStringLiteral("SELECT olm_config_set('recorder_host', '127.0.0.2')")).ok);
        const PgRun refused = getUser(boot(), QStringLiteral("petrova"), QStringLiteral("petrova2"));
        QVERIFY(!refused.ok);
        QVERIFY2(refused.error.contains(QString::fromUtf8(wrongSignIn)), qPrintable(refused.error));
        QCOMPARE(pgCount(m_db->superuser(), QStringLiteral("SELECT count(*) FROM srv_attempts")), 0);
        QVERIFY(getUser(boot(), QStringLiteral("petrova"), QStringLiteral("petrova1")).ok);
    }

    void bootstrapOnlySignsIn_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("journal") << "SELECT count(*) FROM mark_mag";
        QTest::newRow("logins") << "SELECT * FROM srv_db_logins";
        QTest::newRow("users") << "SELECT * FROM srv_users";
        QTest::newRow("view over the users") << "SELECT * FROM group_form";
        QTest::newRow("log") << "INSERT INTO olm_log (\"table\", row_id, descr) VALUES ('mark_mag', 1, 'x')";
        QTest::newRow("journal function") << "SELECT * FROM sort_2_mark_mag(1, 1, 1)";
        QTest::newRow("administration") << "SELECT * FROM olm_user_list()";
        QTest::newRow("helper") << "SELECT olm_shift_down('x')";
        QTest::newRow("recorder") << "SELECT olm_record_durably('DELETE FROM srv_attempts')";
        QTest::newRow("extension") << "SELECT olm_ext.crypt('a', 'b')";
        QTest::newRow("temporary table") << "CREATE TEMPORARY TABLE t (a int)";
    }
    void bootstrapOnlySignsIn()
    {
        QFETCH(QString, statement);
        const PgRun run = pgRun(boot(), statement);
        QVERIFY2(!run.ok, qPrintable(statement));
        QVERIFY2(run.error.contains(QLatin1String("permission denied")), qPrintable(run.error));
    }

    void readerCannotWrite_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("update") << "UPDATE mark_mag SET p35 = 'x' WHERE id_mark_mag = 1";
        QTest::newRow("delete") << "DELETE FROM mark_mag WHERE id_mark_mag = 1";
        QTest::newRow("insert") << "INSERT INTO mark_mag (id_group) VALUES (1)";
        QTest::newRow("log entry") << "INSERT INTO olm_log (\"table\", row_id, descr) VALUES ('mark_mag', 1, 'x')";
        QTest::newRow("restore choice") << "UPDATE del_mark_mag SET check_ch = 1";
        QTest::newRow("delete function") << "SELECT * FROM del_from_mark_mag('1,')";
        QTest::newRow("restore function") << "SELECT * FROM ctrl_z_mark_mag(1, 2)";
    }
    void readerCannotWrite()
    {
        QFETCH(QString, statement);
        QSqlDatabase reader = as(QStringLiteral("sidorov"));
        QVERIFY(pgRun(reader, QStringLiteral("SELECT count(*) FROM mark_mag")).ok);
        const int rows = pgCount(m_db->superuser(), QStringLiteral("SELECT count(*) FROM mark_mag WHERE p35 IS DISTINCT FROM 'x'"));
        const PgRun run = pgRun(reader, statement);
        QVERIFY2(!run.ok, qPrintable(statement));
        QVERIFY2(run.error.contains(QLatin1String("permission denied")), qPrintable(run.error));
        QCOMPARE(pgCount(m_db->superuser(), QStringLiteral("SELECT count(*) FROM mark_mag WHERE p35 IS DISTINCT FROM 'x'")), rows);
        QCOMPARE(pgCount(m_db->superuser(), QStringLiteral("SELECT count(*) FROM del_mark_mag WHERE check_ch = 1")), 0);
    }

    // smirnova works on ЭК-21 and ЮР-22 (groups 3 and 4): rows of ПИ-21 are not there for her, and neither a statement
    // nor a function changes them.
    void groupsAreScoped_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("error"); // empty: no error, and nothing happens
        QTest::newRow("update another group's row") << "UPDATE mark_mag SET p35 = 'x' WHERE id_group = 1" << "";
        QTest::newRow("delete another group's row") << "DELETE FROM mark_mag WHERE id_group = 1" << "";
        QTest::newRow("delete every row") << "DELETE FROM mark_mag WHERE id_group <> 3 AND id_group <> 4" << "";
        QTest::newRow("move a row into another group") << "UPDATE mark_mag SET id_group = 1 WHERE id_group = 3"
                                                       << "The row's group is not one of your groups; nothing was changed.";
        QTest::newRow("restore choice of another group") << "UPDATE del_mark_mag SET check_ch = 1" << "";
        QTest::newRow("read another group") << "SELECT * FROM sort_2_mark_mag(1, 1, 1)" << notYourGroup;
        QTest::newRow("create rows of another group") << "SELECT * FROM insertinto_sort_mark_mag_2(1, 4, 3, 1)" << notYourGroup;
        QTest::newRow("delete through the function") << "SELECT * FROM del_from_mark_mag('1,')"
                                                     << "The row's group is not one of your groups; nothing was changed.";
        QTest::newRow("restore another group") << "SELECT * FROM ctrl_z_mark_mag(1, 2)" << notYourGroup;
    }
    void groupsAreScoped()
    {
        QFETCH(QString, statement);
        QFETCH(QString, error);
        QSqlDatabase admin = m_db->superuser();
        QVERIFY(pgRun(admin, QStringLiteral("UPDATE del_mark_mag SET check_ch = 0")).ok);
        const QString fingerprint = QStringLiteral("SELECT count(*), sum(hashtext(m::text)) FROM mark_mag m");
        const PgRun before = pgRun(admin, fingerprint);
        const int deleted = pgCount(admin, QStringLiteral("SELECT count(*) FROM del_mark_mag WHERE check_ch = 0"));
        const PgRun run = pgRun(as(QStringLiteral("smirnova")), statement);
        if (error.isEmpty()) {
            QVERIFY2(run.ok, qPrintable(run.error));
        } else {
            QVERIFY(!run.ok);
            QVERIFY2(run.error.contains(error), qPrintable(run.error));
        }
        QCOMPARE(pgRun(admin, fingerprint).rows, before.rows);
        QCOMPARE(pgCount(admin, QStringLiteral("SELECT count(*) FROM del_mark_mag WHERE check_ch = 0")), deleted);
    }

    void viewsShowOwnGroups()
    {
        QSqlDatabase user = as(QStringLiteral("smirnova"));
        QCOMPARE(pgCount(user, QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_group NOT IN (3, 4)")), 0);
        QVERIFY(pgCount(user, QStringLiteral("SELECT count(*) FROM mark_mag")) > 0);
        QCOMPARE(pgCount(user, QStringLiteral("SELECT count(*) FROM del_mark_mag")), 0);
        for (const char *view : {"g_sem", "s_g", "gr_sem_disc_exam", "g_s", "group_form"}) {
            const PgRun run = pgRun(user, QStringLiteral("SELECT count(*) FROM %1 WHERE id_group NOT IN (3, 4)").arg(QLatin1String(view)));
            QVERIFY2(run.ok, qPrintable(run.error));
            QVERIFY2(run.value().toInt() == 0, view);
        }
        QCOMPARE(pgCount(user, QStringLiteral("SELECT count(*) FROM s_g")), 10);
        QCOMPARE(pgCount(m_db->superuser(), QStringLiteral("SELECT count(*) FROM s_g")), 20);
    }

    // An edit stamps the row with the server's user and day; the stamps cannot be written; the trail and the row's
    // history show the change.
    void editStampsAndAudits()
    {
        QSqlDatabase admin = m_db->superuser();
        QVERIFY(pgRun(admin, QStringLiteral("UPDATE mark_mag SET olm_user = 'someone', olm_update = '2020-01-01' WHERE id_mark_mag = 1")).ok);
        QSqlDatabase editor = as(QStringLiteral("petrova"));
        const PgRun forged = pgRun(editor, QStringLiteral("UPDATE mark_mag SET olm_user = 'x' WHERE id_mark_mag = 1"));
        QVERIFY(!forged.ok);
        QVERIFY2(forged.error.contains(QLatin1String("permission denied")), qPrintable(forged.error));
        // The client binds the flag as a boolean and compares the old value in the WHERE clause.
        const PgRun edit = pgRun(editor, QStringLiteral("UPDATE mark_mag SET p35 = ?, dopusk_izm = ? WHERE id_mark_mag = ? AND p35 = ?"),
                                 {QStringLiteral("777"), true, 1, QStringLiteral("101")});
        QVERIFY2(edit.ok, qPrintable(edit.error));
        QCOMPARE(edit.affected, 1);
        const PgRun row = pgRun(admin, QStringLiteral("SELECT p35, olm_user, olm_update = current_date, dopusk_izm FROM mark_mag WHERE id_mark_mag = 1"));
        QCOMPARE(row.rows.value(0), (QVariantList{QStringLiteral("777"), QStringLiteral("petrova"), true, 1}));
        QCOMPARE(pgCount(editor, QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_mark_mag = 1 AND dopusk_izm = ?"), {true}), 1);
        const PgRun history = pgRun(editor, QStringLiteral("SELECT source, login, field, old_value, new_value FROM row_history(?) "
                                                           "WHERE field = 'p35'"), {1});
        QVERIFY2(history.ok, qPrintable(history.error));
        QCOMPARE(history.rows.value(0), (QVariantList{QStringLiteral("audit"), QStringLiteral("petrova"), QStringLiteral("p35"),
                                                      QStringLiteral("101"), QStringLiteral("777")}));
        // Another group's user learns nothing of the row.
        QCOMPARE(pgRun(as(QStringLiteral("smirnova")), QStringLiteral("SELECT * FROM row_history(1)")).rows.size(), 0);
    }

    void appendOnly_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("change a log entry") << "UPDATE olm_log SET descr = 'x'";
        QTest::newRow("remove a log entry") << "DELETE FROM olm_log";
        QTest::newRow("empty the log") << "TRUNCATE olm_log";
        QTest::newRow("upsert a log entry") << "INSERT INTO olm_log (id_log, descr) VALUES (1, 'x') "
                                               "ON CONFLICT (id_log) DO UPDATE SET descr = 'x'";
        QTest::newRow("change the trail") << "UPDATE srv_audit SET new_value = 'x'";
        QTest::newRow("remove the trail") << "DELETE FROM srv_audit";
        QTest::newRow("read the trail") << "SELECT * FROM srv_audit";
        QTest::newRow("read the log") << "SELECT * FROM olm_log";
    }
    void appendOnly()
    {
        QFETCH(QString, statement);
        QSqlDatabase admin = m_db->superuser();
        QVERIFY(pgRun(admin, QStringLiteral("INSERT INTO olm_log (\"table\", row_id, descr, olm_user, comp) "
                                            "VALUES ('mark_mag', 1, 'entry', 'petrova', 'PC')")).ok);
        QVERIFY(pgRun(as(QStringLiteral("petrova")), QStringLiteral("UPDATE mark_mag SET p35 = 'y' WHERE id_mark_mag = 1")).ok);
        const QString log = QStringLiteral("SELECT count(*), string_agg(descr, ',') FROM olm_log");
        const QString trail = QStringLiteral("SELECT count(*), string_agg(new_value, ',') FROM srv_audit");
        const PgRun logBefore = pgRun(admin, log), trailBefore = pgRun(admin, trail);
        const PgRun run = pgRun(as(QStringLiteral("petrova")), statement);
        QVERIFY2(!run.ok, qPrintable(statement));
        QCOMPARE(pgRun(admin, log).rows, logBefore.rows);
        QCOMPARE(pgRun(admin, trail).rows, trailBefore.rows);
    }

    // A new log entry carries the server's time and the signed-in user, whatever the client wrote.
    void logEntriesAreStamped()
    {
        QSqlDatabase editor = as(QStringLiteral("petrova"));
        const PgRun insert = pgRun(editor, QStringLiteral("INSERT INTO olm_log (\"table\", row_id, descr, olm_user, comp, log_date) "
                                                          "VALUES (?, ?, ?, ?, ?, ?)"),
                                   {QStringLiteral("mark_mag"), 5, QStringLiteral("changed"), QStringLiteral("sidorov"),
                                    QStringLiteral("PC"), QDateTime(QDate(2001, 1, 1), QTime(0, 0))});
        QVERIFY2(insert.ok, qPrintable(insert.error));
        const PgRun entry = pgRun(m_db->superuser(), QStringLiteral("SELECT olm_user, log_date > localtimestamp - interval '1 minute' "
                                                                    "FROM olm_log WHERE row_id = 5"));
        QCOMPARE(entry.rows.value(0), (QVariantList{QStringLiteral("petrova"), true}));
    }

    // Deleted rows wait in del_mark_mag under their ids and come back whole; a malformed list deletes nothing.
    void deleteAndRestore()
    {
        QSqlDatabase admin = m_db->superuser();
        QSqlDatabase editor = as(QStringLiteral("petrova"));
        QVERIFY(pgRun(admin, QStringLiteral("UPDATE mark_mag SET primech = 'н/д', id_estimation_other = 2 WHERE id_mark_mag = 1")).ok);
        const QString rows = QStringLiteral("SELECT m::text FROM mark_mag m WHERE id_mark_mag IN (1, 2) ORDER BY id_mark_mag");
        const PgRun before = pgRun(admin, rows);
        const PgRun malformed = pgRun(editor, QStringLiteral("SELECT * FROM del_from_mark_mag(?)"), {QStringLiteral("1,2")});
        QVERIFY(!malformed.ok);
        QVERIFY2(malformed.error.contains(QLatin1String("DEL_FROM_MARK_MAG expects row ids each followed by a comma")),
                 qPrintable(malformed.error));
        QCOMPARE(pgRun(admin, rows).rows, before.rows);

        const PgRun deleted = pgRun(editor, QStringLiteral("SELECT * FROM del_from_mark_mag(?)"), {QStringLiteral(" 1, 2 ,")});
        QVERIFY2(deleted.ok, qPrintable(deleted.error));
        QCOMPARE(deleted.rows.value(0), QVariantList{0});
        QCOMPARE(pgCount(admin, QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_mark_mag IN (1, 2)")), 0);
        QCOMPARE(pgRun(admin, QStringLiteral("SELECT del_oper, check_ch FROM del_mark_mag WHERE id_mark_mag = 1")).rows.value(0),
                 (QVariantList{QStringLiteral("petrova   "), 0}));

        const PgRun chosen = pgRun(editor, QStringLiteral("UPDATE del_mark_mag SET check_ch = ? WHERE id_mark_mag IN (1, 2)"), {1});
        QVERIFY2(chosen.ok, qPrintable(chosen.error));
        const PgRun restored = pgRun(editor, QStringLiteral("SELECT * FROM ctrl_z_mark_mag(1, 1)"));
        QVERIFY2(restored.ok, qPrintable(restored.error));
        QCOMPARE(pgRun(admin, rows).rows, before.rows);
        QCOMPARE(pgCount(admin, QStringLiteral("SELECT count(*) FROM del_mark_mag WHERE id_mark_mag IN (1, 2)")), 0);
        QCOMPARE(pgCount(admin, QStringLiteral("SELECT count(*) FROM srv_deleted_rest WHERE id_mark_mag IN (1, 2)")), 0);
        // The trail holds the deletion and the restore, by the editor; the calls are in it too.
        QCOMPARE(pgCount(admin, QStringLiteral("SELECT count(DISTINCT action) FROM srv_audit WHERE row_id = 1 AND \"table\" = 'mark_mag' "
                                               "AND login = 'petrova'")), 2);
        QCOMPARE(pgCount(admin, QStringLiteral("SELECT count(*) FROM srv_audit WHERE action = 'EXECUTE' AND login = 'petrova'")), 3);
    }

    // A selection's missing rows are made once, with new ids after the demo's.
    void createSelectionRows()
    {
        QSqlDatabase editor = as(QStringLiteral("petrova"));
        const QString count = QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_group = 1 AND id_semester = 4 AND id_student = 3");
        QCOMPARE(pgCount(editor, count), 0);
        QVERIFY(pgRun(editor, QStringLiteral("SELECT * FROM insertinto_sort_mark_mag_2(1, 4, 3, 0)")).ok);
        QCOMPARE(pgCount(editor, count), 0);
        const PgRun made = pgRun(editor, QStringLiteral("SELECT * FROM insertinto_sort_mark_mag_2(1, 4, 3, 1)"));
        QVERIFY2(made.ok, qPrintable(made.error));
        QCOMPARE(pgCount(editor, count), 3);
        QVERIFY(pgRun(editor, QStringLiteral("SELECT * FROM insertinto_sort_mark_mag_2(1, 4, 3, 1)")).ok);
        QCOMPARE(pgCount(editor, count), 3);
        QCOMPARE(pgCount(editor, QStringLiteral("SELECT min(id_mark_mag) FROM mark_mag WHERE id_group = 1 AND id_semester = 4 "
                                                "AND id_student = 3")), 187);
        const PgRun journal = pgRun(editor, QStringLiteral("SELECT * FROM sort_2_mark_mag(?, ?, ?)"), {1, 4, 3});
        QVERIFY2(journal.ok, qPrintable(journal.error));
        QCOMPARE(journal.rows.size(), 3);
        QCOMPARE(journal.rows.front().size(), 18);
        const PgRun wrongStudent = pgRun(editor, QStringLiteral("SELECT * FROM insertinto_sort_mark_mag_2(1, 4, 12, 1)"));
        QVERIFY(wrongStudent.error.contains(QLatin1String("The student 12 is not in the group 1.")));
    }

    // The demo is the embedded server's, row for row.
    void demoEqualsEmbedded()
    {
        QTemporaryDir dir;
        QString error;
        auto embedded = olm::server::Session::openAsAdministrator(servertest::freshDemoDatabase(dir), &error);
        QVERIFY2(embedded, qPrintable(error));
        for (const char *statement : demoTables) {
            const QString text = QString::fromLatin1(statement);
            const olm::server::Outcome expected = embedded->execute(text);
            QVERIFY2(expected.ok, qPrintable(expected.error));
            const QStringList want = comparableLines(expected.firstResult()->rows);
            const PgRun actual = pgRun(m_db->superuser(), text.toLower().replace(QLatin1String("[group]"), QLatin1String("\"group\"")));
            QVERIFY2(actual.ok, qPrintable(actual.error));
            const QStringList got = comparableLines(actual.rows);
            QCOMPARE(got.size(), want.size());
            for (qsizetype i = 0; i < want.size(); ++i)
                QVERIFY2(got.at(i) == want.at(i), qPrintable(text + QLatin1String("\n  embedded:   ") + want.at(i)
                                                             + QLatin1String("\n  PostgreSQL: ") + got.at(i)));
        }
    }

    // The administrator's functions, on a user of this test's own (roles belong to the whole cluster).
    void administration()
    {
        QSqlDatabase admin = m_db->superuser();
        const QString login = uniqueLogin();
        m_db->dropRoleAfterwards(login);
        const PgRun refused = pgRun(as(QStringLiteral("petrova")), QStringLiteral("SELECT olm_user_add(?, ?, 'editor')"),
                                    {login, QStringLiteral("secret1")});
        QVERIFY(refused.error.contains(QLatin1String("permission denied")));
        const PgRun weak = pgRun(admin, QStringLiteral("SELECT olm_user_add(?, ?, 'reader')"), {login, QStringLiteral("abc")});
        QVERIFY2(weak.error.contains(QLatin1String("A password is 6 to 20 Latin letters, digits or '_'.")), qPrintable(weak.error));
        const PgRun added = pgRun(admin, QStringLiteral("SELECT olm_user_add(?, ?, 'reader')"), {login, QStringLiteral("secret1")});
        QVERIFY2(added.ok, qPrintable(added.error));
        QVERIFY(pgRun(admin, QStringLiteral("SELECT olm_user_groups(?, '2, 4')"), {login}).ok);
        QVERIFY(pgRun(admin, QStringLiteral("SELECT olm_user_groups(?, '2,99')"), {login}).error.contains(QLatin1String("There is no group 99.")));
        QCOMPARE(pgRun(admin, QStringLiteral("SELECT role, groups FROM olm_user_list() WHERE login = ?"), {login}).rows.value(0),
                 (QVariantList{QStringLiteral("reader"), QStringLiteral("2,4")}));

        PgRun answer = getUser(boot(), login, QStringLiteral("secret1"));
        QVERIFY2(answer.ok, qPrintable(answer.error));
        QCOMPARE(shiftUp(answer.value(0, 0).toString()), login);
        const QString roleName = shiftUp(answer.value(0, 0).toString()), rolePassword = shiftUp(answer.value(0, 1).toString());
        QVERIFY(m_db->connect(roleName, rolePassword).isValid());

        QVERIFY(pgRun(admin, QStringLiteral("SELECT olm_user_role(?, 'editor')"), {login}).ok);
        QVERIFY(pgRun(m_db->connect(roleName, rolePassword), QStringLiteral("UPDATE mark_mag SET p35 = 'z' WHERE id_group = 2")).ok);
        QCOMPARE(pgCount(admin, QStringLiteral("SELECT count(*) FROM mark_mag WHERE p35 = 'z' AND olm_user = ?"), {login}),
                 pgCount(admin, QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_group = 2")));
        QVERIFY(pgCount(admin, QStringLiteral("SELECT count(*) FROM olm_audit_read(NULL, ?, NULL)"), {login}) > 0);

        QVERIFY(pgRun(admin, QStringLiteral("SELECT olm_user_password(?, 'secret2')"), {login}).ok);
        QVERIFY(!getUser(boot(), login, QStringLiteral("secret1")).ok);
        QVERIFY(getUser(boot(), login, QStringLiteral("secret2")).ok);

        QVERIFY(pgRun(admin, QStringLiteral("SELECT olm_user_expire(?)"), {login}).ok);
        answer = getUser(boot(), login, QStringLiteral("secret2"));
        QCOMPARE(answer.value(0, 3).toInt(), -1);
        QVERIFY(answer.value(0, 0).toString().isEmpty());

        QVERIFY(pgRun(admin, QStringLiteral("SELECT olm_user_block(?, 'Заблокирован.')"), {login}).ok);
        answer = getUser(boot(), login, QStringLiteral("secret2"));
        QCOMPARE(answer.value(0, 4).toString(), QStringLiteral("Заблокирован."));
        QVERIFY(!m_db->connect(roleName, rolePassword).isValid());
        QVERIFY(pgRun(admin, QStringLiteral("SELECT olm_user_unblock(?)"), {login}).ok);
        QVERIFY(m_db->connect(roleName, rolePassword).isValid());

        QVERIFY(pgRun(admin, QStringLiteral("SELECT olm_user_remove(?)"), {login}).ok);
        QCOMPARE(pgCount(admin, QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = ?"), {login}), 0);
        QVERIFY(!getUser(boot(), login, QStringLiteral("secret2")).ok);
    }

    void reservedNamesAreRefused_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("error");
        QTest::newRow("superuser") << "postgres" << "is reserved";
        QTest::newRow("group role") << "olm_admin" << "is reserved";
        QTest::newRow("bootstrap") << "olm_boot" << "is reserved";
        QTest::newRow("existing user") << "Petrova" << "already exists";
        QTest::newRow("quote") << "a'b" << "is not one";
        QTest::newRow("blank") << "a b" << "is not one";
    }
    void reservedNamesAreRefused()
    {
        QFETCH(QString, login);
        QFETCH(QString, error);
        const PgRun run = pgRun(m_db->superuser(), QStringLiteral("SELECT olm_user_add(?, 'secret1', 'editor')"), {login});
        QVERIFY(!run.ok);
        QVERIFY2(run.error.contains(error), qPrintable(run.error));
        // Adopting a role with rights of its own is refused too.
        const PgRun adopt = pgRun(m_db->superuser(), QStringLiteral("SELECT olm_user_add('adopter', 'secret1', 'editor', ?, true)"),
                                  {QStringLiteral("olm_contract")});
        QVERIFY(!adopt.ok);
    }
};

OLM_TEST_GUILESS_MAIN(TestPgServer)
#include "tst_pg_server.moc"
