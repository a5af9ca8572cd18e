// The rows of one examination sheet: every student of a group with the journal row of one discipline and form
// of assessment in one semester, read and written through the dataset layer with the journal's change history.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

class TADOConnection;
class TADOQuery;
class TADOStoredProc;
class TADOUpdateHistoryExec;
class TDataSet;
class TJournalHistoryWriters;

/// What one sheet is for: keys, and the names its header shows.
struct ExamSheetSelection {
    QVariant group, semester, discipline, examination;
    QString groupName, semesterName, disciplineName, examinationName, teacherName;
};

/// One line of the sheet as shown and printed.
struct ExamSheetLine {
    QVariant rowId;      ///< id_mark_mag; null for a student the server gave no row
    QString student;
    QVariant markKey;    ///< id_estimation
    QString mark;
    QString teacher;
    QString sheetForm;
    QString sheetNumber;
    QString date;
};

/// A mark of the sheet's form of assessment.
struct ExamSheetMark {
    int key = 0;
    QString text;
};

class ExamSheetRows : public QObject {
    Q_OBJECT
public:
    /// writers turn changes into log entries as the journal's do; it must outlive this object.
    ExamSheetRows(TADOConnection *connection, TJournalHistoryWriters &writers, QObject *owner = nullptr);
    ~ExamSheetRows() override;

    /// Creates the journal rows students lack, then reads the sheet. Raises EDatabaseError.
    void open(const ExamSheetSelection &selection);
    /// Reads the sheet again from the server (what someone else stored included).
    void reload();
    const ExamSheetSelection &selection() const { return m_selection; }

    int count() const { return int(m_lines.size()); }
    const QList<ExamSheetLine> &lines() const { return m_lines; }
    const QList<ExamSheetMark> &marks() const { return m_marks; }

    /// The key of the mark typed as its text (case-insensitive) or as its key; none when the form of
    /// assessment has no such mark.
    std::optional<int> markKeyFor(const QString &typed) const;

    /// Stores a mark on a line through the dataset's write-back and the change history. False with the
    /// refusal's text in *error when the server refused (another user's change included); the row then keeps
    /// what the server holds and the sheet is read again.
    bool storeMark(int line, int markKey, QString *error);

    /// The sheet's rows dataset (for tests and the benchmark).
    TDataSet *rows() const;

private:
    void createMissingRows();
    void readLines();
    void reattachHistory();

    ExamSheetSelection m_selection;
    TADOQuery *m_rows;
    TADOQuery *m_students;
    TADOQuery *m_markList;
    TADOQuery *m_teachers;
    TADOQuery *m_sheetForms;
    TADOStoredProc *m_createRows;
    std::unique_ptr<TADOUpdateHistoryExec> m_history;
    QList<ExamSheetLine> m_lines;
    QList<ExamSheetMark> m_marks;
};
