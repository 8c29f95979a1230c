// Replays the decoder fuzz corpus, and every sample message cut at every
// length, through the fuzz entry in the normal build.

#include "CapiTestMessages.h"

#include <QDir>
#include <QFile>
#include <QTest>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

class TestCapiFuzzReplay : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void corpus_data();
    void corpus();
    void samplesCut_data();
    void samplesCut();
};

void TestCapiFuzzReplay::corpus_data() {
    QTest::addColumn<QString>("file");
    const QDir dir(QStringLiteral(KALVENDO_CAPI_FUZZ_CORPUS));
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    QVERIFY2(!files.isEmpty(), "the seed corpus is missing");
    for (const QString& name : files) {
        QTest::newRow(name.toUtf8().constData()) << dir.filePath(name);
    }
}

void TestCapiFuzzReplay::corpus() {
    QFETCH(QString, file);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    // The entry aborts on a broken invariant; returning is the pass.
    QCOMPARE(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.constData()),
                                    size_t(data.size())),
             0);
}

void TestCapiFuzzReplay::samplesCut_data() {
    QTest::addColumn<QByteArray>("message");
    for (const capitest::Sample& s : capitest::samples()) {
        QTest::newRow(s.name) << capitest::bytes(s);
    }
}

void TestCapiFuzzReplay::samplesCut() {
    QFETCH(QByteArray, message);
    for (int cut = 0; cut <= message.size(); ++cut) {
        // A heap copy of exactly `cut` bytes, so a sanitizer build sees any overread.
        std::vector<uint8_t> exact(message.constData(), message.constData() + cut);
        QCOMPARE(LLVMFuzzerTestOneInput(exact.data(), exact.size()), 0);
    }
}

QTEST_GUILESS_MAIN(TestCapiFuzzReplay)
#include "tst_capifuzzreplay.moc"
