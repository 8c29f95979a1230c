// TCapi and its message thread against the simulated driver: real thread,
// real hand-over to this (main) thread, which QTRY keeps processing events.

#include "CapiSimFixture.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <stdexcept>

using namespace kalvendo;
using namespace simtest;

namespace {

struct Seen {
    QString message;
    bool withConnection = false;
    quint16 state = 0;
    quint32 error = 0;
};

const QString kSentinel = QStringLiteral("LISTEN_CONF Address=0x7E Info=0x0");

} // namespace

class TestCapiApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void unusableDriver_data();
    void unusableDriver();
    void registrationAndRefusal();
    void indications_data();
    void indications();
    void followUpNeedsAccept_data();
    void followUpNeedsAccept();
    void confirmations_data();
    void confirmations();
    void disconnectByState_data();
    void disconnectByState();
    void refusedPut();
    void twoCallsThenResetNoticeAfterHandOver();
    void throwingHookDoesNotStopTheThread_data();
    void throwingHookDoesNotStopTheThread();
    void releaseWakesAndJoinsTheThread_data();
    void releaseWakesAndJoinsTheThread();
    void destroyedByItsOwnHook();
    void lostConnectionEndsTheThread();

private:
    void start();
    void queue(const QByteArray& message);
    // Waits until everything queued so far has been handled.
    void settle();
    // Entries of `seen` from index `from` on, without the sentinels.
    QList<Seen> seenFrom(qsizetype from) const;

    std::unique_ptr<CapiSimControl> m_sim;
    QByteArray m_simFile;
    std::unique_ptr<TCapi> m_capi;
    QList<Seen> m_seen;
    bool m_accept = true;
    std::function<void(TConnection*, TCapiMessage&)> m_extra;
};

void TestCapiApp::initTestCase() {
    m_simFile = qgetenv("KALVENDO_CAPI_LIBRARY");
    QVERIFY2(!m_simFile.isEmpty(), "KALVENDO_CAPI_LIBRARY must name the simulated driver");
    m_sim = std::make_unique<CapiSimControl>();
    QVERIFY2(m_sim->isValid(), m_simFile.constData());
}

void TestCapiApp::init() {
    m_sim->reset();
    m_sim->setAutoConfirm(0);
    m_seen.clear();
    m_accept = true;
    m_extra = nullptr;
    if (CapiState() != CapiStateInstalled) {
        useLibrary(m_simFile);
    }
}

void TestCapiApp::cleanup() {
    m_capi.reset();
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);
    m_sim->reset();
}

void TestCapiApp::start() {
    m_capi = std::make_unique<TCapi>(1, 2, 128);
    QCOMPARE(m_capi->Error(), 0u);
    QVERIFY(m_capi->Registered());
    m_capi->OnMessage = [this](TConnection* c, TCapiMessage& m, bool& accept) {
        m_seen.append(Seen{m.Describe(), c != nullptr, c ? c->State : quint16(0), m_capi->Error()});
        accept = m_accept;
        if (m_extra) {
            m_extra(c, m);
        }
    };
}

void TestCapiApp::queue(const QByteArray& message) {
    QCOMPARE(m_sim->queue(m_capi->ApplID(), message), 0);
}

void TestCapiApp::settle() {
    const qsizetype before = m_seen.size();
    queue(bytes(std::make_unique<TListenConf>(0x7E, 0)));
    QTRY_VERIFY(m_seen.size() > before && m_seen.last().message == kSentinel);
}

QList<Seen> TestCapiApp::seenFrom(qsizetype from) const {
    QList<Seen> out;
    for (qsizetype i = from; i < m_seen.size(); ++i) {
        if (m_seen[i].message != kSentinel) {
            out.append(m_seen[i]);
        }
    }
    return out;
}

