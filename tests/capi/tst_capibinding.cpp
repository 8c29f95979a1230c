// The driver binding and TCapiInfo against the simulated driver (and against
// a missing file and an incomplete library). One binding per process: each
// test sets the library it needs and reloads.

#include "CapiSimControl.h"

#include "capi/CapiBinding.h"
#include "capi/CapiInfo.h"
#include "capi/CapiMessage.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <atomic>
#include <thread>

using namespace kalvendo;

namespace {

QByteArray simFile() {
    return qgetenv("KALVENDO_CAPI_LIBRARY");
}

void useLibrary(const QByteArray& file) {
    UnloadCapi();
    qputenv("KALVENDO_CAPI_LIBRARY", file);
    LoadCapi();
}

QByteArray withApplId(std::unique_ptr<TCapiMessage> m, unsigned applId) {
    m->Header().ApplID = quint16(applId);
    return m->EncodedBytes();
}

unsigned put(unsigned applId, const QByteArray& bytes) {
    return CapiPutMessage(applId, bytes.constData(), size_t(bytes.size()));
}

QString diagnostics() {
    QString text;
    QTextStream out(&text);
    const int status = printCapiDiagnostics(out);
    return status == 0 ? text : QStringLiteral("status %1").arg(status);
}

} // namespace

class TestCapiBinding : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startsNotLoaded();
    void stateTexts_data();
    void stateTexts();
    void infoTexts_data();
    void infoTexts();
    void cipNames_data();
    void cipNames();
    void messageBufferSize();
    void missingLibraryFile();
    void libraryWithoutAllEntryPoints();
    void driverNotInstalledThenRetried();
    void installedDriver();
    void versionText_data();
    void versionText();
    void registerPutFetchRelease();
    void registrationRefused();
    void putChecksTheMessage();
    void fetchTimesOutAndCancels();
    void fetchWakesForAMessageFromAnotherThread();
    void lostConnectionIsReportedNotSpun();
    void unloadReturnsToNotLoaded();

private:
    std::unique_ptr<CapiSimControl> m_sim;
    QByteArray m_simFile;
};

void TestCapiBinding::initTestCase() {
    m_simFile = simFile();
    QVERIFY2(!m_simFile.isEmpty(), "KALVENDO_CAPI_LIBRARY must name the simulated driver");
    m_sim = std::make_unique<CapiSimControl>();
    QVERIFY2(m_sim->isValid(), m_simFile.constData());
}

void TestCapiBinding::init() {
    m_sim->reset();
}

void TestCapiBinding::cleanup() {
    qputenv("KALVENDO_CAPI_LIBRARY", m_simFile);
}

void TestCapiBinding::startsNotLoaded() {
    QCOMPARE(CapiState(), CapiStateNotLoaded);
    QCOMPARE(CapiStateText(1), QFile::decodeName(m_simFile) + QStringLiteral(" not loaded."));
    unsigned id = 77;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0x9001u);
    QCOMPARE(m_sim->lastApplId(), 0u); // never reached the driver

    qunsetenv("KALVENDO_CAPI_LIBRARY");
    QCOMPARE(CapiLibraryFile(), QStringLiteral("libcapi20.so.3"));
}

void TestCapiBinding::stateTexts_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << QStringLiteral("CAPI 2.0 (32 Bit) installed");
    QTest::newRow("3") << 3 << QStringLiteral("CAPI 2.0 (32 Bit) not installed.");
    QTest::newRow("4") << 4 << QString();
    QTest::newRow("-1") << -1 << QString();
}

void TestCapiBinding::stateTexts() {
    QFETCH(int, state);
    QFETCH(QString, text);
    QCOMPARE(CapiStateText(state), text);
}

void TestCapiBinding::infoTexts_data() {
    QTest::addColumn<uint>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0u << QStringLiteral("OK");
    QTest::newRow("0x3490") << 0x3490u << QStringLiteral("Normal call clearing ($3490)");
    QTest::newRow("0x1006 has no text") << 0x1006u << QStringLiteral("unknown error ($1006)");
    QTest::newRow("0x1107 shares 0x1007's")
        << 0x1107u
        << QStringLiteral("the message could not be accepted because of an internal busy "
                          "condition ($1107)");
    QTest::newRow("0x100A upper-case digits")
        << 0x100Au << QStringLiteral("Controller does not support external equipment ($100A)");
    QTest::newRow("0x34FF last") << 0x34FFu << QStringLiteral("Interworking, unspecified ($34FF)");
    QTest::newRow("0x1001 first") << 0x1001u << QStringLiteral("too many applications ($1001)");
    QTest::newRow("small code padded") << 0x12u << QStringLiteral("unknown error ($0012)");
    QTest::newRow("binding state code") << 0x9002u << QStringLiteral("unknown error ($9002)");
}

