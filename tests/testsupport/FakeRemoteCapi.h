#pragma once

// A fake remote CAPI server ("fritzbox" dialect of Debian's libcapi20) on
// 127.0.0.1, so that tests can run the real driver library against it.
//
// It accepts the library's control and application connections, answers
// registration and profile requests, logs every frame both ways and answers
// the program's messages as a controller would:
//   LISTEN_REQ       -> LISTEN_CONF (same message number; Info 0x2002 for a
//                       controller it does not have)
//   ALERT_REQ        -> ALERT_CONF
//   CONNECT_RESP     -> CONNECT_ACTIVE_IND when it takes the call (Reject 0),
//                       else DISCONNECT_IND with disconnectReason()
//   DISCONNECT_REQ   -> DISCONNECT_CONF, then DISCONNECT_IND (0x3490)
// Scenarios are played from the test: offerCall, sendToApplication,
// dropApplication. Everything is thread-safe; the server runs its own thread.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

class FakeRemoteCapi {
public:
    struct Frame {
        bool fromClient = false;
        bool control = false; // a control request or answer, not a CAPI message
        QByteArray message;   // without the 3- or 2-byte frame header
    };

    // Parallel test processes share the library's ApplID table in shared
    // memory, so each server should hand out its own ApplID.
    explicit FakeRemoteCapi(quint16 applId = defaultApplId());
    ~FakeRemoteCapi();
    FakeRemoteCapi(const FakeRemoteCapi&) = delete;
    FakeRemoteCapi& operator=(const FakeRemoteCapi&) = delete;

    static quint16 defaultApplId();

    // Listens on a free port of 127.0.0.1 and starts serving.
    bool start();
    quint16 port() const { return m_port; }
    quint16 applId() const { return m_applId; }
    // The .capi20rc that points the library here (quiet, newline-terminated).
    QByteArray configuration() const;
    bool writeConfiguration(const QString& homeDir) const;

    // Non-zero: refuse registrations with this Info (the library reports 0x1008).
    void setRegisterInfo(quint16 info);
    void setControllers(int count);
    void setDisconnectReason(quint16 reason);

    // Sends a CAPI message to the application connection (ApplID filled in).
    bool sendToApplication(QByteArray message);
    // CONNECT_IND with the given called and calling party number contents and
    // empty subaddresses, BC, LLC, HLC and additional info.
    bool offerCall(quint32 plci, quint16 cip, const QByteArray& calledNumber,
                   const QByteArray& callingNumber);
    // Closes the application connection, as a server that went away.
    void dropApplication();

    // The next CAPI message of this command word the application sent that no
    // earlier call returned; empty after timeoutMs without one.
    QByteArray waitForMessage(quint16 commandWord, int timeoutMs);
    // Registration parameters seen (MaxLogicalConnection, MaxBDataBlocks, MaxBDataLen).
    bool waitForRegistration(int timeoutMs, unsigned params[3] = nullptr);
    bool waitForRelease(int timeoutMs);
    // Waits until exactly `count` client connections are open.
    bool waitForConnectionCount(int count, int timeoutMs);
    QList<Frame> log() const;

private:
    struct Connection {
        int fd = -1;
        QByteArray pending;
        bool application = false;
    };

    void run();
    void readFrom(Connection& c);
    void handleFrame(Connection& c, const QByteArray& message);
    void handleControl(Connection& c, const QByteArray& message);
    void answerApplication(const QByteArray& message);
    // Callers hold m_mutex.
    bool sendLocked(int fd, const QByteArray& frame, bool control, const QByteArray& message);
    bool sendCapiLocked(QByteArray message);

    const quint16 m_applId;
    quint16 m_port = 0;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    bool m_dropApplication = false;
    std::vector<Connection> m_connections;
    int m_applicationFd = -1;
    quint16 m_registerInfo = 0;
    int m_controllers = 1;
    quint16 m_disconnectReason = 0x3490;
    quint16 m_nextMessageNumber = 1;
    QList<Frame> m_log;
    std::map<quint16, int> m_seen; // per command word: messages already returned
    std::vector<unsigned> m_registrations;
    int m_releases = 0;
};

// For initTestCase: starts `server`, points the real libcapi20 at it through
// a fresh HOME (`home`, a QTemporaryDir) and loads the library; skips the test
// when libcapi20 is not installed. Needs capi/CapiBinding.h.
#define KALVENDO_START_FAKE_REMOTE_CAPI(server, home)                                              \
    do {                                                                                           \
        QVERIFY((home).isValid());                                                                 \
        QVERIFY((server).start());                                                                 \
        QVERIFY((server).writeConfiguration((home).path()));                                       \
        qputenv("HOME", QFile::encodeName((home).path()));                                         \
        qunsetenv("KALVENDO_CAPI_LIBRARY");                                                        \
        kalvendo::LoadCapi();                                                                      \
        if (kalvendo::CapiState() == kalvendo::CapiStateFileNotFound)                              \
            QSKIP("libcapi20.so.3 is not installed (Debian package libcapi20-3)");                 \
    } while (false)
