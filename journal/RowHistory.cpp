// The history of one journal row, read through the server's ROW_HISTORY (the user's own groups only) and shown
// newest first with the current field's changes on top.
#include "journal/RowHistory.h"

#include "toolkit/data/ADODB.h"

#include <QHash>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

std::unique_ptr<TADOQuery> historyQuery(TADOConnection *connection, const QString &sql)
{
    auto query = std::make_unique<TADOQuery>();
    query->setConnection(connection);
    query->setSQLText(sql);
    return query;
}

// Key -> name of one lookup, read once per window.
QHash<QString, QString> historyLookup(TADOConnection *connection, const QString &sql)
{
    QHash<QString, QString> names;
    auto query = historyQuery(connection, sql);
    query->Open();
    for (query->First(); !query->Eof(); query->Next())
        names.insert(query->Fields().at(0)->AsString(), query->Fields().at(1)->AsString().trimmed());
    return names;
}

QString historyTimeText(const QVariant &value)
{
    const QDateTime when = value.toDateTime();
    return when.isValid() ? when.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")) : value.toString();
}

} // namespace

QList<RowHistoryEntry> readRowHistory(TADOConnection *connection, qint64 rowId, const QString &currentField)
{
    QHash<QString, QHash<QString, QString>> lookups;
    const auto marks = historyLookup(connection, QStringLiteral("SELECT id_estimation, p31 FROM est2"));
    lookups.insert(QStringLiteral("id_estimation"), marks);
    lookups.insert(QStringLiteral("id_estimation_other"),
                   historyLookup(connection, QStringLiteral("SELECT id_estimation_other, Estimation_Other FROM EstimationOther")));
    lookups.insert(QStringLiteral("id_teacher"), historyLookup(connection, QStringLiteral("SELECT id_teacher, t_fio FROM t_fio")));
    lookups.insert(QStringLiteral("id_f_est"), historyLookup(connection, QStringLiteral("SELECT id_f_e, p109 FROM f_est")));

    auto query = historyQuery(connection, QStringLiteral("EXEC ROW_HISTORY :row_id"));
    TParameter *parameter = query->Parameters()->ParamByName(QStringLiteral("row_id"));
    parameter->DataType = ftInteger;
    parameter->Value = rowId;
    query->Open();
    struct Sorted {
        RowHistoryEntry entry;
        QString stamp;
        int id = 0;
        bool current = false;
    };
    QList<Sorted> rows;
    for (query->First(); !query->Eof(); query->Next()) {
        const auto value = [&](const char *name) { return query->FieldByName(QString::fromLatin1(name))->Value(); };
        Sorted row;
        const QString field = value("field").toString();
        const auto names = lookups.constFind(field);
        const auto shown = [&](const QVariant &key) {
            const QString text = key.toString();
            if (names == lookups.cend() || key.isNull())
                return text;
            return names->value(text, text);
        };
        row.entry.when = historyTimeText(value("change_date"));
        row.entry.who = value("login").toString().trimmed();
        row.entry.computer = value("comp").toString();
        row.entry.field = field;
        row.entry.oldValue = shown(value("old_value"));
        row.entry.newValue = value("source").toString() == QLatin1String("log") ? value("descr").toString()
                                                                                : shown(value("new_value"));
        row.stamp = value("change_date").toDateTime().toString(Qt::ISODateWithMs);
        row.id = value("id_entry").toInt();
        row.current = !currentField.isEmpty() && field.compare(currentField, Qt::CaseInsensitive) == 0;
        rows.append(row);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Sorted &a, const Sorted &b) {
        if (a.current != b.current)
            return a.current;
        if (a.stamp != b.stamp)
            return a.stamp > b.stamp;
        return a.id > b.id;
    });
    QList<RowHistoryEntry> entries;
    for (const Sorted &row : std::as_const(rows))
        entries.append(row.entry);
    return entries;
}

RowHistoryWindow::RowHistoryWindow(TADOConnection *connection, qint64 rowId, const QString &currentField,
                                   QWidget *parent)
    : QDialog(parent), Lines(new QTableWidget(this))
{
    setObjectName(QStringLiteral("RowHistoryWindow"));
    setWindowTitle(QStringLiteral("История изменений"));
    Lines->setObjectName(QStringLiteral("Lines"));
    Lines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Lines->setColumnCount(6);
    Lines->setHorizontalHeaderLabels({QStringLiteral("Когда"), QStringLiteral("Кто"), QStringLiteral("Компьютер"),
                                      QStringLiteral("Поле"), QStringLiteral("Было"), QStringLiteral("Стало")});
    Lines->horizontalHeader()->setStretchLastSection(true);
    Lines->verticalHeader()->hide();
    const QList<RowHistoryEntry> entries = readRowHistory(connection, rowId, currentField);
    Lines->setRowCount(int(entries.size()));
    for (int line = 0; line < entries.size(); ++line) {
        const RowHistoryEntry &e = entries.at(line);
        const QStringList cells{e.when, e.who, e.computer, e.field, e.oldValue, e.newValue};
        for (int column = 0; column < cells.size(); ++column)
            Lines->setItem(line, column, new QTableWidgetItem(cells.at(column)));
    }
    Lines->resizeColumnsToContents();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Lines);
    resize(900, 400);
}
