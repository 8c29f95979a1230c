// Backup, restore and packing as the user starts them from the main window:
// the whole program on a temporary application folder, dialogs answered by the
// seams, the files checked afterwards.
#include "addressbook/AddressTable.h"
#include "app/TForm1.h"
#include "common/StatusBar.h"
#include "settings/Backup.h"
#include "testsupport/AppFolder.h"
#include "testsupport/DialogRecorder.h"
#include "testsupport/ProgramFixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace kalvendo;
using namespace kalvendo::test;

class TestMaintenanceCommands : public QObject {
    Q_OBJECT

    using Program = ProgramFixture;

    static void prefs(AppFolder& folder, const QString& backupFolder) {
        folder.write(QStringLiteral("ab.ini"), "[preferences]\r\nlanguage=German\r\ndbpath=" +
                                                   backupFolder.toUtf8() + "\r\n");
    }
    static QStringList names(const AppFolder& folder) {
        return storedValuesIn(folder.data(), fName);
    }
    static void trigger(Program& p, const char* command) {
        p.main->action(QString::fromLatin1(command))->trigger();
    }
    static QString recordCountPanel(Program& p) {
        return p.main->statusPanels()->panelText(int(StatusPanel::RecordCount));
    }

private Q_SLOTS:
    void backupMakesTheDatedCopy() {
        QTemporaryDir backups;
        AppFolder folder;
        prefs(folder, backups.path());
        folder.addRecords({{"Adler", "Anna", ""}, {"Berg", "Bernd", ""}});
        DialogRecorder dialogs;
        Program p(folder);

        QTest::keyClick(p.main, Qt::Key_F7);
        const QString target = backupTarget(backups.path(), datedFolderName(QDate::currentDate()));
        QCOMPARE(storedValuesIn(target, fName),
                 QStringList({QStringLiteral("Adler"), QStringLiteral("Berg")}));
        QVERIFY(QFile::exists(target + QStringLiteral("/ab.ini")));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("       Datenbank wurde gesichert!       "));
        QCOMPARE(dialogs.shown[0].kind, DialogKind::Information);
        QVERIFY(p.main->table()->isActive());

