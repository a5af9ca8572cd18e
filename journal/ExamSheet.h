// The examination sheet window: one group, semester, discipline and form of assessment, a line per student,
// marks typed from the keyboard line after line as from a paper sheet; printing, PDF and CSV of the sheet.
#pragma once

#include "journal/ExamSheetRows.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TADOConnection;
class TJournalHistoryWriters;

class ExamSheetWindow : public QDialog {
    Q_OBJECT
public:
    enum Column { ColNumber, ColStudent, ColMark, ColTeacher, ColSheetForm, ColSheetNumber, ColDate, ColCount };

    /// Reads the sheet (creating the rows students lack); raises EDatabaseError when the server refuses.
    ExamSheetWindow(TADOConnection *connection, TJournalHistoryWriters &writers,
                    const ExamSheetSelection &selection, QWidget *parent = nullptr);
    ~ExamSheetWindow() override;

    // Controls, for tests as for the user.
    QLabel *HeaderLabel;
    QTableWidget *Lines;
    QLineEdit *MarkEdit;
    QLabel *MarkListLabel;
    QPushButton *PrintButton;
    QPushButton *PdfButton;
    QPushButton *CsvButton;
    QPushButton *CloseButton;

    ExamSheetRows &rows() { return *m_rows; }
    int currentLine() const { return m_current; }
    void setCurrentLine(int line);
    /// Whether any mark was stored while the window was open (the journal reads itself again then).
    bool storedAny() const { return m_storedAny; }

    /// Stores what MarkEdit holds on the current line and moves down; an empty entry only moves down.
    void commitEntry();
    /// The print preview (a modal window through the dialog seam).
    void printPreview();
    /// Asks for a file and writes the sheet as PDF.
    void savePdf();
    /// Asks for a file and writes the sheet as CSV.
    void saveCsv();
    /// The sheet as the CSV export writes it: titles, then one row per line.
    QList<QStringList> csvTable() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillLines();
    void showLine(int line);
    QString suggestedFileName(const QString &extension) const;

    ExamSheetRows *m_rows;
    int m_current = 0;
    bool m_storedAny = false;
};
