// A combo box that offers the rows of a list dataset and holds the key of the chosen one: the key
// value and the shown text are separate, and differ while the list is closed or reloaded without the
// key.
#pragma once

#include "toolkit/data/ADODB.h"

#include <QComboBox>
#include <QPointer>
#include <QVariant>

#include <functional>

class TDBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDBLookupComboBox(QWidget *parent = nullptr);
    ~TDBLookupComboBox() override;

    /// The list the box offers (its dataset's rows, in the dataset's current order).
    TDataSource *ListSource() const { return m_listSource; }
    void setListSource(TDataSource *source);
    TDataSet *ListDataSet() const;
    /// The list field whose value is the key ("id_group").
    QString KeyField() const { return m_keyField; }
    void setKeyField(const QString &fieldName);
    /// The list field shown for each row ("p20").
    QString ListField() const { return m_listField; }
    void setListField(const QString &fieldName);

    /// The chosen key; null when nothing is chosen.
    QVariant KeyValue() const { return m_keyValue; }
    /// Sets the key and looks it up: found, the list's current row moves there and its text is shown;
    /// not found (or null, or the list closed), the text is empty while the key is kept.
    void setKeyValue(const QVariant &value);
    /// The text shown; empty when the key is null or not in the list as it is now.
    QString Text() const;

    bool Enabled() const { return isEnabled(); }
    int Width() const { return width(); }
    void setWidth(int width);

    /// Raised after the user chose an item (mouse or keyboard): the key is set and the list's current
    /// row is on the chosen item.
    std::function<void(QObject *Sender)> OnClick;
    /// Raised when the box receives the focus.
    std::function<void(QObject *Sender)> OnEnter;

protected:
    void focusInEvent(QFocusEvent *event) override;
    /// The wheel scrolls the form, never chooses: a choice reloads what depends on the box.
    void wheelEvent(QWheelEvent *event) override;

private:
    void onDataEvent(TDataEvent event);
    void rebuild();
    void showKey(bool moveList);
    void onActivated(int index);
    int itemOfKey(const QVariant &key) const;

    QPointer<TDataSource> m_listSource;
    QMetaObject::Connection m_eventLink;
    QMetaObject::Connection m_changeLink;
    QMetaObject::Connection m_destroyLink;
    QString m_keyField;
    QString m_listField;
    QVariant m_keyValue;
    bool m_moving = false;   // the list is being moved by the box itself
};

/// Whether a key is chosen in box (its key value is not null); false when there is no box.
bool hasChosenKey(const TDBLookupComboBox *box);
/// Whether box shows a text (its key is in the list as the list is now); false when there is no box.
bool showsText(const TDBLookupComboBox *box);
