// TStringList: the unsorted list of texts the grid component keeps its row marks in; entries may repeat
// and are found by text that ignores letter case.
#pragma once

#include <QString>
#include <QStringList>

/// An unsorted list of texts; repeated entries are kept, IndexOf ignores letter case.
class TStringList {
public:
    TStringList() = default;

    /// Appends text and returns its index.
    int Add(const QString &text);
    /// Index of the first entry equal to text, ignoring letter case; -1 when there is none.
    int IndexOf(const QString &text) const;
    /// Removes the entry at index; an index out of range is ignored.
    void Delete(int index);
    void Clear() { m_items.clear(); }
    int Count() const { return int(m_items.size()); }
    QString Strings(int index) const { return m_items.value(index); }

    /// Replaces the entries by lines.
    void Assign(const QStringList &lines) { m_items = lines; }
    QStringList toStringList() const { return m_items; }

private:
    QStringList m_items;
};
