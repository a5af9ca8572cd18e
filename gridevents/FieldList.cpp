// TFieldList: a list of fields that forgets a field when the field is destroyed.
#include "gridevents/FieldList.h"

#include "toolkit/data/Field.h"

TFieldList::~TFieldList()
{
    Clear();
}

int TFieldList::Add(TField *field)
{
    if (!field)
        return -1;
    if (!m_watches.contains(field)) {
        // QObject::destroyed arrives when the field is no longer a TField; only its address is used.
        m_watches.insert(field, QObject::connect(field, &QObject::destroyed, [this, field] { Remove(field); }));
    }
    m_items.append(field);
    return int(m_items.size()) - 1;
}

void TFieldList::Delete(int index)
{
    if (index < 0 || index >= m_items.size())
        return;
    TField *field = m_items.takeAt(index);
    forgetIfGone(field);
}

void TFieldList::Remove(TField *field)
{
    m_items.removeAll(field);
    forgetIfGone(field);
}

void TFieldList::Clear()
{
    for (const QMetaObject::Connection &watch : std::as_const(m_watches))
        QObject::disconnect(watch);
    m_watches.clear();
    m_items.clear();
}

void TFieldList::forgetIfGone(TField *field)
{
    if (m_items.contains(field))
        return;
    const auto watch = m_watches.find(field);
    if (watch != m_watches.end()) {
        QObject::disconnect(*watch);
        m_watches.erase(watch);
    }
}
