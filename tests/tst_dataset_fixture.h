// What the dataset tests stand on: a fresh copy of the server's demo database per test case, the database
// logins of the demo users (got as the client gets them, through GET_USER), and connections on them.
#pragma once

#include "backends/embedded/EmbeddedBackend.h"
#include "server/Database.h"
#include "server/Schema.h"
#include "tests/support/DemoUsers.h"
#include "server/Session.h"
#include "toolkit/data/ADODB.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace DataSetFixture {

struct DatabaseLogin {
    QString user;
    QString password;
};

/// The demo database made once per test run; each test case works on a copy of it.
class Template {
public:
    static Template &instance()
    {
        static Template t;
        return t;
    }
    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString path() const { return m_folder.filePath(QStringLiteral("template.sqlite")); }
    DatabaseLogin editor() const { return m_editor; }
    DatabaseLogin reader() const { return m_reader; }

private:
    Template()
    {
        QString error;
        if (!olm::server::createDatabase(path(), true, &error)) {
            m_error = QStringLiteral("createDatabase: ") + error;
            return;
        }
        m_editor = signIn(QLatin1String(DemoUsers::Editor), QLatin1String(DemoUsers::EditorPassword));
        m_reader = signIn(QLatin1String(DemoUsers::Reader), QLatin1String(DemoUsers::ReaderPassword));
    }

    static QString restored(const QString &shifted)
    {
        QString text = shifted;
        for (QChar &c : text)
            c = QChar(char16_t((c.unicode() + 1) % 256));
        return text;
    }

    /// The database login a sign-in user reconnects with, from GET_USER's answer.
    DatabaseLogin signIn(const QString &login, const QString &password)
    {
        QString error;
        auto session = olm::server::Session::open(path(), QLatin1String(olm::server::bootstrapLogin),
                                                 QLatin1String(olm::server::bootstrapPassword), &error);
        if (!session) {
            m_error = QStringLiteral("bootstrap login: ") + error;
            return {};
        }
        const QString digest = QString::fromLatin1(
            QCryptographicHash::hash(password.toLatin1(), QCryptographicHash::Md5).toHex().toUpper());
        const olm::server::Outcome answer = session->execute(
            QStringLiteral("EXEC GET_USER '%1','%2',NULL, 'OLM 16', '127.0.0.1', 'TESTPC', '%1','0','4'").arg(login, digest));
        if (!answer.ok || !answer.firstResult() || answer.firstResult()->rows.empty()) {
            m_error = QStringLiteral("GET_USER for %1: %2").arg(login, answer.error);
            return {};
        }
        const QVariantList row = answer.firstResult()->rows.front();
        return {restored(row.value(0).toString()), restored(row.value(1).toString())};
    }

    QTemporaryDir m_folder;
    QString m_error;
    DatabaseLogin m_editor, m_reader;
};

/// A copy of the demo database in a folder of its own, which embedded catalogs are looked up in meanwhile.
class Database {
public:
    Database() : m_previousFolder(embeddedDataFolder())
    {
        Template &t = Template::instance();
        if (!t.isValid()) {
            m_error = t.error();
            return;
        }
        if (!QFile::copy(t.path(), path())) {
            m_error = QStringLiteral("cannot copy the demo database");
            return;
        }
        setEmbeddedDataFolder(m_folder.path());
    }
    ~Database() { setEmbeddedDataFolder(m_previousFolder); }
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString path() const { return m_folder.filePath(QStringLiteral("olm.sqlite")); }

    /// The connection string the sign-in builds, with the database's catalog name.
    static QString connectionString(const DatabaseLogin &login)
    {
        return QStringLiteral("Provider=SQLOLEDB.1;Password=") + login.password
            + QStringLiteral(";Persist Security Info=True;User ID=") + login.user
            + QStringLiteral(";Initial Catalog=olm.sqlite;Data Source=embedded;Use Procedure for Prepare=1;"
                             "Auto Translate=True;Packet Size=4096;Use Encryption for Data=False;"
                             "Tag with column collation when possible=False");
    }
    static QString editorConnection() { return connectionString(Template::instance().editor()); }
    static QString readerConnection() { return connectionString(Template::instance().reader()); }

    /// A session with every right, to change and check rows behind the client's back.
    std::unique_ptr<olm::server::Session> administrator() const
    {
        QString error;
        return olm::server::Session::openAsAdministrator(path(), &error);
    }
    /// One value read with every right.
    QVariant scalar(const QString &statement, const QVariantList &params = {}) const
    {
        const olm::server::Outcome outcome = administrator()->execute(statement, params);
        if (!outcome.ok || !outcome.firstResult() || outcome.firstResult()->rows.empty())
            return QVariant();
        return outcome.firstResult()->rows.front().value(0);
    }
    bool exec(const QString &statement, const QVariantList &params = {}) const
    {
        return administrator()->execute(statement, params).ok;
    }

private:
    QTemporaryDir m_folder;
    QString m_previousFolder;
    QString m_error;
};

/// The 27 persistent fields of the journal, in their fixed order, with their lookup lists.
struct JournalLists {
    TADOQuery *estimationOther, *tFio, *fEst, *sFio, *discipline, *estimation;
    TADOTable *semestr;
};

