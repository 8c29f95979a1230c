#include "VCardTestUtil.h"

#include "common/SaveFile.h"
#include "output/vcard/VCardReader.h"
#include "output/vcard/VCardWriter.h"

#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace kalvendo;
using kalvendo::test::fullRecord;
using kalvendo::test::record;

namespace {

QString s(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString fixture(const char* name) {
    return QStringLiteral(KALVENDO_TEST_DATA "/vcard/") + QString::fromLatin1(name);
}

struct ReadResult {
    std::vector<Record> records;
    int skipped = 0;
};

ReadResult readAll(const QString& path) {
    ReadResult result;
    VCardReader reader(path);
    while (std::optional<Record> r = reader.next())
        result.records.push_back(*r);
    result.skipped = reader.skippedCount();
    return result;
}

// The cards a file holds, written as they stand (LF or CRLF as given).
ReadResult readText(const QByteArray& text) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.vcf"));
    writeFileAtomically(path, text);
    return readAll(path);
}

// Only the fields a card carries; the rest must stay empty.
Record cardFields(const Record& r) {
    Record out = r;
    out[fDefinierbar].clear();
    out[fGruppe].clear();
    out[fTsuche].clear();
    out[fHsuche].clear();
    return out;
}

QString describe(const Record& r) {
    QStringList parts;
    for (int i = 0; i < kFieldCount; ++i) {
        if (!r[i].isEmpty())
            parts << fieldName(i) + u'=' + r[i];
    }
    return parts.join(QStringLiteral(" | "));
}

#define COMPARE_RECORD(actual, expected)                                                           \
    QVERIFY2((actual) == (expected),                                                               \
             qPrintable(u"\n got: " + describe(actual) + u"\nwant: " + describe(expected)))

} // namespace

class TestVCardReader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip();
    void cards_data();
    void cards();
    void outlook21Windows1252();
    void phone21Utf8();
    void skipsDamagedCards();
    void cardWithoutEnd();
    void notAVCardFile();
    void thousandCards();
    void hugePhotoStaysSmall();
};

void TestVCardReader::roundTrip() {
    std::vector<Record> table;
    for (int i = 0; i < 30; ++i) {
        Record r = fullRecord(i);
        r[fDefinierbar] = s("Kunde");
        r[fGruppe] = s("Familie");
        table.push_back(r);
    }
    // Values as wide as their fields.
    Record wide = fullRecord(7);
    wide[fName] = QString(50, u'Ä');
    wide[fStrasse] = QString(49, u'x') + u'.';
    wide[fNr] = s("12345678");
    wide[fWohnort] = QString(50, u';');
    table.push_back(wide);

    QTemporaryDir dir;
    const QString path = dir.filePath(s("tabelle.vcf"));
    writeVCardFile(path, table);
    const ReadResult back = readAll(path);
    QCOMPARE(back.skipped, 0);
    QCOMPARE(back.records.size(), table.size());
    for (size_t i = 0; i < table.size(); ++i)
        COMPARE_RECORD(back.records[i], cardFields(table[i]));
}

