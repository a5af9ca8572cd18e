// Comma-separated export of what a grid or the examination sheet shows: UTF-8 with a byte-order mark, so that
// spreadsheet programs read Cyrillic correctly, and fields quoted as RFC 4180 asks.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;
class TDBGridEh;

/// The document: a byte-order mark, then one CRLF-ended line per row. A field holding a comma, a double
/// quote or a line break is enclosed in double quotes, its double quotes doubled.
QByteArray csvDocument(const QList<QStringList> &rows);

/// The grid's visible columns: their titles, then every row's shown texts in the grid's order.
QList<QStringList> csvGridTable(TDBGridEh *grid);

/// Writes the document; false with the reason in *error when the file cannot be written.
bool writeCsvFile(const QString &path, const QList<QStringList> &rows, QString *error);

/// Asks for a file to save through a file dialog that passes the dialog seam; empty when cancelled.
QString chooseSaveFile(QWidget *owner, const QString &caption, const QString &filter, const QString &suggested);

/// Asks for a file, writes the rows there, reports a failed write in a "Warning!" box. True when written.
bool exportCsv(QWidget *owner, const QList<QStringList> &rows, const QString &suggested);
