#include "addressbook/Collation.h"
#include "addressbook/DatabaseError.h"
#include "addressbook/Fields.h"
#include "addressbook/FilterExpression.h"
#include "addressbook/OrderList.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace kalvendo;

class TstAddressParts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldTable();
    void filterParses_data();
    void filterParses();
    void filterRejects_data();
    void filterRejects();
    void orderListAgreesWithSorting();
    void collationPremises();
};

void TstAddressParts::fieldTable() {
    const std::pair<const char*, int> layout[kFieldCount] = {
        {"Name", 50},        {"Vorname", 50}, {"Strasse", 50},  {"Nr.", 8},         {"PLZ", 8},
        {"Wohnort", 50},     {"Land", 50},    {"Telefon", 30},  {"Mobil", 30},      {"Fax", 30},
        {"Definierbar", 50}, {"Email", 50},   {"Homepage", 50}, {"Geburtstag", 10}, {"Gruppe", 50},
        {"tsuche", 30},      {"hsuche", 30}};
    for (int i = 0; i < kFieldCount; ++i) {
        QCOMPARE(fieldName(i), QString::fromLatin1(layout[i].first));
        QCOMPARE(fieldWidth(i), layout[i].second);
        QCOMPARE(fieldPosition(fieldName(i).toLower()), i);
    }
    QCOMPARE(fieldPosition(QStringLiteral("NR.")), int(fNr));
    QCOMPARE(fieldPosition(QStringLiteral("Nr")), -1);
    QCOMPARE(fieldPosition(QString()), -1);

    const std::pair<const char*, int> indexes[kIndexCount] = {
        {"NAME", fName},     {"VORNAME", fVorname},        {"STRASSE", fStrasse},
        {"PLZ", fPLZ},       {"WOHNORT", fWohnort},        {"TELEFON", fTelefon},
        {"TSUCHE", fTsuche}, {"HSUCHE", fHsuche},          {"GEBURTSTAG", fGeburtstag},
        {"GRUPPE", fGruppe}, {"DEFINIERBAR", fDefinierbar}};
    for (int k = 0; k < kIndexCount; ++k) {
        QCOMPARE(indexName(k), QString::fromLatin1(indexes[k].first));
        QCOMPARE(indexDef(k).field, indexes[k].second);
        QCOMPARE(indexNumber(indexName(k).toLower()), k);
        QCOMPARE(indexOfField(indexes[k].second), k);
    }
    QCOMPARE(indexOfField(fMobil), -1);
    QCOMPARE(indexNumber(QStringLiteral("STADT")), -1);
}

void TstAddressParts::filterParses_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::newRow("as the program writes it")
        << QStringLiteral("Gruppe = [Familie]") << int(fGruppe) << QStringLiteral("Familie");
    QTest::newRow("no blanks") << QStringLiteral("Gruppe=[Familie]") << int(fGruppe)
                               << QStringLiteral("Familie");
    QTest::newRow("surrounding blanks and tabs") << QStringLiteral("  \tGruppe   =  [Familie] \t ")
                                                 << int(fGruppe) << QStringLiteral("Familie");
    QTest::newRow("field name in other case")
        << QStringLiteral("GRUPPE = [x]") << int(fGruppe) << QStringLiteral("x");
    QTest::newRow("blanks inside kept") << QStringLiteral("Gruppe = [ Alte Freunde ]")
                                        << int(fGruppe) << QStringLiteral(" Alte Freunde ");
    QTest::newRow("empty name") << QStringLiteral("Gruppe = []") << int(fGruppe) << QString();
    QTest::newRow("quotes, equals and umlauts")
        << QStringLiteral("Gruppe = [O'Brien = \"Öl\"]") << int(fGruppe)
        << QStringLiteral("O'Brien = \"Öl\"");
    QTest::newRow("another field")
        << QStringLiteral("Nr. = [12a]") << int(fNr) << QStringLiteral("12a");
    QTest::newRow("empty text") << QString() << -1 << QString();
    QTest::newRow("only blanks") << QStringLiteral("   ") << -1 << QString();
}

void TstAddressParts::filterParses() {
    QFETCH(QString, text);
    QFETCH(int, field);
    QFETCH(QString, value);
    const FilterExpression f = FilterExpression::parse(text);
    QCOMPARE(f.field(), field);
    QCOMPARE(f.isEmpty(), field < 0);
    QCOMPARE(f.value(), value);
    if (field >= 0) {
        Record r;
        r[field] = value;
        QVERIFY(f.matches(r));
        r[field] = value + u' ';
        QVERIFY(!f.matches(r));
    }
}

