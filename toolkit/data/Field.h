// A dataset field: persistent (declared before opening, in a fixed order) or made from the result's columns.
// Data fields read the dataset's current record; lookup fields look their key up in a list dataset as it is
// now; calculated fields hold what the dataset's calculation event wrote for the record.
#pragma once

#include "Events.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class TDataSet;

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };

enum TFieldType {
    ftUnknown,
    ftString,
    ftWideString,
    ftFixedWideChar,   ///< wide string of fixed width (trailing blanks kept as the server sends them)
    ftSmallint,
    ftInteger,
    ftLargeint,
    ftAutoInc,
    ftBoolean,
    ftFloat,
    ftDate,
    ftDateTime,
};

/// Client-wide formats for the standard text of dates; one place to change.
struct TFormatSettings {
    static QString ShortDateFormat;   ///< "dd.MM.yyyy" (Qt pattern)
    static QString LongTimeFormat;    ///< "hh:mm:ss"
};

class TField : public QObject {
    Q_OBJECT
public:
    /// Persistent fields are created by TDataSet::AddField / AddLookupField, which own them.
    TField(TDataSet *dataSet, const QString &fieldName, TFieldType dataType, TFieldKind kind, int size);
    ~TField() override;

    TDataSet *DataSet() const { return m_dataSet; }
    const QString &FieldName() const { return m_fieldName; }
    TFieldKind FieldKind() const { return m_kind; }
    TFieldType DataType() const { return m_dataType; }
    int Size() const { return m_size; }
    /// Position in the dataset's field list, 0-based.
    int Index() const;
    /// A field whose value comes from the dataset's source (not lookup, not calculated).
    bool IsDataField() const { return m_kind == fkData; }
    bool IsStringType() const { return m_dataType == ftString || m_dataType == ftWideString || m_dataType == ftFixedWideChar; }
    bool IsDateType() const { return m_dataType == ftDate || m_dataType == ftDateTime; }

    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool Visible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    QString DisplayLabel() const { return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel; }
    void setDisplayLabel(const QString &label) { m_displayLabel = label; }
    /// Display format pattern ("dd.mm.yyyy": d, m, yyyy, hh, nn, ss; "0.00"; "Да;Нет"); used by DisplayText only.
    QString DisplayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString &format) { m_displayFormat = format; }
    /// Edit mask ("##/##/####"), kept for the grid's editor; a value typed through it converts as text.
    QString EditMask() const { return m_editMask; }
    void setEditMask(const QString &mask) { m_editMask = mask; }

    // Lookup definition (fkLookup): this row's KeyFields matched against LookupKeyFields of LookupDataSet,
    // giving LookupResultField of the matching list row.
    QString KeyFields() const { return m_keyFields; }
    TDataSet *LookupDataSet() const;
    QString LookupKeyFields() const { return m_lookupKeyFields; }
    QString LookupResultField() const { return m_lookupResultField; }
    void setLookup(const QString &keyFields, TDataSet *lookupDataSet, const QString &lookupKeyFields,
                   const QString &lookupResultField);

    /// The value of the dataset's active record (the edit buffer while editing); null QVariant for NULL.
    QVariant Value() const;
    /// The value as read from the server (or as last posted) for the active record; null for a new record.
    QVariant OldValue() const;
    /// Value() is NULL (an empty text is not).
    bool IsNull() const;

    /// The standard text: "" for null; dates give the short date; date-times the short date and, when the time
    /// of day is not midnight, a blank and the long time; booleans "True"/"False"; floats without exponent.
    QString AsString() const;
    int AsInteger() const;          ///< 0 for null; EConvertError when the text is no integer
    bool AsBoolean() const;
    double AsFloat() const;
    QDateTime AsDateTime() const;   ///< invalid for null
    QVariant AsVariant() const { return Value(); }
    /// The text shown to the user: DisplayFormat applied when set, else AsString.
    QString DisplayText() const;
    /// The standard text of any value of this field's type (the same rules as AsString).
    QString TextOf(const QVariant &value) const;

    /// Store a value: the dataset must be in edit or insert state (or calculating, for calculated fields).
    /// Converts to the field's type; EConvertError when it does not convert; EDatabaseError for read-only.
    /// A lookup field stores the key of the list row whose result field holds the value (null when none).
    void setValue(const QVariant &value);
    void setAsString(const QString &text);   ///< "" stores NULL; conversion as the field's type demands
    void setAsInteger(int value);
    void setAsBoolean(bool value);
    void setAsFloat(double value);
    void setAsDateTime(const QDateTime &value);
    void Clear();                            ///< stores NULL

    /// Converts a value to this field's type. EConvertError naming the field when it does not convert.
    QVariant convert(const QVariant &value) const;

    TFieldNotifyEvent OnChange;

private:
    friend class TDataSet;
    friend class TDataSetPrivate;
    void setLookupValue(const QVariant &value);
    TDataSet *m_dataSet;
    QString m_fieldName;
    TFieldType m_dataType;
    TFieldKind m_kind;
    int m_size;
    bool m_readOnly = false;
    bool m_visible = true;
    QString m_displayLabel;
    QString m_displayFormat;
    QString m_editMask;
    QString m_keyFields;
    QPointer<QObject> m_lookupDataSet;   // the list may be destroyed before this field
    QString m_lookupKeyFields;
    QString m_lookupResultField;
    int m_dataIndex = -1;   ///< column of the record buffer for data fields, slot for calculated ones
};
