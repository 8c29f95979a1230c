#include "callerid/DesktopNotice.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace kalvendo {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), parent) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus) {}

QString DesktopNotifier::title(const CallAnnouncement& call, const CallNoticeTexts& texts) {
    QString word = texts.call.trimmed();
    if (word.endsWith(u':'))
        word.chop(1);
    const QString who = !call.name.trimmed().isEmpty() ? call.name.trimmed()
                        : !call.number.isEmpty()       ? call.number
                                                       : texts.nrunknown;
    return word.trimmed() + u' ' + who;
}

QString DesktopNotifier::body(const CallAnnouncement& call, const CallNoticeTexts& texts,
                              bool markup) {
    QStringList lines;
    if (!call.name.trimmed().isEmpty() && !call.number.isEmpty())
        lines << call.number;
    lines << texts.to + u' ' + call.called;
    const QString text = lines.join(u'\n');
    return markup ? text.toHtmlEscaped() : text;
}

bool DesktopNotifier::show(const CallAnnouncement& call, const CallNoticeTexts& texts) {
    if (!m_bus.isConnected())
        return false;
    if (m_capabilities) {
        send(title(call, texts), body(call, texts, m_capabilities->contains(u"body-markup")));
        return true;
    }
    m_pending.emplace_back(call, texts);
    if (m_asking)
        return true;
    m_asking = true;
    const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                            QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        m_asking = false;
        const QDBusPendingReply<QStringList> reply = *w;
        auto pending = std::move(m_pending);
        m_pending.clear();
        if (reply.isError()) {
            // No service (yet): ask again at the next call.
            Q_EMIT failed(reply.error().message());
            return;
        }
        m_capabilities = reply.value();
        for (const auto& [call, texts] : pending)
            send(title(call, texts), body(call, texts, m_capabilities->contains(u"body-markup")));
    });
    return true;
}

void DesktopNotifier::send(const QString& title, const QString& body) {
    QDBusMessage msg =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("kalvendo"));
    msg << QStringLiteral("Kalvendo") << uint(0) << QStringLiteral("call-start") << title << body
        << QStringList() << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(msg, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            Q_EMIT failed(reply.error().message());
        else
            Q_EMIT delivered(reply.value());
    });
}

} // namespace kalvendo
