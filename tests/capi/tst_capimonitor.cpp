// TCapiMonitor against the simulated driver: real message thread, real
// hand-over, a running event loop (QTRY).

#include "CapiSimFixture.h"

#include "capi/CapiMonitor.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <stdexcept>

using namespace kalvendo;
using namespace simtest;

namespace {

const QString kSentinel = QStringLiteral("LISTEN_CONF Address=0x7E Info=0x0");
const QString kListen =
    QStringLiteral("LISTEN_REQ Controller=0x1 InfoMask=0x7F CIPMask=0x1FFF03FE CIPMask2=0x0 "
                   "CallingPartyNumber=(00 80) CallingPartySubAddress=(80)");

QString ignore(quint32 plci, int reject = 1) {
    return QStringLiteral("CONNECT_RESP PLCI=0x%1 Reject=0x%2 BProtocol=() ConnectedNumber=() "
                          "ConnectedSubAddress=() LLC=() AdditionalInfo=()")
        .arg(plci, 0, 16)
        .arg(reject, 0, 16);
}

} // namespace

class TestCapiMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void defaults();
    void activationFailures_data();
    void activationFailures();
    void activateListensAndReactivates();
    void incomingCall_data();
    void incomingCall();
    void rejectTimeOutCountdown_data();
    void rejectTimeOutCountdown();
    void realTimerAnswersAndDiscardsItself();
    void rejectQuestionAnswer();
    void clearingOfAnotherCallKeepsTheCountdown();
    void noDisturbModeTakesAndClears();
    void secondCallIsAnsweredOnItsOwn();
    void throwingHandlerDoesNotStopTheThread();
    void destroyWithThreadBlockedInTheDriver();
    void lostConnectionIsReported();

private:
    void activate(int rejectTimeOut = 0);
    void queue(const QByteArray& message);
    void settle();
    QStringList puts() const { return putsFrom(*m_sim, 0); }

    std::unique_ptr<CapiSimControl> m_sim;
    QByteArray m_simFile;
    std::unique_ptr<TCapiMonitor> m_monitor;
    QStringList m_events;
    QString m_putAtCall;
    int m_settled = 0;
};

void TestCapiMonitor::initTestCase() {
    m_simFile = qgetenv("KALVENDO_CAPI_LIBRARY");
    QVERIFY2(!m_simFile.isEmpty(), "KALVENDO_CAPI_LIBRARY must name the simulated driver");
    m_sim = std::make_unique<CapiSimControl>();
    QVERIFY2(m_sim->isValid(), m_simFile.constData());
}

void TestCapiMonitor::init() {
    m_sim->reset();
    m_sim->setAutoConfirm(0);
    if (CapiState() != CapiStateInstalled) {
        useLibrary(m_simFile);
    }
    m_events.clear();
    m_putAtCall.clear();
    m_settled = 0;
    m_monitor = std::make_unique<TCapiMonitor>();
    m_monitor->OnStateChange = [this](bool canReject, bool canChange) {
        m_events << QStringLiteral("state %1 %2").arg(int(canReject)).arg(int(canChange));
    };
    m_monitor->OnIncomingCall = [this](const QString& caller, const QString& called, quint16 cip,
                                       const QString& cipText) {
        m_putAtCall = lastPut(*m_sim);
        m_events << QStringLiteral("call %1|%2|%3|%4").arg(caller, called).arg(cip).arg(cipText);
    };
    m_monitor->OnDisconnectInfo = [this](quint16 cause, quint16 reason) {
        m_events << QStringLiteral("disconnect %1 %2").arg(cause, 0, 16).arg(reason, 0, 16);
    };
    m_monitor->OnDoResetCapi = [this](TCapiMonitor* sender) {
        m_events << (sender == m_monitor.get() ? QStringLiteral("reset")
                                               : QStringLiteral("reset from a stranger"));
    };
}

void TestCapiMonitor::cleanup() {
    m_monitor.reset();
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);
    m_sim->reset();
}

void TestCapiMonitor::activate(int rejectTimeOut) {
    QVERIFY(m_monitor->Activate(1, rejectTimeOut));
    TCapi* capi = m_monitor->Capi();
    QVERIFY(capi != nullptr);
    // See each sentinel after the monitor has handled it.
    auto inner = capi->OnMessage;
    capi->OnMessage = [this, inner](TConnection* c, TCapiMessage& m, bool& accept) {
        inner(c, m, accept);
        if (m.Describe() == kSentinel) {
            ++m_settled;
        }
    };
}

