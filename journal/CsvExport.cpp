// Comma-separated export of the journal grid and the examination sheet, and the save dialog both exports use.
#include "journal/CsvExport.h"

#include "toolkit/data/DataSet.h"
#include "toolkit/data/Field.h"
#include "toolkit/ui/DBGridEh.h"
#include "toolkit/ui/Dialogs.h"
#include "toolkit/ui/Application.h"

#include <QFileDialog>
#include <QSaveFile>

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QByteArray csvDocument(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows) {
        QStringList fields;
        fields.reserve(row.size());
        for (const QString &field : row)
            fields.append(csvField(field));
        text += fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QList<QStringList> csvGridTable(TDBGridEh *grid)
{
    QList<QStringList> table;
    QList<TColumnEh *> columns;
    QStringList titles;
    for (int i = 0; i < grid->ColumnCount(); ++i) {
        TColumnEh *column = grid->Columns(i);
        if (!column->Visible)
            continue;
        columns.append(column);
        titles.append(column->Title.Caption.isEmpty() ? column->FieldName : column->Title.Caption);
    }
    table.append(titles);
    TDataSet *dataSet = grid->dataSet();
    if (!dataSet || !dataSet->Active())
        return table;
    for (int row = 0; row < dataSet->DisplayRowCount(); ++row) {
        const TDataSet::RecordScope scope(dataSet, row);
        QStringList values;
        for (TColumnEh *column : std::as_const(columns)) {
            const TField *field = column->Field();
            values.append(field ? field->DisplayText() : QString());
        }
        table.append(values);
    }
    return table;
}

bool writeCsvFile(const QString &path, const QList<QStringList> &rows, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csvDocument(rows)) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString chooseSaveFile(QWidget *owner, const QString &caption, const QString &filter, const QString &suggested)
{
    QFileDialog dialog(owner, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(filter);
    dialog.selectFile(suggested);
    if (ShowModal(&dialog) != mrOk)
        return {};
    return dialog.selectedFiles().value(0);
}

bool exportCsv(QWidget *owner, const QList<QStringList> &rows, const QString &suggested)
{
    const QString path = chooseSaveFile(owner, QStringLiteral("Сохранить в CSV"),
                                        QStringLiteral("Файлы CSV (*.csv)"), suggested);
    if (path.isEmpty())
        return false;
    QString error;
    if (writeCsvFile(path, rows, &error))
        return true;
    MessageBoxA(owner, QStringLiteral("Не удалось записать файл ") + path + QStringLiteral(": ") + error,
                QStringLiteral("Warning!"), MB_OK | MB_ICONWARNING);
    return false;
}
