#include "capi/CapiMonitor.h"

#include "capi/Capi.h"
#include "capi/CapiBinding.h"
#include "capi/CapiMessage.h"

#include <QPointer>
#include <QTimer>

namespace kalvendo {

namespace {

constexpr quint32 kInfoMask = 0x7F;
// Bits 1 to 9 and 16 to 28: every defined service; not bit 0 (any match).
constexpr quint32 kCipMask = 0x1FFF03FE;

constexpr quint16 kRejectTake = 0;
constexpr quint16 kRejectIgnore = 1;
constexpr quint16 kB3RejectRefused = 2;

std::unique_ptr<TStruct> empty() {
    return TStruct::CreateEmpty();
}

// One "0" for a national number, and for an international one that does not
// already start with it, so that the number can be dialled back as it stands.
QString callerNumber(const TCallingPartyNumber* number) {
    if (number == nullptr || number->Digits.isEmpty()) {
        return QString();
    }
    const quint8 type = number->TypeOfNumber;
    if ((type & 0x20) != 0 ||
        ((type & 0x10) != 0 && !number->Digits.startsWith(QLatin1Char('0')))) {
        return QLatin1Char('0') + number->Digits;
    }
    return number->Digits;
}

} // namespace

TCapiMonitor::TCapiMonitor(QObject* owner) : QObject(owner) {}

TCapiMonitor::~TCapiMonitor() {
    // The application's hooks point here; release it while this is whole.
    m_capi.reset();
}

bool TCapiMonitor::Activate(quint32 controller, int rejectTimeOut) {
    m_error = 0;
    StopCountdown();
    m_capi.reset();
    m_controller = controller;
    m_rejectTimeOut = rejectTimeOut;

    m_capi = std::make_unique<TCapi>(1, 2, 128);
    UpdateError();
    if (m_error != 0) {
        m_capi.reset();
        return false;
    }
    m_capi->OnMessage = [this](TConnection* c, TCapiMessage& m, bool& accept) {
        OnMessage(c, m, accept);
    };
    m_capi->OnReset = [this](TCapi&) {
        if (OnDoResetCapi) {
            OnDoResetCapi(this);
        }
    };
    m_capi->OnConnectionLost = [this](TCapi&) {
        UpdateError();
        StopCountdown();
        FireStateChange(false, false);
    };

    const bool sent = m_capi->PutMessage(
        std::make_unique<TListenReq>(m_controller, kInfoMask, kCipMask, 0,
                                     std::make_unique<TCallingPartyNumber>(0x00, 0x80, QString()),
                                     std::make_unique<TCallingPartySubAddress>(0x80, QString())));
    const QPointer<TCapiMonitor> self(this);
    if (!sent) {
        UpdateError();
        m_capi.reset();
        FireStateChange(false, false);
    } else {
        FireStateChange(false, true);
    }
    return self && m_error == 0;
}

void TCapiMonitor::UpdateError() {
    if (!m_capi) {
        return;
    }
    m_error = m_capi->Error();
    const QString text = m_capi->ErrorText();
    m_errorString = text.isEmpty() ? QStringLiteral("OK") : text;
}

bool TCapiMonitor::FireStateChange(bool userCanReject, bool userCanChangeNoDisturbMode) {
    if (!OnStateChange) {
        return true;
    }
    const QPointer<TCapiMonitor> self(this);
    OnStateChange(userCanReject, userCanChangeNoDisturbMode);
    return !self.isNull();
}

void TCapiMonitor::StopCountdown() {
    m_countdown = 0;
    m_countdownPLCI = 0;
    if (m_timer != nullptr) {
        // Possibly from inside the timer's own tick: stop it, let the event
        // loop delete it, and forget it here.
        m_timer->stop();
        m_timer->deleteLater();
        m_timer = nullptr;
    }
}

void TCapiMonitor::OnMessage(TConnection* connection, TCapiMessage& message, bool& accept) {
    UpdateError();
    if (dynamic_cast<TConnectInd*>(&message) != nullptr) {
        ConnectIndication(connection, message);
    } else if (auto* m = dynamic_cast<TDisconnectInd*>(&message)) {
        // Another call's clearing leaves a running countdown alone.
        if (m_countdownPLCI == 0 || m_countdownPLCI == m->PLCI) {
            StopCountdown();
        }
        if (OnDisconnectInfo) {
            const QPointer<TCapiMonitor> self(this);
            OnDisconnectInfo(m_lastRejectCause, m->Reason);
            if (!self) {
                return;
            }
        }
        FireStateChange(false, true);
    } else if (dynamic_cast<TListenConf*>(&message) != nullptr) {
        FireStateChange(false, true);
    } else if (auto* m = dynamic_cast<TConnectB3Ind*>(&message)) {
        // Only a call taken in no-disturb mode gets here: refuse the data
        // connection and clear the call.
        accept = false;
        m_capi->PutMessage(std::make_unique<TConnectB3Resp>(m->NCCI, kB3RejectRefused, empty()));
        if (connection != nullptr) {
            m_capi->Disconnect(connection);
        }
        UpdateError();
        FireStateChange(false, false);
    }
}

void TCapiMonitor::ConnectIndication(TConnection* connection, TCapiMessage& message) {
    auto& ind = static_cast<TConnectInd&>(message);
    if (connection != nullptr) {
        connection->Owner = this;
    }
    const quint32 plci = ind.PLCI;
    const quint16 cip = ind.CIPValue;
    const QString caller = callerNumber(ind.CallingPartyNumber.get());
    const QString called = ind.CalledPartyNumber ? ind.CalledPartyNumber->Digits : QString();

    const QPointer<TCapiMonitor> self(this);
    quint16 reject = NoRejectCause;
    m_lastRejectCause = NoRejectCause;
    if (OnRejectCallQuestion) {
        OnRejectCallQuestion(caller, called, cip, reject);
        if (!self) {
            return;
        }
    }

    if (reject != NoRejectCause) {
        AnswerCall(reject, plci);
    } else if (m_noDisturbMode) {
        AnswerCall(kRejectTake, plci);
    } else if (m_rejectTimeOut <= 0) {
        AnswerCall(kRejectIgnore, plci);
    } else {
        StopCountdown();
        m_countdown = m_rejectTimeOut;
        m_countdownPLCI = plci;
        m_timer = new QTimer(this);
        connect(m_timer, &QTimer::timeout, this, &TCapiMonitor::RejectTimerTick);
        m_timer->start(m_tickInterval);
        m_capi->PutMessage(std::make_unique<TAlertReq>(plci, empty()));
        UpdateError();
    }
    if (!self) {
        return;
    }

    const bool userCanReject = reject == NoRejectCause && m_rejectTimeOut > 0 && !m_noDisturbMode;
    if (!FireStateChange(userCanReject, false)) {
        return;
    }
    if (OnIncomingCall) {
        OnIncomingCall(caller, called, cip, CipValueName(cip));
    }
}

void TCapiMonitor::AnswerCall(quint16 rejectCause, quint32 plci) {
    if (!m_capi) {
        return;
    }
    TConnection* c = m_capi->Connections().FindByPLCI(plci);
    if (c == nullptr || c->Owner != this || c->State != TConnection::StateOffered) {
        return;
    }
    if (!FireStateChange(false, false)) {
        return;
    }
    StopCountdown();
    m_lastRejectCause = rejectCause;
    if (!m_capi) {
        return;
    }
    if (rejectCause == kRejectTake) {
        m_capi->PutMessage(std::make_unique<TConnectResp>(
            plci, kRejectTake, std::make_unique<TBProtocol>(1, 1, 0, empty(), empty(), empty()),
            std::make_unique<TCallingPartyNumber>(), std::make_unique<TCallingPartySubAddress>(),
            empty(), empty()));
    } else {
        m_capi->PutMessage(std::make_unique<TConnectResp>(
            plci, rejectCause, std::make_unique<TBProtocol>(),
            std::make_unique<TCallingPartyNumber>(), std::make_unique<TCallingPartySubAddress>(),
            empty(), empty()));
    }
    UpdateError();
}

void TCapiMonitor::RejectTimerTick() {
    // Runs from the event loop, where no exception may arrive.
    try {
        if (m_countdown <= 0 && m_countdownPLCI == 0) {
            return;
        }
        --m_countdown;
        if (m_countdown <= 0) {
            const QPointer<TCapiMonitor> self(this);
            AnswerCall(kRejectIgnore, m_countdownPLCI);
            // Also when the call was no longer there to answer.
            if (self) {
                StopCountdown();
            }
        }
    } catch (...) {
    }
}

} // namespace kalvendo