void TestCapiApp::unusableDriver_data() {
    QTest::addColumn<bool>("missingFile");
    QTest::addColumn<uint>("error");
    QTest::newRow("no driver library") << true << 0x9002u;
    QTest::newRow("driver not installed") << false << 0x9003u;
}

void TestCapiApp::unusableDriver() {
    QFETCH(bool, missingFile);
    QFETCH(uint, error);
    QTemporaryDir dir;
    const QByteArray missing = QFile::encodeName(dir.filePath(QStringLiteral("libnothere.so")));
    if (missingFile) {
        useLibrary(missing);
    } else {
        m_sim->setInstalledInfo(0x1009);
        useLibrary(m_simFile);
    }

    auto capi = std::make_unique<TCapi>(1, 2, 128);
    QCOMPARE(capi->Error(), error);
    QCOMPARE(capi->ErrorText(), missingFile
                                    ? QStringLiteral("File \"") + QFile::decodeName(missing) +
                                          QStringLiteral("\" not found.")
                                    : QStringLiteral("CAPI 2.0 (32 Bit) not installed."));
    QVERIFY(!capi->Registered());
    QCOMPARE(TCapiCallBack::RunningCount(), 0);
    capi.reset();
    QCOMPARE(m_sim->putCount(), 0u);
    QCOMPARE(m_sim->releaseCount(), 0u);
    QCOMPARE(m_sim->lastApplId(), 0u);

    m_sim->setInstalledInfo(0);
    useLibrary(m_simFile);
}

void TestCapiApp::registrationAndRefusal() {
    start();
    unsigned params[3] = {};
    QVERIFY(m_sim->registration(m_capi->ApplID(), &params[0], &params[1], &params[2]));
    QCOMPARE(params[0], 1u);
    QCOMPARE(params[1], 2u);
    QCOMPARE(params[2], 128u);
    QCOMPARE(m_capi->ErrorText(), QString());
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 1);
    m_capi.reset();

    m_sim->setRegisterInfo(0x1001);
    TCapi refused(1, 2, 128);
    QCOMPARE(refused.Error(), 0x1001u);
    QCOMPARE(refused.ErrorText(), QStringLiteral("too many applications ($1001)"));
    QVERIFY(!refused.Registered());
    QCOMPARE(TCapiCallBack::RunningCount(), 0);
}

