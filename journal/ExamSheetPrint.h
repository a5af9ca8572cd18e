// The printed examination sheet: the header (group, discipline, form of assessment, semester, teacher), one
// numbered line per student with the mark and a signature space, and the signature lines below.
#pragma once

#include "journal/ExamSheetRows.h"

#include <QString>

class QPrinter;

/// The sheet as a rich-text document.
QString examSheetHtml(const ExamSheetSelection &selection, const QList<ExamSheetLine> &lines);

/// Lays the sheet out on the printer's pages.
void printExamSheet(QPrinter *printer, const ExamSheetSelection &selection, const QList<ExamSheetLine> &lines);

/// Writes the sheet as a PDF file; false when the file could not be written.
bool saveExamSheetPdf(const QString &path, const ExamSheetSelection &selection, const QList<ExamSheetLine> &lines);