void TestCapiMonitor::queue(const QByteArray& message) {
    QCOMPARE(m_sim->queue(m_monitor->Capi()->ApplID(), message), 0);
}

// Waits until everything queued so far has been handled; the sentinel's own
// state change is taken off the events again.
void TestCapiMonitor::settle() {
    const int before = m_settled;
    queue(bytes(std::make_unique<TListenConf>(0x7E, 0)));
    QTRY_COMPARE(m_settled, before + 1);
    QCOMPARE(m_events.takeLast(), QStringLiteral("state 0 1"));
}

void TestCapiMonitor::defaults() {
    TCapiMonitor monitor;
    QCOMPARE(monitor.property("RejectTimeOut").toInt(), 0);
    QCOMPARE(monitor.property("Controller").toUInt(), 1u);
    QCOMPARE(monitor.property("Error").toUInt(), 0u);
    QCOMPARE(monitor.property("ErrorString").toString(), QString());
    QCOMPARE(monitor.property("NoDisturbMode").toBool(), false);
    QCOMPARE(monitor.property("LastRejectCause").toUInt(), 0xFFFFu);
    QVERIFY(monitor.setProperty("NoDisturbMode", true));
    QVERIFY(monitor.NoDisturbMode());
    QVERIFY(!monitor.setProperty("Error", 5u)); // read-only
    QVERIFY(monitor.Capi() == nullptr);
}

void TestCapiMonitor::activationFailures_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<uint>("error");
    QTest::addColumn<QString>("text"); // empty: the missing file's text
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<uint>("releases");

    QTest::newRow("no driver library")
        << QStringLiteral("missing") << 0x9002u << QString() << QStringList() << 0u;
    QTest::newRow("driver not installed")
        << QStringLiteral("not installed") << 0x9003u
        << QStringLiteral("CAPI 2.0 (32 Bit) not installed.") << QStringList() << 0u;
    QTest::newRow("registration refused")
        << QStringLiteral("register") << 0x1001u << QStringLiteral("too many applications ($1001)")
        << QStringList() << 0u;
    QTest::newRow("LISTEN_REQ refused")
        << QStringLiteral("put") << 0x1103u
        << QStringLiteral(
               "the message could not be accepted because of a queue full condition. ($1103)")
        << QStringList{QStringLiteral("state 0 0")} << 1u;
}

void TestCapiMonitor::activationFailures() {
    QFETCH(QString, cause);
    QFETCH(uint, error);
    QFETCH(QString, text);
    QFETCH(QStringList, events);
    QFETCH(uint, releases);

    QTemporaryDir dir;
    const QByteArray missing = QFile::encodeName(dir.filePath(QStringLiteral("libnothere.so")));
    if (cause == QStringLiteral("missing")) {
        useLibrary(missing);
        text = QStringLiteral("File \"") + QFile::decodeName(missing) +
               QStringLiteral("\" not found.");
    } else if (cause == QStringLiteral("not installed")) {
        m_sim->setInstalledInfo(0x1009);
        useLibrary(m_simFile);
    } else if (cause == QStringLiteral("register")) {
        m_sim->setRegisterInfo(0x1001);
    } else {
        m_sim->setPutInfo(0x1103);
    }

    QVERIFY(!m_monitor->Activate(1, 0));
    QCOMPARE(m_monitor->Error(), quint32(error));
    QCOMPARE(m_monitor->ErrorString(), text);
    QVERIFY(m_monitor->Capi() == nullptr);
    QCOMPARE(TCapiCallBack::RunningCount(), 0);
    QCOMPARE(m_events, events);
    QCOMPARE(m_sim->releaseCount(), releases);

    m_sim->setInstalledInfo(0);
    useLibrary(m_simFile);
}

