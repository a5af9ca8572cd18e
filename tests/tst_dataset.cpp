// The dataset layer against the embedded server on a fresh demo database: the three dataset kinds and their
// parameters, the journal's fields and lookups, calculated fields, filters, sorting, bookmarks, events,
// refused and concurrent writes, and the notifications bound controls get.
#include "tst_dataset_fixture.h"

#include "server/Database.h"
#include "toolkit/data/ADODB.h"
#include "tests/support/TestMain.h"

#include <QSignalSpy>
#include <QTest>

using namespace DataSetFixture;

namespace {

/// The journal with its lists, declared as the data module declares them.
struct JournalModule {
    explicit JournalModule(TADOConnection *connection)
    {
        auto list = [&](const QString &sql) {
            auto q = query(connection, sql);
            TADOQuery *raw = q.get();
            lists.push_back(std::move(q));
            return raw;
        };
        l.estimationOther = list(QStringLiteral("SELECT EstimationOther.* \r\nFROM EstimationOther, com_sfe\r\n"
                                                "WHERE EstimationOther.id_ebe_var = com_sfe.id_ebe_var AND\r\n"
                                                "             com_sfe.id_speciality=:id_speciality"));
        l.estimationOther->Parameters()->ParamByName(QStringLiteral("id_speciality"))->Value = 1;
        l.tFio = list(QStringLiteral("select * from t_fio"));
        l.fEst = list(QStringLiteral("select * from f_est"));
        l.sFio = list(QStringLiteral("select * from s_fio"));
        l.discipline = list(QStringLiteral("select * from gr_sem_disc_exam where id_group = 1 and id_semester = 1"));
        l.estimation = list(QStringLiteral("select * from est2"));
        semestr = std::make_unique<TADOTable>();
        semestr->setConnection(connection);
        semestr->setTableName(QStringLiteral("semester"));
        l.semestr = semestr.get();
        sp = std::make_unique<TADOStoredProc>();
        sp->setName(QStringLiteral("ADO_SP_Sort"));
        sp->setConnection(connection);
        declareJournalParameters(sp.get());
        declareJournalFields(sp.get(), l);
    }

    void open(int group, int semester, int student)
    {
        for (auto &q : lists)
            q->Open();
        semestr->Open();
        sp->Parameters()->Items(1)->Value = group;
        sp->Parameters()->Items(2)->Value = semester;
        sp->Parameters()->Items(3)->Value = student;
        sp->Open();
    }

    std::vector<std::unique_ptr<TADOQuery>> lists;
    std::unique_ptr<TADOTable> semestr;
    JournalLists l{};
    std::unique_ptr<TADOStoredProc> sp;
};

QStringList columnValues(TDataSet *ds, const QString &field)
{
    QStringList values;
    for (ds->First(); !ds->Eof(); ds->Next())
        values.append(ds->FieldByName(field)->AsString());
    return values;
}

/// Every dataset event, in the order they ran.
struct EventLog {
    QStringList events;
    void attach(TDataSet *ds)
    {
        auto note = [this](const char *name) { return [this, name](TDataSet *) { events.append(QLatin1String(name)); }; };
        ds->BeforeOpen = note("BeforeOpen");
        ds->AfterOpen = note("AfterOpen");
        ds->BeforeClose = note("BeforeClose");
        ds->AfterClose = note("AfterClose");
        ds->BeforeInsert = note("BeforeInsert");
        ds->AfterInsert = note("AfterInsert");
        ds->BeforeEdit = note("BeforeEdit");
        ds->AfterEdit = note("AfterEdit");
        ds->BeforePost = note("BeforePost");
        ds->AfterPost = note("AfterPost");
        ds->BeforeCancel = note("BeforeCancel");
        ds->AfterCancel = note("AfterCancel");
        ds->BeforeDelete = note("BeforeDelete");
        ds->AfterDelete = note("AfterDelete");
        ds->BeforeScroll = note("BeforeScroll");
        ds->AfterScroll = note("AfterScroll");
        ds->OnNewRecord = note("OnNewRecord");
    }
    QStringList take()
    {
        QStringList taken = events;
        events.clear();
        return taken;
    }
};

} // namespace

class TestDataSet : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Database> m_db;
    std::unique_ptr<TADOConnection> m_conn;

    QVariant scalar(const QString &sql, const QVariantList &params = {}) const { return m_db->scalar(sql, params); }
    int count(const QString &sql) const { return scalar(sql).toInt(); }

