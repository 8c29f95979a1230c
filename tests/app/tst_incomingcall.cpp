// A call offered by the (simulated) ISDN driver, end to end through the program:
// the monitor answers it, the main window looks the caller up, shows the
// notice and writes the call log.
#include "addressbook/AddressTable.h"
#include "app/Program.h"
#include "app/TForm1.h"
#include "capi/CapiSimFixture.h"
#include "common/IniFile.h"
#include "common/StatusBar.h"
#include "testsupport/AppFolder.h"
#include "testsupport/DialogRecorder.h"
#include "testsupport/ProgramFixture.h"

#include <QTest>

#include <optional>

using namespace kalvendo;
using namespace kalvendo::test;

class TestIncomingCall : public QObject {
    Q_OBJECT

    struct Program {
        AppFolder folder;
        QTemporaryDir logDir;
        CapiSimControl sim;
        std::optional<ProgramFixture> program;
        TForm1* main = nullptr;

        explicit Program(const QByteArray& extraPrefs = {}) {
            sim.reset();
            folder.write(QStringLiteral("ab.ini"), "[preferences]\r\nlanguage=German\r\nisdn=1\r\n"
                                                   "isdnpath=" +
                                                       logDir.path().toUtf8() + "\r\n" +
                                                       extraPrefs);
            insertRecords(
                folder.data(),
                {record({{fName, "Adler"}, {fVorname, "Anna"}, {fTsuche, "0301234567"}}),
                 record({{fName, "Berg"}, {fVorname, "Bernd"}, {fHsuche, "0171999"}}),
                 record({{fName, "Zeller"}, {fVorname, "Zora"}, {fTsuche, "0301234567"}})});
            program.emplace(folder, false);
            main = program->main;
        }
        // Offers a national call and waits until the notice is shown.
        QString call(const QString& digits, int typeOfNumber = 0x21) {
            main->statusPanels()->setPanelText(2, QString());
            const unsigned before = sim.putCount();
            sim.queue(sim.lastApplId(), simtest::connectInd(0x101 + before, typeOfNumber, digits));
            if (!QTest::qWaitFor([&] { return !main->statusPanels()->panelText(2).isEmpty(); },
                                 5000))
                return QStringLiteral("<no notice>");
            return main->statusPanels()->panelText(2);
        }
        QString current() const { return main->table()->fieldValue(fName); }
        QString pref(const char* key) const {
            return IniFile(folder.dataFile(QStringLiteral("ab.ini")))
                .readString(QStringLiteral("preferences"), QString::fromLatin1(key),
                            QStringLiteral("<none>"));
        }
        QByteArray log() const { return readBytes(logDir.filePath(QStringLiteral("isdnlog.txt"))); }
    };

private Q_SLOTS:
    void initTestCase() {
        CapiSimControl sim;
        QVERIFY2(sim.isValid(), "the simulated driver is not loadable");
    }

    void knownCallerBecomesCurrent() {
        DialogRecorder dialogs;
        Program p;
        QVERIFY(p.sim.lastApplId() != 0);
        QCOMPARE(p.current(), QStringLiteral("Adler"));
        p.main->table()->last();
        const QString notice = p.call(QStringLiteral("301234567"));
        // The monitor put the "0" of a national number in front; the first of
        // the two records with that number wins.
        QVERIFY2(notice.endsWith(QStringLiteral("  -   Anruf von:  Anna Adler  an:  4711")),
                 qPrintable(notice));
        QCOMPARE(p.current(), QStringLiteral("Adler"));
        QCOMPARE(p.log(), (notice + QStringLiteral("\r\n")).toUtf8());
        QCOMPARE(p.pref("isdncpn"), QStringLiteral("<none>"));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void mobileNumberAndUnknownCallerWhileMinimised() {
        Program p;
        QVERIFY(p.call(QStringLiteral("171999")).contains(QStringLiteral("Bernd Berg")));
        p.main->showMinimized();
        const QString notice = p.call(QStringLiteral("89777"));
        QVERIFY2(notice.contains(QStringLiteral("Anruf von:  089777  an:  4711")),
                 qPrintable(notice));
        QTRY_VERIFY(!p.main->isMinimized());
        QCOMPARE(p.pref("isdncpn"), QStringLiteral("089777"));
        QCOMPARE(p.log().count("\r\n"), 2);
    }

    void callWithoutNumber() {
        Program p("isdncpn=0301\r\n");
        p.main->table()->last();
        const QString notice = p.call(QString(), -1);
        QVERIFY2(notice.contains(QStringLiteral("Anruf von:  Nummer unbekannt!  an:  4711")),
                 qPrintable(notice));
        QCOMPARE(p.current(), QStringLiteral("Zeller"));
        QCOMPARE(p.pref("isdncpn"), QStringLiteral("0301"));
    }

    void hostileNumberIsLookedUpAndLogged() {
        Program p;
        const QString number = QStringLiteral("0") + QString(200, u'9');
        QVERIFY(p.call(number.mid(1)).contains(number));
        QVERIFY(p.log().contains(number.toUtf8()));
        QCOMPARE(p.main->table()->recordCount(), 3);
    }
};

QTEST_MAIN(TestIncomingCall)
#include "tst_incomingcall.moc"