void TestCapiMonitor::activateListensAndReactivates() {
    QVERIFY(m_monitor->Activate(2, 0));
    QCOMPARE(m_monitor->Error(), 0u);
    QCOMPARE(m_monitor->ErrorString(), QStringLiteral("OK"));
    QCOMPARE(m_monitor->Controller(), 2u);
    QCOMPARE(m_sim->put(0).size(), 29);
    QCOMPARE(puts(), QStringList{QString(kListen).replace(QStringLiteral("Controller=0x1"),
                                                          QStringLiteral("Controller=0x2"))});
    unsigned params[3] = {};
    const unsigned firstId = m_monitor->Capi()->ApplID();
    QVERIFY(m_sim->registration(firstId, &params[0], &params[1], &params[2]));
    QCOMPARE(params[0], 1u);
    QCOMPARE(params[1], 2u);
    QCOMPARE(params[2], 128u);
    QCOMPARE(m_events, QStringList{QStringLiteral("state 0 1")});

    // The controller refuses: the error shows at the next message.
    queue(bytes(std::make_unique<TListenConf>(2, 0x2002)));
    QTRY_COMPARE(m_monitor->Error(), 0x2002u);
    QCOMPARE(m_monitor->ErrorString(), QStringLiteral("illegal Controller/PLCI/NCCI ($2002)"));
    QCOMPARE(m_events.size(), 2);
    QCOMPARE(m_events.last(), QStringLiteral("state 0 1"));

    // Activating again releases the first application and starts afresh.
    QVERIFY(m_monitor->Activate(1, 0));
    QCOMPARE(m_sim->releaseCount(), 1u);
    QVERIFY(!m_sim->registration(firstId, nullptr, nullptr, nullptr));
    QVERIFY(m_monitor->Capi()->ApplID() != firstId);
    QCOMPARE(m_monitor->Error(), 0u);
    QCOMPARE(m_monitor->ErrorString(), QStringLiteral("OK"));
    QCOMPARE(lastPut(*m_sim), kListen);
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 1);
}

void TestCapiMonitor::incomingCall_data() {
    QTest::addColumn<int>("typeOfNumber"); // -1: no calling party number at all
    QTest::addColumn<QString>("digits");
    QTest::addColumn<int>("cip");
    QTest::addColumn<QString>("reported");

    const QString national = QStringLiteral("301234567");
    QTest::newRow("national gains one 0")
        << 0x21 << national << 1 << QStringLiteral("call 0301234567|4711|1|speech");
    QTest::newRow("national starting with 0 still gains one")
        << 0x21 << QStringLiteral("0301234567") << 1
        << QStringLiteral("call 00301234567|4711|1|speech");
    QTest::newRow("international gains one 0") << 0x11 << QStringLiteral("49301234567") << 1
                                               << QStringLiteral("call 049301234567|4711|1|speech");
    QTest::newRow("international starting with 0 stays")
        << 0x11 << QStringLiteral("049301234567") << 1
        << QStringLiteral("call 049301234567|4711|1|speech");
    QTest::newRow("unknown type stays")
        << 0x01 << national << 16 << QStringLiteral("call 301234567|4711|16|telephony");
    QTest::newRow("subscriber number stays")
        << 0x41 << QStringLiteral("1234567") << 1 << QStringLiteral("call 1234567|4711|1|speech");
    QTest::newRow("number withheld: no digits, no 0")
        << 0x21 << QString() << 1 << QStringLiteral("call |4711|1|speech");
    QTest::newRow("calling party number absent")
        << -1 << QString() << 1 << QStringLiteral("call |4711|1|speech");
    QTest::newRow("CIP without a name")
        << 0x21 << national << 10 << QStringLiteral("call 0301234567|4711|10|");
}

void TestCapiMonitor::incomingCall() {
    QFETCH(int, typeOfNumber);
    QFETCH(QString, digits);
    QFETCH(int, cip);
    QFETCH(QString, reported);

    activate();
    queue(connectInd(0x101, typeOfNumber, digits, quint16(cip)));
    QTRY_COMPARE(m_events.size(), 4);
    // Answered at once with "ignore", and reported only after the answer went out.
    QCOMPARE(m_events, (QStringList{QStringLiteral("state 0 1"), QStringLiteral("state 0 0"),
                                    QStringLiteral("state 0 0"), reported}));
    QCOMPARE(m_putAtCall, ignore(0x101));
    QCOMPARE(puts(), (QStringList{kListen, ignore(0x101)}));
    QCOMPARE(m_monitor->LastRejectCause(), quint16(1));
    QCOMPARE(m_monitor->Capi()->Connections().Items(0)->Owner, m_monitor.get());

    // The exchange clears the call; the application answers and the monitor tells.
    queue(bytes(std::make_unique<TDisconnectInd>(0x101, 0x3490)));
    QTRY_VERIFY(m_events.contains(QStringLiteral("reset")));
    QCOMPARE(m_events.mid(4), (QStringList{QStringLiteral("disconnect 1 3490"),
                                           QStringLiteral("state 0 1"), QStringLiteral("reset")}));
    QCOMPARE(lastPut(*m_sim), QStringLiteral("DISCONNECT_RESP PLCI=0x101"));
    QCOMPARE(m_monitor->Capi()->Connections().Count(), 0);
}

