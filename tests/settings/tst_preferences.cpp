#include "common/Exception.h"
#include "common/IniFile.h"
#include "settings/Preferences.h"
#include "testsupport/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

// Every dialog key set to a value of its own, so that a key written under the
// wrong name or from the wrong field shows in the file.
DialogPreferences sample() {
    DialogPreferences p;
    p.language = QStringLiteral("English");
    const char* user[15] = {"Müller", "Anna",  "Firma & Co", "Hauptstr. 1", "12345",
                            "Köln",   "DE",    "0221 1",     "0221 2",      "0170 3",
                            "a@b.de", "www.x", "Sparkasse",  "37050198",    "123 456"};
    for (size_t i = 0; i < 15; ++i)
        p.user[i] = QString::fromUtf8(user[i]);
    p.dbpath = QStringLiteral("/srv/backup");
    p.group = QStringLiteral("Freunde");
    p.office = 1;
    p.definably = QStringLiteral("Kunden-Nr.:");
    p.adresses = QStringLiteral("Sehr geehrte Damen und Herren,");
    p.greetings = QStringLiteral("Mit freundlichen Grüßen");
    p.letterBank = true;
    p.letterCountry = false;
    p.exportFormat = -1;
    p.exportPrint = 3;
    p.pdfTitle = QStringLiteral("Adressen");
    p.pdfAuthor = QStringLiteral("A. Müller");
    p.isdn = true;
    p.isdnlog = false;
    p.isdncp = true;
    p.isdnpath = QStringLiteral("/var/log/isdn");
    return p;
}

const QByteArray kSampleLayout = "[preferences]\r\n"
                                 "language=English\r\n"
                                 "dbpath=/srv/backup\r\n"
                                 "group=Freunde\r\n"
                                 "office=1\r\n"
                                 "definably=Kunden-Nr.:\r\n"
                                 "isdn=1\r\n"
                                 "isdnlog=0\r\n"
                                 "isdncp=1\r\n"
                                 "isdnpath=/var/log/isdn\r\n"
                                 "\r\n"
                                 "[user]\r\n"
                                 "name=M\xc3\xbcller\r\n"
                                 "firstname=Anna\r\n"
                                 "company=Firma & Co\r\n"
                                 "street=Hauptstr. 1\r\n"
                                 "zip=12345\r\n"
                                 "city=K\xc3\xb6ln\r\n"
                                 "country=DE\r\n"
                                 "tel=0221 1\r\n"
                                 "fax=0221 2\r\n"
                                 "mobil=0170 3\r\n"
                                 "mail=a@b.de\r\n"
                                 "website=www.x\r\n"
                                 "bank=Sparkasse\r\n"
                                 "code=37050198\r\n"
                                 "account=123 456\r\n"
                                 "\r\n"
                                 "[letter]\r\n"
                                 "adresses=Sehr geehrte Damen und Herren,\r\n"
                                 "greetings=Mit freundlichen Gr\xc3\xbc\xc3\x9f"
                                 "en\r\n"
                                 "bank=1\r\n"
                                 "country=0\r\n"
                                 "\r\n"
                                 "[export]\r\n"
                                 "format=-1\r\n"
                                 "print=3\r\n"
                                 "\r\n"
                                 "[pdf]\r\n"
                                 "title=Adressen\r\n"
                                 "author=A. M\xc3\xbcller\r\n";