private slots:
    void initTestCase() { QVERIFY2(Template::instance().isValid(), qPrintable(Template::instance().error())); }

    void init()
    {
        m_db = std::make_unique<Database>();
        QVERIFY2(m_db->isValid(), qPrintable(m_db->error()));
        m_conn = std::make_unique<TADOConnection>();
        m_conn->setConnectionString(Database::editorConnection());
    }

    void cleanup()
    {
        m_conn.reset();
        m_db.reset();
    }

    // --- Opening -------------------------------------------------------------------------------------------

    void openCloseRequery_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("query") << "query";
        QTest::newRow("table") << "table";
        QTest::newRow("procedure") << "procedure";
    }

    void openCloseRequery()
    {
        QFETCH(QString, kind);
        std::unique_ptr<TCustomADODataSet> ds;
        int expected = 0;
        if (kind == QLatin1String("query")) {
            ds = query(m_conn.get(), QStringLiteral("select * from t_fio"));
            expected = count(QStringLiteral("select count(*) from t_fio"));
        } else if (kind == QLatin1String("table")) {
            auto table = std::make_unique<TADOTable>();
            table->setConnection(m_conn.get());
            table->setTableName(QStringLiteral("t_fio"));
            ds = std::move(table);
            expected = count(QStringLiteral("select count(*) from t_fio"));
        } else {
            ds = journal(m_conn.get(), 1, 1, 1);
            expected = count(QStringLiteral("select count(*) from mark_mag where id_group = 1 and id_semester = 1 "
                                            "and id_student = 1"));
        }
        QVERIFY(expected > 1);
        QVERIFY(!m_conn->Connected());
        DS_VERIFY(ds->Open());
        QVERIFY(ds->Active());
        QVERIFY(m_conn->Connected());
        QCOMPARE(ds->RecordCount(), expected);
        QCOMPARE(ds->RecNo(), 1);
        QVERIFY(ds->FieldCount() > 1);

        ds->Close();
        QVERIFY(!ds->Active());
        QCOMPARE(ds->FieldCount(), 0);   // fields made from the columns go with the rows
        QCOMPARE(ds->RecordCount(), 0);
        QVERIFY2(!m_conn->Connected(), "a connection opened by a dataset closes with its last dataset");

        DS_VERIFY(ds->Open());
        DS_VERIFY(ds->Requery());
        QCOMPARE(ds->RecordCount(), expected);

        // Refresh reads again what another session changed and keeps the current record.
        ds->setRecNo(2);
        const QString key = ds->Fields().at(0)->FieldName();
        if (kind == QLatin1String("procedure")) {
            const int id = ds->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
            QVERIFY(m_db->exec(QStringLiteral("UPDATE mark_mag SET p35 = 'R-1' WHERE id_mark_mag = ?"), {id}));
            DS_VERIFY(ds->Refresh());
            QCOMPARE(ds->RecNo(), 2);
            QCOMPARE(ds->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger(), id);
            QCOMPARE(ds->FieldByName(QStringLiteral("p35"))->AsString(), QStringLiteral("R-1"));
        } else {
            QVERIFY(m_db->exec(QStringLiteral("INSERT INTO t_fio (t_fio) VALUES ('Новиков П. П.')")));
            DS_VERIFY(ds->Refresh());
            QCOMPARE(ds->RecordCount(), expected + 1);
        }
    }

    void openFailuresLeaveTheDatasetClosed()
    {
        auto bad = query(m_conn.get(), QStringLiteral("select * from no_such_table"));
        DS_EXPECT_ERROR(EDatabaseError, bad->Open(), "no_such_table");
        QVERIFY(!bad->Active());
        QVERIFY(!m_conn->Connected());

        auto command = query(m_conn.get(), QStringLiteral("UPDATE mark_mag SET p35 = p35 WHERE id_mark_mag = 0"));
        DS_EXPECT_ERROR(EDatabaseError, command->Open(), "does not return a result set");

        TADOQuery orphan;
        orphan.setSQLText(QStringLiteral("select * from t_fio"));
        DS_EXPECT_ERROR(EDatabaseError, orphan.Open(), "Missing Connection");
    }

    void connectionOpenCloseAndExecute()
    {
        DS_VERIFY(m_conn->Open());
        QVERIFY(m_conn->Connected());
        DS_EXPECT_ERROR(EDatabaseError, m_conn->setConnectionString(QString()), "open connection");
        auto ds = query(m_conn.get(), QStringLiteral("select * from t_fio"));
        EventLog log;
        log.attach(ds.get());
        DS_VERIFY(ds->Open());
        ds->Close();
        QVERIFY2(m_conn->Connected(), "an explicitly opened connection stays open");
        DS_VERIFY(ds->Open());
        log.take();
        m_conn->Close();
        QVERIFY(!ds->Active());
        QCOMPARE(log.take(), (QStringList{QStringLiteral("BeforeClose"), QStringLiteral("AfterClose")}));

        int affected = -1;
        DS_VERIFY(affected = m_conn->Execute(QStringLiteral("UPDATE mark_mag SET p35 = p35 WHERE id_group = 1 AND "
                                                            "id_semester = 1 AND id_student = 1")));
        QCOMPARE(affected, count(QStringLiteral("select count(*) from mark_mag where id_group = 1 and id_semester = 1 "
                                                "and id_student = 1")));
        m_conn->Close();

        TADOConnection wrong;
        DatabaseLogin login = Template::instance().editor();
        login.password += QLatin1Char('x');
        wrong.setConnectionString(Database::connectionString(login));
        DS_EXPECT_ERROR(EDatabaseError, wrong.Open(), QStringLiteral("Login failed for user '%1'.").arg(login.user));
        QVERIFY(!wrong.Connected());
    }

    // --- Parameters ----------------------------------------------------------------------------------------

    void namedParametersOfAQuery()
    {
        auto q = query(m_conn.get(), QStringLiteral("SELECT EstimationOther.* \r\nFROM EstimationOther, com_sfe\r\n"
                                                    "WHERE EstimationOther.id_ebe_var = com_sfe.id_ebe_var AND\r\n"
                                                    "             com_sfe.id_speciality=:id_speciality"));
        QCOMPARE(q->SQL().size(), 4);
        QCOMPARE(q->Parameters()->Count(), 1);
        QCOMPARE(q->Parameters()->Items(0)->Name, QStringLiteral("id_speciality"));
        q->Parameters()->ParamByName(QStringLiteral("id_speciality"))->Value = 1;
        DS_VERIFY(q->Open());
        QCOMPARE(q->RecordCount(), 7);
        QCOMPARE(q->FieldByName(QStringLiteral("Estimation_Other"))->AsString(), QStringLiteral("A"));

        // A new text closes the query and keeps the value of a parameter whose name stays.
        q->setSQL(q->SQL());
        QVERIFY(!q->Active());
        QCOMPARE(q->Parameters()->ParamByName(QStringLiteral(":id_speciality"))->Value.toInt(), 1);
        q->Parameters()->Items(0)->DataType = ftInteger;
        q->Parameters()->Items(0)->Value = QStringLiteral("2");
        DS_VERIFY(q->Open());
        QCOMPARE(q->RecordCount(), 0);
        DS_EXPECT_ERROR(EDatabaseError, q->Parameters()->ParamByName(QStringLiteral("nosuch")), "Parameter 'nosuch' not found");

        // Colons inside quoted texts and bracketed names are no parameters.
        q->setSQLText(QStringLiteral("select * from t_fio where t_fio <> ':a' and [t_fio] <> ':b' and id_teacher = :id"));
        QCOMPARE(q->Parameters()->Count(), 1);
        QCOMPARE(q->Parameters()->Items(0)->Name, QStringLiteral("id"));
        q->Parameters()->Items(0)->Value = 3;
        DS_VERIFY(q->Open());
        QCOMPARE(q->RecordCount(), 1);
        QCOMPARE(q->FieldByName(QStringLiteral("t_fio"))->AsString(), QStringLiteral("Медведев А. П."));
    }

    void positionalParametersOfAProcedure()
    {
        auto sp = journal(m_conn.get(), QStringLiteral("1"), QStringLiteral("12"), QVariant());
        QCOMPARE(sp->Parameters()->Count(), 4);
        QCOMPARE(sp->Parameters()->Items(0)->Direction, pdReturnValue);
        DS_VERIFY(sp->Open());
        QCOMPARE(sp->RecordCount(), 0);   // no student: nothing
        sp->Close();
        sp->Parameters()->Items(2)->Value = QStringLiteral("1");   // text serves an integer parameter
        sp->Parameters()->Items(3)->Value = QStringLiteral("2");
        DS_VERIFY(sp->Open());
        QCOMPARE(sp->RecordCount(), count(QStringLiteral("select count(*) from mark_mag where id_group = 1 and "
                                                         "id_semester = 1 and id_student = 2")));
        QCOMPARE(sp->FieldByName(QStringLiteral("id_student"))->AsInteger(), 2);
        QCOMPARE(sp->FieldByName(QStringLiteral("id_mark_mag"))->DataType(), ftAutoInc);
        sp->Close();
        sp->Parameters()->Items(3)->Value = QStringLiteral("abc");
        DS_EXPECT_ERROR(EConvertError, sp->Open(), "'abc' is not a valid integer value");
        QVERIFY(!sp->Active());
        DS_EXPECT_ERROR(EDatabaseError, sp->Parameters()->Items(4), "out of range");
    }

    // --- Fields --------------------------------------------------------------------------------------------

    void journalFieldsInTheirOrder()
    {
        JournalModule dm(m_conn.get());
        DS_VERIFY(dm.open(1, 1, 1));
        TADOStoredProc *sp = dm.sp.get();
        const QStringList names{
            "primech", "dopusk_izm", "EstimationOther", "id_estimation_other", "id_mark_mag", "id_group", "id_student",
            "id_examination", "id_discipline", "id_estimation", "id_semester", "id_teacher", "p35", "p36", "id_f_est",
            "oper", "u_date", "semestr", "No", "teacher", "f_est", "student", "discipline", "estimation", "exam",
            "OLM_User", "OLM_Update"};
        QCOMPARE(sp->FieldCount(), 27);
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(sp->Fields().at(i)->FieldName(), names.at(i));
            QCOMPARE(sp->Fields().at(i)->Index(), i);
        }
        QCOMPARE(sp->FieldByName(QStringLiteral("student"))->FieldKind(), fkLookup);
        QCOMPARE(sp->FieldByName(QStringLiteral("No"))->FieldKind(), fkCalculated);
        QCOMPARE(sp->FieldByName(QStringLiteral("ID_MARK_MAG")), sp->Fields().at(4));   // names ignore case

        QVERIFY(sp->Locate(QStringLiteral("id_discipline;id_examination"), QVariantList{3, 1}));
        QCOMPARE(sp->FieldByName(QStringLiteral("student"))->AsString(), QStringLiteral("Алексеев Никита Сергеевич"));
        QCOMPARE(sp->FieldByName(QStringLiteral("semestr"))->AsString(), QStringLiteral("1 семестр"));
        QCOMPARE(sp->FieldByName(QStringLiteral("discipline"))->AsString(), QStringLiteral("Программирование"));
        QCOMPARE(sp->FieldByName(QStringLiteral("exam"))->AsString(), QStringLiteral("экзамен"));
        QCOMPARE(sp->FieldByName(QStringLiteral("teacher"))->AsString(), QStringLiteral("Медведев А. П."));
        QCOMPARE(sp->FieldByName(QStringLiteral("EstimationOther"))->AsString(), QString());
        QCOMPARE(sp->FieldByName(QStringLiteral("dopusk_izm"))->AsString(), QStringLiteral("False"));
        QCOMPARE(sp->FieldByName(QStringLiteral("primech"))->AsString(), QStringLiteral("д"));

        TField *p36 = sp->FieldByName(QStringLiteral("p36"));
        QCOMPARE(p36->Value().typeId(), int(QMetaType::QDateTime));
        const QDate date = p36->AsDateTime().date();
        QCOMPARE(p36->AsString(), date.toString(QStringLiteral("dd.MM.yyyy")));   // midnight: no time
        QCOMPARE(p36->DisplayText(), date.toString(QStringLiteral("dd.MM.yyyy")));
        QCOMPARE(p36->EditMask(), QStringLiteral("##/##/####"));
        TField *uDate = sp->FieldByName(QStringLiteral("u_date"));
        QCOMPARE(uDate->AsString(), uDate->AsDateTime().date().toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" 12:00:00"));
        TField *update = sp->FieldByName(QStringLiteral("OLM_Update"));
        QCOMPARE(update->Value().typeId(), int(QMetaType::QDate));
        QCOMPARE(update->AsString(), update->Value().toDate().toString(QStringLiteral("dd.MM.yyyy")));

        DS_VERIFY(sp->Edit());
        DS_EXPECT_ERROR(EDatabaseError, sp->FieldByName(QStringLiteral("id_mark_mag"))->setValue(5),
                        "Field 'id_mark_mag' cannot be modified");
        DS_EXPECT_ERROR(EDatabaseError, sp->FieldByName(QStringLiteral("exam"))->setValue(QStringLiteral("зачёт")),
                        "Field 'exam' cannot be modified");
        sp->Cancel();
    }

    void aDeclaredFieldMissingFromTheResult()
    {
        auto q = query(m_conn.get(), QStringLiteral("select * from t_fio"));
        q->setName(QStringLiteral("ADOQ_t_fio"));
        q->AddField(QStringLiteral("id_teacher"), ftInteger);
        q->AddField(QStringLiteral("fio"), ftString, 60);
        DS_EXPECT_ERROR(EDatabaseError, q->Open(), "ADOQ_t_fio: Field 'fio' not found");
        QVERIFY(!q->Active());
        QCOMPARE(q->FieldCount(), 2);   // persistent fields stay declared
        QVERIFY(!m_conn->Connected());
        DS_EXPECT_ERROR(EDatabaseError, q->FieldByName(QStringLiteral("nosuch")), "ADOQ_t_fio: Field 'nosuch' not found");
    }

    void fieldValuesAndConversions()
    {
        auto sp = journal(m_conn.get(), 1, 1, 1);
        DS_VERIFY(sp->Open());
        TField *teacher = sp->FieldByName(QStringLiteral("id_teacher"));
        TField *p36 = sp->FieldByName(QStringLiteral("p36"));
        TField *dopusk = sp->FieldByName(QStringLiteral("dopusk_izm"));
        DS_EXPECT_ERROR(EDatabaseError, teacher->setValue(1), "Dataset not in edit or insert mode");
        const QVariant readTeacher = teacher->Value();

        DS_VERIFY(sp->Edit());
        QVERIFY(!sp->Modified());
        DS_EXPECT_ERROR(EConvertError, teacher->setAsString(QStringLiteral("abc")),
                        "'abc' is not a valid integer value for field 'id_teacher'");
        QCOMPARE(teacher->Value(), readTeacher);   // a refused value changes nothing
        DS_VERIFY(teacher->setAsString(QStringLiteral("12")));
        QCOMPARE(teacher->AsInteger(), 12);
        QCOMPARE(teacher->Value().typeId(), int(QMetaType::Int));
        QCOMPARE(teacher->OldValue(), readTeacher);
        QVERIFY(sp->Modified());
        DS_VERIFY(teacher->setAsString(QString()));
        QVERIFY(teacher->IsNull());
        DS_VERIFY(teacher->setValue(2.0));
        QCOMPARE(teacher->AsInteger(), 2);

        DS_VERIFY(p36->setAsString(QStringLiteral("12.01.2009")));
        QCOMPARE(p36->AsDateTime(), QDateTime(QDate(2009, 1, 12), QTime(0, 0)));
        DS_VERIFY(p36->setAsString(QStringLiteral("13/01/2009")));   // as the edit mask types it
        QCOMPARE(p36->AsString(), QStringLiteral("13.01.2009"));
        DS_VERIFY(p36->setAsString(QStringLiteral("14.01.2009 10:30:05")));
        QCOMPARE(p36->AsString(), QStringLiteral("14.01.2009 10:30:05"));
        DS_VERIFY(p36->setValue(QDate(2010, 2, 3)));
        QCOMPARE(p36->AsDateTime(), QDateTime(QDate(2010, 2, 3), QTime(0, 0)));
        DS_EXPECT_ERROR(EConvertError, p36->setAsString(QStringLiteral("31.02.2009")), "'31.02.2009' is not a valid date and time");
        DS_VERIFY(p36->setAsString(QStringLiteral("  .  .    ")));   // an empty mask
        QVERIFY(p36->IsNull());

        DS_VERIFY(dopusk->setAsString(QStringLiteral("True")));
        QCOMPARE(dopusk->AsString(), QStringLiteral("True"));
        QVERIFY(dopusk->AsBoolean());
        DS_EXPECT_ERROR(EConvertError, dopusk->setAsString(QStringLiteral("maybe")), "'maybe' is not a valid boolean value");
        sp->Cancel();
        QCOMPARE(teacher->Value(), readTeacher);

        DS_VERIFY(sp->Insert());
        QVERIFY(teacher->OldValue().isNull());
        QVERIFY(teacher->IsNull());
        sp->Cancel();
    }

    // --- Lookups and calculated fields ---------------------------------------------------------------------

    void lookupsFollowTheListAsItIsNow()
    {
        JournalModule dm(m_conn.get());
        DS_VERIFY(dm.open(1, 1, 1));
        TADOStoredProc *sp = dm.sp.get();
        TADOQuery *marks = dm.l.estimation;
        TField *estimation = sp->FieldByName(QStringLiteral("estimation"));
        QVERIFY(sp->Locate(QStringLiteral("id_discipline;id_examination"), QVariantList{5, 2}));   // a pass/fail row
        const int markId = sp->FieldByName(QStringLiteral("id_estimation"))->AsInteger();
        QVERIFY(markId != 0 && markId != 25);
        const QString markText = scalar(QStringLiteral("select p31 from est2 where id_estimation = ? and id_examination = 2"),
                                        {markId}).toString();
        QCOMPARE(estimation->AsString(), markText);

        marks->setSQLText(QStringLiteral("Select * from est2 where id_examination=1"));
        DS_VERIFY(marks->Open());
        QCOMPARE(estimation->AsString(), QString());   // its form is not in the narrowed list
        marks->Close();
        QCOMPARE(estimation->AsString(), QString());
        marks->setSQLText(QStringLiteral("select * from est2"));
        DS_VERIFY(marks->Open());
        QCOMPARE(estimation->AsString(), markText);

        // The list's own lookups, by one or several fields; text serves an integer key.
        QCOMPARE(marks->Lookup(QStringLiteral("id_estimation"), 20, QStringLiteral("p31")).toString(), QStringLiteral("зачёт"));
        QCOMPARE(marks->Lookup(QStringLiteral("id_estimation"), QStringLiteral("20"), QStringLiteral("p31")).toString(),
                 QStringLiteral("зачёт"));
        QCOMPARE(marks->Lookup(QStringLiteral("id_estimation;id_examination"), QVariantList{25, 3}, QStringLiteral("p31"))
                     .toString(),
                 QStringLiteral("осв."));
        QVERIFY(marks->Lookup(QStringLiteral("id_estimation"), 999, QStringLiteral("p31")).isNull());
        QVERIFY(marks->Lookup(QStringLiteral("id_estimation"), QStringLiteral("x"), QStringLiteral("p31")).isNull());
        const int before = marks->RecNo();
        QVERIFY(marks->Lookup(QStringLiteral("id_estimation"), 35, QStringLiteral("p31")).isValid());
        QCOMPARE(marks->RecNo(), before);   // a lookup does not move

        // A list read again is looked up anew.
        QVERIFY(sp->Locate(QStringLiteral("id_teacher"), 5));
        QCOMPARE(sp->FieldByName(QStringLiteral("teacher"))->AsString(), QStringLiteral("Степанов В. Г."));
        QVERIFY(m_db->exec(QStringLiteral("UPDATE t_fio SET t_fio = 'Степанова В. Г.' WHERE id_teacher = 5")));
        DS_VERIFY(dm.l.tFio->Refresh());
        QCOMPARE(sp->FieldByName(QStringLiteral("teacher"))->AsString(), QStringLiteral("Степанова В. Г."));

        // Storing a looked-up text stores the key of the list row that holds it.
        DS_VERIFY(sp->Edit());
        DS_VERIFY(sp->FieldByName(QStringLiteral("teacher"))->setValue(QStringLiteral("Фомин Д. К.")));
        QCOMPARE(sp->FieldByName(QStringLiteral("id_teacher"))->AsInteger(), 8);
        sp->Cancel();
    }

    void calculatedFieldsNumberTheRecords()
    {
        JournalModule dm(m_conn.get());
        TADOStoredProc *sp = dm.sp.get();
        QList<TDataSetState> states;
        int calls = 0;
        sp->OnCalcFields = [&](TDataSet *ds) {
            ++calls;
            states.append(ds->State());
            ds->FieldByName(QStringLiteral("No"))->setValue(std::abs(ds->RecNo()));
        };
        DS_VERIFY(dm.open(1, 1, 1));
        const int rows = sp->RecordCount();
        QCOMPARE(calls, rows);
        QCOMPARE(states.count(dsCalcFields), rows);
        QCOMPARE(sp->State(), dsBrowse);
        QStringList expected;
        for (int i = 1; i <= rows; ++i)
            expected.append(QString::number(i));
        QCOMPARE(columnValues(sp, QStringLiteral("No")), expected);

        // Values are kept per record: a grid reads any row without scrolling.
        {
            TDataSet::RecordScope scope(sp, rows - 1);
            QCOMPARE(sp->FieldByName(QStringLiteral("No"))->AsInteger(), rows);
            QCOMPARE(sp->RecNo(), rows);
        }
        QCOMPARE(sp->RecNo(), rows);   // the loop above ended on the last record

        DS_VERIFY(sp->setSort(QStringLiteral("id_discipline DESC")));
        QCOMPARE(columnValues(sp, QStringLiteral("No")), expected);
        DS_VERIFY(sp->setFilter(QStringLiteral("id_examination=1")));
        DS_VERIFY(sp->setFiltered(true));
        QCOMPARE(columnValues(sp, QStringLiteral("No")), expected.mid(0, sp->RecordCount()));

        calls = 0;
        sp->First();
        DS_VERIFY(sp->Edit());
        DS_VERIFY(sp->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("calc")));
        DS_VERIFY(sp->Post());
        QCOMPARE(calls, sp->RecordCount());
    }

    // --- Filters -------------------------------------------------------------------------------------------

    void filters_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("where");
        QTest::newRow("equal") << "est2" << "id_examination=2" << "id_examination = 2";
        QTest::newRow("and") << "est2" << "id_examination=2 and id_estimation=20" << "id_examination = 2 AND id_estimation = 20";
        QTest::newRow("keywords in capitals") << "est2" << "id_examination = 2 AND id_estimation = 20"
                                              << "id_examination = 2 AND id_estimation = 20";
        QTest::newRow("or") << "est2" << "id_estimation=20 or id_estimation=11" << "id_estimation IN (20, 11)";
        QTest::newRow("and binds before or") << "est2" << "id_estimation=25 and id_examination=1 or id_estimation=11"
                                             << "(id_estimation = 25 AND id_examination = 1) OR id_estimation = 11";
        QTest::newRow("parentheses") << "est2" << "(id_examination=1 or id_examination=2) and id_estimation=25"
                                     << "id_examination IN (1, 2) AND id_estimation = 25";
        QTest::newRow("not equal") << "est2" << "id_examination<>2" << "id_examination <> 2";
        QTest::newRow("less and greater") << "est2" << "id_estimation>30 and id_estimation<35"
                                          << "id_estimation > 30 AND id_estimation < 35";
        QTest::newRow("or equal") << "est2" << "id_estimation>=33 and id_estimation<=34" << "id_estimation BETWEEN 33 AND 34";
        QTest::newRow("quoted text with a blank") << "est2" << "p31='не зачтено'" << "p31 = 'не зачтено'";
        QTest::newRow("bare text") << "est2" << "p31=неуд" << "p31 = 'неуд'";
        QTest::newRow("quoted integer") << "est2" << "id_examination='2'" << "id_examination = 2";
        QTest::newRow("bracketed name") << "est2" << "[id_examination]=2" << "id_examination = 2";
        QTest::newRow("not") << "est2" << "not id_examination=2" << "id_examination <> 2";
        QTest::newRow("prefix") << "est2" << "p31='не'*"
                                << "p31 IN ('неуд', 'незачёт', 'не зачтено', 'недопуск', 'неявка')";
        QTest::newRow("not a prefix") << "est2" << "p31 <> 'не'*"
                                      << "p31 IS NULL OR p31 NOT IN ('неуд', 'незачёт', 'не зачтено', 'недопуск', 'неявка')";
        QTest::newRow("empty value is null") << "mark_mag" << "id_estimation=" << "id_estimation IS NULL";
        QTest::newRow("empty quotes are null or empty") << "mark_mag" << "p35=''" << "p35 IS NULL OR p35 = ''";
        QTest::newRow("empty value before and") << "mark_mag" << "id_estimation= and id_group=1"
                                                << "id_estimation IS NULL AND id_group = 1";
        QTest::newRow("not empty") << "mark_mag" << "p35<>''" << "p35 IS NOT NULL AND p35 <> ''";
        QTest::newRow("is null") << "mark_mag" << "id_f_est is null" << "id_f_est IS NULL";
        QTest::newRow("is not null") << "mark_mag" << "id_f_est IS NOT NULL" << "id_f_est IS NOT NULL";
        QTest::newRow("date") << "mark_mag" << "OLM_Update>'01.01.2023'" << "OLM_Update > '2023-01-01'";
    }

    void filters()
    {
        QFETCH(QString, table);
        QFETCH(QString, filter);
        QFETCH(QString, where);
        const int expected = count(QStringLiteral("select count(*) from %1 where %2").arg(table, where));
        const int all = count(QStringLiteral("select count(*) from %1").arg(table));
        QVERIFY2(expected > 0 && expected < all, "the case must select some rows, not all");
        auto q = query(m_conn.get(), QStringLiteral("select * from ") + table);
        DS_VERIFY(q->Open());
        DS_VERIFY(q->setFilter(filter));
        QCOMPARE(q->RecordCount(), all);   // not applied until switched on
        DS_VERIFY(q->setFiltered(true));
        QCOMPARE(q->RecordCount(), expected);
        QCOMPARE(q->RecNo(), 1);
        int seen = 0;
        for (q->First(); !q->Eof(); q->Next())
            ++seen;
        QCOMPARE(seen, expected);
        DS_VERIFY(q->setFiltered(false));
        QCOMPARE(q->RecordCount(), all);
        // Kept across a reopen.
        DS_VERIFY(q->setFiltered(true));
        q->Close();
        DS_VERIFY(q->Open());
        QCOMPARE(q->RecordCount(), expected);
    }

    void filterQuotesInsideValues()
    {
        QVERIFY(m_db->exec(QStringLiteral("UPDATE t_fio SET t_fio = 'О''Брайен Д. К.' WHERE id_teacher = 8")));
        auto q = query(m_conn.get(), QStringLiteral("select * from t_fio"));
        DS_VERIFY(q->Open());
        DS_VERIFY(q->setFilter(QStringLiteral("t_fio='О''Брайен Д. К.'")));
        DS_VERIFY(q->setFiltered(true));
        QCOMPARE(q->RecordCount(), 1);
        QCOMPARE(q->FieldByName(QStringLiteral("id_teacher"))->AsInteger(), 8);
        // A quote that is not doubled is an error the caller sees, not another meaning.
        DS_EXPECT_ERROR(EDatabaseError, q->setFilter(QStringLiteral("t_fio='О'Брайен Д. К.'")), "Invalid filter");
        QCOMPARE(q->RecordCount(), 1);
        QCOMPARE(q->Filter(), QStringLiteral("t_fio='О''Брайен Д. К.'"));
    }

    void filterStarInsideValues()
    {
        QVERIFY(m_db->exec(QStringLiteral("UPDATE t_fio SET t_fio = 'Звезда*' WHERE id_teacher = 8")));
        QVERIFY(m_db->exec(QStringLiteral("UPDATE t_fio SET t_fio = 'Звездачёт' WHERE id_teacher = 7")));
        auto q = query(m_conn.get(), QStringLiteral("select * from t_fio"));
        DS_VERIFY(q->Open());
        const int all = q->RecordCount();
        DS_VERIFY(q->setFiltered(true));
        // Inside quotes a star is a character like any other; a bare one is that text itself.
        for (const QString &filter : {QStringLiteral("t_fio='Звезда*'"), QStringLiteral("t_fio=Звезда*")}) {
            DS_VERIFY(q->setFilter(filter));
            QCOMPARE(q->RecordCount(), 1);
            QCOMPARE(q->FieldByName(QStringLiteral("id_teacher"))->AsInteger(), 8);
        }
        DS_VERIFY(q->setFilter(QStringLiteral("t_fio<>'Звезда*'")));
        QCOMPARE(q->RecordCount(), all - 1);
        DS_VERIFY(q->setFilter(QStringLiteral("t_fio='Звезда'*")));
        QCOMPARE(q->RecordCount(), 2);
        DS_VERIFY(q->setFilter(QStringLiteral("t_fio='Звезда*'*")));
        QCOMPARE(q->RecordCount(), 1);
    }

    void filterErrors_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("problem");
        QTest::newRow("unknown field") << "nosuch=1" << "Field 'nosuch' not found";
        QTest::newRow("value of another type") << "id_examination=abc"
                                               << "'abc' is not a valid integer value for field 'id_examination'";
        QTest::newRow("no operator") << "id_examination 2" << "a comparison operator is expected after 'id_examination'";
        QTest::newRow("unclosed quote") << "p31='abc" << "the quoted value of 'p31' is not closed";
        QTest::newRow("dangling and") << "id_examination=1 and" << "a field name is expected at the end";
        QTest::newRow("operator first") << "=1" << "a field name is expected at position 1";
        QTest::newRow("unbalanced parenthesis") << "(id_examination=1" << "')' expected at position 18";
        QTest::newRow("trailing text") << "id_examination=1 2" << "unexpected text '2' at position 18";
        QTest::newRow("is without null") << "p31 is 5" << "NULL expected after IS for field 'p31'";
        QTest::newRow("only blanks after not") << "not" << "a field name is expected at the end";
        QTest::newRow("prefix of a number") << "id_examination='2'*" << "a prefix match needs a text field, not 'id_examination'";
        QTest::newRow("prefix with less") << "p31<'не'*" << "a prefix match of 'p31' needs = or <>";
    }

    void filterErrors()
    {
        QFETCH(QString, filter);
        QFETCH(QString, problem);
        auto q = query(m_conn.get(), QStringLiteral("select * from est2"));
        DS_VERIFY(q->Open());
        const int all = q->RecordCount();
        q->Next();
        DS_VERIFY(q->setFilter(filter));   // not parsed while the filter is off
        DS_EXPECT_ERROR(EDatabaseError, q->setFiltered(true), QStringLiteral("Invalid filter \"%1\": %2").arg(filter, problem));
        QVERIFY(!q->Filtered());
        QCOMPARE(q->RecordCount(), all);
        QCOMPARE(q->RecNo(), 2);
    }

    // --- Order and bookmarks -------------------------------------------------------------------------------

    void sortingByNumbersTextsAndNulls()
    {
        const QStringList names{"яма", "Жук", "ёж", "Арбуз", "банан"};
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(m_db->exec(QStringLiteral("UPDATE t_fio SET t_fio = ? WHERE id_teacher = ?"), {names.at(i), i + 1}));
        QVERIFY(m_db->exec(QStringLiteral("UPDATE t_fio SET t_fio = NULL WHERE id_teacher = 6")));
        auto q = query(m_conn.get(), QStringLiteral("select * from t_fio where id_teacher <= 6"));
        DS_EXPECT_ERROR(EDatabaseError, q->setSort(QStringLiteral("t_fio")), "closed dataset");
        DS_VERIFY(q->Open());
        DS_VERIFY(q->setSort(QStringLiteral("t_fio")));
        // Russian order without regard to case: ё between е and ж, nulls first.
        QCOMPARE(columnValues(q.get(), QStringLiteral("t_fio")),
                 (QStringList{"", "Арбуз", "банан", "ёж", "Жук", "яма"}));
        DS_VERIFY(q->setSort(QStringLiteral("t_fio DESC")));
        QCOMPARE(columnValues(q.get(), QStringLiteral("t_fio")),
                 (QStringList{"яма", "Жук", "ёж", "банан", "Арбуз", ""}));
        DS_VERIFY(q->setSort(QString()));
        QCOMPARE(columnValues(q.get(), QStringLiteral("id_teacher")), (QStringList{"1", "2", "3", "4", "5", "6"}));
        QVERIFY(m_db->exec(QStringLiteral("INSERT INTO t_fio (id_teacher, t_fio) VALUES (10, 'x')")));
        q->setSQLText(QStringLiteral("select * from t_fio"));
        DS_VERIFY(q->Open());
        DS_VERIFY(q->setSort(QStringLiteral("id_teacher DESC")));
        QCOMPARE(columnValues(q.get(), QStringLiteral("id_teacher")).first(), QStringLiteral("10"));   // by value, not text
        DS_EXPECT_ERROR(EDatabaseError, q->setSort(QStringLiteral("nosuch")), "Field 'nosuch' not found");
        QCOMPARE(q->Sort(), QStringLiteral("id_teacher DESC"));

        auto marks = query(m_conn.get(), QStringLiteral("select * from est2"));
        DS_VERIFY(marks->Open());
        DS_VERIFY(marks->setSort(QStringLiteral("id_examination, id_estimation DESC")));
        marks->First();
        QCOMPARE(marks->FieldByName(QStringLiteral("id_examination"))->AsInteger(), 1);
        QCOMPARE(marks->FieldByName(QStringLiteral("id_estimation"))->AsInteger(), 35);
        marks->Last();
        QCOMPARE(marks->FieldByName(QStringLiteral("id_examination"))->AsInteger(), 5);
        QCOMPARE(marks->FieldByName(QStringLiteral("id_estimation"))->AsInteger(), 10);
        // Kept across a reopen.
        marks->Close();
        DS_VERIFY(marks->Open());
        QCOMPARE(marks->FieldByName(QStringLiteral("id_estimation"))->AsInteger(), 35);
    }

    void bookmarksSurviveSortAndFilter()
    {
        auto q = query(m_conn.get(), QStringLiteral("select * from est2"));
        DS_VERIFY(q->Open());
        QVERIFY(q->Locate(QStringLiteral("id_estimation;id_examination"), QVariantList{20, 2}));
        const QString pass = q->Bookmark();
        q->First();
        const QString first = q->Bookmark();
        QVERIFY(!pass.isEmpty() && pass != first);
        QVERIFY(q->CompareBookmarks(first, pass) < 0);

        DS_VERIFY(q->setSort(QStringLiteral("p31 DESC")));
        QVERIFY(q->BookmarkValid(pass));
        DS_VERIFY(q->GotoBookmark(pass));
        QCOMPARE(q->FieldByName(QStringLiteral("p31"))->AsString(), QStringLiteral("зачёт"));
        QCOMPARE(q->Bookmark(), pass);

        DS_VERIFY(q->setFilter(QStringLiteral("id_examination=1")));
        DS_VERIFY(q->setFiltered(true));
        QVERIFY(!q->BookmarkValid(pass));
        DS_EXPECT_ERROR(EDatabaseError, q->GotoBookmark(pass), "Record not found");
        DS_VERIFY(q->setFiltered(false));
        QVERIFY(q->BookmarkValid(pass));
        DS_VERIFY(q->GotoBookmark(pass));
        QCOMPARE(q->FieldByName(QStringLiteral("id_estimation"))->AsInteger(), 20);
        QVERIFY(!q->BookmarkValid(QStringLiteral("nonsense")));

        // Bookmarks of one reading do not survive a reopen.
        q->Close();
        DS_VERIFY(q->Open());
        QVERIFY(!q->BookmarkValid(pass));
    }

    void locateOnOneAndSeveralFields()
    {
        auto q = query(m_conn.get(), QStringLiteral("select * from s_fio"));
        DS_VERIFY(q->Open());
        QVERIFY(q->Locate(QStringLiteral("s_fio"), QStringLiteral("белова"), loCaseInsensitive | loPartialKey));
        QCOMPARE(q->FieldByName(QStringLiteral("s_fio"))->AsString(), QStringLiteral("Белова Дарья Андреевна"));
        const int position = q->RecNo();
        QVERIFY(!q->Locate(QStringLiteral("s_fio"), QStringLiteral("белова")));   // exact by default
        QCOMPARE(q->RecNo(), position);
        QVERIFY(q->Locate(QStringLiteral("id_student"), QStringLiteral("7")));
        QCOMPARE(q->RecNo(), 7);
        QVERIFY(!q->Locate(QStringLiteral("id_student"), QStringLiteral("seven")));
        QCOMPARE(q->RecNo(), 7);
        DS_EXPECT_ERROR(EDatabaseError, q->Locate(QStringLiteral("id_student;s_fio"), 1), "values for 2 fields");
    }

    void navigationFlags()
    {
        auto q = query(m_conn.get(), QStringLiteral("select * from f_est"));
        DS_VERIFY(q->Open());
        QVERIFY(q->Bof());
        QVERIFY(!q->Eof());
        q->Next();
        q->Next();
        QCOMPARE(q->RecNo(), 3);
        QVERIFY(!q->Eof());
        q->Next();
        QVERIFY(q->Eof());
        QCOMPARE(q->RecNo(), 3);
        q->Prior();
        QVERIFY(!q->Eof());
        QCOMPARE(q->MoveBy(-5), -1);
        QVERIFY(q->Bof());
        DS_VERIFY(q->setRecNo(2));
        QCOMPARE(q->FieldByName(QStringLiteral("id_f_e"))->AsInteger(), 2);
        q->Last();
        QVERIFY(q->Eof());
        QCOMPARE(q->RecNo(), 3);

        auto empty = query(m_conn.get(), QStringLiteral("select top 0 * from educ_sh"));
        DS_VERIFY(empty->Open());
        QVERIFY(empty->IsEmpty());
        QVERIFY(empty->Eof() && empty->Bof());
        QCOMPARE(empty->RecNo(), 0);
        QVERIFY(empty->FieldCount() > 0);
    }

    // --- Events --------------------------------------------------------------------------------------------

    void eventsInOrderWithOldAndNewValues()
    {
        auto sp = journal(m_conn.get(), 1, 1, 1);
        EventLog log;
        log.attach(sp.get());
        DS_VERIFY(sp->Open());
        QCOMPARE(log.take(), (QStringList{"BeforeOpen", "AfterOpen"}));
        const QString oldP35 = sp->FieldByName(QStringLiteral("p35"))->AsString();
        const int id = sp->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();

        QStringList seenInBeforePost;
        sp->BeforePost = [&](TDataSet *ds) {
            log.events.append(QStringLiteral("BeforePost"));
            TField *p35 = ds->FieldByName(QStringLiteral("p35"));
            seenInBeforePost << p35->OldValue().toString() << p35->Value().toString();
            QCOMPARE(ds->State(), dsEdit);
            ds->FieldByName(QStringLiteral("oper"))->setAsString(QStringLiteral("bp"));   // handlers may still write
        };
        sp->AfterEdit = [&](TDataSet *ds) {
            log.events.append(QStringLiteral("AfterEdit"));
            QCOMPARE(ds->State(), dsEdit);
        };
        DS_VERIFY(sp->Edit());
        QCOMPARE(log.take(), (QStringList{"BeforeEdit", "AfterEdit"}));
        DS_VERIFY(sp->Edit());   // already editing: nothing
        QVERIFY(log.take().isEmpty());
        sp->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("N-7"));
        DS_VERIFY(sp->Post());
        QCOMPARE(log.take(), (QStringList{"BeforePost", "AfterPost"}));
        QCOMPARE(seenInBeforePost, (QStringList{oldP35, QStringLiteral("N-7")}));
        QCOMPARE(sp->State(), dsBrowse);
        QCOMPARE(scalar(QStringLiteral("select p35 from mark_mag where id_mark_mag = ?"), {id}).toString(), QStringLiteral("N-7"));
        QCOMPARE(scalar(QStringLiteral("select oper from mark_mag where id_mark_mag = ?"), {id}).toString(), QStringLiteral("bp"));
        QCOMPARE(sp->FieldByName(QStringLiteral("p35"))->OldValue().toString(), QStringLiteral("N-7"));   // as last posted

        DS_VERIFY(sp->Edit());
        sp->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("dropped"));
        sp->Cancel();
        QCOMPARE(log.take(), (QStringList{"BeforeEdit", "AfterEdit", "BeforeCancel", "AfterCancel"}));
        QCOMPARE(sp->FieldByName(QStringLiteral("p35"))->AsString(), QStringLiteral("N-7"));

        // Scrolling posts a modified record first, and drops an unmodified one.
        DS_VERIFY(sp->Edit());
        sp->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("N-8"));
        DS_VERIFY(sp->Next());
        QCOMPARE(log.take(), (QStringList{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost", "BeforeScroll", "AfterScroll"}));
        DS_VERIFY(sp->Edit());
        DS_VERIFY(sp->Prior());
        QCOMPARE(log.take(), (QStringList{"BeforeEdit", "AfterEdit", "BeforeCancel", "AfterCancel", "BeforeScroll", "AfterScroll"}));

        DS_VERIFY(sp->Insert());
        QCOMPARE(log.take(), (QStringList{"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll"}));
        DS_VERIFY(sp->Delete());   // deleting a record being inserted cancels it
        QCOMPARE(log.take(), (QStringList{"BeforeCancel", "AfterCancel"}));

        const int rows = sp->RecordCount();
        DS_VERIFY(sp->Delete());
        QCOMPARE(log.take(), (QStringList{"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}));
        QCOMPARE(sp->RecordCount(), rows - 1);
        QCOMPARE(count(QStringLiteral("select count(*) from mark_mag where id_mark_mag = %1").arg(id)), 0);
        QCOMPARE(count(QStringLiteral("select count(*) from del_mark_mag where id_mark_mag = %1").arg(id)), 1);

        sp->Close();
        QCOMPARE(log.take(), (QStringList{"BeforeClose", "AfterClose"}));
    }

    void abortFromABeforeHandlerLeavesTheDatasetAsItWas()
    {
        auto sp = journal(m_conn.get(), 1, 1, 1);
        DS_VERIFY(sp->Open());
        sp->setRecNo(2);
        QSignalSpy events(sp.get(), &TDataSet::dataEvent);
        bool afterInsert = false;
        sp->BeforeInsert = [](TDataSet *) { Abort(); };
        sp->AfterInsert = [&](TDataSet *) { afterInsert = true; };
        const int rows = sp->RecordCount();
        QVERIFY_THROWS_EXCEPTION(EAbort, sp->Insert());
        QVERIFY_THROWS_EXCEPTION(EAbort, sp->Append());
        QCOMPARE(sp->State(), dsBrowse);
        QCOMPARE(sp->RecordCount(), rows);
        QCOMPARE(sp->DisplayRowCount(), rows);
        QCOMPARE(sp->RecNo(), 2);
        QVERIFY(!afterInsert);
        QCOMPARE(events.count(), 0);

        sp->BeforePost = [](TDataSet *) { Abort(); };
        DS_VERIFY(sp->Edit());
        sp->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("kept"));
        QVERIFY_THROWS_EXCEPTION(EAbort, sp->Post());
        QCOMPARE(sp->State(), dsEdit);
        QCOMPARE(sp->FieldByName(QStringLiteral("p35"))->AsString(), QStringLiteral("kept"));
        sp->BeforeScroll = [](TDataSet *) { Abort(); };
        sp->BeforePost = nullptr;
        QVERIFY_THROWS_EXCEPTION(EAbort, sp->Next());
        QCOMPARE(sp->RecNo(), 2);   // posted, but not moved
        QCOMPARE(sp->State(), dsBrowse);
    }

    // --- Refused and concurrent writes ---------------------------------------------------------------------

    void aRefusedPostReachesOnPostErrorAndStaysInEdit()
    {
        TADOConnection readerConnection;
        readerConnection.setConnectionString(Database::readerConnection());
        auto sp = journal(&readerConnection, 1, 1, 1);
        DS_VERIFY(sp->Open());
        const QString before = sp->FieldByName(QStringLiteral("p35"))->AsString();
        QStringList handled;
        TDataAction answer = daFail;
        sp->OnPostError = [&](TDataSet *ds, EDatabaseError &e, TDataAction &action) {
            QCOMPARE(ds, sp.get());
            QCOMPARE(action, daFail);
            handled.append(e.Message);
            action = answer;
            answer = daFail;
        };
        DS_VERIFY(sp->Edit());
        sp->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("refused"));
        DS_EXPECT_ERROR(EDatabaseError, sp->Post(), "The UPDATE permission was denied on the object 'mark_mag'");
        QCOMPARE(handled.size(), 1);
        QVERIFY(handled.first().contains(QLatin1String("The UPDATE permission was denied on the object 'mark_mag'")));
        QCOMPARE(sp->State(), dsEdit);
        QCOMPARE(sp->FieldByName(QStringLiteral("p35"))->AsString(), QStringLiteral("refused"));

        answer = daRetry;   // tried again once, then failing
        DS_EXPECT_ERROR(EDatabaseError, sp->Post(), "permission");
        QCOMPARE(handled.size(), 3);
        answer = daAbort;
        QVERIFY_THROWS_EXCEPTION(EAbort, sp->Post());
        QCOMPARE(sp->State(), dsEdit);

        // A handler that cancels, as the journal's does: the error still continues, the old values are back.
        sp->OnPostError = [](TDataSet *ds, EDatabaseError &, TDataAction &) { ds->Cancel(); };
        DS_EXPECT_ERROR(EDatabaseError, sp->Post(), "permission");
        QCOMPARE(sp->State(), dsBrowse);
        QCOMPARE(sp->FieldByName(QStringLiteral("p35"))->AsString(), before);
    }

    void aRefusedDeleteReachesOnDeleteError()
    {
        TADOConnection readerConnection;
        readerConnection.setConnectionString(Database::readerConnection());
        auto sp = journal(&readerConnection, 1, 1, 1);
        DS_VERIFY(sp->Open());
        const int rows = sp->RecordCount();
        int handled = 0;
        sp->OnDeleteError = [&](TDataSet *, EDatabaseError &e, TDataAction &) {
            ++handled;
            QVERIFY(e.Message.contains(QLatin1String("The DELETE permission was denied on the object 'mark_mag'")));
        };
        bool afterDelete = false;
        sp->AfterDelete = [&](TDataSet *) { afterDelete = true; };
        DS_EXPECT_ERROR(EDatabaseError, sp->Delete(), "DELETE permission");
        QCOMPARE(handled, 1);
        QCOMPARE(sp->RecordCount(), rows);
        QVERIFY(!afterDelete);

        DS_VERIFY(sp->Edit());
        sp->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("typed"));
        DS_EXPECT_ERROR(EDatabaseError, sp->Delete(), "DELETE permission");
        QCOMPARE(handled, 2);
        QCOMPARE(sp->State(), dsEdit);
        QCOMPARE(sp->FieldByName(QStringLiteral("p35"))->AsString(), QStringLiteral("typed"));
    }

    // A before-delete handler may leave no record to delete: the delete is refused, nothing is deleted.
    void beforeDeleteHandlerThatLeavesNoRecord()
    {
        auto sp = journal(m_conn.get(), 1, 1, 1);
        DS_VERIFY(sp->Open());
        const int rows = sp->RecordCount();
        const QVariant id = sp->FieldByName(QStringLiteral("id_mark_mag"))->Value();
        bool afterDelete = false;
        sp->AfterDelete = [&](TDataSet *) { afterDelete = true; };
        sp->BeforeDelete = [](TDataSet *ds) {
            ds->setFilter(QStringLiteral("p35='no such number'"));
            ds->setFiltered(true);
        };
        DS_EXPECT_ERROR(EDatabaseError, sp->Delete(), "Cannot perform this operation on an empty dataset");
        sp->BeforeDelete = [](TDataSet *ds) { ds->Close(); };
        sp->setFiltered(false);
        DS_EXPECT_ERROR(EDatabaseError, sp->Delete(), "Cannot perform this operation on a closed dataset");
        QVERIFY(!afterDelete);
        QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM mark_mag WHERE id_mark_mag = ?"), {id}).toInt(), 1);
        sp->BeforeDelete = nullptr;
        DS_VERIFY(sp->Open());
        QCOMPARE(sp->RecordCount(), rows);
    }

    void editErrorsGoThroughOnEditError()
    {
        auto sp = journal(m_conn.get(), 1, 1, 1);
        DS_VERIFY(sp->Open());
        QStringList handled;
        sp->OnEditError = [&](TDataSet *, EDatabaseError &e, TDataAction &) { handled.append(e.Message); };
        bool afterEdit = false;
        sp->AfterEdit = [&](TDataSet *) { afterEdit = true; };
        sp->setReadOnly(true);
        QVERIFY(!sp->CanModify());
        DS_EXPECT_ERROR(EDatabaseError, sp->Edit(), "Cannot modify a read-only dataset");
        QCOMPARE(handled.size(), 1);
        QCOMPARE(sp->State(), dsBrowse);
        QVERIFY(!afterEdit);
        sp->setReadOnly(false);
        sp->Close();
        sp->Parameters()->Items(3)->Value = QVariant();
        DS_VERIFY(sp->Open());
        DS_EXPECT_ERROR(EDatabaseError, sp->Edit(), "empty dataset");
        QCOMPARE(handled.size(), 2);
    }

    void secondUserCannotOverwriteTheFirst()
    {
        TADOConnection other;
        other.setConnectionString(Database::editorConnection());
        auto first = journal(m_conn.get(), 1, 1, 1);
        auto second = journal(&other, 1, 1, 1);
        DS_VERIFY(first->Open());
        DS_VERIFY(second->Open());
        const int id = first->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
        QCOMPARE(second->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger(), id);

        DS_VERIFY(first->Edit());
        first->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("first"));
        DS_VERIFY(first->Post());

        int handled = 0;
        second->OnPostError = [&](TDataSet *, EDatabaseError &, TDataAction &) { ++handled; };
        DS_VERIFY(second->Edit());
        second->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("second"));
        DS_EXPECT_ERROR(EDatabaseError, second->Post(),
                        "The record was changed or deleted by another user since it was read.");
        QCOMPARE(handled, 1);
        QCOMPARE(second->State(), dsEdit);
        QCOMPARE(second->FieldByName(QStringLiteral("p35"))->AsString(), QStringLiteral("second"));
        QCOMPARE(scalar(QStringLiteral("select p35 from mark_mag where id_mark_mag = ?"), {id}).toString(), QStringLiteral("first"));

        // A field the first user did not touch is written without disturbing theirs.
        second->Cancel();
        DS_VERIFY(second->Edit());
        const int teacher = second->FieldByName(QStringLiteral("id_teacher"))->AsInteger() % 8 + 1;
        second->FieldByName(QStringLiteral("id_teacher"))->setAsInteger(teacher);
        DS_VERIFY(second->Post());
        QCOMPARE(scalar(QStringLiteral("select p35 from mark_mag where id_mark_mag = ?"), {id}).toString(), QStringLiteral("first"));
        QCOMPARE(scalar(QStringLiteral("select id_teacher from mark_mag where id_mark_mag = ?"), {id}).toInt(), teacher);
        QCOMPARE(second->FieldByName(QStringLiteral("p35"))->AsString(), QStringLiteral("first"));   // read back

        // Deleting a row someone changed since it was read is refused as well.
        DS_VERIFY(first->Refresh());
        QVERIFY(m_db->exec(QStringLiteral("UPDATE mark_mag SET oper = 'x' WHERE id_mark_mag = ?"), {id}));
        int deleteErrors = 0;
        first->OnDeleteError = [&](TDataSet *, EDatabaseError &, TDataAction &) { ++deleteErrors; };
        DS_EXPECT_ERROR(EDatabaseError, first->Delete(), "changed or deleted by another user");
        QCOMPARE(deleteErrors, 1);
        QCOMPARE(count(QStringLiteral("select count(*) from mark_mag where id_mark_mag = %1").arg(id)), 1);
        DS_VERIFY(first->Refresh());
        DS_VERIFY(first->Delete());
        QCOMPARE(count(QStringLiteral("select count(*) from mark_mag where id_mark_mag = %1").arg(id)), 0);
    }

    void onlyChangedFieldsAreWritten()
    {
        QString error;
        auto admin = olm::server::Administration::open(m_db->path(), &error);
        QVERIFY2(admin, qPrintable(error));
        QVERIFY2(admin->setTrace(true, &error), qPrintable(error));
        auto sp = journal(m_conn.get(), 1, 1, 1);
        DS_VERIFY(sp->Open());
        const int id = sp->FieldByName(QStringLiteral("id_mark_mag"))->AsInteger();
        const QString p35 = sp->FieldByName(QStringLiteral("p35"))->AsString();

        DS_VERIFY(sp->Edit());   // typed and typed back: nothing to write
        sp->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("zz"));
        sp->FieldByName(QStringLiteral("p35"))->setAsString(p35);
        DS_VERIFY(sp->Post());
        DS_VERIFY(sp->Edit());
        sp->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("O'Neil"));
        sp->FieldByName(QStringLiteral("id_estimation_other"))->setAsInteger(3);
        DS_VERIFY(sp->Post());
        QCOMPARE(scalar(QStringLiteral("select p35 from mark_mag where id_mark_mag = ?"), {id}).toString(), QStringLiteral("O'Neil"));

        const auto trace = admin->trace(&error);
        QVERIFY2(trace, qPrintable(error));
        QStringList updates;
        for (const olm::server::TraceEntry &entry : *trace)
            if (entry.statement.startsWith(QLatin1String("UPDATE")))
                updates.append(entry.statement);
        QCOMPARE(updates.size(), 1);
        QVERIFY2(updates.first().startsWith(QLatin1String("UPDATE [mark_mag] SET [id_estimation_other] = ?, [p35] = ? "
                                                          "WHERE [id_mark_mag] = ? AND [id_estimation_other] IS NULL "
                                                          "AND [p35] = ?")),
                 qPrintable(updates.first()));
        // What the server set on its own is read back.
        QCOMPARE(sp->FieldByName(QStringLiteral("OLM_User"))->AsString(), Template::instance().editor().user);
    }

    void insertsAreWrittenAndGetTheirIdentity()
    {
        auto q = query(m_conn.get(), QStringLiteral("select * from mark_mag where id_group = 1 and id_semester = 1 and "
                                                    "id_student = 1"));
        DS_VERIFY(q->Open());
        const int rows = q->RecordCount();
        int errors = 0;
        q->OnPostError = [&](TDataSet *, EDatabaseError &, TDataAction &) { ++errors; };
        auto fill = [&] {
            q->FieldByName(QStringLiteral("id_group"))->setAsInteger(1);
            q->FieldByName(QStringLiteral("id_semester"))->setAsInteger(1);
            q->FieldByName(QStringLiteral("id_student"))->setAsInteger(1);
            q->FieldByName(QStringLiteral("id_discipline"))->setAsInteger(7);
            q->FieldByName(QStringLiteral("id_examination"))->setAsInteger(2);
            q->FieldByName(QStringLiteral("p35"))->setAsString(QStringLiteral("new"));
        };
        DS_VERIFY(q->Append());
        fill();
        DS_EXPECT_ERROR(EDatabaseError, q->Post(), "The INSERT permission was denied on the object 'mark_mag'");
        QCOMPARE(errors, 1);
        QCOMPARE(q->State(), dsInsert);
        q->Cancel();
        QCOMPARE(q->RecordCount(), rows);

        QVERIFY(m_db->exec(QStringLiteral("INSERT INTO srv_rights (login, object, action) VALUES (?, 'mark_mag', 'INSERT')"),
                           {Template::instance().editor().user}));
        m_conn->Close();   // rights are read when a session opens
        DS_VERIFY(q->Open());
        q->setRecNo(2);
        DS_VERIFY(q->Insert());
        QCOMPARE(q->RecNo(), -1);
        QCOMPARE(q->CurrentDisplayRow(), 1);
        fill();
        DS_VERIFY(q->Post());
        QCOMPARE(q->RecordCount(), rows + 1);
        QCOMPARE(q->RecNo(), 2);
        const QVariant id = q->FieldByName(QStringLiteral("id_mark_mag"))->Value();
        QVERIFY(!id.isNull());
        QCOMPARE(id.toInt(), scalar(QStringLiteral("select max(id_mark_mag) from mark_mag")).toInt());
        QCOMPARE(scalar(QStringLiteral("select p35 from mark_mag where id_mark_mag = ?"), {id}).toString(), QStringLiteral("new"));
        QVERIFY(!q->Bookmark().isEmpty());
    }

    // --- Bound controls ------------------------------------------------------------------------------------

    void disabledControlsNestAndResumeOnce()
    {
        auto q = query(m_conn.get(), QStringLiteral("select * from t_fio"));
        DS_VERIFY(q->Open());
        QSignalSpy events(q.get(), &TDataSet::dataEvent);
        q->DisableControls();
        q->DisableControls();
        q->Next();
        q->Last();
        QCOMPARE(events.count(), 0);
        q->EnableControls();
        QVERIFY(q->ControlsDisabled());
        QCOMPARE(events.count(), 0);
        q->EnableControls();
        QVERIFY(!q->ControlsDisabled());
        QCOMPARE(events.count(), 1);
        QCOMPARE(events.at(0).at(0).value<TDataEvent>(), deDataSetChange);
        q->EnableControls();   // unbalanced: ignored
        QVERIFY(!q->ControlsDisabled());

        // A failure inside the guarded block leaves nothing disabled.
        events.clear();
        try {
            TControlsDisabler outer(q.get());
            TControlsDisabler inner(q.get());
            q->setFilter(QStringLiteral("nosuch=1"));
            q->setFiltered(true);
            QFAIL("the filter should have been refused");
        } catch (const EDatabaseError &) {
        }
        QVERIFY(!q->ControlsDisabled());
        QCOMPARE(events.count(), 1);
        q->Prior();
        QCOMPARE(events.count(), 2);
        QCOMPARE(events.at(1).at(0).value<TDataEvent>(), deDataSetScroll);
        QCOMPARE(events.at(1).at(1).value<qintptr>(), qintptr(-1));
    }

    void displayRowsWhileInserting()
    {
        auto q = query(m_conn.get(), QStringLiteral("select * from f_est"));
        DS_VERIFY(q->Open());
        QSignalSpy events(q.get(), &TDataSet::dataEvent);
        q->setRecNo(2);
        events.clear();
        DS_VERIFY(q->Insert());
        QCOMPARE(events.at(0).at(0).value<TDataEvent>(), deRowInserted);
        QCOMPARE(events.at(0).at(1).value<qintptr>(), qintptr(1));
        QCOMPARE(q->DisplayRowCount(), 4);
        QCOMPARE(q->RecordCount(), 3);
        QCOMPARE(q->CurrentDisplayRow(), 1);
        QCOMPARE(q->RecNo(), -1);
        QVERIFY(q->Bookmark().isEmpty());
        QVERIFY(q->FieldByName(QStringLiteral("p109"))->IsNull());
        {
            TDataSet::RecordScope scope(q.get(), 2);   // the record the insert pushed down
            QCOMPARE(q->FieldByName(QStringLiteral("id_f_e"))->AsInteger(), 2);
            QCOMPARE(q->RecNo(), 2);
            TDataSet::RecordScope inner(q.get(), 0);
            QCOMPARE(q->FieldByName(QStringLiteral("id_f_e"))->AsInteger(), 1);
        }
        QVERIFY(q->FieldByName(QStringLiteral("p109"))->IsNull());
        QCOMPARE(q->State(), dsInsert);

        // Clicking display row 3 drops the untouched insert and lands on what row 3 showed.
        events.clear();
        DS_VERIFY(q->setCurrentDisplayRow(3));
        QCOMPARE(q->State(), dsBrowse);
        QCOMPARE(q->FieldByName(QStringLiteral("id_f_e"))->AsInteger(), 3);
        QCOMPARE(events.at(0).at(0).value<TDataEvent>(), deRowDeleted);
        QCOMPARE(events.at(0).at(1).value<qintptr>(), qintptr(1));
        QCOMPARE(q->DisplayRowCount(), 3);
    }

    void dataSourceRelaysWhileEnabled()
    {
        auto q = std::make_unique<TADOQuery>();
        q->setConnection(m_conn.get());
        q->setSQLText(QStringLiteral("select * from t_fio"));
        TDataSource source;
        QSignalSpy changed(&source, &TDataSource::dataSetChanged);
        QSignalSpy relayed(&source, &TDataSource::dataEvent);
        source.setDataSet(q.get());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(source.State(), dsInactive);
        DS_VERIFY(q->Open());
        QCOMPARE(source.State(), dsBrowse);
        QVERIFY(relayed.count() > 0);
        relayed.clear();
        source.setEnabled(false);
        QCOMPARE(source.State(), dsInactive);
        relayed.clear();
        q->Next();
        QCOMPARE(relayed.count(), 0);
        source.setEnabled(true);
        QCOMPARE(relayed.count(), 1);
        q->Next();
        QCOMPARE(relayed.count(), 2);
        source.setDataSet(q.get());   // the same dataset: nothing
        QCOMPARE(changed.count(), 1);
        q.reset();
        QCOMPARE(changed.count(), 2);
        QVERIFY(source.DataSet() == nullptr);
        QCOMPARE(source.State(), dsInactive);
    }

    void destroyedListsLeaveLookupsEmpty()
    {
        auto sp = journal(m_conn.get(), 1, 1, 1);
        auto teachers = query(m_conn.get(), QStringLiteral("select * from t_fio"));
        TADOStoredProc *raw = sp.get();
        raw->AddField(QStringLiteral("id_teacher"), ftInteger);
        TField *teacher = raw->AddLookupField(QStringLiteral("teacher"), ftString, 60, QStringLiteral("id_teacher"),
                                              teachers.get(), QStringLiteral("id_teacher"), QStringLiteral("t_fio"));
        QSignalSpy gone(teacher, &QObject::destroyed);
        DS_VERIFY(teachers->Open());
        DS_VERIFY(sp->Open());
        QVERIFY(!teacher->AsString().isEmpty());
        teachers.reset();
        QVERIFY(teacher->LookupDataSet() == nullptr);
        QCOMPARE(teacher->AsString(), QString());
        sp.reset();
        QCOMPARE(gone.count(), 1);
    }
};

OLM_TEST_GUILESS_MAIN(TestDataSet)
#include "tst_dataset.moc"