void TestCapiMonitor::rejectTimeOutCountdown_data() {
    QTest::addColumn<int>("hangUpAfterTicks"); // -1: the caller waits
    QTest::newRow("ignored after five ticks") << -1;
    QTest::newRow("caller hangs up after two ticks") << 2;
}

void TestCapiMonitor::rejectTimeOutCountdown() {
    QFETCH(int, hangUpAfterTicks);
    // Ticks are driven here; the timer itself must not fire meanwhile.
    m_monitor->setRejectTimerInterval(3600 * 1000);
    activate(5);
    queue(connectInd(0x101));
    QTRY_COMPARE(m_events.size(), 3);
    QCOMPARE(m_events.mid(1), (QStringList{QStringLiteral("state 1 0"),
                                           QStringLiteral("call 0301234567|4711|1|speech")}));
    QCOMPARE(m_putAtCall, QStringLiteral("ALERT_REQ PLCI=0x101 AdditionalInfo=()"));
    QCOMPARE(m_monitor->Countdown(), 5);
    QVERIFY(m_monitor->RejectTimerRunning());
    QCOMPARE(m_monitor->LastRejectCause(), quint16(0xFFFF));

    for (int tick = 1; tick <= 5; ++tick) {
        if (tick - 1 == hangUpAfterTicks) {
            queue(bytes(std::make_unique<TDisconnectInd>(0x101, 0x3490)));
            settle();
            QVERIFY(m_events.contains(QStringLiteral("disconnect ffff 3490")));
            QVERIFY(!m_monitor->RejectTimerRunning());
            QCOMPARE(m_monitor->Countdown(), 0);
        }
        // No answer from the countdown; a hang-up adds its DISCONNECT_RESP.
        QCOMPARE(puts().size(), hangUpAfterTicks >= 0 && tick > hangUpAfterTicks ? 3 : 2);
        m_monitor->RejectTimerTick();
    }
    if (hangUpAfterTicks < 0) {
        QCOMPARE(puts().size(), 3);
        QCOMPARE(lastPut(*m_sim), ignore(0x101));
        QCOMPARE(m_monitor->LastRejectCause(), quint16(1));
        QCOMPARE(m_events.last(), QStringLiteral("state 0 0"));
        QVERIFY(!m_monitor->RejectTimerRunning());
    } else {
        QCOMPARE(puts(), (QStringList{kListen,
                                      QStringLiteral("ALERT_REQ PLCI=0x101 "
                                                     "AdditionalInfo=()"),
                                      QStringLiteral("DISCONNECT_RESP PLCI=0x101")}));
    }
    m_monitor->RejectTimerTick(); // a tick after the end changes nothing
    QCOMPARE(puts().size(), 3);
}

void TestCapiMonitor::realTimerAnswersAndDiscardsItself() {
    m_monitor->setRejectTimerInterval(5);
    activate(3);
    queue(connectInd(0x101));
    QTRY_COMPARE(lastPut(*m_sim), ignore(0x101));
    QCOMPARE(puts().size(), 3);
    QVERIFY(!m_monitor->RejectTimerRunning());
    // Stopped from inside its own tick and deleted later by the event loop.
    QTRY_VERIFY(m_monitor->findChildren<QTimer*>().isEmpty());
    QCOMPARE(puts().size(), 3);
}

void TestCapiMonitor::rejectQuestionAnswer() {
    QStringList asked;
    m_monitor->OnRejectCallQuestion = [&](const QString& caller, const QString& called, quint16 cip,
                                          quint16& cause) {
        asked << QStringLiteral("%1|%2|%3|%4").arg(caller, called).arg(cip).arg(cause, 0, 16);
        cause = 3;
    };
    activate(5);
    queue(connectInd(0x101));
    QTRY_COMPARE(m_events.size(), 4);
    QCOMPARE(asked, QStringList{QStringLiteral("0301234567|4711|1|ffff")});
    QCOMPARE(m_putAtCall, ignore(0x101, 3));
    QCOMPARE(m_monitor->LastRejectCause(), quint16(3));
    QVERIFY(!m_monitor->RejectTimerRunning());
    QCOMPARE(m_events.mid(1, 2),
             (QStringList{QStringLiteral("state 0 0"), QStringLiteral("state 0 0")}));

    queue(bytes(std::make_unique<TDisconnectInd>(0x101, 0x3491)));
    QTRY_VERIFY(m_events.contains(QStringLiteral("reset")));
    QVERIFY(m_events.contains(QStringLiteral("disconnect 3 3491")));
}

