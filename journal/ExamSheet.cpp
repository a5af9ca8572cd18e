// The examination sheet window: keyboard-first entry of a column of marks, and its print, PDF and CSV outputs.
#include "journal/ExamSheet.h"

#include "journal/CsvExport.h"
#include "journal/ExamSheetPrint.h"
#include "toolkit/ui/Dialogs.h"

#include <QCompleter>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const char *const SheetColumnTitles[ExamSheetWindow::ColCount] = {
    "№", "Студент", "Оценка", "Преподаватель", "Форма ведомости", "№ ведомости", "Дата"};

QString sheetWarningCaption()
{
    return QStringLiteral("Warning!");
}

} // namespace

ExamSheetWindow::ExamSheetWindow(TADOConnection *connection, TJournalHistoryWriters &writers,
                                 const ExamSheetSelection &selection, QWidget *parent)
    : QDialog(parent), m_rows(new ExamSheetRows(connection, writers, this))
{
    setWindowTitle(QStringLiteral("Экзаменационная ведомость"));
    resize(900, 640);
    m_rows->open(selection);

    HeaderLabel = new QLabel(this);
    HeaderLabel->setText(QStringLiteral("Группа: %1    Семестр: %2\nДисциплина: %3    Форма контроля: %4")
                             .arg(selection.groupName, selection.semesterName, selection.disciplineName,
                                  selection.examinationName));
    Lines = new QTableWidget(0, ColCount, this);
    for (int c = 0; c < ColCount; ++c)
        Lines->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf8(SheetColumnTitles[c])));
    Lines->verticalHeader()->hide();
    Lines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Lines->setSelectionBehavior(QAbstractItemView::SelectRows);
    Lines->setSelectionMode(QAbstractItemView::SingleSelection);
    // The entry line keeps the focus; the table only shows where the typing goes.
    Lines->setFocusPolicy(Qt::NoFocus);
    Lines->horizontalHeader()->setSectionResizeMode(ColStudent, QHeaderView::Stretch);

    MarkEdit = new QLineEdit(this);
    MarkEdit->installEventFilter(this);
    QStringList offered;
    for (const ExamSheetMark &mark : m_rows->marks())
        offered.append(QString::number(mark.key) + QStringLiteral(" — ") + mark.text);
    MarkListLabel = new QLabel(QStringLiteral("Оценки: ") + offered.join(QStringLiteral(";  ")), this);
    // Only this form of assessment's marks complete what is typed, in the line itself: Enter stays the user's.
    QStringList markTexts;
    for (const ExamSheetMark &mark : m_rows->marks())
        markTexts.append(mark.text);
    auto *completer = new QCompleter(markTexts, MarkEdit);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setCompletionMode(QCompleter::InlineCompletion);
    MarkEdit->setCompleter(completer);
    MarkListLabel->setWordWrap(true);

    PrintButton = new QPushButton(QStringLiteral("Печать…"), this);
    PdfButton = new QPushButton(QStringLiteral("PDF…"), this);
    CsvButton = new QPushButton(QStringLiteral("CSV…"), this);
    CloseButton = new QPushButton(QStringLiteral("Закрыть"), this);
    for (QPushButton *button : {PrintButton, PdfButton, CsvButton, CloseButton})
        button->setAutoDefault(false);
    connect(PrintButton, &QPushButton::clicked, this, &ExamSheetWindow::printPreview);
    connect(PdfButton, &QPushButton::clicked, this, &ExamSheetWindow::savePdf);
    connect(CsvButton, &QPushButton::clicked, this, &ExamSheetWindow::saveCsv);
    connect(CloseButton, &QPushButton::clicked, this, [this] { done(Accepted); });

    auto *entry = new QHBoxLayout;
    entry->addWidget(new QLabel(QStringLiteral("Оценка (текст или код, Enter — записать):"), this));
    entry->addWidget(MarkEdit, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *button : {PrintButton, PdfButton, CsvButton, CloseButton})
        buttons->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(HeaderLabel);
    layout->addWidget(Lines, 1);
    layout->addLayout(entry);
    layout->addWidget(MarkListLabel);
    layout->addLayout(buttons);

    fillLines();
    setCurrentLine(0);
    MarkEdit->setFocus();
}

ExamSheetWindow::~ExamSheetWindow() = default;

void ExamSheetWindow::fillLines()
{
    const QList<ExamSheetLine> &lines = m_rows->lines();
    Lines->setRowCount(int(lines.size()));
    for (int i = 0; i < lines.size(); ++i)
        showLine(i);
    Lines->resizeColumnsToContents();
}