// Every indication row, after a call 0x101 whose B3 connection 0x10101 has
// been offered (state 4).
void TestCapiApp::indications_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("response");
    QTest::addColumn<QString>("notified"); // "connection", "none" (without one), "no"
    QTest::addColumn<int>("stateAfter");   // -1: the connection is gone
    QTest::addColumn<int>("initiatorAfter");

    QTest::newRow("CONNECT_ACTIVE_IND") << bytes(std::make_unique<TConnectActiveInd>(0x101))
                                        << QStringLiteral("CONNECT_ACTIVE_RESP PLCI=0x101")
                                        << QStringLiteral("connection") << 2 << 0;
    QTest::newRow("DISCONNECT_IND")
        << bytes(std::make_unique<TDisconnectInd>(0x101, 0x3490))
        << QStringLiteral("DISCONNECT_RESP PLCI=0x101") << QStringLiteral("connection") << -1 << 0;
    QTest::newRow("DISCONNECT_IND for an unknown PLCI")
        << bytes(std::make_unique<TDisconnectInd>(0x999, 0x3490))
        << QStringLiteral("DISCONNECT_RESP PLCI=0x999") << QStringLiteral("no") << 4 << 0;
    QTest::newRow("INFO_IND") << bytes(std::make_unique<TInfoInd>(0x101, 0x28, empty()))
                              << QStringLiteral("INFO_RESP PLCI=0x101")
                              << QStringLiteral("connection") << 4 << 0;
    QTest::newRow("INFO_IND of the controller")
        << bytes(std::make_unique<TInfoInd>(0x1, 0x28, empty()))
        << QStringLiteral("INFO_RESP PLCI=0x1") << QStringLiteral("none") << 4 << 0;
    QTest::newRow("FACILITY_IND")
        << bytes(std::make_unique<TFacilityInd>(0x101, 1, TStruct::CreateWithContent("\x05")))
        << QStringLiteral(
               "FACILITY_RESP Address=0x101 FacilitySelector=0x1 FacilityResponseParameters=()")
        << QStringLiteral("none") << 4 << 0;
    QTest::newRow("CONNECT_B3_ACTIVE_IND")
        << bytes(std::make_unique<TConnectB3ActiveInd>(0x10101, empty()))
        << QStringLiteral("CONNECT_B3_ACTIVE_RESP NCCI=0x10101") << QStringLiteral("connection")
        << 8 << 0;
    QTest::newRow("CONNECT_B3_ACTIVE_IND for an unknown NCCI")
        << bytes(std::make_unique<TConnectB3ActiveInd>(0x20202, empty()))
        << QStringLiteral("CONNECT_B3_ACTIVE_RESP NCCI=0x20202") << QStringLiteral("none") << 4
        << 0;
    QTest::newRow("DISCONNECT_B3_IND from the remote side")
        << bytes(std::make_unique<TDisconnectB3Ind>(0x10101, 0, empty()))
        << QStringLiteral("DISCONNECT_B3_RESP NCCI=0x10101") << QStringLiteral("connection") << 32
        << 2;
    QTest::newRow("DATA_B3_IND") << bytes(std::make_unique<TDataB3Ind>(0x10101, 0, 0x80, 7, 0))
                                 << QStringLiteral("DATA_B3_RESP NCCI=0x10101 DataHandle=0x7")
                                 << QStringLiteral("connection") << 4 << 0;
    QTest::newRow("RESET_B3_IND") << bytes(std::make_unique<TResetB3Ind>(0x10101, empty()))
                                  << QStringLiteral("RESET_B3_RESP NCCI=0x10101")
                                  << QStringLiteral("connection") << 4 << 0;
    QTest::newRow("CONNECT_B3_T90_ACTIVE_IND")
        << bytes(std::make_unique<TConnectB3T90ActiveInd>(0x10101, empty()))
        << QStringLiteral("CONNECT_B3_T90_ACTIVE_RESP NCCI=0x10101") << QStringLiteral("connection")
        << 4 << 0;
    QTest::newRow("an indication no row names")
        << QByteArray::fromHex("0c000000 4182 0000 01010000") << QString() << QStringLiteral("no")
        << 4 << 0;
}

void TestCapiApp::indications() {
    QFETCH(QByteArray, message);
    QFETCH(QString, response);
    QFETCH(QString, notified);
    QFETCH(int, stateAfter);
    QFETCH(int, initiatorAfter);

    start();
    queue(connectInd(0x101));
    queue(bytes(std::make_unique<TConnectB3Ind>(0x10101, empty())));
    settle();
    QCOMPARE(putsFrom(*m_sim, 0),
             QStringList{QStringLiteral("CONNECT_B3_RESP NCCI=0x10101 Reject=0x0 NCPI=()")});
    const unsigned puts = m_sim->putCount();
    const qsizetype seen = m_seen.size();

    queue(message);
    settle();
    QCOMPARE(putsFrom(*m_sim, puts), response.isEmpty() ? QStringList() : QStringList{response});
    const QList<Seen> hooks = seenFrom(seen);
    if (notified == QStringLiteral("no")) {
        QCOMPARE(hooks.size(), 0);
    } else {
        QCOMPARE(hooks.size(), 1);
        QCOMPARE(hooks[0].withConnection, notified == QStringLiteral("connection"));
    }
    TConnection* c = m_capi->Connections().FindByPLCI(0x101);
    if (stateAfter < 0) {
        QVERIFY(c == nullptr);
        QCOMPARE(m_capi->Connections().Count(), 0);
        QCOMPARE(hooks[0].state, quint16(0)); // cleared before the hook, removed after
    } else {
        QVERIFY(c != nullptr);
        QCOMPARE(int(c->State), stateAfter);
        QCOMPARE(int(c->Initiator), initiatorAfter);
        QCOMPARE(c->NCCI, 0x10101u);
        QCOMPARE(int(c->Controller), 1);
    }
}

