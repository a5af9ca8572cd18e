// The journal's change history against a fresh demo database: what the executor takes over and gives back,
// and the OLM_LOG entries that posts and deletions through the journal dataset leave on the server.
#include "data/Unit1.h"
#include "data/log_u.h"
#include "journal/LogWriters.h"
#include "platform/FakePlatform.h"
#include "platform/IdIPWatch.h"
#include "server/Database.h"
#include "tests/support/TestDatabase.h"
#include "text/SingleQuotes.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/Dialogs.h"
#include "tests/support/TestMain.h"

#include <QtTest>

using olm::server::Administration;
using olm::server::LogEntry;

namespace {

const QString editorLogin = QStringLiteral("petrova");
const QString address = QStringLiteral("10.1.2.3");
const QString deniedLogInsert =
    QStringLiteral("The INSERT permission was denied on the object 'OLM_LOG', database 'olm', schema 'dbo'.");

QString journalText(const QString &field, const QString &oldText, const QString &newText)
{
    return QStringLiteral("Поле \"%1\" изменило значение \"%2\" на \"%3\".").arg(field, oldText, newText);
}

// The journal of the first demo student of group 1 in semester 1, edited as the demo editor, with the change
// history configured as the journal window does it.
class Journal {
public:
    Journal()
    {
        platform.setLocalAddress(address);
        QString error;
        if (!db.isValid()) {
            m_error = db.error();
            return;
        }
        admin = Administration::open(db.path(), &error);
        if (!admin)
            m_error = error;
    }

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    /// Signs in as the demo editor's database login, creates the history and opens the journal on a row.
    bool open()
    {
        const olm::server::Outcome password = admin->execute(
            QStringLiteral("SELECT password FROM srv_db_logins WHERE name = ?"), {editorLogin});
        if (!password.ok || !password.firstResult() || password.firstResult()->rows.empty()) {
            m_error = QStringLiteral("no database login: ") + password.error;
            return false;
        }
        dm = std::make_unique<TDM_YOT>();
        dm->ADO_YOT->setConnectionString(
            db.connectionString(editorLogin, password.firstResult()->rows.front().front().toString()));
        ipWatch = std::make_unique<TIdIPWatch>();
        ipWatch->setHistoryEnabled(false);
        writers = std::make_unique<TJournalHistoryWriters>(LoginName, ComputerName, *ipWatch, *dm->ADOQ_Exec);
        UpdateHistory = CreateUpdateHistory(*writers, ComputerName, dm->ADO_SP_Sort);
        try {
            for (int i = 1; i <= 3; ++i)
                dm->ADO_SP_Sort->Parameters()->Items(i)->Value = 1;
            dm->ADO_SP_Sort->Open();
            if (dm->ADO_SP_Sort->IsEmpty()) {
                m_error = QStringLiteral("the demo journal is empty");
                return false;
            }
            rowId = field("id_mark_mag")->AsInteger();
        } catch (const Exception &e) {
            m_error = e.Message;
            return false;
        }
        return true;
    }

    TDataSet *journal() const { return dm->ADO_SP_Sort; }
    TField *field(const char *name) const { return journal()->FieldByName(QLatin1String(name)); }

    /// Changes the current row behind the client's back, as another user would.
    bool setRow(const QString &assignments, QVariantList values, int id = 0)
    {
        values.append(id ? id : rowId);
        const auto outcome = admin->execute(
            QStringLiteral("UPDATE mark_mag SET ") + assignments + QStringLiteral(" WHERE id_mark_mag = ?"), values);
        if (!outcome.ok)
            m_error = outcome.error;
        return outcome.ok;
    }
    /// The row as the server holds it now (null when it is gone).
    QVariant stored(const QString &column) const
    {
        const auto outcome = admin->execute(
            QStringLiteral("SELECT ") + column + QStringLiteral(" FROM mark_mag WHERE id_mark_mag = ?"), {rowId});
        if (!outcome.ok || !outcome.firstResult() || outcome.firstResult()->rows.empty())
            return {};
        return outcome.firstResult()->rows.front().front();
    }
    /// Re-reads the journal so the client sees the server's values, staying on the row.
    void reread()
    {
        journal()->Close();
        journal()->Open();
        journal()->Locate(QStringLiteral("id_mark_mag"), rowId);
    }

