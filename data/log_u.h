// The change-history executor: takes over a dataset's post and delete events, describes every changed field
// and every deleted row, and hands the statements its owner builds from them back after the write succeeded.
#pragma once

#include "toolkit/data/DataSet.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class TField;

/// Receives one description (a changed field, or a deleted row's field list) and adds zero or more
/// statements to List.
using TUpdateHistoryDescribeEvent = std::function<void(const QString &Description, TDataSet *DataSet,
                                                       const QString &TableName, const QString &KeyFieldName,
                                                       QStringList &List)>;
/// Runs the statements collected for one post or delete.
using TUpdateHistoryExecuteEvent = std::function<void(QStringList &List)>;

/// The six dataset handlers found when the executor attached; given back by Detach.
struct TUpdateHistorySavedEvents {
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeDelete, AfterDelete;
    TDataSetErrorEvent OnEditError, OnPostError;
};

class TADOUpdateHistoryExec {
public:
    TADOUpdateHistoryExec();
    /// Detaches first, so the dataset keeps working with its own handlers.
    ~TADOUpdateHistoryExec();
    TADOUpdateHistoryExec(const TADOUpdateHistoryExec &) = delete;
    TADOUpdateHistoryExec &operator=(const TADOUpdateHistoryExec &) = delete;

    /// Saves the dataset's six handlers and installs the hooks the flags ask for. An executor that is
    /// attached already is detached first, so it never saves its own hooks as the handlers to pass on.
    void Attach(TDataSet *ADataSet, const QString &ATableName, const QString &AKeyFieldName, bool ALogChanges,
                bool ALogDeletes);
    /// Gives the attached dataset all six saved handlers back; nothing when detached.
    void Detach();

    TDataSet *DataSet() const { return m_dataSet; }
    const QString &TableName() const { return m_tableName; }
    const QString &KeyFieldName() const { return m_keyFieldName; }
    QStringList &Statements() { return *m_statements; }
    const QStringList &Statements() const { return *m_statements; }
    /// "<?>" is the field's name, "<old>" and "<new>" its values; empty gives the built-in English sentence.
    const QString &Template() const { return m_template; }
    void setTemplate(const QString &text) { m_template = text; }
    bool LogChanges() const { return m_logChanges; }
    bool LogDeletes() const { return m_logDeletes; }
    const TUpdateHistorySavedEvents &SavedEvents() const { return m_saved; }

    // The hooks Attach installs on the dataset.
    void HistoryBeforePost(TDataSet *ADataSet);
    void HistoryAfterPost(TDataSet *ADataSet);
    void HistoryBeforeDelete(TDataSet *ADataSet);
    void HistoryAfterDelete(TDataSet *ADataSet);
    /// Detaches for good; the action stays as it came (daFail), so the error continues to the caller.
    void HistoryError(TDataSet *ADataSet, EDatabaseError &E, TDataAction &Action);

private:
    QString describeChange(const TField *field) const;
    void runStatements(TDataSetNotifyEvent passOn, TDataSet *ADataSet);

    QPointer<TDataSet> m_dataSet;   // a dataset destroyed first is simply forgotten
    QString m_tableName;
    QString m_keyFieldName;
    std::unique_ptr<QStringList> m_statements;
    QString m_template;
    bool m_logChanges = true;
    bool m_logDeletes = false;
    TUpdateHistorySavedEvents m_saved;

public:
    // Set by the owner before Attach.
    TUpdateHistoryDescribeEvent OnFieldChanged;
    TUpdateHistoryExecuteEvent OnExecuteStatements;
    TUpdateHistoryDescribeEvent OnRecordDeleted;
};

/// One single quote + text + one single quote; nothing inside is doubled.
QString QuoteText(const QString &text);
/// Two single quotes + text + two single quotes: a quoted value inside a text that is quoted once more.
QString QuoteTextTwice(const QString &text);
/// The field's current value as a deleted row's description writes it.
QString FieldLiteral(const TField *field);
/// The field's old (old true) or current value as it replaces a placeholder of a change's description.
QString FieldValueText(const TField *field, bool old);
