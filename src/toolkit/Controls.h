#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The controls the window talks to. Backends: toolkit/headless (in memory) and
// toolkit/qt (Qt Widgets). "No string" is a null QString.
namespace toolkit {

class PopUpButton {
public:
    virtual ~PopUpButton() = default;
    virtual int32_t numberOfItems() const = 0;
    virtual void removeAllItems() = 0;
    // One item per title, in order, equal titles kept as separate items. A
    // popup that then has items but no selection selects its first item.
    virtual void addItemsWithTitles(const QStringList &titles) = 0;
    virtual QString titleOfSelectedItem() const = 0; // no string when nothing is selected
    virtual int32_t indexOfSelectedItem() const = 0; // -1 when nothing is selected
    virtual QString itemTitleAtIndex(int32_t index) const = 0; // no string when no such item
    virtual int32_t indexOfItemWithTitle(const QString &title) const = 0; // first exact match, -1
    virtual void selectItemAtIndex(int32_t index) = 0; // -1 clears the selection
};

class TextField {
public:
    virtual ~TextField() = default;
    virtual QString stringValue() const = 0;
    virtual void setStringValue(const QString &text) = 0;
    // The leading decimal integer after optional white space and sign; 0 when
    // the text does not begin with one; clamped to the int32 range.
    virtual int32_t intValue() const = 0;
};

class Button {
public:
    virtual ~Button() = default;
    virtual int32_t state() const = 0; // 1 when on, 0 when off
};

} // namespace toolkit
