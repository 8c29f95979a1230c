#include "VCardTestUtil.h"

#include "output/vcard/ContactExport.h"
#include "output/vcard/VCardWriter.h"
#include "testsupport/FullDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;
using kalvendo::test::fullRecord;
using kalvendo::test::record;
using kalvendo::test::unfoldCard;

namespace {

QString s(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every physical line: CRLF-ended, at most 75 octets, whole UTF-8 and no
// escape pair torn apart.
void checkPhysicalLines(const QByteArray& bytes) {
    QVERIFY(bytes.endsWith("\r\n"));
    const QList<QByteArray> lines = bytes.chopped(2).split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        QVERIFY2(line.endsWith('\r') || i == lines.size() - 1, "bare LF");
        if (line.endsWith('\r'))
            line.chop(1);
        QVERIFY2(!line.contains('\r'), "bare CR");
        QVERIFY2(line.size() <= 75, line.constData());
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        (void)utf8.decode(line);
        QVERIFY2(!utf8.hasError(), line.constData());
        const bool folded = i + 1 < lines.size() && lines.at(i + 1).startsWith(' ');
        if (folded) {
            qsizetype backslashes = 0;
            while (backslashes < line.size() && line.at(line.size() - 1 - backslashes) == '\\')
                ++backslashes;
            QVERIFY2(backslashes % 2 == 0, "escape pair split by a fold");
        }
    }
}

// Debian's interpreter, where python3-vobject installs the module.
QString pythonWithVobject() {
    QStringList candidates{QStringLiteral("/usr/bin/python3")};
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!onPath.isEmpty())
        candidates << onPath;
    for (const QString& python : candidates) {
        if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import vobject")}) ==
            0)
            return python;
    }
    return {};
}

// What vobject reads from each card of a file, as JSON.
const char* kVobjectDump = R"PY(
import json, sys, vobject
out = []
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    for card in vobject.readComponents(f.read(), validate=True):
        c = {"n": [card.n.value.family, card.n.value.given], "fn": card.fn.value}
        if hasattr(card, "adr"):
            a = card.adr.value
            c["adr"] = [a.street, a.city, a.code, a.country]
        c["tel"] = [[t.value, ",".join(t.params.get("TYPE", []))] for t in card.contents.get("tel", [])]
        for key in ("email", "url", "bday"):
            if key in card.contents:
                c[key] = card.contents[key][0].value
        out.append(c)
print(json.dumps(out))
)PY";

} // namespace

class TestVCardWriter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void card_data();
    void card();
    void foldsLongLines();
    void invalidBirthday_data();
    void invalidBirthday();
    void fileWithManyCards();
    void badBirthdayLeavesFileAsItWas();
    void fullDiskLeavesFileAsItWas();
    void vobjectReadsEveryCard();
    void contactExportCaptions();
    void contactFileName_data();
    void contactFileName();
    void contactCard();
};

