// The binding against the real libcapi20.so.3, pointed at our fake remote
// CAPI server on 127.0.0.1 through a temporary HOME/.capi20rc.

#include "testsupport/FakeRemoteCapi.h"

#include "capi/CapiBinding.h"
#include "capi/CapiInfo.h"
#include "capi/CapiMessage.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;

namespace {

unsigned put(unsigned applId, std::unique_ptr<TCapiMessage> m) {
    m->Header().ApplID = quint16(applId);
    return CapiPutMessage(applId, m->Encode(), m->Size());
}

std::unique_ptr<TCapiMessage> fetch(unsigned applId) {
    QByteArray message;
    const unsigned info = CapiFetchMessage(applId, 10000, &message);
    return info == 0 ? DecodeCapiMessage(message) : nullptr;
}

std::unique_ptr<TListenReq> monitorListen(quint32 controller) {
    return std::make_unique<TListenReq>(controller, 0x7F, 0x1FFF03FE, 0,
                                        std::make_unique<TCallingPartyNumber>(0, 0x80, QString()),
                                        std::make_unique<TCallingPartySubAddress>(0x80, QString()));
}

} // namespace

class TestCapiRemote : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void reachesStateZeroAndReadsTheVersion();
    void registersAndReleases();
    void incomingCallIsIgnored();
    void lostServerIsReportedAndDoesNotKill();
    void refusedRegistration();
    void unusableSharedMemoryIsReportedNotFatal();

private:
    QTemporaryDir m_home;
    FakeRemoteCapi m_server;
    unsigned m_applId = 0;
};

void TestCapiRemote::initTestCase() {
    KALVENDO_START_FAKE_REMOTE_CAPI(m_server, m_home);
}

void TestCapiRemote::cleanup() {
    if (m_applId != 0) {
        CapiRelease(m_applId);
        m_applId = 0;
    }
    m_server.setRegisterInfo(0);
}

void TestCapiRemote::reachesStateZeroAndReadsTheVersion() {
    QCOMPARE(CapiState(), CapiStateInstalled);
    TCapiInfo info;
    QCOMPARE(info.Error, 0u);
    QCOMPARE(info.VersionText(), QStringLiteral("CAPI: 2.0  Version: 0.5"));
    QCOMPARE(info.Error, 0u);
}

void TestCapiRemote::registersAndReleases() {
    QCOMPARE(CapiRegister(1, 2, 128, &m_applId), 0u);
    QCOMPARE(m_applId, unsigned(m_server.applId()));
    unsigned params[3] = {};
    QVERIFY(m_server.waitForRegistration(10000, params));
    QCOMPARE(params[0], 1u);
    QCOMPARE(params[1], 2u);
    QCOMPARE(params[2], 128u);

    QCOMPARE(CapiRelease(m_applId), 0u);
    m_applId = 0;
    QVERIFY(m_server.waitForRelease(10000));
}

