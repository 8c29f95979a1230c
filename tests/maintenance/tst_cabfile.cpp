#include "MaintenanceTestUtil.h"

#include "settings/CabFiles.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

QByteArray randomBytes(int size, quint32 seed) {
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (char& c : b)
        c = char(gen.bounded(256));
    return b;
}

QByteArray textBytes(int size) {
    QByteArray b;
    for (int i = 0; b.size() < size; ++i)
        b += "Zeile " + QByteArray::number(i) + " Adler;Anna;Am Hang 5;12345 Ort\r\n";
    return b.left(size);
}

void setTime(const QString& path, const QDateTime& when) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}

// The DOS date a cabinet keeps: local time, even seconds.
QDateTime dosTime(const QDateTime& when) {
    const QDateTime t = when.toLocalTime();
    return t.addSecs(-(t.time().second() % 2)).addMSecs(-t.time().msec());
}
QString dosText(const QDateTime& when) {
    return dosTime(when).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
// gcab -l reads the stored fields as UTC and shows them in local time.
QString gcabText(const QDateTime& when) {
    const QDateTime t = dosTime(when);
    return QDateTime(t.date(), t.time(), Qt::UTC)
        .toLocalTime()
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

#define SKIP_WITHOUT(run, program)                                                                 \
    if ((run).missing)                                                                             \
    QSKIP(program " is not installed (scripts/install-deps.sh installs it)")

} // namespace

class TestCabFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionIgnoresAssignment() {
        TCABFile cab;
        QCOMPARE(cab.Version(), QStringLiteral("1.4.0.3"));
        cab.setVersion(QStringLiteral("9.9"));
        QCOMPARE(cab.Version(), QStringLiteral("1.4.0.3"));
        QCOMPARE(cab.CompressionType(), typMSZIP);
    }

    void errorTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "No error";
        QTest::newRow("1") << 1 << "Failure opening file to be stored in cabinet";
        QTest::newRow("2") << 2 << "Failure reading file to be stored in cabinet";
        QTest::newRow("3") << 3 << "Insufficient memory in FCI";
        QTest::newRow("4") << 4 << "Could not create a temporary file";
        QTest::newRow("5") << 5 << "Unknown compression type";
        QTest::newRow("6") << 6 << "Could not create cabinet file";
        QTest::newRow("7") << 7 << "Client requested abort";
        QTest::newRow("8") << 8 << "Failure compressing data";
        QTest::newRow("9") << 9 << "Unknown error";
        QTest::newRow("-1") << -1 << "Unknown error";
    }
    void errorTexts() {
        QFETCH(int, code);
        QFETCH(QString, text);
        const ECABFileError e(code);
        QCOMPARE(e.message(), text);
        QCOMPARE(e.code(), code);
        QCOMPARE(e.className(), "ECABFileError");
    }

    void compressionCodes_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("memory");
        QTest::addColumn<int>("code");
        QTest::newRow("none") << int(typNone) << int(lzxHighest) << 0;
        QTest::newRow("MSZIP") << int(typMSZIP) << int(lzxHighest) << 1;
        QTest::newRow("LZX lowest") << int(typLZX) << int(lzxLowest) << 0x0F03;
        QTest::newRow("LZX medium") << int(typLZX) << int(lzxMedium) << 0x1203;
        QTest::newRow("LZX highest") << int(typLZX) << int(lzxHighest) << 0x1503;
    }
    void compressionCodes() {
        QFETCH(int, type);
        QFETCH(int, memory);
        QFETCH(int, code);
        QCOMPARE(TCABFile::compressionCode(TCompressionType(type), TLZXMemory(memory)), code);
    }

    // Both compressions give a cabinet that independent readers accept, with
    // the files in order, their bytes, dates and attributes, and our set id.
    void cabinetReadByOthers_data() {
        QTest::addColumn<int>("type");
        QTest::newRow("MSZIP") << int(typMSZIP);
        QTest::newRow("stored") << int(typNone);
    }
    void cabinetReadByOthers() {
        QFETCH(int, type);
        QTemporaryDir dir;
        struct Source {
            QString name;
            QByteArray bytes;
        };
        // More than one 32 KB block, random and compressible data, an empty file.
        const QList<Source> sources{
            {QStringLiteral("z-first.txt"), textBytes(150000)},
            {QStringLiteral("random.bin"), randomBytes(70000, 7)},
            {QStringLiteral("empty.txt"), QByteArray()},
            {QStringLiteral("Grüße.txt"), "Umlaute"},
            {QStringLiteral("a-last.ini"), "[x]\r\ny=1\r\n"},
        };
        TCABFile cab;
        cab.setCompressionType(TCompressionType(type));
        cab.setCABFile(dir.filePath(QStringLiteral("out.CAB")));
        const QDateTime when(QDate(2019, 6, 15), QTime(13, 14, 15));
        for (const Source& s : sources) {
            const QString path = dir.filePath(s.name);
            QVERIFY(writeBytes(path, s.bytes));
            setTime(path, when);
            cab.CABFileContents().Add().setName(path);
        }
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("a-last.ini")),
                                      QFileDevice::ReadOwner));
        QVERIFY(cab.Compress());

        const CabHeader header = cabHeader(cab.CABFile());
        QCOMPARE(header.setId, 12345);
        QCOMPARE(header.typeCompress, type == typMSZIP ? 1 : 0);

        const ToolRun list = runTool(QStringLiteral("gcab"), {QStringLiteral("-l"), cab.CABFile()});
        SKIP_WITHOUT(list, "gcab");
        QStringList expected;
        for (const Source& s : sources) {
            const bool readOnly = s.name == u"a-last.ini";
            const bool utf8 = s.name.contains(u'ü');
            expected << QStringLiteral("%1 %2 %3 0x%4")
                            .arg(s.name)
                            .arg(s.bytes.size())
                            .arg(gcabText(when))
                            .arg(QString::number(0x20 | (readOnly ? 0x01 : 0) | (utf8 ? 0x80 : 0),
                                                 16)
                                     .toUpper());
        }
        QCOMPARE(list.out.split(u'\n', Qt::SkipEmptyParts), expected);

        const ToolRun test =
            runTool(QStringLiteral("cabextract"), {QStringLiteral("-t"), cab.CABFile()});
        SKIP_WITHOUT(test, "cabextract");
        QCOMPARE(test.exitCode, 0);
        QVERIFY2(test.out.contains(QStringLiteral("All done, no errors.")), qPrintable(test.out));
        // cabextract shows the stored local time as it stands.
        const ToolRun names =
            runTool(QStringLiteral("cabextract"), {QStringLiteral("-l"), cab.CABFile()});
        for (const Source& s : sources) {
            const QString row =
                QStringLiteral("%1 | %2 | %3")
                    .arg(s.bytes.size(), 10)
                    .arg(dosTime(when).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")), s.name);
            QVERIFY2(names.out.contains(row), qPrintable(names.out));
        }

        const QString out = dir.filePath(QStringLiteral("extracted"));
        const ToolRun extract =
            runTool(QStringLiteral("cabextract"),
                    {QStringLiteral("-q"), QStringLiteral("-d"), out, cab.CABFile()});
        QCOMPARE(extract.exitCode, 0);
        for (const Source& s : sources) {
            const QString path = out + u'/' + s.name;
            QCOMPARE(readBytes(path), s.bytes);
            QCOMPARE(QFileInfo(path).lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     dosText(when));
        }
    }

    // Times outside what a cabinet can hold are kept at its limits; hidden
    // files are marked.
    void datesAtTheLimitsAndHiddenFiles() {
        QTemporaryDir dir;
        const QString old = dir.filePath(QStringLiteral("old.txt"));
        const QString hidden = dir.filePath(QStringLiteral(".hidden"));
        QVERIFY(writeBytes(old, "o"));
        QVERIFY(writeBytes(hidden, "h"));
        setTime(old, QDateTime(QDate(1975, 1, 1), QTime(12, 0)));
        setTime(hidden, QDateTime(QDate(2021, 2, 3), QTime(4, 5, 7)));
        TCABFile cab;
        cab.setCABFile(dir.filePath(QStringLiteral("x.cab")));
        cab.CABFileContents().Add().setName(old);
        cab.CABFileContents().Add().setName(hidden);
        QVERIFY(cab.Compress());
        const ToolRun list = runTool(QStringLiteral("gcab"), {QStringLiteral("-l"), cab.CABFile()});
        SKIP_WITHOUT(list, "gcab");
        const QDateTime first(QDate(1980, 1, 1), QTime(0, 0));
        const QDateTime hiddenTime(QDate(2021, 2, 3), QTime(4, 5, 6));
        QCOMPARE(list.out.split(u'\n', Qt::SkipEmptyParts),
                 (QStringList{QStringLiteral("old.txt 1 %1 0x20").arg(gcabText(first)),
                              QStringLiteral(".hidden 1 %1 0x22").arg(gcabText(hiddenTime))}));
    }

    // A folder inside the cabinet, with or without a trailing backslash.
    void relPathNames_data() {
        QTest::addColumn<QString>("relPath");
        QTest::addColumn<QString>("stored");
        QTest::newRow("root") << ""
                              << "a.txt";
        QTest::newRow("folder") << "sub"
                                << "sub\\a.txt";
        QTest::newRow("folder with backslash") << "sub\\"
                                               << "sub\\a.txt";
        QTest::newRow("folder with slash") << "sub/"
                                           << "sub\\a.txt";
        QTest::newRow("nested") << "one\\two"
                                << "one\\two\\a.txt";
        QTest::newRow("nested with slash") << "one/two"
                                           << "one\\two\\a.txt";
    }
    void relPathNames() {
        QFETCH(QString, relPath);
        QFETCH(QString, stored);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("src"))));
        const QString source = dir.filePath(QStringLiteral("src/a.txt"));
        QVERIFY(writeBytes(source, "a"));
        TCABFile cab;
        cab.setCABFile(dir.filePath(QStringLiteral("r.cab")));
        TCABFileEntry& entry = cab.CABFileContents().Add();
        entry.setName(source);
        entry.setRelPath(relPath);
        QCOMPARE(entry.cabinetName(), stored);
        QVERIFY(cab.Compress());
        bool missing = false;
        const QStringList names = gcabNames(cab.CABFile(), &missing);
        if (missing)
            QSKIP("gcab is not installed (scripts/install-deps.sh installs it)");
        QCOMPARE(names, QStringList{stored});
        const ToolRun list =
            runTool(QStringLiteral("cabextract"), {QStringLiteral("-l"), cab.CABFile()});
        SKIP_WITHOUT(list, "cabextract");
        QVERIFY2(list.out.contains(QStringLiteral("| ") + QString(stored).replace(u'\\', u'/')),
                 qPrintable(list.out));
    }

    // A relative name counts from the current folder.
    void relativeNameFromCurrentFolder() {
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("rel.txt")), "r"));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        TCABFile cab;
        cab.setCABFile(QStringLiteral("rel.cab"));
        cab.CABFileContents().Add().setName(QStringLiteral("rel.txt"));
        const bool ok = cab.Compress();
        QDir::setCurrent(before);
        QVERIFY(ok);
        bool missing = false;
        const QStringList names = gcabNames(dir.filePath(QStringLiteral("rel.cab")), &missing);
        if (missing)
            QSKIP("gcab is not installed (scripts/install-deps.sh installs it)");
        QCOMPARE(names, QStringList{QStringLiteral("rel.txt")});
    }

    // pos rises and ends at tot, the bytes of all sources.
    void progressEndsAtTotal() {
        QTemporaryDir dir;
        TCABFile cab;
        cab.setCABFile(dir.filePath(QStringLiteral("p.cab")));
        qint64 sum = 0;
        for (int size : {40000, 0, 100000, 5}) {
            const QString path = dir.filePath(QStringLiteral("f%1").arg(size));
            QVERIFY(writeBytes(path, randomBytes(size, quint32(size))));
            cab.CABFileContents().Add().setName(path);
            sum += size;
        }
        QList<QPair<qint32, qint32>> reports;
        TCABFile* sender = nullptr;
        cab.setOnCompressProgress([&](TCABFile* s, qint32 pos, qint32 tot) {
            sender = s;
            reports.append({pos, tot});
        });
        QVERIFY(cab.Compress());
        QCOMPARE(sender, &cab);
        QVERIFY(reports.size() >= 2);
        for (int i = 0; i < reports.size(); ++i) {
            QCOMPARE(reports[i].second, sum);
            if (i > 0)
                QVERIFY(reports[i].first > reports[i - 1].first);
        }
        QCOMPARE(reports.last().first, sum);
    }

    void lzxRefusedWithoutWriting() {
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("a.txt")), "a"));
        TCABFile cab;
        cab.setCompressionType(typLZX);
        cab.setLZXMemory(lzxHighest);
        cab.setCABFile(dir.filePath(QStringLiteral("l.cab")));
        cab.CABFileContents().Add().setName(dir.filePath(QStringLiteral("a.txt")));
        try {
            cab.Compress();
            QFAIL("LZX accepted");
        } catch (const ECABFileError& e) {
            QCOMPARE(e.message(), QStringLiteral("Unknown compression type"));
            QCOMPARE(e.code(), 5);
        }
        QVERIFY(!QFileInfo::exists(cab.CABFile()));
    }

    // A source that cannot be opened stops the run before anything is
    // written; a cabinet already there stays as it was.
    void missingSourceFailsBeforeWriting() {
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("a.txt")), "a"));
        const QString cabPath = dir.filePath(QStringLiteral("old.cab"));
        QVERIFY(writeBytes(cabPath, "earlier cabinet"));
        const QString missing = dir.filePath(QStringLiteral("missing.txt"));
        TCABFile cab;
        cab.setCABFile(cabPath);
        cab.CABFileContents().Add().setName(dir.filePath(QStringLiteral("a.txt")));
        cab.CABFileContents().Add().setName(missing);
        bool progressed = false;
        cab.setOnCompressProgress([&](TCABFile*, qint32, qint32) { progressed = true; });
        try {
            cab.Compress();
            QFAIL("a missing source was accepted");
        } catch (const EFOpenError& e) {
            QVERIFY2(e.message().startsWith(
                         QStringLiteral("Datei %1 kann nicht geöffnet werden. ").arg(missing)),
                     qPrintable(e.message()));
            QVERIFY(e.message().size() >
                    QStringLiteral("Datei %1 kann nicht geöffnet werden. ").arg(missing).size());
            QCOMPARE(e.className(), "EFOpenError");
        }
        QVERIFY(!progressed);
        QCOMPARE(readBytes(cabPath), QByteArray("earlier cabinet"));
    }

    void unwritableTarget() {
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("a.txt")), "a"));
        TCABFile cab;
        cab.setCABFile(dir.filePath(QStringLiteral("no/such/folder/x.cab")));
        cab.CABFileContents().Add().setName(dir.filePath(QStringLiteral("a.txt")));
        try {
            cab.Compress();
            QFAIL("a cabinet in a missing folder was reported written");
        } catch (const ECABFileError& e) {
            QCOMPARE(e.message(), QStringLiteral("Could not create cabinet file"));
        }
    }

    void contentsCollection() {
        TCABFile cab;
        TCABFileContents& c = cab.CABFileContents();
        TCABFileEntry& first = c.Add();
        first.setName(QStringLiteral("one"));
        for (int i = 0; i < 100; ++i)
            c.Add().setName(QString::number(i));
        // An entry stays where it is while others are added.
        QCOMPARE(first.Name(), QStringLiteral("one"));
        QCOMPARE(c.Count(), 101);
        QCOMPARE(c[100].Name(), QStringLiteral("99"));
        c.Clear();
        QCOMPARE(c.Count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCabFile)
#include "tst_cabfile.moc"
