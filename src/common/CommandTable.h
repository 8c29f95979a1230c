#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QAbstractButton;
class QAction;
class QObject;
class QWidget;

namespace kalvendo {

// The one place where the main window's commands meet their handlers. A
// command is named by its designer name: a menu entry (QAction) or, for a
// command with no menu entry, a button (SpeedButton1). Binding a name connects
// the entry's tool button when it has one, else the entry (or button) itself,
// through the command guard, and enables both; nothing else enables a command,
// so a command without code stays greyed out.
class CommandTable {
public:
    // Names are looked up among frame's children.
    explicit CommandTable(QWidget* frame) : m_frame(frame) {}

    template <typename Controller>
    void bind(const char* name, Controller* controller, void (Controller::*handler)()) {
        bind(name, controller, [controller, handler]() { (controller->*handler)(); });
    }
    // `context` ends the connection when it is destroyed. An unknown name is a
    // programming error: it asserts in debug builds and is logged as an error.
    void bind(const char* name, QObject* context, std::function<void()> handler);

    // The names bound so far, in binding order.
    const QStringList& bound() const { return m_bound; }

    // Makes `button` the tool button of `entry`: choosing the entry clicks the
    // button (when enabled), and binding the entry binds the button.
    static void attachButton(QAction* entry, QAbstractButton* button);
    static QAbstractButton* attachedButton(const QAction* entry);

private:
    QWidget* m_frame;
    QStringList m_bound;
};

} // namespace kalvendo
