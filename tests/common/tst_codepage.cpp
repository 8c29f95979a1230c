#include "common/TextFile.h"

#include <QTest>

using namespace kalvendo;

class TestCodePage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decodeText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8") << QByteArray("M\xC3\xBCller \xE2\x82\xAC") << u"Müller €"_qs;
        QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBFK\xC3\xB6ln") << u"Köln"_qs;
        QTest::newRow("1252 umlauts") << QByteArray("M\xFCller, K\xF6ln") << u"Müller, Köln"_qs;
        QTest::newRow("1252 high range") << QByteArray("\x80\x84\x8A\x93\x94\x9F") << u"€„Š“”Ÿ"_qs;
        // The five bytes the code page leaves undefined.
        QTest::newRow("1252 undefined")
            << QByteArray("a\x81\x8D\x8F\x90\x9Dz") << u"a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz"_qs;
    }
    void decodeText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(kalvendo::decodeText(bytes), text);
    }
};

QTEST_MAIN(TestCodePage)
#include "tst_codepage.moc"