void TestCapiBinding::infoTexts() {
    QFETCH(uint, code);
    QFETCH(QString, text);
    QCOMPARE(CapiInfoText(code), text);
}

void TestCapiBinding::cipNames_data() {
    QTest::addColumn<int>("cip");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << QStringLiteral("no predefined profile");
    QTest::newRow("1") << 1 << QStringLiteral("speech");
    QTest::newRow("9") << 9
                       << QStringLiteral(
                              "unrestricted digital information with tones/announcements");
    QTest::newRow("10") << 10 << QString();
    QTest::newRow("15") << 15 << QString();
    QTest::newRow("16") << 16 << QStringLiteral("telephony");
    QTest::newRow("28") << 28 << QStringLiteral("Video Telephony F.721, second connection");
    QTest::newRow("29") << 29 << QString();
    QTest::newRow("-1") << -1 << QString();
}

void TestCapiBinding::cipNames() {
    QFETCH(int, cip);
    QFETCH(QString, name);
    QCOMPARE(CipValueName(cip), name);
}

void TestCapiBinding::messageBufferSize() {
    QCOMPARE(CapiMessageBufferSize(1), 2048u);
    QCOMPARE(CapiMessageBufferSize(0), 1024u);
    QCOMPARE(CapiMessageBufferSize(30), 31744u);
}

void TestCapiBinding::missingLibraryFile() {
    QTemporaryDir dir;
    const QByteArray missing = QFile::encodeName(dir.filePath(QStringLiteral("libnothere.so")));
    useLibrary(missing);
    QCOMPARE(CapiState(), CapiStateFileNotFound);
    const QString text =
        QStringLiteral("File \"") + QFile::decodeName(missing) + QStringLiteral("\" not found.");
    QCOMPARE(CapiStateText(2), text);

    TCapiInfo info;
    QCOMPARE(info.Error, 2u);
    QCOMPARE(info.ErrorString, text);
    QCOMPARE(info.VersionText(), QString());
    QCOMPARE(info.Error, 2u);
    QCOMPARE(diagnostics(), text + QLatin1Char('\n'));

    unsigned id = 0;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0x9002u);
    QCOMPARE(CapiRelease(1), 0x9002u);
    QCOMPARE(CapiWaitForMessage(1, 0), 0x9002u);
    QByteArray msg;
    QCOMPARE(CapiFetchMessage(1, 0, &msg), 0x9002u);
    quint32 v[4];
    QCOMPARE(CapiGetVersion(v), 0x9002u);

    // Nothing is held, so unloading leaves the state; loading tries again.
    UnloadCapi();
    QCOMPARE(CapiState(), CapiStateFileNotFound);
    qputenv("KALVENDO_CAPI_LIBRARY", m_simFile);
    LoadCapi();
    QCOMPARE(CapiState(), CapiStateInstalled);
}

void TestCapiBinding::libraryWithoutAllEntryPoints() {
    const QByteArray incomplete = qgetenv("KALVENDO_CAPISIM_INCOMPLETE");
    QVERIFY(!incomplete.isEmpty());
    useLibrary(incomplete);
    QCOMPARE(CapiState(), CapiStateNotInstalled);
    QCOMPARE(TCapiInfo().ErrorString, QStringLiteral("CAPI 2.0 (32 Bit) not installed."));
    unsigned id = 0;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0x9003u);
    QCOMPARE(CapiPutMessage(1, "0123456789ab", 12), 0x9003u);
    // The library was held: unloading goes back to state 1.
    UnloadCapi();
    QCOMPARE(CapiState(), CapiStateNotLoaded);
}

void TestCapiBinding::driverNotInstalledThenRetried() {
    m_sim->setInstalledInfo(0x1009);
    useLibrary(m_simFile);
    QCOMPARE(CapiState(), CapiStateNotInstalled);
    {
        TCapiInfo info;
        QCOMPARE(info.Error, 3u);
        QCOMPARE(info.ErrorString, QStringLiteral("CAPI 2.0 (32 Bit) not installed."));
    }
    QCOMPARE(diagnostics(), QStringLiteral("CAPI 2.0 (32 Bit) not installed.\n"));
    unsigned id = 0;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0x9003u);

    // A later load in state 3 tries again.
    m_sim->setInstalledInfo(0);
    LoadCapi();
    QCOMPARE(CapiState(), CapiStateInstalled);
}