void TestCapiRemote::incomingCallIsIgnored() {
    QCOMPARE(CapiRegister(1, 2, 128, &m_applId), 0u);

    auto listen = monitorListen(1);
    listen->Header().ApplID = quint16(m_applId);
    const QByteArray listenBytes = listen->EncodedBytes();
    QCOMPARE(put(m_applId, std::move(listen)), 0u);
    QCOMPARE(m_server.waitForMessage(0x0580, 10000), listenBytes);
    auto conf = fetch(m_applId);
    QVERIFY(conf);
    QCOMPARE(conf->Describe(), QStringLiteral("LISTEN_CONF Address=0x1 Info=0x0"));

    // A controller the server does not have is refused.
    QCOMPARE(put(m_applId, monitorListen(2)), 0u);
    conf = fetch(m_applId);
    QVERIFY(conf);
    QCOMPARE(conf->Describe(), QStringLiteral("LISTEN_CONF Address=0x2 Info=0x2002"));

    QVERIFY(m_server.offerCall(0x101, 1, QByteArray::fromHex("8134373131"),
                               QByteArray::fromHex("2180333031323334353637")));
    auto ind = fetch(m_applId);
    auto* connect = dynamic_cast<TConnectInd*>(ind.get());
    QVERIFY(connect != nullptr);
    QCOMPARE(unsigned(connect->Header().ApplID), m_applId);
    QCOMPARE(connect->PLCI, 0x101u);
    QCOMPARE(connect->CIPValue, quint16(1));
    QCOMPARE(connect->CalledPartyNumber->Digits, QStringLiteral("4711"));
    QCOMPARE(int(connect->CallingPartyNumber->TypeOfNumber), 0x21);
    QCOMPARE(connect->CallingPartyNumber->Digits, QStringLiteral("301234567"));

    QCOMPARE(put(m_applId,
                 std::make_unique<TConnectResp>(0x101, 1, std::make_unique<TBProtocol>(),
                                                std::make_unique<TCallingPartyNumber>(),
                                                std::make_unique<TCallingPartySubAddress>(),
                                                TStruct::CreateEmpty(), TStruct::CreateEmpty())),
             0u);
    QCOMPARE(m_server.waitForMessage(0x0283, 10000).size(), 19);
    auto disconnect = fetch(m_applId);
    QVERIFY(disconnect);
    QCOMPARE(disconnect->Describe(), QStringLiteral("DISCONNECT_IND PLCI=0x101 Reason=0x3490"));
    TDisconnectResp expected(0x101);
    expected.Header().ApplID = quint16(m_applId);
    QCOMPARE(put(m_applId, std::make_unique<TDisconnectResp>(0x101)), 0u);
    QCOMPARE(m_server.waitForMessage(0x0483, 10000), expected.EncodedBytes());
}

void TestCapiRemote::lostServerIsReportedAndDoesNotKill() {
    QCOMPARE(CapiRegister(1, 2, 128, &m_applId), 0u);
    QVERIFY(m_server.waitForRegistration(10000));
    m_server.dropApplication();
    // A minute's time-out: only the loss detection returns 0x1108 early.
    QByteArray message;
    QCOMPARE(CapiFetchMessage(m_applId, 60000, &message), 0x1108u);

    // Writing to the dead socket raises SIGPIPE in the library; we survive it
    // and see the error.
    unsigned info = 0;
    for (int i = 0; i < 5 && info == 0; ++i) {
        info = put(m_applId, std::make_unique<TDisconnectResp>(0x101));
    }
    QCOMPARE(info, 0x1108u);
}

void TestCapiRemote::refusedRegistration() {
    m_server.setRegisterInfo(0x1001);
    unsigned id = 5;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0x1008u);
    QCOMPARE(id, 0u);
}

void TestCapiRemote::unusableSharedMemoryIsReportedNotFatal() {
    // The library ends the process when it cannot create its shared memory; a
    // read-only /dev/shm in a private mount namespace shows that we never let
    // it get that far.
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    const QByteArray probe = qgetenv("KALVENDO_CAPI_PROBE");
    if (unshare.isEmpty() || probe.isEmpty()) {
        QSKIP("needs unshare(1) and the probe program");
    }
    const QString readOnlyShm =
        QStringLiteral("mount -t tmpfs -o ro tmpfs /dev/shm && exec \"$0\"");
    QProcess check;
    check.start(unshare,
                {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                 QStringLiteral("sh"), QStringLiteral("-c"), readOnlyShm, QStringLiteral("true")});
    if (!check.waitForFinished(30000) || check.exitStatus() != QProcess::NormalExit ||
        check.exitCode() != 0) {
        QSKIP("not allowed to mount in a private namespace here");
    }

    QProcess p;
    p.start(unshare,
            {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
             QStringLiteral("sh"), QStringLiteral("-c"), readOnlyShm, QFile::decodeName(probe)});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
             QStringLiteral("CAPI 2.0 (32 Bit) not installed.\n"));
}

QTEST_GUILESS_MAIN(TestCapiRemote)
#include "tst_capiremote.moc"
