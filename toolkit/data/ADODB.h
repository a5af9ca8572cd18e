// The connection, parameters and the three dataset kinds over it (query, table, stored procedure), and the
// data source that links a dataset to controls.
#pragma once

#include "Backend.h"
#include "DataSet.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <memory>

class TCustomADODataSet;

class TADOConnection : public QObject {
    Q_OBJECT
public:
    explicit TADOConnection(QObject *owner = nullptr);
    ~TADOConnection() override;   // closes

    QString ConnectionString() const { return m_connectionString; }
    /// Only while closed; EDatabaseError otherwise.
    void setConnectionString(const QString &text);
    bool LoginPrompt = false;
    /// False: a connection that a dataset opened by itself closes again when its last dataset closes.
    bool KeepConnection = false;
    /// Seconds Execute waits for the server before it gives up (0: no limit).
    int CommandTimeout = 30;

    /// EDatabaseError with the server's own text (driver prefixes stripped) when the server refuses.
    void Open();
    /// Closes every open dataset of this connection first.
    void Close();
    bool Connected() const { return m_backend != nullptr; }
    void setConnected(bool connected) { connected ? Open() : Close(); }
    /// Runs a statement without a result set; returns the rows affected (-1 when unknown).
    int Execute(const QString &statement);

    /// For the dataset kinds: the open backend (opening the connection on demand).
    DbBackend &backend();
    /// Raises EDatabaseError with the outcome's text when it failed.
    static void check(const olm::dataset::Outcome &outcome);

private:
    friend class TCustomADODataSet;
    void datasetOpened(TCustomADODataSet *dataSet);   // registers a dataset that works on this connection
    void datasetClosed(TCustomADODataSet *dataSet);   // closes a connection no open dataset needs any more
    void datasetGone(TCustomADODataSet *dataSet);
    QString m_connectionString;
    std::unique_ptr<DbBackend> m_backend;
    bool m_openedImplicitly = false;
    QList<QPointer<TCustomADODataSet>> m_dataSets;
};

enum TParameterDirection { pdUnknown, pdInput, pdOutput, pdInputOutput, pdReturnValue };

class TParameter {
public:
    QString Name;
    TFieldType DataType = ftUnknown;
    TParameterDirection Direction = pdInput;
    int Size = 0;
    bool Nullable = true;
    /// As assigned; converted to DataType when the statement runs (so "12" serves an integer parameter).
    QVariant Value;
};

class TParameters {
public:
    int Count() const { return int(m_items.size()); }
    TParameter *Items(int index);               ///< EDatabaseError when out of range
    const TParameter *Items(int index) const;
    TParameter *FindParam(const QString &name); ///< case-insensitive, with or without "@"/":"; null if none
    TParameter *ParamByName(const QString &name);   ///< EDatabaseError "Parameter 'x' not found"
    TParameter *AddParameter(const QString &name, TFieldType type, TParameterDirection direction, int size = 0,
                             bool nullable = true);
    void Clear() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TParameter>> m_items;
};

enum TCursorType { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };
enum TADOLockType { ltUnspecified, ltReadOnly, ltPessimistic, ltOptimistic, ltBatchOptimistic };

/// What the three kinds share: the connection, the cursor options, and writing edited rows back to the
/// update table by its key with the optimistic check (changed fields must still hold the values read).
class TCustomADODataSet : public TDataSet {
    Q_OBJECT
public:
    explicit TCustomADODataSet(QObject *owner = nullptr);
    ~TCustomADODataSet() override;

    TADOConnection *Connection() const { return m_connection; }
    void setConnection(TADOConnection *connection);
    TCursorType CursorType = ctStatic;
    TADOLockType LockType = ltOptimistic;
    int CommandTimeout = 30;
    TParameters *Parameters() { return &m_parameters; }

    /// Table that edits and deletes are written to, and its key fields (";"-separated). When empty, the table
    /// the server names for the rows and the identity column are used.
    QString UpdateTableName;
    QString UpdateKeyFields;

protected:
    void writeRow(TRowChange &change) override;
    /// Binds parameters to positional values, converting each to its DataType.
    QVariantList parameterValues(int firstIndex) const;
    /// The connection, or EDatabaseError when none is set.
    TADOConnection &connectionOrFail();
    /// The first result set of an outcome as rows for the dataset; EDatabaseError when it failed or has none.
    TFetchedRows resultRows(olm::dataset::Outcome &outcome);
    /// Closes a connection this call opened by itself, once nothing needs it.
    void releaseConnection();
    TParameters m_parameters;
    QString m_serverTable;   ///< as the last fetch reported

private:
    QString updateTable() const;
    QStringList keyFieldNames() const;
    QPointer<TADOConnection> m_connection;
    QHash<QString, olm::dataset::ColumnInfo> m_columns;   // by lower-case name, as the last fetch reported
    /// The update table's columns as the server listed them, when no result column names a base table.
    QString m_listedTable;
    QSet<QString> m_listedColumns;
};

class TADOQuery : public TCustomADODataSet {
    Q_OBJECT
public:
    explicit TADOQuery(QObject *owner = nullptr);
    /// The statement, line by line. Setting it closes the query and re-reads its ":name" parameters
    /// (keeping the values of parameters whose names stay).
    QStringList SQL() const { return m_sql; }
    void setSQL(const QStringList &lines);
    QString SQLText() const;                  ///< lines joined by "\r\n"
    void setSQLText(const QString &text);
    /// Runs the statement without a result set; returns the rows affected.
    int ExecSQL();

protected:
    TFetchedRows fetchRows() override;

private:
    QStringList m_sql;
};

class TADOTable : public TCustomADODataSet {
    Q_OBJECT
public:
    explicit TADOTable(QObject *owner = nullptr);
    QString TableName() const { return m_tableName; }
    void setTableName(const QString &name);   ///< closes

protected:
    TFetchedRows fetchRows() override;

private:
    QString m_tableName;
};

class TADOStoredProc : public TCustomADODataSet {
    Q_OBJECT
public:
    explicit TADOStoredProc(QObject *owner = nullptr);
    /// "SORT_2_MARK_MAG;1"
    QString ProcedureName() const { return m_procedureName; }
    void setProcedureName(const QString &name);   ///< closes
    /// Runs the procedure without reading a result set; parameter 0 (the return value) receives the result.
    void ExecProc();

protected:
    TFetchedRows fetchRows() override;

private:
    QString m_procedureName;
};

/// Links a dataset to bound controls; relays the dataset's notifications while enabled.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject *owner = nullptr);
    TDataSet *DataSet() const { return m_dataSet; }
    void setDataSet(TDataSet *dataSet);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    TDataSetState State() const;

Q_SIGNALS:
    void dataEvent(TDataEvent event, qintptr info);
    /// The linked dataset was replaced (or went away).
    void dataSetChanged();

private:
    QPointer<TDataSet> m_dataSet;
    QMetaObject::Connection m_link;
    bool m_enabled = true;
};