        // A backup folder that does not exist: the notice, and nothing written.
        prefs(folder, backups.path() + QStringLiteral("/missing"));
        dialogs.shown.clear();
        trigger(p, "Sichern1");
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].text,
                 QStringLiteral("       Sicherungspfad existiert nicht!       "));
        QCOMPARE(dialogs.shown[0].kind, DialogKind::Error);
        QVERIFY(!QFileInfo::exists(backups.path() + QStringLiteral("/missing")));
    }

    void restoreBringsBackABackup() {
        QTemporaryDir backups;
        AppFolder folder;
        prefs(folder, backups.path());
        folder.addRecords({{"Adler", "Anna", ""}, {"Berg", "Bernd", ""}});
        DialogRecorder dialogs;
        FileDialogRecorder files;
        Program p(folder);
        QTest::keyClick(p.main, Qt::Key_F7);
        const QString backup = backupTarget(backups.path(), datedFolderName(QDate::currentDate()));

        const std::vector<Record> later{rec("Zeller", "Zoe")};
        p.main->table()->appendRecords(later);
        QCOMPARE(names(folder).size(), 3);

        // The panel still shows the count of start-up: the restore must refresh it.
        p.main->statusPanels()->setPanelText(int(StatusPanel::RecordCount), QString());
        files.answerNext(backup);
        dialogs.shown.clear();
        QTest::keyClick(p.main, Qt::Key_F11);

        QCOMPARE(files.asked.size(), 1);
        QCOMPARE(files.asked[0].kind, FileDialogKind::Folder);
        QCOMPARE(files.asked[0].caption, QStringLiteral("Bitte Ordner auswählen ..."));
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown[0].text,
                 QStringLiteral("     Die Datenbank wird wiederhergestellt!    "));
        QCOMPARE(dialogs.shown[0].kind, DialogKind::Warning);
        QCOMPARE(dialogs.shown[0].buttons, DialogButtons::OkCancel);
        QCOMPARE(dialogs.shown[1].text,
                 QStringLiteral("     Die Wiederherstellung der Datenbank war erfolgreich!     "));
        QCOMPARE(dialogs.shown[1].kind, DialogKind::Information);

        QCOMPARE(names(folder), QStringList({QStringLiteral("Adler"), QStringLiteral("Berg")}));
        QVERIFY(p.main->table()->isActive());
        QCOMPARE(p.main->table()->recordCount(), 2);
        QCOMPARE(recordCountPanel(p), QStringLiteral("2"));
    }

    // Cancel at the folder chooser or at the question: nothing happens.
    void restoreCancelled() {
        for (const bool atFolder : {true, false}) {
            QTemporaryDir source;
            AppFolder folder;
            prefs(folder, source.path());
            folder.addRecords({{"Adler", "Anna", ""}});
            DialogRecorder dialogs(DialogResult::Cancel);
            FileDialogRecorder files;
            Program p(folder);
            // A restorable folder: a copy of another table.
            AppFolder other;
            other.addRecords({{"Fremd", "", ""}});
            if (!atFolder)
                files.answerNext(other.data());
            trigger(p, "Wiederherstellen1");

            QCOMPARE(files.asked.size(), 1);
            QCOMPARE(dialogs.shown.size(), atFolder ? 0 : 1);
            QVERIFY(p.main->table()->isActive());
            QCOMPARE(p.main->table()->recordCount(), 1);
            QCOMPARE(names(folder), QStringList({QStringLiteral("Adler")}));
        }
    }

    void restoreFromAFolderWithoutTheTable() {
        QTemporaryDir empty;
        AppFolder folder;
        prefs(folder, empty.path());
        folder.addRecords({{"Adler", "Anna", ""}});
        const QByteArray table = folder.read(QStringLiteral("adressen.adt"));
        DialogRecorder dialogs;
        FileDialogRecorder files;
        Program p(folder);
        p.main->statusPanels()->setPanelText(int(StatusPanel::RecordCount), QString());
        files.answerNext(empty.path());
        trigger(p, "Wiederherstellen1");

        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown[1].text,
                 QStringLiteral("     Fehler bei der Wiederherstellung der Datenbank!     "));
        QCOMPARE(dialogs.shown[1].kind, DialogKind::Error);
        QVERIFY(p.main->table()->isActive());
        QCOMPARE(names(folder), QStringList({QStringLiteral("Adler")}));
        QCOMPARE(folder.read(QStringLiteral("adressen.adt")), table);
        QCOMPARE(recordCountPanel(p), QStringLiteral("1"));
        // The reason is in the error log.
        QVERIFY(folder.read(QStringLiteral("log.txt")).contains("ERestoreError"));
    }

    void packingWritesACabinet() {
        const QString gcab = QStandardPaths::findExecutable(QStringLiteral("gcab"));
        if (gcab.isEmpty())
            QSKIP("gcab is not installed: the cabinet cannot be read independently");
        QTemporaryDir out;
        AppFolder folder;
        prefs(folder, out.path());
        folder.write(QStringLiteral("col.ini"), "[Col]\r\n");
        folder.addRecords({{"Adler", "Anna", ""}});
        DialogRecorder dialogs;
        FileDialogRecorder files;
        Program p(folder);
        const QString cab = out.path() + QStringLiteral("/daten.CAB");
        files.answerNext(out.path() + QStringLiteral("/daten"));
        trigger(p, "Datenpacken1");

        QCOMPARE(files.asked.size(), 1);
        QCOMPARE(files.asked[0].kind, FileDialogKind::Save);
        QCOMPARE(files.asked[0].start, QStringLiteral("upload.CAB"));
        QCOMPARE(files.asked[0].filter, QStringLiteral("CAB Dateien (*.CAB)"));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Daten wurden komprimiert!"));
        QProcess list;
        list.start(gcab, {QStringLiteral("-t"), cab});
        QVERIFY(list.waitForFinished());
        QCOMPARE(list.exitCode(), 0);
        const QString listing = QString::fromUtf8(list.readAllStandardOutput());
        for (const char* name : {"ab.ini", "adressen.adi", "adressen.adt", "group.txt"})
            QVERIFY2(listing.contains(QString::fromLatin1(name)), qPrintable(listing));
        QVERIFY(!QFileInfo::exists(folder.path() + QStringLiteral("temp")));

        // Packing again offers the last name; that file exists, so it stays as it is.
        const QByteArray written = readBytes(cab);
        files.answerNext(cab);
        dialogs.shown.clear();
        trigger(p, "Datenpacken1");
        QCOMPARE(files.asked[1].start, cab);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(
            dialogs.shown[0].text,
            QStringLiteral("Die angegebene Datei existiert bereits. Bitte Dateinamen ändern!"));
        QCOMPARE(dialogs.shown[0].kind, DialogKind::Error);
        QCOMPARE(readBytes(cab), written);
    }

    void packingCancelled() {
        AppFolder folder;
        prefs(folder, QString());
        DialogRecorder dialogs;
        FileDialogRecorder files;
        Program p(folder);
        trigger(p, "Datenpacken1");
        QCOMPARE(files.asked.size(), 1);
        QVERIFY(dialogs.shown.isEmpty());
        QVERIFY(!QFileInfo::exists(folder.path() + QStringLiteral("temp")));
    }
};

QTEST_MAIN(TestMaintenanceCommands)
#include "tst_maintenancecommands.moc"
