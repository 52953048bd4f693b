#include "HeadlessControls.h"

#include "TextNumber.h"

namespace toolkit::headless {

PopUpButton::PopUpButton(const QStringList &titles)
{
    addItemsWithTitles(titles);
}

int32_t PopUpButton::numberOfItems() const
{
    return saturatedInt32(m_titles.size());
}

void PopUpButton::removeAllItems()
{
    m_titles.clear();
    m_selected = -1;
}

void PopUpButton::addItemsWithTitles(const QStringList &titles)
{
    m_titles.append(titles);
    if (m_selected < 0 && !m_titles.isEmpty())
        m_selected = 0;
}

QString PopUpButton::titleOfSelectedItem() const
{
    return itemTitleAtIndex(m_selected);
}

int32_t PopUpButton::indexOfSelectedItem() const
{
    return m_selected;
}

QString PopUpButton::itemTitleAtIndex(int32_t index) const
{
    if (index < 0 || index >= m_titles.size())
        return QString();
    return m_titles.at(index);
}

int32_t PopUpButton::indexOfItemWithTitle(const QString &title) const
{
    // QString treats a null and an empty string as equal; a null title is no
    // title at all, so it must not find an item titled "".
    if (title.isNull())
        return -1;
    for (qsizetype i = 0; i < m_titles.size(); ++i) {
        if (m_titles.at(i) == title)
            return saturatedInt32(i);
    }
    return -1;
}

void PopUpButton::selectItemAtIndex(int32_t index)
{
    if (index == -1)
        m_selected = -1;
    else if (index >= 0 && index < m_titles.size())
        m_selected = index;
}

void PopUpButton::setItems(const QStringList &titles)
{
    removeAllItems();
    addItemsWithTitles(titles);
}

void PopUpButton::chooseItemAtIndex(int32_t index)
{
    if (index < 0 || index >= m_titles.size())
        return;
    selectItemAtIndex(index);
    if (m_action)
        m_action();
}

int32_t TextField::intValue() const
{
    return intValueOfText(m_text);
}

} // namespace toolkit::headless
