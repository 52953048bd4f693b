#pragma once

#include "Controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

// The toolkit controls over Qt Widgets. Each adapter watches its widget
// without owning it (the window layout owns the widgets); once the widget is
// gone the adapter ignores changes and reads as empty: no items, no selection
// (-1), no string, 0, off.
namespace toolkit {

// A popup over a non-editable QComboBox.
class QtPopUpButton final : public PopUpButton {
public:
    explicit QtPopUpButton(QComboBox *combo = nullptr) : m_combo(combo) {}
    void setWidget(QComboBox *combo) { m_combo = combo; }
    QComboBox *widget() const { return m_combo; }

    int32_t numberOfItems() const override;
    void removeAllItems() override;
    void addItemsWithTitles(const QStringList &titles) override;
    QString titleOfSelectedItem() const override;
    int32_t indexOfSelectedItem() const override;
    QString itemTitleAtIndex(int32_t index) const override;
    // A null title names no item (not even one titled "").
    int32_t indexOfItemWithTitle(const QString &title) const override;
    // -1 clears the selection; any other index that names no item is ignored.
    void selectItemAtIndex(int32_t index) override;

private:
    QPointer<QComboBox> m_combo;
};

// A text field over a QLineEdit.
class QtTextField final : public TextField {
public:
    explicit QtTextField(QLineEdit *edit = nullptr) : m_edit(edit) {}
    void setWidget(QLineEdit *edit) { m_edit = edit; }
    QLineEdit *widget() const { return m_edit; }

    QString stringValue() const override; // an empty field gives "", not no string
    void setStringValue(const QString &text) override;
    int32_t intValue() const override;

private:
    QPointer<QLineEdit> m_edit;
};

// The on/off button over a checkable button (a QCheckBox in the layout).
class QtButton final : public Button {
public:
    explicit QtButton(QAbstractButton *button = nullptr) : m_button(button) {}
    void setWidget(QAbstractButton *button) { m_button = button; }
    QAbstractButton *widget() const { return m_button; }

    int32_t state() const override;

private:
    QPointer<QAbstractButton> m_button;
};

} // namespace toolkit