    QList<LogEntry> log() const
    {
        QString error;
        const auto entries = admin->log(&error);
        return entries ? *entries : QList<LogEntry>{};
    }
    QStringList descriptions() const
    {
        QStringList texts;
        for (const LogEntry &entry : log())
            texts.append(entry.description);
        return texts;
    }

    TestDatabase db;
    std::unique_ptr<Administration> admin;
    olm::platform::FakePlatform platform;
    olm::platform::ScopedPlatform scopedPlatform{platform};
    QString LoginName = editorLogin;
    QString ComputerName;
    std::unique_ptr<TDM_YOT> dm;
    std::unique_ptr<TIdIPWatch> ipWatch;
    std::unique_ptr<TJournalHistoryWriters> writers;
    std::unique_ptr<TADOUpdateHistoryExec> UpdateHistory;
    int rowId = 0;

private:
    QString m_error;
};

#define OPEN_JOURNAL(j)                                                                                          \
    Journal j;                                                                                                   \
    QVERIFY2(j.isValid(), qPrintable(j.error()));                                                               \
    QVERIFY2(j.open(), qPrintable(j.error()))

// Wraps the six handlers the executor takes over, so a test sees which of them ran. Without passOn the
// data module's own handlers are left out (they need a connection).
void recordHandlers(TDataSet *dataSet, QStringList *calls, bool passOn = true)
{
    const auto notify = [calls, passOn](const char *name, TDataSetNotifyEvent handler) {
        return [calls, name, handler = passOn ? handler : TDataSetNotifyEvent()](TDataSet *d) {
            calls->append(QLatin1String(name));
            if (handler)
                handler(d);
        };
    };
    const auto error = [calls](const char *name) {
        return [calls, name](TDataSet *, EDatabaseError &, TDataAction &) { calls->append(QLatin1String(name)); };
    };
    dataSet->BeforePost = notify("BeforePost", dataSet->BeforePost);
    dataSet->AfterPost = notify("AfterPost", dataSet->AfterPost);
    dataSet->BeforeDelete = notify("BeforeDelete", dataSet->BeforeDelete);
    dataSet->AfterDelete = notify("AfterDelete", dataSet->AfterDelete);
    dataSet->OnEditError = error("OnEditError");
    dataSet->OnPostError = error("OnPostError");
}

void fireAllSix(TDataSet *dataSet)
{
    EDatabaseError e(QStringLiteral("test"));
    TDataAction action = daFail;
    for (const auto *slot : {&dataSet->BeforePost, &dataSet->AfterPost, &dataSet->BeforeDelete, &dataSet->AfterDelete})
        if (*slot)
            (*slot)(dataSet);
    if (dataSet->OnEditError)
        dataSet->OnEditError(dataSet, e, action);
    if (dataSet->OnPostError)
        dataSet->OnPostError(dataSet, e, action);
}

const QStringList allSix{QStringLiteral("BeforePost"), QStringLiteral("AfterPost"), QStringLiteral("BeforeDelete"),
                         QStringLiteral("AfterDelete"), QStringLiteral("OnEditError"), QStringLiteral("OnPostError")};

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void executorGivesHandlersBack();
    void attachFlags_data();
    void attachFlags();
    void configuration();
    void quoting_data();
    void quoting();
    void fieldTexts_data();
    void fieldTexts();

    void changedFieldsInFieldOrder();
    void valueTypedBackLogsNothing();
    void p35Descriptions_data();
    void p35Descriptions();
    void deletedRowListsEveryDataField();
    void postErrorDetachesForGood();
    void loginAndComputerStoredAsTyped_data();
    void loginAndComputerStoredAsTyped();
    void rejectedLogStatementReachesCaller();
    void rowIdAsWritten_data();
    void rowIdAsWritten();

private:
    std::unique_ptr<TApplication> m_application;
};

