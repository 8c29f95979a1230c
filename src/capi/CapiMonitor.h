#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

class QTimer;

namespace kalvendo {

class TCapi;
class TCapiMessage;
class TConnection;

// Watches one ISDN controller for incoming calls: its own CAPI application,
// a LISTEN_REQ for every service, an answer for each offered call, and events
// for the owner. Everything, events included, runs in the main thread.
class TCapiMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(int RejectTimeOut READ RejectTimeOut)
    Q_PROPERTY(quint32 Controller READ Controller)
    Q_PROPERTY(quint32 Error READ Error)
    Q_PROPERTY(QString ErrorString READ ErrorString)
    Q_PROPERTY(bool NoDisturbMode READ NoDisturbMode WRITE setNoDisturbMode)
    Q_PROPERTY(quint16 LastRejectCause READ LastRejectCause)
public:
    static constexpr quint16 NoRejectCause = 0xFFFF;

    // Events; an unset one is skipped. OnRejectCallQuestion may set
    // rejectCause to the CONNECT_RESP Reject value to answer with.
    std::function<void(const QString& CallingPartyNumber, const QString& CalledPartyNumber,
                       quint16 CipValue, quint16& aRejectCause)>
        OnRejectCallQuestion;
    // After the call has been answered (or alerted).
    std::function<void(const QString& CallingPartyNumber, const QString& CalledPartyNumber,
                       quint16 CipValue, const QString& CipValueString)>
        OnIncomingCall;
    std::function<void(bool bUserCanReject, bool bUserCanCangeNoDisturbMode)> OnStateChange;
    std::function<void(quint16 aRejectCause, quint16 aDisconnectReason)> OnDisconnectInfo;
    std::function<void(TCapiMonitor* Sender)> OnDoResetCapi;

    explicit TCapiMonitor(QObject* owner = nullptr);
    ~TCapiMonitor() override;

    // Makes a fresh CAPI application (the previous one is released first) and
    // listens on the controller. True when Error is 0 afterwards.
    bool Activate(quint32 controller, int rejectTimeOut);

    int RejectTimeOut() const { return m_rejectTimeOut; }
    quint32 Controller() const { return m_controller; }
    quint32 Error() const { return m_error; }
    QString ErrorString() const { return m_errorString; }
    bool NoDisturbMode() const { return m_noDisturbMode; }
    void setNoDisturbMode(bool on) { m_noDisturbMode = on; }
    quint16 LastRejectCause() const { return m_lastRejectCause; }

    // Once a second while an alerted call counts down.
    void RejectTimerTick();
    // The countdown's tick interval in ms (1000; tests shorten it).
    void setRejectTimerInterval(int ms) { m_tickInterval = ms; }
    // Seconds left of the countdown (0 when none runs).
    int Countdown() const { return m_countdown; }
    bool RejectTimerRunning() const { return m_timer != nullptr; }

    // The application of the last activation; null while inactive.
    TCapi* Capi() const { return m_capi.get(); }

private:
    void OnMessage(TConnection* connection, TCapiMessage& message, bool& accept);
    void ConnectIndication(TConnection* connection, TCapiMessage& message);
    // Answers the offered call with this PLCI (if it is still offered).
    void AnswerCall(quint16 rejectCause, quint32 plci);
    void UpdateError();
    void StopCountdown();
    // False when the handler destroyed this monitor.
    bool FireStateChange(bool userCanReject, bool userCanChangeNoDisturbMode);

    std::unique_ptr<TCapi> m_capi;
    QTimer* m_timer = nullptr;
    int m_tickInterval = 1000;
    int m_countdown = 0;
    quint32 m_countdownPLCI = 0;

    int m_rejectTimeOut = 0;
    quint32 m_controller = 1;
    quint32 m_error = 0;
    QString m_errorString;
    bool m_noDisturbMode = false;
    quint16 m_lastRejectCause = NoRejectCause;
};

} // namespace kalvendo
