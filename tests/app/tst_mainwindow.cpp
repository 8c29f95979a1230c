// The main window as a user meets it: the whole program created, commands by
// keyboard and mouse, files checked afterwards.
#include "addressbook/AddressTable.h"
#include "addressbook/ui/AddressGrid.h"
#include "addressbook/ui/DBControls.h"
#include "addressbook/ui/FieldsPanel.h"
#include "app/Program.h"
#include "app/TForm1.h"
#include "common/IniFile.h"
#include "common/StatusBar.h"
#include "testsupport/AppFolder.h"
#include "testsupport/DialogRecorder.h"
#include "testsupport/ProgramFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <optional>

using namespace kalvendo;
using namespace kalvendo::test;

class TestMainWindow : public QObject {
    Q_OBJECT

    using Program = ProgramFixture;

    static void prefs(AppFolder& folder, const QByteArray& lines) {
        folder.write(QStringLiteral("ab.ini"), "[preferences]\r\nlanguage=German\r\n" + lines);
    }

private Q_SLOTS:
    void leavingTelephoneFieldPreparesAndSaves() {
        AppFolder folder;
        prefs(folder, "");
        folder.addRecords({{"Adler", "Anna", ""}});
        DialogRecorder dialogs;
        Program p(folder);
        TDBEdit* tel = p.edit(8);
        tel->setFocus();
        QVERIFY(tel->hasFocus());
        QTest::keyClicks(tel, QStringLiteral("+030 (12)/34-5"));
        QTest::keyClick(tel, Qt::Key_Return);
        QCOMPARE(tel->text(), QStringLiteral("030 12/34-5"));
        QTest::keyClick(tel, Qt::Key_Tab);
        QCOMPARE(p.stored(fTelefon), QStringLiteral("030 12/34-5"));
        QCOMPARE(p.stored(fTsuche), QStringLiteral("03012345"));

        // Pasted text is not filtered.
        p.edit(9)->setFocus();
        QApplication::clipboard()->setText(QStringLiteral("+49 171 2"));
        p.edit(9)->paste();
        p.edit(1)->setFocus();
        QCOMPARE(p.stored(fHsuche), QStringLiteral("+491712"));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void leavingUnchangedTelephoneFieldStillWrites() {
        AppFolder folder;
        prefs(folder, "");
        folder.addRecord({{fName, "Adler"}, {fTelefon, "089 / 77"}});
        Program p(folder);
        p.edit(8)->setFocus();
        p.edit(9)->setFocus();
        QCOMPARE(p.stored(fTsuche), QStringLiteral("08977"));
        QCOMPARE(p.main->table()->state(), AddressTable::State::Browse);
    }

    void numberPreparationCommand() {
        AppFolder folder;
        prefs(folder, "");
        folder.addRecord({{fTelefon, "0421 - 1"}, {fMobil, "0160 / 2"}});
        Program p(folder);
        QTest::keyClick(p.main, Qt::Key_N, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(p.stored(fTsuche), QStringLiteral("04211"));
        QCOMPARE(p.stored(fHsuche), QStringLiteral("01602"));
        QCOMPARE(p.main->statusPanels()->panelText(2), QString());
    }

    void startupPresetsAndHeaders() {
        AppFolder folder;
        prefs(folder, "searchbox=3\r\ndefinably=Kd.-Nr.:\r\n");
        Program p(folder);
        auto* search = p.main->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        QCOMPARE(search->currentIndex(), 3);
        QCOMPARE(search->currentText(), QStringLiteral("PLZ"));
        QCOMPARE(p.main->findChild<QLabel*>(QStringLiteral("Label9"))->text(),
                 QStringLiteral("Kd.-Nr.:"));
        QAbstractItemModel* m = p.main->grid()->model();
        QCOMPARE(m->headerData(11, Qt::Horizontal).toString(), QStringLiteral("Kd.-Nr."));
        QCOMPARE(m->headerData(6, Qt::Horizontal).toString(), QStringLiteral("Stadt"));
        QCOMPARE(p.main->statusPanels()->panelText(0), QStringLiteral("Anzahl Datensätze:"));
    }

    void columnWidthsSurviveARestart() {
        AppFolder folder;
        prefs(folder, "");
        {
            Program p(folder);
            QCOMPARE(p.main->grid()->columnWidth(0), 20);
            QCOMPARE(p.main->grid()->columnWidth(3), 64);
            p.main->grid()->setColumnWidth(3, 150);
        }
        QVERIFY(folder.read(QStringLiteral("col.ini")).contains("Col3=150"));
        {
            Program p(folder);
            QCOMPARE(p.main->grid()->columnWidth(3), 150);
        }
        QFile::remove(folder.dataFile(QStringLiteral("col.ini")));
        Program p(folder);
        QCOMPARE(p.main->grid()->columnWidth(3), 64);
    }

    // Exactly the commands that have code are enabled: a command whose code
    // arrives must join the command table, and nothing half-built may be offered.
    void enabledCommandsAreTheImplementedOnes() {
        AppFolder folder;
        prefs(folder, "");
        Program p(folder);
        const QStringList implemented = {QStringLiteral("AlsvCardspeichern1"),
                                         QStringLiteral("Beenden1"),
                                         QStringLiteral("Datenpacken1"),
                                         QStringLiteral("Datensatzlschen1"),
                                         QStringLiteral("Drucken1"),
                                         QStringLiteral("Einstellungen1"),
                                         QStringLiteral("Errorlogsenden1"),
                                         QStringLiteral("Export1"),
                                         QStringLiteral("Hilfe2"),
                                         QStringLiteral("Import1"),
                                         QStringLiteral("Info1"),
                                         QStringLiteral("NeuerDatensatz1"),
                                         QStringLiteral("Nummernaufbereiten1"),
                                         QStringLiteral("OutlookExport1"),
                                         QStringLiteral("Sichern1"),
                                         QStringLiteral("SucheimInternet1"),
                                         QStringLiteral("SucheinDatenstzen1"),
                                         QStringLiteral("Wiederherstellen1"),
                                         QStringLiteral("WindowsMobile1"),
                                         QStringLiteral("nderungenspeichern1")};
        const QStringList implementedButtons = {
            QStringLiteral("SpeedButton1"), QStringLiteral("SpeedButton2"),
            QStringLiteral("SpeedButton3"), QStringLiteral("SpeedButton4"),
            QStringLiteral("ToolButton1"),  QStringLiteral("ToolButton10"),
            QStringLiteral("ToolButton2"),  QStringLiteral("ToolButton3"),
            QStringLiteral("ToolButton4"),  QStringLiteral("ToolButton5"),
            QStringLiteral("ToolButton6"),  QStringLiteral("ToolButton7"),
            QStringLiteral("ToolButton8"),  QStringLiteral("ToolButton9")};

        QStringList enabled;
        QStringList all;
        for (const QAction* a : p.main->findChildren<QAction*>(Qt::FindDirectChildrenOnly)) {
            if (a->objectName().isEmpty() || a->menu())
                continue;
            all << a->objectName();
            if (a->isEnabled())
                enabled << a->objectName();
        }
        enabled.sort();
        QCOMPARE(enabled, implemented);
        QCOMPARE(all.size(), 20); // every menu entry was looked at

        QStringList enabledButtons;
        for (const QToolButton* b : p.main->findChildren<QToolButton*>()) {
            const QString name = b->objectName();
            if (b->window() != p.main) // the settings dialog's page buttons
                continue;
            if ((name.startsWith(QStringLiteral("ToolButton")) ||
                 name.startsWith(QStringLiteral("SpeedButton"))) &&
                b->isEnabled())
                enabledButtons << name;
        }
        enabledButtons.sort();
        QCOMPARE(enabledButtons, implementedButtons);

        QStringList bound = p.main->commands().bound();
        bound.sort();
        QStringList boundExpected =
            implemented + implementedButtons.filter(QStringLiteral("SpeedButton"));
        boundExpected.sort();
        QCOMPARE(bound, boundExpected);
    }

    void newRecordWithKeyboard() {
        AppFolder folder;
        prefs(folder, "");
        DialogRecorder dialogs;
        Program p(folder);
        QTest::keyClick(p.main, Qt::Key_F2);
        p.edit(1)->setFocus();
        QTest::keyClicks(p.edit(1), QStringLiteral("Neumann"));
        QTest::keyClick(p.main, Qt::Key_F4);
        QCOMPARE(p.main->statusPanels()->panelText(1), QStringLiteral("1"));
        QCOMPARE(p.stored(fName), QStringLiteral("Neumann"));
        QCOMPARE(p.main->windowTitle(), QStringLiteral("Kalvendo 2009 -    Neumann"));
        QVERIFY(dialogs.shown.isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
