#include "ImportExportFixture.h"

#include "common/SaveFile.h"
#include "output/package/PackageStream.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

// Counts bytes out without holding them: the test of an entry larger than
// any buffer.
class Counting final : public PackageEntrySource {
public:
    explicit Counting(qint64 size) : m_size(size) {}
    qint64 size() override { return m_size; }
    void open() override {
        m_pos = 0;
        ++opened;
    }
    qint64 read(char* data, qint64 max) override {
        const qint64 n = qMin(max, m_size - m_pos);
        for (qint64 i = 0; i < n; ++i)
            data[i] = static_cast<char>('a' + (m_pos + i) % 26);
        m_pos += n;
        if (m_failAt >= 0 && m_pos >= m_failAt)
            throw std::runtime_error("stop here");
        return n;
    }
    qint64 m_failAt = -1;
    int opened = 0;

private:
    qint64 m_size;
    qint64 m_pos = 0;
};

QByteArray expectedCounting(qint64 size) {
    QByteArray b(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        b[i] = static_cast<char>('a' + i % 26);
    return b;
}

class Refusing final : public QBuffer {
public:
    Refusing() { open(QIODevice::ReadWrite); }

protected:
    qint64 writeData(const char*, qint64) override {
        setErrorString(QStringLiteral("No space left on device"));
        return -1;
    }
};

} // namespace

class TestPackageStream : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Copied, replaced, added and generated entries, read back by our reader
    // and by Python's zipfile; no local header carries zip64 fields, which
    // some spreadsheet programs refuse.
    void writesAReadablePackage() {
        QTemporaryDir dir;
        const QString sourcePath = dir.filePath(QStringLiteral("source.zip"));
        PackageWriter source;
        const QDateTime when(QDate(2020, 5, 17), QTime(10, 30, 0));
        source.add(QStringLiteral("mimetype"), "application/x-test", PackageCompression::Stored,
                   when);
        source.add(QStringLiteral("keep.xml"), QByteArray(10000, 'k'), PackageCompression::Deflated,
                   when);
        source.add(QStringLiteral("replace.xml"), "old");
        source.save(sourcePath);

        const PackageReader reader(sourcePath);
        PackageStreamWriter w;
        w.copyFrom(reader);
        w.add(QStringLiteral("replace.xml"), "new");
        const qint64 big = 3 * 1024 * 1024 + 17;
        w.add(QStringLiteral("big/Straße.txt"), std::make_unique<Counting>(big));
        const QString path = dir.filePath(QStringLiteral("out.zip"));
        SaveFile file(path);
        w.write(file.device());
        file.commit();

        const PackageReader out(path);
        QStringList names;
        for (const PackageEntry& e : out.entries())
            names << e.name;
        QCOMPARE(names,
                 (QStringList{QStringLiteral("mimetype"), QStringLiteral("keep.xml"),
                              QStringLiteral("replace.xml"), QStringLiteral("big/Straße.txt")}));
        QCOMPARE(out.entries()[0].compression, PackageCompression::Stored);
        QCOMPARE(out.entries()[1].modified, when);
        QCOMPARE(out.read(QStringLiteral("keep.xml")), QByteArray(10000, 'k'));
        QCOMPARE(out.read(QStringLiteral("replace.xml")), QByteArray("new"));
        QCOMPARE(out.read(QStringLiteral("big/Straße.txt")), expectedCounting(big));

        const auto py = python(QStringLiteral(R"(
import hashlib, json, struct, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None
f = open(sys.argv[1], 'rb')
zip64 = []
for i in z.infolist():
    f.seek(i.header_offset)
    head = f.read(30)
    n, m = struct.unpack('<HH', head[26:30])
    f.read(n)
    extra = f.read(m)
    while len(extra) >= 4:
        tag, size = struct.unpack('<HH', extra[:4])
        if tag == 1: zip64.append(i.filename)
        extra = extra[4 + size:]
print(json.dumps({'names': z.namelist(), 'zip64': zip64,
                  'big': hashlib.sha1(z.read('big/Straße.txt')).hexdigest()}))
)"),
                               {path});
        if (!py)
            QSKIP("python3 not found: the package was not read by an independent reader");
        const QJsonObject o = QJsonDocument::fromJson(*py).object();
        QCOMPARE(o[u"names"].toArray().size(), 4);
        QCOMPARE(o[u"zip64"].toArray(), QJsonArray{});
        QCOMPARE(
            o[u"big"].toString(),
            QString::fromLatin1(
                QCryptographicHash::hash(expectedCounting(big), QCryptographicHash::Sha1).toHex()));
    }

    // An entry's own error arrives as it was raised; nothing reaches the file.
    void sourceErrorPassesThrough() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.zip"));
        writeFile(path, "old");
        PackageStreamWriter w;
        w.add(QStringLiteral("a.txt"), "a");
        auto failing = std::make_unique<Counting>(1000000);
        failing->m_failAt = 500000;
        w.add(QStringLiteral("b.txt"), std::move(failing));
        {
            SaveFile file(path);
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, w.write(file.device()));
        }
        QCOMPARE(readFile(path), QByteArray("old"));
    }

    void refusedWriteIsAWriteError() {
        PackageStreamWriter w;
        w.add(QStringLiteral("a.txt"), QByteArray(5000, 'a'));
        Refusing device;
        QVERIFY_THROWS_EXCEPTION(EWriteError, w.write(device));
    }
};

QTEST_GUILESS_MAIN(TestPackageStream)
#include "tst_packagestream.moc"
