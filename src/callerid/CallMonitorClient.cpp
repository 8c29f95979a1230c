#include "callerid/CallMonitorClient.h"

#include "callerid/NumberText.h"

#include <QStringDecoder>
#include <QTcpSocket>
#include <QTimer>

#include <cstring>
#include <exception>

#if defined(Q_OS_LINUX)
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace kalvendo {

namespace {

constexpr qsizetype kMaxNumber = 64;

bool isCount(const QString& s, int* value) {
    if (s.isEmpty() || s.size() > 9)
        return false;
    for (const QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
    }
    *value = s.toInt();
    return true;
}

bool takeNumber(const QString& field, QString* out) {
    const QString n = sanitizeNumberText(field);
    if (n.size() > kMaxNumber)
        return false;
    *out = n;
    return true;
}

// A router gone without a word (power cut) leaves the socket open; keep-alive
// probes after a minute of silence notice it within about 90 s.
void tuneKeepAlive(QTcpSocket& socket) {
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#if defined(Q_OS_LINUX)
    const int fd = int(socket.socketDescriptor());
    if (fd < 0)
        return;
    const int idle = 60, interval = 10, count = 3;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
#endif
}

} // namespace

std::optional<CallMonitorEvent> parseCallMonitorLine(QByteArrayView line) {
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.size() > CallMonitorClient::kMaxLineLength)
        return std::nullopt;
    for (const char b : line) {
        const auto u = static_cast<unsigned char>(b);
        if (u < 0x20 || u == 0x7F)
            return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(line);
    if (utf8.hasError())
        return std::nullopt;
    const QStringList f = text.split(u';');
    if (f.size() < 4)
        return std::nullopt;

    CallMonitorEvent ev;
    int minFields = 0;
    if (f[1] == u"RING") {
        ev.kind = CallMonitorEvent::Kind::Ring;
        minFields = 5;
    } else if (f[1] == u"CALL") {
        ev.kind = CallMonitorEvent::Kind::Call;
        minFields = 6;
    } else if (f[1] == u"CONNECT") {
        ev.kind = CallMonitorEvent::Kind::Connect;
        minFields = 5;
    } else if (f[1] == u"DISCONNECT") {
        ev.kind = CallMonitorEvent::Kind::Disconnect;
        minFields = 4;
    } else {
        return std::nullopt;
    }
    ev.date = f[0].trimmed();
    if (f.size() < minFields || ev.date.isEmpty() || !isCount(f[2].trimmed(), &ev.id))
        return std::nullopt;
    bool ok = true;
    int seconds = 0;
    switch (ev.kind) {
    case CallMonitorEvent::Kind::Ring:
        ok = takeNumber(f[3], &ev.caller) && takeNumber(f[4], &ev.called);
        break;
    case CallMonitorEvent::Kind::Call:
        ok = takeNumber(f[4], &ev.caller) && takeNumber(f[5], &ev.called);
        break;
    case CallMonitorEvent::Kind::Connect:
        ok = takeNumber(f[4], &ev.caller);
        break;
    case CallMonitorEvent::Kind::Disconnect:
        ok = isCount(f[3].trimmed(), &seconds);
        break;
    }
    if (!ok)
        return std::nullopt;
    return ev;
}

CallMonitorClient::CallMonitorClient(QObject* parent)
    : QObject(parent), m_retryTimer(new QTimer(this)), m_connectTimer(new QTimer(this)) {
    m_retryTimer->setSingleShot(true);
    m_connectTimer->setSingleShot(true);
    connect(m_retryTimer, &QTimer::timeout, this, &CallMonitorClient::connectNow);
    connect(m_connectTimer, &QTimer::timeout, this,
            [this]() { onGone(tr("Connection attempt timed out")); });
}

CallMonitorClient::~CallMonitorClient() {
    // No signals from here on: the owner may be half destroyed.
    blockSignals(true);
    m_retryTimer->stop();
    m_connectTimer->stop();
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->abort();
    }
}

void CallMonitorClient::setRetryDelays(int firstMs, int longestMs) {
    m_firstDelay = qMax(1, firstMs);
    m_longestDelay = qMax(m_firstDelay, longestMs);
    m_retryDelay = m_firstDelay;
}

void CallMonitorClient::setState(State s) {
    if (s == m_state)
        return;
    m_state = s;
    Q_EMIT stateChanged(s);
}

void CallMonitorClient::start(const QString& host, quint16 port) {
    stop();
    m_host = host;
    m_port = port;
    m_lost = false;
    m_retryDelay = m_firstDelay;
    m_skipped = 0;
    connectNow();
}

void CallMonitorClient::stop() {
    m_retryTimer->stop();
    m_connectTimer->stop();
    dropSocket();
    m_lost = false;
    setState(State::Stopped);
}