void TestHistory::initTestCase()
{
    m_application = std::make_unique<TApplication>();
    m_application->setTitle(QStringLiteral("OLM 16 Учет успеваемости"));
}

void TestHistory::cleanupTestCase()
{
    m_application.reset();
}

void TestHistory::executorGivesHandlersBack()
{
    TDM_YOT dm;
    TDataSet *journal = dm.ADO_SP_Sort;
    QStringList calls;
    recordHandlers(journal, &calls, false);
    {
        TADOUpdateHistoryExec history;
        QCOMPARE(history.DataSet(), nullptr);
        QVERIFY(history.TableName().isEmpty() && history.KeyFieldName().isEmpty() && history.Template().isEmpty());
        QVERIFY(history.Statements().isEmpty());
        QVERIFY(history.LogChanges());
        QVERIFY(!history.LogDeletes());
        QVERIFY(!history.OnFieldChanged && !history.OnRecordDeleted && !history.OnExecuteStatements);
        const TUpdateHistorySavedEvents &saved = history.SavedEvents();
        QVERIFY(!saved.BeforePost && !saved.AfterPost && !saved.BeforeDelete && !saved.AfterDelete
                && !saved.OnEditError && !saved.OnPostError);
        history.Detach();   // nothing attached: nothing happens

        history.Attach(journal, QStringLiteral("mark_mag"), QStringLiteral("id_mark_mag"), true, true);
        // Attached twice: the second attach must not save the first one's hooks.
        history.Attach(journal, QStringLiteral("mark_mag"), QStringLiteral("id_mark_mag"), true, true);
        QCOMPARE(history.DataSet(), journal);
        fireAllSix(journal);
        // Post and delete events pass on; the first error stops at the executor, which detaches, so the
        // next one already reaches the handler given back.
        QCOMPARE(calls, allSix.mid(0, 4) << QStringLiteral("OnPostError"));
        QCOMPARE(history.DataSet(), nullptr);
        calls.clear();
        fireAllSix(journal);
        QCOMPARE(calls, allSix);

        calls.clear();
        history.Attach(journal, QStringLiteral("mark_mag"), QStringLiteral("id_mark_mag"), false, false);
    }
    // The destructor detached.
    fireAllSix(journal);
    QCOMPARE(calls, allSix);
}

void TestHistory::attachFlags_data()
{
    QTest::addColumn<bool>("changes");
    QTest::addColumn<bool>("deletes");
    QTest::newRow("changes and deletes") << true << true;
    QTest::newRow("changes only") << true << false;
    QTest::newRow("deletes only") << false << true;
    QTest::newRow("neither") << false << false;
}

void TestHistory::attachFlags()
{
    QFETCH(bool, changes);
    QFETCH(bool, deletes);
    OPEN_JOURNAL(j);
    QStringList calls;
    j.UpdateHistory->Detach();
    recordHandlers(j.journal(), &calls);
    j.UpdateHistory->Attach(j.journal(), QStringLiteral("mark_mag"), QStringLiteral("id_mark_mag"), changes, deletes);
    QCOMPARE(j.UpdateHistory->LogChanges(), changes);
    QCOMPARE(j.UpdateHistory->LogDeletes(), deletes);

    j.journal()->Edit();
    j.field("p35")->setAsString(QStringLiteral("77"));
    j.journal()->Post();
    QCOMPARE(j.log().size(), changes ? 1 : 0);
    QCOMPARE(j.stored(QStringLiteral("p35")).toString(), QStringLiteral("77"));

    j.journal()->Delete();
    QCOMPARE(j.log().size(), (changes ? 1 : 0) + (deletes ? 1 : 0));
    QVERIFY(j.stored(QStringLiteral("id_mark_mag")).isNull());
    // The data module's handlers ran once each, whatever the flags.
    QCOMPARE(calls, allSix.mid(0, 4));

    calls.clear();
    j.UpdateHistory->Detach();
    fireAllSix(j.journal());
    QCOMPARE(calls, allSix);
}

