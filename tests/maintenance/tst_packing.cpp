#include "MaintenanceTestUtil.h"

#include "settings/Backup.h"
#include "settings/MaintenanceBatch.h"
#include "settings/Packing.h"

#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

// An application folder with all six data files and some records.
void fillData(const AppFolder& app) {
    app.addRecords({{"Adler", "Anna", ""}, {"Berg", "Bernd", "Kunden"}});
    app.write(QStringLiteral("col.ini"), "[col]\r\nw0=80\r\n");
    app.write(QStringLiteral("log.txt"), "07.03.2024   10:00:00   Fehler   EInOutError   \r\n");
}

const QStringList kOrder{QStringLiteral("ab.ini"),       QStringLiteral("adressen.adi"),
                         QStringLiteral("adressen.adt"), QStringLiteral("col.ini"),
                         QStringLiteral("group.txt"),    QStringLiteral("log.txt")};

} // namespace

class TestPacking : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Six files at the cabinet's root in their order, MSZIP, the bytes and
    // dates of the data folder; temp is gone afterwards.
    void packsSixFilesInOrder() {
        AppFolder app;
        fillData(app);
        QTemporaryDir out;
        const QString cab = out.filePath(QStringLiteral("upload.CAB"));
        // An extra file in the data folder is not packed.
        app.write(QStringLiteral("other.txt"), "x");

        qint64 copied = -1, copyTotal = -2;
        qint32 pos = -1, tot = -2;
        const std::optional<Notice> outcome = packData(app.path(), cab,
                                                       {[&](qint64 d, qint64 t) {
                                                            copied = d;
                                                            copyTotal = t;
                                                        },
                                                        [&](TCABFile*, qint32 p, qint32 t) {
                                                            pos = p;
                                                            tot = t;
                                                        }});
        QVERIFY(outcome);
        QCOMPARE(outcome->key, notice::datacompressed.key);
        QCOMPARE(outcome->kind, NoticeKind::Plain);
        QCOMPARE(copied, copyTotal);
        QCOMPARE(pos, tot);
        QVERIFY(!QFileInfo::exists(packTempPath(app.path())));
        QCOMPARE(packedFileNames(), kOrder);
        QCOMPARE(cabHeader(cab).typeCompress, 1);
        QCOMPARE(cabHeader(cab).folders, 1);

        bool missing = false;
        const QStringList names = gcabNames(cab, &missing);
        if (missing)
            QSKIP("gcab is not installed (scripts/install-deps.sh installs it)");
        QCOMPARE(names, kOrder);

        const ToolRun list = runTool(QStringLiteral("cabextract"), {QStringLiteral("-l"), cab});
        if (list.missing)
            QSKIP("cabextract is not installed (scripts/install-deps.sh installs it)");
        QStringList listed;
        for (const QString& line : list.out.split(u'\n')) {
            const QStringList cols = line.split(QStringLiteral(" | "));
            if (cols.size() == 3 && !line.contains(QStringLiteral("File size")))
                listed << cols[2].trimmed();
        }
        QCOMPARE(listed, kOrder);
        // Dates: the data files' own last-write times.
        for (const QString& name : kOrder) {
            QDateTime t = QFileInfo(app.dataFile(name)).lastModified();
            t = t.addSecs(-(t.time().second() % 2));
            QVERIFY2(list.out.contains(t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) +
                                       QStringLiteral(" | ") + name),
                     qPrintable(name + u'\n' + list.out));
        }

        const QString extracted = out.filePath(QStringLiteral("x"));
        QCOMPARE(runTool(QStringLiteral("cabextract"),
                         {QStringLiteral("-q"), QStringLiteral("-d"), extracted, cab})
                     .exitCode,
                 0);
        for (const QString& name : kOrder) {
            if (!name.startsWith(QStringLiteral("adressen")))
                QCOMPARE(readBytes(extracted + u'/' + name), readBytes(app.dataFile(name)));
        }
        // The table arrives as a consistent copy of the records.
        QString problem;
        QCOMPARE(namesIn(extracted, &problem),
                 (QStringList{QStringLiteral("Adler"), QStringLiteral("Berg")}));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void existingTargetStaysUnchanged() {
        AppFolder app;
        fillData(app);
        QTemporaryDir out;
        const QString cab = out.filePath(QStringLiteral("upload.CAB"));
        QVERIFY(writeBytes(cab, "not to be replaced"));
        const std::optional<Notice> outcome = packData(app.path(), cab);
        QVERIFY(outcome);
        QCOMPARE(outcome->key, notice::fileexists.key);
        QCOMPARE(outcome->kind, NoticeKind::Error);
        QCOMPARE(readBytes(cab), QByteArray("not to be replaced"));
        QVERIFY(!QFileInfo::exists(packTempPath(app.path())));
        QVERIFY_THROWS_EXCEPTION(EBatchError, runPack(app.path(), cab));
        QCOMPARE(readBytes(cab), QByteArray("not to be replaced"));
    }

    // A data file that is missing: the open error, no cabinet, temp removed.
    void missingDataFile_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("log.txt") << "log.txt";
        QTest::newRow("col.ini") << "col.ini";
        QTest::newRow("table") << "adressen.adt";
    }
    void missingDataFile() {
        QFETCH(QString, name);
        AppFolder app;
        fillData(app);
        QVERIFY(QFile::remove(app.dataFile(name)));
        QTemporaryDir out;
        const QString cab = out.filePath(QStringLiteral("upload.CAB"));
        try {
            packData(app.path(), cab);
            QFAIL("packing without a data file succeeded");
        } catch (const EFOpenError& e) {
            const QString path = packTempPath(app.path()) + u'/' + name;
            QVERIFY2(e.message().startsWith(
                         QStringLiteral("Datei %1 kann nicht geöffnet werden. ").arg(path)),
                     qPrintable(e.message()));
        }
        QVERIFY(!QFileInfo::exists(cab));
        QVERIFY(!QFileInfo::exists(packTempPath(app.path())));
    }

    // A temp left by an interrupted run never lends its files to the cabinet:
    // a data file that is gone is missing, not taken from there.
    void staleTempIsEmptiedFirst() {
        AppFolder app;
        fillData(app);
        QVERIFY(QFile::remove(app.dataFile(QStringLiteral("log.txt"))));
        const QString temp = packTempPath(app.path());
        QVERIFY(QDir().mkpath(temp + QStringLiteral("/daten")));
        QVERIFY(writeBytes(temp + QStringLiteral("/log.txt"), "stale\r\n"));
        QVERIFY(writeBytes(temp + QStringLiteral("/daten/log.txt"), "stale\r\n"));
        QTemporaryDir out;
        const QString cab = out.filePath(QStringLiteral("upload.CAB"));
        QVERIFY_THROWS_EXCEPTION(EFOpenError, runPack(app.path(), cab));
        QVERIFY(!QFileInfo::exists(cab));
        QVERIFY(!QFileInfo::exists(temp));
    }

    // The data folder that cannot be copied: a clear error, no cabinet, no temp.
    void copyFailureIsReported() {
        AppFolder app;
        fillData(app);
        QVERIFY(QDir(app.data()).removeRecursively());
        QTemporaryDir out;
        const QString cab = out.filePath(QStringLiteral("upload.CAB"));
        QVERIFY_THROWS_EXCEPTION(EDataCopyError, packData(app.path(), cab));
        QVERIFY(!QFileInfo::exists(cab));
        QVERIFY(!QFileInfo::exists(packTempPath(app.path())));
    }
};

QTEST_GUILESS_MAIN(TestPacking)
#include "tst_packing.moc"
