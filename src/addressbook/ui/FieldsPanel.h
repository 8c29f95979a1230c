#pragma once

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

    // DBEdit1 .. DBEdit14.
    TDBEdit* edit(int n) const;
    TDBComboBox* DBComboBox1() const { return m_combo; }
    QDateEdit* DateTimePicker1() const { return m_date; }
    // Label1 .. Label12 and Label15.
    QLabel* label(int n) const;
    // SpeedButton1 .. SpeedButton4 (letter, e-mail, web page, map).
    QToolButton* speedButton(int n) const;

    // The window's own controls that stand in the tab order between the group
    // list and the user-defined field (tool bar, navigation buttons, grid).
    void chainTabOrder(std::initializer_list<QWidget*> between);

    // Sets the birthday picker to today's date the way start-up does: without
    // the change a user's pick makes (the birthday field keeps its text).
    void resetDatePicker();

    // The entries of the group list (the lines of group.txt).
    void setGroups(const QStringList& groups);

private:
    std::array<TDBEdit*, 15> m_edits{};
    std::array<QLabel*, 16> m_labels{};
    std::array<QToolButton*, 5> m_speed{};
    TDBComboBox* m_combo = nullptr;
    QDateEdit* m_date = nullptr;
};

} // namespace kalvendo
