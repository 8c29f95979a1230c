#include "addressbook/AddressTable.h"
#include "app/TForm1.h"
#include "common/StatusBar.h"
#include "testsupport/AppFolder.h"
#include "testsupport/DialogRecorder.h"

#include <QLabel>
#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

class TestStartup : public QObject {
    Q_OBJECT

    static std::unique_ptr<TForm1> start(const AppFolder& folder) {
        return std::make_unique<TForm1>(TForm1::Options{QString(), folder.path()});
    }

private Q_SLOTS:
    void freshFolderShowsEmptyCount() {
        AppFolder folder;
        DialogRecorder dialogs;
        auto w = start(folder);
        QCOMPARE(w->applicationPath(), folder.path());
        QCOMPARE(w->statusPanels()->panelText(0), QStringLiteral("Anzahl Datensätze:"));
        QCOMPARE(w->statusPanels()->panelText(1), QStringLiteral("0"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Kalvendo 2009"));
        QVERIFY(w->table()->isActive());
        QCOMPARE(w->table()->indexName(), QStringLiteral("NAME"));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void missingTableIsReportedAndProgramGoesOn() {
        AppFolder folder;
        QFile::remove(folder.dataFile(QStringLiteral("adressen.adt")));
        DialogRecorder dialogs;
        auto w = start(folder);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.at(0).kind, DialogKind::Error);
        QVERIFY(dialogs.shown.at(0).text.contains(QStringLiteral("adressen.adt")));
        QVERIFY(!w->table()->isActive());
        QCOMPARE(w->statusPanels()->panelText(1), QString());
        // The program runs on and closes normally.
        QVERIFY(w->action(QStringLiteral("Beenden1"))->isEnabled());
    }

    void startupGroupFilter_data() {
        QTest::addColumn<QByteArray>("group");
        QTest::addColumn<bool>("filtered");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QByteArray>("groupAfter");
        QTest::newRow("one group") << QByteArray("Freunde") << true << 2 << QByteArray("Freunde");
        QTest::newRow("Italian all groups")
            << QByteArray("Tutti i gruppi") << false << 3 << QByteArray("Tutti i gruppi");
        QTest::newRow("French all groups under German")
            << QByteArray("Tous les groupes") << false << 3 << QByteArray("Tous les groupes");
        QTest::newRow("all groups, other case is a group")
            << QByteArray("alle gruppen") << true << 0 << QByteArray("alle gruppen");
        QTest::newRow("unusable name is dropped")
            << QByteArray("Fr]eunde") << false << 3 << QByteArray("");
    }
    void startupGroupFilter() {
        QFETCH(QByteArray, group);
        QFETCH(bool, filtered);
        QFETCH(int, rows);
        QFETCH(QByteArray, groupAfter);
        AppFolder folder;
        folder.addRecords({{"Adler", "Anna", "Freunde"},
                           {"Berg", "Bernd", "Arbeit"},
                           {"Christ", "Clara", "Freunde"}});
        folder.write(QStringLiteral("ab.ini"), "[preferences]\r\ngroup=" + group + "\r\n");
        DialogRecorder dialogs;
        auto w = start(folder);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(w->table()->isFiltered(), filtered);
        QCOMPARE(w->table()->rowCount(), rows);
        // The count is of all records, whatever the filter.
        QCOMPARE(w->statusPanels()->panelText(1), QStringLiteral("3"));
        QVERIFY(folder.read(QStringLiteral("ab.ini"))
                    .contains(QByteArray("group=" + groupAfter + "\r\n")));
    }

    void definablyLabelKeepsColons() {
        AppFolder folder;
        folder.write(QStringLiteral("ab.ini"), "[preferences]\r\ndefinably=Kunden-Nr.:\r\n");
        auto w = start(folder);
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("Label9"))->text(),
                 QStringLiteral("Kunden-Nr.:"));
    }

    void commandErrorIsShownAndLogged() {
        AppFolder folder;
        QFile::remove(folder.dataFile(QStringLiteral("log.txt")));
        DialogRecorder dialogs;
        auto w = start(folder);
        // Mailing a log that is not there fails inside the command; the
        // handler then creates the log with the error's line.
        w->action(QStringLiteral("Errorlogsenden1"))->trigger();
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.at(0).kind, DialogKind::Error);
        const QList<QByteArray> lines = folder.read(QStringLiteral("log.txt")).split('\n');
        QCOMPARE(lines.size(), 2); // one line ended by CRLF
        QVERIFY(lines.at(0).endsWith('\r'));
        const QStringList fields =
            QString::fromUtf8(lines.at(0).chopped(1)).split(QStringLiteral("   "));
        QCOMPARE(fields.size(), 5);
        QCOMPARE(fields.at(3), QStringLiteral("EInOutError"));
        QCOMPARE(fields.at(4), QStringLiteral("Errorlogsenden1"));
    }

    void missingGroupFileStopsStartupLate() {
        AppFolder folder;
        QFile::remove(folder.dataFile(QStringLiteral("group.txt")));
        folder.write(QStringLiteral("ab.ini"), "[preferences]\r\ndefinably=Extra:\r\n");
        DialogRecorder dialogs;
        auto w = start(folder);
        QCOMPARE(dialogs.shown.size(), 1);
        // The table is open and counted; later steps did not run.
        QVERIFY(w->table()->isActive());
        QCOMPARE(w->statusPanels()->panelText(1), QStringLiteral("0"));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("Label9"))->text(), QString());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