void TestCapiMonitor::clearingOfAnotherCallKeepsTheCountdown() {
    m_monitor->setRejectTimerInterval(3600 * 1000);
    int calls = 0;
    m_monitor->OnRejectCallQuestion = [&calls](const QString&, const QString&, quint16,
                                               quint16& cause) {
        cause = calls++ == 0 ? 3 : 0xFFFF; // first call busy, second alerted
    };
    activate(2);
    queue(connectInd(0x101));
    queue(connectInd(0x201));
    queue(bytes(std::make_unique<TDisconnectInd>(0x101, 0x3491)));
    settle();
    QCOMPARE(m_monitor->Countdown(), 2);
    m_monitor->RejectTimerTick();
    m_monitor->RejectTimerTick();
    QCOMPARE(lastPut(*m_sim), ignore(0x201));
}

void TestCapiMonitor::noDisturbModeTakesAndClears() {
    QVERIFY(m_monitor->setProperty("NoDisturbMode", true));
    activate(5);
    queue(connectInd(0x101));
    QTRY_COMPARE(m_events.size(), 4);
    QCOMPARE(m_putAtCall,
             QStringLiteral("CONNECT_RESP PLCI=0x101 Reject=0x0 BProtocol=(1 1 0 () () ()) "
                            "ConnectedNumber=() ConnectedSubAddress=() LLC=() AdditionalInfo=()"));
    QCOMPARE(m_monitor->LastRejectCause(), quint16(0));
    QVERIFY(!m_monitor->RejectTimerRunning());
    QCOMPARE(m_events.at(2), QStringLiteral("state 0 0"));

    const unsigned before = m_sim->putCount();
    queue(bytes(std::make_unique<TConnectActiveInd>(0x101)));
    queue(bytes(std::make_unique<TConnectB3Ind>(0x10101, empty())));
    settle();
    QCOMPARE(putsFrom(*m_sim, before),
             (QStringList{QStringLiteral("CONNECT_ACTIVE_RESP PLCI=0x101"),
                          QStringLiteral("CONNECT_B3_RESP NCCI=0x10101 Reject=0x2 NCPI=()"),
                          QStringLiteral("DISCONNECT_REQ PLCI=0x101 AdditionalInfo=()")}));
    QCOMPARE(m_events.last(), QStringLiteral("state 0 0"));
    QCOMPARE(int(m_monitor->Capi()->Connections().Items(0)->Initiator), 1);
}

void TestCapiMonitor::secondCallIsAnsweredOnItsOwn() {
    activate();
    queue(connectInd(0x101));
    queue(connectInd(0x201, 0x21, QStringLiteral("40999")));
    QTRY_COMPARE(puts().size(), 3);
    QCOMPARE(puts().mid(1), (QStringList{ignore(0x101), ignore(0x201)}));
    QTRY_VERIFY(m_events.contains(QStringLiteral("call 040999|4711|1|speech")));
}

void TestCapiMonitor::throwingHandlerDoesNotStopTheThread() {
    int calls = 0;
    m_monitor->OnIncomingCall = [&](const QString&, const QString&, quint16, const QString&) {
        if (calls++ == 0) {
            throw std::runtime_error("handler failed");
        }
    };
    activate();
    queue(connectInd(0x101));
    queue(connectInd(0x201));
    QTRY_COMPARE(calls, 2);
    QCOMPARE(puts().mid(1), (QStringList{ignore(0x101), ignore(0x201)}));
    QCOMPARE(TCapiCallBack::RunningCount(), 1);
}

void TestCapiMonitor::destroyWithThreadBlockedInTheDriver() {
    m_sim->setWaitBlocks(1);
    activate();
    QTRY_COMPARE(m_sim->blockedWaits(), 1u);
    QElapsedTimer t;
    t.start();
    m_monitor.reset();
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(m_sim->releaseCount(), 1u);
    QCOMPARE(TCapiCallBack::RunningCount(), 1); // abandoned, still in the driver

    // Once the driver lets go, the abandoned thread ends on its own.
    m_sim->setWaitBlocks(0);
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);
}

void TestCapiMonitor::lostConnectionIsReported() {
    activate();
    m_sim->dropConnection(m_monitor->Capi()->ApplID());
    QTRY_COMPARE(m_monitor->Error(), 0x1108u);
    QCOMPARE(m_monitor->ErrorString(),
             QStringLiteral("OS Resource error (e.g. no memory) ($1108)"));
    QCOMPARE(m_events.last(), QStringLiteral("state 0 0"));
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);
}

QTEST_GUILESS_MAIN(TestCapiMonitor)
#include "tst_capimonitor.moc"
