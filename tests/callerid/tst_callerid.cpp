#include "addressbook/AddressTable.h"
#include "addressbook/PreparedNumber.h"
#include "callerid/CallNotice.h"
#include "callerid/PhoneNumber.h"
#include "common/IniFile.h"
#include "common/TextFile.h"
#include "testsupport/AppFolder.h"

#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {
const CallNoticeTexts kGerman{QStringLiteral("Anruf von:"), QStringLiteral("an:"),
                              QStringLiteral("Nummer unbekannt!")};
const QDateTime kWhen(QDate(2026, 12, 11), QTime(9, 5, 7));
const QString kPrefix = QStringLiteral("11.12.2026 / 09:05:07  -   Anruf von:  ");
} // namespace

class TestCallerId : public QObject {
    Q_OBJECT

    struct Fixture {
        AppFolder folder;
        AddressTable table;
        QStringList shown;
        int raised = 0;

        explicit Fixture(const QByteArray& abIni) {
            folder.write(QStringLiteral("ab.ini"), abIni);
            table.connectFolder(folder.data());
            table.open();
        }
        void add(const char* name, const char* first, const char* tel, const char* mobil) {
            table.append();
            table.setFieldValue(fName, QString::fromUtf8(name));
            table.setFieldValue(fVorname, QString::fromUtf8(first));
            table.setFieldValue(fTsuche, kalvendo::prepareNumber(QString::fromUtf8(tel)));
            table.setFieldValue(fHsuche, kalvendo::prepareNumber(QString::fromUtf8(mobil)));
            table.post();
        }
        QString call(const QString& caller, const QString& called = QStringLiteral("4711")) {
            IncomingCall handler(
                table, folder.dataFile(QStringLiteral("ab.ini")), kGerman,
                {[this](const QString& s) { shown.append(s); }, [this]() { ++raised; }});
            return handler.handle(caller, called, kWhen);
        }
        QString pref(const char* key) const {
            return IniFile(folder.dataFile(QStringLiteral("ab.ini")))
                .readString(QStringLiteral("preferences"), QString::fromLatin1(key),
                            QStringLiteral("<none>"));
        }
    };

private Q_SLOTS:
    void prepareNumber_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("prepared");
        QTest::newRow("separators")
            << QStringLiteral("030/12 34-56") << QStringLiteral("030123456");
        QTest::newRow("only separators") << QStringLiteral(" /-- / ") << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("international keeps plus and parentheses")
            << QStringLiteral("+49 (0)30 1234") << QStringLiteral("+49(0)301234");
        QTest::newRow("tab and letters stay")
            << QStringLiteral("030\t12 ab.5") << QStringLiteral("030\t12ab.5");
    }
    void prepareNumber() {
        QFETCH(QString, input);
        QFETCH(QString, prepared);
        QCOMPARE(kalvendo::prepareNumber(input), prepared);
    }

    void phoneKeys() {
        for (QChar c : QStringLiteral("0123456789 -/\b\t\x03\x16\x18"))
            QVERIFY2(isPhoneKey(c), qPrintable(QString::number(c.unicode())));
        for (QChar c : QStringLiteral("+()\ra.#"))
            QVERIFY2(!isPhoneKey(c), qPrintable(QString::number(c.unicode())));
    }

    void bulkPreparationRewritesEveryRecord() {
        Fixture f("[preferences]\r\nisdnlog=0\r\n");
        prepareAllNumbers(f.table); // an empty table is fine
        for (const char* tel : {"030 / 12-34", "+49 (0)89 1", "", "0171"}) {
            f.table.append();
            f.table.setFieldValue(fName, QString::fromLatin1(tel));
            f.table.setFieldValue(fTelefon, QString::fromLatin1(tel));
            f.table.setFieldValue(fMobil, QString::fromLatin1(tel) + QStringLiteral("-9"));
            f.table.setFieldValue(fTsuche, QStringLiteral("stale"));
            f.table.post();
        }
        qsizetype reported = 0;
        prepareAllNumbers(f.table, [&](qsizetype done) { reported = done; });
        QCOMPARE(reported, 4);
        QStringList tsuche, hsuche;
        for (f.table.first(); !f.table.eof(); f.table.next()) {
            tsuche << f.table.fieldValue(fTsuche);
            hsuche << f.table.fieldValue(fHsuche);
        }
        // In name order: "", "+49 ...", "0171", "030 ...".
        QCOMPARE(tsuche, (QStringList{QString(), QStringLiteral("+49(0)891"),
                                      QStringLiteral("0171"), QStringLiteral("0301234")}));
        QCOMPARE(hsuche, (QStringList{QStringLiteral("9"), QStringLiteral("+49(0)8919"),
                                      QStringLiteral("01719"), QStringLiteral("03012349")}));
        // Found by the look-up straight away.
        QVERIFY(f.call(QStringLiteral("0301234")).contains(QStringLiteral("030 / 12-34")));
    }

    void bulkFailureKeepsWhatWasDone() {
        Fixture f("[preferences]\r\nisdnlog=0\r\n");
        f.add("A", "", "", "");
        f.add("B", "", "", "");
        f.add("C", "", "", "");
        int seen = 0;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, f.table.updateEach([&](Record& r) {
            if (++seen == 3)
                throw std::runtime_error("disk on fire");
            r[fFax] = QStringLiteral("done");
        }));
        QStringList fax;
        AddressTable reopened;
        reopened.connectFolder(f.folder.data());
        reopened.open();
        for (reopened.first(); !reopened.eof(); reopened.next())
            fax << reopened.fieldValue(fFax);
        QCOMPARE(fax, (QStringList{QStringLiteral("done"), QStringLiteral("done"), QString()}));
    }

    void foundThroughMobileOnly() {
        Fixture f("[preferences]\r\nisdnlog=0\r\n");
        f.add("Adler", "Anna", "030 111", "0171 222");
        f.add("Berg", "Bernd", "030 333", "");
        f.table.last();
        QCOMPARE(f.call(QStringLiteral("0171222")),
                 kPrefix + QStringLiteral("Anna Adler  an:  4711"));
        QCOMPARE(f.table.fieldValue(fName), QStringLiteral("Adler"));
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.raised, 1);
        QCOMPARE(f.pref("isdncpn"), QStringLiteral("<none>"));
    }

    void firstOfTwoEqualNumbersWins() {
        Fixture f("[preferences]\r\nisdnlog=0\r\n");
        f.add("Zeller", "Zora", "030-55", "");
        f.add("Adler", "Anna", "030 55", "");
        f.table.last();
        QVERIFY(f.call(QStringLiteral("03055")).endsWith(QStringLiteral("Anna Adler  an:  4711")));
        QCOMPARE(f.table.fieldValue(fName), QStringLiteral("Adler"));
    }

    void noNumberLeavesEverything() {
        Fixture f("[preferences]\r\nisdncpn=0301\r\nisdnlog=0\r\n");
        f.add("Adler", "Anna", "", "");
        f.add("Berg", "Bernd", "", "");
        f.table.last();
        QCOMPARE(f.call(QString()), kPrefix + QStringLiteral("Nummer unbekannt!  an:  4711"));
        QCOMPARE(f.table.fieldValue(fName), QStringLiteral("Berg"));
        QCOMPARE(f.pref("isdncpn"), QStringLiteral("0301"));
    }

    void unknownNumberIsRememberedAndLogged() {
        QTemporaryDir logDir;
        Fixture f("[preferences]\r\nisdnpath=" + logDir.path().toUtf8() + "/\r\n");
        f.add("Adler", "Anna", "030 111", "");
        const QString notice = f.call(QStringLiteral("089777"));
        QCOMPARE(notice, kPrefix + QStringLiteral("089777  an:  4711"));
        QCOMPARE(f.raised, 1);
        QCOMPARE(f.pref("isdncpn"), QStringLiteral("089777"));
        // Created with one line, then appended to.
        f.call(QStringLiteral("0301"));
        QFile log(logDir.filePath(QStringLiteral("isdnlog.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(),
                 (notice + QStringLiteral("\r\n") + kPrefix + QStringLiteral("0301  an:  4711\r\n"))
                     .toUtf8());
    }

    void noLogWithoutFolder() {
        Fixture f("[preferences]\r\nisdnlog=1\r\n");
        f.call(QStringLiteral("0301"));
        QVERIFY(!QFile::exists(f.folder.path() + QStringLiteral("isdnlog.txt")));
        QVERIFY(!QFile::exists(f.folder.dataFile(QStringLiteral("isdnlog.txt"))));
    }

    void missingLogFolderFailsAfterTheNotice() {
        Fixture f("[preferences]\r\nisdnpath=/nonexistent/kalvendo\r\n");
        QVERIFY_THROWS_EXCEPTION(EInOutError, f.call(QStringLiteral("0301")));
        // The steps before the log took effect.
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.pref("isdncpn"), QStringLiteral("0301"));
    }

    void controlCharactersNeverForgeLines() {
        QTemporaryDir logDir;
        Fixture f("[preferences]\r\nisdnlog=1\r\nisdnpath=" + logDir.path().toUtf8() + "\r\n");
        f.add("Adler\r\n[search]", "Anna\x1b[2J", "030 111", "");
        const QString forged = QStringLiteral("0301234\r\n[search]\r\nurl=http://evil/\u202e");
        QCOMPARE(f.call(forged, QStringLiteral("4711\n\n0815")),
                 kPrefix + QStringLiteral("0301234 [search] url=http://evil/   an:  4711 0815"));
        QCOMPARE(f.pref("isdncpn"), QStringLiteral("0301234 [search] url=http://evil/"));
        QCOMPARE(f.call(QStringLiteral("030111")),
                 kPrefix + QStringLiteral("Anna [2J Adler [search]  an:  4711"));
        QCOMPARE(f.shown.size(), 2);
        for (const QString& s : std::as_const(f.shown))
            QCOMPARE(withoutControlChars(s), s);

        // One line per call; the forged section never reaches ab.ini either.
        QFile log(logDir.filePath(QStringLiteral("isdnlog.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray bytes = log.readAll();
        QCOMPARE(bytes.count('\n'), 2);
        QCOMPARE(bytes.count('\r'), 2);
        QCOMPARE(bytes, (f.shown.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
        const IniFile ab(f.folder.dataFile(QStringLiteral("ab.ini")));
        QVERIFY(!ab.sectionExists(QStringLiteral("search")));

        // Whoever builds a line, the call log keeps it to one.
        appendCallLog(logDir.path(), QStringLiteral("a\r\nb"));
        QVERIFY(log.seek(0));
        QCOMPARE(log.readAll().count('\n'), 3);
    }

    void hostileNumbersAreHarmless() {
        Fixture f("[preferences]\r\nisdnlog=0\r\n");
        f.add("Adler", "Anna", "030", "");
        const QString longNumber(200, u'7');
        QVERIFY(f.call(longNumber).contains(longNumber));
        QCOMPARE(f.pref("isdncpn"), longNumber);
        const QString sql = QStringLiteral("' OR 1=1; DROP TABLE adressen; --");
        QVERIFY(f.call(sql).contains(sql));
        QCOMPARE(f.table.recordCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCallerId)
#include "tst_callerid.moc"