void TestHistory::configuration()
{
    Journal j;
    QVERIFY2(j.isValid(), qPrintable(j.error()));
    j.platform.setComputerName(QString(120, QLatin1Char('K')));
    QVERIFY2(j.open(), qPrintable(j.error()));
    const TADOUpdateHistoryExec &history = *j.UpdateHistory;
    QCOMPARE(history.DataSet(), j.journal());
    QCOMPARE(history.TableName(), QStringLiteral("mark_mag"));
    QCOMPARE(history.KeyFieldName(), QStringLiteral("id_mark_mag"));
    QCOMPARE(history.Template(), QStringLiteral("Поле \"<?>\" изменило значение \"<old>\" на \"<new>\"."));
    QVERIFY(history.LogChanges() && history.LogDeletes());
    QVERIFY(history.OnFieldChanged && history.OnRecordDeleted && history.OnExecuteStatements);
    // A buffer of 101 characters holds 100 of the name.
    QCOMPARE(j.ComputerName, QString(100, QLatin1Char('K')));

    j.LoginName = QStringLiteral("o'neil");
    QCOMPARE(j.writers->LogEntry(QStringLiteral("mark_mag"), QStringLiteral("12"), QStringLiteral("d ''x''")),
             QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) VALUES('mark_mag', 12, "
                            "'d ''x''', 'o''neil', '")
                 + j.ComputerName + QStringLiteral("\\10.1.2.3')"));
}

void TestHistory::quoting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("once");
    QTest::addColumn<QString>("twice");
    QTest::addColumn<QString>("doubled");
    QTest::newRow("empty") << "" << "''" << "''''" << "";
    QTest::newRow("plain") << "mark_mag" << "'mark_mag'" << "''mark_mag''" << "mark_mag";
    QTest::newRow("quotes") << "O'B''" << "'O'B'''" << "''O'B''''" << "O''B''''";
}

void TestHistory::quoting()
{
    QFETCH(QString, text);
    QFETCH(QString, once);
    QFETCH(QString, twice);
    QFETCH(QString, doubled);
    QCOMPARE(QuoteText(text), once);
    QCOMPARE(QuoteTextTwice(text), twice);
    QCOMPARE(olm::text::doubleSingleQuotes(text), doubled);
}

void TestHistory::fieldTexts_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("valueText");
    QTest::newRow("float") << "2.5 AS f" << "''2.5''" << "2.5";
    QTest::newRow("null float") << "CAST(NULL AS FLOAT) AS f" << "NULL" << "NULL";
    QTest::newRow("string with a quote") << "p35" << "''O''B''" << "O''B";
    QTest::newRow("null string") << "oper" << "NULL" << "NULL";
    QTest::newRow("date-time with a time of day") << "u_date" << "''12.01.2009 10:11:12''" << "12.01.2009";
    QTest::newRow("date-time at midnight") << "p36" << "''05.01.2009''" << "05.01.2009";
    QTest::newRow("boolean") << "dopusk_izm" << "True" << "True";
    QTest::newRow("integer") << "id_teacher" << "3" << "3";
}

// The rendering of every kind of value, on a query's fields as the server types them.
void TestHistory::fieldTexts()
{
    QFETCH(QString, column);
    QFETCH(QString, literal);
    QFETCH(QString, valueText);
    OPEN_JOURNAL(j);
    QVERIFY2(j.setRow(QStringLiteral("p35 = ?, oper = NULL, u_date = ?, p36 = ?, dopusk_izm = 1, id_teacher = 3"),
                      {QStringLiteral("O'B"), QDateTime(QDate(2009, 1, 12), QTime(10, 11, 12)),
                       QDateTime(QDate(2009, 1, 5), QTime(0, 0))}),
             qPrintable(j.error()));
    TADOQuery query;
    query.setConnection(j.dm->ADO_YOT);
    query.setSQLText(QStringLiteral("SELECT ") + column + QStringLiteral(" FROM mark_mag WHERE id_mark_mag = ")
                     + QString::number(j.rowId));
    query.Open();
    const TField *field = query.Fields().front();
    QCOMPARE(FieldLiteral(field), literal);
    QCOMPARE(FieldValueText(field, false), valueText);
    QCOMPARE(FieldValueText(field, true), valueText);
}

