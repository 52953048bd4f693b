#include "QtControls.h"

#include "TextNumber.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include <limits>

namespace toolkit {

namespace {

// Widgets may hand back a null QString for an empty text; the controls give
// "no string" only for a missing control or item, so an empty text is "".
QString nonNull(const QString &text)
{
    return text.isNull() ? QString(0, QChar()) : text;
}

int32_t clampedCount(int count)
{
    return count > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                       : static_cast<int32_t>(count);
}

} // namespace

int32_t QtPopUpButton::numberOfItems() const
{
    return m_combo ? clampedCount(m_combo->count()) : 0;
}

void QtPopUpButton::removeAllItems()
{
    if (m_combo)
        m_combo->clear();
}

void QtPopUpButton::addItemsWithTitles(const QStringList &titles)
{
    if (!m_combo)
        return;
    // QComboBox::addItems keeps equal titles as separate items. It selects the
    // first item only when the items fill an empty combo and no placeholder
    // text is set; a popup with items and no selection selects its first one
    // in every case.
    m_combo->addItems(titles);
    if (m_combo->currentIndex() < 0 && m_combo->count() > 0)
        m_combo->setCurrentIndex(0);
}

QString QtPopUpButton::titleOfSelectedItem() const
{
    if (!m_combo || m_combo->currentIndex() < 0)
        return QString();
    return nonNull(m_combo->itemText(m_combo->currentIndex()));
}

int32_t QtPopUpButton::indexOfSelectedItem() const
{
    return m_combo ? m_combo->currentIndex() : -1;
}

QString QtPopUpButton::itemTitleAtIndex(int32_t index) const
{
    if (!m_combo || index < 0 || index >= m_combo->count())
        return QString();
    return nonNull(m_combo->itemText(index));
}

int32_t QtPopUpButton::indexOfItemWithTitle(const QString &title) const
{
    if (!m_combo || title.isNull())
        return -1;
    // An exact, case-sensitive comparison of the whole title; the first match.
    const int count = m_combo->count();
    for (int i = 0; i < count; ++i) {
        if (m_combo->itemText(i) == title)
            return i;
    }
    return -1;
}

void QtPopUpButton::selectItemAtIndex(int32_t index)
{
    if (!m_combo)
        return;
    if (index == -1 || (index >= 0 && index < m_combo->count()))
        m_combo->setCurrentIndex(index);
}

QString QtTextField::stringValue() const
{
    return m_edit ? nonNull(m_edit->text()) : QString();
}

void QtTextField::setStringValue(const QString &text)
{
    if (m_edit)
        m_edit->setText(text);
}

int32_t QtTextField::intValue() const
{
    return m_edit ? intValueOfText(m_edit->text()) : 0;
}

int32_t QtButton::state() const
{
    return m_button && m_button->isChecked() ? 1 : 0;
}

} // namespace toolkit
