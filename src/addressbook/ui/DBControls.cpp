#include "addressbook/ui/DBControls.h"

#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"
#include "common/CommandGuard.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>

namespace kalvendo {

void startEditing(AddressTable& table) {
    const AddressTable::State s = table.state();
    if (s == AddressTable::State::Insert || s == AddressTable::State::Edit)
        return;
    if (table.currentRow() < 0)
        table.insert();
    else
        table.edit();
}

namespace {
bool isEditing(const AddressTable* table) {
    return table && (table->state() == AddressTable::State::Insert ||
                     table->state() == AddressTable::State::Edit);
}
QString currentValue(const AddressTable* table, int pos) {
    return table && table->isActive() ? table->fieldValue(pos) : QString();
}
} // namespace

TDBEdit::TDBEdit(AddressTable* table, int fieldPos, QWidget* parent)
    : QLineEdit(parent), m_table(table), m_pos(fieldPos) {
    setMaxLength(fieldWidth(fieldPos));
    setReadOnly(!table->isActive());
    connect(this, &QLineEdit::textEdited, this, &TDBEdit::onTextEdited);
    connect(table, &AddressTable::recordDataChanged, this, [this](int pos) {
        if (pos < 0 || pos == m_pos)
            refresh();
    });
    connect(table, &AddressTable::stateChanged, this, [this](AddressTable::State s) {
        setReadOnly(s == AddressTable::State::Inactive);
        // A text only shown on a browsed record (a picked date) is not part of
        // the record that is now being changed: show what will be saved.
        if (s == AddressTable::State::Edit)
            refresh();
    });
    refresh();
}

void TDBEdit::refresh() {
    if (m_writing)
        return;
    const QString v = currentValue(m_table, m_pos);
    if (text() != v)
        setText(v);
}

void TDBEdit::setDisplayText(const QString& text) {
    if (isEditing(m_table)) {
        const QScopedValueRollback writing(m_writing, true);
        m_table->setFieldValue(m_pos, text);
    }
    setText(text.left(maxLength()));
}

void TDBEdit::onTextEdited(const QString& text) {
    if (!m_table)
        return;
    try {
        const QScopedValueRollback writing(m_writing, true);
        startEditing(*m_table);
        m_table->setFieldValue(m_pos, text);
    } catch (const std::exception& e) {
        // The widget must not show what the record does not hold.
        refresh();
        handleUncaught(this, e);
    }
}

void TDBEdit::keyPressEvent(QKeyEvent* event) {
    const QString t = event->text();
    // Characters and the control codes a key press delivers (Backspace, Enter,
    // Ctrl+letter); Delete and the cursor keys are no characters.
    const bool character = t.size() == 1 && t.at(0).unicode() >= 1 && t.at(0).unicode() != 0x7f;
    if (m_keyFilter && character && !m_keyFilter(t.at(0))) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    switch (event->reason()) {
    case Qt::PopupFocusReason:
    case Qt::ActiveWindowFocusReason:
    case Qt::MenuBarFocusReason:
        return;
    default:
        Q_EMIT Exit();
    }
}

TDBComboBox::TDBComboBox(AddressTable* table, int fieldPos, QWidget* parent)
    : QComboBox(parent), m_table(table), m_pos(fieldPos) {
    setEditable(false);
    setEnabled(table->isActive());
    connect(this, &QComboBox::activated, this, &TDBComboBox::onActivated);
    connect(table, &AddressTable::recordDataChanged, this, [this](int pos) {
        if (pos < 0 || pos == m_pos)
            refresh();
    });
    connect(table, &AddressTable::stateChanged, this, [this](AddressTable::State s) {
        setEnabled(s != AddressTable::State::Inactive);
        if (s == AddressTable::State::Edit)
            refresh();
    });
}

void TDBComboBox::setItems(const QStringList& items) {
    const QSignalBlocker blocker(this);
    clear();
    addItems(items);
    refresh();
}

void TDBComboBox::refresh() {
    if (m_writing)
        return;
    // A value that is not in the list shows as no choice, as a pick-only list can.
    setCurrentIndex(
        findText(currentValue(m_table, m_pos), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void TDBComboBox::onActivated(int index) {
    if (!m_table || index < 0)
        return;
    try {
        const QScopedValueRollback writing(m_writing, true);
        startEditing(*m_table);
        m_table->setFieldValue(m_pos, itemText(index));
    } catch (const std::exception& e) {
        refresh();
        handleUncaught(this, e);
    }
}

} // namespace kalvendo
