#pragma once
// A list of icons addressed by index.

#include <QIcon>
#include <QList>

/// A list of icons addressed by index, like the toolkit's image lists.
class ImageList {
public:
    int count() const { return static_cast<int>(m_icons.size()); }
    /// The icon at index; a null icon outside the list.
    QIcon icon(int index) const { return index >= 0 && index < count() ? m_icons.at(index) : QIcon(); }
    int add(const QIcon& icon)
    {
        m_icons.append(icon);
        return count() - 1;
    }

private:
    QList<QIcon> m_icons;
};
