#include "testsupport/FakeRemoteCapi.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

quint16 word(const QByteArray& b, int at) {
    return b.size() >= at + 2 ? quint16(quint8(b[at]) | quint8(b[at + 1]) << 8) : 0;
}

quint32 dword(const QByteArray& b, int at) {
    return word(b, at) | quint32(word(b, at + 2)) << 16;
}

void appendWord(QByteArray& b, quint16 v) {
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void appendDword(QByteArray& b, quint32 v) {
    appendWord(b, quint16(v & 0xFFFF));
    appendWord(b, quint16(v >> 16));
}

// A CAPI message from its command word, message number and parameter bytes
// (ApplID is filled in when it is sent).
QByteArray capiMessage(quint16 commandWord, quint16 number, const QByteArray& params) {
    QByteArray m;
    appendWord(m, quint16(8 + params.size()));
    appendWord(m, 0);
    m.append(char(commandWord >> 8));
    m.append(char(commandWord & 0xFF));
    appendWord(m, number);
    return m + params;
}

QByteArray dwordWord(quint32 d, quint16 w) {
    QByteArray p;
    appendDword(p, d);
    appendWord(p, w);
    return p;
}

quint16 commandWordOf(const QByteArray& m) {
    return m.size() >= 6 ? quint16(quint8(m[4]) << 8 | quint8(m[5])) : 0;
}

QByteArray capiStruct(const QByteArray& content) {
    return char(content.size()) + content;
}

} // namespace

FakeRemoteCapi::FakeRemoteCapi(quint16 applId) : m_applId(applId) {}

FakeRemoteCapi::~FakeRemoteCapi() {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        const char c = 's';
        [[maybe_unused]] const auto n = write(m_wakePipe[1], &c, 1);
        m_thread.join();
    }
    for (const Connection& c : m_connections) {
        close(c.fd);
    }
    for (int fd : {m_listenFd, m_wakePipe[0], m_wakePipe[1]}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

quint16 FakeRemoteCapi::defaultApplId() {
    return quint16(1 + getpid() % 1000);
}

bool FakeRemoteCapi::start() {
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        return false;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(m_listenFd, 8) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { run(); });
    return true;
}

QByteArray FakeRemoteCapi::configuration() const {
    return "REMOTE fritzbox 127.0.0.1 " + QByteArray::number(m_port) + "\nTRACELEVEL 0\n";
}

bool FakeRemoteCapi::writeConfiguration(const QString& homeDir) const {
    QFile f(QDir(homeDir).filePath(QStringLiteral(".capi20rc")));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(configuration()) == configuration().size();
}

void FakeRemoteCapi::setRegisterInfo(quint16 info) {
    std::lock_guard lock(m_mutex);
    m_registerInfo = info;
}

void FakeRemoteCapi::setControllers(int count) {
    std::lock_guard lock(m_mutex);
    m_controllers = count;
}

void FakeRemoteCapi::setDisconnectReason(quint16 reason) {
    std::lock_guard lock(m_mutex);
    m_disconnectReason = reason;
}

bool FakeRemoteCapi::sendToApplication(QByteArray message) {
    std::lock_guard lock(m_mutex);
    return sendCapiLocked(std::move(message));
}

bool FakeRemoteCapi::offerCall(quint32 plci, quint16 cip, const QByteArray& calledNumber,
                               const QByteArray& callingNumber) {
    std::lock_guard lock(m_mutex);
    const QByteArray params = dwordWord(plci, cip) + capiStruct(calledNumber) +
                              capiStruct(callingNumber) + QByteArray(6, '\0');
    return sendCapiLocked(capiMessage(0x0282, m_nextMessageNumber++, params));
}

void FakeRemoteCapi::dropApplication() {
    {
        std::lock_guard lock(m_mutex);
        m_dropApplication = true;
    }
    const char c = 'd';
    [[maybe_unused]] const auto n = write(m_wakePipe[1], &c, 1);
}

QByteArray FakeRemoteCapi::waitForMessage(quint16 commandWord, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    QByteArray found;
    auto next = [&] {
        int skip = m_seen[commandWord];
        for (const Frame& f : m_log) {
            if (f.fromClient && !f.control && commandWordOf(f.message) == commandWord &&
                skip-- == 0) {
                found = f.message;
                return true;
            }
        }
        return false;
    };
    if (!m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), next)) {
        return QByteArray();
    }
    ++m_seen[commandWord];
    return found;
}

bool FakeRemoteCapi::waitForRegistration(int timeoutMs, unsigned params[3]) {
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return !m_registrations.empty(); })) {
        return false;
    }
    if (params != nullptr) {
        std::copy(m_registrations.end() - 3, m_registrations.end(), params);
    }
    return true;
}

bool FakeRemoteCapi::waitForRelease(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_releases > 0; });
}

bool FakeRemoteCapi::waitForConnectionCount(int count, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return int(m_connections.size()) == count; });
}

QList<FakeRemoteCapi::Frame> FakeRemoteCapi::log() const {
    std::lock_guard lock(m_mutex);
    return m_log;
}

