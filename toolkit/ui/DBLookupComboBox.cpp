// The lookup combo box: items are rebuilt from the list dataset whenever its rows change; the key
// value lives apart from them.
#include "toolkit/ui/DBLookupComboBox.h"

#include "toolkit/ui/DBControlGuard.h"

#include <QFocusEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QWheelEvent>

TDBLookupComboBox::TDBLookupComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(this, &QComboBox::activated, this, &TDBLookupComboBox::onActivated);
}

TDBLookupComboBox::~TDBLookupComboBox()
{
    QObject::disconnect(m_eventLink);
    QObject::disconnect(m_changeLink);
    QObject::disconnect(m_destroyLink);
}

void TDBLookupComboBox::setListSource(TDataSource *source)
{
    if (m_listSource == source)
        return;
    QObject::disconnect(m_eventLink);
    QObject::disconnect(m_changeLink);
    QObject::disconnect(m_destroyLink);
    m_listSource = source;
    if (source) {
        m_destroyLink = connect(source, &QObject::destroyed, this, [this] { rebuild(); });
        m_eventLink = connect(source, &TDataSource::dataEvent, this,
                              [this](TDataEvent event, qintptr) { onDataEvent(event); });
        m_changeLink = connect(source, &TDataSource::dataSetChanged, this, [this] {
            rebuild();
            showKey(true);
        });
    }
    rebuild();
    showKey(true);
}

TDataSet *TDBLookupComboBox::ListDataSet() const
{
    return m_listSource ? m_listSource->DataSet() : nullptr;
}

void TDBLookupComboBox::setKeyField(const QString &fieldName)
{
    m_keyField = fieldName;
    rebuild();
    showKey(true);
}

void TDBLookupComboBox::setListField(const QString &fieldName)
{
    m_listField = fieldName;
    rebuild();
    showKey(false);
}

void TDBLookupComboBox::setKeyValue(const QVariant &value)
{
    m_keyValue = value;
    showKey(true);
}

QString TDBLookupComboBox::Text() const
{
    return currentIndex() >= 0 ? currentText() : QString();
}

void TDBLookupComboBox::setWidth(int width)
{
    resize(width, height());
}

void TDBLookupComboBox::focusInEvent(QFocusEvent *event)
{
    QComboBox::focusInEvent(event);
    // Coming back from the own drop-down or to the window is no entering.
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && OnEnter)
        runDataControlOperation([this] { OnEnter(this); });
}

void TDBLookupComboBox::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}

void TDBLookupComboBox::onDataEvent(TDataEvent event)
{
    if (m_moving)
        return;
    switch (event) {
    case deDataSetChange:
    case deRowInserted:
    case deRowDeleted:
    case deRecordChange:
        rebuild();
        // A list opened again looks its key up among the new rows.
        showKey(event == deDataSetChange);
        break;
    case deFieldChange:
    case deDataSetScroll:
    case deUpdateState: break;
    }
}

void TDBLookupComboBox::rebuild()
{
    const QSignalBlocker quiet(this);
    clear();
    TDataSet *list = ListDataSet();
    if (!list || !list->Active())
        return;
    TField *key = list->FindField(m_keyField);
    TField *shown = list->FindField(m_listField);
    if (!key || !shown)
        return;
    const int rows = list->DisplayRowCount();
    for (int row = 0; row < rows; ++row) {
        const TDataSet::RecordScope scope(list, row);
        addItem(shown->DisplayText(), key->Value());
    }
}

int TDBLookupComboBox::itemOfKey(const QVariant &key) const
{
    for (int i = 0; i < count(); ++i) {
        if (sameKeyValue(itemData(i), key))
            return i;
    }
    return -1;
}

void TDBLookupComboBox::showKey(bool moveList)
{
    const int item = itemOfKey(m_keyValue);
    {
        const QSignalBlocker quiet(this);
        setCurrentIndex(item);
    }
    TDataSet *list = ListDataSet();
    if (!moveList || item < 0 || !list || !list->Active() || list->CurrentDisplayRow() == item)
        return;
    const QScopedValueRollback guard(m_moving, true);
    runDataControlOperation([&] { list->setCurrentDisplayRow(item); });
}

void TDBLookupComboBox::onActivated(int index)
{
    if (index < 0 || index >= count())
        return;
    m_keyValue = itemData(index);
    TDataSet *list = ListDataSet();
    if (list && list->Active() && list->CurrentDisplayRow() != index) {
        const QScopedValueRollback guard(m_moving, true);
        if (!runDataControlOperation([&] { list->setCurrentDisplayRow(index); }))
            return;
    }
    if (OnClick)
        runDataControlOperation([this] { OnClick(this); });
}

bool hasChosenKey(const TDBLookupComboBox *box)
{
    return box && !box->KeyValue().isNull();
}

bool showsText(const TDBLookupComboBox *box)
{
    return box && !box->Text().isEmpty();
}
