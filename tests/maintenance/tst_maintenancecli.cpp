#include "MaintenanceTestUtil.h"

#include "app/ProgramRun.h"

#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

ProgramResult runKalvendo(const AppFolder& app, const QStringList& arguments) {
    return runProgram(QStringList{QStringLiteral("--appdir"), app.path()} + arguments,
                      environmentWithoutDisplay());
}

} // namespace

// Backup, restore and packing run by the built program without a display,
// as a nightly job would run them.
class TestMaintenanceCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void backupRestoreAndPack() {
        AppFolder app;
        app.addRecords({{"Adler", "", ""}, {"Berg", "", ""}});
        app.write(QStringLiteral("col.ini"), "[col]\r\n");

        ProgramResult r = runKalvendo(app, {QStringLiteral("--backup")});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("kalvendo: Kein Sicherungspfad eingestellt / no backup "
                                       "folder is set (dbpath in ab.ini)\n"));

        QTemporaryDir backups;
        r = runKalvendo(app, {QStringLiteral("--backup"), backups.path()});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.isEmpty() && r.err.isEmpty());
        const QStringList made =
            QDir(backups.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QCOMPARE(made.size(), 1);
        const QString backup = backups.filePath(made.first());
        QCOMPARE(namesIn(backup), (QStringList{QStringLiteral("Adler"), QStringLiteral("Berg")}));

        app.addRecords({{"Danach", "", ""}});
        r = runKalvendo(app, {QStringLiteral("--restore"), backup});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(namesIn(app.data()),
                 (QStringList{QStringLiteral("Adler"), QStringLiteral("Berg")}));

        const auto before = snapshot(app.data());
        r = runKalvendo(app,
                        {QStringLiteral("--restore"), backups.filePath(QStringLiteral("none"))});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("kalvendo: ")) &&
                     r.err.contains(QStringLiteral("existiert nicht")),
                 qPrintable(r.err));
        QCOMPARE(snapshot(app.data()), before);

        QTemporaryDir out;
        const QString cab = out.filePath(QStringLiteral("nightly.CAB"));
        r = runKalvendo(app, {QStringLiteral("--pack"), cab});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        bool missing = false;
        const QStringList names = gcabNames(cab, &missing);
        if (!missing)
            QCOMPARE(names.size(), 6);
        const QByteArray first = readBytes(cab);
        r = runKalvendo(app, {QStringLiteral("--pack"), cab});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err,
                 QStringLiteral("kalvendo: Die Datei %1 existiert bereits / the file %1 already "
                                "exists\n")
                     .arg(cab));
        QCOMPARE(readBytes(cab), first);
        QVERIFY(!QFileInfo::exists(app.path() + QStringLiteral("temp")));
    }
};

QTEST_GUILESS_MAIN(TestMaintenanceCli)
#include "tst_maintenancecli.moc"