void TestHistory::changedFieldsInFieldOrder()
{
    OPEN_JOURNAL(j);
    QVERIFY2(j.setRow(QStringLiteral("id_teacher = ?, p36 = ?"),
                      {3, QDateTime(QDate(2009, 1, 5), QTime(10, 11, 12))}),
             qPrintable(j.error()));
    j.reread();
    // Set in the reverse of field order: the entries still follow the fields.
    j.journal()->Edit();
    j.field("p36")->setValue(QDateTime(QDate(2009, 1, 12), QTime(0, 0)));
    j.field("id_teacher")->setValue(5);
    j.journal()->Post();

    const QList<LogEntry> log = j.log();
    QCOMPARE(j.descriptions(),
             QStringList({journalText(QStringLiteral("id_teacher"), QStringLiteral("3"), QStringLiteral("5")),
                          journalText(QStringLiteral("p36"), QStringLiteral("05.01.2009"), QStringLiteral("12.01.2009"))}));
    for (const LogEntry &entry : log) {
        QCOMPARE(entry.table, QStringLiteral("mark_mag"));
        QCOMPARE(entry.rowId.toInt(), j.rowId);
        QCOMPARE(entry.user, editorLogin);
        QCOMPARE(entry.computer, QStringLiteral("TESTPC\\") + address);
    }
    QCOMPARE(j.stored(QStringLiteral("id_teacher")).toInt(), 5);
    QVERIFY(j.UpdateHistory->Statements().isEmpty());
    // The data module's after-post ran: the mark list is the full one again.
    QCOMPARE(j.dm->ADOQ_estimation->SQLText(), QStringLiteral("select * from est2"));
}

void TestHistory::valueTypedBackLogsNothing()
{
    OPEN_JOURNAL(j);
    const QVariant p35 = j.field("p35")->Value();
    const QVariant teacher = j.field("id_teacher")->Value();
    j.journal()->Edit();
    j.field("p35")->setAsString(QStringLiteral("999"));
    j.field("id_teacher")->setValue(teacher.toInt() + 1);
    j.field("p35")->setValue(p35);
    j.field("id_teacher")->setValue(teacher);
    j.journal()->Post();
    QCOMPARE(j.log().size(), 0);
}

void TestHistory::p35Descriptions_data()
{
    const QString journal = JournalChangeTemplate();
    const QVariant null = QVariant(QMetaType(QMetaType::QString));
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QVariant>("before");
    QTest::addColumn<QVariant>("after");
    QTest::addColumn<QString>("description");
    QTest::newRow("single quote") << journal << QVariant(QStringLiteral("100")) << QVariant(QStringLiteral("O'Brien"))
                                  << journalText(QStringLiteral("p35"), QStringLiteral("100"), QStringLiteral("O'Brien"));
    QTest::newRow("quote in the old text") << journal << QVariant(QStringLiteral("a'b")) << QVariant(QStringLiteral("c"))
                                           << journalText(QStringLiteral("p35"), QStringLiteral("a'b"), QStringLiteral("c"));
    QTest::newRow("cleared") << journal << QVariant(QStringLiteral("100")) << null
                             << journalText(QStringLiteral("p35"), QStringLiteral("100"), QStringLiteral("NULL"));
    QTest::newRow("from null") << journal << null << QVariant(QStringLiteral("7"))
                               << journalText(QStringLiteral("p35"), QStringLiteral("NULL"), QStringLiteral("7"));
    QTest::newRow("empty template") << QString() << QVariant(QStringLiteral("1")) << QVariant(QStringLiteral("2"))
                                    << QStringLiteral("The field \"p35\" has been changed from \"1\" on \"2\".");
    QTest::newRow("placeholders repeated") << QStringLiteral("<?>: <old> -> <new> (<?>, <new>)")
                                           << QVariant(QStringLiteral("1")) << QVariant(QStringLiteral("2"))
                                           << QStringLiteral("p35: 1 -> 2 (p35, 2)");
    // "<new>" replaced last, over the text the earlier replacements produced.
    QTest::newRow("old value looks like a placeholder")
        << journal << QVariant(QStringLiteral("<new>")) << QVariant(QStringLiteral("x"))
        << journalText(QStringLiteral("p35"), QStringLiteral("x"), QStringLiteral("x"));
}

