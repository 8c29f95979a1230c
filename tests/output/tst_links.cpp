#include "common/IniFile.h"
#include "output/links/Links.h"
#include "settings/Preferences.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace kalvendo;

namespace {

QString s(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

class TestLinks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mail_data();
    void mail();
    void web_data();
    void web();
    void map_data();
    void map();
    void mapPreference();
};

void TestLinks::mail_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("plain") << s("erika@example.de") << QByteArray("mailto:erika@example.de");
    QTest::newRow("blanks around")
        << s("  erika@example.de ") << QByteArray("mailto:erika@example.de");
    QTest::newRow("query smuggled in")
        << s("a@b.de?bcc=x@y.z") << QByteArray("mailto:a@b.de%3Fbcc=x@y.z");
    QTest::newRow("second address and fragment")
        << s("a@b.de&to=c@d.de#x") << QByteArray("mailto:a@b.de&to=c@d.de%23x");
    QTest::newRow("umlaut and blank")
        << s("jürgen müller@b.de") << QByteArray("mailto:j%C3%BCrgen%20m%C3%BCller@b.de");
    QTest::newRow("empty") << s("  ") << QByteArray();
}

void TestLinks::mail() {
    QFETCH(QString, field);
    QFETCH(QByteArray, encoded);
    const QUrl url = mailUrl(field);
    QCOMPARE(url.toEncoded(), encoded);
    if (encoded.isEmpty())
        return;
    // What the mail program gets back from the link: one recipient, no header fields.
    const QUrl parsed = QUrl::fromEncoded(encoded);
    QVERIFY(!parsed.hasQuery());
    QVERIFY(!parsed.hasFragment());
    QCOMPARE(parsed.path(), field.trimmed());
}

void TestLinks::web_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QByteArray>("encoded");
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QString>("scheme");
    const int ok = int(WebRefusal::None);
    QTest::newRow("no scheme") << s("www.example.de") << QByteArray("https://www.example.de") << ok
                               << QString();
    QTest::newRow("no scheme, path")
        << s(" example.de/kontakt?a=1 ") << QByteArray("https://example.de/kontakt?a=1") << ok
        << QString();
    QTest::newRow("host and port")
        << s("example.de:8080/x") << QByteArray("https://example.de:8080/x") << ok << QString();
    QTest::newRow("http") << s("http://example.de/") << QByteArray("http://example.de/") << ok
                          << QString();
    QTest::newRow("HTTPS upper case")
        << s("HTTPS://Example.de") << QByteArray("https://example.de") << ok << QString();
    QTest::newRow("ftp") << s("ftp://ftp.example.de/pub") << QByteArray("ftp://ftp.example.de/pub")
                         << ok << QString();
    QTest::newRow("umlaut host") << s("www.müller.de") << QByteArray("https://www.xn--mller-kva.de")
                                 << ok << QString();
    const int scheme = int(WebRefusal::Scheme);
    QTest::newRow("file") << s("file:///etc/passwd") << QByteArray() << scheme << s("file");
    QTest::newRow("javascript") << s("javascript:alert(1)") << QByteArray() << scheme
                                << s("javascript");
    QTest::newRow("JavaScript mixed case")
        << s("JavaScript:alert(1)") << QByteArray() << scheme << s("javascript");
    QTest::newRow("mailto") << s("mailto:a@b.de") << QByteArray() << scheme << s("mailto");
    QTest::newRow("data") << s("data:text/html,<b>x</b>") << QByteArray() << scheme << s("data");
    QTest::newRow("smb") << s("smb://server/share") << QByteArray() << scheme << s("smb");
    const int local = int(WebRefusal::LocalPath);
    QTest::newRow("absolute path") << s("/usr/bin/xterm") << QByteArray() << local << QString();
    QTest::newRow("home path") << s("~/start.sh") << QByteArray() << local << QString();
    QTest::newRow("relative path") << s("./start.sh") << QByteArray() << local << QString();
    QTest::newRow("parent path") << s("../x") << QByteArray() << local << QString();
    QTest::newRow("drive") << s("C:\\Windows\\notepad.exe") << QByteArray() << local << QString();
    QTest::newRow("drive, slash") << s("c:/x.exe") << QByteArray() << local << QString();
    QTest::newRow("share") << s("\\\\server\\share") << QByteArray() << local << QString();
    const int malformed = int(WebRefusal::Malformed);
    QTest::newRow("scheme without host") << s("http:/x") << QByteArray() << malformed << QString();
    QTest::newRow("no host at all") << s("https://") << QByteArray() << malformed << QString();
    QTest::newRow("empty") << s(" ") << QByteArray() << int(WebRefusal::Empty) << QString();
}

