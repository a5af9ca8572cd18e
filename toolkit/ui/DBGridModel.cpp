// The grid's table model: rows are read inside a record scope, so painting and testers never scroll
// the dataset.
#include "toolkit/ui/DBGridModel.h"

#include "toolkit/ui/DBGridEhPrivate.h"

TDBGridModel::TDBGridModel(TDBGridEhPrivate *grid, QObject *parent) : QAbstractTableModel(parent), m_grid(grid) {}

int TDBGridModel::dataSetRows() const
{
    return m_dataSet && m_dataSet->Active() ? m_dataSet->DisplayRowCount() : 0;
}

void TDBGridModel::setDataSet(TDataSet *dataSet)
{
    beginResetModel();
    m_dataSet = dataSet;
    m_rows = dataSetRows();
    endResetModel();
}

int TDBGridModel::dataSetRow(int row) const
{
    if (m_pendingShift > 0 && row >= m_pendingRow)
        return row + 1;
    if (m_pendingShift < 0 && row >= m_pendingRow)
        return row == m_pendingRow ? -1 : row - 1;
    return row;
}

bool TDBGridModel::rowReadable(int row) const
{
    return row >= 0 && row < dataSetRows();
}

void TDBGridModel::resetRows()
{
    beginResetModel();
    m_rows = dataSetRows();
    endResetModel();
}

void TDBGridModel::rowInserted(int row)
{
    // A notification that does not fit what we know means we missed something: start over.
    if (row < 0 || row > m_rows || dataSetRows() != m_rows + 1) {
        resetRows();
        return;
    }
    m_pendingRow = row;
    m_pendingShift = 1;
    beginInsertRows({}, row, row);
    ++m_rows;
    m_pendingShift = 0;
    endInsertRows();
}

void TDBGridModel::rowDeleted(int row)
{
    if (row < 0 || row >= m_rows || dataSetRows() != m_rows - 1) {
        resetRows();
        return;
    }
    m_pendingRow = row;
    m_pendingShift = -1;
    beginRemoveRows({}, row, row);
    --m_rows;
    m_pendingShift = 0;
    endRemoveRows();
}

void TDBGridModel::rowChanged(int row)
{
    if (dataSetRows() != m_rows) {
        resetRows();
        return;
    }
    if (row < 0 || row >= m_rows || m_columns == 0)
        return;
    Q_EMIT dataChanged(index(row, 0), index(row, m_columns - 1));
}

void TDBGridModel::columnAppended()
{
    beginInsertColumns({}, m_columns, m_columns);
    ++m_columns;
    endInsertColumns();
}

void TDBGridModel::columnMoved(int from, int to)
{
    // Qt counts the destination before the move.
    const int destination = to > from ? to + 1 : to;
    if (from == to || !beginMoveColumns({}, from, from, {}, destination))
        return;
    endMoveColumns();
}

int TDBGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TDBGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant TDBGridModel::data(const QModelIndex &index, int role) const
{
    const int row = dataSetRow(index.row());
    if (!index.isValid() || !rowReadable(row))
        return {};
    TColumnEh *column = m_grid->column(index.column());
    if (!column)
        return {};
    if (role == Qt::TextAlignmentRole) {
        switch (column->Alignment) {
        case taRightJustify: return int(Qt::AlignRight | Qt::AlignVCenter);
        case taCenter: return int(Qt::AlignCenter);
        case taLeftJustify: break;
        }
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    TField *field = column->Field();
    if (!field)
        return {};
    try {
        const TDataSet::RecordScope scope(m_dataSet, row);
        return role == Qt::DisplayRole ? field->DisplayText() : field->AsString();
    } catch (const std::exception &) {
        // A value that cannot be shown is shown empty; painting never raises.
        return {};
    }
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns)
        return QAbstractTableModel::headerData(section, orientation, role);
    TColumnEh *column = m_grid->column(section);
    if (role == Qt::DisplayRole && column) {
        if (!column->Title.Caption.isEmpty())
            return column->Title.Caption;
        if (TField *field = column->Field())
            return field->DisplayLabel();
        return column->FieldName;
    }
    return {};
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_grid->cellEditable(index.column()))
        flags |= Qt::ItemIsEditable;
    return flags;
}
