#pragma once

#include "addressbook/AddressTable.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

#include <functional>

namespace kalvendo {

// A line edit bound to one field of the address table. It shows the current
// record's value; the first change the user makes starts editing the record
// (or a new record when the table shows none) and every change goes straight
// into the record buffer, so nothing is pending in the widget.
class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    TDBEdit(AddressTable* table, int fieldPos, QWidget* parent = nullptr);

    int fieldPos() const { return m_pos; }
    AddressTable* table() const { return m_table; }

    // Replaces the text the way a program does, not the user: a record being
    // inserted or changed takes the text; a browsed one only shows it.
    void setDisplayText(const QString& text);

    // Reloads the text from the current record.
    void refresh();

    // Decides about each typed character before the edit sees it (control codes
    // such as Backspace 8, Enter 13 and Ctrl+V 22 included); false drops it.
    using KeyFilter = std::function<bool(QChar)>;
    void setKeyFilter(KeyFilter filter) { m_keyFilter = std::move(filter); }

Q_SIGNALS:
    // The focus went to another control of the window (not to a popup or
    // another window).
    void Exit();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void onTextEdited(const QString& text);

    QPointer<AddressTable> m_table;
    int m_pos;
    bool m_writing = false;
    KeyFilter m_keyFilter;
};

// A pick-only drop-down list bound to one field: choosing an entry writes its
// text into the field, starting the change of the record like typing does.
class TDBComboBox : public QComboBox {
    Q_OBJECT
public:
    TDBComboBox(AddressTable* table, int fieldPos, QWidget* parent = nullptr);

    // Replaces the entries (the group list) and shows the current value again.
    void setItems(const QStringList& items);
    void refresh();

private:
    void onActivated(int index);

    QPointer<AddressTable> m_table;
    int m_pos;
    bool m_writing = false;
};

// Starts editing the current record, or a new one when the table shows none.
void startEditing(AddressTable& table);

} // namespace kalvendo
