#include "capi/Capi.h"

#include "capi/CapiBinding.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>

#include <algorithm>
#include <chrono>

namespace kalvendo {

namespace {

std::unique_ptr<TStruct> empty() {
    return TStruct::CreateEmpty();
}

// Pause after a wait or fetch failure other than "nothing there", so that a
// driver that fails at once every time is not spun on.
constexpr int kRetryPauseMs = 100;

std::atomic<int> g_runningThreads{0};

} // namespace

// --- TB3DataQueue, TConnections ---

QByteArray TB3DataQueue::Pop() {
    if (m_blocks.empty()) {
        return QByteArray();
    }
    QByteArray b = std::move(m_blocks.front());
    m_blocks.pop_front();
    return b;
}

TConnection* TConnections::Add(quint32 plci) {
    auto c = std::make_unique<TConnection>();
    c->PLCI = plci;
    c->Controller = quint8(plci & 0xFF);
    m_items.push_back(std::move(c));
    return m_items.back().get();
}

bool TConnections::Remove(TConnection* connection) {
    auto it = std::find_if(m_items.begin(), m_items.end(),
                           [&](const auto& c) { return c.get() == connection; });
    if (it == m_items.end()) {
        return false;
    }
    m_items.erase(it);
    return true;
}

bool TConnections::Contains(const TConnection* connection) const {
    return connection != nullptr && std::any_of(m_items.begin(), m_items.end(), [&](const auto& c) {
               return c.get() == connection;
           });
}

TConnection* TConnections::FindByPLCI(quint32 plci) const {
    for (const auto& c : m_items) {
        if (c->PLCI == plci) {
            return c.get();
        }
    }
    return nullptr;
}

TConnection* TConnections::FindByNCCI(quint32 ncci) const {
    for (const auto& c : m_items) {
        if (c->NCCI == ncci) {
            return c.get();
        }
    }
    return nullptr;
}

TConnection* TConnections::FindByOwner(const QObject* owner) const {
    for (const auto& c : m_items) {
        if (c->Owner == owner) {
            return c.get();
        }
    }
    return nullptr;
}

TConnection* TConnections::Items(int index) const {
    return index >= 0 && index < Count() ? m_items[size_t(index)].get() : nullptr;
}

// --- TCapiCallBack ---

TCapiCallBack::TCapiCallBack(TCapi* capi, unsigned applId) : m_capi(capi), m_applId(applId) {}

TCapiCallBack::~TCapiCallBack() = default;

void TCapiCallBack::RequestTerminate() {
    {
        std::lock_guard lock(m_pauseMutex);
        m_terminate.store(true);
    }
    m_pauseWake.notify_all();
}

int TCapiCallBack::RunningCount() {
    return g_runningThreads.load();
}

void TCapiCallBack::run() {
    ++g_runningThreads;
    CapiThreadStarted();
    while (!m_terminate.load()) {
        QByteArray message;
        // No overall limit; the binding waits in 100 ms slices and looks at
        // m_terminate between them.
        const unsigned info = CapiFetchMessage(m_applId, -1, &message, &m_terminate);
        if (m_terminate.load()) {
            break;
        }
        if (info == CapiInfoConnectionLost) {
            // The socket stays readable with nothing behind it: waiting again
            // would only spin.
            QMetaObject::invokeMethod(
                this, [this, info] { DeliverLost(info); }, Qt::QueuedConnection);
            break;
        }
        if (info == CapiInfoQueueEmpty) {
            continue;
        }
        if (info != 0) {
            Pause(kRetryPauseMs);
            continue;
        }
        QMetaObject::invokeMethod(
            this, [this, &message] { Deliver(message); }, Qt::BlockingQueuedConnection);
        if (m_resetPending.exchange(false)) {
            QMetaObject::invokeMethod(
                this, [this] { DeliverReset(); }, Qt::QueuedConnection);
        }
    }
    CapiThreadEnded();
    --g_runningThreads;
}

void TCapiCallBack::Deliver(const QByteArray& message) {
    if (m_capi != nullptr) {
        m_capi->HandleMessage(message);
    }
}

void TCapiCallBack::DeliverReset() {
    if (m_capi != nullptr) {
        m_capi->ResetNotice();
    }
}

void TCapiCallBack::DeliverLost(unsigned info) {
    if (m_capi != nullptr) {
        m_capi->ConnectionLost(info);
    }
}

void TCapiCallBack::Pause(int ms) {
    std::unique_lock lock(m_pauseMutex);
    m_pauseWake.wait_for(lock, std::chrono::milliseconds(ms),
                         [this] { return m_terminate.load(); });
}

// --- TCapi ---

TCapi::TCapi(quint32 maxLogicalConnection, quint32 maxBDataBlocks, quint32 maxBDataLen)
    : m_maxLogicalConnection(maxLogicalConnection), m_maxBDataBlocks(maxBDataBlocks),
      m_maxBDataLen(maxBDataLen) {
    Register();
}

TCapi::~TCapi() {
    m_alive.reset();
    Release();
}

QString TCapi::ErrorText() const {
    if (m_error == 0) {
        return QString();
    }
    if (m_error > 0x8FFF) {
        return CapiStateText(int(m_error - CapiStateErrorBase));
    }
    return CapiInfoText(m_error);
}

void TCapi::Register() {
    if (CapiState() == CapiStateNotLoaded) {
        LoadCapi();
    }
    const int state = CapiState();
    if (state != CapiStateInstalled) {
        m_error = CapiStateErrorBase + unsigned(state);
        return;
    }
    // The Linux driver takes no message buffer size; the binding knows
    // CapiMessageBufferSize(m_maxLogicalConnection) for drivers that do.
    unsigned id = 0;
    const unsigned info =
        CapiRegister(m_maxLogicalConnection, m_maxBDataBlocks, m_maxBDataLen, &id);
    if (info != 0) {
        m_error = info;
        return;
    }
    m_applId = id;
    m_registered = true;
    m_thread = new TCapiCallBack(this, m_applId);
    m_thread->start();
}

void TCapi::Release() {
    if (!m_registered) {
        return;
    }
    m_registered = false;
    TCapiCallBack* thread = m_thread;
    m_thread = nullptr;
    thread->RequestTerminate();
    thread->DetachCapi();

    // Its confirmation wakes a thread that waits without a time-out.
    PutMessage(std::make_unique<TListenReq>(1, 0x7F, 0x2, 0,
                                            std::make_unique<TCallingPartyNumber>(),
                                            std::make_unique<TCallingPartySubAddress>()));

    // Released from inside a hand-over, the thread is blocked until we return
    // and ends right after; otherwise it may be blocked in a hand-over posted
    // meanwhile, which is delivered (and dropped) here so that it can go on.
    if (m_handOverDepth == 0) {
        const QDeadlineTimer deadline(ThreadStopTimeoutMs);
        while (!thread->wait(QDeadlineTimer(10))) {
            QCoreApplication::sendPostedEvents(thread, QEvent::MetaCall);
            if (deadline.hasExpired()) {
                break;
            }
        }
    }
    if (thread->isFinished()) {
        delete thread;
    } else {
        // Abandoned: program end must not wait for a driver call that may never
        // return. The thread only looks at its own object once terminating, so
        // that object is left to the event loop to delete after the thread has
        // ended (never before: deleting a running QThread is fatal). Should it
        // never end, the object is left behind at exit, and the binding keeps
        // the driver library mapped while it runs.
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        if (thread->isFinished()) {
            thread->deleteLater();
        }
    }

    const unsigned info = CapiRelease(m_applId);
    if (info != 0) {
        m_error = info;
    }
}

bool TCapi::PutMessage(std::unique_ptr<TCapiMessage> message) {
    m_error = 0;
    if (!message) {
        m_error = CapiInfoIllegalMessage;
        return false;
    }
    message->Header().ApplID = quint16(m_applId);
    const quint8* bytes = message->Encode();
    const unsigned info = CapiPutMessage(m_applId, bytes, message->Size());
    m_error = info;
    return info == 0;
}

bool TCapi::Disconnect(TConnection* connection) {
    m_error = 0;
    if (!m_connections.Contains(connection)) {
        return false;
    }
    connection->Initiator = TConnection::InitiatorLocal;
    switch (connection->State) {
    case TConnection::StateB3Up:
        PutMessage(std::make_unique<TDisconnectB3Req>(connection->NCCI, empty()));
        break;
    case TConnection::StateOffered:
    case TConnection::StateConnected:
    case TConnection::StateB3Offered:
    case TConnection::StateB3Clearing:
    case TConnection::StateB3Cleared:
        PutMessage(std::make_unique<TDisconnectReq>(connection->PLCI, empty()));
        break;
    default:
        break;
    }
    return m_error == 0;
}

void TCapi::HandleMessage(const QByteArray& raw) {
    ++m_handOverDepth;
    const std::weak_ptr<int> alive = m_alive;
    // Neither a driver oddity nor an owner's hook may end the message thread
    // or cross the event loop; responses already sent stay sent.
    try {
        const std::unique_ptr<TCapiMessage> message = DecodeCapiMessage(raw);
        switch (message->Header().Subcommand) {
        case CapiIndication:
            HandleIndication(*message);
            break;
        case CapiConfirmation:
            HandleConfirmation(*message);
            break;
        default:
            break;
        }
    } catch (...) {
    }
    if (!alive.expired()) {
        --m_handOverDepth;
    }
}

bool TCapi::Notify(TConnection* connection, TCapiMessage& message, bool& accept) {
    if (!OnMessage) {
        return true;
    }
    const std::weak_ptr<int> alive = m_alive;
    OnMessage(connection, message, accept);
    return !alive.expired();
}

void TCapi::HandleIndication(TCapiMessage& message) {
    bool accept = true;
    m_error = 0;

    if (auto* m = dynamic_cast<TConnectInd*>(&message)) {
        TConnection* c = m_connections.Add(m->PLCI);
        c->State = TConnection::StateOffered;
        c->Initiator = TConnection::InitiatorNobody;
        Notify(c, message, accept);
    } else if (auto* m = dynamic_cast<TConnectActiveInd*>(&message)) {
        TConnection* c = m_connections.FindByPLCI(m->PLCI);
        if (c != nullptr) {
            c->State = TConnection::StateConnected;
        }
        PutMessage(std::make_unique<TConnectActiveResp>(m->PLCI));
        Notify(c, message, accept);
    } else if (auto* m = dynamic_cast<TDisconnectInd*>(&message)) {
        TConnection* c = m_connections.FindByPLCI(m->PLCI);
        PutMessage(std::make_unique<TDisconnectResp>(m->PLCI));
        if (c == nullptr) {
            return;
        }
        c->State = TConnection::StateCleared;
        if (!Notify(c, message, accept)) {
            return;
        }
        m_connections.Remove(c);
        if (OnReset && m_connections.Count() == 0 && m_thread != nullptr) {
            m_thread->SetResetPending();
        }
    } else if (auto* m = dynamic_cast<TInfoInd*>(&message)) {
        TConnection* c = m_connections.FindByPLCI(m->PLCI);
        PutMessage(std::make_unique<TInfoResp>(m->PLCI));
        Notify(c, message, accept);
    } else if (auto* m = dynamic_cast<TFacilityInd*>(&message)) {
        PutMessage(std::make_unique<TFacilityResp>(m->Address, m->FacilitySelector, empty()));
        Notify(nullptr, message, accept);
    } else if (auto* m = dynamic_cast<TConnectB3Ind*>(&message)) {
        TConnection* c = m_connections.FindByPLCI(m->NCCI & 0xFFFF);
        if (c != nullptr) {
            c->State = TConnection::StateB3Offered;
            c->NCCI = m->NCCI;
        }
        const quint32 ncci = m->NCCI;
        if (Notify(c, message, accept) && accept) {
            PutMessage(std::make_unique<TConnectB3Resp>(ncci, 0, empty()));
        }
    } else if (auto* m = dynamic_cast<TConnectB3ActiveInd*>(&message)) {
        TConnection* c = m_connections.FindByNCCI(m->NCCI);
        if (c != nullptr) {
            c->State = TConnection::StateB3Up;
        }
        PutMessage(std::make_unique<TConnectB3ActiveResp>(m->NCCI));
        Notify(c, message, accept);
    } else if (auto* m = dynamic_cast<TDisconnectB3Ind*>(&message)) {
        TConnection* c = m_connections.FindByNCCI(m->NCCI);
        if (c != nullptr) {
            c->State = TConnection::StateB3Cleared;
            if (c->Initiator == TConnection::InitiatorNobody) {
                c->Initiator = TConnection::InitiatorRemote;
            }
        }
        PutMessage(std::make_unique<TDisconnectB3Resp>(m->NCCI));
        if (Notify(c, message, accept) && accept && m_connections.Contains(c) &&
            c->Initiator == TConnection::InitiatorLocal) {
            PutMessage(std::make_unique<TDisconnectReq>(c->PLCI, empty()));
        }
    } else if (auto* m = dynamic_cast<TDataB3Ind*>(&message)) {
        TConnection* c = m_connections.FindByNCCI(m->NCCI);
        const quint32 ncci = m->NCCI;
        const quint16 handle = m->DataHandle;
        if (Notify(c, message, accept) && accept) {
            PutMessage(std::make_unique<TDataB3Resp>(ncci, handle));
        }
    } else if (auto* m = dynamic_cast<TResetB3Ind*>(&message)) {
        TConnection* c = m_connections.FindByNCCI(m->NCCI);
        PutMessage(std::make_unique<TResetB3Resp>(m->NCCI));
        Notify(c, message, accept);
    } else if (auto* m = dynamic_cast<TConnectB3T90ActiveInd*>(&message)) {
        TConnection* c = m_connections.FindByNCCI(m->NCCI);
        PutMessage(std::make_unique<TConnectB3T90ActiveResp>(m->NCCI));
        Notify(c, message, accept);
    }
    // Any other indication is left unanswered.
}

void TCapi::HandleConfirmation(TCapiMessage& message) {
    bool accept = true;
    m_error = 0;
    quint16 info = 0;
    if (auto* m = dynamic_cast<TCapiConfirmation*>(&message)) {
        info = m->Info;
    } else if (auto* m = dynamic_cast<TDataB3Conf*>(&message)) {
        info = m->Info;
    } else if (auto* m = dynamic_cast<TFacilityConf*>(&message)) {
        info = m->Info;
    }
    // Values up to 0xFF are notes that the request was carried out.
    if (info > 0x00FF) {
        m_error = info;
    }
    auto* conf = dynamic_cast<TCapiConfirmation*>(&message);
    const quint32 address = conf != nullptr ? conf->Address : 0;

    switch (message.Header().GetCommandWord()) {
    case TListenConf::CommandWord:
    case TFacilityConf::CommandWord:
        Notify(nullptr, message, accept);
        break;
    case TAlertConf::CommandWord:
    case TDisconnectConf::CommandWord:
    case TInfoConf::CommandWord:
    case TSelectBProtocolConf::CommandWord:
        Notify(m_connections.FindByPLCI(address), message, accept);
        break;
    case TConnectB3Conf::CommandWord: {
        const quint32 plci = address & 0xFFFF;
        TConnection* c = m_connections.FindByPLCI(plci);
        if (info > 0x00FF) {
            PutMessage(std::make_unique<TDisconnectReq>(plci, empty()));
            // The refused B3 connection is the error worth keeping, unless the
            // clearing itself failed.
            if (m_error == 0) {
                m_error = info;
            }
        } else if (c != nullptr) {
            c->State = TConnection::StateB3Offered;
            c->NCCI = address;
        }
        Notify(c, message, accept);
        break;
    }
    case TDisconnectB3Conf::CommandWord: {
        TConnection* c = m_connections.FindByNCCI(address);
        if (c != nullptr) {
            c->State = TConnection::StateB3Clearing;
        }
        Notify(c, message, accept);
        break;
    }
    case TDataB3Conf::CommandWord:
        if (auto* m = dynamic_cast<TDataB3Conf*>(&message)) {
            Notify(m_connections.FindByNCCI(m->NCCI), message, accept);
        }
        break;
    case TResetB3Conf::CommandWord:
        Notify(m_connections.FindByNCCI(address), message, accept);
        break;
    default:
        break;
    }
}

void TCapi::ConnectionLost(unsigned info) {
    m_error = info;
    if (OnConnectionLost) {
        // Posted, not a hand-over: exceptions end here too.
        try {
            OnConnectionLost(*this);
        } catch (...) {
        }
    }
}

void TCapi::ResetNotice() {
    if (OnReset) {
        try {
            OnReset(*this);
        } catch (...) {
        }
    }
}

} // namespace kalvendo