inline void declareJournalFields(TADOStoredProc *sp, const JournalLists &l)
{
    sp->AddField(QStringLiteral("primech"), ftString, 50);
    sp->AddField(QStringLiteral("dopusk_izm"), ftBoolean);
    sp->AddLookupField(QStringLiteral("EstimationOther"), ftString, 10, QStringLiteral("id_estimation_other"),
                       l.estimationOther, QStringLiteral("id_estimation_other"), QStringLiteral("Estimation_Other"));
    sp->AddField(QStringLiteral("id_estimation_other"), ftInteger);
    sp->AddField(QStringLiteral("id_mark_mag"), ftAutoInc)->setReadOnly(true);
    sp->AddField(QStringLiteral("id_group"), ftInteger);
    sp->AddField(QStringLiteral("id_student"), ftInteger);
    sp->AddField(QStringLiteral("id_examination"), ftInteger)->setReadOnly(true);
    sp->AddField(QStringLiteral("id_discipline"), ftInteger)->setReadOnly(true);
    sp->AddField(QStringLiteral("id_estimation"), ftInteger);
    sp->AddField(QStringLiteral("id_semester"), ftInteger);
    sp->AddField(QStringLiteral("id_teacher"), ftInteger);
    sp->AddField(QStringLiteral("p35"), ftString, 50);
    TField *p36 = sp->AddField(QStringLiteral("p36"), ftDateTime);
    p36->setDisplayFormat(QStringLiteral("dd.mm.yyyy"));
    p36->setEditMask(QStringLiteral("##/##/####"));
    sp->AddField(QStringLiteral("id_f_est"), ftInteger);
    sp->AddField(QStringLiteral("oper"), ftString, 5);
    sp->AddField(QStringLiteral("u_date"), ftDateTime);
    sp->AddLookupField(QStringLiteral("semestr"), ftString, 30, QStringLiteral("id_semester"), l.semestr,
                       QStringLiteral("id_semester"), QStringLiteral("p43"));
    sp->AddField(QStringLiteral("No"), ftInteger, 0, fkCalculated);
    sp->AddLookupField(QStringLiteral("teacher"), ftString, 60, QStringLiteral("id_teacher"), l.tFio,
                       QStringLiteral("id_teacher"), QStringLiteral("t_fio"));
    sp->AddLookupField(QStringLiteral("f_est"), ftString, 30, QStringLiteral("id_f_est"), l.fEst,
                       QStringLiteral("id_f_e"), QStringLiteral("p109"));
    sp->AddLookupField(QStringLiteral("student"), ftString, 70, QStringLiteral("id_student"), l.sFio,
                       QStringLiteral("id_student"), QStringLiteral("s_fio"));
    sp->AddLookupField(QStringLiteral("discipline"), ftString, 85, QStringLiteral("id_discipline"), l.discipline,
                       QStringLiteral("id_discipline"), QStringLiteral("p34"));
    sp->AddLookupField(QStringLiteral("estimation"), ftString, 15, QStringLiteral("id_estimation"), l.estimation,
                       QStringLiteral("id_estimation"), QStringLiteral("p31"));
    sp->AddLookupField(QStringLiteral("exam"), ftString, 15, QStringLiteral("id_examination"), l.discipline,
                       QStringLiteral("id_examination"), QStringLiteral("p30"))->setReadOnly(true);
    sp->AddField(QStringLiteral("OLM_User"), ftString, 20);
    sp->AddField(QStringLiteral("OLM_Update"), ftDate);
}

inline void declareJournalParameters(TADOStoredProc *sp)
{
    sp->setProcedureName(QStringLiteral("SORT_2_MARK_MAG;1"));
    sp->CommandTimeout = 120;
    TParameters *p = sp->Parameters();
    p->AddParameter(QStringLiteral("@RETURN_VALUE"), ftInteger, pdReturnValue);
    p->AddParameter(QStringLiteral("@group"), ftInteger, pdInput);
    p->AddParameter(QStringLiteral("@semester"), ftInteger, pdInput);
    p->AddParameter(QStringLiteral("@student"), ftInteger, pdInput);
}

/// The journal procedure alone (fields made from the columns), for one selection.
inline std::unique_ptr<TADOStoredProc> journal(TADOConnection *connection, const QVariant &group,
                                               const QVariant &semester, const QVariant &student)
{
    auto sp = std::make_unique<TADOStoredProc>();
    sp->setConnection(connection);
    declareJournalParameters(sp.get());
    sp->Parameters()->Items(1)->Value = group;
    sp->Parameters()->Items(2)->Value = semester;
    sp->Parameters()->Items(3)->Value = student;
    return sp;
}

inline std::unique_ptr<TADOQuery> query(TADOConnection *connection, const QString &sql)
{
    auto q = std::make_unique<TADOQuery>();
    q->setConnection(connection);
    q->setSQLText(sql);
    return q;
}

} // namespace DataSetFixture

/// Runs a dataset call; a database error fails the test with the server's own text.
#define DS_VERIFY(statement)                                                                                            \
    do {                                                                                                               \
        try {                                                                                                          \
            statement;                                                                                                 \
        } catch (const Exception &e) {                                                                                 \
            QFAIL(qPrintable(QStringLiteral(#statement ": ") + e.Message));                                           \
        }                                                                                                              \
    } while (false)

/// Expects a dataset call to raise E with a message containing the given text.
#define DS_EXPECT_ERROR(E, statement, text)                                                                            \
    do {                                                                                                               \
        bool raised_ = false;                                                                                          \
        try {                                                                                                          \
            statement;                                                                                                 \
        } catch (const E &e) {                                                                                         \
            raised_ = true;                                                                                            \
            if (!e.Message.contains(QString(text)))                                                                    \
                QFAIL(qPrintable(QStringLiteral("unexpected message: ") + e.Message));                                 \
        }                                                                                                              \
        if (!raised_)                                                                                                  \
            QFAIL(#statement " raised nothing");                                                                       \
    } while (false)
