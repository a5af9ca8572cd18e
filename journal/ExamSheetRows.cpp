// The examination sheet's rows: the students of the group, their journal rows of the sheet's discipline and form
// of assessment, the marks of that form, and the write of one mark with its change-history entries.
#include "journal/ExamSheetRows.h"

#include "data/log_u.h"
#include "journal/LogWriters.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/data/WriteBack.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

namespace {

TADOQuery *sheetQuery(QObject *owner, TADOConnection *connection, const QString &name, const QString &sql)
{
    auto *query = new TADOQuery(owner);
    query->setName(name);
    query->setConnection(connection);
    query->setSQLText(sql);
    return query;
}

void bindSheetParameter(TADOQuery *query, const char *name, const QVariant &value)
{
    TParameter *parameter = query->Parameters()->ParamByName(QString::fromLatin1(name));
    parameter->DataType = ftInteger;
    parameter->Value = value;
}

QString sheetDateText(const QVariant &value)
{
    const QDateTime when = value.toDateTime();
    return when.isValid() ? when.date().toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

} // namespace

ExamSheetRows::ExamSheetRows(TADOConnection *connection, TJournalHistoryWriters &writers, QObject *owner)
    : QObject(owner),
      m_rows(sheetQuery(this, connection, QStringLiteral("SheetRows"),
                        QStringLiteral("SELECT * FROM mark_mag WHERE id_group = :id_group AND id_semester = "
                                       ":id_semester AND id_discipline = :id_discipline AND id_examination = "
                                       ":id_examination ORDER BY id_mark_mag"))),
      m_students(sheetQuery(this, connection, QStringLiteral("SheetStudents"),
                            QStringLiteral("SELECT id_student, s_fio FROM s_g WHERE id_group = :id_group "
                                           "ORDER BY s_fio, id_student"))),
      m_markList(sheetQuery(this, connection, QStringLiteral("SheetMarks"),
                            QStringLiteral("SELECT id_estimation, p31 FROM est2 WHERE id_examination = "
                                           ":id_examination ORDER BY id_estimation"))),
      m_teachers(sheetQuery(this, connection, QStringLiteral("SheetTeachers"),
                            QStringLiteral("SELECT id_teacher, t_fio FROM t_fio"))),
      m_sheetForms(sheetQuery(this, connection, QStringLiteral("SheetForms"),
                              QStringLiteral("SELECT id_f_e, p109 FROM f_est"))),
      m_createRows(new TADOStoredProc(this)),
      m_history(std::make_unique<TADOUpdateHistoryExec>())
{
    m_rows->UpdateTableName = QStringLiteral("mark_mag");
    m_rows->UpdateKeyFields = QStringLiteral("id_mark_mag");
    m_createRows->setConnection(connection);
    m_createRows->setProcedureName(QStringLiteral("InsertInto_SORT_MARK_MAG_2;1"));
    TParameters *parameters = m_createRows->Parameters();
    parameters->AddParameter(QStringLiteral("@RETURN_VALUE"), ftInteger, pdReturnValue, 0, false);
    for (const char *argument : {"@group", "@semester", "@student", "@mode"})
        parameters->AddParameter(QString::fromLatin1(argument), ftInteger, pdInput);

    // The same writers and description template as the journal's, so a mark stored here is logged alike.
    AssignHistoryWriters(*m_history, writers);
    m_history->setTemplate(JournalChangeTemplate());
    reattachHistory();
}

ExamSheetRows::~ExamSheetRows()
{
    m_history->Detach();
}

TDataSet *ExamSheetRows::rows() const
{
    return m_rows;
}

void ExamSheetRows::reattachHistory()
{
    // A refused write detaches the executor (it hands the errors back to the dataset); the sheet goes on logging.
    if (!m_history->DataSet())
        m_history->Attach(m_rows, QStringLiteral("mark_mag"), QStringLiteral("id_mark_mag"), true, false);
}

void ExamSheetRows::open(const ExamSheetSelection &selection)
{
    m_selection = selection;
    m_students->Close();
    bindSheetParameter(m_students, "id_group", selection.group);
    m_students->Open();
    m_markList->Close();
    bindSheetParameter(m_markList, "id_examination", selection.examination);
    m_markList->Open();
    m_marks.clear();
    for (m_markList->First(); !m_markList->Eof(); m_markList->Next())
        m_marks.append({m_markList->FieldByName(QStringLiteral("id_estimation"))->AsInteger(),
                        m_markList->FieldByName(QStringLiteral("p31"))->AsString()});
    if (!m_teachers->Active())
        m_teachers->Open();
    if (!m_sheetForms->Active())
        m_sheetForms->Open();
    m_rows->Close();
    bindSheetParameter(m_rows, "id_group", selection.group);
    bindSheetParameter(m_rows, "id_semester", selection.semester);
    bindSheetParameter(m_rows, "id_discipline", selection.discipline);
    bindSheetParameter(m_rows, "id_examination", selection.examination);
    m_rows->Open();
    createMissingRows();
    readLines();
}

void ExamSheetRows::createMissingRows()
{
    QSet<int> present;
    TField *student = m_rows->FieldByName(QStringLiteral("id_student"));
    for (m_rows->First(); !m_rows->Eof(); m_rows->Next())
        present.insert(student->AsInteger());
    bool created = false;
    for (m_students->First(); !m_students->Eof(); m_students->Next()) {
        const QVariant id = m_students->FieldByName(QStringLiteral("id_student"))->Value();
        if (present.contains(id.toInt()))
            continue;
        // The server creates every curriculum row the student lacks in the semester, as the journal's choice of
        // a student does.
        TParameters *parameters = m_createRows->Parameters();
        parameters->Items(1)->Value = m_selection.group;
        parameters->Items(2)->Value = m_selection.semester;
        parameters->Items(3)->Value = id;
        parameters->Items(4)->Value = 1;
        m_createRows->ExecProc();
        created = true;
    }
    if (created)
        m_rows->Requery();
}

void ExamSheetRows::reload()
{
    m_rows->Requery();
    readLines();
}

void ExamSheetRows::readLines()
{
    m_lines.clear();
    QHash<int, QList<int>> rowsOfStudent;   // id_student -> record numbers
    TField *studentKey = m_rows->FieldByName(QStringLiteral("id_student"));
    for (m_rows->First(); !m_rows->Eof(); m_rows->Next())
        rowsOfStudent[studentKey->AsInteger()].append(m_rows->RecNo());
    QHash<int, QString> markText;
    for (const ExamSheetMark &mark : std::as_const(m_marks))
        markText.insert(mark.key, mark.text);
    for (m_students->First(); !m_students->Eof(); m_students->Next()) {
        const int id = m_students->FieldByName(QStringLiteral("id_student"))->AsInteger();
        const QString name = m_students->FieldByName(QStringLiteral("s_fio"))->AsString();
        const QList<int> recNos = rowsOfStudent.value(id);
        if (recNos.isEmpty()) {
            // A discipline outside the group's curriculum: the server makes no row, the line stays empty.
            m_lines.append({QVariant(), name, QVariant(), QString(), QString(), QString(), QString(), QString()});
            continue;
        }
        for (const int recNo : recNos) {
            m_rows->setRecNo(recNo);
            ExamSheetLine line;
            line.rowId = m_rows->FieldByName(QStringLiteral("id_mark_mag"))->Value();
            line.student = name;
            line.markKey = m_rows->FieldByName(QStringLiteral("id_estimation"))->Value();
            line.mark = line.markKey.isNull() ? QString() : markText.value(line.markKey.toInt());
            line.teacher = m_teachers->Lookup(QStringLiteral("id_teacher"),
                                              m_rows->FieldByName(QStringLiteral("id_teacher"))->Value(),
                                              QStringLiteral("t_fio")).toString();
            line.sheetForm = m_sheetForms->Lookup(QStringLiteral("id_f_e"),
                                                  m_rows->FieldByName(QStringLiteral("id_f_est"))->Value(),
                                                  QStringLiteral("p109")).toString();
            line.sheetNumber = m_rows->FieldByName(QStringLiteral("p35"))->AsString();
            line.date = sheetDateText(m_rows->FieldByName(QStringLiteral("p36"))->Value());
            m_lines.append(line);
        }
    }
}

std::optional<int> ExamSheetRows::markKeyFor(const QString &typed) const
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    for (const ExamSheetMark &mark : m_marks)
        if (mark.text.compare(text, Qt::CaseInsensitive) == 0)
            return mark.key;
    bool isNumber = false;
    const int key = text.toInt(&isNumber);
    if (isNumber)
        for (const ExamSheetMark &mark : m_marks)
            if (mark.key == key)
                return key;
    return std::nullopt;
}

bool ExamSheetRows::storeMark(int line, int markKey, QString *error)
{
    const QVariant rowId = m_lines.value(line).rowId;
    if (rowId.isNull() || !m_rows->Locate(QStringLiteral("id_mark_mag"), rowId)) {
        if (error)
            *error = olm::dataset::changedByAnotherUserText();
        return false;
    }
    try {
        m_rows->Edit();
        m_rows->FieldByName(QStringLiteral("id_estimation"))->setValue(markKey);
        m_rows->Post();
    } catch (const Exception &refusal) {
        if (error)
            *error = refusal.Message;
        if (m_rows->State() == dsEdit || m_rows->State() == dsInsert)
            m_rows->Cancel();
        reattachHistory();
        reload();
        return false;
    }
    ExamSheetLine &stored = m_lines[line];
    stored.markKey = markKey;
    for (const ExamSheetMark &mark : std::as_const(m_marks))
        if (mark.key == markKey)
            stored.mark = mark.text;
    return true;
}