void TestHistory::p35Descriptions()
{
    QFETCH(QString, templateText);
    QFETCH(QVariant, before);
    QFETCH(QVariant, after);
    QFETCH(QString, description);
    OPEN_JOURNAL(j);
    QVERIFY2(j.setRow(QStringLiteral("p35 = ?"), {before}), qPrintable(j.error()));
    j.reread();
    j.UpdateHistory->setTemplate(templateText);
    j.journal()->Edit();
    j.field("p35")->setValue(after);
    j.journal()->Post();
    QCOMPARE(j.descriptions(), QStringList{description});
    const QVariant stored = j.stored(QStringLiteral("p35"));
    QCOMPARE(stored.isNull(), after.isNull());
    QCOMPARE(stored.toString(), after.toString());
}

void TestHistory::deletedRowListsEveryDataField()
{
    OPEN_JOURNAL(j);
    QVERIFY2(j.setRow(QStringLiteral("primech = ?, dopusk_izm = ?, id_estimation_other = NULL, id_estimation = ?, "
                                     "id_teacher = ?, p35 = ?, p36 = ?, id_f_est = ?, oper = NULL, u_date = ?"),
                      {QStringLiteral("н/д"), true, 13, 3, QStringLiteral("O'B"),
                       QDateTime(QDate(2009, 1, 12), QTime(0, 0)), 1, QDateTime(QDate(2009, 1, 12), QTime(10, 11, 12))}),
             qPrintable(j.error()));
    j.reread();
    const QString examination = j.stored(QStringLiteral("id_examination")).toString();
    const QString discipline = j.stored(QStringLiteral("id_discipline")).toString();
    const QString user = j.stored(QStringLiteral("OLM_User")).toString();
    const QString updated = j.stored(QStringLiteral("OLM_Update")).toDate().toString(QStringLiteral("dd.MM.yyyy"));
    const QString id = QString::number(j.rowId);

    j.journal()->Delete();

    const QString expected =
        QStringLiteral("Запись с уникальным номером - '%1' была удалена - (primech['н/д'], dopusk_izm[True], "
                       "id_estimation_other[NULL], id_mark_mag[%1], id_group[1], id_student[1], id_examination[%2], "
                       "id_discipline[%3], id_estimation[13], id_semester[1], id_teacher[3], p35['O'B'], "
                       "p36['12.01.2009'], id_f_est[1], oper[NULL], u_date['12.01.2009 10:11:12'], OLM_User['%4'], "
                       "OLM_Update['%5']).")
            .arg(id, examination, discipline, user, updated);
    QCOMPARE(j.descriptions(), QStringList{expected});
    QCOMPARE(j.log().front().rowId.toInt(), j.rowId);
    QVERIFY(j.stored(QStringLiteral("id_mark_mag")).isNull());
}