void TestVCardReader::cards_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Record>("expected");

    QTest::newRow("3.0 grouped, Apple style")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;John;;;\r\nFN:John Doe\r\n"
                      "item1.TEL;type=pref:+1 555 0100\r\nitem1.X-ABLabel:_$!<Other>!$_\r\n"
                      "item2.ADR;type=WORK;type=pref:;;1 Infinite Loop;Cupertino;CA;95014;USA\r\n"
                      "item2.X-ABADR:us\r\n"
                      "BDAY;X-APPLE-OMIT-YEAR=1604:1604-03-15\r\n"
                      "CATEGORIES:Work\\,Office,Friends\r\nEND:VCARD\r\n")
        << record({{fName, "Doe"},
                   {fVorname, "John"},
                   {fStrasse, "1 Infinite Loop"},
                   {fPLZ, "95014"},
                   {fWohnort, "Cupertino"},
                   {fLand, "USA"},
                   {fTelefon, "+1 555 0100"},
                   {fGruppe, "Work,Office"}});

    QTest::newRow("4.0, uri numbers, quoted types, home address first")
        << QByteArray("BEGIN:VCARD\nVERSION:4.0\nN:Gump;Forrest;;Mr.;\nFN:Forrest Gump\n"
                      "TEL;VALUE=uri;TYPE=\"cell,voice\":tel:+1-404-555-1213\n"
                      "TEL;VALUE=uri;TYPE=\"voice,home\":tel:+1-404-555-1212\n"
                      "ADR;TYPE=work;LABEL=\"100 Waters Edge\\nBaytown\":;;100 Waters Edge;"
                      "Baytown;LA;30314;United States of America\n"
                      "ADR;TYPE=home:;;Plantation St. 42;Baytown;LA;30314;USA\n"
                      "EMAIL;PREF=1:forrest@example.com\nBDAY:--0415\nEND:VCARD\n")
        << record({{fName, "Gump"},
                   {fVorname, "Forrest"},
                   {fStrasse, "Plantation St."},
                   {fNr, "42"},
                   {fPLZ, "30314"},
                   {fWohnort, "Baytown"},
                   {fLand, "USA"},
                   {fTelefon, "+1-404-555-1212"},
                   {fMobil, "+1-404-555-1213"},
                   {fEmail, "forrest@example.com"}});

    QTest::newRow("numbers by type and preference")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:A;B\r\n"
                      "TEL;TYPE=WORK:1\r\nTEL:2\r\nTEL;TYPE=VOICE,PREF:3\r\nTEL;TYPE=PAGER:4\r\n"
                      "TEL;TYPE=WORK,FAX:5\r\nTEL;TYPE=HOME,FAX:6\r\nTEL;TYPE=CELL:7\r\n"
                      "TEL;TYPE=CELL,PREF:8\r\nEMAIL:x@example.de\r\n"
                      "EMAIL;TYPE=INTERNET,PREF:y@example.de\r\nURL:a.de\r\nURL:b.de\r\n"
                      "END:VCARD\r\n")
        << record({{fName, "A"},
                   {fVorname, "B"},
                   {fTelefon, "3"},
                   {fFax, "6"},
                   {fMobil, "8"},
                   {fEmail, "y@example.de"},
                   {fHomepage, "a.de"}});

    QTest::newRow("only a work number")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Firma GmbH\r\nTEL;TYPE=WORK:069 1\r\n"
                      "END:VCARD\r\n")
        << record({{fName, "Firma GmbH"}, {fTelefon, "069 1"}});

    QTest::newRow("escapes, folding with tab, street lines joined")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\\;N;A\\, B\\\\C;;;\r\n"
                      "ADR:;;c/o Meier\\nHaupt\r\n\tstraße 3;Kö\r\n ln;;50667;\r\n"
                      "URL:http\\://www.example.de/\r\nEND:VCARD\r\n")
        << record({{fName, "M;N"},
                   {fVorname, "A, B\\C"},
                   {fStrasse, "c/o Meier, Hauptstraße"},
                   {fNr, "3"},
                   {fWohnort, "Köln"},
                   {fPLZ, "50667"},
                   {fHomepage, "http://www.example.de/"}});

    QTest::newRow("values cut to the field widths")
        << (QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:") + QByteArray(80, 'n') + ';' +
            QByteArray(30, 'v') + "\r\nADR:;;Weg 123456789;;;" + QByteArray(12, '1') +
            ";\r\nEND:VCARD\r\n")
        << record({{fName, QByteArray(50, 'n').constData()},
                   {fVorname, QByteArray(30, 'v').constData()},
                   {fStrasse, "Weg 123456789"},
                   {fPLZ, "11111111"}});

    QTest::newRow("birthday forms")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:A\r\nBDAY:1984-02-29T00:00:00Z\r\n"
                      "END:VCARD\r\n")
        << record({{fName, "A"}, {fGeburtstag, "29.02.1984"}});
    QTest::newRow("impossible birthday dropped, card kept")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:A\r\nBDAY:1983-02-29\r\nEND:VCARD\r\n")
        << record({{fName, "A"}});

    QTest::newRow("byte order mark, lower-case names")
        << QByteArray("\xEF\xBB\xBF"
                      "begin:vcard\r\nversion:3.0\r\nn:Ä;Ö\r\nend:vcard\r\n")
        << record({{fName, "Ä"}, {fVorname, "Ö"}});

    QTest::newRow("unlabelled Windows-1252 text")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\xFCller;J\xFCrgen\r\nEND:VCARD\r\n")
        << record({{fName, "Müller"}, {fVorname, "Jürgen"}});
}

void TestVCardReader::cards() {
    QFETCH(QByteArray, text);
    QFETCH(Record, expected);
    const ReadResult got = readText(text);
    QCOMPARE(got.skipped, 0);
    QCOMPARE(got.records.size(), size_t(1));
    COMPARE_RECORD(got.records[0], expected);
}

void TestVCardReader::outlook21Windows1252() {
    const ReadResult got = readAll(fixture("outlook21-cp1252.vcf"));
    QCOMPARE(got.skipped, 0);
    QCOMPARE(got.records.size(), size_t(1));
    COMPARE_RECORD(got.records[0], record({{fName, "Müller"},
                                           {fVorname, "Jürgen"},
                                           {fStrasse, "Hauptstraße"},
                                           {fNr, "12a"},
                                           {fPLZ, "63619"},
                                           {fWohnort, "Bad Orb"},
                                           {fLand, "Deutschland"},
                                           {fTelefon, "06052 1234"},
                                           {fMobil, "0170 1234567"},
                                           {fFax, "06052 1235"},
                                           {fEmail, "juergen@example.de"},
                                           {fHomepage, "http://www.example.de/"},
                                           {fGeburtstag, "31.01.1970"},
                                           {fGruppe, "Kunden €"}}));
}

