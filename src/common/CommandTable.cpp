#include "common/CommandTable.h"

#include "common/CommandGuard.h"

#include <QAbstractButton>
#include <QAction>
#include <QWidget>
#include <QtGlobal>

namespace kalvendo {

namespace {
const char* const kButtonProperty = "toolButton";
} // namespace

void CommandTable::attachButton(QAction* entry, QAbstractButton* button) {
    entry->setProperty(kButtonProperty, QVariant::fromValue<QObject*>(button));
    QObject::connect(entry, &QAction::triggered, button, [button]() {
        if (button->isEnabled())
            button->click();
    });
}

QAbstractButton* CommandTable::attachedButton(const QAction* entry) {
    return qobject_cast<QAbstractButton*>(entry->property(kButtonProperty).value<QObject*>());
}

void CommandTable::bind(const char* name, QObject* context, std::function<void()> handler) {
    const QString n = QString::fromLatin1(name);
    QAction* entry = m_frame->findChild<QAction*>(n);
    QAbstractButton* button =
        entry ? attachedButton(entry) : m_frame->findChild<QAbstractButton*>(n);
    if (!entry && !button) {
        qCritical("kalvendo: the command table names %s, which the main window does not have",
                  name);
        Q_ASSERT_X(false, "CommandTable::bind", name);
        return;
    }
    if (button) {
        connectCommand(button, &QAbstractButton::clicked, context, handler);
        button->setEnabled(true);
    } else {
        connectCommand(entry, &QAction::triggered, context, handler);
    }
    if (entry)
        entry->setEnabled(true);
    m_bound << n;
}

} // namespace kalvendo