void TestCapiApp::followUpNeedsAccept_data() {
    QTest::addColumn<bool>("b3Up");       // B3 connection offered and up first
    QTest::addColumn<bool>("clearFirst"); // Disconnect() before the message
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QStringList>("puts"); // after the message

    const QByteArray b3Ind = bytes(std::make_unique<TConnectB3Ind>(0x10101, empty()));
    const QByteArray data = bytes(std::make_unique<TDataB3Ind>(0x10101, 0, 0x80, 9, 0));
    const QByteArray b3Down = bytes(std::make_unique<TDisconnectB3Ind>(0x10101, 0, empty()));
    const QString b3Resp = QStringLiteral("DISCONNECT_B3_RESP NCCI=0x10101");
    QTest::newRow("CONNECT_B3_IND accepted")
        << false << false << b3Ind << true
        << QStringList{QStringLiteral("CONNECT_B3_RESP NCCI=0x10101 Reject=0x0 NCPI=()")};
    QTest::newRow("CONNECT_B3_IND not accepted")
        << false << false << b3Ind << false << QStringList();
    QTest::newRow("DATA_B3_IND accepted")
        << true << false << data << true
        << QStringList{QStringLiteral("DATA_B3_RESP NCCI=0x10101 DataHandle=0x9")};
    QTest::newRow("DATA_B3_IND not accepted") << true << false << data << false << QStringList();
    QTest::newRow("DISCONNECT_B3_IND after local clearing")
        << true << true << b3Down << true
        << QStringList{b3Resp, QStringLiteral("DISCONNECT_REQ PLCI=0x101 AdditionalInfo=()")};
    QTest::newRow("DISCONNECT_B3_IND after local clearing, not accepted")
        << true << true << b3Down << false << QStringList{b3Resp};
}

void TestCapiApp::followUpNeedsAccept() {
    QFETCH(bool, b3Up);
    QFETCH(bool, clearFirst);
    QFETCH(QByteArray, message);
    QFETCH(bool, accept);
    QFETCH(QStringList, puts);

    start();
    queue(connectInd(0x101));
    if (b3Up) {
        queue(bytes(std::make_unique<TConnectB3Ind>(0x10101, empty())));
        queue(bytes(std::make_unique<TConnectB3ActiveInd>(0x10101, empty())));
    }
    settle();
    if (clearFirst) {
        TConnection* c = m_capi->Connections().FindByPLCI(0x101);
        QVERIFY(m_capi->Disconnect(c));
        QCOMPARE(lastPut(*m_sim), QStringLiteral("DISCONNECT_B3_REQ NCCI=0x10101 NCPI=()"));
        QCOMPARE(int(c->Initiator), 1);
    }
    const unsigned before = m_sim->putCount();
    m_accept = accept;
    queue(message);
    settle();
    QCOMPARE(putsFrom(*m_sim, before), puts);
}