void TestCapiBinding::installedDriver() {
    useLibrary(m_simFile);
    QCOMPARE(CapiState(), CapiStateInstalled);
    TCapiInfo info;
    QCOMPARE(info.Error, 0u);
    QCOMPARE(info.ErrorString, QString());
    QCOMPARE(info.VersionText(), QStringLiteral("CAPI: 2.0  Version: 0.5"));
    QCOMPARE(info.Error, 0u);
    QCOMPARE(diagnostics(),
             QStringLiteral("CAPI 2.0 (32 Bit) installed\nCAPI: 2.0  Version: 0.5\n"));
}

void TestCapiBinding::versionText_data() {
    QTest::addColumn<uint>("capiMajor");
    QTest::addColumn<uint>("capiMinor");
    QTest::addColumn<uint>("manufacturerMajor");
    QTest::addColumn<uint>("manufacturerMinor");
    QTest::addColumn<QString>("text");
    QTest::newRow("clean") << 2u << 0u << 3u << 11u << QStringLiteral("CAPI: 2.0  Version: 3.11");
    QTest::newRow("garbage above the low 16 bits")
        << 0xABCD0002u << 0x12340000u << 0xFFFF0001u << 0x00070002u
        << QStringLiteral("CAPI: 2.0  Version: 1.2");
    QTest::newRow("reduced only when the major value needs it")
        << 2u << 0x10000u << 0u << 5u << QStringLiteral("CAPI: 2.65536  Version: 0.5");
}

void TestCapiBinding::versionText() {
    QFETCH(uint, capiMajor);
    QFETCH(uint, capiMinor);
    QFETCH(uint, manufacturerMajor);
    QFETCH(uint, manufacturerMinor);
    QFETCH(QString, text);
    useLibrary(m_simFile);
    m_sim->setVersion(capiMajor, capiMinor, manufacturerMajor, manufacturerMinor);
    TCapiInfo info;
    QCOMPARE(info.VersionText(), text);
    QCOMPARE(info.Error, 0u);
}

void TestCapiBinding::registerPutFetchRelease() {
    useLibrary(m_simFile);
    unsigned id = 0;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0u);
    QVERIFY(id != 0);
    unsigned logical = 0, blocks = 0, length = 0;
    QVERIFY(m_sim->registration(id, &logical, &blocks, &length));
    QCOMPARE(logical, 1u);
    QCOMPARE(blocks, 2u);
    QCOMPARE(length, 128u);

    const QByteArray listen = withApplId(
        std::make_unique<TListenReq>(1, 0x7F, 0x1FFF03FE, 0,
                                     std::make_unique<TCallingPartyNumber>(0, 0x80, QString()),
                                     std::make_unique<TCallingPartySubAddress>(0x80, QString())),
        id);
    QCOMPARE(put(id, listen), 0u);
    QCOMPARE(m_sim->putCount(), 1u);
    QCOMPARE(m_sim->put(0), listen);

    // The simulated controller confirms the request.
    QByteArray message;
    QCOMPARE(CapiFetchMessage(id, 5000, &message), 0u);
    auto conf = DecodeCapiMessage(message);
    auto* listenConf = dynamic_cast<TListenConf*>(conf.get());
    QVERIFY(listenConf != nullptr);
    QCOMPARE(listenConf->Address, 1u);
    QCOMPARE(listenConf->Info, quint16(0));
    QCOMPARE(unsigned(listenConf->Header().ApplID), id);

    QVERIFY(m_sim->queue(id, TConnectInd(0x101, 1,
                                         std::make_unique<TCallingPartySubAddress>(
                                             0x81, QStringLiteral("4711")),
                                         std::make_unique<TCallingPartyNumber>(
                                             0x21, 0x80, QStringLiteral("301234567")))
                                 .EncodedBytes()) == 0);
    // Waiting alone leaves the message queued; the fetch takes it.
    QCOMPARE(CapiWaitForMessage(id, 5000), 0u);
    QCOMPARE(CapiFetchMessage(id, 5000, &message), 0u);
    auto ind = DecodeCapiMessage(message);
    auto* connect = dynamic_cast<TConnectInd*>(ind.get());
    QVERIFY(connect != nullptr);
    QCOMPARE(connect->CallingPartyNumber->Digits, QStringLiteral("301234567"));
    QCOMPARE(connect->CalledPartyNumber->Digits, QStringLiteral("4711"));

    QCOMPARE(CapiRelease(id), 0u);
    QCOMPARE(m_sim->releaseCount(), 1u);
    QVERIFY(!m_sim->registration(id, nullptr, nullptr, nullptr));
    QCOMPARE(CapiFetchMessage(id, 0, &message), 0x1101u);
    QCOMPARE(CapiRelease(id), 0x1101u);
}

