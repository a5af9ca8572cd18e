// TFieldList: fields the grid component refers to without owning them; a field that is destroyed
// leaves the list by itself, so the list never holds a dangling field.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>

class TField;

/// A list of fields, not owned; a destroyed field is removed from it.
class TFieldList {
public:
    TFieldList() = default;
    ~TFieldList();
    TFieldList(const TFieldList &) = delete;
    TFieldList &operator=(const TFieldList &) = delete;

    /// Appends field (a null field is ignored) and returns its index.
    int Add(TField *field);
    int IndexOf(TField *field) const { return int(m_items.indexOf(field)); }
    /// Removes the entry at index; an index out of range is ignored.
    void Delete(int index);
    /// Removes every entry of field.
    void Remove(TField *field);
    void Clear();
    int Count() const { return int(m_items.size()); }
    bool IsEmpty() const { return m_items.isEmpty(); }
    TField *Items(int index) const { return m_items.value(index); }
    const QList<TField *> &items() const { return m_items; }

private:
    void forgetIfGone(TField *field);

    QList<TField *> m_items;
    QHash<TField *, QMetaObject::Connection> m_watches;   // one per distinct field
};
