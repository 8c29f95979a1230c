#pragma once

#include "callerid/CallNotice.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <optional>
#include <vector>

namespace kalvendo {

// The desktop notification of an incoming call, through the freedesktop
// notification service on the session bus (org.freedesktop.Notifications).
// Everything is asynchronous: the call never waits for the desktop. Without a
// session bus, or without a notification service on it, nothing is shown and
// nothing is reported to the user.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // On the session bus.
    explicit DesktopNotifier(QObject* parent = nullptr);
    // On the given connection (tests).
    explicit DesktopNotifier(const QDBusConnection& bus, QObject* parent = nullptr);

    // Sends the notice; false when there is no bus to send it on.
    bool show(const CallAnnouncement& call, const CallNoticeTexts& texts);

    // "Anruf von Anna Adler" (the named string call without its colon, and
    // who called: the name, else the number, else nrunknown).
    static QString title(const CallAnnouncement& call, const CallNoticeTexts& texts);
    // The number (when a name is the title) and "an: 4711", one per line;
    // markup characters escaped when the service reads markup.
    static QString body(const CallAnnouncement& call, const CallNoticeTexts& texts, bool markup);

Q_SIGNALS:
    // The service took the notice (its id), or refused it / is not there.
    void delivered(quint32 id);
    void failed(const QString& error);

private:
    void send(const QString& title, const QString& body);

    QDBusConnection m_bus;
    // The service's capabilities, once asked; pending notices wait for them.
    std::optional<QStringList> m_capabilities;
    bool m_asking = false;
    std::vector<std::pair<CallAnnouncement, CallNoticeTexts>> m_pending;
};

} // namespace kalvendo
