// The history of one journal row: the server's trail of its changes and the change-history entries written for
// it, with keys shown as the names the journal shows (mark text, teacher, sheet form).
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QTableWidget;
class TADOConnection;

struct RowHistoryEntry {
    QString when;
    QString who;
    QString computer; ///< only the change-history entries know it
    QString field;    ///< empty for a change-history entry
    QString oldValue;
    QString newValue; ///< a change-history entry's description
};

/// The row's entries, the current field's changes first, newest first within each part.
QList<RowHistoryEntry> readRowHistory(TADOConnection *connection, qint64 rowId, const QString &currentField);

class RowHistoryWindow : public QDialog {
    Q_OBJECT
public:
    RowHistoryWindow(TADOConnection *connection, qint64 rowId, const QString &currentField,
                     QWidget *parent = nullptr);

    QTableWidget *Lines;
};
