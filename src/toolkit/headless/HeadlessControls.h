#pragma once

#include "Controls.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

// In-memory controls for tests and non-GUI use. They hold their state in plain
// members and behave as the window expects of a toolkit's controls; a few
// setters beyond the interfaces let a test stand in for the user.
namespace toolkit::headless {

class PopUpButton : public toolkit::PopUpButton {
public:
    PopUpButton() = default;
    // Starts with these items, the first one selected (none when empty).
    explicit PopUpButton(const QStringList &titles);

    int32_t numberOfItems() const override;
    // Leaves the popup without items and without a selection.
    void removeAllItems() override;
    // Appends one item per title; equal titles stay separate items. When the
    // popup then has items but no selection, the first item is selected.
    void addItemsWithTitles(const QStringList &titles) override;
    QString titleOfSelectedItem() const override; // null when nothing is selected
    int32_t indexOfSelectedItem() const override; // -1 when nothing is selected
    // Null for an index outside 0 .. numberOfItems()-1.
    QString itemTitleAtIndex(int32_t index) const override;
    // The first item whose title is equal code unit by code unit; -1 when none.
    // A null title names no item (not even one titled "").
    int32_t indexOfItemWithTitle(const QString &title) const override;
    // -1 clears the selection; any other index outside the items is ignored
    // and the selection stays as it was.
    void selectItemAtIndex(int32_t index) override;

    // Test conveniences.
    // Replaces the items, as removeAllItems followed by addItemsWithTitles.
    void setItems(const QStringList &titles);
    QStringList itemTitles() const { return m_titles; }
    // The action sent when the user picks an item (the window's handler).
    void setAction(std::function<void()> action) { m_action = std::move(action); }
    // What a user's pick does: selects the item, then sends the action. An
    // index that names no item changes nothing and sends nothing.
    void chooseItemAtIndex(int32_t index);

private:
    QStringList m_titles;
    int32_t m_selected = -1;
    std::function<void()> m_action;
};

class TextField : public toolkit::TextField {
public:
    TextField() = default;
    explicit TextField(const QString &text) : m_text(text) {}

    QString stringValue() const override { return m_text; }
    void setStringValue(const QString &text) override { m_text = text; }
    // The leading integer of the text, by the platform's text-to-integer rule.
    int32_t intValue() const override;

private:
    QString m_text;
};

class Button : public toolkit::Button {
public:
    Button() = default;
    explicit Button(int32_t state) : m_state(state) {}

    int32_t state() const override { return m_state; }

    // Test convenience: turns the button on (1) or off (0).
    void setState(int32_t state) { m_state = state; }

private:
    int32_t m_state = 0;
};

} // namespace toolkit::headless