void TestVCardWriter::card_data() {
    QTest::addColumn<Record>("record");
    QTest::addColumn<QStringList>("present"); // whole content lines
    QTest::addColumn<QStringList>("absent");  // property names

    const Record erika = record({{fName, "Muster"},
                                 {fVorname, "Erika"},
                                 {fStrasse, "Hauptstraße"},
                                 {fNr, "12a"},
                                 {fPLZ, "63619"},
                                 {fWohnort, "Bad Orb"},
                                 {fLand, "Deutschland"},
                                 {fTelefon, "06052 1234"},
                                 {fMobil, "0170 1234567"},
                                 {fFax, "06052 1235"},
                                 {fEmail, "erika@example.de"},
                                 {fHomepage, "www.example.de"},
                                 {fGeburtstag, "31.01.1970"},
                                 {fGruppe, "Familie"},
                                 {fDefinierbar, "K-17"},
                                 {fTsuche, "060521234"},
                                 {fHsuche, "01701234567"}});
    QTest::newRow("every field") << erika
                                 << QStringList{s("BEGIN:VCARD"),
                                                s("VERSION:3.0"),
                                                s("N:Muster;Erika;;;"),
                                                s("FN:Erika Muster"),
                                                s("ADR;TYPE=HOME:;;Hauptstraße 12a;Bad Orb;;63619;"
                                                  "Deutschland"),
                                                s("TEL;TYPE=HOME,VOICE:06052 1234"),
                                                s("TEL;TYPE=CELL:0170 1234567"),
                                                s("TEL;TYPE=HOME,FAX:06052 1235"),
                                                s("EMAIL;TYPE=INTERNET:erika@example.de"),
                                                s("URL:www.example.de"),
                                                s("BDAY:1970-01-31"),
                                                s("END:VCARD")}
                                 << QStringList{s("CATEGORIES"), s("NOTE")};

    Record noNumber = erika;
    noNumber[fNr].clear();
    QTest::newRow("empty number: street and one blank")
        << noNumber << QStringList{s("ADR;TYPE=HOME:;;Hauptstraße ;Bad Orb;;63619;Deutschland")}
        << QStringList{};

    Record noBirthday = erika;
    noBirthday[fGeburtstag].clear();
    QTest::newRow("empty birthday not written")
        << noBirthday << QStringList{s("END:VCARD")} << QStringList{s("BDAY")};
    noBirthday[fGeburtstag] = s("   ");
    QTest::newRow("blank birthday not written")
        << noBirthday << QStringList{s("END:VCARD")} << QStringList{s("BDAY")};

    QTest::newRow("only a name") << record({{fName, "Muster"}})
                                 << QStringList{s("N:Muster;;;;"), s("FN:Muster")}
                                 << QStringList{s("ADR"), s("TEL"), s("EMAIL"), s("URL"),
                                                s("BDAY")};

    QTest::newRow("only a town: no street line")
        << record({{fName, "Muster"}, {fWohnort, "Bad Orb"}})
        << QStringList{s("ADR;TYPE=HOME:;;;Bad Orb;;;")} << QStringList{};

    QTest::newRow("semicolon, comma, backslash escaped")
        << record({{fName, "Meier;Schulze"},
                   {fVorname, "Anna, Dr."},
                   {fStrasse, "C:\\Weg"},
                   {fNr, "1"},
                   {fEmail, "a;b@example.de"}})
        << QStringList{s("N:Meier\\;Schulze;Anna\\, Dr.;;;"), s("FN:Anna\\, Dr. Meier\\;Schulze"),
                       s("ADR;TYPE=HOME:;;C:\\\\Weg 1;;;;"),
                       s("EMAIL;TYPE=INTERNET:a\\;b@example.de")}
        << QStringList{};

    QTest::newRow("line breaks escaped")
        << record({{fName, "Zeile1\r\nZeile2\nZeile3\rZeile4"}})
        << QStringList{s("N:Zeile1\\nZeile2\\nZeile3\\nZeile4;;;;")} << QStringList{};

    QTest::newRow("umlauts intact") << record({{fName, "Öztürk"},
                                               {fVorname, "Ayşe"},
                                               {fWohnort, "Düsseldorf"},
                                               {fLand, "Türkiye 🇹🇷"}})
                                    << QStringList{s("N:Öztürk;Ayşe;;;"), s("FN:Ayşe Öztürk"),
                                                   s("ADR;TYPE=HOME:;;;Düsseldorf;;;Türkiye 🇹🇷")}
                                    << QStringList{};

    QTest::newRow("single-digit day and month")
        << record({{fName, "X"}, {fGeburtstag, "1.2.1970"}}) << QStringList{s("BDAY:1970-02-01")}
        << QStringList{};
}

void TestVCardWriter::card() {
    QFETCH(Record, record);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    const QByteArray bytes = vcardFromRecord(record);
    checkPhysicalLines(bytes);
    const QStringList lines = unfoldCard(bytes);
    QCOMPARE(lines.first(), s("BEGIN:VCARD"));
    QCOMPARE(lines.last(), s("END:VCARD"));
    for (const QString& line : present)
        QVERIFY2(lines.contains(line), qPrintable(line + u"\n in \n" + lines.join(u'\n')));
    for (const QString& name : absent) {
        for (const QString& line : lines)
            QVERIFY2(!line.startsWith(name + u':') && !line.startsWith(name + u';'),
                     qPrintable(line));
    }
}