void TestHistory::postErrorDetachesForGood()
{
    OPEN_JOURNAL(j);
    ScopedDialogAnswers answers;
    j.journal()->Edit();
    j.field("p35")->setAsString(QStringLiteral("mine"));
    // Another user changed the row since it was read: the server refuses the write.
    QVERIFY2(j.setRow(QStringLiteral("p35 = ?"), {QStringLiteral("theirs")}), qPrintable(j.error()));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, j.journal()->Post());
    // The first error passes the data module's post-error handler by: no message, the row still edited.
    QCOMPARE(answers.shown().size(), 0);
    QCOMPARE(j.journal()->State(), dsEdit);
    QCOMPARE(j.UpdateHistory->DataSet(), nullptr);
    j.journal()->Cancel();

    j.reread();
    j.journal()->Edit();
    j.field("p35")->setAsString(QStringLiteral("later"));
    j.journal()->Post();
    QCOMPARE(j.stored(QStringLiteral("p35")).toString(), QStringLiteral("later"));
    j.journal()->Delete();
    QVERIFY(j.stored(QStringLiteral("id_mark_mag")).isNull());
    QCOMPARE(j.log().size(), 0);

    // From now on the data module's own handler answers post errors.
    const int other = j.field("id_mark_mag")->AsInteger();
    j.journal()->Edit();
    j.field("p35")->setAsString(QStringLiteral("mine"));
    QVERIFY2(j.setRow(QStringLiteral("p35 = ?"), {QStringLiteral("theirs")}, other), qPrintable(j.error()));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, j.journal()->Post());
    QCOMPARE(answers.shown().size(), 1);
    QCOMPARE(answers.shown().front().caption, QStringLiteral("Warning!"));
    QCOMPARE(j.log().size(), 0);
}

void TestHistory::loginAndComputerStoredAsTyped_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("computer");
    QTest::newRow("quote in the login") << "o'neil" << "TESTPC";
    QTest::newRow("quote in the computer name") << editorLogin << "PC'7";
    QTest::newRow("statement in the login") << "');DROP TABLE x;--" << "TESTPC";
    QTest::newRow("statement in the computer name") << editorLogin << "PC', 1, 'x', 'y', 'z');--";
}

void TestHistory::loginAndComputerStoredAsTyped()
{
    QFETCH(QString, login);
    QFETCH(QString, computer);
    Journal j;
    QVERIFY2(j.isValid(), qPrintable(j.error()));
    j.platform.setComputerName(computer);
    j.LoginName = login;
    QVERIFY2(j.open(), qPrintable(j.error()));

    j.journal()->Edit();
    j.field("p35")->setAsString(QStringLiteral("1"));
    j.journal()->Post();
    j.journal()->Delete();

    const QList<LogEntry> log = j.log();
    QCOMPARE(log.size(), 2);
    for (const LogEntry &entry : log) {
        QCOMPARE(entry.user, login);
        QCOMPARE(entry.computer, computer + QLatin1Char('\\') + address);
        QCOMPARE(entry.table, QStringLiteral("mark_mag"));
    }
}

void TestHistory::rejectedLogStatementReachesCaller()
{
    Journal j;
    QVERIFY2(j.isValid(), qPrintable(j.error()));
    const auto revoked =
        j.admin->execute(QStringLiteral("DELETE FROM srv_rights WHERE login = ? AND object = 'OLM_LOG' AND action = 'INSERT'"),
                         {editorLogin});
    QVERIFY2(revoked.ok, qPrintable(revoked.error));
    QString error;
    QVERIFY2(j.admin->setTrace(true, &error), qPrintable(error));
    QVERIFY2(j.open(), qPrintable(j.error()));

    const QString narrowed = QStringLiteral("select * from est2 where id_examination = 1");
    j.dm->ADOQ_estimation->setSQLText(narrowed);
    j.journal()->Edit();
    j.field("id_teacher")->setValue(j.field("id_teacher")->AsInteger() + 1);
    j.field("p35")->setAsString(QStringLiteral("X"));
    try {
        j.journal()->Post();
        QFAIL("the post reported no error");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.Message, deniedLogInsert);
    }
    // The row is written; no entry is; the second statement was never sent.
    QCOMPARE(j.stored(QStringLiteral("p35")).toString(), QStringLiteral("X"));
    QCOMPARE(j.log().size(), 0);
    const auto trace = j.admin->trace(&error);
    QVERIFY2(trace, qPrintable(error));
    int sent = 0;
    for (const auto &entry : *trace)
        sent += entry.statement.contains(QLatin1String("INSERT INTO OLM_LOG")) ? 1 : 0;
    QCOMPARE(sent, 1);
    // The error left before the data module's after-post and before the list was cleared.
    QCOMPARE(j.dm->ADOQ_estimation->SQLText(), narrowed);
    QCOMPARE(j.UpdateHistory->Statements().size(), 2);
    QCOMPARE(j.UpdateHistory->DataSet(), j.journal());

    // Where nobody catches it, the default error display shows the server's text.
    ScopedDialogAnswers answers;
    j.journal()->Edit();
    j.field("p35")->setAsString(QStringLiteral("Y"));
    QVERIFY(!Application->guarded([&] { j.journal()->Post(); }));
    QCOMPARE(answers.shown().size(), 1);
    QCOMPARE(answers.shown().front().text, deniedLogInsert);
    QCOMPARE(j.stored(QStringLiteral("p35")).toString(), QStringLiteral("Y"));
}