void TestLinks::web() {
    QFETCH(QString, field);
    QFETCH(QByteArray, encoded);
    QFETCH(int, refusal);
    QFETCH(QString, scheme);
    const WebAddress a = webAddress(field);
    QCOMPARE(int(a.refusal), refusal);
    QCOMPARE(a.ok(), refusal == int(WebRefusal::None));
    QCOMPARE(a.url.toEncoded(), encoded);
    QCOMPARE(a.scheme, scheme);
}

void TestLinks::map_data() {
    QTest::addColumn<QString>("service");
    QTest::addColumn<QStringList>("fields"); // street, number, postcode, town, language
    QTest::addColumn<QByteArray>("encoded");
    QTest::addColumn<int>("items");
    const QString vendor = s("http://maps.example.com");
    QTest::newRow("Bad Orb") << vendor
                             << QStringList{s("Alte Gasse"), s("7"), s("12345"), s("Bad Orb"),
                                            s("English")}
                             << QByteArray("http://maps.example.com/maps/qvd.php"
                                           "?street=Alte+Gasse+7&city=12345+Bad+Orb&lng=English")
                             << 3;
    QTest::newRow("all four fields empty")
        << vendor << QStringList{QString(), QString(), QString(), QString(), s("German")}
        << QByteArray("http://maps.example.com/maps/qvd.php?street=+&city=+&lng=German") << 3;
    QTest::newRow("own path, query kept, no scheme")
        << s("karten.example.de/q.php?key=abc")
        << QStringList{s("Weg"), s("1"), s("1"), s("A"), s("German")}
        << QByteArray("https://karten.example.de/q.php?key=abc&street=Weg+1&city=1+A&lng=German")
        << 4;
    QTest::newRow("ampersand, plus and umlauts encoded")
        << vendor
        << QStringList{s("Gasse & Weg+Platz"), s("1/2"), s("D-123"), s("Köln"), s("German")}
        << QByteArray("http://maps.example.com/maps/qvd.php"
                      "?street=Gasse+%26+Weg%2BPlatz+1%2F2&city=D-123+K%C3%B6ln&lng=German")
        << 3;
    QTest::newRow("OpenStreetMap when no service is set")
        << QString() << QStringList{s("Alte Gasse"), s("7"), s("12345"), s("Bad Orb"), s("English")}
        << QByteArray("https://www.openstreetmap.org/search"
                      "?query=Alte%20Gasse%207%2C%2012345%20Bad%20Orb")
        << 1;
    QTest::newRow("OpenStreetMap, umlauts and ampersand")
        << s("  ")
        << QStringList{s("Große & Kleine Gasse"), QString(), QString(), s("Köln"), s("German")}
        << QByteArray("https://www.openstreetmap.org/search"
                      "?query=Gro%C3%9Fe%20%26%20Kleine%20Gasse%2C%20K%C3%B6ln")
        << 1;
    QTest::newRow("OpenStreetMap, all four fields empty")
        << QString() << QStringList{QString(), QString(), QString(), QString(), s("German")}
        << QByteArray("https://www.openstreetmap.org/search?query=") << 1;
}

void TestLinks::map() {
    QFETCH(QString, service);
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, encoded);
    QFETCH(int, items);
    const WebAddress a =
        mapAddress(service, MapQuery{fields[0], fields[1], fields[2], fields[3], fields[4]});
    QVERIFY(a.ok());
    QCOMPARE(a.url.toEncoded(), encoded);
    // An ampersand in a field must not split the query into more keys.
    QCOMPARE(QUrlQuery(a.url).queryItems().size(), items);
}

void TestLinks::mapPreference() {
    QTemporaryDir dir;
    const QString path = dir.filePath(s("ab.ini"));
    IniFile ini(path);
    QCOMPARE(readPref(ini, prefs::map::url), QString());
    ini.writeString(s("map"), s("url"), s("https://karten.example.de"));
    const QString service = readPref(ini, prefs::map::url);
    const WebAddress a = mapAddress(service, MapQuery{s("A"), s("1"), s("2"), s("B"), s("German")});
    QCOMPARE(a.url.toEncoded(),
             QByteArray("https://karten.example.de/maps/qvd.php?street=A+1&city=2+B&lng=German"));

    const WebAddress refused = mapAddress(s("file:///tmp/map.html"), MapQuery{});
    QCOMPARE(refused.refusal, WebRefusal::Scheme);
    QVERIFY(refused.url.isEmpty());
}

QTEST_GUILESS_MAIN(TestLinks)
#include "tst_links.moc"
