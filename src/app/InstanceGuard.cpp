#include "app/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <unistd.h>

namespace kalvendo {

Q_LOGGING_CATEGORY(lcInstance, "kalvendo.instance", QtWarningMsg)

namespace {

constexpr int kConnectMs = 1000;
constexpr int kReplyMs = 3000;
// Only as long as another start needs to connect, ask and listen.
constexpr int kLockMs = 2 * (kConnectMs + kReplyMs);

const QByteArray kActivate = QByteArrayLiteral("activate");
const QByteArray kProbe = QByteArrayLiteral("probe");
const QByteArray kWindow = QByteArrayLiteral("window");
const QByteArray kBatch = QByteArrayLiteral("batch");

InstanceGuard::Holder ask(const QString& name, const QByteArray& request) {
    QLocalSocket socket;
    socket.connectToServer(name);
    // Nobody there, or a socket file without a listener (a crashed instance).
    if (!socket.waitForConnected(kConnectMs))
        return InstanceGuard::Holder::None;
    socket.write(request + '\n');
    socket.flush();
    const QDeadlineTimer deadline(kReplyMs);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return InstanceGuard::Holder::Unresponsive;
    }
    const QByteArray reply = socket.readLine().trimmed();
    if (reply == kWindow)
        return InstanceGuard::Holder::Window;
    if (reply == kBatch)
        return InstanceGuard::Holder::Batch;
    return InstanceGuard::Holder::Unresponsive;
}

} // namespace

// Lives in the guard's thread: answers every later start with this
// instance's role.
class InstanceListener : public QObject {
    Q_OBJECT
public:
    explicit InstanceListener(QByteArray role) : m_role(std::move(role)) {}

    bool listen(const QString& name) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_server->listen(name)) {
            m_error = m_server->errorString();
            return false;
        }
        connect(m_server, &QLocalServer::newConnection, this, &InstanceListener::accept);
        return true;
    }
    QString errorString() const { return m_error; }

Q_SIGNALS:
    void activationRequested();

private:
    void accept() {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket]() { answer(socket); });
            // A peer that never says anything is dropped.
            QTimer::singleShot(kReplyMs, socket, [socket]() {
                socket->abort();
                socket->deleteLater();
            });
        }
    }

    void answer(QLocalSocket* socket) {
        if (!socket->canReadLine())
            return;
        const QByteArray request = socket->readLine().trimmed();
        socket->write(m_role + '\n');
        socket->flush();
        socket->disconnectFromServer();
        if (request == kActivate && m_role == kWindow)
            Q_EMIT activationRequested();
    }

    QByteArray m_role;
    QLocalServer* m_server = nullptr;
    QString m_error;
};

InstanceGuard::InstanceGuard(QString applicationPath, QObject* parent)
    : QObject(parent), m_applicationPath(std::move(applicationPath)) {}

InstanceGuard::~InstanceGuard() {
    // The listener is deleted in its thread as that thread finishes, which
    // removes the socket file.
    m_thread.quit();
    m_thread.wait();
}

InstanceGuard::Holder InstanceGuard::claim(Role role) {
    if (m_listener)
        return Holder::None;
    const QString name = serverName(m_applicationPath);

    // Two starts at the same moment must not both find the folder free.
    QLockFile lock(name + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockMs) && lock.error() == QLockFile::LockFailedError)
        return Holder::Unresponsive;

    const Holder holder = ask(name, role == Role::Window ? kActivate : kProbe);
    if (holder != Holder::None)
        return holder;
    QLocalServer::removeServer(name);

    auto* listener = new InstanceListener(role == Role::Window ? kWindow : kBatch);
    listener->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, listener, &QObject::deleteLater);
    connect(listener, &InstanceListener::activationRequested, this,
            &InstanceGuard::activationRequested, Qt::QueuedConnection);
    m_thread.start();
    bool listening = false;
    QMetaObject::invokeMethod(
        listener, [&]() { listening = listener->listen(name); }, Qt::BlockingQueuedConnection);
    if (!listening) {
        // The program still runs, only without keeping a second start off.
        qCWarning(lcInstance, "cannot listen on %s: %s", qUtf8Printable(name),
                  qUtf8Printable(listener->errorString()));
        m_thread.quit();
        m_thread.wait();
        return Holder::None;
    }
    m_listener = listener;
    return Holder::None;
}

InstanceGuard::Holder InstanceGuard::holderOf(const QString& applicationPath) {
    return ask(serverName(applicationPath), kProbe);
}

QString InstanceGuard::serverName(const QString& applicationPath) {
    const QFileInfo info(applicationPath);
    QString folder = info.canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(info.absoluteFilePath());
    const QByteArray hash =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    // The user's runtime folder where there is one; the uid keeps users apart
    // in the shared temporary folder otherwise.
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/kalvendo-") + QString::number(::getuid()) + u'-' +
           QString::fromLatin1(hash);
}

QString InstanceGuard::refusalText(Holder holder, const QString& applicationPath) {
    switch (holder) {
    case Holder::Window:
        return QStringLiteral("the application folder %1 is open in a running Kalvendo window; "
                              "close it first.")
            .arg(applicationPath);
    case Holder::Batch:
        return QStringLiteral("another Kalvendo operation is running on the application "
                              "folder %1.")
            .arg(applicationPath);
    case Holder::Unresponsive:
        return QStringLiteral("a running Kalvendo holds the application folder %1 but does "
                              "not answer.")
            .arg(applicationPath);
    case Holder::None:
        break;
    }
    return {};
}

} // namespace kalvendo

#include "InstanceGuard.moc"