void FakeRemoteCapi::run() {
    for (;;) {
        std::vector<pollfd> fds;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop) {
                return;
            }
            if (m_dropApplication) {
                m_dropApplication = false;
                for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
                    if (it->application) {
                        close(it->fd);
                        m_connections.erase(it);
                        break;
                    }
                }
                m_applicationFd = -1;
            }
            fds.push_back({m_listenFd, POLLIN, 0});
            fds.push_back({m_wakePipe[0], POLLIN, 0});
            for (const Connection& c : m_connections) {
                fds.push_back({c.fd, POLLIN, 0});
            }
        }
        if (poll(fds.data(), nfds_t(fds.size()), -1) < 0) {
            continue;
        }
        std::lock_guard lock(m_mutex);
        if (fds[1].revents != 0) {
            char drain[16];
            while (read(m_wakePipe[0], drain, sizeof drain) > 0) {
            }
        }
        if (fds[0].revents & POLLIN) {
            const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                m_connections.push_back(Connection{fd, QByteArray(), false});
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
                if (it->fd == fds[i].fd) {
                    readFrom(*it);
                    if (it->fd < 0) {
                        m_connections.erase(it);
                    }
                    break;
                }
            }
        }
        m_changed.notify_all();
    }
}

void FakeRemoteCapi::readFrom(Connection& c) {
    char buf[4096];
    const ssize_t n = recv(c.fd, buf, sizeof buf, 0);
    if (n <= 0) {
        if (c.fd == m_applicationFd) {
            m_applicationFd = -1;
        }
        close(c.fd);
        c.fd = -1;
        return;
    }
    c.pending.append(buf, qsizetype(n));
    // Client frames: 0x80, a 16-bit length, the message.
    while (c.pending.size() >= 3) {
        const int len = word(c.pending, 1);
        if (c.pending.size() < 3 + len) {
            break;
        }
        const QByteArray message = c.pending.mid(3, len);
        c.pending.remove(0, 3 + len);
        handleFrame(c, message);
    }
}

void FakeRemoteCapi::handleFrame(Connection& c, const QByteArray& message) {
    const bool control =
        message.size() >= 6 && quint8(message[4]) == 0x20 && quint8(message[5]) == 0x80;
    m_log.append(Frame{true, control, message});
    if (control) {
        handleControl(c, message);
    } else if (c.application) {
        answerApplication(message);
    }
}

void FakeRemoteCapi::handleControl(Connection& c, const QByteArray& message) {
    const quint16 function = word(message, 11);
    const quint16 number = word(message, 6);
    // Control answers have a one-byte length: 0x80, N, N bytes.
    auto answer = [&](quint16 applId, quint16 info, const QByteArray& tail) {
        QByteArray body;
        appendWord(body, 0);
        appendWord(body, applId);
        body.append(char(0x20));
        body.append(char(0x81));
        appendWord(body, number);
        body.append(QByteArray(8, '\0'));
        appendWord(body, info);
        body += tail;
        body[0] = char(body.size());
        sendLocked(c.fd, QByteArray(1, char(0x80)) + char(body.size()) + body, true, body);
    };
    switch (function) {
    case 0: // register
        m_registrations.push_back(word(message, 14));
        m_registrations.push_back(word(message, 16));
        m_registrations.push_back(word(message, 18));
        if (m_registerInfo == 0) {
            c.application = true;
            m_applicationFd = c.fd;
        }
        answer(m_applId, m_registerInfo, QByteArray());
        break;
    case 1: // release notice; no answer
        ++m_releases;
        break;
    case 2: { // profile: controllers, B channels, options, B1/B2/B3 support, rest zero
        QByteArray profile;
        appendWord(profile, quint16(m_controllers));
        appendWord(profile, 2);
        appendDword(profile, 0);
        appendDword(profile, 3);
        appendDword(profile, 3);
        appendDword(profile, 1);
        profile.append(QByteArray(64 - profile.size(), '\0'));
        answer(0, 0, profile);
        break;
    }
    default:
        break;
    }
}

void FakeRemoteCapi::answerApplication(const QByteArray& message) {
    const quint16 commandWord = commandWordOf(message);
    const quint16 number = word(message, 6);
    const quint32 address = dword(message, 8);
    switch (commandWord) {
    case 0x0580: { // LISTEN_REQ
        const int controller = int(address & 0x7F);
        const quint16 info = controller >= 1 && controller <= m_controllers ? 0 : 0x2002;
        sendCapiLocked(capiMessage(0x0581, number, dwordWord(address, info)));
        break;
    }
    case 0x0180: // ALERT_REQ
        sendCapiLocked(capiMessage(0x0181, number, dwordWord(address, 0)));
        break;
    case 0x0283: // CONNECT_RESP
        if (word(message, 12) != 0) {
            sendCapiLocked(
                capiMessage(0x0482, m_nextMessageNumber++, dwordWord(address, m_disconnectReason)));
        } else {
            QByteArray params;
            appendDword(params, address);
            params.append(QByteArray(3, '\0'));
            sendCapiLocked(capiMessage(0x0382, m_nextMessageNumber++, params));
        }
        break;
    case 0x0480: // DISCONNECT_REQ
        sendCapiLocked(capiMessage(0x0481, number, dwordWord(address, 0)));
        sendCapiLocked(capiMessage(0x0482, m_nextMessageNumber++, dwordWord(address, 0x3490)));
        break;
    default:
        break;
    }
}

bool FakeRemoteCapi::sendLocked(int fd, const QByteArray& frame, bool control,
                                const QByteArray& message) {
    if (fd < 0) {
        return false;
    }
    // One send per frame: the library reads header and body with single recv calls.
    if (send(fd, frame.constData(), size_t(frame.size()), MSG_NOSIGNAL) != frame.size()) {
        return false;
    }
    m_log.append(Frame{false, control, message});
    m_changed.notify_all();
    return true;
}

bool FakeRemoteCapi::sendCapiLocked(QByteArray message) {
    if (message.size() < 8) {
        return false;
    }
    message[2] = char(m_applId & 0xFF);
    message[3] = char(m_applId >> 8);
    QByteArray frame(1, char(0x80));
    appendWord(frame, quint16(message.size()));
    return sendLocked(m_applicationFd, frame + message, false, message);
}
