#pragma once

#include "addressbook/Fields.h"

#include <QWidget>

#include <array>
#include <initializer_list>

class QDateEdit;
class QLabel;
class QToolButton;

namespace kalvendo {

class AddressTable;
class TDBComboBox;
class TDBEdit;

// The left half of the main window: the bound fields of the current record
// with their labels, the birthday picker and the four link buttons. Every
// child carries its designer name as objectName, so the language engine and
// the commands find them.
class TFieldsPanel : public QWidget {
    Q_OBJECT
public:
    explicit TFieldsPanel(AddressTable* table, QWidget* parent = nullptr);

    // The edit showing a field (FieldPos); null for the group, which has a
    // list, and for the two prepared numbers, which are never shown.
    TDBEdit* editFor(int field) const;
    // The caption in front of a field's edit; null where there is none.
    QLabel* labelFor(int field) const;
    TDBComboBox* DBComboBox1() const { return m_combo; }
    QDateEdit* DateTimePicker1() const { return m_date; }

    // The record as the panel shows it now, unsaved edits included: each
    // shown field's text, the group list's text, and the table's values for
    // the fields the panel does not show.
    Record shownRecord() const;

    // The window's own controls that stand in the tab order between the group
    // list and the user-defined field (tool bar, navigation buttons, grid).
    void chainTabOrder(std::initializer_list<QWidget*> between);

    // Sets the birthday picker to today's date the way start-up does: without
    // the change a user's pick makes (the birthday field keeps its text).
    void resetDatePicker();

    // The entries of the group list (the lines of group.txt).
    void setGroups(const QStringList& groups);

private:
    AddressTable* m_table;
    // Indexed by designer number (DBEdit<n>, Label<n>, SpeedButton<n>); only
    // the constructor counts in these numbers.
    std::array<TDBEdit*, 15> m_edits{};
    std::array<QLabel*, 16> m_labels{};
    std::array<QToolButton*, 5> m_speed{};
    std::array<TDBEdit*, kFieldCount> m_editByField{};
    std::array<QLabel*, kFieldCount> m_labelByField{};
    TDBComboBox* m_combo = nullptr;
    QDateEdit* m_date = nullptr;
};

} // namespace kalvendo