bool sameValues(const DialogPreferences& a, const DialogPreferences& b) {
    return a.language == b.language && a.user == b.user && a.dbpath == b.dbpath &&
           a.group == b.group && a.office == b.office && a.definably == b.definably &&
           a.adresses == b.adresses && a.greetings == b.greetings && a.letterBank == b.letterBank &&
           a.letterCountry == b.letterCountry && a.exportFormat == b.exportFormat &&
           a.exportPrint == b.exportPrint && a.pdfTitle == b.pdfTitle &&
           a.pdfAuthor == b.pdfAuthor && a.isdn == b.isdn && a.isdnlog == b.isdnlog &&
           a.isdncp == b.isdncp && a.isdnpath == b.isdnpath;
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    // The same key reads differently at different readers.
    void missingIsdnKeysReadPerReader() {
        putFile(path("noisdn.ini"), "[preferences]\r\nlanguage=German\r\n");
        const IniFile ab(path("noisdn.ini"));
        QVERIFY(readPref(ab, prefs::startup::isdn));
        QVERIFY(readPref(ab, prefs::callNotice::isdnlog));
        QVERIFY(readPref(ab, prefs::numberSearch::isdncp));
        const DialogPreferences d = DialogPreferences::read(ab);
        QVERIFY(!d.isdn);
        QVERIFY(!d.isdnlog);
        QVERIFY(!d.isdncp);
        QCOMPARE(d.language, QStringLiteral("German"));
        QCOMPARE(readPref(ab, prefs::startup::searchbox), 0);
    }

    void letterBank_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("dialogTicked");
        QTest::addColumn<bool>("bankLine");
        QTest::newRow("1") << QByteArray("bank=1") << true << true;
        QTest::newRow("2 ticks, adds no line") << QByteArray("bank=2") << true << false;
        QTest::newRow("0") << QByteArray("bank=0") << false << false;
        QTest::newRow("absent") << QByteArray("country=1") << false << false;
        QTest::newRow("text") << QByteArray("bank=ja") << false << false;
        QTest::newRow("hex 1") << QByteArray("bank=0x1") << true << true;
    }
    void letterBank() {
        QFETCH(QByteArray, line);
        QFETCH(bool, dialogTicked);
        QFETCH(bool, bankLine);
        putFile(path("bank.ini"), "[letter]\r\n" + line + "\r\n");
        const IniFile ab(path("bank.ini"));
        QCOMPARE(DialogPreferences::read(ab).letterBank, dialogTicked);
        QCOMPARE(letterWantsBankLine(readPref(ab, prefs::letter::bank)), bankLine);
    }

    void dialogWriteLaysOutANewFileInWritingOrder() {
        const QString p = path("fresh/ab.ini");
        QVERIFY(QDir().mkpath(path("fresh")));
        IniFile ab(p);
        sample().write(ab);
        QCOMPARE(readBytes(p), kSampleLayout);
        QVERIFY(sameValues(DialogPreferences::read(ab), sample()));
    }

    // Keys that exist are replaced where they stand; everything else in the
    // file, including lines the program cannot read, stays.
    void dialogWriteKeepsOtherLines() {
        const QString p = path("kept.ini");
        putFile(p, "; installed defaults\r\n"
                   "[search]\r\n"
                   "number=https://example.org/?n=%variable:name%\r\n"
                   "\r\n"
                   "[PREFERENCES]\r\n"
                   "searchbox=3\r\n"
                   "Language = German\r\n"
                   "garbage line without equals\r\n"
                   "isdn=abc\r\n"
                   "\r\n"
                   "[unknown\r\n"
                   "x=y\r\n");
        IniFile ab(p);
        const DialogPreferences before = DialogPreferences::read(ab);
        QCOMPARE(before.language, QStringLiteral("German"));
        QVERIFY(!before.isdn); // not a number: the dialog's default
        sample().write(ab);
        const QByteArray out = readBytes(p);
        QVERIFY(out.startsWith("; installed defaults\r\n"
                               "[search]\r\n"
                               "number=https://example.org/?n=%variable:name%\r\n"
                               "\r\n"
                               "[PREFERENCES]\r\n"
                               "searchbox=3\r\n"
                               "language=English\r\n"
                               "garbage line without equals\r\n"
                               "isdn=1\r\n"
                               "dbpath=/srv/backup\r\n"));
        QVERIFY(out.contains("\r\n[unknown\r\nx=y\r\n"));
        QCOMPARE(readPref(ab, prefs::startup::searchbox), 3);
        QCOMPARE(readPref(ab, prefs::numberSearch::number),
                 QStringLiteral("https://example.org/?n=%variable:name%"));
        QVERIFY(sameValues(DialogPreferences::read(ab), sample()));
    }

    void refusedWriteStopsAtTheFirstKey() {
        QVERIFY(QDir().mkpath(path("ro")));
        const QString p = path("ro/ab.ini");
        putFile(p, "[preferences]\r\nlanguage=German\r\n");
        QFile::setPermissions(p, QFileDevice::ReadOwner);
        IniFile ab(p);
        QVERIFY_THROWS_EXCEPTION(EIniFileException, sample().write(ab));
        QCOMPARE(readBytes(p), QByteArray("[preferences]\r\nlanguage=German\r\n"));
        QCOMPARE(QDir(path("ro")).entryList(QDir::Files), QStringList{QStringLiteral("ab.ini")});
    }

    void readGroupFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("groups");
        const QStringList three = {QStringLiteral("Vereinsgäste"), QStringLiteral("Arbeit"),
                                   QStringLiteral("Öffentlich")};
        QTest::newRow("utf-8, user's order")
            << QByteArray("Vereinsg\xc3\xa4ste\r\nArbeit\r\n\xc3\x96"
                          "ffentlich\r\n")
            << three;
        QTest::newRow("windows-1252") << QByteArray("Vereinsg\xe4ste\r\nArbeit\r\n\xd6"
                                                    "ffentlich\r\n")
                                      << three;
        QTest::newRow("bom, LF, no final break")
            << QByteArray("\xef\xbb\xbfVereinsg\xc3\xa4ste\nArbeit\n\xc3\x96"
                          "ffentlich")
            << three;
        QTest::newRow("empty line kept")
            << QByteArray("A\r\n\r\nB\r\n")
            << QStringList{QStringLiteral("A"), QString(), QStringLiteral("B")};
        QTest::newRow("empty file") << QByteArray() << QStringList();
    }
    void readGroupFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, groups);
        putFile(path("group.txt"), bytes);
        QCOMPARE(kalvendo::readGroupFile(path("group.txt")), groups);
    }

    void groupFileWriteAndFailures() {
        const QString p = path("written.txt");
        writeGroupFile(
            p, {QStringLiteral("Zuletzt"), QStringLiteral("Äpfel"), QStringLiteral("Äpfel")});
        QCOMPARE(readBytes(p), QByteArray("Zuletzt\r\n\xc3\x84pfel\r\n\xc3\x84pfel\r\n"));

        QCOMPARE(kalvendo::readGroupFile(path("nothing-here.txt")), QStringList());
        // Present but unreadable must not pass for an empty list.
        QVERIFY(QDir().mkpath(path("dir.txt")));
        QVERIFY_THROWS_EXCEPTION(EInOutError, kalvendo::readGroupFile(path("dir.txt")));
    }

    void adsCharSets_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("ansi");
        QTest::addColumn<QString>("oem");
        QTest::newRow("usual file")
            << QByteArray("[SETTINGS]\r\nANSI_CHAR_SET=GERMAN\r\nOEM_CHAR_SET=GERMAN850\r\n")
            << QStringLiteral("GERMAN") << QStringLiteral("GERMAN850");
        QTest::newRow("first line is not looked at")
            << QByteArray("ANSI_CHAR_SET=FIRST\nOEM_CHAR_SET=USA\n") << QString()
            << QStringLiteral("USA");
        QTest::newRow("last match wins") << QByteArray("[S]\nANSI_CHAR_SET=A\nANSI_CHAR_SET=B\n")
                                         << QStringLiteral("B") << QString();
        QTest::newRow("prefix is case-sensitive and exact")
            << QByteArray("[S]\nansi_char_set=x\n ANSI_CHAR_SET=y\nOEM_CHAR_SET=\n") << QString()
            << QString();
        QTest::newRow("no such lines") << QByteArray("[S]\nLOCKING=1\n") << QString() << QString();
    }
    void adsCharSets() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, ansi);
        QFETCH(QString, oem);
        putFile(path("adslocal.cfg"), bytes);
        const AdsCharSets sets = readAdsCharSets(path("adslocal.cfg"));
        QCOMPARE(sets.ansi, ansi);
        QCOMPARE(sets.oem, oem);
        const AdsCharSets none = readAdsCharSets(path("no-adslocal.cfg"));
        QVERIFY(none.ansi.isEmpty() && none.oem.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
