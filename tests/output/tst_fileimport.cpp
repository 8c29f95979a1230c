#include "ImportExportFixture.h"
#include "addressbook/PreparedNumber.h"
#include "addressbook/StoreTestUtil.h"

#include "addressbook/DatabaseError.h"
#include "output/export/FileExport.h"
#include "output/import/CaptionMap.h"
#include "output/import/CsvImport.h"
#include "output/import/CsvReader.h"
#include "output/import/FileImport.h"
#include "output/import/ImportRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

using Rows = QList<QStringList>;
Q_DECLARE_METATYPE(Rows)

namespace {

Rows readAll(const QString& path, QChar separator = {}) {
    CsvReader reader(path, separator);
    Rows rows;
    while (auto r = reader.next())
        rows.append(*r);
    return rows;
}

QString csvFile(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("in.csv"));
    writeFile(path, bytes);
    return path;
}

// What importing did before it was made linear: one record per line, each
// stored at once, then both prepared numbers of every shown record rewritten;
// the last record current. (An imported record the filter hides gets its own
// numbers prepared too.)
void lineByLineImport(AddressTable& t, const QString& path) {
    const CsvPreview preview = previewCsv(path);
    CsvRecordSource source(path, preview.layout);
    while (auto r = source.next()) {
        t.append();
        for (int f = 0; f < kFieldCount; ++f)
            t.setFieldValue(f, (*r)[static_cast<size_t>(f)]);
        t.setFieldValue(fTsuche, prepareNumber(t.fieldValue(fTelefon)));
        t.setFieldValue(fHsuche, prepareNumber(t.fieldValue(fMobil)));
        t.post();
        prepareAllNumbers(t);
    }
    t.last();
}

// Gives records from a list, then fails as a broken disk would.
class FailingSource final : public RecordSource {
public:
    FailingSource(int records, int failAfter) : m_records(records), m_failAfter(failAfter) {}
    std::optional<Record> next() override {
        if (m_given == m_failAfter)
            throw EInOutError(QStringLiteral("read error"));
        if (m_given == m_records)
            return std::nullopt;
        ++m_given;
        return rec({"Satz", qPrintable(QString::number(m_given))});
    }
    qint64 position() const override { return m_given; }
    qint64 size() const override { return m_records; }

private:
    int m_records;
    int m_failAfter;
    int m_given = 0;
};

} // namespace

class TestFileImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reader_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<Rows>("expected");
        const auto s = [](const char* t) { return QString::fromUtf8(t); };
        QTest::newRow("two values")
            << QByteArray("Muster,Erika\r\n") << s(",") << Rows{{s("Muster"), s("Erika")}};
        QTest::newRow("empty line is one empty value")
            << QByteArray("a\r\n\r\nb") << s(",") << Rows{{s("a")}, {s("")}, {s("b")}};
        QTest::newRow("LF, CR and a last line without end")
            << QByteArray("a,b\nc\rd,,e") << s(",")
            << Rows{{s("a"), s("b")}, {s("c")}, {s("d"), s(""), s("e")}};
        QTest::newRow("quoted separator") << QByteArray("\"Hauptstr. 1, Hof\",x\r\n") << s(",")
                                          << Rows{{s("Hauptstr. 1, Hof"), s("x")}};
        QTest::newRow("doubled quotes") << QByteArray("\"Er sagte \"\"Hallo\"\"\",\"\"\r\n")
                                        << s(",") << Rows{{s("Er sagte \"Hallo\""), s("")}};
        QTest::newRow("line breaks inside quotes kept as written")
            << QByteArray("\"a\r\nb\nc\",d\r\ne") << s(",")
            << Rows{{s("a\r\nb\nc"), s("d")}, {s("e")}};
        QTest::newRow("quote inside a value is a character")
            << QByteArray("ab\"c,d\"\r\n") << s(",") << Rows{{s("ab\"c"), s("d\"")}};
        QTest::newRow("text after a closing quote is kept")
            << QByteArray("\"ab\"cd,e") << s(",") << Rows{{s("abcd"), s("e")}};
        QTest::newRow("a quote never closed does not swallow the file")
            << QByteArray("\"abc,def\r\nx,y\r\n") << s(",")
            << Rows{{s("\"abc"), s("def")}, {s("x"), s("y")}};
        QTest::newRow("semicolons by the first line")
            << QByteArray("Name;Vorname;Ort\r\nA;B,C;\"D;E\"") << s(";")
            << Rows{{s("Name"), s("Vorname"), s("Ort")}, {s("A"), s("B,C"), s("D;E")}};
        QTest::newRow("semicolons inside quotes do not count")
            << QByteArray("\"a;b;c\",d\r\n") << s(",") << Rows{{s("a;b;c"), s("d")}};
        QTest::newRow("NUL bytes dropped")
            << QByteArray("Mu\0ster,\0\r\n", 11) << s(",") << Rows{{s("Muster"), s("")}};
        QTest::newRow("byte order mark skipped")
            << QByteArray("\xEF\xBB\xBFM\xC3\xBCller,\xE2\x82\xAC") << s(",")
            << Rows{{s("Müller"), s("€")}};
        QTest::newRow("empty file") << QByteArray() << s(",") << Rows{};
    }
    void reader() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, separator);
        QFETCH(Rows, expected);
        QTemporaryDir dir;
        const QString path = csvFile(dir, bytes);
        CsvReader reader(path);
        QCOMPARE(QString(reader.separator()), separator);
        Rows rows;
        while (auto r = reader.next())
            rows.append(*r);
        QCOMPARE(rows, expected);
        QCOMPARE(reader.position(), reader.size());
    }

    // One decision for the whole file: valid UTF-8, else Windows-1252, even
    // when the only foreign byte comes after megabytes of plain text.
    void encodingOfTheWholeFile() {
        QTemporaryDir dir;
        const QString path = csvFile(dir, "M\xFC"
                                          "ller,J\xFCrgen,Stra\xDF"
                                          "e 5,\x80\r\n");
        CsvReader cp(path);
        QCOMPARE(cp.encoding(), TextEncoding::Windows1252);
        QCOMPARE(cp.next(), (QStringList{QStringLiteral("Müller"), QStringLiteral("Jürgen"),
                                         QStringLiteral("Straße 5"), QStringLiteral("€")}));

        QByteArray late = "Jos\xC3\xA9,x\r\n";
        late += QByteArray(3 * 1024 * 1024, 'a') + "\r\n\xFC\r\n";
        const QString latePath = csvFile(dir, late);
        CsvReader mixed(latePath);
        QCOMPARE(mixed.encoding(), TextEncoding::Windows1252);
        QCOMPARE(mixed.next()->first(), QStringLiteral("JosÃ©"));
    }

    // Hostile files end in records, never in a crash or a run-away value.
    void hostileInput_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("records");
        QTest::newRow("1 MB line") << QByteArray(1024 * 1024, 'x') + "\r\nNext,Line" << 2;
        QByteArray fields;
        for (int i = 0; i < 10000; ++i)
            fields += "f" + QByteArray::number(i) + ',';
        QTest::newRow("10,000 values") << fields + "\r\nNext,Line" << 2;
        QTest::newRow("1 MB quoted value")
            << "\"" + QByteArray(1024 * 1024, 'q') + "\",z\r\nNext,Line" << 2;
        QTest::newRow("quote opened and 100,000 lines")
            << "\"" + QByteArray("a,b\r\n").repeated(100000) << 100000;
        QTest::newRow("NUL bytes only") << QByteArray(5000, '\0') << 1;
    }
    void hostileInput() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, records);
        QTemporaryDir dir;
        const Rows rows = readAll(csvFile(dir, bytes));
        QCOMPARE(rows.size(), records);
        for (const QStringList& r : rows) {
            QVERIFY(r.size() <= CsvReader::kMaxCells);
            for (const QString& v : r)
                QVERIFY(v.size() <= CsvReader::kMaxCellChars);
        }
        if (records == 2)
            QCOMPARE(rows.last(), (QStringList{QStringLiteral("Next"), QStringLiteral("Line")}));
    }

    void randomBytesNeverCrash() {
        TableFixture fx;
        const QString path = fx.file(QStringLiteral("r.csv"));
        QRandomGenerator random(20261211);
        qint64 total = 0;
        for (int round = 0; round < 15; ++round) {
            QByteArray bytes(random.bounded(1, 8000), Qt::Uninitialized);
            for (char& c : bytes)
                c = "a,;\"\r\n\0\xFC\xC3"[random.bounded(10)];
            writeFile(path, bytes);
            const ImportResult result = importFile(fx.table, path);
            total += result.imported;
            QCOMPARE(result.recordCount, total);
        }
        QCOMPARE(verifyFiles(fx.folder.data()), QString());
    }

    void captions_data() {
        QTest::addColumn<QStringList>("line");
        QTest::addColumn<QList<int>>("fields"); // empty: not a caption line
        const auto l = [](const char* t) { return QString::fromUtf8(t).split(u','); };
        QTest::newRow("German grid")
            << l("Name,Vorname,Straße,Nr.,PLZ.,Stadt,Land,Telefon,Mobil,Fax,Firma,E-Mail,"
                 "Internetseite,Geburtstag,Gruppe")
            << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
        QTest::newRow("French, reordered, accents and case ignored")
            << l("PRENOM,Nom,Telephone,Portable,Code postal,Ville")
            << QList<int>{fVorname, fName, fTelefon, fMobil, fPLZ, fWohnort};
        QTest::newRow("mail program, private before business")
            << l("First Name,Last Name,Business Street,Home Street,Business Phone,Home Phone,"
                 "Mobile Phone,E-mail Address,Web Page,Notes,Categories")
            << QList<int>{fVorname, fName,  -1,        fStrasse, -1,     fTelefon,
                          fMobil,   fEmail, fHomepage, -1,       fGruppe};
        QTest::newRow("German mail program")
            << l("Vorname,Nachname,Straße privat,Postleitzahl privat,Ort privat,Mobiltelefon,"
                 "E-Mail-Adresse")
            << QList<int>{fVorname, fName, fStrasse, fPLZ, fWohnort, fMobil, fEmail};
        QTest::newRow("data line") << l("Muster,Erika,Hauptstr.,5") << QList<int>{};
        QTest::newRow("one caption is not enough") << l("Name,Erika") << QList<int>{};
    }
    void captions() {
        QFETCH(QStringList, line);
        QFETCH(QList<int>, fields);
        const auto mapping = captionMapping(line, QStringLiteral("Firma:"));
        QCOMPARE(mapping.has_value(), !fields.isEmpty());
        if (mapping) {
            QVERIFY(mapping->captionLine);
            QCOMPARE(QList<int>(mapping->fields.begin(), mapping->fields.end()), fields);
        }
    }

    // The grid headers of every language script are known captions of their field.
    void captionsOfEveryLanguage() {
        QFile script(QStringLiteral(KALVENDO_DEFAULTS "/../lang/form1.lng"));
        QVERIFY(script.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(script.readAll());
        static const QRegularExpression header(
            QStringLiteral("DBAdvGrid1\\.Columns\\[(\\d+)\\]\\.Header\\s*=\\s*'([^']*)'"));
        int seen = 0;
        for (auto it = header.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            const int column = m.captured(1).toInt();
            QCOMPARE(matchCaption(m.captured(2)).field, column - 1);
            ++seen;
        }
        QCOMPARE(seen, 5 * 14);
    }

    void importedRecords_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<Record>>("expected"); // in name order
        Record all17;
        for (int f = 0; f < kFieldCount; ++f)
            all17[static_cast<size_t>(f)] = QStringLiteral("v%1").arg(f);
        all17[fTelefon] = QStringLiteral("030 / 12-34");
        all17[fMobil] = QStringLiteral("0170 5");
        QByteArray line17;
        for (int f = 0; f < kFieldCount; ++f)
            line17 += all17[static_cast<size_t>(f)].toUtf8() + ',';
        line17 += "v17,v18\r\n";
        all17[fTsuche] = QStringLiteral("0301234");
        all17[fHsuche] = QStringLiteral("01705");

        QTest::newRow("Muster,Erika")
            << QByteArray("Muster,Erika\r\n") << QList<Record>{rec({"Muster", "Erika"})};
        QTest::newRow("empty line, empty record") << QByteArray("\r\n") << QList<Record>{Record{}};
        QTest::newRow("seventeen values, the rest dropped, numbers prepared")
            << line17 << QList<Record>{all17};
        QTest::newRow("values cut to their fields")
            << QByteArray(60, 'N') + "," + QByteArray(12, '9')
            << QList<Record>{rec({qPrintable(QString(50, u'N')), qPrintable(QString(12, u'9'))})};
        QTest::newRow("Windows-1252 umlauts") << QByteArray("M\xFCller,J\xFCrgen,Stra\xDF"
                                                            "e\r\n")
                                              << QList<Record>{rec({"Müller", "Jürgen", "Straße"})};
        QTest::newRow("caption line maps by caption")
            << QByteArray("Vorname;Nachname;E-Mail;Notizen\r\nErika;Muster;e@x.de;egal\r\n")
            << QList<Record>{[] {
                   Record r = rec({"Muster", "Erika"});
                   r[fEmail] = QStringLiteral("e@x.de");
                   return r;
               }()};
    }
    void importedRecords() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<Record>, expected);
        TableFixture fx({rec({"Zorn", "Alt"})});
        const QString path = fx.file(QStringLiteral("in.csv"));
        writeFile(path, bytes);
        const ImportResult result = importFile(fx.table, path);
        QCOMPARE(result.imported, expected.size());
        QCOMPARE(result.recordCount, expected.size() + 1);
        QCOMPARE(fx.table.recordCount(), result.recordCount);
        std::vector<Record> shown = fx.shown();
        QCOMPARE(shown.back()[fName], QStringLiteral("Zorn"));
        shown.pop_back();
        QCOMPARE(QList<Record>(shown.begin(), shown.end()), expected);
        // The last record of the current order is current.
        QCOMPARE(fx.table.currentRow(), fx.table.rowCount() - 1);
        QCOMPARE(verifyFiles(fx.folder.data()), QString());
    }

    // Umlauts, quotes, separators, line breaks and blanks in all fifteen fields
    // come back unchanged; Python's csv module reads the same values.
    void surviveExportAndImport() {
        std::vector<Record> records;
        const char* hard[] = {"Müller, Jürgen", "\"Zitat\"", "a\r\nb", "x;y",    " blank ",
                              "ÄÖÜäöüß€",       "",          "\"",     ",",      "Zeile\nzwei",
                              "Straße 1, Hof",  "Tab\there", "''",     "end,\"", "Gruppe \"A\""};
        for (int r = 0; r < 3; ++r) {
            Record rec;
            for (int f = 0; f < kShownFieldCount; ++f)
                rec[static_cast<size_t>(f)] =
                    fitToField(f, QString::fromUtf8(hard[(f + r) % kShownFieldCount]));
            rec[fName] = QStringLiteral("N%1 ").arg(r) + rec[fName];
            records.push_back(rec);
        }
        TableFixture source(records);
        const QString path = source.file(QStringLiteral("out.csv"));
        QCOMPARE(exportTable(source.table, path, 2), ExportResult::Written);

        if (const auto out = python(QStringLiteral(R"(
import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    print(json.dumps(list(csv.reader(f))))
)"),
                                    {path})) {
            const QJsonArray rows = QJsonDocument::fromJson(*out).array();
            QCOMPARE(rows.size(), 3);
            for (int r = 0; r < 3; ++r)
                for (int f = 0; f < kShownFieldCount; ++f)
                    QCOMPARE(rows[r].toArray()[f].toString(), source.table.value(r, f));
        } else {
            qWarning("python3 not found: the export was not checked by Python's csv module");
        }

        TableFixture target;
        QCOMPARE(importFile(target.table, path).imported, 3);
        QCOMPARE(target.table.rowCount(), 3);
        for (int r = 0; r < 3; ++r)
            for (int f = 0; f < kShownFieldCount; ++f)
                QCOMPARE(target.table.value(r, f), source.table.value(r, f));
    }

    // Batches and one final pass give the table the line-by-line run leaves:
    // every record, every prepared number, the same current record.
    void endStateAsLineByLine_data() {
        QTest::addColumn<QString>("filter");
        QTest::newRow("no filter") << QString();
        QTest::newRow("group filter") << QStringLiteral("Gruppe = [A]");
    }
    void endStateAsLineByLine() {
        QFETCH(QString, filter);
        std::vector<Record> existing;
        for (int i = 0; i < 30; ++i) {
            Record r = rec({qPrintable(QStringLiteral("Alt%1").arg(i)), "x"});
            r[fTelefon] = QStringLiteral("030 / %1").arg(i);
            r[fTsuche] = i % 3 ? prepareNumber(r[fTelefon]) : QStringLiteral("veraltet");
            r[fGruppe] = QString::fromLatin1(i % 2 ? "A" : "B");
            existing.push_back(r);
        }
        QByteArray lines;
        for (int i = 0; i < 25; ++i)
            lines += "Neu" + QByteArray::number(i % 7) + ",,,,,,,0" + QByteArray::number(i) +
                     "-1 2,017/" + QByteArray::number(i) + ",,,,,," + (i % 3 ? "A" : "B") +
                     ",alt,alt\r\n";

        TableFixture ours(existing);
        TableFixture reference(existing);
        for (TableFixture* fx : {&ours, &reference}) {
            fx->table.setFilter(filter);
            fx->table.setFiltered(!filter.isEmpty());
            writeFile(fx->file(QStringLiteral("in.csv")), lines);
        }
        const ImportResult result = importRecords(
            ours.table,
            *std::make_unique<CsvRecordSource>(ours.file(QStringLiteral("in.csv")), CsvLayout{}),
            {}, 4);
        lineByLineImport(reference.table, reference.file(QStringLiteral("in.csv")));

        QCOMPARE(result.imported, 25);
        QCOMPARE(ours.shown(), reference.shown());
        QCOMPARE(ours.table.currentRow(), reference.table.currentRow());
        QCOMPARE(ours.table.fieldValue(fName), reference.table.fieldValue(fName));
        std::map<qint64, Record> a, b;
        QCOMPARE(verifyFiles(ours.folder.data(), &a), QString());
        QCOMPARE(verifyFiles(reference.folder.data(), &b), QString());
        QVERIFY(a == b);
    }

    void cancelKeepsWhatWasRead() {
        TableFixture fx;
        const QString path = fx.file(QStringLiteral("in.csv"));
        writeFile(path, QByteArray("Name,Vorname\r\n").repeated(1000));
        CsvRecordSource source(path, CsvLayout{});
        qint64 lastRecords = -1;
        bool positionsFit = true;
        const ImportResult result = importRecords(
            fx.table, source,
            [&](const ImportProgress& p) {
                lastRecords = p.records;
                positionsFit = positionsFit && p.position <= p.size;
                return p.records < 300;
            },
            100);
        QVERIFY(result.cancelled);
        QVERIFY(positionsFit);
        QCOMPARE(lastRecords, 320);
        QCOMPARE(result.imported, 320);
        QCOMPARE(fx.table.recordCount(), 320);
    }

    // A read error keeps every record read before it.
    void readErrorKeepsEarlierRecords() {
        TableFixture fx;
        FailingSource source(5000, 2500);
        QVERIFY_THROWS_EXCEPTION(EInOutError, importRecords(fx.table, source, {}, 1000));
        QCOMPARE(fx.table.recordCount(), 2500);
        QCOMPARE(verifyFiles(fx.folder.data()), QString());
    }

    // vCard files go through the same run: numbers prepared, last record current.
    void vCardFile() {
        TableFixture fx({rec({"Zorn"})});
        const ImportResult result =
            importFile(fx.table, QStringLiteral(KALVENDO_TEST_DATA "/vcard/outlook21-cp1252.vcf"));
        QCOMPARE(result.imported, 1);
        QCOMPARE(result.recordCount, 2);
        QCOMPARE(fx.table.fieldValue(fName), QStringLiteral("Zorn"));
        QVERIFY(fx.table.locate(QStringLiteral("Name"), QStringLiteral("Müller")));
        QCOMPARE(fx.table.fieldValue(fTsuche), QStringLiteral("060521234"));
        QCOMPARE(fx.table.fieldValue(fHsuche), QStringLiteral("01701234567"));
        QCOMPARE(fx.table.fieldValue(fGruppe), QStringLiteral("Kunden €"));
    }

    void previewShowsFirstRowsAndDefaultMapping() {
        QTemporaryDir dir;
        const QString path = csvFile(dir, "Nachname;Vorname;Handy\r\nMuster;Erika;0170\r\n"
                                          "Beispiel;Max;0171\r\nC;D;E\r\n");
        const CsvPreview preview = previewCsv(path, {}, 3);
        QCOMPARE(preview.layout.separator, QChar(u';'));
        QCOMPARE(preview.rows.size(), 3);
        QCOMPARE(preview.rows[1], (QStringList{QStringLiteral("Muster"), QStringLiteral("Erika"),
                                               QStringLiteral("0170")}));
        QVERIFY(preview.layout.mapping.captionLine);
        QCOMPARE(preview.layout.mapping.fields, (std::vector<int>{fName, fVorname, fMobil}));
        // The user's choice wins: here, read the caption line as a record by position.
        TableFixture fx;
        CsvRecordSource byPosition(path, CsvLayout{u';', positionalMapping()});
        QCOMPARE(importRecords(fx.table, byPosition).imported, 4);
    }
};

QTEST_GUILESS_MAIN(TestFileImport)
#include "tst_fileimport.moc"
