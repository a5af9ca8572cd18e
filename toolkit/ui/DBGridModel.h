// The table model behind the data-aware grid: one row per display row of the bound dataset, one column
// per grid column. The grid hands it the dataset's notifications one by one; each leaves as the
// matching model call, so views and testers see a consistent row count at every step.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>

class TDataSet;
class TDBGridEhPrivate;

class TDBGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDBGridModel(TDBGridEhPrivate *grid, QObject *parent);

    TDataSet *dataSet() const { return m_dataSet; }
    /// Binds another dataset (or none) and resets.
    void setDataSet(TDataSet *dataSet);
    /// Whether row can be read from the dataset as it is now; rows may lag behind while the dataset's
    /// notifications are suspended.
    bool rowReadable(int row) const;

    // Dataset notifications.
    void resetRows();
    void rowInserted(int row);
    void rowDeleted(int row);
    void rowChanged(int row);

    // Changes of the grid's column list.
    void columnAppended();
    void columnMoved(int from, int to);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    int dataSetRows() const;
    /// The dataset row shown at a model row. The dataset has already changed when it notifies, so
    /// between begin and end of an insert or removal the model still shows the rows as they were.
    int dataSetRow(int row) const;

    TDBGridEhPrivate *m_grid;
    QPointer<TDataSet> m_dataSet;
    int m_rows = 0;
    int m_columns = 0;
    int m_pendingRow = -1;
    int m_pendingShift = 0;   // +1 inserted, -1 removed at m_pendingRow, until the model call ends
};
