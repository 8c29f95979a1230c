#pragma once

#include <QObject>

#include <exception>
#include <functional>

namespace kalvendo {

// Receives every error that no command caught, with the object in whose event
// it arose. Before a handler is installed, errors are shown in a plain error box.
using ExceptionHandler = std::function<void(QObject* sender, const std::exception& error)>;
void setApplicationExceptionHandler(ExceptionHandler handler);

// Hands an error to the installed handler (or the plain error box).
void handleUncaught(QObject* sender, const std::exception& error);

// Runs one command; an exception it throws never crosses the event loop but
// reaches the application-wide handler with the sending object.
template <typename Fn> void guardCommand(QObject* sender, Fn&& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        handleUncaught(sender, e);
    }
}

// Connects a signal to a command that runs through the guard, with `sender`
// as the object the error log names.
template <typename Sender, typename Signal, typename Fn>
QMetaObject::Connection connectCommand(Sender* sender, Signal signal, QObject* context, Fn fn) {
    return QObject::connect(sender, signal, context, [sender, fn]() { guardCommand(sender, fn); });
}

// The class name an error log records for an error.
QString exceptionClassName(const std::exception& error);
// The message text of an error.
QString exceptionMessage(const std::exception& error);

} // namespace kalvendo
