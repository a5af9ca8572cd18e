// Printing of the examination sheet through a rich-text document, to a printer, its preview, or a PDF file.
#include "journal/ExamSheetPrint.h"

#include <QFileInfo>
#include <QPrinter>
#include <QTextDocument>

namespace {

QString sheetHtmlText(const QString &text)
{
    return text.toHtmlEscaped();
}

QString sheetHeaderRow(const QString &label, const QString &value)
{
    return QStringLiteral("<tr><td>") + sheetHtmlText(label) + QStringLiteral("</td><td><b>") + sheetHtmlText(value)
           + QStringLiteral("</b></td></tr>");
}

} // namespace

QString examSheetHtml(const ExamSheetSelection &selection, const QList<ExamSheetLine> &lines)
{
    QString html = QStringLiteral("<html><body style=\"font-family: 'DejaVu Sans'; font-size: 10pt\">"
                                  "<h2 align=\"center\">ЭКЗАМЕНАЦИОННАЯ ВЕДОМОСТЬ</h2>"
                                  "<table cellspacing=\"0\" cellpadding=\"2\">");
    html += sheetHeaderRow(QStringLiteral("Группа:"), selection.groupName);
    html += sheetHeaderRow(QStringLiteral("Дисциплина:"), selection.disciplineName);
    html += sheetHeaderRow(QStringLiteral("Форма контроля:"), selection.examinationName);
    html += sheetHeaderRow(QStringLiteral("Семестр:"), selection.semesterName);
    html += sheetHeaderRow(QStringLiteral("Преподаватель:"), selection.teacherName);
    html += QStringLiteral("</table><br/><table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\">"
                           "<tr><th>№</th><th>Фамилия, имя, отчество</th><th>Оценка</th>"
                           "<th>Подпись преподавателя</th></tr>");
    int number = 0;
    for (const ExamSheetLine &line : lines) {
        html += QStringLiteral("<tr><td align=\"right\">") + QString::number(++number)
                + QStringLiteral("</td><td>") + sheetHtmlText(line.student) + QStringLiteral("</td><td align=\"center\">")
                + sheetHtmlText(line.mark) + QStringLiteral("</td><td></td></tr>");
    }
    html += QStringLiteral("</table><br/><br/>"
                           "<p>Преподаватель ______________________ / ") + sheetHtmlText(selection.teacherName)
            + QStringLiteral(" /</p><p>Декан ______________________ /                    /</p>"
                             "<p>Дата «____» ______________ 20___ г.</p></body></html>");
    return html;
}

void printExamSheet(QPrinter *printer, const ExamSheetSelection &selection, const QList<ExamSheetLine> &lines)
{
    QTextDocument document;
    document.setHtml(examSheetHtml(selection, lines));
    document.print(printer);
}

bool saveExamSheetPdf(const QString &path, const ExamSheetSelection &selection, const QList<ExamSheetLine> &lines)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printExamSheet(&printer, selection, lines);
    const QFileInfo written(path);
    return written.exists() && written.size() > 0;
}