void CallMonitorClient::dropSocket() {
    if (!m_socket)
        return;
    QTcpSocket* s = m_socket;
    m_socket = nullptr;
    disconnect(s, nullptr, this, nullptr);
    s->abort();
    // We may be inside one of its signals.
    s->deleteLater();
}

void CallMonitorClient::connectNow() {
    dropSocket();
    m_line.clear();
    m_discarding = false;
    auto* s = new QTcpSocket(this);
    m_socket = s;
    connect(s, &QTcpSocket::connected, this, &CallMonitorClient::onConnected);
    connect(s, &QTcpSocket::readyRead, this, &CallMonitorClient::onReadyRead);
    connect(s, &QTcpSocket::disconnected, this,
            [this]() { onGone(tr("The router closed the connection")); });
    connect(s, &QTcpSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError) {
        if (s == m_socket)
            onGone(s->errorString());
    });
    setState(State::Connecting);
    m_connectTimer->start(m_connectTimeout);
    s->connectToHost(m_host, m_port);
}

void CallMonitorClient::onConnected() {
    m_connectTimer->stop();
    if (!m_socket)
        return;
    tuneKeepAlive(*m_socket);
    m_retryDelay = m_firstDelay;
    const bool wasLost = m_lost;
    m_lost = false;
    QPointer<CallMonitorClient> self(this);
    setState(State::Connected);
    if (!self)
        return;
    Q_EMIT connected();
    if (self && wasLost)
        Q_EMIT connectionRestored();
}

void CallMonitorClient::onGone(const QString& reason) {
    if (m_state != State::Connecting && m_state != State::Connected)
        return;
    QPointer<CallMonitorClient> self(this);
    // Lines that arrived before the close are still read.
    if (m_state == State::Connected && m_socket && m_socket->bytesAvailable() > 0) {
        onReadyRead();
        if (!self || (m_state != State::Connecting && m_state != State::Connected))
            return;
    }
    m_connectTimer->stop();
    dropSocket();
    const int delay = m_retryDelay;
    m_retryDelay = qMin(m_retryDelay * 2, m_longestDelay);
    m_retryTimer->start(delay);
    setState(State::Waiting);
    if (self && !m_lost) {
        m_lost = true;
        Q_EMIT connectionLost(reason);
    }
}

void CallMonitorClient::onReadyRead() {
    QPointer<CallMonitorClient> self(this);
    QTcpSocket* const socket = m_socket;
    char buf[16384];
    while (socket && socket == m_socket && socket->bytesAvailable() > 0) {
        const qint64 n = socket->read(buf, sizeof buf);
        if (n <= 0)
            break;
        qsizetype pos = 0;
        while (pos < n) {
            const void* nl = std::memchr(buf + pos, '\n', size_t(n - pos));
            const qsizetype end = nl ? static_cast<const char*>(nl) - buf : qsizetype(n);
            const QByteArrayView piece(buf + pos, end - pos);
            if (!m_discarding) {
                // One more byte than the limit for a CR before the LF.
                if (m_line.size() + piece.size() > kMaxLineLength + 1) {
                    m_discarding = true;
                    m_line.clear();
                    m_line.squeeze();
                    ++m_skipped;
                } else {
                    m_line.append(piece);
                }
            }
            pos = end + 1;
            if (!nl)
                break;
            if (m_discarding) {
                m_discarding = false;
                continue;
            }
            QByteArray line;
            line.swap(m_line);
            if (!handleLine(line) || !self)
                return;
        }
    }
}

bool CallMonitorClient::handleLine(const QByteArray& line) {
    const auto ev = parseCallMonitorLine(line);
    if (!ev) {
        if (!line.trimmed().isEmpty())
            ++m_skipped;
        return true;
    }
    if (ev->kind != CallMonitorEvent::Kind::Ring || !OnIncomingCall)
        return true;
    QPointer<CallMonitorClient> self(this);
    QTcpSocket* const socket = m_socket;
    try {
        OnIncomingCall(ev->caller, ev->called, kTelephonyCip, QString());
    } catch (const std::exception& e) {
        // As with the CAPI monitor, a failing handler never stops the source;
        // the steps before the failure have taken effect.
        qWarning("call monitor: the incoming call handler failed: %s", e.what());
    }
    return self && m_socket == socket;
}

bool callMonitorReachable(const QString& host, quint16 port, int timeoutMs, QString* error) {
    QTcpSocket socket;
    socket.connectToHost(host, port);
    const bool ok = socket.waitForConnected(timeoutMs);
    if (!ok && error)
        *error = socket.errorString();
    socket.abort();
    return ok;
}

} // namespace kalvendo
