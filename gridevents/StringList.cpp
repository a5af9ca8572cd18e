// TStringList: the unsorted, case-insensitive list of texts of the grid component.
#include "gridevents/StringList.h"

int TStringList::Add(const QString &text)
{
    m_items.append(text);
    return int(m_items.size()) - 1;
}

int TStringList::IndexOf(const QString &text) const
{
    for (int i = 0; i < m_items.size(); ++i) {
        if (QString::compare(m_items.at(i), text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void TStringList::Delete(int index)
{
    if (index >= 0 && index < m_items.size())
        m_items.removeAt(index);
}
