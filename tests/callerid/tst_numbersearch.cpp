#include "callerid/ui/TForm3.h"
#include "common/Launcher.h"
#include "lang/Multilanguage.h"
#include "testsupport/Files.h"

#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

class TestNumberSearch : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<QUrl> m_opened;

    QString abIni(const QByteArray& content) {
        const QString path = m_dir.filePath(QStringLiteral("ab.ini"));
        writeBytes(path, content);
        return path;
    }
    static QLineEdit* edit(TForm3& w, const char* name) {
        return w.findChild<QLineEdit*>(QString::fromLatin1(name));
    }

private Q_SLOTS:
    void init() {
        m_opened.clear();
        setExternalOpener([this](const QUrl& u) {
            m_opened.append(u);
            return true;
        });
    }
    void cleanup() { setExternalOpener({}); }

    void templatesAreFilled_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("town");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no placeholders")
            << QByteArray("https://example.org/search?x=1") << QStringLiteral("Adler")
            << QStringLiteral("Bonn") << QStringLiteral("https://example.org/search?x=1");
        QTest::newRow("placeholder twice")
            << QByteArray("https://example.org/?a=%variable:name%&b=%variable:name%&c=%variable:"
                          "wohnort%")
            << QStringLiteral("Adler") << QStringLiteral("Bonn")
            << QStringLiteral("https://example.org/?a=Adler&b=Adler&c=Bonn");
        QTest::newRow("umlauts and blanks encoded")
            << QByteArray("https://example.org/?kw=%variable:name%&ci=%variable:wohnort%")
            << QStringLiteral("Müller") << QStringLiteral("Bad Ems")
            << QStringLiteral("https://example.org/?kw=M%C3%BCller&ci=Bad%20Ems");
        QTest::newRow("placeholder case matters")
            << QByteArray("https://example.org/?kw=%Variable:name%") << QStringLiteral("Adler")
            << QString() << QStringLiteral("https://example.org/?kw=%25Variable:name%25");
    }
    void templatesAreFilled() {
        QFETCH(QByteArray, pattern);
        QFETCH(QString, name);
        QFETCH(QString, town);
        QFETCH(QString, expected);
        TForm3 w(abIni("[search]\r\nnumber=" + pattern + "\r\n"));
        edit(w, "Edit1")->setText(name);
        edit(w, "Edit2")->setText(town);
        w.Button1Click();
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(QString::fromLatin1(m_opened.at(0).toEncoded()), expected);
    }

    void keyFiltersAndEnter() {
        TForm3 w(abIni("[search]\r\ninvers=https://example.org/?ph=%variable:nummer%\r\n"));
        w.show();
        QLineEdit* name = edit(w, "Edit1");
        QTest::keyClicks(name, QStringLiteral("Ab c-dÄß9!"));
        QCOMPARE(name->text(), QStringLiteral("AbcdÄ9"));
        QLineEdit* number = edit(w, "Edit3");
        QTest::keyClicks(number, QStringLiteral("030 12-3a"));
        QCOMPARE(number->text(), QStringLiteral("030123"));
        QTest::keyClick(number, Qt::Key_Backspace);
        QTest::keyClick(number, Qt::Key_Return);
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.at(0).toString(), QStringLiteral("https://example.org/?ph=03012"));
    }

    void lastUnknownNumberOfferedUntilClosed() {
        TForm3 w(abIni("[preferences]\r\nisdncpn=089123\r\n"));
        QCOMPARE(edit(w, "Edit3")->text(), QStringLiteral("089123"));
        w.show();
        w.close();
        QCOMPARE(edit(w, "Edit3")->text(), QString());

        TForm3 off(abIni("[preferences]\r\nisdncp=0\r\nisdncpn=089123\r\n"));
        QCOMPARE(edit(off, "Edit3")->text(), QString());
    }

    void followsTheProgramLanguage() {
        TForm3 w(abIni(""));
        TMultilanguageSync sync;
        sync.setLanguage(QStringLiteral("English"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Internet search"));
        sync.setLanguage(QStringLiteral("German"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Suche im Internet"));
        QCOMPARE(w.findChild<QGroupBox*>(QStringLiteral("GroupBox2"))->title(),
                 QStringLiteral("Inverssuche"));
    }
};

QTEST_MAIN(TestNumberSearch)
#include "tst_numbersearch.moc"
