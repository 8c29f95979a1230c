#include "output/mobile/RapiConnection.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>

using namespace kalvendo;

namespace {

constexpr std::int32_t kOk = 0;
constexpr std::int32_t kFail = std::int32_t(0x80004005); // E_FAIL

// The control functions of the fake library that the connection loads.
struct Fake {
    QLibrary lib{qEnvironmentVariable("KALVENDO_RAPIFAKE")};
    void set(std::int32_t result, std::int32_t reported, int delayMs) {
        reinterpret_cast<void (*)(std::int32_t, std::int32_t, int)>(lib.resolve("rapifake_set"))(
            result, reported, delayMs);
    }
    int inits() { return reinterpret_cast<int (*)()>(lib.resolve("rapifake_inits"))(); }
    int uninits() { return reinterpret_cast<int (*)()>(lib.resolve("rapifake_uninits"))(); }
};

} // namespace

class TestRapiConnection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { qputenv("KALVENDO_RAPI_LIBRARY", qgetenv("KALVENDO_RAPIFAKE")); }

    void libraryFile() {
        QCOMPARE(rapiLibraryFile(), qEnvironmentVariable("KALVENDO_RAPIFAKE"));
        qunsetenv("KALVENDO_RAPI_LIBRARY");
        QCOMPARE(rapiLibraryFile(), QStringLiteral("librapi.so.2"));
    }

    void missingLibrary() {
        QTemporaryDir dir;
        qputenv("KALVENDO_RAPI_LIBRARY",
                QFile::encodeName(dir.filePath(QStringLiteral("librapi.so.2"))));
        RapiConnection c;
        QVERIFY(!c.connect());
        QVERIFY(!c.isConnected());
    }

    void outcome_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("reported");
        QTest::addColumn<bool>("connected");
        QTest::newRow("device answers") << kOk << kOk << true;
        QTest::newRow("call fails") << kFail << kOk << false;
        QTest::newRow("device reports failure") << kOk << kFail << false;
    }

    void outcome() {
        QFETCH(int, result);
        QFETCH(int, reported);
        QFETCH(bool, connected);
        Fake fake;
        QVERIFY2(fake.lib.load(), qPrintable(fake.lib.errorString()));
        fake.set(result, reported, 0);
        {
            RapiConnection c;
            QCOMPARE(c.connect(), connected);
            QCOMPARE(c.isConnected(), connected);
            QCOMPARE(fake.inits(), 1);
            // A failed attempt is uninitialised at once, a connection stays open.
            QCOMPARE(fake.uninits(), connected ? 0 : 1);
            QCOMPARE(c.connect(), connected); // a connection is not made twice
            QCOMPARE(fake.inits(), connected ? 1 : 2);
        }
        QCOMPARE(fake.uninits(), connected ? 1 : 2);
    }

    void noAnswerInTime() {
        Fake fake;
        QVERIFY(fake.lib.load());
        fake.set(kOk, kOk, 1500);
        QElapsedTimer timer;
        timer.start();
        {
            RapiConnection c;
            QVERIFY(!c.connect(200));
            QVERIFY(timer.elapsed() < 1400);
        }
        // The late answer is uninitialised by the attempt it belongs to.
        QTRY_COMPARE_WITH_TIMEOUT(fake.uninits(), 1, 5000);
    }
};

QTEST_GUILESS_MAIN(TestRapiConnection)
#include "tst_rapiconnection.moc"
