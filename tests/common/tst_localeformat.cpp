#include "common/LocaleFormat.h"
#include "common/TextFile.h"

#include <QLocale>
#include <QTest>

using namespace kalvendo;

class TestLocaleFormat : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void widensTheSystemFormats_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("German") << QStringLiteral("de_DE") << QStringLiteral("05.03.2026")
                                << QStringLiteral("07:08:09");
        QTest::newRow("US English") << QStringLiteral("en_US") << QStringLiteral("03/05/2026")
                                    << QStringLiteral("7:08:09 AM");
    }
    void widensTheSystemFormats() {
        QFETCH(QString, locale);
        QFETCH(QString, date);
        QFETCH(QString, time);
        const QLocale l(locale);
        QCOMPARE(formatShortDate(QDate(2026, 3, 5), l), date);
        QCOMPARE(formatLongTime(QTime(7, 8, 9), l), time);
    }

    void testsRunUnderGermanSystemLocale() {
        QCOMPARE(shortDateFormat(), QStringLiteral("dd.MM.yyyy"));
        QCOMPARE(longTimeFormat(), QStringLiteral("HH:mm:ss"));
    }

    void legacyTextIsWindows1252() {
        QCOMPARE(decodeText(QByteArray("Stra\xdf"
                                       "e \x80")),
                 QStringLiteral("Straße €"));
        QCOMPARE(decodeText(QByteArray("Stra\xc3\x9f"
                                       "e")),
                 QStringLiteral("Straße"));
        QCOMPARE(decodeText(QByteArray("\xef\xbb\xbf"
                                       "abc")),
                 QStringLiteral("abc"));
        QCOMPARE(splitLines(QStringLiteral("a\r\nb\nc\r\rd\r\n")),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                              QString(), QStringLiteral("d")}));
    }
};

QTEST_GUILESS_MAIN(TestLocaleFormat)
#include "tst_localeformat.moc"