void TestCapiApp::confirmations_data() {
    QTest::addColumn<bool>("b3");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("notified");
    QTest::addColumn<uint>("error"); // Error while the hook runs
    QTest::addColumn<QStringList>("puts");
    QTest::addColumn<int>("stateAfter");

    QTest::newRow("LISTEN_CONF refused") << false << bytes(std::make_unique<TListenConf>(1, 0x2002))
                                         << QStringLiteral("none") << 0x2002u << QStringList() << 1;
    QTest::newRow("LISTEN_CONF with a note is no error")
        << false << bytes(std::make_unique<TListenConf>(1, 0x00FF)) << QStringLiteral("none") << 0u
        << QStringList() << 1;
    QTest::newRow("ALERT_CONF") << false << bytes(std::make_unique<TAlertConf>(0x101, 0))
                                << QStringLiteral("connection") << 0u << QStringList() << 1;
    QTest::newRow("DISCONNECT_CONF failed")
        << false << bytes(std::make_unique<TDisconnectConf>(0x101, 0x2001))
        << QStringLiteral("connection") << 0x2001u << QStringList() << 1;
    QTest::newRow("INFO_CONF of an unknown PLCI")
        << false << bytes(std::make_unique<TInfoConf>(0x999, 0)) << QStringLiteral("none") << 0u
        << QStringList() << 1;
    QTest::newRow("SELECT_B_PROTOCOL_CONF failed")
        << false << bytes(std::make_unique<TSelectBProtocolConf>(0x101, 0x3007))
        << QStringLiteral("connection") << 0x3007u << QStringList() << 1;
    QTest::newRow("FACILITY_CONF failed")
        << false << bytes(std::make_unique<TFacilityConf>(0x101, 0x300B, 3, empty()))
        << QStringLiteral("none") << 0x300Bu << QStringList() << 1;
    QTest::newRow("CONNECT_B3_CONF") << false << bytes(std::make_unique<TConnectB3Conf>(0x10101, 0))
                                     << QStringLiteral("connection") << 0u << QStringList() << 4;
    QTest::newRow("CONNECT_B3_CONF refused clears the call")
        << false << bytes(std::make_unique<TConnectB3Conf>(0x10101, 0x3003))
        << QStringLiteral("connection") << 0x3003u
        << QStringList{QStringLiteral("DISCONNECT_REQ PLCI=0x101 AdditionalInfo=()")} << 1;
    QTest::newRow("DISCONNECT_B3_CONF")
        << true << bytes(std::make_unique<TDisconnectB3Conf>(0x10101, 0))
        << QStringLiteral("connection") << 0u << QStringList() << 16;
    QTest::newRow("DATA_B3_CONF: Info after the data handle")
        << true << bytes(std::make_unique<TDataB3Conf>(0x10101, 7, 0x300C))
        << QStringLiteral("connection") << 0x300Cu << QStringList() << 4;
    QTest::newRow("RESET_B3_CONF") << true << bytes(std::make_unique<TResetB3Conf>(0x10101, 0))
                                   << QStringLiteral("connection") << 0u << QStringList() << 4;
    QTest::newRow("CONNECT_CONF is not handled")
        << false << bytes(std::make_unique<TConnectConf>(0x101, 0)) << QStringLiteral("no") << 0u
        << QStringList() << 1;
}

void TestCapiApp::confirmations() {
    QFETCH(bool, b3);
    QFETCH(QByteArray, message);
    QFETCH(QString, notified);
    QFETCH(uint, error);
    QFETCH(QStringList, puts);
    QFETCH(int, stateAfter);

    start();
    queue(connectInd(0x101));
    if (b3) {
        queue(bytes(std::make_unique<TConnectB3Ind>(0x10101, empty())));
    }
    settle();
    const unsigned before = m_sim->putCount();
    const qsizetype seen = m_seen.size();
    queue(message);
    settle();

    const QList<Seen> hooks = seenFrom(seen);
    if (notified == QStringLiteral("no")) {
        QCOMPARE(hooks.size(), 0);
    } else {
        QCOMPARE(hooks.size(), 1);
        QCOMPARE(hooks[0].withConnection, notified == QStringLiteral("connection"));
        QCOMPARE(hooks[0].error, quint32(error));
    }
    QCOMPARE(putsFrom(*m_sim, before), puts);
    TConnection* c = m_capi->Connections().FindByPLCI(0x101);
    QVERIFY(c != nullptr);
    QCOMPARE(int(c->State), stateAfter);
    if (stateAfter == 4) {
        QCOMPARE(c->NCCI, 0x10101u);
    }
}

