#include "common/IniFile.h"
#include "testsupport/Files.h"
#include "testsupport/FullDisk.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

class TestIniFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    void readInteger_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << QByteArray("42") << 42;
        QTest::newRow("negative") << QByteArray("-1") << -1;
        QTest::newRow("hex") << QByteArray("0x1F") << 31;
        QTest::newRow("blanks") << QByteArray("  7  ") << 7;
        QTest::newRow("text") << QByteArray("abc") << 99;
        QTest::newRow("empty") << QByteArray("") << 99;
        QTest::newRow("trailing garbage") << QByteArray("12a") << 99;
        QTest::newRow("too large") << QByteArray("99999999999") << 99;
    }
    void readInteger() {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        putFile(path("int.ini"), "[export]\r\nformat=" + value + "\r\n");
        QCOMPARE(IniFile(path("int.ini"))
                     .readInteger(QStringLiteral("export"), QStringLiteral("format"), 99),
                 expected);
    }

    void readsIgnoreCaseAndFallBackToDefaults() {
        putFile(path("a.ini"), "; comment\r\n[Preferences]\r\nISDN = 2\r\nlanguage=English\r\n"
                               "[user]\r\nname=Müller\r\n");
        const IniFile ini(path("a.ini"));
        QVERIFY(ini.readBool(QStringLiteral("preferences"), QStringLiteral("isdn"), false));
        QCOMPARE(ini.readString(QStringLiteral("PREFERENCES"), QStringLiteral("Language"), {}),
                 QStringLiteral("English"));
        QCOMPARE(ini.readString(QStringLiteral("user"), QStringLiteral("name"), {}),
                 QStringLiteral("Müller"));
        QCOMPARE(
            ini.readString(QStringLiteral("user"), QStringLiteral("city"), QStringLiteral("d")),
            QStringLiteral("d"));
        // A key of another section is not found.
        QVERIFY(!ini.readBool(QStringLiteral("user"), QStringLiteral("isdn"), false));
        const IniFile missing(path("none.ini"));
        QVERIFY(missing.readBool(QStringLiteral("preferences"), QStringLiteral("isdn"), true));
    }

    void longValuesAreCut() {
        putFile(path("long.ini"), "[s]\r\nk=" + QByteArray(3000, 'x') + "\r\n");
        QCOMPARE(IniFile(path("long.ini"))
                     .readString(QStringLiteral("s"), QStringLiteral("k"), {})
                     .size(),
                 2047);
    }

    void legacyFileReadAsWindows1252() {
        putFile(path("legacy.ini"), "[user]\r\ncity=M\xfcnchen \x80\r\n");
        QCOMPARE(IniFile(path("legacy.ini"))
                     .readString(QStringLiteral("user"), QStringLiteral("city"), {}),
                 QStringLiteral("München €"));
    }

    void mixedEncodingsSurviveAWrite() {
        // A UTF-8 line beside a line saved by an older Windows program.
        putFile(path("mixed.ini"), "[user]\r\nname=Gr\xc3\xbc\xc3\x9f"
                                   "e\r\ncity=M\xfcnchen\r\n");
        IniFile ini(path("mixed.ini"));
        QCOMPARE(ini.readString(QStringLiteral("user"), QStringLiteral("name"), {}),
                 QStringLiteral("Grüße"));
        ini.writeBool(QStringLiteral("preferences"), QStringLiteral("isdn"), true);
        QCOMPARE(readBytes(path("mixed.ini")), QByteArray("[user]\r\nname=Gr\xc3\xbc\xc3\x9f"
                                                          "e\r\ncity=M\xc3\xbcnchen\r\n\r\n"
                                                          "[preferences]\r\nisdn=1\r\n"));
    }

    void writesReplaceInPlaceAndAppendAtSectionEnd() {
        putFile(path("w.ini"),
                "[preferences]\r\nlanguage=German\r\ngroup=x\r\n\r\n[user]\r\nname=A\r\n");
        IniFile ini(path("w.ini"));
        ini.writeString(QStringLiteral("Preferences"), QStringLiteral("GROUP"),
                        QStringLiteral("y"));
        ini.writeBool(QStringLiteral("preferences"), QStringLiteral("isdn"), false);
        ini.writeInteger(QStringLiteral("export"), QStringLiteral("format"), 2);
        QCOMPARE(readBytes(path("w.ini")),
                 QByteArray("[preferences]\r\nlanguage=German\r\nGROUP=y\r\nisdn=0\r\n\r\n"
                            "[user]\r\nname=A\r\n\r\n[export]\r\nformat=2\r\n"));
    }

    void newFileKeepsWritingOrder() {
        IniFile ini(path("new.ini"));
        ini.writeString(QStringLiteral("preferences"), QStringLiteral("language"),
                        QStringLiteral("German"));
        ini.writeString(QStringLiteral("user"), QStringLiteral("name"), QString());
        ini.writeString(QStringLiteral("preferences"), QStringLiteral("dbpath"), QString());
        ini.writeBool(QStringLiteral("preferences"), QStringLiteral("isdn"), true);
        QCOMPARE(readBytes(path("new.ini")),
                 QByteArray("[preferences]\r\nlanguage=German\r\ndbpath=\r\nisdn=1\r\n\r\n"
                            "[user]\r\nname=\r\n"));
    }

    void lineBreaksInAValueStayInItsLine() {
        putFile(path("lb.ini"), "[letter]\r\nadresses=x\r\n[preferences]\r\nisdn=0\r\n");
        IniFile ini(path("lb.ini"));
        ini.writeString(QStringLiteral("letter"), QStringLiteral("adresses"),
                        QStringLiteral("Liebe\r\n[preferences]\nisdn=1\r"));
        QCOMPARE(readBytes(path("lb.ini")),
                 QByteArray("[letter]\r\nadresses=Liebe [preferences] isdn=1 \r\n"
                            "[preferences]\r\nisdn=0\r\n"));
        QVERIFY(!ini.readBool(QStringLiteral("preferences"), QStringLiteral("isdn"), true));
    }

    void refusedWriteRaisesAndKeepsFile() {
        putFile(path("ro.ini"), "[preferences]\r\ngroup=x\r\n");
        QFile::setPermissions(path("ro.ini"), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
        IniFile ro(path("ro.ini"));
        try {
            ro.writeString(QStringLiteral("preferences"), QStringLiteral("group"), QString());
            QFAIL("write to a read-only file succeeded");
        } catch (const EIniFileException& e) {
            QCOMPARE(e.message(),
                     QStringLiteral("In %1 kann nicht geschrieben werden").arg(path("ro.ini")));
            QCOMPARE(QString::fromLatin1(e.className()), QStringLiteral("EIniFileException"));
        }
        QCOMPARE(readBytes(path("ro.ini")), QByteArray("[preferences]\r\ngroup=x\r\n"));

        IniFile noFolder(path("missing/ab.ini"));
        QVERIFY_THROWS_EXCEPTION(
            EIniFileException, noFolder.writeBool(QStringLiteral("a"), QStringLiteral("b"), true));
    }

    void fullDiskRaisesAndKeepsFile() {
        test::FullDisk disk;
        if (!disk.available())
            QSKIP("cannot mount a tmpfs here (needs root); full-disk case not run");
        const QString file = disk.file(QStringLiteral("ab.ini"));
        QByteArray content = "[preferences]\r\n";
        for (int i = 0; i < 200; ++i)
            content += "key" + QByteArray::number(i) + "=value\r\n";
        putFile(file, content);
        disk.fill();
        IniFile ini(file);
        QVERIFY_THROWS_EXCEPTION(EIniFileException,
                                 ini.writeString(QStringLiteral("preferences"),
                                                 QStringLiteral("key0"), QString(8000, u'v')));
        QCOMPARE(readBytes(file), content);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
