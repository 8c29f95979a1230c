#include "common/TextFile.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;

class TestTextFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachLineKeepsItsEncoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8 line before a Windows-1252 line")
            << QByteArray("Gr\xc3\xbc\xc3\x9f"
                          "e\r\nStra\xdf"
                          "e \x80\r\n")
            << QStringLiteral("Grüße\r\nStraße €\r\n");
        QTest::newRow("Windows-1252 line first, LF only")
            << QByteArray("M\xfcller\nGr\xc3\xbc\xc3\x9f"
                          "e")
            << QStringLiteral("Müller\nGrüße");
        QTest::newRow("byte order mark, CR only, empty lines") << QByteArray("\xef\xbb\xbf"
                                                                             "\xc3\xa4\r\r\xe4\r")
                                                               << QStringLiteral("ä\r\rä\r");
        // Windows-1252 bytes that happen to form valid UTF-8 cannot be told apart.
        QTest::newRow("line that is valid UTF-8 either way")
            << QByteArray("\xc3\xa4\n\xff") << QStringLiteral("ä\nÿ");
    }
    void eachLineKeepsItsEncoding() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeText(bytes), text);
    }

    void mixedFileSurvivesAWriteBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("group.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Gr\xc3\xbc\xc3\x9f"
                "e\r\nB\xfcro\r\n");
        f.close();
        QStringList lines = readTextLines(path);
        QCOMPARE(lines, (QStringList{QStringLiteral("Grüße"), QStringLiteral("Büro")}));
        lines << QStringLiteral("Verein");
        writeTextLines(path, lines);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("Gr\xc3\xbc\xc3\x9f"
                                         "e\r\nB\xc3\xbcro\r\nVerein\r\n"));
    }

    void controlCharactersBecomeOneBlank_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("safe");
        QTest::newRow("CR LF forging a section") << QStringLiteral("0301234\r\n[search]\r\nurl=x")
                                                 << QStringLiteral("0301234 [search] url=x");
        QTest::newRow("lone LF, CR, tab, NUL, ESC")
            << QStringLiteral("a\nb\rc\td") + QChar(0) + QStringLiteral("e\x1b[2Jf")
            << QStringLiteral("a b c d e [2Jf");
        QTest::newRow("DEL and C1 next line")
            << QStringLiteral("a\x7f\u0085b") << QStringLiteral("a b");
        QTest::newRow("line and paragraph separators")
            << QStringLiteral("a\u2028b\u2029c") << QStringLiteral("a b c");
        QTest::newRow("right-to-left override and isolate")
            << QStringLiteral("Anna\u202e4711\u2066x\u2069") << QStringLiteral("Anna 4711 x ");
        QTest::newRow("ordinary text is kept")
            << QStringLiteral("Müller-Lüdenscheidt +49 (30) 12 34 ß € \u05e9\u05dc\u05d5\u05dd")
            << QStringLiteral("Müller-Lüdenscheidt +49 (30) 12 34 ß € \u05e9\u05dc\u05d5\u05dd");
        QTest::newRow("empty") << QString() << QString();
    }
    void controlCharactersBecomeOneBlank() {
        QFETCH(QString, given);
        QFETCH(QString, safe);
        QCOMPARE(withoutControlChars(given), safe);
    }
};

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
