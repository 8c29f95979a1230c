#include "common/SaveFile.h"
#include "output/package/Package.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;

namespace {

QByteArray allBytes() {
    QByteArray b;
    for (int round = 0; round < 40; ++round)
        for (int i = 0; i < 256; ++i)
            b.append(static_cast<char>(i));
    return b;
}

const QDateTime kWhen(QDate(2021, 3, 14), QTime(15, 9, 26));

// An ODF-like package: the mimetype first and stored, as ODF readers demand.
PackageWriter sample() {
    PackageWriter w;
    w.add(QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.text",
          PackageCompression::Stored, kWhen);
    w.add(QStringLiteral("content.xml"), QByteArray(5000, 'a') + "<end/>",
          PackageCompression::Deflated, kWhen);
    w.add(QStringLiteral("Pictures/bin.dat"), allBytes(), PackageCompression::Deflated, kWhen);
    w.add(QStringLiteral("Straße/ä.txt"), "umlaut", PackageCompression::Stored, kWhen);
    return w;
}

QStringList entryNames(const PackageReader& r) {
    QStringList names;
    for (const PackageEntry& e : r.entries())
        names.append(e.name);
    return names;
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTripKeepsOrderBytesCompressionAndTime() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ott"));
        sample().save(path);

        PackageReader r(path);
        QCOMPARE(entryNames(r),
                 QStringList({QStringLiteral("mimetype"), QStringLiteral("content.xml"),
                              QStringLiteral("Pictures/bin.dat"), QStringLiteral("Straße/ä.txt")}));
        QCOMPARE(r.entries()[0].compression, PackageCompression::Stored);
        QCOMPARE(r.entries()[1].compression, PackageCompression::Deflated);
        QCOMPARE(r.entries()[3].compression, PackageCompression::Stored);
        for (const PackageEntry& e : r.entries())
            QCOMPARE(e.modified, kWhen); // even seconds survive the two-second grid
        QCOMPARE(r.read(QStringLiteral("mimetype")),
                 QByteArray("application/vnd.oasis.opendocument.text"));
        QCOMPARE(r.read(QStringLiteral("Pictures/bin.dat")), allBytes());
        QCOMPARE(r.read(QStringLiteral("Straße/ä.txt")), QByteArray("umlaut"));
        QCOMPARE(r.entries()[2].size, allBytes().size());

        // ODF wants the mimetype's bytes right after the first local header,
        // with no extra field in between.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray head = f.read(38 + 39);
        QCOMPARE(head.mid(30, 8), QByteArray("mimetype"));
        QCOMPARE(head.mid(38), QByteArray("application/vnd.oasis.opendocument.text"));
    }

    // Appending a part to an existing package: copy all but some, replace one in
    // its place, add a new one at the end.
    void copyReplaceAndAdd() {
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        sample().write(buffer);
        PackageReader source(buffer.data(), QStringLiteral("memory.zip"));

        PackageWriter w;
        w.copyFrom(source, {QStringLiteral("Pictures/bin.dat")});
        w.add(QStringLiteral("content.xml"), "<new/>");
        w.add(QStringLiteral("extra.xml"), "<extra/>");
        PackageReader r(w.toBytes(), QStringLiteral("copy.zip"));

        QCOMPARE(entryNames(r),
                 QStringList({QStringLiteral("mimetype"), QStringLiteral("content.xml"),
                              QStringLiteral("Straße/ä.txt"), QStringLiteral("extra.xml")}));
        QCOMPARE(r.read(QStringLiteral("content.xml")), QByteArray("<new/>"));
        QCOMPARE(r.entries()[0].compression, PackageCompression::Stored);
        QCOMPARE(r.entries()[0].modified, kWhen);
        QCOMPARE(r.read(QStringLiteral("Straße/ä.txt")), QByteArray("umlaut"));
    }

    void notAZipRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text") << QByteArray("Sehr geehrte Damen und Herren,\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut package") << sample().toBytes().left(300);
    }
    void notAZipRefused() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("brief.docx"));
        writeFileAtomically(path, bytes);
        try {
            PackageReader r(path);
            QFAIL("no error raised");
        } catch (const EPackageError& e) {
            QCOMPARE(e.className(), "EPackageError");
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        }
    }

    void missingFileAndEntryNamed() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nowhere.ott"));
        QVERIFY_THROWS_EXCEPTION(EPackageError, PackageReader{path});

        PackageReader r(sample().toBytes(), QStringLiteral("vorlage.ott"));
        try {
            r.read(QStringLiteral("styles.xml"));
            QFAIL("no error raised");
        } catch (const EPackageError& e) {
            QVERIFY(e.message().contains(QStringLiteral("vorlage.ott")));
            QVERIFY(e.message().contains(QStringLiteral("styles.xml")));
        }
    }

    // A flipped byte inside deflated data is caught by the checksum.
    void damagedEntryRefused() {
        PackageWriter w;
        w.add(QStringLiteral("a.txt"), QByteArray(3000, 'x') + "tail", PackageCompression::Stored,
              kWhen);
        QByteArray bytes = w.toBytes();
        const qsizetype at = bytes.indexOf("tail");
        QVERIFY(at > 0);
        bytes[at] = 'T';
        PackageReader r(bytes, QStringLiteral("damaged.zip"));
        QVERIFY_THROWS_EXCEPTION(EPackageError, r.read(QStringLiteral("a.txt")));
    }

    void emptyPackageIsAValidZip() {
        PackageReader r(PackageWriter().toBytes(), QStringLiteral("empty.zip"));
        QVERIFY(r.entries().isEmpty());
    }

    void pythonZipfileReadsIt() {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 not installed: the independent zip reader is skipped");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.zip"));
        sample().save(path);
        QProcess p;
        p.start(python, {QStringLiteral("-c"),
                         QStringLiteral("import sys, zipfile\n"
                                        "z = zipfile.ZipFile(sys.argv[1])\n"
                                        "assert z.testzip() is None\n"
                                        "for i in z.infolist():\n"
                                        "    print(i.filename, i.compress_type, i.file_size,\n"
                                        "          '%04d-%02d-%02d %02d:%02d:%02d' % i.date_time)\n"
                                        "print(z.read('Straße/ä.txt').decode())\n"),
                         path});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(out, QStringLiteral("mimetype 0 39 2021-03-14 15:09:26\n"
                                     "content.xml 8 5006 2021-03-14 15:09:26\n"
                                     "Pictures/bin.dat 8 10240 2021-03-14 15:09:26\n"
                                     "Straße/ä.txt 0 6 2021-03-14 15:09:26\n"
                                     "umlaut\n"));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
