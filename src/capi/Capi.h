#pragma once

#include "capi/CapiMessage.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>
#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kalvendo {

class TCapi;

// Outgoing B3 data blocks of a connection. Nothing puts data into it yet.
class TB3DataQueue {
public:
    bool IsEmpty() const { return m_blocks.empty(); }
    size_t Count() const { return m_blocks.size(); }
    void Push(QByteArray block) { m_blocks.push_back(std::move(block)); }
    QByteArray Pop();

private:
    std::deque<QByteArray> m_blocks;
};

// One call the driver offered to the application, from its CONNECT_IND to its
// DISCONNECT_IND.
class TConnection {
public:
    enum : quint16 {
        StateCleared = 0,
        StateOffered = 1,
        StateConnected = 2,
        StateB3Offered = 4,
        StateB3Up = 8,
        StateB3Clearing = 16,
        StateB3Cleared = 32,
    };
    enum : quint16 { InitiatorNobody = 0, InitiatorLocal = 1, InitiatorRemote = 2 };

    quint32 PLCI = 0;
    quint8 Controller = 0; // the low byte of the PLCI
    quint32 NCCI = 0;
    // The component that has taken the call; not owned.
    QObject* Owner = nullptr;
    quint16 State = StateCleared;
    quint16 Initiator = InitiatorNobody;
    TB3DataQueue B3Data;
};

// The connections in arrival order; owns them.
class TConnections {
public:
    TConnection* Add(quint32 plci);
    // Destroys the connection; false when it is not in the list.
    bool Remove(TConnection* connection);
    bool Contains(const TConnection* connection) const;
    TConnection* FindByPLCI(quint32 plci) const;
    TConnection* FindByNCCI(quint32 ncci) const;
    TConnection* FindByOwner(const QObject* owner) const;
    int Count() const { return int(m_items.size()); }
    TConnection* Items(int index) const;

private:
    std::vector<std::unique_ptr<TConnection>> m_items;
};

// The message thread of one CAPI application: waits for the driver in short
// slices, fetches, and hands each message to the main thread, waiting there
// until it has been handled (the driver's buffer is not reused meanwhile).
//
// The object itself lives in the main thread and is the receiver of the
// hand-over. A thread that does not stop when asked (stuck in a driver call)
// is abandoned by its TCapi: the object is then deleted by the main thread's
// event loop once the thread ends, and never while it runs.
class TCapiCallBack : public QThread {
    Q_OBJECT
public:
    TCapiCallBack(TCapi* capi, unsigned applId);
    ~TCapiCallBack() override;

    void RequestTerminate();
    // From now on every hand-over and notice is dropped (main thread).
    void DetachCapi() { m_capi = nullptr; }
    // Set during a hand-over: post the reset notice once it has returned.
    void SetResetPending() { m_resetPending.store(true); }

    // Message threads running now in this process (for tests and shutdown).
    static int RunningCount();

protected:
    void run() override;

private:
    void Deliver(const QByteArray& message);
    void DeliverReset();
    void DeliverLost(unsigned info);
    void Pause(int ms);

    TCapi* m_capi; // main thread only
    const unsigned m_applId;
    std::atomic<bool> m_terminate{false};
    std::atomic<bool> m_resetPending{false};
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseWake;
};

// One CAPI application: one registration (ApplID), its message thread and the
// calls offered to it. Answers every indication as the protocol requires,
// keeps each connection's state and passes every message, decoded, to the
// owner's hook in the main thread.
//
// Never throws and shows nothing: failures are numbers in Error (a CAPI Info
// value, or 0x9000 plus the binding state), made readable by ErrorText.
class TCapi {
public:
    // The owner's hooks; an unset hook is skipped. Setting accept to false in
    // OnMessage suppresses the follow-up answer of CONNECT_B3_IND,
    // DISCONNECT_B3_IND and DATA_B3_IND.
    std::function<void(TConnection* connection, TCapiMessage& message, bool& accept)> OnMessage;
    // After the last connection has gone, outside message handling: the
    // handler may destroy this object.
    std::function<void(TCapi& capi)> OnReset;
    // The driver's connection was lost (a remote server went away); the thread
    // has ended and Error holds 0x1108. Not part of the message flow.
    std::function<void(TCapi& capi)> OnConnectionLost;

    // Registers at once; read Error to see whether that worked.
    TCapi(quint32 maxLogicalConnection, quint32 maxBDataBlocks, quint32 maxBDataLen);
    ~TCapi();
    TCapi(const TCapi&) = delete;
    TCapi& operator=(const TCapi&) = delete;

    quint32 ApplID() const { return m_applId; }
    bool Registered() const { return m_registered; }
    quint32 Error() const { return m_error; }
    QString ErrorText() const;
    TConnections& Connections() { return m_connections; }
    const TConnections& Connections() const { return m_connections; }

    // Sets Error to 0, fills in the ApplID and puts the message; the driver's
    // refusal goes to Error. The message is consumed either way.
    bool PutMessage(std::unique_ptr<TCapiMessage> message);
    // Starts clearing a listed connection (DISCONNECT_B3_REQ in state 8,
    // DISCONNECT_REQ in the other states but 0). False when it is not listed
    // or the driver refused.
    bool Disconnect(TConnection* connection);

    // Decodes one received message and handles it (main thread).
    void HandleMessage(const QByteArray& raw);
    // True while a message is being handled.
    bool InHandOver() const { return m_handOverDepth > 0; }

    // Milliseconds Release waits for the message thread before abandoning it.
    static constexpr int ThreadStopTimeoutMs = 4000;

private:
    friend class TCapiCallBack;

    void Register();
    void Release();
    void HandleIndication(TCapiMessage& message);
    void HandleConfirmation(TCapiMessage& message);
    // False when a hook destroyed this object meanwhile.
    bool Notify(TConnection* connection, TCapiMessage& message, bool& accept);
    void ConnectionLost(unsigned info);
    void ResetNotice();

    quint32 m_applId = 0;
    bool m_registered = false;
    quint32 m_error = 0;
    const quint32 m_maxLogicalConnection;
    const quint32 m_maxBDataBlocks;
    const quint32 m_maxBDataLen;
    TConnections m_connections;
    TCapiCallBack* m_thread = nullptr;
    int m_handOverDepth = 0;
    // Expires when this object is destroyed; code after a hook checks it.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace kalvendo
