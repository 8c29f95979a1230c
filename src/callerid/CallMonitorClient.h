#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

class QTcpSocket;
class QTimer;

namespace kalvendo {

// One line of a router's call monitor (FRITZ!Box kind, TCP port 1012):
//   date;RING;id;caller;called;line;
//   date;CALL;id;extension;caller;called;line;
//   date;CONNECT;id;extension;number;
//   date;DISCONNECT;id;seconds;
struct CallMonitorEvent {
    enum class Kind { Ring, Call, Connect, Disconnect };
    Kind kind = Kind::Ring;
    QString date;
    int id = 0;
    // RING: the caller (empty when withheld) and the called number.
    // CALL: our number and the number dialled. CONNECT: the other party.
    QString caller;
    QString called;
};

// Reads one line (without its line end; a trailing CR is ignored). Nothing
// for a line that is not one of the four kinds: unknown kind, missing fields,
// an id that is no number, a number field over 64 characters, NUL or other
// control bytes, invalid UTF-8. Numbers come back sanitised.
std::optional<CallMonitorEvent> parseCallMonitorLine(QByteArrayView line);

// Client of the router's call monitor, in the thread it lives in (the user
// interface thread), on one QTcpSocket. A RING becomes OnIncomingCall with the
// same arguments as the CAPI monitor's event, so both sources share one
// handler; the other lines change nothing.
//
// When the connection cannot be made or is lost, connectionLost is emitted
// once and the client tries again after 5 s, then 10 s, 20 s, 40 s and every
// 60 s (a timer: no busy loop); connectionRestored follows when it is back.
// stop() and the destructor end everything at once.
class CallMonitorClient : public QObject {
    Q_OBJECT
public:
    enum class State { Stopped, Connecting, Connected, Waiting };
    Q_ENUM(State)

    // Lines longer than this (line end excluded) are skipped.
    static constexpr qsizetype kMaxLineLength = 4096;
    // The CAPI service value a RING is reported with: telephony.
    static constexpr quint16 kTelephonyCip = 16;

    // Fired for every RING: caller (empty when withheld), called number,
    // kTelephonyCip and an empty service text (the protocol names none).
    std::function<void(const QString& CallingPartyNumber, const QString& CalledPartyNumber,
                       quint16 CipValue, const QString& CipValueString)>
        OnIncomingCall;

    explicit CallMonitorClient(QObject* parent = nullptr);
    ~CallMonitorClient() override;

    // Connects (again) to host:port; an earlier connection is dropped first.
    void start(const QString& host, quint16 port);
    void stop();

    State state() const { return m_state; }
    bool isConnected() const { return m_state == State::Connected; }
    QString host() const { return m_host; }
    quint16 port() const { return m_port; }
    // The delay before the next attempt, in ms.
    int nextRetryDelay() const { return m_retryDelay; }
    // Lines skipped as unreadable since start().
    int skippedLines() const { return m_skipped; }

    // Retry delays: the first, doubled after each failed attempt up to the
    // longest (5000 and 60000 ms; tests shorten them).
    void setRetryDelays(int firstMs, int longestMs);
    // How long one connection attempt may take (10000 ms).
    void setConnectTimeout(int ms) { m_connectTimeout = ms; }

Q_SIGNALS:
    // Every time a connection is made.
    void connected();
    // Once per outage: the first failed attempt or the loss of a connection.
    void connectionLost(const QString& reason);
    // The first connection after connectionLost.
    void connectionRestored();
    void stateChanged(kalvendo::CallMonitorClient::State state);

private:
    void connectNow();
    void onConnected();
    void onReadyRead();
    void onGone(const QString& reason);
    // False when the handler stopped or destroyed the client.
    bool handleLine(const QByteArray& line);
    void dropSocket();
    void setState(State s);

    QString m_host;
    quint16 m_port = 0;
    QPointer<QTcpSocket> m_socket;
    QTimer* m_retryTimer = nullptr;
    QTimer* m_connectTimer = nullptr;
    State m_state = State::Stopped;
    bool m_lost = false;
    int m_firstDelay = 5000;
    int m_longestDelay = 60000;
    int m_retryDelay = 5000;
    int m_connectTimeout = 10000;
    QByteArray m_line;
    bool m_discarding = false;
    int m_skipped = 0;
};

// Whether a connection to host:port can be made within timeoutMs (blocking;
// for the command line's report). error receives the reason when not.
bool callMonitorReachable(const QString& host, quint16 port, int timeoutMs,
                          QString* error = nullptr);

} // namespace kalvendo