void TestVCardWriter::foldsLongLines() {
    // 200 characters in which multi-octet characters and escape pairs fall on
    // every position relative to the fold.
    QString street;
    const QString pattern = s("Ä;b€,c\\d🙂e");
    while (street.size() < 200)
        street += pattern;
    street.truncate(200);
    if (street.back().isHighSurrogate())
        street.chop(1);
    for (int shift = 0; shift < 6; ++shift) {
        const QString name = QString(shift, u'x');
        const Record r = record({{fName, "N"}, {fVorname, name.toUtf8().constData()}});
        Record withStreet = r;
        withStreet[fStrasse] = street;
        const QByteArray bytes = vcardFromRecord(withStreet);
        checkPhysicalLines(bytes);
        QVERIFY(bytes.contains("\r\n "));
        QString escaped = street;
        escaped.replace(u'\\', s("\\\\")).replace(u';', s("\\;")).replace(u',', s("\\,"));
        QVERIFY(unfoldCard(bytes).contains(s("ADR;TYPE=HOME:;;") + escaped + s(" ;;;;")));
    }
}

void TestVCardWriter::invalidBirthday_data() {
    QTest::addColumn<QString>("birthday");
    QTest::newRow("no such day") << s("31.02.2009");
    QTest::newRow("words") << s("morgen");
    QTest::newRow("other order") << s("2009-02-01");
}

void TestVCardWriter::invalidBirthday() {
    QFETCH(QString, birthday);
    Record r = record({{fName, "Muster"}});
    r[fGeburtstag] = birthday;
    try {
        vcardFromRecord(r);
        QFAIL("no error for an invalid birthday");
    } catch (const EConvertError& e) {
        QCOMPARE(QString::fromLatin1(e.className()), s("EConvertError"));
        QVERIFY(e.message().contains(birthday));
    }
}

void TestVCardWriter::fileWithManyCards() {
    QTemporaryDir dir;
    const QString path = dir.filePath(s("alle.vcf"));
    std::vector<Record> records;
    for (int i = 0; i < 3; ++i)
        records.push_back(fullRecord(i));
    writeVCardFile(path, records);
    const QByteArray bytes = readAll(path);
    QCOMPARE(bytes, vcardFromRecord(records[0]) + vcardFromRecord(records[1]) +
                        vcardFromRecord(records[2]));
    QCOMPARE(bytes.count("BEGIN:VCARD\r\n"), 3);
}

void TestVCardWriter::badBirthdayLeavesFileAsItWas() {
    QTemporaryDir dir;
    const QString path = dir.filePath(s("alle.vcf"));
    writeFileAtomically(path, "old");
    std::vector<Record> records{fullRecord(1), record({{fName, "B"}, {fGeburtstag, "32.13.2000"}})};
    QVERIFY_THROWS_EXCEPTION(EConvertError, writeVCardFile(path, records));
    QCOMPARE(readAll(path), QByteArray("old"));
}

void TestVCardWriter::fullDiskLeavesFileAsItWas() {
    test::FullDisk disk(64);
    if (!disk.available())
        QSKIP("no tmpfs can be mounted here (needs root)");
    const QString path = disk.file(s("alle.vcf"));
    writeFileAtomically(path, "old");
    disk.fill();
    std::vector<Record> records;
    for (int i = 0; i < 1000; ++i)
        records.push_back(fullRecord(i));
    QVERIFY_THROWS_EXCEPTION(EWriteError, writeVCardFile(path, records));
    QCOMPARE(readAll(path), QByteArray("old"));
}