void TestCapiBinding::registrationRefused() {
    useLibrary(m_simFile);
    m_sim->setRegisterInfo(0x1005);
    unsigned id = 99;
    QCOMPARE(CapiRegister(40, 2, 128, &id), 0x1005u);
    QCOMPARE(id, 0u);
}

void TestCapiBinding::putChecksTheMessage() {
    useLibrary(m_simFile);
    unsigned id = 0;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0u);
    const QByteArray resp = withApplId(std::make_unique<TDisconnectResp>(0x101), id);
    QCOMPARE(CapiPutMessage(id, resp.constData(), 11), 0x1102u);
    QCOMPARE(CapiPutMessage(id, nullptr, 12), 0x1102u);
    QCOMPARE(CapiPutMessage(id, resp.constData(), 0x10000), 0x1102u);
    QCOMPARE(m_sim->putCount(), 0u);

    // A message cut to its header by the codec (too large) is refused too.
    TAlertReq tooLarge(0x101, TStruct::CreateWithContent(QByteArray(65530, 'x')));
    QCOMPARE(CapiPutMessage(id, tooLarge.Encode(), tooLarge.Size()), 0x1102u);

    m_sim->setPutInfo(0x1103);
    QCOMPARE(put(id, resp), 0x1103u);
    QCOMPARE(m_sim->put(0), resp);
    QCOMPARE(put(id + 100, resp), 0x1101u);
    QCOMPARE(CapiRelease(id), 0u);
}

void TestCapiBinding::fetchTimesOutAndCancels() {
    useLibrary(m_simFile);
    unsigned id = 0;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0u);
    QByteArray message("untouched");
    QCOMPARE(CapiWaitForMessage(id, 0), 0x1104u);
    QCOMPARE(CapiFetchMessage(id, 0, &message), 0x1104u);
    QCOMPARE(CapiFetchMessage(id, 250, &message), 0x1104u);
    QCOMPARE(message, QByteArray("untouched"));

    // Without a time limit, only cancel ends the wait; set from another thread
    // at any moment, it is seen.
    std::atomic<bool> cancel{false};
    std::atomic<unsigned> result{0};
    std::thread waiter([&] { result = CapiFetchMessage(id, -1, &message, &cancel); });
    cancel = true;
    waiter.join();
    QCOMPARE(result.load(), 0x1104u);
    QCOMPARE(CapiRelease(id), 0u);
}

void TestCapiBinding::fetchWakesForAMessageFromAnotherThread() {
    useLibrary(m_simFile);
    unsigned id = 0;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0u);
    QByteArray message;
    std::atomic<unsigned> result{0xFFFF};
    std::thread waiter([&] { result = CapiFetchMessage(id, 60000, &message); });
    QCOMPARE(m_sim->queue(id, TDisconnectInd(0x101, 0x3490).EncodedBytes()), 0);
    waiter.join();
    QCOMPARE(result.load(), 0u);
    QCOMPARE(DecodeCapiMessage(message)->Describe(),
             QStringLiteral("DISCONNECT_IND PLCI=0x101 Reason=0x3490"));
    QCOMPARE(CapiRelease(id), 0u);
}

void TestCapiBinding::lostConnectionIsReportedNotSpun() {
    useLibrary(m_simFile);
    unsigned id = 0;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0u);
    m_sim->dropConnection(id);
    // The wait keeps signalling and the fetch keeps finding nothing; a time-out
    // would give 0x1104 only after the full minute.
    QByteArray message;
    QCOMPARE(CapiFetchMessage(id, 60000, &message), 0x1108u);
    QCOMPARE(put(id, withApplId(std::make_unique<TDisconnectResp>(0x101), id)), 0x1108u);
    QCOMPARE(CapiRelease(id), 0u);
}

void TestCapiBinding::unloadReturnsToNotLoaded() {
    useLibrary(m_simFile);
    QCOMPARE(CapiState(), CapiStateInstalled);
    UnloadCapi();
    QCOMPARE(CapiState(), CapiStateNotLoaded);
    unsigned id = 0;
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0x9001u);
    LoadCapi();
    QCOMPARE(CapiState(), CapiStateInstalled);
    QCOMPARE(CapiRegister(1, 2, 128, &id), 0u);
    QCOMPARE(CapiRelease(id), 0u);
}

QTEST_GUILESS_MAIN(TestCapiBinding)
#include "tst_capibinding.moc"
