#include "common/SaveFile.h"
#include "common/TextFile.h"
#include "testsupport/Files.h"
#include "testsupport/FullDisk.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

class TestSaveFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replacesTarget() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.txt"));
        writeFileAtomically(path, "old");
        writeFileAtomically(path, "new");
        QCOMPARE(readBytes(path), QByteArray("new"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void withoutCommitTargetStays() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.txt"));
        writeFileAtomically(path, "old");
        {
            SaveFile f(path);
            f.write("half");
        }
        QCOMPARE(readBytes(path), QByteArray("old"));
    }

    void missingFolderRefusedWithItsText() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("no/such/a.txt"));
        try {
            writeFileAtomically(path, "x");
            QFAIL("no error raised");
        } catch (const EWriteError& e) {
            QCOMPARE(e.message(), QStringLiteral("In %1 kann nicht geschrieben werden").arg(path));
            QCOMPARE(e.className(), "EWriteError");
        }
    }

    // The buffered write fails with ENOSPC only when flushed: the old file must
    // survive and the caller must hear of it.
    void fullDiskKeepsOldFile_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("smaller than a buffer") << 2000;
        QTest::newRow("many buffers") << 300000;
    }
    void fullDiskKeepsOldFile() {
        QFETCH(int, size);
        test::FullDisk disk;
        if (!disk.available())
            QSKIP("cannot mount a tmpfs here (needs root); full-disk case not run");
        const QString path = disk.file(QStringLiteral("group.txt"));
        writeTextLines(path, {QStringLiteral("Familie"), QStringLiteral("Freunde")});
        const QByteArray before = readBytes(path);
        disk.fill();
        QVERIFY_THROWS_EXCEPTION(EWriteError, writeTextLines(path, {QString(size, u'g')}));
        QCOMPARE(readBytes(path), before);
    }
};

QTEST_GUILESS_MAIN(TestSaveFile)
#include "tst_savefile.moc"