void TestVCardWriter::vobjectReadsEveryCard() {
    const QString python = pythonWithVobject();
    if (python.isEmpty())
        QSKIP("Python's vobject module is not installed (Debian: python3-vobject)");

    std::vector<Record> records;
    for (int i = 0; i < 20; ++i)
        records.push_back(fullRecord(i));
    Record longStreet = fullRecord(99);
    longStreet[fStrasse] = QString(200, u'ß');
    longStreet[fNr].clear();
    records.push_back(longStreet);
    records.push_back(record({{fName, "Nur;Name"}}));
    QTemporaryDir dir;
    const QString path = dir.filePath(s("alle.vcf"));
    writeVCardFile(path, records);

    QProcess p;
    p.start(python, {s("-c"), QString::fromUtf8(kVobjectDump), path});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    const QJsonArray cards = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
    QCOMPARE(cards.size(), qsizetype(records.size()));

    for (qsizetype i = 0; i < cards.size(); ++i) {
        const Record& r = records[size_t(i)];
        const QJsonObject c = cards.at(i).toObject();
        QCOMPARE(c[s("n")].toArray().at(0).toString(), r[fName]);
        QCOMPARE(c[s("n")].toArray().at(1).toString(), r[fVorname]);
        QCOMPARE(c[s("fn")].toString(), QString(r[fVorname] + u' ' + r[fName]).trimmed());
        if (r[fStrasse].isEmpty()) {
            QVERIFY(!c.contains(s("adr")));
            QVERIFY(c[s("tel")].toArray().isEmpty());
            continue;
        }
        const QJsonArray adr = c[s("adr")].toArray();
        QCOMPARE(adr.at(0).toString(), r[fStrasse] + u' ' + r[fNr]);
        QCOMPARE(adr.at(1).toString(), r[fWohnort]);
        QCOMPARE(adr.at(2).toString(), r[fPLZ]);
        QCOMPARE(adr.at(3).toString(), r[fLand]);
        const QJsonArray tel = c[s("tel")].toArray();
        QCOMPARE(tel.size(), 3);
        QCOMPARE(tel.at(0).toArray().at(0).toString(), r[fTelefon]);
        QCOMPARE(tel.at(0).toArray().at(1).toString(), s("HOME,VOICE"));
        QCOMPARE(tel.at(1).toArray().at(0).toString(), r[fMobil]);
        QCOMPARE(tel.at(1).toArray().at(1).toString(), s("CELL"));
        QCOMPARE(tel.at(2).toArray().at(0).toString(), r[fFax]);
        QCOMPARE(tel.at(2).toArray().at(1).toString(), s("HOME,FAX"));
        QCOMPARE(c[s("email")].toString(), r[fEmail]);
        QCOMPARE(c[s("url")].toString(), r[fHomepage]);
        QCOMPARE(c[s("bday")].toString(), birthdayFromText(r[fGeburtstag]).toString(Qt::ISODate));
    }
}

void TestVCardWriter::contactExportCaptions() {
    QCOMPARE(contactExportRunningCaption(), s("Kalvendo 2009  -   Outlook-Export ..."));
    QCOMPARE(contactExportDoneCaption(record({{fName, "Muster"}, {fVorname, "Erika"}})),
             s("Kalvendo 2009   -   Erika Muster"));
}

void TestVCardWriter::contactFileName_data() {
    QTest::addColumn<Record>("record");
    QTest::addColumn<QString>("name");
    QTest::newRow("first name and name")
        << record({{fName, "Muster"}, {fVorname, "Erika"}}) << s("Erika Muster.vcf");
    QTest::newRow("only a name") << record({{fName, "Müller"}}) << s("Müller.vcf");
    QTest::newRow("no name") << record({{fEmail, "a@b.de"}}) << s("Kontakt.vcf");
    QTest::newRow("path characters") << record({{fName, "../../etc/passwd"}, {fVorname, "a\\b:c"}})
                                     << s("a_b_c .._.._etc_passwd.vcf");
    QTest::newRow("leading dot, line break")
        << record({{fName, ".hidden\nx"}}) << s("_hidden x.vcf");
}

void TestVCardWriter::contactFileName() {
    QFETCH(Record, record);
    QFETCH(QString, name);
    QCOMPARE(kalvendo::contactFileName(record), name);
}

void TestVCardWriter::contactCard() {
    QTemporaryDir dir;
    const Record erika = fullRecord(3);
    const QString path = writeContactCard(erika, dir.path());
    QCOMPARE(QFileInfo(path).dir().path(), dir.path());
    QCOMPARE(readAll(path), vcardFromRecord(erika));

    // Very long names still make a name the file system takes.
    Record wide = record({{fName, QString(50, QChar(0x20AC)).toUtf8().constData()}});
    wide[fVorname] = QString(25, u'x') + s("😀").repeated(12);
    QVERIFY(QFileInfo::exists(writeContactCard(wide, dir.path())));

    Record bad = record({{fName, "Falsch"}, {fGeburtstag, "30.02.2001"}});
    QVERIFY_THROWS_EXCEPTION(EConvertError, writeContactCard(bad, dir.path()));
    QVERIFY(!QFileInfo::exists(dir.filePath(s("Falsch.vcf"))));
}

QTEST_GUILESS_MAIN(TestVCardWriter)
#include "tst_vcardwriter.moc"