void ExamSheetWindow::showLine(int line)
{
    const ExamSheetLine &shown = m_rows->lines().at(line);
    const QString texts[ColCount] = {QString::number(line + 1), shown.student, shown.mark, shown.teacher,
                                     shown.sheetForm, shown.sheetNumber, shown.date};
    for (int c = 0; c < ColCount; ++c) {
        QTableWidgetItem *item = Lines->item(line, c);
        if (!item) {
            item = new QTableWidgetItem;
            Lines->setItem(line, c, item);
        }
        item->setText(texts[c]);
    }
}

void ExamSheetWindow::setCurrentLine(int line)
{
    if (m_rows->count() == 0)
        return;
    m_current = std::clamp(line, 0, m_rows->count() - 1);
    Lines->selectRow(m_current);
    Lines->scrollToItem(Lines->item(m_current, ColMark));
    MarkEdit->setText(m_rows->lines().at(m_current).mark);
    MarkEdit->selectAll();
}

void ExamSheetWindow::commitEntry()
{
    if (m_rows->count() == 0)
        return;
    const QString typed = MarkEdit->text().trimmed();
    const ExamSheetLine &line = m_rows->lines().at(m_current);
    if (typed.isEmpty() || typed.compare(line.mark, Qt::CaseInsensitive) == 0) {
        setCurrentLine(m_current + 1);
        return;
    }
    const std::optional<int> key = m_rows->markKeyFor(typed);
    if (!key) {
        MessageBoxA(this,
                    QStringLiteral("Оценки \"") + typed + QStringLiteral("\" нет среди оценок формы контроля \"")
                        + m_rows->selection().examinationName + QStringLiteral("\"."),
                    sheetWarningCaption(), MB_OK | MB_ICONWARNING);
        MarkEdit->selectAll();
        return;
    }
    if (line.rowId.isNull()) {
        MessageBoxA(this, QStringLiteral("У студента нет строки журнала по этой дисциплине."),
                    sheetWarningCaption(), MB_OK | MB_ICONWARNING);
        return;
    }
    QString error;
    if (!m_rows->storeMark(m_current, *key, &error)) {
        // Someone else's change stays: the sheet now shows what the server holds.
        fillLines();
        MessageBoxA(this, error, sheetWarningCaption(), MB_OK | MB_ICONWARNING);
        setCurrentLine(m_current);
        return;
    }
    m_storedAny = true;
    showLine(m_current);
    setCurrentLine(m_current + 1);
}

bool ExamSheetWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == MarkEdit && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            commitEntry();
            return true;
        case Qt::Key_Down:
            setCurrentLine(m_current + 1);
            return true;
        case Qt::Key_Up:
            setCurrentLine(m_current - 1);
            return true;
        case Qt::Key_PageDown:
            setCurrentLine(m_current + 10);
            return true;
        case Qt::Key_PageUp:
            setCurrentLine(m_current - 10);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString ExamSheetWindow::suggestedFileName(const QString &extension) const
{
    const ExamSheetSelection &s = m_rows->selection();
    QString name = s.groupName + QLatin1Char(' ') + s.disciplineName + QLatin1Char(' ') + s.examinationName;
    for (const QChar bad : QStringLiteral("\\/:*?\"<>|"))
        name.replace(bad, QLatin1Char('_'));
    return name.trimmed() + extension;
}

void ExamSheetWindow::printPreview()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter *target) { printExamSheet(target, m_rows->selection(), m_rows->lines()); });
    ShowModal(&preview);
}

void ExamSheetWindow::savePdf()
{
    const QString path = chooseSaveFile(this, QStringLiteral("Сохранить в PDF"), QStringLiteral("Файлы PDF (*.pdf)"),
                                        suggestedFileName(QStringLiteral(".pdf")));
    if (path.isEmpty())
        return;
    if (!saveExamSheetPdf(path, m_rows->selection(), m_rows->lines()))
        MessageBoxA(this, QStringLiteral("Не удалось записать файл ") + path, sheetWarningCaption(),
                    MB_OK | MB_ICONWARNING);
}

QList<QStringList> ExamSheetWindow::csvTable() const
{
    QList<QStringList> table;
    QStringList titles;
    for (const char *title : SheetColumnTitles)
        titles.append(QString::fromUtf8(title));
    table.append(titles);
    int number = 0;
    for (const ExamSheetLine &line : m_rows->lines())
        table.append({QString::number(++number), line.student, line.mark, line.teacher, line.sheetForm,
                      line.sheetNumber, line.date});
    return table;
}

void ExamSheetWindow::saveCsv()
{
    exportCsv(this, csvTable(), suggestedFileName(QStringLiteral(".csv")));
}