void TstAddressParts::filterRejects_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("closing bracket in the name") << QStringLiteral("Gruppe = [a]b]");
    QTest::newRow("opening bracket in the name") << QStringLiteral("Gruppe = [a[b]");
    QTest::newRow("no closing bracket") << QStringLiteral("Gruppe = [Familie");
    QTest::newRow("no opening bracket") << QStringLiteral("Gruppe = Familie]");
    QTest::newRow("quoted literal") << QStringLiteral("Gruppe = 'Familie'");
    QTest::newRow("no operator") << QStringLiteral("Gruppe [Familie]");
    QTest::newRow("other operator") << QStringLiteral("Gruppe <> [Familie]");
    QTest::newRow("double operator") << QStringLiteral("Gruppe == [Familie]");
    QTest::newRow("unknown field") << QStringLiteral("Ort = [Köln]");
    QTest::newRow("no field") << QStringLiteral("= [Familie]");
    QTest::newRow("text after the literal") << QStringLiteral("Gruppe = [a] OR 1=1");
    QTest::newRow("second term") << QStringLiteral("Gruppe = [a] AND Name = [b]");
    QTest::newRow("only a field") << QStringLiteral("Gruppe");
}

void TstAddressParts::filterRejects() {
    QFETCH(QString, text);
    try {
        FilterExpression::parse(text);
        QFAIL("expression accepted");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.message().contains(text), qPrintable(e.message()));
    }
}

void TstAddressParts::orderListAgreesWithSorting() {
    // Random keys with many ties and prefixes; inserts and removals must keep
    // the list equal to a plain sorted vector.
    QRandomGenerator rng(42);
    std::vector<std::pair<QByteArray, qint64>> model;
    OrderList list;
    auto randomKey = [&] {
        QByteArray k;
        const int len = rng.bounded(4);
        for (int i = 0; i < len; ++i)
            k += char(rng.bounded(3) + (i % 2 ? 0x01 : 0xF0)); // high bytes: unsigned order
        return k;
    };
    auto less = [](const std::pair<QByteArray, qint64>& a, const std::pair<QByteArray, qint64>& b) {
        const int c = OrderList::compareKeys(a.first, b.first);
        return c != 0 ? c < 0 : a.second < b.second;
    };
    for (qint64 id = 1; id <= 3000; ++id) {
        if (!model.empty() && rng.bounded(3) == 0) {
            const int row = rng.bounded(static_cast<int>(model.size()));
            QCOMPARE(list.find(model[row].first, model[row].second), row);
            list.removeAt(row);
            model.erase(model.begin() + row);
        } else {
            const QByteArray k = randomKey();
            const auto pos =
                std::lower_bound(model.begin(), model.end(), std::make_pair(k, id), less);
            const int expectedRow = static_cast<int>(pos - model.begin());
            QCOMPARE(list.insert(k, id), expectedRow);
            model.insert(pos, {k, id});
        }
    }
    QCOMPARE(list.size(), static_cast<int>(model.size()));
    for (int r = 0; r < list.size(); ++r) {
        QCOMPARE(list.keyAt(r).toByteArray(), model[r].first);
        QCOMPARE(list.idAt(r), model[r].second);
        QCOMPARE(list.findId(model[r].second), r);
    }
    QCOMPARE(list.find("\x7f", 1), -1);
    QCOMPARE(OrderList::compareKeys("a", "ab"), -1);
    QCOMPARE(OrderList::compareKeys("\xF0", "\x01"), 1);
    QCOMPARE(OrderList::compareKeys("", ""), 0);
}

void TstAddressParts::collationPremises() {
    const Collation c;
    // The index order rests on these: the German collation, keys without
    // zero bytes, and text that differs only in its encoding of an umlaut
    // sharing one key (so exact look-ups must compare the text afterwards).
    QVERIFY(c.sortKey(QStringLiteral("Ärger")) < c.sortKey(QStringLiteral("Bauer")));
    QVERIFY(c.sortKey(QStringLiteral("Abel")) < c.sortKey(QStringLiteral("Ärger")));
    QVERIFY(c.sortKey(QStringLiteral("müller")) < c.sortKey(QStringLiteral("Müller")));
    QVERIFY(c.sortKey(QString()) < c.sortKey(QStringLiteral("a")));
    QVERIFY(!c.sortKey(QString(200, u'ß')).contains('\0'));
    QCOMPARE(c.sortKey(QString::fromUtf8("u\xCC\x88"
                                         "ber")),
             c.sortKey(QStringLiteral("über")));
    QVERIFY(c.identity().contains(QStringLiteral("de")));
}

QTEST_GUILESS_MAIN(TstAddressParts)
#include "tst_addressparts.moc"