void TestCapiApp::disconnectByState_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("put");
    const QString req = QStringLiteral("DISCONNECT_REQ PLCI=0x101 AdditionalInfo=()");
    QTest::newRow("0 cleared") << 0 << QString();
    QTest::newRow("1 offered") << 1 << req;
    QTest::newRow("2 connected") << 2 << req;
    QTest::newRow("4 B3 offered") << 4 << req;
    QTest::newRow("8 B3 up") << 8 << QStringLiteral("DISCONNECT_B3_REQ NCCI=0x10101 NCPI=()");
    QTest::newRow("16 B3 clearing") << 16 << req;
    QTest::newRow("32 B3 cleared") << 32 << req;
}

void TestCapiApp::disconnectByState() {
    QFETCH(int, state);
    QFETCH(QString, put);
    start();
    TConnection* c = m_capi->Connections().Add(0x101);
    c->NCCI = 0x10101;
    c->State = quint16(state);
    QVERIFY(m_capi->Disconnect(c));
    QCOMPARE(int(c->Initiator), 1);
    QCOMPARE(putsFrom(*m_sim, 0), put.isEmpty() ? QStringList() : QStringList{put});

    TConnection stranger;
    QVERIFY(!m_capi->Disconnect(&stranger));
    QCOMPARE(int(stranger.Initiator), 0);
}

void TestCapiApp::refusedPut() {
    start();
    TConnection* c = m_capi->Connections().Add(0x101);
    c->State = TConnection::StateOffered;
    m_sim->setPutInfo(0x1103);
    QVERIFY(!m_capi->PutMessage(std::make_unique<TDisconnectResp>(0x101)));
    QCOMPARE(m_capi->Error(), 0x1103u);
    QCOMPARE(m_capi->ErrorText(),
             QStringLiteral(
                 "the message could not be accepted because of a queue full condition. ($1103)"));
    QVERIFY(!m_capi->Disconnect(c));
    m_sim->setPutInfo(0);
    QVERIFY(m_capi->PutMessage(std::make_unique<TDisconnectResp>(0x101)));
    QCOMPARE(m_capi->Error(), 0u);
    const QByteArray sent = m_sim->put(2);
    QCOMPARE(unsigned(quint8(sent[2]) | quint8(sent[3]) << 8), m_capi->ApplID());
}

void TestCapiApp::twoCallsThenResetNoticeAfterHandOver() {
    start();
    QList<bool> resetSeenInHandOver;
    int listedAtReset = -1;
    m_capi->OnReset = [&](TCapi& capi) {
        resetSeenInHandOver.append(capi.InHandOver());
        listedAtReset = capi.Connections().Count();
        // Allowed here: the notice comes outside message handling.
        m_capi.reset();
    };
    QList<quint32> listedAtSecondCall;
    m_extra = [&](TConnection*, TCapiMessage& m) {
        if (auto* ind = dynamic_cast<TConnectInd*>(&m); ind && ind->PLCI == 0x201) {
            for (int i = 0; i < m_capi->Connections().Count(); ++i) {
                listedAtSecondCall << m_capi->Connections().Items(i)->PLCI;
            }
        }
    };
    queue(connectInd(0x101));
    queue(connectInd(0x201));
    queue(bytes(std::make_unique<TDisconnectInd>(0x101, 0x3490)));
    settle();
    QCOMPARE(listedAtSecondCall, (QList<quint32>{0x101, 0x201}));
    QCOMPARE(m_capi->Connections().Count(), 1);
    QCOMPARE(m_capi->Connections().Items(0)->PLCI, 0x201u);
    QVERIFY(resetSeenInHandOver.isEmpty());

    queue(bytes(std::make_unique<TDisconnectInd>(0x201, 0x3490)));
    QTRY_COMPARE(resetSeenInHandOver.size(), 1);
    QCOMPARE(resetSeenInHandOver[0], false);
    QCOMPARE(listedAtReset, 0);
    QVERIFY(!m_capi);
    QCOMPARE(m_sim->releaseCount(), 1u);
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);
    QCOMPARE(putsFrom(*m_sim, 0).first(), QStringLiteral("DISCONNECT_RESP PLCI=0x101"));
}