void TestHistory::rowIdAsWritten_data()
{
    QTest::addColumn<QString>("keyColumn");
    QTest::addColumn<QString>("rowId");
    QTest::addColumn<QString>("keyInDescription");
    QTest::addColumn<bool>("storable");
    QTest::newRow("integer") << "12" << "12" << "''12''" << true;
    QTest::newRow("negative integer") << "-5" << "-5" << "''-5''" << true;
    QTest::newRow("null") << "CAST(NULL AS INT)" << "NULL" << "''''" << true;
    QTest::newRow("text") << "'x1'" << "'x1'" << "''x1''" << false;
    QTest::newRow("text with a quote") << "'a''b'" << "'a''b'" << "''a''b''" << false;
    QTest::newRow("text that would end the statement") << "'1, 2); DROP TABLE mark_mag; --'"
                                                       << "'1, 2); DROP TABLE mark_mag; --'"
                                                       << "''1, 2); DROP TABLE mark_mag; --''" << false;
}

// The key goes into the statement bare only when it is a number; a null key is the bare word NULL.
void TestHistory::rowIdAsWritten()
{
    QFETCH(QString, keyColumn);
    QFETCH(QString, rowId);
    QFETCH(QString, keyInDescription);
    QFETCH(bool, storable);
    OPEN_JOURNAL(j);
    TADOQuery key;
    key.setConnection(j.dm->ADO_YOT);
    key.setSQLText(QStringLiteral("SELECT ") + keyColumn + QStringLiteral(" AS id_mark_mag"));
    key.Open();

    QStringList list;
    j.writers->LogFieldChanged(QStringLiteral("d"), &key, QStringLiteral("mark_mag"), QStringLiteral("id_mark_mag"), list);
    j.writers->LogRecordDeleted(QStringLiteral("(x)"), &key, QStringLiteral("mark_mag"), QStringLiteral("id_mark_mag"),
                                list);
    const QString computer = QStringLiteral(", 'petrova', '") + j.ComputerName + QStringLiteral("\\10.1.2.3')");
    const QString start = QStringLiteral("INSERT INTO OLM_LOG([table], [row_id], [descr], [OLM_User], [comp]) "
                                         "VALUES('mark_mag', ") + rowId + QStringLiteral(", '");
    QCOMPARE(list, QStringList({start + QStringLiteral("d'") + computer,
                                start + QStringLiteral("Запись с уникальным номером - ") + keyInDescription
                                    + QStringLiteral(" была удалена - (x).'") + computer}));
    if (!storable)
        return;
    j.writers->ExecuteLogStatements(list);
    const QList<LogEntry> log = j.log();
    QCOMPARE(log.size(), 2);
    const bool null = rowId == QLatin1String("NULL");
    QCOMPARE(log.front().rowId.isNull(), null);
    if (!null)
        QCOMPARE(log.front().rowId.toString(), rowId);
}

OLM_TEST_MAIN(TestHistory)
#include "tst_history.moc"