void TestVCardReader::phone21Utf8() {
    const ReadResult got = readAll(fixture("phone21-utf8.vcf"));
    QCOMPARE(got.skipped, 0);
    QCOMPARE(got.records.size(), size_t(1));
    COMPARE_RECORD(got.records[0], record({{fName, "Öztürk"},
                                           {fVorname, "Ayşe"},
                                           {fStrasse, "Müllerstraße"},
                                           {fNr, "5"},
                                           {fPLZ, "13353"},
                                           {fWohnort, "Berlin"},
                                           {fTelefon, "+49 30 1234567"},
                                           {fMobil, "+49 170 7654321"},
                                           {fEmail, "ayse@example.de"},
                                           {fHomepage, "https://ayse.example.de"}}));
}

void TestVCardReader::skipsDamagedCards() {
    const ReadResult got = readText("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Erste\r\nEND:VCARD\r\n"
                                    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Kaputt\r\n"
                                    "das ist keine Eigenschaft\r\nEND:VCARD\r\n"
                                    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Zweite\r\nEND:VCARD\r\n"
                                    "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:nichts\r\nEND:VCARD\r\n"
                                    "BEGIN:VCARD\r\nVERSION:3.0\r\n:ohne Namen\r\nEND:VCARD\r\n"
                                    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Dritte\r\nEND:VCARD\r\n");
    QCOMPARE(got.skipped, 3);
    QCOMPARE(got.records.size(), size_t(3));
    QCOMPARE(got.records[0][fName], s("Erste"));
    QCOMPARE(got.records[1][fName], s("Zweite"));
    QCOMPARE(got.records[2][fName], s("Dritte"));
}

void TestVCardReader::cardWithoutEnd() {
    const ReadResult got = readText("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ohne;Ende\r\nTEL:1\r\n"
                                    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Mit;Ende\r\nEND:VCARD\r\n"
                                    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Abgeschnitten\r\nTEL;CELL:2");
    QCOMPARE(got.skipped, 0);
    QCOMPARE(got.records.size(), size_t(3));
    COMPARE_RECORD(got.records[0], record({{fName, "Ohne"}, {fVorname, "Ende"}, {fTelefon, "1"}}));
    COMPARE_RECORD(got.records[1], record({{fName, "Mit"}, {fVorname, "Ende"}}));
    COMPARE_RECORD(got.records[2], record({{fName, "Abgeschnitten"}, {fMobil, "2"}}));
}

void TestVCardReader::notAVCardFile() {
    QVERIFY(readText("").records.empty());
    QVERIFY(readText("\r\n\r\n").records.empty());
    QVERIFY_THROWS_EXCEPTION(EVCardError, readText("Name;Vorname\r\nMuster;Erika\r\n"));
    QTemporaryDir dir;
    QVERIFY_THROWS_EXCEPTION(EInOutError, VCardReader(dir.filePath(s("fehlt.vcf"))));
}

void TestVCardReader::thousandCards() {
    std::vector<Record> table;
    for (int i = 0; i < 1000; ++i)
        table.push_back(fullRecord(i));
    QTemporaryDir dir;
    const QString path = dir.filePath(s("tausend.vcf"));
    writeVCardFile(path, table);

    VCardReader reader(path);
    QVERIFY(reader.size() > 100000);
    QCOMPARE(reader.position(), 0);
    qint64 last = 0;
    size_t n = 0;
    while (std::optional<Record> r = reader.next()) {
        QVERIFY(reader.position() > last);
        last = reader.position();
        COMPARE_RECORD(*r, table[n]);
        ++n;
    }
    QCOMPARE(n, table.size());
    QCOMPARE(reader.position(), reader.size());
    QCOMPARE(reader.skippedCount(), 0);
}

void TestVCardReader::hugePhotoStaysSmall() {
    // A 2.1 photo of 8 MB in folded lines, and one 4 MB line that never ends.
    QByteArray text = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Foto\r\nPHOTO;ENCODING=BASE64;JPEG:";
    const QByteArray row = ' ' + QByteArray(75, 'A') + "\r\n";
    text += "\r\n";
    for (int i = 0; i < 8 * 1024 * 1024 / row.size(); ++i)
        text += row;
    text += "\r\nTEL;HOME:1\r\nEND:VCARD\r\n";
    text += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lang\r\nNOTE:" + QByteArray(4 * 1024 * 1024, 'x');
    const ReadResult got = readText(text);
    QCOMPARE(got.records.size(), size_t(2));
    COMPARE_RECORD(got.records[0], record({{fName, "Foto"}, {fTelefon, "1"}}));
    COMPARE_RECORD(got.records[1], record({{fName, "Lang"}}));
}

QTEST_GUILESS_MAIN(TestVCardReader)
#include "tst_vcardreader.moc"