void TestCapiApp::throwingHookDoesNotStopTheThread_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("answered"); // put before the exception, kept
    QTest::newRow("on CONNECT_IND") << connectInd(0x301) << QString();
    QTest::newRow("on CONNECT_ACTIVE_IND") << bytes(std::make_unique<TConnectActiveInd>(0x101))
                                           << QStringLiteral("CONNECT_ACTIVE_RESP PLCI=0x101");
    QTest::newRow("on a confirmation")
        << bytes(std::make_unique<TAlertConf>(0x101, 0)) << QString();
}

void TestCapiApp::throwingHookDoesNotStopTheThread() {
    QFETCH(QByteArray, message);
    QFETCH(QString, answered);
    start();
    queue(connectInd(0x101));
    settle();
    int thrown = 0;
    m_extra = [&](TConnection*, TCapiMessage& m) {
        if (m.Describe() != kSentinel && thrown++ == 0) {
            throw std::runtime_error("hook failed");
        }
    };
    queue(message);
    queue(bytes(std::make_unique<TDisconnectInd>(0x101, 0x3490)));
    settle();
    QCOMPARE(thrown, 2);
    QStringList expected;
    if (!answered.isEmpty()) {
        expected << answered;
    }
    expected << QStringLiteral("DISCONNECT_RESP PLCI=0x101");
    QCOMPARE(putsFrom(*m_sim, 0), expected);
    QVERIFY(m_capi->Connections().FindByPLCI(0x101) == nullptr);
    QCOMPARE(TCapiCallBack::RunningCount(), 1);
}

void TestCapiApp::releaseWakesAndJoinsTheThread_data() {
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("LISTEN_CONF wakes it") << true;
    QTest::newRow("no LISTEN_CONF: the wait slices end it") << false;
}

void TestCapiApp::releaseWakesAndJoinsTheThread() {
    QFETCH(bool, confirmed);
    m_sim->setAutoConfirm(confirmed ? 1 : 0);
    start();
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 1);
    m_capi.reset();
    // Joined, not abandoned: nothing is left running.
    QCOMPARE(TCapiCallBack::RunningCount(), 0);
    QCOMPARE(putsFrom(*m_sim, 0),
             QStringList{QStringLiteral("LISTEN_REQ Controller=0x1 InfoMask=0x7F CIPMask=0x2 "
                                        "CIPMask2=0x0 CallingPartyNumber=() "
                                        "CallingPartySubAddress=()")});
    QCOMPARE(m_sim->releaseCount(), 1u);
}

void TestCapiApp::destroyedByItsOwnHook() {
    start();
    m_extra = [&](TConnection*, TCapiMessage& m) {
        if (dynamic_cast<TConnectInd*>(&m) != nullptr) {
            m_capi.reset();
        }
    };
    queue(connectInd(0x101));
    QTRY_VERIFY(!m_capi);
    QCOMPARE(m_sim->releaseCount(), 1u);
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);
}

void TestCapiApp::lostConnectionEndsTheThread() {
    start();
    int lost = 0;
    m_capi->OnConnectionLost = [&](TCapi& capi) {
        ++lost;
        QCOMPARE(capi.Error(), 0x1108u);
    };
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 1);
    m_sim->dropConnection(m_capi->ApplID());
    QTRY_COMPARE(lost, 1);
    QCOMPARE(m_capi->Error(), 0x1108u);
    QCOMPARE(m_capi->ErrorText(), QStringLiteral("OS Resource error (e.g. no memory) ($1108)"));
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);
}

QTEST_GUILESS_MAIN(TestCapiApp)
#include "tst_capiapp.moc"
